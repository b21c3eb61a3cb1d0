#pragma once
// The window system's core: the table of 50 windows in z-order (index 0 in front), the hit test
// and dispatch of pointer events, hover, the captured window, the tooltip on timer 201, the
// tooltip and pop-up overlays drawn over the back buffer around each presentation, its own
// fonts, and text and fills into DirectDraw surfaces.
//
// The window system alone owns the open pop-up menu: owners keep a handle (gwsPopupHandle) and
// find the menu through it, so a menu closed by a click elsewhere is never reached again.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/ddraw/ddraw.h"

class gwsWindow;
class gwsMenu;

constexpr int kGwsWindowCount = 50;
constexpr int kGwsMaxUsed = 49;
constexpr int kGwsFontCount = 10;
constexpr uint16_t kGwsColourKey = 0xFFFF;

// Window flags.
constexpr int32_t GWS_NO_POINTER = 0x40;
constexpr int32_t GWS_NO_POINTER2 = 0x100;
constexpr int32_t GWS_DRAGGABLE = 0x20;
constexpr int32_t GWS_DRAG_LOWER_BOUND = 0x800;

// gwsMoveWindow flags.
constexpr int32_t GWS_MOVE_KEEP_POSITION = 0x40;
constexpr int32_t GWS_MOVE_KEEP_SIZE = 0x20;
constexpr int32_t GWS_MOVE_TO_FRONT = 0x01;

struct gwsWindowEntry {
    gwsWindow* window;
    int32_t id, x, y, width, height;
    int32_t reserved;
    int32_t flags;
};

struct gwsFont {
    int32_t height = 0;
    int32_t size = 0;
    int32_t width = 0;
    std::unique_ptr<uint8_t[]> glyphs;  // height x 256 bytes
};

extern gwsWindowEntry gwsWindowTable[kGwsWindowCount];
extern int gwsWindowCount;  // entries in use (a high-water mark)
extern gwsFont gwsFontTable[kGwsFontCount];
// The messages the window system would log (gwsLog discards them; tests read the last one).
extern char gwsLastLog[256];

// ---- Start and end ----
int gwsInit(const char* configFile);
void gwsShutdown();
void gwsLog(const char* message);

// ---- Table ----
int gwsRegisterWindow(gwsWindow* window);
int gwsAllocWindowSlot();
int gwsFindWindowSlot(const gwsWindow* window);
// 1 when removed; 0 for an unknown window or the one whose handler is running.
int gwsDeleteWindow(gwsWindow* window);
// The index before the move, -1 when not in the table.
int gwsMoveWindow(gwsWindow* window, int x, int y, int w, int h, int flags);
void gwsSetActiveWindow(gwsWindow* window);
void gwsClearActiveWindow();
gwsWindow* gwsGetActiveWindow();
gwsWindow* gwsHoveredWindow();
gwsWindow* gwsWindowInCallback();

// ---- Pointer events ----
// kind: -1 move, 0/1/2 left press/release/double, 3/4/5 right; middle kinds are not dispatched.
void gwsMouseMove(int x, int y, int kind, int buttons);
void gwsOnToolTipTimer();

// ---- Overlays ----
void gwsDrawToolTip(const char* text, int x, int y, int font, int style, int colour, int background);
int gwsShowToolTipAt(int x, int y, RECT* rect);
void gwsRestoreToolTip();
int gwsDrawPopup(RECT* rect);
void gwsRestorePopup();
void gwsReleaseToolTipSurface();
bool gwsToolTipShown();
bool gwsToolTipPending();
gwsWindow* gwsToolTipWindow();

// ---- The pop-up menu ----
// A ticket for the open pop-up: 0 none. A menu closed meanwhile answers null.
using gwsPopupHandle = uint32_t;
gwsMenu* gwsPopupMenu();
gwsPopupHandle gwsPopupTicket();
gwsMenu* gwsFindPopup(gwsPopupHandle handle);
// Destroys the open pop-up when the handle still names it.
void gwsClosePopup(gwsPopupHandle handle);
// For gwsMenu: the menu becomes (null: stops being) the pop-up.
void gwsSetPopup(gwsMenu* menu);
// For window destructors: leaves the table whatever the guards say.
void gwsForgetWindow(gwsWindow* window);
// The menu's sprite surface (4 frames side by side), made by its first Draw.
extern IDirectDrawSurface* gwsPopupSurface;

// ---- Fonts and drawing ----
// 0; -1 no numfonts, -2 no height, -3 no size, -4 a font file that cannot be read.
int gwsLoadFonts(const char* file);
std::unique_ptr<uint8_t[]> gwsLoadFontFile(const char* path, size_t bytes);
// One glyph into pixels of the given pitch (bytes), at most clipW x clipH pixels from dest.
void gwsDrawGlyphs(uint16_t* dest, int pitch, int c, uint16_t pixel, int style, int font, int clipW, int clipH);
void gwsDrawText(int x, int y, const char* text, uint16_t pixel, int style, IDirectDrawSurface* surface, int font);
// Width and height gwsDrawText covers for the text.
int gwsTextWidth(const char* text, int style, int font);
int gwsTextHeight(int style, int font);
void gwsFillRect(IDirectDrawSurface* surface, RECT* rect, uint16_t pixel);
// An off-screen system-memory surface of the display's format, or null.
IDirectDrawSurface* gwsCreateSurface(int width, int height);
