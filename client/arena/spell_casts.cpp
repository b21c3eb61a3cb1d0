// The casts of the spells that put objects into the arena: projectiles, runes and placed
// objects, and what a detonating projectile or tripped rune makes.

#include <algorithm>
#include <cstdint>

#include "client/arena/grid_queries.h"
#include "client/arena/line_tests.h"
#include "client/arena/local_player.h"
#include "client/arena/player_view.h"
#include "client/arena/spell.h"
#include "client/arena/spell_objects.h"
#include "client/arena/thin.h"
#include "client/arena/world_object.h"
#include "client/core/game_values.h"
#include "client/core/level_defs.h"
#include "client/core/trig_tables.h"
#include "client/level/level_textures.h"
#include "client/net/net_spells.h"
#include "client/screens/chat_buffer.h"
#include "client/screens/notice_lines.h"
#include "common/random.h"

namespace {

// A cast never makes more objects than the table holds, even where a slot taken is not made live
// and so comes back again.
int CastCount(int n) {
    return std::clamp(n, 0, kWorldObjectSlots - 1);
}

int LookLift(const LocalPlayer& p) {
    return -(2 * (p.pitch / 10)) / 3;
}

int32_t Times(int v, int angle, const AngleTable& table) {
    return static_cast<int32_t>(static_cast<int64_t>(v) * table[angle & kAngleMask] / 65536);
}

// Speeds from a pitch in degrees: level flight keeps the speeds given.
void SetMotion(WorldObject& o, int pitch, int speed, int zSpeed) {
    // Pitches from the spell file may be any number of degrees: only the angle counts.
    pitch %= 360;
    o.pitch = static_cast<int16_t>(pitch);
    if (!pitch) {
        o.speed = Clamp16(speed);
        o.z_speed = Clamp16(zSpeed);
        return;
    }
    const int angle = pitch * kAngleUnits / 360;
    o.speed = Clamp16(Times(speed, angle, CosineTable));
    o.z_speed = Clamp16(static_cast<int64_t>(zSpeed) - Times(speed, angle, SineTable));
}

void SetPosition(WorldObject& o, int32_t fx, int32_t fy, int z) {
    o.pos_x = fx;
    o.pos_y = fy;
    o.x = static_cast<uint16_t>(fx >> 16);
    o.y = static_cast<uint16_t>(fy >> 16);
    o.z = static_cast<int16_t>(z);
    o.pos_z = static_cast<int32_t>(static_cast<uint32_t>(z) << 16);
}

// An object across the floor stands on it; one across the ceiling hangs under it.
int Unstraddle(int x, int y, int z, int tall) {
    const int floor = GetFloorHeight(x, y, z, 0);
    if (z < floor && z + tall > floor)
        return floor + 1;
    const int ceiling = GetCeilingHeight(x, y, z);
    if (z < ceiling && z + tall > ceiling)
        return ceiling - tall - 1;
    return z;
}

// Under the ceiling unless it stands above the storey split.
void LiftUnderCeiling(WorldObject& o) {
    if (o.z >= GetStoreySplit(o.x, o.y))
        return;
    const int ceiling = GetCeilingHeight(o.x, o.y, o.z);
    if (o.z + o.tall > ceiling) {
        o.z = static_cast<int16_t>(ceiling - o.tall - 1);
        o.pos_z = static_cast<int32_t>(static_cast<uint32_t>(o.z) << 16);
    }
}

int TileAt(int x, int y) {
    if (x < 0 || y < 0 || x >= kWorldLimit || y >= kWorldLimit)
        return 0;
    return g_level.plane[kPlaneTile][CellIndex(x >> 6, y >> 6)];
}


// A spell object of the projectile spell; 0 when the table is full.
int NewProjectile(const CSpellProj& spell) {
    const int slot = AllocObjectSlot(OBJ_SPELL);
    if (!slot)
        return 0;
    WorldObjectTable[slot].kind = static_cast<uint16_t>(spell.spell_number);
    CopyProjectileSpell(slot, spell);
    return slot;
}

}  // namespace

