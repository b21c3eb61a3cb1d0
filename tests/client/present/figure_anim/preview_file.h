#pragma once
// A small preview scene file: a stage node holding a floor triangle and "Dmy_Figure", the camera
// 10 units behind the stand looking at it, and a second top-level node that the preview ignores.

#include <gtest/gtest.h>

#include <string>

#include "engine/core/sg_camera.h"
#include "engine/core/sg_node.h"
#include "engine/core/sg_stream.h"
#include "engine/geometry/sg_tri_shape.h"

namespace figure_test {

inline void WritePreviewFile(const std::string& path, bool withCamera, float far) {
    SgRef<SgNode> stage(new SgNode);
    stage->AssignName("Stage");
    const SgVec3 v[3] = {{0, -1, 0}, {0, 1, 0}, {0, 0, 1}};
    const uint16_t idx[3] = {0, 1, 2};
    SgRef<SgTriShape> floor(new SgTriShape(3, v, nullptr, 1, idx, nullptr, nullptr));
    floor->AssignName("Floor");
    stage->InsertChild(floor.Get(), false);
    SgRef<SgNode> stand(new SgNode);
    stand->AssignName("Dmy_Figure");
    stage->InsertChild(stand.Get(), false);
    SgRef<SgCamera> camera(new SgCamera);
    camera->AssignName("View");
    camera->frustum = {-0.5f, 0.5f, 0.4f, -0.4f, 0.001f, far};
    camera->localTranslation = {-10, 0, 0.5f};
    SgRef<SgNode> spare(new SgNode);
    spare->AssignName("Spare");
    spare->InsertChild(new SgNode, false);
    spare->InsertChild(new SgNode, false);

    // Records go out in the link-id map's order: with the stage's id 5 it is the first node read.
    SgSceneStream stream;
    SgRef<SgNode> placeholder(new SgNode);
    stream.InsertObject(withCamera ? static_cast<SgObject*>(camera.Get()) : placeholder.Get());
    stream.InsertObject(spare.Get());
    stream.InsertObject(stage.Get());
    ASSERT_TRUE(stream.SaveFile(path.c_str()));
}

}  // namespace figure_test
