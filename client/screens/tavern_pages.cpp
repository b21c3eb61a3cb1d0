#include "client/screens/tavern_pages.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <initializer_list>

#include "client/core/game_clock.h"
#include "client/core/game_values.h"
#include "client/level/level_textures.h"
#include "client/net/client_tables.h"
#include "client/screens/character_rules.h"
#include "client/screens/fonts.h"
#include "client/screens/input.h"
#include "client/screens/screen_art.h"
#include "client/screens/screen_surface.h"
#include "client/screens/tavern_state.h"
#include "common/text.h"

namespace {

constexpr int kCaptionFont = 9, kListFont = 3, kPlayerFont = 1;
constexpr int kOperatorColour = 0, kChatColour = 4, kSystemColour = 5, kGreyColour = 6;
constexpr int kHeaderHeight = 12, kPlayerRowHeight = 9, kListRowHeight = 12;
constexpr int kPageX = 210, kPageW = 502, kPageH = 380;  // the right side a page covers
constexpr int kColumnW = 210;
constexpr int kTabX = 712;
constexpr int kTabY[kTabCount] = {10, 120, 230, 490};
constexpr const char* kTabCaptions[kTabCount] = {"Arenas", "Tables", "Guilds", "Exit"};
constexpr int kButtonY = 330;
constexpr int kListX = 250, kListY = 40;

// Transparent, as the keyboard page draws: an opaque cell would black out the art under it.
void Text(int x, int y, int colour, const char* text, int font) {
    DrawText(x, y, colour, text, 1, g_screen.backBuffer, font, 0);
}
void Centred(int cx, int y, int colour, const char* text, int font) {
    Text(cx - TextWidth(text, font) / 2, y, colour, text, font);
}
void RightAligned(int xEnd, int y, int colour, const char* text, int font) {
    Text(xEnd - TextWidth(text, font), y, colour, text, font);
}

// A text field that may lack its terminator, cut to at most max characters.
template <size_t N>
void Field(char* out, size_t size, const char (&field)[N], size_t max) {
    const size_t n = std::min({strnlen(field, N), max, size - 1});
    std::memcpy(out, field, n);
    out[n] = 0;
}

// The group and id of the region under the pointer.
struct Hover {
    int id = 0, group = 0;
};
Hover Hovered() {
    Hover h;
    h.id = ClickRegionAtCursor(&h.group);
    return h;
}

void Button(int x, int y, int button, int group) {
    DrawLobbyButton(x, y, button, Hovered().group == group ? 1 : 0);
}

bool OwnOperator() { return (GetGameValue(120) & 1) != 0; }

struct RowSource {
    const char* name;
    int id, profession, level, location;
};

void PutRow(PlayerRow* rows, int& count, const RowSource& s, int colour, int group) {
    if (count >= kPlayerRowCapacity)
        return;
    PlayerRow& r = rows[count++];
    r = PlayerRow{};
    CopyText(r.name, s.name ? s.name : "");
    r.id = s.id;
    r.profession = s.profession;
    r.level = s.level;
    r.location = s.location;
    r.colour = colour;
    r.group = group;
}

bool NameBefore(const PlayerRow& a, const PlayerRow& b) {
    for (int i = 0;; ++i) {
        const int ca = std::tolower(static_cast<unsigned char>(a.name[i]));
        const int cb = std::tolower(static_cast<unsigned char>(b.name[i]));
        if (ca != cb)
            return ca < cb;
        if (ca == 0)
            return false;
    }
}

// One group: its header, the player first when included, then its members by name.
template <typename Member>
void Group(PlayerRow* rows, int& count, const char* header, int code, int colour, bool withSelf,
           const RowSource& self, Member member) {
    const int start = count;
    PutRow(rows, count, RowSource{header, code, 0, 0, 0}, colour, code);
    if (withSelf)
        PutRow(rows, count, self, colour, 0);
    const int first = count;
    const int ownId = GetGameValue(118);
    for (int i = 0; i <= PlayerTableTop && i < kPlayerTableSize; ++i) {
        const PlayerTableEntry& p = PlayerTable[i];
        if (p.id == kFreeId || p.id == ownId || !member(p))
            continue;
        char name[sizeof p.name + 1];
        Field(name, sizeof name, p.name, sizeof p.name);
        PutRow(rows, count, RowSource{name, p.id, p.value16, p.value17, p.location}, colour, 0);
    }
    std::stable_sort(rows + first, rows + count, NameBefore);
    if (count == start + 1)
        count = start;  // nobody in it: no header either
}

bool IsTableLocation(int location) { return location >= 50 && location <= 99; }

void StatusText(char* out, size_t size) {
    if (IsTableLocation(g_tavern.place)) {
        const int t = FindTableByLocation(g_tavern.place);
        char name[24] = {};
        if (t >= 0)
            Field(name, sizeof name, LobbyTableList[t].name, sizeof LobbyTableList[t].name);
        FormatText(out, size, t >= 0 ? "You are Sitting at %s (#%d)" : "You are Sitting at%s (#%d)", name,
                   g_tavern.place);
    } else {
        CopyText(out, size, "You are Currently in the Main Tavern");
    }
}

int RowColour(bool selected, bool allowed) { return selected ? kOperatorColour : allowed ? kSystemColour : kGreyColour; }

void TimeText(int seconds, bool withSeconds, char* out, size_t size) {
    if (withSeconds)
        FormatText(out, size, "%02d:%02d:%02d", seconds / 3600, seconds / 60 % 60, seconds % 60);
    else
        FormatText(out, size, "%02d:%02d", seconds / 3600, seconds / 60 % 60);
}

// The arena a lobby table's private match runs in, -1 none.
int PrivateMatchOf(int table) {
    if (table < 0 || table >= kLobbyTableSize || LobbyTableList[table].id == kFreeId)
        return -1;
    for (int n = 0; n < kArenaTableSize; ++n)
        if (IsArenaEntryUsed(n) && ArenaTable[n].match.table != 0 && ArenaTable[n].match.table == LobbyTableList[table].id)
            return n;
    return -1;
}

void Marker(int x, int y, bool selected, const char* mark, int colour) {
    if (selected)
        DrawArrowCell(x - 2, y - 2, 0, 1);
    else if (mark)
        Text(x, y, colour, mark, kListFont);
}

void Title(const char* text) { Centred(500, 5, kChatColour, text, kCaptionFont); }

// A list page's title, tabs and column captions (the lists share their columns' places).
void ListHead(const char* title, std::initializer_list<const char*> captions) {
    Title(title);
    DrawTavernTabs();
    const int captionX[] = {280, 440, 485, 530, 605, 645};
    int i = 0;
    for (const char* caption : captions)
        Text(captionX[i++], 25, kSystemColour, caption, kCaptionFont);
}

}  // namespace

