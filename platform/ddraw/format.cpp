#include "platform/ddraw/format.h"

#include <bit>
#include <cmath>
#include <cstring>

#include "platform/ddraw/control.h"

namespace platform::dd {

namespace {

Channel MakeChannel(uint32_t mask) {
    Channel c;
    c.mask = mask;
    if (mask == 0)
        return c;
    c.shift = static_cast<uint8_t>(std::countr_zero(mask));
    c.bits = static_cast<uint8_t>(std::countr_one(mask >> c.shift));
    return c;
}

uint32_t Extract(uint32_t raw, const Channel& c) { return (raw & c.mask) >> c.shift; }

uint32_t Insert(uint32_t value8, const Channel& c) {
    if (c.bits == 0)
        return 0;
    uint32_t v = c.bits >= 8 ? value8 << (c.bits - 8) : value8 >> (8 - c.bits);
    return (v << c.shift) & c.mask;
}

}  // namespace

uint32_t WidenChannel(uint32_t value, int bits) {
    if (bits <= 0)
        return 0;
    if (bits >= 8)
        return value >> (bits - 8);
    uint32_t out = 0;
    int filled = 0;
    while (filled < 8) {
        out = (out << bits) | value;
        filled += bits;
    }
    return out >> (filled - 8);
}

FormatInfo FormatInfo::From(const DDPIXELFORMAT& f) {
    FormatInfo info;
    if (f.dwFlags & DDPF_ZBUFFER) {
        info.kind = PixelKind::Depth;
        info.bytes = static_cast<uint8_t>((f.dwZBufferBitDepth + 7) / 8);
        info.depth = MakeChannel(f.dwZBitMask ? f.dwZBitMask
                                              : (f.dwZBufferBitDepth >= 32 ? 0xFFFFFFFFu
                                                                           : (1u << f.dwZBufferBitDepth) - 1));
        if (info.bytes < 1 || info.bytes > 4)
            info.kind = PixelKind::Unknown;
        return info;
    }
    if (f.dwFlags & DDPF_PALETTEINDEXED8) {
        info.kind = PixelKind::Palette8;
        info.bytes = 1;
        return info;
    }
    if (f.dwFlags & DDPF_RGB) {
        if (f.dwRGBBitCount != 16 && f.dwRGBBitCount != 24 && f.dwRGBBitCount != 32 && f.dwRGBBitCount != 8)
            return info;
        info.kind = PixelKind::Rgb;
        info.bytes = static_cast<uint8_t>(f.dwRGBBitCount / 8);
        info.r = MakeChannel(f.dwRBitMask);
        info.g = MakeChannel(f.dwGBitMask);
        info.b = MakeChannel(f.dwBBitMask);
        if (f.dwFlags & DDPF_ALPHAPIXELS) {
            info.a = MakeChannel(f.dwRGBAlphaBitMask);
            info.hasAlpha = info.a.bits != 0;
        }
    }
    return info;
}

bool FormatInfo::SameLayout(const FormatInfo& o) const {
    if (kind != o.kind || bytes != o.bytes)
        return false;
    if (kind == PixelKind::Depth)
        return depth.mask == o.depth.mask;
    return r.mask == o.r.mask && g.mask == o.g.mask && b.mask == o.b.mask && a.mask == o.a.mask;
}

uint32_t FormatInfo::ToArgb(uint32_t raw, const PALETTEENTRY* palette) const {
    switch (kind) {
    case PixelKind::Palette8: {
        uint32_t i = raw & 0xFF;
        if (!palette)
            return 0xFF000000u | (i << 16) | (i << 8) | i;
        const PALETTEENTRY& e = palette[i];
        return 0xFF000000u | (uint32_t(e.peRed) << 16) | (uint32_t(e.peGreen) << 8) | e.peBlue;
    }
    case PixelKind::Rgb: {
        uint32_t r8 = WidenChannel(Extract(raw, r), r.bits);
        uint32_t g8 = WidenChannel(Extract(raw, g), g.bits);
        uint32_t b8 = WidenChannel(Extract(raw, b), b.bits);
        uint32_t a8 = hasAlpha ? WidenChannel(Extract(raw, a), a.bits) : 255;
        return (a8 << 24) | (r8 << 16) | (g8 << 8) | b8;
    }
    default: return 0;
    }
}

uint32_t FormatInfo::FromArgb(uint32_t argb) const {
    if (kind != PixelKind::Rgb)
        return 0;
    uint32_t v = Insert((argb >> 16) & 0xFF, r) | Insert((argb >> 8) & 0xFF, g) | Insert(argb & 0xFF, b);
    if (hasAlpha)
        v |= Insert(argb >> 24, a);
    return v;
}

uint32_t FormatInfo::FromDepth(float z) const {
    if (!(z > 0.0f))
        return 0;
    if (z >= 1.0f)
        return depth.mask;
    double maxValue = static_cast<double>(depth.mask >> depth.shift);
    auto v = static_cast<uint32_t>(static_cast<double>(z) * maxValue);
    return (v << depth.shift) & depth.mask;
}

float FormatInfo::ToDepth(uint32_t raw) const {
    double maxValue = static_cast<double>(depth.mask >> depth.shift);
    if (maxValue <= 0)
        return 0;
    return static_cast<float>(static_cast<double>((raw & depth.mask) >> depth.shift) / maxValue);
}

bool SameFormat(const DDPIXELFORMAT& a, const DDPIXELFORMAT& b) {
    return FormatInfo::From(a).SameLayout(FormatInfo::From(b));
}

DDPIXELFORMAT MakeRgbFormat(DWORD bits, DWORD r, DWORD g, DWORD b, DWORD a) {
    DDPIXELFORMAT f{};
    f.dwSize = sizeof(DDPIXELFORMAT);
    f.dwFlags = DDPF_RGB | (a ? DDPF_ALPHAPIXELS : 0);
    f.dwRGBBitCount = bits;
    f.dwRBitMask = r;
    f.dwGBitMask = g;
    f.dwBBitMask = b;
    f.dwRGBAlphaBitMask = a;
    return f;
}

DDPIXELFORMAT MakeDepthFormat(DWORD bits, DWORD depthMask, DWORD stencilBits, DWORD stencilMask) {
    DDPIXELFORMAT f{};
    f.dwSize = sizeof(DDPIXELFORMAT);
    f.dwFlags = DDPF_ZBUFFER | (stencilBits ? DDPF_STENCILBUFFER : 0);
    f.dwZBufferBitDepth = bits;
    f.dwStencilBitDepth = stencilBits;
    f.dwZBitMask = depthMask;
    f.dwStencilBitMask = stencilMask;
    return f;
}

DDPIXELFORMAT DisplayFormat(DWORD bitsPerPixel, bool sixteenBitIs555) {
    switch (bitsPerPixel) {
    case 8: return FormatPalette8();
    case 16: return sixteenBitIs555 ? FormatRgb555() : FormatRgb565();
    case 24: return FormatRgb888();
    default: return FormatXrgb8888();
    }
}

DDPIXELFORMAT FormatRgb565() { return MakeRgbFormat(16, 0xF800, 0x07E0, 0x001F, 0); }
DDPIXELFORMAT FormatRgb555() { return MakeRgbFormat(16, 0x7C00, 0x03E0, 0x001F, 0); }
DDPIXELFORMAT FormatXrgb8888() { return MakeRgbFormat(32, 0xFF0000, 0xFF00, 0xFF, 0); }
DDPIXELFORMAT FormatArgb1555() { return MakeRgbFormat(16, 0x7C00, 0x03E0, 0x001F, 0x8000); }
DDPIXELFORMAT FormatArgb4444() { return MakeRgbFormat(16, 0x0F00, 0x00F0, 0x000F, 0xF000); }
DDPIXELFORMAT FormatArgb8888() { return MakeRgbFormat(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u); }
DDPIXELFORMAT FormatRgb888() { return MakeRgbFormat(24, 0xFF0000, 0xFF00, 0xFF, 0); }

DDPIXELFORMAT FormatPalette8() {
    DDPIXELFORMAT f{};
    f.dwSize = sizeof(DDPIXELFORMAT);
    f.dwFlags = DDPF_RGB | DDPF_PALETTEINDEXED8;
    f.dwRGBBitCount = 8;
    return f;
}

DDPIXELFORMAT FormatZ16() { return MakeDepthFormat(16, 0xFFFF, 0, 0); }
DDPIXELFORMAT FormatZ24S8() { return MakeDepthFormat(32, 0xFFFFFF00u, 8, 0xFF); }
DDPIXELFORMAT FormatZ32() { return MakeDepthFormat(32, 0xFFFFFFFFu, 0, 0); }

}  // namespace platform::dd
