// Particle systems: the first call and restarts, the emission count, the newborns' draws in
// order, deaths and generations, colours and fades, world-space motion, copies, and the guards on
// counts and slots.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "common/random.h"
#include "engine/animation/sg_3ds_particle_system.h"
#include "engine/geometry/sg_particles.h"
#include "engine/geometry/sg_tri_shape.h"
#include "tests/engine/support/large_particle_system.h"

namespace {

void ExpectVec(const SgVec3& got, const SgVec3& want, float tolerance, const std::string& what) {
    EXPECT_NEAR(got.x, want.x, tolerance) << what;
    EXPECT_NEAR(got.y, want.y, tolerance) << what;
    EXPECT_NEAR(got.z, want.z, tolerance) << what;
}

float U() { return static_cast<float>(GameRand()) / 32767.0f; }

// A system on an auto-normal particle geometry of the given capacity, played on the application
// clock over [0, 1000] (the mapped time is the clock), emitting nothing until told to.
struct Spray {
    explicit Spray(uint16_t capacity, bool colors = false) {
        std::vector<SgVec3> positions(capacity);
        std::vector<SgRgba> rgba(capacity, SgRgba(0, 0, 0, 1));
        geometry = new SgAutoNormalParticles(capacity, positions.data(), colors ? rgba.data() : nullptr);
        system = new Sg3dsParticleSystem;
        system->timeMode = SgAnimationTiming::kTimeApplication;
        system->lowKeyTime = 0;
        system->highKeyTime = 1000;
        system->SetParticles(geometry.Get());
        system->emitRate = 0;
        system->lifeSpan = 100;
    }
    Sg3dsParticleSystem* operator->() const { return system.Get(); }
    SgVec3 Position(uint32_t i) const { return system->Positions()[i]; }

