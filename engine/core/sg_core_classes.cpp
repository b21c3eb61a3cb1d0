// engine_core's registration list: every class of the library registers here, once, before main.
// The library's link option `-u SgRegisterCoreClasses` makes every program that links engine_core
// keep this file, so nothing here can be dropped by the linker (see sg_registry.h). Add a line
// for each new class.

#include "engine/core/sg_action.h"
#include "engine/core/sg_camera.h"
#include "engine/core/sg_camera_action.h"
#include "engine/core/sg_display.h"
#include "engine/core/sg_extra_data.h"
#include "engine/core/sg_geometry.h"
#include "engine/core/sg_image.h"
#include "engine/core/sg_light.h"
#include "engine/core/sg_node.h"
#include "engine/core/sg_processor.h"
#include "engine/core/sg_property.h"
#include "engine/core/sg_registry.h"
#include "engine/core/sg_screen_polygon.h"
#include "engine/core/sg_texture_property.h"

extern "C" void SgRegisterCoreClasses() {
    SgObject::Register();
    SgExtraData::Register();
    SgStringExtraData::Register();

    SgProperty::Register();
    SgAlphaProperty::Register();
    SgCorrectionProperty::Register();
    SgFogProperty::Register();
    SgMaterialProperty::Register();
    SgShadeProperty::Register();
    SgTextureModeProperty::Register();
    SgTransparentProperty::Register();
    SgWireframeProperty::Register();
    SgZBufferProperty::Register();
    SgDitherProperty::Register();
    SgVertexColorProperty::Register();
    SgSpecularProperty::Register();
    SgTextureProperty::Register();
    SgMultiTextureProperty::Register();

    SgRawImageData::Register();
    SgImage::Register();
    SgAction::Register();
    SgFlipTextures::Register();
    SgRender::Register();
    SgDisplay::Register();
    SgScreenPolygon::Register();

    SgAVObject::Register();
    SgNode::Register();
    SgLight::Register();
    SgCamera::Register();
    SgCameraAction::Register();
    SgGeometry::Register();

    SgMakeDefaultProperties();
    SgTextureProperty::Default();
    SgMultiTextureProperty::Default();
    SelectTransformRoutines();
}

namespace {

const bool g_registered = (SgRegisterCoreClasses(), true);

}  // namespace
