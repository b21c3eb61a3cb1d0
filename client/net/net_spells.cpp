#include "client/net/net_spells.h"

#include <cstring>

#include "client/arena/ambient_sound.h"
#include "client/arena/grid_queries.h"
#include "client/arena/line_tests.h"
#include "client/arena/local_player.h"
#include "client/arena/monster.h"
#include "client/arena/object_effects.h"
#include "client/arena/player_effects.h"
#include "client/arena/player_status.h"
#include "client/arena/player_view.h"
#include "client/arena/spell.h"
#include "client/arena/spell_objects.h"
#include "client/arena/thin.h"
#include "client/arena/trigger.h"
#include "client/arena/world_effects.h"
#include "client/arena/world_object.h"
#include "client/core/game_clock.h"
#include "client/core/game_values.h"
#include "client/core/level_defs.h"
#include "client/core/sound.h"
#include "client/core/trig_tables.h"
#include "client/net/client_tables.h"
#include "client/net/net_bodies.h"
#include "client/net/net_catalogue.h"
#include "client/net/net_dispatch.h"
#include "client/net/net_players.h"
#include "client/net/net_rings.h"
#include "client/screens/notice_lines.h"
#include "common/random.h"
#include "common/text.h"

namespace {

constexpr int kLastElement = 10;  // elements 0 none .. 10 mind

bool Connected() { return g_linkState == 2; }
int OwnId() { return GetGameValue(118) & 0xFFFF; }

// Casts and objects come from places on the grid; any other place is no cast.
bool OnGrid(int x, int y) { return x >= 0 && x < 8192 && y >= 0 && y < 8192; }
// A height no level reaches would overflow the 16.16 positions of what is made there.
bool OnGrid(int x, int y, int z) { return OnGrid(x, y) && z >= -16384 && z < 16384; }

bool LiveObject(int slot) {
    return slot > 0 && slot < kWorldObjectSlots && slot < WorldObjectHighWater && WorldObjectTable[slot].active == 1;
}

// A spell of the number and type, else null.
template <typename T>
T* SpellOfType(int number, int type) {
    CSpell* s = ReceivedSpell(number);
    return s && s->type == type ? static_cast<T*>(s) : nullptr;
}

// The spell a spell names as its creation effect (0 none).
int CreationEffect(const CSpell& s) {
    switch (s.type) {
        case SPELL_PROJ: return static_cast<const CSpellProj&>(s).creation_effect;
        case SPELL_EFFECT: return static_cast<const CSpellEffect&>(s).creation_effect;
        case SPELL_BOLT: return static_cast<const CSpellBolt&>(s).creation_effect;
        case SPELL_TARGET: return static_cast<const CSpellTarget&>(s).creation_effect;
        default: return 0;
    }
}

void SendCast(int code, const SpellCastBody& c, int destination) {
    uint8_t body[20];
    const size_t n = EncodeSpellCast(code, c, body);
    SendPacket(body, code, static_cast<int>(n), 0, destination);
}

}  // namespace

CSpell* ReceivedSpell(int number) { return number >= 1 && number < kSpellTableSize ? GetSpell(number) : nullptr; }

const char* PlayerName(int id) {
    const int i = FindPlayerIndex(id);
    return i > 0 ? PlayerTable[i].name : "";
}

void PushNotice(const char* format, const char* a, const char* b) {
    char line[96];
    FormatText(line, sizeof line, format, a, b);
    PushNoticeLine(line);
}

void MoveViewTo(int x, int y, int z) {
    if (!g_playerView)
        return;
    PlayerView& v = *g_playerView;
    v.x = x;
    v.y = y;
    v.pos_x = x << 16;
    v.pos_y = y << 16;
    v.z = v.unused = GetStandHeight(x, y, z);
}

void MoveViewToFigure(int figure) {
    const WorldObject& o = WorldObjectTable[figure];
    MoveViewTo(o.x, o.y, o.z + 32);
}

int KnownPlayerFigure(int id) {
    if (!IsKnownPlayer(id))
        return 0;
    const int slot = FindPlayerObjectSlot(id);
    return slot > 0 ? slot : 0;
}

