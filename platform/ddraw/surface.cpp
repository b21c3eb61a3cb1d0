// Surfaces: creation of plain, primary, flipping, mipmapped and depth surfaces with their memory in
// the video-memory budget or in system memory; locking, flipping (which swaps memory), attachment,
// colour keys, palettes, clippers, losses; and the rasteriser's converted copy of a texture.

#include <algorithm>
#include <bit>
#include <cstring>

#include "platform/ddraw/objects.h"
#include "platform/win/platform.h"

namespace platform::dd {

namespace {

LONG PitchFor(DWORD width, const FormatInfo& info) {
    return static_cast<LONG>((static_cast<uint64_t>(width) * info.bytes + 3) & ~uint64_t{3});
}

uint64_t BytesFor(DWORD width, DWORD height, const FormatInfo& info) {
    return static_cast<uint64_t>(PitchFor(width, info)) * height;
}

DWORD FullMipCount(DWORD width, DWORD height) {
    DWORD count = 1;
    while (width > 1 || height > 1) {
        width = std::max<DWORD>(1, width / 2);
        height = std::max<DWORD>(1, height / 2);
        ++count;
    }
    return count;
}

bool InRange(uint32_t value, const DDCOLORKEY& key) {
    return value >= key.dwColorSpaceLowValue && value <= key.dwColorSpaceHighValue;
}

// One level of a texture converted to 0xAARRGGBB.
void ConvertLevel(const uint8_t* bits, LONG pitch, int width, int height, const FormatInfo& info,
                  const PALETTEENTRY* palette, uint32_t* out) {
    const bool is565 = info.bytes == 2 && info.r.mask == 0xF800 && info.g.mask == 0x07E0 && info.b.mask == 0x1F &&
                       !info.hasAlpha;
    const bool is8888 = info.bytes == 4 && info.r.mask == 0xFF0000 && info.g.mask == 0xFF00 && info.b.mask == 0xFF;
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = bits + static_cast<ptrdiff_t>(y) * pitch;
        uint32_t* dst = out + static_cast<size_t>(y) * static_cast<size_t>(width);
        if (is565) {
            for (int x = 0; x < width; ++x) {
                uint32_t p = static_cast<uint32_t>(row[2 * x] | (row[2 * x + 1] << 8));
                uint32_t r = (p >> 11) & 31, g = (p >> 5) & 63, b = p & 31;
                dst[x] = 0xFF000000u | (((r << 3) | (r >> 2)) << 16) | (((g << 2) | (g >> 4)) << 8) |
                         ((b << 3) | (b >> 2));
            }
        } else if (is8888) {
            const uint32_t alpha = info.hasAlpha ? 0 : 0xFF000000u;
            for (int x = 0; x < width; ++x) {
                uint32_t p;
                std::memcpy(&p, row + 4 * x, 4);
                dst[x] = p | alpha;
            }
        } else {
            for (int x = 0; x < width; ++x)
                dst[x] = info.ToArgb(LoadPixel(row + x * info.bytes, info.bytes), palette);
        }
    }
}

}  // namespace

// ---- Creation and destruction ------------------------------------------------------------------

SurfaceImpl::SurfaceImpl(DirectDrawImpl* owner, SurfaceImpl* root) : owner_(owner), root_(root) {
    static_cast<IDirectDraw4*>(owner_)->AddRef();
    GetState().surfaces.insert(this);
    revision_ = NextRevision();
}

SurfaceImpl::~SurfaceImpl() {
    for (SurfaceImpl* member : members_)
        delete member;
    members_.clear();
    for (SurfaceImpl* a : attached_)
        a->Release();
    attached_.clear();
    if (palette_)
        static_cast<IDirectDrawPalette*>(palette_)->Release();
    if (clipper_)
        static_cast<IDirectDrawClipper*>(clipper_)->Release();
    State& s = GetState();
    s.videoMemoryUsed -= std::min(s.videoMemoryUsed, videoBytes_);
    s.surfaces.erase(this);
    s.busy.erase(this);
    if (s.primary == this)
        s.primary = nullptr;
    static_cast<IDirectDraw4*>(owner_)->Release();
}

HRESULT SurfaceImpl::Allocate(DWORD width, DWORD height, const DDPIXELFORMAT& format, DWORD caps) {
    width_ = width;
    height_ = height;
    format_ = format;
    format_.dwSize = sizeof(DDPIXELFORMAT);
    info_ = FormatInfo::From(format_);
    pitch_ = PitchFor(width, info_);
    caps_.dwCaps = caps;
    if (!buffer_.Allocate(static_cast<size_t>(pitch_) * height))
        return DDERR_OUTOFMEMORY;
    if (caps & DDSCAPS_VIDEOMEMORY) {
        videoBytes_ = static_cast<uint64_t>(pitch_) * height;
        GetState().videoMemoryUsed += videoBytes_;
    }
    return DD_OK;
}

