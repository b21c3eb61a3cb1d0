#include <cstring>
#include <string>
#include <vector>

#include "client/arena/line_tests.h"
#include "client/arena/monster_think.h"
#include "client/arena/object_update.h"
#include "client/arena/player_status.h"
#include "client/arena/spell_objects.h"
#include "client/arena/world_effects.h"
#include "client/core/game_values.h"
#include "client/net/net_catalogue.h"
#include "client/screens/screen_surface.h"
#include "tests/client/arena/arena_fixture.h"
#include "tests/support/sent_frames.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Offline (own id -1) in the open level, facing +y; bolt 6 reaches 400 in 1000 ms with a segment
// every 32 units (a period of 80 ms) and deals 1d1+9.
class Bolts : public ArenaFixture {
protected:
    Bolts() {
        ClearWorldEffects();
        SetGameValue(118, -1);
        SetGameValue(4, 2);
        SetGameValue(115, kBolt);
        CSpellBolt& b = Bolt();
        b.range = 400;
        b.max_timer = 1000;
        b.object_spacing = 32;
        b.imagenum = 5;
        b.damage_dice = 1;
        b.damage_num_dice = 1;
        b.damage_base = 9;
        b.duration_timer = 1000;
        TintTime = 0;
    }
    ~Bolts() override {
        ClearWorldEffects();
        FreeSpells();
    }

    static constexpr int kBolt = 6;
    CSpellBolt& Bolt() {
        return GetSpell(kBolt) ? static_cast<CSpellBolt&>(*GetSpell(kBolt)) : MakeSpell<CSpellBolt>(kBolt, SPELL_BOLT);
    }

    int Monster(int x, int y, int team = 1) {
        const int s = Live(OBJ_MOVING, x, y, 0, 40);
        WorldObject& o = WorldObjectTable[s];
        o.width = 16;
        o.tall = 64;
        o.team = static_cast<int16_t>(team);
        o.hit_points = 100;
        o.max_hits = 100;
        return s;
    }

    std::vector<int> Segments() {
        std::vector<int> out;
        for (int s = 1; s < WorldObjectHighWater; ++s)
            if (WorldObjectTable[s].active == 1 && WorldObjectTable[s].type == OBJ_SPELL &&
                WorldObjectTable[s].kind == kBolt)
                out.push_back(s);
        return out;
    }

    void Frames(int count, int ms = 10) {
        for (int i = 0; i < count; ++i)
            CheckWorldEffects(ms);
    }

    const char* LastChatLine() { return ChatBuffer.lines[(ChatBuffer.write + kChatLines - 1) % kChatLines].text; }
};

TEST_F(Bolts, ABoltLaysASegmentEachPeriodAndHitsWhenItArrives) {
    const int monster = Monster(4000, 4200);
    ASSERT_EQ(Bolt().Cast(player), 1);
    const WorldEffect& r = WorldEffectTable[0];
    ASSERT_EQ(r.active, 1);
    EXPECT_EQ(r.target_kind, LINE_OBJECT);
    EXPECT_EQ(r.target, monster);
    EXPECT_EQ(r.start_z, 32) << "the feet plus the elevation";
    EXPECT_EQ(r.target_y, 4200);
    EXPECT_EQ(r.target_z, 32) << "the middle of the figure";
    EXPECT_EQ(r.caster_id, -1);
    const int range = r.range;
    ASSERT_GT(range, 100);
    ASSERT_LT(range, 200);
    // Segment n comes at (n + 1) x 80 ms; the one past range - 32 arrives.
    int arriving = 0;
    while (arriving * 32 + 32 <= range)
        ++arriving;
    Frames(8 * (arriving + 1) - 1);
    EXPECT_EQ(r.active, 1);
    EXPECT_EQ(WorldObjectTable[monster].hit_points, 100);
    const std::vector<int> laid = Segments();
    ASSERT_EQ(laid.size(), static_cast<size_t>(arriving)) << "a segment for every 80 ms of 10 ms frames";
    for (int j = 0; j < arriving; ++j)
        EXPECT_EQ(WorldObjectTable[laid[j]].y, 4000 + 200 * j * 32 / range) << j;
    Frames(1);
    EXPECT_EQ(r.active, 0);
    EXPECT_EQ(WorldObjectTable[monster].hit_points, 90);
    EXPECT_EQ(WorldObjectTable[monster].target, kTargetPlayer) << "it hunts the player who cast it";
    EXPECT_EQ(Segments().size(), static_cast<size_t>(arriving)) << "the arriving segment dies";
}

