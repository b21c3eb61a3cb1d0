#include "engine/render/portal/sg_portal.h"

#include <cmath>

#include "engine/core/sg_camera.h"
#include "engine/core/sg_node.h"
#include "engine/core/sg_registry.h"
#include "engine/core/sg_stream.h"
#include "engine/render/portal/sg_room.h"

constinit SgTypeRecord SgPortal::typeRecord{"SgPortal", &SgAVObject::typeRecord};

int SgPortal::Register() { return SgClassRegistry::Register(typeRecord, SgCreateObject<SgPortal, SgLinkIdData1>); }

const SgTypeRecord* SgPortal::GetTypeRecord() const { return &typeRecord; }

SgPortal::SgPortal() = default;

SgPortal::SgPortal(uint16_t vertexCount, const SgVec3* vertices, SgRoom* room, uint8_t enabledFlag)
    : enabled(enabledFlag) {
    SetCorners(vertices ? vertexCount : 0, vertices);
    SetAdjoiningRoom(room);
}

SgPortal::~SgPortal() { SetAdjoiningRoom(nullptr); }

void SgPortal::SetCorners(uint16_t count, const SgVec3* vertices) {
    vertexCount_ = count;
    planeCount_ = count;
    modelVertices_.reset(new SgVec3[count ? count : 1]());
    for (uint16_t i = 0; vertices && i < count; ++i)
        modelVertices_[i] = vertices[i];
    worldVertices_.reset(new SgVec3[count ? count : 1]());
    clipPlanes_.reset(new SgPlaneEq[count ? count : 1]());
    modelBound_.FitToPoints(count, modelVertices_.get());
}

void SgPortal::SetAdjoiningRoom(SgRoom* room) {
    if (room == room_)
        return;
    if (room_)
        room_->namedBy_.Remove(this);
    room_ = room;
    if (room_)
        room_->namedBy_.AddHead(this);
}

// ---- Stream ----

bool SgPortal::LoadFromStream(SgSceneStream& s) {
    if (!SgAVObject::LoadFromStream(s))
        return false;
    uint16_t planes = s.ReadU16();
    uint16_t vertices = s.ReadU16();
    // Every edge has its plane: other counts would make pushes read past the planes.
    if (!s.ReadOk() || planes != vertices || !s.CheckCount(vertices, 12))
        return false;
    SetCorners(vertices, nullptr);
    for (uint16_t i = 0; i < vertices; ++i)
        modelVertices_[i].LoadFromStream(s);
    modelBound_.FitToPoints(vertexCount_, modelVertices_.get());
    enabled = s.ReadU8();
    uint32_t roomId = s.ReadU32();
    if (SgLinkIdData* link = LinkRecordBase())
        link->refId = roomId;
    return s.ReadOk();
}

void SgPortal::LinkFromStream(SgSceneStream& s) {
    SgAVObject::LinkFromStream(s);
    if (SgLinkIdData* link = LinkRecordBase())
        SetAdjoiningRoom(s.Resolve<SgRoom>(link->refId));
}

bool SgPortal::RegisterInStream(SgSceneStream& s) {
    if (!SgAVObject::RegisterInStream(s))
        return false;
    if (room_)
        room_->RegisterInStream(s);
    return true;
}

void SgPortal::SaveToStream(SgSceneStream& s) const {
    SgAVObject::SaveToStream(s);
    s.WriteU16(planeCount_);
    s.WriteU16(vertexCount_);
    for (uint16_t i = 0; i < vertexCount_; ++i)
        modelVertices_[i].SaveToStream(s);
    s.WriteU8(enabled);
    s.WriteLinkId(room_);
}

bool SgPortal::IsEqualTo(const SgObject* other) const {
    const SgPortal* o = SgKindCast<SgPortal>(other);
    if (!o || !SgAVObject::IsEqualTo(o) || planeCount_ != o->planeCount_ || vertexCount_ != o->vertexCount_ ||
        enabled != o->enabled)
        return false;
    for (uint16_t i = 0; i < vertexCount_; ++i)
        if (!modelVertices_[i].IsEqualTo(o->modelVertices_[i]))
            return false;
    return true;
}

