#include "client/screens/gws_core.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "client/core/config_file.h"
#include "client/driver/message_pump.h"
#include "client/screens/gws_window.h"
#include "client/screens/screen_surface.h"

gwsWindowEntry gwsWindowTable[kGwsWindowCount];
int gwsWindowCount = 0;
gwsFont gwsFontTable[kGwsFontCount];
char gwsLastLog[256];
IDirectDrawSurface* gwsPopupSurface = nullptr;

namespace {

gwsWindowEntry g_template;
gwsWindow* g_active = nullptr;
gwsWindow* g_inCallback = nullptr;
// Held by identity, so a window keeps its hover and tooltip when another is moved in front.
gwsWindow* g_hovered = nullptr;
char g_configFile[260];
IDirectDraw2* g_gwsDraw = nullptr;
IDirectDrawSurface* g_gwsBack = nullptr;

// The pop-up, owned here.
gwsMenu* g_popup = nullptr;
gwsPopupHandle g_popupTicket = 0;
gwsPopupHandle g_nextTicket = 0;
RECT g_popupRect{};
bool g_popupSaved = false;

struct ToolTip {
    gwsWindow* window = nullptr;
    bool pending = false;
    bool shown = false;
    bool timer = false;
    POINT anchor{};
    RECT rect{};
    bool saved = false;  // what lies under it is held in the surface's lower half
    int width = 0, height = 0;
    IDirectDrawSurface* surface = nullptr;
};
ToolTip g_tip;

void KillToolTipTimer() {
    if (g_tip.timer && g_mainWindow)
        KillTimer(g_mainWindow, kToolTipTimer);
    g_tip.timer = false;
}

void CancelToolTip() {
    g_tip.pending = false;
    KillToolTipTimer();
    g_tip.window = nullptr;
}

void TakeDownToolTip() {
    g_tip.shown = false;
    g_tip.saved = false;
    gwsReleaseToolTipSurface();
}

void StartToolTip(gwsWindow* target) {
    g_tip.window = target;
    g_tip.pending = true;
    if (target->tipDelay == 0) {
        gwsOnToolTipTimer();
    } else if (g_mainWindow) {
        SetTimer(g_mainWindow, kToolTipTimer, static_cast<UINT>(target->tipDelay), nullptr);
        g_tip.timer = true;
    }
}

bool Contains(const gwsWindowEntry& e, int x, int y) {
    return x >= e.x && x <= e.x + e.width && y >= e.y && y <= e.y + e.height;
}

// Blt with the asynchronous flag; keyed blits use the source's colour key, 0xFFFF.
void Copy(IDirectDrawSurface* to, RECT* toRect, IDirectDrawSurface* from, RECT* fromRect, bool keyed) {
    if (!to || !from)
        return;
    DWORD flags = DDBLT_ASYNC;
    if (keyed) {
        DDCOLORKEY key{kGwsColourKey, kGwsColourKey};
        from->SetColorKey(DDCKEY_SRCBLT, &key);
        flags |= DDBLT_KEYSRC;
    }
    to->Blt(toRect, from, fromRect, flags, nullptr);
}

void FreeFonts() {
    for (gwsFont& f : gwsFontTable)
        f = gwsFont{};
}

const gwsFont* Font(int font) {
    if (font < 0 || font >= kGwsFontCount || !gwsFontTable[font].glyphs)
        return nullptr;
    return &gwsFontTable[font];
}

int Margin(int style) { return ((style & 4) ? 2 : 0) + ((style & 128) ? 4 : 0); }

}  // namespace

// ---- Start and end ---------------------------------------------------------------------------------

int gwsInit(const char* configFile) {
    g_hovered = nullptr;
    g_gwsDraw = g_directDraw2;
    g_gwsBack = g_backSurface;
    g_active = nullptr;
    g_inCallback = nullptr;
    std::snprintf(g_configFile, sizeof(g_configFile), "%s", configFile ? configFile : "");
    std::memset(gwsWindowTable, 0, sizeof(gwsWindowTable));
    gwsWindowCount = 0;
    g_template = gwsWindowEntry{};
    g_tip = ToolTip{};
    gwsLog("Built Sprite buffer successfully.");
    gwsLoadFonts(g_configFile);
    return 0;
}

