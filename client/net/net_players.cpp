#include "client/net/net_players.h"

#include <cstring>

#include "client/arena/game_clock.h"
#include "client/arena/local_player.h"
#include "client/arena/object_effects.h"
#include "client/arena/player_effects.h"
#include "client/arena/world_object.h"
#include "client/core/game_values.h"
#include "client/core/sound.h"
#include "client/net/client_tables.h"
#include "client/net/net_bodies.h"
#include "client/net/net_dispatch.h"
#include "client/net/net_handshake.h"
#include "client/net/net_screen_services.h"
#include "client/present/present_services.h"
#include "client/screens/fonts.h"
#include "client/screens/notice_lines.h"
#include "common/text.h"

const PoseShape kReceivedPoses[4] = {{0, 24, 70, 1}, {1, 24, 30, 1}, {3, 24, 70, 0}, {6, 0, 70, 1}};

namespace {

constexpr int kPlayerPanel = 11;
constexpr uint32_t kStaleMs = 30000;

uint32_t NowMs() { return GameClock / 10; }

int TeamColour(int team) { return NetScreens().TeamColorIndex(team >= 0 && team <= 3 ? team : 0); }

void ApplyPose(WorldObject& o, int poseClass) {
    const int before = o.pose;
    const PoseShape& p = kReceivedPoses[poseClass & 3];
    o.pose = p.pose;
    o.width = p.width;
    o.tall = p.tall;
    o.gravity = p.gravity;
    if (o.figure && o.name_label && o.billboard) {
        if (o.pose == 1 && before != 1)
            SetFigureBillboardHeight(o.billboard, 35);
        else if (o.pose != 1 && before == 1)
            SetFigureBillboardHeight(o.billboard, 75);
    }
}

void SetHealthBits(int index, int bits, const WorldObject& o) {
    PlayerTableEntry& e = PlayerTable[index];
    const bool changed = e.health_bits != bits;
    e.health_bits = static_cast<uint16_t>(bits);
    if (changed && GetGameValue(114) == 3 && e.team == GetGameValue(4) && o.name_label)
        SetNameTag(o.name_label, e.name, TeamColour(e.team), bits);
}

int SignedMagnitude(int value, int bits) {
    const int magnitude = value & ((1 << bits) - 1);
    return (value >> bits) & 1 ? -magnitude : magnitude;
}

// Casting and biasing: the overlay goes when the pose ends.
void SetPoseFlag(int slot, uint16_t WorldObject::*flag, int on) {
    WorldObject& o = WorldObjectTable[slot];
    const uint16_t now = on ? 1 : 0;
    if (now == o.*flag)
        return;
    o.*flag = now;
    if (!now && g_arenaHooks.removeObjectOverlay)
        g_arenaHooks.removeObjectOverlay(slot, 0);
}

}  // namespace

int PoseClass(int pose) {
    if (pose == 1)
        return 1;
    if (pose == 3 || pose == 4 || pose == 21)
        return 2;
    if (pose == 6)
        return 3;
    return 0;
}

uint8_t VerticalSpeedByte(int v) {
    if (v >= 512)
        return 127;
    if (v >= 0)
        return static_cast<uint8_t>(v / 4);
    if (v <= -512)
        return 255;
    return static_cast<uint8_t>(128 + (-v) / 4);
}

int CreatePlayerObject(const uint8_t* body, int length, int source) {
    if (source == 0) {
        NetDebug(44, "Attempt to Create Illegal Player ID=0! Name=%s", PlayerTable[0].name);
        return 0;
    }
    const int index = FindPlayerIndex(source);
    if (index <= 0) {
        NetDebug(44, "Player Update before in Table! ID=%d", source);
        RequestPlayer(source);
        return 0;
    }
    PlayerStateBody s;
    if (!DecodePlayerState(body, static_cast<size_t>(length), &s))
        return 0;
    const int slot = AllocObjectSlot(OBJ_PLAYER);
    if (slot == 0)
        return 0;
    WorldObject& o = WorldObjectTable[slot];
    const PlayerTableEntry& e = PlayerTable[index];
    o.width = 24;
    o.tall = 70;
    o.min_damage = o.max_damage = 0;
    o.damage_dice = o.damage_num_dice = o.damage_base = 0;
    o.z_speed = 0;
    o.image_timer = 0;
    o.image_timer_max = 100;
    o.death_image_timer_max = 200;
    o.gravity = 1;
    o.max_step = 32;
    o.team = static_cast<int16_t>(e.team);
    o.name_label = static_cast<uint16_t>(AllocNameTag(e.name, TeamColour(e.team)));
    // Body values 3 to 7 are no figure of ours: they take the first.
    const int body11 = s.bodyByte & 7;
    o.imagenum = static_cast<uint16_t>(body11 <= 2 ? 201 + body11 : 201);
    o.body_variant = static_cast<uint16_t>((s.bodyByte >> 3) & 3);
    o.head_variant = static_cast<uint16_t>((s.bodyByte >> 5) & 3);
    uint8_t refreshed[12];
    std::memcpy(refreshed, body, 12);
    refreshed[4] |= 0x80;  // the first state places the figure at once
    UpdatePlayerObject(refreshed, 12, slot, source);
    // A figure the world refuses (off the map, under the floor) is no figure at all.
    if (!ActivateObject(slot) || !o.active) {
        if (o.name_label)
            FreeNameTag(o.name_label);
        o.name_label = 0;
        o.active = 0;
        return 0;
    }
    if (o.figure && o.name_label)
        o.billboard = static_cast<int16_t>(CreateFigureBillboard(o.figure));
    o.last_update = NowMs();
    if (s.x & 0x4000) {
        o.dead = 1;
        PlayerTable[index].dead = 1;
        if (o.figure)
            SetFigureTint(o.figure, 50, 1, 0, 255, 255, 255);
        o.fade = 255;
        o.gravity = 0;
    }
    NetDebug(44, "Creating Player Object, Obj#%d, Name=%s ID=%d", slot, e.name, source);
    return slot;
}

