#include "engine/render/sg_d3d_driver.h"


#include <cstdio>
#include <cstring>
#include <new>

#include "engine/core/sg_file.h"
#include "engine/render/sg_d3d_render.h"
#include "engine/render/sg_dd_environment.h"
#include "engine/render/sg_render_debug.h"
#include "engine/render/sg_texture_manager.h"

namespace {

constexpr HRESULT kNoEightBitTarget = MakeResult(0x8876024Eu);
constexpr HRESULT kNoDevice = MakeResult(0x887600AAu);

HRESULT Fail(const char* text, HRESULT hr) {
    RenderDebugOut(text, true);
    return hr;
}

struct ZSearch {
    DDPIXELFORMAT best{};
    int rank = 1000;
};

HRESULT RankZFormat(DDPIXELFORMAT* f, LPVOID context) {
    auto* search = static_cast<ZSearch*>(context);
    if (!(f->dwFlags & DDPF_ZBUFFER))
        return D3DENUMRET_OK;
    const bool stencil = (f->dwFlags & DDPF_STENCILBUFFER) != 0;
    const uint32_t depth = f->dwZBufferBitDepth - (stencil ? f->dwStencilBitDepth : 0);
    int rank = depth == 16 ? 1 : depth < 16 ? 4 : depth <= 24 ? 2 : 3;
    if (stencil)
        rank += 4;  // no stencil is wished
    if (rank < search->rank) {
        search->rank = rank;
        search->best = *f;
    }
    return D3DENUMRET_OK;
}

constexpr DWORD kBlendTable[11] = {D3DBLEND_ONE,       D3DBLEND_ZERO,        D3DBLEND_SRCCOLOR,
                                   D3DBLEND_INVSRCCOLOR, D3DBLEND_DESTCOLOR, D3DBLEND_INVDESTCOLOR,
                                   D3DBLEND_SRCALPHA,  D3DBLEND_INVSRCALPHA, D3DBLEND_DESTALPHA,
                                   D3DBLEND_INVDESTALPHA, D3DBLEND_SRCALPHASAT};

uint32_t PackColor(const SgRgb& c) {
    return (static_cast<uint32_t>(static_cast<int32_t>(c.r * 255.0f)) & 255) << 16 |
           (static_cast<uint32_t>(static_cast<int32_t>(c.g * 255.0f)) & 255) << 8 |
           (static_cast<uint32_t>(static_cast<int32_t>(c.b * 255.0f)) & 255);
}

}  // namespace

DWORD SgBlendFunction(uint32_t function) { return kBlendTable[function <= 10 ? function : 0]; }

// ---- Vertex batch ----

SgVertexBatch::~SgVertexBatch() {
    delete[] indices;
    indices = nullptr;
    vertexCount = triangleCount = 0;
    ReleaseVertexBuffers();
}

bool SgVertexBatch::CreateVertexBuffers(bool hardware, IDirect3D3* direct3d, uint32_t n) {
    static const char* const kFailures[4] = {
        "Render create message: Vertex Buffer 0 creation failed", "Render create message: Vertex Buffer 1 creation failed",
        "Render create message: Vertex Buffer 2 creation failed", "Render create message: Vertex Buffer 3 creation failed"};
    for (int i = 0; i < 4; ++i) {
        D3DVERTEXBUFFERDESC d{};
        d.dwSize = sizeof(d);
        d.dwCaps = D3DVBCAPS_WRITEONLY | (hardware ? 0 : D3DVBCAPS_SYSTEMMEMORY);
        d.dwFVF = i < 2 ? kVertexFormat1 : kVertexFormat2;
        d.dwNumVertices = n;
        if (FAILED(direct3d->CreateVertexBuffer(&d, &buffers_[i], D3DDP_DONOTCLIP, nullptr)) || !buffers_[i]) {
            buffers_[i] = nullptr;
            RenderDebugOut(kFailures[i], true);
            return false;
        }
    }
    pair_ = 0;
    indexRoom = 2 * n;
    indices = new (std::nothrow) uint16_t[static_cast<size_t>(6) * n];
    return indices != nullptr;
}

void SgVertexBatch::ReleaseVertexBuffers() {
    for (IDirect3DVertexBuffer*& b : buffers_)
        if (b) {
            b->Release();
            b = nullptr;
        }
}

bool SgVertexBatch::Lock() {
    IDirect3DVertexBuffer* buffer = CurrentBuffer();
    void* data = nullptr;
    DWORD size = 0;
    if (!buffer || FAILED(buffer->Lock(DDLOCK_WAIT | DDLOCK_WRITEONLY, &data, &size))) {
        // Nothing to write into: the fill is empty, so nothing stale is drawn after it.
        write = nullptr;
        vertexCount = triangleCount = 0;
        locked = 0;
        return false;
    }
    write = static_cast<uint8_t*>(data);
    lockedSize = size;
    vertexSize = pair_ == 0 ? 32 : 40;
    vertexFormat = pair_ == 0 ? kVertexFormat1 : kVertexFormat2;
    indexWrite = indices;
    vertexCount = 0;
    triangleCount = 0;
    vertexRoom = lockedSize / vertexSize;
    locked = 1;
    return true;
}

bool SgVertexBatch::BeginBatch(bool secondSet) {
    pair_ = secondSet ? 1 : 0;
    tag = 1;
    return Lock();
}

bool SgVertexBatch::RelockBatch() {
    if (++tag == 0) {
        // Tag 0 means "no copy": every record forgets its copy before the count starts again.
        if (onTagWrap)
            onTagWrap(tagWrapOwner);
        tag = 1;
    }
    return Lock();
}

