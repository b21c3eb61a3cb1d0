// The binary level files read from bytes placed by hand at their offsets.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "client/core/config_file.h"
#include "client/level/level_loader.h"
#include "tests/client/arena/level_fixture.h"
#include "tools/writers/level_writer.h"

namespace {

void Le16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}

void Le32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

ByteReader Reader(const std::vector<uint8_t>& b) {
    return ByteReader(b.data(), b.size());
}

constexpr size_t kGrid19Size = 4 + 128 * 128 * 38 + 16000;

// Word k of cell (x, y) in a grid.dat of w words a cell.
size_t CellWord(int x, int y, int k, int w) {
    return 4 + (static_cast<size_t>(y * 128 + x) * w + k) * 2;
}

class LevelFiles : public LevelFixture {};

TEST_F(LevelFiles, GridWordsByFileSizeAndThePlanesTheyFill) {
    // Only a file of exactly 540292 bytes has 16 words a cell: a shorter or longer one has 19.
    const struct {
        size_t size;
        int w;
    } files[] = {{kGrid19Size, 19}, {kGrid16Size, 16}, {kGrid16Size - 2, 19}, {kGrid16Size + 2, 19}, {20000, 19}};
    for (auto [size, w] : files) {
        SCOPED_TRACE(size);
        std::vector<uint8_t> grid(size);
        Le16(grid, 0, 128);
        Le16(grid, CellWord(3, 2, kPlaneFloor, w), 288);
        Le16(grid, CellWord(3, 2, kPlaneCeiling, w), 32767);
        Le16(grid, CellWord(3, 2, kPlaneStoreySplit, w), 32767);
        Le16(grid, CellWord(3, 2, kPlaneUpperCeiling, w), 0);
        Le16(grid, CellWord(3, 2, kPlaneCeilingTexture, w), 9);
        Le16(grid, CellWord(3, 2, kPlaneUpperFloorTexture, w), 4);
        Le16(grid, CellWord(3, 2, kPlaneTile, w), 0x0107);  // a byte plane keeps the low byte
        Le16(grid, CellWord(3, 2, kPlaneLiquidDepth, w), 0xFFD8);
        Le16(grid, CellWord(3, 2, 15, w), 0x8001);
        if (w == 19)
            Le16(grid, CellWord(3, 2, kPlaneSlope, w), 5);
        Le16(grid, CellWord(2, 3, kPlaneFloor, w), 77);  // x and y the other way round
        Le16(grid, CellWord(4, 2, 0, w), 0x21);           // the next cell's first word
        Le16(grid, CellWord(5, 2, kPlaneUpperCeiling, w), 500);
        Le16(grid, CellWord(6, 2, kPlaneUpperCeiling, w), 32767);
        ClearLevelDefs();
        ASSERT_EQ(ReadGridBuffer(Reader(grid)), 1);
        ExtractGridPlanes();
        EXPECT_EQ(g_level.wordsPerCell, w);
        const int c = CellIndex(3, 2);
        EXPECT_EQ(g_level.plane[kPlaneFloor][c], 288) << w;
        EXPECT_EQ(g_level.plane[kPlaneFloor][CellIndex(2, 3)], 77) << w;
        EXPECT_EQ(g_level.plane[kPlaneCeiling][c], 1024) << w;
        EXPECT_EQ(g_level.plane[kPlaneStoreySplit][c], 1024) << w;
        EXPECT_EQ(g_level.plane[kPlaneUpperCeiling][c], 1024) << w;
        EXPECT_EQ(g_level.plane[kPlaneUpperFloorTexture][c], 4) << w;
        EXPECT_EQ(g_level.plane[kPlaneUpperCeilingTexture][c], 9) << w;
        EXPECT_EQ(g_level.plane[kPlaneTile][c], 7) << w;
        EXPECT_EQ(g_level.plane[kPlaneLiquidDepth][c], -40) << w;
        EXPECT_EQ(g_level.plane[15][c], -32767) << w;
        EXPECT_EQ(g_level.plane[kPlaneSlope][c], w == 19 ? 5 : 0) << w;
        EXPECT_EQ(g_level.plane[16][c], 0) << w << ": no word of another cell";
        EXPECT_EQ(g_level.plane[0][CellIndex(4, 2)], 0x21) << w;
        EXPECT_EQ(g_level.plane[kPlaneUpperCeiling][CellIndex(5, 2)], 500) << w;
        EXPECT_EQ(g_level.plane[kPlaneUpperCeiling][CellIndex(6, 2)], 1024) << w;
        EXPECT_EQ(g_level.plane[kPlaneUpperCeiling][CellIndex(0, 0)], 1024);
    }
}

