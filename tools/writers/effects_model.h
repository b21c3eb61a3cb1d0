#pragma once
// The sample installation's effects model, "sgfs/effects.sgf", written with the engine's own
// saver. Under one node, on the application clock:
// - "spray": 48 coloured sprites (a soft spot added onto the scene, kSparkTexture) under gravity and a timed blast, bounced by a sphere and a floor
//   patch, coloured over their age, fading in and out, dying of age into two more generations.
//   Every restart bursts a ring of 48 snapshots; once the burst's third generation has died the
//   emitter refills the system (looping over 4).
// - "shards": 12 particles carrying copies of a small shard, shot in random directions, each with
//   a white glint.
// - "rider" on the path controller "loop": a closed shaped square of side 4, at constant speed,
//   following, banking and smoothing (looping over 8).
// - "blob": a morph of a square over three targets by weights; "chrome": an environment-mapped
//   morph cross-fading two of its targets (both looping over 2).
// - "glow": a square whose material fades its alpha and recolours its diffuse colour.
// - "lamp": a light whose colours a light animator drives; the animator is the file's second
//   top-level object (nothing in the scene refers to it).

#include <cstdint>
#include <vector>

#include "engine/core/sg_node.h"

class Sg3dsLightColorAnimator;

inline constexpr const char* kEffectsModelFile = "sgfs/effects.sgf";
// The sprites' soft white spot, beside the models in sgfs/.
inline constexpr const char* kSparkTexture = "spark.tga";

struct EffectsModel {
    SgRef<SgNode> root;
    SgRef<Sg3dsLightColorAnimator> lampAnimator;
};

EffectsModel BuildEffectsModel();
// The root and the lamp's animator saved as the file's two top-level objects.
std::vector<uint8_t> EffectsModelBytes();
