#include "engine/animation/sg_3ds_animation_node.h"

#include <cmath>

#include "engine/core/sg_registry.h"
#include "engine/core/sg_stream.h"

constinit SgTypeRecord Sg3dsAnimationNode::typeRecord{"Sg3dsAnimationNode", &SgNode::typeRecord};
constinit SgTypeRecord Sg3dsBone::typeRecord{"Sg3dsBone", &Sg3dsAnimationNode::typeRecord};

int Sg3dsAnimationNode::Register() {
    return SgClassRegistry::Register(typeRecord, SgCreateObject<Sg3dsAnimationNode, SgLinkIdData3>);
}

int Sg3dsBone::Register() { return SgClassRegistry::Register(typeRecord, SgCreateObject<Sg3dsBone, SgLinkIdData3>); }

const SgTypeRecord* Sg3dsAnimationNode::GetTypeRecord() const { return &typeRecord; }
const SgTypeRecord* Sg3dsBone::GetTypeRecord() const { return &typeRecord; }

Sg3dsAnimationNode::Sg3dsAnimationNode() = default;

Sg3dsAnimationNode::~Sg3dsAnimationNode() = default;

// ---- Setting keys ----

void Sg3dsAnimationNode::FreeRotationKeys() {
    rotationKeys_.Clear();
    perAxisRotation_ = false;
}

template <class K>
bool Sg3dsAnimationNode::ReplaceKeys(SgKeyArray<K>& family, const K* const* keys, uint32_t count, bool widen) {
    family.Clear();
    if (!SgAllKeysPresent(keys, count))
        return false;
    family = SgKeyArray<K>::CloneOf(keys, count);
    if (widen)
        WidenKeyRange(family.First()->time, family.Last()->time);
    return true;
}

void Sg3dsAnimationNode::SetRotationKeys(const SgRotationKey* const* keys, uint32_t count, bool widen) {
    FreeRotationKeys();
    // An axis key first stands alone: the other entries are not looked at, missing ones included.
    if (keys && count >= 1 && keys[0] && keys[0]->KeyType() == SgRotationKeyAxes::kType) {
        SetAxisRotationKey(static_cast<const SgRotationKeyAxes*>(keys[0]), widen);
        return;
    }
    if (!ReplaceKeys(rotationKeys_, keys, count, widen))
        return;
    rotationKeyIndex = 0;
    rotationKeys_.First()->PrepareSequence(rotationKeys_.Data(), count);
}

void Sg3dsAnimationNode::SetAxisRotationKey(const SgRotationKeyAxes* key, bool widen) {
    FreeRotationKeys();
    if (!key)
        return;
    perAxisRotation_ = true;
    rotationKeyIndex = 0;
    const SgRotationKey* one[] = {key};
    rotationKeys_ = SgKeyArray<SgRotationKey>::CloneOf(one, 1);
    auto* axes = static_cast<SgRotationKeyAxes*>(rotationKeys_.First());
    if (widen)
        for (const auto& track : axes->tracks)
            if (!track.IsEmpty())
                WidenKeyRange(track.First()->time, track.Last()->time);
    axes->PrepareTracks();
}

void Sg3dsAnimationNode::SetPositionKeys(const SgPositionKey* const* keys, uint32_t count, bool widen) {
    if (!ReplaceKeys(positionKeys_, keys, count, widen))
        return;
    positionKeyIndex = 0;
    positionKeys_.First()->PrepareSequence(positionKeys_.Data(), count);
}

void Sg3dsAnimationNode::SetScaleKeys(const SgFloatKey* const* keys, uint32_t count, bool widen) {
    if (!ReplaceKeys(scaleKeys_, keys, count, widen))
        return;
    scaleKeyIndex = 0;
    if (scaleKeys_.First()->KeyType() == SgFloatKeyShaped::kType)
        SgFloatKeyShaped::ComputeTangents(scaleKeys_.Data(), count);
}

void Sg3dsAnimationNode::SetVisibilityKeys(const SgVisibilityKey* const* keys, uint32_t count, bool widen) {
    ReplaceKeys(visibilityKeys_, keys, count, widen);
}

// ---- Evaluating ----

SgQuat Sg3dsAnimationNode::InterpolateRotation(float t) {
    if (rotationKeys_.IsEmpty())
        return SgIdentityQuat;
    return SgEvaluateKeys(
        rotationKeys_, rotationKeyIndex, t, [](const SgRotationKey* k) { return k->quaternion; },
        [](const SgRotationKey* k, float u, const SgRotationKey* next) {
            SgRotationKey out;
            return k->Interpolate(&out, u, next)->quaternion;
        });
}

