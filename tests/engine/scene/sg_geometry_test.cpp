// Geometry: world arrays, bounds, render counters and the box fit; triangle shapes (clean-up,
// welding, merging, picking, environment mapping); lists and strips; particles and lines; and the
// counts a file may not get wrong.

#include <gtest/gtest.h>

#include <pthread.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "engine/core/sg_stream.h"
#include "engine/geometry/sg_lines.h"
#include "engine/geometry/sg_particles.h"
#include "engine/geometry/sg_tri_lists.h"
#include "tests/engine/scene/scene_fixture.h"
#include "tests/engine/support/sg_stream_cases.h"

namespace {

void ExpectNear(const SgVec3& a, const SgVec3& b, float tolerance = 1e-5f) {
    EXPECT_NEAR(a.x, b.x, tolerance);
    EXPECT_NEAR(a.y, b.y, tolerance);
    EXPECT_NEAR(a.z, b.z, tolerance);
}

// The bytes of a saved object, with the u16 that ends `back` bytes before the end marker set.
std::vector<uint8_t> PatchU16(SgObject* object, size_t back, uint16_t value) {
    std::vector<uint8_t> bytes = SaveAsTopLevel(object);
    size_t at = bytes.size() - 15 - back;  // "End Of File": a u32 count and 11 bytes
    bytes[at] = static_cast<uint8_t>(value);
    bytes[at + 1] = static_cast<uint8_t>(value >> 8);
    return bytes;
}

bool Loads(const std::vector<uint8_t>& bytes) {
    SgSceneStream stream;
    return stream.Load(bytes.data(), bytes.size());
}

// A 2 x 1 quad of two triangles sharing the diagonal 1-2 at the seam 1/4 and 2/5, each triangle
// with its own texture coordinates.
SgRef<SgTriShape> SeamQuad(float seamOffset) {
    const SgVec3 v[6] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    const SgVec3 uv[6] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1 + seamOffset, 0, 0}, {1, 1, 0}, {seamOffset, 1, 0}};
    const uint16_t indices[6] = {0, 1, 2, 3, 4, 5};
    return SgRef<SgTriShape>(new SgTriShape(6, v, nullptr, 2, indices, uv, nullptr));
}

class GeometryTest : public SceneTest {
protected:
    void TearDown() override { SgTriShape::weldTolerances[0] = SgTriShape::weldTolerances[1] = 0.0f; }
};

// ---- World arrays and bounds ----

TEST_F(GeometryTest, WorldArraysFollowThePlacementLazily) {
    SgRef<SgTriShape> shape = MakeTriangle();
    SgRef<SgNode> parent(new SgNode);
    parent->InsertChild(shape.Get(), false);
    parent->UpdateAllStates();
    EXPECT_EQ(shape->WorldNormals(), nullptr);
    ExpectNear(shape->WorldVertices()[1], {1, 0, 0});

    parent->localTranslation = {0, 0, 4};
    parent->localScale = 2.0f;
    parent->UpdateAllStates();
    EXPECT_EQ(shape->CurrentState()->refreshVertices, 1);
    shape->PushDrawState(camera.Get(), shape->CurrentState());
    EXPECT_EQ(shape->CurrentState()->refreshVertices, 0);
    ExpectNear(SgGeometry::GeometryState(shape->CurrentState())->worldVertices[1], {2, 0, 4});

    shape->ComputeNormals();
    EXPECT_NE(shape->WorldNormals(), nullptr);
    ExpectNear(shape->WorldNormals()[0], {0, 0, 1}, 0.01f);
}

TEST_F(GeometryTest, ALoadedGeometryRefitsItsBoundAndACopyKeepsItsOwn) {
    SgRef<SgTriShape> shape = MakeTriangle();
    shape->ModelBound().radius = 50.0f;
    SgRef<SgObject> loaded = LoadSingleTopLevel(SaveAsTopLevel(shape.Get()));
    auto* geometry = SgKindCast<SgGeometry>(loaded.Get());
    ASSERT_TRUE(geometry);
    EXPECT_EQ(geometry->ModelBound().radius, 50.0f);
    geometry->UpdateAllStates();
    EXPECT_NEAR(geometry->ModelBound().radius, 0.7071f, 1e-4f);

    SgRef<SgAVObject> copy = shape->Duplicate();
    copy->UpdateAllStates();
    EXPECT_EQ(copy->WorldBound().radius, 50.0f);
}

