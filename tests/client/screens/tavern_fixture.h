#pragma once
// The Tavern on a started screen: the chat art loaded, the sample's text colours 0 to 6, the player
// "Thorn" (id 7, level 5, a Runemage) in the main Tavern, three arenas in the arena list, and the
// busy lobby of the scripted service dispatched into the client tables as its frames arrive.

#include <cstring>
#include <string>
#include <vector>

#include "client/arena/player_control.h"
#include "client/core/game_values.h"
#include "client/core/numeric.h"
#include "client/core/screen_state.h"
#include "client/level/level_textures.h"
#include "client/net/client_tables.h"
#include "client/net/net_dispatch.h"
#include "client/screens/character_state.h"
#include "client/screens/chat_buffer.h"
#include "client/screens/color_tables.h"
#include "client/screens/fonts.h"
#include "client/screens/input.h"
#include "client/screens/screen_art.h"
#include "client/screens/tavern_input.h"
#include "client/screens/tavern_pages.h"
#include "client/screens/tavern_state.h"
#include "tests/client/screens/screen_fixture.h"
#include "tests/support/lobby_script.h"
#include "tools/writers/chat_art.h"
#include "tools/writers/color_table_writer.h"

class TavernFixture : public ScreenFixture {
protected:
    void SetUp() override {
        ScreenFixture::SetUp();
        StartScreen();
        for (const ArtFile& f : ChatArtFiles())
            dir->Write(f.name, std::string(f.bytes.begin(), f.bytes.end()));
        LoadChatArt();
        // The installation's text colours over the fixture's grey palette.
        const Palette sample = SamplePalette();
        for (int i = 0; i < kSampleTextColours; ++i) {
            const uint16_t p = MakePixel16(sample[3 * i], sample[3 * i + 1], sample[3 * i + 2]);
            GetLightTable(0)->rows[32][i] = p | (static_cast<uint32_t>(p) << 16);
        }
        ResetGameValues();
        ClearPlayerTable();
        ResetArenaList();
        ResetTavernState();
        ClearChatBuffer();
        g_debugLevel = 0;
        SetGameValue(0, 5);
        SetGameValue(114, 1);
        SetGameValue(118, 7);
        std::memset(g_currentCharacter.name, 0, sizeof g_currentCharacter.name);
        std::strcpy(g_currentCharacter.name, "Thorn");
        SwapOddNibbles(g_currentCharacter.name);
        const char* arenas[] = {"Crossroads", "Catacombs", "Spire"};
        g_arenaCount = 3;
        for (int i = 0; i < 3; ++i) {
            g_arenaList[i] = ArenaListEntry{};
            g_arenaList[i].used = 1;
            g_arenaList[i].number = 11 + i;
            std::strcpy(g_arenaList[i].name, arenas[i]);
        }
        g_screenState = 2;
        FrameClock = 0;
    }
    void TearDown() override {
        g_screenState = 0;
        g_arenaCount = 0;
        ClearPlayerTable();
        ResetArenaList();
        ResetTavernState();
        ScreenFixture::TearDown();
    }

    // The frames as the network takes them in the chat screen.
    void Receive(const std::vector<LobbyFrame>& frames) {
        for (const LobbyFrame& f : frames) {
            std::vector<uint8_t> body = f.second;
            DispatchPacket(f.first, 0xFFFF, 0, body.data(), static_cast<int>(body.size()), nullptr);
        }
    }
    void FillLobby() { Receive(LobbyFrames()); }
    static int ArenaIndex(int id) { return FindArenaById(id); }

    // One frame of lobby input after a click (or double click) at x, y.
    void ClickAt(int x, int y, bool twice = false) {
        HitTestClickRegions(x, y, 0);
        if (twice)
            HitTestClickRegions(x, y, 2);
        Frame();
    }
    void Frame(PlayerControl control = PlayerControl{}) { TavernInput(screen, control); }

    // The back buffer shows the text as it is drawn alone: every glyph pixel in its colour.
    static bool ShowsText(int x, int y, int colour, const char* text, int font) {
        static std::vector<uint16_t> alone;
        alone.assign(kScreenPixels, 0);
        DrawText(x, y, colour, text, 0, alone.data(), font, 0);
        int lit = 0;
        for (int i = 0; i < kScreenPixels; ++i) {
            if (!alone[i])
                continue;
            ++lit;
            if (g_screen.backBuffer[i] != alone[i])
                return false;
        }
        return lit > 0;
    }
    static bool ConsoleHas(const std::string& text) {
        for (const ChatLine& l : ChatBuffer.lines)
            if (text == l.text)
                return true;
        return false;
    }
    // The last console line's text.
    static std::string LastLine() {
        return ChatBuffer.lines[(ChatBuffer.write + kChatLines - 1) % kChatLines].text;
    }

    ChatScreenRecord screen;
};
