#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "platform/win/platform.h"
#include "platform/win/win_internal.h"

struct WindowObject {
    std::string className;
    std::string title;
    WNDPROC proc = nullptr;
    UINT classStyle = 0;
    DWORD style = 0;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool visible = false;
    bool alive = true;
};

namespace platform {
namespace {

// Windows never generates timer messages faster than this.
constexpr uint32_t kMinTimerMs = 10;
// How long a blocking wait sleeps at most before looking at timers and sources again.
constexpr uint32_t kMaxWaitSliceMs = 10;

struct Timer {
    HWND hwnd;
    UINT_PTR id;
    uint32_t intervalMs;
    uint64_t dueMs;
    TIMERPROC proc;
};

struct Source {
    int handle;
    MessageSource fn;
};

struct WindowingState {
    std::unique_ptr<WindowBackend> backend;
    std::map<std::string, WNDCLASS> classes;  // by lower-case name
    std::vector<WindowObject*> windows;
    HWND mainWindow = nullptr;
    HWND focus = nullptr;
    std::deque<MSG> queue;
    std::vector<Timer> timers;
    std::vector<Source> sources;
    int nextSourceHandle = 1;
    bool quitPosted = false;
    int quitCode = 0;
    LONG lastMessageTime = 0;
    bool polling = false;
};

WindowingState& State() {
    static WindowingState state;
    return state;
}

std::string Lower(const char* s) {
    std::string r = s ? s : "";
    for (char& c : r)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return r;
}

bool EnvSet(const char* name) {
    const char* v = std::getenv(name);
    return v && *v && std::strcmp(v, "0") != 0;
}

bool Alive(HWND hwnd) {
    auto& ws = State().windows;
    return hwnd && std::find(ws.begin(), ws.end(), hwnd) != ws.end() && hwnd->alive;
}

bool Matches(const MSG& m, HWND hwnd, UINT lo, UINT hi) {
    if (hwnd && m.hwnd != hwnd)
        return false;
    if (lo == 0 && hi == 0)
        return true;
    return m.message >= lo && m.message <= hi;
}

POINT CursorForMessage() {
    POINT p{0, 0};
    ::GetCursorPos(&p);
    return p;
}

// Runs every message source and the backend so queued input is current.
void PollAll() {
    WindowingState& s = State();
    if (s.polling)
        return;
    s.polling = true;
    Backend_().PollEvents();
    PollInputScript();
    // Copy: a source may remove itself.
    std::vector<Source> sources = s.sources;
    for (auto& src : sources)
        if (src.fn)
            src.fn();
    s.polling = false;
}

// The earliest due timer that matches the filter, or nullptr.
Timer* DueTimer(HWND hwnd, UINT lo, UINT hi, uint64_t now) {
    if (!(lo == 0 && hi == 0) && !(WM_TIMER >= lo && WM_TIMER <= hi))
        return nullptr;
    Timer* best = nullptr;
    for (Timer& t : State().timers) {
        if (hwnd && t.hwnd != hwnd)
            continue;
        if (t.dueMs <= now && (!best || t.dueMs < best->dueMs))
            best = &t;
    }
    return best;
}

// Finds a message without waiting: posted and input messages first, in order, then timers.
bool FindMessage(MSG* out, HWND hwnd, UINT lo, UINT hi, bool remove) {
    WindowingState& s = State();
    for (auto it = s.queue.begin(); it != s.queue.end(); ++it) {
        if (!Matches(*it, hwnd, lo, hi))
            continue;
        *out = *it;
        if (remove)
            s.queue.erase(it);
        return true;
    }
    uint64_t now = NowMillis();
    if (Timer* t = DueTimer(hwnd, lo, hi, now)) {
        out->hwnd = t->hwnd;
        out->message = WM_TIMER;
        out->wParam = t->id;
        out->lParam = reinterpret_cast<LPARAM>(t->proc);
        out->time = static_cast<DWORD>(now);
        out->pt = CursorForMessage();
        if (remove)
            t->dueMs = now + t->intervalMs;
        return true;
    }
    if (s.quitPosted && (hwnd == nullptr) && Matches(MSG{nullptr, WM_QUIT, 0, 0, 0, {0, 0}}, hwnd, lo, hi)) {
        *out = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(s.quitCode), 0, static_cast<DWORD>(now), CursorForMessage()};
        if (remove)
            s.quitPosted = false;
        return true;
    }
    return false;
}

uint64_t NextTimerDue(HWND hwnd) {
    uint64_t next = 0;
    for (const Timer& t : State().timers) {
        if (hwnd && t.hwnd != hwnd)
            continue;
        if (next == 0 || t.dueMs < next)
            next = t.dueMs;
    }
    return next;
}

void DestroyTimersOf(HWND hwnd) {
    auto& ts = State().timers;
    ts.erase(std::remove_if(ts.begin(), ts.end(), [&](const Timer& t) { return t.hwnd == hwnd; }), ts.end());
}

}  // namespace

