// Frames of a two-room world through a recording renderer: from each room, the other room's quads
// through the portal (clipped by the portal's edge planes), and its own.
// The whole call log of each frame is a golden (QUORRIN_UPDATE_GOLDEN=1 rewrites it).

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "client/present/camera_set.h"
#include "client/present/world_create.h"
#include "client/present/world_rooms.h"
#include "client/present/world_tables.h"
#include "tests/client/present/cell_grid.h"
#include "tests/support/recording_render.h"
#include "tests/support/temp_dir.h"
#include "tests/support/world_fixture.h"

namespace {

using namespace celltest;
namespace fs = std::filesystem;

class TwoRoomsFrameTest : public testing::Test {
protected:
    void SetUp() override {
        dir.Enter();
        FillTextureSlots({1, 2, 3, 4, 5, 6});
        render = SgRef<RecordingRender>(new RecordingRender);
        worldtest::StartDisplayOver(render.Get());
        auto defs = std::make_unique<present::RoomPortalDefs>();
        defs->portalsOn = 1;
        defs->rooms[0] = present::RoomDef{1, 2, 2, 0, 3, 3, 256};  // cells 2..3 x 2..3
        defs->rooms[1] = present::RoomDef{1, 4, 2, 0, 5, 3, 256};  // cells 4..5 x 2..3
        // Along y at x = 4 cells, both rows, floor to ceiling.
        defs->portals[0] = present::PortalDef{1, 256, 128, 0, 256, 256, 256, 0, 1, 1};
        present::BuildWorldRooms(*defs, grid.Layers(), dir.Path().c_str());
        present::CreateViewerLight();
    }
    void TearDown() override {
        present::ResetHudAndFigures();
        present::DestroySceneAndRenderer();
        present::Cameras() = present::CameraSet{};
        render = nullptr;
    }

    // The frame from (x, y) at height 64 (world units), facing 0..4095.
    std::vector<std::string> FrameFrom(int x, int y, int facing) {
        present::SelectActiveCamera(2);
        present::PlaceFirstPersonCamera(x * 65536, y * 65536, 64 * 65536, facing, 0);
        render->Clear();
        present::RenderWorldView(0);
        return render->Log();
    }

    static void ExpectGolden(const std::string& name, const std::vector<std::string>& log) {
        // Material ids count every material the process made: they are left out.
        std::string text;
        for (const std::string& line : log)
            text += std::regex_replace(line, std::regex("material#[0-9]+"), "material") + "\n";
        const fs::path golden = fs::path(PRESENT_GOLDEN_DIR) / name;
        const char* update = std::getenv("QUORRIN_UPDATE_GOLDEN");
        if (update && std::string(update) == "1") {
            std::ofstream(golden, std::ios::binary) << text;
            return;
        }
        std::ifstream in(golden, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        EXPECT_EQ(text, s.str()) << name;
    }

    static size_t Count(const std::vector<std::string>& log, const std::string& prefix) {
        size_t n = 0;
        for (const std::string& line : log)
            n += line.rfind(prefix, 0) == 0;
        return n;
    }

    TempDir dir;
    CellGrid grid;
    SgRef<RecordingRender> render;
};

TEST_F(TwoRoomsFrameTest, EachRoomSeesTheOtherThroughThePortal) {
    // From room 0 looking +x at the portal, then from room 1 looking -x.
    const std::vector<std::string> fromFirst = FrameFrom(160, 192, 3072);
    const std::vector<std::string> fromSecond = FrameFrom(352, 192, 1024);
    ExpectGolden("two_rooms_from_room0.txt", fromFirst);
    ExpectGolden("two_rooms_from_room1.txt", fromSecond);
    // Each room's floor is one 2 x 2 quad: its bound is centred in its room (x 1.92 or 3.2).
    // From each room, the other room's floor through the portal first, then its own.
    auto drawsAt = [](const std::vector<std::string>& log, const std::string& centre) {
        return Count(log, "DrawTriShape(2, 4, array, array, array, 1, array, array, array, bound(" + centre);
    };
    EXPECT_EQ(drawsAt(fromFirst, "3.2, 1.92, 0;"), 1u);
    EXPECT_EQ(drawsAt(fromFirst, "1.92, 1.92, 0;"), 1u);
    EXPECT_EQ(drawsAt(fromSecond, "1.92, 1.92, 0;"), 1u);
    EXPECT_EQ(drawsAt(fromSecond, "3.2, 1.92, 0;"), 1u);
    EXPECT_EQ(Count(fromFirst, "BeginFrame"), 1u);
    EXPECT_EQ(Count(fromFirst, "PresentFrame"), 0u);
}

}  // namespace