TEST_F(GeometryTest, DrawsCountObjectsTrianglesAndVertices) {
    SgGeometry::ResetRenderCounts();
    uint32_t objects = 9, triangles = 9, vertices = 9;
    SgGeometry::GetRenderCounts(objects, triangles, vertices);
    EXPECT_EQ(objects + triangles + vertices, 0u);

    const SgVec3 v[4] = {{10, 0, 0}, {10, 1, 0}, {11, 0, 0}, {11, 1, 0}};
    SgRef<SgNode> root(new SgNode);
    root->InsertChild(MakeTriangle(10).Get(), false);
    root->InsertChild(SgRef<SgTriStrip>(new SgTriStrip(4, v, nullptr, nullptr, nullptr)).Get(), false);
    root->InsertChild(SgRef<SgParticles>(new SgParticles(4, v, nullptr, nullptr)).Get(), false);
    root->InsertChild(SgRef<SgLines>(new SgLines(4, v, nullptr, nullptr, nullptr)).Get(), false);
    RenderRoot(root.Get());
    SgGeometry::GetRenderCounts(objects, triangles, vertices);
    EXPECT_EQ(objects, 3u);
    EXPECT_EQ(triangles, 1u + 2u + 4u);
    EXPECT_EQ(vertices, 3u + 4u + 4u);
    EXPECT_EQ(render->Count("DrawLines"), 1u);
}

TEST_F(GeometryTest, TheBoxOfPointsOnALineLiesAlongIt) {
    const SgVec3 v[3] = {{0, 0, 0}, {2, 0, 0}, {4, 0, 0}};
    SgRef<SgLines> line(new SgLines(3, v, nullptr, nullptr, nullptr));
    SgVec3 centre, axes[3];
    float extents[3];
    line->FitOrientedBox(centre, axes, extents);
    ExpectNear(centre, {2, 0, 0});
    int along = -1;
    for (int k = 0; k < 3; ++k) {
        if (std::fabs(std::fabs(axes[k].x) - 1.0f) < 1e-5f)
            along = k;
        else
            EXPECT_NEAR(extents[k], 0.0f, 1e-5f);
    }
    ASSERT_GE(along, 0);
    EXPECT_NEAR(extents[along], 2.0f, 1e-5f);
}

// ---- Triangle shapes: clean-up and welding ----

TEST_F(GeometryTest, TheCleanUpDropsDegenerateTrianglesAndKeepsPlanesWithTheirs) {
    const SgVec3 v[4] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    const uint16_t repeated[6] = {0, 0, 1, 2, 2, 2};
    SgRef<SgTriShape> empty(new SgTriShape(4, v, nullptr, 2, repeated, nullptr, nullptr));
    EXPECT_TRUE(empty->Flatten(1));
    EXPECT_EQ(empty->TriangleCount(), 0u);

    const uint16_t mixed[9] = {0, 1, 1, 0, 2, 3, 0, 1, 2};
    SgRef<SgTriShape> shape(new SgTriShape(4, v, nullptr, 3, mixed, nullptr, nullptr));
    SgPlaneEq second = shape->Planes()[1], third = shape->Planes()[2];
    EXPECT_EQ(shape->DropDegenerateTriangles(), 1u);
    ASSERT_EQ(shape->TriangleCount(), 2u);
    EXPECT_EQ(shape->IndexCount(), 6u);
    EXPECT_TRUE(shape->Planes()[0].IsEqualTo(second));
    EXPECT_TRUE(shape->Planes()[1].IsEqualTo(third));
}

TEST_F(GeometryTest, TextureSeamsWeldWithinTheToleranceOnly) {
    SgRef<SgTriShape> exact = SeamQuad(0.05f);
    exact->WeldVertices();
    EXPECT_EQ(exact->VertexCount(), 6u);

    SgTriShape::weldTolerances[0] = SgTriShape::weldTolerances[1] = 0.1f;
    SgRef<SgTriShape> tolerant = SeamQuad(0.05f);
    tolerant->WeldVertices();
    EXPECT_EQ(tolerant->VertexCount(), 4u);
    EXPECT_EQ(tolerant->Indices()[3], tolerant->Indices()[1]);
    EXPECT_EQ(tolerant->Indices()[5], tolerant->Indices()[2]);
    // Exactly the tolerance apart still welds; a hair further does not.
    SgTriShape::weldTolerances[0] = SgTriShape::weldTolerances[1] = 0.5f;
    SgRef<SgTriShape> boundary = SeamQuad(0.5f);
    boundary->WeldVertices();
    EXPECT_EQ(boundary->VertexCount(), 4u);
    SgRef<SgTriShape> past = SeamQuad(0.5001f);
    past->WeldVertices();
    EXPECT_EQ(past->VertexCount(), 6u);

    // Equal coordinates always weld.
    SgTriShape::weldTolerances[0] = SgTriShape::weldTolerances[1] = 0.0f;
    SgRef<SgTriShape> same = SeamQuad(0.0f);
    same->WeldVertices();
    EXPECT_EQ(same->VertexCount(), 4u);
}