// ---- Senders ---------------------------------------------------------------------------------

void SendCreateObject(int slot) {
    if (!Connected() || slot <= 0 || slot >= kWorldObjectSlots)
        return;
    const WorldObject& o = WorldObjectTable[slot];
    CreateObjectBody c{};
    c.speed = o.speed;
    c.facing = o.facing;
    c.x = o.x;
    c.y = o.y;
    c.z = static_cast<uint16_t>(o.z);
    c.id = static_cast<uint16_t>(o.id);
    c.creator = o.creator;
    c.kind = o.kind;
    c.zSpeed = static_cast<int8_t>(o.z_speed / 8);
    c.type = static_cast<uint8_t>(o.type);
    c.team = static_cast<uint8_t>(o.team);
    c.duration = static_cast<uint8_t>(o.duration_timer / 1000);
    uint8_t body[20];
    EncodeCreateObject(c, body);
    SendPacket(body, F_CREATE_OBJECT, 20, 0, 0);
}

void SendCreateEffect(int record) {
    if (!Connected() || record < 0 || record >= kWorldEffects)
        return;
    const WorldEffect& r = WorldEffectTable[record];
    CreateEffectBody c{};
    c.kind = static_cast<uint8_t>(r.kind);
    c.targetType = 0;
    c.target = 65535;
    if (r.target_kind == LINE_OBJECT && r.target > 0 && r.target < WorldObjectHighWater &&
        r.target < kWorldObjectSlots) {
        const WorldObject& t = WorldObjectTable[r.target];
        c.targetType = t.type == OBJ_PLAYER ? 4 : 2;
        c.target = static_cast<uint16_t>(t.id);
    }
    c.source = static_cast<uint16_t>(r.zero_word);
    c.range = static_cast<uint16_t>(r.range);
    c.facing = static_cast<uint16_t>(r.facing);
    c.startX = static_cast<uint16_t>(r.start_x);
    c.startY = static_cast<uint16_t>(r.start_y);
    c.startZ = static_cast<int16_t>(r.start_z);
    c.targetX = static_cast<uint16_t>(r.target_x);
    c.targetY = static_cast<uint16_t>(r.target_y);
    c.targetZ = static_cast<int16_t>(r.target_z);
    c.caster = static_cast<uint8_t>(r.caster_id);
    c.casterTeam = static_cast<uint8_t>(r.team);
    c.element = static_cast<uint8_t>(r.element);
    c.skill = static_cast<uint8_t>(r.skill);
    const auto* bolt = SpellOfType<CSpellBolt>(r.spell, SPELL_BOLT);
    c.flightTime = static_cast<uint16_t>(bolt && bolt->range > 0 ? bolt->max_timer * r.range / bolt->range : 0);
    c.spell = static_cast<uint16_t>(r.spell);
    uint8_t body[32];
    EncodeCreateEffect(c, body);
    NetDebug(44, "Send F_CREATE_EFFECT: tar=%d tt=%d whi=%d src=%d", c.target, c.targetType, c.spell, c.source);
    SendPacket(body, F_CREATE_EFFECT, 32, 0, 0);
}

void SendCreateProjectile(int spell, int x, int y, int z, int facing, int pitch, int skill, int verticalOffset) {
    if (!Connected())
        return;
    SpellCastBody c{};
    const int w[5] = {spell, x, y, z, facing};
    for (int k = 0; k < 5; ++k)
        c.w[k] = static_cast<uint16_t>(w[k]);
    c.bytes[0] = static_cast<uint8_t>(pitch);
    c.bytes[1] = static_cast<uint8_t>(skill);
    c.bytes[2] = static_cast<uint8_t>(verticalOffset);
    SendCast(F_CREATE_PROJECTILE, c, kDestinationAll);
}

void SendCreateRune(int spell, int id, int x, int y, int z, int facing, int team) {
    if (!Connected())
        return;
    SpellCastBody c{};
    const int w[7] = {spell, id, x, y, z, facing, OwnId()};
    for (int k = 0; k < 7; ++k)
        c.w[k] = static_cast<uint16_t>(w[k]);
    c.bytes[0] = static_cast<uint8_t>(team);
    SendCast(F_CREATE_RUNE, c, kDestinationAll);
}

