#include "tools/writers/hall_level.h"

#include <algorithm>
#include <cstdlib>

#include "client/core/level_defs.h"

namespace {

constexpr uint16_t kNoValue = 32767;  // no surface: the loader reads it as 1024
constexpr int kHallTop = 640;
constexpr int kSideRoomTop = 256;

// Texture slots.
enum { T_STONE = 1, T_FLOOR = 2, T_CEILING = 3, T_BRICK = 4, T_DOOR = 6 };

void FillCells(LevelSource& l, int x1, int y1, int x2, int y2, int floor, int ceiling) {
    l.Fill(x1, y1, x2, y2, kPlaneMarker, 0);
    l.Fill(x1, y1, x2, y2, kPlaneFloor, static_cast<uint16_t>(floor));
    l.Fill(x1, y1, x2, y2, kPlaneCeiling, static_cast<uint16_t>(ceiling));
    l.Fill(x1, y1, x2, y2, kPlaneFloorTexture, T_FLOOR);
    l.Fill(x1, y1, x2, y2, kPlaneCeilingTexture, T_CEILING);
    l.Fill(x1, y1, x2, y2, kPlaneLowerWallTexture, T_STONE);
    l.Fill(x1, y1, x2, y2, kPlaneUpperWallTexture, T_BRICK);
}

void BuildGrid(LevelSource& l) {
    // Rock is solid up to the hall's ceiling; its faces are the rooms' walls.
    l.Fill(0, 0, 127, 127, kPlaneMarker, 250);
    l.Fill(0, 0, 127, 127, kPlaneFloor, kHallTop);
    l.Fill(0, 0, 127, 127, kPlaneCeiling, kHallTop);
    l.Fill(0, 0, 127, 127, kPlaneStoreySplit, kNoValue);
    l.Fill(0, 0, 127, 127, kPlaneLowerWallTexture, T_STONE);
    // Room 0, the hall: 10 x 10 cells, 640 high.
    FillCells(l, 10, 10, 19, 19, 0, kHallTop);
    // Room 1 east of it, 256 high: the hall shows a wall from 256 up to 640 above the opening.
    FillCells(l, 20, 12, 25, 17, 0, kSideRoomTop);
    l.Fill(20, 12, 25, 17, kPlaneUpperWallTexture, T_BRICK);
    // A tower: open below a slab from 128 to 192, an upper storey up to 320, a roof above.
    l.Fill(16, 11, 17, 12, kPlaneCeiling, 128);
    l.Fill(16, 11, 17, 12, kPlaneStoreySplit, 192);
    l.Fill(16, 11, 17, 12, kPlaneUpperCeiling, 320);
    l.Fill(16, 11, 17, 12, kPlaneUpperFloorTexture, T_FLOOR);
    l.Fill(16, 11, 17, 12, kPlaneUpperCeilingTexture, T_DOOR);
    // Floors from tile profiles: fine, coarse, and mostly flat (the flat fallback).
    l.Word(12, 15, kPlaneTile) = 1;
    l.Word(14, 15, kPlaneTile) = 2;
    l.Word(12, 17, kPlaneTile) = 3;
    l.Word(23, 15, kPlaneTile) = 1;
}

void BuildTexturesAndTiles(LevelSource& l) {
    AddSampleTextures(l);
    std::array<uint32_t, 64> fine{}, coarse{}, mostlyFlat{};
    for (int j = 0; j < 8; ++j)
        for (int i = 0; i < 8; ++i) {
            // Rings rising to the middle: no 2 x 2 group is level.
            fine[j * 8 + i] = static_cast<uint32_t>(2 + 4 * std::min({i, 7 - i, j, 7 - j}));
            // Stairs two sub-cells wide.
            coarse[j * 8 + i] = static_cast<uint32_t>(4 + 6 * (i / 2));
            // A block of 4 x 4 sub-cells on a flat floor, off the 2 x 2 grid so it is fine.
            mostlyFlat[j * 8 + i] = (i >= 1 && i < 5 && j >= 1 && j < 5) ? 16u : 0u;
        }
    l.tiles[1] = fine;
    l.tiles[2] = coarse;
    l.tiles[3] = mostlyFlat;
}

void BuildObjects(LevelSource& l) {
    // A lamp without a figure whose light pattern (2) is preburned; it hangs 64 above the floor.
    l.olist[1] = {0, 0, 0, 0, 200, 8, 8, 0, 0, 64, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    l.placements = {
        {1, 13 * 64, 14 * 64, 0, 0},   // over the tiled floor
        {1, 17 * 64, 14 * 64, 32, 0},  // beside the tower
        {1, 1256, 15 * 64, 128, 0},    // in the hall, beside the wall it shares with room 1
        {1, 23 * 64, 14 * 64, 0, 0},   // in room 1
    };
}

std::string WorldDat(bool packForm) {
    std::string s = "[light]\nambient=12\noutdoor=20\nintensity=96\n\n[map]\n";
    s += packForm ? "min_x=8\nmin_y=8\nmax_x=28\nmax_y=22\n\n" : "minx=8\nminy=8\nmaxx=28\nmaxy=22\n\n";
    s += "[noteam]\nstartx=12\nstarty=12\nstarta=0\nraise1x=13\nraise1y=12\n\n"
         "[room00]\nminx=10\nmaxx=19\nminy=10\nmaxy=19\nviews=1\n"
         "[room01]\nminx=20\nmaxx=25\nminy=12\nmaxy=17\nviews=0\n";
    return s;
}

}  // namespace

SampleLevel BuildHallLevel(bool packForm) {
    SampleLevel s;
    s.source.SetWords(19);
    BuildGrid(s.source);
    BuildTexturesAndTiles(s.source);
    BuildObjects(s.source);
    s.worldDat = WorldDat(packForm);
    s.triggerDat = "[triggerdefs]\nnumtriggers=0\n";
    return s;
}

std::vector<PackSource> HallLevelFiles(bool packForm) {
    SampleLevel s = BuildHallLevel(packForm);
    return LevelFiles(s, packForm);
}

std::string HallPortalDat() {
    return "[main]\nportals=on\noverlap_rooms=no\nnumrooms=2\nnumportals=1\n"
           "[room00]\nminx=10\nmaxx=19\nminy=10\nmaxy=19\nminz=0\nmaxz=640\n"
           "[room01]\nminx=20\nmaxx=25\nminy=12\nmaxy=17\nminz=0\nmaxz=256\n"
           "[portal00]\nx1=20\ny1=12\nz1=0\nroom1=0\nroom2=1\ndir=y\nz2=256\nlen=6\n";
}
