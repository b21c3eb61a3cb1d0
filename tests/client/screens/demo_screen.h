#pragma once
// The start the screen demos share: the window system backend, scripted input, the installation
// as working directory, the interim presentation, the game's window, back buffer, colour tables,
// window system and fonts. False (after saying why) when any of it fails.

#include <string>

bool StartDemoScreen(bool headless, const std::string& script, const std::string& install);
