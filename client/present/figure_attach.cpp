#include "client/present/figure_attach.h"

#include <cmath>
#include <cstdlib>

#include "client/present/figure_animation.h"
#include "client/present/figure_objects.h"
#include "client/present/figure_table.h"
#include "client/present/figure_tree.h"
#include "engine/animation/sg_3ds_animation_node.h"
#include "engine/core/sg_light.h"
#include "engine/core/sg_node.h"
#include "engine/core/sg_texture_property.h"

namespace present {
namespace {

constexpr int kBoneLeftFoot = 13;
constexpr int kBoneRightFoot = 16;
constexpr int kBoneLeftFinger = 19;
constexpr int kBoneRightFinger = 20;
constexpr float kFootMarkSpread = 0.75f;
constexpr float kMarksHideDepth = -1.28f;
constexpr float kMarkLift = 0.01f;

SgVec3 WorldTranslation(const SgAVObject* object) {
    const SgWorldState* state = object ? object->CurrentState() : nullptr;
    return state ? state->worldTranslation : SgVec3();
}

SgVec3 Minus(const SgVec3& a, const SgVec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }

struct Figure {
    SgNode* node = nullptr;
    SgFigureExtraData* data = nullptr;
    explicit operator bool() const { return node && data; }
};

Figure Find(int figure) {
    Figure f;
    f.node = FigureNode(figure);
    f.data = GetFigureExtraData(f.node);
    return f;
}

Sg3dsAnimationNode* Bone(const SgFigureExtraData* data, int i) {
    return data->boneTable && i >= 0 && i < kBoneCount ? (*data->boneTable)[i] : nullptr;
}

// Both mark children, or false.
bool MarkChildren(SgNode* marker, SgAVObject*& right, SgAVObject*& left) {
    if (!marker || marker->ChildCount() < 2)
        return false;
    right = marker->ChildAt(0);
    left = marker->ChildAt(1);
    return right && left;
}

void ShowMarks(int figure, uint8_t hidden) {
    Figure f = Find(figure);
    SgAVObject *right = nullptr, *left = nullptr;
    if (!f || !MarkChildren(f.data->groundMarker, right, left))
        return;
    right->SetHidden(hidden);
    left->SetHidden(hidden);
}

// Detaches the attachment from the figure node and clears its field.
int Detach(SgNode* figureNode, SgNode*& field) {
    if (!field)
        return 0;
    SgRef<SgNode> keep(field);
    if (SgNode* parent = field->Parent())
        parent->RemoveChild(field);
    else if (figureNode)
        figureNode->RemoveChild(field);
    field = nullptr;
    return 1;
}

}  // namespace

void PlaceFigureGroundMarks(int figure, float height) {
    Figure f = Find(figure);
    SgAVObject *right = nullptr, *left = nullptr;
    if (!f || !MarkChildren(f.data->groundMarker, right, left))
        return;
    Sg3dsAnimationNode* rightFoot = Bone(f.data, kBoneRightFoot);
    Sg3dsAnimationNode* leftFoot = Bone(f.data, kBoneLeftFoot);
    if (!rightFoot || !leftFoot)
        return;
    const SgVec3 origin = WorldTranslation(f.node);
    const SgVec3 r = Minus(WorldTranslation(rightFoot), origin);
    const SgVec3 l = Minus(WorldTranslation(leftFoot), origin);
    right->localTranslation = {r.x * kFootMarkSpread, r.y * kFootMarkSpread, 0.0f};
    left->localTranslation = {l.x * kFootMarkSpread, l.y * kFootMarkSpread, 0.0f};
    SgNode* marker = f.data->groundMarker;
    if (height < kMarksHideDepth) {
        marker->SetHidden(1);
        height = kMarksHideDepth;
    } else {
        marker->SetHidden(0);
    }
    marker->localTranslation = {0.0f, 0.0f, -height - kMarkLift};
}

void ShowFigureGroundMarks(int figure) { ShowMarks(figure, 0); }
void HideFigureGroundMarks(int figure) { ShowMarks(figure, 1); }

int DetachFigureGroundMarks(int figure) {
    Figure f = Find(figure);
    return f ? Detach(f.node, f.data->groundMarker) : 0;
}

void PlaceFigureHeldPart(int figure) {
    Figure f = Find(figure);
    if (!f || !f.data->heldPart || f.data->heldPart->ChildCount() == 0)
        return;
    SgAVObject* part = f.data->heldPart->ChildAt(0);
    Sg3dsAnimationNode* finger = Bone(f.data, kBoneRightFinger);
    if (!part || !finger)
        return;
    part->localTranslation = Minus(WorldTranslation(finger), WorldTranslation(f.node));
}

int DetachFigureHeldPart(int figure) {
    Figure f = Find(figure);
    return f ? Detach(f.node, f.data->heldPart) : 0;
}

void PlaceFigureOverlay(int figure) {
    Figure f = Find(figure);
    if (!f || !f.data->overlay || !f.data->boneTable)
        return;
    const int part = f.data->overlayPart;
    SgVec3 at;
    if (part == kOverlayBetweenFingers || part == kOverlayBetweenFeet) {
        const bool fingers = part == kOverlayBetweenFingers;
        Sg3dsAnimationNode* a = Bone(f.data, fingers ? kBoneLeftFinger : kBoneLeftFoot);
        Sg3dsAnimationNode* b = Bone(f.data, fingers ? kBoneRightFinger : kBoneRightFoot);
        if (!a || !b)
            return;
        const SgVec3 pa = WorldTranslation(a), pb = WorldTranslation(b);
        at = {(pa.x + pb.x) * 0.5f, (pa.y + pb.y) * 0.5f, (pa.z + pb.z) * 0.5f};
    } else {
        Sg3dsAnimationNode* bone = Bone(f.data, part);
        if (!bone)
            return;
        at = WorldTranslation(bone);
    }
    f.data->overlay->localTranslation = Minus(at, WorldTranslation(f.node));
}

int RemoveFigureOverlay(int figure) {
    Figure f = Find(figure);
    if (!f || !f.data->overlay)
        return 0;
    SgNode* overlay = f.data->overlay;
    if (overlay->ChildCount() > 1) {
        if (auto* light = SgKindCast<SgLight>(overlay->ChildAt(1)))
            light->ForgetAllLitNodes();
    }
    EndCloneAnimators(f.data->overlayAnimatorList.get(), f.data->overlayModel);
    Detach(f.node, f.data->overlay);
    f.data->overlayPart = 0;
    f.data->overlayModel = 0;
    return 1;
}

int SetFigureOverlayElement(int figure, int n) {
    Figure f = Find(figure);
    if (!f || !f.data->overlay)
        return 0;
    SgNode* overlay = f.data->overlay;
    if (SgProperty* old = overlay->FindPropertyOfType(SG_TEXTURE_PROPERTY))
        overlay->properties.Remove(old);
    if (SgTextureProperty* texture = ElementTexture(n))
        overlay->AddRenderProperty(texture);
    return 1;
}

int SetFigureOverlayColor(int figure, int red, int green, int blue) {
    Figure f = Find(figure);
    if (!f || !f.data->overlay)
        return 0;
    SgNode* overlay = f.data->overlay;
    if (SgProperty* old = overlay->FindPropertyOfType(SG_MATERIAL_PROPERTY))
        overlay->properties.Remove(old);
    SgRef<SgMaterialProperty> material(new SgMaterialProperty);
    const SgRgb c{red / 255.0f, green / 255.0f, blue / 255.0f};
    material->ambient = c;
    material->diffuse = c;
    material->emissive = c;
    material->override = 1;
    material->changed = 1;
    overlay->AddRenderProperty(material.Get());
    return 1;
}

namespace {

constexpr float kOverlayScale = 0.01f;
constexpr double kHalfTurn = 3.14159012;
constexpr double kTiltToRadians = 0.0174532778;
constexpr double kModeThreeLean = 0.7853975;
constexpr double kTwoPi = 6.283185307179586;

SgMat3 Rows(double a0, double a1, double a2, double b0, double b1, double b2, double c0, double c1, double c2) {
    SgMat3 m;
    const double v[9] = {a0, a1, a2, b0, b1, b2, c0, c1, c2};
    for (int i = 0; i < 9; ++i)
        m.m[i] = static_cast<float>(v[i]);
    return m;
}

// A turn about y by a: rows (cos a, 0, -sin a), (0, 1, 0), (sin a, 0, cos a).
SgMat3 AboutY(double a) { return Rows(std::cos(a), 0, -std::sin(a), 0, 1, 0, std::sin(a), 0, std::cos(a)); }

// The overlay's rotation by mode: facing (from direction) about z, tilt (degrees) about y.
SgMat3 OverlayRotation(int mode, int direction, int tilt) {
    if (mode < 0 || mode > 3)
        return SgIdentityMat3;
    if (mode == 0)
        return AboutY(kHalfTurn);
    const int v = (mode == 1 ? 6144 : 5120) - direction;
    const double f = (v < 0 ? -1 : 1) * (std::abs(v) & 4095) * kTwoPi / 4096.0;
    const SgMat3 facing = Rows(std::cos(f), std::sin(f), 0, -std::sin(f), std::cos(f), 0, 0, 0, 1);
    SgMat3 r = mode == 1 ? AboutY(kHalfTurn) : AboutY((90 - tilt) * kTiltToRadians);
    if (mode == 3) {
        const double e = kModeThreeLean;
        r = Rows(1, 0, 0, 0, std::cos(e), std::sin(e), 0, -std::sin(e), std::cos(e)) * r;
    }
    return facing * r;
}

}  // namespace

int CreateFigureOverlayModel(int figure, int model, int part, int mode, int direction, int tilt) {
    Figure f = Find(figure);
    SgNode* source = TemplateNode(model);
    if (!f || !source)
        return 0;
    RemoveFigureOverlay(figure);

    SgRef<SgNode> overlay(new SgNode);
    f.node->InsertChild(overlay.Get(), true);
    f.data->overlay = overlay.Get();
    f.data->overlayPart = part;
    f.data->overlayModel = model;

    auto* spell = SgKindCast<SgAVObject>(FindNamedObject(source, "Spell"));
    SgRef<SgAVObject> copy = (spell ? spell : source)->Duplicate();
    copy = FixUpFigureClone(copy.Get(), nullptr, 0);
    SetAnimationTiming(copy.Get(), 2, 0);
    copy->localTranslation = SgVec3();
    copy->localScale = kOverlayScale;
    overlay->InsertChild(copy.Get(), true);

    if (!f.data->overlayAnimatorList)
        f.data->overlayAnimatorList = std::make_unique<FigureAnimatorList>();
    f.data->overlayAnimatorList->fill(nullptr);
    CollectFigureAnimators(overlay.Get(), *f.data->overlayAnimatorList);

    overlay->localRotation = OverlayRotation(mode, direction, tilt);
    RunOverlayAnimators(overlay.Get(), f.data, 0.0f);
    overlay->UpdateAllStates();
    return 1;
}

int FigureCreatedHook(int) { return 0; }

}  // namespace present
