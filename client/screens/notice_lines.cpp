#include "client/screens/notice_lines.h"

#include <cstring>

#include "common/text.h"

NoticeLine NoticeLines[kNoticeLines];

void PushNoticeLine(const char* text) {
    if (!text || !*text)
        return;
    NoticeLines[2] = NoticeLines[1];
    NoticeLines[1] = NoticeLines[0];
    CopyText(NoticeLines[0].text, text);
    NoticeLines[0].length = static_cast<int32_t>(std::strlen(NoticeLines[0].text));
    NoticeLines[0].time = 5000;
}

void ClearNoticeLines() {
    std::memset(NoticeLines, 0, sizeof NoticeLines);
}
