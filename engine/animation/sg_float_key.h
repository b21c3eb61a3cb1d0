#pragma once
// Float keys animate one number: the uniform scale of keyed nodes, the angle tracks of per-axis
// rotation keys and the weights of morph shapes. Type 1 interpolates linearly, type 2 by cubic
// Hermite with tangents from the file, type 3 by Hermite with tangents from tension, continuity
// and bias. Type 5 carries an array of values per key and interpolates them all at once; type 6
// names a morph target per key and turns the interpolated value into a pair of blend weights.
// Types 0 and 4 are registered but make no key.
//
// Visibility keys switch an object on and off at key times: plain records without virtual
// operations.

#include <cstdint>
#include <memory>

#include "engine/animation/sg_key.h"

class SgFloatKey {
public:
    using CreateTable = SgKeyCreateTable<SgFloatKey, 7>;
    static CreateTable& Table();
    static int RegisterType0();
    static int RegisterType4();
    // Also refuses a sequence whose keys disagree on their array or weight counts.
    static bool LoadSequence(SgSceneStream& stream, SgKeyArray<SgFloatKey>& out);
    // The type word and count records (the count read before), checked as LoadSequence does.
    static bool LoadRecords(SgSceneStream& stream, uint32_t count, SgKeyArray<SgFloatKey>& out);
    // Empties (false) a loaded sequence whose keys disagree on their array or weight counts.
    static bool CheckSequence(SgKeyArray<SgFloatKey>& keys);
    static void SaveSequence(SgSceneStream& stream, const SgFloatKey* const* keys, uint32_t count);

    SgFloatKey() = default;
    SgFloatKey(float keyTime, float keyValue) : time(keyTime), value(keyValue) {}
    SgFloatKey& operator=(const SgFloatKey&) = delete;

    virtual bool LoadFromStream(SgSceneStream& stream);
    virtual void SaveToStream(SgSceneStream& stream) const;
    virtual ~SgFloatKey() = default;
    virtual uint32_t KeyType() const { return 0; }
    virtual bool IsEqualTo(const SgFloatKey* other) const;
    virtual bool IsNotEqualTo(const SgFloatKey* other) const { return !IsEqualTo(other); }
    virtual SgFloatKey* Clone() const;
    // The value between this key and the next at u (linear here).
    virtual float Interpolate(float u, const SgFloatKey* next) const;

    float time = 0.0f;
    float value = 0.0f;

protected:
    SgFloatKey(const SgFloatKey&) = default;
};

class SgFloatKeyLinear : public SgFloatKey {
public:
    static constexpr uint32_t kType = 1;
    static constexpr uint32_t kRecordBytes = 8;
    static int Register();

    SgFloatKeyLinear() = default;
    using SgFloatKey::SgFloatKey;
    uint32_t KeyType() const override { return kType; }
    SgFloatKey* Clone() const override { return new SgFloatKeyLinear(*this); }

protected:
    SgFloatKeyLinear(const SgFloatKeyLinear&) = default;
};

// Cubic Hermite from this key's outgoing tangent to the next key's incoming tangent.
class SgFloatKeyTangent : public SgFloatKey {
public:
    static constexpr uint32_t kType = 2;
    static constexpr uint32_t kRecordBytes = 16;
    static int Register();

    SgFloatKeyTangent() = default;
    using SgFloatKey::SgFloatKey;
    bool LoadFromStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;
    uint32_t KeyType() const override { return kType; }
    bool IsEqualTo(const SgFloatKey* other) const override;
    SgFloatKey* Clone() const override { return new SgFloatKeyTangent(*this); }
    float Interpolate(float u, const SgFloatKey* next) const override;

    float incomingTangent = 0.0f;
    float outgoingTangent = 0.0f;

protected:
    SgFloatKeyTangent(const SgFloatKeyTangent&) = default;
};

class SgFloatKeyShaped : public SgFloatKeyTangent {
public:
    static constexpr uint32_t kType = 3;
    static constexpr uint32_t kRecordBytes = 28;
    static int Register();

    SgFloatKeyShaped() = default;
    using SgFloatKeyTangent::SgFloatKeyTangent;
    SgFloatKeyShaped(float keyTime, float keyValue, float keyTension, float keyContinuity, float keyBias);
    bool LoadFromStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;
    uint32_t KeyType() const override { return kType; }
    bool IsEqualTo(const SgFloatKey* other) const override;
    // A shaped key with the shaped fields only (also for types 5 and 6).
    SgFloatKey* Clone() const override;
    // The whole-key copy and the array interpolation of types 5 and 6 (reachable through this
    // class for the morph weights); a plain shaped key copies as Clone and has no array.
    virtual SgFloatKey* CloneWhole() const { return Clone(); }
    virtual std::unique_ptr<float[]> InterpolateArray(float, const SgFloatKey*) const { return nullptr; }

