// The renderer's own lighting: the light table and material cache, and the colours it writes.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "engine/core/sg_light.h"
#include "engine/core/sg_property.h"
#include "engine/render/sg_lighting.h"
#include "engine/render/sg_vertex_work.h"

namespace {

class LightingTest : public testing::Test {
protected:
    SgRef<SgLight> MakeLight(uint32_t type) {
        SgRef<SgLight> l(new SgLight);
        l->SetType(type);
        l->ambient = {0, 0, 0};
        l->diffuse = {1, 1, 1};
        l->specular = {1, 1, 1};
        l->attenuate = 0;
        lightsMade.push_back(l);
        return l;
    }
    void Use(SgLight* l, bool on = true) { table.UpdateLightEntry(l, on, nullptr); }
    SgMaterialEntry* Material(SgRgb ambient, SgRgb diffuse, SgRgb specular = {}, SgRgb emissive = {}, float alpha = 1) {
        SgRef<SgMaterialProperty> m(new SgMaterialProperty);
        m->ambient = ambient;
        m->diffuse = diffuse;
        m->specular = specular;
        m->emissive = emissive;
        m->alpha = alpha;
        materialsMade.push_back(m);
        cache.Lookup(m.Get(), nullptr);
        return cache.Current();
    }
    // Lights one vertex at p with normal n; the record's colour and specular level.
    SgVertexWorkRecord LightVertex(const SgVec3& p, const SgVec3& n, bool specular = false,
                                   const SgRgba* colour = nullptr, bool add = false, SgBoundSphere bound = {}) {
        SgVertexWorkRecord r{};
        r.used = 1;
        SgLightingInput in{cache.Current(), eye, bound, 1, &r, &p, &n, nullptr, colour, specular, add};
        ComputeVertexColors(table, in);
        return r;
    }
    SgLightTable table;
    SgMaterialCache cache;
    SgVec3 eye{0, 0, 10};
    std::vector<SgRef<SgLight>> lightsMade;
    std::vector<SgRef<SgMaterialProperty>> materialsMade;
};

TEST_F(LightingTest, MaterialsAreClampedOnCopyAndOnlyRecopiedWhenTheirRevisionMoves) {
    SgRef<SgMaterialProperty> m(new SgMaterialProperty);
    m->ambient = {1.5f, -0.5f, std::numeric_limits<float>::quiet_NaN()};
    m->diffuse = {0.3f, 0.6f, 0.9f};
    m->alpha = 2;
    bool changed = false;
    cache.Lookup(m.Get(), &changed);
    EXPECT_TRUE(changed);
    const SgMaterialEntry* e = cache.Current();
    EXPECT_EQ(e->ambient.r, 1.0f);
    EXPECT_EQ(e->ambient.g, 0.0f);
    EXPECT_EQ(e->ambient.b, 0.0f);
    EXPECT_EQ(e->alpha, 1.0f);
    EXPECT_NEAR(e->diffuseLevel, std::sqrt(0.09f + 0.36f + 0.81f) / 3, 1e-6f);
    m->diffuse = {1, 1, 1};
    cache.Lookup(m.Get(), &changed);
    EXPECT_FALSE(changed);
    EXPECT_EQ(cache.Current()->diffuse.r, 0.3f);
    m->revision++;
    cache.Lookup(m.Get(), &changed);
    EXPECT_TRUE(changed);
    EXPECT_EQ(cache.Current()->diffuse.r, 1.0f);
}

TEST_F(LightingTest, EntriesLiveInFiftyThreeBucketsAndSurviveManyMaterialsAndLights) {
    std::vector<SgRef<SgMaterialProperty>> ms;
    for (int i = 0; i < 200; ++i) {
        ms.emplace_back(new SgMaterialProperty);
        ms.back()->alpha = static_cast<float>(i) / 200.0f;
        cache.Lookup(ms.back().Get(), nullptr);
    }
    for (int i = 0; i < 200; ++i) {
        cache.Lookup(ms[i].Get(), nullptr);
        EXPECT_EQ(cache.Current()->alpha, static_cast<float>(i) / 200.0f);
    }
    for (int i = 0; i < 40; ++i)
        Use(MakeLight(SgLight::kPoint).Get());
    EXPECT_EQ(table.Count(), 40u);
    table.Remove(table.Find(static_cast<int32_t>(lightsMade[7]->LightIndex())));
    EXPECT_EQ(table.Count(), 39u);
    EXPECT_EQ(table.Find(static_cast<int32_t>(lightsMade[7]->LightIndex())), nullptr);
    EXPECT_TRUE(table.Find(static_cast<int32_t>(lightsMade[8]->LightIndex())));
    EXPECT_EQ(table.Find(-1), nullptr);
}

TEST_F(LightingTest, ALightSwitchedOffStaysAndComesBackWithItsData) {
    SgRef<SgLight> l = MakeLight(SgLight::kDirectional);
    l->worldDirection = {0, 0, -2};
    bool changed = false;
    table.UpdateLightEntry(l.Get(), true, &changed);
    EXPECT_TRUE(changed);
    SgLightEntry* e = table.Find(static_cast<int32_t>(l->LightIndex()));
    ASSERT_TRUE(e);
    EXPECT_EQ(e->direction.z, -1.0f);
    table.UpdateLightEntry(l.Get(), false, &changed);
    EXPECT_EQ(e->flags & SgLightEntry::kOn, 0u);
    EXPECT_EQ(table.Count(), 1u);
    l->worldDirection = {1, 0, 0};  // changed without a new revision
    table.UpdateLightEntry(l.Get(), true, &changed);
    EXPECT_FALSE(changed);
    EXPECT_EQ(e->direction.z, -1.0f);
}

TEST_F(LightingTest, WithoutLightsAVertexGetsTheEmissiveColourAndTheMaterialAlpha) {
    Material({1, 1, 1}, {1, 1, 1}, {}, {0.2f, 0.4f, 0.6f}, 0.5f);
    const SgVertexWorkRecord r = LightVertex({0, 0, 0}, {0, 0, 1});
    EXPECT_NEAR(r.r, 51.0f, 1e-3f);
    EXPECT_NEAR(r.g, 102.0f, 1e-3f);
    EXPECT_NEAR(r.b, 153.0f, 1e-3f);
    EXPECT_NEAR(r.a, 127.5f, 1e-3f);
}

TEST_F(LightingTest, DirectionalAndAmbientLightsAddUpAndAreCutAt255) {
    Material({0.5f, 0.5f, 0.5f}, {1, 0.5f, 0.25f});
    SgRef<SgLight> sun = MakeLight(SgLight::kDirectional);
    sun->worldDirection = {0, 0, -1};  // shining down onto a +z normal
    SgRef<SgLight> sky = MakeLight(SgLight::kAmbient);
    sky->ambient = {0.4f, 0.4f, 0.4f};
    Use(sun.Get());
    Use(sky.Get());
    SgVertexWorkRecord r = LightVertex({0, 0, 0}, {0, 0.6f, 0.8f});
    // Diffuse 255 x (1, 0.5, 0.25) x n.L 0.8, plus ambient 255 x 0.5 x 0.4.
    EXPECT_NEAR(r.r, 204 + 51, 1e-2f);
    EXPECT_NEAR(r.g, 102 + 51, 1e-2f);
    EXPECT_NEAR(r.b, 51 + 51, 1e-2f);
    // Facing away gets the ambient part only; a second sun pushes red past 255, which is cut.
    r = LightVertex({0, 0, 0}, {0, 0, -1});
    EXPECT_NEAR(r.r, 51, 1e-2f);
    SgRef<SgLight> sun2 = MakeLight(SgLight::kDirectional);
    sun2->worldDirection = {0, 0, -1};
    Use(sun2.Get());
    r = LightVertex({0, 0, 0}, {0, 0, 1});
    EXPECT_EQ(r.r, 255.0f);
    EXPECT_NEAR(r.g, 255.0f, 1e-2f);
    EXPECT_NEAR(r.b, 63.75f + 63.75f + 51, 1e-2f);
}

TEST_F(LightingTest, VertexColoursModulateOrAdd) {
    Material({1, 1, 1}, {1, 1, 1}, {}, {0.4f, 0.4f, 0.4f}, 1.0f);
    const SgRgba c{0.5f, 0.25f, 1, 0.5f};
    SgVertexWorkRecord r = LightVertex({0, 0, 0}, {0, 0, 1}, false, &c, false);
    EXPECT_NEAR(r.r, 51, 1e-3f);
    EXPECT_NEAR(r.g, 25.5f, 1e-3f);
    EXPECT_NEAR(r.a, 127.5f, 1e-3f);
    r = LightVertex({0, 0, 0}, {0, 0, 1}, false, &c, true);
    EXPECT_NEAR(r.r, 102 + 127.5f, 1e-3f);
    EXPECT_NEAR(r.b, 255, 1e-3f);
}

// The lights' ambient part, material ambient x 255 x (0.2, 0.3, 0.4) = (51, 76.5, 102), joins
// the emissive colour (51 each) in every way of using the vertex colours (0.5, 0.25, 0.2).
TEST_F(LightingTest, AmbientLightJoinsEveryUseOfTheVertexColours) {
    Material({1, 1, 1}, {1, 1, 1}, {}, {0.2f, 0.2f, 0.2f}, 1.0f);
    SgRef<SgLight> sky = MakeLight(SgLight::kAmbient);
    sky->ambient = {0.2f, 0.3f, 0.4f};
    Use(sky.Get());
    const SgRgba c{0.5f, 0.25f, 0.2f, 1};
    struct UseCase {
        const char* name;
        const SgRgba* colour;
        bool add;
        SgRgb want;
    };
    const UseCase cases[] = {
        {"no vertex colours", nullptr, false, {51 + 51, 51 + 76.5f, 51 + 102}},
        {"modulated", &c, false, {(51 + 51) * 0.5f, (51 + 76.5f) * 0.25f, (51 + 102) * 0.2f}},
        {"added", &c, true, {51 + 127.5f + 51, 51 + 63.75f + 76.5f, 51 + 51 + 102}},
    };
    for (const UseCase& u : cases) {
        const SgVertexWorkRecord r = LightVertex({0, 0, 0}, {0, 0, 1}, false, u.colour, u.add);
        EXPECT_NEAR(r.r, u.want.r, 1e-3f) << u.name;
        EXPECT_NEAR(r.g, u.want.g, 1e-3f) << u.name;
        EXPECT_NEAR(r.b, u.want.b, 1e-3f) << u.name;
    }
}

TEST_F(LightingTest, PointLightsFallOffAndStopAtTheirReach) {
    Material({0, 0, 0}, {1, 1, 1});
    SgRef<SgLight> bulb = MakeLight(SgLight::kPoint);
    bulb->worldPosition = {0, 0, 2};
    Use(bulb.Get());
    // Not attenuated: n . v / |v| = 1 straight below.
    EXPECT_NEAR(LightVertex({0, 0, 0}, {0, 0, 1}).r, 255, 1e-2f);

    // Attenuated: A range + B range^3 = 64 with range 10, falloff 1 (q = 1): B = 64 / 1000.
    bulb->worldPosition = {0, 0, 4};
    bulb->attenuate = 1;
    bulb->range = 10;
    bulb->falloff = 1;
    bulb->revision++;
    Use(bulb.Get());
    SgLightEntry* e = table.Find(static_cast<int32_t>(bulb->LightIndex()));
    EXPECT_NEAR(e->attenuationA, 0.0f, 1e-7f);
    EXPECT_NEAR(e->attenuationB, 0.064f, 1e-6f);
    EXPECT_EQ(e->flags & SgLightEntry::kLinearOnly, 0u);
    // At distance 4: 255 x 4 / ((0 + 0.064 x 16) x 16).
    SgBoundSphere near;
    near.centre = {0, 0, 0};
    near.radius = 1;
    EXPECT_NEAR(LightVertex({0, 0, 0}, {0, 0, 1}, false, nullptr, false, near).r, 255.0f * 4 / (1.024f * 16), 0.01f);
    // Its reach: 0.064 d^3 = 64 gives d = 10; an object whose sphere stays beyond gets nothing.
    EXPECT_NEAR(e->reach, 10.0f, 1e-3f);
    SgBoundSphere far;
    far.centre = {0, 0, 4 + 12};
    far.radius = 1;
    EXPECT_EQ(LightVertex({0, 0, 0}, {0, 0, 1}, false, nullptr, false, far).r, 0.0f);
    // One whose centre lies beyond the reach but whose sphere reaches into it is lit.
    SgBoundSphere reaching;
    reaching.centre = {0, 0, 4 + 10.5f};
    reaching.radius = 1;
    EXPECT_NEAR(LightVertex({0, 0, 0}, {0, 0, 1}, false, nullptr, false, reaching).r, 255.0f * 4 / (1.024f * 16),
                0.01f);

    // Range 0 with attenuation: A and B are the largest float and nothing is lit.
    bulb->range = 0;
    bulb->revision++;
    Use(bulb.Get());
    EXPECT_EQ(e->attenuationA, std::numeric_limits<float>::max());
    EXPECT_EQ(e->flags & SgLightEntry::kLinearOnly, SgLightEntry::kLinearOnly);
    EXPECT_EQ(LightVertex({0, 0, 0}, {0, 0, 1}, false, nullptr, false, near).r, 0.0f);
}

// A point light 2 above a vertex facing it, the eye at 10 on the same line: the diffuse and
// specular terms worked by hand. Linear attenuation (falloff 0, range 8) has A = 64 / 8 = 8 and
// divides by A d^2; the specular divides by (d + d^2), attenuated by (A d^2 + d^2).
TEST_F(LightingTest, PointLightTermsByHand) {
    struct PointCase {
        const char* name;
        bool attenuate;
        bool specular;
        float want;
    };
    const PointCase cases[] = {
        {"plain diffuse: n.v / |v|", false, false, 255.0f},
        {"linear diffuse: n.v / (A d^2)", true, false, 255.0f * 2 / (8 * 4)},
        // R = 2 (n.v) n - v = (0, 0, 2), E.R = 20, |E|^2 = 100.
        {"plain specular: (E.R)^2 / ((d + d^2) |E|^2)", false, true, 255.0f * 400 / ((2 + 4) * 100)},
        {"linear specular: (E.R)^2 / ((A d^2 + d^2) |E|^2)", true, true, 255.0f * 400 / ((32 + 4) * 100)},
    };
    for (const PointCase& c : cases) {
        Material({0, 0, 0}, c.specular ? SgRgb{0, 0, 0} : SgRgb{1, 1, 1}, {0, 0, 1});
        SgRef<SgLight> bulb = MakeLight(SgLight::kPoint);
        bulb->worldPosition = {0, 0, 2};
        bulb->attenuate = c.attenuate ? 1 : 0;
        bulb->range = 8;
        bulb->falloff = 0;
        Use(bulb.Get());
        SgBoundSphere bound;
        bound.radius = 1;
        const SgVertexWorkRecord r = LightVertex({0, 0, 0}, {0, 0, 1}, c.specular, nullptr, false, bound);
        EXPECT_NEAR(c.specular ? r.specular : r.r, c.want, 1e-2f) << c.name;
        table.UpdateLightEntry(bulb.Get(), false, nullptr);
    }
}

// Light kinds past the four the renderer knows add nothing, their ambient part included.
TEST_F(LightingTest, AnUnknownLightKindAddsNothing) {
    Material({1, 1, 1}, {1, 1, 1});
    SgRef<SgLight> odd = MakeLight(7);
    odd->ambient = {0.4f, 0.4f, 0.4f};
    Use(odd.Get());
    for (bool specular : {false, true}) {
        const SgVertexWorkRecord r = LightVertex({0, 0, 0}, {0, 0, 1}, specular);
        EXPECT_EQ(r.r, 0.0f);
        EXPECT_EQ(r.b, 0.0f);
    }
    SgVertexWorkRecord r{};
    r.used = 1;
    const SgVec3 p{};
    SgLightingInput in{cache.Current(), eye, {}, 1, &r, &p, nullptr, nullptr, nullptr, false, false};
    ComputeVertexColors(table, in);
    EXPECT_EQ(r.g, 0.0f) << "without normals";
}

TEST_F(LightingTest, TheReachSolvesTheCubic) {
    struct Case {
        float a, b, m;
    };
    for (const Case& c : {Case{0.835f, 0.0557f, 1.0f}, Case{1.0f, 0.0f, 0.5f}, Case{0.01f, 2.0f, 0.75f},
                          Case{6.4f, 0.000001f, 1.0f}, Case{0.0f, 0.064f, 1.0f}, Case{1e-30f, 0.5f, 1.0f}}) {
        const float d = SgPointLightReach(c.a, c.b, c.m);
        EXPECT_NEAR(c.b * d * d * d + c.a * d, 64 * c.m, 64 * c.m * 1e-4f) << c.a << " " << c.b;
    }
}

TEST_F(LightingTest, SpotLightsLightInsideTheirConeOnly) {
    Material({0, 0, 0}, {1, 1, 1});
    SgRef<SgLight> spot = MakeLight(SgLight::kSpot);
    spot->worldPosition = {0, 0, 4};
    spot->worldDirection = {0, 0, -1};
    spot->coneAngle = 45;
    Use(spot.Get());
    EXPECT_GT(LightVertex({0, 0, 0}, {0, 0, 1}).r, 0.0f);
    EXPECT_GT(LightVertex({3.9f, 0, 0}, {0, 0, 1}).r, 0.0f);
    EXPECT_EQ(LightVertex({4.0f, 0, 0}, {0, 0, 1}).r, 0.0f);  // on the cone's edge: g = 0
    EXPECT_EQ(LightVertex({5, 0, 0}, {0, 0, 1}).r, 0.0f);
    // A cone of 120 degrees acts as one of 90.
    spot->coneAngle = 120;
    spot->revision++;
    Use(spot.Get());
    SgLightEntry* e = table.Find(static_cast<int32_t>(spot->LightIndex()));
    EXPECT_NEAR(e->coneAngle, 1.570795f, 1e-6f);
    EXPECT_EQ(e->cos2, 0.0f);
    EXPECT_EQ(e->sin2, 1.0f);
    EXPECT_GT(LightVertex({100, 0, 0}, {0, 0, 1}).r, 0.0f);
    EXPECT_EQ(LightVertex({0, 0, 5}, {0, 0, 1}).r, 0.0f);  // behind the light
}

TEST_F(LightingTest, SpecularNeedsTheMaterialsBlueLevelAndStaysInsideASpotsCone) {
    Material({0, 0, 0}, {0, 0, 0}, {1, 1, 0});
    SgRef<SgLight> sun = MakeLight(SgLight::kDirectional);
    sun->worldDirection = {0, 0, -1};
    Use(sun.Get());
    EXPECT_EQ(LightVertex({0, 0, 0}, {0, 0, 1}, true).specular, 0.0f);  // blue 0: no specular at all
    Material({0, 0, 0}, {0, 0, 0}, {0, 0, 1});
    // Reflected straight back to the eye on +z: k = 1 x 255.
    EXPECT_NEAR(LightVertex({0, 0, 0}, {0, 0, 1}, true).specular, 255.0f, 1e-2f);
    table.UpdateLightEntry(sun.Get(), false, nullptr);
    SgRef<SgLight> spot = MakeLight(SgLight::kSpot);
    spot->worldPosition = {0, 0, 4};
    spot->worldDirection = {0, 0, -1};
    spot->coneAngle = 10;
    Use(spot.Get());
    EXPECT_GT(LightVertex({0, 0, 0}, {0, 0, 1}, true).specular, 0.0f);
    // Outside the cone, though the reflection meets the eye.
    eye = {-20, 0, 20};
    EXPECT_EQ(LightVertex({4, 0, 0}, {0, 0, 1}, true).specular, 0.0f);
}

}  // namespace
