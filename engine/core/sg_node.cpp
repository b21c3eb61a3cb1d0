#include "engine/core/sg_node.h"

#include <memory>
#include <vector>

#include "engine/core/sg_camera.h"
#include "engine/core/sg_light.h"
#include "engine/core/sg_registry.h"
#include "engine/core/sg_stream.h"

namespace {

SgDeferredCollectorFactory g_collectorFactory = nullptr;

}  // namespace

void SgSetDeferredCollectorFactory(SgDeferredCollectorFactory factory) { g_collectorFactory = factory; }
SgDeferredCollectorFactory SgGetDeferredCollectorFactory() { return g_collectorFactory; }

constinit SgTypeRecord SgNode::typeRecord{"SgNode", &SgAVObject::typeRecord};

int SgNode::Register() { return SgClassRegistry::Register(typeRecord, SgCreateObject<SgNode, SgLinkIdData3>); }

const SgTypeRecord* SgNode::GetTypeRecord() const { return &typeRecord; }

SgNode::SgNode() = default;

SgNode::~SgNode() {
    while (SgLight* light = lights_.IsEmpty() ? nullptr : *lights_.begin())
        DetachLight(light);
    for (uint32_t i = 0; i < children_.UsedSize(); ++i)
        TakeSlot(i);
    delete collector_;
}

SgNode* SgNode::Parent() const { return SgKindCast<SgNode>(CurrentStateKey()); }

bool SgNode::IsSelfOrAncestor(const SgAVObject* object) const {
    for (const SgNode* n = this; n; n = n->Parent())
        if (n == object)
            return true;
    return false;
}

// ---- World states ----

SgWorldState* SgNode::FindOrMakeWorldState(SgAVObject* key) {
    // The caller holds a reference to this node: leaving the old parent may drop that one's.
    if (SgNode* parent = Parent())
        parent->RemoveChild(this);
    SgWorldState* state = worldStates_.Rekey(nullptr, key);
    if (!state)
        return SgAVObject::FindOrMakeWorldState(key);
    currentState_ = state;
    return state;
}

bool SgNode::DropWorldState(SgAVObject* key) { return worldStates_.Rekey(key, nullptr) != nullptr; }

// ---- Children ----

bool SgNode::HoldsElsewhere(const SgAVObject* child, uint32_t index) const {
    for (uint32_t i = 0; i < children_.UsedSize(); ++i)
        if (i != index && children_.At(i) == child)
            return true;
    return false;
}

SgRef<SgAVObject> SgNode::TakeSlot(uint32_t index) {
    if (index >= children_.UsedSize())
        return {};
    SgRef<SgAVObject> child = children_.GetArrayElementRef(index);
    // A leaf inserted twice shares one state between its slots: it goes with the last of them.
    if (child && !HoldsElsewhere(child.Get(), index))
        child->DropWorldState(this);
    childStates_.TakeAt(index);
    children_.TakeAt(index);
    return child;
}

void SgNode::InsertChild(SgAVObject* child, bool firstFree) {
    if (!child || IsSelfOrAncestor(child))
        return;
    SgRef<SgAVObject> hold(child);
    SgWorldState* state = child->FindOrMakeWorldState(this);
    uint32_t index = children_.UsedSize();
    if (firstFree) {
        for (uint32_t i = 0; i < children_.UsedSize(); ++i) {
            if (!children_.At(i)) {
                index = i;
                break;
            }
        }
    }
    childStates_.SetAtGrow(index, state);
    children_.SetAtGrow(index, child);
}

SgRef<SgAVObject> SgNode::RemoveChild(SgAVObject* child) {
    if (!child)
        return {};
    int64_t index = children_.Find(child);
    return index < 0 ? SgRef<SgAVObject>() : TakeSlot(static_cast<uint32_t>(index));
}

SgRef<SgAVObject> SgNode::RemoveChildAt(uint32_t index) { return TakeSlot(index); }

