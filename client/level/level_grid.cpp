// grid.dat, misc.dat, objects.dat and the world.dat sections of the objects: the first steps of
// a level load.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "client/arena/local_player.h"
#include "client/arena/thin.h"
#include "client/arena/world_object.h"
#include "client/core/config_file.h"
#include "client/core/error_log.h"
#include "client/core/level_defs.h"
#include "client/core/trig_tables.h"
#include "client/driver/message_pump.h"
#include "client/level/level_loader.h"

namespace {

constexpr size_t kGridBufferWords = static_cast<size_t>(kGridCells) * kGridPlanes;
constexpr size_t kPlacementSize = 16;
constexpr size_t kThinRecords = 250;
constexpr size_t kThinRecordSize = 92;
constexpr size_t kTileOffset = 49000;
constexpr size_t kSlopeOffset = 80250;
constexpr size_t kOlistRecordSize = 116;

std::vector<uint16_t> g_gridBuffer(kGridBufferWords);
size_t g_placementOffset = 0;

bool Is16BitPlane(int k) {
    return k == kPlaneFloor || k == kPlaneCeiling || k == kPlaneStoreySplit || k == kPlaneLiquidDepth ||
           k == kPlaneUpperCeiling || k == kPlaneWallBase;
}

int Degrees4096(int degrees) {
    return static_cast<int>(static_cast<int64_t>(degrees) * 4096 / 360);
}

// Heights and lengths of a thin are 16-bit quantities of the world; a file may say anything.
int32_t Clamp16(int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, -32768, 32767));
}

int ClampWorld(int v) {
    return v < 0 ? 0 : v >= kWorldLimit ? kWorldLimit - 1 : v;
}

void FillThinFromRecord(Thin& t, const ByteReader& misc, size_t at) {
    t.x1 = FixedI32At(misc, at + 20);
    t.y1 = FixedI32At(misc, at + 24);
    t.x2 = FixedI32At(misc, at + 28);
    t.y2 = FixedI32At(misc, at + 32);
    int32_t textures = FixedI32At(misc, at + 36);
    t.texture = textures & 0xFF;
    t.texture2 = (textures >> 8) & 0xFF;
    t.length = Clamp16(FixedI32At(misc, at + 40));
    if (t.length == 0) {
        double dx = static_cast<double>(t.x2) - t.x1, dy = static_cast<double>(t.y2) - t.y1;
        t.length = Clamp16(static_cast<int64_t>(std::sqrt(dx * dx + dy * dy)));
    }
    t.height = Clamp16(FixedI32At(misc, at + 44));
    t.open = FixedI32At(misc, at + 48);
    t.speed_cap = FixedI32At(misc, at + 56);
    t.base_color = t.color = FixedI32At(misc, at + 60);
    int trigger = FixedI32At(misc, at + 64);
    if ((t.kind == THIN_MOVED || t.kind == THIN_TEXTURED || t.kind == THIN_TOUCH) && trigger >= 1 && trigger <= 99)
        t.trigger = trigger;
    int degrees = FixedI32At(misc, at + 68);
    t.angle = Degrees4096(degrees);
    t.swing_step = t.angle < 0 ? 1024 : -1024;
    t.base_z = Clamp16(FixedI32At(misc, at + 76));
    t.side_mark = FixedI32At(misc, at + 80);
    t.transparent = FixedI32At(misc, at + 84);
    t.thickness = std::clamp(FixedI32At(misc, at + 88), -kWorldLimit, kWorldLimit);
    if (t.thickness == 0)
        t.thickness = 4;
}

int FreeThinSlots() {
    int free = 0;
    for (int s = 1; s < kThinSlots; ++s)
        free += ThinTable[s].active != 1;
    return free;
}

// One side of a box: a copy of the first thin between two points.
int PlaceBoxSide(const Thin& first, int ax, int ay, int bx, int by, int length) {
    int slot = AllocThinSlot(THIN_BOX_SIDE);
    if (!slot)
        return 0;
    Thin& t = ThinTable[slot];
    int kind = t.kind;
    t = first;
    t.kind = kind;
    t.active = 0;
    t.model = 0;
    t.effect_figure = 0;
    t.x1 = ax;
    t.y1 = ay;
    t.x2 = bx;
    t.y2 = by;
    t.length = length;
    t.side_mark = 1;
    t.id = slot;
    return PlaceThin(slot) ? slot : 0;
}

