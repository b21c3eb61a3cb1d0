#pragma once
// The sample installation's level-of-detail figure, "figures/clod.sgf", written with the engine's
// own saver. Under one plain node, a keyed three-bone chain ("hip", "knee", "ankle", one every
// 4/3 up the z axis; application time, looping over [0, 2]: the knee and the ankle bend about x
// and back) and three copies of one open tube of 480 triangles (radius 0.5, length 4 along z, a
// texture seam down one side):
// - "Body": an SgClodSkin whose mesh vertices blend the nearest one or two bones;
// - "Tube4": an Sg3dsSkin two units along x whose vertices have four influences each;
// - "Tube": a plain SgClod two units along -x.

#include <cstdint>
#include <vector>

#include "engine/core/sg_node.h"

inline constexpr const char* kClodFigureFile = "figures/clod.sgf";
inline constexpr float kClodFigureBoneSpacing = 4.0f / 3.0f;

SgRef<SgNode> BuildClodFigure();
// The figure saved as one top-level object.
std::vector<uint8_t> ClodFigureBytes();
