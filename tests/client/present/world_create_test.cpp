// World creation through the level loader, headless on the virtual clock: the sample level's
// error.log (golden), the loading bar's steps, the grid models, fixtures, sky and static figures;
// the reset leaving no engine object behind, and the block-mode sample16 next. The level sgfs.dat
// limits, the thin end-swap rules with the door box, object maps and the crosshair.

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "client/arena/thin.h"
#include "client/arena/trigger.h"
#include "client/arena/world_object.h"
#include "client/core/error_log.h"
#include "client/level/level_loader.h"
#include "client/level/level_textures.h"
#include "client/present/camera_set.h"
#include "client/present/crosshair.h"
#include "client/present/figure_loader.h"
#include "client/present/figure_table.h"
#include "client/present/object_maps.h"
#include "client/present/room_extra.h"
#include "client/present/rooms.h"
#include "client/present/thin_walls.h"
#include "client/present/tiles.h"
#include "client/present/world_create.h"
#include "client/present/world_tables.h"
#include "client/screens/level_art.h"
#include "engine/core/sg_texture_property.h"
#include "engine/geometry/sg_tri_lists.h"
#include "engine/geometry/sg_tri_shape.h"
#include "platform/fs/fs.h"
#include "tests/client/present/text_golden.h"
#include "tests/client/screens/screen_fixture.h"
#include "tests/support/headless.h"
#include "tests/support/recording_render.h"
#include "tests/support/world_fixture.h"

namespace {

namespace fs = std::filesystem;

// The game's presentation for these tests: the screens recorded, world creation and the reset
// real. Each presented frame keeps the loading bar's middle row (x 300..499 at y 300).
class WorldPresent : public RecordingPresent {
public:
    std::vector<std::vector<uint16_t>> barRows;

    void SgxCreateWorld(const char* levelDir) override {
        RecordingPresent::SgxCreateWorld(levelDir);
        present::SgxCreateWorld(levelDir);
    }
    void ResetHudAndFigures() override {
        RecordingPresent::ResetHudAndFigures();
        present::ResetHudAndFigures();
    }
    void ShowViewFrame() override {
        if (g_screen.backBuffer)
            barRows.emplace_back(g_screen.backBuffer + 300 * kScreenWidth + 300,
                                 g_screen.backBuffer + 300 * kScreenWidth + 500);
        RecordingPresent::ShowViewFrame();
    }
    // The bar's percent in each presented frame, from the colour of a full bar.
    std::vector<int> BarPercents(uint16_t full) const {
        std::vector<int> out;
        for (const std::vector<uint16_t>& row : barRows) {
            int filled = 0;
            while (filled < 200 && row[filled] == full)
                ++filled;
            out.push_back(filled / 2);
        }
        return out;
    }
};

// Every triangle shape under the object, depth first.
void ForEachTriShape(SgObject* object, const std::function<void(SgTriShape*)>& visit) {
    if (auto* shape = SgKindCast<SgTriShape>(object))
        visit(shape);
    if (auto* node = SgKindCast<SgNode>(object))
        for (uint32_t i = 0; i < node->ChildCount(); ++i)
            ForEachTriShape(node->ChildAt(i), visit);
}

// error.log without the time-stamped lines of the level loader.
std::string PlainLines(const std::string& log) {
    static const std::regex stamped("^[0-9]+:(INFO|ERROR|WARNING): ");
    std::istringstream in(log);
    std::string line, out;
    while (std::getline(in, line))
        if (!std::regex_search(line, stamped))
            out += line + "\n";
    return out;
}

class WorldCreateTest : public ScreenFixture {
protected:
    void SetUp() override {
        ScreenFixture::SetUp();
        StartScreen();
        const fs::path install = SAMPLE_INSTALL_DIR;
        for (const char* item : {"sample", "sample16", "textures", "sgfs", "pattern.dat", "monster.dat", "system.dat",
                                 "glow.bmp", "loadbar1.pcx", "loadbar2.pcx", "loadbarb.pcx", "shadow.bmp", "cast.tga",
                                 "crsshair.bmp"})
            fs::copy(install / item, fs::path(dir->Path()) / item, fs::copy_options::recursive);
        auto* world = new WorldPresent;
        present.reset(world);
        this->world = world;
        OpenErrorLog("error.log");
        images = std::make_unique<RecordingImageFactory>();
        SgImage::FormatIfReadable(nullptr);  // makes the reader's shared buffer before the count
        render = SgRef<RecordingRender>(new RecordingRender);
        worldtest::StartDisplayOver(render.Get());
        present::LoadModelTemplates("sgfs", 0);
        before = SgObject::LiveCount();
    }
    void TearDown() override {
        present::FreeFigureResources();
        worldtest::StopDisplay();
        render = nullptr;
        images.reset();
        CloseErrorLog();
        ClearWorldObjects();
        ClearThins();
        FreeTriggers();
        FreeLoadingBarArt();
        ScreenFixture::TearDown();
    }

