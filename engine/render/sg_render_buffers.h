#pragma once
// The surfaces a renderer draws into (front, back, Z-buffer), the clipper of a windowed renderer
// and the target's size; made once per device attempt and shown by FlipSurfaces.

#include <cstdint>

#include "engine/core/sg_ref.h"
#include "engine/render/sg_dd_image.h"
#include "platform/ddraw/d3d.h"

struct SgDDEnvironment;
struct SgRenderCreateParams;

class SgRenderBuffers {
public:
    static constexpr uint32_t kFlipping = 2;
    static constexpr uint32_t kWindowed = 4;
    static constexpr uint32_t kOffscreen = 8;
    static constexpr uint32_t kNeverPresented = 16;

    SgRenderBuffers() = default;
    ~SgRenderBuffers();
    SgRenderBuffers(const SgRenderBuffers&) = delete;
    SgRenderBuffers& operator=(const SgRenderBuffers&) = delete;

    HRESULT Create(SgDDEnvironment* env, const SgRenderCreateParams& params, bool video);
    HRESULT CreateZBuffer(bool video, const DDPIXELFORMAT* zFormat);
    HRESULT AttachPalette(IDirectDrawPalette* palette);
    HRESULT CreateBufferImages();
    // After a failed device attempt: the surfaces go, the images and the palette stay.
    void ReleaseRenderBuffers();
    HRESULT FlipSurfaces();
    HRESULT RestorePalette();

    SgDDBufferImage* CurrentImage() const;
    // 1 the back image, 2 the front (or back) image.
    SgDDBufferImage* ImageByKind(uint32_t kind) const;
    uint32_t TargetWidth() const;
    uint32_t TargetHeight() const;

    bool GetFirstPair(uint32_t& a, uint32_t& b) const;
    bool SetFirstPair(uint32_t a, uint32_t b);
    bool GetSecondPair(uint32_t& a, uint32_t& b) const;
    bool SetSecondPair(uint32_t a, uint32_t b);

    SgDDEnvironment* environment = nullptr;  // one use of it
    uint32_t flags = 0;
    SgRef<SgDDBufferImage> frontImage;
    SgRef<SgDDBufferImage> backImage;
    IDirectDrawSurface4* front = nullptr;
    IDirectDrawSurface4* back = nullptr;
    IDirectDrawSurface4* zbuffer = nullptr;
    uint32_t height = 0, width = 0;
    IDirectDrawSurface4* intermediate = nullptr;
    IDirectDrawPalette* palette = nullptr;
    IDirectDrawClipper* clipper = nullptr;
    HWND window = nullptr;
    int32_t targetLeft = 0, targetTop = 0;
    uint32_t targetWidth = 0, targetHeight = 0;
    uint8_t flipPending = 0;
    // The game's own front and back surfaces are one flipping chain: presented by a flip.
    uint8_t suppliedChain = 0;

private:
    HRESULT CreateFlippingBuffers(bool primary, bool video, uint32_t backBuffers);
    HRESULT CreateBackBuffer(bool video, bool texture);
    HRESULT CreateFrontBuffer(bool onscreen, bool video);
    HRESULT CreateOffscreenBuffers(uint32_t w, uint32_t h, bool hardware);
    HRESULT TakeSuppliedFront(SgDDImage* image);
    bool PairsAllowed() const;
};
