// Palette files: any bytes, named as a raw palette or as a BMP, must read or be refused cleanly.

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "engine/core/sg_file.h"
#include "engine/render/sg_d3d_driver.h"

namespace {

const uint8_t* g_data = nullptr;
size_t g_size = 0;

// Every name opens the fuzz input.
std::FILE* OpenInput(const char*, const char*) {
    return g_size ? fmemopen(const_cast<uint8_t*>(g_data), g_size, "rb") : std::tmpfile();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    g_data = data;
    g_size = size;
    SgSetFileOpener(OpenInput);
    PALETTEENTRY entries[256];
    for (const char* name : {"palette.bmp", "palette.pal"}) {
        const int result = LoadPaletteFile(name, entries);
        if (result != 0 && result != 2 && result != 11)
            __builtin_trap();
    }
    SgSetFileOpener(nullptr);
    return 0;
}
