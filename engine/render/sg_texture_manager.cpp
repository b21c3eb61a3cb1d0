#include "engine/render/sg_texture_manager.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "engine/render/sg_d3d_render.h"
#include "engine/render/sg_dd_image.h"
#include "engine/render/sg_render_debug.h"

namespace {

SgTextureManager* g_managers = nullptr;
SgD3DTextureManager* g_shared = nullptr;
// Two keys per manager, odd then even; 0 never names a heap.
uint32_t g_nextKey = 1;

uint32_t Log2(uint32_t v) {
    uint32_t l = 0;
    while (v > 1) {
        v >>= 1;
        ++l;
    }
    return l;
}

int32_t SizeCodeOf(uint32_t bitsPerPixel) { return bitsPerPixel == 8 ? 0 : bitsPerPixel == 16 ? 1 : 2; }

struct FormatRow {
    bool alpha;
    uint8_t bits;
    uint8_t r, g, b, a;
};
// Kinds 0-5: RGB 5-5-5, 5-6-5, 8-8-8 in 32 bits, ARGB 1-5-5-5, 4-4-4-4, 8-8-8-8.
constexpr FormatRow kRows[6] = {{false, 16, 5, 5, 5, 0}, {false, 16, 5, 6, 5, 0}, {false, 32, 8, 8, 8, 0},
                                {true, 16, 5, 5, 5, 1},  {true, 16, 4, 4, 4, 4},  {true, 32, 8, 8, 8, 8}};

bool MatchesKind(const DDPIXELFORMAT& f, uint32_t kind) {
    if (kind == 6)
        return (f.dwFlags & DDPF_PALETTEINDEXED8) && !(f.dwFlags & DDPF_ALPHAPIXELS);
    if (!(f.dwFlags & DDPF_RGB) || (f.dwFlags & DDPF_PALETTEINDEXED8))
        return false;
    const FormatRow& row = kRows[kind];
    if (((f.dwFlags & DDPF_ALPHAPIXELS) != 0) != row.alpha || f.dwRGBBitCount != row.bits)
        return false;
    const SgPixelFormat p = SgPixelFormat::FromDDPixelFormat(f);
    return p.bits[0] == row.r && p.bits[1] == row.g && p.bits[2] == row.b && (!row.alpha || p.bits[3] == row.a);
}

struct FormatSearch {
    uint32_t kind;
    bool found = false;
    DDPIXELFORMAT format{};
};

HRESULT AcceptFormat(DDPIXELFORMAT* format, void* context) {
    auto* search = static_cast<FormatSearch*>(context);
    if (!format || !MatchesKind(*format, search->kind))
        return D3DENUMRET_OK;
    search->found = true;
    search->format = *format;
    return D3DENUMRET_CANCEL;
}

DDSURFACEDESC2 EmptyDesc() {
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof(d);
    return d;
}

IDirectDrawSurface4* NextLevel(IDirectDrawSurface4* level) {
    DDSCAPS2 caps{};
    caps.dwCaps = DDSCAPS_TEXTURE | DDSCAPS_MIPMAP;
    IDirectDrawSurface4* next = nullptr;
    if (FAILED(level->GetAttachedSurface(&caps, &next)))
        return nullptr;
    return next;
}

void Copy(IDirectDrawSurface4* to, IDirectDrawSurface4* from) {
    HRESULT hr;
    do {
        hr = to->Blt(nullptr, from, nullptr, 0, nullptr);
    } while (hr == DDERR_WASSTILLDRAWING);
    if (FAILED(hr))
        RenderDebugOut("Texture Upload Failed\n", false);
}

// Walks chains of levels together; each given surface is the first level (not released here).
template <size_t N, typename Step>
void WalkLevels(IDirectDrawSurface4* const (&first)[N], Step step) {
    IDirectDrawSurface4* levels[N];
    bool owned = false;
    std::copy(first, first + N, levels);
    for (;;) {
        step(levels);
        IDirectDrawSurface4* next[N] = {};
        bool all = true;
        for (size_t i = 0; i < N; ++i)
            all = (next[i] = NextLevel(levels[i])) != nullptr && all;
        if (owned)
            for (IDirectDrawSurface4* l : levels)
                l->Release();
        if (!all) {
            for (IDirectDrawSurface4* l : next)
                if (l)
                    l->Release();
            return;
        }
        std::copy(next, next + N, levels);
        owned = true;
    }
}

bool IsPowerOfTwo(uint32_t v) { return v != 0 && (v & (v - 1)) == 0; }

}  // namespace