void SgVertexBatch::Unlock() {
    IDirect3DVertexBuffer* buffer = CurrentBuffer();
    if (buffer && SUCCEEDED(buffer->Unlock()))
        locked = 0;
}

// ---- Driver ----

SgD3DDriver::SgD3DDriver() {
    batch.tag = 1;
    batch.onTagWrap = [](void* owner) { static_cast<SgD3DDriver*>(owner)->context->work.ClearTags(); };
    batch.tagWrapOwner = this;
}

SgD3DDriver::~SgD3DDriver() {
    if (wanted & kOpened) {
        batch.ReleaseVertexBuffers();
        // A shared manager that lives on must not keep pointing at this renderer.
        if (textureManager && textureManager->Renderer() == owner)
            textureManager->SetRenderer(nullptr);
        ReleaseTextureManager(textureManager);
        textureManager = nullptr;
        if (viewport) {
            viewport->Release();
            viewport = nullptr;
        }
        if (device) {
            device->Release();
            device = nullptr;
        }
        if (direct3d) {
            direct3d->Release();
            direct3d = nullptr;
        }
        delete[] deviceText;
        deviceText = nullptr;
        delete buffers;
        buffers = nullptr;
        delete targetFormat;
        targetFormat = nullptr;
    } else {
        delete buffers;
        buffers = nullptr;
    }
    stages[0].texture = nullptr;
    stages[1].texture = nullptr;
    holders[0] = nullptr;
    holders[1] = nullptr;
}

HRESULT SgD3DDriver::OpenAttempt(const GUID& guid, int zIndex, bool video, const SgRenderCreateParams& params,
                                 const char* attempting, const char* failed, bool* opened) {
    *opened = false;
    RenderDebugOut(attempting, false);
    HRESULT hr = buffers->Create(buffers->environment, params, video);
    if (SUCCEEDED(hr) && (params.flags & 1))
        hr = buffers->CreateZBuffer(video, hasZFormat[zIndex] ? &zFormats[zIndex] : nullptr);
    if (FAILED(hr)) {
        RenderDebugOut(failed, false);
        return hr;
    }
    if (zIndex > 0 && buffers->environment->displayDepth == 8) {
        SgPalette* global = SgDDImage::GlobalPalette();
        IDirectDrawPalette* pal = global ? global->GetDirectDrawPalette() : nullptr;
        if (!pal)
            return Fail("Render create failed: could not get global DirectDraw palette", E_FAIL);
        hr = buffers->AttachPalette(pal);
        pal->Release();
        if (FAILED(hr))
            return hr;
    }
    if (zIndex == 0 && buffers->environment->displayDepth == 8)
        return Fail("Render create message: Device cannot support 8-bit render targets", kNoEightBitTarget);
    hr = direct3d->CreateDevice(guid, buffers->back, &device, nullptr);
    if (SUCCEEDED(hr) && device) {
        description = D3DDEVICEDESC{};
        description.dwSize = sizeof(description);
        D3DDEVICEDESC other{};
        other.dwSize = sizeof(other);
        const bool hardware = zIndex == 0;
        hr = hardware ? device->GetCaps(&description, &other) : device->GetCaps(&other, &description);
    }
    if (FAILED(hr) || !device) {
        RenderDebugOut(failed, false);
        if (device) {
            device->Release();
            device = nullptr;
        }
        buffers->ReleaseRenderBuffers();
        return DD_OK;
    }
    deviceGuid = guid;
    *opened = true;
    return DD_OK;
}

