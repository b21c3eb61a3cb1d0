#include "tools/writers/map_art.h"

#include <cmath>
#include <cstdlib>

#include "tools/writers/pcx_writer.h"

namespace {

// Greys for the marker sheets: the map takes a marker pixel p as (p >> 3) + its colour base, so
// no pixel is above 247 (colour 7 would wrap past 255).
std::vector<uint8_t> GreyPalette() {
    std::vector<uint8_t> palette(768);
    for (int i = 0; i < 256; ++i)
        palette[i * 3] = palette[i * 3 + 1] = palette[i * 3 + 2] = static_cast<uint8_t>(i);
    return palette;
}

}  // namespace

std::vector<uint8_t> BuildArrowPcx() {
    constexpr int w = kArrowFrames * kArrowFrameSize, h = kArrowFrameSize;
    std::vector<uint8_t> pixels(w * h, 0);
    const double c = (kArrowFrameSize - 1) / 2.0;
    for (int k = 0; k < kArrowFrames; ++k) {
        const double a = k * 2 * M_PI / kArrowFrames;
        const double dx = std::sin(a), dy = -std::cos(a);
        auto put = [&](double x, double y, uint8_t v) {
            const int px = static_cast<int>(std::lround(x)), py = static_cast<int>(std::lround(y));
            if (px >= 0 && px < kArrowFrameSize && py >= 0 && py < kArrowFrameSize)
                pixels[py * w + k * kArrowFrameSize + px] = v;
        };
        // The shaft from the tail to the tip, then the two barbs back from the tip.
        for (double t = -3; t <= 3; t += 0.25)
            put(c + dx * t, c + dy * t, 200);
        for (double t = 0; t <= 2; t += 0.25) {
            put(c + dx * (3 - t) + dy * t, c + dy * (3 - t) - dx * t, 240);
            put(c + dx * (3 - t) - dy * t, c + dy * (3 - t) + dx * t, 240);
        }
    }
    return BuildPcx(w, h, pixels.data(), GreyPalette().data());
}

std::vector<uint8_t> BuildNodePcx() {
    constexpr int s = kNodeFrameSize, w = kNodeFrames * s, h = s;
    std::vector<uint8_t> pixels(w * h, 0);
    const int c = s / 2;
    for (int k = 0; k < kNodeFrames; ++k)
        for (int y = 0; y < s; ++y)
            for (int x = 0; x < s; ++x) {
                const int dx = x - c, dy = y - c;
                const int r2 = dx * dx + dy * dy;
                bool on = false;
                switch (k) {
                    case 0: on = r2 <= 25 && r2 >= 12; break;                     // neutral: a ring
                    case 1: on = std::abs(dx) + std::abs(dy) <= 5; break;         // a diamond
                    case 2: on = std::abs(dx) <= 4 && std::abs(dy) <= 4; break;   // a square
                    case 3: on = dy >= -4 && dy <= 4 && std::abs(dx) <= (dy + 5) / 2; break;  // a triangle
                    case 4: on = r2 <= 2; break;                                  // a figure's dot
                    default: on = r2 <= 9; break;
                }
                if (on)
                    pixels[y * w + k * s + x] = static_cast<uint8_t>(r2 <= 4 ? 240 : 160);
            }
    return BuildPcx(w, h, pixels.data(), GreyPalette().data());
}

std::vector<uint8_t> BuildSmallMapPcx() {
    constexpr int n = 200;
    std::vector<uint8_t> palette(768, 0);
    const uint8_t colours[4][3] = {{16, 14, 12}, {120, 104, 80}, {190, 170, 120}, {60, 110, 160}};
    for (int i = 0; i < 4; ++i)
        for (int k = 0; k < 3; ++k)
            palette[(i + 1) * 3 + k] = colours[i][k];
    std::vector<uint8_t> pixels(n * n, 1);
    auto room = [&](int x0, int y0, int x1, int y1, uint8_t v) {
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                pixels[y * n + x] = v;
    };
    room(20, 20, 80, 80, 3);
    room(120, 20, 180, 80, 3);
    room(20, 120, 80, 180, 3);
    room(120, 120, 180, 180, 3);
    room(45, 80, 55, 120, 2);
    room(145, 80, 155, 120, 2);
    room(80, 45, 120, 55, 2);
    room(80, 145, 120, 155, 2);
    room(90, 90, 110, 110, 4);  // the pool in the middle
    return BuildPcx(n, n, pixels.data(), palette.data());
}
