// The maps derived from the grid planes, the built-in height maps and slopes, the light patterns
// of pattern.dat and the fixture definitions of world.dat.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "client/arena/world_object.h"
#include "client/core/config_file.h"
#include "client/core/error_log.h"
#include "client/core/level_defs.h"
#include "client/level/level_loader.h"
#include "platform/fs/fs.h"

LevelDefs g_level;

void ClearLevelDefs() {
    std::memset(&g_level, 0, sizeof g_level);
}

const LightPattern* FindLightPattern(int n) {
    if (n <= 0 || n >= kMaxPatterns)
        return nullptr;
    return &g_level.patterns[n];
}

namespace {

using HeightMap = uint8_t[64 * 64];

double A(double t) {
    double v = 32 - std::sqrt(1024 - t * t);
    return v < 0 ? 0 : v;
}

double B(double t) {
    double v = 64 - std::sqrt(4096 - t * t);
    return v < 0 ? 0 : v;
}

uint8_t& At(int map, int i, int j) {
    return g_level.heightMaps[map][i * 64 + j];
}

void Set(int map, int i, int j, double v) {
    At(map, i, j) = static_cast<uint8_t>(static_cast<int>(v));
}

void Combine(int out, int a, int b, bool useMax) {
    for (int k = 0; k < 64 * 64; ++k) {
        uint8_t va = g_level.heightMaps[a][k], vb = g_level.heightMaps[b][k];
        g_level.heightMaps[out][k] = useMax ? std::max(va, vb) : std::min(va, vb);
    }
}

void FlipRows(int out, int in) {
    for (int i = 0; i < 64; ++i)
        for (int j = 0; j < 64; ++j)
            At(out, i, j) = At(in, 63 - i, j);
}

void FlipColumns(int out, int in) {
    for (int i = 0; i < 64; ++i)
        for (int j = 0; j < 64; ++j)
            At(out, i, j) = At(in, i, 63 - j);
}

// Neighbour offsets of the four edge directions: -y, +y, -x, +x.
constexpr int kEdgeDx[4] = {0, 0, -1, 1};
constexpr int kEdgeDy[4] = {-1, 1, 0, 0};

int16_t P(int plane, int cell) {
    return g_level.plane[plane][cell];
}

// The centre of the cells carrying a marker index: the average of their middles. The sums of
// every index are made in one pass over the grid per loader.
struct MarkedCentres {
    int64_t sx[256] = {}, sy[256] = {}, n[256] = {};
    MarkedCentres() {
        for (int cx = 0; cx < kGridSide; ++cx)
            for (int cy = 0; cy < kGridSide; ++cy) {
                int i = g_level.cellIndex[CellIndex(cx, cy)];
                sx[i] += cx * 64 + 32;
                sy[i] += cy * 64 + 32;
                ++n[i];
            }
    }
    bool Centre(int index, int32_t* x, int32_t* y) const {
        if (index < 0 || index > 255 || !n[index])
            return false;
        *x = static_cast<int32_t>(sx[index] / n[index]);
        *y = static_cast<int32_t>(sy[index] / n[index]);
        return true;
    }
};

void ReadLinks(FILE* world, const char* section, int32_t* links) {
    for (int k = 0; k < 5; ++k) {
        char key[8];
        std::snprintf(key, sizeof key, "link%d", k + 1);
        ReadConfigInt(world, section, key, &links[k], -1);
    }
}

int ClampCell(int v) {
    return v < 0 ? 0 : v > kGridSide - 1 ? kGridSide - 1 : v;
}

// A count read from world.dat, held within the table.
int ReadCount(FILE* world, const char* section, const char* key, int limit) {
    int n = 0;
    if (!ReadConfigInt(world, section, key, &n, 0) || n <= 0)
        return 0;
    return std::min(n, limit);
}

}  // namespace

void FillObjectPlane() {
    for (int i = 0; i < kGridCells; ++i)
        if (g_level.plane[kPlaneUpperWallTexture][i] == 0)
            g_level.plane[kPlaneUpperWallTexture][i] = g_level.plane[kPlaneLowerWallTexture][i];
}

