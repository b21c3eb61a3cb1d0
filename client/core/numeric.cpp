#include "client/core/numeric.h"

#include <cstring>

#include "platform/win/platform.h"

uint16_t DataChecksum(const void* bytes, size_t count) {
    const uint8_t* p = static_cast<const uint8_t*>(bytes);
    uint8_t a = 0x7E;
    uint8_t b = 0x7E;
    for (size_t i = 0; i < count; ++i) {
        a = static_cast<uint8_t>(a + p[i]);
        b = static_cast<uint8_t>(b + a);
    }
    uint8_t high = static_cast<uint8_t>(256 - ((a + b) & 0xFF));
    return static_cast<uint16_t>((high << 8) | b);
}

int32_t FixedMul(int32_t a, int32_t b) {
    int64_t p = static_cast<int64_t>(a) * b;
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(p >> 16)));
}

int32_t FixedDiv(int32_t a, int32_t b) {
    if (b == 0)
        return 0;
    int64_t q = static_cast<int64_t>(static_cast<uint64_t>(static_cast<int64_t>(a)) << 16) / b;
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(q)));
}

int32_t MulDiv32(int32_t a, int32_t b, int32_t c) {
    if (c == 0)
        return 0;
    int64_t q = static_cast<int64_t>(a) * b / c;
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(q)));
}

int32_t FixedMul3(int32_t a, int32_t b, int32_t c) {
    return FixedMul(FixedMul(a, b), c);
}

char* SwapOddNibbles(char* text) {
    if (!text)
        return text;
    for (size_t i = 1; text[i - 1] != '\0' && text[i] != '\0'; i += 2) {
        auto c = static_cast<uint8_t>(text[i]);
        text[i] = static_cast<char>(static_cast<uint8_t>((c << 4) | (c >> 4)));
    }
    return text;
}

const char* SwapOddNibblesCopy(const char* text) {
    static char buffer[kSwapCopySize];
    buffer[0] = '\0';
    if (!text)
        return buffer;
    size_t n = std::strlen(text);
    if (n >= kSwapCopySize)
        n = kSwapCopySize - 1;
    std::memcpy(buffer, text, n);
    buffer[n] = '\0';
    return SwapOddNibbles(buffer);
}

void XorBuffer(void* buffer, int count) {
    auto* p = static_cast<uint8_t*>(buffer);
    for (int i = 0; i < count; ++i)
        p[i] ^= 0x6B;
}

namespace {

struct CycleTimer {
    uint64_t start = 0;
    uint64_t elapsed = 0;
};

CycleTimer g_frameTimer, g_timerA, g_timerB, g_timerC, g_timerD, g_timerE;

void Start(CycleTimer& t) {
    t.start = platform::ReadCycleCounter();
}

uint32_t Elapsed(CycleTimer& t) {
    t.elapsed = platform::ReadCycleCounter() - t.start;
    return static_cast<uint32_t>(t.elapsed);
}

}  // namespace

void StartFrameCycleTimer() { Start(g_frameTimer); }
void StartCycleTimerA() { Start(g_timerA); }
void StartCycleTimerB() { Start(g_timerB); }
void StartCycleTimerC() { Start(g_timerC); }
void StartCycleTimerD() { Start(g_timerD); }
void StartCycleTimerE() { Start(g_timerE); }
uint32_t ElapsedFrameCycleTimer() { return Elapsed(g_frameTimer); }
uint32_t ElapsedCycleTimerA() { return Elapsed(g_timerA); }
uint32_t ElapsedCycleTimerB() { return Elapsed(g_timerB); }
uint32_t ElapsedCycleTimerC() { return Elapsed(g_timerC); }
uint32_t ElapsedCycleTimerD() { return Elapsed(g_timerD); }
uint32_t ElapsedCycleTimerE() { return Elapsed(g_timerE); }

FrameCycleSums g_frameCycleSums;
