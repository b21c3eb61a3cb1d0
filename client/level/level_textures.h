#pragma once
// The texture table (the level's wall and floor textures from misc.dat and the installation's
// system textures from system.dat, up to ten animation frames each), the image definitions of
// images/image.dat and the arena list of arena.dat.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "common/byte_reader.h"

class PackFile;
class PcxImage;

constexpr int kTextureCount = 250;
constexpr int kTextureFrames = 10;
constexpr int kMiscTextureOffset = 23000;
constexpr int kMiscTextureRecord = 104;
constexpr int kMaxFramePixels = 65536;
constexpr int kTextureMapSize = 1000;  // thin textures 1001..1999 go through it
constexpr int kMaxImageDefs = 500;
constexpr int kImageSeqLength = 28;
constexpr int kImageViews = 12;
constexpr int kMaxArenas = 20;

struct TextureEntry {
    int32_t width, height;
    int32_t wbits, hbits;
    int32_t width_mask, height_mask, width_shift, height_shift;
    int32_t zero1;
    int32_t timer;
    int32_t zero2;
    int32_t numframes;
    int32_t frames[kTextureFrames];  // texture image numbers
    int32_t zero3;
    int32_t sound;
    int32_t translucent, translucent2;
    int32_t word84;
    int32_t used;
    int32_t color_table;
    int32_t word92;
    int32_t chained;
};

struct TextureImage {
    std::string path;  // where the presentation loads it from (directory levels)
    int32_t width = 0, height = 0;
    std::vector<uint8_t> pixels;  // column order: x * height + y (loaded images only)
};

struct TextureTable {
    TextureEntry entries[kTextureCount];
    const uint8_t* firstPixels[kTextureCount];
    std::vector<TextureImage> images;
    int32_t count;            // the highest used texture number
    int32_t systemCount;
    int32_t map[kTextureMapSize];  // thin texture t > 1000 -> map[t - 1000]
};

extern TextureTable g_textures;

void ClearTextureTable();
// Clears the table and gives back the memory of its images.
void FreeTextureImages();
// A thin's texture: above 1000 through an existing map entry; anything outside 0..249 then 0.
int TranslateTexture(int texture);
// The mask and shift of a side: size - 1 and log2(size) for 16..512; false for other sizes.
bool TextureSideBits(int size, int32_t* mask, int32_t* shift);

int LoadTextureList(const char* miscName, const char* texturesDir, const char* worldName);
int LoadTexMapsFromPack(PackFile& pack, ByteReader misc, FILE* world);
// The installation's system textures from system.dat; texture memory in pixels, 0 on an error.
int LoadTextureDefs(int firstTexture, int firstImage);

struct ImageDef {
    char path[128];
    int32_t wpixels, hpixels, wbits, hbits;
    int32_t numinseq, imageseq[kImageSeqLength];
    int32_t numindeathseq, deathseq[kImageSeqLength];
    int32_t numviews, viewimage[kImageViews];
    int32_t mirror, stride_length, voxel, sgf, mirror_animations, system, color_table;
};
extern ImageDef g_imageDefs[kMaxImageDefs];
extern int32_t g_imageDefCount;
int LoadImageDefs(const char* fileName, const char* levelImagesDir);

struct ArenaListEntry {
    int32_t used;
    int32_t number;
    char name[20];
    char grid[64];
    char description[128];
};
extern ArenaListEntry g_arenaList[kMaxArenas];
extern int32_t g_arenaCount;
void LoadArenaList(const char* fileName);
