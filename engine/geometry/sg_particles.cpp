#include "engine/geometry/sg_particles.h"

#include "engine/core/sg_camera.h"
#include "engine/core/sg_registry.h"
#include "engine/core/sg_stream.h"
#include "engine/core/sg_stream_arrays.h"

constinit SgTypeRecord SgParticles::typeRecord{"SgParticles", &SgTriBasedGeom::typeRecord};
constinit SgTypeRecord SgAutoNormalParticles::typeRecord{"SgAutoNormalParticles", &SgParticles::typeRecord};

int SgParticles::Register() {
    return SgClassRegistry::Register(typeRecord, SgCreateObject<SgParticles, SgLinkIdData1>);
}

int SgAutoNormalParticles::Register() {
    return SgClassRegistry::Register(typeRecord, SgCreateObject<SgAutoNormalParticles, SgLinkIdData1>);
}

const SgTypeRecord* SgParticles::GetTypeRecord() const { return &typeRecord; }
const SgTypeRecord* SgAutoNormalParticles::GetTypeRecord() const { return &typeRecord; }

SgParticles::SgParticles(uint16_t count, const SgVec3* positions, const SgVec3* normals, const SgRgba* colors)
    : SgTriBasedGeom(count, positions, normals, count, nullptr, colors), active_(count) {
    ResetSizes();
}

SgAutoNormalParticles::SgAutoNormalParticles(uint16_t count, const SgVec3* positions, const SgRgba* colors)
    : SgParticles(count, positions, nullptr, colors), autoNormals_(new SgVec3[count ? count : 1]()) {}

void SgParticles::ResetSizes() {
    sizes_.reset(new float[vertexCount_ ? vertexCount_ : 1]);
    for (uint32_t i = 0; i < vertexCount_; ++i)
        sizes_[i] = 1.0f;
}

void SgParticles::SetActiveCount(uint16_t count) {
    active_ = count < vertexCount_ ? count : vertexCount_;
    MarkModelChanged();
}

// ---- Triangles: particles have none of their own ----

bool SgParticles::GetModelTriangle(uint32_t i, const SgVec3* corners[3]) const {
    bool ok = vertices_ && 3 * i + 2 < vertexCount_;
    for (uint32_t k = 0; k < 3; ++k)
        corners[k] = ok ? &vertices_[3 * i + k] : nullptr;
    return ok;
}

bool SgParticles::GetWorldTriangle(uint32_t i, const SgVec3* corners[3]) {
    SgVec3* world = WorldVertices();
    bool ok = world && 3 * i + 2 < vertexCount_;
    for (uint32_t k = 0; k < 3; ++k)
        corners[k] = ok ? &world[3 * i + k] : nullptr;
    return ok;
}

void SgParticles::ComputeNormals() {}
void SgParticles::ComputePlanes() {}
void SgParticles::ComputeNormalsFromPlanes() {}

// ---- World arrays and drawing ----

void SgParticles::TransformToWorld(SgWorldState* state) { TransformVerticesToWorld(state, active_); }

void SgParticles::RefreshWorldBound(SgWorldState* state) { RefreshBoundOver(state, active_); }

void SgParticles::SubmitParticles(SgCamera* camera, SgWorldState* state, const SgVec3* normals) {
    if (!PrepareDraw(camera, state, false))
        return;
    SgGeometryWorldState* gs = FreshState(state);
    camera->Display()->Renderer()->DrawParticles(active_, gs->worldVertices.get(), normals, colors_,
                                                 size * state->worldScale, sizes_.get(), state->worldBound);
    CountDraw(active_, active_);
}

void SgParticles::Draw(SgCamera* camera, SgWorldState* state) {
    if (state)
        SubmitParticles(camera, state, FreshState(state)->worldNormals.get());
}

void SgAutoNormalParticles::Draw(SgCamera* camera, SgWorldState* state) {
    if (!camera || !state)
        return;
    currentState_ = state;
    for (uint32_t i = 0; i < active_; ++i)
        autoNormals_[i] = camera->WorldViewDirection();
    SubmitParticles(camera, state, autoNormals_.get());
}

// ---- Copies ----

void SgParticles::CopyFieldsInto(SgParticles* copy) const {
    SgTriBasedGeom::CopyFieldsInto(copy);
    copy->size = size;
    copy->active_ = active_;
    copy->sizes_ = SgCopyArray(sizes_.get(), vertexCount_);
    if (!copy->sizes_)
        copy->ResetSizes();
}

SgAVObject* SgParticles::MakeCopy(SgAVObject* copy) {
    SgParticles* particles = copy ? static_cast<SgParticles*>(copy) : new SgParticles;
    CopyFieldsInto(particles);
    return particles;
}

SgAVObject* SgAutoNormalParticles::MakeCopy(SgAVObject* copy) {
    auto* particles = copy ? static_cast<SgAutoNormalParticles*>(copy) : new SgAutoNormalParticles;
    CopyFieldsInto(particles);
    particles->autoNormals_.reset(new SgVec3[vertexCount_ ? vertexCount_ : 1]());
    return particles;
}

// ---- Stream ----

bool SgParticles::LoadFromStream(SgSceneStream& s) {
    if (!SgTriBasedGeom::LoadFromStream(s))
        return false;
    size = s.ReadF32();
    active_ = s.ReadU16();
    if (!SgLoadOptionalArray(s, vertexCount_, 4, sizes_))
        return false;
    if (!sizes_)
        ResetSizes();
    // The particles drawn and the triangle count must stay within the vertices.
    return active_ <= vertexCount_ && triangleCount_ <= vertexCount_ && (active_ == 0 || vertices_);
}

void SgParticles::SaveToStream(SgSceneStream& s) const {
    SgTriBasedGeom::SaveToStream(s);
    s.WriteF32(size);
    s.WriteU16(active_);
    SgSaveOptionalArray(s, vertexCount_, sizes_.get());
}

bool SgParticles::IsEqualTo(const SgObject* other) const {
    const SgParticles* o = SgKindCast<SgParticles>(other);
    return o && SgTriBasedGeom::IsEqualTo(o) && size == o->size && active_ == o->active_ &&
           SgSameArrays(sizes_.get(), o->sizes_.get(), vertexCount_);
}

bool SgAutoNormalParticles::LoadFromStream(SgSceneStream& s) {
    if (!SgParticles::LoadFromStream(s) || !SgLoadOptionalArray(s, vertexCount_, 12, autoNormals_))
        return false;
    // The normals are rewritten at every draw; the array must exist for that.
    if (!autoNormals_)
        autoNormals_.reset(new SgVec3[vertexCount_ ? vertexCount_ : 1]());
    return true;
}

void SgAutoNormalParticles::SaveToStream(SgSceneStream& s) const {
    SgParticles::SaveToStream(s);
    SgSaveOptionalArray(s, vertexCount_, autoNormals_.get());
}

bool SgAutoNormalParticles::IsEqualTo(const SgObject* other) const {
    const SgAutoNormalParticles* o = SgKindCast<SgAutoNormalParticles>(other);
    return o && SgParticles::IsEqualTo(o) && (autoNormals_ != nullptr) == (o->autoNormals_ != nullptr);
}
