// The sample installation's preview scene (what the preview takes of it and its dump) and the
// dump its figure definitions ask for.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "client/present/camera_set.h"
#include "client/present/figure_loader.h"
#include "client/present/lod_select.h"
#include "client/present/menu_figure.h"
#include "client/present/world_tables.h"
#include "tests/client/present/figure_anim/skeleton_fixture.h"
#include "tests/support/recording_render.h"
#include "tests/support/temp_dir.h"
#include "tests/support/world_fixture.h"

namespace {

using namespace present;

std::string Masked(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return std::regex_replace(s.str(), std::regex("\\{[0-9a-f]+\\}"), "{*}");
}

TEST(SamplePreviewTest, MainSceneFrustumAndDump) {
    TempDir dir;
    dir.Enter();
    std::filesystem::create_directories(dir.File("sgfs"));
    std::filesystem::copy_file(std::string(SAMPLE_INSTALL_DIR) + "/sgfs/main.sgf", dir.File("sgfs/main.sgf"));
    SgRef<RecordingRender> recording(new RecordingRender);
    worldtest::StartDisplayOver(recording.Get());
    ASSERT_EQ(LoadMenuFigure("sgfs/main.sgf"), 1);
    MenuFigureScene& m = MenuFigure();
    ASSERT_TRUE(m.holder && m.view);
    EXPECT_STREQ(m.holder->ChildAt(0)->GetName(), "Menu Scene");
    // Three quarters of the stored height: the view keeps the proportions of the menu's frame.
    EXPECT_FLOAT_EQ(m.view->frustum.top / m.view->frustum.right, 250.0f / 220.0f);
    EXPECT_FLOAT_EQ(m.view->frustum.bottom, -m.view->frustum.top);
    EXPECT_FLOAT_EQ(m.view->frustum.nearDistance, 1.0f);
    EXPECT_FLOAT_EQ(m.view->frustum.farDistance, 4000.0f);
    const std::string golden = std::string(FIGURE_GOLDEN_DIR) + "/main.log";
    const std::string log = Masked("main.log");
    if (std::getenv("QUORRIN_UPDATE_GOLDEN"))
        std::ofstream(golden) << log;
    else
        EXPECT_EQ(log, Masked(golden));

    DestroyMenuFigureScene();
    MenuFigure() = MenuFigureScene{};
    present::DestroySceneAndRenderer();
    Cameras() = CameraSet{};
    World() = WorldTables{};
    SetForcedLodLevel(0);
}

// figures.dat prints type 2's figure into anim2.log as it loads it.
TEST(SamplePreviewTest, FigureDefinitionsPrintTheirDump) {
    TempDir dir;
    dir.Enter();
    std::filesystem::copy(std::string(SAMPLE_INSTALL_DIR) + "/figures", dir.File("figures"),
                          std::filesystem::copy_options::recursive);
    ASSERT_EQ(LoadModelTemplates("figures", 200), 1);
    const std::string golden = std::string(FIGURE_GOLDEN_DIR) + "/anim2.log";
    const std::string log = Masked("anim2.log");
    EXPECT_NE(log.find("[figures/f2.sgf]"), std::string::npos);
    if (std::getenv("QUORRIN_UPDATE_GOLDEN"))
        std::ofstream(golden) << log;
    else
        EXPECT_EQ(log, Masked(golden));
    FreeFigureResources();
}

}  // namespace