TEST_F(GeometryTest, WeldingNumbersVerticesByFirstUseAndDropsUnusedOnes) {
    const SgVec3 v[5] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}, {9, 9, 9}};
    const uint16_t indices[6] = {3, 1, 2, 1, 0, 3};
    SgRef<SgTriShape> shape(new SgTriShape(5, v, nullptr, 2, indices, nullptr, nullptr));
    std::unique_ptr<uint16_t[]> newToOld;
    shape->WeldVertices(&newToOld);
    ASSERT_EQ(shape->VertexCount(), 4u);
    const uint16_t expected[6] = {0, 1, 2, 1, 3, 0};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(shape->Indices()[i], expected[i]) << i;
    EXPECT_EQ(newToOld[0], 3u);
    EXPECT_EQ(newToOld[3], 0u);
    ExpectNear(shape->Vertices()[0], {1, 1, 0});
}

// Runs fn on a thread with a small stack, so that a recursion as deep as its input overflows it.
template <class Fn>
void RunOnSmallStack(Fn fn) {
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, 128 * 1024);
    pthread_t thread;
    auto body = [](void* f) -> void* {
        (*static_cast<Fn*>(f))();
        return nullptr;
    };
    ASSERT_EQ(pthread_create(&thread, &attr, body, &fn), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attr);
}

TEST_F(GeometryTest, SortingVerticesStaysShallowOnItsWorstOrder) {
    // Vertex 0 compares largest and the rest ascend: every partition then peels a single vertex
    // off the right of the range, and a sort that recursed into the left part would nest once per
    // vertex. The positions compare as bytes, so each key is written into x's first two bytes.
    const uint32_t n = 4096;
    std::vector<SgVec3> v(n);
    auto put = [&v](uint32_t i, uint32_t key) {
        uint8_t bytes[4] = {static_cast<uint8_t>(key >> 8), static_cast<uint8_t>(key), 0, 0};
        std::memcpy(&v[i].x, bytes, 4);
    };
    put(0, n);
    for (uint32_t i = 1; i < n; ++i)
        put(i, i);
    const uint16_t indices[3] = {0, 1, 2};
    SgRef<SgTriShape> shape(new SgTriShape(n, v.data(), nullptr, 1, indices, nullptr, nullptr));
    std::unique_ptr<uint16_t[]> order, inverse;
    RunOnSmallStack([&] { shape->SortVertices(SgTriShape::kComparePosition, order, inverse); });
    ASSERT_TRUE(order);
    for (uint32_t k = 0; k + 1 < n; ++k)
        ASSERT_LT(shape->CompareVertices(order[k], order[k + 1], SgTriShape::kComparePosition), 0) << k;
    EXPECT_EQ(order[n - 1], 0u);
    EXPECT_EQ(inverse[0], n - 1);
}

TEST_F(GeometryTest, VertexComparisonFollowsTheMask) {
    SgRef<SgTriShape> shape = SeamQuad(0.5f);
    EXPECT_EQ(shape->CompareVertices(0, 4, 0), 0);
    EXPECT_EQ(shape->CompareVertices(1, 3, SgTriShape::kComparePosition), 0);
    EXPECT_NE(shape->CompareVertices(1, 3, SgTriShape::kComparePosition | SgTriShape::kCompareTextureSets), 0);
    EXPECT_EQ(shape->CompareVertices(0, 1, SgTriShape::kComparePosition), -1);
    EXPECT_EQ(shape->CompareVertices(1, 0, SgTriShape::kComparePosition), 1);
}

