#include "engine/core/sg_av_object.h"

#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "engine/core/sg_camera.h"
#include "engine/core/sg_node.h"
#include "engine/core/sg_registry.h"
#include "engine/core/sg_stream.h"

// ---- Collision records and picks ----

void SgCollisionPair::Exchange() { std::swap(sides[0], sides[1]); }

SgCollisionPair SgCollisionPair::Exchanged() const {
    SgCollisionPair other = *this;
    other.Exchange();
    return other;
}

bool SgNotifyCollisionPair(SgCollisionPair& pair) {
    bool answered = false;
    if (pair.sides[0].callback)
        answered = pair.sides[0].callback(pair, pair.sides[0].context) || answered;
    pair.Exchange();
    if (pair.sides[0].callback)
        answered = pair.sides[0].callback(pair, pair.sides[0].context) || answered;
    pair.Exchange();
    return answered;
}

SgPickHit::SgPickHit(SgAVObject* hitObject, SgWorldState* hitState) : object(hitObject), state(hitState) {}
SgPickHit::~SgPickHit() = default;

// ---- Construction ----

constinit SgTypeRecord SgAVObject::typeRecord{"SgAVObject", &SgObject::typeRecord};

int SgAVObject::cloneNaming = 0;

int SgAVObject::Register() { return SgClassRegistry::Register(typeRecord, SgCreateAbstract); }

const SgTypeRecord* SgAVObject::GetTypeRecord() const { return &typeRecord; }

SgAVObject::SgAVObject() { ResetWorldStates(); }

SgAVObject::~SgAVObject() {
    properties.Clear();
    delete collisionVolume_;
    collisionVolume_ = nullptr;
    worldStates_.RemoveAll();
    currentState_ = nullptr;
}

void SgAVObject::ResetWorldStates() {
    worldStates_.RemoveAll();
    currentState_ = worldStates_.FindOrMake(nullptr, this);
}

void SgAVObject::SetCollisionVolume(SgCollisionVolume* volume) {
    delete collisionVolume_;
    collisionVolume_ = volume;
    for (uint32_t i = 0; i < worldStates_.UsedSize(); ++i) {
        SgWorldState* s = worldStates_.At(i);
        if (!s)
            continue;
        delete s->worldVolume;
        s->worldVolume = volume ? volume->NewOfSameKind() : nullptr;
    }
}

// ---- World states ----

SgWorldState* SgAVObject::FindOrMakeWorldState(SgAVObject* key) {
    if (worldStates_.Count() == 1) {
        SgWorldState* only = worldStates_.At(0);
        if (only && only->key == nullptr) {
            only->key = key;
            return only;
        }
    }
    return worldStates_.FindOrMake(key, this);
}

void SgAVObject::ForgetState(const SgWorldState* gone) {
    if (currentState_ != gone)
        return;
    // Never left without a current state: later draws and queries read it.
    currentState_ = nullptr;
    for (uint32_t i = 0; i < worldStates_.UsedSize() && !currentState_; ++i)
        currentState_ = worldStates_.At(i);
}

bool SgAVObject::DropWorldState(SgAVObject* key) {
    SgWorldState* state = worldStates_.Find(key);
    if (!state)
        return false;
    if (worldStates_.Count() == 1) {
        state->key = nullptr;
        return true;
    }
    worldStates_.Drop(key, state);
    ForgetState(state);
    return true;
}

SgWorldState* SgAVObject::NewWorldState() { return new SgWorldState; }

SgAVObject* SgAVObject::CurrentStateKey() const { return currentState_ ? currentState_->key : nullptr; }

// ---- Copies ----

SgAVObject* SgAVObject::MakeCopy(SgAVObject* copy) { return copy; }
void SgAVObject::FixUpCopy(SgAVObject*) {}
void SgAVObject::FinishCopy(SgAVObject*) {}

SgRef<SgAVObject> SgAVObject::Duplicate() {
    SgRef<SgAVObject> copy(MakeCopy(nullptr));
    if (!copy)
        return copy;
    FixUpCopy(copy.Get());
    FinishCopy(copy.Get());
    return copy;
}

void SgAVObject::CopyFieldsInto(SgAVObject* copy) const {
    if (!copy || copy == this)
        return;
    copy->hidden_ = hidden_;
    copy->localTranslation = localTranslation;
    copy->localRotation = localRotation;
    copy->localScale = localScale;
    copy->localVelocity = localVelocity;
    copy->properties.AssignFrom(properties);

    const char* name = GetName();
    if (cloneNaming == 1 && name) {
        copy->AssignName(name);
    } else if (cloneNaming == 2 && name) {
        size_t n = std::strlen(name);
        std::vector<char> derived(n + 2);
        std::memcpy(derived.data(), name, n);
        derived[n] = '$';
        derived[n + 1] = '\0';
        copy->AssignName(derived.data());
    } else {
        copy->AssignName(nullptr);
    }
}

