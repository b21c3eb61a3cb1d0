// The arena's messages: other players' casts repeated here through the spell classes, objects,
// walls, doors, earthnodes and nexuses, damage and raising, the operators' orders, and the
// bodies of what the local player's casts and biases send.

#include <algorithm>
#include <memory>

#include "client/arena/grid_queries.h"
#include "client/arena/line_tests.h"
#include "client/arena/player_status.h"
#include "client/arena/player_view.h"
#include "client/arena/spell.h"
#include "client/arena/thin.h"
#include "client/arena/trigger.h"
#include "client/arena/world_effects.h"
#include "client/arena/world_object.h"
#include "client/core/game_clock.h"
#include "client/core/level_defs.h"
#include "client/net/net_handshake.h"
#include "client/net/net_players.h"
#include "client/net/net_spells.h"
#include "client/screens/fonts.h"
#include "client/screens/screen_surface.h"
#include "tests/client/net/net_messages_fixture.h"
#include "tests/client/sound_log.h"

namespace {

using namespace netmsg;

// An effect spell that records what it is asked to do.
struct SpellCall {
    int spell;
    std::string what;
    int a, b;
};
std::vector<SpellCall> g_spellCalls;

class RecordingEffect : public CSpellEffect {
public:
    int ObjectCast(int slot, int source) override {
        g_spellCalls.push_back({spell_number, "object", slot, source});
        return 1;
    }
    int AffectPlayer(LocalPlayer&, int sourceId, int sendFlag) override {
        g_spellCalls.push_back({spell_number, "player", sourceId, sendFlag});
        return 1;
    }
};

// Sound numbers the handlers play stay below this.
constexpr int kSounds = 40;

Bytes Words(std::initializer_list<int> words, size_t size) {
    Bytes b(size);
    size_t off = 0;
    for (int w : words) {
        Put16(b, off, w);
        off += 2;
    }
    return b;
}

// An open floor with the local player standing at (4000, 4000) in team 2 at level 25; no
// objects, thins, triggers or spells.
void EnterTestArena(LocalPlayer& player, PlayerView& view) {
    ClearWorldObjects();
    ClearThins();
    FreeTriggers();
    ClearLevelDefs();
    ClearSpellData();
    for (int i = 0; i < kGridCells; ++i) {
        g_level.plane[kPlaneCeiling][i] = 256;
        g_level.plane[kPlaneStoreySplit][i] = 32767;
    }
    g_spellCalls.clear();
    player.normal_eye_height = player.eye_height = 48;
    view.x = view.y = 4000;
    view.pos_x = view.pos_y = 4000 << 16;
    g_localPlayer = &player;
    g_playerView = &view;
    view.z = GetStandHeight(4000, 4000, 0);
    GameClock = 500000;
    SetGameValue(4, 2);
    SetGameValue(0, 25);
    SetGameValue(108, 4000);
}

void LeaveTestArena() {
    ClearWorldObjects();
    ClearThins();
    FreeTriggers();
    ClearSpellData();
    g_localPlayer = nullptr;
    g_playerView = nullptr;
}

// A spell of the number and class in the table.
template <typename T = RecordingEffect>
T& Spell(int number, int type) {
    auto s = std::make_unique<T>();
    s->type = type;
    s->spell_number = number;
    s->valid = 1;
    T& ref = *s;
    SetSpell(number, std::move(s));
    return ref;
}

// Live objects of the type.
int LiveOfType(int type) {
    int n = 0;
    for (int s = 1; s < WorldObjectHighWater; ++s)
        n += WorldObjectTable[s].active == 1 && WorldObjectTable[s].type == type;
    return n;
}

class ArenaNetTest : public NetMessagesTest {
protected:
    void SetUp() override {
        NetMessagesTest::SetUp();
        EnterTestArena(player, view);
    }

    void TearDown() override {
        LeaveTestArena();
        NetMessagesTest::TearDown();
    }

    // A known player with a live figure at (x, y).
    int Figure(int id, const char* name, int x = 1000, int y = 1000, int team = 1) {
        AddPlayer(id, name, team);
        const int slot = AllocObjectSlot(OBJ_PLAYER);
        WorldObject& o = WorldObjectTable[slot];
        o.id = static_cast<uint32_t>(id);
        o.x = static_cast<uint16_t>(x);
        o.y = static_cast<uint16_t>(y);
        o.pos_x = x << 16;
        o.pos_y = y << 16;
        o.width = 24;
        o.tall = 70;
        EXPECT_EQ(ActivateObject(slot), 1);
        return slot;
    }