TEST_F(Bolts, ALongFrameLaysEverySegmentDueAndEndsTheBolt) {
    const int monster = Monster(4000, 4200);
    ASSERT_EQ(Bolt().Cast(player), 1);
    Frames(1, 2500);
    EXPECT_EQ(WorldEffectTable[0].active, 0);
    EXPECT_EQ(WorldObjectTable[monster].hit_points, 90);

    WorldObjectTable[monster].active = 0;
    const size_t before = Segments().size();
    ASSERT_EQ(Bolt().Cast(player), 1);
    EXPECT_EQ(WorldEffectTable[0].range, 400) << "nothing in range";
    Frames(1, 2500);
    EXPECT_EQ(WorldEffectTable[0].active, 0) << "ended at max_timer";
    EXPECT_EQ(Segments().size() - before, 12u) << "1000 ms of 80 ms periods";
}

TEST_F(Bolts, ABoltThatFoundNothingNeverArrives) {
    Bolt().cast_distance = 100;  // past segment 8 it would count as arrived, had it found something
    ASSERT_EQ(Bolt().Cast(player), 1);
    Frames(99);
    EXPECT_EQ(WorldEffectTable[0].active, 1);
    Frames(1);
    EXPECT_EQ(WorldEffectTable[0].active, 0);
    EXPECT_EQ(Segments().size(), 12u);
    EXPECT_EQ(TintTime, 0) << "nobody was hit";
}

TEST_F(Bolts, BoltsCastIntoAWallOrOfNoRangeAreRefused) {
    Rock(62, 63);  // rock 40 ahead
    Bolt().cast_distance = 64;
    EXPECT_EQ(Bolt().Cast(player), 0);
    EXPECT_EQ(WorldEffectTable[0].active, 0);
    SetCell(62, 63, 0, 0, 256);
    Bolt().range = 0;
    EXPECT_EQ(Bolt().Cast(player), 0);
}

TEST_F(Bolts, TwoBoltsInOneFrameEachTakeTheWholeFrame) {
    ASSERT_EQ(Bolt().Cast(player), 1);
    ASSERT_EQ(Bolt().Cast(player), 1);
    WorldEffectTable[0].time = 990;
    Frames(1, 50);
    EXPECT_EQ(WorldEffectTable[0].active, 0);
    EXPECT_EQ(WorldEffectTable[1].time, 50);
}

TEST_F(Bolts, BadRecordsAreFreedWithTheirReason) {
    MakeSpell<CSpellHeal>(3, SPELL_HEAL);
    g_debugLevel = 2;
    const struct {
        const char* what;
        int spell, spellRange, maxTimer, recordRange;
        const char* text;
    } cases[] = {
        {"no spell", 9, 400, 1000, 100, "SPELLPTR NULL on CheckWorldEffects!!"},
        {"not a bolt", 3, 400, 1000, 100, "SPTYPE is not BOLT on World Effect!!"},
        {"zero period", kBolt, 400, 10, 100, "Period of Bolt == 0!"},
        {"zero spell range", kBolt, 0, 1000, 100, "Period of Bolt == 0!"},
        {"zero record range", kBolt, 400, 1000, 0, "Max Range of Bolt == 0!"},
    };
    for (const auto& c : cases) {
        Bolt().range = c.spellRange;
        Bolt().max_timer = c.maxTimer;
        WorldEffect& r = WorldEffectTable[3];
        r = WorldEffect{};
        r.active = 1;
        r.kind = 1;
        r.spell = c.spell;
        r.range = c.recordRange;
        EXPECT_EQ(ValidateWorldEffect(r), 1) << c.what;
        EXPECT_STREQ(LastChatLine(), c.text) << c.what;
        Frames(1);
        EXPECT_EQ(r.active, 0) << c.what;
    }
    g_debugLevel = 0;
}

