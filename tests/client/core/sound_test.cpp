#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "client/arena/ambient_sound.h"
#include "client/arena/player_view.h"
#include "client/core/game_clock.h"
#include "client/core/sound.h"
#include "client/core/sound_layer.h"
#include "common/random.h"
#include "tests/support/headless.h"
#include "tests/support/temp_dir.h"
#include "tools/writers/wav_writer.h"

namespace {

constexpr int kSounds = 40;
constexpr int kMissingSound = 7;  // no [winsound07] section

std::vector<WPARAM> g_musicNotices;

// Does what the game's window procedure does with a music notice.
LRESULT GameLikeProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == MM_MCINOTIFY) {
        g_musicNotices.push_back(wParam);
        if (wParam == MCI_NOTIFY_SUCCESSFUL)
            PlayMusic(0, 1);
        return 0;
    }
    return DefWindowProc(hwnd, message, wParam, lParam);
}

// An installation of one-second sounds and tracks of 1, 2 and 0.5 seconds, with the sample
// layer's diagnostics on, played by the silent backend on the virtual clock.
class SoundSystemTest : public HeadlessTest {
protected:
    void SetUp() override {
        HeadlessTest::SetUp();
        dir.Enter();
        std::string dat = "[sounds]\ndebug=1\n[winsounds]\nnumsounds=" + std::to_string(kSounds) + "\n";
        for (int n = 0; n < kSounds; ++n) {
            if (n == kMissingSound)
                continue;
            char name[32];
            std::snprintf(name, sizeof name, "s%02d.wav", n);
            WriteWav(name, 22050);
            dat += "[winsound" + std::string(n < 10 ? "0" : "") + std::to_string(n) + "]\nfile=" + name + "\n";
        }
        WriteWav("t1.wav", 22050);
        WriteWav("t2.wav", 44100);
        WriteWav("t3.wav", 11025);
        dat += "[music]\nmusic01=t1.wav\nmusic02=t2.wav\nmusic03=t3.wav\n";
        dir.Write("sounds.dat", dat);
        g_musicNotices.clear();
        platform::SetSoundTraceSink([this](const std::string& line) { trace.push_back(line); });
        ASSERT_EQ(InitSoundSystem("sounds.dat", "sounds"), 1);
        trace.clear();
    }

    void TearDown() override {
        ShutdownSoundSystem();
        platform::SetSoundTraceSink(nullptr);
        g_musicEnabled = 0;
        g_playerView = nullptr;
        std::fill(std::begin(g_ambientSounds), std::end(g_ambientSounds), AmbientSoundSlot{});
        HeadlessTest::TearDown();
    }

    void WriteWav(const std::string& name, size_t frames) {
        auto bytes = EncodeWav(WavSpec{22050, 1, 16}, std::vector<int16_t>(frames, 2000));
        dir.Write("sounds/" + name, std::string(bytes.begin(), bytes.end()));
    }

    static int User(int handle, unsigned slot) {
        return static_cast<int>(AIL_sample_user_data(SoundLayerSample(handle), slot));
    }
    static bool Busy(int handle) { return AIL_sample_status(SoundLayerSample(handle)) != SMP_DONE; }

    // Sound number and layer volume of each busy effect handle 1 to 7 (-1 for a free one).
    static std::vector<std::pair<int, int>> Handles() {
        std::vector<std::pair<int, int>> r;
        for (int i = 1; i < kSampleHandles; ++i)
            r.emplace_back(Busy(i) ? User(i, kSampleUserNumber) : -1, Busy(i) ? User(i, kSampleUserVolume) : -1);
        return r;
    }

    // Handles now carrying sound n.
    static int CountCarrying(int n) {
        int c = 0;
        for (auto [sound, volume] : Handles())
            c += sound == n;
        return c;
    }

    std::string Log() const { return dir.Read("sounderr.txt"); }
    bool Logged(const std::string& line) const { return Log().find(line) != std::string::npos; }

    std::vector<std::string> TraceOf(const std::string& call) const {
        std::vector<std::string> r;
        for (const std::string& t : trace)
            if (t.rfind(call, 0) == 0)
                r.push_back(t);
        return r;
    }

