#include "tools/writers/color_table_writer.h"

#include <climits>

#include "common/byte_writer.h"

namespace {

constexpr int kShadeRows = 33;

struct Rgb {
    int r, g, b;
};

constexpr Rgb kRampColours[8] = {
    {255, 255, 255}, {255, 48, 32}, {64, 224, 64}, {64, 96, 255},
    {255, 200, 80},  {64, 224, 224}, {200, 80, 232}, {192, 128, 72},
};

// Text is drawn on black, so each must read there and stand apart from the others.
constexpr Rgb kTextColours[kSampleTextColours] = {
    {255, 255, 255}, {235, 80, 64}, {240, 208, 80}, {110, 150, 255}, {110, 220, 120}, {190, 190, 205}, {135, 135, 150},
};

uint16_t Pixel565(int r, int g, int b) {
    return static_cast<uint16_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
}

int Expand(int value, int bits) {
    return value * 255 / ((1 << bits) - 1);
}

}  // namespace

Palette SamplePalette() {
    Palette p{};
    for (int i = 0; i < kSampleTextColours; ++i) {
        p[3 * i] = static_cast<uint8_t>(kTextColours[i].r);
        p[3 * i + 1] = static_cast<uint8_t>(kTextColours[i].g);
        p[3 * i + 2] = static_cast<uint8_t>(kTextColours[i].b);
    }
    for (int i = kSampleBlack + 1; i < 256; ++i) {
        const Rgb& c = kRampColours[i / 32];
        int level = i % 32 + 1;
        p[3 * i] = static_cast<uint8_t>(c.r * level / 32);
        p[3 * i + 1] = static_cast<uint8_t>(c.g * level / 32);
        p[3 * i + 2] = static_cast<uint8_t>(c.b * level / 32);
    }
    return p;
}

std::vector<uint8_t> BuildColFile(const Palette& palette) {
    ByteWriter w;
    for (int shade = 0; shade < kShadeRows; ++shade)
        for (int i = 0; i < 256; ++i)
            w.U16LE(Pixel565(palette[3 * i] * shade / 32, palette[3 * i + 1] * shade / 32,
                             palette[3 * i + 2] * shade / 32));
    return std::move(w.Data());
}

std::vector<uint8_t> BuildTranslationTable(const Palette& palette, const ChannelBits& bits) {
    std::vector<uint8_t> table(65536);
    const int rMask = (1 << bits.red) - 1;
    const int gMask = (1 << bits.green) - 1;
    const int bMask = (1 << bits.blue) - 1;
    for (int p = 0; p < 65536; ++p) {
        int r = Expand((p >> (bits.green + bits.blue)) & rMask, bits.red);
        int g = Expand((p >> bits.blue) & gMask, bits.green);
        int b = Expand(p & bMask, bits.blue);
        int best = 0;
        int bestDistance = INT_MAX;
        for (int i = 0; i < 256 && bestDistance > 0; ++i) {
            int dr = r - palette[3 * i], dg = g - palette[3 * i + 1], db = b - palette[3 * i + 2];
            int d = dr * dr + dg * dg + db * db;
            if (d < bestDistance) {
                bestDistance = d;
                best = i;
            }
        }
        table[p] = static_cast<uint8_t>(best);
    }
    return table;
}
