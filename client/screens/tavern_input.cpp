#include "client/screens/tavern_input.h"

#include <algorithm>
#include <cstring>

#include "client/arena/game_input.h"
#include "client/arena/local_player.h"
#include "client/arena/player_control.h"
#include "client/core/game_values.h"
#include "client/core/screen_state.h"
#include "client/core/sound.h"
#include "client/level/level_textures.h"
#include "client/net/client_tables.h"
#include "client/net/net_handshake.h"
#include "client/net/net_lobby.h"
#include "client/screens/character_file.h"
#include "client/screens/character_state.h"
#include "client/screens/chat_buffer.h"
#include "client/screens/chat_input.h"
#include "client/screens/input.h"
#include "client/screens/tavern_pages.h"
#include "client/screens/tavern_state.h"
#include "common/text.h"

namespace {

constexpr int kMatchType = 1;
constexpr int kDebugColour = 44;
constexpr int kListRows = 20;

void Say(const char* text) { PrintMessage(MSG_SYSTEM, text, 0, 2); }
void Click() { PlayGameSound(0, 0, 0); }
int Level() { return GetGameValue(0); }

// ---- Regions ------------------------------------------------------------------------------------

constexpr int kPageGroups[] = {REGION_ROWS,     REGION_BUTTON_13, REGION_BUTTON_14, REGION_BUTTON_15,
                               REGION_BUTTON_16, REGION_TEAMS,     REGION_BACK,      REGION_RANGES};

void Rows(int count, int x, int y, int step, int w, int h, int group) {
    for (int n = 0; n < count; ++n)
        AddClickRegion(x, y + step * n, w, h, n, group);
}

void PageButton(int x, int group) { AddClickRegion(x, 330, 70, 32, 0, group); }

// ---- Lists --------------------------------------------------------------------------------------

// The entry drawn in row n of the arena list (every used arena), -1 when none.
int ArenaOfRow(int n) {
    for (int a = 0; a < kArenaTableSize; ++a)
        if (IsArenaEntryUsed(a) && n-- == 0)
            return a;
    return -1;
}

int TableOfRow(int n) {
    for (int t = 0; t < kLobbyTableSize; ++t)
        if (IsTableEntryUsed(t) && n-- == 0)
            return t;
    return -1;
}

// The next entry after from (step +1 or -1, wrapping) that passes allowed; from when none does.
template <typename Allowed>
int Step(int from, int size, int step, Allowed allowed) {
    from = std::clamp(from, 0, size - 1);
    for (int k = 1; k <= size; ++k) {
        const int n = ((from + step * k) % size + size) % size;
        if (allowed(n))
            return n;
    }
    return from;
}

// The chosen team when an arena's page opens: 1, or the player's own team when it is open.
int FirstTeam(int arena) {
    if (!ArenaTable[arena].arena_type)
        return 0;
    const int own = GetGameValue(4);
    return IsTeamOpen(arena, own) ? own : 1;
}

void OpenArenaPage(int arena) {
    g_tavern.selectedArena = arena;
    g_tavern.chosenTeam = FirstTeam(arena);
    Click();
    SetTavernPage(2);
}

void SelectArenaRow(int row, bool open) {
    const int arena = ArenaOfRow(row);
    if (arena < 0 || !CanSelectArena(arena))
        return;
    g_tavern.selectedArena = arena;
    if (open)
        OpenArenaPage(arena);
}

// The refusal of an arena the player may not enter; null when it may be entered.
const char* EntryRefusal(int arena) {
    if (CanEnterArena(arena))
        return nullptr;
    if (IsArenaFull(arena))
        return "This arena is full!";
    if (IsBelowArenaRange(arena))
        return "You are not high enough level to enter this arena!";
    return "You are not low enough level to enter this arena!";
}

void EnterArena(ChatScreenRecord& screen, int arena) {
    g_tavern.place = ArenaTable[arena].id;
    CurrentArena = arena;
    screen.enterArena = 1;
    screen.enterPort = ArenaTable[arena].id;
}

// Button 13 of the arena page: the character is read again, then the rules and the team.
void TryEnterArena(ChatScreenRecord& screen) {
    const int arena = g_tavern.selectedArena;
    if (!IsArenaEntryUsed(arena))
        return;
    if (g_localPlayer)
        LoadCharacterFile(*g_localPlayer, g_currentSlot);
    if (const char* refusal = EntryRefusal(arena)) {
        Say(refusal);
        return;
    }
    const int team = g_tavern.chosenTeam;
    if (SysopLevel() == 0 && team >= 1 && team <= 3 && IsNexusDestroyed(arena, team)) {
        char text[80];
        FormatText(text, sizeof text, "The %s Nexus is destroyed.  Please choose another team.", TeamName(team));
        Say(text);
        return;
    }
    EnterArena(screen, arena);
}

void StartMatch() {
    Click();
    SetTavernPage(1);
    if (SysopLevel() < 3 && (CountMyArenas() > 0 || g_tavern.pendingStart > 0)) {
        Say("You have already started a match!");
        return;
    }
    const int entry = g_tavern.selectedEntry;
    const int which = entry >= 0 && entry < kMaxArenas ? g_arenaList[entry].number : 0;
    const int own = OwnPrivateTableIndex();
    if (own > 0) {
        SendNewArena(which, g_tavern.levelRange, kMatchType, LobbyTableList[own].id);
        Say("Starting new private match...");
    } else {
        SendNewArena(which, g_tavern.levelRange, kMatchType, 0);
        Say("Starting new match...");
    }
    g_tavern.pendingStart = kPendingStartMs;
}

void StartTable(int type) {
    if (SysopLevel() < 3 && CountMyTables() > 0) {
        Say("You have already started a table!");
        return;
    }
    SendNewTable(type);
    Say("Starting new table...");
}

void OpenStartPage() {
    if (!CanStartArena())
        return;
    Click();
    g_tavern.selectedEntry = 0;
    g_tavern.levelRange = LevelRangeChoice(Level(), 0);
    SetTavernPage(4);
}

// ---- Clicks -------------------------------------------------------------------------------------

void RowClick(int row) {
    switch (g_tavern.page) {
        case 1: SelectArenaRow(row, false); break;
        case 3: {
            const int table = TableOfRow(row);
            if (table >= 0 && CanSitAtTable(table))
                g_tavern.selectedTable = table;
            break;
        }
        case 4:
            if (row >= 0 && row < g_arenaCount)
                g_tavern.selectedEntry = row;
            break;
        case 6:
            if (row == 0 || row == 1)
                g_tavern.tableType = row;
            break;
        default: break;
    }
}

void RowDoubleClick(int row) {
    switch (g_tavern.page) {
        case 1: SelectArenaRow(row, true); break;
        case 3: {
            const int table = TableOfRow(row);
            if (table < 0)
                return;
            g_tavern.selectedTable = table;
            if (SitAtTable(table))
                SetTavernPage(5);
            break;
        }
        case 4:
            if (row >= 0 && row < g_arenaCount) {
                g_tavern.selectedEntry = row;
                StartMatch();
            }
            break;
        case 6:
            if (row == 0 || row == 1) {
                g_tavern.tableType = row;
                SetTavernPage(3);
                StartTable(row);
            }
            break;
        default: break;
    }
}

void ButtonClick(ChatScreenRecord& screen, int group, int id) {
    const int page = g_tavern.page;
    switch (group) {
        case REGION_TABS:
            if (id == 1) {
                SetTavernPage(1);
            } else if (id == 3) {
                const int own = OwnTableIndex();
                if (own >= 0)
                    g_tavern.selectedTable = own;
                SetTavernPage(own >= 0 ? 5 : 3);
            }
            break;
        case REGION_EXIT: screen.leave = 1; break;
        case REGION_ROWS: RowClick(id); break;
        case REGION_BUTTON_13:
            if (page == 3) {
                SitAtTable(g_tavern.selectedTable);
                SetTavernPage(5);
            } else if (page == 5) {
                SitAtTable(g_tavern.selectedTable);
            } else if (page == 2) {
                TryEnterArena(screen);
            }
            break;
        case REGION_BUTTON_14:
            if (page == 1) {
                OpenStartPage();
            } else if (page == 4) {
                StartMatch();
            } else if (page == 3) {
                if (CanStartTable()) {
                    Say("Starting new table.");
                    SendNewTable(0);
                }
            } else if (page == 6) {
                Click();
                SetTavernPage(3);
                StartTable(g_tavern.tableType);
            }
            break;
        case REGION_BUTTON_15:
            if (page == 1 && CanClaimArena(g_tavern.selectedArena))
                SendSelectArena(ArenaTable[g_tavern.selectedArena].id);
            else if (page == 3 && CanClaimTable(g_tavern.selectedTable))
                SendSelectTable(LobbyTableList[g_tavern.selectedTable].id);
            break;
        case REGION_BUTTON_16:
            if (page == 1 && CanSelectArena(g_tavern.selectedArena)) {
                OpenArenaPage(g_tavern.selectedArena);
            } else if (page == 3 && IsTableEntryUsed(g_tavern.selectedTable)) {
                Click();
                SetTavernPage(5);
            }
            break;
        case REGION_TEAMS:
            if (page == 2 && IsArenaEntryUsed(g_tavern.selectedArena) && ArenaTable[g_tavern.selectedArena].arena_type &&
                IsTeamOpen(g_tavern.selectedArena, id)) {
                g_tavern.chosenTeam = id;
                Click();
            }
            break;
        case REGION_BACK:
            if (page == 2 || page == 4)
                SetTavernPage(1);
            else if (page == 6)
                SetTavernPage(3);
            else if (page == 5 && SitAtTable(0))
                SetTavernPage(3);
            break;
        case REGION_RANGES:
            if (page == 4 && id >= 0 && id < kLevelRangeChoices)
                g_tavern.levelRange = LevelRangeChoice(Level(), id);
            break;
        default: break;
    }
}

// ---- Keys ---------------------------------------------------------------------------------------

void StepSelection(int step) {
    switch (g_tavern.page) {
        case 1: g_tavern.selectedArena = step > 0 ? NextSelectableArena() : PrevSelectableArena(); break;
        case 2: {
            const int arena = g_tavern.selectedArena;
            g_tavern.chosenTeam =
                Step(std::clamp(g_tavern.chosenTeam, 1, 3) - 1, 3, step, [&](int t) { return IsTeamOpen(arena, t + 1); }) + 1;
            break;
        }
        case 3:
            g_tavern.selectedTable = Step(g_tavern.selectedTable, kLobbyTableSize, step, CanSitAtTable);
            break;
        case 4:
            if (g_arenaCount > 0) {
                const int count = std::min<int>(g_arenaCount, kMaxArenas);
                g_tavern.selectedEntry = (std::clamp(g_tavern.selectedEntry, 0, count - 1) + step + count) % count;
            }
            break;
        case 6: g_tavern.tableType = g_tavern.tableType == 0 ? 1 : 0; break;
        default: return;
    }
    Click();
}

void EnterKey(ChatScreenRecord& screen) {
    if (g_tavern.page == 1) {
        const int arena = g_tavern.selectedArena;
        if (!IsArenaEntryUsed(arena))
            return;
        if (const char* refusal = EntryRefusal(arena))
            Say(refusal);
        else
            EnterArena(screen, arena);
    } else if (g_tavern.page == 4) {
        StartMatch();
    }
}

void Keys(ChatScreenRecord& screen, const PlayerControl& c) {
    if (c.key_quote || c.key_slash) {
        OpenChatLine(c.key_slash ? 1 : 0);
        SetKeyInputMode(1);
    }
    if (c.page_up || c.page_down)
        g_tavern.chatView = std::clamp(std::clamp(g_tavern.chatView, 0, 80) + (c.page_up ? 10 : -10), 0, 80);
    if (c.home || c.end)
        g_tavern.firstRow =
            std::clamp(std::clamp(g_tavern.firstRow, 0, kTavernFirstRowMax) + (c.home ? -25 : 25), 0, kTavernFirstRowMax);
    if (c.key_equals || c.key_minus)
        ConsoleScroll = std::clamp(std::clamp(ConsoleScroll, 0, 95) + (c.key_equals ? 4 : -4), 0, 95);
    if (c.function_key) {
        if (g_debugLevel == 2) {
            char text[32];
            FormatText(text, sizeof text, "Function Key #%d Hit", c.function_key);
            PrintMessage(MSG_SYSTEM, text, kDebugColour, 0);
        }
        if (c.function_key == 2)
            ToggleChatLog();
    }
    const int* a = c.arrows;  // left, right, up, down, enter
    if (a[1] || a[3])
        StepSelection(1);
    else if (a[0] || a[2])
        StepSelection(-1);
    if (a[4])
        EnterKey(screen);
}

// The game clock of the previous frame, for the pending start's countdown.
uint32_t g_lastFrameClock = 0;
bool g_clockSeen = false;

}  // namespace

