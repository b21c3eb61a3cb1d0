// The render context: view and fog blocks, the floating-point mode of a draw, and the draw
// entries that drive the pipeline.

#include <cmath>
#include <cstring>
#include <new>

#include <xmmintrin.h>

#include "engine/core/sg_debug_output.h"
#include "engine/render/sg_d3d_render.h"
#include "engine/render/sg_render_debug.h"

namespace {

// Round toward zero, every exception masked.
constexpr uint32_t kPipelineMode = 0x6000u | 0x1F80u;

float Dot(const SgVec3& a, const SgVec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

bool Inside01(float v) { return v >= 0.0f && v <= 1.0f; }

}  // namespace

SgD3DRenderContext::SgD3DRenderContext() {
    triangles = new (std::nothrow) SgVertexWorkRecord* [256][3];
    triangleCapacity = triangles ? 256 : 0;
}

SgD3DRenderContext::~SgD3DRenderContext() {
    delete driver;
    driver = nullptr;
    delete[] triangles;
}

// ---- Floating-point mode ----

void SgD3DRenderContext::EnterPipelineMode() {
    if (modeSaved)
        return;
    savedMode = _mm_getcsr();
    modeSaved = 1;
    _mm_setcsr((savedMode & ~0x7F80u) | kPipelineMode);
}

void SgD3DRenderContext::LeavePipelineMode() {
    if (!modeSaved)
        return;
    _mm_setcsr(savedMode);
    modeSaved = 0;
}

void SgD3DRenderContext::RestoreCallerMode() {
    if (modeSaved)
        _mm_setcsr(savedMode);
}

void SgD3DRenderContext::ResumePipelineMode() {
    if (!modeSaved)
        return;
    savedMode = _mm_getcsr();
    _mm_setcsr((savedMode & ~0x7F80u) | kPipelineMode);
}

// ---- Set-up ----

int SgD3DRenderContext::Init(const SgRenderCreateParams& params, SgD3DRender* renderer) {
    if (params.mode == 0 && !params.window) {
        RenderDebugOut("Render create failed: invalid parameter set for Windowed renderer", true);
        return 3;
    }
    if (params.mode == 1) {
        const bool supplied = params.frontImage && params.backImage && params.width == 0 && params.height == 0;
        const bool sized = !params.frontImage && !params.backImage && params.width != 0 && params.height != 0;
        if (!supplied && !sized) {
            RenderDebugOut("Render create failed: invalid parameter set for Fullscreen renderer", true);
            return 3;
        }
    }
    auto* made = new (std::nothrow) SgD3DDriver;
    if (!made) {
        RenderDebugOut("Render create failed: Insufficient memory", true);
        return 1;
    }
    made->context = this;
    // The open's own codes (1, 2, 8) are positive: anything but 0 fails.
    if (made->OpenDevice(params, renderer) != DD_OK) {
        delete made;
        return 2;
    }
    driver = made;
    SgDebugOutput("Scenegrove D3DDriver Info: Using ");
    SgDebugOutput(driver->deviceText ? driver->deviceText : "");
    SgDebugOutput("\n");
    driver->ResetDrawDefaults();
    if (int r = SetupFrustum(); r != 0)
        return r;
    view.halfWidth = view.halfHeight = view.centreX = view.centreY = 0.0f;
    return 0;
}

int SgD3DRenderContext::SetupFrustum() {
    view.position = {};
    view.up = {0, 1, 0};
    view.direction = {0, 0, 1};
    view.right = {1, 0, 0};
    view.left = -1;
    view.right_ = 1;
    view.top = 1;
    view.bottom = -1;
    view.nearDistance = 1;
    view.farDistance = 3;
    view.update = 0x52;
    if (int r = RebuildView(); r != 0)
        return r;
    view.clipPlanes = nullptr;
    view.clipPlaneCount = 0;
    return 0;
}

int SgD3DRenderContext::RebuildView() {
    SgViewBlock& v = view;
    if (v.update & SgViewBlock::kRightStale) {
        const SgVec3& u = v.up;
        const SgVec3& d = v.direction;
        const SgVec3 r{u.y * d.z - u.z * d.y, u.z * d.x - u.x * d.z, u.x * d.y - u.y * d.x};
        const float len = std::sqrt(Dot(r, r));
        v.right = len <= 0.000001f ? SgVec3{} : SgVec3{r.x / len, r.y / len, r.z / len};
        v.update = (v.update & ~SgViewBlock::kRightStale) | SgViewBlock::kViewStale | SgViewBlock::kProjectionStale;
    }
    if (v.update & SgViewBlock::kViewStale) {
        const SgVec3& p = v.position;
        const float rows[4][4] = {{v.right.x, v.right.y, v.right.z, -Dot(v.right, p)},
                                  {v.up.x, v.up.y, v.up.z, -Dot(v.up, p)},
                                  {-v.direction.x, -v.direction.y, -v.direction.z, Dot(v.direction, p)},
                                  {0, 0, 0, 1}};
        std::memcpy(v.view, rows, sizeof(rows));
        v.update = (v.update & ~SgViewBlock::kViewStale) | SgViewBlock::kCombinedStale;
    }
    if (v.update & SgViewBlock::kProjectionStale) {
        const float l = v.left, r = v.right_, t = v.top, b = v.bottom, n = v.nearDistance, f = v.farDistance;
        const float sx = v.halfWidth, sy = v.halfHeight;
        const float rows[4][4] = {
            {2 * n / (r - l) * sx, 0, (r + l) / (r - l) * sx, -(2 * n * (r + l) / (r - l)) * sx},
            {0, -(2 * n / (t - b)) * sy, -((t + b) / (t - b)) * sy, (2 * n * (t + b) / (t - b)) * sy},
            {0, 0, 0.95f * f / (f - n), -0.95f * f * n / (f - n)},
            {0, 0, 1, 0}};
        std::memcpy(v.projection, rows, sizeof(rows));
        v.update = (v.update & ~SgViewBlock::kProjectionStale) | SgViewBlock::kCombinedStale;
    }
    if (v.update & SgViewBlock::kCombinedStale) {
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j) {
                float sum = 0;
                for (int k = 0; k < 4; ++k)
                    sum += v.projection[i][k] * v.view[k][j];
                v.combined[i][j] = sum;
            }
        v.update &= ~SgViewBlock::kCombinedStale;
    }
    return 0;
}

