#include "client/screens/screen_surface.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "client/core/config_file.h"
#include "client/core/game_clock.h"
#include "client/core/pack_file.h"
#include "client/core/screen_state.h"
#include "client/driver/message_pump.h"
#include "client/present/present_services.h"
#include "client/screens/color_tables.h"
#include "client/screens/gws_core.h"
#include "client/screens/input.h"
#include "common/text.h"
#include "platform/win/platform.h"

ChannelBits g_channelBits;
ScreenSurface g_screen;

IDirectDraw* g_directDraw = nullptr;
IDirectDraw2* g_directDraw2 = nullptr;
IDirectDrawSurface* g_backSurface = nullptr;
IDirectDrawSurface2* g_backSurface2 = nullptr;
IDirectDrawSurface4* g_backSurface4 = nullptr;
IDirectDrawSurface* g_cursorSurface = nullptr;
IDirectDrawSurface4* g_cursorSurface4 = nullptr;
PcxImage g_cursorImage;

namespace {

// Whole words of the pixel repeated (aligned first), then what is left singly.
void FillRow16(uint16_t* row, int count, uint16_t pixel) {
    while (count > 0 && (reinterpret_cast<uintptr_t>(row) & 7)) {
        *row++ = pixel;
        --count;
    }
    const uint64_t quad = pixel * 0x0001000100010001ull;
#if defined(__x86_64__)
    // The string store the processor fills memory fastest with, as memset does for long runs.
    void* at = row;
    size_t words = static_cast<size_t>(count / 4);
    asm volatile("rep stosq" : "+D"(at), "+c"(words) : "a"(quad) : "memory");
#else
    std::fill_n(reinterpret_cast<uint64_t*>(row), count / 4, quad);
#endif
    for (int i = count & ~3; i < count; ++i)
        row[i] = pixel;
}

bool ClipTo(int limitW, int limitH, int& x, int& y, int& w, int& h) {
    if (x < 0) {
        w += x;
        x = 0;
    }
    if (y < 0) {
        h += y;
        y = 0;
    }
    w = std::min(w, limitW - x);
    h = std::min(h, limitH - y);
    return w > 0 && h > 0;
}

void ShowDirectDrawError(const char* format, HRESULT code) {
    char text[256];
    std::snprintf(text, sizeof(text), format, static_cast<unsigned long>(static_cast<uint32_t>(code)));
    MessageBox(g_mainWindow, text, "Direct Draw Error", MB_OK);
}

int CountBits16(DWORD mask) { return std::popcount(static_cast<uint32_t>(mask & 0xFFFF)); }

void PutMapPixel(uint8_t* buffer, int x, int y, int index) {
    if (x >= 0 && x < kMapSize && y >= 0 && y < kMapSize)
        buffer[y * kMapSize + x] = static_cast<uint8_t>(index);
}

// Writes frame k of an 8-bit strip of n frames at (x, y): each non-zero p as (p >> 3) + base.
void StampFrame(uint8_t* buffer, const PcxImage& image, int x, int y, int k, int n, int base) {
    const uint8_t* pixels = image.Pixels8();
    if (!buffer || !pixels || k < 0 || k >= n)
        return;
    const int width = image.PcxWidth(), height = image.PcxHeight();
    const int frameW = width / n;
    for (int row = 0; row < height; ++row)
        for (int col = 0; col < frameW; ++col) {
            const uint8_t p = pixels[row * width + k * frameW + col];
            if (p)
                PutMapPixel(buffer, x + col, y + row, (p >> 3) + base);
        }
}

}  // namespace

uint16_t MakePixel16(int red, int green, int blue) { return PackPixel16(g_channelBits, red, green, blue); }

void ReleaseScreenSurfaces() {
    ReleaseAndClear(g_cursorSurface4);
    ReleaseAndClear(g_cursorSurface);
    ReleaseAndClear(g_backSurface4);
    ReleaseAndClear(g_backSurface2);
    ReleaseAndClear(g_backSurface);
    ReleaseAndClear(g_directDraw);
    ReleaseAndClear(g_directDraw2);
    g_screen.backBuffer = nullptr;
}

