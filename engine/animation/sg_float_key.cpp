#include "engine/animation/sg_float_key.h"

#include <algorithm>
#include <cstring>

namespace {

// ((3D - (T1 + 2 T0) + (T1 + T0 - 2D) u) u + T0) u + a0 with D = a1 - a0.
float Hermite(float u, float a0, float t0, float a1, float t1) {
    double d = double(a1) - a0;
    return static_cast<float>(((3.0 * d - (double(t1) + 2.0 * t0) + (double(t1) + t0 - 2.0 * d) * u) * u + t0) * u + a0);
}

float IncomingOf(const SgFloatKey* key) {
    auto* k = dynamic_cast<const SgFloatKeyTangent*>(key);
    return k ? k->incomingTangent : 0.0f;
}

}  // namespace

// ---- Registration and sequences ----

SgFloatKey::CreateTable& SgFloatKey::Table() {
    static CreateTable table;
    return table;
}

int SgFloatKey::RegisterType0() {
    static bool done = false;
    return Table().Register(done, 0, SgCreateNoKey<SgFloatKey>, 0);
}

int SgFloatKey::RegisterType4() {
    static bool done = false;
    return Table().Register(done, 4, SgCreateNoKey<SgFloatKey>, 0);
}

int SgFloatKeyLinear::Register() {
    static bool done = false;
    return Table().Register(done, kType, SgCreateKey<SgFloatKey, SgFloatKeyLinear>, kRecordBytes);
}

int SgFloatKeyTangent::Register() {
    static bool done = false;
    return Table().Register(done, kType, SgCreateKey<SgFloatKey, SgFloatKeyTangent>, kRecordBytes);
}

int SgFloatKeyShaped::Register() {
    static bool done = false;
    return Table().Register(done, kType, SgCreateKey<SgFloatKey, SgFloatKeyShaped>, kRecordBytes);
}

int SgFloatKeyArrays::Register() {
    static bool done = false;
    return Table().Register(done, kType, SgCreateKey<SgFloatKey, SgFloatKeyArrays>, kRecordBytes);
}

int SgFloatKeyPair::Register() {
    static bool done = false;
    return Table().Register(done, kType, SgCreateKey<SgFloatKey, SgFloatKeyPair>, kRecordBytes);
}

bool SgFloatKey::LoadSequence(SgSceneStream& s, SgKeyArray<SgFloatKey>& out) {
    return SgLoadKeySequence(s, Table(), out) && CheckSequence(out);
}

bool SgFloatKey::LoadRecords(SgSceneStream& s, uint32_t count, SgKeyArray<SgFloatKey>& out) {
    return SgLoadKeyRecords(s, Table(), count, out) && CheckSequence(out);
}

bool SgFloatKey::CheckSequence(SgKeyArray<SgFloatKey>& out) {
    // Array keys interpolate index by index and weight pairs index one weight array: a sequence
    // whose keys disagree would read past the shorter arrays.
    bool ok = true;
    SgFloatKey* first = out.First();
    if (auto* a0 = dynamic_cast<SgFloatKeyArrays*>(first)) {
        for (uint32_t i = 1; i < out.Count() && ok; ++i)
            ok = static_cast<SgFloatKeyArrays*>(out[i])->Count() == a0->Count();
    } else if (auto* p0 = dynamic_cast<SgFloatKeyPair*>(first)) {
        ok = p0->weightCount <= SgFloatKeyPair::kMaxWeights;
        for (uint32_t i = 0; i < out.Count() && ok; ++i) {
            auto* p = static_cast<SgFloatKeyPair*>(out[i]);
            ok = p->weightCount == p0->weightCount && p->targetIndex < p->weightCount;
        }
    }
    if (!ok)
        out.Clear();
    return ok;
}

void SgFloatKey::SaveSequence(SgSceneStream& s, const SgFloatKey* const* keys, uint32_t count) {
    SgSaveKeySequence(s, keys, count);
}

// ---- Linear (the base) ----

bool SgFloatKey::LoadFromStream(SgSceneStream& s) {
    time = s.ReadF32();
    value = s.ReadF32();
    return s.ReadOk();
}

