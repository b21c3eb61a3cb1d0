// The async-signal-safe services of a crash report: only system calls, fixed buffers and our own
// formatting, because the process's state may be broken when they run.

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/crash/crash.h"
#include "platform/crash/crash_internal.h"

namespace platform {
namespace {

// ---- Formatting -------------------------------------------------------------------------------

struct Out {
    char* p;
    size_t size;
    size_t len = 0;
    void Put(char c) {
        if (len + 1 < size)
            p[len] = c;
        ++len;
    }
};

void PutPadded(Out& o, const char* text, size_t n, int width, bool left, char pad) {
    size_t w = width > 0 ? static_cast<size_t>(width) : 0;
    // Zero padding goes after a sign.
    if (pad == '0' && n > 0 && text[0] == '-') {
        o.Put('-');
        ++text;
        --n;
        if (w > 0)
            --w;
    }
    if (!left)
        for (size_t i = n; i < w; ++i)
            o.Put(pad);
    for (size_t i = 0; i < n; ++i)
        o.Put(text[i]);
    if (left)
        for (size_t i = n; i < w; ++i)
            o.Put(' ');
}

size_t Digits(char* buf, unsigned long long v, unsigned base, bool upper) {
    const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    char tmp[24];
    size_t n = 0;
    do {
        tmp[n++] = digits[v % base];
        v /= base;
    } while (v);
    for (size_t i = 0; i < n; ++i)
        buf[i] = tmp[n - 1 - i];
    return n;
}

// ---- Memory reading ---------------------------------------------------------------------------

// Reading through a pipe: the kernel copies from our memory and reports a bad address as EFAULT
// instead of faulting. Used where process_vm_readv is not allowed (some container profiles).
int g_probePipe[2] = {-1, -1};
bool g_useVmRead = true;

bool ReadThroughPipe(uintptr_t address, void* out, size_t size) {
    auto* dst = static_cast<char*>(out);
    while (size > 0) {
        size_t n = size < 512 ? size : 512;
        ssize_t w = write(g_probePipe[1], reinterpret_cast<const void*>(address), n);
        if (w <= 0)
            return false;
        ssize_t r = read(g_probePipe[0], dst, static_cast<size_t>(w));
        if (r != w)
            return false;
        address += static_cast<size_t>(w);
        dst += w;
        size -= static_cast<size_t>(w);
    }
    return true;
}

bool VmRead(uintptr_t address, void* out, size_t size) {
    iovec local{out, size};
    iovec remote{reinterpret_cast<void*>(address), size};
    ssize_t n = process_vm_readv(getpid(), &local, 1, &remote, 1, 0);
    return n == static_cast<ssize_t>(size);
}

// ---- Memory map -------------------------------------------------------------------------------

bool ParseHex(const char*& s, uint64_t* v) {
    uint64_t r = 0;
    const char* start = s;
    for (;; ++s) {
        char c = *s;
        int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        if (d < 0)
            break;
        r = r * 16 + static_cast<uint64_t>(d);
    }
    *v = r;
    return s != start;
}

void SkipSpaces(const char*& s) {
    while (*s == ' ' || *s == '\t')
        ++s;
}

void SkipField(const char*& s) {
    while (*s && *s != ' ' && *s != '\t')
        ++s;
    SkipSpaces(s);
}

// "start-end perms offset dev inode   path"
bool ParseMapsLine(const char* line, MemoryRegion* r) {
    const char* s = line;
    uint64_t start, end, offset;
    if (!ParseHex(s, &start) || *s++ != '-' || !ParseHex(s, &end))
        return false;
    SkipSpaces(s);
    if (std::strlen(s) < 4)
        return false;
    r->start = static_cast<uintptr_t>(start);
    r->end = static_cast<uintptr_t>(end);
    r->readable = s[0] == 'r';
    r->writable = s[1] == 'w';
    r->executable = s[2] == 'x';
    SkipField(s);
    if (!ParseHex(s, &offset))
        return false;
    r->offset = offset;
    SkipSpaces(s);
    SkipField(s);  // device
    SkipField(s);  // inode
    size_t n = 0;
    while (s[n] && n + 1 < sizeof r->path) {
        r->path[n] = s[n];
        ++n;
    }
    r->path[n] = '\0';
    return true;
}

// ---- Time -------------------------------------------------------------------------------------

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
void CivilFromDays(int64_t z, int* y, int* m, int* d) {
    z += 719468;
    int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    int64_t doe = z - era * 146097;
    int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    int64_t yy = yoe + era * 400;
    int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    int64_t mp = (5 * doy + 2) / 153;
    *d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    *m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    *y = static_cast<int>(yy + (*m <= 2));
}

// ---- Facts ------------------------------------------------------------------------------------

char g_programPath[1024];
char g_userName[128];
CrashSystemInfo g_system{g_programPath, g_userName, 0, 0, 0};
int64_t g_utcOffset = 0;

}  // namespace

void PrepareCrashServices() {
    ssize_t n = readlink("/proc/self/exe", g_programPath, sizeof g_programPath - 1);
    g_programPath[n > 0 ? n : 0] = '\0';
    const char* user = std::getenv("USER");
    if (!user || !*user)
        user = std::getenv("LOGNAME");
    struct passwd entry, *found = nullptr;
    char text[1024];
    if ((!user || !*user) && getpwuid_r(geteuid(), &entry, text, sizeof text, &found) == 0 && found)
        user = found->pw_name;
    CrashFormat(g_userName, sizeof g_userName, "%s", user ? user : "");
    long cpus = sysconf(_SC_NPROCESSORS_ONLN);
    g_system.processors = cpus > 0 ? static_cast<int>(cpus) : 1;
#if defined(__x86_64__)
    g_system.processorType = 8664;
#elif defined(__i386__)
    g_system.processorType = 586;
#else
    g_system.processorType = 0;
#endif
    long pages = sysconf(_SC_PHYS_PAGES);
    long pageSize = sysconf(_SC_PAGESIZE);
    g_system.physicalBytes = pages > 0 && pageSize > 0 ? static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize) : 0;
    time_t now = time(nullptr);
    struct tm local;
    if (localtime_r(&now, &local))
        g_utcOffset = local.tm_gmtoff;

