// Settings writes: any file, any section, key and value. A write that reports success must be
// what the next read gives; a refused one leaves the file as it was.
//
// Input: section length (1 byte), section, key length (1 byte), key, value length (2 bytes, low
// first), value, then the file's bytes.

#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "client/core/config_file.h"

namespace {

struct Input {
    const uint8_t* data;
    size_t size;

    bool Take(size_t n, std::string* out) {
        if (n > size)
            return false;
        out->assign(reinterpret_cast<const char*>(data), n);
        data += n;
        size -= n;
        return true;
    }
    bool Byte(size_t* out) {
        if (size < 1)
            return false;
        *out = *data++;
        --size;
        return true;
    }
};

// A C string ends at its first zero byte, as any caller's would.
std::string AsText(const std::string& s) {
    return std::string(s.c_str());
}

const std::string& FilePath() {
    static std::string path = [] {
        char dir[] = "/tmp/config_write_fuzzXXXXXX";
        if (!mkdtemp(dir))
            abort();
        static std::string d = dir;
        atexit([] {
            unlink((d + "/f.dat").c_str());
            rmdir(d.c_str());
        });
        return d + "/f.dat";
    }();
    return path;
}

std::string ReadAll(const std::string& path) {
    std::string out;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
            out.append(buf, n);
        std::fclose(f);
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in{data, size};
    size_t sectionLength = 0, keyLength = 0, lo = 0, hi = 0;
    std::string section, key, value;
    if (!in.Byte(&sectionLength) || !in.Take(sectionLength, &section) || !in.Byte(&keyLength) ||
        !in.Take(keyLength, &key) || !in.Byte(&lo) || !in.Byte(&hi) || !in.Take(lo | hi << 8, &value))
        return 0;
    section = AsText(section);
    key = AsText(key);
    value = AsText(value);
    const std::string file(reinterpret_cast<const char*>(in.data), in.size);

    const std::string& path = FilePath();
    GetConfigString(nullptr, nullptr, nullptr, nullptr, 0, nullptr, 0);
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(file.data(), 1, file.size(), f);
        std::fclose(f);
    }
    int written = WriteConfigString(path.c_str(), section.c_str(), key.c_str(), value.c_str());
    if (written) {
        char got[1024];
        int found = GetConfigString(path.c_str(), section.c_str(), key.c_str(), got, sizeof got, nullptr, 0);
        if (found != 1 || value != got) {
            std::fprintf(stderr, "write of [%s] %s=%s returned 1, read gives %d \"%s\"\n", section.c_str(), key.c_str(),
                         value.c_str(), found, got);
            abort();
        }
    } else if (ReadAll(path) != file) {
        std::fprintf(stderr, "a refused write changed the file\n");
        abort();
    }
    GetConfigString(nullptr, nullptr, nullptr, nullptr, 0, nullptr, 0);
    return 0;
}