TEST_F(GeometryTest, RemappingToMoreVerticesRemakesTheWorldArrays) {
    SgRef<SgTriShape> shape = MakeTriangle();
    shape->UpdateAllStates();
    ASSERT_TRUE(shape->WorldVertices());
    const uint32_t map[3] = {3, 1, 2};  // vertex 0 moves to a new fourth slot
    shape->RemapVertices(4, map);
    EXPECT_EQ(shape->VertexCount(), 4u);
    shape->UpdateAllStates();
    ExpectNear(shape->WorldVertices()[3], {0, 0, 0});
    ExpectNear(shape->WorldVertices()[1], {1, 0, 0});
}

// ---- Merging ----

TEST_F(GeometryTest, MergingConcatenatesWeldsAndKeepsTheProperties) {
    SgRef<SgTriShape> a = MakeTriangle(0), b = MakeTriangle(1);
    SgRef<SgShadeProperty> shade(new SgShadeProperty);
    SgRef<SgFogProperty> fog(new SgFogProperty);
    a->AddRenderProperty(fog.Get());
    a->AddRenderProperty(shade.Get());
    SgPtrArray<SgAVObject*> group(2, 1);
    group.Append(a.Get());
    group.Append(b.Get());
    SgRef<SgAVObject> out;
    a->MergeAlike(group, out);
    auto* merged = SgKindCast<SgTriShape>(out.Get());
    ASSERT_TRUE(merged);
    EXPECT_EQ(merged->TriangleCount(), 2u);
    EXPECT_EQ(merged->VertexCount(), 5u);
    EXPECT_EQ(merged->properties.First(), shade.Get());
    EXPECT_EQ(merged->properties.Count(), 2u);
}

// Alike: the same number of properties, each matched by value in the other's list; a match whose
// type the mask names makes them unlike.
TEST_F(GeometryTest, AlikenessMatchesPropertiesByValueUnderTheTypeMask) {
    SgRef<SgTriShape> a = MakeTriangle(0), b = MakeTriangle(5);
    SgRef<SgAlphaProperty> alphaA(new SgAlphaProperty), alphaB(new SgAlphaProperty);
    alphaA->blendOn = alphaB->blendOn = 1;
    SgRef<SgFogProperty> fogA(new SgFogProperty), fogB(new SgFogProperty);
    a->AddRenderProperty(alphaA.Get());
    a->AddRenderProperty(fogA.Get());
    b->AddRenderProperty(fogB.Get());
    b->AddRenderProperty(alphaB.Get());  // the other order
    struct Case {
        uint32_t mask;
        bool alike;
    };
    for (Case c : {Case{0, true}, Case{1u << SG_ALPHA_PROPERTY, false}, Case{1u << SG_FOG_PROPERTY, false},
                   Case{1u << SG_SHADE_PROPERTY, true}, Case{~((1u << SG_ALPHA_PROPERTY) | (1u << SG_FOG_PROPERTY)), true}})
        EXPECT_EQ(a->HasSameProperties(b.Get(), c.mask), c.alike) << std::hex << c.mask;
    alphaB->blendOn = 0;
    EXPECT_FALSE(a->HasSameProperties(b.Get(), 0)) << "a property without an equal";
    alphaB->blendOn = 1;
    b->AddRenderProperty(SgRef<SgShadeProperty>(new SgShadeProperty).Get());
    EXPECT_FALSE(a->HasSameProperties(b.Get(), 0)) << "another count";
}

TEST_F(GeometryTest, AMergePast65535VerticesIsRefused) {
    // 13333 separate triangles: 39999 vertices that neither clean-up nor welding can reduce.
    const uint16_t triangles = 13333;
    std::vector<SgVec3> v(3u * triangles);
    std::vector<uint16_t> indices(3u * triangles);
    for (uint32_t t = 0; t < triangles; ++t) {
        v[3 * t] = SgVec3(float(t), 0, 0);
        v[3 * t + 1] = SgVec3(float(t + 1), 0, 0.5f);
        v[3 * t + 2] = SgVec3(float(t), 1, 0);
        for (uint32_t k = 0; k < 3; ++k)
            indices[3 * t + k] = static_cast<uint16_t>(3 * t + k);
    }
    auto make = [&] {
        return SgRef<SgTriShape>(new SgTriShape(static_cast<uint16_t>(v.size()), v.data(), nullptr, triangles,
                                                indices.data(), nullptr, nullptr));
    };
    SgRef<SgTriShape> a = make(), b = make();
    SgPtrArray<SgAVObject*> group(2, 1);
    group.Append(a.Get());
    group.Append(b.Get());
    SgRef<SgAVObject> out;
    a->MergeAlike(group, out);
    EXPECT_FALSE(out);
    // The node keeps both when the merge is refused.
    SgRef<SgNode> node(new SgNode);
    node->InsertChild(a.Get(), false);
    node->InsertChild(b.Get(), false);
    node->Flatten(1);
    EXPECT_EQ(node->ChildCount(), 2u);
}

