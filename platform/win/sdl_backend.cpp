// The real window: SDL2 video with its events turned into the messages of the injected-input
// path. A window is created at its client size and may be resized by the user; coordinates are
// scaled between the window's pixels and the client size the program asked for.

#include <SDL.h>

#include <cstdlib>
#include <map>

#include "platform/win/platform.h"
#include "platform/win/sdl_window.h"
#include "platform/win/win_internal.h"

namespace platform {
namespace {

class SdlBackend;
SdlBackend* g_sdl = nullptr;

class SdlBackend final : public WindowBackend {
public:
    SdlBackend() { g_sdl = this; }
    ~SdlBackend() override {
        for (auto& [hwnd, w] : windows_)
            SDL_DestroyWindow(w.window);
        windows_.clear();
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        g_sdl = nullptr;
    }

    bool IsHeadless() const override { return false; }

    void OnWindowCreated(HWND hwnd, const char* title, int width, int height, bool isMain) override {
        Uint32 flags = SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI;
        SDL_Window* window = SDL_CreateWindow(title, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                              width > 0 ? width : 1, height > 0 ? height : 1, flags);
        if (!window)
            return;
        windows_[hwnd] = {window, width, height};
        if (isMain)
            main_ = hwnd;
    }

    void OnWindowDestroyed(HWND hwnd) override {
        auto it = windows_.find(hwnd);
        if (it == windows_.end())
            return;
        SDL_DestroyWindow(it->second.window);
        windows_.erase(it);
        if (main_ == hwnd)
            main_ = nullptr;
    }

    void OnWindowShown(HWND hwnd, bool visible) override {
        if (SDL_Window* w = Find(hwnd)) {
            if (visible) {
                SDL_ShowWindow(w);
                SDL_RaiseWindow(w);
            } else {
                SDL_HideWindow(w);
            }
        }
    }

    void OnWindowTitle(HWND hwnd, const char* title) override {
        if (SDL_Window* w = Find(hwnd))
            SDL_SetWindowTitle(w, title);
    }

    void PollEvents() override {
        SDL_Event e;
        while (SDL_PollEvent(&e))
            Handle(e);
    }

    bool WaitEvents(uint32_t timeoutMs) override {
        return SDL_WaitEventTimeout(nullptr, static_cast<int>(timeoutMs)) != 0;
    }

    bool PointerPosition(int* x, int* y) override {
        SDL_Window* w = Find(main_);
        if (!w)
            return false;
        // Motion the pump has not taken yet still moves the mouse state.
        SDL_PumpEvents();
        if (SDL_GetMouseFocus() != w)
            return false;
        int wx, wy;
        SDL_GetMouseState(&wx, &wy);
        ToClient(wx, wy, x, y);
        return true;
    }

    void WarpCursor(int x, int y) override {
        SDL_Window* w = Find(main_);
        if (!w || !(SDL_GetWindowFlags(w) & SDL_WINDOW_INPUT_FOCUS))
            return;
        int wx, wy;
        ToWindow(x, y, &wx, &wy);
        SDL_WarpMouseInWindow(w, wx, wy);
        // The warp produces a motion event at the new place; drop it so mouse-look sees no
        // movement that the user did not make.
        SDL_PumpEvents();
        SDL_FlushEvent(SDL_MOUSEMOTION);
    }

    void SetCursorVisible(bool visible) override { SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE); }

    void SetCursorClip(const RECT* rect) override {
        SDL_Window* w = Find(main_);
        if (!w)
            return;
        if (!rect) {
            SDL_SetWindowMouseRect(w, nullptr);
            return;
        }
        int l, t, r, b;
        ToWindow(rect->left, rect->top, &l, &t);
        ToWindow(rect->right, rect->bottom, &r, &b);
        SDL_Rect area{l, t, r - l, b - t};
        SDL_SetWindowMouseRect(w, &area);
    }

