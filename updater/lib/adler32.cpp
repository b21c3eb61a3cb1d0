#include "updater/lib/adler32.h"

#include <algorithm>

namespace {

constexpr uint64_t kModulus = 65521;
constexpr size_t kLanes = 32;
// Lane sums stay within 32 bits: before[i] is at most 255 x blocks x (blocks - 1) / 2.
constexpr size_t kMaxBlocks = 1024;

}  // namespace

uint32_t Adler32(uint32_t adler, const uint8_t* data, size_t size) {
    uint64_t a = adler & 0xFFFF;
    uint64_t b = adler >> 16;
    while (size >= kLanes) {
        const size_t blocks = std::min(size / kLanes, kMaxBlocks);
        // Per lane: the sum of its bytes, and the sum of those sums before each block.
        uint32_t sums[kLanes] = {};
        uint32_t before[kLanes] = {};
        for (size_t k = 0; k < blocks; ++k, data += kLanes)
            for (size_t i = 0; i < kLanes; ++i) {
                before[i] += sums[i];
                sums[i] += data[i];
            }
        // Each block adds a x 32 to b, and each of its bytes once for every place after it.
        uint64_t sum = 0, weighted = 0, earlier = 0;
        for (size_t i = 0; i < kLanes; ++i) {
            sum += sums[i];
            weighted += (kLanes - i) * uint64_t(sums[i]);
            earlier += before[i];
        }
        b = (b + kLanes * (blocks * a + earlier) + weighted) % kModulus;
        a = (a + sum) % kModulus;
        size -= blocks * kLanes;
    }
    for (; size > 0; --size) {
        a += *data++;
        b += a;
    }
    return static_cast<uint32_t>((b % kModulus) << 16 | (a % kModulus));
}
