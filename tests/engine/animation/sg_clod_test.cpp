// SgClod: level choice per draw and per world state, its draw, normals, copies and its sgf record.

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "engine/animation/sg_clod.h"
#include "engine/core/sg_property.h"
#include "engine/core/sg_stream.h"
#include "tests/engine/scene/scene_fixture.h"
#include "tests/engine/support/sg_stream_cases.h"
#include "tools/writers/clod_builder.h"

namespace {

struct Answer {
    uint8_t result = 0;
    uint16_t target = 0;
    int calls = 0;
    uint32_t user = 0;
};
Answer g_answer;

uint8_t Ask(SgClod*, SgCamera*, uint32_t user, uint16_t* target) {
    ++g_answer.calls;
    g_answer.user = user;
    *target = g_answer.target;
    return g_answer.result;
}

// A two-triangle mesh written by hand: the base triangle (0, 1, 2) and one step that splits
// vertex 0 (id 0) into ids 3 and 4, adding triangle (2, c1, c0) beside it.
SgClodSource TinySource(SgVec3 (&positions)[5], SgClodStep& step) {
    static const uint16_t ids[3] = {0, 1, 2};
    static const uint16_t corners[3] = {0, 1, 2};
    static const uint16_t adjacency[3] = {0xFFFF, 0xFFFF, 0xFFFF};
    positions[0] = {0, 0, 0};
    positions[1] = {1, 0, 0};
    positions[2] = {1, 1, 0};
    positions[3] = {0, 0, 0};
    positions[4] = {0, 1, 0};
    step.vertexId = 0;
    step.neighbours[0] = 0;
    step.flags = 1 | 4;  // A's wing and its side-0 corner from t0; the side-1 child is new
    SgClodSource s;
    s.vertexCount = 5;
    s.positions = positions;
    s.fullTriangleCount = 2;
    s.nextId = 3;
    s.baseVertexCount = 3;
    s.baseIds = ids;
    s.baseTriangleCount = 1;
    s.baseCorners = corners;
    s.baseAdjacency = adjacency;
    s.stepCount = 1;
    s.steps = &step;
    s.perStateData = 0;
    s.detailFactor = 0.5f;
    return s;
}

SgRef<SgClod> TinyClod() {
    SgVec3 positions[5];
    SgClodStep step;
    SgRef<SgClod> clod(new SgClod);
    EXPECT_TRUE(clod->SetMesh(TinySource(positions, step)));
    return clod;
}

// The mesh's own fields, as they close its record (before the end marker).
const std::vector<uint8_t> kTinyFields = {
    0x00,                                            // per-state data
    0x03, 0x00,                                      // next id of the base
    0x01, 0x00,                                      // base triangles
    0x03, 0x00,                                      // base vertices
    0x01, 0x00,                                      // steps
    0x00, 0x00, 0x00, 0x3F,                          // detail factor 0.5
    0x00, 0x00, 0x01, 0x00, 0x02, 0x00,              // base ids
    0x00, 0x00, 0x01, 0x00, 0x02, 0x00,              // base corners
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,              // base adjacency
    0x00, 0x00,                                      // step: vertex id
    0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,  // t0..t3
    0x05, 0x00,                                      // flags
};
constexpr size_t kEndMarkerBytes = 4 + 11;

size_t FieldsAt(const std::vector<uint8_t>& bytes) { return bytes.size() - kEndMarkerBytes - kTinyFields.size(); }

TEST(SgClodRecord, TinyMeshBuildsAndWritesItsFieldsAsLaidOut) {
    SgRef<SgClod> clod = TinyClod();
    const SgClodData& d = *clod->SharedLevel();
    ASSERT_EQ(d.triangleCount, 2);
    // Child 0 keeps the parent's slot 0; the new side-1 child takes the next slot, 3.
    EXPECT_EQ(std::vector<uint16_t>(d.triangles.get(), d.triangles.get() + 6),
              (std::vector<uint16_t>{0, 1, 2, 2, 3, 0}));
    EXPECT_EQ(std::vector<uint16_t>(d.adjacency.get(), d.adjacency.get() + 6),
              (std::vector<uint16_t>{0xFFFF, 1, 0xFFFF, 0xFFFF, 0, 0xFFFF}));
    EXPECT_EQ(clod->SlotsInUse(d), 4);
    EXPECT_EQ(d.slotMap[0], 3);
    EXPECT_EQ(clod->VertexRecords()[3].mergeTarget, 0);
    std::vector<uint8_t> bytes = SaveAsTopLevel(clod.Get());
    ASSERT_GT(bytes.size(), kTinyFields.size() + kEndMarkerBytes);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + FieldsAt(bytes), bytes.end() - kEndMarkerBytes), kTinyFields);
}