// A kind-1 thin is a door or elevator side with a depth: three more sides close it into a box.
int BuildThinBox(int firstSlot) {
    Thin& first = ThinTable[firstSlot];
    if (FreeThinSlots() < 3)
        return 0;
    int a = (first.angle + first.swing_step) & kAngleMask;
    int64_t dx = -static_cast<int64_t>(first.thickness) * CosineTable[a];
    int64_t dy = static_cast<int64_t>(first.thickness) * SineTable[a];
    int ax = ClampWorld(first.x1 + static_cast<int>(dx >> 16)), ay = ClampWorld(first.y1 + static_cast<int>(dy >> 16));
    int bx = ClampWorld(first.x2 + static_cast<int>(dx >> 16)), by = ClampWorld(first.y2 + static_cast<int>(dy >> 16));
    first.side_mark = 0;
    int sides[3] = {PlaceBoxSide(first, first.x1, first.y1, ax, ay, first.thickness),
                    PlaceBoxSide(first, first.x2, first.y2, bx, by, first.thickness),
                    PlaceBoxSide(first, ax, ay, bx, by, first.length)};
    int group[4] = {firstSlot, sides[0], sides[1], sides[2]};
    int made = 0;
    for (int s : group) {
        if (!s)
            continue;
        ++made;
        for (int k = 0; k < 4; ++k)
            ThinTable[s].group[k] = group[k];
    }
    return made - 1;
}

}  // namespace

int32_t FixedI32At(const ByteReader& r, size_t offset) {
    if (offset > r.Size() || r.Size() - offset < 4)
        return 0;
    const uint8_t* p = r.Data() + offset;
    return static_cast<int32_t>(p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24);
}

int StartAngle(int degrees) {
    int a = (Degrees4096(degrees) + 2048) % 4096;
    return a < 0 ? a + 4096 : a;
}

int ReadGridBuffer(ByteReader grid) {
    LogMessage(LOG_INFO, "Loading grid buffer...\n");
    size_t size = grid.Size();
    std::fill(g_gridBuffer.begin(), g_gridBuffer.end(), 0);
    int n = grid.Size() >= 2 ? static_cast<int16_t>(grid.Data()[0] | grid.Data()[1] << 8) : 0;
    if (n < 1 || n > kGridSide) {
        LogMessage(LOG_ERROR, "Bad grid size %d.\n", n);
        return 0;
    }
    int w = size == kGrid16Size ? 16 : 19;
    g_level.gridSide = n;
    g_level.wordsPerCell = w;
    size_t cellBytes = static_cast<size_t>(n) * n * 2 * w;
    size_t available = size > 4 ? std::min(size - 4, cellBytes) : 0;
    const uint8_t* p = grid.Data() + 4;
    for (size_t i = 0; i + 1 < available; i += 2)
        g_gridBuffer[i / 2] = static_cast<uint16_t>(p[i] | p[i + 1] << 8);
    // The cells are read as bytes: a file cut inside a word still gives that word its low byte.
    if (available % 2)
        g_gridBuffer[available / 2] = p[available - 1];
    g_placementOffset = cellBytes + 4;
    LogMessage(LOG_INFO, "Grid buffer loaded.\n");
    return 1;
}

void ExtractGridPlanes() {
    const int w = g_level.wordsPerCell;
    const int planes = w == 19 ? 19 : 16;
    for (int x = 0; x < kGridSide; ++x) {
        for (int y = 0; y < kGridSide; ++y) {
            const uint16_t* cell = &g_gridBuffer[static_cast<size_t>(y * kGridSide + x) * w];
            int i = CellIndex(x, y);
            for (int k = 0; k < planes; ++k)
                g_level.plane[k][i] = Is16BitPlane(k) ? static_cast<int16_t>(cell[k]) : static_cast<int16_t>(cell[k] & 0xFF);
            int16_t* p = nullptr;
            for (int k : {kPlaneUpperFloorTexture, kPlaneUpperCeilingTexture}) {
                p = &g_level.plane[k][i];
                if (*p == 0)
                    *p = g_level.plane[kPlaneCeilingTexture][i];
            }
            for (int k : {kPlaneCeiling, kPlaneStoreySplit})
                if (g_level.plane[k][i] == 32767)
                    g_level.plane[k][i] = kOpenSky;
            p = &g_level.plane[kPlaneUpperCeiling][i];
            if (*p == 0 || *p == 32767)
                *p = kOpenSky;
        }
    }
}