SgQuat Sg3dsAnimationNode::InterpolateAxisRotation(float t) {
    auto* key = dynamic_cast<SgRotationKeyAxes*>(rotationKeys_.First());
    if (!key)
        return SgIdentityQuat;
    float angles[3];
    key->Evaluate(t, angles);
    static constexpr SgVec3 kAxes[3] = {SgAxisX, SgAxisY, SgAxisZ};
    const uint8_t* order = kAxisOrders[key->axisOrder < 9 ? key->axisOrder : 0];
    SgQuat q = SgIdentityQuat;
    for (int i = 0; i < 3; ++i) {
        uint8_t a = order[i];
        q = SgQuat::FromAngleAxis(angles[a], kAxes[a]).Multiply(q);
    }
    return q;
}

SgVec3 Sg3dsAnimationNode::InterpolatePosition(float t) {
    if (positionKeys_.IsEmpty())
        return SgZeroVec3;
    return SgEvaluateKeys(
        positionKeys_, positionKeyIndex, t, [](const SgPositionKey* k) { return k->position; },
        [](const SgPositionKey* k, float u, const SgPositionKey* next) {
            SgPositionKey out;
            return k->Interpolate(&out, u, next)->position;
        });
}

float Sg3dsAnimationNode::InterpolateScale(float t) {
    if (scaleKeys_.IsEmpty())
        return 1.0f;
    return SgEvaluateKeys(
        scaleKeys_, scaleKeyIndex, t, [](const SgFloatKey* k) { return k->value; },
        [](const SgFloatKey* k, float u, const SgFloatKey* next) { return k->Interpolate(u, next); });
}

void Sg3dsAnimationNode::ApplyVisibility(float t) {
    const SgKeyArray<SgVisibilityKey>& v = visibilityKeys_;
    uint32_t n = v.Count();
    if (n == 0)
        return;
    const SgVisibilityKey* in = nullptr;
    if (t <= v[0]->time) {
        in = v[0];
    } else if (t >= v[n - 1]->time) {
        in = v[n - 1];
    } else {
        for (uint32_t i = 0; i + 1 < n && !in; ++i)
            if (v[i]->time <= t && t < v[i + 1]->time)
                in = v[i];
    }
    if (in)
        SetHidden(in->visible ? 0 : 1);
}

void Sg3dsAnimationNode::Update(float t) {
    float m = MapTime(t);
    bool placed = false;
    if (!rotationKeys_.IsEmpty()) {
        SgQuat q = perAxisRotation_ ? InterpolateAxisRotation(m) : InterpolateRotation(m);
        q.ToRotation(localRotation);
        placed = true;
    }
    if (!positionKeys_.IsEmpty()) {
        localTranslation = InterpolatePosition(m);
        placed = true;
    }
    if (!scaleKeys_.IsEmpty()) {
        localScale = std::fabs(InterpolateScale(m));
        placed = true;
    }
    if (!visibilityKeys_.IsEmpty())
        ApplyVisibility(m);
    if (placed && worldUpdateFlag)
        UpdateAllStates();
}

// ---- Copies ----

void Sg3dsAnimationNode::CopyFieldsInto(Sg3dsAnimationNode* copy) const {
    CopyInto(*copy);
    SgNode::CopyFieldsInto(copy);
    copy->SetRotationKeys(rotationKeys_.Data(), rotationKeys_.Count(), true);
    copy->SetPositionKeys(positionKeys_.Data(), positionKeys_.Count(), true);
    copy->SetScaleKeys(scaleKeys_.Data(), scaleKeys_.Count(), true);
    copy->SetVisibilityKeys(visibilityKeys_.Data(), visibilityKeys_.Count(), true);
    copy->rotationKeyIndex = rotationKeyIndex;
    copy->positionKeyIndex = positionKeyIndex;
    copy->scaleKeyIndex = scaleKeyIndex;
}

SgAVObject* Sg3dsAnimationNode::MakeCopy(SgAVObject* copy) {
    auto* node = copy ? static_cast<Sg3dsAnimationNode*>(copy) : new Sg3dsAnimationNode;
    CopyFieldsInto(node);
    return node;
}

// ---- Stream ----

bool Sg3dsAnimationNode::LoadFromStream(SgSceneStream& s) {
    if (!SgNode::LoadFromStream(s) || !SgAnimationTiming::LoadFromStream(s))
        return false;
    SgKeyArray<SgRotationKey> rotations;
    SgKeyArray<SgPositionKey> positions;
    SgKeyArray<SgFloatKey> scales;
    SgKeyArray<SgVisibilityKey> visibility;
    if (!SgRotationKey::LoadSequence(s, rotations) || !SgPositionKey::LoadSequence(s, positions) ||
        !SgFloatKey::LoadSequence(s, scales) || !SgVisibilityKey::LoadSequence(s, visibility))
        return false;
    // The key-time range comes from the timing part.
    SetRotationKeys(rotations.Data(), rotations.Count(), false);
    SetPositionKeys(positions.Data(), positions.Count(), false);
    SetScaleKeys(scales.Data(), scales.Count(), false);
    SetVisibilityKeys(visibility.Data(), visibility.Count(), false);
    return s.ReadOk();
}

