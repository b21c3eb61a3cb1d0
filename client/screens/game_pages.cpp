#include "client/screens/game_pages.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "client/arena/game_input.h"
#include "client/arena/local_player.h"
#include "client/arena/spell.h"
#include "client/core/game_values.h"
#include "client/core/level_defs.h"
#include "client/core/numeric.h"
#include "client/net/client_tables.h"
#include "client/net/net_match.h"
#include "client/net/net_rings.h"
#include "client/present/present_services.h"
#include "client/screens/character_rules.h"
#include "client/screens/character_state.h"
#include "client/screens/chat_commands.h"
#include "client/screens/fonts.h"
#include "client/screens/hud_text.h"
#include "client/screens/key_bindings.h"
#include "client/screens/overhead_map.h"
#include "client/screens/screen_surface.h"
#include "common/text.h"

int HelpPageShown = 0;

namespace {

constexpr int kPageFont = 1;
constexpr char kMark[] = "\x7F";

uint16_t* Buffer() { return g_screen.backBuffer; }
// The box of the page being drawn: its texts change nothing outside.
ScreenRect box;
void Text(int x, int y, int colour, const char* text, int font = kPageFont) { DrawClippedText(box, x, y, colour, text, font); }

int mapCallCounter = 0;

// The used spell list of a pick (game value #134 + pick), or null.
const SpellList* PickedList(int pick) {
    if (pick < 0 || pick > 9)
        return nullptr;
    const int number = GetGameValue(134 + pick);
    return number >= 1 && number < kSpellListCount ? &SpellListTable[number] : nullptr;
}

bool NameBefore(const PlayerListRow& a, const PlayerListRow& b) {
    for (size_t i = 0;; ++i) {
        const int x = std::tolower(static_cast<unsigned char>(a.name[i]));
        const int y = std::tolower(static_cast<unsigned char>(b.name[i]));
        if (x != y || !x)
            return x < y;
    }
}

}  // namespace

int BuildPlayerList(PlayerListRow* list) {
    static constexpr int kOrders[4][4] = {{0, 1, 2, 3}, {0, 1, 2, 3}, {0, 2, 3, 1}, {0, 3, 1, 2}};
    const int own = GetGameValue(4);
    const int* order = kOrders[own >= 0 && own < 4 ? own : 0];
    int rows = 0;
    for (int g = 0; g < 4; ++g) {
        const int team = order[g];
        const int header = rows;
        if (rows >= kPlayerRowCapacity)
            break;
        PlayerListRow& h = list[rows++];
        h = PlayerListRow{};
        h.id = -1 - team;
        h.marker = team;
        h.header = 1;
        const int first = rows;
        if (own == team && rows < kPlayerRowCapacity) {
            PlayerListRow& r = list[rows++];
            r = PlayerListRow{};
            CopyText(r.name, CurrentCharacterName());
            r.id = GetGameValue(118);
            r.profession = GetGameValue(114);
            r.level = GetGameValue(0);
            r.marker = g_localPlayer && g_localPlayer->dead ? 6 : team;
            r.link = LastLinkFigures.lossPercent / 10;
        }
        for (int i = 1; i <= PlayerTableTop && i < kPlayerTableSize && rows < kPlayerRowCapacity; ++i) {
            const PlayerTableEntry& p = PlayerTable[i];
            if (p.id == kFreeId || p.team != team)
                continue;
            PlayerListRow& r = list[rows++];
            r = PlayerListRow{};
            CopyText(r.name, FieldText(p.name));
            r.id = p.id;
            r.profession = p.value16;
            r.level = p.value17;
            r.marker = p.dead ? 6 : team;
            r.link = p.ping * 10;
        }
        if (rows == first) {
            rows = header;  // a group without members has no header
            continue;
        }
        std::stable_sort(list + first, list + rows, NameBefore);
    }
    return rows;
}