void SgD3DRenderContext::PixelRect(const SgViewRect& vr, float out[4]) const {
    const float w = static_cast<float>(driver->buffers->TargetWidth());
    const float h = static_cast<float>(driver->buffers->TargetHeight());
    // A view from a file may be inverted, outside 0-1 or NaN: keep the rectangle on the target.
    auto clamp = [](float v, float hi) { return v > 0.0f ? (v < hi ? v : hi) : 0.0f; };
    out[0] = clamp(vr.left * w, w);
    out[1] = clamp((1.0f - vr.top) * h, h);
    out[2] = clamp(vr.right * w, w);
    out[3] = clamp((1.0f - vr.bottom) * h, h);
    if (out[2] < out[0])
        out[2] = out[0];
    if (out[3] < out[1])
        out[3] = out[1];
}

void SgD3DRenderContext::SetViewportMapping(const SgViewRect& vr) {
    float rect[4];
    PixelRect(vr, rect);
    const float width = rect[2] - rect[0], height = rect[3] - rect[1];
    D3DVIEWPORT2& vp = driver->viewportRect;
    vp.dwX = static_cast<DWORD>(rect[0]);
    vp.dwY = static_cast<DWORD>(rect[1]);
    vp.dwWidth = static_cast<DWORD>(width);
    vp.dwHeight = static_cast<DWORD>(height);
    vp.dvClipX = rect[0];
    vp.dvClipY = rect[1];
    vp.dvClipWidth = width;
    vp.dvClipHeight = height;
    view.halfWidth = (width - 0.5f) * 0.5f;
    view.halfHeight = (height - 0.5f) * 0.5f;
    view.centreX = rect[0] + view.halfWidth + 0.25f;
    view.centreY = rect[1] + view.halfHeight + 0.25f;
    view.update |= SgViewBlock::kProjectionStale;
}

