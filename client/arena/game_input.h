#pragma once
// The arena frame's input: the player's movement, then casting, use, readied spells, function
// keys, HUD lists and their click regions, and what the cells the player stands on say.

#include <cstdint>

struct LocalPlayer;
struct PlayerControl;
struct ArenaMatch;

constexpr int kTeamNameSize = 15;
extern const char TeamNames[4][kTeamNameSize];

// Selection state of the HUD lists.
extern int HudListMode;    // 2 spell lists, 3 spells of a list, 6 readied spells
extern int HudListIndex;   // 0..9
extern int HudSpellIndex;  // 0..14
extern int ConsoleScroll;  // 0..95
extern int HudListOffset;  // 0..470
extern int ViewBorder;     // 0..48
extern int MapShown;
extern int ViewerLightOn;
extern int32_t ViewerLightLock;  // 0.1 ms
extern int LastCellSound, LastCellCode;
extern int TargetPlayerId;
// The function key that switches between the eye view and the view from behind (F3: no action
// can be bound to it, so it never does two things).
constexpr int kViewModeKey = 3;
// The arena the player is in (index into ArenaTable), -1 none.
extern int CurrentArena;

// The current arena's match record, or null.
const ArenaMatch* CurrentMatch();
// Sets the list mode and rebuilds the list rows' click regions (group 33: the nine spell lists of
// mode 2, 34: the 13 spells of mode 3, 32: the ten readied groups of mode 6), then the page.
void SetHudListMode(LocalPlayer& player, int mode);
// The escape region's click comes back in control.escape for the loop to read.
void HandleGameInput(LocalPlayer& player, PlayerControl& control, int flags);
// The use key. 1 when it acted.
int UseTriggerAhead(LocalPlayer& player);
// Puts the selected spell of the selected list into the current readied slot.
void ReadySelectedSpell(LocalPlayer& player);
