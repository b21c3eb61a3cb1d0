#pragma once
// The turning preview a list box may show beside an option: the frames of a figure seen from
// around it, drawn one after another by the clock. The picture holds the frames side by side,
// each as wide as the preview; they are kept column by column, and each frame's own width (its
// columns that are not blank) is drawn centred in the preview.

#include <cstdint>
#include <vector>

#include "client/core/pcx_image.h"

// View modes: 32 frames all round, or five stored views of five steps each, the other three
// directions drawn mirrored.
constexpr int kRotatingAllRound = 8;
constexpr int kRotatingFiveViews = 5;
// Clock units of a whole turn.
constexpr uint32_t kRotatingTurn = 6400;

struct RotatingImage {
    PcxImage picture;  // 8-bit, the frames side by side
    int viewMode = 0;
    int colourTable = 0;  // the light table the 8-bit pixels go through
    int width = 0;        // of one frame: the preview's width
    int height = 0;
    std::vector<uint8_t> columns;  // every column of the picture, each a run of height bytes
    std::vector<int32_t> frameOffsets;  // the first column of each frame's own width
    std::vector<uint8_t> frameWidths;
    int lastFrame = -1;
    bool lastMirrored = false;
};

// Loads the picture for a view mode (32 or 25 frames across it). 0; -1 when the picture cannot be
// read or its width is not a whole number of frames (the image is then empty).
int InitRotatingImage(RotatingImage& image, const char* file, int viewMode, int colourTable);
void FreeRotatingImage(RotatingImage& image);
// A frame's own width and first column; 0 for a frame the image does not have.
int RotatingFrameWidth(const RotatingImage& image, int frame);
int RotatingFrameOffset(const RotatingImage& image, int frame);
// The frame for clock time t into 16-bit pixels (pitch pixels a row, rows of them) at x, y,
// clipped to them. 1 when it differs from the frame drawn last, else 0; 0 and nothing drawn for
// an empty image or another mode.
int DrawRotatingImage(RotatingImage& image, uint32_t t, uint16_t* target, int pitch, int rows, int x, int y);