// ---- Placement and bounds ----

void SgAVObject::UpdateAllStates() {
    for (uint32_t i = 0; i < worldStates_.UsedSize(); ++i) {
        SgWorldState* s = worldStates_.At(i);
        if (!s)
            continue;
        UpdateState(s);
        if (SgNode* parent = SgKindCast<SgNode>(s->key))
            parent->PropagateBoundUp();
    }
}

void SgAVObject::UpdateState(SgWorldState* state) {
    ComposeWorldPlacement(state);
    RefreshWorldBound(state);
}

void SgAVObject::TransformInOwnFrame(const SgMat3& rotation, const SgVec3& translation, uint8_t inParentFrame,
                                 SgMat3& r, SgVec3& t) const {
    r = rotation;
    t = translation;
    if (!inParentFrame)
        return;
    // The same transform seen from this object's own frame (a node's children's parent frame).
    SgMat3 lt = localRotation.Transpose();
    float inverseScale = localScale != 0.0f ? 1.0f / localScale : 0.0f;
    r = lt * rotation * localRotation;
    t = (lt * (rotation * localTranslation + translation - localTranslation)) * inverseScale;
}

void SgAVObject::AbsorbTransform(const SgMat3&, const SgVec3&, float, uint8_t) {}

const SgBoundSphere& SgAVObject::WorldBound() const {
    static const SgBoundSphere none;
    return currentState_ ? currentState_->worldBound : none;
}

bool SgAVObject::HasWorldBound() const { return true; }

void SgAVObject::ComposeWorldPlacement(SgWorldState* state) {
    if (!state)
        return;
    currentState_ = state;
    SgWorldState* parent = state->key ? state->key->CurrentState() : nullptr;
    if (!parent) {
        state->worldTranslation = localTranslation;
        state->worldRotation = localRotation;
        state->worldScale = localScale;
        state->worldVelocity = localVelocity;
        return;
    }
    state->worldRotation = parent->worldRotation * localRotation;
    state->worldScale = parent->worldScale * localScale;
    state->worldTranslation = parent->worldTranslation + (parent->worldRotation * localTranslation) * parent->worldScale;
    state->worldVelocity = parent->worldVelocity + parent->worldRotation * localVelocity;
}

void SgAVObject::RefreshWorldBound(SgWorldState*) {}

// ---- Drawing ----

void SgAVObject::PushDrawState(SgCamera* camera, SgWorldState* state) {
    currentState_ = state;
    if (!properties.IsEmpty() && camera && camera->Display())
        camera->Display()->PushProperties(properties);
}

void SgAVObject::PopDrawState(SgCamera* camera, SgWorldState* state) {
    currentState_ = state;
    if (!properties.IsEmpty() && camera && camera->Display())
        camera->Display()->PopProperties(properties);
}

void SgAVObject::Draw(SgCamera*, SgWorldState*) {}

void SgAVObject::PushDeferredState(SgCamera* camera, SgWorldState* state) { PushDrawState(camera, state); }

void SgAVObject::PopDeferredState(SgCamera* camera, SgWorldState* state) { PopDrawState(camera, state); }

void SgAVObject::DrawOrDefer(SgCamera* camera, SgDeferredCollector* collector, SgWorldState* state) {
    if (!HasWorldBound())
        return;
    if (collector && collector->Accept(this, state))
        return;
    Draw(camera, state);
}

void SgAVObject::SetHidden(uint8_t hidden) { hidden_ = hidden; }
uint8_t SgAVObject::IsHidden() const { return hidden_; }

bool SgAVObject::CullAgainstFrustum(SgCamera* camera, uint32_t localMask[4]) {
    const SgBoundSphere& bound = WorldBound();
    uint32_t count = camera->ActivePlaneCount();
    for (uint32_t i = count; i-- > 0;) {
        if (camera->PlaneDisabled(i))
            continue;
        const SgPlaneEq* plane = camera->PlaneAt(i);
        if (!plane)
            continue;
        int side = bound.WhichSide(*plane);
        if (side == 2)
            return true;
        if (side == 1 && i < SgCamera::kMaxPlanes) {
            camera->SetPlaneDisabled(i, true);
            localMask[i / 32] |= 1u << (i % 32);
        }
    }
    return false;
}

namespace {

// Turns back on the planes this object found wholly containing it.
void ReenablePlanes(SgCamera* camera, const uint32_t localMask[4]) {
    uint32_t count = camera->ActivePlaneCount();
    for (uint32_t i = 0; i < count && i < SgCamera::kMaxPlanes; ++i)
        if (localMask[i / 32] & (1u << (i % 32)))
            camera->SetPlaneDisabled(i, false);
}

}  // namespace

