// The effects sample model of the installation: it loads as the writer built it, and played on the
// application clock it draws into the recording renderer: the spray's particles with their
// colours, the rider on its path, the morphs' poses, the glow's material and the lamp's colours.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "engine/animation/sg_3ds_animators.h"
#include "engine/animation/sg_3ds_particle_system.h"
#include "engine/animation/sg_3ds_path_controller.h"
#include "engine/core/sg_light.h"
#include "engine/core/sg_property.h"
#include "engine/core/sg_stream.h"
#include "engine/geometry/sg_particles.h"
#include "tests/engine/scene/scene_fixture.h"
#include "tools/writers/effects_model.h"

namespace {

void ExpectVec(const SgVec3& got, const SgVec3& want, float tolerance, const std::string& what) {
    EXPECT_NEAR(got.x, want.x, tolerance) << what;
    EXPECT_NEAR(got.y, want.y, tolerance) << what;
    EXPECT_NEAR(got.z, want.z, tolerance) << what;
}

// The model stands 20 units in front of the scene tests' camera, which looks along +x.
const SgVec3 kPlace{20, 0, 0};

class EffectsModelTest : public SceneTest {
protected:
    void SetUp() override {
        std::string path = std::string(SAMPLE_INSTALL_DIR) + "/" + kEffectsModelFile;
        SgSceneStream stream;
        ASSERT_TRUE(stream.LoadFromFile(path.c_str())) << SgSceneStream::ErrorMessage();
        ASSERT_EQ(stream.TopLevelCount(), 2u);
        model = SgKindCast<SgNode>(stream.TopLevelObject(0));
        lampAnimator = SgKindCast<Sg3dsLightColorAnimator>(stream.TopLevelObject(1));
        ASSERT_TRUE(model && lampAnimator);
        for (size_t i = 0; i < stream.LoadedCount(); ++i)
            if (dynamic_cast<SgAnimationTiming*>(stream.LoadedObject(i)))
                clocked.emplace_back(stream.LoadedObject(i));
        holder = new SgNode;
        holder->localTranslation = kPlace;
        holder->InsertChild(model.Get(), false);
        render->copyArrays = true;
    }
    void TearDown() override { Sg3dsPropertyAnimator::DeleteAll(); }

    void PlayAndDraw(float t) {
        for (const SgRef<SgObject>& o : clocked)
            dynamic_cast<SgAnimationTiming*>(o.Get())->UpdateAppTime(t);
        RenderRoot(holder.Get(), t);
    }

    // The draw whose first vertex is at p.
    const RenderCall* DrawAt(const char* name, const SgVec3& p) const {
        for (const RenderCall& c : render->calls)
            if (c.name == name && !c.arrays.vertices.empty() && (c.arrays.vertices[0] - p).Length() < 1e-3f)
                return &c;
        return nullptr;
    }

    template <class T>
    T* Find(const char* name) const {
        return SgKindCast<T>(model->FindByName(name));
    }

