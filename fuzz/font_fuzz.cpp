// Fonts from the installation: main.dat's metrics of a font and its file, bitmap or PCX, from any
// bytes. LoadFonts either refuses them or gives fonts that draw every character in every style,
// at the screen's edges and off them, inside a buffer with guard zones on both sides, and into a
// name tag.
//
// Input: seven little-endian 32-bit values (height, size, width, extra_spacing, pcx_colors,
// pcx_font, pcx_numeric of [font01]), then the font file. [font00] reads the same file as an
// 8-row bitmap font.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "client/core/config_file.h"
#include "client/screens/fonts.h"
#include "client/screens/screen_surface.h"
#include "fuzz/guard_zones.h"
#include "fuzz/scratch_dir.h"

namespace {

constexpr int kMetricCount = 7;
constexpr size_t kHeaderSize = 4 * kMetricCount;

void WriteFile(const char* name, const std::string& bytes) {
    FILE* f = std::fopen(name, "wb");
    if (!f)
        return;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

std::string MainDat(const int32_t (&m)[kMetricCount]) {
    char text[512];
    std::snprintf(text, sizeof text,
                  "[fonts]\nnumfonts=2\n[font00]\nheight=8\nsize=1\nfile=f.fnt\n"
                  "[font01]\nheight=%d\nsize=%d\nwidth=%d\nextra_spacing=%d\npcx_colors=%d\npcx_font=%d\n"
                  "pcx_numeric=%d\nfile=%s\n",
                  m[0], m[1], m[2], m[3], m[4], m[5], m[6], m[5] ? "f.pcx" : "f.fnt");
    return text;
}

// Every character once, and a few (narrow letters, high codes) in every style and flag.
void DrawEverywhere(int font, const char* all) {
    static std::vector<uint16_t> buffer(kScreenPixels + 2 * kGuard);
    std::fill(buffer.begin(), buffer.end(), kGuardValue);
    uint16_t* screen = buffer.data() + kGuard;
    const char* some = "Wil jI\x7f\x80\xff~ 09";
    const int places[][2] = {{-40, -7}, {700, 590}, {790, 300}, {400, -20}};
    for (const auto& p : places) {
        DrawText(p[0], p[1], 3, all, 1, screen, font, 2);
        for (int style = 0; style <= 6; ++style)
            for (int flags : {0, 3})
                DrawText(p[0], p[1], 9, some, style, screen, font, flags);
    }
    CheckGuards(buffer);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < kHeaderSize)
        return 0;
    ScratchDirectory scratch("/tmp/font_fuzzXXXXXX", "fonts");
    if (!scratch.entered())
        return 0;
    int32_t metrics[kMetricCount];
    std::memcpy(metrics, data, kHeaderSize);
    const std::string file(reinterpret_cast<const char*>(data) + kHeaderSize, size - kHeaderSize);
    WriteFile("main.dat", MainDat(metrics));
    WriteFile("fonts/f.fnt", file);
    WriteFile("fonts/f.pcx", file);
    GetConfigString(nullptr, nullptr, nullptr, nullptr, 0, nullptr, 0);

    char all[256];
    for (int c = 1; c < 256; ++c)
        all[c - 1] = static_cast<char>(c);
    all[255] = '\0';
    FreeFonts();
    for (FontSlot& f : FontTable)
        f = FontSlot{};
    const int loaded = LoadFonts("main.dat", "fonts");
    DrawEverywhere(0, all);
    if (loaded) {
        DrawEverywhere(1, all);
        std::vector<uint8_t> tag(kNameTagBytes + 2 * kGuard, 0x5A);
        for (int variant : {0, 1, 3, 9})
            RenderNameTag(variant, all + 31, tag.data() + kGuard, 0xFF);
        for (size_t i = 0; i < kGuard; ++i)
            if (tag[i] != 0x5A || tag[tag.size() - 1 - i] != 0x5A)
                std::abort();
        char fitted[256];
        std::memcpy(fitted, all, sizeof fitted);
        FitTextToWidth(fitted, 1, 100);
        TextEndFittingWidth(all, 1, 100);
    }
    FreeFonts();
    return 0;
}
