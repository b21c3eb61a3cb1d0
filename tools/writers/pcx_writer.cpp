#include "tools/writers/pcx_writer.h"

#include "client/core/pcx_image.h"
#include "common/byte_writer.h"

namespace {

constexpr int kMaxRun = 63;

void EncodeLine(ByteWriter& w, const uint8_t* line, int width) {
    for (int x = 0; x < width;) {
        uint8_t v = line[x];
        int run = 1;
        while (x + run < width && run < kMaxRun && line[x + run] == v)
            ++run;
        // A byte with both top bits set would read as a run count, so it always goes as a run.
        if (run > 1 || v > 191)
            w.U8(static_cast<uint8_t>(0xC0 | run));
        w.U8(v);
        x += run;
    }
}

}  // namespace

std::vector<uint8_t> BuildPcx(int width, int height, const uint8_t* pixels, const uint8_t* palette) {
    if (width < 1 || height < 1 || width > kPcxMaxDimension || height > kPcxMaxDimension)
        return {};
    ByteWriter w;
    w.U8(10);  // maker
    w.U8(5);   // version
    w.U8(1);   // run-length encoding
    w.U8(8);   // bits per pixel
    w.I16LE(0);
    w.I16LE(0);
    w.I16LE(static_cast<int16_t>(width - 1));
    w.I16LE(static_cast<int16_t>(height - 1));
    w.U16LE(72);  // dots per inch
    w.U16LE(72);
    w.Zeros(48);  // 16-colour palette, unused
    w.U8(0);
    w.U8(1);  // planes
    w.U16LE(static_cast<uint16_t>(width));
    w.U16LE(1);  // colour palette
    w.Zeros(kPcxHeaderSize - w.Size());
    for (int y = 0; y < height; ++y)
        EncodeLine(w, pixels + static_cast<size_t>(y) * width, width);
    w.U8(0x0C);
    w.Bytes(palette, kPcxPaletteSize);
    return std::move(w.Data());
}
