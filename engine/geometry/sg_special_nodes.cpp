#include "engine/geometry/sg_special_nodes.h"

#include <cmath>

#include "engine/core/sg_camera.h"
#include "engine/core/sg_registry.h"
#include "engine/core/sg_stream.h"

namespace {

// A matrix from its three columns.
SgMat3 FromColumns(const SgVec3& c0, const SgVec3& c1, const SgVec3& c2) {
    return SgMat3{{c0.x, c1.x, c2.x, c0.y, c1.y, c2.y, c0.z, c1.z, c2.z}};
}

// Column k of the camera's world rotation (the camera keeps it transposed).
SgVec3 CameraColumn(const SgCamera* camera, int k) {
    const float* a = camera->WorldAxes().m;
    return {a[3 * k], a[3 * k + 1], a[3 * k + 2]};
}

}  // namespace

// ---- SgBillboardNode ----

constinit SgTypeRecord SgBillboardNode::typeRecord{"SgBillboardNode", &SgNode::typeRecord};

int SgBillboardNode::Register() {
    return SgClassRegistry::Register(typeRecord, SgCreateObject<SgBillboardNode, SgLinkIdData3>);
}

const SgTypeRecord* SgBillboardNode::GetTypeRecord() const { return &typeRecord; }

bool SgBillboardNode::LoadFromStream(SgSceneStream& s) {
    if (!SgNode::LoadFromStream(s))
        return false;
    mode = s.ReadU32();
    return s.ReadOk();
}

void SgBillboardNode::SaveToStream(SgSceneStream& s) const {
    SgNode::SaveToStream(s);
    s.WriteU32(mode);
}

bool SgBillboardNode::IsEqualTo(const SgObject* other) const {
    const SgBillboardNode* o = SgKindCast<SgBillboardNode>(other);
    return o && SgNode::IsEqualTo(o) && mode == o->mode;
}

SgAVObject* SgBillboardNode::MakeCopy(SgAVObject* copy) {
    SgBillboardNode* node = copy ? static_cast<SgBillboardNode*>(copy) : new SgBillboardNode;
    CopyFieldsInto(node);
    node->mode = mode;
    return node;
}

void SgBillboardNode::UpdateState(SgWorldState* state) {
    SgNode::UpdateState(state);
    RecentreBound();
}

void SgBillboardNode::PushDrawState(SgCamera* camera, SgWorldState* state) {
    SgNode::PushDrawState(camera, state);
    Orient(camera, state);
}

void SgBillboardNode::Orient(SgCamera* camera, SgWorldState* state) {
    if (state)
        currentState_ = state;
    SgWorldState* s = currentState_;
    if (!s || !camera)
        return;
    SgMat3 rp = SgIdentityMat3;
    SgVec3 tp;
    float sp = 1.0f;
    if (SgAVObject* parent = CurrentStateKey()) {
        if (const SgWorldState* ps = parent->CurrentState()) {
            rp = ps->worldRotation;
            tp = ps->worldTranslation;
            sp = ps->worldScale;
        }
    }
    // The placement without the turn; the camera's vectors are brought into that frame.
    SgMat3 w = rp * localRotation;
    SgVec3 tw = tp + rp.TimesVec(localTranslation) * sp;
    float sw = sp * localScale;
    SgMat3 back = w.Transpose();
    SgMat3 turn = SgIdentityMat3;
    switch (mode) {
    case kFaceCamera: {
        SgVec3 a1 = back.TimesVec(CameraColumn(camera, 0));
        SgVec3 a2 = back.TimesVec(CameraColumn(camera, 1));
        SgVec3 a3 = back.TimesVec(CameraColumn(camera, 2));
        double len = std::sqrt(double(a3.y) * a3.y + double(a2.y) * a2.y);
        if (len > 1e-6) {
            float c = static_cast<float>(-a3.y / len);
            float sn = static_cast<float>(a2.y / len);
            // The x axis stays level; the y axis leans toward the frame's own y axis.
            turn = FromColumns(a3 * sn + a2 * c, a2 * sn - a3 * c, a1.Negate());
        }
        break;
    }
    case kTurnAboutY: {
        if (sw == 0.0f)
            break;
        SgVec3 v = back.TimesVec(camera->WorldLocation() - tw) * (1.0f / sw);
        double len = std::sqrt(double(v.x) * v.x + double(v.z) * v.z);
        if (len >= 1e-12) {
            float x = static_cast<float>(v.x / len), z = static_cast<float>(v.z / len);
            turn = SgMat3{{z, 0, x, 0, 1, 0, -x, 0, z}};
        }
        break;
    }
    case kCameraFrame:
        turn = FromColumns(back.TimesVec(camera->WorldRight()), back.TimesVec(camera->WorldUp()),
                           back.TimesVec(camera->WorldViewDirection()));
        break;
    default:
        break;
    }
    s->worldRotation = w * turn;
    s->worldTranslation = tw;
    s->worldScale = sw;
    for (uint32_t i = 0; i < ChildCount(); ++i) {
        SgAVObject* child = ChildAt(i);
        SgWorldState* childState = ChildStateAt(i);
        if (child && childState)
            child->UpdateState(childState);
    }
    currentState_ = s;
}