HRESULT SurfaceImpl::Create(DirectDrawImpl* owner, const DDSURFACEDESC2& desc, SurfaceImpl** out) {
    State& s = GetState();
    *out = nullptr;
    const DWORD flags = desc.dwFlags;
    DWORD caps = (flags & DDSD_CAPS) ? desc.ddsCaps.dwCaps : 0;
    if (flags & DDSD_LPSURFACE)
        return DDERR_UNSUPPORTED;
    if ((caps & DDSCAPS_SYSTEMMEMORY) && (caps & DDSCAPS_VIDEOMEMORY))
        return DDERR_INVALIDCAPS;
    if (caps & DDSCAPS_NONLOCALVIDMEM)
        return DDERR_INVALIDCAPS;  // no AGP memory on this display
    const bool primary = (caps & DDSCAPS_PRIMARYSURFACE) != 0;
    const bool flip = (caps & DDSCAPS_FLIP) != 0;
    const bool mip = (caps & DDSCAPS_MIPMAP) != 0;
    const bool depth = (caps & DDSCAPS_ZBUFFER) != 0;
    const DWORD backCount = (flags & DDSD_BACKBUFFERCOUNT) ? desc.dwBackBufferCount : 0;
    if (flip && (!(caps & DDSCAPS_COMPLEX) || backCount == 0 || backCount > 3))
        return DDERR_INVALIDCAPS;
    if (!flip && backCount)
        return DDERR_INVALIDCAPS;
    if (primary && (depth || mip))
        return DDERR_INVALIDCAPS;

    DWORD width, height;
    DDPIXELFORMAT format;
    if (primary) {
        if (flags & (DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT))
            return DDERR_INVALIDPARAMS;
        if (s.primary)
            return DDERR_PRIMARYSURFACEALREADYEXISTS;
        if (flip && s.display.exclusiveOwner != owner)
            return DDERR_NOEXCLUSIVEMODE;
        width = s.display.mode.width;
        height = s.display.mode.height;
        format = CurrentDisplayFormat();
    } else {
        if (!(flags & DDSD_WIDTH) || !(flags & DDSD_HEIGHT))
            return DDERR_INVALIDPARAMS;
        width = desc.dwWidth;
        height = desc.dwHeight;
        if (width == 0 || height == 0 || width > 16384 || height > 16384)
            return DDERR_INVALIDPARAMS;
        if (flags & DDSD_PIXELFORMAT)
            format = desc.ddpfPixelFormat;
        else if (depth)
            return DDERR_INVALIDPIXELFORMAT;
        else
            format = CurrentDisplayFormat();
    }
    const FormatInfo info = FormatInfo::From(format);
    if (!info.Valid())
        return DDERR_INVALIDPIXELFORMAT;
    if (depth != (info.kind == PixelKind::Depth))
        return depth ? DDERR_INVALIDPIXELFORMAT : DDERR_INVALIDCAPS;

    DWORD levels = 1;
    if (mip && (caps & DDSCAPS_COMPLEX)) {
        const DWORD full = FullMipCount(width, height);
        levels = (flags & DDSD_MIPMAPCOUNT) ? desc.dwMipMapCount : full;
        if (levels == 0 || levels > full)
            return DDERR_INVALIDPARAMS;
    }

    // Memory: the whole group in video memory or in system memory.
    uint64_t bytes = 0;
    {
        DWORD w = width, h = height;
        for (DWORD i = 0; i < levels; ++i) {
            bytes += BytesFor(w, h, info);
            w = std::max<DWORD>(1, w / 2);
            h = std::max<DWORD>(1, h / 2);
        }
        bytes *= 1 + backCount;
    }
    // The card's texture memory takes textures up to its largest size only.
    const bool tooLarge = (caps & DDSCAPS_TEXTURE) &&
                          ((s.profile.maxTextureWidth && width > s.profile.maxTextureWidth) ||
                           (s.profile.maxTextureHeight && height > s.profile.maxTextureHeight));
    if (tooLarge && (caps & DDSCAPS_VIDEOMEMORY))
        return DDERR_INVALIDPARAMS;
    const bool hasVideo = owner->Driver().halCaps != 0 && !tooLarge;
    const bool fits = s.videoMemoryUsed + bytes <= s.profile.videoMemoryBytes;
    bool video;
    if (primary) {
        video = true;
    } else if (caps & DDSCAPS_VIDEOMEMORY) {
        if (!hasVideo || !fits)
            return DDERR_OUTOFVIDEOMEMORY;
        video = true;
    } else if (caps & DDSCAPS_SYSTEMMEMORY) {
        video = false;
    } else {
        video = hasVideo && fits;
    }
    caps &= ~(DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM | DDSCAPS_SYSTEMMEMORY);
    caps |= video ? (DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM) : DDSCAPS_SYSTEMMEMORY;
    if (!(caps & (DDSCAPS_PRIMARYSURFACE | DDSCAPS_TEXTURE | DDSCAPS_ZBUFFER | DDSCAPS_FLIP | DDSCAPS_3DDEVICE)))
        caps |= DDSCAPS_OFFSCREENPLAIN;
    if (primary)
        caps |= DDSCAPS_VISIBLE | (flip ? DDSCAPS_FRONTBUFFER : 0);

    auto* root = new (std::nothrow) SurfaceImpl(owner, nullptr);
    if (!root)
        return DDERR_OUTOFMEMORY;
    HRESULT hr = root->Allocate(width, height, format, caps);
    root->textureStage_ = (flags & DDSD_TEXTURESTAGE) ? desc.dwTextureStage : 0;
    root->mipCount_ = levels;
    if (flags & DDSD_CKSRCBLT) {
        root->hasSourceKey_ = true;
        root->sourceKey_ = desc.ddckCKSrcBlt;
    }
    if (flags & DDSD_CKDESTBLT) {
        root->hasDestKey_ = true;
        root->destKey_ = desc.ddckCKDestBlt;
    }

    // Back buffers of a flipping chain.
    if (SUCCEEDED(hr) && flip) {
        root->flipChain_.push_back(root);
        const DWORD kept = caps & (DDSCAPS_3DDEVICE | DDSCAPS_TEXTURE | DDSCAPS_VIDEOMEMORY |
                                   DDSCAPS_LOCALVIDMEM | DDSCAPS_SYSTEMMEMORY);
        for (DWORD i = 0; i < backCount && SUCCEEDED(hr); ++i) {
            auto* back = new (std::nothrow) SurfaceImpl(owner, root);
            if (!back) {
                hr = DDERR_OUTOFMEMORY;
                break;
            }
            root->members_.push_back(back);
            hr = back->Allocate(width, height, format,
                                kept | DDSCAPS_FLIP | DDSCAPS_COMPLEX | (i == 0 ? DDSCAPS_BACKBUFFER : 0));
            root->flipChain_.push_back(back);
        }
        for (SurfaceImpl* m : root->members_)
            m->flipChain_ = root->flipChain_;
    }

    // Lower mip levels.
    if (SUCCEEDED(hr) && levels > 1) {
        SurfaceImpl* previous = root;
        DWORD w = width, h = height;
        for (DWORD i = 1; i < levels && SUCCEEDED(hr); ++i) {
            w = std::max<DWORD>(1, w / 2);
            h = std::max<DWORD>(1, h / 2);
            auto* level = new (std::nothrow) SurfaceImpl(owner, root);
            if (!level) {
                hr = DDERR_OUTOFMEMORY;
                break;
            }
            root->members_.push_back(level);
            hr = level->Allocate(w, h, format, caps & ~DDSCAPS_OFFSCREENPLAIN);
            level->mipCount_ = levels - i;
            level->textureStage_ = root->textureStage_;
            previous->mipNext_ = level;
            previous = level;
        }
    }

    if (FAILED(hr)) {
        delete root;
        return hr;
    }
    if (primary)
        s.primary = root;
    *out = root;
    return DD_OK;
}

