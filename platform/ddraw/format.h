#pragma once
// Pixel formats inside our DirectDraw: a DDPIXELFORMAT taken apart once into what reading and
// writing a pixel needs.

#include <cstdint>

#include "platform/ddraw/ddraw.h"

namespace platform::dd {

enum class PixelKind : uint8_t { Unknown, Palette8, Rgb, Depth };

struct Channel {
    uint32_t mask = 0;
    uint8_t shift = 0;
    uint8_t bits = 0;
};

struct FormatInfo {
    PixelKind kind = PixelKind::Unknown;
    uint8_t bytes = 0;  // per pixel: 1, 2, 3 or 4
    Channel r, g, b, a;
    Channel depth;      // Depth formats: the depth bits
    bool hasAlpha = false;

    static FormatInfo From(const DDPIXELFORMAT& format);
    bool Valid() const { return kind != PixelKind::Unknown; }
    bool SameLayout(const FormatInfo& other) const;

    // A raw pixel of this format to 0xAARRGGBB; palettised pixels go through the palette (null:
    // grey levels). Formats without alpha give alpha 255.
    uint32_t ToArgb(uint32_t raw, const PALETTEENTRY* palette) const;
    // 0xAARRGGBB to a raw pixel (channels truncated to their width).
    uint32_t FromArgb(uint32_t argb) const;
    // A depth in 0..1 to the raw value of a Depth format (truncated), and back.
    uint32_t FromDepth(float z) const;
    float ToDepth(uint32_t raw) const;
};

// Reads or writes one raw pixel of 1 to 4 bytes.
inline uint32_t LoadPixel(const uint8_t* p, int bytes) {
    switch (bytes) {
    case 1: return p[0];
    case 2: return static_cast<uint32_t>(p[0] | (p[1] << 8));
    case 3: return static_cast<uint32_t>(p[0] | (p[1] << 8) | (p[2] << 16));
    default: return static_cast<uint32_t>(p[0] | (p[1] << 8) | (p[2] << 16)) | (static_cast<uint32_t>(p[3]) << 24);
    }
}

inline void StorePixel(uint8_t* p, int bytes, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    if (bytes > 1)
        p[1] = static_cast<uint8_t>(v >> 8);
    if (bytes > 2)
        p[2] = static_cast<uint8_t>(v >> 16);
    if (bytes > 3)
        p[3] = static_cast<uint8_t>(v >> 24);
}

// An n-bit channel value widened to 8 bits by repeating its bits (so full scale stays 255).
uint32_t WidenChannel(uint32_t value, int bits);

bool SameFormat(const DDPIXELFORMAT& a, const DDPIXELFORMAT& b);
DDPIXELFORMAT MakeRgbFormat(DWORD bits, DWORD r, DWORD g, DWORD b, DWORD a);
DDPIXELFORMAT MakeDepthFormat(DWORD bits, DWORD depthMask, DWORD stencilBits, DWORD stencilMask);
// The format of surfaces made without one at a display depth.
DDPIXELFORMAT DisplayFormat(DWORD bitsPerPixel, bool sixteenBitIs555);

}  // namespace platform::dd
