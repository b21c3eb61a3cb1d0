#pragma once
// Boxes drawn over any screen: the centred notice banner and the chat box with the console's
// last lines.

// A box as wide as the text plus 20 and 40 high, centred at x + 310, y + 220, tiled with the
// panel background, framed, with the text in font 5; queued.
void DrawBanner(const char* text, int x, int y);
// The box 170, 450, 460 x 130 with the last seven console lines in font 0; queued.
void DrawChatBox();
