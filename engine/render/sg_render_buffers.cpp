#include "engine/render/sg_render_buffers.h"

#include "engine/render/sg_d3d_render.h"
#include "engine/render/sg_dd_environment.h"
#include "engine/render/sg_render_debug.h"

namespace {

constexpr HRESULT kBadBuffer = MakeResult(0x88760250u);
constexpr HRESULT kBadPrimary = MakeResult(0x88760234u);
constexpr HRESULT kBadDepth = MakeResult(0x8876024Eu);

HRESULT Fail(const char* text, HRESULT hr) {
    RenderDebugOut(text, true);
    return hr;
}

void ReleaseSurface(IDirectDrawSurface4*& s) {
    if (s) {
        s->Release();
        s = nullptr;
    }
}

DDSURFACEDESC2 Desc() {
    DDSURFACEDESC2 d{};
    d.dwSize = kDDSurfaceDesc2Size32;
    return d;
}

bool LandedNonLocal(IDirectDrawSurface4* s) {
    DDSCAPS2 caps{};
    return SUCCEEDED(s->GetCaps(&caps)) && (caps.dwCaps & DDSCAPS_NONLOCALVIDMEM);
}

// 8 for a palette-indexed surface, the RGB bit count for an RGB one, else 0.
uint32_t SurfaceDepth(IDirectDrawSurface4* s) {
    DDSURFACEDESC2 d = Desc();
    if (!s || FAILED(s->GetSurfaceDesc(&d)))
        return 0;
    if (d.ddpfPixelFormat.dwFlags & DDPF_PALETTEINDEXED8)
        return 8;
    if (d.ddpfPixelFormat.dwFlags & DDPF_RGB)
        return d.ddpfPixelFormat.dwRGBBitCount;
    return 0;
}

}  // namespace

SgRenderBuffers::~SgRenderBuffers() {
    if (environment && environment->currentBuffers == this)
        environment->currentBuffers = nullptr;
    frontImage = nullptr;
    backImage = nullptr;
    if (clipper) {
        clipper->Release();
        clipper = nullptr;
    }
    if (palette) {
        palette->Release();
        palette = nullptr;
    }
    ReleaseSurface(front);
    ReleaseSurface(intermediate);
    if (!(flags & kFlipping))
        ReleaseSurface(back);
    back = nullptr;
    ReleaseSurface(zbuffer);
    DropDDEnvironment(environment);
    environment = nullptr;
}

HRESULT SgRenderBuffers::Create(SgDDEnvironment* env, const SgRenderCreateParams& params, bool video) {
    environment = env;
    if (params.mode == 2)
        return CreateOffscreenBuffers(params.width, params.height, (params.flags & 2) != 0);
    if (params.mode == 1 && !params.frontImage) {
        HRESULT hr = SetFullscreenMode(env, params.width, params.height, (params.flags & 16) ? 32 : 16);
        if (FAILED(hr))
            return hr;
        width = params.width;
        height = params.height;
        hr = CreateFlippingBuffers(true, video, (params.flags & 0x80) ? 2 : 1);
        if (FAILED(hr))
            return hr;
    } else if (params.mode == 1) {
        SgDDBufferImage* f = params.frontImage;
        SgDDBufferImage* b = params.backImage;
        if (!f->FirstSurface())
            return Fail("Render create failed: supplied front buffer image is invalid", kBadBuffer);
        if (!b || !b->FirstSurface())
            return Fail("Render create failed: supplied back buffer image is invalid", kBadBuffer);
        if (HRESULT hr = TakeSuppliedFront(f); FAILED(hr))
            return hr;
        back = b->FirstSurface();
        back->AddRef();
        DDSURFACEDESC2 d = Desc();
        back->GetSurfaceDesc(&d);
        width = d.dwWidth;
        height = d.dwHeight;
        DDSCAPS2 caps{DDSCAPS_BACKBUFFER, 0, 0, 0};
        IDirectDrawSurface4* attached = nullptr;
        if (front->GetAttachedSurface(&caps, &attached) == DD_OK && attached) {
            suppliedChain = attached == back ? 1 : 0;
            attached->Release();
        }
    } else {
        if (env->displayDepth != 8 && env->displayDepth != 16 && env->displayDepth != 32)
            return Fail("Render create failed: Windowed mode must be 8, 16 or 32 bits", kBadDepth);
        flags |= kWindowed;
        window = env->window;
        RECT client{};
        GetClientRect(window, &client);
        width = static_cast<uint32_t>(client.right - client.left);
        height = static_cast<uint32_t>(client.bottom - client.top);
        targetLeft = targetTop = 0;
        targetWidth = width;
        targetHeight = height;
        if (!params.frontImage) {
            if (HRESULT hr = CreateFrontBuffer(true, video); FAILED(hr))
                return hr;
        } else if (HRESULT hr = TakeSuppliedFront(params.frontImage); FAILED(hr)) {
            return hr;
        }
        if (!params.backImage) {
            if (HRESULT hr = CreateBackBuffer(video, false); FAILED(hr))
                return hr;
        } else {
            back = params.backImage->FirstSurface();
            if (back) {
                back->AddRef();
                DDSURFACEDESC2 d = Desc();
                back->GetSurfaceDesc(&d);
                width = d.dwWidth;
                height = d.dwHeight;
            }
        }
        if (FAILED(env->directDraw->CreateClipper(0, &clipper, nullptr)) || !clipper)
            return Fail("Render create failed: Clipper Creation failed", E_FAIL);
        if (HRESULT hr = clipper->SetHWnd(0, window); FAILED(hr))
            return Fail("Render create failed: Clipper Window Attach failed", hr);
        if (HRESULT hr = front->SetClipper(clipper); FAILED(hr))
            return Fail("Render create failed: SetClipper failed", hr);
    }
    frontImage = params.frontImage;
    backImage = params.backImage;
    env->currentBuffers = this;
    return DD_OK;
}