void SgAVObject::DrawIfVisible(SgCamera* camera, SgWorldState* state) {
    currentState_ = state;
    if (!camera || IsHidden())
        return;
    uint32_t localMask[4] = {};
    if (!CullAgainstFrustum(camera, localMask)) {
        PushDrawState(camera, state);
        Draw(camera, state);
        PopDrawState(camera, state);
    }
    ReenablePlanes(camera, localMask);
}

void SgAVObject::DrawOrDeferIfVisible(SgCamera* camera, SgDeferredCollector* collector, SgWorldState* state) {
    currentState_ = state;
    if (!camera || IsHidden())
        return;
    uint32_t localMask[4] = {};
    if (!CullAgainstFrustum(camera, localMask)) {
        uint8_t deferral = camera->deferralFlag;
        PushDeferredState(camera, state);
        DrawOrDefer(camera, collector, state);
        PopDeferredState(camera, state);
        camera->deferralFlag = deferral;
    }
    ReenablePlanes(camera, localMask);
}

// ---- Per-state preparation, collision and queries ----

void SgAVObject::PrepareState(SgWorldState*, uint32_t) {}
void SgAVObject::ReleaseState(SgWorldState*) {}
bool SgAVObject::TestCollision(float, SgAVObject*, SgCollisionPair&) { return false; }
int SgAVObject::FindCollisions(float, SgAVObject*, SgCollisionPair&) { return 0; }
void SgAVObject::CollectRayHits(const SgVec3&, const SgVec3&, SgPickRequest&, SgWorldState*) {}

SgAVObject* SgAVObject::FindByName(const char* text) {
    const char* name = GetName();
    if (!text || !name)
        return nullptr;
    return std::strcmp(text, name) == 0 ? this : nullptr;
}

bool SgAVObject::Flatten(uint32_t) { return false; }

bool SgAVObject::HasSameProperties(const SgAVObject* other, uint32_t typeMask) const {
    if (!other || properties.Count() != other->properties.Count())
        return false;
    for (SgProperty* mine : properties) {
        SgProperty* match = nullptr;
        for (SgProperty* theirs : other->properties) {
            if (mine->IsEqualTo(theirs)) {
                match = theirs;
                break;
            }
        }
        if (!match)
            return false;
        int type = mine->PropertyType();
        if (type >= 0 && type < 32 && (typeMask & (1u << type)))
            return false;
    }
    return true;
}

void SgAVObject::MergeAlike(SgPtrArray<SgAVObject*>&, SgRef<SgAVObject>& out) { out = nullptr; }

void SgAVObject::AddRenderProperty(SgProperty* property) { properties.Prepend(property); }

SgProperty* SgAVObject::FindPropertyOfType(int type) const {
    if (type < 0 || type > 14)
        return nullptr;
    for (SgProperty* p : properties)
        if (p->PropertyType() == type)
            return p;
    return nullptr;
}

bool SgAVObject::RayMeetsWorldBound(const SgVec3& origin, const SgVec3& direction) const {
    const SgBoundSphere& bound = WorldBound();
    SgVec3 d = origin - bound.centre;
    double k = double(d.SquaredLength()) - double(bound.radius) * bound.radius;
    if (k <= 0)
        return true;
    double b = d.Dot(direction);
    return b < 0 && double(direction.SquaredLength()) * k <= b * b;
}

namespace {

// The side's world volume made current from its model volume; null without a model volume.
const SgCollisionVolume* WorldVolumeOf(SgAVObject* object) {
    SgCollisionVolume* model = object->CollisionVolume();
    SgWorldState* state = object->CurrentState();
    if (!model || !state)
        return nullptr;
    if (!state->worldVolume)
        state->worldVolume = model->NewOfSameKind();
    if (state->worldVolume)
        state->worldVolume->TransformFrom(*model, state->worldRotation, state->worldTranslation, state->worldScale);
    return state->worldVolume;
}

const SgVec3& VelocityOf(const SgAVObject* object) {
    static const SgVec3 still;
    return object->CurrentState() ? object->CurrentState()->worldVelocity : still;
}

}  // namespace

bool SgAVObject::CollideVolumes(float time, SgAVObject* other) {
    if (!other)
        return false;
    const SgCollisionVolume* mine = WorldVolumeOf(this);
    const SgCollisionVolume* theirs = WorldVolumeOf(other);
    if (!mine && !theirs)
        return SgBoundSphere::MovingOverlap(time, WorldBound(), VelocityOf(this), other->WorldBound(),
                                            VelocityOf(other));
    std::unique_ptr<SgCollisionVolume> mineFromSphere, theirsFromSphere;
    if (!mine) {
        mineFromSphere.reset(MakeVolumeFromSphere(WorldBound()));
        mine = mineFromSphere.get();
    }
    if (!theirs) {
        theirsFromSphere.reset(MakeVolumeFromSphere(other->WorldBound()));
        theirs = theirsFromSphere.get();
    }
    if (!mine || !theirs)
        return false;
    return SgBoundIntersectMoving(time, mine, VelocityOf(this), theirs, VelocityOf(other));
}