void gwsShutdown() {
    FreeFonts();
    // Only the pop-up belongs to the window system; the other windows belong to their screens,
    // which destroy them, so here they only leave the table.
    if (g_popup) {
        gwsMenu* popup = g_popup;
        delete popup;
    }
    std::memset(gwsWindowTable, 0, sizeof(gwsWindowTable));
    gwsWindowCount = 0;
    g_hovered = nullptr;
    g_active = nullptr;
    CancelToolTip();
    TakeDownToolTip();
    ReleaseAndClear(gwsPopupSurface);
}

void gwsLog(const char* message) { std::snprintf(gwsLastLog, sizeof(gwsLastLog), "%s\n", message); }

// ---- Table -----------------------------------------------------------------------------------------

int gwsRegisterWindow(gwsWindow* window) {
    g_template = gwsWindowEntry{window, window->id, window->x, window->y, window->width, window->height, 0,
                                window->flags};
    return gwsAllocWindowSlot();
}

int gwsAllocWindowSlot() {
    if (gwsWindowCount >= kGwsWindowCount)
        return -1;
    for (int i = 0; i < gwsWindowCount; ++i) {
        if (!gwsWindowTable[i].window) {
            gwsWindowTable[i] = g_template;
            return i;
        }
    }
    if (gwsWindowCount < kGwsMaxUsed) {
        gwsWindowTable[gwsWindowCount] = g_template;
        return gwsWindowCount++;
    }
    return -1;
}

int gwsFindWindowSlot(const gwsWindow* window) {
    if (!window)
        return -1;
    for (int i = 0; i < gwsWindowCount; ++i)
        if (gwsWindowTable[i].window == window)
            return i;
    return -1;
}

int gwsDeleteWindow(gwsWindow* window) {
    const int index = gwsFindWindowSlot(window);
    if (index < 0) {
        gwsLog("Attempting to delete non-existant window.");
        return 0;
    }
    if (window == g_inCallback) {
        gwsLog("Aborting attempt to delete a Window from within it's Callback!");
        return 0;
    }
    if (window->pressed || g_active == window)
        g_active = nullptr;
    if (g_hovered == window)
        g_hovered = nullptr;
    if (g_tip.window == window) {
        CancelToolTip();
        TakeDownToolTip();
    }
    gwsWindowTable[index] = gwsWindowEntry{};
    return 1;
}

// A window being destroyed leaves the table even from inside its own handler: the guard of
// gwsDeleteWindow protects a live window, not one that is already going.
void gwsForgetWindow(gwsWindow* window) {
    if (g_inCallback == window)
        g_inCallback = nullptr;
    if (gwsFindWindowSlot(window) >= 0)
        gwsDeleteWindow(window);
}

int gwsMoveWindow(gwsWindow* window, int x, int y, int w, int h, int flags) {
    const int index = gwsFindWindowSlot(window);
    if (index < 0)
        return -1;
    gwsWindowEntry& e = gwsWindowTable[index];
    if (!(flags & GWS_MOVE_KEEP_POSITION)) {
        e.x = window->x = x;
        e.y = window->y = y;
    }
    if (!(flags & GWS_MOVE_KEEP_SIZE)) {
        e.width = window->width = w;
        e.height = window->height = h;
        window->SizeChanged();
    }
    if ((flags & GWS_MOVE_TO_FRONT) && index != 0) {
        const gwsWindowEntry moved = e;
        std::memmove(&gwsWindowTable[1], &gwsWindowTable[0], sizeof(gwsWindowEntry) * index);
        gwsWindowTable[0] = moved;
    }
    return index;
}

void gwsSetActiveWindow(gwsWindow* window) { g_active = window; }
void gwsClearActiveWindow() { g_active = nullptr; }
gwsWindow* gwsGetActiveWindow() { return g_active; }
gwsWindow* gwsHoveredWindow() { return g_hovered; }
gwsWindow* gwsWindowInCallback() { return g_inCallback; }

// ---- Pointer events ----------------------------------------------------------------------------------

