// engine_geometry's registration list: every class of the library registers here, once, before
// main. The library's link option `-u SgRegisterGeometryClasses` makes every program that links
// engine_geometry keep this file (see engine/core/sg_registry.h). Add a line for each new class.

#include "engine/core/sg_registry.h"
#include "engine/geometry/sg_deferred_draw_sorter.h"
#include "engine/geometry/sg_lines.h"
#include "engine/geometry/sg_particles.h"
#include "engine/geometry/sg_projection_lights.h"
#include "engine/geometry/sg_special_nodes.h"
#include "engine/geometry/sg_switch_nodes.h"
#include "engine/geometry/sg_tri_lists.h"
#include "engine/geometry/sg_tri_shape.h"

extern "C" void SgRegisterGeometryClasses() {
    SgTriBasedGeom::Register();
    SgTriShape::Register();
    SgEnvMappedTriShape::Register();
    SgTriangles::Register();
    SgTriStrip::Register();
    SgParticles::Register();
    SgAutoNormalParticles::Register();
    SgLines::Register();

    SgSwitchNode::Register();
    SgFltAnimationNode::Register();
    SgLODNode::Register();
    SgBillboardNode::Register();
    SgBSPNode::Register();
    SgCollisionSwitch::Register();
    SgShadowLight::Register();
    SgProjectedLight::Register();

    // Triangle-level collision, and the engine's own collector of the deferral pass unless the
    // program has installed one.
    SgGeometry::SetTriangleCollisionTest(SgTriBasedGeom::CollideByModes);
    if (!SgGetDeferredCollectorFactory())
        SgSetDeferredCollectorFactory(SgCreateDeferredDrawSorter);
}

namespace {

const bool g_registered = (SgRegisterGeometryClasses(), true);

}  // namespace
