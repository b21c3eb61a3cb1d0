// The arena's simulation step on the sample level offline: 100 monsters of two teams fighting
// with their spells (projectiles and bolts), 64 strafing player figures, and the spell objects
// they make; against the empty level's step and a bare pass over the 1000 slots. The monsters
// stand in four files of 25 across the rooms, the teams taking turns, each file 400 units from
// the next: every monster sees an enemy and no friend stands in its line of fire, so the spells
// fly before they strike. Nobody moves out of range or dies (no speed, hit points at the 16-bit
// top), so the measured ticks carry the whole load. Target (release, one core): at least 10,000
// steps a second. The counters give the objects live in the measured ticks. Beside them, the worst
// frame of a full table of bursting objects.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/sample_level_memory.h"
#include "client/arena/arena_frame.h"
#include "client/arena/grid_queries.h"
#include "client/arena/local_player.h"
#include "client/arena/monster.h"
#include "client/arena/monster_think.h"
#include "client/arena/player_view.h"
#include "client/arena/spell.h"
#include "client/arena/thin.h"
#include "client/arena/trigger.h"
#include "client/arena/world_effects.h"
#include "client/arena/world_object.h"
#include "client/core/config_file.h"
#include "client/core/game_clock.h"
#include "client/core/game_values.h"
#include "client/core/level_defs.h"
#include "client/level/level_loader.h"
#include "common/random.h"
#include "tests/support/recording_present.h"
#include "tools/writers/sample_level.h"

namespace {

// The monsters' spells: a projectile and a bolt.
void MakeSpells() {
    auto proj = CreateSpell(SPELL_PROJ);
    auto& p = static_cast<CSpellProj&>(*proj);
    p.spell_number = 28;
    p.imagenum = 36;
    p.width = p.tall = 8;
    p.damage_dice = 3;
    p.damage_num_dice = 1;
    p.velocity = 256;
    p.duration_timer = 2500;
    SetSpell(28, std::move(proj));
    auto bolt = CreateSpell(SPELL_BOLT);
    auto& b = static_cast<CSpellBolt&>(*bolt);
    b.spell_number = 24;
    b.imagenum = 44;
    b.width = b.tall = 16;
    b.damage_dice = 4;
    b.damage_num_dice = 2;
    b.range = 512;
    b.max_timer = 320;
    b.object_spacing = 32;
    b.cast_distance = 32;
    b.duration_timer = 200;
    SetSpell(24, std::move(bolt));
}

// A slot of the type, placed at (x, y); the caller fills the rest and activates it.
WorldObject& NewObjectAt(int type, int x, int y, int* slot) {
    *slot = AllocObjectSlot(type);
    WorldObject& o = WorldObjectTable[*slot];
    o.x = static_cast<uint16_t>(x);
    o.y = static_cast<uint16_t>(y);
    o.pos_x = o.x << 16;
    o.pos_y = o.y << 16;
    return o;
}

struct Arena {
    RecordingPresent present;
    LocalPlayer player{};
    PlayerView view{};

