#include "client/present/figure_objects.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "client/present/figure_anim_state.h"
#include "client/present/figure_animation.h"
#include "client/present/figure_attach.h"
#include "client/present/figure_lights.h"
#include "client/present/figure_loader.h"
#include "client/present/figure_textures.h"
#include "client/present/figure_tree.h"
#include "client/present/rooms.h"
#include "client/present/scene_walk.h"
#include "client/present/world_tables.h"
#include "engine/animation/sg_3ds_animators.h"
#include "engine/animation/sg_3ds_morph_shape.h"
#include "engine/animation/sg_3ds_particle_system.h"
#include "engine/geometry/sg_particles.h"

namespace present {

namespace {

// Not pi: the turns of placement use this value.
constexpr float kPi = 3.14159f;
constexpr float kFixedToEngine = 6553600.0f;
constexpr int kGridSide = 128;
constexpr uint32_t kSortWord = 2;

void SetRows(SgMat3& m, float a, float b, float c, float d, float e, float f, float g, float h, float i) {
    const float rows[9] = {a, b, c, d, e, f, g, h, i};
    std::memcpy(m.m, rows, sizeof rows);
}

// The timing a copied morph keeps: the mode, cycle, world update and the five floats; it starts
// only in mode 0.
void CopyMorphTiming(const SgAnimationTiming& from, SgAnimationTiming& to) {
    to.timeMode = from.timeMode;
    to.cycleType = from.cycleType;
    to.worldUpdateFlag = from.worldUpdateFlag;
    to.reservedValue = from.reservedValue;
    to.frequency = from.frequency;
    to.phase = from.phase;
    to.lowKeyTime = from.lowKeyTime;
    to.highKeyTime = from.highKeyTime;
    to.startedFlag = from.timeMode == SgAnimationTiming::kTimeNone ? 1 : 0;
}

SgRef<SgAVObject> CopyMorph(Sg3dsMorphShape* shape) {
    SgRef<SgAVObject> copy = shape->Duplicate();
    if (auto* morph = SgKindCast<Sg3dsMorphShape>(copy.Get()))
        CopyMorphTiming(*shape, *morph);
    return copy;
}

Sg3dsPropAnimExtraData* AnimatorRecord(SgProperty* property) {
    for (SgExtraData* e = property->ExtraHead(); e; e = e->next)
        if (e->IsKindOf(&Sg3dsPropAnimExtraData::typeRecord) && static_cast<Sg3dsPropAnimExtraData*>(e)->animator)
            return static_cast<Sg3dsPropAnimExtraData*>(e);
    return nullptr;
}

// A new animator of the old one's class, on copies of its keys and with its timing.
SgRef<Sg3dsPropertyAnimator> CopyAnimator(Sg3dsPropertyAnimator* old) {
    if (auto* alpha = SgExactCast<Sg3dsAlphaAnimator>(old)) {
        SgRef<Sg3dsAlphaAnimator> copy(new Sg3dsAlphaAnimator);
        copy->SetKeys(alpha->Keys().keys.Data(), alpha->Keys().keys.Count());
        alpha->CopyInto(*copy);
        return copy;
    }
    if (auto* colour = SgExactCast<Sg3dsColorAnimator>(old)) {
        SgRef<Sg3dsColorAnimator> copy(new Sg3dsColorAnimator);
        copy->SetKeys(colour->Keys().keys.Data(), colour->Keys().keys.Count());
        colour->CopyInto(*copy);
        copy->colorSelector = colour->colorSelector;
        return copy;
    }
    return {};
}

// The object's first animated material gets a copy of its own; true when one was copied.
bool CopyAnimatedMaterial(SgAVObject* object) {
    for (SgProperty* p : object->properties) {
        auto* material = SgKindCast<SgMaterialProperty>(p);
        Sg3dsPropAnimExtraData* record = material ? AnimatorRecord(material) : nullptr;
        if (!record)
            continue;
        SgRef<Sg3dsPropertyAnimator> animator = CopyAnimator(record->animator.Get());
        if (!animator)
            return false;
        SgRef<SgMaterialProperty> copy(new SgMaterialProperty);
        copy->ambient = material->ambient;
        copy->diffuse = material->diffuse;
        copy->specular = material->specular;
        copy->emissive = material->emissive;
        copy->shininess = material->shininess;
        copy->alpha = material->alpha;
        copy->override = material->override;
        SgRef<SgMaterialProperty> keep(material);
        // The copy takes the old one's place in the list.
        std::vector<SgRef<SgProperty>> order;
        for (SgProperty* q : object->properties)
            order.emplace_back(q == material ? static_cast<SgProperty*>(copy.Get()) : q);
        object->properties.Clear();
        for (size_t i = order.size(); i-- > 0;)
            object->properties.Prepend(order[i].Get());
        animator->SetTarget(copy.Get());
        return true;
    }
    return false;
}

SgRef<SgAVObject> FixUp(SgAVObject* given, SgNode* parent, uint32_t index, bool copyMaterials) {
    SgRef<SgAVObject> object(given);
    if (!object)
        return object;
    if (SgExactCast<Sg3dsMorphShape>(given) || SgKindCast<Sg3dsEnvMorphShape>(given)) {
        object = CopyMorph(static_cast<Sg3dsMorphShape*>(given));
        if (parent)
            parent->SetChildAt(index, object.Get());
    }
    if (auto* system = SgKindCast<Sg3dsParticleSystem>(object.Get())) {
        auto* old = SgKindCast<SgAutoNormalParticles>(system->Geometry());
        if (old && old->VertexCount()) {
            SgRef<SgAutoNormalParticles> fresh(
                new SgAutoNormalParticles(old->VertexCount(), old->Vertices(), old->Colors()));
            system->SetParticles(fresh.Get());
        }
    }
    if (copyMaterials && CopyAnimatedMaterial(object.Get()))
        copyMaterials = false;
    if (auto* node = SgKindCast<SgNode>(object.Get())) {
        node->deferralMode = kSortWord;
        for (uint32_t i = 0; i < node->ChildCount(); ++i)
            FixUp(node->ChildAt(i), node, i, copyMaterials);
    }
    return object;
}

bool HoldsProperty(SgAVObject* root, const SgProperty* property) {
    bool found = false;
    ForEachSceneObject(root, [&](SgAVObject* o) {
        for (SgProperty* p : o->properties)
            found |= p == property;
    });
    return found;
}

// The materials the clone copied and their animators hold each other: unless the animator is
// retired, both outlive the figure. The template's own materials stay as they are.
void RetireCopiedMaterialAnimators(SgAVObject* model, SgNode* templ) {
    std::vector<SgRef<Sg3dsPropertyAnimator>> copied;
    ForEachSceneObject(model, [&](SgAVObject* o) {
        for (SgProperty* p : o->properties)
            if (Sg3dsPropAnimExtraData* record = AnimatorRecord(p);
                record && SgKindCast<SgMaterialProperty>(p) && !(templ && HoldsProperty(templ, p)))
                copied.emplace_back(record->animator);
    });
    for (const SgRef<Sg3dsPropertyAnimator>& animator : copied)
        animator->Retire();
}

}  // namespace

SgRef<SgAVObject> FixUpFigureClone(SgAVObject* object, SgNode* parent, uint32_t index) {
    return FixUp(object, parent, index, true);
}

int CreateFigureForObject(int templateNumber, const char* name, float scale) {
    if (!IsSceneActive())
        return 0;
    return BuildFigureFromTemplate(World().worldRoot.Get(), nullptr, 0, 0, templateNumber, scale, name);
}

int BuildFigureFromTemplate(SgNode* parent, const int16_t* grid, int gx, int gy, int templateNumber, float scale,
                            const char* name) {
    SgNode* templ = TemplateNode(templateNumber);
    if (!templ)
        return 0;
    int figure = 1;
    while (figure < kFigureSlots && Figures().figures[figure])
        ++figure;
    if (figure == kFigureSlots)
        return 0;
    const bool inGrid = grid && gx >= 0 && gx < kGridSide && gy >= 0 && gy < kGridSide;
    const int cell = inGrid ? grid[gx * kGridSide + gy] : 0;
    SgFigureExtraData* templateData = GetFigureExtraData(templ);
    const int kind = templateData ? templateData->kind : kFigurePlain;

    SgRef<SgNode> node(new SgNode);
    Figures().figures[figure] = node;
    if (parent)
        parent->InsertChild(node.Get(), true);

    SgRef<SgAVObject> clone;
    if (kind == kFigureSkinned) {
        clone = templ->Duplicate();
        clone->AssignName(templ->GetName());
        SetAnimationTiming(clone.Get(), 0, 0);
    } else {
        auto* part = SgKindCast<SgAVObject>(FindNamedObject(templ, name ? name : "Spell"));
        clone = (part ? part : templ)->Duplicate();
        clone = FixUpFigureClone(clone.Get(), nullptr, 0);
        clone->AssignName(templ->GetName());
    }
    node->InsertChild(clone.Get(), false);
    clone->localScale = std::fabs(scale);

    SgFigureExtraData* data = AttachFigureExtraData(node.Get());
    data->model = clone.Get();
    CreateFigureTintProperties(data, clone.Get());
    data->kind = kind;
    data->modelNumber = templateNumber;

    if (kind == kFigureBiped || kind == kFigureSkinned) {
        BuildFigureBoneTable(node.Get(), 0, 0);
        if (templateNumber >= 201 && templateNumber <= 203) {
            static const int kStart[3] = {211, 251, 291};
            CopyFigureAnimation(TemplateNode(kStart[templateNumber - 201]), node.Get(), templ, kAllBones);
        }
    } else {
        SetAnimationTiming(clone.Get(), 2, 0);
        if (!data->animatorList)
            data->animatorList = std::make_unique<FigureAnimatorList>();
        data->animatorList->fill(nullptr);
        CollectFigureAnimators(clone.Get(), *data->animatorList);
        RunFigureAnimators(node.Get(), data, 0.0f);
        clone->UpdateAllStates();
    }
    node->localTranslation =
        inGrid || !grid ? SgVec3(0.32f + 0.64f * gx, 0.32f + 0.64f * gy, -cell / 100.0f) : SgVec3(0.32f, 0.32f, 0);
    node->UpdateAllStates();
    return figure;
}

int PlaceObjectFigure(int figure, int x, int y, int z, int direction, int tilt, int update, int rebuildRotation,
                      int heightOffset) {
    SgNode* node = FigureNode(figure);
    if (!node || node->IsHidden())
        return 0;
    node->localTranslation = SgVec3(x / kFixedToEngine, y / kFixedToEngine, -z / kFixedToEngine);
    SgFigureExtraData* data = GetFigureExtraData(node);
    if (!data || !data->model)
        return 0;
    SgMat3& rotation = data->model->localRotation;
    if (rebuildRotation) {
        const float c = std::cos(kPi), s = std::sin(kPi);
        SetRows(rotation, c, 0, -s, 0, 1, 0, s, 0, c);
    }
    if (tilt) {
        const float t = static_cast<float>(tilt) * kPi / 180.0f;
        SgMat3 rx;
        SetRows(rx, 1, 0, 0, 0, std::cos(t), std::sin(t), 0, -std::sin(t), std::cos(t));
        rotation = rx * rotation;
    }
    const int v = 6144 - direction;
    const int d = v < 0 ? -(-v % 4096) : v % 4096;
    const float angle = static_cast<float>(d) * 2.0f * kPi / 4096.0f;
    SgMat3 rz;
    SetRows(rz, std::cos(angle), std::sin(angle), 0, -std::sin(angle), std::cos(angle), 0, 0, 0, 1);
    rotation = rz * rotation;

    SgNode* parent = node->Parent();
    const SgVec3& p = node->localTranslation;
    SgNode* room = FindRoomAtPoint(p.x, p.y, p.z, parent);
    if (room && room != parent) {
        SgRef<SgNode> keep(node);
        if (parent)
            parent->RemoveChild(node);
        room->InsertChild(node, true);
        if (data->light) {
            data->light->ForgetAllLitNodes();
            LightRoomsNearPoint(data->light, p.x, p.y, room);
        }
    }
    if (data->groundMarker)
        PlaceFigureGroundMarks(figure, heightOffset / 100.0f - z / kFixedToEngine);
    if (data->heldPart)
        PlaceFigureHeldPart(figure);
    if (data->overlay)
        PlaceFigureOverlay(figure);
    if (update)
        node->UpdateAllStates();
    return figure;
}

int RemoveObjectFigure(int figure) {
    SgNode* node = FigureNode(figure);
    if (!node)
        return 0;
    SgRef<SgNode> keep(node);
    if (SgNode* parent = node->Parent())
        parent->RemoveChild(node);
    if (SgFigureExtraData* data = GetFigureExtraData(node)) {
        if (data->kind != kFigureBiped && data->kind != kFigureSkinned)
            FreeFigureAnimators(node, data);
        RetireCopiedMaterialAnimators(data->model, TemplateNode(data->modelNumber));
        if (data->groundMarker)
            DetachFigureGroundMarks(figure);
        if (data->heldPart)
            DetachFigureHeldPart(figure);
        if (data->overlay)
            RemoveFigureOverlay(figure);
        if (data->light)
            RemoveFigureLight(figure);
        if (data->billboard)
            DetachFigureBillboard(figure);
    }
    Figures().figures[figure] = nullptr;
    return 1;
}

void SetFigureFirstPersonVisibility(int figure, int flag) {
    SgNode* node = FigureNode(figure);
    if (!node)
        return;
    if (!flag) {
        node->SetHidden(1);
        return;
    }
    node->SetHidden(0);
    if (SgFigureExtraData* data = GetFigureExtraData(node)) {
        for (SgAVObject* part : {data->model, static_cast<SgAVObject*>(data->groundMarker),
                                 static_cast<SgAVObject*>(data->billboard)})
            if (part)
                part->SetHidden(1);
    }
}

void ShowFigureWithParts(int figure, int withParts) {
    SgNode* node = FigureNode(figure);
    if (!node)
        return;
    node->SetHidden(0);
    SgFigureExtraData* data = GetFigureExtraData(node);
    if (!withParts || !data)
        return;
    for (SgAVObject* part :
         {data->model, static_cast<SgAVObject*>(data->groundMarker), static_cast<SgAVObject*>(data->billboard)})
        if (part)
            part->SetHidden(0);
}

void ShowObjectFigure(int figure) {
    SgNode* node = FigureNode(figure);
    if (!node)
        return;
    node->SetHidden(0);
    node->UpdateAllStates();
}

}  // namespace present
