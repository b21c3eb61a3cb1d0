#include "tests/support/wait_for_file.h"

#include <sys/stat.h>

#include <chrono>
#include <thread>

bool WaitForFile(const std::string& path, int seconds) {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    for (;;) {
        struct stat st;
        if (::stat(path.c_str(), &st) == 0 && st.st_size > 0)
            return true;
        if (std::chrono::steady_clock::now() >= until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}
