#pragma once
// The Tavern's pictures in our own design: team panels (chattms.pcx, 3 states x 3 teams of
// 86 x 100), lobby buttons (chatbtns.pcx, 2 states x 12 buttons of 70 x 32), tabs (chattabs.pcx,
// 4 states x 4 tabs of 88 x 100) and arrows (arrwbtns.pcx, 2 states x 4 arrows of 12 x 12).

#include <vector>

#include "tools/writers/menu_art.h"

std::vector<ArtFile> ChatArtFiles();
