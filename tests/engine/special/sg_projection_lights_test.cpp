// Shadow and projected lights: their planes and texture projection for both kinds, the shapes the
// shadow light collects, and what their setters and copies do.

#include <gtest/gtest.h>

#include <cmath>

#include "engine/core/sg_stream.h"
#include "engine/geometry/sg_projection_lights.h"
#include "tests/engine/special/special_fixture.h"
#include "tests/engine/support/sg_stream_cases.h"

namespace {

void ExpectPlane(const SgPlaneEq& p, const SgVec3& normal, float constant) {
    ExpectNearVec(p.normal, normal, 1e-6f);
    EXPECT_NEAR(p.constant, constant, 1e-6f);
}

TEST(SgProjectionLightTest, DefaultPerspectivePlanes) {
    for (SgRef<SgProjectingLight> light : {SgRef<SgProjectingLight>(new SgShadowLight),
                                          SgRef<SgProjectingLight>(new SgProjectedLight)}) {
        ExpectPlane(light->planes[0], {0.4472136f, 0, 0.8944272f}, 0);
        ExpectPlane(light->planes[1], {0.4472136f, 0, -0.8944272f}, 0);
        ExpectPlane(light->planes[2], {0.4472136f, -0.8944272f, 0}, 0);
        ExpectPlane(light->planes[3], {0.4472136f, 0.8944272f, 0}, 0);
        ExpectPlane(light->planes[4], {1, 0, 0}, 1.01f);
        // Points past the window inside the volume are in front of every plane.
        SgVec3 inside{3, 0.5f, -0.5f};
        for (const SgPlaneEq& p : light->planes)
            EXPECT_GE(p.Distance(inside), 0.0f);
    }
}

TEST(SgProjectionLightTest, ParallelPlanesAndTheirDegenerateCase) {
    SgRef<SgShadowLight> light(new SgShadowLight);
    light->projectionKind = SgProjectingLight::kParallel;
    light->UpdateAllStates();
    ExpectPlane(light->planes[0], {0, 0, 1}, -0.5f);
    ExpectPlane(light->planes[1], {0, 0, -1}, -0.5f);
    ExpectPlane(light->planes[2], {0, -1, 0}, -0.5f);
    ExpectPlane(light->planes[3], {0, 1, 0}, -0.5f);
    ExpectPlane(light->planes[4], {1, 0, 0}, 1.0f);

    // The window centre on the projection centre: no direction, four side planes of nothing.
    light->projectionCentre = light->windowCentre;
    light->UpdateAllStates();
    for (int i = 0; i < 4; ++i)
        ExpectPlane(light->planes[i], {0, 0, 0}, 0);

    // Kinds past 1 leave the planes as they were.
    light->projectionKind = 2;
    light->planes[0] = SgPlaneEq({1, 2, 3}, 4);
    light->UpdateAllStates();
    ExpectPlane(light->planes[0], {1, 2, 3}, 4);
}

TEST(SgProjectionLightTest, PlanesFollowThePlacement) {
    SgRef<SgNode> parent(new SgNode);
    SgRef<SgShadowLight> light(new SgShadowLight);
    parent->InsertChild(light.Get(), false);
    parent->localTranslation = {5, 0, 0};
    parent->localScale = 3.0f;  // not applied to the frame
    parent->UpdateAllStates();
    ExpectNearVec(light->worldPosition, {5, 0, 0});
    ExpectNearVec(light->worldWindowCentre, {6, 0, 0});
    ExpectPlane(light->planes[4], {1, 0, 0}, 6.01f);
    EXPECT_EQ(light->type, SgShadowLight::kLightType);
}

TEST(SgProjectionLightTest, TextureProjectionOfBothKinds) {
    SgRef<SgProjectedLight> light(new SgProjectedLight);
    EXPECT_EQ(light->type, SgProjectedLight::kLightType);
    const float rows[3][4] = {{0, 0, 2, 0}, {0, 2, 0, 0}, {1, 0, 0, 0}};
    const int rowIndex[3] = {0, 1, 3};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_NEAR(light->projective[rowIndex[r] * 4 + c], rows[r][c], 1e-6f) << r << "," << c;
    for (int c = 0; c < 4; ++c)
        EXPECT_EQ(light->projective[8 + c], 0.0f) << "row 2 is never written";
    // A point at the window's right edge maps to s / q = 1.
    SgVec3 x{1, 0, 0.5f};
    const float* p = light->projective;
    float s = p[0] * x.x + p[1] * x.y + p[2] * x.z + p[3];
    float q = p[12] * x.x + p[13] * x.y + p[14] * x.z + p[15];
    EXPECT_NEAR(s / q, 1.0f, 1e-6f);

    light->projectionKind = SgProjectingLight::kParallel;
    light->UpdateAllStates();
    EXPECT_TRUE(light->textureRotation.IsEqualTo(SgMat3{{0, 0, 1, 0, 1, 0, 1, 0, 0}}));
    EXPECT_EQ(light->textureTranslation, SgZeroVec3);

    // A window of no width or height zeroes what would divide by it.
    light->windowWidth = 0.0f;
    light->UpdateAllStates();
    for (int c = 0; c < 3; ++c)
        EXPECT_EQ(light->textureRotation.m[c], 0.0f);
    EXPECT_EQ(light->textureRotation.m[4], 1.0f);
    light->projectionKind = SgProjectingLight::kPerspective;
    light->windowHeight = 0.0f;
    light->UpdateAllStates();
    for (float v : light->projective)
        EXPECT_TRUE(std::isfinite(v));
    for (int c = 0; c < 8; ++c)
        EXPECT_EQ(light->projective[c], 0.0f);
}

TEST(SgProjectionLightTest, SettersChangeNothingAndACopyIsAPlainLight) {
    SgRef<SgShadowLight> light(new SgShadowLight);
    SgVec3 position = light->position, direction = light->direction;
    light->SetPosition({1, 2, 3});
    light->SetDirection({0, 1, 0});
    light->SetType(1);
    EXPECT_EQ(light->position, position);
    EXPECT_EQ(light->direction, direction);
    EXPECT_EQ(light->type, SgShadowLight::kLightType);

    SgRef<SgAVObject> copy = light->Duplicate();
    EXPECT_TRUE(copy->IsExactly(&SgLight::typeRecord));
    EXPECT_EQ(SgKindCast<SgLight>(copy.Get())->type, SgShadowLight::kLightType);
}

TEST(SgShadowLightTest, CollectsTheTriangleShapesBelowItsRoots) {
    SgRef<SgShadowLight> light(new SgShadowLight);
    SgRef<SgNode> a(new SgNode), b(new SgNode), hidden(new SgNode);
    SgRef<SgTriShape> shared = MakeCentredTriangle(), lone = MakeCentredTriangle(2.0f);
    a->InsertChild(shared.Get(), false);
    b->InsertChild(shared.Get(), false);  // a second world state
    hidden->InsertChild(MakeCentredTriangle().Get(), false);
    hidden->SetHidden(1);
    a->InsertChild(hidden.Get(), false);

    light->AddAffectedRoot(a.Get());
    ASSERT_EQ(light->ShapeRecordCount(), 1u) << "one record, for the state under the node";
    EXPECT_EQ(light->ShapeRecord(0)->state, a->ChildStateAt(0));
    EXPECT_EQ(light->ShapeRecord(0)->shape.Get(), shared.Get());

    light->AddAffectedRoot(shared.Get());  // a shape as a root: every state it has
    EXPECT_EQ(light->ShapeRecordCount(), 3u);
    light->AddAffectedRoot(lone.Get());
    light->AddAffectedRoot(new SgAlphaProperty);  // neither node nor shape: kept, no record
    light->AddAffectedRoot(nullptr);
    EXPECT_EQ(light->Roots().Count(), 4u);
    ASSERT_EQ(light->ShapeRecordCount(), 4u);
    // The oriented box of the shape's model vertices.
    const SgShadowShapeRecord* r = light->ShapeRecord(3);
    EXPECT_EQ(r->shape.Get(), lone.Get());
    SgVec3 centre, axes[3];
    float extents[3];
    lone->FitOrientedBox(centre, axes, extents);
    EXPECT_EQ(r->boxCentre, centre);
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(r->halfExtents[k], extents[k]);
    EXPECT_TRUE(r->rotation.IsEqualTo(SgIdentityMat3));
}

TEST(SgShadowLightTest, ALoadedLightCollectsOnceEverythingIsLinked) {
    // A tree deep enough that the light's record may link before the nodes below its root.
    uint32_t live = SgObject::LiveCount();
    {
        SgRef<SgNode> root(new SgNode);
        SgNode* level = root.Get();
        for (int depth = 0; depth < 6; ++depth) {
            SgRef<SgNode> next(new SgNode);
            level->InsertChild(MakeCentredTriangle(float(depth + 1)).Get(), false);
            level->InsertChild(next.Get(), false);
            level = next.Get();
        }
        SgRef<SgShadowLight> light(new SgShadowLight);
        light->AddAffectedRoot(root.Get());
        ASSERT_EQ(light->ShapeRecordCount(), 6u);
        for (int order = 0; order < 2; ++order) {
            SgSceneStream out;
            // Both orders of the top-level list, so the light's id comes before and after.
            if (order == 0) {
                out.InsertObject(light.Get());
                out.InsertObject(root.Get());
            } else {
                out.InsertObject(root.Get());
                out.InsertObject(light.Get());
            }
            std::vector<uint8_t> bytes;
            ASSERT_TRUE(out.Save(bytes));
            SgSceneStream in;
            ASSERT_TRUE(in.Load(bytes.data(), bytes.size()));
            SgShadowLight* loaded = nullptr;
            for (uint32_t i = 0; i < in.TopLevelCount(); ++i)
                if (auto* l = SgExactCast<SgShadowLight>(in.TopLevelObject(i)))
                    loaded = l;
            ASSERT_NE(loaded, nullptr);
            EXPECT_EQ(loaded->ShapeRecordCount(), 6u) << "order " << order;
            EXPECT_TRUE(loaded->IsEqualTo(light.Get()));
        }
    }
    EXPECT_EQ(SgObject::LiveCount(), live);
}

TEST(SgShadowLightTest, ALoadedLightCollectsARepeatedOrNestedRootOnce) {
    // Every repeat of a root id, and every root inside another, would otherwise record its
    // shapes again: a few bytes of ids per copy of a whole subtree's records.
    uint32_t live = SgObject::LiveCount();
    {
        SgRef<SgNode> a(new SgNode), b(new SgNode);
        SgRef<SgTriShape> s = MakeCentredTriangle(), t = MakeCentredTriangle(2.0f);
        a->InsertChild(s.Get(), false);
        a->InsertChild(b.Get(), false);
        b->InsertChild(t.Get(), false);
        SgRef<SgShadowLight> light(new SgShadowLight);
        for (SgObject* root : {static_cast<SgObject*>(a.Get()), static_cast<SgObject*>(a.Get()),
                               static_cast<SgObject*>(b.Get()), static_cast<SgObject*>(s.Get()),
                               static_cast<SgObject*>(s.Get())})
            light->AddAffectedRoot(root);
        SgSceneStream out;
        out.InsertObject(light.Get());
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(out.Save(bytes));
        light->ClearAffectedRoots();
        SgSceneStream in;
        ASSERT_TRUE(in.Load(bytes.data(), bytes.size()));
        auto* loaded = SgExactCast<SgShadowLight>(in.TopLevelObject(0));
        ASSERT_NE(loaded, nullptr);
        EXPECT_EQ(loaded->Roots().Count(), 5u) << "the roots stay as saved";
        // s under a, t under b, and s as a root of its own (its one state).
        ASSERT_EQ(loaded->ShapeRecordCount(), 3u);
        EXPECT_EQ(loaded->ShapeRecord(0)->state, loaded->ShapeRecord(2)->state);
        loaded->ClearAffectedRoots();
    }
    EXPECT_EQ(SgObject::LiveCount(), live);
}

TEST(SgShadowLightTest, ALoadedLoopThroughTheLightStaysUntilItsOwnerBreaksIt) {
    uint32_t live = SgObject::LiveCount();
    {
        // A light inside the subtree it shadows, and a projected light aimed at a node holding it.
        SgRef<SgNode> root(new SgNode), holder(new SgNode);
        SgRef<SgShadowLight> shadow(new SgShadowLight);
        SgRef<SgProjectedLight> projected(new SgProjectedLight);
        root->InsertChild(MakeCentredTriangle().Get(), false);
        root->InsertChild(shadow.Get(), false);
        shadow->AddAffectedRoot(root.Get());
        holder->InsertChild(projected.Get(), false);
        projected->reference = holder.Get();
        SgSceneStream out;
        out.InsertObject(root.Get());
        out.InsertObject(holder.Get());
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(out.Save(bytes));
        shadow->ClearAffectedRoots();
        EXPECT_EQ(shadow->ShapeRecordCount(), 0u);
        projected->reference = nullptr;

        SgSceneStream in;
        ASSERT_TRUE(in.Load(bytes.data(), bytes.size()));
        SgShadowLight* loadedShadow = nullptr;
        SgProjectedLight* loadedProjected = nullptr;
        for (uint32_t i = 0; i < in.TopLevelCount(); ++i) {
            auto* node = SgExactCast<SgNode>(in.TopLevelObject(i));
            for (uint32_t c = 0; node && c < node->ChildCount(); ++c) {
                if (auto* l = SgExactCast<SgShadowLight>(node->ChildAt(c)))
                    loadedShadow = l;
                if (auto* l = SgExactCast<SgProjectedLight>(node->ChildAt(c)))
                    loadedProjected = l;
            }
        }
        ASSERT_TRUE(loadedShadow && loadedProjected);
        EXPECT_EQ(loadedShadow->Roots().Count(), 1u);
        EXPECT_EQ(loadedShadow->ShapeRecordCount(), 1u);
        EXPECT_NE(loadedProjected->reference.Get(), nullptr);
        loadedShadow->ClearAffectedRoots();
        loadedProjected->reference = nullptr;
    }
    EXPECT_EQ(SgObject::LiveCount(), live) << "once broken, nothing of the load stays alive";
}

TEST(SgShadowLightTest, ComparingALightWhoseRootHoldsItEnds) {
    SgRef<SgNode> root(new SgNode);
    SgRef<SgShadowLight> light(new SgShadowLight), other(new SgShadowLight);
    root->AddLight(light.Get());  // the root compares its lights, the light its roots
    light->AddAffectedRoot(root.Get());
    EXPECT_TRUE(light->IsEqualTo(light.Get()));
    EXPECT_FALSE(light->IsEqualTo(other.Get()));
    root->DetachLight(light.Get());
}

}  // namespace