HRESULT SgRenderBuffers::TakeSuppliedFront(SgDDImage* image) {
    IDirectDrawSurface4* surface = image->FirstSurface();
    if (!surface)
        return Fail("Render create failed: supplied front buffer image is invalid", kBadBuffer);
    DDSCAPS2 caps{};
    surface->GetCaps(&caps);
    if (caps.dwCaps & DDSCAPS_PRIMARYSURFACE) {
        if (environment->primarySurface && environment->primarySurface != surface)
            return Fail("Render create failed: Sent different primary surface from existing", kBadPrimary);
        SetPrimarySurface(environment, surface, image);
    }
    front = surface;
    front->AddRef();
    return DD_OK;
}

HRESULT SgRenderBuffers::CreateOffscreenBuffers(uint32_t w, uint32_t h, bool hardware) {
    width = w;
    height = h;
    targetLeft = targetTop = 0;
    targetWidth = w;
    targetHeight = h;
    HRESULT hr = DD_OK;
    switch (environment->card.offscreenMode) {
    case 0: return Fail("Render create failed: 3D Hardware cannot support offscreen renderers", kBadBuffer);
    case 1:
        flags |= kFlipping | kOffscreen;
        hr = CreateFlippingBuffers(false, hardware, 1);
        break;
    case 2:
    case 3: {
        flags |= kOffscreen;
        SgRenderBuffers* shared = environment->currentBuffers;
        if (!shared || !shared->back)
            return Fail("Offscreen render create failed: Must create onscreen renderer first", E_FAIL);
        if (hr = CreateFrontBuffer(false, true); FAILED(hr))
            return kBadDepth;
        back = shared->back;
        back->AddRef();
        if (environment->card.offscreenMode == 3) {
            DDSURFACEDESC2 d = Desc();
            d.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
            d.dwWidth = w;
            d.dwHeight = h;
            d.ddsCaps.dwCaps = DDSCAPS_SYSTEMMEMORY | DDSCAPS_TEXTURE;
            if (hr = environment->directDraw->CreateSurface(&d, &intermediate, nullptr); FAILED(hr))
                return Fail("Render create failed: System RAM Buffer Surface Creation failed", hr);
        }
        break;
    }
    case 4:
        flags |= kOffscreen | kNeverPresented;
        if (hr = CreateBackBuffer(hardware, true); FAILED(hr))
            return kBadDepth;
        front = back;
        front->AddRef();
        return DD_OK;
    default: return DD_OK;
    }
    if (FAILED(hr))
        return kBadDepth;
    if (SurfaceDepth(back) != environment->displayDepth)
        return Fail("Render create failed: invalid screen or buffer depth", kBadBuffer);
    return DD_OK;
}