uint32_t SgTextureKey(uint32_t logWidth, uint32_t logHeight, bool mipmapped, int32_t kind, int32_t sizeCode) {
    const int32_t d = static_cast<int32_t>(logWidth) - static_cast<int32_t>(logHeight);
    const uint32_t aspect = d >= 3 ? 7 : d <= -4 ? 0 : static_cast<uint32_t>(d + 4);
    const int32_t c = std::clamp(sizeCode + static_cast<int32_t>(logWidth + logHeight) - 8, 0, 15);
    return (logHeight & 15) | (logWidth & 15) << 4 | (mipmapped ? 1u : 0u) << 8 |
           (static_cast<uint32_t>(kind + 1) & 7) << 9 | aspect << 12 | static_cast<uint32_t>(c) << 15;
}

// ---- SgTextureManager ----

SgTextureManager::SgTextureManager() {
    next_ = g_managers;
    g_managers = this;
}

SgTextureManager::~SgTextureManager() {
    for (SgTextureManager** p = &g_managers; *p; p = &(*p)->next_)
        if (*p == this) {
            *p = next_;
            break;
        }
}

SgTextureManager* SgTextureManager::First() { return g_managers; }

// ---- SgD3DTextureManager: creation ----

struct SgD3DTextureManager::Block {
    Block* next = nullptr;
    SgTextureEntry entries[32];
};

SgD3DTextureManager* SgD3DTextureManager::Create(uint32_t creationFlags, IDirectDraw4* directDraw,
                                                 IDirect3DDevice3* device, const D3DDEVICEDESC& description) {
    auto* m = new (std::nothrow) SgD3DTextureManager;
    if (!m)
        return nullptr;
    m->keys_[0] = g_nextKey;
    m->keys_[1] = g_nextKey + 1;
    g_nextKey += 2;
    m->directDraw_ = directDraw;
    if (directDraw)
        directDraw->AddRef();
    m->maxWidth = description.dwMaxTextureWidth;
    m->maxHeight = description.dwMaxTextureHeight;
    if (FAILED(m->SetupTextureFormats(creationFlags, device))) {
        delete m;
        return nullptr;
    }
    m->twoHeaps_ = (description.dwDevCaps & D3DDEVCAPS_SEPARATETEXTUREMEMORIES) && !(creationFlags & 0x100);
    m->squareUpload_ = (description.dpcTriCaps.dwTextureCaps & D3DPTEXTURECAPS_SQUAREONLY) != 0;
    return m;
}

HRESULT SgD3DTextureManager::SetupTextureFormats(uint32_t creationFlags, IDirect3DDevice3* device) {
    bool any = false;
    auto find = [&](uint32_t kind) -> HRESULT {
        FormatSearch search{kind};
        if (HRESULT hr = device->EnumTextureFormats(AcceptFormat, &search); FAILED(hr))
            return hr;
        if (!search.found)
            return DD_OK;
        auto* record = new (std::nothrow) SgPixelFormat(SgPixelFormat::FromDDPixelFormat(search.format));
        if (!record)
            return E_OUTOFMEMORY;
        record->kind = static_cast<int32_t>(kind);
        formats_[kind] = record;
        sizeCodes_[kind] = SizeCodeOf(search.format.dwRGBBitCount);
        available_[kind] = 1;
        any = any || kind < 6;
        return DD_OK;
    };
    for (uint32_t kind : {4u, 5u, 3u, 0u, 1u, 2u})
        if (HRESULT hr = find(kind); FAILED(hr))
            return hr;
    if (!(creationFlags & 0x20) || !any)
        if (HRESULT hr = find(6); FAILED(hr))
            return hr;
    return std::any_of(available_, available_ + kKinds, [](uint8_t a) { return a != 0; }) ? DD_OK
                                                                                           : D3DERR_TEXTURE_NO_SUPPORT;
}

SgD3DTextureManager::~SgD3DTextureManager() {
    for (int32_t h = 0; h < 2; ++h)
        ReleaseHeap(h, true);
    for (SgTextureEntry* e = free_; e; e = e->next)
        e->image = nullptr;
    while (blocks_) {
        Block* next = blocks_->next;
        delete blocks_;
        blocks_ = next;
    }
    // No image may keep an entry of a gone manager.
    SgDDImage::RemoveKeyFromAll(keys_[0]);
    SgDDImage::RemoveKeyFromAll(keys_[1]);
    for (SgPixelFormat*& f : formats_) {
        delete f;
        f = nullptr;
    }
    if (directDraw_)
        directDraw_->Release();
    if (g_shared == this)
        g_shared = nullptr;
}