int Crouch(const LocalPlayer& p) {
    return p.mode == 1;
}

int PitchDegrees(const LocalPlayer& p) {
    return p.pitch / 10;
}

int SkillValue(int skillUsed) {
    return skillUsed >= 1 && skillUsed <= 10 ? GetGameValue(skillUsed + 4) : 0;
}

int RandomImageFrame(int imagenum) {
    if (imagenum < 0 || imagenum >= kMaxImageDefs || g_imageDefs[imagenum].numinseq <= 0)
        return 0;
    return GameRand() % g_imageDefs[imagenum].numinseq;
}

void PlaceRuneObject(int source, int slot, int speed, int zSpeed, int pitch, int forward, int side, int vertical) {
    forward = ClampSpan(forward);
    side = ClampSpan(side);
    vertical = ClampSpan(vertical);
    const WorldObject& s = WorldObjectTable[source];
    WorldObject& o = WorldObjectTable[slot];
    SetMotion(o, pitch, speed, zSpeed);
    int32_t fx, fy;
    PointAheadFixed(s.pos_x, s.pos_y, o.facing, side, forward, &fx, &fy);
    o.pos_x = fx;
    o.pos_y = fy;
    o.x = static_cast<uint16_t>((static_cast<uint32_t>(fx) + 0x8000u) >> 16);
    o.y = static_cast<uint16_t>((static_cast<uint32_t>(fy) + 0x8000u) >> 16);
    o.z = static_cast<int16_t>(s.z + vertical);
    o.pos_z = static_cast<int32_t>(static_cast<uint32_t>(o.z) << 16);
}

void PlaceSpellObject(LocalPlayer& player, int slot, int speed, int zSpeed, int pitchOffset, int forward, int side,
                      int vertical) {
    if (!g_playerView)
        return;
    forward = ClampSpan(forward);
    side = ClampSpan(side);
    vertical = ClampSpan(vertical);
    const PlayerView& v = *g_playerView;
    WorldObject& o = WorldObjectTable[slot];
    SetMotion(o, PitchDegrees(player) + pitchOffset % 360, speed, zSpeed);
    int32_t fx, fy;
    PointAheadOfView(side, forward, &fx, &fy);
    int z = vertical + LookLift(player) - player.eye_height + v.z;
    if (Crouch(player))
        z -= player.normal_eye_height - player.crawl_eye_height;
    z = std::max(z, v.z - player.eye_height);
    SetPosition(o, fx, fy, z);
    o.z = static_cast<int16_t>(Unstraddle(o.x, o.y, o.z, o.tall));
    o.pos_z = static_cast<int32_t>(static_cast<uint32_t>(o.z) << 16);
}

int CreateProjectiles(int spell, int x, int y, int z, int facing, int pitch, int skill, int verticalOffset, int team,
                      int creator) {
    const CSpell* base = GetSpell(spell);
    if (!base || base->type != SPELL_PROJ)
        return 0;
    const CSpellProj& s = static_cast<const CSpellProj&>(*base);
    ProjectileLayout layout(s.side_by_side, s.num_projectiles, s.projectile_spacing, s.cast_distance);
    for (int i = 0; i < CastCount(s.num_projectiles); ++i) {
        const LayoutOffset off = layout.Next();
        const int slot = AllocObjectSlot(OBJ_SPELL);
        if (!slot)
            break;
        WorldObject& o = WorldObjectTable[slot];
        o.kind = static_cast<uint16_t>(spell);
        o.team = static_cast<int16_t>(s.no_team ? 0 : team);
        CopyProjectileSpell(slot, s);
        if (o.alignment_translucent)
            o.trans_color = static_cast<uint16_t>(ProjectileAlignmentColor(o.team));
        o.creator = static_cast<int16_t>(creator);
        o.skill = static_cast<int16_t>(s.skill_used ? skill : 0);
        o.facing = static_cast<uint16_t>((facing + off.turn) & kAngleMask);
        SetMotion(o, pitch % 360 + off.pitch + s.cast_angle % 360, s.velocity, s.z_velocity);
        int32_t fx, fy;
        PointAheadFixed(x << 16, y << 16, facing, off.side, off.forward, &fx, &fy);
        int oz = std::max(ClampSpan(s.elevation) + ClampSpan(verticalOffset), 0) + z + off.vertical;
        oz = std::max(oz, z);
        SetPosition(o, fx, fy, oz);
        o.z = static_cast<int16_t>(Unstraddle(o.x, o.y, o.z, o.tall));
        o.pos_z = static_cast<int32_t>(static_cast<uint32_t>(o.z) << 16);
        o.image_frame = static_cast<uint16_t>(i);
        ActivateObject(slot);
    }
    return 1;
}

