#pragma once
// The sample levels of the installation: "sample" (19 words a cell, as a directory and as
// grids/sample.zpk), "sample16" (16 words a cell) and the keep's variants (19 words a cell, one
// directory each). Four rooms with their views, stairs, crawl corridors, liquid, two storeys and
// open sky, closed by walls of rock and lit by preburned lamps; every marker, thins of every kind,
// every trigger class, statics, generators and every world.dat section.

#include <string>
#include <vector>

#include "tools/writers/level_writer.h"
#include "tools/writers/pack_writer.h"

struct SampleLevel {
    LevelSource source;
    std::string worldDat;
    std::string triggerDat;
};

// How a level's texture pictures are coloured: the sample palette's colour ramps 1 to 7 turned on
// by rampShift, and each colour at half its level when darker.
struct TextureLook {
    int rampShift = 0;
    bool darker = false;
};

// An arena of the installation built on the sample keep: the same rooms under another light,
// with other colours, more or fewer monsters or the teams' rooms traded.
struct SampleVariant {
    SampleVariant(const char* grid, const char* name, const char* description)
        : grid(grid), name(name), description(description) {}
    const char* grid;         // its level directory
    const char* name;         // its arena.dat name (19 characters at most)
    const char* description;
    int ambient = 12, outdoor = 20;  // world.dat [light]
    int monsters = 1;         // 0 none, 1 the keep's, 2 twice as many, twice as often
    TextureLook look;
    bool teamsTrade = false;  // each team starts in the next team's room
};
// The keep itself (grid "sample"), first.
const SampleVariant& SampleKeep();
// The variants that have level directories of their own, "grid00" among them.
const std::vector<SampleVariant>& SampleVariants();

// Texture slots 1 to 8: stone, floor, ceiling, brick, fence, door, panel, ladder.
void AddSampleTextures(LevelSource& level);
// words 19 or 16; packForm spells the [map] keys as packs do (min_x ...).
SampleLevel BuildSampleLevel(int words, bool packForm, const SampleVariant& variant = SampleKeep());

// Every file of a level, as a directory holds it (textures under "textures/"); a pack adds
// color.dat.
std::vector<PackSource> SampleLevelFiles(int words, bool packForm, const SampleVariant& variant = SampleKeep());
// The same files of any level built from a LevelSource, its texture pictures in the look.
std::vector<PackSource> LevelFiles(SampleLevel& level, bool packForm, TextureLook look = {});

// The installation's definition files that levels use.
std::string SamplePatternDat();
std::string SampleMonsterDat();
std::string SampleImageDat();
std::string SampleSystemDat();
std::string SampleArenaDat();
// The texture pictures a level and system.dat name, by file name.
std::vector<PackSource> SampleTexturePictures(TextureLook look = {});
std::vector<PackSource> SampleSystemTexturePictures();
