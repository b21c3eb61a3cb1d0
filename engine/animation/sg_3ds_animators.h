#pragma once
// Animators of render state: keyed material alpha (Sg3dsAlphaAnimator), keyed material colours
// (Sg3dsColorAnimator) and keyed light colours (Sg3dsLightColorAnimator). Each is an engine object
// with a timing part: the timing's update evaluates its keys at the mapped time and writes the
// result into its target.
//
// A property animator marks its target with an Sg3dsPropAnimExtraData naming it, so code holding
// a material can find (and drive or copy) its animator; the record holds the animator by a count.
// Animator and target then hold each other: Retire breaks that cycle. Every property animator is
// on one process-wide list until it goes, so that DeleteAll can retire them all at shutdown.

#include <cstdint>

#include "engine/animation/sg_animation_timing.h"
#include "engine/animation/sg_float_key.h"
#include "engine/animation/sg_position_key.h"
#include "engine/core/sg_extra_data.h"
#include "engine/core/sg_lists.h"
#include "engine/core/sg_object.h"

// The target part shared by the property and light animators: a timing in application-time mode
// and a counted target, streamed as the 32-byte timing and the target's link id.
class Sg3dsTargetAnimator : public SgObject, public SgAnimationTiming {
public:
    Sg3dsTargetAnimator();

    bool LoadFromStream(SgSceneStream& stream) override;
    void LinkFromStream(SgSceneStream& stream) override;
    bool RegisterInStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;
    // Object parts, timings, and no target on both sides or targets equal by their own test.
    bool IsEqualTo(const SgObject* other) const override;

    SgObject* Target() const { return target_.Get(); }

protected:
    ~Sg3dsTargetAnimator() override = default;

    SgRef<SgObject> target_;
};

// An owned key sequence with its cached interval index, evaluated as the animators need: the
// first key's value at or before it, the last key's at or after it, else interpolated.
template <class K>
struct Sg3dsAnimatorKeys {
    SgKeyArray<K> keys;
    int32_t index = 0;

    bool LoadFromStream(SgSceneStream& stream, SgAnimationTiming& timing);
    void SaveToStream(SgSceneStream& stream) const;
    bool IsEqualTo(const Sg3dsAnimatorKeys& other) const;
    // Clones of the keys (prepared); the key-time range becomes theirs. None for null entries.
    void Set(const K* const* source, uint32_t count, SgAnimationTiming& timing);
};

class Sg3dsPropertyAnimator : public Sg3dsTargetAnimator {
public:
    static SgTypeRecord typeRecord;
    static int Register();

    // Joins the process-wide list.
    Sg3dsPropertyAnimator();
    const SgTypeRecord* GetTypeRecord() const override;

    // Detach, hold the new target, Attach.
    void SetTarget(SgObject* object);
    // Marks the target with a record naming this animator.
    void Attach();
    // Removes and deletes the target's first record naming this animator. The record held this
    // animator: that may have been its last count.
    void Detach();
    // Detaches and lets go of the target, breaking the cycle through the target's record; the
    // animator then lives only as long as something else holds it.
    void Retire();
    // Retires every listed animator and frees the list (a new animator starts a new one).
    static void DeleteAll();
    // The process-wide list, or null when there is none.
    static const SgPtrList<Sg3dsPropertyAnimator>* List();

protected:
    // Detaches and leaves the list.
    ~Sg3dsPropertyAnimator() override;
};

class Sg3dsAlphaAnimator : public Sg3dsPropertyAnimator {
public:
    static SgTypeRecord typeRecord;
    static int Register();

    const SgTypeRecord* GetTypeRecord() const override;
    bool LoadFromStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;
    bool IsEqualTo(const SgObject* other) const override;

    // A material target's alpha becomes the keys' value (not clamped).
    void Update(float t) override;
    void SetKeys(const SgFloatKey* const* keys, uint32_t count) { keys_.Set(keys, count, *this); }
    const Sg3dsAnimatorKeys<SgFloatKey>& Keys() const { return keys_; }

protected:
    ~Sg3dsAlphaAnimator() override = default;

private:
    Sg3dsAnimatorKeys<SgFloatKey> keys_;
};

class Sg3dsColorAnimator : public Sg3dsPropertyAnimator {
public:
    static SgTypeRecord typeRecord;
    static int Register();

    const SgTypeRecord* GetTypeRecord() const override;
    bool LoadFromStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;
    bool IsEqualTo(const SgObject* other) const override;

    // The colour chosen by the selector of a material target becomes the keys' value, each
    // component clamped to [0, 1].
    void Update(float t) override;
    void SetKeys(const SgPositionKey* const* keys, uint32_t count) { keys_.Set(keys, count, *this); }
    const Sg3dsAnimatorKeys<SgPositionKey>& Keys() const { return keys_; }

    // 0 to 3: the material's ambient, diffuse, specular or emissive colour; others write nothing.
    uint32_t colorSelector = 0;

protected:
    ~Sg3dsColorAnimator() override = default;

private:
    Sg3dsAnimatorKeys<SgPositionKey> keys_;
};

// Names the animator of the object that carries it.
class Sg3dsPropAnimExtraData : public SgExtraData {
public:
    static SgTypeRecord typeRecord;
    static int Register();

    Sg3dsPropAnimExtraData() = default;
    explicit Sg3dsPropAnimExtraData(Sg3dsPropertyAnimator* a) : animator(a) {}
    const SgTypeRecord* GetTypeRecord() const override;
    bool LoadFromStream(SgSceneStream& stream) override;
    void LinkFromStream(SgSceneStream& stream) override;
    void RegisterInStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;

    SgRef<Sg3dsPropertyAnimator> animator;
    uint32_t animatorId = 0;  // while loading
};

// Light animators drive a light; they mark nothing and stand on no list.
class Sg3dsLightAnimator : public Sg3dsTargetAnimator {
public:
    static SgTypeRecord typeRecord;
    static int Register();

    const SgTypeRecord* GetTypeRecord() const override;
    void SetTarget(SgObject* object) { target_ = object; }

protected:
    ~Sg3dsLightAnimator() override = default;
};

class Sg3dsLightColorAnimator : public Sg3dsLightAnimator {
public:
    static SgTypeRecord typeRecord;
    static int Register();

    const SgTypeRecord* GetTypeRecord() const override;
    bool LoadFromStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;
    bool IsEqualTo(const SgObject* other) const override;

    // Clamped key colour: with firstColorOnly the light's first colour (the others black), else
    // its second and third (the first black).
    void Update(float t) override;
    void SetKeys(const SgPositionKey* const* keys, uint32_t count) { keys_.Set(keys, count, *this); }
    const Sg3dsAnimatorKeys<SgPositionKey>& Keys() const { return keys_; }

    uint8_t firstColorOnly = 0;

protected:
    ~Sg3dsLightColorAnimator() override = default;

private:
    Sg3dsAnimatorKeys<SgPositionKey> keys_;
};