TEST_F(Bolts, APeriodOfOneMillisecondRuns) {
    Bolt().max_timer = 13;  // 13 x 32 / 400 = 1
    WorldEffect r{};
    r.active = 1;
    r.kind = 1;
    r.spell = kBolt;
    r.range = 100;
    EXPECT_EQ(ValidateWorldEffect(r), 0);
}

// All fifty records run at once, each cast taking the first free one; a cast past them is refused.
TEST_F(Bolts, EveryRecordRunsAndACastPastThemIsRefused) {
    const int monster = Monster(4000, 4300);
    for (int i = 0; i < kWorldEffects; ++i)
        ASSERT_EQ(StartWorldEffect(player, LINE_NOTHING, 0, 100), 1) << i;
    for (int i = 0; i < kWorldEffects; ++i)
        EXPECT_EQ(WorldEffectTable[i].active, 1) << i;
    EXPECT_EQ(StartWorldEffect(player, LINE_NOTHING, 0, 100), 0);
    EXPECT_EQ(StartObjectEffect(kBolt, monster, LINE_NOTHING, 0, 100), 0);
    WorldEffectTable[17].active = 0;
    EXPECT_EQ(StartObjectEffect(kBolt, monster, LINE_NOTHING, 0, 100), 1);
    EXPECT_EQ(WorldEffectTable[17].caster_id, 40) << "the freed record is taken";
}

// Crouching lowers where a bolt leaves the caster, never below his feet.
TEST_F(Bolts, ACrouchingCasterCastsLower) {
    const struct {
        int mode, elevation, startZ;
    } cases[] = {{0, 32, 32}, {1, 32, 8}, {1, 24, 0}, {1, 10, 0}, {0, 10, 10}};
    for (const auto& c : cases) {
        ClearWorldEffects();
        player.mode = c.mode;
        Bolt().elevation = c.elevation;
        ASSERT_EQ(Bolt().Cast(player), 1);
        EXPECT_EQ(WorldEffectTable[0].start_z - (view.z - player.eye_height), c.startZ)
            << c.mode << " " << c.elevation;
    }
}

TEST_F(Bolts, FramesThatMeetThePeriodExactlyStillLaySegments) {
    Bolt().max_timer = 250;  // a period of 20 ms
    ASSERT_EQ(Bolt().Cast(player), 1);
    Frames(2);
    EXPECT_EQ(Segments().size(), 1u);
    Frames(2);
    EXPECT_EQ(Segments().size(), 2u);
}

// A segment laid part of a frame late has lived that part: its life and image clock start that
// far in, and one whose life is then below 2 dies at once. Frames of 50 ms lay the first segment
// 20 ms behind the second frame's end.
TEST_F(Bolts, ASegmentLaidLateHasLivedThatLong) {
    const struct {
        int life, deathImage;
        int left;  // -1: freed at once, -3: dying at once
    } cases[] = {
        {1000, 0, 980}, {22, 0, 2}, {21, 0, -1}, {21, 9, -3}, {0, 0, -1}, {INT32_MIN, 0, -1},
    };
    for (const auto& c : cases) {
        ClearWorldEffects();
        ClearWorldObjects();
        Bolt().duration_timer = c.life;
        Bolt().death_imagenum = c.deathImage;
        ASSERT_EQ(Bolt().Cast(player), 1);
        present.calls.clear();
        Frames(1, 50);
        ASSERT_EQ(present.Count("CreateFigureForObject"), 0u) << "nothing laid yet";
        Frames(1, 50);
        ASSERT_GE(present.Count("CreateFigureForObject"), 1u) << "the first segment, in slot 1";
        const WorldObject& o = WorldObjectTable[1];
        if (c.left == -1) {
            EXPECT_NE(o.active, 1) << c.life;
            continue;
        }
        ASSERT_EQ(o.active, 1) << c.life;
        if (c.left == -3) {
            EXPECT_EQ(o.type, OBJ_DYING) << c.life;
            continue;
        }
        EXPECT_EQ(o.type, OBJ_SPELL);
        EXPECT_EQ(o.duration_timer, c.left);
        EXPECT_EQ(o.image_timer, 20);
    }
}

