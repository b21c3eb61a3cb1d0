#include "tests/support/recording_render.h"

#include <algorithm>
#include <cstdio>

#include "engine/core/sg_light.h"
#include "engine/core/sg_property.h"

namespace {

template <typename T>
std::vector<T> Copy(const T* data, size_t count) {
    return data ? std::vector<T>(data, data + count) : std::vector<T>();
}

std::string Number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

// Collects one call's arguments and logs it when the statement ends.
class Call {
public:
    Call(RecordingRender& render, const char* name) : render_(render) { call_.name = name; }
    ~Call() { render_.Record(std::move(call_)); }
    Call(const Call&) = delete;
    Call& operator=(const Call&) = delete;

    Call& Int(int64_t v) { return Arg(std::to_string(v)); }
    Call& Float(double v) { return Arg(Number(v)); }
    Call& Vec(const SgVec3& v) { return Arg("(" + Number(v.x) + ", " + Number(v.y) + ", " + Number(v.z) + ")"); }
    Call& Rgb(const SgRgb& c) { return Arg("(" + Number(c.r) + ", " + Number(c.g) + ", " + Number(c.b) + ")"); }
    Call& Object(const SgObject* o) {
        call_.objects.push_back(o);
        return Arg(DescribeObject(o));
    }
    Call& Array(const void* p) {
        call_.objects.push_back(p);
        return Arg(p ? "array" : "null");
    }
    Call& Bound(const SgBoundSphere& b) {
        return Arg("bound(" + Number(b.centre.x) + ", " + Number(b.centre.y) + ", " + Number(b.centre.z) +
                   "; " + Number(b.radius) + ")");
    }
    Call& Arg(std::string text) {
        call_.args.push_back(std::move(text));
        return *this;
    }
    // Where the draw's copies go, or null when the renderer keeps none.
    RenderArrays* Arrays() { return render_.copyArrays ? &call_.arrays : nullptr; }

private:
    RecordingRender& render_;
    RenderCall call_;
};

}  // namespace

std::string DescribeObject(const SgObject* o) {
    if (!o)
        return "null";
    if (o->GetName())
        return o->GetName();
    if (auto* image = SgKindCast<SgImage>(o))
        return "image#" + std::to_string(image->imageId);
    if (auto* material = SgKindCast<SgMaterialProperty>(o))
        return "material#" + std::to_string(material->materialId);
    if (auto* light = SgKindCast<SgLight>(o))
        return "light#" + std::to_string(light->revision);
    return o->ClassName();
}

std::string RenderCall::Text() const {
    std::string text = name + "(";
    for (size_t i = 0; i < args.size(); ++i)
        text += (i ? ", " : "") + args[i];
    return text + ")";
}

constinit SgTypeRecord RecordingRender::typeRecord{"RecordingRender", &SgRender::typeRecord};
constinit SgTypeRecord RecordingImage::typeRecord{"RecordingImage", &SgImage::typeRecord};

const SgTypeRecord* RecordingRender::GetTypeRecord() const { return &typeRecord; }
const SgTypeRecord* RecordingImage::GetTypeRecord() const { return &typeRecord; }

std::vector<std::string> RecordingRender::Log() const {
    std::vector<std::string> log;
    for (const RenderCall& c : calls)
        log.push_back(c.Text());
    return log;
}

std::vector<std::string> RecordingRender::Names() const {
    std::vector<std::string> names;
    for (const RenderCall& c : calls)
        names.push_back(c.name);
    return names;
}

std::vector<RenderCall> RecordingRender::Named(std::string_view name) const {
    std::vector<RenderCall> out;
    for (const RenderCall& c : calls)
        if (c.name == name)
            out.push_back(c);
    return out;
}

size_t RecordingRender::Count(std::string_view name) const {
    return static_cast<size_t>(
        std::count_if(calls.begin(), calls.end(), [&](const RenderCall& c) { return c.name == name; }));
}

bool RecordingImage::PrepareForListener(SgRender* listener, uint32_t argument) {
    auto* render = SgKindCast<RecordingRender>(listener);
    if (!render)
        return true;
    RenderCall call{"PrepareImage", {DescribeObject(this), std::to_string(argument)}, {this}, {}};
    render->Record(std::move(call));
    return !render->refuseImages;
}

// ---- The operations ----

const char* RecordingRender::GetDeviceName() {
    Call(*this, "GetDeviceName");
    return "Recording renderer";
}

uint32_t RecordingRender::GetDriverInfo() {
    Call(*this, "GetDriverInfo");
    return 0;
}

uint32_t RecordingRender::CheckProperties(const SgPropertyList& properties) {
    Call(*this, "CheckProperties").Int(properties.Count());
    return 0;
}

int32_t RecordingRender::BeginFrame() {
    Call(*this, "BeginFrame");
    return frameResult;
}