ULONG SurfaceImpl::AddRef() { return ++refs_; }

ULONG SurfaceImpl::Release() {
    if (refs_ == 0)
        return 0;
    ULONG r = --refs_;
    // Implicit surfaces (back buffers, lower mip levels) go with the surface that owns them.
    if (r == 0 && !root_)
        delete this;
    return r;
}

SurfaceImpl* SurfaceImpl::FromUnknown(IUnknown* p) {
    if (!p)
        return nullptr;
    void* v4 = nullptr;
    if (FAILED(p->QueryInterface(IID_IDirectDrawSurface4, &v4)) || !v4)
        return nullptr;
    SurfaceImpl* s = From(static_cast<IDirectDrawSurface4*>(v4));
    s->Release();
    return s;
}

HRESULT SurfaceImpl::QueryInterface(REFIID riid, void** object) {
    if (!object)
        return E_POINTER;
    *object = nullptr;
    void* result = nullptr;
    const char* name = nullptr;
    if (riid == IID_IUnknown || riid == IID_IDirectDrawSurface || riid == IID_IDirectDrawSurface2) {
        name = riid == IID_IDirectDrawSurface2 ? "QueryInterface:IDirectDrawSurface2"
                                               : "QueryInterface:IDirectDrawSurface";
        result = static_cast<IDirectDrawSurface2*>(this);
    } else if (riid == IID_IDirectDrawSurface4) {
        name = "QueryInterface:IDirectDrawSurface4";
        result = static_cast<IDirectDrawSurface4*>(this);
    } else if (riid == IID_IDirect3DTexture2 && (caps_.dwCaps & DDSCAPS_TEXTURE)) {
        name = "QueryInterface:IDirect3DTexture2";
        result = static_cast<IDirect3DTexture2*>(this);
    } else {
        return E_NOINTERFACE;
    }
    if (HRESULT hr = Injected(name); FAILED(hr))
        return hr;
    AddRef();
    *object = result;
    return S_OK;
}

