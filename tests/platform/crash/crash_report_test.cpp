#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "client/core/crash_report.h"
#include "tests/support/temp_dir.h"

extern char** environ;

namespace {

struct ChildResult {
    int status = 0;
    std::string out;
    std::string err;
};

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find("\r\n", at);
        if (end == std::string::npos) {
            lines.push_back(text.substr(at));
            break;
        }
        lines.push_back(text.substr(at, end - at));
        at = end + 2;
    }
    return lines;
}

// Each report is four empty lines and then its first line.
std::vector<std::string> SplitReports(const std::string& log) {
    std::vector<std::string> reports;
    const std::string mark = "\r\n\r\n\r\n\r\ncrash_child caused";
    const size_t skip = 8;
    size_t at = log.find(mark);
    while (at != std::string::npos) {
        size_t next = log.find(mark, at + skip);
        reports.push_back(log.substr(at + skip, next == std::string::npos ? std::string::npos : next - at - skip));
        at = next;
    }
    return reports;
}

bool Matches(const std::string& line, const std::string& pattern, std::smatch* m = nullptr) {
    std::smatch local;
    return std::regex_match(line, m ? *m : local, std::regex(pattern));
}

// Runs copies of the crash program in a fresh directory: the report goes beside the program.
class CrashReportTest : public ::testing::Test {
protected:
    void SetUp() override {
        program = dir.File("crash_child");
        std::filesystem::copy_file(CRASH_CHILD, program);
        ::chmod(program.c_str(), 0755);
    }