void gwsMouseMove(int x, int y, int kind, int buttons) {
    gwsWindow* target = nullptr;
    if (g_active && gwsFindWindowSlot(g_active) >= 0) {
        target = g_active;
    } else {
        for (int i = 0; i < gwsWindowCount; ++i) {
            const gwsWindowEntry& e = gwsWindowTable[i];
            if (e.window && !(e.flags & (GWS_NO_POINTER | GWS_NO_POINTER2)) && Contains(e, x, y)) {
                target = e.window;
                break;
            }
        }
    }
    if (!target) {
        CancelToolTip();
        if (g_tip.shown)
            TakeDownToolTip();
        if (g_hovered)
            g_hovered->PointerLeave();
        g_hovered = nullptr;
        return;
    }

    if (!g_tip.shown && !g_tip.pending && !g_tip.timer) {
        StartToolTip(target);
    } else if (g_tip.pending && g_tip.window != target) {
        CancelToolTip();
    } else if (g_tip.shown && g_tip.window != target) {
        TakeDownToolTip();
        CancelToolTip();
        StartToolTip(target);
    }

    if (g_hovered && g_hovered != target)
        g_hovered->PointerLeave();
    g_hovered = target;

    if (kind != -1) {
        if (g_tip.pending) {
            g_tip.pending = false;
            KillToolTipTimer();
        }
        if (g_popup && target != g_popup)
            gwsClosePopup(g_popupTicket);
    }

    g_inCallback = target;
    switch (kind) {
        case -1: target->PointerMove(x, y, buttons); break;
        case 0: target->LeftPress(x, y, buttons); break;
        case 2: target->LeftDoubleClick(x, y, buttons); break;
        case 1: target->LeftRelease(x, y, buttons); break;
        case 3: target->RightPress(x, y, buttons); break;
        case 5: target->RightDoubleClick(x, y, buttons); break;
        case 4: target->RightRelease(x, y, buttons); break;
        default: break;
    }
    g_inCallback = nullptr;
}

void gwsOnToolTipTimer() {
    KillToolTipTimer();
    POINT cursor{};
    GetCursorPos(&cursor);
    if (g_mainWindow)
        ScreenToClient(g_mainWindow, &cursor);
    gwsWindow* window = g_tip.window;
    if (window) {
        if (gwsFindWindowSlot(window) < 0) {
            gwsLog("Invalid TOOLTIP. Attempted to index a bad pointer.\n");
        } else if (window->tooltipText) {
            gwsDrawToolTip(window->tooltipText.get(), cursor.x, cursor.y, window->tipFont, window->tipStyle,
                           window->tipColour, window->tipBackground);
            g_tip.shown = g_tip.surface != nullptr;
        }
    }
    g_tip.pending = false;
}

// ---- Overlays ------------------------------------------------------------------------------------------

void gwsDrawToolTip(const char* text, int x, int y, int font, int style, int colour, int background) {
    const gwsFont* f = Font(font);
    if (style & 0xF00)
        style |= 0x20;
    const int margin = ((style & 4) ? 2 : 0) + ((style & 128) ? 4 : 0);
    const int chars = static_cast<int>(std::strlen(text));
    const int fw = f ? f->width * f->size : 8, fh = f ? f->height : 8;
    g_tip.width = chars * fw + margin + 4;
    g_tip.height = fh + margin + 4;
    g_tip.anchor = POINT{x, y};
    gwsReleaseToolTipSurface();
    g_tip.surface = gwsCreateSurface(g_tip.width, g_tip.height * 2);
    if (!g_tip.surface) {
        gwsLog("Tool Tip surface not Initialized!\n");
        return;
    }
    RECT upper{0, 0, g_tip.width, g_tip.height};
    gwsFillRect(g_tip.surface, &upper, (style & 0x20) ? kGwsColourKey : static_cast<uint16_t>(background));
    const uint16_t pixel = static_cast<uint16_t>(colour);
    // Raised text: passes one pixel further down-right each, dark below, the colour on top.
    int passes = 0;
    if (style & 0x100)
        passes = 2;
    if (style & 0x200)
        passes = 3;
    if (style & 0x400)
        passes = 4;
    if (style & 0x800)
        passes = 4;
    if (style & 4) {
        gwsDrawText(0, 0, text, pixel, 4, g_tip.surface, font);
    } else if (passes) {
        for (int i = 0; i < passes; ++i) {
            const bool last = i == passes - 1;
            const int passStyle = (last && (style & 0x800)) ? 4 : 32;
            gwsDrawText(i, i, text, last ? pixel : static_cast<uint16_t>(0x0841 * (i + 1)), passStyle, g_tip.surface,
                        font);
        }
    } else {
        gwsDrawText(0, 2, text, pixel, (style & 128) ? 128 : 32, g_tip.surface, font);
    }
}