bool SgD3DTextureManager::HasAlphaFormat() const { return available_[3] || available_[4] || available_[5]; }

const SgPixelFormat* SgD3DTextureManager::ChooseSourceFormat(uint32_t source, uint32_t asked, bool mipmaps,
                                                             bool prefer32) const {
    if (source > SgRawImageData::kRgba)
        return nullptr;
    // A palettised image with a mip chain gets RGB levels.
    if (source == SgRawImageData::kPalettized && mipmaps)
        source = SgRawImageData::kRgb;
    if ((asked <= 5 || (asked == 6 && source == SgRawImageData::kPalettized)) && formats_[asked])
        return formats_[asked];
    // Kind 0 only when asked for; a palettised image without its own format goes as RGB.
    if (source == SgRawImageData::kPalettized) {
        if (formats_[6])
            return formats_[6];
        source = SgRawImageData::kRgb;
    }
    static constexpr uint32_t kOrders[2][2][5] = {
        {{1, 2, 4, 3, 5}, {4, 3, 5, 1, 2}},
        {{2, 1, 5, 3, 4}, {5, 3, 4, 2, 1}},
    };
    for (uint32_t k : kOrders[prefer32 ? 1 : 0][source - 1])
        if (formats_[k])
            return formats_[k];
    return nullptr;
}

// ---- Entries and lists ----

SgTextureEntry* SgD3DTextureManager::NewTextureEntry(SgDDImage* image, uint32_t key, int32_t heap) {
    if (!free_) {
        auto* block = new (std::nothrow) Block;
        if (!block)
            return nullptr;
        block->next = blocks_;
        blocks_ = block;
        for (SgTextureEntry& e : block->entries) {
            e.next = free_;
            free_ = &e;
        }
    }
    SgTextureEntry* e = free_;
    free_ = e->next;
    *e = SgTextureEntry{};
    e->image = image;
    e->heap = heap;
    e->identityStamp = image->imageId;
    e->contentStamp = image->contentStamp;
    e->key = key;
    image->SetTextureEntry(keys_[heap], e);
    ++textureCount;
    LinkAtTail(e);
    return e;
}

void SgD3DTextureManager::LinkAtTail(SgTextureEntry* e) {
    Heap& h = heaps_[e->heap];
    const uint32_t b = SgTextureBucket(e->key);
    e->next = nullptr;
    e->previous = h.tails[b];
    if (h.tails[b])
        h.tails[b]->next = e;
    else
        h.heads[b] = e;
    h.tails[b] = e;
    ++h.classCounts[SgTextureSizeClass(e->key)];
}

void SgD3DTextureManager::Unlink(SgTextureEntry* e) {
    Heap& h = heaps_[e->heap];
    if (e->flags & SgTextureEntry::kPinned) {
        if (e->previous)
            e->previous->next = e->next;
        else
            h.pinned = e->next;
        if (e->next)
            e->next->previous = e->previous;
    } else {
        const uint32_t b = SgTextureBucket(e->key);
        if (e->previous)
            e->previous->next = e->next;
        else
            h.heads[b] = e->next;
        if (e->next)
            e->next->previous = e->previous;
        else
            h.tails[b] = e->previous;
        --textureCount;
        --h.classCounts[SgTextureSizeClass(e->key)];
    }
    e->next = e->previous = nullptr;
}

void SgD3DTextureManager::MoveToTail(SgTextureEntry* e) {
    if ((e->flags & SgTextureEntry::kPinned) || !e->next)
        return;
    Unlink(e);
    ++textureCount;
    LinkAtTail(e);
}

void SgD3DTextureManager::Pin(SgTextureEntry* e) {
    Unlink(e);
    e->flags |= SgTextureEntry::kPinned;
    Heap& h = heaps_[e->heap];
    if (h.pinned)
        h.pinned->previous = e;
    e->next = h.pinned;
    e->previous = nullptr;
    h.pinned = e;
}

void SgD3DTextureManager::FreeEntry(SgTextureEntry* e) {
    e->identityStamp = 0;
    e->image = nullptr;
    e->surface = nullptr;
    e->texture = nullptr;
    e->next = free_;
    free_ = e;
}

void SgD3DTextureManager::ReleaseTextureEntry(SgTextureEntry* e) {
    currentHeap_ = e->heap;
    if (e->image && e->image->TextureEntry(keys_[e->heap]) == e)
        e->image->SetTextureEntry(keys_[e->heap], nullptr);
    heaps_[e->heap].memory -= e->memory;
    if (e->texture)
        e->texture->Release();
    if (e->surface)
        e->surface->Release();
    Unlink(e);
    FreeEntry(e);
    ++releasedThisFrame;
}

