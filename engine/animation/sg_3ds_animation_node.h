#pragma once
// Keyframed nodes and bones, the node classes of scenes converted from 3ds files.
//
// Sg3dsAnimationNode is a scene-graph node whose local placement and visibility follow its keys:
// rotation keys give the local rotation, position keys the local translation, float keys the
// uniform scale and visibility keys the hidden flag. Its timing part receives the clock (through
// the live list of timing objects), maps it into the key-time range and calls Update, which
// evaluates the keys. Each family keeps a cached interval index: forward playback finds its
// interval at once, and a time that went backwards is found by one restart from the first key.
//
// Sg3dsBone adds the placement accumulated from the root of its bone chain, which skins read. A
// chain is evaluated from its root bone downward in one pass; a bone under a bone only notes the
// time it was given.
//
// The node owns every key and key array; setters replace a family whole with clones of what they
// are given and prepare it.

#include <cstdint>

#include "engine/animation/sg_animation_timing.h"
#include "engine/animation/sg_float_key.h"
#include "engine/animation/sg_position_key.h"
#include "engine/animation/sg_rotation_key.h"
#include "engine/core/sg_node.h"

class Sg3dsAnimationNode : public SgNode, public SgAnimationTiming {
public:
    static SgTypeRecord typeRecord;
    static int Register();

    // Axis orders of a per-axis rotation key, by code: the first listed axis turns first. Codes
    // past the table turn x, y, z.
    static constexpr uint8_t kAxisOrders[9][3] = {{0, 1, 2}, {0, 2, 1}, {1, 2, 0}, {1, 0, 2}, {2, 0, 1},
                                                   {2, 1, 0}, {0, 1, 0}, {1, 2, 1}, {2, 0, 2}};

    Sg3dsAnimationNode();

    const SgTypeRecord* GetTypeRecord() const override;
    // After the node part: the 32-byte timing part, then the rotation, position and scale key
    // sequences (count, type, records) and the visibility keys (count, records).
    bool LoadFromStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;
    // The node and timing parts, the counts and every key pairwise.
    bool IsEqualTo(const SgObject* other) const override;
    // The node's copy, then the timing fields, the keys through their setters (widening) and the
    // cached indices.
    SgAVObject* MakeCopy(SgAVObject* copy) override;

    // Maps t, evaluates every family into the local placement and hidden flag, and (when the
    // world-update flag is set and a placement family exists) recomposes the world placement.
    void Update(float t) override;

    // ---- Setting keys (the caller keeps what it passes) ----
    // Clones of the keys, prepared; a first key of type 4 makes the node per-axis with that key
    // alone. widen takes the first and last key times into the key-time range. A null array, a
    // count below 1 or a null entry leaves the family empty.
    void SetRotationKeys(const SgRotationKey* const* keys, uint32_t count, bool widen);
    void SetAxisRotationKey(const SgRotationKeyAxes* key, bool widen);
    void SetPositionKeys(const SgPositionKey* const* keys, uint32_t count, bool widen);
    // Shaped keys get their tangents; other float types need no preparation.
    void SetScaleKeys(const SgFloatKey* const* keys, uint32_t count, bool widen);
    void SetVisibilityKeys(const SgVisibilityKey* const* keys, uint32_t count, bool widen);
    void FreeRotationKeys();

    // ---- Evaluating at a key time ----
    SgQuat InterpolateRotation(float t);
    SgQuat InterpolateAxisRotation(float t);
    SgVec3 InterpolatePosition(float t);
    float InterpolateScale(float t);
    // The state of the key in force at t: the first key up to its time, the last from its time.
    void ApplyVisibility(float t);

    bool PerAxisRotation() const { return perAxisRotation_; }
    uint32_t RotationKeyCount() const { return rotationKeys_.Count(); }
    uint32_t PositionKeyCount() const { return positionKeys_.Count(); }
    uint32_t ScaleKeyCount() const { return scaleKeys_.Count(); }
    uint32_t VisibilityKeyCount() const { return visibilityKeys_.Count(); }
    const SgKeyArray<SgRotationKey>& RotationKeys() const { return rotationKeys_; }
    const SgKeyArray<SgPositionKey>& PositionKeys() const { return positionKeys_; }
    const SgKeyArray<SgFloatKey>& ScaleKeys() const { return scaleKeys_; }
    const SgKeyArray<SgVisibilityKey>& VisibilityKeys() const { return visibilityKeys_; }

    // The cached interval indices.
    int32_t rotationKeyIndex = 0;
    int32_t positionKeyIndex = 0;
    int32_t scaleKeyIndex = 0;

protected:
    ~Sg3dsAnimationNode() override;
    // The animation-node part of a copy.
    void CopyFieldsInto(Sg3dsAnimationNode* copy) const;

private:
    // Empties the family, then (when every key is there) fills it with clones and widens the
    // range by them; false when it stays empty.
    template <class K>
    bool ReplaceKeys(SgKeyArray<K>& family, const K* const* keys, uint32_t count, bool widen);

    bool perAxisRotation_ = false;
    SgKeyArray<SgRotationKey> rotationKeys_;
    SgKeyArray<SgPositionKey> positionKeys_;
    SgKeyArray<SgFloatKey> scaleKeys_;
    SgKeyArray<SgVisibilityKey> visibilityKeys_;
};

class Sg3dsBone : public Sg3dsAnimationNode {
public:
    static SgTypeRecord typeRecord;
    static int Register();

    // A bone's keys never trigger a world update by themselves: its world-update flag is clear.
    Sg3dsBone();

    const SgTypeRecord* GetTypeRecord() const override;
    // A bone's record is an animation node's.
    bool LoadFromStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;
    bool IsEqualTo(const SgObject* other) const override;
    // The animation-node copy and the bone fields; the source records its copy so that objects
    // copied with it (a skin) can find the copy of each bone.
    SgAVObject* MakeCopy(SgAVObject* copy) override;
    // Removes and deletes the clone record at the head of this bone's extra data.
    void FinishCopy(SgAVObject* copy) override;

    // Under a bone: notes t as the bone's own time. Otherwise the bone is a chain root and
    // evaluates its chain.
    void Update(float t) override;
    // Evaluates this bone at its own time (t when it has none) and accumulates its placement onto
    // the parent's, then every child bone's with the same t.
    void UpdateHierarchy(float t, const SgMat3& parentRotation, const SgVec3& parentTranslation, float parentScale);

    // Accumulated from the chain root.
    SgMat3 boneRotation = SgIdentityMat3;
    SgVec3 boneTranslation;
    float boneScale = 1.0f;
    // The last time this bone was handed while under a bone; 0 for none.
    float ownTime = 0.0f;
    // Written by the skin data before it is read.
    SgMat3 skinRotation = SgIdentityMat3;
    SgVec3 skinTranslation;
    uint8_t skinFlag = 0;
    // The bone's creation number: skins order and bucket bones by it, never by address, so
    // their results do not depend on where bones were allocated.
    const uint32_t serial;

protected:
    ~Sg3dsBone() override = default;
};
