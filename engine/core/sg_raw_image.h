#pragma once
// Pixels in memory: SgRawImageData holds an image in one of three layouts (palettised, RGB,
// RGBA), halves it for mip levels and converts it into any device layout an SgPixelFormat
// describes (5-6-5, 5-5-5, 24- and 32-bit ...).

#include <cstddef>
#include <cstdint>
#include <memory>

#include "engine/core/sg_object.h"

struct DDPIXELFORMAT;

// A pixel layout. Channel arrays are indexed red, green, blue, alpha. loss is how many low bits of
// an 8-bit channel value the layout drops; shift is where the channel starts in the pixel.
struct SgPixelFormat {
    enum Channel { kRed = 0, kGreen = 1, kBlue = 2, kAlpha = 3 };

    uint8_t palettized = 0;
    uint8_t bitsPerPixel = 0;
    uint32_t mask[4] = {};
    uint8_t bits[4] = {};
    uint8_t loss[4] = {8, 8, 8, 8};
    uint8_t shift[4] = {};
    // The renderer's texture format kind (7: none); 0 in the raw layouts.
    int32_t kind = 0;

    // A non-palettised layout from its channel masks (an empty mask: 0 bits, loss 8, shift 0).
    static SgPixelFormat FromMasks(uint8_t bitsPerPixel, uint32_t red, uint32_t green, uint32_t blue,
                                   uint32_t alpha);
    // An 8-bit palettised layout.
    static SgPixelFormat Palettized();
    // The layout of a DirectDraw surface (defined with the renderer, which knows DirectDraw).
    static SgPixelFormat FromDDPixelFormat(const DDPIXELFORMAT& format);
};

class SgRawImageData : public SgObject {
public:
    enum Format : uint32_t { kPalettized = 0, kRgb = 1, kRgba = 2 };
    static constexpr size_t kPaletteBytes = 1024;
    // What a file may ask for: each side at most 16384 pixels and the pixels at most 64 MiB.
    static constexpr uint32_t kMaxSide = 16384;
    static constexpr uint64_t kMaxPixelBytes = 64ull << 20;

    static SgTypeRecord typeRecord;
    static int Register();
    // The constant layout of raw format 0, 1 or 2 (null for any other number).
    static const SgPixelFormat* LayoutOf(uint32_t format);

    SgRawImageData() = default;

    const SgTypeRecord* GetTypeRecord() const override;
    // Width, height, format; the palette for format 0; the pixels.
    bool LoadFromStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;
    bool IsEqualTo(const SgObject* other) const override;

    // Sizes the buffers for a format and size (nothing changes, pixels included, when all three
    // are the same); new buffers are all zero. False when the buffers cannot be had (too large or
    // out of memory): the image then keeps the format with size 0 and no buffers. A format other
    // than 0, 1 and 2 stores the size (within the same side limit) and holds no buffers.
    bool ResizeRawImage(uint32_t newFormat, uint32_t newWidth, uint32_t newHeight);
    // The bytes the pixels of a format and size take, or 0 for a format without buffers.
    static uint64_t PixelBytesFor(uint32_t format, uint32_t width, uint32_t height);

    // Fills this image (already sized to half the source) with the source's 2x2 averages; a
    // palettised source gives RGB. False when the source is missing or the formats or sizes do
    // not fit together.
    bool MakeHalfSize(const SgRawImageData* source);
    // Writes the pixels in the target layout, rows targetBytesPerRow apart; the caller's buffer
    // holds height rows. False when the layouts cannot be converted.
    bool ConvertFormat(const SgPixelFormat& target, uint32_t targetBytesPerRow, uint8_t* targetPixels) const;
    // Makes this image a copy of another (format, size, palette and pixels).
    bool CopyFrom(const SgRawImageData& other);

    uint32_t Format() const { return format_; }
    uint32_t Width() const { return width_; }
    uint32_t Height() const { return height_; }
    uint32_t BytesPerPixel() const { return bytesPerPixel_; }
    uint32_t BytesPerRow() const { return bytesPerRow_; }
    uint8_t* Palette() { return palette_.get(); }
    const uint8_t* Palette() const { return palette_.get(); }
    uint8_t* Pixels() { return pixels_.get(); }
    const uint8_t* Pixels() const { return pixels_.get(); }
    uint8_t* Row(uint32_t y) { return pixels_.get() + static_cast<size_t>(y) * bytesPerRow_; }
    const uint8_t* Row(uint32_t y) const { return pixels_.get() + static_cast<size_t>(y) * bytesPerRow_; }

protected:
    ~SgRawImageData() override = default;

private:
    uint32_t format_ = kRgb;
    uint32_t width_ = 0;
    uint32_t height_ = 0;
    uint32_t bytesPerPixel_ = 3;
    uint32_t bytesPerRow_ = 0;
    std::unique_ptr<uint8_t[]> palette_;
    std::unique_ptr<uint8_t[]> pixels_;
};