void SgD3DTextureManager::ReleaseHeap(int32_t heap, bool includePinned) {
    if (heap == 1 && !twoHeaps_)
        return;
    Heap& h = heaps_[heap];
    for (int b = 0; b < 256; ++b)
        while (h.heads[b])
            ReleaseTextureEntry(h.heads[b]);
    if (includePinned)
        while (h.pinned)
            ReleaseTextureEntry(h.pinned);
}

// ---- Frames ----

void SgD3DTextureManager::BeginFrame() {
    SgTextureManager::BeginFrame();
    status = kStatusFrame;
    firstBoundThisFrame = otherThisFrame = createdThisFrame = releasedThisFrame = 0;
    RestoreLostTextures();
}

void SgD3DTextureManager::RestoreLostTextures() {
    auto probeOf = [&](int32_t heap) -> IDirectDrawSurface4* {
        if (heap == 1 && !twoHeaps_)
            return nullptr;
        for (SgTextureEntry* head : heaps_[heap].heads)
            if (head)
                return head->surface;
        return nullptr;
    };
    IDirectDrawSurface4* probe = probeOf(0);
    if (!probe || probe->IsLost() != DDERR_SURFACELOST)
        probe = probeOf(1);
    if (!probe || probe->IsLost() != DDERR_SURFACELOST)
        return;
    if (directDraw_)
        directDraw_->RestoreAllSurfaces();
    if (probe->IsLost() == DDERR_SURFACELOST)
        return;
    // The pixels are gone: every bucket entry re-uploads at its next bind. Pinned ones are kept.
    for (int32_t heap = 0; heap < (twoHeaps_ ? 2 : 1); ++heap)
        for (SgTextureEntry* head : heaps_[heap].heads)
            for (SgTextureEntry* e = head; e; e = e->next)
                e->contentStamp = 0xFFFFFFFFu;
}

// ---- Lookups ----

int32_t SgD3DTextureManager::GetImageFormatKind(SgImage* image) {
    if (!image || !image->GetTypeRecord()->IsKindOf(&SgDDImage::typeRecord))
        return kNoKind;
    IDirectDrawSurface4* surface = nullptr;
    const SgPixelFormat* format = nullptr;
    if (!static_cast<SgDDImage*>(image)->RealizeSurface(renderer_ ? renderer_ : SgD3DRender::Current(), &surface,
                                                        &format) ||
        !format)
        return kNoKind;
    return format->kind >= 0 && format->kind < kNoKind ? format->kind : kNoKind;
}

int32_t SgD3DTextureManager::ChooseHeap(SgDDImage* image, int32_t stage) const {
    if (!twoHeaps_)
        return 0;
    if (stage == 0 || stage == 1)
        return stage;
    if (image->TextureEntry(keys_[0]))
        return 0;
    if (image->TextureEntry(keys_[1]))
        return 1;
    return heaps_[0].memory >= heaps_[1].memory ? 1 : 0;
}

bool SgD3DTextureManager::CheckTextureImage(SgDDImage* image) {
    if (!image)
        return true;
    if (image->width == 0) {
        if (!image->Prepare(renderer_, 0)) {
            const uint32_t code = SgImage::LastError();
            RenderDebugOut(code == 5 || code == 7
                               ? "Create Texture failed: image file not found or of invalid format\n"
                               : "Create Texture failed: image get failed (possible DirectDraw error)\n",
                           false);
            return false;
        }
    }
    return IsPowerOfTwo(image->width) && IsPowerOfTwo(image->height);
}