    SgRef<SgParticles> geometry;
    SgRef<Sg3dsParticleSystem> system;
};

SgParticleSnapshot Snapshot(const SgVec3& position, const SgVec3& direction) {
    SgParticleSnapshot s;
    s.position = position;
    s.velocity = direction;
    return s;
}

TEST(ParticleSystem, TheFirstCallOnlyRecordsAndRestarts) {
    Spray spray(8);
    spray->emitRate = 10;
    spray->Simulate(0.5f);
    EXPECT_EQ(spray->LiveCount(), 0u) << "no step on the first call";
    EXPECT_EQ(spray->lastTime, 0.5f);
    spray->Simulate(0.50005f);
    EXPECT_EQ(spray->LiveCount(), 0u) << "a change below 0.0001 does nothing";
    EXPECT_EQ(spray->lastTime, 0.5f);
    spray->Simulate(1.0f);
    EXPECT_EQ(spray->LiveCount(), 5u) << "10 per unit over 0.5";
    EXPECT_EQ(spray.geometry->ActiveCount(), 5u);
    EXPECT_FLOAT_EQ(spray.geometry->size, 0.5f) << "half the particle size";
    EXPECT_EQ(spray->lastTime, 1.0f);

    // A first call at time 0 leaves lastTime at 0: the next call is a first call again.
    Spray zero(8);
    zero->emitRate = 10;
    zero->Simulate(0.0f);
    EXPECT_EQ(zero->lastTime, 0.0f);
    zero->Simulate(1.0f);
    EXPECT_EQ(zero->LiveCount(), 0u);
    EXPECT_EQ(zero->lastTime, 1.0f);
    zero->Simulate(1.5f);
    EXPECT_EQ(zero->LiveCount(), 5u);

    // A change just above 0.0001 is a step.
    Spray small(8);
    small->Simulate(0.5f);
    small->Simulate(0.50012f);
    EXPECT_EQ(small->lastTime, 0.50012f);
}

TEST(ParticleSystem, AKilledSlotTakesTheLastParticleWhole) {
    Spray spray(4);
    spray->maxGenerations = 5;
    spray->speedVariation = 0;
    spray->Simulate(1.0f);
    SgParticleSnapshot first = Snapshot({1, 0, 0}, {1, 0, 0});
    first.spinRate = 1;
    first.angle = 0.1f;
    first.axis = {1, 0, 0};
    SgParticleSnapshot last = Snapshot({0, 2, 0}, {0, 3, 0});
    last.spinRate = 2;
    last.angle = 0.2f;
    last.axis = {0, 1, 0};
    last.generation = 2;
    last.age = 103;
    spray->EmitFromSnapshot(first);
    spray->Respawn(last);
    ASSERT_EQ(spray->LiveCount(), 2u);
    spray->KillParticle(0);
    ASSERT_EQ(spray->LiveCount(), 1u);
    EXPECT_EQ(spray.Position(0), SgVec3(0, 2, 0));
    EXPECT_EQ(spray->Velocities()[0], SgVec3(0, 3, 0));
    EXPECT_EQ(spray->Ages()[0], 3.0f) << "103 less the life span";
    EXPECT_EQ(spray->Generations()[0], 3);
    EXPECT_EQ(spray->SpinRates()[0], 2.0f);
    const float* r = spray->Rotations();
    EXPECT_EQ((std::vector<float>{r[0], r[1], r[2], r[3]}), (std::vector<float>{0.2f, 0, 1, 0}));
}

TEST(ParticleSystem, TheFirstNewbornFollowsTheDrawOrder) {
    for (uint32_t directionMode : {0u, 1u}) {
        Spray spray(4);
        spray->emitRate = 1;
        spray->speed = 2;
        spray->speedVariation = 0.5f;
        spray->spread = 0.1f;
        spray->SetEmitDirection({0, 0, -3});
        spray->spinPeriod = 2;
        spray->spinVariation = 0.25f;
        spray->emitterWidth = 4;
        spray->emitterLength = 2;
        spray->directionMode = directionMode;
        spray->Simulate(1.0f);
        spray->Simulate(2.0f);
        ASSERT_EQ(spray->LiveCount(), 1u);

        // Recomputed from the constructor's seed, draw by draw.
        GameSrand(13);
        const float dt = 1.0f, sv = 0.5f;
        float age = dt - U() * dt;
        float w = sv * U() - sv * 0.5f;
        GameRand();  // the unused draw
        float alpha = 0.05f - U() / 10, beta = 0.05f - U() / 10;
        SgVec3 d = SgVec3(0, 0, -1) + SgVec3(1, 0, 0) * alpha + SgVec3(0, 1, 0) * beta;
        SgVec3 velocity = d * ((2.0f + w) / d.Length());
        float ax = 2 * U() - 1, ay = 2 * U() - 1, az = 2 * U() - 1;
        SgVec3 axis{ax, ay, az};
        axis.Normalize();
        float angle = directionMode == 1 ? U() * SgTwoPi : 0.0f;
        float period = 2.0f * (1.0f + U() * 0.25f);
        float px = U() * 4 - 2, py = U() * 2 - 1;
        SgVec3 position = SgVec3(px, py, 0) + velocity * age;

        std::string what = "direction mode " + std::to_string(directionMode);
        EXPECT_FLOAT_EQ(spray->Ages()[0], age) << what;
        ExpectVec(spray->Velocities()[0], velocity, 1e-6f, what);
        ExpectVec(spray.Position(0), position, 1e-5f, what);
        const float* r = spray->Rotations();
        // The angle is drawn at birth and turned by the spin once the particle moves.
        EXPECT_FLOAT_EQ(r[0], angle) << what;
        ExpectVec({r[1], r[2], r[3]}, axis, 1e-6f, what);
        EXPECT_FLOAT_EQ(spray->SpinRates()[0], SgTwoPi / period) << what;
        EXPECT_EQ(spray->Generations()[0], 0);
    }
}

TEST(ParticleSystem, EmitterShapesAndDirections) {
    // A box spray without variation shoots straight along -z at the speed.
    Spray box(4);
    box->emitterType = 0;
    box->emitRate = 1;
    box->speed = 3;
    box->Simulate(1.0f);
    box->Simulate(2.0f);
    ASSERT_EQ(box->LiveCount(), 1u);
    EXPECT_EQ(box->Velocities()[0], SgVec3(0, 0, -3));

    // Spherical directions: theta 0 spread 0 is straight along +z.
    Spray sphere(4);
    sphere->directionMode = 3;
    sphere->emitRate = 1;
    sphere->speed = 2;
    sphere->Simulate(1.0f);
    sphere->Simulate(2.0f);
    ASSERT_EQ(sphere->LiveCount(), 1u);
    ExpectVec(sphere->Velocities()[0], {0, 0, 2}, 1e-6f, "theta 0");

    // Random directions keep the speed; a zero emission direction gives no velocity at all.
    Spray random(4);
    random->emitterType = 2;
    random->emitRate = 1;
    random->speed = 5;
    random->Simulate(1.0f);
    random->Simulate(2.0f);
    EXPECT_NEAR(random->Velocities()[0].Length(), 5.0f, 1e-4f);
    Spray none(4);
    none->SetEmitDirection({0, 0, 0});
    none->emitRate = 1;
    none->Simulate(1.0f);
    none->Simulate(2.0f);
    ASSERT_EQ(none->LiveCount(), 1u);
    EXPECT_EQ(none->Velocities()[0], SgVec3());
}

TEST(ParticleSystem, SpreadAxesFollowTheLargestComponent) {
    struct AxisCase {
        SgVec3 direction;
        SgVec3 u, v;
    };
    const AxisCase cases[] = {
        {{5, 1, 2}, {0, 1, 0}, {0, 0, 1}},
        {{1, 2, -5}, {1, 0, 0}, {0, 1, 0}},
        {{1, -5, 2}, {0, 0, 1}, {1, 0, 0}},
        {{3, 3, 3}, {0, 0, 1}, {1, 0, 0}},
    };
    Spray spray(1);
    for (const AxisCase& c : cases) {
        spray->SetEmitDirection(c.direction);
        EXPECT_EQ(spray->SpreadAxisU(), c.u) << c.direction.x << " " << c.direction.y << " " << c.direction.z;
        EXPECT_EQ(spray->SpreadAxisV(), c.v);
        EXPECT_NEAR(spray->EmitDirection().Length(), 1.0f, 1e-6f);
    }
}

TEST(ParticleSystem, EmissionCountCarriesTheRemainderAndStopsWhenFull) {
    Spray spray(6);
    spray->emitRate = 2.5f;
    spray->Simulate(1.0f);
    spray->Simulate(2.0f);
    EXPECT_EQ(spray->LiveCount(), 2u);
    EXPECT_FLOAT_EQ(spray->emitRemainder, 0.5f);
    spray->Simulate(3.0f);
    EXPECT_EQ(spray->LiveCount(), 5u) << "2.5 + 0.5";
    EXPECT_FLOAT_EQ(spray->emitRemainder, 0.0f);
    spray->Simulate(4.0f);
    EXPECT_EQ(spray->LiveCount(), 6u) << "only the room left";
    EXPECT_EQ(spray->emitRemainder, 0.0f) << "the surplus goes with the remainder";

    // A rate that is not a number, or negative, emits nothing.
    for (float rate : {std::numeric_limits<float>::quiet_NaN(), -3.0f, std::numeric_limits<float>::infinity()}) {
        Spray odd(4);
        odd->emitRate = rate;
        odd->Simulate(1.0f);
        odd->Simulate(2.0f);
        EXPECT_LE(odd->LiveCount(), 4u) << rate;
        if (!(rate > 0))
            EXPECT_EQ(odd->LiveCount(), 0u) << rate;
        EXPECT_FALSE(std::isnan(odd->emitRemainder)) << rate;
    }
}

TEST(ParticleSystem, LifeSpanRateKeepsTheSystemAboutFull) {
    Spray spray(8);
    spray->rateFromLifeSpan = 1;
    spray->lifeSpan = 2;
    spray->Simulate(1.0f);
    for (int i = 1; i <= 40; ++i)
        spray->Simulate(1.0f + 0.25f * i);
    EXPECT_GE(spray->LiveCount(), 6u);
    EXPECT_LE(spray->LiveCount(), 8u);

    // Without a life span the rate emits nothing (no division by zero).
    Spray none(8);
    none->rateFromLifeSpan = 1;
    none->lifeSpan = 0;
    none->Simulate(1.0f);
    none->Simulate(2.0f);
    EXPECT_EQ(none->LiveCount(), 0u);
    EXPECT_EQ(none->emitRemainder, 0.0f);
}

TEST(ParticleSystem, StopTimeEndsEmission) {
    for (float stop : {-1.0f, 2.0f}) {
        Spray spray(20);
        spray->emitRate = 1;
        spray->stopTime = stop;
        spray->Simulate(1.0f);
        spray->Simulate(2.0f);
        spray->Simulate(3.0f);
        spray->Simulate(4.0f);
        EXPECT_EQ(spray->LiveCount(), stop == -1.0f ? 3u : 1u) << stop;
    }
}

TEST(ParticleSystem, DeathByAgeSpawnsGenerations) {
    Spray spray(4);
    spray->lifeSpan = 1;
    spray->deathMode = Sg3dsParticleSystem::kSpawnOnAge;
    spray->maxGenerations = 2;
    spray->speedVariation = 0;
    spray->AddSnapshot(Snapshot({0, 0, 0}, {1, 0, 0}));
    spray->Simulate(0.5f);
    ASSERT_EQ(spray->LiveCount(), 1u) << "the snapshot at the restart";
    spray->Simulate(1.1f);
    spray->Simulate(1.7f);
    ASSERT_EQ(spray->LiveCount(), 1u);
    EXPECT_EQ(spray->Generations()[0], 1) << "the child takes the parent's place";
    EXPECT_NEAR(spray->Ages()[0], 0.2f, 1e-5f) << "its age continues past the parent's death";
    ExpectVec(spray.Position(0), {1.2f, 0, 0}, 1e-5f, "the parent's place and velocity, moved on");
    std::vector<int32_t> generations;
    for (int i = 1; i <= 8; ++i) {
        spray->Simulate(1.7f + 0.6f * i);
        generations.push_back(spray->LiveCount() ? spray->Generations()[0] : -1);
    }
    EXPECT_EQ(generations, (std::vector<int32_t>{1, 2, 2, -1, -1, -1, -1, -1}))
        << "generation 2 dies without a child";

    // A particle whose age reaches its life span exactly at the end of a step lives on.
    Spray edge(2);
    edge->lifeSpan = 1;
    edge->AddSnapshot(Snapshot({}, {}));
    edge->Simulate(1.0f);
    edge->Simulate(2.0f);
    EXPECT_EQ(edge->LiveCount(), 1u);
    edge->Simulate(2.5f);
    EXPECT_EQ(edge->LiveCount(), 0u);

    // Other death modes: a particle dying of age leaves no child.
    Spray plain(4);
    plain->lifeSpan = 1;
    plain->maxGenerations = 2;
    plain->AddSnapshot(Snapshot({0, 0, 0}, {1, 0, 0}));
    plain->Simulate(0.5f);
    plain->Simulate(1.1f);
    plain->Simulate(1.7f);
    EXPECT_EQ(plain->LiveCount(), 0u);
}

TEST(ParticleSystem, AChildDiesAtMostOncePerStep) {
    // Without a life every step kills the particle: its child must not die again at once, or the
    // chain of generations would run on within one step.
    Spray spray(4);
    spray->lifeSpan = 0;
    spray->deathMode = Sg3dsParticleSystem::kSpawnOnAge;
    spray->maxGenerations = std::numeric_limits<int32_t>::max();
    spray->AddSnapshot(Snapshot({0, 0, 0}, {1, 0, 0}));
    spray->Simulate(1.0f);
    spray->Simulate(2.0f);
    ASSERT_EQ(spray->LiveCount(), 1u);
    EXPECT_EQ(spray->Generations()[0], 1);
    spray->Simulate(3.0f);
    EXPECT_EQ(spray->Generations()[0], 2);
}

// A floor at z = -1 under an emitter shooting down at speed 4 with dt 1: every newborn meets it.
SgRef<SgPlanarCollider> Floor() {
    SgRef<SgPlanarCollider> floor(new SgPlanarCollider);
    floor->width = 100;
    floor->height = 100;
    floor->modelPosition = {0, 0, -1};
    floor->modelFirstAxis = {1, 0, 0};
    floor->modelSecondAxis = {0, 1, 0};
    floor->modelNormal = {0, 0, 1};
    floor->modelConstant = 1;
    return floor;
}

TEST(ParticleSystem, CollidersDeflectOrKillByDeathMode) {
    struct ModeCase {
        uint32_t deathMode;
        uint32_t wantLive;
        int32_t wantGeneration;
    };
    const ModeCase cases[] = {{0, 1, 0}, {1, 0, -1}, {2, 1, 1}};
    for (const ModeCase& c : cases) {
        Spray spray(4);
        spray->emitterType = 0;
        spray->speed = 4;
        spray->emitterWidth = 0;
        spray->emitterLength = 0;
        spray->deathMode = c.deathMode;
        spray->maxGenerations = 3;
        spray->AddCollider(Floor().Get());
        spray->AddSnapshot(Snapshot({0, 0, 0}, {0, 0, -1}));
        spray->Simulate(1.0f);
        ASSERT_EQ(spray->LiveCount(), 1u);
        spray->Simulate(2.0f);
        ASSERT_EQ(spray->LiveCount(), c.wantLive) << "death mode " << c.deathMode;
        if (c.deathMode == 0) {
            ExpectVec(spray->Velocities()[0], {0, 0, 4}, 1e-5f, "bounced");
            ExpectVec(spray.Position(0), {0, 0, 2.001f}, 1e-4f, "the rest of the step upwards");
        }
        if (c.wantGeneration >= 0)
            EXPECT_EQ(spray->Generations()[0], c.wantGeneration) << "death mode " << c.deathMode;
    }
}

TEST(ParticleSystem, ANewbornDyingOnACollisionLeavesThePendingNewbornsIntact) {
    Spray spray(8);
    spray->emitterType = 0;
    spray->speed = 40;
    spray->emitRate = 3;
    spray->deathMode = Sg3dsParticleSystem::kDieAndSpawn;
    spray->maxGenerations = 1;
    spray->lifeSpan = 1000;
    spray->AddCollider(Floor().Get());
    spray->Simulate(1.0f);
    spray->Simulate(2.0f);
    // All three newborns hit the floor and die; their children come after the step's newborns.
    ASSERT_EQ(spray->LiveCount(), 3u);
    for (uint32_t i = 0; i < 3; ++i) {
        EXPECT_EQ(spray->Generations()[i], 1) << i;
        EXPECT_GT(spray->Velocities()[i].z, 0.0f) << "bounced before dying";
    }
}

TEST(ParticleSystem, ForcesPushTheLivingAndTheNewborn) {
    Spray spray(4);
    SgRef<SgGravity> gravity(new SgGravity);
    gravity->modelDirection = {0, 0, 1};
    spray->AddForce(gravity.Get());
    spray->AddSnapshot(Snapshot({0, 0, 0}, {0, 0, 0}));
    spray->speed = 0;
    spray->Simulate(1.0f);
    spray->Simulate(2.0f);
    ExpectVec(spray->Velocities()[0], {0, 0, -0.16f}, 1e-6f, "one second of gravity");
    ExpectVec(spray.Position(0), {0, 0, 0}, 1e-6f, "moved before the force");
}

TEST(ParticleSystem, ColourKeysOverRelativeAgeAndFades) {
    Spray spray(4, true);
    spray->lifeSpan = 4;
    SgPositionKeyLinear red(0, {1, 0, 0}), blue(1, {0, 0.5f, 3});
    const SgPositionKey* keys[] = {&red, &blue};
    spray->SetColorKeys(keys, 2);
    struct ColorCase {
        float age;
        SgRgba want;
    };
    const ColorCase cases[] = {{0, {1, 0, 0, 1}}, {2, {0.5f, 0.25f, 1, 1}}, {4, {0, 0.5f, 1, 1}},
                               {9, {0, 0.5f, 1, 1}}, {-1, {1, 0, 0, 1}}};
    for (const ColorCase& c : cases) {
        SgRgba got = spray->ParticleColor(c.age);
        EXPECT_NEAR(got.r, c.want.r, 1e-6f) << c.age;
        EXPECT_NEAR(got.g, c.want.g, 1e-6f) << c.age;
        EXPECT_NEAR(got.b, c.want.b, 1e-6f) << c.age << ": clamped to 1";
        EXPECT_EQ(got.a, 1.0f);
    }
    spray->lifeSpan = 0;
    EXPECT_EQ(spray->ParticleColor(3).r, 1.0f) << "no life span: the colour of age 0";

    // Through a step: the colour array receives the colour of the particle's age.
    spray->lifeSpan = 4;
    spray->AddSnapshot(Snapshot({}, {}));
    spray->Simulate(1.0f);
    spray->Simulate(3.0f);
    EXPECT_NEAR(spray.geometry->Colors()[0].g, 0.25f, 1e-6f);

    struct FadeCase {
        float age;
        int32_t generation;
        float want;
    };
    // Fade in over 1, out over the last 2 of a life of 10, generations up to 1.
    const FadeCase fades[] = {{0.5f, 0, 0.5f}, {-0.5f, 0, 0.0f}, {0.5f, 1, 1.0f}, {9, 1, 0.5f},
                              {12, 1, 0.0f},   {9, 0, 1.0f},     {5, 1, 1.0f}};
    spray->fadeInTime = 1;
    spray->fadeOutTime = 2;
    spray->lifeSpan = 10;
    spray->maxGenerations = 1;
    for (const FadeCase& f : fades)
        EXPECT_FLOAT_EQ(spray->SizeFactor(f.age, f.generation), f.want) << f.age << " gen " << f.generation;
    spray->Simulate(3.5f);
    EXPECT_FLOAT_EQ(spray.geometry->Sizes()[0], 1.0f) << "age 2.5 of generation 0: no fade";
}

TEST(ParticleSystem, AWrapKillsEveryParticleAndRestarts) {
    Spray spray(16);
    spray->cycleType = SgAnimationTiming::kCycleLoop;
    spray->lowKeyTime = 0;
    spray->highKeyTime = 10;
    spray->emitRate = 1;
    spray->AddSnapshot(Snapshot({1, 0, 0}, {0, 1, 0}));
    spray->AddSnapshot(Snapshot({2, 0, 0}, {0, 1, 0}));
    spray->Simulate(1.0f);
    EXPECT_EQ(spray->LiveCount(), 2u);
    spray->Simulate(9.0f);
    EXPECT_EQ(spray->LiveCount(), 10u);
    spray->Simulate(12.0f);  // maps to 2: back from 9
    EXPECT_EQ(spray->LiveCount(), 4u) << "two snapshots and two newborns of the step from the low time";
    EXPECT_EQ(spray->lastTime, 2.0f);

    // Prewarm at a restart: steps from low - prewarm up to low.
    Spray warm(64);
    warm->emitRate = 4;
    warm->prewarmTime = 2;
    warm->Simulate(1.0f);
    EXPECT_EQ(warm->LiveCount(), 8u) << "two units of emission before the start";
    EXPECT_EQ(warm->lastTime, 1.0f) << "restored";
}

// A force that applies nothing and notes each step it is applied in: the step and the time.
class StepLog : public SgForce {
public:
    SgForce* Clone() const override { return new StepLog; }
    bool ApplyToParticle(SgVec3&, SgVec3&, float& dt, float time) override {
        steps.push_back({dt, time});
        return false;
    }
    void TransformToWorld(const SgMat3&, const SgVec3&, float) override {}
    void ResetWorld() override {}