void SendCastWall(int spell, int id, int x, int y, int z, int facing, int team) {
    if (!Connected())
        return;
    SpellCastBody c{};
    const int w[8] = {spell, id, x, y, z, facing, OwnId(), team};
    for (int k = 0; k < 8; ++k)
        c.w[k] = static_cast<uint16_t>(w[k]);
    SendCast(F_CAST_WALL, c, kDestinationAll);
}

void SendDispell() {
    const auto* spell = SpellOfType<CSpellDispell>(GetGameValue(115), SPELL_DISPELL);
    if (!Connected() || !spell || !g_playerView)
        return;
    const PlayerView& v = *g_playerView;
    SpellCastBody c{};
    const int w[7] = {v.x, v.y, v.z, v.facing, spell->level, spell->range, spell->spell_number};
    for (int k = 0; k < 7; ++k)
        c.w[k] = static_cast<uint16_t>(w[k]);
    c.bytes[0] = static_cast<uint8_t>(spell->dispell_type);
    NetDebug(44, "Sending F_DISPELL.");
    SendCast(F_DISPELL, c, kDestinationAll);
}

void SendTargetted(int targetSlot, int resist) {
    const auto* spell = SpellOfType<CSpellTarget>(GetGameValue(115), SPELL_TARGET);
    if (!Connected() || !spell)
        return;
    const int target = targetSlot > 0 && targetSlot < kWorldObjectSlots &&
                               WorldObjectTable[targetSlot].type == OBJ_PLAYER
                           ? static_cast<int>(WorldObjectTable[targetSlot].id)
                           : 0;
    const int casterEffect = ReceivedSpell(spell->caster_spell_effect) ? spell->caster_spell_effect : 0;
    const int targetEffect = ReceivedSpell(spell->target_spell_effect) ? spell->target_spell_effect : 0;
    SpellCastBody c{};
    const int w[6] = {spell->spell_number, spell->range, OwnId(), target, casterEffect, targetEffect};
    for (int k = 0; k < 6; ++k)
        c.w[k] = static_cast<uint16_t>(w[k]);
    c.bytes[0] = static_cast<uint8_t>(resist);
    NetDebug(44, "Sending F_TARGETTED: target=%d caster=%d", target, OwnId());
    SendCast(F_TARGETTED, c, kDestinationAll);
}

void SendTeleport(int targetId, int kind) {
    if (!Connected())
        return;
    TwoIdBody t{};
    t.first = static_cast<uint16_t>(OwnId());
    t.second = static_cast<uint16_t>(targetId);
    t.byte4 = static_cast<uint8_t>(kind);
    uint8_t body[8];
    EncodeTwoIdBody(t, body, 8);
    NetDebug(44, "Sending F_TELEPORT: target=%d caster=%d", targetId, OwnId());
    SendPacket(body, F_TELEPORT, 8, 0, 0);
}

void SendThinDamage(int thinSlot, int damage) {
    if (!Connected() || thinSlot <= 0 || thinSlot >= kThinSlots)
        return;
    ThinDamageBody d{static_cast<uint32_t>(ThinTable[thinSlot].id), static_cast<uint16_t>(damage), 0};
    uint8_t body[8];
    EncodeThinDamage(F_THIN_DAMAGE, d, body);
    SendPacket(body, F_THIN_DAMAGE, 8, 0, 0);
}

void SendOpenDoor(int trigger, int state) {
    if (!Connected())
        return;
    ThinDamageBody d{static_cast<uint32_t>(trigger), 0, static_cast<uint8_t>(state)};
    uint8_t body[8];
    EncodeThinDamage(F_OPEN_DOOR, d, body);
    SendPacket(body, F_OPEN_DOOR, 8, 0, kDestinationAll);
}

// ---- Handlers --------------------------------------------------------------------------------

