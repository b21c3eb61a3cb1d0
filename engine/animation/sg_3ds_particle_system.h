#pragma once
// Particle sprays, sparks and smoke: a node that emits, moves, spins, colours, sizes, collides and
// kills particles. The particles are the vertices of an SgParticles geometry the system holds as
// a child; with a template object each particle also carries a node of its own holding a copy of
// it. Forces push the particles, colliders deflect or kill them, and a particle dying of age (or
// on a collider) can spawn a next generation.
//
// Random choices come from the game's GameRand, seeded with 13 by every system's constructor; the
// order of the draws is part of the behaviour (a spray looks the same every run).
//
// The clock arrives through the timing part: SetTime notes it, and the state update runs
// Simulate with it. The first Simulate records the placement and restarts (snapshots, prewarm);
// later ones step; a mapped time that goes back kills every particle and restarts.

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/animation/sg_animation_timing.h"
#include "engine/animation/sg_force.h"
#include "engine/animation/sg_position_key.h"
#include "engine/core/sg_node.h"

class SgParticles;

struct SgParticleSnapshot {
    static constexpr uint32_t kStreamBytes = 56;

    float spinRate = 0.0f;
    float age = 0.0f;
    int32_t generation = 0;
    SgVec3 position;
    SgVec3 velocity;  // a direction in stored snapshots
    SgRef<SgAVObject> object;
    float angle = 0.0f;
    SgVec3 axis;
};

class Sg3dsParticleSystem : public SgNode, public SgAnimationTiming {
public:
    static SgTypeRecord typeRecord;
    static int Register();
    // Vertex counts of the particle geometry are 16-bit: no system holds more particles alive
    // at once, whatever capacity its file names.
    static constexpr uint32_t kMaxLive = 65535;

    // The work of particles is counted in particle-pushes: a particle moved through one step
    // costs one, one more for each force and each collider of its system, and, when it carries
    // a copy of the template, one for each object and vertex of the template; a birth costs
    // kBirthWork more.
    //
    // All systems together hold at most kWorkBudget of it, whatever their files say: a system
    // takes its share as its particles are born and gives it back when its particle arrays are
    // freed, and never holds more particles than its share pays for. So one step of every
    // system moves at most kWorkBudget, and their per-particle arrays hold at most that many
    // particles. A system that finds the budget spent is full: it emits no more.
    static constexpr uint64_t kWorkBudget = uint64_t{1} << 17;
    // A birth (its random draws, its place and its copy of the template) costs as much as this
    // many pushes more.
    static constexpr uint64_t kBirthWork = 8;
    // A prewarm runs at most its last kMaxPrewarmSteps steps (of a fifth of a time unit each),
    // and of those only the last ones whose work fits in kPrewarmWork.
    static constexpr uint32_t kMaxPrewarmSteps = 256;
    static constexpr uint64_t kPrewarmWork = uint64_t{1} << 19;
    // The shares all systems hold, and the particle-pushes all have stepped since the start.
    static uint64_t BudgetInUse();
    static uint64_t WorkDone();

    enum DeathMode : uint32_t { kDeflect = 0, kDieOnCollision = 1, kDieAndSpawn = 2, kSpawnOnAge = 3 };

    Sg3dsParticleSystem();

    const SgTypeRecord* GetTypeRecord() const override;
    bool LoadFromStream(SgSceneStream& stream) override;
    void LinkFromStream(SgSceneStream& stream) override;
    bool RegisterInStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;
    bool IsEqualTo(const SgObject* other) const override;

protected:
    ~Sg3dsParticleSystem() override;

public:
    // The node part without children, the parameters, keys, template, snapshots, cloned forces
    // and colliders, and the same geometry as child (a duplication's fix-up replaces it by the
    // geometry's copy). No particles.
    SgAVObject* MakeCopy(SgAVObject* copy) override;
    // Placement, the geometry's state, Simulate at the noted time, then the node's update.
    void UpdateState(SgWorldState* state) override;
    void Update(float t) override { SetTime(t); }

