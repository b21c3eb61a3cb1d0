// The animated sample model of the installation: it loads as the writer built it, and played on
// the application clock it draws through a camera into the recording renderer with the placements
// its keys give.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "engine/animation/sg_3ds_animation_node.h"
#include "engine/core/sg_stream.h"
#include "tests/engine/support/sg_stream_cases.h"
#include "tests/engine/scene/scene_fixture.h"
#include "tools/writers/animated_model.h"

namespace {

using Placement = RecordingRender::ModelTransform;

SgMat3 Turn(float angle, const SgVec3& k) {
    double c = std::cos(angle), s = std::sin(angle), t = 1 - c;
    SgMat3 r;
    const double m[9] = {c + t * k.x * k.x,       t * k.x * k.y - s * k.z, t * k.x * k.z + s * k.y,
                         t * k.x * k.y + s * k.z, c + t * k.y * k.y,       t * k.y * k.z - s * k.x,
                         t * k.x * k.z - s * k.y, t * k.y * k.z + s * k.x, c + t * k.z * k.z};
    for (int i = 0; i < 9; ++i)
        r.m[i] = static_cast<float>(m[i]);
    return r;
}

void ExpectPlacement(const Placement& p, const SgVec3& translation, const SgMat3& rotation, float scale,
                     const char* what) {
    SCOPED_TRACE(what);
    EXPECT_NEAR(p.translation.x, translation.x, 1e-4f);
    EXPECT_NEAR(p.translation.y, translation.y, 1e-4f);
    EXPECT_NEAR(p.translation.z, translation.z, 1e-4f);
    for (int i = 0; i < 9; ++i)
        EXPECT_NEAR(p.rotation.m[i], rotation.m[i], 1e-4f) << "entry " << i;
    EXPECT_NEAR(p.scale, scale, 1e-5f);
}

// Every animated node below object, children before their parents, so a bone chain's children
// have noted the time before their root evaluates them.
void CollectAnimated(SgAVObject* object, std::vector<Sg3dsAnimationNode*>& out) {
    auto* node = SgKindCast<SgNode>(object);
    if (!node)
        return;
    for (uint32_t i = 0; i < node->ChildCount(); ++i)
        CollectAnimated(node->ChildAt(i), out);
    if (auto* animated = SgKindCast<Sg3dsAnimationNode>(node))
        out.push_back(animated);
}

// The model stands 10 units in front of the scene tests' camera, which looks along +x from the
// origin.
class AnimatedModel : public SceneTest {
protected:
    void SetUp() override {
        std::string path = std::string(SAMPLE_INSTALL_DIR) + "/" + kAnimatedModelFile;
        SgSceneStream stream;
        ASSERT_TRUE(stream.LoadFromFile(path.c_str())) << SgSceneStream::ErrorMessage();
        ASSERT_EQ(stream.TopLevelCount(), 1u);
        model = SgKindCast<SgNode>(stream.TopLevelObject(0));
        ASSERT_TRUE(model);
        CollectAnimated(model.Get(), animated);
        holder = new SgNode;
        holder->localTranslation = {10, 0, 0};
        holder->InsertChild(model.Get(), false);
    }

    // Plays the model to time t and draws one frame.
    const std::vector<Placement>& PlayAndDraw(float t) {
        for (Sg3dsAnimationNode* n : animated)
            n->UpdateAppTime(t);
        RenderRoot(holder.Get(), t);
        return render->modelTransforms;
    }

    SgRef<SgNode> model;
    std::vector<Sg3dsAnimationNode*> animated;
    SgRef<SgNode> holder;
};

TEST_F(AnimatedModel, LoadsAsBuilt) {
    SgRef<SgNode> built = BuildAnimatedModel();
    EXPECT_TRUE(model->IsEqualTo(built.Get()));
    EXPECT_EQ(animated.size(), 5u) << "two keyed nodes and three bones";
    auto* mid = SgKindCast<Sg3dsAnimationNode>(model->FindByName("arm mid"));
    ASSERT_TRUE(mid);
    EXPECT_TRUE(mid->PerAxisRotation());
    EXPECT_TRUE(SgExactCast<Sg3dsBone>(mid));
}

TEST_F(AnimatedModel, PlaysWithItsKeyedPlacements) {
    const SgMat3 none = SgIdentityMat3;
    // t = 3: the spinner has looped back to its start; the arm, going back and forth over
    // [0, 2], is back at its keys of time 1.
    const std::vector<Placement>& placements = PlayAndDraw(3);
    ASSERT_EQ(render->Count("DrawTriShape"), 5u);
    ASSERT_EQ(placements.size(), 5u);
    ExpectPlacement(placements[0], {10, 0, 0}, none, 1, "spinner body");
    ExpectPlacement(placements[1], {11.5f, 0, 0}, none, 0.5f, "orbiter body");
    SgMat3 nod = Turn(0.5f, {1, 0, 0});
    SgMat3 bend = nod * Turn(0.8f, {0, 1, 0});
    SgVec3 root{10, -2, 0};
    SgVec3 mid = root + nod * SgVec3(0, 0, 1);
    // The tip's tangent keys have flat ends: halfway it has come half the way, to 1.25.
    SgVec3 tip = mid + bend * SgVec3(0, 0, 1.25f);
    ExpectPlacement(placements[2], root, nod, 1, "arm root body");
    ExpectPlacement(placements[3], mid, bend, 1, "arm mid body");
    ExpectPlacement(placements[4], tip, bend, 1, "arm tip body");
    auto* tipBone = SgKindCast<Sg3dsBone>(model->FindByName("arm tip"));
    ASSERT_TRUE(tipBone);
    EXPECT_NEAR(tipBone->boneTranslation.z, (mid + bend * SgVec3(0, 0, 1.25f)).z, 1e-4f)
        << "the chain's accumulated placement matches its world placement";

    // t = 1.5: the spinner's keys of that time: lifted by 0.5, turned by half of 2.5 pi, and the
    // orbiter at full size.
    PlayAndDraw(1.5f);
    ASSERT_EQ(placements.size(), 5u);
    SgMat3 turn = Turn(1.25f * SgPi, {0, 0, 1});
    ExpectPlacement(placements[0], {10, 0, 0.5f}, turn, 1, "spinner body");
    ExpectPlacement(placements[1], SgVec3(10, 0, 0.5f) + turn * SgVec3(1.5f, 0, 0), turn, 1,
                    "orbiter body");

    // t = 2.25: the orbiter is hidden and not drawn.
    EXPECT_EQ(PlayAndDraw(2.25f).size(), 4u);
    EXPECT_EQ(PlayAndDraw(2.5f).size(), 5u);
}

// The whole model in the save, load and compare table, and as a seed of the sgf fuzzer.
const SgStreamCase kCases[] = {
    {"AnimatedSampleModel", [] { return SgRef<SgObject>(BuildAnimatedModel().Get()); }},
};

TEST_P(SgStreamCaseTest, RoundTrip) { CheckStreamRoundTrip(GetParam()); }
TEST_P(SgStreamCaseTest, MatchesSeed) { CheckStreamSeed(GetParam()); }
INSTANTIATE_TEST_SUITE_P(AnimatedModel, SgStreamCaseTest, testing::ValuesIn(kCases), SgStreamCaseName);

}  // namespace