bool SgD3DTextureManager::DescribeTexture(SgDDImage* image, Description& out) {
    const SgPixelFormat* format = nullptr;
    if (!image->RealizeSurface(renderer_, &out.source, &format) || !out.source || !format)
        return false;
    out.kind = format->kind;
    // A level at most 15 down: a shift by the image's width never reaches 32.
    uint32_t skip = renderer_ ? renderer_->GetStoredValue() : 0;
    skip = std::min<uint32_t>(skip, 15);
    while (maxWidth && skip < 15 && (image->width >> skip) > maxWidth)
        ++skip;
    while (maxHeight && skip < 15 && (image->height >> skip) > maxHeight)
        ++skip;
    IDirectDrawSurface4* level = out.source;
    level->AddRef();
    for (uint32_t i = 0; i < skip; ++i) {
        IDirectDrawSurface4* next = NextLevel(level);
        if (!next)
            break;
        level->Release();
        level = next;
    }
    out.desc = EmptyDesc();
    const HRESULT hr = level->GetSurfaceDesc(&out.desc);
    // The source for the upload is the level reached (the image keeps the chain alive).
    level->Release();
    out.source = level;
    if (FAILED(hr)) {
        RenderDebugOut("Texture surface get description failed", false);
        return false;
    }
    uint32_t w = Log2(out.desc.dwWidth), h = Log2(out.desc.dwHeight);
    const bool squareOnly = renderer_ && renderer_->Driver() &&
                            (renderer_->Driver()->description.dpcTriCaps.dwTextureCaps & D3DPTEXTURECAPS_SQUAREONLY);
    if (squareOnly && w != h) {
        w = h = std::min(w, h);
        out.desc.dwWidth = out.desc.dwHeight = 1u << w;
        if ((out.desc.dwFlags & DDSD_MIPMAPCOUNT) && out.desc.dwMipMapCount > w + 1)
            out.desc.dwMipMapCount = w + 1;
    }
    const bool mip = (out.desc.ddsCaps.dwCaps & DDSCAPS_MIPMAP) != 0;
    out.key = SgTextureKey(w, h, mip, out.kind, out.kind >= 0 && out.kind < 7 ? sizeCodes_[out.kind] : 2);
    return true;
}

// ---- Creation ----

bool SgD3DTextureManager::CreateTexture(SgDDImage* image) {
    Description d;
    if (!DescribeTexture(image, d))
        return false;
    const bool mip = (d.desc.ddsCaps.dwCaps & DDSCAPS_MIPMAP) != 0;
    const DWORD mipCount = d.desc.dwMipMapCount;
    const DDPIXELFORMAT format = d.desc.ddpfPixelFormat;
    const DWORD width = d.desc.dwWidth, height = d.desc.dwHeight;
    d.desc = EmptyDesc();
    d.desc.dwWidth = width;
    d.desc.dwHeight = height;
    d.desc.ddpfPixelFormat = format;
    d.desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT;
    d.desc.ddsCaps.dwCaps = DDSCAPS_TEXTURE;
    if (mip) {
        d.desc.dwFlags |= DDSD_MIPMAPCOUNT;
        d.desc.dwMipMapCount = mipCount;
        d.desc.ddsCaps.dwCaps |= DDSCAPS_MIPMAP | DDSCAPS_COMPLEX;
    }
    const bool hardware = renderer_ && renderer_->Driver() && (renderer_->Driver()->info & SgD3DDriver::kInfoHardware);
    d.desc.ddsCaps.dwCaps |= hardware ? DDSCAPS_VIDEOMEMORY : DDSCAPS_SYSTEMMEMORY;
    if (!AllocateTexture(image, d))
        return false;
    ++createdThisFrame;
    return true;
}