int gwsShowToolTipAt(int x, int y, RECT* rect) {
    if (!g_tip.surface || !g_tip.window || gwsFindWindowSlot(g_tip.window) < 0 || !g_gwsBack)
        return 0;
    g_tip.anchor = POINT{x, y};
    int left = x - g_tip.width / 4;
    if (left + g_tip.width >= 640)
        left = 639 - g_tip.width;
    if (left < 0)
        left = 0;
    int top = y + 20 + g_tip.height < 480 ? y + 20 : y - 20;
    top = std::max(top, 0);
    g_tip.rect = RECT{left, top, left + g_tip.width, top + g_tip.height};
    if (rect)
        *rect = g_tip.rect;
    RECT lower{0, g_tip.height, g_tip.width, 2 * g_tip.height};
    RECT upper{0, 0, g_tip.width, g_tip.height};
    Copy(g_tip.surface, &lower, g_gwsBack, &g_tip.rect, false);
    Copy(g_gwsBack, &g_tip.rect, g_tip.surface, &upper, true);
    g_tip.saved = true;
    return 1;
}

// Put back whenever it was drawn, also at 0, 0 (a tooltip there would otherwise stay in the
// back buffer).
void gwsRestoreToolTip() {
    if (!g_tip.shown || !g_tip.saved || !g_tip.surface)
        return;
    RECT lower{0, g_tip.height, g_tip.width, 2 * g_tip.height};
    Copy(g_gwsBack, &g_tip.rect, g_tip.surface, &lower, false);
    g_tip.saved = false;
}

int gwsDrawPopup(RECT* rect) {
    if (!g_popup)
        return 0;
    g_popup->Draw();
    if (!gwsPopupSurface || !g_gwsBack)
        return 0;
    gwsMenu* menu = g_popup;
    g_popupRect = RECT{menu->x, menu->y, menu->x + menu->width, menu->y + menu->height};
    gwsMoveWindow(menu, 0, 0, 0, 0, 0x61);
    const int w = menu->width, h = menu->height;
    RECT saveFrame{3 * w, 0, 4 * w, h};
    RECT firstFrame{0, 0, w, h};
    Copy(gwsPopupSurface, &saveFrame, g_gwsBack, &g_popupRect, false);
    Copy(g_gwsBack, &g_popupRect, gwsPopupSurface, &firstFrame, true);
    g_popupSaved = true;
    if (rect)
        *rect = g_popupRect;
    return 1;
}

void gwsRestorePopup() {
    if (!gwsPopupSurface || !g_popup || !g_popupSaved)
        return;
    const int w = g_popupRect.right - g_popupRect.left, h = g_popupRect.bottom - g_popupRect.top;
    RECT saveFrame{3 * w, 0, 4 * w, h};
    Copy(g_gwsBack, &g_popupRect, gwsPopupSurface, &saveFrame, false);
    g_popupSaved = false;
}

void gwsReleaseToolTipSurface() {
    ReleaseAndClear(g_tip.surface);
    g_tip.saved = false;
}

bool gwsToolTipShown() { return g_tip.shown; }
bool gwsToolTipPending() { return g_tip.pending; }
gwsWindow* gwsToolTipWindow() { return g_tip.window; }

// ---- The pop-up menu -----------------------------------------------------------------------------------

gwsMenu* gwsPopupMenu() { return g_popup; }
gwsPopupHandle gwsPopupTicket() { return g_popup ? g_popupTicket : 0; }

gwsMenu* gwsFindPopup(gwsPopupHandle handle) {
    return handle != 0 && g_popup && handle == g_popupTicket ? g_popup : nullptr;
}