    TempDir dir;
    std::vector<std::string> trace;
};

TEST_F(SoundSystemTest, StartLoadsEverySoundAndWritesTheDiagnostics) {
    EXPECT_EQ(g_soundState, 2);
    EXPECT_EQ(SoundLayerState(), 2);
    EXPECT_EQ(LoadedSoundCount(), kSounds);
    EXPECT_TRUE(SoundIsLoaded(0));
    EXPECT_TRUE(SoundIsLoaded(39));
    EXPECT_FALSE(SoundIsLoaded(kMissingSound));
    LoadMusic(2);
    UnloadMusic(2);
    ShutdownSoundSystem();
    const char* lines[] = {
        "Registering sound file [sounds.dat] and sound dir [sounds]\n",
        "Miles sound system install succesful.\n",
        "Wave out driver started Ok!\n",
        "Sample #0 Allocated -> [",
        "Sample #7 Allocated -> [",
        "LoadAllMilesSounds -> 40 sounds to load from [sounds.dat]\n",
        "Sound #1 -> [sounds\\s01.wav] from [sounds.dat] loaded [",
        "Sound #7 -> [] from [sounds.dat] could not find .dat entry!\n",
        "Music #2 -> [sounds\\t2.wav] from [sounds.dat] loaded [",
        "Music #2 Unloaded\n",
        "Sample #7 Released\n",
    };
    std::string log = Log();
    size_t at = 0;
    for (const char* line : lines) {
        size_t found = log.find(line, at);
        ASSERT_NE(found, std::string::npos) << "missing or out of order: " << line;
        at = found;
    }
    EXPECT_EQ(g_soundState, 0);
}

TEST_F(SoundSystemTest, WithoutAWaveOutputTheLogHoldsOnlyItsOwnLines) {
    ShutdownSoundSystem();
    ::setenv("SDL_AUDIODRIVER", "no_such_driver", 1);
    platform::SetSoundBackend(platform::SoundBackend::Sdl);
    InitSoundSystem("sounds.dat", "sounds");
    ::unsetenv("SDL_AUDIODRIVER");
    platform::SetSoundBackend(platform::SoundBackend::Auto);
    // The start counts as done; only the missing handles tell that nothing can play.
    EXPECT_EQ(SoundLayerState(), 2);
    for (int i = 0; i < kSampleHandles; ++i)
        EXPECT_EQ(SoundLayerSample(i), nullptr) << i;
    PlayGameSound(1, 0, 0);
    ShutdownSoundSystem();
    std::string expected =
        "Registering sound file [sounds.dat] and sound dir [sounds]\n"
        "Miles sound system install succesful.\n";
    for (int i = 0; i < kSampleHandles; ++i)
        expected += "Sample #" + std::to_string(i) + " Allocated -> [0]\n";
    expected += "LoadAllMilesSounds -> 40 sounds to load from [sounds.dat]\n";
    std::string log = Log();
    EXPECT_EQ(log.substr(0, expected.size()), expected);
    EXPECT_NE(log.find("DoMilesSound #1 -> No Open Sample Found!\n"), std::string::npos);
}

TEST_F(SoundSystemTest, TheCountOfSoundsIsHeldToTheTable) {
    ShutdownSoundSystem();
    struct Case {
        const char* numsounds;
        int loaded;
    };
    for (Case c : {Case{"100000", kSoundTableSize}, Case{"-5", 0}, Case{"500", kSoundTableSize}}) {
        dir.Write("sounds.dat", std::string("[sounds]\n[winsounds]\nnumsounds=") + c.numsounds +
                                    "\n[winsound03]\nfile=s03.wav\n");
        InitSoundSystem("sounds.dat", "sounds");
        EXPECT_EQ(LoadedSoundCount(), c.loaded) << c.numsounds;
        EXPECT_EQ(SoundIsLoaded(3), c.loaded > 3);
        StopAllSounds();
        ShutdownSoundSystem();
    }
}

