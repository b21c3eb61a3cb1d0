#pragma once
// The sample installation's animated model, "figures/animated.sgf", written with the engine's own
// saver. Two keyed parts hang under a plain node, each carrying a small pyramid:
// - "spinner" (application time, looping over [0, 3]): linear angle keys about z that make one
//   whole turn and a quarter, and shaped position keys that lift it by 0.5 at 1.5; under it
//   "orbiter" sits 1.5 along x, its scale pulses 0.5, 1, 0.5 and it is hidden from 2 to 2.5.
// - the bone chain "arm root" (application time, back and forth over [0, 2]) at (0, -2, 0) nods
//   about x by squad keys; "arm mid" one unit up bends about y by a per-axis key of shaped
//   angles; "arm tip" one more unit up stretches to 1.5 by tangent keys.

#include <cstdint>
#include <vector>

#include "engine/core/sg_node.h"

inline constexpr const char* kAnimatedModelFile = "figures/animated.sgf";

SgRef<SgNode> BuildAnimatedModel();
// The model saved as one top-level object.
std::vector<uint8_t> AnimatedModelBytes();
