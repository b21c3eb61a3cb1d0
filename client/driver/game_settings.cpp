#include "client/driver/game_settings.h"

#include <cctype>
#include <cstring>
#include <string_view>

#include "client/arena/local_player.h"
#include "client/core/config_file.h"
#include "client/core/error_log.h"
#include "client/core/game_values.h"
#include "client/core/screen_files.h"
#include "client/net/socket_settings.h"
#include "client/screens/character_state.h"
#include "client/screens/chat_buffer.h"
#include "common/text.h"
#include "platform/win/win.h"

OnlineServiceParams g_onlineService{};
char g_teamWord[20] = "None";
MovementConstants g_movementConstants;

namespace {

constexpr int kArguments = 12;
constexpr size_t kArgumentSize = 100;  // 99 characters

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

}  // namespace

int PrivilegeLevelFor(int number, const char* team) {
    return number == 27351 && EqualsNoCase(team, "russet") ? 5 : 0;
}

void ParseCommandLine(const char* commandLine) {
    g_onlineService.present = 0;
    if (!commandLine || !*commandLine)
        return;
    char args[kArguments][kArgumentSize] = {};
    const char* p = commandLine;
    for (int n = 0; n < kArguments; ++n) {
        while (*p && IsBlank(*p))
            ++p;
        const char* start = p;
        while (*p && !IsBlank(*p))
            ++p;
        // Longer arguments are cut to their field rather than overrun it.
        CopyText(args[n], std::string_view(start, static_cast<size_t>(p - start)));
    }
    // The token logs the player in: error.log travels with fault reports, so only its length.
    ErrorLogWrite("Cmd Line Arguments-> 0:%s 1:(%zu characters) 2:%s 3:%s 4:%s 5:%s 6:%s 7:%s 8:%s 9:%s 10:%s 11:%s\n",
                  args[0], std::strlen(args[1]), args[2], args[3], args[4], args[5], args[6], args[7], args[8],
                  args[9], args[10], args[11]);
    OnlineServiceParams& s = g_onlineService;
    CopyText(s.mode, args[0]);
    if (EqualsNoCase(s.mode, "single") && g_login.privilegeLevel > 0) {
        ErrorLogWrite("Tessel Mode: %s\n", s.mode);
        return;
    }
    CopyText(s.token, args[1]);
    std::string_view where(args[5]);
    const size_t first = where.find(':');
    CopyText(s.service, where.substr(0, first));
    s.address[0] = s.port[0] = '\0';
    if (first != std::string_view::npos) {
        where.remove_prefix(first + 1);
        const size_t second = where.find(':');
        CopyText(s.address, where.substr(0, second));
        if (second != std::string_view::npos) {
            where.remove_prefix(second + 1);
            CopyText(s.port, where.substr(0, where.find(':')));
        }
    }
    CopyText(s.name, args[7]);
    char handle[3 * kArgumentSize + 2] = {};
    std::strcat(handle, args[9]);
    for (int n = 10; n <= 11; ++n) {
        if (args[n][0]) {
            std::strcat(handle, " ");
            std::strcat(handle, args[n]);
        }
    }
    CopyText(s.handle, handle);
    CopyText(g_login.commandLineText, s.service);
    ErrorLogWrite("Tessel Token: (%zu characters)\n", std::strlen(s.token));
    ErrorLogWrite("Tessel Online Service: %s\n", s.service);
    ErrorLogWrite("Tessel Address: %s\n", s.address);
    ErrorLogWrite("Tessel Port: %s\n", s.port);
    ErrorLogWrite("Tessel Name: %s\n", s.name);
    ErrorLogWrite("Tessel Handle: %s\n", s.handle);
    s.present = 1;
}

void LoadUserSettings() {
    GetConfigString("user.dat", "main", "team", g_teamWord, sizeof g_teamWord, "None", 0);
    int number = 0;
    GetConfigInt("user.dat", "main", "number", &number, 0, 0);
    g_login.privilegeLevel = PrivilegeLevelFor(number, g_teamWord);
    if (g_login.privilegeLevel > 0) {
        int highlight = 0, invisible = 0;
        GetConfigInt("main.dat", "main", "highlight", &highlight, 0, 0);
        GetConfigInt("main.dat", "main", "invisible", &invisible, 0, 0);
        g_operatorFlags = (highlight ? 1 : 0) | (invisible ? kOperatorInvisible : 0);
    }
    GetConfigInt("user.dat", "main", "debug", &g_debugLevel, 0, 0);
}

void LoadConstants() {
    GetConfigString("main.dat", "main", "team", g_teamWord, sizeof g_teamWord, "None", 0);
    GetConfigString("main.dat", "main", "assumedname", g_login.assumedName, sizeof g_login.assumedName, "", 0);
    g_movementConstants = MovementConstants{};
    ErrorLogWrite("Constants Loaded.\n");
    LoadSocketConstants("main.dat");
}

void LoadTeamBackground() {
    const char* key = nullptr;
    switch (GetGameValue(4)) {
        case 1: key = "chaosbackfile"; break;
        case 0:
        case 2: key = "orderbackfile"; break;
        case 3: key = "balancebackfile"; break;
        default: return;
    }
    char value[kScreenFileNameSize];
    if (!GetConfigString("main.dat", "screens", key, value, sizeof value, nullptr, 0)) {
        ErrorLogWrite("No entry for %s in file: %s\n", key, "main.dat");
        ExitProcess(static_cast<UINT>(-1));
    }
    CopyText(g_screenFiles.gameBack, value);
}