HRESULT SgRenderBuffers::CreateFlippingBuffers(bool primary, bool video, uint32_t backBuffers) {
    if (primary && environment->primarySurface)
        return Fail("Render create failed: Cannot create more than one set of fullscreen buffers simultaineously",
                    kBadPrimary);
    DDSURFACEDESC2 d = Desc();
    d.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    d.ddsCaps.dwCaps = DDSCAPS_3DDEVICE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
    if (primary) {
        d.ddsCaps.dwCaps |= DDSCAPS_PRIMARYSURFACE;
    } else {
        d.dwFlags |= DDSD_WIDTH | DDSD_HEIGHT;
        d.dwWidth = width;
        d.dwHeight = height;
        d.ddsCaps.dwCaps |=
            DDSCAPS_TEXTURE | (video ? (DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM) : DDSCAPS_SYSTEMMEMORY);
    }
    d.dwBackBufferCount = backBuffers;
    HRESULT hr = environment->directDraw->CreateSurface(&d, &front, nullptr);
    if (FAILED(hr) && backBuffers > 1) {
        d.dwBackBufferCount = backBuffers = 1;
        hr = environment->directDraw->CreateSurface(&d, &front, nullptr);
    }
    if (FAILED(hr)) {
        front = nullptr;
        return Fail("Render create failed: Error creating fullscreen frontbuffer", hr);
    }
    flags |= kFlipping;
    if (backBuffers > 1)
        RenderDebugOut("Scenegrove D3DDriver Info: Using Triple Buffering\n", false);
    if (!primary && video && environment->hardware && LandedNonLocal(front)) {
        ReleaseSurface(front);
        return Fail("Render create failed: Cannot create offscreen flipping render buffers", E_NOTIMPL);
    }
    if (primary && !environment->primarySurface)
        SetPrimarySurface(environment, front, nullptr);
    DDSCAPS2 caps{};
    caps.dwCaps = DDSCAPS_BACKBUFFER;
    if (hr = front->GetAttachedSurface(&caps, &back); FAILED(hr)) {
        back = nullptr;
        return Fail("Render create failed: error creating fullscreen backbuffer", hr);
    }
    // The chain owns its back buffer: hold no reference of our own.
    back->Release();
    return DD_OK;
}

HRESULT SgRenderBuffers::CreateBackBuffer(bool video, bool texture) {
    DDSURFACEDESC2 d = Desc();
    d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    d.dwWidth = width;
    d.dwHeight = height;
    d.ddsCaps.dwCaps = DDSCAPS_3DDEVICE | (video ? (DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM)
                                                 : (DDSCAPS_SYSTEMMEMORY | DDSCAPS_OFFSCREENPLAIN));
    if (texture)
        d.ddsCaps.dwCaps |= DDSCAPS_TEXTURE;
    if (HRESULT hr = environment->directDraw->CreateSurface(&d, &back, nullptr); FAILED(hr)) {
        back = nullptr;
        return Fail("Render create failed: Back Buffer Surface Creation failed", hr);
    }
    if (video && environment->hardware && LandedNonLocal(back)) {
        ReleaseSurface(back);
        return Fail("Render create failed: Offscreen Video RAM Back Buffer Surface Creation failed", E_NOTIMPL);
    }
    return DD_OK;
}

HRESULT SgRenderBuffers::CreateFrontBuffer(bool onscreen, bool video) {
    if (onscreen && environment->primarySurface) {
        front = environment->primarySurface;
        front->AddRef();
        return DD_OK;
    }
    DDSURFACEDESC2 d = Desc();
    d.dwFlags = DDSD_CAPS;
    const char* failure = "Render create failed: Onscreen Front Buffer Surface Creation failed";
    if (onscreen) {
        d.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    } else {
        d.dwFlags |= DDSD_WIDTH | DDSD_HEIGHT;
        d.dwWidth = width;
        d.dwHeight = height;
        if (video) {
            d.ddsCaps.dwCaps = DDSCAPS_VIDEOMEMORY | DDSCAPS_TEXTURE;
            if (environment->chosen && (environment->chosen->deviceFlags & 1)) {
                d.dwFlags |= DDSD_TEXTURESTAGE;
                d.dwTextureStage = 1;
            }
            failure = "Render create failed: Offscreen Front Buffer Surface Creation failed";
        } else {
            d.ddsCaps.dwCaps = DDSCAPS_SYSTEMMEMORY | DDSCAPS_OFFSCREENPLAIN;
            failure = "Render create failed: System RAM Front Buffer Surface Creation failed";
        }
    }
    if (HRESULT hr = environment->directDraw->CreateSurface(&d, &front, nullptr); FAILED(hr)) {
        front = nullptr;
        return Fail(failure, hr);
    }
    if (onscreen)
        SetPrimarySurface(environment, front, nullptr);
    return DD_OK;
}

