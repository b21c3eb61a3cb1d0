#pragma once
// The thin table: wall segments that are not grid cells (fences, doors, elevator sides, ladders,
// trigger panels, spell walls), 500 fixed slots with slot 0 unused. The thin count (one above
// the highest slot placed) bounds every scan.

#include <cstdint>

constexpr int kThinSlots = 500;

enum ThinKind {
    THIN_PLAIN = 0,
    THIN_MOVED = 1,     // moved by its door or elevator; a level thin of this kind is a box
    THIN_SPELL = 2,
    THIN_TEXTURED = 3,  // its trigger sets its texture
    THIN_TOUCH = 4,     // touching it switches its trigger
    THIN_BOX_SIDE = 5,
    THIN_LADDER = 6,
};

struct Thin {
    int32_t active;
    int32_t x1, y1, x2, y2;
    int32_t open;          // an open thin lets everything through
    int32_t speed_cap;     // not 0: slows what touches it to this speed instead of stopping it
    int32_t transparent;
    int32_t last_touch;
    int32_t texture, texture2;
    int32_t length;
    int32_t height, target_height, base_z;
    int32_t cleared;
    int32_t min_x, max_x, min_y, max_y;
    int32_t dir_x, dir_y;      // 16.16: the unit direction from end 1 to end 2
    int32_t kind;
    int32_t angle;             // 0..4095
    int32_t trigger;           // 1..99, 0 none
    int32_t swing_step;        // +1024 or -1024: the side a door's box lies on
    int32_t side_mark;         // the added sides of a box; rays pass them
    int32_t fade, base_color, color;
    int32_t life_timer;
    int32_t collision_velocity, min_damage, max_damage, min_power_drain, max_power_drain, element, hit_points;
    int32_t placed_word;
    int32_t id;
    int32_t group[4];
    int32_t owner, team;
    int32_t normal_x, normal_y;  // 16.16: the unit normal, left of the direction
    uint16_t model, effect_figure;
    float effect_time;
    int32_t effect_number, effect_facing, effect_x, effect_y, effect_thickness;
    int32_t thickness;         // a box's depth
    int32_t dispel;            // a service's wall: non-zero when a dispell sounds on it
};

extern Thin ThinTable[kThinSlots];
extern int32_t ThinCount;

// First slot 1..499 not in use, zeroed with its kind; 0 when full.
int AllocThinSlot(int kind);
// 1 placed; 0 dropped (an end off the grid, or both ends on one point).
int PlaceThin(int slot);
void DestroyThin(int slot);
void ComputeThinBounds();
// frame in 0.1 ms.
void UpdateThins(int frame);
// 1 when the step from (x0, y0) to (x1, y1) (16.16) at height z (16.16) crosses the thin.
int IntersectThin(int32_t z, int32_t x0, int32_t y0, int32_t x1, int32_t y1, int slot, int radius);
void DamageThin(int slot, int damage);
// 1 when the local player keeps as many walls as the level allows.
int CountOwnWalls();
int FindThinSlot(int id);
int NewThinId();
// The bounding rectangle and the direction of a thin from its ends.
void SetThinGeometry(Thin& t);
// Frees every thin (before a level load).
void ClearThins();
