#include "engine/animation/sg_force.h"

#include <algorithm>
#include <cmath>

#include "engine/animation/sg_key.h"
#include "engine/core/sg_av_object.h"
#include "engine/core/sg_registry.h"
#include "engine/core/sg_stream.h"

namespace {

SgVec3 ReadVec(SgSceneStream& s) {
    SgVec3 v;
    v.LoadFromStream(s);
    return v;
}

SgVec3 PlacePoint(const SgMat3& r, const SgVec3& t, float scale, const SgVec3& p) { return (r * p) * scale + t; }

}  // namespace

constinit SgTypeRecord SgForce::typeRecord{"SgForce", &SgObject::typeRecord};
constinit SgTypeRecord SgGravity::typeRecord{"SgGravity", &SgForce::typeRecord};
constinit SgTypeRecord SgParticleBomb::typeRecord{"SgParticleBomb", &SgForce::typeRecord};
constinit SgTypeRecord SgSphericalCollider::typeRecord{"SgSphericalCollider", &SgForce::typeRecord};
constinit SgTypeRecord SgPlanarCollider::typeRecord{"SgPlanarCollider", &SgForce::typeRecord};
constinit SgTypeRecord SgMeshCollider::typeRecord{"SgMeshCollider", &SgForce::typeRecord};

int SgForce::Register() { return SgClassRegistry::Register(typeRecord, SgCreateAbstract); }
int SgGravity::Register() { return SgClassRegistry::Register(typeRecord, SgCreateObject<SgGravity>); }
int SgParticleBomb::Register() { return SgClassRegistry::Register(typeRecord, SgCreateObject<SgParticleBomb>); }
int SgSphericalCollider::Register() {
    return SgClassRegistry::Register(typeRecord, SgCreateObject<SgSphericalCollider>);
}
int SgPlanarCollider::Register() { return SgClassRegistry::Register(typeRecord, SgCreateObject<SgPlanarCollider>); }
int SgMeshCollider::Register() { return SgClassRegistry::Register(typeRecord, SgCreateObject<SgMeshCollider>); }

const SgTypeRecord* SgForce::GetTypeRecord() const { return &typeRecord; }
const SgTypeRecord* SgGravity::GetTypeRecord() const { return &typeRecord; }
const SgTypeRecord* SgParticleBomb::GetTypeRecord() const { return &typeRecord; }
const SgTypeRecord* SgSphericalCollider::GetTypeRecord() const { return &typeRecord; }
const SgTypeRecord* SgPlanarCollider::GetTypeRecord() const { return &typeRecord; }
const SgTypeRecord* SgMeshCollider::GetTypeRecord() const { return &typeRecord; }

uint32_t SgForce::CountChain(const SgForce* first) {
    uint32_t n = 0;
    for (const SgForce* f = first; f; f = f->next)
        ++n;
    return n;
}

// ---- Chains ----

void SgForceChain::Push(SgForce* force) {
    if (!force)
        return;
    // The link lives in the force: a force on another chain (or on this one) would loop it.
    if (force->onChain)
        force = force->Clone();
    force->IncRef();
    force->onChain = true;
    force->next = head_;
    head_ = force;
    ++count_;
}

void SgForceChain::Clear() {
    while (SgForce* f = head_) {
        head_ = f->next;
        f->next = nullptr;
        f->onChain = false;
        f->DecRef();
    }
    count_ = 0;
}

// ---- Gravity ----

bool SgGravity::LoadFromStream(SgSceneStream& s) {
    if (!SgForce::LoadFromStream(s))
        return false;
    decay = s.ReadF32();
    strength = s.ReadF32();
    kind = s.ReadU32();
    modelPosition = ReadVec(s);
    modelDirection = ReadVec(s);
    ResetWorld();
    return s.ReadOk();
}

void SgGravity::SaveToStream(SgSceneStream& s) const {
    SgForce::SaveToStream(s);
    s.WriteF32(decay);
    s.WriteF32(strength);
    s.WriteU32(kind);
    modelPosition.SaveToStream(s);
    modelDirection.SaveToStream(s);
}

bool SgGravity::IsEqualTo(const SgObject* other) const {
    const auto* o = SgKindCast<SgGravity>(other);
    return o && SgForce::IsEqualTo(o) && SgSameFloat(decay, o->decay) && SgSameFloat(strength, o->strength) &&
           kind == o->kind && SgSameVec(modelPosition, o->modelPosition) &&
           SgSameVec(modelDirection, o->modelDirection);
}

SgForce* SgGravity::Clone() const {
    auto* c = new SgGravity;
    c->decay = decay;
    c->strength = strength;
    c->kind = kind;
    c->modelPosition = modelPosition;
    c->modelDirection = modelDirection;
    c->worldPosition = worldPosition;
    c->worldDirection = worldDirection;
    return c;
}

