#include "engine/geometry/sg_tri_based_geom.h"

#include <cmath>
#include <cstring>
#include <memory>

#include "engine/core/sg_camera.h"
#include "engine/core/sg_registry.h"
#include "engine/core/sg_stream.h"
#include "engine/core/sg_stream_arrays.h"

namespace {

constexpr float kPickEpsilon = 1e-5f;

SgVec3 Weighted(const SgVec3& a, const SgVec3& b, const SgVec3& c, float w0, float w1, float w2) {
    return a * w0 + b * w1 + c * w2;
}

}  // namespace

constinit SgTypeRecord SgTriBasedGeom::typeRecord{"SgTriBasedGeom", &SgGeometry::typeRecord};

int SgTriBasedGeom::Register() { return SgClassRegistry::Register(typeRecord, SgCreateAbstract); }

const SgTypeRecord* SgTriBasedGeom::GetTypeRecord() const { return &typeRecord; }

SgTriBasedGeom::SgTriBasedGeom(uint16_t vertexCount, const SgVec3* vertices, const SgVec3* normals,
                               uint16_t triangleCount, const SgVec3* textureSet, const SgRgba* colors)
    : SgGeometry(vertexCount, vertices, normals),
      triangleCount_(triangleCount),
      planes_(new SgPlaneEq[triangleCount ? triangleCount : 1]) {
    if (textureSet) {
        textureSets_ = SgCopyArray(textureSet, vertexCount).release();
        textureSetCount_ = 1;
    }
    colors_ = SgCopyArray(colors, vertexCount).release();
}

SgTriBasedGeom::~SgTriBasedGeom() {
    ReplaceTextureSets(nullptr, 0);
    ReplaceColors(nullptr);
}

void SgTriBasedGeom::ReplaceTextureSets(SgVec3* sets, uint16_t count) {
    if (!(ownership_ & kBorrowedTextureSets))
        delete[] textureSets_;
    ownership_ &= ~kBorrowedTextureSets;
    textureSets_ = sets;
    textureSetCount_ = count;
}

void SgTriBasedGeom::ReplaceColors(SgRgba* colors) {
    if (!(ownership_ & kBorrowedColors))
        delete[] colors_;
    ownership_ &= ~kBorrowedColors;
    colors_ = colors;
}

void SgTriBasedGeom::BorrowColors(SgRgba* colors) {
    ReplaceColors(colors);
    if (colors)
        ownership_ |= kBorrowedColors;
}

void SgTriBasedGeom::AddTextureSet(const SgVec3* set) {
    if (!set)
        return;
    size_t n = vertexCount_;
    SgVec3* sets = new SgVec3[(textureSetCount_ + 1) * n + 1];
    if (textureSets_)
        for (size_t i = 0; i < textureSetCount_ * n; ++i)
            sets[i] = textureSets_[i];
    for (size_t i = 0; i < n; ++i)
        sets[textureSetCount_ * n + i] = set[i];
    ReplaceTextureSets(sets, static_cast<uint16_t>(textureSetCount_ + 1));
}

// ---- Triangles ----

uint16_t SgTriBasedGeom::GetActiveTriangleCount() const { return 0; }

bool SgTriBasedGeom::GetTriangle(uint32_t, uint16_t corners[3], SgPlaneEq*& plane) const {
    corners[0] = corners[1] = corners[2] = 0;
    plane = nullptr;
    return false;
}

void SgTriBasedGeom::ReservedOperation() {}

void SgTriBasedGeom::ComputePlanesFromCorners() {
    if (!vertices_)
        return;
    if (!planes_)
        planes_.reset(new SgPlaneEq[triangleCount_ ? triangleCount_ : 1]);
    for (uint32_t i = 0; i < triangleCount_; ++i) {
        uint16_t c[3];
        SgPlaneEq* plane;
        if (!GetTriangle(i, c, plane) || !plane)
            continue;
        const SgVec3 &p0 = vertices_[c[0]], &p1 = vertices_[c[1]], &p2 = vertices_[c[2]];
        SgVec3 n = (p1 - p0).Cross(p2 - p1);
        *plane = SgPlaneEq(n, n.Dot(p0));
    }
}