// A segment keeps the bolt's death image unless a roll of 0 to 99 lies above the chance: a chance of
// 99 keeps it on every segment, one of 1 on about two in a hundred; 0 never rolls.
TEST_F(Bolts, SegmentsKeepTheirDeathImageByItsChance) {
    const struct {
        int chance, atLeast, atMost;
    } cases[] = {{99, 100, 100}, {1, 0, 10}, {0, 100, 100}, {50, 35, 65}};
    for (const auto& c : cases) {
        int laid = 0, kept = 0;
        for (int cast = 0; cast < 20; ++cast) {
            ClearWorldEffects();
            ClearWorldObjects();
            Bolt().death_imagenum = 9;
            Bolt().death_imagenum_chance = c.chance;
            ASSERT_EQ(Bolt().Cast(player), 1);
            Frames(40);
            for (int s : Segments()) {
                ++laid;
                kept += WorldObjectTable[s].death_imagenum == 9;
            }
        }
        ASSERT_GT(laid, 50);
        EXPECT_GE(kept * 100 / laid, c.atLeast) << c.chance;
        EXPECT_LE(kept * 100 / laid, c.atMost) << c.chance;
    }
}

TEST_F(Bolts, TheLeadingEdgeMovesToTheNewestSegment) {
    Bolt().leading_edge_imagenum = 77;
    ASSERT_EQ(Bolt().Cast(player), 1);
    Frames(8);
    ASSERT_EQ(Segments().size(), 1u);
    const int first = Segments()[0];
    EXPECT_EQ(WorldObjectTable[first].imagenum, 77);
    Frames(8);
    ASSERT_EQ(Segments().size(), 2u);
    EXPECT_EQ(WorldObjectTable[first].imagenum, 5);
    EXPECT_EQ(WorldObjectTable[Segments()[1]].imagenum, 77);
    EXPECT_EQ(WorldEffectTable[0].last_segment, Segments()[1]);
}

TEST_F(Bolts, TheCreationEffectDetonatesAtTheFirstSegmentOnly) {
    CSpellProj& burst = MakeSpell<CSpellProj>(9, SPELL_PROJ);
    burst.num_projectiles = 2;
    Bolt().creation_effect = 9;
    ASSERT_EQ(Bolt().Cast(player), 1);
    auto bursts = [] {
        int n = 0;
        for (int s = 1; s < WorldObjectHighWater; ++s)
            n += WorldObjectTable[s].active == 1 && WorldObjectTable[s].kind == 9;
        return n;
    };
    Frames(8);
    EXPECT_EQ(bursts(), 2);
    Frames(16);
    EXPECT_EQ(bursts(), 2);
}

TEST_F(Bolts, ABoltHitsEachKindOfTarget) {
    CSpellProj& death = MakeSpell<CSpellProj>(9, SPELL_PROJ);
    death.num_projectiles = 1;
    Bolt().bolt_death_effect = 9;
    Bolt().bolt_death_effect_chance = 100;
    Bolt().min_power_drain = 1;
    Bolt().max_power_drain = 2;
    const int monster = Monster(4000, 4200);
    const int thin = MakeThin(3900, 4300, 4100, 4300, THIN_SPELL);
    ThinTable[thin].hit_points = 50;
    ThinTable[thin].id = 0x12345;
    SetGameValue(109, 1000);
    auto hit = [&](int kind, int target) {
        WorldEffect r{};
        r.active = 1;
        r.kind = 1;
        r.spell = kBolt;
        r.target_kind = kind;
        r.target = target;
        r.caster_id = -1;
        const int segment = Live(OBJ_SPELL, 4000, 4100, kBolt);
        WorldObjectTable[segment].pos_x = 4000 << 16;
        WorldObjectTable[segment].pos_y = 4100 << 16;
        EXPECT_EQ(BoltHit(segment, r), 1);
        EXPECT_NE(WorldObjectTable[segment].active, 1) << "the segment dies";
    };
    const struct {
        int link;
        int hp, thinHp, power;
        bool tinted, sent;  // online the wall's damage is told by the thin's id
    } worlds[] = {{1, 90, 40, 900, true, false}, {2, 90, 30, 900, false, true}};
    OnlineSends online;
    for (const auto& w : worlds) {
        g_linkState = w.link;
        ResetSendRing();
        TintTime = 0;
        hit(LINE_OBJECT, monster);
        hit(LINE_PLAYER, 0);
        hit(LINE_THIN, thin);
        hit(LINE_OBJECT, 5000);  // slots past the table are nobody
        hit(LINE_THIN, 700);
        EXPECT_EQ(WorldObjectTable[monster].hit_points, w.hp) << w.link;
        EXPECT_EQ(ThinTable[thin].hit_points, w.thinHp) << w.link;
        EXPECT_EQ(GetGameValue(109), w.power) << w.link;
        EXPECT_EQ(TintTime > 0, w.tinted) << w.link;
        const std::vector<SentFrame> sent = SentFrames();
        if (!w.sent) {
            EXPECT_TRUE(sent.empty()) << w.link;
            continue;
        }
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].code, F_THIN_DAMAGE);
        EXPECT_EQ(sent[0].body, (Bytes{0x00, 0x01, 0x23, 0x45, 0, 10, 0, 0})) << "thin 0x12345 takes 10";
    }
    int deaths = 0;
    for (int s = 1; s < WorldObjectHighWater; ++s)
        deaths += WorldObjectTable[s].active == 1 && WorldObjectTable[s].kind == 9;
    EXPECT_EQ(deaths, 10) << "the bolt's death effect at every hit";
}

