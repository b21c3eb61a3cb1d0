#include <gtest/gtest.h>

#include <set>

#include "client/arena/line_tests.h"
#include "client/net/client_tables.h"
#include "tests/client/arena/arena_fixture.h"

namespace {

class LineTests : public ArenaFixture {
protected:
    // A live object of that type and team standing on the floor at (x, y), 40 tall.
    int Figure(int type, int x, int y, int team = 0, uint32_t id = 0) {
        int slot = Live(type, x, y, 0, id);
        WorldObject& o = WorldObjectTable[slot];
        o.z = 0;
        o.tall = 40;
        o.width = 8;
        o.team = static_cast<int16_t>(team);
        return slot;
    }
};

TEST_F(LineTests, PointsAheadTurnWithTheFacing) {
    struct Case {
        int facing, side, forward, x, y;
    } cases[] = {
        {0, 0, 64, 1000, 1064},    {1024, 0, 64, 936, 1000}, {2048, 0, 64, 1000, 936},
        {3072, 0, 64, 1064, 1000}, {0, 10, 0, 1010, 1000},   {1024, 10, 64, 936, 1010},
    };
    for (const Case& c : cases) {
        int x, y;
        PointAhead(1000, 1000, c.facing, c.side, c.forward, &x, &y);
        EXPECT_EQ(x, c.x) << c.facing << " " << c.side << " " << c.forward;
        EXPECT_EQ(y, c.y) << c.facing << " " << c.side << " " << c.forward;
        int32_t fx, fy;
        Place(1000, 1000, c.facing);
        PointAheadOfView(c.side, c.forward, &fx, &fy);
        EXPECT_EQ(fx, c.x << 16);
        EXPECT_EQ(fy, c.y << 16);
    }
}

TEST_F(LineTests, DiceAndDistance) {
    EXPECT_EQ(RollDice(6, 0, 5), 0);
    EXPECT_EQ(RollDice(0, 3, 5), 0);
    EXPECT_EQ(RollDice(-2, 3, 5), 0);
    EXPECT_EQ(RollDice(6, -1, 5), 0);
    EXPECT_EQ(RollDice(1, 3, 5), 8);
    std::set<int> seen;
    for (int i = 0; i < 400; ++i) {
        int r = RollDice(6, 2, 1);
        ASSERT_GE(r, 3);
        ASSERT_LE(r, 13);
        seen.insert(r);
    }
    EXPECT_EQ(seen.size(), 11u);  // every sum comes up

    EXPECT_EQ(Distance3D(0, 0, 0, 3 << 16, 4 << 16, 0), 5);
    EXPECT_EQ(Distance3D(0, 0, 0, (3 << 16) + 0xffff, 4 << 16, 0xffff), 5);  // fractions dropped
    EXPECT_EQ(Distance3D(1 << 16, 1 << 16, 1 << 16, 0, 0, 0), 1);            // sqrt 3 truncated
    EXPECT_EQ(Distance3D(-(2 << 16), 0, 0, 0, 0, 0), 2);
}

TEST_F(LineTests, CastPathStopsAtWallsObjectsAndThinsWithinTheDistance) {
    Place(4000, 4000, 0);  // facing +y
    EXPECT_EQ(CheckCastPath(player, 128, 32), 0);

    // Rock from y = 4032: a distance of 24 stops short of it, 32 reaches it.
    Rock(4000 >> 6, 4032 >> 6);
    EXPECT_EQ(CheckCastPath(player, 24, 32), 0);
    EXPECT_EQ(CheckCastPath(player, 32, 32), kHitLevel);
    SetCell(4000 >> 6, 4032 >> 6, 0, 0, 256);

    // At cast height 16 a floor 16 higher lets it pass; 17 higher stops it.
    SetCell(62, 63, 0, 32, 256);
    Place(62 * 64 + 32, 62 * 64 + 32, 0);
    EXPECT_EQ(CheckCastPath(player, 64, 16), 0);
    SetCell(62, 63, 0, 33, 256);
    EXPECT_EQ(CheckCastPath(player, 64, 16), kHitLevel);
    SetCell(62, 63, 0, 0, 256);

    Place(4000, 4000, 0);
    int own = Figure(OBJ_PLAYER, 4000, 4000);
    player.own_object = own;
    int dying = Figure(OBJ_DYING, 4000, 4030);
    EXPECT_EQ(CheckCastPath(player, 128, 32), 0) << "own figure and dying objects let it pass";
    int monster = Figure(OBJ_MOVING, 4000, 4090);
    EXPECT_EQ(CheckCastPath(player, 64, 32), 0);
    EXPECT_EQ(CheckCastPath(player, 96, 32), monster);
    WorldObjectTable[monster].z = 40;  // above the cast height
    EXPECT_EQ(CheckCastPath(player, 96, 32), 0);
    DestroyObject(monster);
    DestroyObject(dying);

    MakeThin(3950, 4050, 4050, 4050);
    EXPECT_EQ(CheckCastPath(player, 40, 32), 0);
    EXPECT_EQ(CheckCastPath(player, 56, 32), kHitLevel);

    // A low wall is cast over once its top is below the cast height.
    ClearThins();
    const int low = MakeThin(3950, 4050, 4050, 4050, THIN_PLAIN, 32);
    EXPECT_EQ(CheckCastPath(player, 56, 32), kHitLevel);
    ThinTable[low].height = 31;
    EXPECT_EQ(CheckCastPath(player, 56, 32), 0);
}

TEST_F(LineTests, BoltTargetsFollowTheTeamRules) {
    SetGameValue(4, 1);
    Place(4000, 4000, 0);
    player.pitch = 0;
    UpdatePlayerTable(77, 0, 2, "Other");
    UpdatePlayerTable(78, 0, 1, "Mate");
    struct Case {
        int type, team;
        uint32_t id;
        bool dead;
        int friendly;
        bool hit;
    } cases[] = {
        {OBJ_PLAYER, 2, 77, false, 0, true},  {OBJ_PLAYER, 1, 78, false, 0, false}, {OBJ_PLAYER, 2, 77, true, 0, false},
        {OBJ_PLAYER, 1, 78, false, 1, true},  {OBJ_PLAYER, 2, 77, false, 1, false}, {OBJ_MOVING, 0, 0, false, 0, true},
        {OBJ_MOVING, 2, 0, false, 0, true},   {OBJ_MOVING, 1, 0, false, 0, false},  {OBJ_MOVING, 1, 0, false, 1, true},
        {OBJ_STATIC, 0, 0, false, 0, false},  {OBJ_STATIC, 0, 0, false, 1, true},   {OBJ_SPELL, 0, 0, false, 1, true},
        {OBJ_SERVICE, 0, 0, false, 1, true},  {OBJ_DYING, 2, 0, false, 0, false},
    };
    for (const Case& c : cases) {
        int slot = Figure(c.type, 4000, 4200, c.team, c.id);
        PlayerTable[FindPlayerIndex(77)].dead = c.dead;
        int range = 400, kind = -1;
        int target = FindBoltTarget(player, &range, &kind, c.friendly, 0, 0);
        if (c.hit) {
            EXPECT_EQ(target, slot) << c.type << " team " << c.team << " friendly " << c.friendly;
            EXPECT_EQ(kind, LINE_OBJECT);
            // The step that hit is taken back: the box begins 24 short of the figure.
            EXPECT_EQ(range, 168);
        } else {
            EXPECT_EQ(target, 0) << c.type << " team " << c.team << " friendly " << c.friendly;
            EXPECT_EQ(range, 400);
        }
        int thinsOnly = 400;
        EXPECT_EQ(FindBoltTarget(player, &thinsOnly, &kind, c.friendly, 0, 1), 0);
        DestroyObject(slot);
    }
    PlayerTable[FindPlayerIndex(77)].dead = 0;

    // An unseen figure (another room, no view between them) is passed.
    int slot = Figure(OBJ_PLAYER, 4000, 4200, 2, 77);
    g_level.roomMap[CellIndex(4000 >> 6, 4200 >> 6)] = 5;
    int range = 400, kind;
    EXPECT_EQ(FindBoltTarget(player, &range, &kind, 0, 0, 0), 0);
    g_level.rooms[0].mask = 1u << 5;
    EXPECT_EQ(FindBoltTarget(player, &range, &kind, 0, 0, 0), slot);
}

TEST_F(LineTests, BoltTargetsMeetThinsFirstThenTheLevel) {
    Place(4000, 4000, 0);
    int monster = Live(OBJ_MOVING, 4000, 4120);
    WorldObjectTable[monster].tall = 64;
    int thin = MakeThin(3950, 4100, 4050, 4100, THIN_PLAIN, 64);
    int range = 400, kind;
    EXPECT_EQ(FindBoltTarget(player, &range, &kind, 0, 0, 0), thin);
    EXPECT_EQ(kind, LINE_THIN);
    EXPECT_EQ(range, 96);
    // A thin below the line is passed unless the radius widens it.
    ThinTable[thin].height = 40;
    range = 400;
    EXPECT_EQ(FindBoltTarget(player, &range, &kind, 0, 0, 0), monster);
    range = 400;
    EXPECT_EQ(FindBoltTarget(player, &range, &kind, 0, 8, 1), thin);
    DestroyObject(monster);
    DestroyThin(thin);

    // Rock ends the line as the level, and so does the ceiling when looking up.
    Rock(4000 >> 6, 4200 >> 6);
    range = 400;
    EXPECT_EQ(FindBoltTarget(player, &range, &kind, 0, 0, 0), kHitLevel);
    EXPECT_EQ(kind, LINE_NOTHING);
    EXPECT_EQ(range, 152);
    SetCell(4000 >> 6, 4200 >> 6, 0, 0, 256);
    player.pitch = -450;  // 45 degrees up: the ceiling at 256 is 208 above the eye
    range = 600;
    EXPECT_EQ(FindBoltTarget(player, &range, &kind, 0, 0, 0), kHitLevel);
    EXPECT_EQ(range, 352);  // 36 steps: 288 across, 203 up
}

// Spell lines meet the level by its floors, ceilings and storeys: rock stops them by its raised
// floor, and no cell kind of its own stops them, so a cast crosses the cells only movers may not
// enter (kind 5), as its projectiles do. The aiming ray stops at every solid point.
TEST_F(LineTests, OnlyTheAimingRayStopsAtSolidCellKinds) {
    struct Case {
        const char* what;
        int kind, floor;
        bool spellLines, ray;
    } cases[] = {
        {"open floor", 0, 0, false, false},
        {"rock", 1, 256, true, true},
        {"rock left at the floor", 1, 0, false, true},  // spell lines test no cell kind
        {"a marked cell", 2, 0, false, false},
        {"a marked cell", 3, 0, false, false},
        {"a marked cell", 4, 0, false, false},
        {"a cell closed to movers", 5, 0, false, true},
        {"a raised floor", 0, 60, true, true},
    };
    const int cx = 4000 >> 6, cy = 4096 >> 6;  // 96 ahead of the view
    for (const Case& c : cases) {
        SetCell(cx, cy, c.kind, c.floor, 256);
        Place(4000, 4000, 0);
        const int level = c.spellLines ? kHitLevel : 0;
        EXPECT_EQ(CheckCastPath(player, 128, 32), level) << c.what << " " << c.kind;
        int range = 400, kind = -1;
        EXPECT_EQ(FindBoltTarget(player, &range, &kind, 0, 0, 0), level) << c.what << " " << c.kind;
        // A monster where the view stood, the player out of its way.
        Place(3000, 3000, 0);
        const int caster = Figure(OBJ_MOVING, 4000, 4000);
        range = 400;
        EXPECT_EQ(FindBoltCollision(caster, &range, &kind), level) << c.what << " " << c.kind;
        DestroyObject(caster);
        Place(4000, 4000, 0);
        int x, y, z;
        EXPECT_EQ(TraceRay(&x, &y, &z, 0, 400, 0), c.ray ? kHitLevel : 0) << c.what << " " << c.kind;
        SetCell(cx, cy, 0, 0, 256);
    }
}

TEST_F(LineTests, StoreySplitsPartTheLines) {
    // The view stands on the upper storey (split 128) of a block; the cells beyond have no upper
    // storey, so a line from the roof ends at the block's edge.
    for (int cy = 62; cy <= 63; ++cy) {
        SetCell(62, cy, 0, 0, 320, 128);
        g_level.plane[kPlaneUpperCeiling][CellIndex(62, cy)] = 320;
    }
    Place(62 * 64 + 32, 62 * 64 + 32, 0);
    view.z = 128 + 48;
    int range = 400, kind;
    EXPECT_EQ(FindBoltTarget(player, &range, &kind, 0, 0, 0), kHitLevel);
    EXPECT_EQ(range, 88);  // the last step inside the block
    EXPECT_EQ(CheckCastPath(player, 128, 48), kHitLevel);
    EXPECT_EQ(CheckCastPath(player, 64, 48), 0);

    // From the lower storey (under a lower ceiling of 320) a line looking up ends where it
    // rises through the split, 80 above the eye.
    for (int cy = 64; cy <= 65; ++cy)
        SetCell(62, cy, 0, 0, 320, 128);
    view.z = 48;
    player.pitch = -450;
    range = 400;
    EXPECT_EQ(FindBoltTarget(player, &range, &kind, 0, 0, 0), kHitLevel);
    EXPECT_EQ(range, 137);  // 14 steps: 112 across, 79 up
}

TEST_F(LineTests, ABoltFromBeyondCell63FindsItsTarget) {
    for (int x : {200, 5000, 8000 - 200}) {
        Place(x, 7000, 2048);  // facing -y
        int slot = Figure(OBJ_MOVING, x, 6800);
        int range = 400, kind;
        EXPECT_EQ(FindBoltTarget(player, &range, &kind, 0, 0, 0), slot) << x;
        DestroyObject(slot);
    }
}

TEST_F(LineTests, ObjectsBoltsMeetThePlayerObjectsAndThins) {
    Place(4000, 4000, 0);
    int caster = Live(OBJ_MOVING, 4000, 4200);
    WorldObjectTable[caster].facing = 2048;  // towards the player
    int range = 400, kind;
    EXPECT_EQ(FindBoltCollision(caster, &range, &kind), 0);
    EXPECT_EQ(kind, LINE_PLAYER);
    EXPECT_EQ(range, 200 - 32 - 8);

    int between = Live(OBJ_MOVING, 4000, 4100);
    WorldObjectTable[between].tall = 64;
    range = 400;
    EXPECT_EQ(FindBoltCollision(caster, &range, &kind), between);
    EXPECT_EQ(kind, LINE_OBJECT);
    DestroyObject(between);

    MakeThin(3950, 4150, 4050, 4150, THIN_PLAIN, 64);
    range = 400;
    EXPECT_EQ(FindBoltCollision(caster, &range, &kind), kHitThinFromObject);
    EXPECT_EQ(kind, LINE_THIN);
    EXPECT_EQ(range, 48);
}

// An object's bolt meets the player within 32 of his x and y, from his feet to 70 above his eye.
TEST_F(LineTests, ObjectsBoltsMeetThePlayerWithinHisBox) {
    const struct {
        int x, y, z, facing;
        bool hits;
    } cases[] = {
        {4032, 4200, 0, 2048, true},   // passing 32 to his side
        {3968, 4200, 0, 2048, true},
        {4033, 4200, 0, 2048, false},
        {4200, 4032, 0, 1024, true},   // coming along x
        {4200, 4033, 0, 1024, false},
        {4000, 4200, 86, 2048, true},  // the line at 118, 70 above the eye
        {4000, 4200, 87, 2048, false},
    };
    for (const auto& c : cases) {
        ClearWorldObjects();
        Place(4000, 4000, 0);
        const int caster = Live(OBJ_MOVING, c.x, c.y);
        WorldObjectTable[caster].z = static_cast<int16_t>(c.z);
        WorldObjectTable[caster].facing = static_cast<uint16_t>(c.facing);
        int range = 400, kind;
        FindBoltCollision(caster, &range, &kind);
        EXPECT_EQ(kind == LINE_PLAYER, c.hits) << c.x << " " << c.y << " " << c.z;
    }
}

TEST_F(LineTests, TraceRaySnapsOntoTheFaceItCrossed) {
    // Rock from y = 4032 on; the view at y 4000.5 steps to 4024.5, then 4032.5 is in the rock.
    for (int cx = 60; cx < 66; ++cx)
        SetCell(cx, 4032 >> 6, 1, 0, 256);
    Place(4001, 4000, 0);
    view.pos_y += 0x8000;
    int x, y, z;
    EXPECT_EQ(TraceRay(&x, &y, &z, 0, 512, 0), kHitLevel);
    EXPECT_EQ(x, 4001);
    EXPECT_EQ(y, 4032);
    EXPECT_EQ(z, 48);

    // Out of range: nothing, and the end of the line.
    EXPECT_EQ(TraceRay(&x, &y, &z, 0, 16, 0), 0);
    EXPECT_EQ(y, 4016);

    // Heading 1024 looks to the side and keeps the height; eye-relative starts at the feet.
    EXPECT_EQ(TraceRay(&x, &y, &z, 1024, 64, 1), 0);
    EXPECT_EQ(x, 4001 - 64);
    EXPECT_EQ(z, 0);

    // Looking down 30 degrees the floor is met after 96: the step from 4096.5 (z 0) to
    // 4104.5 (z -4) crosses the face y = 4104 first.
    for (int cx = 60; cx < 66; ++cx)
        SetCell(cx, 4032 >> 6, 0, 0, 256);
    player.pitch = 300;
    EXPECT_EQ(TraceRay(&x, &y, &z, 0, 512, 0), kHitLevel);
    EXPECT_EQ(y, 4104);
    EXPECT_EQ(z, -3);
    // Heading 2048 turns round and raises the pitch: the ceiling at 256 is far above, rock at
    // y < 128 of the room edge is not; the line ends at its range.
    EXPECT_EQ(TraceRay(&x, &y, &z, 2048, 64, 0), 0);
    EXPECT_EQ(y, 4000 - 64);
    EXPECT_GT(z, 48);
}

TEST_F(LineTests, TraceRayMeetsVisibleFiguresAndThins) {
    Place(4000, 4000, 0);
    int figure = Live(OBJ_PLAYER, 4000, 4200);
    WorldObjectTable[figure].tall = 64;
    int x, y, z;
    EXPECT_EQ(TraceRay(&x, &y, &z, 0, 512, 0), figure);
    EXPECT_EQ(y, 4184);  // its box starts 16 beyond the width
    player.own_object = figure;
    EXPECT_EQ(TraceRay(&x, &y, &z, 0, 512, 0), 0);
    player.own_object = 0;
    g_level.roomMap[CellIndex(4000 >> 6, 4200 >> 6)] = 3;  // hidden
    EXPECT_EQ(TraceRay(&x, &y, &z, 0, 512, 0), 0);
    EXPECT_EQ(TraceRay(&x, &y, &z, 1024 + 3072, 512, 0), 0) << "figures only straight ahead";

    int thin = MakeThin(3900, 4100, 4100, 4100, THIN_PLAIN, 64);
    EXPECT_EQ(TraceRay(&x, &y, &z, 0, 512, 0), thin);
    EXPECT_EQ(y, 4104);
    ThinTable[thin].side_mark = 1;  // a box's added side lets rays through
    EXPECT_EQ(TraceRay(&x, &y, &z, 0, 512, 0), 0);
}

// The ray meets a figure whose box (its width + 16 about its middle) it only grazes, in every
// direction along the axes, and passes one a unit further off; a figure whose box begins past the
// range, or behind the view, is not met.
TEST_F(LineTests, TraceRayMeetsTheEdgeOfAFiguresBox) {
    const struct {
        int facing, alongX, alongY;  // the way the facing looks
    } ways[] = {{0, 0, 1}, {1024, -1, 0}, {2048, 0, -1}, {3072, 1, 0}};
    const struct {
        int ahead, side;
        bool met;
    } cases[] = {{200, 24, true}, {200, -24, true}, {200, 25, false}, {200, -25, false}, {500, 0, true},
                 {540, 0, false}, {-100, 0, false}};
    for (const auto& w : ways) {
        for (const auto& c : cases) {
            ClearWorldObjects();
            Place(4000, 4000, w.facing);
            // Across the line: the axis the line does not run along.
            const int x = 4000 + w.alongX * c.ahead + w.alongY * c.side;
            const int y = 4000 + w.alongY * c.ahead + w.alongX * c.side;
            const int figure = Figure(OBJ_PLAYER, x, y);
            int hx, hy, hz;
            EXPECT_EQ(TraceRay(&hx, &hy, &hz, 0, 512, 0), c.met ? figure : 0)
                << "facing " << w.facing << ", " << c.ahead << " ahead, " << c.side << " aside";
        }
    }
}

TEST_F(LineTests, ThinTargetsAreSpellWallsCrossedAhead) {
    Place(4000, 4000, 0);
    int plain = MakeThin(3500, 4100, 4500, 4100, THIN_PLAIN, 16);
    EXPECT_EQ(FindThinTarget(400), -1);
    int wall = MakeThin(3500, 4200, 4500, 4200, THIN_SPELL, 16);
    EXPECT_EQ(FindThinTarget(400), wall);
    EXPECT_EQ(FindThinTarget(150), -1);
    // An oblique long line still meets a wall whose ends are both far off it.
    Place(4000, 4000, 512);
    EXPECT_EQ(FindThinTarget(400), wall);
    (void)plain;
}

}  // namespace

TEST_F(LineTests, LinesFromTheEndsOfTheHeightsHoldThere) {
    // Heights come from level files; a line starting near the top or the bottom of the 16-bit
    // range saturates instead of wrapping to the other end.
    struct Case {
        int floor, ceiling, z, pitch, target;
    } cases[] = {
        {32600, 32767, 32760, -900, kHitLevel},  // up into the storey split at the top
        {-32768, 32767, -32760, 900, 0},         // down along the lowest floor
    };
    for (const Case& c : cases) {
        for (int cy = 60; cy <= 70; ++cy)
            SetCell(62, cy, 0, c.floor, c.ceiling);
        Place(62 * 64 + 32, 62 * 64 + 32, 0);
        view.z = c.z;
        player.pitch = c.pitch;
        int range = 400, kind;
        EXPECT_EQ(FindBoltTarget(player, &range, &kind, 0, 0, 0), c.target) << c.z;
    }
}
