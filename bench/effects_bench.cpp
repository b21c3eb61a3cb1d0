// Particle systems, the per-frame cost of sprays: a steady spray of about 1,000 particles with the
// full mix (two forces, two colliders, colour keys, fades, world space) stepped at 60 steps a
// second, beside the bare step of the same particles (no forces, colliders, colours or fades,
// local space) in the same run, a 64-particle system with the full mix, and the first frame of a
// hostile full-size system. Items are particle steps; iterations are system steps.

#include <benchmark/benchmark.h>

#include <vector>

#include "engine/animation/sg_3ds_particle_system.h"
#include "engine/geometry/sg_particles.h"
#include "tests/engine/support/large_particle_system.h"

namespace {

constexpr float kStep = 1.0f / 60.0f;

SgRef<Sg3dsParticleSystem> MakeSpray(uint16_t capacity, bool fullMix) {
    std::vector<SgVec3> positions(capacity);
    std::vector<SgRgba> colors(capacity, SgRgba(1, 1, 1, 1));
    SgRef<SgAutoNormalParticles> sprites(
        new SgAutoNormalParticles(capacity, positions.data(), fullMix ? colors.data() : nullptr));
    SgRef<Sg3dsParticleSystem> s(new Sg3dsParticleSystem);
    s->timeMode = SgAnimationTiming::kTimeApplication;
    s->cycleType = SgAnimationTiming::kCycleLoop;
    s->lowKeyTime = 0;
    s->highKeyTime = 1000;
    s->SetParticles(sprites.Get());
    // Born at capacity / life span a second, dying of age: the system stays about full.
    s->rateFromLifeSpan = 1;
    s->lifeSpan = 1;
    s->SetEmitDirection({0, 0, 1});
    s->spread = 0.2f;
    s->speed = 2;
    s->speedVariation = 0.5f;
    s->spinPeriod = 1;
    s->worldSpace = fullMix ? 1 : 0;
    if (!fullMix)
        return s;
    s->fadeInTime = 0.2f;
    s->fadeOutTime = 0.3f;
    SgRef<SgGravity> gravity(new SgGravity);
    gravity->strength = 4;
    gravity->modelDirection = {0, 0, 1};
    s->AddForce(gravity.Get());
    SgRef<SgParticleBomb> blast(new SgParticleBomb);
    blast->duration = 1000;
    blast->strength = 0.5f;
    blast->range = 3;
    blast->falloff = SgParticleBomb::kFalloffLinear;
    s->AddForce(blast.Get());
    SgRef<SgSphericalCollider> ball(new SgSphericalCollider);
    ball->radius = 0.5f;
    ball->radiusSquared = 0.25f;
    ball->modelCentre = {0, 0, 1.5f};
    s->AddCollider(ball.Get());
    SgRef<SgPlanarCollider> floor(new SgPlanarCollider);
    floor->width = 4;
    floor->height = 4;
    floor->modelPosition = {0, 0, -0.5f};
    floor->modelFirstAxis = {1, 0, 0};
    floor->modelSecondAxis = {0, 1, 0};
    floor->modelNormal = {0, 0, 1};
    floor->modelConstant = 0.5f;
    s->AddCollider(floor.Get());
    SgPositionKeyLinear c0(0, {1, 0.9f, 0.2f}), c1(0.5f, {1, 0.4f, 0.1f}), c2(1, {0.3f, 0.3f, 0.3f});
    const SgPositionKey* keys[] = {&c0, &c1, &c2};
    s->SetColorKeys(keys, 3);
    return s;
}

void RunSpray(benchmark::State& state, uint16_t capacity, bool fullMix) {
    SgRef<Sg3dsParticleSystem> s = MakeSpray(capacity, fullMix);
    float t = kStep;
    s->Simulate(t);
    // Two life spans to reach the steady state.
    for (int i = 0; i < 120; ++i)
        s->Simulate(t += kStep);
    int64_t particles = 0;
    for (auto _ : state) {
        t += kStep;
        if (t > 900.0f) {
            state.PauseTiming();
            s = MakeSpray(capacity, fullMix);
            t = kStep;
            s->Simulate(t);
            for (int i = 0; i < 120; ++i)
                s->Simulate(t += kStep);
            state.ResumeTiming();
        }
        s->Simulate(t);
        particles += s->LiveCount();
        benchmark::DoNotOptimize(s->Positions());
    }
    state.SetItemsProcessed(particles);
    state.counters["live"] = benchmark::Counter(static_cast<double>(particles) / state.iterations());
}

void BM_Spray1000FullMix(benchmark::State& state) { RunSpray(state, 1000, true); }
BENCHMARK(BM_Spray1000FullMix);

void BM_Spray1000Bare(benchmark::State& state) { RunSpray(state, 1000, false); }
BENCHMARK(BM_Spray1000Bare);

void BM_Spray64FullMix(benchmark::State& state) { RunSpray(state, 64, true); }
BENCHMARK(BM_Spray64FullMix);

// The first frame of a hostile system: the largest capacity filled at once and prewarmed for
// ever under one gravity and one collider. Items are particle steps; the prewarm bound keeps the
// frame to about fifty ordinary ones.
void BM_HostileFirstFrame(benchmark::State& state) {
    int64_t particleSteps = 0;
    for (auto _ : state) {
        state.PauseTiming();
        SgRef<Sg3dsParticleSystem> s = LargeParticleSystem();
        state.ResumeTiming();
        s->Simulate(1.0f);
        particleSteps += int64_t{Sg3dsParticleSystem::kMaxPrewarmSteps} * s->LiveCount();
        benchmark::DoNotOptimize(s->Positions());
        state.PauseTiming();
        s = nullptr;
        state.ResumeTiming();
    }
    state.SetItemsProcessed(particleSteps);
}
BENCHMARK(BM_HostileFirstFrame)->Unit(benchmark::kMillisecond);

}  // namespace
