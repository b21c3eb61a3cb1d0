// Cell faces and quads: what one cell of a small in-memory grid builds (positions in world units
// and texture slots), wall banding and clipping, liquid, the limits, off-grid neighbours, the
// layer values that name nothing, the merge tests and slope corners, and vertex lighting.

#include <gtest/gtest.h>

#include "client/present/cell_faces.h"
#include "client/present/quads.h"
#include "client/present/world_lighting.h"
#include "client/present/world_tables.h"
#include "tests/client/present/cell_grid.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace celltest;
using present::WallBand;

class CellFacesTest : public testing::Test {
protected:
    void SetUp() override {
        FillTextureSlots({1, 2, 3, 4, 5, 6});
        target = SgRef<SgNode>(new SgNode);
        present::World().roomOriginX = 0;
        present::World().roomOriginY = 0;
    }
    void TearDown() override {
        present::ReleaseWorldTextures();
        present::ClearPreburnLights();
    }
    std::vector<std::string> Built() const { return Quads(target.Get()); }

    CellGrid grid;
    SgRef<SgNode> target;
    TempDir dir;
};

TEST_F(CellFacesTest, AnOpenCellGetsItsFloorAndCeiling) {
    EXPECT_EQ(present::BuildCellFace(target.Get(), grid.Layers(), dir.Path().c_str(), 5, 5, 0, -1000, 1000), 1);
    EXPECT_EQ(Built(), (std::vector<std::string>{
                           "1: (320 320 0) (320 384 0) (384 320 0) (384 384 0)",
                           "4: (320 320 256) (384 320 256) (320 384 256) (384 384 256)",
                       }));
}

TEST_F(CellFacesTest, ASolidCellGetsNoFloorButItsSides) {
    grid.Set(kPlaneFloor, 5, 5, 128);
    grid.Set(kPlaneCeiling, 5, 5, 128);
    present::BuildLowerCellFaces(target.Get(), grid.Layers(), 5, 5, 0, -1000, 1000);
    EXPECT_EQ(Built(), (std::vector<std::string>{
                           "2: (320 320 128) (320 320 0) (320 384 128) (320 384 0)",
                           "2: (384 320 128) (384 384 128) (384 320 0) (384 384 0)",
                           "2: (320 320 128) (384 320 128) (320 320 0) (384 320 0)",
                           "2: (320 384 128) (320 384 0) (384 384 128) (384 384 0)",
                       }));
    // Above the block the neighbours' open space sees its upper sides, from 128 to their ceiling,
    // cut at 192.
    target = SgRef<SgNode>(new SgNode);
    present::BuildUpperCellFaces(target.Get(), grid.Layers(), 5, 5, 0, -1000, 1000);
    ASSERT_EQ(Built().size(), 8u);
    EXPECT_EQ(Built()[0], "3: (320 320 192) (320 320 128) (320 384 192) (320 384 128)");
    EXPECT_EQ(Built()[1], "3: (320 320 256) (320 320 192) (320 384 256) (320 384 192)");
}

TEST_F(CellFacesTest, WallsAreCutAtMultiplesOf192AndClippedToTheLimits) {
    struct BandCase {
        WallBand band;
        int lo, hi;
        std::vector<std::string> quads;
    };
    const BandCase cases[] = {
        {{500, 500, 100, 100}, -1000, 1000,
         {"2: (320 320 192) (320 320 100) (320 384 192) (320 384 100)",
          "2: (320 320 384) (320 320 192) (320 384 384) (320 384 192)",
          "2: (320 320 500) (320 320 384) (320 384 500) (320 384 384)"}},
        {{500, 500, 100, 100}, 0, 300,
         {"2: (320 320 192) (320 320 100) (320 384 192) (320 384 100)",
          "2: (320 320 300) (320 320 192) (320 384 300) (320 384 192)"}},
        {{500, 500, 100, 100}, 120, 1000,
         {"2: (320 320 192) (320 320 120) (320 384 192) (320 384 120)",
          "2: (320 320 384) (320 320 192) (320 384 384) (320 384 192)",
          "2: (320 320 500) (320 320 384) (320 384 500) (320 384 384)"}},
        {{500, 500, 400, 400}, 0, 300, {}},   // all above hi
        {{100, 100, 0, 0}, 200, 1000, {}},    // all below lo
        {{100, 100, 100, 100}, -1000, 1000, {}},
        {{500, 500, 100, 100}, -1000, 1000, {}},  // slot 0 below
        // A sloped band: cut where both tops pass the step.
        {{200, 400, 0, 0}, -1000, 1000,
         {"2: (320 320 192) (320 320 0) (320 384 192) (320 384 0)",
          "2: (320 320 200) (320 320 192) (320 384 400) (320 384 192)"}},
    };
    int n = 0;
    for (const BandCase& c : cases) {
        target = SgRef<SgNode>(new SgNode);
        const int slot = n == 6 ? 0 : kLowerWallSlot;
        present::AddWallXMinus(target.Get(), 5, 5, c.band, slot, 0, c.lo, c.hi);
        EXPECT_EQ(Built(), c.quads) << "case " << n;
        ++n;
    }
}