// ---- State ------------------------------------------------------------------------------------

bool SurfaceImpl::Lost() const { return lost_; }

void SurfaceImpl::SetLost(bool lost) { lost_ = lost; }

HRESULT SurfaceImpl::CheckUsable() const { return lost_ ? DDERR_SURFACELOST : DD_OK; }

void SurfaceImpl::Touch() {
    revision_ = NextRevision();
    ++uniqueness_;
}

SurfaceImpl* SurfaceImpl::AttachedDepth() const {
    for (SurfaceImpl* a : attached_)
        if (a->caps_.dwCaps & DDSCAPS_ZBUFFER)
            return a;
    return nullptr;
}

bool SurfaceImpl::SourceKey(DDCOLORKEY* key) const {
    if (hasSourceKey_ && key)
        *key = sourceKey_;
    return hasSourceKey_;
}

bool SurfaceImpl::DestKey(DDCOLORKEY* key) const {
    if (hasDestKey_ && key)
        *key = destKey_;
    return hasDestKey_;
}

HRESULT SurfaceImpl::IsLost() { return CheckUsable(); }

HRESULT SurfaceImpl::Restore() {
    if (HRESULT hr = Injected("Surface::Restore"); FAILED(hr))
        return hr;
    SurfaceImpl* top = root_ ? root_ : this;
    top->lost_ = false;
    for (SurfaceImpl* m : top->members_)
        m->lost_ = false;
    return DD_OK;
}

HRESULT SurfaceImpl::GetBltStatus(DWORD) { return Injected("Surface::GetBltStatus"); }

HRESULT SurfaceImpl::GetFlipStatus(DWORD) {
    if (HRESULT hr = Injected("Surface::GetFlipStatus"); FAILED(hr))
        return hr;
    return flipChain_.empty() ? DDERR_NOTFLIPPABLE : DD_OK;
}

HRESULT SurfaceImpl::GetUniquenessValue(DWORD* value) {
    if (!value)
        return DDERR_INVALIDPARAMS;
    *value = uniqueness_;
    return DD_OK;
}

HRESULT SurfaceImpl::ChangeUniquenessValue() {
    ++uniqueness_;
    return DD_OK;
}

HRESULT SurfaceImpl::GetDDInterface(LPVOID* directDraw) {
    if (!directDraw)
        return DDERR_INVALIDPARAMS;
    IDirectDraw4* dd = owner_;
    dd->AddRef();
    *directDraw = dd;
    return DD_OK;
}

HRESULT SurfaceImpl::GetPixelFormat(DDPIXELFORMAT* format) {
    if (!format)
        return DDERR_INVALIDPARAMS;
    *format = format_;
    return DD_OK;
}

HRESULT SurfaceImpl::GetCaps(DDSCAPS2* caps) {
    if (!caps)
        return DDERR_INVALIDPARAMS;
    *caps = caps_;
    return DD_OK;
}

HRESULT SurfaceImpl::GetCaps(DDSCAPS* caps) {
    if (!caps)
        return DDERR_INVALIDPARAMS;
    caps->dwCaps = caps_.dwCaps;
    return DD_OK;
}

void SurfaceImpl::FillDesc(DDSURFACEDESC2* d) const {
    DWORD size = d->dwSize;
    std::memset(d, 0, sizeof(*d));
    d->dwSize = size;
    d->dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PITCH | DDSD_PIXELFORMAT;
    d->dwWidth = width_;
    d->dwHeight = height_;
    d->lPitch = pitch_;
    d->ddpfPixelFormat = format_;
    d->ddsCaps = caps_;
    if (!flipChain_.empty() && flipChain_.front() == this) {
        d->dwFlags |= DDSD_BACKBUFFERCOUNT;
        d->dwBackBufferCount = static_cast<DWORD>(flipChain_.size() - 1);
    }
    if (caps_.dwCaps & DDSCAPS_MIPMAP) {
        d->dwFlags |= DDSD_MIPMAPCOUNT;
        d->dwMipMapCount = mipCount_;
    }
    if (hasSourceKey_) {
        d->dwFlags |= DDSD_CKSRCBLT;
        d->ddckCKSrcBlt = sourceKey_;
    }
    if (hasDestKey_) {
        d->dwFlags |= DDSD_CKDESTBLT;
        d->ddckCKDestBlt = destKey_;
    }
    if (textureStage_) {
        d->dwFlags |= DDSD_TEXTURESTAGE;
        d->dwTextureStage = textureStage_;
    }
}