void OnCreateObject(const uint8_t* body, int length) {
    CreateObjectBody c;
    if (!DecodeCreateObject(body, static_cast<size_t>(length), &c))
        return;
    const int type = c.type;
    NetDebug(44, "F_CREATE_OBJECT: Id=%d Typ=%d Which=%d", c.id, type, c.kind);
    // Only the kinds of object the service may place; a kind must name an entry of its table.
    bool known = false;
    switch (type) {
        case OBJ_STATIC: known = c.kind >= 1 && c.kind < kMaxOlist; break;
        case OBJ_SPELL:
        case OBJ_DYING: known = ReceivedSpell(c.kind) != nullptr; break;
        case OBJ_MOVING: known = c.kind >= 1 && c.kind < kMonsterKinds; break;
        case OBJ_SERVICE: known = true; break;
        default: break;
    }
    if (!known || !OnGrid(c.x, c.y, static_cast<int16_t>(c.z)))
        return;
    const int old = FindWorldObjectSlot(c.id);
    if (LiveObject(old) && type != OBJ_SPELL) {
        NetDebug(44, "Create Object Already Existant!: Id=%d Obj=%d", c.id, old);
        DestroyObject(old);
    }
    const int slot = AllocObjectSlot(type);
    if (!slot)
        return;
    WorldObject& o = WorldObjectTable[slot];
    if (type == OBJ_STATIC)
        InitObjectFromOlist(slot, c.kind);
    o.x = c.x;
    o.y = c.y;
    o.pos_x = c.x << 16;
    o.pos_y = c.y << 16;
    o.id = c.id;
    o.team = c.team;
    switch (type) {
        case OBJ_SPELL:
        case OBJ_DYING: Init_Spell_Object(slot, c.kind); break;
        case OBJ_MOVING: CreateMonster(slot, c.kind); break;
        case OBJ_STATIC: CreateStaticObject(slot, c.kind); break;
        case OBJ_SERVICE: InitObjectType5(slot, c.kind); break;
        default: break;
    }
    o.team = c.team;
    o.facing = static_cast<uint16_t>(c.facing & kAngleMask);
    o.id = c.id;
    o.speed = c.speed;
    o.z = static_cast<int16_t>(c.z);
    o.pos_z = static_cast<int32_t>(static_cast<uint32_t>(static_cast<int16_t>(c.z)) << 16);
    o.z_speed = static_cast<int16_t>(c.zSpeed * 8);
    o.turn_rate = 0;
    o.acceleration = 0;
    o.max_velocity = o.speed;
    o.creator = c.creator;
    o.duration_timer = c.duration * 1000;
    ActivateObject(slot);
}

void OnCreateProjectile(const uint8_t* body, int length, int source) {
    SpellCastBody c;
    if (!DecodeSpellCast(F_CREATE_PROJECTILE, body, static_cast<size_t>(length), &c))
        return;
    NetDebug(44, "F_CREATE_PROJECTILE");
    const CSpell* spell = ReceivedSpell(c.w[0]);
    const int x = c.w[1], y = c.w[2], z = static_cast<int16_t>(c.w[3]), facing = c.w[4] & kAngleMask;
    if (!OnGrid(x, y, z))
        return;
    if (const int figure = KnownPlayerFigure(source)) {
        SetPlayerObjectPlace(figure, x, y, z, facing, 0);
        SetObjectCasting(figure, 1);
        if (spell)
            PlaySoundAt(WorldObjectTable[figure].x, WorldObjectTable[figure].y, spell->cast_sound, 256);
    }
    if (!spell)
        return;
    const int i = FindPlayerIndex(source);
    const int team = i > 0 ? PlayerTable[i].team : 0;
    CreateProjectiles(c.w[0], x, y, z, facing, static_cast<int8_t>(c.bytes[0]), c.bytes[1],
                      static_cast<int8_t>(c.bytes[2]), team, source);
}