void SgBillboardNode::RecomputeBound() {
    SgNode::RecomputeBound();
    RecentreBound();
}

void SgBillboardNode::RecentreBound() {
    SgWorldState* s = currentState_;
    if (!s)
        return;
    bool anyChild = false;
    for (uint32_t i = 0; i < ChildCount() && !anyChild; ++i)
        anyChild = ChildAt(i) != nullptr;
    if (!anyChild)
        return;
    // Around the billboard's own position, wide enough for any turn.
    SgBoundSphere& bound = s->worldBound;
    bound.radius = (bound.centre - s->worldTranslation).Length() + bound.radius;
    bound.centre = s->worldTranslation;
}

// ---- SgBSPNode ----

constinit SgTypeRecord SgBSPNode::typeRecord{"SgBSPNode", &SgNode::typeRecord};

int SgBSPNode::Register() { return SgClassRegistry::Register(typeRecord, SgCreateObject<SgBSPNode, SgLinkIdData3>); }

const SgTypeRecord* SgBSPNode::GetTypeRecord() const { return &typeRecord; }

bool SgBSPNode::LoadFromStream(SgSceneStream& s) {
    if (!SgNode::LoadFromStream(s))
        return false;
    modelPlane.LoadFromStream(s);
    return s.ReadOk();
}

void SgBSPNode::SaveToStream(SgSceneStream& s) const {
    SgNode::SaveToStream(s);
    modelPlane.SaveToStream(s);
}

bool SgBSPNode::IsEqualTo(const SgObject* other) const {
    const SgBSPNode* o = SgKindCast<SgBSPNode>(other);
    return o && SgNode::IsEqualTo(o) && modelPlane.IsEqualTo(o->modelPlane);
}

SgAVObject* SgBSPNode::MakeCopy(SgAVObject* copy) {
    SgBSPNode* node = copy ? static_cast<SgBSPNode*>(copy) : new SgBSPNode;
    CopyFieldsInto(node);
    node->modelPlane = modelPlane;
    return node;
}

void SgBSPNode::InsertChild(SgAVObject* child, bool firstFree) {
    uint32_t index = ChildCount();
    if (firstFree) {
        for (uint32_t i = 0; i < ChildCount(); ++i) {
            if (!ChildAt(i)) {
                index = i;
                break;
            }
        }
    }
    if (index < kSlots)
        SgNode::InsertChild(child, firstFree);
}

SgRef<SgAVObject> SgBSPNode::SetChildAt(uint32_t index, SgAVObject* child) {
    if (index >= kSlots)
        return {};
    return SgNode::SetChildAt(index, child);
}

void SgBSPNode::ComposeWorldPlacement(SgWorldState* state) {
    SgNode::ComposeWorldPlacement(state);
    if (const SgWorldState* s = currentState_)
        worldPlane_ = PlaneInWorld(modelPlane, *s);
}

SgPlaneEq SgBSPNode::PlaneInWorld(const SgPlaneEq& model, const SgWorldState& s) {
    SgVec3 n = s.worldRotation.TimesVec(model.normal);
    return SgPlaneEq(n, static_cast<float>(double(model.constant) * s.worldScale + s.worldTranslation.Dot(n)));
}

