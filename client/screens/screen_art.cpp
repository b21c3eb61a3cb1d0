#include "client/screens/screen_art.h"

#include "client/screens/main_menu.h"
#include "client/screens/screen_surface.h"

namespace {

constexpr const char* kChatArt[] = {"chattms.pcx", "chatbtns.pcx", "chattabs.pcx", "arrwbtns.pcx"};
constexpr int kChatSlots[] = {SCREEN_IMAGE_CHATTMS, SCREEN_IMAGE_CHATBTNS, SCREEN_IMAGE_CHATTABS,
                              SCREEN_IMAGE_ARRWBTNS};
constexpr const char* kCharacterArt[] = {"charbtns.pcx", "charbtn2.pcx", "chartabs.pcx", "profbtns.pcx"};
constexpr int kCharacterSlots[] = {SCREEN_IMAGE_CHARBTNS, SCREEN_IMAGE_CHARBTN2, SCREEN_IMAGE_CHARTABS,
                                   SCREEN_IMAGE_PROFBTNS};
constexpr const char* kTileNames[] = {"tile0.pcx", "tile1.pcx", "tile2.pcx"};

template <size_t N>
void LoadSet(const char* const (&names)[N], const int (&slots)[N]) {
    for (size_t i = 0; i < N; ++i) {
        PcxImage& image = g_screen.Screen(slots[i]);
        image.FreePcx();
        LoadScreenArt(image, names[i]);
    }
}

template <size_t N>
void FreeSet(const int (&slots)[N]) {
    for (int slot : slots)
        g_screen.Screen(slot).FreePcx();
}

void Cell(int slot, int x, int y, int col, int cols, int row, int rows, int transparent) {
    g_screen.BlitImageCell(g_screen.Screen(slot), x, y, col, cols, row, rows, transparent);
}

}  // namespace

void LoadChatArt() { LoadSet(kChatArt, kChatSlots); }
void FreeChatArt() { FreeSet(kChatSlots); }
void LoadCharacterArt() { LoadSet(kCharacterArt, kCharacterSlots); }
void FreeCharacterArt() { FreeSet(kCharacterSlots); }

void LoadMapMarkerArt() {
    g_screen.Marker(MARKER_ARROW).FreePcx();
    g_screen.Marker(MARKER_NODE).FreePcx();
    g_screen.Marker(MARKER_ARROW).LoadPcx("arrow.pcx", PCX_HEAP, 1);
    g_screen.Marker(MARKER_NODE).LoadPcx("node.pcx", PCX_HEAP, 1);
}

void LoadPortraitArt() {
    PcxImage& image = g_screen.Screen(SCREEN_IMAGE_CHARPORT);
    image.FreePcx();
    LoadScreenArt(image, "charport.pcx");
}

void FreePortraitArt() { g_screen.Screen(SCREEN_IMAGE_CHARPORT).FreePcx(); }

void LoadTileArt() {
    for (int i = 0; i < 3; ++i)
        g_screen.LoadTileImage(i + 1, kTileNames[i]);
}

void FreeTileArt() {
    for (int i = 1; i <= 3; ++i)
        g_screen.Tile(i).FreePcx();
}

void FreeGameSessionArt() {
    g_screen.Screen(SCREEN_IMAGE_MAP).FreePcx();
    g_screen.Screen(SCREEN_IMAGE_SMALLMAP).FreePcx();
    for (PcxImage& marker : g_screen.markers)
        marker.FreePcx();
    for (PcxImage& art : g_screen.art)
        art.FreePcx();
}

void DrawLobbyButton(int x, int y, int button, int state) {
    Cell(SCREEN_IMAGE_CHATBTNS, x, y, state, 2, button, kLobbyButtonCount, 1);
}

void DrawTabCell(int x, int y, int tab, int state) {
    Cell(SCREEN_IMAGE_CHATTABS, x, y, state, kTabStates, tab, kTabCount, 1);
}

void DrawTeamPanel(int x, int y, int team, int state) { Cell(SCREEN_IMAGE_CHATTMS, x, y, state, 3, team - 1, 3, 1); }

void DrawArrowCell(int x, int y, int arrow, int state) {
    Cell(SCREEN_IMAGE_ARRWBTNS, x, y, state, 2, arrow, kArrowCount, 1);
}

void DrawProfessionCell(int x, int y, int profession, int state) {
    Cell(SCREEN_IMAGE_PROFBTNS, x, y, state, 2, profession, 4, 1);
}

void DrawPortraitCell(int x, int y, int column) { Cell(SCREEN_IMAGE_CHARPORT, x, y, column, 6, 0, 1, 0); }
