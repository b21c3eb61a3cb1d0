// What the frame update draws into the 2D back buffer (the statistics and performance overlays
// by debug level) and the automap of the sample level.

#include <gtest/gtest.h>

#include <filesystem>

#include "client/arena/world_object.h"
#include "client/core/game_clock.h"
#include "client/core/level_defs.h"
#include "client/driver/arena_loop.h"
#include "client/level/level_loader.h"
#include "client/net/net_dispatch.h"
#include "client/net/net_rings.h"
#include "client/present/camera_set.h"
#include "client/present/frame_update.h"
#include "client/present/hud_panels.h"
#include "client/screens/chat_buffer.h"
#include "client/screens/color_tables.h"
#include "client/screens/overhead_map.h"
#include "tests/client/screens/screen_fixture.h"
#include "tests/support/recording_render.h"

namespace {

namespace fs = std::filesystem;

class FrameOverlayTest : public ScreenFixture {
protected:
    void SetUp() override {
        ScreenFixture::SetUp();
        goldenDir = PRESENT_HUD_GOLDEN_DIR;
        StartScreen();
    }
    void TearDown() override {
        g_debugLevel = 0;
        g_arenaLoop.frameRate = 0;
        LastLinkFigures = LinkFigures{};
        Ping = PingFigures{};
        present::Cameras() = present::CameraSet{};
        ScreenFixture::TearDown();
    }

    // The top left of the back buffer where both boxes lie.
    ddtest::Image Corner() const {
        const ddtest::Image all = BackBufferImage();
        ddtest::Image corner;
        corner.width = 140;
        corner.height = 136;
        for (int y = 0; y < corner.height; ++y)
            for (int x = 0; x < corner.width; ++x)
                corner.pixels.push_back(all.At(x, y));
        return corner;
    }
};

TEST_F(FrameOverlayTest, TheDebugLevelChoosesTheBoxes) {
    g_arenaLoop.frameRate = 57;
    LastLinkFigures = LinkFigures{1200, 345, 7};
    Ping.pingTime = 1234;  // 123 ms
    present::CameraSet& c = present::Cameras();
    c.trianglesDrawn = 4321;
    c.geometryDrawn = 77;
    c.verticesDrawn = 9876;
    present::FrameStatsValues[0] = 12345678;
    present::FrameStatsValues[1] = 999;
    present::FrameStatsValues[5] = 2000;
    const uint16_t grey = MakePixel16(40, 40, 40);
    const uint16_t frame = MakePixel16(100, 0, 0);
    for (int level : {0, 1, 2}) {
        std::fill_n(g_screen.backBuffer, kScreenPixels, grey);
        g_debugLevel = level;
        present::SgxUpdateFrame();
        // The statistics box from level 1, framed 63 x 31 inside its 64 x 32.
        EXPECT_EQ(At(69, 4) == frame, level >= 1) << level;
        EXPECT_EQ(At(69 + 62, 4 + 30) == frame, level >= 1) << level;
        EXPECT_EQ(At(69 + 63, 4 + 31) == grey, level < 1) << level;
        EXPECT_EQ(At(69 + 64, 4 + 32), grey) << level;
        // The performance box from level 2, framed all round.
        EXPECT_EQ(At(4, 4) == frame, level >= 2) << level;
        EXPECT_EQ(At(4 + 63, 4 + 127) == frame, level >= 2) << level;
        EXPECT_EQ(At(4 + 64, 4 + 128), grey) << level;
        EXPECT_EQ(At(3, 3), grey);
        std::string message;
        EXPECT_TRUE(ddtest::MatchesGolden(goldenDir, "overlays_level" + std::to_string(level), Corner(), 0, 0,
                                          &message))
            << message;
    }
}

// The link statistics panel copies the box the same frame drew, not the frame before's.
TEST_F(FrameOverlayTest, TheStatisticsPanelCopiesTheBoxOfItsOwnFrame) {
    RecordingImageFactory images;
    const present::HudPanelLayout& l = present::kHudPanelLayout[2];
    std::fill_n(g_screen.backBuffer, kScreenPixels, MakePixel16(40, 40, 40));
    ASSERT_EQ(present::CreateScreenPanel(2, g_screen.backBuffer + l.source.top * 800 + l.source.left, SystemPalette,
                                         InverseColourTable, l.source, l.screen, 800),
              1);
    g_debugLevel = 1;
    present::SetPanelRedrawFlag(2, 1);
    present::SgxUpdateFrame();
    // The box's frame starts at (69, 4), one pixel into the panel's source at (68, 4).
    const SgRawImageData* raw = present::HudPanels().panelImages[2]->RawData();
    EXPECT_EQ(raw->Row(0)[1], InverseColourTable[MakePixel16(100, 0, 0)]);
    EXPECT_EQ(raw->Row(0)[0], InverseColourTable[MakePixel16(40, 40, 40)]);
    present::DestroyScreenPanel(2);
    present::HudPanels() = present::HudPanelState{};
}

TEST_F(FrameOverlayTest, TheSampleLevelsAutomapMatchesItsGolden) {
    const fs::path install = SAMPLE_INSTALL_DIR;
    for (const char* item : {"sample", "textures", "pattern.dat", "monster.dat", "system.dat", "loadbar1.pcx",
                             "loadbar2.pcx", "loadbarb.pcx"})
        fs::copy(install / item, fs::path(dir->Path()) / item, fs::copy_options::recursive);
    ASSERT_EQ(LoadGrid("sample"), 1);
    DrawAutomap();
    std::string message;
    EXPECT_TRUE(ddtest::MatchesGolden(goldenDir, "automap_sample", MapBufferImage(), 0, 0, &message)) << message;
}

}  // namespace
