#include "engine/render/portal/sg_room.h"

#include <vector>

#include "engine/core/sg_camera.h"
#include "engine/core/sg_registry.h"
#include "engine/core/sg_stream.h"
#include "engine/geometry/sg_special_nodes.h"

namespace {

// Link id lists of the room's own record: after the node's three.
constexpr int kWallIds = 3;
constexpr int kGroupRoomIds = 3;

template <class T>
void SaveIds(SgSceneStream& s, const SgRefList<T>& list) {
    s.WriteU32(list.Count());
    for (auto* n = list.Head(); n; n = n->next)
        s.WriteLinkId(n->item.Get());
}

template <class T>
void ResolveInto(SgSceneStream& s, const SgPtrArray<uint32_t>* ids, SgRefList<T>& list) {
    if (!ids)
        return;
    for (uint32_t i = 0; i < ids->UsedSize(); ++i)
        if (T* item = s.Resolve<T>(ids->At(i)))
            list.Append(item);
}

template <class T>
void RegisterAll(SgSceneStream& s, const SgRefList<T>& list) {
    for (auto* n = list.Head(); n; n = n->next)
        if (n->item)
            n->item->RegisterInStream(s);
}

template <class T>
bool SameLists(const SgRefList<T>& a, const SgRefList<T>& b) {
    if (a.Count() != b.Count())
        return false;
    for (auto *x = a.Head(), *y = b.Head(); x && y; x = x->next, y = y->next)
        if (!SgSameObjects(x->item.Get(), y->item.Get()))
            return false;
    return true;
}

// The rooms and groups being compared on this thread: a file may make their lists reach back to
// themselves, and such a comparison holds for the inner visit.
class ComparisonGuard {
public:
    explicit ComparisonGuard(const SgObject* object) {
        for (const SgObject* o : Visiting())
            if (o == object)
                repeated_ = true;
        if (!repeated_)
            Visiting().push_back(object);
    }
    ~ComparisonGuard() {
        if (!repeated_)
            Visiting().pop_back();
    }
    bool Repeated() const { return repeated_; }

private:
    static std::vector<const SgObject*>& Visiting() {
        static thread_local std::vector<const SgObject*> visiting;
        return visiting;
    }
    bool repeated_ = false;
};

// Takes every child out of the node, last slot first, so the child array ends up empty.
void RemoveAllChildren(SgNode* node) {
    for (uint32_t i = node->ChildCount(); i-- > 0;)
        node->RemoveChildAt(i);
}

}  // namespace

// ---- Link record ----

constinit SgTypeRecord SgRoomLinkIdData::typeRecord{"SgRoomLinkIdData", &SgLinkIdData3::typeRecord};

const SgTypeRecord* SgRoomLinkIdData::GetTypeRecord() const { return &typeRecord; }

SgPtrArray<uint32_t>* SgRoomLinkIdData::IdList(int i) {
    int own = i - SgLinkIdData3::ListCount();
    if (own >= 0 && own < kOwnLists)
        return &own_[own];
    return SgLinkIdData3::IdList(i);
}

// ---- SgWall ----

constinit SgTypeRecord SgWall::typeRecord{"SgWall", &SgNode::typeRecord};

int SgWall::Register() { return SgClassRegistry::Register(typeRecord, SgCreateObject<SgWall, SgLinkIdData3>); }

const SgTypeRecord* SgWall::GetTypeRecord() const { return &typeRecord; }

bool SgWall::LoadFromStream(SgSceneStream& s) {
    if (!SgNode::LoadFromStream(s))
        return false;
    modelPlane.LoadFromStream(s);
    return s.ReadOk();
}

void SgWall::SaveToStream(SgSceneStream& s) const {
    SgNode::SaveToStream(s);
    modelPlane.SaveToStream(s);
}

bool SgWall::IsEqualTo(const SgObject* other) const {
    const SgWall* o = SgKindCast<SgWall>(other);
    return o && SgNode::IsEqualTo(o) && modelPlane.IsEqualTo(o->modelPlane);
}

SgAVObject* SgWall::MakeCopy(SgAVObject* copy) {
    SgWall* wall = copy ? static_cast<SgWall*>(copy) : new SgWall;
    CopyFieldsInto(wall);
    wall->modelPlane = modelPlane;
    return wall;
}

void SgWall::AbsorbTransform(const SgMat3& rotation, const SgVec3& translation, float scale, uint8_t inParentFrame) {
    SgMat3 r;
    SgVec3 t;
    TransformInOwnFrame(rotation, translation, inParentFrame, r, t);
    SgBSPNode::MovePlane(modelPlane, r, t);
    SgNode::AbsorbTransform(rotation, translation, scale, inParentFrame);
}

void SgWall::ComposeWorldPlacement(SgWorldState* state) {
    SgNode::ComposeWorldPlacement(state);
    if (const SgWorldState* s = currentState_)
        worldPlane_ = SgBSPNode::PlaneInWorld(modelPlane, *s);
}

