#pragma once
// World creation: a loaded level (grid, world objects, texture list and the level directory's
// files) becomes the arena's scene in fixed steps while the loading bar advances, each step
// logging plainly into error.log; and the reset that takes the arena apart before the next level.

#include "client/present/portal_defs.h"

namespace present {

// The room and portal definitions world creation read last.
RoomPortalDefs& WorldRoomDefs();

void SgxCreateWorld(const char* levelDir);
// The steps; each returns 1.
int SgxLoadObjectmaps();
int SgxLoadGridSGFS(const char* levelDir);
int SgxPlaceObjects();
int SgxPlaceThins();
// How thin slot T is handed to the thin-wall builder: 1 when its ends go in swapped (and the
// wall is mirrored), from its first group link and that thin's group direction and links.
int ThinEndsSwapped(int thin);

void ResetHudAndFigures();

}  // namespace present
