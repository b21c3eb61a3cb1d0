#pragma once
// The geometry step of world creation: the level grid becomes the static scene under a new world
// root, as rooms from portal.dat (walls, portals, cell faces and merged floor and ceiling planes)
// or, with portals off, as fixed blocks of cells. world.log gets each room's size.

#include "client/present/grid_layers.h"
#include "client/present/portal_defs.h"

namespace present {

void BuildWorldRooms(const RoomPortalDefs& defs, const GridLayers& g, const char* levelDir);

}  // namespace present
