// The floor and ceiling a player walks against are the ones the world builder draws: on every
// sloped cell of the sample levels and on a table of made-up slopes, the grid queries' heights at a
// cell's four corners (as collision samples them: x & 63 and y & 63 at 0 or 63) and its centre meet
// the built quads there, short by what collision's rounding down of each product takes (under one
// unit a product); a stair tile whose slope world.dat replaces is walked as a ramp through its
// treads; and on every level of the installation, built whole with its tile marker files as the
// game builds it, the floor walked on lies on the floor drawn.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "client/arena/grid_queries.h"
#include "client/core/error_log.h"
#include "client/core/level_defs.h"
#include "client/level/level_loader.h"
#include "client/present/cell_faces.h"
#include "client/present/camera_set.h"
#include "client/present/grid_layers.h"
#include "client/present/portal_defs.h"
#include "client/present/tile_mesh.h"
#include "client/present/tiles.h"
#include "client/present/world_create.h"
#include "client/present/world_rooms.h"
#include "client/present/world_tables.h"
#include "common/byte_reader.h"
#include "engine/geometry/sg_tri_based_geom.h"
#include "tests/support/recording_present.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

constexpr int kBelowEverything = -1000;
// The drawn quads are floats.
constexpr double kFloatSlack = 1e-3;

// Every level of the sample installation.
constexpr const char* kSampleLevels[] = {"sample", "sample16", "grid00", "dusk", "frost",
                                         "ember",  "swarm",    "turned", "moss", "deep"};

// The height of the built surface straight above or below world point (wx, wy): the first
// non-vertical triangle under `node` whose outline holds the point.
std::optional<double> SurfaceHeightAt(const SgNode* node, double wx, double wy) {
    const double px = wx * 0.01, py = wy * 0.01;
    for (uint32_t c = 0; c < node->ChildCount(); ++c) {
        const auto* shape = SgKindCast<SgTriBasedGeom>(node->ChildAt(c));
        if (!shape)
            continue;
        for (uint32_t t = 0; t < shape->TriangleCount(); ++t) {
            const SgVec3* p[3];
            if (!shape->GetModelTriangle(t, p))
                continue;
            const double area = (p[1]->x - p[0]->x) * (p[2]->y - p[0]->y) - (p[2]->x - p[0]->x) * (p[1]->y - p[0]->y);
            if (std::fabs(area) < 1e-9)
                continue;  // a wall seen from above
            const double a = ((p[1]->x - px) * (p[2]->y - py) - (p[2]->x - px) * (p[1]->y - py)) / area;
            const double b = ((p[2]->x - px) * (p[0]->y - py) - (p[0]->x - px) * (p[2]->y - py)) / area;
            const double g = 1.0 - a - b;
            if (a < -1e-6 || b < -1e-6 || g < -1e-6)
                continue;
            return -(a * p[0]->z + b * p[1]->z + g * p[2]->z) * 100.0;
        }
    }
    return std::nullopt;
}

// Points of a cell as collision samples them, in world units into the cell.
struct Probe {
    int dx, dy;
    const char* name;
};
constexpr Probe kProbes[] = {{0, 0, "x0y0"}, {0, 63, "x0y1"}, {63, 0, "x1y0"}, {63, 63, "x1y1"}, {32, 32, "centre"}};

// Collision rounds each of a slope's two products down: the walked surface lies up to a unit per
// sloped axis below (a ceiling: above) the drawn plane, never the other way.
int RoundingAllowance(int x, int y, int plane) {
    const int n = SlopeEntry(g_level.plane[plane][CellIndex(x, y)]);
    if (!n)
        return 0;
    return (g_level.slopes[n].x != 0) + (g_level.slopes[n].y != 0);
}

// All single quads are built between these limits, as the world builder's floor pass builds them.
constexpr int kLimit = 1000;

