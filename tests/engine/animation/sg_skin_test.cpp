// Skin data and the two skinned meshes: blends, what is rewritten when bones stand still, bounds,
// the shared-vertex maps, copies, links, draws and sgf records.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <iterator>
#include <vector>

#include "engine/animation/sg_3ds_skin.h"
#include "engine/animation/sg_clod_skin.h"
#include "engine/core/sg_stream.h"
#include "tests/engine/scene/scene_fixture.h"
#include "tests/engine/support/sg_stream_cases.h"
#include "tools/writers/clod_builder.h"

namespace {

constexpr float kEps = 1e-5f;

void ExpectNear(const SgVec3& a, const SgVec3& b, const char* what = "") {
    EXPECT_NEAR(a.x, b.x, kEps) << what;
    EXPECT_NEAR(a.y, b.y, kEps) << what;
    EXPECT_NEAR(a.z, b.z, kEps) << what;
}

// A quarter turn about z: x goes to y.
SgMat3 QuarterTurn() {
    SgMat3 m;
    const float rows[9] = {0, -1, 0, 1, 0, 0, 0, 0, 1};
    for (int i = 0; i < 9; ++i)
        m.m[i] = rows[i];
    return m;
}

// Two chain roots placed by hand: A one unit along x, B turned a quarter about z and two up y.
struct Skeleton {
    SgRef<Sg3dsBone> a{new Sg3dsBone}, b{new Sg3dsBone};
    Skeleton() {
        a->boneTranslation = {1, 0, 0};
        b->boneRotation = QuarterTurn();
        b->boneTranslation = {0, 2, 0};
    }
};

// Three vertices of one triangle: v0 weighted 0.25 on A and 0.75 on B, v1 on A alone with weight
// 0.5, v2 on B alone.
SgRef<Sg3dsSkin> ThreeVertexSkin(const Skeleton& s, bool normals = true) {
    const SgVec3 v[3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    const SgVec3 n[3] = {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}};
    const uint16_t indices[3] = {0, 1, 2};
    SgRef<Sg3dsSkin> skin(new Sg3dsSkin(3, v, normals ? n : nullptr, 1, indices, nullptr, nullptr));
    skin->SetWeights({{{0.25f, {1, 0, 0}, s.a.Get()}, {0.75f, {0, 1, 0}, s.b.Get()}},
                      {{0.5f, {0, 1, 0}, s.a.Get()}},
                      {{1.0f, {1, 1, 0}, s.b.Get()}}});
    return skin;
}

SgVec3* World(SgWorldState* state) { return SgGeometry::GeometryState(state)->worldVertices.get(); }

TEST(SgSkinData, BlendsSeveralInfluencesAndTakesOneWhole) {
    Skeleton s;
    SgRef<Sg3dsSkin> skin = ThreeVertexSkin(s);
    SgWorldState* state = skin->CurrentState();
    skin->TransformToWorld(state);
    SgVec3* w = World(state);
    // A: offset + (1, 0, 0). B: a quarter turn of the offset + (0, 2, 0).
    SgVec3 fromA = SgVec3(1, 0, 0) + SgVec3(1, 0, 0), fromB = SgVec3(-1, 0, 0) + SgVec3(0, 2, 0);
    ExpectNear(w[0], fromA * 0.25f + fromB * 0.75f, "blend of two");
    ExpectNear(w[1], SgVec3(1, 1, 0), "one influence: the weight is not applied");
    ExpectNear(w[2], SgVec3(-1, 3, 0), "one influence on B");
}

// The skin's own world placement carries every bone: rotated, scaled and moved, the bones'
// translations scaled with the offsets.
TEST(SgSkinData, TheSkinsPlacementScalesTheBonesTranslationsWithTheOffsets) {
    Skeleton s;
    s.a->boneScale = 0.5f;
    SgRef<Sg3dsSkin> skin = ThreeVertexSkin(s);
    skin->localTranslation = {10, 0, 0};
    skin->localRotation = QuarterTurn();
    skin->localScale = 2;
    skin->UpdateAllStates();
    SgWorldState* state = skin->CurrentState();
    ASSERT_EQ(state->worldScale, 2.0f);
    skin->TransformToWorld(state);
    SgVec3* w = World(state);
    // A alone: 2 x quarter (0.5 x (0, 1, 0) + (1, 0, 0)) + (10, 0, 0) = 2 x (-0.5, 1, 0) + (10, 0, 0).
    ExpectNear(w[1], SgVec3(9, 2, 0), "A: its translation scaled too");
    // B alone: 2 x quarter (quarter (1, 1, 0) + (0, 2, 0)) + (10, 0, 0) = 2 x (-3, -1, 0) + (10, 0, 0).
    ExpectNear(w[2], SgVec3(4, -2, 0), "B: its translation scaled too");
}

TEST(SgSkinData, AStillSkeletonRewritesOnlyBlendedVertices) {
    Skeleton s;
    SgRef<Sg3dsSkin> skin = ThreeVertexSkin(s);
    SgWorldState* state = skin->CurrentState();
    skin->TransformToWorld(state);
    SgVec3* w = World(state);
    const SgVec3 mark(99, 99, 99);
    w[0] = w[1] = w[2] = mark;
    skin->TransformToWorld(state);
    EXPECT_FALSE(w[0] == mark) << "several influences are always blended";
    EXPECT_EQ(w[1], mark);
    EXPECT_EQ(w[2], mark);
    // Moving A rewrites its own vertex only.
    s.a->boneTranslation = {2, 0, 0};
    w[0] = w[1] = w[2] = mark;
    skin->TransformToWorld(state);
    ExpectNear(w[1], SgVec3(2, 1, 0));
    EXPECT_EQ(w[2], mark);
}

TEST(SgSkinData, EveryBoneCountsAsMovedAfterBuildAndCopy) {
    Skeleton s;
    // Bones at the origin, unturned: only the zeroed caches make them count as moved.
    s.a->boneTranslation = {};
    s.b->boneRotation = SgIdentityMat3;
    s.b->boneTranslation = {};
    SgRef<Sg3dsSkin> skin = ThreeVertexSkin(s);
    SgWorldState state;
    skin->Skin().UpdateBones(state);
    EXPECT_EQ(s.a->skinFlag, 1);
    EXPECT_EQ(s.b->skinFlag, 1);
    skin->Skin().UpdateBones(state);
    EXPECT_EQ(s.a->skinFlag, 0);
    SgSkinData copy;
    skin->Skin().CopyInto(copy);
    copy.UpdateBones(state);
    EXPECT_EQ(s.a->skinFlag, 1);
    EXPECT_EQ(s.b->skinFlag, 1);
}

TEST(SgSkinData, BoneBoundsUseOffsetsTimesTheVertexsWeightSum) {
    Skeleton s;
    SgSkinData data;
    data.SetWeights({{{1.0f, {1, 0, 0}, s.a.Get()}, {1.0f, {1, 0, 0}, s.a.Get()}}});
    data.BuildBones();
    ASSERT_EQ(data.BoneCount(), 1);
    // Each influence adds offset x 2 (the weights' sum): the point (2, 0, 0).
    ExpectNear(data.Bones()[0].bound.centre, SgVec3(2, 0, 0));
    EXPECT_NEAR(data.Bones()[0].bound.radius, 0.0f, kEps);
    SgBoundSphere b;
    ASSERT_TRUE(data.BoundFromBones(b));
    ExpectNear(b.centre, SgVec3(3, 0, 0), "moved by the bone's placement");
    SgSkinData none;
    SgBoundSphere untouched;
    untouched.radius = 7.0f;
    EXPECT_FALSE(none.BoundFromBones(untouched));
    EXPECT_EQ(untouched.radius, 7.0f);
}

TEST(SgSkinData, InfluencesWithoutABoneAreLeftOut) {
    Skeleton s;
    SgSkinData d;
    d.SetWeights({{{0.5f, {1, 0, 0}, nullptr}, {0.5f, {1, 0, 0}, s.a.Get()}}, {{1.0f, {}, nullptr}}});
    d.BuildBones();
    EXPECT_EQ(d.InfluenceCount(0), 1u);
    EXPECT_EQ(d.InfluenceCount(1), 0u);
    SgWorldState state;
    d.UpdateBones(state);
    SgVec3 p;
    EXPECT_TRUE(d.SkinVertex(0, true, p, nullptr, nullptr));
    ExpectNear(p, SgVec3(2, 0, 0));
    EXPECT_FALSE(d.SkinVertex(1, true, p, nullptr, nullptr));
}

TEST(SgSkinData, InfluencesOrderByBoneNumberThenOffsetThenWeight) {
    Skeleton s;  // a was made before b: a orders first
    SgSkinData d;
    d.SetWeights({{{1.0f, {0, 0, 0}, s.a.Get()}},
                  {{1.0f, {0, 0, 0}, s.b.Get()}},
                  {{1.0f, {0, 0, 1}, s.a.Get()}},
                  {{0.5f, {0, 0, 0}, s.a.Get()}},
                  {{1.0f, {0, 0, 0}, s.a.Get()}, {1.0f, {0, 0, 0}, s.b.Get()}},
                  {{1.0f, {0, 0, 0}, s.a.Get()}}});
    EXPECT_LT(d.CompareInfluences(0, 1), 0);
    EXPECT_LT(d.CompareInfluences(0, 2), 0);
    EXPECT_NE(d.CompareInfluences(0, 3), 0);
    EXPECT_LT(d.CompareInfluences(0, 4), 0) << "a prefix orders first";
    EXPECT_GT(d.CompareInfluences(4, 0), 0);
    EXPECT_EQ(d.CompareInfluences(0, 5), 0);
}

TEST(Sg3dsSkin, VerticesAlikeButForTextureShareOneWorldNormal) {
    Skeleton s;
    s.b->boneRotation = SgIdentityMat3;
    // A folded strip: vertex 3 repeats vertex 1's place, normal and influences with other
    // texture coordinates, used by the second triangle only.
    const SgVec3 v[5] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 0, 0}, {1, 1, 1}};
    const SgVec3 n[5] = {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}};
    const SgVec3 uv[5] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0.5f, 0, 0}, {1, 1, 0}};
    const uint16_t indices[6] = {0, 1, 2, 2, 3, 4};
    SgRef<Sg3dsSkin> skin(new Sg3dsSkin(5, v, n, 2, indices, uv, nullptr));
    std::vector<std::vector<SgSkinInfluence>> lists;
    for (const SgVec3& p : v)
        lists.push_back({{1.0f, p, s.a.Get()}});
    skin->SetWeights(lists);
    ASSERT_TRUE(skin->Skin().SharedVertexMap());
    EXPECT_EQ(skin->Skin().SharedVertexMap()[3], 1);
    SgWorldState* state = skin->CurrentState();
    skin->TransformToWorld(state);
    const SgVec3* wn = SgGeometry::GeometryState(state)->worldNormals.get();
    ExpectNear(wn[1], wn[3]);
    EXPECT_NEAR(wn[1].Length(), 1.0f, kEps);
    EXPECT_GT(std::fabs(wn[1].x) + std::fabs(wn[1].y), 0.1f) << "both triangles' normals are summed";

    // A remap that drops vertex 0 drops its list and rebuilds the map.
    const uint32_t map[5] = {0xFFFFFFFFu, 0, 1, 2, 3};
    skin->RemapVertices(4, map);
    EXPECT_EQ(skin->Skin().VertexCount(), 4u);
    ExpectNear(skin->Skin().Head(0)->offset, v[1]);
    EXPECT_EQ(skin->Skin().SharedVertexMap()[2], 0);
}

