// Fonts: loading and its failures, the PCX column scan, text drawing in every style, widths and
// fitting, and the name tags.

#include "client/screens/fonts.h"

#include <gtest/gtest.h>

#include <cstring>

#include "client/core/config_file.h"
#include "client/screens/color_tables.h"
#include "tests/client/screens/screen_fixture.h"
#include "tools/writers/font_writer.h"
#include "tools/writers/pcx_writer.h"

namespace {

int C(char c) { return static_cast<unsigned char>(c); }

class FontsTest : public ScreenFixture {
protected:
    void SetUp() override {
        ScreenFixture::SetUp();
        StartScreen(false, true);
    }
    uint16_t* bb() { return g_screen.backBuffer; }
    void Clear() { std::fill_n(g_screen.backBuffer, kScreenPixels, 0); }
    // Columns of row y in [x0, x1) holding the pixel.
    std::vector<int> Columns(int y, int x0, int x1, uint16_t pixel) {
        std::vector<int> out;
        for (int x = x0; x < x1; ++x)
            if (At(x, y) == pixel)
                out.push_back(x);
        return out;
    }
    // The font's glyph rows of c.
    const uint8_t* Glyph(int font, int c) { return FontTable[font].glyphs.get() + c * FontTable[font].height; }
};

TEST_F(FontsTest, LoadsTheSampleFontsOfBothKinds) {
    EXPECT_EQ(FontTable[0].height, 8);
    EXPECT_NE(FontTable[0].glyphs, nullptr);
    EXPECT_EQ(FontTable[8].height, 16);
    EXPECT_EQ(FontTable[1].pcx_font, 1);
    EXPECT_EQ(FontTable[1].glyphs, nullptr);
    EXPECT_EQ(FontTable[1].height, 8);  // 32 rows of four variants
    EXPECT_EQ(FontTable[1].width, PcxFontImages[1].PcxWidth());
    // The space of a full PCX font: the blank columns before "!" less one.
    EXPECT_EQ(FontTable[1].start[C(' ')], 0);
    EXPECT_EQ(FontTable[1].end[C(' ')], FontTable[1].start[C('!')] - 1);
    EXPECT_EQ(FontTable[1].end[C(' ')], 4);
    // Characters 0..30 draw as "*"; 31 stays empty.
    EXPECT_EQ(FontTable[1].start[7], FontTable[1].start[C('*')]);
    EXPECT_EQ(FontTable[1].end[30], FontTable[1].end[C('*')]);
    EXPECT_EQ(FontTable[1].end[31] - FontTable[1].start[31], 0);
    // Every glyph of the full fonts is found whole, in order (a glyph split by an empty column
    // would shift every later character).
    for (int font : {1, 5, 6}) {
        const FontSlot& f = FontTable[font];
        for (int c = 33; c < 131; ++c) {
            ASSERT_GT(f.end[c], f.start[c]) << font << " " << c;
            ASSERT_LT(f.end[c], f.start[c + 1]) << font << " " << c;
        }
        EXPECT_EQ(f.end[131] + 3 - (font == 1 ? 1 : 0) >= PcxFontImages[f.pcx_font].PcxWidth(), true) << font;
    }
    // The digits font: everything else is "0".
    EXPECT_EQ(FontTable[2].pcx_numeric, 1);
    EXPECT_EQ(FontTable[2].start[C('A')], FontTable[2].start[C('0')]);
    EXPECT_GT(FontTable[2].start[C('9')], FontTable[2].start[C('8')]);
    EXPECT_EQ(FontTable[2].start[200], 0);
}

TEST_F(FontsTest, MeasuresPcxGlyphsColumnByColumn) {
    // A strip: blank column 0, "!" at 3..4 (so the space is 2 wide), then "\"" at 6, "#" at 8..10,
    // ending at the image's last column.
    const int w = 11, h = 4;
    std::vector<uint8_t> pixels(w * h, 0), palette(768, 255);
    for (int col : {3, 4, 6, 8, 9, 10})
        pixels[(col % 2) * w + col] = 1;
    auto bytes = BuildPcx(w, h, pixels.data(), palette.data());
    dir->Write("fonts/strip.pcx", std::string(bytes.begin(), bytes.end()));
    dir->Write("strip.dat", "[fonts]\nnumfonts=1\n[font00]\nheight=4\nsize=1\npcx_font=3\nfile=strip.pcx\n");
    ASSERT_EQ(LoadFonts("strip.dat", "fonts"), 1);
    const FontSlot& f = FontTable[0];
    EXPECT_EQ(f.start[C('!')], 3);
    EXPECT_EQ(f.end[C('!')], 5);
    EXPECT_EQ(f.start[C('"')], 6);
    EXPECT_EQ(f.end[C('"')], 7);
    EXPECT_EQ(f.start[C('#')], 8);
    EXPECT_EQ(f.end[C('#')], 11);  // the image ended: the scan stops here
    EXPECT_EQ(f.end[C('$')], 0);
    EXPECT_EQ(f.end[C(' ')], 2);
    EXPECT_EQ(f.height, 4);
    EXPECT_EQ(f.width, 11);
    // Drawing the glyph that reaches the image's end reads no column past it (ASan).
    DrawText(100, 100, 0, "#", 1, bb(), 0, 2);
}

TEST_F(FontsTest, LoadFontsSaysWhatIsMissing) {
    struct Case {
        const char* dat;
        const char* output;
        int result;
    };
    const Case cases[] = {
        {"[fonts]\n", "Error loading 'numfonts' from heading 'fonts' from file f.dat.\n", 0},
        {"[fonts]\nnumfonts=0\n", "", 1},
        {"[fonts]\nnumfonts=1\n[font00]\nsize=1\n", "Error loading 'height' from heading 'font00' from file f.dat.\n", 0},
        {"[fonts]\nnumfonts=1\n[font00]\nheight=8\n", "Error loading 'size' from heading 'font00' from file f.dat.\n", 0},
        {"[fonts]\nnumfonts=1\n[font00]\nheight=8\nsize=1\nfile=none.fnt\n", "\nLoad Font Failed! File=none.fnt\n", 0},
        {"[fonts]\nnumfonts=1\n[font00]\nheight=8\nsize=1\npcx_font=10\nfile=menu.pcx\n",
         "Error loading 'pcx_font' from heading 'font00' from file f.dat.\n", 0},
    };
    for (const Case& c : cases) {
        dir->Write("f.dat", c.dat);
        GetConfigString(nullptr, nullptr, nullptr, nullptr, 0, nullptr, 0);
        testing::internal::CaptureStdout();
        EXPECT_EQ(LoadFonts("f.dat", "fonts"), c.result) << c.dat;
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.output) << c.dat;
    }
    // A short font file reads as blank glyphs past its end; more than 20 fonts stop at 20.
    dir->Write("fonts/short.fnt", std::string(10, '\xFF'));
    std::string dat = "[fonts]\nnumfonts=25\n";
    for (int i = 0; i < 25; ++i)
        dat += "[font" + std::string(i < 10 ? "0" : "") + std::to_string(i) + "]\nheight=8\nsize=1\nfile=short.fnt\n";
    dir->Write("f.dat", dat);
    GetConfigString(nullptr, nullptr, nullptr, nullptr, 0, nullptr, 0);
    EXPECT_EQ(LoadFonts("f.dat", "fonts"), 1);
    EXPECT_EQ(FontTable[19].glyphs[9], 0xFF);
    EXPECT_EQ(FontTable[19].glyphs[10], 0);
}

