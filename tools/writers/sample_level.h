#pragma once
// The sample levels of the installation: "sample" (19 words a cell, as a directory and as
// grids/sample.zpk) and "sample16" (16 words a cell). Four rooms with their views, stairs,
// crawl corridors, liquid, two storeys and open sky, closed by walls of rock and lit by preburned
// lamps; every marker, thins of every kind, every trigger class, statics, generators and every
// world.dat section.

#include <string>
#include <vector>

#include "tools/writers/level_writer.h"
#include "tools/writers/pack_writer.h"

struct SampleLevel {
    LevelSource source;
    std::string worldDat;
    std::string triggerDat;
};

// Texture slots 1 to 8: stone, floor, ceiling, brick, fence, door, panel, ladder.
void AddSampleTextures(LevelSource& level);
// words 19 or 16; packForm spells the [map] keys as packs do (min_x ...).
SampleLevel BuildSampleLevel(int words, bool packForm);

// Every file of a level, as a directory holds it (textures under "textures/"); a pack adds
// color.dat.
std::vector<PackSource> SampleLevelFiles(int words, bool packForm);
// The same files of any level built from a LevelSource.
std::vector<PackSource> LevelFiles(SampleLevel& level, bool packForm);

// The installation's definition files that levels use.
std::string SamplePatternDat();
std::string SampleMonsterDat();
std::string SampleImageDat();
std::string SampleSystemDat();
std::string SampleArenaDat();
// The texture pictures a level and system.dat name, by file name.
std::vector<PackSource> SampleTexturePictures();
std::vector<PackSource> SampleSystemTexturePictures();