int CSpellProj::Cast(LocalPlayer& player) {
    if (!num_projectiles || !g_playerView)
        return 0;
    const int lifted = ClampSpan(elevation);
    const int elevationUsed = Crouch(player) ? std::max(lifted - 24, 0) : lifted;
    const int hit = CheckCastPath(player, ClampSpan(width) + ClampSpan(cast_distance), elevationUsed);
    if (hit) {
        // Point-blank at a figure or another spell object is allowed.
        const bool figure = hit > 0 && hit < kWorldObjectSlots && WorldObjectTable[hit].active == 1 &&
                            (WorldObjectTable[hit].type == OBJ_SPELL || WorldObjectTable[hit].type == OBJ_MOVING ||
                             WorldObjectTable[hit].type == OBJ_PLAYER);
        if (!figure)
            return 0;
    }
    const PlayerView& v = *g_playerView;
    const int lift = Crouch(player) ? -24 : LookLift(player);
    const int skill = SkillValue(skill_used);
    const int z = v.z - player.eye_height;
    CreateProjectiles(spell_number, v.x, v.y, z, v.facing, PitchDegrees(player), skill, lift, GetGameValue(4),
                      GetGameValue(118));
    SendCreateProjectile(spell_number, v.x, v.y, z, v.facing, PitchDegrees(player), skill, lift);
    return 1;
}

int CSpellProj::ObjectCast(int slot, int) {
    if (!num_projectiles || slot <= 0 || slot >= kWorldObjectSlots)
        return 0;
    const WorldObject& caster = WorldObjectTable[slot];
    for (int i = 0; i < CastCount(num_projectiles); ++i) {
        const int s = NewProjectile(*this);
        if (!s)
            break;
        WorldObject& o = WorldObjectTable[s];
        o.facing = caster.facing;
        o.creator = static_cast<int16_t>(caster.id);
        o.image_frame = static_cast<uint16_t>(i);
        const LayoutOffset off = DetonateLayoutOffset(0, num_projectiles, projectile_spacing, cast_distance, i);
        PlaceRuneObject(slot, s, velocity, z_velocity, cast_angle, off.forward, 0, elevation);
        ActivateObject(s);
    }
    return 1;
}

int CSpellProj::Detonate(int slot) {
    if (slot <= 0 || slot >= kWorldObjectSlots)
        return 0;
    const WorldObject& ending = WorldObjectTable[slot];
    for (int i = 0; i < CastCount(num_projectiles); ++i) {
        const LayoutOffset off =
            DetonateLayoutOffset(side_by_side, num_projectiles, projectile_spacing, cast_distance, i);
        const int s = NewProjectile(*this);
        if (!s)
            break;
        WorldObject& o = WorldObjectTable[s];
        o.creator = ending.creator;
        o.team = ending.team;
        int facing = ending.facing;
        if (horizontal_spread > 0)
            facing = static_cast<int>((facing + 2048 + GameRand() % static_cast<uint32_t>(horizontal_spread) -
                                       static_cast<uint32_t>(horizontal_spread / 2)) &
                                      kAngleMask);
        o.facing = static_cast<uint16_t>(facing & kAngleMask);
        int pitch = cast_angle % 360;
        if (vertical_spread > 0)
            pitch += static_cast<int>(GameRand() % static_cast<uint32_t>(vertical_spread)) - vertical_spread / 2;
        o.image_frame = static_cast<uint16_t>(off.side);
        PlaceRuneObject(slot, s, velocity, z_velocity, pitch, off.forward, off.side, 0);
        LiftUnderCeiling(o);
        ActivateObject(s);
    }
    return 0;
}

