#include "client/arena/object_update.h"

#include "client/core/game_values.h"
#include "tests/client/arena/room_fixture.h"

namespace {

class ObjectMotion : public LevelFixture {
protected:
    ObjectMotion() {
        // A cell with floor 40, ceiling 100 and an upper storey from 1024 to 1200.
        const int cell = CellIndex(10, 10);
        g_level.plane[kPlaneFloor][cell] = 40;
        g_level.plane[kPlaneCeiling][cell] = 100;
        g_level.plane[kPlaneStoreySplit][cell] = 1024;
        g_level.plane[kPlaneUpperCeiling][cell] = 1200;
        slot = AllocObjectSlot(OBJ_SPELL);
        WorldObject& o = WorldObjectTable[slot];
        o.x = 650;
        o.y = 650;
        o.tall = 20;
        o.max_step = 8;
    }
    WorldObject& Obj() { return WorldObjectTable[slot]; }
    int slot = 0;
};

TEST_F(ObjectMotion, CellsAnswerFloorCeilingOrFree) {
    struct Case {
        int newZ, oldZ, tall, x;
        int want;
        const char* what;
    } cases[] = {
        {40, 40, 20, 650, 0, "standing on the floor"},
        {32, 40, 20, 650, 0, "a step down within max_step"},
        {31, 40, 20, 650, 1, "below the floor by more than a step"},
        {80, 40, 20, 650, 0, "top just under the ceiling"},
        {81, 40, 20, 650, 2, "top through the ceiling"},
        {35, 40, 62, 650, 1, "taller than the room"},
        {60, 1024, 20, 650, 1, "coming down from the upper storey"},
        {500, 40, 20, 650, 2, "between the storeys from below"},
        {500, 1100, 20, 650, 1, "between the storeys from above"},
        {1016, 1024, 20, 650, 0, "the upper floor less a step"},
        {1190, 1024, 20, 650, 2, "through the upper ceiling"},
        {1016, 1024, 180, 650, 1, "taller than the upper room"},
        {40, 40, 20, 8192, 2, "off the grid is solid"},
        {40, 40, 20, -1, 2, "below 0 is solid"},
    };
    for (const Case& c : cases) {
        Obj().tall = static_cast<uint16_t>(c.tall);
        EXPECT_EQ(TestObjectCell(slot, c.newZ, c.oldZ, c.x, 650), c.want) << c.what;
    }
}

TEST(Elements, WhatBeatsAWall) {
    int beats = 0;
    for (int e = 0; e <= 10; ++e)
        for (int w = 0; w <= 10; ++w)
            beats += ElementBeats(e, w);
    EXPECT_EQ(beats, 6);
    const int pairs[][2] = {{2, 1}, {1, 2}, {4, 3}, {3, 4}, {5, 6}, {1, 7}};
    for (const auto& p : pairs) {
        EXPECT_EQ(ElementBeats(p[0], p[1]), 1) << p[0] << " on " << p[1];
        if (p[0] == 5 || p[1] == 7)
            EXPECT_EQ(ElementBeats(p[1], p[0]), 0) << p[1] << " on " << p[0];
    }
}

TEST_F(ObjectMotion, BouncesReflectByQuadrantAndKeepFacingInRange) {
    struct Case {
        int code, facing, wantFacing;
    } cases[] = {
        {HIT_X, 0, 0},  // 4096 is 0
        {HIT_X, 100, 3996},
        {HIT_X, 3000, 1096},
        {HIT_Y, 100, 1948},
        {HIT_Y, 2048, 4096 & 4095},
        {HIT_Y, 3000, 3144},
        {HIT_THIN, 100, 2148},
        {HIT_THIN, 3000, 952},
        {HIT_DIAGONAL, 2048, 0},
    };
    for (const Case& c : cases) {
        Obj().facing = static_cast<uint16_t>(c.facing);
        Obj().speed = 100;
        Obj().bounce = 5;
        Obj().bounce_count = 0;
        EXPECT_EQ(BounceObject(slot, c.code), 1);
        EXPECT_EQ(Obj().facing, c.wantFacing) << "code " << c.code << " from " << c.facing;
        EXPECT_EQ(Obj().speed, 50);
        EXPECT_EQ(Obj().bounce_count, 1);
    }
}

TEST_F(ObjectMotion, FloorAndCeilingBouncesTurnTheClimb) {
    Obj().z = 30;
    Obj().z_speed = -40;
    Obj().bounce = 5;
    Obj().max_step = 0;
    EXPECT_EQ(BounceObject(slot, HIT_FLOOR), 1);
    EXPECT_EQ(Obj().z, 40);
    EXPECT_EQ(Obj().pos_z, 40 << 16);
    EXPECT_EQ(Obj().z_speed, 20);

    Obj().z = 90;
    Obj().z_speed = 30;
    EXPECT_EQ(BounceObject(slot, HIT_CEILING), 1);
    EXPECT_EQ(Obj().z, 100 - 20 - 1);
    EXPECT_EQ(Obj().z_speed, -15);

    Obj().max_step = 8;
    Obj().z_speed = -40;
    EXPECT_EQ(BounceObject(slot, HIT_FLOOR), 1);
    EXPECT_EQ(Obj().z_speed, 0) << "a stepping object stays on the floor";
    EXPECT_EQ(Obj().bounce_count, 3);
}

TEST_F(ObjectMotion, SomeHitsDoNotBounce) {
    Obj().facing = 100;
    Obj().speed = 100;
    Obj().bounce = 5;
    for (int code : {0, 5, 9, 103})
        EXPECT_EQ(BounceObject(slot, code), 0) << code;
    EXPECT_EQ(Obj().facing, 100);
    EXPECT_EQ(Obj().speed, 100);
    Obj().type = OBJ_DYING;
    EXPECT_EQ(BounceObject(slot, HIT_OBJECT + 3), 0) << "remains pass figures";
    EXPECT_EQ(BounceObject(slot, HIT_X), 1) << "but bounce off the level";
}

TEST_F(ObjectMotion, AccelerationStopsAtZeroAndAtTheLimit) {
    struct Case {
        int speed, acceleration, frame, max;
        int wantSpeed, wantAcceleration;
    } cases[] = {
        {10, -2000, 100, 300, 0, 0},      // passes through 0: stops there
        {-10, 2000, 100, 300, 0, 0},
        {10, 50000, 100, 300, 300, 50000},  // held at the limit
        {-10, -50000, 100, 300, -300, -50000},
        {0, 2000, 100, 300, 20, 2000},     // starting from rest is no crossing
        {100, 0, 100, 300, 100, 0},
        {10, -100, 5, 300, 10, -100},       // truncated toward zero
    };
    for (const Case& c : cases) {
        Obj().speed = static_cast<int16_t>(c.speed);
        Obj().acceleration = c.acceleration;
        Obj().max_velocity = static_cast<int16_t>(c.max);
        AccelerateObject(slot, c.frame);
        EXPECT_EQ(Obj().speed, c.wantSpeed) << c.speed << " + " << c.acceleration;
        EXPECT_EQ(Obj().acceleration, c.wantAcceleration) << c.speed << " + " << c.acceleration;
    }
}

TEST_F(ObjectMotion, TurningWrapsTheFacing) {
    Obj().facing = 4000;
    Obj().turn_rate = 10000;
    TurnObject(slot, 1000);
    EXPECT_EQ(Obj().facing, 904);
    Obj().facing = 10;
    Obj().turn_rate = -2000;
    TurnObject(slot, 1000);
    EXPECT_EQ(Obj().facing, 3906);
}

}  // namespace

