// A dialog's real window: our drawing copied onto the SDL window's surface. The window keeps
// the size of its template.

#include <SDL.h>

#include "platform/dialog/dialog_internal.h"
#include "platform/win/sdl_window.h"

namespace platform {

bool PresentDialog(DialogState& d) {
    SDL_Window* window = SdlWindowFor(d.hwnd);
    if (!window)
        return false;
    if (!d.windowPrepared) {
        SDL_SetWindowResizable(window, SDL_FALSE);
        d.windowPrepared = true;
    }
    std::vector<uint32_t> pixels;
    DrawDialog(d, &pixels);
    SDL_Surface* target = SDL_GetWindowSurface(window);
    if (!target)
        return false;
    SDL_Surface* source = SDL_CreateRGBSurfaceWithFormatFrom(pixels.data(), d.width, d.height, 32, d.width * 4,
                                                             SDL_PIXELFORMAT_RGB888);
    if (!source)
        return false;
    bool ok = SDL_BlitScaled(source, nullptr, target, nullptr) == 0 && SDL_UpdateWindowSurface(window) == 0;
    SDL_FreeSurface(source);
    return ok;
}

}  // namespace platform