    LocalPlayer player{};
    PlayerView view{};
};

// ---- What the local player's casts, walls, doors and biases send ----------------------------------

TEST_F(ArenaNetTest, SendersWriteTheirBodiesAtTheWireOffsets) {
    const int fig = Figure(9, "Nell");
    auto& dispell = Spell<CSpellDispell>(11, SPELL_DISPELL);
    dispell.level = 3;
    dispell.range = 512;
    dispell.dispell_type = 2;
    auto& target = Spell<CSpellTarget>(12, SPELL_TARGET);
    target.range = 700;
    target.caster_spell_effect = 13;
    target.target_spell_effect = 14;  // no such spell: sent as 0
    Spell(13, SPELL_EFFECT);
    view = PlayerView{};
    view.x = 640;
    view.y = 704;
    view.z = 48;
    view.facing = 3000;
    const int obj = AllocObjectSlot(OBJ_STATIC);
    WorldObject& o = WorldObjectTable[obj];
    o.speed = -3;
    o.facing = 100;
    o.x = 300;
    o.y = 400;
    o.z = -5;
    o.id = 0x1234;
    o.creator = 7;
    o.kind = 9;
    o.z_speed = -20;
    o.team = 2;
    o.duration_timer = 12345;
    const int thin = AllocThinSlot(THIN_SPELL);
    ThinTable[thin].id = 1030;
    EarthnodeDef& node = g_level.earthnodes[3];
    node.owner = 1;
    node.connected_team = 1;
    const int links[5] = {4, 5, 101, -1, 120};
    std::copy(links, links + 5, node.link);
    g_level.earthnodes[4] = EarthnodeDef{.found = 1, .owner = 3};
    g_level.earthnodes[5] = EarthnodeDef{.found = 1, .owner = 2};
    g_level.shrines[1].found = 1;
    g_level.shrines[1].alignment = 1;
    g_level.shrines[2].alignment = 3;
    NexusPower[3] = 7;
    // Node 6, another team's, links only to nexus 0 (of a third team); node 7 is ours and its
    // links, held by others, do not count.
    g_level.earthnodes[6] = EarthnodeDef{.owner = 1, .connected_team = 1};
    g_level.earthnodes[7] = EarthnodeDef{.owner = 2, .connected_team = 2};
    const int nexusLink[5] = {100, -1, -1, -1, -1};
    std::copy(nexusLink, nexusLink + 5, g_level.earthnodes[6].link);
    std::copy(links, links + 5, g_level.earthnodes[7].link);
    g_level.shrines[0].found = 1;
    g_level.shrines[0].alignment = 3;

    struct Row {
        const char* what;
        std::function<void()> send;
        int code, destination;
        Bytes body;
    };
    const std::vector<Row> rows = {
        {"object", [&] { SendCreateObject(obj); }, 2, 0,
         {0xFF, 0xFD, 0, 100, 1, 0x2C, 1, 0x90, 0xFF, 0xFB, 0x12, 0x34, 0, 7, 0, 9, 0xFE, 0, 2, 12}},
        {"projectile", [] { SendCreateProjectile(5, 1000, 2000, 30, 1024, -10, 3, -24); }, 176, 0xFFFF,
         {0, 5, 0x03, 0xE8, 0x07, 0xD0, 0, 30, 0x04, 0, 0, 0, 0xF6, 3, 0xE8, 0}},
        {"rune", [] { SendCreateRune(6, 0x0401, 100, 200, 0, 4095, 2); }, 178, 0xFFFF,
         {0, 6, 4, 1, 0, 100, 0, 200, 0, 0, 0x0F, 0xFF, 0, 7, 0, 0, 2, 0, 0, 0}},
        {"wall", [] { SendCastWall(8, 0x0500, 100, 200, 16, 2048, 2); }, 180, 0xFFFF,
         {0, 8, 5, 0, 0, 100, 0, 200, 0, 16, 8, 0, 0, 7, 0, 2}},
        {"dispell", [] { SetGameValue(115, 11); SendDispell(); }, 44, 0xFFFF,
         {2, 0x80, 2, 0xC0, 0, 48, 0x0B, 0xB8, 0, 3, 2, 0, 0, 11, 2, 0}},
        {"targetted", [&] { SetGameValue(115, 12); SendTargetted(fig, 1); }, 45, 0xFFFF,
         {0, 12, 2, 0xBC, 0, 7, 0, 9, 0, 13, 0, 0, 1, 0, 0, 0}},
        {"teleport", [] { SendTeleport(9, 3); }, 48, 0, {0, 7, 0, 9, 3, 0, 0, 0}},
        {"thin damage", [&] { SendThinDamage(thin, 300); }, 47, 0, {0, 0, 4, 6, 1, 0x2C, 0, 0}},
        {"door", [] { SendOpenDoor(12, 1); }, 49, 0xFFFF, {0, 0, 0, 12, 1, 0, 0, 0}},
        // Links to a node of team 3 and to nexus 1 of team 1 count; our own node and nexus 20 not.
        {"bias earthnode", [] { SendBiasEarthblood(g_localPlayer, 3); }, 40, 0, {3, 25, 2, 3}},
        {"bias earthnode by nexus 0", [] { SendBiasEarthblood(g_localPlayer, 6); }, 40, 0, {6, 25, 2, 2}},
        {"bias our own earthnode", [] { SendBiasEarthblood(g_localPlayer, 7); }, 40, 0, {7, 25, 2, 0}},
        {"bias nexus", [] { SendBiasShrine(g_localPlayer, 2); }, 42, 0, {2, 25, 2, 17}},
        {"experience", [] { send_experience(500, 9); }, 65, 0xFFFF, {1, 0xF4, 0, 9}},
        {"yank response", [] { SendYankResponse(); }, 168, 0xFFFF, {0, 7, 0, 0, 0, 0, 0, 0}},
    };
    for (const Row& row : rows) {
        ResetSendRing();
        row.send();
        const std::vector<Sent> sent = SentFrames();
        ASSERT_EQ(sent.size(), 1u) << row.what;
        EXPECT_EQ(sent[0].code, row.code) << row.what;
        EXPECT_EQ(sent[0].destination, row.destination) << row.what;
        EXPECT_EQ(sent[0].body, row.body) << row.what;
    }
    // Offline, experience of nothing, and a cast whose readied spell is of another class send
    // nothing.
    ResetSendRing();
    send_experience(0, 9);
    send_experience(-5, 9);
    SetGameValue(115, 12);
    SendDispell();
    SetGameValue(115, 11);
    SendTargetted(fig, 0);
    g_linkState = 1;
    for (const Row& row : rows)
        row.send();
    EXPECT_TRUE(SentFrames().empty());
}

TEST_F(ArenaNetTest, TheLocalCastsOfProjectilesRunesAndObjectsAreSent) {
    auto& proj = Spell<CSpellProj>(5, SPELL_PROJ);
    proj.num_projectiles = 1;
    auto& rune = Spell<CSpellRune>(6, SPELL_RUNE);
    rune.cast_distance = 64;
    rune.elevation = 0;
    auto& object = Spell<CSpellObject>(7, SPELL_OBJECT);
    object.num_objects = 2;
    object.object_spacing = 32;
    // The placed objects first: what the others leave ahead would block their path.
    SetGameValue(115, 7);
    ASSERT_EQ(object.Cast(player), 1);
    ASSERT_EQ(proj.Cast(player), 1);
    ASSERT_EQ(rune.Cast(player), 1) << g_screen.noticeLines[0];
    EXPECT_EQ(SentCodes(), (std::vector<int>{2, 2, 176, 178}));
}

// ---- Objects ---------------------------------------------------------------------------------

Bytes CreateObject(int id, int type, int kind, int facing = 100, int zSpeed8 = 0xFE, int seconds = 3) {
    Bytes b = Words({5, facing, 1200, 1300, 10, id, 9, kind}, 20);
    b[16] = static_cast<uint8_t>(zSpeed8);
    b[17] = static_cast<uint8_t>(type);
    b[18] = 2;
    b[19] = static_cast<uint8_t>(seconds);
    return b;
}

TEST_F(ArenaNetTest, CreatedObjectsTakeTheBodyOnlyForKindsTheirTablesHold) {
    Spell<CSpellProj>(5, SPELL_PROJ);
    g_level.olist[3][0] = OBJ_STATIC;
    struct Row {
        const char* what;
        int type, kind;
        bool made;
    } rows[] = {
        {"static of the object list", 0, 3, true},   {"static entry 0", 0, 0, false},
        {"static past the list", 0, 100, false},      {"spell object", 1, 5, true},
        {"spell object of no spell", 1, 6, false},    {"spell number 400", 1, 400, false},
        {"monster", 2, 4, true},                      {"monster kind 100", 2, 100, false},
        {"service object", 5, 1, true},               {"player figure", 4, 1, false},
        {"body", 7, 1, false},                        {"gate", 8, 1, false},
    };
    // A height no level has makes nothing either.
    Bytes high = CreateObject(0x0450, 0, 3);
    Put16(high, 8, 0x7FFE);
    Dispatch(2, high);
    EXPECT_LE(FindWorldObjectSlot(0x0450), 0);
    for (const Row& row : rows) {
        ClearWorldObjects();
        Dispatch(2, CreateObject(0x0450, row.type, row.kind, 0xF123));
        const int slot = FindWorldObjectSlot(0x0450);
        EXPECT_EQ(slot > 0, row.made) << row.what;
        if (slot <= 0 || !row.made)
            continue;
        const WorldObject& o = WorldObjectTable[slot];
        EXPECT_EQ(o.facing, 0x123) << row.what;
        EXPECT_EQ(o.z_speed, -16) << row.what;
        EXPECT_EQ(o.duration_timer, 3000) << row.what;
        EXPECT_EQ(o.creator, 9) << row.what;
        EXPECT_EQ(o.team, 2) << row.what;
        EXPECT_EQ(o.x, 1200) << row.what;
        EXPECT_EQ(o.max_velocity, 5) << row.what;
    }
}

TEST_F(ArenaNetTest, AnObjectOfALiveIdIsReplacedUnlessTheNewOneIsASpellObject) {
    Spell<CSpellProj>(5, SPELL_PROJ);
    g_level.olist[3][0] = OBJ_STATIC;
    Dispatch(2, CreateObject(0x0450, 0, 3));
    const int first = FindWorldObjectSlot(0x0450);
    Dispatch(2, CreateObject(0x0450, 1, 5));
    EXPECT_EQ(WorldObjectTable[first].active, 1);
    EXPECT_EQ(LiveOfType(OBJ_STATIC), 1);
    EXPECT_EQ(LiveOfType(OBJ_SPELL), 1);
    Dispatch(2, CreateObject(0x0450, 0, 3));
    EXPECT_EQ(LiveOfType(OBJ_STATIC), 1);
    EXPECT_EQ(LiveOfType(OBJ_SPELL), 1);
}

TEST_F(ArenaNetTest, AnObjectDeathKillsTheObjectOfThatId) {
    const int slot = AllocObjectSlot(OBJ_STATIC);
    WorldObjectTable[slot].id = 0x0460;
    ActivateObject(slot);
    Dispatch(10, Words({0x0461, 9}, 4));
    EXPECT_EQ(WorldObjectTable[slot].active, 1);
    Dispatch(10, Words({0x0460, 9}, 4));
    EXPECT_NE(WorldObjectTable[slot].active, 1);
}

// A tripped rune sounds its death sound whoever tripped it; another object dies in silence here.
TEST_F(ArenaNetTest, ATrippedRuneSoundsItsDeath) {
    SoundLog sounds(kSounds);
    ASSERT_TRUE(sounds.Started());
    struct Row {
        const char* what;
        int runeType, killer;
        std::vector<int> sounds;
    } rows[] = {
        {"tripped by us", 1, 7, {8}},
        {"tripped by another", 1, 9, {8}},
        {"no killer", 1, 0, {}},
        {"not a rune", 0, 7, {}},
    };
    for (const Row& row : rows) {
        const int slot = AllocObjectSlot(OBJ_SPELL);
        WorldObject& o = WorldObjectTable[slot];
        o.id = 0x0470;
        o.x = 4050;
        o.y = 4000;
        o.rune_type = static_cast<decltype(o.rune_type)>(row.runeType);
        o.death_sound = 8;
        o.sound_range = 500;
        ActivateObject(slot);
        sounds.TakePlayed();
        Dispatch(10, Words({0x0470, row.killer}, 4));
        EXPECT_NE(WorldObjectTable[slot].active, 1) << row.what;
        EXPECT_EQ(sounds.TakePlayed(), row.sounds) << row.what;
        ClearWorldObjects();
    }
}

// ---- Other players' casts ----------------------------------------------------------------------

TEST_F(ArenaNetTest, ARemoteProjectileCastPlacesTheFigureAndThrowsFromTheSentPoint) {
    const int fig = Figure(9, "Nell", 1000, 1000, 3);
    auto& proj = Spell<CSpellProj>(5, SPELL_PROJ);
    proj.cast_distance = 0;
    proj.velocity = 0;
    Dispatch(176, Words({5, 2000, 2100, 0, 0xF400}, 16), 9);
    EXPECT_EQ(WorldObjectTable[fig].casting, 1);
    ASSERT_EQ(LiveOfType(OBJ_SPELL), 1);
    for (int s = 1; s < WorldObjectHighWater; ++s) {
        const WorldObject& o = WorldObjectTable[s];
        if (o.type != OBJ_SPELL)
            continue;
        EXPECT_EQ(o.creator, 9);
        EXPECT_EQ(o.team, 3);  // from the player table
        EXPECT_EQ(o.facing, 0x400);
        EXPECT_EQ(o.x, 2000);
        EXPECT_EQ(o.y, 2100);
    }
    const WorldObject placed = WorldObjectTable[fig];
    // A spell the table does not hold, or a number off the table, throws nothing.
    for (int number : {0, 6, 400, 65535})
        Dispatch(176, Words({number, 2000, 2100, 0, 0}, 16), 9);
    // Nor does a cast from off the grid.
    Dispatch(176, Words({5, 8192, 2100, 0, 0}, 16), 9);
    Dispatch(176, Words({5, 2000, 65278, 0, 0}, 16), 9);
    Dispatch(176, Words({5, 2000, 8192, 0, 0}, 16), 9);
    Dispatch(176, Words({5, 2000, 2100, 16384, 0}, 16), 9);
    Dispatch(176, Words({5, 2000, 2100, 0xBFFF, 0}, 16), 9);  // -16385
    EXPECT_EQ(LiveOfType(OBJ_SPELL), 1);
    EXPECT_EQ(WorldObjectTable[fig].x, placed.x) << "nor moves the caster's figure";
    EXPECT_EQ(WorldObjectTable[fig].y, placed.y);
    EXPECT_EQ(WorldObjectTable[fig].z, placed.z);
    Dispatch(176, Words({5, 8191, 2600, 0xC000, 0}, 16), 9);  // the last column, height -16384
    EXPECT_EQ(WorldObjectTable[fig].x, 8191);
}

// A remote projectile's cast sound plays at the caster's figure, heard within 256 of it.
TEST_F(ArenaNetTest, ARemoteCastSoundsAtTheCastersFigure) {
    Figure(9, "Nell");
    auto& proj = Spell<CSpellProj>(5, SPELL_PROJ);
    proj.cast_distance = 0;
    proj.velocity = 0;
    proj.cast_sound = 6;
    SoundLog sounds(kSounds);
    ASSERT_TRUE(sounds.Started());
    Dispatch(176, Words({5, 4100, 4000, 0, 0}, 16), 9);
    EXPECT_EQ(sounds.TakePlayed(), std::vector<int>{6});
    Dispatch(176, Words({5, 4300, 4000, 0, 0}, 16), 9);
    EXPECT_TRUE(sounds.TakePlayed().empty()) << "300 away";
    Dispatch(176, Words({5, 4100, 4000, 0, 0}, 16), 12);
    EXPECT_TRUE(sounds.TakePlayed().empty()) << "a caster without a figure";
}

TEST_F(ArenaNetTest, AnEchoedRuneOrOneOfNoSpellIsNotMadeTwice) {
    auto& rune = Spell<CSpellRune>(6, SPELL_RUNE);
    rune.cast_distance = 0;
    struct Row {
        const char* what;
        int spell, creator;
        int runes;
    } rows[] = {{"our own, echoed", 6, 7, 0}, {"another's", 6, 9, 1}, {"spell 400", 400, 9, 1},
                {"no such spell", 8, 9, 1}};
    for (const Row& row : rows) {
        Dispatch(178, Words({row.spell, 0x0500 + row.creator, 3000, 3100, 0, 0xF000, row.creator}, 20), 9);
        EXPECT_EQ(LiveOfType(OBJ_SPELL), row.runes) << row.what;
    }
    const int placed = FindWorldObjectSlot(0x0509);
    ASSERT_GT(placed, 0);
    EXPECT_EQ(WorldObjectTable[placed].x, 3000);
    EXPECT_EQ(WorldObjectTable[placed].y, 3100);
}

TEST_F(ArenaNetTest, PlayerEffectsCastTheSpellAndItsLinkedSpellOnTheFigure) {
    const int fig = Figure(9, "Nell");
    Spell(20, SPELL_EFFECT).creation_effect = 21;
    Spell(21, SPELL_EFFECT);
    Spell(22, SPELL_EFFECT).creation_effect = 400;
    Bytes effect = Words({20, 0, 0, 0}, 8);
    Dispatch(39, effect, 9);
    Dispatch(179, Words({22}, 2), 9);
    Dispatch(39, effect, 10);  // no such player
    ASSERT_EQ(g_spellCalls.size(), 3u);
    EXPECT_EQ(g_spellCalls[0].spell, 20);
    EXPECT_EQ(g_spellCalls[1].spell, 21);
    EXPECT_EQ(g_spellCalls[1].a, fig);
    EXPECT_EQ(g_spellCalls[2].spell, 22);
    EXPECT_EQ(g_spellCalls[2].b, 0);
}

// Byte 0 names the effect that ended on the sender's figure; its other slots stay.
TEST_F(ArenaNetTest, ARemovedPlayerEffectClearsOnlyThatEffectOfTheSendersFigure) {
    const int fig = Figure(9, "Nell");
    const int other = Figure(10, "Olm", 2000, 2000);
    WorldObjectTable[fig].effects[0].effect = 5;
    WorldObjectTable[fig].effects[1].effect = 7;
    WorldObjectTable[fig].effects[1].remaining = 3000;
    WorldObjectTable[other].effects[0].effect = 7;
    Dispatch(187, Bytes{7, 5, 0, 0}, 9);
    EXPECT_EQ(WorldObjectTable[fig].effects[0].effect, 5);
    EXPECT_EQ(WorldObjectTable[fig].effects[1].effect, 0);
    EXPECT_EQ(WorldObjectTable[fig].effects[1].remaining, 0);
    EXPECT_EQ(WorldObjectTable[other].effects[0].effect, 7) << "another player's figure keeps its own";
    Dispatch(187, Bytes{5, 0, 0, 0}, 11);  // no such player
    Dispatch(187, Bytes{0, 5, 0, 0}, 9);   // no effect
    EXPECT_EQ(WorldObjectTable[fig].effects[0].effect, 5);
}

TEST_F(ArenaNetTest, TargettedSpellsActOnTheirTargetUnlessResisted) {
    Figure(9, "Nell");
    const int other = Figure(10, "Ivo", 1500, 1500);
    auto& targetted = Spell<CSpellTarget>(30, SPELL_TARGET);
    targetted.target_spell_effect = 31;
    targetted.miss_sound = 11;
    targetted.effect_sound = 12;
    targetted.effect_sound_range = 4000;  // Ivo is 2500 away
    Spell(31, SPELL_EFFECT);
    Spell(32, SPELL_EFFECT);
    Spell<CSpellProj>(33, SPELL_PROJ);
    UpdatePlayerTable(11, 50, 1, "Oda");
    struct Row {
        const char* what;
        int spell, caster, target, casterEffect, targetEffect, resist;
        std::vector<std::string> calls;  // "spell what a"
        std::vector<int> sounds;
        bool resistNotice = false;
    } rows[] = {
        {"at us", 30, 9, 7, 0, 31, 0, {"31 player 9"}, {12}},
        {"at us, resisted", 30, 9, 7, 0, 31, 1, {}, {11}},
        {"at us by a stranger, resisted", 30, 40, 7, 0, 31, 1, {}, {11}, true},
        {"at us by ourselves, resisted", 30, 7, 7, 0, 31, 1, {}, {11}},
        {"at us by a stranger", 30, 40, 7, 0, 31, 0, {"31 player 40"}, {12}},
        {"by a known player with no figure yet", 30, 11, 10, 32, 0, 0, {}, {}},
        {"at another", 30, 9, 10, 0, 31, 0, {"31 object " + std::to_string(other)}, {12}},
        {"at another, resisted", 30, 9, 10, 0, 31, 1, {}, {11}},
        {"with a caster effect", 30, 9, 10, 32, 0, 0, {"32 object " + std::to_string(FindPlayerObjectSlot(9))}, {}},
        {"a target effect of another class", 30, 9, 7, 0, 33, 0, {}, {12}},
        {"not a targetted spell", 31, 9, 7, 0, 31, 0, {}, {}},
        {"spell 0", 0, 9, 7, 0, 31, 0, {}, {}},
        {"spell 65535", 65535, 9, 7, 0, 31, 0, {}, {}},
    };
    SoundLog sounds(kSounds);
    ASSERT_TRUE(sounds.Started());
    for (const Row& row : rows) {
        g_spellCalls.clear();
        g_screen.ClearNoticeLines();
        Bytes b = Words({row.spell, 500, row.caster, row.target, row.casterEffect, row.targetEffect}, 16);
        b[12] = static_cast<uint8_t>(row.resist);
        Dispatch(45, b, row.caster);
        EXPECT_EQ(NoticeHas("You resist a spell"), row.resistNotice) << row.what;
        std::vector<std::string> calls;
        for (const SpellCall& c : g_spellCalls)
            calls.push_back(std::to_string(c.spell) + " " + c.what + " " + std::to_string(c.a));
        EXPECT_EQ(calls, row.calls) << row.what;
        EXPECT_EQ(sounds.TakePlayed(), row.sounds) << row.what;
    }
}

// F_PLAY_SOUND (which, range, x, y) plays only when we stand within the range of the point.
TEST_F(ArenaNetTest, APlacedSoundIsHeardOnlyWithinItsRange) {
    SoundLog sounds(kSounds);
    ASSERT_TRUE(sounds.Started());
    view.y = 3000;  // we stand at (4000, 3000)
    struct Row {
        int which, range, x, y;
        bool heard;
    } rows[] = {{5, 1000, 4100, 3000, true}, {6, 100, 4100, 3000, false}, {7, 101, 4000, 3100, true},
                {8, 0, 4000, 3000, false},   {9, 2000, 2001, 3000, true}, {10, 2000, 2000, 3000, false},
                {11, 300, 4000, 3200, true}};
    for (const Row& row : rows) {
        Dispatch(97, Words({row.which, row.range, row.x, row.y}, 8));
        EXPECT_EQ(sounds.TakePlayed(), row.heard ? std::vector<int>{row.which} : std::vector<int>{}) << row.which;
    }
}

TEST_F(ArenaNetTest, ACalledGhostMovesTheViewAndASpiritGateComesToTheDead) {
    const int fig = Figure(9, "Nell", 2000, 2200);
    player.mode = 6;
    Dispatch(48, Bytes{0, 9, 0, 7, 2, 0, 0, 0}, 9);
    EXPECT_TRUE(NoticeHas("Nell Calls your ghost!"));
    EXPECT_EQ(view.x, 2000);
    EXPECT_EQ(view.y, 2200);
    EXPECT_EQ(view.z, view.unused);
    EXPECT_EQ(SentCodes(), std::vector<int>{1});
    player.mode = 0;
    Dispatch(48, Bytes{0, 9, 0, 7, 2, 0, 0, 0}, 9);
    EXPECT_TRUE(NoticeHas("Nell Tries to Call your ghost!"));

    EXPECT_EQ(LiveOfType(OBJ_GATE), 0);
    Dispatch(48, Bytes{0, 9, 0, 7, 3, 0, 0, 0}, 9);  // alive: no gate
    EXPECT_EQ(LiveOfType(OBJ_GATE), 0);
    player.dead = 1;
    Dispatch(48, Bytes{0, 9, 0, 7, 3, 0, 0, 0}, 9);
    EXPECT_TRUE(NoticeHas("Nell sends you a SpiritGate!"));
    EXPECT_EQ(LiveOfType(OBJ_GATE), 1);
    EXPECT_GT(g_actionState.gate_pending, 0);
    EXPECT_EQ(WorldObjectTable[fig].waypoint_x, 2000);
    AddPlayer(10, "Ivo");
    Dispatch(48, Bytes{0, 9, 0, 10, 3, 0, 0, 0}, 9);
    EXPECT_TRUE(NoticeHas("Nell sends a Spiritgate to Ivo"));
    EXPECT_EQ(PlayerTable[FindPlayerIndex(10)].teleport_time, 50000u);
    g_actionState = ActionState{};
}

// ---- Walls and doors -------------------------------------------------------------------------

Bytes CreateThin(int id, std::initializer_list<int> group, int kind = THIN_SPELL) {
    Bytes b = Words({100, 200, 300, 200, 64, static_cast<uint16_t>(-8), 77, 9000, 50, id}, 40);
    size_t off = 20;
    for (int g : group) {
        Put16(b, off, g);
        off += 2;
    }
    Put16(b, 28, 5);
    b[32] = 1;
    b[33] = static_cast<uint8_t>(kind);
    b[34] = 200;  // its length
    b[36] = 44;
    b[37] = 0x80 | 25;
    b[38] = 3;
    b[39] = 1;
    return b;
}

TEST_F(ArenaNetTest, ACreatedThinTakesEachBodyFieldAndAGroupDiesTogether) {
    Dispatch(12, CreateThin(2001, {2001, 2002, 2003, 0}));
    const int slot = FindThinSlot(2001);
    ASSERT_GT(slot, 0);
    const Thin& t = ThinTable[slot];
    EXPECT_EQ(t.kind, THIN_SPELL);
    EXPECT_EQ((std::vector<int>{t.x1, t.y1, t.x2, t.y2}), (std::vector<int>{100, 200, 300, 200}));
    EXPECT_EQ(t.height, 64);
    EXPECT_EQ(t.base_z, -8);
    EXPECT_EQ(t.texture, 77);
    EXPECT_EQ(t.life_timer, 9000);
    EXPECT_EQ(t.hit_points, 50);
    EXPECT_EQ(t.trigger, 5);
    EXPECT_EQ(t.transparent, 1);
    EXPECT_EQ(t.length, 200);
    EXPECT_EQ(t.base_color, 44);
    EXPECT_EQ(t.color, 44);
    EXPECT_EQ(t.max_power_drain, 25);
    EXPECT_EQ(t.min_power_drain, 5);
    EXPECT_EQ(t.max_damage, 0);
    EXPECT_EQ(t.element, 3);
    EXPECT_EQ(t.dispel, 1);
    EXPECT_EQ((std::vector<int>{t.group[0], t.group[1], t.group[2], t.group[3]}),
              (std::vector<int>{2001, 2002, 2003, 0}));

    Dispatch(12, CreateThin(2002, {2001, 2002, 2003, 0}));
    Dispatch(12, CreateThin(2003, {2001, 2002, 2003, 0}));
    Dispatch(12, CreateThin(2004, {}));
    Dispatch(47, Bytes{0, 0, 0x07, 0xD2, 0, 20, 0, 0});  // 20 to 2002: each member once
    EXPECT_EQ(ThinTable[FindThinSlot(2001)].hit_points, 30);
    EXPECT_EQ(ThinTable[FindThinSlot(2003)].hit_points, 30);
    Dispatch(46, Bytes{0, 0, 0x07, 0xD1, 0, 0, 0, 0});
    EXPECT_LT(FindThinSlot(2001), 0);
    EXPECT_LT(FindThinSlot(2002), 0);
    EXPECT_LT(FindThinSlot(2003), 0);
    EXPECT_GT(FindThinSlot(2004), 0);
}

TEST_F(ArenaNetTest, ADispellFindsTheFirstSpellWallOnItsLine) {
    g_debugLevel = 2;
    SoundLog sounds(kSounds);
    ASSERT_TRUE(sounds.Started());
    auto& d = Spell<CSpellDispell>(11, SPELL_DISPELL);
    d.effect_sound = 5;
    d.effect_sound_range = 5000;  // heard where we stand
    Dispatch(12, CreateThin(2001, {}));  // x 100..300 at y 200
    const int slot = FindThinSlot(2001);
    // From (200, 100) facing +y (0) for 200 units crosses it; 50 units falls short.
    Dispatch(44, Words({200, 100, 0, 0, 1, 200, 11}, 16));
    EXPECT_TRUE(ConsoleHas("FindThinTarget returns " + std::to_string(slot)));
    EXPECT_EQ(sounds.TakePlayed(), std::vector<int>{5}) << "a dispellable wall sounds";
    ClearChatBuffer();
    Dispatch(44, Words({200, 100, 0, 0, 1, 50, 11}, 16));
    EXPECT_TRUE(ConsoleHas("FindThinTarget returns TOTALTHIN"));
    ClearChatBuffer();
    Dispatch(44, Words({200, 100, 0, 0, 1, 200, 12}, 16));
    EXPECT_TRUE(ConsoleHas("RCV_DISPELL failed!"));
    EXPECT_TRUE(sounds.TakePlayed().empty());
    ThinTable[slot].dispel = 0;
    Dispatch(44, Words({200, 100, 0, 0, 1, 200, 11}, 16));
    EXPECT_TRUE(sounds.TakePlayed().empty()) << "a wall of dispel value 0 is met in silence";
}

TEST_F(ArenaNetTest, ADoorOpensOnlyForATriggerNumberOfTheTable) {
    for (int n : {1, 99}) {
        TriggerTable[n] = std::make_unique<NullTrigger>();
        TriggerTable[n]->enabled = 1;
    }
    for (uint8_t n : {0, 1, 99, 100, 255})
        Dispatch(49, Bytes{0, 0, 0, n, 1, 0, 0, 0});
    EXPECT_EQ(TriggerTable[1]->state, 1);
    EXPECT_EQ(TriggerTable[99]->state, 1);
    Dispatch(49, Bytes{0, 1, 0, 1, 1, 0, 0, 0});  // 65537: no trigger
    EXPECT_EQ(SentCodes(), std::vector<int>{});
}

// ---- Earthnodes and nexuses -----------------------------------------------------------------

Bytes NodeRecord(int which, int team, int value, int amount, int weight, int biaser) {
    Bytes b(8);
    b[0] = static_cast<uint8_t>(which);
    b[1] = static_cast<uint8_t>(team);
    b[2] = static_cast<uint8_t>(value);
    b[4] = static_cast<uint8_t>(amount);
    b[5] = static_cast<uint8_t>(weight);
    Put16(b, 6, biaser);
    return b;
}

TEST_F(ArenaNetTest, OurOwnBiasOfAnEarthnodeReadsByItsAmountAndCountsTheChange) {
    struct Row {
        const char* what;
        int amount;  // as the byte holds it
        int newBias;
        const char* notice;
        int biases, sound;
    } rows[] = {
        {"fail", 0, 40, "You attempt to bias the Earthnode and fail.", 0, 26},
        {"exactly 100", 100, 100, "You fully bias the Earthnode towards Gryphon.", 60, 25},
        {"99", 99, 100, "You increase the Gryphon bias on the Earthnode!", 99, 25},
        {"1", 1, 41, "You increase the Gryphon bias on the Earthnode!", 1, 25},
        {"-1", 255, 39, "You decrease the Gryphon bias on the Earthnode!", 1, 25},
        {"-99", 157, 0, "You decrease the Gryphon bias on the Earthnode!", 99, 25},
        {"156 is -100", 156, 0, "You eliminate the Dragon bias on the Earthnode!", 40, 25},
        {"-128", 128, 0, "You eliminate the Dragon bias on the Earthnode!", 40, 25},
    };
    SoundLog sounds(kSounds);
    ASSERT_TRUE(sounds.Started());
    for (const Row& row : rows) {
        g_screen.ClearNoticeLines();
        g_level.earthnodes[4] = EarthnodeDef{.found = 1, .owner = 1, .bias = 40};
        player.biases = 0;
        Dispatch(41, NodeRecord(4, 2, row.newBias, row.amount, 70, 7));
        EXPECT_TRUE(NoticeHas(row.notice)) << row.what;
        EXPECT_EQ(sounds.TakePlayed(), std::vector<int>{row.sound}) << row.what;
        EXPECT_EQ(player.biases, row.biases) << row.what;
        const EarthnodeDef& n = g_level.earthnodes[4];
        EXPECT_EQ(n.owner, 2) << row.what;
        EXPECT_EQ(n.bias, row.newBias) << row.what;
        EXPECT_EQ(n.weight, 70) << row.what;
        EXPECT_EQ(EarthnodeBiasTime[4], 50000u) << row.what;
    }
    EXPECT_EQ(present.Count("SetEarthbloodColor"), std::size(rows));
}

TEST_F(ArenaNetTest, ANodeFilledUnderOurFeetEndsOurBias) {
    struct Row {
        const char* what;
        int which, cellCode, newBias, amount;
        bool ends;
    } rows[] = {
        {"filled in our cell", 4, 24, 100, 60, true},
        {"another node's cell", 4, 25, 100, 60, false},
        {"not full", 4, 24, 99, 59, false},
        {"no change", 4, 24, 100, 0, false},
        {"node 30 on the first nexus's cell", 30, 50, 100, 60, false},
    };
    SoundLog sounds(kSounds);
    ASSERT_TRUE(sounds.Started());
    for (const Row& row : rows) {
        g_level.cellIndex[CellIndex(4000 >> 6, 4000 >> 6)] = static_cast<uint8_t>(row.cellCode);
        g_level.earthnodes[row.which] = EarthnodeDef{.found = 1, .owner = 2, .bias = 40};
        g_actionState.biasing = 1;
        g_actionState.bias_timer = 1000;
        Dispatch(41, NodeRecord(row.which, 2, row.newBias, row.amount, 70, 7));
        EXPECT_EQ(g_actionState.biasing == 0, row.ends) << row.what;
        const std::vector<int> played = sounds.TakePlayed();
        EXPECT_EQ(!played.empty() && played.back() == 31, row.ends) << row.what;
    }
    g_actionState.biasing = 0;
    g_actionState.bias_timer = 0;
}

TEST_F(ArenaNetTest, NodeAndNexusRecordsOffTheirTablesOrOfNoTeamChangeNothingUnsafe) {
    g_debugLevel = 0;
    for (int which : {30, 99})
        Dispatch(41, NodeRecord(which, 9, 250, 100, 255, 7));
    EXPECT_EQ(g_level.earthnodes[99].owner, 9);
    EXPECT_EQ(g_level.earthnodes[99].bias, 100);  // held to 0..100
    EXPECT_EQ(g_level.earthnodes[99].weight, 100);
    EXPECT_TRUE(NoticeHas("You fully bias the Earthnode towards ."));
    // Records past the tables (the shrines follow the nodes) change nothing, ours or not.
    g_screen.ClearNoticeLines();
    Bytes shrine(sizeof g_level.shrines[0]);
    std::memcpy(shrine.data(), &g_level.shrines[0], shrine.size());
    const size_t nodeColours = present.Count("SetEarthbloodColor");
    for (int which : {100, 255})
        Dispatch(41, NodeRecord(which, 2, 50, 1, 50, 7));
    for (int which : {20, 255})
        Dispatch(43, NodeRecord(which, 2, 50, 1, 50, 7));
    EXPECT_EQ(present.Count("SetShrineColor"), 0u);
    EXPECT_EQ(present.Count("SetEarthbloodColor"), nodeColours);
    EXPECT_EQ(std::memcmp(&g_level.shrines[0], shrine.data(), shrine.size()), 0);
    for (const char* line : g_screen.noticeLines)
        EXPECT_STREQ(line, "");
}

TEST_F(ArenaNetTest, NexusChangesTellWhoDidWhatToWhichTeam) {
    AddPlayer(9, "Nell", 1);
    struct Row {
        const char* what;
        int team, amount, biaser;
        const char* notice;  // null: none
        int biases;
        int sound;  // 0 none
    } rows[] = {
        {"ours fully restored", 2, 100, 7, "You fully restore the nexus towards Gryphon.", 70, 24},
        {"ours destroyed", 1, 156, 7, "You destroy the Dragon nexus.", 30, 34},
        {"ours restored", 2, 5, 7, "You restore the Gryphon nexus.", 5, 24},
        {"ours damaged", 1, 251, 7, "You damage the Dragon nexus.", 5, 24},
        {"ours failed on our own", 2, 0, 7, "You attempt to restore the nexus and fail.", 0, 26},
        {"another restores fully", 3, 100, 9, "Nell fully restores a nexus to Phoenix.", 0, 0},
        {"another destroys", 3, 128, 9, "Nell destroys the Phoenix nexus.", 0, 34},
        {"another restores ours", 2, 10, 9, "Nell restores the Gryphon nexus.", 0, 0},
        {"another restores theirs", 3, 10, 9, nullptr, 0, 0},
        {"another damages ours", 2, 246, 9, "Nell damages the Gryphon nexus.", 0, 0},
        {"another damages theirs", 3, 246, 9, nullptr, 0, 0},
    };
    SoundLog sounds(kSounds);
    ASSERT_TRUE(sounds.Started());
    for (const Row& row : rows) {
        g_screen.ClearNoticeLines();
        g_level.shrines[1].alignment = 2;
        g_level.shrines[1].bias = 30;
        player.biases = 0;
        g_screen.pageRedraw = 0;
        Dispatch(43, NodeRecord(1, row.team, 60, row.amount, 20, row.biaser));
        EXPECT_EQ(g_screen.pageRedraw, row.team != 2 ? 1 : 0) << row.what << ": only a change of hands redraws";
        if (row.notice)
            EXPECT_TRUE(NoticeHas(row.notice)) << row.what;
        else
            EXPECT_EQ(g_screen.noticeLines[0][0], 0) << row.what;
        EXPECT_EQ(player.biases, row.biases) << row.what;
        EXPECT_EQ(g_level.shrines[1].alignment, row.team) << row.what;
        EXPECT_EQ(g_level.shrines[1].bias, 60) << row.what;
        EXPECT_EQ(sounds.TakePlayed(), row.sound ? std::vector<int>{row.sound} : std::vector<int>{}) << row.what;
    }
    EXPECT_EQ(present.Named("SetShrineColor").back(), "SetShrineColor(1, 3, 60)");
}

TEST_F(ArenaNetTest, TheWholeStateTakesEveryRecordButTheEmptyOnes) {
    Bytes b(184, 0xFF);
    const Bytes nexus = NodeRecord(2, 3, 80, 0, 10, 0);
    const Bytes node = NodeRecord(19, 1, 55, 0, 10, 0);
    std::copy(nexus.begin(), nexus.end(), b.begin() + 16);
    std::copy(node.begin(), node.end(), b.begin() + 24 + 8 * 19);
    // The first node record follows the three nexus records: it is no fourth nexus.
    const Bytes first = NodeRecord(0, 2, 30, 0, 10, 0);
    std::copy(first.begin(), first.end(), b.begin() + 24);
    Dispatch(55, b);
    EXPECT_EQ(g_level.shrines[2].alignment, 3);
    EXPECT_EQ(g_level.shrines[2].bias, 80);
    EXPECT_EQ(g_level.earthnodes[19].owner, 1);
    EXPECT_EQ(g_level.earthnodes[19].bias, 55);
    EXPECT_EQ(g_level.earthnodes[0].owner, 2);
    EXPECT_EQ(g_level.shrines[0].alignment, 0);
    EXPECT_EQ(present.Count("SetShrineColor"), 1u);
    EXPECT_EQ(present.Count("SetEarthbloodColor"), 2u);
    EXPECT_EQ(g_level.earthnodes[1].owner, 0);
}

// ---- Damage and raising ----------------------------------------------------------------------

TEST_F(ArenaNetTest, DamageNamesItsCauseAndWhileDeadOnlySetsTheHitPoints) {
    AddPlayer(9, "Nell");
    SetGameValue(109, 5000);
    struct Row {
        const char* what;
        int who, damage, power;
        std::vector<const char*> notices;
    } rows[] = {
        {"a player", 9, 5, 0, {"Nell hit you"}},
        {"ourselves", 7, 5, 0, {}},
        {"a stranger", 12, 5, 0, {"You were hit"}},
        {"bleeding", -5, 5, 0, {"You are bleeding!"}},
        {"fire", -30, 5, 0, {"You are on fire!"}},
        {"suffocation", -34, 5, 0, {"You are suffocating!"}},
        {"any other cause", -2, 5, 0, {"You are taking damage"}},
        {"drained by a player", 9, 0, 3, {"Nell drained you"}},
        {"drained by a stranger", 12, 0, 3, {"You were drained"}},
        {"both", 9, 5, 3, {"Nell hit you", "Nell drained you"}},
    };
    for (const Row& row : rows) {
        g_screen.ClearNoticeLines();
        SetGameValue(109, 5000);
        Bytes b = Words({static_cast<uint16_t>(row.who)}, 5);
        b[2] = static_cast<uint8_t>(row.damage);
        b[3] = static_cast<uint8_t>(row.power);
        b[4] = 17;
        Dispatch(19, b);
        for (const char* n : row.notices)
            EXPECT_TRUE(NoticeHas(n)) << row.what << ": " << n;
        if (row.notices.empty())
            EXPECT_EQ(g_screen.noticeLines[0][0], 0) << row.what;
        EXPECT_EQ(GetGameValue(107), 1700) << row.what;
        EXPECT_EQ(GetGameValue(109), 5000 - 100 * row.power) << row.what << ": the drain, not the damage";
    }
    player.dead = 1;
    g_screen.ClearNoticeLines();
    const int power = GetGameValue(109);
    Dispatch(19, Bytes{0, 9, 5, 3, 2});
    EXPECT_EQ(g_screen.noticeLines[0][0], 0);
    EXPECT_EQ(GetGameValue(109), power);
    EXPECT_EQ(GetGameValue(107), 200);
}

TEST_F(ArenaNetTest, RaisingTheLocalPlayerByWhoRaisedIt) {
    const int raiser = Figure(9, "Nell", 2000, 2200);
    // Online, a raise point is one of the team's five raise cells, at its centre.
    g_playMode = 2;
    for (int k = 0; k < kRaisePoints; ++k) {
        g_level.starts[2].raise_x[k] = 10;
        g_level.starts[2].raise_y[k] = 12;
    }
    struct Row {
        const char* what;
        int raiser;
        bool alive;
        int hits;  // game value #107 afterwards
        std::vector<const char*> notices;
        int x;
        bool sent;
    } rows[] = {
        {"no one", 65535, false, 0, {"Your Gryphon nexus has been destroyed!", "Call a Gryphon Healer or hit ESC to quit."},
         4000, false},
        {"the service", 0, true, 0, {}, 4000, true},
        {"a player", 9, true, 2000, {"You are raised by Nell"}, 2000, true},
        {"a player without a figure", 12, true, 2000, {"You are raised by "}, 672, true},
        {"an earthnode", 65534, true, 4000, {"You tap the power of Gryphon and resurrect!"}, 672, true},
    };
    for (const Row& row : rows) {
        g_screen.ClearNoticeLines();
        ResetSendRing();
        player.dead = 1;
        SetGameValue(107, 0);
        view.x = view.y = 4000;
        Dispatch(33, Words({7, row.raiser}, 4));
        EXPECT_EQ(player.dead == 0, row.alive) << row.what;
        EXPECT_EQ(GetGameValue(107), row.hits) << row.what;
        for (const char* n : row.notices)
            EXPECT_TRUE(NoticeHas(n)) << row.what << ": " << n;
        EXPECT_EQ(view.x, row.x) << row.what;
        EXPECT_EQ(SentCodes() == std::vector<int>{1}, row.sent) << row.what;
        if (row.sent)
            EXPECT_EQ(SentFrames()[0].body[4] & 0x80, 0x80) << row.what << ": the state asks for a refresh";
    }
    EXPECT_EQ(WorldObjectTable[raiser].x, 2000);
    g_playMode = 0;
}

TEST_F(ArenaNetTest, RaisingAnotherPlayerClearsItsDeathAndNamesTheRaiser) {
    const int raised = Figure(9, "Nell");
    AddPlayer(10, "Ivo");
    WorldObjectTable[raised].figure = 5;
    g_level.earthnodes[3] = EarthnodeDef{.found = 1, .owner = 2, .bias = 100};
    g_level.earthnodes[3].x = 700;
    g_level.earthnodes[3].y = 900;
    struct Row {
        const char* what;
        int raiser, status;
        const char* notice;
        int x, y;  // the node's cell centre, or where the figure lay
        bool sound;  // 29
    } rows[] = {
        {"by us", 7, 0, "You raised Nell", 1000, 1100, true},
        {"by another", 10, 0, "Nell was raised by Ivo", 1000, 1100, false},
        {"at an earthnode", 65534, 3, "Nell healed at an Earthnode", 672, 928, false},
        {"at a node off the table", 65534, 100, "Nell healed at an Earthnode", 1000, 1100, false},
        {"by a stranger", 12, 0, "Nell raised", 1000, 1100, false},
    };
    SoundLog sounds(kSounds);
    ASSERT_TRUE(sounds.Started());
    for (const Row& row : rows) {
        g_screen.ClearNoticeLines();
        WorldObject& o = WorldObjectTable[raised];
        o.x = 1000;
        o.y = 1100;
        o.dead = 1;
        o.fade = 255;
        PlayerTable[FindPlayerIndex(9)].dead = 1;
        PlayerTable[FindPlayerIndex(9)].status = static_cast<uint16_t>(row.status);
        present.calls.clear();
        Dispatch(33, Words({9, row.raiser}, 4));
        EXPECT_TRUE(NoticeHas(row.notice)) << row.what;
        EXPECT_EQ(PlayerTable[FindPlayerIndex(9)].dead, 0) << row.what;
        EXPECT_EQ(o.raised, 1) << row.what;
        EXPECT_EQ(o.fade, 0) << row.what;
        EXPECT_EQ(o.x, row.x) << row.what;
        EXPECT_EQ(o.y, row.y) << row.what;
        EXPECT_EQ(present.Named("SetFigureTint"), std::vector<std::string>{"SetFigureTint(5, 100, 0, 0, 255, 255, 255)"})
            << row.what;
        EXPECT_EQ(present.Named("SetPanelRedrawFlag"), std::vector<std::string>{"SetPanelRedrawFlag(11, 1)"})
            << row.what;
        EXPECT_EQ(sounds.TakePlayed(), row.sound ? std::vector<int>{29} : std::vector<int>{}) << row.what;
    }
    EXPECT_EQ(player.raises, 1);
}

// Another player renamed: the table takes the new name and that player's figure label is drawn
// again; no other label is touched.
TEST_F(ArenaNetTest, ARenamedPlayersLabelIsDrawnAgain) {
    const int renamed = Figure(9, "Nell");
    const int other = Figure(10, "Ivo", 1200, 1200);
    WorldObjectTable[renamed].name_label = 5;
    WorldObjectTable[other].name_label = 6;
    for (int k : {5, 6})
        std::memset(NameTagTable.images[k], 0xAB, kNameTagBytes);
    const auto untouched = [](int k) {
        return std::all_of(std::begin(NameTagTable.images[k]), std::end(NameTagTable.images[k]),
                           [](uint8_t v) { return v == 0xAB; });
    };
    Bytes b(4 + 30);
    Put16(b, 0, 9);
    PutText(b, 4, "Mira");
    Dispatch(163, b);
    EXPECT_STREQ(PlayerTable[FindPlayerIndex(9)].name, "Mira");
    EXPECT_FALSE(untouched(5));
    EXPECT_TRUE(untouched(6));
}

// ---- Bodies shorter than their layout ------------------------------------------------------------

// Everything a handler could change: the client tables, the world, the game values, what was
// sent, the console and notices, the presentation calls and the flags of the answers.
std::string ClientState(const RecordingPresent& present) {
    std::string s;
    auto raw = [&s](const void* p, size_t n) { s.append(static_cast<const char*>(p), n); };
    raw(PlayerTable, sizeof PlayerTable);
    raw(&PlayerTableTop, sizeof PlayerTableTop);
    raw(ArenaTable, sizeof ArenaTable);
    raw(LobbyTableList, sizeof LobbyTableList);
    raw(FireteamList, sizeof FireteamList);
    raw(HighScoreLists, sizeof HighScoreLists);
    raw(Code120List, sizeof Code120List);
    raw(WorldObjectTable, sizeof WorldObjectTable);
    raw(&WorldObjectHighWater, sizeof WorldObjectHighWater);
    raw(ThinTable, sizeof ThinTable);
    raw(WorldEffectTable, sizeof WorldEffectTable);
    for (int v = 0; v < kGameValueCount; ++v)
        s += std::to_string(GetGameValue(v)) + ",";
    raw(&SendRing, sizeof SendRing);
    raw(&ChatBuffer, sizeof ChatBuffer);
    raw(g_screen.noticeLines, sizeof g_screen.noticeLines);
    s += std::to_string(present.calls.size());
    for (int32_t flag : {EnterReplied, GameOpened, DatagramEstablished, WorldSent, ServiceAccepted, ServiceRefusal})
        s += std::to_string(flag);
    raw(ServerVersion, sizeof ServerVersion);
    raw(&Ping, sizeof Ping);
    raw(&NameCheckResults, sizeof NameCheckResults);
    raw(SlotRequestState, sizeof SlotRequestState);
    raw(SlotSendState, sizeof SlotSendState);
    raw(&g_login, sizeof g_login);
    raw(&g_currentCharacter, sizeof g_currentCharacter);
    raw(g_localPlayer, sizeof *g_localPlayer);
    raw(g_playerView, sizeof *g_playerView);
    return s;
}

// A body one byte short of its code's layout is dropped before its case: nothing of the client
// changes, though the buffer still holds the bytes of a whole earlier packet that would make the
// handler act, and a buffer of exactly the short length is never read past (the sanitizers see
// to that).
TEST_F(ArenaNetTest, ABodyOneByteShortOfItsLayoutIsDroppedForEveryCode) {
    g_debugLevel = 2;  // handlers that run say so on the console
    Figure(9, "Nell");
    UpdateArenaTable(1, 0, "Hall", "sample", "Nell", "");
    UpdateTableTable(1, 0, "Tab", "Nell");
    // The earlier packet: all ones names arena 1, table 1 and object 257, which nothing holds.
    Bytes earlier(kMaxFrameBody, 1);
    int checked = 0;
    for (const MessageInfo& m : MessageCatalogue) {
        if (m.accepted == ACCEPT_NEVER || m.minReceived == 0)
            continue;
        SCOPED_TRACE(m.name);
        g_screenState = m.accepted == ACCEPT_ARENA ? 1 : 2;
        const int shortLength = m.minReceived - 1;
        const std::string before = ClientState(present);
        Bytes buffer = earlier;
        DispatchPacket(m.code, 9, 7, buffer.data(), shortLength, g_localPlayer);
        auto exact = std::make_unique<uint8_t[]>(static_cast<size_t>(shortLength));
        std::memcpy(exact.get(), earlier.data(), static_cast<size_t>(shortLength));
        DispatchPacket(m.code, 9, 7, exact.get(), shortLength, g_localPlayer);
        EXPECT_TRUE(ClientState(present) == before);
        ++checked;
    }
    EXPECT_EQ(checked, 81);
    // The same bytes at the layout's length are acted on: the state above would have shown it.
    const int acting[] = {F_OBJECT_STATE, F_WORLD_STATE, F_REMOVE_ARENA, F_REMOVE_TABLE};
    for (int code : acting) {
        const MessageInfo* m = FindMessage(code);
        SCOPED_TRACE(m->name);
        g_screenState = m->accepted == ACCEPT_ARENA ? 1 : 2;
        const std::string before = ClientState(present);
        Bytes buffer = earlier;
        DispatchPacket(code, 9, 7, buffer.data(), m->minReceived, g_localPlayer);
        EXPECT_FALSE(ClientState(present) == before);
    }
}

// ---- Operators' orders -----------------------------------------------------------------------

TEST_F(ArenaNetTest, AYankMovesTheViewWithinTheGridAndAnswers) {
    struct Row {
        int x, y, expectX, expectY;
    } rows[] = {{1200, 1300, 1200, 1300}, {-5, 9000, 0, 8191}, {8191, 0, 8191, 0}, {32767, -32768, 8191, 0}};
    for (const Row& row : rows) {
        ResetSendRing();
        Dispatch(167, Words({7, static_cast<uint16_t>(row.x), static_cast<uint16_t>(row.y), 0}, 8));
        EXPECT_EQ(view.x, row.expectX);
        EXPECT_EQ(view.y, row.expectY);
        EXPECT_EQ(view.pos_x, row.expectX << 16);
        EXPECT_EQ(view.z, view.unused);
        ASSERT_EQ(SentCodes(), std::vector<int>{168});
    }
}

TEST_F(ArenaNetTest, GodModeAndJumpsObeyOnlyAnOperator) {
    Figure(9, "Nell", 2000, 2200);
    g_level.shrines[1] = ShrineDef{.found = 1, .alignment = 2};
    g_level.shrines[1].x = 3000;
    g_level.shrines[1].y = 3100;
    Dispatch(173, Bytes{0, 1, 0, 0});
    Dispatch(172, Bytes{0, 9, 0, 0});
    EXPECT_EQ(GodModeFlag, 0);
    EXPECT_EQ(view.x, 4000);
    EXPECT_TRUE(SentFrames().empty());
    SetGameValue(3, 3);
    Dispatch(173, Bytes{0, 1, 0, 0});
    EXPECT_EQ(GodModeFlag, 1);
    EXPECT_TRUE(ConsoleHas("God Mode Activated."));
    Dispatch(173, Bytes{0, 2, 0, 0});
    EXPECT_EQ(GodModeFlag, 2);
    EXPECT_TRUE(ConsoleHas("God Mode DeActivated."));
    Dispatch(172, Bytes{0, 9, 0, 0});
    EXPECT_TRUE(ConsoleHas("You jump to Nell."));
    EXPECT_EQ(view.x, 2000);
    Dispatch(172, Bytes{0xFF, 0xFE, 0, 0});
    EXPECT_TRUE(ConsoleHas("You jump to the Order Shrine."));
    EXPECT_EQ(view.x & ~63, 2944);
    EXPECT_EQ(view.y & ~63, 3072);
    Dispatch(172, Bytes{0, 44, 0, 0});
    EXPECT_TRUE(ConsoleHas("Invalid Player Name."));
    EXPECT_EQ(SentCodes(), (std::vector<int>{1, 1, 1}));
    g_screenState = 2;  // not in the arena: the stage drops them anyway
    GodModeFlag = 0;
    Dispatch(173, Bytes{0, 1, 0, 0});
    EXPECT_EQ(GodModeFlag, 0);
}

TEST_F(ArenaNetTest, YanksAndKillsForAnotherTargetAreOnlyReported) {
    Figure(9, "Nell", 2000, 2200);
    g_debugLevel = 2;
    Dispatch(164, Bytes{0, 8, 0, 0}, 9);
    Dispatch(165, Bytes{0, 8, 0, 0}, 9);
    EXPECT_TRUE(ConsoleHas("F_YANK_PLAYER to wrong target! target=8"));
    EXPECT_TRUE(ConsoleHas("F_KILL_PLAYER to wrong target! target=8"));
    EXPECT_EQ(view.x, 4000);
    Dispatch(164, Bytes{0, 7, 0, 0}, 9);
    EXPECT_TRUE(NoticeHas("You are Yanked by Nell!"));
    EXPECT_EQ(view.x, 2000);
    Dispatch(165, Bytes{0, 7, 0, 0}, 9);
    EXPECT_TRUE(NoticeHas("You are Guru-Killed by Nell!"));
    Dispatch(165, Bytes{0, 7, 0, 0}, 12);  // no figure: nothing
    EXPECT_EQ(SentCodes(), std::vector<int>{1});
}

// ---- Bolts and walls of other players -----------------------------------------------------------

Bytes CreateEffect(int targetType, int target, int caster, int spell, int element = 2) {
    Bytes b = Words({0, 0, 33, target, 512, 0xF800, 1000, 1100, 40, 1500, 1600, 0xFFF0}, 32);
    b[0] = 1;
    b[2] = static_cast<uint8_t>(targetType);
    b[24] = static_cast<uint8_t>(caster);
    b[25] = 1;
    b[26] = static_cast<uint8_t>(element);
    b[27] = 4;
    Put16(b, 30, spell);
    return b;
}

TEST_F(ArenaNetTest, ARemoteBoltStartsAtItsCastersHeadAndAimsAtItsTarget) {
    Spell<CSpellBolt>(60, SPELL_BOLT);
    const int caster = Figure(9, "Nell", 2000, 2100);
    WorldObjectTable[caster].z = 16;
    const int other = Figure(10, "Ivo", 3000, 3100);
    const int monster = AllocObjectSlot(OBJ_MOVING);
    WorldObjectTable[monster].id = 0x0470;
    WorldObjectTable[monster].x = 2500;
    WorldObjectTable[monster].y = 2600;
    ASSERT_EQ(ActivateObject(monster), 1);
    struct Row {
        const char* what;
        Bytes body;
        int targetKind, target, startX, startZ, targetX, targetZ, element;
    } rows[] = {
        {"at us from a figure", CreateEffect(4, 7, 9, 60), LINE_PLAYER, 0, 2000, 48, 4000, view.z - 48, 2},
        {"at another player", CreateEffect(4, 10, 9, 60), LINE_OBJECT, other, 2000, 48, 3000, 32, 2},
        {"at a monster", CreateEffect(2, 0x0470, 9, 60), LINE_OBJECT, monster, 2000, 48, 2500, 32, 2},
        {"at a player's id as a monster", CreateEffect(2, 10, 9, 60), LINE_NOTHING, 65535, 2000, 48, 1500, -16, 2},
        {"from no figure", CreateEffect(0, 65535, 44, 60), LINE_NOTHING, 65535, 1000, 40, 1500, -16, 2},
        {"of an element off the table", CreateEffect(0, 65535, 44, 60, 200), LINE_NOTHING, 65535, 1000, 40, 1500,
         -16, 0},
    };
    for (const Row& row : rows) {
        ClearWorldEffects();
        Dispatch(37, row.body, 9);
        const WorldEffect& r = WorldEffectTable[0];
        ASSERT_EQ(r.active, 1) << row.what;
        EXPECT_EQ(r.spell, 60) << row.what;
        EXPECT_EQ(r.facing, 0x800) << row.what;
        EXPECT_EQ(r.range, 512) << row.what;
        EXPECT_EQ(r.target_kind, row.targetKind) << row.what;
        EXPECT_EQ(r.target, row.target) << row.what;
        EXPECT_EQ(r.start_x, row.startX) << row.what;
        EXPECT_EQ(r.start_z, row.startZ) << row.what;
        EXPECT_EQ(r.target_x, row.targetX) << row.what;
        EXPECT_EQ(r.target_z, row.targetZ) << row.what;
        EXPECT_EQ(r.element, row.element) << row.what;
        EXPECT_EQ(r.skill, 4) << row.what;
        EXPECT_EQ(r.team, 1) << row.what;
    }
    // No spell, or one the table does not hold: no record.
    g_debugLevel = 2;
    for (int spell : {0, 61, 400}) {
        ClearWorldEffects();
        Dispatch(37, CreateEffect(4, 7, 9, spell), 9);
        EXPECT_EQ(WorldEffectTable[0].active, 0) << spell;
    }
    EXPECT_TRUE(ConsoleHas("RCV_CREATE_EFFECT attempting to create null spell!\n"));
    // Outside the arena the message is not taken.
    g_screenState = 2;
    Dispatch(37, CreateEffect(4, 7, 9, 60), 9);
    EXPECT_EQ(WorldEffectTable[0].active, 0);
}

// Codes of each stage, each with a body that acts, in every screen state: arena codes only in
// the arena game, lobby codes there and in the chat and fireteam screens, the rest everywhere.
TEST_F(ArenaNetTest, EachStagesCodesActOnlyInTheScreensOfTheStage) {
    Spell<CSpellBolt>(60, SPELL_BOLT);
    Figure(9, "Nell", 2000, 2100);
    const Bytes ones(kMaxFrameBody, 1);
    Bytes joined(24);
    Put16(joined, 0, 12);
    PutText(joined, 4, "Ivo");
    Bytes chat(12);
    Put16(chat, 0, 9);
    PutText(chat, 8, "hi");
    struct Row {
        int code;
        Bytes body;
    };
    const Row rows[] = {
        {F_CREATE_EFFECT, CreateEffect(4, 7, 9, 60)},
        {F_OBJECT_STATE, ones},
        {F_HIT_SELF, Bytes{0, 7}},
        {F_PLAYER_JOINED, joined},
        {F_CHAT_TEXT, chat},
        {F_WORLD_STATE, ones},
        {F_REMOVE_ARENA, ones},
        {F_REMOVE_TABLE, ones},
        {S_CONNECTION, Bytes{0x34, 0x12}},
        {S_GAME_OPENED, Bytes{}},
        {F_UPDATE_STATUS, Bytes{0, 1, 0, 2, 0, 3}},
    };
    const int states[] = {1, 2, 11, 3, -1, 0};
    for (const Row& row : rows) {
        const MessageInfo* m = FindMessage(row.code);
        ASSERT_NE(m, nullptr);
        for (int state : states) {
            SCOPED_TRACE(std::string(m->name) + " in state " + std::to_string(state));
            ClearWorldEffects();
            ResetArenaList();
            UpdateArenaTable(1, 0, "Hall", "sample", "Nell", "");
            UpdateTableTable(1, 0, "Tab", "Nell");
            RemovePlayerById(12);
            ResetNetDispatch();
            SetGameValue(118, 7);
            for (int value : {106, 132, 133})
                SetGameValue(value, 0);
            g_screenState = state;
            const bool takes = m->accepted == ACCEPT_ANY || (m->accepted == ACCEPT_ARENA && state == 1) ||
                               (m->accepted == ACCEPT_LOBBY && (state == 1 || state == 2 || state == 11));
            const std::string before = ClientState(present);
            Bytes body = row.body;
            DispatchPacket(row.code, 9, 7, body.data(), static_cast<int>(body.size()), g_localPlayer);
            EXPECT_EQ(ClientState(present) != before, takes);
        }
    }
}

TEST_F(ArenaNetTest, OurBoltIsSentWithItsTargetAndFlightTime) {
    auto& bolt = Spell<CSpellBolt>(60, SPELL_BOLT);
    bolt.range = 1000;
    bolt.max_timer = 800;
    const int other = Figure(10, "Ivo", 3000, 3100);
    WorldEffect& r = WorldEffectTable[3];
    r = WorldEffect{1, 1, 60, 0, 0, other, LINE_OBJECT, 500, 1024, 7, 2, 4000, 4001, -20, 3000, 3100, 35, 5, 0, 6, 0};
    SendCreateEffect(3);
    std::vector<Sent> sent = SentFrames();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].code, 37);
    EXPECT_EQ(sent[0].destination, 0);
    const Bytes golden = {1,    0, 4,    0,    0,    0,    0, 10,   0x01, 0xF4, 0x04, 0,    0x0F, 0xA0, 0x0F, 0xA1,
                          0xFF, 0xEC, 0x0B, 0xB8, 0x0C, 0x1C, 0, 35, 7,    2,    5,    6,    0x01, 0x90, 0,    60};
    EXPECT_EQ(sent[0].body, golden);
    // A bolt at the level or at a thin names no target.
    ResetSendRing();
    r.target_kind = LINE_THIN;
    SendCreateEffect(3);
    sent = SentFrames();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].body[2], 0);
    EXPECT_EQ(sent[0].body[6], 0xFF);
    EXPECT_EQ(sent[0].body[7], 0xFF);
}

