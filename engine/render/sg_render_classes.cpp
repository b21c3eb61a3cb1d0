// The render library's registration list, kept in every program that links engine_render by the
// library's `-u SgRegisterRenderClasses` link option.

#include "engine/core/sg_registry.h"
#include "engine/render/sg_d3d_render.h"

extern "C" void SgRegisterRenderClasses() { SgD3DRender::Register(); }

namespace {

const bool g_registered = (SgRegisterRenderClasses(), true);

}  // namespace
