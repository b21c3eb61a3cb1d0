// The text pages of the lobby and the HUD, each against FillRect16 of the area it covers in the
// same run: the Tavern with 499 players (target: at most 2 ms a page).

#include <benchmark/benchmark.h>

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "client/core/game_values.h"
#include "client/core/numeric.h"
#include "client/net/client_tables.h"
#include "client/screens/character_state.h"
#include "client/screens/fonts.h"
#include "client/screens/screen_surface.h"
#include "client/screens/tavern_pages.h"
#include "client/screens/tavern_state.h"
#include "tools/writers/chat_art.h"
#include "tools/writers/font_writer.h"

namespace {

std::vector<uint16_t>& Back() {
    static std::vector<uint16_t> back(kScreenPixels);
    g_screen.backBuffer = back.data();
    return back;
}

// The sample installation's fonts and chat art, read from a scratch directory.
void LoadSampleArt() {
    static const bool done = [] {
        char dir[] = "/tmp/bench_hudXXXXXX";
        if (!mkdtemp(dir))
            return false;
        const std::string root = dir;
        mkdir((root + "/fonts").c_str(), 0755);
        std::ofstream(root + "/main.dat") << "[main]\n" << SampleFontsSection();
        for (const FontFile& f : SampleFontFiles())
            std::ofstream(root + "/fonts/" + f.name, std::ios::binary)
                .write(reinterpret_cast<const char*>(f.bytes.data()), static_cast<std::streamsize>(f.bytes.size()));
        const std::string fonts = root + "/fonts";
        LoadFonts((root + "/main.dat").c_str(), fonts.c_str());
        const int slots[] = {SCREEN_IMAGE_CHATTMS, SCREEN_IMAGE_CHATBTNS, SCREEN_IMAGE_CHATTABS, SCREEN_IMAGE_ARRWBTNS};
        const std::vector<ArtFile> art = ChatArtFiles();
        for (size_t i = 0; i < art.size() && i < 4; ++i) {
            ByteReader r(art[i].bytes.data(), art[i].bytes.size());
            g_screen.Screen(slots[i]).ReadPcx(r, PCX_HEAP, 1);
            g_screen.Screen(slots[i]).ConvertPcxToHicolor(kChannels565);
        }
        return true;
    }();
    (void)done;
}

// 499 players in the parlor, at tables and in four arenas; the player an operator at sysop 3.
void FillLobby() {
    ClearPlayerTable();
    ResetArenaList();
    ResetTavernState();
    const char* arenas[] = {"Crossroads", "Catacombs", "Spire", "Pit"};
    for (int a = 1; a <= 4; ++a) {
        UpdateArenaTable(a, a == 1, arenas[a - 1], "grid00", "Hale", "");
        ArenaEntry& e = ArenaTable[a];
        e.initialised = 1;
        e.match.level_range = static_cast<uint8_t>(a * 4);
        e.match.max_players = 200;
        e.match.start_time = 100;
        e.match.time = 4000;
    }
    UpdateTableTable(60, 0, "Den", "ash");
    UpdateTableTable(61, 1, "Vault", "Bryn");
    const int places[] = {255, 60, 61, 1, 2, 3, 101};
    for (int id = 1; id <= 499; ++id) {
        char name[12];
        snprintf(name, sizeof name, "%c%s%d", 'a' + id % 26, id % 2 ? "ren" : "Ash", id);
        const int i = UpdatePlayerTable(id + 10, places[id % 7], 1 + id % 3, name);
        PlayerTable[i].value16 = static_cast<uint16_t>(id % 4);
        PlayerTable[i].value17 = static_cast<uint16_t>(1 + id % 30);
        PlayerTable[i].flags = id % 50 == 0 ? 1 : 0;
    }
    SetGameValue(0, 12);
    SetGameValue(3, 3);
    SetGameValue(118, 7);
    SetGameValue(120, 1);
    std::snprintf(g_currentCharacter.name, sizeof g_currentCharacter.name, "Thorn");
    SwapOddNibbles(g_currentCharacter.name);
}

void BM_DrawTavernPage499(benchmark::State& state) {
    Back();
    LoadSampleArt();
    FillLobby();
    g_tavern.page = static_cast<int>(state.range(0));
    g_tavern.selectedArena = 1;
    for (auto _ : state) {
        DrawTavernPage();
        benchmark::DoNotOptimize(g_screen.backBuffer[12345]);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_DrawTavernPage499)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMicrosecond);

// The same area the page covers: the player column, the page and the tabs.
void BM_FillRect16TavernArea(benchmark::State& state) {
    Back();
    for (auto _ : state) {
        g_screen.FillRect16(0, 0, 210, 600, 0x1234);
        g_screen.FillRect16(210, 0, 502, 380, 0x1234);
        g_screen.FillRect16(712, 0, 88, 600, 0x1234);
        benchmark::DoNotOptimize(g_screen.backBuffer[12345]);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_FillRect16TavernArea)->Unit(benchmark::kMicrosecond);

}  // namespace