void DrawGameopsPage() {
    ScreenSurface& s = g_screen;
    if (!Buffer())
        return;
    box = ScreenRect{700, 4, 96, 256};
    s.FillRect16(700, 4, 96, 256, MakePixel16(0, 0, 0));
    static PlayerListRow rows[kPlayerRowCapacity];
    const int count = BuildPlayerList(rows);
    int players = 1, perTeam[4] = {};
    for (int i = 1; i <= PlayerTableTop && i < kPlayerTableSize; ++i)
        if (PlayerTable[i].id != kFreeId) {
            ++players;
            if (PlayerTable[i].team < 4)
                ++perTeam[PlayerTable[i].team];
        }
    const int own = GetGameValue(4);
    if (own >= 0 && own < 4)
        ++perTeam[own];
    char text[48];
    FormatText(text, sizeof text, players == 1 ? "%d Player" : "%d Players", players);
    FitTextToWidth(text, kPageFont, 60);
    Text(702, 4, 4, text);
    const int firstRow = std::clamp(HudListOffset, 0, std::max(count, 0));
    if (firstRow != 0)
        Text(702, 14, 6, "*HOME More*");
    int y = 24, shown = 0, k = firstRow;
    for (; k < count && shown < kPlayerListShown; ++k, ++shown, y += 9) {
        const PlayerListRow& r = rows[k];
        if (r.header) {
            const int team = r.marker;
            if (team == 0)
                CopyText(text, "Gameops");
            else
                FormatText(text, sizeof text, "%s [%d]", TeamNameOf(team), perTeam[team]);
            Text(702, y, team, text);
            continue;
        }
        CopyText(text, r.name);
        FitTextToWidth(text, kPageFont, 60);
        Text(702, y, r.marker, text);
        if (LagDisplayFlag)
            FormatText(text, sizeof text, "%d", r.link);
        else
            FormatText(text, sizeof text, "%d%.3s", r.level, ProfessionName(r.profession));
        Text(764, y, r.marker, text);
    }
    if (k < count)
        Text(702, 24 + kPlayerListShown * 9, 6, "*END More*");
    SetPanelRedrawFlag(kPlayerListPanel, 1);
}

void DrawHelpPage() {
    ScreenSurface& s = g_screen;
    if (!Buffer())
        return;
    box = ScreenRect{538, 8, 92, 300};
    s.CopyFromBackground(538, 8, 92, 300);
    int y = 10;
    auto line = [&](int colour, const char* text) {
        Text(540, y, colour, text);
        y += 10;
    };
    line(6, "HELP");
    line(5, "keyboard");
    for (int n = 0; n <= 20; ++n) {
        const char* name = ActionShortNames[n];
        if (!std::strcmp(name, "AimUp") || !std::strcmp(name, "AimDown") || !std::strcmp(name, "AimCent"))
            continue;
        const int code = KeyBindingTable[n].code;
        char key[12];
        CopyText(key, code > 0 && code < kKeyCodeCount ? std::string_view(KeyNames[code], strnlen(KeyNames[code], 10))
                                                       : std::string_view("UNSET"));
        char text[32];
        FormatText(text, sizeof text, "%.8s %s", name, key);
        line(4, text);
    }
    line(5, "commands");
    line(4, "' to Chat");
    line(4, "Tab to Windows");
    s.QueueDirtyRect(538, 8, 92, 300, 1);
}

void DrawReadiedSpellsPage() {
    ScreenSurface& s = g_screen;
    if (!Buffer())
        return;
    box = ScreenRect{438, 333, 200, 145};
    s.CopyFromBackground(438, 333, 200, 145);
    const int current = GetGameValue(117) + 1;
    for (int n = 1; n <= 40; ++n) {
        const CSpell* spell = GetSpell(GetGameValue(25 + n - 1));
        char text[40];
        if (spell && spell->valid)
            FormatText(text, sizeof text, "%s%d %s", n == current ? kMark : "", n, spell->name);
        else
            FormatText(text, sizeof text, "%s%d <empty>", n == current ? kMark : "", n);
        const int column = (n - 1) / 20, row = (n - 1) % 20;
        FitTextToWidth(text, 0, 98);
        Text(440 + column * 100, 335 + row * 7, n == current ? 1 : 5, text, 0);
    }
    s.DrawRectFrame(438, 333, 200, 145, MakePixel16(255, 255, 255), 1);
    s.QueueDirtyRect(438, 333, 200, 145, 1);
}

