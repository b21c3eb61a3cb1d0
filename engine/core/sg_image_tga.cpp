// TGA files: colour-mapped, true-colour and grey images, plain or run-length encoded, rows in
// either order and interleaved.

#include <cstdint>
#include <vector>

#include "common/byte_reader.h"
#include "engine/core/sg_image_file.h"
#include "engine/core/sg_raw_image.h"

namespace {

constexpr uint32_t kColorMapEntries = 16384;

struct Rgba {
    uint8_t r = 0, g = 0, b = 0, a = 255;
};

bool IsPixelDepth(uint32_t bits) { return bits == 8 || bits == 15 || bits == 16 || bits == 24 || bits == 32; }

// A stored value of 8, 15, 16, 24 or 32 bits (little-endian bytes) as a colour.
Rgba DecodeColor(const uint8_t* v, uint32_t bits) {
    Rgba c;
    switch (bits) {
    case 8:
        c.r = c.g = c.b = v[0];
        break;
    case 15:
    case 16: {
        uint8_t low = v[0], high = v[1];
        c.r = static_cast<uint8_t>((high & 0x7C) << 1);
        c.g = static_cast<uint8_t>(((low >> 2) & 0x38) + ((high & 3) << 6));
        c.b = static_cast<uint8_t>((low & 0x1F) << 3);
        break;
    }
    case 24:
        c = {v[2], v[1], v[0], 255};
        break;
    default:
        c = {v[2], v[1], v[0], v[3]};
        break;
    }
    return c;
}

// The pixel values of one file, plain or in run-length packets that run on across rows. The
// packet state belongs to the file, so a file that ends inside a packet leaves nothing behind.
class PixelSource {
public:
    PixelSource(ByteReader& reader, uint32_t bytesPerValue, bool runLength)
        : r_(reader), size_(bytesPerValue), runLength_(runLength) {}

    // The next value's bytes, or null when the file ends.
    const uint8_t* Next() {
        if (!runLength_)
            return Read(value_);
        if (left_ == 0) {
            uint8_t header = r_.U8();
            if (!r_.Ok())
                return nullptr;
            inRun_ = header >= 128;
            left_ = inRun_ ? header - 127u : header + 1u;
            if (inRun_ && !Read(value_))
                return nullptr;
        }
        --left_;
        return inRun_ ? value_ : Read(value_);
    }

private:
    const uint8_t* Read(uint8_t* out) { return r_.Bytes(out, size_) ? out : nullptr; }

    ByteReader& r_;
    uint32_t size_;
    bool runLength_;
    bool inRun_ = false;
    uint32_t left_ = 0;
    uint8_t value_[4] = {};
};

}  // namespace

bool ReadTgaImage(const uint8_t* data, size_t size, SgRawImageData& raw) {
    ByteReader r(data, size);
    uint32_t idLength = r.U8();
    uint32_t mapType = r.U8();
    uint32_t imageType = r.U8();
    uint32_t mapFirst = r.U16LE();
    uint32_t mapLength = r.U16LE();
    uint32_t mapEntryBits = r.U8();
    r.U16LE();  // x and y origin
    r.U16LE();
    uint32_t width = r.U16LE();
    uint32_t height = r.U16LE();
    uint32_t depth = r.U8();
    uint32_t descriptor = r.U8();
    r.Skip(idLength);
    if (!r.Ok())
        return false;

    uint32_t kind = imageType & 7;  // 1 colour-mapped, 2 true colour, 3 grey
    bool runLength = imageType >= 9;
    if (imageType != kind && imageType != kind + 8)
        return false;
    if (kind < 1 || kind > 3)
        return false;
    if (kind == 1) {
        // The pixel values index the colour map, which must be there.
        if (mapType != 1 || !IsPixelDepth(mapEntryBits) || (depth != 8 && depth != 16))
            return false;
    } else if (!IsPixelDepth(depth)) {
        return false;
    }
    uint32_t interleave = descriptor >> 6;
    if (interleave == 3)
        return false;
    if (width == 0 || height == 0)
        return false;

    std::vector<Rgba> colorMap;
    if (mapType != 0) {
        if (mapFirst + mapLength >= kColorMapEntries - 1 || !IsPixelDepth(mapEntryBits))
            return false;
        colorMap.resize(kColorMapEntries);
        uint8_t entry[4];
        uint32_t entryBytes = (mapEntryBits + 7) / 8;
        for (uint32_t i = 0; i < mapLength; ++i) {
            if (!r.Bytes(entry, entryBytes))
                return false;
            colorMap[mapFirst + i] = DecodeColor(entry, mapEntryBits);
        }
    }

    uint32_t valueBytes = (depth + 7) / 8;
    uint64_t pixels = static_cast<uint64_t>(width) * height;
    // Plain pixels must all be there; a run packet of a few bytes gives at most 128 pixels.
    if (runLength ? pixels > 128ull * r.Remaining() : !r.NeedItems(pixels, valueBytes))
        return false;
    uint32_t format = depth == 32 ? SgRawImageData::kRgba : SgRawImageData::kRgb;
    if (!raw.ResizeRawImage(format, width, height))
        return false;

    PixelSource source(r, valueBytes, runLength);
    uint32_t outBytes = raw.BytesPerPixel();
    bool topFirst = descriptor & 0x20;
    uint32_t step = 1u << interleave;
    uint32_t line = 0, pass = 0;
    for (uint32_t k = 0; k < height; ++k) {
        uint8_t* out = raw.Row(topFirst ? line : height - 1 - line);
        for (uint32_t x = 0; x < width; ++x, out += outBytes) {
            const uint8_t* value = source.Next();
            if (!value)
                return false;
            Rgba c;
            if (kind == 1) {
                uint32_t index = depth == 8 ? value[0] : value[0] | value[1] << 8u;
                if (index < mapFirst || index >= mapFirst + mapLength)
                    return false;  // not an entry of this file's map
                c = colorMap[index];
            } else {
                c = DecodeColor(value, depth);
            }
            out[0] = c.r;
            out[1] = c.g;
            out[2] = c.b;
            if (outBytes == 4)
                out[3] = c.a;
        }
        line += step;
        if (line >= height)
            line = ++pass;
    }
    return true;
}
