#include "client/arena/world_object.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "client/arena/ambient_sound.h"
#include "client/arena/grid_queries.h"
#include "client/arena/local_player.h"
#include "client/arena/monster_think.h"
#include "client/core/level_defs.h"
#include "client/core/numeric.h"
#include "client/present/present_services.h"
#include "client/screens/chat_buffer.h"
#include "client/screens/fonts.h"
#include "common/random.h"

WorldObject WorldObjectTable[kWorldObjectSlots];
int32_t WorldObjectHighWater = 0;
int32_t WorldObjectsLive = 0;
int32_t LiveMonsterCount[kMonsterKinds];

namespace {

bool ValidSlot(int slot) {
    return slot > 0 && slot < kWorldObjectSlots;
}

bool IsLive(const WorldObject& o) {
    return o.active == 1;
}

bool IsCountedMonster(const WorldObject& o) {
    return o.type == OBJ_MOVING && o.kind > 0 && o.kind < kMonsterKinds;
}

const char* TeamColorName(const WorldObject& o) {
    if (!o.alignment_translucent)
        return nullptr;
    switch (o.team) {
    case 1: return "Red";
    case 2: return "Yellow";
    case 3: return "Blue";
    default: return nullptr;
    }
}

bool IsPlayerBody(const WorldObject& o) {
    return (o.type == OBJ_PLAYER || o.type == OBJ_MOVING || o.type == OBJ_BODY) && o.imagenum >= 201 &&
           o.imagenum <= 203;
}

void DressPlayerBody(const WorldObject& o, int figure) {
    int v = o.body_variant > 2 ? 0 : o.body_variant;
    int body = 3 * v + (o.imagenum - 201) * 10;
    // Only the three player teams have body colours; another team would reach a neighbour's.
    if (o.team >= 1 && o.team <= 3)
        body += o.team - 1;
    SetFigureBodyTexture(figure, body);
    SetFigureHeadTexture(figure, o.head_variant + (o.imagenum - 201) * 4);
}

void PlaceNewFigure(const WorldObject& o) {
    // An object near the top of the height range must not wrap to the bottom.
    const int raised = static_cast<int>(std::min<int64_t>(o.pos_z + (static_cast<int64_t>(o.tall) << 15), INT32_MAX));
    switch (o.type) {
    case OBJ_PLAYER:
    case OBJ_MOVING:
    case OBJ_BODY:
        PlaceObjectFigure(o.figure, o.pos_x, o.pos_y, raised, o.facing, o.tilt, 0, 1,
                          GetFloorHeight(o.x, o.y, o.z, 0));
        break;
    case OBJ_SPELL:
    case OBJ_DYING:
        PlaceObjectFigure(o.figure, o.pos_x, o.pos_y, raised, o.facing, o.tilt, 1, 1, 0);
        break;
    default:
        PlaceObjectFigure(o.figure, o.pos_x, o.pos_y, o.pos_z, o.facing, o.tilt, 1, 1, 0);
        break;
    }
}

void ForgetGeneratorObject(int slot) {
    for (int i = 0; i < kMaxGenerators; ++i) {
        if (g_level.monsterGens[i].object == slot) {
            g_level.monsterGens[i].object = 0;
            PrintDebug("Mongen #%d -> Destroyed Single Object #%d", i, slot);
        }
        if (g_level.effectGens[i].object == slot)
            g_level.effectGens[i].object = 0;
    }
}

}  // namespace

int AllocObjectSlot(int type) {
    // Bursts and carried spells ask again and again while the table is full.
    if (WorldObjectsLive >= kWorldObjectSlots - 1)
        return 0;
    for (int slot = 1; slot < kWorldObjectSlots; ++slot) {
        WorldObject& o = WorldObjectTable[slot];
        if (IsLive(o))
            continue;
        std::memset(&o, 0, sizeof o);
        o.type = static_cast<uint16_t>(type);
        o.target_player = 65535;
        return slot;
    }
    return 0;
}

