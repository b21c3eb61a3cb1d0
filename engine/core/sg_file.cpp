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
