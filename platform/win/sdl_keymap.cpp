#include <SDL.h>

#include "platform/win/platform.h"

namespace platform {

int Set1FromSdlScancode(int sdlScancode, bool* extended) {
    bool ext = false;
    int code = 0;
    auto sc = static_cast<SDL_Scancode>(sdlScancode);
    if (sc >= SDL_SCANCODE_A && sc <= SDL_SCANCODE_Z) {
        static constexpr unsigned char kLetters[26] = {30, 48, 46, 32, 18, 33, 34, 35, 23, 36, 37, 38, 50,
                                                       49, 24, 25, 16, 19, 31, 20, 22, 47, 17, 45, 21, 44};
        code = kLetters[sc - SDL_SCANCODE_A];
    } else if (sc >= SDL_SCANCODE_1 && sc <= SDL_SCANCODE_0) {
        code = 2 + (sc - SDL_SCANCODE_1);
    } else if (sc >= SDL_SCANCODE_F1 && sc <= SDL_SCANCODE_F10) {
        code = 59 + (sc - SDL_SCANCODE_F1);
    } else {
        switch (sc) {
        case SDL_SCANCODE_ESCAPE: code = 1; break;
        case SDL_SCANCODE_MINUS: code = 12; break;
        case SDL_SCANCODE_EQUALS: code = 13; break;
        case SDL_SCANCODE_BACKSPACE: code = 14; break;
        case SDL_SCANCODE_TAB: code = 15; break;
        case SDL_SCANCODE_LEFTBRACKET: code = 26; break;
        case SDL_SCANCODE_RIGHTBRACKET: code = 27; break;
        case SDL_SCANCODE_RETURN: code = 28; break;
        case SDL_SCANCODE_LCTRL: code = 29; break;
        case SDL_SCANCODE_SEMICOLON: code = 39; break;
        case SDL_SCANCODE_APOSTROPHE: code = 40; break;
        case SDL_SCANCODE_GRAVE: code = 41; break;
        case SDL_SCANCODE_LSHIFT: code = 42; break;
        case SDL_SCANCODE_BACKSLASH: code = 43; break;
        case SDL_SCANCODE_NONUSHASH: code = 43; break;
        case SDL_SCANCODE_COMMA: code = 51; break;
        case SDL_SCANCODE_PERIOD: code = 52; break;
        case SDL_SCANCODE_SLASH: code = 53; break;
        case SDL_SCANCODE_RSHIFT: code = 54; break;
        case SDL_SCANCODE_KP_MULTIPLY: code = 55; break;
        case SDL_SCANCODE_LALT: code = 56; break;
        case SDL_SCANCODE_SPACE: code = 57; break;
        case SDL_SCANCODE_CAPSLOCK: code = 58; break;
        case SDL_SCANCODE_NUMLOCKCLEAR: code = 69; ext = true; break;
        case SDL_SCANCODE_SCROLLLOCK: code = 70; break;
        case SDL_SCANCODE_KP_7: code = 71; break;
        case SDL_SCANCODE_KP_8: code = 72; break;
        case SDL_SCANCODE_KP_9: code = 73; break;
        case SDL_SCANCODE_KP_MINUS: code = 74; break;
        case SDL_SCANCODE_KP_4: code = 75; break;
        case SDL_SCANCODE_KP_5: code = 76; break;
        case SDL_SCANCODE_KP_6: code = 77; break;
        case SDL_SCANCODE_KP_PLUS: code = 78; break;
        case SDL_SCANCODE_KP_1: code = 79; break;
        case SDL_SCANCODE_KP_2: code = 80; break;
        case SDL_SCANCODE_KP_3: code = 81; break;
        case SDL_SCANCODE_KP_0: code = 82; break;
        case SDL_SCANCODE_KP_PERIOD: code = 83; break;
        case SDL_SCANCODE_NONUSBACKSLASH: code = 86; break;
        case SDL_SCANCODE_F11: code = 87; break;
        case SDL_SCANCODE_F12: code = 88; break;
        case SDL_SCANCODE_PAUSE: code = 69; break;
        // The separate cluster: the same codes as the keypad, marked extended.
        case SDL_SCANCODE_KP_ENTER: code = 28; ext = true; break;
        case SDL_SCANCODE_RCTRL: code = 29; ext = true; break;
        case SDL_SCANCODE_KP_DIVIDE: code = 53; ext = true; break;
        case SDL_SCANCODE_PRINTSCREEN: code = 55; ext = true; break;
        case SDL_SCANCODE_RALT: code = 56; ext = true; break;
        case SDL_SCANCODE_HOME: code = 71; ext = true; break;
        case SDL_SCANCODE_UP: code = 72; ext = true; break;
        case SDL_SCANCODE_PAGEUP: code = 73; ext = true; break;
        case SDL_SCANCODE_LEFT: code = 75; ext = true; break;
        case SDL_SCANCODE_RIGHT: code = 77; ext = true; break;
        case SDL_SCANCODE_END: code = 79; ext = true; break;
        case SDL_SCANCODE_DOWN: code = 80; ext = true; break;
        case SDL_SCANCODE_PAGEDOWN: code = 81; ext = true; break;
        case SDL_SCANCODE_INSERT: code = 82; ext = true; break;
        case SDL_SCANCODE_DELETE: code = 83; ext = true; break;
        case SDL_SCANCODE_LGUI: code = 91; ext = true; break;
        case SDL_SCANCODE_RGUI: code = 92; ext = true; break;
        default: break;
        }
    }
    if (extended)
        *extended = code != 0 && ext;
    return code;
}

}  // namespace platform