// The drain's spread comes from two values of the spell file: far apart, it still falls between
// them, and power stays within 0 and the int limit.
TEST_F(Bolts, APowerDrainOfAnySpreadStaysBetweenItsBounds) {
    constexpr int kMax = INT32_MAX, kMin = INT32_MIN;
    const struct {
        int low, high, power;
        int64_t least, most;
    } cases[] = {
        {kMin, kMax, 1000, 0, kMax},            // any drain: to 0 or raised up to the limit
        {kMax - 1, kMax, 1000, 0, 0},           // a drain past everything the player has
        {kMin, kMin + 1, 1000, kMax, kMax},     // a "drain" that gives: held at the limit
        {1, 3, 1000, 800, 900},
        {5, 5, 1000, 1000, 1000},               // no spread: no drain
    };
    for (const auto& c : cases) {
        Bolt().min_power_drain = c.low;
        Bolt().max_power_drain = c.high;
        SetGameValue(109, c.power);
        WorldEffect r{};
        r.active = 1;
        r.kind = 1;
        r.spell = kBolt;
        r.target_kind = LINE_PLAYER;
        r.caster_id = -1;
        BoltHit(Live(OBJ_SPELL, 4000, 4100, kBolt), r);
        EXPECT_GE(GetGameValue(109), c.least) << c.low << ".." << c.high;
        EXPECT_LE(GetGameValue(109), c.most) << c.low << ".." << c.high;
    }
}

TEST_F(Bolts, AMonsterCastsItsBoltAtThePlayer) {
    const int monster = Monster(4000, 4150);
    WorldObjectTable[monster].facing = 2048;  // towards the player
    WorldObjectTable[monster].spell_num = kBolt;
    {
        OnlineSends online;
        EXPECT_EQ(MonsterCastSpell(monster), 1);
        EXPECT_TRUE(SentFrames().empty()) << "an object's bolt is not announced";
    }
    const WorldEffect& r = WorldEffectTable[0];
    ASSERT_EQ(r.active, 1);
    EXPECT_EQ(r.target_kind, LINE_PLAYER);
    EXPECT_EQ(r.caster_id, 40);
    EXPECT_EQ(r.team, 1);
    EXPECT_EQ(r.start_y, 4150);
    EXPECT_EQ(r.start_z, 32);
    EXPECT_EQ(r.target_y, 4000);
    Frames(100);
    EXPECT_EQ(r.active, 0);
    EXPECT_GT(TintTime, 0) << "the player was hit";

    // Nothing found: the point at the range straight ahead, at the caster's height.
    ASSERT_EQ(StartObjectEffect(kBolt, monster, LINE_NOTHING, 0, 100), 1);
    EXPECT_EQ(r.target_x, 4000);
    EXPECT_EQ(r.target_y, 4050);
    EXPECT_EQ(r.target_z, 32);
    ClearWorldEffects();

    WorldObjectTable[monster].spell_num = 0;
    EXPECT_EQ(MonsterCastSpell(monster), 0);
    WorldObjectTable[monster].spell_num = 400;
    EXPECT_EQ(MonsterCastSpell(monster), 0);
}