bool SgGravity::ApplyToParticle(SgVec3& p, SgVec3& v, float& dt, float) {
    SgVec3 d = worldDirection;
    float along = 0.0f;
    if (kind == kPoint) {
        d = p - worldPosition;
        along = d.Length();
        if (along != 0.0f)
            d = d * (1.0f / along);
    } else {
        along = worldDirection.Dot(p);
    }
    float falloffFactor = decay == 0.0f ? 1.0f : std::exp(-decay * along);
    // The fixed step scale is single precision.
    float k = 0.16f * dt * strength * falloffFactor;
    v = v - d * k;
    return false;
}

void SgGravity::TransformToWorld(const SgMat3& r, const SgVec3& t, float scale) {
    worldPosition = PlacePoint(r, t, scale, worldPosition);
    worldDirection = r * worldDirection;
}

void SgGravity::ResetWorld() {
    worldPosition = modelPosition;
    worldDirection = modelDirection;
}

// ---- Bomb ----

bool SgParticleBomb::LoadFromStream(SgSceneStream& s) {
    if (!SgForce::LoadFromStream(s))
        return false;
    range = s.ReadF32();
    duration = s.ReadF32();
    strength = s.ReadF32();
    startTime = s.ReadF32();
    falloff = s.ReadU32();
    symmetry = s.ReadU32();
    modelPosition = ReadVec(s);
    modelDirection = ReadVec(s);
    ResetWorld();
    return s.ReadOk();
}

void SgParticleBomb::SaveToStream(SgSceneStream& s) const {
    SgForce::SaveToStream(s);
    s.WriteF32(range);
    s.WriteF32(duration);
    s.WriteF32(strength);
    s.WriteF32(startTime);
    s.WriteU32(falloff);
    s.WriteU32(symmetry);
    modelPosition.SaveToStream(s);
    modelDirection.SaveToStream(s);
}

bool SgParticleBomb::IsEqualTo(const SgObject* other) const {
    const auto* o = SgKindCast<SgParticleBomb>(other);
    return o && SgForce::IsEqualTo(o) && SgSameFloat(range, o->range) && SgSameFloat(duration, o->duration) &&
           SgSameFloat(strength, o->strength) && SgSameFloat(startTime, o->startTime) && falloff == o->falloff &&
           symmetry == o->symmetry && SgSameVec(modelPosition, o->modelPosition) &&
           SgSameVec(modelDirection, o->modelDirection);
}

SgForce* SgParticleBomb::Clone() const {
    auto* c = new SgParticleBomb;
    c->range = range;
    c->duration = duration;
    c->strength = strength;
    c->startTime = startTime;
    c->falloff = falloff;
    c->symmetry = symmetry;
    c->modelPosition = modelPosition;
    c->modelDirection = modelDirection;
    c->worldPosition = worldPosition;
    c->worldDirection = worldDirection;
    return c;
}

bool SgParticleBomb::ApplyToParticle(SgVec3& p, SgVec3& v, float& dt, float t) {
    float from = std::max(startTime, t - dt);
    float to = std::min(startTime + duration, t);
    float span = to - from;
    if (!(span > 0.0f))
        return false;
    SgVec3 d = p - worldPosition;
    float distance = d.Length();
    if (falloff != kFalloffNone) {
        // A reach of nothing (or less) reaches nothing; it would also divide by zero below.
        if (!(range > 0.0f) || distance > range)
            return false;
    }
    SgVec3 dir;
    if (symmetry == kSpherical) {
        // At the exact centre there is no direction to push in.
        if (distance == 0.0f)
            return false;
        dir = d * (1.0f / distance);
    } else if (symmetry == kPlanar) {
        float side = worldDirection.Dot(d);
        dir = side >= 0.0f ? worldDirection : -worldDirection;
        distance = std::fabs(side);
    } else {
        SgVec3 radial = d - worldDirection * worldDirection.Dot(d);
        distance = radial.Length();
        dir = distance != 0.0f ? radial * (1.0f / distance) : radial;
    }
    float f = 1.0f;
    if (falloff == kFalloffLinear)
        f = (range - distance) / range;
    else if (falloff == kFalloffExponential)
        f = 1.0f / std::exp(distance / range);
    v = v + dir * (strength * f * span);
    return false;
}

void SgParticleBomb::TransformToWorld(const SgMat3& r, const SgVec3& t, float scale) {
    worldPosition = PlacePoint(r, t, scale, worldPosition);
    worldDirection = r * worldDirection;
}

