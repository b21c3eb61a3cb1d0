#include "engine/core/sg_action.h"

#include <cmath>
#include <vector>

#include "engine/core/sg_registry.h"
#include "engine/core/sg_stream.h"

namespace {

// Every save writes the action list, so actions survive a save and load of their scene.
void RegisterActions(SgSceneStream& stream) {
    for (SgAction* action : SgAction::List())
        action->RegisterInStream(stream);
}

}  // namespace

constinit SgTypeRecord SgAction::typeRecord{"SgAction", &SgObject::typeRecord};
constinit SgTypeRecord SgFlipTextures::typeRecord{"SgFlipTextures", &SgAction::typeRecord};

int SgAction::Register() {
    SgSceneStream::AddSaveHook(RegisterActions);
    return SgClassRegistry::Register(typeRecord, SgCreateAbstract);
}

int SgFlipTextures::Register() { return SgClassRegistry::Register(typeRecord, SgCreateObject<SgFlipTextures>); }

const SgTypeRecord* SgAction::GetTypeRecord() const { return &typeRecord; }
const SgTypeRecord* SgFlipTextures::GetTypeRecord() const { return &typeRecord; }

SgRefChain<SgAction>& SgAction::List() {
    static SgRefChain<SgAction> list;
    return list;
}

void SgAction::LinkFromStream(SgSceneStream& s) {
    SgObject::LinkFromStream(s);
    AddToList(this);
}

void SgAction::StepAll(double time, uint32_t argument) {
    // The walk holds each action while it steps, and an action that a step took off the list is
    // not stepped any more.
    std::vector<SgRef<SgAction>> walk;
    for (SgAction* action : List())
        walk.emplace_back(action);
    for (const SgRef<SgAction>& action : walk) {
        if (!List().Contains(action.Get()))
            continue;
        if (!action->Step(time, argument))
            List().Remove(action.Get());
    }
}

// ---- Flip textures ----

int32_t SgFlipTextures::FrameAt(double time) const {
    if (!target)
        return -1;
    uint32_t n = target->ImageCount();
    double d = duration;
    // Nothing to flip, or no length to flip over (the step would divide by zero).
    if (n == 0 || !(d > 0.0) || !std::isfinite(d) || !std::isfinite(time))
        return -1;
    double last = n - 1.0;
    double e = time - startTime;
    double frame;
    switch (mode) {
    case kLoop: {
        double r = e >= 0 ? std::fmod(e, d) : d - std::fmod(-e, d);
        frame = last * r / d;
        break;
    }
    case kBackAndForth: {
        e = std::fabs(e);
        double k = std::trunc(e / d);
        double r = std::fmod(e, d);
        frame = std::fmod(k, 2.0) == 0 ? last * r / d : last * (d - r) / d;
        break;
    }
    case kOnce:
        if (time <= startTime)
            frame = 0;
        else if (startTime + d <= time)
            frame = last;
        else
            frame = last * e / d;
        break;
    default:
        return -1;
    }
    // Rounding at the ends of a pass cannot leave the frames.
    frame = std::trunc(frame);
    if (frame < 0)
        frame = 0;
    if (frame > last)
        frame = last;
    return static_cast<int32_t>(frame);
}

bool SgFlipTextures::Step(double time, uint32_t) {
    int32_t frame = FrameAt(time);
    if (frame >= 0)
        target->currentIndex = frame;
    return true;
}

bool SgFlipTextures::LoadFromStream(SgSceneStream& s) {
    if (!SgAction::LoadFromStream(s))
        return false;
    mode = s.ReadU32();
    factor = s.ReadF32();
    startTime = s.ReadF32();
    duration = s.ReadF32();
    uint32_t id = s.ReadU32();
    if (SgLinkIdData* link = LinkRecordBase())
        link->refId = id;
    return s.ReadOk();
}

void SgFlipTextures::LinkFromStream(SgSceneStream& s) {
    SgAction::LinkFromStream(s);
    if (SgLinkIdData* link = LinkRecordBase())
        target = s.Resolve<SgTextureProperty>(link->refId);
}

bool SgFlipTextures::RegisterInStream(SgSceneStream& s) {
    if (!SgAction::RegisterInStream(s))
        return false;
    // Without this the target's link would be written as 0 when nothing else holds it.
    if (target)
        target->RegisterInStream(s);
    return true;
}

void SgFlipTextures::SaveToStream(SgSceneStream& s) const {
    SgAction::SaveToStream(s);
    s.WriteU32(mode);
    s.WriteF32(factor);
    s.WriteF32(startTime);
    s.WriteF32(duration);
    s.WriteLinkId(target.Get());
}

bool SgFlipTextures::IsEqualTo(const SgObject* other) const {
    const SgFlipTextures* o = SgKindCast<SgFlipTextures>(other);
    return o && SgAction::IsEqualTo(o) && o->mode == mode && o->factor == factor && o->startTime == startTime &&
           o->duration == duration && SgSameObjects(target.Get(), o->target.Get());
}
