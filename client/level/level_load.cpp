// LoadGrid and Vorn::LoadGridFromPack: a level from its directory or from its pack.
#include <cstdio>
#include <cstring>
#include <vector>

#include "client/arena/monster.h"
#include "client/arena/thin.h"
#include "client/arena/trigger.h"
#include "client/arena/world_object.h"
#include "client/core/config_file.h"
#include "client/core/error_log.h"
#include "client/core/game_clock.h"
#include "client/core/game_file_bytes.h"
#include "client/core/level_defs.h"
#include "client/core/pack_file.h"
#include "client/driver/exit_message.h"
#include "client/driver/message_pump.h"
#include "client/level/level_loader.h"
#include "client/level/level_textures.h"
#include "client/present/present_services.h"
#include "client/screens/color_tables.h"
#include "client/screens/level_art.h"
#include "client/screens/screen_surface.h"
#include "common/text.h"
#include "platform/fs/fs.h"

namespace {

// A stream that closes itself and leaves the settings reader's cache behind.
struct Stream {
    FILE* f = nullptr;
    ~Stream() {
        if (f) {
            ForgetConfigStream(f);
            std::fclose(f);
        }
    }
};

FILE* MemoryStream(PackFile& pack, const PackEntry& entry) {
    const uint8_t* data = pack.EntryData(entry);
    // fmemopen refuses an empty buffer; an empty settings file reads as nothing anyway.
    static char empty[1] = {0};
    if (!data || entry.size == 0)
        return fmemopen(empty, 1, "r");
    return fmemopen(const_cast<uint8_t*>(data), entry.size, "r");
}

void StartLoad(const char* name) {
    LogMessage(LOG_INFO, "Loading Grid: [%s]\n", name);
    ClearWorldObjects();
    ClearThins();
    FreeTriggers();
    ClearLevelDefs();
    ClearTextureTable();
    LoadLoadingBarArt();
    DrawLoadingBar(0);
}

// [light] and the [map] bounds; a directory's world.dat says minx, a pack's min_x.
void ReadLightAndBounds(FILE* world) {
    ReadConfigInt(world, "light", "ambient", &g_level.ambient, 10);
    ReadConfigInt(world, "light", "outdoor", &g_level.outdoor, 10);
    ReadConfigInt(world, "light", "intensity", &g_level.intensity, 96);
    struct Bound {
        const char* plain;
        const char* underscored;
        int32_t* out;
        int fallback;
    } bounds[] = {{"minx", "min_x", &g_level.minx, 0},
                  {"miny", "min_y", &g_level.miny, 0},
                  {"maxx", "max_x", &g_level.maxx, kGridSide - 1},
                  {"maxy", "max_y", &g_level.maxy, kGridSide - 1}};
    for (Bound& b : bounds)
        if (!ReadConfigInt(world, "map", b.plain, b.out, b.fallback))
            ReadConfigInt(world, "map", b.underscored, b.out, b.fallback);
}

uint32_t ClockMs() {
    return ReadGameClock() / 10;
}

}  // namespace