void SgFloatKey::SaveToStream(SgSceneStream& s) const {
    s.WriteF32(time);
    s.WriteF32(value);
}

bool SgFloatKey::IsEqualTo(const SgFloatKey* o) const {
    return o && o->KeyType() == KeyType() && SgSameFloat(time, o->time) && SgSameFloat(value, o->value);
}

SgFloatKey* SgFloatKey::Clone() const { return new SgFloatKey(*this); }

float SgFloatKey::Interpolate(float u, const SgFloatKey* next) const {
    float a1 = next ? next->value : value;
    return static_cast<float>((1.0 - u) * value + double(u) * a1);
}

// ---- Tangents ----

bool SgFloatKeyTangent::LoadFromStream(SgSceneStream& s) {
    SgFloatKey::LoadFromStream(s);
    incomingTangent = s.ReadF32();
    outgoingTangent = s.ReadF32();
    return s.ReadOk();
}

void SgFloatKeyTangent::SaveToStream(SgSceneStream& s) const {
    SgFloatKey::SaveToStream(s);
    s.WriteF32(incomingTangent);
    s.WriteF32(outgoingTangent);
}

bool SgFloatKeyTangent::IsEqualTo(const SgFloatKey* other) const {
    if (!SgFloatKey::IsEqualTo(other))
        return false;
    auto* o = static_cast<const SgFloatKeyTangent*>(other);
    return SgSameFloat(incomingTangent, o->incomingTangent) && SgSameFloat(outgoingTangent, o->outgoingTangent);
}

float SgFloatKeyTangent::Interpolate(float u, const SgFloatKey* next) const {
    if (!next)
        return value;
    return Hermite(u, value, outgoingTangent, next->value, IncomingOf(next));
}

// ---- Shaped ----

SgFloatKeyShaped::SgFloatKeyShaped(float keyTime, float keyValue, float keyTension, float keyContinuity, float keyBias)
    : SgFloatKeyTangent(keyTime, keyValue), tension(keyTension), continuity(keyContinuity), bias(keyBias) {}

bool SgFloatKeyShaped::LoadShaped(SgSceneStream& s) {
    SgFloatKey::LoadFromStream(s);
    tension = s.ReadF32();
    continuity = s.ReadF32();
    bias = s.ReadF32();
    incomingTangent = s.ReadF32();
    outgoingTangent = s.ReadF32();
    return s.ReadOk();
}

void SgFloatKeyShaped::SaveShaped(SgSceneStream& s) const {
    SgFloatKey::SaveToStream(s);
    s.WriteF32(tension);
    s.WriteF32(continuity);
    s.WriteF32(bias);
    s.WriteF32(incomingTangent);
    s.WriteF32(outgoingTangent);
}

bool SgFloatKeyShaped::SameShaped(const SgFloatKeyShaped* o) const {
    return SgSameFloat(tension, o->tension) && SgSameFloat(continuity, o->continuity) && SgSameFloat(bias, o->bias);
}

bool SgFloatKeyShaped::LoadFromStream(SgSceneStream& s) { return LoadShaped(s); }

void SgFloatKeyShaped::SaveToStream(SgSceneStream& s) const { SaveShaped(s); }

bool SgFloatKeyShaped::IsEqualTo(const SgFloatKey* other) const {
    return SgFloatKeyTangent::IsEqualTo(other) && SameShaped(static_cast<const SgFloatKeyShaped*>(other));
}

SgFloatKey* SgFloatKeyShaped::Clone() const { return new SgFloatKeyShaped(*this); }

void SgFloatKeyShaped::ComputeTangents(SgFloatKey* const* keys, uint32_t count) {
    if (!keys || count < 2)
        return;
    auto value = [keys](uint32_t i) { return keys[i]->value; };
    auto time = [keys](uint32_t i) { return keys[i]->time; };
    for (uint32_t i = 0; i < count; ++i)
        if (auto* k = dynamic_cast<SgFloatKeyShaped*>(keys[i]))
            SgTcbTangents(i, count, value, time, SgTcb{k->tension, k->continuity, k->bias}, k->incomingTangent,
                          k->outgoingTangent);
}

// ---- Arrays ----

