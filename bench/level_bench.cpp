// Loading the sample level: LoadLevel from the files in memory, and the whole load from its pack
// beside a plain open of the same pack (the open's share of the whole). Target: LoadLevel under
// 20 ms in a release build.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/sample_level_memory.h"
#include "client/arena/thin.h"
#include "client/arena/trigger.h"
#include "client/arena/world_object.h"
#include "client/core/config_file.h"
#include "client/core/level_defs.h"
#include "client/core/pack_file.h"
#include "client/level/level_loader.h"
#include "client/level/level_textures.h"
#include "tests/support/recording_present.h"
#include "tools/writers/pack_writer.h"
#include "tools/writers/sample_level.h"

namespace {

void Write(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

void WriteText(const std::string& path, const std::string& text) {
    Write(path, std::vector<uint8_t>(text.begin(), text.end()));
}

// A scratch installation with the pack and the files a pack load reads by name.
const std::string& Installation() {
    static std::string dir = [] {
        char path[] = "/tmp/level_benchXXXXXX";
        std::string d = mkdtemp(path);
        std::system(("mkdir -p " + d + "/grids " + d + "/textures").c_str());
        Write(d + "/grids/sample.zpk", BuildPackFile("sample.zpk", SampleLevelFiles(19, true)));
        WriteText(d + "/pattern.dat", SamplePatternDat());
        WriteText(d + "/monster.dat", SampleMonsterDat());
        WriteText(d + "/system.dat", SampleSystemDat());
        for (const PackSource& p : SampleSystemTexturePictures())
            Write(d + "/" + p.name, p.bytes);
        return d;
    }();
    return dir;
}

void ClearAll() {
    ClearWorldObjects();
    ClearThins();
    FreeTriggers();
    ClearLevelDefs();
}

void BM_LoadLevel(benchmark::State& state) {
    if (chdir(Installation().c_str()) != 0)
        state.SkipWithError("no scratch directory");
    RecordingPresent present;
    const std::vector<PackSource> files = SampleLevelFiles(19, false);
    const std::vector<uint8_t>& grid = File(files, "grid.dat");
    const std::vector<uint8_t>& objects = File(files, "objects.dat");
    const std::vector<uint8_t>& misc = File(files, "misc.dat");
    std::string world(File(files, "world.dat").begin(), File(files, "world.dat").end());
    for (auto _ : state) {
        present.calls.clear();
        ClearAll();
        FILE* f = fmemopen(world.data(), world.size(), "rb");
        int ok = LoadLevel(ByteReader(grid.data(), grid.size()), ByteReader(objects.data(), objects.size()),
                           ByteReader(misc.data(), misc.size()), f);
        ForgetConfigStream(f);
        std::fclose(f);
        benchmark::DoNotOptimize(ok);
    }
}
BENCHMARK(BM_LoadLevel)->Unit(benchmark::kMillisecond);

void BM_LoadGridFromPack(benchmark::State& state) {
    if (chdir(Installation().c_str()) != 0)
        state.SkipWithError("no scratch directory");
    RecordingPresent present;
    for (auto _ : state) {
        present.calls.clear();
        benchmark::DoNotOptimize(Vorn::LoadGridFromPack("grids/sample.zpk"));
    }
}
BENCHMARK(BM_LoadGridFromPack)->Unit(benchmark::kMillisecond);

void BM_PackOpen(benchmark::State& state) {
    const std::string path = Installation() + "/grids/sample.zpk";
    for (auto _ : state) {
        PackFile pack;
        benchmark::DoNotOptimize(pack.OpenPackFile(path.c_str(), 1));
    }
}
BENCHMARK(BM_PackOpen)->Unit(benchmark::kMillisecond);

}  // namespace
