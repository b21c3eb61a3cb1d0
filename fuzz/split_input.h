#pragma once
// Several files from one fuzz input: four little-endian 32-bit lengths, then the first four files
// of those lengths (cut to what remains), and the last file as the rest.

#include <cstddef>
#include <cstdint>
#include <cstring>

struct FuzzFiles {
    const uint8_t* data[5];
    size_t size[5];
};

// False when the input is too short for the four lengths.
inline bool SplitFuzzInput(const uint8_t* input, size_t length, FuzzFiles& out) {
    if (length < 16)
        return false;
    size_t at = 16;
    for (int i = 0; i < 4; ++i) {
        uint32_t n;
        std::memcpy(&n, input + 4 * i, 4);
        out.data[i] = input + at;
        out.size[i] = n < length - at ? n : length - at;
        at += out.size[i];
    }
    out.data[4] = input + at;
    out.size[4] = length - at;
    return true;
}
