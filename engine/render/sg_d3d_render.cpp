#include "engine/render/sg_d3d_render.h"

#include <algorithm>
#include <cstdlib>
#include <new>

#include "engine/core/sg_light.h"
#include "engine/core/sg_registry.h"
#include "engine/render/sg_dd_environment.h"
#include "engine/render/sg_dd_image.h"
#include "engine/render/sg_render_debug.h"
#include "engine/render/sg_texture_manager.h"

namespace {

uint32_t g_serial = 1;
SgD3DRender* g_current = nullptr;  // holds one reference
bool g_exitHandlerSet = false;

void ExitHandler() {
    SgD3DRender::ReleaseCurrent();
    ReleaseDDEnvironment();
}

}  // namespace

constinit SgTypeRecord SgD3DRender::typeRecord{"SgD3DRender", &SgRender::typeRecord};

int SgD3DRender::Register() { return SgClassRegistry::Register(typeRecord, SgCreateAbstract); }

const SgTypeRecord* SgD3DRender::GetTypeRecord() const { return &typeRecord; }

SgD3DRender::SgD3DRender() : serial_(g_serial++) {}

SgD3DRender::~SgD3DRender() { delete context_; }

bool SgD3DRender::InstallImageHook() {
    SgImage::SetFactory(SgDDImage::CreateImage);
    return true;
}

SgRef<SgD3DRender> SgD3DRender::Create(const SgRenderCreateParams& params) {
    InstallImageHook();
    SgRef<SgD3DRender> render(new (std::nothrow) SgD3DRender);
    if (!render) {
        RenderDebugOut("Render create failed: Insufficient memory", true);
        return nullptr;
    }
    render->context_ = new (std::nothrow) SgD3DRenderContext;
    if (!render->context_) {
        RenderDebugOut("Render create failed: Insufficient memory", true);
        return nullptr;
    }
    if (render->context_->Init(params, render.Get()) != 0)
        return nullptr;
    if (!g_current) {
        g_current = render.Get();
        g_current->IncRef();
        if (!g_exitHandlerSet) {
            g_exitHandlerSet = true;
            std::atexit(ExitHandler);
        }
    }
    return render;
}

SgD3DRender* SgD3DRender::Current() { return g_current; }

void SgD3DRender::ReleaseCurrent() {
    SgD3DRender* current = g_current;
    g_current = nullptr;
    if (current)
        current->DecRef();
}

const SgPixelFormat* SgD3DRender::FrameFormat() const { return Driver() ? Driver()->targetFormat : nullptr; }

const char* SgD3DRender::GetDeviceName() { return Driver() && Driver()->deviceText ? Driver()->deviceText : ""; }

uint32_t SgD3DRender::GetDriverInfo() { return Driver() ? Driver()->info : 0; }

// What the device cannot draw comes with the texture stages; untextured, everything can be drawn.
uint32_t SgD3DRender::CheckProperties(const SgPropertyList& properties) {
    TextureManager();
    return Driver()->CheckPropertySupport(properties);
}

int32_t SgD3DRender::BeginFrame() {
    SgD3DDriver* d = Driver();
    if (HRESULT hr = d->BeginFrame(); FAILED(hr))
        return hr;
    context_->RebuildView();
    D3DMATRIX m;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            m.m[i][j] = context_->view.projection[j][i];
    d->device->SetTransform(D3DTRANSFORMSTATE_PROJECTION, &m);
    return 0;
}

int32_t SgD3DRender::EndFrame() {
    HRESULT hr = Driver()->EndFrame();
    if (SUCCEEDED(hr)) {
        context_->view.clipPlanes = nullptr;
        context_->view.clipPlaneCount = 0;
    }
    return hr;
}

int32_t SgD3DRender::PresentFrame() {
    SgD3DDriver* d = Driver();
    if (d->wanted & SgD3DDriver::kOffscreen)
        return 0;
    return FAILED(d->buffers->FlipSurfaces()) ? E_FAIL : 0;
}

