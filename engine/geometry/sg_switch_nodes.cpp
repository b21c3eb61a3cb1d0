#include "engine/geometry/sg_switch_nodes.h"

#include <cmath>
#include <memory>

#include "engine/core/sg_camera.h"
#include "engine/core/sg_registry.h"
#include "engine/core/sg_stream.h"

// ---- SgSwitchNode ----

constinit SgTypeRecord SgSwitchNode::typeRecord{"SgSwitchNode", &SgNode::typeRecord};

int SgSwitchNode::Register() {
    return SgClassRegistry::Register(typeRecord, SgCreateObject<SgSwitchNode, SgLinkIdData3>);
}

const SgTypeRecord* SgSwitchNode::GetTypeRecord() const { return &typeRecord; }

SgSwitchNode::SgSwitchNode() = default;

bool SgSwitchNode::LoadFromStream(SgSceneStream& s) {
    if (!SgNode::LoadFromStream(s))
        return false;
    activeChild = s.ReadI32();
    updateOnlyActive = s.ReadU8();
    return s.ReadOk();
}

void SgSwitchNode::SaveToStream(SgSceneStream& s) const {
    SgNode::SaveToStream(s);
    s.WriteI32(activeChild);
    s.WriteU8(updateOnlyActive);
}

bool SgSwitchNode::IsEqualTo(const SgObject* other) const {
    const SgSwitchNode* o = SgKindCast<SgSwitchNode>(other);
    return o && SgNode::IsEqualTo(o) && activeChild == o->activeChild && updateOnlyActive == o->updateOnlyActive;
}

void SgSwitchNode::CopySwitchInto(SgSwitchNode* copy) const {
    CopyFieldsInto(copy);
    copy->activeChild = activeChild;
    copy->updateOnlyActive = updateOnlyActive;
}

SgAVObject* SgSwitchNode::MakeCopy(SgAVObject* copy) {
    SgSwitchNode* node = copy ? static_cast<SgSwitchNode*>(copy) : new SgSwitchNode;
    CopySwitchInto(node);
    return node;
}

SgAVObject* SgSwitchNode::ActiveChild() const {
    return activeChild >= 0 ? ChildAt(static_cast<uint32_t>(activeChild)) : nullptr;
}

void SgSwitchNode::UpdateState(SgWorldState* state) {
    ComposeWorldPlacement(state);
    if (!updateOnlyActive) {
        for (uint32_t i = 0; i < ChildCount(); ++i) {
            SgAVObject* child = ChildAt(i);
            SgWorldState* childState = ChildStateAt(i);
            if (child && childState)
                child->UpdateState(childState);
        }
        RefreshModelBound();
    } else {
        if (activeChild < 0)
            return;
        // The children are stale now; each catches up when it is drawn. 0 means never.
        if (++generation_ == 0)
            generation_ = 1;
    }
    PlaceModelBound();
}

void SgSwitchNode::RefreshModelBound() {
    const SgWorldState* own = currentState_;
    if (!own || own->worldScale == 0.0f)
        return;
    SgMat3 back = own->worldRotation.Transpose();
    float inverseScale = 1.0f / own->worldScale;
    bool first = true;
    for (uint32_t i = 0; i < ChildCount(); ++i) {
        SgAVObject* child = ChildAt(i);
        SgWorldState* childState = ChildStateAt(i);
        if (!child || !childState)
            continue;
        child->SetCurrentState(childState);
        if (!child->HasWorldBound())
            continue;
        const SgBoundSphere& world = child->WorldBound();
        SgBoundSphere local;
        local.centre = back.TimesVec(world.centre - own->worldTranslation) * inverseScale;
        local.radius = world.radius * inverseScale;
        local.unset = 0;
        if (first)
            modelBound_.Copy(local);
        else
            modelBound_.Enclose(local);
        first = false;
    }
    if (!first)
        boundValid_ = 1;
}

