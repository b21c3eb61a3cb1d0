#include "platform/fs/file_ops.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

namespace platform {
namespace {

mode_t CurrentUmask() {
    mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

bool GetFileStatus(const std::string& path, FileStatus* status) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return false;
    if (status) {
        status->size = static_cast<uint64_t>(st.st_size);
        status->modifiedTime = static_cast<int64_t>(st.st_mtime);
        status->isDirectory = S_ISDIR(st.st_mode);
        status->isRegular = S_ISREG(st.st_mode);
    }
    return true;
}

bool SetFileTimes(const std::string& path, int64_t accessTime, int64_t modifiedTime) {
    struct timespec times[2];
    times[0].tv_sec = static_cast<time_t>(accessTime);
    times[0].tv_nsec = 0;
    times[1].tv_sec = static_cast<time_t>(modifiedTime);
    times[1].tv_nsec = 0;
    return ::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

bool MakeDirectory(const std::string& path) {
    return ::mkdir(path.c_str(), 0777) == 0;
}

bool RemoveDirectory(const std::string& path) {
    return ::rmdir(path.c_str()) == 0;
}

bool SetReplacementMode(const std::string& path, const std::string& target, bool executable) {
    struct stat st;
    mode_t mode;
    if (!target.empty() && ::stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        mode = st.st_mode & 07777;
    else
        mode = (executable ? 0777 : 0666) & ~CurrentUmask();
    return ::chmod(path.c_str(), mode) == 0;
}

bool CopyFileTo(const std::string& from, const std::string& to) {
    int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return false;
    struct stat st;
    if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(in);
        return false;
    }
    size_t slash = to.rfind('/');
    std::string pattern = (slash == std::string::npos ? std::string() : to.substr(0, slash + 1)) + ".copyXXXXXX";
    std::vector<char> temp(pattern.begin(), pattern.end());
    temp.push_back('\0');
    int out = ::mkstemp(temp.data());
    if (out < 0) {
        ::close(in);
        return false;
    }
    bool ok = true;
    char buf[65536];
    for (;;) {
        ssize_t n = ::read(in, buf, sizeof buf);
        if (n == 0)
            break;
        if (n < 0 || !WriteAll(out, buf, static_cast<size_t>(n))) {
            ok = false;
            break;
        }
    }
    ::close(in);
    ok = ok && ::fchmod(out, st.st_mode & 07777) == 0;
    ok = ::close(out) == 0 && ok;
    ok = ok && ::rename(temp.data(), to.c_str()) == 0;
    if (!ok)
        ::unlink(temp.data());
    return ok;
}

}  // namespace platform
