// A level's five files come from the installation or a downloaded pack: any bytes must load
// safely. The input holds grid.dat, objects.dat, misc.dat, world.dat and trigger.dat (split_input.h).

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <string>

#include "client/arena/thin.h"
#include "client/arena/trigger.h"
#include "client/arena/world_object.h"
#include "client/core/config_file.h"
#include "client/core/level_defs.h"
#include "client/level/level_loader.h"
#include "client/level/level_textures.h"
#include "fuzz/scratch_dir.h"
#include "fuzz/split_input.h"
#include "tests/support/recording_present.h"

namespace {

// fmemopen wants at least one byte.
FILE* Stream(const uint8_t* data, size_t size) {
    static uint8_t empty[1] = {0};
    return size ? fmemopen(const_cast<uint8_t*>(data), size, "rb") : fmemopen(empty, 1, "rb");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ScratchDirectory scratch("/tmp/level_fuzzXXXXXX", nullptr);
    if (!scratch.entered())
        return 0;
    static RecordingPresent* present = new RecordingPresent;
    present->calls.clear();
    FuzzFiles files;
    if (!SplitFuzzInput(data, size, files))
        return 0;
    const uint8_t* const* parts = files.data;
    const size_t* sizes = files.size;

    ClearWorldObjects();
    ClearThins();
    FreeTriggers();
    ClearLevelDefs();
    ClearTextureTable();
    FILE* world = Stream(parts[3], sizes[3]);
    FILE* trigger = Stream(parts[4], sizes[4]);
    if (world && trigger &&
        LoadLevel(ByteReader(parts[0], sizes[0]), ByteReader(parts[1], sizes[1]), ByteReader(parts[2], sizes[2]), world)) {
        World::LoadTriggers(trigger);
        InitTriggers();
        UpdateDoors(1000);
        UpdateThins(1000);
        for (int n = 1; n < kTriggerSlots; ++n)
            ToggleTrigger(n, 1, 1);
        UpdateDoors(50000);
    }
    for (FILE* f : {world, trigger})
        if (f) {
            ForgetConfigStream(f);
            std::fclose(f);
        }
    return 0;
}