TEST_F(ArenaNetTest, AnotherPlayersWallIsRaisedButOurEchoedOneNotTwice) {
    auto& wall = Spell<CSpellWall>(70, SPELL_WALL);
    wall.thick = 16;
    wall.length = 64;
    wall.cast_distance = 64;
    auto walls = [] {
        int n = 0;
        for (int t = 1; t < ThinCount; ++t)
            n += ThinTable[t].active == 1;
        return n;
    };
    Dispatch(180, Words({70, 0x0500, 3000, 3000, 0, 0xF000, 7, 2}, 16), 7);
    EXPECT_EQ(walls(), 0);
    Dispatch(180, Words({400, 0x0600, 3000, 3000, 0, 0, 9, 1}, 16), 9);
    Dispatch(180, Words({70, 0x0600, 9000, 3000, 0, 0, 9, 1}, 16), 9);
    EXPECT_EQ(walls(), 0);
    Dispatch(180, Words({70, 0x0600, 3000, 3000, 0, 0xF000, 9, 1}, 16), 9);
    EXPECT_EQ(walls(), 4);
    const int front = FindThinSlot(0x0600);
    ASSERT_GT(front, 0);
    EXPECT_EQ(ThinTable[front].owner, 9);
    EXPECT_EQ(ThinTable[front].team, 1);
}

