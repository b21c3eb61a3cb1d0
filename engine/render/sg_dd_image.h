#pragma once
// The renderer's images: an engine image that keeps its pixels in DirectDraw surfaces, one per
// pixel format asked for, and the buffer image that wraps a surface the renderer draws into (front
// and back buffers) so it can be handled like any image. Also the process-wide things every image
// shares: the list of live images, the DirectDraw object they are made with and the global
// palette of 8-bit displays.

#include <cstdint>
#include <vector>

#include "engine/core/sg_image.h"
#include "engine/core/sg_raw_image.h"
#include "platform/ddraw/ddraw.h"

class SgD3DRender;

// Two surface formats match when both are palettized or their four masks are equal.
bool SgFormatsMatch(const SgPixelFormat& a, const SgPixelFormat& b);

// 256 entries of red, green, blue and flags, and the DirectDraw palette made from them on first
// request.
class SgPalette : public SgObject {
public:
    static SgTypeRecord typeRecord;

    // Copies the entries; null gives none.
    explicit SgPalette(const PALETTEENTRY* entries);
    const SgTypeRecord* GetTypeRecord() const override;

    const PALETTEENTRY* Entries() const { return entries_; }
    // One reference for the caller; null when it cannot be made.
    IDirectDrawPalette* GetDirectDrawPalette();

protected:
    ~SgPalette() override;

private:
    PALETTEENTRY* entries_ = nullptr;
    IDirectDrawPalette* palette_ = nullptr;
};

class SgDDImage : public SgImage {
public:
    static SgTypeRecord typeRecord;

    // Image error codes of this layer.
    enum DDError : uint32_t {
        kErrorDirectDrawCall = 11,
        kErrorNoDirectDraw = 12,
        kErrorNoRenderer = 14,
        kErrorBadRealizeMode = 16,
        kErrorNoSurface = 17,
    };

    SgDDImage();
    const SgTypeRecord* GetTypeRecord() const override;
    void MarkDirty() override;
    bool PrepareForListener(SgRender* listener, uint32_t argument) override;

    // The image factory the renderer installs.
    static SgImage* CreateImage();

    // Mode 1: a surface of the renderer's frame format (null renderer: the current one). Mode 0,
    // the texture-source surface, comes with the texture manager. Out: the surface, no reference.
    bool Realize(SgD3DRender* renderer, uint32_t mode, IDirectDrawSurface4** surface);
    virtual bool ReleaseSurfaces();
    // The first surface; null without one.
    IDirectDrawSurface4* FirstSurface() const;

    // ---- Process-wide ----
    static void SetDirectDraw(IDirectDraw4* directDraw);
    // The object (no reference added) and whether one is set.
    static bool GetDirectDraw(IDirectDraw4** directDraw);
    static IDirectDraw4* DirectDraw();
    static SgPalette* GlobalPalette();
    static void SetGlobalPalette(SgPalette* palette);
    // ReleaseSurfaces on every live image; false at the first failure.
    static bool VisitAll();
    static uint32_t LiveImageCount();

protected:
    ~SgDDImage() override;

    struct SurfaceRecord {
        IDirectDrawSurface4* surface = nullptr;  // one reference
        SgPixelFormat format;
        uint8_t refill = 0;
    };
    std::vector<SurfaceRecord> surfaces_;
};

class SgDDBufferImage : public SgDDImage {
public:
    static SgTypeRecord typeRecord;

    // Null for a null surface; else an image of the surface's size and format holding one
    // reference to it.
    static SgRef<SgDDBufferImage> Create(IDirectDrawSurface4* surface);
    const SgTypeRecord* GetTypeRecord() const override;
    IDirectDrawSurface4* Surface() const { return FirstSurface(); }
    uint32_t frameCount = 0;
    uint32_t revisionCount = 0;

protected:
    ~SgDDBufferImage() override = default;
};
