#include <gtest/gtest.h>
#include <link.h>
#include <sys/mman.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "client/core/crash_report.h"
#include "platform/crash/crash.h"
#include "platform/crash/crash_internal.h"

extern "C" const char __ehdr_start;  // the linker's name for the program's own ELF header

namespace {

TEST(CrashServicesTest, FormatAgreesWithPrintf) {
    char ours[64], theirs[64];
#define CHECK_FORMAT(...)                                            \
    platform::CrashFormat(ours, sizeof ours, __VA_ARGS__);           \
    std::snprintf(theirs, sizeof theirs, __VA_ARGS__);               \
    EXPECT_STREQ(ours, theirs);
    CHECK_FORMAT("%d|%i|%u", -42, 7, 4000000000u);
    CHECK_FORMAT("%08x %04x %02x %x %X", 0xBEEFu, 0x33u, 0x5u, 0u, 0xABCu);
    CHECK_FORMAT("%016lx %08lx", 0x7ffd1234abcdul, 0x12ul);
    CHECK_FORMAT("%lld %llu %zu", -9000000000ll, 18000000000000000000ull, static_cast<size_t>(77));
    CHECK_FORMAT("[%5d] [%-5d] [%05d] [%-6s] [%6s] [%c]", 42, 42, -42, "ab", "cd", 'z');
    CHECK_FORMAT("%s caused %s at %04x:%08lx.%%", "game", "an Access Violation", 0x33u, 0x401000ul);
    CHECK_FORMAT("[%*d]", 6, 12);
#undef CHECK_FORMAT
    // Cut to fit, always terminated.
    char small[6];
    EXPECT_EQ(platform::CrashFormat(small, sizeof small, "%s", "abcdefgh"), 5);
    EXPECT_STREQ(small, "abcde");
}

class CrashMemoryTest : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override { ASSERT_TRUE(platform::UseCrashPipeReads(GetParam())); }
    void TearDown() override { platform::UseCrashPipeReads(false); }
};

INSTANTIATE_TEST_SUITE_P(ThroughAPipeOrNot, CrashMemoryTest, ::testing::Bool());

TEST_P(CrashMemoryTest, ReadsOnlyWhatIsReadable) {
    int value = 1234, copy = 0;
    EXPECT_TRUE(platform::CrashReadMemory(reinterpret_cast<uintptr_t>(&value), &copy, sizeof copy));
    EXPECT_EQ(copy, 1234);
    void* page = mmap(nullptr, 8192, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(page, MAP_FAILED);
    ASSERT_EQ(mprotect(static_cast<char*>(page) + 4096, 4096, PROT_NONE), 0);
    char buf[16];
    uintptr_t base = reinterpret_cast<uintptr_t>(page);
    EXPECT_TRUE(platform::CrashReadMemory(base + 4096 - 16, buf, 16));
    EXPECT_FALSE(platform::CrashReadMemory(base + 4096 - 8, buf, 16));  // runs into the guard
    EXPECT_FALSE(platform::CrashReadMemory(base + 4096, buf, 1));
    EXPECT_FALSE(platform::CrashReadMemory(0, buf, 1));
    munmap(page, 8192);
}

// Code of the test program itself: the platform's own functions may live in a shared library.
[[gnu::noinline]] int CodeOfThisProgram(int x) { return x + 1; }

TEST(CrashServicesTest, FindsTheProgramInTheMemoryMap) {
    platform::MemoryRegion r;
    uintptr_t code = reinterpret_cast<uintptr_t>(&CodeOfThisProgram);
    ASSERT_TRUE(platform::CrashFindRegion(code, &r));
    EXPECT_TRUE(r.executable);
    EXPECT_EQ(std::string(r.path), std::filesystem::canonical("/proc/self/exe").string());
    EXPECT_LE(r.start, code);
    EXPECT_GT(r.end, code);
    int onStack = 0;
    ASSERT_TRUE(platform::CrashFindRegion(reinterpret_cast<uintptr_t>(&onStack), &r));
    EXPECT_TRUE(r.readable && r.writable);
    EXPECT_FALSE(platform::CrashFindRegion(0, &r));
}

struct BuildIdSearch {
    uint32_t stamp = 0;
};

TEST(CrashServicesTest, TheImageStampIsTheStartOfTheBuildId) {
    // The running program's own build id, found through the loader.
    BuildIdSearch search;
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* user) {
            if (info->dlpi_name && info->dlpi_name[0])
                return 0;  // the main program has an empty name
            for (int i = 0; i < info->dlpi_phnum; ++i) {
                const ElfW(Phdr)& ph = info->dlpi_phdr[i];
                if (ph.p_type != PT_NOTE)
                    continue;
                auto* p = reinterpret_cast<const unsigned char*>(info->dlpi_addr + ph.p_vaddr);
                const unsigned char* end = p + ph.p_memsz;
                while (p + 12 <= end) {
                    uint32_t namesz, descsz, type;
                    std::memcpy(&namesz, p, 4);
                    std::memcpy(&descsz, p + 4, 4);
                    std::memcpy(&type, p + 8, 4);
                    const unsigned char* desc = p + 12 + ((namesz + 3) & ~3u);
                    if (type == 3 && namesz == 4)
                        static_cast<BuildIdSearch*>(user)->stamp =
                            uint32_t(desc[0]) << 24 | uint32_t(desc[1]) << 16 | uint32_t(desc[2]) << 8 | desc[3];
                    p = desc + ((descsz + 3) & ~3u);
                }
            }
            return 1;
        },
        &search);
    if (search.stamp == 0)
        GTEST_SKIP() << "built without a build id";
    EXPECT_EQ(platform::CrashImageStamp("/proc/self/exe"), search.stamp);
    EXPECT_EQ(platform::CrashImageStamp("/nonexistent"), 0u);
    EXPECT_TRUE(platform::CrashIsImageHeader(reinterpret_cast<uintptr_t>(&__ehdr_start)));
}