int CountOwnRunes(int runeType) {
    int limit = 1;
    if (runeType == 1 && GetGameValue(114) == 1)
        limit = GetGameValue(0) / 5 + 3;
    int count = 0;
    const int own = GetGameValue(118);
    for (int s = 1; s < WorldObjectHighWater && s < kWorldObjectSlots; ++s) {
        const WorldObject& o = WorldObjectTable[s];
        if (o.active == 1 && o.rune_type == runeType && o.creator == own)
            ++count;
    }
    return count >= limit;
}

int CreateRune(int spell, int id, int x, int y, int z, int facing, int team, int creator) {
    const CSpell* base = GetSpell(spell);
    if (!base || base->type != SPELL_RUNE)
        return 0;
    const CSpellRune& r = static_cast<const CSpellRune&>(*base);
    int px, py;
    PointAhead(x, y, facing, 0, ClampSpan(r.cast_distance), &px, &py);
    const int slot = AllocObjectSlot(OBJ_SPELL);
    if (!slot)
        return 0;
    WorldObject& o = WorldObjectTable[slot];
    o.kind = static_cast<uint16_t>(spell);
    o.team = static_cast<int16_t>(team);
    CopyRuneSpell(slot, r);
    if (o.alignment_translucent)
        o.trans_color = static_cast<uint16_t>(RuneAlignmentColor(team));
    o.creator = static_cast<int16_t>(creator);
    o.id = static_cast<uint32_t>(id);
    SetPosition(o, px << 16, py << 16, GetFloorHeight(px, py, z, 0) + ClampSpan(r.elevation));
    if (!ActivateObject(slot))
        return 0;
    PrintDebug("Rune Created -> num=%d id=%d", slot, id);
    return 1;
}

int CSpellRune::Cast(LocalPlayer& player) {
    static const char* const kTooMany[] = {"You have cast too many Runes!", "You have cast too many Wards!",
                                           "You have cast too many Clouds!"};
    if (!g_playerView)
        return 0;
    if (CountOwnRunes(rune_type)) {
        if (rune_type >= 1 && rune_type <= 3)
            PushNoticeLine(kTooMany[rune_type - 1]);
        return 0;
    }
    const PlayerView& v = *g_playerView;
    const int feet = v.z - player.eye_height;
    int32_t fx, fy;
    PointAheadOfView(0, ClampSpan(cast_distance), &fx, &fy);
    const int px = fx >> 16, py = fy >> 16;
    const int z = GetFloorHeight(px, py, feet, 0) + ClampSpan(elevation);
    const int tile = TileAt(px, py);
    const char* refusal = nullptr;
    if (z > v.z + 16)
        refusal = "You can't place a Rune in a Wall!";
    else if (z < feet - 64)
        refusal = "You can't place a Rune in the Air!";
    else if (tile >= 50 && tile <= 69)
        refusal = "You can't place a Rune in a Nexus!";
    else if (tile >= 20 && tile <= 49)
        refusal = "You can't place a Rune in a Node!";
    if (refusal) {
        PushNoticeLine(refusal);
        return 0;
    }
    const int team = no_team ? 0 : GetGameValue(4);
    const int id = NewObjectId();
    CreateRune(spell_number, id, v.x, v.y, feet, v.facing, team, GetGameValue(118));
    SendCreateRune(spell_number, id, v.x, v.y, feet, v.facing, team);
    return 1;
}