SgRef<SgAVObject> SgNode::SetChildAt(uint32_t index, SgAVObject* child) {
    if (child && IsSelfOrAncestor(child))
        return {};
    SgRef<SgAVObject> hold(child);
    SgRef<SgAVObject> old;
    if (index < children_.UsedSize()) {
        old = children_.GetArrayElementRef(index);
        if (old && !HoldsElsewhere(old.Get(), index))
            old->DropWorldState(this);
        childStates_.SetArrayElement(index, nullptr);
        children_.SetArrayElement(index, SgRef<SgAVObject>());
    }
    SgWorldState* state = child ? child->FindOrMakeWorldState(this) : nullptr;
    childStates_.SetAtGrow(index, state);
    children_.SetAtGrow(index, hold);
    return old;
}

// ---- Bounds and placement ----

void SgNode::RecomputeBound() {
    boundValid_ = 0;
    SgWorldState* own = currentState_;
    if (!own)
        return;
    for (uint32_t i = 0; i < children_.UsedSize(); ++i) {
        SgAVObject* child = children_.At(i);
        SgWorldState* childState = childStates_.At(i);
        // The bound the child has under this node, whatever state it drew last.
        if (!child || !childState || !child->HasWorldBound())
            continue;
        if (!boundValid_) {
            own->worldBound.Copy(childState->worldBound);
            boundValid_ = 1;
        } else {
            own->worldBound.Enclose(childState->worldBound);
        }
    }
}

void SgNode::PropagateBoundUp() {
    RecomputeBound();
    if (SgNode* parent = Parent())
        parent->PropagateBoundUp();
}

void SgNode::UpdateState(SgWorldState* state) {
    ComposeWorldPlacement(state);
    boundValid_ = 0;
    for (uint32_t i = 0; i < children_.UsedSize(); ++i) {
        SgAVObject* child = children_.At(i);
        SgWorldState* childState = childStates_.At(i);
        if (!child || !childState)
            continue;
        child->UpdateState(childState);
        if (!child->HasWorldBound() || !state)
            continue;
        if (!boundValid_) {
            state->worldBound.Copy(childState->worldBound);
            boundValid_ = 1;
        } else {
            state->worldBound.Enclose(childState->worldBound);
        }
    }
}

bool SgNode::HasWorldBound() const { return boundValid_ != 0; }

void SgNode::AbsorbTransform(const SgMat3& rotation, const SgVec3& translation, float scale, uint8_t inParentFrame) {
    SgMat3 r;
    SgVec3 t;
    TransformInOwnFrame(rotation, translation, inParentFrame, r, t);
    for (uint32_t i = 0; i < children_.UsedSize(); ++i)
        if (SgAVObject* child = children_.At(i))
            child->AbsorbTransform(r, t, scale, 1);
}

// ---- Drawing ----

void SgNode::PushDrawState(SgCamera* camera, SgWorldState* state) {
    SgAVObject::PushDrawState(camera, state);
    pushedLights_ = 0;
    SgDisplay* display = camera ? camera->Display() : nullptr;
    if (!display)
        return;
    for (SgLight* light : lights_) {
        if (light->ShinesNow()) {
            display->PushLight(light);
            ++pushedLights_;
        }
    }
}

void SgNode::PopDrawState(SgCamera* camera, SgWorldState* state) {
    SgDisplay* display = camera ? camera->Display() : nullptr;
    for (; pushedLights_ > 0; --pushedLights_)
        if (display)
            display->PopLight();
    SgAVObject::PopDrawState(camera, state);
}

void SgNode::Draw(SgCamera* camera, SgWorldState*) {
    for (uint32_t i = 0; i < children_.UsedSize(); ++i)
        if (SgAVObject* child = children_.At(i))
            child->DrawIfVisible(camera, childStates_.At(i));
}

void SgNode::PushDeferredState(SgCamera* camera, SgWorldState* state) {
    PushDrawState(camera, state);
    if (!camera)
        return;
    savedDeferralFlag_ = camera->deferralFlag;
    if (deferralMode != kDeferralUnchanged)
        camera->deferralFlag = deferralMode == kDeferralOn ? 1 : 0;
}

void SgNode::PopDeferredState(SgCamera* camera, SgWorldState* state) {
    if (camera)
        camera->deferralFlag = savedDeferralFlag_;
    PopDrawState(camera, state);
}

