// Cell sounds and the looping ambient sound, played by the silent sound backend.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "client/arena/ambient_sound.h"
#include "client/arena/game_input.h"
#include "client/core/sound.h"
#include "tests/client/arena/arena_fixture.h"
#include "tests/support/headless.h"
#include "tests/support/temp_dir.h"
#include "tools/writers/wav_writer.h"

namespace {

constexpr int kSounds = 12;

class AmbientSound : public ArenaFixture {
protected:
    void SetUp() override {
        platform::ResetWindowing();
        platform::InitWindowing(platform::Backend::Headless);
        platform::UseVirtualClock();
        dir.Enter();
        std::string dat = "[sounds]\ndebug=1\n[winsounds]\nnumsounds=" + std::to_string(kSounds) + "\n";
        for (int n = 0; n < kSounds; ++n) {
            const std::string name = "s" + std::to_string(n) + ".wav";
            auto bytes = EncodeWav(WavSpec{22050, 1, 16}, std::vector<int16_t>(2205, 1000));
            dir.Write("sounds/" + name, std::string(bytes.begin(), bytes.end()));
            char section[16];
            std::snprintf(section, sizeof section, "%02d", n);
            dat += std::string("[winsound") + section + "]\nfile=" + name + "\n";
        }
        dir.Write("sounds.dat", dat);
        ASSERT_EQ(InitSoundSystem("sounds.dat", "sounds"), 1);
        LastCellSound = 0;
        AmbientSoundClock = 0;
        Region(1, 5, 80);
        Region(2, 6, 40);
        Region(3, 0, 100);  // an entry without a sound
    }
    void TearDown() override {
        ShutdownSoundSystem();
        platform::ResetWindowing();
        platform::UseRealClock();
    }

    void Region(int n, int sound, int volume) { g_level.soundRegions[n] = SoundRegionDef{sound, volume, 1}; }
    void CellSound(int cx, int cy, int code) {
        g_level.plane[kPlaneMarker][CellIndex(cx, cy)] = static_cast<int16_t>(code);
    }
    std::string Log() const { return dir.Read("sounderr.txt"); }
    size_t Count(const std::string& text) const {
        const std::string log = Log();
        size_t n = 0;
        for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1))
            ++n;
        return n;
    }
    // A live object sounding at (x, y) within range.
    int Sounding(int x, int y, int sound, int range) {
        const int slot = Live(0, x, y);
        WorldObjectTable[slot].sound = static_cast<uint16_t>(sound);
        WorldObjectTable[slot].sound_range = static_cast<int16_t>(range);
        return slot;
    }

    TempDir dir;
};

TEST_F(AmbientSound, ACellSoundPlaysOnceWhenThePlayerStepsOntoIt) {
    CellSound(4000 >> 6, 4000 >> 6, 1);
    UpdateCellSound(player);
    EXPECT_EQ(Count("DoMilesSound #5 -> vol=80"), 1u) << Log();
    UpdateCellSound(player);
    EXPECT_EQ(Count("DoMilesSound #5 "), 1u) << "standing on it plays nothing more";

    Place(4100, 4000, 0);  // a cell without a sound, then back
    UpdateCellSound(player);
    EXPECT_EQ(LastCellSound, 0);
    Place(4000, 4000, 0);
    UpdateCellSound(player);
    EXPECT_EQ(Count("DoMilesSound #5 "), 2u);
}

TEST_F(AmbientSound, CellSoundsThatPlayNothing) {
    struct Case {
        const char* what;
        int code;
        int lift;  // the eye above its standing height
        int remembered;
    };
    const Case cases[] = {
        {"in the air", 1, 20, 0},
        {"an entry without a sound", 3, 0, 3},
        {"an entry not loaded", 50, 0, 50},
        {"a code at the table's size", 100, 0, 100},
        {"a code beyond the table", 249, 0, 249},
    };
    for (const Case& c : cases) {
        LastCellSound = 0;
        CellSound(4000 >> 6, 4000 >> 6, c.code);
        Place(4000, 4000, 0);
        view.z += c.lift;
        UpdateCellSound(player);
        EXPECT_EQ(LastCellSound, c.remembered) << c.what;
    }
    EXPECT_EQ(Count("DoMilesSound #"), 0u) << Log();
}

TEST_F(AmbientSound, TheLoudestNearbySoundLoopsEvery200Ms) {
    Sounding(4000 + 100, 4000, 7, 400);  // -25
    Sounding(4000, 4000 - 40, 8, 400);   // -10: the loudest
    Sounding(4000 + 300, 4000, 9, 300);  // at its range: not heard
    Sounding(4000 + 30, 4000, 10, 0);    // no range
    UpdateAmbientSound(player, 199);
    EXPECT_EQ(g_loopingAmbient, 0) << "not yet 200 ms";
    UpdateAmbientSound(player, 1);
    EXPECT_EQ(g_loopingAmbient, 8);
    EXPECT_EQ(Count("DoMilesSound #8 -> vol=90"), 1u) << Log();

    // The cell's sound at volume 80 (-20) is quieter than -10; at 100 it is louder.
    CellSound(4000 >> 6, 4000 >> 6, 1);
    UpdateAmbientSound(player, 200);
    EXPECT_EQ(g_loopingAmbient, 8);
    Region(1, 5, 100);
    UpdateAmbientSound(player, 200);
    EXPECT_EQ(g_loopingAmbient, 5);

    // Only a sound at its range's edge and a silent cell: the loop stops.
    ClearWorldObjects();
    Sounding(4000, 4000 + 300, 9, 300);
    Sounding(4000 - 300, 4000, 9, 300);
    CellSound(4000 >> 6, 4000 >> 6, 0);
    UpdateAmbientSound(player, 200);
    EXPECT_EQ(g_loopingAmbient, 0);
}

}  // namespace