void TavernInput(ChatScreenRecord& screen, const PlayerControl& control) {
    if (g_clockSeen && g_tavern.pendingStart > 0) {
        const int32_t elapsed = static_cast<int32_t>(FrameClock - g_lastFrameClock) / 10;
        g_tavern.pendingStart = std::max(0, g_tavern.pendingStart - std::max(0, elapsed));
    }
    g_lastFrameClock = FrameClock;
    g_clockSeen = true;

    RegionEvent click, twice;
    TakeRegionClick(&click);
    TakeRegionDoubleClick(&twice);
    if (!screen.modal) {
        if (click.id >= 0)
            ButtonClick(screen, click.group, click.id);
        if (twice.id >= 0 && twice.group == REGION_ROWS)
            RowDoubleClick(twice.id);
    }
    Keys(screen, control);
}

void SetTavernPage(int page) {
    for (int group : kPageGroups)
        ClearClickRegions(group);
    g_tavern.page = page;
    switch (page) {
        case 1:
        case 3:
            Rows(kListRows, 250, 40, 12, 450, 11, REGION_ROWS);
            PageButton(400, page == 1 ? REGION_BUTTON_16 : REGION_BUTTON_13);
            PageButton(480, REGION_BUTTON_15);
            PageButton(560, REGION_BUTTON_14);
            break;
        case 2: {
            const int arena = g_tavern.selectedArena;
            if (IsArenaEntryUsed(arena) && ArenaTable[arena].arena_type && CanEnterArena(arena))
                for (int t = 1; t <= 3; ++t)
                    AddClickRegion(275 + 150 * (t - 1), 42, 86, 100, t, REGION_TEAMS);
            PageButton(400, REGION_BUTTON_13);
            PageButton(640, REGION_BACK);
            break;
        }
        case 5:
            PageButton(400, REGION_BUTTON_13);
            PageButton(640, REGION_BACK);
            break;
        case 4:
            Rows(5, 250, 40, 12, 350, 12, REGION_ROWS);
            Rows(kLevelRangeChoices, 250, 165, 12, 350, 12, REGION_RANGES);
            PageButton(400, REGION_BUTTON_14);
            PageButton(640, REGION_BACK);
            break;
        case 6:
            Rows(2, 0, 54, 11, 400, 10, REGION_ROWS);
            AddClickRegion(24, 270, 64, 20, 0, REGION_BUTTON_14);
            AddClickRegion(304, 270, 64, 20, 0, REGION_BACK);
            break;
        default: break;
    }
    DrawTavernPage();
}

