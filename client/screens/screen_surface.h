#pragma once
// The 2D screen: one 800 x 600 back buffer of 16-bit pixels (rows of exactly 800 pixels) that
// every menu, lobby and HUD text is drawn into by the CPU, the record around it, the drawing
// primitives, the 8-bit overhead-map buffer and its primitives, the back-buffer and cursor
// surfaces, and the hand-over of the buffer to the presentation.
//
// Every primitive clips once per call to its buffer, so a draw half off the screen writes only
// its visible part. Black (0) is the transparent value of every transparent blit.

#include <cstdint>
#include <memory>

#include "client/core/channel_bits.h"
#include "client/core/pcx_image.h"
#include "platform/ddraw/ddraw.h"

class PackFile;

constexpr int kScreenWidth = 800;
constexpr int kScreenHeight = 600;
constexpr int kScreenPixels = kScreenWidth * kScreenHeight;
constexpr int kMapSize = 256;  // the overhead map: 256 x 256 palette indices
constexpr int kTileSize = 128;
constexpr int kCursorSize = 16;

constexpr int kArtImageCount = 10;
constexpr int kScreenImageCount = 21;
constexpr int kLoadBarImageCount = 3;
constexpr int kMarkerImageCount = 3;
constexpr int kTileImageCount = 5;

// The screen images, numbered from 1 as the screens name them.
enum ScreenImage {
    SCREEN_IMAGE_MAP = 1,        // the level's map.pcx
    SCREEN_IMAGE_SMALLMAP = 2,   // smallmap.pcx
    SCREEN_IMAGE_3 = 3,
    SCREEN_IMAGE_4 = 4,
    SCREEN_IMAGE_5 = 5,
    SCREEN_IMAGE_6 = 6,
    SCREEN_IMAGE_7 = 7,
    SCREEN_IMAGE_8 = 8,
    SCREEN_IMAGE_9 = 9,
    SCREEN_IMAGE_10 = 10,
    SCREEN_IMAGE_CHATTMS = 11,
    SCREEN_IMAGE_CHATBTNS = 12,
    SCREEN_IMAGE_CHATTABS = 13,
    SCREEN_IMAGE_ARRWBTNS = 14,
    SCREEN_IMAGE_CHARPORT = 15,
    SCREEN_IMAGE_16 = 16,
    SCREEN_IMAGE_17 = 17,
    SCREEN_IMAGE_CHARTABS = 18,
    SCREEN_IMAGE_CHARBTNS = 19,
    SCREEN_IMAGE_CHARBTN2 = 20,
    SCREEN_IMAGE_PROFBTNS = 21,
};

// Marker images, from 1: arrow.pcx (16 frames side by side) and node.pcx (8 frames).
enum MarkerImage { MARKER_ARROW = 1, MARKER_NODE = 2 };

// The display's channel bits, counted from the back-buffer surface's masks by InitDirectDraw.
extern ChannelBits g_channelBits;

// ((red >> (8 - R)) << (G + B)) + ((green >> (8 - G)) << B) + (blue >> (8 - B)) over g_channelBits.
uint16_t MakePixel16(int red, int green, int blue);

struct ScreenRect {
    int32_t x = 0;
    int32_t y = 0;
    int32_t w = 0;
    int32_t h = 0;
};

class ScreenSurface {
public:
    ScreenSurface() { InitScreenSurface(); }
    ~ScreenSurface() { DestroyScreenSurface(); }
    ScreenSurface(const ScreenSurface&) = delete;
    ScreenSurface& operator=(const ScreenSurface&) = delete;

    // Layout positions from main.dat [text].
    int32_t stats_x = 0, stats_y = 0, table_x = 0, table_y = 0, chat_x = 0, chat_y = 0, chat_width = 0;
    int32_t rxchat_x = 0, rxchat_y = 0, rxchat_width = 0, bars_x = 0, bars_y = 0, name_x = 0, name_y = 0;
    int32_t map_x = 0, map_y = 0, char_image_x = 0, char_image_y = 0;

    // The saved rectangle (SaveScreenRect).
    std::unique_ptr<uint16_t[]> savedPixels;
    int32_t savedX = 0, savedY = 0, savedW = 0, savedH = 0;

    // Status text and notice lines (written and drawn by the HUD texts).
    int32_t statusLength = 0;
    int32_t statusColour = 0;
    char statusText[51] = {};
    int32_t noticeTimers[3] = {};
    int32_t noticeTimers2[3] = {};
    char noticeLines[3][60] = {};
    // What was drawn last, so the texts are drawn again only when they change.
    char drawnStatus[51] = {};
    char drawnNotices[3][60] = {};

    int32_t pageRedraw = 0;

    // Nothing reads the changed rectangles (the whole buffer is always shown): the last one and a
    // count are kept for tests and diagnostics instead of a list that only grows.
    ScreenRect lastDirty;
    int32_t dirtyCount = 0;

    uint16_t* backBuffer = nullptr;
    std::unique_ptr<uint8_t[]> mapBuffer;  // kMapSize x kMapSize
    int32_t width = 320;
    int32_t height = 200;

    PcxImage background;
    PcxImage screenPicture;
    PcxImage snapshot;
    PcxImage art[kArtImageCount];
    PcxImage screenImages[kScreenImageCount];
    PcxImage loadBar[kLoadBarImageCount];
    PcxImage markers[kMarkerImageCount];
    PcxImage tiles[kTileImageCount];

