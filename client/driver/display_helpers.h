#pragma once
// Small display objects of the arena and the screens: the first-person hands overlay and leaving
// text input.

#include <cstdint>
#include <vector>

#include "client/core/pcx_image.h"

constexpr int kHandSequences = 7;
constexpr int kHandFrames = 10;
constexpr int kHandColumns = 640;
// Taller frames cannot be described by the one-byte masks.
constexpr int kHandMaxRows = 254;

struct HandOverlay {
    int32_t current = -1;  // the running sequence, -1 none
    int32_t next = -1;     // asked for while another runs
    int32_t frameCounter = 0;
    int32_t frameValue = 0;
    int32_t position = 0;  // vertical position of the picture
    int32_t changed = 0;
    int32_t restart = 0;
    PcxImage frames[kHandSequences][kHandFrames];
    int32_t frameCounts[kHandSequences] = {};
    // Per frame and column: transparent rows from the top (255 for a fully transparent column),
    // and opaque rows counted up from the bottom.
    std::vector<uint8_t> topMasks[kHandSequences][kHandFrames];
    std::vector<uint8_t> bottomMasks[kHandSequences][kHandFrames];
    uint8_t columnMarks[kHandColumns] = {};
};
extern HandOverlay g_handOverlay;

void InitHandOverlay(HandOverlay& overlay);
void FreeHandOverlay(HandOverlay& overlay);
// Loads overlays\hands0.pcx to hands3.pcx as the first four frames and builds their masks;
// the number of frames loaded. A frame too tall or too wide for the masks is refused (left empty).
int LoadHandOverlays(HandOverlay& overlay);
// Masks of one 16-bit frame; false when the frame is too large.
bool BuildHandMasks(const uint16_t* pixels, int width, int height, std::vector<uint8_t>& top,
                    std::vector<uint8_t>& bottom);
// Only when no sequence runs: starts n (1), else 0.
int StartHandSequence(int n);
// Restarts the running sequence from its first frame (1); 0 when none runs.
int RestartHandAnimation();
// When one runs: restarts it and remembers n as the next sequence; otherwise starts n. 1.
int PlayHandSequence(int n);
// When one runs: frame counter 0, frame value = value, changed (1); else 0.
int SetHandFrame(int value);
void ClearHandColumns();

// Leaves text input mode, clears the typed line and the key states.
void ClearTextInput();
