// Presentation of the primary surface in the SDL window of its window handle (scaled to the
// window), and the display's system palette. In the headless backend frames are only counted; the
// primary surface keeps them in memory for Lock.

#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/ddraw/objects.h"
#include "platform/win/platform.h"
#include "platform/win/sdl_window.h"

namespace platform::dd {

namespace {

Uint32 SdlFormat(const FormatInfo& f) {
    if (f.kind == PixelKind::Palette8)
        return SDL_PIXELFORMAT_INDEX8;
    if (f.kind != PixelKind::Rgb)
        return SDL_PIXELFORMAT_UNKNOWN;
    if (f.bytes == 2 && f.r.mask == 0xF800 && f.g.mask == 0x07E0 && f.b.mask == 0x1F)
        return SDL_PIXELFORMAT_RGB565;
    if (f.bytes == 2 && f.r.mask == 0x7C00 && f.g.mask == 0x03E0 && f.b.mask == 0x1F)
        return SDL_PIXELFORMAT_RGB555;
    if (f.bytes == 3 && f.r.mask == 0xFF0000 && f.b.mask == 0xFF)
        return SDL_PIXELFORMAT_BGR24;
    if (f.bytes == 4 && f.r.mask == 0xFF0000 && f.g.mask == 0xFF00 && f.b.mask == 0xFF)
        return SDL_PIXELFORMAT_RGB888;
    return SDL_PIXELFORMAT_UNKNOWN;
}

HWND PresentationWindow(SurfaceImpl* primary) {
    if (primary->Clipper() && primary->Clipper()->Window())
        return primary->Clipper()->Window();
    const State& s = GetState();
    if (s.display.exclusiveWindow)
        return s.display.exclusiveWindow;
    if (primary->Owner()->Window())
        return primary->Owner()->Window();
    return MainWindow();
}

// The primary surface as RGB rows into the PNG asked for by an input script.
void SaveRequestedScreenshot(SurfaceImpl* primary) {
    std::string path;
    if (!TakeScreenshotRequest(&path))
        return;
    const FormatInfo& f = primary->Info();
    const int w = static_cast<int>(primary->Width()), h = static_cast<int>(primary->Height());
    std::vector<uint8_t> rgb(static_cast<size_t>(w) * h * 3);
    const PALETTEENTRY* palette = primary->Palette() ? primary->Palette()->Entries() : nullptr;
    for (int y = 0; y < h; ++y) {
        const uint8_t* row = primary->Bits() + static_cast<ptrdiff_t>(y) * primary->Pitch();
        for (int x = 0; x < w; ++x) {
            uint32_t raw = 0;
            for (int b = 0; b < f.bytes; ++b)
                raw |= static_cast<uint32_t>(row[x * f.bytes + b]) << (8 * b);
            const uint32_t argb = f.ToArgb(raw, palette);
            uint8_t* out = &rgb[(static_cast<size_t>(y) * w + x) * 3];
            out[0] = static_cast<uint8_t>(argb >> 16);
            out[1] = static_cast<uint8_t>(argb >> 8);
            out[2] = static_cast<uint8_t>(argb);
        }
    }
    if (!WritePng(path, w, h, rgb.data()))
        std::fprintf(stderr, "game: cannot write the screenshot %s\n", path.c_str());
}

}  // namespace

void PresentPrimary(SurfaceImpl* primary) {
    State& s = GetState();
    ++s.presents;
    SaveRequestedScreenshot(primary);
    OnFrameShown();
    HWND hwnd = PresentationWindow(primary);
    SDL_Window* window = hwnd ? SdlWindowFor(hwnd) : nullptr;
    if (!window)
        return;
    // Full screen shows the whole display; a window shows its client area of it.
    RECT area{0, 0, static_cast<LONG>(primary->Width()), static_cast<LONG>(primary->Height())};
    if (s.display.exclusiveOwner == nullptr) {
        RECT client{};
        if (GetClientRect(hwnd, &client)) {
            POINT a{client.left, client.top}, b{client.right, client.bottom};
            ClientToScreen(hwnd, &a);
            ClientToScreen(hwnd, &b);
            area = RECT{std::max<LONG>(a.x, 0), std::max<LONG>(a.y, 0), std::min<LONG>(b.x, area.right),
                        std::min<LONG>(b.y, area.bottom)};
        }
    }
    if (area.left >= area.right || area.top >= area.bottom)
        return;
    const FormatInfo& f = primary->Info();
    const Uint32 format = SdlFormat(f);
    if (format == SDL_PIXELFORMAT_UNKNOWN)
        return;
    SDL_Surface* target = SDL_GetWindowSurface(window);
    if (!target)
        return;
    uint8_t* bits = primary->Bits() + static_cast<ptrdiff_t>(area.top) * primary->Pitch() +
                    static_cast<ptrdiff_t>(area.left) * f.bytes;
    SDL_Surface* source = SDL_CreateRGBSurfaceWithFormatFrom(bits, area.right - area.left, area.bottom - area.top,
                                                             f.bytes * 8, primary->Pitch(), format);
    if (!source)
        return;
    if (f.kind == PixelKind::Palette8 && primary->Palette()) {
        SDL_Color colors[256];
        const PALETTEENTRY* e = primary->Palette()->Entries();
        for (int i = 0; i < 256; ++i)
            colors[i] = SDL_Color{e[i].peRed, e[i].peGreen, e[i].peBlue, 255};
        SDL_SetPaletteColors(source->format->palette, colors, 0, 256);
    }
    if (SDL_Surface* converted = SDL_ConvertSurface(source, target->format, 0)) {
        SDL_BlitScaled(converted, nullptr, target, nullptr);
        SDL_FreeSurface(converted);
        SDL_UpdateWindowSurface(window);
    }
    SDL_FreeSurface(source);
}

}  // namespace platform::dd

