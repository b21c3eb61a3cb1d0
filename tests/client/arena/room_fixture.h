#pragma once
// A level fixture with an open room to move in and a maker of placed objects.

#include "tests/client/arena/level_fixture.h"

class RoomFixture : public LevelFixture {
protected:
    // Cells 0 .. side - 1 on each axis: floor 0, the ceiling, the storey split and upper ceiling.
    void Room(int side, int ceiling, int split, int upperCeiling = 0) {
        for (int cx = 0; cx < side; ++cx)
            for (int cy = 0; cy < side; ++cy) {
                const int cell = CellIndex(cx, cy);
                g_level.plane[kPlaneCeiling][cell] = static_cast<int16_t>(ceiling);
                g_level.plane[kPlaneStoreySplit][cell] = static_cast<int16_t>(split);
                g_level.plane[kPlaneUpperCeiling][cell] = static_cast<int16_t>(upperCeiling);
            }
    }
    // A live object standing at (x, y, z).
    int Object(int type, int x, int y, int z, int width, int tall) {
        const int s = Live(type, x, y);
        WorldObject& o = WorldObjectTable[s];
        o.z = static_cast<int16_t>(z);
        o.pos_x = x << 16;
        o.pos_y = y << 16;
        o.pos_z = z << 16;
        o.width = static_cast<uint16_t>(width);
        o.tall = static_cast<uint16_t>(tall);
        return s;
    }
    WorldObject& O(int s) { return WorldObjectTable[s]; }
};