    virtual void Simulate(float t);
    void SetTime(float t) { pendingTime = t; }

    // ---- Setting up ----
    void SetParticles(SgParticles* geometry);
    void SetMaxParticles(uint32_t count);
    void SetEmitDirection(const SgVec3& direction);
    void SetParticleObject(SgAVObject* object);
    void SetExtraObjectCount(uint32_t count);
    void SetExtraObjectAt(SgAVObject* object, uint32_t i);
    SgAVObject* GetExtraObjectAt(uint32_t i) const;
    // Ignored once maxParticles snapshots are held.
    void AddSnapshot(const SgParticleSnapshot& snapshot);
    void AddForce(SgForce* force) { forces_.Push(force); }
    void AddCollider(SgForce* collider) { colliders_.Push(collider); }
    void SetColorKeys(const SgPositionKey* const* keys, uint32_t count);

    // ---- Inside a step (public for tests) ----
    void Restart();
    void Step(float m);
    void KillParticle(uint32_t i);
    void Respawn(const SgParticleSnapshot& snapshot);
    void EmitFromSnapshot(const SgParticleSnapshot& snapshot);
    float SizeFactor(float age, int32_t generation) const;
    SgRgba ParticleColor(float age);

    // ---- Reading ----
    SgParticles* Geometry() const { return geometry_.Get(); }
    SgForce* Forces() const { return forces_.Head(); }
    SgForce* Colliders() const { return colliders_.Head(); }
    uint32_t MaxParticles() const { return maxParticles_; }
    uint32_t LiveCount() const { return liveCount_; }
    // Particles the per-particle arrays have room for: they grow as particles are born, so a
    // capacity costs nothing until it is used.
    uint32_t Room() const { return static_cast<uint32_t>(age_.size()); }
    // This system's share of the budget, and what one of its particles costs a step.
    uint64_t Share() const { return share_; }
    uint64_t UnitsPerParticle();
    uint32_t ExtraObjectCount() const { return static_cast<uint32_t>(extraObjects_.size()); }
    SgAVObject* ParticleObject() const { return template_.Get(); }
    uint32_t SnapshotCount() const { return snapshotCount_; }
    const SgParticleSnapshot* Snapshots() const { return snapshots_.get(); }
    const SgKeyArray<SgPositionKey>& ColorKeys() const { return colorKeys_; }
    const SgVec3& EmitDirection() const { return emitDirection_; }
    const SgVec3& SpreadAxisU() const { return spreadAxisU_; }
    const SgVec3& SpreadAxisV() const { return spreadAxisV_; }
    // Particle i's state (i below the live count).
    SgVec3* Positions() const;
    const SgVec3* Velocities() const { return velocity_.data(); }
    const float* Ages() const { return age_.data(); }
    const int32_t* Generations() const { return generation_.data(); }
    const float* SpinRates() const { return spinRate_.data(); }
    // Angle, then axis x, y, z.
    const float* Rotations() const { return rotation_.data(); }
    SgNode* ParticleNode(uint32_t i) const { return i < particleNodes_.size() ? particleNodes_[i].Get() : nullptr; }