int AllocObjectAt(int type, int x, int y) {
    const int slot = AllocObjectSlot(type);
    if (!slot)
        return 0;
    WorldObject& o = WorldObjectTable[slot];
    o.x = static_cast<uint16_t>(x);
    o.y = static_cast<uint16_t>(y);
    o.pos_x = x << 16;
    o.pos_y = y << 16;
    return slot;
}

namespace {

int Activate(int slot) {
    if (!ValidSlot(slot))
        return 0;
    WorldObject& o = WorldObjectTable[slot];
    if (o.x >= kWorldLimit || o.y >= kWorldLimit) {
        DestroyObject(slot);
        return 0;
    }
    if (o.z < GetFloorHeight(o.x, o.y, o.z, 0))
        return 0;
    if (o.z < GetStoreySplit(o.x, o.y) && o.z + o.tall > GetCeilingHeight(o.x, o.y, o.z))
        return 0;
    if (slot >= WorldObjectHighWater)
        WorldObjectHighWater = slot + 1;
    if (!IsLive(o))
        ++WorldObjectsLive;
    o.active = 1;
    if (IsCountedMonster(o))
        ++LiveMonsterCount[o.kind];
    o.last_seen = 0;
    if (o.activation_sound)
        PlaySoundAt(o.x, o.y, o.activation_sound, o.sound_range);
    if (o.imagenum == 0 || o.no_figure)
        return 1;
    o.figure = static_cast<int16_t>(CreateFigureForObject(o.imagenum, TeamColorName(o), 0.01f));
    if (o.figure == 0)
        return 1;
    if (IsPlayerBody(o))
        DressPlayerBody(o, o.figure);
    if (const LightPattern* light = FindLightPattern(o.light_pattern); light && light->light_type == 2)
        AttachFigureLight(o.figure, light->intensity, light->distance, light->red, light->green, light->blue,
                          0);
    o.anim_word = 0;
    PlaceNewFigure(o);
    return 1;
}

}  // namespace

int ActivateObject(int slot) {
    StartCycleTimerD();
    const int live = Activate(slot);
    g_frameCycleSums.d += ElapsedCycleTimerD();
    return live;
}

void RefreshObjectFigure(int slot, bool newModel) {
    if (!ValidSlot(slot) || !IsLive(WorldObjectTable[slot]))
        return;
    WorldObject& o = WorldObjectTable[slot];
    if (o.figure == 0)
        return;
    if (newModel) {
        if (o.billboard) {
            RemoveFigureBillboard(o.billboard);
            o.billboard = 0;
        }
        RemoveObjectFigure(o.figure);
        o.figure = static_cast<int16_t>(CreateFigureForObject(o.imagenum, TeamColorName(o), 0.01f));
        if (o.figure == 0)
            return;
    }
    if (IsPlayerBody(o))
        DressPlayerBody(o, o.figure);
    if (newModel) {
        PlaceNewFigure(o);
        if (o.name_label)
            o.billboard = static_cast<int16_t>(CreateFigureBillboard(o.figure));
    }
}

void DestroyObject(int slot) {
    if (!ValidSlot(slot) || !IsLive(WorldObjectTable[slot]))
        return;
    WorldObject& o = WorldObjectTable[slot];
    if (o.name_label) {
        FreeNameTag(o.name_label);
        o.name_label = 0;
    }
    if (IsCountedMonster(o) && LiveMonsterCount[o.kind] > 0)
        --LiveMonsterCount[o.kind];
    o.active = 0;
    --WorldObjectsLive;
    int high = 0;
    for (int s = WorldObjectHighWater - 1; s > 0; --s) {
        if (IsLive(WorldObjectTable[s])) {
            high = s + 1;
            break;
        }
    }
    WorldObjectHighWater = high;
    ForgetGeneratorObject(slot);
    for (void*& buffer : o.buffers) {
        std::free(buffer);
        buffer = nullptr;
    }
    if (o.billboard) {
        RemoveFigureBillboard(o.billboard);
        o.billboard = 0;
    }
    if (o.figure) {
        RemoveObjectFigure(o.figure);
        o.figure = 0;
    }
    if (o.map_node) {
        RemoveObjectMapNode(o.map_node);
        o.map_node = 0;
    }
}

