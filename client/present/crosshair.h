#pragma once
// The crosshair: a small team-coloured billboard that the view update moves every frame to the
// point the player aims at, in the room holding that point, and that the HUD shows or hides.

#include <cstdint>

#include "engine/core/sg_image.h"
#include "engine/geometry/sg_special_nodes.h"

namespace present {

struct Crosshair {
    SgRef<SgBillboardNode> node;
    SgRef<SgImage> image;
};

Crosshair& CrosshairParts();
// -1 until the first ShowCrosshair after a crosshair is made, then 0 or 1.
extern int32_t CrosshairShown;

// Team 0..3; 1, or 0 while no scene is active. Replaces an earlier crosshair.
int CreateCrosshair(int team);
// onTarget tells whether the point lies on a player (it does not change the placement); x, y, z
// in 16.16 hundredths. Returns 1.
int PlaceCrosshair(int onTarget, int x, int y, int z);
// 1 shows, 0 hides; a repeated state does nothing; other values are only recorded.
void ShowCrosshair(int state);
void RemoveCrosshair();

}  // namespace present
