#pragma once
// SgD3DRender: the engine's renderer over our DirectDraw and Direct3D. It transforms, lights, fogs
// and clips every vertex itself and hands the device pre-transformed vertices. The first renderer
// made becomes the current one, which images and the game's view code reach.

#include <cstdint>

#include "engine/core/sg_render.h"
#include "engine/render/sg_d3d_driver.h"
#include "engine/render/sg_lighting.h"
#include "engine/render/sg_vertex_work.h"
#include "platform/ddraw/d3d.h"

class SgDDImage;
class SgD3DTextureManager;

struct SgRenderCreateParams {
    HWND window = nullptr;
    const char* paletteFile = nullptr;
    // bit 0 Z-buffer, bit 1 hardware wanted, bit 3 set by the game, bit 4 32-bit full screen,
    // bit 6 keep the primary driver, bit 7 two back buffers, bit 8 no multi-pass texturing.
    uint32_t flags = 9;
    uint32_t width = 0, height = 0;
    uint32_t mode = 0;  // 0 windowed, 1 full screen, 2 offscreen
    SgDDBufferImage* frontImage = nullptr;
    SgDDBufferImage* backImage = nullptr;
};

class SgD3DRenderContext;
using SgTriangleRoutine = void (*)(SgD3DRenderContext& ctx, SgVertexWorkRecord* const* triangle);
using SgLineRoutine = void (*)(SgD3DRenderContext& ctx, SgVertexWorkRecord* a, SgVertexWorkRecord* b);
using SgParticleRoutine = void (*)(SgD3DRenderContext& ctx, SgVertexWorkRecord* records, float sizeScale,
                                   const float* sizes, uint32_t count);
using SgClipInterpolator = void (*)(float dIn, float dOut, const SgVertexWorkRecord& inside,
                                    const SgVertexWorkRecord& outside, SgVertexWorkRecord& made);

struct SgViewBlock {
    static constexpr uint32_t kViewStale = 1;
    static constexpr uint32_t kProjectionStale = 2;
    static constexpr uint32_t kCombinedStale = 4;
    static constexpr uint32_t kRightStale = 16;

    uint32_t update = 0;
    SgVec3 position;
    float view[4][4] = {};
    SgVec3 up, direction, right;
    float projection[4][4] = {};
    float combined[4][4] = {};
    float halfWidth = 0, halfHeight = 0, centreX = 0, centreY = 0;
    const SgPlaneEq* const* clipPlanes = nullptr;
    uint32_t clipPlaneCount = 0;
    float nearDistance = 1, farDistance = 3, left = -1, right_ = 1, top = 1, bottom = -1;
};

struct SgFogBlock {
    float linearScale = 1.0f;
    float byteScale = 255.0f;
    float end = 1.0f;
    float nearPlane = 0.0f;
    float depthFraction = 1.0f;
    // on, table fog wanted, range fog, vertex-alpha fog
    uint8_t on = 0, tableWanted = 1, range = 0, vertexAlpha = 0;
    float signedStartSquare = 0, endSquare = 0, rangeScale = 0;
};

class SgD3DRenderContext {
public:
    SgD3DRenderContext();
    ~SgD3DRenderContext();
    SgD3DRenderContext(const SgD3DRenderContext&) = delete;
    SgD3DRenderContext& operator=(const SgD3DRenderContext&) = delete;

    // 0, 1 out of memory, 2 device open failed, 3 invalid parameters.
    int Init(const SgRenderCreateParams& params, SgD3DRender* renderer);
    int SetupFrustum();
    int RebuildView();
    void SetCamera(const SgVec3& position, const SgVec3& direction, const SgVec3& up, const SgFrustum& frustum,
                   const SgViewRect& viewport);
    void SetViewportMapping(const SgViewRect& view);
    // The pixel rectangle (left, top, right, bottom) of a view, inside the target.
    void PixelRect(const SgViewRect& view, float out[4]) const;
    void UpdateFogScales();

    // ---- Draw entries ----
    int DrawTriShape(uint32_t triangleCount, uint32_t vertexCount, const SgVec3* positions, const SgVec3* normals,
                     const SgPlaneEq* planes, uint32_t setCount, const SgVec3* sets, const SgRgba* colors,
                     const uint16_t* indices, const SgBoundSphere& bound, const SgVec3& camera);
    int DrawTriangles(uint32_t triangleCount, const SgVec3* positions, const SgVec3* normals,
                      const SgPlaneEq* planes, uint32_t setCount, const SgVec3* sets, const SgRgba* colors,
                      const SgBoundSphere& bound, const SgVec3& camera);
    int DrawTriStrip(uint32_t triangleCount, const SgVec3* positions, const SgVec3* normals,
                     const SgPlaneEq* planes, uint32_t setCount, const SgVec3* sets, const SgRgba* colors,
                     const SgBoundSphere& bound, const SgVec3& camera);
    int DrawParticles(uint32_t count, const SgVec3* positions, const SgVec3* normals, const SgRgba* colors,
                      float sizeScale, const float* sizes, const SgBoundSphere& bound);
    int DrawLines(uint32_t count, const SgVec3* positions, const SgVec3* coords, const SgRgba* colors,
                  const uint8_t* connections, const SgBoundSphere& bound);
    int DrawScreenPolygon(uint32_t count, const SgVec3* points, const SgVec3* coords, const SgRgba* colors);

