#pragma once
// The renderer's Direct3D device object: it opens a device (hardware, then the MMX and RGB
// software devices) over its render buffers, keeps the wanted and applied render states and sends
// only their differences just before a batch is drawn, and owns the vertex batch the transform
// writes pre-transformed vertices into.

#include <cstdint>

#include "engine/core/sg_math.h"
#include "engine/core/sg_property.h"
#include "engine/core/sg_ref.h"
#include "engine/render/sg_dd_image.h"
#include "engine/render/sg_render_buffers.h"
#include "platform/ddraw/d3d.h"

class SgD3DRender;
class SgD3DRenderContext;
class SgD3DTextureManager;
struct SgRenderCreateParams;
struct SgVertexWorkRecord;

// The pre-transformed vertex the batch holds: 32 bytes, or 40 with a second coordinate set.
struct SgTransformedVertex {
    float sx, sy, sz, rhw;
    uint32_t diffuse, specular;
    float tu, tv;
};
struct SgTransformedVertex2 : SgTransformedVertex {
    float tu2, tv2;
};
static_assert(sizeof(SgTransformedVertex) == 32 && sizeof(SgTransformedVertex2) == 40);

constexpr DWORD kVertexFormat1 = 0x1C4;
constexpr DWORD kVertexFormat2 = 0x2C4;

class SgVertexBatch {
public:
    SgVertexBatch() = default;
    ~SgVertexBatch();
    SgVertexBatch(const SgVertexBatch&) = delete;
    SgVertexBatch& operator=(const SgVertexBatch&) = delete;

    bool CreateVertexBuffers(bool hardware, IDirect3D3* direct3d, uint32_t n);
    void ReleaseVertexBuffers();
    bool BeginBatch(bool secondSet);
    // Locks the other buffer of the pair after a flush; the tag moves on.
    bool RelockBatch();
    IDirect3DVertexBuffer* CurrentBuffer() const { return buffers_[pair_ * 2 + bufferInPair_]; }
    void Unlock();
    void SwitchBuffer() { bufferInPair_ ^= 1; }

    uint8_t* write = nullptr;
    uint32_t vertexCount = 0;
    uint16_t* indexWrite = nullptr;
    uint32_t triangleCount = 0;
    uint32_t lockedSize = 0;
    uint32_t vertexRoom = 0;
    uint32_t vertexSize = 32;
    DWORD vertexFormat = kVertexFormat1;
    uint16_t* indices = nullptr;
    uint32_t indexRoom = 0;  // triangles
    uint8_t tag = 1;
    uint8_t locked = 0;
    // Called when the tag comes back round to 0, so no record keeps a copy of an older fill.
    void (*onTagWrap)(void* owner) = nullptr;
    void* tagWrapOwner = nullptr;

private:
    bool Lock();

    IDirect3DVertexBuffer* buffers_[4] = {};
    uint32_t pair_ = 0;
    uint32_t bufferInPair_ = 0;
};

class SgD3DDriver {
public:
    // Wanted/applied state bits.
    static constexpr uint32_t kWireframe = 1u << 0;
    static constexpr uint32_t kPerspective = 1u << 1;
    static constexpr uint32_t kSmooth = 1u << 2;
    static constexpr uint32_t kTransparent = 1u << 3;
    static constexpr uint32_t kAlphaBlend = 1u << 4;
    static constexpr uint32_t kZTest = 1u << 5;
    static constexpr uint32_t kZWrite = 1u << 6;
    static constexpr uint32_t kOffscreen = 1u << 8;
    static constexpr uint32_t kDither = 1u << 9;
    static constexpr uint32_t kSpecular = 1u << 10;
    static constexpr uint32_t kInScene = 1u << 11;
    static constexpr uint32_t kHardware = 1u << 14;
    static constexpr uint32_t kPow2 = 1u << 15;
    static constexpr uint32_t kAgp2x = 1u << 16;
    static constexpr uint32_t kAgp1x = 1u << 17;
    static constexpr uint32_t kMmx = 1u << 18;
    static constexpr uint32_t kTableFog = 1u << 19;
    static constexpr uint32_t kIndependentUV = 1u << 20;
    static constexpr uint32_t kOpened = 1u << 21;
    // Found by the multitexture probes.
    static constexpr uint32_t kTrilinearMulti = 1u << 22;
    static constexpr uint32_t kSeparateMemories = 1u << 23;
    static constexpr uint32_t kVertexLast = 1u << 24;
    static constexpr uint32_t kNoSelectArg2 = 1u << 25;
    static constexpr uint32_t kStage1Filter = 1u << 26;
    static constexpr uint32_t kNoFallback = 1u << 27;
    static constexpr uint32_t kIndependentAddressing = 1u << 28;