TEST(CrashServicesTest, CalendarDates) {
    struct Case {
        int64_t seconds;
        platform::CrashTime t;
    };
    const Case cases[] = {
        {0, {1970, 1, 1, 0, 0, 0}},
        {951782400, {2000, 2, 29, 0, 0, 0}},
        {4102444799, {2099, 12, 31, 23, 59, 59}},
        {-1, {1969, 12, 31, 23, 59, 59}},
        {1700000000, {2023, 11, 14, 22, 13, 20}},
    };
    for (const Case& c : cases) {
        platform::CrashTime t;
        platform::CrashCivilTime(c.seconds, &t);
        EXPECT_EQ(std::memcmp(&t, &c.t, sizeof t), 0) << c.seconds;
    }
}

TEST(CrashReportTextTest, NamesFileTimesAndPaths) {
    EXPECT_STREQ(ExceptionName(EXCEPTION_ACCESS_VIOLATION), "an Access Violation");
    EXPECT_STREQ(ExceptionName(EXCEPTION_INT_DIVIDE_BY_ZERO), "an Integer Divide by Zero");
    EXPECT_STREQ(ExceptionName(EXCEPTION_ARRAY_BOUNDS_EXCEEDED), "a Array Bounds Exceeded");
    EXPECT_STREQ(ExceptionName(EXCEPTION_DLL_INIT_FAILED), "a DLL Initialization Failed");
    EXPECT_STREQ(ExceptionName(0x12345678), "Unknown exception type");
    EXPECT_STREQ(ExceptionName(0), "Unknown exception type");
    EXPECT_STREQ(FileNamePart("/usr/lib/libc.so.6"), "libc.so.6");
    EXPECT_STREQ(FileNamePart("game"), "game");
    EXPECT_STREQ(FileNamePart("/dir/"), "");
    char a[32], b[32];
    // Seconds are shown in steps of two, as file times are.
    EXPECT_STREQ(FormatFileTime(1700000001, a, sizeof a), FormatFileTime(1700000000, b, sizeof b));
    platform::CrashTime t;
    platform::CrashLocalTime(1700000000, &t);
    char expected[32];
    std::snprintf(expected, sizeof expected, "%d/%d/%d %02d:%02d:%02d", t.month, t.day, t.year, t.hour, t.minute,
                  t.second & ~1);
    EXPECT_STREQ(a, expected);
}

}  // namespace
