#include "client/screens/fonts.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "client/core/config_file.h"
#include "client/core/error_log.h"
#include "client/screens/color_tables.h"
#include "client/screens/screen_surface.h"

FontSlot FontTable[kFontCount];
PcxImage PcxFontImages[kPcxFontImageCount];
NameTagTableRecord NameTagTable;

namespace {

// The metrics main.dat may give a font. Outside them a font could not be drawn (no rows, no
// glyph width) or would carry DrawText's positions past the range of int.
struct MetricRange {
    const char* key;
    int low, high;
};
constexpr MetricRange kHeightRange{"height", 1, 64};
constexpr MetricRange kSizeRange{"size", 1, 2};
constexpr MetricRange kWidthRange{"width", 1, 32};
constexpr MetricRange kSpacingRange{"extra_spacing", -16, 16};
constexpr MetricRange kColorsRange{"pcx_colors", 0, 16};
constexpr MetricRange kPcxFontRange{"pcx_font", 0, kPcxFontImageCount - 1};
constexpr uint16_t kStyle3Halo = 0x2104;

const FontSlot* Slot(int font) { return font >= 0 && font < kFontCount ? &FontTable[font] : nullptr; }

void Put(uint16_t* dest, int x, int y, uint16_t pixel) {
    if (x >= 0 && x < kScreenWidth && y >= 0 && y < kScreenHeight)
        dest[y * kScreenWidth + x] = pixel;
}

// The rows of one colour variant of a PCX font image.
int VariantRows(const FontSlot& f, const PcxImage& image) {
    return image.PcxHeight() / (f.pcx_colors > 0 ? f.pcx_colors : 1);
}

// Calls plot(sx, sy, px, py) for every source pixel of glyph c in the variant, clipped to the
// image's columns.
template <typename Plot>
void ForEachPcxGlyphPixel(const FontSlot& f, const PcxImage& image, int c, int variant, Plot plot) {
    const int start = f.start[c], end = f.end[c];
    if (end < start)
        return;
    const int rows = VariantRows(f, image);
    const int v = variant >= 0 && variant < f.pcx_colors ? variant : 0;
    const int width = image.PcxWidth();
    for (int r = 0; r < rows; ++r)
        for (int col = start; col <= end && col < width; ++col)
            if (col >= 0)
                plot(col, rows * v + r, col - start, r);
}

}  // namespace

// ---- Loading ---------------------------------------------------------------------------------------

std::unique_ptr<uint8_t[]> ReadFontFile(const char* path, size_t bytes) {
    FILE* file = std::fopen(path, "rb");
    if (!file)
        return nullptr;
    auto buffer = std::make_unique<uint8_t[]>(bytes);
    const size_t got = std::fread(buffer.get(), 1, bytes, file);
    (void)got;  // a short file leaves its missing glyphs blank
    std::fclose(file);
    return buffer;
}

int LoadFonts(const char* file, const char* dir) {
    int count = 0;
    if (!GetConfigInt(file, "fonts", "numfonts", &count, 0, 0)) {
        std::printf("Error loading 'numfonts' from heading 'fonts' from file %s.\n", file);
        return 0;
    }
    if (count < 1)
        return 1;
    count = std::min(count, kFontCount);
    for (int i = 0; i < count; ++i) {
        char section[16];
        std::snprintf(section, sizeof(section), "font%02d", i);
        FontSlot& f = FontTable[i];
        int height = 0, size = 0;
        if (!GetConfigInt(file, section, "height", &height, 0, 0)) {
            std::printf("Error loading 'height' from heading '%s' from file %s.\n", section, file);
            return 0;
        }
        if (!GetConfigInt(file, section, "size", &size, 0, 0)) {
            std::printf("Error loading 'size' from heading '%s' from file %s.\n", section, file);
            return 0;
        }
        int width = 8, extra = 0, pcxFont = 0, colors = 1, numeric = 0;
        GetConfigInt(file, section, "width", &width, 8, 0);
        GetConfigInt(file, section, "extra_spacing", &extra, 0, 0);
        GetConfigInt(file, section, "pcx_font", &pcxFont, 0, 0);
        GetConfigInt(file, section, "pcx_colors", &colors, 1, 0);
        GetConfigInt(file, section, "pcx_numeric", &numeric, 0, 0);
        char name[101] = {};
        GetConfigString(file, section, "file", name, sizeof(name), "", 0);
        char path[220];
        std::snprintf(path, sizeof(path), "%s/%s", dir, name);

        const struct {
            const MetricRange& range;
            int value;
        } metrics[] = {{kHeightRange, height}, {kSizeRange, size},     {kWidthRange, width},
                       {kSpacingRange, extra}, {kColorsRange, colors}, {kPcxFontRange, pcxFont}};
        for (const auto& m : metrics) {
            if (m.value < m.range.low || m.value > m.range.high) {
                std::printf("Error loading '%s' from heading '%s' from file %s.\n", m.range.key, section, file);
                return 0;
            }
        }
        f.glyphs.reset();
        f.height = height;
        f.size = size;
        f.width = width;
        f.extraSpacing = extra;
        f.pcx_font = pcxFont;
        f.pcx_colors = colors;
        f.pcx_numeric = numeric;
        if (pcxFont) {
            LoadPcxFont(i, path);
            continue;
        }
        f.glyphs = ReadFontFile(path, static_cast<size_t>(height) * 256);
        if (!f.glyphs) {
            std::printf("\nLoad Font Failed! File=%s\n", name);
            return 0;
        }
    }
    return 1;
}