    struct Step {
        float dt, time;
    };
    std::vector<Step> steps;
};

// Five steps a time unit, at least one; a prewarm longer than its bound runs only its last
// steps, each as long as in the whole run.
TEST(ParticleSystem, PrewarmStepsAFifthOfAUnitAndRunsAtMostItsLastSteps) {
    struct PrewarmCase {
        float prewarm;
        size_t steps;
        float dt;
        float firstTime;  // of the first step, from low key time 0
    };
    const float inf = std::numeric_limits<float>::infinity();
    const uint32_t most = Sg3dsParticleSystem::kMaxPrewarmSteps;
    const PrewarmCase cases[] = {
        {2.0f, 10, 0.2f, -1.8f},
        {0.1f, 1, 0.1f, 0.0f},
        {0.3f, 1, 0.3f, 0.0f},
        {0.5f, 2, 0.25f, -0.25f},
        {10.3f, 51, 10.3f / 51, -50 * 10.3f / 51},
        {51.2f, most, 0.2f, -0.2f * (most - 1)},
        {60.3f, most, 60.3f / 301, -(float(most) - 1) * 60.3f / 301},
        {1e9f, most, 0.2f, -0.2f * (most - 1)},
        {inf, most, 0.2f, -0.2f * (most - 1)},
        {std::numeric_limits<float>::quiet_NaN(), 0, 0, 0},
        {-1.0f, 0, 0, 0},
    };
    for (const PrewarmCase& c : cases) {
        Spray spray(4);
        SgRef<StepLog> log(new StepLog);
        spray->AddForce(log.Get());
        spray->prewarmTime = c.prewarm;
        spray->speed = 0;
        spray->AddSnapshot(Snapshot({}, {}));
        spray->Simulate(1.0f);
        ASSERT_EQ(log->steps.size(), c.steps) << "prewarm " << c.prewarm;
        if (c.steps == 0)
            continue;
        EXPECT_NEAR(log->steps.front().dt, c.dt, 1e-5f) << "prewarm " << c.prewarm;
        EXPECT_NEAR(log->steps.front().time, c.firstTime, 1e-3f) << "prewarm " << c.prewarm;
        EXPECT_NEAR(log->steps.back().time, 0.0f, 1e-4f) << "the prewarm ends at the low key time";
        EXPECT_EQ(spray->lastTime, 1.0f) << "restored";
    }
}

// An ordinary prewarm is played whole: 30 units at 10 a unit, none dying, leave 300.
TEST(ParticleSystem, AnOrdinaryPrewarmLeavesWhatItsWholeTimeEmits) {
    Spray spray(1000);
    spray->emitRate = 10;
    spray->lifeSpan = 60;
    spray->prewarmTime = 30;
    SgRef<SgGravity> gravity(new SgGravity);
    spray->AddForce(gravity.Get());
    spray->Simulate(1.0f);
    EXPECT_NEAR(spray->LiveCount(), 300u, 2u);
    float oldest = 0;
    for (uint32_t i = 0; i < spray->LiveCount(); ++i)
        oldest = std::max(oldest, spray->Ages()[i]);
    EXPECT_NEAR(oldest, 30.0f, 0.21f) << "the first born is as old as the prewarm";
}

// ---- The shared budget ----

uint64_t HeldWork(const Sg3dsParticleSystem& s, uint64_t units) { return uint64_t{s.LiveCount()} * units; }

// All systems together hold no more particle work than the budget, whatever their files ask:
// the first takes what its capacity and forces need, the next what is left, and a system that
// goes gives its share back. A step of them all moves no more than the budget.
TEST(ParticleBudget, SystemsShareOneBudgetAndGiveTheirShareBack) {
    const uint64_t budget = Sg3dsParticleSystem::kWorkBudget;
    const uint64_t before = Sg3dsParticleSystem::BudgetInUse();
    ASSERT_EQ(before, 0u) << "no system of an earlier test holds a share";
    {
        std::vector<SgRef<Sg3dsParticleSystem>> crowds;
        for (int i = 0; i < 20; ++i)
            crowds.push_back(CrowdedParticleSystem(1));
        for (auto& c : crowds) {
            c->Simulate(1.0f);
            c->Simulate(2.0f);
        }
        const uint64_t units = crowds[0]->UnitsPerParticle();
        ASSERT_EQ(units, 2u) << "moved and pushed by one gravity";
        EXPECT_EQ(crowds[0]->LiveCount(), Sg3dsParticleSystem::kMaxLive) << "the first has all it needs";
        EXPECT_EQ(crowds[1]->LiveCount(), (budget - Sg3dsParticleSystem::kMaxLive * units) / units)
            << "the second what is left";
        EXPECT_EQ(crowds[2]->LiveCount(), 0u) << "the rest none";
        uint64_t held = 0;
        for (auto& c : crowds) {
            held += c->Share();
            EXPECT_LE(HeldWork(*c, units), c->Share());
            EXPECT_LE(c->Room() * units, c->Share()) << "the arrays hold no more than the share pays for";
        }
        EXPECT_EQ(held, Sg3dsParticleSystem::BudgetInUse());
        EXPECT_LE(held, budget);

        const uint64_t work = Sg3dsParticleSystem::WorkDone();
        for (auto& c : crowds)
            c->Simulate(3.0f);
        EXPECT_LE(Sg3dsParticleSystem::WorkDone() - work, budget + crowds.size() * units)
            << "one step of every system: the budget and one unit a system";

        crowds[0] = nullptr;
        crowds[2]->Simulate(4.0f);
        EXPECT_EQ(crowds[2]->LiveCount(), Sg3dsParticleSystem::kMaxLive) << "the share given back is taken";
    }
    EXPECT_EQ(Sg3dsParticleSystem::BudgetInUse(), before);
}

// Forces added to a running system make each particle dearer: what its share no longer pays for
// goes at the next step, and a template is paid for by its objects and vertices.
TEST(ParticleBudget, DearerParticlesAreFewer) {
    SgRef<Sg3dsParticleSystem> first = CrowdedParticleSystem();
    SgRef<Sg3dsParticleSystem> second = CrowdedParticleSystem();
    for (auto* s : {first.Get(), second.Get()}) {
        s->Simulate(1.0f);
        s->Simulate(2.0f);
        ASSERT_EQ(s->LiveCount(), Sg3dsParticleSystem::kMaxLive);
    }
    SgRef<SgGravity> gravity(new SgGravity);
    second->AddForce(gravity.Get());
    second->Simulate(3.0f);
    EXPECT_EQ(second->LiveCount(), second->Share() / 2);
    EXPECT_LE(Sg3dsParticleSystem::BudgetInUse(), Sg3dsParticleSystem::kWorkBudget);
    first = nullptr;
    second = nullptr;

    std::vector<SgVec3> corners(1000);
    std::vector<uint16_t> indices(3);
    SgRef<SgTriShape> heavy(new SgTriShape(1000, corners.data(), nullptr, 1, indices.data(), nullptr, nullptr));
    SgRef<Sg3dsParticleSystem> shards = CrowdedParticleSystem();
    shards->SetParticleObject(heavy.Get());
    EXPECT_EQ(shards->UnitsPerParticle(), 1u + 1 + 1000) << "moved, the copy's object and its vertices";
    shards->Simulate(1.0f);
    shards->Simulate(2.0f);
    EXPECT_EQ(shards->LiveCount(), Sg3dsParticleSystem::kWorkBudget / 1002);
}

// A crowded prewarm runs only the last steps that fit its work bound, and still ends at the low
// key time; one whose first step alone would not fit (a whole capacity born at once) is left to
// the first ordinary step.
TEST(ParticleBudget, ACrowdedPrewarmRunsTheLastStepsThatFit) {
    struct CrowdCase {
        int gravities;
        float rate;
        bool steps;
    };
    for (const CrowdCase& c : {CrowdCase{1, 1000, true}, CrowdCase{200, 1000, true}, CrowdCase{0, 1e9f, false}}) {
        SgRef<Sg3dsParticleSystem> s = CrowdedParticleSystem(c.gravities, 1e9f);
        s->emitRate = c.rate;
        SgRef<StepLog> log(new StepLog);
        s->AddForce(log.Get());
        const uint64_t work = Sg3dsParticleSystem::WorkDone();
        s->Simulate(1.0f);
        const uint64_t done = Sg3dsParticleSystem::WorkDone() - work;
        EXPECT_LE(done, Sg3dsParticleSystem::kPrewarmWork) << c.gravities;
        if (!c.steps) {
            EXPECT_EQ(done, 0u);
            EXPECT_EQ(s->LiveCount(), 0u);
            continue;
        }
        EXPECT_GT(done, Sg3dsParticleSystem::kPrewarmWork / 2) << c.gravities << ": the steps that fit are run";
        EXPECT_GT(s->LiveCount(), 0u);
        ASSERT_FALSE(log->steps.empty());
        size_t steps = 1;
        for (size_t i = 1; i < log->steps.size(); ++i)
            steps += log->steps[i].time != log->steps[i - 1].time;
        EXPECT_LT(steps, Sg3dsParticleSystem::kMaxPrewarmSteps) << c.gravities;
        EXPECT_NEAR(log->steps.back().time, 0.0f, 1e-4f) << c.gravities;
    }
}

TEST(ParticleSystem, WorldSpaceKeepsParticlesWhereTheyAre) {
    for (uint8_t worldSpace : {1, 0}) {
        Spray spray(4);
        spray->worldSpace = worldSpace;
        spray->speed = 0;
        spray->AddSnapshot(Snapshot({1, 2, 3}, {}));
        SgRef<SgNode> holder(new SgNode);
        holder->InsertChild(spray.system.Get(), false);
        spray->SetTime(1.0f);
        holder->UpdateAllStates();
        ASSERT_EQ(spray->LiveCount(), 1u);
        holder->localTranslation = {5, 0, 0};
        holder->localRotation = SgMat3::Rotation(5, SgHalfPi);
        spray->SetTime(2.0f);
        holder->UpdateAllStates();
        SgVec3 local = spray.Position(0);
        // In the world: R p + t.
        SgVec3 world = holder->localRotation * local + holder->localTranslation;
        if (worldSpace)
            ExpectVec(world, {1, 2, 3}, 1e-5f, "stays put in the world");
        else
            ExpectVec(local, {1, 2, 3}, 1e-6f, "moves with the system");

        // Growing the system: in the world s R p + t stays, so the local place shrinks.
        holder->localScale = 4;
        spray->SetTime(3.0f);
        holder->UpdateAllStates();
        local = spray.Position(0);
        world = holder->localRotation * local * 4.0f + holder->localTranslation;
        if (worldSpace)
            ExpectVec(world, {1, 2, 3}, 1e-4f, "stays put in the world as the system grows");
        else
            ExpectVec(local, {1, 2, 3}, 1e-6f, "grows with the system");
    }
}

TEST(ParticleSystem, ParticlesCarryTemplateCopiesInTheirOwnNodes) {
    Spray spray(4);
    const SgVec3 corners[3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    const uint16_t indices[3] = {0, 1, 2};
    SgRef<SgTriShape> shard(new SgTriShape(3, corners, nullptr, 1, indices, nullptr, nullptr));
    spray->SetParticleObject(shard.Get());
    spray->emitRate = 2;
    spray->fadeInTime = 4;
    spray->Simulate(1.0f);
    spray->Simulate(2.0f);
    ASSERT_EQ(spray->LiveCount(), 2u);
    uint32_t childrenBefore = spray->ChildCount();
    for (uint32_t i = 0; i < 2; ++i) {
        SgNode* node = spray->ParticleNode(i);
        ASSERT_TRUE(node) << i;
        EXPECT_EQ(node->localTranslation, spray.Position(i));
        EXPECT_NE(node->ChildAt(0), shard.Get()) << "a copy of the template";
        EXPECT_EQ(node->Parent(), spray.system.Get());
    }
    // Killing the last live slot detaches and releases its node once.
    SgRef<SgNode> watched(spray->ParticleNode(1));
    spray->KillParticle(1);
    EXPECT_EQ(spray->LiveCount(), 1u);
    EXPECT_EQ(spray->ParticleNode(1), nullptr);
    EXPECT_EQ(watched->Parent(), nullptr);
    EXPECT_EQ(watched->RefCount(), 1u) << "only the test holds it";
    spray->KillParticle(0);
    spray->KillParticle(0);  // none left: nothing happens
    EXPECT_EQ(spray->LiveCount(), 0u);
    EXPECT_LT(spray->ChildCount() - 0, childrenBefore + 1);
}

TEST(ParticleSystem, SlotsAndSnapshotsStayWithinTheCapacity) {
    Spray spray(2);
    for (int i = 0; i < 5; ++i)
        spray->AddSnapshot(Snapshot({float(i), 0, 0}, {}));
    EXPECT_EQ(spray->SnapshotCount(), 2u) << "past the capacity: ignored";
    spray->Simulate(1.0f);
    EXPECT_EQ(spray->LiveCount(), 2u);
    spray->maxGenerations = 5;
    spray->Respawn(Snapshot({9, 9, 9}, {}));
    EXPECT_EQ(spray->LiveCount(), 2u) << "a respawn needs a free slot";
    spray->EmitFromSnapshot(Snapshot({9, 9, 9}, {}));
    EXPECT_EQ(spray->LiveCount(), 2u);
    EXPECT_EQ(spray.geometry->ActiveCount(), 2u);
}

TEST(ParticleSystem, ACopyHasTheParametersAndTheSameGeometryButNoParticles) {
    Spray spray(8);
    spray->emitRate = 3;
    spray->speed = 7;
    spray->fadeOutTime = 2;
    spray->SetEmitDirection({1, 0, 0});
    SgRef<SgGravity> gravity(new SgGravity);
    SgRef<SgSphericalCollider> sphere(new SgSphericalCollider);
    spray->AddForce(gravity.Get());
    spray->AddCollider(sphere.Get());
    spray->AddSnapshot(Snapshot({1, 0, 0}, {0, 1, 0}));
    SgPositionKeyLinear a(0, {1, 1, 1}), b(1, {0, 0, 0});
    const SgPositionKey* keys[] = {&a, &b};
    spray->SetColorKeys(keys, 2);
    spray->Simulate(1.0f);
    spray->Simulate(2.0f);
    ASSERT_GT(spray->LiveCount(), 0u);

    SgRef<SgAVObject> copy = spray->Duplicate();
    auto* c = SgExactCast<Sg3dsParticleSystem>(copy.Get());
    ASSERT_TRUE(c);
    EXPECT_TRUE(c->IsEqualTo(spray.system.Get()));
    EXPECT_EQ(c->LiveCount(), 0u);
    EXPECT_EQ(c->MaxParticles(), 8u);
    EXPECT_EQ(c->Geometry(), spray.geometry.Get());
    EXPECT_EQ(c->ChildAt(0), spray.geometry.Get());
    EXPECT_EQ(c->ChildCount(), 1u);
    ASSERT_TRUE(c->Forces());
    EXPECT_NE(c->Forces(), gravity.Get()) << "a clone";
    EXPECT_NE(c->Colliders(), sphere.Get());
    EXPECT_EQ(c->SnapshotCount(), 1u);
    EXPECT_EQ(c->ColorKeys().Count(), 2u);
    EXPECT_EQ(c->EmitDirection(), SgVec3(1, 0, 0));
}

}  // namespace
