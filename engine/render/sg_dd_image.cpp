#include "engine/render/sg_dd_image.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "engine/render/sg_d3d_render.h"

namespace {

std::vector<SgDDImage*>& ImageList() {
    // Never destroyed: images held by statics may go after it would have.
    static auto* list = new std::vector<SgDDImage*>;
    return *list;
}

IDirectDraw4* g_directDraw = nullptr;
SgRef<SgPalette>& GlobalPaletteRef() {
    static auto* palette = new SgRef<SgPalette>;
    return *palette;
}

}  // namespace

// ---- SgPixelFormat ----

SgPixelFormat SgPixelFormat::FromDDPixelFormat(const DDPIXELFORMAT& f) {
    if (f.dwFlags & DDPF_PALETTEINDEXED8)
        return Palettized();
    return FromMasks(static_cast<uint8_t>(f.dwRGBBitCount), f.dwRBitMask, f.dwGBitMask, f.dwBBitMask,
                     (f.dwFlags & DDPF_ALPHAPIXELS) ? f.dwRGBAlphaBitMask : 0);
}

bool SgFormatsMatch(const SgPixelFormat& a, const SgPixelFormat& b) {
    if (a.palettized || b.palettized)
        return a.palettized && b.palettized;
    for (int i = 0; i < 4; ++i)
        if (a.mask[i] != b.mask[i])
            return false;
    return true;
}

// ---- SgPalette ----

constinit SgTypeRecord SgPalette::typeRecord{"SgPalette", &SgObject::typeRecord};

SgPalette::SgPalette(const PALETTEENTRY* entries) {
    if (!entries)
        return;
    entries_ = new (std::nothrow) PALETTEENTRY[256];
    if (entries_)
        std::memcpy(entries_, entries, 256 * sizeof(PALETTEENTRY));
}

SgPalette::~SgPalette() {
    delete[] entries_;
    if (palette_)
        palette_->Release();
}

const SgTypeRecord* SgPalette::GetTypeRecord() const { return &typeRecord; }

IDirectDrawPalette* SgPalette::GetDirectDrawPalette() {
    if (!palette_) {
        IDirectDraw4* dd = SgDDImage::DirectDraw();
        if (!dd || !entries_)
            return nullptr;
        if (FAILED(dd->CreatePalette(DDPCAPS_8BIT | DDPCAPS_INITIALIZE | DDPCAPS_ALLOW256, entries_, &palette_,
                                     nullptr)))
            palette_ = nullptr;
        if (!palette_)
            return nullptr;
    }
    palette_->AddRef();
    return palette_;
}

// ---- SgDDImage ----

constinit SgTypeRecord SgDDImage::typeRecord{"SgDDImage", &SgImage::typeRecord};
constinit SgTypeRecord SgDDBufferImage::typeRecord{"SgDDBufferImage", &SgDDImage::typeRecord};

SgDDImage::SgDDImage() { ImageList().push_back(this); }

SgDDImage::~SgDDImage() {
    ReleaseSurfaces();
    auto& list = ImageList();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

const SgTypeRecord* SgDDImage::GetTypeRecord() const { return &typeRecord; }
const SgTypeRecord* SgDDBufferImage::GetTypeRecord() const { return &typeRecord; }

SgImage* SgDDImage::CreateImage() { return new (std::nothrow) SgDDImage; }

void SgDDImage::MarkDirty() {
    for (SurfaceRecord& r : surfaces_)
        r.refill = 1;
}

// Surfaces are made when the image is first drawn or blitted.
bool SgDDImage::PrepareForListener(SgRender*, uint32_t) { return true; }

bool SgDDImage::Realize(SgD3DRender* renderer, uint32_t mode, IDirectDrawSurface4** surface) {
    if (surface)
        *surface = nullptr;
    if (!renderer)
        renderer = SgD3DRender::Current();
    if (!renderer) {
        SetLastError(kErrorNoRenderer);
        return false;
    }
    if (mode != 1) {
        SetLastError(mode == 0 ? kErrorNoSurface : kErrorBadRealizeMode);
        return false;
    }
    const SgPixelFormat* frame = renderer->FrameFormat();
    if (!frame) {
        SetLastError(kErrorNoSurface);
        return false;
    }
    for (const SurfaceRecord& r : surfaces_) {
        if (r.surface && SgFormatsMatch(r.format, *frame)) {
            if (surface)
                *surface = r.surface;
            return true;
        }
    }
    SetLastError(kErrorNoSurface);
    return false;
}

bool SgDDImage::ReleaseSurfaces() {
    for (SurfaceRecord& r : surfaces_)
        if (r.surface)
            r.surface->Release();
    surfaces_.clear();
    flags &= static_cast<uint8_t>(~kHasSurface);
    return true;
}

IDirectDrawSurface4* SgDDImage::FirstSurface() const { return surfaces_.empty() ? nullptr : surfaces_[0].surface; }

void SgDDImage::SetDirectDraw(IDirectDraw4* directDraw) {
    if (directDraw == g_directDraw)
        return;
    if (directDraw)
        directDraw->AddRef();
    if (g_directDraw)
        g_directDraw->Release();
    g_directDraw = directDraw;
}

bool SgDDImage::GetDirectDraw(IDirectDraw4** directDraw) {
    if (directDraw)
        *directDraw = g_directDraw;
    return g_directDraw != nullptr;
}

IDirectDraw4* SgDDImage::DirectDraw() { return g_directDraw; }

SgPalette* SgDDImage::GlobalPalette() { return GlobalPaletteRef().Get(); }

void SgDDImage::SetGlobalPalette(SgPalette* palette) { GlobalPaletteRef() = palette; }

bool SgDDImage::VisitAll() {
    // Releasing may end images; walk a copy.
    std::vector<SgDDImage*> images = ImageList();
    for (SgDDImage* image : images)
        if (!image->ReleaseSurfaces())
            return false;
    return true;
}

uint32_t SgDDImage::LiveImageCount() { return static_cast<uint32_t>(ImageList().size()); }

// ---- SgDDBufferImage ----

SgRef<SgDDBufferImage> SgDDBufferImage::Create(IDirectDrawSurface4* surface) {
    if (!surface)
        return nullptr;
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof(desc);
    if (FAILED(surface->GetSurfaceDesc(&desc)))
        return nullptr;
    SgRef<SgDDBufferImage> image(new (std::nothrow) SgDDBufferImage);
    if (!image)
        return nullptr;
    SurfaceRecord r;
    r.surface = surface;
    surface->AddRef();
    r.format = SgPixelFormat::FromDDPixelFormat(desc.ddpfPixelFormat);
    image->surfaces_.push_back(r);
    image->width = desc.dwWidth;
    image->height = desc.dwHeight;
    image->mipLevelCount = 1;
    image->flags |= kHasSurface;
    return image;
}
