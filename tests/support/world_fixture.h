#pragma once
// The arena world of a level as world creation builds it, for tests: the steps this presentation
// has, in world creation's order (texture mode and maps, rooms and portals, preburned lights,
// tile templates, the world rooms, the light objects and light.log, the viewer light). The level
// tables (grid, textures, objects, light patterns) are the caller's.

#include <memory>

#include "client/present/grid_layers.h"
#include "client/present/portal_defs.h"

class SgRender;

namespace worldtest {

// The display start-up over a renderer without a device (a recording one, or one that does
// nothing): the display, the renderer flag, the scene root and the cameras.
void StartDisplayOver(SgRender* render);

// Builds into the current camera set's scene root; returns the room definitions it read.
std::unique_ptr<present::RoomPortalDefs> BuildTestWorld(const char* levelDir, const present::GridLayers& g,
                                                       int textureOption);
void ReleaseTestWorld();

}  // namespace worldtest