TEST_F(Bolts, AnOnlineCastIsAnnounced) {
    OnlineSends online;
    ASSERT_EQ(Bolt().Cast(player), 1);
    const std::vector<SentFrame> sent = SentFrames();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].code, F_CREATE_EFFECT);
    const Bytes want = {
        1,    0,    0,    0,                    // a bolt, no target type
        0x00, 0x00, 0xFF, 0xFF,                 // source 0, target none
        0x01, 0x90, 0x00, 0x00,                 // range 400, facing 0
        0x0F, 0xA0, 0x0F, 0xA0, 0x00, 0x20,     // from (4000, 4000, 32)
        0x0F, 0xA0, 0x11, 0x30, 0x00, 0x20,     // to (4000, 4400, 32)
        0xFF, 0x02, 0x00, 0x00,                 // caster -1 of team 2, element and skill 0
        0x03, 0xE8, 0x00, 0x06,                 // flying 1000 ms, spell 6
    };
    EXPECT_EQ(sent[0].body, want);
}

// ---- Walls -------------------------------------------------------------------------------------

class Walls : public Bolts {
protected:
    Walls() {
        CSpellWall& w = MakeSpell<CSpellWall>(2, SPELL_WALL);
        w.length = 64;
        w.thick = 16;
        w.cast_distance = 128;
        w.wallheight = 40;
        w.max_wallheight = 300;
        w.hit_points = 30;
        SetGameValue(115, 2);
        SetGameValue(118, 7);
        SetGameValue(0, 25);
    }
    CSpellWall& Wall() { return static_cast<CSpellWall&>(*GetSpell(2)); }
    std::vector<int> OwnThins() {
        std::vector<int> out;
        for (int s = 1; s < ThinCount; ++s)
            if (ThinTable[s].active == 1 && ThinTable[s].owner == 7)
                out.push_back(s);
        return out;
    }
};

TEST_F(Walls, AThickWallIsFourThinsNamingEachOther) {
    OnlineSends online;
    ASSERT_EQ(Wall().Cast(player), 1);
    const std::vector<int> thins = OwnThins();
    ASSERT_EQ(thins.size(), 4u);
    const int id = ThinTable[thins[0]].id;
    const struct {
        int x1, y1, x2, y2, length;
    } ends[] = {{4032, 4128, 3968, 4128, 64}, {4032, 4144, 3968, 4144, 64}, {4032, 4128, 4032, 4144, 16},
                {3968, 4128, 3968, 4144, 16}};
    for (int k = 0; k < 4; ++k) {
        const Thin& t = ThinTable[thins[k]];
        EXPECT_EQ(t.x1, ends[k].x1) << k;
        EXPECT_EQ(t.y1, ends[k].y1) << k;
        EXPECT_EQ(t.x2, ends[k].x2) << k;
        EXPECT_EQ(t.y2, ends[k].y2) << k;
        EXPECT_EQ(t.length, ends[k].length) << k;
        EXPECT_EQ(t.id, id + k);
        EXPECT_EQ(t.kind, THIN_SPELL);
        EXPECT_EQ(t.team, 2);
        EXPECT_EQ(t.height, 40);
        EXPECT_EQ(t.target_height, 256) << "it rises to the ceiling, not past it";
        for (int g = 0; g < 4; ++g)
            EXPECT_EQ(t.group[g], id + g);
    }
    // Spell 2, the first thin's id, at (4000, 4000, 0) facing 0, by player 7 of team 2.
    const std::vector<SentFrame> sent = SentFrames();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].code, F_CAST_WALL);
    EXPECT_EQ(sent[0].body, (Bytes{0, 2, static_cast<uint8_t>(id >> 8), static_cast<uint8_t>(id), 0x0F, 0xA0, 0x0F,
                                   0xA0, 0, 0, 0, 0, 0, 7, 0, 2}));

    // Damage to one member lowers every member once.
    DamageThin(thins[2], 10);
    for (int s : thins)
        EXPECT_EQ(ThinTable[s].hit_points, 20);
}

