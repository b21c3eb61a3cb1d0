#pragma once
// What our platform layer offers beyond the Windows-shaped calls of win.h: the choice of window
// backend, the replaceable clock, input injection for headless runs and tests, hooks for other
// platform parts that produce window messages, the exit handler and the debug-output sink.

#include <cstdint>
#include <functional>
#include <string>

#include "platform/win/win.h"

namespace platform {

// ---- Backend ---------------------------------------------------------------------------------
enum class Backend { Auto, Sdl, Headless };

// Chooses the window backend. Auto picks headless when GAME_HEADLESS is set to a non-empty value
// other than "0", or when there is no display (no DISPLAY and no WAYLAND_DISPLAY) or SDL's video
// cannot start; otherwise SDL. Called implicitly by the first window call.
void InitWindowing(Backend backend = Backend::Auto);
bool IsHeadless();
// Forgets every window, class, timer, queued message and input state and the backend choice,
// so each test starts from nothing. Does not change the clock.
void ResetWindowing();

// ---- Clock -----------------------------------------------------------------------------------
// All time of the platform (tick counts, message times, timers, Sleep, the performance counter)
// comes from one clock. The real clock follows the monotonic system clock; the virtual clock moves
// only when Sleep is called, a wait has nothing to do but wait, or a test advances it.
void UseRealClock();
void UseVirtualClock(uint64_t startMs = 10000);
bool IsVirtualClock();
void AdvanceVirtualClock(uint64_t ms);
uint64_t NowNanos();
// GAME_CLOCK=virtual[:ms] runs the program on the virtual clock, moved on by the step (10 ms unless
// given) for each frame shown and by 1 ms for each pump that finds nothing, so loops that wait
// for time keep running and runs repeat exactly. Otherwise the real clock.
void UseClockFromEnvironment();
// The step a shown frame moves the virtual clock by; 0 (the default) leaves frames out of it.
void SetVirtualFrameStep(uint64_t ms);
uint64_t VirtualFrameStep();
// The display calls this for every frame it shows.
void OnFrameShown();
// Processor cycle counter for frame statistics (time-stamp counter where there is one).
uint64_t ReadCycleCounter();

// ---- Input injection -------------------------------------------------------------------------
// Feed the main window the messages that real input would produce, with the same translation
// (scan codes, async key state, modifiers, double clicks). The SDL backend uses these too.
// Coordinates are client coordinates of the main window.
enum class MouseButton { Left, Right, Middle };
void InjectKey(int set1ScanCode, bool down, bool extended = false);
void InjectMouseMove(int x, int y);
void InjectMouseButton(MouseButton button, bool down, int x, int y);
// The window manager's close command: WM_SYSCOMMAND with SC_CLOSE.
void InjectCloseRequest();
void InjectFocus(bool gained);
void InjectRestore();

// Loads a headless input script: each line "<ms> <event> ..." with ms counted on the tick clock
// from the moment of loading: "key <scan> down|up [ext]", "move <x> <y>",
// "button left|right|middle down|up <x> <y>", "close" (a window-manager close), "quit" (WM_CLOSE
// posted to the main window), "screenshot <file>" (the next frame shown is saved as a PNG).
// Lines starting with '#' are comments. False when unreadable.
bool LoadInputScript(const std::string& path);

// The next frame shown is written to path as a PNG.
void RequestScreenshot(const std::string& path);
// The path asked for, taken once; false when none is pending.
bool TakeScreenshotRequest(std::string* path);
// 8-bit RGB rows, top down.
bool WritePng(const std::string& path, int width, int height, const uint8_t* rgb);

// Maps an SDL scan code to a PC set-1 scan code; 0 when the key has none.
int Set1FromSdlScancode(int sdlScancode, bool* extended);

// ---- Hooks for other platform parts ----------------------------------------------------------
// A message source is polled at the start of every PeekMessage and GetMessage and may post
// messages (socket events, music notifications). While any source is registered, a blocking wait
// on the virtual clock moves in 10 ms steps so the sources keep being polled.
using MessageSource = std::function<void()>;
int AddMessageSource(MessageSource source);
void RemoveMessageSource(int handle);

// Offers a library to LoadLibraryA, GetModuleHandleA and GetProcAddress: `resolve` gives a
// function by name (null when the library has none). A library that is `loaded` is found by
// GetModuleHandleA before any LoadLibraryA, as one the program is linked against.
using ModuleResolver = std::function<FARPROC(const char* function)>;
void RegisterModule(const std::string& name, ModuleResolver resolve, bool loaded);
// Takes a library away: LoadLibraryA no longer finds it. A handle already held stays valid.
void UnregisterModule(const std::string& name);
// Whether GetModuleHandleA finds the library (tests take a linked library away with false).
void SetModuleLoaded(const std::string& name, bool loaded);

// The main window is the first window created; it receives injected input.
HWND MainWindow();

// ---- Process exit and diagnostics -------------------------------------------------------------
// ExitProcess calls the handler; the default flushes output and calls std::exit. Tests install a
// handler that throws, so a test can observe an exit without losing the process.
using ExitHandler = std::function<void(int)>;
void SetExitHandler(ExitHandler handler);

// Receives every OutputDebugStringA text. The default writes to standard error when
// GAME_DEBUG_OUTPUT is set and drops the text otherwise.
using DebugOutputSink = std::function<void(const char*)>;
void SetDebugOutputSink(DebugOutputSink sink);

// Receives every message box (caption, text) in headless runs instead of standard error, and
// chooses its answer. Without one, headless boxes print and answer IDOK (IDYES for yes/no).
using MessageBoxHandler = std::function<int(const char* text, const char* caption, UINT type)>;
void SetMessageBoxHandler(MessageBoxHandler handler);

// Mouse-trail setting kept by SystemParametersInfo (no such thing on our desktops; starts at 0).
void SetMouseTrails(int trails);

}  // namespace platform
