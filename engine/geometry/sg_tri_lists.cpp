#include "engine/geometry/sg_tri_lists.h"

#include "engine/core/sg_camera.h"
#include "engine/core/sg_registry.h"
#include "engine/core/sg_stream.h"

namespace {

// Pointers to vertices a, b and c of an array (nulls and false when one is past the count).
bool Corners(const SgVec3* vertices, uint32_t count, uint32_t a, uint32_t b, uint32_t c, const SgVec3* out[3]) {
    bool ok = vertices && a < count && b < count && c < count;
    out[0] = ok ? &vertices[a] : nullptr;
    out[1] = ok ? &vertices[b] : nullptr;
    out[2] = ok ? &vertices[c] : nullptr;
    return ok;
}

uint16_t Clamp(uint32_t value, uint32_t limit) { return static_cast<uint16_t>(value < limit ? value : limit); }

}  // namespace

// ---- SgTriangles ----

constinit SgTypeRecord SgTriangles::typeRecord{"SgTriangles", &SgTriBasedGeom::typeRecord};

int SgTriangles::Register() {
    return SgClassRegistry::Register(typeRecord, SgCreateObject<SgTriangles, SgLinkIdData1>);
}

const SgTypeRecord* SgTriangles::GetTypeRecord() const { return &typeRecord; }

SgTriangles::SgTriangles(uint16_t vertexCount, const SgVec3* vertices, const SgVec3* normals,
                         const SgVec3* textureSet, const SgRgba* colors)
    : SgTriBasedGeom(vertexCount, vertices, normals, static_cast<uint16_t>(vertexCount / 3), textureSet, colors),
      active_(static_cast<uint16_t>(vertexCount / 3)) {
    ComputePlanes();
}

uint32_t SgTriangles::UsedVertexCount() const { return Clamp(3u * active_, vertexCount_); }

void SgTriangles::SetActiveCount(uint16_t count) {
    active_ = Clamp(count, triangleCount_);
    MarkModelChanged();
}

bool SgTriangles::GetTriangle(uint32_t i, uint16_t corners[3], SgPlaneEq*& plane) const {
    if (i >= triangleCount_ || 3 * i + 2 >= vertexCount_)
        return SgTriBasedGeom::GetTriangle(i, corners, plane);
    for (uint16_t k = 0; k < 3; ++k)
        corners[k] = static_cast<uint16_t>(3 * i + k);
    plane = planes_ ? &planes_[i] : nullptr;
    return true;
}

bool SgTriangles::GetModelTriangle(uint32_t i, const SgVec3* corners[3]) const {
    return Corners(vertices_.get(), vertexCount_, 3 * i, 3 * i + 1, 3 * i + 2, corners);
}

bool SgTriangles::GetWorldTriangle(uint32_t i, const SgVec3* corners[3]) {
    return Corners(WorldVertices(), vertexCount_, 3 * i, 3 * i + 1, 3 * i + 2, corners);
}

uint16_t SgTriangles::GetActiveTriangleCount() const { return active_; }

void SgTriangles::ComputePlanes() { ComputePlanesFromCorners(); }
void SgTriangles::ComputeNormals() { ComputeNormalsFromCorners(false); }
void SgTriangles::ComputeNormalsFromPlanes() { ComputeNormalsFromCorners(true); }

void SgTriangles::TransformToWorld(SgWorldState* state) { TransformVerticesToWorld(state, UsedVertexCount()); }

void SgTriangles::RefreshWorldBound(SgWorldState* state) { RefreshBoundOver(state, UsedVertexCount()); }

void SgTriangles::Draw(SgCamera* camera, SgWorldState* state) {
    if (SubmitUnindexed(camera, state, &SgRender::DrawTriangles, active_))
        CountDraw(active_, 3u * active_);
}

SgAVObject* SgTriangles::MakeCopy(SgAVObject* copy) {
    SgTriangles* list = copy ? static_cast<SgTriangles*>(copy) : new SgTriangles;
    CopyFieldsInto(list);
    list->active_ = active_;
    return list;
}

bool SgTriangles::LoadFromStream(SgSceneStream& s) {
    if (!SgTriBasedGeom::LoadFromStream(s))
        return false;
    active_ = s.ReadU16();
    // Every triangle of the list must lie within the vertices, every active one within the list.
    return s.ReadOk() && 3u * triangleCount_ <= vertexCount_ && active_ <= triangleCount_;
}

void SgTriangles::SaveToStream(SgSceneStream& s) const {
    SgTriBasedGeom::SaveToStream(s);
    s.WriteU16(active_);
}

bool SgTriangles::IsEqualTo(const SgObject* other) const {
    const SgTriangles* o = SgKindCast<SgTriangles>(other);
    return o && SgTriBasedGeom::IsEqualTo(o) && active_ == o->active_;
}

