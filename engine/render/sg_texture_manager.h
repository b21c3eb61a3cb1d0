#pragma once
// The texture manager: turns engine images into device textures and keeps them resident within
// the device's texture memory. Textures are cached per image under a key that names their shape,
// kept in 256 buckets per heap ordered least recently bound first, reused between images of one
// shape and evicted by size class when memory runs out; pinned textures stay put.

#include <cstdint>

#include "engine/core/sg_raw_image.h"
#include "engine/core/sg_ref.h"
#include "platform/ddraw/d3d.h"

class SgD3DRender;
class SgDDImage;
class SgImage;

// One texture. Pooled by its manager; an image's slot may point at an entry that has since gone to
// another image, which the identity stamp tells.
struct SgTextureEntry {
    static constexpr uint32_t kMipmapped = 1;
    static constexpr uint32_t kPinned = 2;
    static constexpr uint32_t kAlpha = 4;

    IDirectDrawSurface4* surface = nullptr;
    IDirect3DTexture2* texture = nullptr;
    int32_t heap = 0;
    uint32_t flags = 0;
    uint32_t key = 0;
    SgDDImage* image = nullptr;
    uint32_t identityStamp = 0;
    uint32_t contentStamp = 0;
    uint32_t lastUsedFrame = 0;
    int32_t memory = 0;
    SgTextureEntry* next = nullptr;
    SgTextureEntry* previous = nullptr;
};

// Texture keys: log2 height (bits 0-3), log2 width (4-7), mip chain (8), format kind + 1 (9-11),
// aspect code (12-14), size class (15-18). The bucket is bits 11-18, so buckets 16c..16c+15 hold
// exactly the keys of size class c.
uint32_t SgTextureKey(uint32_t logWidth, uint32_t logHeight, bool mipmapped, int32_t kind, int32_t sizeCode);
inline uint32_t SgTextureBucket(uint32_t key) { return (key >> 11) & 255; }
inline uint32_t SgTextureSizeClass(uint32_t key) { return (key >> 15) & 15; }

class SgTextureManager {
public:
    static constexpr uint32_t kKinds = 7;
    static constexpr int32_t kNoKind = 7;
    // Status bits since the frame start.
    static constexpr uint32_t kStatusFrame = 1, kStatusReusedIdle = 2, kStatusEvicted = 4, kStatusReusedBusy = 8,
                              kStatusHeapEmptied = 16, kStatusFailed = 32;

    SgTextureManager();
    virtual ~SgTextureManager();
    SgTextureManager(const SgTextureManager&) = delete;
    SgTextureManager& operator=(const SgTextureManager&) = delete;

    virtual void BeginFrame() { ++frame; }
    virtual int32_t GetImageFormatKind(SgImage* image) = 0;
    virtual bool PrecacheTexture(SgImage* image, bool allowEvict, bool pin, int32_t stage) = 0;
    // heap -1: both heaps.
    virtual bool ReleaseTextures(SgImage* image, bool includePinned, int32_t heap) = 0;
    // holder keeps a counted reference on the image bound to the stage; changed tells whether the
    // device's stage must be given the texture again.
    virtual bool BindTexture(int32_t stage, SgImage* image, SgRef<SgImage>& holder, IDirect3DTexture2** texture,
                             bool* changed, bool* mipmapped, bool* alpha) = 0;

    // Every live manager, newest first.
    static SgTextureManager* First();
    SgTextureManager* NextManager() const { return next_; }

    uint32_t frame = 0;

private:
    SgTextureManager* next_ = nullptr;
};

class SgD3DTextureManager : public SgTextureManager {
public:
    struct Heap {
        SgTextureEntry* heads[256] = {};
        SgTextureEntry* tails[256] = {};
        SgTextureEntry* pinned = nullptr;
        int32_t classCounts[16] = {};
        int32_t memory = 0;
    };

    // Null when the device has no texture format at all.
    static SgD3DTextureManager* Create(uint32_t creationFlags, IDirectDraw4* directDraw, IDirect3DDevice3* device,
                                       const D3DDEVICEDESC& description);
    ~SgD3DTextureManager() override;

    void BeginFrame() override;
    int32_t GetImageFormatKind(SgImage* image) override;
    bool PrecacheTexture(SgImage* image, bool allowEvict, bool pin, int32_t stage) override;
    bool ReleaseTextures(SgImage* image, bool includePinned, int32_t heap) override;
    bool BindTexture(int32_t stage, SgImage* image, SgRef<SgImage>& holder, IDirect3DTexture2** texture,
                     bool* changed, bool* mipmapped, bool* alpha) override;

