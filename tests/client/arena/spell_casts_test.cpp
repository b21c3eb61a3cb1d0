#include <cstring>
#include <string>
#include <vector>

#include "client/arena/spell.h"
#include "client/arena/spell_objects.h"
#include "client/core/game_values.h"
#include "client/net/net_catalogue.h"
#include "client/screens/notice_lines.h"
#include "client/screens/screen_surface.h"
#include "common/random.h"
#include "tests/client/arena/room_fixture.h"
#include "tests/support/sent_frames.h"

namespace {

class Casts : public RoomFixture {
protected:
    Casts() {
        Room(16, 400, 2000);
        view.x = 500;
        view.y = 500;
        view.pos_x = 500 << 16;
        view.pos_y = 500 << 16;
        view.z = 48;
        player.eye_height = 48;
        player.normal_eye_height = 48;
        SetGameValue(4, 2);
        SetGameValue(118, 7);
        SetGameValue(115, 12);
        GameSrand(9);
    }
    ~Casts() override { FreeSpells(); }
    std::vector<int> LiveOfKind(int kind) {
        std::vector<int> out;
        for (int s = 1; s < WorldObjectHighWater; ++s)
            if (O(s).active == 1 && O(s).kind == kind)
                out.push_back(s);
        return out;
    }
};

TEST_F(Casts, AProjectileRowStandsAcrossTheFacing) {
    CSpellProj& s = MakeSpell<CSpellProj>(1, SPELL_PROJ);
    s.num_projectiles = 3;
    s.side_by_side = 1;
    s.projectile_spacing = 64;
    s.cast_distance = 64;
    s.elevation = 32;
    s.velocity = 100;
    s.alignment_translucent = 1;
    ASSERT_EQ(s.Cast(player), 1);
    const std::vector<int> made = LiveOfKind(1);
    ASSERT_EQ(made.size(), 3u);
    const int xs[] = {436, 500, 564};
    for (int i = 0; i < 3; ++i) {
        const WorldObject& o = O(made[i]);
        EXPECT_EQ(o.x, xs[i]) << i;
        EXPECT_EQ(o.y, 564) << i;
        EXPECT_EQ(o.z, 32) << "the feet plus the elevation";
        EXPECT_EQ(o.image_frame, i);
        EXPECT_EQ(o.team, 2);
        EXPECT_EQ(o.creator, 7);
        EXPECT_EQ(o.speed, 100);
        EXPECT_EQ(o.trans_color, 4) << "team 2's colour";
    }
}

TEST_F(Casts, ProjectilesFasterThanTheRecordHoldsFlyAtItsLimitTheWayTheyAreSent) {
    CSpellProj& s = MakeSpell<CSpellProj>(1, SPELL_PROJ);
    const struct {
        int velocity, zVelocity, angle;
        int speed, zSpeed;
    } cases[] = {
        {40000, 0, 0, 32767, 0},  // 40000 in 16 bits would fly backwards
        {-40000, -40000, 0, -32768, -32768},
        {100, 0, 0, 100, 0},
        {65536, 0, 90, 0, -32768},  // straight up, then held
    };
    for (const auto& c : cases) {
        ClearWorldObjects();
        s.velocity = c.velocity;
        s.z_velocity = c.zVelocity;
        s.cast_angle = c.angle;
        ASSERT_EQ(s.Cast(player), 1);
        const std::vector<int> made = LiveOfKind(1);
        ASSERT_EQ(made.size(), 1u);
        EXPECT_EQ(O(made[0]).speed, c.speed) << c.velocity;
        EXPECT_NEAR(O(made[0]).z_speed, c.zSpeed, 1) << c.velocity;
    }
}

// A projectile made across the floor ahead stands one unit above it; one across the ceiling hangs
// one unit under it. The cell ahead (64 along y) has a floor of 40 and a ceiling of 100.
TEST_F(Casts, ProjectilesAcrossTheFloorOrCeilingAreMovedClearOfIt) {
    CSpellProj& s = MakeSpell<CSpellProj>(1, SPELL_PROJ);
    s.cast_distance = 64;
    s.tall = 50;
    const int ahead = CellIndex(500 >> 6, 564 >> 6);
    g_level.plane[kPlaneFloor][ahead] = 40;
    g_level.plane[kPlaneCeiling][ahead] = 100;
    const struct {
        int elevation, tall, z;  // -1: below the floor, never made live
    } cases[] = {
        {10, 50, 41},   // 10 .. 60 across the floor at 40
        {39, 50, 41},
        {40, 50, 40},   // on the floor: as it is
        {0, 20, -1},    // wholly below the floor
        {45, 50, 45},   // 45 .. 95 clear of both
        {80, 50, 49},   // 80 .. 130 across the ceiling at 100
        {51, 50, 49},
    };
    for (const auto& c : cases) {
        ClearWorldObjects();
        s.elevation = c.elevation;
        s.tall = c.tall;
        EXPECT_EQ(CreateProjectiles(1, 500, 500, 0, 0, 0, 0, 0, 2, 7), 1);
        const std::vector<int> made = LiveOfKind(1);
        if (c.z < 0) {
            EXPECT_TRUE(made.empty()) << c.elevation;
            continue;
        }
        ASSERT_EQ(made.size(), 1u) << c.elevation;
        EXPECT_EQ(O(made[0]).z, c.z) << c.elevation;
        EXPECT_EQ(O(made[0]).pos_z, c.z << 16) << c.elevation;
    }
}

TEST_F(Casts, AHugeCastStopsWhenTheTableIsFull) {
    CSpellProj& s = MakeSpell<CSpellProj>(1, SPELL_PROJ);
    s.num_projectiles = 2000000000;
    s.projectile_spacing = 0;
    s.cast_distance = 10;
    EXPECT_EQ(CreateProjectiles(1, 500, 500, 0, 0, 0, 0, 0, 1, 7), 1);
    EXPECT_EQ(LiveOfKind(1).size(), static_cast<size_t>(kWorldObjectSlots - 1));
    EXPECT_EQ(s.ObjectCast(LiveOfKind(1)[0], 0), 1);
    EXPECT_EQ(s.Detonate(LiveOfKind(1)[0]), 0);
}

TEST_F(Casts, RunesAreRefusedInOrder) {
    CSpellRune& r = MakeSpell<CSpellRune>(20, SPELL_RUNE);
    r.cast_distance = 64;
    r.elevation = 0;
    r.rune_type = 1;
    const int cell = CellIndex(500 >> 6, 564 >> 6);
    struct Case {
        int floor, tile;
        const char* notice;
    } cases[] = {
        {70, 0, "You can't place a Rune in a Wall!"},
        {-80, 55, "You can't place a Rune in the Air!"},
        {0, 55, "You can't place a Rune in a Nexus!"},
        {0, 20, "You can't place a Rune in a Node!"},
        {0, 70, nullptr},
    };
    for (const Case& c : cases) {
        g_level.plane[kPlaneFloor][cell] = static_cast<int16_t>(c.floor);
        g_level.plane[kPlaneTile][cell] = static_cast<int16_t>(c.tile);
        std::memset(g_screen.noticeLines, 0, sizeof g_screen.noticeLines);
        EXPECT_EQ(r.Cast(player), c.notice ? 0 : 1) << c.floor << " " << c.tile;
        if (c.notice)
            EXPECT_STREQ(g_screen.noticeLines[0], c.notice);
    }
    const std::vector<int> runes = LiveOfKind(20);
    ASSERT_EQ(runes.size(), 1u);
    EXPECT_EQ(O(runes[0]).rune_type, 1);
    EXPECT_EQ(O(runes[0]).y, 564);
    EXPECT_EQ(O(runes[0]).creator, 7);
    EXPECT_NE(O(runes[0]).id, 0u);
    std::memset(g_screen.noticeLines, 0, sizeof g_screen.noticeLines);
    EXPECT_EQ(r.Cast(player), 0) << "a Magician keeps one";
    EXPECT_STREQ(g_screen.noticeLines[0], "You have cast too many Runes!");
}

TEST_F(Casts, ARunemageKeepsMoreRunes) {
    struct Case {
        int profession, level, type, keeps;
    } cases[] = {{1, 12, 1, 5}, {0, 12, 1, 1}, {1, 12, 2, 1}, {1, 0, 1, 3}};
    for (const Case& c : cases) {
        ClearWorldObjects();
        SetGameValue(114, c.profession);
        SetGameValue(0, c.level);
        int kept = 0;
        for (int i = 0; i < 10 && !CountOwnRunes(c.type); ++i) {
            const int s = Object(OBJ_SPELL, 300 + 10 * i, 300, 0, 2, 2);
            O(s).rune_type = static_cast<uint16_t>(c.type);
            O(s).creator = 7;
            ++kept;
        }
        EXPECT_EQ(kept, c.keeps) << "profession " << c.profession << " level " << c.level << " type " << c.type;
    }
}

TEST_F(Casts, PlacedObjectsStandInARowOnTheFloor) {
    CSpellObject& s = MakeSpell<CSpellObject>(12, SPELL_OBJECT);
    s.num_objects = 3;
    s.object_spacing = 40;
    s.cast_distance = 128;
    s.elevation = 0;
    s.tall = 20;
    g_level.plane[kPlaneFloor][CellIndex(540 >> 6, 628 >> 6)] = 20;
    ASSERT_EQ(s.Cast(player), 1);
    const std::vector<int> made = LiveOfKind(12);
    ASSERT_EQ(made.size(), 3u);
    const int xs[] = {460, 500, 540};
    const int zs[] = {0, 0, 20};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(O(made[i]).x, xs[i]);
        EXPECT_EQ(O(made[i]).y, 628);
        EXPECT_EQ(O(made[i]).z, zs[i]);
        EXPECT_EQ(O(made[i]).type, OBJ_STATIC);
        EXPECT_EQ(O(made[i]).team, 2);
    }
}

