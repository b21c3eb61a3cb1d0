#pragma once
// Shared pieces of the scene tests: small shapes and a camera drawing through a display into the
// recording renderer.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/core/sg_camera.h"
#include "engine/core/sg_display.h"
#include "engine/core/sg_node.h"
#include "engine/geometry/sg_tri_shape.h"
#include "tests/support/recording_render.h"

// One triangle in the z = 0 plane with its corner at (x, y, 0) and unit legs along +x and +y.
inline SgRef<SgTriShape> MakeTriangle(float x = 0.0f, float y = 0.0f, const char* name = nullptr) {
    const SgVec3 v[3] = {{x, y, 0}, {x + 1, y, 0}, {x, y + 1, 0}};
    const uint16_t indices[3] = {0, 1, 2};
    SgRef<SgTriShape> shape(new SgTriShape(3, v, nullptr, 1, indices, nullptr, nullptr));
    if (name)
        shape->AssignName(name);
    return shape;
}

// A camera at the origin looking along +x (its view direction is -x), window -1..1 at near 1,
// far 100, drawing through a display into a recording renderer.
class SceneTest : public testing::Test {
protected:
    SceneTest() {
        render = new RecordingRender;
        display = new SgDisplay;
        display->SetRenderer(render.Get());
        camera = new SgCamera;
        camera->frustum.farDistance = 100.0f;
        camera->SetDisplay(display.Get());
        camera->UpdateAllStates();
        render->Clear();
    }

    // Sets the root, brings its states up to date and renders one frame, logging only the frame.
    void RenderRoot(SgAVObject* root, double time = 0.0) {
        camera->SetSceneRoot(root);
        if (root)
            root->UpdateAllStates();
        render->Clear();
        camera->RenderFrame(time);
    }

    // The names of the calls between BeginFrame and EndFrame that draw or clip.
    std::vector<std::string> DrawNames() const {
        std::vector<std::string> names;
        for (const RenderCall& c : render->calls)
            if (c.name.rfind("Draw", 0) == 0 || c.name == "SetClipPlanes")
                names.push_back(c.name);
        return names;
    }

    bool MaskClear() const {
        const uint32_t* m = camera->DisabledMask();
        return m[0] == 0 && m[1] == 0 && m[2] == 0 && m[3] == 0;
    }

    SgRef<RecordingRender> render;
    SgRef<SgDisplay> display;
    SgRef<SgCamera> camera;
};