// ---- Construction and start ----------------------------------------------------------------------

void ScreenSurface::InitScreenSurface() {
    stats_x = stats_y = table_x = table_y = chat_x = chat_y = chat_width = 0;
    rxchat_x = rxchat_y = rxchat_width = bars_x = bars_y = name_x = name_y = 0;
    map_x = map_y = char_image_x = char_image_y = 0;
    savedPixels.reset();
    savedX = savedY = savedW = savedH = 0;
    statusLength = statusColour = 0;
    std::memset(statusText, 0, sizeof(statusText));
    std::memset(drawnStatus, 0, sizeof(drawnStatus));
    ClearNoticeLines();
    pageRedraw = 0;
    lastDirty = ScreenRect{};
    dirtyCount = 0;
    backBuffer = nullptr;
    mapBuffer = std::make_unique<uint8_t[]>(kMapSize * kMapSize);
    width = 320;
    height = 200;
    FreeSlots();
}

void ScreenSurface::DestroyScreenSurface() {
    mapBuffer.reset();
    if (this == &g_screen)
        ReleaseScreenSurfaces();
    backBuffer = nullptr;
    FreeSlots();
}

void ScreenSurface::FreeSlots() {
    background.FreePcx();
    screenPicture.FreePcx();
    FreeSnapshot();
    auto freeAll = [](auto& images) {
        for (PcxImage& image : images)
            image.FreePcx();
    };
    freeAll(art);
    freeAll(screenImages);
    freeAll(loadBar);
    freeAll(markers);
    freeAll(tiles);
}

void ScreenSurface::LoadScreenLayout() {
    width = kScreenWidth;
    height = kScreenHeight;
    struct Key {
        const char* name;
        int32_t* field;
        int value;
    };
    const Key keys[] = {
        {"stats_x", &stats_x, 528},       {"stats_y", &stats_y, 7},           {"table_x", &table_x, 528},
        {"table_y", &table_y, 205},       {"chat_x", &chat_x, 16},            {"chat_y", &chat_y, 451},
        {"chat_width", &chat_width, 612}, {"rxchat_x", &rxchat_x, 16},        {"rxchat_y", &rxchat_y, 341},
        {"rxchat_width", &rxchat_width, 560}, {"bars_x", &bars_x, 545},       {"bars_y", &bars_y, 53},
        {"name_x", &name_x, 495},         {"name_y", &name_y, 30},            {"map_x", &map_x, 540},
        {"map_y", &map_y, 200},           {"char_image_x", &char_image_x, 540}, {"char_image_y", &char_image_y, 200},
    };
    for (const Key& k : keys) {
        int v = k.value;
        GetConfigInt("main.dat", "text", k.name, &v, k.value, 0);
        *k.field = v;
    }
}

