// The hands overlay's masks and sequences, and leaving text input.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "client/driver/display_helpers.h"
#include "client/screens/input.h"
#include "tests/client/screens/screen_fixture.h"

namespace {

TEST(HandMasks, CountTransparentRowsFromTheTopAndOpaqueRowsFromTheBottom) {
    // 3 columns x 4 rows: column 0 empty, column 1 a hand from row 1 down, column 2 a gap above
    // an opaque bottom row.
    const uint16_t px[4 * 3] = {
        0, 0, 5,  //
        0, 7, 0,  //
        0, 7, 0,  //
        0, 7, 9,  //
    };
    std::vector<uint8_t> top, bottom;
    ASSERT_TRUE(BuildHandMasks(px, 3, 4, top, bottom));
    EXPECT_EQ(top, (std::vector<uint8_t>{255, 1, 0}));
    EXPECT_EQ(bottom, (std::vector<uint8_t>{0, 3, 1}));
}

TEST(HandMasks, FramesTooLargeForTheMasksAreRefused) {
    std::vector<uint16_t> px(641 * 255, 1);
    std::vector<uint8_t> top, bottom;
    const struct {
        int w, h;
        bool ok;
    } cases[] = {{640, 254, true}, {641, 10, false}, {10, 255, false}, {0, 10, false}, {10, 0, false}};
    for (const auto& c : cases)
        EXPECT_EQ(BuildHandMasks(px.data(), c.w, c.h, top, bottom), c.ok) << c.w << " x " << c.h;
    EXPECT_FALSE(BuildHandMasks(nullptr, 4, 4, top, bottom));
}

TEST(HandSequences, StartRestartPlayAndFrame) {
    InitHandOverlay(g_handOverlay);
    EXPECT_EQ(SetHandFrame(3), 0);
    EXPECT_EQ(RestartHandAnimation(), 0);
    EXPECT_EQ(StartHandSequence(2), 1);
    EXPECT_EQ(g_handOverlay.current, 2);
    EXPECT_EQ(g_handOverlay.changed, 1);
    // While one runs another does not start; playing one remembers it for later.
    EXPECT_EQ(StartHandSequence(4), 0);
    EXPECT_EQ(g_handOverlay.current, 2);
    EXPECT_EQ(PlayHandSequence(5), 1);
    EXPECT_EQ(g_handOverlay.current, 2);
    EXPECT_EQ(g_handOverlay.next, 5);
    g_handOverlay.frameCounter = 7;
    EXPECT_EQ(SetHandFrame(3), 1);
    EXPECT_EQ(g_handOverlay.frameCounter, 0);
    EXPECT_EQ(g_handOverlay.frameValue, 3);
    EXPECT_EQ(StartHandSequence(kHandSequences), 0);
    InitHandOverlay(g_handOverlay);
    EXPECT_EQ(PlayHandSequence(1), 1);
    EXPECT_EQ(g_handOverlay.current, 1);
    InitHandOverlay(g_handOverlay);
}

class HandOverlays : public ScreenFixture {
protected:
    void SetUp() override {
        ScreenFixture::SetUp();
        StartScreen();
        std::filesystem::copy(std::string(SAMPLE_INSTALL_DIR) + "/overlays", dir->File("overlays"));
    }
    void TearDown() override {
        InitHandOverlay(g_handOverlay);
        ScreenFixture::TearDown();
    }
};

TEST_F(HandOverlays, TheFourPicturesLoadWithTheirMasksAndRiseIntoView) {
    InitHandOverlay(g_handOverlay);
    g_handOverlay.current = 3;
    ASSERT_EQ(LoadHandOverlays(g_handOverlay), 4);
    EXPECT_EQ(g_handOverlay.current, -1) << "loading leaves no sequence running";
    for (int f = 0; f < 4; ++f) {
        const PcxImage& frame = g_handOverlay.frames[0][f];
        ASSERT_NE(frame.Pixels16(), nullptr) << f;
        EXPECT_EQ(g_handOverlay.topMasks[0][f].size(), static_cast<size_t>(frame.PcxWidth())) << f;
        // The sample hand rises from the bottom edge: its middle column is opaque at the bottom.
        EXPECT_GT(g_handOverlay.bottomMasks[0][f][frame.PcxWidth() / 2], 0) << f;
    }
    g_handOverlay.columnMarks[100] = 1;
    g_handOverlay.position = 50;
    ASSERT_EQ(StartHandSequence(0), 1);
    EXPECT_EQ(g_handOverlay.position, 1 - g_handOverlay.frames[0][0].PcxHeight());
    EXPECT_EQ(g_handOverlay.columnMarks[100], 0);
    EXPECT_EQ(g_handOverlay.frameCounter, 0);
}

TEST(TextInput, ClearingLeavesTheModeAndEmptiesTheLine) {
    SetKeyInputMode(1);
    g_typedLine.text[0] = 'x';
    g_typedLine.length = 1;
    g_keys.pressed[5] = 1;
    ClearTextInput();
    EXPECT_EQ(GetKeyInputMode(), 0);
    EXPECT_EQ(g_typedLine.length, 0);
    EXPECT_EQ(g_typedLine.text[0], '\0');
    EXPECT_EQ(g_keys.pressed[5], 0);
}

}  // namespace