HRESULT SgD3DDriver::OpenDevice(const SgRenderCreateParams& params, SgD3DRender* renderer) {
    if (params.mode == 2) {
        SgDDEnvironment* env = SgCurrentDDEnvironment();
        if (!env || !SgD3DRender::Current())
            return Fail("Offscreen render create failed: Must create onscreen renderer first", E_FAIL);
        if (RecommendedOffscreenModeOverride())
            env->card.offscreenMode = RecommendedOffscreenModeOverride();
        if (env->card.offscreenMode != 0) {
            if (env->displayDepth == 32 && !SgD3DRender::Current()->HasTextureFormat(2))
                return Fail("Offscreen render create failed: HW device has 32-bit backbuffer and no 32-bit RGB texture "
                            "format",
                            E_FAIL);
        } else {
            RenderDebugOut("Offscreen Render create failed: device cannot support offscreen renderers", true);
            if (env->card.cardNumber == 0)
                RenderDebugOut(
                    "Offscreen Render create failed: HW device was unidentified - try overriding "
                    "SetRecommendedOffscreenMode: ",
                    false);
            return E_FAIL;
        }
        if ((env->card.offscreenMode == 2 || env->card.offscreenMode == 3) &&
            (!env->currentBuffers || !env->currentBuffers->back))
            return Fail("Offscreen render create failed: Must create onscreen renderer first", E_FAIL);
    } else if (params.mode > 2) {
        return Fail("Render create failed: invalid renderer mode", E_FAIL);
    }
    wanted |= kOpened;
    info |= kInfoAlways;
    buffers = new (std::nothrow) SgRenderBuffers;
    if (!buffers)
        return Fail("Render create failed: Insufficient memory", 1);
    SgDDEnvironment* env = AcquireDDEnvironment(params);
    if (!env)
        return 2;
    buffers->environment = env;
    mode = params.mode;
    if (mode == 2)
        wanted |= kOffscreen;
    SetStateBit(kHardware, env->hardware != 0);
    if (HRESULT hr = env->directDraw->QueryInterface(IID_IDirect3D3, reinterpret_cast<void**>(&direct3d));
        FAILED(hr) || !direct3d) {
        direct3d = nullptr;
        return Fail("Render create failed: Direct3D2 creation failed", FAILED(hr) ? hr : E_FAIL);
    }
    wanted |= kMmx;

    // Palette entries: the global palette's, else the system palette with the file's colours.
    if (SgPalette* global = SgDDImage::GlobalPalette()) {
        if (!global->Entries())
            return Fail("Render create failed: could not get global palette entries", E_FAIL);
        std::memcpy(palette, global->Entries(), sizeof(palette));
    } else {
        HDC dc = GetDC(nullptr);
        GetSystemPaletteEntries(dc, 0, 256, palette);
        ReleaseDC(nullptr, dc);
        for (PALETTEENTRY& e : palette)
            e.peFlags = 0x40;
        PALETTEENTRY file[256];
        if (params.paletteFile && LoadPaletteFile(params.paletteFile, file) == 0) {
            int from = 0, to = 256;
            if (env->displayDepth == 8) {
                from = params.mode == 1 ? 1 : 10;
                to = params.mode == 1 ? 255 : 246;
            }
            for (int i = from; i < to; ++i) {
                palette[i].peRed = file[i].peRed;
                palette[i].peGreen = file[i].peGreen;
                palette[i].peBlue = file[i].peBlue;
            }
        }
        SgRef<SgPalette> made(new (std::nothrow) SgPalette(palette));
        SgDDImage::SetGlobalPalette(made.Get());
    }
    if (env->displayDepth > 16)
        info |= kInfoDeepDisplay;

    const GUID* kDevices[3] = {&IID_IDirect3DHALDevice, &IID_IDirect3DMMXDevice, &IID_IDirect3DRGBDevice};
    for (int i = 0; i < 3; ++i) {
        ZSearch search;
        direct3d->EnumZBufferFormats(*kDevices[i], RankZFormat, &search);
        hasZFormat[i] = search.rank < 1000;
        zFormats[i] = search.best;
    }
    if (HRESULT hr = direct3d->CreateViewport(&viewport, nullptr); FAILED(hr) || !viewport) {
        viewport = nullptr;
        return Fail("Render create failed: Direct 3D Create Viewport failed", FAILED(hr) ? hr : E_FAIL);
    }

    bool opened = false;
    if (wanted & kHardware) {
        HRESULT hr = OpenAttempt(IID_IDirect3DHALDevice, 0, true, params, "Render create message: Attempting to open HW device",
                                 "Render create message: Attempt to open HW device failed", &opened);
        if (FAILED(hr))
            return hr;
        if (opened) {
            wanted = (wanted | kHardware) & ~kMmx;
            if (FAILED(CheckDeviceCaps())) {
                device->Release();
                device = nullptr;
                buffers->ReleaseRenderBuffers();
                opened = false;
            }
        }
    }
    if (!opened && (wanted & kMmx)) {
        HRESULT hr = OpenAttempt(IID_IDirect3DMMXDevice, 1, false, params,
                                 "Render create message: Attempting to open MMX device",
                                 "Render create message: Attempt to open MMX device failed", &opened);
        if (FAILED(hr))
            return hr;
        if (opened) {
            wanted = (wanted & ~kHardware) | kMmx;
            if (FAILED(CheckDeviceCaps())) {
                device->Release();
                device = nullptr;
                buffers->ReleaseRenderBuffers();
                opened = false;
            }
        }
    }
    if (!opened) {
        HRESULT hr = OpenAttempt(IID_IDirect3DRGBDevice, 2, false, params,
                                 "Render create message: Attempting to open RGB device",
                                 "Render create message: Attempt to open RGB device failed", &opened);
        if (FAILED(hr))
            return hr;
        if (opened) {
            wanted &= ~(kHardware | kMmx);
            if (HRESULT caps = CheckDeviceCaps(); FAILED(caps)) {
                device->Release();
                device = nullptr;
                buffers->ReleaseRenderBuffers();
                opened = false;
            }
        }
    }
    if (!opened)
        return Fail("Render create failed: no 3D device could be created", kNoDevice);

    RenderDebugOut("Render create message: Device open succeeded", false);
    if (HRESULT hr = buffers->CreateBufferImages(); FAILED(hr))
        return hr;
    targetFormat = new (std::nothrow) SgPixelFormat;
    if (!targetFormat)
        return Fail("Render create failed: Insufficient memory", 1);
    *targetFormat = SgPixelFormat::Palettized();
    DDSURFACEDESC2 desc{};
    desc.dwSize = kDDSurfaceDesc2Size32;
    if (SUCCEEDED(buffers->back->GetSurfaceDesc(&desc)) && (desc.dwFlags & DDSD_PIXELFORMAT))
        *targetFormat = SgPixelFormat::FromDDPixelFormat(desc.ddpfPixelFormat);

    const char* kinds = (wanted & kHardware) ? "HW" : (wanted & kMmx) ? "MMX SW" : "RGB SW";
    char text[400];
    std::snprintf(text, sizeof(text), "%s: %s: DrawPrimitive", env->driverDescription, kinds);
    deviceText = new (std::nothrow) char[std::strlen(text) + 1];
    if (deviceText)
        std::strcpy(deviceText, text);

    // N: the device's vertex limit, 2048 when it names none, at most 65535 (16-bit indices) and at
    // least 4 (a particle's quad).
    uint32_t n = description.dwMaxVertexCount ? description.dwMaxVertexCount : 2048;
    n = n > 65535 ? 65535 : n < 4 ? 4 : n;
    if (!batch.CreateVertexBuffers((wanted & kHardware) != 0, direct3d, n))
        return E_FAIL;
    vertexLimit = n - 3;

    if (HRESULT hr = CreateViewport(); FAILED(hr))
        return hr;
    // Every device of the process draws from one manager: an offscreen renderer's textures are
    // the onscreen one's, and an image is uploaded once.
    textureManager = AcquireTextureManager(params.flags, env->directDraw, device, description, true);
    if (!textureManager)
        return Fail("Render create failed: Texture initialization failed", 8);
    owner = renderer;
    textureManager->SetRenderer(renderer);
    info = textureManager->HasAlphaFormat() ? (info | kInfoAlphaTextures) : (info & ~kInfoAlphaTextures);
    if (HRESULT hr = SetRenderingModes(); FAILED(hr))
        return hr;
    if (DetectMultiTextureModes(!(params.flags & 0x100)) != DD_OK)
        return Fail("Render create failed: Multi-Texture initialization failed", E_FAIL);
    if (HRESULT hr = SetRenderingModes(); FAILED(hr))
        return hr;
    wanted &= ~kInScene;
    fogColorCache = 0;
    return DD_OK;
}

