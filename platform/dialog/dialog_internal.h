#pragma once
// Internal to platform/dialog: the state of a live dialog, shared by the calls, the drawing and
// the presentation in a real window.

#include <cstdint>
#include <string>
#include <vector>

#include "common/text.h"
#include "platform/dialog/dialog.h"

namespace platform {

// Dialog units to pixels. Our dialog font is twice the 5 x 9 cell font in size, which sets the
// dialog base units at 12 x 26 pixels (a dialog unit is a quarter of the one and an eighth of
// the other).
constexpr int kDialogBaseX = 12;
constexpr int kDialogBaseY = 26;
constexpr int DialogUnitsToX(int units) { return units * kDialogBaseX / 4; }
constexpr int DialogUnitsToY(int units) { return (units * kDialogBaseY + 4) / 8; }

struct DialogControl {
    std::string className;
    std::string text;
    DWORD style = 0;
    WORD id = 0;
    RECT rect{};  // client pixels
    int rangeMin = 0;
    int rangeMax = 100;
    int pos = 0;

    bool IsButton() const { return EqualsNoCase(className, "button"); }
    bool IsProgress() const { return EqualsNoCase(className, "msctls_progress32"); }
};

struct DialogState {
    HWND hwnd = nullptr;
    DLGPROC proc = nullptr;
    std::string caption;
    int width = 0;
    int height = 0;
    std::vector<DialogControl> controls;
    WORD focusId = 0;       // the button with the keyboard focus, 0 for none
    WORD pressedId = 0;     // the button held down by the mouse, 0 for none
    bool pressInside = false;
    bool dirty = true;
    bool windowPrepared = false;
    uint64_t lastPaintMs = 0;

    DialogControl* Find(int id);
    const DialogControl* Find(int id) const;
};

// Draws the dialog into pixels (0xRRGGBB, width x height).
void DrawDialog(const DialogState& dialog, std::vector<uint32_t>* pixels);

// Shows the drawing in the dialog's real window; false when there is none (headless).
bool PresentDialog(DialogState& dialog);

}  // namespace platform