void SgSwitchNode::PlaceModelBound() {
    if (SgWorldState* own = currentState_)
        own->worldBound.TransformBy(modelBound_, own->worldRotation, own->worldTranslation, own->worldScale);
}

void SgSwitchNode::PropagateBoundUp() {
    RefreshModelBound();
    PlaceModelBound();
    if (SgNode* parent = Parent())
        parent->PropagateBoundUp();
}

void SgSwitchNode::RefreshChildIfStale(uint32_t i) {
    if (!updateOnlyActive)
        return;
    SgAVObject* child = ChildAt(i);
    SgWorldState* childState = ChildStateAt(i);
    if (!child || !childState || stamps_.At(i) == generation_)
        return;
    stamps_.SetAtGrow(i, generation_);
    child->UpdateState(childState);
}

void SgSwitchNode::PushDrawState(SgCamera* camera, SgWorldState* state) {
    SgNode::PushDrawState(camera, state);
    if (activeChild >= 0)
        RefreshChildIfStale(static_cast<uint32_t>(activeChild));
}

void SgSwitchNode::Draw(SgCamera* camera, SgWorldState*) {
    if (SgAVObject* child = ActiveChild())
        child->DrawIfVisible(camera, ChildStateAt(static_cast<uint32_t>(activeChild)));
}

void SgSwitchNode::DrawChildrenDeferred(SgCamera* camera, SgDeferredCollector* collector) {
    if (SgAVObject* child = ActiveChild())
        child->DrawOrDeferIfVisible(camera, collector, ChildStateAt(static_cast<uint32_t>(activeChild)));
}

int SgSwitchNode::CollideThrough(uint32_t i, float time, SgAVObject* other, SgCollisionPair& pair, bool report) {
    SgAVObject* child = ChildAt(i);
    if (!child || !other)
        return 0;
    // The other party is asked, with the child standing on this side.
    SgCollisionPair handed = pair;
    handed.sides[0].object = child;
    handed.sides[0].state = ChildStateAt(i);
    handed.sides[0].triangle = -1;
    handed.Exchange();
    if (report)
        return other->FindCollisions(time, child, handed);
    return other->TestCollision(time, child, handed) ? 1 : 0;
}

int SgSwitchNode::CollideSwitch(float time, SgAVObject* other, SgCollisionPair& pair, bool report) {
    if (!updateOnlyActive)
        return report ? SgNode::FindCollisions(time, other, pair) : (SgNode::TestCollision(time, other, pair) ? 1 : 0);
    if (activeChild < 0)
        return 0;
    return CollideThrough(static_cast<uint32_t>(activeChild), time, other, pair, report);
}

bool SgSwitchNode::TestCollision(float time, SgAVObject* other, SgCollisionPair& pair) {
    return CollideSwitch(time, other, pair, false) != 0;
}

int SgSwitchNode::FindCollisions(float time, SgAVObject* other, SgCollisionPair& pair) {
    return CollideSwitch(time, other, pair, true);
}

void SgSwitchNode::CollectRayHits(const SgVec3& origin, const SgVec3& direction, SgPickRequest& request,
                                  SgWorldState* state) {
    if (!BeginRayHits(origin, direction, request, state))
        return;
    if (SgAVObject* child = ActiveChild())
        child->CollectRayHits(origin, direction, request, ChildStateAt(static_cast<uint32_t>(activeChild)));
}

bool SgSwitchNode::Flatten(uint32_t flags) {
    for (uint32_t i = 0; i < ChildCount(); ++i)
        if (SgAVObject* child = ChildAt(i))
            child->Flatten(flags);
    return false;
}

// Every change of the children starts the generations over, and the changed slot's stamp says
// "never updated".

void SgSwitchNode::InsertChild(SgAVObject* child, bool firstFree) {
    generation_ = 1;
    uint32_t index = ChildCount();
    if (firstFree) {
        for (uint32_t i = 0; i < ChildCount(); ++i) {
            if (!ChildAt(i)) {
                index = i;
                break;
            }
        }
    }
    SgNode::InsertChild(child, firstFree);
    if (child && ChildAt(index) == child)
        stamps_.SetAtGrow(index, 0);
}

