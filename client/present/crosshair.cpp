#include "client/present/crosshair.h"

#include "client/present/figure_lights.h"
#include "client/present/rooms.h"
#include "client/present/world_tables.h"
#include "engine/core/sg_property.h"
#include "engine/core/sg_texture_property.h"
#include "engine/geometry/sg_tri_lists.h"

namespace present {

int32_t CrosshairShown = -1;

namespace {

constexpr float kFixedToEngine = 6553600.0f;

// The vertices and the material disagree on purpose for teams 1 and 2.
SgRgb VertexColour(int team) {
    return SgRgb(team == 3 ? 0.0f : 1.0f, team == 1 || team == 3 ? 0.0f : 1.0f, team == 1 || team == 2 ? 0.0f : 1.0f);
}

SgRgb MaterialColour(int team) {
    return SgRgb(team == 3 ? 0.0f : 1.0f, team == 2 || team == 3 ? 0.0f : 1.0f, team == 1 || team == 2 ? 0.0f : 1.0f);
}

SgRef<SgTriStrip> CrosshairStrip(int team) {
    const SgVec3 corners[4] = {SgVec3(-0.04f, 0, 0), SgVec3(0.04f, 0, 0), SgVec3(-0.04f, 0.08f, 0),
                               SgVec3(0.04f, 0.08f, 0)};
    // The left quarter of the bitmap.
    const SgVec3 uv[4] = {SgVec3(0, 0, 0), SgVec3(0.25f, 0, 0), SgVec3(0, 1, 0), SgVec3(0.25f, 1, 0)};
    const SgRgb c = VertexColour(team);
    const SgRgba colour(c.r, c.g, c.b, 1);
    const SgRgba colours[4] = {colour, colour, colour, colour};
    SgRef<SgTriStrip> strip(new SgTriStrip(4, corners, nullptr, uv, colours));
    strip->ComputeNormals();
    strip->ComputePlanes();
    return strip;
}

void GiveCrosshairProperties(SgNode* node, int team) {
    SgRef<SgAlphaProperty> alpha(new SgAlphaProperty);
    alpha->blendOn = 1;
    alpha->sourceBlend = 0;
    alpha->destinationBlend = 3;
    SgRef<SgZBufferProperty> zBuffer(new SgZBufferProperty);
    zBuffer->depthTest = 1;
    zBuffer->depthWrite = 0;
    SgRef<SgMaterialProperty> material(new SgMaterialProperty);
    material->ambient = SgRgb(0, 0, 0);
    material->diffuse = SgRgb(0, 0, 0);
    material->emissive = MaterialColour(team);
    material->alpha = 1.0f;
    node->AddRenderProperty(alpha.Get());
    node->AddRenderProperty(zBuffer.Get());
    node->AddRenderProperty(material.Get());
}

}  // namespace

Crosshair& CrosshairParts() {
    // Never destroyed: engine objects must not be released during static destruction.
    static Crosshair* crosshair = new Crosshair;
    return *crosshair;
}

int CreateCrosshair(int team) {
    if (!IsSceneActive())
        return 0;
    RemoveCrosshair();
    Crosshair& c = CrosshairParts();
    c.node = SgRef<SgBillboardNode>(new SgBillboardNode);
    c.node->mode = SgBillboardNode::kTurnAboutY;
    SgRef<SgTextureProperty> texture(new SgTextureProperty("crsshair.bmp"));
    c.image = texture->CurrentImage();
    c.node->AddRenderProperty(texture.Get());
    c.node->InsertChild(CrosshairStrip(team).Get(), true);
    TurnQuarterAboutX(c.node.Get());
    GiveCrosshairProperties(c.node.Get(), team);
    // A new node is shown whatever the HUD last asked: its next call must act.
    CrosshairShown = -1;
    return 1;
}

int PlaceCrosshair(int, int x, int y, int z) {
    SgBillboardNode* node = CrosshairParts().node.Get();
    if (!node)
        return 1;
    const SgVec3 at(x / kFixedToEngine, y / kFixedToEngine, -z / kFixedToEngine);
    node->localTranslation = at;
    SgNode* parent = node->Parent();
    SgNode* room = FindRoomAtPoint(at.x, at.y, at.z, parent);
    if (room && room != parent) {
        SgRef<SgBillboardNode> keep(node);
        if (parent)
            parent->RemoveChild(node);
        room->InsertChild(node, true);
    }
    node->UpdateAllStates();
    return 1;
}

void ShowCrosshair(int state) {
    if (state == CrosshairShown)
        return;
    if (SgBillboardNode* node = CrosshairParts().node.Get(); node && (state == 0 || state == 1))
        node->SetHidden(state == 1 ? 0 : 1);
    CrosshairShown = state;
}

void RemoveCrosshair() {
    Crosshair& c = CrosshairParts();
    if (c.node) {
        if (SgNode* parent = c.node->Parent())
            parent->RemoveChild(c.node.Get());
        c.node = nullptr;
    }
    c.image = nullptr;
}

}  // namespace present