void KillObject(int slot) {
    if (!ValidSlot(slot))
        return;
    WorldObject& o = WorldObjectTable[slot];
    if (g_localPlayer && slot == g_localPlayer->own_object)
        PrintMessage(MSG_SYSTEM, "effectgen -> Destroyed Single Object", 44, 0);
    if (o.type == OBJ_MOVING && o.figure) {
        o.speed = 0;
        o.turn_rate = 0;
        o.z_speed = 0;
        o.tall = 0;
        o.type = OBJ_BODY;
        o.pose = 11;
        o.id = 0;
        o.duration_timer = 10000;
        // A body is no longer a live monster of its kind.
        if (o.kind > 0 && o.kind < kMonsterKinds && LiveMonsterCount[o.kind] > 0)
            --LiveMonsterCount[o.kind];
        return;
    }
    if (o.type != OBJ_DYING && o.death_imagenum) {
        o.type = OBJ_DYING;
        o.imagenum = o.death_imagenum;
        o.image_cycles = -1;
        o.image_timer_max = static_cast<int16_t>(o.death_image_timer_max);
        o.image_timer = 0;
        o.rune_type = 0;
        o.id = 0;
        o.speed = 0;
        o.acceleration = 0;
        o.duration_timer = 0;
        if (o.figure) {
            RemoveObjectFigure(o.figure);
            o.figure = static_cast<int16_t>(CreateFigureForObject(o.imagenum, nullptr, 0.01f));
            if (o.figure)
                PlaceNewFigure(o);
        }
        return;
    }
    DestroyObject(slot);
}

int NewMonsterId() {
    for (int id = 1; id < 255; ++id) {
        bool taken = false;
        for (int s = 1; s < WorldObjectHighWater && !taken; ++s) {
            const WorldObject& o = WorldObjectTable[s];
            taken = IsLive(o) && o.type == OBJ_MOVING && o.id == static_cast<uint32_t>(id);
        }
        if (!taken)
            return id;
    }
    return 0;
}

int FindMonsterSlotById(int id) {
    for (int s = 1; s < WorldObjectHighWater; ++s) {
        const WorldObject& o = WorldObjectTable[s];
        if (IsLive(o) && o.type == OBJ_MOVING && o.id == static_cast<uint32_t>(id))
            return s;
    }
    return 0;
}

int RollPowerDrain(int slot) {
    if (!ValidSlot(slot))
        return 0;
    const WorldObject& o = WorldObjectTable[slot];
    if (o.max_power_drain <= o.min_power_drain)
        return o.max_power_drain;
    return o.min_power_drain + GameRand() % (o.max_power_drain - o.min_power_drain);
}

void InitObjectFromOlist(int slot, int entry) {
    if (!ValidSlot(slot) || entry <= 0 || entry >= kMaxOlist)
        return;
    const uint16_t* e = g_level.olist[entry];
    WorldObject& o = WorldObjectTable[slot];
    o.type = e[0];
    o.kind = e[1];
    o.imagenum = e[2];
    o.max_velocity = static_cast<int16_t>(e[3]);
    o.image_timer_max = static_cast<int16_t>(e[4]);
    o.width = e[5];
    o.tall = e[6];
    o.hit_points = o.max_hits = static_cast<int16_t>(e[7]);
    o.translucent = e[8];
    o.z = static_cast<int16_t>(e[9]);
    o.gravity = e[10];
    o.light_pattern = e[11];
    o.max_flicker = e[12];
    o.light_glow = e[13];
    o.duration_timer = e[14];
    o.sound = e[15];
    o.sound_range = static_cast<int16_t>(e[16]);
    o.object_trigger = e[17];
    o.activation_sound = e[20];
    o.death_image_timer_max = 200;
    o.command = 0;
    o.team = 0;
    o.fade = 0;
    o.image_cycles = 0;
    o.image_frame = 0;
    o.trans_color = 0;
    o.image_timer = 0;
    o.death_imagenum = 0;
}

