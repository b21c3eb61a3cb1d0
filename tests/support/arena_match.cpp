#include "tests/support/arena_match.h"

#include <cstdio>
#include <cstring>

#include "client/arena/arena_frame.h"
#include "client/arena/game_input.h"
#include "client/arena/grid_queries.h"
#include "client/arena/monster.h"
#include "client/arena/monster_think.h"
#include "client/arena/player_controls.h"
#include "client/arena/player_effects.h"
#include "client/arena/player_start.h"
#include "client/arena/player_status.h"
#include "client/arena/spell.h"
#include "client/arena/thin.h"
#include "client/arena/trigger.h"
#include "client/arena/world_effects.h"
#include "client/arena/world_object.h"
#include "client/core/game_clock.h"
#include "client/core/game_values.h"
#include "client/core/level_defs.h"
#include "client/core/screen_state.h"
#include "client/driver/message_pump.h"
#include "client/level/level_loader.h"
#include "client/net/client_tables.h"
#include "client/screens/input.h"
#include "client/screens/key_bindings.h"
#include "client/screens/screen_surface.h"
#include "common/random.h"
#include "platform/win/platform.h"
#include "tests/support/ddraw_device.h"

namespace {

constexpr int kEffectsTick = 250;

uint64_t Fnv(const std::string& text) {
    uint64_t h = 1469598103934665603ull;
    for (unsigned char c : text) {
        h ^= c;
        h *= 1099511628211ull;
    }
    return h;
}

}  // namespace

OfflineArena::OfflineArena(const char* level, int team, uint32_t seed) {
    g_playMode = 1;
    g_linkState = 1;
    std::memset(g_screen.noticeLines, 0, sizeof g_screen.noticeLines);
    g_localPlayer = &player;
    g_playerView = &view;
    GameSrand(seed);
    GameClock = 0;
    FrameDelta = 0;
    ResetGameValues();
    ClearPlayerTable();
    ClearWorldEffects();
    ResetAnimatedImages();
    ForgetClones();
    player.normal_eye_height = player.eye_height = 48;
    player.crawl_eye_height = 24;
    player.bob_height = 38;
    player.min_pitch = -90;
    player.max_pitch = 90;
    SetGameValue(4, team);
    if (LoadGrid(level) != 1 || LoadSpellData(0) != 1)
        return;
    // A level-10 character with every statistic at 50 and power and fatigue for a long fight.
    SetGameValue(0, 10);
    for (int n = 5; n <= 14; ++n)
        SetGameValue(n, 50);
    for (int n : {109, 110, 111, 112})
        SetGameValue(n, 1000000);
    // The level load read the real clock; the match runs on its own from 0.
    GameClock = 0;
    PlacePlayerAtStart(player, team, 0);
    SetGameValue(108, 1000);
    SetGameValue(107, GetMaxHitPoints());
    player.dead = 0;
    SetGameValue(118, -1);
    ClearPlayerEffects(player);
    ResetEffectTicker();
    ClearActionState();
    CreateOwnPlayerObject(player, 3);
    ok = true;
}

OfflineArena::~OfflineArena() {
    FreeSpells();
    ClearWorldEffects();
    ClearPlayerTable();
    g_localPlayer = nullptr;
    g_playerView = nullptr;
}

void OfflineArena::Frame(int ms, const PlayerControl& control) {
    GameClock += static_cast<uint32_t>(ms) * 10u;
    FrameDelta = ms * 10;
    PlayerControl frame = control;
    HandleGameInput(player, frame, 4);
    effectClock_ += ms;
    if (effectClock_ >= kEffectsTick) {
        UpdatePlayerEffects(player, effectClock_);
        effectClock_ = 0;
    }
    RunArenaSimulation(player, ms, ms * 10);
    ++frames;
}

void OfflineArena::Idle(int ms) {
    PlayerControl none{};
    none.yaw = none.pitch = -1;
    Frame(ms, none);
}

bool OfflineArena::UseKeys(const std::string& script) {
    g_mainWindow = ddtest::MakeGameWindow(800, 600, MainWndProc);
    ShowWindow(g_mainWindow, SW_SHOW);
    PumpMessages();
    ResetInputState();
    LoadKeyBindings();
    // The arena plays in mouse-look mode: the cursor is held at the centre and its moves turn.
    SetMouseLookEnabled(1);
    SetLookMode(1);
    SetMouseTurnScale(0);
    SetCursorMode(0);
    SetCursorPos(320, 240);
    return platform::LoadInputScript(script);
}

void OfflineArena::KeyFrame(int ms) {
    platform::AdvanceVirtualClock(static_cast<uint64_t>(ms));
    FrameClock = PumpMessages() * 10;
    PlayerControl control{};
    ReadPlayerControls(4, &control, &player);
    Frame(ms, control);
}