// ---- The display's palette ---------------------------------------------------------------------

namespace {

int g_displayContext;

PALETTEENTRY SystemEntry(UINT i) {
    // The 20 static colours of an 8-bit desktop at both ends, a colour cube and greys between.
    static const BYTE kLow[10][3] = {{0, 0, 0},       {128, 0, 0},     {0, 128, 0},     {128, 128, 0},
                                     {0, 0, 128},     {128, 0, 128},   {0, 128, 128},   {192, 192, 192},
                                     {192, 220, 192}, {166, 202, 240}};
    static const BYTE kHigh[10][3] = {{255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0},
                                      {0, 255, 0},     {255, 255, 0},   {0, 0, 255},     {255, 0, 255},
                                      {0, 255, 255},   {255, 255, 255}};
    if (i < 10)
        return PALETTEENTRY{kLow[i][0], kLow[i][1], kLow[i][2], 0};
    if (i >= 246)
        return PALETTEENTRY{kHigh[i - 246][0], kHigh[i - 246][1], kHigh[i - 246][2], 0};
    UINT k = i - 10;
    if (k < 216)
        return PALETTEENTRY{static_cast<BYTE>((k / 36) * 51), static_cast<BYTE>(((k / 6) % 6) * 51),
                            static_cast<BYTE>((k % 6) * 51), 0};
    BYTE grey = static_cast<BYTE>((k - 216) * 12 + 8);
    return PALETTEENTRY{grey, grey, grey, 0};
}

}  // namespace

HDC GetDC(HWND) { return &g_displayContext; }

int ReleaseDC(HWND, HDC dc) { return dc == &g_displayContext ? 1 : 0; }

UINT GetSystemPaletteEntries(HDC dc, UINT start, UINT count, PALETTEENTRY* entries) {
    if (dc != &g_displayContext || start >= 256)
        return 0;
    count = std::min(count, 256 - start);
    if (entries)
        for (UINT i = 0; i < count; ++i)
            entries[i] = SystemEntry(start + i);
    return count;
}