SgFloatKeyArrays::SgFloatKeyArrays(float keyTime, const float* keyValues, uint32_t keyCount, float keyTension,
                                   float keyContinuity, float keyBias)
    : SgFloatKeyShaped(keyTime, 0.0f, keyTension, keyContinuity, keyBias) {
    Allocate(keyValues ? keyCount : 0);
    for (uint32_t j = 0; j < count_; ++j)
        values_[j] = keyValues[j];
}

SgFloatKeyArrays::SgFloatKeyArrays(const SgFloatKeyArrays& o) : SgFloatKeyShaped(o) {
    Allocate(o.count_);
    for (uint32_t j = 0; j < count_; ++j) {
        values_[j] = o.values_[j];
        incoming_[j] = o.incoming_[j];
        outgoing_[j] = o.outgoing_[j];
    }
}

void SgFloatKeyArrays::Allocate(uint32_t count) {
    count_ = count;
    values_.reset(count ? new float[count]() : nullptr);
    incoming_.reset(count ? new float[count]() : nullptr);
    outgoing_.reset(count ? new float[count]() : nullptr);
}

bool SgFloatKeyArrays::LoadFromStream(SgSceneStream& s) {
    LoadShaped(s);
    uint32_t count = s.ReadU32();
    if (!s.CheckCount(count, 12)) {
        Allocate(0);
        return false;
    }
    Allocate(count);
    for (float* array : {values_.get(), incoming_.get(), outgoing_.get()})
        for (uint32_t j = 0; j < count; ++j)
            array[j] = s.ReadF32();
    return s.ReadOk();
}

void SgFloatKeyArrays::SaveToStream(SgSceneStream& s) const {
    SaveShaped(s);
    s.WriteU32(count_);
    for (const float* array : {values_.get(), incoming_.get(), outgoing_.get()})
        for (uint32_t j = 0; j < count_; ++j)
            s.WriteF32(array[j]);
}

bool SgFloatKeyArrays::IsEqualTo(const SgFloatKey* other) const {
    if (!SgFloatKeyShaped::IsEqualTo(other))
        return false;
    auto* o = static_cast<const SgFloatKeyArrays*>(other);
    if (o->count_ != count_)
        return false;
    size_t bytes = count_ * sizeof(float);
    return count_ == 0 || (std::memcmp(values_.get(), o->values_.get(), bytes) == 0 &&
                           std::memcmp(incoming_.get(), o->incoming_.get(), bytes) == 0 &&
                           std::memcmp(outgoing_.get(), o->outgoing_.get(), bytes) == 0);
}

SgFloatKey* SgFloatKeyArrays::CloneWhole() const { return new SgFloatKeyArrays(*this); }

std::unique_ptr<float[]> SgFloatKeyArrays::InterpolateArray(float u, const SgFloatKey* next) const {
    std::unique_ptr<float[]> out(new float[count_ ? count_ : 1]());
    auto* m = dynamic_cast<const SgFloatKeyArrays*>(next);
    uint32_t shared = m ? std::min(count_, m->count_) : 0;
    for (uint32_t j = 0; j < count_; ++j)
        out[j] = j < shared ? Hermite(u, values_[j], outgoing_[j], m->values_[j], m->incoming_[j]) : values_[j];
    return out;
}

bool SgFloatKeyArrays::ComputeTangents(SgFloatKey* const* keys, uint32_t count) {
    if (!keys || count < 2)
        return false;
    auto* first = dynamic_cast<SgFloatKeyArrays*>(keys[0]);
    if (!first || first->count_ == 0)
        return false;
    uint32_t n = first->count_;
    for (uint32_t i = 0; i < count; ++i) {
        auto* k = dynamic_cast<SgFloatKeyArrays*>(keys[i]);
        if (!k || k->count_ != n)
            return false;
    }
    auto at = [keys](uint32_t i) { return static_cast<SgFloatKeyArrays*>(keys[i]); };
    for (uint32_t i = 0; i < count; ++i) {
        at(i)->incoming_.reset(new float[n]());
        at(i)->outgoing_.reset(new float[n]());
    }
    auto value = [keys](uint32_t i) { return keys[i]->value; };
    auto time = [keys](uint32_t i) { return keys[i]->time; };
    for (uint32_t j = 0; j < n; ++j) {
        for (uint32_t i = 0; i < count; ++i)
            at(i)->value = at(i)->values_[j];
        for (uint32_t i = 0; i < count; ++i) {
            SgFloatKeyArrays* k = at(i);
            SgTcbTangents(i, count, value, time, SgTcb{k->tension, k->continuity, k->bias}, k->incomingTangent,
                          k->outgoingTangent);
            k->incoming_[j] = k->incomingTangent;
            k->outgoing_[j] = k->outgoingTangent;
        }
    }
    return true;
}

