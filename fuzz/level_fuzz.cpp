// A level's five files come from the installation or a downloaded pack: any bytes must load
// safely. The input holds four little-endian 32-bit lengths, then grid.dat, objects.dat, misc.dat
// and world.dat of those lengths, and trigger.dat as the rest.

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "client/arena/thin.h"
#include "client/arena/trigger.h"
#include "client/arena/world_object.h"
#include "client/core/config_file.h"
#include "client/core/level_defs.h"
#include "client/core/level_loader.h"
#include "client/core/level_textures.h"
#include "tests/support/recording_present.h"

namespace {

// fmemopen wants at least one byte.
FILE* Stream(const uint8_t* data, size_t size) {
    static uint8_t empty[1] = {0};
    return size ? fmemopen(const_cast<uint8_t*>(data), size, "rb") : fmemopen(empty, 1, "rb");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static RecordingPresent* present = new RecordingPresent;
    present->calls.clear();
    size_t lengths[4] = {};
    size_t at = 0;
    for (size_t& n : lengths) {
        if (size - at < 4)
            return 0;
        uint32_t v;
        std::memcpy(&v, data + at, 4);
        at += 4;
        n = v;
    }
    const uint8_t* parts[5];
    size_t sizes[5];
    for (int i = 0; i < 4; ++i) {
        sizes[i] = lengths[i] < size - at ? lengths[i] : size - at;
        parts[i] = data + at;
        at += sizes[i];
    }
    parts[4] = data + at;
    sizes[4] = size - at;

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