int SitAtTable(int index) {
    if (!CanSitAtTable(index))
        return 0;
    const LobbyTableEntry& t = LobbyTableList[index];
    char text[64];
    if (index == 0) {
        CopyText(text, "You go back to the Main Tavern");
    } else {
        char name[sizeof t.name + 1] = {};
        CopyText(name, std::string_view(t.name, strnlen(t.name, sizeof t.name)));
        FormatText(text, sizeof text, "You sit at %s (#%d)", name, t.id);
    }
    Say(text);
    g_tavern.place = t.id;
    SendSwitchTable(g_localPlayer, t.id);
    Click();
    return 1;
}

int NextSelectableArena() { return Step(g_tavern.selectedArena, kArenaTableSize, 1, CanSelectArena); }
int PrevSelectableArena() { return Step(g_tavern.selectedArena, kArenaTableSize, -1, CanSelectArena); }

void OpenTavern() {
    // The chat screen always enters the main Tavern, whatever place the last arena or table was.
    g_tavern.place = kTavernPlace;
    ClearClickRegions(REGION_EXIT);
    ClearClickRegions(REGION_TABS);
    AddClickRegion(714, 490, 86, 100, 0, REGION_EXIT);
    AddClickRegion(714, 10, 86, 100, 1, REGION_TABS);
    AddClickRegion(714, 120, 86, 100, 3, REGION_TABS);
    SetTavernPage(1);
    SetTavernIndicator(1, 1);
}