TEST_F(SoundSystemTest, AFullSetOfHandlesGivesUpOnlyItsQuietestToALouderSound) {
    // Game volumes 0, -2, -5, -5, -1, 0, -3 are layer volumes 100, 80, 50, 50, 90, 100, 70.
    const int volumes[] = {0, -2, -5, -5, -1, 0, -3};
    for (int i = 0; i < 7; ++i)
        PlayGameSound(10 + i, volumes[i], 0);
    ASSERT_EQ(Handles(), (std::vector<std::pair<int, int>>{{10, 100}, {11, 80}, {12, 50}, {13, 50},
                                                            {14, 90}, {15, 100}, {16, 70}}));
    PlayGameSound(20, -6, 0);  // 40: quieter than everything, dropped
    EXPECT_EQ(CountCarrying(20), 0);
    EXPECT_TRUE(Logged("DoMilesSound #20 -> No Open Sample Found!\n"));
    PlayGameSound(21, -5, 0);  // 50: not louder than the quietest, dropped
    EXPECT_EQ(CountCarrying(21), 0);
    PlayGameSound(22, -4, 0);  // 60: takes the first of the two at 50
    EXPECT_TRUE(Logged("MakeOpenMilesSample -> Removing #3 at vol=50!\n"));
    PlayGameSound(23, -4, 0);  // 60: takes the other one
    PlayGameSound(24, -1, 0);  // 90: takes one at 60
    EXPECT_EQ(Handles(), (std::vector<std::pair<int, int>>{{10, 100}, {11, 80}, {24, 90}, {23, 60},
                                                            {14, 90}, {15, 100}, {16, 70}}));
    // Sounds at full volume are never taken, even for another at full volume.
    for (int i = 0; i < 10; ++i)
        PlayGameSound(30 + i % 5, 0, 0);
    EXPECT_EQ(CountCarrying(10) + CountCarrying(15), 2);
    // A handle that finished is free again.
    platform::AdvanceVirtualClock(1000);
    EXPECT_EQ(FindFreeSample(), 1);
}

TEST_F(SoundSystemTest, ASecondStartOfALoopingSoundReplacesTheFirst) {
    PlayLoopingSound(5, 100, 0);
    platform::AdvanceVirtualClock(300);
    PlayLoopingSound(5, 80, 0);
    EXPECT_TRUE(Logged("DoMilesSound #5 -> Duplicate Looping Sound!\n"));
    EXPECT_EQ(CountCarrying(5), 1);
    // It loops: long after its one second it still plays, restarted by the callback each time.
    platform::AdvanceVirtualClock(3500);
    EXPECT_EQ(CountCarrying(5), 1);
    EXPECT_TRUE(Logged("MilesLoopingCallback -> which=0 sound=5 sample=1\n"));
    EXPECT_EQ(User(1, kSampleUserVolume), 80);
    EXPECT_EQ(AIL_sample_volume(SoundLayerSample(1)), 80);
    StopMilesSound(5);
    platform::AdvanceVirtualClock(3000);
    EXPECT_EQ(CountCarrying(5), 0);
}

TEST_F(SoundSystemTest, DefaultVolumeAndCentrePanAreNotSent) {
    PlayGameSound(3, 0, 0);
    EXPECT_TRUE(TraceOf("AIL_set_sample_volume").empty());
    EXPECT_TRUE(TraceOf("AIL_set_sample_pan").empty());
    EXPECT_EQ(TraceOf("AIL_start_sample"), std::vector<std::string>{"AIL_start_sample 1"});
    PlayGameSound(4, -3, 5);
    EXPECT_EQ(TraceOf("AIL_set_sample_volume"), std::vector<std::string>{"AIL_set_sample_volume 2 70"});
    EXPECT_EQ(TraceOf("AIL_set_sample_pan"), std::vector<std::string>{"AIL_set_sample_pan 2 69"});
}

