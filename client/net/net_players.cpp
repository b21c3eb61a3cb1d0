#include "client/net/net_players.h"

#include <algorithm>
#include <cstring>

#include "client/arena/ambient_sound.h"
#include "client/arena/local_player.h"
#include "client/arena/object_effects.h"
#include "client/arena/object_hits.h"
#include "client/arena/player_effects.h"
#include "client/arena/player_status.h"
#include "client/arena/player_view.h"
#include "client/arena/world_object.h"
#include "client/core/game_clock.h"
#include "client/core/game_values.h"
#include "client/net/client_tables.h"
#include "client/net/net_bodies.h"
#include "client/net/net_catalogue.h"
#include "client/net/net_dispatch.h"
#include "client/net/net_handshake.h"
#include "client/net/net_match.h"
#include "client/net/net_rings.h"
#include "client/present/present_services.h"
#include "client/screens/character_rules.h"
#include "client/screens/fonts.h"
#include "client/screens/notice_lines.h"
#include "common/text.h"

const PoseShape kReceivedPoses[4] = {{0, 24, 70, 1}, {1, 24, 30, 1}, {3, 24, 70, 0}, {6, 0, 70, 1}};

namespace {

struct LastSent {
    int figure, x, y, z, facing;
    int sequence;
};
LastSent lastSent{};

constexpr int kPlayerPanel = 11;
constexpr uint32_t kStaleMs = 30000;

uint32_t NowMs() { return GameClock / 10; }

int TeamColour(int team) { return TeamColorIndex(team); }

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
    if (!now)
        RemoveObjectOverlay(slot, 0);
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
    o.imagenum = static_cast<uint16_t>(201 + (s.bodyByte & 7));
    o.body_variant = static_cast<uint16_t>((s.bodyByte >> 3) & 3);
    o.head_variant = static_cast<uint16_t>((s.bodyByte >> 5) & 3);
    ClampPlayerFigure(slot);
    uint8_t refreshed[12];
    std::memcpy(refreshed, body, 12);
    refreshed[4] |= 0x80;  // the first state places the figure at once
    UpdatePlayerObject(refreshed, 12, slot, source);
    // A figure the world refuses (off the map, under the floor) is no figure at all.
    if (!ActivateObject(slot) || !o.active) {
        DestroyObject(slot);  // a slot that stayed live from an earlier state is freed, and counted
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
    o.pos_x = static_cast<int32_t>(static_cast<uint32_t>(x) << 16);
    o.pos_y = static_cast<int32_t>(static_cast<uint32_t>(y) << 16);
    o.pos_z = static_cast<int32_t>(static_cast<uint32_t>(z) << 16);
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

void ResetPlayerObjects(const LocalPlayer* player) {
    const int own = player ? player->own_object : 0;
    for (int s = 1; s < WorldObjectHighWater && s < kWorldObjectSlots; ++s)
        if (s != own && WorldObjectTable[s].active == 1 && WorldObjectTable[s].type == OBJ_PLAYER)
            DestroyObject(s);
}

void MarkPlayerObjectDead(int id) {
    const int slot = FindPlayerObjectSlot(id);
    if (slot <= 0)
        return;
    WorldObject& o = WorldObjectTable[slot];
    ClearObjectEffects(slot);
    o.dead = 1;
    PlaySoundAt(o.x, o.y, ObjectKindFactor(o.imagenum), 2048);
    // The figure greys as it does for a player that arrives dead, until it is raised.
    if (o.figure)
        SetFigureTint(o.figure, 50, 1, 0, 255, 255, 255);
    PlaceDeathObject(slot);
    o.target_player = 255;
    o.state_bits = 0;
}

void PackPlayerState(const OwnState& s, uint8_t out[12]) {
    const int speed = s.speed < 0 ? (256 | ((-s.speed) & 0xFF)) : (s.speed & 0xFF);
    const int motion = speed | (s.poseClass & 3) << 9 | (s.directionFlags ? 1 << 11 : 0) |
                       (s.forward ? 1 << 12 : s.backward ? 1 << 13 : 0) | (s.casting ? 1 << 14 : 0) |
                       (s.biasing ? 1 << 15 : 0);
    const int d = s.heightDifference;
    const int height = ((d < 0 ? -d : d) & 0x7FF) | (d < 0 ? 0x800 : 0) | (s.health & 15) << 12;
    const int x = (s.x & 0x1FFF) | (s.effect4 ? 0x2000 : 0) | (s.dead ? 0x4000 : 0) | (s.refresh ? 0x8000 : 0);
    const int y = (s.y & 0x1FFF) | (s.effect26 ? 0x2000 : 0) | (s.effect27 ? 0x4000 : 0) | (s.effectGroup ? 0x8000 : 0);
    const int facing = (s.facing & 0xFFF) | (s.localPose2 ? 0x1000 : 0) | (s.sequence & 7) << 13;
    const int words[5] = {motion, height, x, y, facing};
    for (int k = 0; k < 5; ++k) {
        out[2 * k] = static_cast<uint8_t>(words[k] >> 8);
        out[2 * k + 1] = static_cast<uint8_t>(words[k]);
    }
    out[10] = VerticalSpeedByte(s.verticalSpeed);
    out[11] = static_cast<uint8_t>(s.bodyByte);
}

OwnState ReadOwnState(const LocalPlayer& player, int sequence, int refresh) {
    OwnState s{};
    const PlayerView* v = g_playerView;
    s.speed = v ? v->speed : 0;
    s.poseClass = PoseClass(player.mode);
    s.directionFlags = player.strafe_bits != 0;
    s.forward = v && v->speed > 0;
    s.backward = v && v->speed < 0;
    s.casting = IsCasting();
    s.biasing = IsBiasing();
    s.heightDifference = v ? v->z - player.eye_height : 0;
    const int maxHits = GetMaxHitPoints();
    s.health = maxHits > 0 ? std::min(15, GetGameValue(107) * 16 / maxHits) : 0;
    s.x = v ? v->x : 0;
    s.y = v ? v->y : 0;
    s.effect4 = GetActiveEffect(player, 4, 0) != 0;
    s.dead = player.dead != 0;
    s.refresh = refresh;
    s.effect26 = GetActiveEffect(player, 26, 0) != 0;
    s.effect27 = GetActiveEffect(player, 27, 0) != 0;
    for (int e : {5, 22, 11, 34, 30})
        s.effectGroup |= GetActiveEffect(player, e, 0) != 0;
    s.facing = v ? v->facing : 0;
    s.localPose2 = player.mode == 2;
    s.sequence = sequence;
    s.verticalSpeed = v ? v->z_speed : 0;
    s.bodyByte = (player.figure_imagenum & 7) | (player.body_variant & 3) << 3 | (player.head_variant & 3) << 5;
    return s;
}

void SendPlayerState(LocalPlayer* player, int sequence, int refresh) {
    if (!player || g_linkState != 2)
        return;
    uint8_t body[12];
    PackPlayerState(ReadOwnState(*player, sequence, refresh), body);
    NetDebug(44, "Send F_PLAYER_STATE");
    SendPacket(body, F_PLAYER_STATE, 12, 0, kDestinationAll);
}

void SendPlayerShortState(LocalPlayer* player, int sequence) {
    if (!player || g_linkState != 2)
        return;
    const OwnState s = ReadOwnState(*player, sequence, 0);
    PlayerShortStateBody b{};
    b.facing = static_cast<uint16_t>(g_playerView ? g_playerView->facing : 0);
    b.health = static_cast<uint8_t>((s.health & 15) | (s.effect4 ? 16 : 0) | (s.effect26 ? 32 : 0) |
                                    (s.effect27 ? 64 : 0) | (s.effectGroup ? 128 : 0));
    b.sequence = static_cast<uint8_t>(sequence);
    b.pose = static_cast<uint8_t>(s.poseClass | (s.biasing ? 64 : 0) | (s.casting ? 128 : 0));
    uint8_t body[8];
    EncodePlayerShortState(b, body);
    NetDebug(44, "Send F_PLAYER_SHORT_STATE");
    SendPacket(body, F_PLAYER_SHORT_STATE, 8, 0, kDestinationAll);
}

void SendPlayerStateIfChanged(LocalPlayer* player) {
    if (!player || !g_playerView)
        return;
    const PlayerView& v = *g_playerView;
    const int z = v.z - player->eye_height;
    const int s = lastSent.sequence;
    const bool placeSame = lastSent.figure == player->figure_imagenum && lastSent.x == v.x && lastSent.y == v.y &&
                           lastSent.z == z;
    if (s != 0 && placeSame) {
        if (lastSent.facing != v.facing)
            SendPlayerShortState(player, s);
    } else {
        SendPlayerState(player, s, 0);
    }
    lastSent = {player->figure_imagenum, v.x, v.y, z, v.facing, (s + 1) & 7};
}

void ResetOwnStateSent() { lastSent = LastSent{}; }

void SendPlayerVitals() {
    if (!g_localPlayer || g_linkState != 2)
        return;
    const LocalPlayer& p = *g_localPlayer;
    PlayerVitalsBody v{};
    v.word = static_cast<uint16_t>(GetGameValue(105));
    v.deaths = static_cast<uint8_t>(p.deaths);
    v.kills = static_cast<uint8_t>(p.kills);
    v.raises = static_cast<uint8_t>(p.raises);
    v.hits = static_cast<uint8_t>(GetGameValue(107) / 100);
    v.ping = static_cast<uint8_t>(std::clamp<uint32_t>(Ping.pingTime / 100, 0, 255));
    v.biases = static_cast<uint8_t>(p.biases / 100);
    uint8_t body[8];
    EncodePlayerVitals(v, body);
    SendPacket(body, F_PLAYER_VITALS, 8, 0, kDestinationAll);
}
