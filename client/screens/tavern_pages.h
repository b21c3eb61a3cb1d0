#pragma once
// The Tavern's drawing: the player column on the left (every player of the service grouped by
// where they are), the current lobby page on the right, the tab bar and the status line. The
// pages only read the client tables and the Tavern state.

#include "client/screens/player_rows.h"

// Region groups of the Tavern (the region's id is the index within its group).
enum TavernRegion {
    REGION_TABS = 10,
    REGION_EXIT = 11,
    REGION_ROWS = 12,
    REGION_BUTTON_13 = 13,
    REGION_BUTTON_14 = 14,
    REGION_BUTTON_15 = 15,
    REGION_BUTTON_16 = 16,
    REGION_TEAMS = 17,
    REGION_BACK = 20,
    REGION_RANGES = 21,
};

constexpr int kTavernShownRows = 46;
constexpr int kTavernFirstRowMax = 455;

// Header rows' group codes.
enum { GROUP_GAMEOPS = -1, GROUP_PARLOR = -2, GROUP_AT_TABLE = -3, GROUP_YOUR_TABLE = -4, GROUP_IN_MATCH = -5 };

void DrawTavernPage();
// The player column (x 5 to 205).
void DrawTavernHeader();
// The rows of the player column into rows (room for kPlayerRowCapacity); the number of rows.
int BuildTavernPlayerRows(PlayerRow* rows);
// The text of a location in the place column; empty when it names nothing known.
void PlaceText(int location, char* out, int size);
void DrawTavernTabs();
void DrawTavernStatusLine(int x, int y, bool centred);
void DrawArenaList(int selected);
void DrawArenaDetails(int selected, int team);
void DrawTableList(int selected);
void DrawStartMatchPage(int entry);
void DrawTableDetails(int selected);
void DrawNewTablePage(int type);
// Stores the lobby indicator; queues its rectangle when it changed or when forced.
void SetTavernIndicator(int value, int force);
// Seconds an arena's match has run, -1 when it has no start.
int ArenaRunningSeconds(int n);