// ---- The whole page -----------------------------------------------------------------------------

void DrawTavernPage() {
    if (!g_screen.backBuffer)
        return;
    if (g_screen.SnapshotPixels()) {
        g_screen.CopyFromBackground(0, 0, kColumnW, kScreenHeight);
        g_screen.CopyFromBackground(kPageX, 0, kPageW, kPageH);
        g_screen.CopyFromBackground(kTabX, 0, kScreenWidth - kTabX, kScreenHeight);
    } else {
        g_screen.FillRect16(0, 0, kColumnW, kScreenHeight, 0);
        g_screen.FillRect16(kPageX, 0, kPageW, kPageH, 0);
        g_screen.FillRect16(kTabX, 0, kScreenWidth - kTabX, kScreenHeight, 0);
    }
    DrawTavernHeader();
    switch (g_tavern.page) {
        case 1: DrawArenaList(g_tavern.selectedArena); break;
        case 2: DrawArenaDetails(g_tavern.selectedArena, g_tavern.chosenTeam); break;
        case 3: DrawTableList(g_tavern.selectedTable); break;
        case 4: DrawStartMatchPage(g_tavern.selectedEntry); break;
        case 5: DrawTableDetails(g_tavern.selectedTable); break;
        case 6: DrawNewTablePage(g_tavern.tableType); break;
        default: break;
    }
    g_screen.QueueDirtyRect(0, 0, kScreenWidth, kScreenHeight, 0);
}

