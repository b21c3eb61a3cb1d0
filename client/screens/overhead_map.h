#pragma once
// The overhead map: the level's used cells in grey shades, two map pixels a cell, with the
// nexuses, earthnodes and their links, the team's figures and the player's arrow, drawn as
// palette indices into the screen surface's 256 x 256 map buffer.

#include <cstdint>

struct LocalPlayer;

// The level's used area in cells.
struct MapArea {
    int minx, miny, maxx, maxy;
    // The map pixel of a cell's centre.
    int X(int cx) const { return (cx - minx) * 2 + 1; }
    int Y(int cy) const { return (cy - miny) * 2 + 1; }
    bool StrictlyInside(int cx, int cy) const { return cx > minx && cx < maxx && cy > miny && cy < maxy; }
};
// The level's used area held inside the grid (high never below low): what the map shows.
MapArea UsedArea();

// The blink clock, 0..1999 ms.
extern int32_t MapBlinkClock;

void DrawOverheadMap(const LocalPlayer& player, int elapsedMs);
// The level's plan at arena start, in the same layout: open sky white, covered floor dark with
// rooms outlined against the rock, soft edges where sky meets roof, and the thins in light grey.
void DrawAutomap();
// The links on from node to nodes of the same team, each node once.
void DrawMapMarkers(int node, uint8_t* visited, int team, int colour, uint8_t* buffer, int xOffset, int yOffset);
