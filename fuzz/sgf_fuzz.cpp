// sgf model files come from the installation and from downloads: any bytes must load safely, and
// what loads must save and load again. Leaks count as failures (every object the stream made is
// released with it).

#include <cstdint>
#include <vector>

#include "engine/animation/sg_3ds_skin.h"
#include "engine/animation/sg_clod.h"
#include "engine/core/sg_action.h"
#include "engine/core/sg_camera.h"
#include "engine/core/sg_stream.h"
#include "engine/geometry/sg_projection_lights.h"

namespace {

// A camera that hangs in the scene it draws holds its own ancestor, and so may a light that
// shadows or projects onto a subtree holding it: those loops of references are the owner's to
// break (the game does at shutdown), so the fuzzer breaks them before it lets go.
void ReleaseCameraRoots(const SgSceneStream& stream) {
    for (size_t i = 0; i < stream.LoadedCount(); ++i) {
        SgObject* object = stream.LoadedObject(i);
        if (SgCamera* camera = SgKindCast<SgCamera>(object))
            camera->SetSceneRoot(nullptr);
        if (SgShadowLight* shadow = SgKindCast<SgShadowLight>(object)) {
            shadow->ClearAffectedRoots();
            shadow->reference = nullptr;
        }
        if (SgProjectedLight* projected = SgKindCast<SgProjectedLight>(object))
            projected->reference = nullptr;
    }
}

// Loaded level-of-detail meshes are walked through their levels; skins are transformed.
void ExerciseLoaded(const SgSceneStream& stream) {
    for (size_t i = 0; i < stream.LoadedCount(); ++i) {
        if (SgClod* clod = SgKindCast<SgClod>(stream.LoadedObject(i))) {
            SgWorldState* state = clod->CurrentState();
            clod->SetTriangleCount(state, 0);
            clod->SetTriangleCount(state, static_cast<uint16_t>(clod->FullTriangleCount() / 2));
            clod->SetTriangleCount(state, 0xFFFF);
            clod->TransformToWorld(state);
        }
        if (Sg3dsSkin* skin = SgKindCast<Sg3dsSkin>(stream.LoadedObject(i)))
            skin->TransformToWorld(skin->CurrentState());
    }
}

void Check(const uint8_t* data, size_t size) {
    SgSceneStream stream;
    if (!stream.Load(data, size))
        return;
    ExerciseLoaded(stream);
    std::vector<uint8_t> saved;
    {
        SgSceneStream out;
        for (uint32_t i = 0; i < stream.TopLevelCount(); ++i)
            out.InsertObject(stream.TopLevelObject(i));
        if (!out.Save(saved))
            __builtin_trap();
    }
    SgSceneStream again;
    bool reloaded = again.Load(saved.data(), saved.size()) && again.TopLevelCount() == stream.TopLevelCount();
    ReleaseCameraRoots(again);
    ReleaseCameraRoots(stream);
    if (!reloaded)
        __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Check(data, size);
    // Loaded actions join the process's list; each input starts without them.
    SgAction::ClearList();
    return 0;
}
