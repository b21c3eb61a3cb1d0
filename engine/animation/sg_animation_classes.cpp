// engine_animation's registration list: the key types' create tables and every class of the
// library, registered once before main. The library's link option `-u SgRegisterAnimationClasses`
// keeps this file in every program that links engine_animation (see engine/core/sg_registry.h).
// Add a line for each new class.

#include "engine/animation/sg_animation_classes.h"

#include "engine/animation/sg_3ds_animation_node.h"
#include "engine/animation/sg_3ds_animators.h"
#include "engine/animation/sg_3ds_morph_shape.h"
#include "engine/animation/sg_3ds_particle_system.h"
#include "engine/animation/sg_3ds_path_controller.h"
#include "engine/animation/sg_3ds_skin.h"
#include "engine/animation/sg_clod.h"
#include "engine/animation/sg_clod_skin.h"
#include "engine/animation/sg_float_key.h"
#include "engine/animation/sg_force.h"
#include "engine/animation/sg_position_key.h"
#include "engine/animation/sg_rotation_key.h"

extern "C" void SgRegisterAnimationClasses() {
    SgPositionKey::RegisterType0();
    SgPositionKeyLinear::Register();
    SgPositionKeyTangent::Register();
    SgPositionKeyShaped::Register();
    SgRotationKeyPlain::Register();
    SgRotationKeyModal::Register();
    SgRotationKeyShaped::Register();
    SgRotationKeyAxes::Register();
    SgFloatKey::RegisterType0();
    SgFloatKeyLinear::Register();
    SgFloatKeyTangent::Register();
    SgFloatKeyShaped::Register();
    SgFloatKey::RegisterType4();
    SgFloatKeyArrays::Register();
    SgFloatKeyPair::Register();

    Sg3dsAnimationNode::Register();
    Sg3dsBone::Register();
    SgClod::Register();
    Sg3dsSkin::Register();
    SgClodSkin::Register();

    SgForce::Register();
    SgGravity::Register();
    SgParticleBomb::Register();
    SgSphericalCollider::Register();
    SgPlanarCollider::Register();
    SgMeshCollider::Register();
    Sg3dsParticleSystem::Register();
    Sg3dsPathController::Register();
    Sg3dsMorphShape::Register();
    Sg3dsEnvMorphShape::Register();
    Sg3dsPropertyAnimator::Register();
    Sg3dsAlphaAnimator::Register();
    Sg3dsColorAnimator::Register();
    Sg3dsPropAnimExtraData::Register();
    Sg3dsLightAnimator::Register();
    Sg3dsLightColorAnimator::Register();
}

namespace {

const bool g_registered = (SgRegisterAnimationClasses(), true);

}  // namespace
