#pragma once
// The arena's world: its root node under the scene root, the room group and rooms by portal.dat
// number, the outside room that holds the sky, the block nodes used when portals are off, and the
// mode. A level's scene lives from world creation to the reset before the next level; every room
// lookup falls back to the world root.

#include <cstdint>

#include "engine/core/sg_node.h"
#include "engine/render/portal/sg_room.h"

namespace present {

constexpr int kRoomTableSize = 512;
constexpr int kBlockSide = 32;              // blocks on a side of the grid
constexpr int kBlockCount = kBlockSide * kBlockSide;
constexpr int kBlockUnits = 256;            // game units on a block's side (4 cells)
constexpr int kGridBlockNodeCount = 64;

struct WorldTables {
    SgRef<SgNode> worldRoot;
    SgRef<SgRoomGroup> roomGroup;
    SgRef<SgRoom> roomTable[kRoomTableSize];
    SgRef<SgRoom> outsideRoom;
    SgRef<SgNode> blockTable[kBlockCount];
    SgRef<SgNode> gridBlockNodes[kGridBlockNodeCount];
    int32_t portalMode = 0;
    // The low corner (cells) of the room being built: texture coordinates count cells from it.
    int32_t roomOriginX = 0, roomOriginY = 0;
    // 1 while an arena world (or the menu preview scene) exists.
    int32_t sceneActive = 0;
};

WorldTables& World();

struct GridFixture { int32_t figure, scale, flip; float time; int32_t timerRate, light, x, y, z; };
constexpr int kGridFixtures = 50;
extern GridFixture GridFixtureTable[kGridFixtures];
extern int32_t ViewMode;
int IsSceneActive();

}  // namespace present