void SgParticleBomb::ResetWorld() {
    worldPosition = modelPosition;
    worldDirection = modelDirection;
}

// ---- Spherical collider ----

bool SgSphericalCollider::LoadFromStream(SgSceneStream& s) {
    if (!SgForce::LoadFromStream(s))
        return false;
    radius = s.ReadF32();
    radiusSquared = s.ReadF32();
    bounce = s.ReadF32();
    keptA = s.ReadF32();
    keptB = s.ReadF32();
    modelCentre = ReadVec(s);
    ResetWorld();
    return s.ReadOk();
}

void SgSphericalCollider::SaveToStream(SgSceneStream& s) const {
    SgForce::SaveToStream(s);
    s.WriteF32(radius);
    s.WriteF32(radiusSquared);
    s.WriteF32(bounce);
    s.WriteF32(keptA);
    s.WriteF32(keptB);
    modelCentre.SaveToStream(s);
}

bool SgSphericalCollider::IsEqualTo(const SgObject* other) const {
    const auto* o = SgKindCast<SgSphericalCollider>(other);
    return o && SgForce::IsEqualTo(o) && SgSameFloat(radius, o->radius) &&
           SgSameFloat(radiusSquared, o->radiusSquared) && SgSameFloat(bounce, o->bounce) &&
           SgSameFloat(keptA, o->keptA) && SgSameFloat(keptB, o->keptB);
}

SgForce* SgSphericalCollider::Clone() const {
    auto* c = new SgSphericalCollider;
    c->radius = radius;
    c->radiusSquared = radiusSquared;
    c->bounce = bounce;
    c->keptA = keptA;
    c->keptB = keptB;
    c->modelCentre = modelCentre;
    c->worldCentre = worldCentre;
    return c;
}

bool SgSphericalCollider::ApplyToParticle(SgVec3& p, SgVec3& v, float& dt, float) {
    // A sphere too small for the contact band has no surface to deflect at (and would divide by a
    // vanishing distance).
    if (!(radius > 0.001f))
        return false;
    SgVec3 d = worldCentre - p;
    float distance = d.Length();
    if (radius - 0.001f <= distance && distance < radius + 0.001f) {
        // Resting on the surface: the radial part goes, without a bounce.
        SgVec3 n = d * (1.0f / distance);
        v = v - n * v.Dot(n);
        return true;
    }
    SgVec3 motion = v * dt;
    float length = motion.Length();
    if (length <= 0.001f)
        return false;
    SgVec3 u = motion * (1.0f / length);
    float b = u.Dot(d);
    float c2 = d.Dot(d);
    bool inside = c2 < radiusSquared;
    float k2 = b * b + (radiusSquared - c2);
    if (!inside && (b < 0.0f || k2 < 0.0f))
        return false;
    float h = std::sqrt(std::max(k2, 0.0f));
    float k = inside ? b + h : b - h;
    if (k > length)
        return false;
    SgVec3 q = p + u * k;
    dt = dt - (k / length) * dt;
    SgVec3 n = (q - worldCentre) * (1.0f / radius);
    if (inside)
        n = -n;
    v = v - n * (2.0f * v.Dot(n));
    v = v * bounce;
    p = q;
    return true;
}

void SgSphericalCollider::TransformToWorld(const SgMat3& r, const SgVec3& t, float scale) {
    worldCentre = PlacePoint(r, t, scale, worldCentre);
}

void SgSphericalCollider::ResetWorld() { worldCentre = modelCentre; }

// ---- Planar collider ----

bool SgPlanarCollider::LoadFromStream(SgSceneStream& s) {
    if (!SgForce::LoadFromStream(s))
        return false;
    modelConstant = s.ReadF32();
    width = s.ReadF32();
    height = s.ReadF32();
    bounce = s.ReadF32();
    modelPosition = ReadVec(s);
    modelFirstAxis = ReadVec(s);
    modelSecondAxis = ReadVec(s);
    modelNormal = ReadVec(s);
    ResetWorld();
    worldConstant = modelConstant;
    return s.ReadOk();
}

void SgPlanarCollider::SaveToStream(SgSceneStream& s) const {
    SgForce::SaveToStream(s);
    s.WriteF32(modelConstant);
    s.WriteF32(width);
    s.WriteF32(height);
    s.WriteF32(bounce);
    modelPosition.SaveToStream(s);
    modelFirstAxis.SaveToStream(s);
    modelSecondAxis.SaveToStream(s);
    modelNormal.SaveToStream(s);
}