    int ShowMessageBox(const char* text, const char* caption, UINT type) override {
        SDL_MessageBoxButtonData buttons[2];
        int count = 0;
        switch (type & 0xF) {
        case MB_OKCANCEL:
            buttons[count++] = {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, IDOK, "OK"};
            buttons[count++] = {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDCANCEL, "Cancel"};
            break;
        case MB_YESNO:
            buttons[count++] = {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, IDYES, "Yes"};
            buttons[count++] = {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDNO, "No"};
            break;
        default:
            buttons[count++] = {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT,
                                IDOK, "OK"};
            break;
        }
        Uint32 flags = SDL_MESSAGEBOX_INFORMATION;
        if ((type & 0xF0) == MB_ICONERROR)
            flags = SDL_MESSAGEBOX_ERROR;
        else if ((type & 0xF0) == MB_ICONWARNING)
            flags = SDL_MESSAGEBOX_WARNING;
        SDL_MessageBoxData data{flags, Find(main_), caption, text, count, buttons, nullptr};
        int answer = -1;
        if (SDL_ShowMessageBox(&data, &answer) != 0)
            return -1;
        return answer < 0 ? IDCANCEL : answer;
    }

    SDL_Window* Find(HWND hwnd) const {
        auto it = windows_.find(hwnd);
        return it == windows_.end() ? nullptr : it->second.window;
    }

private:
    struct Entry {
        SDL_Window* window;
        int clientW;
        int clientH;
    };

    HWND HwndForId(Uint32 id) const {
        for (auto& [hwnd, w] : windows_)
            if (SDL_GetWindowID(w.window) == id)
                return hwnd;
        return nullptr;
    }

    // Window pixels of the main window to client coordinates and back.
    void ToClient(int x, int y, int* cx, int* cy) const {
        auto it = windows_.find(main_);
        if (it == windows_.end()) {
            *cx = x;
            *cy = y;
            return;
        }
        int ww, wh;
        SDL_GetWindowSize(it->second.window, &ww, &wh);
        *cx = ww > 0 ? x * it->second.clientW / ww : x;
        *cy = wh > 0 ? y * it->second.clientH / wh : y;
    }

    void ToWindow(int x, int y, int* wx, int* wy) const {
        auto it = windows_.find(main_);
        if (it == windows_.end()) {
            *wx = x;
            *wy = y;
            return;
        }
        int ww, wh;
        SDL_GetWindowSize(it->second.window, &ww, &wh);
        *wx = it->second.clientW > 0 ? x * ww / it->second.clientW : x;
        *wy = it->second.clientH > 0 ? y * wh / it->second.clientH : y;
    }

    void Handle(const SDL_Event& e) {
        switch (e.type) {
        case SDL_KEYDOWN:
        case SDL_KEYUP: {
            bool ext = false;
            int code = Set1FromSdlScancode(e.key.keysym.scancode, &ext);
            if (code)
                InjectKey(code, e.type == SDL_KEYDOWN, ext);
            break;
        }
        case SDL_MOUSEMOTION: {
            int x, y;
            ToClient(e.motion.x, e.motion.y, &x, &y);
            InjectMouseMove(x, y);
            break;
        }
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
            MouseButton b;
            if (e.button.button == SDL_BUTTON_LEFT)
                b = MouseButton::Left;
            else if (e.button.button == SDL_BUTTON_RIGHT)
                b = MouseButton::Right;
            else if (e.button.button == SDL_BUTTON_MIDDLE)
                b = MouseButton::Middle;
            else
                break;
            int x, y;
            ToClient(e.button.x, e.button.y, &x, &y);
            InjectMouseButton(b, e.type == SDL_MOUSEBUTTONDOWN, x, y);
            break;
        }
        case SDL_WINDOWEVENT: {
            HWND hwnd = HwndForId(e.window.windowID);
            if (hwnd != main_)
                break;
            switch (e.window.event) {
            case SDL_WINDOWEVENT_CLOSE: InjectCloseRequest(); break;
            case SDL_WINDOWEVENT_FOCUS_GAINED: InjectFocus(true); break;
            case SDL_WINDOWEVENT_FOCUS_LOST: InjectFocus(false); break;
            case SDL_WINDOWEVENT_RESTORED: InjectRestore(); break;
            default: break;
            }
            break;
        }
        case SDL_QUIT:
            InjectCloseRequest();
            break;
        default:
            break;
        }
    }

    std::map<HWND, Entry> windows_;
    HWND main_ = nullptr;
};

}  // namespace

std::unique_ptr<WindowBackend> MakeSdlBackend() {
    // Ctrl+C in a terminal should end the program as usual, not arrive as a close request.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
        return nullptr;
    return std::make_unique<SdlBackend>();
}

SDL_Window* SdlWindowFor(HWND hwnd) {
    return g_sdl ? g_sdl->Find(hwnd) : nullptr;
}

}  // namespace platform
