#pragma once
// The screen-art sets the screens load and free together (pictures kept in the screen surface's
// slots with their 16-bit copies), and the cells of the picture sheets: a cell (state column,
// item row) of a sheet drawn at x, y, transparent or opaque.

// Chat art: chattms.pcx (team panels), chatbtns.pcx (lobby buttons), chattabs.pcx (tabs),
// arrwbtns.pcx (arrows).
void LoadChatArt();
void FreeChatArt();
// Character art: charbtns.pcx, charbtn2.pcx, chartabs.pcx, profbtns.pcx.
void LoadCharacterArt();
void FreeCharacterArt();
// arrow.pcx and node.pcx, kept 8-bit for the overhead map.
void LoadMapMarkerArt();
void LoadPortraitArt();
void FreePortraitArt();
// tile0.pcx to tile2.pcx.
void LoadTileArt();
void FreeTileArt();
// What an arena game loaded: the map, the small map, the map markers and the art images.
void FreeGameSessionArt();

// ---- Cells ------------------------------------------------------------------------------------
constexpr int kLobbyButtonWidth = 70, kLobbyButtonHeight = 32;
constexpr int kTabCellWidth = 88, kTabCellHeight = 100;
constexpr int kTeamPanelWidth = 86, kTeamPanelHeight = 100;
constexpr int kArrowCellSize = 12;

// Rows of the lobby buttons sheet (2 states: 0 normal, 1 under the pointer).
enum LobbyButton {
    BUTTON_DETAILS, BUTTON_CLAIM, BUTTON_START, BUTTON_SIT, BUTTON_ENTER, BUTTON_BACK,
    BUTTON_JOIN, BUTTON_LEAVE, BUTTON_CREATE, BUTTON_CANCEL, BUTTON_HELP, BUTTON_EXIT,
    kLobbyButtonCount
};
// Tabs: 0 Arenas, 1 Tables, 2 Guilds, 3 Exit; states 0 normal, 1 current, 2 under the pointer.
enum { kTabCount = 4, kTabStates = 4 };
// Arrows: 0 right (the selection mark), 1 left, 2 up, 3 down; states 0 normal, 1 lit.
enum { kArrowCount = 4 };

void DrawLobbyButton(int x, int y, int button, int state);
void DrawTabCell(int x, int y, int tab, int state);
// Team 1..3; states 0 open, 1 chosen, 2 closed.
void DrawTeamPanel(int x, int y, int team, int state);
void DrawArrowCell(int x, int y, int arrow, int state);
// Profession 0..3; states 0 normal, 1 chosen.
void DrawProfessionCell(int x, int y, int profession, int state);
// Portrait column 0..5, 90 x 90, opaque.
void DrawPortraitCell(int x, int y, int column);
