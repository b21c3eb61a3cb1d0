// A whole offline match on the sample level, seeded, on the virtual clock, played from the keyboard
// and mouse: a key script in the GAME_INPUT format goes through the headless window into the key
// state the arena reads its controls from. The player walks, jumps, opens a door, climbs a ladder,
// casts every spell type and is hunted by the level's monsters, with a ghost team mate and a rival
// in the player table. The state after it is pinned by a golden dump (QUORRIN_UPDATE_GOLDEN=1
// rewrites it) and a digest every 100 frames.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "client/arena/game_input.h"
#include "client/arena/line_tests.h"
#include "client/arena/player_effects.h"
#include "client/arena/player_status.h"
#include "client/arena/spell.h"
#include "client/arena/thin.h"
#include "client/arena/world_effects.h"
#include "client/arena/world_object.h"
#include "client/core/game_values.h"
#include "client/driver/message_pump.h"
#include "client/net/client_tables.h"
#include "client/net/net_spells.h"
#include "tests/support/arena_match.h"
#include "tests/support/headless.h"
#include "tests/support/recording_present.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

// What happened during the match, as the frames saw it.
struct Events {
    bool boltFlew = false, boltArrived = false, wallRaised = false, wallDamaged = false, runeLaid = false;
    bool runeTripped = false, projectileFlew = false, objectPlaced = false, effectTaken = false;
    bool targetHit = false, teleported = false, playerHit = false, monsterSpawned = false;
    bool monsterKilled = false, doorOpened = false, climbed = false, jumped = false, walked = false;
    std::set<int> classesCast;  // spell types of the casts that took their fatigue
};

enum Spell { FIREBOLT = 1, MAGIC_MISSILE, STONE_WALL, HEAL, BLESS, WISP, DRAIN, DISPELL, BLINK, FIRE_RUNE };

// Set-1 scan codes of the keys the script presses (the installation's bindings).
enum Key { KEY_W = 17, KEY_E = 18, KEY_SPACE = 57 };
int Digit(int d) { return d + 1; }

// The match's input in the GAME_INPUT format, written a step at a time: each step starts where
// the previous one ended.
class KeyScript {
public:
    KeyScript& Wait(int ms) {
        at_ += ms;
        return *this;
    }
    KeyScript& Hold(int scan, int ms) {
        Line() << "key " << scan << " down\n";
        at_ += ms;
        Line() << "key " << scan << " up\n";
        return *this;
    }
    KeyScript& Tap(int scan) { return Hold(scan, 30); }
    KeyScript& Press(int scan) {
        Line() << "key " << scan << " down\n";
        return *this;
    }
    KeyScript& Release(int scan) {
        Line() << "key " << scan << " up\n";
        return *this;
    }
    // Marks this moment for something the match does besides the keys.
    KeyScript& Mark(const char* what) {
        marks_.push_back({at_, what});
        return *this;
    }
    // Turns to a facing (4096ths of a turn; east 3072, south 0) or at the fighting monster: the
    // match works out the mouse moves from where the player looks then.
    KeyScript& Face(int facing) { return Mark(("face " + std::to_string(facing)).c_str()).Wait(150); }
    KeyScript& Aim() { return Mark("aim").Wait(150); }
    KeyScript& Click() {
        Line() << "button left down 320 240\n";
        at_ += 30;
        Line() << "button left up 320 240\n";
        return *this;
    }
    // Chooses the readied spell of a digit (pressed twice, the group's second) and casts it.
    KeyScript& Cast(int digit, bool second = false) {
        Tap(Digit(digit));
        if (second)
            Wait(200).Tap(Digit(digit));
        return Wait(700).Click().Wait(1200);
    }
    std::string Text() const { return text_.str(); }
    int End() const { return at_; }
    struct MarkAt {
        int at;
        std::string what;
    };
    const std::vector<MarkAt>& Marks() const { return marks_; }

private:
    std::vector<MarkAt> marks_;
    std::ostringstream& Line() {
        text_ << at_ << " ";
        return text_;
    }
    std::ostringstream text_;
    int at_ = 0;
};

