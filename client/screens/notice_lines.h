#pragma once
// The three notice lines of the arena HUD (kept in the screen surface): the newest on top, each
// shown for 5000 ms.

// Pushes the older lines down and puts the text (at most 50 characters) on top; an empty text is
// ignored.
void PushNoticeLine(const char* text);
