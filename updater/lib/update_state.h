#pragma once
// The update utility's program-wide state, one instance each, all zero at start. The steps of
// the dialog set it; the transfers read CancelRequested and report to the dialog.

#include "platform/inet/inet.h"
#include "platform/win/win.h"

// The state of the update's state machine, 0 to 5.
extern int UpdateState;
// Set when the user presses Cancel; never cleared.
extern bool CancelRequested;
extern HWND UpdateDialogWindow;
// Opened in state 0, closed in state 5.
extern HINTERNET InternetSession;
extern char UpdateServer[1024];
extern char PatcherServer[1024];
extern char ProductServer[1024];

// The dialog's controls.
constexpr int IDC_PROGRESS = 1001;
constexpr int IDC_STATUS_LINE = 1006;
constexpr int IDC_DETAIL_LINE = 1007;
constexpr int IDC_VERSION = 1008;

// Files of the working directory (the installation).
constexpr const char* kUpdateFileName = "update.dat";
constexpr const char* kListFileName = "zandfix.dat";
// Names the file a download is being inflated into, while it is, so that a later run can remove
// what a killed one left.
constexpr const char* kPartNoteFileName = "zandpart.dat";

// Everything back to its start, the session closed (a process runs one update; tests run many).
void ResetUpdaterState();