TEST_F(SoundSystemTest, PlayMusicStartsStopsAndIgnoresTheCurrentTrack) {
    LoadMusic(1);
    LoadMusic(2);
    PlayMusic(1, 1);  // music not enabled yet
    EXPECT_FALSE(Busy(kMusicSample));
    g_musicEnabled = 2;
    PlayMusic(1, 1);
    EXPECT_TRUE(Busy(kMusicSample));
    EXPECT_EQ(User(kMusicSample, kSampleUserKind), kSampleKindMusic);
    EXPECT_EQ(User(kMusicSample, kSampleUserNumber), 1);
    EXPECT_EQ(AIL_sample_volume(SoundLayerSample(kMusicSample)), 50);
    trace.clear();
    PlayMusic(1, 1);
    EXPECT_TRUE(trace.empty());
    PlayMusic(2, 1);
    EXPECT_EQ(User(kMusicSample, kSampleUserNumber), 2);
    EXPECT_TRUE(Logged("StopMilesMusic #1\nMusic Found! Sample #0\n"));
    PlayMusic(0, 1);
    EXPECT_FALSE(Busy(kMusicSample));
    EXPECT_EQ(g_currentMusic, 0);
    StopMusic();
    EXPECT_TRUE(Logged("Music Not Found! which=0 sample=#0\n"));
}

TEST_F(SoundSystemTest, ANewTrackDoesNotStartWhileTheOldOnePlays) {
    LoadMusic(1);
    LoadMusic(2);
    DoMilesMusic(1, 1);
    DoMilesMusic(2, 1);
    EXPECT_TRUE(Logged("DoMilesMusic #2 -> Old Music Already Playing!\n"));
    EXPECT_EQ(User(kMusicSample, kSampleUserNumber), 1);
    // The front end only stops the track it knows to be current (none here).
    g_musicEnabled = 2;
    PlayMusic(2, 1);
    EXPECT_EQ(User(kMusicSample, kSampleUserNumber), 1);
    // Looping music carries on past its end.
    platform::AdvanceVirtualClock(5500);
    EXPECT_TRUE(Busy(kMusicSample));
}

TEST_F(SoundSystemTest, ATrackPlayedOnceTellsTheWindowWhenItEnds) {
    WNDCLASS wc{};
    wc.lpfnWndProc = GameLikeProc;
    wc.lpszClassName = "Vorn";
    RegisterClass(&wc);
    ASSERT_NE(CreateWindowEx(0, "Vorn", "Quorrin", WS_POPUP, 0, 0, 800, 600, nullptr, nullptr, nullptr, nullptr),
              nullptr);
    g_musicEnabled = 2;
    LoadMusic(2);
    PlayMusic(2, 0);
    AdvanceAndPump(1999);
    EXPECT_TRUE(g_musicNotices.empty());
    EXPECT_EQ(g_currentMusic, 2);
    AdvanceAndPump(1);
    EXPECT_EQ(g_musicNotices, std::vector<WPARAM>{MCI_NOTIFY_SUCCESSFUL});
    EXPECT_EQ(g_currentMusic, 0);
    // So the same track can be played again.
    PlayMusic(2, 1);
    EXPECT_TRUE(Busy(kMusicSample));
    AdvanceAndPump(10000);
    EXPECT_EQ(g_musicNotices.size(), 1u);
}

TEST_F(SoundSystemTest, RandomAmbientSlotsWaitForTheirNextTime) {
    AmbientSoundSlot& slot = g_ambientSounds[3];
    slot = AmbientSoundSlot{10, 0, 2, 5, 3, 0, 0};
    // The draws the slot will make: a sound of its three, then an interval of 2 to 4 seconds.
    GameSrand(77);
    int r1 = GameRand(), r2 = GameRand(), r3 = GameRand(), r4 = GameRand();
    GameSrand(77);

    platform::UseVirtualClock(100000);  // 1000 s of game clock
    ReadGameClock();
    PlayAmbientSound(3, 20);
    ASSERT_EQ(CountCarrying(10 + r1 % 3), 1);
    EXPECT_EQ(User(1, kSampleUserVolume), 80);
    EXPECT_EQ(slot.playing, 1);
    EXPECT_EQ(slot.lastPlay, 100);
    EXPECT_EQ(slot.nextPlay, 100 + 2 + r2 % 3);

    trace.clear();
    for (int s = 101; s < slot.nextPlay; ++s) {
        platform::AdvanceVirtualClock(1000);
        ReadGameClock();
        PlayAmbientSound(3, 20);
    }
    EXPECT_TRUE(TraceOf("AIL_start_sample").empty());
    platform::AdvanceVirtualClock(1000);
    ReadGameClock();
    int second = slot.nextPlay;
    PlayAmbientSound(3, 20);
    EXPECT_EQ(TraceOf("AIL_start_sample").size(), 1u);
    EXPECT_EQ(CountCarrying(10 + r3 % 3), 1);
    EXPECT_EQ(slot.lastPlay, second);
    EXPECT_EQ(slot.nextPlay, second + 2 + r4 % 3);

    // Equal intervals: exactly that long; a stopped slot plays at once.
    slot.minInterval = slot.maxInterval = 7;
    StopAmbientSound(3);
    EXPECT_EQ(slot.playing, 0);
    PlayAmbientSound(3, 0);
    EXPECT_EQ(slot.nextPlay, second + 7);
}