TEST_F(Casts, ImageFramesOfEmptyOrUnknownImagesAreZero) {
    g_imageDefs[5].numinseq = 0;
    g_imageDefs[6].numinseq = 4;
    for (int image : {5, -1, kMaxImageDefs})
        EXPECT_EQ(RandomImageFrame(image), 0) << image;
    for (int i = 0; i < 20; ++i) {
        const int f = RandomImageFrame(6);
        EXPECT_GE(f, 0);
        EXPECT_LT(f, 4);
    }
    g_imageDefs[6].numinseq = 0;
}

TEST_F(Casts, AGateStandsAheadAsideOrOnThePlayer) {
    // The room ends at y 1024: 24 units ahead of a player at y 1000 facing +y.
    view.y = 1000;
    view.pos_y = 1000 << 16;
    const int open = AllocObjectSlot(OBJ_GATE);
    view.y = 500;
    view.pos_y = 500 << 16;
    InitGateObject(open, 7);
    EXPECT_EQ(O(open).y, 692);
    EXPECT_EQ(O(open).facing, 2048) << "facing back at the player";
    EXPECT_EQ(O(open).dead, 1);
    EXPECT_EQ(O(open).imagenum, 64);

    view.y = 1000;
    view.pos_y = 1000 << 16;
    const int aside = AllocObjectSlot(OBJ_GATE);
    InitGateObject(aside, 7);
    EXPECT_EQ(O(aside).y, 1000);
    EXPECT_NE(O(aside).x, 500) << "to one side";
    EXPECT_EQ(O(aside).facing == 3072 || O(aside).facing == 1024, true);

    ClearLevelDefs();
    Room(0, 0, 0);
    const int cell = CellIndex(500 >> 6, 1000 >> 6);
    g_level.plane[kPlaneCeiling][cell] = 400;
    g_level.plane[kPlaneStoreySplit][cell] = 2000;
    const int closet = AllocObjectSlot(OBJ_GATE);
    InitGateObject(closet, 7);
    EXPECT_EQ(O(closet).x, 500);
    EXPECT_EQ(O(closet).y, 1000);
    EXPECT_EQ(O(closet).facing, 0);
}

}  // namespace