void OnCreateRune(const uint8_t* body, int length) {
    SpellCastBody c;
    if (!DecodeSpellCast(F_CREATE_RUNE, body, static_cast<size_t>(length), &c))
        return;
    NetDebug(44, "F_CREATE_RUNE");
    // Our own rune, echoed back, is here already.
    if (c.w[6] == OwnId() || !ReceivedSpell(c.w[0]) || !OnGrid(c.w[2], c.w[3], static_cast<int16_t>(c.w[4])))
        return;
    CreateRune(c.w[0], c.w[1], c.w[2], c.w[3], static_cast<int16_t>(c.w[4]), c.w[5] & kAngleMask, c.bytes[0],
               c.w[6]);
}

void OnCastWall(const uint8_t* body, int length) {
    SpellCastBody c;
    if (!DecodeSpellCast(F_CAST_WALL, body, static_cast<size_t>(length), &c))
        return;
    NetDebug(44, "F_CAST_WALL: id=%d creator=%d", c.w[1], c.w[6]);
    // Our own wall, echoed back, stands already.
    if (c.w[6] == OwnId() || !ReceivedSpell(c.w[0]) || !OnGrid(c.w[2], c.w[3], static_cast<int16_t>(c.w[4])))
        return;
    CreateSpellWall(c.w[0], c.w[1], c.w[2], c.w[3], static_cast<int16_t>(c.w[4]), c.w[5] & kAngleMask, c.w[7], c.w[6]);
}

void OnCreateEffect(const uint8_t* body, int length) {
    CreateEffectBody c;
    if (!DecodeCreateEffect(body, static_cast<size_t>(length), &c))
        return;
    if (c.spell == 0) {
        NetDebug(44, "RCV_CREATE_EFFECT attempting to create null spell!\n");
        return;
    }
    // Only a bolt the spell table holds, from and to places on the grid.
    if (!ReceivedSpell(c.spell) || !OnGrid(c.startX, c.startY, c.startZ) || !OnGrid(c.targetX, c.targetY, c.targetZ))
        return;
    int i = 0;
    while (i < kWorldEffects && WorldEffectTable[i].active)
        ++i;
    if (i == kWorldEffects)
        return;
    WorldEffect& r = WorldEffectTable[i];
    r = WorldEffect{};
    r.active = 1;
    r.kind = c.kind;
    r.spell = c.spell;
    r.zero_word = c.source;  // the source, as the bolt's debug lines show it
    r.target = 65535;
    r.target_kind = LINE_NOTHING;
    if (c.targetType == 4) {
        const int slot = FindPlayerObjectSlot(c.target);
        if (c.target == OwnId()) {
            r.target = 0;
            r.target_kind = LINE_PLAYER;
        } else if (LiveObject(slot)) {
            r.target = slot;
            r.target_kind = LINE_OBJECT;
        }
    } else if (c.targetType == 2) {
        const int slot = FindWorldObjectSlot(c.target);
        if (LiveObject(slot) && WorldObjectTable[slot].type == OBJ_MOVING) {
            r.target = slot;
            r.target_kind = LINE_OBJECT;
        }
    }
    r.range = c.range;
    r.facing = c.facing & kAngleMask;
    r.caster_id = c.caster;
    r.team = c.casterTeam;
    r.start_x = c.startX;
    r.start_y = c.startY;
    r.start_z = c.startZ;
    // The caster's figure here is where the bolt starts, at its head.
    const int caster = FindPlayerObjectSlot(c.caster);
    if (LiveObject(caster)) {
        const WorldObject& o = WorldObjectTable[caster];
        r.start_x = o.x;
        r.start_y = o.y;
        r.start_z = o.z + 32;
        r.zero_word = caster;
    }
    r.target_x = c.targetX;
    r.target_y = c.targetY;
    r.target_z = c.targetZ;
    r.element = c.element <= kLastElement ? c.element : 0;
    r.skill = c.skill;
    if (r.target_kind == LINE_PLAYER && g_playerView && g_localPlayer) {
        r.target_x = g_playerView->x;
        r.target_y = g_playerView->y;
        r.target_z = g_playerView->z - g_localPlayer->eye_height;
    } else if (r.target_kind == LINE_OBJECT) {
        const WorldObject& t = WorldObjectTable[r.target];
        r.target_x = t.x;
        r.target_y = t.y;
        r.target_z = t.z + 32;
    }
    NetDebug(44, "World Effect Message: typ=%d whi=%d tim=%d src=%d tar=%d ran=%d", r.kind, r.spell, r.time,
             r.zero_word, r.target, r.range);
}