bool SgPlanarCollider::IsEqualTo(const SgObject* other) const {
    const auto* o = SgKindCast<SgPlanarCollider>(other);
    return o && SgForce::IsEqualTo(o) && SgSameFloat(modelConstant, o->modelConstant) &&
           SgSameFloat(width, o->width) && SgSameFloat(height, o->height) && SgSameFloat(bounce, o->bounce) &&
           SgSameVec(modelPosition, o->modelPosition) && SgSameVec(modelFirstAxis, o->modelFirstAxis) &&
           SgSameVec(modelSecondAxis, o->modelSecondAxis) && SgSameVec(modelNormal, o->modelNormal);
}

SgForce* SgPlanarCollider::Clone() const {
    auto* c = new SgPlanarCollider;
    c->width = width;
    c->height = height;
    c->bounce = bounce;
    c->modelPosition = modelPosition;
    c->modelFirstAxis = modelFirstAxis;
    c->modelSecondAxis = modelSecondAxis;
    c->modelNormal = modelNormal;
    c->modelConstant = modelConstant;
    c->worldPosition = worldPosition;
    c->worldFirstAxis = worldFirstAxis;
    c->worldSecondAxis = worldSecondAxis;
    c->worldNormal = worldNormal;
    c->worldConstant = worldConstant;
    return c;
}

bool SgPlanarCollider::ApplyToParticle(SgVec3& p, SgVec3& v, float& dt, float) {
    float side = worldNormal.Dot(p) + worldConstant;
    SgVec3 motion = v * dt;
    float e = worldNormal.Dot(motion);
    if (-0.001f < e && e < 0.001f)
        return false;
    if (e > 0.0f) {
        // Met from behind: the plane turns to face the particle, and stays turned.
        worldNormal = -worldNormal;
        worldConstant = -worldConstant;
        e = -e;
        side = -side;
    }
    bool front = side > 0.0f;
    float f = -side / e;
    if (f < 0.0f || f > 1.0f)
        return false;
    SgVec3 q = p + motion * f;
    if ((worldNormal.Dot(q) + worldConstant > 0.0f) != front)
        q = q + worldNormal * (front ? 0.001f : -0.001f);
    SgVec3 r = q - worldPosition;
    float a = r.Dot(worldFirstAxis);
    SgVec3 across = r - worldFirstAxis * a;
    float halfWidth = width / 2;
    if (std::fabs(a) > height / 2 || across.SquaredLength() > halfWidth * halfWidth)
        return false;
    dt = dt - dt * f;
    v = v - worldNormal * (2.0f * v.Dot(worldNormal));
    v = v * bounce;
    p = q;
    return true;
}

void SgPlanarCollider::TransformToWorld(const SgMat3& r, const SgVec3& t, float scale) {
    worldPosition = PlacePoint(r, t, scale, worldPosition);
    worldFirstAxis = r * worldFirstAxis;
    worldSecondAxis = r * worldSecondAxis;
    worldNormal = r * worldNormal;
    worldConstant = -worldNormal.Dot(worldPosition);
}

void SgPlanarCollider::ResetWorld() {
    worldPosition = modelPosition;
    worldFirstAxis = modelFirstAxis;
    worldSecondAxis = modelSecondAxis;
    worldNormal = modelNormal;
}

// ---- Mesh collider ----

SgMeshCollider::~SgMeshCollider() = default;

bool SgMeshCollider::LoadFromStream(SgSceneStream& s) {
    if (!SgForce::LoadFromStream(s))
        return false;
    value = s.ReadF32();
    for (uint32_t& w : keptWords)
        w = s.ReadU32();
    uint32_t id = s.ReadU32();
    if (SgLinkIdData* link = LinkRecordBase())
        link->refId = id;
    return s.ReadOk();
}

void SgMeshCollider::LinkFromStream(SgSceneStream& s) {
    SgForce::LinkFromStream(s);
    if (SgLinkIdData* link = LinkRecordBase())
        mesh = s.Resolve<SgAVObject>(link->refId);
}

bool SgMeshCollider::RegisterInStream(SgSceneStream& s) {
    if (!SgForce::RegisterInStream(s))
        return false;
    if (mesh)
        mesh->RegisterInStream(s);
    return true;
}

void SgMeshCollider::SaveToStream(SgSceneStream& s) const {
    SgForce::SaveToStream(s);
    s.WriteF32(value);
    for (uint32_t w : keptWords)
        s.WriteU32(w);
    s.WriteLinkId(mesh.Get());
}

bool SgMeshCollider::IsEqualTo(const SgObject* other) const {
    return SgKindCast<SgMeshCollider>(other) && SgForce::IsEqualTo(other);
}

SgForce* SgMeshCollider::Clone() const {
    auto* c = new SgMeshCollider;
    c->value = value;
    for (int i = 0; i < 3; ++i)
        c->keptWords[i] = keptWords[i];
    c->mesh = mesh;
    return c;
}