// ---- Player column ------------------------------------------------------------------------------

int BuildTavernPlayerRows(PlayerRow* rows) {
    int count = 0;
    char own[16];
    const RowSource self{OwnName(own), GetGameValue(118), GetGameValue(114), GetGameValue(0), g_tavern.place};
    const bool op = OwnOperator();
    const auto plain = [](const PlayerTableEntry& p) { return (p.flags & 1) == 0; };
    if (op)
        Group(rows, count, "Gameops", GROUP_GAMEOPS, kOperatorColour, true, self,
              [](const PlayerTableEntry& p) { return (p.flags & 1) != 0; });
    if (IsTableLocation(g_tavern.place)) {
        Group(rows, count, "Your Table", GROUP_YOUR_TABLE, kChatColour, !op, self,
              [&](const PlayerTableEntry& p) { return plain(p) && p.location == g_tavern.place; });
    } else if (g_tavern.place == kTavernPlace) {
        Group(rows, count, "In Chat Parlor", GROUP_PARLOR, kChatColour, !op, self,
              [&](const PlayerTableEntry& p) { return plain(p) && p.location == kTavernPlace; });
    }
    Group(rows, count, "At Table", GROUP_AT_TABLE, kSystemColour, false, self, [&](const PlayerTableEntry& p) {
        return plain(p) && IsTableLocation(p.location) && p.location != g_tavern.place;
    });
    Group(rows, count, "In Match", GROUP_IN_MATCH, kSystemColour, false, self, [&](const PlayerTableEntry& p) {
        return plain(p) && !IsTableLocation(p.location) &&
               !(p.location == kTavernPlace && g_tavern.place == kTavernPlace);
    });
    return count;
}

void PlaceText(int location, char* out, int size) {
    out[0] = 0;
    if (size <= 0)
        return;
    if (location == kTavernPlace) {
        CopyText(out, static_cast<size_t>(size), "Tavern");
    } else if (IsTableLocation(location)) {
        FormatText(out, static_cast<size_t>(size), "Table#%d", location);
    } else if ((location >= 0 && location < 50) || (location >= 100 && location < 150)) {
        const int n = FindArenaByLocation(location);
        if (n < 0)
            return;
        char name[24];
        Field(name, sizeof name, ArenaTable[n].name, sizeof ArenaTable[n].name);
        FormatText(out, static_cast<size_t>(size), "%s#%d", name, location >= 100 ? location - 100 : location);
    }
}

void DrawTavernHeader() {
    int live = 0;
    for (const PlayerTableEntry& p : PlayerTable)
        live += p.id != kFreeId;
    char text[64];
    FormatText(text, sizeof text, "Players: %d", live);
    Centred(90, 5, kChatColour, text, kCaptionFont);

    static PlayerRow rows[kPlayerRowCapacity];
    const int count = BuildTavernPlayerRows(rows);
    const int first = std::clamp(g_tavern.firstRow, 0, kTavernFirstRowMax);
    int y = 21;
    if (first != 0) {
        FormatText(text, sizeof text, "*HOME for %d More*", std::min(first, count));
        Text(5, 21, kChatColour, text, kPlayerFont);
        y = 30;
    }
    const bool showIds = SysopLevel() > 0;
    int shown = 0;
    int r = first;
    for (; r < count && shown < kTavernShownRows; ++r, ++shown) {
        const PlayerRow& row = rows[r];
        if (row.group < 0) {
            Centred(90, y, row.colour, row.name, kListFont);
            y += kHeaderHeight;
            continue;
        }
        int x = 5;
        if (showIds) {
            FormatText(text, sizeof text, "%d", row.id);
            Text(5, y, row.colour, text, kPlayerFont);
            x = 20;
        }
        char name[sizeof row.name];
        CopyText(name, row.name);
        FitTextToWidth(name, kPlayerFont, 70);
        Text(x, y, row.colour, name, kPlayerFont);
        PlaceText(row.location, text, sizeof text);
        RightAligned(140, y, row.colour, text, kPlayerFont);
        char profession[4] = {};
        CopyText(profession, ProfessionName(row.profession));
        RightAligned(175, y, row.colour, profession, kPlayerFont);
        FormatText(text, sizeof text, "%d", row.level);
        RightAligned(175 - TextWidth(profession, kPlayerFont) - 3, y, row.colour, text, kPlayerFont);
        y += kPlayerRowHeight;
    }
    if (r < count)
        Text(5, y, kChatColour, "*END for More*", kPlayerFont);
}