    // ---- Pipeline pieces ----
    int PrepareDraw(uint32_t vertexCount, uint32_t triangleCount, bool clearUsed);
    int SetupTransformPath(const SgBoundSphere& bound, uint32_t vertexCount, const SgVec3* positions,
                           const SgVec3* normals, const SgVec3* sets, uint32_t setCount, const SgRgba* colors);
    void SelectClipInterpolator();
    void ApplyDrawStates();
    void ClipPolygon(SgVertexWorkRecord* const* triangle, uint32_t plane);
    void ClipLine(SgVertexWorkRecord* a, SgVertexWorkRecord* b, uint32_t plane);
    void MarkParticlesInside(const SgVec3* positions, uint32_t count);
    void EmitScreenPolygon(const SgVec3* points, const SgVec3* coords, const SgRgba* colors, uint32_t count);
    void EnterPipelineMode();
    void LeavePipelineMode();
    void RestoreCallerMode();
    void ResumePipelineMode();

    SgD3DDriver* driver = nullptr;
    SgVertexWorkBuffer work;
    SgVertexWorkRecord* (*triangles)[3] = nullptr;
    uint32_t triangleCount = 0;
    uint32_t triangleCapacity = 0;
    SgViewBlock view;
    SgFogBlock fog;
    SgVec3 eye;
    SgLightTable lights;
    SgMaterialCache materials;
    uint32_t pipelineFlags = 0;  // bit 2 specular property on
    uint8_t specularOn = 0;
    uint32_t savedMode = 0;
    uint8_t modeSaved = 0;

    SgTriangleRoutine triangleRoutine = nullptr;
    SgLineRoutine lineRoutine = nullptr;
    SgParticleRoutine particleRoutine = nullptr;
    SgClipInterpolator interpolator = nullptr;

private:
    int Submit(uint32_t vertexCount);
    int TransformAndSubmit(const SgBoundSphere& bound, uint32_t vertexCount, const SgVec3* positions,
                           const SgVec3* normals, const SgVec3* sets, uint32_t setCount, const SgRgba* colors);
};

class SgD3DRender : public SgRender {
public:
    static SgTypeRecord typeRecord;
    static int Register();

    static SgRef<SgD3DRender> Create(const SgRenderCreateParams& params);
    static bool InstallImageHook();
    static SgD3DRender* Current();
    // Lets go of the current renderer (the game's display shutdown, the exit handler).
    static void ReleaseCurrent();

    const SgTypeRecord* GetTypeRecord() const override;