void CreateStaticObject(int slot, int entry) {
    if (!ValidSlot(slot))
        return;
    WorldObject& o = WorldObjectTable[slot];
    PrintDebug("Creating Static: OList=%d IdNum=%u, Onum=%d\n", entry, o.id, slot);
    o.kind = static_cast<uint16_t>(entry);
    o.speed = 0;
    o.z_speed = 0;
    o.turn_rate = 0;
    o.acceleration = 0;
    o.z = static_cast<int16_t>(o.z + GetFloorHeight(o.x, o.y, -1000, 0));
    o.pos_z = static_cast<int32_t>(static_cast<uint32_t>(o.z) << 16);
}

void InitObjectType5(int slot, int kind) {
    if (!ValidSlot(slot))
        return;
    WorldObject& o = WorldObjectTable[slot];
    o.kind = static_cast<uint16_t>(kind);
    o.imagenum = 0;
    o.death_imagenum = 0;
    o.width = 8;
    o.tall = 16;
    o.image_timer_max = 200;
    o.image_timer = 0;
    o.image_cycles = 0;
    o.gravity = 1;
    o.light_pattern = 0;
    o.max_flicker = 0;
    o.light_glow = 0;
    o.duration_timer = 0;
    o.trans_color = 0;
    o.effect_radius = 0;
}

int FindPlayerObjectSlot(int id) {
    for (int s = 0; s < WorldObjectHighWater; ++s) {
        const WorldObject& o = WorldObjectTable[s];
        if (o.active && o.id == static_cast<uint32_t>(id) && o.type == OBJ_PLAYER)
            return s;
    }
    return -1;
}

int FindWorldObjectSlot(int id) {
    for (int s = 0; s < WorldObjectHighWater; ++s) {
        const WorldObject& o = WorldObjectTable[s];
        if (o.active && o.id == static_cast<uint32_t>(id) && o.type != OBJ_PLAYER && o.type != OBJ_BODY)
            return s;
    }
    return -1;
}

int NewObjectId() {
    for (int tries = 0; tries < 20; ++tries) {
        int id = GameRand() % 3072 + 1024;
        bool taken = false;
        for (int s = 0; s < WorldObjectHighWater && !taken; ++s)
            taken = WorldObjectTable[s].active && WorldObjectTable[s].id == static_cast<uint32_t>(id);
        if (!taken)
            return id;
    }
    return 0;
}

void SetShrineState(int shrine, int team, int power, int weight) {
    if (shrine < 0 || shrine >= kMaxShrines)
        return;
    ShrineDef& s = g_level.shrines[shrine];
    s.alignment = team;
    int slot = s.object;
    if (ValidSlot(slot) && IsLive(WorldObjectTable[slot])) {
        WorldObject& o = WorldObjectTable[slot];
        o.team = static_cast<int16_t>(team == 0 || power == 0 ? 4 : team);
        int period = (100 - power) * 1000 / 100;
        o.image_timer_max = static_cast<int16_t>(period < 100 ? 100 : period);
        o.light_glow = static_cast<uint16_t>(power * 20 / 100);
    }
    s.bias = power < 0 ? 0 : power > 100 ? 100 : power;
    s.weight = weight < 0 ? 0 : weight > 100 ? 100 : weight;
}

void ClearWorldObjects() {
    for (int s = 0; s < kWorldObjectSlots; ++s)
        DestroyObject(s);
    std::memset(WorldObjectTable, 0, sizeof WorldObjectTable);
    std::memset(LiveMonsterCount, 0, sizeof LiveMonsterCount);
    WorldObjectsLive = 0;
    WorldObjectHighWater = 1;
    ForgetAllyAlerts();
}