HRESULT SgD3DDriver::CheckDeviceCaps() {
    const D3DPRIMCAPS& tri = description.dpcTriCaps;
    if (!(description.dwFlags & D3DDD_TRICAPS))
        return Fail("Render create failed: Device does not support triangles", D3DERR_INITFAILED);
    if (!(tri.dwTextureCaps & D3DPTEXTURECAPS_PERSPECTIVE))
        return Fail("Render create failed: Device does not support perspective-correct textures", D3DERR_INITFAILED);
    if (!(tri.dwShadeCaps & D3DPSHADECAPS_COLORGOURAUDRGB))
        return Fail("Render create failed: Device does not support Gouraud shading", D3DERR_INITFAILED);
    const bool pow2 = (tri.dwTextureCaps & D3DPTEXTURECAPS_POW2) != 0;
    SetStateBit(kPow2, pow2);
    info = pow2 ? (info | kInfoPow2) : (info & ~kInfoPow2);
    info = (wanted & kHardware) ? (info | kInfoHardware) : (info & ~kInfoHardware);
    if (HRESULT hr = CheckFogCaps(); FAILED(hr))
        return hr;
    const bool hardware = (wanted & kHardware) != 0;
    if (hardware && (description.dwDevCaps & D3DDEVCAPS_TEXTURESYSTEMMEMORY)) {
        info |= kInfoSystemTextures;
        RenderDebugOut("Scenegrove D3DDriver Info: Hardware supports system memory textures\n", false);
    } else {
        info &= ~kInfoSystemTextures;
    }
    const DWORD caps2 = buffers->environment->caps.dwCaps2;
    wanted &= ~(kAgp1x | kAgp2x);
    if (hardware && (description.dwDevCaps & D3DDEVCAPS_TEXTURENONLOCALVIDMEM) && (caps2 & DDCAPS2_NONLOCALVIDMEM)) {
        if (caps2 & DDCAPS2_NONLOCALVIDMEMCAPS) {
            wanted |= kAgp1x;
            RenderDebugOut("Scenegrove D3DDriver Info: 1x (DMA) AGP support detected\n", false);
        } else {
            wanted |= kAgp2x;
            RenderDebugOut("Scenegrove D3DDriver Info: 2x (Execute) AGP support detected\n", false);
        }
    } else {
        RenderDebugOut("Scenegrove D3DDriver Info: No AGP support detected\n", false);
    }
    SetStateBit(kIndependentUV, (tri.dwTextureAddressCaps & D3DPTADDRESSCAPS_INDEPENDENTUV) != 0);
    return DD_OK;
}

// The table without the device's own filter caps: point everywhere, no mipmaps.
static void CheckTextureFilterCaps(uint32_t table[6][3]) {
    for (int m = 0; m < 6; ++m) {
        table[m][0] = D3DTFN_POINT;
        table[m][1] = D3DTFG_POINT;
        table[m][2] = D3DTFP_NONE;
    }
}

