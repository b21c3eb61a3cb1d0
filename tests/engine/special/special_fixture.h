#pragma once
// Pieces shared by the tests of the special nodes, lights, deferred drawing and collision: shapes
// that name themselves in the recording renderer's log, and a camera drawing into it.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/core/sg_camera.h"
#include "engine/core/sg_node.h"
#include "engine/geometry/sg_tri_shape.h"
#include "tests/engine/scene/scene_fixture.h"

// A triangle whose bound is centred on the origin of its own space: corners (-s, -s), (s, -s),
// (0, s) in the plane z = 0.
inline SgRef<SgTriShape> MakeCentredTriangle(float s = 1.0f) {
    const SgVec3 v[3] = {{-s, -s, 0}, {s, -s, 0}, {0, s, 0}};
    const uint16_t indices[3] = {0, 1, 2};
    return SgRef<SgTriShape>(new SgTriShape(3, v, nullptr, 1, indices, nullptr, nullptr));
}

// The scene tests' camera (at the origin, looking along +x) with helpers that say which of some
// shapes were drawn, in order.
class SpecialSceneTest : public SceneTest {
protected:
    // Index into shapes of each DrawTriShape call of the last frame (-1 for an unknown one).
    std::vector<int> DrawnOrder(const std::vector<SgTriShape*>& shapes) const {
        std::vector<int> order;
        for (const RenderCall& c : render->Named("DrawTriShape")) {
            int found = -1;
            for (size_t i = 0; i < shapes.size(); ++i) {
                // A shape is drawn from the world vertices of one of its states.
                const SgWorldStateList& states = shapes[i]->WorldStates();
                for (uint32_t k = 0; k < states.UsedSize(); ++k) {
                    SgWorldState* s = states.At(k);
                    if (s && !c.objects.empty() && c.objects[0] == SgGeometry::GeometryState(s)->worldVertices.get())
                        found = static_cast<int>(i);
                }
            }
            order.push_back(found);
        }
        return order;
    }

    // Renders one frame of the root without updating it first.
    void Frame(SgAVObject* root, double time = 0.0) {
        camera->SetSceneRoot(root);
        render->Clear();
        camera->RenderFrame(time);
    }
};

// A node that counts its updates.
class CountingNode : public SgNode {
public:
    void UpdateState(SgWorldState* state) override {
        ++updates;
        SgNode::UpdateState(state);
    }
    int updates = 0;
};

inline void ExpectNearVec(const SgVec3& a, const SgVec3& b, float tolerance = 1e-5f) {
    EXPECT_NEAR(a.x, b.x, tolerance);
    EXPECT_NEAR(a.y, b.y, tolerance);
    EXPECT_NEAR(a.z, b.z, tolerance);
}
