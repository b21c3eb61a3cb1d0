#include "client/present/world_rooms.h"

#include <cstdio>

#include "client/present/camera_set.h"
#include "client/present/cell_faces.h"
#include "client/present/room_extra.h"
#include "client/present/rooms.h"
#include "client/present/screen_tint.h"
#include "client/present/thin_walls.h"
#include "client/present/tiles.h"
#include "client/present/world_lighting.h"
#include "client/present/tile_mesh.h"
#include "client/present/world_files.h"
#include "client/present/world_tables.h"
#include "engine/geometry/sg_tri_shape.h"
#include "platform/fs/fs.h"

namespace present {

namespace {

constexpr int kOpenLimit = 1000;

struct Totals {
    int geometries = 0, triangles = 0, vertices = 0;
};

int Slot(const int16_t* layer, int cell) { return GridLayers::Byte(layer, cell); }

// Visits the rectangle in 2 x 2 blocks (blocks by x, then y; within a block x first).
template <class Visit>
void InBlocks(int minx, int maxx, int miny, int maxy, Visit&& visit) {
    for (int bx = minx; bx <= maxx; bx += 2)
        for (int by = miny; by <= maxy; by += 2)
            for (int i = 0; i < 2 && bx + i <= maxx; ++i)
                for (int j = 0; j < 2 && by + j <= maxy; ++j)
                    visit(bx, by, i, j);
}

// A row or column of neighbours in steps of 2 as the blocks visit them.
template <class Visit>
void Line(int from, int to, Visit&& visit) {
    for (int a = from; a <= to; a += 2)
        for (int k = 0; k < 2 && a + k <= to; ++k)
            visit(a + k);
}

// What a plane pass did at a cell: a single quad or nothing, a merged block, a merged pair.
enum class Merged { kNone, kBlock, kPair };

// The plane passes' order: 2 x 2 blocks, where a merged block ends its block and a merged pair
// the rest of its row.
template <class Cell>
void PlanePass(const RoomDef& r, Cell&& cell) {
    bool blockDone = false, rowSkipped = false;
    int lastX = -1, lastY = -1;
    InBlocks(r.minx, r.maxx, r.miny, r.maxy, [&](int bx, int by, int i, int j) {
        if (bx != lastX || by != lastY) {
            lastX = bx, lastY = by;
            blockDone = false;
        }
        if (j == 0)
            rowSkipped = false;
        if (blockDone || rowSkipped)
            return;
        const Merged m = cell(bx, by, i, j);
        blockDone = m == Merged::kBlock;
        rowSkipped = m == Merged::kPair;
    });
}

void FloorPlane(SgNode* geometry, const GridLayers& g, const char* levelDir, const RoomDef& r) {
    const int minz = r.minz;
    PlanePass(r, [&](int bx, int by, int i, int j) {
        const int x = bx + i, y = by + j;
        const int c = CellIndex(x, y);
        const int tile = g.Tile(c);
        if (tile && CountFlatSubcells(g.tiles, tile) < 24 && !TileModelExists(tile, levelDir) &&
            !TileNulExists(tile, levelDir)) {
            if (g.upperFloorHeight[c] == minz)
                AddFloorQuad(geometry, x, y, minz, Slot(g.upperFloorTexture, c), nullptr, -kOpenLimit, kOpenLimit);
            return Merged::kNone;
        }
        if (g.floorHeight[c] == minz && g.ceilingHeight[c] != g.floorHeight[c]) {
            if (i == 0 && j == 0 && bx + 1 <= r.maxx && by + 1 <= r.maxy && CanMergeFloorBlock(bx, by, g)) {
                AddFloorQuad2x2(geometry, x, y, minz, Slot(g.floorTexture, c));
                return Merged::kBlock;
            }
            if (j == 0 && by + 1 <= r.maxy && CanMergeFloorPair(x, by, g)) {
                AddFloorQuad1x2(geometry, x, y, minz, Slot(g.floorTexture, c));
                return Merged::kPair;
            }
            int corners[4];
            GetFloorSlopeCorners(corners, g, c);
            AddFloorQuad(geometry, x, y, minz, Slot(g.floorTexture, c), corners, -kOpenLimit, kOpenLimit);
            return Merged::kNone;
        }
        const int depth = GridLayers::Byte(g.liquidDepth, c);
        if (depth && g.floorHeight[c] - depth == minz) {
            int corners[4];
            GetFloorSlopeCorners(corners, g, c);
            AddFloorQuad(geometry, x, y, minz, Slot(g.lowerWallTexture, c), corners, -kOpenLimit, kOpenLimit);
            return Merged::kNone;
        }
        if (g.upperFloorHeight[c] == minz)
            AddFloorQuad(geometry, x, y, minz, Slot(g.upperFloorTexture, c), nullptr, -kOpenLimit, kOpenLimit);
        return Merged::kNone;
    });
}

void CeilingPlane(SgNode* geometry, const GridLayers& g, const RoomDef& r) {
    const int maxz = r.maxz;
    PlanePass(r, [&](int bx, int by, int i, int j) {
        const int x = bx + i, y = by + j;
        const int c = CellIndex(x, y);
        if (g.ceilingHeight[c] == maxz && g.ceilingHeight[c] != g.floorHeight[c]) {
            if (i == 0 && j == 0 && bx + 1 <= r.maxx && by + 1 <= r.maxy && CanMergeCeilingBlock(bx, by, g)) {
                AddCeilingQuad2x2(geometry, x, y, maxz, Slot(g.ceilingTexture, c));
                return Merged::kBlock;
            }
            if (j == 0 && by + 1 <= r.maxy && CanMergeCeilingPair(x, by, g)) {
                AddCeilingQuad1x2(geometry, x, y, maxz, Slot(g.ceilingTexture, c));
                return Merged::kPair;
            }
            int corners[4];
            GetCeilingSlopeCorners(corners, g, c);
            AddCeilingQuad(geometry, x, y, maxz, Slot(g.ceilingTexture, c), corners, -kOpenLimit, kOpenLimit);
            return Merged::kNone;
        }
        if (g.upperCeilingHeight[c] == maxz && g.upperCeilingHeight[c] != g.upperFloorHeight[c])
            AddCeilingQuad(geometry, x, y, maxz, Slot(g.upperCeilingTexture, c), nullptr, -kOpenLimit, kOpenLimit);
        return Merged::kNone;
    });
}

void BuildRoom(const RoomPortalDefs& defs, const GridLayers& g, const char* levelDir, int i, SgZBufferProperty* zbuffer,
               FILE* log, Totals& totals) {
    WorldTables& w = World();
    SgRoom* room = CreateGroupRoom(w.roomTable[i], false);
    if (!room)
        return;
    SgRoomExtraData* data = RoomDataOf(room);
    SgRef<SgNode> zNode(new SgNode), holder(new SgNode);
    data->staticNode->InsertChild(zNode.Get(), true);
    data->staticNode->InsertChild(holder.Get(), true);
    BuildRoomWalls(defs, i);
    zNode->properties.Prepend(zbuffer);

    const RoomDef& r = defs.rooms[i];
    SgRef<SgNode> geometry(new SgNode);
    w.roomOriginX = r.minx;
    w.roomOriginY = r.miny;
    InBlocks(r.minx, r.maxx, r.miny, r.maxy, [&](int bx, int by, int a, int b) {
        BuildCellFace(geometry.Get(), g, levelDir, bx + a, by + b, kWholeCell, r.minz, r.maxz);
    });
    Line(r.miny, r.maxy, [&](int y) { BuildCellFace(geometry.Get(), g, levelDir, r.minx - 1, y, kSideXPlus, r.minz, r.maxz); });
    Line(r.miny, r.maxy, [&](int y) { BuildCellFace(geometry.Get(), g, levelDir, r.maxx + 1, y, kSideXMinus, r.minz, r.maxz); });
    Line(r.minx, r.maxx, [&](int x) { BuildCellFace(geometry.Get(), g, levelDir, x, r.miny - 1, kSideYPlus, r.minz, r.maxz); });
    Line(r.minx, r.maxx, [&](int x) { BuildCellFace(geometry.Get(), g, levelDir, x, r.maxy + 1, kSideYMinus, r.minz, r.maxz); });
    FloorPlane(geometry.Get(), g, levelDir, r);
    CeilingPlane(geometry.Get(), g, r);
    geometry->UpdateAllStates();
    PrepareGeometry(geometry.Get());
    holder->InsertChild(geometry.Get(), true);

    if (log) {
        const int geoms = CountGeometries(data->staticNode), tris = CountTriangles(data->staticNode);
        const int verts = CountVertices(data->staticNode);
        std::fprintf(log, "Room #%d (%dx%d): geom=%d tri=%d vert=%d\n", i, r.maxx - r.minx + 1, r.maxy - r.miny + 1,
                     geoms, tris, verts);
        totals.geometries += geoms;
        totals.triangles += tris;
        totals.vertices += verts;
    }
}

void BuildBlocks(const GridLayers& g, const char* levelDir) {
    WorldTables& w = World();
    for (int bx = 0; bx < 8; ++bx) {
        for (int by = 0; by < 8; ++by) {
            SgRef<SgNode> block(new SgNode);
            w.gridBlockNodes[8 * bx + by] = block;
            w.worldRoot->InsertChild(block.Get(), true);
            for (int sx = 0; sx < 4; ++sx) {
                for (int sy = 0; sy < 4; ++sy) {
                    SgRef<SgNode> group(new SgNode);
                    w.blockTable[(4 * bx + sx) * kBlockSide + 4 * by + sy] = group;
                    block->InsertChild(group.Get(), true);
                    for (int i = 0; i < 4; ++i) {
                        for (int j = 0; j < 4; ++j) {
                            const int x = 16 * bx + 4 * sx + i, y = 16 * by + 4 * sy + j;
                            SgRef<SgNode> cell(new SgNode);
                            group->InsertChild(cell.Get(), true);
                            if (x == 0 || x == kGridSide - 1 || y == 0 || y == kGridSide - 1)
                                continue;
                            BuildCellFace(cell.Get(), g, levelDir, x, y, kWholeCell, -kOpenLimit, kOpenLimit);
                        }
                    }
                }
            }
        }
    }
}

}  // namespace

void BuildWorldRooms(const RoomPortalDefs& defs, const GridLayers& g, const char* levelDir) {
    WorldTables& w = World();
    SgTriShape::weldTolerances[0] = 0.1f;
    SgTriShape::weldTolerances[1] = 0.1f;
    SgRef<SgZBufferProperty> zbuffer(new SgZBufferProperty);
    zbuffer->depthTest = 0;
    zbuffer->depthWrite = 1;
    // A world built over one not taken apart replaces it in the scene, or both would be drawn.
    if (SgNode* sceneRoot = Cameras().sceneRoot.Get(); sceneRoot && w.worldRoot)
        sceneRoot->RemoveChild(w.worldRoot.Get());
    w.worldRoot = SgRef<SgNode>(new SgNode);
    if (SgNode* sceneRoot = Cameras().sceneRoot.Get())
        sceneRoot->InsertChild(w.worldRoot.Get(), true);
    w.portalMode = defs.portalsOn ? 1 : 0;
    FILE* log = platform::OpenGameFile("world.log", "w");
    Totals totals;

    if (w.portalMode) {
        w.roomGroup = SgRef<SgRoomGroup>(new SgRoomGroup);
        w.roomGroup->deferralMode = SgNode::kDeferralOff;
        w.worldRoot->InsertChild(w.roomGroup.Get(), false);
        w.roomGroup->outside = SgRef<SgAVObject>(new SgNode);
        w.roomGroup->RebuildChildren();
        for (int i = 0; i < kMaxRoomDefs; ++i)
            if (defs.rooms[i].valid)
                BuildRoom(defs, g, levelDir, i, zbuffer.Get(), log, totals);
        BuildOutsideRoom();
        for (int j = 0; j < kMaxPortalDefs; ++j)
            if (defs.portals[j].valid)
                BuildRoomPortals(defs, j);
    } else {
        BuildBlocks(g, levelDir);
    }

    if (SgNode* sceneRoot = Cameras().sceneRoot.Get())
        sceneRoot->UpdateAllStates();
    else
        w.worldRoot->UpdateAllStates();
    w.sceneActive = 1;
    if (log) {
        std::fprintf(log, "TOTALS: geom=%d tri=%d vert=%d\n", totals.geometries, totals.triangles, totals.vertices);
        std::fclose(log);
    }
}

}  // namespace present