void SgD3DRenderContext::UpdateFogScales() {
    const float farD = view.farDistance, nearD = view.nearDistance, depth = fog.depthFraction;
    fog.end = farD;
    fog.nearPlane = nearD;
    if (!(farD > 0.00001f)) {
        fog.on = fog.range = fog.vertexAlpha = 0;
        fog.byteScale = 0;
        return;
    }
    fog.linearScale = farD * depth;
    fog.byteScale = fog.linearScale > 0.00001f ? 255.0f / fog.linearScale : 0.0f;
    const float start = farD - (farD - nearD) * depth;
    fog.endSquare = farD * farD;
    fog.signedStartSquare = start < 0 ? -(start * start) : start * start;
    const float divisor = farD * farD - fog.signedStartSquare;
    fog.rangeScale = divisor > 0.00001f ? 255.0f / divisor : 0.0f;
}

void SgD3DRenderContext::SetCamera(const SgVec3& position, const SgVec3& direction, const SgVec3& up,
                                   const SgFrustum& frustum, const SgViewRect& viewport) {
    view.left = frustum.left;
    view.right_ = frustum.right;
    view.top = frustum.top;
    view.bottom = frustum.bottom;
    view.nearDistance = frustum.nearDistance;
    view.farDistance = frustum.farDistance;
    SetViewportMapping(viewport);
    eye = position;
    UpdateFogScales();
    view.position = position;
    view.up = up;
    view.direction = direction;
    view.update |= SgViewBlock::kViewStale | SgViewBlock::kProjectionStale | SgViewBlock::kRightStale;
}

// ---- Per draw ----

int SgD3DRenderContext::PrepareDraw(uint32_t vertexCount, uint32_t count, bool clearUsed) {
    if (work.EnsureRecordCapacity(vertexCount) != 0)
        return 1;
    if (count != 0) {
        if (count > triangleCapacity) {
            delete[] triangles;
            triangles = SgRenderGrowthFails() ? nullptr : new (std::nothrow) SgVertexWorkRecord* [count + 64][3];
            triangleCapacity = triangles ? count + 64 : 0;
            if (!triangles)
                return 1;
        }
        triangleCount = 0;
    }
    if (clearUsed)
        for (uint32_t i = 0; i < vertexCount; ++i)
            work.Records()[i].used = 0;
    const SgMaterialEntry* m = materials.Current();
    specularOn = ((pipelineFlags & 4) && m && m->specular.b > 0.0f) ? 1 : 0;
    return 0;
}

void SgD3DRenderContext::ApplyDrawStates() { driver->SetStateBit(SgD3DDriver::kSpecular, specularOn != 0); }

// The triangle draws' common end: transform, light and clip the marked vertices, then emit.
int SgD3DRenderContext::TransformAndSubmit(const SgBoundSphere& bound, uint32_t vertexCount, const SgVec3* positions,
                                           const SgVec3* normals, const SgVec3* sets, uint32_t setCount,
                                           const SgRgba* colors) {
    EnterPipelineMode();
    int result = SetupTransformPath(bound, vertexCount, positions, normals, sets, setCount, colors);
    if (result == 0)
        result = Submit(vertexCount);
    LeavePipelineMode();
    return result;
}