struct Damage {
    const char* what;
    size_t offset;  // into the mesh's fields
    std::vector<uint8_t> bytes;
};

class SgClodDamage : public testing::TestWithParam<Damage> {};

TEST_P(SgClodDamage, FailsTheLoadAndKeepsNothing) {
    SgRef<SgClod> clod = TinyClod();
    std::vector<uint8_t> bytes = SaveAsTopLevel(clod.Get());
    clod = nullptr;
    const Damage& d = GetParam();
    std::memcpy(&bytes[FieldsAt(bytes) + d.offset], d.bytes.data(), d.bytes.size());
    uint32_t live = SgObject::LiveCount();
    {
        SgSceneStream stream;
        EXPECT_FALSE(stream.Load(bytes.data(), bytes.size())) << d.what;
        EXPECT_EQ(SgSceneStream::ErrorCode(), SG_STREAM_DAMAGED);
        EXPECT_EQ(stream.TopLevelCount(), 0u);
    }
    EXPECT_EQ(SgObject::LiveCount(), live);
}

INSTANTIATE_TEST_SUITE_P(
    Checks, SgClodDamage,
    testing::Values(Damage{"base vertices past the geometry's", 5, {0x06, 0x00}},
                    Damage{"base triangles past the full count", 3, {0x03, 0x00}},
                    Damage{"no steps for the full count", 7, {0x00, 0x00}},
                    Damage{"a base id at the next id", 17, {0x03, 0x00}},
                    Damage{"a base corner past the base vertices", 23, {0x03, 0x00}},
                    Damage{"adjacency past the base triangles", 27, {0x01, 0x00}},
                    Damage{"a step without t0 and t1", 33, {0xFF, 0xFF}},
                    Damage{"a neighbour past the current count", 33, {0x01, 0x00}},
                    Damage{"a neighbour without the parent's id", 31, {0x07, 0x00}},
                    Damage{"more new vertices than the geometry holds", 41, {0x01, 0x00}},
                    Damage{"a seam copy count the step does not make", 41, {0x05, 0x04}},
                    Damage{"a corner from a missing neighbour", 41, {0x25, 0x00}}),
    [](const testing::TestParamInfo<Damage>& info) {
        std::string name;
        for (const char* c = info.param.what; *c; ++c)
            name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
        return name;
    });

TEST(SgClodRecord, SavesTheBaseWhateverLevelWasDrawn) {
    ClodBuilt built;
    ASSERT_TRUE(BuildClod(GridMesh(5, 4, 2.0f), {}, built, nullptr));
    SgRef<SgClod> clod = MakeClod(built);
    ASSERT_TRUE(clod);
    std::vector<uint8_t> first = SaveAsTopLevel(clod.Get());
    for (uint16_t target : {uint16_t(0), uint16_t(17), uint16_t(5), uint16_t(0xFFFF), uint16_t(23)}) {
        clod->SetTriangleCount(clod->CurrentState(), target);
        EXPECT_EQ(SaveAsTopLevel(clod.Get()), first) << "after target " << target;
    }
    SgRef<SgObject> loaded = LoadSingleTopLevel(first);
    ASSERT_TRUE(loaded);
    EXPECT_TRUE(loaded->IsEqualTo(clod.Get()));
    auto* again = SgKindCast<SgClod>(loaded.Get());
    ASSERT_TRUE(again);
    EXPECT_EQ(again->SharedLevel()->triangleCount, again->FullTriangleCount()) << "a loaded mesh starts at full detail";
}

// ---- Drawing ----

class SgClodDraw : public SceneTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(BuildClod(GridMesh(8, 8, 2.0f), {}, built, nullptr));
        clod = MakeClod(built);
        ASSERT_TRUE(clod);
        holder = new SgNode;
        holder->localTranslation = {10, -1, -1};
        holder->InsertChild(clod.Get(), false);
    }
    void TearDown() override { SgClod::SetDefaultLevelCallback(nullptr, 0); }

    // The triangle count of each DrawTriShape of a frame.
    std::vector<int> DrawnCounts() {
        RenderRoot(holder.Get());
        std::vector<int> out;
        for (const RenderCall& c : render->Named("DrawTriShape"))
            out.push_back(std::stoi(c.args[0]));
        return out;
    }

    ClodBuilt built;
    SgRef<SgClod> clod;
    SgRef<SgNode> holder;
};