TEST_F(LevelFiles, AGridSideOutsideOneTo128FailsTheLoad) {
    std::vector<uint8_t> grid(kGrid19Size);
    for (int n : {0, -1, 129, 32767}) {
        Le16(grid, 0, static_cast<uint16_t>(n));
        EXPECT_EQ(ReadGridBuffer(Reader(grid)), 0) << n;
    }
    std::vector<uint8_t> tiny = {1, 0};
    EXPECT_EQ(ReadGridBuffer(Reader(tiny)), 1) << "a short file reads as zeros";
    std::vector<uint8_t> none;
    EXPECT_EQ(ReadGridBuffer(Reader(none)), 0);
}

TEST_F(LevelFiles, AGridCutInsideAWordKeepsItsLastByte) {
    // Cell (0, 0): words 0 to 2 whole, the floor word cut after its low byte.
    std::vector<uint8_t> grid = {128, 0, 0, 0, 1, 0, 2, 0, 3, 0, 0x44};
    ASSERT_EQ(ReadGridBuffer(Reader(grid)), 1);
    ExtractGridPlanes();
    const int c = CellIndex(0, 0);
    EXPECT_EQ(g_level.plane[0][c], 1);
    EXPECT_EQ(g_level.plane[2][c], 3);
    EXPECT_EQ(g_level.plane[kPlaneFloor][c], 0x44);
    EXPECT_EQ(g_level.plane[kPlaneCeiling][c], 0);
}

TEST_F(LevelFiles, PlacementsMakeStaticObjects) {
    std::vector<uint8_t> grid(kGrid19Size);
    Le16(grid, 0, 128);
    const size_t p = 4 + 128 * 128 * 38;
    auto place = [&](int r, uint32_t olist, int32_t x, int32_t y, uint16_t height, uint16_t degrees) {
        Le32(grid, p + r * 16, olist);
        Le32(grid, p + r * 16 + 4, static_cast<uint32_t>(x));
        Le32(grid, p + r * 16 + 8, static_cast<uint32_t>(y));
        Le16(grid, p + r * 16 + 12, height);
        Le16(grid, p + r * 16 + 14, degrees);
    };
    place(0, 1, 100, 200, 5, 90);
    place(1, 0, 300, 300, 0, 0);      // empty: skipped without a word
    place(2, 1, -1, 300, 0, 0);       // bad coordinates
    place(3, 1, 300, 8192, 0, 0);     // off the grid
    place(4, 100, 300, 300, 0, 0);    // no such olist entry
    place(5, 2, 400, 400, 0, 0);      // a monster entry: taken, not made live
    place(999, 1, 8191, 8191, 0xFFFF, 0xFFA6);  // the last record: height -1, facing -90 degrees
    g_level.olist[1][0] = OBJ_STATIC;
    g_level.olist[1][2] = 10;
    g_level.olist[1][9] = 3;  // z
    g_level.olist[2][0] = OBJ_MOVING;
    ASSERT_EQ(ReadGridBuffer(Reader(grid)), 1);
    ExtractGridPlanes();
    ASSERT_EQ(PlaceOlistObjects(Reader(grid)), 1);
    const WorldObject& o = WorldObjectTable[1];
    EXPECT_EQ(o.active, 1);
    EXPECT_EQ(o.x, 100);
    EXPECT_EQ(o.y, 200);
    EXPECT_EQ(o.z, 8);
    EXPECT_EQ(o.pos_x, 100 << 16);
    EXPECT_EQ(o.pos_z, 8 << 16);
    EXPECT_EQ(o.facing, 1024);
    EXPECT_EQ(o.kind, 1);
    for (int s = 1; s < kWorldObjectSlots; ++s)
        EXPECT_FALSE(WorldObjectTable[s].active == 1 && WorldObjectTable[s].type != OBJ_STATIC) << "only statics live";
    int lastSlot = 0;
    for (int s = 1; s < kWorldObjectSlots; ++s)
        if (WorldObjectTable[s].active == 1 && WorldObjectTable[s].x == 8191)
            lastSlot = s;
    ASSERT_NE(lastSlot, 0);
    EXPECT_EQ(WorldObjectTable[lastSlot].z, 2);
    EXPECT_EQ(WorldObjectTable[lastSlot].facing, 4096 - 1024);
    EXPECT_EQ(WorldObjectHighWater, lastSlot + 1);
}

