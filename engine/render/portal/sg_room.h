#pragma once
// Portal visibility: a level is divided into convex rooms joined by portals.
// - SgRoomGroup holds the rooms; each draw finds the room holding the camera and draws only it
//   (or, in no room, the outside object), and the room reaches its neighbours through portals.
// - SgRoom is a node whose children are its contents; while it is drawn the portals that lead
//   into it are switched off, so no drawing path enters a room twice.
// - SgWall is a node with a plane; a room's wall planes bound its volume (in front is inside).
//
// The world builder fills a room's lists and then rebuilds its children from them.

#include <cstdint>

#include "engine/core/sg_extra_data.h"
#include "engine/core/sg_lists.h"
#include "engine/core/sg_node.h"
#include "engine/render/portal/sg_portal.h"

class SgWall : public SgNode {
public:
    static SgTypeRecord typeRecord;
    static int Register();

    const SgTypeRecord* GetTypeRecord() const override;
    // The node fields, then the model plane (normal, constant).
    bool LoadFromStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;
    bool IsEqualTo(const SgObject* other) const override;

    SgAVObject* MakeCopy(SgAVObject* copy) override;
    // The plane follows the transform the children absorb.
    void AbsorbTransform(const SgMat3& rotation, const SgVec3& translation, float scale,
                         uint8_t inParentFrame) override;
    // The placement, then the world plane.
    void ComposeWorldPlacement(SgWorldState* state) override;

    const SgPlaneEq& WorldPlane() const { return worldPlane_; }

    SgPlaneEq modelPlane;

private:
    SgPlaneEq worldPlane_;
};

class SgRoom : public SgNode {
public:
    static constexpr uint32_t kNodesPerBlock = 2;

    static SgTypeRecord typeRecord;
    static int Register();

    SgRoom() = default;

    const SgTypeRecord* GetTypeRecord() const override;
    // The node fields, then four counted lists of link ids: walls, incoming portals, outgoing
    // portals, contents.
    bool LoadFromStream(SgSceneStream& stream) override;
    void LinkFromStream(SgSceneStream& stream) override;
    bool RegisterInStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;
    // The node part and the four lists pairwise.
    bool IsEqualTo(const SgObject* other) const override;

protected:
    // Clears the room of every portal that still names it.
    ~SgRoom() override;

public:
    // The node's draws with the incoming portals switched off.
    void Draw(SgCamera* camera, SgWorldState* state) override;
    void DrawOrDefer(SgCamera* camera, SgDeferredCollector* collector, SgWorldState* state) override;
    // The node's step, then no deferral below: the portal planes are gone by the time a
    // collector would draw.
    void PushDeferredState(SgCamera* camera, SgWorldState* state) override;

    // Whether the point lies in front of (or on) every wall's world plane.
    bool Contains(const SgVec3& point) const;
    // Releases every child and empties the four lists.
    void RemoveAllContents();
    // Empties the children, then inserts the outgoing portals, the walls and the contents, in
    // list order.
    void RebuildChildren();

    // The planes that bound the room.
    SgRefList<SgWall> walls{kNodesPerBlock};
    // The portals that lead into the room: switched off while it is drawn.
    SgRefList<SgPortal> incomingPortals{kNodesPerBlock};
    // The room's own portals, leading out of it.
    SgRefList<SgPortal> outgoingPortals{kNodesPerBlock};
    SgRefList<SgAVObject> contents{kNodesPerBlock};

private:
    friend class SgPortal;

    template <class Step>
    void WithIncomingPortalsOff(Step step);

    // Portals whose adjoining room this is (plain pointers; each portal keeps itself listed).
    SgPtrList<SgPortal> namedBy_;
};

class SgRoomGroup : public SgNode {
public:
    static SgTypeRecord typeRecord;
    static int Register();

    SgRoomGroup() = default;

    const SgTypeRecord* GetTypeRecord() const override;
    // The node fields, the outside object's link id, the room count and one link id per room.
    bool LoadFromStream(SgSceneStream& stream) override;
    void LinkFromStream(SgSceneStream& stream) override;
    bool RegisterInStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;
    bool IsEqualTo(const SgObject* other) const override;

    // Draws the room holding the camera, else the outside object.
    void Draw(SgCamera* camera, SgWorldState* state) override;
    void DrawOrDefer(SgCamera* camera, SgDeferredCollector* collector, SgWorldState* state) override;

    // The last room when it holds the point, else FindRoom.
    SgRef<SgRoom> FindRoomFrom(const SgVec3& point, SgRoom* last) const;
    // The first room of the chain that holds the point, or null.
    SgRef<SgRoom> FindRoom(const SgVec3& point) const;
    // Puts a room at the front of the chain.
    void AddRoom(SgRoom* room) { rooms.Prepend(room); }
    // Releases every room (children included) and forgets the last one.
    void RemoveAllRooms();
    // Empties the children, then inserts the outside object and every room of the chain.
    void RebuildChildren();

    SgRef<SgAVObject> outside;
    SgRefChain<SgRoom> rooms;
    // The room found on the previous draw: where the next search starts.
    SgRef<SgRoom> lastRoom;

private:
    // The room holding the camera, remembered for the next search; else the outside object.
    SgAVObject* Target(SgCamera* camera);
};

// The link-id record of rooms and groups: the node's three lists and four more (a room's four
// lists; a group uses the first for its rooms).
class SgRoomLinkIdData : public SgLinkIdData3 {
public:
    static constexpr int kOwnLists = 4;
    static SgTypeRecord typeRecord;
    const SgTypeRecord* GetTypeRecord() const override;
    SgPtrArray<uint32_t>* IdList(int i) override;
    int ListCount() const override { return SgLinkIdData3::ListCount() + kOwnLists; }

private:
    SgPtrArray<uint32_t> own_[kOwnLists] = {{1, 1}, {1, 1}, {1, 1}, {1, 1}};
};

// The portal library's registration list (see engine/core/sg_registry.h).
extern "C" void SgRegisterPortalClasses();
