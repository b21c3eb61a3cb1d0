#pragma once
// The benchmark's arena, "sgfs/arena.sgf": a walled hall 64 units square and 6 high with a tiled
// floor and ceiling, 250 pillars and four blended glows, lit by an ambient, a directional and two
// attenuated point lights, under range fog. About 300 shapes; deterministic. The first-person
// camera of the game stands at kArenaEye looking along +z.

#include <cstdint>
#include <vector>

#include "engine/core/sg_node.h"

inline constexpr const char* kArenaSceneFile = "sgfs/arena.sgf";
inline constexpr SgVec3 kArenaEye{32.0f, 1.6f, 1.0f};

SgRef<SgNode> BuildArenaScene();
// The saved file: the scene with the world textures laid over its shapes.
std::vector<uint8_t> ArenaSceneBytes();