// One thin record of misc.dat, written field by field at its offsets.
std::vector<uint8_t> MiscWithThins() {
    std::vector<uint8_t> misc(80250 + 99 * 16);
    auto thin = [&](int r, std::initializer_list<std::pair<int, uint32_t>> fields) {
        for (auto [offset, value] : fields)
            Le32(misc, r * 92 + offset, value);
    };
    thin(0, {{20, 1000}, {24, 2000}, {28, 1000}, {32, 2064}, {36, 0x0304}, {40, 0}, {44, 96}, {48, 0},
             {52, 1}, {56, 0}, {60, 7}, {64, 5}, {68, 90}, {72, 1}, {76, 8}, {80, 0}, {84, 1}, {88, 0}});
    thin(1, {{20, 500}, {24, 500}, {28, 600}, {32, 500}, {40, 100}, {44, 64}, {48, 1}, {52, 3}, {56, 40},
             {60, 3}, {64, 150}, {68, static_cast<uint32_t>(-45)}, {72, 1}, {80, 2}});
    thin(2, {{20, 100}, {28, 200}, {52, 0}, {72, 0}});  // empty
    thin(3, {{20, 700}, {24, 700}, {28, 700}, {32, 700}, {72, 1}});  // both ends on one point
    thin(4, {{20, 800}, {24, 800}, {28, 900}, {32, 800}, {52, 4}, {64, 99}, {72, 1}});
    return misc;
}

TEST_F(LevelFiles, ThinRecords) {
    std::vector<uint8_t> misc = MiscWithThins();
    ASSERT_EQ(LoadThins(Reader(misc)), 1);
    const Thin& door = ThinTable[1];
    EXPECT_EQ(door.x1, 1000);
    EXPECT_EQ(door.y1, 2000);
    EXPECT_EQ(door.x2, 1000);
    EXPECT_EQ(door.y2, 2064);
    EXPECT_EQ(door.texture, 4);
    EXPECT_EQ(door.texture2, 3);
    EXPECT_EQ(door.length, 64) << "length 0 is the distance between the ends";
    EXPECT_EQ(door.height, 96);
    EXPECT_EQ(door.kind, 1);
    EXPECT_EQ(door.color, 7);
    EXPECT_EQ(door.base_color, 7);
    EXPECT_EQ(door.trigger, 5);
    EXPECT_EQ(door.angle, 1024);
    EXPECT_EQ(door.swing_step, -1024);
    EXPECT_EQ(door.base_z, 8);
    EXPECT_EQ(door.transparent, 1);
    EXPECT_EQ(door.thickness, 4) << "thickness 0 means 4";
    // The box: the door's angle plus its side offset is 0, so the far side lies 4 towards -x.
    struct Side {
        int x1, y1, x2, y2, length;
    } sides[] = {{1000, 2000, 996, 2000, 4}, {1000, 2064, 996, 2064, 4}, {996, 2000, 996, 2064, 64}};
    for (int k = 0; k < 3; ++k) {
        const Thin& s = ThinTable[2 + k];
        EXPECT_EQ(s.active, 1);
        EXPECT_EQ(s.kind, THIN_BOX_SIDE);
        EXPECT_EQ(s.x1, sides[k].x1) << k;
        EXPECT_EQ(s.y1, sides[k].y1) << k;
        EXPECT_EQ(s.x2, sides[k].x2) << k;
        EXPECT_EQ(s.y2, sides[k].y2) << k;
        EXPECT_EQ(s.length, sides[k].length) << k;
        EXPECT_EQ(s.side_mark, 1);
        EXPECT_EQ(s.texture, 4);
        EXPECT_EQ(s.height, 96);
        EXPECT_EQ(s.base_z, 8);
        for (int g = 0; g < 4; ++g)
            EXPECT_EQ(s.group[g], ThinTable[1].group[g]);
    }
    EXPECT_EQ(door.group[0], door.id);
    EXPECT_EQ(door.side_mark, 0);

    const Thin& panel = ThinTable[5];
    EXPECT_EQ(panel.kind, 3);
    EXPECT_EQ(panel.length, 100);
    EXPECT_EQ(panel.open, 1);
    EXPECT_EQ(panel.speed_cap, 40);
    EXPECT_EQ(panel.trigger, 0) << "trigger numbers outside 1..99 are dropped";
    EXPECT_EQ(panel.angle, -512);
    EXPECT_EQ(panel.swing_step, 1024);
    EXPECT_EQ(panel.side_mark, 2);
    EXPECT_EQ(ThinTable[6].trigger, 99);
    EXPECT_EQ(ThinTable[6].kind, 4);
    EXPECT_EQ(ThinCount, 7) << "the empty record and the point are not thins";
}

