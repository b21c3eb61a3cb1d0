#pragma once
// A drawing buffer with guard zones on both sides: anything written outside the buffer shows as
// a changed guard, and the target aborts.

#include <cstdint>
#include <cstdlib>
#include <vector>

constexpr size_t kGuard = 4096;
constexpr uint16_t kGuardValue = 0xA5A5;

inline void CheckGuards(const std::vector<uint16_t>& buffer) {
    for (size_t i = 0; i < kGuard; ++i)
        if (buffer[i] != kGuardValue || buffer[buffer.size() - 1 - i] != kGuardValue)
            std::abort();
}
