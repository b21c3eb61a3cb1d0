#include "client/present/screen_tint.h"

#include "client/present/camera_set.h"
#include "client/present/world_tables.h"
#include "engine/core/sg_action.h"

namespace present {

namespace {

constexpr int kCentre = 2;

}  // namespace

ScreenTint& Tint() {
    // Never destroyed: engine objects must not be released during static destruction.
    static ScreenTint* tint = new ScreenTint;
    return *tint;
}

void CreateScreenTint() {
    ScreenTint& t = Tint();
    SgNode* root = World().worldRoot.Get();
    if (!root)
        return;
    static const SgVec3 kCorners[5] = {SgVec3(0, -0.149f, -0.199f), SgVec3(0, -0.149f, 0.199f), SgVec3(0, 0, 0),
                                       SgVec3(0, 0.149f, -0.199f), SgVec3(0, 0.149f, 0.199f)};
    static const uint16_t kTriangles[12] = {0, 1, 2, 0, 2, 3, 2, 1, 4, 2, 4, 3};
    SgRgba colors[5];
    for (int v = 0; v < 5; ++v)
        colors[v] = SgRgba(1, 1, 1, v == kCentre ? 0.0f : 0.5f);
    t.node = SgRef<SgNode>(new SgNode);
    root->InsertChild(t.node.Get(), true);
    t.shape = SgRef<SgTriShape>(new SgTriShape(5, kCorners, nullptr, 4, kTriangles, nullptr, colors));
    t.node->InsertChild(t.shape.Get(), true);

    SgRef<SgZBufferProperty> zbuffer(new SgZBufferProperty);
    zbuffer->depthTest = 1;
    zbuffer->depthWrite = 0;
    SgRef<SgTextureModeProperty> mode(new SgTextureModeProperty);
    mode->applyMode = 3;
    mode->filterMode = 1;
    mode->addressingMode = 3;
    SgRef<SgVertexColorProperty> vertexColor(new SgVertexColorProperty);
    vertexColor->mode = 1;
    SgRef<SgAlphaProperty> alpha(new SgAlphaProperty);
    alpha->blendOn = 1;
    alpha->sourceBlend = 6;
    alpha->destinationBlend = 7;
    for (SgProperty* property : {static_cast<SgProperty*>(zbuffer.Get()), static_cast<SgProperty*>(mode.Get()),
                                 static_cast<SgProperty*>(vertexColor.Get()), static_cast<SgProperty*>(alpha.Get())})
        t.node->properties.Prepend(property);

    t.action = SgRef<CameraFollowAction>(new CameraFollowAction(t.node.Get()));
    // The tint is the viewer's: it rides in front of the first-person camera.
    t.action->SetCamera(Cameras().firstPersonCamera.Get());
    if (!SgAction::List().Contains(t.action.Get()))
        SgAction::AddToList(t.action.Get());
    t.node->UpdateAllStates();
}

void ShowScreenTint(int on) {
    if (SgNode* node = Tint().node.Get())
        node->SetHidden(on ? 0 : 1);
}

int SetScreenTint(int red, int green, int blue, int centreOpacity, int edgeOpacity) {
    SgTriShape* shape = Tint().shape.Get();
    if (!shape || !shape->Colors())
        return 1;
    for (int v = 0; v < 5; ++v)
        shape->Colors()[v] = SgRgba(red / 255.0f, green / 255.0f, blue / 255.0f,
                                    (v == kCentre ? centreOpacity : edgeOpacity) * 0.01f);
    shape->UpdateAllStates();
    return 1;
}

void ReleaseScreenTint() {
    ScreenTint& t = Tint();
    if (t.action)
        SgAction::RemoveFromList(t.action.Get());
    t.action = nullptr;
    if (t.node) {
        if (SgWorldState* state = t.node->CurrentState(); state && state->key)
            if (auto* parent = SgKindCast<SgNode>(state->key))
                parent->RemoveChild(t.node.Get());
    }
    t.node = nullptr;
    t.shape = nullptr;
}

}  // namespace present
