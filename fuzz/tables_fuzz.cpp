// The four client tables, the Tavern state and the player's values from any bytes (as a service
// could leave them), then every Tavern page drawn and a run of Tavern input frames with any
// clicks, double clicks and keys; then the rest of the input as chat text, printed from every
// kind of source, typed in the Tavern and the arena, and the in-game pages and score screens
// drawn over the same tables. The back buffer has guard zones on both sides.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "client/arena/game_input.h"
#include "client/arena/local_player.h"
#include "client/arena/player_control.h"
#include "client/core/game_values.h"
#include "client/core/screen_state.h"
#include "client/level/level_textures.h"
#include "client/net/client_tables.h"
#include "client/net/net_rings.h"
#include "client/net/socket_settings.h"
#include "client/screens/character_state.h"
#include "client/screens/chat_buffer.h"
#include "client/screens/chat_commands.h"
#include "client/screens/chat_input.h"
#include "client/screens/fonts.h"
#include "client/screens/game_pages.h"
#include "client/screens/hud_text.h"
#include "client/screens/input.h"
#include "client/screens/score_screen.h"
#include "client/screens/screen_surface.h"
#include "client/screens/tavern_input.h"
#include "client/screens/tavern_pages.h"
#include "client/screens/tavern_state.h"
#include "common/text.h"
#include "fuzz/guard_zones.h"
#include "fuzz/scratch_dir.h"
#include "tests/support/recording_present.h"
#include "tools/writers/font_writer.h"

