#include "client/arena/monster_think.h"
#include "client/arena/object_frame.h"

#include "client/arena/spell.h"
#include "client/core/game_values.h"
#include "common/random.h"
#include "tests/client/arena/room_fixture.h"

namespace {

// Counts the casts monsters make with it.
class CountingSpell : public CSpell {
public:
    int ObjectCast(int slot, int source) override {
        last_slot = slot;
        last_source = source;
        ++casts;
        return 1;
    }
    int casts = 0, last_slot = 0, last_source = -1;
};

class Monsters : public RoomFixture {
protected:
    Monsters() {
        Room(64, 200, 1024);
        auto s = std::make_unique<CountingSpell>();
        spell = s.get();
        SetSpell(7, std::move(s));
        SetGameValue(4, 1);
        view.x = 3000;
        view.y = 3000;
        g_operatorFlags = 0;
        GameSrand(1);
    }
    ~Monsters() override { FreeSpells(); }
    int Monster(int x, int y, int team, int command = CMD_ROAM, int demeanor = DEMEANOR_REACTIVE) {
        const int s = Live(OBJ_MOVING, x, y);
        WorldObject& o = WorldObjectTable[s];
        o.team = static_cast<int16_t>(team);
        o.command = static_cast<int16_t>(command);
        o.demeanor = static_cast<uint16_t>(demeanor);
        o.trigger_range = 320;
        o.max_velocity = 64;
        o.max_action_timer = 1000;
        o.action_timer = 1;
        o.spell_num = 7;
        return s;
    }
    WorldObject& M(int s) { return O(s); }
    CountingSpell* spell = nullptr;
};

TEST_F(Monsters, FacingUsesTheGamesConstantsAndTruncates) {
    const int m = Monster(1000, 1000, 4);
    struct Case {
        int tx, ty, want;
    } cases[] = {
        {1000, 1100, 0}, {900, 1000, 1024}, {1000, 900, 2048}, {1100, 1000, 3072},
        {1001, 1100, 4090},  // -6.5 truncates to -6
        {1050, 1015, 3262},  // a true 180 / pi would give 3263
    };
    for (const Case& c : cases) {
        FaceTowards(m, c.tx, c.ty);
        EXPECT_EQ(M(m).facing, c.want) << c.tx << "," << c.ty;
    }
}

TEST_F(Monsters, TheNearestEnemyTiesGoToThePlayerThenTheLowerSlot) {
    const int m = Monster(1000, 1000, 4, CMD_ROAM, DEMEANOR_AGGRESSIVE);
    const int a = Monster(1100, 1000, 2);
    const int b = Monster(1000, 1100, 3);
    EXPECT_EQ(FindNearestEnemy(m), a) << "equal distances: the lower slot";
    view.x = 900;
    view.y = 1000;
    EXPECT_EQ(FindNearestEnemy(m), kTargetPlayer) << "the player before a monster as near";
    SetGameValue(4, 4);
    EXPECT_EQ(FindNearestEnemy(m), a) << "never a player of its own team";
    SetGameValue(4, 1);
    g_operatorFlags = kOperatorInvisible;
    EXPECT_EQ(FindNearestEnemy(m), a) << "nor an invisible one";
    M(a).team = 4;
    EXPECT_EQ(FindNearestEnemy(m), b);
    M(b).x = 1000 + 320;
    M(b).y = 1000;
    EXPECT_EQ(FindNearestEnemy(m), 0) << "the range is strict";
    player.own_object = a;
    M(a).team = 2;
    EXPECT_EQ(FindNearestEnemy(m), 0) << "the player's own figure is no monster";
    g_operatorFlags = 0;
    view.x = 1000 - 320;
    view.y = 1000 + 100;
    EXPECT_EQ(FindNearestEnemy(m), 0) << "the player at the range";
    view.x = 1000 - 319;
    EXPECT_EQ(FindNearestEnemy(m), kTargetPlayer);
}

TEST_F(Monsters, AttacksFaceCastAndHalveTheSpeedButNotOnCode10) {
    const int m = Monster(1000, 1000, 4);
    const int t = Monster(1000, 1100, 2);
    M(m).target = static_cast<uint16_t>(t);
    Attack(m);
    EXPECT_EQ(M(m).facing, 0);
    EXPECT_EQ(M(m).speed, 32);
    EXPECT_EQ(spell->casts, 1);
    EXPECT_EQ(spell->last_slot, m);
    EXPECT_EQ(spell->last_source, 0);
    g_level.cellIndex[CellIndex(1000 >> 6, 1000 >> 6)] = 10;
    M(m).facing = 5;
    Attack(m);
    EXPECT_EQ(M(m).facing, 0);
    EXPECT_EQ(spell->casts, 1) << "no casting from a code-10 cell";
    DestroyObject(t);
    Attack(m);
    EXPECT_EQ(M(m).target, 0) << "a lost target is cleared";
}

// A target stays while nearer than twice the trigger range (a square), one in the first slot too;
// the check after each think drops one gone out of reach, even between decisions.
TEST_F(Monsters, TargetsAreKeptWithinTwiceTheTriggerRange) {
    const int first = Monster(1000, 1000, 2);
    ASSERT_EQ(first, 1);
    const int m = Monster(1000 + 639, 1000 - 639, 4);
    M(m).target = static_cast<uint16_t>(first);
    EXPECT_EQ(CheckTarget(m), first);
    M(m).x = 1000 + 640;
    EXPECT_EQ(CheckTarget(m), 0);
    M(m).target = kTargetPlayer;
    M(m).x = 3000 - 639;
    M(m).y = 3000 + 639;
    EXPECT_EQ(CheckTarget(m), -1);
    M(m).y = 3000 + 640;
    EXPECT_EQ(CheckTarget(m), 0);

    const int far = Monster(200, 200, 2);
    M(m).target = static_cast<uint16_t>(far);
    M(m).action_timer = 500;
    MonsterThink(player, m, 100);
    EXPECT_EQ(M(m).action_timer, 490) << "no decision yet";
    EXPECT_EQ(M(m).target, 0);
}

TEST_F(Monsters, EachCommandAndDemeanorDecides) {
    struct Case {
        const char* what;
        int command, demeanor;
        bool targetPlayer, playerNear;
        int wantSpeed;
        int wantTarget;  // -1 the player
    } cases[] = {
        {"stand", CMD_STAND, DEMEANOR_REACTIVE, true, true, 0, -1},
        {"roam, passive forgets", CMD_ROAM, DEMEANOR_PASSIVE, true, true, 64, 0},
        {"roam, reactive without a target", CMD_ROAM, DEMEANOR_REACTIVE, false, true, 64, 0},
        {"roam, reactive keeps and attacks", CMD_ROAM, DEMEANOR_REACTIVE, true, true, 32, -1},
        {"roam, reactive loses a far target", CMD_ROAM, DEMEANOR_REACTIVE, true, false, 64, 0},
        {"roam, aggressive finds the player", CMD_ROAM, DEMEANOR_AGGRESSIVE, false, true, 32, -1},
        {"guard without a waypoint stops", CMD_GUARD, DEMEANOR_PASSIVE, false, true, 0, 0},
        {"hunt, passive takes the player", CMD_HUNT, DEMEANOR_PASSIVE, false, true, 64, -1},
        {"hunt, passive gives up a far player", CMD_HUNT, DEMEANOR_PASSIVE, false, false, 64, 0},
        {"hunt, reactive takes the player", CMD_HUNT, DEMEANOR_REACTIVE, false, true, 64, -1},
        {"hunt, aggressive finds the player", CMD_HUNT, DEMEANOR_AGGRESSIVE, false, true, 32, -1},
        {"an unknown command does nothing", 9, DEMEANOR_REACTIVE, false, true, 17, 0},
    };
    for (const Case& c : cases) {
        ClearWorldObjects();
        GameSrand(1);
        const int m = Monster(1000, 1000, 4, c.command, c.demeanor);
        M(m).fire_chance = 100;
        M(m).follow_chance = 100;
        M(m).speed = 17;
        M(m).target = c.targetPlayer ? kTargetPlayer : 0;
        view.x = c.playerNear ? 1200 : 1700;
        view.y = 1000;
        MonsterThink(player, m, 100);
        EXPECT_EQ(M(m).speed, c.wantSpeed) << c.what;
        EXPECT_EQ(M(m).target, c.wantTarget == -1 ? kTargetPlayer : c.wantTarget) << c.what;
        EXPECT_EQ(M(m).action_timer, 1000) << c.what;
    }
}

// A monster hunting the player stops when it is within 40 of him on both axes, not at 40.
TEST_F(Monsters, HuntersStopCloseToThePlayer) {
    const struct {
        int dx, dy, speed;
    } cases[] = {{39, 0, 0}, {0, 39, 0}, {-39, 39, 0}, {40, 0, 64}, {0, -40, 64}, {39, 40, 64}, {100, 0, 64}};
    for (const auto& c : cases) {
        ClearWorldObjects();
        const int m = Monster(1000, 1000, 4, CMD_HUNT, DEMEANOR_PASSIVE);
        view.x = 1000 + c.dx;
        view.y = 1000 + c.dy;
        MonsterThink(player, m, 100);
        EXPECT_EQ(M(m).target, kTargetPlayer) << c.dx << "," << c.dy;
        EXPECT_EQ(M(m).speed, c.speed) << c.dx << "," << c.dy;
    }
}

TEST_F(Monsters, TimersWaitAndAFigureThatNeverThinks) {
    const int m = Monster(1000, 1000, 4, CMD_STAND);
    M(m).speed = 50;
    M(m).action_timer = 20;
    MonsterThink(player, m, 100);
    EXPECT_EQ(M(m).speed, 50);
    EXPECT_EQ(M(m).action_timer, 10);
    M(m).action_timer = 11;
    MonsterThink(player, m, 100);
    EXPECT_EQ(M(m).speed, 50) << "at 1 it still waits";
    EXPECT_EQ(M(m).action_timer, 1);
    MonsterThink(player, m, 100);
    EXPECT_EQ(M(m).speed, 0);
    M(m).max_action_timer = 0;
    M(m).action_timer = 0;
    M(m).speed = 50;
    MonsterThink(player, m, 100);
    EXPECT_EQ(M(m).speed, 50);
}

TEST_F(Monsters, GuardsWalkToTheirPointAndPatrolsSwap) {
    const int g = Monster(1000, 1000, 4, CMD_PATROL, DEMEANOR_PASSIVE);
    M(g).waypoint_x = 1000;
    M(g).waypoint_y = 1500;
    M(g).waypoint2_x = 600;
    M(g).waypoint2_y = 700;
    MonsterThink(player, g, 100);
    EXPECT_EQ(M(g).facing, 0);
    EXPECT_EQ(M(g).speed, 64);
    M(g).y = 1480;  // 20 short on y is not there yet
    M(g).action_timer = 1;
    MonsterThink(player, g, 100);
    EXPECT_EQ(M(g).speed, 64);
    EXPECT_EQ(M(g).waypoint_x, 1000);
    M(g).y = 1481;
    M(g).action_timer = 1;
    MonsterThink(player, g, 100);
    EXPECT_EQ(M(g).speed, 0);
    EXPECT_EQ(M(g).waypoint_x, 600);
    EXPECT_EQ(M(g).waypoint2_y, 1500);
}

TEST_F(Monsters, AlliesNearAndWillingTakeTheTarget) {
    const int m = Monster(1000, 1000, 3);
    M(m).target = kTargetPlayer;
    const int near = Monster(1639, 1000, 3, CMD_ROAM, DEMEANOR_AGGRESSIVE);
    const int edge = Monster(1640, 1000, 3);
    const int passive = Monster(1100, 1000, 3, CMD_ROAM, DEMEANOR_PASSIVE);
    const int enemy = Monster(1100, 1000, 2);
    const int figure = Monster(1100, 1000, 3);
    M(figure).type = OBJ_PLAYER;  // a player figure of the team is no monster to alert
    AlertAllies(m);
    EXPECT_EQ(M(near).target, 0) << "kept for the end of the frame";
    RunAllyAlerts();
    EXPECT_EQ(M(near).target, kTargetPlayer);
    EXPECT_EQ(M(edge).target, 0);
    EXPECT_EQ(M(passive).target, 0);
    EXPECT_EQ(M(enemy).target, 0);
    EXPECT_EQ(M(figure).target, 0);
}

// Many monsters struck in one frame: each ally takes the newest alert that reaches it, but a monster
// struck (and alerting) after an alert keeps its own target; the team mates of another team and
// those out of reach keep theirs. Carried out once, the alerts are gone.
TEST_F(Monsters, TheFramesAlertsGiveEachAllyTheNewestThatReachesIt) {
    const int a = Monster(1000, 1000, 3);
    const int b = Monster(1200, 1000, 3);
    const int c = Monster(1000, 1000, 2);
    const int far = Monster(2000, 1000, 3);
    const int bystander = Monster(1100, 1000, 3);
    M(a).target = kTargetPlayer;
    AlertAllies(a);  // first: a hunts the player
    M(c).target = static_cast<uint16_t>(a);
    AlertAllies(c);  // another team's alert
    M(b).target = static_cast<uint16_t>(c);
    AlertAllies(b);  // newest: b hunts c
    RunAllyAlerts();
    EXPECT_EQ(M(a).target, c) << "b's newer alert reaches a";
    EXPECT_EQ(M(b).target, c) << "a's older alert does not undo b's own";
    EXPECT_EQ(M(bystander).target, c);
    EXPECT_EQ(M(far).target, 0) << "800 from b and 1000 from a: past their reach of 640";
    EXPECT_EQ(M(c).target, a) << "no alert of its team";
    M(bystander).target = 0;
    RunAllyAlerts();
    EXPECT_EQ(M(bystander).target, 0) << "nothing is alerted twice";

    // A struck monster freed before the end of the frame still alerts; the object update carries
    // the alerts out.
    AlertAllies(a);
    DestroyObject(a);
    UpdateObjects(player, 10);
    EXPECT_EQ(M(bystander).target, c);
}

// A fire chance of 0 never attacks and a follow chance of 0 never follows; 100 always does.
TEST_F(Monsters, ChancesOfNoneNeverAct) {
    const int m = Monster(1000, 1000, 4);
    view.x = 1100;
    view.y = 1000;
    for (int i = 0; i < 500; ++i) {
        M(m).target = kTargetPlayer;
        M(m).speed = 17;
        M(m).action_timer = 1;
        MonsterThink(player, m, 100);
        ASSERT_EQ(M(m).speed, 64) << "roamed without attacking or following, think " << i;
        ASSERT_EQ(M(m).facing, 0) << "nor faced the player, think " << i;
    }
    EXPECT_EQ(spell->casts, 0);
    M(m).follow_chance = 100;
    M(m).action_timer = 1;
    MonsterThink(player, m, 100);
    EXPECT_EQ(M(m).facing, 3072) << "follows";
}

TEST_F(Monsters, GeneratorsKeepTheirLimitsAndOnlyOffline) {
    Generator& g = g_level.monsterGens[3];
    g.active = 1;
    g.kind = 3;
    g.maximum = 2;
    g.x = 640;
    g.y = 640;
    const int first = SpawnFromGenerator(3);
    ASSERT_GT(first, 0);
    EXPECT_EQ(M(first).kind, 3);
    EXPECT_NE(M(first).id, 0u);
    EXPECT_EQ(g.object, first);
    const int second = SpawnFromGenerator(3);
    EXPECT_GT(second, first);
    EXPECT_EQ(SpawnFromGenerator(3), 0) << "two of kind 3 live";
    g.maximum = 5;
    g.single = 1;
    EXPECT_EQ(SpawnFromGenerator(3), second) << "a single generator keeps its one";
    g.single = 0;
    g_linkState = 2;
    EXPECT_EQ(SpawnFromGenerator(3), 0);
}

}  // namespace
