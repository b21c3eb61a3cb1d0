#pragma once
// The arena HUD's texts and the chat screens' boxes, each drawn into its own rectangle of the
// back buffer and then marking its HUD panel or queueing its rectangle.

struct ScreenRect;

// Text drawn into the back buffer with only the box's pixels changed, whatever the font's size.
// Style 0 writes whole glyph cells; style 1 only the ink.
void DrawClippedText(const ScreenRect& box, int x, int y, int colour, const char* text, int font, int style = 0);

// HUD panels the texts are copied into.
constexpr int kTargetLinePanel = 0;
constexpr int kExperiencePanel = 3;
constexpr int kMatchClockPanel = 18;

// While on, the target line shows the five readied slots of the current group.
extern int SpellGroupDisplay;

// The small map's briefing lines, filled by the small-map screen.
constexpr int kSmallMapLines = 28;
constexpr int kSmallMapLineSize = 81;
extern char SmallMapText[kSmallMapLines][kSmallMapLineSize];

// 1 while the arena screen's layout is in use, else the chat screen's.
bool ArenaLayout();

void DrawMatchClock();
// Only at debug level 1: the loss percentage and the second link counter.
void DrawLinkStats(int x, int y);
void DrawPlayerPanel();
void DrawExperienceLine();
void DrawTargetLine();
// The visible console lines before the scroll-back offset; at most limit lines when limit > 0.
void DrawChatBuffer(int limit);
void DrawSmallMapPanel();
