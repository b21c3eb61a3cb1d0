#include "client/core/game_file_bytes.h"

#include <cstdio>

#include "platform/fs/fs.h"

bool ReadGameFileBytes(const char* path, std::vector<uint8_t>& out) {
    out.clear();
    FILE* f = path ? platform::OpenGameFile(path, "rb") : nullptr;
    if (!f)
        return false;
    bool ok = std::fseek(f, 0, SEEK_END) == 0;
    long size = ok ? std::ftell(f) : -1;
    ok = size >= 0 && std::fseek(f, 0, SEEK_SET) == 0;
    if (ok) {
        out.resize(static_cast<size_t>(size));
        ok = size == 0 || std::fread(out.data(), 1, out.size(), f) == out.size();
    }
    std::fclose(f);
    if (!ok)
        out.clear();
    return ok;
}

bool WriteGameFileBytes(const char* path, const void* data, size_t size) {
    FILE* f = path ? platform::OpenGameFile(path, "wb") : nullptr;
    if (!f)
        return false;
    bool ok = size == 0 || std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}