int32_t SgD3DRender::ClearBuffers(const SgViewRect* view, uint32_t flags) {
    float rect[4];
    if (view)
        context_->PixelRect(*view, rect);
    return Driver()->ClearViewport(view ? rect : nullptr, flags);
}

bool SgD3DRender::SetBackgroundColor(const SgRgb& color) {
    auto channel = [](float v) { return static_cast<uint32_t>(static_cast<int32_t>(v * 255.0f)) & 255; };
    Driver()->clearColor = channel(color.r) << 16 | channel(color.g) << 8 | channel(color.b);
    return true;
}

void SgD3DRender::UpdateLight(SgLight* light, uint8_t active) {
    if (light)
        context_->lights.UpdateLightEntry(light, active != 0, nullptr);
}

void SgD3DRender::RemoveLight(SgLight* light) {
    if (light)
        context_->lights.Remove(context_->lights.Find(static_cast<int32_t>(light->LightIndex())));
}

void SgD3DRender::SetMaterial(SgMaterialProperty* material) {
    if (material)
        context_->materials.Lookup(material, nullptr);
    else
        context_->materials.ClearCurrent();
}

void SgD3DRender::SetCamera(const SgVec3& location, const SgMat3&, const SgVec3& viewDirection, const SgVec3& up,
                            const SgVec3&, const SgFrustum& frustum, const SgViewRect& viewport) {
    context_->SetCamera(location, viewDirection, up, frustum, viewport);
}

void SgD3DRender::SetModelTransform(const SgVec3&, const SgMat3&, float) {}

int32_t SgD3DRender::DrawTriShape(uint16_t triangleCount, uint16_t vertexCount, const SgVec3* vertices,
                                  const SgVec3* normals, const SgPlaneEq* planes, uint16_t textureSetCount,
                                  const SgVec3* textureSets, const SgRgba* colors, const uint16_t* indices,
                                  const SgBoundSphere& bound, const SgVec3& cameraInModel) {
    return context_->DrawTriShape(triangleCount, vertexCount, vertices, normals, planes, textureSetCount,
                                  textureSets, colors, indices, bound, cameraInModel);
}

int32_t SgD3DRender::DrawTriangles(uint16_t triangleCount, const SgVec3* vertices, const SgVec3* normals,
                                   const SgPlaneEq* planes, uint16_t textureSetCount, const SgVec3* textureSets,
                                   const SgRgba* colors, const SgBoundSphere& bound, const SgVec3& cameraInModel) {
    return context_->DrawTriangles(triangleCount, vertices, normals, planes, textureSetCount, textureSets, colors,
                                   bound, cameraInModel);
}

int32_t SgD3DRender::DrawTriStrip(uint16_t triangleCount, const SgVec3* vertices, const SgVec3* normals,
                                  const SgPlaneEq* planes, uint16_t textureSetCount, const SgVec3* textureSets,
                                  const SgRgba* colors, const SgBoundSphere& bound, const SgVec3& cameraInModel) {
    return context_->DrawTriStrip(triangleCount, vertices, normals, planes, textureSetCount, textureSets, colors,
                                  bound, cameraInModel);
}

int32_t SgD3DRender::DrawParticles(uint16_t count, const SgVec3* vertices, const SgVec3* normals,
                                   const SgRgba* colors, float sizeScale, const float* sizes,
                                   const SgBoundSphere& bound) {
    return context_->DrawParticles(count, vertices, normals, colors, sizeScale, sizes, bound);
}

int32_t SgD3DRender::DrawLines(uint16_t count, const SgVec3* vertices, const SgVec3* textureCoords,
                               const SgRgba* colors, const uint8_t* connections, const SgBoundSphere& bound) {
    return context_->DrawLines(count, vertices, textureCoords, colors, connections, bound);
}

