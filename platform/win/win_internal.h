#pragma once
// Internal to platform/win: the backend interface and the shared state the files of the window
// layer use between them.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/win/win.h"

namespace platform {

uint64_t NowMillis();
void SleepMillis(uint64_t ms);

// A window backend turns real input into Inject* calls and shows windows; the headless one has
// nothing to show and gets its input from tests and scripts.
class WindowBackend {
public:
    virtual ~WindowBackend() = default;
    virtual bool IsHeadless() const = 0;
    virtual void OnWindowCreated(HWND hwnd, const char* title, int width, int height, bool isMain) = 0;
    virtual void OnWindowDestroyed(HWND hwnd) = 0;
    virtual void OnWindowShown(HWND hwnd, bool visible) = 0;
    virtual void OnWindowTitle(HWND hwnd, const char* title) = 0;
    // Turns pending real events into injected messages. Never blocks.
    virtual void PollEvents() = 0;
    // Waits up to timeoutMs for a real event (the real clock only). Returns true when one may be
    // there.
    virtual bool WaitEvents(uint32_t timeoutMs) = 0;
    // Where the pointer is now, in client coordinates of the main window, read from the window's
    // live mouse state; false when the backend has no pointer over that window (headless, or the
    // pointer is elsewhere), and the place of the last motion taken stands.
    virtual bool PointerPosition(int* x, int* y) = 0;
    virtual void WarpCursor(int x, int y) = 0;
    virtual void SetCursorVisible(bool visible) = 0;
    virtual void SetCursorClip(const RECT* clientRect) = 0;
    // Returns the answer, or -1 to fall back to the text form.
    virtual int ShowMessageBox(const char* text, const char* caption, UINT type) = 0;
};

// No window and no real input: tests and scripts inject messages, waits only pass time. Tests
// derive their fakes from it.
class HeadlessBackend : public WindowBackend {
public:
    bool IsHeadless() const override { return true; }
    void OnWindowCreated(HWND, const char*, int, int, bool) override {}
    void OnWindowDestroyed(HWND) override {}
    void OnWindowShown(HWND, bool) override {}
    void OnWindowTitle(HWND, const char*) override {}
    void PollEvents() override {}
    bool WaitEvents(uint32_t timeoutMs) override;
    bool PointerPosition(int*, int*) override { return false; }
    void WarpCursor(int, int) override {}
    void SetCursorVisible(bool) override {}
    void SetCursorClip(const RECT*) override {}
    int ShowMessageBox(const char*, const char*, UINT) override { return -1; }
};

std::unique_ptr<WindowBackend> MakeHeadlessBackend();
// Null when SDL's video cannot start.
std::unique_ptr<WindowBackend> MakeSdlBackend();

WindowBackend& Backend_();
// Puts the given backend in place of the one chosen (tests: a fake pointer that moves between
// pumps and records warps).
void UseWindowBackend(std::unique_ptr<WindowBackend> backend);

// Window facts the input code needs.
struct WindowFacts {
    UINT classStyle = 0;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};
bool GetWindowFacts(HWND hwnd, WindowFacts* facts);

// Queue a message with an explicit time and point (input uses the time of the event).
void PostInputMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Input state kept by input.cpp.
void ResetInputState();
void PollInputScript();
// Milliseconds on the tick clock of the next script event, or 0 when none.
uint64_t NextScriptEventMs();
void SetCursorClientPos(int x, int y);

// Misc state kept by misc.cpp.
void ResetMiscState();

}  // namespace platform
