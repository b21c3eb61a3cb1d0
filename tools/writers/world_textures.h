#pragma once
// The world textures of the sample installation, one of each source kind the texture manager
// sorts: an 8-bit palettised 256 x 256 floor (drawn with mipmaps), a 24-bit 128 x 128 stone, a
// 64 x 64 RGBA glass, a 256 x 64 banner and a 96 x 64 plaque whose size is no power of two.
// They lie in sgfs/ beside the models that name them.

#include <cstdint>
#include <vector>

#include "engine/core/sg_ref.h"

inline constexpr const char* kFloorTexture = "floor.bmp";
inline constexpr const char* kStoneTexture = "stone.bmp";
inline constexpr const char* kGlassTexture = "glass.tga";
inline constexpr const char* kBannerTexture = "banner.bmp";
inline constexpr const char* kPlaqueTexture = "plaque.bmp";

std::vector<uint8_t> FloorBmp();
std::vector<uint8_t> StoneBmp();
std::vector<uint8_t> GlassTga();
std::vector<uint8_t> BannerBmp();
std::vector<uint8_t> PlaqueBmp();

class SgImage;
class SgNode;

// Gives every triangle shape under root that has no coordinates planar ones (the two axes across
// its first normal, one repeat every `repeat` units) and, in turn, one of the images as its
// texture; the root gets a texture mode of bilinear mipmapped filtering modulated by the vertex
// colours (filter 5, apply 3).
void TextureScene(SgNode* root, SgImage* const* images, uint32_t imageCount, float repeat);
// The world texture files as images named by file (the texture manager picks their formats).
void WorldTextureImages(SgRef<SgImage> (&out)[5]);
// TextureScene with the world textures, a repeat every 4 units (the installed arena's look).
void TextureWithWorldTextures(SgNode* root);
