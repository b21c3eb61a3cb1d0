// Image files: any bytes must read or be refused cleanly by every reader, and whatever reads
// must convert into the device layouts and halve for mip levels within its own buffers.

#include <cstdint>
#include <vector>

#include "engine/core/sg_action.h"
#include "engine/core/sg_image_file.h"
#include "engine/core/sg_raw_image.h"

namespace {

void Exercise(SgRawImageData& raw) {
    if (!raw.Pixels())
        return;  // a format without pixels has nothing to convert
    static const SgPixelFormat targets[] = {
        SgPixelFormat::FromMasks(16, 0xF800, 0x07E0, 0x001F, 0),
        SgPixelFormat::FromMasks(16, 0x7C00, 0x03E0, 0x001F, 0x8000),
        SgPixelFormat::FromMasks(24, 0xFF0000, 0xFF00, 0xFF, 0),
        SgPixelFormat::FromMasks(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000),
        SgPixelFormat::Palettized(),
    };
    for (const SgPixelFormat& target : targets) {
        uint32_t pitch = raw.Width() * (target.bitsPerPixel / 8);
        std::vector<uint8_t> out(static_cast<size_t>(pitch) * raw.Height() + 1);
        raw.ConvertFormat(target, pitch, out.data());
    }
    if (raw.Width() >= 2 && raw.Height() >= 2) {
        SgRef<SgRawImageData> half(new SgRawImageData);
        uint32_t format = raw.Format() == SgRawImageData::kPalettized ? SgRawImageData::kRgb : raw.Format();
        if (half->ResizeRawImage(format, raw.Width() / 2, raw.Height() / 2) && raw.Width() % 2 == 0 &&
            raw.Height() % 2 == 0 && !half->MakeHalfSize(&raw) && raw.Format() <= SgRawImageData::kRgba)
            __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using Reader = bool (*)(const uint8_t*, size_t, SgRawImageData&);
    for (Reader read : {ReadBmpImage, ReadTgaImage, ReadSgiImage, ReadSgfImage}) {
        SgRef<SgRawImageData> raw(new SgRawImageData);
        if (read(data, size, *raw))
            Exercise(*raw);
    }
    // A loaded sgf file may hold actions, which join the process's list.
    SgAction::ClearList();
    return 0;
}
