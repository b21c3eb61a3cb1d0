// The loading screen of a level load, drawn into the started 2D screen.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "client/arena/thin.h"
#include "client/arena/trigger.h"
#include "client/arena/world_object.h"
#include "client/core/error_log.h"
#include "client/level/level_loader.h"
#include "client/screens/level_art.h"
#include "tests/client/screens/screen_fixture.h"

namespace fs = std::filesystem;

namespace {

class LoadingScreen : public ScreenFixture {
protected:
    void SetUp() override {
        ScreenFixture::SetUp();
        StartScreen();
        const fs::path install = SAMPLE_INSTALL_DIR;
        for (const char* item : {"sample", "textures", "pattern.dat", "monster.dat", "system.dat", "loadbar1.pcx",
                                 "loadbar2.pcx", "loadbarb.pcx"})
            fs::copy(install / item, fs::path(dir->Path()) / item, fs::copy_options::recursive);
    }
    void TearDown() override {
        FreeLoadingBarArt();
        ClearWorldObjects();
        ClearThins();
        FreeTriggers();
        ScreenFixture::TearDown();
    }
};

TEST_F(LoadingScreen, ALoadPresentsTheBarAtEachStep) {
    NewPresent();
    ASSERT_EQ(LoadGrid("sample"), 1);
    // 0, 25, 50, 75 and 100: one whole screen each, then the world.
    EXPECT_EQ(present->Count("ShowViewFrame"), 5u);
    std::vector<std::string> names = present->Names();
    EXPECT_EQ(names.back(), "SgxCreateWorld");
    EXPECT_FALSE(g_screen.loadBar[0].loaded) << "the bar art is freed at the end";
    EXPECT_TRUE(g_screen.Screen(SCREEN_IMAGE_MAP).loaded);
    EXPECT_TRUE(g_screen.background.loaded);
}

// The bar's fill each time a frame is shown: the bar pictures are 200 x 20 at x 300..499, y
// 290..309, the full picture's colour from the left.
class BarWatch : public RecordingPresent {
public:
    explicit BarWatch(uint16_t fullColour) : full(fullColour) {}
    void ShowViewFrame() override {
        RecordingPresent::ShowViewFrame();
        auto at = [](int x) { return g_screen.backBuffer[300 * kScreenWidth + x]; };
        int end = 310;
        while (end < 500 && at(end) == full)
            ++end;
        percents.push_back(end == 310 ? 0 : (end - 300) / 2);
    }
    const uint16_t full;
    std::vector<int> percents;
};

TEST_F(LoadingScreen, ALoadFillsTheBarAQuarterAtATime) {
    LoadLoadingBarArt();
    DrawLoadingBar(100);
    const uint16_t full = At(350, 300);
    FreeLoadingBarArt();
    present.reset();
    auto watch = std::make_unique<BarWatch>(full);
    BarWatch* bar = watch.get();
    present = std::move(watch);
    ASSERT_EQ(LoadGrid("sample"), 1);
    EXPECT_EQ(bar->percents, (std::vector<int>{0, 25, 50, 75, 100}));
}

TEST_F(LoadingScreen, TheBarFillsToThePercent) {
    LoadLoadingBarArt();
    ASSERT_TRUE(g_screen.loadBar[0].loaded);
    DrawLoadingBar(50);
    // The bar pictures are 200 x 20 at the centre: x 300..499, y 290..309; the full picture's
    // colour up to 400, the empty one's after.
    const uint16_t full = At(350, 300), empty = At(450, 300);
    EXPECT_NE(full, empty);
    EXPECT_EQ(At(399, 300), full);
    EXPECT_EQ(At(400, 300), empty);
    EXPECT_EQ(At(10, 10), 0) << "the rest of the screen is cleared";
    bool text = false;
    for (int y = 230; y < 290 && !text; ++y)
        for (int x = 330; x < 470 && !text; ++x)
            text = At(x, y) != 0;
    EXPECT_TRUE(text) << "Loading... above the bar";
    if (const char* shot = std::getenv("LOADING_SCREENSHOT"))
        ddtest::WritePng(shot, BackBufferImage());
    DrawLoadingBar(100);
    EXPECT_EQ(At(450, 300), full);
}

TEST_F(LoadingScreen, WithoutTheArtASmallBarIsDrawn) {
    DrawLoadingBar(50);
    const uint16_t frame = At(680, 560), inner = At(700, 565), beyond = At(740, 565);
    EXPECT_NE(frame, 0);
    EXPECT_NE(inner, 0);
    EXPECT_EQ(beyond, 0);
}

}  // namespace