namespace {

// A room of cells 0..15 on each axis, floor 0, ceiling 200, an upper storey 1024..1200, and the
// walls the cases place.
class Moves : public RoomFixture {
protected:
    Moves() {
        Room(16, 200, 1024, 1200);
        SetGameValue(118, 7);
        view.x = 2000;
        view.y = 2000;
        view.z = 100;
    }
    void Wall(int cx, int cy, int kind = 1) { g_level.cellKind[CellIndex(cx, cy)] = static_cast<uint8_t>(kind); }
    int Move(int slot, int dx, int dy, int dz, int armed = 0) {
        const WorldObject& o = WorldObjectTable[slot];
        BuildCollisionLists();
        return MoveObject(player, o.x + dx, o.y + dy, o.z + dz, o.x, o.y, o.z, slot, armed);
    }
};

TEST_F(Moves, MoversMeetWallsOnEachAxis) {
    const int m = Object(OBJ_MOVING, 680, 680, 0, 16, 40);
    EXPECT_EQ(Move(m, 4, 0, 0), HIT_FREE);
    Wall(11, 11);
    EXPECT_EQ(Move(m, 4, 4, 0), HIT_DIAGONAL);
    Wall(11, 10);
    EXPECT_EQ(Move(m, 4, 0, 0), HIT_X);
    EXPECT_EQ(Move(m, -4, 0, 0), HIT_FREE) << "the probe goes the way it moves";
    Wall(10, 11, 5);
    EXPECT_EQ(Move(m, 0, 4, 0), HIT_Y) << "kind 5 stops movers";
    DestroyObject(m);
    const int p = Object(OBJ_SPELL, 680, 680, 10, 4, 10);
    EXPECT_EQ(Move(p, 0, 24, 0), HIT_FREE) << "and lets spells by";
    EXPECT_EQ(Move(p, 8, 0, 0), HIT_FREE) << "a spell probes only its width";
    EXPECT_EQ(Move(p, 24, 0, 0), HIT_SOLID_CELL);
}

TEST_F(Moves, ARaisedFloorStopsAMoverAndSpellsMeetFloorAndCeiling) {
    g_level.plane[kPlaneFloor][CellIndex(11, 10)] = 60;
    const int m = Object(OBJ_MOVING, 680, 650, 0, 16, 40);
    WorldObjectTable[m].max_step = 16;
    EXPECT_EQ(Move(m, 4, 0, 0), HIT_X);
    const int p = Object(OBJ_SPELL, 650, 650, 5, 4, 10);
    EXPECT_EQ(Move(p, 0, 4, -20), HIT_FLOOR);
    WorldObjectTable[p].z = 185;
    EXPECT_EQ(Move(p, 0, 4, 10), HIT_CEILING);
    EXPECT_EQ(Move(p, 0, 4, 4), HIT_FREE);
    const int edge = Object(OBJ_SPELL, 8185, 650, 5, 4, 10);
    EXPECT_EQ(Move(edge, 4, 0, 0), HIT_SOLID_CELL) << "past the grid is rock";
}

TEST_F(Moves, TheLocalPlayerIsHitExceptByItsOwnUnbouncedSpells) {
    view.x = 690;
    view.y = 650;
    view.z = 100;
    player.eye_height = 48;
    const int p = Object(OBJ_SPELL, 660, 650, 60, 4, 10);
    WorldObjectTable[p].creator = 3;
    EXPECT_EQ(Move(p, 8, 0, 0), HIT_PLAYER);
    WorldObjectTable[p].creator = 7;
    EXPECT_EQ(Move(p, 8, 0, 0), HIT_FREE) << "its own spell leaves the player";
    WorldObjectTable[p].bounce_count = 1;
    EXPECT_EQ(Move(p, 8, 0, 0), HIT_PLAYER) << "until it bounced";
    WorldObjectTable[p].z = 101;
    EXPECT_EQ(Move(p, 8, 0, 0), HIT_FREE) << "above the eye";
    const int m = Object(OBJ_MOVING, 660, 650, 52, 4, 10);
    WorldObjectTable[m].creator = 7;
    EXPECT_EQ(Move(m, 8, 0, 0), HIT_PLAYER);
}

TEST_F(Moves, AMissSoundIsSpentOnce) {
    view.x = 700;
    view.y = 720;
    const int p = Object(OBJ_SPELL, 650, 650, 60, 4, 10);
    WorldObjectTable[p].miss_sound = 3;
    EXPECT_EQ(Move(p, 8, 0, 0), HIT_FREE);
    EXPECT_EQ(WorldObjectTable[p].miss_sound, 3) << "70 away in y";
    view.y = 690;
    EXPECT_EQ(Move(p, 8, 0, 0), HIT_FREE);
    EXPECT_EQ(WorldObjectTable[p].miss_sound, 0);
}

TEST_F(Moves, ThinsOnlyWhenArmed) {
    const int t = MakeThin(700, 600, 700, 700);
    const int p = Object(OBJ_SPELL, 695, 650, 10, 2, 10);
    EXPECT_EQ(Move(p, 8, 0, 0, 0), HIT_FREE);
    g_hitThin = 0;
    EXPECT_EQ(Move(p, 8, 0, 0, 1), HIT_THIN);
    EXPECT_EQ(g_hitThin, t);
    ThinTable[t].open = 1;
    EXPECT_EQ(Move(p, 8, 0, 0, 1), HIT_FREE) << "an open thin lets everything through";
}

TEST_F(Moves, ObjectsStrikeFiguresButNotTheirMaker) {
    const int target = Object(OBJ_MOVING, 680, 650, 0, 10, 40);
    WorldObjectTable[target].id = 44;
    const int wall = Object(OBJ_STATIC, 650, 690, 0, 10, 40);
    const int p = Object(OBJ_SPELL, 660, 650, 10, 4, 10);
    EXPECT_EQ(Move(p, 6, 0, 0), HIT_FREE) << "|666 - 680| = 14 is not inside 14";
    EXPECT_EQ(Move(p, 7, 0, 0), HIT_OBJECT + target);
    WorldObjectTable[p].creator = 44;
    EXPECT_EQ(Move(p, 7, 0, 0), HIT_FREE);
    WorldObjectTable[p].bounce_count = 1;
    EXPECT_EQ(Move(p, 7, 0, 0), HIT_OBJECT + target);
    WorldObjectTable[p].z = 40;
    EXPECT_EQ(Move(p, 7, 0, 0), HIT_FREE) << "heights apart";

    const int m = Object(OBJ_MOVING, 650, 660, 0, 10, 40);
    EXPECT_EQ(Move(m, 0, 14, 0), HIT_OBJECT + wall) << "monsters meet statics";
    WorldObjectTable[wall].width = 7;
    EXPECT_EQ(Move(m, 0, 14, 0), HIT_FREE) << "statics under 8 wide are not obstacles";
}

}  // namespace

