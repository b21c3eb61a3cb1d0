#include "tools/writers/bmp_writer.h"

#include "common/byte_writer.h"

namespace {

constexpr uint32_t kFileHeaderBytes = 14;
constexpr uint32_t kInfoHeaderBytes = 40;

}  // namespace

std::vector<uint8_t> BuildBmp(const BmpImage& image) {
    const uint32_t bits = static_cast<uint32_t>(image.bitsPerPixel);
    const uint32_t width = static_cast<uint32_t>(image.width);
    const uint32_t height = static_cast<uint32_t>(image.height);
    const bool palettized = bits <= 8;
    const uint32_t colors = palettized ? static_cast<uint32_t>(image.palette.size() / 3) : 0;
    const uint32_t rowBytes = (bits * width + 31) / 32 * 4;
    const uint32_t pixelOffset = kFileHeaderBytes + kInfoHeaderBytes + colors * 4;
    const uint32_t imageBytes = rowBytes * height;

    ByteWriter w;
    w.U8('B');
    w.U8('M');
    w.U32LE(pixelOffset + imageBytes);
    w.U32LE(0);
    w.U32LE(pixelOffset);
    w.U32LE(kInfoHeaderBytes);
    w.I32LE(image.width);
    w.I32LE(image.topDown ? -image.height : image.height);
    w.U16LE(1);
    w.U16LE(static_cast<uint16_t>(bits));
    w.U32LE(0);  // no compression
    w.U32LE(imageBytes);
    w.U32LE(2835);  // 72 dots per inch
    w.U32LE(2835);
    w.U32LE(colors);
    w.U32LE(0);
    for (uint32_t i = 0; i < colors; ++i) {
        w.U8(image.palette[3 * i + 2]);
        w.U8(image.palette[3 * i + 1]);
        w.U8(image.palette[3 * i]);
        w.U8(0);
    }

    const uint32_t bytesPerPixel = bits / 8;
    for (uint32_t k = 0; k < height; ++k) {
        uint32_t y = image.topDown ? k : height - 1 - k;
        size_t start = w.Size();
        if (bits == 4) {
            const uint8_t* row = image.pixels.data() + static_cast<size_t>(y) * width;
            for (uint32_t x = 0; x < width; x += 2) {
                uint8_t high = row[x] & 0x0F;
                uint8_t low = x + 1 < width ? row[x + 1] & 0x0F : 0;
                w.U8(static_cast<uint8_t>(high << 4 | low));
            }
        } else if (bits == 8) {
            w.Bytes(image.pixels.data() + static_cast<size_t>(y) * width, width);
        } else {
            const uint8_t* p = image.pixels.data() + static_cast<size_t>(y) * width * bytesPerPixel;
            for (uint32_t x = 0; x < width; ++x, p += bytesPerPixel) {
                w.U8(p[2]);
                w.U8(p[1]);
                w.U8(p[0]);
                if (bytesPerPixel == 4)
                    w.U8(p[3]);
            }
        }
        w.Zeros(rowBytes - (w.Size() - start));
    }
    return std::move(w.Data());
}
