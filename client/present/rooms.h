#pragma once
// Rooms and portals of the arena, the lookups of the room that holds a point (figures, lights,
// the sky, the debug commands), and the counting walks of world.log and the statistics overlay.
// Engine points are (game x, game y, -game z) x 0.01.

#include <cstddef>

#include "client/present/portal_defs.h"
#include "client/present/world_tables.h"
#include "engine/core/sg_light.h"

namespace present {

// A new room in the slot, at the front of the group, with its contents node (in its content list)
// holding its static and object nodes, its room data and the nodes' back pointers. The outside
// room's data names no contents node. Null without a group.
SgRoom* CreateGroupRoom(SgRef<SgRoom>& slot, bool outside);
// The outside room: everything at game height 768 and above, and the sky.
SgRoom* BuildOutsideRoom();
// Six inward walls of room i (bounds box kept in its room data).
void BuildRoomWalls(const RoomPortalDefs& defs, int room);
// The two engine portals of portal j, one standing in each room it joins.
void BuildRoomPortals(const RoomPortalDefs& defs, int portal);

// The node to hang a figure under: the object node of the room holding the point, else the
// world root. The hint is the figure's current parent (its room is tried first).
SgNode* FindRoomAtPoint(float x, float y, float z, SgNode* hint);
// Adds the light to the lit lists of the nodes around the point.
void LightRoomsNearPoint(SgLight* light, float x, float y, SgNode* hint);
// 1 after inserting the node under the outside room's static node; 0 without one.
int AttachToSkyNode(SgAVObject* node);
int PlaceSkyNode(float x, float y, float z);
void ReleaseWorldRooms();

// Debug, in game units. Appends "#%d " for each room whose box holds the point strictly, never
// writing past size bytes; returns 1.
int ListRoomsAtPoint(int x, int y, int z, char* text, size_t size);
int CountNodesInRoomAt(int x, int y, int z);

int CountGeometries(const SgObject* object);
int CountTriangles(const SgObject* object);
int CountVertices(const SgObject* object);
// Nodes and leaves of the subtree, the object itself included.
int CountNodes(const SgObject* object);
// Planes and vertex normals of every triangle geometry in the subtree.
void PrepareGeometry(SgObject* object);

}  // namespace present
