#pragma once
// The checksum of packets, char.bin and spell.bin; 16.16 fixed point; the scrambling helpers that
// keep names in their stored form; cycle-counter timers for the frame statistics.

#include <cstddef>
#include <cstdint>

uint16_t DataChecksum(const void* bytes, size_t count);

// (a * b) >> 16 through 64 bits.
int32_t FixedMul(int32_t a, int32_t b);
// (a << 16) / b, truncated towards zero; 0 for a zero divisor.
int32_t FixedDiv(int32_t a, int32_t b);
// a * b / c with a 64-bit product, truncated towards zero; 0 for a zero divisor.
int32_t MulDiv32(int32_t a, int32_t b, int32_t c);
int32_t FixedMul3(int32_t a, int32_t b, int32_t c);

// Swaps the nibbles of every byte at an odd index, in place; its own inverse.
char* SwapOddNibbles(char* text);
// The same into one static buffer that every call reuses; texts longer than the buffer are cut.
constexpr size_t kSwapCopySize = 1024;
const char* SwapOddNibblesCopy(const char* text);
// XORs count bytes with 0x6B; its own inverse.
void XorBuffer(void* buffer, int count);

void StartFrameCycleTimer();
void StartCycleTimerA();
void StartCycleTimerB();
void StartCycleTimerC();
void StartCycleTimerD();
void StartCycleTimerE();
uint32_t ElapsedFrameCycleTimer();
uint32_t ElapsedCycleTimerA();
uint32_t ElapsedCycleTimerB();
uint32_t ElapsedCycleTimerC();
uint32_t ElapsedCycleTimerD();
uint32_t ElapsedCycleTimerE();
// The arena frame's cycle sums, grown by the object update (B the movement, C the figures'
// placing) and the object activation (D) wherever they run; the frame writes and clears them.
struct FrameCycleSums {
    uint32_t b = 0, c = 0, d = 0;
};
extern FrameCycleSums g_frameCycleSums;
