#pragma once
// The sample installation's models in sgfs\, written with the engine's own saver and listed by
// sgfs\sgfs.dat: the figures of the sample's objects (a crate, a lamp, a lever), its spell objects
// (bolts, walls, runes, bursts), two spell overlays whose "Spell" node holds the effects sample
// (particles, morphs, a path and an animated material), a biped whose bone nodes carry their own
// meshes, dummies, placement-only keyed nodes and "h", "m" and "l" shapes (for the loader's
// optimize and level-of-detail passes), and the sky dome "sgfs/skydome.sgf".
// Models stand on z = 0 with z up, in game units (figures are made at scale 0.01).

#include <cstdint>
#include <string>
#include <vector>

#include "engine/core/sg_node.h"

inline constexpr const char* kSkyDomeFile = "sgfs/skydome.sgf";
// The crate's boards, beside it in sgfs\.
inline constexpr const char* kCrateTexture = "crate.bmp";
// The level water model's texture, beside it in the level's sgfs\.
inline constexpr const char* kLevelWaterTexture = "water.bmp";
// The pictures of the shrine and earthnode models, beside them.
inline constexpr const char* kLevelShrineTexture = "shrine.bmp";
inline constexpr const char* kLevelEarthnodeTexture = "earthnode.bmp";

struct SgfsModelFile {
    std::string name;              // beside sgfs.dat
    std::vector<uint8_t> bytes;
};

// Every model file of the directory but the sky dome.
std::vector<SgfsModelFile> SgfsModelFiles();
// The biped on its own: bone nodes "Bip01" (with a leftover mesh and a dummy), "Bip01 Spine" (only
// placing "Bip01 Spine1", which holds the torso in "h", "m" and "l" shapes) and "Bip01 Head" (head
// in "h" and "l" shapes); an empty keyed "Bip01 Ext01".
SgRef<SgNode> BuildSampleBiped();
SgRef<SgNode> BuildSkyDome();
// sgfs\sgfs.dat: each template number the sample's objects, spells and thins name.
std::string SgfsDefinitionText();

// A level's own models in its sgfs\ (grid models 401 and up): a shrine, an earthnode and animated
// water; and that directory's sgfs.dat with the fixtures the sample level's shrine and earthnode
// records name.
std::vector<SgfsModelFile> LevelFixtureModelFiles();
std::string LevelSgfsDefinitionText();
