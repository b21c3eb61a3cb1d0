#pragma once
// Loaders that read and write fixed names in the working directory run inside a scratch directory
// made once per process. The fuzzer's own working directory comes back after every input: it reads
// seeds and writes the corpus by relative paths between inputs.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

class ScratchDirectory {
public:
    // prefix: a mkdtemp template such as "/tmp/level_fuzzXXXXXX"; subdir: made inside, or null.
    ScratchDirectory(const char* prefix, const char* subdir) : home_(open(".", O_RDONLY | O_DIRECTORY)) {
        static std::string path;
        if (path.empty()) {
            std::string made = prefix;
            if (mkdtemp(made.data()))
                path = made;
        }
        if (path.empty() || chdir(path.c_str()) != 0)
            return;
        if (subdir)
            mkdir(subdir, 0755);
        entered_ = true;
    }
    ~ScratchDirectory() {
        if (home_ >= 0) {
            if (fchdir(home_) != 0)
                std::abort();
            close(home_);
        }
    }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    bool entered() const { return entered_; }

private:
    int home_;
    bool entered_ = false;
};
