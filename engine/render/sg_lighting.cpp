#include "engine/render/sg_lighting.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "engine/core/sg_light.h"
#include "engine/core/sg_property.h"
#include "engine/render/sg_vertex_work.h"

namespace {

constexpr float kFloatMax = 3.4028235e38f;

float Clamp01(float v) { return v > 0.0f ? (v < 1.0f ? v : 1.0f) : 0.0f; }
SgRgb Clamp01(const SgRgb& c) { return {Clamp01(c.r), Clamp01(c.g), Clamp01(c.b)}; }
SgRgb Scale(const SgRgb& c, float s) { return {c.r * s, c.g * s, c.b * s}; }
float Dot(const SgVec3& a, const SgVec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
SgVec3 Sub(const SgVec3& a, const SgVec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
float Length(const SgRgb& c) { return std::sqrt(c.r * c.r + c.g * c.g + c.b * c.b); }

SgVec3 NormalisedOrZero(const SgVec3& v) {
    const float len = std::sqrt(Dot(v, v));
    if (len <= 0.000001f)
        return {};
    return {v.x / len, v.y / len, v.z / len};
}

uint32_t Bucket(int32_t key) { return static_cast<uint32_t>(key) % 53u; }

}  // namespace

// ---- Light table ----

struct SgLightTable::Block {
    SgLightEntry entries[16];
    Block* next = nullptr;
};

SgLightTable::SgLightTable() { AddBlock(); }

SgLightTable::~SgLightTable() {
    while (blocks_) {
        Block* next = blocks_->next;
        delete blocks_;
        blocks_ = next;
    }
}

bool SgLightTable::AddBlock() {
    auto* block = new (std::nothrow) Block;
    if (!block)
        return false;
    block->next = blocks_;
    blocks_ = block;
    for (SgLightEntry& e : block->entries) {
        e.next = free_;
        free_ = &e;
    }
    return true;
}

SgLightEntry* SgLightTable::Find(int32_t key) {
    if (key < 0)
        return nullptr;
    if (lastFound_ && lastFound_->key == key)
        return lastFound_;
    for (SgLightEntry* e = buckets_[Bucket(key)]; e; e = e->chain)
        if (e->key == key)
            return lastFound_ = e;
    return nullptr;
}

SgLightEntry* SgLightTable::FindOrCreate(int32_t key) {
    if (key < 0)
        return nullptr;
    if (SgLightEntry* e = Find(key))
        return e;
    if (!free_ && !AddBlock())
        return nullptr;
    SgLightEntry* e = free_;
    free_ = e->next;
    *e = SgLightEntry{};
    e->key = key;
    e->chain = buckets_[Bucket(key)];
    buckets_[Bucket(key)] = e;
    e->next = all_;
    all_ = e;
    ++count_;
    return lastFound_ = e;
}

void SgLightTable::Remove(SgLightEntry* entry) {
    if (!entry || entry->key < 0)
        return;
    for (SgLightEntry** p = &buckets_[Bucket(entry->key)]; *p; p = &(*p)->chain)
        if (*p == entry) {
            *p = entry->chain;
            break;
        }
    for (SgLightEntry** p = &all_; *p; p = &(*p)->next)
        if (*p == entry) {
            *p = entry->next;
            break;
        }
    if (lastFound_ == entry)
        lastFound_ = nullptr;
    entry->key = -1;
    entry->next = free_;
    free_ = entry;
    --count_;
}

void SgLightTable::UpdateLightEntry(const SgLight* light, bool on, bool* changed) {
    if (changed)
        *changed = false;
    SgLightEntry* e = FindOrCreate(static_cast<int32_t>(light->LightIndex()));
    if (!e)
        return;
    if (!on) {
        e->flags &= ~SgLightEntry::kOn;
        return;
    }
    e->flags |= SgLightEntry::kOn;
    if (e->revision == light->revision)
        return;
    if (changed)
        *changed = true;
    e->revision = light->revision;
    e->dimmer = light->dimmer;
    e->ambient = light->ambient;
    e->diffuse = light->diffuse;
    e->specular = light->specular;
    e->ambientDimmed = Scale(light->ambient, light->dimmer);
    e->diffuseDimmed = Scale(light->diffuse, light->dimmer);
    e->specularDimmed = Scale(light->specular, light->dimmer);
    e->kind = light->type;
    switch (light->type) {
    case SgLight::kAmbient: return;
    case SgLight::kDirectional: e->direction = NormalisedOrZero(light->worldDirection); break;
    case SgLight::kPoint: e->position = light->worldPosition; break;
    case SgLight::kSpot: {
        e->position = light->worldPosition;
        e->direction = NormalisedOrZero(light->worldDirection);
        e->coneAngle = light->coneAngle * 0.01745328f;
        const float c = std::cos(e->coneAngle);
        if (c >= 0.0f) {
            e->cos2 = c * c;
            const float s = std::sin(e->coneAngle);
            e->sin2 = s * s;
        } else {
            e->coneAngle = 1.570795f;
            e->cos2 = 0.0f;
            e->sin2 = 1.0f;
        }
        e->spotExponent = light->spotExponent;
        break;
    }
    default: break;
    }
    if (!light->attenuate) {
        e->flags = (e->flags & ~SgLightEntry::kAttenuated) | SgLightEntry::kReachStale;
    } else if (light->range <= 0.0f) {
        e->attenuationA = e->attenuationB = kFloatMax;
        e->flags |= SgLightEntry::kLinearOnly | SgLightEntry::kAttenuated | SgLightEntry::kReachStale;
    } else {
        const float range = light->range;
        const float f2 = light->falloff * light->falloff;
        const float q = f2 * f2;
        const float d = range * (1.0f - q) + q * range * range * range;
        e->attenuationA = 64.0f * (1.0f - q) / d;
        e->attenuationB = 64.0f * q / d;
        e->flags |= SgLightEntry::kAttenuated | SgLightEntry::kReachStale;
        if (q != 0.0f)
            e->flags &= ~SgLightEntry::kLinearOnly;
        else
            e->flags |= SgLightEntry::kLinearOnly;
    }
}

float SgPointLightReach(float a, float b, float m) {
    const float target = 64.0f * m;
    if (b <= 0.00001f)
        return target / a;
    // d^3 + p d = q with p = A / B > 0 has the one real root 2 sqrt(p/3) sinh(asinh(..) / 3). With
    // A (almost) 0 the form divides by zero: the root is then the cube root of q.
    const double p = static_cast<double>(a) / b;
    const double q = static_cast<double>(target) / b;
    const double arg = 1.5 * q / p * std::sqrt(3.0 / p);
    if (!(p > 1e-12) || !std::isfinite(arg))
        return static_cast<float>(std::cbrt(q));
    const double s = std::sqrt(4.0 * a / (3.0 * b));
    return static_cast<float>(s * std::sinh(std::asinh(arg) / 3.0));
}

// ---- Material cache ----

struct SgMaterialCache::Block {
    SgMaterialEntry entries[32];
    Block* next = nullptr;
};

SgMaterialCache::~SgMaterialCache() {
    while (blocks_) {
        Block* next = blocks_->next;
        delete blocks_;
        blocks_ = next;
    }
}

bool SgMaterialCache::AllocPool() {
    auto* block = new (std::nothrow) Block;
    if (!block)
        return false;
    block->next = blocks_;
    blocks_ = block;
    for (SgMaterialEntry& e : block->entries) {
        e.chain = free_;
        free_ = &e;
    }
    return true;
}

uint32_t SgMaterialCache::Lookup(const SgMaterialProperty* material, bool* changed) {
    if (changed)
        *changed = false;
    const auto key = static_cast<int32_t>(material->materialId);
    if (key < 0)
        return 0;
    SgMaterialEntry* e = nullptr;
    if (lastFound_ && lastFound_->key == key) {
        e = lastFound_;
    } else {
        for (SgMaterialEntry* c = buckets_[Bucket(key)]; c; c = c->chain)
            if (c->key == key) {
                e = c;
                break;
            }
    }
    if (!e) {
        if (!free_ && !AllocPool())
            return 0;
        e = free_;
        free_ = e->chain;
        *e = SgMaterialEntry{};
        e->key = key;
        e->revision = material->revision - 1;  // a new entry is always filled
        e->chain = buckets_[Bucket(key)];
        buckets_[Bucket(key)] = e;
    }
    lastFound_ = e;
    if (e->revision != material->revision) {
        if (changed)
            *changed = true;
        e->revision = material->revision;
        e->ambient = Clamp01(material->ambient);
        e->diffuse = Clamp01(material->diffuse);
        e->specular = Clamp01(material->specular);
        e->emissive = Clamp01(material->emissive);
        e->alpha = Clamp01(material->alpha);
        e->ambientLevel = Length(e->ambient) * 0.33333334f;
        e->diffuseLevel = Length(e->diffuse) * 0.33333334f;
    }
    current_ = e;
    return e->value;
}

// ---- Vertex lighting ----

namespace {

enum class LightRoutine { AmbientOnly, Diffuse, Specular };

// Whether an attenuated point light can reach the object at all.
bool Reaches(SgLightEntry& e, const SgBoundSphere& bound) {
    if (e.flags & SgLightEntry::kReachStale) {
        if (e.kind == SgLight::kPoint) {
            const float m = std::max({e.diffuseDimmed.r, e.diffuseDimmed.g, e.diffuseDimmed.b});
            e.reach = SgPointLightReach(e.attenuationA, e.attenuationB, m);
        } else {
            e.reach = kFloatMax;
        }
        e.flags &= ~SgLightEntry::kReachStale;
    }
    const SgVec3 d = Sub(bound.centre, e.position);
    const float r = bound.radius + e.reach;
    return Dot(d, d) < r * r;
}

template <LightRoutine kRoutine>
void AddLight(SgLightEntry& e, const SgLightingInput& in, float specularK) {
    const SgMaterialEntry& m = *in.material;
    const SgRgb c{e.diffuseDimmed.r * m.diffuse.r * 255.0f, e.diffuseDimmed.g * m.diffuse.g * 255.0f,
                  e.diffuseDimmed.b * m.diffuse.b * 255.0f};
    const bool attenuated = (e.flags & SgLightEntry::kAttenuated) != 0;
    if (attenuated && e.kind == SgLight::kPoint && !Reaches(e, in.bound))
        return;
    const bool linearOnly = (e.flags & SgLightEntry::kLinearOnly) != 0;
    const bool withSpecular = kRoutine == LightRoutine::Specular && specularK > 0.0f;
    for (uint32_t i = 0; i < in.vertexCount; ++i) {
        SgVertexWorkRecord& r = in.records[i];
        if (!r.used)
            continue;
        const SgVec3& n = in.normals[i];
        const SgVec3& p = in.positions[i];
        float k = 0.0f;  // the diffuse factor
        float spec = 0.0f;
        SgVec3 eyeDir{};
        if (withSpecular)
            eyeDir = Sub(in.eye, p);
        switch (e.kind) {
        case SgLight::kDirectional: {
            const SgVec3 l{-e.direction.x, -e.direction.y, -e.direction.z};
            const float nl = Dot(n, l);
            if (nl > 0.0f)
                k = nl;
            if (withSpecular) {
                const SgVec3 refl{e.direction.x + 2 * nl * n.x, e.direction.y + 2 * nl * n.y,
                                  e.direction.z + 2 * nl * n.z};
                const float er = Dot(eyeDir, refl);
                if (er > 0.0f)
                    spec = specularK * er * er / Dot(eyeDir, eyeDir);
            }
            break;
        }
        case SgLight::kPoint: {
            const SgVec3 v = Sub(e.position, p);
            const float nv = Dot(n, v);
            const float d2 = Dot(v, v);
            const float d = std::sqrt(d2);
            if (nv > 0.0f) {
                if (!attenuated)
                    k = nv / d;
                else if (linearOnly)
                    k = nv / (e.attenuationA * d2);
                else
                    k = nv / ((e.attenuationA + e.attenuationB * d2) * d2);
            }
            if (withSpecular) {
                const SgVec3 refl{2 * nv * n.x - v.x, 2 * nv * n.y - v.y, 2 * nv * n.z - v.z};
                const float er = Dot(eyeDir, refl);
                if (er > 0.0f) {
                    const float w = attenuated ? (e.attenuationA + e.attenuationB * d2) * d2 : d;
                    spec = specularK * er * er / ((w + d2) * Dot(eyeDir, eyeDir));
                }
            }
            break;
        }
        case SgLight::kSpot: {
            const SgVec3 v = Sub(e.position, p);
            const float s = Dot(v, e.direction);
            const float d2 = Dot(v, v);
            const float g = s * s - e.cos2 * d2;
            const float nv = Dot(n, v);
            // Nothing outside the cone, the specular included.
            if (!(s < 0.0f && g > 0.0f))
                break;
            const float w = attenuated ? (e.attenuationA + e.attenuationB * d2) * d2 : std::sqrt(d2);
            const float cone = g / (e.sin2 * s * s * w);
            if (nv > 0.0f)
                k = cone * nv;
            if (withSpecular) {
                const SgVec3 refl{2 * nv * n.x - v.x, 2 * nv * n.y - v.y, 2 * nv * n.z - v.z};
                const float er = Dot(eyeDir, refl);
                if (er > 0.0f)
                    spec = specularK * cone * er * er / Dot(eyeDir, eyeDir);
            }
            break;
        }
        default: break;
        }
        if (k > 0.0f) {
            r.r += c.r * k;
            r.g += c.g * k;
            r.b += c.b * k;
        }
        if (spec > 0.0f)
            r.specular += spec;
    }
}

template <LightRoutine kRoutine>
void Light(SgLightTable& lights, const SgLightingInput& in) {
    const SgMaterialEntry& m = *in.material;
    for (uint32_t i = 0; i < in.vertexCount; ++i) {
        SgVertexWorkRecord& r = in.records[i];
        if (!r.used)
            continue;
        r.x = in.positions[i].x;
        r.y = in.positions[i].y;
        r.z = in.positions[i].z;
        if (in.textureSets) {
            r.u = in.textureSets[i].x;
            r.v = in.textureSets[i].y;
        }
        r.emittedTag = 0;
        r.r = m.emissive.r * 255.0f;
        r.g = m.emissive.g * 255.0f;
        r.b = m.emissive.b * 255.0f;
        r.a = m.alpha * 255.0f;
        if (kRoutine == LightRoutine::Specular)
            r.specular = 0.0f;
    }
    SgRgb ambientSum;
    for (SgLightEntry* e = lights.First(); e; e = e->next) {
        // A kind the renderer does not know adds nothing, not even its ambient part.
        if (!(e->flags & SgLightEntry::kOn) || e->kind > SgLight::kSpot)
            continue;
        ambientSum.r += e->ambientDimmed.r;
        ambientSum.g += e->ambientDimmed.g;
        ambientSum.b += e->ambientDimmed.b;
        if (kRoutine == LightRoutine::AmbientOnly || e->kind == SgLight::kAmbient)
            continue;
        const float k = e->specularDimmed.b * (m.specular.b * 255.0f);
        AddLight<kRoutine>(*e, in, k);
    }
    const SgRgb la{m.ambient.r * 255.0f * ambientSum.r, m.ambient.g * 255.0f * ambientSum.g,
                   m.ambient.b * 255.0f * ambientSum.b};
    for (uint32_t i = 0; i < in.vertexCount; ++i) {
        SgVertexWorkRecord& r = in.records[i];
        if (!r.used)
            continue;
        if (!in.vertexColors) {
            r.r += la.r;
            r.g += la.g;
            r.b += la.b;
        } else {
            const SgRgba& vc = in.vertexColors[i];
            if (in.addVertexColors) {
                r.r += vc.r * 255.0f + la.r;
                r.g += vc.g * 255.0f + la.g;
                r.b += vc.b * 255.0f + la.b;
            } else {
                r.r = (r.r + la.r) * vc.r;
                r.g = (r.g + la.g) * vc.g;
                r.b = (r.b + la.b) * vc.b;
            }
            r.a *= vc.a;
        }
        r.r = std::min(r.r, 255.0f);
        r.g = std::min(r.g, 255.0f);
        r.b = std::min(r.b, 255.0f);
        r.a = std::min(r.a, 255.0f);
    }
}

}  // namespace

void ComputeVertexColors(SgLightTable& lights, const SgLightingInput& in) {
    if (!in.normals)
        Light<LightRoutine::AmbientOnly>(lights, in);
    else if (in.specularOn)
        Light<LightRoutine::Specular>(lights, in);
    else
        Light<LightRoutine::Diffuse>(lights, in);
}