namespace {

using Bytes = std::vector<uint8_t>;

TEST_F(Casts, OnlineCastsAreAnnouncedWithWhatTheCastUsed) {
    CSpellProj& p = MakeSpell<CSpellProj>(1, SPELL_PROJ);
    p.skill_used = 2;
    SetGameValue(6, 33);
    player.pitch = -150;  // 15 degrees down: lifted by 10
    MakeSpell<CSpellRune>(2, SPELL_RUNE).cast_distance = 64;
    MakeSpell<CSpellObject>(3, SPELL_OBJECT).num_objects = 2;
    OnlineSends online;
    for (int link : {1, 2}) {
        g_linkState = link;
        ResetSendRing();
        EXPECT_EQ(p.Cast(player), 1);
        EXPECT_EQ(static_cast<CSpellRune&>(*GetSpell(2)).Cast(player), 1);
        ClearWorldObjects();  // one rune each
        SetGameValue(115, 3);
        EXPECT_EQ(GetSpell(3)->Cast(player), 1);
        SetGameValue(115, 12);
        const std::vector<SentFrame> sent = SentFrames();
        if (link == 1) {
            EXPECT_TRUE(sent.empty());
            continue;
        }
        ASSERT_EQ(SentCodes(), (std::vector<int>{F_CREATE_PROJECTILE, F_CREATE_RUNE, F_CREATE_OBJECT, F_CREATE_OBJECT}));
        // Spell 1 at (500, 500, 0) facing 0, pitch -15, skill 33, lifted by 10.
        EXPECT_EQ(sent[0].body, (Bytes{0, 1, 0x01, 0xF4, 0x01, 0xF4, 0, 0, 0, 0, 0, 0, 0xF1, 33, 10, 0}));
        // Spell 2, a rune id of its own, at (500, 500, 0) facing 0, by player 7 of team 2.
        Bytes rune = sent[1].body;
        EXPECT_NE(rune.at(2) | rune.at(3), 0) << "the rune's id";
        rune[2] = rune[3] = 0;
        EXPECT_EQ(rune, (Bytes{0, 2, 0, 0, 0x01, 0xF4, 0x01, 0xF4, 0, 0, 0, 0, 0, 7, 0, 0, 2, 0, 0, 0}));
        for (int k : {2, 3}) {
            EXPECT_EQ(sent[k].body.at(14), 0) << k;
            EXPECT_EQ(sent[k].body.at(15), 3) << "objects of spell 3";
        }
    }
}

}  // namespace