void OnPlayerEffect(const uint8_t* body, int length, int source) {
    PlayerEffectBody e;
    const int slot = KnownPlayerFigure(source);
    // Only numbers the spell table has reach a spell.
    if (!slot || !DecodePlayerEffect(body, static_cast<size_t>(length), &e) || e.spell < 1 ||
        e.spell >= kSpellTableSize)
        return;
    if (CSpell* spell = ReceivedSpell(e.spell)) {
        spell->ObjectCast(slot, source);
        if (CSpell* linked = ReceivedSpell(CreationEffect(*spell)))
            linked->ObjectCast(slot, source);
    }
    NetDebug(44, "Spell #%d initialized for Player #%d (obj=%d)", e.spell, source, slot);
}

void OnCastPlayerEffect(const uint8_t* body, int length, int source) {
    IdBody b;
    if (!DecodeIdBody(body, static_cast<size_t>(length), &b))
        return;
    const int slot = KnownPlayerFigure(source);
    CSpell* spell = ReceivedSpell(b.id);
    NetDebug(44, "F_CAST_PLAYER_EFFECT: Spell=%d src=%d obj=%d", b.id, source, slot);
    if (!slot || !spell)
        return;
    spell->ObjectCast(slot, 0);
    if (CSpell* linked = ReceivedSpell(CreationEffect(*spell)))
        linked->ObjectCast(slot, 0);
}

void OnRemovePlayerEffect(const uint8_t* body, int length, int source) {
    if (length < 4)
        return;
    const int effect = body[0];
    const int slot = KnownPlayerFigure(source);
    NetDebug(44, "F_REMOVE_PLAYER_EFFECT: Spell=%d src=%d obj=%d", effect, source, slot);
    if (slot && effect != 0)
        RemoveObjectEffect(slot, effect);
}

void OnDispell(const uint8_t* body, int length) {
    SpellCastBody c;
    if (!DecodeSpellCast(F_DISPELL, body, static_cast<size_t>(length), &c))
        return;
    const int x = c.w[0], y = c.w[1], z = static_cast<int16_t>(c.w[2]), facing = c.w[3] & kAngleMask;
    const int range = c.w[5];
    NetDebug(44, "Received F_DISPELL -> x:%d y:%d z:%d a:%d ran:%d dam:%d", x, y, z, facing, range, c.w[4]);
    const auto* spell = SpellOfType<CSpellDispell>(c.w[6], SPELL_DISPELL);
    if (!spell || !OnGrid(x, y)) {
        NetDebug(44, "RCV_DISPELL failed!");
        return;
    }
    int32_t ex, ey;
    PointAheadFixed(x << 16, y << 16, facing, 0, range, &ex, &ey);
    for (int t = 1; t < ThinCount && t < kThinSlots; ++t) {
        const Thin& thin = ThinTable[t];
        if (!thin.active || thin.kind != THIN_SPELL ||
            !IntersectThin(z * 65536, x << 16, y << 16, ex, ey, t, 0))
            continue;
        NetDebug(44, "FindThinTarget returns %d", t);
        if (thin.dispel && spell->effect_sound)
            PlaySoundAt(x, y, spell->effect_sound, spell->effect_sound_range);
        return;
    }
    NetDebug(44, "FindThinTarget returns TOTALTHIN");
}

