#pragma once
// WAV files (RIFF WAVE, PCM) for the sample installation and for tests.

#include <cstdint>
#include <vector>

struct WavSpec {
    int rate = 22050;
    int channels = 1;  // 1 or 2
    int bits = 16;     // 8 or 16
};

// Encodes interleaved 16-bit samples; 8-bit files keep the high byte, offset to unsigned.
std::vector<uint8_t> EncodeWav(const WavSpec& spec, const std::vector<int16_t>& samples);