namespace {

TEST_F(ObjectMotion, MonstersTurnAwayByTheirId) {
    struct Case {
        int id, code, facing, want;
    } cases[] = {
        {5, HIT_X, 500, 3800},      {5, HIT_X, 1500, 2344},     {5, HIT_X, 2500, 1752},
        {5, HIT_X, 3500, 296},      {69, HIT_X, 3500, 296},     {6, HIT_X, 3500, 304},
        {5, HIT_Y, 500, 1320},      {5, HIT_Y, 1500, 728},      {5, HIT_Y, 2500, 3368},
        {5, HIT_Y, 3500, 2776},     {5, HIT_THIN, 3000, 736},   {5, HIT_DIAGONAL, 100, 1932},
        {63, HIT_X, 100, 3840 - 504},
    };
    Obj().type = OBJ_MOVING;
    for (const Case& c : cases) {
        Obj().id = static_cast<uint32_t>(c.id);
        Obj().facing = static_cast<uint16_t>(c.facing);
        Obj().smooth_time = 0;
        EXPECT_EQ(ResolveMoverCollision(slot, c.code, player), 1);
        EXPECT_EQ(Obj().facing, c.want) << "id " << c.id << " code " << c.code << " facing " << c.facing;
        EXPECT_EQ(Obj().smooth_time, 2);
        EXPECT_EQ(Obj().smooth_start_facing, c.facing);
    }
}

TEST_F(ObjectMotion, MonstersTurnFromStaticsOnlyAndStopAtThePlayer) {
    Obj().type = OBJ_MOVING;
    Obj().id = 5;
    Obj().active = 1;
    const int other = AllocObjectSlot(OBJ_MOVING);
    WorldObjectTable[other].active = 1;
    const int stat = AllocObjectSlot(OBJ_STATIC);
    Obj().facing = 100;
    EXPECT_EQ(ResolveMoverCollision(slot, HIT_OBJECT + other, player), 1);
    EXPECT_EQ(Obj().facing, 100) << "a figure blocks without a turn";
    EXPECT_EQ(ResolveMoverCollision(slot, HIT_OBJECT + stat, player), 1);
    EXPECT_EQ(Obj().facing, 1932);
    Obj().speed = 40;
    EXPECT_EQ(ResolveMoverCollision(slot, HIT_PLAYER, player), 0);
    EXPECT_EQ(Obj().speed, 0);
}

}  // namespace

