#pragma once
// The Tavern's input, once a frame of the chat screen: the last click and double click on its
// regions and the frame's keys change the Tavern state, send the lobby requests and tell the
// console what happened.

#include <cstdint>

struct PlayerControl;

// What the lobby input asks of the chat screen's loop.
struct ChatScreenRecord {
    int32_t leave = 0;        // Exit was clicked
    int32_t enterArena = 0;   // an arena was chosen; enterPort holds its port
    int32_t enterPort = 0;
    int32_t modal = 0;        // while set, clicks change nothing
};

void TavernInput(ChatScreenRecord& screen, const PlayerControl& control);
// Sets the page, rebuilds its click regions and draws it.
void SetTavernPage(int page);
// Moves the player to lobby table index (0 the main Tavern): 1, or 0 when not allowed.
int SitAtTable(int index);
// The next / previous arena entry after the selected one that may be selected (wrapping); the
// selected one when there is no other.
int NextSelectableArena();
int PrevSelectableArena();
// The chat screen's opening of the lobby: the Exit and tab regions, page 1 and the indicator.
void OpenTavern();