void SgNode::DrawOrDefer(SgCamera* camera, SgDeferredCollector* collector, SgWorldState* state) {
    if (!camera)
        return;
    if (camera->deferralFlag) {
        if (collector) {
            DrawChildrenDeferred(camera, collector);
            return;
        }
        if (!collector_ && g_collectorFactory)
            collector_ = g_collectorFactory();
        if (!collector_) {
            // No collector to be had: the subtree is drawn at once.
            DrawChildrenDeferred(camera, nullptr);
            return;
        }
        collector_->Begin(camera);
        DrawChildrenDeferred(camera, collector_);
        collector_->End();
        return;
    }
    if (collector && collector->Accept(this, state))
        return;
    DrawChildrenDeferred(camera, nullptr);
}

void SgNode::DrawChildrenDeferred(SgCamera* camera, SgDeferredCollector* collector) {
    for (uint32_t i = 0; i < children_.UsedSize(); ++i)
        if (SgAVObject* child = children_.At(i))
            child->DrawOrDeferIfVisible(camera, collector, childStates_.At(i));
}

// ---- Per-state preparation, collision, picking, names ----

void SgNode::PrepareState(SgWorldState*, uint32_t value) {
    for (uint32_t i = 0; i < children_.UsedSize(); ++i)
        if (SgAVObject* child = children_.At(i))
            child->PrepareState(childStates_.At(i), value);
}

void SgNode::ReleaseState(SgWorldState*) {
    for (uint32_t i = 0; i < children_.UsedSize(); ++i)
        if (SgAVObject* child = children_.At(i))
            child->ReleaseState(childStates_.At(i));
}

int SgNode::Collide(float time, SgAVObject* other, SgCollisionPair& pair, bool report) {
    if (!HasWorldBound() || !BeginCollision(time, other, pair))
        return 0;
    if (collisionMode == 0)
        return other->collisionMode == 0 ? VolumeContact(time, other, pair, report)
                                         : HandOver(time, other, pair, report);
    int found = 0;
    for (uint32_t i = 0; i < children_.UsedSize(); ++i) {
        SgAVObject* child = children_.At(i);
        if (!child)
            continue;
        SgCollisionPair childPair = pair;
        childPair.sides[0].object = child;
        childPair.sides[0].state = childStates_.At(i);
        if (report) {
            if (child->FindCollisions(time, other, childPair) == 1)
                found = 1;
        } else if (child->TestCollision(time, other, childPair)) {
            return 1;
        }
    }
    return found;
}

bool SgNode::TestCollision(float time, SgAVObject* other, SgCollisionPair& pair) {
    return Collide(time, other, pair, false) != 0;
}

int SgNode::FindCollisions(float time, SgAVObject* other, SgCollisionPair& pair) {
    return Collide(time, other, pair, true);
}

bool SgNode::BeginRayHits(const SgVec3& origin, const SgVec3& direction, SgPickRequest& request,
                          SgWorldState* state) {
    if (state)
        currentState_ = state;
    if (!HasWorldBound() || !RayMeetsWorldBound(origin, direction))
        return false;
    if (request.stopMode == 1 && !request.DescendsIntoObjects()) {
        request.hits.AddToFirstFree(std::make_unique<SgPickHit>(this, currentState_));
        return false;
    }
    return true;
}

void SgNode::CollectRayHits(const SgVec3& origin, const SgVec3& direction, SgPickRequest& request,
                            SgWorldState* state) {
    if (!BeginRayHits(origin, direction, request, state))
        return;
    for (uint32_t i = 0; i < children_.UsedSize(); ++i) {
        if (request.StopsAtFirstHit() && request.HitCount() > 0)
            return;
        if (SgAVObject* child = children_.At(i))
            child->CollectRayHits(origin, direction, request, childStates_.At(i));
    }
}

SgAVObject* SgNode::FindByName(const char* text) {
    if (SgAVObject* found = SgAVObject::FindByName(text))
        return found;
    for (uint32_t i = 0; i < children_.UsedSize(); ++i)
        if (SgAVObject* child = children_.At(i))
            if (SgAVObject* found = child->FindByName(text))
                return found;
    return nullptr;
}

// ---- Flattening ----

