// The 2D screens' files: the fonts (bitmap and PCX, in our glyph design), the cursor, the three
// 128 x 128 tiles, the screens' 800 x 600 background and the default key bindings.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/install/install_step.h"
#include "tools/writers/font_writer.h"
#include "tools/writers/pcx_writer.h"

namespace {

bool WriteBytes(const InstallContext& ctx, const std::string& name, const std::vector<uint8_t>& bytes) {
    return !bytes.empty() && WriteFileBytes(ctx.Path(name), bytes.data(), bytes.size());
}

bool WriteFonts(const InstallContext& ctx) {
    for (const FontFile& f : SampleFontFiles())
        if (!WriteBytes(ctx, "fonts/" + f.name, f.bytes))
            return false;
    return true;
}

// A palette ramp from one colour to another over count entries starting at first.
void Ramp(std::vector<uint8_t>& palette, int first, int count, FontColour from, FontColour to) {
    for (int i = 0; i < count; ++i) {
        const int t = count > 1 ? i * 255 / (count - 1) : 0;
        palette[(first + i) * 3] = static_cast<uint8_t>(from.red + (to.red - from.red) * t / 255);
        palette[(first + i) * 3 + 1] = static_cast<uint8_t>(from.green + (to.green - from.green) * t / 255);
        palette[(first + i) * 3 + 2] = static_cast<uint8_t>(from.blue + (to.blue - from.blue) * t / 255);
    }
}

// Deterministic grain in 0..7.
int Grain(int x, int y) {
    uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return static_cast<int>((h >> 16) & 7);
}

bool WriteScreenPicture(const InstallContext& ctx) {
    constexpr int w = 800, h = 600;
    std::vector<uint8_t> palette(768, 0);
    Ramp(palette, 1, 48, {18, 20, 34}, {44, 50, 78});     // the stone
    Ramp(palette, 64, 16, {96, 72, 24}, {220, 184, 96});  // the gold frame
    std::vector<uint8_t> pixels(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            // Large blocks of stone, lit from the top left, with grain.
            const int block = ((x / 100) + (y / 75)) & 1;
            const int shade = 8 + (w - x + h - y) * 24 / (w + h) + block * 6 + Grain(x, y);
            uint8_t p = static_cast<uint8_t>(1 + std::min(47, shade));
            const int edge = std::min(std::min(x, w - 1 - x), std::min(y, h - 1 - y));
            if (edge < 6)
                p = static_cast<uint8_t>(64 + (edge < 3 ? 15 - edge * 3 : 6 + edge));
            pixels[static_cast<size_t>(y) * w + x] = p;
        }
    return WriteBytes(ctx, "screen2.pcx", BuildPcx(w, h, pixels.data(), palette.data()));
}

bool WriteCursor(const InstallContext& ctx) {
    static const char* const kArrow[16] = {
        "X...............", "XX..............", "XOX.............", "XOOX............",
        "XOOOX...........", "XOOOOX..........", "XOOOOOX.........", "XOOOOOOX........",
        "XOOOOOOOX.......", "XOOOOXXXXX......", "XOOXOX..........", "XOX.XOX.........",
        "XX..XOX.........", "X....XOX........", ".....XOX........", "......XX........",
    };
    std::vector<uint8_t> palette(768, 0);
    palette[3] = palette[4] = palette[5] = 24;  // 1: the outline
    palette[6] = 240;                          // 2: the body
    palette[7] = 232;
    palette[8] = 200;
    std::vector<uint8_t> pixels(256, 0);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            pixels[y * 16 + x] = kArrow[y][x] == 'X' ? 1 : kArrow[y][x] == 'O' ? 2 : 0;
    return WriteBytes(ctx, "cursor.pcx", BuildPcx(16, 16, pixels.data(), palette.data()));
}

bool WriteTiles(const InstallContext& ctx) {
    std::vector<uint8_t> palette(768, 0);
    Ramp(palette, 1, 32, {40, 28, 20}, {150, 100, 70});   // brick
    Ramp(palette, 33, 32, {30, 40, 30}, {90, 130, 90});   // moss
    Ramp(palette, 65, 32, {30, 30, 50}, {110, 110, 170}); // slate
    for (int t = 0; t < 3; ++t) {
        std::vector<uint8_t> pixels(128 * 128);
        for (int y = 0; y < 128; ++y)
            for (int x = 0; x < 128; ++x) {
                int v;
                if (t == 0) {  // bricks of 32 x 16, offset every other row
                    const int bx = (x + ((y / 16) & 1) * 16) % 32;
                    v = (bx == 0 || y % 16 == 0) ? 2 : 14 + Grain(x, y) * 2;
                } else if (t == 1) {  // checks of 16
                    v = (((x / 16) + (y / 16)) & 1) ? 24 : 8;
                    v += Grain(x, y);
                } else {  // diagonal weave
                    v = ((x + y) / 8 % 2) ? 26 : 10;
                    v += ((x - y + 128) / 8 % 2) ? 2 : 0;
                }
                pixels[y * 128 + x] = static_cast<uint8_t>(1 + t * 32 + std::min(31, v));
            }
        if (!WriteBytes(ctx, "tile" + std::to_string(t) + ".pcx", BuildPcx(128, 128, pixels.data(), palette.data())))
            return false;
    }
    return true;
}

// Default bindings of the 40 actions: all different, all bindable, the mouse buttons included.
bool WriteKeyboardDat(const InstallContext& ctx) {
    static const int kCodes[40] = {72, 80, 75, 77, 57, 29, 56, 42, 51, 52, 100, 18, 73, 81, 71, 19, 33, 46, 50, 101,
                                   17, 34, 16, 20, 21, 22, 23, 24, 25, 35, 36, 37, 38, 31, 44, 45, 47, 48, 49, 102};
    std::string text = "; default key bindings\n[keyboard]\n";
    for (int n = 0; n < 40; ++n) {
        char line[32];
        std::snprintf(line, sizeof(line), "key%02d=%d\n", n, kCodes[n]);
        text += line;
    }
    return WriteTextFile(ctx.Path("keyboard.dat"), text);
}

bool WriteScreenFiles(const InstallContext& ctx) {
    return WriteFonts(ctx) && WriteScreenPicture(ctx) && WriteCursor(ctx) && WriteTiles(ctx) && WriteKeyboardDat(ctx);
}

InstallStep g_step("screens", 30, WriteScreenFiles);

}  // namespace