int SgD3DRenderContext::Submit(uint32_t vertexCount) {
    (void)vertexCount;

    SelectClipInterpolator();
    ApplyDrawStates();
    if (driver->BeginPrimitives(false) != 0)
        return 2;
    for (uint32_t i = 0; i < triangleCount; ++i) {
        if (!driver->batch.locked)
            break;
        if (view.clipPlaneCount == 0)
            triangleRoutine(*this, triangles[i]);
        else
            ClipPolygon(triangles[i], 0);
    }
    return driver->DrawIndexedBatch();
}

namespace {

// The common start of the triangle entries; -1 when the draw goes on.
template <typename Mark>
int StartTriangles(SgD3DRenderContext& ctx, uint32_t vertexCount, uint32_t count, Mark mark) {
    if (int r = ctx.PrepareDraw(vertexCount, count, true); r != 0)
        return r;
    mark();
    return -1;
}

}  // namespace

static bool FacesCamera(const SgPlaneEq* planes, uint32_t i, const SgVec3& camera) {
    if (!planes)
        return true;
    const SgPlaneEq& p = planes[i];
    return p.normal.x * camera.x + p.normal.y * camera.y + p.normal.z * camera.z > p.constant;
}

int SgD3DRenderContext::DrawTriShape(uint32_t count, uint32_t vertexCount, const SgVec3* positions,
                                     const SgVec3* normals, const SgPlaneEq* planes, uint32_t setCount,
                                     const SgVec3* sets, const SgRgba* colors, const uint16_t* indices,
                                     const SgBoundSphere& bound, const SgVec3& camera) {
    if (!(driver->wanted & SgD3DDriver::kInScene) || count == 0 || vertexCount < 3)
        return 0;
    const int start = StartTriangles(*this, vertexCount, count, [&] {
        SgVertexWorkRecord* r = work.Records();
        for (uint32_t i = 0; i < count; ++i) {
            const uint16_t* t = indices + 3 * i;
            // An index past the vertices would read outside the records: such a triangle is skipped.
            if (t[0] >= vertexCount || t[1] >= vertexCount || t[2] >= vertexCount || !FacesCamera(planes, i, camera))
                continue;
            auto& tri = triangles[triangleCount++];
            tri[0] = &r[t[0]];
            tri[1] = &r[t[1]];
            tri[2] = &r[t[2]];
            tri[0]->used = tri[1]->used = tri[2]->used = 1;
        }
    });
    if (start >= 0)
        return start;
    return TransformAndSubmit(bound, vertexCount, positions, normals, sets, setCount, colors);
}

int SgD3DRenderContext::DrawTriangles(uint32_t count, const SgVec3* positions, const SgVec3* normals,
                                      const SgPlaneEq* planes, uint32_t setCount, const SgVec3* sets,
                                      const SgRgba* colors, const SgBoundSphere& bound, const SgVec3& camera) {
    if (!(driver->wanted & SgD3DDriver::kInScene) || count == 0)
        return 0;
    const uint32_t vertexCount = 3 * count;
    const int start = StartTriangles(*this, vertexCount, count, [&] {
        SgVertexWorkRecord* r = work.Records();
        for (uint32_t i = 0; i < count; ++i) {
            if (!FacesCamera(planes, i, camera))
                continue;
            auto& tri = triangles[triangleCount++];
            for (int k = 0; k < 3; ++k) {
                tri[k] = &r[3 * i + k];
                tri[k]->used = 1;
            }
        }
    });
    if (start >= 0)
        return start;
    return TransformAndSubmit(bound, vertexCount, positions, normals, sets, setCount, colors);
}

