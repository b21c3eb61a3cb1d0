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
#include "platform/ddraw/d3d.h"

class SgD3DRender;
struct SgTextureEntry;

// Two surface formats match when both are palettized or their four masks are equal.
bool SgFormatsMatch(const SgPixelFormat& a, const SgPixelFormat& b);
// Gives an 8-bit surface a new palette of the 256 entries; false when it cannot.
bool SgAttachNewPalette(IDirectDraw4* directDraw, IDirectDrawSurface4* surface, const PALETTEENTRY* entries);

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
        kErrorNotPalettized = 3,
        kErrorFileNotRead = 7,
        kErrorNoSource = 8,
        kErrorDirectDrawCall = 11,
        kErrorNoDirectDraw = 12,
        kErrorNoRenderer = 14,
        kErrorSizeDiffers = 15,
        kErrorBadRealizeMode = 16,
        kErrorNoSurface = 17,
    };

    SgDDImage();
    const SgTypeRecord* GetTypeRecord() const override;
    // Marks every surface for refill and raises the content stamp, so textures re-upload.
    void MarkDirty() override;
    bool PrepareForListener(SgRender* listener, uint32_t argument) override;

    // The image factory the renderer installs.
    static SgImage* CreateImage();

    // Mode 0: the texture-source surface in one of the renderer's texture formats; mode 1: a
    // surface of its frame format (null renderer: the current one). Out: the surface, no reference.
    bool Realize(SgD3DRender* renderer, uint32_t mode, IDirectDrawSurface4** surface);
    // Realize without the output.
    bool Prepare(SgD3DRender* renderer, uint32_t mode);
    // The texture-source surface and its format (a copy the image keeps, with the format's kind).
    bool RealizeSurface(SgD3DRender* renderer, IDirectDrawSurface4** surface, const SgPixelFormat** format);
    bool RealizeFrameSurface(SgD3DRender* renderer, IDirectDrawSurface4** surface, const SgPixelFormat** format);
    virtual bool ReleaseSurfaces();
    // The first surface; null without one.
    IDirectDrawSurface4* FirstSurface() const;
    uint32_t SurfaceCount() const { return static_cast<uint32_t>(surfaces_.size()); }

    // ---- Texture slots: the image's texture entry per texture-manager key ----
    SgTextureEntry* TextureEntry(uint32_t key) const;
    // A null entry empties the key's slot.
    void SetTextureEntry(uint32_t key, SgTextureEntry* entry);
    // Drops one key's slot from every image (a texture manager goes).
    static void RemoveKeyFromAll(uint32_t key);

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

private:
    // The formats to look for among the records (null entries skipped); false without any.
    bool RealizeFrom(SgD3DRender* renderer, const SgPixelFormat* const* wanted, uint32_t count, bool frameMode,
                     IDirectDrawSurface4** surface, const SgPixelFormat** format);
    bool CreateSurfaceForImage(SgD3DRender* renderer, bool frameMode, IDirectDrawSurface4** surface,
                               const SgPixelFormat** format);
    // The raw data to fill from: the image's own, or its file read again (error 7).
    SgRawImageData* SourceData();
    bool FillSurface(const SgRawImageData& raw, const SgPixelFormat& format, IDirectDrawSurface4* surface);
    bool RefillSurface(const SgPixelFormat& format, IDirectDrawSurface4* surface);

    struct TextureSlot {
        SgTextureEntry* entry;
        uint32_t key;
    };
    std::vector<TextureSlot> slots_;
};

class SgDDBufferImage : public SgDDImage {
public:
    static SgTypeRecord typeRecord;

    // Null for a null surface; else an image of the surface's size and format holding one
    // reference to it.
    static SgRef<SgDDBufferImage> Create(IDirectDrawSurface4* surface);
    const SgTypeRecord* GetTypeRecord() const override;
    IDirectDrawSurface4* Surface() const { return FirstSurface(); }
    // The wrapped surface as a texture (asked once and kept); null when it cannot be one.
    IDirect3DTexture2* GetTextureSurface();
    bool ReleaseSurfaces() override;
    uint32_t frameCount = 0;
    uint32_t revisionCount = 0;

protected:
    ~SgDDBufferImage() override;

private:
    IDirect3DTexture2* texture_ = nullptr;
};
