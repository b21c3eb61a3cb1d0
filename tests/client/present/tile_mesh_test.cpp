// The tile height mesh: profile statistics, and the strips and step faces of a profile whose
// half stands 32 units high (coarse, with the flat fallback).

#include <gtest/gtest.h>

#include "client/present/tile_mesh.h"
#include "client/present/world_tables.h"
#include "tests/client/present/cell_grid.h"

namespace {

using namespace celltest;

class TileMeshTest : public testing::Test {
protected:
    void SetUp() override {
        FillTextureSlots({1, 2, 3, 4, 5, 6});
        present::World().roomOriginX = 0;
        present::World().roomOriginY = 0;
        for (int i = 0; i < 8; ++i)
            for (int j = 0; j < 8; ++j)
                grid.level->tiles[4].floor[i * 8 + j] = i < 4 ? 32 : 0;
        grid.Set(kPlaneTile, 5, 5, 4);
    }
    void TearDown() override { present::ReleaseWorldTextures(); }

    CellGrid grid;
};

TEST_F(TileMeshTest, ProfileStatistics) {
    const TileDef* tiles = grid.level->tiles;
    EXPECT_TRUE(present::TileProfileIsCoarse(tiles, 4));
    EXPECT_EQ(present::CountFlatSubcells(tiles, 4), 32);
    EXPECT_EQ(present::MaxSubcellHeight(tiles, 4), 32);
    EXPECT_EQ(present::CountEqualRowNeighbours(tiles, 4), 56);
    EXPECT_EQ(present::CountEqualColumnNeighbours(tiles, 4), 48);
    grid.level->tiles[4].floor[9] = 1;
    EXPECT_FALSE(present::TileProfileIsCoarse(tiles, 4));
    for (int tile : {0, 100, -1}) {
        EXPECT_FALSE(present::TileProfileIsCoarse(tiles, tile));
        EXPECT_EQ(present::CountFlatSubcells(tiles, tile), 0);
        EXPECT_EQ(present::MaxSubcellHeight(tiles, tile), 0);
        EXPECT_EQ(present::CountEqualRowNeighbours(tiles, tile), 0);
    }
}

TEST_F(TileMeshTest, HalfRaisedCoarseProfile) {
    SgRef<SgNode> target(new SgNode);
    present::BuildTileMesh(target.Get(), grid.Layers(), 5, 5, -1000, 1000);
    EXPECT_EQ(Quads(target.Get()), (std::vector<std::string>{
                                         // The flat fallback's plain floor.
                                         "1: (320 320 0) (320 384 0) (384 320 0) (384 384 0)",
                                         // Strips along y, two sub-cells wide.
                                         "1: (320 320 32) (320 384 32) (336 320 32) (336 384 32)",
                                         "1: (336 320 32) (336 384 32) (352 320 32) (352 384 32)",
                                         // The step down inside the cell.
                                         "2: (352 320 32) (352 384 32) (352 320 0) (352 384 0)",
                                         // Border steps toward x - 1, y - 1 and y + 1.
                                         "2: (320 320 32) (320 320 0) (320 384 32) (320 384 0)",
                                         "2: (320 320 32) (352 320 32) (320 320 0) (352 320 0)",
                                         "2: (320 384 32) (320 384 0) (352 384 32) (352 384 0)",
                                     }));
}

TEST_F(TileMeshTest, LimitsAndOffGridBorders) {
    SgRef<SgNode> target(new SgNode);
    present::BuildTileMesh(target.Get(), grid.Layers(), 5, 5, 100, 1000);
    EXPECT_TRUE(Quads(target.Get()).empty());
    // A floor above hi keeps only what the flat fallback built (nothing within the limits here).
    present::BuildTileMesh(target.Get(), grid.Layers(), 5, 5, -1000, -10);
    EXPECT_TRUE(Quads(target.Get()).empty());
    // At the grid's edge the border toward x = -1 builds nothing.
    grid.Set(kPlaneTile, 0, 5, 4);
    present::BuildTileMesh(target.Get(), grid.Layers(), 0, 5, -1000, 1000);
    EXPECT_EQ(Quads(target.Get()).size(), 6u);
}

}  // namespace