namespace {

using ChildList = std::vector<SgRef<SgAVObject>>;

}  // namespace

bool SgNode::Flatten(uint32_t flags) {
    if (flags == 0)
        return false;
    if ((flags & kFlattenKeepAlpha) && FindPropertyOfType(SG_ALPHA_PROPERTY))
        return false;

    // Children that stay, and the children of child nodes that may go, in order.
    ChildList kept;
    for (uint32_t i = 0; i < children_.UsedSize(); ++i) {
        SgRef<SgAVObject> child = children_.GetArrayElementRef(i);
        if (!child)
            continue;
        if (!child->Flatten(flags)) {
            kept.push_back(child);
            continue;
        }
        if (SgNode* sub = SgKindCast<SgNode>(child.Get())) {
            for (uint32_t j = 0; j < sub->children_.UsedSize(); ++j)
                if (SgAVObject* grandchild = sub->children_.At(j))
                    kept.emplace_back(grandchild);
            for (uint32_t j = 0; j < sub->children_.UsedSize(); ++j)
                sub->TakeSlot(j);
            sub->children_.RemoveAll();
            sub->childStates_.RemoveAll();
        }
    }
    auto reinsert = [this](const ChildList& list) {
        for (uint32_t i = 0; i < children_.UsedSize(); ++i)
            TakeSlot(i);
        children_.RemoveAll();
        childStates_.RemoveAll();
        for (const SgRef<SgAVObject>& c : list)
            InsertChild(c.Get(), false);
    };
    reinsert(kept);
    if (kept.empty())
        return (flags & kFlattenEmptyMayGo) != 0;

    // Merge each child with the later ones alike to it. A group its first member cannot merge
    // keeps every member in place.
    ChildList remaining = kept, merged;
    bool anyMerged = false;
    while (!remaining.empty()) {
        SgAVObject* first = remaining.front().Get();
        SgPtrArray<SgAVObject*> group(static_cast<uint32_t>(remaining.size()), 1);
        group.Append(first);
        ChildList rest;
        for (size_t k = 1; k < remaining.size(); ++k) {
            if (first->HasSameProperties(remaining[k].Get(), flags))
                group.Append(remaining[k].Get());
            else
                rest.push_back(remaining[k]);
        }
        SgRef<SgAVObject> result;
        if (group.UsedSize() > 1)
            first->MergeAlike(group, result);
        if (result) {
            merged.push_back(result);
            remaining = rest;
            anyMerged = true;
        } else {
            merged.push_back(remaining.front());
            remaining.erase(remaining.begin());
        }
    }
    if (anyMerged)
        reinsert(merged);

    if (!(flags & kFlattenSingleMayGo) || children_.Count() != 1 || children_.UsedSize() != 1)
        return false;
    SgAVObject* only = children_.At(0);
    // Only a node that changes nothing about its child may give way to it.
    return properties.IsEmpty() && lights_.IsEmpty() && localTranslation.IsEqualTo(SgZeroVec3) &&
           localRotation.IsEqualTo(SgIdentityMat3) && localScale == 1.0f && only->WorldStates().Count() == 1;
}

bool SgNode::HasSameProperties(const SgAVObject*, uint32_t) const { return false; }

// ---- Lights ----

void SgNode::AddLight(SgLight* light) {
    if (!light || lights_.Contains(light))
        return;
    lights_.AddHead(light);
    light->AddLitNode(this);
}

void SgNode::DetachLight(SgLight* light) {
    if (!light || !lights_.Remove(light))
        return;
    light->RemoveLitNode(this);
}

// ---- Copies ----

void SgNode::CopyFieldsWithoutChildrenInto(SgNode* copy) const {
    SgAVObject::CopyFieldsInto(copy);
    copy->deferralMode = deferralMode;
    copy->savedDeferralFlag_ = savedDeferralFlag_;
    copy->boundValid_ = boundValid_;
}

void SgNode::CopyFieldsInto(SgNode* copy) const {
    CopyFieldsWithoutChildrenInto(copy);
    for (uint32_t i = 0; i < children_.UsedSize(); ++i)
        if (SgAVObject* child = children_.At(i))
            copy->SetChildAt(i, child->MakeCopy(nullptr));
}