// Compares the walked and the drawn floor and ceiling of cell (x, y) of the loaded level.
void ExpectWalkedIsDrawn(int x, int y, const std::string& what) {
    const present::GridLayers g = present::LevelGridLayers(g_level);
    SgRef<SgNode> floor(new SgNode), ceiling(new SgNode);
    present::BuildLowerCellFaces(floor.Get(), g, x, y, present::kWholeCell, -kLimit, kLimit);
    present::BuildUpperCellFaces(ceiling.Get(), g, x, y, present::kWholeCell, -kLimit, kLimit);
    const bool roofed = g_level.plane[kPlaneCeiling][CellIndex(x, y)] != kOpenSky;
    const int floorSlack = RoundingAllowance(x, y, kPlaneSlope);
    const int ceilingSlack = RoundingAllowance(x, y, kPlaneCeilingSlope);
    for (const Probe& p : kProbes) {
        const int wx = x * 64 + p.dx, wy = y * 64 + p.dy;
        const std::string at = what + ", cell " + std::to_string(x) + "," + std::to_string(y) + " " + p.name;
        const std::optional<double> drawn = SurfaceHeightAt(floor.Get(), wx, wy);
        ASSERT_TRUE(drawn) << at << ": no floor drawn";
        const int walked = GetFloorHeight(wx, wy, kBelowEverything, 1);
        EXPECT_LE(walked, *drawn + kFloatSlack) << at << ": walked above the drawn floor";
        EXPECT_GE(walked, *drawn - floorSlack - kFloatSlack) << at << ": walked below the drawn floor";
        if (!roofed)
            continue;
        const std::optional<double> top = SurfaceHeightAt(ceiling.Get(), wx, wy);
        ASSERT_TRUE(top) << at << ": no ceiling drawn";
        const int head = GetCeilingHeight(wx, wy, kBelowEverything);
        EXPECT_GE(head, *top - kFloatSlack) << at << ": walked ceiling below the drawn one";
        EXPECT_LE(head, *top + ceilingSlack + kFloatSlack) << at << ": walked ceiling above the drawn one";
    }
}

void Le32(std::vector<uint8_t>& b, size_t at, int32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i));
}

class WalkedFloor : public testing::Test {
protected:
    void SetUp() override {
        dir.Enter();
        const fs::path install = SAMPLE_INSTALL_DIR;
        for (const char* item : {"sample", "sample16", "textures", "pattern.dat", "monster.dat", "system.dat"})
            fs::copy(install / item, fs::path(dir.Path()) / item, fs::copy_options::recursive);
        OpenErrorLog("error.log");
        present::World().roomOriginX = 0;
        present::World().roomOriginY = 0;
    }
    void TearDown() override { CloseErrorLog(); }

    TempDir dir;
    RecordingPresent recording;
};

TEST_F(WalkedFloor, OnEverySlopeOfTheSampleLevels) {
    for (const char* level : {"sample", "sample16"}) {
        ASSERT_EQ(LoadGrid(level), 1) << level;
        std::set<int> floors, ceilings;
        for (int x = 0; x < kGridSide; ++x)
            for (int y = 0; y < kGridSide; ++y) {
                const int c = CellIndex(x, y);
                const int floor = g_level.plane[kPlaneSlope][c], ceiling = g_level.plane[kPlaneCeilingSlope][c];
                if (!floor && !ceiling)
                    continue;
                floors.insert(floor);
                ceilings.insert(ceiling);
                ExpectWalkedIsDrawn(x, y, level);
            }
        // The eight slope codes of each storey reach slopes 1 to 8: the seven built in and misc.dat's 8.
        for (int n = 1; n <= 8; ++n) {
            EXPECT_TRUE(floors.count(n)) << level << ": floor slope " << n;
            EXPECT_TRUE(ceilings.count(n)) << level << ": ceiling slope " << n;
        }
    }
}

TEST_F(WalkedFloor, OnMadeUpSlopes) {
    struct Case {
        int number;
        int32_t x, y;  // misc.dat's words
    } const cases[] = {
        {1, -8, 4},   {8, 16, -16},  {9, 5, -3},   {42, -100, 27}, {50, 127, 0},  {60, 0, -127},
        {70, -64, -63}, {80, 1, 1},  {90, -1, -1}, {97, 63, -64},  {98, -32, 32}, {99, -32, 0},
        {255, 32, 0},
    };
    std::vector<uint8_t> misc(80250 + 99 * 16);
    for (const Case& k : cases)
        if (k.number < kMaxSlopes) {
            Le32(misc, 80250 + k.number * 16, k.x);
            Le32(misc, 80250 + k.number * 16 + 4, k.y);
        }
    ClearLevelDefs();
    ASSERT_EQ(LoadSlopeDefs(ByteReader(misc.data(), misc.size())), 1);
    for (int c = 0; c < kGridCells; ++c) {
        g_level.plane[kPlaneFloor][c] = 100;
        g_level.plane[kPlaneCeiling][c] = 400;
        g_level.plane[kPlaneStoreySplit][c] = kOpenSky;
        g_level.plane[kPlaneUpperCeiling][c] = kOpenSky;
        for (int texture : {kPlaneFloorTexture, kPlaneLowerWallTexture, kPlaneCeilingTexture, kPlaneUpperWallTexture})
            g_level.plane[texture][c] = 1;
    }
    int x = 10;
    for (const Case& k : cases) {
        g_level.plane[kPlaneSlope][CellIndex(x, 10)] = static_cast<int16_t>(k.number);
        g_level.plane[kPlaneCeilingSlope][CellIndex(x, 10)] = static_cast<int16_t>(k.number);
        ExpectWalkedIsDrawn(x, 10, "slope " + std::to_string(k.number));
        if (k.number >= kMaxSlopes) {
            EXPECT_EQ(GetFloorHeight(x * 64 + 63, 10 * 64, kBelowEverything, 1), 100) << "past the table: flat";
            EXPECT_EQ(GetCeilingHeight(x * 64 + 63, 10 * 64, kBelowEverything), 400) << "past the table: flat";
        }
        x += 2;
    }
}

