// Particle systems, the per-frame cost of sprays: a steady spray of about 1,000 particles with the
// full mix (two forces, two colliders, colour keys, fades, world space) stepped at 60 steps a
// second, beside the bare step of the same particles (no forces, colliders, colours or fades,
// local space) in the same run, a 64-particle system with the full mix (items are particle steps,
// iterations system steps), and the first frames of hostile systems and of the worst model seed.

#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>
#include <vector>

#include "engine/animation/sg_3ds_particle_system.h"
#include "engine/core/sg_stream.h"
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

// The first frame of hostile systems, which restarts them (prewarm and all): items are the
// particle-pushes the engine counts (a particle moved through one step under one push).
template <typename Make>
void RunFirstFrame(benchmark::State& state, Make make) {
    uint64_t work = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<SgRef<Sg3dsParticleSystem>> systems = make();
        const uint64_t before = Sg3dsParticleSystem::WorkDone();
        state.ResumeTiming();
        for (const auto& s : systems)
            s->Simulate(1.0f);
        state.PauseTiming();
        work += Sg3dsParticleSystem::WorkDone() - before;
        systems.clear();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(static_cast<int64_t>(work));
    state.counters["pushes"] = benchmark::Counter(static_cast<double>(work) / state.iterations());
}

// One system of the largest capacity, filled at once and prewarmed for ever under one gravity
// and one collider.
void BM_HostileFirstFrame(benchmark::State& state) {
    RunFirstFrame(state, [] { return std::vector<SgRef<Sg3dsParticleSystem>>{LargeParticleSystem()}; });
}
BENCHMARK(BM_HostileFirstFrame)->Unit(benchmark::kMillisecond);

// The same crowd under 200 gravities.
void BM_TwoHundredGravitiesFirstFrame(benchmark::State& state) {
    RunFirstFrame(state, [] { return std::vector<SgRef<Sg3dsParticleSystem>>{CrowdedParticleSystem(200, 1e9f)}; });
}
BENCHMARK(BM_TwoHundredGravitiesFirstFrame)->Unit(benchmark::kMillisecond);

// A file of 500 such systems, each under one gravity: their first frame together, then one
// ordinary frame of them all.
std::vector<SgRef<Sg3dsParticleSystem>> FiveHundredCrowds() {
    std::vector<SgRef<Sg3dsParticleSystem>> systems;
    for (int i = 0; i < 500; ++i)
        systems.push_back(CrowdedParticleSystem(1, 1e9f));
    return systems;
}

void BM_FiveHundredSystemsFirstFrame(benchmark::State& state) { RunFirstFrame(state, FiveHundredCrowds); }
BENCHMARK(BM_FiveHundredSystemsFirstFrame)->Unit(benchmark::kMillisecond);

// 500 systems that share the budget between them evenly (each as many particles as a five
// hundredth of it pays for), all prewarmed for ever: the most work the prewarms of one frame do.
void BM_FiveHundredSharingSystemsFirstFrame(benchmark::State& state) {
    RunFirstFrame(state, [] {
        std::vector<SgRef<Sg3dsParticleSystem>> systems;
        for (int i = 0; i < 500; ++i) {
            systems.push_back(CrowdedParticleSystem(0, 1e9f));
            systems.back()->SetMaxParticles(static_cast<uint32_t>(Sg3dsParticleSystem::kWorkBudget / 500));
        }
        return systems;
    });
}
BENCHMARK(BM_FiveHundredSharingSystemsFirstFrame)->Unit(benchmark::kMillisecond);

void BM_FiveHundredSystemsFrame(benchmark::State& state) {
    std::vector<SgRef<Sg3dsParticleSystem>> systems = FiveHundredCrowds();
    float t = 1.0f;
    for (const auto& s : systems)
        s->Simulate(t);
    const uint64_t before = Sg3dsParticleSystem::WorkDone();
    for (auto _ : state) {
        t += kStep;
        for (const auto& s : systems)
            s->Simulate(t);
    }
    const uint64_t work = Sg3dsParticleSystem::WorkDone() - before;
    state.SetItemsProcessed(static_cast<int64_t>(work));
    state.counters["pushes"] = benchmark::Counter(static_cast<double>(work) / state.iterations());
}
BENCHMARK(BM_FiveHundredSystemsFrame)->Unit(benchmark::kMillisecond);

// The worst committed fuzz seed of the model loader: its first frame, which restarts it.
void BM_WorstSeedRestart(benchmark::State& state) {
    std::ifstream in(SGF_SEED_DIR "/Sg3dsParticleSystemLarge.sgf", std::ios::binary);
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    RunFirstFrame(state, [&] {
        SgSceneStream stream;
        std::vector<SgRef<Sg3dsParticleSystem>> systems;
        if (stream.Load(bytes.data(), bytes.size()))
            for (size_t i = 0; i < stream.LoadedCount(); ++i)
                if (auto* s = SgKindCast<Sg3dsParticleSystem>(stream.LoadedObject(i)))
                    systems.emplace_back(s);
        return systems;
    });
    if (state.counters["pushes"] == 0)
        state.SkipWithError("the seed holds no particle system");
}
BENCHMARK(BM_WorstSeedRestart)->Unit(benchmark::kMillisecond);

}  // namespace
