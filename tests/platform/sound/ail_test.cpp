#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/sound/ail.h"
#include "tests/support/headless.h"
#include "tests/support/temp_dir.h"
#include "tools/writers/wav_writer.h"

namespace {

std::vector<HSAMPLE> g_ended;

void RecordEnd(HSAMPLE s) {
    g_ended.push_back(s);
}

void* g_loopImage = nullptr;

void Restart(HSAMPLE s) {
    g_ended.push_back(s);
    AIL_init_sample(s);
    AIL_set_sample_file(s, g_loopImage, 0);
    AIL_register_EOS_callback(s, Restart);
    AIL_start_sample(s);
}

std::vector<MSG> g_windowMessages;

LRESULT RecordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message >= WM_USER || message == MM_MCINOTIFY)
        g_windowMessages.push_back(MSG{hwnd, message, wParam, lParam, 0, {0, 0}});
    return DefWindowProc(hwnd, message, wParam, lParam);
}

// The library over the silent backend with a virtual clock; one-second and quarter-second sounds
// at the mix rate, so frames and milliseconds line up exactly.
class SampleLibraryTest : public HeadlessTest {
protected:
    void SetUp() override {
        HeadlessTest::SetUp();
        dir.Enter();
        WriteWav("second.wav", std::vector<int16_t>(22050, 1000));
        WriteWav("quarter.wav", std::vector<int16_t>(22050 / 4, 1000));
        dir.Write("notes.txt", "not a sound");
        g_ended.clear();
        g_windowMessages.clear();
        platform::SetSoundBackend(platform::SoundBackend::Auto);  // headless picks the silent one
        ASSERT_EQ(AIL_startup(), 1);
        ASSERT_EQ(AIL_waveOutOpen(&driver, nullptr, WAVE_MAPPER, &kFormat), 0) << AIL_last_error();
        second = AIL_file_read("second.wav", nullptr);
        quarter = AIL_file_read("QUARTER.WAV", nullptr);  // game paths ignore case
        ASSERT_TRUE(second && quarter);
        sample = AIL_allocate_sample_handle(driver);
        ASSERT_NE(sample, nullptr);
    }

    void TearDown() override {
        AIL_mem_free_lock(second);
        AIL_mem_free_lock(quarter);
        AIL_shutdown();
        platform::SetSoundTraceSink(nullptr);
        HeadlessTest::TearDown();
    }

    void WriteWav(const std::string& name, const std::vector<int16_t>& samples) {
        auto bytes = EncodeWav(WavSpec{22050, 1, 16}, samples);
        dir.Write(name, std::string(bytes.begin(), bytes.end()));
    }

    void Start(HSAMPLE s, void* image) {
        AIL_init_sample(s);
        ASSERT_EQ(AIL_set_sample_file(s, image, 0), 1);
        AIL_start_sample(s);
    }

    static constexpr PCMWAVEFORMAT kFormat{{WAVE_FORMAT_PCM, 2, 22050, 88200, 4}, 16};
    TempDir dir;
    HDIGDRIVER driver = nullptr;
    HSAMPLE sample = nullptr;
    void* second = nullptr;
    void* quarter = nullptr;
};

TEST_F(SampleLibraryTest, StatusAndEndFollowThePlatformClock) {
    EXPECT_EQ(platform::ActiveSoundBackend(), platform::SoundBackend::Silent);
    EXPECT_EQ(AIL_sample_status(sample), SMP_DONE);
    Start(sample, second);
    AIL_register_EOS_callback(sample, RecordEnd);
    EXPECT_EQ(AIL_sample_status(sample), SMP_PLAYING);
    platform::AdvanceVirtualClock(999);
    EXPECT_EQ(AIL_sample_status(sample), SMP_PLAYING);
    EXPECT_EQ(platform::SampleFramePosition(sample), 22027u);  // 0.999 s of 22050 frames
    EXPECT_TRUE(g_ended.empty());
    platform::AdvanceVirtualClock(1);
    EXPECT_EQ(AIL_sample_status(sample), SMP_DONE);
    EXPECT_EQ(g_ended, std::vector<HSAMPLE>{sample});
}