HRESULT SurfaceImpl::GetSurfaceDesc(DDSURFACEDESC2* desc) {
    if (!desc || !SizeOk(desc->dwSize, sizeof(DDSURFACEDESC2), kDDSurfaceDesc2Size32))
        return DDERR_INVALIDPARAMS;
    if (HRESULT hr = Injected("Surface::GetSurfaceDesc"); FAILED(hr))
        return hr;
    FillDesc(desc);
    return DD_OK;
}
HRESULT SurfaceImpl::GetSurfaceDesc(DDSURFACEDESC* desc) {
    return AnswerInDesc1(desc, [this](DDSURFACEDESC2* d2) { return GetSurfaceDesc(d2); });
}

// ---- Locking ----------------------------------------------------------------------------------

HRESULT SurfaceImpl::DoLock(RECT* rect, DDSURFACEDESC2* desc, DWORD flags) {
    if (HRESULT hr = CheckUsable(); FAILED(hr))
        return hr;
    if (HRESULT hr = Injected("Surface::Lock"); FAILED(hr))
        return hr;
    if (TakeBusy(this) || lockCount_ > 0)
        return DDERR_SURFACEBUSY;
    RECT r{0, 0, static_cast<LONG>(width_), static_cast<LONG>(height_)};
    if (rect) {
        if (rect->left < 0 || rect->top < 0 || rect->left >= rect->right || rect->top >= rect->bottom ||
            rect->right > static_cast<LONG>(width_) || rect->bottom > static_cast<LONG>(height_))
            return DDERR_INVALIDRECT;
        r = *rect;
    }
    FillDesc(desc);
    desc->dwFlags |= DDSD_LPSURFACE;
    desc->lpSurface =
        buffer_.data + static_cast<ptrdiff_t>(r.top) * pitch_ + static_cast<ptrdiff_t>(r.left) * info_.bytes;
    ++lockCount_;
    lockedForWrite_ = !(flags & DDLOCK_READONLY);
    return DD_OK;
}

HRESULT SurfaceImpl::DoUnlock() {
    if (lockCount_ == 0)
        return DDERR_NOTLOCKED;
    --lockCount_;
    if (lockedForWrite_) {
        Touch();
        if (IsPrimary())
            PresentPrimary(this);
    }
    return DD_OK;
}

HRESULT SurfaceImpl::Lock(RECT* rect, DDSURFACEDESC2* desc, DWORD flags, HANDLE) {
    if (!desc || !SizeOk(desc->dwSize, sizeof(DDSURFACEDESC2), kDDSurfaceDesc2Size32))
        return DDERR_INVALIDPARAMS;
    return DoLock(rect, desc, flags);
}

HRESULT SurfaceImpl::Lock(RECT* rect, DDSURFACEDESC* desc, DWORD flags, HANDLE) {
    return AnswerInDesc1(desc, [&](DDSURFACEDESC2* d2) { return DoLock(rect, d2, flags); });
}

HRESULT SurfaceImpl::Unlock(RECT*) { return DoUnlock(); }
HRESULT SurfaceImpl::Unlock(LPVOID) { return DoUnlock(); }

// ---- Flipping ---------------------------------------------------------------------------------

HRESULT SurfaceImpl::DoFlip(SurfaceImpl* target) {
    if (flipChain_.size() < 2 || flipChain_.front() != this)
        return DDERR_NOTFLIPPABLE;
    for (SurfaceImpl* s : flipChain_)
        if (HRESULT hr = s->CheckUsable(); FAILED(hr))
            return hr;
    if (HRESULT hr = Injected("Surface::Flip"); FAILED(hr))
        return hr;
    if (TakeBusy(this))
        return DDERR_WASSTILLDRAWING;
    for (SurfaceImpl* s : flipChain_)
        if (s->lockCount_ > 0)
            return DDERR_SURFACEBUSY;
    size_t turns = 1;
    if (target) {
        auto it = std::find(flipChain_.begin(), flipChain_.end(), target);
        if (it == flipChain_.end() || it == flipChain_.begin())
            return DDERR_INVALIDPARAMS;
        turns = static_cast<size_t>(it - flipChain_.begin());
    }
    // The surfaces keep their roles; their memory moves one step towards the front.
    for (size_t t = 0; t < turns; ++t)
        for (size_t i = 0; i + 1 < flipChain_.size(); ++i)
            std::swap(flipChain_[i]->buffer_, flipChain_[i + 1]->buffer_);
    for (SurfaceImpl* s : flipChain_)
        s->Touch();
    if (IsPrimary())
        PresentPrimary(this);
    return DD_OK;
}

HRESULT SurfaceImpl::Flip(IDirectDrawSurface4* target, DWORD) {
    return DoFlip(target ? From(target) : nullptr);
}

HRESULT SurfaceImpl::Flip(IDirectDrawSurface* target, DWORD) {
    return DoFlip(target ? From(target) : nullptr);
}

// ---- Attachments ------------------------------------------------------------------------------

