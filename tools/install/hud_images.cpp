// The arena HUD's bitmaps at the installation root: the four status bars (filled look above,
// empty look below), the three nexus gauges and the team and earth indicators (four columns:
// neutral, red, gold and blue teams), and four icon atlases of 4 x 4 numbered cells. Drawn on the
// shared art palette, written as 8-bit BMP.

#include <cstdio>
#include <string>
#include <vector>

#include "tools/install/install_step.h"
#include "tools/writers/art_canvas.h"
#include "tools/writers/bmp_writer.h"

namespace {

using artcanvas::Canvas;

// A ramp's first entry per team column: neutral stone, then the teams' red, gold and blue.
constexpr uint8_t kTeamRamp[4] = {artcanvas::kStone + 8, artcanvas::kRed, artcanvas::kGold, artcanvas::kBlue};
constexpr const char* kTeamLetters[4] = {"N", "R", "G", "B"};

std::vector<uint8_t> Bmp(const Canvas& c) {
    BmpImage b;
    b.width = c.w;
    b.height = c.h;
    b.bitsPerPixel = 8;
    b.pixels = c.px;
    b.palette = artcanvas::ArtPalette();
    return BuildBmp(b);
}

// 128 x 16: a bright ramp with a rim above, the same shape dark below.
Canvas StatusBar(uint8_t ramp) {
    Canvas c(128, 16, artcanvas::kInk);
    for (int x = 0; x < 128; ++x) {
        const int shade = 6 + x * 9 / 127;
        c.Fill(x, 1, 1, 6, static_cast<uint8_t>(ramp + shade));
        c.Fill(x, 9, 1, 6, static_cast<uint8_t>(artcanvas::kStone + 2 + x * 4 / 127));
    }
    c.Fill(0, 1, 128, 1, static_cast<uint8_t>(ramp + 15));
    c.Frame(0, 0, 128, 8, artcanvas::kGold + 4);
    c.Frame(0, 8, 128, 8, artcanvas::kGold + 4);
    return c;
}

// 128 x 64, four 32-wide columns. Above: the gauge, the team's ramp rising to the top, with the
// nexus number. Below: the special look, a full disc (shown when the gauge is full) or a dark
// ring (when empty).
Canvas NexusGauge(int number) {
    Canvas c(128, 64, artcanvas::kInk);
    char digit[2] = {static_cast<char>('0' + number), 0};
    for (int k = 0; k < 4; ++k) {
        const int x0 = k * 32;
        for (int y = 0; y < 32; ++y)
            c.Fill(x0 + 2, y, 28, 1, static_cast<uint8_t>(kTeamRamp[k] + 15 - y * 12 / 31));
        c.Text(x0 + 13, 12, digit, artcanvas::kWhite);
        c.Disc(x0 + 16, 48, 12, static_cast<uint8_t>(kTeamRamp[k] + 14));
        c.Text(x0 + 13, 44, digit, artcanvas::kInk);
        c.Frame(x0, 0, 32, 32, artcanvas::kGold + 8);
        c.Frame(x0, 32, 32, 32, artcanvas::kGold + 8);
    }
    return c;
}

// 128 x 32: one emblem per team, its letter on its colour.
Canvas TeamEmblems() {
    Canvas c(128, 32, artcanvas::kInk);
    for (int k = 0; k < 4; ++k) {
        const int x0 = k * 32;
        c.Disc(x0 + 16, 16, 14, static_cast<uint8_t>(kTeamRamp[k] + 10));
        c.Text(x0 + 7, 8, kTeamLetters[k], artcanvas::kWhite, 3);
    }
    return c;
}

// 128 x 64: each column filled with its team's colour, stripes so a sliver still reads as land.
Canvas EarthShares() {
    Canvas c(128, 64, artcanvas::kInk);
    for (int k = 0; k < 4; ++k)
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 32; ++x)
                c.Set(k * 32 + x, y, static_cast<uint8_t>(kTeamRamp[k] + 6 + ((x + y) / 4 % 2) * 4));
    return c;
}

// 128 x 128: 16 cells of 32, each framed with its icon number (atlas x 16 + cell + 1).
Canvas IconAtlas(int atlas) {
    Canvas c(128, 128, artcanvas::kInk);
    for (int cell = 0; cell < 16; ++cell) {
        const int x0 = cell % 4 * 32, y0 = cell / 4 * 32;
        c.Panel(x0, y0, 32, 32);
        char text[4];
        std::snprintf(text, sizeof text, "%d", atlas * 16 + cell + 1);
        c.Centred(x0 + 16, y0 + 12, text, artcanvas::kWhite);
    }
    return c;
}

bool Write(const InstallContext& ctx, const std::string& name, const Canvas& c) {
    const std::vector<uint8_t> bytes = Bmp(c);
    return WriteFileBytes(ctx.Path(name), bytes.data(), bytes.size());
}

bool WriteHudImages(const InstallContext& ctx) {
    const struct {
        const char* file;
        uint8_t ramp;
    } kBars[] = {{"health.bmp", artcanvas::kRed},
                 {"fatigue.bmp", artcanvas::kGreen},
                 {"power.bmp", artcanvas::kBlue},
                 {"ley.bmp", artcanvas::kGold}};
    for (const auto& bar : kBars)
        if (!Write(ctx, bar.file, StatusBar(bar.ramp)))
            return false;
    for (int n = 1; n <= 3; ++n)
        if (!Write(ctx, "nexus" + std::to_string(n) + ".bmp", NexusGauge(n)))
            return false;
    if (!Write(ctx, "team.bmp", TeamEmblems()) || !Write(ctx, "earth.bmp", EarthShares()))
        return false;
    for (int atlas = 0; atlas < 4; ++atlas)
        if (!Write(ctx, "icon" + std::to_string(atlas) + ".bmp", IconAtlas(atlas)))
            return false;
    return true;
}

InstallStep g_step("hud images", 50, WriteHudImages);

}  // namespace
