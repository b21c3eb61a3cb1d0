#include "client/present/world_files.h"

#include <cstdio>

#include "client/core/game_clock.h"
#include "platform/fs/fs.h"

namespace present {

namespace {

int TileFileExists(int tile, const char* dir, const char* extension) {
    if (!dir)
        return 0;
    char path[512];
    std::snprintf(path, sizeof path, "%s//tiles//tile%d.%s", dir, tile, extension);
    return platform::GameFileExists(path) ? 1 : 0;
}

}  // namespace

int TileModelExists(int tile, const char* dir) { return TileFileExists(tile, dir, "sgf"); }
int TileNulExists(int tile, const char* dir) { return TileFileExists(tile, dir, "nul"); }
int TileNilExists(int tile, const char* dir) { return TileFileExists(tile, dir, "nil"); }

StepTimer::StepTimer() : start_(ReadGameClock()) {}

int StepTimer::Msecs() const { return static_cast<int>((ReadGameClock() - start_) / 10); }

}  // namespace present