// Each metric at both ends of its range loads; one past either end is refused with its key named,
// and the fonts before it stay.
TEST_F(FontsTest, LoadFontsRefusesMetricsOutsideTheirRanges) {
    struct Range {
        const char* key;
        long long low, high;
    } ranges[] = {{"height", 1, 64},         {"size", 1, 2},       {"width", 1, 32},
                  {"extra_spacing", -16, 16}, {"pcx_colors", 0, 16}, {"pcx_font", 0, 9}};
    const auto load = [&](const std::string& key, long long value) {
        std::string font = key == "pcx_font" && value > 0 ? "pcx_colors=4\nfile=menu.pcx\n" : "file=font8.fnt\n";
        if (key != "height")
            font += "height=8\n";
        if (key != "size")
            font += "size=1\n";
        const std::string line = key + "=" + std::to_string(value) + "\n";
        const std::string first = "[fonts]\nnumfonts=2\n[font00]\nheight=16\nsize=1\nfile=font16.fnt\n";
        dir->Write("f.dat", first + "[font01]\n" + line + font);
        GetConfigString(nullptr, nullptr, nullptr, nullptr, 0, nullptr, 0);
        FontTable[0].height = FontTable[1].height = 0;
        testing::internal::CaptureStdout();
        const int result = LoadFonts("f.dat", "fonts");
        return std::make_pair(result, testing::internal::GetCapturedStdout());
    };
    for (const Range& r : ranges) {
        for (long long good : {r.low, r.high}) {
            const auto [result, output] = load(r.key, good);
            EXPECT_EQ(result, 1) << r.key << "=" << good << ": " << output;
        }
        const std::string refusal =
            std::string("Error loading '") + r.key + "' from heading 'font01' from file f.dat.\n";
        for (long long bad : {r.low - 1, r.high + 1, -2000000000LL, 1000000000LL}) {
            const auto [result, output] = load(r.key, bad);
            EXPECT_EQ(result, 0) << r.key << "=" << bad;
            EXPECT_EQ(output, refusal) << r.key << "=" << bad;
            EXPECT_EQ(FontTable[0].height, 16) << "the font before it stays";
            EXPECT_EQ(FontTable[1].height, 0) << r.key << "=" << bad;
        }
    }
}