int32_t RecordingRender::EndFrame() {
    Call(*this, "EndFrame");
    return frameResult;
}

int32_t RecordingRender::PresentFrame() {
    Call(*this, "PresentFrame");
    return frameResult;
}

int32_t RecordingRender::ClearBuffers(const SgViewRect* view, uint32_t flags) {
    Call c(*this, "ClearBuffers");
    if (view)
        c.Arg("(" + Number(view->left) + ", " + Number(view->right) + ", " + Number(view->top) + ", " +
              Number(view->bottom) + ")");
    else
        c.Arg("null");
    c.Int(flags);
    return frameResult;
}

bool RecordingRender::SetBackgroundColor(const SgRgb& color) {
    Call(*this, "SetBackgroundColor").Rgb(color);
    return true;
}

void RecordingRender::UpdateLight(SgLight* light, uint8_t active) { Call(*this, "UpdateLight").Object(light).Int(active); }

void RecordingRender::RemoveLight(SgLight* light) { Call(*this, "RemoveLight").Object(light); }

void RecordingRender::SetMaterial(SgMaterialProperty* material) {
    Call(*this, "SetMaterial").Object(material).Int(material ? material->revision : 0);
}

void RecordingRender::SetCamera(const SgVec3& location, const SgMat3& axes, const SgVec3& viewDirection,
                                const SgVec3& up, const SgVec3& right, const SgFrustum& frustum,
                                const SgViewRect& viewport) {
    (void)axes;
    Call(*this, "SetCamera")
        .Vec(location)
        .Vec(viewDirection)
        .Vec(up)
        .Vec(right)
        .Arg("frustum(" + Number(frustum.left) + ", " + Number(frustum.right) + ", " + Number(frustum.top) + ", " +
             Number(frustum.bottom) + ", " + Number(frustum.nearDistance) + ", " + Number(frustum.farDistance) + ")")
        .Arg("view(" + Number(viewport.left) + ", " + Number(viewport.right) + ", " + Number(viewport.top) + ", " +
             Number(viewport.bottom) + ")");
}

void RecordingRender::SetModelTransform(const SgVec3& translation, const SgMat3& rotation, float scale) {
    modelTransforms.push_back({translation, rotation, scale});
    Call(*this, "SetModelTransform").Vec(translation).Float(scale);
}

int32_t RecordingRender::DrawTriShape(uint16_t triangleCount, uint16_t vertexCount, const SgVec3* vertices,
                                      const SgVec3* normals, const SgPlaneEq* planes, uint16_t textureSetCount,
                                      const SgVec3* textureSets, const SgRgba* colors, const uint16_t* indices,
                                      const SgBoundSphere& bound, const SgVec3& cameraInModel) {
    Call c(*this, "DrawTriShape");
    if (RenderArrays* a = c.Arrays()) {
        a->vertices = Copy(vertices, vertexCount);
        a->normals = Copy(normals, vertexCount);
        a->planes = Copy(planes, triangleCount);
        a->textureSets = Copy(textureSets, size_t{textureSetCount} * vertexCount);
        a->colors = Copy(colors, vertexCount);
        a->indices = Copy(indices, size_t{triangleCount} * 3);
    }
    c.Int(triangleCount)
        .Int(vertexCount)
        .Array(vertices)
        .Array(normals)
        .Array(planes)
        .Int(textureSetCount)
        .Array(textureSets)
        .Array(colors)
        .Array(indices)
        .Bound(bound)
        .Vec(cameraInModel);
    return 0;
}

void RecordingRender::LogUnindexed(const char* name, uint16_t triangleCount, const SgVec3* vertices,
                                   const SgVec3* normals, const SgPlaneEq* planes, uint16_t textureSetCount,
                                   const SgVec3* textureSets, const SgRgba* colors, const SgBoundSphere& bound,
                                   const SgVec3& cameraInModel) {
    Call c(*this, name);
    if (RenderArrays* a = c.Arrays()) {
        const size_t n = std::string_view(name) == "DrawTriStrip" ? size_t{triangleCount} + 2 : size_t{triangleCount} * 3;
        a->vertices = Copy(vertices, n);
        a->normals = Copy(normals, n);
        a->planes = Copy(planes, triangleCount);
        a->textureSets = Copy(textureSets, size_t{textureSetCount} * n);
        a->colors = Copy(colors, n);
    }
    c.Int(triangleCount)
        .Array(vertices)
        .Array(normals)
        .Array(planes)
        .Int(textureSetCount)
        .Array(textureSets)
        .Array(colors)
        .Bound(bound)
        .Vec(cameraInModel);
}