// ---- The local player's state --------------------------------------------------------------------

TEST_F(ArenaNetTest, TheMotionWordCarriesStrafingAndTheWayTheViewMoves) {
    struct Row {
        int strafe, speed, word;
    } rows[] = {{0, 0, 0x0000}, {17, -30, 0x291E}, {34, 0, 0x0800}, {0, 40, 0x1028}, {0, -1, 0x2101}};
    for (const Row& row : rows) {
        player.strafe_bits = row.strafe;
        view.speed = row.speed;
        uint8_t out[12];
        PackPlayerState(ReadOwnState(player, 0, 0), out);
        EXPECT_EQ(out[0] << 8 | out[1], row.word) << row.strafe << " " << row.speed;
    }
}

// ---- How the network's lines reach the console ----------------------------------------------------

TEST_F(ArenaNetTest, TheNetworksConsoleLinesAreSystemLinesWithoutATag) {
    g_debugLevel = 2;
    SetGameValue(3, 3);
    Bytes unban(8);
    PutText(unban, 1, "oskar");
    Bytes version(12);
    version[2] = 2;
    PutText(version, 5, "mira");
    struct Row {
        const char* what;
        int code;
        Bytes body;
        const char* line;
    } rows[] = {
        {"an operator's answer", 173, Bytes{0, 1, 0, 0}, "God Mode Activated."},
        {"a line printed always", 169, unban, "Account [oskar] not found in banlist."},
        {"a debug line", 19, Bytes{0xFF, 0xFB, 0, 0, 9}, "F_DAMAGE: Dam=0 Pow=0 Who=-5 Hits=9"},
        {"the service's version", 130, version, "Server Version: 2.00"},
    };
    for (const Row& row : rows) {
        ClearChatBuffer();
        Dispatch(row.code, row.body);
        const ChatLine* found = nullptr;
        for (const ChatLine& l : ChatBuffer.lines)
            if (std::string(l.text) == row.line)
                found = &l;
        ASSERT_NE(found, nullptr) << row.what;
        EXPECT_STREQ(found->tag, "") << row.what;
        EXPECT_EQ(found->text_color, 5) << row.what;
        EXPECT_EQ(found->tag_color, 5) << row.what;
    }
}

