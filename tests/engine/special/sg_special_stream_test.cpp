// Save, load and compare every streamable class of the special nodes and projection lights, with
// their fuzz seeds.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>

#include "engine/core/sg_property.h"
#include "engine/core/sg_stream.h"
#include "engine/geometry/sg_projection_lights.h"
#include "engine/geometry/sg_special_nodes.h"
#include "engine/geometry/sg_switch_nodes.h"
#include "tests/engine/special/special_fixture.h"
#include "tests/engine/support/sg_stream_cases.h"

namespace {

// n small shapes under the node, each placed apart.
void AddShapes(SgNode* node, int n) {
    for (int i = 0; i < n; ++i) {
        SgRef<SgTriShape> s = MakeCentredTriangle(0.5f + 0.25f * float(i));
        s->localTranslation = {float(i), 1, 0};
        node->InsertChild(s.Get(), false);
    }
}

const SgStreamCase kCases[] = {
    {"SgSwitchNode",
     [] {
         SgRef<SgSwitchNode> n(new SgSwitchNode);
         AddShapes(n.Get(), 2);
         n->activeChild = 1;
         n->updateOnlyActive = 1;
         return SgRef<SgObject>(n.Get());
     }},
    {"SgFltAnimationNode",
     [] {
         SgRef<SgFltAnimationNode> n(new SgFltAnimationNode);
         AddShapes(n.Get(), 3);
         n->activeChild = 0;
         n->period = 2.5;
         n->pingPong = 1;
         return SgRef<SgObject>(n.Get());
     }},
    {"SgLODNode",
     [] {
         SgRef<SgLODNode> n(new SgLODNode);
         AddShapes(n.Get(), 2);
         n->SetChildRange(0, 10, 0);
         n->SetChildRange(10, 50, 1);
         n->SetChildRange(-1, 4, 3);  // slot 2 stays empty and is stored as a zero range
         n->perRangeCentre = 1;
         n->activeChild = 1;
         return SgRef<SgObject>(n.Get());
     }},
    {"SgBillboardNode",
     [] {
         SgRef<SgBillboardNode> n(new SgBillboardNode);
         AddShapes(n.Get(), 1);
         n->mode = SgBillboardNode::kCameraFrame;
         return SgRef<SgObject>(n.Get());
     }},
    {"SgBSPNode",
     [] {
         SgRef<SgBSPNode> n(new SgBSPNode);
         AddShapes(n.Get(), 2);
         n->modelPlane = SgPlaneEq({0, 0.6f, 0.8f}, -2.5f);
         return SgRef<SgObject>(n.Get());
     }},
    {"SgCollisionSwitch",
     [] {
         SgRef<SgCollisionSwitch> n(new SgCollisionSwitch);
         AddShapes(n.Get(), 1);
         n->collisionOn = 0;
         return SgRef<SgObject>(n.Get());
     }},
    {"SgShadowLight",
     [] {
         SgRef<SgShadowLight> l(new SgShadowLight);
         l->projectionKind = SgProjectingLight::kParallel;
         l->modeWord1 = 7;
         l->windowCentre = {2, 0.5f, 0};
         l->backVector = {-1, 0, 0.25f};
         l->upVector = {0, 1, 0.5f};
         l->rightVector = {0.5f, 0, 1};
         l->projectionCentre = {0, 0.25f, 0};
         l->windowWidth = 3;
         l->windowHeight = 2;
         l->shadowScalar = 2.5f;
         l->localTranslation = {1, 2, 3};
         l->UpdateAllStates();
         SgRef<SgNode> root(new SgNode);
         AddShapes(root.Get(), 2);
         l->AddAffectedRoot(root.Get());
         l->AddAffectedRoot(MakeCentredTriangle(3).Get());
         l->reference = new SgAlphaProperty;
         return SgRef<SgObject>(l.Get());
     }},
    {"SgProjectedLight",
     [] {
         SgRef<SgProjectedLight> l(new SgProjectedLight);
         l->modeWord1 = 2;
         l->modeWord2 = 9;
         l->windowCentre = {3, 0, 0};
         l->backVector = {-1, 0.5f, 0};
         l->upVector = {0, 1, 0.25f};
         l->projectionCentre = {0.5f, 0, 0};
         l->windowWidth = 4;
         l->windowHeight = 0.5f;
         l->extraWord1 = 11;
         l->extraVector = {1, 2, 3};
         l->extraWord2 = 13;
         l->projectionKind = SgProjectingLight::kParallel;
         l->localRotation = SgMat3{{0, -1, 0, 1, 0, 0, 0, 0, 1}};
         l->UpdateAllStates();
         SgRef<SgNode> target(new SgNode);
         AddShapes(target.Get(), 1);
         l->reference = target.Get();
         return SgRef<SgObject>(l.Get());
     }},
};

TEST_P(SgStreamCaseTest, RoundTrip) { CheckStreamRoundTrip(GetParam()); }
TEST_P(SgStreamCaseTest, MatchesSeed) { CheckStreamSeed(GetParam()); }
INSTANTIATE_TEST_SUITE_P(Special, SgStreamCaseTest, testing::ValuesIn(kCases), SgStreamCaseName);

TEST(SgSpecialStreamTest, FieldsSurviveTheRoundTrip) {
    SgRef<SgObject> lodObject = kCases[2].make();
    SgRef<SgObject> back = LoadSingleTopLevel(SaveAsTopLevel(lodObject.Get()));
    auto* lod = SgExactCast<SgLODNode>(back.Get());
    ASSERT_NE(lod, nullptr);
    EXPECT_EQ(lod->RangeCount(), 4u);
    ASSERT_NE(lod->Range(2), nullptr);
    EXPECT_EQ(lod->Range(2)->farModel, 0.0f);
    EXPECT_EQ(lod->Range(3)->nearModel, -1.0f);
    EXPECT_EQ(lod->ChildCount(), 2u);

    SgRef<SgObject> shadowObject = kCases[6].make();
    back = LoadSingleTopLevel(SaveAsTopLevel(shadowObject.Get()));
    auto* shadow = SgExactCast<SgShadowLight>(back.Get());
    ASSERT_NE(shadow, nullptr);
    EXPECT_EQ(shadow->Roots().Count(), 2u);
    EXPECT_EQ(shadow->ShapeRecordCount(), 3u) << "collected again from the loaded roots";
    EXPECT_NE(SgKindCast<SgAlphaProperty>(shadow->reference.Get()), nullptr);
    // The planes are the stored ones, though the loaded frame has not been recomposed.
    auto* original = SgExactCast<SgShadowLight>(shadowObject.Get());
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(shadow->planes[i].IsEqualTo(original->planes[i]));
}

TEST(SgSpecialStreamTest, DamagedRangeCountsFailCleanly) {
    SgRef<SgObject> lod = kCases[2].make();
    std::vector<uint8_t> bytes = SaveAsTopLevel(lod.Get());
    // The range count, then the first range [0, 10).
    const uint8_t pattern[] = {4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x20, 0x41};
    auto at = std::search(bytes.begin(), bytes.end(), std::begin(pattern), std::end(pattern));
    ASSERT_NE(at, bytes.end());
    size_t countAt = static_cast<size_t>(at - bytes.begin());
    bytes[countAt + 3] = 0x7F;  // a huge count
    SgSceneStream stream;
    uint32_t live = SgObject::LiveCount();
    EXPECT_FALSE(stream.Load(bytes.data(), bytes.size()));
    EXPECT_EQ(SgObject::LiveCount(), live);
    bytes[countAt + 3] = 0x80;  // negative: no ranges, the rest is then misread or short
    SgSceneStream again;
    again.Load(bytes.data(), bytes.size());
}

}  // namespace
