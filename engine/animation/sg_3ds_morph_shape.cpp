#include "engine/animation/sg_3ds_morph_shape.h"

#include <algorithm>
#include <cmath>

#include "engine/core/sg_registry.h"
#include "engine/core/sg_stream.h"

namespace {

// The weights a key's interpolation yields.
uint32_t WeightCount(const SgFloatKey* key) {
    if (auto* arrays = dynamic_cast<const SgFloatKeyArrays*>(key))
        return arrays->Count();
    if (auto* pair = dynamic_cast<const SgFloatKeyPair*>(key))
        return pair->weightCount;
    return 0;
}

bool IsShapedType(uint32_t type) {
    return type == SgFloatKeyShaped::kType || type == SgFloatKeyArrays::kType || type == SgFloatKeyPair::kType;
}

}  // namespace

// Both name the triangle shape as their base: the environment-mapped one is no kind of the other.
constinit SgTypeRecord Sg3dsMorphShape::typeRecord{"Sg3dsMorphShape", &SgTriShape::typeRecord};
constinit SgTypeRecord Sg3dsEnvMorphShape::typeRecord{"Sg3dsEnvMorphShape", &SgTriShape::typeRecord};

int Sg3dsMorphShape::Register() {
    return SgClassRegistry::Register(typeRecord, SgCreateObject<Sg3dsMorphShape, SgLinkIdData1>);
}
int Sg3dsEnvMorphShape::Register() {
    return SgClassRegistry::Register(typeRecord, SgCreateObject<Sg3dsEnvMorphShape, SgLinkIdData1>);
}

const SgTypeRecord* Sg3dsMorphShape::GetTypeRecord() const { return &typeRecord; }
const SgTypeRecord* Sg3dsEnvMorphShape::GetTypeRecord() const { return &typeRecord; }

// ---- Keys and targets ----

void Sg3dsMorphShape::SetMorphKeys(const SgFloatKey* const* keys, uint32_t count) {
    keys_.Clear();
    if (!keys || count < 1)
        return;
    for (uint32_t i = 0; i < count; ++i)
        if (!keys[i] || keys[i]->KeyType() != keys[0]->KeyType() || !IsShapedType(keys[i]->KeyType()))
            return;
    SgKeyArray<SgFloatKey> copies(count);
    for (uint32_t i = 0; i < count; ++i)
        copies.Set(i, static_cast<const SgFloatKeyShaped*>(keys[i])->CloneWhole());
    keys_ = std::move(copies);
    keyIndex = 0;
    lowKeyTime = keys_.First()->time;
    highKeyTime = keys_.Last()->time;
    if (Type5())
        SgFloatKeyArrays::ComputeTangents(keys_.Data(), count);
    else
        SgFloatKeyShaped::ComputeTangents(keys_.Data(), count);
}

bool Sg3dsMorphShape::SetMorphTargets(const SgVec3* const* targets, uint32_t count, uint32_t vertexCount) {
    if (targets && count >= 1 && vertexCount != vertexCount_)
        return false;
    targets_.clear();
    if (!targets || count < 1)
        return true;
    for (uint32_t k = 0; k < count; ++k) {
        std::unique_ptr<SgVec3[]> copy(new SgVec3[vertexCount ? vertexCount : 1]);
        if (targets[k])
            std::copy(targets[k], targets[k] + vertexCount, copy.get());
        targets_.push_back(std::move(copy));
    }
    ComputeBound();
    return true;
}

// ---- Blending ----

