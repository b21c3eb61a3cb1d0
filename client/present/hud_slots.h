#pragma once
// The HUD's screen polygons by slot (empty when absent), and the operations that put them all on
// a camera or take them off. The HUD's builders fill the slots; switching cameras moves them.

#include "engine/core/sg_camera.h"
#include "engine/core/sg_screen_polygon.h"

namespace present {

struct HudSlots {
    static constexpr int kStatusBars = 4;
    static constexpr int kNexusIndicators = 3;
    static constexpr int kItems = 8;
    static constexpr int kPanels = 20;
    static constexpr int kMapTiles = 12;

    // [i][0] fill, [i][1] rest.
    SgRef<SgScreenPolygon> statusBar[kStatusBars][2];
    SgRef<SgScreenPolygon> nexus[kNexusIndicators][2];
    SgRef<SgScreenPolygon> team;
    SgRef<SgScreenPolygon> items[kItems];
    SgRef<SgScreenPolygon> panels[kPanels];
    // Neutral, teams 1, 2, 3.
    SgRef<SgScreenPolygon> earth[4];
    // Upper, lower.
    SgRef<SgScreenPolygon> node[2];
    SgRef<SgScreenPolygon> mapTiles[kMapTiles];
};

HudSlots& Hud();

// Empties the camera's polygon list, then attaches every filled slot in the HUD's order.
void AttachHudToCamera(SgCamera* camera);
void DetachHudFromCamera(SgCamera* camera);
// Takes the first entry that is the polygon off the camera's list.
void RemoveHudPolygonFromCamera(SgCamera* camera, SgScreenPolygon* polygon);

}  // namespace present
