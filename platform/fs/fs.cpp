#include "platform/fs/fs.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/process/process.h"

namespace platform {
namespace {

bool Exists(const std::string& p) {
    struct stat st;
    return ::stat(p.c_str(), &st) == 0;
}

bool SameNoCase(const char* a, const std::string& b) {
    size_t n = std::strlen(a);
    if (n != b.size())
        return false;
    for (size_t i = 0; i < n; ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

// The entry of dir whose name equals name without regard to case; name itself when none does.
std::string MatchEntry(const std::string& dir, const std::string& name) {
    DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
    if (!d)
        return name;
    std::string found = name;
    while (dirent* e = ::readdir(d)) {
        if (SameNoCase(e->d_name, name)) {
            found = e->d_name;
            break;
        }
    }
    ::closedir(d);
    return found;
}

}  // namespace

std::string ResolveGamePath(std::string_view path) {
    std::string p(path);
    for (char& c : p)
        if (c == '\\')
            c = '/';
    if (p.empty() || Exists(p))
        return p;

    bool absolute = p[0] == '/';
    std::vector<std::string> parts;
    size_t start = absolute ? 1 : 0;
    while (start <= p.size()) {
        size_t slash = p.find('/', start);
        if (slash == std::string::npos)
            slash = p.size();
        parts.push_back(p.substr(start, slash - start));
        start = slash + 1;
    }

    std::string out = absolute ? "/" : "";
    bool missing = false;
    for (size_t i = 0; i < parts.size(); ++i) {
        const std::string& part = parts[i];
        std::string name = part;
        if (!missing && !part.empty() && part != "." && part != "..") {
            std::string candidate = out + part;
            if (!Exists(candidate)) {
                name = MatchEntry(out.empty() ? "." : out, part);
                if (!Exists(out + name))
                    missing = true;
            }
        }
        out += name;
        if (i + 1 < parts.size())
            out += '/';
    }
    return out;
}

FILE* OpenGameFile(std::string_view path, const char* mode) {
    FILE* f = std::fopen(ResolveGamePath(path).c_str(), mode);
    // A directory opens for reading here, but it is no file: its size and reads are nonsense.
    struct stat st;
    if (f && ::fstat(::fileno(f), &st) == 0 && S_ISDIR(st.st_mode)) {
        std::fclose(f);
        errno = EISDIR;
        return nullptr;
    }
    return f;
}

bool GameFileExists(std::string_view path) {
    return Exists(ResolveGamePath(path));
}

FILE* CreateTempFileBeside(std::string_view path, std::string* tempPath) {
    std::string resolved = ResolveGamePath(path);
    size_t slash = resolved.rfind('/');
    std::string dir = slash == std::string::npos ? std::string() : resolved.substr(0, slash + 1);
    std::string pattern = dir + ".tmpXXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    int fd = ::mkstemp(buf.data());
    if (fd < 0)
        return nullptr;
    FILE* f = ::fdopen(fd, "w+b");
    if (!f) {
        ::close(fd);
        ::unlink(buf.data());
        return nullptr;
    }
    if (tempPath)
        *tempPath = buf.data();
    return f;
}

std::string FollowLinks(const std::string& path) {
    std::string p = path;
    for (int hops = 0; hops < 40; ++hops) {  // a loop of links ends somewhere
        struct stat st;
        if (::lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return p;
        std::vector<char> buf(static_cast<size_t>(st.st_size > 0 ? st.st_size : 4096) + 1);
        ssize_t n = ::readlink(p.c_str(), buf.data(), buf.size());
        if (n <= 0 || static_cast<size_t>(n) >= buf.size())
            return p;
        std::string link(buf.data(), static_cast<size_t>(n));
        size_t slash = p.rfind('/');
        if (link[0] != '/' && slash != std::string::npos)
            link = p.substr(0, slash + 1) + link;
        p = link;
    }
    return p;
}

bool ReplaceFile(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

bool RemoveFile(const std::string& path) {
    return std::remove(path.c_str()) == 0;
}

bool ChangeDirectory(const std::string& path) {
    return ::chdir(path.c_str()) == 0;
}

std::string CurrentDirectory() {
    char buffer[4096];
    return ::getcwd(buffer, sizeof buffer) ? std::string(buffer) : std::string();
}

std::string ProgramDirectory() {
    const std::string p = ProgramPath();
    size_t slash = p.rfind('/');
    return slash == std::string::npos ? "." : (slash == 0 ? "/" : p.substr(0, slash));
}

}  // namespace platform