void OfflineArena::Ready(int spell) {
    SetGameValue(115, spell);
    SetGameValue(116, GetGameValue(0));
}

int OfflineArena::AddPlayer(int id, int team, const char* name, int x, int y, bool ghost) {
    const int entry = UpdatePlayerTable(id, 0, team, name);
    if (entry > 0)
        PlayerTable[entry].dead = ghost ? 1 : 0;
    const int slot = AllocObjectSlot(OBJ_PLAYER);
    if (!slot)
        return 0;
    WorldObject& o = WorldObjectTable[slot];
    o.id = static_cast<uint32_t>(id);
    o.team = static_cast<int16_t>(team);
    o.width = 16;
    o.tall = 64;
    o.hit_points = o.max_hits = 100;
    o.x = static_cast<uint16_t>(x);
    o.y = static_cast<uint16_t>(y);
    o.pos_x = x << 16;
    o.pos_y = y << 16;
    o.z = static_cast<int16_t>(GetFloorHeight(x, y, 0, 0));
    o.pos_z = static_cast<int32_t>(static_cast<uint32_t>(o.z) << 16);
    o.dead = ghost ? 1 : 0;
    ActivateObject(slot);
    return slot;
}

int OfflineArena::AddMonster(int kind, int team, int x, int y) {
    const int slot = AllocObjectAt(OBJ_MOVING, x, y);
    if (!slot)
        return 0;
    WorldObject& o = WorldObjectTable[slot];
    o.id = static_cast<uint32_t>(NewMonsterId());
    CreateMonster(slot, kind);
    o.team = static_cast<int16_t>(team);
    o.command = CMD_HUNT;
    o.demeanor = DEMEANOR_AGGRESSIVE;
    o.pos_x = x << 16;
    o.pos_y = y << 16;
    o.z = static_cast<int16_t>(GetFloorHeight(x, y, 0, 0));
    o.pos_z = static_cast<int32_t>(static_cast<uint32_t>(o.z) << 16);
    ActivateObject(slot);
    return slot;
}

std::string OfflineArena::Dump() const {
    std::string out;
    char line[256];
    auto put = [&](const char* format, auto... args) {
        std::snprintf(line, sizeof line, format, args...);
        out += line;
        out += '\n';
    };
    put("frame %d clock %u", frames, GameClock);
    for (int s = 1; s < WorldObjectHighWater; ++s) {
        const WorldObject& o = WorldObjectTable[s];
        if (o.active != 1)
            continue;
        put("object %d type %d kind %d id %u at %d %d %d facing %d speed %d %d hits %d team %d frame %d dead %d "
            "life %d",
            s, o.type, o.kind, o.id, o.x, o.y, o.z, o.facing, o.speed, o.z_speed, o.hit_points, o.team,
            o.image_frame, o.dead, o.duration_timer);
    }
    for (int s = 1; s < ThinCount; ++s) {
        const Thin& t = ThinTable[s];
        if (t.active == 1 && (t.kind == THIN_SPELL || t.kind == THIN_MOVED))
            put("thin %d kind %d id %d %d %d %d %d height %d hits %d life %d", s, t.kind, t.id, t.x1, t.y1, t.x2,
                t.y2, t.height, t.hit_points, t.life_timer);
    }
    for (int i = 0; i < kWorldEffects; ++i) {
        const WorldEffect& r = WorldEffectTable[i];
        if (r.active)
            put("bolt %d spell %d time %d range %d target %d kind %d", i, r.spell, r.time, r.range, r.target,
                r.target_kind);
    }
    put("view %d %d %d facing %d speed %d %d %d", view.x, view.y, view.z, view.facing, view.speed,
        view.strafe_speed, view.z_speed);
    put("player mode %d eye %d pitch %d dead %d own %d delay %d", player.mode, player.eye_height, player.pitch,
        player.dead, player.own_object, player.cast_delay);
    for (int n = 0; n < kPlayerEffects; ++n)
        if (player.effects[n].active)
            put("effect %d level %d left %d", n, player.effects[n].level, player.effects[n].time_left);
    put("action %d %d %d %d %d %d", g_actionState.bias_timer, g_actionState.biasing, g_actionState.death_timer,
        g_actionState.cast_pose_timer, g_actionState.cast_result, g_actionState.target_flash);
    for (int n = 0; n < 128; ++n)
        if (GetGameValue(n))
            put("value %d %d", n, GetGameValue(n));
    for (int k = 1; k < kMonsterKinds; ++k)
        if (LiveMonsterCount[k])
            put("monsters %d %d", k, LiveMonsterCount[k]);
    return out;
}

uint64_t OfflineArena::Digest() const {
    return Fnv(Dump());
}
