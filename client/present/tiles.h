#pragma once
// The level's texture maps by texture slot, its tile models, and the baking of a tile model into
// the world geometry of a cell.

#include <cstdint>

#include "engine/core/sg_node.h"
#include "engine/core/sg_texture_property.h"

namespace present {

constexpr int kTextureSlots = 250;
constexpr int kTileTemplates = 100;

struct WorldTextures {
    SgRef<SgTextureProperty> maps[kTextureSlots];
    // Holder nodes named after their files ("tile12.sgf").
    SgRef<SgNode> tiles[kTileTemplates];
    // Multiplies the texture coordinates of walls and thin walls.
    float wallTextureScale = 1.0f;
};

WorldTextures& Textures();

// The texture property of a slot; null for an empty slot or one past the table (250..255).
SgTextureProperty* TextureMap(int slot);
// 1 when the slot's texture was made. Names starting with g are read without the directory.
int LoadTextureMap(const char* levelDir, int slot, const char* name, int option);
// Every listed texture of the level, logging each (the level's texture list).
int SgxLoadTexturemaps(const char* levelDir, int textureOption);

// Loads "<levelDir>/tiles/tile<number>.sgf" into the first free template, from the file's own
// directory so that its textures are found beside it.
void LoadTileTemplate(int number, const char* levelDir);
int SgxLoadTileSGFTemplate(const char* levelDir);
void NormaliseTileMaterials(SgAVObject* object);
void PrecacheModelTextures(SgAVObject* object);
// Bakes tile tileNumber's model onto cell (cellX, cellY) under target when the cell's height
// lies within minHeight..maxHeight.
void PlaceTileModel(SgNode* target, const int16_t* heights, int cellX, int cellY, int tileNumber, int spare,
                    int minHeight, int maxHeight);
void BakeTileGeometry(SgAVObject* object, SgNode* target, float x, float y, float z);

// Releases every texture map and tile template.
void ReleaseWorldTextures();

}  // namespace present