TEST_F(CellFacesTest, FloorsStopAtTheLimitsWhileLiquidReachesThem) {
    struct LimitCase {
        int h, lo, hi;
        size_t floors, liquids;
    };
    const LimitCase cases[] = {{0, 0, 256, 0, 1}, {256, 0, 256, 0, 1}, {10, 0, 256, 1, 1}, {300, 0, 256, 0, 0}};
    for (const LimitCase& c : cases) {
        target = SgRef<SgNode>(new SgNode);
        present::AddFloorQuad(target.Get(), 5, 5, c.h, kFloorSlot, nullptr, c.lo, c.hi);
        present::AddCeilingQuad(target.Get(), 5, 5, c.h, kCeilingSlot, nullptr, c.lo, c.hi);
        EXPECT_EQ(Built().size(), 2 * c.floors) << c.h;
        target = SgRef<SgNode>(new SgNode);
        present::AddLiquidQuad(target.Get(), 5, 5, c.h, kFloorSlot, c.lo, c.hi, 50);
        EXPECT_EQ(Built().size(), c.liquids) << c.h;
    }
}

TEST_F(CellFacesTest, LiquidSurfaceBlendsOverItsBed) {
    grid.Set(kPlaneLiquidDepth, 5, 5, 32);
    present::BuildLowerCellFaces(target.Get(), grid.Layers(), 5, 5, 0, -1000, 1000);
    const auto quads = Built();
    ASSERT_GE(quads.size(), 2u);
    EXPECT_EQ(quads[0], "1: (320 320 0) (320 384 0) (384 320 0) (384 384 0)");
    EXPECT_EQ(quads[1], "2: (320 320 -32) (320 384 -32) (384 320 -32) (384 384 -32)");
    SgAVObject* surface = target->ChildAt(0);
    auto* alpha = static_cast<SgAlphaProperty*>(surface->FindPropertyOfType(SG_ALPHA_PROPERTY));
    auto* z = static_cast<SgZBufferProperty*>(surface->FindPropertyOfType(SG_ZBUFFER_PROPERTY));
    auto* material = static_cast<SgMaterialProperty*>(surface->FindPropertyOfType(SG_MATERIAL_PROPERTY));
    ASSERT_TRUE(alpha && z && material);
    EXPECT_EQ(alpha->blendOn, 1);
    EXPECT_EQ(alpha->sourceBlend, 6u);
    EXPECT_EQ(alpha->destinationBlend, 7u);
    EXPECT_EQ(z->depthTest, 1);
    EXPECT_EQ(z->depthWrite, 0);
    EXPECT_FLOAT_EQ(material->alpha, 0.5f);
    EXPECT_EQ(material->diffuse, SgRgb(1, 1, 1));
    EXPECT_EQ(material->ambient, SgRgb(0, 0, 0));
    // The bed has none of them.
    EXPECT_EQ(target->ChildAt(1)->FindPropertyOfType(SG_ALPHA_PROPERTY), nullptr);
}

