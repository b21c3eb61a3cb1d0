#pragma once
// The arena's quit-match dialog: a two-item box over the frame, leave (item 101) or go on (102).
// The window system owns the open box; the dialog keeps only its ticket.

#include <cstdint>

#include "client/core/pcx_image.h"

struct QuitDialog {
    PcxImage picture;    // qmatch0.pcx
    PcxImage highlight;  // qmatch1.pcx
    int32_t result = 0;  // 0 none yet, 1 leave, 2 go on
    int32_t open = 0;
    uint32_t ticket = 0;
};
extern QuitDialog g_quitDialog;

// Loads both pictures with their 16-bit copies; 1 when both loaded.
int LoadQuitDialogArt();
// Opens the box (once) with the free cursor. 0 when it cannot be shown (no art).
int ShowQuitDialog();
// 1 when the player chose to leave; 0 while the box is open, after "go on" (the box closes and
// mouse look comes back) or when the window system ended the box.
int TakeQuitDialogResult();
void FreeQuitDialog();
