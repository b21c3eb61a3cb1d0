#pragma once
// Questions about the level grid that movement, spells and the presentation ask every frame.
// Positions are world units; a position off the grid (outside 0..8191) answers as solid rock.

// The floor under (x, y) for something at height z: the storey split when z is at or above it.
// exact 0 subtracts the liquid depth. z -1000 gives the lowest floor of the cell.
int GetFloorHeight(int x, int y, int z, int exact);
// The local player's eye height standing there.
int GetStandHeight(int x, int y, int z);
int GetCeilingHeight(int x, int y, int z);
// The cell's storey split (the upper storey's floor).
int GetStoreySplit(int x, int y);
// 0 when either cell has no room or they cannot see each other, 1 same room, 2 seen by mask.
int AreasSeeEachOther(int x1, int y1, int x2, int y2);
// 0 unseen, 1 in a visible room but off screen, 2 on screen.
int CheckLineOfSight(int figure, int x, int y, int z, int height, int width, int exact);