TEST_F(Walls, AThinWallIsOneThinAndAnEffectWallShowsItsFigure) {
    Wall().thick = 0;
    Wall().texturenum = 105;
    ASSERT_EQ(Wall().Cast(player), 1);
    const std::vector<int> thins = OwnThins();
    ASSERT_EQ(thins.size(), 1u);
    const Thin& t = ThinTable[thins[0]];
    EXPECT_EQ(t.effect_number, 5);
    EXPECT_EQ(t.texture, 0);
    EXPECT_EQ(t.effect_facing, 2048);
    EXPECT_EQ(t.effect_y >> 16, 4128);
    EXPECT_EQ(t.group[0], t.id);
    EXPECT_EQ(t.group[1], 0);
    EXPECT_EQ(present.Count("PlaceThinWalls"), 0u) << "no wall model";
}

TEST_F(Walls, WallsAreRefusedOnNodesAndNexusesAndPastTheLimit) {
    const struct {
        int tile;
        const char* text;
    } cases[] = {
        {55, "You can't place a Wall in a Nexus!"}, {50, "You can't place a Wall in a Nexus!"},
        {69, "You can't place a Wall in a Nexus!"}, {30, "You can't place a Wall in a Node!"},
        {20, "You can't place a Wall in a Node!"},  {49, "You can't place a Wall in a Node!"},
        {19, ""},                                   {70, ""},
    };
    for (const auto& c : cases) {
        g_level.plane[kPlaneTile][CellIndex(62, 64)] = static_cast<int16_t>(c.tile);
        std::memset(g_screen.noticeLines, 0, sizeof g_screen.noticeLines);
        EXPECT_EQ(Wall().Cast(player), c.text[0] ? 0 : 1) << c.tile;
        EXPECT_STREQ(g_screen.noticeLines[0], c.text) << c.tile;
        ClearThins();
    }
    g_level.plane[kPlaneTile][CellIndex(62, 64)] = 0;
    // Level 25 keeps (25 / 10) x 4 + 4 = 12 thins: three four-thin walls.
    for (int i = 0; i < 3; ++i) {
        Place(4000, 4000 - 300 * i, 0);
        EXPECT_EQ(Wall().Cast(player), 1) << i;
    }
    Place(4000, 5000, 0);
    EXPECT_EQ(Wall().Cast(player), 0);
    EXPECT_STREQ(g_screen.noticeLines[0], "You have cast too many Walls!");
    EXPECT_EQ(OwnThins().size(), 12u);
}

TEST_F(Walls, AWallIntoSomethingCloseIsRefusedSilently) {
    Monster(4000, 4060);
    std::memset(g_screen.noticeLines, 0, sizeof g_screen.noticeLines);
    EXPECT_EQ(Wall().Cast(player), 0);
    EXPECT_STREQ(g_screen.noticeLines[0], "");
    EXPECT_TRUE(OwnThins().empty());
}

}  // namespace

