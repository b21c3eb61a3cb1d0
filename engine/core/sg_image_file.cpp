// The reader's dispatch by extension, sgf images and BMP files.

#include "engine/core/sg_image_file.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/byte_reader.h"
#include "common/text.h"
#include "engine/core/sg_file.h"
#include "engine/core/sg_raw_image.h"
#include "engine/core/sg_stream.h"

namespace {

// No image file of ours comes near this; a larger one is refused before it is read.
constexpr size_t kMaxImageFileBytes = 256u << 20;

bool TakeSingleRawImage(SgSceneStream& stream, SgRawImageData& raw) {
    if (stream.TopLevelCount() != 1)
        return false;
    const SgRawImageData* loaded = SgKindCast<SgRawImageData>(stream.TopLevelObject(0));
    return loaded && raw.CopyFrom(*loaded);
}

}  // namespace

bool ReadImageFile(const char* fileName, SgRawImageData* raw) {
    if (!fileName || !raw)
        return false;
    std::string_view name = fileName;
    constexpr std::string_view kUrlPrefix = "file://";
    if (name.substr(0, kUrlPrefix.size()) == kUrlPrefix)
        name.remove_prefix(kUrlPrefix.size());
    size_t dot = name.rfind('.');
    if (dot == std::string_view::npos)
        return false;
    std::string_view extension = name.substr(dot);
    std::string path(name);

    if (EqualsNoCase(extension, ".sgf")) {
        SgSceneStream stream;
        return stream.LoadFromFile(path.c_str()) && TakeSingleRawImage(stream, *raw);
    }
    std::vector<uint8_t> bytes;
    if (!SgReadWholeFile(path.c_str(), kMaxImageFileBytes, bytes))
        return false;
    if (EqualsNoCase(extension, ".tga"))
        return ReadTgaImage(bytes.data(), bytes.size(), *raw);
    if (EqualsNoCase(extension, ".bmp"))
        return ReadBmpImage(bytes.data(), bytes.size(), *raw);
    for (std::string_view sgi : {".rgb", ".rgba", ".int", ".inta"})
        if (EqualsNoCase(extension, sgi))
            return ReadSgiImage(bytes.data(), bytes.size(), *raw);
    return false;
}

bool ReadSgfImage(const uint8_t* data, size_t size, SgRawImageData& raw) {
    SgSceneStream stream;
    return stream.Load(data, size) && TakeSingleRawImage(stream, raw);
}

// ---- BMP ----

bool ReadBmpImage(const uint8_t* data, size_t size, SgRawImageData& raw) {
    ByteReader r(data, size);
    if (r.U16LE() != 0x4D42)  // "BM"
        return false;
    r.U32LE();  // file size
    r.Skip(4);
    uint32_t pixelOffset = r.U32LE();
    uint32_t headerSize = r.U32LE();
    int32_t width = r.I32LE();
    int32_t height = r.I32LE();
    r.U16LE();  // planes
    uint32_t bitsPerPixel = r.U16LE();
    uint32_t compression = r.U32LE();
    r.U32LE();  // image size: the rows are sized from width and depth instead
    r.U32LE();
    r.U32LE();
    uint32_t colorsUsed = r.U32LE();
    r.U32LE();
    if (!r.Ok())
        return false;

    if (bitsPerPixel != 4 && bitsPerPixel != 8 && bitsPerPixel != 24 && bitsPerPixel != 32)
        return false;
    // Only plain pixels can be read (a 32-bit file may name its masks); run-length files are
    // refused rather than shown as noise.
    if (compression != 0 && !(bitsPerPixel == 32 && compression == 3))
        return false;
    // A header shorter than the fields above is another layout.
    if (headerSize < 40 || width <= 0 || height == 0 || height == INT32_MIN)
        return false;
    bool topDown = height < 0;
    uint32_t rows = static_cast<uint32_t>(topDown ? -height : height);
    uint32_t columns = static_cast<uint32_t>(width);
    if (columns > SgRawImageData::kMaxSide || rows > SgRawImageData::kMaxSide)
        return false;  // no image of ours is that large, and the sizes below stay small

    uint32_t format = bitsPerPixel <= 8 ? SgRawImageData::kPalettized
                      : bitsPerPixel == 24 ? SgRawImageData::kRgb
                                           : SgRawImageData::kRgba;
    uint64_t rowBytes = (static_cast<uint64_t>(bitsPerPixel) * columns + 31) / 32 * 4;
    // The pixels must be in the file before anything is made for them.
    if (pixelOffset > size || rowBytes * rows > size - pixelOffset)
        return false;
    if (!raw.ResizeRawImage(format, columns, rows))
        return false;

    if (format == SgRawImageData::kPalettized) {
        if (colorsUsed == 0)
            colorsUsed = 1u << bitsPerPixel;
        if (colorsUsed > 256)
            colorsUsed = 256;  // the palette holds no more
        // The palette follows the header, whatever its size.
        if (!r.Seek(14 + static_cast<size_t>(headerSize)))
            return false;
        uint8_t* palette = raw.Palette();
        for (uint32_t i = 0; i < colorsUsed; ++i) {
            uint8_t* e = palette + 4 * i;
            if (!r.Bytes(e, 4))
                return false;
            std::swap(e[0], e[2]);  // blue, green, red in the file
        }
    }

    if (!r.Seek(pixelOffset))
        return false;
    uint32_t bytesPerPixel = bitsPerPixel / 8;
    for (uint32_t k = 0; k < rows; ++k) {
        std::string_view row = r.View(static_cast<size_t>(rowBytes));
        if (!r.Ok())
            return false;
        const uint8_t* in = reinterpret_cast<const uint8_t*>(row.data());
        uint8_t* out = raw.Row(topDown ? k : rows - 1 - k);
        if (bitsPerPixel == 4) {
            for (uint32_t x = 0; x < columns; ++x)
                out[x] = x % 2 == 0 ? in[x / 2] >> 4 : in[x / 2] & 0x0F;
        } else if (bitsPerPixel == 8) {
            std::copy(in, in + columns, out);
        } else {
            // Blue, green, red (and alpha) in the file; red first in the raw image.
            for (uint32_t x = 0; x < columns; ++x, in += bytesPerPixel, out += bytesPerPixel) {
                out[0] = in[2];
                out[1] = in[1];
                out[2] = in[0];
                if (bytesPerPixel == 4)
                    out[3] = in[3];
            }
        }
    }
    return true;
}
