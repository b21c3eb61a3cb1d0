#pragma once
// The sample level's files built in memory, and the level loaded straight from them, for the
// benchmarks that need a real level without an installation on disk.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "client/core/config_file.h"
#include "client/level/level_loader.h"
#include "common/byte_reader.h"
#include "tools/writers/sample_level.h"

inline const std::vector<uint8_t>& File(const std::vector<PackSource>& files, const char* name) {
    for (const PackSource& f : files)
        if (f.name == name)
            return f.bytes;
    std::abort();
}

// The "sample" level (19 words a cell) from memory into the level tables.
inline void LoadSampleLevelInMemory() {
    const std::vector<PackSource> files = SampleLevelFiles(19, false);
    const std::vector<uint8_t>& grid = File(files, "grid.dat");
    const std::vector<uint8_t>& objects = File(files, "objects.dat");
    const std::vector<uint8_t>& misc = File(files, "misc.dat");
    std::string world(File(files, "world.dat").begin(), File(files, "world.dat").end());
    FILE* f = fmemopen(world.data(), world.size(), "rb");
    LoadLevel(ByteReader(grid.data(), grid.size()), ByteReader(objects.data(), objects.size()),
              ByteReader(misc.data(), misc.size()), f);
    ForgetConfigStream(f);
    std::fclose(f);
}