// A folded pair of triangles on the edge from (0, 0, 0) to (1, 0, 0): a small one facing +z and
// one ten times larger facing -y. The edge's vertices take the mean of the two unit face
// normals, (0, -1, 1) / sqrt 2, not a mean weighted by area, and the planes carry unit normals.
const SgVec3 kFold[4] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, -10}};
const uint16_t kFoldTriangles[6] = {0, 1, 2, 1, 0, 3};
const SgVec3 kFoldEdgeNormal{0, -0.70710678f, 0.70710678f};

TEST(Sg3dsSkin, NormalsAreMeansOfUnitFaceNormalsAndSharedOnlyByVerticesAlike) {
    SgRef<Sg3dsBone> bone(new Sg3dsBone);
    // Vertices 4 and 5 repeat vertex 1's place and influence; 4 has its normal, 5 another.
    const SgVec3 v[6] = {kFold[0], kFold[1], kFold[2], kFold[3], kFold[1], kFold[1]};
    const SgVec3 n[6] = {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, -1, 0}, {0, 0, 1}, {0, -1, 0}};
    SgRef<Sg3dsSkin> skin(new Sg3dsSkin(6, v, n, 2, kFoldTriangles, nullptr, nullptr));
    std::vector<std::vector<SgSkinInfluence>> lists;
    for (const SgVec3& p : v)
        lists.push_back({{1.0f, p, bone.Get()}});
    skin->SetWeights(lists);
    ASSERT_TRUE(skin->Skin().SharedVertexMap());
    EXPECT_EQ(skin->Skin().SharedVertexMap()[4], 1) << "alike: one group";
    EXPECT_EQ(skin->Skin().SharedVertexMap()[5], 5) << "another normal: a group of its own";

    SgWorldState* state = skin->CurrentState();
    skin->TransformToWorld(state);
    const SgVec3* wn = SgGeometry::GeometryState(state)->worldNormals.get();
    ExpectNear(wn[0], kFoldEdgeNormal, "first edge vertex");
    ExpectNear(wn[1], kFoldEdgeNormal, "second edge vertex");
    ExpectNear(wn[4], kFoldEdgeNormal, "the alike copy");
    ExpectNear(wn[2], {0, 0, 1}, "the small face's own corner");
    ExpectNear(skin->Planes()[1].normal, {0, -1, 0}, "a unit plane normal");
}