int LoadSlopeDefs(ByteReader misc) {
    LogMessage(LOG_INFO, "Loading SlopeDefs...\n");
    for (int s = 0; s < kMaxSlopes; ++s) {
        const int64_t x = FixedI32At(misc, kSlopeOffset + s * 16);
        const int64_t y = FixedI32At(misc, kSlopeOffset + s * 16 + 4);
        SlopeDef& d = g_level.slopes[s];
        d.x = static_cast<int8_t>(x);
        d.y = static_cast<int8_t>(y);
        // Worked out from the whole words, so any word is a lift; the table keeps its low byte.
        d.lift = static_cast<int8_t>(std::max<int64_t>(0, -x) + std::max<int64_t>(0, -y));
    }
    LogMessage(LOG_INFO, "SlopeDefs Loaded.\n");
    return 1;
}

int LoadTiles(ByteReader misc, FILE* world) {
    LogMessage(LOG_INFO, "Loading %d Tiles.\n", kMaxTiles);
    for (int t = 1; t < kMaxTiles; ++t) {
        TileDef& tile = g_level.tiles[t];
        for (int j = 0; j < 8; ++j) {
            for (int i = 0; i < 8; ++i) {
                uint32_t v = static_cast<uint32_t>(FixedI32At(misc, kTileOffset + (t - 1) * 256 + (j * 8 + i) * 4));
                tile.floor[i * 8 + j] = static_cast<uint16_t>(v & 0xFFFF);
                tile.ceiling[i * 8 + j] = static_cast<uint16_t>(v >> 16);
            }
        }
        char key[16];
        std::snprintf(key, sizeof key, "tile%02d", t);
        int slope = 0;
        ReadConfigInt(world, "stairslopes", key, &slope, 0);
        slope = SlopeEntry(slope);
        tile.slope = slope;
        if (slope)
            LogMessage(LOG_INFO, "Tile Slope Replacement: tile#%02d=slope#%02d\n", t, slope);
    }
    LogMessage(LOG_INFO, "Tiles Loaded.\n");
    return 1;
}

int LoadThins(ByteReader misc) {
    LogMessage(LOG_INFO, "Loading Thins...\n");
    int made = 0;
    for (size_t r = 0; r < kThinRecords; ++r) {
        size_t at = r * kThinRecordSize;
        if (FixedI32At(misc, at + 72) == 0)
            continue;
        int slot = AllocThinSlot(FixedI32At(misc, at + 52));
        if (!slot)
            continue;
        Thin& t = ThinTable[slot];
        FillThinFromRecord(t, misc, at);
        t.id = slot;
        if (!PlaceThin(slot))
            continue;
        ++made;
        if (t.kind == THIN_MOVED)
            made += BuildThinBox(slot);
    }
    LogMessage(LOG_INFO, "%d thins loaded and placed.\n", made);
    return 1;
}

int LoadOlist(ByteReader objects) {
    static constexpr size_t kFieldOffsets[21] = {12, 0, 4, 8, 16, 20, 24, 28, 32, 36, 48,
                                                 52, 56, 60, 64, 68, 72, 84, 88, 92, 40};
    LogMessage(LOG_INFO, "Loading Olist...\n");
    for (int n = 1; n < kMaxOlist; ++n)
        for (int f = 0; f < 21; ++f)
            g_level.olist[n][f] =
                static_cast<uint16_t>(FixedI32At(objects, (n - 1) * kOlistRecordSize + kFieldOffsets[f]) & 0xFFFF);
    LogMessage(LOG_INFO, "Olist loaded.\n");
    return 1;
}