WindowBackend& Backend_() {
    if (!State().backend)
        InitWindowing(Backend::Auto);
    return *State().backend;
}

void UseWindowBackend(std::unique_ptr<WindowBackend> backend) {
    State().backend = std::move(backend);
}

void InitWindowing(Backend backend) {
    WindowingState& s = State();
    if (s.backend)
        return;
    if (backend == Backend::Auto) {
        bool noDisplay = !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY");
        backend = (EnvSet("GAME_HEADLESS") || noDisplay) ? Backend::Headless : Backend::Sdl;
    }
    if (backend == Backend::Sdl)
        s.backend = MakeSdlBackend();
    if (!s.backend)
        s.backend = MakeHeadlessBackend();
}

bool IsHeadless() {
    return Backend_().IsHeadless();
}

void ResetWindowing() {
    WindowingState& s = State();
    for (WindowObject* w : s.windows) {
        if (s.backend)
            s.backend->OnWindowDestroyed(w);
        delete w;
    }
    s.windows.clear();
    s.classes.clear();
    s.mainWindow = nullptr;
    s.focus = nullptr;
    s.queue.clear();
    s.timers.clear();
    s.sources.clear();
    s.quitPosted = false;
    s.quitCode = 0;
    s.lastMessageTime = 0;
    s.backend.reset();
    ResetInputState();
    ResetMiscState();
}

HWND MainWindow() {
    return Alive(State().mainWindow) ? State().mainWindow : nullptr;
}

int AddMessageSource(MessageSource source) {
    int handle = State().nextSourceHandle++;
    State().sources.push_back({handle, std::move(source)});
    return handle;
}

void RemoveMessageSource(int handle) {
    auto& v = State().sources;
    v.erase(std::remove_if(v.begin(), v.end(), [&](const Source& s) { return s.handle == handle; }), v.end());
}

bool GetWindowFacts(HWND hwnd, WindowFacts* facts) {
    if (!Alive(hwnd))
        return false;
    facts->classStyle = hwnd->classStyle;
    facts->x = hwnd->x;
    facts->y = hwnd->y;
    facts->width = hwnd->width;
    facts->height = hwnd->height;
    return true;
}

void PostInputMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!Alive(hwnd))
        return;
    MSG m{hwnd, message, wParam, lParam, static_cast<DWORD>(NowMillis()), CursorForMessage()};
    State().queue.push_back(m);
}

}  // namespace platform

using platform::State;

WORD RegisterClass(const WNDCLASS* wc) {
    if (!wc || !wc->lpszClassName || !wc->lpfnWndProc)
        return 0;
    platform::InitWindowing();
    std::string key = platform::Lower(wc->lpszClassName);
    if (State().classes.count(key))
        return 0;
    State().classes[key] = *wc;
    return static_cast<WORD>(State().classes.size());
}

