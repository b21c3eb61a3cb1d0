#pragma once
// The arena HUD's texts kept in the screen surface: the status text under the view and the three
// notice lines (the newest on top, each shown for 5000 ms). Each is drawn again only when it
// changed since it was last drawn, and then marks its HUD panel.

// HUD panels the texts are shown in.
constexpr int kStatusTextPanel = 7;
constexpr int kNoticeLinesPanel = 8;

// The font colour of a team: 0 -> 5, 1 -> 1, 2 -> 2, 3 -> 3, any other -> 0.
int TeamColorIndex(int team);

// Pushes the older lines down and puts the text (at most 50 characters) on top; an empty text is
// ignored.
void PushNoticeLine(const char* text);
// Ages the lines by elapsed ms (a line at 0 or below is emptied) and draws them centred in the
// box 192, 352, 256 x 48, down to the first empty one.
void DrawNoticeLines(int elapsed);

// The status text (at most 50 characters) and its colour; an empty text clears both.
void SetStatusText(const char* text, int colour);
// Draws the status text centred in 0, 200, 256 x 16 when it differs from the one drawn last.
void DrawStatusText();

// The in-game page is drawn again at its next turn.
void RequestPageRedraw();