class Timedemo : public HeadlessTest {
protected:
    void SetUp() override {
        HeadlessTest::SetUp();
        dir.Enter();
        const fs::path install = SAMPLE_INSTALL_DIR;
        for (const char* item : {"sample", "textures", "pattern.dat", "monster.dat", "system.dat", "spell.bin",
                                 "keyboard.dat", "loadbar1.pcx", "loadbar2.pcx", "loadbarb.pcx"})
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

// The angle of the door the first trigger swings.
int DoorAngle() {
    for (int s = 1; s < ThinCount; ++s)
        if (ThinTable[s].active == 1 && ThinTable[s].kind == THIN_MOVED && ThinTable[s].trigger == 1)
            return ThinTable[s].angle;
    return -1;
}

void MoveFigure(int slot, int x, int y) {
    WorldObject& o = WorldObjectTable[slot];
    o.x = static_cast<uint16_t>(x);
    o.y = static_cast<uint16_t>(y);
    o.pos_x = x << 16;
    o.pos_y = y << 16;
}

// The readied spells: digit d chooses slot (d - 1) x 5; pressed again at once, the slot after.
void ReadySpells() {
    const int slots[][2] = {{0, FIREBOLT}, {1, BLINK}, {5, MAGIC_MISSILE}, {6, FIRE_RUNE}, {10, STONE_WALL},
                            {15, HEAL},    {20, BLESS}, {25, WISP},         {30, DRAIN},    {35, DISPELL}};
    for (const auto& s : slots) {
        SetGameValue(25 + s[0], s[1]);
        SetGameValue(65 + s[0], 10);
    }
}

std::string Timedemo::Play(std::vector<uint64_t>* digests, Events* ev) {
    platform::ResetWindowing();
    platform::InitWindowing(platform::Backend::Headless);
    platform::UseVirtualClock();
    RecordingPresent present;
    OfflineArena match("sample", 1, 12345);
    EXPECT_TRUE(match.ok);
    if (!match.ok)
        return "";
    ReadySpells();
    const int startX = match.view.x, startY = match.view.y;
    // A ghost team mate behind the start, an enemy player ahead.
    match.AddPlayer(20, 1, "Mate", startX, startY - 200, true);
    const int enemy = match.AddPlayer(30, 2, "Rival", startX, startY + 300, false);

    KeyScript keys;
    keys.Wait(200).Hold(KEY_W, 600).Tap(KEY_SPACE).Wait(800);
    keys.Cast(5).Cast(4);
    // To the gate and open it; then round the landing to its ladder and up. Walking covers 110
    // units a second.
    keys.Hold(KEY_W, 2900).Wait(500).Face(2048).Hold(KEY_W, 3450).Wait(500).Face(3072);
    keys.Tap(KEY_E).Wait(1500);
    // The hall's floor is a jump above the stair.
    keys.Face(0).Hold(KEY_W, 3450).Wait(500).Face(3072).Press(KEY_W).Wait(2100).Tap(KEY_SPACE).Wait(3800);
    keys.Release(KEY_W).Wait(500).Face(2048);
    keys.Hold(KEY_W, 3700).Wait(500).Face(1024).Hold(KEY_W, 1500).Wait(500).Face(0);
    // Climbing is the jump key; at the top it steps off onto the landing.
    keys.Hold(KEY_W, 150).Wait(300).Tap(KEY_E).Wait(200).Hold(KEY_SPACE, 3000).Wait(500);
    // Two long frames while nothing is pressed; then, the ghost rested long enough, back to it.
    keys.Wait(500).Mark("long").Wait(4000).Cast(1, true).Wait(1000);
    // Off the ghost's spot, which stands in the way of every cast.
    keys.Face(3072).Hold(KEY_W, 800).Wait(500);
    // The rival steps in front: the use key takes him as the target of Drain; he goes again.
    keys.Mark("rival").Tap(Digit(7)).Wait(700).Tap(KEY_E).Wait(100).Click().Wait(1500);
    // A wall to the north, worn by Dispell; a wisp to the east.
    keys.Face(2048).Cast(3).Cast(8).Face(3072).Cast(6).Mark("rival away");
    // A monster comes at the player from the east, who fights it with a missile and bolts.
    keys.Face(2560).Mark("fight").Cast(2).Tap(Digit(1)).Wait(700);
    for (int i = 0; i < 12; ++i)
        keys.Aim().Click().Wait(850);
    // A rune, which the rival trips.
    keys.Face(2560).Cast(2, true).Wait(500).Mark("rune").Wait(3000);
    const std::string script = dir.File("input.txt");
    std::ofstream(script) << keys.Text();
    EXPECT_TRUE(match.UseKeys(script));

    int monsters = 0, bodies = 0, boltTime = 0, fighter = 0;
    bool boltWas = false, runeWas = false;
    int lastX = startX, lastY = startY;
    const int door = DoorAngle();
    auto frame = [&](int ms) {
        const int fatigue = GetGameValue(111);
        match.KeyFrame(ms);
        if (GetGameValue(111) < fatigue && GetSpell(GetGameValue(115)))
            ev->classesCast.insert(GetSpell(GetGameValue(115))->type);
        ev->boltFlew |= WorldEffectTable[0].active != 0 && WorldEffectTable[0].spell == FIREBOLT;
        ev->projectileFlew |= CountObjects(OBJ_SPELL, MAGIC_MISSILE) > 0;
        const bool rune = CountObjects(OBJ_SPELL, FIRE_RUNE) > 0;
        ev->runeLaid |= rune;
        ev->runeTripped |= runeWas && !rune;
        runeWas = rune;
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
        ev->doorOpened |= DoorAngle() != door;
        ev->climbed |= match.player.mode == 7 && match.view.z > 160;
        ev->jumped |= match.player.mode == 2;
        ev->walked |= match.view.x != startX || match.view.y != startY;
        ev->teleported |= std::abs(match.view.x - lastX) + std::abs(match.view.y - lastY) > 200;
        lastX = match.view.x;
        lastY = match.view.y;
        ev->targetHit |= GetObjectEffect(enemy, 11, 0) > 0;
        const int live = CountObjects(OBJ_MOVING);
        ev->monsterSpawned |= live > monsters && match.frames > 1;
        monsters = live;
        const int dead = CountObjects(OBJ_BODY);
        ev->monsterKilled |= dead > bodies;
        bodies = dead;
        if (match.frames % 100 == 0)
            digests->push_back(match.Digest());
    };
    // What comes to the player: placed ahead of him when the script reaches its mark.
    auto ahead = [&](int distance, int* x, int* y) {
        const double a = match.view.facing * 2 * 3.14159265358979 / 4096;
        *x = match.view.x - static_cast<int>(std::lround(std::sin(a) * distance));
        *y = match.view.y + static_cast<int>(std::lround(std::cos(a) * distance));
    };
    // A turn is mouse moves of at most 300 to a side, one every 30 ms, from the next frame on.
    int turns = 0;
    auto turnBy = [&](int units) {
        std::ostringstream moves;
        for (int at = 0; units; at += 30) {
            const int step = std::clamp(units, -300, 300);
            moves << at << " move " << 320 + step << " 240\n";
            units -= step;
        }
        const std::string file = dir.File("turn" + std::to_string(++turns) + ".txt");
        std::ofstream(file) << moves.str();
        EXPECT_TRUE(platform::LoadInputScript(file));
    };
    auto shortWay = [](int from, int to) { return ((to - from + 2048) & 4095) - 2048; };
    auto act = [&](const std::string& what) {
        int x = 0, y = 0;
        if (what.rfind("face ", 0) == 0)
            turnBy(shortWay(match.view.facing, std::stoi(what.substr(5))));
        if (what == "aim" && WorldObjectTable[fighter].type == OBJ_MOVING) {
            const double dx = WorldObjectTable[fighter].x - match.view.x, dy = WorldObjectTable[fighter].y - match.view.y;
            const int to = static_cast<int>(std::lround(std::atan2(-dx, dy) * 4096 / (2 * 3.14159265358979))) & 4095;
            turnBy(shortWay(match.view.facing, to));
        }
        if (what == "fight") {
            ahead(320, &x, &y);
            // A wounded one, that shoots back.
            fighter = match.AddMonster(3, 4, x, y);
            WorldObjectTable[fighter].hit_points = 16;
        } else if (what == "rune") {
            // The rival steps on the rune; the service tells who tripped it.
            for (int s = 1; s < WorldObjectHighWater; ++s) {
                const WorldObject& r = WorldObjectTable[s];
                if (r.active == 1 && r.type == OBJ_SPELL && r.kind == FIRE_RUNE) {
                    x = r.x;
                    y = r.y;
                    const uint8_t body[4] = {static_cast<uint8_t>(r.id >> 8), static_cast<uint8_t>(r.id), 0, 30};
                    MoveFigure(enemy, x, y);
                    OnObjectDeath(body, sizeof body, &match.player);
                    break;
                }
            }
        } else if (what == "rival") {
            ahead(200, &x, &y);
        } else if (what == "rival away") {
            x = startX;
            y = startY + 300;
        }
        if (what == "rival" || what == "rival away")
            MoveFigure(enemy, x, y);
    };
    // 10 ms frames through the script, with one frame of 250 ms and one of 2500 ms at its mark.
    int elapsed = 0;
    size_t mark = 0;
    std::vector<int> longFrames;
    while (elapsed < keys.End() + 500) {
        int ms = 10;
        if (!longFrames.empty()) {
            ms = longFrames.back();
            longFrames.pop_back();
        }
        frame(ms);
        elapsed += ms;
        for (; mark < keys.Marks().size() && keys.Marks()[mark].at <= elapsed; ++mark) {
            if (keys.Marks()[mark].what == "long")
                longFrames = {2500, 250};
            act(keys.Marks()[mark].what);
        }
    }
    const std::string dump = match.Dump();
    g_mainWindow = nullptr;
    platform::ResetWindowing();
    return dump;
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
    EXPECT_TRUE(events.walked);
    EXPECT_TRUE(events.jumped);
    EXPECT_TRUE(events.doorOpened);
    EXPECT_TRUE(events.climbed);
    EXPECT_TRUE(events.runeTripped);
    EXPECT_EQ(events.classesCast.size(), static_cast<size_t>(kSpellTypeCount)) << "a cast of every spell class";
}

}  // namespace