int32_t SgD3DRender::DrawScreenPolygon(uint16_t count, const SgVec3* vertices, const SgVec3* textureCoords,
                                       const SgRgba* colors) {
    return context_->DrawScreenPolygon(count, vertices, textureCoords, colors);
}

void SgD3DRender::SetFogProperty(uint8_t on, float depth, uint32_t kind, const SgRgb& color) {
    Driver()->ApplyFogColor(color);
    SgFogBlock& fog = context_->fog;
    fog.on = on ? 1 : 0;
    fog.tableWanted = 1;
    fog.range = kind == 1 ? 1 : 0;
    fog.vertexAlpha = kind == 2 ? 1 : 0;
    fog.depthFraction = depth;
    // The scales follow the depth at once, not only at the next camera.
    context_->UpdateFogScales();
}

void SgD3DRender::SetAlphaProperty(uint8_t blendOn, uint32_t source, uint32_t destination) {
    Driver()->SetAlphaProperty(blendOn != 0, source, destination);
}

void SgD3DRender::SetZBufferTest(uint8_t on) {
    if (Driver()->buffers->zbuffer)
        Driver()->SetStateBit(SgD3DDriver::kZTest, on != 0);
}

void SgD3DRender::SetZBufferWrite(uint8_t on) {
    if (Driver()->buffers->zbuffer)
        Driver()->SetStateBit(SgD3DDriver::kZWrite, on != 0);
}

void SgD3DRender::SetShadeProperty(uint8_t smooth) { Driver()->SetStateBit(SgD3DDriver::kSmooth, smooth != 0); }
void SgD3DRender::SetWireframeProperty(uint8_t on) { Driver()->SetStateBit(SgD3DDriver::kWireframe, on != 0); }
void SgD3DRender::SetDitherProperty(uint8_t on) { Driver()->SetStateBit(SgD3DDriver::kDither, on != 0); }

void SgD3DRender::SetSpecularProperty(uint8_t on) {
    context_->pipelineFlags = on ? (context_->pipelineFlags | 4) : (context_->pipelineFlags & ~4u);
}

void SgD3DRender::SetVertexColorProperty(uint32_t mode) { Driver()->vertexColorMode = mode <= 6 ? mode : 0; }

void SgD3DRender::SetTransparentProperty(uint8_t on) { Driver()->SetStateBit(SgD3DDriver::kTransparent, on != 0); }

void SgD3DRender::SetTransparentValue(uint32_t) {}

SgD3DTextureManager* SgD3DRender::TextureManager() {
    SgD3DTextureManager* m = Driver() ? Driver()->textureManager : nullptr;
    if (m)
        m->SetRenderer(this);
    return m;
}

bool SgD3DRender::PrecacheTexture(SgImage* image, uint32_t allowEvict, uint32_t pin, uint32_t stage) {
    SgD3DTextureManager* m = TextureManager();
    return m && m->PrecacheTexture(image, allowEvict != 0, pin != 0, static_cast<int32_t>(stage));
}

bool SgD3DRender::PrecacheTexturePair(SgImage* first, SgImage* second, uint32_t a, uint32_t b, uint32_t u,
                                      uint32_t v) {
    if (u == 0xFFFFFFFFu && v == 0xFFFFFFFFu) {
        u = 0;
        v = 1;
    }
    return PrecacheTexture(first, a, b, u) && PrecacheTexture(second, a, b, v);
}

void SgD3DRender::ReleaseAllTextures(uint8_t includePinned) {
    if (SgD3DTextureManager* m = TextureManager())
        m->ReleaseTextures(nullptr, includePinned != 0, -1);
}

void SgD3DRender::ReleaseTextures(SgImage* image) {
    if (SgD3DTextureManager* m = TextureManager())
        m->ReleaseTextures(image, true, -1);
}

void SgD3DRender::ReleaseImageTextures(SgImage* image) {
    for (SgTextureManager* m = SgTextureManager::First(); m; m = m->NextManager())
        m->ReleaseTextures(image, true, -1);
}

