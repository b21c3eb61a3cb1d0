#include "engine/animation/sg_3ds_animators.h"

#include <vector>

#include "engine/core/sg_light.h"
#include "engine/core/sg_property.h"
#include "engine/core/sg_registry.h"
#include "engine/core/sg_stream.h"

namespace {

SgPtrList<Sg3dsPropertyAnimator>* g_animators = nullptr;

float Clamp01(float v) { return v < 0.0f ? 0.0f : v > 1.0f ? 1.0f : v; }

SgRgb ClampedColor(const SgVec3& c) { return {Clamp01(c.x), Clamp01(c.y), Clamp01(c.z)}; }

float ValueAt(Sg3dsAnimatorKeys<SgFloatKey>& k, float t) {
    return SgEvaluateKeys(
        k.keys, k.index, t, [](const SgFloatKey* key) { return key->value; },
        [](const SgFloatKey* key, float u, const SgFloatKey* next) { return key->Interpolate(u, next); });
}

SgVec3 ValueAt(Sg3dsAnimatorKeys<SgPositionKey>& k, float t) {
    return SgEvaluateKeys(
        k.keys, k.index, t, [](const SgPositionKey* key) { return key->position; },
        [](const SgPositionKey* key, float u, const SgPositionKey* next) {
            SgPositionKey out;
            return key->Interpolate(&out, u, next)->position;
        });
}

void Prepare(SgKeyArray<SgFloatKey>& keys) {
    if (keys.First()->KeyType() == SgFloatKeyShaped::kType)
        SgFloatKeyShaped::ComputeTangents(keys.Data(), keys.Count());
}

void Prepare(SgKeyArray<SgPositionKey>& keys) { keys.First()->PrepareSequence(keys.Data(), keys.Count()); }

bool LoadRecords(SgSceneStream& s, uint32_t count, SgKeyArray<SgFloatKey>& out) {
    return SgFloatKey::LoadRecords(s, count, out);
}
bool LoadRecords(SgSceneStream& s, uint32_t count, SgKeyArray<SgPositionKey>& out) {
    return SgLoadKeyRecords(s, SgPositionKey::Table(), count, out);
}

}  // namespace

// ---- Key sequences ----

template <class K>
void Sg3dsAnimatorKeys<K>::Set(const K* const* source, uint32_t count, SgAnimationTiming& timing) {
    keys.Clear();
    index = 0;
    if (!SgAllKeysPresent(source, count))
        return;
    keys = SgKeyArray<K>::CloneOf(source, count);
    timing.lowKeyTime = keys.First()->time;
    timing.highKeyTime = keys.Last()->time;
    Prepare(keys);
}

template <class K>
bool Sg3dsAnimatorKeys<K>::LoadFromStream(SgSceneStream& s, SgAnimationTiming& timing) {
    uint32_t count = s.ReadU32();
    SgKeyArray<K> loaded;
    if (count == 0) {
        s.ReadU32();  // the key type
    } else if (!LoadRecords(s, count, loaded)) {
        return false;
    }
    // Without keys the range stays as the timing part stored it.
    Set(loaded.Data(), loaded.Count(), timing);
    return s.ReadOk();
}

template <class K>
void Sg3dsAnimatorKeys<K>::SaveToStream(SgSceneStream& s) const {
    s.WriteU32(keys.Count());
    if (keys.IsEmpty())
        s.WriteU32(0);  // the key type
    SgSaveKeyRecords(s, keys.Data(), keys.Count());
}

template <class K>
bool Sg3dsAnimatorKeys<K>::IsEqualTo(const Sg3dsAnimatorKeys& o) const {
    if (keys.Count() != o.keys.Count())
        return false;
    for (uint32_t i = 0; i < keys.Count(); ++i)
        if (keys[i]->IsNotEqualTo(o.keys[i]))
            return false;
    return true;
}

template struct Sg3dsAnimatorKeys<SgFloatKey>;
template struct Sg3dsAnimatorKeys<SgPositionKey>;

// ---- Records and registration ----

constinit SgTypeRecord Sg3dsPropertyAnimator::typeRecord{"Sg3dsPropertyAnimator", &SgObject::typeRecord};
constinit SgTypeRecord Sg3dsAlphaAnimator::typeRecord{"Sg3dsAlphaAnimator", &Sg3dsPropertyAnimator::typeRecord};
constinit SgTypeRecord Sg3dsColorAnimator::typeRecord{"Sg3dsColorAnimator", &Sg3dsPropertyAnimator::typeRecord};
constinit SgTypeRecord Sg3dsPropAnimExtraData::typeRecord{"Sg3dsPropAnimExtraData", &SgExtraData::typeRecord};
constinit SgTypeRecord Sg3dsLightAnimator::typeRecord{"Sg3dsLightAnimator", &SgObject::typeRecord};
constinit SgTypeRecord Sg3dsLightColorAnimator::typeRecord{"Sg3dsLightColorAnimator",
                                                          &Sg3dsLightAnimator::typeRecord};

