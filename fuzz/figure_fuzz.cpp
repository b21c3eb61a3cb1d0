// A model file from an installation becomes a figure template: any bytes must load, fold, get
// levels of detail, clone into figures, place, animate, take lights, billboards, tints and
// overlays, and go again without a fault or a leak.

#include <cstdint>
#include <cstdio>

#include "client/present/figure_anim_state.h"
#include "client/present/figure_animation.h"
#include "client/present/figure_attach.h"
#include "client/present/figure_lights.h"
#include "client/present/figure_loader.h"
#include "client/present/figure_objects.h"
#include "client/present/figure_textures.h"
#include "client/present/scene_dump.h"
#include "client/present/scene_walk.h"
#include "client/present/world_tables.h"
#include "engine/animation/sg_3ds_animators.h"
#include "engine/core/sg_action.h"
#include "fuzz/release_loops.h"
#include "fuzz/scratch_dir.h"

namespace {

using namespace present;

constexpr int kTemplate = 5;

void ReleaseSubtreeLoops(SgAVObject* root) {
    ForEachSceneObject(root, [](SgAVObject* o) { ReleaseLoopsOf(o); });
}

void Exercise(uint8_t choice) {
    SgNode* holder = TemplateNode(kTemplate);
    // Particle systems step per particle: large ones make an input slow, not wrong.
    ForEachSceneObject(holder, [](SgAVObject* o) {
        if (auto* system = SgKindCast<Sg3dsParticleSystem>(o); system && system->MaxParticles() > 64)
            system->SetMaxParticles(0);
    });
    if (choice & 1)
        OptimizeFigureModel(kTemplate);
    if (choice & 2)
        BuildFigureModelLod(kTemplate);
    if (choice & 4) {
        SetFigureModelAnimation(kTemplate, (choice >> 3) % 3, 1 + choice % 40, 30);
        SetFigureKind(TemplateNode(kTemplate), kTemplate, (choice >> 5) % 4);
    }
    static const char* const kNames[3] = {nullptr, "", "Spell"};
    const int a = CreateFigureForObject(kTemplate, kNames[choice % 3], 0.01f);
    const int b = CreateFigureForObject(kTemplate, kNames[(choice >> 2) % 3], -1.0f);
    const int directions[3] = {0, 2048, 6000};
    for (int i = 0; i < 3; ++i) {
        PlaceObjectFigure(a, i * 6553600, -i * 3276800, 655360 * i, directions[i], 10 * i, 1, i != 1, 100);
        PlaceObjectFigure(b, 0, 0, 0, directions[2 - i], -5, i == 2, 1, 0);
    }
    UpdateFigureAnimation(a, 0.5f, kAllBones);
    UpdateFigureAnimation(b, 1.5f, kRightArmMask);
    AttachFigureLight(a, 100, 200, 255, 128, 0, 80);
    const int billboard = CreateFigureBillboard(b);
    uint32_t pixels[256] = {};
    SetFigureBillboardPixels(billboard, pixels);
    SetFigureTint(a, 50, choice % 4, choice & 1, 10, 20, 30);
    SetFigureTint(b, 100, 0, 0, 0, 0, 0);
    SetFigureBodyTexture(a, 4);
    SetFigureFirstPersonVisibility(b, 1);
    RelightFigure(a);
    // Animation of the figures from the template itself, overlays of it at every part kind.
    PlayFigureAnimation(a, kTemplate, choice & 8 ? kAllBones : kRightArmMask);
    CreateFigureOverlayModel(a, kTemplate, (choice & 16) ? 65 : choice % 70, choice % 5, choice * 37, choice % 90);
    CreateFigureOverlayModel(b, kTemplate, 64, (choice >> 1) % 4, 4096 - choice, 0);
    SetFigureOverlayElement(a, choice % 12);
    SetFigureOverlayColor(b, choice, 255 - choice, 7);
    UpdateFigureOverlayAnimation(a, 0.25f);
    PlaceObjectFigure(a, 0, 0, 0, 0, 0, 1, 1, 0);
    PlaceFigureOverlay(b);
    DumpSceneGraph(FigureNode(a), 0, nullptr);
    RemoveFigureOverlay(b);
    for (int f : {a, b})
        if (SgNode* node = FigureNode(f))
            ReleaseSubtreeLoops(node);
    RemoveObjectFigure(a);
    RemoveObjectFigure(b);
    RemoveFigureBillboard(billboard);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ScratchDirectory scratch("/tmp/figure_fuzzXXXXXX", "fig");
    if (!scratch.entered())
        return 0;
    FILE* file = std::fopen("fig/model.sgf", "wb");
    if (!file)
        return 0;
    const size_t written = size ? std::fwrite(data, 1, size, file) : 0;
    std::fclose(file);
    if (written != size)
        return 0;

    World().worldRoot = SgRef<SgNode>(new SgNode);
    World().sceneActive = 1;
    {
        SgSceneStream stream;
        if (LoadFigureModelWith(kTemplate, "fig/model.sgf", stream) && TemplateNode(kTemplate))
            Exercise(size ? data[size / 2] : 0);
        ReleaseSubtreeLoops(TemplateNode(kTemplate));
        ReleaseLoops(stream);
        FreeFigureModel(kTemplate);
    }
    World() = WorldTables{};
    // Loaded actions join the process's list; animators and the materials they drive hold each
    // other until retired, as the game does at shutdown.
    SgAction::ClearList();
    Sg3dsPropertyAnimator::DeleteAll();
    return 0;
}