    // ---- Parameters ----
    float pendingTime = 0.0f;
    uint8_t rateFromLifeSpan = 0;
    float particleSize = 1.0f;
    float speed = 1.0f;
    float speedVariation = 0.0f;
    float lifeSpan = 0.0f;
    float emitRate = 1.0f;
    float emitterWidth = 1.0f;
    float emitterLength = 1.0f;
    float keptA = 0.0f, keptB = 0.0f, keptC = 0.0f, keptD = 0.0f;  // kept and compared only
    uint32_t emitterType = 1;  // 0 box spray, 1 directed, other random directions
    float spread = 0.0f;
    float lastTime = -1.0f;
    float emitRemainder = 0.0f;
    int32_t maxGenerations = 0;
    uint32_t deathMode = kDeflect;
    float spinPeriod = 0.0f;
    float spinVariation = 0.0f;
    uint32_t fixedSpinAxis = 0;
    float keptE = 0.0f;
    SgVec3 spinAxis{1, 0, 0};
    float prewarmTime = 0.0f;
    float stopTime = -1.0f;  // exactly -1: never
    float thetaSpread = 0.0f, thetaCentre = 0.0f, phiSpread = 0.0f, phiCentre = 0.0f;
    uint32_t directionMode = 0;  // 1 random start angle; 3 spherical directions
    float fadeInTime = 0.0f;
    float fadeOutTime = 0.0f;
    uint8_t worldSpace = 1;
    int32_t colorKeyIndex = 0;

    // The world placement at the last step.
    SgMat3 previousRotation = SgIdentityMat3;
    SgVec3 previousTranslation;
    float previousScale = 1.0f;

private:
    struct Placement {
        SgMat3 rotation = SgIdentityMat3;
        SgVec3 translation;
        float scale = 1.0f;
    };
    Placement CurrentPlacement() const;
    void RecordPlacement();
    void FreeParticleArrays();
    // The most particles alive at once: the capacity, within kMaxLive.
    uint32_t LiveLimit() const { return maxParticles_ < kMaxLive ? maxParticles_ : kMaxLive; }
    // Room for particles 0..count-1 in every per-particle array, paid from the budget: the
    // number of particles the arrays and the share now hold (count at most).
    uint32_t Grant(uint32_t count);
    uint64_t TemplateWeight();
    // The prewarm's steps (at most `most` of `step` each) whose work fits in kPrewarmWork.
    uint32_t AffordablePrewarmSteps(uint32_t most, float step);
    void ReleaseSnapshots();
    // Lowers the capacity to count, keeping the first snapshots (no particle is live).
    void ShrinkCapacity(uint32_t count);
    void SyncGeometryCount();
    // The colliders on a copy of the particle with time dt: the hit with the most time left, or
    // false.
    bool Collide(SgVec3& position, SgVec3& velocity, float dt);
    void ApplyForces(SgVec3& position, SgVec3& velocity, float dt, float m);
    void ColorAndSize(uint32_t i);
    SgParticleSnapshot SnapshotOf(uint32_t i) const;
    SgNode* MakeParticleNode(SgAVObject* content, const SgVec3& position);
    bool UsableTemplate() const;
    // The node part of a copy without the children.
    void CopyFieldsInto(Sg3dsParticleSystem* copy) const;
    void RemoveGeometryChild();

    mutable bool copying_ = false;
    uint32_t maxParticles_ = 0;
    uint64_t share_ = 0;
    bool templateWeighed_ = false;
    uint64_t templateWeight_ = 0;
    uint32_t liveCount_ = 0;
    std::vector<SgRef<SgAVObject>> extraObjects_;
    SgRef<SgAVObject> template_;
    SgVec3 emitDirection_{0, 0, -1};
    SgVec3 spreadAxisU_{1, 0, 0};
    SgVec3 spreadAxisV_{0, 1, 0};
    // Per particle, all of Room() entries.
    std::vector<float> spinRate_;
    std::vector<float> age_;
    std::vector<int32_t> generation_;
    std::vector<SgRef<SgNode>> particleNodes_;
    std::vector<SgVec3> ownPositions_;
    std::vector<SgVec3> velocity_;
    std::vector<float> rotation_;  // 4 per particle
    std::vector<uint8_t> fresh_;   // respawned in the current step
    SgForceChain forces_;
    SgForceChain colliders_;
    SgRef<SgParticles> geometry_;
    uint32_t snapshotCount_ = 0;
    std::unique_ptr<SgParticleSnapshot[]> snapshots_;
    SgKeyArray<SgPositionKey> colorKeys_;
};