// ---- SgRoom ----

constinit SgTypeRecord SgRoom::typeRecord{"SgRoom", &SgNode::typeRecord};

int SgRoom::Register() { return SgClassRegistry::Register(typeRecord, SgCreateObject<SgRoom, SgRoomLinkIdData>); }

const SgTypeRecord* SgRoom::GetTypeRecord() const { return &typeRecord; }

SgRoom::~SgRoom() {
    // A portal never draws a room that is gone.
    for (SgPortal* portal : namedBy_)
        portal->room_ = nullptr;
    namedBy_.Clear();
}

bool SgRoom::LoadFromStream(SgSceneStream& s) {
    if (!SgNode::LoadFromStream(s))
        return false;
    SgLinkIdData* link = LinkRecordBase();
    for (int list = 0; list < SgRoomLinkIdData::kOwnLists; ++list)
        if (!SgLoadLinkIds(s, link ? link->IdList(kWallIds + list) : nullptr))
            return false;
    return s.ReadOk();
}

void SgRoom::LinkFromStream(SgSceneStream& s) {
    SgNode::LinkFromStream(s);
    SgLinkIdData* link = LinkRecordBase();
    if (!link)
        return;
    ResolveInto(s, link->IdList(kWallIds), walls);
    ResolveInto(s, link->IdList(kWallIds + 1), incomingPortals);
    ResolveInto(s, link->IdList(kWallIds + 2), outgoingPortals);
    ResolveInto(s, link->IdList(kWallIds + 3), contents);
}

bool SgRoom::RegisterInStream(SgSceneStream& s) {
    if (!SgNode::RegisterInStream(s))
        return false;
    RegisterAll(s, walls);
    RegisterAll(s, incomingPortals);
    RegisterAll(s, outgoingPortals);
    RegisterAll(s, contents);
    return true;
}

void SgRoom::SaveToStream(SgSceneStream& s) const {
    SgNode::SaveToStream(s);
    SaveIds(s, walls);
    SaveIds(s, incomingPortals);
    SaveIds(s, outgoingPortals);
    SaveIds(s, contents);
}

bool SgRoom::IsEqualTo(const SgObject* other) const {
    const SgRoom* o = SgKindCast<SgRoom>(other);
    ComparisonGuard guard(this);
    if (guard.Repeated())
        return o != nullptr;
    return o && SgNode::IsEqualTo(o) && SameLists(walls, o->walls) &&
           SameLists(incomingPortals, o->incomingPortals) && SameLists(outgoingPortals, o->outgoingPortals) &&
           SameLists(contents, o->contents);
}

template <class Step>
void SgRoom::WithIncomingPortalsOff(Step step) {
    // The saved flags belong to this draw: a nested draw of the same room keeps its own.
    constexpr uint32_t kInline = 16;
    uint8_t inlineFlags[kInline];
    std::vector<uint8_t> moreFlags;
    uint8_t* saved = inlineFlags;
    if (incomingPortals.Count() > kInline) {
        moreFlags.resize(incomingPortals.Count());
        saved = moreFlags.data();
    }
    uint32_t i = 0;
    for (auto* n = incomingPortals.Head(); n; n = n->next, ++i) {
        saved[i] = n->item ? n->item->enabled : 0;
        if (n->item)
            n->item->enabled = 0;
    }
    step();
    i = 0;
    for (auto* n = incomingPortals.Head(); n; n = n->next, ++i)
        if (n->item)
            n->item->enabled = saved[i];
}

void SgRoom::Draw(SgCamera* camera, SgWorldState* state) {
    WithIncomingPortalsOff([&] { SgNode::Draw(camera, state); });
}

void SgRoom::DrawOrDefer(SgCamera* camera, SgDeferredCollector* collector, SgWorldState* state) {
    WithIncomingPortalsOff([&] { SgNode::DrawOrDefer(camera, collector, state); });
}

void SgRoom::PushDeferredState(SgCamera* camera, SgWorldState* state) {
    SgNode::PushDeferredState(camera, state);
    if (camera)
        camera->deferralFlag = 0;
}

bool SgRoom::Contains(const SgVec3& point) const {
    for (auto* n = walls.Head(); n; n = n->next)
        if (n->item && n->item->WorldPlane().Distance(point) < 0.0f)
            return false;
    return true;
}

void SgRoom::RemoveAllContents() {
    RemoveAllChildren(this);
    walls.RemoveAll();
    incomingPortals.RemoveAll();
    outgoingPortals.RemoveAll();
    contents.RemoveAll();
}

void SgRoom::RebuildChildren() {
    RemoveAllChildren(this);
    for (auto* n = outgoingPortals.Head(); n; n = n->next)
        InsertChild(n->item.Get(), false);
    for (auto* n = walls.Head(); n; n = n->next)
        InsertChild(n->item.Get(), false);
    for (auto* n = contents.Head(); n; n = n->next)
        InsertChild(n->item.Get(), false);
}