namespace {

TEST_F(Bolts, LineTestsStopAtTheEndOfAFullTable) {
    // Statics fill every slot, standing on open floor away from the lines.
    for (int i = 1; i < kWorldObjectSlots; ++i) {
        const int s = AllocObjectSlot(OBJ_STATIC);
        WorldObjectTable[s].x = WorldObjectTable[s].y = 200;
        ASSERT_EQ(ActivateObject(s), 1);
    }
    ASSERT_EQ(WorldObjectHighWater, kWorldObjectSlots);
    int range = 400, kind = 0;
    EXPECT_EQ(CheckCastPath(player, 64, 0), 0);
    FindBoltTarget(player, &range, &kind, 0, 0, 0);
    EXPECT_EQ(kind, LINE_NOTHING);
    int x, y, z;
    TraceRay(&x, &y, &z, 0, 400, 0);
}

// Counts, spans and heights from the spell file may be anything an int holds. Spans past the
// world's width put their objects and walls off the grid, where they are dropped, never wrapped
// back onto it; a cast whose way runs to the grid's edge is refused; heights stay 16-bit.
TEST_F(Bolts, SpellValuesOfAnySizeStayInRange) {
    CSpellProj& p = MakeSpell<CSpellProj>(9, SPELL_PROJ);
    CSpellObject& o = MakeSpell<CSpellObject>(10, SPELL_OBJECT);
    CSpellWall& w = MakeSpell<CSpellWall>(11, SPELL_WALL);
    auto liveOfKind = [](int kind) {
        int n = 0;
        for (int s = 1; s < WorldObjectHighWater; ++s)
            n += WorldObjectTable[s].active == 1 && WorldObjectTable[s].kind == kind;
        return n;
    };
    auto activeThins = [] {
        int n = 0;
        for (int t = 1; t < ThinCount; ++t)
            n += ThinTable[t].active == 1;
        return n;
    };
    const struct {
        int big;
        int castsMade;  // a positive span runs the cast path to the grid's edge
        int boltStartZ;
    } cases[] = {{INT32_MAX, 0, 32767}, {INT32_MIN, 1, 0}, {1 << 30, 0, 32767}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "value " << c.big);
        p.num_projectiles = 3;
        p.projectile_spacing = p.cast_distance = p.elevation = p.cast_angle = p.z_velocity = c.big;
        p.side_by_side = 4;
        p.horizontal_spread = p.vertical_spread = INT32_MAX;
        SetGameValue(115, 9);
        EXPECT_EQ(p.Cast(player), c.castsMade);
        const int any = Live(OBJ_SPELL, 4000, 4100);
        WorldObjectTable[any].pos_x = 4000 << 16;
        WorldObjectTable[any].pos_y = 4100 << 16;
        EXPECT_EQ(p.ObjectCast(any, 0), 1);
        p.Detonate(any);
        EXPECT_EQ(liveOfKind(9), 0) << "every projectile lies off the grid";
        // Objects that never come alive hand their slot back: the cast still ends.
        o.num_objects = INT32_MAX;
        o.object_spacing = o.cast_distance = c.big;
        o.elevation = 0;
        SetGameValue(115, 10);
        EXPECT_EQ(o.Cast(player), c.castsMade);
        EXPECT_EQ(liveOfKind(10), 0) << "every placed object lies off the grid";
        w.length = w.thick = w.cast_distance = c.big;
        EXPECT_EQ(CreateSpellWall(11, 1024, 4000, 4000, 0, 0, 2, 7), 1);
        EXPECT_EQ(activeThins(), 0) << "every wall's ends lie off the grid";
        Bolt().elevation = c.big;
        SetGameValue(115, kBolt);
        EXPECT_EQ(Bolt().Cast(player), 1);
        const WorldEffect& r = WorldEffectTable[0];
        EXPECT_EQ(r.active, 1);
        EXPECT_EQ(r.range, 400);
        EXPECT_EQ(r.start_z, c.boltStartZ);
        EXPECT_EQ(r.target_z, c.boltStartZ);
        ClearWorldEffects();
        ClearWorldObjects();
        ClearThins();
    }
}

}  // namespace

namespace {

TEST_F(Bolts, AMonsterWalkingIntoThePlayerHurtsHimOnlyWhenItMay) {
    const int monster = Monster(4000, 4040);
    WorldObjectTable[monster].damage_dice = 1;
    WorldObjectTable[monster].damage_num_dice = 1;
    const struct {
        const char* what;
        int link, team, flags;
        bool wall, hurts;
    } cases[] = {
        {"an enemy offline", 1, 1, 0, false, true},
        {"a team mate", 1, 2, 0, false, false},
        {"online, where the service decides", 2, 1, 0, false, false},
        {"an invisible operator", 1, 1, kOperatorInvisible, false, false},
        {"a thin between", 1, 1, 0, true, false},
    };
    for (const auto& c : cases) {
        g_linkState = c.link;
        g_operatorFlags = c.flags;
        WorldObjectTable[monster].team = static_cast<int16_t>(c.team);
        WorldObjectTable[monster].speed = 100;
        const int thin = c.wall ? MakeThin(3900, 4020, 4100, 4020) : 0;
        TintTime = 0;
        EXPECT_EQ(ResolveMoverCollision(monster, HIT_PLAYER, player), 0) << c.what;
        EXPECT_EQ(WorldObjectTable[monster].speed, 0) << c.what;
        EXPECT_EQ(TintTime > 0, c.hurts) << c.what;
        if (thin)
            DestroyThin(thin);
    }
    g_operatorFlags = 0;
}

}  // namespace