void SgTriBasedGeom::ComputeNormalsFromCorners(bool fromPlanes) {
    if (!vertices_)
        return;
    if (!planes_)
        ComputePlanesFromCorners();
    if (!normals_)
        normals_.reset(new SgVec3[vertexCount_ ? vertexCount_ : 1]());
    else
        for (uint32_t i = 0; i < vertexCount_; ++i)
            normals_[i] = SgVec3();
    for (uint32_t i = 0; i < triangleCount_; ++i) {
        uint16_t c[3];
        SgPlaneEq* plane;
        if (!GetTriangle(i, c, plane) || !plane)
            continue;
        const SgVec3& p0 = vertices_[c[0]];
        SgVec3 n = fromPlanes ? plane->normal : (vertices_[c[1]] - p0).Cross(vertices_[c[2]] - vertices_[c[1]]);
        n = n * SgVec3::TableUnitFactor(n.SquaredLength());
        if (!fromPlanes)
            *plane = SgPlaneEq(n, n.Dot(p0));
        for (uint16_t corner : c)
            normals_[corner] = normals_[corner] + n;
    }
    SgVec3::NormalizeArrayFast(normals_.get(), vertexCount_);
    MarkWorldArraysStale();
}

// ---- Drawing ----

SgGeometryWorldState* SgTriBasedGeom::FreshState(SgWorldState* state) {
    if (state->refreshVertices)
        TransformToWorld(state);
    return GeometryState(state);
}

bool SgTriBasedGeom::PrepareDraw(SgCamera* camera, SgWorldState* state, bool sendPlacement) {
    if (!state || !BeginDraw(camera))
        return false;
    currentState_ = state;
    if (sendPlacement)
        camera->Display()->Renderer()->SetModelTransform(state->worldTranslation, state->worldRotation,
                                                          state->worldScale);
    return true;
}

bool SgTriBasedGeom::SubmitUnindexed(SgCamera* camera, SgWorldState* state, UnindexedDraw draw, uint16_t triangles) {
    if (!PrepareDraw(camera, state, true))
        return false;
    SgGeometryWorldState* gs = FreshState(state);
    SgRender* renderer = camera->Display()->Renderer();
    (renderer->*draw)(triangles, gs->worldVertices.get(), gs->worldNormals.get(), planes_.get(), textureSetCount_,
                      textureSets_, colors_, state->worldBound, CameraInModel(camera, state));
    return true;
}

// ---- Picking ----

bool SgTriBasedGeom::RayMeetsTriangle(const SgVec3& o, const SgVec3& d, const SgPlaneEq& plane, const SgVec3& p0,
                                      const SgVec3& p1, const SgVec3& p2, bool cull, float& t, float& w1, float& w2) {
    float k = plane.normal.Dot(d);
    if (cull && k > kPickEpsilon)
        return false;
    if (std::fabs(k) <= kPickEpsilon)
        return false;
    t = -(plane.normal.Dot(o) - plane.constant) / k;
    if (t < 0.0f)
        return false;
    SgVec3 p = o + d * t;
    SgVec3 e1 = p1 - p0, e2 = p2 - p0, w = p0 - p;
    double a = e1.Dot(e1), b = e1.Dot(e2), g = e2.Dot(e2);
    double det = std::fabs(g * a - b * b);
    if (det < kPickEpsilon)
        return false;
    double e1w = e1.Dot(w), e2w = e2.Dot(w);
    double v1 = e2w * b - e1w * g;
    double v2 = e1w * b - e2w * a;
    if (v1 < 0 || v2 < 0 || v1 + v2 > det)
        return false;
    w1 = static_cast<float>(v1 / det);
    w2 = static_cast<float>(v2 / det);
    return true;
}