    // The source format an image's system-memory surface takes: its requested kind when that fits
    // and exists, else the automatic order; null when none is available.
    // source: the raw format (0 palettised, 1 RGB, 2 RGBA); asked: the image's requested kind.
    const SgPixelFormat* ChooseSourceFormat(uint32_t source, uint32_t asked, bool mipmaps, bool prefer32) const;
    const SgPixelFormat* Format(uint32_t kind) const { return kind < kKinds ? formats_[kind] : nullptr; }
    uint32_t Key(int32_t heap) const { return keys_[heap]; }
    bool TwoHeaps() const { return twoHeaps_ != 0; }
    const Heap* HeapAt(int32_t heap) const { return heap == 0 || twoHeaps_ ? &heaps_[heap] : nullptr; }
    const SgTextureEntry* Sentinel() const { return &sentinel_; }
    // Whether one of the alpha formats exists (the renderer's information bit 6).
    bool HasAlphaFormat() const;

    void SetRenderer(SgD3DRender* renderer) { renderer_ = renderer; }
    SgD3DRender* Renderer() const { return renderer_; }

    int32_t users = 0;
    uint32_t extraSurfaceCaps = 0;
    uint32_t maxWidth = 16384, maxHeight = 16384;
    int32_t textureCount = 0;
    int32_t firstBoundThisFrame = 0, otherThisFrame = 0, createdThisFrame = 0, releasedThisFrame = 0;
    uint32_t status = 0;

private:
    SgD3DTextureManager() = default;
    HRESULT SetupTextureFormats(uint32_t creationFlags, IDirect3DDevice3* device);

    int32_t ChooseHeap(SgDDImage* image, int32_t stage) const;
    bool CheckTextureImage(SgDDImage* image);
    struct Description {
        IDirectDrawSurface4* source = nullptr;
        DDSURFACEDESC2 desc{};
        uint32_t key = 0;
        int32_t kind = kNoKind;
    };
    bool DescribeTexture(SgDDImage* image, Description& out);
    bool CreateTexture(SgDDImage* image);
    // Failed: making room may help; Refused: the device will not make it.
    enum class Made { Yes, Failed, Refused };
    Made CreateTextureSurface(SgDDImage* image, Description& d);
    bool AllocateTexture(SgDDImage* image, Description& d);
    bool Refuse(SgDDImage* image);
    bool ReuseTexture(SgDDImage* image, Description& d, SgTextureEntry* entry);
    bool EvictForTexture(SgDDImage* image, Description& d);
    bool RefreshTexture(SgTextureEntry* entry, SgDDImage* image);
    void RestoreLostTextures();

    SgTextureEntry* NewTextureEntry(SgDDImage* image, uint32_t key, int32_t heap);
    void LinkAtTail(SgTextureEntry* e);
    void Unlink(SgTextureEntry* e);
    void MoveToTail(SgTextureEntry* e);
    void Pin(SgTextureEntry* e);
    // Releases the surface and texture, unlinks the entry, forgets it in its image and frees it.
    void ReleaseTextureEntry(SgTextureEntry* e);
    void FreeEntry(SgTextureEntry* e);
    void ReleaseHeap(int32_t heap, bool includePinned);
    void Upload(IDirectDrawSurface4* source, IDirectDrawSurface4* texture);

    SgPixelFormat* formats_[kKinds] = {};
    int32_t sizeCodes_[kKinds] = {};
    uint8_t available_[kKinds] = {};
    SgTextureEntry sentinel_{};
    IDirectDraw4* directDraw_ = nullptr;
    SgD3DRender* renderer_ = nullptr;
    bool squareUpload_ = false;
    Heap heaps_[2];
    uint8_t noEvict_ = 0;
    uint8_t twoHeaps_ = 0;
    int32_t currentHeap_ = 0;
    SgTextureEntry* free_ = nullptr;
    struct Block;
    Block* blocks_ = nullptr;
    uint32_t keys_[2] = {};
};

// The device open's manager: shared, the one process-wide manager (made on first use); else a new
// one. Either way one more user, and every texture it holds is released. Null when none can be had.
SgD3DTextureManager* AcquireTextureManager(uint32_t creationFlags, IDirectDraw4* directDraw, IDirect3DDevice3* device,
                                           const D3DDEVICEDESC& description, bool shared);
// A device lets go: the last user destroys the manager, else its textures are released.
void ReleaseTextureManager(SgD3DTextureManager* manager);
// The process-wide shared manager, or null.
SgD3DTextureManager* SharedTextureManager();
