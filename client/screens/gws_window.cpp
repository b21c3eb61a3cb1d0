#include "client/screens/gws_window.h"

#include <algorithm>
#include <cstring>

#include "client/core/pcx_image.h"
#include "client/core/sound.h"
#include "client/driver/message_pump.h"
#include "client/screens/screen_surface.h"

// ---- gwsWindow ---------------------------------------------------------------------------------------

gwsWindow::gwsWindow(int id, int x, int y, int w, int h, int flags)
    : x(x), y(y), width(w), height(h), flags(flags), id(id), surface(g_backSurface) {
    gwsRegisterWindow(this);
}

gwsWindow::~gwsWindow() { gwsForgetWindow(this); }

int gwsWindow::gwsSetToolTipText(const char* text, int font, int style, int colour, int background) {
    tooltipText.reset();
    if (text) {
        const size_t n = std::strlen(text);
        tooltipText.reset(new (std::nothrow) char[n + 1]);
        if (!tooltipText)
            return 0;
        std::memcpy(tooltipText.get(), text, n + 1);
    }
    tipFont = font;
    tipStyle = style;
    tipColour = colour;
    tipBackground = background;
    return 1;
}

void gwsWindow::gwsSetToolTipDelay(int ms) { tipDelay = std::clamp(ms, 0, 10000); }

// ---- gwsSpriteWindow ---------------------------------------------------------------------------------

gwsSpriteWindow::gwsSpriteWindow(int id, int x, int y, int w, int h, int flags, Callback callback)
    : gwsWindow(id, x, y, w, h, flags), callback(std::move(callback)) {}

void gwsSpriteWindow::PointerMove(int px, int py, int) {
    if (!hover) {
        hover = 1;
        Notify(13);
    }
    if ((flags & GWS_DRAGGABLE) && pressed) {
        int nx = std::clamp(px - grabX, 0, std::max(0, 639 - width));
        int ny = std::clamp(py - grabY, 0, std::max(0, 479 - height));
        if (flags & GWS_DRAG_LOWER_BOUND)
            ny = std::max(0, std::min(ny, lowerBound - height));
        x = nx;
        y = ny;
        gwsMoveWindow(this, nx, ny, 0, 0, GWS_MOVE_KEEP_SIZE);
        Draw();
        Notify(8);
    }
}

void gwsSpriteWindow::Press(int px, int py, int event) {
    if (flags & GWS_DRAGGABLE) {
        pressed = 1;
        grabX = px - x;
        grabY = py - y;
        Draw();
        gwsSetActiveWindow(this);
    }
    Notify(event);
}

void gwsSpriteWindow::LeftPress(int px, int py, int) { Press(px, py, 1); }
void gwsSpriteWindow::LeftDoubleClick(int px, int py, int) { Press(px, py, 2); }

void gwsSpriteWindow::LeftRelease(int, int, int) {
    if (!pressed)
        return;
    pressed = 0;
    gwsClearActiveWindow();
    Notify(0);
}

void gwsSpriteWindow::RightPress(int, int, int) { Notify(10); }
void gwsSpriteWindow::RightDoubleClick(int, int, int) { Notify(11); }
void gwsSpriteWindow::RightRelease(int, int, int) { Notify(12); }

void gwsSpriteWindow::PointerLeave() {
    hover = 0;
    Notify(14);
}

// ---- gwsMenu -----------------------------------------------------------------------------------------

gwsMenu* gwsMenu::Open(int x, int y, const PcxImage* image, const PcxImage* highlightImage, int flags, int font,
                       uint16_t textColour, uint16_t highlightColour, uint16_t pressedColour, Callback callback) {
    // One pop-up at a time: a menu still open goes first.
    gwsClosePopup(gwsPopupTicket());
    return new gwsMenu(x, y, image, highlightImage, flags, font, textColour, highlightColour, pressedColour,
                       std::move(callback));
}

