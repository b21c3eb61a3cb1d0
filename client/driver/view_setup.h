#pragma once
// The arena's 3D view: the rectangle main.dat [viewport] gives, narrowed by the border the player
// chooses, the view records the arena keeps, and the point the main view looks from.

#include <cstdint>

struct ViewRecord;

// main.dat [viewport], held to the 640 x 400 view area with right > left, bottom > top and a
// distance of at least 1, so that nothing computed from it divides by 0 or leaves the area.
struct ViewportSettings {
    int32_t distance = 256;
    int32_t left = 4, right = 404, top = 10, bottom = 300;
};

struct ViewRectangle {
    int32_t left, top, right, bottom;
    int32_t width, height;
    int32_t centreX, centreY;
    int32_t distance;
};

extern ViewportSettings g_viewportSettings;
extern ViewRectangle g_viewRect;
// The rows above and below the view in each of the 640 columns.
extern int16_t ColumnTopClip[640];
extern int16_t ColumnBottomClip[640];

// Holds the values to the view area (see ViewportSettings).
ViewportSettings ClampViewport(ViewportSettings v);
// Reads [viewport] and computes the view rectangle inset by the border (ViewBorder).
void LoadViewportSettings();
// The rectangle for the current border, inset on the sides by half as much again, its distance
// scaled to the narrower width; the view is rebuilt and its frame drawn around it.
void ApplyViewSize();

// The seven view records start afresh (zeroed, as the arena enters).
void AllocViewBuffers();
// Every column's clips become the main view's top and bottom rows.
void ResetColumnClips();
// View n takes the rectangle (held to the view area) and the distance (at least 1).
void SetViewRect(int n, int left, int top, int right, int bottom, int distance);
// 1 when view n can look from the point its mode gives (see ViewRecord::mode).
int SetViewPoint(int n, int x, int y, int z, int pitch, int angle);