int32_t RecordingRender::DrawTriangles(uint16_t triangleCount, const SgVec3* vertices, const SgVec3* normals,
                                       const SgPlaneEq* planes, uint16_t textureSetCount, const SgVec3* textureSets,
                                       const SgRgba* colors, const SgBoundSphere& bound, const SgVec3& cameraInModel) {
    LogUnindexed("DrawTriangles", triangleCount, vertices, normals, planes, textureSetCount, textureSets, colors,
                 bound, cameraInModel);
    return 0;
}

int32_t RecordingRender::DrawTriStrip(uint16_t triangleCount, const SgVec3* vertices, const SgVec3* normals,
                                      const SgPlaneEq* planes, uint16_t textureSetCount, const SgVec3* textureSets,
                                      const SgRgba* colors, const SgBoundSphere& bound, const SgVec3& cameraInModel) {
    LogUnindexed("DrawTriStrip", triangleCount, vertices, normals, planes, textureSetCount, textureSets, colors,
                 bound, cameraInModel);
    return 0;
}

int32_t RecordingRender::DrawParticles(uint16_t count, const SgVec3* vertices, const SgVec3* normals,
                                       const SgRgba* colors, float sizeScale, const float* sizes,
                                       const SgBoundSphere& bound) {
    Call c(*this, "DrawParticles");
    if (RenderArrays* a = c.Arrays()) {
        a->vertices = Copy(vertices, count);
        a->normals = Copy(normals, count);
        a->colors = Copy(colors, count);
        a->sizes = Copy(sizes, count);
    }
    c.Int(count)
        .Array(vertices)
        .Array(normals)
        .Array(colors)
        .Float(sizeScale)
        .Array(sizes)
        .Bound(bound);
    return 0;
}

int32_t RecordingRender::DrawLines(uint16_t count, const SgVec3* vertices, const SgVec3* textureCoords,
                                   const SgRgba* colors, const uint8_t* connections, const SgBoundSphere& bound) {
    Call c(*this, "DrawLines");
    if (RenderArrays* a = c.Arrays()) {
        a->vertices = Copy(vertices, count);
        a->textureSets = Copy(textureCoords, count);
        a->colors = Copy(colors, count);
        a->connections = Copy(connections, count);
    }
    c.Int(count).Array(vertices).Array(textureCoords).Array(colors).Array(connections).Bound(bound);
    return 0;
}

int32_t RecordingRender::DrawScreenPolygon(uint16_t count, const SgVec3* vertices, const SgVec3* textureCoords,
                                           const SgRgba* colors) {
    Call c(*this, "DrawScreenPolygon");
    if (RenderArrays* a = c.Arrays()) {
        a->vertices = Copy(vertices, count);
        a->textureSets = Copy(textureCoords, count);
        a->colors = Copy(colors, count);
    }
    c.Int(count).Array(vertices).Array(textureCoords).Array(colors);
    return 0;
}

void RecordingRender::SetFogProperty(uint8_t on, float depth, uint32_t kind, const SgRgb& color) {
    Call(*this, "SetFogProperty").Int(on).Float(depth).Int(kind).Rgb(color);
}

void RecordingRender::SetAlphaProperty(uint8_t blendOn, uint32_t source, uint32_t destination) {
    Call(*this, "SetAlphaProperty").Int(blendOn).Int(source).Int(destination);
}

void RecordingRender::SetZBufferTest(uint8_t on) { Call(*this, "SetZBufferTest").Int(on); }
void RecordingRender::SetZBufferWrite(uint8_t on) { Call(*this, "SetZBufferWrite").Int(on); }
void RecordingRender::SetShadeProperty(uint8_t smooth) { Call(*this, "SetShadeProperty").Int(smooth); }
void RecordingRender::SetWireframeProperty(uint8_t on) { Call(*this, "SetWireframeProperty").Int(on); }
void RecordingRender::SetDitherProperty(uint8_t on) { Call(*this, "SetDitherProperty").Int(on); }
void RecordingRender::SetSpecularProperty(uint8_t on) { Call(*this, "SetSpecularProperty").Int(on); }
void RecordingRender::SetVertexColorProperty(uint32_t mode) { Call(*this, "SetVertexColorProperty").Int(mode); }
void RecordingRender::SetTransparentProperty(uint8_t on) { Call(*this, "SetTransparentProperty").Int(on); }
void RecordingRender::SetTransparentValue(uint32_t value) { Call(*this, "SetTransparentValue").Int(value); }

bool RecordingRender::PrecacheTexture(SgImage* image, uint32_t a, uint32_t b, uint32_t c) {
    Call(*this, "PrecacheTexture").Object(image).Int(a).Int(b).Int(c);
    return precacheResult;
}

bool RecordingRender::PrecacheTexturePair(SgImage* first, SgImage* second, uint32_t a, uint32_t b, uint32_t u,
                                          uint32_t v) {
    Call(*this, "PrecacheTexturePair").Object(first).Object(second).Int(a).Int(b).Int(u).Int(v);
    return precacheResult;
}

