#pragma once
// The start the screen demos share: the window system backend, scripted input, the installation
// as working directory, the presentation, the game's window, back buffer, colour tables,
// window system and fonts. False (after saying why) when any of it fails.

#include <cstdint>
#include <string>
#include <vector>

bool StartDemoScreen(bool headless, const std::string& script, const std::string& install);

// A screenshot of the back buffer due ms milliseconds after the demo's start.
struct DemoShot {
    uint32_t ms;
    std::string path;
    bool taken = false;
};
// Writes every shot that is due and not yet taken; false when one could not be written.
bool TakeDemoShots(std::vector<DemoShot>& shots, uint32_t elapsed);