// ---- Tabs and status ----------------------------------------------------------------------------

void DrawTavernTabs() {
    const int current = g_tavern.page == 3 || g_tavern.page == 5 || g_tavern.page == 6 ? 1 : 0;
    const Hover h = Hovered();
    int hovered = -1;
    if (h.group == REGION_TABS && h.id == 1)
        hovered = 0;
    else if (h.group == REGION_TABS && h.id == 3)
        hovered = 1;
    else if (h.group == REGION_EXIT)
        hovered = 3;
    for (int tab = 0; tab < kTabCount; ++tab) {
        const int state = tab == current ? 1 : tab == hovered ? 2 : 0;
        DrawTabCell(kTabX, kTabY[tab], tab, state);
        Centred(756, kTabY[tab] + 86, tab == current ? kChatColour : kSystemColour, kTabCaptions[tab], kCaptionFont);
    }
}

void DrawTavernStatusLine(int x, int y, bool centred) {
    char text[64];
    StatusText(text, sizeof text);
    if (centred)
        Centred(x, y, kChatColour, text, kCaptionFont);
    else
        Text(x, y, kChatColour, text, kCaptionFont);
}

int ArenaRunningSeconds(int n) {
    if (n < 0 || n >= kArenaTableSize || ArenaTable[n].match.start_time == 0)
        return -1;
    const ArenaEntry& a = ArenaTable[n];
    const int64_t since = static_cast<int64_t>(a.match.time) - a.match.start_time +
                          (static_cast<int64_t>(GameClock / 10000) - a.entry_time);
    return static_cast<int>(std::clamp<int64_t>(since, 0, 99 * 3600 + 59 * 60 + 59));
}

// ---- Page 1: arena list -------------------------------------------------------------------------

void DrawArenaList(int selected) {
    ListHead("Arena Listing", {"Name", "Level", "Plrs", "Founder", "Time", "Table"});
    char text[48];
    int row = 0;
    for (int n = 0; n < kArenaTableSize; ++n) {
        if (!IsArenaEntryUsed(n))
            continue;
        const ArenaEntry& a = ArenaTable[n];
        const int y = kListY + kListRowHeight * row++;
        const int colour = RowColour(n == selected, CanSelectArena(n));
        Marker(252, y, n == selected, IsPrivateArena(n) ? "P" : !CanEnterArena(n) ? "x" : nullptr, colour);
        FormatText(text, sizeof text, "%2d", a.id);
        Text(262, y, colour, text, kListFont);
        Field(text, sizeof text, a.name, 19);
        Text(280, y, colour, text, kListFont);
        const LevelRange r = LevelRangeOf(a.match.level_range);
        FormatText(text, sizeof text, "%d-%d", r.low, r.high);
        Text(440, y, colour, text, kListFont);
        FormatText(text, sizeof text, "%d/%d", CountPlayersInArena(n), a.match.max_players);
        Text(485, y, colour, text, kListFont);
        Field(text, sizeof text, a.founder, 9);
        Text(530, y, colour, text, kListFont);
        const int seconds = ArenaRunningSeconds(n);
        if (seconds >= 0) {
            TimeText(seconds, false, text, sizeof text);
            Text(605, y, colour, text, kListFont);
        }
        if (a.match.table)
            FormatText(text, sizeof text, "#%02d", a.match.table);
        else
            CopyText(text, " - ");
        Text(645, y, colour, text, kListFont);
    }
    DrawTavernStatusLine(605, 365, true);
    Button(400, kButtonY, BUTTON_DETAILS, REGION_BUTTON_16);
    Button(480, kButtonY, BUTTON_CLAIM, REGION_BUTTON_15);
    Button(560, kButtonY, BUTTON_START, REGION_BUTTON_14);
}

