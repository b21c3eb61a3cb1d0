#include "client/screens/overhead_map.h"

#include <algorithm>
#include <cstring>

#include "client/arena/local_player.h"
#include "client/arena/player_status.h"
#include "client/arena/player_view.h"
#include "client/arena/thin.h"
#include "client/arena/world_object.h"
#include "client/core/game_clock.h"
#include "client/core/game_values.h"
#include "client/core/level_defs.h"
#include "client/net/net_match.h"
#include "client/screens/screen_surface.h"

int32_t MapBlinkClock = 0;

MapArea UsedArea() {
    MapArea a{std::clamp(g_level.minx, 0, kGridSide - 1), std::clamp(g_level.miny, 0, kGridSide - 1),
              std::clamp(g_level.maxx, 0, kGridSide - 1), std::clamp(g_level.maxy, 0, kGridSide - 1)};
    a.maxx = std::max(a.maxx, a.minx);
    a.maxy = std::max(a.maxy, a.miny);
    return a;
}

namespace {

constexpr uint32_t kRecentMs = 6000;

int Shade(int cell) {
    const int floor = g_level.plane[kPlaneFloor][cell];
    const int ceiling = g_level.plane[kPlaneCeiling][cell];
    if (floor >= ceiling && g_level.plane[kPlaneStoreySplit][cell] >= g_level.plane[kPlaneUpperCeiling][cell])
        return 1;
    const int shade = (ceiling - floor) / 32;
    return shade < 1 ? 1 : shade > 20 ? 16 : shade;
}

int CellOf(int world) { return world >> 6; }

bool NodeLink(int link) { return link >= 0 && link < kMaxEarthnodes; }
bool NexusLink(int link) { return link >= 100 && link < 100 + kMaxShrines; }

uint32_t Now() { return GameClock / 10; }

// The map buffer, made on first use, all black.
uint8_t* ClearMapBuffer() {
    ScreenSurface& s = g_screen;
    if (!s.mapBuffer)
        s.mapBuffer = std::make_unique<uint8_t[]>(kMapSize * kMapSize);
    std::memset(s.mapBuffer.get(), 0, kMapSize * kMapSize);
    return s.mapBuffer.get();
}

// The automap's shades of the grey ramp.
constexpr int kOpenSky = 1024;
constexpr int kSkyShade = 32;
constexpr int kRoofShade = 2;
constexpr int kOutlineShade = 12;
constexpr int kThinShade = 24;

enum CellCover { COVER_ROCK, COVER_ROOF, COVER_SKY };

// Rock, or a cell closed from floor to ceiling on both storeys.
bool Solid(int cell) {
    const int kind = g_level.cellKind[cell];
    if (kind == 1 || kind == 5)
        return true;
    return g_level.plane[kPlaneFloor][cell] >= g_level.plane[kPlaneCeiling][cell] &&
           g_level.plane[kPlaneStoreySplit][cell] >= g_level.plane[kPlaneUpperCeiling][cell];
}

CellCover CoverAt(int cx, int cy) {
    if (cx < 0 || cy < 0 || cx >= kGridSide || cy >= kGridSide)
        return COVER_ROCK;
    const int cell = CellIndex(cx, cy);
    if (Solid(cell))
        return COVER_ROCK;
    return g_level.plane[kPlaneCeiling][cell] == kOpenSky ? COVER_SKY : COVER_ROOF;
}

// One map pixel of a cell, whose outward neighbours across its two sides and its corner are
// given: a roof next to the sky takes a half of the step (two sides a sixth more, a corner alone
// a quarter), the sky next to a roof gives up a third (two sides an eighth more, a corner alone
// an eighth), and floor against rock is outlined.
int AutomapShade(CellCover self, CellCover sideX, CellCover sideY, CellCover corner) {
    constexpr int step = kSkyShade - kRoofShade;
    if (self == COVER_ROCK)
        return 0;
    const CellCover other = self == COVER_SKY ? COVER_ROOF : COVER_SKY;
    const int sides = (sideX == other) + (sideY == other);
    int shade = self == COVER_SKY ? kSkyShade : kRoofShade;
    if (self == COVER_ROOF)
        shade += sides == 2 ? step / 2 + step / 6 : sides == 1 ? step / 2 : corner == other ? step / 4 : 0;
    else
        shade -= sides == 2 ? step / 3 + step / 8 : sides == 1 ? step / 3 : corner == other ? step / 8 : 0;
    if (sideX == COVER_ROCK || sideY == COVER_ROCK)
        shade = std::max(shade, kOutlineShade);
    return shade;
}

void Line(uint8_t* buffer, const MapArea& a, int x0, int y0, int x1, int y1, int colour) {
    g_screen.DrawMapLine(buffer, a.X(CellOf(x0)), a.Y(CellOf(y0)), a.X(CellOf(x1)), a.Y(CellOf(y1)), colour, 1);
}

}  // namespace