TEST_F(LevelFiles, ABoxLiesOnTheSideItsAngleGives) {
    // A door along x from (1000, 2000) to (1064, 2000), 8 deep: its angle plus the side offset
    // (-1024, or +1024 for a negative angle) sets which way the far side lies.
    struct Case {
        int degrees, dx, dy;
    } const cases[] = {{0, 0, -8}, {90, -8, 0}, {180, 0, 8}, {270, 8, 0}, {-90, -8, 0}, {-180, 0, -8}};
    for (const Case& c : cases) {
        ClearThins();
        std::vector<uint8_t> misc(80250 + 99 * 16);
        for (auto [offset, value] : std::initializer_list<std::pair<int, int32_t>>{
                 {20, 1000}, {24, 2000}, {28, 1064}, {32, 2000}, {44, 64}, {52, 1}, {68, c.degrees}, {72, 1}, {88, 8}})
            Le32(misc, offset, static_cast<uint32_t>(value));
        ASSERT_EQ(LoadThins(Reader(misc)), 1);
        const Thin& near = ThinTable[2];
        const Thin& far = ThinTable[4];
        ASSERT_EQ(far.kind, THIN_BOX_SIDE) << c.degrees;
        EXPECT_EQ(near.x2 - near.x1, c.dx) << c.degrees;
        EXPECT_EQ(near.y2 - near.y1, c.dy) << c.degrees;
        EXPECT_EQ(far.x1, 1000 + c.dx) << c.degrees;
        EXPECT_EQ(far.y1, 2000 + c.dy) << c.degrees;
        EXPECT_EQ(far.x2, 1064 + c.dx) << c.degrees;
        EXPECT_EQ(far.y2, 2000 + c.dy) << c.degrees;
    }
}

TEST_F(LevelFiles, ABoxIsBuiltOnlyWithRoomForItsSides) {
    // The door takes one free slot before its three sides are counted.
    for (auto [free, sides] : {std::pair{3, 0}, std::pair{4, 3}}) {
        ClearThins();
        for (int s = 1; s < kThinSlots - free; ++s)
            ThinTable[s].active = 1;
        std::vector<uint8_t> misc(80250 + 99 * 16);
        for (auto [offset, value] : std::initializer_list<std::pair<int, int32_t>>{
                 {20, 1000}, {24, 2000}, {28, 1064}, {32, 2000}, {44, 64}, {52, 1}, {72, 1}, {88, 8}})
            Le32(misc, offset, static_cast<uint32_t>(value));
        ASSERT_EQ(LoadThins(Reader(misc)), 1);
        int boxSides = 0;
        for (int s = 1; s < kThinSlots; ++s)
            boxSides += ThinTable[s].kind == THIN_BOX_SIDE;
        EXPECT_EQ(boxSides, sides) << free << " free slots";
        for (int s = 1; s < kThinSlots; ++s)
            ThinTable[s].active = 0;
    }
}