TEST(Sg3dsSkin, WithoutRecomputeTheNormalsFollowTheBlendedRotation) {
    Skeleton s;
    SgRef<Sg3dsSkin> skin = ThreeVertexSkin(s);
    skin->Skin().recomputeNormals = 0;
    skin->Normals()[2] = {1, 0, 0};
    SgWorldState* state = skin->CurrentState();
    skin->TransformToWorld(state);
    const SgVec3* wn = SgGeometry::GeometryState(state)->worldNormals.get();
    ExpectNear(wn[2], SgVec3(0, 1, 0), "B turns x to y");
    ExpectNear(wn[1], SgVec3(0, 0, 1));
}

TEST(Sg3dsSkin, ASecondParentsFirstTransformWritesEveryWeightedVertex) {
    Skeleton s;
    SgRef<Sg3dsSkin> skin = ThreeVertexSkin(s);
    SgRef<SgNode> first(new SgNode), second(new SgNode);
    first->InsertChild(skin.Get(), false);
    first->UpdateAllStates();
    SgWorldState* one = skin->WorldStates().Find(first.Get());
    skin->TransformToWorld(one);
    second->localTranslation = {0, 0, 5};
    second->InsertChild(skin.Get(), false);
    second->UpdateAllStates();
    SgWorldState* two = skin->WorldStates().Find(second.Get());
    // The skeleton stands still, and the first state saw these bones already.
    skin->Skin().UpdateBones(*two);
    skin->TransformToWorld(two);
    ExpectNear(World(two)[1], SgVec3(1, 1, 5));
    ExpectNear(World(two)[2], SgVec3(-1, 3, 5));
}

