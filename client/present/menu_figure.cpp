#include "client/present/menu_figure.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "client/present/camera_set.h"
#include "client/present/figure_anim_state.h"
#include "client/present/figure_animation.h"
#include "client/present/figure_textures.h"
#include "client/present/figure_tree.h"
#include "client/present/lod_select.h"
#include "client/present/scene_dump.h"
#include "client/present/scene_load.h"
#include "client/present/tiles.h"
#include "client/present/world_tables.h"
#include "engine/core/sg_stream.h"

namespace present {
namespace {

constexpr float kFigureScale = 2.2f;
constexpr int kForcedLod = 1000;
constexpr int kMaxElapsed = 10000;
constexpr double kClockRate = 5 * 0.0001;  // five times real time

// "sgfs/main.sgf" -> "main".
std::string BaseName(const char* path) {
    std::string name = path;
    const size_t slash = name.find_last_of("/\\");
    if (slash != std::string::npos)
        name = name.substr(slash + 1);
    const size_t dot = name.find_last_of('.');
    if (dot != std::string::npos)
        name = name.substr(0, dot);
    return name;
}

void TakeCamera(SgCamera* camera) {
    SgFrustum& f = camera->frustum;
    f.top *= 0.75f;
    f.bottom *= 0.75f;
    f.nearDistance = std::max(std::max(f.nearDistance, f.farDistance / 10000.0f), 0.1f);
    camera->UpdateAllStates();
    MenuFigure().view = camera;
}

void TakeScene(SgNode* node, const char* path) {
    SgRef<SgNode> holder(new SgNode);
    holder->InsertChild(node, false);
    holder->AssignName(path);
    SgAVObject::cloneNaming = 1;
    PrecacheModelTextures(holder.Get());
    SetAnimationTiming(holder.Get(), 0, 0);
    MenuFigure().holder = holder;
}

int InRange(int value, int last) { return value >= 0 && value <= last ? value : 0; }

SgNode* MakeFigureNode() {
    SgRef<SgNode> node(new SgNode);
    node->localScale = kFigureScale;
    SgRef<SgMaterialProperty> material(new SgMaterialProperty);
    material->ambient = {0, 0, 0};
    material->diffuse = {2, 2, 2};
    material->specular = {0, 0, 0};
    material->emissive = {0, 0, 0};
    material->alpha = 1.0f;
    material->override = 1;
    material->changed = 1;
    node->AddRenderProperty(material.Get());
    if (auto* stand = SgKindCast<SgNode>(FindNamedObject(Cameras().sceneRoot.Get(), "Dmy_Figure")))
        stand->InsertChild(node.Get(), false);
    MenuFigure().figure = node;
    return node.Get();
}

void ReleaseFigureNode() {
    MenuFigureScene& m = MenuFigure();
    if (!m.figure)
        return;
    if (SgNode* parent = m.figure->Parent())
        parent->RemoveChild(m.figure.Get());
    m.figure = nullptr;
}

}  // namespace

void MenuFigureTextureNumbers(int templateNumber, int body, int head, int colour, int& bodyTexture,
                              int& headTexture) {
    body = InRange(body, 2);
    head = InRange(head, 3);
    colour = InRange(colour, 3);
    bodyTexture = body;
    headTexture = head;
    if (templateNumber < 201 || templateNumber > 203)
        return;
    const int type = templateNumber - 201;
    bodyTexture = 10 * type + 3 * body + (colour != 0 ? colour - 1 : 0);
    headTexture = 4 * type + head;
}

MenuFigureScene& MenuFigure() {
    static MenuFigureScene scene;
    return scene;
}

int SetMenuFigureView(int a, int b, int c) {
    MenuFigureScene& m = MenuFigure();
    m.viewValues[0] = a;
    m.viewValues[1] = b;
    m.viewValues[2] = c;
    return 0;
}

int LoadMenuFigure(const char* path) {
    SgSceneStream stream;
    if (!LoadSceneFromOwnDirectory(path, stream))
        return 0;
    MenuFigureScene& m = MenuFigure();
    for (uint32_t i = 0; i < stream.TopLevelCount(); ++i) {
        SgObject* object = stream.TopLevelObject(i);
        if (auto* node = SgKindCast<SgNode>(object)) {
            if (!m.holder)
                TakeScene(node, path);
        } else if (auto* camera = SgKindCast<SgCamera>(object)) {
            TakeCamera(camera);
        }
    }
    if (!m.holder)
        return 1;
    const std::string log = BaseName(path) + ".log";
    FILE* file = std::fopen(log.c_str(), "w");
    DumpSceneGraph(m.holder.Get(), 0, file);
    if (file)
        std::fclose(file);
    if (SgNode* root = Cameras().sceneRoot.Get())
        root->InsertChild(m.holder.Get(), false);
    m.holder->UpdateAllStates();
    SetForcedLodLevel(kForcedLod);
    return 1;
}

int ActivateMenuFigureScene() {
    MenuFigureScene& m = MenuFigure();
    if (m.view) {
        m.view->SetDisplay(Cameras().display.Get());
        m.view->SetSceneRoot(Cameras().sceneRoot.Get());
    }
    World().sceneActive = 1;
    return 1;
}

void CreateMenuFigure(int templateNumber, int body, int head, int colour) {
    MenuFigureScene& m = MenuFigure();
    SgNode* node = m.figure.Get();
    if (!node)
        node = MakeFigureNode();
    else if (node->ChildCount() > 0)
        node->RemoveChildAt(0);
    SgNode* model = TemplateNode(templateNumber);
    if (!model)
        return;
    SgRef<SgAVObject> clone = model->Duplicate();
    node->InsertChild(clone.Get(), false);
    MenuFigureTextureNumbers(templateNumber, body, head, colour, m.bodyTexture, m.headTexture);
    SetNodeBodyTexture(clone.Get(), m.bodyTexture);
    SetNodeHeadTexture(clone.Get(), m.headTexture);

    SetAnimationTiming(node, 0, 2);
    AttachFigureExtraData(node);
    BuildFigureBoneTable(node, 0, 0);
    if (templateNumber >= 201 && templateNumber <= 203) {
        const int start = AnimationTemplate(templateNumber, 0);
        CopyFigureAnimation(TemplateNode(start), node, model, kAllBones);
    }
    SetAnimationTiming(node, 0, 2);
    node->UpdateAllStates();
}

void AnimateMenuFigure(int elapsed) {
    MenuFigureScene& m = MenuFigure();
    if (SgNode* root = Cameras().sceneRoot.Get()) {
        AnimateSubtree(root, m.clock);
        root->UpdateAllStates();
    }
    if (m.view)
        m.view->RenderFrame(m.clock);
    m.clock += static_cast<float>(std::min(elapsed, kMaxElapsed) * kClockRate);
}

void DrawMenuFigureScene() {
    if (SgCamera* view = MenuFigure().view.Get())
        view->FinishView();
}

int DetachMenuFigure() {
    if (!MenuFigure().figure)
        return 0;
    ReleaseFigureNode();
    return 1;
}

int DestroyMenuFigureScene() {
    MenuFigureScene& m = MenuFigure();
    if (!m.holder)
        return 0;
    if (SgNode* root = Cameras().sceneRoot.Get())
        root->RemoveChild(m.holder.Get());
    ReleaseFigureNode();
    m.view = nullptr;
    m.holder = nullptr;
    World().sceneActive = 0;
    SetForcedLodLevel(0);
    return 1;
}

}  // namespace present
