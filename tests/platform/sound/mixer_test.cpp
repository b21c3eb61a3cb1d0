#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "platform/sound/mixer.h"

namespace {

using platform::MixerVoice;
using platform::SoundMixer;
using platform::SoundPcm;

std::shared_ptr<const SoundPcm> Pcm(int channels, std::vector<int16_t> samples) {
    auto p = std::make_shared<SoundPcm>();
    p->channels = channels;
    p->frames = samples.size() / channels;
    p->samples = std::move(samples);
    return p;
}

void Play(SoundMixer& m, int voice, std::shared_ptr<const SoundPcm> pcm, int volume = 100, int pan = 64) {
    MixerVoice& v = m.Voice(voice);
    v.pcm = std::move(pcm);
    v.position = 0;
    v.volume = volume;
    v.pan = pan;
    v.status = SMP_PLAYING;
}

TEST(MixerTest, SumsTwoSoundsAndClipsAtKnownFrames) {
    SoundMixer m(4);
    // A mono sound of three frames and a stereo one of five, both at the defaults.
    Play(m, 0, Pcm(1, {20000, -20000, 100}));
    Play(m, 1, Pcm(2, {20000, 1, -20000, 2, 5, 6, 7, 8, 9, 10}));
    std::vector<int16_t> out(2 * 6, 99);
    m.Render(out.data(), 6);
    const std::vector<int16_t> expected = {
        32767, 20001,    // 40000 clipped; 20000 + 1
        -32768, -19998,  // -40000 clipped; -20000 + 2
        105, 106,        // 100 + 5, 100 + 6
        7, 8,            // the mono sound has ended
        9, 10,
        0, 0,            // both ended: silence
    };
    EXPECT_EQ(out, expected);
    EXPECT_EQ(m.Voice(0).status, SMP_DONE);
    EXPECT_EQ(m.Voice(1).status, SMP_DONE);
}

TEST(MixerTest, VolumeAndPanLaw) {
    struct Case {
        int volume, pan;
        int16_t left, right;
    };
    // A mono sample of 10000: volume scales linearly, 100 and above leave it alone; the far
    // channel fades linearly as the pan moves away from the centre, the near one stays.
    const Case cases[] = {
        {100, 64, 10000, 10000}, {127, 64, 10000, 10000}, {50, 64, 5000, 5000}, {0, 64, 0, 0},
        {100, 0, 10000, 0},      {100, 127, 0, 10000},    {100, 32, 10000, 5000},
        {100, 96, 4920, 10000},  {50, 32, 5000, 2500},    {100, 200, 0, 10000},
    };
    for (const Case& c : cases) {
        SoundMixer m(1);
        Play(m, 0, Pcm(1, {10000}), c.volume, c.pan);
        int16_t out[2];
        m.Render(out, 1);
        EXPECT_EQ(out[0], c.left) << "volume " << c.volume << " pan " << c.pan;
        EXPECT_EQ(out[1], c.right) << "volume " << c.volume << " pan " << c.pan;
    }
}

TEST(MixerTest, AnEndHandlerRestartsTheVoiceWithoutAGap) {
    SoundMixer m(2);
    auto pcm = Pcm(1, {1, 2, 3});
    Play(m, 0, pcm);
    std::vector<int> ends;
    m.SetEndHandler([&](int voice) {
        ends.push_back(voice);
        m.Voice(voice).position = 0;
        m.Voice(voice).status = SMP_PLAYING;
    });
    std::vector<int16_t> out(2 * 8);
    m.Render(out.data(), 8);
    std::vector<int16_t> left;
    for (size_t i = 0; i < out.size(); i += 2)
        left.push_back(out[i]);
    EXPECT_EQ(left, (std::vector<int16_t>{1, 2, 3, 1, 2, 3, 1, 2}));
    EXPECT_EQ(ends, (std::vector<int>{0, 0}));
}

TEST(MixerTest, RenderingWithoutOutputKeepsTheSameTime) {
    SoundMixer m(2);
    Play(m, 0, Pcm(1, std::vector<int16_t>(1000, 1)));
    Play(m, 1, Pcm(2, std::vector<int16_t>(2 * 5000, 1)));
    int ended = -1;
    size_t endedAfter = 0;
    size_t rendered = 0;
    m.SetEndHandler([&](int voice) { ended = voice, endedAfter = rendered; });
    for (; rendered < 1200; rendered += 100)
        m.Render(nullptr, 100);
    EXPECT_EQ(ended, 0);
    EXPECT_EQ(endedAfter, 900u);  // inside the render of frames 900 to 999
    EXPECT_EQ(m.Voice(1).position, 1200u);
    EXPECT_EQ(m.Voice(1).status, SMP_PLAYING);
    // Paused voices do not move.
    m.Voice(1).status = SMP_STOPPED;
    m.Render(nullptr, 500);
    EXPECT_EQ(m.Voice(1).position, 1200u);
}

}  // namespace