int PlaceOlistObjects(ByteReader grid) {
    LogMessage(LOG_INFO, "Placing Olist objects...\n");
    int placed = 0;
    for (size_t r = 0; r < kMaxPlacements; ++r) {
        size_t at = g_placementOffset + r * kPlacementSize;
        uint32_t olist = static_cast<uint32_t>(FixedI32At(grid, at));
        if (olist == 0)
            continue;
        int x = FixedI32At(grid, at + 4), y = FixedI32At(grid, at + 8);
        int extra = FixedI32At(grid, at + 12);
        if (olist >= kMaxOlist) {
            LogMessage(LOG_WARNING, "Ignoring object with bad olist number - Olist #%u\n", olist);
            continue;
        }
        int type = g_level.olist[olist][0];
        if (x < 0 || y < 0 || x >= kWorldLimit || y >= kWorldLimit) {
            LogMessage(LOG_WARNING, "Ignoring object with bad coords - Olist #%u: type:[%d], x:[%d], y:[%d]\n", olist,
                       type, x, y);
            continue;
        }
        int slot = AllocObjectSlot(type);
        if (!slot)
            continue;
        InitObjectFromOlist(slot, static_cast<int>(olist));
        WorldObject& o = WorldObjectTable[slot];
        o.x = static_cast<uint16_t>(x);
        o.y = static_cast<uint16_t>(y);
        o.z = static_cast<int16_t>(o.z + static_cast<int16_t>(extra & 0xFFFF));
        o.pos_x = x << 16;
        o.pos_y = y << 16;
        o.pos_z = static_cast<int32_t>(static_cast<uint32_t>(o.z) << 16);
        int facing = Degrees4096(static_cast<int16_t>(static_cast<uint32_t>(extra) >> 16)) & kAngleMask;
        o.facing = static_cast<uint16_t>(facing);
        if (type == OBJ_STATIC) {
            CreateStaticObject(slot, static_cast<int>(olist));
            if (ActivateObject(slot))
                ++placed;
        }
    }
    LogMessage(LOG_INFO, "%d objects loaded and placed.\n", placed);
    return 1;
}

namespace {

enum class GeneratorRead { kMissingKey, kOffWorld, kRead };

// A maze cell and an offset into it as a world position; false when that lies off the world.
bool MazePosition(int cell, int offset, int32_t* out) {
    const int64_t v = static_cast<int64_t>(cell) * 64 + offset;
    if (v < 0 || v >= kWorldLimit)
        return false;
    *out = static_cast<int32_t>(v);
    return true;
}

GeneratorRead ReadGenerator(FILE* world, const char* section, Generator& g) {
    int ok = ReadConfigInt(world, section, "maxnum", &g.maximum, 0);
    ok &= ReadConfigInt(world, section, "chance", &g.chance, 0);
    ok &= ReadConfigInt(world, section, "timer", &g.timer, 0);
    int cx = 0, cy = 0, ox = 32, oy = 32;
    ok &= ReadConfigInt(world, section, "xmaze", &cx, 0);
    ok &= ReadConfigInt(world, section, "ymaze", &cy, 0);
    if (!ok)
        return GeneratorRead::kMissingKey;
    ReadConfigInt(world, section, "xoffset", &ox, 32);
    ReadConfigInt(world, section, "yoffset", &oy, 32);
    ReadConfigInt(world, section, "height", &g.height, 0);
    ReadConfigInt(world, section, "single", &g.single, 0);
    g.reload = g.timer;
    g.object = 0;
    // Nothing made off the world could live: such a generator stays idle.
    if (!MazePosition(cx, ox, &g.x) || !MazePosition(cy, oy, &g.y))
        return GeneratorRead::kOffWorld;
    return GeneratorRead::kRead;
}

}  // namespace

void LoadMongenDefs(FILE* world) {
    for (Generator& g : g_level.monsterGens)
        g.active = 0;
    if (g_playMode == 2)
        return;
    int count = 0;
    if (!ReadConfigInt(world, "mongendefs", "nummongens", &count, 0)) {
        LogMessage(LOG_ERROR, "Error loading [mongendefs] nummongens.\n");
        return;
    }
    LogMessage(LOG_INFO, "Loading %d mongendefs...\n", count);
    for (int i = 0; i < count && i < kMaxGenerators; ++i) {
        char section[16];
        std::snprintf(section, sizeof section, "mongen%02d", i);
        Generator g{};
        if (!ReadConfigInt(world, section, "object", &g.kind, 0))
            break;
        const GeneratorRead read = ReadGenerator(world, section, g);
        if (read == GeneratorRead::kMissingKey)
            break;
        // Only the kinds the live counts keep can be generated.
        if (read == GeneratorRead::kOffWorld || g.kind < 1 || g.kind >= kMonsterKinds)
            continue;
        g.active = 1;
        g_level.monsterGens[i] = g;
    }
    LogMessage(LOG_INFO, "Mongendefs loaded.\n");
}

