#pragma once
// The one window and its procedure: window messages become calls of the input, timer and window
// system handlers, and PumpMessages drains the queue. Nothing reaches the game except while some
// loop pumps.

#include <cstdint>

#include "platform/win/win.h"

extern HWND g_mainWindow;
// Set by WM_CLOSE; the next PumpMessages ends the process.
extern int32_t g_quitFlag;
// Set by every key press and mouse-button press; read and cleared by the inactivity timer.
extern int32_t g_activityFlag;
// Set when the system restores the window.
extern int32_t g_restoredFlag;
// The system's mouse-trail setting at start.
extern int32_t g_savedMouseTrails;

// Remembers the system's mouse trails and switches them off for the run when they are 2 or more
// (1 is the system's "none"); the restore puts such a setting back.
void SwitchMouseTrailsOff();
void RestoreMouseTrails();

constexpr UINT_PTR kToolTipTimer = 201;

LRESULT MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Dispatches every waiting message; ends the process when the quit flag is set. Returns the tick
// count read on entry.
DWORD PumpMessages();
void OnTimer(UINT_PTR id);