void DrawSpellListsPage() {
    ScreenSurface& s = g_screen;
    if (!Buffer())
        return;
    box = ScreenRect{438, 331, 200, 149};
    s.CopyFromBackground(438, 331, 200, 149);
    Text(440, 333, 6, "SPELL LISTS");
    for (int pick = 0; pick < 10; ++pick) {
        const SpellList* list = PickedList(pick);
        if (!list)
            continue;
        const bool selected = pick == HudListIndex;
        char text[48];
        FormatText(text, sizeof text, "%s%s", selected ? kMark : "", list->name);
        const int y = 345 + pick * 13;
        Text(440, y, selected ? 1 : 5, text);
        Text(580, y, selected ? 1 : 5, OrdinalWord(GetGameValue(144 + pick)));
    }
    s.QueueDirtyRect(438, 331, 200, 149, 1);
}

void DrawLevelPage() {
    ScreenSurface& s = g_screen;
    if (!Buffer())
        return;
    const int pick = std::clamp(HudListIndex, 0, 9);
    const int n = std::min(GetGameValue(144 + pick), GetGameValue(0));
    box = ScreenRect{438, 331, 200, 149};
    s.CopyFromBackground(438, 331, 200, 149);
    const SpellList* list = PickedList(pick);
    if (list) {
        char title[40];
        CopyText(title, list->name);
        for (char* p = title; *p; ++p)
            *p = static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
        Text(440, 333, 6, title);
        int row = 0;
        // A list offers 30 levels; higher ones read nothing.
        for (int level = 1; level <= std::min(n, kSpellListLevels) && row < 13; ++level) {
            const CSpell* spell = GetSpell(list->spells[level - 1]);
            if (!spell)
                continue;
            const bool selected = row == HudSpellIndex;
            char text[40];
            FormatText(text, sizeof text, "%s%.17s", selected ? kMark : "", spell->name);
            const int y = 345 + row * 10;
            Text(440, y, selected ? 1 : 5, text);
            Text(590, y, selected ? 1 : 5, OrdinalWord(level));
            ++row;
        }
    }
    s.QueueDirtyRect(438, 331, 200, 149, 1);
}

void DrawTeamsPage() {
    ScreenSurface& s = g_screen;
    if (!Buffer())
        return;
    box = ScreenRect{438, 333, 160, 136};
    s.CopyFromBackground(438, 333, 160, 136);
    Text(440, 335, 6, "TEAMS");
    Text(440, 347, 0, "Shrines");
    char text[48];
    for (int team = 1; team <= 3; ++team) {
        const int y = 347 + team * 12;
        FormatText(text, sizeof text, "%s:", TeamNameOf(team));
        Text(444, y, team, text);
        for (const ShrineDef& nexus : g_level.shrines) {
            if (!nexus.found || nexus.alignment != team)
                continue;
            Text(520, y, 5, nexus.bias >= 100 ? "Undamaged" : nexus.bias > 0 ? "Damaged" : "Destroyed");
            break;
        }
    }
    Text(440, 399, 0, "Pools");
    for (int team = 1; team <= 3; ++team) {
        int owned = 0;
        for (const EarthnodeDef& node : g_level.earthnodes)
            owned += node.found && node.owner == team;
        FormatText(text, sizeof text, "%s pools: %d", TeamNameOf(team), owned);
        Text(444, 399 + team * 12, team, text);
    }
    s.QueueDirtyRect(438, 333, 160, 136, 1);
    SetPanelRedrawFlag(kTeamsPanel, 1);
}

void ShowGamePage(int elapsed, int force) {
    ScreenSurface& s = g_screen;
    if (force)
        s.pageRedraw = 1;
    const bool redraw = s.pageRedraw != 0;
    if (redraw) {
        if (HelpPageShown)
            DrawHelpPage();
        else
            DrawGameopsPage();
    }
    switch (HudListMode) {
        case 2: if (redraw) DrawSpellListsPage(); break;
        case 3: if (redraw) DrawLevelPage(); break;
        case 4:
            // The map blinks: it is drawn again on every second call.
            if (++mapCallCounter % 2 == 0 && g_localPlayer)
                DrawOverheadMap(*g_localPlayer, elapsed);
            break;
        case 5: if (redraw) DrawTeamsPage(); break;
        case 6: if (redraw) DrawReadiedSpellsPage(); break;
        default: break;
    }
    if (redraw && g_linkState == 2)
        DrawLinkStats(600, 315);
    s.pageRedraw = 0;
}