void BuildHeightMaps() {
    std::memset(g_level.heightMaps, 0, sizeof g_level.heightMaps);
    for (int i = 0; i < 64; ++i) {
        for (int j = 0; j < 64; ++j) {
            Set(1, i, j, std::min(std::min(i, j), std::min(63 - i, 63 - j)));
            if (i < 32)
                Set(2, i, j, 32 - i);
            Set(3, i, j, i < 16 ? 0 : i < 32 ? 16 : i < 48 ? 32 : i < 63 ? 48 : 63);
            if (i < 30)
                Set(4, i, j, A(i - 30));
            if (i < 31)
                Set(5, i, j, A(i - 31));
            if (j < 31)
                Set(7, i, j, A(j - 31));
            double d = std::sqrt(static_cast<double>((i - 32) * (i - 32) + (j - 32) * (j - 32)));
            double r = std::max(0.0, 32 - d);
            Set(9, i, j, r * r * 0.0625);
            if (j < 30)
                Set(11, i, j, A(j - 30));
            if ((i - 32) * (i - 32) + (j - 32) * (j - 32) < 1024)
                Set(12, i, j, 128);
            Set(13, i, j, i - i * i / 128.0);
            Set(15, i, j, j - j * j / 128.0);
            if (i < 63)
                Set(25, i, j, B(i - 63));
            if (j < 63)
                Set(27, i, j, B(j - 63));
            Set(33, i, j, i / 2);
            Set(34, i, j, 31 - i / 2);
            Set(35, i, j, j / 2);
            Set(36, i, j, 31 - j / 2);
            Set(37, i, j, i / 4);
            Set(38, i, j, 15 - i / 4);
            Set(39, i, j, j / 4);
            Set(40, i, j, 16 - j / 4);
            Set(45, i, j, 2 * B(i - 63));
            Set(47, i, j, 2 * B(j - 63));
            Set(49, i, j, i < 16 ? 15 - i : i < 48 ? 0 : i - 48);
            Set(50, i, j, j < 16 ? 15 - j : j < 48 ? 0 : j - 48);
        }
    }
    for (int i = 0; i < 64; ++i) {
        for (int j = 0; j < 64; ++j) {
            if (i >= 34)
                At(4, i, j) = At(4, 63 - i, j);
            if (i >= 33)
                At(6, i, j) = At(5, 63 - i, j);
            if (j >= 33)
                At(8, i, j) = At(7, i, 63 - j);
            At(10, i, j) = At(9, i, j) / 2;
            if (j >= 34)
                At(11, i, j) = At(11, i, 63 - j);
        }
    }
    FlipRows(14, 13);
    FlipColumns(16, 15);
    Combine(17, 13, 15, false);
    Combine(18, 13, 16, false);
    Combine(19, 14, 16, false);
    Combine(20, 14, 15, false);
    Combine(21, 13, 15, true);
    Combine(22, 13, 16, true);
    Combine(23, 14, 16, true);
    Combine(24, 14, 15, true);
    FlipRows(26, 25);
    FlipColumns(28, 27);
    Combine(29, 25, 27, true);
    Combine(30, 25, 28, true);
    Combine(31, 26, 28, true);
    Combine(32, 26, 27, true);
    for (int i = 0; i < 64; ++i) {
        for (int j = 0; j < 64; ++j) {
            At(41, i, j) = static_cast<uint8_t>(std::min(2 * At(11, i, j), i));
            At(42, i, j) = static_cast<uint8_t>(std::min(2 * At(11, i, j), 63 - i));
            At(43, i, j) = static_cast<uint8_t>(std::min(2 * At(4, i, j), j));
            At(44, i, j) = static_cast<uint8_t>(std::min(2 * At(4, i, j), 63 - j));
        }
    }
    FlipRows(46, 45);
    FlipColumns(48, 47);
}

