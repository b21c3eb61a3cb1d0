#pragma once
// The game's own fonts: bitmap fonts (one byte a glyph row, the top bit leftmost) and PCX fonts
// (a strip of glyph pictures, optionally stacked in colour variants), drawn into 16-bit buffers
// of 800-pixel rows; and the 64 name tags, small 8-bit pictures shown over players.
//
// Glyphs clip to the 800 x 600 buffer; character codes are unsigned.

#include <cstdint>
#include <memory>

#include "client/core/pcx_image.h"

constexpr int kFontCount = 20;
constexpr int kPcxFontImageCount = 10;
constexpr int kNameTagCount = 64;
constexpr int kNameTagWidth = 64;
constexpr int kNameTagHeight = 16;
constexpr int kNameTagBytes = kNameTagWidth * kNameTagHeight;

struct FontSlot {
    int32_t height = 0;
    int32_t size = 0;
    int32_t width = 0;
    std::unique_ptr<uint8_t[]> glyphs;  // height x 256 bytes; null for PCX fonts
    int32_t extraSpacing = 0;
    int32_t pcx_font = 0;
    int32_t pcx_colors = 0;
    int32_t pcx_numeric = 0;
    int32_t start[256] = {};
    int32_t end[256] = {};
};

extern FontSlot FontTable[kFontCount];
extern PcxImage PcxFontImages[kPcxFontImageCount];

struct NameTagTableRecord {
    uint8_t images[kNameTagCount][kNameTagBytes];
    uint8_t used[kNameTagCount];
};
extern NameTagTableRecord NameTagTable;

// 1 on success, 0 on failure (its message on standard output; the fonts loaded so far stay).
int LoadFonts(const char* file, const char* dir);
// bytes bytes of the file from its start, zero-filled past a short file's end; null when it
// cannot be opened.
std::unique_ptr<uint8_t[]> ReadFontFile(const char* path, size_t bytes);
void LoadPcxFont(int i, const char* path);
// Measures the glyphs of font i's PCX image (8-bit, as loaded) and makes its 16-bit copy; an
// image without pixels leaves the font empty.
void MeasurePcxFont(int i);
void FreeFonts();

// flags: 1 underline, 2 colour is a 16-bit pixel (PCX fonts: the colour variant); otherwise
// colour is a palette index.
void DrawText(int x, int y, int colour, const char* text, int style, uint16_t* dest, int font, int flags);
void DrawGlyph(int x, int y, int c, uint16_t pixel, int style, uint16_t* dest, int font, int flags);
void DrawPcxGlyph(int x, int y, int c, int variant, uint16_t* dest, int font);
int TextWidth(const char* text, int font);
int FitTextToWidth(char* text, int font, int maxWidth);
// The longest end of text that fits maxWidth: what a text field scrolled to its end shows.
const char* TextEndFittingWidth(const char* text, int font, int maxWidth);

// ---- Name tags ----
void RenderNameTag(int variant, const char* name, uint8_t* image, int flags);
void DrawPcxGlyph8(int x, int y, int c, int variant, uint8_t* image, int font);
// The index of a newly used tag; 0 (none: tag 0 is reserved at start-up) when all are used.
int AllocNameTag(const char* name, int variant);
void FreeNameTag(int i);
// Redraws tag i; numbers outside 0..63 are refused (0).
int SetNameTag(int i, const char* name, int variant, int flags);
