#pragma once
// The 2D screens' own backgrounds: the 800 x 600 stone picture (screen2.pcx) and the three
// 128 x 128 tiles (tile0.pcx to tile2.pcx; tile0 lies under the Setup lists and the notices).

#include <cstdint>
#include <vector>

#include "tools/writers/menu_art.h"

std::vector<uint8_t> SampleScreenPicture();
std::vector<ArtFile> SampleTileFiles();
