// Cell sounds and the looping ambient sound, played by the silent sound backend.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "client/arena/ambient_sound.h"
#include "client/arena/game_input.h"
#include "client/core/sound.h"
#include "tests/client/arena/arena_fixture.h"
#include "tests/support/headless.h"
#include "tests/client/sound_log.h"

namespace {

constexpr int kSounds = 12;

class AmbientSound : public ArenaFixture {
protected:
    void SetUp() override {
        platform::ResetWindowing();
        platform::InitWindowing(platform::Backend::Headless);
        platform::UseVirtualClock();
        sounds = std::make_unique<SoundLog>(kSounds);
        ASSERT_TRUE(sounds->Started());
        LastCellSound = 0;
        AmbientSoundClock = 0;
        Region(1, 5, 80);
        Region(2, 6, 40);
        Region(3, 0, 100);  // an entry without a sound
    }
    void TearDown() override {
        sounds.reset();
        platform::ResetWindowing();
        platform::UseRealClock();
    }

    void Region(int n, int sound, int volume) { g_level.soundRegions[n] = SoundRegionDef{sound, volume, 1}; }
    void CellSound(int cx, int cy, int code) {
        g_level.plane[kPlaneMarker][CellIndex(cx, cy)] = static_cast<int16_t>(code);
    }
    std::string Log() const { return sounds->Text(); }
    size_t Count(const std::string& text) const { return sounds->Count(text); }
    // A live object sounding at (x, y) within range.
    int Sounding(int x, int y, int sound, int range) {
        const int slot = Live(0, x, y);
        WorldObjectTable[slot].sound = static_cast<uint16_t>(sound);
        WorldObjectTable[slot].sound_range = static_cast<int16_t>(range);
        return slot;
    }

    std::unique_ptr<SoundLog> sounds;
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
