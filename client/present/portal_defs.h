#pragma once
// The rooms and portals of a level's portal.dat: box-shaped rooms (x and y in cells, z in game
// units) joined by rectangular portals (x and y in game units once read, z as written).

#include <cstdint>

namespace present {

constexpr int kMaxRoomDefs = 512;
constexpr int kMaxPortalDefs = 512;
constexpr int32_t kOutsideRoomNumber = 65535;

struct RoomDef {
    int32_t valid;
    int32_t minx, miny, minz, maxx, maxy, maxz;
};

struct PortalDef {
    int32_t valid;
    int32_t x1, y1, z1, x2, y2, z2;
    int32_t room1, room2;  // 65535: outside
    int32_t dir;           // 0 along x, 1 along y, 2 horizontal
};

struct RoomPortalDefs {
    int32_t portalsOn;
    int32_t overlapRooms;
    RoomDef rooms[kMaxRoomDefs];
    PortalDef portals[kMaxPortalDefs];
};

// Reads "<levelDir>/portal.dat" into defs (cleared by the caller), logging each room and portal
// made; returns 1. A missing file reads as portals off with nothing in it. A record with a missing
// key, off the grid or inside out stays invalid.
int LoadRoomsAndPortals(const char* levelDir, RoomPortalDefs* defs);

}  // namespace present