void LoadPcxFont(int i, const char* path) {
    PcxImage& image = PcxFontImages[FontTable[i].pcx_font];
    const int result = image.LoadPcx(path, PCX_HEAP, 1);
    ErrorLogWrite("Loading PCX font #%d. file=%s result=%d\n", i, path, result);
    if (result != 0)
        image.FreePcx();
    MeasurePcxFont(i);
}

void MeasurePcxFont(int i) {
    FontSlot& f = FontTable[i];
    PcxImage& image = PcxFontImages[f.pcx_font];
    std::fill(std::begin(f.start), std::end(f.start), 0);
    std::fill(std::begin(f.end), std::end(f.end), 0);
    const uint8_t* pixels = image.Pixels8();
    if (!pixels) {
        image.FreePcx();
        f.height = 0;
        f.width = 0;
        return;
    }
    const int imageWidth = image.PcxWidth();
    const int rows = VariantRows(f, image);
    auto empty = [&](int col) {
        for (int r = 0; r < rows; ++r)
            if (pixels[r * imageWidth + col])
                return false;
        return true;
    };
    int col = 1;
    auto measure = [&](int first, int last) {
        for (int c = first; c <= last; ++c) {
            while (col < imageWidth && empty(col))
                ++col;
            if (col >= imageWidth)
                return;
            f.start[c] = col;
            while (col < imageWidth && !empty(col))
                ++col;
            f.end[c] = col;
            if (col >= imageWidth)
                return;
        }
    };
    constexpr int kZero = '0', kSpace = ' ', kBang = '!', kStar = '*';
    if (f.pcx_numeric) {
        measure('0', '9');
        for (int c = 0; c <= 126; ++c) {
            if (c >= '0' && c <= '9')
                continue;
            f.start[c] = f.start[kZero];
            f.end[c] = f.end[kZero];
        }
    } else {
        measure(33, 131);
        f.start[kSpace] = 0;
        f.end[kSpace] = f.start[kBang] - 1;
        for (int c = 0; c <= 30; ++c) {
            f.start[c] = f.start[kStar];
            f.end[c] = f.end[kStar];
        }
    }
    image.ConvertPcxToHicolor(g_channelBits);
    f.height = rows;
    f.width = imageWidth;
}

void FreeFonts() {
    for (FontSlot& f : FontTable)
        f.glyphs.reset();
    for (PcxImage& image : PcxFontImages)
        image.FreePcx();
}

// ---- Drawing -----------------------------------------------------------------------------------------

