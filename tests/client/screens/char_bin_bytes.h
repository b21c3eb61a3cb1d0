#pragma once
// char.bin laid out by hand for tests: version, body word 0, four slots, inner sum, zero word,
// outer sum, little-endian.

#include <cstdint>
#include <cstring>
#include <vector>

#include "client/core/numeric.h"

inline std::vector<uint8_t> CharBinOf(uint32_t version, const std::vector<uint8_t>& slots) {
    std::vector<uint8_t> f(1934, 0);
    f[0] = f[4] = static_cast<uint8_t>(version);
    std::memcpy(&f[8], slots.data(), 1920);
    const uint16_t inner = DataChecksum(&f[8], 1920);
    f[1928] = static_cast<uint8_t>(inner);
    f[1929] = static_cast<uint8_t>(inner >> 8);
    const uint16_t outer = DataChecksum(&f[4], 1928);
    f[1932] = static_cast<uint8_t>(outer);
    f[1933] = static_cast<uint8_t>(outer >> 8);
    return f;
}
