#pragma once
// The update utility's shell: start-up with the self-copy, the update dialog and its message
// loop, the state machine that runs the update one step per idle turn, the error messages, and
// the start of the client.

#include <string>

#include "platform/dialog/dialog.h"
#include "platform/win/win.h"

// The dialog of the update (277 x 79 dialog units).
extern const DialogTemplate UpdateDialog;

// The program: PrepareStart, then RunUpdateDialog. The command line is not read.
int WinMain(HINSTANCE instance, HINSTANCE previous, const char* commandLine, int showMode);

// Before any window: started as "spell" (or "spell.exe"), the program copies its own file to
// patch.bin beside it and runs the copy in its place; then it moves to its own directory,
// registers the control classes and removes a stale list file.
void PrepareStart();
// PrepareStart for a program whose own file is programPath.
void PrepareStartAs(const char* programPath);
// Makes the directory of the program's own file the working directory.
bool ChangeToProgramDir(const std::string& programPath);

// Creates the dialog and runs the message loop until the quit message; the quit code.
int RunUpdateDialog();

INT_PTR UpdateDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
void HandleInitDialog();
void InitDialogTexts();
void UpdateStep();
bool OpenInternetSession();
void CloseInternetSession();
// The error box with the advice text; nothing for a null text.
void ShowUpdateError(const char* text);
void RemoveListFile();
