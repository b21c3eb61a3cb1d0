// A whole offline match on the sample level, seeded, on the virtual clock: the player walks,
// jumps, opens a door, casts every spell type and is hunted by the level's monsters, with a
// ghost team mate and an enemy in the player table. The state after it is pinned by a golden
// dump (QUORRIN_UPDATE_GOLDEN=1 rewrites it) and a digest every 100 frames.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "client/arena/game_input.h"
#include "client/arena/line_tests.h"
#include "client/arena/player_effects.h"
#include "client/arena/player_status.h"
#include "client/arena/world_effects.h"
#include "client/arena/world_object.h"
#include "client/arena/thin.h"
#include "client/core/game_values.h"
#include "client/net/client_tables.h"
#include "tests/support/arena_match.h"
#include "tests/support/recording_present.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

// What happened during the match, as the frames saw it.
struct Events {
    bool boltFlew = false, boltArrived = false, wallRaised = false, wallDamaged = false, runeLaid = false;
    bool projectileFlew = false, objectPlaced = false, effectTaken = false, targetHit = false, teleported = false;
    bool playerHit = false, monsterSpawned = false, monsterKilled = false;
};

enum Spell { FIREBOLT = 1, MAGIC_MISSILE, STONE_WALL, HEAL, BLESS, WISP, DRAIN, DISPELL, BLINK, FIRE_RUNE };

class Timedemo : public ::testing::Test {
protected:
    Timedemo() {
        dir.Enter();
        const fs::path install = SAMPLE_INSTALL_DIR;
        for (const char* item : {"sample", "textures", "pattern.dat", "monster.dat", "system.dat", "spell.bin",
                                 "loadbar1.pcx", "loadbar2.pcx", "loadbarb.pcx"})
            fs::copy(install / item, fs::path(dir.Path()) / item, fs::copy_options::recursive);
    }

    // The scripted match; the digests every 100 frames and the events go to the outputs.
    std::string Play(std::vector<uint64_t>* digests, Events* events);

    TempDir dir;
};

int CountObjects(int type, int kind = -1) {
    int n = 0;
    for (int s = 1; s < WorldObjectHighWater; ++s)
        n += WorldObjectTable[s].active == 1 && WorldObjectTable[s].type == type &&
             (kind < 0 || WorldObjectTable[s].kind == kind);
    return n;
}

int SpellThins() {
    int n = 0;
    for (int s = 1; s < ThinCount; ++s)
        n += ThinTable[s].active == 1 && ThinTable[s].kind == THIN_SPELL;
    return n;
}

