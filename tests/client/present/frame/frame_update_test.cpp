// The arena frame update: the camera of each view and sequence, the fixtures' animation and
// light, the world time, the shrine and earthnode colours, the arm sequence's cancel, frame.txt,
// and the walking bob it asks the simulation for.

#include "client/present/frame_update.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "client/core/error_log.h"
#include "client/core/game_clock.h"
#include "client/driver/arena_loop.h"
#include "client/present/camera_set.h"
#include "client/present/crosshair.h"
#include "client/present/figure_lights.h"
#include "client/present/figure_objects.h"
#include "client/present/room_extra.h"
#include "client/present/rooms.h"
#include "client/present/world_tables.h"
#include "engine/core/sg_action.h"
#include "engine/render/portal/sg_room.h"
#include "tests/client/arena/arena_fixture.h"
#include "tests/client/present/figure_fixture.h"
#include "tests/support/temp_dir.h"

namespace {

using present::ActionClock;
using present::AdvanceWorldTime;
using present::AnimateGridFixtures;
using present::Cameras;
using present::CameraSet;
using present::CancelArmSequence;
using present::FigureData;
using present::FigureNode;
using present::GridFixture;
using present::GridFixtureTable;
using present::UpdateViewCamera;
using present::ViewMode;

constexpr int kOwnSlot = 5;
constexpr int kOwnFigure = 3;

class FrameUpdateTest : public ArenaFixture {
protected:
    void SetUp() override {
        CameraSet& c = Cameras();
        c.firstPersonNode = new SgNode;
        c.firstPersonCamera = new SgCamera;
        // The first-person camera as the game makes it: its near plane and its place ahead.
        c.firstPersonCamera->frustum.nearDistance = 0.1f;
        c.firstPersonCamera->localTranslation = SgVec3(0.08f, 0.0f, 0.0f);
        c.firstPersonNode->InsertChild(c.firstPersonCamera.Get(), false);
        present::World().sceneActive = 1;
        ClearActionState();
        ViewMode = 0;
        FrameDelta = 0;
        for (GridFixture& f : GridFixtureTable)
            f = GridFixture{};
        own = figure_fixture::MakeFigure(kOwnFigure);
        player.own_object = kOwnSlot;
        WorldObjectTable[kOwnSlot].figure = kOwnFigure;
        ResetViewBob();
    }
    void TearDown() override {
        figure_fixture::ClearFigureTables();
        Cameras() = CameraSet{};
        present::World().sceneActive = 0;
        SgAction::ClearList();
    }

    // Where the camera stands, in world units.
    SgVec3 Camera() const {
        const SgVec3 t = Cameras().firstPersonNode->localTranslation;
        return SgVec3(t.x * 100.0f, t.y * 100.0f, -t.z * 100.0f);
    }
    // The camera's turn and tilt as PlaceFirstPersonCamera leaves them for (facing, tilt).
    void ExpectTurnedAs(int facing, int tilt) {
        CameraSet& c = Cameras();
        const SgMat3 node = c.firstPersonNode->localRotation, camera = c.firstPersonCamera->localRotation;
        const SgVec3 at = c.firstPersonNode->localTranslation;
        present::PlaceFirstPersonCamera(0, 0, 0, facing, tilt);
        for (int i = 0; i < 9; ++i) {
            EXPECT_FLOAT_EQ(node.m[i], c.firstPersonNode->localRotation.m[i]) << i;
            EXPECT_FLOAT_EQ(camera.m[i], c.firstPersonCamera->localRotation.m[i]) << i;
        }
        c.firstPersonNode->localTranslation = at;
    }
    void ExpectCamera(float x, float y, float z, const char* what) {
        EXPECT_NEAR(Camera().x, x, 0.01f) << what;
        EXPECT_NEAR(Camera().y, y, 0.01f) << what;
        EXPECT_NEAR(Camera().z, z, 1.0f) << what;
    }
    bool OwnHidden() const { return FigureNode(kOwnFigure)->IsHidden(); }
    bool OwnModelHidden() const { return own->model->IsHidden(); }