// ---- Page 2: arena details ----------------------------------------------------------------------

void DrawArenaDetails(int selected, int team) {
    DrawTavernTabs();
    DrawTavernStatusLine(605, 365, true);
    Button(640, kButtonY, BUTTON_BACK, REGION_BACK);
    if (!IsArenaEntryUsed(selected))
        return;
    const ArenaEntry& a = ArenaTable[selected];
    char name[24], text[64];
    Field(name, sizeof name, a.name, sizeof a.name);
    FormatText(text, sizeof text, "%s (#%d)", name, a.id);
    Title(text);
    const int count = CountPlayersInArena(selected);
    FormatText(text, sizeof text, count == 1 ? "%d Mage (Max is %d)" : "%d Mages (Max is %d)", count, a.match.max_players);
    Text(kListX, 25, kSystemColour, text, kListFont);
    const int seconds = ArenaRunningSeconds(selected);
    if (seconds >= 0) {
        TimeText(seconds, true, text, sizeof text);
        RightAligned(705, 25, kSystemColour, text, kListFont);
    }
    const int ownId = GetGameValue(118);
    if (a.arena_type) {
        for (int t = 1; t <= 3; ++t) {
            const int x = 275 + 150 * (t - 1);
            DrawTeamPanel(x, 42, t, t == team ? 1 : IsTeamOpen(selected, t) ? 0 : 2);
            FormatText(text, sizeof text, "%s (%d)", TeamName(t), TeamStrength(selected, t));
            Centred(x + 43, 146, t == team ? kOperatorColour : kSystemColour, text, kListFont);
            int y = 160, shown = 0;
            for (int i = 0; i <= PlayerTableTop && i < kPlayerTableSize && y < 310; ++i) {
                const PlayerTableEntry& p = PlayerTable[i];
                if (p.id == kFreeId || p.location != a.id || p.team != t)
                    continue;
                Field(name, sizeof name, p.name, 12);
                Centred(x + 43, y, p.id == ownId ? kOperatorColour : kSystemColour, name, kListFont);
                y += 10;
                ++shown;
            }
            if (!shown)
                Centred(x + 43, 160, kGreyColour, "<No Players>", kListFont);
        }
    } else {
        int shown = 0;
        for (int i = 0; i <= PlayerTableTop && i < kPlayerTableSize && shown < 48; ++i) {
            const PlayerTableEntry& p = PlayerTable[i];
            if (p.id == kFreeId || p.location != a.id)
                continue;
            char plain[24];
            Field(plain, sizeof plain, p.name, sizeof p.name);
            if (p.id == ownId)
                FormatText(name, sizeof name, "* %s", plain);
            else
                CopyText(name, plain);
            Text(kListX + 220 * (shown / 24), 42 + 10 * (shown % 24), kSystemColour, name, kListFont);
            ++shown;
        }
    }
    if (!CanEnterArena(selected)) {
        Centred(500, 292, kGreyColour, "You cannot enter this Arena.", kListFont);
        const LevelRange r = LevelRangeOf(a.match.level_range);
        const int level = GetGameValue(0);
        Centred(500, 304, kGreyColour,
                level < r.low || level > r.high ? "Your level is out of range." : "Too many players in Arena", kListFont);
    }
    Button(400, kButtonY, BUTTON_ENTER, REGION_BUTTON_13);
}

// ---- Page 3: table list -------------------------------------------------------------------------