// ---- The chat line -------------------------------------------------------------------------------

TEST_F(ArenaNetTest, TheChatInputLineIsErasedWhereTheArenaDrawsIt) {
    std::vector<uint16_t> pixels(kScreenPixels, 0xFFFF);
    uint16_t* const saved = g_screen.backBuffer;
    g_screen.backBuffer = pixels.data();
    ClearChatInputLine();
    g_screen.backBuffer = saved;
    auto at = [&](int x, int y) { return pixels[static_cast<size_t>(y) * kScreenWidth + x]; };
    EXPECT_EQ(at(180, 580), 0);
    EXPECT_EQ(at(435, 595), 0);
    EXPECT_EQ(at(179, 580), 0xFFFF);
    EXPECT_EQ(at(436, 580), 0xFFFF);
    EXPECT_EQ(at(180, 579), 0xFFFF);
    EXPECT_EQ(at(180, 596), 0xFFFF);
    const std::vector<std::string> marks = present.Named("SetPanelRedrawFlag");
    ASSERT_FALSE(marks.empty());
    EXPECT_EQ(marks.back(), "SetPanelRedrawFlag(6, 1)");
}

// ---- A whole visit against the scripted service -------------------------------------------------

class WholeFlowTest : public NetWaitTest {
protected:
    void SetUp() override {
        NetWaitTest::SetUp();
        EnterTestArena(player, view);
    }
    void TearDown() override {
        LeaveTestArena();
        NetWaitTest::TearDown();
    }
    // Reads what arrives, as the screen loops do, until pred holds.
    template <typename Pred>
    bool ReadUntil(Pred pred) {
        return PumpUntil([&] {
            BlockRead();
            DatagramRead();
            return pred();
        });
    }
    bool ServiceGot(int code) { return !service.FramesOf(static_cast<uint8_t>(code)).empty(); }

