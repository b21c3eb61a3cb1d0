#include "engine/animation/sg_position_key.h"

#include <cmath>

namespace {

// Curvature sampling: 21 samples per segment.
constexpr int kCurvatureSteps = 20;
constexpr float kCurvatureStep = 1.0f / kCurvatureSteps;
constexpr float kFrameEpsilon = 1e-6f;

const SgPositionKeyTangent* AsHermite(const SgPositionKey* key) {
    return dynamic_cast<const SgPositionKeyTangent*>(key);
}

// |d1 x d2| / (d1 . d1); false when d1 is zero (the path has no direction there).
bool Curvature(const SgVec3& d1, const SgVec3& d2, float& out) {
    double speed2 = double(d1.x) * d1.x + double(d1.y) * d1.y + double(d1.z) * d1.z;
    if (!(speed2 > 0.0))
        return false;
    out = static_cast<float>(d1.Cross(d2).Length() / speed2);
    return true;
}

}  // namespace

// ---- Registration and sequences ----

SgPositionKey::CreateTable& SgPositionKey::Table() {
    static CreateTable table;
    return table;
}

int SgPositionKey::RegisterType0() {
    static bool done = false;
    return Table().Register(done, 0, SgCreateNoKey<SgPositionKey>, 0);
}

int SgPositionKeyLinear::Register() {
    static bool done = false;
    return Table().Register(done, kType, SgCreateKey<SgPositionKey, SgPositionKeyLinear>, kRecordBytes);
}

int SgPositionKeyTangent::Register() {
    static bool done = false;
    return Table().Register(done, kType, SgCreateKey<SgPositionKey, SgPositionKeyTangent>, kRecordBytes);
}

int SgPositionKeyShaped::Register() {
    static bool done = false;
    return Table().Register(done, kType, SgCreateKey<SgPositionKey, SgPositionKeyShaped>, kRecordBytes);
}

bool SgPositionKey::LoadSequence(SgSceneStream& s, SgKeyArray<SgPositionKey>& out) {
    return SgLoadKeySequence(s, Table(), out);
}

void SgPositionKey::SaveSequence(SgSceneStream& s, const SgPositionKey* const* keys, uint32_t count) {
    SgSaveKeySequence(s, keys, count);
}

// ---- The plain form: linear ----

bool SgPositionKey::LoadFromStream(SgSceneStream& s) {
    time = s.ReadF32();
    position.LoadFromStream(s);
    return s.ReadOk();
}

void SgPositionKey::SaveToStream(SgSceneStream& s) const {
    s.WriteF32(time);
    position.SaveToStream(s);
}

bool SgPositionKey::IsEqualTo(const SgPositionKey* o) const {
    return o && o->KeyType() == KeyType() && SgSameFloat(time, o->time) && SgSameVec(position, o->position);
}

SgPositionKey* SgPositionKey::Clone() const { return new SgPositionKey(*this); }

SgPositionKey* SgPositionKey::Interpolate(SgPositionKey* out, float u, const SgPositionKey* next) const {
    const SgVec3& p1 = next ? next->position : position;
    out->time = u;
    out->position = position * (1.0f - u) + p1 * u;
    return out;
}

void SgPositionKey::FirstDerivative(SgVec3& out, float, const SgPositionKey* next) const {
    out = next ? next->position - position : SgZeroVec3;
}

void SgPositionKey::SecondDerivative(SgVec3& out, float, const SgPositionKey*) const { out = SgZeroVec3; }

void SgPositionKey::PrepareSequence(SgPositionKey* const*, uint32_t) const {}

float SgPositionKey::MaxCurvature(const SgPositionKey* const*, uint32_t) const { return 0.0f; }

void SgPositionKey::PathFrame(float u, const SgPositionKey* next, SgVec3& tangent, SgVec3& normal, SgVec3& binormal,
                              float& curvature) const {
    SgVec3 d1, d2;
    FirstDerivative(d1, u, next);
    SecondDerivative(d2, u, next);
    float k = 0.0f;
    if (!Curvature(d1, d2, k)) {
        tangent = normal = binormal = SgZeroVec3;
        curvature = 0.0f;
        return;
    }
    SgVec3 t = d1 * (1.0f / d1.Length());
    SgVec3 n;
    if (k > kFrameEpsilon) {
        curvature = k;
        n = d2 * d1.Dot(d1) - d1 * d1.Dot(d2);
    } else {
        curvature = 0.0f;
        if (std::fabs(t.x) > kFrameEpsilon || std::fabs(t.y) > kFrameEpsilon)
            n = {t.y, -t.x, 0.0f};
        else
            n = {0.0f, -t.z, t.y};
    }
    n.Normalize();
    tangent = t;
    normal = n;
    binormal = t.Cross(n);
}

// ---- Hermite segments ----

bool SgPositionKeyTangent::LoadTangents(SgSceneStream& s) {
    incomingTangent.LoadFromStream(s);
    outgoingTangent.LoadFromStream(s);
    c2.LoadFromStream(s);
    c3.LoadFromStream(s);
    return s.ReadOk();
}