TEST_F(SgClodDraw, CallbackAnswersHideUseOrDefer) {
    g_answer = {};
    // The rule alone decides first, as the reference.
    std::vector<int> byRule = DrawnCounts();
    ASSERT_EQ(byRule.size(), 1u);
    clod->SetLevelCallback(Ask, 77);
    // Nonzero with 0 hides the mesh for the draw.
    g_answer = {1, 0, 0, 0};
    EXPECT_TRUE(DrawnCounts().empty());
    EXPECT_TRUE(clod->Suppressed());
    // Nonzero with a count uses it (the nearest count a step reaches, coarsening from full).
    g_answer = {1, 60, 0, 0};
    std::vector<int> drawn = DrawnCounts();
    ASSERT_EQ(drawn.size(), 1u);
    EXPECT_GE(drawn[0], 60);
    EXPECT_LE(drawn[0], 61);
    EXPECT_FALSE(clod->Suppressed());
    // Zero leaves it to the default rule, whatever was written.
    g_answer = {0, 3, 0, 0};
    drawn = DrawnCounts();
    ASSERT_EQ(drawn.size(), 1u);
    EXPECT_NEAR(drawn[0], byRule[0], 1);
    g_answer = {1, 0xFFFF, 0, 0};
    EXPECT_EQ(DrawnCounts(), std::vector<int>{clod->FullTriangleCount()});
    EXPECT_EQ(g_answer.calls, 1);
    EXPECT_EQ(g_answer.user, 77u);
}

TEST_F(SgClodDraw, AHiddenDrawNeitherPushesNorPopsTheMeshsProperties) {
    SgRef<SgAlphaProperty> alpha(new SgAlphaProperty);
    clod->AddRenderProperty(alpha.Get());
    g_answer = {1, 0, 0, 0};
    clod->SetLevelCallback(Ask, 0);
    for (int frame = 0; frame < 2; ++frame) {
        EXPECT_TRUE(DrawnCounts().empty());
        // A pop without its push would have traded the mesh's property for the display's.
        EXPECT_EQ(clod->FindPropertyOfType(alpha->PropertyType()), alpha.Get());
    }
}

TEST_F(SgClodDraw, TheDefaultCallbackIsTakenAtSetUp) {
    SgClod::SetDefaultLevelCallback(Ask, 5);
    SgRef<SgClod> later = MakeClod(built);
    ASSERT_TRUE(later);
    EXPECT_EQ(later->LevelCallback(), &Ask);
    EXPECT_EQ(clod->LevelCallback(), nullptr) << "a mesh set up before keeps its callback";
}

TEST_F(SgClodDraw, DefaultRuleFromProjectedSizeAndFrameArea) {
    holder->UpdateAllStates();
    SgWorldState* state = clod->CurrentState();
    uint16_t small = clod->DefaultTargetTriangles(camera.Get(), state);
    render->targetWidth *= 2;
    render->targetHeight *= 2;
    uint16_t large = clod->DefaultTargetTriangles(camera.Get(), state);
    EXPECT_GT(small, 0);
    EXPECT_NEAR(large, 4 * small, 4) << "the frame's area scales the target";

    // Far away the rule asks for less than the base: the base is drawn.
    clod->detailFactor = 1e-7f;
    EXPECT_EQ(clod->DefaultTargetTriangles(camera.Get(), state), 0);
    std::vector<int> drawn = DrawnCounts();
    EXPECT_EQ(drawn, std::vector<int>{clod->BaseTriangleCount()});

    // A bound at the camera's depth asks for everything; one that is not a number for the base.
    state->worldBound.centre = camera->WorldLocation();
    EXPECT_EQ(clod->DefaultTargetTriangles(camera.Get(), state), 0xFFFF);
    state->worldBound.centre = {10, 0, 0};
    state->worldBound.radius = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(clod->DefaultTargetTriangles(camera.Get(), state), 0);
}

TEST_F(SgClodDraw, DrawHandsTheLevelsArraysInWorldSpace) {
    render->copyArrays = true;
    g_answer = {1, 40, 0, 0};
    clod->SetLevelCallback(Ask, 0);
    RenderRoot(holder.Get());
    std::vector<RenderCall> draws = render->Named("DrawTriShape");
    ASSERT_EQ(draws.size(), 1u);
    const SgClodData& d = *clod->SharedLevel();
    uint16_t n = clod->SlotsInUse(d);
    EXPECT_EQ(draws[0].args[0], std::to_string(d.triangleCount));
    EXPECT_EQ(draws[0].args[1], std::to_string(n));
    const RenderArrays& a = draws[0].arrays;
    ASSERT_EQ(a.indices.size(), 3u * d.triangleCount);
    EXPECT_TRUE(std::equal(a.indices.begin(), a.indices.end(), d.triangles.get()));
    ASSERT_EQ(a.vertices.size(), n);
    for (uint16_t i = 0; i < n; ++i) {
        SgVec3 expected = clod->Vertices()[d.slotMap[i]] + holder->localTranslation;
        EXPECT_EQ(a.vertices[i], expected) << "slot " << i;
    }
    ASSERT_EQ(a.textureSets.size(), n);
    EXPECT_EQ(a.textureSets[n - 1], clod->TextureSet(0)[d.slotMap[n - 1]]);
    uint32_t objects, triangles, vertices;
    SgGeometry::GetRenderCounts(objects, triangles, vertices);
    EXPECT_GE(triangles, d.triangleCount);
}

