// SGI image files (.rgb, .rgba, .int, .inta): big-endian header, one plane per channel stored
// bottom row first, verbatim or run-length encoded row by row.

#include <cstdint>

#include "common/byte_reader.h"
#include "engine/core/sg_image_file.h"
#include "engine/core/sg_raw_image.h"

namespace {

constexpr uint16_t kSgiMagic = 474;
constexpr size_t kSgiDataOffset = 512;

struct SgiLayout {
    uint32_t width, height, planes, bytesPerValue;
};

// One value of 1 or 2 bytes as 8 bits.
uint8_t ReadValue(ByteReader& r, uint32_t bytesPerValue) {
    return bytesPerValue == 1 ? r.U8() : static_cast<uint8_t>(r.U16BE() / 257);
}

// Writes one channel of raw-image row `row` from a run-length row: packets of a count (low 7
// bits; 0 ends the row) with the high bit for literal values, else one value repeated. A run
// that would pass the end of the row refuses the file.
bool DecodeRunLengthRow(ByteReader& r, const SgiLayout& l, uint8_t* out, uint32_t outStep) {
    uint32_t x = 0;
    for (;;) {
        // 16-bit files keep their packet headers in 16 bits too.
        uint32_t header = l.bytesPerValue == 1 ? r.U8() : r.U16BE();
        if (!r.Ok())
            return x == l.width;  // a full row may end without its closing packet
        uint32_t count = header & 0x7F;
        if (count == 0)
            return true;
        if (count > l.width - x)
            return false;
        if (header & 0x80) {
            for (uint32_t i = 0; i < count; ++i, ++x)
                out[x * outStep] = ReadValue(r, l.bytesPerValue);
        } else {
            uint8_t value = ReadValue(r, l.bytesPerValue);
            for (uint32_t i = 0; i < count; ++i, ++x)
                out[x * outStep] = value;
        }
        if (!r.Ok())
            return false;
    }
}

}  // namespace

bool ReadSgiImage(const uint8_t* data, size_t size, SgRawImageData& raw) {
    ByteReader r(data, size);
    if (r.U16BE() != kSgiMagic)
        return false;
    uint32_t storage = r.U8();
    SgiLayout l{};
    l.bytesPerValue = r.U8();
    r.U16BE();  // dimension
    l.width = r.U16BE();
    l.height = r.U16BE();
    l.planes = r.U16BE();
    r.U32BE();  // minimum and maximum value: they do not change the pixels
    r.U32BE();
    r.Skip(84);
    r.U32BE();  // colour-map kind
    if (!r.Ok() || storage > 1 || (l.bytesPerValue != 1 && l.bytesPerValue != 2))
        return false;
    if (l.width == 0 || l.height == 0 || l.planes == 0)
        return false;

    uint64_t rowCount = static_cast<uint64_t>(l.height) * l.planes;
    if (storage == 0) {
        if (size < kSgiDataOffset || rowCount * l.width * l.bytesPerValue > size - kSgiDataOffset)
            return false;
    } else if (size < kSgiDataOffset || rowCount * 8 > size - kSgiDataOffset) {
        return false;  // the two tables of row starts and lengths
    }

    bool alpha = l.planes == 2 || l.planes > 3;
    if (!raw.ResizeRawImage(alpha ? SgRawImageData::kRgba : SgRawImageData::kRgb, l.width, l.height))
        return false;
    uint32_t outStep = raw.BytesPerPixel();

    // Plane p fills these channels of the raw image (red, green, blue = 0, 1, 2; alpha 3).
    uint32_t usedPlanes = l.planes < 4 ? l.planes : 4;
    for (uint32_t p = 0; p < usedPlanes; ++p) {
        uint32_t first = p, last = p;
        if (l.planes < 3) {
            first = p == 0 ? 0 : 3;
            last = p == 0 ? 2 : 3;
        }
        for (uint32_t k = 0; k < l.height; ++k) {
            uint64_t index = static_cast<uint64_t>(p) * l.height + k;
            uint8_t* out = raw.Row(l.height - 1 - k) + first;
            if (storage == 0) {
                r.Seek(kSgiDataOffset + index * l.width * l.bytesPerValue);
                for (uint32_t x = 0; x < l.width; ++x)
                    out[x * outStep] = ReadValue(r, l.bytesPerValue);
                if (!r.Ok())
                    return false;
            } else {
                r.Seek(kSgiDataOffset + index * 4);
                uint32_t start = r.U32BE();
                r.Seek(kSgiDataOffset + (rowCount + index) * 4);
                uint32_t length = r.U32BE();
                if (!r.Ok() || start > size || length > size - start)
                    return false;
                ByteReader row(data + start, length);
                if (!DecodeRunLengthRow(row, l, out, outStep))
                    return false;
            }
            // A grey plane fills red, green and blue alike.
            uint8_t* rowStart = out - first;
            for (uint32_t c = first + 1; c <= last; ++c)
                for (uint32_t x = 0; x < l.width; ++x)
                    rowStart[x * outStep + c] = rowStart[x * outStep];
        }
    }
    return true;
}
