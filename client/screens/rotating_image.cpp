#include "client/screens/rotating_image.h"

#include <algorithm>

#include "client/screens/color_tables.h"

namespace {

int FrameCount(int viewMode) {
    return viewMode == kRotatingAllRound ? 32 : viewMode == kRotatingFiveViews ? 25 : 0;
}

bool Blank(const RotatingImage& image, int column) {
    const uint8_t* c = &image.columns[static_cast<size_t>(column) * image.height];
    return std::all_of(c, c + image.height, [](uint8_t p) { return p == 0; });
}

}  // namespace

int InitRotatingImage(RotatingImage& image, const char* file, int viewMode, int colourTable) {
    FreeRotatingImage(image);
    image.viewMode = viewMode;
    image.colourTable = colourTable;
    const int frames = FrameCount(viewMode);
    if (frames == 0 || image.picture.LoadPcx(file, PCX_HEAP, 0) != 0)
        return -1;
    const int w = image.picture.PcxWidth(), h = image.picture.PcxHeight();
    const uint8_t* pixels = image.picture.Pixels8();
    if (!pixels || w % frames != 0 || w / frames == 0) {
        FreeRotatingImage(image);
        return -1;
    }
    image.width = w / frames;
    image.height = h;
    image.columns.resize(static_cast<size_t>(w) * h);
    for (int c = 0; c < w; ++c)
        for (int r = 0; r < h; ++r)
            image.columns[static_cast<size_t>(c) * h + r] = pixels[static_cast<size_t>(r) * w + c];
    for (int f = 0; f < frames; ++f) {
        int first = f * image.width, last = first + image.width - 1;
        while (first <= last && Blank(image, first))
            ++first;
        while (last >= first && Blank(image, last))
            --last;
        // The width is a byte: a wider frame keeps its middle 255 columns.
        int own = std::max(0, last - first + 1);
        if (own > 255) {
            first += (own - 255) / 2;
            own = 255;
        }
        image.frameOffsets.push_back(first);
        image.frameWidths.push_back(static_cast<uint8_t>(own));
    }
    return 0;
}

void FreeRotatingImage(RotatingImage& image) {
    image.picture.FreePcx();
    image.columns.clear();
    image.frameOffsets.clear();
    image.frameWidths.clear();
    image.width = image.height = 0;
    image.lastFrame = -1;
    image.lastMirrored = false;
}

int RotatingFrameWidth(const RotatingImage& image, int frame) {
    return frame >= 0 && frame < static_cast<int>(image.frameWidths.size()) ? image.frameWidths[frame] : 0;
}

int RotatingFrameOffset(const RotatingImage& image, int frame) {
    return frame >= 0 && frame < static_cast<int>(image.frameOffsets.size()) ? image.frameOffsets[frame] : 0;
}

int DrawRotatingImage(RotatingImage& image, uint32_t t, uint16_t* target, int pitch, int rows, int x, int y) {
    const uint32_t u = t % kRotatingTurn;
    int frame = 0;
    bool mirrored = false;
    if (image.viewMode == kRotatingAllRound) {
        frame = static_cast<int>(u / 200);
    } else if (image.viewMode == kRotatingFiveViews) {
        const int direction = static_cast<int>(u / 800);
        int step = static_cast<int>(u / 100 % 8);
        if (step > 4)
            step = 8 - step;  // a swing 0 1 2 3 4 3 2 1
        mirrored = direction > 4;
        const int view = mirrored ? 8 - direction : direction;
        frame = view * 5 + step;
    } else {
        return 0;
    }
    if (image.columns.empty() || !target || frame >= static_cast<int>(image.frameWidths.size()))
        return 0;
    const LightTable* table = GetLightTable(image.colourTable);
    const uint32_t* colours = table ? table->rows[kShadeRows - 1] : PaletteColourTable;
    const int W = image.width, w = image.frameWidths[frame];
    const int from = (W - w) / 2, to = from + w;
    const int firstRow = std::max(0, -y), lastRow = std::min(image.height, rows - y);
    const auto put = [&](int i, auto pixelOfRow) {
        if (x + i < 0 || x + i >= pitch)
            return;
        for (int r = firstRow; r < lastRow; ++r)
            target[static_cast<ptrdiff_t>(y + r) * pitch + x + i] = pixelOfRow(r);
    };
    for (int i = 0; i < W; ++i) {
        if (i < from || i >= to) {
            put(i, [](int) { return uint16_t{0}; });
            continue;
        }
        const int k = mirrored ? to - 1 - i : i - from;
        const uint8_t* column = &image.columns[static_cast<size_t>(image.frameOffsets[frame] + k) * image.height];
        put(i, [&](int r) { return static_cast<uint16_t>(colours[column[r]]); });
    }
    const bool changed = frame != image.lastFrame || mirrored != image.lastMirrored;
    image.lastFrame = frame;
    image.lastMirrored = mirrored;
    return changed ? 1 : 0;
}