SgD3DTextureManager::Made SgD3DTextureManager::CreateTextureSurface(SgDDImage* image, Description& d) {
    DDSURFACEDESC2 desc = d.desc;
    if (twoHeaps_) {
        desc.dwFlags |= DDSD_TEXTURESTAGE;
        desc.dwTextureStage = static_cast<DWORD>(currentHeap_);
    }
    IDirectDrawSurface4* surface = nullptr;
    HRESULT hr = directDraw_ ? directDraw_->CreateSurface(&desc, &surface, nullptr) : DDERR_GENERIC;
    if (FAILED(hr) || !surface) {
        surface = nullptr;
        const bool systemTextures =
            renderer_ && renderer_->Driver() && (renderer_->Driver()->info & SgD3DDriver::kInfoSystemTextures);
        if ((desc.ddsCaps.dwCaps & DDSCAPS_VIDEOMEMORY) && systemTextures) {
            desc.ddsCaps.dwCaps = (desc.ddsCaps.dwCaps & ~DDSCAPS_VIDEOMEMORY) | DDSCAPS_SYSTEMMEMORY;
            hr = directDraw_->CreateSurface(&desc, &surface, nullptr);
            if (FAILED(hr) || !surface) {
                RenderDebugOut("Create system memory texture surface failed", false);
                surface = nullptr;
            } else {
                RenderDebugOut("VRAM Full - allocating texture in system memory\n", false);
            }
        }
        if (!surface) {
            // Only a lack of memory is helped by making room; anything else would flush the
            // cache at every bind.
            const bool memory = hr == DDERR_OUTOFVIDEOMEMORY || hr == DDERR_OUTOFMEMORY;
            return memory ? Made::Failed : Made::Refused;
        }
    }
    SgTextureEntry* e = NewTextureEntry(image, d.key, currentHeap_);
    if (!e) {
        surface->Release();
        return Made::Failed;
    }
    e->surface = surface;
    if (desc.ddsCaps.dwCaps & DDSCAPS_MIPMAP)
        e->flags |= SgTextureEntry::kMipmapped;
    if (desc.ddpfPixelFormat.dwFlags & DDPF_ALPHAPIXELS)
        e->flags |= SgTextureEntry::kAlpha;

    auto undo = [&] {
        // Whatever failed after the entry was made leaves no trace of it.
        surface->Release();
        e->surface = nullptr;
        image->SetTextureEntry(keys_[e->heap], nullptr);
        Unlink(e);
        FreeEntry(e);
        return Made::Failed;
    };
    if (desc.ddpfPixelFormat.dwFlags & DDPF_PALETTEINDEXED8) {
        IDirectDrawPalette* palette = nullptr;
        const bool ok = SUCCEEDED(d.source->GetPalette(&palette)) && palette && SUCCEEDED(surface->SetPalette(palette));
        if (palette)
            palette->Release();
        if (!ok)
            return undo();
    }
    DDCOLORKEY key{0, 0};
    if (FAILED(surface->SetColorKey(DDCKEY_SRCBLT, &key)))
        return undo();
    IDirect3DTexture2* texture = nullptr;
    if (FAILED(surface->QueryInterface(IID_IDirect3DTexture2, reinterpret_cast<void**>(&texture))) || !texture) {
        RenderDebugOut("Query destination texture surface failed", false);
        return undo();
    }
    Upload(d.source, surface);
    e->texture = texture;
    e->memory = static_cast<int32_t>(desc.ddpfPixelFormat.dwRGBBitCount / 8 * desc.dwWidth * desc.dwHeight);
    heaps_[currentHeap_].memory += e->memory;
    return Made::Yes;
}

bool SgD3DTextureManager::AllocateTexture(SgDDImage* image, Description& d) {
    Made made = CreateTextureSurface(image, d);
    if (made == Made::Yes)
        return true;
    if (made == Made::Refused)
        return Refuse(image);
    if (noEvict_)
        return false;
    SgTextureEntry* same = nullptr;
    for (SgTextureEntry* e = heaps_[currentHeap_].heads[SgTextureBucket(d.key)]; e; e = e->next)
        if (e->key == d.key) {
            same = e;
            break;
        }
    if (same && same->lastUsedFrame < frame) {
        if (!ReuseTexture(image, d, same))
            return false;
        status |= kStatusReusedIdle;
        return true;
    }
    if (EvictForTexture(image, d)) {
        status |= kStatusEvicted;
        return true;
    }
    if (image->TextureEntry(keys_[currentHeap_]) == &sentinel_)
        return false;
    if (same) {
        if (!ReuseTexture(image, d, same))
            return false;
        status |= kStatusReusedBusy;
        return true;
    }
    ReleaseTextures(nullptr, false, currentHeap_);
    status |= kStatusHeapEmptied;
    made = CreateTextureSurface(image, d);
    if (made == Made::Yes)
        return true;
    if (made == Made::Refused)
        return Refuse(image);
    status |= kStatusFailed;
    return false;
}

bool SgD3DTextureManager::Refuse(SgDDImage* image) {
    // The device will not make this texture for a reason room cannot help: never ask again.
    image->SetTextureEntry(keys_[currentHeap_], &sentinel_);
    status |= kStatusFailed;
    return false;
}

bool SgD3DTextureManager::ReuseTexture(SgDDImage* image, Description& d, SgTextureEntry* e) {
    e->image = image;
    e->identityStamp = image->imageId;
    e->contentStamp = image->contentStamp;
    image->SetTextureEntry(keys_[e->heap], e);
    Upload(d.source, e->surface);
    IDirectDrawPalette* palette = nullptr;
    if (SUCCEEDED(d.source->GetPalette(&palette)) && palette) {
        const bool ok = SUCCEEDED(e->surface->SetPalette(palette)) && SUCCEEDED(e->texture->PaletteChanged(0, 256));
        palette->Release();
        if (!ok) {
            // The pixels are the new image's but the palette is not: the texture is no one's.
            image->SetTextureEntry(keys_[e->heap], nullptr);
            e->image = nullptr;
            e->identityStamp = 0;
            return false;
        }
    }
    MoveToTail(e);
    ++releasedThisFrame;
    return true;
}