TEST_F(CellFacesTest, OffGridNeighboursAreAbsent) {
    grid.Set(kPlaneFloor, 0, 5, 100);
    present::BuildLowerCellFaces(target.Get(), grid.Layers(), 0, 5, 0, -1000, 1000);
    // The floor and three sides; nothing toward x = -1.
    const auto quads = Built();
    ASSERT_EQ(quads.size(), 4u);
    EXPECT_EQ(quads[1], "2: (64 320 100) (64 384 100) (64 320 0) (64 384 0)");
    target = SgRef<SgNode>(new SgNode);
    for (int code : {0, 2, 3})
        EXPECT_EQ(present::BuildCellFace(target.Get(), grid.Layers(), dir.Path().c_str(), -1, 5, code, -1000, 1000), 0);
    EXPECT_EQ(present::BuildCellFace(target.Get(), grid.Layers(), dir.Path().c_str(), 5, 128, 1, -1000, 1000), 0);
    grid.Set(kPlaneFloor, 127, 127, 100);
    present::BuildLowerCellFaces(target.Get(), grid.Layers(), 127, 127, 0, -1000, 1000);
    EXPECT_EQ(Built().size(), 3u);
}

TEST_F(CellFacesTest, LayerValuesThatNameNothing) {
    grid.Set(kPlaneTile, 5, 5, 150);
    grid.Set(kPlaneSlope, 5, 5, 200);
    grid.Set(kPlaneFloorTexture, 5, 5, 252);
    const present::GridLayers g = grid.Layers();
    EXPECT_EQ(g.Tile(CellIndex(5, 5)), 0);
    int corners[4] = {9, 9, 9, 9};
    EXPECT_EQ(present::GetFloorSlopeCorners(corners, g, CellIndex(5, 5)), 0);
    EXPECT_EQ(std::vector<int>(corners, corners + 4), (std::vector<int>{0, 0, 0, 0}));
    EXPECT_EQ(present::BuildCellFace(target.Get(), g, dir.Path().c_str(), 5, 5, 0, -1000, 1000), 1);
    // The floor is built untextured.
    EXPECT_EQ(Built()[0], "0: (320 320 0) (320 384 0) (384 320 0) (384 384 0)");
}

TEST_F(CellFacesTest, TheTablesLastEntriesAndOnePastThem) {
    struct Case {
        int plane, value, read;
    } const cases[] = {
        {kPlaneTile, 99, 99}, {kPlaneTile, 100, 0}, {kPlaneSlope, 98, 98}, {kPlaneSlope, 99, 0},
        {kPlaneCeilingSlope, 98, 98}, {kPlaneCeilingSlope, 99, 0},
    };
    for (const Case& c : cases) {
        CellGrid cells;
        cells.Set(c.plane, 5, 5, c.value);
        const present::GridLayers g = cells.Layers();
        const int read = c.plane == kPlaneTile    ? g.Tile(CellIndex(5, 5))
                         : c.plane == kPlaneSlope ? g.FloorSlope(CellIndex(5, 5))
                                                  : g.CeilingSlope(CellIndex(5, 5));
        EXPECT_EQ(read, c.read) << c.plane << " " << c.value;
    }
    // Tile 100 is no tile: the cell gets its plain floor, not a height mesh.
    grid.Set(kPlaneTile, 5, 5, 100);
    EXPECT_EQ(present::BuildCellFace(target.Get(), grid.Layers(), dir.Path().c_str(), 5, 5, 0, -1000, 1000), 1);
    ASSERT_FALSE(Built().empty());
    EXPECT_EQ(Built()[0], "1: (320 320 0) (320 384 0) (384 320 0) (384 384 0)");
}

TEST_F(CellFacesTest, CellsOutsideTheWorldOrMarkedNilGetNothing) {
    grid.Set(kPlaneUpperCeiling, 5, 5, 0);
    EXPECT_EQ(present::BuildCellFace(target.Get(), grid.Layers(), dir.Path().c_str(), 5, 5, 0, -1000, 1000), 0);
    grid.Set(kPlaneUpperCeiling, 5, 5, 1024);
    grid.Set(kPlaneTile, 5, 5, 7);
    dir.Write("tiles/tile7.nil", "");
    for (int code = 0; code <= 4; ++code)
        EXPECT_EQ(present::BuildCellFace(target.Get(), grid.Layers(), dir.Path().c_str(), 5, 5, code, -1000, 1000),
                  0);
    EXPECT_TRUE(Built().empty());
}