    SgFigureExtraData* own = nullptr;
};

// ---- Views ----

TEST_F(FrameUpdateTest, TheDeathViewBacksAwayAndRisesOverTheFirstTwoSeconds) {
    // Looking down 70 degrees from behind: the line behind rises by its length x sin 70.
    struct Case {
        int timer;
        float behind, height;
    } cases[] = {
        {5000, 32, 48 + 30},    // 32 + 160 sin 0
        {4000, 144, 48 + 135},  // 145 from the sine, walked in whole steps of 8
        {3000, 192, 48 + 180},
        {1, 192, 48 + 180},
    };
    for (const Case& c : cases) {
        Place(4000, 4000, 1024);
        player.pitch = 55;
        g_actionState.death_timer = c.timer;
        UpdateViewCamera();
        // Facing 0 during the step: straight behind is -y, whatever way the player looked.
        ExpectCamera(4000, 4000 - c.behind, c.height, std::to_string(c.timer).c_str());
        ExpectTurnedAs(0, 700);
        EXPECT_EQ(view.facing, 1024) << "restored";
        EXPECT_EQ(player.pitch, 55) << "restored";
        EXPECT_TRUE(OwnHidden());
    }
}

TEST_F(FrameUpdateTest, TheArrivalViewLooksAlongTheKeptFacingAndStopsAtAWall) {
    struct Case {
        int timer, facing;
        float x, y;
    } cases[] = {
        {2500, 0, 4000, 4000 - 160},
        {2000, 0, 4000, 4000 - 160},
        {1500, 0, 4000, 4000 - 144},  // 128 sin(1500 k) + 32 = 150, in steps of 8
        {1, 0, 4000, 4000 - 32},
        {2500, 1024, 4000 + 160, 4000},  // the kept facing turns the line round
    };
    for (const Case& c : cases) {
        Place(4000, 4000, 2048);
        present::SetFigureFirstPersonVisibility(kOwnFigure, 0);
        g_actionState.arrival_timer = c.timer;
        g_actionState.arrival_facing = c.facing;
        UpdateViewCamera();
        ExpectCamera(c.x, c.y, 48, std::to_string(c.timer).c_str());
        ExpectTurnedAs(c.facing, 0);
        EXPECT_EQ(view.facing, 2048);
        EXPECT_EQ(g_actionState.arrival_timer, c.timer) << "no hit";
        EXPECT_FALSE(OwnHidden());
        EXPECT_FALSE(OwnModelHidden());
    }

    // Rock 64 behind: the line hits it and the sequence jumps to its last 2000 ms; once there,
    // hitting it again never sets the sequence back, so it ends.
    SetCell(4000 >> 6, (4000 - 64) >> 6, 1, 0, 256);
    const struct {
        int timer, after;
    } hits[] = {{2500, 2000}, {2000, 2000}, {1999, 1999}, {1500, 1500}};
    for (const auto& h : hits) {
        Place(4000, 4000, 0);
        g_actionState.arrival_timer = h.timer;
        g_actionState.arrival_facing = 0;
        UpdateViewCamera();
        EXPECT_EQ(g_actionState.arrival_timer, h.after) << h.timer;
        EXPECT_GT(Camera().y, 4000 - 64) << h.timer;
    }
}

TEST_F(FrameUpdateTest, TheDeathViewComesBeforeTheArrivalView) {
    Place(4000, 4000, 1024);
    g_actionState.death_timer = 3000;
    g_actionState.arrival_timer = 2500;
    g_actionState.arrival_facing = 1024;
    UpdateViewCamera();
    ExpectCamera(4000, 4000 - 192, 48 + 180, "death");
    EXPECT_TRUE(OwnHidden());
    EXPECT_EQ(g_actionState.arrival_timer, 2500);
}

TEST_F(FrameUpdateTest, EyeChaseAndOtherViews) {
    Place(4000, 4000, 1024);
    player.pitch = 100;

    // Eye view: at the eye, turned and tilted as the player; the own figure without its model.
    ViewMode = 0;
    UpdateViewCamera();
    ExpectCamera(4000, 4000, 48, "eye");
    ExpectTurnedAs(1024, 100);
    EXPECT_FALSE(OwnHidden());
    EXPECT_TRUE(OwnModelHidden());

    // Chase view: 128 behind (facing 1024 looks to -x, so behind is +x), the whole figure shown.
    // The line starts at the eye and rises with the pitch and 3 degrees more (128 sin 13 degrees);
    // the camera keeps the player's own tilt.
    ViewMode = 1;
    UpdateViewCamera();
    ExpectCamera(4000 + 128, 4000, 48 + 28.8f, "chase");
    ExpectTurnedAs(1024, 100);
    EXPECT_FALSE(OwnModelHidden());
    EXPECT_EQ(player.pitch, 100) << "restored";
    // Looking level it still stands above the eye (128 sin 3 degrees).
    player.pitch = 0;
    UpdateViewCamera();
    ExpectCamera(4000 + 128, 4000, 48 + 6.7f, "chase, level");
    ExpectTurnedAs(1024, 0);
    // Looking up, the line behind falls to the floor (48 - 128 sin 27 degrees < 0) and ends on it:
    // the camera stands its near distance (10) above it, or its near plane would cut the floor
    // away. Looking down under a ceiling 256 high, the line rises to it: 10 below it.
    player.pitch = -300;
    UpdateViewCamera();
    ExpectCamera(Camera().x, 4000, 10, "chase, looking up");
    EXPECT_GT(Camera().x, 4000 + 64) << "still behind";
    player.pitch = 600;
    view.z = 200;
    UpdateViewCamera();
    ExpectCamera(Camera().x, 4000, 246, "chase, looking down");
    view.z = 48;
    player.pitch = 100;

    // Any other mode leaves the camera where it was.
    ViewMode = 2;
    const SgVec3 before = Camera();
    Place(5000, 5000, 0);
    present::SetFigureFirstPersonVisibility(kOwnFigure, 1);
    UpdateViewCamera();
    EXPECT_EQ(Camera(), before);
    EXPECT_FALSE(OwnModelHidden());
}

// The sky dome hangs where the camera stands in every view and sequence, so it keeps its distance
// round the viewer and stays inside the camera's far plane.
TEST_F(FrameUpdateTest, TheSkyStandsWhereTheCameraStands) {
    present::WorldTables& w = present::World();
    w.worldRoot = SgRef<SgNode>(new SgNode);
    w.roomGroup = SgRef<SgRoomGroup>(new SgRoomGroup);
    w.worldRoot->InsertChild(w.roomGroup.Get(), false);
    ASSERT_NE(present::BuildOutsideRoom(), nullptr);
    SgNode* sky = present::RoomDataOf(w.outsideRoom.Get())->staticNode;
    struct Case {
        const char* name;
        int mode, death, arrival;
    } cases[] = {{"eye", 0, 0, 0}, {"chase", 1, 0, 0}, {"death", 0, 4000, 0}, {"arrival", 1, 0, 1000}};
    for (const Case& c : cases) {
        Place(4000, 3000, 700);
        player.pitch = 50;
        ViewMode = c.mode;
        g_actionState.death_timer = c.death;
        g_actionState.arrival_timer = c.arrival;
        sky->localTranslation = SgVec3();
        UpdateViewCamera();
        EXPECT_EQ(sky->localTranslation, Cameras().firstPersonNode->localTranslation) << c.name;
        EXPECT_NE(sky->localTranslation, SgVec3()) << c.name;
    }
    g_actionState.death_timer = g_actionState.arrival_timer = 0;
    w = present::WorldTables{};
}

TEST_F(FrameUpdateTest, TheViewKeySwitchesBetweenEyeAndChase) {
    const struct {
        int from, to;
    } cases[] = {{0, 1}, {1, 0}, {2, 0}, {-1, 0}};
    for (const auto& c : cases) {
        ViewMode = c.from;
        EXPECT_EQ(present::ToggleViewMode(), c.to) << c.from;
        EXPECT_EQ(ViewMode, c.to) << c.from;
    }
}

TEST_F(FrameUpdateTest, TheCrosshairGoesWhereTheEyeAimsButNeverRightBeforeIt) {
    ASSERT_EQ(present::CreateCrosshair(1), 1);
    const auto crosshair = [] {
        const SgVec3 t = present::CrosshairParts().node->localTranslation;
        return SgVec3(t.x * 100.0f, t.y * 100.0f, -t.z * 100.0f);
    };
    // Open floor ahead: the line runs its 512 units from the eye, 2 degrees above the player's
    // pitch (512 sin 2 degrees); the player's pitch is his own again after it.
    Place(4000, 4000, 0);
    UpdateViewCamera();
    EXPECT_NEAR(crosshair().x, 4000, 0.01f);
    EXPECT_NEAR(crosshair().y, 4000 + 512, 0.01f);
    EXPECT_NEAR(crosshair().z, 48 + 17.9f, 1.0f);
    EXPECT_EQ(player.pitch, 0);
    // The other modes trace along the player's own pitch.
    ViewMode = 2;
    UpdateViewCamera();
    EXPECT_NEAR(crosshair().z, 48, 0.01f);
    ViewMode = 0;

    // Rock from 4032 on: the eye view puts the crosshair at the origin while the rock is nearer
    // than 96 units, and on the rock's face from there on.
    SetCell(4000 >> 6, 4032 >> 6, 1, 0, 256);
    const struct {
        int distance;
        bool origin;
    } nearCases[] = {{32, true}, {80, true}, {104, false}};
    for (const auto& c : nearCases) {
        Place(4000, 4032 - c.distance, 0);
        UpdateViewCamera();
        if (c.origin)
            EXPECT_EQ(crosshair(), SgVec3(0, 0, 0)) << c.distance;
        else
            EXPECT_NEAR(crosshair().y, 4032, 0.01f) << c.distance;
    }
    Place(4000, 4000, 0);
    // The chase view and the other modes keep it on the rock.
    for (int mode : {1, 2}) {
        ViewMode = mode;
        UpdateViewCamera();
        EXPECT_NEAR(crosshair().y, 4032, 0.01f) << mode;
    }
    present::RemoveCrosshair();
}

TEST_F(FrameUpdateTest, TheEyeBobsWhileWalking) {
    Place(4000, 4000, 0);
    view.speed = 110;
    FrameDelta = 1000;  // 100 phase steps at walking speed
    ViewMode = 0;
    UpdateViewCamera();  // the step starts at phase 1
    UpdateViewCamera();  // 101
    EXPECT_NEAR(Camera().z, 48 + 101 * 3.0f / 250, 1e-3);
}

TEST_F(FrameUpdateTest, NoPlayerNoCamera) {
    g_localPlayer = nullptr;
    UpdateViewCamera();
    EXPECT_EQ(Camera(), SgVec3(0, 0, 0));
    g_localPlayer = &player;
    g_playerView = nullptr;
    UpdateViewCamera();
    EXPECT_EQ(Camera(), SgVec3(0, 0, 0));
}

// ---- The walking bob ----

TEST_F(FrameUpdateTest, TheBobRisesFallsAndRunsOutWhenThePlayerStops) {
    view.speed = 110;
    std::vector<int> bob;
    for (int i = 0; i < 4; ++i)
        bob.push_back(UpdateViewBob(1000));  // 100 phase steps a call at walking speed
    // 1, 101, 201, then the top: the fall starts at once.
    EXPECT_EQ(bob, (std::vector<int>{1 * 196608 / 250, 101 * 196608 / 250, 201 * 196608 / 250, 249 * 196608 / 250}));
    EXPECT_EQ(UpdateViewBob(1000), 149 * 196608 / 250);
    EXPECT_EQ(UpdateViewBob(1000), 49 * 196608 / 250);
    EXPECT_EQ(UpdateViewBob(1000), 0) << "the step ended";
    const int side = ViewBobStepSide;
    EXPECT_EQ(UpdateViewBob(1000), 1 * 196608 / 250);
    EXPECT_NE(ViewBobStepSide, side) << "each step starts on the other foot";

    // Stopping half way up falls from that height, at walking pace.
    EXPECT_EQ(UpdateViewBob(500), 51 * 196608 / 250);
    view.speed = 0;
    EXPECT_EQ(UpdateViewBob(0), 51 * 196608 / 250);
    EXPECT_EQ(UpdateViewBob(300), 21 * 196608 / 250);
    EXPECT_EQ(UpdateViewBob(300), 0);
    EXPECT_EQ(UpdateViewBob(300), 0) << "standing still";

    // Off the floor nothing starts; backwards bobs as forwards.
    view.speed = -110;
    player.mode = 2;
    EXPECT_EQ(UpdateViewBob(1000), 0);
    player.mode = 1;
    UpdateViewBob(1000);
    EXPECT_EQ(UpdateViewBob(1000), 101 * 196608 / 250);
}

// ---- Fixtures ----

class FixtureTest : public FrameUpdateTest {
protected:
    GridFixture& Fixture(int n, int figure, int rate, int light) {
        figure_fixture::MakeFigure(figure);
        present::AttachFigureLight(figure, 100, light, 255, 255, 255, 0);
        GridFixture& f = GridFixtureTable[n];
        f.figure = figure;
        f.timerRate = rate;
        f.light = light;
        f.x = 4100;
        f.y = 4100;
        return f;
    }
    float Range(int figure) { return FigureData(figure)->light->range * 100.0f; }
};

TEST_F(FixtureTest, FixturesRunAtTheirRateAndTheirLightSwellsOverFourSeconds) {
    GridFixture& full = Fixture(1, 10, 100, 200);
    GridFixture& half = Fixture(2, 11, 50, 200);
    GridFixture& stopped = Fixture(3, 12, 0, 200);
    stopped.time = 0.5f;
    FrameDelta = 10000;  // one second
    // The triangle wave: L, 1.25 L, 1.5 L, 1.25 L, L over 0, 1, 2, 3, 4 s.
    const float fullRanges[] = {250, 300, 250, 200, 250};
    const float halfRanges[] = {225, 250, 275, 300, 275};
    for (int second = 0; second < 5; ++second) {
        AnimateGridFixtures();
        EXPECT_FLOAT_EQ(full.time, static_cast<float>(second + 1)) << second;
        EXPECT_FLOAT_EQ(Range(10), fullRanges[second]) << second;
        EXPECT_FLOAT_EQ(Range(11), halfRanges[second]) << second;
        EXPECT_FLOAT_EQ(stopped.time, 0.5f);
        EXPECT_FLOAT_EQ(Range(12), 225) << "rate 0 keeps time and range";
    }
    EXPECT_FLOAT_EQ(half.time, 2.5f);
}

TEST_F(FixtureTest, AFixtureOutOfSightOnlyKeepsItsTime) {
    GridFixture& f = Fixture(4, 13, 100, 100);
    g_level.roomMap[CellIndex(f.x >> 6, f.y >> 6)] = -1;  // no area: cannot be seen
    FigureNode(13)->SetHidden(1);
    FrameDelta = 5000;
    AnimateGridFixtures();
    EXPECT_FLOAT_EQ(f.time, 0.5f);
    EXPECT_FLOAT_EQ(Range(13), 100) << "untouched since attached";
    EXPECT_TRUE(FigureNode(13)->IsHidden());

    g_level.roomMap[CellIndex(f.x >> 6, f.y >> 6)] = 0;
    AnimateGridFixtures();
    EXPECT_FLOAT_EQ(Range(13), 125);
    EXPECT_FALSE(FigureNode(13)->IsHidden());
}

TEST_F(FixtureTest, FixturesWithoutAFigureOrALightAreLeftAlone) {
    GridFixture& none = GridFixtureTable[5];
    none.timerRate = 100;
    GridFixture& dark = Fixture(6, 14, 100, 0);
    FrameDelta = 10000;
    AnimateGridFixtures();
    EXPECT_FLOAT_EQ(none.time, 0.0f);
    EXPECT_FLOAT_EQ(dark.time, 1.0f);
    EXPECT_FLOAT_EQ(Range(14), 0.0f);
}

// ---- World time ----

class RecordingAction : public SgAction {
public:
    explicit RecordingAction(std::vector<double>* times) : times_(times) {}
    bool Step(double time, uint32_t) override {
        times_->push_back(time);
        return true;
    }

private:
    std::vector<double>* times_;
};

TEST_F(FrameUpdateTest, WorldTimeStepsTheActionsOnlyWhileAWorldExists) {
    std::vector<double> times;
    SgAction::AddToList(new RecordingAction(&times));
    ActionClock = 2.0f;
    AdvanceWorldTime(500);
    AdvanceWorldTime(1500);
    ASSERT_EQ(times.size(), 2u);
    EXPECT_NEAR(times[0], 2.0, 1e-6) << "stepped at the clock before it moves";
    EXPECT_NEAR(times[1], 2.05, 1e-6);
    EXPECT_NEAR(ActionClock, 2.2f, 1e-6);
    present::World().sceneActive = 0;
    AdvanceWorldTime(500);
    EXPECT_EQ(times.size(), 2u);
    EXPECT_NEAR(ActionClock, 2.2f, 1e-6);
}

// ---- Shrine and earthnode colours ----

SgRgb Rgb(int r, int g, int b) { return SgRgb(r / 255.0f, g / 255.0f, b / 255.0f); }

struct ColourCase {
    int alignment, power;
    SgRgb colour;
    float dimmer, range;  // hundredths
    SgRgb light;
};

class NodeColourTest : public FrameUpdateTest {
protected:
    void SetUp() override {
        FrameUpdateTest::SetUp();
        dir.Enter();
        ASSERT_TRUE(OpenErrorLog());
        data = figure_fixture::MakeFigure(20);
        present::AttachFigureLight(20, 100, 100, 0, 0, 0, 0);
        GridFixture& f = GridFixtureTable[7];
        f.figure = 20;
        f.light = 300;
        f.timerRate = 77;
    }
    void TearDown() override {
        CloseErrorLog();
        FrameUpdateTest::TearDown();
    }
    std::string Log() {
        CloseErrorLog();
        std::string text = dir.Read("error.log");
        OpenErrorLog();
        return text.substr(text.find('\n') + 1);
    }
    SgRgb Colour() const { return data->materialProperty->diffuse; }
    // Each case set by the call given, then its figure colour and light checked.
    void ExpectColours(const std::vector<ColourCase>& cases, const std::function<void(const ColourCase&)>& set);

