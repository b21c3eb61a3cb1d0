#include "engine/core/sg_geometry.h"

#include <cmath>

#include "engine/core/sg_camera.h"
#include "engine/core/sg_node.h"
#include "engine/core/sg_processor.h"
#include "engine/core/sg_registry.h"
#include "engine/core/sg_stream.h"
#include "engine/core/sg_stream_arrays.h"

namespace {

uint32_t g_renderCounts[3] = {};
SgGeometry::TriangleCollisionTest g_triangleTest = nullptr;

void TransformScaled(uint32_t count, const SgVec3* in, SgVec3* out, const SgMat3& m, float scale, const SgVec3& t) {
    if (SgTransformPointsScaledRoutine)
        SgTransformPointsScaledRoutine(count, in, out, m, scale, t);
    else
        TransformPointsScaled(count, in, out, m, scale, t);
}

void TransformPlain(uint32_t count, const SgVec3* in, SgVec3* out, const SgMat3& m) {
    if (SgTransformPointsRoutine)
        SgTransformPointsRoutine(count, in, out, m);
    else
        TransformPoints(count, in, out, m);
}

// Points become m p + e, normals (m inverse) transposed times n.
void BakeTransform(uint32_t count, SgVec3* points, SgVec3* normals, const SgMat3& m, const SgVec3& e) {
    if (points)
        for (uint32_t i = 0; i < count; ++i)
            points[i] = m * points[i] + e;
    if (!normals)
        return;
    SgMat3 inverse;
    m.Invert(inverse);
    SgMat3 normalMatrix = inverse.Transpose();
    for (uint32_t i = 0; i < count; ++i)
        normals[i] = normalMatrix * normals[i];
}

}  // namespace

SgGeometryWorldState::~SgGeometryWorldState() = default;

constinit SgTypeRecord SgGeometry::typeRecord{"SgGeometry", &SgAVObject::typeRecord};

int SgGeometry::Register() { return SgClassRegistry::Register(typeRecord, SgCreateAbstract); }

const SgTypeRecord* SgGeometry::GetTypeRecord() const { return &typeRecord; }

void SgGeometry::SetTriangleCollisionTest(TriangleCollisionTest test) { g_triangleTest = test; }

void SgGeometry::ResetRenderCounts() { g_renderCounts[0] = g_renderCounts[1] = g_renderCounts[2] = 0; }

void SgGeometry::GetRenderCounts(uint32_t& objects, uint32_t& triangles, uint32_t& vertices) {
    objects = g_renderCounts[0];
    triangles = g_renderCounts[1];
    vertices = g_renderCounts[2];
}

void SgGeometry::CountDraw(uint32_t triangles, uint32_t vertices) {
    g_renderCounts[0] += 1;
    g_renderCounts[1] += triangles;
    g_renderCounts[2] += vertices;
}

SgGeometry::SgGeometry() { ResetWorldStates(); }

SgGeometry::SgGeometry(uint16_t vertexCount, const SgVec3* vertices, const SgVec3* normals)
    : vertexCount_(vertexCount), vertices_(SgCopyArray(vertices, vertexCount)), normals_(SgCopyArray(normals, vertexCount)) {
    modelBound_.FitToPoints(vertexCount_, vertices_.get());
    ResetWorldStates();
}

SgGeometry::~SgGeometry() {
    // The states go first: they may hold collision data over the model arrays.
    worldStates_.RemoveAll();
    currentState_ = nullptr;
}

SgWorldState* SgGeometry::NewWorldState() { return new SgGeometryWorldState; }

// ---- Copies ----

void SgGeometry::CopyFieldsInto(SgGeometry* copy) const {
    SgAVObject::CopyFieldsInto(copy);
    copy->vertexCount_ = vertexCount_;
    copy->vertices_ = SgCopyArray(vertices_.get(), vertexCount_);
    copy->normals_ = SgCopyArray(normals_.get(), vertexCount_);
    copy->modelBound_.Copy(modelBound_);
    copy->MarkWorldArraysStale();
}

SgAVObject* SgGeometry::MakeCopy(SgAVObject* copy) {
    // Abstract: only a concrete class's copy comes here.
    if (!copy)
        return nullptr;
    CopyFieldsInto(static_cast<SgGeometry*>(copy));
    return copy;
}

// ---- Placement, world arrays and bounds ----

void SgGeometry::ComposeWorldPlacement(SgWorldState* state) {
    SgAVObject::ComposeWorldPlacement(state);
    if (currentState_)
        currentState_->refreshVertices = 1;
}