void LoadEffectDefs(FILE* world) {
    for (Generator& g : g_level.effectGens)
        g.active = 0;
    int count = 0;
    if (!ReadConfigInt(world, "effectdefs", "numeffects", &count, 0)) {
        LogMessage(LOG_ERROR, "Error loading '[effectdefs], numeffects'.\n");
        return;
    }
    LogMessage(LOG_INFO, "Loading %d effects...\n", count);
    for (int i = 0; i < count && i < kMaxGenerators; ++i) {
        char section[16];
        std::snprintf(section, sizeof section, "effect%02d", i);
        Generator g{};
        if (!ReadConfigInt(world, section, "olist", &g.olist, 0))
            break;
        const GeneratorRead read = ReadGenerator(world, section, g);
        if (read == GeneratorRead::kMissingKey)
            break;
        if (read == GeneratorRead::kOffWorld || g.olist < 1 || g.olist >= kMaxOlist)
            continue;
        g.active = 1;
        g_level.effectGens[i] = g;
    }
    LogMessage(LOG_INFO, "Effects loaded.\n");
}

void LoadStartPoints(FILE* world) {
    static constexpr const char* kSections[kTeams] = {"noteam", "chaos", "order", "balance"};
    for (int team = 0; team < kTeams; ++team) {
        const char* section = kSections[team];
        StartPoint& s = g_level.starts[team];
        if (!ReadConfigInt(world, section, "startx", &s.x, 0)) {
            LogMessage(LOG_WARNING, "Could not find [%s], startx in world.dat.\n", section);
            return;
        }
        if (!ReadConfigInt(world, section, "starty", &s.y, 0)) {
            LogMessage(LOG_WARNING, "Could not find [%s], starty in world.dat.\n", section);
            return;
        }
        int degrees = 0;
        ReadConfigInt(world, section, "starta", &degrees, 0);
        s.angle = StartAngle(degrees);
        for (int k = 0; k < kRaisePoints; ++k) {
            char key[16];
            std::snprintf(key, sizeof key, "raise%dx", k + 1);
            ReadConfigInt(world, section, key, &s.raise_x[k], s.x);
            std::snprintf(key, sizeof key, "raise%dy", k + 1);
            ReadConfigInt(world, section, key, &s.raise_y[k], s.y);
            std::snprintf(key, sizeof key, "raise%da", k + 1);
            // A given raise angle is in degrees like the start angle, so both reach the player alike.
            s.raise_a[k] = ReadConfigInt(world, section, key, &degrees, 0) ? StartAngle(degrees) : s.angle;
            LogMessage(LOG_WARNING, "Team #%d: Raise%dX=%d Raise%dY=%d\n", team, k, s.raise_x[k], k, s.raise_y[k]);
        }
    }
}

int LoadLevel(ByteReader grid, ByteReader objects, ByteReader misc, FILE* world) {
    if (!ReadGridBuffer(grid))
        return 0;
    ExtractGridPlanes();
    if (!LoadSlopeDefs(misc) || !LoadTiles(misc, world) || !LoadThins(misc) || !LoadOlist(objects))
        return 0;
    // The statics placed next take their figure lights from the patterns: read them first.
    LoadLightPatterns();
    if (!PlaceOlistObjects(grid))
        return 0;
    PumpMessages();
    FillObjectPlane();
    LoadMongenDefs(world);
    LoadEffectDefs(world);
    LoadStartPoints(world);
    BuildHeightMaps();
    ConvertSlopeCodes();
    ClearThirdPlane();
    BuildLightFalloff(24, 2);
    ConvertCellMarkers();
    BuildCellFlags();
    BuildRooftopEdges();
    LoadEarthbloodDefs(world);
    LoadShrineDefs(world);
    LoadSafeZoneDefs(world);
    LoadSoundRegionDefs(world);
    LoadHomebaseDefs(world);
    LoadTransportDefs(world);
    LoadRoomViews(world);
    return 1;
}
