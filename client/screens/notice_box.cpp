#include "client/screens/notice_box.h"

#include <algorithm>
#include <cstdio>

#include "client/screens/chat_buffer.h"
#include "client/screens/fonts.h"
#include "client/screens/screen_surface.h"

namespace {

// The panel background: the first tile, or black without one.
void PanelBox(int x, int y, int w, int h) {
    g_screen.FillRect16(x, y, w, h, 0);
    if (g_screen.Tile(1).Pixels16())
        g_screen.TileFillFromImage(x, y, w, h, g_screen.Tile(1));
    g_screen.DrawBevelFrame(x, y, w, h, 2);
    g_screen.QueueDirtyRect(x, y, w, h, 1);
}

}  // namespace

void DrawBanner(const char* text, int x, int y) {
    constexpr int kFont = 5;
    const int w = TextWidth(text, kFont) + 20, h = 40;
    const int left = x + 310 - w / 2, top = y + 220;
    PanelBox(left, top, w, h);
    DrawText(left + 10, top + (h - FontTable[kFont].height) / 2, 0, text, 0, g_screen.backBuffer, kFont, 0);
}

void DrawChatBox() {
    constexpr int kX = 170, kY = 450, kW = 460, kH = 130, kLines = 7, kFont = 0;
    PanelBox(kX, kY, kW, kH);
    const int shown = std::min(kLines, std::min(ChatBuffer.count, kChatLines));
    const int lineHeight = std::max(FontTable[kFont].height, 1) + 2;
    for (int i = 0; i < shown; ++i) {
        const ChatLine& line = ChatBuffer.lines[((ChatBuffer.write - shown + i) % kChatLines + kChatLines) % kChatLines];
        char text[61];
        std::snprintf(text, sizeof text, "%s", line.text);
        DrawText(kX + 8, kY + 8 + i * lineHeight, line.text_color, text, 0, g_screen.backBuffer, kFont, 0);
    }
}
