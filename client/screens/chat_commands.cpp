#include "client/screens/chat_commands.h"

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

#include "client/arena/local_player.h"
#include "client/arena/player_status.h"
#include "client/arena/player_view.h"
#include "client/arena/world_object.h"
#include "client/core/config_file.h"
#include "client/core/game_values.h"
#include "client/core/numeric.h"
#include "client/core/screen_state.h"
#include "client/core/version.h"
#include "client/net/client_tables.h"
#include "client/net/net_dispatch.h"
#include "client/net/net_match.h"
#include "client/net/net_operator.h"
#include "client/present/present_services.h"
#include "client/screens/chat_buffer.h"
#include "client/screens/character_state.h"
#include "client/screens/menu_list.h"
#include "client/screens/fonts.h"
#include "client/screens/notice_lines.h"
#include "common/text.h"

int CrosshairFlag = 1;
int LagDisplayFlag = 0;
int HudCycleState = 0;
char IgnoreList[kIgnoreSlots][kIgnoreSlotSize];

namespace {

using Words = char[kCommandWords][kCommandWordSize];

void Say(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Say(const char* format, ...) {
    char text[256];
    va_list args;
    va_start(args, format);
    FormatTextV(text, sizeof text, format, args);
    va_end(args);
    PrintMessage(MSG_SYSTEM, text, 222, 0);
}

void SayIgnore(const char* format, const char* name) {
    char text[96];
    FormatText(text, sizeof text, format, name);
    PrintMessage(MSG_SYSTEM, text, 44, 0);
}

int SysopLevel() { return GetGameValue(3); }
int OwnId() { return GetGameValue(118) & 0xFFFF; }
bool InTable(int index) { return index >= 1 && index <= PlayerTableTop && index < kPlayerTableSize; }

// The name cut to 12 characters in lower case: the form the ignore list keeps.
void IgnoreForm(const char* name, char out[kIgnoreSlotSize]) {
    CopyText(out, kIgnoreNameLength + 1, name ? name : "");
    for (char* p = out; *p; ++p)
        *p = static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
}

const char* OwnName() { return CurrentCharacterName(); }

void DisplayTest(const Words& w) {
    const char what = static_cast<char>(std::tolower(static_cast<unsigned char>(w[1][0])));
    PlayerView* v = g_playerView;
    switch (what) {
        case 'w':
            SetWireframeMode(w[2][0] == '1' || w[2][0] == 't');
            return;
        case 'p':
            if (HudCycleState == 0) {
                SetHudUpdateFlag(0);
                HudCycleState = 1;
            } else if (HudCycleState == 1) {
                ShowHud(0);
                HudCycleState = 2;
            } else {
                SetHudUpdateFlag(1);
                ShowHud(1);
                HudCycleState = 0;
            }
            return;
        case 'f':
            SetWorldFog(std::atoi(w[2]), std::atoi(w[3]), std::atoi(w[4]), std::atoi(w[5]), std::atoi(w[6]));
            return;
        case 't':
            SetForcedLodLevel(std::max(0, std::atoi(w[2])));
            return;
        case 'c': {
            if (!v)
                return;
            const int count = std::max(1, std::atoi(w[2]));
            for (int k = 0; k < count; ++k) {
                const int slot = AllocObjectAt(OBJ_MOVING, v->x, v->y);
                if (!slot)
                    return;  // the table is full: nothing more to make
                WorldObject& o = WorldObjectTable[slot];
                o.imagenum = 202;
                o.z = static_cast<int16_t>(v->z - (g_localPlayer ? g_localPlayer->eye_height : 0));
                o.pos_z = o.z << 16;
                o.facing = static_cast<uint16_t>(v->facing);
                ActivateObject(slot);
            }
            return;
        }
        case 'l':
            if (std::tolower(static_cast<unsigned char>(w[1][1])) == 'o')
                WriteFrameStats(0, 0, 0, 0, 0, 0);
            else
                SetViewerLight(std::atoi(w[2]), std::atoi(w[3]), std::atoi(w[4]));
            return;
        case 'd':
            if (v)
                Say("NodesInRoom: %d", CountNodesInRoomAt(v->x, v->y, v->z));
            return;
        case 'r':
            if (v) {
                char rooms[200] = "";
                ListRoomsAtPoint(v->x, v->y, v->z, rooms, sizeof rooms);
                Say("In ZEVRoom: %s", rooms);
            }
            return;
        default:
            return;
    }
}

void DebugCommand(const char* word) {
    const char a = static_cast<char>(std::tolower(static_cast<unsigned char>(word[0])));
    const char b = a ? static_cast<char>(std::tolower(static_cast<unsigned char>(word[1]))) : 0;
    if (a == 'o' && b == 'f') {
        g_debugLevel = 0;
        Say("Debug Mode Off.");
    } else if (a == 'o' && b == 'n') {
        g_debugLevel = 1;
        Say("Debug Mode FPS On.");
    } else if (a == 'o') {
        // "o" then anything else leaves the level alone.
    } else if (a == 'f' && b == 'u') {
        g_debugLevel = 2;
        Say("Debug Mode Full On.");
    } else if (a == 'f') {
        g_debugLevel = 1;
        Say("Debug Mode FPS On.");
    } else if (a == 's') {
        g_debugLevel = 3;
        Say("Debug Mode Stats On.");
    } else {
        g_debugLevel = 0;
        Say("Debug Mode Off.");
    }
}

void GrantExperience(const Words& w) {
    const int amount = std::atoi(w[2]);
    const bool allowed = amount >= 1 && amount <= 32767;
    const int i = FindPlayerByName(w[1]);
    if (InTable(i)) {
        const PlayerTableEntry& p = PlayerTable[i];
        if (!allowed) {
            Say("You cannot grant %d exp! (0 to 32767)", amount);
            return;
        }
        send_experience(amount, p.id);
        Say("You grant %d exp to '%s' [%s][id=%d sl=%d].", amount, w[1], PlayerName(p).c_str(), p.id, i);
        return;
    }
    if (w[1][0] && StartsWithNoCase(OwnName(), w[1])) {
        if (allowed)
            send_experience(amount, OwnId());
        else
            Say("You cannot grant %d exp! (0 to 32767)", amount);
        return;
    }
    Say("Invalid Player Name [%s][%s][%s].", w[0], w[1], w[2]);
}

void Rename(const Words& w) {
    const int i = FindPlayerByName(w[1]);
    if (!InTable(i)) {
        Say("Invalid Player Name [%s].", w[1]);
        return;
    }
    const size_t n = std::strlen(w[2]);
    if (n < 3) {
        Say("[%s] is too few letters.", w[2]);
        return;
    }
    if (n > 11) {
        Say("[%s] is too many letters.", w[2]);
        return;
    }
    PlayerTableEntry& p = PlayerTable[i];
    const PlayerName old(p);
    SendRenamePlayer(p.id, old.c_str(), w[2]);
    Say("[%s] has been renamed to [%s].", old.c_str(), w[2]);
    CopyText(p.name, w[2]);
    const int slot = FindPlayerObjectSlot(p.id);
    if (slot > 0 && WorldObjectTable[slot].name_label)
        SetNameTag(WorldObjectTable[slot].name_label, p.name, TeamColorIndex(p.team), 0);
}

// The operator commands that act on a named player and send one request.
void OnNamedPlayer(const Words& w, void (*send)(int, const char*), const char* done, bool byWord) {
    const int i = FindPlayerByName(w[1]);
    if (!InTable(i)) {
        Say("Invalid Player Name.");
        return;
    }
    const PlayerName name(PlayerTable[i]);
    send(PlayerTable[i].id, name.c_str());
    Say(done, byWord ? w[1] : name.c_str());
}

bool Is(const char* word, const char* name) { return EqualsNoCase(word, name); }

}  // namespace

void SplitCommandWords(const char* text, char words[kCommandWords][kCommandWordSize]) {
    std::memset(words, 0, sizeof(char) * kCommandWords * kCommandWordSize);
    const char* p = text ? text : "";
    for (int n = 0; n < kCommandWords && *p; ++n) {
        char delimiter = ' ';
        if (*p == '"') {
            delimiter = '"';
            ++p;
        }
        int kept = 0;
        for (; *p && *p != delimiter; ++p)
            if (kept < kCommandWordSize - 1)
                words[n][kept++] = *p;
        if (*p == delimiter)
            ++p;
        if (*p == ' ')
            ++p;
    }
}

int FindPlayerByName(const char* text) {
    if (!text || !*text)
        return kNoPlayer;
    if (text[0] == '#' && std::isdigit(static_cast<unsigned char>(text[1]))) {
        const long id = std::strtol(text + 1, nullptr, 10);
        const int i = id >= 0 && id < kFreeId ? FindPlayerIndex(static_cast<int>(id)) : 0;
        return InTable(i) && PlayerTable[i].id != kFreeId ? i : kNoPlayer;
    }
    for (int i = 1; InTable(i); ++i)
        if (PlayerTable[i].id != kFreeId && StartsWithNoCase(FieldText(PlayerTable[i].name), text))
            return i;
    return 0;
}

void DoChatCommand(const char* text) {
    Words w;
    SplitCommandWords(text, w);
    const int sysop = SysopLevel();
    switch (std::tolower(static_cast<unsigned char>(w[0][0]))) {
        case 'a':
            if (Is(w[0], "account") && sysop >= 3)
                OnNamedPlayer(w, SendShowAccount, "Requesting Account Information for %s.", true);
            return;
        case 'b':
            if (Is(w[0], "ban") && sysop >= 3)
                OnNamedPlayer(w, SendBanPlayer, "%s has been banned.", false);
            else if (Is(w[0], "boot") && sysop >= 3)
                OnNamedPlayer(w, SendBootPlayer, "%s has been booted.", false);
            return;
        case 'c':
            if (Is(w[0], "complaint"))
                return;
            Say(CrosshairFlag ? "Crosshairs Off." : "Crosshairs On.");
            CrosshairFlag = !CrosshairFlag;
            return;
        case 'd':
            DebugCommand(w[1]);
            return;
        case 'e':
            if (sysop == 5)
                GrantExperience(w);
            return;
        case 'g':
            if (Is(w[0], "god") && sysop >= 3)
                SendGodMode(GodModeFlag ? 0 : 1);
            return;
        case 'h':
            TintKind = 5;
            TintTime = 500;
            return;
        case 'i':
            if (w[1][0])
                ToggleIgnore(w[1]);
            else
                ShowIgnoreList();
            return;
        case 'j': {
            if (sysop < 3 || g_screenState != 1)
                return;
            if (Is(w[1], "gryphon")) {
                SendJumpPlayer(-2);
            } else if (Is(w[1], "phoenix")) {
                SendJumpPlayer(-3);
            } else if (Is(w[1], "dragon")) {
                SendJumpPlayer(-1);
            } else {
                const int i = FindPlayerByName(w[1]);
                if (InTable(i) && FindPlayerObjectSlot(PlayerTable[i].id) > 0)
                    SendJumpPlayer(PlayerTable[i].id);
                else
                    Say("Invalid Player Name.");
            }
            return;
        }
        case 'k':
            if (g_linkState == 2) {
                SendOwnDeath();
            } else if (g_localPlayer && !g_localPlayer->dead) {
                SetGameValue(107, 0);
                OnLocalPlayerDeath(*g_localPlayer, 0);
            }
            return;
        case 'l':
            if (Is(w[0], "lag")) {
                LagDisplayFlag = !LagDisplayFlag;
            } else if (Is(w[0], "loc") && g_playerView) {
                const PlayerView& v = *g_playerView;
                Say("Location: %d,%d,%d (%d,%d)", v.x / 64, v.y / 64,
                    v.z - (g_localPlayer ? g_localPlayer->eye_height : 0), v.x, v.y);
            }
            return;
        case 'n':
            DisplayTest(w);
            return;
        case 'p':
            for (int n = 0; n < kCommandWords; ++n)
                Say("word %d: [%s]", n, w[n]);
            return;
        case 'r':
            if (Is(w[0], "remove") && sysop >= 3)
                OnNamedPlayer(w, SendRemovePlayer, "%s has been removed.", false);
            else if (Is(w[0], "rename") && sysop >= 3)
                Rename(w);
            return;
        case 's': {
            if (!Is(w[0], "sysop") || g_login.privilegeLevel == 0)
                return;
            const int i = FindPlayerByName(w[1]);
            if (InTable(i)) {
                SendMakeSysop(PlayerTable[i].id, PlayerName(PlayerTable[i]).c_str(), 1);
                Say("Sending Make Sysop for %s.", w[1]);
            } else if (w[1][0] && (Is(w[1], "self") || Is(w[1], OwnName()))) {
                char own[16];
                CopyText(own, OwnName());
                SendMakeSysop(OwnId(), own, 1);
                Say("Sending Make Sysop for %s.", w[1]);
            } else {
                Say("Invalid Player Name.");
            }
            return;
        }
        case 'u':
            if (sysop < 3)
                return;
            if (w[1][0]) {
                SendUnbanPlayer(w[1]);
                Say("Attempting to unban [%s].", w[1]);
            } else {
                Say("You must specify an account to unban.");
            }
            return;
        case 'v':
            Say("Client Version: %d.%d.%d   Server Version: %d.%d.%d", kClientVersion[1], kClientVersion[2],
                kClientVersion[3], ServerVersion[1], ServerVersion[2], ServerVersion[3]);
            return;
        case 'y':
            if (!Is(w[0], "yank") || sysop < 3)
                return;
            {
                const int i = FindPlayerByName(w[1]);
                if (InTable(i)) {
                    const PlayerName name(PlayerTable[i]);
                    SendYankPlayer(PlayerTable[i].id, name.c_str());
                    Say("[%s] has been yanked to you.", name.c_str());
                } else {
                    Say("Invalid Player Name [%s].", w[1]);
                }
            }
            return;
        default:
            return;
    }
}

// ---- Ignore list --------------------------------------------------------------------------------

void LoadIgnoreList() {
    for (int n = 0; n < kIgnoreSlots; ++n) {
        char key[12], value[64];
        FormatText(key, sizeof key, "name%02d", n);
        GetConfigString(kUserFile, "ignorelist", key, value, sizeof value, "", 0);
        IgnoreForm(value, IgnoreList[n]);
    }
}

void SaveIgnoreList() {
    for (int n = 0; n < kIgnoreSlots; ++n) {
        char key[12], value[kIgnoreSlotSize];
        FormatText(key, sizeof key, "name%02d", n);
        CopyText(value, kIgnoreNameLength + 1, IgnoreList[n]);
        WriteConfigString(kUserFile, "ignorelist", key, value);
    }
}

int ToggleIgnore(const char* name) {
    char form[kIgnoreSlotSize];
    IgnoreForm(name, form);
    for (auto& slot : IgnoreList) {
        if (slot[0] && std::strcmp(slot, form) == 0) {
            slot[0] = 0;
            SaveIgnoreList();
            SayIgnore("[%s] removed from your Ignore List.", form);
            return 0;
        }
    }
    for (auto& slot : IgnoreList) {
        if (!slot[0]) {
            CopyText(slot, form);
            SaveIgnoreList();
            SayIgnore("[%s] added to your Ignore List.", form);
            return 1;
        }
    }
    PrintMessage(MSG_SYSTEM, "Your ignore list is full with 20 names!", 44, 0);
    return 0;
}

void ShowIgnoreList() {
    char line[200] = "";
    int inLine = 0;
    for (const auto& slot : IgnoreList) {
        if (!slot[0])
            continue;
        const size_t n = std::strlen(line);
        FormatText(line + n, sizeof line - n, "[%s]  ", slot);
        if (++inLine == 5) {
            SayIgnore("Ignoring: %s", line);
            line[0] = 0;
            inLine = 0;
        }
    }
    if (inLine)
        SayIgnore("Ignoring: %s", line);
}

int IsIgnoredName(const char* name) {
    if (!name || !*name)
        return 0;
    char form[kIgnoreSlotSize];
    IgnoreForm(name, form);
    for (const auto& slot : IgnoreList)
        if (slot[0] && std::strcmp(slot, form) == 0)
            return 1;
    return 0;
}