std::vector<SurfaceImpl*> SurfaceImpl::AttachedList() const {
    std::vector<SurfaceImpl*> list;
    if (!flipChain_.empty()) {
        auto it = std::find(flipChain_.begin(), flipChain_.end(), this);
        if (it != flipChain_.end()) {
            SurfaceImpl* next = (it + 1 == flipChain_.end()) ? flipChain_.front() : *(it + 1);
            if (next != this)
                list.push_back(next);
        }
    }
    if (mipNext_)
        list.push_back(mipNext_);
    list.insert(list.end(), attached_.begin(), attached_.end());
    return list;
}

HRESULT SurfaceImpl::DoGetAttached(DWORD caps, SurfaceImpl** found) {
    *found = nullptr;
    if (HRESULT hr = Injected("Surface::GetAttachedSurface"); FAILED(hr))
        return hr;
    for (SurfaceImpl* s : AttachedList()) {
        if ((s->caps_.dwCaps & caps) == caps) {
            s->AddRef();
            *found = s;
            return DD_OK;
        }
    }
    return DDERR_NOTFOUND;
}

HRESULT SurfaceImpl::GetAttachedSurface(DDSCAPS2* caps, IDirectDrawSurface4** surface) {
    if (!caps || !surface)
        return DDERR_INVALIDPARAMS;
    SurfaceImpl* found = nullptr;
    HRESULT hr = DoGetAttached(caps->dwCaps, &found);
    *surface = found ? found->AsV4() : nullptr;
    return hr;
}

HRESULT SurfaceImpl::GetAttachedSurface(DDSCAPS* caps, IDirectDrawSurface** surface) {
    if (!caps || !surface)
        return DDERR_INVALIDPARAMS;
    SurfaceImpl* found = nullptr;
    HRESULT hr = DoGetAttached(caps->dwCaps, &found);
    *surface = found;
    return hr;
}

HRESULT SurfaceImpl::DoAddAttached(SurfaceImpl* surface) {
    if (!surface || surface == this)
        return DDERR_INVALIDPARAMS;
    if (HRESULT hr = Injected("Surface::AddAttachedSurface"); FAILED(hr))
        return hr;
    if (!(surface->caps_.dwCaps & DDSCAPS_ZBUFFER) || (caps_.dwCaps & DDSCAPS_ZBUFFER))
        return DDERR_CANNOTATTACHSURFACE;
    if (AttachedDepth())
        return DDERR_SURFACEALREADYATTACHED;
    if (surface->width_ != width_ || surface->height_ != height_)
        return DDERR_CANNOTATTACHSURFACE;
    surface->AddRef();
    attached_.push_back(surface);
    return DD_OK;
}

HRESULT SurfaceImpl::AddAttachedSurface(IDirectDrawSurface4* surface) {
    return DoAddAttached(surface ? From(surface) : nullptr);
}

HRESULT SurfaceImpl::AddAttachedSurface(IDirectDrawSurface* surface) {
    return DoAddAttached(surface ? From(surface) : nullptr);
}

HRESULT SurfaceImpl::DoDeleteAttached(SurfaceImpl* surface) {
    if (!surface) {
        std::vector<SurfaceImpl*> all;
        all.swap(attached_);
        for (SurfaceImpl* a : all)
            a->Release();
        return DD_OK;
    }
    auto it = std::find(attached_.begin(), attached_.end(), surface);
    if (it == attached_.end())
        return DDERR_SURFACENOTATTACHED;
    attached_.erase(it);
    surface->Release();
    return DD_OK;
}

HRESULT SurfaceImpl::DeleteAttachedSurface(DWORD, IDirectDrawSurface4* surface) {
    return DoDeleteAttached(surface ? From(surface) : nullptr);
}

HRESULT SurfaceImpl::DeleteAttachedSurface(DWORD, IDirectDrawSurface* surface) {
    return DoDeleteAttached(surface ? From(surface) : nullptr);
}

HRESULT SurfaceImpl::EnumAttachedSurfaces(LPVOID context, LPDDENUMSURFACESCALLBACK2 callback) {
    if (!callback)
        return DDERR_INVALIDPARAMS;
    for (SurfaceImpl* s : AttachedList()) {
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof(d);
        s->FillDesc(&d);
        s->AddRef();
        if (callback(s->AsV4(), &d, context) == DDENUMRET_CANCEL)
            break;
    }
    return DD_OK;
}

HRESULT SurfaceImpl::EnumAttachedSurfaces(LPVOID context, LPDDENUMSURFACESCALLBACK callback) {
    if (!callback)
        return DDERR_INVALIDPARAMS;
    for (SurfaceImpl* s : AttachedList()) {
        DDSURFACEDESC2 d2{};
        d2.dwSize = sizeof(d2);
        s->FillDesc(&d2);
        DDSURFACEDESC d{};
        d.dwSize = sizeof(d);
        ToDesc1(d2, &d);
        s->AddRef();
        if (callback(s, &d, context) == DDENUMRET_CANCEL)
            break;
    }
    return DD_OK;
}