void ConvertSlopeCodes() {
    if (g_level.wordsPerCell == 16) {
        std::memset(g_level.plane[kPlaneCeilingSlope], 0, sizeof g_level.plane[0]);
        std::memset(g_level.plane[kPlaneSlope], 0, sizeof g_level.plane[0]);
    }
    for (int i = 0; i < kGridCells; ++i) {
        int16_t& c9 = g_level.plane[kPlaneCeilingMap][i];
        if (c9 >= 33 && c9 <= 40) {
            g_level.plane[kPlaneCeilingSlope][i] = static_cast<int16_t>(c9 - 32);
            c9 = 0;
        }
        int16_t& c10 = g_level.plane[kPlaneHeightMap][i];
        if (c10 >= 33 && c10 <= 40) {
            g_level.plane[kPlaneSlope][i] = static_cast<int16_t>(c10 - 32);
            c10 = 0;
        }
    }
    static constexpr SlopeDef kBuiltIn[8] = {{32, 0, 0, 0},  {-32, 0, 32, 0}, {0, 32, 0, 0},  {0, -32, 32, 0},
                                             {16, 0, 0, 0},  {-16, 0, 16, 0}, {0, 16, 0, 0},  {0, -16, 16, 0}};
    std::copy(std::begin(kBuiltIn), std::end(kBuiltIn), g_level.slopes);
}

void ClearThirdPlane() {
    if (g_level.wordsPerCell == 16)
        std::memset(g_level.plane[kPlaneSpare], 0, sizeof g_level.plane[0]);
}

void BuildLightFalloff(int radius, int mode) {
    int scale = std::min(radius, 32);
    for (int i = 0; i < 64; ++i) {
        for (int j = 0; j < 64; ++j) {
            int d = static_cast<int>(std::sqrt(static_cast<double>((i - 32) * (i - 32) + (j - 32) * (j - 32))));
            int v = scale ? (radius - d) * radius / scale : 0;
            g_level.lightFalloff[i * 64 + j] = static_cast<uint8_t>(std::max(0, std::min(32, v)));
        }
    }
    g_level.lightFalloffMode = mode;
}

void LoadLightPatterns() {
    const char* file = "pattern.dat";
    for (LightPattern& p : g_level.patterns)
        std::memset(p.grid, 0, sizeof p.grid);
    ErrorLogWrite("Loading Patterns.\n");
    int count = 0;
    if (!GetConfigInt(file, "patterndefs", "numpatterns", &count, 0, 0)) {
        GetConfigString(nullptr, nullptr, nullptr, nullptr, 0, nullptr, 0);
        return;
    }
    ErrorLogWrite("Loading %d patterns.\n", count);
    count = std::clamp(count, 0, kMaxPatterns);
    g_level.patternCount = count;
    for (int n = 0; n < count; ++n) {
        char section[16];
        std::snprintf(section, sizeof section, "pattern%02d", n);
        LightPattern& p = g_level.patterns[n];
        int size = 0;
        GetConfigInt(file, section, "size", &size, 0, 0);
        size = std::clamp(size, 0, kPatternSide);
        p.half_size = size / 2;
        for (int r = 0; r < size; ++r) {
            char key[8], row[256];
            std::snprintf(key, sizeof key, "row%02d", r);
            GetConfigString(file, section, key, row, sizeof row, "", 0);
            const char* s = row;
            for (int c = 0; c < size; ++c) {
                char* end = nullptr;
                long v = std::strtol(s, &end, 10);
                if (end == s) {
                    ErrorLogWrite("Error loading element #%d for item '%s' from '%s' from: pattern.dat\n", c, key,
                                  section);
                    GetConfigString(nullptr, nullptr, nullptr, nullptr, 0, nullptr, 0);
                    return;
                }
                p.grid[r][c] = static_cast<int16_t>(v);
                s = end;
                while (*s == ',' || *s == ' ')
                    ++s;
            }
        }
        GetConfigInt(file, section, "light_type", &p.light_type, 0, 0);
        GetConfigInt(file, section, "red", &p.red, 255, 0);
        GetConfigInt(file, section, "green", &p.green, 255, 0);
        GetConfigInt(file, section, "blue", &p.blue, 255, 0);
        GetConfigInt(file, section, "flicker", &p.flicker, 0, 0);
        GetConfigInt(file, section, "intensity", &p.intensity, 400, 0);
        GetConfigInt(file, section, "distance", &p.distance, 200, 0);
    }
    GetConfigString(nullptr, nullptr, nullptr, nullptr, 0, nullptr, 0);
}

