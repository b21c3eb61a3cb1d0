#include "client/present/figure_animation.h"

#include "client/arena/grid_queries.h"
#include "client/arena/local_player.h"
#include "client/arena/player_status.h"
#include "client/arena/player_view.h"
#include "client/arena/world_object.h"
#include "client/present/figure_anim_state.h"
#include "client/present/figure_attach.h"
#include "client/present/figure_tree.h"
#include "engine/animation/sg_3ds_animation_node.h"
#include "engine/animation/sg_3ds_animators.h"
#include "engine/animation/sg_3ds_morph_shape.h"
#include "engine/animation/sg_3ds_particle_system.h"
#include "engine/animation/sg_3ds_path_controller.h"
#include "engine/geometry/sg_tri_shape.h"

namespace present {

const char* const kBoneNames[kBoneCount] = {
    "Bip01",           "Bip01 Pelvis",     "Bip01 Spine",     "Bip01 Neck",      "Bip01 Head",
    "Bip01 L Clavicle", "Bip01 L UpperArm", "Bip01 L Forearm", "Bip01 R Clavicle", "Bip01 R UpperArm",
    "Bip01 R Forearm", "Bip01 L Thigh",    "Bip01 L Calf",    "Bip01 L Foot",    "Bip01 R Thigh",
    "Bip01 R Calf",    "Bip01 R Foot",     "Bip01 L Hand",    "Bip01 R Hand",    "Bip01 L Finger0",
    "Bip01 R Finger0", "Bip01 Ext01",      "Bip01 Ext02",     "Bip01 Ext03",     "Bip01 Ext04",
    "Bip01 Ext05",     "Bip01 Ext06",      "Bip01 Ext07",     "Bip01 Ext08",     "Bip01 Ext09",
    "Bip01 Ext10",     "Bip01 Ext11",
};

namespace {

bool ArmsOnlyBone(int i) { return (i >= 5 && i <= 10) || i >= 17; }

bool HasPlacementKeys(const Sg3dsAnimationNode* node) {
    return node->RotationKeyCount() || node->PositionKeyCount() || node->ScaleKeyCount() ||
           node->VisibilityKeyCount();
}

template <class T>
T* CastTo(SgObject* o, bool exact) {
    return exact ? SgExactCast<T>(o) : SgKindCast<T>(o);
}

// The five classes the animator lists hold, by exact class or by kind.
SgAnimationTiming* AnimatedClassTiming(SgObject* o, bool exact) {
    if (auto* keyed = CastTo<Sg3dsAnimationNode>(o, exact))
        return keyed;
    if (auto* particles = CastTo<Sg3dsParticleSystem>(o, exact))
        return particles;
    if (auto* morph = CastTo<Sg3dsMorphShape>(o, exact))
        return morph;
    if (auto* env = CastTo<Sg3dsEnvMorphShape>(o, exact))
        return env;
    if (auto* path = CastTo<Sg3dsPathController>(o, exact))
        return path;
    return nullptr;
}

SgAnimationTiming* ExactAnimatedTiming(SgObject* o) { return AnimatedClassTiming(o, true); }

// The animator of an animated material property, or null.
Sg3dsPropertyAnimator* MaterialAnimator(SgProperty* property) {
    if (property->PropertyType() != SG_MATERIAL_PROPERTY)
        return nullptr;
    for (SgExtraData* e = property->ExtraHead(); e; e = e->next) {
        if (e->IsKindOf(&Sg3dsPropAnimExtraData::typeRecord))
            return static_cast<Sg3dsPropAnimExtraData*>(e)->animator.Get();
    }
    return nullptr;
}

void Append(FigureAnimatorList& list, SgObject* object) {
    for (SgObject*& entry : list) {
        if (!entry) {
            entry = object;
            return;
        }
    }
}

template <class Visit>
void ForEachInSubtree(SgObject* object, Visit visit) {
    if (!object)
        return;
    visit(object);
    if (auto* node = SgKindCast<SgNode>(object)) {
        for (uint32_t i = 0; i < node->ChildCount(); ++i)
            ForEachInSubtree(node->ChildAt(i), visit);
    }
}

bool SubtreeHoldsProperty(SgObject* root, const SgObject* property) {
    bool found = false;
    ForEachInSubtree(root, [&](SgObject* o) {
        auto* scene = SgKindCast<SgAVObject>(o);
        if (!scene || found)
            return;
        for (SgProperty* p : scene->properties)
            found |= p == property;
    });
    return found;
}

}  // namespace

SgAnimationTiming* AnimationTimingOf(SgObject* o) {
    if (SgAnimationTiming* timing = AnimatedClassTiming(o, false))
        return timing;
    return SgKindCast<Sg3dsPropertyAnimator>(o);
}

void BuildFigureBoneTable(SgObject* node, int, int boneMode) {
    SgFigureExtraData* data = GetFigureExtraData(node);
    if (!data || data->boneTable)
        return;
    data->boneTable = std::make_unique<FigureBoneTable>();
    data->boneTable->fill(nullptr);
    for (int i = 0; i < kBoneCount; ++i) {
        if (boneMode == kBoneModeArms && !ArmsOnlyBone(i))
            continue;
        (*data->boneTable)[i] = FindNamedKeyedNode(node, kBoneNames[i]);
    }
    data->boneMode = boneMode;
}

void CopyBoneKeys(Sg3dsAnimationNode* bone, const Sg3dsAnimationNode* source) {
    if (source->RotationKeyCount()) {
        bone->SetRotationKeys(source->RotationKeys().Data(), source->RotationKeyCount(), true);
    } else {
        bone->SetRotationKeys(nullptr, 0, false);
        bone->localRotation = source->localRotation;
    }
    if (source->PositionKeyCount()) {
        bone->SetPositionKeys(source->PositionKeys().Data(), source->PositionKeyCount(), true);
    } else {
        bone->SetPositionKeys(nullptr, 0, false);
        bone->localTranslation = source->localTranslation;
    }
    bone->timeMode = SgAnimationTiming::kTimeApplication;
    bone->startedFlag = 0;
    bone->worldUpdateFlag = 0;
    bone->cycleType = source->cycleType;
    bone->frequency = 1.0f;
    bone->phase = source->lowKeyTime;
    bone->lowKeyTime = source->lowKeyTime;
    bone->highKeyTime = source->highKeyTime;
    bone->rotationKeyIndex = 0;
    bone->positionKeyIndex = 0;
}

int CopyFigureAnimation(SgObject* animation, SgObject* figure, SgObject* body, uint32_t mask) {
    SgFigureExtraData* from = GetFigureExtraData(animation);
    SgFigureExtraData* to = GetFigureExtraData(figure);
    SgFigureExtraData* model = GetFigureExtraData(body);
    if (!from || !to || !model || !from->boneTable || !to->boneTable || !model->boneTable)
        return 0;
    for (int i = 0; i < kBoneCount; ++i) {
        if (!(mask & (1u << i)))
            continue;
        Sg3dsAnimationNode* bone = (*to->boneTable)[i];
        Sg3dsAnimationNode* source = (*from->boneTable)[i];
        if (bone && source && (*model->boneTable)[i])
            CopyBoneKeys(bone, source);
    }
    if (mask & kTimingBit) {
        to->frameCount = from->frameCount;
        to->frameRate = from->frameRate;
        to->boneMode = from->boneMode;
    }
    return 1;
}

void PlayFigureAnimation(int figure, int templateNumber, uint32_t mask) {
    SgNode* node = FigureNode(figure);
    SgNode* animation = TemplateNode(templateNumber);
    SgFigureExtraData* data = GetFigureExtraData(node);
    if (!node || !animation || !data)
        return;
    CopyFigureAnimation(animation, node, TemplateNode(data->modelNumber), mask);
}

void SetAnimationTiming(SgObject* object, int cycle, int timing) {
    auto apply = [&](SgAnimationTiming* t, bool keyed) {
        t->worldUpdateFlag = timing == 1;
        if (cycle == 1)
            t->cycleType = SgAnimationTiming::kCycleClamp;
        else if (cycle == 0)
            t->cycleType = SgAnimationTiming::kCycleLoop;
        if (timing == 1) {
            t->timeMode = SgAnimationTiming::kTimeNone;
            t->startedFlag = 1;
        } else {
            t->timeMode = SgAnimationTiming::kTimeApplication;
            t->startedFlag = 0;
        }
        t->frequency = keyed && timing == 2 ? 0.1f : 1.0f;
    };
    ForEachInSubtree(object, [&](SgObject* o) {
        if (SgAnimationTiming* t = AnimationTimingOf(o))
            apply(t, SgKindCast<Sg3dsAnimationNode>(o) != nullptr);
        if (auto* scene = SgKindCast<SgAVObject>(o)) {
            for (SgProperty* p : scene->properties) {
                if (Sg3dsPropertyAnimator* animator = MaterialAnimator(p))
                    apply(animator, false);
            }
        }
    });
}

void CollectFigureAnimators(SgObject* object, FigureAnimatorList& list) {
    ForEachInSubtree(object, [&](SgObject* o) {
        if (ExactAnimatedTiming(o)) {
            auto* keyed = SgExactCast<Sg3dsAnimationNode>(o);
            if (!keyed || HasPlacementKeys(keyed))
                Append(list, o);
        }
        auto* scene = SgKindCast<SgAVObject>(o);
        if (!scene || SgKindCast<SgTriShape>(o))
            return;
        for (SgProperty* p : scene->properties) {
            if (!p->override)
                continue;
            if (Sg3dsPropertyAnimator* animator = MaterialAnimator(p))
                Append(list, animator);
        }
    });
}

int RunAnimatorList(const FigureAnimatorList& list, float t) {
    int count = 0;
    for (SgObject* o : list) {
        if (!o)
            break;
        SgAnimationTiming* timing = ExactAnimatedTiming(o);
        if (!timing)
            timing = SgKindCast<Sg3dsPropertyAnimator>(o);
        if (!timing)
            continue;
        timing->UpdateAppTime(t);
        ++count;
    }
    return count;
}

int RunFigureAnimators(SgObject*, SgFigureExtraData* data, float t) {
    return data && data->animatorList ? RunAnimatorList(*data->animatorList, t) : 0;
}

int RunOverlayAnimators(SgObject*, SgFigureExtraData* data, float t) {
    return data && data->overlayAnimatorList ? RunAnimatorList(*data->overlayAnimatorList, t) : 0;
}

void EndCloneAnimators(FigureAnimatorList* list, int templateNumber) {
    if (!list)
        return;
    SgNode* shared = TemplateNode(templateNumber);
    for (SgObject*& entry : *list) {
        if (!entry)
            break;
        // Deleting scene objects or the template's own animators here would free them twice.
        auto* animator = SgKindCast<Sg3dsPropertyAnimator>(entry);
        if (animator && !(shared && SubtreeHoldsProperty(shared, animator->Target()))) {
            SgRef<Sg3dsPropertyAnimator> keep(animator);
            animator->Retire();
        }
        entry = nullptr;
    }
}

void FreeFigureAnimators(SgObject*, SgFigureExtraData* data) {
    if (data)
        EndCloneAnimators(data->animatorList.get(), data->modelNumber);
}

void AnimateSubtree(SgObject* object, float t) {
    ForEachInSubtree(object, [&](SgObject* o) {
        if (SgKindCast<Sg3dsAnimationNode>(o) || SgKindCast<Sg3dsMorphShape>(o) ||
            SgKindCast<Sg3dsPathController>(o) || SgKindCast<Sg3dsParticleSystem>(o) ||
            SgKindCast<Sg3dsAlphaAnimator>(o))
            AnimationTimingOf(o)->UpdateAppTime(t);
    });
}

void UpdateFigureBones(int figure, float t, uint32_t mask) {
    SgFigureExtraData* data = FigureData(figure);
    if (!data || !data->boneTable)
        return;
    // The root bone last: it evaluates the chain with the times the others noted.
    for (int i = kBoneCount - 1; i >= 0; --i) {
        Sg3dsAnimationNode* bone = (*data->boneTable)[i];
        if (bone && (mask & (1u << i)))
            bone->UpdateAppTime(t);
    }
}

int UpdateFigureAnimation(int figure, float t, uint32_t mask) {
    SgNode* node = FigureNode(figure);
    if (!node || node->IsHidden())
        return 0;
    SgFigureExtraData* data = GetFigureExtraData(node);
    if (!data) {
        AnimateSubtree(node, t);
        return 1;
    }
    // Bipeds have no animator list: their bones move them, as a skinned figure's do.
    if (data->kind == kFigureSkinned || data->kind == kFigureBiped) {
        UpdateFigureBones(figure, t, mask);
        return 1;
    }
    return RunFigureAnimators(node, data, t) != 0;
}

void UpdateFigureOverlayAnimation(int figure, float t) {
    SgNode* node = FigureNode(figure);
    SgFigureExtraData* data = GetFigureExtraData(node);
    if (!node || node->IsHidden() || !data || !data->overlay)
        return;
    RunOverlayAnimators(node, data, t);
}

int GetFigureKind(const SgObject* node) {
    const SgFigureExtraData* data = GetFigureExtraData(node);
    return data ? data->kind : 0;
}

int GetFigureFrameCount(int figure) {
    const SgFigureExtraData* data = FigureData(figure);
    return data ? data->frameCount : -1;
}

int GetFigureFrameRate(int figure) {
    const SgFigureExtraData* data = FigureData(figure);
    return data ? data->frameRate : -1;
}

int GetModelFrameCount(int templateNumber) {
    const SgFigureExtraData* data = GetFigureExtraData(TemplateNode(templateNumber));
    return data ? data->frameCount : -1;
}

// ---- World objects ----

namespace {

class FigureDriver final : public FigureAnimDriver {
public:
    explicit FigureDriver(int figure) : figure_(figure) {}
    void Play(int templateNumber, uint32_t mask) override { PlayFigureAnimation(figure_, templateNumber, mask); }
    int Update(float t, uint32_t mask) override { return UpdateFigureAnimation(figure_, t, mask); }
    int FrameCount() override { return GetFigureFrameCount(figure_); }
    int FrameRate() override { return GetFigureFrameRate(figure_); }
    int ModelFrameCount(int templateNumber) override { return GetModelFrameCount(templateNumber); }
    void RemoveHeldPart() override { DetachFigureHeldPart(figure_); }
    void UpdateOverlay(float t) override { UpdateFigureOverlayAnimation(figure_, t); }

private:
    int figure_;
};

constexpr int kAirborneUnits = 8;

bool ValidObjectSlot(int slot) { return slot > 0 && slot < kWorldObjectSlots; }

// The object's fields; the local player's own object takes its motion from the controls.
FigureAnimObject ReadAnimObject(const WorldObject& o, int slot) {
    FigureAnimObject a;
    a.objectType = o.type;
    a.figureType = o.imagenum;
    a.pose = o.pose;
    a.speed = o.speed;
    a.strafe = (o.state_bits >> 4) & 3;
    a.special = o.biasing;
    a.alternate = o.casting;
    if (g_localPlayer && slot == g_localPlayer->own_object) {
        a.pose = g_localPlayer->mode;
        a.strafe = (g_localPlayer->strafe_bits >> 4) & 3;
        a.special = IsBiasing() != 0;
        a.alternate = IsCasting() != 0;
        if (g_playerView)
            a.speed = g_playerView->speed;
    }
    a.state = static_cast<int16_t>(o.anim_state);
    a.time = o.anim_time;
    a.armState = static_cast<int16_t>(o.anim_word);
    a.armTime = o.arm_time;
    a.overlayOn = o.overlay_on;
    a.overlayTime = o.overlay_anim_time;
    return a;
}

void WriteAnimObject(WorldObject& o, const FigureAnimObject& a) {
    if (o.type == OBJ_BODY)
        o.pose = static_cast<uint16_t>(a.pose);
    o.anim_state = static_cast<uint16_t>(a.state);
    o.anim_time = a.time;
    o.anim_word = static_cast<uint16_t>(a.armState);
    o.arm_time = a.armTime;
    o.overlay_anim_time = a.overlayTime;
}

// Runs the machine on a copy of the object's fields and writes them back.
template <class Run>
int WithObjectFigure(int slot, Run run) {
    if (!ValidObjectSlot(slot))
        return 0;
    WorldObject& o = WorldObjectTable[slot];
    if (!FigureNode(o.figure))
        return 0;
    FigureAnimObject a = ReadAnimObject(o, slot);
    FigureDriver driver(o.figure);
    const int result = run(o, a, driver);
    WriteAnimObject(o, a);
    return result;
}

}  // namespace

int UpdateObjectFigureAnimation(int slot, int frameDelta, int visibility) {
    return WithObjectFigure(slot, [&](const WorldObject& o, FigureAnimObject& a, FigureDriver& driver) {
        // Only the moving figures ask for the floor under them.
        const int type = a.objectType;
        if (type != 0 && type != 1 && type != 3 && type != 7 && type != 8)
            a.airborne = o.z - GetFloorHeight(o.x, o.y, o.z, 0) > kAirborneUnits;
        return StepFigureAnimation(a, frameDelta, visibility, driver);
    });
}

int PlayObjectFigureAnimation(int slot, int index) {
    return WithObjectFigure(slot, [&](const WorldObject&, FigureAnimObject& a, FigureDriver& driver) {
        return StartFigureOneShot(a, index, driver);
    });
}

}  // namespace present
