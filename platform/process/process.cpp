#include "platform/process/process.h"

#include <spawn.h>
#include <unistd.h>

#include <cstdio>

extern char** environ;

namespace platform {
namespace {

ProgramStartHandler& Handler() {
    static ProgramStartHandler handler;
    return handler;
}

std::vector<char*> ArgumentVector(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    return argv;
}

}  // namespace

std::string ProgramPath() {
    char buf[4096];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return std::string();
    buf[n] = '\0';
    return buf;
}

bool StartProgram(const std::string& path, const std::vector<std::string>& args) {
    if (Handler())
        return Handler()(path, args, false);
    std::vector<char*> argv = ArgumentVector(args);
    pid_t pid = 0;
    return ::posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv.data(), environ) == 0;
}

bool ReplaceProgram(const std::string& path, const std::vector<std::string>& args) {
    if (Handler())
        return Handler()(path, args, true);
    std::vector<char*> argv = ArgumentVector(args);
    std::fflush(nullptr);
    ::execv(path.c_str(), argv.data());
    return false;
}

void SetProgramStartHandler(ProgramStartHandler handler) {
    Handler() = std::move(handler);
}

}  // namespace platform