void ConvertCellMarkers() {
    for (int i = 0; i < kGridCells; ++i) {
        int c = g_level.plane[kPlaneMarker][i];
        int kind = 0, index = 0;
        bool known = true;
        if (c >= 250)
            kind = 1;
        else if (c == 100)
            kind = 2;
        else if (c == 101)
            kind = 3;
        else if (c == 102)
            kind = 4;
        else if (c == 110)
            kind = 5;
        else if (c == 111)
            index = 120;
        else if ((c >= 120 && c <= 148) || (c >= 150 && c <= 168) || (c >= 170 && c <= 178))
            index = c - 100;
        else if (c >= 200 && c <= 209)
            index = c - 200;
        else if (c == 210)
            index = 10;
        else if (c >= 211 && c <= 248)
            index = c - 130;
        else
            known = false;
        g_level.cellKind[i] = static_cast<uint8_t>(kind);
        g_level.cellIndex[i] = static_cast<uint8_t>(index);
        if (known)
            g_level.plane[kPlaneMarker][i] = 0;
    }
}

void BuildCellFlags() {
    for (int i = 0; i < kGridCells; ++i) {
        uint8_t f = 0;
        if (P(kPlaneTile, i))
            f |= 0x01;
        if (P(kPlaneCeilingMap, i))
            f |= 0x04;
        if (P(kPlaneHeightMap, i))
            f |= 0x08;
        if (P(kPlaneCeilingSlope, i))
            f |= 0x10;
        if (P(kPlaneSlope, i))
            f |= 0x20;
        if (g_level.cellKind[i] >= 1 && g_level.cellKind[i] <= 4)
            f |= 0x40;
        g_level.cellFlags[i] = f;
    }
    for (int d = 0; d < 4; ++d) {
        for (int cx = 0; cx < kGridSide; ++cx) {
            for (int cy = 0; cy < kGridSide; ++cy) {
                int nx = cx + kEdgeDx[d], ny = cy + kEdgeDy[d];
                if (!CellInGrid(nx, ny))
                    continue;
                int a = CellIndex(cx, cy), b = CellIndex(nx, ny);
                uint8_t e = g_level.cellFlags[a];
                if (P(kPlaneFloor, a) != P(kPlaneFloor, b) || P(kPlaneFloorTexture, a) != P(kPlaneFloorTexture, b))
                    e |= 0x01;
                bool skyEither = P(kPlaneCeiling, a) == kOpenSky || P(kPlaneCeiling, b) == kOpenSky;
                if (P(kPlaneCeiling, a) != P(kPlaneCeiling, b) ||
                    (!skyEither && P(kPlaneCeilingTexture, a) != P(kPlaneCeilingTexture, b)))
                    e |= 0x02;
                if (P(kPlaneCeilingSlope, a) != P(kPlaneCeilingSlope, b))
                    e |= 0x10;
                if (P(kPlaneSlope, a) != P(kPlaneSlope, b))
                    e |= 0x20;
                g_level.edge[d][a] = e;
            }
        }
    }
}

void BuildRooftopEdges() {
    for (int d = 0; d < 4; ++d)
        for (int cx = 0; cx < kGridSide; ++cx)
            for (int cy = 0; cy < kGridSide; ++cy) {
                int nx = cx + kEdgeDx[d], ny = cy + kEdgeDy[d];
                if (!CellInGrid(nx, ny))
                    continue;
                int a = CellIndex(cx, cy);
                g_level.rooftopEdge[d][a] = P(kPlaneStoreySplit, a) != P(kPlaneStoreySplit, CellIndex(nx, ny));
            }
}