    LocalPlayer player{};
    PlayerView view{};
};

TEST_F(WholeFlowTest, FromLoginThroughTheTavernToAnotherPlayersVisitInTheArena) {
    auto& bolt = Spell<CSpellBolt>(60, SPELL_BOLT);
    bolt.range = 2000;
    bolt.max_timer = 1000;
    auto& proj = Spell<CSpellProj>(5, SPELL_PROJ);
    proj.num_projectiles = 1;
    ASSERT_TRUE(Open(CONNECTION_DATAGRAM));
    SendConnect();
    ASSERT_EQ(WaitForServiceReply(), 1);
    g_screenState = 2;
    ASSERT_EQ(EnterTavern(&player), 1);
    const int own = GetGameValue(118);
    ASSERT_NE(own, 0);

    // The Tavern's lists fill the client's tables.
    Bytes arena(52);
    arena[0] = 4;
    arena[1] = 1;
    PutText(arena, 2, "Greyfort");
    PutText(arena, 22, "grid4");
    service.Send(0, 25, arena);
    Bytes table(98);
    table[0] = 3;
    PutText(table, 4, "Den");
    PutText(table, 24, "Nell");
    service.Send(0, 66, table);
    ASSERT_TRUE(ReadUntil([] { return FindArenaIndex(4) > 0 && FindTableIndex(3) > 0; }));
    EXPECT_STREQ(ArenaTable[FindArenaIndex(4)].name, "Greyfort");
    EXPECT_STREQ(LobbyTableList[FindTableIndex(3)].name, "Den");

    // A figure left from before goes as the arena is entered; our own stays.
    const int stale = AllocObjectSlot(OBJ_PLAYER);
    WorldObjectTable[stale].id = 77;
    ASSERT_EQ(ActivateObject(stale), 1);
    player.own_object = AllocObjectSlot(OBJ_PLAYER);
    WorldObjectTable[player.own_object].id = 78;
    ASSERT_EQ(ActivateObject(player.own_object), 1);
    g_screenState = 1;
    ASSERT_EQ(EnterArenaGame(&player, 4), 1);
    EXPECT_NE(WorldObjectTable[stale].active, 1);
    EXPECT_EQ(WorldObjectTable[player.own_object].active, 1);

    // Another player joins and moves: a figure, placed where its states say.
    service.PlayerJoins(40, "Nell", 4, 1);
    ASSERT_TRUE(ReadUntil([] { return IsKnownPlayer(40) == 1; }));
    EXPECT_TRUE(NoticeHas("Nell just entered"));
    service.PlayerState(40, Words({0, 0, 1000, 1200, 0}, 12));
    ASSERT_TRUE(ReadUntil([] { return FindPlayerObjectSlot(40) > 0; }));
    const int fig = FindPlayerObjectSlot(40);
    EXPECT_EQ(WorldObjectTable[fig].y, 1200);
    ASSERT_NE(WorldObjectTable[fig].figure, 0);
    service.PlayerState(40, Words({0, 0, 1100, 1200, 1 << 13}, 12));
    ASSERT_TRUE(ReadUntil([&] { return WorldObjectTable[fig].x == 1100; }));

    // It casts a bolt at us from its head, hits us and talks.
    Bytes cast = Words({0, 0, 40, own, 1500, 0, 1000, 1000, 0, 4000, 4000, 0}, 32);
    cast[0] = 1;
    cast[2] = 4;
    cast[24] = 40;
    Put16(cast, 30, 60);
    service.Send(0, 37, cast, 40);
    ASSERT_TRUE(ReadUntil([] { return WorldEffectTable[0].active == 1; }));
    EXPECT_EQ(WorldEffectTable[0].target_kind, LINE_PLAYER);
    EXPECT_EQ(WorldEffectTable[0].start_x, 1100);
    EXPECT_EQ(WorldEffectTable[0].start_z, WorldObjectTable[fig].z + 32);
    service.Send(0, 19, Bytes{0, 40, 12, 0, 30}, 40);
    ASSERT_TRUE(ReadUntil([] { return NoticeHas("Nell hit you"); }));
    EXPECT_EQ(GetGameValue(107), 3000);
    const int lines = ChatBuffer.count;
    service.PlayerChat(40, "well met");
    EXPECT_TRUE(ReadUntil([&] { return ChatBuffer.count > lines; }));

    // The service sees our state, vitals and cast.
    SendPlayerState(&player, 0, 1);
    SendPlayerVitals();
    ASSERT_EQ(proj.Cast(player), 1);
    EXPECT_TRUE(PumpUntil([&] { return ServiceGot(1) && ServiceGot(24) && ServiceGot(176); }));

    // We kill it; it is raised and leaves.
    Bytes death = Words({40, own}, 8);
    death[4] = 2;
    service.Send(0, 6, death);
    ASSERT_TRUE(ReadUntil([] { return PlayerTable[FindPlayerIndex(40)].dead == 1; }));
    EXPECT_TRUE(NoticeHas("You killed Nell"));
    const std::string figure = std::to_string(WorldObjectTable[fig].figure);
    const auto tinted = [&](const std::string& call) {
        const std::vector<std::string> tints = present.Named("SetFigureTint");
        return !tints.empty() && tints.back() == call;
    };
    EXPECT_TRUE(tinted("SetFigureTint(" + figure + ", 50, 1, 0, 255, 255, 255)"));
    service.Send(0, 33, Words({40, own}, 4));
    ASSERT_TRUE(ReadUntil([] { return NoticeHas("You raised Nell"); }));
    EXPECT_TRUE(tinted("SetFigureTint(" + figure + ", 100, 0, 0, 255, 255, 255)"));
    EXPECT_EQ(PlayerTable[FindPlayerIndex(40)].dead, 0);
    service.PlayerLeaves(40);
    ASSERT_TRUE(ReadUntil([] { return IsKnownPlayer(40) == 0; }));
    EXPECT_TRUE(NoticeHas("Nell left the game"));
    EXPECT_LE(FindPlayerObjectSlot(40), 0);
}

}  // namespace
