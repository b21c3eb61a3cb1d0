#pragma once
// The sample installation's test model, "sgfs/sample.sgf": a small scene written with the
// engine's own saver. A node carries texture, material, alpha, z-buffer, fog and shade properties
// and a light; under it hang an indexed shape with normals, texture coordinates and colours, a
// strip and a triangle list with texture coordinates, particles, lines and the light itself. It
// stands around the origin, within two units of it, its faces turned to +x and lit from there.

#include <cstdint>
#include <vector>

#include "engine/core/sg_node.h"

inline constexpr const char* kSampleModelFile = "sgfs/sample.sgf";
// The texture it names (an image of the installation, beside the model): a near-white glow, so
// the lit colours show through it.
inline constexpr const char* kSampleModelTexture = "eair.tga";

SgRef<SgNode> BuildSampleModel();
// The model saved as one top-level object.
std::vector<uint8_t> SampleModelBytes();