TEST_F(FontsTest, NarrowLettersAndFontWidthsMoveTheFollowingCharacters) {
    // Font 3 has width 6: each character 2 pixels closer, and each of i, I, j, l one more.
    Clear();
    DrawText(100, 100, 0xFFFF, "lil", 1, bb(), 3, 2);
    // The "l" glyph's left column of ink, then where each copy of it lands.
    int inkCol = 0;
    while (!(Glyph(3, 'l')[0] & (0x80 >> inkCol)))
        ++inkCol;
    EXPECT_EQ(At(100 + inkCol, 100), 0xFFFF);
    // Third letter: 2 x 8 - 2 x 2 (width 6) - 2 (after "l" and "i") = 10.
    EXPECT_EQ(At(110 + inkCol, 100), 0xFFFF);
    EXPECT_EQ(At(112 + inkCol, 100), 0);
    struct Case {
        int font, second;  // where the second character starts
    };
    const Case cases[] = {{0, 8}, {3, 6}, {4, 7}, {9, 8}, {8, 8}, {7, 9}};
    for (const Case& c : cases) {
        Clear();
        DrawText(0, 0, 0xFFFF, "MM", 0, bb(), c.font, 2);
        // Style 0 writes the whole cell: the second "M" starts with its first ink column.
        EXPECT_EQ(At(c.second, 1), 0xFFFF) << "font " << c.font;
    }
}

TEST_F(FontsTest, ColourIsAPaletteIndexUnlessFlaggedAsAPixel) {
    Clear();
    DrawText(0, 0, 0xFFFF, "I", 1, bb(), 0, 2);
    EXPECT_EQ(Columns(0, 0, 8, 0xFFFF).size(), 3u);  // "I" is three wide at the top
    Clear();
    DrawText(0, 0, 0xFFFF, "I", 1, bb(), 0, 0);  // index 255 of the table: grey 255
    EXPECT_EQ(Columns(0, 0, 8, MakePixel16(255, 255, 255)).size(), 3u);
    Clear();
    DrawText(0, 0, 40, "I", 1, bb(), 0, 0);
    EXPECT_EQ(Columns(0, 0, 8, MakePixel16(40, 40, 40)).size(), 3u);
    // Bad font numbers and empty strings draw nothing.
    Clear();
    DrawText(0, 0, 40, "I", 1, bb(), 20, 0);
    DrawText(0, 0, 40, "I", 1, bb(), -1, 0);
    DrawText(0, 0, 40, "", 1, bb(), 0, 0);
    EXPECT_TRUE(Columns(0, 0, 800, 0).size() == 800u);
}