int ScreenSurface::InitDirectDraw() {
    CreateRenderer(g_mainWindow);
    CreateSceneRoot();
    CreateCameras();
    ResetCameraViewports();

    IDirectDraw4* engineDraw = nullptr;
    if (!SgxGetDirectDraw(&engineDraw) || !engineDraw) {
        MessageBox(g_mainWindow, "Sgx GetDirectDraw (Object) Failed!", "Direct Draw Error", MB_OK);
        return 0;
    }
    HRESULT hr = engineDraw->QueryInterface(IID_IDirectDraw2, reinterpret_cast<void**>(&g_directDraw2));
    if (SUCCEEDED(hr))
        hr = engineDraw->QueryInterface(IID_IDirectDraw, reinterpret_cast<void**>(&g_directDraw));
    engineDraw->Release();
    if (FAILED(hr)) {
        ShowDirectDrawError("Direct Draw QueryInterface (Object) Failed!\nDirect Draw Error Code=%08lx", hr);
        return 0;
    }

    DDSURFACEDESC desc{};
    desc.dwSize = sizeof(desc);
    desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
    desc.dwWidth = kScreenWidth;
    desc.dwHeight = kScreenHeight;
    hr = g_directDraw2->CreateSurface(&desc, &g_backSurface, nullptr);
    if (FAILED(hr)) {
        ShowDirectDrawError("Direct Draw CreateSurface (Screen) Failed!\nDirect Draw Error Code=%08lx", hr);
        return 0;
    }
    hr = g_backSurface->QueryInterface(IID_IDirectDrawSurface2, reinterpret_cast<void**>(&g_backSurface2));
    if (FAILED(hr)) {
        ShowDirectDrawError("Direct Draw QueryInterface (Screen) Failed!\nDirect Draw Error Code=%08lx", hr);
        return 0;
    }
    desc = DDSURFACEDESC{};
    desc.dwSize = sizeof(desc);
    hr = g_backSurface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr);
    if (FAILED(hr)) {
        ShowDirectDrawError("Direct Draw Lock (Screen) Failed!\nDirect Draw Error Code=%08lx", hr);
        return 0;
    }
    // Every row is taken as 800 pixels; a surface with another pitch cannot be drawn into.
    if (desc.lPitch != kScreenWidth * 2) {
        g_backSurface->Unlock(desc.lpSurface);
        ShowDirectDrawError("Direct Draw Lock (Screen) Failed!\nDirect Draw Error Code=%08lx", DDERR_INVALIDPIXELFORMAT);
        return 0;
    }
    backBuffer = static_cast<uint16_t*>(desc.lpSurface);
    g_channelBits = ChannelBits{CountBits16(desc.ddpfPixelFormat.dwRBitMask),
                                CountBits16(desc.ddpfPixelFormat.dwGBitMask),
                                CountBits16(desc.ddpfPixelFormat.dwBBitMask)};
    g_backSurface->Unlock(desc.lpSurface);
    if (SUCCEEDED(g_backSurface->QueryInterface(IID_IDirectDrawSurface4, reinterpret_cast<void**>(&g_backSurface4))))
        CreateScreenImage(g_mainWindow, g_backSurface4);

    desc = DDSURFACEDESC{};
    desc.dwSize = sizeof(desc);
    desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    desc.dwWidth = kCursorSize;
    desc.dwHeight = kCursorSize;
    hr = g_directDraw2->CreateSurface(&desc, &g_cursorSurface, nullptr);
    if (FAILED(hr)) {
        ShowDirectDrawError("Direct Draw CreateSurface (Cursor) Failed!\nDirect Draw Error Code=%08lx", hr);
        return 0;
    }
    // A missing picture or one of another size gives a transparent cursor.
    const bool haveCursor = g_cursorImage.LoadPcx("cursor.pcx", PCX_HEAP, 1) == 0 &&
                            g_cursorImage.PcxWidth() == kCursorSize && g_cursorImage.PcxHeight() == kCursorSize &&
                            g_cursorImage.ConvertPcxToHicolor(g_channelBits) == 0 && g_cursorImage.Pixels16();
    desc = DDSURFACEDESC{};
    desc.dwSize = sizeof(desc);
    if (SUCCEEDED(g_cursorSurface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr))) {
        for (int row = 0; row < kCursorSize; ++row) {
            auto* out = reinterpret_cast<uint16_t*>(static_cast<uint8_t*>(desc.lpSurface) + row * desc.lPitch);
            if (haveCursor)
                std::memcpy(out, g_cursorImage.Pixels16() + row * kCursorSize, kCursorSize * 2);
            else
                std::memset(out, 0, kCursorSize * 2);
        }
        g_cursorSurface->Unlock(desc.lpSurface);
    }
    if (SUCCEEDED(g_cursorSurface->QueryInterface(IID_IDirectDrawSurface4, reinterpret_cast<void**>(&g_cursorSurface4))))
        CreateCursorImage(g_mainWindow, g_cursorSurface4);
    return 1;
}