    std::string ErrorLog() const { return presenttest::ReadText(fs::path(dir->Path()) / "error.log"); }

    WorldPresent* world = nullptr;
    std::unique_ptr<RecordingImageFactory> images;
    SgRef<RecordingRender> render;
    uint32_t before = 0;
};

TEST_F(WorldCreateTest, TheSampleLevelThroughTheLevelLoader) {
    present::ViewMode = 7;
    ASSERT_EQ(LoadGrid("sample"), 1);
    presenttest::ExpectGolden("sample_create_world.log", PlainLines(ErrorLog()));

    // The loader's five steps, then world creation's six.
    LoadLoadingBarArt();
    DrawLoadingBar(100);
    const uint16_t full = world->barRows.back()[0];
    world->barRows.pop_back();
    EXPECT_EQ(world->BarPercents(full), (std::vector<int>{0, 25, 50, 75, 100, 0, 20, 40, 50, 80, 90}));

    EXPECT_TRUE(present::IsSceneActive());
    EXPECT_EQ(present::ViewMode, 0);
    for (int n : {401, 402, 403, present::kSkyDomeTemplate})
        EXPECT_NE(present::TemplateNode(n), nullptr) << n;
    EXPECT_EQ(present::TemplateNode(404), nullptr);
    // The water's own picture and its four frames.
    SgTextureProperty* water = present::FindTextureProperty(present::TemplateNode(403));
    ASSERT_NE(water, nullptr);
    EXPECT_EQ(water->ImageCount(), 5u);

    struct Expected {
        int fixture, scale, flip, rate, light;
        bool placed;
    } const fixtures[] = {
        {0, 150, 1, 50, 0, true},  {1, 80, 0, 100, 300, true},  {2, 80, 0, 100, 0, true},
        {3, 80, 0, 100, 0, true},  {4, 0, 0, 0, 0, false},      {5, 100, 0, 100, 0, false},
        {10, 100, 0, 100, 400, true}, {11, 100, 0, 100, 0, true}, {12, 100, 0, 100, 0, true},
    };
    for (const Expected& e : fixtures) {
        const present::GridFixture& f = present::GridFixtureTable[e.fixture];
        SCOPED_TRACE(e.fixture);
        EXPECT_EQ(f.figure != 0, e.placed);
        EXPECT_EQ(f.scale, e.scale);
        EXPECT_EQ(f.flip, e.flip);
        EXPECT_EQ(f.timerRate, e.rate);
        if (e.placed)
            EXPECT_EQ(f.light, e.light);
        SgFigureExtraData* data = present::FigureData(f.figure);
        EXPECT_EQ(data && data->light, e.light != 0);
    }
    // The shrine and earthnode fixtures show pictures that their colours tint: a shape without one
    // takes the colour flat, and a neutral node's white turns it into a plain white blot. The crate
    // (template 10) shows its boards from beside sgfs\crate.sgf: a plain brown box lit white.
    struct Textured {
        SgObject* node;
        int shapes;
    } const textured[] = {
        {present::FigureNode(present::GridFixtureTable[1].figure), 2},
        {present::FigureNode(present::GridFixtureTable[2].figure), 2},
        {present::FigureNode(present::GridFixtureTable[3].figure), 2},
        {present::FigureNode(present::GridFixtureTable[10].figure), 2},
        {present::FigureNode(present::GridFixtureTable[11].figure), 2},
        {present::FigureNode(present::GridFixtureTable[12].figure), 2},
        {present::TemplateNode(10), 1},
    };
    for (const Textured& t : textured) {
        SCOPED_TRACE(&t - textured);
        int shapes = 0;
        ForEachTriShape(t.node, [&](SgTriShape* shape) {
            ++shapes;
            SgTextureProperty* texture = present::FindTextureProperty(shape);
            ASSERT_NE(texture, nullptr) << shape->GetName();
            ASSERT_NE(texture->CurrentImage(), nullptr) << shape->GetName();
            const char* file = texture->CurrentImage()->FileName();
            EXPECT_TRUE(file && platform::GameFileExists(file)) << shape->GetName() << " " << (file ? file : "");
        });
        EXPECT_EQ(shapes, t.shapes);
    }
    // The chaos shrine's fixture took its colours: its light reddened and half as bright again.
    SgLight* chaos = present::FigureData(present::GridFixtureTable[10].figure)->light;
    ASSERT_NE(chaos, nullptr);
    EXPECT_NEAR(chaos->diffuse.g, 48.0f / 255.0f, 1e-5f);
    EXPECT_NEAR(chaos->dimmer, 6.0f, 1e-5f);
    // Placed from world units: the pool's water stands over cell (13, 23).
    SgNode* pool = present::FigureNode(present::GridFixtureTable[0].figure);
    ASSERT_NE(pool, nullptr);
    EXPECT_NEAR(pool->localTranslation.x, 8.64f, 1e-4f);
    EXPECT_NEAR(pool->localTranslation.y, 15.04f, 1e-4f);

    ASSERT_NE(present::ObjectMap(1), nullptr);
    EXPECT_STREQ(present::ObjectMap(1)->GetName(), "shadow.bmp");
    EXPECT_STREQ(present::ObjectMap(2)->GetName(), "cast.tga");

    // The static objects with a model got figures; the one without none.
    int figures = 0;
    for (int slot = 1; slot < WorldObjectHighWater; ++slot) {
        const WorldObject& o = WorldObjectTable[slot];
        if (!o.active)
            continue;
        EXPECT_EQ(o.figure != 0, o.imagenum != 0 && !o.no_figure) << slot;
        figures += o.figure != 0;
    }
    EXPECT_GT(figures, 0);

    present::ResetHudAndFigures();
    EXPECT_FALSE(present::IsSceneActive());
    for (int n : {401, 402, 403, present::kSkyDomeTemplate})
        EXPECT_EQ(present::TemplateNode(n), nullptr) << n;
    EXPECT_EQ(present::ObjectMap(1), nullptr);
    EXPECT_EQ(SgObject::LiveCount(), before);

    // The next level, built in blocks, and taken apart again.
    ASSERT_EQ(LoadGrid("sample16"), 1);
    EXPECT_EQ(present::World().portalMode, 0);
    EXPECT_NE(present::GridFixtureTable[10].figure, 0);
    present::ResetHudAndFigures();
    EXPECT_EQ(SgObject::LiveCount(), before);
}

TEST_F(WorldCreateTest, DoorBoxThinsFaceTheWayTheirLeaderSwings) {
    ASSERT_EQ(LoadGrid("sample"), 1);
    // The swing door (slot 3) and its box sides (4, 5, 6), swing step negative: the door and its
    // first side as stored, the other two swapped and mirrored.
    ASSERT_EQ(ThinTable[3].group[0], 3);
    ASSERT_LT(ThinTable[3].swing_step, 0);
    const int swapped[] = {0, 0, 0, 0, 0, 1, 1};
    for (int slot = 1; slot <= 6; ++slot) {
        const Thin& t = ThinTable[slot];
        SCOPED_TRACE(slot);
        EXPECT_EQ(present::ThinEndsSwapped(slot), swapped[slot]);
        SgTriStrip* model = present::ThinModels().models[t.model].Get();
        ASSERT_NE(model, nullptr);
        const int firstX = swapped[slot] ? t.x2 : t.x1, firstY = swapped[slot] ? t.y2 : t.y1;
        EXPECT_NEAR(model->Vertices()[0].x, firstX * 0.01f, 1e-3f);
        EXPECT_NEAR(model->Vertices()[0].y, firstY * 0.01f, 1e-3f);
    }
}

TEST_F(WorldCreateTest, CrosshairMovesIntoTheRoomHoldingItsPoint) {
    ASSERT_EQ(LoadGrid("sample"), 1);
    ASSERT_EQ(present::CreateCrosshair(2), 1);
    SgBillboardNode* node = present::CrosshairParts().node.Get();
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->Parent(), nullptr);
    auto objectNode = [](int room) { return present::RoomDataOf(present::World().roomTable[room].Get())->objectNode; };
    // In room 1, then through its portal into the corridor (room 100) past it.
    present::PlaceCrosshair(0, 1600 * 65536, 800 * 65536, 100 * 65536);
    EXPECT_EQ(node->Parent(), objectNode(1));
    present::PlaceCrosshair(1, 2048 * 65536, 800 * 65536, 100 * 65536);
    EXPECT_EQ(node->Parent(), objectNode(100));
    EXPECT_NEAR(node->localTranslation.x, 20.48f, 1e-4f);
    EXPECT_NEAR(node->localTranslation.z, -1.0f, 1e-4f);
    EXPECT_EQ(node->RefCount(), 2u) << "held by the crosshair and its room only";
}

}  // namespace

