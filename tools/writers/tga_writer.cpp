#include "tools/writers/tga_writer.h"

#include "common/byte_writer.h"

namespace {

// One value in a field of `bits`: 0xAARRGGBB colours as blue, green, red (alpha) or as 5-5-5
// with the top bit for alpha; indices and grey levels as they are.
void PutValue(ByteWriter& w, uint32_t value, int bits, bool isColor) {
    if (!isColor) {
        if (bits == 8)
            w.U8(static_cast<uint8_t>(value));
        else
            w.U16LE(static_cast<uint16_t>(value));
        return;
    }
    uint32_t a = value >> 24, r = value >> 16 & 0xFF, g = value >> 8 & 0xFF, b = value & 0xFF;
    switch (bits) {
    case 8:
        w.U8(static_cast<uint8_t>((r * 77 + g * 151 + b * 28) >> 8));
        break;
    case 15:
    case 16:
        w.U16LE(static_cast<uint16_t>((r >> 3) << 10 | (g >> 3) << 5 | b >> 3 | (a >= 128 ? 0x8000 : 0)));
        break;
    case 24:
        w.U8(static_cast<uint8_t>(b));
        w.U8(static_cast<uint8_t>(g));
        w.U8(static_cast<uint8_t>(r));
        break;
    default:
        w.U8(static_cast<uint8_t>(b));
        w.U8(static_cast<uint8_t>(g));
        w.U8(static_cast<uint8_t>(r));
        w.U8(static_cast<uint8_t>(a));
        break;
    }
}

}  // namespace

std::vector<uint8_t> BuildTga(const TgaImage& image) {
    const int kind = image.imageType & 7;
    const bool runLength = image.imageType >= 9;
    const bool mapped = kind == 1;
    // True-colour values are colours; grey levels and indices are written as they stand.
    const bool pixelsAreColors = kind == 2;

    ByteWriter w;
    w.U8(0);  // no identification field
    w.U8(mapped ? 1 : 0);
    w.U8(static_cast<uint8_t>(image.imageType));
    w.U16LE(static_cast<uint16_t>(mapped ? image.mapFirst : 0));
    w.U16LE(static_cast<uint16_t>(mapped ? image.colorMap.size() : 0));
    w.U8(static_cast<uint8_t>(mapped ? image.mapEntryBits : 0));
    w.U16LE(0);
    w.U16LE(0);
    w.U16LE(static_cast<uint16_t>(image.width));
    w.U16LE(static_cast<uint16_t>(image.height));
    w.U8(static_cast<uint8_t>(image.pixelDepth));
    uint8_t alphaBits = image.pixelDepth == 32 ? 8 : 0;
    w.U8(static_cast<uint8_t>(alphaBits | (image.topDown ? 0x20 : 0)));
    if (mapped)
        for (uint32_t entry : image.colorMap)
            PutValue(w, entry, image.mapEntryBits, true);

    const size_t width = static_cast<size_t>(image.width);
    for (int k = 0; k < image.height; ++k) {
        int y = image.topDown ? k : image.height - 1 - k;
        const uint32_t* row = image.pixels.data() + static_cast<size_t>(y) * width;
        if (!runLength) {
            for (size_t x = 0; x < width; ++x)
                PutValue(w, row[x], image.pixelDepth, pixelsAreColors);
            continue;
        }
        // Packets stay within their row: runs of two or more equal values, literals between.
        size_t x = 0;
        while (x < width) {
            size_t run = 1;
            while (x + run < width && run < 128 && row[x + run] == row[x])
                ++run;
            if (run >= 2) {
                w.U8(static_cast<uint8_t>(127 + run));
                PutValue(w, row[x], image.pixelDepth, pixelsAreColors);
                x += run;
                continue;
            }
            size_t literal = 1;
            while (x + literal < width && literal < 128 &&
                   !(x + literal + 1 < width && row[x + literal] == row[x + literal + 1]))
                ++literal;
            w.U8(static_cast<uint8_t>(literal - 1));
            for (size_t i = 0; i < literal; ++i)
                PutValue(w, row[x + i], image.pixelDepth, pixelsAreColors);
            x += literal;
        }
    }
    return std::move(w.Data());
}