bool SgD3DTextureManager::EvictForTexture(SgDDImage* image, Description& d) {
    int32_t low = static_cast<int32_t>(SgTextureSizeClass(d.key));
    const int32_t own = low;
    int32_t high = low;
    for (int32_t c = 15; c > low; --c)
        if (heaps_[currentHeap_].classCounts[c]) {
            high = c;
            break;
        }
    const int32_t heap = currentHeap_;
    for (;;) {
        Heap& h = heaps_[heap];
        SgTextureEntry* candidate = nullptr;
        for (int32_t c = high; c >= low; --c) {
            if (!h.classCounts[c])
                continue;
            for (int32_t b = 16 * c; b < 16 * c + 16; ++b) {
                SgTextureEntry* e = h.heads[b];
                if (!e || e->lastUsedFrame >= frame)
                    continue;
                if (!candidate || e->lastUsedFrame < candidate->lastUsedFrame)
                    candidate = e;
            }
        }
        if (!candidate) {
            if (low == 0)
                return false;
            int32_t lower = -1;
            for (int32_t c = low - 1; c >= 0; --c)
                if (h.classCounts[c] && (c > 0 || own == 0)) {
                    lower = c;
                    break;
                }
            if (lower < 0)
                return false;
            low = high = lower;
            continue;
        }
        ReleaseTextureEntry(candidate);
        currentHeap_ = heap;
        const Made made = CreateTextureSurface(image, d);
        if (made == Made::Yes)
            return true;
        if (made == Made::Refused)
            return Refuse(image);
    }
}

bool SgD3DTextureManager::RefreshTexture(SgTextureEntry* e, SgDDImage* image) {
    Description d;
    if (!DescribeTexture(image, d))
        return false;
    if (d.key == e->key) {
        Upload(d.source, e->surface);
        e->contentStamp = image->contentStamp;
        return true;
    }
    const bool pinned = (e->flags & SgTextureEntry::kPinned) != 0;
    const int32_t heap = e->heap;
    ReleaseTextureEntry(e);
    currentHeap_ = heap;
    if (!CreateTexture(image))
        return false;
    SgTextureEntry* made = image->TextureEntry(keys_[heap]);
    if (pinned && made && made != &sentinel_ && !(made->flags & SgTextureEntry::kPinned))
        Pin(made);
    return true;
}

// ---- Uploads ----

void SgD3DTextureManager::Upload(IDirectDrawSurface4* source, IDirectDrawSurface4* texture) {
    DDSURFACEDESC2 s = EmptyDesc(), t = EmptyDesc();
    const bool same = !squareUpload_ || (SUCCEEDED(source->GetSurfaceDesc(&s)) && SUCCEEDED(texture->GetSurfaceDesc(&t)) &&
                                         s.dwWidth == t.dwWidth && s.dwHeight == t.dwHeight);
    if (same) {
        WalkLevels<2>({texture, source}, [](IDirectDrawSurface4* const (&l)[2]) { Copy(l[0], l[1]); });
        return;
    }
    // Another shape: stretch each level through system memory first.
    IDirectDraw4* dd = nullptr;
    if (FAILED(texture->GetDDInterface(reinterpret_cast<void**>(&dd))) || !dd)
        return;
    t.ddsCaps.dwCaps = (t.ddsCaps.dwCaps & ~(DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM | DDSCAPS_NONLOCALVIDMEM)) |
                       DDSCAPS_SYSTEMMEMORY;
    t.dwFlags &= ~(DDSD_PITCH | DDSD_TEXTURESTAGE | DDSD_CKSRCBLT | DDSD_CKDESTBLT);
    IDirectDrawSurface4* temp = nullptr;
    const HRESULT hr = dd->CreateSurface(&t, &temp, nullptr);
    dd->Release();
    if (FAILED(hr) || !temp)
        return;
    WalkLevels<3>({texture, temp, source}, [](IDirectDrawSurface4* const (&l)[3]) {
        Copy(l[1], l[2]);
        Copy(l[0], l[1]);
    });
    temp->Release();
}

// ---- Operations ----

bool SgD3DTextureManager::PrecacheTexture(SgImage* plain, bool allowEvict, bool pin, int32_t stage) {
    if (!plain || !plain->GetTypeRecord()->IsKindOf(&SgDDImage::typeRecord))
        return false;
    auto* image = static_cast<SgDDImage*>(plain);
    currentHeap_ = ChooseHeap(image, stage);
    noEvict_ = allowEvict ? 0 : 1;
    const uint32_t key = keys_[currentHeap_];
    bool ok = true;
    SgTextureEntry* e = image->TextureEntry(key);
    if (e == &sentinel_) {
        ok = false;
    } else if (!e && !CheckTextureImage(image)) {
        image->SetTextureEntry(key, &sentinel_);
        ok = false;
    } else if (!e || e->identityStamp != image->imageId) {
        ok = CreateTexture(image);
        e = ok ? image->TextureEntry(key) : nullptr;
        ok = ok && e && e != &sentinel_;
    }
    if (ok && pin && !(e->flags & SgTextureEntry::kPinned))
        Pin(e);
    noEvict_ = 0;
    return ok;
}