// ---- Strips and lists ----

TEST_F(GeometryTest, StripsOfTwoThreeAndFourVertices) {
    const SgVec3 v[4] = {{10, 0, 0}, {10, 1, 0}, {10, 0, 1}, {10, 1, 1}};
    const uint16_t counts[3] = {2, 3, 4};
    const char* expected[3] = {"0", "1", "2"};
    for (int k = 0; k < 3; ++k) {
        SgRef<SgTriStrip> strip(new SgTriStrip(counts[k], v, nullptr, nullptr, nullptr));
        EXPECT_EQ(strip->TriangleCount(), counts[k] - 2 > 0 ? counts[k] - 2 : 0);
        EXPECT_EQ(strip->ActiveCount(), counts[k]);
        SgRef<SgNode> root(new SgNode);
        root->InsertChild(strip.Get(), false);
        RenderRoot(root.Get());
        std::vector<RenderCall> draws = render->Named("DrawTriStrip");
        ASSERT_EQ(draws.size(), 1u);
        EXPECT_EQ(draws[0].args[0], expected[k]);
    }
}

TEST_F(GeometryTest, OddStripTrianglesExchangeTheirLastCornersSoAllWindTheSameWay) {
    const SgVec3 v[4] = {{0, 0, 0}, {0, 1, 0}, {1, 0, 0}, {1, 1, 0}};
    SgRef<SgTriStrip> strip(new SgTriStrip(4, v, nullptr, nullptr, nullptr));
    uint16_t c[3];
    SgPlaneEq* plane;
    ASSERT_TRUE(strip->GetTriangle(1, c, plane));
    EXPECT_EQ(c[0], 1);
    EXPECT_EQ(c[1], 3);
    EXPECT_EQ(c[2], 2);
    const SgVec3* corners[3];
    ASSERT_TRUE(strip->GetModelTriangle(1, corners));
    EXPECT_EQ(corners[2], &strip->Vertices()[3]);
    EXPECT_GT(strip->Planes()[0].normal.z * strip->Planes()[1].normal.z, 0.0f);
    EXPECT_FALSE(strip->GetTriangle(2, c, plane));
    EXPECT_EQ(strip->GetActiveTriangleCount(), 2u);
}

TEST_F(GeometryTest, LoweringAListsActiveCountNarrowsTransformAndBound) {
    std::vector<SgVec3> v(30);
    for (size_t i = 0; i < v.size(); ++i)
        v[i] = SgVec3(float(i), 0, float(i % 3));
    SgRef<SgTriangles> list(new SgTriangles(30, v.data(), nullptr, nullptr, nullptr));
    EXPECT_EQ(list->ActiveCount(), 10u);
    list->SetActiveCount(4);
    EXPECT_EQ(list->UsedVertexCount(), 12u);
    list->UpdateAllStates();
    EXPECT_NEAR(list->ModelBound().centre.x, 5.5f, 1e-5f);
    SgVec3* world = list->WorldVertices();
    ExpectNear(world[11], {11, 0, 2});
    ExpectNear(world[12], {0, 0, 0});  // never transformed
}

// ---- Picking ----