// ---- Weight pairs ----

SgFloatKeyPair::SgFloatKeyPair(float keyTime, float keyTension, float keyContinuity, float keyBias,
                               uint32_t keyTarget, uint32_t keyWeightCount)
    : SgFloatKeyShaped(keyTime, static_cast<float>(keyTarget), keyTension, keyContinuity, keyBias),
      targetIndex(keyTarget),
      weightCount(keyWeightCount) {}

bool SgFloatKeyPair::LoadFromStream(SgSceneStream& s) {
    LoadShaped(s);
    targetIndex = s.ReadU32();
    weightCount = s.ReadU32();
    return s.ReadOk();
}

void SgFloatKeyPair::SaveToStream(SgSceneStream& s) const {
    SaveShaped(s);
    s.WriteU32(targetIndex);
    s.WriteU32(weightCount);
}

bool SgFloatKeyPair::IsEqualTo(const SgFloatKey* other) const {
    if (!SgFloatKeyShaped::IsEqualTo(other))
        return false;
    auto* o = static_cast<const SgFloatKeyPair*>(other);
    return targetIndex == o->targetIndex && weightCount == o->weightCount;
}

SgFloatKey* SgFloatKeyPair::CloneWhole() const {
    auto* copy = new SgFloatKeyPair(*this);
    copy->incomingTangent = copy->outgoingTangent = 0.0f;
    return copy;
}

std::unique_ptr<float[]> SgFloatKeyPair::InterpolateArray(float u, const SgFloatKey* next) const {
    uint32_t n = std::min(weightCount, kMaxWeights);
    std::unique_ptr<float[]> out(new float[n ? n : 1]());
    auto* m = dynamic_cast<const SgFloatKeyPair*>(next);
    if (!m) {
        if (targetIndex < n)
            out[targetIndex] = 1.0f;
        return out;
    }
    float a0 = value, a1 = m->value;
    float h = Interpolate(u, next);
    // Equal values would divide by zero: the weights then move with u.
    float f = a1 != a0 ? static_cast<float>((double(h) - a0) / (double(a1) - a0)) : u;
    if (targetIndex < n)
        out[targetIndex] = 1.0f - f;
    if (m->targetIndex < n)
        out[m->targetIndex] = f;
    return out;
}

// ---- Visibility ----

bool SgVisibilityKey::LoadFromStream(SgSceneStream& s) {
    time = s.ReadF32();
    visible = s.ReadU8();
    return s.ReadOk();
}

void SgVisibilityKey::SaveToStream(SgSceneStream& s) const {
    s.WriteF32(time);
    s.WriteU8(visible);
}

bool SgVisibilityKey::LoadSequence(SgSceneStream& s, SgKeyArray<SgVisibilityKey>& out) {
    out.Clear();
    uint32_t count = s.ReadU32();
    if (!s.CheckCount(count, kRecordBytes))
        return false;
    SgKeyArray<SgVisibilityKey> keys(count);
    for (uint32_t i = 0; i < count; ++i) {
        keys.Set(i, new SgVisibilityKey);
        keys[i]->LoadFromStream(s);
    }
    if (!s.ReadOk())
        return false;
    out = std::move(keys);
    return true;
}

void SgVisibilityKey::SaveSequence(SgSceneStream& s, const SgVisibilityKey* const* keys, uint32_t count) {
    if (!keys)
        count = 0;
    s.WriteU32(count);
    for (uint32_t i = 0; i < count; ++i)
        keys[i]->SaveToStream(s);
}