// ---- Colour keys, palettes, clippers ----------------------------------------------------------

HRESULT SurfaceImpl::SetColorKey(DWORD flags, DDCOLORKEY* key) {
    if (HRESULT hr = Injected("Surface::SetColorKey"); FAILED(hr))
        return hr;
    DDCOLORKEY k{};
    if (key) {
        k = *key;
        if (!(flags & DDCKEY_COLORSPACE))
            k.dwColorSpaceHighValue = k.dwColorSpaceLowValue;
        if (k.dwColorSpaceHighValue < k.dwColorSpaceLowValue)
            return DDERR_INVALIDPARAMS;
    }
    if (flags & DDCKEY_SRCBLT) {
        hasSourceKey_ = key != nullptr;
        sourceKey_ = k;
    } else if (flags & DDCKEY_DESTBLT) {
        hasDestKey_ = key != nullptr;
        destKey_ = k;
    } else if (!(flags & (DDCKEY_SRCOVERLAY | DDCKEY_DESTOVERLAY))) {
        return DDERR_INVALIDPARAMS;
    }
    Touch();
    return DD_OK;
}

HRESULT SurfaceImpl::GetColorKey(DWORD flags, DDCOLORKEY* key) {
    if (!key)
        return DDERR_INVALIDPARAMS;
    if ((flags & DDCKEY_SRCBLT) && hasSourceKey_) {
        *key = sourceKey_;
        return DD_OK;
    }
    if ((flags & DDCKEY_DESTBLT) && hasDestKey_) {
        *key = destKey_;
        return DD_OK;
    }
    return DDERR_NOCOLORKEY;
}

HRESULT SurfaceImpl::SetPalette(IDirectDrawPalette* palette) {
    if (HRESULT hr = Injected("Surface::SetPalette"); FAILED(hr))
        return hr;
    if (palette && info_.kind != PixelKind::Palette8)
        return DDERR_INVALIDPIXELFORMAT;
    PaletteImpl* p = palette ? PaletteImpl::From(palette) : nullptr;
    if (p == palette_)
        return DD_OK;
    if (palette)
        palette->AddRef();
    if (palette_)
        static_cast<IDirectDrawPalette*>(palette_)->Release();
    palette_ = p;
    Touch();
    return DD_OK;
}

HRESULT SurfaceImpl::GetPalette(IDirectDrawPalette** palette) {
    if (!palette)
        return DDERR_INVALIDPARAMS;
    *palette = palette_;
    if (!palette_)
        return DDERR_NOPALETTEATTACHED;
    palette_->AddRef();
    return DD_OK;
}

HRESULT SurfaceImpl::SetClipper(IDirectDrawClipper* clipper) {
    if (HRESULT hr = Injected("Surface::SetClipper"); FAILED(hr))
        return hr;
    ClipperImpl* c = clipper ? ClipperImpl::From(clipper) : nullptr;
    if (c == clipper_)
        return DD_OK;
    if (clipper)
        clipper->AddRef();
    if (clipper_)
        static_cast<IDirectDrawClipper*>(clipper_)->Release();
    clipper_ = c;
    return DD_OK;
}

HRESULT SurfaceImpl::GetClipper(IDirectDrawClipper** clipper) {
    if (!clipper)
        return DDERR_INVALIDPARAMS;
    *clipper = clipper_;
    if (!clipper_)
        return DDERR_NOCLIPPERATTACHED;
    clipper_->AddRef();
    return DD_OK;
}

// ---- IDirect3DTexture2 ------------------------------------------------------------------------

HRESULT SurfaceImpl::GetHandle(IDirect3DDevice3*, DWORD* handle) {
    if (!handle)
        return DDERR_INVALIDPARAMS;
    *handle = static_cast<DWORD>(reinterpret_cast<uintptr_t>(this) >> 4);
    return D3D_OK;
}

HRESULT SurfaceImpl::PaletteChanged(DWORD, DWORD) {
    if (HRESULT hr = Injected("Texture::PaletteChanged"); FAILED(hr))
        return hr;
    Touch();
    return D3D_OK;
}

HRESULT SurfaceImpl::Load(IDirect3DTexture2* source) {
    if (!source)
        return DDERR_INVALIDPARAMS;
    SurfaceImpl* from = From(source);
    SurfaceImpl* to = this;
    while (from && to) {
        if (HRESULT hr = to->DoBlt(nullptr, from, nullptr, DDBLT_WAIT, nullptr); FAILED(hr))
            return hr;
        from = from->mipNext_;
        to = to->mipNext_;
    }
    return D3D_OK;
}

// ---- The rasteriser's texture -----------------------------------------------------------------