bool IsPlainLevelName(const char* name) {
    if (!name || !*name || std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
        return false;
    return std::strpbrk(name, "/\\:") == nullptr;
}

int LoadGrid(const char* levelName) {
    if (!IsPlainLevelName(levelName)) {
        LogMessage(LOG_ERROR, "Bad level name.\n");
        return 0;
    }
    char path[300];
    FormatText(path, sizeof path, "grids\\%s.zpk", levelName);
    if (platform::GameFileExists(path)) {
        Vorn::LoadGridFromPack(path);
        SgxCreateWorld(levelName);
        return 1;
    }
    const uint32_t start = ClockMs();
    StartLoad(levelName);
    static const char* const kFiles[] = {"grid.dat", "objects.dat", "misc.dat", "world.dat", "trigger.dat", "sounds.dat"};
    std::vector<uint8_t> bytes[3];
    Stream world, trigger;
    for (int i = 0; i < 6; ++i) {
        FormatText(path, sizeof path, "%s\\%s", levelName, kFiles[i]);
        bool ok;
        if (i < 3)
            ok = ReadGameFileBytes(path, bytes[i]);
        else if (i == 3)
            ok = (world.f = platform::OpenGameFile(path, "rb")) != nullptr;
        else if (i == 4)
            ok = (trigger.f = platform::OpenGameFile(path, "rb")) != nullptr;
        else
            ok = platform::GameFileExists(path);
        if (!ok) {
            LogMessage(LOG_ERROR, "Could not open file: '%s'.\n", path);
            FreeLoadingBarArt();
            return 0;
        }
    }
    ByteReader grid(bytes[0].data(), bytes[0].size());
    if (!LoadLevel(grid, ByteReader(bytes[1].data(), bytes[1].size()), ByteReader(bytes[2].data(), bytes[2].size()),
                   world.f)) {
        LogMessage(LOG_ERROR, "Error loading level...\n");
        FreeLoadingBarArt();
        return 0;
    }
    const uint32_t levelDone = ClockMs();
    DrawLoadingBar(25);
    ReadLightAndBounds(world.f);
    char misc[300], textures[300], worldName[300];
    FormatText(misc, sizeof misc, "%s\\misc.dat", levelName);
    FormatText(textures, sizeof textures, "%s//textures", levelName);
    FormatText(worldName, sizeof worldName, "%s\\world.dat", levelName);
    if (!LoadTextureList(misc, textures, worldName)) {
        LogMessage(LOG_ERROR, "Error Loading Texturemaps.\n");
        FreeLoadingBarArt();
        return 0;
    }
    const uint32_t texturesDone = ClockMs();
    DrawLoadingBar(50);
    ComputeThinBounds();
    g_screen.LoadBackground(levelName, 0, 0, 0);
    FormatText(path, sizeof path, "%s\\map.pcx", levelName);
    LoadMapImage(path);
    DrawLoadingBar(75);
    World::LoadTriggers(trigger.f);
    InitTriggers();
    LogMessage(LOG_INFO, "Grid Loaded.\n");
    DrawLoadingBar(100);
    SgxCreateWorld(levelName);
    FreeLoadingBarArt();
    LogMessage(LOG_INFO, "Time to Load Level: %d msec\n", static_cast<int>(levelDone - start));
    LogMessage(LOG_INFO, "Time to Load Textures: %d msec\n", static_cast<int>(texturesDone - levelDone));
    LogMessage(LOG_ERROR, "Time to Load Grid: %d msec\n", static_cast<int>(ClockMs() - start));
    return 1;
}

int Vorn::LoadGridFromPack(const char* packPath) {
    PackFile pack;
    if (pack.OpenPackFile(packPath, 1) != 0)
        ExitWithMessage("Vorn::LoadGridFromPack - bad packfile.");
    static const char* const kEntries[] = {"grid.dat", "misc.dat", "objects.dat", "world.dat",
                                           "backgrnd.pcx", "map.pcx", "color.dat", "trigger.dat"};
    PackEntry entries[8];
    for (int i = 0; i < 8; ++i) {
        if (pack.FindPackEntry(kEntries[i], &entries[i]) != 0) {
            char text[120];
            FormatText(text, sizeof text, "Vorn::LoadGridFromPack - could not find %s in packfile.", kEntries[i]);
            ExitWithMessage(text);
        }
    }
    const char* name = packPath;
    for (const char* p = packPath; *p; ++p)
        if (*p == '/' || *p == '\\')
            name = p + 1;
    char levelName[64];
    CopyText(levelName, std::string_view(name, std::strcspn(name, ".")));
    StartLoad(levelName);
    Stream world, color, trigger;
    world.f = MemoryStream(pack, entries[3]);
    color.f = MemoryStream(pack, entries[6]);
    trigger.f = MemoryStream(pack, entries[7]);
    if (!LoadLevel(pack.EntryReader(entries[0]), pack.EntryReader(entries[2]), pack.EntryReader(entries[1]), world.f)) {
        LogMessage(LOG_ERROR, "Error loading level...\n");
        ExitWithMessage(nullptr);
    }
    PumpMessages();
    LoadMonsterDefs();
    DrawLoadingBar(25);
    ReadLightAndBounds(world.f);
    if (!LoadTexMapsFromPack(pack, pack.EntryReader(entries[1]), world.f)) {
        LogMessage(LOG_ERROR, "Error loading texturemaps.\n");
        ExitWithMessage(nullptr);
    }
    PumpMessages();
    DrawLoadingBar(50);
    ComputeThinBounds();
    g_screen.LoadBackgroundFromPack(pack, 0, 0, 0);
    LoadMapImageFromPack(pack, "map.pcx");
    InitGridLightsourceFromPack(pack, color.f, g_channelBits);
    PumpMessages();
    DrawLoadingBar(75);
    World::LoadTriggers(trigger.f);
    InitTriggers();
    LogMessage(LOG_INFO, "Grid Loaded.\n");
    DrawLoadingBar(100);
    FreeLoadingBarArt();
    pack.ClosePackFile();
    return 1;
}