void DrawMapMarkers(int node, uint8_t* visited, int team, int colour, uint8_t* buffer, int xOffset, int yOffset) {
    if (!NodeLink(node))
        return;
    const EarthnodeDef& from = g_level.earthnodes[node];
    const MapArea a{xOffset, yOffset, xOffset + kGridSide, yOffset + kGridSide};
    for (int link : from.link) {
        if (!NodeLink(link) || visited[link])
            continue;
        const EarthnodeDef& to = g_level.earthnodes[link];
        if (!to.found || to.owner != team)
            continue;
        visited[link] = 1;
        Line(buffer, a, from.x, from.y, to.x, to.y, colour);
        DrawMapMarkers(link, visited, team, colour, buffer, xOffset, yOffset);
    }
}

void DrawOverheadMap(const LocalPlayer& player, int elapsedMs) {
    ScreenSurface& s = g_screen;
    uint8_t* buffer = ClearMapBuffer();
    const MapArea a = UsedArea();

    for (int cx = a.minx; cx <= a.maxx; ++cx)
        for (int cy = a.miny; cy <= a.maxy; ++cy) {
            const uint8_t shade = static_cast<uint8_t>(Shade(CellIndex(cx, cy)));
            uint8_t* p = buffer + (cy - a.miny) * 2 * kMapSize + (cx - a.minx) * 2;
            p[0] = p[1] = p[kMapSize] = p[kMapSize + 1] = shade;
        }

    MapBlinkClock = (MapBlinkClock + std::max(elapsedMs, 0)) % 2000;
    const uint32_t now = Now();

    for (int n = 0; n < kMaxShrines; ++n) {
        const ShrineDef& nexus = g_level.shrines[n];
        if (!nexus.found)
            continue;
        const int team = nexus.alignment;
        int colour = team == 1 ? 2 : team == 2 ? 4 : team == 3 ? 5 : 0;
        if (ShrineChangeTime[n] && now - ShrineChangeTime[n] < kRecentMs)
            colour = MapBlinkClock / 500;
        s.StampMapNode(buffer, a.X(CellOf(nexus.x)), a.Y(CellOf(nexus.y)), team, colour);
    }
    for (int n = 0; n < kMaxEarthnodes; ++n) {
        const EarthnodeDef& node = g_level.earthnodes[n];
        if (!node.found)
            continue;
        const bool recent = EarthnodeBiasTime[n] && now - EarthnodeBiasTime[n] < kRecentMs;
        const int colour = recent && (MapBlinkClock / 500) % 2 == 1 ? 6 : 0;
        s.StampMapNode(buffer, a.X(CellOf(node.x)), a.Y(CellOf(node.y)), node.owner, colour);
    }

    if (g_linkState == 2) {
        for (const ShrineDef& nexus : g_level.shrines) {
            if (!nexus.found)
                continue;
            const int team = nexus.alignment;
            const int colour = (team + 1) * 32;
            uint8_t visited[kMaxEarthnodes] = {};
            for (int link : nexus.link) {
                if (!NodeLink(link))
                    continue;
                const EarthnodeDef& node = g_level.earthnodes[link];
                if (!node.found || node.owner != team)
                    continue;
                Line(buffer, a, nexus.x, nexus.y, node.x, node.y, colour);
                if (!visited[link]) {
                    visited[link] = 1;
                    DrawMapMarkers(link, visited, team, colour, buffer, a.minx, a.miny);
                }
            }
        }
    } else {
        for (int n = 0; n < kMaxEarthnodes; ++n) {
            const EarthnodeDef& node = g_level.earthnodes[n];
            if (!node.found)
                continue;
            for (int link : node.link) {
                if (NodeLink(link) && link > n && g_level.earthnodes[link].found)
                    Line(buffer, a, node.x, node.y, g_level.earthnodes[link].x, g_level.earthnodes[link].y, 32);
                else if (NexusLink(link) && g_level.shrines[link - 100].found)
                    Line(buffer, a, node.x, node.y, g_level.shrines[link - 100].x, g_level.shrines[link - 100].y, 32);
            }
        }
    }

    const int team = GetGameValue(4);
    for (int slot = 1; slot < std::min<int>(WorldObjectHighWater, kWorldObjectSlots); ++slot) {
        const WorldObject& o = WorldObjectTable[slot];
        if (!o.active)
            continue;
        const bool shown = player.dead ? o.type == OBJ_GATE : (o.type == OBJ_PLAYER && !o.dead && o.team == team);
        const int cx = o.x >> 6, cy = o.y >> 6;
        if (shown && a.StrictlyInside(cx, cy))
            s.StampMapNode(buffer, a.X(cx), a.Y(cy), 4, 7);
    }

    if (g_playerView) {
        const int cx = g_playerView->x >> 6, cy = g_playerView->y >> 6;
        if (a.StrictlyInside(cx, cy)) {
            const int facing = IsBiasing() ? BiasFacing : g_playerView->facing;
            s.StampMapArrow(buffer, a.X(cx), a.Y(cy), ((facing + 2176) & 4095) / 256);
        }
    }
}