SgRef<SgAVObject> SgSwitchNode::RemoveChild(SgAVObject* child) {
    generation_ = 1;
    for (uint32_t i = 0; child && i < ChildCount(); ++i) {
        if (ChildAt(i) == child) {
            stamps_.TakeAt(i);
            break;
        }
    }
    return SgNode::RemoveChild(child);
}

SgRef<SgAVObject> SgSwitchNode::RemoveChildAt(uint32_t index) {
    generation_ = 1;
    stamps_.TakeAt(index);
    return SgNode::RemoveChildAt(index);
}

SgRef<SgAVObject> SgSwitchNode::SetChildAt(uint32_t index, SgAVObject* child) {
    generation_ = 1;
    stamps_.SetAtGrow(index, 0);
    return SgNode::SetChildAt(index, child);
}

// ---- SgFltAnimationNode ----

constinit SgTypeRecord SgFltAnimationNode::typeRecord{"SgFltAnimationNode", &SgSwitchNode::typeRecord};

int SgFltAnimationNode::Register() {
    return SgClassRegistry::Register(typeRecord, SgCreateObject<SgFltAnimationNode, SgLinkIdData3>);
}

const SgTypeRecord* SgFltAnimationNode::GetTypeRecord() const { return &typeRecord; }

bool SgFltAnimationNode::LoadFromStream(SgSceneStream& s) {
    if (!SgSwitchNode::LoadFromStream(s))
        return false;
    period = s.ReadF64();
    pingPong = s.ReadU8();
    return s.ReadOk();
}

void SgFltAnimationNode::SaveToStream(SgSceneStream& s) const {
    SgSwitchNode::SaveToStream(s);
    s.WriteF64(period);
    s.WriteU8(pingPong);
}

bool SgFltAnimationNode::IsEqualTo(const SgObject* other) const {
    const SgFltAnimationNode* o = SgKindCast<SgFltAnimationNode>(other);
    return o && SgSwitchNode::IsEqualTo(o) && period == o->period && pingPong == o->pingPong;
}

SgAVObject* SgFltAnimationNode::MakeCopy(SgAVObject* copy) {
    SgFltAnimationNode* node = copy ? static_cast<SgFltAnimationNode*>(copy) : new SgFltAnimationNode;
    CopySwitchInto(node);
    node->period = period;
    node->pingPong = pingPong;
    return node;
}

void SgFltAnimationNode::SelectChildForTime(double t) {
    uint32_t n = ChildCount();
    if (n == 0 || !(period > 0.0))
        return;
    double m = std::fmod(t, period);
    if (m < 0.0)
        m += period;
    double x;
    if (pingPong) {
        if (m > period * 0.5)
            m = period - m;
        x = 2.0 * n * m / period;
    } else {
        x = n * m / period;
    }
    if (!(x >= 0.0))  // a time that is not a number selects the first frame
        x = 0.0;
    activeChild = x >= double(n) ? int32_t(n - 1) : int32_t(x);
}

void SgFltAnimationNode::Draw(SgCamera* camera, SgWorldState* state) {
    if (camera)
        SelectChildForTime(camera->Time());
    // The selection comes after the push, which could not yet bring the child up to date.
    if (activeChild >= 0)
        RefreshChildIfStale(static_cast<uint32_t>(activeChild));
    SgSwitchNode::Draw(camera, state);
    activeChild = -1;
}

void SgFltAnimationNode::DrawOrDefer(SgCamera* camera, SgDeferredCollector* collector, SgWorldState* state) {
    if (camera)
        SelectChildForTime(camera->Time());
    if (activeChild >= 0)
        RefreshChildIfStale(static_cast<uint32_t>(activeChild));
    SgSwitchNode::DrawOrDefer(camera, collector, state);
    activeChild = -1;
}

