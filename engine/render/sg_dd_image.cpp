#include "engine/render/sg_dd_image.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "engine/render/sg_d3d_render.h"
#include "engine/render/sg_render_debug.h"
#include "engine/render/sg_texture_manager.h"

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

bool SgAttachNewPalette(IDirectDraw4* directDraw, IDirectDrawSurface4* surface, const PALETTEENTRY* entries) {
    IDirectDrawPalette* palette = nullptr;
    const bool ok = SUCCEEDED(directDraw->CreatePalette(DDPCAPS_8BIT | DDPCAPS_INITIALIZE | DDPCAPS_ALLOW256,
                                                        const_cast<PALETTEENTRY*>(entries), &palette, nullptr)) &&
                    palette && SUCCEEDED(surface->SetPalette(palette));
    if (palette)
        palette->Release();
    return ok;
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
    SgD3DRender::ReleaseImageTextures(this);
    slots_.clear();
    auto& list = ImageList();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

const SgTypeRecord* SgDDImage::GetTypeRecord() const { return &typeRecord; }
const SgTypeRecord* SgDDBufferImage::GetTypeRecord() const { return &typeRecord; }

SgImage* SgDDImage::CreateImage() { return new (std::nothrow) SgDDImage; }

void SgDDImage::MarkDirty() {
    for (SurfaceRecord& r : surfaces_)
        r.refill = 1;
    ++contentStamp;
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
    IDirectDrawSurface4* made = nullptr;
    const SgPixelFormat* format = nullptr;
    bool ok;
    if (mode == 0) {
        ok = RealizeSurface(renderer, &made, &format);
    } else if (mode == 1) {
        ok = RealizeFrameSurface(renderer, &made, &format);
    } else {
        SetLastError(kErrorBadRealizeMode);
        return false;
    }
    if (ok && surface)
        *surface = made;
    return ok;
}

bool SgDDImage::Prepare(SgD3DRender* renderer, uint32_t mode) { return Realize(renderer, mode, nullptr); }

bool SgDDImage::RealizeSurface(SgD3DRender* renderer, IDirectDrawSurface4** surface, const SgPixelFormat** format) {
    SgD3DTextureManager* manager = renderer && renderer->Driver() ? renderer->Driver()->textureManager : nullptr;
    const SgPixelFormat* wanted[SgTextureManager::kKinds] = {};
    if (manager)
        for (uint32_t k = 0; k < SgTextureManager::kKinds; ++k)
            wanted[k] = manager->Format(k);
    return RealizeFrom(renderer, wanted, SgTextureManager::kKinds, false, surface, format);
}

bool SgDDImage::RealizeFrameSurface(SgD3DRender* renderer, IDirectDrawSurface4** surface,
                                    const SgPixelFormat** format) {
    const SgPixelFormat* wanted[1] = {renderer ? renderer->FrameFormat() : nullptr};
    return RealizeFrom(renderer, wanted, 1, true, surface, format);
}

bool SgDDImage::RealizeFrom(SgD3DRender* renderer, const SgPixelFormat* const* wanted, uint32_t count,
                            bool frameMode, IDirectDrawSurface4** surface, const SgPixelFormat** format) {
    *surface = nullptr;
    *format = nullptr;
    if (std::none_of(wanted, wanted + count, [](const SgPixelFormat* f) { return f != nullptr; })) {
        SetLastError(kErrorNoSurface);
        return false;
    }
    for (uint32_t k = 0; k < count; ++k) {
        if (!wanted[k])
            continue;
        for (SurfaceRecord& r : surfaces_) {
            if (!r.surface || !SgFormatsMatch(r.format, *wanted[k]))
                continue;
            if (r.refill) {
                if (!RefillSurface(r.format, r.surface))
                    return false;
                r.refill = 0;
            }
            *surface = r.surface;
            *format = &r.format;
            return true;
        }
    }
    if (!FileName() && !RawData()) {
        SetLastError(kErrorNoSource);
        return false;
    }
    return CreateSurfaceForImage(renderer, frameMode, surface, format);
}

SgRawImageData* SgDDImage::SourceData() {
    if (!FileName())
        return RawData();
    SgRawImageData* read = FormatIfReadable(FileName());
    if (!read)
        SetLastError(kErrorFileNotRead);
    return read;
}

namespace {

DDPIXELFORMAT ToDDPixelFormat(const SgPixelFormat& f) {
    DDPIXELFORMAT p{};
    p.dwSize = sizeof(p);
    p.dwFlags = DDPF_RGB;
    if (f.palettized)
        p.dwFlags |= DDPF_PALETTEINDEXED8;
    if (f.mask[SgPixelFormat::kAlpha])
        p.dwFlags |= DDPF_ALPHAPIXELS;
    p.dwRGBBitCount = f.bitsPerPixel;
    p.dwRBitMask = f.mask[0];
    p.dwGBitMask = f.mask[1];
    p.dwBBitMask = f.mask[2];
    p.dwRGBAlphaBitMask = f.mask[3];
    return p;
}

// One level: locked whole (waiting while busy), written in the surface's layout, unlocked.
bool FillLevel(const SgRawImageData& raw, const SgPixelFormat& format, IDirectDrawSurface4* surface) {
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof(desc);
    HRESULT hr;
    do {
        hr = surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr);
    } while (hr == DDERR_SURFACEBUSY);
    if (FAILED(hr))
        return false;
    const bool converted = desc.lpSurface && desc.lPitch > 0 &&
                           raw.ConvertFormat(format, static_cast<uint32_t>(desc.lPitch),
                                             static_cast<uint8_t*>(desc.lpSurface));
    hr = surface->Unlock(nullptr);
    return converted && (SUCCEEDED(hr) || hr == DDERR_NOTLOCKED);
}

bool LevelSize(IDirectDrawSurface4* surface, uint32_t* width, uint32_t* height) {
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof(desc);
    if (FAILED(surface->GetSurfaceDesc(&desc)))
        return false;
    *width = desc.dwWidth;
    *height = desc.dwHeight;
    return true;
}

}  // namespace