// ---- Pictures --------------------------------------------------------------------------------------

int ScreenSurface::LoadScreenPicture(const char* name) {
    PcxScreenTarget target{backBuffer, kScreenWidth, kScreenHeight, g_channelBits};
    // The screen before left its picture in the slot; the picture owns no pixels of its own.
    screenPicture.FreePcx();
    if (!backBuffer || screenPicture.LoadPcx(name, PCX_SCREEN, 1, &target) != 0)
        ExitProcess(1);
    return 1;
}

int ScreenSurface::SnapshotBackBuffer() {
    FreeSnapshot();
    snapshotCopy_ = std::make_unique<uint16_t[]>(kScreenPixels);
    // The screen picture's pixels are the back buffer itself, so with or without one loaded the
    // back buffer is what is copied.
    if (backBuffer)
        std::memcpy(snapshotCopy_.get(), backBuffer, kScreenPixels * 2);
    return 1;
}

int ScreenSurface::LoadSnapshotPicture(const char* name) {
    FreeSnapshot();
    if (snapshot.LoadPcx(name, PCX_HEAP, 1) != 0 || snapshot.PcxWidth() != kScreenWidth ||
        snapshot.PcxHeight() != kScreenHeight || snapshot.ConvertPcxToHicolor(g_channelBits) != 0) {
        snapshot.FreePcx();
        ExitProcess(1);
    }
    return 1;
}

void ScreenSurface::FreeSnapshot() {
    snapshotCopy_.reset();
    snapshot.FreePcx();
}

const uint16_t* ScreenSurface::SnapshotPixels() const {
    if (snapshotCopy_)
        return snapshotCopy_.get();
    if (snapshot.PcxWidth() == kScreenWidth && snapshot.PcxHeight() == kScreenHeight)
        return snapshot.Pixels16();
    return nullptr;
}

int ScreenSurface::LoadBackground(const char* levelDir, int, int, int) {
    char path[300];
    std::snprintf(path, sizeof(path), "%s\\backgrnd.pcx", levelDir);
    // The level before left its picture here; it is done with.
    background.FreePcx();
    if (background.LoadPcx(path, PCX_HEAP, 1) == 0)
        background.ConvertPcxToHicolor(g_channelBits);
    return 1;
}

int ScreenSurface::LoadBackgroundFromPack(PackFile& pack, int, int, int) {
    if (ReadPackPicture(background, pack, "backgrnd.pcx") == 0)
        background.ConvertPcxToHicolor(g_channelBits);
    return 1;
}

int ReadPackPicture(PcxImage& image, PackFile& pack, const char* entryName) {
    PackEntry entry{};
    if (pack.FindPackEntry(entryName, &entry) != 0)
        return -1;
    ByteReader reader = pack.EntryReader(entry);
    const int result = image.ReadPcx(reader, PCX_HEAP, 1);
    // A stream has no file name: the log lines about the picture name the entry.
    CopyText(image.name, entryName);
    return result;
}

int ScreenSurface::LoadTileImage(int n, const char* name) {
    if (n < 1 || n > kTileImageCount)
        return 0;
    PcxImage& tile = Tile(n);
    if (tile.LoadPcx(name, PCX_HEAP, 1) != 0 || tile.PcxWidth() != kTileSize || tile.PcxHeight() != kTileSize ||
        tile.ConvertPcxToHicolor(g_channelBits) != 0) {
        tile.FreePcx();
        return 0;
    }
    return 1;
}

void ScreenSurface::SaveScreenRect(int x, int y, int w, int h) {
    FreeSavedRect();
    if (!backBuffer || !Clip(x, y, w, h))
        return;
    savedPixels = std::make_unique<uint16_t[]>(static_cast<size_t>(w) * h);
    for (int row = 0; row < h; ++row)
        std::memcpy(&savedPixels[static_cast<size_t>(row) * w], backBuffer + (y + row) * kScreenWidth + x, w * 2);
    savedX = x;
    savedY = y;
    savedW = w;
    savedH = h;
}