gwsMenu::gwsMenu(int x, int y, const PcxImage* image, const PcxImage* highlightImage, int flags, int font,
                 uint16_t textColour, uint16_t highlightColour, uint16_t pressedColour, Callback callback)
    : gwsWindow(0, x, y, 0, 0, flags),
      font(font),
      textColour(textColour),
      pressedColour(pressedColour),
      highlightColour(highlightColour),
      image(image),
      highlightImage(highlightImage),
      callback(std::move(callback)) {
    ReleaseAndClear(gwsPopupSurface);
    gwsSetPopup(this);
}

gwsMenu::~gwsMenu() {
    if (gwsPopupMenu() == this) {
        gwsSetPopup(nullptr);
        ReleaseAndClear(gwsPopupSurface);
    }
}

void gwsMenu::gwsMenuAddItem(const char* text, int value, const RECT& rect) {
    if (count >= kGwsMenuItems)
        return;
    Item& item = items[count];
    item = Item{};
    const size_t n = text ? std::strlen(text) : 0;
    if (n <= 39 && text)
        std::memcpy(item.text, text, n + 1);
    item.left = rect.left;
    item.top = rect.top;
    item.right = rect.right;
    item.bottom = rect.bottom;
    item.value = value;
    item.used = 1;
    ++count;
}

int gwsMenu::ItemAt(int mx, int my) const {
    for (int i = 0; i < count; ++i) {
        const Item& item = items[i];
        if (item.used && mx >= item.left && mx <= item.right && my >= item.top && my <= item.bottom)
            return i;
    }
    return -1;
}

namespace {

// Copies w x h pixels from (sx, sy) to (dx, dy) of the same locked surface; null source: black.
void CopyInSurface(const DDSURFACEDESC& desc, const uint16_t* source, int sourcePitch, int dx, int w, int h) {
    for (int row = 0; row < h; ++row) {
        auto* out = reinterpret_cast<uint16_t*>(static_cast<uint8_t*>(desc.lpSurface) + row * desc.lPitch) + dx;
        if (source)
            std::memcpy(out, source + row * sourcePitch, w * 2);
        else
            std::memset(out, 0, w * 2);
    }
}

}  // namespace

bool gwsMenu::PrepareSurface() {
    if (gwsPopupSurface)
        return true;
    if (!image || !image->Pixels16())
        return false;
    const int w = image->PcxWidth(), h = image->PcxHeight();
    const int nx = std::max(5, std::min(x, 634 - w));
    const int ny = std::min(y, 474 - h);
    gwsPopupSurface = gwsCreateSurface(4 * w, h);
    if (!gwsPopupSurface) {
        gwsLog("Menu surface not Initialized!\n");
        return false;
    }
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof(desc);
    if (SUCCEEDED(gwsPopupSurface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr))) {
        CopyInSurface(desc, image->Pixels16(), w, w, w, h);
        const bool highlight = highlightImage && highlightImage->Pixels16() && highlightImage->PcxWidth() == w &&
                               highlightImage->PcxHeight() == h;
        CopyInSurface(desc, highlight ? highlightImage->Pixels16() : nullptr, w, 2 * w, w, h);
        gwsPopupSurface->Unlock(desc.lpSurface);
    }
    gwsMoveWindow(this, nx, ny, w, h, GWS_MOVE_TO_FRONT);
    return true;
}