SgAVObject* SgNode::MakeCopy(SgAVObject* copy) {
    SgNode* node = copy ? static_cast<SgNode*>(copy) : new SgNode;
    CopyFieldsInto(node);
    return node;
}

void SgNode::FixUpCopy(SgAVObject* copy) {
    SgNode* node = SgKindCast<SgNode>(copy);
    if (!node)
        return;
    // Attached from the last so the copy's list keeps this list's order.
    std::vector<SgLight*> lights;
    for (SgLight* light : lights_)
        lights.push_back(light);
    for (size_t i = lights.size(); i-- > 0;)
        node->AddLight(SgKindCast<SgLight>(lights[i]->FindCloneRecord()));
    for (uint32_t i = 0; i < children_.UsedSize(); ++i)
        if (SgAVObject* child = children_.At(i))
            child->FixUpCopy(node->ChildAt(i));
}

void SgNode::FinishCopy(SgAVObject* copy) {
    SgNode* node = SgKindCast<SgNode>(copy);
    for (uint32_t i = 0; i < children_.UsedSize(); ++i)
        if (SgAVObject* child = children_.At(i))
            child->FinishCopy(node ? node->ChildAt(i) : nullptr);
}

// ---- Stream ----

bool SgNode::LoadFromStream(SgSceneStream& s) {
    if (!SgAVObject::LoadFromStream(s))
        return false;
    deferralMode = s.ReadU32();
    s.ReadU32();  // reserved
    boundValid_ = s.ReadU8();
    SgLinkIdData* link = LinkRecordBase();
    return SgLoadLinkIds(s, link ? link->IdList(1) : nullptr) && SgLoadLinkIds(s, link ? link->IdList(2) : nullptr);
}

void SgNode::LinkFromStream(SgSceneStream& s) {
    SgAVObject::LinkFromStream(s);
    SgLinkIdData* link = LinkRecordBase();
    const SgPtrArray<uint32_t>* children = link ? link->IdList(1) : nullptr;
    const SgPtrArray<uint32_t>* lights = link ? link->IdList(2) : nullptr;
    if (children) {
        // One step for the whole list from the file; slot by slot it was quadratic.
        children_.ReserveMore(children->UsedSize());
        childStates_.ReserveMore(children->UsedSize());
    }
    if (children)
        for (uint32_t i = 0; i < children->UsedSize(); ++i)
            SetChildAt(i, s.Resolve<SgAVObject>(children->At(i)));
    if (lights)
        for (uint32_t i = lights->UsedSize(); i-- > 0;)
            AddLight(s.Resolve<SgLight>(lights->At(i)));
}

bool SgNode::RegisterInStream(SgSceneStream& s) {
    if (!SgAVObject::RegisterInStream(s))
        return false;
    for (uint32_t i = 0; i < children_.UsedSize(); ++i)
        if (SgAVObject* child = children_.At(i))
            child->RegisterInStream(s);
    for (SgLight* light : lights_)
        light->RegisterInStream(s);
    return true;
}

void SgNode::SaveToStream(SgSceneStream& s) const {
    SgAVObject::SaveToStream(s);
    s.WriteU32(deferralMode);
    s.WriteU32(0);
    s.WriteU8(boundValid_);
    s.WriteU32(children_.UsedSize());
    for (uint32_t i = 0; i < children_.UsedSize(); ++i)
        s.WriteLinkId(children_.At(i));
    s.WriteU32(lights_.Count());
    for (SgLight* light : lights_)
        s.WriteLinkId(light);
}

bool SgNode::IsEqualTo(const SgObject* other) const {
    const SgNode* o = SgKindCast<SgNode>(other);
    if (!o || !SgAVObject::IsEqualTo(o) || deferralMode != o->deferralMode || boundValid_ != o->boundValid_ ||
        children_.UsedSize() != o->children_.UsedSize())
        return false;
    for (uint32_t i = 0; i < children_.UsedSize(); ++i)
        if (!SgSameObjects(children_.At(i), o->children_.At(i)))
            return false;
    return SgChainsMatch(lights_, o->lights_, SgSameObjects);
}
