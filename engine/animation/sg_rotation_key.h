#pragma once
// Rotation keys: each key holds its rotation twice, as an angle about an axis and as a unit
// quaternion, so a segment can be interpolated on the sphere of quaternions (slerp, squad, with
// whole extra turns) or by interpolating the angle about a fixed or slerped axis. Preparing a
// sequence chooses every segment's mode and counts its extra turns:
//   mode 0: on the sphere (slerp / squad)         mode 1: the angle about the shared axis
//   mode 2: on the sphere with whole extra turns  mode 3: the angle about a slerped axis
// Type 1 interpolates plainly, type 2 through squad control quaternions, type 3 through tension,
// continuity and bias, and type 4 builds the rotation from three per-axis angle tracks.
//
// The base class is the plain form that Interpolate writes (time = u, the result in angle, axis
// and quaternion; spin count and mode 0); it interpolates as type 1 does.

#include <cstdint>

#include "engine/animation/sg_float_key.h"
#include "engine/animation/sg_key.h"
#include "engine/core/sg_math.h"

class SgRotationKey {
public:
    using CreateTable = SgKeyCreateTable<SgRotationKey, 5>;
    static CreateTable& Table();
    static bool LoadSequence(SgSceneStream& stream, SgKeyArray<SgRotationKey>& out);
    static void SaveSequence(SgSceneStream& stream, const SgRotationKey* const* keys, uint32_t count);
    static constexpr uint32_t kBaseRecordBytes = 44;

    SgRotationKey() = default;
    SgRotationKey(float keyTime, float keyAngle, const SgVec3& keyAxis);
    SgRotationKey& operator=(const SgRotationKey&) = delete;

    virtual bool LoadFromStream(SgSceneStream& stream);
    virtual void SaveToStream(SgSceneStream& stream) const;
    virtual ~SgRotationKey() = default;
    virtual uint32_t KeyType() const { return 0; }
    // Same type, time, angle, axis, quaternion and spin count (not the mode), and the type's own
    // fields.
    virtual bool IsEqualTo(const SgRotationKey* other) const;
    virtual bool IsNotEqualTo(const SgRotationKey* other) const { return !IsEqualTo(other); }
    // A copy with the mode cleared; the caller owns it.
    virtual SgRotationKey* Clone() const;
    virtual SgRotationKey* Interpolate(SgRotationKey* out, float u, const SgRotationKey* next) const;
    // Modes and spin counts of the segments, signs of the quaternions chained from the first key,
    // w clamped to [-1, 1]; then the type's own derived fields.
    virtual void PrepareSequence(SgRotationKey* const* keys, uint32_t count) const;

    float time = 0.0f;
    float angle = 0.0f;
    SgVec3 axis;
    SgQuat quaternion{0.0f, 0.0f, 0.0f, 0.0f};
    int32_t spinCount = 0;
    int32_t mode = 0;

protected:
    SgRotationKey(const SgRotationKey&) = default;

    // The smooth controls of one segment: quaternion controls a (this key's) and b (the next
    // key's), and the matching angle controls.
    struct Controls {
        SgQuat a, b;
        float angleA = 0.0f, angleB = 0.0f;
    };
    // The segment by this key's mode, plainly (controls null) or smoothly.
    SgRotationKey* Blend(SgRotationKey* out, float u, const SgRotationKey* next, const Controls* controls) const;
    // The pre-step every type shares.
    static void PrepareCommon(SgRotationKey* const* keys, uint32_t count);
    bool SameBase(const SgRotationKey* o) const;
};

class SgRotationKeyPlain : public SgRotationKey {
public:
    static constexpr uint32_t kType = 1;
    static constexpr uint32_t kRecordBytes = 44;
    static int Register();

    SgRotationKeyPlain() = default;
    using SgRotationKey::SgRotationKey;
    uint32_t KeyType() const override { return kType; }
    SgRotationKey* Clone() const override;

protected:
    SgRotationKeyPlain(const SgRotationKeyPlain&) = default;
};

// Squad through control quaternions computed from the neighbours.
class SgRotationKeyModal : public SgRotationKey {
public:
    static constexpr uint32_t kType = 2;
    static constexpr uint32_t kRecordBytes = 64;
    static int Register();

    SgRotationKeyModal() = default;
    using SgRotationKey::SgRotationKey;
    bool LoadFromStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;
    uint32_t KeyType() const override { return kType; }
    bool IsEqualTo(const SgRotationKey* other) const override;
    SgRotationKey* Clone() const override;
    SgRotationKey* Interpolate(SgRotationKey* out, float u, const SgRotationKey* next) const override;
    void PrepareSequence(SgRotationKey* const* keys, uint32_t count) const override;

    SgQuat control = SgIdentityQuat;
    float angleControl = 0.0f;

protected:
    SgRotationKeyModal(const SgRotationKeyModal&) = default;
};

// Squad through controls shaped by tension, continuity and bias.
class SgRotationKeyShaped : public SgRotationKey {
public:
    static constexpr uint32_t kType = 3;
    static constexpr uint32_t kRecordBytes = 96;
    static int Register();

    SgRotationKeyShaped() = default;
    using SgRotationKey::SgRotationKey;
    bool LoadFromStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;
    uint32_t KeyType() const override { return kType; }
    bool IsEqualTo(const SgRotationKey* other) const override;
    SgRotationKey* Clone() const override;
    SgRotationKey* Interpolate(SgRotationKey* out, float u, const SgRotationKey* next) const override;
    void PrepareSequence(SgRotationKey* const* keys, uint32_t count) const override;

    float tension = 0.0f;
    float continuity = 0.0f;
    float bias = 0.0f;
    SgQuat outgoingControl = SgIdentityQuat;
    SgQuat incomingControl = SgIdentityQuat;
    float outgoingAngleControl = 0.0f;
    float incomingAngleControl = 0.0f;

protected:
    SgRotationKeyShaped(const SgRotationKeyShaped&) = default;
};

// A rotation built from three angle tracks of float keys (x, y, z), composed in the key's axis
// order by its owner. The key owns its tracks. Its pairwise Interpolate gives a zeroed plain key
// and PrepareSequence runs only the shared pre-step: owners use Evaluate and PrepareTracks.
class SgRotationKeyAxes : public SgRotationKey {
public:
    static constexpr uint32_t kType = 4;
    // The base record, the axis order and three empty track counts.
    static constexpr uint32_t kRecordBytes = 44 + 2 + 12;
    static int Register();

    SgRotationKeyAxes() = default;
    bool LoadFromStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;
    uint32_t KeyType() const override { return kType; }
    // The axis order and every track pairwise, each up to its own count.
    bool IsEqualTo(const SgRotationKey* other) const override;
    // Zero base fields and cursors, the axis order and clones of every track's keys.
    SgRotationKey* Clone() const override;
    SgRotationKey* Interpolate(SgRotationKey* out, float u, const SgRotationKey* next) const override;

    // The angle of each track at key time t (0 for an empty track).
    void Evaluate(float t, float angles[3]);
    // Prepares each track of shaped float keys.
    void PrepareTracks();
    // Replaces track a (0 x, 1 y, 2 z) with clones of the given keys.
    void SetTrack(int a, const SgFloatKey* const* keys, uint32_t count);

    int32_t TrackCount(int a) const { return static_cast<int32_t>(tracks[a].Count()); }

    uint16_t axisOrder = 0;
    SgKeyArray<SgFloatKey> tracks[3];
    int32_t cursors[3] = {0, 0, 0};
};