TEST(Sg3dsSkin, ADuplicateFollowsTheCopiedSkeleton) {
    Skeleton s;
    SgRef<Sg3dsSkin> skin = ThreeVertexSkin(s);
    SgRef<SgNode> root(new SgNode);
    root->InsertChild(s.a.Get(), false);
    root->InsertChild(s.b.Get(), false);
    root->InsertChild(skin.Get(), false);
    SgRef<SgAVObject> copy = root->Duplicate();
    auto* node = SgKindCast<SgNode>(copy.Get());
    ASSERT_TRUE(node);
    auto* bone = SgKindCast<Sg3dsBone>(node->ChildAt(0));
    auto* copied = SgKindCast<Sg3dsSkin>(node->ChildAt(2));
    ASSERT_TRUE(bone && copied);
    ASSERT_NE(copied, skin.Get());
    EXPECT_EQ(copied->Skin().Head(1)->bone, bone);
    for (const SgSkinBone& entry : copied->Skin().Bones())
        EXPECT_TRUE(entry.bone != s.a.Get() && entry.bone != s.b.Get());
    EXPECT_EQ(s.a->ExtraHead(), nullptr) << "the clone record is gone";
    bone->boneTranslation = {5, 0, 0};
    SgWorldState* state = copied->CurrentState();
    copied->TransformToWorld(state);
    ExpectNear(World(state)[1], SgVec3(5, 1, 0));
}