void SgPositionKeyTangent::SaveTangents(SgSceneStream& s) const {
    incomingTangent.SaveToStream(s);
    outgoingTangent.SaveToStream(s);
    c2.SaveToStream(s);
    c3.SaveToStream(s);
}

bool SgPositionKeyTangent::SameTangents(const SgPositionKeyTangent* o) const {
    return SgSameVec(incomingTangent, o->incomingTangent) && SgSameVec(outgoingTangent, o->outgoingTangent) &&
           SgSameVec(c2, o->c2) && SgSameVec(c3, o->c3);
}

bool SgPositionKeyTangent::LoadFromStream(SgSceneStream& s) {
    SgPositionKey::LoadFromStream(s);
    return LoadTangents(s);
}

void SgPositionKeyTangent::SaveToStream(SgSceneStream& s) const {
    SgPositionKey::SaveToStream(s);
    SaveTangents(s);
}

bool SgPositionKeyTangent::IsEqualTo(const SgPositionKey* other) const {
    return SgPositionKey::IsEqualTo(other) && SameTangents(static_cast<const SgPositionKeyTangent*>(other));
}

SgPositionKey* SgPositionKeyTangent::Interpolate(SgPositionKey* out, float u, const SgPositionKey*) const {
    out->time = u;
    out->position = ((c3 * u + c2) * u + outgoingTangent) * u + position;
    return out;
}

void SgPositionKeyTangent::FirstDerivative(SgVec3& out, float u, const SgPositionKey*) const {
    out = (c3 * (3.0f * u) + c2 * 2.0f) * u + outgoingTangent;
}

void SgPositionKeyTangent::SecondDerivative(SgVec3& out, float u, const SgPositionKey*) const {
    out = c3 * (6.0f * u) + c2 * 2.0f;
}

void SgPositionKeyTangent::PrepareSequence(SgPositionKey* const* keys, uint32_t count) const {
    if (!keys)
        return;
    for (uint32_t i = 0; i + 1 < count; ++i) {
        auto* k = dynamic_cast<SgPositionKeyTangent*>(keys[i]);
        const SgPositionKeyTangent* m = AsHermite(keys[i + 1]);
        if (!k || !m)
            continue;
        SgVec3 d = m->position - k->position;
        k->c2 = d * 3.0f - (m->incomingTangent + k->outgoingTangent * 2.0f);
        k->c3 = k->outgoingTangent + m->incomingTangent - d * 2.0f;
    }
}

float SgPositionKeyTangent::MaxCurvature(const SgPositionKey* const* keys, uint32_t count) const {
    float best = 0.0f;
    if (!keys)
        return best;
    for (uint32_t i = 0; i + 1 < count; ++i) {
        for (int j = 0; j <= kCurvatureSteps; ++j) {
            float u = static_cast<float>(j) * kCurvatureStep;
            SgVec3 d1, d2;
            keys[i]->FirstDerivative(d1, u, keys[i + 1]);
            keys[i]->SecondDerivative(d2, u, keys[i + 1]);
            float k = 0.0f;
            if (Curvature(d1, d2, k) && k > best)
                best = k;
        }
    }
    return best;
}

// ---- Shaped tangents ----

bool SgPositionKeyShaped::LoadFromStream(SgSceneStream& s) {
    SgPositionKey::LoadFromStream(s);
    tension = s.ReadF32();
    continuity = s.ReadF32();
    bias = s.ReadF32();
    return LoadTangents(s);
}

void SgPositionKeyShaped::SaveToStream(SgSceneStream& s) const {
    SgPositionKey::SaveToStream(s);
    s.WriteF32(tension);
    s.WriteF32(continuity);
    s.WriteF32(bias);
    SaveTangents(s);
}

bool SgPositionKeyShaped::IsEqualTo(const SgPositionKey* other) const {
    if (!SgPositionKeyTangent::IsEqualTo(other))
        return false;
    auto* o = static_cast<const SgPositionKeyShaped*>(other);
    return SgSameFloat(tension, o->tension) && SgSameFloat(continuity, o->continuity) && SgSameFloat(bias, o->bias);
}

void SgPositionKeyShaped::PrepareSequence(SgPositionKey* const* keys, uint32_t count) const {
    if (!keys || count < 2)
        return;
    auto value = [keys](uint32_t i) { return keys[i]->position; };
    auto time = [keys](uint32_t i) { return keys[i]->time; };
    for (uint32_t i = 0; i < count; ++i) {
        auto* k = dynamic_cast<SgPositionKeyShaped*>(keys[i]);
        if (k)
            SgTcbTangents(i, count, value, time, SgTcb{k->tension, k->continuity, k->bias}, k->incomingTangent,
                          k->outgoingTangent);
    }
    SgPositionKeyTangent::PrepareSequence(keys, count);
}