bool SgTriBasedGeom::PickState(const SgVec3& origin, const SgVec3& direction, SgPickRequest& request,
                               SgWorldState* state) {
    currentState_ = state;
    // A state the ray misses ends nothing: the other states may still be hit.
    if (!RayMeetsWorldBound(origin, direction))
        return false;
    if (!request.DescendsIntoObjects()) {
        request.hits.SetAtGrow(request.hits.UsedSize(), std::make_unique<SgPickHit>(this, state));
        return request.stopMode == 1;
    }
    uint16_t active = GetActiveTriangleCount();
    if (active == 0 || !vertices_)
        return false;
    const SgMat3& r = state->worldRotation;
    SgMat3 rt = r.Transpose();
    float inverseScale = state->worldScale != 0.0f ? 1.0f / state->worldScale : 0.0f;
    SgVec3 o = (rt * (origin - state->worldTranslation)) * inverseScale;
    SgVec3 d = (rt * direction) * inverseScale;

    for (uint32_t i = 0; i < active; ++i) {
        uint16_t c[3];
        SgPlaneEq* stored;
        if (!GetTriangle(i, c, stored))
            continue;
        const SgVec3 &p0 = vertices_[c[0]], &p1 = vertices_[c[1]], &p2 = vertices_[c[2]];
        SgPlaneEq plane;
        if (stored) {
            plane = *stored;
        } else {
            SgVec3 n = (p1 - p0).Cross(p2 - p1);
            plane = SgPlaneEq(n, n.Dot(p0));
        }
        float t, w1, w2;
        if (!RayMeetsTriangle(o, d, plane, p0, p1, p2, request.cullBackFaces != 0, t, w1, w2))
            continue;
        float w0 = 1.0f - w1 - w2;
        auto hit = std::make_unique<SgPickHit>(this, state);
        SgVec3 p = o + d * t;
        bool world = request.coordinateMode == 1;
        hit->point = world ? r * (p * state->worldScale) + state->worldTranslation : p;
        hit->distance = t;
        hit->triangle = static_cast<uint16_t>(i);
        if (request.wantTextureCoord && textureSets_)
            hit->textureCoord = Weighted(textureSets_[c[0]], textureSets_[c[1]], textureSets_[c[2]], w0, w1, w2);
        if (request.wantNormal) {
            SgVec3 n = request.normalFromVertexNormals && normals_
                           ? Weighted(normals_[c[0]], normals_[c[1]], normals_[c[2]], w0, w1, w2)
                           : plane.normal;
            n.Normalize();
            hit->normal = world ? r * n : n;
        }
        if (request.wantColor && colors_) {
            const SgRgba &a = colors_[c[0]], &b = colors_[c[1]], &e = colors_[c[2]];
            hit->color = SgRgba(a.r * w0 + b.r * w1 + e.r * w2, a.g * w0 + b.g * w1 + e.g * w2,
                                a.b * w0 + b.b * w1 + e.b * w2, a.a * w0 + b.a * w1 + e.a * w2);
        } else {
            hit->color = SgRgba(1.0f, 1.0f, 1.0f, 1.0f);
        }
        request.hits.SetAtGrow(request.hits.UsedSize(), std::move(hit));
        if (request.StopsAtFirstHit())
            return true;
    }
    return false;
}

void SgTriBasedGeom::CollectRayHits(const SgVec3& origin, const SgVec3& direction, SgPickRequest& request,
                                    SgWorldState* state) {
    if (state) {
        PickState(origin, direction, request, state);
        return;
    }
    for (uint32_t i = 0; i < worldStates_.UsedSize(); ++i)
        if (SgWorldState* s = worldStates_.At(i))
            if (PickState(origin, direction, request, s))
                return;
}

// ---- Placement and alikeness ----