HWND CreateWindowEx(DWORD /*exStyle*/, const char* className, const char* title, DWORD style, int x, int y,
                    int width, int height, HWND /*parent*/, HMENU /*menu*/, HINSTANCE /*instance*/,
                    void* /*param*/) {
    platform::InitWindowing();
    auto it = State().classes.find(platform::Lower(className));
    if (it == State().classes.end())
        return nullptr;
    auto* w = new WindowObject;
    w->className = it->second.lpszClassName;
    w->title = title ? title : "";
    w->proc = it->second.lpfnWndProc;
    w->classStyle = it->second.style;
    w->style = style;
    w->x = x;
    w->y = y;
    w->width = width;
    w->height = height;
    State().windows.push_back(w);
    bool isMain = State().mainWindow == nullptr;
    if (isMain)
        State().mainWindow = w;
    platform::Backend_().OnWindowCreated(w, w->title.c_str(), width, height, isMain);
    if (w->proc(w, WM_CREATE, 0, 0) == -1) {
        DestroyWindow(w);
        return nullptr;
    }
    if (style & WS_VISIBLE)
        ShowWindow(w, SW_SHOW);
    return w;
}

BOOL DestroyWindow(HWND hwnd) {
    if (!platform::Alive(hwnd))
        return FALSE;
    hwnd->proc(hwnd, WM_DESTROY, 0, 0);
    hwnd->alive = false;
    platform::DestroyTimersOf(hwnd);
    auto& q = State().queue;
    q.erase(std::remove_if(q.begin(), q.end(), [&](const MSG& m) { return m.hwnd == hwnd; }), q.end());
    platform::Backend_().OnWindowDestroyed(hwnd);
    if (State().focus == hwnd)
        State().focus = nullptr;
    auto& ws = State().windows;
    ws.erase(std::remove(ws.begin(), ws.end(), hwnd), ws.end());
    if (State().mainWindow == hwnd)
        State().mainWindow = nullptr;
    delete hwnd;
    return TRUE;
}

BOOL IsWindow(HWND hwnd) {
    return platform::Alive(hwnd) ? TRUE : FALSE;
}

BOOL ShowWindow(HWND hwnd, int cmdShow) {
    if (!platform::Alive(hwnd))
        return FALSE;
    BOOL wasVisible = hwnd->visible ? TRUE : FALSE;
    hwnd->visible = cmdShow != SW_HIDE;
    platform::Backend_().OnWindowShown(hwnd, hwnd->visible);
    if (hwnd->visible && State().focus == nullptr) {
        State().focus = hwnd;
        SendMessage(hwnd, WM_SETFOCUS, 0, 0);
    }
    return wasVisible;
}

BOOL IsWindowVisible(HWND hwnd) {
    return platform::Alive(hwnd) && hwnd->visible ? TRUE : FALSE;
}

BOOL UpdateWindow(HWND hwnd) {
    return platform::Alive(hwnd) ? TRUE : FALSE;
}

BOOL InvalidateRect(HWND hwnd, const RECT*, BOOL) {
    return platform::Alive(hwnd) ? TRUE : FALSE;
}

BOOL SetWindowText(HWND hwnd, const char* text) {
    if (!platform::Alive(hwnd))
        return FALSE;
    hwnd->title = text ? text : "";
    platform::Backend_().OnWindowTitle(hwnd, hwnd->title.c_str());
    return TRUE;
}

BOOL GetClientRect(HWND hwnd, RECT* rect) {
    if (!platform::Alive(hwnd) || !rect)
        return FALSE;
    *rect = RECT{0, 0, hwnd->width, hwnd->height};
    return TRUE;
}

BOOL ClientToScreen(HWND hwnd, POINT* point) {
    if (!platform::Alive(hwnd) || !point)
        return FALSE;
    point->x += hwnd->x;
    point->y += hwnd->y;
    return TRUE;
}

BOOL ScreenToClient(HWND hwnd, POINT* point) {
    if (!platform::Alive(hwnd) || !point)
        return FALSE;
    point->x -= hwnd->x;
    point->y -= hwnd->y;
    return TRUE;
}

HWND GetFocus() {
    return platform::Alive(State().focus) ? State().focus : nullptr;
}

LRESULT DefWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM /*lParam*/) {
    switch (message) {
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE)
            SendMessage(hwnd, WM_CLOSE, 0, 0);
        return 0;
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    default:
        return 0;
    }
}