bool SgAVObject::CollideVolumesAt(float time, SgAVObject* other, float& contactTime, SgVec3& contactPoint) {
    if (!other)
        return false;
    if (!collisionVolume_ && !other->CollisionVolume()) {
        SgVec3 normalA, normalB;
        return SgBoundSphere::MovingContact(time, WorldBound(), VelocityOf(this), other->WorldBound(),
                                            VelocityOf(other), contactTime, contactPoint, false, normalA, normalB);
    }
    // Volumes answer only whether they meet: the contact is taken at the start, between the
    // two bounds.
    if (!CollideVolumes(time, other))
        return false;
    contactTime = 0.0f;
    contactPoint = (WorldBound().centre + other->WorldBound().centre) * 0.5f;
    return true;
}

bool SgAVObject::BeginCollision(float time, SgAVObject* other, SgCollisionPair& pair) {
    if (!other)
        return false;
    if (pair.sides[0].state)
        currentState_ = pair.sides[0].state;
    if (pair.sides[1].state)
        other->SetCurrentState(pair.sides[1].state);
    return CollideVolumes(time, other);
}

int SgAVObject::HandOver(float time, SgAVObject* other, const SgCollisionPair& pair, bool report) {
    SgCollisionPair mirrored = pair.Exchanged();
    if (report)
        return other->FindCollisions(time, this, mirrored);
    return other->TestCollision(time, this, mirrored) ? 1 : 0;
}

int SgAVObject::VolumeContact(float time, SgAVObject* other, SgCollisionPair& pair, bool report) {
    if (!report)
        return 1;
    if (!CollideVolumesAt(time, other, pair.time, pair.point))
        return 0;
    SgNotifyCollisionPair(pair);
    return 1;
}

// ---- Stream ----

bool SgAVObject::LoadFromStream(SgSceneStream& s) {
    if (!SgObject::LoadFromStream(s))
        return false;
    hidden_ = s.ReadU8();
    localTranslation.LoadFromStream(s);
    localRotation.LoadFromStream(s);
    localScale = s.ReadF32();
    localVelocity.LoadFromStream(s);
    SgLinkIdData* link = LinkRecordBase();
    if (!SgLoadLinkIds(s, link ? link->IdList(0) : nullptr))
        return false;
    collisionMode = s.ReadU32();
    uint32_t hasVolume = s.ReadU32();
    if (!s.ReadOk())
        return false;
    if (hasVolume)
        SetCollisionVolume(LoadVolume(s));
    return s.ReadOk();
}

void SgAVObject::LinkFromStream(SgSceneStream& s) {
    SgObject::LinkFromStream(s);
    SgLinkIdData* link = LinkRecordBase();
    const SgPtrArray<uint32_t>* ids = link ? link->IdList(0) : nullptr;
    if (!ids)
        return;
    std::vector<SgProperty*> items;
    for (uint32_t i = 0; i < ids->UsedSize(); ++i)
        items.push_back(s.Resolve<SgProperty>(ids->At(i)));
    properties.PrependInOrder(items.data(), items.size());
}

bool SgAVObject::RegisterInStream(SgSceneStream& s) {
    if (!SgObject::RegisterInStream(s))
        return false;
    for (SgProperty* p : properties)
        p->RegisterInStream(s);
    return true;
}

void SgAVObject::SaveToStream(SgSceneStream& s) const {
    SgObject::SaveToStream(s);
    s.WriteU8(hidden_);
    localTranslation.SaveToStream(s);
    localRotation.SaveToStream(s);
    s.WriteF32(localScale);
    localVelocity.SaveToStream(s);
    s.WriteU32(properties.Count());
    for (SgProperty* p : properties)
        s.WriteLinkId(p);
    s.WriteU32(collisionMode);
    s.WriteU32(collisionVolume_ ? 1 : 0);
    if (collisionVolume_)
        collisionVolume_->SaveToStream(s);
}

bool SgAVObject::IsEqualTo(const SgObject* other) const {
    const SgAVObject* o = SgKindCast<SgAVObject>(other);
    if (!o || !SgObject::IsEqualTo(o))
        return false;
    if (hidden_ != o->hidden_ || !localTranslation.IsEqualTo(o->localTranslation) ||
        !localRotation.IsEqualTo(o->localRotation) || localScale != o->localScale ||
        !localVelocity.IsEqualTo(o->localVelocity) || collisionMode != o->collisionMode ||
        (collisionVolume_ != nullptr) != (o->collisionVolume_ != nullptr))
        return false;
    return SgChainsMatch(properties, o->properties, SgSameObjects);
}