namespace {

// On the virtual clock, a bare arena world (a root under the scene root, no rooms) in a fresh directory with the sample
// level's shrine model and the installation's object maps and crosshair picture.
class WorldPiecesTest : public HeadlessTest {
protected:
    void SetUp() override {
        HeadlessTest::SetUp();
        dir.Enter();
        const fs::path install = SAMPLE_INSTALL_DIR;
        fs::create_directories(fs::path(dir.Path()) / "lvl" / "sgfs");
        fs::copy(install / "sample" / "sgfs" / "shrine.sgf", fs::path(dir.Path()) / "lvl" / "sgfs" / "shrine.sgf");
        for (const char* item : {"shadow.bmp", "cast.tga", "crsshair.bmp"})
            fs::copy(install / item, fs::path(dir.Path()) / item);
        OpenErrorLog("error.log");
        images = std::make_unique<RecordingImageFactory>();
        SgImage::FormatIfReadable(nullptr);
        before = SgObject::LiveCount();
        render = SgRef<RecordingRender>(new RecordingRender);
        worldtest::StartDisplayOver(render.Get());
        present::WorldTables& w = present::World();
        w.worldRoot = SgRef<SgNode>(new SgNode);
        present::Cameras().sceneRoot->InsertChild(w.worldRoot.Get(), true);
        w.sceneActive = 1;
    }
    void TearDown() override {
        worldtest::StopDisplay();
        render = nullptr;
        EXPECT_EQ(SgObject::LiveCount(), before);
        images.reset();
        CloseErrorLog();
        std::memset(ThinTable, 0, sizeof ThinTable);
        ThinCount = 0;
        HeadlessTest::TearDown();
    }