void Sg3dsAnimationNode::SaveToStream(SgSceneStream& s) const {
    SgNode::SaveToStream(s);
    SgAnimationTiming::SaveToStream(s);
    SgRotationKey::SaveSequence(s, rotationKeys_.Data(), rotationKeys_.Count());
    SgPositionKey::SaveSequence(s, positionKeys_.Data(), positionKeys_.Count());
    SgFloatKey::SaveSequence(s, scaleKeys_.Data(), scaleKeys_.Count());
    SgVisibilityKey::SaveSequence(s, visibilityKeys_.Data(), visibilityKeys_.Count());
}

bool Sg3dsAnimationNode::IsEqualTo(const SgObject* other) const {
    const auto* o = SgKindCast<Sg3dsAnimationNode>(other);
    if (!o || !SgNode::IsEqualTo(o) || !SgAnimationTiming::IsEqualTo(*o))
        return false;
    if (perAxisRotation_ != o->perAxisRotation_ || RotationKeyCount() != o->RotationKeyCount() ||
        PositionKeyCount() != o->PositionKeyCount() || ScaleKeyCount() != o->ScaleKeyCount() ||
        VisibilityKeyCount() != o->VisibilityKeyCount())
        return false;
    for (uint32_t i = 0; i < RotationKeyCount(); ++i)
        if (rotationKeys_[i]->IsNotEqualTo(o->rotationKeys_[i]))
            return false;
    for (uint32_t i = 0; i < PositionKeyCount(); ++i)
        if (positionKeys_[i]->IsNotEqualTo(o->positionKeys_[i]))
            return false;
    for (uint32_t i = 0; i < ScaleKeyCount(); ++i)
        if (scaleKeys_[i]->IsNotEqualTo(o->scaleKeys_[i]))
            return false;
    for (uint32_t i = 0; i < VisibilityKeyCount(); ++i)
        if (!SgSameFloat(visibilityKeys_[i]->time, o->visibilityKeys_[i]->time) ||
            visibilityKeys_[i]->visible != o->visibilityKeys_[i]->visible)
            return false;
    return true;
}

// ---- Bones ----

namespace {
uint32_t g_boneSerial = 0;
}  // namespace

Sg3dsBone::Sg3dsBone() : serial(++g_boneSerial) { worldUpdateFlag = 0; }

bool Sg3dsBone::LoadFromStream(SgSceneStream& s) { return Sg3dsAnimationNode::LoadFromStream(s); }

void Sg3dsBone::SaveToStream(SgSceneStream& s) const { Sg3dsAnimationNode::SaveToStream(s); }

bool Sg3dsBone::IsEqualTo(const SgObject* other) const { return Sg3dsAnimationNode::IsEqualTo(other); }

SgAVObject* Sg3dsBone::MakeCopy(SgAVObject* copy) {
    auto* bone = copy ? static_cast<Sg3dsBone*>(copy) : new Sg3dsBone;
    CopyFieldsInto(bone);
    bone->boneRotation = boneRotation;
    bone->boneTranslation = boneTranslation;
    bone->boneScale = boneScale;
    bone->skinFlag = skinFlag;
    bone->ownTime = ownTime;
    AttachCloneRecord(bone);
    return bone;
}

void Sg3dsBone::FinishCopy(SgAVObject* copy) {
    Sg3dsAnimationNode::FinishCopy(copy);
    SgExtraData* head = ExtraHead();
    if (head && head->IsExactly(&SgCloneExtraData::typeRecord)) {
        UnlinkExtra(head);
        delete head;
    }
}

void Sg3dsBone::Update(float t) {
    SgAVObject* parent = CurrentStateKey();
    if (parent && parent->IsExactly(&Sg3dsBone::typeRecord)) {
        ownTime = t;
        return;
    }
    UpdateHierarchy(t, SgIdentityMat3, SgZeroVec3, 1.0f);
}

void Sg3dsBone::UpdateHierarchy(float t, const SgMat3& parentRotation, const SgVec3& parentTranslation,
                                float parentScale) {
    Sg3dsAnimationNode::Update(ownTime != 0.0f ? ownTime : t);
    boneRotation = parentRotation * localRotation;
    boneTranslation = parentTranslation + (parentRotation * localTranslation) * parentScale;
    boneScale = localScale * parentScale;
    for (uint32_t i = 0; i < ChildCount(); ++i)
        if (auto* child = SgExactCast<Sg3dsBone>(ChildAt(i)))
            child->UpdateHierarchy(t, boneRotation, boneTranslation, boneScale);
}