TEST_F(SampleLibraryTest, PausedSamplesKeepTheirPlace) {
    Start(sample, second);
    platform::AdvanceVirtualClock(400);
    AIL_stop_sample(sample);
    EXPECT_EQ(AIL_sample_status(sample), SMP_STOPPED);
    platform::AdvanceVirtualClock(5000);
    EXPECT_EQ(AIL_sample_status(sample), SMP_STOPPED);
    AIL_resume_sample(sample);
    platform::AdvanceVirtualClock(599);
    EXPECT_EQ(AIL_sample_status(sample), SMP_PLAYING);
    platform::AdvanceVirtualClock(1);
    EXPECT_EQ(AIL_sample_status(sample), SMP_DONE);
}

TEST_F(SampleLibraryTest, EndingRunsTheCallbackOnlyForASampleThatPlays) {
    Start(sample, second);
    EXPECT_EQ(AIL_register_EOS_callback(sample, RecordEnd), nullptr);
    AIL_end_sample(sample);
    EXPECT_EQ(AIL_sample_status(sample), SMP_DONE);
    EXPECT_EQ(g_ended.size(), 1u);
    AIL_end_sample(sample);  // already done
    EXPECT_EQ(g_ended.size(), 1u);
    // Initialising forgets the callback.
    AIL_register_EOS_callback(sample, RecordEnd);
    AIL_init_sample(sample);
    AIL_set_sample_file(sample, quarter, 0);
    AIL_start_sample(sample);
    platform::AdvanceVirtualClock(300);
    EXPECT_EQ(AIL_sample_status(sample), SMP_DONE);
    EXPECT_EQ(g_ended.size(), 1u);
}

TEST_F(SampleLibraryTest, ACallbackThatRestartsLoopsAtTheExactFrame) {
    g_loopImage = quarter;
    Start(sample, quarter);
    AIL_register_EOS_callback(sample, Restart);
    platform::AdvanceVirtualClock(1100);  // four loops of 250 ms and 100 ms of the fifth
    EXPECT_EQ(AIL_sample_status(sample), SMP_PLAYING);
    EXPECT_EQ(g_ended.size(), 4u);
    EXPECT_EQ(platform::SampleFramePosition(sample), 24255u - 4 * (22050 / 4));  // 1.1 s less four loops
    AIL_register_EOS_callback(sample, nullptr);
    AIL_end_sample(sample);
    platform::AdvanceVirtualClock(1000);
    EXPECT_EQ(g_ended.size(), 4u);
}