void gwsClosePopup(gwsPopupHandle handle) {
    if (gwsMenu* menu = gwsFindPopup(handle))
        delete menu;
}

// Called by gwsMenu: the menu becomes (or stops being) the pop-up.
void gwsSetPopup(gwsMenu* menu) {
    g_popup = menu;
    g_popupSaved = false;
    if (menu)
        g_popupTicket = ++g_nextTicket;
}

// ---- Fonts and drawing -----------------------------------------------------------------------------------

std::unique_ptr<uint8_t[]> gwsLoadFontFile(const char* path, size_t bytes) {
    FILE* file = std::fopen(path, "rb");
    if (!file)
        return nullptr;
    auto buffer = std::make_unique<uint8_t[]>(bytes);  // zeroed: a short file reads as blank glyphs
    const size_t got = std::fread(buffer.get(), 1, bytes, file);
    (void)got;
    std::fclose(file);
    return buffer;
}

int gwsLoadFonts(const char* file) {
    FreeFonts();
    int count = 0;
    if (!GetConfigInt(file, "fonts", "numfonts", &count, 0, 0)) {
        char text[200];
        std::snprintf(text, sizeof(text), "Error loading 'numfonts' from heading 'fonts' from file %s.\n", file);
        gwsLog(text);
        return -1;
    }
    count = std::min(count, kGwsFontCount);
    for (int i = 0; i < count; ++i) {
        char section[16], text[300], name[101] = {}, path[160];
        std::snprintf(section, sizeof(section), "font%02d", i);
        gwsFont& f = gwsFontTable[i];
        int height = 0, size = 0, width = 8;
        if (!GetConfigInt(file, section, "height", &height, 0, 0)) {
            std::snprintf(text, sizeof(text), "Error loading 'height' from heading '%s' from file %s.\n", section, file);
            gwsLog(text);
            return -2;
        }
        if (!GetConfigInt(file, section, "size", &size, 0, 0)) {
            std::snprintf(text, sizeof(text), "Error loading 'size' from heading '%s' from file %s.\n", section, file);
            gwsLog(text);
            return -3;
        }
        GetConfigInt(file, section, "width", &width, 8, 0);
        GetConfigString(file, section, "file", name, sizeof(name), "", 0);
        if (height < 1 || height > 64)
            height = 0;
        std::snprintf(path, sizeof(path), "fonts/%s", name);
        f.glyphs = height ? gwsLoadFontFile(path, static_cast<size_t>(height) * 256) : nullptr;
        if (!f.glyphs) {
            std::snprintf(text, sizeof(text), "Load Font Failed! File=%s", name);
            gwsLog(text);
            return -4;
        }
        f.height = height;
        f.size = size;
        f.width = std::clamp(width, 1, 8);
    }
    char text[100];
    std::snprintf(text, sizeof(text), "Fonts loaded successfully. %d fonts loaded.", count);
    gwsLog(text);
    return 0;
}

namespace {

// One glyph with its top-left at (ox, oy) of base; writes only inside clipW x clipH.
void DrawGlyphAt(uint8_t* base, int pitch, int ox, int oy, int c, uint16_t pixel, int style, int font, int clipW,
                 int clipH) {
    const gwsFont* f = Font(font);
    if (!f || !base)
        return;
    const int size = f->size == 2 ? 2 : 1;
    const uint8_t* glyph = f->glyphs.get() + static_cast<uint8_t>(c) * f->height;
    auto put = [&](int px, int py, uint16_t value) {
        px += ox;
        py += oy;
        if (px >= 0 && py >= 0 && px < clipW && py < clipH)
            reinterpret_cast<uint16_t*>(base + py * pitch)[px] = value;
    };
    auto forEachBit = [&](auto&& plot) {
        for (int row = 0; row < f->height; ++row)
            for (int col = 0; col < f->width * size; ++col)
                if (glyph[row] & (0x80 >> (col / size)))
                    plot(col, row);
    };
    // Outlined styles: black around every set bit first, the glyph one (style 4) or two (128)
    // pixels in from the top left.
    int offset = 0;
    if (style & (4 | 128)) {
        offset = (style & 128) ? 2 : 1;
        forEachBit([&](int col, int row) {
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    put(col + offset + dx, row + offset + dy, 0);
        });
    }
    forEachBit([&](int col, int row) { put(col + offset, row + offset, pixel); });
    if (style & 2)
        for (int col = 0; col < f->width * size; ++col)
            put(col + offset, f->height + offset + 1, pixel);
}

}  // namespace

