#pragma once
// A small 8-bit drawing surface over one shared art palette, for the sample installation's
// screen pictures: fills, frames, stone panels, discs and text in the glyph design, written out
// as a 256-colour PCX.

#include <cstdint>
#include <string>
#include <vector>

#include "tools/writers/glyph_design.h"
#include "tools/writers/pcx_writer.h"

namespace artcanvas {

// Palette indices of the shared palette.
enum : uint8_t {
    kClear = 0,      // transparent
    kInk = 1,        // near black
    kStone = 16,     // 16..47 a blue-grey ramp
    kGold = 64,      // 64..79 dark to bright gold
    kParchment = 96, // 96..111
    kRed = 128,      // 128..143
    kGreen = 144,    // 144..159
    kBlue = 160,     // 160..175
    kWhite = 255,
};

inline std::vector<uint8_t> ArtPalette() {
    std::vector<uint8_t> p(768, 0);
    const auto ramp = [&p](int first, int count, int r0, int g0, int b0, int r1, int g1, int b1) {
        for (int i = 0; i < count; ++i) {
            const int t = count > 1 ? i * 255 / (count - 1) : 0;
            p[(first + i) * 3] = static_cast<uint8_t>(r0 + (r1 - r0) * t / 255);
            p[(first + i) * 3 + 1] = static_cast<uint8_t>(g0 + (g1 - g0) * t / 255);
            p[(first + i) * 3 + 2] = static_cast<uint8_t>(b0 + (b1 - b0) * t / 255);
        }
    };
    ramp(kInk, 1, 12, 10, 16, 12, 10, 16);
    ramp(kStone, 32, 14, 16, 28, 70, 78, 112);
    ramp(kGold, 16, 80, 56, 16, 250, 214, 110);
    ramp(kParchment, 16, 150, 128, 92, 236, 220, 180);
    ramp(kRed, 16, 70, 12, 12, 230, 70, 60);
    ramp(kGreen, 16, 12, 60, 24, 90, 220, 110);
    ramp(kBlue, 16, 14, 30, 80, 110, 160, 250);
    ramp(kWhite, 1, 255, 255, 255, 255, 255, 255);
    return p;
}

inline uint32_t GrainHash(int x, int y) {
    uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u;
    return (h ^ (h >> 13)) * 1274126177u;
}

inline int Grain(int x, int y) { return static_cast<int>((GrainHash(x, y) >> 16) & 3); }

struct Canvas {
    int w, h;
    std::vector<uint8_t> px;
    Canvas(int width, int height, uint8_t fill = kClear) : w(width), h(height), px(static_cast<size_t>(width) * height, fill) {}
    void Set(int x, int y, uint8_t c) {
        if (x >= 0 && y >= 0 && x < w && y < h)
            px[static_cast<size_t>(y) * w + x] = c;
    }
    void Fill(int x, int y, int fw, int fh, uint8_t c) {
        for (int j = y; j < y + fh; ++j)
            for (int i = x; i < x + fw; ++i)
                Set(i, j, c);
    }
    void Frame(int x, int y, int fw, int fh, uint8_t c, int t = 1) {
        Fill(x, y, fw, t, c);
        Fill(x, y + fh - t, fw, t, c);
        Fill(x, y, t, fh, c);
        Fill(x + fw - t, y, t, fh, c);
    }
    // A stone panel lit from the top left, with a gold rim.
    void Panel(int x, int y, int fw, int fh) {
        for (int j = 0; j < fh; ++j)
            for (int i = 0; i < fw; ++i)
                Set(x + i, y + j, static_cast<uint8_t>(kStone + 6 + (fw - i + fh - j) * 10 / (fw + fh) + Grain(x + i, y + j)));
        Frame(x, y, fw, fh, kGold + 12, 2);
        Frame(x + 2, y + 2, fw - 4, fh - 4, kGold + 4, 1);
    }
    void Disc(int cx, int cy, int r, uint8_t c) {
        for (int j = -r; j <= r; ++j)
            for (int i = -r; i <= r; ++i)
                if (i * i + j * j <= r * r)
                    Set(cx + i, cy + j, c);
    }
    int TextWidth(const std::string& s, int scale) const { return static_cast<int>(s.size()) * 6 * scale; }
    void Text(int x, int y, const std::string& s, uint8_t c, int scale = 1) {
        for (size_t k = 0; k < s.size(); ++k) {
            const auto rows = GlyphRows(static_cast<unsigned char>(s[k]));
            for (int r = 0; r < 8; ++r)
                for (int b = 0; b < 8; ++b)
                    if (rows[r] & (0x80 >> b))
                        Fill(x + (static_cast<int>(k) * 6 + b) * scale, y + r * scale, scale, scale, c);
        }
    }
    void Centred(int cx, int y, const std::string& s, uint8_t c, int scale = 1) { Text(cx - TextWidth(s, scale) / 2, y, s, c, scale); }
    std::vector<uint8_t> Pcx() const { return BuildPcx(w, h, px.data(), ArtPalette().data()); }
};

}  // namespace artcanvas
