// The 2D screens' files: the fonts (bitmap and PCX, in our glyph design), the cursor, the three
// 128 x 128 tiles, the screens' 800 x 600 background and the default key bindings.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/install/install_step.h"
#include "tools/writers/font_writer.h"
#include "tools/writers/pcx_writer.h"
#include "tools/writers/screen_backgrounds.h"

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

bool WriteScreenPicture(const InstallContext& ctx) { return WriteBytes(ctx, "screen2.pcx", SampleScreenPicture()); }

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
    for (const ArtFile& f : SampleTileFiles())
        if (!WriteBytes(ctx, f.name, f.bytes))
            return false;
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