HRESULT SgD3DDriver::CheckFogCaps() {
    const D3DPRIMCAPS& tri = description.dpcTriCaps;
    const DWORD f = tri.dwTextureFilterCaps;
    if (f & 0x1F030700u) {
        const bool magPoint = f & D3DPTFILTERCAPS_MAGFPOINT, minPoint = f & D3DPTFILTERCAPS_MINFPOINT;
        if (((f & D3DPTFILTERCAPS_MAGFLINEAR) && !magPoint) || ((f & D3DPTFILTERCAPS_MINFLINEAR) && !minPoint))
            return Fail("Render create failed: Device does not support texture filtering", D3DERR_INITFAILED);
        const uint32_t minLinear = (f & D3DPTFILTERCAPS_MINFLINEAR) ? 2 : 1;
        const uint32_t magLinear = (f & D3DPTFILTERCAPS_MAGFLINEAR) ? 2 : 1;
        const uint32_t mipValue = (f & D3DPTFILTERCAPS_MIPFLINEAR) ? 3 : (f & D3DPTFILTERCAPS_MIPFPOINT) ? 2 : 1;
        const uint32_t mipPoint = (f & (D3DPTFILTERCAPS_MIPFLINEAR | D3DPTFILTERCAPS_MIPFPOINT)) ? 2 : 1;
        const uint32_t table[6][3] = {{1, 1, 1},
                                      {minLinear, magLinear, 1},
                                      {minLinear, magLinear, mipValue},
                                      {1, 1, mipPoint},
                                      {1, 1, mipValue},
                                      {minLinear, magLinear, mipPoint}};
        std::memcpy(filterTable, table, sizeof(table));
        if (mipPoint == 1)
            info &= ~kInfoMipmaps;
        else
            info |= kInfoMipmaps;
    } else {
        CheckTextureFilterCaps(filterTable);
        info &= ~kInfoMipmaps;
    }
    if (tri.dwRasterCaps & D3DPRASTERCAPS_FOGTABLE) {
        wanted |= kTableFog;
        RenderDebugOut("Render create message: Device supports per-pixel z-based fog", false);
    } else {
        wanted &= ~kTableFog;
    }
    blendOneSupported = (tri.dwSrcBlendCaps & D3DPBLENDCAPS_ONE) && (tri.dwDestBlendCaps & D3DPBLENDCAPS_ONE);
    srcBlendSupport = destBlendSupport = 0;
    for (uint32_t f = 0; f <= 10; ++f) {
        const DWORD cap = 1u << (SgBlendFunction(f) - 1);
        srcBlendSupport |= (tri.dwSrcBlendCaps & cap) ? 1u << f : 0;
        destBlendSupport |= (tri.dwDestBlendCaps & cap) ? 1u << f : 0;
    }
    blendZeroSupported = (tri.dwSrcBlendCaps & D3DPBLENDCAPS_ZERO) && (tri.dwDestBlendCaps & D3DPBLENDCAPS_ZERO);
    return DD_OK;
}

// ---- States ----

void SgD3DDriver::SetRS(D3DRENDERSTATETYPE state, DWORD value) {
    if (device)
        device->SetRenderState(state, value);
}
void SgD3DDriver::SetLS(D3DLIGHTSTATETYPE state, DWORD value) {
    if (device)
        device->SetLightState(state, value);
}
void SgD3DDriver::SetTSS(DWORD stage, D3DTEXTURESTAGESTATETYPE state, DWORD value) {
    if (device)
        device->SetTextureStageState(stage, state, value);
}

HRESULT SgD3DDriver::SetRenderingModes() {
    if (!viewport)
        return Fail("Render create failed: Cannot set rendering modes without a viewport", E_FAIL);
    static constexpr DWORD kStates[][2] = {
        {D3DRENDERSTATE_ALPHATESTENABLE, 0}, {D3DRENDERSTATE_CULLMODE, D3DCULL_CW},
        {D3DRENDERSTATE_MONOENABLE, 0},      {D3DRENDERSTATE_LASTPIXEL, 0},
        {D3DRENDERSTATE_STIPPLEENABLE, 0},   {D3DRENDERSTATE_STIPPLEDALPHA, 0},
        {D3DRENDERSTATE_ZENABLE, 1},         {D3DRENDERSTATE_ANTIALIAS, 0},
        {D3DRENDERSTATE_ALPHABLENDENABLE, 0}, {D3DRENDERSTATE_SRCBLEND, D3DBLEND_SRCALPHA},
        {D3DRENDERSTATE_DESTBLEND, D3DBLEND_INVSRCALPHA}, {D3DRENDERSTATE_WRAP0, 0},
        {D3DRENDERSTATE_WRAP1, 0},           {D3DRENDERSTATE_DITHERENABLE, 0},
        {D3DRENDERSTATE_FOGENABLE, 0},       {D3DRENDERSTATE_FOGCOLOR, 0},
        {D3DRENDERSTATE_FOGTABLESTART, 0},   {D3DRENDERSTATE_FOGTABLEEND, 0},
        {D3DRENDERSTATE_TEXTUREPERSPECTIVE, 1}, {D3DRENDERSTATE_SHADEMODE, D3DSHADE_GOURAUD},
        {D3DRENDERSTATE_SPECULARENABLE, 0},  {D3DRENDERSTATE_COLORKEYENABLE, 0},
        {D3DRENDERSTATE_FILLMODE, D3DFILL_SOLID}, {D3DRENDERSTATE_ZWRITEENABLE, 0},
        {D3DRENDERSTATE_ZFUNC, D3DCMP_ALWAYS},
    };
    for (const auto& s : kStates)
        SetRS(s[0], s[1]);
    SetLS(D3DLIGHTSTATE_FOGSTART, 0);
    SetLS(D3DLIGHTSTATE_FOGEND, 0);
    static constexpr DWORD kStageStates[][3] = {
        {0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE}, {0, D3DTSS_COLORARG2, D3DTA_DIFFUSE}, {0, D3DTSS_COLOROP, D3DTOP_SELECTARG1},
        {0, D3DTSS_COLORARG1, D3DTA_TEXTURE}, {0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1}, {0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE},
        {0, D3DTSS_ADDRESS, D3DTADDRESS_WRAP}, {0, D3DTSS_MAGFILTER, 1}, {0, D3DTSS_MINFILTER, 1},
        {0, D3DTSS_MIPFILTER, 1}, {0, D3DTSS_TEXCOORDINDEX, 0},
        {1, D3DTSS_COLORARG2, D3DTA_CURRENT}, {1, D3DTSS_ALPHAARG1, D3DTA_TEXTURE}, {1, D3DTSS_ALPHAARG2, D3DTA_CURRENT},
        {1, D3DTSS_COLOROP, D3DTOP_DISABLE}, {1, D3DTSS_ALPHAOP, D3DTOP_DISABLE}, {1, D3DTSS_COLORARG1, D3DTA_TEXTURE},
        {1, D3DTSS_ADDRESS, D3DTADDRESS_WRAP}, {1, D3DTSS_MAGFILTER, 1}, {1, D3DTSS_MINFILTER, 1},
        {1, D3DTSS_MIPFILTER, 1}, {1, D3DTSS_TEXCOORDINDEX, 1},
        {2, D3DTSS_COLORARG1, D3DTA_CURRENT}, {2, D3DTSS_COLORARG2, D3DTA_DIFFUSE}, {2, D3DTSS_ALPHAARG1, D3DTA_CURRENT},
        {2, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE}, {2, D3DTSS_COLOROP, D3DTOP_DISABLE}, {2, D3DTSS_ALPHAOP, D3DTOP_DISABLE},
        {3, D3DTSS_COLOROP, D3DTOP_DISABLE}, {3, D3DTSS_ALPHAOP, D3DTOP_DISABLE},
    };
    for (const auto& s : kStageStates)
        SetTSS(s[0], s[1], s[2]);
    // The applied word follows what was just sent: perspective and smooth shading on.
    constexpr uint32_t kStateBits = kWireframe | kPerspective | kSmooth | kTransparent | kAlphaBlend | kZTest |
                                    kZWrite | kDither | kSpecular;
    applied = (applied & ~kStateBits) | kPerspective | kSmooth;
    appliedSrcBlend = D3DBLEND_SRCALPHA;
    appliedDestBlend = D3DBLEND_INVSRCALPHA;
    for (Stage& s : stages) {
        s.appliedU = s.appliedV = D3DTADDRESS_WRAP;
        s.filterMode = 0;
    }
    appliedFilter[0] = appliedFilter[1] = 0;
    // The caches hold what was just sent.
    const DWORD caches[kStageCacheSlots] = {D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTOP_SELECTARG1, D3DTA_TEXTURE,
                                            D3DTOP_DISABLE,    D3DTA_TEXTURE, D3DTOP_DISABLE,    D3DTOP_DISABLE};
    std::memcpy(stageCache, caches, sizeof(stageCache));
    texCoordCache[0] = 0;
    texCoordCache[1] = 1;
    fogKind = 0;
    fogColorCache = 0;
    fogStart = fogEnd = 0.0f;
    return DD_OK;
}