void OnTargetted(const uint8_t* body, int length, LocalPlayer* player) {
    SpellCastBody c;
    if (!DecodeSpellCast(F_TARGETTED, body, static_cast<size_t>(length), &c))
        return;
    const int number = c.w[0], caster = c.w[2], target = c.w[3];
    if (number < 1 || number >= kSpellTableSize) {
        NetDebug(44, "RCV_TARGETTED failed! Spell Num = %d", number);
        return;
    }
    const auto* spell = SpellOfType<CSpellTarget>(number, SPELL_TARGET);
    if (!spell) {
        NetDebug(44, "RCV_TARGETTED failed!");
        return;
    }
    const bool resisted = c.bytes[0] != 0;
    auto* casterEffect = SpellOfType<CSpellEffect>(c.w[4], SPELL_EFFECT);
    auto* targetEffect = SpellOfType<CSpellEffect>(c.w[5], SPELL_EFFECT);
    if (const int figure = KnownPlayerFigure(caster)) {
        if (casterEffect) {
            casterEffect->ObjectCast(figure, caster);
            NetDebug(44, "Targetted Spell #%d init for Player #%d (obj=%d)", c.w[4], caster, figure);
        }
        SetObjectCasting(figure, 1);
    }
    if (target == OwnId()) {
        if (resisted) {
            if (!IsKnownPlayer(caster) && caster != OwnId())
                PushNoticeLine("You resist a spell");
            if (targetEffect)
                PlayGameSound(spell->miss_sound, 0, 0);
            return;
        }
        if (targetEffect && player)
            targetEffect->AffectPlayer(*player, caster, 0);
        if (spell->effect_sound)
            PlayGameSound(spell->effect_sound, 0, 0);
        return;
    }
    const int figure = KnownPlayerFigure(target);
    if (!figure || !targetEffect)
        return;
    const WorldObject& o = WorldObjectTable[figure];
    if (resisted) {
        PlaySoundAt(o.x, o.y, spell->miss_sound, spell->effect_sound_range);
        return;
    }
    targetEffect->ObjectCast(figure, caster);
    PlaySoundAt(o.x, o.y, spell->effect_sound, spell->effect_sound_range);
    NetDebug(44, "Targetted Spell #%d init for Player #%d (obj=%d)", c.w[5], target, figure);
}

void OnTeleport(const uint8_t* body, int length, LocalPlayer* player) {
    TwoIdBody t;
    if (!DecodeTwoIdBody(body, static_cast<size_t>(length), &t))
        return;
    const int caster = t.first, target = t.second;
    const int figure = KnownPlayerFigure(caster);
    const bool toUs = target == OwnId();
    if (t.byte4 == 2) {
        if (toUs && player && figure && player->mode == 6) {
            PushNotice("%s Calls your ghost!", PlayerName(caster));
            MoveViewToFigure(figure);
            SendPlayerState(player, 0, 1);
        } else if (toUs && figure) {
            PushNotice("%s Tries to Call your ghost!", PlayerName(caster));
        } else if (!toUs) {
            PushNotice("%s Calls %s's Ghost!", PlayerName(caster), PlayerName(target));
        }
    } else if (t.byte4 == 3) {
        if (toUs && player && player->dead && figure) {
            PushNotice("%s sends you a SpiritGate!", PlayerName(caster));
            const int gate = AllocObjectSlot(OBJ_GATE);
            if (gate) {
                InitGateObject(gate, caster);
                ActivateObject(gate);
                g_actionState.gate_pending = gate;
            }
            WorldObject& o = WorldObjectTable[figure];
            o.waypoint_x = o.x;
            o.waypoint_y = o.y;
            o.waypoint2_x = static_cast<uint16_t>(o.z);
        } else if (!toUs) {
            PushNotice("%s sends a Spiritgate to %s", PlayerName(caster), PlayerName(target));
        }
    }
    const int i = FindPlayerIndex(target);
    if (i > 0)
        PlayerTable[i].teleport_time = GameClock / 10;
    NetDebug(44, "Teleport Spell -> Caster=%d Target=%d", caster, target);
}

