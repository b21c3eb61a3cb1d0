#pragma once
// The screens' background pictures named in main.dat [screens], read once at start-up. Until
// then each holds its usual name.

constexpr int kScreenFileNameSize = 50;  // 49 characters and the terminator

struct ScreenFiles {
    char menu[kScreenFileNameSize] = "wyzards2.pcx";
    char gameBack[kScreenFileNameSize] = "screen2.pcx";
    char chatBack[kScreenFileNameSize] = "screen2.pcx";
    char keyboardBack[kScreenFileNameSize] = "screen2.pcx";
    char summaryBack[kScreenFileNameSize] = "screen2.pcx";
    char characterBack[kScreenFileNameSize] = "screen2.pcx";
};
extern ScreenFiles g_screenFiles;

// Reads the six keys of main.dat [screens]; a missing one is logged ("No entry for <key> in file:
// main.dat") and ends the program with exit code -1.
void LoadScreenFiles();