void SgD3DDriver::ResetDrawDefaults() {
    wanted = (wanted | kPerspective | kSmooth) & ~(kWireframe | kZTest | kZWrite);
    stages[0].filterMode = stages[1].filterMode = 0;
}

int SgD3DDriver::ApplyDeferredStates(bool batchFog) {
    changed = wanted ^ applied;
    auto copyBit = [&](uint32_t bit) { applied = (applied & ~bit) | (wanted & bit); };
    if (changed & kWireframe) {
        SetRS(D3DRENDERSTATE_FILLMODE, (wanted & kWireframe) ? D3DFILL_WIREFRAME : D3DFILL_SOLID);
        copyBit(kWireframe);
    }
    if (changed & kPerspective) {
        SetRS(D3DRENDERSTATE_TEXTUREPERSPECTIVE, (wanted & kPerspective) ? 1 : 0);
        copyBit(kPerspective);
    }
    if (changed & kSmooth) {
        SetRS(D3DRENDERSTATE_SHADEMODE, (wanted & kSmooth) ? D3DSHADE_GOURAUD : D3DSHADE_FLAT);
        copyBit(kSmooth);
    }
    if (changed & kTransparent) {
        SetRS(D3DRENDERSTATE_COLORKEYENABLE, (wanted & kTransparent) ? 1 : 0);
        copyBit(kTransparent);
    }
    if (changed & kAlphaBlend) {
        const DWORD on = (wanted & kAlphaBlend) ? 1 : 0;
        SetRS(D3DRENDERSTATE_ALPHABLENDENABLE, on);
        if (!(wanted & kHardware) && (description.dpcTriCaps.dwRasterCaps & 0x8000)) {
            SetRS(D3DRENDERSTATE_STIPPLEENABLE, on);
            SetRS(D3DRENDERSTATE_STIPPLEDALPHA, on);
        }
        copyBit(kAlphaBlend);
    }
    if (wantedSrcBlend != appliedSrcBlend || wantedDestBlend != appliedDestBlend) {
        SetRS(D3DRENDERSTATE_SRCBLEND, wantedSrcBlend);
        SetRS(D3DRENDERSTATE_DESTBLEND, wantedDestBlend);
        appliedSrcBlend = wantedSrcBlend;
        appliedDestBlend = wantedDestBlend;
    }
    if (changed & kZTest) {
        SetRS(D3DRENDERSTATE_ZFUNC, (wanted & kZTest) ? D3DCMP_LESSEQUAL : D3DCMP_ALWAYS);
        copyBit(kZTest);
    }
    if (changed & kZWrite) {
        SetRS(D3DRENDERSTATE_ZWRITEENABLE, (wanted & kZWrite) ? 1 : 0);
        copyBit(kZWrite);
    }
    ApplyFogState(batchFog);
    if (changed & kDither) {
        SetRS(D3DRENDERSTATE_DITHERENABLE, (wanted & kDither) ? 1 : 0);
        copyBit(kDither);
    }
    if (changed & kSpecular) {
        SetRS(D3DRENDERSTATE_SPECULARENABLE, (wanted & kSpecular) ? 1 : 0);
        copyBit(kSpecular);
    }
    return 0;
}