// The non-vertical triangles of a whole built world, in world units, each with its outline's box.
struct DrawnTriangle {
    SgVec3 p[3];
    float minX, maxX, minY, maxY;
};

void CollectTriangles(const SgNode* node, std::vector<DrawnTriangle>& out) {
    for (uint32_t c = 0; c < node->ChildCount(); ++c) {
        const SgAVObject* child = node->ChildAt(c);
        if (const auto* shape = SgKindCast<SgTriBasedGeom>(child)) {
            for (uint32_t t = 0; t < shape->TriangleCount(); ++t) {
                const SgVec3* p[3];
                if (!shape->GetModelTriangle(t, p))
                    continue;
                DrawnTriangle d;
                for (int k = 0; k < 3; ++k)
                    d.p[k] = SgVec3(p[k]->x * 100, p[k]->y * 100, -p[k]->z * 100);
                const double area = (d.p[1].x - d.p[0].x) * (d.p[2].y - d.p[0].y) -
                                    (d.p[2].x - d.p[0].x) * (d.p[1].y - d.p[0].y);
                if (std::fabs(area) < 1e-3)
                    continue;  // a wall seen from above
                d.minX = std::min({d.p[0].x, d.p[1].x, d.p[2].x});
                d.maxX = std::max({d.p[0].x, d.p[1].x, d.p[2].x});
                d.minY = std::min({d.p[0].y, d.p[1].y, d.p[2].y});
                d.maxY = std::max({d.p[0].y, d.p[1].y, d.p[2].y});
                out.push_back(d);
            }
        } else if (const auto* inner = SgKindCast<SgNode>(child)) {
            CollectTriangles(inner, out);
        }
    }
}

// Of every surface drawn straight above or below (wx, wy), the height nearest to `near`.
std::optional<double> NearestDrawnHeight(const std::vector<DrawnTriangle>& tris, double wx, double wy, double near) {
    std::optional<double> best;
    for (const DrawnTriangle& d : tris) {
        if (wx < d.minX - 1e-3 || wx > d.maxX + 1e-3 || wy < d.minY - 1e-3 || wy > d.maxY + 1e-3)
            continue;
        const SgVec3* p = d.p;
        const double area = (p[1].x - p[0].x) * (p[2].y - p[0].y) - (p[2].x - p[0].x) * (p[1].y - p[0].y);
        const double a = ((p[1].x - wx) * (p[2].y - wy) - (p[2].x - wx) * (p[1].y - wy)) / area;
        const double b = ((p[2].x - wx) * (p[0].y - wy) - (p[0].x - wx) * (p[2].y - wy)) / area;
        const double g = 1.0 - a - b;
        if (a < -1e-6 || b < -1e-6 || g < -1e-6)
            continue;
        const double h = a * p[0].z + b * p[1].z + g * p[2].z;
        if (!best || std::fabs(h - near) < std::fabs(*best - near))
            best = h;
    }
    return best;
}

// The highest step between neighbouring sub-cells of a tile's profile (at least 1).
int TreadStep(const uint16_t* treads) {
    int step = 1;
    for (int i = 0; i < 8; ++i)
        for (int j = 0; j < 8; ++j) {
            if (i < 7)
                step = std::max(step, std::abs(treads[i * 8 + j] - treads[(i + 1) * 8 + j]));
            if (j < 7)
                step = std::max(step, std::abs(treads[i * 8 + j] - treads[i * 8 + j + 1]));
        }
    return step;
}

