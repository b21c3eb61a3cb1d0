// How long the update's own work takes: parsing the largest file list (2500 entries, each
// looked up in the installation) and one 4 MiB file through the transfer loop, inflation and the
// write beside its place.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/win/platform.h"
#include "tests/support/temp_dir.h"
#include "tests/support/update_server.h"
#include "updater/lib/file_list.h"
#include "updater/lib/update_files.h"
#include "updater/lib/update_state.h"

namespace {

void BM_ParseFileList2500(benchmark::State& state) {
    TempDir dir;
    dir.Enter();
    std::vector<std::string> lines;
    for (int i = 0; i < 2500; ++i) {
        std::string name = "Data/Dir" + std::to_string(i % 25) + "/File" + std::to_string(i) + ".dat";
        if (i % 2 == 0)
            dir.Write("data/dir" + std::to_string(i % 25) + "/file" + std::to_string(i) + ".dat", "x");
        lines.push_back(EntryLine(1, 9, 946684800, name));
    }
    std::string text = FileListText(lines);
    for (auto _ : state) {
        FILE* f = fmemopen(text.data(), text.size(), "rb");
        FileList list;
        benchmark::DoNotOptimize(ParseFileListStream(f, &list));
        std::fclose(f);
    }
    state.SetItemsProcessed(state.iterations() * 2500);
}
BENCHMARK(BM_ParseFileList2500)->Unit(benchmark::kMillisecond);

void BM_DownloadAndInflate4MiB(benchmark::State& state) {
    platform::InitWindowing(platform::Backend::Headless);
    TempDir dir;
    dir.Enter();
    std::string content;
    uint32_t seed = 7;
    while (content.size() < 4u << 20) {
        seed = seed * 1103515245u + 12345u;
        content += (seed >> 16) % 3 ? "spell data line " + std::to_string(seed) + "\n" : std::string(1, char(seed >> 8));
    }
    HttpTestServer http;
    UpdateServers servers(http);
    servers.ServeFiles("product", {{"data/big.dat", content, 946684800}});
    std::string packed = Deflate(content);
    FileListEntry e{};
    std::snprintf(e.name, sizeof e.name, "data/big.dat");
    e.size = static_cast<uint32_t>(content.size());
    e.packedSize = static_cast<uint32_t>(packed.size());
    e.time = 946684800;
    InternetSession = InternetOpenA("bench", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    std::string url = "http://" + servers.Name("product") + "/data/big.dat";
    for (auto _ : state) {
        if (!DownloadAndInflateFile(url.c_str(), e.name, e, nullptr))
            state.SkipWithError("download failed");
    }
    ResetUpdaterState();
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(content.size()));
    state.counters["packed_bytes"] = static_cast<double>(packed.size());
}
BENCHMARK(BM_DownloadAndInflate4MiB)->Unit(benchmark::kMillisecond);

}  // namespace
