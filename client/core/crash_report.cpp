#include "client/core/crash_report.h"

#include <cstdarg>
#include <cstring>

namespace {

constexpr size_t kLineSize = 1024;
constexpr size_t kStackDumpBytes = 8192;
constexpr size_t kStackPiece = 950;  // text is written in pieces of about this size
constexpr int kWordsPerLine = 8;

struct ExceptionNameEntry {
    DWORD code;
    const char* name;
};

const ExceptionNameEntry kExceptionNames[] = {
    {EXCEPTION_CONTROL_C, "a Control-C"},
    {EXCEPTION_CONTROL_BREAK, "a Control-Break"},
    {EXCEPTION_DATATYPE_MISALIGNMENT, "a Datatype Misalignment"},
    {EXCEPTION_BREAKPOINT, "a Breakpoint"},
    {EXCEPTION_ACCESS_VIOLATION, "an Access Violation"},
    {EXCEPTION_IN_PAGE_ERROR, "an In Page Error"},
    {EXCEPTION_NO_MEMORY, "a No Memory"},
    {EXCEPTION_ILLEGAL_INSTRUCTION, "an Illegal Instruction"},
    {EXCEPTION_NONCONTINUABLE_EXCEPTION, "a Noncontinuable Exception"},
    {EXCEPTION_INVALID_DISPOSITION, "an Invalid Disposition"},
    {EXCEPTION_ARRAY_BOUNDS_EXCEEDED, "a Array Bounds Exceeded"},
    {EXCEPTION_FLT_DENORMAL_OPERAND, "a Float Denormal Operand"},
    {EXCEPTION_FLT_DIVIDE_BY_ZERO, "a Float Divide by Zero"},
    {EXCEPTION_FLT_INEXACT_RESULT, "a Float Inexact Result"},
    {EXCEPTION_FLT_INVALID_OPERATION, "a Float Invalid Operation"},
    {EXCEPTION_FLT_OVERFLOW, "a Float Overflow"},
    {EXCEPTION_FLT_STACK_CHECK, "a Float Stack Check"},
    {EXCEPTION_FLT_UNDERFLOW, "a Float Underflow"},
    {EXCEPTION_INT_DIVIDE_BY_ZERO, "an Integer Divide by Zero"},
    {EXCEPTION_INT_OVERFLOW, "an Integer Overflow"},
    {EXCEPTION_PRIV_INSTRUCTION, "a Privileged Instruction"},
    {EXCEPTION_STACK_OVERFLOW, "a Stack Overflow"},
    {EXCEPTION_DLL_INIT_FAILED, "a DLL Initialization Failed"},
    {EXCEPTION_CPP_THROW, "an Unhandled C++ Exception"},
};

const char* OrUnknown(const char* text) {
    return text && *text ? text : "Unknown";
}

// The program's path with its file name replaced by name.
void PathBesideProgram(const char* name, char* out, size_t size) {
    const char* program = platform::CrashSystem().programPath;
    const char* file = FileNamePart(program);
    size_t dirLength = static_cast<size_t>(file - program);
    if (dirLength >= size)
        dirLength = 0;
    std::memcpy(out, program, dirLength);
    platform::CrashFormat(out + dirLength, size - dirLength, "%s", name);
}

// The program's file name without directory and extension.
void ProgramName(char* out, size_t size) {
    platform::CrashFormat(out, size, "%s", OrUnknown(FileNamePart(platform::CrashSystem().programPath)));
    if (char* dot = std::strrchr(out, '.'); dot && dot != out)
        *dot = '\0';
}

// Collects the stack dump's text and writes it a piece at a time.
struct PieceWriter {
    explicit PieceWriter(int f) : file(f) {}
    int file;
    char text[kStackPiece + 64];
    size_t length = 0;