void UpdatePlayerObject(const uint8_t* body, int length, int slot, int source) {
    PlayerStateBody s;
    if (slot <= 0 || slot >= kWorldObjectSlots || !DecodePlayerState(body, static_cast<size_t>(length), &s))
        return;
    WorldObject& o = WorldObjectTable[slot];
    o.speed = static_cast<int16_t>(SignedMagnitude(s.motion & 0x1FF, 8));
    ApplyPose(o, (s.motion >> 9) & 3);
    o.state_bits = static_cast<uint16_t>(((s.motion >> 11) & 1) + ((s.motion & 0x1000) ? 16 : (s.motion & 0x2000) ? 32 : 0));
    SetObjectBiasing(slot, (s.motion >> 15) & 1);
    SetObjectCasting(slot, (s.motion >> 14) & 1);
    if (s.facing & 0x1000)
        o.pose = 2;
    if (o.raised) {
        o.dead = 0;
        o.raised = 0;
    }
    const int index = FindPlayerIndex(source);
    if (index > 0) {
        const int bits = (s.height >> 12) + ((s.x & 0x2000) ? 16 : 0) + ((s.y & 0x2000) ? 32 : 0) +
                         ((s.y & 0x4000) ? 64 : 0) + ((s.y & 0x8000) ? 128 : 0);
        SetHealthBits(index, bits, o);
    }
    o.z_speed = static_cast<int16_t>((s.verticalSpeed & 127) * 4 * ((s.verticalSpeed & 128) ? -1 : 1));
    SetPlayerObjectPlace(slot, s.x & 0x1FFF, s.y & 0x1FFF, SignedMagnitude(s.height & 0xFFF, 11), s.facing & 0xFFF,
                         (s.x >> 15) & 1);
    o.acceleration = 0;
    o.max_velocity = 110;
    o.id = static_cast<uint32_t>(source);
    o.type = OBJ_PLAYER;
    o.last_update = NowMs();
    if (index > 0)
        PlayerTable[index].last_update = NowMs();
    NetDebug(44, "F_PLAYER_STATE id=%d s=%d im=%d obj=%d %d,%d,%d", source, s.facing >> 13, s.bodyByte, slot,
             (s.x & 0x1FFF) / 64, (s.y & 0x1FFF) / 64, static_cast<int>(o.z));
    if (o.name_label == 0 && index > 0) {
        o.name_label = static_cast<uint16_t>(AllocNameTag(PlayerTable[index].name, TeamColour(PlayerTable[index].team)));
        NetDebug(44, "No Name Found on Update for player #%d!", source);
        NetDebug(44, "Initting Name to %s.", PlayerTable[index].name);
    }
}

void ApplyPlayerShortState(const uint8_t* body, int length, int slot) {
    PlayerShortStateBody s;
    if (slot <= 0 || slot >= kWorldObjectSlots || !DecodePlayerShortState(body, static_cast<size_t>(length), &s))
        return;
    WorldObject& o = WorldObjectTable[slot];
    o.facing = s.facing & 0xFFF;
    ApplyPose(o, s.pose & 3);
    SetObjectBiasing(slot, (s.pose >> 6) & 1);
    SetObjectCasting(slot, (s.pose >> 7) & 1);
    const int index = FindPlayerIndex(static_cast<int>(o.id));
    if (index > 0)
        SetHealthBits(index, s.health, o);
    o.state_bits = 0;
    o.turn_rate = 0;
    o.smoothed = 0;
    o.last_update = NowMs();
    if (index > 0)
        PlayerTable[index].last_update = NowMs();
}