namespace {

struct Input {
    const uint8_t* data;
    size_t size, at = 0;
    // Fills n bytes from the input, zeros once it runs out.
    void Take(void* out, size_t n) {
        const size_t k = std::min(n, size - at);
        std::memcpy(out, data + at, k);
        std::memset(static_cast<uint8_t*>(out) + k, 0, n - k);
        at += k;
    }
    int32_t Int() {
        int32_t v;
        Take(&v, sizeof v);
        return v;
    }
    uint8_t Byte() {
        uint8_t v;
        Take(&v, 1);
        return v;
    }
};

void LoadSampleFonts() {
    ScratchDirectory scratch("/tmp/tables_fuzzXXXXXX", "fonts");
    std::ofstream("main.dat") << "[main]\n" << SampleFontsSection();
    for (const FontFile& f : SampleFontFiles())
        std::ofstream("fonts/" + f.name, std::ios::binary).write(reinterpret_cast<const char*>(f.bytes.data()),
                                                                   static_cast<std::streamsize>(f.bytes.size()));
    LoadFonts("main.dat", "fonts");
}

void Check(bool ok) {
    if (!ok)
        std::abort();
}

void CheckConsole() {
    Check(ChatBuffer.write >= 0 && ChatBuffer.write < kChatLines);
    Check(ChatBuffer.start >= 0 && ChatBuffer.start < kChatLines);
    for (const ChatLine& l : ChatBuffer.lines) {
        Check(std::memchr(l.text, 0, sizeof l.text) != nullptr);
        Check(std::memchr(l.tag, 0, sizeof l.tag) != nullptr);
    }
}

// The rest of the input as chat lines: printed from every kind of source with both private
// flags, typed (commands only split and looked up: they write files and act on the world), then
// the in-game pages and the score screens over the same tables.
void ChatAndPages(Input& in) {
    LocalPlayer player{};
    g_localPlayer = &player;
    std::memcpy(SavedPlayerTable, PlayerTable, sizeof SavedPlayerTable);
    const uint8_t flags = in.Byte();
    if (flags & 1)
        in.Take(HighScoreLists, sizeof HighScoreLists);
    LagDisplayFlag = (flags >> 1) & 1;
    HudListMode = flags >> 2 & 7;
    HudListOffset = in.Byte() * 2;
    std::string text(reinterpret_cast<const char*>(in.data + std::min(in.at, in.size)), in.size - std::min(in.at, in.size));
    size_t at = 0;
    for (int round = 1; at <= text.size() && round <= 16; ++round) {
        size_t end = std::min(text.find('\n', at), text.size());
        const std::string line = text.substr(at, end - at);
        at = end + 1;
        g_screenState = round % 2 ? 1 : 2;
        const int source = round % 3 == 0 ? -(round % 7) : (line.empty() ? 0 : static_cast<uint8_t>(line[0])) | round << 8;
        PrintMessage(source, line.c_str(), round % 8, round % 3 == 1 ? kMessageTo : round % 3 == 2 ? kMessageFrom : 0);
        if (!line.empty() && line[0] != '*') {
            CopyText(g_typedLine.text, line);
            g_typedLine.length = static_cast<int>(std::strlen(g_typedLine.text));
            g_typedLine.complete = 1;
            PrivateChatMode = round % 4 == 0;
            player.mode = round % 5 == 0 ? 6 : 0;
            DoChatInput(&player);
            ResetSendRing();
        } else {
            char words[kCommandWords][kCommandWordSize];
            SplitCommandWords(line.c_str(), words);
            const int found = FindPlayerByName(words[1]);
            Check(found >= 0 && found <= kNoPlayer);
        }
        CheckConsole();
    }
    PrivateChatMode = 0;
    static PlayerListRow rows[kPlayerRowCapacity];
    const int count = BuildPlayerList(rows);
    Check(count >= 0 && count <= kPlayerRowCapacity);
    g_screenState = 1;
    DrawGameopsPage();
    DrawChatBuffer(0);
    DrawMatchClock();
    DrawExperienceLine();
    DrawTargetLine();
    DrawTeamsPage();
    DrawReadiedSpellsPage();
    DrawSpellListsPage();
    DrawLevelPage();
    int ranked[10];
    Check(RankSavedPlayers(ranked, 10) <= 10);
    DrawScoreScreen();
    DrawHighScores();
    g_localPlayer = nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool fonts = [] {
        LoadSampleFonts();
        return true;
    }();
    (void)fonts;
    // Console lines and pages mark their HUD panels.
    static RecordingPresent* present = [] {
        auto* p = new RecordingPresent;
        p->record = false;
        return p;
    }();
    (void)present;
    static std::vector<uint16_t> buffer(kScreenPixels + 2 * kGuard);
    std::fill(buffer.begin(), buffer.end(), kGuardValue);
    g_screen.backBuffer = buffer.data() + kGuard;

    Input in{data, size};
    // The player and the Tavern.
    for (int n : {0, 3, 4, 114, 118, 120})
        SetGameValue(n, in.Int());
    in.Take(g_currentCharacter.name, sizeof g_currentCharacter.name);
    in.Take(&g_tavern, sizeof g_tavern);
    // The four tables, as many entries as the input holds; the rest stays free.
    ClearPlayerTable();
    ResetArenaList();
    const int players = in.Byte() % 64;
    for (int i = 0; i < players; ++i)
        in.Take(&PlayerTable[1 + (in.Byte() % (kPlayerTableSize - 1))], sizeof(PlayerTableEntry));
    PlayerTableTop = std::clamp(static_cast<int>(static_cast<int16_t>(in.Int())), -1, kPlayerTableSize - 1);
    for (ArenaEntry& a : ArenaTable)
        if (in.Byte() & 1)
            in.Take(&a, sizeof a);
    for (LobbyTableEntry& t : LobbyTableList)
        if (in.Byte() & 1)
            in.Take(&t, sizeof t);
    for (int i = 0; i < 4; ++i)
        in.Take(&FireteamList[in.Byte() % kFireteamTableSize], sizeof(FireteamEntry));
    g_arenaCount = in.Byte() % (kMaxArenas + 1);
    for (int i = 0; i < g_arenaCount; ++i)
        in.Take(&g_arenaList[i], sizeof g_arenaList[i]);

    for (int page = 1; page <= 6; ++page) {
        g_tavern.page = page;
        DrawTavernPage();
    }
    CheckGuards(buffer);

    // Input frames: a click and a double click on any region, any keys.
    g_linkState = 2;
    ConnectionType = CONNECTION_SINGLE;
    g_localPlayer = nullptr;
    ResetSendRing();
    ClearChatBuffer();
    ChatScreenRecord screen;
    for (int frame = 0; frame < 8 && in.at < in.size; ++frame) {
        g_mouse.lastClick = RegionEvent{in.Byte() % 24, in.Byte() % 24, 0, 0, 0};
        g_mouse.lastDoubleClick = RegionEvent{static_cast<int8_t>(in.Byte()), REGION_ROWS, 2, 0, 0};
        PlayerControl control{};
        const uint8_t keys = in.Byte();
        int32_t* field[] = {&control.arrows[0], &control.arrows[1], &control.arrows[2], &control.arrows[3],
                            &control.arrows[4], &control.home,      &control.end,       &control.page_up};
        for (int k = 0; k < 8; ++k)
            *field[k] = (keys >> k) & 1;
        control.function_key = in.Byte() % 13;
        screen.modal = in.Byte() & 1;
        FrameClock += static_cast<uint32_t>(in.Int());
        TavernInput(screen, control);
        DrawTavernPage();
        CheckGuards(buffer);
    }
    ChatAndPages(in);
    CheckGuards(buffer);
    g_linkState = 1;
    ResetSendRing();
    g_screen.backBuffer = nullptr;
    return 0;
}