TEST_F(SoundSystemTest, LoopingAmbientSlotsLoopCentredAndFollowTheDistance) {
    AmbientSoundSlot& slot = g_ambientSounds[0];
    slot = AmbientSoundSlot{20, 0, 0, 0, 0, 0, 0};
    PlayAmbientSound(0, 30);
    EXPECT_EQ(CountCarrying(20), 1);
    EXPECT_EQ(AIL_sample_pan(SoundLayerSample(1)), AIL_DEFAULT_PAN);
    EXPECT_EQ(AIL_sample_volume(SoundLayerSample(1)), 70);
    PlayAmbientSound(0, 50);
    EXPECT_EQ(CountCarrying(20), 1);
    EXPECT_EQ(AIL_sample_volume(SoundLayerSample(1)), 50);
    platform::AdvanceVirtualClock(2500);
    EXPECT_EQ(CountCarrying(20), 1);
    StopAmbientSound(0);
    EXPECT_EQ(CountCarrying(20), 0);
    EXPECT_EQ(slot.playing, 0);
}

TEST_F(SoundSystemTest, SoundsInTheWorldFadeWithTheLargerDistance) {
    PlayerView view{};
    view.x = 1000;
    view.y = 1000;
    struct Case {
        int dx, dy, range;
        int volume;  // layer volume, -1 for nothing played
    };
    const Case cases[] = {
        {50, 0, 400, 100},     // within a quarter of the range
        {-99, 99, 400, 100},
        {200, 30, 400, 80},    // 5 - 200 x 15 / 400 = -2
        {0, -390, 400, 10},    // -9
        {110, 0, 400, 100},    // would be 1 (louder than full): held to 0
        {400, 0, 400, -1},     // at the range: nothing
        {0, 0, 0, -1},         // no range
        {10, 500, 400, -1},
    };
    int sound = 1;
    for (const Case& c : cases) {
        ++sound;
        g_playerView = nullptr;
        PlaySoundAt(1000 + c.dx, 1000 + c.dy, sound, c.range);
        EXPECT_EQ(CountCarrying(sound), 0) << "no player view";
        g_playerView = &view;
        PlaySoundAt(1000 + c.dx, 1000 + c.dy, sound, c.range);
        int found = -1;
        for (auto [n, v] : Handles())
            if (n == sound)
                found = v;
        EXPECT_EQ(found, c.volume) << c.dx << "," << c.dy << " range " << c.range;
        StopMilesSound(sound);
    }
    PlaySoundAt(1000, 1000, 0, 400);  // sound 0 is no sound here
    EXPECT_EQ(CountCarrying(0), 0);
}

TEST_F(SoundSystemTest, TheLoopingAmbientSwitchesBetweenSounds) {
    SetLoopingAmbient(5, -20, 0);
    EXPECT_EQ(Handles()[0], std::make_pair(5, 80));
    SetLoopingAmbient(5, -40, 0);
    EXPECT_EQ(Handles()[0], std::make_pair(5, 60));
    EXPECT_TRUE(Logged("ChangeVolume #5 -> vol=60 sample=1\n"));
    SetLoopingAmbient(6, 0, 0);
    EXPECT_EQ(CountCarrying(5), 0);
    EXPECT_EQ(CountCarrying(6), 1);
    EXPECT_EQ(g_loopingAmbient, 6);
    SetLoopingAmbient(0, 0, 0);
    EXPECT_EQ(CountCarrying(6), 0);
    EXPECT_EQ(g_loopingAmbient, 0);
}

