#pragma once
// The pieces of the per-frame object update that move and bounce world objects: how a cell
// answers an object standing in it, speeding up, turning, bouncing and which element beats a
// wall's. Frame times are in 0.1 ms units.

// Hit codes of an object's move.
enum ObjectHit {
    HIT_FREE = 0,
    HIT_CELL = 1,
    HIT_X = 2,
    HIT_Y = 3,
    HIT_PLAYER = 5,
    HIT_FLOOR = 6,
    HIT_CEILING = 7,
    HIT_THIN = 8,
    HIT_SOLID_CELL = 9,
    HIT_DIAGONAL = 10,
    HIT_OBJECT = 100,  // plus the slot struck
};

struct LocalPlayer;

// The frame's collision lists, rebuilt before anything moves.
struct CollisionLists {
    int movers[1000], moverCount;    // live movers, players not dead and statics, 8 wide or more
    int statics[1000], staticCount;  // live statics 8 wide or more
    int thins[500], thinCount;       // active thins that are not open
};
extern CollisionLists g_collision;
void BuildCollisionLists();
// The thin slot the last HIT_THIN named.
extern int g_hitThin;

// Tests one piece of an object's move from (oldX, oldY, oldZ) to (newX, newY, newZ) and answers
// its hit code. thinsArmed: the frame's thin pre-test found a thin ahead.
int MoveObject(LocalPlayer& player, int newX, int newY, int newZ, int oldX, int oldY, int oldZ, int slot,
               int thinsArmed);

// 1 when an active, closed thin stands on the line between the two points at height z.
int FindThinOnLine(int x0, int y0, int x1, int y1, int z);
// A monster's answer to a hit: it turns away from walls and figures by a heading that depends on
// its id, stops at the player and stands on a floor. 1 when the move is blocked.
int ResolveMoverCollision(int slot, int code, LocalPlayer& player);

// 0 free, 1 floor or step, 2 ceiling for the object standing at (x, y) at new z, coming from old z.
int TestObjectCell(int slot, int newZ, int oldZ, int x, int y);
// 1 when element e beats the wall's element w.
int ElementBeats(int e, int w);
// Speed changes by acceleration over the frame, within max_velocity; crossing 0 stops it.
void AccelerateObject(int slot, int frame);
// Facing changes by turn_rate over the frame.
void TurnObject(int slot, int frame);
// Reflects the object off what the hit code names; 1 when it bounced.
int BounceObject(int slot, int code);