void DrawText(int x, int y, int colour, const char* text, int style, uint16_t* dest, int font, int flags) {
    const FontSlot* f = Slot(font);
    if (!f || !text || !*text || !dest)
        return;
    if (!(flags & 2))
        colour = static_cast<uint16_t>(PaletteColourTable[colour & 0xFF]);
    const auto* chars = reinterpret_cast<const unsigned char*>(text);
    if (f->pcx_font) {
        for (; *chars; ++chars) {
            const int c = *chars;
            const int w = f->end[c] - f->start[c];
            if (x + w + 1 < kScreenWidth && y + 1 + f->height < kScreenHeight)
                DrawPcxGlyph(x + 1, y + 1, c, colour, dest, font);
            x += w + f->extraSpacing;
        }
        return;
    }
    const uint16_t pixel = static_cast<uint16_t>(colour);
    int narrow = 0;
    for (int i = 0; chars[i]; ++i) {
        const int c = chars[i];
        int xi = x + i * 8 * f->size - narrow;
        if ((style == 2 && f->height > 8) || style == 3)
            xi += i;
        switch (f->width) {
            case 6: xi -= 2 * i; break;
            case 7: xi -= i; break;
            case 9: xi += i; break;
            case 10: xi += 2 * i; break;
            default: break;
        }
        if (style == 4) {
            DrawGlyph(xi + 1, y + 1, c, 0, 4, dest, font, flags);
        } else if (style == 5) {
            DrawGlyph(xi + 1, y + 1, c, 0, 5, dest, font, flags);
            DrawGlyph(xi + 2, y + 2, c, 0, 5, dest, font, flags);
        }
        DrawGlyph(xi, y, c, pixel, style, dest, font, flags);
        // These letters are narrow: everything after each one moves a pixel to the left.
        if (c == 'i' || c == 'I' || c == 'j' || c == 'l')
            ++narrow;
    }
}

void DrawGlyph(int x, int y, int c, uint16_t pixel, int style, uint16_t* dest, int font, int flags) {
    const FontSlot* f = Slot(font);
    if (!f || !f->glyphs || !dest)
        return;
    const int cols = f->size == 1 ? 8 : 16;
    const uint8_t* glyph = f->glyphs.get() + static_cast<unsigned char>(c) * f->height;
    auto forEachBit = [&](auto&& plot, bool clear = false) {
        for (int row = 0; row < f->height; ++row) {
            int mask = 0x80;
            for (int j = 0; j < cols; ++j) {
                const bool set = (glyph[row] & mask) != 0;
                if (set != clear)
                    plot(x + j, y + row, j);
                if (((j + 1) & (f->size - 1)) == 0)
                    mask >>= 1;
            }
        }
    };
    auto block = [&](int radius, uint16_t value) {
        forEachBit([&](int px, int py, int) {
            for (int dy = -radius; dy <= radius; ++dy)
                for (int dx = -radius; dx <= radius; ++dx)
                    Put(dest, px + dx, py + dy, value);
        });
    };
    auto setBits = [&]() { forEachBit([&](int px, int py, int) { Put(dest, px, py, pixel); }); };
    switch (style) {
        case 0:
            forEachBit([&](int px, int py, int) { Put(dest, px, py, 0); }, true);
            setBits();
            break;
        case 2:
            block(1, 0);
            setBits();
            break;
        case 3:
            block(2, 0);
            block(1, kStyle3Halo);
            setBits();
            break;
        case 6:
            forEachBit(
                [&](int px, int py, int j) {
                    if (f->width == 6 && (j == 0 || j == 7))
                        return;
                    Put(dest, px, py, pixel);
                },
                true);
            break;
        default:  // 1, 4, 5: set bits only (4 and 5 got their shadows from DrawText)
            setBits();
            break;
    }
    if (flags & 1) {
        const int row = y + f->height + (font == 1 ? 0 : 1);
        for (int j = 0; j < cols; ++j)
            Put(dest, x + j, row, pixel);
    }
}

void DrawPcxGlyph(int x, int y, int c, int variant, uint16_t* dest, int font) {
    const FontSlot* f = Slot(font);
    if (!f || !f->pcx_font || !dest)
        return;
    const PcxImage& image = PcxFontImages[f->pcx_font];
    const uint16_t* pixels = image.Pixels16();
    if (!pixels)
        return;
    const int width = image.PcxWidth();
    ForEachPcxGlyphPixel(*f, image, static_cast<unsigned char>(c), variant, [&](int sx, int sy, int dx, int dy) {
        const uint16_t p = pixels[sy * width + sx];
        if (p)
            Put(dest, x + dx, y + dy, p);
    });
}

