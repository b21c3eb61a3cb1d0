#pragma once
// The screen tint: a five-vertex fan kept in front of the camera (the damage flash), its centre
// and its corners each with their own opacity.

#include "engine/core/sg_camera_action.h"
#include "engine/core/sg_node.h"
#include "engine/geometry/sg_tri_shape.h"

namespace present {

struct ScreenTint {
    SgRef<SgNode> node;
    SgRef<SgTriShape> shape;
    SgRef<CameraFollowAction> action;
};

ScreenTint& Tint();

void CreateScreenTint();
void ShowScreenTint(int on);
// Colour 0..255, opacities in percent; returns 1.
int SetScreenTint(int red, int green, int blue, int centreOpacity, int edgeOpacity);
void ReleaseScreenTint();

}  // namespace present