    PcxImage& Screen(int n) { return screenImages[n - 1]; }  // n 1..21
    PcxImage& Marker(int n) { return markers[n - 1]; }       // n 1..3
    PcxImage& Tile(int n) { return tiles[n - 1]; }           // n 1..5

    // ---- Construction and start ----
    // Back to the state at construction: every slot empty, no back buffer, the map buffer zeroed,
    // 320 x 200.
    void InitScreenSurface();
    // Frees the slots and releases the back-buffer and cursor surfaces.
    void DestroyScreenSurface();
    void LoadScreenLayout();
    // Creates the renderer, the back-buffer and cursor surfaces; 1, or 0 after a message box.
    int InitDirectDraw();

    // ---- Pictures ----
    // Decodes the picture straight into the back buffer; the program ends (exit code 1) when it
    // cannot be loaded. Returns 1.
    int LoadScreenPicture(const char* name);
    // The back buffer's pixels as the snapshot. Returns 1.
    int SnapshotBackBuffer();
    // An 800 x 600 picture as the snapshot; the program ends (1) when it cannot be loaded.
    int LoadSnapshotPicture(const char* name);
    void FreeSnapshot();
    // The snapshot's 800 x 600 pixels, or null.
    const uint16_t* SnapshotPixels() const;
    int LoadBackground(const char* levelDir, int a, int b, int c);
    int LoadBackgroundFromPack(PackFile& pack, int a, int b, int c);
    // A 128 x 128 picture into tile slot n (1..5) with its 16-bit copy; 0 when it cannot be
    // loaded or has another size (the slot is then empty).
    int LoadTileImage(int n, const char* name);
    void SaveScreenRect(int x, int y, int w, int h);
    void RestoreSavedRect();
    void FreeSavedRect();
    void CopyFromBackground(int x, int y, int w, int h);

    // ---- Rectangles, lines and frames ----
    void FillRect16(int x, int y, int w, int h, uint16_t pixel);
    void DrawHLine16(int y, int x0, int x1, uint16_t pixel, int t);
    void DrawVLine16(int x, int y0, int y1, uint16_t pixel, int t);
    void DrawRectFrame(int x, int y, int w, int h, uint16_t pixel, int t);
    void DrawBevelFrame(int x, int y, int w, int h, int t);
    void DrawSunkenFrame(int x, int y, int w, int h, int t);
    void DrawValueBar(int x, int y, int w, int h, int max, int value, uint16_t fill, uint16_t empty);
    void DrawImageBar(int x, int y, int w, int h, int max, int value, const PcxImage* full, const PcxImage* empty);

    // ---- Images (16-bit copies) ----
    void BlitImage(const PcxImage& image, int x, int y, int transparent);
    void BlitImageFrame(const PcxImage& image, int x, int y, int k, int n, int transparent);
    void BlitImageCell(const PcxImage& image, int x, int y, int col, int cols, int row, int rows, int transparent);
    void BlitImageLeft(int x, int y, int w, int h, const PcxImage& image);
    void BlitImageRight(int xEnd, int y, int w, int h, const PcxImage& image);
    void TileFillFromImage(int x, int y, int w, int h, const PcxImage& image);

    // ---- Overhead map (8-bit, 256 bytes a row) ----
    void DrawMapLine(uint8_t* buffer, int x0, int y0, int x1, int y1, int index, int t);
    void MapLineSteep(uint8_t* buffer, int x, int y, int dx, int dy, int xdir, int index);
    void MapLineShallow(uint8_t* buffer, int x, int y, int dx, int dy, int xdir, int index);
    void StampMapArrow(uint8_t* buffer, int x, int y, int k);
    void StampMapNode(uint8_t* buffer, int x, int y, int k, int group);

    // ---- Presentation ----
    void QueueDirtyRect(int x, int y, int w, int h, int flag);
    void PresentScreen();
    void PresentGameView(int x, int y, int w, int h, int elapsed, int mode);
    int FillScreenRect(int x, int y, int w, int h, uint16_t pixel);
    // Opens a screen with a box growing from the centre of 640 x 480 for ms milliseconds.
    void ZoomTransition(int ignored, int ms);
    void ClearNoticeLines();
    // Frees the picture of every image slot, the snapshot's too.
    void FreeSlots();

private:
    // The rectangle cut to the back buffer; false when nothing is left.
    static bool Clip(int& x, int& y, int& w, int& h);
    // Copies h rows of w pixels from source (pitch in pixels) to (x, y), clipped, skipping 0 when
    // transparent.
    void Blit16(const uint16_t* source, int pitch, int x, int y, int w, int h, bool transparent);
    std::unique_ptr<uint16_t[]> snapshotCopy_;
};

// The one screen surface.
extern ScreenSurface g_screen;

// A level pack's picture into the image (ReadPcx), which takes the entry's name. -1 when the pack
// has no such entry.
int ReadPackPicture(PcxImage& image, PackFile& pack, const char* entryName);

// The back-buffer surface in its three interfaces, and the cursor surface and picture.
extern IDirectDraw* g_directDraw;
extern IDirectDraw2* g_directDraw2;
extern IDirectDrawSurface* g_backSurface;
extern IDirectDrawSurface2* g_backSurface2;
extern IDirectDrawSurface4* g_backSurface4;
extern IDirectDrawSurface* g_cursorSurface;
extern IDirectDrawSurface4* g_cursorSurface4;
extern PcxImage g_cursorImage;
// Releases the surfaces and DirectDraw interfaces above.
void ReleaseScreenSurfaces();