int CSpellRune::Detonate(int slot) {
    if (slot <= 0 || slot >= kWorldObjectSlots)
        return 0;
    const WorldObject& rune = WorldObjectTable[slot];
    const int s = AllocObjectSlot(OBJ_SPELL);
    if (!s)
        return 0;
    WorldObject& o = WorldObjectTable[s];
    o.kind = static_cast<uint16_t>(spell_number);
    o.creator = rune.creator;
    o.team = rune.team;
    CopyRuneSpell(s, *this);
    PlaceRuneObject(slot, s, velocity, z_velocity, cast_angle, 0, 0, elevation);
    LiftUnderCeiling(o);
    ActivateObject(s);
    return 0;
}

int CSpellObject::Cast(LocalPlayer& player) {
    if (!g_playerView || CheckCastPath(player, cast_distance, ClampSpan(tall) / 2))
        return 0;
    ProjectileLayout row(1, num_objects, object_spacing, cast_distance);
    for (int i = 0; i < CastCount(num_objects); ++i) {
        const int side = row.Next().side;
        const int slot = AllocObjectSlot(OBJ_STATIC);
        if (!slot)
            break;
        WorldObject& o = WorldObjectTable[slot];
        o.kind = static_cast<uint16_t>(GetGameValue(115));
        CopyObjectSpell(slot, *this);
        o.facing = static_cast<uint16_t>(g_playerView->facing & kAngleMask);
        o.creator = static_cast<int16_t>(GetGameValue(118));
        o.team = static_cast<int16_t>(GetGameValue(4));
        o.image_frame = static_cast<uint16_t>(RandomImageFrame(imagenum));
        PlaceSpellObject(player, slot, 0, 0, 0, cast_distance, side, elevation);
        if (!elevation) {
            const int floor = GetFloorHeight(o.x, o.y, o.z, 0);
            o.z = static_cast<int16_t>(std::abs(o.z - floor) <= 32 ? floor : floor - 32);
            o.pos_z = static_cast<int32_t>(static_cast<uint32_t>(o.z) << 16);
        }
        ActivateObject(slot);
        SendCreateObject(slot);
    }
    return 1;
}

namespace {

// One thin of a wall spell from (side, forward) a to b of (x, y) along the facing.
// The thins of a wall name each other by id, the front's first; each is placed before the next is
// taken, since a slot counts as free until it is placed.
int WallThin(const CSpellWall& s, int first, int which, int x, int y, int z, int facing, int team, int owner,
             int sa, int fa, int sb, int fb, int length) {
    const int slot = AllocThinSlot(THIN_SPELL);
    if (!slot)
        return 0;
    Thin& t = ThinTable[slot];
    PointAhead(x, y, facing, sa, fa, &t.x1, &t.y1);
    PointAhead(x, y, facing, sb, fb, &t.x2, &t.y2);
    t.base_z = z;
    t.length = length;
    t.id = first + which;
    for (int k = 0; k < 4; ++k)
        t.group[k] = s.thick || k == 0 ? first + k : 0;
    t.owner = owner;
    t.team = team;
    if (s.texturenum <= 100)
        t.texture = s.texturenum;
    t.transparent = s.transparent;
    t.base_color = t.color = s.trans_color;
    t.life_timer = s.duration_timer;
    t.collision_velocity = s.collision_velocity;
    t.min_damage = s.min_damage;
    t.max_damage = s.max_damage;
    t.min_power_drain = s.min_power_drain;
    t.max_power_drain = s.max_power_drain;
    t.element = s.element;
    t.hit_points = s.hit_points;
    // The room above the base at the thin's middle: to the ceiling, or above the storey split
    // to the upper storey's floor.
    const int mx = (t.x1 + t.x2) / 2, my = (t.y1 + t.y2) / 2;
    const int split = GetStoreySplit(mx, my);
    const int room = std::max(z < split ? GetCeilingHeight(mx, my, z) - z : split - z, 0);
    t.height = std::min(room, s.wallheight);
    t.target_height = std::min(room, s.max_wallheight);
    if (!which) {
        if (s.texturenum > 100)
            t.effect_number = s.texturenum - 100;
        t.effect_facing = (facing + 2048) & kAngleMask;
        PointAheadFixed(x << 16, y << 16, facing, 0, ClampSpan(s.thick) / 2 + fa, &t.effect_x, &t.effect_y);
        t.effect_thickness = ClampSpan(s.thick);
    }
    return PlaceThin(slot) ? slot : 0;
}

}  // namespace

