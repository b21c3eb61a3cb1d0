#include "engine/core/sg_raw_image.h"

#include <cstring>
#include <new>

#include "engine/core/sg_registry.h"
#include "engine/core/sg_stream.h"

namespace {

// Trailing zero bits of a mask, then the length of the run of ones that follows.
void DescribeMask(uint32_t mask, uint8_t& bits, uint8_t& loss, uint8_t& shift) {
    bits = 0;
    shift = 0;
    loss = 8;
    if (mask == 0)
        return;
    while (shift < 32 && !(mask & (1u << shift)))
        ++shift;
    uint32_t bit = shift;
    while (bit < 32 && (mask & (1u << bit))) {
        ++bits;
        ++bit;
    }
    loss = bits >= 8 ? 0 : static_cast<uint8_t>(8 - bits);
}

uint32_t BytesPerPixelOf(uint32_t format) {
    switch (format) {
    case SgRawImageData::kPalettized:
        return 1;
    case SgRawImageData::kRgb:
        return 3;
    case SgRawImageData::kRgba:
        return 4;
    default:
        return 0;
    }
}

// One 8-bit channel value into its place in a packed pixel.
uint32_t PlaceChannel(const SgPixelFormat& f, int channel, uint32_t value) {
    uint32_t loss = f.loss[channel], shift = f.shift[channel];
    if (loss >= 32 || shift >= 32)
        return 0;
    return ((value >> loss) << shift) & f.mask[channel];
}

uint32_t PackPixel(const SgPixelFormat& f, const uint8_t rgba[4]) {
    return PlaceChannel(f, SgPixelFormat::kRed, rgba[0]) | PlaceChannel(f, SgPixelFormat::kGreen, rgba[1]) |
           PlaceChannel(f, SgPixelFormat::kBlue, rgba[2]) | PlaceChannel(f, SgPixelFormat::kAlpha, rgba[3]);
}

void StoreLE(uint8_t* out, uint32_t value, uint32_t bytes) {
    for (uint32_t i = 0; i < bytes; ++i)
        out[i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace

SgPixelFormat SgPixelFormat::FromMasks(uint8_t bitsPerPixel, uint32_t red, uint32_t green, uint32_t blue,
                                       uint32_t alpha) {
    SgPixelFormat f;
    f.bitsPerPixel = bitsPerPixel;
    const uint32_t masks[4] = {red, green, blue, alpha};
    for (int c = 0; c < 4; ++c) {
        f.mask[c] = masks[c];
        DescribeMask(masks[c], f.bits[c], f.loss[c], f.shift[c]);
    }
    return f;
}

SgPixelFormat SgPixelFormat::Palettized() {
    SgPixelFormat f;
    f.palettized = 1;
    f.bitsPerPixel = 8;
    return f;
}

constinit SgTypeRecord SgRawImageData::typeRecord{"SgRawImageData", &SgObject::typeRecord};

int SgRawImageData::Register() { return SgClassRegistry::Register(typeRecord, SgCreateObject<SgRawImageData>); }

const SgTypeRecord* SgRawImageData::GetTypeRecord() const { return &typeRecord; }

const SgPixelFormat* SgRawImageData::LayoutOf(uint32_t format) {
    static const SgPixelFormat palettized = SgPixelFormat::Palettized();
    static const SgPixelFormat rgb = SgPixelFormat::FromMasks(24, 0x000000FF, 0x0000FF00, 0x00FF0000, 0);
    static const SgPixelFormat rgba = SgPixelFormat::FromMasks(32, 0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000);
    switch (format) {
    case kPalettized:
        return &palettized;
    case kRgb:
        return &rgb;
    case kRgba:
        return &rgba;
    default:
        return nullptr;
    }
}

uint64_t SgRawImageData::PixelBytesFor(uint32_t format, uint32_t width, uint32_t height) {
    uint64_t pixels = static_cast<uint64_t>(width) * height;  // at most (2^32 - 1)^2: no overflow
    if (pixels > (1ull << 60))
        return UINT64_MAX;
    return pixels * BytesPerPixelOf(format);
}

bool SgRawImageData::ResizeRawImage(uint32_t newFormat, uint32_t newWidth, uint32_t newHeight) {
    if (newFormat == format_ && newWidth == width_ && newHeight == height_)
        return true;
    palette_.reset();
    pixels_.reset();
    format_ = newFormat;
    width_ = height_ = bytesPerPixel_ = bytesPerRow_ = 0;

    // Sizes come from files: refuse what no texture needs instead of trying to allocate it, and
    // keep even a format without buffers to sizes a device copy could be made for.
    if (newWidth > kMaxSide || newHeight > kMaxSide)
        return false;
    uint32_t bpp = BytesPerPixelOf(newFormat);
    if (bpp == 0) {
        width_ = newWidth;
        height_ = newHeight;
        return true;
    }
    uint64_t bytes = PixelBytesFor(newFormat, newWidth, newHeight);
    if (bytes > kMaxPixelBytes)
        return false;
    if (newFormat == kPalettized) {
        palette_.reset(new (std::nothrow) uint8_t[kPaletteBytes]());
        if (!palette_)
            return false;
    }
    // Cleared, so nothing of earlier memory can reach a file or a texture.
    pixels_.reset(new (std::nothrow) uint8_t[bytes ? bytes : 1]());
    if (!pixels_) {
        palette_.reset();
        return false;
    }
    bytesPerPixel_ = bpp;
    bytesPerRow_ = newWidth * bpp;
    width_ = newWidth;
    height_ = newHeight;
    return true;
}

bool SgRawImageData::CopyFrom(const SgRawImageData& other) {
    if (&other == this)
        return true;
    if (!ResizeRawImage(other.format_, other.width_, other.height_))
        return false;
    if (palette_ && other.palette_)
        std::memcpy(palette_.get(), other.palette_.get(), kPaletteBytes);
    if (pixels_ && other.pixels_)
        std::memcpy(pixels_.get(), other.pixels_.get(), static_cast<size_t>(bytesPerRow_) * height_);
    return true;
}

// ---- Half size ----

bool SgRawImageData::MakeHalfSize(const SgRawImageData* source) {
    if (!source)
        return false;
    if (source->format_ == kPalettized ? format_ != kRgb : source->format_ != format_)
        return false;
    if (source->width_ != 2ull * width_ || source->height_ != 2ull * height_)
        return false;
    uint32_t channels = source->format_ == kPalettized ? 3 : BytesPerPixelOf(source->format_);
    if (channels == 0)
        return true;  // a format without pixels: nothing to write
    if (!pixels_ || !source->pixels_ || (source->format_ == kPalettized && !source->palette_))
        return false;

    const uint8_t* palette = source->palette_.get();
    uint32_t sourceStep = source->bytesPerPixel_;
    for (uint32_t y = 0; y < height_; ++y) {
        const uint8_t* top = source->Row(2 * y);
        const uint8_t* bottom = source->Row(2 * y + 1);
        uint8_t* out = Row(y);
        for (uint32_t x = 0; x < width_; ++x) {
            const uint8_t* corners[4] = {top + 2 * x * sourceStep, top + (2 * x + 1) * sourceStep,
                                         bottom + 2 * x * sourceStep, bottom + (2 * x + 1) * sourceStep};
            if (palette)
                for (const uint8_t*& c : corners)
                    c = palette + 4 * *c;
            for (uint32_t ch = 0; ch < channels; ++ch) {
                uint32_t sum = corners[0][ch] + corners[1][ch] + corners[2][ch] + corners[3][ch];
                out[ch] = static_cast<uint8_t>(sum >> 2);
            }
            out += bytesPerPixel_;
        }
    }
    return true;
}

// ---- Conversion ----

bool SgRawImageData::ConvertFormat(const SgPixelFormat& target, uint32_t targetBytesPerRow,
                                   uint8_t* targetPixels) const {
    uint32_t bpp = target.bitsPerPixel;
    if (bpp < 8 || bpp > 32)
        return true;  // no layout of that size exists; nothing to write
    if (BytesPerPixelOf(format_) == 0 || !targetPixels)
        return false;
    if (!pixels_ || (format_ == kPalettized && !palette_))
        return width_ == 0 || height_ == 0;

    if (bpp == 8) {
        if (format_ != kPalettized || !target.palettized)
            return false;
        for (uint32_t y = 0; y < height_; ++y)
            std::memcpy(targetPixels + static_cast<size_t>(y) * targetBytesPerRow, Row(y), width_);
        return true;
    }

    // The colour of pixel x of a row as red, green, blue, alpha.
    auto colorAt = [&](const uint8_t* row, uint32_t x, uint8_t rgba[4]) {
        const uint8_t* p = format_ == kPalettized ? palette_.get() + 4 * row[x] : row + x * bytesPerPixel_;
        rgba[0] = p[0];
        rgba[1] = p[1];
        rgba[2] = p[2];
        rgba[3] = format_ == kRgba ? p[3] : 255;
    };

    if (bpp == 16 || bpp == 32) {
        uint32_t outBytes = bpp / 8;
        uint32_t table[256];
        if (format_ == kPalettized) {
            for (uint32_t i = 0; i < 256; ++i) {
                const uint8_t* e = palette_.get() + 4 * i;
                const uint8_t rgba[4] = {e[0], e[1], e[2], 255};
                table[i] = PackPixel(target, rgba);
            }
        }
        for (uint32_t y = 0; y < height_; ++y) {
            const uint8_t* row = Row(y);
            uint8_t* out = targetPixels + static_cast<size_t>(y) * targetBytesPerRow;
            for (uint32_t x = 0; x < width_; ++x, out += outBytes) {
                uint32_t value;
                if (format_ == kPalettized) {
                    value = table[row[x]];
                } else {
                    uint8_t rgba[4];
                    colorAt(row, x, rgba);
                    value = PackPixel(target, rgba);
                }
                StoreLE(out, value, outBytes);
            }
        }
        return true;
    }

    if (bpp == 24) {
        if (target.mask[SgPixelFormat::kGreen] != 0x0000FF00)
            return false;
        bool redFirst;
        if (target.mask[SgPixelFormat::kRed] == 0x000000FF)
            redFirst = true;
        else if (target.mask[SgPixelFormat::kRed] == 0x00FF0000)
            redFirst = false;
        else
            return false;
        for (uint32_t y = 0; y < height_; ++y) {
            const uint8_t* row = Row(y);
            uint8_t* out = targetPixels + static_cast<size_t>(y) * targetBytesPerRow;
            for (uint32_t x = 0; x < width_; ++x, out += 3) {
                uint8_t rgba[4];
                colorAt(row, x, rgba);
                out[0] = redFirst ? rgba[0] : rgba[2];
                out[1] = rgba[1];
                out[2] = redFirst ? rgba[2] : rgba[0];
            }
        }
        return true;
    }
    return false;  // 9 to 15, 17 to 23 and 25 to 31 bits: no such layout
}

// ---- Stream ----

bool SgRawImageData::LoadFromStream(SgSceneStream& s) {
    if (!SgObject::LoadFromStream(s))
        return false;
    uint32_t width = s.ReadU32();
    uint32_t height = s.ReadU32();
    uint32_t format = s.ReadU32();
    if (!s.ReadOk())
        return false;
    // The bytes must be in the file before anything is allocated for them.
    uint64_t bytes = PixelBytesFor(format, width, height);
    uint64_t need = bytes + (format == kPalettized ? kPaletteBytes : 0);
    if (bytes == UINT64_MAX || !s.CheckCount(1, need))
        return false;
    // A fresh object holds the default format: make sure the buffers are made for this one.
    if (!ResizeRawImage(format, width, height))
        return false;
    if (palette_)
        s.ReadBytes(palette_.get(), kPaletteBytes);
    if (pixels_)
        s.ReadBytes(pixels_.get(), static_cast<size_t>(bytesPerRow_) * height_);
    return s.ReadOk();
}

void SgRawImageData::SaveToStream(SgSceneStream& s) const {
    SgObject::SaveToStream(s);
    s.WriteU32(width_);
    s.WriteU32(height_);
    s.WriteU32(format_);
    if (format_ == kPalettized && palette_)
        s.WriteBytes(palette_.get(), kPaletteBytes);
    if (pixels_)
        s.WriteBytes(pixels_.get(), static_cast<size_t>(bytesPerRow_) * height_);
}

bool SgRawImageData::IsEqualTo(const SgObject* other) const {
    const SgRawImageData* o = SgKindCast<SgRawImageData>(other);
    if (!o || !SgObject::IsEqualTo(o))
        return false;
    if (o->width_ != width_ || o->height_ != height_ || o->format_ != format_)
        return false;
    if (format_ == kPalettized) {
        if (!palette_ || !o->palette_) {
            if (palette_ || o->palette_)
                return false;
        } else if (std::memcmp(palette_.get(), o->palette_.get(), kPaletteBytes) != 0) {
            return false;
        }
    }
    if (!pixels_ || !o->pixels_)
        return !pixels_ && !o->pixels_;
    return std::memcmp(pixels_.get(), o->pixels_.get(), static_cast<size_t>(bytesPerRow_) * height_) == 0;
}
