#include "client/present/rooms.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "client/present/room_extra.h"
#include "engine/core/sg_geometry.h"
#include "engine/geometry/sg_tri_based_geom.h"
#include "engine/render/portal/sg_portal.h"

namespace present {

namespace {

constexpr double kCellEngine = 0.64;
constexpr double kHalfCellEngine = 0.32;
constexpr double kUnitEngine = 0.01;
constexpr float kSkyTurn = 3.14159012f;
constexpr int kGridUnits = 8192;

// The room a portal end names: a table entry, the outside room for 65535, none otherwise.
SgRoom* PortalEnd(int32_t number) {
    WorldTables& w = World();
    if (number == kOutsideRoomNumber)
        return w.outsideRoom.Get();
    if (number < 0 || number >= kRoomTableSize)
        return nullptr;
    return w.roomTable[number].Get();
}

template <class T>
bool ListHolds(SgRefList<T>& list, const T* item) {
    for (auto* n = list.Head(); n; n = n->next)
        if (n->item.Get() == item)
            return true;
    return false;
}

template <class T>
void AddOnce(SgRoom* room, SgRefList<T>& list, T* item) {
    if (ListHolds(list, item))
        return;
    list.Append(item);
    room->RebuildChildren();
}

// Game units of an engine coordinate, truncated; false when not a number or off the grid.
bool GameUnits(float engine, int* out) {
    const double units = std::trunc(double(engine) * 100.0);
    if (!(units >= 0.0 && units < kGridUnits))
        return false;
    *out = static_cast<int>(units);
    return true;
}

void LightRoomNodes(SgLight* light, SgRoom* room) {
    SgRoomExtraData* data = RoomDataOf(room);
    if (!data)
        return;
    if (data->objectNode)
        light->AddLitNode(data->objectNode);
    if (data->staticNode)
        light->AddLitNode(data->staticNode);
}

SgNode* SkyNode() {
    SgRoomExtraData* data = RoomDataOf(World().outsideRoom.Get());
    return data ? data->staticNode : nullptr;
}

template <class Count>
int SumOverChildren(const SgObject* object, Count count) {
    const SgNode* node = SgKindCast<SgNode>(object);
    if (!node)
        return 0;
    int sum = 0;
    for (uint32_t i = 0; i < node->ChildCount(); ++i)
        if (SgAVObject* child = node->ChildAt(i))
            sum += count(child);
    return sum;
}

SgVec3 EnginePoint(int x, int y, int z) {
    return SgVec3(static_cast<float>(x * kUnitEngine), static_cast<float>(y * kUnitEngine),
                  static_cast<float>(-z * kUnitEngine));
}

}  // namespace

// ---- Construction ----

SgRoom* CreateGroupRoom(SgRef<SgRoom>& slot, bool outside) {
    SgRoomGroup* group = World().roomGroup.Get();
    if (!group)
        return nullptr;
    slot = SgRef<SgRoom>(new SgRoom);
    SgRoom* room = slot.Get();
    if (!group->rooms.Contains(room)) {
        group->AddRoom(room);
        group->RebuildChildren();
    }
    SgRef<SgNode> contents(new SgNode), statics(new SgNode), objects(new SgNode);
    // Blended figures and faces below may be sorted by the deferral pass.
    contents->deferralMode = SgNode::kDeferralOn;
    AddOnce(room, room->contents, static_cast<SgAVObject*>(contents.Get()));
    contents->InsertChild(statics.Get(), true);
    contents->InsertChild(objects.Get(), true);
    auto* data = new SgRoomExtraData;
    data->objectNode = objects.Get();
    data->staticNode = statics.Get();
    data->contentsNode = outside ? nullptr : contents.Get();
    room->SetExtraHead(data);
    statics->SetExtraHead(new SgRoomPointerExtraData(room));
    objects->SetExtraHead(new SgRoomPointerExtraData(room));
    contents->SetExtraHead(new SgRoomPointerExtraData(room));
    return room;
}

SgRoom* BuildOutsideRoom() {
    SgRoom* room = CreateGroupRoom(World().outsideRoom, true);
    if (!room)
        return nullptr;
    SgRef<SgWall> wall(new SgWall);
    wall->modelPlane = SgPlaneEq(SgVec3(0, 0, -1), 7.68f);
    AddOnce(room, room->walls, wall.Get());
    return room;
}

void BuildRoomWalls(const RoomPortalDefs& defs, int i) {
    if (i < 0 || i >= kRoomTableSize)
        return;
    SgRoom* room = World().roomTable[i].Get();
    if (!room)
        return;
    const RoomDef& r = defs.rooms[i];
    const double shrink = defs.overlapRooms ? kHalfCellEngine : 0.0;
    const SgPlaneEq planes[6] = {
        {SgVec3(1, 0, 0), static_cast<float>(r.minx * kCellEngine + shrink)},
        {SgVec3(-1, 0, 0), static_cast<float>(-((r.maxx + 1) * kCellEngine - shrink))},
        {SgVec3(0, 1, 0), static_cast<float>(r.miny * kCellEngine + shrink)},
        {SgVec3(0, -1, 0), static_cast<float>(-((r.maxy + 1) * kCellEngine - shrink))},
        {SgVec3(0, 0, -1), static_cast<float>(r.minz * kUnitEngine)},
        {SgVec3(0, 0, 1), static_cast<float>(-(r.maxz * kUnitEngine))},
    };
    for (const SgPlaneEq& plane : planes) {
        SgRef<SgWall> wall(new SgWall);
        wall->modelPlane = plane;
        AddOnce(room, room->walls, wall.Get());
    }
    if (SgRoomExtraData* data = RoomDataOf(room)) {
        data->SetBounds(SgVec3(static_cast<float>(r.minx * kCellEngine), static_cast<float>(r.miny * kCellEngine),
                               static_cast<float>(-(r.minz * kUnitEngine))),
                        SgVec3(static_cast<float>((r.maxx + 1) * kCellEngine),
                               static_cast<float>((r.maxy + 1) * kCellEngine),
                               static_cast<float>(-(r.maxz * kUnitEngine))));
    }
}

void BuildRoomPortals(const RoomPortalDefs& defs, int j) {
    if (j < 0 || j >= kMaxPortalDefs)
        return;
    const PortalDef& p = defs.portals[j];
    SgRoom* a = PortalEnd(p.room1);
    SgRoom* b = PortalEnd(p.room2);
    if (!a || !b)
        return;
    const float x1 = static_cast<float>(p.x1 * kUnitEngine), y1 = static_cast<float>(p.y1 * kUnitEngine);
    const float x2 = static_cast<float>(p.x2 * kUnitEngine), y2 = static_cast<float>(p.y2 * kUnitEngine);
    const float z1 = static_cast<float>(-p.z1 * kUnitEngine), z2 = static_cast<float>(-p.z2 * kUnitEngine);
    SgVec3 towardB[4], towardA[4];
    if (p.dir == 2) {
        towardB[0] = SgVec3(x1, y1, z1), towardB[1] = SgVec3(x1, y2, z1);
        towardB[2] = SgVec3(x2, y2, z1), towardB[3] = SgVec3(x2, y1, z1);
        towardA[0] = SgVec3(x1, y1, z1), towardA[1] = SgVec3(x2, y1, z1);
        towardA[2] = SgVec3(x2, y2, z1), towardA[3] = SgVec3(x1, y2, z1);
    } else {
        towardB[0] = SgVec3(x1, y1, z1), towardB[1] = SgVec3(x2, y2, z1);
        towardB[2] = SgVec3(x2, y2, z2), towardB[3] = SgVec3(x1, y1, z2);
        towardA[0] = SgVec3(x1, y1, z1), towardA[1] = SgVec3(x1, y1, z2);
        towardA[2] = SgVec3(x2, y2, z2), towardA[3] = SgVec3(x2, y2, z1);
    }
    SgRef<SgPortal> p1(new SgPortal(4, towardB, b, 1));
    SgRef<SgPortal> p2(new SgPortal(4, towardA, a, 1));
    SgRoom* outside = World().outsideRoom.Get();
    if (a != outside)
        AddOnce(a, a->outgoingPortals, p1.Get());
    AddOnce(a, a->incomingPortals, p2.Get());
    if (b != outside)
        AddOnce(b, b->outgoingPortals, p2.Get());
    AddOnce(b, b->incomingPortals, p1.Get());
}

// ---- Lookups ----

SgNode* FindRoomAtPoint(float x, float y, float z, SgNode* hint) {
    WorldTables& w = World();
    if (!w.portalMode) {
        int gx = 0, gy = 0;
        if (!GameUnits(x, &gx) || !GameUnits(y, &gy))
            return w.worldRoot.Get();
        SgNode* block = w.blockTable[(gx / kBlockUnits) * kBlockSide + gy / kBlockUnits].Get();
        return block ? block : w.worldRoot.Get();
    }
    if (!w.roomGroup)
        return w.worldRoot.Get();
    const SgVec3 point(x, y, z);
    SgRoom* last = RoomPointerOf(hint);
    SgRef<SgRoom> room = last ? w.roomGroup->FindRoomFrom(point, last) : w.roomGroup->FindRoom(point);
    SgRoomExtraData* data = RoomDataOf(room.Get());
    if (!data || !data->objectNode)
        return w.worldRoot.Get();
    return data->objectNode;
}

void LightRoomsNearPoint(SgLight* light, float x, float y, SgNode* hint) {
    if (!light)
        return;
    WorldTables& w = World();
    if (w.portalMode) {
        SgRoom* room = RoomPointerOf(hint);
        if (!room)
            return;
        LightRoomNodes(light, room);
        for (auto* n = room->outgoingPortals.Head(); n; n = n->next)
            if (SgPortal* portal = n->item.Get(); portal && portal->AdjoiningRoom())
                LightRoomNodes(light, portal->AdjoiningRoom());
        return;
    }
    int gx = 0, gy = 0;
    if (!GameUnits(x, &gx) || !GameUnits(y, &gy))
        return;
    const int b = (gx / kBlockUnits) * kBlockSide + gy / kBlockUnits;
    if (b < 33 || b > 991)
        return;
    const int around[9] = {b - 33, b - 32, b - 31, b - 1, b, b + 1, b + 31, b + 32, b + 33};
    for (int n : around) {
        // The last block of the grid has no neighbour past it.
        if (n < 0 || n >= kBlockCount)
            continue;
        if (SgNode* block = w.blockTable[n].Get())
            light->AddLitNode(block);
    }
}

int AttachToSkyNode(SgAVObject* node) {
    SgNode* sky = SkyNode();
    if (!sky)
        return 0;
    sky->InsertChild(node, true);
    return 1;
}

int PlaceSkyNode(float x, float y, float z) {
    SgNode* sky = SkyNode();
    if (!sky)
        return 0;
    const float c = std::cos(kSkyTurn), s = std::sin(kSkyTurn);
    float* m = sky->localRotation.m;
    m[0] = c, m[1] = 0, m[2] = -s;
    m[3] = 0, m[4] = 1, m[5] = 0;
    m[6] = s, m[7] = 0, m[8] = c;
    sky->localTranslation = SgVec3(x, y, z);
    sky->UpdateAllStates();
    return 1;
}

void ReleaseWorldRooms() {
    WorldTables& w = World();
    w.worldRoot = nullptr;
    for (auto& node : w.gridBlockNodes)
        node = nullptr;
    for (auto& block : w.blockTable)
        block = nullptr;
    w.roomGroup = nullptr;
    for (auto& room : w.roomTable)
        room = nullptr;
    w.outsideRoom = nullptr;
}

// ---- Debug ----

int ListRoomsAtPoint(int x, int y, int z, char* text, size_t size) {
    if (!text || size == 0)
        return 1;
    const SgVec3 p = EnginePoint(x, y, z);
    size_t used = strnlen(text, size);
    if (used >= size)
        return 1;
    for (int i = 0; i < kRoomTableSize; ++i) {
        const SgRoomExtraData* data = RoomDataOf(World().roomTable[i].Get());
        if (!data)
            continue;
        const float* b = data->bounds;
        // z low is the larger number: the box runs from the room's floor down the engine's z.
        if (!(p.x > b[0] && p.x < b[1] && p.y > b[2] && p.y < b[3] && p.z > b[5] && p.z < b[4]))
            continue;
        char entry[16];
        const int n = std::snprintf(entry, sizeof entry, "#%d ", i);
        if (used + static_cast<size_t>(n) >= size)
            break;
        std::memcpy(text + used, entry, static_cast<size_t>(n) + 1);
        used += static_cast<size_t>(n);
    }
    return 1;
}

int CountNodesInRoomAt(int x, int y, int z) {
    const SgVec3 p = EnginePoint(x, y, z);
    return CountNodes(FindRoomAtPoint(p.x, p.y, p.z, nullptr));
}

// ---- Counting walks ----

int CountGeometries(const SgObject* object) {
    if (SgKindCast<SgTriBasedGeom>(object))
        return 1;
    return SumOverChildren(object, CountGeometries);
}

int CountTriangles(const SgObject* object) {
    if (const auto* geometry = SgKindCast<SgTriBasedGeom>(object))
        return geometry->TriangleCount();
    return SumOverChildren(object, CountTriangles);
}

int CountVertices(const SgObject* object) {
    if (const auto* geometry = SgKindCast<SgGeometry>(object))
        return geometry->VertexCount();
    return SumOverChildren(object, CountVertices);
}

int CountNodes(const SgObject* object) {
    if (!object)
        return 0;
    return 1 + SumOverChildren(object, CountNodes);
}

void PrepareGeometry(SgObject* object) {
    if (auto* geometry = SgKindCast<SgTriBasedGeom>(object)) {
        geometry->ComputePlanes();
        geometry->ComputeNormalsFromPlanes();
        return;
    }
    auto* node = SgKindCast<SgNode>(object);
    if (!node)
        return;
    for (uint32_t i = 0; i < node->ChildCount(); ++i)
        if (SgAVObject* child = node->ChildAt(i))
            PrepareGeometry(child);
}

}  // namespace present