void ScreenSurface::RestoreSavedRect() {
    if (!savedPixels || savedH < 1 || !backBuffer)
        return;
    for (int row = 0; row < savedH; ++row)
        std::memcpy(backBuffer + (savedY + row) * kScreenWidth + savedX,
                    &savedPixels[static_cast<size_t>(row) * savedW], savedW * 2);
}

void ScreenSurface::FreeSavedRect() { savedPixels.reset(); }

void ScreenSurface::CopyFromBackground(int x, int y, int w, int h) {
    const uint16_t* source = SnapshotPixels();
    if (!source || !backBuffer || !Clip(x, y, w, h))
        return;
    for (int row = y; row < y + h; ++row)
        std::memcpy(backBuffer + row * kScreenWidth + x, source + row * kScreenWidth + x, w * 2);
}

// ---- Rectangles, lines and frames ------------------------------------------------------------------

bool ScreenSurface::Clip(int& x, int& y, int& w, int& h) { return ClipTo(kScreenWidth, kScreenHeight, x, y, w, h); }

void ScreenSurface::FillRect16(int x, int y, int w, int h, uint16_t pixel) {
    if (!backBuffer || w < 1 || h < 1 || !Clip(x, y, w, h))
        return;
    // Whole rows are one run.
    if (w == kScreenWidth) {
        FillRow16(backBuffer + y * kScreenWidth, w * h, pixel);
        return;
    }
    for (int row = y; row < y + h; ++row)
        FillRow16(backBuffer + row * kScreenWidth + x, w, pixel);
}

void ScreenSurface::DrawHLine16(int y, int x0, int x1, uint16_t pixel, int t) { FillRect16(x0, y, x1 - x0, t, pixel); }

void ScreenSurface::DrawVLine16(int x, int y0, int y1, uint16_t pixel, int t) { FillRect16(x, y0, t, y1 - y0, pixel); }

void ScreenSurface::DrawRectFrame(int x, int y, int w, int h, uint16_t pixel, int t) {
    DrawHLine16(y, x, x + w, pixel, t);
    DrawHLine16(y + h - t, x, x + w, pixel, t);
    DrawVLine16(x, y, y + h, pixel, t);
    DrawVLine16(x + w - t, y, y + h, pixel, t);
}

namespace {
struct GoldShades {
    uint16_t c1, c2, c3, c4;
};
GoldShades Gold() {
    return {MakePixel16(214, 168, 65), MakePixel16(184, 145, 56), MakePixel16(158, 126, 43),
            MakePixel16(128, 106, 33)};
}
}  // namespace

void ScreenSurface::DrawBevelFrame(int x, int y, int w, int h, int t) {
    const GoldShades g = Gold();
    DrawHLine16(y, x, x + w - t, g.c1, t);
    DrawVLine16(x, y, y + h - t, g.c1, t);
    DrawHLine16(y + t, x + t, x + w - 2 * t, g.c2, t);
    DrawVLine16(x + t, y + t, y + h - 2 * t, g.c2, t);
    DrawVLine16(x + w - t, y, y + h, g.c4, t);
    DrawVLine16(x + w - 2 * t, y + t, y + h - t, g.c3, t);
    DrawHLine16(y + h - 2 * t, x + t, x + w - t, g.c3, t);
    DrawHLine16(y + h - t, x, x + w, g.c4, t);
}

void ScreenSurface::DrawSunkenFrame(int x, int y, int w, int h, int t) {
    const GoldShades g = Gold();
    DrawHLine16(y, x, x + w - t, g.c4, t);
    DrawVLine16(x, y, y + h - t, g.c4, t);
    DrawHLine16(y + t, x + t, x + w - 2 * t, g.c3, t);
    DrawVLine16(x + t, y + t, y + h - 2 * t, g.c3, t);
    DrawHLine16(y + 2 * t, x + 2 * t, x + w - 2 * t, g.c2, t);
    DrawVLine16(x + 2 * t, y + 2 * t, y + h - 2 * t, g.c2, t);
    DrawHLine16(y + h - t, x + 2 * t, x + w - t, g.c1, t);
    DrawVLine16(x + w - t, y + 2 * t, y + h, g.c1, t);
}

