#include "tools/writers/screen_backgrounds.h"

#include <algorithm>
#include <string>

#include "tools/writers/art_canvas.h"
#include "tools/writers/pcx_writer.h"

namespace {

struct Colour {
    int red, green, blue;
};

// A palette ramp from one colour to another over count entries starting at first.
void Ramp(std::vector<uint8_t>& palette, int first, int count, Colour from, Colour to) {
    for (int i = 0; i < count; ++i) {
        const int t = count > 1 ? i * 255 / (count - 1) : 0;
        palette[(first + i) * 3] = static_cast<uint8_t>(from.red + (to.red - from.red) * t / 255);
        palette[(first + i) * 3 + 1] = static_cast<uint8_t>(from.green + (to.green - from.green) * t / 255);
        palette[(first + i) * 3 + 2] = static_cast<uint8_t>(from.blue + (to.blue - from.blue) * t / 255);
    }
}

// Deterministic grain in 0..7.
int Grain(int x, int y) { return static_cast<int>((artcanvas::GrainHash(x, y) >> 16) & 7); }

}  // namespace

std::vector<uint8_t> SampleScreenPicture() {
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
    return BuildPcx(w, h, pixels.data(), palette.data());
}

std::vector<ArtFile> SampleTileFiles() {
    std::vector<uint8_t> palette(768, 0);
    Ramp(palette, 1, 32, {20, 17, 15}, {110, 92, 76});    // dark stone
    Ramp(palette, 33, 32, {30, 40, 30}, {90, 130, 90});   // moss
    Ramp(palette, 65, 32, {30, 30, 50}, {110, 110, 170}); // slate
    std::vector<ArtFile> files;
    for (int t = 0; t < 3; ++t) {
        std::vector<uint8_t> pixels(128 * 128);
        for (int y = 0; y < 128; ++y)
            for (int x = 0; x < 128; ++x) {
                int v;
                if (t == 0) {
                    // Dark stone blocks of 64 x 32 with faint joints: text and the lists'
                    // marker stand on it, so it keeps to a few dark shades.
                    const int bx = (x + ((y / 32) & 1) * 32) % 64;
                    v = (bx == 0 || y % 32 == 0) ? 5 : 9 + Grain(x, y) / 2;
                } else if (t == 1) {  // checks of 16
                    v = (((x / 16) + (y / 16)) & 1) ? 24 : 8;
                    v += Grain(x, y);
                } else {  // diagonal weave
                    v = ((x + y) / 8 % 2) ? 26 : 10;
                    v += ((x - y + 128) / 8 % 2) ? 2 : 0;
                }
                pixels[y * 128 + x] = static_cast<uint8_t>(1 + t * 32 + std::min(31, v));
            }
        files.push_back({"tile" + std::to_string(t) + ".pcx", BuildPcx(128, 128, pixels.data(), palette.data())});
    }
    return files;
}
