#pragma once
// Hostile-sized particle systems: the largest capacity, without a geometry or snapshots (so no
// file bytes stand behind them), filled at once and never dying. Played on the application clock
// over [0, 1000].

#include "engine/animation/sg_3ds_particle_system.h"

// Under the given number of gravities, prewarmed for the given time.
inline SgRef<Sg3dsParticleSystem> CrowdedParticleSystem(int gravities = 0, float prewarm = 0) {
    SgRef<Sg3dsParticleSystem> s(new Sg3dsParticleSystem);
    s->timeMode = SgAnimationTiming::kTimeApplication;
    s->lowKeyTime = 0;
    s->highKeyTime = 1000;
    s->SetMaxParticles(Sg3dsParticleSystem::kMaxLive);
    s->emitRate = 1e9f;
    s->lifeSpan = 1e9f;
    s->prewarmTime = prewarm;
    for (int i = 0; i < gravities; ++i)
        s->AddForce(SgRef<SgGravity>(new SgGravity).Get());
    return s;
}

// Prewarmed for ever under one gravity and over one floor.
inline SgRef<Sg3dsParticleSystem> LargeParticleSystem() {
    SgRef<Sg3dsParticleSystem> s = CrowdedParticleSystem(0, 1e9f);
    SgRef<SgGravity> gravity(new SgGravity);
    gravity->modelDirection = {0, 0, 1};
    s->AddForce(gravity.Get());
    SgRef<SgPlanarCollider> floor(new SgPlanarCollider);
    floor->width = floor->height = 10;
    floor->modelNormal = {0, 0, 1};
    floor->modelConstant = 1;
    s->AddCollider(floor.Get());
    return s;
}
