#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <algorithm>
#include <string>
#include <vector>

#include "updater/lib/adler32.h"

namespace {

// Against zlib's own over lengths around the block and lane sizes, from fresh and from running
// values, on bytes of 255 (the largest sums) and on noise.
TEST(Adler32, AgreesWithZlib) {
    std::vector<uint8_t> noise(200000);
    uint32_t x = 5;
    for (uint8_t& b : noise) {
        x = x * 1103515245u + 12345u;
        b = static_cast<uint8_t>(x >> 23);
    }
    std::vector<uint8_t> full(200000, 0xFF);
    const size_t lengths[] = {0, 1, 31, 32, 33, 63, 1023, 5552, 32767, 32768, 32769, 65536 + 17, 200000};
    const uint32_t starts[] = {1, 0xFFF0FFF0u, 0x12345678u % 65521 | (0x9ABCu << 16)};
    for (const std::vector<uint8_t>* bytes : {&noise, &full})
        for (size_t n : lengths)
            for (uint32_t start : starts) {
                SCOPED_TRACE(std::to_string(n) + " bytes from " + std::to_string(start));
                const uint32_t zlib = static_cast<uint32_t>(adler32(start, bytes->data(), static_cast<uInt>(n)));
                EXPECT_EQ(Adler32(start, bytes->data(), n), zlib);
            }
    // In pieces as in one.
    uint32_t pieces = 1;
    for (size_t at = 0; at < noise.size(); at += 1000)
        pieces = Adler32(pieces, noise.data() + at, std::min<size_t>(1000, noise.size() - at));
    EXPECT_EQ(pieces, Adler32(1, noise.data(), noise.size()));
}

}  // namespace
