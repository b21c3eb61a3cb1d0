#include "engine/core/sg_file.h"

namespace {

std::FILE* OpenWithC(const char* path, const char* mode) { return std::fopen(path, mode); }

SgFileOpener g_opener = OpenWithC;

}  // namespace

void SgSetFileOpener(SgFileOpener opener) { g_opener = opener ? opener : OpenWithC; }

std::FILE* SgOpenFile(const char* path, const char* mode) { return path ? g_opener(path, mode) : nullptr; }

bool SgFileExists(const char* path) {
    std::FILE* f = SgOpenFile(path, "rb");
    if (!f)
        return false;
    std::fclose(f);
    return true;
}

bool SgReadWholeFile(const char* path, size_t maxBytes, std::vector<uint8_t>& out) {
    out.clear();
    std::FILE* f = SgOpenFile(path, "rb");
    if (!f)
        return false;
    bool ok = true;
    if (std::fseek(f, 0, SEEK_END) == 0) {
        long size = std::ftell(f);
        if (size >= 0 && static_cast<unsigned long>(size) > maxBytes)
            ok = false;
        else if (size > 0)
            out.reserve(static_cast<size_t>(size));
        std::rewind(f);
    }
    uint8_t block[16384];
    size_t n;
    while (ok && (n = std::fread(block, 1, sizeof block, f)) > 0) {
        if (n > maxBytes - out.size()) {
            ok = false;
            break;
        }
        out.insert(out.end(), block, block + n);
    }
    if (std::ferror(f))
        ok = false;
    std::fclose(f);
    if (!ok)
        out.clear();
    return ok;
}