namespace {

// The wrapped bilinear layout of every level (see TexLevel::quads).
void BuildQuads(raster::TexData* t) {
    size_t total = 0;
    for (int i = 0; i < t->levelCount; ++i)
        total += static_cast<size_t>(t->levels[i].width + 1) * t->levels[i].height * 2;
    t->quads.resize(total);
    uint32_t* q = t->quads.data();
    for (int i = 0; i < t->levelCount; ++i) {
        raster::TexLevel& level = t->levels[i];
        const int w = level.width, h = level.height;
        level.quads = q;
        for (int y = 0; y < h; ++y) {
            const uint32_t* row = level.texels + static_cast<ptrdiff_t>(y) * w;
            const uint32_t* below = level.texels + static_cast<ptrdiff_t>((y + 1) & (h - 1)) * w;
            for (int x = 0; x <= w; ++x) {
                const int sx = x & (w - 1);
                *q++ = row[sx];
                *q++ = below[sx];
            }
        }
    }
}

}  // namespace

const raster::TexData* SurfaceImpl::TextureData() {
    std::vector<SurfaceImpl*> chain;
    for (SurfaceImpl* s = this; s && chain.size() < static_cast<size_t>(raster::kMaxLevels); s = s->mipNext_)
        chain.push_back(s);
    const uint64_t paletteRevision = palette_ ? palette_->Revision() : 0;
    bool fresh = texture_ && textureRevisions_.size() == chain.size() && texturePaletteRevision_ == paletteRevision;
    for (size_t i = 0; fresh && i < chain.size(); ++i)
        fresh = textureRevisions_[i] == chain[i]->revision_;
    if (fresh)
        return texture_.get();
    if (info_.kind != PixelKind::Rgb && info_.kind != PixelKind::Palette8)
        return nullptr;

    auto t = std::make_unique<raster::TexData>();
    size_t total = 0;
    for (SurfaceImpl* s : chain)
        total += static_cast<size_t>(s->width_) * s->height_;
    t->texels.resize(total);
    if (hasSourceKey_)
        t->keyed.resize(total);
    t->format = format_;
    t->hasAlpha = info_.hasAlpha;
    t->hasKey = hasSourceKey_;
    t->powerOfTwo = std::has_single_bit(width_) && std::has_single_bit(height_);
    const PALETTEENTRY* entries = palette_ ? palette_->Entries() : nullptr;
    size_t offset = 0;
    textureRevisions_.clear();
    for (size_t i = 0; i < chain.size(); ++i) {
        SurfaceImpl* s = chain[i];
        raster::TexLevel& level = t->levels[i];
        level.width = static_cast<int>(s->width_);
        level.height = static_cast<int>(s->height_);
        level.widthLog2 = std::has_single_bit(s->width_) ? std::countr_zero(s->width_) : -1;
        level.heightLog2 = std::has_single_bit(s->height_) ? std::countr_zero(s->height_) : -1;
        level.texels = t->texels.data() + offset;
        ConvertLevel(s->buffer_.data, s->pitch_, level.width, level.height, s->info_, entries,
                     t->texels.data() + offset);
        if (hasSourceKey_) {
            uint8_t* keyed = t->keyed.data() + offset;
            level.keyed = keyed;
            for (int y = 0; y < level.height; ++y) {
                const uint8_t* row = s->buffer_.data + static_cast<ptrdiff_t>(y) * s->pitch_;
                for (int x = 0; x < level.width; ++x)
                    keyed[y * level.width + x] =
                        InRange(LoadPixel(row + x * s->info_.bytes, s->info_.bytes), sourceKey_);
            }
        }
        offset += static_cast<size_t>(level.width) * level.height;
        textureRevisions_.push_back(s->revision_);
    }
    t->levelCount = static_cast<int>(chain.size());
    if (t->powerOfTwo)
        BuildQuads(t.get());
    texturePaletteRevision_ = paletteRevision;
    texture_ = std::move(t);
    return texture_.get();
}

// ---- Controls ---------------------------------------------------------------------------------

void SetSurfaceBusy(IUnknown* surface, int times) {
    if (SurfaceImpl* s = SurfaceImpl::FromUnknown(surface))
        GetState().busy[s] = times;
}

void LoseSurface(IUnknown* surface) {
    if (SurfaceImpl* s = SurfaceImpl::FromUnknown(surface))
        s->SetLost(true);
}

void LoseAllSurfaces() {
    for (SurfaceImpl* s : GetState().surfaces)
        s->SetLost(true);
}

void ResetDDraw() {
    State& s = GetState();
    s.profile = DefaultCapsProfile();
    s.display = DisplayState{};
    s.display.mode = s.profile.desktop;
    s.injections.clear();
    s.busy.clear();
    s.tracing = false;
    s.trace.clear();
    s.presents = 0;
    s.forceGeneralRaster = false;
    s.rasterizing = true;
    s.pixelsWritten = 0;
    SetModuleLoaded("DDRAW.DLL", true);
}

}  // namespace platform::dd
