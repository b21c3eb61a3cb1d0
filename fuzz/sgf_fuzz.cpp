// sgf model files come from the installation and from downloads: any bytes must load safely, and
// what loads must save and load again. Leaks count as failures (every object the stream made is
// released with it).

#include <cstdint>
#include <vector>

#include "engine/animation/sg_3ds_animators.h"
#include "engine/animation/sg_3ds_particle_system.h"
#include "engine/animation/sg_3ds_skin.h"
#include "engine/animation/sg_clod.h"
#include "engine/core/sg_action.h"
#include "engine/core/sg_camera.h"
#include "engine/core/sg_stream.h"
#include "engine/geometry/sg_projection_lights.h"
#include "engine/render/portal/sg_room.h"
#include "fuzz/release_loops.h"

namespace {

// Every loaded object with a clock is played at a few times: keys, paths, morphs and particles
// must evaluate safely whatever their fields hold. The engine bounds what particle systems do
// (one shared budget, prewarms within their own bound), but an input of many systems restarting
// at every time could still add up: systems are played while the input's particle work stays
// within two prewarms.
void PlayTimingOwners(const SgSceneStream& stream) {
    static constexpr float kTimes[] = {0.0f, 0.5f, 1.7f, 0.25f, 40.0f};
    static constexpr uint64_t kParticleWork = 2 * Sg3dsParticleSystem::kPrewarmWork;
    const uint64_t start = Sg3dsParticleSystem::WorkDone();
    for (size_t i = 0; i < stream.LoadedCount(); ++i) {
        SgObject* object = stream.LoadedObject(i);
        auto* timing = dynamic_cast<SgAnimationTiming*>(object);
        if (!timing)
            continue;
        auto* system = SgKindCast<Sg3dsParticleSystem>(object);
        for (float t : kTimes) {
            timing->Update(t);
            if (system && Sg3dsParticleSystem::WorkDone() - start < kParticleWork)
                system->Simulate(t);
        }
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
    PlayTimingOwners(stream);
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
    ReleaseLoops(again);
    ReleaseLoops(stream);
    if (!reloaded)
        __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Check(data, size);
    // Loaded actions join the process's list; each input starts without them. Animators and the
    // materials they drive hold each other until retired, as the game does at shutdown.
    SgAction::ClearList();
    Sg3dsPropertyAnimator::DeleteAll();
    return 0;
}
