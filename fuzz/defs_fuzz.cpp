// The installation's definition files (pattern.dat, monster.dat, images/image.dat, system.dat,
// arena.dat): any bytes must load safely. The input holds the five files (split_input.h); they are
// written into a scratch directory and loaded by name.

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "client/arena/monster.h"
#include "client/core/config_file.h"
#include "client/core/level_defs.h"
#include "client/level/level_loader.h"
#include "client/level/level_textures.h"
#include "fuzz/scratch_dir.h"
#include "fuzz/split_input.h"

namespace {

void WriteFile(const char* name, const uint8_t* data, size_t size) {
    FILE* f = std::fopen(name, "wb");
    if (!f)
        return;
    if (size)
        std::fwrite(data, 1, size, f);
    std::fclose(f);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ScratchDirectory scratch("/tmp/defs_fuzzXXXXXX", "images");
    if (!scratch.entered())
        return 0;
    FuzzFiles files;
    if (!SplitFuzzInput(data, size, files))
        return 0;
    static const char* const kNames[5] = {"pattern.dat", "monster.dat", "images/image.dat", "system.dat", "arena.dat"};
    GetConfigString(nullptr, nullptr, nullptr, nullptr, 0, nullptr, 0);
    for (int i = 0; i < 5; ++i)
        WriteFile(kNames[i], files.data[i], files.size[i]);
    ClearLevelDefs();
    ClearTextureTable();
    LoadLightPatterns();
    GetConfigString(nullptr, nullptr, nullptr, nullptr, 0, nullptr, 0);
    LoadMonsterDefs();
    LoadImageDefs("images/image.dat", "sample/images");
    LoadTextureDefs(200, 0);
    LoadTextureDefs(1, 0);
    LoadArenaList("arena.dat");
    return 0;
}
