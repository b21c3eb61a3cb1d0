// portal.dat: key order, the first missing key ending a record, scaling of portal corners, the
// log lines, the section names by index, and the records that stay invalid (off the grid, inside
// out, counts past the tables).

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "client/core/config_file.h"
#include "client/core/error_log.h"
#include "client/present/portal_defs.h"
#include "tests/support/temp_dir.h"

namespace {

using present::LoadRoomsAndPortals;
using present::PortalDef;
using present::RoomDef;
using present::RoomPortalDefs;

class PortalDefsTest : public testing::Test {
protected:
    void SetUp() override {
        dir.Enter();
        ASSERT_TRUE(OpenErrorLog("error.log"));
        defs = std::make_unique<RoomPortalDefs>();
    }
    void TearDown() override {
        CloseErrorLog();
        GetConfigString(nullptr, nullptr, nullptr, nullptr, 0, nullptr, 0);
    }

    void Load(const std::string& text) {
        dir.Write("level/portal.dat", text);
        ASSERT_EQ(LoadRoomsAndPortals("level", defs.get()), 1);
    }
    // error.log after its first line.
    std::string Logged() const {
        std::string all = dir.Read("error.log");
        return all.substr(all.find('\n') + 1);
    }

    TempDir dir;
    std::unique_ptr<RoomPortalDefs> defs;
};

const char kSample[] =
    "[main]\n"
    "portals=ON\n"
    "overlap_rooms=Yes\n"
    "numrooms=4\n"
    "numportals=6\n"
    "[room00]\n"
    "minx=2\nmaxx=5\nminy=1\nmaxy=3\nminz=0\nmaxz=256\n"
    "[room01]\n"
    "minx=6\nmaxx=9\nminy=1\nmaxy=3\nminz=-64\n"
    "[room02]\n"
    "minx=0\nmaxx=128\nminy=0\nmaxy=4\nminz=0\nmaxz=64\n"
    "[room03]\n"
    "minx=9\nmaxx=8\nminy=0\nmaxy=4\nminz=0\nmaxz=64\n"
    "[portal00]\n"
    "x1=10\ny1=5\nz1=0\nroom1=0\nroom2=s\ndir=x\nz2=128\nlen=3\n"
    "[portal01]\n"
    "x1=2\ny1=4\nz1=256\nroom1=self\nroom2=1\ndir=Z\nx2=3\ny2=4\n"
    "[portal02]\n"
    "x1=6\ny1=1\nz1=0\nroom1=0\nroom2=1\ndir=y\nz2=128\nlen=2\n"
    "[portal03]\n"
    "x1=6\ny1=1\nz1=0\nroom1=0\nroom2=1\ndir=y\nz2=128\n"
    "[portal04]\n"
    "x1=126\ny1=1\nz1=0\nroom1=0\nroom2=1\ndir=x\nz2=128\nlen=3\n"
    "[portal05]\n"
    "x1=127\ny1=127\nz1=32\nroom1=0\nroom2=1\ndir=z\nx2=127\ny2=127\n";

TEST_F(PortalDefsTest, ReadsRoomsAndPortalsAndLogsEachMade) {
    Load(kSample);
    EXPECT_EQ(defs->portalsOn, 1);
    EXPECT_EQ(defs->overlapRooms, 1);

    struct RoomRow {
        int index;
        RoomDef expected;
    };
    const RoomRow rooms[] = {
        {0, {1, 2, 1, 0, 5, 3, 256}},
        // maxz missing: the bounds read before it stay, the room stays invalid.
        {1, {0, 6, 1, -64, 9, 3, 0}},
        // Off the grid, and inside out.
        {2, {0, 0, 0, 0, 128, 4, 64}},
        {3, {0, 9, 0, 0, 8, 4, 64}},
    };
    for (const RoomRow& r : rooms) {
        const RoomDef& d = defs->rooms[r.index];
        const RoomDef& e = r.expected;
        EXPECT_EQ(d.valid, e.valid) << r.index;
        EXPECT_EQ(d.minx, e.minx) << r.index;
        EXPECT_EQ(d.miny, e.miny) << r.index;
        EXPECT_EQ(d.minz, e.minz) << r.index;
        EXPECT_EQ(d.maxx, e.maxx) << r.index;
        EXPECT_EQ(d.maxy, e.maxy) << r.index;
        EXPECT_EQ(d.maxz, e.maxz) << r.index;
    }

    struct PortalRow {
        int index;
        PortalDef expected;
    };
    const PortalRow portals[] = {
        // Along x: the first end is the far one.
        {0, {1, 832, 320, 0, 640, 320, 128, 0, 65535, 0}},
        // Horizontal: the far corner cell is included, z2 is z1.
        {1, {1, 128, 256, 256, 256, 320, 256, 65535, 1, 2}},
        {2, {1, 384, 64, 0, 384, 192, 128, 0, 1, 1}},
        // len is required although it has a default.
        {3, {0, 6, 1, 0, 0, 0, 128, 0, 1, 1}},
        // Corners past the grid's edge.
        {4, {0, 126, 1, 0, 0, 0, 128, 0, 1, 0}},
        {5, {1, 8128, 8128, 32, 8192, 8192, 32, 0, 1, 2}},
    };
    for (const PortalRow& r : portals) {
        const PortalDef& d = defs->portals[r.index];
        const PortalDef& e = r.expected;
        EXPECT_EQ(d.valid, e.valid) << r.index;
        EXPECT_EQ(d.x1, e.x1) << r.index;
        EXPECT_EQ(d.y1, e.y1) << r.index;
        EXPECT_EQ(d.z1, e.z1) << r.index;
        EXPECT_EQ(d.x2, e.x2) << r.index;
        EXPECT_EQ(d.y2, e.y2) << r.index;
        EXPECT_EQ(d.z2, e.z2) << r.index;
        EXPECT_EQ(d.room1, e.room1) << r.index;
        EXPECT_EQ(d.room2, e.room2) << r.index;
        EXPECT_EQ(d.dir, e.dir) << r.index;
    }

    EXPECT_EQ(Logged(),
              "Loading 4 Rooms\n"
              "Room #0 Initialized.\n"
              "Loading 6 Portals\n"
              "Portal #0 (0->65535): 832,320 to 640,320\n"
              "Portal #1 (65535->1): 128,256 to 256,320\n"
              "Portal #2 (0->1): 384,64 to 384,192\n"
              "Portal #5 (0->1): 8128,8128 to 8192,8192\n");
}

TEST_F(PortalDefsTest, FlagsTakeOnlyTheirWords) {
    struct FlagCase {
        const char* portals;
        const char* overlap;
        int32_t portalsOn, overlapOn;
    };
    const FlagCase cases[] = {
        {"on", "y", 1, 1}, {"On", "no", 1, 0}, {"yes", "Y", 0, 1}, {"onward", "", 0, 0}, {"", "yes", 0, 1},
    };
    int n = 0;
    for (const FlagCase& c : cases) {
        *defs = RoomPortalDefs{};
        const std::string level = "flags" + std::to_string(n++);
        dir.Write(level + "/portal.dat",
                  std::string("[main]\nportals=") + c.portals + "\noverlap_rooms=" + c.overlap + "\n");
        LoadRoomsAndPortals(level.c_str(), defs.get());
        EXPECT_EQ(defs->portalsOn, c.portalsOn) << c.portals;
        EXPECT_EQ(defs->overlapRooms, c.overlapOn) << c.overlap;
    }
}

TEST_F(PortalDefsTest, ThreeDigitSectionsFromIndex100AndCountsKeptToTheTables) {
    std::string text = "[main]\nportals=on\nnumrooms=100000\nnumportals=-3\n";
    text += "[room99]\nminx=1\nmaxx=1\nminy=1\nmaxy=1\nminz=0\nmaxz=64\n";
    text += "[room100]\nminx=2\nmaxx=2\nminy=2\nmaxy=2\nminz=0\nmaxz=64\n";
    text += "[room511]\nminx=3\nmaxx=3\nminy=3\nmaxy=3\nminz=0\nmaxz=64\n";
    Load(text);
    EXPECT_EQ(defs->rooms[99].minx, 1);
    EXPECT_EQ(defs->rooms[100].minx, 2);
    EXPECT_EQ(defs->rooms[511].minx, 3);
    EXPECT_EQ(defs->rooms[511].valid, 1);
    EXPECT_EQ(defs->rooms[52].valid, 0);
    // Sections match by prefix: without a section of its own, room 10 reads [room100] and room 51
    // [room511] (written files list rooms in index order, so their own sections come first).
    EXPECT_EQ(defs->rooms[10].minx, 2);
    EXPECT_EQ(Logged(),
              "Loading 100000 Rooms\n"
              "Room #10 Initialized.\n"
              "Room #51 Initialized.\n"
              "Room #99 Initialized.\n"
              "Room #100 Initialized.\n"
              "Room #511 Initialized.\n"
              "Loading -3 Portals\n");
}

TEST_F(PortalDefsTest, AMissingFileReadsAsNothing) {
    ASSERT_EQ(LoadRoomsAndPortals("nowhere", defs.get()), 1);
    EXPECT_EQ(defs->portalsOn, 0);
    EXPECT_EQ(defs->overlapRooms, 0);
    EXPECT_EQ(defs->rooms[0].valid, 0);
    EXPECT_EQ(defs->portals[0].valid, 0);
    EXPECT_EQ(Logged(), "Loading 0 Rooms\nLoading 0 Portals\n");
}

}  // namespace
