// Forces and colliders on single particles: gravity's fixed step scale, the bomb's active span,
// symmetries and falloffs, the colliders' contacts, and the model and world copies of their
// placement.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "engine/animation/sg_force.h"
#include "engine/core/sg_node.h"

namespace {

void ExpectVec(const SgVec3& got, const SgVec3& want, float tolerance, const std::string& what) {
    EXPECT_NEAR(got.x, want.x, tolerance) << what;
    EXPECT_NEAR(got.y, want.y, tolerance) << what;
    EXPECT_NEAR(got.z, want.z, tolerance) << what;
}

struct ForceCase {
    const char* name;
    SgVec3 position;
    SgVec3 velocity;
    float dt;
    float time;
    SgVec3 wantVelocity;
};

TEST(Gravity, ChangesVelocityByTheFixedScale) {
    SgRef<SgGravity> down(new SgGravity);
    down->modelDirection = {0, -1, 0};
    down->ResetWorld();
    SgVec3 p{3, 4, 5}, v;
    float dt = 1.0f;
    EXPECT_FALSE(down->ApplyToParticle(p, v, dt, 0.0f));
    EXPECT_EQ(v, SgVec3(0, 0.16f, 0)) << "minus the direction: 0.16 in single precision, exactly";
    down->ApplyToParticle(p, v, dt, 7.0f);
    EXPECT_EQ(v.y, 0.16f + 0.16f);
    EXPECT_EQ(p, SgVec3(3, 4, 5)) << "forces move nothing but the velocity";
    EXPECT_EQ(dt, 1.0f);

    const ForceCase cases[] = {
        // Directional with decay 0.5: the factor is exp(-0.5 (d . p)) = exp(-0.5 x -4).
        {"directional decay", {0, 4, 0}, {}, 2.0f, 0, {0, 0.16f * 2 * 2 * std::exp(2.0f), 0}},
        // Point gravity at (1, 0, 0) with decay 0.5, the particle 2 away along +x.
        {"point decay", {3, 0, 0}, {}, 1.0f, 0, {-0.16f * 2 * std::exp(-1.0f), 0, 0}},
        {"point at the centre", {1, 0, 0}, {1, 1, 1}, 1.0f, 0, {1, 1, 1}},
    };
    for (const ForceCase& c : cases) {
        SgRef<SgGravity> g(new SgGravity);
        g->strength = 2.0f;
        g->decay = 0.5f;
        g->kind = std::string(c.name).rfind("point", 0) == 0 ? SgGravity::kPoint : 0;
        g->modelPosition = {1, 0, 0};
        g->modelDirection = {0, -1, 0};
        g->ResetWorld();
        SgVec3 pos = c.position, vel = c.velocity;
        float step = c.dt;
        g->ApplyToParticle(pos, vel, step, c.time);
        ExpectVec(vel, c.wantVelocity, 1e-5f, c.name);
    }
}

TEST(ParticleBomb, PushesOverTheActivePartOfTheStepBySymmetryAndFalloff) {
    struct BombCase {
        const char* name;
        uint32_t falloff;
        uint32_t symmetry;
        SgVec3 position;
        float dt;
        float time;
        SgVec3 wantVelocity;
    };
    // Blast at the origin from t = 1 for 2, strength 4, range 10; axis / normal +z.
    const BombCase cases[] = {
        {"whole blast, spherical", 0, 0, {3, 0, 0}, 4, 4, {8, 0, 0}},
        {"half the blast", 0, 0, {3, 0, 0}, 1, 2, {4, 0, 0}},
        {"before the blast", 0, 0, {3, 0, 0}, 1, 1, {}},
        {"after the blast", 0, 0, {3, 0, 0}, 1, 4, {}},
        {"linear falloff at 5: half", 1, 0, {0, 5, 0}, 4, 4, {0, 4, 0}},
        {"linear falloff at 10: none", 1, 0, {10, 0, 0}, 4, 4, {}},
        {"linear falloff at 11: out of reach", 1, 0, {11, 0, 0}, 4, 4, {}},
        {"exponential at 10: 1/e", 2, 0, {10, 0, 0}, 4, 4, {8 / std::exp(1.0f), 0, 0}},
        {"no falloff reaches far", 0, 0, {0, 0, -50}, 4, 4, {0, 0, -8}},
        {"planar, in front", 0, 2, {5, 5, 2}, 4, 4, {0, 0, 8}},
        {"planar, behind", 0, 2, {5, 5, -2}, 4, 4, {0, 0, -8}},
        {"planar falloff by distance from the plane", 1, 2, {3, 0, -5}, 4, 4, {0, 0, -4}},
        {"planar reach by distance from the centre", 1, 2, {20, 0, -5}, 4, 4, {}},
        {"cylindrical, away from the axis", 0, 1, {0, 3, 7}, 4, 4, {0, 8, 0}},
        {"cylindrical, on the axis", 0, 1, {0, 0, 7}, 4, 4, {}},
        {"spherical at the exact centre", 0, 0, {0, 0, 0}, 4, 4, {}},
    };
    for (const BombCase& c : cases) {
        SgRef<SgParticleBomb> bomb(new SgParticleBomb);
        bomb->startTime = 1;
        bomb->duration = 2;
        bomb->strength = 4;
        bomb->range = 10;
        bomb->falloff = c.falloff;
        bomb->symmetry = c.symmetry;
        bomb->modelDirection = {0, 0, 1};
        bomb->ResetWorld();
        SgVec3 p = c.position, v;
        float dt = c.dt;
        EXPECT_FALSE(bomb->ApplyToParticle(p, v, dt, c.time)) << c.name;
        ExpectVec(v, c.wantVelocity, 1e-5f, c.name);
        EXPECT_FALSE(std::isnan(v.x) || std::isnan(v.y) || std::isnan(v.z)) << c.name;
    }
}

TEST(ParticleBomb, AFalloffWithoutRangeReachesNothing) {
    for (uint32_t falloff : {1u, 2u}) {
        for (float range : {0.0f, -1.0f}) {
            SgRef<SgParticleBomb> bomb(new SgParticleBomb);
            bomb->duration = 10;
            bomb->strength = 1;
            bomb->falloff = falloff;
            bomb->range = range;
            SgVec3 p{0, 0, 0.5f}, v;
            float dt = 1;
            bomb->ApplyToParticle(p, v, dt, 1);
            EXPECT_EQ(v, SgVec3()) << "falloff " << falloff << " range " << range;
        }
    }
}

TEST(SphericalCollider, DeflectsAtTheSurface) {
    SgRef<SgSphericalCollider> sphere(new SgSphericalCollider);
    sphere->bounce = 0.5f;
    sphere->modelCentre = {0, 0, 0};
    sphere->ResetWorld();

    // Distance 2, speed 3 straight at it: contact at distance 1 after a third of the step.
    SgVec3 p{2, 0, 0}, v{-3, 0, 0};
    float dt = 1;
    ASSERT_TRUE(sphere->ApplyToParticle(p, v, dt, 0));
    ExpectVec(p, {1, 0, 0}, 1e-5f, "on the sphere");
    EXPECT_NEAR(dt, 2.0f / 3.0f, 1e-5f);
    ExpectVec(v, {1.5f, 0, 0}, 1e-5f, "reversed and damped");

    // Passing by tangentially (distance 1.5 from the centre): nothing changes.
    p = {2, 1.5f, 0};
    v = {-3, 0, 0};
    dt = 2;
    EXPECT_FALSE(sphere->ApplyToParticle(p, v, dt, 0));
    EXPECT_EQ(p, SgVec3(2, 1.5f, 0));
    EXPECT_EQ(v, SgVec3(-3, 0, 0));
    EXPECT_EQ(dt, 2.0f);

    // Moving away, and stopping short.
    for (SgVec3 start : {SgVec3(2, 0, 0), SgVec3(5, 0, 0)}) {
        p = start;
        v = start.x == 2 ? SgVec3(1, 0, 0) : SgVec3(-3, 0, 0);
        dt = 1;
        EXPECT_FALSE(sphere->ApplyToParticle(p, v, dt, 0)) << start.x;
    }

    // Resting on the surface: the radial part goes, without a bounce.
    p = {0, 1.0005f, 0};
    v = {2, -3, 1};
    dt = 1;
    EXPECT_TRUE(sphere->ApplyToParticle(p, v, dt, 0));
    ExpectVec(v, {2, 0, 1}, 1e-5f, "tangential part kept");
    EXPECT_EQ(p, SgVec3(0, 1.0005f, 0));

    // From inside out: the contact is on the far wall and the normal points inward.
    p = {0, 0, 0};
    v = {0, 0, 4};
    dt = 1;
    ASSERT_TRUE(sphere->ApplyToParticle(p, v, dt, 0));
    ExpectVec(p, {0, 0, 1}, 1e-5f, "inside hit");
    EXPECT_NEAR(dt, 0.75f, 1e-5f);
    ExpectVec(v, {0, 0, -2}, 1e-5f, "inside bounce");
}

TEST(SphericalCollider, ATinySphereDeflectsNothing) {
    SgRef<SgSphericalCollider> sphere(new SgSphericalCollider);
    sphere->radius = 0.0005f;
    sphere->radiusSquared = sphere->radius * sphere->radius;
    sphere->ResetWorld();
    SgVec3 p{0, 0.0002f, 0}, v{0, 1, 0};
    float dt = 1;
    EXPECT_FALSE(sphere->ApplyToParticle(p, v, dt, 0));
    EXPECT_EQ(v, SgVec3(0, 1, 0));
}

SgRef<SgPlanarCollider> FloorPatch(float z = 0) {
    // The rectangle at height z about the z axis, 4 across its first axis (y) and 2 along it (x).
    SgRef<SgPlanarCollider> floor(new SgPlanarCollider);
    floor->modelPosition = {0, 0, z};
    floor->width = 4;
    floor->height = 2;
    floor->bounce = 0.5f;
    floor->modelFirstAxis = {1, 0, 0};
    floor->modelSecondAxis = {0, 1, 0};
    floor->modelNormal = {0, 0, 1};
    floor->ResetWorld();
    floor->TransformToWorld(SgIdentityMat3, {}, 1);
    return floor;
}

TEST(PlanarCollider, DeflectsInsideTheRectangle) {
    struct PlaneCase {
        const char* name;
        SgVec3 position;
        SgVec3 velocity;
        bool hit;
    };
    const PlaneCase cases[] = {
        {"straight down onto it", {0.5f, 1, 2}, {0, 0, -4}, true},
        {"outside the height", {1.5f, 0, 2}, {0, 0, -4}, false},
        {"outside the width", {0, 2.5f, 2}, {0, 0, -4}, false},
        {"parallel to the plane", {0, 0, 0.5f}, {3, 0, 0.0005f}, false},
        {"stops short", {0, 0, 5}, {0, 0, -4}, false},
        {"moving away", {0, 0, 1}, {0, 0, 4}, false},
    };
    for (const PlaneCase& c : cases) {
        SgRef<SgPlanarCollider> floor = FloorPatch();
        SgVec3 p = c.position, v = c.velocity;
        float dt = 1;
        EXPECT_EQ(floor->ApplyToParticle(p, v, dt, 0), c.hit) << c.name;
        if (!c.hit) {
            EXPECT_EQ(v, c.velocity) << c.name;
            continue;
        }
        ExpectVec(p, {0.5f, 1, 0.001f}, 1e-6f, c.name + std::string(": nudged to its own side"));
        EXPECT_NEAR(dt, 0.5f, 1e-6f) << c.name;
        ExpectVec(v, {0, 0, 2}, 1e-5f, c.name);
    }
}

TEST(PlanarCollider, TurnsToFaceAParticleFromBehindAndStaysTurned) {
    // A plane off the origin, z = -1: turning it negates its constant with its normal.
    SgRef<SgPlanarCollider> floor = FloorPatch(-1);
    ASSERT_EQ(floor->worldConstant, 1.0f);
    SgVec3 p{0, 0, -3}, v{0, 0, 4};
    float dt = 1;
    ASSERT_TRUE(floor->ApplyToParticle(p, v, dt, 0));
    EXPECT_EQ(floor->worldNormal, SgVec3(0, 0, -1));
    EXPECT_EQ(floor->worldConstant, -1.0f);
    ExpectVec(v, {0, 0, -2}, 1e-5f, "bounced back down");
    ExpectVec(p, {0, 0, -1.001f}, 1e-5f, "met at the plane, kept on the particle's side");
    EXPECT_NEAR(dt, 0.5f, 1e-6f);
    // A particle from above now meets the plane's back: it is turned again.
    p = {0, 0, 1};
    v = {0, 0, -4};
    dt = 1;
    EXPECT_TRUE(floor->ApplyToParticle(p, v, dt, 0));
    EXPECT_EQ(floor->worldNormal, SgVec3(0, 0, 1));
    EXPECT_EQ(floor->worldConstant, 1.0f);
    ExpectVec(p, {0, 0, -0.999f}, 1e-5f, "met at the plane from above");
    // Rebuilt from the model by a reset and a transform.
    floor->worldNormal = {0, 0, -1};
    floor->ResetWorld();
    floor->TransformToWorld(SgIdentityMat3, {}, 1);
    EXPECT_EQ(floor->worldNormal, SgVec3(0, 0, 1));
}

TEST(Forces, WorldCopiesFollowTransformsAndResets) {
    const SgMat3 quarter = SgMat3::Rotation(5, SgHalfPi);  // about z: x -> -y, y -> x
    const SgVec3 shift{10, 0, 0};
    SgRef<SgGravity> gravity(new SgGravity);
    gravity->modelPosition = {1, 0, 0};
    gravity->modelDirection = {1, 0, 0};
    SgRef<SgParticleBomb> bomb(new SgParticleBomb);
    bomb->modelPosition = {1, 0, 0};
    bomb->modelDirection = {0, 1, 0};
    SgRef<SgSphericalCollider> sphere(new SgSphericalCollider);
    sphere->modelCentre = {1, 0, 0};
    SgRef<SgPlanarCollider> plane(new SgPlanarCollider);
    plane->modelPosition = {1, 0, 0};
    plane->modelFirstAxis = {1, 0, 0};
    plane->modelSecondAxis = {0, 0, 1};
    plane->modelNormal = {0, 1, 0};
    SgForce* all[] = {gravity.Get(), bomb.Get(), sphere.Get(), plane.Get()};
    for (SgForce* f : all) {
        f->ResetWorld();
        f->TransformToWorld(quarter, shift, 2);
        f->TransformToWorld(quarter, shift, 2);  // in place: twice is the composite
    }
    // Point: 2 R (2 R p + t) + t with p = (1, 0, 0): 2 R (10, -2, 0) + t = (-4, -20, 0) + t.
    const SgVec3 point{6, -20, 0};
    ExpectVec(gravity->worldPosition, point, 1e-4f, "gravity position");
    ExpectVec(gravity->worldDirection, {-1, 0, 0}, 1e-5f, "gravity direction, not scaled");
    ExpectVec(bomb->worldPosition, point, 1e-4f, "bomb position");
    ExpectVec(bomb->worldDirection, {0, -1, 0}, 1e-5f, "bomb direction");
    ExpectVec(sphere->worldCentre, point, 1e-4f, "sphere centre");
    ExpectVec(plane->worldPosition, point, 1e-4f, "plane position");
    ExpectVec(plane->worldFirstAxis, {-1, 0, 0}, 1e-5f, "first axis");
    ExpectVec(plane->worldSecondAxis, {0, 0, 1}, 1e-5f, "second axis");
    ExpectVec(plane->worldNormal, {0, -1, 0}, 1e-5f, "normal");
    EXPECT_NEAR(plane->worldConstant, -20.0f, 1e-4f) << "-(n . position)";
    for (SgForce* f : all)
        f->ResetWorld();
    EXPECT_EQ(gravity->worldPosition, gravity->modelPosition);
    EXPECT_EQ(bomb->worldDirection, bomb->modelDirection);
    EXPECT_EQ(sphere->worldCentre, sphere->modelCentre);
    EXPECT_EQ(plane->worldNormal, plane->modelNormal);
}

TEST(Forces, ClonesCopyModelAndWorldAndShareTheMesh) {
    SgRef<SgSphericalCollider> sphere(new SgSphericalCollider);
    sphere->radius = 2;
    sphere->keptB = 5;
    sphere->modelCentre = {1, 2, 3};
    sphere->worldCentre = {4, 5, 6};
    SgRef<SgForce> copy(sphere->Clone());
    auto* s = SgExactCast<SgSphericalCollider>(copy.Get());
    ASSERT_TRUE(s);
    EXPECT_TRUE(s->IsEqualTo(sphere.Get()));
    EXPECT_EQ(s->worldCentre, SgVec3(4, 5, 6));
    EXPECT_FALSE(s->onChain);

    SgRef<SgMeshCollider> mesh(new SgMeshCollider);
    mesh->mesh = new SgNode;
    SgRef<SgForce> meshCopy(mesh->Clone());
    EXPECT_EQ(static_cast<SgMeshCollider*>(meshCopy.Get())->mesh.Get(), mesh->mesh.Get());
    EXPECT_EQ(mesh->mesh->RefCount(), 2u);
    SgVec3 p, v{1, 1, 1};
    float dt = 1;
    EXPECT_FALSE(mesh->ApplyToParticle(p, v, dt, 0));
    EXPECT_EQ(v, SgVec3(1, 1, 1));
}

TEST(ForceChain, AForceOnAChainJoinsAnotherAsAClone) {
    SgRef<SgGravity> gravity(new SgGravity);
    SgRef<SgParticleBomb> bomb(new SgParticleBomb);
    SgForceChain first, second;
    first.Push(gravity.Get());
    first.Push(bomb.Get());
    EXPECT_EQ(first.Head(), bomb.Get()) << "pushed at the head";
    EXPECT_EQ(first.Count(), 2u);
    second.Push(gravity.Get());
    first.Push(gravity.Get());
    EXPECT_EQ(second.Count(), 1u);
    EXPECT_NE(second.Head(), gravity.Get());
    EXPECT_TRUE(second.Head()->IsEqualTo(gravity.Get()));
    EXPECT_EQ(first.Count(), 3u) << "listed twice without looping";
    EXPECT_EQ(gravity->next, nullptr);
    first.Clear();
    EXPECT_FALSE(gravity->onChain);
    EXPECT_EQ(gravity->RefCount(), 1u);
    EXPECT_EQ(SgForce::CountChain(nullptr), 0u);
}

}  // namespace