HRESULT SgRenderBuffers::CreateZBuffer(bool video, const DDPIXELFORMAT* zFormat) {
    if (!zFormat)
        return Fail("Render create failed: 3D Hardware does not support a Z-buffer format", MakeResult(0x88760154u));
    DDSCAPS2 caps{};
    caps.dwCaps = DDSCAPS_ZBUFFER;
    IDirectDrawSurface4* found = nullptr;
    HRESULT hr = back->GetAttachedSurface(&caps, &found);
    if (SUCCEEDED(hr) && found) {
        RenderDebugOut("Render create info: Found attached Z-Buffer", false);
        zbuffer = found;
        return DD_OK;
    }
    if (hr != DDERR_NOTFOUND)
        return Fail("Render create failed: Error searching back buffer for Z-buffer", hr);
    DDSURFACEDESC2 d = Desc();
    d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    d.dwWidth = width;
    d.dwHeight = height;
    d.ddpfPixelFormat = *zFormat;
    d.ddsCaps.dwCaps = DDSCAPS_ZBUFFER | (video ? DDSCAPS_VIDEOMEMORY : DDSCAPS_SYSTEMMEMORY);
    if (hr = environment->directDraw->CreateSurface(&d, &zbuffer, nullptr); FAILED(hr)) {
        zbuffer = nullptr;
        return Fail("Render create failed: ZBuffer Surface Creation failed", hr);
    }
    if (hr = back->AddAttachedSurface(zbuffer); FAILED(hr))
        return Fail("Render create failed: ZBuffer Surface Attachment failed", hr);
    return DD_OK;
}

HRESULT SgRenderBuffers::AttachPalette(IDirectDrawPalette* newPalette) {
    if (newPalette)
        newPalette->AddRef();
    if (palette)
        palette->Release();
    palette = newPalette;
    DDSURFACEDESC2 d = Desc();
    if (HRESULT hr = back->GetSurfaceDesc(&d); FAILED(hr))
        return Fail("Render create failed: Back Buffer Get Surface Desc failed", hr);
    if (!(d.ddpfPixelFormat.dwFlags & DDPF_PALETTEINDEXED8))
        return DD_OK;
    const char* failure = nullptr;
    HRESULT hr = back->SetPalette(palette);
    if (FAILED(hr))
        failure = "Render create failed: Back Buffer Palette Attach failed";
    else if (front && FAILED(hr = front->SetPalette(palette)))
        failure = "Render create failed: Front Buffer Palette Attach failed";
    if (!failure)
        return DD_OK;
    if (palette) {
        palette->Release();
        palette = nullptr;
    }
    return Fail(failure, hr);
}

HRESULT SgRenderBuffers::RestorePalette() {
    if (palette && front) {
        front->SetPalette(palette);
        if (frontImage)
            ++frontImage->revisionCount;
    }
    return DD_OK;
}

HRESULT SgRenderBuffers::CreateBufferImages() {
    if (front) {
        if (front == environment->primarySurface) {
            if (!frontImage) {
                frontImage = static_cast<SgDDBufferImage*>(environment->primaryImage);
            } else if (environment->primaryImage && frontImage.Get() != environment->primaryImage) {
                return Fail("Render create failed: primary surface image error", E_FAIL);
            }
            if (!frontImage) {
                frontImage = SgDDBufferImage::Create(front);
                environment->SetPrimaryImage(frontImage.Get());
            }
        } else if (!frontImage) {
            frontImage = SgDDBufferImage::Create(front);
        }
        if (!frontImage)
            return Fail("Render create failed: front buffer surface image could not be created", kBadBuffer);
    }
    if (!back) {
        backImage = nullptr;
        return DD_OK;
    }
    if (!backImage)
        backImage = SgDDBufferImage::Create(back);
    if (!backImage)
        return Fail("Render create failed: back buffer surface image could not be created", kBadBuffer);
    if (!frontImage)
        frontImage = backImage;
    return DD_OK;
}

