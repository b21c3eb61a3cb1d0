#include "client/screens/notice_lines.h"

#include <cstring>

#include "client/screens/screen_surface.h"
#include "common/text.h"

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
