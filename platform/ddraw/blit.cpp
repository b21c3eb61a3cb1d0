// Blt and BltFast: colour and depth fills, copies, stretches (point sampled), mirroring, source
// and destination colour keys. Every blit is clipped to the destination surface (and its clipper)
// and to the source surface, so neither is ever touched outside its memory.

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/ddraw/objects.h"

namespace platform::dd {

namespace {

bool ValidRect(const RECT& r) { return r.left < r.right && r.top < r.bottom; }

// Rectangles from callers are refused beyond this, so the stretch arithmetic cannot overflow.
constexpr LONG kLimit = 1 << 24;
bool Bounded(const RECT& r) {
    return r.left > -kLimit && r.top > -kLimit && r.right < kLimit && r.bottom < kLimit;
}

RECT Intersect(const RECT& a, const RECT& b) {
    return RECT{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                std::min(a.bottom, b.bottom)};
}

RECT Whole(const SurfaceImpl* s) { return RECT{0, 0, static_cast<LONG>(s->Width()), static_cast<LONG>(s->Height())}; }

// The destination rectangles a blit may write: the surface, cut by its clipper's list.
std::vector<RECT> DestinationClip(const SurfaceImpl* dest) {
    std::vector<RECT> rects;
    const RECT whole = Whole(dest);
    std::vector<RECT> list;
    if (dest->Clipper() && dest->Clipper()->ClipRects(&list)) {
        for (const RECT& r : list) {
            RECT c = Intersect(r, whole);
            if (ValidRect(c))
                rects.push_back(c);
        }
    } else {
        rects.push_back(whole);
    }
    return rects;
}

struct KeyTest {
    bool on = false;
    DDCOLORKEY key{};
    bool Match(uint32_t v) const { return v >= key.dwColorSpaceLowValue && v <= key.dwColorSpaceHighValue; }
};

uint32_t PixelMask(const FormatInfo& f) { return f.bytes >= 4 ? 0xFFFFFFFFu : (1u << (8 * f.bytes)) - 1; }

void Fill(SurfaceImpl* dest, const RECT& r, uint32_t value) {
    const FormatInfo& f = dest->Info();
    value &= PixelMask(f);
    for (LONG y = r.top; y < r.bottom; ++y) {
        uint8_t* row = dest->Bits() + static_cast<ptrdiff_t>(y) * dest->Pitch();
        if (f.bytes == 2) {
            auto* p = reinterpret_cast<uint16_t*>(row) + r.left;
            std::fill(p, p + (r.right - r.left), static_cast<uint16_t>(value));
        } else if (f.bytes == 4) {
            auto* p = reinterpret_cast<uint32_t*>(row) + r.left;
            std::fill(p, p + (r.right - r.left), value);
        } else {
            for (LONG x = r.left; x < r.right; ++x)
                StorePixel(row + x * f.bytes, f.bytes, value);
        }
    }
}

// Copies dest rectangle `d` from source rectangle `s` (both as given, unclipped): each destination
// pixel takes the source pixel its centre maps to; pixels outside `clip` or mapping outside the
// source are left alone.
void Copy(SurfaceImpl* dest, const RECT& d, const uint8_t* srcBits, LONG srcPitch, const RECT& srcBounds,
          const FormatInfo& f, const RECT& s, const RECT& clip, const KeyTest& srcKey, const KeyTest& destKey,
          bool mirrorX, bool mirrorY) {
    const RECT area = Intersect(d, clip);
    if (!ValidRect(area))
        return;
    const int64_t dw = d.right - d.left, dh = d.bottom - d.top;
    const int64_t sw = s.right - s.left, sh = s.bottom - s.top;
    const int bytes = f.bytes;
    std::vector<LONG> columns(static_cast<size_t>(area.right - area.left));
    for (LONG x = area.left; x < area.right; ++x) {
        int64_t i = x - d.left;
        if (mirrorX)
            i = dw - 1 - i;
        // At one to one the centre maps to the same place along the row: no division.
        LONG sx = static_cast<LONG>(sw == dw ? s.left + i : s.left + (2 * i + 1) * sw / (2 * dw));
        columns[static_cast<size_t>(x - area.left)] = (sx >= srcBounds.left && sx < srcBounds.right) ? sx : -1;
    }
    const bool plain = !srcKey.on && !destKey.on && !mirrorX && sw == dw;
    // One-to-one rows copy the first run of columns that map inside the source, the same in every
    // row (at one to one the columns inside the source are one run).
    LONG runFrom = area.left, runTo = area.left;
    if (plain) {
        while (runFrom < area.right && columns[static_cast<size_t>(runFrom - area.left)] < 0)
            ++runFrom;
        runTo = runFrom;
        while (runTo < area.right && columns[static_cast<size_t>(runTo - area.left)] >= 0)
            ++runTo;
    }
    for (LONG y = area.top; y < area.bottom; ++y) {
        int64_t j = y - d.top;
        if (mirrorY)
            j = dh - 1 - j;
        const LONG sy = static_cast<LONG>(s.top + (2 * j + 1) * sh / (2 * dh));
        if (sy < srcBounds.top || sy >= srcBounds.bottom)
            continue;
        const uint8_t* srow = srcBits + static_cast<ptrdiff_t>(sy) * srcPitch;
        uint8_t* drow = dest->Bits() + static_cast<ptrdiff_t>(y) * dest->Pitch();
        if (plain) {
            if (runTo > runFrom)
                std::memmove(drow + runFrom * bytes, srow + columns[static_cast<size_t>(runFrom - area.left)] * bytes,
                             static_cast<size_t>(runTo - runFrom) * bytes);
            continue;
        }
        for (LONG x = area.left; x < area.right; ++x) {
            const LONG sx = columns[static_cast<size_t>(x - area.left)];
            if (sx < 0)
                continue;
            const uint32_t v = LoadPixel(srow + sx * bytes, bytes);
            if (srcKey.on && srcKey.Match(v))
                continue;
            uint8_t* dp = drow + x * bytes;
            if (destKey.on && !destKey.Match(LoadPixel(dp, bytes)))
                continue;
            StorePixel(dp, bytes, v);
        }
    }
}

}  // namespace

HRESULT SurfaceImpl::DoBlt(RECT* destRect, SurfaceImpl* source, RECT* sourceRect, DWORD flags, DDBLTFX* fx) {
    if (HRESULT hr = CheckUsable(); FAILED(hr))
        return hr;
    if (source)
        if (HRESULT hr = source->CheckUsable(); FAILED(hr))
            return hr;
    const bool fill = (flags & (DDBLT_COLORFILL | DDBLT_DEPTHFILL)) != 0;
    if ((flags & (DDBLT_COLORFILL | DDBLT_DEPTHFILL | DDBLT_DDFX | DDBLT_KEYSRCOVERRIDE | DDBLT_KEYDESTOVERRIDE)) &&
        (!fx || fx->dwSize != sizeof(DDBLTFX)))
        return DDERR_INVALIDPARAMS;
    if (!fill && !source)
        return DDERR_INVALIDPARAMS;
    if (HRESULT hr = Injected("Surface::Blt"); FAILED(hr))
        return hr;
    if (TakeBusy(this) || (source && TakeBusy(source)))
        return DDERR_WASSTILLDRAWING;
    if (lockCount_ > 0 || (source && source->lockCount_ > 0))
        return DDERR_SURFACEBUSY;

    const RECT d = destRect ? *destRect : Whole(this);
    if (!ValidRect(d) || !Bounded(d))
        return DDERR_INVALIDRECT;
    const std::vector<RECT> clips = DestinationClip(this);

    if (fill) {
        if ((flags & DDBLT_DEPTHFILL) && info_.kind != PixelKind::Depth)
            return DDERR_INVALIDPARAMS;
        for (const RECT& c : clips) {
            RECT r = Intersect(d, c);
            if (ValidRect(r))
                Fill(this, r, flags & DDBLT_DEPTHFILL ? fx->dwFillDepth : fx->dwFillColor);
        }
    } else {
        if (!source->info_.SameLayout(info_))
            return DDERR_INVALIDPIXELFORMAT;
        const RECT s = sourceRect ? *sourceRect : Whole(source);
        if (!ValidRect(s) || !Bounded(s))
            return DDERR_INVALIDRECT;
        KeyTest srcKey, destKey;
        if (flags & DDBLT_KEYSRCOVERRIDE) {
            srcKey.on = true;
            srcKey.key = fx->ddckSrcColorkey;
        } else if (flags & DDBLT_KEYSRC) {
            srcKey.on = source->SourceKey(&srcKey.key);
        }
        if (flags & DDBLT_KEYDESTOVERRIDE) {
            destKey.on = true;
            destKey.key = fx->ddckDestColorkey;
        } else if (flags & DDBLT_KEYDEST) {
            destKey.on = DestKey(&destKey.key);
        }
        const bool mirrorX = (flags & DDBLT_DDFX) && (fx->dwDDFX & DDBLTFX_MIRRORLEFTRIGHT);
        const bool mirrorY = (flags & DDBLT_DDFX) && (fx->dwDDFX & DDBLTFX_MIRRORUPDOWN);
        // A blit within one surface reads a copy, so overlapping rectangles come out right.
        std::vector<uint8_t> snapshot;
        const uint8_t* srcBits = source->Bits();
        if (source == this) {
            snapshot.assign(buffer_.data, buffer_.data + static_cast<size_t>(pitch_) * height_);
            srcBits = snapshot.data();
        }
        for (const RECT& c : clips)
            Copy(this, d, srcBits, source->pitch_, Whole(source), info_, s, c, srcKey, destKey, mirrorX, mirrorY);
    }
    Touch();
    if (IsPrimary())
        PresentPrimary(this);
    return DD_OK;
}

HRESULT SurfaceImpl::DoBltFast(DWORD x, DWORD y, SurfaceImpl* source, RECT* sourceRect, DWORD flags) {
    if (!source)
        return DDERR_INVALIDPARAMS;
    if (HRESULT hr = CheckUsable(); FAILED(hr))
        return hr;
    if (HRESULT hr = source->CheckUsable(); FAILED(hr))
        return hr;
    if (clipper_)
        return DDERR_BLTFASTCANTCLIP;
    if (HRESULT hr = Injected("Surface::BltFast"); FAILED(hr))
        return hr;
    if (TakeBusy(this) || TakeBusy(source))
        return DDERR_WASSTILLDRAWING;
    if (lockCount_ > 0 || source->lockCount_ > 0)
        return DDERR_SURFACEBUSY;
    if (!source->info_.SameLayout(info_))
        return DDERR_INVALIDPIXELFORMAT;
    const RECT s = sourceRect ? *sourceRect : Whole(source);
    if (!ValidRect(s) || !Bounded(s) || x >= static_cast<DWORD>(kLimit) || y >= static_cast<DWORD>(kLimit))
        return DDERR_INVALIDRECT;
    const RECT d{static_cast<LONG>(x), static_cast<LONG>(y), static_cast<LONG>(x) + (s.right - s.left),
                 static_cast<LONG>(y) + (s.bottom - s.top)};
    KeyTest srcKey, destKey;
    if (flags & DDBLTFAST_SRCCOLORKEY)
        srcKey.on = source->SourceKey(&srcKey.key);
    if (flags & DDBLTFAST_DESTCOLORKEY)
        destKey.on = DestKey(&destKey.key);
    std::vector<uint8_t> snapshot;
    const uint8_t* srcBits = source->Bits();
    if (source == this) {
        snapshot.assign(buffer_.data, buffer_.data + static_cast<size_t>(pitch_) * height_);
        srcBits = snapshot.data();
    }
    Copy(this, d, srcBits, source->pitch_, Whole(source), info_, s, Whole(this), srcKey, destKey, false, false);
    Touch();
    if (IsPrimary())
        PresentPrimary(this);
    return DD_OK;
}

HRESULT SurfaceImpl::Blt(RECT* destRect, IDirectDrawSurface4* source, RECT* sourceRect, DWORD flags, DDBLTFX* fx) {
    return DoBlt(destRect, source ? From(source) : nullptr, sourceRect, flags, fx);
}

HRESULT SurfaceImpl::Blt(RECT* destRect, IDirectDrawSurface* source, RECT* sourceRect, DWORD flags, DDBLTFX* fx) {
    return DoBlt(destRect, source ? From(source) : nullptr, sourceRect, flags, fx);
}

HRESULT SurfaceImpl::BltFast(DWORD x, DWORD y, IDirectDrawSurface4* source, RECT* sourceRect, DWORD flags) {
    return DoBltFast(x, y, source ? From(source) : nullptr, sourceRect, flags);
}

HRESULT SurfaceImpl::BltFast(DWORD x, DWORD y, IDirectDrawSurface* source, RECT* sourceRect, DWORD flags) {
    return DoBltFast(x, y, source ? From(source) : nullptr, sourceRect, flags);
}

}  // namespace platform::dd
