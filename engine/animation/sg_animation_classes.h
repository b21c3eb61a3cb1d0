#pragma once
// engine_animation's registration list (see engine/core/sg_registry.h); safe to call again.

extern "C" void SgRegisterAnimationClasses();
