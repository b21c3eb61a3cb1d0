#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "platform/win/platform.h"
#include "platform/win/win_internal.h"

#if defined(__x86_64__) || defined(__i386__)
#include <x86intrin.h>
#endif

namespace platform {
namespace {

// The tick count starts at a fixed offset rather than 0 so code that treats 0 as "never" is
// not fooled by the first seconds of a run.
constexpr uint64_t kRealStartMs = 60000;

struct ClockState {
    bool isVirtual = false;
    uint64_t frameStepMs = 0;
    uint64_t virtualNanos = 0;
    std::chrono::steady_clock::time_point realBase = std::chrono::steady_clock::now();
};

ClockState& Clock() {
    static ClockState state;
    return state;
}

}  // namespace

void UseRealClock() {
    Clock().isVirtual = false;
}

void UseVirtualClock(uint64_t startMs) {
    Clock().isVirtual = true;
    Clock().virtualNanos = startMs * 1000000ull;
}

bool IsVirtualClock() {
    return Clock().isVirtual;
}

void AdvanceVirtualClock(uint64_t ms) {
    if (Clock().isVirtual)
        Clock().virtualNanos += ms * 1000000ull;
}

void UseClockFromEnvironment() {
    const char* value = std::getenv("GAME_CLOCK");
    if (!value || std::strncmp(value, "virtual", 7) != 0)
        return;
    uint64_t step = 10;
    if (value[7] == ':') {
        const uint64_t given = std::strtoull(value + 8, nullptr, 10);
        if (given > 0)
            step = given;
    }
    UseVirtualClock();
    SetVirtualFrameStep(step);
}

void SetVirtualFrameStep(uint64_t ms) {
    Clock().frameStepMs = ms;
}

uint64_t VirtualFrameStep() {
    return Clock().isVirtual ? Clock().frameStepMs : 0;
}

void OnFrameShown() {
    if (const uint64_t step = VirtualFrameStep(); step > 0)
        AdvanceVirtualClock(step);
}

uint64_t NowNanos() {
    ClockState& c = Clock();
    if (c.isVirtual)
        return c.virtualNanos;
    auto elapsed = std::chrono::steady_clock::now() - c.realBase;
    return kRealStartMs * 1000000ull +
           static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count());
}

uint64_t NowMillis() {
    return NowNanos() / 1000000ull;
}

void SleepMillis(uint64_t ms) {
    if (Clock().isVirtual) {
        Clock().virtualNanos += ms * 1000000ull;
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

uint64_t ReadCycleCounter() {
#if defined(__x86_64__) || defined(__i386__)
    return __rdtsc();
#else
    return NowNanos();
#endif
}

}  // namespace platform

DWORD GetTickCount() {
    return static_cast<DWORD>(platform::NowMillis());
}

DWORD timeGetTime() {
    return static_cast<DWORD>(platform::NowMillis());
}

void Sleep(DWORD ms) {
    platform::SleepMillis(ms);
}

BOOL QueryPerformanceCounter(int64_t* count) {
    if (!count)
        return FALSE;
    *count = static_cast<int64_t>(platform::NowNanos());
    return TRUE;
}

BOOL QueryPerformanceFrequency(int64_t* frequency) {
    if (!frequency)
        return FALSE;
    *frequency = 1000000000;
    return TRUE;
}