void SgD3DDriver::ApplyFogState(bool batchFog) {
    const SgFogBlock& fog = context->fog;
    if (!fog.on) {
        if (fogKind != 0) {
            SetLS(D3DLIGHTSTATE_FOGMODE, D3DFOG_NONE);
            SetRS(D3DRENDERSTATE_FOGENABLE, 0);
            SetRS(D3DRENDERSTATE_FOGTABLEMODE, 0);
            fogKind = 0;
        }
        return;
    }
    const float start = fog.end - (fog.end - fog.nearPlane) * fog.depthFraction;
    if (start != fogStart || fog.end != fogEnd) {
        fogStart = start;
        fogEnd = fog.end;
        if (batchFog) {
            SetRS(D3DRENDERSTATE_FOGTABLESTART, D3DValueBits(start));
            SetRS(D3DRENDERSTATE_FOGTABLEEND, D3DValueBits(fog.end));
        } else {
            SetLS(D3DLIGHTSTATE_FOGSTART, D3DValueBits(start));
            SetLS(D3DLIGHTSTATE_FOGEND, D3DValueBits(fog.end));
        }
    }
    // Kinds: 1 vertex fog without the device's own, 2 linear vertex fog, 3 range fog, 4 table fog.
    uint32_t kind;
    if (fog.vertexAlpha)
        kind = batchFog ? 1 : 3;
    else if (fog.tableWanted && (wanted & kTableFog) && !fog.range)
        kind = 4;
    else
        kind = batchFog ? 1 : 2;
    if (kind == fogKind)
        return;
    fogKind = kind;
    SetRS(D3DRENDERSTATE_FOGENABLE, 1);
    switch (kind) {
    case 1:
        if (!fog.vertexAlpha)
            SetRS(D3DRENDERSTATE_RANGEFOGENABLE, 0);
        SetRS(D3DRENDERSTATE_FOGTABLEMODE, 0);
        SetLS(D3DLIGHTSTATE_FOGMODE, D3DFOG_NONE);
        break;
    case 2:
        SetRS(D3DRENDERSTATE_RANGEFOGENABLE, 0);
        SetRS(D3DRENDERSTATE_FOGTABLEMODE, 0);
        SetLS(D3DLIGHTSTATE_FOGMODE, D3DFOG_LINEAR);
        break;
    case 3:
        SetRS(D3DRENDERSTATE_FOGTABLEMODE, 0);
        SetRS(D3DRENDERSTATE_RANGEFOGENABLE, 1);
        SetLS(D3DLIGHTSTATE_FOGMODE, D3DFOG_LINEAR);
        break;
    default:
        SetRS(D3DRENDERSTATE_RANGEFOGENABLE, 0);
        SetRS(D3DRENDERSTATE_FOGTABLEMODE, D3DFOG_LINEAR);
        break;
    }
}

void SgD3DDriver::ApplyFogColor(const SgRgb& color) {
    const uint32_t packed = PackColor(color);
    if (packed == fogColorCache)
        return;
    fogColorCache = packed;
    SetRS(D3DRENDERSTATE_FOGCOLOR, packed);
}

void SgD3DDriver::SetAlphaProperty(bool on, uint32_t source, uint32_t destination) {
    SetStateBit(kAlphaBlend, on);
    if (on) {
        wantedSrcBlend = SgBlendFunction(source);
        wantedDestBlend = SgBlendFunction(destination);
    }
}

void SgD3DDriver::SetTextureModeFilter(uint32_t filter, uint32_t stage) {
    if (stage < 2)
        stages[stage].filterMode = filter <= 5 ? filter : 0;
}

void SgD3DDriver::SetTextureModeClamp(uint32_t clamp, uint32_t stage) {
    if (stage >= 2 || clamp > 3)
        return;
    stages[stage].addressU = (clamp == 0 || clamp == 1) ? D3DTADDRESS_CLAMP : D3DTADDRESS_WRAP;
    stages[stage].addressV = (clamp == 0 || clamp == 2) ? D3DTADDRESS_CLAMP : D3DTADDRESS_WRAP;
}

// ---- Frames ----

HRESULT SgD3DDriver::CreateViewport() {
    if (HRESULT hr = device->AddViewport(viewport); FAILED(hr))
        return Fail("Render create failed: Direct 3D Add Viewport failed", hr);
    viewportRect = D3DVIEWPORT2{};
    viewportRect.dwSize = sizeof(D3DVIEWPORT2);
    viewportRect.dwWidth = buffers->TargetWidth();
    viewportRect.dwHeight = buffers->TargetHeight();
    viewportRect.dvClipWidth = static_cast<float>(viewportRect.dwWidth);
    viewportRect.dvClipHeight = static_cast<float>(viewportRect.dwHeight);
    viewportRect.dvMaxZ = 1.0f;
    if (HRESULT hr = viewport->SetViewport2(&viewportRect); FAILED(hr))
        return Fail("Render create failed: D3D Set Viewport failed", hr);
    if (HRESULT hr = device->SetCurrentViewport(viewport); FAILED(hr))
        return Fail("Render create failed: D3D Set Current Viewport failed", hr);
    return DD_OK;
}

HRESULT SgD3DDriver::BeginFrame() {
    if (textureManager) {
        textureManager->SetRenderer(owner);
        textureManager->BeginFrame();
    }
    frameCounter = 0;
    if (buffers->flipPending && buffers->front) {
        while (buffers->front->GetFlipStatus(DDGFS_ISFLIPDONE) != DD_OK) {
        }
        buffers->flipPending = 0;
    }
    if (FAILED(viewport->SetViewport2(&viewportRect)))
        RenderDebugOut("D3D Set Viewport failed", false);
    HRESULT hr = device->BeginScene();
    if (SUCCEEDED(hr))
        wanted |= kInScene;
    return hr;
}