TEST_F(LevelFiles, ObjectListFieldsComeFromTheirOffsets) {
    static constexpr size_t kOffsets[21] = {12, 0, 4, 8, 16, 20, 24, 28, 32, 36, 48,
                                            52, 56, 60, 64, 68, 72, 84, 88, 92, 40};
    std::vector<uint8_t> objects(99 * 116);
    for (int f = 0; f < 21; ++f) {
        Le32(objects, 116 + kOffsets[f], 0x00050000u + 100 + f);  // entry 2; the high half is dropped
        Le32(objects, 98 * 116 + kOffsets[f], 7);                 // entry 99, the last
    }
    Le32(objects, 116 + 44, 999);  // not a field
    ASSERT_EQ(LoadOlist(Reader(objects)), 1);
    for (int f = 0; f < 21; ++f) {
        EXPECT_EQ(g_level.olist[2][f], 100 + f) << "field " << f;
        EXPECT_EQ(g_level.olist[99][f], 7);
        EXPECT_EQ(g_level.olist[1][f], 0);
    }
    std::vector<uint8_t> shortFile(200, 0xFF);
    ASSERT_EQ(LoadOlist(Reader(shortFile)), 1);
    EXPECT_EQ(g_level.olist[2][0], 0xFFFF);
    EXPECT_EQ(g_level.olist[2][17], 0) << "past the end of the file every field reads 0";
    EXPECT_EQ(g_level.olist[3][0], 0);
}

TEST_F(LevelFiles, TilesAndSlopes) {
    std::vector<uint8_t> misc(80250 + 99 * 16);
    Le32(misc, 49000 + (5 * 8 + 2) * 4, 0x00070003);        // tile 1, sub-cell (2, 5)
    Le32(misc, 49000 + 98 * 256 + 63 * 4, 0x00090001);      // tile 99, sub-cell (7, 7)
    for (uint32_t v = 0; v < 64; ++v)                         // tile 2, every sub-cell
        Le32(misc, 49000 + 256 + v * 4, (v + 100) << 16 | (v + 1));
    Le32(misc, 80250 + 10 * 16, static_cast<uint32_t>(-8));  // slope 10
    Le32(misc, 80250 + 10 * 16 + 4, 4);
    Le32(misc, 80250 + 98 * 16, 16);
    Le32(misc, 80250 + 98 * 16 + 4, static_cast<uint32_t>(-16));
    TextStream world("[stairslopes]\ntile01=12\ntile02=98\ntile03=99\ntile04=-1\ntile99=200\n");
    ASSERT_EQ(LoadSlopeDefs(Reader(misc)), 1);
    ASSERT_EQ(LoadTiles(Reader(misc), world.f), 1);
    EXPECT_EQ(g_level.tiles[1].floor[2 * 8 + 5], 3);
    EXPECT_EQ(g_level.tiles[1].ceiling[2 * 8 + 5], 7);
    EXPECT_EQ(g_level.tiles[99].floor[63], 1);
    for (int j = 0; j < 8; ++j)
        for (int i = 0; i < 8; ++i) {
            EXPECT_EQ(g_level.tiles[2].floor[i * 8 + j], j * 8 + i + 1) << i << "," << j;
            EXPECT_EQ(g_level.tiles[2].ceiling[i * 8 + j], j * 8 + i + 100) << i << "," << j;
        }
    EXPECT_EQ(g_level.tiles[99].ceiling[63], 9);
    EXPECT_EQ(g_level.tiles[1].slope, 12);
    EXPECT_EQ(g_level.tiles[2].slope, 98) << "the table's last slope";
    for (int t : {3, 4, 99})
        EXPECT_EQ(g_level.tiles[t].slope, 0) << "tile " << t << ": no such slope";
    EXPECT_EQ(g_level.slopes[10].x, -8);
    EXPECT_EQ(g_level.slopes[10].y, 4);
    EXPECT_EQ(g_level.slopes[10].lift, 8);
    EXPECT_EQ(g_level.slopes[98].lift, 16);
}

