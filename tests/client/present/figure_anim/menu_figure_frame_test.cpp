// One preview frame of the sample's scene through the Direct3D renderer into the software device:
// the lit stage and a figure on its stand, as a golden image.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "client/present/camera_set.h"
#include "client/present/engine_files.h"
#include "client/present/figure_loader.h"
#include "client/present/figure_textures.h"
#include "client/present/lod_select.h"
#include "client/present/menu_figure.h"
#include "client/present/world_tables.h"
#include "engine/core/sg_file.h"
#include "engine/geometry/sg_tri_shape.h"
#include "engine/render/sg_d3d_render.h"
#include "platform/fs/fs.h"
#include "tests/client/present/figure_anim/skeleton_fixture.h"
#include "tests/support/render/render_fixture.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace present;
using namespace figure_test;

class MenuFigureFrameTest : public RenderFrameTest {
protected:
    void SetUp() override {
        RenderFrameTest::SetUp();
        dir.Enter();
        std::filesystem::create_directories(dir.File("sgfs"));
        std::filesystem::copy_file(std::string(SAMPLE_INSTALL_DIR) + "/sgfs/main.sgf", dir.File("sgfs/main.sgf"));
        present::CreateRenderer(window);
        present::CreateSceneRoot();
        present::CreateCameras();
        present::ResetCameraViewports();
        ClearFigureTables();
    }
    void TearDown() override {
        DestroyMenuFigureScene();
        MenuFigure() = MenuFigureScene{};
        ClearFigureTables();
        SgSetFileOpener(nullptr);
        present::ReleaseRendererSurfaces();
        present::DestroySceneAndRenderer();
        Cameras() = CameraSet{};
        World() = WorldTables{};
        SetForcedLodLevel(0);
        RenderFrameTest::TearDown();
    }

    TempDir dir;
};

// A figure template of one upright coloured triangle facing -y, as figures face; the stand first
// turns a figure's front to the camera.
void PutTriangleTemplate(int n) {
    SgRef<SgNode> holder(new SgNode);
    const SgVec3 v[3] = {{-30, 0, 5}, {30, 0, 5}, {0, 0, 60}};
    const uint16_t idx[3] = {0, 1, 2};
    const SgRgba colors[3] = {{1, 0, 0, 1}, {0, 1, 0, 1}, {0, 0, 1, 1}};
    holder->InsertChild(new SgTriShape(3, v, nullptr, 1, idx, nullptr, colors), false);
    Figures().templates[n] = holder;
}

TEST_F(MenuFigureFrameTest, StageAndFigureInTheSoftwareDevice) {
    ASSERT_EQ(LoadMenuFigure("sgfs/main.sgf"), 1);
    ASSERT_EQ(ActivateMenuFigureScene(), 1);
    PutTriangleTemplate(150);
    CreateMenuFigure(150, 0, 0, 0);
    present::ClearViewFrame();
    AnimateMenuFigure(0);
    auto* r = static_cast<SgD3DRender*>(Cameras().renderer.Get());
    std::string message;
    EXPECT_TRUE(ddtest::MatchesGolden(FIGURE_GOLDEN_DIR, "menu_figure_frame", Frame(r), 8, 40, &message))
        << message;
    DrawMenuFigureScene();
}

// The sample's player figure in each body colour: the skinned body shows its texture (red, yellow
// or blue) under the preview's doubled material and soft light, not a washed-out white.
TEST_F(MenuFigureFrameTest, TheSampleFigureWearsItsBodyColour) {
    std::filesystem::copy(std::string(SAMPLE_INSTALL_DIR) + "/figures", dir.File("figures"),
                          std::filesystem::copy_options::recursive);
    // As the game does: its file names ("figures\\f1body1r.bmp") open through the platform.
    present::InstallGameFileOpener();
    ASSERT_EQ(LoadModelTemplates("figures", 200), 1);
    LoadFigureTextures();
    ASSERT_EQ(LoadMenuFigure("sgfs/main.sgf"), 1);
    ASSERT_EQ(ActivateMenuFigureScene(), 1);
    auto* r = static_cast<SgD3DRender*>(Cameras().renderer.Get());
    struct Case {
        int colour;
        const char* name;
        bool red, green, blue;  // the channels that are strong
    };
    for (const Case& c : {Case{1, "red", true, false, false}, Case{2, "yellow", true, true, false},
                          Case{3, "blue", false, false, true}}) {
        CreateMenuFigure(201, 0, 0, c.colour);
        present::ClearViewFrame();
        AnimateMenuFigure(0);
        const ddtest::Image frame = Frame(r);
        DrawMenuFigureScene();
        // Points on the chest, clear of the belt, in the middle of the menu's stage frame.
        for (int y : {400, 425}) {
            const uint32_t p = frame.At(310, y);
            const int channels[3] = {static_cast<int>(p >> 16 & 255), static_cast<int>(p >> 8 & 255),
                                     static_cast<int>(p & 255)};
            const bool strong[3] = {c.red, c.green, c.blue};
            int weakest = 255, strongest = 0;
            for (int k = 0; k < 3; ++k) {
                if (strong[k])
                    weakest = std::min(weakest, channels[k]);
                else
                    strongest = std::max(strongest, channels[k]);
            }
            EXPECT_GT(weakest, 2 * strongest) << c.name << " at y " << y << ": " << std::hex << p;
        }
    }
    FreeFigureResources();
}

}  // namespace