HRESULT SgD3DDriver::EndFrame() {
    HRESULT hr = device->EndScene();
    if (SUCCEEDED(hr)) {
        wanted &= ~kInScene;
        if (buffers->backImage)
            ++buffers->backImage->frameCount;
    }
    return hr;
}

HRESULT SgD3DDriver::ClearViewport(const float* rect, uint32_t clearFlags) {
    if (wanted & kOffscreen)
        return DD_OK;
    DWORD flags = 0;
    if (clearFlags & 1)
        flags |= D3DCLEAR_TARGET;
    if ((clearFlags & 2) && buffers->zbuffer)
        flags |= D3DCLEAR_ZBUFFER;
    if (FAILED(viewport->SetViewport2(&viewportRect)))
        RenderDebugOut("D3D Set Viewport failed", false);
    D3DRECT r{0, 0, static_cast<LONG>(buffers->TargetWidth()), static_cast<LONG>(buffers->TargetHeight())};
    if (rect)
        r = {static_cast<LONG>(rect[0]), static_cast<LONG>(rect[1]), static_cast<LONG>(rect[2]),
             static_cast<LONG>(rect[3])};
    if (r.x2 <= r.x1 || r.y2 <= r.y1 || flags == 0)
        return DD_OK;
    HRESULT hr = viewport->Clear2(1, &r, flags, clearColor, 0.95f, 0);
    if (FAILED(hr)) {
        RenderDebugOut("Clear Failed\n", false);
        return hr;
    }
    buffers->flipPending = 0;
    return DD_OK;
}

// ---- Batches ----

int SgD3DDriver::BeginPrimitives(bool lines) {
    lineMode = lines ? 1 : 0;
    return batch.BeginBatch(secondSet != 0) ? 0 : 2;
}

int SgD3DDriver::DrawIndexedBatch() {
    if (batch.triangleCount == 0 && (!lineMode || batch.vertexCount == 0)) {
        batch.Unlock();
        secondSet = 0;
        return 0;
    }
    context->RestoreCallerMode();
    // The batch fog flag is the device's table fog, so table fog gets its own start and end.
    if (ApplyDeferredStates((wanted & kTableFog) != 0) != 0) {
        context->ResumePipelineMode();
        return 2;
    }
    batch.Unlock();
    if (textureManager)
        textureManager->SetRenderer(owner);
    passChoice = ChooseMultiTexturePasses();
    HRESULT hr = DD_OK;
    bool more = false;
    uint32_t pass = 0;
    do {
        more = SetupTexturePass(pass++);
        do {
            if (lineMode)
                hr = device->DrawPrimitiveVB(D3DPT_LINELIST, batch.CurrentBuffer(), 0, batch.vertexCount,
                                             D3DDP_DONOTCLIP | D3DDP_DONOTUPDATEEXTENTS);
            else
                hr = device->DrawIndexedPrimitiveVB(D3DPT_TRIANGLELIST, batch.CurrentBuffer(), batch.indices,
                                                    3 * batch.triangleCount, D3DDP_DONOTCLIP | D3DDP_DONOTUPDATEEXTENTS);
        } while (hr == DDERR_WASSTILLDRAWING);
    } while (more && SUCCEEDED(hr));
    batch.SwitchBuffer();
    context->ResumePipelineMode();
    if (FAILED(hr)) {
        RenderDebugOut("Draw Indexed Primitive failed", false);
        return 2;
    }
    secondSet = 0;
    return 0;
}

void SgD3DDriver::FlushVertexBatch() {
    DrawIndexedBatch();
    batch.RelockBatch();
}

// ---- Palette files ----

int LoadPaletteFile(const char* name, PALETTEENTRY* entries) {
    if (!name)
        return 2;
    const char* dot = std::strrchr(name, '.');
    const bool bmp = dot && (dot[1] == 'b' || dot[1] == 'B') && (dot[2] == 'm' || dot[2] == 'M') &&
                     (dot[3] == 'p' || dot[3] == 'P') && dot[4] == '\0';
    std::FILE* f = SgOpenFile(name, "rb");
    if (!f)
        return 2;
    uint8_t bytes[1024];
    auto read = [&](size_t n) { return std::fread(bytes, 1, n, f) == n; };
    int result = 11;
    if (!bmp) {
        if (read(768)) {
            for (int i = 0; i < 256; ++i)
                entries[i] = {bytes[3 * i], bytes[3 * i + 1], bytes[3 * i + 2], 0x40};
            result = 0;
        }
    } else if (read(14) && bytes[0] == 'B' && bytes[1] == 'M') {
        // The colour table follows the information header, whose size the header gives itself.
        if (read(40)) {
            const uint32_t headerSize = bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24;
            const uint32_t bits = bytes[14] | bytes[15] << 8;
            const uint32_t used = bytes[32] | bytes[33] << 8 | bytes[34] << 16 | static_cast<uint32_t>(bytes[35]) << 24;
            const bool skipped = headerSize < 40 || std::fseek(f, static_cast<long>(headerSize - 40), SEEK_CUR) == 0;
            if (headerSize >= 40 && skipped && bits == 8 && (used == 0 || used == 256) && read(1024)) {
                for (int i = 0; i < 256; ++i)
                    entries[i] = {bytes[4 * i + 2], bytes[4 * i + 1], bytes[4 * i], 0x40};
                result = 0;
            }
        }
    }
    std::fclose(f);
    return result;
}
