#pragma once
// Spell objects: the layouts a projectile spell throws its objects in, the fields a projectile,
// rune or placed object takes from its spell, and the builder a new spell object goes through.

class CSpellProj;
class CSpellRune;
class CSpellObject;

// Where one projectile of a cast starts, relative to the caster: forward along the facing,
// sideways (positive right) and up; and how much it turns (angle units) and pitches (degrees).
struct LayoutOffset {
    int forward, side, vertical, turn, pitch;
};

// Steps through the offsets of a cast's projectiles one at a time, so a cast that runs out of
// object slots stops without the whole layout ever being built.
class ProjectileLayout {
public:
    // layout is side_by_side (0..6; others throw a file), n projectiles, spacing s, distance d.
    ProjectileLayout(int layout, int n, int s, int d);
    // The offsets of the next projectile.
    LayoutOffset Next();

private:
    int layout_, n_, s_, d_, i_ = 0;
    LayoutOffset cur_{};
};

// The offsets of a detonating projectile spell's objects: layout 1 a row, any other a file.
LayoutOffset DetonateLayoutOffset(int layout, int n, int s, int d, int i);

// The team colour of an alignment-coloured projectile or rune.
int ProjectileAlignmentColor(int team);
int RuneAlignmentColor(int team);

// The fields an object takes from its spell; a life of -1 never runs out.
void CopyProjectileSpell(int slot, const CSpellProj& spell);
void CopyRuneSpell(int slot, const CSpellRune& spell);
void CopyObjectSpell(int slot, const CSpellObject& spell);

struct LocalPlayer;
class CSpellBolt;

// A distance or offset from the spell file held to what the world can use (+-65536), so sums of
// them stay in range.
int ClampSpan(int v);
// 1 while the player crawls: casts start 24 lower.
int Crouch(const LocalPlayer& p);
// The view's pitch in degrees (the player's pitch is kept in tenths).
int PitchDegrees(const LocalPlayer& p);
// The caster's value of the skill a spell names (1..10 are game values #5..#14), else 0.
int SkillValue(int skillUsed);
// The look of a bolt's segment from its spell; a life of -1 never runs out.
void CopyBoltSpell(int slot, const CSpellBolt& spell);

// A random frame of the image's sequence; 0 for an image of no frames or outside the table.
int RandomImageFrame(int imagenum);
// Places a new object (forward, side, up) from another along the new object's facing.
void PlaceRuneObject(int source, int slot, int speed, int zSpeed, int pitch, int forward, int side, int vertical);
// Places a new object (forward, side, up) ahead of the local player's view.
void PlaceSpellObject(LocalPlayer& player, int slot, int speed, int zSpeed, int pitchOffset, int forward, int side,
                      int vertical);
// The projectiles of a cast from (x, y, z) at the caster's feet; also the service's casts of others.
int CreateProjectiles(int spell, int x, int y, int z, int facing, int pitch, int skill, int verticalOffset, int team,
                      int creator);
// 1 when the local player keeps as many runes of the type as allowed.
int CountOwnRunes(int runeType);
// A rune cast_distance ahead of (x, y); 0 when it could not be made live.
int CreateRune(int spell, int id, int x, int y, int z, int facing, int team, int creator);
// A wall spell's thins (one, or four naming each other when it is thick) cast_distance ahead of
// (x, y); also the service's walls of others. 1 even when the thin table is full.
int CreateSpellWall(int spell, int id, int x, int y, int z, int facing, int team, int owner);
// A spirit gate in front of the local player, facing it, where there is room.
void InitGateObject(int slot, int creator);

// Fills a freshly taken slot as an object of the spell (projectile or rune); the slot keeps only
// its kind for any other type, and nothing happens for a missing spell.
void Init_Spell_Object(int slot, int spell);
