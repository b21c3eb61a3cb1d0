#include "client/present/world_create.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "client/arena/thin.h"
#include "client/arena/world_object.h"
#include "client/core/config_file.h"
#include "client/core/error_log.h"
#include "client/core/level_defs.h"
#include "client/present/camera_set.h"
#include "client/present/crosshair.h"
#include "client/present/figure_lights.h"
#include "client/present/figure_loader.h"
#include "client/present/figure_objects.h"
#include "client/present/frame_update.h"
#include "client/present/grid_layers.h"
#include "client/present/hud_panels.h"
#include "client/present/object_maps.h"
#include "client/present/preburn_lights.h"
#include "client/present/rooms.h"
#include "client/present/screen_polys.h"
#include "client/present/screen_tint.h"
#include "client/present/thin_walls.h"
#include "client/present/tiles.h"
#include "client/present/world_files.h"
#include "client/present/world_lighting.h"
#include "client/present/world_rooms.h"
#include "client/present/world_tables.h"
#include "client/screens/level_art.h"
#include "client/screens/main_menu.h"

namespace present {

namespace {

constexpr int kFirstGridModel = 401;
constexpr int kMaxGridModels = 99;        // models 401..499
constexpr int kMaxCoordinate = kWorldLimit - 1;
constexpr const char* kSkyDome = "sgfs/skydome.sgf";

// A world-unit coordinate that fits 16.16 fixed point.
bool FitsFixed(int value, int low, int high) { return value >= low && value <= high; }

int ConfigInt(const char* file, const char* section, const char* key, int fallback) {
    int value = fallback;
    GetConfigInt(file, section, key, &value, fallback, 0);
    return value;
}

void LoadGridModels(const char* modelDir, const char* datFile, int count) {
    for (int n = kFirstGridModel; n - 400 <= count; ++n) {
        char section[16], name[256];
        std::snprintf(section, sizeof section, "sgf%03d", n);
        if (!GetConfigString(datFile, section, "filename", name, sizeof name, nullptr, 0))
            continue;
        char path[600];
        std::snprintf(path, sizeof path, "%s/%s", modelDir, name);
        ErrorLogWrite("Loading Grid SGF #%d (%s)\n", n, path);
        if (!LoadFigureModel(n, path))
            ErrorLogWrite("Error Loading SGF #%d (%s)!\n", n, path);
        if (ConfigInt(datFile, section, "frames", 0) != 0) {
            char water[600];
            std::snprintf(water, sizeof water, "%s//water", modelDir);
            const int loaded = LoadFrameImages(n, water, "water");
            ErrorLogWrite("Frame Images Loaded: %d from %s\n", loaded, water);
        }
    }
}

void LoadGridFixture(const char* datFile, int i) {
    char section[16], text[64];
    std::snprintf(section, sizeof section, "fixture%02d", i);
    GetConfigString(datFile, section, "sgf", text, sizeof text, nullptr, 0);
    const int m = std::atoi(text);
    // 0 is no fixture; a number past the model table names nothing.
    if (m <= 0 || m >= kTemplateSlots)
        return;
    ErrorLogWrite("Attempting to Create Grid Fixture #%d sgf=%d\n", i, m);
    char model[16];
    std::snprintf(model, sizeof model, "sgf%03d", m);
    GridFixture& f = GridFixtureTable[i];
    f.scale = ConfigInt(datFile, model, "scale", 1);
    f.flip = ConfigInt(datFile, model, "flip", 0);
    f.timerRate = ConfigInt(datFile, section, "timer_rate", 100);
    f.x = ConfigInt(datFile, section, "x", 0);
    f.y = ConfigInt(datFile, section, "y", 0);
    f.z = ConfigInt(datFile, section, "z", 0);
    ErrorLogWrite("Attempting to Place at %d,%d,%d scale=%d flip=%d\n", f.x, f.y, f.z, f.scale, f.flip);
    if (f.x == 0 || f.y == 0)
        return;
    // Off the grid (or past 16.16 fixed point) nothing is placed.
    if (!FitsFixed(f.x, 0, kMaxCoordinate) || !FitsFixed(f.y, 0, kMaxCoordinate) || !FitsFixed(f.z, -32768, 32767))
        return;
    f.figure = CreateFigureForObject(m, "", static_cast<float>(f.scale * 0.01));
    if (!f.figure)
        return;
    f.light = ConfigInt(datFile, section, "light", 0);
    if (f.light)
        AttachFigureLight(f.figure, f.light, f.light, 255, 255, 255, 100);
    PlaceObjectFigure(f.figure, f.x * 65536, f.y * 65536, f.z * 65536, 0, 0, 1, f.flip == 0 ? 1 : 0, 0);
    ErrorLogWrite("Grid Fixture #%d [%d] placed at %d,%d,%d\n", i, f.figure, f.x, f.y, f.z);
}

}  // namespace

RoomPortalDefs& WorldRoomDefs() {
    static RoomPortalDefs* defs = new RoomPortalDefs{};
    return *defs;
}

int SgxLoadObjectmaps() {
    StepTimer timer;
    LoadObjectMap(1, "shadow.bmp");
    LoadObjectMap(2, "cast.tga");
    ErrorLogWrite("Time to SgxLoadObjectmaps: %d msecs\n", timer.Msecs());
    return 1;
}

int SgxLoadGridSGFS(const char* levelDir) {
    StepTimer timer;
    char modelDir[512], datFile[600];
    std::snprintf(modelDir, sizeof modelDir, "%s/sgfs", levelDir ? levelDir : "");
    std::snprintf(datFile, sizeof datFile, "%s/sgfs.dat", modelDir);
    int count = ConfigInt(datFile, "sgfdefs", "numsgfs", 0);
    count = count < 0 ? 0 : count > kMaxGridModels ? kMaxGridModels : count;
    ErrorLogWrite("Loading %d Grid Sgfs from [%s]\n", count, datFile);
    LoadGridModels(modelDir, datFile, count);
    int fixtures = ConfigInt(datFile, "sgfdefs", "numfixtures", 0);
    fixtures = fixtures < 0 ? 0 : fixtures > kGridFixtures ? kGridFixtures : fixtures;
    ErrorLogWrite("Loading %d Grid Fixtures\n", fixtures);
    for (GridFixture& f : GridFixtureTable)
        f.figure = 0;
    for (int i = 0; i < fixtures; ++i)
        LoadGridFixture(datFile, i);
    // Closes the settings reader's cached file.
    GetConfigString(nullptr, nullptr, nullptr, nullptr, 0, nullptr, 0);
    ErrorLogWrite("Time to SgxLoadGridSGFS: %d msecs\n", timer.Msecs());
    return 1;
}

int SgxPlaceObjects() {
    StepTimer timer;
    ErrorLogWrite("Placing %d Static Objects.\n", WorldObjectHighWater);
    for (int slot = 1; slot < WorldObjectHighWater && slot < kWorldObjectSlots; ++slot) {
        WorldObject& o = WorldObjectTable[slot];
        if (!o.active || o.imagenum == 0 || o.no_figure != 0)
            continue;
        ErrorLogWrite("Static Object #%d  SGF=%d\n", slot, o.imagenum);
        o.figure = static_cast<int16_t>(CreateFigureForObject(o.imagenum, nullptr, 0.01f));
        if (!o.figure)
            continue;
        if (const LightPattern* light = FindLightPattern(o.light_pattern); light && light->light_type == 2)
            AttachFigureLight(o.figure, light->intensity, light->distance, light->red, light->green, light->blue, 0);
        PlaceObjectFigure(o.figure, o.pos_x, o.pos_y, o.pos_z, o.facing, o.tilt, 1, 1, 0);
        o.anim_time = 0;
        RelightFigure(o.figure);
        ErrorLogWrite("Figure#%d Created for obj#%d (%d,%d)\n", o.figure, slot, o.x, o.y);
    }
    ErrorLogWrite("Time to SgxPlaceObjects: %d msecs\n", timer.Msecs());
    return 1;
}

int ThinEndsSwapped(int thin) {
    const int g = ThinTable[thin].group[0];
    // A link that names no thin slot is no group.
    if (g <= 0 || g >= kThinSlots)
        return 0;
    const Thin& leader = ThinTable[g];
    if (leader.swing_step < 0 && (leader.group[0] == thin || leader.group[1] == thin))
        return 0;
    if (leader.swing_step > 0 && (leader.group[2] == thin || leader.group[3] == thin))
        return 0;
    return 1;
}

int SgxPlaceThins() {
    StepTimer timer;
    for (int slot = 1; slot < ThinCount && slot < kThinSlots; ++slot) {
        Thin& t = ThinTable[slot];
        if (!t.active)
            continue;
        // A wall built earlier would stay in the scene beside the new one.
        if (t.model)
            RemoveThinModel(t.model);
        const int top = t.base_z + t.height;
        const int swapped = ThinEndsSwapped(slot);
        const int model = swapped ? PlaceThinWalls(t.x2, t.y2, t.base_z, t.x1, t.y1, top, t.texture, t.transparent, 1)
                                  : PlaceThinWalls(t.x1, t.y1, t.base_z, t.x2, t.y2, top, t.texture, t.transparent, 0);
        t.model = static_cast<uint16_t>(model);
    }
    ErrorLogWrite("Time to SgxPlaceThins: %d msecs\n", timer.Msecs());
    return 1;
}

void SgxCreateWorld(const char* levelDir) {
    DrawLoadingBar(0);
    SetWorldTextureMode(WorldTextureOption);
    SgxLoadTexturemaps(levelDir, WorldTextureOption);
    DrawLoadingBar(20);
    SgxLoadObjectmaps();
    DrawLoadingBar(40);
    RoomPortalDefs& defs = WorldRoomDefs();
    defs = RoomPortalDefs{};
    LoadRoomsAndPortals(levelDir, &defs);
    SgxPutPreburnLight();
    SgxLoadTileSGFTemplate(levelDir);
    DrawLoadingBar(50);
    {
        StepTimer timer;
        BuildWorldRooms(defs, LevelGridLayers(g_level), levelDir);
        ErrorLogWrite("Time to SgxCreateWorld: %d msecs\n", timer.Msecs());
    }
    DrawLoadingBar(80);
    SgxLoadGridSGFS(levelDir);
    DrawLoadingBar(90);
    if (LoadFigureModel(kSkyDomeTemplate, kSkyDome))
        AttachSkyModel(kSkyDomeTemplate);
    SgxPlaceObjects();
    for (int i = 0; i < kMaxShrines; ++i)
        if (const ShrineDef& s = g_level.shrines[i]; s.found && s.fixture)
            SetShrineColor(i, s.alignment, s.power);
    for (int i = 0; i < kLoadedEarthnodes; ++i)
        if (const EarthnodeDef& e = g_level.earthnodes[i]; e.found && e.fixture)
            SetEarthbloodColor(i, e.owner, e.bias);
    SgxPlaceThins();
    CreatePreburnLightObjects();
    SgxCreateSceenPolys();
    CreateViewerLight();
    ViewMode = 0;
}

void ResetHudAndFigures() {
    CameraSet& cameras = Cameras();
    WorldTables& w = World();
    if (cameras.renderer)
        cameras.renderer->ReleaseAllTextures(1);
    ClearPreburnLights();
    if (w.worldRoot && cameras.sceneRoot)
        cameras.sceneRoot->RemoveChild(w.worldRoot.Get());
    ReleaseWorldRooms();
    ReleaseWorldTextures();
    ReleaseObjectMaps();
    for (int figure = 1; figure < kFigureSlots; ++figure)
        RemoveObjectFigure(figure);
    for (int n = kFixtureTemplates; n < kTemplateSlots; ++n)
        FreeFigureModel(n);
    FreeFigureModel(kSkyDomeTemplate);
    // Thin-wall models hang in the rooms just released; their slots must be free for the next
    // level.
    for (int i = 1; i < kThinModels; ++i)
        RemoveThinModel(i);
    if (cameras.viewerLight) {
        cameras.viewerLight->ForgetAllLitNodes();
        if (cameras.sceneRoot)
            cameras.sceneRoot->DetachLight(cameras.viewerLight.Get());
        if (cameras.firstPersonNode)
            cameras.firstPersonNode->RemoveChild(cameras.viewerLight.Get());
    }
    cameras.viewerLight = nullptr;
    DestroyScreenPolys();
    DestroyHudPanelsAndTiles();
    RemoveCrosshair();
    ReleaseScreenTint();
    w.sceneActive = 0;
}

}  // namespace present