void LoadEarthbloodDefs(FILE* world) {
    int count = ReadCount(world, "earthblooddefs", "numearthblood", kLoadedEarthnodes);
    if (!count)
        return;
    LogMessage(LOG_INFO, "Loading %d Earth Blood Defs...\n", count);
    const MarkedCentres centres;
    for (int n = 0; n < count; ++n) {
        char section[20];
        std::snprintf(section, sizeof section, "earthblood%02d", n);
        EarthnodeDef& e = g_level.earthnodes[n];
        ReadConfigInt(world, section, "power", &e.power, 0);
        e.max_power = e.power;
        ReadConfigInt(world, section, "neutraltexture", &e.neutral_texture, 0);
        ReadConfigInt(world, section, "chaostexture", &e.chaos_texture, 0);
        ReadConfigInt(world, section, "ordertexture", &e.order_texture, 0);
        ReadConfigInt(world, section, "balancetexture", &e.balance_texture, 0);
        ReadConfigInt(world, section, "bias", &e.bias, 0);
        ReadConfigInt(world, section, "radius", &e.radius, 2);
        e.found = centres.Centre(20 + n, &e.x, &e.y);
        ReadConfigInt(world, section, "fixture", &e.fixture, 0);
        ReadLinks(world, section, e.link);
    }
    for (int n = count; n < kLoadedEarthnodes; ++n)
        g_level.earthnodes[n].found = 0;
    LogMessage(LOG_INFO, "Earth Blood Defs loaded.\n");
}

void LoadShrineDefs(FILE* world) {
    int count = ReadCount(world, "shrinedefs", "numshrines", kMaxShrines);
    if (!count)
        return;
    LogMessage(LOG_INFO, "Loading %d shrines...\n", count);
    const MarkedCentres centres;
    for (int n = 0; n < count; ++n) {
        char section[16], align[64];
        std::snprintf(section, sizeof section, "shrine%02d", n);
        ShrineDef& s = g_level.shrines[n];
        ReadConfigInt(world, section, "power", &s.power, 0);
        s.max_power = s.power;
        ReadConfigInt(world, section, "object", &s.object, 0);
        ReadConfigInt(world, section, "image", &s.image, 0);
        ReadConfigInt(world, section, "deadimage", &s.dead_image, 0);
        ReadConfigInt(world, section, "bias", &s.bias, 100);
        ReadConfigString(world, section, "alignment", align, sizeof align, "");
        switch (std::tolower(static_cast<unsigned char>(align[0]))) {
        case 'c': s.alignment = 1; break;
        case 'o': s.alignment = 2; break;
        case 'b': s.alignment = 3; break;
        default: s.alignment = 0; break;
        }
        s.found = centres.Centre(50 + n, &s.x, &s.y);
        ReadConfigInt(world, section, "fixture", &s.fixture, 0);
        ReadLinks(world, section, s.link);
        SetShrineState(n, s.alignment, s.bias, s.power);
    }
    for (int n = count; n < kMaxShrines; ++n)
        g_level.shrines[n].found = 0;
    LogMessage(LOG_INFO, "Shrines Loaded.\n");
}

void LoadSafeZoneDefs(FILE* world) {
    int count = ReadCount(world, "safezonedefs", "numsafezones", kMaxSafeZones - 1);
    if (!count)
        return;
    LogMessage(LOG_INFO, "Loading %d safe zones...\n", count);
    for (int n = 1; n <= count; ++n) {
        char section[16];
        std::snprintf(section, sizeof section, "safezone%02d", n);
        SafeZoneDef& z = g_level.safeZones[n];
        if (ReadConfigInt(world, section, "trigger", &z.trigger, 0))
            z.used = 1;
    }
    LogMessage(LOG_INFO, "Safe zones loaded.\n");
}

void LoadSoundRegionDefs(FILE* world) {
    int count = ReadCount(world, "soundregiondefs", "numsoundregions", kMaxSoundRegions);
    LogMessage(LOG_INFO, "Loading %d sound regions...\n", count);
    for (int n = 0; n < count; ++n) {
        char section[20];
        std::snprintf(section, sizeof section, "soundregion%02d", n);
        SoundRegionDef& r = g_level.soundRegions[n];
        ReadConfigInt(world, section, "sound", &r.sound, 0);
        ReadConfigInt(world, section, "volume", &r.volume, 0);
        r.used = 1;
    }
    LogMessage(LOG_INFO, "Sound regions loaded.\n");
}