    void Add(const char* format, ...) __attribute__((format(printf, 2, 3))) {
        va_list args;
        va_start(args, format);
        length += static_cast<size_t>(platform::CrashFormatV(text + length, sizeof text - length, format, args));
        va_end(args);
        if (length >= kStackPiece)
            Flush();
    }
    void Flush() {
        platform::CrashWrite(file, text, length);
        length = 0;
    }
};

void WriteRegisters(int file, const CONTEXT& c) {
    WriteReportLine(file, "\r\nRegisters:\r\n");
    WriteReportLine(file, "RAX=%016lx CS=%04x RIP=%016lx EFLGS=%08x\r\n", c.Rax, c.SegCs, c.Rip, c.EFlags);
    WriteReportLine(file, "RBX=%016lx SS=%04x RSP=%016lx RBP=%016lx\r\n", c.Rbx, c.SegSs, c.Rsp, c.Rbp);
    WriteReportLine(file, "RCX=%016lx DS=%04x RSI=%016lx FS=%04x\r\n", c.Rcx, c.SegDs, c.Rsi, c.SegFs);
    WriteReportLine(file, "RDX=%016lx ES=%04x RDI=%016lx GS=%04x\r\n", c.Rdx, c.SegEs, c.Rdi, c.SegGs);
    WriteReportLine(file, " R8=%016lx  R9=%016lx R10=%016lx R11=%016lx\r\n", c.R8, c.R9, c.R10, c.R11);
    WriteReportLine(file, "R12=%016lx R13=%016lx R14=%016lx R15=%016lx\r\n", c.R12, c.R13, c.R14, c.R15);
}

void WriteCodeBytes(int file, uintptr_t ip) {
    WriteReportLine(file, "Bytes at CS:RIP:\r\n");
    char line[16 * 3 + 3];
    size_t n = 0;
    for (uintptr_t i = 0; i < 16; ++i) {
        unsigned char byte;
        if (platform::CrashReadMemory(ip + i, &byte, 1))
            n += static_cast<size_t>(platform::CrashFormat(line + n, sizeof line - n, "%02x ", byte));
        else
            n += static_cast<size_t>(platform::CrashFormat(line + n, sizeof line - n, "?? "));
    }
    platform::CrashFormat(line + n, sizeof line - n, "\r\n");
    WriteReportLine(file, "%s", line);
}

void WriteStackDump(int file, uintptr_t sp) {
    WriteReportLine(file, "\r\nStack dump:\r\n");
    uintptr_t limit = sp + kStackDumpBytes;
    platform::MemoryRegion stack;
    if (platform::CrashFindRegion(sp, &stack) && stack.end < limit)
        limit = stack.end;
    PieceWriter out(file);
    const size_t words = (limit - sp) / sizeof(uintptr_t);
    for (size_t i = 0; i < words; ++i) {
        uintptr_t at = sp + i * sizeof(uintptr_t);
        uintptr_t word;
        if (!platform::CrashReadMemory(at, &word, sizeof word)) {
            out.Flush();
            // Behind the last word's space, even in the middle of a line.
            WriteReportLine(file, "Exception encountered during stack dump.\r\n");
            return;
        }
        if (i % kWordsPerLine == 0)
            out.Add("%016lx: ", at);
        bool endOfLine = i % kWordsPerLine == kWordsPerLine - 1 || i + 1 >= words;
        out.Add("%016lx%s", word, endOfLine ? "\r\n" : " ");
    }
    out.Flush();
}

}  // namespace

const char* FileNamePart(const char* path) {
    if (!path)
        return "";
    const char* slash = std::strrchr(path, '/');
    return slash ? slash + 1 : path;
}

const char* ExceptionName(DWORD code) {
    for (const ExceptionNameEntry& e : kExceptionNames)
        if (e.code == code)
            return e.name;
    return "Unknown exception type";
}

char* FormatFileTime(int64_t seconds, char* buffer, size_t size) {
    platform::CrashTime t;
    platform::CrashLocalTime(seconds, &t);
    platform::CrashFormat(buffer, size, "%d/%d/%d %02d:%02d:%02d", t.month, t.day, t.year, t.hour, t.minute,
                          t.second & ~1);
    return buffer;
}