void SgBSPNode::MovePlane(SgPlaneEq& plane, const SgMat3& r, const SgVec3& t) {
    SgMat3 inverse;
    if (r.Invert(inverse)) {
        SgVec3 n = inverse.Transpose().TimesVec(plane.normal);
        plane = SgPlaneEq(n, plane.constant + n.Dot(t));
    }
}

void SgBSPNode::AbsorbTransform(const SgMat3& rotation, const SgVec3& translation, float scale,
                                uint8_t inParentFrame) {
    // The transform as the children's frame sees it (the node's own space, where the plane is).
    SgMat3 r;
    SgVec3 t;
    TransformInOwnFrame(rotation, translation, inParentFrame, r, t);
    MovePlane(modelPlane, r, t);
    SgNode::AbsorbTransform(rotation, translation, scale, inParentFrame);
}

bool SgBSPNode::CameraInFront(const SgCamera* camera) const {
    double d = worldPlane_.Distance(camera->WorldLocation());
    if (d > 0)
        return true;
    if (d < 0)
        return false;
    // On the plane: the camera's first world rotation column, taken as a point, decides.
    return !(worldPlane_.Distance(CameraColumn(camera, 0)) < 0);
}

void SgBSPNode::Draw(SgCamera* camera, SgWorldState*) {
    if (!camera)
        return;
    bool front = CameraInFront(camera);
    for (uint32_t k = 0; k < kSlots; ++k) {
        uint32_t i = front ? k : kSlots - 1 - k;
        if (SgAVObject* child = ChildAt(i))
            child->DrawIfVisible(camera, ChildStateAt(i));
    }
}

void SgBSPNode::DrawChildrenDeferred(SgCamera* camera, SgDeferredCollector* collector) {
    if (!camera)
        return;
    bool front = CameraInFront(camera);
    for (uint32_t k = 0; k < kSlots; ++k) {
        uint32_t i = front ? k : kSlots - 1 - k;
        if (SgAVObject* child = ChildAt(i))
            child->DrawOrDeferIfVisible(camera, collector, ChildStateAt(i));
    }
}

bool SgBSPNode::Flatten(uint32_t flags) {
    for (uint32_t i = 0; i < kSlots; ++i)
        if (SgAVObject* child = ChildAt(i))
            child->Flatten(flags);
    return false;
}

// ---- SgCollisionSwitch ----

constinit SgTypeRecord SgCollisionSwitch::typeRecord{"SgCollisionSwitch", &SgNode::typeRecord};

int SgCollisionSwitch::Register() {
    return SgClassRegistry::Register(typeRecord, SgCreateObject<SgCollisionSwitch, SgLinkIdData3>);
}

const SgTypeRecord* SgCollisionSwitch::GetTypeRecord() const { return &typeRecord; }

bool SgCollisionSwitch::LoadFromStream(SgSceneStream& s) {
    if (!SgNode::LoadFromStream(s))
        return false;
    collisionOn = s.ReadU8();
    return s.ReadOk();
}

void SgCollisionSwitch::SaveToStream(SgSceneStream& s) const {
    SgNode::SaveToStream(s);
    s.WriteU8(collisionOn);
}

bool SgCollisionSwitch::IsEqualTo(const SgObject* other) const {
    const SgCollisionSwitch* o = SgKindCast<SgCollisionSwitch>(other);
    return o && SgNode::IsEqualTo(o) && collisionOn == o->collisionOn;
}

bool SgCollisionSwitch::TestCollision(float time, SgAVObject* other, SgCollisionPair& pair) {
    return collisionOn && SgNode::TestCollision(time, other, pair);
}

int SgCollisionSwitch::FindCollisions(float time, SgAVObject* other, SgCollisionPair& pair) {
    return collisionOn ? SgNode::FindCollisions(time, other, pair) : 0;
}

void SgCollisionSwitch::CollectRayHits(const SgVec3& origin, const SgVec3& direction, SgPickRequest& request,
                                       SgWorldState* state) {
    if (collisionOn)
        SgNode::CollectRayHits(origin, direction, request, state);
}
