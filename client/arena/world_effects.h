#pragma once
// Bolts: a cast fills a world effect record that runs from a start to a target point over the
// bolt's time; each frame lays the short-lived segments that have come due along the line, and
// the segment that reaches the target deals the bolt's damage.

#include <cstdint>

struct LocalPlayer;

constexpr int kWorldEffects = 50;

struct WorldEffect {
    int32_t active;
    int32_t kind;         // 1 bolt, the only kind run
    int32_t spell;
    int32_t time;         // ms since the start
    int32_t zero_word;
    int32_t target;       // object slot (kind 2), thin (kind 3), 0xffff the level, 0 none
    int32_t target_kind;  // a LineTargetKind
    int32_t range;        // start to target, world units
    int32_t facing;
    int32_t caster_id;
    int32_t team;
    int32_t start_x, start_y, start_z;
    int32_t target_x, target_y, target_z;
    int32_t element;
    int32_t zero_word2;
    int32_t skill;
    int32_t last_segment;  // slot of the segment showing the leading edge
};

extern WorldEffect WorldEffectTable[kWorldEffects];

// The local player's bolt of spell #115 at the target found; 1, or 0 when every record is in use.
int StartWorldEffect(LocalPlayer& player, int kind, int target, int range);
// A world object's bolt of the spell; sends nothing.
int StartObjectEffect(int spell, int slot, int kind, int target, int range);
// 0 when the record may run; else 1 with the debug line saying why.
int ValidateWorldEffect(const WorldEffect& record);
// Once a frame, before the object update: every running bolt advances by the frame's ms.
void CheckWorldEffects(int frameMs);
// The segment reaching the record's target: damage, the bolt's death effect, and the segment dies.
int BoltHit(int segment, WorldEffect& record);
void ClearWorldEffects();