int Sg3dsPropertyAnimator::Register() { return SgClassRegistry::Register(typeRecord, SgCreateAbstract); }
int Sg3dsAlphaAnimator::Register() { return SgClassRegistry::Register(typeRecord, SgCreateObject<Sg3dsAlphaAnimator>); }
int Sg3dsColorAnimator::Register() { return SgClassRegistry::Register(typeRecord, SgCreateObject<Sg3dsColorAnimator>); }
int Sg3dsPropAnimExtraData::Register() {
    return SgClassRegistry::RegisterExtra(typeRecord, SgCreateExtra<Sg3dsPropAnimExtraData>);
}
int Sg3dsLightAnimator::Register() { return SgClassRegistry::Register(typeRecord, SgCreateAbstract); }
int Sg3dsLightColorAnimator::Register() {
    return SgClassRegistry::Register(typeRecord, SgCreateObject<Sg3dsLightColorAnimator>);
}

const SgTypeRecord* Sg3dsPropertyAnimator::GetTypeRecord() const { return &typeRecord; }
const SgTypeRecord* Sg3dsAlphaAnimator::GetTypeRecord() const { return &typeRecord; }
const SgTypeRecord* Sg3dsColorAnimator::GetTypeRecord() const { return &typeRecord; }
const SgTypeRecord* Sg3dsPropAnimExtraData::GetTypeRecord() const { return &typeRecord; }
const SgTypeRecord* Sg3dsLightAnimator::GetTypeRecord() const { return &typeRecord; }
const SgTypeRecord* Sg3dsLightColorAnimator::GetTypeRecord() const { return &typeRecord; }

// ---- The target part ----

Sg3dsTargetAnimator::Sg3dsTargetAnimator() { timeMode = kTimeApplication; }

bool Sg3dsTargetAnimator::LoadFromStream(SgSceneStream& s) {
    if (!SgObject::LoadFromStream(s) || !SgAnimationTiming::LoadFromStream(s))
        return false;
    uint32_t id = s.ReadU32();
    if (SgLinkIdData* link = LinkRecordBase())
        link->refId = id;
    return s.ReadOk();
}

void Sg3dsTargetAnimator::LinkFromStream(SgSceneStream& s) {
    SgObject::LinkFromStream(s);
    if (SgLinkIdData* link = LinkRecordBase())
        target_ = s.ResolveLinkId(link->refId);
}

bool Sg3dsTargetAnimator::RegisterInStream(SgSceneStream& s) {
    if (!SgObject::RegisterInStream(s))
        return false;
    if (target_)
        target_->RegisterInStream(s);
    return true;
}

void Sg3dsTargetAnimator::SaveToStream(SgSceneStream& s) const {
    SgObject::SaveToStream(s);
    SgAnimationTiming::SaveToStream(s);
    s.WriteLinkId(target_.Get());
}

bool Sg3dsTargetAnimator::IsEqualTo(const SgObject* other) const {
    const auto* o = dynamic_cast<const Sg3dsTargetAnimator*>(other);
    return o && SgObject::IsEqualTo(o) && SgAnimationTiming::IsEqualTo(*o) &&
           SgSameObjects(target_.Get(), o->target_.Get());
}

// ---- Property animators ----

Sg3dsPropertyAnimator::Sg3dsPropertyAnimator() {
    if (!g_animators)
        g_animators = new SgPtrList<Sg3dsPropertyAnimator>;
    g_animators->AddHead(this);
}

Sg3dsPropertyAnimator::~Sg3dsPropertyAnimator() {
    Detach();
    if (g_animators)
        g_animators->Remove(this);
}

const SgPtrList<Sg3dsPropertyAnimator>* Sg3dsPropertyAnimator::List() { return g_animators; }

void Sg3dsPropertyAnimator::Attach() {
    if (target_)
        target_->PrependExtra(new Sg3dsPropAnimExtraData(this));
}

void Sg3dsPropertyAnimator::Detach() {
    if (!target_)
        return;
    for (SgExtraData* e = target_->ExtraHead(); e; e = e->next) {
        auto* record = e->IsKindOf(&Sg3dsPropAnimExtraData::typeRecord) ? static_cast<Sg3dsPropAnimExtraData*>(e)
                                                                          : nullptr;
        if (record && record->animator.Get() == this) {
            target_->UnlinkExtra(record);
            // Last: the record may hold this animator's last count.
            delete record;
            return;
        }
    }
}

void Sg3dsPropertyAnimator::SetTarget(SgObject* object) {
    SgRef<Sg3dsPropertyAnimator> hold(this);
    SgRef<SgObject> keep(object);
    Detach();
    target_ = object;
    Attach();
}

void Sg3dsPropertyAnimator::Retire() {
    SgRef<Sg3dsPropertyAnimator> hold(this);
    Detach();
    target_ = nullptr;
}