bool SgDDImage::FillSurface(const SgRawImageData& raw, const SgPixelFormat& format, IDirectDrawSurface4* surface) {
    if (!surface) {
        SetLastError(kErrorNoSurface);
        return false;
    }
    if (raw.Width() != width || raw.Height() != height) {
        SetLastError(kErrorSizeDiffers);
        return false;
    }
    if (!FillLevel(raw, format, surface)) {
        SetLastError(kErrorDirectDrawCall);
        return false;
    }
    DDSCAPS2 caps{};
    caps.dwCaps = DDSCAPS_TEXTURE | DDSCAPS_MIPMAP;
    IDirectDrawSurface4* level = nullptr;
    if (FAILED(surface->GetAttachedSurface(&caps, &level)) || !level)
        return true;
    // Each lower level is the box-filtered half of the one above; a palettised source gives RGB.
    SgRef<SgRawImageData> previous;
    const SgRawImageData* above = &raw;
    bool ok = true;
    while (level) {
        if (above->Width() >= 2 && above->Height() >= 2) {
            SgRef<SgRawImageData> half(new (std::nothrow) SgRawImageData);
            const uint32_t halfFormat =
                above->Format() == SgRawImageData::kPalettized ? SgRawImageData::kRgb : above->Format();
            if (!half || !half->ResizeRawImage(halfFormat, above->Width() / 2, above->Height() / 2) ||
                !half->MakeHalfSize(above)) {
                SetLastError(kErrorDirectDrawCall);
                ok = false;
            } else {
                previous = half;
                above = previous.Get();
            }
        }
        // A level is filled only from a raw image of exactly its size.
        uint32_t w = 0, h = 0;
        if (ok && (!LevelSize(level, &w, &h) || w != above->Width() || h != above->Height())) {
            SetLastError(kErrorSizeDiffers);
            ok = false;
        }
        if (ok && !FillLevel(*above, format, level)) {
            SetLastError(kErrorDirectDrawCall);
            ok = false;
        }
        IDirectDrawSurface4* next = nullptr;
        if (ok && (FAILED(level->GetAttachedSurface(&caps, &next)) || !next))
            next = nullptr;
        level->Release();
        level = next;
    }
    return ok;
}

bool SgDDImage::RefillSurface(const SgPixelFormat& format, IDirectDrawSurface4* surface) {
    SgRawImageData* raw = SourceData();
    if (!raw)
        return false;
    if (raw->Width() != width || raw->Height() != height) {
        SetLastError(kErrorSizeDiffers);
        return false;
    }
    const bool rawPalettized = raw->Format() == SgRawImageData::kPalettized;
    if (format.palettized && !rawPalettized) {
        SetLastError(kErrorNotPalettized);
        return false;
    }
    if (!FillSurface(*raw, format, surface))
        return false;
    if (!format.palettized)
        return true;
    IDirectDrawPalette* palette = nullptr;
    HRESULT hr = surface->GetPalette(&palette);
    if (SUCCEEDED(hr) && palette) {
        PALETTEENTRY entries[256];
        for (int i = 0; i < 256; ++i)
            entries[i] = {raw->Palette()[4 * i], raw->Palette()[4 * i + 1], raw->Palette()[4 * i + 2], 0};
        hr = palette->SetEntries(0, 0, 256, entries);
        palette->Release();
    }
    if (FAILED(hr) || !palette) {
        SetLastError(kErrorDirectDrawCall);
        return false;
    }
    return true;
}

