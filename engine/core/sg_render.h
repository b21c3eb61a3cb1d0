#pragma once
// SgRender: the engine's abstract renderer, the one way from the scene graph, the display state,
// the screen polygons, the images and the game's 2D screens to the device. The operations keep a
// fixed order (the renderer classes and their doubles rely on it); most are pure, a few have the
// base bodies given below. Every renderer made joins a process-wide list, so that a light that
// goes can be forgotten by all of them.

#include <cstdint>

#include "engine/core/sg_array.h"
#include "engine/core/sg_bound.h"
#include "engine/core/sg_math.h"
#include "engine/core/sg_property.h"

class SgImage;
class SgLight;

// The camera's frustum window and depth range.
struct SgFrustum {
    float left = -1.0f, right = 1.0f, top = 1.0f, bottom = -1.0f;
    float nearDistance = 1.0f, farDistance = 2.0f;
};

// A camera's view rectangle in fractions of the render target (0 to 1, top above bottom).
struct SgViewRect {
    float left = 0.0f, right = 1.0f, top = 1.0f, bottom = 0.0f;
};

// A rectangle of an image in pixels: left, right, top, bottom.
struct SgPixelRect {
    uint32_t left = 0, right = 0, top = 0, bottom = 0;
};

class SgRender : public SgObject {
public:
    // Bits of the ClearBuffers flags.
    static constexpr uint32_t kClearFrame = 1;
    static constexpr uint32_t kClearDepth = 2;
    // CheckProperties of a renderer that checks nothing.
    static constexpr uint32_t kPropertiesUnchecked = 0x80000000u;

    static SgTypeRecord typeRecord;
    static int Register();

    const SgTypeRecord* GetTypeRecord() const override;