    // The tangents of a sequence of shaped keys (types 3 and 6) from their values, times and
    // shapes. Nothing for fewer than 2 keys.
    static void ComputeTangents(SgFloatKey* const* keys, uint32_t count);

    float tension = 0.0f;
    float continuity = 0.0f;
    float bias = 0.0f;

protected:
    SgFloatKeyShaped(const SgFloatKeyShaped&) = default;
    bool LoadShaped(SgSceneStream& stream);
    void SaveShaped(SgSceneStream& stream) const;
    bool SameShaped(const SgFloatKeyShaped* o) const;
};

// A shaped key with an array of values per key, every array interpolated at once. Every key of
// one sequence has the same count.
class SgFloatKeyArrays : public SgFloatKeyShaped {
public:
    static constexpr uint32_t kType = 5;
    static constexpr uint32_t kRecordBytes = 32;
    static int Register();

    SgFloatKeyArrays() = default;
    // A key with count values (copied) and zero tangents.
    SgFloatKeyArrays(float keyTime, const float* keyValues, uint32_t keyCount, float keyTension = 0.0f,
                     float keyContinuity = 0.0f, float keyBias = 0.0f);
    bool LoadFromStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;
    uint32_t KeyType() const override { return kType; }
    bool IsEqualTo(const SgFloatKey* other) const override;
    // A full copy with copies of the three arrays.
    SgFloatKey* CloneWhole() const override;
    // Entry j: the Hermite curve of the j-th values and tangents (count entries; where the next
    // key has fewer, this key's value).
    std::unique_ptr<float[]> InterpolateArray(float u, const SgFloatKey* next) const override;

    // The tangent arrays of a sequence of type 5 keys, index by index, with the count of the
    // first key. Refuses (false, nothing changed) keys of another type or another count.
    static bool ComputeTangents(SgFloatKey* const* keys, uint32_t count);

    uint32_t Count() const { return count_; }
    const float* Values() const { return values_.get(); }
    const float* IncomingTangents() const { return incoming_.get(); }
    const float* OutgoingTangents() const { return outgoing_.get(); }

private:
    SgFloatKeyArrays(const SgFloatKeyArrays& o);
    void Allocate(uint32_t count);

    std::unique_ptr<float[]> values_;
    std::unique_ptr<float[]> incoming_;
    std::unique_ptr<float[]> outgoing_;
    uint32_t count_ = 0;
};

// A shaped key naming one morph target; the interpolated value becomes a pair of weights. Every
// key of one sequence has the same weight count and a target index below it.
class SgFloatKeyPair : public SgFloatKeyShaped {
public:
    static constexpr uint32_t kType = 6;
    static constexpr uint32_t kRecordBytes = 36;
    static constexpr uint32_t kMaxWeights = 65535;
    static int Register();

    SgFloatKeyPair() = default;
    // The target index is also the key's value.
    SgFloatKeyPair(float keyTime, float keyTension, float keyContinuity, float keyBias, uint32_t keyTarget,
                   uint32_t keyWeightCount);
    bool LoadFromStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;
    uint32_t KeyType() const override { return kType; }
    bool IsEqualTo(const SgFloatKey* other) const override;
    // Every field but the scalar tangents, which preparation recomputes.
    SgFloatKey* CloneWhole() const override;
    // weightCount weights, all 0 but 1 - f at this key's target and f at the next key's (f the
    // interpolated value's fraction of the way between the two values; u when they are equal).
    // Targets outside the weights are left out.
    std::unique_ptr<float[]> InterpolateArray(float u, const SgFloatKey* next) const override;

    uint32_t targetIndex = 0;
    uint32_t weightCount = 0;

protected:
    SgFloatKeyPair(const SgFloatKeyPair&) = default;
};

// A visibility key: a time and an on/off byte (0 hidden).
struct SgVisibilityKey {
    static constexpr uint32_t kRecordBytes = 5;

    float time = 0.0f;
    uint8_t visible = 0;

    SgVisibilityKey* Copy() const { return new SgVisibilityKey(*this); }
    SgVisibilityKey* Clone() const { return Copy(); }
    bool LoadFromStream(SgSceneStream& stream);
    void SaveToStream(SgSceneStream& stream) const;

    // The sequence form: count, then count records (no type word).
    static bool LoadSequence(SgSceneStream& stream, SgKeyArray<SgVisibilityKey>& out);
    static void SaveSequence(SgSceneStream& stream, const SgVisibilityKey* const* keys, uint32_t count);
};
