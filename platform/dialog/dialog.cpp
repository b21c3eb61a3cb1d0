// Dialogs as windows of one class of ours: the template's controls live in a side table, the
// window procedure turns clicks on push buttons into WM_COMMAND and hands everything else to
// the dialog procedure, and a message source repaints the dialogs that have a real window.

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>

#include "platform/dialog/dialog.h"
#include "platform/dialog/dialog_internal.h"
#include "platform/win/platform.h"
#include "platform/win/win_internal.h"

namespace platform {
namespace {

constexpr const char* kDialogClass = "#32770";
// A shown dialog is drawn again at least this often, so it recovers from being covered.
constexpr uint64_t kRepaintMs = 250;

struct DialogRegistry {
    std::map<HWND, std::unique_ptr<DialogState>> dialogs;
    DialogOutputSink sink;
    int sourceHandle = 0;
};

DialogRegistry& Registry() {
    static DialogRegistry registry;
    return registry;
}

DialogState* FindDialog(HWND hwnd) {
    auto& d = Registry().dialogs;
    auto it = d.find(hwnd);
    return it == d.end() ? nullptr : it->second.get();
}

void Emit(const DialogState& d, const std::string& text) {
    if (!IsHeadless())
        return;
    std::string line = "[" + d.caption + "] " + text;
    if (Registry().sink) {
        Registry().sink(line.c_str());
        return;
    }
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

void RepaintDialogs() {
    uint64_t now = NowMillis();
    for (auto& [hwnd, d] : Registry().dialogs) {
        if (!IsWindow(hwnd))
            continue;
        if (!d->dirty && now - d->lastPaintMs < kRepaintMs)
            continue;
        if (PresentDialog(*d)) {
            d->dirty = false;
            d->lastPaintMs = now;
        }
    }
}

// Forgets dialogs whose windows went away without WM_DESTROY (a reset of the window layer).
void ForgetDeadDialogs() {
    auto& d = Registry().dialogs;
    for (auto it = d.begin(); it != d.end();)
        it = IsWindow(it->first) ? std::next(it) : d.erase(it);
}

const DialogControl* ButtonAt(const DialogState& d, int x, int y) {
    for (const DialogControl& c : d.controls)
        if (c.IsButton() && x >= c.rect.left && x < c.rect.right && y >= c.rect.top && y < c.rect.bottom)
            return &c;
    return nullptr;
}

void Click(HWND hwnd, WORD id) {
    SendMessage(hwnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
}

int PointX(LPARAM lp) { return static_cast<int16_t>(LOWORD(static_cast<uintptr_t>(lp))); }
int PointY(LPARAM lp) { return static_cast<int16_t>(HIWORD(static_cast<uintptr_t>(lp))); }

LRESULT DialogWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    DialogState* d = FindDialog(hwnd);
    if (!d)
        return DefWindowProc(hwnd, message, wParam, lParam);
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (const DialogControl* b = ButtonAt(*d, PointX(lParam), PointY(lParam))) {
            d->pressedId = b->id;
            d->pressInside = true;
            d->focusId = b->id;
            d->dirty = true;
        }
        return 0;
    case WM_MOUSEMOVE:
        if (d->pressedId) {
            const DialogControl* b = ButtonAt(*d, PointX(lParam), PointY(lParam));
            bool inside = b && b->id == d->pressedId;
            if (inside != d->pressInside) {
                d->pressInside = inside;
                d->dirty = true;
            }
        }
        return 0;
    case WM_LBUTTONUP:
        if (d->pressedId) {
            WORD id = d->pressedId;
            const DialogControl* b = ButtonAt(*d, PointX(lParam), PointY(lParam));
            bool inside = b && b->id == id;
            d->pressedId = 0;
            d->pressInside = false;
            d->dirty = true;
            if (inside)
                Click(hwnd, id);
        }
        return 0;
    default:
        break;
    }
    INT_PTR handled = d->proc(hwnd, message, wParam, lParam);
    // The procedure may have destroyed the dialog; d is not used past this point.
    if (message == WM_DESTROY)
        Registry().dialogs.erase(hwnd);
    if (handled)
        return 0;
    return DefWindowProc(hwnd, message, wParam, lParam);
}

bool RegisterDialogClass() {
    WNDCLASS wc{};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = DialogWindowProc;
    wc.lpszClassName = kDialogClass;
    RegisterClass(&wc);  // fails harmlessly when it is there already
    return true;
}

}  // namespace

DialogControl* DialogState::Find(int id) {
    for (DialogControl& c : controls)
        if (c.id == id)
            return &c;
    return nullptr;
}

const DialogControl* DialogState::Find(int id) const {
    for (const DialogControl& c : controls)
        if (c.id == id)
            return &c;
    return nullptr;
}

void SetDialogOutputSink(DialogOutputSink sink) {
    Registry().sink = std::move(sink);
}

bool GetDialogItemRect(HWND dialog, int id, RECT* rect) {
    DialogState* d = FindDialog(dialog);
    const DialogControl* c = d ? d->Find(id) : nullptr;
    if (!c || !rect)
        return false;
    *rect = c->rect;
    return true;
}

bool RenderDialog(HWND dialog, std::vector<uint32_t>* pixels, int* width, int* height) {
    DialogState* d = FindDialog(dialog);
    if (!d || !pixels)
        return false;
    DrawDialog(*d, pixels);
    if (width)
        *width = d->width;
    if (height)
        *height = d->height;
    return true;
}

}  // namespace platform