    ChildResult Run(const char* kind) {
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e)
            if (std::strncmp(*e, "ASAN_OPTIONS=", 13) != 0)
                env.emplace_back(*e);
        // The sanitizer would take these signals first; the test is about our own handler.
        env.emplace_back("ASAN_OPTIONS=handle_segv=0:handle_sigbus=0:handle_sigfpe=0:handle_sigill=0:"
                         "handle_abort=0:allow_user_segv_handler=1:detect_leaks=0");
        std::vector<char*> envp;
        for (std::string& e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        std::string outPath = dir.File("out.txt"), errPath = dir.File("err.txt");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        char* argv[] = {program.data(), const_cast<char*>(kind), nullptr};
        pid_t pid;
        std::string cwd = std::filesystem::current_path();
        std::filesystem::current_path(dir.Path());
        int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, envp.data());
        std::filesystem::current_path(cwd);
        posix_spawn_file_actions_destroy(&actions);
        ChildResult r;
        if (rc != 0) {
            ADD_FAILURE() << "cannot start " << program;
            return r;
        }
        waitpid(pid, &r.status, 0);
        r.out = dir.Read("out.txt");
        r.err = dir.Read("err.txt");
        return r;
    }

    std::string Log() const { return dir.Exists("errorlog.txt") ? dir.Read("errorlog.txt") : ""; }

    // Checks the layout of one report and returns its lines.
    std::vector<std::string> CheckReport(const std::string& report, const std::string& name, const std::string& module,
                                         const std::string& thread = "main thread") {
        std::vector<std::string> lines = SplitLines(report);
        EXPECT_EQ(report.find('\n'), report.find("\r\n") + 1) << "lines end with CR LF";
        EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), std::count(report.begin(), report.end(), '\r'));
        size_t i = 0;
        auto next = [&]() -> std::string { return i < lines.size() ? lines[i++] : std::string("<end>"); };
        std::smatch m;
        std::string head = next();
        EXPECT_TRUE(Matches(head, "crash_child caused (.*) in module (.*) at [0-9a-f]{4}:[0-9a-f]{8,}\\.", &m)) << head;
        EXPECT_EQ(m.size() > 2 ? m[1].str() : "", name);
        EXPECT_EQ(m.size() > 2 ? m[2].str() : "", module);
        EXPECT_EQ(next(), "Exception handler called in " + thread + ".");
        std::string when = next();
        EXPECT_TRUE(Matches(when, "Error occurred at \\d{1,2}/\\d{1,2}/\\d{4} \\d\\d:\\d\\d:(\\d\\d)\\.", &m)) << when;
        EXPECT_EQ(m.size() > 1 ? std::stoi(m[1].str()) % 2 : 1, 0) << "seconds in steps of two";
        std::string realDir = std::filesystem::canonical(dir.Path());
        std::string who = next();
        EXPECT_TRUE(who.rfind(realDir + "/crash_child, run by ", 0) == 0) << who;
        EXPECT_TRUE(Matches(next(), "\\d+ processor\\(s\\), type \\d+\\."));
        EXPECT_TRUE(Matches(next(), "\\d+ MBytes physical memory\\."));
        if (lines[i].rfind("Read from", 0) == 0 || lines[i].rfind("Write to", 0) == 0)
            accessLine = next();
        else
            accessLine.clear();
        EXPECT_EQ(next(), "");
        EXPECT_EQ(next(), "Registers:");
        EXPECT_TRUE(Matches(next(), "RAX=[0-9a-f]{16} CS=[0-9a-f]{4} RIP=[0-9a-f]{16} EFLGS=[0-9a-f]{8}"));
        EXPECT_TRUE(Matches(next(), "RBX=[0-9a-f]{16} SS=[0-9a-f]{4} RSP=[0-9a-f]{16} RBP=[0-9a-f]{16}"));
        EXPECT_TRUE(Matches(next(), "RCX=[0-9a-f]{16} DS=[0-9a-f]{4} RSI=[0-9a-f]{16} FS=[0-9a-f]{4}"));
        EXPECT_TRUE(Matches(next(), "RDX=[0-9a-f]{16} ES=[0-9a-f]{4} RDI=[0-9a-f]{16} GS=[0-9a-f]{4}"));
        EXPECT_TRUE(Matches(next(), " R8=[0-9a-f]{16}  R9=[0-9a-f]{16} R10=[0-9a-f]{16} R11=[0-9a-f]{16}"));
        EXPECT_TRUE(Matches(next(), "R12=[0-9a-f]{16} R13=[0-9a-f]{16} R14=[0-9a-f]{16} R15=[0-9a-f]{16}"));
        EXPECT_EQ(next(), "Bytes at CS:RIP:");
        codeBytes = next();
        EXPECT_TRUE(Matches(codeBytes, "(([0-9a-f]{2}|\\?\\?) ){16}")) << codeBytes;
        EXPECT_EQ(next(), "");
        EXPECT_EQ(next(), "Stack dump:");
        stack.clear();
        stackFault = false;
        // Each line: its first word's address, then its words; a fault while reading ends the
        // dump with the message, behind the words of its line when there are any.
        while (i < lines.size() &&
               Matches(lines[i], "([0-9a-f]{16}):((?: [0-9a-f]{16}){0,8})( Exception encountered during stack dump\\.)?", &m)) {
            stack.push_back({std::stoul(m[1].str(), nullptr, 16), static_cast<int>(m[2].length() / 17)});
            ++i;
            if (m[3].matched) {
                stackFault = true;
                break;
            }
        }
        if (i < lines.size() && lines[i] == "Exception encountered during stack dump.") {
            stackFault = true;
            ++i;
        }
        stackLines = static_cast<int>(stack.size());
        EXPECT_EQ(next(), "");
        EXPECT_EQ(next(), "\tModule list: names, addresses, sizes, time stamps and file times:");
        modules.clear();
        while (i < lines.size() && !lines[i].empty()) {
            std::string line = next();
            EXPECT_TRUE(Matches(line, "(/.*), loaded at 0x[0-9a-f]{8,} - \\d+ bytes - [0-9a-f]{8}"
                                      "( - file date is \\d{1,2}/\\d{1,2}/\\d{4} \\d\\d:\\d\\d:\\d\\d)?",
                                &m))
                << line;
            modules.push_back(line);
        }
        return lines;
    }

    bool HasModule(const std::string& fileName) const {
        for (const std::string& line : modules)
            if (line.find("/" + fileName + ", loaded at") != std::string::npos)
                return true;
        return false;
    }

    TempDir dir;
    std::string program;
    std::string accessLine;
    std::string codeBytes;
    struct StackLine {
        unsigned long address;
        int words;
    };
    std::vector<StackLine> stack;
    int stackLines = 0;
    bool stackFault = false;
    std::vector<std::string> modules;
};

