#include "client/screens/level_art.h"

#include <algorithm>

#include "client/core/pack_file.h"
#include "client/screens/fonts.h"
#include "client/screens/screen_surface.h"

namespace {

constexpr int kBarFrame = 2;  // loadbarb: the frame the two bar pictures sit in
constexpr const char* kLoadingText = "Loading...";

int Finish(PcxImage& image, int result) {
    if (result == 0 && image.ConvertPcxToHicolor(g_channelBits) != 0)
        result = -3;
    if (result != 0)
        image.FreePcx();
    return result;
}

PcxImage& MapSlot() {
    return g_screen.Screen(SCREEN_IMAGE_MAP);
}

}  // namespace

void LoadLoadingBarArt() {
    static const char* const kNames[kLoadBarImageCount] = {"loadbar1.pcx", "loadbar2.pcx", "loadbarb.pcx"};
    for (int i = 0; i < kLoadBarImageCount; ++i) {
        g_screen.loadBar[i].FreePcx();
        Finish(g_screen.loadBar[i], g_screen.loadBar[i].LoadPcx(kNames[i], PCX_HEAP, 1));
    }
}

void FreeLoadingBarArt() {
    for (PcxImage& image : g_screen.loadBar)
        image.FreePcx();
}

int LoadMapImage(const char* path) {
    MapSlot().FreePcx();
    return Finish(MapSlot(), MapSlot().LoadPcx(path, PCX_HEAP, 1));
}

int LoadMapImageFromPack(PackFile& pack, const char* entryName) {
    MapSlot().FreePcx();
    const int result = ReadPackPicture(MapSlot(), pack, entryName);
    return result == -1 ? -1 : Finish(MapSlot(), result);
}

void DrawLoadingBar(int percent) {
    if (!g_screen.backBuffer)
        return;
    percent = std::clamp(percent, 0, 100);
    g_screen.FillRect16(0, 0, kScreenWidth, kScreenHeight, 0);
    const PcxImage& empty = g_screen.loadBar[0];
    const PcxImage& full = g_screen.loadBar[1];
    if (empty.loaded && full.loaded) {
        DrawText(400 - TextWidth(kLoadingText, 5) / 2, 240, 31, kLoadingText, 0, g_screen.backBuffer, 5, 0);
        const PcxImage& frame = g_screen.loadBar[kBarFrame];
        if (frame.loaded)
            g_screen.BlitImage(frame, 400 - frame.PcxWidth() / 2, 300 - frame.PcxHeight() / 2, 1);
        const int w = empty.PcxWidth(), h = empty.PcxHeight();
        g_screen.DrawImageBar(400 - w / 2, 300 - h / 2, w, h, 100, percent, &full, &empty);
    } else {
        DrawText(680, 540, 31, kLoadingText, 0, g_screen.backBuffer, 8, 0);
        g_screen.DrawRectFrame(680, 560, 80, 15, MakePixel16(255, 255, 255), 1);
        g_screen.FillRect16(681, 561, 78 * percent / 100, 13, MakePixel16(64, 96, 255));
    }
    g_screen.QueueDirtyRect(0, 0, kScreenWidth, kScreenHeight, 1);
    g_screen.PresentScreen();
}