// ---- SgRoomGroup ----

constinit SgTypeRecord SgRoomGroup::typeRecord{"SgRoomGroup", &SgNode::typeRecord};

int SgRoomGroup::Register() {
    return SgClassRegistry::Register(typeRecord, SgCreateObject<SgRoomGroup, SgRoomLinkIdData>);
}

const SgTypeRecord* SgRoomGroup::GetTypeRecord() const { return &typeRecord; }

bool SgRoomGroup::LoadFromStream(SgSceneStream& s) {
    if (!SgNode::LoadFromStream(s))
        return false;
    uint32_t outsideId = s.ReadU32();
    SgLinkIdData* link = LinkRecordBase();
    if (link)
        link->refId = outsideId;
    return SgLoadLinkIds(s, link ? link->IdList(kGroupRoomIds) : nullptr) && s.ReadOk();
}

void SgRoomGroup::LinkFromStream(SgSceneStream& s) {
    SgNode::LinkFromStream(s);
    SgLinkIdData* link = LinkRecordBase();
    if (!link)
        return;
    outside = s.Resolve<SgAVObject>(link->refId);
    std::vector<SgRoom*> found;
    if (const SgPtrArray<uint32_t>* ids = link->IdList(kGroupRoomIds))
        for (uint32_t i = 0; i < ids->UsedSize(); ++i)
            if (SgRoom* room = s.Resolve<SgRoom>(ids->At(i)))
                found.push_back(room);
    rooms.PrependInOrder(found.data(), found.size());
}

bool SgRoomGroup::RegisterInStream(SgSceneStream& s) {
    if (!SgNode::RegisterInStream(s))
        return false;
    if (outside)
        outside->RegisterInStream(s);
    for (SgRoom* room : rooms)
        room->RegisterInStream(s);
    return true;
}

void SgRoomGroup::SaveToStream(SgSceneStream& s) const {
    SgNode::SaveToStream(s);
    s.WriteLinkId(outside.Get());
    s.WriteU32(rooms.Count());
    for (SgRoom* room : rooms)
        s.WriteLinkId(room);
}

bool SgRoomGroup::IsEqualTo(const SgObject* other) const {
    const SgRoomGroup* o = SgKindCast<SgRoomGroup>(other);
    ComparisonGuard guard(this);
    if (guard.Repeated())
        return o != nullptr;
    return o && SgNode::IsEqualTo(o) && SgSameObjects(outside.Get(), o->outside.Get()) &&
           SgChainsMatch(rooms, o->rooms, SgSameObjects);
}

SgRef<SgRoom> SgRoomGroup::FindRoomFrom(const SgVec3& point, SgRoom* last) const {
    if (last && last->Contains(point))
        return SgRef<SgRoom>(last);
    return FindRoom(point);
}

SgRef<SgRoom> SgRoomGroup::FindRoom(const SgVec3& point) const {
    for (SgRoom* room : rooms)
        if (room->Contains(point))
            return SgRef<SgRoom>(room);
    return {};
}

SgAVObject* SgRoomGroup::Target(SgCamera* camera) {
    lastRoom = FindRoomFrom(camera->WorldLocation(), lastRoom.Get());
    if (lastRoom)
        return lastRoom.Get();
    return outside.Get();
}

void SgRoomGroup::Draw(SgCamera* camera, SgWorldState*) {
    if (!camera)
        return;
    if (SgAVObject* target = Target(camera))
        target->DrawIfVisible(camera, target->CurrentState());
}

void SgRoomGroup::DrawOrDefer(SgCamera* camera, SgDeferredCollector* collector, SgWorldState* state) {
    if (!camera)
        return;
    SgAVObject* target = Target(camera);
    if (!target)
        return;
    if (!camera->deferralFlag) {
        if (collector && collector->Accept(this, state))
            return;
        target->DrawOrDeferIfVisible(camera, collector, target->CurrentState());
        return;
    }
    if (collector) {
        target->DrawOrDeferIfVisible(camera, collector, target->CurrentState());
        return;
    }
    if (!collector_)
        if (SgDeferredCollectorFactory factory = SgGetDeferredCollectorFactory())
            collector_ = factory();
    if (!collector_) {
        target->DrawOrDeferIfVisible(camera, nullptr, target->CurrentState());
        return;
    }
    collector_->Begin(camera);
    target->DrawOrDeferIfVisible(camera, nullptr, target->CurrentState());
    collector_->End();
}

void SgRoomGroup::RemoveAllRooms() {
    for (uint32_t i = ChildCount(); i-- > 0;)
        if (SgKindCast<SgRoom>(ChildAt(i)))
            RemoveChildAt(i);
    rooms.Clear();
    lastRoom = nullptr;
}

void SgRoomGroup::RebuildChildren() {
    RemoveAllChildren(this);
    InsertChild(outside.Get(), false);
    for (SgRoom* room : rooms)
        InsertChild(room, false);
}
