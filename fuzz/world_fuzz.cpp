// A level's grid, its portal.dat and its sgfs.dat come from the installation or a downloaded
// pack: any bytes must build, draw and release safely. The input (split_input.h) holds a 16 x 16
// window of the grid (30 bytes a cell: the fifteen layers the world builder reads, as 16-bit
// words), portal.dat, the slope and tile-profile tables, and a last part whose first byte picks
// the corner of the grid the window sits at (so the grid's edges are reached) and whose rest is
// the level's sgfs/sgfs.dat. Grid model 450 stands ready, so fixtures naming it are placed.

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "client/core/config_file.h"
#include "client/core/level_defs.h"
#include "client/present/camera_set.h"
#include "client/present/figure_table.h"
#include "client/present/grid_layers.h"
#include "client/present/portal_defs.h"
#include "client/present/rooms.h"
#include "client/present/world_create.h"
#include "client/present/world_rooms.h"
#include "fuzz/scratch_dir.h"
#include "fuzz/split_input.h"
#include "tests/support/recording_render.h"
#include "tests/support/world_fixture.h"

namespace {

constexpr int kWindow = 16;
const int kLayerPlanes[15] = {kPlaneFloor,
                              kPlaneCeiling,
                              kPlaneStoreySplit,
                              kPlaneUpperCeiling,
                              kPlaneWallBase,
                              kPlaneLiquidDepth,
                              kPlaneTile,
                              kPlaneSlope,
                              kPlaneCeilingSlope,
                              kPlaneFloorTexture,
                              kPlaneLowerWallTexture,
                              kPlaneUpperWallTexture,
                              kPlaneCeilingTexture,
                              kPlaneUpperFloorTexture,
                              kPlaneUpperCeilingTexture};

// The camera set with a recording renderer, made once; its log is emptied for every input, or
// the calls of all earlier inputs pile up and each run gets slower and larger.
void StartDisplay() {
    static RecordingRender* render = nullptr;
    if (render) {
        render->Clear();
        return;
    }
    render = new RecordingRender;
    render->IncRef();
    worldtest::StartDisplayOver(render);
    present::SelectActiveCamera(2);
}

void WriteFile(const char* path, const uint8_t* data, size_t size) {
    if (FILE* f = std::fopen(path, "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ScratchDirectory scratch("/tmp/world_fuzzXXXXXX", "level");
    if (!scratch.entered())
        return 0;
    FuzzFiles files;
    if (!SplitFuzzInput(data, size, files))
        return 0;
    StartDisplay();

    static LevelDefs* level = new LevelDefs;
    std::memset(static_cast<void*>(level), 0, sizeof(LevelDefs));
    const int corner = files.size[4] ? files.data[4][0] % 4 : 0;
    const int x0 = corner & 1 ? kGridSide - kWindow : 0, y0 = corner & 2 ? kGridSide - kWindow : 0;
    size_t at = 0;
    for (int x = 0; x < kWindow; ++x)
        for (int y = 0; y < kWindow; ++y)
            for (int plane : kLayerPlanes) {
                int16_t word = 0;
                if (at + 2 <= files.size[0])
                    std::memcpy(&word, files.data[0] + at, 2);
                at += 2;
                level->plane[plane][CellIndex(x0 + x, y0 + y)] = word;
            }
    std::memcpy(level->slopes, files.data[2], std::min(files.size[2], sizeof(level->slopes)));
    std::memcpy(level->tiles, files.data[3], std::min(files.size[3], sizeof(level->tiles)));

    WriteFile("level/portal.dat", files.data[1], files.size[1]);
    mkdir("level/sgfs", 0755);
    if (files.size[4] > 1)
        WriteFile("level/sgfs/sgfs.dat", files.data[4] + 1, files.size[4] - 1);
    else
        std::remove("level/sgfs/sgfs.dat");
    GetConfigString(nullptr, nullptr, nullptr, nullptr, 0, nullptr, 0);
    auto defs = std::make_unique<present::RoomPortalDefs>();
    present::LoadRoomsAndPortals("level", defs.get());
    present::BuildWorldRooms(*defs, present::LevelGridLayers(*level), "level");
    present::Figures().templates[450] = SgRef<SgNode>(new SgNode);
    present::SgxLoadGridSGFS("level");
    present::CreateViewerLight();
    present::PlaceFirstPersonCamera(x0 * 64 * 65536 + 6553600 * 3, y0 * 64 * 65536 + 6553600 * 3, 64 * 65536, 512,
                                    0);
    present::RenderWorldView(100);
    char text[64] = "";
    present::ListRoomsAtPoint(x0 * 64 + 100, y0 * 64 + 100, 32, text, sizeof text);
    present::CountNodesInRoomAt(x0 * 64 + 100, y0 * 64 + 100, 32);
    present::ResetHudAndFigures();
    GetConfigString(nullptr, nullptr, nullptr, nullptr, 0, nullptr, 0);
    return 0;
}