TEST(RayTriangle, EdgeCases) {
    const SgVec3 p0{0, 0, 0}, p1{1, 0, 0}, p2{0, 1, 0};
    SgPlaneEq plane({0, 0, 1}, 0.0f);
    float t, w1, w2;
    EXPECT_TRUE(SgTriBasedGeom::RayMeetsTriangle({1, 0, 5}, {0, 0, -1}, plane, p0, p1, p2, true, t, w1, w2));
    EXPECT_FLOAT_EQ(t, 5.0f);
    EXPECT_FLOAT_EQ(w1, 1.0f);
    EXPECT_FLOAT_EQ(w2, 0.0f);
    // Parallel to the plane.
    EXPECT_FALSE(SgTriBasedGeom::RayMeetsTriangle({0.2f, 0.2f, 5}, {1, 0, 0}, plane, p0, p1, p2, false, t, w1, w2));
    // From behind: culled only when asked.
    EXPECT_FALSE(SgTriBasedGeom::RayMeetsTriangle({0.2f, 0.2f, -5}, {0, 0, 1}, plane, p0, p1, p2, true, t, w1, w2));
    EXPECT_TRUE(SgTriBasedGeom::RayMeetsTriangle({0.2f, 0.2f, -5}, {0, 0, 1}, plane, p0, p1, p2, false, t, w1, w2));
    // Starting beyond the triangle.
    EXPECT_FALSE(SgTriBasedGeom::RayMeetsTriangle({0.2f, 0.2f, -5}, {0, 0, -1}, plane, p0, p1, p2, false, t, w1, w2));
    // Two equal corners.
    EXPECT_FALSE(SgTriBasedGeom::RayMeetsTriangle({0, 0, 5}, {0, 0, -1}, plane, p0, p0, p2, false, t, w1, w2));
    // Outside the triangle.
    EXPECT_FALSE(SgTriBasedGeom::RayMeetsTriangle({0.8f, 0.8f, 5}, {0, 0, -1}, plane, p0, p1, p2, false, t, w1, w2));
}

