// The game's start-up: wall time from the program's entry to its first main-menu frame, in a copy
// of the sample installation without the splash screens' keys, headless on the virtual clock (so
// the specified pauses cost nothing). The menu ends after that first frame (the inactivity state
// says so); the clock stops at the shutdown's first pump, and the exit is caught. One start a run: the presentation
// keeps process-wide state that a second start in the same process does not rebuild.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "client/core/screen_state.h"
#include "client/driver/game_entry.h"
#include "platform/win/platform.h"

namespace {

namespace fs = std::filesystem;

struct Exited {
    int code;
};

// The sample installation with the [screens] splash keys taken out.
std::string PrepareInstallation() {
    const fs::path dir = fs::temp_directory_path() / "quorrin_bench_startup";
    fs::remove_all(dir);
    fs::copy(SAMPLE_INSTALL_DIR, dir, fs::copy_options::recursive);
    std::ifstream in(dir / "main.dat");
    std::ostringstream kept;
    for (std::string line; std::getline(in, line);) {
        const bool splash = line.rfind("company", 0) == 0 || line.rfind("logo", 0) == 0;
        if (!splash)
            kept << line << '\n';
    }
    in.close();
    std::ofstream(dir / "main.dat") << kept.str();
    return dir.string();
}

void BM_StartUpToFirstMenuFrame(benchmark::State& state) {
    const std::string dir = PrepareInstallation();
    setenv("GAME_DIR", dir.c_str(), 1);
    setenv("GAME_HEADLESS", "1", 1);
    setenv("GAME_CLOCK", "virtual", 1);
    unsetenv("GAME_INPUT");
    platform::SetExitHandler([](int code) { throw Exited{code}; });
    char program[] = "game";
    char* argv[] = {program, nullptr};
    for (auto _ : state) {
        platform::ResetWindowing();
        g_inactivityState = 2;  // the menu ends after its first frame
        const auto start = std::chrono::steady_clock::now();
        // The shutdown's first pump marks the end of the menu's first frame; the shutdown itself
        // is not start-up and is not counted.
        auto menuShown = start;
        bool seen = false;
        platform::AddMessageSource([&] {
            if (!seen && g_screenState == -4) {
                seen = true;
                menuShown = std::chrono::steady_clock::now();
            }
        });
        try {
            GameEntry(1, argv);
        } catch (const Exited&) {
        }
        if (!seen)
            state.SkipWithError("the menu was never left");
        state.SetIterationTime(std::chrono::duration<double>(menuShown - start).count());
    }
    platform::SetExitHandler(nullptr);
    fs::remove_all(dir);
}
BENCHMARK(BM_StartUpToFirstMenuFrame)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
