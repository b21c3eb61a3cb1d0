#pragma once
// The chat line: what the user types in the arena, the Tavern and the other screens with a chat
// line, sent as chat to everybody, the own team or one player, or run as a command.

struct LocalPlayer;

constexpr int kChatTargetAll = 13;
constexpr int kChatTargetTeam = 10;
// The chat entry line's HUD panel.
constexpr int kChatEntryPanel = 6;

// Where a plain arena line goes: all (the start) or the own team; kept for the run.
extern int DefaultChatTarget;
// Set by the lobby and game input: the first word of every line names the receiver.
extern int PrivateChatMode;

// The chat line opens for talking (0) or with its first word naming the receiver (1).
void OpenChatLine(int privateMode);
// Once a frame of a screen with a chat line.
void DoChatInput(LocalPlayer* player);
// The line being typed with its target's prefix and a cursor: targets 1 to 3 "TEAM:  ", 4
// "ALL:  ", 5 "/"; the beginning gives way while it is too wide for the box.
void DrawChatEntryLine(int target);