void DrawTableList(int selected) {
    ListHead("Table Listing", {"Name", "Type", "Plrs", "Founder", "Arena"});
    char text[48];
    int row = 0;
    for (int t = 0; t < kLobbyTableSize; ++t) {
        if (!IsTableEntryUsed(t))
            continue;
        const LobbyTableEntry& e = LobbyTableList[t];
        const int y = kListY + kListRowHeight * row++;
        const int colour = RowColour(t == selected, CanSitAtTable(t));
        Marker(252, y, t == selected, e.id == g_tavern.place ? "*" : nullptr, colour);
        Field(text, sizeof text, e.name, sizeof e.name);
        Text(280, y, colour, text, kListFont);
        Text(440, y, colour, IsPrivateTable(t) ? "Priv" : "Open", kListFont);
        FormatText(text, sizeof text, "%d", CountPlayersAtTable(t));
        Text(485, y, colour, text, kListFont);
        Field(text, sizeof text, e.founder, 9);
        Text(530, y, colour, text, kListFont);
        const int arena = PrivateMatchOf(t);
        if (arena >= 0) {
            Field(text, sizeof text, ArenaTable[arena].name, 12);
            Text(605, y, colour, text, kListFont);
        }
    }
    DrawTavernStatusLine(605, 365, true);
    Button(400, kButtonY, BUTTON_SIT, REGION_BUTTON_13);
    Button(480, kButtonY, BUTTON_CLAIM, REGION_BUTTON_15);
    Button(560, kButtonY, BUTTON_START, REGION_BUTTON_14);
}

// ---- Page 5: table details ----------------------------------------------------------------------

void DrawTableDetails(int selected) {
    DrawTavernTabs();
    DrawTavernStatusLine(605, 365, true);
    Button(400, kButtonY, BUTTON_JOIN, REGION_BUTTON_13);
    Button(640, kButtonY, BUTTON_LEAVE, REGION_BACK);
    if (!IsTableEntryUsed(selected))
        return;
    const LobbyTableEntry& e = LobbyTableList[selected];
    char name[24], founder[16], text[80];
    Field(name, sizeof name, e.name, sizeof e.name);
    Field(founder, sizeof founder, e.founder, sizeof e.founder);
    FormatText(text, sizeof text, "%s (#%d)", name, e.id);
    Title(text);
    const bool here = g_tavern.place == e.id;
    const int count = CountPlayersAtTable(selected) + (here ? 1 : 0);
    FormatText(text, sizeof text, count == 1 ? " %d Mage at Table" : " %d Mages at Table", count);
    Text(kListX, 25, kSystemColour, text, kListFont);
    if (IsPrivateTable(selected))
        FormatText(text, sizeof text, "Private Table moderated by %s", founder);
    else
        CopyText(text, "Public Table");
    Text(kListX, 37, kSystemColour, text, kListFont);
    const int arena = PrivateMatchOf(selected);
    if (arena >= 0) {
        Field(name, sizeof name, ArenaTable[arena].name, sizeof ArenaTable[arena].name);
        FormatText(text, sizeof text, "This table has a private match: %s #%d", name, ArenaTable[arena].id);
        Text(kListX, 49, kSystemColour, text, kListFont);
    }
    // The members with level and profession, the player first.
    int y = 70;
    const auto member = [&](const char* memberName, int level, int profession, int colour) {
        if (y > 300)
            return;
        Text(kListX, y, colour, memberName, kListFont);
        FormatText(text, sizeof text, "%d", level);
        RightAligned(430, y, colour, text, kListFont);
        Text(440, y, colour, ProfessionName(profession), kListFont);
        y += 10;
    };
    char own[16];
    if (here)
        member(OwnName(own), GetGameValue(0), GetGameValue(114), kOperatorColour);
    const int ownId = GetGameValue(118);
    for (int i = 0; i <= PlayerTableTop && i < kPlayerTableSize; ++i) {
        const PlayerTableEntry& p = PlayerTable[i];
        if (p.id == kFreeId || p.id == ownId || p.location != e.id)
            continue;
        Field(name, sizeof name, p.name, sizeof p.name);
        member(name, p.value17, p.value16, kSystemColour);
    }
    if (y == 70)
        Text(kListX, 70, kGreyColour, "<No Mages>", kListFont);

    const char* verdict;
    const bool moderator = IsOwnName(e.founder);
    if (here)
        verdict = IsPrivateTable(selected) && moderator ? "You are the Moderater and can INVITE new people"
                                                        : "You are sitting at this table";
    else if (!IsPrivateTable(selected))
        verdict = "You are free to JOIN the table";
    else if (SysopLevel() >= 3)
        verdict = "You are a Sysop and can JOIN the table";
    else if (moderator)
        verdict = "You are the Moderater and can JOIN table";
    else if (IsValidatedAtTable(selected, ownId))
        verdict = "You are Validated to JOIN the table";
    else
        verdict = "You are not Validated for this table";
    Centred(500, 304, kChatColour, verdict, kListFont);
}