void SetPlayerObjectPlace(int slot, int x, int y, int z, int facing, int jump) {
    WorldObject& o = WorldObjectTable[slot];
    o.smoothed = (x != o.smooth_start[0] || y != o.smooth_start[1] || z != o.smooth_start[2]) ? 1 : 0;
    o.smooth_start[0] = o.x;
    o.smooth_start[1] = o.y;
    o.smooth_start[2] = o.z;
    o.smooth_start_facing = o.facing;
    o.smooth_time = static_cast<int16_t>(jump ? 0 : 300);
    o.facing = static_cast<uint16_t>(facing & 4095);
    o.x = static_cast<uint16_t>(x);
    o.y = static_cast<uint16_t>(y);
    o.z = static_cast<int16_t>(z);
    o.pos_x = x * 65536;
    o.pos_y = y * 65536;
    o.pos_z = z * 65536;
}

void SetObjectCasting(int slot, int on) { SetPoseFlag(slot, &WorldObject::casting, on); }

void SetObjectBiasing(int slot, int on) { SetPoseFlag(slot, &WorldObject::biasing, on); }

void OnObjectState(const uint8_t* body, int length, int slot) {
    ObjectStateBody s;
    if (slot <= 0 || slot >= kWorldObjectSlots || !DecodeObjectState(body, static_cast<size_t>(length), &s))
        return;
    WorldObject& o = WorldObjectTable[slot];
    o.smooth_start[0] = o.x;
    o.smooth_start[1] = o.y;
    o.smooth_start[2] = o.z;
    o.smooth_start_facing = o.facing;
    o.facing = s.facing & 0xFFF;
    o.speed = static_cast<int16_t>(SignedMagnitude(s.speed & 0xFFF, 11));
    o.x = s.x & 0x1FFF;
    o.y = s.y & 0x1FFF;
    o.z = static_cast<int16_t>(SignedMagnitude(s.z & 0xFFF, 11));
    o.pos_z = o.z * 65536;
    const int v = (s.speed >> 12) + ((s.facing >> 8) & 0xF0);
    o.z_speed = static_cast<int16_t>((v & 127) * 4 * ((v & 128) ? -1 : 1));
    o.pos_x = o.x * 65536;
    o.pos_y = o.y * 65536;
    o.turn_rate = 0;
    o.acceleration = 0;
    o.smooth_time = 2;
}

void CheckStalePlayer() {
    const uint32_t now = NowMs();
    bool removed = false;
    for (int i = 0; i <= PlayerTableTop; ++i) {
        PlayerTableEntry& e = PlayerTable[i];
        if (e.id == kFreeId || now - e.last_update <= kStaleMs)
            continue;
        char line[64];
        FormatText(line, sizeof line, "%s was removed from the game", e.name);
        PushNoticeLine(line);
        NetDebug(44, "CheckStalePlayer: [%d][%s] cur=%d last=%d", e.id, e.name, static_cast<int>(now),
                 static_cast<int>(e.last_update));
        const int id = e.id;
        RemovePlayerById(id);
        DestroyObjectsOfOwner(id);
        removed = true;
    }
    const int own = g_localPlayer ? g_localPlayer->own_object : 0;
    for (int slot = 1; slot < WorldObjectHighWater && slot < kWorldObjectSlots; ++slot) {
        WorldObject& o = WorldObjectTable[slot];
        if (!o.active || o.type != OBJ_PLAYER || slot == own || now - o.last_update <= kStaleMs)
            continue;
        NetDebug(44, "Player Obj#%d (Id=%d) was just removed from the game!", slot, static_cast<int>(o.id));
        RemovePlayerById(static_cast<int>(o.id));
        if (o.name_label)
            FreeNameTag(o.name_label);
        DestroyObject(slot);
        removed = true;
    }
    if (removed)
        SetPanelRedrawFlag(kPlayerPanel, 1);
}

void ShowKilledMessage(LocalPlayer* player, int killer) {
    if (player && player->dead)
        return;
    const int k = FindPlayerIndex(killer);
    char line[64];
    if (k > 0)
        FormatText(line, sizeof line, "You were killed by %s", PlayerTable[k].name);
    else
        FormatText(line, sizeof line, "You were killed");
    PushNoticeLine(line);
}

void MarkPlayerObjectDead(int id) {
    const int slot = FindPlayerObjectSlot(id);
    if (slot <= 0)
        return;
    WorldObject& o = WorldObjectTable[slot];
    ClearObjectEffects(slot);
    o.dead = 1;
    PlaySoundAt(o.x, o.y, o.imagenum == 202 ? 4 : 2, 2048);
    if (o.death_imagenum)
        SetFigureTint(o.death_imagenum, 50, 1, 0, 255, 255, 255);
    PlaceDeathObject(slot);
    o.target_player = 255;
    o.state_bits = 0;
}
