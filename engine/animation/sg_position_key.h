#pragma once
// Position keys: a time and a position, interpolated along a path by linear segments (type 1),
// cubic Hermite segments with tangents from the file (type 2) or with tangents computed from
// tension, continuity and bias (type 3). Beside interpolation they give the path's derivatives, a
// moving frame along it and the largest curvature of a sequence.
//
// The base class is the plain form that Interpolate writes (its time holds the parameter u); it
// interpolates linearly. A sequence is prepared once (PrepareSequence on any of its keys) before
// it is interpolated.

#include <cstdint>

#include "engine/animation/sg_key.h"
#include "engine/core/sg_math.h"

class SgPositionKey {
public:
    using CreateTable = SgKeyCreateTable<SgPositionKey, 4>;
    static CreateTable& Table();
    // Type 0: a registered type that makes no key.
    static int RegisterType0();
    static bool LoadSequence(SgSceneStream& stream, SgKeyArray<SgPositionKey>& out);
    static void SaveSequence(SgSceneStream& stream, const SgPositionKey* const* keys, uint32_t count);

    SgPositionKey() = default;
    SgPositionKey(float keyTime, const SgVec3& keyPosition) : time(keyTime), position(keyPosition) {}
    SgPositionKey& operator=(const SgPositionKey&) = delete;

    virtual bool LoadFromStream(SgSceneStream& stream);
    virtual void SaveToStream(SgSceneStream& stream) const;
    virtual ~SgPositionKey() = default;
    virtual uint32_t KeyType() const { return 0; }
    // Same type, time and position, and the type's own fields.
    virtual bool IsEqualTo(const SgPositionKey* other) const;
    virtual bool IsNotEqualTo(const SgPositionKey* other) const { return !IsEqualTo(other); }
    // A new key of the same type with the same fields; the caller owns it.
    virtual SgPositionKey* Clone() const;
    // The position between this key and the next at u (0 here, 1 at next) into out (time = u).
    virtual SgPositionKey* Interpolate(SgPositionKey* out, float u, const SgPositionKey* next) const;
    virtual void FirstDerivative(SgVec3& out, float u, const SgPositionKey* next) const;
    virtual void SecondDerivative(SgVec3& out, float u, const SgPositionKey* next) const;
    // Computes the derived fields of a whole sequence of this key's type.
    virtual void PrepareSequence(SgPositionKey* const* keys, uint32_t count) const;
    // The largest sampled curvature of a sequence (0 for straight segments).
    virtual float MaxCurvature(const SgPositionKey* const* keys, uint32_t count) const;

    // The unit tangent, normal and binormal and the curvature of the path at u. Where the path has
    // no direction (a zero first derivative) every output is zero.
    void PathFrame(float u, const SgPositionKey* next, SgVec3& tangent, SgVec3& normal, SgVec3& binormal,
                   float& curvature) const;

    float time = 0.0f;
    SgVec3 position;

protected:
    SgPositionKey(const SgPositionKey&) = default;
};

class SgPositionKeyLinear : public SgPositionKey {
public:
    static constexpr uint32_t kType = 1;
    static constexpr uint32_t kRecordBytes = 16;
    static int Register();

    SgPositionKeyLinear() = default;
    using SgPositionKey::SgPositionKey;
    uint32_t KeyType() const override { return kType; }
    SgPositionKey* Clone() const override { return new SgPositionKeyLinear(*this); }

protected:
    SgPositionKeyLinear(const SgPositionKeyLinear&) = default;
};

// Cubic Hermite segments: position = ((c3 u + c2) u + c1) u + p0 with c1 the outgoing tangent.
class SgPositionKeyTangent : public SgPositionKey {
public:
    static constexpr uint32_t kType = 2;
    static constexpr uint32_t kRecordBytes = 64;
    static int Register();

    SgPositionKeyTangent() = default;
    using SgPositionKey::SgPositionKey;
    bool LoadFromStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;
    uint32_t KeyType() const override { return kType; }
    bool IsEqualTo(const SgPositionKey* other) const override;
    SgPositionKey* Clone() const override { return new SgPositionKeyTangent(*this); }
    SgPositionKey* Interpolate(SgPositionKey* out, float u, const SgPositionKey* next) const override;
    void FirstDerivative(SgVec3& out, float u, const SgPositionKey* next) const override;
    void SecondDerivative(SgVec3& out, float u, const SgPositionKey* next) const override;
    // The coefficients of every segment from the tangents as they stand.
    void PrepareSequence(SgPositionKey* const* keys, uint32_t count) const override;
    float MaxCurvature(const SgPositionKey* const* keys, uint32_t count) const override;

    SgVec3 incomingTangent;
    SgVec3 outgoingTangent;
    SgVec3 c2;
    SgVec3 c3;

protected:
    SgPositionKeyTangent(const SgPositionKeyTangent&) = default;
    // The tangent fields of the stream record (after what precedes them).
    bool LoadTangents(SgSceneStream& stream);
    void SaveTangents(SgSceneStream& stream) const;
    bool SameTangents(const SgPositionKeyTangent* o) const;
};

// Kochanek-Bartels: the tangents come from tension, continuity and bias.
class SgPositionKeyShaped : public SgPositionKeyTangent {
public:
    static constexpr uint32_t kType = 3;
    static constexpr uint32_t kRecordBytes = 76;
    static int Register();

    SgPositionKeyShaped() = default;
    using SgPositionKeyTangent::SgPositionKeyTangent;
    bool LoadFromStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;
    uint32_t KeyType() const override { return kType; }
    bool IsEqualTo(const SgPositionKey* other) const override;
    SgPositionKey* Clone() const override { return new SgPositionKeyShaped(*this); }
    // Both tangents of every key, then the coefficients.
    void PrepareSequence(SgPositionKey* const* keys, uint32_t count) const override;

    float tension = 0.0f;
    float continuity = 0.0f;
    float bias = 0.0f;

protected:
    SgPositionKeyShaped(const SgPositionKeyShaped&) = default;
};