void LoadHomebaseDefs(FILE* world) {
    int count = ReadCount(world, "homebasedefs", "numhomebases", 100);
    if (!count)
        return;
    LogMessage(LOG_INFO, "Loading %d Homebase Defs...\n", count);
    for (int n = 0; n < count; ++n) {
        char section[16];
        std::snprintf(section, sizeof section, "homebase%02d", n);
        int x1 = 0, x2 = 0, y1 = 0, y2 = 0, team = 0;
        ReadConfigInt(world, section, "x1", &x1, 0);
        ReadConfigInt(world, section, "x2", &x2, 0);
        ReadConfigInt(world, section, "y1", &y1, 0);
        ReadConfigInt(world, section, "y2", &y2, 0);
        ReadConfigInt(world, section, "team", &team, 0);
        for (int cx = ClampCell(x1); cx <= ClampCell(x2) && x1 <= x2; ++cx)
            for (int cy = ClampCell(y1); cy <= ClampCell(y2) && y1 <= y2; ++cy)
                g_level.cellIndex[CellIndex(cx, cy)] = static_cast<uint8_t>(team);
    }
    LogMessage(LOG_INFO, "Homebases Defs loaded.\n");
}

void LoadTransportDefs(FILE* world) {
    for (TransportDef& t : g_level.transports)
        t.used = 0;
    int count = ReadCount(world, "transportdefs", "numtransports", kMaxTransports);
    if (!count)
        return;
    LogMessage(LOG_INFO, "Loading %d transports...\n", count);
    for (int n = 0; n < count; ++n) {
        char section[16];
        std::snprintf(section, sizeof section, "transport%02d", n);
        TransportDef& t = g_level.transports[n];
        ReadConfigInt(world, section, "startx", &t.startx, 0);
        ReadConfigInt(world, section, "starty", &t.starty, 0);
        ReadConfigInt(world, section, "starta", &t.starta, 0);
        ReadConfigString(world, section, "grid", t.grid, sizeof t.grid, "");
        t.used = 1;
    }
    LogMessage(LOG_INFO, "Transports loaded.\n");
}

void LoadRoomViews(FILE* world) {
    std::memset(g_level.roomMap, -1, sizeof g_level.roomMap);
    ErrorLogWrite("Loading RoomViews...\n");
    for (int n = 0; n < kMaxRooms; ++n) {
        char section[16];
        std::snprintf(section, sizeof section, "room%02d", n);
        RoomView& r = g_level.rooms[n];
        if (!ReadConfigInt(world, section, "minx", &r.minx, 0))
            continue;
        ReadConfigInt(world, section, "maxx", &r.maxx, 0);
        ReadConfigInt(world, section, "miny", &r.miny, 0);
        ReadConfigInt(world, section, "maxy", &r.maxy, 0);
        r.used = 1;
        ErrorLogWrite("Room#%d: x=%d-%d y=%d-%d\n", n, r.minx, r.maxx, r.miny, r.maxy);
        char views[256];
        ReadConfigString(world, section, "views", views, sizeof views, "");
        ErrorLogWrite("  in_view=");
        const char* s = views;
        while (*s && r.count < kMaxRoomViews) {
            char* end = nullptr;
            long v = std::strtol(s, &end, 10);
            if (end == s)
                break;
            s = end;
            while (*s == ',' || *s == ' ')
                ++s;
            if (v < 0 || v >= kMaxRooms)
                continue;
            r.views[r.count++] = static_cast<int32_t>(v);
            r.mask |= 1u << v;
            ErrorLogWrite("%ld ", v);
        }
        ErrorLogWrite(" [0x%08X]\n", r.mask);
        if (r.minx > r.maxx || r.miny > r.maxy)
            continue;
        for (int cx = ClampCell(r.minx); cx <= ClampCell(r.maxx); ++cx)
            for (int cy = ClampCell(r.miny); cy <= ClampCell(r.maxy); ++cy)
                g_level.roomMap[CellIndex(cx, cy)] = static_cast<int8_t>(n);
    }
    FILE* out = platform::OpenGameFile("roomview.txt", "w");
    if (!out)
        return;
    for (int cy = 0; cy < kGridSide; ++cy) {
        for (int cx = 0; cx < kGridSide; ++cx) {
            int room = g_level.roomMap[CellIndex(cx, cy)];
            if (room < 0)
                std::fputs(" .", out);
            else
                std::fprintf(out, "%2d", room);
        }
        std::fputc('\n', out);
    }
    std::fclose(out);
}