// ---- SgTriStrip ----

constinit SgTypeRecord SgTriStrip::typeRecord{"SgTriStrip", &SgTriBasedGeom::typeRecord};

int SgTriStrip::Register() { return SgClassRegistry::Register(typeRecord, SgCreateObject<SgTriStrip, SgLinkIdData1>); }

const SgTypeRecord* SgTriStrip::GetTypeRecord() const { return &typeRecord; }

SgTriStrip::SgTriStrip(uint16_t vertexCount, const SgVec3* vertices, const SgVec3* normals, const SgVec3* textureSet,
                       const SgRgba* colors)
    : SgTriBasedGeom(vertexCount, vertices, normals, static_cast<uint16_t>(vertexCount >= 3 ? vertexCount - 2 : 0),
                     textureSet, colors),
      active_(vertexCount) {
    ComputePlanes();
}

void SgTriStrip::SetActiveCount(uint16_t count) {
    // Never more vertices than the strip has, nor more triangles than it has planes for.
    uint32_t limit = vertexCount_ < 3 ? vertexCount_ : triangleCount_ + 2u;
    active_ = Clamp(count, limit < vertexCount_ ? limit : vertexCount_);
    MarkModelChanged();
}

bool SgTriStrip::GetTriangle(uint32_t i, uint16_t corners[3], SgPlaneEq*& plane) const {
    if (i >= triangleCount_ || i + 2 >= vertexCount_)
        return SgTriBasedGeom::GetTriangle(i, corners, plane);
    // Odd triangles exchange their last two corners so that every triangle winds the same way.
    bool odd = i & 1;
    corners[0] = static_cast<uint16_t>(i);
    corners[1] = static_cast<uint16_t>(odd ? i + 2 : i + 1);
    corners[2] = static_cast<uint16_t>(odd ? i + 1 : i + 2);
    plane = planes_ ? &planes_[i] : nullptr;
    return true;
}

bool SgTriStrip::GetModelTriangle(uint32_t i, const SgVec3* corners[3]) const {
    return Corners(vertices_.get(), vertexCount_, i, i + 1, i + 2, corners);
}

bool SgTriStrip::GetWorldTriangle(uint32_t i, const SgVec3* corners[3]) {
    return Corners(WorldVertices(), vertexCount_, i, i + 1, i + 2, corners);
}

uint16_t SgTriStrip::GetActiveTriangleCount() const {
    return active_ >= 3 ? Clamp(active_ - 2u, triangleCount_) : 0;
}

void SgTriStrip::ComputePlanes() { ComputePlanesFromCorners(); }
void SgTriStrip::ComputeNormals() { ComputeNormalsFromCorners(false); }
void SgTriStrip::ComputeNormalsFromPlanes() { ComputeNormalsFromCorners(true); }

void SgTriStrip::TransformToWorld(SgWorldState* state) { TransformVerticesToWorld(state, active_); }

void SgTriStrip::RefreshWorldBound(SgWorldState* state) { RefreshBoundOver(state, active_); }

void SgTriStrip::Draw(SgCamera* camera, SgWorldState* state) {
    uint16_t triangles = active_ > 2 ? static_cast<uint16_t>(active_ - 2) : 0;
    if (SubmitUnindexed(camera, state, &SgRender::DrawTriStrip, triangles))
        CountDraw(triangles, active_);
}

SgAVObject* SgTriStrip::MakeCopy(SgAVObject* copy) {
    SgTriStrip* strip = copy ? static_cast<SgTriStrip*>(copy) : new SgTriStrip;
    CopyFieldsInto(strip);
    strip->active_ = active_;
    return strip;
}

bool SgTriStrip::LoadFromStream(SgSceneStream& s) {
    if (!SgTriBasedGeom::LoadFromStream(s))
        return false;
    active_ = s.ReadU16();
    // A strip of n vertices closes at most n - 2 triangles (none below 3 vertices), and every
    // triangle the active vertices draw has its plane.
    uint32_t most = vertexCount_ >= 3 ? vertexCount_ - 2u : 0u;
    uint32_t drawn = active_ >= 3 ? active_ - 2u : 0u;
    return s.ReadOk() && triangleCount_ <= most && active_ <= vertexCount_ && drawn <= triangleCount_;
}

void SgTriStrip::SaveToStream(SgSceneStream& s) const {
    SgTriBasedGeom::SaveToStream(s);
    s.WriteU16(active_);
}

bool SgTriStrip::IsEqualTo(const SgObject* other) const {
    const SgTriStrip* o = SgKindCast<SgTriStrip>(other);
    return o && SgTriBasedGeom::IsEqualTo(o) && active_ == o->active_;
}
