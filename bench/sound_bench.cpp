// The mixer's cost for one second of output with every handle the game uses busy, and the cost
// of reading a sound file (parse and conversion).

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <vector>

#include "platform/sound/mixer.h"
#include "platform/sound/wav.h"
#include "tools/writers/wav_writer.h"

namespace {

std::shared_ptr<const platform::SoundPcm> Tone(int channels, size_t frames, double step) {
    auto p = std::make_shared<platform::SoundPcm>();
    p->channels = channels;
    p->frames = frames;
    p->samples.resize(frames * channels);
    for (size_t i = 0; i < p->samples.size(); ++i)
        p->samples[i] = static_cast<int16_t>(20000 * std::sin(static_cast<double>(i) * step));
    return p;
}

// Eight voices (stereo music at half volume, seven panned mono sounds at various volumes), all
// looping, rendered a second at a time.
void BM_MixOneSecondEightVoices(benchmark::State& state) {
    platform::SoundMixer mixer(8);
    for (int i = 0; i < 8; ++i) {
        platform::MixerVoice& v = mixer.Voice(i);
        v.pcm = i == 0 ? Tone(2, 22050 * 4, 0.01) : Tone(1, 5000 + 1000 * i, 0.05 * i);
        v.volume = i == 0 ? 50 : 40 + 10 * i;
        v.pan = i == 0 ? 64 : 16 * i;
        v.status = SMP_PLAYING;
    }
    mixer.SetEndHandler([&](int i) {
        mixer.Voice(i).position = 0;
        mixer.Voice(i).status = SMP_PLAYING;
    });
    std::vector<int16_t> out(2 * platform::kMixRate);
    for (auto _ : state) {
        mixer.Render(out.data(), platform::kMixRate);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * platform::kMixRate);
}
BENCHMARK(BM_MixOneSecondEightVoices)->Unit(benchmark::kMicrosecond);

// A second of 8-bit 11025 Hz mono, as the installation's smaller sounds are stored.
void BM_ReadWavOneSecond11025(benchmark::State& state) {
    std::vector<int16_t> samples(11025);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>(20000 * std::sin(static_cast<double>(i) * 0.1));
    std::vector<uint8_t> image = EncodeWav(WavSpec{11025, 1, 8}, samples);
    for (auto _ : state) {
        platform::SoundPcm pcm;
        benchmark::DoNotOptimize(platform::ParseWav(image.data(), image.size(), &pcm));
    }
}
BENCHMARK(BM_ReadWavOneSecond11025)->Unit(benchmark::kMicrosecond);

}  // namespace
