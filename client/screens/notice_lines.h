#pragma once
// The three notice lines of the arena HUD: the newest on top, each shown for 5000 ms.

#include <cstdint>

constexpr int kNoticeLines = 3;
constexpr int kNoticeTextSize = 51;  // 50 characters

struct NoticeLine {
    char text[kNoticeTextSize];
    int32_t length;
    int32_t time;  // ms left
};

extern NoticeLine NoticeLines[kNoticeLines];

// Pushes the older lines down and puts the text on top; an empty text is ignored.
void PushNoticeLine(const char* text);
void ClearNoticeLines();