// ---- SgLODNode ----

constinit SgTypeRecord SgLODNode::typeRecord{"SgLODNode", &SgSwitchNode::typeRecord};

int SgLODNode::Register() { return SgClassRegistry::Register(typeRecord, SgCreateObject<SgLODNode, SgLinkIdData3>); }

const SgTypeRecord* SgLODNode::GetTypeRecord() const { return &typeRecord; }

SgLODNode::SgLODNode() = default;

SgLODNode::~SgLODNode() { ClearRanges(); }

void SgLODNode::ClearRanges() {
    for (uint32_t i = 0; i < ranges_.UsedSize(); ++i)
        delete ranges_.At(i);
    ranges_.RemoveAll();
}

void SgLODNode::PutRange(uint32_t i, SgLODRange* range) {
    delete ranges_.At(i);
    ranges_.SetAtGrow(i, range);
}

void SgLODNode::SetChildRange(float nearDistance, float farDistance, uint32_t index) {
    auto* range = new SgLODRange;
    range->nearModel = range->nearWorld = nearDistance;
    range->farModel = range->farWorld = farDistance;
    PutRange(index, range);
}

namespace {

constexpr size_t kRangeBytes = 5 * 4;

}  // namespace

bool SgLODNode::LoadFromStream(SgSceneStream& s) {
    if (!SgSwitchNode::LoadFromStream(s))
        return false;
    int32_t count = s.ReadI32();
    ClearRanges();
    if (count > 0) {
        if (!s.CheckCount(static_cast<uint32_t>(count), kRangeBytes))
            return false;
        ranges_.SetCapacity(static_cast<uint32_t>(count));
        for (int32_t i = 0; i < count; ++i) {
            auto* range = new SgLODRange;
            range->nearModel = range->nearWorld = s.ReadF32();
            range->farModel = range->farWorld = s.ReadF32();
            range->centreModel.LoadFromStream(s);
            range->centreWorld = range->centreModel;
            ranges_.SetAtGrow(static_cast<uint32_t>(i), range);
        }
    }
    perRangeCentre = s.ReadU8();
    return s.ReadOk();
}

void SgLODNode::SaveToStream(SgSceneStream& s) const {
    SgSwitchNode::SaveToStream(s);
    s.WriteI32(static_cast<int32_t>(ranges_.UsedSize()));
    // An empty slot is written as a zero range: the count says every index has one.
    const SgLODRange none;
    for (uint32_t i = 0; i < ranges_.UsedSize(); ++i) {
        const SgLODRange* range = ranges_.At(i) ? ranges_.At(i) : &none;
        s.WriteF32(range->nearModel);
        s.WriteF32(range->farModel);
        range->centreModel.SaveToStream(s);
    }
    s.WriteU8(perRangeCentre);
}

bool SgLODNode::IsEqualTo(const SgObject* other) const {
    const SgLODNode* o = SgKindCast<SgLODNode>(other);
    if (!o || !SgSwitchNode::IsEqualTo(o) || ranges_.UsedSize() != o->ranges_.UsedSize() ||
        perRangeCentre != o->perRangeCentre)
        return false;
    const SgLODRange none;
    for (uint32_t i = 0; i < ranges_.UsedSize(); ++i) {
        const SgLODRange* a = ranges_.At(i) ? ranges_.At(i) : &none;
        const SgLODRange* b = o->ranges_.At(i) ? o->ranges_.At(i) : &none;
        if (a->nearModel != b->nearModel || a->farModel != b->farModel || !a->centreModel.IsEqualTo(b->centreModel))
            return false;
    }
    return true;
}

SgAVObject* SgLODNode::MakeCopy(SgAVObject* copy) {
    SgLODNode* node = copy ? static_cast<SgLODNode*>(copy) : new SgLODNode;
    CopySwitchInto(node);
    node->perRangeCentre = perRangeCentre;
    node->ClearRanges();
    for (uint32_t i = 0; i < ranges_.UsedSize(); ++i)
        if (const SgLODRange* range = ranges_.At(i))
            node->PutRange(i, new SgLODRange(*range));
    return node;
}