TEST_F(FontsTest, TheUnderlineSitsUnderFontOneAndARowLowerUnderOthers) {
    dir->Write("u.dat",
               "[fonts]\nnumfonts=3\n[font00]\nheight=8\nsize=1\nfile=font8.fnt\n"
               "[font01]\nheight=8\nsize=2\nfile=font8.fnt\n"
               "[font02]\nheight=8\nsize=1\nwidth=10\nfile=font8.fnt\n");
    GetConfigString(nullptr, nullptr, nullptr, nullptr, 0, nullptr, 0);
    ASSERT_EQ(LoadFonts("u.dat", "fonts"), 1);
    struct Case {
        int font, row, length;
    };
    const Case cases[] = {{0, 109, 8}, {1, 108, 16}};
    for (const Case& c : cases) {
        Clear();
        DrawText(100, 100, 0xF800, ".", 1, bb(), c.font, 3);
        std::vector<int> expected;
        for (int x = 100; x < 100 + c.length; ++x)
            expected.push_back(x);
        EXPECT_EQ(Columns(c.row, 90, 130, 0xF800), expected) << "font " << c.font;
    }
    // Size 2 doubles the advance as well as the glyph; width 10 adds two pixels a character.
    for (const auto& [font, second] : {std::pair{1, 16}, std::pair{2, 10}}) {
        Clear();
        DrawText(0, 0, 0xFFFF, "MM", 0, bb(), font, 2);
        EXPECT_EQ(At(second, 1), 0xFFFF) << "font " << font;
    }
}

TEST_F(FontsTest, PcxGlyphsAtTheRightEdgeAreSkippedButThePenMoves) {
    const FontSlot& f = FontTable[6];
    const int w = f.end[C('A')] - f.start[C('A')];
    Clear();
    DrawText(800 - w - 1, 10, 0, "AB", 1, bb(), 6, 2);
    for (int y = 0; y < 30; ++y)
        for (int x = 700; x < 800; ++x)
            ASSERT_EQ(At(x, y), 0);
    Clear();
    DrawText(800 - w - 2, 10, 0, "A", 1, bb(), 6, 2);
    int ink = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 700; x < 800; ++x)
            ink += At(x, y) != 0;
    EXPECT_GT(ink, 0);
    // Off the left and top edges: clipped, no write before the buffer (ASan).
    DrawText(-30, -5, 0, "ABCDEFG", 1, bb(), 6, 2);
    DrawText(-30, -5, 0, "ABCDEFG", 3, bb(), 0, 2);
    DrawText(795, 596, 0, "ABCDEFG", 5, bb(), 8, 3);
}

TEST_F(FontsTest, WidthsAndFitting) {
    EXPECT_EQ(TextWidth("abc", 0), 24);
    EXPECT_EQ(TextWidth("abc", 3), 18);
    const FontSlot& f = FontTable[6];
    EXPECT_EQ(TextWidth("AB", 6), f.end[C('A')] - f.start[C('A')] + f.end[C('B')] - f.start[C('B')] + 2 * f.extraSpacing);
    char text[] = "Wanderer";
    EXPECT_EQ(FitTextToWidth(text, 0, 64), 8);
    EXPECT_STREQ(text, "Wanderer");
    EXPECT_EQ(FitTextToWidth(text, 0, 63), 7);
    EXPECT_STREQ(text, "Wandere");
    EXPECT_EQ(FitTextToWidth(text, 0, 0), 0);
}

void ExpectGolden(ScreenFixture* fixture, const std::string& goldenDir, const std::string& name,
                  const ddtest::Image& image) {
    (void)fixture;
    std::string message;
    EXPECT_TRUE(ddtest::MatchesGolden(goldenDir, name, image, 0, 0, &message)) << message;
}

