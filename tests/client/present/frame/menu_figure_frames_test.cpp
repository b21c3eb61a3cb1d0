// The figure preview of the character screen as the window shows it, frame after frame: the
// turning figure stands on its stage in every frame shown, never a frame of the 2D screen alone.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "client/screens/character_screen.h"
#include "client/screens/figure_stage.h"
#include "client/screens/character_state.h"
#include "tests/client/present/frame/sample_screen.h"
#include "tests/client/screens/menu_script.h"

namespace {

using namespace menu_places;

class MenuFigureFrames : public SampleScreen {
protected:
    void SetUp() override {
        SampleScreen::SetUp();
        g_localPlayer = &player;
    }
    void TearDown() override {
        g_localPlayer = nullptr;
        SampleScreen::TearDown();
    }
    // The stage's pixels that the window shows otherwise than the 2D screen has them: the figure
    // and its stand.
    int FigurePixels() const {
        const ddtest::Image shown = Front();
        const ddtest::Image screen = BackBufferImage();
        int differing = 0;
        for (int y = kFigureStage.top; y < kFigureStage.bottom; ++y)
            for (int x = kFigureStage.left; x < kFigureStage.right; ++x)
                if ((shown.At(x, y) & 0xF8F8F8) != (screen.At(x, y) & 0xF8F8F8))
                    ++differing;
        return differing;
    }
    // Ten looks at the window, a frame or more apart.
    void LookTenTimes(MenuScript& script, std::vector<int>& seen) {
        for (int i = 0; i < 10; ++i)
            script.Wait(4, [this, &seen] { seen.push_back(FigurePixels()); });
    }
    static void ExpectFigureInEvery(const std::vector<int>& seen) {
        ASSERT_EQ(seen.size(), 10u);
        for (size_t i = 0; i < seen.size(); ++i)
            EXPECT_GT(seen[i], 2000) << "look " << i;
    }
    LocalPlayer player{};
};

// A new character's looks page shows the figure the player is choosing.
TEST_F(MenuFigureFrames, TheNewCharacterLooksPageShowsTheFigureInEveryFrame) {
    g_playMode = g_linkState = 1;
    std::vector<int> seen;
    MenuScript script;
    script.Wait(10).Type("orla").Key(28).Wait(10);
    script.Click(200, 250).Click(RowX(0), RowY(0)).Wait(20);
    script.Do([] { ASSERT_EQ(g_characterScreen.page, 5); });
    LookTenTimes(script, seen);
    script.Click(RowX(1), RowY(1));
    EXPECT_EQ(CharacterCreation(player, 1), 0);
    ExpectFigureInEvery(seen);
}

// The sheet of a character, and its statistics tab, show the character's figure.
TEST_F(MenuFigureFrames, TheCharacterSheetAndItsStatisticsShowTheFigureInEveryFrame) {
    g_playMode = g_linkState = 1;
    std::vector<int> sheet, statistics;
    MenuScript script;
    script.Wait(10).Type("orla").Key(28).Wait(10);
    script.Click(200, 250).Click(RowX(0), RowY(0)).Wait(10).Click(RowX(0), RowY(0)).Wait(20);
    script.Do([] { ASSERT_EQ(g_characterScreen.page, 0); });
    LookTenTimes(script, sheet);
    script.Click(720, 36).Wait(20);
    script.Do([] { ASSERT_EQ(g_characterScreen.page, 1); });
    LookTenTimes(script, statistics);
    script.Click(RowX(2), RowY(2));
    EXPECT_EQ(CharacterCreation(player, 1), 0);
    ExpectFigureInEvery(sheet);
    ExpectFigureInEvery(statistics);
}

}  // namespace
