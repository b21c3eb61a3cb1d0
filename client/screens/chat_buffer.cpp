#include "client/screens/chat_buffer.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "client/core/error_log.h"
#include "client/core/game_values.h"
#include "client/core/screen_state.h"
#include "client/net/client_tables.h"
#include "client/present/present_services.h"
#include "client/screens/fonts.h"
#include "client/screens/notice_lines.h"
#include "common/text.h"
#include "platform/fs/fs.h"

ChatRing ChatBuffer;
int g_debugLevel = 0;

namespace {

int chatLogging = 0;
FILE* chatLog = nullptr;

struct LineStyle {
    char tag[64];
    int tagColor;
    int textColor;
};

LineStyle StyleOf(int source, int color, int flags) {
    const bool sysop = GetGameValue(3) != 0;
    LineStyle s{};
    auto tagged = [&](const char* tag, int colour) {
        FormatText(s.tag, sizeof s.tag, "%s: ", tag);
        s.tagColor = s.textColor = colour;
    };
    switch (source) {
        case MSG_SYSTEM: s.tagColor = s.textColor = 5; return s;
        case MSG_ALL: tagged("[ALL]", sysop ? 0 : 4); return s;
        case MSG_YOU: tagged("[YOU]", sysop ? 0 : 4); return s;
        case MSG_DRAGON: tagged("[Dragon]", 1); return s;
        case MSG_GRYPHON: tagged("[Gryphon]", 2); return s;
        case MSG_PHOENIX: tagged("[Phoenix]", 3); return s;
        case MSG_SERVICE: tagged("[Srv]", 6); return s;
        default: break;
    }
    const int i = FindPlayerIndex(source);
    const PlayerTableEntry* p = i > 0 ? &PlayerTable[i] : nullptr;
    const PlayerName plain = p ? PlayerName(*p) : PlayerName(PlayerTableEntry{});
    char name[40] = "";
    if (sysop)
        FormatText(name, sizeof name, "[%d]%s", source, plain.c_str());
    else
        CopyText(name, plain.c_str());
    const bool oper = p && (p->flags & 0x7F) != 0;
    if (flags & kMessageTo) {
        FormatText(s.tag, sizeof s.tag, "[to %s]: ", name);
        s.tagColor = s.textColor = sysop ? 0 : 4;
    } else if (flags & kMessageFrom) {
        FormatText(s.tag, sizeof s.tag, "[from %s]: ", p ? name : "");
        if (oper) {
            s.tagColor = s.textColor = 0;
        } else {
            s.textColor = 4;
            s.tagColor = TeamColorIndex(p ? p->team : -1);
        }
    } else {
        FormatText(s.tag, sizeof s.tag, "%s: ", name);
        if (oper) {
            s.tagColor = s.textColor = 0;
        } else {
            s.textColor = color >= 1 && color <= 3 ? color : 4;
            s.tagColor = TeamColorIndex(p ? p->team : -1);
        }
    }
    return s;
}

void StoreLine(const char* tag, int tagColor, const char* text, int textColor) {
    ChatLine& line = ChatBuffer.lines[ChatBuffer.write];
    CopyText(line.tag, tag);
    CopyText(line.text, text);
    line.tag_color = tagColor;
    line.text_color = textColor;
    ChatBuffer.write = (ChatBuffer.write + 1) % kChatLines;
    if (ChatBuffer.write == ChatBuffer.start)
        ChatBuffer.start = (ChatBuffer.start + 1) % kChatLines;
}

// A line too wide for the console goes on as a second line under a blank tag.
void StoreWrapped(const char* tag, int tagColor, const char* text, int textColor) {
    const int limit = g_screenState == 1 ? 256 : 430;
    char storedTag[kChatTagSize];
    CopyText(storedTag, tag);
    const int tagWidth = TextWidth(storedTag, 1);
    if (tagWidth + TextWidth(text, 1) <= limit) {
        StoreLine(storedTag, tagColor, text, textColor);
        return;
    }
    char first[kChatTextSize];
    CopyText(first, text);
    size_t n = std::strlen(first);
    while (n > 0 && tagWidth + TextWidth(first, 1) > limit)
        first[--n] = '\0';
    StoreLine(storedTag, tagColor, first, textColor);
    StoreLine("       ", tagColor, text + n, textColor);
}

// The local date and time in the standard asctime form, line end included.
bool LocalTimeText(char* out, size_t size) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (now == static_cast<std::time_t>(-1) || !localtime_r(&now, &local))
        return false;
    return std::strftime(out, size, "%a %b %e %H:%M:%S %Y\n", &local) > 0;
}

}  // namespace

void PrintMessage(int source, const char* text, int color, int flags) {
    if (!text)
        text = "";
    const LineStyle style = StyleOf(source, color, flags);
    StoreWrapped(style.tag, style.tagColor, text, style.textColor);
    ++ChatBuffer.count;
    if (g_debugLevel == 2)
        ErrorLogWrite("DEBUG: %s\n", text);
    if (chatLogging && chatLog) {
        std::fprintf(chatLog, "%s %s\n", style.tag, text);
        std::fflush(chatLog);
    }
    SetPanelRedrawFlag(kChatPanel, 1);
}

void ClearChatBuffer() {
    std::memset(ChatBuffer.lines, 0, sizeof ChatBuffer.lines);
    ChatBuffer.write = 0;
    ChatBuffer.start = 0;
}

void PrintDebug(const char* format, ...) {
    if (g_debugLevel != 2)
        return;
    char text[512];
    va_list args;
    va_start(args, format);
    FormatTextV(text, sizeof text, format, args);
    va_end(args);
    PrintMessage(MSG_SYSTEM, text, 44, 0);
}

void OpenChatLog() {
    PrintMessage(MSG_SYSTEM, "Chat Logging Enabled to file: CHAT.LOG", 222, 0);
    chatLogging = 1;
    if (chatLog)
        std::fclose(chatLog);
    chatLog = platform::OpenGameFile("chat.log", "a+");
    if (!chatLog)
        return;
    char when[64];
    if (LocalTimeText(when, sizeof when))
        std::fprintf(chatLog, "\n*** Chat Log Opened: %s\n", when);
    else
        std::fprintf(chatLog, "\n*** Chat Log Opened.\n");
    for (int k = 0; k < kChatLines; ++k) {
        const ChatLine& line = ChatBuffer.lines[(ChatBuffer.write + k) % kChatLines];
        if (line.tag[0] || line.text[0])
            std::fprintf(chatLog, "%s %s\n", line.tag, line.text);
    }
    std::fflush(chatLog);
    ChatBuffer.write = (ChatBuffer.write + 1) % kChatLines;
    if (ChatBuffer.write == ChatBuffer.start)
        ChatBuffer.start = (ChatBuffer.start + 1) % kChatLines;
}

void CloseChatLog() {
    if (chatLog) {
        char when[64];
        if (LocalTimeText(when, sizeof when))
            std::fprintf(chatLog, "\n*** Chat Log Closed: %s\n\n", when);
        else
            std::fprintf(chatLog, "\n*** Chat Log Closed.\n\n");
        std::fclose(chatLog);
        chatLog = nullptr;
    }
    chatLogging = 0;
    PrintMessage(MSG_SYSTEM, "Chat Logging Disabled", 222, 0);
}

void ToggleChatLog() {
    if (chatLogging)
        CloseChatLog();
    else
        OpenChatLog();
    SetPanelRedrawFlag(kChatPanel, 1);
}

int IsChatLogging() { return chatLogging; }