    TempDir dir;
    SgFigureExtraData* data = nullptr;
};

void NodeColourTest::ExpectColours(const std::vector<ColourCase>& cases,
                                   const std::function<void(const ColourCase&)>& set) {
    for (const ColourCase& k : cases) {
        set(k);
        EXPECT_EQ(Colour(), k.colour) << k.alignment << " " << k.power;
        EXPECT_FLOAT_EQ(data->light->dimmer * 100, k.dimmer) << k.alignment;
        EXPECT_FLOAT_EQ(data->light->range * 100, k.range) << k.alignment;
        EXPECT_EQ(data->light->diffuse, k.light) << k.alignment;
    }
}

TEST_F(NodeColourTest, ShrinesTakeTheirTeamsColourAndLight) {
    const std::vector<ColourCase> cases = {
        {2, 0, Rgb(64, 64, 64), 300, 300, Rgb(256, 256, 256)},
        {0, 100, Rgb(255, 255, 255), 300, 300, Rgb(255, 255, 255)},
        {1, 100, Rgb(255, 0, 0), 450, 300, Rgb(255, 48, 48)},
        {2, 60, Rgb(255, 255, 0), 300, 300, Rgb(255, 255, 48)},
        {3, 100, Rgb(0, 0, 255), 600, 300, Rgb(64, 64, 255)},
    };
    g_level.shrines[4].found = 1;
    g_level.shrines[4].fixture = 7;
    ExpectColours(cases, [&](const ColourCase& k) {
        present::SetShrineColor(4, k.alignment, k.power);
        EXPECT_EQ(GridFixtureTable[7].timerRate, k.power);
    });
    // Another alignment changes only the rate.
    present::SetShrineColor(4, 9, 40);
    EXPECT_EQ(Colour(), Rgb(0, 0, 255));
    EXPECT_EQ(GridFixtureTable[7].timerRate, 40);
    EXPECT_EQ(Log(), "SetShrineColor: num=4 align=2 fixture=7\n"
                     "SetShrineColor: num=4 align=0 fixture=7\n"
                     "SetShrineColor: num=4 align=1 fixture=7\n"
                     "SetShrineColor: num=4 align=2 fixture=7\n"
                     "SetShrineColor: num=4 align=3 fixture=7\n"
                     "SetShrineColor: num=4 align=9 fixture=7\n");
}

TEST_F(NodeColourTest, EarthnodesKeepTheirRateAndNeverDim) {
    const std::vector<ColourCase> cases = {
        {0, 0, Rgb(255, 255, 255), 300, 300, Rgb(255, 255, 255)},  // the third value is not read
        {1, 50, Rgb(255, 0, 0), 300, 300, Rgb(255, 48, 48)},
        {2, 50, Rgb(255, 255, 0), 300, 300, Rgb(255, 255, 48)},
        {3, 50, Rgb(0, 0, 255), 600, 300, Rgb(64, 64, 255)},
    };
    g_level.earthnodes[29].found = 1;
    g_level.earthnodes[29].fixture = 7;
    ExpectColours(cases, [](const ColourCase& k) { present::SetEarthbloodColor(29, k.alignment, k.power); });
    EXPECT_EQ(GridFixtureTable[7].timerRate, 77);
    EXPECT_EQ(Log(), "SetEarthbloodColor: num=29 align=0 fixture=7\n"
                     "SetEarthbloodColor: num=29 align=1 fixture=7\n"
                     "SetEarthbloodColor: num=29 align=2 fixture=7\n"
                     "SetEarthbloodColor: num=29 align=3 fixture=7\n");
}

TEST_F(NodeColourTest, RecordsAndFixturesOutsideTheirTablesChangeNothing) {
    GridFixture& f = GridFixtureTable[7];
    const SgRgb before = Colour();
    // Inactive: no line. No fixture, or one past the table: the line only.
    g_level.shrines[1].fixture = 7;
    g_level.shrines[2].found = 1;
    g_level.shrines[3].found = 1;
    g_level.shrines[3].fixture = 50;
    g_level.earthnodes[99].found = 1;
    g_level.earthnodes[99].fixture = -1;
    present::SetShrineColor(1, 1, 100);
    present::SetShrineColor(2, 1, 100);
    present::SetShrineColor(3, 1, 100);
    present::SetShrineColor(20, 1, 100);
    present::SetShrineColor(-1, 1, 100);
    present::SetEarthbloodColor(99, 1, 100);
    present::SetEarthbloodColor(100, 1, 100);
    present::SetEarthbloodColor(-1, 1, 100);
    EXPECT_EQ(f.timerRate, 77);
    EXPECT_EQ(Colour(), before);
    EXPECT_EQ(data->light->diffuse, SgRgb(0, 0, 0));
    EXPECT_EQ(Log(), "SetShrineColor: num=2 align=1 fixture=0\n"
                     "SetShrineColor: num=3 align=1 fixture=50\n"
                     "SetEarthbloodColor: num=99 align=1 fixture=-1\n");
}

TEST_F(NodeColourTest, ADormantShrineStopsItsFixture) {
    g_level.shrines[0].found = 1;
    g_level.shrines[0].fixture = 7;
    present::SetShrineColor(0, 1, 0);
    FrameDelta = 10000;
    const float before = GridFixtureTable[7].time;
    AnimateGridFixtures();
    EXPECT_FLOAT_EQ(GridFixtureTable[7].time, before);
}

// ---- Arm sequence ----

TEST_F(FrameUpdateTest, CancellingAnArmSequenceDropsARaisedOrHeldPart) {
    SgFigureExtraData* data = figure_fixture::MakeFigure(30);
    WorldObject& o = WorldObjectTable[40];
    o.figure = 30;
    struct Case {
        int16_t state;
        bool dropped;
    } cases[] = {{-3, true}, {-4, true}, {-5, false}, {0, false}, {7, false}};
    for (const Case& c : cases) {
        SgRef<SgNode> held(new SgNode);
        FigureNode(30)->InsertChild(held.Get(), true);
        data->heldPart = held.Get();
        o.anim_word = static_cast<uint16_t>(c.state);
        o.arm_time = 0.7f;
        CancelArmSequence(40);
        EXPECT_EQ(data->heldPart == nullptr, c.dropped) << c.state;
        EXPECT_EQ(o.anim_word, 0) << c.state;
        EXPECT_FLOAT_EQ(o.arm_time, 0.01f) << c.state;
        if (data->heldPart)
            FigureNode(30)->RemoveChild(held.Get());
        data->heldPart = nullptr;
    }
    for (int slot : {0, -1, kWorldObjectSlots})
        CancelArmSequence(slot);
}

// ---- frame.txt ----

TEST_F(FrameUpdateTest, SixZerosOpenAndCloseFrameTxtAndLinesGoOnlyWhileOpen) {
    TempDir dir;
    dir.Enter();
    g_arenaLoop.frameRate = 31;
    present::WriteFrameStats(1, 2, 3, 4, 5, 6);
    EXPECT_FALSE(dir.Exists("frame.txt"));
    present::WriteFrameStats(0, 0, 0, 0, 0, 0);
    present::WriteFrameStats(1, 2, 3, 4, 5, 6);
    present::WriteFrameStats(-7, 0, 0, 0, 0, 0);
    present::WriteFrameStats(0, 0, 0, 0, 0, 0);
    present::WriteFrameStats(9, 9, 9, 9, 9, 9);
    EXPECT_EQ(dir.Read("frame.txt"), "31,1,2,3,4,5,6\n31,-7,0,0,0,0,0\n");
    // Appends on the next opening.
    present::WriteFrameStats(0, 0, 0, 0, 0, 0);
    present::WriteFrameStats(0, 0, 0, 0, 0, 8);
    present::WriteFrameStats(0, 0, 0, 0, 0, 0);
    EXPECT_EQ(dir.Read("frame.txt"), "31,1,2,3,4,5,6\n31,-7,0,0,0,0,0\n31,0,0,0,0,0,8\n");
    g_arenaLoop.frameRate = 0;
}

TEST_F(FrameUpdateTest, AFrameTxtThatCannotBeOpenedDropsTheLines) {
    TempDir dir;
    dir.Enter();
    std::filesystem::create_directory(dir.File("frame.txt"));  // in the way
    present::WriteFrameStats(0, 0, 0, 0, 0, 0);
    present::WriteFrameStats(1, 2, 3, 4, 5, 6);
    // The next toggle tries to open again rather than closing nothing.
    std::filesystem::remove(dir.File("frame.txt"));
    present::WriteFrameStats(0, 0, 0, 0, 0, 0);
    present::WriteFrameStats(1, 1, 1, 1, 1, 1);
    present::WriteFrameStats(0, 0, 0, 0, 0, 0);
    EXPECT_EQ(dir.Read("frame.txt"), "0,1,1,1,1,1,1\n");
}

}  // namespace
