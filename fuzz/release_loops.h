#pragma once
// A camera that hangs in the scene it draws holds its own ancestor, and so may a light that
// shadows or projects onto a subtree holding it: those loops of references are the owner's to
// break (the game does at shutdown), so the fuzzers break them before they let go.

#include <cstddef>

#include "engine/animation/sg_3ds_particle_system.h"
#include "engine/core/sg_camera.h"
#include "engine/core/sg_stream.h"
#include "engine/geometry/sg_projection_lights.h"
#include "engine/render/portal/sg_room.h"

inline void ReleaseLoopsOf(SgObject* object) {
    if (SgCamera* camera = SgKindCast<SgCamera>(object))
        camera->SetSceneRoot(nullptr);
    if (SgShadowLight* shadow = SgKindCast<SgShadowLight>(object)) {
        shadow->ClearAffectedRoots();
        shadow->reference = nullptr;
    }
    if (SgProjectedLight* projected = SgKindCast<SgProjectedLight>(object))
        projected->reference = nullptr;
    // And a room or a room group whose lists or outside object name itself or a holder.
    if (SgRoom* room = SgKindCast<SgRoom>(object))
        room->RemoveAllContents();
    if (SgRoomGroup* group = SgKindCast<SgRoomGroup>(object)) {
        group->RemoveAllRooms();
        group->outside = nullptr;
    }
    // So may a particle system whose template, extra objects or snapshots hold it.
    if (Sg3dsParticleSystem* system = SgKindCast<Sg3dsParticleSystem>(object)) {
        system->SetParticleObject(nullptr);
        system->SetExtraObjectCount(0);
        system->SetMaxParticles(0);
    }
}

inline void ReleaseLoops(const SgSceneStream& stream) {
    for (size_t i = 0; i < stream.LoadedCount(); ++i)
        ReleaseLoopsOf(stream.LoadedObject(i));
}
