#include "tests/support/child_processes.h"

#include <dirent.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

// The running children of this process, from /proc (exited ones waiting to be reaped left out).
std::vector<pid_t> Children() {
    std::vector<pid_t> children;
    DIR* proc = ::opendir("/proc");
    if (!proc)
        return children;
    const pid_t self = ::getpid();
    while (dirent* d = ::readdir(proc)) {
        char* end = nullptr;
        const long pid = std::strtol(d->d_name, &end, 10);
        if (pid <= 0 || *end)
            continue;
        char path[64];
        std::snprintf(path, sizeof path, "/proc/%ld/stat", pid);
        FILE* f = std::fopen(path, "r");
        if (!f)
            continue;
        // pid (comm) state ppid: comm may hold spaces and parentheses, so read from the last ')'.
        char buf[512];
        const size_t n = std::fread(buf, 1, sizeof buf - 1, f);
        std::fclose(f);
        buf[n] = '\0';
        const char* close = nullptr;
        for (const char* p = buf; *p; ++p)
            if (*p == ')')
                close = p;
        char state = 0;
        long ppid = 0;
        if (close && std::sscanf(close + 1, " %c %ld", &state, &ppid) == 2 && ppid == self && state != 'Z')
            children.push_back(static_cast<pid_t>(pid));
    }
    ::closedir(proc);
    return children;
}

// Reaps every child that has exited until none is left or the time is up; true when none is left.
bool Reap(std::chrono::steady_clock::time_point until, std::vector<EndedProcess>* ended) {
    for (;;) {
        int status = 0;
        const pid_t pid = ::waitpid(-1, &status, WNOHANG);
        if (pid > 0) {
            ended->push_back({pid, status});
            continue;
        }
        if (pid < 0 && errno == ECHILD)
            return true;
        if (pid < 0 && errno == EINTR)
            continue;
        if (std::chrono::steady_clock::now() >= until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

}  // namespace

void AdoptOrphans() {
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
}

std::vector<EndedProcess> EndChildren(int seconds, int* killed) {
    std::vector<EndedProcess> ended;
    if (killed)
        *killed = 0;
    if (Reap(std::chrono::steady_clock::now() + std::chrono::seconds(seconds), &ended))
        return ended;
    // A killed process's own children come to this process in turn: kill until none is left.
    for (int round = 0; round < 100; ++round) {
        for (pid_t pid : Children())
            if (::kill(pid, SIGKILL) == 0 && killed)
                ++*killed;
        if (Reap(std::chrono::steady_clock::now() + std::chrono::milliseconds(200), &ended))
            break;
    }
    return ended;
}
