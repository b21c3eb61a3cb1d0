#pragma once
// What moves particles: gravity and wind (SgGravity), a timed blast (SgParticleBomb), and the
// colliders that deflect them (SgSphericalCollider, SgPlanarCollider; SgMeshCollider only keeps
// its mesh). A particle system owns a chain of forces and a chain of colliders; each step it
// resets or transforms their world placement and applies them to every particle.
//
// Every force keeps its placement twice: as stored (model space) and in world space, rebuilt by
// ResetWorld and moved by TransformToWorld before the step applies it.

#include <cstdint>

#include "engine/core/sg_math.h"
#include "engine/core/sg_object.h"

class SgAVObject;

class SgForce : public SgObject {
public:
    static SgTypeRecord typeRecord;
    static int Register();

    const SgTypeRecord* GetTypeRecord() const override;

    // A new force of the same class with every field copied (model and world); off any chain.
    virtual SgForce* Clone() const = 0;
    // Changes the particle's velocity (colliders: also its position and the step left). True only
    // when a collider touched the particle.
    virtual bool ApplyToParticle(SgVec3& position, SgVec3& velocity, float& dt, float time) = 0;
    // Points p become s R p + t, directions R d.
    virtual void TransformToWorld(const SgMat3& rotation, const SgVec3& translation, float scale) = 0;
    virtual void ResetWorld() = 0;

    // The number of forces from first along the next links.
    static uint32_t CountChain(const SgForce* first);

    // The next force of the chain this one is on; not streamed.
    SgForce* next = nullptr;
    // Set while a chain holds the force, so a second chain takes a clone instead of looping the
    // links.
    bool onChain = false;

protected:
    ~SgForce() override = default;
};

// A chain of forces: pushed at the head, each held by a reference until the chain is cleared.
class SgForceChain {
public:
    SgForceChain() = default;
    SgForceChain(const SgForceChain&) = delete;
    SgForceChain& operator=(const SgForceChain&) = delete;
    ~SgForceChain() { Clear(); }

    // A force already on a chain joins as a clone. Null is ignored.
    void Push(SgForce* force);
    void Clear();
    SgForce* Head() const { return head_; }
    uint32_t Count() const { return count_; }

private:
    SgForce* head_ = nullptr;
    uint32_t count_ = 0;
};

class SgGravity : public SgForce {
public:
    static SgTypeRecord typeRecord;
    static int Register();
    static constexpr uint32_t kPoint = 1;

    const SgTypeRecord* GetTypeRecord() const override;
    bool LoadFromStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;
    bool IsEqualTo(const SgObject* other) const override;

    SgForce* Clone() const override;
    bool ApplyToParticle(SgVec3& position, SgVec3& velocity, float& dt, float time) override;
    void TransformToWorld(const SgMat3& rotation, const SgVec3& translation, float scale) override;
    void ResetWorld() override;

    float decay = 0.0f;
    float strength = 1.0f;
    uint32_t kind = 0;  // kPoint, else directional
    SgVec3 modelPosition;
    SgVec3 modelDirection;
    SgVec3 worldPosition;
    SgVec3 worldDirection;

protected:
    ~SgGravity() override = default;
};

class SgParticleBomb : public SgForce {
public:
    static SgTypeRecord typeRecord;
    static int Register();
    enum Falloff : uint32_t { kFalloffNone = 0, kFalloffLinear = 1, kFalloffExponential = 2 };
    enum Symmetry : uint32_t { kSpherical = 0, kPlanar = 2 };  // any other value: cylindrical

    const SgTypeRecord* GetTypeRecord() const override;
    bool LoadFromStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;
    bool IsEqualTo(const SgObject* other) const override;

    SgForce* Clone() const override;
    bool ApplyToParticle(SgVec3& position, SgVec3& velocity, float& dt, float time) override;
    void TransformToWorld(const SgMat3& rotation, const SgVec3& translation, float scale) override;
    void ResetWorld() override;

    float range = 0.0f;
    float duration = 0.0f;
    float strength = 0.0f;
    float startTime = 0.0f;
    uint32_t falloff = kFalloffNone;
    uint32_t symmetry = kSpherical;
    SgVec3 modelPosition;
    SgVec3 modelDirection;
    SgVec3 worldPosition;
    SgVec3 worldDirection;

protected:
    ~SgParticleBomb() override = default;
};

class SgSphericalCollider : public SgForce {
public:
    static SgTypeRecord typeRecord;
    static int Register();

    const SgTypeRecord* GetTypeRecord() const override;
    bool LoadFromStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;
    // The five floats; the centre is not compared.
    bool IsEqualTo(const SgObject* other) const override;

    SgForce* Clone() const override;
    bool ApplyToParticle(SgVec3& position, SgVec3& velocity, float& dt, float time) override;
    void TransformToWorld(const SgMat3& rotation, const SgVec3& translation, float scale) override;
    void ResetWorld() override;

    float radius = 1.0f;
    float radiusSquared = 1.0f;
    float bounce = 1.0f;
    float keptA = 0.0f;  // kept, streamed and compared only
    float keptB = 0.0f;
    SgVec3 modelCentre;
    SgVec3 worldCentre;

protected:
    ~SgSphericalCollider() override = default;
};

class SgPlanarCollider : public SgForce {
public:
    static SgTypeRecord typeRecord;
    static int Register();

    const SgTypeRecord* GetTypeRecord() const override;
    bool LoadFromStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;
    bool IsEqualTo(const SgObject* other) const override;

    SgForce* Clone() const override;
    // Turns the world plane to face a particle that comes from behind; it stays turned until
    // ResetWorld and TransformToWorld rebuild it.
    bool ApplyToParticle(SgVec3& position, SgVec3& velocity, float& dt, float time) override;
    void TransformToWorld(const SgMat3& rotation, const SgVec3& translation, float scale) override;
    // The four world vectors; the plane constant is left for TransformToWorld.
    void ResetWorld() override;

    float width = 1.0f;   // across the first axis
    float height = 1.0f;  // along the first axis
    float bounce = 1.0f;
    SgVec3 modelPosition;
    SgVec3 modelFirstAxis;
    SgVec3 modelSecondAxis;  // transformed, not used by the collision
    SgVec3 modelNormal;
    float modelConstant = 0.0f;
    SgVec3 worldPosition;
    SgVec3 worldFirstAxis;
    SgVec3 worldSecondAxis;
    SgVec3 worldNormal;
    float worldConstant = 0.0f;  // the plane is n . x + constant = 0

protected:
    ~SgPlanarCollider() override = default;
};

// Keeps a scene object and its values; deflects nothing.
class SgMeshCollider : public SgForce {
public:
    static SgTypeRecord typeRecord;
    static int Register();

    const SgTypeRecord* GetTypeRecord() const override;
    bool LoadFromStream(SgSceneStream& stream) override;
    void LinkFromStream(SgSceneStream& stream) override;
    bool RegisterInStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;
    // The object part only.
    bool IsEqualTo(const SgObject* other) const override;

    SgForce* Clone() const override;
    bool ApplyToParticle(SgVec3&, SgVec3&, float&, float) override { return false; }
    void TransformToWorld(const SgMat3&, const SgVec3&, float) override {}
    void ResetWorld() override {}

    float value = 1.0f;
    uint32_t keptWords[3] = {};
    SgRef<SgAVObject> mesh;

protected:
    ~SgMeshCollider() override;
};
