#pragma once
// Our stand-in for the dialog calls of the system the updater was written against: a modeless
// dialog made from an in-memory template (push buttons, static texts, progress bars), its
// dialog procedure, the dialog manager's keyboard handling, and the item calls.
//
// With a display the dialog is a small window of its own, drawn by us: the caption in the title
// bar, the static texts, the progress bar and the push buttons (a click or Escape presses
// Cancel). Headless, the dialog prints its caption with every text and progress change.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/win/win.h"

using INT_PTR = intptr_t;
using DLGPROC = INT_PTR (*)(HWND, UINT, WPARAM, LPARAM);

constexpr WORD LOWORD(uintptr_t v) { return static_cast<WORD>(v & 0xFFFF); }
constexpr WORD HIWORD(uintptr_t v) { return static_cast<WORD>((v >> 16) & 0xFFFF); }
constexpr LPARAM MAKELPARAM(WORD lo, WORD hi) {
    return static_cast<LPARAM>(static_cast<uint32_t>(lo) | (static_cast<uint32_t>(hi) << 16));
}
constexpr WPARAM MAKEWPARAM(WORD lo, WORD hi) {
    return static_cast<WPARAM>(static_cast<uint32_t>(lo) | (static_cast<uint32_t>(hi) << 16));
}

// Styles.
constexpr DWORD WS_CHILD = 0x40000000u;
constexpr DWORD WS_CAPTION = 0x00C00000u;
constexpr DWORD WS_TABSTOP = 0x00010000u;
constexpr DWORD DS_SETFONT = 0x0040u;
constexpr DWORD DS_MODALFRAME = 0x0080u;
constexpr DWORD DS_CENTER = 0x0800u;
constexpr DWORD BS_PUSHBUTTON = 0x0000u;
constexpr DWORD BS_DEFPUSHBUTTON = 0x0001u;
constexpr DWORD SS_LEFT = 0x0000u;

constexpr UINT WM_SHOWWINDOW = 0x0018;
constexpr WORD BN_CLICKED = 0;

// Progress bar messages.
constexpr UINT PBM_SETRANGE = WM_USER + 1;
constexpr UINT PBM_SETPOS = WM_USER + 2;
constexpr UINT PBM_GETRANGE = WM_USER + 7;
constexpr UINT PBM_GETPOS = WM_USER + 8;

// One control of a template; position and size in dialog units.
struct DialogItemTemplate {
    const char* className;  // "button", "static" or "msctls_progress32"
    const char* text;
    DWORD style;
    short x, y, cx, cy;
    WORD id;
};

// A dialog template: a window style, its size in dialog units, the caption, the font it was
// laid out for, and its controls.
struct DialogTemplate {
    DWORD style;
    short cx, cy;
    const char* caption;
    const char* fontName;
    WORD pointSize;
    const DialogItemTemplate* items;
    int itemCount;
};

// Registers the control classes; nothing else is needed here.
void InitCommonControls();

// Creates the dialog modeless: the procedure gets WM_INITDIALOG (wParam 0, lParam param) and,
// when the template is visible, WM_SHOWWINDOW. The dialog procedure returns non-zero for a
// message it handled; the rest get the default handling. Null when it cannot be made.
HWND CreateDialogIndirectParam(HINSTANCE instance, const DialogTemplate* dialogTemplate, HWND owner,
                               DLGPROC proc, LPARAM param);

// The dialog manager: keyboard messages for the dialog are handled (Escape presses Cancel, Enter
// and Space the focused button) and the call returns TRUE; other messages return FALSE.
BOOL IsDialogMessage(HWND dialog, MSG* msg);

BOOL SetDlgItemText(HWND dialog, int id, const char* text);
UINT GetDlgItemText(HWND dialog, int id, char* text, int maxCount);
LRESULT SendDlgItemMessage(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam);

namespace platform {

// Headless dialogs write their lines here; the default prints them on standard output.
using DialogOutputSink = std::function<void(const char* line)>;
void SetDialogOutputSink(DialogOutputSink sink);

// An item's rectangle in the dialog window's client pixels (tests click through it).
bool GetDialogItemRect(HWND dialog, int id, RECT* rect);

// Draws the dialog as its window shows it, 0xRRGGBB pixels row by row.
bool RenderDialog(HWND dialog, std::vector<uint32_t>* pixels, int* width, int* height);

}  // namespace platform