int CreateSpellWall(int spell, int id, int x, int y, int z, int facing, int team, int owner) {
    const CSpell* base = GetSpell(spell);
    if (!base || base->type != SPELL_WALL)
        return 1;
    const CSpellWall& s = static_cast<const CSpellWall&>(*base);
    const int length = ClampSpan(s.length), h = length / 2, d = ClampSpan(s.cast_distance), t = ClampSpan(s.thick);
    WallThin(s, id, 0, x, y, z, facing, team, owner, h, d, -h, d, length);
    if (t) {
        WallThin(s, id, 1, x, y, z, facing, team, owner, h, d + t, -h, d + t, length);
        WallThin(s, id, 2, x, y, z, facing, team, owner, h, d, h, d + t, t);
        WallThin(s, id, 3, x, y, z, facing, team, owner, -h, d, -h, d + t, t);
    }
    return 1;
}

int CSpellWall::Cast(LocalPlayer& player) {
    if (!g_playerView || CheckCastPath(player, cast_distance, 0))
        return 0;
    const PlayerView& v = *g_playerView;
    int32_t fx, fy;
    PointAheadOfView(0, cast_distance, &fx, &fy);
    const int tile = TileAt(fx >> 16, fy >> 16);
    const char* refusal = nullptr;
    if (tile >= 50 && tile <= 69)
        refusal = "You can't place a Wall in a Nexus!";
    else if (tile >= 20 && tile <= 49)
        refusal = "You can't place a Wall in a Node!";
    else if (CountOwnWalls())
        refusal = "You have cast too many Walls!";
    if (refusal) {
        PushNoticeLine(refusal);
        return 0;
    }
    const int id = NewThinId();
    const int z = v.z - player.eye_height;
    CreateSpellWall(spell_number, id, v.x, v.y, z, v.facing, GetGameValue(4), GetGameValue(118));
    SendCastWall(spell_number, id, v.x, v.y, z, v.facing, GetGameValue(4));
    return 1;
}

void InitGateObject(int slot, int creator) {
    if (slot <= 0 || slot >= kWorldObjectSlots || !g_playerView)
        return;
    WorldObject& o = WorldObjectTable[slot];
    o.kind = 0;
    o.creator = static_cast<int16_t>(creator);
    o.imagenum = 64;
    o.death_imagenum = 0;
    o.width = 24;
    o.tall = 80;
    o.image_timer = 0;
    o.image_timer_max = 0;
    o.image_cycles = 0;
    o.gravity = 1;
    o.light_pattern = 1;
    o.max_flicker = o.light_glow = 0;
    o.duration_timer = 0;
    o.trans_color = 0;
    o.effect_radius = 0;
    const PlayerView& v = *g_playerView;
    // Ahead, then right, then left, then behind: the first way with room for the gate.
    static const struct {
        int heading, facing;
    } kTries[] = {{0, 2048}, {1024, 3072}, {3072, 1024}, {2048, 0}};
    int x = v.x, y = v.y, facing = v.facing;
    for (const auto& t : kTries) {
        int ex, ey, ez;
        TraceRay(&ex, &ey, &ez, t.heading, 192, -10);
        const int dx = ex - v.x, dy = ey - v.y;
        if (static_cast<int64_t>(dx) * dx + static_cast<int64_t>(dy) * dy >= 96 * 96) {
            x = ex;
            y = ey;
            facing = v.facing + t.facing;
            break;
        }
    }
    o.facing = static_cast<uint16_t>(facing & kAngleMask);
    const int feet = g_localPlayer ? v.z - g_localPlayer->eye_height : v.z;
    SetPosition(o, x << 16, y << 16, GetFloorHeight(x, y, feet, 0));
    o.dead = 1;
}