void WriteReportLine(int file, const char* format, ...) {
    char line[kLineSize];
    va_list args;
    va_start(args, format);
    int n = platform::CrashFormatV(line, sizeof line, format, args);
    va_end(args);
    platform::CrashWrite(file, line, static_cast<size_t>(n));
}

void WriteSystemInfo(int file) {
    const platform::CrashSystemInfo& sys = platform::CrashSystem();
    char when[64];
    WriteReportLine(file, "Error occurred at %s.\r\n", FormatFileTime(platform::CrashNowSeconds(), when, sizeof when));
    WriteReportLine(file, "%s, run by %s.\r\n", OrUnknown(sys.programPath), OrUnknown(sys.userName));
    WriteReportLine(file, "%d processor(s), type %d.\r\n", sys.processors, sys.processorType);
    WriteReportLine(file, "%d MBytes physical memory.\r\n", static_cast<int>(sys.physicalBytes >> 20));
}

void WriteModuleLine(int file, const platform::MemoryRegion& module) {
    uint64_t size = 0;
    int64_t modified = 0;
    char date[96] = "";
    if (platform::CrashFileFacts(module.path, &size, &modified)) {
        char when[64];
        platform::CrashFormat(date, sizeof date, " - file date is %s", FormatFileTime(modified, when, sizeof when));
    }
    WriteReportLine(file, "%s, loaded at 0x%08lx - %lu bytes - %08x%s\r\n", module.path, module.start,
                    static_cast<unsigned long>(size), platform::CrashImageStamp(module.path), date);
}

void WriteModuleList(int file) {
    WriteReportLine(file, "\r\n\tModule list: names, addresses, sizes, time stamps and file times:\r\n");
    // Every mapping that starts a file and begins with an image header is a module.
    platform::CrashForEachRegion(
        [](const platform::MemoryRegion& r, void* user) {
            if (r.offset == 0 && r.path[0] == '/' && platform::CrashIsImageHeader(r.start))
                WriteModuleLine(*static_cast<int*>(user), r);
            return true;
        },
        &file);
}

LONG WriteCrashReport(EXCEPTION_POINTERS* info, const char* threadName) {
    char path[1100];
    PathBesideProgram("errorlog.txt", path, sizeof path);
    int file = platform::CrashOpenAppend(path);
    if (file < 0) {
        platform::CrashDebugOutput("Error creating exception report\n");
        return EXCEPTION_CONTINUE_SEARCH;
    }
    const EXCEPTION_RECORD& record = *info->ExceptionRecord;
    const CONTEXT& context = *info->ContextRecord;
    uintptr_t ip = reinterpret_cast<uintptr_t>(record.ExceptionAddress);

    char program[256];
    ProgramName(program, sizeof program);
    platform::MemoryRegion region;
    const char* module = "Unknown";
    if (platform::CrashFindRegion(ip, &region) && region.path[0] == '/')
        module = FileNamePart(region.path);

    WriteReportLine(file, "\r\n\r\n\r\n\r\n");
    WriteReportLine(file, "%s caused %s in module %s at %04x:%08lx.\r\n", program, ExceptionName(record.ExceptionCode),
                    module, context.SegCs, ip);
    WriteReportLine(file, "Exception handler called in %s.\r\n", threadName);
    WriteSystemInfo(file);
    if (record.ExceptionCode == EXCEPTION_ACCESS_VIOLATION && record.NumberParameters == 2)
        WriteReportLine(file, "%s location %08lx caused an access violation.\r\n",
                        record.ExceptionInformation[0] ? "Write to" : "Read from", record.ExceptionInformation[1]);
    WriteRegisters(file, context);
    WriteCodeBytes(file, ip);
    WriteStackDump(file, static_cast<uintptr_t>(context.Rsp));
    WriteModuleList(file);
    platform::CrashClose(file);
    return EXCEPTION_CONTINUE_SEARCH;
}

LONG CrashReportFilter(EXCEPTION_POINTERS* info) {
    return WriteCrashReport(info, "main thread");
}