void gwsMenu::Draw() {
    if (!PrepareSurface())
        return;
    const int w = width, h = height;
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof(desc);
    if (FAILED(gwsPopupSurface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr)))
        return;
    auto row = [&](int r) { return reinterpret_cast<uint16_t*>(static_cast<uint8_t*>(desc.lpSurface) + r * desc.lPitch); };
    for (int r = 0; r < h; ++r)
        std::memcpy(row(r), row(r) + w, w * 2);
    POINT cursor{};
    GetCursorPos(&cursor);
    if (g_mainWindow)
        ScreenToClient(g_mainWindow, &cursor);
    const int hot = ItemAt(cursor.x - x, cursor.y - y);
    if (hot >= 0) {
        const Item& item = items[hot];
        const int left = std::clamp<int>(item.left, 0, w), right = std::clamp<int>(item.right, 0, w);
        for (int r = std::max<int>(item.top, 0); r < std::min<int>(item.bottom, h); ++r)
            std::memcpy(row(r) + left, row(r) + 2 * w + left, std::max(0, right - left) * 2);
    }
    gwsPopupSurface->Unlock(desc.lpSurface);

    const gwsFont& f = gwsFontTable[std::clamp(font, 0, kGwsFontCount - 1)];
    const int fw = f.width * (f.size == 2 ? 2 : 1);
    auto drawItem = [&](const Item& item, uint16_t colour) {
        const int chars = static_cast<int>(std::strlen(item.text));
        const int tx = item.left + (item.right - item.left) / 2 - chars * fw / 2;
        const int ty = item.top + (item.bottom - item.top) / 2 - f.height / 2;
        gwsDrawText(tx, ty, item.text, colour, 32, gwsPopupSurface, font);
    };
    for (int i = 0; i < count; ++i)
        if (items[i].used)
            drawItem(items[i], textColour);
    if (hot >= 0)
        drawItem(items[hot], pressed ? pressedColour : highlightColour);
    DDCOLORKEY key{kGwsColourKey, kGwsColourKey};
    gwsPopupSurface->SetColorKey(DDCKEY_SRCBLT, &key);
}

void gwsMenu::PointerMove(int px, int py, int) {
    const int i = ItemAt(px - x, py - y);
    if (i < 0)
        return;
    if (items[i].value != selected || !pressed) {
        pressed = 0;
        gwsClearActiveWindow();
    }
}

void gwsMenu::LeftPress(int px, int py, int) {
    selected = -1;
    const int i = ItemAt(px - x, py - y);
    if (i < 0)
        return;
    selected = items[i].value;
    pressed = 1;
    gwsSetActiveWindow(this);
}

void gwsMenu::LeftDoubleClick(int px, int py, int buttons) { LeftPress(px, py, buttons); }

void gwsMenu::LeftRelease(int px, int py, int) {
    const int i = ItemAt(px - x, py - y);
    if (i < 0 || items[i].value != selected || !pressed)
        return;
    pressed = 0;
    gwsClearActiveWindow();
    if (callback)
        callback(selected);  // may close this menu: nothing of it is touched afterwards
}

void gwsMenu::PointerLeave() { menuReserved[0] = 0; }

// ---- gwsFrameButton ------------------------------------------------------------------------------------

gwsFrameButton::gwsFrameButton(int id, int x, int y, int w, int h, int flags, int32_t* output, int hoverSound,
                               int pressSound)
    : gwsWindow(id, x, y, w, h, flags), buttonId(id), output(output), hoverSound(hoverSound), pressSound(pressSound) {}

void gwsFrameButton::PointerMove(int, int, int) {
    if (hover)
        return;
    hover = 1;
    if (output)
        *output = -1;
    if (hoverSound)
        PlayGameSound(hoverSound, 0, 0);
}

void gwsFrameButton::LeftPress(int, int, int) {
    if (leftPressed)
        return;
    leftPressed = 1;
    if (output)
        *output = buttonId;
    if (pressSound)
        PlayGameSound(pressSound, 0, 0);
}

void gwsFrameButton::LeftDoubleClick(int, int, int) {
    if (doublePressed)
        return;
    doublePressed = 1;
    if (output)
        *output = buttonId;
    if (pressSound)
        PlayGameSound(pressSound, 0, 0);
}

void gwsFrameButton::PointerLeave() {
    if (!hover)
        return;
    hover = 0;
    if (output)
        *output = -1;
}
