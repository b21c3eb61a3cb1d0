#pragma once
// Line tests over the grid, the thins and the objects, stepped 8 units at a time: what a cast,
// a bolt, a use or the crosshair meets ahead. Also the point ahead of a position and the dice.

#include <cstdint>

struct LocalPlayer;

constexpr int kHitLevel = 0xffff;  // the grid or the level itself
constexpr int kHitThinFromObject = 0xfffe;

enum LineTargetKind {
    LINE_NOTHING = 0,  // a point in the air, or the level
    LINE_PLAYER = 1,
    LINE_OBJECT = 2,
    LINE_THIN = 3,
};

// The point f ahead and s to the side of (x, y) facing a: x - f sin a + s cos a, y + f cos a + s sin a.
// Positions in 16.16.
void PointAheadFixed(int32_t x, int32_t y, int facing, int side, int forward, int32_t* outX, int32_t* outY);
// From the player's view, in 16.16.
void PointAheadOfView(int side, int forward, int32_t* outX, int32_t* outY);
// From integer world units, in integers.
void PointAhead(int x, int y, int facing, int side, int forward, int* outX, int* outY);
void PointAheadOfObject(int slot, int side, int forward, int* outX, int* outY);

// 0 when the way straight ahead of the eye (raised by elevation) is free for distance units, else
// the blocking object's slot or kHitLevel.
int CheckCastPath(LocalPlayer& player, int distance, int elevation);
// Along the view's heading and pitch. Returns the target (thin index, object slot, kHitLevel, or 0
// for nothing); *range becomes the distance to the hit; *kind a LineTargetKind. friendly 1 stops
// only on team mates (and the live fixtures: gates and runes). thinsOnly skips the objects.
int FindBoltTarget(LocalPlayer& player, int* range, int* kind, int friendly, int radius, int thinsOnly);
// From a world object ahead of its facing: an object (kind 2), the local player (kind 1,
// target 0), a thin (kind 3, kHitThinFromObject) or the level (kHitLevel).
int FindBoltCollision(int slot, int* range, int* kind);
// From the view: heading is an offset to the facing (0 and 2048 follow the pitch, down and up),
// eyeRelative non-zero starts at the feet. The hit point (snapped back onto the 8-unit face the
// last step crossed) goes to the outputs; returns the object or thin slot, kHitLevel, or 0.
int TraceRay(int* outX, int* outY, int* outZ, int heading, int range, int eyeRelative);
// 16.16 coordinates; their integer parts' distance, truncated.
int Distance3D(int32_t x1, int32_t y1, int32_t z1, int32_t x2, int32_t y2, int32_t z2);
// base + count rolls of 1..dice; 0 when dice or count is not positive.
int RollDice(int dice, int count, int base);
// The first spell wall (kind 2) the line from the view to range ahead crosses, or -1.
int FindThinTarget(int range);

// The thin straight ahead within range (0 none), and the object with a trigger or a gate or
// rune ahead (0 none): the use key's searches.
int FindThinAhead(LocalPlayer& player, int range);
int FindObjectTrigger(LocalPlayer& player, int range);
