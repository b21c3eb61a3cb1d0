#pragma once
// Our stand-in for unhandled structured exceptions. The fault signals (segmentation fault, bus
// error, illegal instruction, floating-point exception, breakpoint trap and abort) are caught on
// an alternate stack and turned into an exception record with its code, address and parameters
// and the registers of the signal context, which go to the filter the program installed. After
// the filter the exception continues to the system: the process dies by the same signal.
//
// The filter runs inside a signal handler, so it may only use what the platform::Crash* services
// below offer (all async-signal-safe: no allocation, no locks, no stdio).

#include <cstdarg>
#include <cstddef>
#include <cstdint>

#include "platform/win/win.h"

// Exception codes (the values are the well-known ones).
constexpr DWORD EXCEPTION_CONTROL_C = 0x40010005;
constexpr DWORD EXCEPTION_CONTROL_BREAK = 0x40010008;
constexpr DWORD EXCEPTION_FATAL_APP_EXIT = 0x40000015;  // abort()
constexpr DWORD EXCEPTION_DATATYPE_MISALIGNMENT = 0x80000002;
constexpr DWORD EXCEPTION_BREAKPOINT = 0x80000003;
constexpr DWORD EXCEPTION_ACCESS_VIOLATION = 0xC0000005;
constexpr DWORD EXCEPTION_IN_PAGE_ERROR = 0xC0000006;
constexpr DWORD EXCEPTION_NO_MEMORY = 0xC0000017;
constexpr DWORD EXCEPTION_ILLEGAL_INSTRUCTION = 0xC000001D;
constexpr DWORD EXCEPTION_NONCONTINUABLE_EXCEPTION = 0xC0000025;
constexpr DWORD EXCEPTION_INVALID_DISPOSITION = 0xC0000026;
constexpr DWORD EXCEPTION_ARRAY_BOUNDS_EXCEEDED = 0xC000008C;
constexpr DWORD EXCEPTION_FLT_DENORMAL_OPERAND = 0xC000008D;
constexpr DWORD EXCEPTION_FLT_DIVIDE_BY_ZERO = 0xC000008E;
constexpr DWORD EXCEPTION_FLT_INEXACT_RESULT = 0xC000008F;
constexpr DWORD EXCEPTION_FLT_INVALID_OPERATION = 0xC0000090;
constexpr DWORD EXCEPTION_FLT_OVERFLOW = 0xC0000091;
constexpr DWORD EXCEPTION_FLT_STACK_CHECK = 0xC0000092;
constexpr DWORD EXCEPTION_FLT_UNDERFLOW = 0xC0000093;
constexpr DWORD EXCEPTION_INT_DIVIDE_BY_ZERO = 0xC0000094;
constexpr DWORD EXCEPTION_INT_OVERFLOW = 0xC0000095;
constexpr DWORD EXCEPTION_PRIV_INSTRUCTION = 0xC0000096;
constexpr DWORD EXCEPTION_STACK_OVERFLOW = 0xC00000FD;
constexpr DWORD EXCEPTION_DLL_INIT_FAILED = 0xC0000142;
constexpr DWORD EXCEPTION_CPP_THROW = 0xE06D7363;  // a C++ exception nobody caught

constexpr DWORD EXCEPTION_MAXIMUM_PARAMETERS = 2;

struct EXCEPTION_RECORD {
    DWORD ExceptionCode;
    DWORD ExceptionFlags;
    void* ExceptionAddress;  // the instruction
    DWORD NumberParameters;
    // Access violations: [0] 1 for a write, 0 for a read; [1] the address.
    uintptr_t ExceptionInformation[EXCEPTION_MAXIMUM_PARAMETERS];
};

// The interrupted thread's registers (x86-64; elsewhere only the instruction, stack and frame
// pointers are filled).
struct CONTEXT {
    uint64_t Rax, Rbx, Rcx, Rdx, Rsi, Rdi, Rbp, Rsp;
    uint64_t R8, R9, R10, R11, R12, R13, R14, R15;
    uint64_t Rip;
    uint32_t EFlags;
    uint16_t SegCs, SegSs, SegDs, SegEs, SegFs, SegGs;
};

struct EXCEPTION_POINTERS {
    EXCEPTION_RECORD* ExceptionRecord;
    CONTEXT* ContextRecord;
};

using LPTOP_LEVEL_EXCEPTION_FILTER = LONG (*)(EXCEPTION_POINTERS*);
constexpr LONG EXCEPTION_CONTINUE_SEARCH = 0;
constexpr LONG EXCEPTION_EXECUTE_HANDLER = 1;

// Installs the handlers of the fault signals (with an alternate stack for the calling thread)
// and the filter they call; a null filter still lets the process die by the signal as before.
// Returns the previous filter.
LPTOP_LEVEL_EXCEPTION_FILTER SetUnhandledExceptionFilter(LPTOP_LEVEL_EXCEPTION_FILTER filter);

namespace platform {

// ---- Facts gathered when the handler is installed (reading them later is safe) ------------------
struct CrashSystemInfo {
    const char* programPath;  // full path of the program file, "" when unknown
    const char* userName;     // "" when unknown
    int processors;
    int processorType;        // 8664 on x86-64, 586 on x86, 0 elsewhere
    uint64_t physicalBytes;
};
const CrashSystemInfo& CrashSystem();

// ---- Formatting and output --------------------------------------------------------------------
// A small printf: %d %i %u %x %X %c %s %p %%, with '-', '0', a width (or '*') and the l, ll and z
// length modifiers. Always terminated, cut to fit. Returns the length written.
int CrashFormat(char* out, size_t size, const char* format, ...) __attribute__((format(printf, 3, 4)));
int CrashFormatV(char* out, size_t size, const char* format, va_list args);

// Opens path for appending (created when missing; each write reaches the disk before it returns).
// -1 on failure.
int CrashOpenAppend(const char* path);
void CrashWrite(int file, const char* text, size_t size);
void CrashClose(int file);
// The debugger output of a crash: standard error.
void CrashDebugOutput(const char* text);

// ---- Memory ----------------------------------------------------------------------------------------
// Copies size bytes from address; false (and nothing read) when any of them cannot be read.
bool CrashReadMemory(uintptr_t address, void* out, size_t size);

struct MemoryRegion {
    uintptr_t start;
    uintptr_t end;
    uint64_t offset;  // of the mapping in its file
    bool readable;
    bool writable;
    bool executable;
    char path[512];   // "" for anonymous memory; "[stack]" and the like for special regions
};
// Calls visit for each region of the process's memory map, in address order, until it returns
// false.
void CrashForEachRegion(bool (*visit)(const MemoryRegion& region, void* user), void* user);
// The region holding address; false when none does.
bool CrashFindRegion(uintptr_t address, MemoryRegion* region);
// True when an executable image (ELF) header starts at address.
bool CrashIsImageHeader(uintptr_t address);

// ---- Files and time ------------------------------------------------------------------------------
bool CrashFileFacts(const char* path, uint64_t* size, int64_t* modifiedSeconds);
// The first four bytes of the image's build id, as a number; 0 when it has none.
uint32_t CrashImageStamp(const char* path);

struct CrashTime {
    int year, month, day, hour, minute, second;
};
int64_t CrashNowSeconds();
// Local time of seconds since 1970, with the offset from UTC taken when the handler was installed.
void CrashLocalTime(int64_t seconds, CrashTime* time);
// The calendar date and time of seconds since 1970, in UTC.
void CrashCivilTime(int64_t seconds, CrashTime* time);

}  // namespace platform