void SgTriBasedGeom::AbsorbTransform(const SgMat3& rotation, const SgVec3& translation, float scale,
                                     uint8_t inParentFrame) {
    SgGeometry::AbsorbTransform(rotation, translation, scale, inParentFrame);
    ComputePlanes();
}

bool SgTriBasedGeom::HasSameProperties(const SgAVObject* other, uint32_t typeMask) const {
    const SgTriBasedGeom* o = SgKindCast<SgTriBasedGeom>(other);
    if (!o || !SgGeometry::HasSameProperties(o, typeMask))
        return false;
    return (textureSets_ != nullptr) == (o->textureSets_ != nullptr) && textureSetCount_ == o->textureSetCount_;
}

// ---- Copies ----

void SgTriBasedGeom::CopyFieldsInto(SgTriBasedGeom* copy) const {
    SgGeometry::CopyFieldsInto(copy);
    copy->triangleCount_ = triangleCount_;
    copy->ReplaceTextureSets(SgCopyArray(textureSets_, size_t(textureSetCount_) * vertexCount_).release(),
                             textureSetCount_);
    copy->ReplaceColors(SgCopyArray(colors_, vertexCount_).release());
    copy->planes_ = SgCopyArray(planes_.get(), triangleCount_);
    copy->ownership_ = 0;
}

SgAVObject* SgTriBasedGeom::MakeCopy(SgAVObject* copy) {
    if (!copy)
        return nullptr;
    CopyFieldsInto(static_cast<SgTriBasedGeom*>(copy));
    return copy;
}

// ---- Stream ----

bool SgTriBasedGeom::LoadFromStream(SgSceneStream& s) {
    if (!SgGeometry::LoadFromStream(s))
        return false;
    triangleCount_ = s.ReadU16();
    uint16_t setCount = s.ReadU16();
    std::unique_ptr<SgVec3[]> sets;
    std::unique_ptr<SgRgba[]> colors;
    if (!SgLoadOptionalArray(s, size_t(setCount) * vertexCount_, 12, sets) ||
        !SgLoadOptionalArray(s, vertexCount_, 16, colors) || !SgLoadOptionalArray(s, triangleCount_, 16, planes_))
        return false;
    ReplaceTextureSets(sets.release(), setCount);
    ReplaceColors(colors.release());
    ownership_ = 0;
    // Counts that would send a draw or a pick past an array are refused: sets announced but
    // absent, sets present but none counted (the readers take set 0 as vertex-count entries),
    // triangles without vertices.
    if ((textureSetCount_ > 0) != (textureSets_ != nullptr))
        return false;
    // Each class checks what its own counts index once it has read them.
    return triangleCount_ == 0 || vertices_ != nullptr;
}

void SgTriBasedGeom::LinkFromStream(SgSceneStream& s) { SgGeometry::LinkFromStream(s); }

bool SgTriBasedGeom::RegisterInStream(SgSceneStream& s) { return SgGeometry::RegisterInStream(s); }

void SgTriBasedGeom::SaveToStream(SgSceneStream& s) const {
    SgGeometry::SaveToStream(s);
    s.WriteU16(triangleCount_);
    s.WriteU16(textureSetCount_);
    SgSaveOptionalArray(s, size_t(textureSetCount_) * vertexCount_, textureSets_);
    SgSaveOptionalArray(s, vertexCount_, colors_);
    SgSaveOptionalArray(s, triangleCount_, planes_.get());
}

bool SgTriBasedGeom::IsEqualTo(const SgObject* other) const {
    const SgTriBasedGeom* o = SgKindCast<SgTriBasedGeom>(other);
    if (!o || !SgGeometry::IsEqualTo(o) || triangleCount_ != o->triangleCount_ ||
        textureSetCount_ != o->textureSetCount_)
        return false;
    return SgSameArrays(textureSets_, o->textureSets_, size_t(textureSetCount_) * vertexCount_) &&
           SgSameArrays(colors_, o->colors_, vertexCount_) &&
           SgSameArrays(planes_.get(), o->planes_.get(), triangleCount_);
}
