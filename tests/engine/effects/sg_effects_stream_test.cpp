// The sgf records of the effect classes: save, load and compare each with its fuzz seed, the
// stored layouts against hand-written bytes, and the loads that must fail or be mended.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/animation/sg_3ds_animators.h"
#include "engine/animation/sg_3ds_morph_shape.h"
#include "engine/animation/sg_3ds_particle_system.h"
#include "engine/animation/sg_3ds_path_controller.h"
#include "engine/core/sg_light.h"
#include "engine/core/sg_property.h"
#include "engine/core/sg_stream.h"
#include "engine/geometry/sg_particles.h"
#include "tests/engine/support/large_particle_system.h"
#include "tests/engine/support/sg_stream_cases.h"

namespace {

// Little-endian fields, written by hand in a record's order.
struct Bytes {
    std::vector<uint8_t> b;
    Bytes& U8(uint8_t v) {
        b.push_back(v);
        return *this;
    }
    Bytes& U16(uint16_t v) {
        b.push_back(uint8_t(v));
        b.push_back(uint8_t(v >> 8));
        return *this;
    }
    Bytes& U32(uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b.push_back(uint8_t(v >> (8 * i)));
        return *this;
    }
    Bytes& F32(float f) {
        uint32_t v;
        std::memcpy(&v, &f, 4);
        return U32(v);
    }
    Bytes& Vec(float x, float y, float z) { return F32(x).F32(y).F32(z); }
};

// Where the pattern starts in the file (the file's end when it is not there).
size_t Find(const std::vector<uint8_t>& file, const std::vector<uint8_t>& pattern) {
    return static_cast<size_t>(std::search(file.begin(), file.end(), pattern.begin(), pattern.end()) - file.begin());
}

// The bytes of a top-level object's own fields after its object part (no name, no extra data).
std::vector<uint8_t> FieldsOf(const std::vector<uint8_t>& file, const char* className) {
    Bytes name;
    name.U32(static_cast<uint32_t>(std::strlen(className)));
    for (const char* c = className; *c; ++c)
        name.U8(static_cast<uint8_t>(*c));
    size_t at = Find(file, name.b);
    EXPECT_LT(at, file.size()) << className;
    at += name.b.size() + 12;  // link id, empty name, no extra data
    Bytes end;
    end.U32(11);
    size_t stop = file.size() - 15;  // "End Of File"
    return std::vector<uint8_t>(file.begin() + static_cast<long>(at), file.begin() + static_cast<long>(stop));
}

SgRef<SgAutoNormalParticles> Sprites(uint16_t n) {
    std::vector<SgVec3> p(n);
    std::vector<SgRgba> c(n, SgRgba(1, 1, 1, 1));
    return SgRef<SgAutoNormalParticles>(new SgAutoNormalParticles(n, p.data(), c.data()));
}

SgRef<SgTriShape> Shard() {
    const SgVec3 v[3] = {{0, 0, 0}, {0.1f, 0, 0}, {0, 0.1f, 0}};
    const uint16_t i[3] = {0, 1, 2};
    return SgRef<SgTriShape>(new SgTriShape(3, v, nullptr, 1, i, nullptr, nullptr));
}

SgRef<Sg3dsParticleSystem> FullSystem() {
    SgRef<Sg3dsParticleSystem> s(new Sg3dsParticleSystem);
    s->timeMode = SgAnimationTiming::kTimeApplication;
    s->lowKeyTime = 0;
    s->highKeyTime = 8;
    s->cycleType = SgAnimationTiming::kCycleLoop;
    s->SetParticles(Sprites(4).Get());
    s->rateFromLifeSpan = 1;
    s->worldSpace = 0;
    s->particleSize = 0.75f;
    s->speed = 2;
    s->speedVariation = 0.5f;
    s->lifeSpan = 3;
    s->emitRate = 5;
    s->emitterWidth = 0.5f;
    s->emitterLength = 0.25f;
    s->keptA = 1;
    s->keptB = 2;
    s->keptC = 3;
    s->keptD = 4;
    s->emitterType = 0;
    s->spread = 0.1f;
    s->SetEmitDirection({0, 0, 2});
    s->maxGenerations = 2;
    s->deathMode = 3;
    s->spinPeriod = 1.5f;
    s->spinVariation = 0.2f;
    s->fixedSpinAxis = 1;
    s->keptE = 6;
    s->spinAxis = {0, 1, 0};
    s->prewarmTime = 0.5f;
    s->stopTime = 6;
    s->thetaSpread = 0.1f;
    s->thetaCentre = 0.2f;
    s->phiSpread = 0.3f;
    s->phiCentre = 0.4f;
    s->directionMode = 1;
    s->fadeInTime = 0.25f;
    s->fadeOutTime = 0.5f;
    s->SetParticleObject(Shard().Get());
    s->SetExtraObjectCount(1);
    s->SetExtraObjectAt(Shard().Get(), 0);
    SgParticleSnapshot snap;
    snap.age = 0.5f;
    snap.position = {1, 2, 3};
    snap.velocity = {0, 0, 1};
    snap.spinRate = 2;
    snap.angle = 0.5f;
    snap.axis = {1, 0, 0};
    snap.object = Shard();
    s->AddSnapshot(snap);
    SgRef<SgGravity> g(new SgGravity);
    g->modelDirection = {0, 0, 1};
    s->AddForce(g.Get());
    SgRef<SgSphericalCollider> c(new SgSphericalCollider);
    c->radius = 2;
    s->AddCollider(c.Get());
    SgPositionKeyShaped a(0, {1, 0, 0}), b(1, {0, 0, 1});
    const SgPositionKey* keys[] = {&a, &b};
    s->SetColorKeys(keys, 2);
    return s;
}

SgRef<Sg3dsPathController> FullPath() {
    SgRef<Sg3dsPathController> p(new Sg3dsPathController);
    p->constantSpeed = 1;
    p->bankScale = 3;
    p->smoothFrame = 1;
    p->bank = 1;
    p->followPath = 1;
    p->bankAngle = 0.25f;
    p->smoothWindow = 0.1f;
    p->axisMode = 2;
    p->flip = 1;
    SgPositionKeyShaped k0(0, {0, 0, 0}), k1(0.5f, {2, 1, 0}), k2(1, {0, 0, 0});
    const SgPositionKey* path[] = {&k0, &k1, &k2};
    p->SetPathKeys(path, 3);
    SgFloatKeyShaped f0(0, 0, 0, 0, 0), f1(4, 1, 0.5f, 0, 0);
    const SgFloatKey* percent[] = {&f0, &f1};
    p->SetPercentKeys(percent, 2);
    p->InsertChild(Shard().Get(), false);
    return p;
}

template <class T>
SgRef<T> FullMorph(bool pairs) {
    const SgVec3 v[3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    const uint16_t i[3] = {0, 1, 2};
    SgRef<T> m(new T(3, v, nullptr, 1, i, nullptr, nullptr));
    m->refreshNormals = 1;
    if (pairs) {
        SgFloatKeyPair a(0, 0, 0, 0, 0, 2), b(1, 0.5f, 0, 0, 1, 2);
        const SgFloatKey* keys[] = {&a, &b};
        m->SetMorphKeys(keys, 2);
    } else {
        const float w0[2] = {0, 0}, w1[2] = {0, 1};
        SgFloatKeyArrays a(0, w0, 2), b(2, w1, 2);
        const SgFloatKey* keys[] = {&a, &b};
        m->SetMorphKeys(keys, 2);
    }
    const SgVec3 t1[3] = {{0, 0, 1}, {1, 0, 1}, {0, 1, 1}};
    const SgVec3* targets[] = {v, t1};
    m->SetMorphTargets(targets, 2, 3);
    return m;
}

void BreakAnimatorCycles() { Sg3dsPropertyAnimator::DeleteAll(); }

const SgStreamCase kCases[] = {
    {"SgGravity",
     [] {
         SgRef<SgGravity> g(new SgGravity);
         g->decay = 0.5f;
         g->strength = 2;
         g->kind = 1;
         g->modelPosition = {1, 2, 3};
         g->modelDirection = {0, 0, -1};
         return SgRef<SgObject>(g.Get());
     }},
    {"SgParticleBomb",
     [] {
         SgRef<SgParticleBomb> b(new SgParticleBomb);
         b->range = 4;
         b->duration = 1;
         b->strength = 3;
         b->startTime = 0.5f;
         b->falloff = 2;
         b->symmetry = 1;
         b->modelPosition = {1, 0, 0};
         b->modelDirection = {0, 1, 0};
         return SgRef<SgObject>(b.Get());
     }},
    {"SgSphericalCollider",
     [] {
         SgRef<SgSphericalCollider> c(new SgSphericalCollider);
         c->radius = 2;
         c->radiusSquared = 4;
         c->bounce = 0.5f;
         c->keptA = 7;
         c->keptB = 8;
         c->modelCentre = {1, 1, 1};
         return SgRef<SgObject>(c.Get());
     }},
    {"SgPlanarCollider",
     [] {
         SgRef<SgPlanarCollider> c(new SgPlanarCollider);
         c->modelConstant = -2;
         c->width = 3;
         c->height = 4;
         c->bounce = 0.25f;
         c->modelPosition = {0, 0, 2};
         c->modelFirstAxis = {1, 0, 0};
         c->modelSecondAxis = {0, 1, 0};
         c->modelNormal = {0, 0, 1};
         return SgRef<SgObject>(c.Get());
     }},
    {"SgMeshCollider",
     [] {
         SgRef<SgMeshCollider> c(new SgMeshCollider);
         c->value = 2;
         c->keptWords[1] = 9;
         c->mesh = Shard();
         return SgRef<SgObject>(c.Get());
     }},
    {"Sg3dsParticleSystem", [] { return SgRef<SgObject>(FullSystem().Get()); }},
    {"Sg3dsPathController", [] { return SgRef<SgObject>(FullPath().Get()); }},
    {"Sg3dsMorphShape", [] { return SgRef<SgObject>(FullMorph<Sg3dsMorphShape>(false).Get()); }},
    {"Sg3dsEnvMorphShape", [] { return SgRef<SgObject>(FullMorph<Sg3dsEnvMorphShape>(true).Get()); }},
    {"Sg3dsAlphaAnimator",
     [] {
         SgRef<Sg3dsAlphaAnimator> a(new Sg3dsAlphaAnimator);
         SgFloatKeyShaped k0(0, 1, 0, 0, 0), k1(2, 0.25f, 0.5f, 0, 0);
         const SgFloatKey* keys[] = {&k0, &k1};
         a->SetKeys(keys, 2);
         SgRef<SgMaterialProperty> m(new SgMaterialProperty);
         a->SetTarget(m.Get());
         return SgRef<SgObject>(a.Get());
     },
     BreakAnimatorCycles},
    {"Sg3dsAlphaAnimatorWithoutKeys",
     [] {
         SgRef<Sg3dsAlphaAnimator> a(new Sg3dsAlphaAnimator);
         a->lowKeyTime = 2;
         a->highKeyTime = 5;
         return SgRef<SgObject>(a.Get());
     },
     BreakAnimatorCycles},
    {"Sg3dsColorAnimator",
     [] {
         SgRef<Sg3dsColorAnimator> a(new Sg3dsColorAnimator);
         a->colorSelector = 2;
         SgPositionKeyLinear k0(0, {1, 0, 0}), k1(1, {0, 1, 0});
         const SgPositionKey* keys[] = {&k0, &k1};
         a->SetKeys(keys, 2);
         SgRef<SgMaterialProperty> m(new SgMaterialProperty);
         a->SetTarget(m.Get());
         return SgRef<SgObject>(a.Get());
     },
     BreakAnimatorCycles},
    {"Sg3dsLightColorAnimator",
     [] {
         SgRef<Sg3dsLightColorAnimator> a(new Sg3dsLightColorAnimator);
         a->firstColorOnly = 1;
         SgPositionKeyLinear k0(0, {1, 0, 0}), k1(3, {0, 0, 1});
         const SgPositionKey* keys[] = {&k0, &k1};
         a->SetKeys(keys, 2);
         a->SetTarget(new SgLight);
         return SgRef<SgObject>(a.Get());
     }},
    {"Sg3dsParticleSystemLarge", [] { return SgRef<SgObject>(LargeParticleSystem().Get()); }},
};

TEST_P(SgStreamCaseTest, RoundTrip) { CheckStreamRoundTrip(GetParam()); }
TEST_P(SgStreamCaseTest, MatchesSeed) {
    CheckStreamSeed(GetParam());
    BreakAnimatorCycles();
}
INSTANTIATE_TEST_SUITE_P(Effects, SgStreamCaseTest, testing::ValuesIn(kCases), SgStreamCaseName);

TEST(EffectsStream, ForceRecordsHaveTheirStoredLayouts) {
    struct LayoutCase {
        const char* name;
        std::vector<uint8_t> fields;
    };
    const LayoutCase cases[] = {
        {"SgGravity", Bytes().F32(0.5f).F32(2).U32(1).Vec(1, 2, 3).Vec(0, 0, -1).b},
        {"SgParticleBomb", Bytes().F32(4).F32(1).F32(3).F32(0.5f).U32(2).U32(1).Vec(1, 0, 0).Vec(0, 1, 0).b},
        {"SgSphericalCollider", Bytes().F32(2).F32(4).F32(0.5f).F32(7).F32(8).Vec(1, 1, 1).b},
        {"SgPlanarCollider",
         Bytes().F32(-2).F32(3).F32(4).F32(0.25f).Vec(0, 0, 2).Vec(1, 0, 0).Vec(0, 1, 0).Vec(0, 0, 1).b},
    };
    for (const LayoutCase& c : cases) {
        const SgStreamCase* make = nullptr;
        for (const SgStreamCase& k : kCases)
            if (k.name == c.name)
                make = &k;
        ASSERT_TRUE(make);
        SgRef<SgObject> o = make->make();
        EXPECT_EQ(FieldsOf(SaveAsTopLevel(o.Get()), c.name), c.fields) << c.name;
    }
    // The mesh collider's record ends with its mesh's link id: the mesh is saved after it.
    SgRef<SgObject> mesh = kCases[4].make();
    std::vector<uint8_t> file = SaveAsTopLevel(mesh.Get());
    std::vector<uint8_t> head = Bytes().F32(2).U32(0).U32(9).U32(0).U32(2).b;
    EXPECT_LT(Find(file, head), file.size());
}

TEST(EffectsStream, LoadedForcesHaveTheirWorldCopies) {
    SgRef<SgObject> plane = LoadSingleTopLevel(SaveAsTopLevel(kCases[3].make().Get()));
    auto* p = SgKindCast<SgPlanarCollider>(plane.Get());
    ASSERT_TRUE(p);
    EXPECT_EQ(p->worldNormal, SgVec3(0, 0, 1));
    EXPECT_EQ(p->worldConstant, -2.0f);
    SgRef<SgObject> sphere = LoadSingleTopLevel(SaveAsTopLevel(kCases[2].make().Get()));
    EXPECT_EQ(SgKindCast<SgSphericalCollider>(sphere.Get())->worldCentre, SgVec3(1, 1, 1));
}

TEST(EffectsStream, ParticleSystemLayoutAndMends) {
    SgRef<Sg3dsParticleSystem> system = FullSystem();
    std::vector<uint8_t> file = SaveAsTopLevel(system.Get());
    std::vector<uint8_t> fixed = Bytes()
                                     .U32(4)
                                     .U8(1)
                                     .U8(0)
                                     .F32(0.75f)
                                     .F32(2)
                                     .F32(0.5f)
                                     .F32(3)
                                     .F32(2)  // keptB sits after the life span
                                     .F32(5)
                                     .F32(0.5f)
                                     .F32(0.25f)
                                     .F32(1)
                                     .F32(3)
                                     .F32(4)
                                     .U32(0)
                                     .F32(0.1f)
                                     .Vec(0, 0, 1)
                                     .U32(2)
                                     .U32(3)
                                     .F32(1.5f)
                                     .F32(0.2f)
                                     .U32(1)
                                     .F32(6)
                                     .Vec(0, 1, 0)
                                     .F32(0.5f)
                                     .F32(6)
                                     .F32(0.1f)
                                     .F32(0.2f)
                                     .F32(0.3f)
                                     .F32(0.4f)
                                     .U32(1)
                                     .b;
    size_t at = Find(file, fixed);
    ASSERT_LT(at, file.size()) << "the parameters in their stored order";
    at += fixed.size();
    // Then the template's link id, one extra object, and the snapshot flag.
    EXPECT_NE(file[at], 0);
    EXPECT_EQ(std::vector<uint8_t>(file.begin() + long(at) + 4, file.begin() + long(at) + 8), Bytes().U32(1).b);

    // Snapshots are stored for the whole capacity: a capacity whose snapshots the file does not
    // hold is a damaged record.
    std::vector<uint8_t> big = file;
    big[at - fixed.size() + 2] = 1;  // 4 + 65536
    SgSceneStream refused;
    EXPECT_FALSE(refused.Load(big.data(), big.size()));
    EXPECT_EQ(SgSceneStream::ErrorCode(), SG_STREAM_DAMAGED);

    // A geometry with fewer vertices than the capacity lowers it to its count at link, keeping the
    // first snapshots.
    SgRef<Sg3dsParticleSystem> wide = FullSystem();
    wide->SetMaxParticles(6);
    for (int i = 0; i < 3; ++i) {
        SgParticleSnapshot s;
        s.position = {float(i), 0, 0};
        wide->AddSnapshot(s);
    }
    SgRef<SgObject> loaded = LoadSingleTopLevel(SaveAsTopLevel(wide.Get()));
    auto* l = SgKindCast<Sg3dsParticleSystem>(loaded.Get());
    ASSERT_TRUE(l);
    EXPECT_EQ(l->MaxParticles(), 4u);
    EXPECT_EQ(l->SnapshotCount(), 4u) << "loaded snapshots count as the capacity";
    EXPECT_EQ(l->Snapshots()[2].position, SgVec3(2, 0, 0));
    EXPECT_EQ(l->Snapshots()[3].position, SgVec3(0, 0, 0)) << "an unused slot, zero";
    l->Simulate(1);
    EXPECT_EQ(l->LiveCount(), 4u);
    EXPECT_EQ(l->Geometry()->ActiveCount(), 4u);
}

// A capacity is kept as the file gives it and costs nothing until particles are born: a file of
// many hostile-sized systems loads in little memory, and none is refused for its capacity. No
// more particles live at once than a geometry could hold, nor than the shared budget pays for.
TEST(EffectsStream, ACapacityCostsNothingUntilParticlesAreBorn) {
    SgRef<SgNode> root(new SgNode);
    for (int i = 0; i < 500; ++i)
        root->InsertChild(LargeParticleSystem().Get(), false);
    SgRef<Sg3dsParticleSystem> huge = LargeParticleSystem();
    huge->SetMaxParticles(100000);
    root->InsertChild(huge.Get(), false);
    std::vector<uint8_t> file = SaveAsTopLevel(root.Get());
    SgRef<SgObject> loaded = LoadSingleTopLevel(file);
    auto* node = SgKindCast<SgNode>(loaded.Get());
    ASSERT_TRUE(node);
    ASSERT_EQ(node->ChildCount(), 501u);
    for (uint32_t i = 0; i < node->ChildCount(); ++i) {
        auto* s = SgKindCast<Sg3dsParticleSystem>(node->ChildAt(i));
        ASSERT_TRUE(s);
        EXPECT_EQ(s->MaxParticles(), i < 500 ? Sg3dsParticleSystem::kMaxLive : 100000u) << i;
        EXPECT_EQ(s->Room(), 0u) << i;
    }
    EXPECT_EQ(SaveAsTopLevel(loaded.Get()), file) << "saved back as loaded";

    // A few born: room for a few.
    auto* first = SgKindCast<Sg3dsParticleSystem>(node->ChildAt(0));
    first->prewarmTime = 0;
    first->emitRate = 3;
    first->Simulate(1);
    first->Simulate(2);
    EXPECT_EQ(first->LiveCount(), 3u);
    EXPECT_LE(first->Room(), 16u);
    auto* last = SgKindCast<Sg3dsParticleSystem>(node->ChildAt(500));
    last->prewarmTime = 0;
    last->Simulate(1);
    last->Simulate(2);
    const uint32_t paid = static_cast<uint32_t>(
        (Sg3dsParticleSystem::kWorkBudget - first->Share()) / last->UnitsPerParticle());
    EXPECT_EQ(last->LiveCount(), std::min(paid, Sg3dsParticleSystem::kMaxLive));
    EXPECT_EQ(last->Room(), last->LiveCount());
}

TEST(EffectsStream, PathAndMorphLayouts) {
    std::vector<uint8_t> path = SaveAsTopLevel(FullPath().Get());
    std::vector<uint8_t> head = Bytes()
                                    .U32(3)
                                    .U32(2)
                                    .U8(0)  // closed: recomputed from the keys
                                    .U32(3)
                                    .U8(1)
                                    .U8(1)
                                    .U8(1)
                                    .U8(1)
                                    .F32(0.25f)
                                    .F32(0.1f)
                                    .U16(2)
                                    .U8(1)
                                    .U32(3)  // the shaped position keys' type
                                    .F32(0)
                                    .Vec(0, 0, 0)
                                    .b;
    EXPECT_LT(Find(path, head), path.size());

    SgRef<Sg3dsMorphShape> morph = FullMorph<Sg3dsMorphShape>(false);
    std::vector<uint8_t> file = SaveAsTopLevel(morph.Get());
    const SgBoundSphere* bound = morph->MorphBound();
    ASSERT_TRUE(bound);
    std::vector<uint8_t> fields = Bytes()
                                      .U8(1)
                                      .U8(1)
                                      .U32(2)
                                      .U32(2)
                                      .Vec(bound->centre.x, bound->centre.y, bound->centre.z)
                                      .F32(bound->radius)
                                      .U32(5)
                                      .F32(0)  // the first key's time
                                      .b;
    size_t at = Find(file, fields);
    ASSERT_LT(at, file.size());
    // The targets close the record: two of three vertices each.
    std::vector<uint8_t> targets = Bytes()
                                       .Vec(0, 0, 0)
                                       .Vec(1, 0, 0)
                                       .Vec(0, 1, 0)
                                       .Vec(0, 0, 1)
                                       .Vec(1, 0, 1)
                                       .Vec(0, 1, 1)
                                       .b;
    EXPECT_EQ(Find(file, targets), file.size() - 15 - targets.size());

    // A target count the file cannot hold is a damaged record.
    file[at + 2] = 0xFF;
    file[at + 4] = 0x7F;
    SgSceneStream refused;
    EXPECT_FALSE(refused.Load(file.data(), file.size()));
    EXPECT_EQ(SgSceneStream::ErrorCode(), SG_STREAM_DAMAGED);
}

TEST(EffectsStream, AnimatorLayoutsAndTheRecordOnTheTarget) {
    SgRef<Sg3dsColorAnimator> color(new Sg3dsColorAnimator);
    color->colorSelector = 3;
    SgPositionKeyLinear k0(0.5f, {1, 0, 0});
    const SgPositionKey* keys[] = {&k0};
    color->SetKeys(keys, 1);
    SgRef<SgMaterialProperty> material(new SgMaterialProperty);
    color->SetTarget(material.Get());
    std::vector<uint8_t> file = SaveAsTopLevel(color.Get());
    // After the timing: the target's id (2), the selector, one linear key.
    std::vector<uint8_t> tail = Bytes().U32(2).U32(3).U32(1).U32(1).F32(0.5f).Vec(1, 0, 0).b;
    EXPECT_LT(Find(file, tail), file.size());
    // The material carries the record naming the animator (id 1).
    std::vector<uint8_t> record = Bytes().U32(22).b;
    for (char c : std::string("Sg3dsPropAnimExtraData"))
        record.push_back(uint8_t(c));
    Bytes id;
    id.U32(0).U32(1);  // no bytes of its own, then the animator's id
    record.insert(record.end(), id.b.begin(), id.b.end());
    EXPECT_LT(Find(file, record), file.size());

    // Loaded, the target's record names the loaded animator.
    {
        SgRef<SgObject> loaded = LoadSingleTopLevel(file);
        auto* a = SgKindCast<Sg3dsColorAnimator>(loaded.Get());
        ASSERT_TRUE(a && a->Target());
        SgExtraData* e = a->Target()->ExtraHead();
        ASSERT_TRUE(e && e->IsKindOf(&Sg3dsPropAnimExtraData::typeRecord));
        EXPECT_EQ(static_cast<Sg3dsPropAnimExtraData*>(e)->animator.Get(), a);
        a->UpdateAppTime(4);
        EXPECT_EQ(static_cast<SgMaterialProperty*>(a->Target())->emissive.r, 1.0f);
    }
    color->Retire();
    BreakAnimatorCycles();

    // Loaded without keys: no key is read and the stored range stays.
    SgRef<SgObject> bare = LoadSingleTopLevel(SaveAsTopLevel(kCases[10].make().Get()));
    auto* b = SgKindCast<Sg3dsAlphaAnimator>(bare.Get());
    ASSERT_TRUE(b);
    EXPECT_EQ(b->lowKeyTime, 2.0f);
    EXPECT_EQ(b->highKeyTime, 5.0f);
    BreakAnimatorCycles();
}

}  // namespace
