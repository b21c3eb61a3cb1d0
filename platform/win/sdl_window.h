#pragma once
// For other platform parts only (the display layer presents into the SDL window). Game, engine
// and updater code never include this.

struct SDL_Window;

#include "platform/win/win.h"

namespace platform {

// The SDL window behind a window handle; null in the headless backend or for an unknown handle.
SDL_Window* SdlWindowFor(HWND hwnd);

}  // namespace platform