TEST(Sg3dsSkin, InfluencesOnObjectsThatAreNoBonesAreDroppedAtLink) {
    Skeleton s;
    SgRef<Sg3dsSkin> skin = ThreeVertexSkin(s);
    SgRef<SgNode> root(new SgNode);
    root->InsertChild(s.a.Get(), false);
    root->InsertChild(s.b.Get(), false);
    root->InsertChild(skin.Get(), false);
    std::vector<uint8_t> bytes = SaveAsTopLevel(root.Get());
    // Make bone B's record a plain keyed node: same fields, another class.
    const char bone[] = "Sg3dsBone";
    const char node[] = "Sg3dsAnimationNode";
    std::vector<uint8_t> patched;
    size_t found = 0;
    for (size_t i = 0; i < bytes.size(); ++i) {
        bool match = i + 4 + 9 <= bytes.size() && bytes[i] == 9 && bytes[i + 1] == 0 && bytes[i + 2] == 0 &&
                     bytes[i + 3] == 0 && std::memcmp(&bytes[i + 4], bone, 9) == 0;
        if (match && ++found == 2) {
            patched.push_back(18);
            patched.insert(patched.end(), {0, 0, 0});
            patched.insert(patched.end(), node, node + 18);
            i += 12;
            continue;
        }
        patched.push_back(bytes[i]);
    }
    ASSERT_EQ(found, 2u);
    SgRef<SgObject> loaded = LoadSingleTopLevel(patched);
    ASSERT_TRUE(loaded);
    auto* again = SgKindCast<Sg3dsSkin>(SgKindCast<SgNode>(loaded.Get())->ChildAt(2));
    ASSERT_TRUE(again);
    EXPECT_EQ(again->Skin().InfluenceCount(0), 1u);
    EXPECT_EQ(again->Skin().InfluenceCount(1), 1u);
    EXPECT_EQ(again->Skin().InfluenceCount(2), 0u) << "its one influence named the node";
    EXPECT_EQ(again->Skin().BoneCount(), 1);
    SgWorldState* state = again->CurrentState();
    again->TransformToWorld(state);
    ExpectNear(World(state)[2], SgVec3(0, 1, 0), "an unweighted vertex keeps the rigid transform");
}

class SkinDraw : public SceneTest {};

TEST_F(SkinDraw, DrawsWorldArraysUnderTheIdentity) {
    Skeleton s;
    SgRef<Sg3dsSkin> skin = ThreeVertexSkin(s);
    SgRef<SgNode> root(new SgNode);
    root->localTranslation = {10, 0, 0};
    root->InsertChild(skin.Get(), false);
    render->copyArrays = true;
    RenderRoot(root.Get());
    ASSERT_EQ(render->modelTransforms.size(), 1u);
    EXPECT_EQ(render->modelTransforms[0].translation, SgVec3());
    EXPECT_EQ(render->modelTransforms[0].rotation, SgIdentityMat3);
    EXPECT_EQ(render->modelTransforms[0].scale, 1.0f);
    std::vector<RenderCall> draws = render->Named("DrawTriShape");
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0].args[0], "1");
    EXPECT_EQ(draws[0].args[1], "3");
    ASSERT_EQ(draws[0].arrays.vertices.size(), 3u);
    ExpectNear(draws[0].arrays.vertices[1], SgVec3(11, 1, 0));
}

// ---- The level-of-detail skin ----

class ClodSkinTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(BuildClod(TubeMesh(8, 6, 0.5f, 2.0f), {}, built, nullptr));
        skin = new SgClodSkin;
        ASSERT_TRUE(skin->SetMesh(built.Source()));
        skin->ComputeVertexNormals();
        std::vector<std::vector<SgSkinInfluence>> lists;
        for (uint32_t m = 0; m < skin->VertexCount(); ++m)
            lists.push_back({{1.0f, skin->Vertices()[m], bone.Get()}});
        skin->SetWeights(lists);
        bone->boneTranslation = {0, 0, 1};
    }
    ClodBuilt built;
    SgRef<SgClodSkin> skin;
    SgRef<Sg3dsBone> bone{new Sg3dsBone};
};

TEST_F(ClodSkinTest, SkinsTheSlotsOfTheLevelOnly) {
    EXPECT_EQ(skin->keepPlanes, 0);
    SgWorldState* state = skin->CurrentState();
    skin->SetTriangleCount(state, 0);
    const SgClodData& d = *skin->LevelOf(state);
    uint16_t baseSlots = skin->SlotsInUse(d);
    skin->TransformToWorld(state);
    SgVec3* w = World(state);
    const SgVec3 mark(-7, -7, -7);
    for (uint32_t i = 0; i < skin->RenderSlotCount(); ++i)
        w[i] = mark;
    skin->TransformToWorld(state);
    for (uint32_t i = 0; i < skin->RenderSlotCount(); ++i) {
        if (i < baseSlots)
            ExpectNear(w[i], skin->Vertices()[d.slotMap[i]] + SgVec3(0, 0, 1));
        else
            EXPECT_EQ(w[i], mark) << "slot " << i << " is not in use at the base";
    }
    skin->SetTriangleCount(state, 0xFFFF);
    skin->TransformToWorld(state);
    uint16_t all = skin->SlotsInUse(d);
    EXPECT_GT(all, baseSlots);
    for (uint32_t i = 0; i < all; ++i)
        ExpectNear(w[i], skin->Vertices()[d.slotMap[i]] + SgVec3(0, 0, 1));
}