// ---- Page 4: start a match ----------------------------------------------------------------------

void DrawStartMatchPage(int entry) {
    DrawTavernTabs();
    char text[80];
    const int own = OwnPrivateTableIndex();
    if (own > 0) {
        char name[24];
        Field(name, sizeof name, LobbyTableList[own].name, sizeof LobbyTableList[own].name);
        FormatText(text, sizeof text, "Start Private Match from %s (Table #%d)", name, LobbyTableList[own].id);
        Title(text);
    } else {
        Title("Start a New Arena");
    }
    Text(kListX, 25, kSystemColour, "Select Arena for Match", kCaptionFont);
    for (int n = 0; n < 5 && n < g_arenaCount && n < kMaxArenas; ++n) {
        const int y = kListY + kListRowHeight * n;
        Marker(kListX + 2, y, n == entry, nullptr, 0);
        Field(text, sizeof text, g_arenaList[n].name, sizeof g_arenaList[n].name);
        Text(kListX + 16, y, n == entry ? kOperatorColour : kSystemColour, text, kListFont);
    }
    Text(kListX, 150, kSystemColour, "Select Level Range for Match", kCaptionFont);
    for (int n = 0; n < kLevelRangeChoices; ++n) {
        const int index = LevelRangeChoice(GetGameValue(0), n);
        const LevelRange r = LevelRangeOf(index);
        const int y = 165 + kListRowHeight * n;
        const bool chosen = g_tavern.levelRange == index;
        Marker(kListX + 2, y, chosen, nullptr, 0);
        FormatText(text, sizeof text, "%s-%s", OrdinalWord(r.low), OrdinalWord(r.high));
        Text(kListX + 16, y, chosen ? kOperatorColour : kSystemColour, text, kListFont);
    }
    DrawTavernStatusLine(605, 365, true);
    if (CanStartArena())
        Button(400, kButtonY, BUTTON_START, REGION_BUTTON_14);
    Button(640, kButtonY, BUTTON_BACK, REGION_BACK);
}

// ---- Page 6: start a new table ------------------------------------------------------------------

void DrawNewTablePage(int type) {
    DrawTavernTabs();
    g_screen.FillRect16(0, 30, 400, 270, MakePixel16(24, 24, 40));
    g_screen.DrawBevelFrame(0, 30, 400, 270, 2);
    Centred(200, 36, kChatColour, "Start New Table", kCaptionFont);
    const char* choices[2] = {"Public", "Private"};
    for (int n = 0; n < 2; ++n) {
        const int y = 54 + 11 * n;
        Marker(8, y, n == type, nullptr, 0);
        Text(24, y, n == type ? kOperatorColour : kSystemColour, choices[n], kListFont);
    }
    DrawTavernStatusLine(25, 253, false);
    const Hover h = Hovered();
    const struct {
        int x, group;
        const char* caption;
    } buttons[] = {{24, REGION_BUTTON_14, "Create"}, {304, REGION_BACK, "Cancel"}};
    for (const auto& b : buttons) {
        const bool lit = h.group == b.group;
        g_screen.FillRect16(b.x, 270, 64, 20, lit ? MakePixel16(96, 80, 32) : MakePixel16(48, 48, 72));
        g_screen.DrawRectFrame(b.x, 270, 64, 20, MakePixel16(200, 170, 80), 1);
        Centred(b.x + 32, 276, lit ? kOperatorColour : kChatColour, b.caption, kListFont);
    }
}

void SetTavernIndicator(int value, int force) {
    if (value == g_tavern.indicator && !force)
        return;
    g_tavern.indicator = value;
    g_screen.QueueDirtyRect(415, 275, 70, 15, 0);
}