namespace {

// Spell and level data may ask for any speed: the 16-bit speeds saturate, so a fast object never
// turns round by wrapping.
TEST_F(ObjectMotion, SpeedsPastThe16BitRangeAreHeldAtTheLimit) {
    const struct Case {
        const char* what;
        int code, bounce, speed, zSpeed;
        int wantSpeed, wantZSpeed;
    } cases[] = {
        {"a lively bounce off a wall", HIT_X, 526, -7416, 1954, -32768, 32767},
        {"a lively bounce the other way", HIT_X, 526, 7416, -1954, 32767, -32768},
        {"a floor bounce of the fastest fall", HIT_FLOOR, 10, 0, -32768, 0, 32767},
        {"a ceiling bounce of the fastest climb", HIT_CEILING, 10, 0, -32768, 0, 32767},
        {"an ordinary bounce", HIT_Y, 5, 300, 0, 150, 0},
    };
    for (const Case& c : cases) {
        Obj().bounce = static_cast<uint16_t>(c.bounce);
        Obj().speed = static_cast<int16_t>(c.speed);
        Obj().z_speed = static_cast<int16_t>(c.zSpeed);
        Obj().max_step = 0;
        Obj().z = 50;
        EXPECT_EQ(BounceObject(slot, c.code), 1) << c.what;
        EXPECT_EQ(Obj().speed, c.wantSpeed) << c.what;
        EXPECT_EQ(Obj().z_speed, c.wantZSpeed) << c.what;
    }

    // An object-list speed limit below 0 limits by its size.
    Obj().speed = 100;
    Obj().max_velocity = -150;
    Obj().acceleration = 1000;
    AccelerateObject(slot, 10000);
    EXPECT_EQ(Obj().speed, 150);
    Obj().acceleration = -100000;
    AccelerateObject(slot, 10000);
    EXPECT_EQ(Obj().speed, 0) << "slowing through 0 stops";
}

}  // namespace