void Sg3dsMorphShape::Blend(float m) {
    uint32_t n = keys_.Count();
    if (n < 2 || targets_.empty() || !vertices_)
        return;
    uint32_t i = 0;
    if (m <= keys_[0]->time) {
        i = 0;
    } else if (m >= keys_[n - 1]->time) {
        i = n - 2;
    } else {
        bool exact = false;
        int32_t found = SgFindKeyInterval(keys_.Data(), n, keyIndex, m, exact);
        if (found >= 0) {
            i = static_cast<uint32_t>(found);
        } else {
            // Key times that do not increase: the last key at or before m.
            for (uint32_t k = 0; k < n; ++k)
                if (keys_[k]->time <= m)
                    i = k;
            m = keys_[i]->time;
        }
        i = std::min(i, n - 2);
    }
    float s = SgSegmentParameter(m, keys_[i]->time, keys_[i + 1]->time);
    const auto* key = static_cast<const SgFloatKeyShaped*>(keys_[i]);
    std::unique_ptr<float[]> w = key->InterpolateArray(s, keys_[i + 1]);
    if (!w)
        return;
    // Weights past the key's own count or targets past the shape's are never read.
    uint32_t used = std::min(TargetCount(), WeightCount(key));
    bool relative = Type5();
    // Weights that are not numbers (damaged keys, or keys too large to interpolate) would put
    // every vertex at one: the shape keeps its pose instead.
    for (uint32_t k = relative ? 1 : 0; k < used; ++k)
        if (!std::isfinite(w[k]))
            return;
    for (uint32_t v = 0; v < vertexCount_; ++v)
        vertices_[v] = relative ? targets_[0][v] : SgVec3();
    for (uint32_t k = relative ? 1 : 0; k < used; ++k) {
        const SgVec3* target = targets_[k].get();
        for (uint32_t v = 0; v < vertexCount_; ++v)
            vertices_[v] = vertices_[v] + target[v] * w[k];
    }
}

void Sg3dsMorphShape::ComputeBound() {
    if (keys_.IsEmpty() || !vertices_)
        return;
    if (!morphBound_)
        morphBound_ = std::make_unique<SgBoundSphere>();
    for (uint32_t k = 0; k < keys_.Count(); ++k) {
        Blend(keys_[k]->time);
        SgBoundSphere pose;
        pose.FitToPoints(vertexCount_, vertices_.get());
        if (k == 0)
            morphBound_->Copy(pose);
        else
            morphBound_->Enclose(pose);
    }
    modelBound_.Copy(*morphBound_);
    MarkWorldArraysStale();
}

void Sg3dsMorphShape::Update(float t) {
    if (keys_.IsEmpty())
        return;
    if (relativePending && Type5()) {
        relativePending = 0;
        for (uint32_t k = 1; k < TargetCount(); ++k)
            for (uint32_t v = 0; v < vertexCount_; ++v)
                targets_[k][v] = targets_[k][v] - targets_[0][v];
        // The bound set with the targets took them as differences already.
        morphBound_.reset();
    }
    if (!morphBound_)
        ComputeBound();
    Blend(MapTime(t));
    if (refreshNormals && normals_)
        ComputeNormals();
    else
        ComputePlanes();
    MarkWorldArraysStale();
    if (worldUpdateFlag)
        UpdateAllStates();
}

// ---- Copies ----

SgAVObject* Sg3dsMorphShape::MakeCopy(SgAVObject* copy) {
    auto* shape = static_cast<Sg3dsMorphShape*>(SgTriShape::MakeCopy(copy ? copy : new Sg3dsMorphShape));
    CopyInto(*shape);
    shape->relativePending = relativePending;
    shape->refreshNormals = refreshNormals;
    shape->SetMorphKeys(keys_.Data(), keys_.Count());
    std::vector<const SgVec3*> targets;
    for (const auto& t : targets_)
        targets.push_back(t.get());
    shape->SetMorphTargets(targets.data(), TargetCount(), vertexCount_);
    // Setting the targets posed the copy at the last key; it stands where the source stands.
    if (vertices_ && shape->vertices_)
        std::copy(vertices_.get(), vertices_.get() + vertexCount_, shape->vertices_.get());
    if (morphBound_) {
        shape->morphBound_ = std::make_unique<SgBoundSphere>(*morphBound_);
        shape->modelBound_.Copy(*morphBound_);
    } else {
        shape->morphBound_.reset();
    }
    shape->keyIndex = keyIndex;
    return shape;
}

SgAVObject* Sg3dsEnvMorphShape::MakeCopy(SgAVObject* copy) {
    return Sg3dsMorphShape::MakeCopy(copy ? copy : new Sg3dsEnvMorphShape);
}