TEST_F(LevelFiles, SlopeWordsOfAnySizeKeepTheLowByteOfTheirLift) {
    struct Case {
        int32_t x, y;
        int8_t sx, sy, lift;
    } const cases[] = {
        {-8, 4, -8, 4, 8},
        {-100, -100, -100, -100, -56},                  // 200 kept as a signed byte
        {INT32_MIN, 0, 0, 0, 0},                         // lift 2^31: its low byte is 0
        {INT32_MIN, INT32_MIN, 0, 0, 0},                 // 2^32
        {-2147483647, -1, 1, -1, 0},                     // 2^31 exactly, the low byte 0
        {-2147483647, 0, 1, 0, -1},                      // 2^31 - 1: low byte 0xFF
        {INT32_MAX, INT32_MAX, -1, -1, 0},               // rising slopes add no lift
        {-300, 44, -44, 44, 44},                         // 300 = 0x12C
    };
    std::vector<uint8_t> misc(80250 + 99 * 16);
    for (size_t k = 0; k < std::size(cases); ++k) {
        Le32(misc, 80250 + (10 + k) * 16, static_cast<uint32_t>(cases[k].x));
        Le32(misc, 80250 + (10 + k) * 16 + 4, static_cast<uint32_t>(cases[k].y));
    }
    ASSERT_EQ(LoadSlopeDefs(Reader(misc)), 1);
    for (size_t k = 0; k < std::size(cases); ++k) {
        const SlopeDef& d = g_level.slopes[10 + k];
        EXPECT_EQ(d.x, cases[k].sx) << k;
        EXPECT_EQ(d.y, cases[k].sy) << k;
        EXPECT_EQ(d.lift, cases[k].lift) << k;
    }
}

TEST_F(LevelFiles, TheWriterPutsEveryFieldWhereTheLoaderReadsIt) {
    LevelSource level;
    LevelThinRecord t;
    t.x1 = 1000;
    t.y1 = 2000;
    t.x2 = 1000;
    t.y2 = 2064;
    t.texture = 4;
    t.texture2 = 3;
    t.height = 96;
    t.kind = 1;
    t.color = 7;
    t.trigger = 5;
    t.angleDegrees = 90;
    t.base = 8;
    t.transparent = 1;
    level.thins.push_back(t);
    std::vector<uint8_t> written = BuildMiscDat(level);
    std::vector<uint8_t> hand = MiscWithThins();
    EXPECT_TRUE(std::equal(hand.begin(), hand.begin() + 92, written.begin()));
    EXPECT_EQ(written.size(), 80250u + 99 * 16);

    level.placements.push_back({1, 100, 200, 5, 90});
    std::vector<uint8_t> grid = BuildGridDat(level);
    ASSERT_EQ(grid.size(), kGrid19Size);
    const size_t p = 4 + 128 * 128 * 38;
    const uint8_t record[16] = {1, 0, 0, 0, 100, 0, 0, 0, 200, 0, 0, 0, 5, 0, 90, 0};
    EXPECT_EQ(std::memcmp(&grid[p], record, 16), 0);
    level.SetWords(16);
    EXPECT_EQ(BuildGridDat(level).size(), kGrid16Size);
}

TEST_F(LevelFiles, StartAndRaisePoints) {
    struct Case {
        int degrees, angle;
    } angles[] = {{0, 2048},     {90, 3072},   {180, 0},       {-90, 1024},    {359, 2036},
                  {720, 2048},   {-180, 0},    {-181, 4085},   {-270, 3072},   {-360, 2048},
                  {-1000, 2959}};
    for (const Case& c : angles)
        EXPECT_EQ(StartAngle(c.degrees), c.angle) << c.degrees;

    TextStream world(
        "[noteam]\nstartx=10\nstarty=20\n"
        "[chaos]\nstartx=30\nstarty=40\nstarta=90\nraise2x=50\nraise3a=180\n"
        "[order]\nstartx=60\n"
        "[balance]\nstartx=1\nstarty=2\n");
    LoadStartPoints(world.f);
    const StartPoint& chaos = g_level.starts[1];
    EXPECT_EQ(chaos.angle, 3072);
    EXPECT_EQ(chaos.raise_x[0], 30);
    EXPECT_EQ(chaos.raise_y[0], 40);
    EXPECT_EQ(chaos.raise_a[0], 3072);
    EXPECT_EQ(chaos.raise_x[1], 50);
    EXPECT_EQ(chaos.raise_a[2], 0) << "a given raise angle is converted like the start angle";
    EXPECT_EQ(g_level.starts[0].angle, 2048);
    EXPECT_EQ(g_level.starts[2].x, 60);
    EXPECT_EQ(g_level.starts[3].x, 0) << "a team without starty stops the loading";
}

