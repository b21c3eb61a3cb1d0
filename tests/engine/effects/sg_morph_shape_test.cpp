// Morph shapes: type 5 weights over differences from target 0 (converted once), type 6
// cross-fades, a single key, the bound over every pose, the environment-mapped draw, copies and
// the guards on weights, targets and key times.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "engine/animation/sg_3ds_morph_shape.h"
#include "tests/engine/scene/scene_fixture.h"

namespace {

constexpr uint16_t kVertices = 3;

void ExpectVertices(const SgTriShape* shape, const std::vector<SgVec3>& want, const std::string& what) {
    for (uint32_t v = 0; v < kVertices; ++v) {
        EXPECT_NEAR(shape->Vertices()[v].x, want[v].x, 1e-5f) << what << " vertex " << v;
        EXPECT_NEAR(shape->Vertices()[v].y, want[v].y, 1e-5f) << what << " vertex " << v;
        EXPECT_NEAR(shape->Vertices()[v].z, want[v].z, 1e-5f) << what << " vertex " << v;
    }
}

// Target k: the triangle moved to x = 10 k, scaled by k + 1.
std::vector<SgVec3> TargetPositions(uint32_t k) {
    float s = static_cast<float>(k + 1);
    return {{10.0f * k, 0, 0}, {10.0f * k + s, 0, 0}, {10.0f * k, s, 0}};
}

template <class T = Sg3dsMorphShape>
SgRef<T> MakeShape(uint32_t targetCount) {
    const SgVec3 start[kVertices] = {{0, 0, 5}, {1, 0, 5}, {0, 1, 5}};
    const SgVec3 normals[kVertices] = {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}};
    const SgVec3 uv[kVertices] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    const uint16_t indices[3] = {0, 1, 2};
    SgRef<T> shape(new T(kVertices, start, normals, 1, indices, uv, nullptr));
    shape->timeMode = SgAnimationTiming::kTimeApplication;
    shape->worldUpdateFlag = 0;
    std::vector<std::vector<SgVec3>> targets;
    std::vector<const SgVec3*> pointers;
    for (uint32_t k = 0; k < targetCount; ++k)
        targets.push_back(TargetPositions(k));
    for (const auto& t : targets)
        pointers.push_back(t.data());
    shape->relativePending = 1;
    if (targetCount)
        EXPECT_TRUE(shape->SetMorphTargets(pointers.data(), targetCount, kVertices));
    return shape;
}

// Type 5 keys at the given times with three weights each.
void SetWeightKeys(Sg3dsMorphShape* shape, const std::vector<std::pair<float, std::vector<float>>>& keys) {
    std::vector<SgFloatKeyArrays*> made;
    for (const auto& [time, weights] : keys)
        made.push_back(new SgFloatKeyArrays(time, weights.data(), static_cast<uint32_t>(weights.size())));
    std::vector<const SgFloatKey*> pointers(made.begin(), made.end());
    shape->SetMorphKeys(pointers.data(), static_cast<uint32_t>(pointers.size()));
    for (SgFloatKeyArrays* k : made)
        delete k;
}

std::vector<SgVec3> Mix(const std::vector<float>& weights) {
    // Target 0 plus the weighted differences of the others.
    std::vector<SgVec3> out = TargetPositions(0);
    for (uint32_t k = 1; k < weights.size(); ++k)
        for (uint32_t v = 0; v < kVertices; ++v)
            out[v] = out[v] + (TargetPositions(k)[v] - TargetPositions(0)[v]) * weights[k];
    return out;
}

TEST(MorphShape, WeightsBlendDifferencesFromTheFirstTarget) {
    SgRef<Sg3dsMorphShape> shape = MakeShape(3);
    // The first weight has no difference to scale: target 0 is the base whatever it says.
    SetWeightKeys(shape.Get(), {{0, {0.7f, 1, 0}}, {2, {0.7f, 1, 0}}});
    // Keys before targets here; the presentation sets keys first, then targets, which computes
    // the bound at once.
    std::vector<std::vector<SgVec3>> t = {TargetPositions(0), TargetPositions(1), TargetPositions(2)};
    const SgVec3* p[] = {t[0].data(), t[1].data(), t[2].data()};
    ASSERT_TRUE(shape->SetMorphTargets(p, 3, kVertices));
    shape->UpdateAppTime(0);
    ExpectVertices(shape.Get(), TargetPositions(1), "the second target on the first update");
    EXPECT_EQ(shape->relativePending, 0);
    ExpectVertices(shape.Get(), TargetPositions(1), "");
    EXPECT_EQ(shape->Target(1)[0], SgVec3(10, 0, 0)) << "now a difference";
    // A second update does not convert again.
    shape->UpdateAppTime(1);
    ExpectVertices(shape.Get(), TargetPositions(1), "still the second target");
    EXPECT_EQ(shape->Target(1)[0], SgVec3(10, 0, 0));
}

