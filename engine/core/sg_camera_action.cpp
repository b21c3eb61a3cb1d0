#include "engine/core/sg_camera_action.h"

#include "engine/core/sg_camera.h"
#include "engine/core/sg_registry.h"
#include "engine/core/sg_stream.h"

constinit SgTypeRecord SgCameraAction::typeRecord{"SgCameraAction", &SgAction::typeRecord};

int SgCameraAction::Register() { return SgClassRegistry::Register(typeRecord, SgCreateAbstract); }

const SgTypeRecord* SgCameraAction::GetTypeRecord() const { return &typeRecord; }

bool SgCameraAction::LoadFromStream(SgSceneStream& s) {
    if (!SgAction::LoadFromStream(s))
        return false;
    uint32_t id = s.ReadU32();
    if (SgLinkIdData* link = LinkRecordBase())
        link->refId = id;
    return s.ReadOk();
}

void SgCameraAction::LinkFromStream(SgSceneStream& s) {
    SgAction::LinkFromStream(s);
    if (SgLinkIdData* link = LinkRecordBase())
        camera_ = s.Resolve<SgCamera>(link->refId);
}

bool SgCameraAction::RegisterInStream(SgSceneStream& s) {
    if (!SgAction::RegisterInStream(s))
        return false;
    if (camera_)
        camera_->RegisterInStream(s);
    return true;
}

void SgCameraAction::SaveToStream(SgSceneStream& s) const {
    SgAction::SaveToStream(s);
    s.WriteLinkId(camera_);
}

bool SgCameraAction::IsEqualTo(const SgObject* other) const {
    const SgCameraAction* o = SgKindCast<SgCameraAction>(other);
    if (!o || !SgAction::IsEqualTo(o))
        return false;
    if (!camera_ || !o->camera_)
        return !camera_ && !o->camera_;
    return camera_->SameView(o->camera_);
}

const SgTypeRecord* CameraFollowAction::GetTypeRecord() const { return &SgCameraAction::typeRecord; }

bool CameraFollowAction::Step(double, uint32_t) {
    if (!target)
        return false;
    if (!camera_)
        return true;
    const SgMat3& axes = camera_->WorldAxes();
    SgVec3 xAxis{axes.m[0], axes.m[1], axes.m[2]};
    target->localTranslation = camera_->WorldLocation() + xAxis * (2.0f * camera_->localEye.x);
    if (SgWorldState* state = camera_->CurrentState())
        target->localRotation = state->worldRotation;
    target->UpdateAllStates();
    return true;
}
