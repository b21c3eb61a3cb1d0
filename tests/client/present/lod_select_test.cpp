// Level-of-detail selection: the distance tables, the forced level, and the one decision each mesh
// makes on its first draw.

#include <gtest/gtest.h>

#include <cfloat>

#include "client/present/lod_select.h"
#include "engine/core/sg_camera.h"
#include "engine/core/sg_node.h"
#include "tools/writers/clod_builder.h"

namespace {

using present::kBodyLodTable;
using present::kOtherLodTable;
using present::LevelFromDistanceTable;

struct TableCase {
    float d;
    uint16_t level;  // of 1000 triangles
};

TEST(LodSelectTest, LevelsByDistanceFollowTheTable) {
    const TableCase cases[] = {
        {0.0f, 1000},      {100.0f, 1000}, {192.0f, 1000},
        {600.0f, 632},     // 1 - (600 - 192) / 832 x 0.75
        {1024.0f, 250},    {5000.0f, 247}, // 0.25 - 3976 / 98976 x 0.05 = 0.24799
        {100000.0f, 200},  {1e7f, 200},    // towards the fifth pair: 0.2 within float precision
    };
    for (const TableCase& c : cases) {
        EXPECT_EQ(LevelFromDistanceTable(kBodyLodTable, 4, c.d, 1000), c.level) << c.d;
        EXPECT_EQ(LevelFromDistanceTable(kOtherLodTable, 4, c.d, 1000), c.level) << c.d;
    }
    EXPECT_NEAR(kBodyLodTable[4].distance, FLT_MAX, 0.0);
    EXPECT_FLOAT_EQ(kBodyLodTable[4].factor, 0.15f);
}

class LodMeshTest : public testing::Test {
protected:
    void SetUp() override {
        ClodBuilt built;
        ASSERT_TRUE(BuildClod(GridMesh(6, 6, 2.0f), {}, built, nullptr));
        mesh = MakeClod(built);
        ASSERT_TRUE(mesh);
        holder = SgRef<SgNode>(new SgNode);
        holder->InsertChild(mesh.Get(), true);
        holder->localTranslation = SgVec3(4.0f, 0.0f, 0.0f);
        holder->UpdateAllStates();
        camera = SgRef<SgCamera>(new SgCamera);
        camera->UpdateAllStates();
    }
    void TearDown() override { present::SetForcedLodLevel(0); }

    // The camera stands at the origin: the mesh is 4 units = 400 hundredths away.
    uint16_t Ask(SgClodLevelCallback callback) {
        uint16_t level = 0xBEEF;
        EXPECT_EQ(callback(mesh.Get(), camera.Get(), 7, &level), 1);
        return level;
    }
    uint16_t Expected(float d) const { return LevelFromDistanceTable(kBodyLodTable, 4, d, mesh->FullTriangleCount()); }

    SgRef<SgClod> mesh;
    SgRef<SgNode> holder;
    SgRef<SgCamera> camera;
};

TEST_F(LodMeshTest, FirstCallChoosesByExactNameOnceAndAnswers) {
    struct NameCase {
        const char* name;
        SgClodLevelCallback installed;
    };
    const NameCase cases[] = {{"Body", present::SelectLodByDistance},
                              {"body", present::SelectLodByDistanceOther},
                              {"Head", present::SelectLodByDistanceOther},
                              {nullptr, present::SelectLodByDistanceOther}};
    ASSERT_GT(mesh->FullTriangleCount(), 40);
    const float d = 400.0f;
    for (const NameCase& c : cases) {
        mesh->AssignName(c.name);
        mesh->SetLevelCallback(present::SelectLodFirstCall, 3);
        EXPECT_EQ(Ask(present::SelectLodFirstCall), Expected(d)) << (c.name ? c.name : "null");
        EXPECT_EQ(mesh->LevelCallback(), c.installed) << (c.name ? c.name : "null");
    }
}

TEST_F(LodMeshTest, ForcedLevelOverridesDistance) {
    struct ForcedCase {
        int forced;
        uint16_t body, other;
    };
    const ForcedCase cases[] = {{12, 12, 2}, {4, 4, 0}, {500, 500, 100}};
    for (const ForcedCase& c : cases) {
        present::SetForcedLodLevel(c.forced);
        EXPECT_EQ(Ask(present::SelectLodByDistance), c.body) << c.forced;
        EXPECT_EQ(Ask(present::SelectLodByDistanceOther), c.other) << c.forced;
    }
    present::SetForcedLodLevel(0);
    EXPECT_EQ(Ask(present::SelectLodByDistance), Expected(400.0f));
}

TEST_F(LodMeshTest, DistanceIsToTheMeshWorldTranslation) {
    camera->localTranslation = SgVec3(4.0f, 6.0f, 0.0f);
    camera->UpdateAllStates();
    EXPECT_EQ(Ask(present::SelectLodByDistanceOther), Expected(600.0f));
    camera->localTranslation = SgVec3(4.0f, 0.0f, 1.0f);
    camera->UpdateAllStates();
    EXPECT_EQ(Ask(present::SelectLodByDistance), mesh->FullTriangleCount());
}

}  // namespace
