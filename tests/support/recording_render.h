#pragma once
// A renderer that draws nothing and logs every call it gets, with its arguments, so engine
// classes can be tested without pixels:
//
//   SgRef<RecordingRender> render(new RecordingRender);
//   display->SetRenderer(render.Get());
//   render->Clear();
//   ... draw ...
//   EXPECT_EQ(render->Log(), (std::vector<std::string>{"SetAlphaProperty(1, 6, 7)", ...}));
//
// Each call is a RenderCall: the operation's name, its arguments as text and every pointer it was
// given (images, lights, properties, arrays; null included) for identity checks. Objects print as
// their name when they have one, images as "image#<id>", materials as "material#<id>", lights as
// "light#<revision>", other objects by class; arrays as "array" or "null"; floats with %g.
//
// RecordingImage is an image class for the image factory (RecordingImageFactory installs it for
// its lifetime): offered to a RecordingRender listener it logs "PrepareImage(image#<id>, <arg>)"
// and takes the image unless the renderer's refuseImages is set.
//
// With copyArrays set, each draw call also keeps copies of the arrays it was handed (empty for a
// null array), so a test can compare what two frames drew after the engine reused its buffers.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/sg_image.h"
#include "engine/core/sg_render.h"

// A draw's arrays as they were at the call, by the lengths the operation reads: vertices, normals,
// colours and sizes per vertex (three per triangle for DrawTriangles, triangles + 2 for
// DrawTriStrip); texture sets setCount x vertex count; planes one per triangle; indices three per
// triangle; connections one per line vertex.
struct RenderArrays {
    std::vector<SgVec3> vertices;
    std::vector<SgVec3> normals;
    std::vector<SgPlaneEq> planes;
    std::vector<SgVec3> textureSets;
    std::vector<SgRgba> colors;
    std::vector<uint16_t> indices;
    std::vector<float> sizes;
    std::vector<uint8_t> connections;
};

struct RenderCall {
    std::string name;
    std::vector<std::string> args;
    std::vector<const void*> objects;
    // Filled by draws when the renderer's copyArrays is set.
    RenderArrays arrays;

    // "Name(arg, arg, ...)".
    std::string Text() const;
};

class RecordingRender : public SgRender {
public:
    static SgTypeRecord typeRecord;

    RecordingRender() = default;
    const SgTypeRecord* GetTypeRecord() const override;

    // The log.
    std::vector<RenderCall> calls;
    std::vector<std::string> Log() const;
    std::vector<std::string> Names() const;
    // The calls of one operation, in order.
    std::vector<RenderCall> Named(std::string_view name) const;
    size_t Count(std::string_view name) const;
    void Clear() {
        calls.clear();
        modelTransforms.clear();
    }
    // Logs a call made to the renderer by a helper (RecordingImage).
    void Record(RenderCall call) { calls.push_back(std::move(call)); }

    // Every SetModelTransform's placement in full (the log shows translation and scale only).
    struct ModelTransform {
        SgVec3 translation;
        SgMat3 rotation;
        float scale = 1.0f;
    };
    std::vector<ModelTransform> modelTransforms;

    // What the renderer answers.
    int32_t frameResult = 0;
    uint32_t targetWidth = 640;
    uint32_t targetHeight = 480;
    bool refuseImages = false;
    bool copyArrays = false;
    bool precacheResult = true;
    std::vector<uint32_t> textureFormats = {0, 1, 2, 3, 4, 5};

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

    uint32_t storedValue = 0;
    uint32_t firstPair[2] = {};
    uint32_t secondPair[2] = {};

protected:
    ~RecordingRender() override = default;

private:
    bool GetPair(const char* name, const uint32_t (&pair)[2], uint32_t& a, uint32_t& b);
    bool SetPair(const char* name, uint32_t (&pair)[2], uint32_t a, uint32_t b);
    // DrawTriangles and DrawTriStrip take the same arguments.
    void LogUnindexed(const char* name, uint16_t triangleCount, const SgVec3* vertices, const SgVec3* normals,
                      const SgPlaneEq* planes, uint16_t textureSetCount, const SgVec3* textureSets,
                      const SgRgba* colors, const SgBoundSphere& bound, const SgVec3& cameraInModel);
};

class RecordingImage : public SgImage {
public:
    static SgTypeRecord typeRecord;
    static SgImage* Make() { return new RecordingImage; }

    const SgTypeRecord* GetTypeRecord() const override;
    bool PrepareForListener(SgRender* listener, uint32_t argument) override;

protected:
    ~RecordingImage() override = default;
};

// Installs RecordingImage::Make as the image factory while it lives; puts the previous one back.
class RecordingImageFactory {
public:
    RecordingImageFactory() : previous_(SgImage::GetFactory()) { SgImage::SetFactory(RecordingImage::Make); }
    ~RecordingImageFactory() { SgImage::SetFactory(previous_); }
    RecordingImageFactory(const RecordingImageFactory&) = delete;
    RecordingImageFactory& operator=(const RecordingImageFactory&) = delete;

private:
    SgImage::Factory previous_;
};

// How the log prints an object (see above).
std::string DescribeObject(const SgObject* object);