// Every font in every style, underlined, in each colour variant.
void DrawFontSheet(uint16_t* bb) {
    const char* sample = "The quick brown fox: 0123456789 jl!?";
    int y = 4;
    for (int font = 0; font < 10; ++font) {
        const int styles = FontTable[font].pcx_font ? 1 : 7;
        for (int style = 0; style < styles; ++style) {
            DrawText(4 + style * 2, y, 0xFFE0, sample, style, bb, font, 2);
            y += FontTable[font].height + 4;
        }
        DrawText(420, y - 12, 0x07FF, "underlined", 1, bb, font, 3);
        for (int v = 0; v < FontTable[font].pcx_colors && FontTable[font].pcx_font; ++v)
            DrawText(420 + v * 90, y - 28, v, "Variant", 1, bb, font, 2);
        if (y > 560)
            break;
    }
}

TEST_F(FontsTest, EveryFontAndStyleMatchesItsGolden565) {
    Clear();
    DrawFontSheet(bb());
    ExpectGolden(this, goldenDir, "fonts_565", BackBufferImage());
}

class Fonts555Test : public ScreenFixture {};

TEST_F(Fonts555Test, EveryFontAndStyleMatchesItsGolden555) {
    StartScreen(true, true);
    std::fill_n(g_screen.backBuffer, kScreenPixels, 0);
    DrawFontSheet(g_screen.backBuffer);
    ExpectGolden(this, goldenDir, "fonts_555", BackBufferImage());
}

TEST_F(FontsTest, NameTagsCarryTheNameIconsAndBar) {
    // Tag 0 is reserved at start-up, as the game does with "First".
    EXPECT_EQ(AllocNameTag("First", 0), 0);
    const int tag = AllocNameTag("Wanderer of the north", 1);
    EXPECT_EQ(tag, 1);
    // Cut to 8 characters: "Wanderer".
    std::vector<uint8_t> expected(kNameTagBytes);
    RenderNameTag(1, "Wanderer", expected.data(), -1);
    EXPECT_EQ(std::memcmp(expected.data(), NameTagTable.images[tag], kNameTagBytes), 0);

    const uint8_t red = InverseColourTable[MakePixel16(128, 0, 0)];
    struct Case {
        int flags;
        int barPixels;
    };
    const Case cases[] = {{0, 0}, {15, 30}, {7, 14}, {-1, -1}};
    for (const Case& c : cases) {
        SetNameTag(tag, "Ann", 1, c.flags);
        const uint8_t* image = NameTagTable.images[tag];
        if (c.flags == -1) {
            EXPECT_EQ(image[11 * 64 + 16], 0);
            continue;
        }
        EXPECT_EQ(image[11 * 64 + 16], red);
        EXPECT_EQ(image[13 * 64 + 47], red);
        EXPECT_EQ(image[13 * 64 + 48], 0);
        EXPECT_EQ(image[12 * 64 + 47], red);
        int bar = 0;
        for (int x = 16; x < 47; ++x)
            bar += image[12 * 64 + x] == red;
        EXPECT_EQ(bar, std::max(c.barPixels, 1)) << c.flags;  // column 16 is the frame
    }
    SetNameTag(tag, "Ann", 2, 16 | 128);
    ddtest::Image image;
    image.width = 64;
    image.height = 16;
    for (int i = 0; i < kNameTagBytes; ++i)
        image.pixels.push_back(0xFF000000u | NameTagTable.images[tag][i] * 0x010101u);
    ExpectGolden(this, goldenDir, "nametag_icons", image);

    EXPECT_EQ(SetNameTag(64, "x", 0, 0), 0);
    EXPECT_EQ(SetNameTag(-1, "x", 0, 0), 0);
    FreeNameTag(64);
    // A full table answers 0 and touches no tag.
    for (int i = 2; i < kNameTagCount; ++i)
        ASSERT_EQ(AllocNameTag("x", 0), i);
    std::vector<uint8_t> before(&NameTagTable.images[0][0], &NameTagTable.images[0][0] + sizeof(NameTagTable.images));
    EXPECT_EQ(AllocNameTag("Late", 0), 0);
    EXPECT_EQ(std::memcmp(before.data(), NameTagTable.images, before.size()), 0);
    FreeNameTag(5);
    EXPECT_EQ(AllocNameTag("Again", 0), 5);
}

}  // namespace