    // Information flags (GetDriverInfo).
    static constexpr uint32_t kInfoMipmaps = 1u << 0;
    static constexpr uint32_t kInfoPow2 = 1u << 1;
    static constexpr uint32_t kInfoAlways = 1u << 2;
    static constexpr uint32_t kInfoHardware = 1u << 3;
    static constexpr uint32_t kInfoAlphaTextures = 1u << 6;
    static constexpr uint32_t kInfoSystemTextures = 1u << 7;
    static constexpr uint32_t kInfoDeepDisplay = 1u << 8;

    SgD3DDriver();
    ~SgD3DDriver();
    SgD3DDriver(const SgD3DDriver&) = delete;
    SgD3DDriver& operator=(const SgD3DDriver&) = delete;

    HRESULT OpenDevice(const SgRenderCreateParams& params, SgD3DRender* renderer);

    // ---- States ----
    HRESULT SetRenderingModes();
    void ResetDrawDefaults();
    int ApplyDeferredStates(bool batchFog);
    void ApplyFogColor(const SgRgb& color);
    void SetAlphaProperty(bool on, uint32_t source, uint32_t destination);
    void SetStateBit(uint32_t bit, bool on) { wanted = on ? (wanted | bit) : (wanted & ~bit); }
    void SetTextureModeFilter(uint32_t mode, uint32_t stage);
    void SetTextureModeClamp(uint32_t mode, uint32_t stage);

    // ---- Frames ----
    HRESULT BeginFrame();
    HRESULT EndFrame();
    HRESULT ClearViewport(const float* pixelRect, uint32_t clearFlags);
    HRESULT CreateViewport();

    // ---- Batches ----
    // 0, or 2 when the buffer cannot be locked.
    int BeginPrimitives(bool lines);
    // Draws what the batch holds; 0 or 2.
    int DrawIndexedBatch();
    void FlushVertexBatch();

    SgD3DRenderContext* context = nullptr;
    SgRenderBuffers* buffers = nullptr;
    uint32_t mode = 0;
    IDirect3D3* direct3d = nullptr;
    IDirect3DDevice3* device = nullptr;
    GUID deviceGuid{};
    D3DDEVICEDESC description{};
    DDPIXELFORMAT zFormats[3] = {};
    bool hasZFormat[3] = {};
    uint32_t filterTable[6][3] = {};  // min, mag, mip per filter mode
    uint8_t blendOneSupported = 0, blendZeroSupported = 0;
    // Bit f: the device blends with engine function f as source (destination).
    uint32_t srcBlendSupport = 0, destBlendSupport = 0;
    SgPixelFormat* targetFormat = nullptr;
    uint32_t info = 0;
    char* deviceText = nullptr;
    SgD3DTextureManager* textureManager = nullptr;
    // The renderer this device belongs to; a shared manager is pointed back at it before use.
    SgD3DRender* owner = nullptr;
    uint32_t frameCounter = 0;
    PALETTEENTRY palette[256] = {};
    uint32_t vertexLimit = 0;
    IDirect3DViewport3* viewport = nullptr;
    D3DVIEWPORT2 viewportRect{};

    uint32_t wanted = 0;
    uint32_t applied = 0;
    uint32_t changed = 0;
    uint32_t fogKind = 0;
    uint32_t fogColorCache = 0;
    float fogStart = -1.0f, fogEnd = -1.0f;
    uint32_t clearColor = 0;
    uint32_t wantedSrcBlend = D3DBLEND_SRCALPHA, wantedDestBlend = D3DBLEND_INVSRCALPHA;
    uint32_t appliedSrcBlend = D3DBLEND_SRCALPHA, appliedDestBlend = D3DBLEND_INVSRCALPHA;
    uint32_t textureApply = 2;
    uint32_t vertexColorMode = 5;
    uint32_t multiTextureApply = 0;
    struct Stage {
        SgRef<SgImage> texture;
        uint32_t filterMode = 0;
        uint32_t addressU = D3DTADDRESS_WRAP, addressV = D3DTADDRESS_WRAP;
        uint32_t appliedU = D3DTADDRESS_WRAP, appliedV = D3DTADDRESS_WRAP;
    } stages[2];
    // The filter mode last sent to each device stage.
    uint32_t appliedFilter[2] = {};

