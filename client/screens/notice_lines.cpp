#include "client/screens/notice_lines.h"

#include <cstring>

#include "client/present/present_services.h"
#include "client/screens/fonts.h"
#include "client/screens/screen_surface.h"
#include "common/text.h"

namespace {

constexpr int kStatusFont = 7;
constexpr int kNoticeFont = 3;
constexpr int kNoticeColour = 0;
constexpr int kNoticeLineHeight = 16;

void DrawCentred(int x, int y, int w, int colour, const char* text, int font) {
    DrawText(x + (w - TextWidth(text, font)) / 2, y, colour, text, 0, g_screen.backBuffer, font, 0);
}

}  // namespace

int TeamColorIndex(int team) {
    switch (team) {
        case 0: return 5;
        case 1: return 1;
        case 2: return 2;
        case 3: return 3;
        default: return 0;
    }
}

void PushNoticeLine(const char* text) {
    if (!text || !*text)
        return;
    ScreenSurface& s = g_screen;
    for (int i = 2; i > 0; --i) {
        std::memcpy(s.noticeLines[i], s.noticeLines[i - 1], sizeof s.noticeLines[i]);
        s.noticeTimers[i] = s.noticeTimers[i - 1];
        s.noticeTimers2[i] = s.noticeTimers2[i - 1];
    }
    CopyText(s.noticeLines[0], 51, text);
    s.noticeTimers[0] = 5000;
    s.noticeTimers2[0] = 5000;
}

void DrawNoticeLines(int elapsed) {
    ScreenSurface& s = g_screen;
    if (s.backBuffer)
        s.FillRect16(192, 352, 256, 48, MakePixel16(0, 0, 0));
    bool changed = false;
    for (int i = 0; i < 3; ++i) {
        s.noticeTimers[i] -= elapsed;
        if (s.noticeTimers[i] <= 0) {
            s.noticeTimers[i] = 0;
            s.noticeLines[i][0] = 0;
        }
        if (std::strcmp(s.noticeLines[i], s.drawnNotices[i]) != 0) {
            std::memcpy(s.drawnNotices[i], s.noticeLines[i], sizeof s.drawnNotices[i]);
            changed = true;
        }
    }
    if (s.backBuffer)
        for (int i = 0; i < 3 && s.noticeLines[i][0]; ++i)
            DrawCentred(192, 352 + i * kNoticeLineHeight, 256, kNoticeColour, s.noticeLines[i], kNoticeFont);
    if (changed)
        SetPanelRedrawFlag(kNoticeLinesPanel, 1);
}

void SetStatusText(const char* text, int colour) {
    ScreenSurface& s = g_screen;
    if (!text || !*text) {
        s.statusText[0] = 0;
        s.statusLength = 0;
        s.statusColour = 0;
        return;
    }
    CopyText(s.statusText, text);
    s.statusLength = static_cast<int32_t>(std::strlen(s.statusText));
    s.statusColour = colour;
}

void DrawStatusText() {
    ScreenSurface& s = g_screen;
    if (std::strcmp(s.statusText, s.drawnStatus) == 0)
        return;
    if (s.backBuffer) {
        s.FillRect16(0, 200, 256, 16, MakePixel16(0, 0, 0));
        DrawCentred(0, 200, 256, s.statusColour, s.statusText, kStatusFont);
    }
    CopyText(s.drawnStatus, s.statusText);
    SetPanelRedrawFlag(kStatusTextPanel, 1);
}

void RequestPageRedraw() { g_screen.pageRedraw = 1; }