void SgRenderBuffers::ReleaseRenderBuffers() {
    if (clipper) {
        clipper->Release();
        clipper = nullptr;
    }
    // The next attempt starts from nothing: a primary it made goes with it.
    if (front && environment && front == environment->primarySurface)
        SetPrimarySurface(environment, nullptr, nullptr);
    ReleaseSurface(front);
    ReleaseSurface(zbuffer);
    if (!(flags & kFlipping))
        ReleaseSurface(back);
    back = nullptr;
    flags &= ~kFlipping;
}

HRESULT SgRenderBuffers::FlipSurfaces() {
    if ((back && back->IsLost() != DD_OK) || (front && front->IsLost() != DD_OK) ||
        (zbuffer && zbuffer->IsLost() != DD_OK))
        return DD_OK;
    if ((flags & kFlipping) || suppliedChain) {
        HRESULT hr;
        while ((hr = front->Flip(nullptr, 0)) == DDERR_WASSTILLDRAWING) {
        }
        if (FAILED(hr)) {
            RenderDebugOut("Scenegrove Direct3D renderer - error flipping surfaces", false);
            return DD_OK;
        }
        flipPending = 1;
        return DD_OK;
    }
    if (flags & kOffscreen) {
        if (flags & kNeverPresented)
            return DD_OK;
        if (intermediate) {
            intermediate->BltFast(0, 0, back, nullptr, DDBLTFAST_WAIT);
            front->BltFast(0, 0, intermediate, nullptr, DDBLTFAST_WAIT);
        } else {
            front->BltFast(0, 0, back, nullptr, DDBLTFAST_WAIT);
        }
        return DD_OK;
    }
    if (!window) {
        // Full screen over the game's own surfaces that are no chain: no window to place the
        // frame in, the whole back surface goes to the front.
        front->Blt(nullptr, back, nullptr, DDBLT_WAIT, nullptr);
        return DD_OK;
    }
    front->SetClipper(clipper);
    POINT topLeft{targetLeft, targetTop};
    POINT bottomRight{targetLeft + static_cast<LONG>(targetWidth), targetTop + static_cast<LONG>(targetHeight)};
    ClientToScreen(window, &topLeft);
    ClientToScreen(window, &bottomRight);
    RECT dest{topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
    DDBLTFX fx = environment->bltFx;
    front->Blt(&dest, back, nullptr, DDBLT_WAIT | DDBLT_DDFX, &fx);
    return DD_OK;
}

SgDDBufferImage* SgRenderBuffers::CurrentImage() const {
    return (flags & kFlipping) ? frontImage.Get() : backImage.Get();
}

SgDDBufferImage* SgRenderBuffers::ImageByKind(uint32_t kind) const {
    if (kind == 1)
        return backImage.Get();
    if (kind == 2)
        return frontImage ? frontImage.Get() : backImage.Get();
    return nullptr;
}

uint32_t SgRenderBuffers::TargetWidth() const { return CurrentImage() ? CurrentImage()->width : 0; }
uint32_t SgRenderBuffers::TargetHeight() const { return CurrentImage() ? CurrentImage()->height : 0; }

bool SgRenderBuffers::PairsAllowed() const {
    return (flags & kWindowed) || ((flags & kOffscreen) && !(flags & (kFlipping | kNeverPresented)));
}

bool SgRenderBuffers::GetFirstPair(uint32_t& a, uint32_t& b) const {
    a = PairsAllowed() ? static_cast<uint32_t>(targetLeft) : 0;
    b = PairsAllowed() ? static_cast<uint32_t>(targetTop) : 0;
    return true;
}

bool SgRenderBuffers::SetFirstPair(uint32_t a, uint32_t b) {
    if (!PairsAllowed())
        return false;
    targetLeft = static_cast<int32_t>(a);
    targetTop = static_cast<int32_t>(b);
    return true;
}

bool SgRenderBuffers::GetSecondPair(uint32_t& a, uint32_t& b) const {
    if (flags & kNeverPresented)
        return false;
    a = PairsAllowed() ? targetWidth : 0;
    b = PairsAllowed() ? targetHeight : 0;
    return true;
}

bool SgRenderBuffers::SetSecondPair(uint32_t a, uint32_t b) {
    if (!PairsAllowed())
        return false;
    targetWidth = a;
    targetHeight = b;
    return true;
}