    // ---- Texture stages ----
    // Indices of the stage-state caches.
    enum StageCacheSlot : uint32_t {
        kStage0ColorOp, kStage0ColorArg1, kStage0AlphaOp, kStage0AlphaArg1,
        kStage1ColorOp, kStage1ColorArg1, kStage2ColorOp, kStage2AlphaOp, kStageCacheSlots
    };
    HRESULT DetectMultiTextureModes(bool allowed);
    // 0 stage 0 only, 1 both textures in one pass, 2 two passes with frame-buffer blending.
    uint32_t ChooseMultiTexturePasses();
    // Programs the stages for one pass; true when another pass follows.
    bool SetupTexturePass(uint32_t pass);
    uint32_t MultipassBlendSupport(uint32_t mode) const;
    // True when the mode swaps the two textures.
    bool SetMultiTextureMode(uint32_t mode);
    void SetStage0Apply(uint32_t apply, bool alpha, bool textured);
    void SetStage0ApplyFallback(uint32_t apply, bool alpha, bool textured);
    void SetStage2Apply(uint32_t apply, bool alpha);
    void SetPassStage0Apply(uint32_t apply, uint32_t vertexColour, bool textured);
    void SetPassStage0ApplyFallback(uint32_t apply, uint32_t vertexColour, bool textured);
    bool SetPassBlend(uint32_t mode, uint32_t pass, uint32_t* source, uint32_t* vertexColour);
    void ApplyTextureFilter(bool mipmapped, bool linearMip, uint32_t deviceStage, uint32_t sourceStage);
    void ApplyTextureAddressing(uint32_t deviceStage, uint32_t sourceStage);
    // What the device cannot draw of a property list as asked (flags; 0 when all of it).
    uint32_t CheckPropertySupport(const SgPropertyList& list);

    uint8_t modeTable[8][8][8] = {};
    uint32_t passChoice = 0;
    uint32_t appliedZBias = 0;
    SgRef<SgImage> holders[2];
    DWORD stageCache[kStageCacheSlots] = {};
    DWORD texCoordCache[2] = {0xFFFFFFFFu, 0xFFFFFFFFu};

    SgVertexBatch batch;
    uint8_t lineMode = 0;
    uint8_t secondSet = 0;

private:
    HRESULT OpenAttempt(const GUID& guid, int zIndex, bool video, const SgRenderCreateParams& params,
                        const char* attempting, const char* failed, bool* opened);
    HRESULT CheckDeviceCaps();
    HRESULT CheckFogCaps();
    void ApplyFogState(bool batchFog);
    void CachedTSS(uint32_t slot, DWORD stage, D3DTEXTURESTAGESTATETYPE state, DWORD value);
    void SetCoordSet(uint32_t stage, DWORD set);
    void SetDeviceTexture(uint32_t stage, IDirect3DTexture2* texture);
    void ReleaseStageTexture(uint32_t stage);
    void ApplyStage0Row(DWORD colourOp, DWORD colourArg, DWORD alphaOp, DWORD alphaArg);
    IDirect3DTexture2* MakeTestTexture(const SgPixelFormat* format, int32_t stage, IDirectDrawSurface4** surface);
    HRESULT ProbeDraw(DWORD* passes);
    void SwitchStage1Off();
    void ZBiasBackToZero();
    void BindStageTextures(uint32_t s0, uint32_t s1, bool* alpha0, bool* alpha1);
    // Binds source stage s to device stage 0; the texture's alpha.
    bool BindPassTexture(uint32_t s);
    void SetRS(D3DRENDERSTATETYPE state, DWORD value);
    void SetLS(D3DLIGHTSTATETYPE state, DWORD value);
    void SetTSS(DWORD stage, D3DTEXTURESTAGESTATETYPE state, DWORD value);
};

// 0 (the file's entries are in `entries`), 2 (cannot open) or 11 (bad file). A name ending in
// ".bmp" is an 8-bit BMP file; any other a raw 768-byte palette.
int LoadPaletteFile(const char* name, PALETTEENTRY* entries);

// The blend table: engine alpha function 0 to 10 to the device's blend value; others read as 0.
DWORD SgBlendFunction(uint32_t function);