TEST(MorphShape, WeightsInterpolateBetweenKeys) {
    SgRef<Sg3dsMorphShape> shape = MakeShape(3);
    SetWeightKeys(shape.Get(), {{0, {0, 0, 0}}, {1, {0, 1, 0}}, {3, {0, 0, 1}}});
    shape->UpdateAppTime(1);
    ExpectVertices(shape.Get(), Mix({0, 1, 0}), "at a key");
    shape->UpdateAppTime(3);
    ExpectVertices(shape.Get(), Mix({0, 0, 1}), "at the last key");
    shape->UpdateAppTime(0);
    ExpectVertices(shape.Get(), Mix({0, 0, 0}), "at the first key");
    // Between keys the weights follow their Hermite curves: each stays within its two keys here.
    shape->UpdateAppTime(2);
    for (uint32_t v = 0; v < kVertices; ++v) {
        EXPECT_GE(shape->Vertices()[v].x, 0.0f);
        EXPECT_LE(shape->Vertices()[v].x, 25.0f);
    }
}

TEST(MorphShape, PairKeysCrossFadeTwoTargets) {
    SgRef<Sg3dsMorphShape> shape = MakeShape(6);
    SgFloatKeyPair from(0, 0, 0, 0, 2, 6), to(4, 0, 0, 0, 5, 6);
    const SgFloatKey* keys[] = {&from, &to};
    shape->SetMorphKeys(keys, 2);
    shape->UpdateAppTime(0);
    ExpectVertices(shape.Get(), TargetPositions(2), "target 2 at the first key");
    EXPECT_EQ(shape->relativePending, 1) << "absolute targets are never converted";
    shape->UpdateAppTime(4);
    ExpectVertices(shape.Get(), TargetPositions(5), "target 5 at the second key");
    shape->UpdateAppTime(2);
    std::vector<SgVec3> mean;
    for (uint32_t v = 0; v < kVertices; ++v)
        mean.push_back((TargetPositions(2)[v] + TargetPositions(5)[v]) * 0.5f);
    ExpectVertices(shape.Get(), mean, "halfway: the mean");
}

TEST(MorphShape, ASingleKeyLeavesTheShapeAsItIs) {
    SgRef<Sg3dsMorphShape> shape = MakeShape(0);
    SgFloatKeyArrays only(0, std::vector<float>{1, 0}.data(), 2);
    const SgFloatKey* keys[] = {&only};
    shape->SetMorphKeys(keys, 1);
    std::vector<std::vector<SgVec3>> t = {TargetPositions(0), TargetPositions(1)};
    const SgVec3* p[] = {t[0].data(), t[1].data()};
    ASSERT_TRUE(shape->SetMorphTargets(p, 2, kVertices));
    shape->UpdateAppTime(0);
    ExpectVertices(shape.Get(), {{0, 0, 5}, {1, 0, 5}, {0, 1, 5}}, "untouched");
    SgBoundSphere fit;
    fit.FitToPoints(kVertices, shape->Vertices());
    EXPECT_TRUE(shape->ModelBound().IsEqualTo(fit));
}

TEST(MorphShape, TheBoundHoldsEveryPose) {
    SgRef<Sg3dsMorphShape> shape = MakeShape(3);
    SetWeightKeys(shape.Get(), {{0, {0, 0, 0}}, {1, {0, 1, 0}}, {2, {0, 0, 1}}, {3, {0, 0.5f, 0.5f}}});
    for (float t = 0; t <= 3.0f; t += 0.125f) {
        shape->UpdateAppTime(t);
        const SgBoundSphere& b = shape->ModelBound();
        for (uint32_t v = 0; v < kVertices; ++v)
            EXPECT_LE((shape->Vertices()[v] - b.centre).Length(), b.radius * 1.0001f + 1e-5f)
                << "t " << t << " vertex " << v;
    }
    // The type 5 bound is refitted once the targets are differences: it reaches the far target.
    EXPECT_GE(shape->ModelBound().radius, 10.0f);
}

TEST(MorphShape, GuardsOnWeightsTargetsAndTimes) {
    // Keys with two weights over three targets: the third target is never read.
    SgRef<Sg3dsMorphShape> shape = MakeShape(3);
    SetWeightKeys(shape.Get(), {{0, {0, 1}}, {1, {0, 1}}});
    shape->UpdateAppTime(0.5f);
    ExpectVertices(shape.Get(), TargetPositions(1), "weights past the key's count are not read");

    // Keys at one time: the interval has s = 0.
    SgRef<Sg3dsMorphShape> same = MakeShape(3);
    SetWeightKeys(same.Get(), {{1, {0, 1, 0}}, {1, {0, 0, 1}}});
    same->UpdateAppTime(1);
    ExpectVertices(same.Get(), TargetPositions(1), "the first key's weights");

    // Targets of another vertex count are refused and the old ones kept.
    std::vector<SgVec3> four(4);
    const SgVec3* p[] = {four.data()};
    EXPECT_FALSE(shape->SetMorphTargets(p, 1, 4));
    EXPECT_EQ(shape->TargetCount(), 3u);

    // Keys that carry no weights are refused as a whole.
    SgRef<Sg3dsMorphShape> linear = MakeShape(3);
    SgFloatKeyLinear a(0, 0), b(1, 1);
    const SgFloatKey* keys[] = {&a, &b};
    linear->SetMorphKeys(keys, 2);
    EXPECT_EQ(linear->MorphKeys().Count(), 0u);
}