TEST_F(LevelFiles, GeneratorKindsAndOlistNumbersStayWithinTheirTables) {
    // Kind 99 is the last the live counts keep; olist 99 the last entry.
    TextStream world(
        "[mongendefs]\nnummongens=2\n"
        "[mongen00]\nobject=99\nmaxnum=1\nchance=1\ntimer=1\nxmaze=1\nymaze=1\n"
        "[mongen01]\nobject=100\nmaxnum=1\nchance=1\ntimer=1\nxmaze=1\nymaze=1\n"
        "[effectdefs]\nnumeffects=2\n"
        "[effect00]\nolist=99\nmaxnum=1\nchance=1\ntimer=1\nxmaze=1\nymaze=1\n"
        "[effect01]\nolist=100\nmaxnum=1\nchance=1\ntimer=1\nxmaze=1\nymaze=1\n");
    LoadMongenDefs(world.f);
    LoadEffectDefs(world.f);
    EXPECT_EQ(g_level.monsterGens[0].active, 1);
    EXPECT_EQ(g_level.monsterGens[1].active, 0) << "kind 100 has no live count";
    EXPECT_EQ(g_level.effectGens[0].active, 1);
    EXPECT_EQ(g_level.effectGens[1].active, 0) << "olist 100 has no entry";
}

TEST_F(LevelFiles, AGeneratorOffTheWorldStaysIdleAndTheRestLoad) {
    struct Case {
        const char* keys;
        int active, x, y;
    } const cases[] = {
        {"xmaze=127\nymaze=0\nxoffset=63\nyoffset=0", 1, 8191, 0},
        {"xmaze=1\nymaze=2\nxoffset=-64\nyoffset=-128", 1, 0, 0},
        {"xmaze=127\nymaze=0\nxoffset=64", 0, 0, 0},
        {"xmaze=0\nymaze=0\nxoffset=-1", 0, 0, 0},
        {"xmaze=2147483647\nymaze=3", 0, 0, 0},
        {"xmaze=3\nymaze=-2147483648\nyoffset=-2147483648", 0, 0, 0},
        {"xmaze=3\nymaze=4\nxoffset=2147483647", 0, 0, 0},
    };
    for (const Case& c : cases) {
        for (bool monster : {true, false}) {
            const std::string section = monster ? "[mongendefs]\nnummongens=2\n[mongen00]\nobject=3\n"
                                                : "[effectdefs]\nnumeffects=2\n[effect00]\nolist=2\n";
            const std::string next = monster ? "[mongen01]\nobject=4\n" : "[effect01]\nolist=3\n";
            TextStream world(section + "maxnum=1\nchance=1\ntimer=1\n" + c.keys + "\n" + next +
                             "maxnum=1\nchance=1\ntimer=1\nxmaze=5\nymaze=6\n");
            if (monster)
                LoadMongenDefs(world.f);
            else
                LoadEffectDefs(world.f);
            const Generator* gens = monster ? g_level.monsterGens : g_level.effectGens;
            EXPECT_EQ(gens[0].active, c.active) << c.keys;
            if (c.active) {
                EXPECT_EQ(gens[0].x, c.x) << c.keys;
                EXPECT_EQ(gens[0].y, c.y) << c.keys;
            }
            EXPECT_EQ(gens[1].active, 1) << c.keys << ": the next generator still loads";
            EXPECT_EQ(gens[1].x, 5 * 64 + 32);
        }
    }
}