void SgGeometry::PushDrawState(SgCamera* camera, SgWorldState* state) {
    SgAVObject::PushDrawState(camera, state);
    if (currentState_ && currentState_->refreshVertices)
        TransformToWorld(currentState_);
}

void SgGeometry::TransformToWorld(SgWorldState* state) { TransformVerticesToWorld(state, vertexCount_); }

void SgGeometry::TransformVerticesToWorld(SgWorldState* state, uint32_t count) {
    if (!state)
        return;
    SgGeometryWorldState* gs = GeometryState(state);
    if (count > vertexCount_)
        count = vertexCount_;
    size_t slots = vertexCount_ ? vertexCount_ : 1;
    if (vertices_) {
        if (!gs->worldVertices)
            gs->worldVertices.reset(new SgVec3[slots]);
        TransformScaled(count, vertices_.get(), gs->worldVertices.get(), state->worldRotation, state->worldScale,
                        state->worldTranslation);
    }
    if (normals_) {
        if (!gs->worldNormals)
            gs->worldNormals.reset(new SgVec3[slots]);
        TransformPlain(count, normals_.get(), gs->worldNormals.get(), state->worldRotation);
    }
    state->refreshVertices = 0;
}

SgVec3* SgGeometry::WorldVertices() {
    if (!currentState_)
        return nullptr;
    if (currentState_->refreshVertices)
        TransformToWorld(currentState_);
    return GeometryState(currentState_)->worldVertices.get();
}

SgVec3* SgGeometry::WorldNormals() {
    if (!currentState_)
        return nullptr;
    if (currentState_->refreshVertices)
        TransformToWorld(currentState_);
    return GeometryState(currentState_)->worldNormals.get();
}

void SgGeometry::RefreshWorldBound(SgWorldState* state) { RefreshBoundOver(state, vertexCount_); }

void SgGeometry::RefreshBoundOver(SgWorldState* state, uint32_t count) {
    if (!state)
        return;
    currentState_ = state;
    if (modelBound_.unset)
        modelBound_.FitToPoints(count < vertexCount_ ? count : vertexCount_, vertices_.get());
    state->worldBound.TransformBy(modelBound_, state->worldRotation, state->worldTranslation, state->worldScale);
}

void SgGeometry::AbsorbTransform(const SgMat3& rotation, const SgVec3& translation, float, uint8_t inParentFrame) {
    // In the parent's frame the vertices change so that s L v' + u = R (s L v + u) + t for the
    // unchanged local placement (L, u, s).
    SgMat3 r;
    SgVec3 t;
    TransformInOwnFrame(rotation, translation, inParentFrame, r, t);
    BakeTransform(vertexCount_, vertices_.get(), normals_.get(), r, t);
    modelBound_.FitToPoints(vertexCount_, vertices_.get());
    MarkWorldArraysStale();
}

void SgGeometry::MarkWorldArraysStale() {
    for (uint32_t i = 0; i < worldStates_.UsedSize(); ++i)
        if (SgWorldState* s = worldStates_.At(i))
            s->refreshVertices = 1;
}

void SgGeometry::MarkModelChanged() {
    modelBound_.unset = 1;
    MarkWorldArraysStale();
}

void SgGeometry::FitOrientedBox(SgVec3& centre, SgVec3 axes[3], float extents[3]) const {
    centre = SgVec3();
    for (int k = 0; k < 3; ++k) {
        axes[k] = SgVec3(k == 0, k == 1, k == 2);
        extents[k] = 0.0f;
    }
    if (!vertexCount_ || !vertices_)
        return;
    float r = 1.0f / vertexCount_;
    SgVec3 sum;
    for (uint32_t i = 0; i < vertexCount_; ++i)
        sum = sum + vertices_[i];
    centre = sum * r;
    float c[6] = {};
    for (uint32_t i = 0; i < vertexCount_; ++i) {
        SgVec3 d = vertices_[i] - centre;
        c[0] += d.x * d.x;
        c[1] += d.x * d.y;
        c[2] += d.x * d.z;
        c[3] += d.y * d.y;
        c[4] += d.y * d.z;
        c[5] += d.z * d.z;
    }
    for (float& v : c)
        v *= r;
    SgMat3 covariance{{c[0], c[1], c[2], c[1], c[3], c[4], c[2], c[4], c[5]}};
    float values[3];
    SgMat3 vectors;
    covariance.EigenSolve(values, vectors);
    for (int k = 0; k < 3; ++k)
        axes[k] = SgVec3(vectors.m[k], vectors.m[3 + k], vectors.m[6 + k]);
    for (uint32_t i = 0; i < vertexCount_; ++i) {
        SgVec3 d = vertices_[i] - centre;
        for (int k = 0; k < 3; ++k)
            extents[k] = std::fmax(extents[k], std::fabs(d.Dot(axes[k])));
    }
}