// Weights that are not numbers (damaged keys, or weights too large to interpolate) would put
// every vertex at one: the shape keeps the pose it had.
TEST(MorphShape, WeightsThatAreNotNumbersKeepThePose) {
    const float nan = std::nanf(""), inf = INFINITY, huge = 3e38f;
    struct WeightCase {
        const char* name;
        std::vector<float> first, second;
        float secondTime;
    };
    const WeightCase cases[] = {
        {"NaN weight", {0, nan, 0}, {0, 1, 0}, 2},
        {"infinite weight", {0, 0, 0}, {0, 0, inf}, 2},
        {"overflowing weights", {0, huge, -huge}, {0, -huge, huge}, 2},
        {"NaN key time", {0, 0, 0}, {0, 1, 0}, nan},
    };
    for (const WeightCase& c : cases) {
        SgRef<Sg3dsMorphShape> shape = MakeShape(3);
        SetWeightKeys(shape.Get(), {{0, c.first}, {c.secondTime, c.second}});
        std::vector<SgVec3> before(shape->Vertices(), shape->Vertices() + kVertices);
        shape->UpdateAppTime(0.5f);
        ExpectVertices(shape.Get(), before, c.name);
    }
    // A cross-fade whose tension is not a number.
    SgRef<Sg3dsMorphShape> pair = MakeShape(3);
    SgFloatKeyPair a(0, nan, 0, 0, 0, 3), b(1, 0, 0, 0, 2, 3);
    const SgFloatKey* keys[] = {&a, &b};
    pair->SetMorphKeys(keys, 2);
    std::vector<SgVec3> before(pair->Vertices(), pair->Vertices() + kVertices);
    pair->UpdateAppTime(0.5f);
    ExpectVertices(pair.Get(), before, "NaN tension");
}

TEST(MorphShape, CopiesIntoItsOwnClass) {
    SgRef<Sg3dsEnvMorphShape> shape = MakeShape<Sg3dsEnvMorphShape>(3);
    SetWeightKeys(shape.Get(), {{0, {0, 0, 0}}, {1, {0, 1, 0}}});
    shape->frequency = 2;
    shape->UpdateAppTime(0.25f);
    SgRef<SgAVObject> copy = shape->Duplicate();
    auto* c = SgExactCast<Sg3dsEnvMorphShape>(copy.Get());
    ASSERT_TRUE(c);
    EXPECT_TRUE(c->IsEqualTo(shape.Get()));
    EXPECT_EQ(c->frequency, 2.0f);
    c->UpdateAppTime(0.5f);
    shape->UpdateAppTime(0.5f);
    ExpectVertices(c, Mix({0, 1, 0}), "the copy morphs");
    EXPECT_FALSE(SgKindCast<Sg3dsMorphShape>(c)) << "its type record names the triangle shape as base";
    EXPECT_TRUE(SgKindCast<SgTriShape>(c));
}

class MorphDraw : public SceneTest {};

TEST_F(MorphDraw, TheEnvMorphDrawsEnvironmentMapped) {
    for (bool env : {false, true}) {
        SgRef<Sg3dsMorphShape> shape =
            env ? SgRef<Sg3dsMorphShape>(MakeShape<Sg3dsEnvMorphShape>(3).Get()) : MakeShape(3);
        SetWeightKeys(shape.Get(), {{0, {0, 0, 0}}, {1, {0, 1, 0}}});
        SgRef<SgNode> holder(new SgNode);
        holder->localTranslation = {30, 0, 0};
        holder->InsertChild(shape.Get(), false);
        shape->UpdateAppTime(1);
        render->copyArrays = true;
        RenderRoot(holder.Get());
        std::vector<RenderCall> draws = render->Named("DrawTriShape");
        ASSERT_EQ(draws.size(), 1u) << env;
        EXPECT_EQ(render->Count("SetModelTransform"), env ? 0u : 1u) << "the env draw sends no placement";
        const RenderArrays& a = draws[0].arrays;
        ASSERT_EQ(a.vertices.size(), kVertices);
        EXPECT_NEAR(a.vertices[1].x, 30 + 10 + 2, 1e-4f) << "the world vertices of the morphed pose";
        ASSERT_EQ(a.textureSets.size(), kVertices);
        bool remapped = !(a.textureSets[1] == SgVec3(1, 0, 0));
        EXPECT_EQ(remapped, env) << "texture set 0 from the camera";
    }
}

}  // namespace