TEST_F(CrashReportTest, EachFaultLeavesAReportAndEndsTheProcessByItsSignal) {
    struct Case {
        const char* kind;
        int signal;
        const char* name;
        const char* module;    // of the faulting instruction
        const char* access;    // "Read from" or "Write to" with the printed address plus offset
        long offset;
        const char* thread = "main thread";
    };
    const Case cases[] = {
        {"read", SIGSEGV, "an Access Violation", "crash_child", "Read from", 16},
        {"write", SIGSEGV, "an Access Violation", "crash_child", "Write to", 32},
        {"execute", SIGSEGV, "an Access Violation", "Unknown", "Read from", 0},
        {"divide", SIGFPE, "an Integer Divide by Zero", "crash_child", nullptr, 0},
        {"illegal", SIGILL, "an Illegal Instruction", "crash_child", nullptr, 0},
        {"abort", SIGABRT, "Unknown exception type", "libc.so.6", nullptr, 0},
        {"throw", SIGABRT, "an Unhandled C++ Exception", "libc.so.6", nullptr, 0},
        {"bus", SIGBUS, "an In Page Error", "crash_child", nullptr, 0},
        {"stack", SIGSEGV, "a Stack Overflow", "crash_child", nullptr, 0},
        {"breakpoint", SIGTRAP, "a Breakpoint", "crash_child", nullptr, 0},
        {"thread", SIGSEGV, "an Access Violation", "crash_child", "Read from", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        std::filesystem::remove(dir.File("errorlog.txt"));
        ChildResult r = Run(c.kind);
        ASSERT_TRUE(WIFSIGNALED(r.status)) << "status " << r.status << "\n" << r.err;
        EXPECT_EQ(WTERMSIG(r.status), c.signal);
        std::vector<std::string> reports = SplitReports(Log());
        ASSERT_EQ(reports.size(), 1u) << Log();
        EXPECT_EQ(Log().rfind("\r\n\r\n\r\n\r\n", 0), 0u);
        CheckReport(reports[0], c.name, c.module, c.thread);
        if (c.access) {
            unsigned long address = 0;
            ASSERT_EQ(std::sscanf(r.out.c_str(), "address %lx", &address), 1);
            char expected[96];
            std::snprintf(expected, sizeof expected, "%s location %08lx caused an access violation.", c.access,
                          address + c.offset);
            EXPECT_EQ(accessLine, expected);
        } else {
            EXPECT_EQ(accessLine, "");
        }
        EXPECT_TRUE(HasModule("crash_child"));
        EXPECT_TRUE(HasModule("libc.so.6"));
        if (std::string(c.kind) != "stack") {
            EXPECT_GT(stackLines, 0);
        }
        // Eight words a line up to the stack's end, each line's address eight words on.
        for (size_t l = 0; l + 1 < stack.size(); ++l) {
            EXPECT_EQ(stack[l].words, 8) << l;
            EXPECT_EQ(stack[l + 1].address, stack[l].address + 64) << l;
        }
    }
}

TEST_F(CrashReportTest, StackDumpTakes8192BytesEightWordsALine) {
    Run("deep");
    auto reports = SplitReports(Log());
    ASSERT_EQ(reports.size(), 1u);
    std::vector<std::string> lines = CheckReport(reports[0], "an Access Violation", "crash_child");
    ASSERT_EQ(stack.size(), 128u);
    EXPECT_FALSE(stackFault);
    for (const StackLine& l : stack)
        EXPECT_EQ(l.words, 8);
    // The dump starts at the stack pointer.
    std::string rsp;
    for (const std::string& line : lines)
        if (line.rfind("RBX=", 0) == 0)
            rsp = line.substr(line.find("RSP=") + 4, 16);
    EXPECT_EQ(stack[0].address, std::stoul(rsp, nullptr, 16));
}

TEST_F(CrashReportTest, AFaultInTheStackDumpEndsItWhereItHappened) {
    struct Case {
        const char* kind;
        std::vector<int> words;  // of each line
        std::string last;        // the dump's last line, from its first word on
    };
    const std::string zero = "0000000000000000";
    const std::string message = "Exception encountered during stack dump.";
    const Case cases[] = {
        {"broken-stack-3", {3}, zero + " " + zero + " " + zero + " " + message},
        {"broken-stack-16", {8, 8}, message},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        std::filesystem::remove(dir.File("errorlog.txt"));
        ChildResult r = Run(c.kind);
        ASSERT_TRUE(WIFEXITED(r.status)) << r.err;
        auto reports = SplitReports(Log());
        ASSERT_EQ(reports.size(), 1u);
        std::vector<std::string> lines = CheckReport(reports[0], "an Access Violation", "crash_child");
        EXPECT_TRUE(stackFault);
        std::vector<int> words;
        for (const StackLine& l : stack)
            words.push_back(l.words);
        EXPECT_EQ(words, c.words);
        auto at = std::find(lines.begin(), lines.end(), "Stack dump:");
        ASSERT_NE(at, lines.end());
        std::string last = *(at + static_cast<long>(c.words.size()) + (c.words.back() == 8 ? 1 : 0));
        EXPECT_EQ(last.substr(last.find(':') == 16 ? 18 : 0), c.last);
    }
}

TEST(CrashReportNames, OnlyTheTablesCodesHaveNames) {
    struct Case {
        DWORD code;
        const char* name;
    };
    const Case cases[] = {
        {0x40010005, "a Control-C"},
        {0x40010008, "a Control-Break"},
        {0x80000002, "a Datatype Misalignment"},
        {0x80000003, "a Breakpoint"},
        {0xC0000005, "an Access Violation"},
        {0xC0000006, "an In Page Error"},
        {0xC0000017, "a No Memory"},
        {0xC000001D, "an Illegal Instruction"},
        {0xC0000025, "a Noncontinuable Exception"},
        {0xC0000026, "an Invalid Disposition"},
        {0xC000008C, "a Array Bounds Exceeded"},
        {0xC000008D, "a Float Denormal Operand"},
        {0xC000008E, "a Float Divide by Zero"},
        {0xC000008F, "a Float Inexact Result"},
        {0xC0000090, "a Float Invalid Operation"},
        {0xC0000091, "a Float Overflow"},
        {0xC0000092, "a Float Stack Check"},
        {0xC0000093, "a Float Underflow"},
        {0xC0000094, "an Integer Divide by Zero"},
        {0xC0000095, "an Integer Overflow"},
        {0xC0000096, "a Privileged Instruction"},
        {0xC00000FD, "a Stack Overflow"},
        {0xC0000142, "a DLL Initialization Failed"},
        {0xE06D7363, "an Unhandled C++ Exception"},
        // Everything else, abort's code and the table's neighbours included.
        {0x40000015, "Unknown exception type"},
        {0x00000000, "Unknown exception type"},
        {0xC0000004, "Unknown exception type"},
        {0xC0000097, "Unknown exception type"},
        {0xFFFFFFFF, "Unknown exception type"},
    };
    for (const Case& c : cases)
        EXPECT_STREQ(ExceptionName(c.code), c.name) << std::hex << c.code;
}

TEST_F(CrashReportTest, AFilterThatAbortsEndsTheProcessAtOnce) {
    ChildResult r = Run("abort-in-filter");
    ASSERT_TRUE(WIFSIGNALED(r.status)) << "status " << r.status << "\n" << r.err;
    EXPECT_EQ(WTERMSIG(r.status), SIGABRT);
}

TEST_F(CrashReportTest, CodeBytesShowTheInstructionOrWhatCannotBeRead) {
    Run("illegal");
    auto reports = SplitReports(Log());
    ASSERT_EQ(reports.size(), 1u);
    CheckReport(reports[0], "an Illegal Instruction", "crash_child");
    EXPECT_EQ(codeBytes.substr(0, 6), "0f 0b ");  // ud2

    std::filesystem::remove(dir.File("errorlog.txt"));
    Run("execute");
    reports = SplitReports(Log());
    ASSERT_EQ(reports.size(), 1u);
    CheckReport(reports[0], "an Access Violation", "Unknown");
    std::string unreadable;
    for (int i = 0; i < 16; ++i)
        unreadable += "?? ";
    EXPECT_EQ(codeBytes, unreadable);
}

TEST_F(CrashReportTest, TwoCrashesLeaveTwoReportsInOneFile) {
    Run("read");
    Run("divide");
    std::vector<std::string> reports = SplitReports(Log());
    ASSERT_EQ(reports.size(), 2u);
    CheckReport(reports[0], "an Access Violation", "crash_child");
    CheckReport(reports[1], "an Integer Divide by Zero", "crash_child");
}

TEST_F(CrashReportTest, NoCrashNoReport) {
    ChildResult r = Run("none");
    EXPECT_TRUE(WIFEXITED(r.status));
    EXPECT_EQ(WEXITSTATUS(r.status), 0);
    EXPECT_FALSE(dir.Exists("errorlog.txt"));
}

TEST_F(CrashReportTest, AReportThatCannotBeCreatedIsSaidOnTheDebugOutput) {
    std::filesystem::create_directory(dir.File("errorlog.txt"));
    ChildResult r = Run("read");
    ASSERT_TRUE(WIFSIGNALED(r.status));
    EXPECT_EQ(WTERMSIG(r.status), SIGSEGV);
    EXPECT_NE(r.err.find("Error creating exception report"), std::string::npos) << r.err;
}

}  // namespace