void SgLODNode::ComposeWorldPlacement(SgWorldState* state) {
    SgSwitchNode::ComposeWorldPlacement(state);
    UpdateWorldRanges();
}

void SgLODNode::UpdateWorldRanges() {
    const SgWorldState* own = currentState_;
    if (!own)
        return;
    float s = own->worldScale;
    for (uint32_t i = 0; i < ChildCount(); ++i) {
        SgLODRange* range = ranges_.At(i);
        if (!range)
            continue;
        range->centreWorld = own->worldRotation.TimesVec(range->centreModel * s) + own->worldTranslation;
        range->nearWorld = s * range->nearModel;
        range->farWorld = s * range->farModel;
    }
}

int32_t SgLODNode::SelectFor(const SgVec3& cameraPosition, float lodFactor) {
    uint32_t n = ChildCount();
    if (n == 0)
        return activeChild;
    double f2 = double(lodFactor) * lodFactor;
    double d2 = 0.0;
    if (!perRangeCentre) {
        // Measured from child 0's bound: without a child 0 there is nothing to measure from.
        SgAVObject* first = ChildAt(0);
        if (!first)
            return -1;
        RefreshChildIfStale(0);
        first->SetCurrentState(ChildStateAt(0));
        d2 = double((first->WorldBound().centre - cameraPosition).SquaredLength()) * f2;
    }
    int32_t selected = -1;
    for (uint32_t i = 0; i < n; ++i) {
        // A child without a range is never selected.
        const SgLODRange* range = ranges_.At(i);
        if (!range)
            continue;
        if (perRangeCentre)
            d2 = double((range->centreWorld - cameraPosition).SquaredLength()) * f2;
        double nearest = double(range->nearWorld) * range->nearWorld;
        double farthest = double(range->farWorld) * range->farWorld;
        if (nearest <= d2 && d2 < farthest)
            selected = static_cast<int32_t>(i);
    }
    return selected;
}

void SgLODNode::PushDrawState(SgCamera* camera, SgWorldState* state) {
    currentState_ = state;
    if (camera)
        activeChild = SelectFor(camera->WorldLocation(), camera->lodFactor);
    if (ChildCount() != 0 && activeChild >= 0)
        SgSwitchNode::PushDrawState(camera, state);
}

void SgLODNode::PopDrawState(SgCamera* camera, SgWorldState* state) {
    if (ChildCount() != 0 && activeChild >= 0)
        SgSwitchNode::PopDrawState(camera, state);
    else
        currentState_ = state;
}

void SgLODNode::PopDeferredState(SgCamera* camera, SgWorldState* state) {
    if (ChildCount() != 0 && activeChild >= 0) {
        SgSwitchNode::PopDeferredState(camera, state);
        return;
    }
    // Nothing was pushed, but the deferral flag the push saved goes back all the same.
    if (camera)
        camera->deferralFlag = savedDeferralFlag_;
    currentState_ = state;
}

int SgLODNode::CollideSwitch(float time, SgAVObject* other, SgCollisionPair& pair, bool report) {
    // Only the nearest levels (ranges that start at or below 0) take part.
    auto takesPart = [this](uint32_t i) {
        const SgLODRange* range = ranges_.At(i);
        return range && range->nearModel <= 0.0f && ChildAt(i);
    };
    if (updateOnlyActive) {
        if (activeChild < 0 || !takesPart(static_cast<uint32_t>(activeChild)))
            return 0;
        return CollideThrough(static_cast<uint32_t>(activeChild), time, other, pair, report);
    }
    for (uint32_t i = 0; i < ranges_.UsedSize(); ++i)
        if (takesPart(i) && CollideThrough(i, time, other, pair, report) == 1)
            return 1;
    return 0;
}