void ScreenSurface::DrawValueBar(int x, int y, int w, int h, int max, int value, uint16_t fill, uint16_t empty) {
    const int m = max >= 1 ? max : 1;
    value = std::clamp(value, 0, m);
    const int filled = static_cast<int>(static_cast<int64_t>(value) * w / m);
    FillRect16(x, y, filled, h, fill);
    FillRect16(x + filled, y, w - filled, h, empty);
    DrawRectFrame(x, y, w, h, fill, 1);
}

void ScreenSurface::DrawImageBar(int x, int y, int w, int h, int max, int value, const PcxImage* full,
                                 const PcxImage* empty) {
    if (max < 1)
        return;
    value = std::clamp(value, 0, max);
    const int filled = static_cast<int>(static_cast<int64_t>(value) * w / max);
    if (full)
        BlitImageLeft(x, y, filled, h, *full);
    if (empty)
        BlitImageRight(x + w, y, w - filled, h, *empty);
    else
        CopyFromBackground(x + filled, y, w - filled, h);
}

// ---- Images ------------------------------------------------------------------------------------------

void ScreenSurface::Blit16(const uint16_t* source, int pitch, int x, int y, int w, int h, bool transparent) {
    if (!backBuffer || !source)
        return;
    const int x0 = x, y0 = y;
    if (!Clip(x, y, w, h))
        return;
    source += (y - y0) * pitch + (x - x0);
    for (int row = 0; row < h; ++row) {
        const uint16_t* in = source + row * pitch;
        uint16_t* out = backBuffer + (y + row) * kScreenWidth + x;
        if (!transparent) {
            std::memcpy(out, in, w * 2);
            continue;
        }
        for (int col = 0; col < w; ++col)
            if (in[col])
                out[col] = in[col];
    }
}

void ScreenSurface::BlitImage(const PcxImage& image, int x, int y, int transparent) {
    Blit16(image.Pixels16(), image.PcxWidth(), x, y, image.PcxWidth(), image.PcxHeight(), transparent != 0);
}

void ScreenSurface::BlitImageFrame(const PcxImage& image, int x, int y, int k, int n, int transparent) {
    const uint16_t* pixels = image.Pixels16();
    if (!pixels || n < 1 || k < 0 || k >= n)
        return;
    const int width = image.PcxWidth();
    Blit16(pixels + width * k / n, width, x, y, width / n, image.PcxHeight(), transparent != 0);
}

void ScreenSurface::BlitImageCell(const PcxImage& image, int x, int y, int col, int cols, int row, int rows,
                                  int transparent) {
    const uint16_t* pixels = image.Pixels16();
    if (!pixels || cols < 1 || rows < 1 || col < 0 || col >= cols || row < 0 || row >= rows)
        return;
    const int width = image.PcxWidth(), height = image.PcxHeight();
    // The first row is an offset of width x height x row / rows pixels, as the cell art expects.
    const int64_t offset = static_cast<int64_t>(width) * height * row / rows + width * col / cols;
    Blit16(pixels + offset, width, x, y, width / cols, height / rows, transparent != 0);
}

void ScreenSurface::BlitImageLeft(int x, int y, int w, int h, const PcxImage& image) {
    w = std::min(w, image.PcxWidth());
    h = std::min(h, image.PcxHeight());
    if (w < 1 || h < 1)
        return;
    Blit16(image.Pixels16(), image.PcxWidth(), x, y, w, h, true);
}