    SgRef<SgNode> model;
    SgRef<Sg3dsLightColorAnimator> lampAnimator;
    std::vector<SgRef<SgObject>> clocked;
    SgRef<SgNode> holder;
};

TEST_F(EffectsModelTest, LoadsAsBuilt) {
    EffectsModel built = BuildEffectsModel();
    EXPECT_TRUE(model->IsEqualTo(built.root.Get()));
    EXPECT_TRUE(lampAnimator->IsEqualTo(built.lampAnimator.Get()));
    auto* spray = Find<Sg3dsParticleSystem>("spray");
    ASSERT_TRUE(spray);
    EXPECT_EQ(SgForce::CountChain(spray->Forces()), 2u);
    EXPECT_EQ(SgForce::CountChain(spray->Colliders()), 2u);
    EXPECT_EQ(spray->SnapshotCount(), 48u) << "loaded snapshots count as the capacity";
    auto* material = SgKindCast<SgMaterialProperty>(Find<SgTriShape>("glow")->FindPropertyOfType(SgMaterialProperty::kType));
    ASSERT_TRUE(material);
    EXPECT_TRUE(material->ExtraHead()) << "the material names its animators";
}

TEST_F(EffectsModelTest, TheSprayDrawsItsParticlesWithTheirColours) {
    auto* spray = Find<Sg3dsParticleSystem>("spray");
    ASSERT_TRUE(spray);
    PlayAndDraw(0.25f);
    // The first frame restarts: the burst of snapshots fills the system.
    EXPECT_EQ(spray->LiveCount(), 48u);
    PlayAndDraw(0.75f);
    std::vector<RenderCall> draws = render->Named("DrawParticles");
    ASSERT_GE(draws.size(), 1u);
    const RenderArrays& a = draws[0].arrays;
    ASSERT_EQ(a.vertices.size(), spray->LiveCount());
    // Half a second old of a life of 1: the middle colour key.
    EXPECT_NEAR(a.colors[0].r, 1.0f, 1e-6f);
    EXPECT_NEAR(a.colors[0].g, 0.4f, 1e-6f);
    EXPECT_NEAR(a.colors[0].b, 0.1f, 1e-6f);
    EXPECT_EQ(a.colors[0].a, 1.0f);
    EXPECT_EQ(a.sizes[0], 1.0f) << "past the fade-in";
    // The burst rose from a ring around the emitter.
    ExpectVec(a.vertices[0] - kPlace, spray->Positions()[0], 1e-4f, "world = model + place");
    EXPECT_GT(spray->Positions()[0].z, 0.5f);

    // Each generation lives 1: the burst's children at 1.5, its grandchildren at 2.5; at 3.5 the
    // last generation dies without children and the emitter starts to refill the system.
    PlayAndDraw(1.25f);
    EXPECT_EQ(spray->Generations()[0], 0);
    PlayAndDraw(1.5f);
    EXPECT_EQ(spray->LiveCount(), 48u);
    EXPECT_EQ(spray->Generations()[0], 1) << "the burst's children";
    for (float t = 1.75f; t <= 3.25f; t += 0.25f)
        PlayAndDraw(t);
    EXPECT_EQ(spray->Generations()[0], 2);
    PlayAndDraw(3.5f);
    ASSERT_EQ(spray->LiveCount(), 3u) << "12 a second over a quarter";
    EXPECT_EQ(spray->Generations()[0], 0) << "newborns of the emitter";
    draws = render->Named("DrawParticles");
    EXPECT_EQ(draws[0].arrays.vertices.size(), 3u);
}

// The first frame after loading restarts and takes no step, so it draws the geometry as the file
// holds it: that must already be the system's sprite size and the colour of birth.
TEST_F(EffectsModelTest, TheFirstFrameDrawsTheSpraysOwnSizeAndColours) {
    auto* spray = Find<Sg3dsParticleSystem>("spray");
    ASSERT_TRUE(spray);
    PlayAndDraw(0.25f);
    ASSERT_EQ(spray->LiveCount(), 48u);
    std::vector<RenderCall> draws = render->Named("DrawParticles");
    ASSERT_GE(draws.size(), 1u);
    const RenderCall& first = draws[0];
    ASSERT_EQ(first.arrays.vertices.size(), 48u);
    EXPECT_EQ(first.args[4], "0.05") << "the radius is half of particleSize 0.1";
    for (const SgRgba& c : first.arrays.colors) {
        EXPECT_NEAR(c.r, 1.0f, 1e-6f);
        EXPECT_NEAR(c.g, 0.9f, 1e-6f);
        EXPECT_NEAR(c.b, 0.2f, 1e-6f);
    }
    // The next frame steps: the same size from the step itself.
    PlayAndDraw(0.5f);
    draws = render->Named("DrawParticles");
    EXPECT_EQ(draws[0].args[4], "0.05");
}

TEST_F(EffectsModelTest, ShardsCarryTheirOwnCopies) {
    auto* shards = Find<Sg3dsParticleSystem>("shards");
    ASSERT_TRUE(shards);
    PlayAndDraw(0.25f);
    PlayAndDraw(1.25f);
    ASSERT_EQ(shards->LiveCount(), 6u);
    for (uint32_t i = 0; i < shards->LiveCount(); ++i)
        EXPECT_TRUE(shards->ParticleNode(i)) << i;
    // Each copy draws where its particle is.
    SgVec3 first = kPlace + shards->localTranslation + shards->Positions()[0];
    EXPECT_TRUE(DrawAt("DrawTriShape", first));
}

TEST_F(EffectsModelTest, TheRiderFollowsItsPath) {
    // A quarter of the loop's time: a quarter of its length along the curve.
    PlayAndDraw(2.0f);
    auto* loop = Find<Sg3dsPathController>("loop");
    auto* rider = Find<SgTriShape>("rider");
    ASSERT_TRUE(loop && rider);
    Sg3dsPathController::Segment seg = loop->FindSegmentByLength(0.25f);
    EXPECT_NEAR(loop->ArcLengths()[seg.i] + loop->SegmentLength(seg.i, seg.s), 0.25f * loop->TotalLength(), 1e-3f);
    SgPositionKey out;
    SgVec3 onPath = loop->PathKeys()[seg.i]->Interpolate(&out, seg.s, loop->PathKeys()[seg.j])->position;
    const SgVec3 at = kPlace + SgVec3(-8, -2, 0) + onPath;
    ExpectVec(rider->CurrentState()->worldTranslation, at, 1e-4f, "on the path");
    EXPECT_NEAR(onPath.x, 4.0f, 0.2f) << "near the second corner of the square";
    EXPECT_NEAR(onPath.y, 0.0f, 0.2f);
    // Following the path: the rider's local x along the tangent there.
    SgVec3 tangent;
    loop->PathKeys()[seg.i]->FirstDerivative(tangent, seg.s, loop->PathKeys()[seg.j]);
    tangent.Normalize();
    const SgMat3& r = rider->CurrentState()->worldRotation;
    ExpectVec({r.m[0], r.m[3], r.m[6]}, tangent, 1e-4f, "tangent");
    EXPECT_GT(tangent.x, 0.3f);
    EXPECT_GT(tangent.y, 0.3f) << "turning through the corner";
    EXPECT_TRUE(DrawAt("DrawTriShape", at)) << "drawn there";
}

TEST_F(EffectsModelTest, MorphsDrawTheirPoses) {
    PlayAndDraw(1.0f);
    // The blob at its second key: the raised target.
    const SgVec3 blob = kPlace + SgVec3(0, 4, 0);
    const RenderCall* b = DrawAt("DrawTriShape", blob + SgVec3(-0.5f, -0.5f, 0));
    ASSERT_TRUE(b);
    ExpectVec(b->arrays.vertices[1], blob + SgVec3(0.5f, -0.5f, 1), 1e-5f, "raised corner");
    ExpectVec(b->arrays.vertices[3], blob + SgVec3(-0.5f, 0.5f, 1), 1e-5f, "raised corner");
    // The chrome at its second key: the tilted target, texture coordinates from the view.
    const SgVec3 chrome = kPlace + SgVec3(2, 4, 0);
    const RenderCall* c = DrawAt("DrawTriShape", chrome + SgVec3(-0.5f, -0.5f, -0.25f));
    ASSERT_TRUE(c);
    ExpectVec(c->arrays.vertices[2], chrome + SgVec3(0.5f, 0.5f, 0.25f), 1e-5f, "tilted corner");
    ASSERT_EQ(c->arrays.textureSets.size(), 4u);
    EXPECT_NE(c->arrays.textureSets[1], SgVec3(1, 0, 0));
    // Halfway back: the blob between its last two keys, weights from their curves.
    PlayAndDraw(1.5f);
    b = DrawAt("DrawTriShape", blob + SgVec3(-0.5f, -0.5f, 0));
    EXPECT_FALSE(b) << "no longer at the flat pose";
}

TEST_F(EffectsModelTest, MaterialAndLampColoursFollowTheirKeys) {
    PlayAndDraw(1.0f);
    auto* material = SgKindCast<SgMaterialProperty>(Find<SgTriShape>("glow")->FindPropertyOfType(SgMaterialProperty::kType));
    ASSERT_TRUE(material);
    EXPECT_NEAR(material->alpha, 0.2f, 1e-6f);
    EXPECT_EQ(material->diffuse.b, 1.0f);
    EXPECT_EQ(material->diffuse.r, 0.0f);
    bool sent = false;
    for (const RenderCall& c : render->Named("SetMaterial"))
        sent |= c.objects[0] == material;
    EXPECT_TRUE(sent);

    PlayAndDraw(2.0f);
    auto* lamp = SgKindCast<SgLight>(model->Lights().First());
    ASSERT_TRUE(lamp);
    EXPECT_EQ(lamp->ambient.r, 0.0f);
    EXPECT_EQ(lamp->diffuse.r, 1.0f);
    EXPECT_NEAR(lamp->diffuse.g, 0.5f, 1e-6f);
    EXPECT_EQ(lamp->specular.b, 0.0f);
    EXPECT_GE(render->Count("UpdateLight"), 1u);
}

}  // namespace