bool SgD3DTextureManager::ReleaseTextures(SgImage* plain, bool includePinned, int32_t heap) {
    if (!twoHeaps_)
        heap = heap < 0 ? -1 : 0;
    if (plain) {
        if (!plain->GetTypeRecord()->IsKindOf(&SgDDImage::typeRecord))
            return true;
        auto* image = static_cast<SgDDImage*>(plain);
        for (int32_t h = 0; h < (twoHeaps_ ? 2 : 1); ++h) {
            SgTextureEntry* e = image->TextureEntry(keys_[h]);
            if (e == &sentinel_)
                image->SetTextureEntry(keys_[h], nullptr);
            else if (e && e->identityStamp == image->imageId)
                ReleaseTextureEntry(e);
        }
        return true;
    }
    if (heap < 0) {
        ReleaseHeap(0, includePinned);
        ReleaseHeap(1, includePinned);
    } else {
        ReleaseHeap(heap, includePinned);
    }
    return true;
}

bool SgD3DTextureManager::BindTexture(int32_t stage, SgImage* plain, SgRef<SgImage>& holder,
                                      IDirect3DTexture2** texture, bool* changed, bool* mipmapped, bool* alpha) {
    *changed = *mipmapped = *alpha = false;
    *texture = nullptr;
    SgImage* held = holder.Get();
    *changed = (!held && plain) || (held && (!plain || plain->imageId != held->imageId));
    if (held != plain)
        holder = plain;
    if (!plain)
        return true;
    if (plain->GetTypeRecord()->IsKindOf(&SgDDBufferImage::typeRecord)) {
        *texture = static_cast<SgDDBufferImage*>(plain)->GetTextureSurface();
        return true;
    }
    if (!plain->GetTypeRecord()->IsKindOf(&SgDDImage::typeRecord))
        return false;
    auto* image = static_cast<SgDDImage*>(plain);
    currentHeap_ = ChooseHeap(image, stage);
    const uint32_t key = keys_[currentHeap_];
    SgTextureEntry* e = image->TextureEntry(key);
    if (e == &sentinel_)
        return false;
    if (!e && !CheckTextureImage(image)) {
        image->SetTextureEntry(key, &sentinel_);
        return false;
    }
    if (!e || e->identityStamp != image->imageId) {
        if (!CreateTexture(image))
            return false;
        *changed = true;
    } else {
        if (e->contentStamp != image->contentStamp && !RefreshTexture(e, image)) {
            holder = nullptr;
            return false;
        }
        if (SgTextureEntry* now = image->TextureEntry(key); now && now != &sentinel_)
            MoveToTail(now);
    }
    e = image->TextureEntry(key);
    if (!e || e == &sentinel_)
        return true;
    if (e->lastUsedFrame < frame) {
        e->lastUsedFrame = frame;
        ++firstBoundThisFrame;
    }
    *mipmapped = (e->flags & SgTextureEntry::kMipmapped) != 0;
    *alpha = (e->flags & SgTextureEntry::kAlpha) != 0;
    *texture = e->texture;
    return true;
}

// ---- The device's manager ----

SgD3DTextureManager* AcquireTextureManager(uint32_t creationFlags, IDirectDraw4* directDraw, IDirect3DDevice3* device,
                                           const D3DDEVICEDESC& description, bool shared) {
    SgD3DTextureManager* m;
    if (shared) {
        if (!g_shared)
            g_shared = SgD3DTextureManager::Create(creationFlags, directDraw, device, description);
        m = g_shared;
    } else {
        m = SgD3DTextureManager::Create(creationFlags, directDraw, device, description);
    }
    if (!m)
        return nullptr;
    ++m->users;
    m->ReleaseTextures(nullptr, true, -1);
    return m;
}

void ReleaseTextureManager(SgD3DTextureManager* manager) {
    if (!manager)
        return;
    if (--manager->users <= 0)
        delete manager;
    else
        manager->ReleaseTextures(nullptr, true, -1);
}

SgD3DTextureManager* SharedTextureManager() { return g_shared; }