    // ---- The operations, in their fixed order after the seven of every object ----
    virtual const char* GetDeviceName() = 0;
    virtual uint32_t GetDriverInfo() = 0;
    // What the device cannot draw as asked for the properties in force with this list.
    virtual uint32_t CheckProperties(const SgPropertyList& properties);
    virtual int32_t BeginFrame() = 0;
    virtual int32_t EndFrame() = 0;
    virtual int32_t PresentFrame() = 0;
    // view null: the whole viewport; flags kClearFrame, kClearDepth.
    virtual int32_t ClearBuffers(const SgViewRect* view, uint32_t flags) = 0;
    virtual bool SetBackgroundColor(const SgRgb& color) = 0;
    // active 1 at a light's first use in the light stack, 0 at its last.
    virtual void UpdateLight(SgLight* light, uint8_t active) = 0;
    // Forgets everything kept for the light.
    virtual void RemoveLight(SgLight* light);
    virtual void SetMaterial(SgMaterialProperty* material) = 0;
    virtual void SetCamera(const SgVec3& location, const SgMat3& axes, const SgVec3& viewDirection,
                           const SgVec3& up, const SgVec3& right, const SgFrustum& frustum,
                           const SgViewRect& viewport) = 0;
    virtual void SetModelTransform(const SgVec3& translation, const SgMat3& rotation, float scale) = 0;
    // Texture sets: setCount x vertex count coordinates, set after set. Planes: one per triangle.
    virtual int32_t DrawTriShape(uint16_t triangleCount, uint16_t vertexCount, const SgVec3* vertices,
                                 const SgVec3* normals, const SgPlaneEq* planes, uint16_t textureSetCount,
                                 const SgVec3* textureSets, const SgRgba* colors, const uint16_t* indices,
                                 const SgBoundSphere& bound, const SgVec3& cameraInModel) = 0;
    virtual int32_t DrawTriangles(uint16_t triangleCount, const SgVec3* vertices, const SgVec3* normals,
                                  const SgPlaneEq* planes, uint16_t textureSetCount, const SgVec3* textureSets,
                                  const SgRgba* colors, const SgBoundSphere& bound, const SgVec3& cameraInModel) = 0;
    virtual int32_t DrawTriStrip(uint16_t triangleCount, const SgVec3* vertices, const SgVec3* normals,
                                 const SgPlaneEq* planes, uint16_t textureSetCount, const SgVec3* textureSets,
                                 const SgRgba* colors, const SgBoundSphere& bound, const SgVec3& cameraInModel) = 0;
    virtual int32_t DrawParticles(uint16_t count, const SgVec3* vertices, const SgVec3* normals,
                                  const SgRgba* colors, float sizeScale, const float* sizes,
                                  const SgBoundSphere& bound) = 0;
    virtual int32_t DrawLines(uint16_t count, const SgVec3* vertices, const SgVec3* textureCoords,
                              const SgRgba* colors, const uint8_t* connections, const SgBoundSphere& bound);
    // A 2D polygon in screen space (x and y in 0 to 1).
    virtual int32_t DrawScreenPolygon(uint16_t count, const SgVec3* vertices, const SgVec3* textureCoords,
                                      const SgRgba* colors) = 0;
    virtual void SetFogProperty(uint8_t on, float depth, uint32_t kind, const SgRgb& color) = 0;
    virtual void SetAlphaProperty(uint8_t blendOn, uint32_t source, uint32_t destination) = 0;
    virtual void SetZBufferTest(uint8_t on) = 0;
    virtual void SetZBufferWrite(uint8_t on) = 0;
    virtual void SetShadeProperty(uint8_t smooth) = 0;
    virtual void SetWireframeProperty(uint8_t on) = 0;
    virtual void SetDitherProperty(uint8_t on) = 0;
    virtual void SetSpecularProperty(uint8_t on) = 0;
    virtual void SetVertexColorProperty(uint32_t mode) = 0;
    virtual void SetTransparentProperty(uint8_t on) = 0;
    virtual void SetTransparentValue(uint32_t value) = 0;
    virtual bool PrecacheTexture(SgImage* image, uint32_t a, uint32_t b, uint32_t c) = 0;
    // (0xFFFFFFFF, 0xFFFFFFFF) in the last two stands for (0, 1).
    virtual bool PrecacheTexturePair(SgImage* first, SgImage* second, uint32_t a, uint32_t b, uint32_t u,
                                     uint32_t v) = 0;
    virtual void ReleaseAllTextures(uint8_t includePinned) = 0;
    virtual void ReleaseTextures(SgImage* image) = 0;
    // Base: false, results untouched.
    virtual bool GetTextureMemory(uint32_t& freeBytes, uint32_t& totalBytes);
    virtual bool GetTextureStats(uint32_t& a, uint32_t& b, uint32_t& c, uint32_t& d, uint32_t& e);
    virtual uint32_t GetTextureStatus();
    virtual bool HasTextureFormat(uint32_t format) = 0;
    virtual bool SetStoredValue(uint32_t value) = 0;
    virtual uint32_t GetStoredValue() = 0;
    // The texture of stage 0; null for none.
    virtual void SetTextureProperty(SgImage* image) = 0;
    // The multi-texture property's four arrays, or four nulls for no extra stage.
    virtual void SetMultiTextureProperty(const SgArray<SgImage>* textures, const SgPtrArray<uint32_t>* blendModes,
                                         const SgPtrArray<uint32_t>* addressingModes,
                                         const SgPtrArray<uint32_t>* filterModes) = 0;
    virtual void SetTextureModeApply(uint32_t mode) = 0;
    virtual void SetTextureModeFilter(uint32_t mode) = 0;
    virtual void SetTextureModeClamp(uint32_t mode) = 0;
    virtual void SetCorrectionProperty(uint8_t on) = 0;
    // The planes the following draws are clipped against; EndFrame clears them.
    virtual void SetClipPlanes(const SgPlaneEq* const* planes, uint32_t count, uint32_t frustumCount,
                               uint32_t frustumMask) = 0;
    virtual uint32_t GetTargetWidth() = 0;
    virtual uint32_t GetTargetHeight() = 0;
    // kind 1 the back buffer, 2 the front (or back) buffer; null when there is none.
    virtual SgImage* GetBufferByKind(uint32_t kind) = 0;
    // source null: the whole image.
    virtual bool BlitImageToFrame(SgImage* image, const SgPixelRect* source, int32_t x, int32_t y,
                                  uint8_t keyed) = 0;
    virtual bool GetFirstPair(uint32_t& a, uint32_t& b) = 0;
    virtual bool SetFirstPair(uint32_t a, uint32_t b) = 0;
    virtual bool GetSecondPair(uint32_t& a, uint32_t& b) = 0;
    virtual bool SetSecondPair(uint32_t a, uint32_t b) = 0;

    // ---- The renderer list ----
    // Tells every renderer alive, in the order they were made, that the light is gone.
    static void RemoveLightEverywhere(SgLight* light);
    static uint32_t RendererCount();

protected:
    // Joins the renderer list.
    SgRender();
    // Leaves the image listeners (as listener 0 and 1) and the renderer list.
    ~SgRender() override;

private:
    void* listEntry_ = nullptr;
};