void DrawAutomap() {
    ScreenSurface& s = g_screen;
    uint8_t* buffer = ClearMapBuffer();
    const MapArea a = UsedArea();
    for (int cx = a.minx; cx <= a.maxx; ++cx)
        for (int cy = a.miny; cy <= a.maxy; ++cy) {
            const CellCover self = CoverAt(cx, cy);
            uint8_t* p = buffer + (cy - a.miny) * 2 * kMapSize + (cx - a.minx) * 2;
            // Pixel (i, j) of the cell faces the neighbour on its own side.
            for (int j = 0; j < 2; ++j)
                for (int i = 0; i < 2; ++i) {
                    const int nx = cx + (i ? 1 : -1), ny = cy + (j ? 1 : -1);
                    const int shade =
                        AutomapShade(self, CoverAt(nx, cy), CoverAt(cx, ny), CoverAt(nx, ny));
                    p[j * kMapSize + i] = static_cast<uint8_t>(shade);
                }
        }
    // Two map pixels a cell: a world unit is a 32nd of a pixel.
    const auto px = [&](int x) { return (x - a.minx * 64) / 32; };
    const auto py = [&](int y) { return (y - a.miny * 64) / 32; };
    for (int t = 1; t < ThinCount && t < kThinSlots; ++t) {
        const Thin& th = ThinTable[t];
        const auto inWorld = [](int v) { return v >= 0 && v < kGridSide * 64; };
        if (th.active && inWorld(th.x1) && inWorld(th.y1) && inWorld(th.x2) && inWorld(th.y2))
            s.DrawMapLine(buffer, px(th.x1), py(th.y1), px(th.x2), py(th.y2), kThinShade, 1);
    }
}