TEST_F(GeometryTest, PickHitsCarryPointNormalCoordinatesAndColour) {
    const SgVec3 v[3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    const SgVec3 uv[3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    const SgRgba colors[3] = {{1, 0, 0, 1}, {0, 1, 0, 1}, {0, 0, 1, 1}};
    const uint16_t indices[3] = {0, 1, 2};
    SgRef<SgTriShape> painted(new SgTriShape(3, v, nullptr, 1, indices, uv, colors));
    painted->localTranslation = {0, 0, 2};
    painted->UpdateAllStates();

    SgPickRequest request;
    request.wantTextureCoord = request.wantNormal = request.wantColor = 1;
    painted->CollectRayHits({0.5f, 0.25f, 7}, {0, 0, -1}, request, nullptr);
    ASSERT_EQ(request.HitCount(), 1u);
    const SgPickHit* hit = request.Hit(0);
    ExpectNear(hit->point, {0.5f, 0.25f, 2});
    EXPECT_FLOAT_EQ(hit->distance, 5.0f);
    ExpectNear(hit->textureCoord, {0.5f, 0.25f, 0});
    ExpectNear(hit->normal, {0, 0, 1});
    EXPECT_NEAR(hit->color.r, 0.25f, 1e-6f);
    EXPECT_NEAR(hit->color.g, 0.5f, 1e-6f);
    EXPECT_NEAR(hit->color.b, 0.25f, 1e-6f);
    EXPECT_NEAR(hit->color.a, 1.0f, 1e-6f);

    // The world point carries the scale the ray was taken out of.
    SgRef<SgTriShape> scaled = MakeTriangle();
    scaled->localScale = 2.0f;
    scaled->localTranslation = {0, 0, 2};
    scaled->UpdateAllStates();
    SgPickRequest world;
    scaled->CollectRayHits({1.0f, 0.5f, 7}, {0, 0, -1}, world, nullptr);
    ASSERT_EQ(world.HitCount(), 1u);
    ExpectNear(world.Hit(0)->point, {1.0f, 0.5f, 2});

    SgRef<SgTriShape> plain = MakeTriangle();
    plain->UpdateAllStates();
    SgPickRequest bare;
    bare.wantColor = 1;
    plain->CollectRayHits({0.2f, 0.2f, 5}, {0, 0, -1}, bare, nullptr);
    ASSERT_EQ(bare.HitCount(), 1u);
    EXPECT_TRUE(bare.Hit(0)->color.IsEqualTo(SgRgba(1, 1, 1, 1)));
    SgPickRequest bounds;
    bounds.triangleMode = 0;
    plain->CollectRayHits({0.2f, 0.2f, 5}, {0, 0, -1}, bounds, nullptr);
    ASSERT_EQ(bounds.HitCount(), 1u);
    EXPECT_TRUE(bounds.Hit(0)->color.IsEqualTo(SgRgba(0, 0, 0, 0)));
}

TEST_F(GeometryTest, APickOverEveryStateGoesOnPastAStateItMisses) {
    SgRef<SgTriShape> shape = MakeTriangle();
    SgRef<SgNode> away(new SgNode), here(new SgNode);
    away->localTranslation = {50, 0, 0};
    away->InsertChild(shape.Get(), false);
    here->InsertChild(shape.Get(), false);
    away->UpdateAllStates();
    here->UpdateAllStates();
    SgPickRequest request;
    request.stopMode = request.firstOnly = 1;
    shape->CollectRayHits({0.2f, 0.2f, 5}, {0, 0, -1}, request, nullptr);
    ASSERT_EQ(request.HitCount(), 1u);
    EXPECT_EQ(request.Hit(0)->state, here->ChildStateAt(0));
}

TEST_F(GeometryTest, StripPicksStayWithinTheStrip) {
    const SgVec3 v[4] = {{0, 0, 0}, {0, 1, 0}, {1, 0, 0}, {1, 1, 0}};
    SgRef<SgTriStrip> strip(new SgTriStrip(4, v, nullptr, nullptr, nullptr));
    strip->UpdateAllStates();
    SgPickRequest request;
    strip->CollectRayHits({0.9f, 0.9f, 5}, {0, 0, -1}, request, nullptr);
    ASSERT_EQ(request.HitCount(), 1u);
    EXPECT_EQ(request.Hit(0)->triangle, 1u);
}

// ---- Environment mapping ----

TEST_F(GeometryTest, EnvironmentCoordinatesReflectTheViewAboutTheNormal) {
    const SgVec3 v[3] = {{10, 0, 0}, {11, 0, 0}, {10, 1, 0}};
    const SgVec3 n[3] = {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}};
    const SgVec3 uv[3] = {{0, 0, 7}, {0, 0, 7}, {0, 0, 7}};
    const uint16_t indices[3] = {0, 1, 2};
    SgRef<SgEnvMappedTriShape> shape(new SgEnvMappedTriShape(3, v, n, 1, indices, uv, nullptr));
    SgRef<SgNode> root(new SgNode);
    root->InsertChild(shape.Get(), false);
    SgRef<SgNode> holder(new SgNode);
    root->UpdateAllStates();
    holder->localTranslation = shape->WorldBound().centre + SgVec3(0, 0, 10);
    holder->InsertChild(camera.Get(), false);
    holder->UpdateAllStates();

    shape->ComputeEnvironmentCoords(camera.Get(), shape->CurrentState());
    // Seen straight along the normal: r = -n.
    ExpectNear(shape->TextureSets()[0], {0.5f, 0.5f, 7});
    // From the -x side r.x < 0, and u comes from the other half of the map: (r.z + 3) / 4.
    SgVec3 centre = shape->WorldBound().centre;
    holder->localTranslation = centre + SgVec3(-10, 0, 10);
    holder->UpdateAllStates();
    shape->ComputeEnvironmentCoords(camera.Get(), shape->CurrentState());
    ExpectNear(shape->TextureSets()[0], {(3.0f - std::sqrt(0.5f)) * 0.25f, 0.5f, 7});
    holder->localTranslation = centre + SgVec3(0, 0, 10);

    // Drawn without the placement call.
    camera->localViewDirection = {0, 0, 1};  // look down at it
    camera->localUp = {0, 1, 0};
    holder->UpdateAllStates();
    RenderRoot(root.Get());
    EXPECT_EQ(render->Count("DrawTriShape"), 1u);
    EXPECT_EQ(render->Count("SetModelTransform"), 0u);
}

// ---- Particles and lines ----

TEST_F(GeometryTest, ParticlesDrawTheirActivePartAtSizeTimesScale) {
    const SgVec3 v[4] = {{10, 0, 0}, {10, 1, 0}, {11, 0, 0}, {40, 0, 0}};
    SgRef<SgParticles> particles(new SgParticles(4, v, nullptr, nullptr));
    particles->size = 1.5f;
    particles->localScale = 2.0f;
    particles->SetActiveCount(3);
    // The stored sizes are all 1.0; without them in the file every size is 1.0 too.
    std::vector<uint8_t> bytes = SaveAsTopLevel(particles.Get());
    size_t sizesAt = bytes.size() - 15 - 16 - 4;
    std::vector<uint8_t> withoutSizes(bytes.begin(), bytes.begin() + static_cast<long>(sizesAt));
    withoutSizes.insert(withoutSizes.end(), {0, 0, 0, 0});
    withoutSizes.insert(withoutSizes.end(), bytes.end() - 15, bytes.end());
    SgRef<SgObject> loaded = LoadSingleTopLevel(withoutSizes);
    auto* reloaded = SgKindCast<SgParticles>(loaded.Get());
    ASSERT_TRUE(reloaded);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(reloaded->Sizes()[i], 1.0f);

    SgRef<SgNode> root(new SgNode);
    root->InsertChild(particles.Get(), false);
    RenderRoot(root.Get());
    std::vector<RenderCall> draws = render->Named("DrawParticles");
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0].args[0], "3");
    EXPECT_EQ(draws[0].args[4], "3");
    EXPECT_LT(particles->ModelBound().centre.x, 20.0f);  // the inactive particle is left out
}

