#pragma once
// The installation's second level, "hall" (19 words a cell, as a directory and as grids/hall.zpk):
// a hall 640 high beside a room 256 high, a two-storey tower whose roof is seen from above, floors
// built from tile height profiles (fine, coarse and the flat fallback) and preburned lamps, one
// beside the wall the two rooms share. Its own level, so the first sample's tables stay as they
// are.

#include <string>
#include <vector>

#include "tools/writers/sample_level.h"

SampleLevel BuildHallLevel(bool packForm);
std::vector<PackSource> HallLevelFiles(bool packForm);
// The rooms and the portal between them.
std::string HallPortalDat();