TEST_F(LevelFiles, GeneratorCountsBoundTheSectionsRead) {
    // count, sections written: only the first count sections load, and never more than the table.
    const struct {
        int count, sections, loaded;
    } cases[] = {{1, 2, 1}, {0, 1, 0}, {101, 101, 100}};
    for (const auto& c : cases) {
        for (bool monster : {true, false}) {
            std::string text = monster ? "[mongendefs]\nnummongens=" : "[effectdefs]\nnumeffects=";
            text += std::to_string(c.count) + "\n";
            for (int i = 0; i < c.sections; ++i) {
                char head[48];
                std::snprintf(head, sizeof head, monster ? "[mongen%02d]\nobject=3\n" : "[effect%02d]\nolist=2\n", i);
                text += head;
                text += "maxnum=1\nchance=1\ntimer=1\nxmaze=1\nymaze=1\n";
            }
            TextStream world(text);
            for (Generator& g : g_level.effectGens)
                g.active = 0;
            g_level.ambient = 77;
            if (monster)
                LoadMongenDefs(world.f);
            else
                LoadEffectDefs(world.f);
            const Generator* gens = monster ? g_level.monsterGens : g_level.effectGens;
            int loaded = 0;
            for (int i = 0; i < kMaxGenerators; ++i)
                loaded += gens[i].active == 1;
            EXPECT_EQ(loaded, c.loaded) << c.count << (monster ? " monsters" : " effects");
            if (monster) {
                EXPECT_EQ(g_level.effectGens[0].active, 0) << "nothing written past the monster table";
            }
            EXPECT_EQ(g_level.ambient, 77) << "nothing written past the effect table";
        }
    }
}

TEST_F(LevelFiles, GeneratorsKeepOnlyKindsAndEntriesThatExist) {
    TextStream world(
        "[mongendefs]\nnummongens=4\n"
        "[mongen00]\nobject=3\nmaxnum=2\nchance=50\ntimer=4000\nxmaze=10\nymaze=11\n"
        "[mongen01]\nobject=0\nmaxnum=2\nchance=50\ntimer=4000\nxmaze=10\nymaze=11\n"
        "[mongen02]\nobject=120\nmaxnum=2\nchance=50\ntimer=4000\nxmaze=10\nymaze=11\n"
        "[mongen03]\nobject=4\nmaxnum=2\ntimer=4000\nxmaze=10\nymaze=11\n"
        "[effectdefs]\nnumeffects=2\n"
        "[effect00]\nolist=2\nmaxnum=1\nchance=100\ntimer=300\nxmaze=5\nymaze=6\nxoffset=0\nheight=7\nsingle=1\n"
        "[effect01]\nolist=100\nmaxnum=1\nchance=100\ntimer=300\nxmaze=5\nymaze=6\n");
    LoadMongenDefs(world.f);
    LoadEffectDefs(world.f);
    const Generator& g = g_level.monsterGens[0];
    EXPECT_EQ(g.active, 1);
    EXPECT_EQ(g.kind, 3);
    EXPECT_EQ(g.x, 10 * 64 + 32);
    EXPECT_EQ(g.y, 11 * 64 + 32);
    EXPECT_EQ(g.reload, 4000);
    EXPECT_EQ(g_level.monsterGens[1].active, 0);
    EXPECT_EQ(g_level.monsterGens[2].active, 0);
    EXPECT_EQ(g_level.monsterGens[3].active, 0) << "a missing chance stops the loading";
    const Generator& e = g_level.effectGens[0];
    EXPECT_EQ(e.active, 1);
    EXPECT_EQ(e.olist, 2);
    EXPECT_EQ(e.kind, 0);
    EXPECT_EQ(e.x, 5 * 64);
    EXPECT_EQ(e.height, 7);
    EXPECT_EQ(e.single, 1);
    EXPECT_EQ(g_level.effectGens[1].active, 0);

    g_playMode = 2;
    LoadMongenDefs(world.f);
    EXPECT_EQ(g_level.monsterGens[0].active, 0) << "the service runs the generators";
}

}  // namespace