TEST_F(GeometryTest, AutoNormalParticlesFaceTheCamera) {
    const SgVec3 v[2] = {{10, 0, 0}, {10, 1, 0}};
    SgRef<SgAutoNormalParticles> particles(new SgAutoNormalParticles(2, v, nullptr));
    SgRef<SgNode> root(new SgNode);
    root->InsertChild(particles.Get(), false);
    RenderRoot(root.Get());
    ASSERT_EQ(render->Count("DrawParticles"), 1u);
    ExpectNear(particles->AutoNormals()[1], camera->WorldViewDirection());
}

TEST_F(GeometryTest, LinesWithoutConnectionsJoinPairs) {
    const SgVec3 v[4] = {{10, 0, 0}, {10, 1, 0}, {11, 0, 0}, {11, 1, 0}};
    SgRef<SgLines> lines(new SgLines(4, v, nullptr, nullptr, nullptr));
    const uint8_t expected[4] = {1, 0, 1, 0};
    EXPECT_EQ(std::memcmp(lines->Connections(), expected, 4), 0);
    SgRef<SgNode> root(new SgNode);
    root->InsertChild(lines.Get(), false);
    RenderRoot(root.Get());
    EXPECT_EQ(render->Names(), (std::vector<std::string>{"SetCamera", "BeginFrame", "SetClipPlanes",
                                                         "SetModelTransform", "DrawLines", "EndFrame"}));
}

// ---- Counts from files ----

TEST_F(GeometryTest, CountsReadFromAFileMustFitTheirVertices) {
    SgRef<SgTriShape> shape = MakeTriangle();
    EXPECT_TRUE(Loads(PatchU16(shape.Get(), 2, 2)));
    EXPECT_FALSE(Loads(PatchU16(shape.Get(), 2, 3)));  // an index past the vertices

    std::vector<SgVec3> v(9);
    SgRef<SgTriangles> list(new SgTriangles(9, v.data(), nullptr, nullptr, nullptr));
    EXPECT_TRUE(Loads(PatchU16(list.Get(), 2, 3)));
    EXPECT_FALSE(Loads(PatchU16(list.Get(), 2, 4)));  // more active triangles than the list has

    SgRef<SgTriStrip> strip(new SgTriStrip(4, v.data(), nullptr, nullptr, nullptr));
    EXPECT_TRUE(Loads(PatchU16(strip.Get(), 2, 2)));
    EXPECT_FALSE(Loads(PatchU16(strip.Get(), 2, 5)));  // more active vertices than the strip has
    SgRef<SgTriStrip> tiny(new SgTriStrip(2, v.data(), nullptr, nullptr, nullptr));
    EXPECT_EQ(tiny->TriangleCount(), 0u);

    SgRef<SgParticles> particles(new SgParticles(4, v.data(), nullptr, nullptr));
    EXPECT_TRUE(Loads(PatchU16(particles.Get(), 4 + 16 + 2, 4)));
    EXPECT_FALSE(Loads(PatchU16(particles.Get(), 4 + 16 + 2, 5)));
}

TEST_F(GeometryTest, TextureSetsPresentWithASetCountOfZeroAreRefused) {
    // The triangle has no sets: its has-sets word stands before the has-colours word, the planes
    // and the indices. Set to 1 with the count left at 0, no coordinates follow, and a shape that
    // took them would hold one slot where a pick or the environment map reads one per vertex.
    SgRef<SgTriShape> shape = MakeTriangle();
    size_t hasSets = 6 + 16 + 4 + 4 + 4;
    EXPECT_TRUE(Loads(PatchU16(shape.Get(), hasSets, 0)));
    EXPECT_FALSE(Loads(PatchU16(shape.Get(), hasSets, 1)));
}

}  // namespace