TEST_F(SampleLibraryTest, NoticeOfTheEndIsPostedFromThePump) {
    WNDCLASS wc{};
    wc.lpfnWndProc = RecordingProc;
    wc.lpszClassName = "SoundTest";
    RegisterClass(&wc);
    HWND hwnd = CreateWindowEx(0, "SoundTest", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(hwnd, nullptr);

    Start(sample, quarter);
    platform::NotifyWindowAtSampleEnd(sample, hwnd, MM_MCINOTIFY, MCI_NOTIFY_SUCCESSFUL);
    AdvanceAndPump(249);
    EXPECT_TRUE(g_windowMessages.empty());
    AdvanceAndPump(1);
    ASSERT_EQ(g_windowMessages.size(), 1u);
    EXPECT_EQ(g_windowMessages[0].message, MM_MCINOTIFY);
    EXPECT_EQ(g_windowMessages[0].wParam, MCI_NOTIFY_SUCCESSFUL);

    // Once only; and a sample ended by the game is not reported.
    Start(sample, quarter);
    AdvanceAndPump(1000);
    Start(sample, quarter);
    platform::NotifyWindowAtSampleEnd(sample, hwnd, MM_MCINOTIFY, MCI_NOTIFY_SUCCESSFUL);
    AIL_end_sample(sample);
    AdvanceAndPump(1000);
    EXPECT_EQ(g_windowMessages.size(), 1u);
}

TEST_F(SampleLibraryTest, ImagesThatAreNotSoundsNeverPlay) {
    void* text = AIL_file_read("notes.txt", nullptr);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(AIL_file_read("missing.wav", nullptr), nullptr);
    AIL_init_sample(sample);
    EXPECT_EQ(AIL_set_sample_file(sample, text, 0), 0);
    AIL_start_sample(sample);
    EXPECT_EQ(AIL_sample_status(sample), SMP_DONE);
    int local = 0;
    EXPECT_EQ(AIL_set_sample_file(sample, &local, 0), 0);  // not an image of the library
    EXPECT_EQ(AIL_set_sample_file(sample, nullptr, 0), 0);
    AIL_mem_free_lock(text);
}

TEST_F(SampleLibraryTest, AFreedImageKeepsPlayingOnItsHandle) {
    void* own = AIL_file_read("second.wav", nullptr);
    Start(sample, own);
    AIL_mem_free_lock(own);
    platform::AdvanceVirtualClock(500);
    EXPECT_EQ(AIL_sample_status(sample), SMP_PLAYING);
    platform::AdvanceVirtualClock(500);
    EXPECT_EQ(AIL_sample_status(sample), SMP_DONE);
}

TEST_F(SampleLibraryTest, HandlesAreLimitedAndStaleOnesAreHarmless) {
    std::vector<HSAMPLE> handles{sample};
    while (HSAMPLE s = AIL_allocate_sample_handle(driver))
        handles.push_back(s);
    EXPECT_EQ(handles.size(), static_cast<size_t>(AIL_MAX_SAMPLES));
    AIL_release_sample_handle(handles.back());
    EXPECT_EQ(AIL_sample_status(handles.back()), SMP_FREE);
    AIL_start_sample(handles.back());
    EXPECT_EQ(AIL_allocate_sample_handle(driver), handles.back());

    Start(sample, second);
    AIL_waveOutClose(driver);
    EXPECT_EQ(AIL_sample_status(sample), SMP_FREE);
    AIL_set_sample_volume(sample, 3);
    AIL_end_sample(sample);
    EXPECT_EQ(AIL_sample_user_data(sample, 0), 0);
    EXPECT_EQ(AIL_allocate_sample_handle(driver), nullptr);
}

TEST_F(SampleLibraryTest, OnlyTheOneOutputFormatOpensOnce) {
    HDIGDRIVER other = nullptr;
    EXPECT_NE(AIL_waveOutOpen(&other, nullptr, WAVE_MAPPER, &kFormat), 0);  // already open
    EXPECT_EQ(other, nullptr);
    AIL_shutdown();
    AIL_startup();
    PCMWAVEFORMAT mono = kFormat;
    mono.wf.nChannels = 1;
    EXPECT_NE(AIL_waveOutOpen(&other, nullptr, WAVE_MAPPER, &mono), 0);
    PCMWAVEFORMAT fast = kFormat;
    fast.wf.nSamplesPerSec = 44100;
    EXPECT_NE(AIL_waveOutOpen(&other, nullptr, WAVE_MAPPER, &fast), 0);
    AIL_shutdown();
    EXPECT_NE(AIL_waveOutOpen(&other, nullptr, WAVE_MAPPER, &kFormat), 0);  // not started
}

TEST_F(SampleLibraryTest, TraceNamesEveryChangeOfAHandle) {
    std::vector<std::string> trace;
    platform::SetSoundTraceSink([&](const std::string& line) { trace.push_back(line); });
    AIL_init_sample(sample);
    AIL_set_sample_file(sample, second, 0);
    AIL_set_sample_volume(sample, 40);
    AIL_set_sample_pan(sample, 10);
    AIL_start_sample(sample);
    AIL_end_sample(sample);
    EXPECT_EQ(trace, (std::vector<std::string>{"AIL_init_sample 0", "AIL_set_sample_file 0",
                                               "AIL_set_sample_volume 0 40", "AIL_set_sample_pan 0 10",
                                               "AIL_start_sample 0", "AIL_end_sample 0"}));
    EXPECT_EQ(AIL_sample_volume(sample), 40);
    EXPECT_EQ(AIL_sample_pan(sample), 10);
}

}  // namespace
