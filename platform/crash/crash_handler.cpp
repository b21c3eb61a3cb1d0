// Fault signals as unhandled exceptions: the handler builds the exception record and context from
// the signal's information, calls the program's filter, then lets the signal kill the process.

#include <signal.h>
#include <sys/syscall.h>
#include <sys/ucontext.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <exception>

#include "platform/crash/crash.h"
#include "platform/crash/crash_internal.h"

namespace platform {
namespace {

constexpr int kFaultSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGTRAP, SIGABRT};
constexpr size_t kAltStackSize = 128 * 1024;
// A fault this close to the stack pointer, where nothing readable is mapped, ran off the stack.
constexpr uintptr_t kStackOverflowReach = 64 * 1024;

std::atomic<LPTOP_LEVEL_EXCEPTION_FILTER> g_filter{nullptr};
// The thread whose report is being written; 0 when none is.
std::atomic<pid_t> g_handlerThread{0};
std::atomic<bool> g_uncaughtException{false};
std::terminate_handler g_previousTerminate = nullptr;
bool g_installed = false;
alignas(16) char g_altStack[kAltStackSize];

[[noreturn]] void OnTerminate() {
    g_uncaughtException = true;
    if (g_previousTerminate)
        g_previousTerminate();  // the runtime's own message, then abort
    abort();
}

void FillContext(const ucontext_t* uc, CONTEXT* c) {
    std::memset(c, 0, sizeof *c);
    if (!uc)
        return;
#if defined(__x86_64__)
    const greg_t* g = uc->uc_mcontext.gregs;
    c->Rax = static_cast<uint64_t>(g[REG_RAX]);
    c->Rbx = static_cast<uint64_t>(g[REG_RBX]);
    c->Rcx = static_cast<uint64_t>(g[REG_RCX]);
    c->Rdx = static_cast<uint64_t>(g[REG_RDX]);
    c->Rsi = static_cast<uint64_t>(g[REG_RSI]);
    c->Rdi = static_cast<uint64_t>(g[REG_RDI]);
    c->Rbp = static_cast<uint64_t>(g[REG_RBP]);
    c->Rsp = static_cast<uint64_t>(g[REG_RSP]);
    c->R8 = static_cast<uint64_t>(g[REG_R8]);
    c->R9 = static_cast<uint64_t>(g[REG_R9]);
    c->R10 = static_cast<uint64_t>(g[REG_R10]);
    c->R11 = static_cast<uint64_t>(g[REG_R11]);
    c->R12 = static_cast<uint64_t>(g[REG_R12]);
    c->R13 = static_cast<uint64_t>(g[REG_R13]);
    c->R14 = static_cast<uint64_t>(g[REG_R14]);
    c->R15 = static_cast<uint64_t>(g[REG_R15]);
    c->Rip = static_cast<uint64_t>(g[REG_RIP]);
    c->EFlags = static_cast<uint32_t>(g[REG_EFL]);
    // cs, gs and fs are packed into one word, with ss on kernels that flag it.
    uint64_t csgsfs = static_cast<uint64_t>(g[REG_CSGSFS]);
    c->SegCs = static_cast<uint16_t>(csgsfs);
    c->SegGs = static_cast<uint16_t>(csgsfs >> 16);
    c->SegFs = static_cast<uint16_t>(csgsfs >> 32);
    uint16_t ss, ds, es;
    asm volatile("mov %%ss, %0" : "=r"(ss));
    asm volatile("mov %%ds, %0" : "=r"(ds));
    asm volatile("mov %%es, %0" : "=r"(es));
    constexpr unsigned long kSigcontextSs = 0x2;
    c->SegSs = (uc->uc_flags & kSigcontextSs) ? static_cast<uint16_t>(csgsfs >> 48) : ss;
    c->SegDs = ds;
    c->SegEs = es;
#elif defined(__aarch64__)
    c->Rip = uc->uc_mcontext.pc;
    c->Rsp = uc->uc_mcontext.sp;
    c->Rbp = uc->uc_mcontext.regs[29];
#endif
}

bool IsStackOverflow(uintptr_t address, uintptr_t sp) {
    if (address + kStackOverflowReach < sp || address > sp + kStackOverflowReach)
        return false;
    MemoryRegion r;
    return !CrashFindRegion(address, &r) || !r.readable;
}

bool WriteFault(const ucontext_t* uc) {
#if defined(__x86_64__)
    // Bit 1 of the page-fault error code marks a write.
    return uc && (uc->uc_mcontext.gregs[REG_ERR] & 2) != 0;
#else
    (void)uc;
    return false;
#endif
}

void FillRecord(int sig, const siginfo_t* info, const ucontext_t* uc, const CONTEXT& c, EXCEPTION_RECORD* r) {
    std::memset(r, 0, sizeof *r);
    r->ExceptionAddress = reinterpret_cast<void*>(static_cast<uintptr_t>(c.Rip));
    int code = info ? info->si_code : 0;
    // A signal sent by kill or raise (code 0 or below) names no address.
    bool fault = code > 0;
    uintptr_t address = fault ? reinterpret_cast<uintptr_t>(info->si_addr) : 0;
    switch (sig) {
    case SIGSEGV:
        if (fault && IsStackOverflow(address, static_cast<uintptr_t>(c.Rsp))) {
            r->ExceptionCode = EXCEPTION_STACK_OVERFLOW;
            break;
        }
        r->ExceptionCode = EXCEPTION_ACCESS_VIOLATION;
        r->NumberParameters = fault ? 2 : 0;
        r->ExceptionInformation[0] = WriteFault(uc) ? 1 : 0;
        r->ExceptionInformation[1] = address;
        break;
    case SIGBUS:
        r->ExceptionCode = code == BUS_ADRALN ? EXCEPTION_DATATYPE_MISALIGNMENT : EXCEPTION_IN_PAGE_ERROR;
        r->NumberParameters = fault ? 2 : 0;
        r->ExceptionInformation[0] = WriteFault(uc) ? 1 : 0;
        r->ExceptionInformation[1] = address;
        break;
    case SIGILL:
        r->ExceptionCode = code == ILL_PRVOPC || code == ILL_PRVREG ? EXCEPTION_PRIV_INSTRUCTION
                                                                    : EXCEPTION_ILLEGAL_INSTRUCTION;
        break;
    case SIGFPE:
        switch (code) {
        case FPE_INTDIV: r->ExceptionCode = EXCEPTION_INT_DIVIDE_BY_ZERO; break;
        case FPE_INTOVF: r->ExceptionCode = EXCEPTION_INT_OVERFLOW; break;
        case FPE_FLTDIV: r->ExceptionCode = EXCEPTION_FLT_DIVIDE_BY_ZERO; break;
        case FPE_FLTOVF: r->ExceptionCode = EXCEPTION_FLT_OVERFLOW; break;
        case FPE_FLTUND: r->ExceptionCode = EXCEPTION_FLT_UNDERFLOW; break;
        case FPE_FLTRES: r->ExceptionCode = EXCEPTION_FLT_INEXACT_RESULT; break;
        case FPE_FLTINV: r->ExceptionCode = EXCEPTION_FLT_INVALID_OPERATION; break;
        case FPE_FLTSUB: r->ExceptionCode = EXCEPTION_ARRAY_BOUNDS_EXCEEDED; break;
        default: r->ExceptionCode = EXCEPTION_FLT_INVALID_OPERATION; break;
        }
        break;
    case SIGTRAP:
        r->ExceptionCode = EXCEPTION_BREAKPOINT;
        break;
    case SIGABRT:
        r->ExceptionCode = g_uncaughtException ? EXCEPTION_CPP_THROW : EXCEPTION_FATAL_APP_EXIT;
        break;
    default:
        r->ExceptionCode = 0;
        break;
    }
}

// The exception goes on to the system: the default action, raised while the signal is blocked,
// lands as the handler returns, whether it came from a fault, abort() or kill.
void ContinueToSystem(int sig) {
    struct sigaction dfl;
    std::memset(&dfl, 0, sizeof dfl);
    dfl.sa_handler = SIG_DFL;
    sigemptyset(&dfl.sa_mask);
    sigaction(sig, &dfl, nullptr);
    raise(sig);
}

void OnFaultSignal(int sig, siginfo_t* info, void* ucv) {
    const pid_t self = static_cast<pid_t>(syscall(SYS_gettid));
    pid_t writer = 0;
    if (!g_handlerThread.compare_exchange_strong(writer, self)) {
        // The filter itself failed (abort() unblocks its signal): no second report.
        if (writer == self) {
            ContinueToSystem(sig);
            return;
        }
        // Another thread is writing its report; the process ends with it.
        for (;;)
            pause();
    }
    auto* uc = static_cast<ucontext_t*>(ucv);
    CONTEXT context;
    EXCEPTION_RECORD record;
    FillContext(uc, &context);
    FillRecord(sig, info, uc, context, &record);
    EXCEPTION_POINTERS pointers{&record, &context};
    if (LPTOP_LEVEL_EXCEPTION_FILTER filter = g_filter.load())
        filter(&pointers);
    ContinueToSystem(sig);
}

void InstallHandlers() {
    PrepareCrashServices();
    stack_t ss;
    std::memset(&ss, 0, sizeof ss);
    ss.ss_sp = g_altStack;
    ss.ss_size = sizeof g_altStack;
    sigaltstack(&ss, nullptr);

    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_sigaction = OnFaultSignal;
    sa.sa_flags = SA_SIGINFO | SA_ONSTACK;
    // A second fault while the report is written kills the process at once.
    sigemptyset(&sa.sa_mask);
    for (int sig : kFaultSignals)
        sigaddset(&sa.sa_mask, sig);
    for (int sig : kFaultSignals)
        sigaction(sig, &sa, nullptr);
    g_previousTerminate = std::set_terminate(OnTerminate);
}

}  // namespace
}  // namespace platform

LPTOP_LEVEL_EXCEPTION_FILTER SetUnhandledExceptionFilter(LPTOP_LEVEL_EXCEPTION_FILTER filter) {
    if (!platform::g_installed) {
        platform::InstallHandlers();
        platform::g_installed = true;
    }
    return platform::g_filter.exchange(filter);
}
