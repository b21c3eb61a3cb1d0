#include "client/screens/rotating_image.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "client/core/game_clock.h"
#include "client/screens/color_tables.h"
#include "client/screens/fonts.h"
#include "client/screens/menu_list.h"
#include "tests/client/screens/screen_fixture.h"
#include "tools/writers/pcx_writer.h"

namespace {

constexpr int kFrameWidth = 6, kHeight = 2;

// The frames side by side: frame f is blank but for its own width of 2 + f % 3 columns from its
// second column, whose pixels are f * 8 + column + 1 on the top row and 255 - f * 8 - column
// below.
std::vector<uint8_t> Strip(int frames) {
    const int w = frames * kFrameWidth;
    std::vector<uint8_t> pixels(static_cast<size_t>(w) * kHeight, 0);
    for (int f = 0; f < frames; ++f)
        for (int k = 0; k < 2 + f % 3; ++k) {
            const int x = f * kFrameWidth + 1 + k;
            pixels[x] = static_cast<uint8_t>(f * 8 + k + 1);
            pixels[w + x] = static_cast<uint8_t>(255 - f * 8 - k);
        }
    const std::vector<uint8_t> palette(768, 0);
    return BuildPcx(w, kHeight, pixels.data(), palette.data());
}

// A row (0 top, 1 bottom) of a frame as drawn into the 6 columns: blank outside its own width,
// centred.
std::vector<uint16_t> Drawn(int frame, bool mirrored, int r = 0) {
    const int own = 2 + frame % 3, from = (kFrameWidth - own) / 2;
    std::vector<uint16_t> row(kFrameWidth, 0);
    for (int k = 0; k < own; ++k)
        row[from + (mirrored ? own - 1 - k : k)] = static_cast<uint16_t>(r == 0 ? frame * 8 + k + 1 : 255 - frame * 8 - k);
    return row;
}

class RotatingImageTest : public ScreenFixture {
protected:
    void SetUp() override {
        ScreenFixture::SetUp();
        // Palette index i shows as the pixel i.
        for (int i = 0; i < 256; ++i)
            GetLightTable(0)->rows[kShadeRows - 1][i] = static_cast<uint32_t>(i);
    }
    void TearDown() override {
        FreeRotatingImage(image);
        ScreenFixture::TearDown();
    }
    int Load(int mode, int frames) {
        const std::vector<uint8_t> pcx = Strip(frames);
        dir->Write("turn.pcx", std::string(pcx.begin(), pcx.end()));
        return InitRotatingImage(image, "turn.pcx", mode, 0);
    }
    // Draws at (1, 1) of a 10 x 4 buffer; the top row of the 6 drawn columns.
    std::vector<uint16_t> Draw(uint32_t t, int* result = nullptr) {
        buffer.assign(40, 0xEEEE);
        const int r = DrawRotatingImage(image, t, buffer.data(), 10, 4, 1, 1);
        if (result)
            *result = r;
        return std::vector<uint16_t>(buffer.begin() + 11, buffer.begin() + 17);
    }
    RotatingImage image;
    std::vector<uint16_t> buffer;
};

TEST_F(RotatingImageTest, FramesKnowTheirOwnWidthAndFirstColumn) {
    ASSERT_EQ(Load(kRotatingAllRound, 32), 0);
    EXPECT_EQ(image.width, kFrameWidth);
    EXPECT_EQ(image.height, kHeight);
    for (int f : {0, 1, 2, 31}) {
        EXPECT_EQ(RotatingFrameWidth(image, f), 2 + f % 3) << f;
        EXPECT_EQ(RotatingFrameOffset(image, f), f * kFrameWidth + 1) << f;
    }
    EXPECT_EQ(RotatingFrameWidth(image, 32), 0);
    EXPECT_EQ(RotatingFrameWidth(image, -1), 0);
}

TEST_F(RotatingImageTest, TheClockChoosesTheFrameAndFiveViewsSwingAndMirror) {
    struct Case {
        int mode;
        uint32_t t;
        int frame;
        bool mirrored;
    } cases[] = {
        {kRotatingAllRound, 0, 0, false},
        {kRotatingAllRound, 5 * 200 + 199, 5, false},
        {kRotatingAllRound, 31 * 200, 31, false},
        {kRotatingAllRound, 6400 + 31 * 200, 31, false},  // a whole turn later: the same
        {kRotatingFiveViews, 0, 0, false},
        {kRotatingFiveViews, 4 * 100, 4, false},       // the swing's far end
        {kRotatingFiveViews, 5 * 100, 3, false},       // and back
        {kRotatingFiveViews, 7 * 100, 1, false},
        {kRotatingFiveViews, 2 * 800 + 400, 14, false},  // view 2, step 4
        {kRotatingFiveViews, 5 * 800 + 100, 16, true},   // direction 5: view 3 mirrored
        {kRotatingFiveViews, 7 * 800 + 700, 6, true},    // direction 7: view 1, step 1
        {kRotatingFiveViews, 6400 + 5 * 800 + 100, 16, true},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(Load(c.mode, c.mode == kRotatingAllRound ? 32 : 25), 0);
        EXPECT_EQ(Draw(c.t), Drawn(c.frame, c.mirrored)) << c.mode << " at " << c.t;
        // Each column runs down the screen: the second row is the same columns' second pixels.
        EXPECT_EQ(std::vector<uint16_t>(buffer.begin() + 21, buffer.begin() + 27), Drawn(c.frame, c.mirrored, 1))
            << c.mode << " at " << c.t;
    }
}

TEST_F(RotatingImageTest, ItSaysWhenTheFrameChangedAndStaysInsideItsTarget) {
    ASSERT_EQ(Load(kRotatingAllRound, 32), 0);
    int result = -1;
    Draw(0, &result);
    EXPECT_EQ(result, 1);
    Draw(199, &result);
    EXPECT_EQ(result, 0) << "the same frame again";
    Draw(200, &result);
    EXPECT_EQ(result, 1);
    // Hanging over every edge of a 10 x 4 target: only its inside is written.
    for (const auto& [x, y] : {std::pair{-3, -1}, {7, 3}, {-10, 0}}) {
        std::vector<uint16_t> target(40, 0xEEEE);
        DrawRotatingImage(image, 0, target.data(), 10, 4, x, y);
        for (int py = 0; py < 4; ++py)
            for (int px = 0; px < 10; ++px) {
                const bool inside = px >= x && px < x + kFrameWidth && py >= y && py < y + kHeight;
                if (!inside)
                    EXPECT_EQ(target[py * 10 + px], 0xEEEE) << x << "," << y << ": " << px << "," << py;
            }
    }
    // Another view mode draws nothing.
    image.viewMode = 3;
    EXPECT_EQ(Draw(0, &result), std::vector<uint16_t>(kFrameWidth, 0xEEEE));
    EXPECT_EQ(result, 0);
}

TEST_F(RotatingImageTest, APictureThatIsNotWholeFramesOrNotThereIsRefused) {
    const std::vector<uint8_t> pcx = BuildPcx(31, 2, std::vector<uint8_t>(62, 1).data(), std::vector<uint8_t>(768).data());
    dir->Write("odd.pcx", std::string(pcx.begin(), pcx.end()));
    EXPECT_EQ(InitRotatingImage(image, "odd.pcx", kRotatingAllRound, 0), -1);
    EXPECT_EQ(Draw(0), std::vector<uint16_t>(kFrameWidth, 0xEEEE));
    EXPECT_EQ(InitRotatingImage(image, "missing.pcx", kRotatingAllRound, 0), -1);
    ASSERT_EQ(Load(kRotatingFiveViews, 25), 0);
    EXPECT_EQ(Load(kRotatingAllRound, 25), -1) << "25 frames are not 32";
}

TEST_F(RotatingImageTest, AListBoxShowsTheTurningPictureBesideItsText) {
    StartScreen();
    for (int i = 0; i < 256; ++i)
        GetLightTable(0)->rows[kShadeRows - 1][i] = static_cast<uint32_t>(i);
    ASSERT_EQ(Load(kRotatingAllRound, 32), 0);
    MenuItem item;
    item.hasPictures = 1;
    item.options = {MenuOption{"Aa", 1, &image}, MenuOption{"Bb", 2, nullptr}};
    MenuList list = LoadMenuItems({item}, nullptr, "figures", 6, 0);
    EXPECT_EQ(list.items[0].width, TextWidth("Aa", 6) + kFrameWidth);
    GameClock = 3 * 200;
    EXPECT_EQ(DrawListBox(list, g_screen.backBuffer, 100, 100, 200, 100, 0, 4, 0, 0, 6, 0, -1), 1);
    // Beside the text: 5 + 8 x its length x the first font's character width; the selected
    // item's frame lies over the picture's edge, so its second row is compared inside it.
    const int px = 102 + 5 + 8 * 2 * FontTable[0].width, py = 102 + 1;
    const std::vector<uint16_t> row(g_screen.backBuffer + py * kScreenWidth + px + 1,
                                    g_screen.backBuffer + py * kScreenWidth + px + kFrameWidth);
    const std::vector<uint16_t> expected = Drawn(3, false, 1);
    EXPECT_EQ(row, std::vector<uint16_t>(expected.begin() + 1, expected.end()));
    EXPECT_EQ(DrawListBox(list, g_screen.backBuffer, 100, 100, 200, 100, 0, 4, 0, 0, 6, 0, -1), 0) << "the same frame";
}

}  // namespace