using platform::FindDialog;
using platform::Registry;

void InitCommonControls() {
    platform::RegisterDialogClass();
}

HWND CreateDialogIndirectParam(HINSTANCE, const DialogTemplate* t, HWND, DLGPROC proc, LPARAM param) {
    if (!t || !proc)
        return nullptr;
    platform::ForgetDeadDialogs();
    platform::RegisterDialogClass();
    int width = platform::DialogUnitsToX(t->cx);
    int height = platform::DialogUnitsToY(t->cy);
    // Created hidden: the dialog is shown once its procedure has seen WM_INITDIALOG.
    HWND hwnd = CreateWindowEx(0, platform::kDialogClass, t->caption, t->style & ~WS_VISIBLE, 0, 0, width, height,
                               nullptr, nullptr, nullptr, nullptr);
    if (!hwnd)
        return nullptr;
    auto d = std::make_unique<platform::DialogState>();
    d->hwnd = hwnd;
    d->proc = proc;
    d->caption = t->caption ? t->caption : "";
    d->width = width;
    d->height = height;
    for (int i = 0; i < t->itemCount; ++i) {
        const DialogItemTemplate& it = t->items[i];
        platform::DialogControl c;
        c.className = it.className ? it.className : "";
        c.text = it.text ? it.text : "";
        c.style = it.style;
        c.id = it.id;
        c.rect = RECT{platform::DialogUnitsToX(it.x), platform::DialogUnitsToY(it.y),
                      platform::DialogUnitsToX(it.x + it.cx), platform::DialogUnitsToY(it.y + it.cy)};
        if (!d->focusId && c.IsButton() && (c.style & WS_TABSTOP))
            d->focusId = c.id;
        d->controls.push_back(c);
    }
    Registry().dialogs[hwnd] = std::move(d);
    // One repaint source serves every dialog; a reset of the window layer drops it, so it is
    // added afresh with each dialog.
    platform::RemoveMessageSource(Registry().sourceHandle);
    Registry().sourceHandle = platform::AddMessageSource(platform::RepaintDialogs);

    SendMessage(hwnd, WM_INITDIALOG, 0, param);
    if (IsWindow(hwnd) && (t->style & WS_VISIBLE)) {
        SendMessage(hwnd, WM_SHOWWINDOW, TRUE, 0);
        ShowWindow(hwnd, SW_SHOW);
    }
    return IsWindow(hwnd) ? hwnd : nullptr;
}