void gwsDrawGlyphs(uint16_t* dest, int pitch, int c, uint16_t pixel, int style, int font, int clipW, int clipH) {
    DrawGlyphAt(reinterpret_cast<uint8_t*>(dest), pitch, 0, 0, c, pixel, style, font, clipW, clipH);
}

int gwsTextWidth(const char* text, int style, int font) {
    const gwsFont* f = Font(font);
    const int fw = f ? f->width * (f->size == 2 ? 2 : 1) : 0;
    return static_cast<int>(std::strlen(text)) * fw + Margin(style);
}

int gwsTextHeight(int style, int font) {
    const gwsFont* f = Font(font);
    return (f ? f->height : 0) + Margin(style) + ((style & 2) ? 2 : 0);
}

void gwsDrawText(int x, int y, const char* text, uint16_t pixel, int style, IDirectDrawSurface* surface, int font) {
    const gwsFont* f = Font(font);
    if (!surface || !f || !text)
        return;
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof(desc);
    if (FAILED(surface->GetSurfaceDesc(&desc)))
        return;
    // The covered rectangle, cut to the surface.
    RECT rect{std::max(x, 0), std::max(y, 0), std::min<LONG>(x + gwsTextWidth(text, style, font), desc.dwWidth),
              std::min<LONG>(y + gwsTextHeight(style, font), desc.dwHeight)};
    if (rect.left >= rect.right || rect.top >= rect.bottom)
        return;
    if (FAILED(surface->Lock(&rect, &desc, DDLOCK_WAIT, nullptr)))
        return;
    auto* base = static_cast<uint8_t*>(desc.lpSurface);
    const int clipW = rect.right - rect.left, clipH = rect.bottom - rect.top;
    const int advance = f->width * (f->size == 2 ? 2 : 1);
    // Glyph origins relative to the locked corner (negative when the text starts off the surface).
    int gx = x - rect.left;
    const int gy = y - rect.top;
    for (const char* p = text; *p; ++p, gx += advance)
        DrawGlyphAt(base, desc.lPitch, gx, gy, *p, pixel, style, font, clipW, clipH);
    surface->Unlock(desc.lpSurface);
}

void gwsFillRect(IDirectDrawSurface* surface, RECT* rect, uint16_t pixel) {
    if (!surface || !rect)
        return;
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof(desc);
    if (FAILED(surface->GetSurfaceDesc(&desc))) {
        gwsLog("gwsFillRect-> Cannot get surface description.");
        return;
    }
    RECT cut{std::max<LONG>(rect->left, 0), std::max<LONG>(rect->top, 0),
             std::min<LONG>(rect->right, desc.dwWidth), std::min<LONG>(rect->bottom, desc.dwHeight)};
    if (cut.left >= cut.right || cut.top >= cut.bottom)
        return;
    if (FAILED(surface->Lock(&cut, &desc, DDLOCK_WAIT, nullptr))) {
        gwsLog("gwsFillRect-> Cannot lock surface rectangle.");
        return;
    }
    for (int row = 0; row < cut.bottom - cut.top; ++row) {
        auto* out = reinterpret_cast<uint16_t*>(static_cast<uint8_t*>(desc.lpSurface) + row * desc.lPitch);
        std::fill(out, out + (cut.right - cut.left), pixel);
    }
    if (FAILED(surface->Unlock(desc.lpSurface)))
        gwsLog("Cannot unlock surface rectangle in gwsFillRect!");
}

IDirectDrawSurface* gwsCreateSurface(int width, int height) {
    if (!g_gwsDraw || width < 1 || height < 1)
        return nullptr;
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof(desc);
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
    desc.dwWidth = static_cast<DWORD>(width);
    desc.dwHeight = static_cast<DWORD>(height);
    IDirectDrawSurface* surface = nullptr;
    if (FAILED(g_gwsDraw->CreateSurface(&desc, &surface, nullptr)))
        return nullptr;
    return surface;
}