    const char* GetDeviceName() override;
    uint32_t GetDriverInfo() override;
    uint32_t CheckProperties(const SgPropertyList& properties) override;
    int32_t BeginFrame() override;
    int32_t EndFrame() override;
    int32_t PresentFrame() override;
    int32_t ClearBuffers(const SgViewRect* view, uint32_t flags) override;
    bool SetBackgroundColor(const SgRgb& color) override;
    void UpdateLight(SgLight* light, uint8_t active) override;
    void RemoveLight(SgLight* light) override;
    void SetMaterial(SgMaterialProperty* material) override;
    void SetCamera(const SgVec3& location, const SgMat3& axes, const SgVec3& viewDirection, const SgVec3& up,
                   const SgVec3& right, const SgFrustum& frustum, const SgViewRect& viewport) override;
    void SetModelTransform(const SgVec3& translation, const SgMat3& rotation, float scale) override;
    int32_t DrawTriShape(uint16_t triangleCount, uint16_t vertexCount, const SgVec3* vertices, const SgVec3* normals,
                         const SgPlaneEq* planes, uint16_t textureSetCount, const SgVec3* textureSets,
                         const SgRgba* colors, const uint16_t* indices, const SgBoundSphere& bound,
                         const SgVec3& cameraInModel) override;
    int32_t DrawTriangles(uint16_t triangleCount, const SgVec3* vertices, const SgVec3* normals,
                          const SgPlaneEq* planes, uint16_t textureSetCount, const SgVec3* textureSets,
                          const SgRgba* colors, const SgBoundSphere& bound, const SgVec3& cameraInModel) override;
    int32_t DrawTriStrip(uint16_t triangleCount, const SgVec3* vertices, const SgVec3* normals,
                         const SgPlaneEq* planes, uint16_t textureSetCount, const SgVec3* textureSets,
                         const SgRgba* colors, const SgBoundSphere& bound, const SgVec3& cameraInModel) override;
    int32_t DrawParticles(uint16_t count, const SgVec3* vertices, const SgVec3* normals, const SgRgba* colors,
                          float sizeScale, const float* sizes, const SgBoundSphere& bound) override;
    int32_t DrawLines(uint16_t count, const SgVec3* vertices, const SgVec3* textureCoords, const SgRgba* colors,
                      const uint8_t* connections, const SgBoundSphere& bound) override;
    int32_t DrawScreenPolygon(uint16_t count, const SgVec3* vertices, const SgVec3* textureCoords,
                              const SgRgba* colors) override;
    void SetFogProperty(uint8_t on, float depth, uint32_t kind, const SgRgb& color) override;
    void SetAlphaProperty(uint8_t blendOn, uint32_t source, uint32_t destination) override;
    void SetZBufferTest(uint8_t on) override;
    void SetZBufferWrite(uint8_t on) override;
    void SetShadeProperty(uint8_t smooth) override;
    void SetWireframeProperty(uint8_t on) override;
    void SetDitherProperty(uint8_t on) override;
    void SetSpecularProperty(uint8_t on) override;
    void SetVertexColorProperty(uint32_t mode) override;
    void SetTransparentProperty(uint8_t on) override;
    void SetTransparentValue(uint32_t value) override;
    bool PrecacheTexture(SgImage* image, uint32_t a, uint32_t b, uint32_t c) override;
    bool PrecacheTexturePair(SgImage* first, SgImage* second, uint32_t a, uint32_t b, uint32_t u,
                             uint32_t v) override;
    void ReleaseAllTextures(uint8_t includePinned) override;
    void ReleaseTextures(SgImage* image) override;
    bool GetTextureMemory(uint32_t& freeBytes, uint32_t& totalBytes) override;
    bool GetTextureStats(uint32_t& a, uint32_t& b, uint32_t& c, uint32_t& d, uint32_t& e) override;
    uint32_t GetTextureStatus() override;
    bool HasTextureFormat(uint32_t format) override;
    bool SetStoredValue(uint32_t value) override;
    uint32_t GetStoredValue() override;
    void SetTextureProperty(SgImage* image) override;
    void SetMultiTextureProperty(const SgArray<SgImage>* textures, const SgPtrArray<uint32_t>* blendModes,
                                 const SgPtrArray<uint32_t>* addressingModes,
                                 const SgPtrArray<uint32_t>* filterModes) override;
    void SetTextureModeApply(uint32_t mode) override;
    void SetTextureModeFilter(uint32_t mode) override;
    void SetTextureModeClamp(uint32_t mode) override;
    void SetCorrectionProperty(uint8_t on) override;
    void SetClipPlanes(const SgPlaneEq* const* planes, uint32_t count, uint32_t frustumCount,
                       uint32_t frustumMask) override;
    uint32_t GetTargetWidth() override;
    uint32_t GetTargetHeight() override;
    SgImage* GetBufferByKind(uint32_t kind) override;
    bool BlitImageToFrame(SgImage* image, const SgPixelRect* source, int32_t x, int32_t y, uint8_t keyed) override;
    bool GetFirstPair(uint32_t& a, uint32_t& b) override;
    bool SetFirstPair(uint32_t a, uint32_t b) override;
    bool GetSecondPair(uint32_t& a, uint32_t& b) override;
    bool SetSecondPair(uint32_t a, uint32_t b) override;

    // Stretches the source rectangle of the image (null: all of it) onto the destination rectangle
    // of the frame (null: all of it); both left, right, top, bottom.
    bool BlitImageToFrameKeyed(SgImage* image, const SgPixelRect* source, const SgPixelRect* destination,
                               uint8_t keyed);
    int32_t RestorePalette();
    // The driver's texture manager pointed at this renderer; null before the device opens.
    SgD3DTextureManager* TextureManager();
    // Every texture manager lets go of the image's textures (the image goes).
    static void ReleaseImageTextures(SgImage* image);

    SgD3DRenderContext* Context() const { return context_; }
    SgD3DDriver* Driver() const { return context_ ? context_->driver : nullptr; }
    const SgPixelFormat* FrameFormat() const;
    uint32_t Serial() const { return serial_; }

protected:
    SgD3DRender();
    ~SgD3DRender() override;

private:
    // The frame surface and the image's surface in its format; false when either is missing.
    bool FrameAndSource(SgImage* image, IDirectDrawSurface4** frame, IDirectDrawSurface4** source);

    SgD3DRenderContext* context_ = nullptr;
    uint32_t serial_;
    uint32_t storedValue_ = 0;
};