void RecordingRender::ReleaseAllTextures(uint8_t includePinned) { Call(*this, "ReleaseAllTextures").Int(includePinned); }

void RecordingRender::ReleaseTextures(SgImage* image) { Call(*this, "ReleaseTextures").Object(image); }

bool RecordingRender::GetTextureMemory(uint32_t& freeBytes, uint32_t& totalBytes) {
    Call(*this, "GetTextureMemory");
    freeBytes = 1u << 20;
    totalBytes = 4u << 20;
    return true;
}

bool RecordingRender::GetTextureStats(uint32_t& a, uint32_t& b, uint32_t& c, uint32_t& d, uint32_t& e) {
    Call(*this, "GetTextureStats");
    a = b = c = d = e = 0;
    return true;
}

uint32_t RecordingRender::GetTextureStatus() {
    Call(*this, "GetTextureStatus");
    return 0;
}

bool RecordingRender::HasTextureFormat(uint32_t format) {
    Call(*this, "HasTextureFormat").Int(format);
    return std::find(textureFormats.begin(), textureFormats.end(), format) != textureFormats.end();
}

bool RecordingRender::SetStoredValue(uint32_t value) {
    Call(*this, "SetStoredValue").Int(value);
    storedValue = value;
    return true;
}

uint32_t RecordingRender::GetStoredValue() {
    Call(*this, "GetStoredValue");
    return storedValue;
}

void RecordingRender::SetTextureProperty(SgImage* image) { Call(*this, "SetTextureProperty").Object(image); }

void RecordingRender::SetMultiTextureProperty(const SgArray<SgImage>* textures, const SgPtrArray<uint32_t>* blendModes,
                                              const SgPtrArray<uint32_t>* addressingModes,
                                              const SgPtrArray<uint32_t>* filterModes) {
    Call(*this, "SetMultiTextureProperty").Array(textures).Array(blendModes).Array(addressingModes).Array(filterModes);
}

void RecordingRender::SetTextureModeApply(uint32_t mode) { Call(*this, "SetTextureModeApply").Int(mode); }
void RecordingRender::SetTextureModeFilter(uint32_t mode) { Call(*this, "SetTextureModeFilter").Int(mode); }
void RecordingRender::SetTextureModeClamp(uint32_t mode) { Call(*this, "SetTextureModeClamp").Int(mode); }
void RecordingRender::SetCorrectionProperty(uint8_t on) { Call(*this, "SetCorrectionProperty").Int(on); }

void RecordingRender::SetClipPlanes(const SgPlaneEq* const* planes, uint32_t count, uint32_t frustumCount,
                                    uint32_t frustumMask) {
    Call(*this, "SetClipPlanes").Array(planes).Int(count).Int(frustumCount).Int(frustumMask);
}

uint32_t RecordingRender::GetTargetWidth() {
    Call(*this, "GetTargetWidth");
    return targetWidth;
}

uint32_t RecordingRender::GetTargetHeight() {
    Call(*this, "GetTargetHeight");
    return targetHeight;
}

SgImage* RecordingRender::GetBufferByKind(uint32_t kind) {
    Call(*this, "GetBufferByKind").Int(kind);
    return nullptr;
}

bool RecordingRender::BlitImageToFrame(SgImage* image, const SgPixelRect* source, int32_t x, int32_t y, uint8_t keyed) {
    Call c(*this, "BlitImageToFrame");
    c.Object(image);
    if (source)
        c.Arg("(" + std::to_string(source->left) + ", " + std::to_string(source->right) + ", " +
              std::to_string(source->top) + ", " + std::to_string(source->bottom) + ")");
    else
        c.Arg("null");
    c.Int(x).Int(y).Int(keyed);
    return image != nullptr;
}

bool RecordingRender::GetPair(const char* name, const uint32_t (&pair)[2], uint32_t& a, uint32_t& b) {
    Call(*this, name);
    a = pair[0];
    b = pair[1];
    return true;
}

bool RecordingRender::SetPair(const char* name, uint32_t (&pair)[2], uint32_t a, uint32_t b) {
    Call(*this, name).Int(a).Int(b);
    pair[0] = a;
    pair[1] = b;
    return true;
}

bool RecordingRender::GetFirstPair(uint32_t& a, uint32_t& b) { return GetPair("GetFirstPair", firstPair, a, b); }
bool RecordingRender::SetFirstPair(uint32_t a, uint32_t b) { return SetPair("SetFirstPair", firstPair, a, b); }
bool RecordingRender::GetSecondPair(uint32_t& a, uint32_t& b) { return GetPair("GetSecondPair", secondPair, a, b); }
bool RecordingRender::SetSecondPair(uint32_t a, uint32_t b) { return SetPair("SetSecondPair", secondPair, a, b); }
