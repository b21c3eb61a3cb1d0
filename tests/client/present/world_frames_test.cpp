// Frames of the sample installation's world through the Direct3D renderer into the software
// device, headless, each level lit by its preburned lamps alone: in a room, through a portal,
// above 768 in the outside room, up through the open yard to the sky, a level built in blocks, fog,
// and wire-frame. Golden images, one 5-bit step of tolerance.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "client/core/error_log.h"
#include "client/core/level_defs.h"
#include "client/level/level_loader.h"
#include "client/present/camera_set.h"
#include "client/present/figure_lights.h"
#include "client/present/thin_walls.h"
#include "client/present/world_lighting.h"
#include "client/present/world_rooms.h"
#include "client/present/world_tables.h"
#include "engine/render/sg_d3d_render.h"
#include "tests/support/recording_present.h"
#include "tests/support/render/render_fixture.h"
#include "tests/support/temp_dir.h"
#include "tests/support/world_fixture.h"

namespace {

namespace fs = std::filesystem;

class WorldFramesTest : public RenderFrameTest {
protected:
    void SetUp() override {
        RenderFrameTest::SetUp();
        dir.Enter();
        const fs::path install = SAMPLE_INSTALL_DIR;
        for (const char* item : {"sample", "sample16", "hall", "textures", "sgfs", "pattern.dat", "monster.dat",
                                 "system.dat", "glow.bmp"})
            fs::copy(install / item, fs::path(dir.Path()) / item, fs::copy_options::recursive);
        present::CreateRenderer(window);
        present::CreateSceneRoot();
        present::CreateCameras();
        present::ResetCameraViewports();
    }
    void TearDown() override {
        worldtest::ReleaseTestWorld();
        present::ReleaseRendererSurfaces();
        present::DestroySceneAndRenderer();
        present::Cameras() = present::CameraSet{};
        RenderFrameTest::TearDown();
    }

    void Build(const char* level) {
        RecordingPresent recording;
        ASSERT_EQ(LoadGrid(level), 1);
        worldtest::BuildTestWorld(level, 0);
        // The world alone: the HUD's pictures are not in these levels' directories.
        present::ShowHud(0);
        present::SetWorldFog(0, 0, 0, 0, 0);
    }

    // The frame from a place (world units), facing 0..4095, the sky following as every frame of
    // play moves it; the frame is also kept for probes.
    void Expect(const char* name, int x, int y, int h, int facing, int tilt = 0) {
        present::PlaceFirstPersonCamera(x * 65536, y * 65536, h * 65536, facing, tilt);
        present::MoveSkyWithViewer(x * 65536, y * 65536, h * 65536);
        present::ClearViewFrame();
        present::RenderWorldView(0);
        auto* r = static_cast<SgD3DRender*>(present::Cameras().renderer.Get());
        shown = Frame(r);
        std::string message;
        EXPECT_TRUE(ddtest::MatchesGolden(PRESENT_GOLDEN_DIR, name, shown, 8, 40, &message)) << message;
        present::ShowViewFrame();
    }

    // The frame's centre pixel from a place (world units), facing 0..4095.
    uint32_t CentrePixel(int x, int y, int facing) {
        present::PlaceFirstPersonCamera(x * 65536, y * 65536, 64 * 65536, facing, 0);
        present::ClearViewFrame();
        present::RenderWorldView(0);
        auto* r = static_cast<SgD3DRender*>(present::Cameras().renderer.Get());
        const uint32_t pixel = Frame(r).At(400, 300);
        present::ShowViewFrame();
        return pixel;
    }

    TempDir dir;
    ddtest::Image shown;
};

TEST_F(WorldFramesTest, RoomsPortalsAndTheOutside) {
    Build("sample");
    ASSERT_EQ(present::World().portalMode, 1);
    Expect("frame_in_room", 1150, 1250, 48, 3072);
    Expect("frame_through_portal", 1500, 1250, 48, 0);
    Expect("frame_above_768", 1750, 1750, 900, 1024);
    present::SetWorldFog(400, 0, 90, 90, 110);
    Expect("frame_fog", 1500, 1250, 48, 0);
    present::SetWorldFog(0, 0, 0, 0, 0);
    present::SetWireframeMode(1);
    Expect("frame_wireframe", 1500, 1250, 48, 0);
    present::SetWireframeMode(0);
}

// The yard of room 2 has no ceiling: its portal leads to the outside room, where the sky dome hangs
// round the viewer. Looking up through it the dome's blue fills the opening.
TEST_F(WorldFramesTest, TheSkyShowsThroughTheOpenYard) {
    Build("sample");
    Expect("frame_sky_yard", 1120, 1760, 48, 0, -600);
    for (const auto& [x, y] : {std::pair{400, 60}, std::pair{300, 100}, std::pair{500, 100}}) {
        const uint32_t pixel = shown.At(x, y);
        const int r = (pixel >> 16) & 0xFF, g = (pixel >> 8) & 0xFF, b = pixel & 0xFF;
        EXPECT_GT(b, 180) << x << ", " << y;
        EXPECT_GT(b, r + 40) << x << ", " << y;
        EXPECT_GT(b, g) << x << ", " << y;
    }
}

TEST_F(WorldFramesTest, ThinWallsShowFromBothSides) {
    Build("sample");
    struct View {
        int x, y, facing;
    };
    // Across room 0 at y = 1150: seen looking +y from the south and -y from the north.
    const View views[2] = {{1000, 1050, 0}, {1000, 1250, 2048}};
    uint32_t without[2];
    for (int i = 0; i < 2; ++i)
        without[i] = CentrePixel(views[i].x, views[i].y, views[i].facing);
    // Lights on both sides colour its corners.
    present::PutPreburnLight(1000, 1100, 64, 300, 300, 255, 255, 255);
    present::PutPreburnLight(1000, 1200, 64, 300, 300, 255, 255, 255);
    const int thin = present::PlaceThinWalls(900, 1150, 0, 1100, 1150, 200, 3, 0, 0);
    ASSERT_GT(thin, 0);
    for (int i = 0; i < 2; ++i)
        EXPECT_NE(CentrePixel(views[i].x, views[i].y, views[i].facing), without[i]) << "side " << i;
}

TEST_F(WorldFramesTest, BlockMode) {
    Build("sample16");
    ASSERT_EQ(present::World().portalMode, 0);
    Expect("frame_blocks", 1500, 1250, 48, 0);
}

// The hall lit by its preburned lamps alone: tile height meshes and the opening into the lower
// room under the wall that rises from 256 to 640; the tower's roof seen from above.
TEST_F(WorldFramesTest, HallLitByItsLamps) {
    Build("hall");
    ASSERT_EQ(present::World().portalMode, 1);
    Expect("frame_hall_tiles", 700, 990, 100, 3072);
    Expect("frame_hall_roof", 800, 1000, 560, 3072 + 256, 300);
}

}  // namespace
