// The maps derived from the grid planes and the fixture definitions of world.dat.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "client/arena/grid_queries.h"
#include "client/core/config_file.h"
#include "client/level/level_loader.h"
#include "tests/client/arena/level_fixture.h"
#include "tests/support/temp_dir.h"

namespace {

using LevelMaps = LevelFixture;

TEST_F(LevelMaps, MarkerCodesBecomeCellKindsAndIndexes) {
    struct Case {
        int code, kind, index, kept;
    } cases[] = {
        {0, 0, 0, 0},      {5, 0, 0, 5},      {99, 0, 0, 99},    {100, 2, 0, 0},   {101, 3, 0, 0},
        {102, 4, 0, 0},    {103, 0, 0, 103},  {110, 5, 0, 0},    {111, 0, 120, 0}, {119, 0, 0, 119},
        {120, 0, 20, 0},   {125, 0, 25, 0},   {148, 0, 48, 0},   {149, 0, 0, 149}, {150, 0, 50, 0},
        {168, 0, 68, 0},   {169, 0, 0, 169},  {170, 0, 70, 0},   {178, 0, 78, 0},  {179, 0, 0, 179},
        {200, 0, 0, 0},    {209, 0, 9, 0},    {210, 0, 10, 0},   {211, 0, 81, 0},  {219, 0, 89, 0},
        {220, 0, 90, 0},   {248, 0, 118, 0},  {249, 0, 0, 249},  {250, 1, 0, 0},   {255, 1, 0, 0},
    };
    for (size_t i = 0; i < std::size(cases); ++i)
        g_level.plane[kPlaneMarker][i] = static_cast<int16_t>(cases[i].code);
    ConvertCellMarkers();
    for (size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(g_level.cellKind[i], cases[i].kind) << cases[i].code;
        EXPECT_EQ(g_level.cellIndex[i], cases[i].index) << cases[i].code;
        EXPECT_EQ(g_level.plane[kPlaneMarker][i], cases[i].kept) << cases[i].code;
    }
}

// Flag 0x40 marks the cell kinds 1 to 4 and no other.
TEST_F(LevelMaps, TheKindFlagMarksKindsOneToFour) {
    for (int kind = 0; kind <= 6; ++kind) {
        const int cell = CellIndex(20 + kind, 20);
        g_level.cellKind[cell] = static_cast<uint8_t>(kind);
        BuildCellFlags();
        EXPECT_EQ((g_level.cellFlags[cell] & 0x40) != 0, kind >= 1 && kind <= 4) << kind;
    }
}

TEST_F(LevelMaps, HeightMapSpotValues) {
    BuildHeightMaps();
    struct Case {
        int map, i, j, value;
    } cases[] = {
        {0, 10, 10, 0},   {1, 10, 20, 10},  {1, 60, 20, 3},   {2, 0, 5, 32},    {2, 31, 5, 1},    {2, 32, 5, 0},
        {3, 15, 0, 0},    {3, 16, 0, 16},   {3, 62, 0, 48},   {3, 63, 0, 63},   {4, 0, 9, 20},     {4, 30, 9, 0},
        {4, 63, 9, 20},    {4, 34, 0, 0},    {5, 0, 0, 24},     {5, 10, 0, 7},    {6, 53, 0, 7},    {7, 0, 10, 7},
        {8, 0, 53, 7},    {9, 32, 32, 64},  {9, 32, 48, 16},  {9, 0, 0, 0},     {10, 32, 32, 32}, {11, 0, 59, 13},
        {12, 32, 32, 128}, {12, 0, 32, 0},  {12, 1, 32, 128}, {13, 32, 0, 24},  {14, 31, 0, 24},  {15, 0, 63, 31},
        {16, 0, 0, 31},   {17, 32, 63, 24}, {21, 32, 63, 31}, {25, 0, 0, 52},   {25, 62, 0, 0},   {25, 31, 0, 8},
        {26, 63, 0, 52},  {27, 0, 31, 8},   {28, 0, 32, 8},   {33, 63, 0, 31},  {34, 63, 0, 0},   {36, 0, 1, 31},
        {38, 63, 0, 0},   {39, 0, 63, 15},  {40, 0, 63, 1},   {40, 0, 0, 16},   {41, 0, 0, 0},    {45, 31, 0, 17},
        {1, 20, 63, 0},   {19, 0, 0, 31},   {20, 0, 0, 0},    {29, 0, 0, 52},   {46, 32, 0, 17},  {47, 0, 31, 17},  {48, 0, 32, 17},  {49, 0, 0, 15},   {49, 20, 0, 0},   {49, 63, 0, 15},  {50, 0, 60, 12},
    };
    for (const Case& c : cases)
        EXPECT_EQ(g_level.heightMaps[c.map][c.i * 64 + c.j], c.value) << "map " << c.map << " at " << c.i << "," << c.j;
}

TEST_F(LevelMaps, LightFalloff) {
    BuildLightFalloff(24, 2);
    EXPECT_EQ(g_level.lightFalloffMode, 2);
    struct Case {
        int i, j, value;
    } cases[] = {{32, 32, 24}, {32, 42, 14}, {32, 56, 0}, {0, 0, 0}, {35, 36, 19}};
    for (const Case& c : cases)
        EXPECT_EQ(g_level.lightFalloff[c.i * 64 + c.j], c.value) << c.i << "," << c.j;
}

TEST_F(LevelMaps, SlopeCodesMoveToTheSlopePlanes) {
    g_level.wordsPerCell = 16;
    g_level.plane[kPlaneSlope][5] = 3;        // a 16-word grid has no slope planes of its own
    g_level.plane[kPlaneCeilingSlope][6] = 4;
    g_level.plane[kPlaneSpare][7] = 9;
    g_level.plane[kPlaneHeightMap][10] = 33;
    g_level.plane[kPlaneHeightMap][11] = 40;
    g_level.plane[kPlaneHeightMap][12] = 41;
    g_level.plane[kPlaneCeilingMap][13] = 36;
    g_level.plane[kPlaneCeilingMap][14] = 32;
    ConvertSlopeCodes();
    ClearThirdPlane();
    EXPECT_EQ(g_level.plane[kPlaneSlope][5], 0);
    EXPECT_EQ(g_level.plane[kPlaneCeilingSlope][6], 0);
    EXPECT_EQ(g_level.plane[kPlaneSpare][7], 0);
    EXPECT_EQ(g_level.plane[kPlaneSlope][10], 1);
    EXPECT_EQ(g_level.plane[kPlaneHeightMap][10], 0);
    EXPECT_EQ(g_level.plane[kPlaneSlope][11], 8);
    EXPECT_EQ(g_level.plane[kPlaneHeightMap][12], 41);
    EXPECT_EQ(g_level.plane[kPlaneSlope][12], 0);
    EXPECT_EQ(g_level.plane[kPlaneCeilingSlope][13], 4);
    EXPECT_EQ(g_level.plane[kPlaneCeilingMap][14], 32);
    const SlopeDef builtIn[8] = {{32, 0, 0, 0},  {-32, 0, 32, 0}, {0, 32, 0, 0},  {0, -32, 32, 0},
                                 {16, 0, 0, 0},  {-16, 0, 16, 0}, {0, 16, 0, 0},  {0, -16, 16, 0}};
    for (int n = 0; n < 8; ++n) {
        EXPECT_EQ(g_level.slopes[n].x, builtIn[n].x) << n;
        EXPECT_EQ(g_level.slopes[n].y, builtIn[n].y) << n;
        EXPECT_EQ(g_level.slopes[n].lift, builtIn[n].lift) << n;
    }

    ClearLevelDefs();
    g_level.wordsPerCell = 19;
    g_level.plane[kPlaneSlope][5] = 3;
    g_level.plane[kPlaneSpare][7] = 9;
    ConvertSlopeCodes();
    ClearThirdPlane();
    EXPECT_EQ(g_level.plane[kPlaneSlope][5], 3);
    EXPECT_EQ(g_level.plane[kPlaneSpare][7], 9);
}

TEST_F(LevelMaps, FlagsAndEdgesLeaveTheGridBorderUnwritten) {
    const int a = CellIndex(10, 10);
    for (int cx = 8; cx <= 12; ++cx)
        for (int cy = 8; cy <= 12; ++cy)
            g_level.plane[kPlaneCeiling][CellIndex(cx, cy)] = 256;
    g_level.plane[kPlaneTile][a] = 1;
    g_level.plane[kPlaneFloor][CellIndex(10, 11)] = 16;   // +y neighbour higher
    g_level.plane[kPlaneCeilingTexture][CellIndex(11, 10)] = 5;  // +x neighbour, other ceiling texture
    g_level.plane[kPlaneCeiling][a] = 256;
    g_level.plane[kPlaneCeiling][CellIndex(11, 10)] = 256;
    g_level.plane[kPlaneCeiling][CellIndex(9, 10)] = kOpenSky;
    g_level.plane[kPlaneCeilingTexture][CellIndex(9, 10)] = 5;
    g_level.cellKind[a] = 3;
    g_level.plane[kPlaneStoreySplit][CellIndex(10, 9)] = 128;
    BuildCellFlags();
    BuildRooftopEdges();
    EXPECT_EQ(g_level.cellFlags[a], 0x41);
    EXPECT_EQ(g_level.edge[0][a], 0x41) << "-y: nothing differs";
    EXPECT_EQ(g_level.edge[1][a], 0x41 | 0x01) << "+y: the floor differs";
    EXPECT_EQ(g_level.edge[2][a], 0x41 | 0x02) << "-x: the ceiling differs (open sky)";
    EXPECT_EQ(g_level.edge[3][a], 0x41 | 0x02) << "+x: both roofed, the texture differs";
    // Under open sky on both sides the ceiling texture is not a difference.
    g_level.plane[kPlaneCeiling][CellIndex(30, 30)] = kOpenSky;
    g_level.plane[kPlaneCeiling][CellIndex(31, 30)] = kOpenSky;
    g_level.plane[kPlaneCeilingTexture][CellIndex(31, 30)] = 6;
    BuildCellFlags();
    EXPECT_EQ(g_level.edge[3][CellIndex(30, 30)], 0) << "+x: both open to the sky";
    EXPECT_EQ(g_level.edge[2][CellIndex(31, 30)], 0) << "-x: both open to the sky";
    EXPECT_EQ(g_level.rooftopEdge[0][a], 1);
    EXPECT_EQ(g_level.rooftopEdge[1][a], 0);
    g_level.plane[kPlaneFloor][CellIndex(1, 0)] = 8;
    g_level.plane[kPlaneTile][CellIndex(0, 0)] = 1;
    g_level.plane[kPlaneTile][CellIndex(5, 0)] = 1;
    g_level.plane[kPlaneTile][CellIndex(5, 127)] = 1;
    g_level.plane[kPlaneStoreySplit][CellIndex(0, 127)] = 8;
    BuildCellFlags();
    BuildRooftopEdges();
    EXPECT_EQ(g_level.edge[3][CellIndex(0, 0)], 0x01);
    EXPECT_EQ(g_level.edge[2][CellIndex(0, 0)], 0) << "no neighbour: not written";
    EXPECT_EQ(g_level.edge[0][CellIndex(5, 0)], 0);
    EXPECT_EQ(g_level.edge[1][CellIndex(5, 127)], 0);
    EXPECT_EQ(g_level.rooftopEdge[1][CellIndex(0, 127)], 0);
    EXPECT_EQ(g_level.rooftopEdge[0][CellIndex(0, 127)], 1);
}

TEST_F(LevelMaps, EarthbloodShrinesAndHomeBases) {
    g_level.cellIndex[CellIndex(10, 10)] = 25;  // earthnode 5
    g_level.cellIndex[CellIndex(12, 10)] = 25;
    g_level.cellIndex[CellIndex(20, 30)] = 51;  // shrine 1
    TextStream world(
        "[earthblooddefs]\nnumearthblood=6\n"
        "[earthblood05]\npower=40\nbias=3\nfixture=7\nlink1=2\nlink3=4\n"
        "[shrinedefs]\nnumshrines=3\n"
        "[shrine00]\nalignment=chaos\n[shrine01]\nalignment=Order\npower=80\nbias=60\n[shrine02]\nalignment=neutral\n"
        "[homebasedefs]\nnumhomebases=4\n"
        "[homebase00]\nx1=1\nx2=2\ny1=3\ny2=3\nteam=2\n"
        "[homebase01]\nx1=9\nx2=8\ny1=0\ny2=0\nteam=3\n"
        "[homebase02]\nx1=126\nx2=300\ny1=-5\ny2=0\nteam=1\n"
        "[homebase03]\nx1=5\nx2=5\ny1=5\ny2=5\n");
    g_level.cellIndex[CellIndex(5, 5)] = 33;
    g_level.shrines[3].found = 1;  // left from an earlier level
    g_level.earthnodes[6].found = 1;
    LoadEarthbloodDefs(world.f);
    LoadShrineDefs(world.f);
    LoadHomebaseDefs(world.f);
    const EarthnodeDef& e = g_level.earthnodes[5];
    EXPECT_EQ(e.found, 1);
    EXPECT_EQ(e.x, 11 * 64 + 32);
    EXPECT_EQ(e.y, 10 * 64 + 32);
    EXPECT_EQ(e.power, 40);
    EXPECT_EQ(e.max_power, 40);
    EXPECT_EQ(e.radius, 2);
    EXPECT_EQ(e.link[0], 2);
    EXPECT_EQ(e.link[1], -1);
    EXPECT_EQ(e.link[2], 4);
    EXPECT_EQ(g_level.earthnodes[4].found, 0);
    EXPECT_EQ(g_level.earthnodes[4].x, 0) << "a node with no marked cell keeps 0, 0";
    EXPECT_EQ(g_level.earthnodes[4].bias, 0);
    EXPECT_EQ(g_level.earthnodes[4].radius, 2);
    EXPECT_EQ(g_level.shrines[0].alignment, 1);
    EXPECT_EQ(g_level.shrines[1].alignment, 2);
    EXPECT_EQ(g_level.shrines[2].alignment, 0);
    EXPECT_EQ(g_level.shrines[1].found, 1);
    EXPECT_EQ(g_level.shrines[1].x, 20 * 64 + 32);
    EXPECT_EQ(g_level.shrines[1].bias, 60);
    EXPECT_EQ(g_level.shrines[0].bias, 100);
    EXPECT_EQ(g_level.cellIndex[CellIndex(2, 3)], 2);
    EXPECT_EQ(g_level.cellIndex[CellIndex(3, 3)], 0);
    EXPECT_EQ(g_level.cellIndex[CellIndex(8, 0)], 0) << "x1 above x2 writes nothing";
    EXPECT_EQ(g_level.cellIndex[CellIndex(127, 0)], 1) << "rectangles are held to the grid";
    EXPECT_EQ(g_level.cellIndex[CellIndex(5, 5)], 0) << "a home base without a team is team 0";
    EXPECT_EQ(g_level.shrines[3].found, 0) << "records past the count are not found";
    EXPECT_EQ(g_level.earthnodes[6].found, 0);
}

TEST_F(LevelMaps, ObjectPlaneTakesPlaneZeroWhereItIsEmpty) {
    const int last = kGridCells - 1;
    g_level.plane[0][3] = 7;
    g_level.plane[0][4] = 8;
    g_level.plane[kPlaneUpperWallTexture][4] = 2;
    g_level.plane[0][last] = 9;
    g_level.plane[1][0] = 5;  // what lies beyond the last cell of each plane
    FillObjectPlane();
    EXPECT_EQ(g_level.plane[kPlaneUpperWallTexture][3], 7);
    EXPECT_EQ(g_level.plane[kPlaneUpperWallTexture][4], 2);
    EXPECT_EQ(g_level.plane[kPlaneUpperWallTexture][last], 9);
    EXPECT_EQ(g_level.plane[kPlaneUpperWallTexture + 1][0], 0);
}

TEST_F(LevelMaps, LightNumberZeroAndNumbersPastTheTableHaveNoPattern) {
    for (int n : {0, -1, kMaxPatterns, kMaxPatterns + 1})
        EXPECT_EQ(FindLightPattern(n), nullptr) << n;
    for (int n : {1, kMaxPatterns - 1})
        EXPECT_EQ(FindLightPattern(n), &g_level.patterns[n]) << n;
}

TEST_F(LevelMaps, CountsAreHeldToTheirTables) {
    std::string text = "[earthblooddefs]\nnumearthblood=500\n[shrinedefs]\nnumshrines=99\n"
                       "[transportdefs]\nnumtransports=1000\n[soundregiondefs]\nnumsoundregions=100000\n"
                       "[safezonedefs]\nnumsafezones=5000\n";
    for (int n = 0; n < 120; ++n)
        text += "[safezone" + std::string(n < 10 ? "0" : "") + std::to_string(n) + "]\ntrigger=" + std::to_string(n) + "\n";
    text += "[transport29]\ngrid=" + std::string(80, 'g') + "\n";
    // Thirty earthblood nodes at most, though the table has room for more.
    text += "[earthblood29]\npower=29\n[earthblood30]\npower=30\n";
    g_level.cellIndex[CellIndex(40, 40)] = 20 + 30;
    TextStream world(text);
    LoadEarthbloodDefs(world.f);
    LoadShrineDefs(world.f);
    LoadTransportDefs(world.f);
    LoadSoundRegionDefs(world.f);
    LoadSafeZoneDefs(world.f);
    EXPECT_EQ(g_level.earthnodes[29].power, 29);
    EXPECT_EQ(g_level.earthnodes[30].power, 0);
    EXPECT_EQ(g_level.earthnodes[30].found, 0);
    EXPECT_EQ(g_level.transports[29].used, 1);
    EXPECT_EQ(std::strlen(g_level.transports[29].grid), 51u);
    EXPECT_EQ(g_level.soundRegions[99].used, 1);
    EXPECT_EQ(g_level.safeZones[99].used, 1);
    EXPECT_EQ(g_level.safeZones[99].trigger, 99);
    EXPECT_EQ(g_level.safeZones[0].used, 0) << "safe zones count from 1";
}

TEST_F(LevelMaps, RoomsViewsAndTheRoomMapFile) {
    TempDir dir;
    dir.Enter();
    TextStream world(
        "[room00]\nminx=0\nmaxx=1\nminy=0\nmaxy=0\nviews=1,3,40,-2\n"
        "[room01]\nminx=2\nmaxx=3\nminy=0\nmaxy=1\nviews=0\n"
        "[room03]\nminx=126\nmaxx=200\nminy=127\nmaxy=127\n"
        "[room04]\nmaxx=3\n");
    LoadRoomViews(world.f);
    EXPECT_EQ(g_level.rooms[0].mask, 0x0000000Au);
    EXPECT_EQ(g_level.rooms[0].count, 2);
    EXPECT_EQ(g_level.rooms[4].used, 0);
    EXPECT_EQ(g_level.roomMap[CellIndex(1, 0)], 0);
    EXPECT_EQ(g_level.roomMap[CellIndex(3, 1)], 1);
    EXPECT_EQ(g_level.roomMap[CellIndex(4, 1)], -1);
    EXPECT_EQ(g_level.roomMap[CellIndex(127, 127)], 3);
    std::string map = dir.Read("roomview.txt");
    ASSERT_EQ(map.size(), 128u * (2 * 128 + 1));
    std::string row0 = " 0 0 1 1" + std::string(248, ' ');
    for (size_t k = 8; k < row0.size(); k += 2)
        row0[k + 1] = '.';
    EXPECT_EQ(map.substr(0, 257), row0 + "\n");
    EXPECT_EQ(map.substr(257, 8), " . . 1 1");
    EXPECT_EQ(map.substr(127 * 257 + 250, 7), " . 3 3\n");

    // Rooms 0 and 1 see each other; 1 does not see 3, 0 does; no room sees nothing.
    struct Case {
        int x1, y1, x2, y2, answer;
    } cases[] = {{10, 10, 100, 10, 1}, {10, 10, 150, 10, 2}, {150, 10, 10, 10, 2},
                 {150, 10, 8150, 8150, 0}, {10, 10, 8150, 8150, 2}, {300, 10, 10, 10, 0}, {-5, 10, 10, 10, 0}};
    for (const Case& c : cases)
        EXPECT_EQ(AreasSeeEachOther(c.x1, c.y1, c.x2, c.y2), c.answer) << c.x1 << "," << c.y1 << " " << c.x2 << "," << c.y2;
}

TEST_F(LevelMaps, FloorsStandingAndCeilings) {
    BuildHeightMaps();
    ConvertSlopeCodes();
    const int c = CellIndex(4, 4);  // world 256..319
    g_level.plane[kPlaneFloor][c] = 100;
    g_level.plane[kPlaneCeiling][c] = 300;
    g_level.plane[kPlaneStoreySplit][c] = 400;
    g_level.plane[kPlaneUpperCeiling][c] = 600;
    g_level.plane[kPlaneLiquidDepth][c] = 40;
    g_level.plane[kPlaneHeightMap][c] = 9;   // a dome: 64 at the centre
    g_level.plane[kPlaneCeilingMap][c] = 2;  // 32 - row for the first half
    player.eye_height = 60;
    EXPECT_EQ(GetFloorHeight(288, 288, -1000, 1), 164);
    EXPECT_EQ(GetFloorHeight(288, 288, -1000, 0), 124) << "liquid depth below the surface";
    EXPECT_EQ(GetFloorHeight(288, 288, 400, 0), 400) << "at the storey split: the split";
    EXPECT_EQ(GetFloorHeight(288, 288, 399, 1), 164);
    EXPECT_EQ(GetStandHeight(288, 288, -1000), 184) << "in liquid 40 deep";
    g_level.plane[kPlaneLiquidDepth][c] = 60;
    EXPECT_EQ(GetStandHeight(288, 288, -1000), 180) << "never below floor + 16";
    EXPECT_EQ(GetStandHeight(288, 288, 500), 460);
    EXPECT_EQ(GetCeilingHeight(256, 300, 0), 268);
    EXPECT_EQ(GetCeilingHeight(300, 300, 0), 300);
    EXPECT_EQ(GetCeilingHeight(256, 300, 401), 600);
    // A slope: slope 1 (code 33) falls 32 across the cell in x with a lift of 32.
    g_level.plane[kPlaneHeightMap][c] = 0;
    g_level.plane[kPlaneSlope][c] = 1;
    EXPECT_EQ(GetFloorHeight(256, 256, -1000, 1), 132);
    EXPECT_EQ(GetFloorHeight(319, 256, -1000, 1), 100) << "each product shifted right by 6";
    // Off the grid is solid rock.
    EXPECT_GT(GetFloorHeight(-1, 10, 0, 1), 8000);
    EXPECT_GT(GetFloorHeight(10, 8192, 0, 1), 8000);
    EXPECT_LT(GetCeilingHeight(8192, 10, 0), -8000);
}

}  // namespace
