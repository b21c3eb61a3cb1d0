#pragma once
// The in-game pages beside the arena view: the operators' player list (or the help page) on the
// left, and the selected page: spell lists, a list's levels, the overhead map, the teams or the
// readied spells.

#include <cstdint>

#include "client/screens/player_rows.h"

// The player list's HUD panel.
constexpr int kPlayerListPanel = 11;
constexpr int kTeamsPanel = 5;
constexpr int kPlayerListShown = 24;

struct PlayerListRow {
    char name[32];
    int32_t id;          // -1 - team for a group's header row
    int32_t profession;
    int32_t level;
    int32_t marker;      // 6 dead, else the team
    int32_t link;        // the ping (x 10) or, for the player, the loss percentage / 10
    int32_t header;      // 1 for a group's header row (offline the own id is -1 too)
};

// 1 shows the help page in place of the player list.
extern int HelpPageShown;

// Fills list (kPlayerRowCapacity rows) and returns the number of rows.
int BuildPlayerList(PlayerListRow* list);
void DrawGameopsPage();
void DrawHelpPage();
void DrawReadiedSpellsPage();
void DrawSpellListsPage();
void DrawLevelPage();
void DrawTeamsPage();
// Draws the selected page when a redraw was asked for (or force), then clears the request.
void ShowGamePage(int elapsed, int force);
