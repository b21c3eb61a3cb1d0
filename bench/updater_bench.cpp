// How long the update's own work takes: parsing the largest file list (2500 entries, each
// looked up in the installation), one 4 MiB file through the transfer loop, inflation and the
// write beside its place, and eight 16 MiB files that do not compress fetched with the dialog up,
// side by side with the curl program fetching the same eight files into the same directory.

#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/dialog/dialog.h"
#include "platform/win/platform.h"
#include "tests/support/temp_dir.h"
#include "tests/support/update_server.h"
#include "updater/lib/file_list.h"
#include "updater/lib/update_files.h"
#include "updater/lib/update_state.h"
#include "updater/lib/update_utility.h"

extern char** environ;

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

// Eight files of random bytes on one update server, made once for every repetition (deflating
// 128 MiB takes seconds).
struct EightFiles {
    static constexpr int kFiles = 8;
    static constexpr size_t kBytes = 16u << 20;

    EightFiles() {
        std::vector<ServedFile> files;
        uint64_t x = 0x9E3779B97F4A7C15u;
        for (int i = 0; i < kFiles; ++i) {
            std::string content(kBytes, '\0');
            for (size_t j = 0; j < kBytes; j += 8) {
                x ^= x << 13;
                x ^= x >> 7;
                x ^= x << 17;
                std::memcpy(&content[j], &x, 8);
            }
            files.push_back({"data/big" + std::to_string(i) + ".dat", std::move(content), 946684800});
        }
        servers.ServeFiles("product", files);
        for (const ServedFile& f : files) {
            names.push_back(f.name);
            urls.push_back("http://" + http.HostPort() + servers.FilePath("product", f.name));
        }
    }

    // Removes what the last fetch wrote.
    void Clear() const {
        for (const std::string& n : names)
            std::filesystem::remove(n);
    }

    HttpTestServer http;
    UpdateServers servers{http};
    std::vector<std::string> names;
    std::vector<std::string> urls;
};

EightFiles& Eight() {
    static EightFiles files;
    return files;
}

// The updater's download pass with its dialog up, as spell runs it: the list parsed against the
// installation, then every needed file fetched, inflated and written.
class UpdaterPass {
public:
    explicit UpdaterPass(const EightFiles& eight) : server_(eight.servers.Name("product")) {
        platform::InitWindowing(platform::Backend::Headless);
        platform::SetDialogOutputSink([](const char*) {});
        InternetSession = InternetOpenA("bench", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
        UpdateDialogWindow = CreateDialogIndirectParam(nullptr, &UpdateDialog, nullptr, UpdateDlgProc, 0);
        InitDialogTexts();
        HINTERNET r = InternetOpenUrlA(InternetSession, ("http://" + server_ + "/zandfix.dat").c_str(), nullptr, 0, 0, 0);
        char buf[4096];
        DWORD got = 0;
        while (r && InternetReadFile(r, buf, sizeof buf, &got) && got > 0)
            list_.append(buf, got);
        InternetCloseHandle(r);
    }

    ~UpdaterPass() {
        ResetUpdaterState();
        MSG msg;  // the quit message of the dialog just destroyed, which would end the next pass
        while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
        platform::SetDialogOutputSink(nullptr);
    }

    bool Run() {
        FILE* f = fmemopen(list_.data(), list_.size(), "rb");
        const bool parsed = ParseFileListStream(f, &CurrentFileList);
        std::fclose(f);
        int count = 0;
        return parsed && DownloadMarkedFiles(server_.c_str(), &count) && count == EightFiles::kFiles;
    }

private:
    std::string server_;
    std::string list_;
};

// The curl program fetching the same files one after the other into the same places.
class CurlPass {
public:
    explicit CurlPass(const EightFiles& eight) {
        args_ = {"curl", "--silent", "--show-error", "--fail", "--noproxy", "*"};
        for (size_t i = 0; i < eight.urls.size(); ++i) {
            args_.push_back("--output");
            args_.push_back(eight.names[i]);
            args_.push_back(eight.urls[i]);
        }
        for (std::string& a : args_)
            argv_.push_back(a.data());
        argv_.push_back(nullptr);
    }

    bool Run() {
        pid_t pid = 0;
        int status = 0;
        return ::posix_spawnp(&pid, "curl", nullptr, nullptr, argv_.data(), environ) == 0 &&
               ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

private:
    std::vector<std::string> args_;
    std::vector<char*> argv_;
};

double Seconds(const std::function<bool()>& run, bool* ok) {
    const auto start = std::chrono::steady_clock::now();
    *ok = run() && *ok;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The updater and the curl program take turns on the same eight files, so both see the same
// machine; the time is the updater's, and the counters give both rates and their ratio (the
// updater's rate over curl's).
void BM_EightFiles16MiB_UpdaterBesideCurl(benchmark::State& state) {
    EightFiles& eight = Eight();
    TempDir dir;
    dir.Enter();
    std::filesystem::create_directories("data");
    UpdaterPass updater(eight);
    CurlPass curl(eight);
    bool ok = true;
    // One untimed turn each: the first pass pays for the server's and the file system's warm-up.
    eight.Clear();
    Seconds([&] { return updater.Run(); }, &ok);
    eight.Clear();
    Seconds([&] { return curl.Run(); }, &ok);
    double updaterSeconds = 0, curlSeconds = 0;
    for (auto _ : state) {
        eight.Clear();
        const double u = Seconds([&] { return updater.Run(); }, &ok);
        eight.Clear();
        const double c = Seconds([&] { return curl.Run(); }, &ok);
        state.SetIterationTime(u);
        updaterSeconds += u;
        curlSeconds += c;
    }
    eight.Clear();
    if (!ok)
        state.SkipWithError("a pass failed (is the curl program installed?)");
    const double bytes = static_cast<double>(state.iterations()) * EightFiles::kFiles * EightFiles::kBytes;
    state.counters["updater_MBps"] = bytes / updaterSeconds / 1e6;
    state.counters["curl_MBps"] = bytes / curlSeconds / 1e6;
    state.counters["ratio"] = curlSeconds / updaterSeconds;
}
BENCHMARK(BM_EightFiles16MiB_UpdaterBesideCurl)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

}  // namespace
