#include "client/screens/chat_buffer.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "client/core/error_log.h"
#include "client/core/screen_state.h"
#include "client/screens/fonts.h"
#include "common/text.h"

ChatRing ChatBuffer;
int g_debugLevel = 0;

namespace {

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
    const int tagWidth = TextWidth(tag, 1);
    if (tagWidth + TextWidth(text, 1) <= limit) {
        StoreLine(tag, tagColor, text, textColor);
        return;
    }
    char first[kChatTextSize * 4];
    CopyText(first, text);
    size_t n = std::strlen(first);
    while (n > 0 && tagWidth + TextWidth(first, 1) > limit)
        first[--n] = '\0';
    StoreLine(tag, tagColor, first, textColor);
    StoreLine("       ", tagColor, text + n, textColor);
}

}  // namespace

void PrintMessage(int source, const char* text, int color, int flags) {
    (void)flags;
    (void)color;
    if (!text)
        text = "";
    // The system source has no tag and the system colour; the other sources come with the chat.
    if (source == MSG_SYSTEM)
        StoreWrapped("", 5, text, 5);
    ++ChatBuffer.count;
    if (g_debugLevel == 2)
        ErrorLogWrite("DEBUG: %s\n", text);
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