void Sg3dsEnvMorphShape::Draw(SgCamera* camera, SgWorldState* state) { DrawEnvironmentMapped(camera, state); }

// ---- Stream ----

bool Sg3dsMorphShape::LoadFromStream(SgSceneStream& s) {
    if (!SgTriShape::LoadFromStream(s) || !SgAnimationTiming::LoadFromStream(s))
        return false;
    relativePending = s.ReadU8();
    refreshNormals = s.ReadU8();
    int32_t targetCount = s.ReadI32();
    int32_t keyCount = s.ReadI32();
    SgBoundSphere bound;
    bound.LoadFromStream(s);
    if (!s.ReadOk() || targetCount < 0 || keyCount < 0)
        return false;
    morphBound_ = std::make_unique<SgBoundSphere>(bound);
    SgKeyArray<SgFloatKey> keys;
    if (keyCount == 0)
        s.ReadU32();  // the type word of an empty sequence
    else if (!SgFloatKey::LoadRecords(s, static_cast<uint32_t>(keyCount), keys))
        return false;
    // A shape without vertices has nothing to morph: its targets are empty and none are kept.
    uint32_t targetCountU = vertexCount_ ? static_cast<uint32_t>(targetCount) : 0;
    if (!s.CheckCount(targetCountU, size_t{vertexCount_} * 12))
        return false;
    std::vector<std::unique_ptr<SgVec3[]>> loaded;
    for (uint32_t k = 0; k < targetCountU; ++k) {
        std::unique_ptr<SgVec3[]> target(new SgVec3[vertexCount_ ? vertexCount_ : 1]);
        for (uint32_t v = 0; v < vertexCount_; ++v)
            target[v].LoadFromStream(s);
        loaded.push_back(std::move(target));
    }
    if (!s.ReadOk())
        return false;
    SetMorphKeys(keys.Data(), keys.Count());
    if (keys.Count() != keys_.Count())
        return false;  // keys a morph cannot blend with
    std::vector<const SgVec3*> targets;
    for (const auto& t : loaded)
        targets.push_back(t.get());
    SetMorphTargets(targets.data(), targetCountU, vertexCount_);
    return s.ReadOk();
}

void Sg3dsMorphShape::SaveToStream(SgSceneStream& s) const {
    SgTriShape::SaveToStream(s);
    SgAnimationTiming::SaveToStream(s);
    s.WriteU8(relativePending);
    s.WriteU8(refreshNormals);
    s.WriteI32(static_cast<int32_t>(TargetCount()));
    s.WriteI32(static_cast<int32_t>(keys_.Count()));
    (morphBound_ ? *morphBound_ : SgBoundSphere()).SaveToStream(s);
    s.WriteU32(keys_.IsEmpty() ? 0 : keys_.First()->KeyType());
    for (uint32_t i = 0; i < keys_.Count(); ++i)
        keys_[i]->SaveToStream(s);
    for (const auto& target : targets_)
        for (uint32_t v = 0; v < vertexCount_; ++v)
            target[v].SaveToStream(s);
}

bool Sg3dsMorphShape::IsEqualTo(const SgObject* other) const {
    // Either class: the class names were compared by the object part.
    const auto* o = dynamic_cast<const Sg3dsMorphShape*>(other);
    if (!o || !SgTriShape::IsEqualTo(o) || !SgAnimationTiming::IsEqualTo(*o))
        return false;
    if (relativePending != o->relativePending || refreshNormals != o->refreshNormals ||
        TargetCount() != o->TargetCount() || keys_.Count() != o->keys_.Count() ||
        !morphBound_ != !o->morphBound_ || (morphBound_ && !morphBound_->IsEqualTo(*o->morphBound_)))
        return false;
    for (uint32_t i = 0; i < keys_.Count(); ++i)
        if (keys_[i]->IsNotEqualTo(o->keys_[i]))
            return false;
    for (uint32_t k = 0; k < TargetCount(); ++k)
        for (uint32_t v = 0; v < vertexCount_; ++v)
            if (!SgSameVec(targets_[k][v], o->targets_[k][v]))
                return false;
    return true;
}
