#include "client/present/figure_lights.h"

#include <cmath>
#include <cstring>

#include "client/present/camera_set.h"
#include "client/present/figure_textures.h"
#include "client/present/rooms.h"
#include "client/present/world_lighting.h"
#include "client/present/world_tables.h"
#include "engine/core/sg_raw_image.h"
#include "engine/core/sg_texture_property.h"

namespace present {

namespace {

constexpr int kBillboardSide = 16;
constexpr float kQuarterTurn = 1.570795f;
constexpr float kFixedToEngine = 6553600.0f;

float Channel(int value) { return static_cast<float>(value) / 255.0f; }

SgLight* FigureLight(int figure) {
    SgFigureExtraData* data = FigureData(figure);
    return data ? data->light : nullptr;
}

void ShowBillboardPicture(int figure, bool show) {
    SgFigureExtraData* data = FigureData(figure);
    SgNode* billboard = data ? data->billboard : nullptr;
    if (billboard && billboard->ChildCount() > 0 && billboard->ChildAt(0))
        billboard->ChildAt(0)->SetHidden(show ? 0 : 1);
}

SgRef<SgTriStrip> BillboardStrip() {
    const SgVec3 corners[4] = {SgVec3(-0.2f, 0.1f, 0), SgVec3(-0.2f, 0, 0), SgVec3(0.2f, 0.1f, 0), SgVec3(0.2f, 0, 0)};
    const SgVec3 uv[4] = {SgVec3(0.01f, 0.01f, 0), SgVec3(0.01f, 0.99f, 0), SgVec3(0.99f, 0.01f, 0),
                          SgVec3(0.99f, 0.99f, 0)};
    const SgRgba white[4] = {{1, 1, 1, 1}, {1, 1, 1, 1}, {1, 1, 1, 1}, {1, 1, 1, 1}};
    SgRef<SgTriStrip> strip(new SgTriStrip(4, corners, nullptr, uv, white));
    strip->ComputeNormals();
    strip->ComputePlanes();
    return strip;
}

// The billboard's render state, in the order it is given.
void GiveBillboardProperties(SgNode* node) {
    SgRef<SgTransparentProperty> transparent(new SgTransparentProperty);
    transparent->transparentOn = 1;
    SgRef<SgAlphaProperty> alpha(new SgAlphaProperty);
    alpha->blendOn = 1;
    alpha->sourceBlend = 6;
    alpha->destinationBlend = 0;
    SgRef<SgZBufferProperty> zBuffer(new SgZBufferProperty);
    zBuffer->depthTest = 1;
    zBuffer->depthWrite = 0;
    SgRef<SgMaterialProperty> material = NewFigureMaterial(0.75f);
    node->AddRenderProperty(transparent.Get());
    node->AddRenderProperty(alpha.Get());
    node->AddRenderProperty(zBuffer.Get());
    node->AddRenderProperty(material.Get());
}

}  // namespace

void TurnQuarterAboutX(SgAVObject* node) {
    const float c = std::cos(kQuarterTurn), s = std::sin(kQuarterTurn);
    SgMat3 turn;
    const float rows[9] = {1, 0, 0, 0, c, s, 0, -s, c};
    std::memcpy(turn.m, rows, sizeof rows);
    node->localRotation = turn * node->localRotation;
}

void AttachFigureLight(int figure, int dimmer, int range, int red, int green, int blue, int height) {
    SgNode* node = FigureNode(figure);
    SgFigureExtraData* data = GetFigureExtraData(node);
    if (!data || data->light)
        return;
    SgRef<SgLight> light(new SgLight);
    light->SetType(SgLight::kPoint);
    light->on = 1;
    light->falloff = 1.0f;
    light->dimmer = static_cast<float>(dimmer * 0.02);
    light->range = static_cast<float>(range * 0.01);
    light->ambient = SgRgb(0, 0, 0);
    light->diffuse = SgRgb(Channel(red), Channel(green), Channel(blue));
    light->specular = SgRgb(0, 0, 0);
    node->InsertChild(light.Get(), true);
    light->localTranslation = SgVec3(0, 0, -static_cast<float>(height * 0.01));
    data->light = light.Get();
}

void SetFigureLight(int figure, int dimmer, int range, int red, int green, int blue) {
    SgLight* light = FigureLight(figure);
    if (!light)
        return;
    // Half the scale of attaching: callers rely on the difference.
    light->dimmer = static_cast<float>(dimmer * 0.01);
    light->range = static_cast<float>(range * 0.01);
    light->diffuse = SgRgb(Channel(red), Channel(green), Channel(blue));
    light->changed = 1;
    light->UpdateAllStates();
}

void SetFigureLightRange(int figure, int range) {
    if (SgLight* light = FigureLight(figure)) {
        light->range = static_cast<float>(range * 0.01);
        light->changed = 1;
    }
}

int RemoveFigureLight(int figure) {
    SgNode* node = FigureNode(figure);
    SgFigureExtraData* data = GetFigureExtraData(node);
    if (!data || !data->light)
        return 0;
    SgRef<SgLight> light(data->light);
    light->ForgetAllLitNodes();
    node->RemoveChild(light.Get());
    data->light = nullptr;
    return 1;
}

int RelightFigure(int figure) {
    SgNode* node = FigureNode(figure);
    if (!node)
        return 0;
    ApplyStaticLightingToModel(node);
    node->UpdateAllStates();
    return 1;
}

int CreateFigureBillboard(int figure) {
    SgNode* figureNode = FigureNode(figure);
    SgFigureExtraData* data = GetFigureExtraData(figureNode);
    if (!IsSceneActive() || !data)
        return 0;
    int b = 1;
    while (b < kBillboardSlots && Figures().billboards[b].node)
        ++b;
    if (b == kBillboardSlots)
        return 0;
    FigureBillboard& slot = Figures().billboards[b];
    slot.node = SgRef<SgBillboardNode>(new SgBillboardNode);
    slot.node->mode = SgBillboardNode::kTurnAboutY;
    figureNode->InsertChild(slot.node.Get(), true);
    data->billboard = slot.node.Get();

    slot.strip = BillboardStrip();
    slot.node->InsertChild(slot.strip.Get(), true);

    TurnQuarterAboutX(slot.node.Get());
    GiveBillboardProperties(slot.node.Get());

    SgRef<SgRawImageData> raw(new SgRawImageData);
    if (raw->ResizeRawImage(SgRawImageData::kRgba, kBillboardSide, kBillboardSide)) {
        slot.image = SgImage::CreateFromRawData(raw, 0, SgImage::kAnyFormat);
        if (slot.image) {
            SgRef<SgTextureProperty> texture(new SgTextureProperty);
            texture->AppendImage(slot.image.Get());
            texture->currentIndex = 0;
            slot.strip->AddRenderProperty(texture.Get());
        }
    }
    slot.node->localTranslation = SgVec3(0, 0, -0.75f);
    slot.node->UpdateAllStates();
    return b;
}

void SetFigureBillboardPixels(int billboard, const uint32_t* pixels) {
    FigureBillboard* slot = BillboardSlot(billboard);
    if (!slot || !slot->image || !pixels)
        return;
    SgRawImageData* raw = slot->image->RawData();
    if (!raw || raw->Width() != kBillboardSide || raw->Height() != kBillboardSide || raw->BytesPerPixel() != 4)
        return;
    for (int y = 0; y < kBillboardSide; ++y)
        std::memcpy(raw->Row(static_cast<uint32_t>(y)), pixels + y * kBillboardSide, kBillboardSide * 4);
    slot->image->MarkDirty();
    ++slot->image->contentStamp;
}

void SetFigureBillboardHeight(int billboard, int height) {
    FigureBillboard* slot = BillboardSlot(billboard);
    if (!slot || !slot->node)
        return;
    slot->node->localTranslation = SgVec3(0, 0, -static_cast<float>(height * 0.01));
    slot->node->UpdateAllStates();
}

void HideFigureBillboard(int figure) { ShowBillboardPicture(figure, false); }
void ShowFigureBillboard(int figure) { ShowBillboardPicture(figure, true); }

int DetachFigureBillboard(int figure) {
    SgNode* node = FigureNode(figure);
    SgFigureExtraData* data = GetFigureExtraData(node);
    if (!data || !data->billboard)
        return 0;
    node->RemoveChild(data->billboard);
    data->billboard = nullptr;
    return 1;
}

void RemoveFigureBillboard(int billboard) {
    FigureBillboard* slot = BillboardSlot(billboard);
    if (!slot || !slot->node)
        return;
    // The figure still holding it must not keep a pointer to the freed node.
    for (int f = 1; f < kFigureSlots; ++f)
        if (SgFigureExtraData* data = FigureData(f); data && data->billboard == slot->node.Get())
            data->billboard = nullptr;
    if (SgNode* parent = slot->node->Parent())
        parent->RemoveChild(slot->node.Get());
    slot->node = nullptr;
    slot->strip = nullptr;
    slot->image = nullptr;
}

int IsPointOnScreen(float x, float y, float z, float radius, int either) {
    SgCamera* camera = Cameras().activeCamera;
    if (!camera)
        return 0;
    SgBoundSphere sphere;
    sphere.unset = 0;
    sphere.centre = SgVec3(x, y, z);
    sphere.radius = radius;
    SgVec3 a, b;
    camera->ProjectBound(sphere, a, b);
    const bool inFront = either ? (a.z > 0 || b.z > 0) : (a.z > 0 && b.z > 0);
    return inFront && a.x < 1 && b.x > -1 && a.y < 1 && b.y > -1 ? 1 : 0;
}

int IsFigureOnScreen(int figure, int x, int y, int z, int height, int radius, int either) {
    if (!FigureNode(figure))
        return 0;
    const float ex = static_cast<float>(x * 0.01), ey = static_cast<float>(y * 0.01);
    const float r = static_cast<float>(radius * 0.01);
    if (IsPointOnScreen(ex, ey, -static_cast<float>(z * 0.01), r, either))
        return 1;
    return IsPointOnScreen(ex, ey, -static_cast<float>((static_cast<double>(z) + height) * 0.01), r, either);
}

int AttachSkyModel(int m) {
    SgNode* model = TemplateNode(m);
    return model ? AttachToSkyNode(model) : 0;
}

int MoveSkyWithViewer(int x, int y, int z) {
    PlaceSkyNode(x / kFixedToEngine, y / kFixedToEngine, -z / kFixedToEngine);
    return 1;
}

}  // namespace present