void OnCreateThin(const uint8_t* body, int length) {
    CreateThinBody c;
    if (!DecodeCreateThin(body, static_cast<size_t>(length), &c))
        return;
    const int slot = AllocThinSlot(c.slotValue);
    if (!slot)
        return;
    Thin& t = ThinTable[slot];
    t.x1 = c.x1;
    t.y1 = c.y1;
    t.x2 = c.x2;
    t.y2 = c.y2;
    t.trigger = c.trigger;
    t.length = c.lengthClass;
    t.height = c.height;
    t.hit_points = c.values[2];
    t.base_z = c.baseZ;
    t.texture = c.values[0];
    t.transparent = c.byte32;
    const int value = c.pair & 0x7F;
    if (c.pair & 0x80) {
        t.max_power_drain = value;
        t.min_power_drain = value / 5;
    } else {
        t.max_damage = value;
        t.min_damage = value / 5;
    }
    t.life_timer = c.values[1];
    t.element = c.byte38;
    t.dispel = c.byte39;
    t.id = c.id;
    for (int k = 0; k < 4; ++k)
        t.group[k] = c.group[k];
    t.base_color = t.color = c.twice;
    NetDebug(44, "Creating Thin #%d: %d,%d to %d,%d CH=%d H=%d (%d)", slot, t.x1, t.y1, t.x2, t.y2, t.base_z,
             t.height, c.values[2]);
    PlaceThin(slot);
}

void OnThinDeath(const uint8_t* body, int length) {
    ThinDamageBody d;
    if (!DecodeThinDamage(F_THIN_DEATH, body, static_cast<size_t>(length), &d))
        return;
    const int slot = FindThinSlot(static_cast<int>(d.id));
    NetDebug(44, "Thin Death: IdNum=%d, Tnum=%d", static_cast<int>(d.id), slot);
    if (slot <= 0)
        return;
    for (int k = 0; k < 4; ++k) {
        const int link = ThinTable[slot].group[k];
        const int other = link > 0 ? FindThinSlot(link) : -1;
        if (other > 0 && other != slot) {
            NetDebug(44, "Thin Group Damage: Thin=%d", other);
            DestroyThin(other);
        }
    }
    DestroyThin(slot);
}

void OnThinDamage(const uint8_t* body, int length) {
    ThinDamageBody d;
    if (!DecodeThinDamage(F_THIN_DAMAGE, body, static_cast<size_t>(length), &d))
        return;
    const int slot = FindThinSlot(static_cast<int>(d.id));
    NetDebug(44, "F_THIN_DAMAGE: IdNum=%d, Tnum=%d, Dam=%d", static_cast<int>(d.id), slot, d.damage);
    if (slot > 0)
        DamageThin(slot, d.damage);
}

void OnOpenDoor(const uint8_t* body, int length) {
    ThinDamageBody d;
    if (!DecodeThinDamage(F_OPEN_DOOR, body, static_cast<size_t>(length), &d))
        return;
    NetDebug(44, "F_OPEN_DOOR: TrigNum=%d State=%d", static_cast<int>(d.id), d.byte4);
    if (d.id >= 1 && d.id < kTriggerSlots && GetTrigger(static_cast<int>(d.id)))
        ToggleTrigger(static_cast<int>(d.id), d.byte4, 0);
}

void OnObjectDeath(const uint8_t* body, int length, LocalPlayer* player) {
    TwoIdBody d;
    if (!DecodeTwoIdBody(body, static_cast<size_t>(length), &d))
        return;
    const int killer = d.second;
    const int slot = FindWorldObjectSlot(d.first);
    NetDebug(44, "F_OBJECT_DEATH: id=%d obj=%d killer=%d", d.first, slot, killer);
    if (slot <= 0)
        return;
    const WorldObject& o = WorldObjectTable[slot];
    if (o.rune_type == 1) {
        NetDebug(44, "Rune Tripped: spell_num=%d killer=%d", o.kind, killer);
        if (killer == OwnId()) {
            if (o.death_spell_effect && player)
                ApplyObjectSpellToPlayer(slot, *player);
            if (o.death_sound)
                PlayObjectDeathSound(slot);
            if (o.death_effect && GameRand() % 100 < o.death_effect_chance) {
                CheckRuneTrip(slot);
                KillObject(slot);
                return;
            }
        } else if (killer != 0) {
            const int figure = KnownPlayerFigure(killer);
            if (figure && o.death_spell_effect)
                ApplyObjectSpellToObject(slot, figure);
            if (o.death_sound)
                PlayObjectDeathSound(slot);
            if (o.death_effect && GameRand() % 100 < o.death_effect_chance)
                CheckRuneTrip(slot);
        }
    }
    KillObject(slot);
}