void ScreenSurface::BlitImageRight(int xEnd, int y, int w, int h, const PcxImage& image) {
    const int width = image.PcxWidth();
    w = std::min(w, width);
    h = std::min(h, image.PcxHeight());
    if (w < 1 || h < 1 || !image.Pixels16())
        return;
    Blit16(image.Pixels16() + (width - w), width, xEnd - w, y, w, h, true);
}

void ScreenSurface::TileFillFromImage(int x, int y, int w, int h, const PcxImage& image) {
    if (!backBuffer || image.PcxWidth() != kTileSize || image.PcxHeight() != kTileSize || !Clip(x, y, w, h))
        return;
    const uint16_t* wide = image.Pixels16();
    const uint8_t* narrow = image.Pixels8();
    if (!wide && !narrow)
        return;
    for (int py = y; py < y + h; ++py) {
        uint16_t* out = backBuffer + py * kScreenWidth;
        const int row = (py & (kTileSize - 1)) * kTileSize;
        for (int px = x; px < x + w; ++px) {
            const int at = row + ((px - 1) & (kTileSize - 1));
            out[px] = wide ? wide[at] : static_cast<uint16_t>(PaletteColourTable[narrow[at]]);
        }
    }
}

// ---- Overhead map --------------------------------------------------------------------------------------

void ScreenSurface::DrawMapLine(uint8_t* buffer, int x0, int y0, int x1, int y1, int index, int t) {
    if (!buffer)
        return;
    if (y1 < y0) {
        std::swap(x0, x1);
        std::swap(y0, y1);
    }
    const int dy = y1 - y0, dx = std::abs(x1 - x0);
    const int xdir = x1 > x0 ? 1 : -1;
    for (int i = 0; i < t; ++i) {
        if (dx > dy)
            MapLineShallow(buffer, x0, y0 + i, dx, dy, xdir, index);
        else
            MapLineSteep(buffer, x0 + i, y0, dx, dy, xdir, index);
    }
}

void ScreenSurface::MapLineSteep(uint8_t* buffer, int x, int y, int dx, int dy, int xdir, int index) {
    PutMapPixel(buffer, x, y, index);
    int error = 2 * dx - dy;
    for (int i = 0; i < dy; ++i) {
        if (error >= 0) {
            error += 2 * (dx - dy);
            x += xdir;
        } else {
            error += 2 * dx;
        }
        ++y;
        PutMapPixel(buffer, x, y, index);
    }
}

void ScreenSurface::MapLineShallow(uint8_t* buffer, int x, int y, int dx, int dy, int xdir, int index) {
    PutMapPixel(buffer, x, y, index);
    int error = 2 * dy - dx;
    for (int i = 0; i < dx; ++i) {
        if (error >= 0) {
            error += 2 * (dy - dx);
            ++y;
        } else {
            error += 2 * dy;
        }
        x += xdir;
        PutMapPixel(buffer, x, y, index);
    }
}

void ScreenSurface::StampMapArrow(uint8_t* buffer, int x, int y, int k) {
    StampFrame(buffer, Marker(MARKER_ARROW), x - 3, y - 3, k, 16, 129);
}

void ScreenSurface::StampMapNode(uint8_t* buffer, int x, int y, int k, int group) {
    StampFrame(buffer, Marker(MARKER_NODE), x - 7, y - 7, k, 8, group * 32 + 1);
}

// ---- Presentation --------------------------------------------------------------------------------------

void ScreenSurface::QueueDirtyRect(int x, int y, int w, int h, int) {
    lastDirty = ScreenRect{x, y, w, h};
    ++dirtyCount;
}

namespace {
POINT ClampedCursor() {
    POINT p{};
    GetCursorPos(&p);
    ClampToScreen(&p);
    SetCursorPos(p.x, p.y);
    return p;
}
}  // namespace