BOOL PeekMessage(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags) {
    platform::InitWindowing();
    platform::PollAll();
    MSG m{};
    if (!platform::FindMessage(&m, hwnd, filterMin, filterMax, (removeFlags & PM_REMOVE) != 0)) {
        // A loop that polls for time must see it pass on a stepped virtual clock.
        if (const uint64_t step = platform::VirtualFrameStep(); step > 0)
            platform::AdvanceVirtualClock(1);
        return FALSE;
    }
    if (removeFlags & PM_REMOVE)
        State().lastMessageTime = static_cast<LONG>(m.time);
    if (msg)
        *msg = m;
    return TRUE;
}

BOOL GetMessage(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax) {
    platform::InitWindowing();
    for (;;) {
        platform::PollAll();
        MSG m{};
        if (platform::FindMessage(&m, hwnd, filterMin, filterMax, true)) {
            State().lastMessageTime = static_cast<LONG>(m.time);
            if (msg)
                *msg = m;
            return m.message == WM_QUIT ? FALSE : TRUE;
        }
        uint64_t now = platform::NowMillis();
        uint64_t next = platform::NextTimerDue(hwnd);
        uint64_t script = platform::NextScriptEventMs();
        if (script && (next == 0 || script < next))
            next = script;
        if (platform::IsVirtualClock()) {
            // Nothing else can happen before the next deadline, so jump to it.
            if (next == 0) {
                if (!State().sources.empty())
                    platform::AdvanceVirtualClock(platform::kMaxWaitSliceMs);
                else
                    return -1;
            } else if (next > now) {
                platform::AdvanceVirtualClock(next - now);
            }
            continue;
        }
        uint64_t wait = platform::kMaxWaitSliceMs;
        if (next > now && next - now < wait)
            wait = next - now;
        if (next != 0 && next <= now)
            wait = 0;
        platform::Backend_().WaitEvents(static_cast<uint32_t>(wait));
    }
}

BOOL TranslateMessage(const MSG*) {
    // No character messages are ever produced.
    return FALSE;
}

LRESULT DispatchMessage(const MSG* msg) {
    if (!msg)
        return 0;
    if (msg->message == WM_TIMER && msg->lParam) {
        auto proc = reinterpret_cast<TIMERPROC>(msg->lParam);
        proc(msg->hwnd, WM_TIMER, msg->wParam, msg->time);
        return 0;
    }
    if (!platform::Alive(msg->hwnd))
        return 0;
    return msg->hwnd->proc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

BOOL PostMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    platform::InitWindowing();
    if (hwnd && !platform::Alive(hwnd))
        return FALSE;
    MSG m{hwnd, message, wParam, lParam, static_cast<DWORD>(platform::NowMillis()), platform::CursorForMessage()};
    State().queue.push_back(m);
    return TRUE;
}

LRESULT SendMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!platform::Alive(hwnd))
        return 0;
    return hwnd->proc(hwnd, message, wParam, lParam);
}

void PostQuitMessage(int exitCode) {
    State().quitPosted = true;
    State().quitCode = exitCode;
}

LONG GetMessageTime() {
    return State().lastMessageTime;
}

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, TIMERPROC proc) {
    platform::InitWindowing();
    if (hwnd && !platform::Alive(hwnd))
        return 0;
    uint32_t interval = elapseMs < platform::kMinTimerMs ? platform::kMinTimerMs : elapseMs;
    uint64_t due = platform::NowMillis() + interval;
    for (auto& t : State().timers) {
        if (t.hwnd == hwnd && t.id == id) {
            t.intervalMs = interval;
            t.dueMs = due;
            t.proc = proc;
            return id ? id : 1;
        }
    }
    State().timers.push_back({hwnd, id, interval, due, proc});
    return id ? id : 1;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id) {
    auto& ts = State().timers;
    auto it = std::find_if(ts.begin(), ts.end(), [&](const platform::Timer& t) { return t.hwnd == hwnd && t.id == id; });
    if (it == ts.end())
        return FALSE;
    ts.erase(it);
    return TRUE;
}
