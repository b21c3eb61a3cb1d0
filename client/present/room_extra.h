#pragma once
// The game's own extra data that ties a room and its three nodes together without searches: on
// each room its object, static and contents nodes and its bounds box; on each of those nodes the
// room it belongs to. Neither is registered: a saved scene reads them back as plain, empty extra
// data, as the world is always rebuilt from the level's files.

#include "engine/core/sg_extra_data.h"
#include "engine/core/sg_math.h"
#include "engine/core/sg_node.h"

class SgRoom;

class SgRoomExtraData : public SgExtraData {
public:
    static SgTypeRecord typeRecord;

    const SgTypeRecord* GetTypeRecord() const override;
    void SetBounds(const SgVec3& low, const SgVec3& high);

    // Plain pointers: the room and its nodes hold the references.
    SgNode* objectNode = nullptr;
    SgNode* staticNode = nullptr;
    SgNode* contentsNode = nullptr;
    // x low, x high, y low, y high, z low, z high (engine units).
    float bounds[6] = {};
};

class SgRoomPointerExtraData : public SgExtraData {
public:
    static SgTypeRecord typeRecord;

    explicit SgRoomPointerExtraData(SgRoom* owner = nullptr) : room(owner) {}
    const SgTypeRecord* GetTypeRecord() const override;

    SgRoom* room = nullptr;
};

namespace present {

// The object's first extra data when it is a room's; null otherwise (any other kind counts as no
// room).
SgRoomExtraData* RoomDataOf(const SgObject* object);
// The room the node's first extra data names; null otherwise.
SgRoom* RoomPointerOf(const SgObject* object);

}  // namespace present