TEST_F(SoundSystemTest, StopAllSoundsLeavesEveryEffectHandleFree) {
    PlayGameSound(1, 0, 0);
    PlayLoopingSound(2, 100, 0);
    SetLoopingAmbient(3, 0, 0);
    g_ambientSounds[0] = AmbientSoundSlot{4, 0, 0, 0, 0, 0, 0};
    PlayAmbientSound(0, 0);
    g_playingSounds[2] = PlayingSoundEntry{1, 4};
    StopAllSounds();
    for (int i = 1; i < kSampleHandles; ++i)
        EXPECT_FALSE(Busy(i)) << i;
    EXPECT_EQ(g_playingSounds[2].active, 0);
    EXPECT_EQ(g_loopingAmbient, 0);
    platform::AdvanceVirtualClock(3000);
    for (int i = 1; i < kSampleHandles; ++i)
        EXPECT_FALSE(Busy(i)) << i;
}

TEST_F(SoundSystemTest, OnlySoundStateTwoPlays) {
    EXPECT_EQ(SetSoundState(1), 1);
    PlayGameSound(1, 0, 0);
    SetLoopingAmbient(2, 0, 0);
    EXPECT_EQ(CountCarrying(1) + CountCarrying(2), 0);
    SetSoundState(2);
    PlayGameSound(1, 0, 0);
    EXPECT_EQ(CountCarrying(1), 1);
    ShutdownSoundSystem();
    EXPECT_EQ(SetSoundState(2), 0);
    EXPECT_EQ(g_soundState, 0);
    PlayGameSound(1, 0, 0);  // harmless without a layer
}

}  // namespace

namespace {

// Sound numbers come from level files and the game service (16-bit): the tables are never overrun.
TEST_F(SoundSystemTest, NumbersOutsideTheTablesAreIgnored) {
    g_musicEnabled = 2;
    PlayerView view{};
    g_playerView = &view;
    for (int n : {-1, kSoundTableSize, 65535}) {
        PlayGameSound(n, 0, 0);
        PlaySoundAt(0, 0, n, 100);
        PlayLoopingSound(n, 100, 0);
        ChangeVolume(n, 50);
        StopMilesSound(n);
        LoadMilesSound(n);
    }
    for (int t : {-1, kMusicTableSize, 999}) {
        LoadMusic(t);
        PlayMusic(t, 1);
        UnloadMusic(t);
        StopMilesMusic(t);
    }
    for (int slot : {-1, kAmbientSoundSlots}) {
        PlayAmbientSound(slot, 0);
        StopAmbientSound(slot);
    }
    StopPlayingSounds(kPlayingSoundEntries);
    EXPECT_EQ(g_currentMusic, 0);
    for (int i = 0; i < kSampleHandles; ++i)
        EXPECT_FALSE(Busy(i)) << i;
}

}  // namespace

namespace {

// soundcheck on the sample installation: a missing audio device is reported as such.
TEST(SoundCheckProgram, SaysWhenThereIsNoWaveOutput) {
    TempDir dir;
    struct Case {
        const char* driver;
        int exitCode;
        const char* says;  // on standard error or output
    };
    const Case cases[] = {
        {"no_such_driver", 1, "soundcheck: no wave output: "},
        {"dummy", 0, "soundcheck: ok"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.driver);
        std::string cmd = "cd '" + dir.Path() + "' && GAME_HEADLESS=1 SDL_AUDIODRIVER=" + c.driver +
                          " timeout 60 '" + SOUNDCHECK_PROGRAM + "' '" + SAMPLE_INSTALL_DIR +
                          "' --sound 1 --music-seconds 0 >out.txt 2>&1";
        int status = std::system(cmd.c_str());
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), c.exitCode) << dir.Read("out.txt");
        EXPECT_NE(dir.Read("out.txt").find(c.says), std::string::npos) << dir.Read("out.txt");
    }
}

}  // namespace