void ScreenSurface::PresentScreen() {
    InvalidateRect(g_mainWindow, nullptr, FALSE);
    POINT cursor = ClampedCursor();
    RECT tip{}, popup{};
    const bool tipShown = gwsShowToolTipAt(cursor.x, cursor.y, &tip) != 0;
    if (tipShown)
        QueueDirtyRect(tip.left, tip.top, tip.right - tip.left, tip.bottom - tip.top, 1);
    const bool popupDrawn = gwsDrawPopup(&popup) != 0;
    if (popupDrawn)
        QueueDirtyRect(popup.left, popup.top, popup.right - popup.left, popup.bottom - popup.top, 1);
    ClearViewFrame();
    DrawScreenImage();
    cursor = ClampedCursor();
    if (IsRendererReady() && GetCursorMode())
        DrawCursorImage(cursor.x, cursor.y);
    ShowViewFrame();
    ClampedCursor();
    if (popupDrawn) {
        gwsRestorePopup();
        QueueDirtyRect(popup.left, popup.top, popup.right - popup.left, popup.bottom - popup.top, 1);
    }
    if (tipShown) {
        gwsRestoreToolTip();
        QueueDirtyRect(tip.left, tip.top, tip.right - tip.left, tip.bottom - tip.top, 1);
    }
}

void ScreenSurface::PresentGameView(int x, int y, int w, int h, int elapsed, int mode) {
    InvalidateRect(g_mainWindow, nullptr, FALSE);
    ClampedCursor();
    ClearViewFrame();
    if (mode == 0)
        DrawScreenImage();
    else if (mode != -1)
        BlitSurfaceToScreen(x, y, x + w, y + h, 0);
    const uint64_t start = platform::ReadCycleCounter();
    RenderWorldView(elapsed);
    g_frameRenderCycles = platform::ReadCycleCounter() - start;
    RECT popup{};
    const bool popupDrawn = gwsDrawPopup(&popup) != 0;
    if (popupDrawn)
        BlitSurfaceToScreen(popup.left, popup.top, popup.right, popup.bottom, 0);
    const POINT cursor = ClampedCursor();
    if (IsRendererReady() && GetCursorMode())
        DrawCursorImage(cursor.x, cursor.y);
    ShowViewFrame();
    ClampedCursor();
    if (popupDrawn)
        gwsRestorePopup();
}

int ScreenSurface::FillScreenRect(int x, int y, int w, int h, uint16_t pixel) {
    if (!g_backSurface)
        return DDERR_INVALIDOBJECT;
    RECT rect{x, y, x + w, y + h};
    DDBLTFX fx{};
    fx.dwSize = sizeof(fx);
    fx.dwFillColor = pixel;
    return g_backSurface->Blt(&rect, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
}

void ScreenSurface::ZoomTransition(int, int ms) {
    const int64_t total = static_cast<int64_t>(ms) * 10;
    auto step = [this, total](int64_t e) {
        const int grow = total > 0 ? static_cast<int>(e * 310 / total) : 310;
        const int growY = total > 0 ? static_cast<int>(e * 230 / total) : 230;
        const int left = 310 - grow, right = 330 + grow, top = 230 - growY, bottom = 250 + growY;
        QueueDirtyRect(left, top, right - left, bottom - top, 1);
        PresentScreen();
    };
    if (total <= 0) {
        step(0);
        return;
    }
    int64_t elapsed = 0;
    uint32_t last = ReadGameClock();
    while (true) {
        step(elapsed);
        if (elapsed >= total)
            break;
        uint32_t now = ReadGameClock();
        if (now == last) {
            Sleep(1);
            now = ReadGameClock();
        }
        elapsed = std::min<int64_t>(total, elapsed + static_cast<uint32_t>(now - last));
        last = now;
    }
    step(total);
}

void ScreenSurface::ClearNoticeLines() {
    std::memset(noticeLines, 0, sizeof(noticeLines));
    std::memset(noticeTimers, 0, sizeof(noticeTimers));
    std::memset(noticeTimers2, 0, sizeof(noticeTimers2));
    std::memset(drawnNotices, 0, sizeof(drawnNotices));
}
