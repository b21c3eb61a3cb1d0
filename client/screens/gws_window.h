#pragma once
// The window classes of the window system: the base gwsWindow, the clickable gwsSpriteWindow of
// every button and hot spot, the pop-up gwsMenu, and gwsFrameButton (buttons that report to an
// output word). All share the 13 operations the dispatcher calls.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "client/screens/gws_core.h"

class PcxImage;

class gwsWindow {
public:
    // Registers itself (gwsRegisterWindow); a full table leaves it unregistered.
    gwsWindow(int id, int x, int y, int w, int h, int flags);
    // Leaves the table; a destroyed window is never left in it.
    virtual ~gwsWindow();
    gwsWindow(const gwsWindow&) = delete;
    gwsWindow& operator=(const gwsWindow&) = delete;

    // The 13 operations, in slot order.
    virtual int Reserved0() { return 0; }
    virtual int Reserved1() { return 0; }
    virtual void Draw() {}
    virtual void Reserved3(int) {}
    virtual void Reserved4(int) {}
    virtual void PointerMove(int, int, int) {}
    virtual void LeftPress(int, int, int) {}
    virtual void LeftDoubleClick(int, int, int) {}
    virtual void LeftRelease(int, int, int) {}
    virtual void RightPress(int, int, int) {}
    virtual void RightDoubleClick(int, int, int) {}
    virtual void RightRelease(int, int, int) {}
    virtual void PointerLeave() {}
    // Called by gwsMoveWindow when the size changes.
    virtual void SizeChanged() {}

    // 0 when the copy cannot be made, else 1.
    int gwsSetToolTipText(const char* text, int font, int style, int colour, int background);
    void gwsSetToolTipDelay(int ms);

    int32_t x, y, width, height;
    int32_t flags;
    int32_t id;
    int32_t pressed = 0;
    std::unique_ptr<char[]> tooltipText;
    int32_t tipFont = 0, tipStyle = 0, tipColour = 0, tipBackground = 0;
    int32_t tipDelay = 0;
    int32_t reserved[2] = {};
    IDirectDrawSurface* surface;
};

class gwsSpriteWindow : public gwsWindow {
public:
    // Event codes: 0 release, 1 press, 2 double click, 8 drag, 10/11/12 right press/double/release,
    // 13 enter, 14 leave.
    using Callback = std::function<void(int event)>;

    gwsSpriteWindow(int id, int x, int y, int w, int h, int flags, Callback callback);

    void PointerMove(int x, int y, int buttons) override;
    void LeftPress(int x, int y, int buttons) override;
    void LeftDoubleClick(int x, int y, int buttons) override;
    void LeftRelease(int x, int y, int buttons) override;
    void RightPress(int x, int y, int buttons) override;
    void RightDoubleClick(int x, int y, int buttons) override;
    void RightRelease(int x, int y, int buttons) override;
    void PointerLeave() override;

    int32_t grabX = 0, grabY = 0;
    int32_t hover = 0;
    Callback callback;
    // The lower bound of a window with GWS_DRAG_LOWER_BOUND: y + height stays at most this.
    int32_t lowerBound = 479;

private:
    void Press(int x, int y, int event);
    void Notify(int event) {
        if (callback)
            callback(event);
    }
};

constexpr int kGwsMenuItems = 20;

class gwsMenu : public gwsWindow {
public:
    using Callback = std::function<void(int value)>;

    struct Item {
        char text[40] = {};
        int32_t left = 0, top = 0, right = 0, bottom = 0;
        int32_t value = 0;
        int32_t used = 0;
    };

    // Opens a pop-up menu owned by the window system (one open already is destroyed first) and
    // returns it; owners keep gwsPopupTicket(), not the pointer.
    static gwsMenu* Open(int x, int y, const PcxImage* image, const PcxImage* highlightImage, int flags, int font,
                         uint16_t textColour, uint16_t highlightColour, uint16_t pressedColour, Callback callback);
    ~gwsMenu() override;

    void gwsMenuAddItem(const char* text, int value, const RECT& rect);

    void Draw() override;
    void PointerMove(int x, int y, int buttons) override;
    void LeftPress(int x, int y, int buttons) override;
    void LeftDoubleClick(int x, int y, int buttons) override;
    void LeftRelease(int x, int y, int buttons) override;
    void PointerLeave() override;

    int32_t menuReserved[2] = {};
    int32_t count = 0;
    int32_t font = 0;
    int32_t selected = -1;
    uint16_t textColour = 0, pressedColour = 0, highlightColour = 0;
    Item items[kGwsMenuItems];
    const PcxImage* image = nullptr;
    const PcxImage* highlightImage = nullptr;
    Callback callback;

private:
    gwsMenu(int x, int y, const PcxImage* image, const PcxImage* highlightImage, int flags, int font,
            uint16_t textColour, uint16_t highlightColour, uint16_t pressedColour, Callback callback);
    // The first used item whose rectangle (menu coordinates, bounds included) holds the point.
    int ItemAt(int x, int y) const;
    bool PrepareSurface();
};

class gwsFrameButton : public gwsWindow {
public:
    gwsFrameButton(int id, int x, int y, int w, int h, int flags, int32_t* output, int hoverSound, int pressSound);

    void PointerMove(int x, int y, int buttons) override;
    void LeftPress(int x, int y, int buttons) override;
    void LeftDoubleClick(int x, int y, int buttons) override;
    void PointerLeave() override;

    int32_t buttonId;
    int32_t leftPressed = 0;
    int32_t doublePressed = 0;
    int32_t hover = 0;
    int32_t* output;
    int32_t hoverSound, pressSound;
};
