#pragma once
// The start the screen demos share: the window system backend, scripted input, the installation
// as working directory, the presentation, the game's window, back buffer, colour tables,
// window system and fonts. False (after saying why) when any of it fails.

#include <cstdint>
#include <string>
#include <vector>

bool StartDemoScreen(bool headless, const std::string& script, const std::string& install);

// What the game loads at start-up before any arena: the key bindings and mouse input, the model
// templates of "sgfs" and "figures", the figure textures and the spell data.
void LoadArenaTables();
// Takes the display down as the game's shutdown does: the window system, the figures, the
// back-buffer surfaces, the renderer and scene, and the engine's DirectDraw images.
void StopDemoDisplay();

// The options every screen demo takes.
struct DemoOptions {
    std::string install = SAMPLE_INSTALL_DIR;
    std::string script;
    std::string screenshot;
    bool headless = false;
};
// Takes argv[i] (and its value) when it is --install dir, --script file, --screenshot file or
// --headless.
bool TakeDemoOption(int argc, char** argv, int& i, DemoOptions& options);

// A screenshot of the back buffer due ms milliseconds after the demo's start.
struct DemoShot {
    uint32_t ms;
    std::string path;
    bool taken = false;
};
// Writes every shot that is due and not yet taken; false when one could not be written.
bool TakeDemoShots(std::vector<DemoShot>& shots, uint32_t elapsed);
