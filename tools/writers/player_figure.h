#pragma once
// The sample installation's player figures and their animations, written with the engine's own
// saver into figures\ and listed by figures.dat:
// - "f1.sgf" to "f3.sgf" (templates 201 to 203): a "Bip01" skeleton of 32 keyed bones under a
//   plain node, standing on z = 0 with z up and facing -y (where placement turns the object's
//   facing), left on +x; a "Body" SgClodSkin (torso,
//   two legs apart and two arms, each a tube whose rings follow their bones, joints shared by
//   both halves) and a smaller "Head" Sg3dsSkin following the head bone. Type 2 is the smallest,
//   type 3 the tallest.
// - "f<type>a<offset>.sgf" (templates 211 + offset, 251 + offset, 291 + offset; offsets 0 to 31):
//   the same skeleton without meshes, keyed for one animation. The pelvis stands
//   kPelvisCodeStep higher per offset, so which template a figure plays can be read from its
//   pelvis. Walk, back and run swing the legs over different frame counts (the knee behind bends,
//   the root sinks so the straight leg keeps its foot on the ground); offsets 20 and 21 raise and
//   lower the right arm (cast animations, arms only).

#include <cstdint>
#include <string>
#include <vector>

#include "engine/core/sg_node.h"

inline constexpr int kPlayerFigureTypes = 3;
inline constexpr int kPlayerAnimationOffsets = 32;
inline constexpr int kPlayerBoneCount = 32;
inline constexpr float kPelvisCodeStep = 0.25f;

extern const char* const kPlayerBoneNames[kPlayerBoneCount];

// Figure type 1..3 (null outside).
SgRef<SgNode> BuildPlayerFigure(int type);
// Offset 0..31 of type 1..3 (null outside).
SgRef<SgNode> BuildPlayerAnimation(int type, int offset);

// The frames, rate and figure_animation value of an offset's definition.
int PlayerAnimationFrames(int offset);
const char* PlayerAnimationMode(int offset);
// The rest height of the pelvis of a type's animation at an offset (game units).
float PlayerPelvisHeight(int type, int offset);
// The rest height of the figure's head bone of a type (game units).
float PlayerHeadHeight(int type);

std::string PlayerFigureFile(int type);
std::string PlayerAnimationFile(int type, int offset);

// The definition file figures\figures.dat: the figures, every animation, a dump ("print") of one.
std::string FiguresDefinitionText();