bool SgDDImage::CreateSurfaceForImage(SgD3DRender* renderer, bool frameMode, IDirectDrawSurface4** surface,
                                      const SgPixelFormat** format) {
    SgD3DDriver* driver = renderer->Driver();
    bool mipmaps = !frameMode && driver && (driver->info & SgD3DDriver::kInfoMipmaps) && (flags & kWantsMipmaps);
    SgRawImageData* raw = SourceData();
    if (!raw)
        return false;
    width = raw->Width();
    height = raw->Height();
    mipLevelCount = std::max(1u, MipLevelCount(width, height));

    const SgPixelFormat* chosen = nullptr;
    DWORD extraCaps = 0;
    if (frameMode) {
        chosen = renderer->FrameFormat();
    } else if (driver && driver->textureManager) {
        const bool prefer32 = (driver->info & SgD3DDriver::kInfoDeepDisplay) != 0;
        chosen = driver->textureManager->ChooseSourceFormat(raw->Format(), formatKind, mipmaps, prefer32);
        extraCaps = driver->textureManager->extraSurfaceCaps;
    }
    if (!chosen) {
        SetLastError(kErrorNoSurface);
        return false;
    }
    IDirectDraw4* dd = DirectDraw();
    if (!dd) {
        SetLastError(kErrorNoDirectDraw);
        return false;
    }
    const bool rawPalettized = raw->Format() == SgRawImageData::kPalettized;
    if (chosen->palettized && !rawPalettized) {
        SetLastError(kErrorNotPalettized);
        return false;
    }
    mipmaps = mipmaps && !chosen->palettized && mipLevelCount > 1;

    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof(desc);
    desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT;
    desc.dwWidth = width;
    desc.dwHeight = height;
    desc.ddpfPixelFormat = ToDDPixelFormat(*chosen);
    desc.ddsCaps.dwCaps = DDSCAPS_TEXTURE | DDSCAPS_SYSTEMMEMORY | extraCaps;
    if (mipmaps) {
        desc.dwFlags |= DDSD_MIPMAPCOUNT;
        desc.dwMipMapCount = mipLevelCount;
        desc.ddsCaps.dwCaps |= DDSCAPS_MIPMAP | DDSCAPS_COMPLEX;
    }
    IDirectDrawSurface4* made = nullptr;
    if (FAILED(dd->CreateSurface(&desc, &made, nullptr)) || !made) {
        SetLastError(kErrorDirectDrawCall);
        return false;
    }
    bool ok = FillSurface(*raw, *chosen, made);
    if (ok && chosen->palettized) {
        PALETTEENTRY entries[256];
        for (int i = 0; i < 256; ++i)
            entries[i] = {raw->Palette()[4 * i], raw->Palette()[4 * i + 1], raw->Palette()[4 * i + 2], 0};
        ok = SgAttachNewPalette(dd, made, entries);
        if (!ok)
            SetLastError(kErrorDirectDrawCall);
    }
    if (!ok) {
        made->Release();
        return false;
    }
    SurfaceRecord record;
    record.surface = made;
    record.format = *chosen;
    surfaces_.push_back(record);
    flags |= kHasSurface;
    *surface = made;
    *format = &surfaces_.back().format;
    return true;
}

bool SgDDImage::ReleaseSurfaces() {
    for (SurfaceRecord& r : surfaces_)
        if (r.surface)
            r.surface->Release();
    surfaces_.clear();
    flags &= static_cast<uint8_t>(~kHasSurface);
    return true;
}

SgTextureEntry* SgDDImage::TextureEntry(uint32_t key) const {
    for (const TextureSlot& s : slots_)
        if (s.key == key)
            return s.entry;
    return nullptr;
}

void SgDDImage::SetTextureEntry(uint32_t key, SgTextureEntry* entry) {
    for (TextureSlot& s : slots_)
        if (s.key == key) {
            s.entry = entry;
            return;
        }
    if (entry)
        slots_.push_back({entry, key});
}

void SgDDImage::RemoveKeyFromAll(uint32_t key) {
    for (SgDDImage* image : ImageList()) {
        auto& slots = image->slots_;
        slots.erase(std::remove_if(slots.begin(), slots.end(), [key](const TextureSlot& s) { return s.key == key; }),
                    slots.end());
    }
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

SgDDBufferImage::~SgDDBufferImage() { ReleaseSurfaces(); }

bool SgDDBufferImage::ReleaseSurfaces() {
    if (texture_) {
        texture_->Release();
        texture_ = nullptr;
    }
    return SgDDImage::ReleaseSurfaces();
}

IDirect3DTexture2* SgDDBufferImage::GetTextureSurface() {
    if (!texture_) {
        IDirectDrawSurface4* surface = Surface();
        if (!surface)
            return nullptr;
        if (FAILED(surface->QueryInterface(IID_IDirect3DTexture2, reinterpret_cast<void**>(&texture_))) ||
            !texture_) {
            texture_ = nullptr;
            RenderDebugOut("Query destination texture surface failed", false);
        }
    }
    return texture_;
}

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
