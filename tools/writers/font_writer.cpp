#include "tools/writers/font_writer.h"

#include <algorithm>

#include "tools/writers/glyph_design.h"
#include "tools/writers/pcx_writer.h"

std::vector<uint8_t> BuildBitmapFont(int height) {
    std::vector<uint8_t> bytes(static_cast<size_t>(height) * 256, 0);
    for (int c = 0; c < 256; ++c) {
        const std::array<uint8_t, 8> rows = GlyphRows(c);
        for (int r = 0; r < height; ++r)
            bytes[static_cast<size_t>(c) * height + r] = rows[static_cast<size_t>(r * 8 / height)];
    }
    return bytes;
}

namespace {

// The inked columns of a glyph (first, last), or {0, -1} for none.
std::pair<int, int> InkColumns(const std::array<uint8_t, 8>& rows) {
    uint8_t all = 0;
    for (uint8_t r : rows)
        all |= r;
    int first = 0, last = -1;
    for (int col = 0; col < 8; ++col) {
        if (!(all & (0x80 >> col)))
            continue;
        if (last < 0)
            first = col;
        last = col;
    }
    return {first, last};
}

}  // namespace

std::vector<uint8_t> BuildPcxFont(const PcxFontSpec& spec) {
    const int s = std::max(1, spec.scale);
    const int gap = spec.shadow ? 2 : 1;
    const int leading = std::max(0, spec.leading);
    const int glyphRows = 8 * s + (spec.shadow ? 1 : 0) + 2 * leading;
    constexpr int kMarker = 127;
    const auto rowsOf = [&spec](int c) {
        if (c == kMarker && spec.markerArrow)
            return MarkerArrowRows();
        return spec.narrowDigits ? NarrowDigitRows(c) : GlyphRows(c);
    };
    const int variants = static_cast<int>(spec.variants.size());
    std::vector<int> chars;
    if (spec.numeric)
        for (int c = '0'; c <= '9'; ++c)
            chars.push_back(c);
    else
        for (int c = 33; c <= 131; ++c)
            chars.push_back(c);

    // Lay the glyphs out left to right.
    struct Placed {
        int c, x, first, last;
    };
    std::vector<Placed> placed;
    int x = spec.numeric ? 1 : spec.spaceWidth + 1;
    for (int c : chars) {
        const auto [first, last] = InkColumns(rowsOf(c));
        if (last < 0)
            continue;
        placed.push_back({c, x, first, last});
        x += (last - first + 1) * s + gap;
    }
    const int width = x + 1;
    const int height = glyphRows * variants;
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * height, 0);
    std::vector<uint8_t> palette(768, 0);
    const uint8_t shadowIndex = static_cast<uint8_t>(1 + variants);
    const uint8_t markerIndex = static_cast<uint8_t>(shadowIndex + 1);
    for (int v = 0; v < variants; ++v) {
        palette[(1 + v) * 3] = spec.variants[v].red;
        palette[(1 + v) * 3 + 1] = spec.variants[v].green;
        palette[(1 + v) * 3 + 2] = spec.variants[v].blue;
    }
    palette[shadowIndex * 3] = palette[shadowIndex * 3 + 1] = palette[shadowIndex * 3 + 2] = 40;
    palette[markerIndex * 3] = spec.markerColour.red;
    palette[markerIndex * 3 + 1] = spec.markerColour.green;
    palette[markerIndex * 3 + 2] = spec.markerColour.blue;

    auto put = [&](int px, int py, uint8_t index, bool over) {
        uint8_t& p = pixels[static_cast<size_t>(py) * width + px];
        if (over || p == 0)
            p = index;
    };
    for (int v = 0; v < variants; ++v) {
        const int top = v * glyphRows + leading;
        for (const Placed& g : placed) {
            const std::array<uint8_t, 8> rows = rowsOf(g.c);
            const bool marker = g.c == kMarker && spec.markerArrow;
            const uint8_t ink = marker ? markerIndex : static_cast<uint8_t>(1 + v);
            for (int r = 0; r < 8; ++r)
                for (int col = g.first; col <= g.last; ++col) {
                    if (!(rows[r] & (0x80 >> col)))
                        continue;
                    for (int dy = 0; dy < s; ++dy)
                        for (int dx = 0; dx < s; ++dx) {
                            const int px = g.x + (col - g.first) * s + dx, py = top + r * s + dy;
                            put(px, py, ink, true);
                            if (spec.shadow)
                                put(px + 1, py + 1, shadowIndex, false);
                        }
                }
        }
    }
    return BuildPcx(width, height, pixels.data(), palette.data());
}

std::string SampleFontsSection() {
    return "\n[fonts]\n"
           "numfonts=10\n"
           "\n[font00]\nheight=8\nsize=1\nwidth=8\nfile=font8.fnt\n"
           "\n[font01]\nheight=8\nsize=1\npcx_font=1\npcx_colors=4\nextra_spacing=1\nfile=tags.pcx\n"
           "\n[font02]\nheight=8\nsize=1\npcx_font=2\npcx_numeric=1\nextra_spacing=1\nfile=digits.pcx\n"
           "\n[font03]\nheight=8\nsize=1\nwidth=6\nfile=font8.fnt\n"
           "\n[font04]\nheight=8\nsize=1\nwidth=7\nfile=font8.fnt\n"
           "\n[font05]\nheight=16\nsize=1\npcx_font=5\nextra_spacing=2\nfile=title.pcx\n"
           "\n[font06]\nheight=13\nsize=1\npcx_font=6\npcx_colors=4\nextra_spacing=1\nfile=menu.pcx\n"
           "\n[font07]\nheight=16\nsize=1\nwidth=9\nfile=font16.fnt\n"
           "\n[font08]\nheight=16\nsize=1\nwidth=8\nfile=font16.fnt\n"
           "\n[font09]\nheight=8\nsize=1\nwidth=8\nfile=font8.fnt\n";
}

std::vector<FontFile> SampleFontFiles() {
    PcxFontSpec tags;  // name tags: white, then the three teams' colours
    tags.variants = {{255, 255, 255}, {255, 96, 96}, {255, 232, 96}, {128, 150, 255}};
    tags.narrowDigits = true;  // the Tavern's place and level columns stand a few pixels apart
    PcxFontSpec digits;
    digits.numeric = true;
    digits.variants = {{255, 224, 120}};
    PcxFontSpec title;
    title.variants = {{240, 208, 112}};
    title.scale = 2;
    title.spaceWidth = 8;
    title.shadow = true;
    PcxFontSpec menu;  // gold, grey for unset, red, and the highlight
    menu.variants = {{236, 204, 100}, {150, 150, 150}, {224, 88, 64}, {128, 224, 255}};
    menu.shadow = true;
    // The Setup lists stack their items at the font's height, and show the selection by the
    // marker alone (their colours are palette pixels, past the four variants).
    menu.leading = 2;
    menu.markerArrow = true;
    menu.markerColour = {128, 224, 255};
    return {{"font8.fnt", BuildBitmapFont(8)},     {"font16.fnt", BuildBitmapFont(16)},
            {"tags.pcx", BuildPcxFont(tags)},      {"digits.pcx", BuildPcxFont(digits)},
            {"title.pcx", BuildPcxFont(title)},    {"menu.pcx", BuildPcxFont(menu)}};
}