int SgD3DRenderContext::DrawTriStrip(uint32_t count, const SgVec3* positions, const SgVec3* normals,
                                     const SgPlaneEq* planes, uint32_t setCount, const SgVec3* sets,
                                     const SgRgba* colors, const SgBoundSphere& bound, const SgVec3& camera) {
    if (!(driver->wanted & SgD3DDriver::kInScene) || count == 0)
        return 0;
    const uint32_t vertexCount = count + 2;
    const int start = StartTriangles(*this, vertexCount, count, [&] {
        SgVertexWorkRecord* r = work.Records();
        for (uint32_t i = 0; i < count; ++i) {
            if (!FacesCamera(planes, i, camera))
                continue;
            auto& tri = triangles[triangleCount++];
            tri[0] = &r[i];
            tri[1] = &r[(i & 1) ? i + 2 : i + 1];
            tri[2] = &r[(i & 1) ? i + 1 : i + 2];
            tri[0]->used = tri[1]->used = tri[2]->used = 1;
        }
    });
    if (start >= 0)
        return start;
    return TransformAndSubmit(bound, vertexCount, positions, normals, sets, setCount, colors);
}

int SgD3DRenderContext::DrawParticles(uint32_t count, const SgVec3* positions, const SgVec3* normals,
                                      const SgRgba* colors, float sizeScale, const float* sizes,
                                      const SgBoundSphere& bound) {
    if (!(driver->wanted & SgD3DDriver::kInScene) || count == 0)
        return 0;
    if (int r = PrepareDraw(count, 0, false); r != 0)
        return r;
    MarkParticlesInside(positions, count);
    EnterPipelineMode();
    int result = SetupTransformPath(bound, count, positions, normals, nullptr, 0, colors);
    if (result == 0) {
        ApplyDrawStates();
        SelectClipInterpolator();
        if (driver->BeginPrimitives(false) != 0) {
            result = 2;
        } else {
            particleRoutine(*this, work.Records(), sizeScale, sizes, count);
            result = driver->DrawIndexedBatch();
        }
    }
    LeavePipelineMode();
    return result;
}

int SgD3DRenderContext::DrawLines(uint32_t count, const SgVec3* positions, const SgVec3* coords,
                                  const SgRgba* colors, const uint8_t* connections, const SgBoundSphere& bound) {
    if (!(driver->wanted & SgD3DDriver::kInScene) || count == 0)
        return 0;
    if (int r = PrepareDraw(count, 0, false); r != 0)
        return r;
    SgVertexWorkRecord* records = work.Records();
    for (uint32_t i = 0; i < count; ++i)
        records[i].used = 1;
    EnterPipelineMode();
    int result = SetupTransformPath(bound, count, positions, nullptr, coords, coords ? 1 : 0, colors);
    if (result == 0) {
        ApplyDrawStates();
        SelectClipInterpolator();
        if (driver->BeginPrimitives(true) != 0) {
            result = 2;
        } else {
            auto line = [&](uint32_t i, uint32_t j) {
                if (!driver->batch.locked)
                    return;
                if (view.clipPlaneCount == 0)
                    lineRoutine(*this, &records[i], &records[j]);
                else
                    ClipLine(&records[i], &records[j], 0);
            };
            for (uint32_t i = 0; i + 1 < count; ++i)
                if (connections && connections[i])
                    line(i, i + 1);
            if (connections && connections[count - 1])
                line(count - 1, 0);
            result = driver->DrawIndexedBatch();
        }
    }
    LeavePipelineMode();
    return result;
}

int SgD3DRenderContext::DrawScreenPolygon(uint32_t count, const SgVec3* points, const SgVec3* coords,
                                          const SgRgba* colors) {
    if (!(driver->wanted & SgD3DDriver::kInScene) || count < 3)
        return 0;
    // More points than one fill holds would overrun the batch: nothing is drawn.
    if (count > driver->vertexLimit + 3)
        return 0;
    for (uint32_t i = 0; i < count; ++i)
        if (!Inside01(points[i].x) || !Inside01(points[i].y))
            return 0;
    ApplyDrawStates();
    EnterPipelineMode();
    int result = 2;
    if (driver->BeginPrimitives(false) == 0) {
        EmitScreenPolygon(points, coords, colors, count);
        result = driver->DrawIndexedBatch();
    }
    LeavePipelineMode();
    return result;
}
