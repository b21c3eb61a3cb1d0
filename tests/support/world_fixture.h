#pragma once
// The arena world of a level as the game builds it, for tests: world creation over the loaded
// level's tables (grid, textures, objects, thins, light patterns) with the menu's texture option
// set first, and the reset that takes it apart.

#include <memory>

#include "client/present/portal_defs.h"

class SgRender;

namespace worldtest {

// The display start-up over a renderer without a device (a recording one, or one that does
// nothing): the display, the renderer flag, the scene root and the cameras.
void StartDisplayOver(SgRender* render);

// Builds into the current camera set's scene root; returns a copy of the room definitions it read.
std::unique_ptr<present::RoomPortalDefs> BuildTestWorld(const char* levelDir, int textureOption);
void ReleaseTestWorld();
// The world reset, then the display, renderer and camera set gone (the reverse of
// StartDisplayOver).
void StopDisplay();

}  // namespace worldtest