std::string Timedemo::Play(std::vector<uint64_t>* digests, Events* ev) {
    RecordingPresent present;
    OfflineArena match("sample", 1, 12345);
    EXPECT_TRUE(match.ok);
    if (!match.ok)
        return "";
    const int startX = match.view.x, startY = match.view.y;
    // A ghost team mate behind the start, an enemy player ahead.
    match.AddPlayer(20, 1, "Mate", startX, startY - 200, true);
    const int enemy = match.AddPlayer(30, 2, "Rival", startX, startY + 300, false);
    int monsters = 0, bodies = 0, boltTime = 0;
    bool boltWas = false;
    auto frame = [&](int ms, const PlayerControl& c) {
        match.Frame(ms, c);
        ev->boltFlew |= WorldEffectTable[0].active != 0 && WorldEffectTable[0].spell == FIREBOLT;
        ev->projectileFlew |= CountObjects(OBJ_SPELL, MAGIC_MISSILE) > 0;
        ev->runeLaid |= CountObjects(OBJ_SPELL, FIRE_RUNE) > 0;
        ev->objectPlaced |= CountObjects(OBJ_STATIC, WISP) > 0;
        ev->wallRaised |= SpellThins() > 0;
        for (int t = 1; t < ThinCount; ++t)
            ev->wallDamaged |= ThinTable[t].active == 1 && ThinTable[t].kind == THIN_SPELL && ThinTable[t].hit_points &&
                               ThinTable[t].hit_points < 60;
        const bool boltNow = WorldEffectTable[0].active != 0;
        ev->boltArrived |= boltWas && !boltNow && boltTime + ms < 400;
        boltWas = boltNow;
        boltTime = WorldEffectTable[0].time;
        ev->effectTaken |= match.player.effects[3].active != 0;
        ev->playerHit |= TintTime > 0 && TintKind == 5;
        const int live = CountObjects(OBJ_MOVING);
        ev->monsterSpawned |= live > monsters && match.frames > 1;
        monsters = live;
        const int dead = CountObjects(OBJ_BODY);
        ev->monsterKilled |= dead > bodies;
        bodies = dead;
        if (match.frames % 100 == 0)
            digests->push_back(match.Digest());
    };
    PlayerControl none{};
    none.yaw = none.pitch = -1;
    auto hold = [&](int count, PlayerControl c) {
        for (int i = 0; i < count; ++i)
            frame(10, c);
    };
    auto cast = [&](int spell) {
        match.Ready(spell);
        PlayerControl c = none;
        c.cast = 1;
        frame(10, c);
        hold(150, none);
    };

    hold(20, none);
    PlayerControl walk = none;
    walk.forward = 100;
    hold(60, walk);
    PlayerControl jump = none;
    jump.jump = 100;
    frame(10, jump);
    hold(80, none);
    cast(BLESS);
    cast(HEAL);
    // A monster that shoots bolts comes at the player, who fights it with missiles and bolts.
    const int monster = match.AddMonster(3, 4, match.view.x + 320, match.view.y);
    for (int i = 0; i < 60 && WorldObjectTable[monster].type == OBJ_MOVING; ++i) {
        // Aim at it as a player turns to face it.
        const double dx = WorldObjectTable[monster].x - match.view.x, dy = WorldObjectTable[monster].y - match.view.y;
        match.view.facing = static_cast<int>(std::atan2(-dx, dy) * 4096 / (2 * 3.14159265358979)) & 4095;
        cast(i % 3 ? MAGIC_MISSILE : FIREBOLT);
    }
    cast(FIRE_RUNE);
    TargetPlayerId = 30;
    cast(DRAIN);
    ev->targetHit = GetObjectEffect(enemy, 11, 0) > 0;
    TargetPlayerId = 0;
    PlayerControl turn = none;
    turn.turn_right = 100;
    hold(40, turn);
    hold(50, none);
    // Face the first open way for each placed spell.
    auto faceOpenWay = [&] {
        for (int facing : {0, 1024, 2048, 3072})
            if (match.view.facing = facing, !CheckCastPath(match.player, 240, 0))
                return;
    };
    faceOpenWay();
    cast(STONE_WALL);
    cast(DISPELL);
    faceOpenWay();
    cast(WISP);
    frame(250, none);
    frame(2500, none);
    hold(300, walk);
    hold(2000, none);  // the ghost rests 20 s before it can be reached
    const int beforeX = match.view.x, beforeY = match.view.y;
    cast(BLINK);
    ev->teleported = match.view.x != beforeX || match.view.y != beforeY;
    hold(500, none);
    return match.Dump();
}

}  // namespace

namespace {

TEST_F(Timedemo, AWholeMatchPlaysTheSameEveryTimeAndMatchesItsGolden) {
    std::vector<uint64_t> first, second;
    Events events, again;
    const std::string dump = Play(&first, &events);
    ASSERT_FALSE(dump.empty());
    EXPECT_EQ(Play(&second, &again), dump) << "the same seed gives the same match";
    EXPECT_EQ(first, second);

    std::ostringstream text;
    text << dump;
    for (size_t i = 0; i < first.size(); ++i)
        text << "digest " << (i + 1) * 100 << " " << std::hex << first[i] << std::dec << "\n";
    const std::string golden = std::string(TIMEDEMO_GOLDEN);
    if (const char* update = std::getenv("QUORRIN_UPDATE_GOLDEN"); update && *update == '1') {
        std::ofstream(golden) << text.str();
    } else {
        std::ifstream in(golden);
        std::stringstream want;
        want << in.rdbuf();
        EXPECT_EQ(text.str(), want.str()) << "rerun with QUORRIN_UPDATE_GOLDEN=1 when the change is meant";
    }

    EXPECT_TRUE(events.boltFlew);
    EXPECT_TRUE(events.boltArrived);
    EXPECT_TRUE(events.projectileFlew);
    EXPECT_TRUE(events.objectPlaced);
    EXPECT_TRUE(events.runeLaid);
    EXPECT_TRUE(events.wallRaised);
    EXPECT_TRUE(events.wallDamaged);
    EXPECT_TRUE(events.effectTaken);
    EXPECT_TRUE(events.targetHit);
    EXPECT_TRUE(events.teleported);
    EXPECT_TRUE(events.monsterSpawned);
    EXPECT_TRUE(events.monsterKilled);
    EXPECT_TRUE(events.playerHit);
}

}  // namespace
