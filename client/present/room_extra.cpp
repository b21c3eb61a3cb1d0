#include "client/present/room_extra.h"

#include "engine/core/sg_object.h"

constinit SgTypeRecord SgRoomExtraData::typeRecord{"SgRoomExtraData", &SgExtraData::typeRecord};
constinit SgTypeRecord SgRoomPointerExtraData::typeRecord{"SgRoomPointerExtraData", &SgExtraData::typeRecord};

const SgTypeRecord* SgRoomExtraData::GetTypeRecord() const { return &typeRecord; }

void SgRoomExtraData::SetBounds(const SgVec3& low, const SgVec3& high) {
    bounds[0] = low.x;
    bounds[1] = high.x;
    bounds[2] = low.y;
    bounds[3] = high.y;
    bounds[4] = low.z;
    bounds[5] = high.z;
}

const SgTypeRecord* SgRoomPointerExtraData::GetTypeRecord() const { return &typeRecord; }

namespace present {

SgRoomExtraData* RoomDataOf(const SgObject* object) {
    SgExtraData* head = object ? object->ExtraHead() : nullptr;
    return head && head->IsExactly(&SgRoomExtraData::typeRecord) ? static_cast<SgRoomExtraData*>(head) : nullptr;
}

SgRoom* RoomPointerOf(const SgObject* object) {
    SgExtraData* head = object ? object->ExtraHead() : nullptr;
    return head && head->IsExactly(&SgRoomPointerExtraData::typeRecord)
               ? static_cast<SgRoomPointerExtraData*>(head)->room
               : nullptr;
}

}  // namespace present