    // Prefer process_vm_readv; fall back to the pipe where it is refused.
    int probe = 42, copy = 0;
    bool vmRead = VmRead(reinterpret_cast<uintptr_t>(&probe), &copy, sizeof copy) && copy == probe;
    UseCrashPipeReads(!vmRead);
}

bool UseCrashPipeReads(bool usePipe) {
    g_useVmRead = !usePipe;
    if (usePipe && g_probePipe[0] < 0 && pipe2(g_probePipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        g_probePipe[0] = g_probePipe[1] = -1;
        return false;
    }
    return true;
}

const CrashSystemInfo& CrashSystem() {
    return g_system;
}

int CrashFormatV(char* out, size_t size, const char* format, va_list args) {
    Out o{out, size};
    for (const char* f = format; f && *f; ++f) {
        if (*f != '%') {
            o.Put(*f);
            continue;
        }
        ++f;
        bool left = false;
        char pad = ' ';
        for (;; ++f) {
            if (*f == '-')
                left = true;
            else if (*f == '0')
                pad = '0';
            else
                break;
        }
        int width = 0;
        if (*f == '*') {
            width = va_arg(args, int);
            ++f;
        } else {
            while (*f >= '0' && *f <= '9')
                width = width * 10 + (*f++ - '0');
        }
        int length = 0;  // 0 int, 1 long, 2 long long, 3 size_t
        if (*f == 'l') {
            length = 1;
            if (*++f == 'l') {
                length = 2;
                ++f;
            }
        } else if (*f == 'z') {
            length = 3;
            ++f;
        }
        char buf[32];
        size_t n = 0;
        switch (*f) {
        case 'd':
        case 'i': {
            long long v = length == 0 ? va_arg(args, int) : length == 1 ? va_arg(args, long)
                          : length == 2 ? va_arg(args, long long) : static_cast<long long>(va_arg(args, size_t));
            unsigned long long mag = v < 0 ? 0ull - static_cast<unsigned long long>(v) : static_cast<unsigned long long>(v);
            if (v < 0)
                buf[n++] = '-';
            n += Digits(buf + n, mag, 10, false);
            PutPadded(o, buf, n, width, left, pad);
            break;
        }
        case 'u':
        case 'x':
        case 'X': {
            unsigned long long v = length == 0 ? va_arg(args, unsigned) : length == 1 ? va_arg(args, unsigned long)
                                   : length == 2 ? va_arg(args, unsigned long long) : va_arg(args, size_t);
            n = Digits(buf, v, *f == 'u' ? 10 : 16, *f == 'X');
            PutPadded(o, buf, n, width, left, pad);
            break;
        }
        case 'p': {
            buf[0] = '0';
            buf[1] = 'x';
            n = 2 + Digits(buf + 2, reinterpret_cast<uintptr_t>(va_arg(args, void*)), 16, false);
            PutPadded(o, buf, n, width, left, pad);
            break;
        }
        case 'c':
            buf[0] = static_cast<char>(va_arg(args, int));
            PutPadded(o, buf, 1, width, left, ' ');
            break;
        case 's': {
            const char* s = va_arg(args, const char*);
            if (!s)
                s = "(null)";
            PutPadded(o, s, std::strlen(s), width, left, ' ');
            break;
        }
        case '%':
            o.Put('%');
            break;
        default:  // unknown conversion: shown as it stands
            o.Put('%');
            if (*f)
                o.Put(*f);
            else
                --f;
            break;
        }
    }
    if (size > 0)
        out[o.len < size ? o.len : size - 1] = '\0';
    return static_cast<int>(o.len < size ? o.len : (size > 0 ? size - 1 : 0));
}

int CrashFormat(char* out, size_t size, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int n = CrashFormatV(out, size, format, args);
    va_end(args);
    return n;
}

int CrashOpenAppend(const char* path) {
    int fd;
    do
        fd = open(path, O_WRONLY | O_CREAT | O_APPEND | O_SYNC | O_CLOEXEC, 0644);
    while (fd < 0 && errno == EINTR);
    return fd;
}

void CrashWrite(int file, const char* text, size_t size) {
    while (size > 0) {
        ssize_t n = write(file, text, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        text += n;
        size -= static_cast<size_t>(n);
    }
}

void CrashClose(int file) {
    if (file >= 0)
        close(file);
}

void CrashDebugOutput(const char* text) {
    CrashWrite(STDERR_FILENO, text, std::strlen(text));
}

bool CrashReadMemory(uintptr_t address, void* out, size_t size) {
    if (size == 0)
        return true;
    if (address == 0)
        return false;
    if (g_useVmRead)
        return VmRead(address, out, size);
    if (g_probePipe[0] < 0)
        return false;
    return ReadThroughPipe(address, out, size);
}

void CrashForEachRegion(bool (*visit)(const MemoryRegion& region, void* user), void* user) {
    int fd = open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return;
    char chunk[4096];
    char line[1100];
    size_t len = 0;
    bool stop = false;
    MemoryRegion region;
    ssize_t n;
    while (!stop && (n = read(fd, chunk, sizeof chunk)) > 0) {
        for (ssize_t i = 0; i < n && !stop; ++i) {
            if (chunk[i] != '\n') {
                if (len + 1 < sizeof line)  // a longer line keeps its start
                    line[len++] = chunk[i];
                continue;
            }
            line[len] = '\0';
            len = 0;
            if (ParseMapsLine(line, &region))
                stop = !visit(region, user);
        }
    }
    close(fd);
}

bool CrashFindRegion(uintptr_t address, MemoryRegion* region) {
    struct Search {
        uintptr_t address;
        MemoryRegion* out;
        bool found;
    } search{address, region, false};
    CrashForEachRegion(
        [](const MemoryRegion& r, void* user) {
            auto* s = static_cast<Search*>(user);
            if (s->address >= r.start && s->address < r.end) {
                *s->out = r;
                s->found = true;
                return false;
            }
            return true;
        },
        &search);
    return search.found;
}

bool CrashIsImageHeader(uintptr_t address) {
    unsigned char magic[4];
    return CrashReadMemory(address, magic, sizeof magic) && magic[0] == 0x7F && magic[1] == 'E' &&
           magic[2] == 'L' && magic[3] == 'F';
}

bool CrashFileFacts(const char* path, uint64_t* size, int64_t* modifiedSeconds) {
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st;
    bool ok = fstat(fd, &st) == 0;
    close(fd);
    if (!ok)
        return false;
    *size = static_cast<uint64_t>(st.st_size);
    *modifiedSeconds = static_cast<int64_t>(st.st_mtime);
    return true;
}

uint32_t CrashImageStamp(const char* path) {
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    uint32_t stamp = 0;
    unsigned char eh[64];
    // 64-bit little-endian ELF: program headers at e_phoff, e_phentsize and e_phnum of them.
    if (pread(fd, eh, sizeof eh, 0) == static_cast<ssize_t>(sizeof eh) && eh[0] == 0x7F && eh[1] == 'E' &&
        eh[2] == 'L' && eh[3] == 'F' && eh[4] == 2 && eh[5] == 1) {
        uint64_t phoff;
        uint16_t phentsize, phnum;
        std::memcpy(&phoff, eh + 32, 8);
        std::memcpy(&phentsize, eh + 54, 2);
        std::memcpy(&phnum, eh + 56, 2);
        for (uint16_t i = 0; i < phnum && i < 64 && phentsize >= 56 && !stamp; ++i) {
            unsigned char ph[56];
            if (pread(fd, ph, sizeof ph, static_cast<off_t>(phoff + uint64_t(i) * phentsize)) != 56)
                break;
            uint32_t type;
            uint64_t offset, filesz;
            std::memcpy(&type, ph, 4);
            std::memcpy(&offset, ph + 8, 8);
            std::memcpy(&filesz, ph + 32, 8);
            if (type != 4)  // PT_NOTE
                continue;
            unsigned char notes[1024];
            size_t size = filesz < sizeof notes ? static_cast<size_t>(filesz) : sizeof notes;
            ssize_t got = pread(fd, notes, size, static_cast<off_t>(offset));
            size_t at = 0;
            while (got > 0 && at + 12 <= static_cast<size_t>(got)) {
                uint32_t namesz, descsz, ntype;
                std::memcpy(&namesz, notes + at, 4);
                std::memcpy(&descsz, notes + at + 4, 4);
                std::memcpy(&ntype, notes + at + 8, 4);
                size_t name = at + 12;
                size_t desc = name + ((static_cast<size_t>(namesz) + 3) & ~size_t(3));
                if (namesz > sizeof notes || descsz > sizeof notes || desc + descsz > static_cast<size_t>(got))
                    break;
                if (ntype == 3 && namesz == 4 && std::memcmp(notes + name, "GNU", 4) == 0 && descsz >= 4) {
                    stamp = uint32_t(notes[desc]) << 24 | uint32_t(notes[desc + 1]) << 16 |
                            uint32_t(notes[desc + 2]) << 8 | notes[desc + 3];
                    break;
                }
                at = desc + ((static_cast<size_t>(descsz) + 3) & ~size_t(3));
            }
        }
    }
    close(fd);
    return stamp;
}

int64_t CrashNowSeconds() {
    struct timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<int64_t>(ts.tv_sec);
}

void CrashCivilTime(int64_t seconds, CrashTime* t) {
    int64_t days = seconds >= 0 ? seconds / 86400 : -((-seconds + 86399) / 86400);
    int64_t rest = seconds - days * 86400;
    CivilFromDays(days, &t->year, &t->month, &t->day);
    t->hour = static_cast<int>(rest / 3600);
    t->minute = static_cast<int>(rest / 60 % 60);
    t->second = static_cast<int>(rest % 60);
}

void CrashLocalTime(int64_t seconds, CrashTime* t) {
    CrashCivilTime(seconds + g_utcOffset, t);
}

}  // namespace platform