bool SgD3DRender::GetTextureMemory(uint32_t& freeBytes, uint32_t& totalBytes) {
    DDSCAPS2 caps{};
    caps.dwCaps = DDSCAPS_TEXTURE;
    DWORD total = 0, free = 0;
    SgDDEnvironment* env = Driver() ? Driver()->buffers->environment : nullptr;
    if (!env || !env->directDraw || FAILED(env->directDraw->GetAvailableVidMem(&caps, &total, &free))) {
        freeBytes = totalBytes = 0;
        return false;
    }
    freeBytes = free;
    totalBytes = total;
    return true;
}

bool SgD3DRender::GetTextureStats(uint32_t& a, uint32_t& b, uint32_t& c, uint32_t& d, uint32_t& e) {
    SgD3DTextureManager* m = TextureManager();
    if (!m)
        return false;
    a = static_cast<uint32_t>(m->firstBoundThisFrame);
    b = static_cast<uint32_t>(m->otherThisFrame);
    c = Driver()->frameCounter;
    d = static_cast<uint32_t>(m->createdThisFrame);
    e = static_cast<uint32_t>(m->releasedThisFrame);
    return true;
}

uint32_t SgD3DRender::GetTextureStatus() {
    SgD3DTextureManager* m = TextureManager();
    return m ? m->status : 0;
}

bool SgD3DRender::HasTextureFormat(uint32_t format) {
    SgD3DTextureManager* m = Driver() ? Driver()->textureManager : nullptr;
    return m && m->Format(format) != nullptr;
}

bool SgD3DRender::SetStoredValue(uint32_t value) {
    storedValue_ = value;
    return true;
}

uint32_t SgD3DRender::GetStoredValue() { return storedValue_; }

void SgD3DRender::SetTextureProperty(SgImage* image) { Driver()->stages[0].texture = image; }

void SgD3DRender::SetMultiTextureProperty(const SgArray<SgImage>* textures, const SgPtrArray<uint32_t>* blendModes,
                                          const SgPtrArray<uint32_t>* addressingModes,
                                          const SgPtrArray<uint32_t>* filterModes) {
    SgD3DDriver* d = Driver();
    if (blendModes && blendModes->UsedSize() > 0)
        d->multiTextureApply = blendModes->At(0);
    d->stages[1].texture = textures && textures->UsedSize() > 0 ? textures->GetArrayElementRef(0).Get() : nullptr;
    if (addressingModes && addressingModes->UsedSize() > 0)
        d->SetTextureModeClamp(addressingModes->At(0), 1);
    if (filterModes && filterModes->UsedSize() > 0)
        d->SetTextureModeFilter(filterModes->At(0), 1);
}

void SgD3DRender::SetTextureModeApply(uint32_t mode) { Driver()->textureApply = mode; }
void SgD3DRender::SetTextureModeFilter(uint32_t mode) { Driver()->SetTextureModeFilter(mode, 0); }
void SgD3DRender::SetTextureModeClamp(uint32_t mode) { Driver()->SetTextureModeClamp(mode, 0); }

void SgD3DRender::SetCorrectionProperty(uint8_t on) { Driver()->SetStateBit(SgD3DDriver::kPerspective, on != 0); }

void SgD3DRender::SetClipPlanes(const SgPlaneEq* const* planes, uint32_t count, uint32_t, uint32_t) {
    context_->view.clipPlanes = planes;
    context_->view.clipPlaneCount = planes ? count : 0;
}

uint32_t SgD3DRender::GetTargetWidth() { return Driver()->buffers->TargetWidth(); }
uint32_t SgD3DRender::GetTargetHeight() { return Driver()->buffers->TargetHeight(); }
SgImage* SgD3DRender::GetBufferByKind(uint32_t kind) { return Driver()->buffers->ImageByKind(kind); }

