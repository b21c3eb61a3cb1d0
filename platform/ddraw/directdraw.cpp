// The DirectDraw object (display modes, cooperative level, caps, surfaces, palettes, clippers),
// its Direct3D interface (devices, viewports, vertex buffers, formats), and the entry points.

#include <algorithm>
#include <cstring>

#include "platform/ddraw/objects.h"
#include "platform/win/win.h"

namespace platform::dd {

namespace {

void CopyText(char* out, size_t size, const std::string& text) {
    size_t n = std::min(size - 1, text.size());
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
}

}  // namespace

DDSURFACEDESC2 ToDesc2(const DDSURFACEDESC& d) {
    DDSURFACEDESC2 out{};
    out.dwSize = sizeof(out);
    out.dwFlags = d.dwFlags;
    out.dwHeight = d.dwHeight;
    out.dwWidth = d.dwWidth;
    out.lPitch = d.lPitch;
    out.dwBackBufferCount = d.dwBackBufferCount;
    out.dwMipMapCount = d.dwMipMapCount;
    out.dwAlphaBitDepth = d.dwAlphaBitDepth;
    out.lpSurface = d.lpSurface;
    out.ddckCKDestOverlay = d.ddckCKDestOverlay;
    out.ddckCKDestBlt = d.ddckCKDestBlt;
    out.ddckCKSrcOverlay = d.ddckCKSrcOverlay;
    out.ddckCKSrcBlt = d.ddckCKSrcBlt;
    out.ddpfPixelFormat = d.ddpfPixelFormat;
    out.ddsCaps.dwCaps = d.ddsCaps.dwCaps;
    if (d.dwFlags & DDSD_ZBUFFERBITDEPTH) {
        // The first interface gives a Z-buffer by its depth only.
        out.dwFlags = (out.dwFlags & ~DDSD_ZBUFFERBITDEPTH) | DDSD_PIXELFORMAT;
        DWORD bits = d.dwZBufferBitDepth;
        out.ddpfPixelFormat = MakeDepthFormat(bits, bits >= 32 ? 0xFFFFFFFFu : (1u << bits) - 1, 0, 0);
    }
    return out;
}

void ToDesc1(const DDSURFACEDESC2& in, DDSURFACEDESC* out) {
    DWORD size = out->dwSize;
    std::memset(out, 0, sizeof(*out));
    out->dwSize = size;
    out->dwFlags = in.dwFlags & ~DDSD_TEXTURESTAGE;
    out->dwHeight = in.dwHeight;
    out->dwWidth = in.dwWidth;
    out->lPitch = in.lPitch;
    out->dwBackBufferCount = in.dwBackBufferCount;
    out->dwMipMapCount = in.dwMipMapCount;
    out->dwAlphaBitDepth = in.dwAlphaBitDepth;
    out->lpSurface = in.lpSurface;
    out->ddckCKDestOverlay = in.ddckCKDestOverlay;
    out->ddckCKDestBlt = in.ddckCKDestBlt;
    out->ddckCKSrcOverlay = in.ddckCKSrcOverlay;
    out->ddckCKSrcBlt = in.ddckCKSrcBlt;
    out->ddpfPixelFormat = in.ddpfPixelFormat;
    out->ddsCaps.dwCaps = in.ddsCaps.dwCaps;
}

namespace {

void ModeDesc(const DisplayMode& mode, bool is555, DDSURFACEDESC2* d) {
    std::memset(d, 0, sizeof(*d));
    d->dwSize = sizeof(*d);
    d->dwFlags = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT | DDSD_REFRESHRATE;
    d->dwWidth = mode.width;
    d->dwHeight = mode.height;
    d->lPitch = static_cast<LONG>(((mode.width * ((mode.bitsPerPixel + 7) / 8)) + 3) & ~3u);
    d->dwRefreshRate = 60;
    d->ddpfPixelFormat = DisplayFormat(mode.bitsPerPixel, is555);
}

D3DPRIMCAPS PrimCaps(const CapsProfile& p) {
    D3DPRIMCAPS c{};
    c.dwSize = sizeof(c);
    c.dwMiscCaps = p.miscCaps;
    c.dwRasterCaps = p.rasterCaps;
    c.dwZCmpCaps = p.zCmpCaps;
    c.dwSrcBlendCaps = p.srcBlendCaps;
    c.dwDestBlendCaps = p.destBlendCaps;
    c.dwAlphaCmpCaps = p.alphaCmpCaps;
    c.dwShadeCaps = p.shadeCaps;
    c.dwTextureCaps = p.textureCaps;
    c.dwTextureFilterCaps = p.textureFilterCaps;
    c.dwTextureBlendCaps = p.textureBlendCaps;
    c.dwTextureAddressCaps = p.textureAddressCaps;
    return c;
}

D3DDEVICEDESC EmptyDesc() {
    D3DDEVICEDESC d{};
    d.dwSize = sizeof(d);
    return d;
}

struct DeviceEntry {
    const GUID* guid;
    const char* description;
    const char* name;
    bool hardware;
};

}  // namespace

bool PixelBuffer::Allocate(size_t bytes) {
    raw.reset(new (std::nothrow) uint8_t[bytes + 64]());
    if (!raw)
        return false;
    uintptr_t p = reinterpret_cast<uintptr_t>(raw.get());
    data = raw.get() + ((64 - (p & 63)) & 63);
    size = bytes;
    return true;
}

D3DDEVICEDESC MakeDeviceDesc(const CapsProfile& p, bool hardware) {
    D3DDEVICEDESC d{};
    d.dwSize = sizeof(d);
    d.dwFlags = D3DDD_COLORMODEL | D3DDD_DEVCAPS | D3DDD_TRANSFORMCAPS | D3DDD_LIGHTINGCAPS | D3DDD_BCLIPPING |
                D3DDD_LINECAPS | D3DDD_TRICAPS | D3DDD_DEVICERENDERBITDEPTH | D3DDD_DEVICEZBUFFERBITDEPTH |
                D3DDD_MAXBUFFERSIZE | D3DDD_MAXVERTEXCOUNT;
    d.dcmColorModel = D3DCOLOR_RGB;
    d.dwDevCaps = p.devCaps | (hardware ? D3DDEVCAPS_HWRASTERIZATION : 0);
    if (!hardware)
        d.dwDevCaps &= ~(D3DDEVCAPS_TEXTUREVIDEOMEMORY | D3DDEVCAPS_TEXTURENONLOCALVIDMEM |
                         D3DDEVCAPS_SEPARATETEXTUREMEMORIES);
    d.dtcTransformCaps = {sizeof(D3DTRANSFORMCAPS), 1};
    d.bClipping = TRUE;
    d.dlcLightingCaps = {sizeof(D3DLIGHTINGCAPS), 0x7, 1, 8};
    d.dpcLineCaps = PrimCaps(p);
    d.dpcTriCaps = PrimCaps(p);
    d.dwDeviceRenderBitDepth = p.renderDepths;
    d.dwDeviceZBufferBitDepth = p.zBufferDepths;
    d.dwMaxVertexCount = p.maxVertexCount;
    d.dwMinTextureWidth = 1;
    d.dwMinTextureHeight = 1;
    d.dwMaxTextureWidth = p.maxTextureWidth;
    d.dwMaxTextureHeight = p.maxTextureHeight;
    d.dwMaxTextureRepeat = 32768;
    d.dwMaxTextureAspectRatio = (p.textureCaps & D3DPTEXTURECAPS_SQUAREONLY) ? 1 : 0;
    d.dwMaxAnisotropy = 1;
    d.dvGuardBandLeft = -8192;
    d.dvGuardBandTop = -8192;
    d.dvGuardBandRight = 8192;
    d.dvGuardBandBottom = 8192;
    d.dwFVFCaps = 2;
    d.dwTextureOpCaps = p.textureOpCaps;
    d.wMaxTextureBlendStages = p.maxTextureBlendStages;
    d.wMaxSimultaneousTextures = p.maxSimultaneousTextures;
    return d;
}

DWORD VertexSize(DWORD format) {
    DWORD size = 0;
    switch (format & D3DFVF_POSITION_MASK) {
    case D3DFVF_XYZRHW: size = 16; break;
    default: return 0;  // we draw only transformed vertices
    }
    if (format & D3DFVF_NORMAL)
        return 0;
    if (format & D3DFVF_RESERVED1)
        size += 4;
    if (format & D3DFVF_DIFFUSE)
        size += 4;
    if (format & D3DFVF_SPECULAR)
        size += 4;
    DWORD sets = (format & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
    if (sets > 8)
        return 0;
    return size + 8 * sets;
}

// ---- DirectDrawImpl ----------------------------------------------------------------------------

DirectDrawImpl::DirectDrawImpl(size_t driverIndex) : driver_(driverIndex) {}

DirectDrawImpl::~DirectDrawImpl() {
    State& s = GetState();
    if (s.display.exclusiveOwner == this) {
        if (s.display.modeChanged)
            ChangeMode(s.profile.desktop);
        s.display.modeChanged = false;
        s.display.exclusiveOwner = nullptr;
        s.display.exclusiveWindow = nullptr;
    }
}

ULONG DirectDrawImpl::Release() {
    ULONG r = --refs_;
    if (r == 0)
        delete this;
    return r;
}

HRESULT DirectDrawImpl::QueryInterface(REFIID riid, void** object) {
    if (!object)
        return E_POINTER;
    *object = nullptr;
    const char* name = nullptr;
    void* result = nullptr;
    if (riid == IID_IUnknown || riid == IID_IDirectDraw) {
        name = "QueryInterface:IDirectDraw";
        result = static_cast<IDirectDraw*>(this);
    } else if (riid == IID_IDirectDraw2) {
        name = "QueryInterface:IDirectDraw2";
        result = static_cast<IDirectDraw2*>(this);
    } else if (riid == IID_IDirectDraw4) {
        name = "QueryInterface:IDirectDraw4";
        result = static_cast<IDirectDraw4*>(this);
    } else if (riid == IID_IDirect3D3) {
        name = "QueryInterface:IDirect3D3";
        result = static_cast<IDirect3D3*>(this);
    } else {
        return E_NOINTERFACE;
    }
    if (HRESULT hr = Injected(name); FAILED(hr))
        return hr;
    AddRef();
    *object = result;
    return S_OK;
}

const DriverProfile& DirectDrawImpl::Driver() const {
    static const DriverProfile kNone;
    const auto& drivers = GetState().profile.drivers;
    return driver_ < drivers.size() ? drivers[driver_] : kNone;
}

bool DirectDrawImpl::HardwareDevice() const { return Driver().hardware3d; }

HRESULT DirectDrawImpl::CreateClipper(DWORD, IDirectDrawClipper** clipper, IUnknown* outer) {
    if (!clipper || outer)
        return DDERR_INVALIDPARAMS;
    if (HRESULT hr = Injected("DirectDraw::CreateClipper"); FAILED(hr))
        return hr;
    *clipper = new ClipperImpl(this);
    return DD_OK;
}

HRESULT DirectDrawImpl::CreatePalette(DWORD flags, PALETTEENTRY* entries, IDirectDrawPalette** palette,
                                      IUnknown* outer) {
    if (!palette || outer)
        return DDERR_INVALIDPARAMS;
    *palette = nullptr;
    if (!(flags & (DDPCAPS_8BIT | DDPCAPS_4BIT)))
        return DDERR_INVALIDPARAMS;
    if (HRESULT hr = Injected("DirectDraw::CreatePalette"); FAILED(hr))
        return hr;
    *palette = new PaletteImpl(this, flags, entries);
    return DD_OK;
}

HRESULT DirectDrawImpl::CreateSurface(DDSURFACEDESC* desc, IDirectDrawSurface** surface, IUnknown* outer) {
    if (!desc || !surface || outer || !SizeOk(desc->dwSize, sizeof(DDSURFACEDESC), kDDSurfaceDescSize32))
        return DDERR_INVALIDPARAMS;
    *surface = nullptr;
    if (HRESULT hr = Injected("DirectDraw::CreateSurface"); FAILED(hr))
        return hr;
    SurfaceImpl* made = nullptr;
    HRESULT hr = SurfaceImpl::Create(this, ToDesc2(*desc), &made);
    if (SUCCEEDED(hr))
        *surface = made;
    return hr;
}

HRESULT DirectDrawImpl::CreateSurface(DDSURFACEDESC2* desc, IDirectDrawSurface4** surface, IUnknown* outer) {
    if (!desc || !surface || outer || !SizeOk(desc->dwSize, sizeof(DDSURFACEDESC2), kDDSurfaceDesc2Size32))
        return DDERR_INVALIDPARAMS;
    *surface = nullptr;
    if (HRESULT hr = Injected("DirectDraw::CreateSurface"); FAILED(hr))
        return hr;
    SurfaceImpl* made = nullptr;
    HRESULT hr = SurfaceImpl::Create(this, *desc, &made);
    if (SUCCEEDED(hr))
        *surface = made->AsV4();
    return hr;
}

HRESULT DirectDrawImpl::EnumDisplayModes(DWORD, DDSURFACEDESC2* filter, LPVOID context,
                                         LPDDENUMMODESCALLBACK2 callback) {
    if (!callback)
        return DDERR_INVALIDPARAMS;
    const State& s = GetState();
    const std::vector<DisplayMode> modes = s.profile.displayModes;
    for (const DisplayMode& m : modes) {
        if (filter) {
            if ((filter->dwFlags & DDSD_WIDTH) && filter->dwWidth != m.width)
                continue;
            if ((filter->dwFlags & DDSD_HEIGHT) && filter->dwHeight != m.height)
                continue;
            if ((filter->dwFlags & DDSD_PIXELFORMAT) && filter->ddpfPixelFormat.dwRGBBitCount != m.bitsPerPixel)
                continue;
        }
        DDSURFACEDESC2 d;
        ModeDesc(m, s.profile.sixteenBitIs555, &d);
        if (callback(&d, context) == DDENUMRET_CANCEL)
            break;
    }
    return DD_OK;
}

HRESULT DirectDrawImpl::EnumDisplayModes(DWORD flags, DDSURFACEDESC* filter, LPVOID context,
                                         LPDDENUMMODESCALLBACK callback) {
    if (!callback)
        return DDERR_INVALIDPARAMS;
    DDSURFACEDESC2 filter2;
    if (filter)
        filter2 = ToDesc2(*filter);
    struct Forward {
        LPDDENUMMODESCALLBACK callback;
        LPVOID context;
    } forward{callback, context};
    return EnumDisplayModes(
        flags, filter ? &filter2 : nullptr, &forward, [](DDSURFACEDESC2* d, LPVOID ctx) -> HRESULT {
            auto* f = static_cast<Forward*>(ctx);
            DDSURFACEDESC d1{};
            d1.dwSize = sizeof(d1);
            ToDesc1(*d, &d1);
            return f->callback(&d1, f->context);
        });
}

HRESULT DirectDrawImpl::GetCaps(DDCAPS* driverCaps, DDCAPS* emulationCaps) {
    if (!driverCaps && !emulationCaps)
        return DDERR_INVALIDPARAMS;
    if ((driverCaps && driverCaps->dwSize != sizeof(DDCAPS)) ||
        (emulationCaps && emulationCaps->dwSize != sizeof(DDCAPS)))
        return DDERR_INVALIDPARAMS;
    if (HRESULT hr = Injected("DirectDraw::GetCaps"); FAILED(hr))
        return hr;
    const State& s = GetState();
    const DriverProfile& d = Driver();
    auto fill = [&](DDCAPS* c, DWORD caps, DWORD caps2, bool video) {
        std::memset(c, 0, sizeof(*c));
        c->dwSize = sizeof(DDCAPS);
        c->dwCaps = caps;
        c->dwCaps2 = caps2;
        c->dwCKeyCaps = (caps & DDCAPS_COLORKEY) ? (DDCKEYCAPS_SRCBLT | DDCKEYCAPS_DESTBLT) : 0;
        c->dwFXCaps = (caps & DDCAPS_BLTSTRETCH) ? (DDFXCAPS_BLTSTRETCHX | DDFXCAPS_BLTSTRETCHY |
                                                    DDFXCAPS_BLTMIRRORLEFTRIGHT | DDFXCAPS_BLTMIRRORUPDOWN)
                                                 : 0;
        c->dwPalCaps = (caps & DDCAPS_PALETTE) ? DDPCAPS_8BIT : 0;
        c->dwZBufferBitDepths = s.profile.zBufferDepths;
        if (video) {
            c->dwVidMemTotal = static_cast<DWORD>(std::min<uint64_t>(s.profile.videoMemoryBytes, 0xFFFFFFFFu));
            uint64_t free = s.profile.videoMemoryBytes > s.videoMemoryUsed
                                ? s.profile.videoMemoryBytes - s.videoMemoryUsed
                                : 0;
            c->dwVidMemFree = static_cast<DWORD>(std::min<uint64_t>(free, 0xFFFFFFFFu));
        }
        if (caps != 0) {
            DWORD surfaceCaps = DDSCAPS_BACKBUFFER | DDSCAPS_COMPLEX | DDSCAPS_FLIP | DDSCAPS_FRONTBUFFER |
                                DDSCAPS_OFFSCREENPLAIN | DDSCAPS_PALETTE | DDSCAPS_PRIMARYSURFACE |
                                DDSCAPS_SYSTEMMEMORY | DDSCAPS_TEXTURE | DDSCAPS_MIPMAP | DDSCAPS_ZBUFFER;
            if (caps & DDCAPS_3D)
                surfaceCaps |= DDSCAPS_3DDEVICE;
            if (video)
                surfaceCaps |= DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM;
            c->ddsCaps.dwCaps = surfaceCaps;
            c->ddsOldCaps.dwCaps = surfaceCaps;
        }
    };
    if (driverCaps)
        fill(driverCaps, d.halCaps, d.halCaps2, d.halCaps != 0);
    if (emulationCaps)
        fill(emulationCaps, s.profile.emulationCaps, 0, false);
    return DD_OK;
}

HRESULT DirectDrawImpl::GetDisplayMode(DDSURFACEDESC2* desc) {
    if (!desc || !SizeOk(desc->dwSize, sizeof(DDSURFACEDESC2), kDDSurfaceDesc2Size32))
        return DDERR_INVALIDPARAMS;
    if (HRESULT hr = Injected("DirectDraw::GetDisplayMode"); FAILED(hr))
        return hr;
    DWORD size = desc->dwSize;
    ModeDesc(GetState().display.mode, GetState().profile.sixteenBitIs555, desc);
    desc->dwSize = size;
    return DD_OK;
}

HRESULT DirectDrawImpl::GetDisplayMode(DDSURFACEDESC* desc) {
    return AnswerInDesc1(desc, [this](DDSURFACEDESC2* d2) { return GetDisplayMode(d2); });
}

HRESULT DirectDrawImpl::GetVerticalBlankStatus(BOOL* inBlank) {
    if (!inBlank)
        return DDERR_INVALIDPARAMS;
    *inBlank = FALSE;
    return DD_OK;
}

HRESULT DirectDrawImpl::WaitForVerticalBlank(DWORD, HANDLE) { return DD_OK; }

HRESULT DirectDrawImpl::ChangeMode(const DisplayMode& mode) {
    State& s = GetState();
    const DisplayMode old = s.display.mode;
    s.display.mode = mode;
    if (old.width == mode.width && old.height == mode.height && old.bitsPerPixel == mode.bitsPerPixel)
        return DD_OK;
    // As on a real display, video-memory surfaces of the old mode are lost.
    for (SurfaceImpl* surface : s.surfaces)
        if (surface->Caps() & DDSCAPS_VIDEOMEMORY)
            surface->SetLost(true);
    return DD_OK;
}

HRESULT DirectDrawImpl::RestoreDisplayMode() {
    if (HRESULT hr = Injected("DirectDraw::RestoreDisplayMode"); FAILED(hr))
        return hr;
    State& s = GetState();
    if (s.display.modeChanged) {
        ChangeMode(s.profile.desktop);
        s.display.modeChanged = false;
    }
    return DD_OK;
}

HRESULT DirectDrawImpl::SetCooperativeLevel(HWND hwnd, DWORD flags) {
    if (HRESULT hr = Injected("DirectDraw::SetCooperativeLevel"); FAILED(hr))
        return hr;
    State& s = GetState();
    const bool fullscreen = (flags & DDSCL_FULLSCREEN) != 0;
    const bool exclusive = (flags & DDSCL_EXCLUSIVE) != 0;
    if (fullscreen != exclusive)
        return DDERR_INVALIDPARAMS;
    if (fullscreen && (flags & DDSCL_NORMAL))
        return DDERR_INVALIDPARAMS;
    if (!fullscreen && !(flags & DDSCL_NORMAL))
        return DDERR_INVALIDPARAMS;
    if (hwnd && !IsWindow(hwnd))
        return DDERR_INVALIDPARAMS;
    if (exclusive) {
        if (!hwnd)
            return DDERR_INVALIDPARAMS;
        if (s.display.exclusiveOwner && s.display.exclusiveOwner != this)
            return DDERR_EXCLUSIVEMODEALREADYSET;
        s.display.exclusiveOwner = this;
        s.display.exclusiveWindow = hwnd;
    } else if (s.display.exclusiveOwner == this) {
        s.display.exclusiveOwner = nullptr;
        s.display.exclusiveWindow = nullptr;
    }
    window_ = hwnd;
    cooperativeFlags_ = flags;
    return DD_OK;
}

HRESULT DirectDrawImpl::SetDisplayMode(DWORD width, DWORD height, DWORD bpp) {
    return SetDisplayMode(width, height, bpp, 0, 0);
}

HRESULT DirectDrawImpl::SetDisplayMode(DWORD width, DWORD height, DWORD bpp, DWORD, DWORD) {
    if (HRESULT hr = Injected("DirectDraw::SetDisplayMode"); FAILED(hr))
        return hr;
    State& s = GetState();
    if (s.display.exclusiveOwner && s.display.exclusiveOwner != this)
        return DDERR_NOEXCLUSIVEMODE;
    const auto& modes = s.profile.displayModes;
    auto it = std::find_if(modes.begin(), modes.end(), [&](const DisplayMode& m) {
        return m.width == width && m.height == height && m.bitsPerPixel == bpp;
    });
    if (it == modes.end())
        return DDERR_INVALIDMODE;
    ChangeMode(*it);
    s.display.modeChanged = true;
    return DD_OK;
}

HRESULT DirectDrawImpl::GetAvailableVidMem(DDSCAPS2* caps, DWORD* total, DWORD* free) {
    if (!caps || (!total && !free))
        return DDERR_INVALIDPARAMS;
    if (HRESULT hr = Injected("DirectDraw::GetAvailableVidMem"); FAILED(hr))
        return hr;
    const State& s = GetState();
    if (Driver().halCaps == 0) {
        if (total)
            *total = 0;
        if (free)
            *free = 0;
        return DD_OK;
    }
    uint64_t budget = s.profile.videoMemoryBytes;
    uint64_t left = budget > s.videoMemoryUsed ? budget - s.videoMemoryUsed : 0;
    if (total)
        *total = static_cast<DWORD>(std::min<uint64_t>(budget, 0xFFFFFFFFu));
    if (free)
        *free = static_cast<DWORD>(std::min<uint64_t>(left, 0xFFFFFFFFu));
    return DD_OK;
}

HRESULT DirectDrawImpl::GetAvailableVidMem(DDSCAPS* caps, DWORD* total, DWORD* free) {
    if (!caps)
        return DDERR_INVALIDPARAMS;
    DDSCAPS2 caps2{caps->dwCaps, 0, 0, 0};
    return GetAvailableVidMem(&caps2, total, free);
}

HRESULT DirectDrawImpl::RestoreAllSurfaces() {
    if (HRESULT hr = Injected("DirectDraw::RestoreAllSurfaces"); FAILED(hr))
        return hr;
    for (SurfaceImpl* surface : GetState().surfaces)
        if (surface->Owner() == this)
            surface->SetLost(false);
    return DD_OK;
}

HRESULT DirectDrawImpl::GetDeviceIdentifier(DDDEVICEIDENTIFIER* identifier, DWORD) {
    if (!identifier)
        return DDERR_INVALIDPARAMS;
    if (HRESULT hr = Injected("DirectDraw::GetDeviceIdentifier"); FAILED(hr))
        return hr;
    const DriverProfile& d = Driver();
    std::memset(identifier, 0, sizeof(*identifier));
    CopyText(identifier->szDriver, sizeof(identifier->szDriver), d.driverFile);
    CopyText(identifier->szDescription, sizeof(identifier->szDescription), d.description);
    identifier->liDriverVersion = 0x0004000600000001LL;
    identifier->dwVendorId = d.vendorId;
    identifier->dwDeviceId = d.deviceId;
    identifier->guidDeviceIdentifier = d.guid;
    return DD_OK;
}

// ---- IDirect3D3 -------------------------------------------------------------------------------

bool DirectDrawImpl::DescribeDevice(const GUID& device, D3DDEVICEDESC* hardware, D3DDEVICEDESC* software) const {
    const CapsProfile& p = GetState().profile;
    bool offered = false;
    bool isHardware = false;
    if (device == IID_IDirect3DHALDevice) {
        offered = HardwareDevice();
        isHardware = true;
    } else if (device == IID_IDirect3DMMXDevice) {
        offered = p.mmxDevice;
    } else if (device == IID_IDirect3DRGBDevice) {
        offered = p.rgbDevice;
    } else if (device == IID_IDirect3DNullDevice) {
        offered = p.nullDevice;
    }
    if (!offered)
        return false;
    D3DDEVICEDESC own = MakeDeviceDesc(p, isHardware);
    if (p.editDevice && device != IID_IDirect3DNullDevice)
        p.editDevice(device, own);
    if (hardware)
        *hardware = isHardware ? own : EmptyDesc();
    if (software)
        *software = (isHardware || device == IID_IDirect3DNullDevice) ? EmptyDesc() : own;
    return true;
}

HRESULT DirectDrawImpl::EnumDevices(LPD3DENUMDEVICESCALLBACK callback, LPVOID context) {
    if (!callback)
        return DDERR_INVALIDPARAMS;
    if (HRESULT hr = Injected("Direct3D::EnumDevices"); FAILED(hr))
        return hr;
    static const DeviceEntry kDevices[] = {
        {&IID_IDirect3DRGBDevice, "RGB Emulation", "RGB Emulation", false},
        {&IID_IDirect3DHALDevice, "Direct3D HAL", "Direct3D HAL", true},
        {&IID_IDirect3DMMXDevice, "MMX Emulation", "MMX Emulation", false},
        {&IID_IDirect3DNullDevice, "Null device", "Null device", false},
    };
    for (const DeviceEntry& e : kDevices) {
        D3DDEVICEDESC hw, sw;
        if (!DescribeDevice(*e.guid, &hw, &sw))
            continue;
        GUID guid = *e.guid;
        char description[64], name[64];
        CopyText(description, sizeof(description), e.description);
        CopyText(name, sizeof(name), e.name);
        if (callback(&guid, description, name, &hw, &sw, context) == D3DENUMRET_CANCEL)
            break;
    }
    return D3D_OK;
}

HRESULT DirectDrawImpl::CreateViewport(IDirect3DViewport3** viewport, IUnknown* outer) {
    if (!viewport || outer)
        return DDERR_INVALIDPARAMS;
    *viewport = nullptr;
    if (HRESULT hr = Injected("Direct3D::CreateViewport"); FAILED(hr))
        return hr;
    *viewport = new ViewportImpl(this);
    return D3D_OK;
}

HRESULT DirectDrawImpl::CreateDevice(REFCLSID device, IDirectDrawSurface4* target, IDirect3DDevice3** result,
                                     IUnknown* outer) {
    if (!target || !result || outer)
        return DDERR_INVALIDPARAMS;
    *result = nullptr;
    if (!DescribeDevice(device, nullptr, nullptr) || device == IID_IDirect3DNullDevice)
        return D3DERR_INVALID_DEVICE;
    const auto& failing = GetState().profile.failingDevices;
    if (std::find(failing.begin(), failing.end(), device) != failing.end())
        return D3DERR_INITFAILED;
    if (HRESULT hr = Injected("Direct3D::CreateDevice"); FAILED(hr))
        return hr;
    SurfaceImpl* surface = SurfaceImpl::From(target);
    if (HRESULT hr = surface->CheckUsable(); FAILED(hr))
        return hr;
    const DWORD caps = surface->Caps();
    if (!(caps & DDSCAPS_3DDEVICE))
        return DDERR_INVALIDCAPS;
    // Hardware renders into video memory, the software devices into system memory or, as a
    // full-screen software renderer needs, the back buffer of the primary flipping chain.
    const bool hardware = device == IID_IDirect3DHALDevice;
    const bool usable = hardware ? (caps & DDSCAPS_VIDEOMEMORY) != 0
                                 : (caps & DDSCAPS_SYSTEMMEMORY) != 0 || surface->InPrimaryChain();
    if (!usable)
        return DDERR_INVALIDCAPS;
    const FormatInfo& f = surface->Info();
    const DWORD depthBit = f.bytes == 2 ? DDBD_16 : (f.bytes == 4 ? DDBD_32 : 0);
    if (f.kind != PixelKind::Rgb || !(GetState().profile.renderDepths & depthBit))
        return DDERR_INVALIDPIXELFORMAT;
    *result = new DeviceImpl(this, device, surface);
    return D3D_OK;
}

HRESULT DirectDrawImpl::CreateVertexBuffer(D3DVERTEXBUFFERDESC* desc, IDirect3DVertexBuffer** buffer, DWORD,
                                           IUnknown* outer) {
    if (!desc || !buffer || outer || desc->dwSize != sizeof(D3DVERTEXBUFFERDESC))
        return DDERR_INVALIDPARAMS;
    *buffer = nullptr;
    if (HRESULT hr = Injected("Direct3D::CreateVertexBuffer"); FAILED(hr))
        return hr;
    DWORD size = VertexSize(desc->dwFVF);
    if (size == 0)
        return D3DERR_INVALIDVERTEXTYPE;
    if (desc->dwNumVertices == 0 || desc->dwNumVertices > 65536)
        return DDERR_INVALIDPARAMS;
    *buffer = new VertexBufferImpl(this, *desc, size);
    return D3D_OK;
}

HRESULT DirectDrawImpl::EnumZBufferFormats(REFCLSID device, LPD3DENUMPIXELFORMATSCALLBACK callback,
                                           LPVOID context) {
    if (!callback)
        return DDERR_INVALIDPARAMS;
    if (!DescribeDevice(device, nullptr, nullptr))
        return D3DERR_INVALID_DEVICE;
    if (HRESULT hr = Injected("Direct3D::EnumZBufferFormats"); FAILED(hr))
        return hr;
    const std::vector<DDPIXELFORMAT> formats = GetState().profile.zBufferFormats;
    for (DDPIXELFORMAT f : formats)
        if (callback(&f, context) == D3DENUMRET_CANCEL)
            break;
    return D3D_OK;
}

FARPROC DDrawFunction(const char* name) {
    if (!name)
        return nullptr;
    if (std::strcmp(name, "DirectDrawCreate") == 0)
        return reinterpret_cast<FARPROC>(&::DirectDrawCreate);
    if (std::strcmp(name, "DirectDrawEnumerateA") == 0)
        return reinterpret_cast<FARPROC>(&::DirectDrawEnumerateA);
    if (std::strcmp(name, "DirectDrawEnumerateExA") == 0 && GetState().profile.enumerateEx)
        return reinterpret_cast<FARPROC>(&::DirectDrawEnumerateExA);
    return nullptr;
}

}  // namespace platform::dd

// ---- Entry points ----------------------------------------------------------------------------

using namespace platform::dd;

HRESULT DirectDrawCreate(GUID* driver, IDirectDraw** directDraw, IUnknown* outer) {
    if (!directDraw || outer)
        return DDERR_INVALIDPARAMS;
    *directDraw = nullptr;
    if (HRESULT hr = Injected("DirectDrawCreate"); FAILED(hr))
        return hr;
    const auto& drivers = GetState().profile.drivers;
    size_t index = drivers.size();
    for (size_t i = 0; i < drivers.size(); ++i) {
        bool match = driver ? (drivers[i].hasGuid && drivers[i].guid == *driver) : !drivers[i].hasGuid;
        if (match) {
            index = i;
            break;
        }
    }
    if (index == drivers.size()) {
        if (driver || drivers.empty())
            return DDERR_INVALIDPARAMS;
        index = 0;
    }
    *directDraw = new DirectDrawImpl(index);
    return DD_OK;
}

HRESULT DirectDrawEnumerateExA(LPDDENUMCALLBACKEXA callback, LPVOID context, DWORD) {
    if (!callback)
        return DDERR_INVALIDPARAMS;
    const std::vector<DriverProfile> drivers = GetState().profile.drivers;
    for (const DriverProfile& d : drivers) {
        GUID guid = d.guid;
        std::string description = d.description, name = d.name;
        if (callback(d.hasGuid ? &guid : nullptr, description.data(), name.data(), context, nullptr) ==
            DDENUMRET_CANCEL)
            break;
    }
    return DD_OK;
}

HRESULT DirectDrawEnumerateA(LPDDENUMCALLBACKA callback, LPVOID context) {
    if (!callback)
        return DDERR_INVALIDPARAMS;
    struct Forward {
        LPDDENUMCALLBACKA callback;
        LPVOID context;
    } forward{callback, context};
    return DirectDrawEnumerateExA(
        [](GUID* guid, char* description, char* name, LPVOID ctx, HMONITOR) -> BOOL {
            auto* f = static_cast<Forward*>(ctx);
            return f->callback(guid, description, name, f->context);
        },
        &forward, 0);
}
