#include "client/driver/display_helpers.h"

#include <cstdio>
#include <cstring>

#include "client/screens/input.h"
#include "client/screens/screen_surface.h"

HandOverlay g_handOverlay;

void InitHandOverlay(HandOverlay& overlay) {
    FreeHandOverlay(overlay);
    overlay.current = overlay.next = -1;
    overlay.frameCounter = overlay.frameValue = overlay.position = 0;
    overlay.changed = overlay.restart = 0;
    std::memset(overlay.frameCounts, 0, sizeof overlay.frameCounts);
    std::memset(overlay.columnMarks, 0, sizeof overlay.columnMarks);
}

void FreeHandOverlay(HandOverlay& overlay) {
    for (int s = 0; s < kHandSequences; ++s) {
        for (int f = 0; f < kHandFrames; ++f) {
            overlay.frames[s][f].FreePcx();
            overlay.topMasks[s][f].clear();
            overlay.bottomMasks[s][f].clear();
        }
    }
}

bool BuildHandMasks(const uint16_t* pixels, int width, int height, std::vector<uint8_t>& top,
                    std::vector<uint8_t>& bottom) {
    top.clear();
    bottom.clear();
    if (!pixels || width <= 0 || height <= 0 || width > kHandColumns || height > kHandMaxRows)
        return false;
    top.resize(static_cast<size_t>(width));
    bottom.resize(static_cast<size_t>(width));
    for (int x = 0; x < width; ++x) {
        int t = 0;
        while (t < height && pixels[static_cast<size_t>(t) * width + x] == 0)
            ++t;
        top[x] = static_cast<uint8_t>(t == height ? 255 : t);
        int b = 0;
        while (b < height && pixels[static_cast<size_t>(height - 1 - b) * width + x] != 0)
            ++b;
        bottom[x] = static_cast<uint8_t>(b);
    }
    return true;
}

int LoadHandOverlays(HandOverlay& overlay) {
    int loaded = 0;
    for (int f = 0; f < 4; ++f) {
        char name[32];
        std::snprintf(name, sizeof name, "overlays\\hands%d.pcx", f);
        PcxImage& frame = overlay.frames[0][f];
        if (frame.LoadPcx(name, PCX_HEAP, 1) != 0 || frame.ConvertPcxToHicolor(g_channelBits) != 0 ||
            !BuildHandMasks(frame.Pixels16(), frame.PcxWidth(), frame.PcxHeight(), overlay.topMasks[0][f],
                            overlay.bottomMasks[0][f])) {
            frame.FreePcx();
            continue;
        }
        ++loaded;
    }
    overlay.frameCounts[0] = loaded;
    overlay.current = overlay.next = -1;
    return loaded;
}

void ClearHandColumns() { std::memset(g_handOverlay.columnMarks, 0, sizeof g_handOverlay.columnMarks); }

int StartHandSequence(int n) {
    HandOverlay& h = g_handOverlay;
    if (h.current != -1 || n < 0 || n >= kHandSequences)
        return 0;
    h.frameCounter = 0;
    h.position = 0;
    h.changed = 1;
    h.current = n;
    // The picture rises into view from below.
    h.position = 1 - h.frames[n][0].PcxHeight();
    ClearHandColumns();
    return 1;
}

int RestartHandAnimation() {
    HandOverlay& h = g_handOverlay;
    if (h.current == -1)
        return 0;
    h.frameCounter = 0;
    h.restart = 1;
    h.changed = 1;
    return 1;
}

int PlayHandSequence(int n) {
    if (g_handOverlay.current != -1) {
        RestartHandAnimation();
        g_handOverlay.next = n;
        return 1;
    }
    StartHandSequence(n);
    return 1;
}

int SetHandFrame(int value) {
    HandOverlay& h = g_handOverlay;
    if (h.current == -1)
        return 0;
    h.frameCounter = 0;
    h.frameValue = value;
    h.changed = 1;
    return 1;
}

void ClearTextInput() {
    SetKeyInputMode(0);
    std::memset(g_typedLine.text, 0, sizeof g_typedLine.text);
    g_typedLine.length = 0;
    g_typedLine.complete = 0;
    ResetKeyStates();
}