TEST_F(ClodSkinTest, SeamCopiesShareANormalOnlyWhenTheirNormalsAreEqual) {
    // Two mesh vertices with one id that are both drawn at full detail: seam copies of a vertex
    // no step splits.
    SgWorldState* state = skin->CurrentState();
    skin->SetTriangleCount(state, 0xFFFF);
    const SgClodData& d = *skin->LevelOf(state);
    const SgClodVertex* r = skin->VertexRecords();
    auto drawn = [&](uint32_t m) { return m < d.activeVertexCount && d.slotMap[r[m].slot] == m; };
    uint32_t a = 0, b = 0;
    for (uint32_t i = 0; i < skin->VertexCount() && !b; ++i)
        for (uint32_t j = i + 1; j < skin->VertexCount(); ++j)
            if (r[i].id == r[j].id && drawn(i) && drawn(j)) {
                a = i, b = j;
                break;
            }
    ASSERT_NE(b, 0u) << "the tube has seam copies";
    skin->Normals()[b] = skin->Normals()[a];
    skin->BuildSharedVertexMap();
    EXPECT_EQ(skin->Skin().SharedVertexMap()[b], a);
    skin->TransformToWorld(state);
    const SgVec3* wn = SgGeometry::GeometryState(state)->worldNormals.get();
    ExpectNear(wn[r[a].slot], wn[r[b].slot], "one world normal");
    EXPECT_NEAR(wn[r[a].slot].Length(), 1.0f, kEps);
    skin->Normals()[b] = skin->Normals()[a] * -1.0f;
    skin->BuildSharedVertexMap();
    EXPECT_EQ(skin->Skin().SharedVertexMap()[b], b);
}

TEST(ClodSkinNormals, AreMeansOfUnitFaceNormals) {
    SgRef<Sg3dsBone> bone(new Sg3dsBone);
    ClodInputMesh fold;
    fold.positions.assign(std::begin(kFold), std::end(kFold));
    fold.triangles.assign(std::begin(kFoldTriangles), std::end(kFoldTriangles));
    SgRef<SgClodSkin> skin = MakeClodSkin(fold, "fold", [&](const SgVec3& p) {
        return std::vector<SgSkinInfluence>{{1.0f, p, bone.Get()}};
    });
    ASSERT_TRUE(skin);
    SgWorldState* state = skin->CurrentState();
    skin->SetTriangleCount(state, 0xFFFF);
    skin->TransformToWorld(state);
    const SgClodData& d = *skin->LevelOf(state);
    const SgVec3* w = World(state);
    const SgVec3* wn = SgGeometry::GeometryState(state)->worldNormals.get();
    ASSERT_TRUE(wn);
    int edge = 0;
    for (uint16_t i = 0; i < skin->SlotsInUse(d); ++i)
        if (w[i].y == 0 && w[i].z == 0) {
            ++edge;
            ExpectNear(wn[i], kFoldEdgeNormal, "an edge vertex");
        }
    EXPECT_EQ(edge, 2);
    for (uint16_t t = 0; t < d.triangleCount; ++t)
        EXPECT_NEAR(d.planes[t].normal.Length(), 1.0f, kEps) << "triangle " << t;
}

TEST_F(ClodSkinTest, ADuplicateIsARealCopyOnTheCopiedSkeleton) {
    SgRef<SgNode> root(new SgNode);
    root->InsertChild(bone.Get(), false);
    root->InsertChild(skin.Get(), false);
    SgRef<SgAVObject> copy = root->Duplicate();
    auto* node = SgKindCast<SgNode>(copy.Get());
    auto* copied = SgKindCast<SgClodSkin>(node->ChildAt(1));
    ASSERT_TRUE(copied);
    EXPECT_NE(copied, skin.Get());
    EXPECT_EQ(copied->keepPlanes, 0);
    EXPECT_EQ(copied->Skin().Bones()[0].bone, node->ChildAt(0));
    // The copy steps through its levels on its own, planes kept or not.
    copied->keepPlanes = 1;
    SgWorldState* state = copied->CurrentState();
    copied->SetTriangleCount(state, 0);
    copied->SetTriangleCount(state, 0xFFFF);
    EXPECT_EQ(copied->LevelOf(state)->triangleCount, copied->FullTriangleCount());
}

}  // namespace
