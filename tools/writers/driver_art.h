#pragma once
// The driver's pictures in our own design: the three company screens and the logo with their
// animation strips (frames side by side), credits, the screens' backgrounds each labelled with
// its screen, and the first-person hands; with brief.dat and the help file.

#include <string>
#include <vector>

#include "tools/writers/menu_art.h"

std::vector<ArtFile> DriverArtFiles();
std::string BriefDatText();
std::string HelpFileText();