bool SgD3DRender::FrameAndSource(SgImage* image, IDirectDrawSurface4** frame, IDirectDrawSurface4** source) {
    SgDDBufferImage* target = Driver()->buffers->ImageByKind(1);
    *frame = target ? target->Surface() : nullptr;
    *source = nullptr;
    if (!*frame || !image || !image->GetTypeRecord()->IsKindOf(&SgDDImage::typeRecord))
        return false;
    return static_cast<SgDDImage*>(image)->Realize(this, 1, source) && *source;
}

bool SgD3DRender::BlitImageToFrame(SgImage* image, const SgPixelRect* source, int32_t x, int32_t y,
                                   uint8_t keyed) {
    IDirectDrawSurface4 *frame, *from;
    if (!FrameAndSource(image, &frame, &from))
        return false;
    // Left, right, top, bottom inside the image; then the part that lands on the frame.
    int64_t l = 0, r = image->width, t = 0, b = image->height;
    if (source) {
        l = std::min<int64_t>(source->left, image->width);
        r = std::min<int64_t>(source->right, image->width);
        t = std::min<int64_t>(source->top, image->height);
        b = std::min<int64_t>(source->bottom, image->height);
    }
    if (r <= l || b <= t)
        return true;
    const int64_t fw = Driver()->buffers->ImageByKind(1)->width, fh = Driver()->buffers->ImageByKind(1)->height;
    int64_t dx = x, dy = y;
    if (dx < 0) {
        l -= dx;
        dx = 0;
    }
    if (dy < 0) {
        t -= dy;
        dy = 0;
    }
    r = std::min(r, l + (fw - dx));
    b = std::min(b, t + (fh - dy));
    if (r <= l || b <= t)
        return true;
    RECT src{static_cast<LONG>(l), static_cast<LONG>(t), static_cast<LONG>(r), static_cast<LONG>(b)};
    RECT dst{static_cast<LONG>(dx), static_cast<LONG>(dy), static_cast<LONG>(dx + (r - l)),
             static_cast<LONG>(dy + (b - t))};
    DDBLTFX fx{};
    fx.dwSize = kDDBltFxSize32;
    return SUCCEEDED(frame->Blt(&dst, from, &src, DDBLT_WAIT | (keyed ? DDBLT_KEYSRCOVERRIDE : 0), &fx));
}

bool SgD3DRender::BlitImageToFrameKeyed(SgImage* image, const SgPixelRect* source, const SgPixelRect* destination,
                                        uint8_t keyed) {
    IDirectDrawSurface4 *frame, *from;
    if (!FrameAndSource(image, &frame, &from))
        return false;
    RECT src, dst;
    if (source)
        src = {static_cast<LONG>(source->left), static_cast<LONG>(source->top), static_cast<LONG>(source->right),
               static_cast<LONG>(source->bottom)};
    if (destination)
        dst = {static_cast<LONG>(destination->left), static_cast<LONG>(destination->top),
               static_cast<LONG>(destination->right), static_cast<LONG>(destination->bottom)};
    DDBLTFX fx{};
    fx.dwSize = kDDBltFxSize32;
    return SUCCEEDED(frame->Blt(destination ? &dst : nullptr, from, source ? &src : nullptr,
                                DDBLT_WAIT | (keyed ? DDBLT_KEYSRCOVERRIDE : 0), &fx));
}

int32_t SgD3DRender::RestorePalette() { return Driver()->buffers->RestorePalette(); }

bool SgD3DRender::GetFirstPair(uint32_t& a, uint32_t& b) { return Driver()->buffers->GetFirstPair(a, b); }
bool SgD3DRender::SetFirstPair(uint32_t a, uint32_t b) { return Driver()->buffers->SetFirstPair(a, b); }
bool SgD3DRender::GetSecondPair(uint32_t& a, uint32_t& b) { return Driver()->buffers->GetSecondPair(a, b); }
bool SgD3DRender::SetSecondPair(uint32_t a, uint32_t b) { return Driver()->buffers->SetSecondPair(a, b); }
