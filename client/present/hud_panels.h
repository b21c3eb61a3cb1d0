#pragma once
// The HUD panels: regions of the 16-bit 2D back buffer copied into the textures of screen
// polygons drawn over the 3D view, the redraw flags through which any part of the game asks for
// a copy, the overhead-map tiles, the creation of the whole HUD and its per-frame update.
//
// Screen rectangles are pixels of the 800 x 600 screen (right and bottom exclusive); a quad is
// given in the screen's unit square, x = pixel x / 800, y = (600 - pixel y) / 600, vertices
// left-top, left-bottom, right-bottom, right-top.

#include <cstdint>

#include "client/present/hud_slots.h"
#include "engine/core/sg_image.h"

namespace present {

constexpr int kHudPanels = HudSlots::kPanels;  // 0..18 used
constexpr int kHudMapTiles = HudSlots::kMapTiles;
constexpr int kWholeMapTiles = 8;  // tiles 0..7; 8..11 are the window
constexpr int kMapBufferSide = 256;

struct HudRect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    int32_t Width() const { return right - left; }
    int32_t Height() const { return bottom - top; }
};

// The panel table's fixed rectangles: where a panel's pixels lie in the back buffer and where
// its quad is drawn.
struct HudPanelLayout {
    HudRect source;
    HudRect screen;
};
extern const HudPanelLayout kHudPanelLayout[kHudPanels - 1];

// The images behind the panels and tiles (polygons live in Hud()), the program-wide flags and
// shown states, and the update's own counters.
struct HudPanelState {
    SgRef<SgImage> panelImages[kHudPanels];
    SgRef<SgImage> tileImages[kHudMapTiles];
    // 1: copy the panel again. All 1 at program start.
    int32_t redrawFlags[kHudPanels];
    // 1 shown, 0 hidden, -1 unset.
    int32_t panelShown[kHudPanels];
    int32_t tileShown[kHudMapTiles];

    int32_t blinkPhase = 0;        // 0..9, one step per 100 ms
    int32_t blinkAccumulator = 0;  // ms
    int32_t listStep = 0;          // player-list copy: 0 idle, 1..6
    int32_t noticeStep = 0;        // 0 idle, 1..3
    int32_t chatStep = 0;          // 0 idle, 1..2
    int32_t mapStep = -1;          // -1 idle, else the next tile
    int32_t mapLayout = 0;         // 0 window, 1 whole map
    // 0 stops everything after the blink counter.
    int32_t updateSwitch = 1;

    HudPanelState();
};

HudPanelState& HudPanels();

// ---- Quads (shared by every HUD element) ----
inline float UnitX(int pixelX) { return static_cast<float>(pixelX) / 800.0f; }
inline float UnitY(int pixelY) { return static_cast<float>(600 - pixelY) / 600.0f; }
// A quad over the rectangle with the given texture coordinates (left-top, left-bottom,
// right-bottom, right-top), white at alpha 0.5.
SgRef<SgScreenPolygon> MakeHudQuad(const HudRect& screen, const SgVec3 uv[4]);
// Rewrites the four vertices from edges in units.
void SetQuadEdges(SgScreenPolygon* polygon, float left, float top, float right, float bottom);
// Rewrites the four texture coordinates from a window of the texture (v from the top).
void SetQuadWindow(SgScreenPolygon* polygon, float u0, float v0, float u1, float v1);
// The four HUD properties, each made, linked and released: texture mode (3, filter, addressing),
// z-buffer off, vertex colours mode 1, blending (0, 3). Addressing 3 wraps both ways, 0 clamps.
void LinkHudProperties(SgScreenPolygon* polygon, uint32_t filterMode, uint32_t addressing = 3);
// Puts the polygon in the slot; an earlier one leaves the active camera first, so a re-created
// element never leaves a stale copy on screen.
void ReplaceHudPolygon(SgRef<SgScreenPolygon>& slot, SgRef<SgScreenPolygon> polygon);
// Off the active camera, then released.
void DropHudPolygon(SgRef<SgScreenPolygon>& slot);
// The image to the renderer ahead of drawing (1, 1, -1), when there is a renderer.
void PrecacheHudImage(SgImage* image);

// ---- Panels ----
// Builds the panel's quad (replacing an earlier one), then, for a source of 16, 32, 64, 128 or
// 256 pixels each way, its palettised image: palette (768 bytes, red, green, blue) copied, each
// pixel colourTable[source pixel], source rows rowWidth pixels apart (a null source leaves the
// pixels 0). 0 when the size is not allowed (the quad stays, untextured); 1 otherwise.
int CreateScreenPanel(int panel, const uint16_t* source, const uint8_t* palette, const uint8_t* colourTable,
                      const HudRect& sourceRect, const HudRect& screenRect, int rowWidth);
// Texture mode (3, 0, 3), z-buffer off, vertex colours mode 1, blending (0, 3).
void SetScreenPanelProperties(SgScreenPolygon* polygon);
// Converts the region again when its size is the image's (then the image is marked changed);
// with a screen rectangle the quad moves too.
void RedrawScreenPanel(int panel, const uint16_t* source, const uint8_t* colourTable, const HudRect& sourceRect,
                       const HudRect* screenRect, int rowWidth);
// Read and set: returns the previous flag. Panel -1 sets all 20 to 1 and returns 0; other
// numbers outside 0..19 do nothing and return 0.
int SetPanelRedrawFlag(int panel, int value);
// 1 puts the panel's quad on the active camera (never twice), 0 takes it off; nothing when the
// state is already that. A negative panel only resets all 20 states to unset.
void SetPanelShown(int panel, int shown);
// Off the active camera, then polygon and image released.
void DestroyScreenPanel(int panel);

// ---- Overhead-map tiles ----
// As a panel with the fixed map palette and pixels 0; the texture is the texture rectangle's
// size. Filtered like the bars, but clamped at the texture's edges.
int CreateMapTile(int tile, const HudRect& textureRect, const HudRect& screenRect);
// Copies the texture's rows from the 256 x 256 map buffer starting at (row, column): bytes
// outside the buffer, left, right, above or below, read as 0. The quad's u becomes
// left / width + 0.02 .. right / width - 0.02 of the texture rectangle.
void RedrawMapTile(int tile, const uint8_t* mapBuffer, int row, int column, const HudRect& textureRect);
// Empty slots are skipped; a negative tile resets all 12 states to unset.
void SetMapTileShown(int tile, int shown);
void DestroyMapTile(int tile);
// The map palette: 0 black, 1..32 grey to white, 33..64 red, 65..96 yellow, 97..128 blue,
// 129..160 magenta, the rest black; red, green, blue, 0 per entry.
void FillMapPalette(uint8_t palette[1024]);

// ---- The whole HUD ----
// Panels, crosshair, map tiles, bars, indicators, icons, items and the screen tint; logs
// "Time to SgxCreateSceenPolys". Returns 1.
int SgxCreateSceenPolys();
// Every panel and map tile destroyed.
void DestroyHudPanelsAndTiles();
// Once per arena frame.
void UpdateHudPanels();
void SetHudUpdateFlag(int32_t value);
int32_t GetHudUpdateFlag();

}  // namespace present