    explicit Arena(bool crowded) {
        present.record = false;  // a presentation that only hands out its answers
        ClearWorldObjects();
        ClearThins();
        FreeTriggers();
        ClearLevelDefs();
        ClearWorldEffects();
        LoadSampleLevelInMemory();
        g_localPlayer = &player;
        g_playerView = &view;
        g_linkState = 1;
        player.eye_height = player.normal_eye_height = 48;
        ResetGameValues();
        SetGameValue(4, 3);
        SetGameValue(118, -1);
        GameSrand(1);
        // Far from the fight, so the monsters only see each other.
        view.x = view.y = 8000;
        view.pos_x = view.pos_y = 8000 << 16;
        view.z = 48;
        for (int n = 0; n < kMaxGenerators; ++n)
            g_level.monsterGens[n].active = g_level.effectGens[n].active = 0;
        if (!crowded)
            return;
        MakeSpells();
        // Files at x 680, 1080, 1480 and 1880 (teams 1, 2, 1, 2), a monster every 48 from y 680.
        // Team 1 casts bolts, team 2 projectiles; they hunt what they see but stand still.
        for (int i = 0; i < 100; ++i) {
            const int file = i / 25, row = i % 25, team = 1 + file % 2;
            int slot = 0;
            WorldObject& o = NewObjectAt(OBJ_MOVING, 680 + file * 400, 680 + row * 48, &slot);
            o.id = static_cast<uint32_t>(i + 1);
            CreateMonster(slot, team == 1 ? 3 : 2);
            o.team = static_cast<int16_t>(team);
            o.spell_num = static_cast<int16_t>(team == 1 ? 24 : 28);
            o.command = CMD_HUNT;
            o.demeanor = DEMEANOR_AGGRESSIVE;
            o.max_velocity = 0;
            o.speed = 0;
            o.hit_points = o.max_hits = 32767;
            ActivateObject(slot);
        }
        for (int i = 0; i < 64; ++i) {
            int slot = 0;
            WorldObject& o = NewObjectAt(OBJ_PLAYER, 1200 + (i % 8) * 40, 1200 + (i / 8) * 40, &slot);
            o.id = static_cast<uint32_t>(300 + i);
            o.width = 16;
            o.tall = 64;
            o.team = static_cast<int16_t>(1 + i % 3);
            o.speed = 60;
            o.max_velocity = 120;
            o.state_bits = static_cast<uint16_t>(i % 2 ? 17 : 33);
            o.turn_rate = 200;
            o.hit_points = o.max_hits = 32767;
            // On the floor where they stand: some stand on the stairs.
            o.z = static_cast<int16_t>(GetFloorHeight(o.x, o.y, -1000, 0));
            o.pos_z = static_cast<int32_t>(static_cast<uint32_t>(o.z) << 16);
            ActivateObject(slot);
        }
        // Warm-up: the fight starts and its spell objects fill the table.
        for (int i = 0; i < 500; ++i)
            Tick();
    }
    ~Arena() {
        FreeSpells();
        g_localPlayer = nullptr;
        g_playerView = nullptr;
    }
    void Tick() {
        GameClock += 100;
        FrameDelta = 100;
        RunArenaSimulation(player, 10, 100);
    }
};

// The objects live over the next 500 ticks, on average: what the measured ticks worked through.
void Count(benchmark::State& state, Arena& arena) {
    double live = 0, spells = 0, monsters = 0, figures = 0, bolts = 0;
    constexpr int kTicks = 500;
    for (int i = 0; i < kTicks; ++i) {
        arena.Tick();
        for (int s = 1; s < WorldObjectHighWater; ++s) {
            const WorldObject& o = WorldObjectTable[s];
            if (o.active != 1)
                continue;
            ++live;
            spells += o.type == OBJ_SPELL;
            monsters += o.type == OBJ_MOVING;
            figures += o.type == OBJ_PLAYER;
        }
        for (const WorldEffect& r : WorldEffectTable)
            bolts += r.active != 0;
    }
    state.counters["live"] = live / kTicks;
    state.counters["spell_objects"] = spells / kTicks;
    state.counters["monsters"] = monsters / kTicks;
    state.counters["figures"] = figures / kTicks;
    state.counters["bolts"] = bolts / kTicks;
}

void BM_ArenaStepFighting(benchmark::State& state) {
    Arena arena(true);
    for (auto _ : state)
        arena.Tick();
    state.counters["ticks_per_s"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                       benchmark::Counter::kIsRate);
    Count(state, arena);
}
BENCHMARK(BM_ArenaStepFighting)->Unit(benchmark::kMicrosecond);

void BM_ArenaStepEmptyLevel(benchmark::State& state) {
    Arena arena(false);
    for (auto _ : state)
        arena.Tick();
    Count(state, arena);
}
BENCHMARK(BM_ArenaStepEmptyLevel)->Unit(benchmark::kMicrosecond);

// A full object table: 500 monsters of one team packed into the rooms and 476 spell objects whose
// lives end in the next frame, each bursting over a wide square: every monster is struck by many
// bursts (each alerting its team mates), and every carried spell tries to make a projectile in a
// table with no free slot. One iteration is one such frame, the table refilled between them
// (untimed). Target (release, one core): under 10 ms a frame; worst_frame_ms is the slowest.
void BM_FullTableBurstFrame(benchmark::State& state) {
    Arena arena(false);
    MakeSpells();
    double worst = 0;
    for (auto _ : state) {
        state.PauseTiming();
        ClearWorldObjects();
        for (int i = 0; i < 500; ++i) {
            int slot = 0;
            WorldObject& o = NewObjectAt(OBJ_MOVING, 680 + (i % 25) * 24, 680 + (i / 25) * 24, &slot);
            o.id = static_cast<uint32_t>(i % 254 + 1);
            CreateMonster(slot, 3);
            o.team = 4;
            o.max_velocity = o.speed = 0;
            o.demeanor = DEMEANOR_AGGRESSIVE;
            o.trigger_range = 448;
            o.hit_points = o.max_hits = 32767;
            ActivateObject(slot);
        }
        for (int i = 0; i < 476; ++i) {
            int slot = 0;
            WorldObject& o = NewObjectAt(OBJ_SPELL, 700 + (i % 28) * 20, 700 + (i / 28) * 20, &slot);
            o.kind = 28;
            o.creator = -1;
            o.effect_radius = 400;
            o.death_spell_effect = 28;  // a projectile the burst tries to cast from each struck monster
            o.damage_dice = 2;
            o.damage_num_dice = 1;
            o.duration_timer = 1;
            ActivateObject(slot);
        }
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        arena.Tick();
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        worst = std::max(worst, ms);
    }
    state.counters["worst_frame_ms"] = worst;
}
BENCHMARK(BM_FullTableBurstFrame)->Unit(benchmark::kMillisecond)->Iterations(20);

// One pass over the 1000 slots, for scale.
void BM_SlotPass(benchmark::State& state) {
    Arena arena(true);
    for (auto _ : state) {
        int live = 0;
        for (int s = 1; s < kWorldObjectSlots; ++s)
            live += WorldObjectTable[s].active == 1;
        benchmark::DoNotOptimize(live);
    }
}
BENCHMARK(BM_SlotPass)->Unit(benchmark::kMicrosecond);

}  // namespace
