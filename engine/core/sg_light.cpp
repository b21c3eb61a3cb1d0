#include "engine/core/sg_light.h"

#include "engine/core/sg_node.h"
#include "engine/core/sg_registry.h"
#include "engine/core/sg_render.h"
#include "engine/core/sg_stream.h"

namespace {

uint32_t g_nextLightIndex = 0;

}  // namespace

constinit SgTypeRecord SgLight::typeRecord{"SgLight", &SgAVObject::typeRecord};

int SgLight::Register() { return SgClassRegistry::Register(typeRecord, SgCreateObject<SgLight, SgLinkIdData2>); }

const SgTypeRecord* SgLight::GetTypeRecord() const { return &typeRecord; }

SgLight::SgLight() : lightIndex_(g_nextLightIndex++) {
    if (currentState_)
        currentState_->reserved1 = 0;
}

SgLight::~SgLight() {
    ForgetAllLitNodes();
    SgRender::RemoveLightEverywhere(this);
}

// ---- Lit nodes ----

void SgLight::AddLitNode(SgNode* node) {
    if (!node || litNodes_.Contains(node))
        return;
    litNodes_.AddHead(node);
    node->AddLight(this);
}

void SgLight::RemoveLitNode(SgNode* node) {
    if (!node || !litNodes_.Remove(node))
        return;
    node->DetachLight(this);
}

void SgLight::ForgetAllLitNodes() {
    while (!litNodes_.IsEmpty())
        RemoveLitNode(*litNodes_.begin());
}

// ---- Placement ----

void SgLight::ComputeWorldValues() {
    if (!currentState_) {
        worldPosition = position;
        worldDirection = direction;
    } else {
        // Neither scaled nor normalised: the renderer takes them as they are.
        worldPosition = currentState_->worldRotation * position + currentState_->worldTranslation;
        worldDirection = currentState_->worldRotation * direction;
    }
    changed = 1;
}

void SgLight::ComposeWorldPlacement(SgWorldState* state) {
    SgAVObject::ComposeWorldPlacement(state);
    ComputeWorldValues();
}

void SgLight::SetPosition(const SgVec3& value) {
    position = value;
    ComputeWorldValues();
}

void SgLight::SetDirection(const SgVec3& value) {
    direction = value;
    ComputeWorldValues();
}

void SgLight::SetType(uint32_t value) {
    type = value;
    changed = 1;
}

// ---- Copies ----

SgAVObject* SgLight::MakeCopy(SgAVObject* copy) {
    SgLight* light = copy ? static_cast<SgLight*>(copy) : new SgLight;
    CopyFieldsInto(light);
    light->position = position;
    light->direction = direction;
    light->worldPosition = worldPosition;
    light->worldDirection = worldDirection;
    light->on = on;
    light->coneAngle = coneAngle;
    light->spotExponent = spotExponent;
    light->dimmer = dimmer;
    light->ambient = ambient;
    light->diffuse = diffuse;
    light->specular = specular;
    light->range = range;
    light->falloff = falloff;
    light->attenuate = attenuate;
    light->type = type;
    light->lightIndex_ = lightIndex_;
    light->changed = changed;
    light->revision = revision;
    AttachCloneRecord(light);
    return light;
}

void SgLight::FinishCopy(SgAVObject*) {
    for (SgExtraData* e = ExtraHead(); e; e = e->next) {
        if (e->IsExactly(&SgCloneExtraData::typeRecord)) {
            UnlinkExtra(e);
            delete e;
            return;
        }
    }
}

// ---- Stream ----

bool SgLight::LoadFromStream(SgSceneStream& s) {
    if (!SgAVObject::LoadFromStream(s))
        return false;
    position.LoadFromStream(s);
    direction.LoadFromStream(s);
    on = s.ReadU8();
    coneAngle = s.ReadF32();
    spotExponent = s.ReadF32();
    dimmer = s.ReadF32();
    ambient.LoadFromStream(s);
    diffuse.LoadFromStream(s);
    specular.LoadFromStream(s);
    range = s.ReadF32();
    falloff = s.ReadF32();
    attenuate = s.ReadU8();
    type = s.ReadU32();
    // The nodes restore the relation from their side when they link.
    SgLinkIdData* link = LinkRecordBase();
    if (!SgLoadLinkIds(s, link ? link->IdList(1) : nullptr))
        return false;
    UpdateAllStates();
    return s.ReadOk();
}

void SgLight::LinkFromStream(SgSceneStream& s) { SgAVObject::LinkFromStream(s); }

void SgLight::SaveToStream(SgSceneStream& s) const {
    SgAVObject::SaveToStream(s);
    position.SaveToStream(s);
    direction.SaveToStream(s);
    s.WriteU8(on);
    s.WriteF32(coneAngle);
    s.WriteF32(spotExponent);
    s.WriteF32(dimmer);
    ambient.SaveToStream(s);
    diffuse.SaveToStream(s);
    specular.SaveToStream(s);
    s.WriteF32(range);
    s.WriteF32(falloff);
    s.WriteU8(attenuate);
    s.WriteU32(type);
    s.WriteU32(litNodes_.Count());
    for (SgNode* node : litNodes_)
        s.WriteLinkId(node);
}

bool SgLight::IsEqualTo(const SgObject* other) const {
    const SgLight* o = SgKindCast<SgLight>(other);
    if (!o || !SgAVObject::IsEqualTo(o))
        return false;
    if (!position.IsEqualTo(o->position) || !direction.IsEqualTo(o->direction) || on != o->on ||
        coneAngle != o->coneAngle || spotExponent != o->spotExponent || dimmer != o->dimmer ||
        !ambient.IsEqualTo(o->ambient) || !diffuse.IsEqualTo(o->diffuse) || !specular.IsEqualTo(o->specular) ||
        range != o->range || falloff != o->falloff || attenuate != o->attenuate || type != o->type)
        return false;
    // Nodes compare their lights: the lit nodes count only by presence here.
    return SgChainsMatch(litNodes_, o->litNodes_, [](const SgNode* a, const SgNode* b) { return !a == !b; });
}