BOOL IsDialogMessage(HWND dialog, MSG* msg) {
    platform::DialogState* d = FindDialog(dialog);
    if (!d || !msg || msg->hwnd != dialog)
        return FALSE;
    switch (msg->message) {
    case WM_KEYDOWN:
        switch (msg->wParam) {
        case VK_ESCAPE:
            platform::Click(dialog, IDCANCEL);
            break;
        case VK_RETURN: {
            // The focused push button, else the default one, else IDOK.
            WORD id = d->focusId;
            if (!id) {
                id = IDOK;
                for (const platform::DialogControl& c : d->controls)
                    if (c.IsButton() && (c.style & BS_DEFPUSHBUTTON))
                        id = c.id;
            }
            platform::Click(dialog, id);
            break;
        }
        case VK_SPACE:
            if (d->focusId)
                platform::Click(dialog, d->focusId);
            break;
        case VK_TAB: {
            std::vector<WORD> stops;
            for (const platform::DialogControl& c : d->controls)
                if (c.IsButton() && (c.style & WS_TABSTOP))
                    stops.push_back(c.id);
            if (!stops.empty()) {
                auto at = std::find(stops.begin(), stops.end(), d->focusId);
                d->focusId = (at == stops.end() || at + 1 == stops.end()) ? stops.front() : *(at + 1);
                d->dirty = true;
            }
            break;
        }
        default:
            break;
        }
        return TRUE;
    case WM_KEYUP:
    case WM_CHAR:
    case WM_DEADCHAR:
        return TRUE;
    default:
        return FALSE;
    }
}

BOOL SetDlgItemText(HWND dialog, int id, const char* text) {
    platform::DialogState* d = FindDialog(dialog);
    platform::DialogControl* c = d ? d->Find(id) : nullptr;
    if (!c)
        return FALSE;
    std::string t = text ? text : "";
    if (t != c->text) {
        c->text = t;
        d->dirty = true;
        platform::Emit(*d, t);
    }
    return TRUE;
}

UINT GetDlgItemText(HWND dialog, int id, char* text, int maxCount) {
    platform::DialogState* d = FindDialog(dialog);
    const platform::DialogControl* c = d ? d->Find(id) : nullptr;
    if (!text || maxCount <= 0)
        return 0;
    text[0] = '\0';
    if (!c)
        return 0;
    size_t n = std::min(c->text.size(), static_cast<size_t>(maxCount - 1));
    std::memcpy(text, c->text.data(), n);
    text[n] = '\0';
    return static_cast<UINT>(n);
}

LRESULT SendDlgItemMessage(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam) {
    platform::DialogState* d = FindDialog(dialog);
    platform::DialogControl* c = d ? d->Find(id) : nullptr;
    if (!c || !c->IsProgress())
        return 0;
    switch (message) {
    case PBM_SETRANGE: {
        LRESULT old = MAKELPARAM(static_cast<WORD>(c->rangeMin), static_cast<WORD>(c->rangeMax));
        c->rangeMin = LOWORD(static_cast<uintptr_t>(lParam));
        c->rangeMax = HIWORD(static_cast<uintptr_t>(lParam));
        c->pos = std::clamp(c->pos, c->rangeMin, std::max(c->rangeMin, c->rangeMax));
        d->dirty = true;
        return old;
    }
    case PBM_SETPOS: {
        int old = c->pos;
        int pos = std::clamp(static_cast<int>(wParam), c->rangeMin, std::max(c->rangeMin, c->rangeMax));
        if (pos != old) {
            c->pos = pos;
            d->dirty = true;
            platform::Emit(*d, std::to_string(pos) + "%");
        }
        return old;
    }
    case PBM_GETPOS:
        return c->pos;
    case PBM_GETRANGE:
        return wParam ? c->rangeMin : c->rangeMax;
    default:
        return 0;
    }
}
