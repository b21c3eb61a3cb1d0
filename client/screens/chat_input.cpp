#include "client/screens/chat_input.h"

#include <algorithm>
#include <cstring>

#include "client/arena/local_player.h"
#include "client/core/game_values.h"
#include "client/core/numeric.h"
#include "client/core/screen_state.h"
#include "client/net/client_tables.h"
#include "client/net/net_lobby.h"
#include "client/net/net_operator.h"
#include "client/present/present_services.h"
#include "client/screens/chat_buffer.h"
#include "client/screens/chat_commands.h"
#include "client/screens/character_state.h"
#include "client/screens/fonts.h"
#include "client/screens/input.h"
#include "client/screens/screen_surface.h"
#include "common/text.h"

int DefaultChatTarget = kChatTargetAll;
int PrivateChatMode = 0;

namespace {

constexpr int kReceiverWordSize = 51;  // 50 characters

bool InArena() { return g_screenState == 1; }

// The receiver's word and the message after one space.
void SplitReceiver(const char* line, char word[kReceiverWordSize], const char** message) {
    const char* p = line;
    int n = 0;
    for (; *p && *p != ' '; ++p)
        if (n < kReceiverWordSize - 1)
            word[n++] = *p;
    word[n] = 0;
    if (*p == ' ')
        ++p;
    *message = p;
}

// The first used entry whose name begins with the word; an empty word names nobody.
int FindReceiver(const char* word) {
    if (!*word)
        return 0;
    for (int i = 1; i <= PlayerTableTop && i < kPlayerTableSize; ++i)
        if (PlayerTable[i].id != kFreeId && StartsWithNoCase(FieldText(PlayerTable[i].name), word))
            return i;
    return 0;
}

int OwnLocation() {
    const int i = FindPlayerIndex(GetGameValue(118));
    return i > 0 ? PlayerTable[i].location : kTavernId;
}

void Send(LocalPlayer* player, const char* text, int channel, int target) {
    SendChatText(player, text, static_cast<int>(std::strlen(text)) + 1, channel, target);
}

void NotFound(const char* word) {
    char text[96];
    FormatText(text, sizeof text, "Target '%s' not found.", word);
    PrintMessage(MSG_SYSTEM, text, 222, 0);
}

void SendPrivate(LocalPlayer* player, int i, const char* message, bool lobby) {
    const PlayerTableEntry& p = PlayerTable[i];
    PrintMessage(p.id, message, 0, kMessageTo);
    char text[128];
    if (lobby && p.location != OwnLocation())
        FormatText(text, sizeof text, "[from %s in lobby]: %s", CurrentCharacterName(), message);
    else
        CopyText(text, message);
    Send(player, text, 3, p.id);
}

void SendToAll(LocalPlayer* player, const char* message) {
    PrintMessage(MSG_ALL, message, 1, 0);
    Send(player, message, 0, 0);
}

// Without a team the line goes to all.
void SendToTeam(LocalPlayer* player, const char* message) {
    const int team = GetGameValue(4);
    if (team < 1 || team > 3) {
        SendToAll(player, message);
        return;
    }
    PrintMessage(MSG_DRAGON - (team - 1), message, 1, 0);
    Send(player, message, 2, team);
}

// A line that names its receiver: after a "/", or any line in private-line mode.
bool NamesReceiver(const char* line) { return line[0] == '/' || PrivateChatMode; }

// The receiver's word and the message of a line that names its receiver.
struct Addressed {
    char word[kReceiverWordSize];
    const char* message;
    explicit Addressed(const char* line) { SplitReceiver(line[0] == '/' ? line + 1 : line, word, &message); }
};

void LobbyLine(LocalPlayer* player, const char* line) {
    if (NamesReceiver(line)) {
        const Addressed a(line);
        const int i = FindReceiver(a.word);
        if (i)
            SendPrivate(player, i, a.message, true);
        else
            NotFound(a.word);
        return;
    }
    PrintMessage(MSG_ALL, line, (GetGameValue(120) & 1) ? 5 : 0, 0);
    Send(player, line, 0, 0);
}

void ArenaLine(LocalPlayer* player, const char* line) {
    if (NamesReceiver(line)) {
        const Addressed a(line);
        const char* word = a.word;
        const char* message = a.message;
        if (!*message && EqualsNoCase(word, "team")) {
            DefaultChatTarget = kChatTargetTeam;
            PrintMessage(MSG_SYSTEM, "Default chat target set to TEAM", 44, 0);
            return;
        }
        if (!*message && EqualsNoCase(word, "all")) {
            DefaultChatTarget = kChatTargetAll;
            PrintMessage(MSG_SYSTEM, "Default chat target set to ALL", 44, 0);
            return;
        }
        const int i = FindReceiver(word);
        if (i)
            SendPrivate(player, i, message, false);
        else if (word[0] == 't' || word[0] == 'T')
            SendToTeam(player, message);
        else if (word[0] == 'a' || word[0] == 'A')
            SendToAll(player, message);
        else
            NotFound(word);
        return;
    }
    if (DefaultChatTarget == kChatTargetTeam)
        SendToTeam(player, line);
    else
        SendToAll(player, line);
}

}  // namespace

void OpenChatLine(int privateMode) { PrivateChatMode = privateMode; }

void DrawChatEntryLine(int target) {
    const bool arena = InArena();
    const int box = arena ? 256 : 450;
    char text[kTypedLineSize + 16];
    const char* prefix = target >= 1 && target <= 3 ? "TEAM:  " : target == 4 ? "ALL:  " : target == 5 ? "/" : "";
    FormatText(text, sizeof text, "%s%s|", prefix, g_typedLine.text);
    const char* shown = TextEndFittingWidth(text, 3, box);
    ScreenSurface& s = g_screen;
    const int colour = target >= 1 && target <= 3 ? target : 4;
    if (s.backBuffer) {
        if (arena) {
            s.FillRect16(180, 580, 256, 16, MakePixel16(0, 0, 0));
            DrawText(180, 580, colour, shown, 0, s.backBuffer, 3, 0);
            s.QueueDirtyRect(180, 580, 256, 16, 1);
        } else {
            s.CopyFromBackground(210, 583, 450, 14);
            DrawText(210, 583, colour, shown, 0, s.backBuffer, 3, 0);
            s.QueueDirtyRect(210, 583, 450, 14, 1);
        }
    }
    SetPanelRedrawFlag(kChatEntryPanel, 1);
}

void DoChatInput(LocalPlayer* player) {
    int target = 0;
    if (PrivateChatMode)
        target = 5;
    else if (InArena())
        target = DefaultChatTarget == kChatTargetTeam ? GetGameValue(4) : 4;
    DrawChatEntryLine(target);
    if (!g_typedLine.complete)
        return;
    char line[kTypedLineSize];
    CopyText(line, std::string_view(g_typedLine.text, std::clamp(g_typedLine.length, 0, kTypedLineSize - 1)));
    if (line[0] == '*')
        DoChatCommand(line + 1);
    else if (line[0] && InArena())
        ArenaLine(player, line);
    else if (line[0])
        LobbyLine(player, line);
    g_typedLine.length = 0;
    g_typedLine.text[0] = 0;
    SetKeyInputMode(0);
    g_typedLine.complete = 0;
    ClearChatInputLine();
}
