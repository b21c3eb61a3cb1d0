// A program that includes no class header: the engine's classes must still be registered, which
// only holds when the linker keeps the registration list (the -u link option of engine_core).

#include <gtest/gtest.h>

#include "engine/core/sg_registry.h"

namespace {

TEST(Registration, SurvivesStaticLinking) {
    const char* classes[] = {"SgAlphaProperty", "SgCorrectionProperty", "SgFogProperty", "SgMaterialProperty",
                             "SgShadeProperty", "SgTextureModeProperty", "SgTransparentProperty",
                             "SgWireframeProperty", "SgZBufferProperty", "SgDitherProperty",
                             "SgVertexColorProperty", "SgSpecularProperty"};
    for (const char* name : classes)
        EXPECT_NE(SgClassRegistry::FindCreateFunction(name), nullptr) << name;
    EXPECT_NE(SgClassRegistry::FindExtraCreateFunction("SgStringExtraData"), nullptr);
}

}  // namespace