// ---- Scene operations ----

SgAVObject* SgPortal::MakeCopy(SgAVObject* copy) {
    SgPortal* portal = copy ? static_cast<SgPortal*>(copy) : new SgPortal;
    CopyFieldsInto(portal);
    portal->SetCorners(vertexCount_, modelVertices_.get());
    portal->enabled = enabled;
    portal->SetAdjoiningRoom(room_);
    return portal;
}

void SgPortal::AbsorbTransform(const SgMat3& rotation, const SgVec3& translation, float, uint8_t inParentFrame) {
    SgMat3 r;
    SgVec3 t;
    TransformInOwnFrame(rotation, translation, inParentFrame, r, t);
    for (uint16_t i = 0; i < vertexCount_; ++i)
        modelVertices_[i] = r.TimesVec(modelVertices_[i]) + t;
    modelBound_.FitToPoints(vertexCount_, modelVertices_.get());
}

uint8_t SgPortal::IsHidden() const { return SgAVObject::IsHidden() || inDisplay_ || !enabled; }

void SgPortal::ComposeWorldPlacement(SgWorldState* state) {
    SgAVObject::ComposeWorldPlacement(state);
    const SgWorldState* s = currentState_;
    if (!s)
        return;
    for (uint16_t i = 0; i < vertexCount_; ++i)
        worldVertices_[i] = s->worldRotation.TimesVec(modelVertices_[i]) * s->worldScale + s->worldTranslation;
}

void SgPortal::RefreshWorldBound(SgWorldState* state) {
    if (state)
        currentState_ = state;
    SgWorldState* s = currentState_;
    if (!s)
        return;
    modelBound_.FitToPoints(vertexCount_, modelVertices_.get());
    s->worldBound.TransformBy(modelBound_, s->worldRotation, s->worldTranslation, s->worldScale);
}

// ---- Display ----

bool SgPortal::PushClipPlanes(SgCamera* camera) {
    const SgVec3& eye = camera->WorldLocation();
    for (uint16_t i = 0; i < planeCount_; ++i) {
        const SgVec3& from = worldVertices_[i];
        const SgVec3& to = worldVertices_[i + 1 < vertexCount_ ? i + 1 : 0];
        SgVec3 normal = (to - from).Cross(from - eye);
        float length = normal.Length();
        // A degenerate edge (equal corners, or one pointing at the eye) culls nothing.
        normal = length > 1e-6f ? normal * (1.0f / length) : SgVec3{};
        clipPlanes_[i] = SgPlaneEq(normal, eye);
        if (!camera->PushPlane(&clipPlanes_[i])) {
            camera->PopPlanes(i);
            return false;
        }
    }
    return true;
}

void SgPortal::PopClipPlanes(SgCamera* camera) { camera->PopPlanes(planeCount_); }

void SgPortal::Display(SgCamera* camera, bool deferred) {
    if (!camera)
        return;
    inDisplay_ = 1;
    // A path too deep for the camera's 128 planes shows nothing further.
    if (!PushClipPlanes(camera)) {
        inDisplay_ = 0;
        return;
    }
    // The room behind may reach nearer or farther than this portal's own bound did.
    bool nearOff = camera->PlaneDisabled(0);
    bool farOff = camera->PlaneDisabled(1);
    camera->SetPlaneDisabled(0, false);
    camera->SetPlaneDisabled(1, false);
    if (SgRoom* room = room_) {
        if (deferred)
            room->DrawOrDeferIfVisible(camera, nullptr, room->CurrentState());
        else
            room->DrawIfVisible(camera, room->CurrentState());
    }
    camera->SetPlaneDisabled(0, nearOff);
    camera->SetPlaneDisabled(1, farOff);
    PopClipPlanes(camera);
    inDisplay_ = 0;
}

void SgPortal::Draw(SgCamera* camera, SgWorldState*) { Display(camera, false); }

void SgPortal::DrawOrDefer(SgCamera* camera, SgDeferredCollector* collector, SgWorldState* state) {
    if (collector && collector->Accept(this, state))
        return;
    Display(camera, true);
}