void Sg3dsPropertyAnimator::DeleteAll() {
    if (!g_animators)
        return;
    // Every animator is held while the others retire: retiring one may release another's target.
    std::vector<SgRef<Sg3dsPropertyAnimator>> held;
    for (Sg3dsPropertyAnimator* a : *g_animators)
        held.emplace_back(a);
    delete g_animators;
    g_animators = nullptr;
    for (SgRef<Sg3dsPropertyAnimator>& a : held)
        a->Retire();
    held.clear();
}

bool Sg3dsAlphaAnimator::LoadFromStream(SgSceneStream& s) {
    return Sg3dsPropertyAnimator::LoadFromStream(s) && keys_.LoadFromStream(s, *this);
}

void Sg3dsAlphaAnimator::SaveToStream(SgSceneStream& s) const {
    Sg3dsPropertyAnimator::SaveToStream(s);
    keys_.SaveToStream(s);
}

bool Sg3dsAlphaAnimator::IsEqualTo(const SgObject* other) const {
    const auto* o = SgKindCast<Sg3dsAlphaAnimator>(other);
    return o && Sg3dsPropertyAnimator::IsEqualTo(o) && keys_.IsEqualTo(o->keys_);
}

void Sg3dsAlphaAnimator::Update(float t) {
    if (keys_.keys.IsEmpty())
        return;
    float value = ValueAt(keys_, MapTime(t));
    if (auto* material = SgKindCast<SgMaterialProperty>(target_.Get())) {
        material->alpha = value;
        material->changed = 1;
    }
}

bool Sg3dsColorAnimator::LoadFromStream(SgSceneStream& s) {
    if (!Sg3dsPropertyAnimator::LoadFromStream(s))
        return false;
    colorSelector = s.ReadU32();
    return keys_.LoadFromStream(s, *this);
}

void Sg3dsColorAnimator::SaveToStream(SgSceneStream& s) const {
    Sg3dsPropertyAnimator::SaveToStream(s);
    s.WriteU32(colorSelector);
    keys_.SaveToStream(s);
}

bool Sg3dsColorAnimator::IsEqualTo(const SgObject* other) const {
    const auto* o = SgKindCast<Sg3dsColorAnimator>(other);
    return o && Sg3dsPropertyAnimator::IsEqualTo(o) && colorSelector == o->colorSelector && keys_.IsEqualTo(o->keys_);
}

void Sg3dsColorAnimator::Update(float t) {
    if (keys_.keys.IsEmpty())
        return;
    SgRgb c = ClampedColor(ValueAt(keys_, MapTime(t)));
    auto* material = SgKindCast<SgMaterialProperty>(target_.Get());
    if (!material)
        return;
    SgRgb* colors[4] = {&material->ambient, &material->diffuse, &material->specular, &material->emissive};
    if (colorSelector < 4) {
        *colors[colorSelector] = c;
        material->changed = 1;
    }
}

// ---- The record on a target ----

bool Sg3dsPropAnimExtraData::LoadFromStream(SgSceneStream& s) {
    if (!SgExtraData::LoadFromStream(s))
        return false;
    animatorId = s.ReadU32();
    return s.ReadOk();
}

void Sg3dsPropAnimExtraData::LinkFromStream(SgSceneStream& s) {
    SgExtraData::LinkFromStream(s);
    animator = s.Resolve<Sg3dsPropertyAnimator>(animatorId);
    animatorId = 0;
}

void Sg3dsPropAnimExtraData::RegisterInStream(SgSceneStream& s) {
    SgExtraData::RegisterInStream(s);
    if (animator)
        animator->RegisterInStream(s);
}

void Sg3dsPropAnimExtraData::SaveToStream(SgSceneStream& s) const {
    SgExtraData::SaveToStream(s);
    s.WriteLinkId(animator.Get());
}

// ---- Light animators ----

bool Sg3dsLightColorAnimator::LoadFromStream(SgSceneStream& s) {
    if (!Sg3dsLightAnimator::LoadFromStream(s))
        return false;
    firstColorOnly = s.ReadU8();
    return keys_.LoadFromStream(s, *this);
}

void Sg3dsLightColorAnimator::SaveToStream(SgSceneStream& s) const {
    Sg3dsLightAnimator::SaveToStream(s);
    s.WriteU8(firstColorOnly);
    keys_.SaveToStream(s);
}

bool Sg3dsLightColorAnimator::IsEqualTo(const SgObject* other) const {
    const auto* o = SgKindCast<Sg3dsLightColorAnimator>(other);
    return o && Sg3dsLightAnimator::IsEqualTo(o) && firstColorOnly == o->firstColorOnly && keys_.IsEqualTo(o->keys_);
}

void Sg3dsLightColorAnimator::Update(float t) {
    if (keys_.keys.IsEmpty())
        return;
    SgRgb c = ClampedColor(ValueAt(keys_, MapTime(t)));
    auto* light = SgKindCast<SgLight>(target_.Get());
    if (!light)
        return;
    const SgRgb black{0.0f, 0.0f, 0.0f};
    if (firstColorOnly) {
        light->ambient = c;
        light->diffuse = black;
        light->specular = black;
    } else {
        light->ambient = black;
        light->diffuse = c;
        light->specular = c;
    }
    light->changed = 1;
}