    std::string ErrorLog() const { return presenttest::ReadText(fs::path(dir.Path()) / "error.log"); }
    bool Logged(const std::string& line) const { return ErrorLog().find(line) != std::string::npos; }

    TempDir dir;
    std::unique_ptr<RecordingImageFactory> images;
    SgRef<RecordingRender> render;
    uint32_t before = 0;
};

TEST_F(WorldPiecesTest, LevelSgfsDatIsHeldToItsTables) {
    dir.Write("lvl/sgfs/sgfs.dat",
              "[sgfdefs]\nnumsgfs=150\nnumfixtures=80\n"
              "[sgf401]\nfilename=shrine.sgf\nscale=50\nflip=1\n"
              "[sgf402]\nfilename=missing.sgf\n"
              "[sgf499]\nfilename=shrine.sgf\n"
              "[sgf500]\nfilename=shrine.sgf\n"
              "[fixture00]\nsgf=401\nx=100\ny=200\nz=-8\nlight=250\n"
              "[fixture01]\nsgf=600\nx=100\ny=200\n"
              "[fixture02]\nsgf=-2\nx=100\ny=200\n"
              "[fixture03]\nsgf=401\nx=9000\ny=200\n"
              "[fixture04]\nsgf=401\nx=100\ny=-5\n"
              "[fixture05]\nsgf=401\nx=100\ny=200\nz=40000\n"
              "[fixture06]\nsgf=450\nx=100\ny=200\n"
              "[fixture07]\nsgf=401\nx=8191\ny=1\ntimer_rate=0\n"
              "[fixture08]\nsgf=0\nx=100\ny=200\n"
              "[fixture49]\nsgf=499\nx=300\ny=300\n"
              "[fixture50]\nsgf=401\nx=300\ny=300\n");
    present::GridFixtureTable[6].figure = 77;  // a figure number left from the last level
    ASSERT_EQ(present::SgxLoadGridSGFS("lvl"), 1);

    EXPECT_TRUE(Logged("Loading 99 Grid Sgfs from [lvl/sgfs/sgfs.dat]\n"));
    EXPECT_TRUE(Logged("Loading Grid SGF #499 (lvl/sgfs/shrine.sgf)\n"));
    EXPECT_FALSE(Logged("#500"));
    EXPECT_TRUE(Logged("Error Loading SGF #402 (lvl/sgfs/missing.sgf)!\n"));
    EXPECT_TRUE(Logged("Loading 50 Grid Fixtures\n"));
    EXPECT_FALSE(Logged("sgf=600")) << "a model number past the table is no fixture";
    EXPECT_FALSE(Logged("sgf=-2"));
    EXPECT_FALSE(Logged("sgf=0"));
    EXPECT_FALSE(Logged("Grid Fixture #50"));

    struct Case {
        int fixture;
        bool placed;
    } const cases[] = {{0, true}, {1, false}, {2, false}, {3, false}, {4, false}, {5, false},
                       {6, false}, {7, true}, {8, false}, {49, true}};
    for (const Case& c : cases)
        EXPECT_EQ(present::GridFixtureTable[c.fixture].figure != 0, c.placed) << c.fixture;
    const present::GridFixture& f = present::GridFixtureTable[0];
    EXPECT_EQ(f.scale, 50);
    EXPECT_EQ(f.flip, 1);
    EXPECT_EQ(f.timerRate, 100);
    EXPECT_EQ(f.light, 250);
    EXPECT_EQ(present::GridFixtureTable[7].timerRate, 0);
    EXPECT_TRUE(Logged("Attempting to Create Grid Fixture #0 sgf=401\nAttempting to Place at 100,200,-8 scale=50 "
                       "flip=1\nGrid Fixture #0 ["));
    EXPECT_TRUE(Logged("Attempting to Place at 9000,200,0 scale=50 flip=1\n"));
    SgNode* node = present::FigureNode(f.figure);
    ASSERT_NE(node, nullptr);
    EXPECT_NEAR(node->localTranslation.x, 1.0f, 1e-5f);
    EXPECT_NEAR(node->localTranslation.y, 2.0f, 1e-5f);
    EXPECT_NEAR(node->localTranslation.z, 0.08f, 1e-5f);
    EXPECT_NEAR(present::FigureData(f.figure)->model->localScale, 0.5f, 1e-6f);
    ASSERT_NE(present::FigureData(f.figure)->light, nullptr);
    EXPECT_NEAR(present::FigureData(f.figure)->light->range, 2.5f, 1e-5f);
}

TEST_F(WorldPiecesTest, TextureNamesAreLowerCasedWithTheirFirstPcxTurnedToBmp) {
    fs::copy(fs::path(dir.Path()) / "shadow.bmp", fs::path(dir.Path()) / "lvl" / "floor.bmp");
    ClearTextureTable();
    g_textures.images.resize(2);
    g_textures.images[0].path = "lvl/textures/Floor.PCX";
    g_textures.images[1].path = "lvl/textures/PcxPcx.pcx";
    const int slots[3] = {3, 4, 5};
    for (int k = 0; k < 3; ++k) {
        g_textures.entries[slots[k]].used = k < 2;
        g_textures.entries[slots[k]].frames[0] = k % 2;
    }
    ASSERT_EQ(present::SgxLoadTexturemaps("lvl", 0), 1);
    EXPECT_TRUE(Logged("Loading texture #0 (floor.bmp) from lvl\nTexture #0 (floor.bmp) Loaded\n"
                       "Loading texture #1 (bmppcx.pcx) from lvl\n"
                       "Sgx Error! Could Not Load texture #1 (bmppcx.pcx) from lvl\n"
                       "Time to SgxLoadTexturemaps: 0 msecs\n"));
    EXPECT_NE(present::TextureMap(3), nullptr);
    EXPECT_EQ(present::TextureMap(4), nullptr) << "a failed texture leaves its slot empty";
    EXPECT_EQ(present::TextureMap(5), nullptr);
    ClearTextureTable();
}

TEST_F(WorldPiecesTest, NoSgfsDatMeansNoGridModels) {
    ASSERT_EQ(present::SgxLoadGridSGFS("lvl"), 1);
    EXPECT_TRUE(Logged("Loading 0 Grid Sgfs from [lvl/sgfs/sgfs.dat]\nLoading 0 Grid Fixtures\n"
                       "Time to SgxLoadGridSGFS: 0 msecs\n"));
}

TEST(ThinEndsTest, FirstGroupLinkAndItsLeaderDecide) {
    struct Case {
        int link;       // thin 5's first group link
        int direction;  // thin 9's group direction
        int links[4];   // thin 9's group links
        int swapped;
    } const cases[] = {
        {0, -1024, {5, 0, 0, 0}, 0},     // no group
        {9, -1024, {5, 1, 2, 3}, 0},     // negative, first link
        {9, -1024, {1, 5, 2, 3}, 0},     // negative, second link
        {9, -1024, {1, 2, 5, 3}, 1},     // negative, third link
        {9, 1024, {1, 2, 5, 3}, 0},      // positive, third link
        {9, 1024, {1, 2, 3, 5}, 0},      // positive, fourth link
        {9, 1024, {5, 1, 2, 3}, 1},      // positive, first link
        {9, 0, {5, 1, 2, 3}, 1},         // no direction
        {9, 1024, {1, 2, 3, 4}, 1},      // not among the links
        {600, -1024, {5, 0, 0, 0}, 0},   // a link past the table is none
        {-3, -1024, {5, 0, 0, 0}, 0},
    };
    for (const Case& c : cases) {
        std::memset(ThinTable, 0, sizeof ThinTable);
        ThinTable[5].group[0] = c.link;
        ThinTable[9].swing_step = c.direction;
        std::memcpy(ThinTable[9].group, c.links, sizeof c.links);
        EXPECT_EQ(present::ThinEndsSwapped(5), c.swapped) << c.link << " " << c.direction << " " << c.links[0];
    }
    std::memset(ThinTable, 0, sizeof ThinTable);
}

TEST_F(WorldPiecesTest, PlacedThinsKeepTheirModelAndSwappedOnesAreMirrored) {
    auto thin = [](int slot, int link) {
        Thin& t = ThinTable[slot];
        t.active = 1;
        t.x1 = 100;
        t.y1 = 200;
        t.x2 = 300;
        t.y2 = 200;
        t.base_z = 10;
        t.height = 50;
        t.group[0] = link;
    };
    thin(1, 0);
    thin(2, 1);  // thin 1 has no direction: swapped
    ThinTable[3].active = 0;
    ThinCount = 4;
    ASSERT_EQ(present::SgxPlaceThins(), 1);
    ASSERT_NE(ThinTable[1].model, 0);
    ASSERT_NE(ThinTable[2].model, 0);
    EXPECT_EQ(ThinTable[3].model, 0);
    const SgVec3* plain = present::ThinModels().models[ThinTable[1].model]->Vertices();
    const SgVec3* swapped = present::ThinModels().models[ThinTable[2].model]->Vertices();
    EXPECT_NEAR(plain[0].x, 1.0f, 1e-5f);
    EXPECT_NEAR(swapped[0].x, 3.0f, 1e-5f);
    EXPECT_NEAR(swapped[2].z, -0.6f, 1e-5f) << "top = base + height";
    // Placing again replaces the models instead of adding walls.
    const int first = ThinTable[1].model;
    ASSERT_EQ(present::SgxPlaceThins(), 1);
    EXPECT_EQ(ThinTable[1].model, first);
    int models = 0;
    for (int i = 1; i < present::kThinModels; ++i)
        models += present::ThinModels().holders[i] != nullptr;
    EXPECT_EQ(models, 2);
}

TEST_F(WorldPiecesTest, ObjectMapsLoadByNameAndEmptyOnFailure) {
    ASSERT_EQ(present::SgxLoadObjectmaps(), 1);
    ASSERT_NE(present::ObjectMap(1), nullptr);
    EXPECT_STREQ(present::ObjectMap(1)->GetName(), "shadow.bmp");
    EXPECT_STREQ(present::ObjectMap(2)->GetName(), "cast.tga");
    EXPECT_TRUE(Logged("Time to SgxLoadObjectmaps: 0 msecs\n"));
    // A failed load empties the slot it replaces.
    EXPECT_EQ(present::LoadObjectMap(1, "nothing.bmp"), 0);
    EXPECT_EQ(present::ObjectMap(1), nullptr);
    for (int slot : {-1, present::kObjectMapSlots}) {
        EXPECT_EQ(present::LoadObjectMap(slot, "shadow.bmp"), 0);
        EXPECT_EQ(present::ObjectMap(slot), nullptr);
    }
    EXPECT_EQ(present::LoadObjectMap(249, "shadow.bmp"), 1);
}

TEST_F(WorldPiecesTest, RemovingAnObjectMapNodeDetachesItsLights) {
    present::ObjectMaps& t = present::ObjectMapTable();
    SgRef<SgNode> node(new SgNode);
    SgRef<SgNode> lit(new SgNode);
    SgRef<SgLight> light(new SgLight);
    node->InsertChild(light.Get(), true);
    node->InsertChild(lit.Get(), true);
    lit->AddLight(light.Get());
    present::World().worldRoot->InsertChild(node.Get(), true);
    t.nodes[499] = node;
    t.models[499] = lit;
    for (int object : {-1, 500, 0, 7})
        present::RemoveObjectMapNode(object);
    EXPECT_EQ(node->Parent(), present::World().worldRoot.Get()) << "other numbers leave it";
    present::RemoveObjectMapNode(499);
    EXPECT_EQ(node->Parent(), nullptr);
    for (uint32_t i = 0; i < node->ChildCount(); ++i)
        EXPECT_NE(node->ChildAt(i), light.Get()) << "the light is taken out";
    EXPECT_EQ(lit->Lights().Count(), 0u);
    EXPECT_EQ(t.nodes[499], nullptr);
    EXPECT_EQ(t.models[499], nullptr);
}

TEST_F(WorldPiecesTest, CrosshairColoursByTeam) {
    // Vertex colours and the material disagree for teams 1 and 2.
    struct Case {
        int team;
        SgRgb vertex, material;
    } const cases[] = {
        {0, {1, 1, 1}, {1, 1, 1}},
        {1, {1, 0, 0}, {1, 1, 0}},
        {2, {1, 1, 0}, {1, 0, 0}},
        {3, {0, 0, 1}, {0, 0, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.team);
        ASSERT_EQ(present::CreateCrosshair(c.team), 1);
        SgBillboardNode* node = present::CrosshairParts().node.Get();
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(node->mode, SgBillboardNode::kTurnAboutY);
        auto* strip = SgKindCast<SgTriStrip>(node->ChildAt(0));
        ASSERT_NE(strip, nullptr);
        ASSERT_EQ(strip->VertexCount(), 4);
        for (int v = 0; v < 4; ++v) {
            const SgRgba& colour = strip->Colors()[v];
            EXPECT_EQ(SgRgb(colour.r, colour.g, colour.b), c.vertex);
            EXPECT_EQ(colour.a, 1.0f);
        }
        EXPECT_NEAR(strip->Vertices()[3].x, 0.04f, 1e-6f);
        EXPECT_NEAR(strip->Vertices()[3].y, 0.08f, 1e-6f);
        EXPECT_NEAR(strip->TextureSet(0)[1].x, 0.25f, 1e-6f) << "the left quarter of the picture";
        auto* material = static_cast<SgMaterialProperty*>(node->FindPropertyOfType(SG_MATERIAL_PROPERTY));
        ASSERT_NE(material, nullptr);
        EXPECT_EQ(material->emissive, c.material);
        EXPECT_EQ(material->ambient, SgRgb(0, 0, 0));
        EXPECT_EQ(material->diffuse, SgRgb(0, 0, 0));
        auto* alpha = static_cast<SgAlphaProperty*>(node->FindPropertyOfType(SG_ALPHA_PROPERTY));
        ASSERT_NE(alpha, nullptr);
        EXPECT_EQ(alpha->blendOn, 1);
        EXPECT_EQ(alpha->sourceBlend, 0u);
        EXPECT_EQ(alpha->destinationBlend, 3u);
        auto* zBuffer = static_cast<SgZBufferProperty*>(node->FindPropertyOfType(SG_ZBUFFER_PROPERTY));
        ASSERT_NE(zBuffer, nullptr);
        EXPECT_EQ(zBuffer->depthTest, 1);
        EXPECT_EQ(zBuffer->depthWrite, 0);
        EXPECT_NE(present::CrosshairParts().image, nullptr) << "crsshair.bmp";
    }
}

TEST_F(WorldPiecesTest, CrosshairShowsOnlyOnAChange) {
    present::World().sceneActive = 0;
    EXPECT_EQ(present::CreateCrosshair(1), 0) << "no scene, no crosshair";
    EXPECT_EQ(present::CrosshairParts().node, nullptr);
    present::World().sceneActive = 1;
    present::ShowCrosshair(0);
    ASSERT_EQ(present::CreateCrosshair(1), 1);
    SgBillboardNode* node = present::CrosshairParts().node.Get();
    // A new crosshair: the first call acts whatever was asked before.
    EXPECT_EQ(present::CrosshairShown, -1);
    present::ShowCrosshair(0);
    EXPECT_EQ(node->IsHidden(), 1);
    present::ShowCrosshair(1);
    EXPECT_EQ(node->IsHidden(), 0);
    node->SetHidden(1);
    present::ShowCrosshair(1);
    EXPECT_EQ(node->IsHidden(), 1) << "the same state again changes nothing";
    present::ShowCrosshair(5);
    EXPECT_EQ(node->IsHidden(), 1);
    EXPECT_EQ(present::CrosshairShown, 5);
    present::ShowCrosshair(1);
    EXPECT_EQ(node->IsHidden(), 0);

    // Without rooms the world root holds it.
    EXPECT_EQ(present::PlaceCrosshair(0, 65536 * 100, 65536 * 200, 65536 * 50), 1);
    EXPECT_EQ(node->Parent(), present::World().worldRoot.Get());
    EXPECT_NEAR(node->localTranslation.z, -0.5f, 1e-6f);
    present::RemoveCrosshair();
    EXPECT_EQ(present::CrosshairParts().node, nullptr);
    EXPECT_EQ(present::CrosshairParts().image, nullptr);
    EXPECT_EQ(present::PlaceCrosshair(0, 0, 0, 0), 1);
    present::ShowCrosshair(0);
}

}  // namespace