int TextWidth(const char* text, int font) {
    const FontSlot* f = Slot(font);
    if (!f || !text)
        return 0;
    if (!f->pcx_font)
        return static_cast<int>(std::strlen(text)) * f->width;
    int width = 0;
    for (const auto* p = reinterpret_cast<const unsigned char*>(text); *p; ++p)
        width += f->end[*p] - f->start[*p] + f->extraSpacing;
    return width;
}

int FitTextToWidth(char* text, int font, int maxWidth) {
    int length = static_cast<int>(std::strlen(text));
    while (length > 0 && TextWidth(text, font) > maxWidth)
        text[--length] = '\0';
    return length;
}

const char* TextEndFittingWidth(const char* text, int font, int maxWidth) {
    while (*text && TextWidth(text, font) > maxWidth)
        ++text;
    return text;
}

// ---- Name tags ---------------------------------------------------------------------------------------

void DrawPcxGlyph8(int x, int y, int c, int variant, uint8_t* image, int font) {
    const FontSlot* f = Slot(font);
    if (!f || !f->pcx_font || !image)
        return;
    const PcxImage& source = PcxFontImages[f->pcx_font];
    const uint16_t* pixels = source.Pixels16();
    if (!pixels)
        return;
    const int width = source.PcxWidth();
    ForEachPcxGlyphPixel(*f, source, static_cast<unsigned char>(c), variant, [&](int sx, int sy, int dx, int dy) {
        const uint16_t p = pixels[sy * width + sx];
        const int px = x + dx, py = y + dy;
        if (p && px >= 0 && px < kNameTagWidth && py >= 0 && py < kNameTagHeight)
            image[py * kNameTagWidth + px] = InverseColourTable[p];
    });
}

void RenderNameTag(int variant, const char* name, uint8_t* image, int flags) {
    std::memset(image, 0, kNameTagBytes);
    char copy[28] = {};
    std::snprintf(copy, sizeof(copy), "%s", name ? name : "");
    const int font = 1;
    FitTextToWidth(copy, font, kNameTagWidth);
    const FontSlot& f = FontTable[font];
    int x = (kNameTagWidth - TextWidth(copy, font)) / 2;
    for (const auto* p = reinterpret_cast<const unsigned char*>(copy); *p; ++p) {
        DrawPcxGlyph8(x, 0, *p, variant, image, font);
        x += f.end[*p] - f.start[*p] + f.extraSpacing;
    }
    if (flags == -1)
        return;
    const struct {
        int bit, c, x;
    } icons[] = {{16, 128, 3}, {32, 129, 9}, {64, 130, 49}, {128, 131, 55}};
    for (const auto& icon : icons)
        if (flags & icon.bit)
            DrawPcxGlyph8(icon.x, 6, icon.c, variant, image, font);
    uint8_t bar = 0;
    if (variant == 1)
        bar = InverseColourTable[MakePixel16(128, 0, 0)];
    else if (variant == 2)
        bar = InverseColourTable[MakePixel16(128, 128, 0)];
    else if (variant == 3)
        bar = InverseColourTable[MakePixel16(32, 32, 128)];
    std::memset(image + 11 * kNameTagWidth + 16, bar, 32);
    std::memset(image + 13 * kNameTagWidth + 16, bar, 32);
    image[12 * kNameTagWidth + 16] = bar;
    image[12 * kNameTagWidth + 47] = bar;
    std::memset(image + 12 * kNameTagWidth + 16, bar, static_cast<size_t>((flags & 15) * 2));
}

int AllocNameTag(const char* name, int variant) {
    for (int i = 0; i < kNameTagCount; ++i) {
        if (NameTagTable.used[i])
            continue;
        char cut[9] = {};
        std::snprintf(cut, sizeof(cut), "%s", name ? name : "");
        RenderNameTag(variant, cut, NameTagTable.images[i], -1);
        NameTagTable.used[i] = 1;
        return i;
    }
    return 0;
}

void FreeNameTag(int i) {
    if (i < 0 || i >= kNameTagCount)
        return;
    NameTagTable.used[i] = 0;
    std::memset(NameTagTable.images[i], 0, kNameTagBytes);
}

int SetNameTag(int i, const char* name, int variant, int flags) {
    if (i < 0 || i >= kNameTagCount)
        return 0;
    RenderNameTag(variant, name, NameTagTable.images[i], flags);
    return i;
}