TEST_F(CellFacesTest, SlopedFloorsFollowTheirCorners) {
    grid.level->slopes[3] = SlopeDef{10, 20, 5, 0};
    grid.Set(kPlaneSlope, 5, 5, 3);
    int corners[4];
    EXPECT_EQ(present::GetFloorSlopeCorners(corners, grid.Layers(), CellIndex(5, 5)), 1);
    EXPECT_EQ(std::vector<int>(corners, corners + 4), (std::vector<int>{5, 25, 15, 35}));
    present::BuildLowerCellFaces(target.Get(), grid.Layers(), 5, 5, 0, -1000, 1000);
    const auto quads = Built();
    ASSERT_GE(quads.size(), 1u);
    EXPECT_EQ(quads[0], "1: (320 320 5) (320 384 25) (384 320 15) (384 384 35)");
    // Equal floors with different slopes: a step face from the corner heights.
    EXPECT_EQ(quads.size(), 5u);
}

TEST_F(CellFacesTest, MergeTests) {
    struct MergeCase {
        const char* what;
        int plane, x, y, value;
        int floorBlock, floorPair, ceilingBlock, ceilingPair;
    };
    const MergeCase cases[] = {
        {"all alike", kPlaneSpare, 5, 5, 0, 1, 1, 1, 1},
        {"second row differs in floor", kPlaneFloor, 6, 5, 8, 0, 1, 1, 1},
        {"pair partner differs in floor", kPlaneFloor, 5, 6, 8, 0, 0, 1, 1},
        {"a floor slope", kPlaneSlope, 6, 6, 2, 0, 1, 1, 1},
        {"a ceiling texture", kPlaneCeilingTexture, 5, 6, 9, 1, 1, 0, 0},
        {"liquid", kPlaneLiquidDepth, 5, 6, 4, 0, 0, 1, 1},
        {"a solid partner", kPlaneCeiling, 5, 6, 0, 0, 0, 0, 0},
    };
    for (const MergeCase& c : cases) {
        CellGrid g;
        g.Set(c.plane, c.x, c.y, c.value);
        const present::GridLayers layers = g.Layers();
        EXPECT_EQ(present::CanMergeFloorBlock(5, 5, layers), c.floorBlock) << c.what;
        EXPECT_EQ(present::CanMergeFloorPair(5, 5, layers), c.floorPair) << c.what;
        EXPECT_EQ(present::CanMergeCeilingBlock(5, 5, layers), c.ceilingBlock) << c.what;
        EXPECT_EQ(present::CanMergeCeilingPair(5, 5, layers), c.ceilingPair) << c.what;
    }
    CellGrid g;
    EXPECT_EQ(present::CanMergeFloorBlock(127, 5, g.Layers()), 0);
    EXPECT_EQ(present::CanMergeFloorPair(5, 127, g.Layers()), 0);
}

TEST_F(CellFacesTest, FloorsFaceUpAndCeilingsDown) {
    // A light above the floor and below the ceiling, at mid height.
    present::PutPreburnLight(352, 352, 128, 200, 400, 255, 255, 255);
    present::BuildCellFace(target.Get(), grid.Layers(), dir.Path().c_str(), 5, 5, 0, -1000, 1000);
    for (uint32_t i = 0; i < 2; ++i) {
        auto* shape = SgKindCast<SgTriBasedGeom>(target->ChildAt(i));
        ASSERT_NE(shape, nullptr);
        EXPECT_GT(shape->Colors()[0].r, 0.0f) << i;
    }
    present::ClearPreburnLights();
    present::PutPreburnLight(352, 352, 300, 400, 400, 255, 255, 255);
    target = SgRef<SgNode>(new SgNode);
    present::BuildCellFace(target.Get(), grid.Layers(), dir.Path().c_str(), 5, 5, 0, -1000, 1000);
    // Above the ceiling: the ceiling faces away; the floor still faces it (nothing casts shadows).
    EXPECT_GT(SgKindCast<SgTriBasedGeom>(target->ChildAt(0))->Colors()[0].r, 0.0f);
    EXPECT_EQ(SgKindCast<SgTriBasedGeom>(target->ChildAt(1))->Colors()[0].r, 0.0f);
}

TEST(FaceNormalTest, UnitCrossProductOrZero) {
    const SgVec3 n = present::FaceNormal(SgVec3(0, 0, 0), SgVec3(0, 2, 0), SgVec3(2, 0, 0));
    EXPECT_EQ(n, SgVec3(0, 0, -1));
    EXPECT_EQ(present::FaceNormal(SgVec3(1, 1, 1), SgVec3(1, 1, 1), SgVec3(2, 2, 2)), SgVec3(0, 0, 0));
}

}  // namespace