// ---- Drawing helpers ----

SgVec3 SgGeometry::CameraInModel(const SgCamera* camera, const SgWorldState* state) {
    SgVec3 c = camera->WorldLocation() - state->worldTranslation;
    SgVec3 m = state->worldRotation.Transpose() * c;
    return state->worldScale != 0.0f ? m * (1.0f / state->worldScale) : m;
}

bool SgGeometry::BeginDraw(SgCamera* camera) {
    SgDisplay* display = camera ? camera->Display() : nullptr;
    if (!display || !display->Renderer())
        return false;
    display->ApplyPendingState();
    camera->PassClipPlanes();
    return true;
}

// ---- Per-state data and collision ----

void SgGeometry::ReleaseState(SgWorldState* state) {
    if (state) {
        GeometryState(state)->collisionData.reset();
        return;
    }
    for (uint32_t i = 0; i < worldStates_.UsedSize(); ++i)
        if (SgWorldState* s = worldStates_.At(i))
            GeometryState(s)->collisionData.reset();
}

int SgGeometry::Collide(float time, SgAVObject* other, SgCollisionPair& pair, bool report) {
    if (!BeginCollision(time, other, pair))
        return 0;
    // A node that descends takes the query over.
    SgNode* node = SgKindCast<SgNode>(other);
    if (node && node->collisionMode != 0)
        return HandOver(time, other, pair, report);
    if (g_triangleTest) {
        int decided = g_triangleTest(this, other, time, pair, report);
        if (decided >= 0)
            return decided;
    }
    return VolumeContact(time, other, pair, report);
}

bool SgGeometry::TestCollision(float time, SgAVObject* other, SgCollisionPair& pair) {
    return Collide(time, other, pair, false) != 0;
}

int SgGeometry::FindCollisions(float time, SgAVObject* other, SgCollisionPair& pair) {
    return Collide(time, other, pair, true);
}

bool SgGeometry::HasSameProperties(const SgAVObject* other, uint32_t typeMask) const {
    const SgGeometry* o = SgKindCast<SgGeometry>(other);
    if (!o || !SgAVObject::HasSameProperties(o, typeMask))
        return false;
    return (vertices_ != nullptr) == (o->vertices_ != nullptr) && (normals_ != nullptr) == (o->normals_ != nullptr);
}

// ---- Stream ----

bool SgGeometry::LoadFromStream(SgSceneStream& s) {
    if (!SgAVObject::LoadFromStream(s))
        return false;
    vertexCount_ = s.ReadU16();
    if (!SgLoadOptionalArray(s, vertexCount_, 12, vertices_) || !SgLoadOptionalArray(s, vertexCount_, 12, normals_))
        return false;
    modelBound_.LoadFromStream(s);
    // Whatever bound the file holds, the first refresh fits one to the vertices.
    modelBound_.unset = 1;
    return s.ReadOk();
}

void SgGeometry::LinkFromStream(SgSceneStream& s) { SgAVObject::LinkFromStream(s); }

bool SgGeometry::RegisterInStream(SgSceneStream& s) { return SgAVObject::RegisterInStream(s); }

void SgGeometry::SaveToStream(SgSceneStream& s) const {
    SgAVObject::SaveToStream(s);
    s.WriteU16(vertexCount_);
    SgSaveOptionalArray(s, vertexCount_, vertices_.get());
    SgSaveOptionalArray(s, vertexCount_, normals_.get());
    modelBound_.SaveToStream(s);
}

bool SgGeometry::IsEqualTo(const SgObject* other) const {
    const SgGeometry* o = SgKindCast<SgGeometry>(other);
    if (!o || !SgAVObject::IsEqualTo(o) || vertexCount_ != o->vertexCount_)
        return false;
    return SgSameArrays(vertices_.get(), o->vertices_.get(), vertexCount_) &&
           SgSameArrays(normals_.get(), o->normals_.get(), vertexCount_) && modelBound_.IsEqualTo(o->modelBound_);
}