// Through the world builder the game runs, with each level's own tile marker files: on every
// sloped cell and every stair tile whose slope world.dat replaces, the floor walked on lies on a
// drawn floor (a ramp within a tread of the treads drawn; a slope within collision's rounding).
TEST_F(WalkedFloor, OnEveryLevelAsTheWorldBuilderDrawsIt) {
    const fs::path install = SAMPLE_INSTALL_DIR;
    for (const char* level : kSampleLevels)
        if (!fs::exists(fs::path(dir.Path()) / level))
            fs::copy(install / level, fs::path(dir.Path()) / level, fs::copy_options::recursive);
    present::Cameras().sceneRoot = SgRef<SgNode>(new SgNode);
    for (int s = 1; s < present::kTextureSlots; ++s)
        present::Textures().maps[s] = SgRef<SgTextureProperty>(new SgTextureProperty);
    for (const char* level : kSampleLevels) {
        ASSERT_EQ(LoadGrid(level), 1) << level;
        auto defs = std::make_unique<present::RoomPortalDefs>();
        present::LoadRoomsAndPortals(level, defs.get());
        present::BuildWorldRooms(*defs, present::LevelGridLayers(g_level), level);
        std::vector<DrawnTriangle> drawn;
        CollectTriangles(present::World().worldRoot.Get(), drawn);
        int stairs = 0, slopes = 0;
        for (int x = 0; x < kGridSide; ++x)
            for (int y = 0; y < kGridSide; ++y) {
                const int c = CellIndex(x, y);
                const int tile = g_level.plane[kPlaneTile][c];
                const bool stair = tile > 0 && tile < kMaxTiles && g_level.tiles[tile].slope;
                const bool sloped = g_level.plane[kPlaneSlope][c] != 0 && !tile;
                if (!stair && !sloped)
                    continue;
                (stair ? stairs : slopes)++;
                // Below the walked floor by less than a tread, or by collision's rounding of a slope.
                const int below = stair ? TreadStep(g_level.tiles[tile].floor) : 1;
                const int above = stair ? 0 : RoundingAllowance(x, y, kPlaneSlope);
                for (int wx = x * 64; wx < x * 64 + 64; wx += 7)
                    for (int wy = y * 64; wy < y * 64 + 64; wy += 7) {
                        const int walked = GetFloorHeight(wx, wy, kBelowEverything, 1);
                        // Inside the unit, clear of the edges where two treads meet.
                        const std::optional<double> floor = NearestDrawnHeight(drawn, wx + 0.5, wy + 0.5, walked);
                        const std::string at = std::string(level) + " cell " + std::to_string(x) + "," +
                                               std::to_string(y) + " at " + std::to_string(wx) + "," +
                                               std::to_string(wy) + " walked " + std::to_string(walked);
                        ASSERT_TRUE(floor) << at << ": nothing drawn";
                        EXPECT_GE(walked, *floor - above - 0.5 - kFloatSlack) << at << ": walked below the drawn floor "
                                                                                << *floor;
                        EXPECT_LT(walked, *floor + below + kFloatSlack) << at << ": walked above the drawn floor "
                                                                        << *floor;
                    }
            }
        EXPECT_GT(stairs + slopes, 0) << level;
    }
    present::World().worldRoot = SgRef<SgNode>();
    present::Cameras() = present::CameraSet{};
    for (int s = 1; s < present::kTextureSlots; ++s)
        present::Textures().maps[s] = SgRef<SgTextureProperty>();
}

TEST_F(WalkedFloor, AStairTileWhoseSlopeIsReplacedIsWalkedAsARampThroughItsTreads) {
    ASSERT_EQ(LoadGrid("sample"), 1);
    const present::GridLayers g = present::LevelGridLayers(g_level);
    int stairs = 0;
    for (int x = 0; x < kGridSide; ++x)
        for (int y = 0; y < kGridSide; ++y) {
            const int tile = g.Tile(CellIndex(x, y));
            if (!tile || !g_level.tiles[tile].slope)
                continue;
            ++stairs;
            const int step = TreadStep(g_level.tiles[tile].floor);
            SgRef<SgNode> mesh(new SgNode);
            present::BuildTileMesh(mesh.Get(), g, x, y, -kLimit, kLimit);
            for (int wx = x * 64; wx < x * 64 + 64; wx += 3)
                for (int wy = y * 64; wy < y * 64 + 64; wy += 3) {
                    const std::string at = "cell " + std::to_string(x) + "," + std::to_string(y) + " at " +
                                           std::to_string(wx) + "," + std::to_string(wy);
                    // Inside the unit, clear of the edges where two treads meet.
                    const std::optional<double> tread = SurfaceHeightAt(mesh.Get(), wx + 0.5, wy + 0.5);
                    ASSERT_TRUE(tread) << at;
                    const int walked = GetFloorHeight(wx, wy, kBelowEverything, 1);
                    EXPECT_GE(walked, *tread - kFloatSlack) << at << ": below the tread";
                    EXPECT_LT(walked, *tread + step) << at << ": at or above the next tread";
                }
        }
    EXPECT_GT(stairs, 0) << "the sample has a stair tile with a slope";
}

}  // namespace
