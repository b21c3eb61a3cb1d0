#pragma once
// The sample installation's portal level, "sgfs/rooms.sgf": a room group of three rooms in a row
// along +x, each a box 10 units wide (room i spans x 10i-5 .. 10i+5, y and z -5 .. 5) bounded by
// six walls, with portals both ways between neighbours (an opening 6 high and 4 wide in the
// shared wall), a textured floor and a marker in each room, a multi-textured panel on room 0's
// north wall, and an outside object west of the rooms (a square facing -x at x = -12).

#include <cstdint>
#include <vector>

#include "engine/geometry/sg_tri_shape.h"
#include "engine/render/portal/sg_room.h"

inline constexpr const char* kRoomModelFile = "sgfs/rooms.sgf";

struct RoomModel {
    static constexpr int kRooms = 3;
    static constexpr float kHalfOpeningHeight = 3.0f;
    static constexpr float kHalfOpeningWidth = 2.0f;

    SgRef<SgRoomGroup> group;
    SgRef<SgRoom> rooms[kRooms];
    // forward[i] leads from room i into room i + 1, backward[i] from room i + 1 into room i.
    SgRef<SgPortal> forward[kRooms - 1];
    SgRef<SgPortal> backward[kRooms - 1];
    SgRef<SgTriShape> floors[kRooms];
    // A small quad facing -x in the middle of each room, at x = 10i + 3.
    SgRef<SgTriShape> markers[kRooms];
    SgRef<SgTriShape> outside;
    // Room 0's multi-textured panel on its north wall.
    SgRef<SgTriShape> mural;
};

// The corners of an opening in the plane x = x0, centred on the x axis, in the order that puts
// the inside on the passing side for a viewer looking along +x (towardPlusX) or -x.
void OpeningCorners(float x0, float halfHeight, float halfWidth, bool towardPlusX, SgVec3 out[4]);

RoomModel BuildRoomModel();
// The group saved as one top-level object.
std::vector<uint8_t> RoomModelBytes();
