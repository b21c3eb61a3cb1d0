#pragma once
// WAV files, the sound format of the sample library. A file is read once and converted to the
// mixer's format (22050 frames a second, signed 16-bit, its own one or two channels), so playing
// a sound never converts anything.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

constexpr int kMixRate = 22050;
// Longest sound the library accepts after conversion: ten minutes.
constexpr size_t kMaxSoundFrames = static_cast<size_t>(kMixRate) * 600;

struct SoundPcm {
    int channels = 0;              // 1 or 2
    size_t frames = 0;             // at kMixRate
    std::vector<int16_t> samples;  // frames x channels, interleaved
};

// Parses a RIFF WAVE image of PCM (8-bit unsigned or 16-bit signed, one or two channels, 4000 to
// 192000 frames a second, WAVE_FORMAT_PCM or the extensible form of it) and converts it. A data
// chunk longer than the image is cut to what is there. False, with the reason in error when
// given, for anything else or for a sound without frames.
bool ParseWav(const uint8_t* data, size_t size, SoundPcm* out, std::string* error = nullptr);

// Converts frames of 16-bit interleaved samples from rate to kMixRate by linear interpolation
// (an exact copy at kMixRate).
std::vector<int16_t> ResampleToMixRate(const std::vector<int16_t>& in, int channels, uint32_t rate);

}  // namespace platform
