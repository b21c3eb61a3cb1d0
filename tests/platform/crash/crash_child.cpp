// crash_child <kind>: installs the game's crash report and then fails in the way named, so a test
// can check the report and how the process ended. Addresses the test needs are printed first.

#include <fcntl.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "client/core/crash_report.h"

namespace {

char* Page(int protection) {
    void* p = mmap(nullptr, 4096, protection, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED)
        std::exit(3);
    std::printf("address %lx\n", reinterpret_cast<unsigned long>(p));
    std::fflush(stdout);
    return static_cast<char*>(p);
}

// Kept out of the sanitizers' reach: the point is the hardware's own exception.
__attribute__((no_sanitize("undefined"))) int Divide(int a, int b) {
    return a / b;
}

volatile int g_sink;

// A call straight into the page: the sanitizers' own look at the callee would fault first.
__attribute__((no_sanitize("undefined"))) void Jump(void (*fn)()) {
    fn();
}

// Runs off the end of the stack (the depth check never holds; it keeps the compiler quiet).
__attribute__((noinline)) int Recurse(int depth) {
    volatile char frame[512];
    frame[0] = static_cast<char>(depth);
    if (depth < 0)
        return 0;
    g_sink = Recurse(depth + 1) + frame[0];
    return g_sink;
}

// A filter that fails itself.
LONG AbortingFilter(EXCEPTION_POINTERS*) {
    std::abort();
}

// Faults with at least 16 KB of stack above: the dump has all the room it may take. Out of the
// address sanitizer's reach, which would move the frame off the stack.
__attribute__((noinline, no_sanitize("address"))) void FaultDeep() {
    volatile char room[16384];
    for (size_t i = 0; i < sizeof room; i += 256)
        room[i] = 1;
    volatile char* p = Page(PROT_NONE);
    g_sink = p[0] + room[0];
}

// A report over a made-up stack of which only the last `words` words can be read: the mapping
// runs past the end of its file, so reading on faults without leaving the region.
int ReportOverBrokenStack(int words) {
    int fd = open("stack.tmp", O_RDWR | O_CREAT | O_TRUNC, 0600);
    if (fd < 0 || ftruncate(fd, 4096) != 0)
        return 3;
    void* p = mmap(nullptr, 8192, PROT_READ, MAP_SHARED, fd, 0);
    if (p == MAP_FAILED)
        return 3;
    EXCEPTION_RECORD record{};
    record.ExceptionCode = EXCEPTION_ACCESS_VIOLATION;
    record.ExceptionAddress = reinterpret_cast<void*>(&FaultDeep);
    CONTEXT context{};
    context.Rsp = reinterpret_cast<uintptr_t>(p) + 4096 - static_cast<uintptr_t>(words) * sizeof(uintptr_t);
    EXCEPTION_POINTERS info{&record, &context};
    WriteCrashReport(&info, "main thread");
    return 0;
}

void* CrashOnWorker(void*) {
    pthread_setname_np(pthread_self(), "worker");
    volatile char* p = Page(PROT_NONE);
    g_sink = p[0];
    return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    SetUnhandledExceptionFilter(CrashReportFilter);
    const char* kind = argc > 1 ? argv[1] : "none";
    volatile int zero = 0;
    if (!std::strcmp(kind, "read")) {
        volatile char* p = Page(PROT_NONE);
        g_sink = p[16];
    } else if (!std::strcmp(kind, "write")) {
        volatile char* p = Page(PROT_READ);
        p[32] = 1;
    } else if (!std::strcmp(kind, "execute")) {
        Jump(reinterpret_cast<void (*)()>(Page(PROT_NONE)));
    } else if (!std::strcmp(kind, "divide")) {
        g_sink = Divide(7, zero);
    } else if (!std::strcmp(kind, "abort")) {
        std::abort();
    } else if (!std::strcmp(kind, "illegal")) {
        __builtin_trap();
    } else if (!std::strcmp(kind, "breakpoint")) {
#if defined(__x86_64__) || defined(__i386__)
        asm volatile("int3");
#else
        raise(SIGTRAP);
#endif
    } else if (!std::strcmp(kind, "thread")) {
        pthread_t worker;
        pthread_create(&worker, nullptr, CrashOnWorker, nullptr);
        pthread_join(worker, nullptr);
    } else if (!std::strcmp(kind, "throw")) {
        throw std::runtime_error("nobody catches this");
    } else if (!std::strcmp(kind, "deep")) {
        FaultDeep();
    } else if (!std::strncmp(kind, "broken-stack-", 13)) {
        return ReportOverBrokenStack(std::atoi(kind + 13));
    } else if (!std::strcmp(kind, "stack")) {
        g_sink = Recurse(0);
    } else if (!std::strcmp(kind, "abort-in-filter")) {
        alarm(10);  // a hang ends by the alarm instead
        SetUnhandledExceptionFilter(AbortingFilter);
        volatile char* p = Page(PROT_NONE);
        g_sink = p[0];
    } else if (!std::strcmp(kind, "bus")) {
        // A mapping past the end of its file.
        int fd = open("bus.tmp", O_RDWR | O_CREAT | O_TRUNC, 0600);
        if (fd < 0 || ftruncate(fd, 4096) != 0)
            return 3;
        void* p = mmap(nullptr, 4096, PROT_READ, MAP_SHARED, fd, 0);
        if (p == MAP_FAILED || ftruncate(fd, 0) != 0)
            return 3;
        g_sink = static_cast<volatile char*>(p)[8];
    }
    return 0;
}