// Under a turned and scaled parent the world vertices are s R v + t and the world normals R n,
// still of unit length.
TEST_F(SgClodDraw, WorldNormalsAreTurnedButNotScaled) {
    clod->ComputeVertexNormals();
    ASSERT_TRUE(clod->Normals());
    holder->localRotation = SgMat3::Rotation(3, SgHalfPi);  // about x
    holder->localScale = 3;
    render->copyArrays = true;
    RenderRoot(holder.Get());
    std::vector<RenderCall> draws = render->Named("DrawTriShape");
    ASSERT_EQ(draws.size(), 1u);
    const RenderArrays& a = draws[0].arrays;
    const SgClodData& d = *clod->SharedLevel();
    ASSERT_EQ(a.normals.size(), a.vertices.size());
    ASSERT_FALSE(a.normals.empty());
    for (size_t i = 0; i < a.normals.size(); ++i) {
        const SgVec3 turned = holder->localRotation * clod->Normals()[d.slotMap[i]];
        EXPECT_NEAR(a.normals[i].x, turned.x, 1e-5f) << "slot " << i;
        EXPECT_NEAR(a.normals[i].y, turned.y, 1e-5f) << "slot " << i;
        EXPECT_NEAR(a.normals[i].z, turned.z, 1e-5f) << "slot " << i;
        EXPECT_NEAR(a.normals[i].Length(), 1.0f, 1e-5f) << "slot " << i;
        const SgVec3 placed = holder->localRotation * clod->Vertices()[d.slotMap[i]] * 3.0f + holder->localTranslation;
        EXPECT_NEAR(a.vertices[i].x, placed.x, 1e-4f) << "slot " << i;
        EXPECT_NEAR(a.vertices[i].y, placed.y, 1e-4f) << "slot " << i;
        EXPECT_NEAR(a.vertices[i].z, placed.z, 1e-4f) << "slot " << i;
    }
}

TEST_F(SgClodDraw, EachParentKeepsItsOwnLevelUnlessSharingIsAsked) {
    for (uint8_t perState : {uint8_t(1), uint8_t(0)}) {
        SgRef<SgClod> mesh = MakeClod(built);
        ASSERT_TRUE(mesh);
        mesh->perStateData = perState;
        SgRef<SgNode> a(new SgNode), b(new SgNode);
        a->InsertChild(mesh.Get(), false);
        b->InsertChild(mesh.Get(), false);
        SgWorldState* sa = mesh->WorldStates().Find(a.Get());
        SgWorldState* sb = mesh->WorldStates().Find(b.Get());
        ASSERT_TRUE(sa && sb);
        mesh->SetTriangleCount(sa, 0);
        mesh->SetTriangleCount(sb, 0xFFFF);
        EXPECT_EQ(mesh->LevelOf(sa) == mesh->LevelOf(sb), perState == 0);
        EXPECT_EQ(mesh->LevelOf(sa)->triangleCount, perState ? mesh->BaseTriangleCount() : mesh->FullTriangleCount());
        EXPECT_EQ(mesh->LevelOf(sb)->triangleCount, mesh->FullTriangleCount());
    }
}

TEST_F(SgClodDraw, DuplicatingAScenesSharesTheMesh) {
    SgRef<SgAVObject> copy = holder->Duplicate();
    auto* node = SgKindCast<SgNode>(copy.Get());
    ASSERT_TRUE(node);
    EXPECT_EQ(node->ChildAt(0), clod.Get());
    EXPECT_EQ(clod->WorldStates().Count(), 2u);
}

TEST(SgClodNormals, AFlatGridFacesUpAtEveryLevel) {
    ClodBuilt built;
    ASSERT_TRUE(BuildClod(GridMesh(6, 6, 3.0f), {}, built, nullptr));
    SgRef<SgClod> clod = MakeClod(built);
    ASSERT_TRUE(clod);
    clod->ComputeVertexNormals();
    ASSERT_TRUE(clod->Normals());
    for (uint32_t i = 0; i < clod->VertexCount(); ++i) {
        const SgVec3& n = clod->Normals()[i];
        EXPECT_NEAR(n.z, 1.0f, 1e-5f) << "vertex " << i;
        EXPECT_NEAR(n.x, 0.0f, 1e-5f);
        EXPECT_NEAR(n.y, 0.0f, 1e-5f);
    }
}

}  // namespace
