// The figure animation state machine over virtual frames: traces of the state, times and the
// template in force against the tables, with a driver that records what is played and evaluated.

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "client/present/figure_anim_state.h"
#include "client/present/figure_table.h"
#include "common/random.h"

namespace {

using namespace present;

// Templates of figure type 201 used below (211 + offset of the index).
constexpr int kWalk = 211;       // index 0
constexpr int kBack = 212;       // index 1
constexpr int kRun = 215;        // index 2
constexpr int kCrawl = 218;      // index 5
constexpr int kIdle = 226;       // index 11
constexpr int kDeath = 230;      // index 12
constexpr int kStrafeL = 213;    // index 21
constexpr int kStrafeR = 214;    // index 22
constexpr int kRaise = 231;      // index 16
constexpr int kLower = 232;      // index 17
constexpr int kVariant1 = 227;   // index 23

// The figure side: every template has a frame count; playing with bit 27 takes it over, as
// copying an animation onto all bones (or the body) does.
class RecordingDriver : public FigureAnimDriver {
public:
    RecordingDriver() {
        frames = {{kWalk, 20}, {kBack, 16}, {kRun, 12}, {kCrawl, 24}, {kIdle, 40}, {kDeath, 30},
                  {kStrafeL, 18}, {kStrafeR, 18}, {kRaise, 15}, {kLower, 9}, {216, 6},
                  {kVariant1, 10}, {228, 10}, {229, 10}, {235, 20}, {236, 20}, {237, 16},
                  {238, 20}, {239, 20}, {240, 20}};
    }

    void Play(int templateNumber, uint32_t mask) override {
        char line[64];
        std::snprintf(line, sizeof line, "play %d %08x", templateNumber, mask);
        calls.push_back(line);
        if (templateNumber == 0)
            return;
        if (mask & kTimingBit) {
            current = templateNumber;
            auto it = frames.find(templateNumber);
            currentFrames = it == frames.end() ? -1 : it->second;
        } else {
            armTemplate = templateNumber;
        }
    }
    int Update(float t, uint32_t mask) override {
        char line[64];
        std::snprintf(line, sizeof line, "update %.4f %08x", t, mask);
        calls.push_back(line);
        return 1;
    }
    int FrameCount() override { return currentFrames; }
    int FrameRate() override { return rate; }
    int ModelFrameCount(int templateNumber) override {
        auto it = frames.find(templateNumber);
        return it == frames.end() ? -1 : it->second;
    }
    void RemoveHeldPart() override { calls.push_back("remove held"); }
    void UpdateOverlay(float t) override {
        char line[64];
        std::snprintf(line, sizeof line, "overlay %.4f", t);
        calls.push_back(line);
    }

    std::map<int, int> frames;
    int current = kWalk;
    int currentFrames = 20;
    int armTemplate = 0;
    int rate = 30;
    std::vector<std::string> calls;
};

// One row of a trace after a frame: S, t, A, t2 and the template on the body.
struct TraceRow {
    int state;
    float time;
    int arm;
    float armTime;
    int body;
};

class FigureAnimStateTest : public testing::Test {
protected:
    void SetUp() override {
        Figures().idleVariantFlag = 0;
        o.objectType = 4;
        o.figureType = 201;
    }
    void Start(int state, float time, int bodyTemplate) {
        o.state = static_cast<int16_t>(state);
        o.time = time;
        driver.current = bodyTemplate;
        driver.currentFrames = driver.frames[bodyTemplate];
    }
    // Runs one frame per expected row and compares.
    void ExpectTrace(int frameDelta, int visibility, const std::vector<TraceRow>& rows) {
        for (size_t i = 0; i < rows.size(); ++i) {
            StepFigureAnimation(o, frameDelta, visibility, driver);
            const TraceRow& r = rows[i];
            EXPECT_EQ(o.state, r.state) << "frame " << i;
            EXPECT_NEAR(o.time, r.time, 1e-4) << "frame " << i;
            EXPECT_EQ(o.armState, r.arm) << "frame " << i;
            EXPECT_NEAR(o.armTime, r.armTime, 1e-4) << "frame " << i;
            EXPECT_EQ(driver.current, r.body) << "frame " << i;
        }
    }

    FigureAnimObject o;
    RecordingDriver driver;
};

TEST(AnimationTemplateTest, RowsOfThePlayerTypesAndNothingElse) {
    struct Case {
        int type, index, expected;
    } cases[] = {
        {201, 0, 211},  {201, 1, 212},  {201, 2, 215},  {201, 10, 222}, {201, 11, 226}, {201, 16, 231},
        {201, 20, 225}, {201, 23, 227}, {202, 0, 251},  {202, 33, 282}, {203, 12, 310}, {203, 20, 305},
        {203, 21, 293}, {201, 34, 0},   {201, 49, 0},   {201, 50, 0},   {201, -1, 0},   {200, 5, 0},
        {199, 0, 0},    {204, 0, 0},    {0, 0, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(AnimationTemplate(c.type, c.index), c.expected) << c.type << " " << c.index;
}

// From a finished one-shot (S = -2, which no wanted state equals) each input starts its row.
TEST_F(FigureAnimStateTest, WantedStateAndTemplateByPoseSpeedAndFlags) {
    struct Case {
        int pose, speed, strafe, special, alternate;
        int state, played;
    } cases[] = {
        {0, 0, 0, 1, 0, 15, 211 + 24}, {6, 50, 0, 1, 1, 15, 211 + 24}, {0, 0, 1, 0, 0, 13, kStrafeL},
        {0, 0, 1, 0, 1, 18, 211 + 27}, {0, 0, 2, 0, 0, 14, kStrafeR},  {0, 0, 2, 0, 1, 19, 211 + 28},
        {0, 0, 0, 0, 0, 9, kIdle},      {6, 0, 0, 0, 1, 16, 211 + 25},  {0, 111, 0, 0, 0, 8, kRun},
        {0, 111, 0, 0, 1, 8, kRun},     {0, 110, 0, 0, 0, 0, kWalk},    {0, 1, 0, 0, 1, 17, 211 + 26},
        {0, -1, 0, 0, 0, 12, kBack},    {6, -80, 0, 0, 1, 20, 211 + 29}, {1, 0, 0, 0, 0, 1, kCrawl},
        {2, 0, 0, 0, 0, 2, 211 + 11},    {3, 0, 0, 0, 0, 3, 211 + 11},   {5, 0, 0, 0, 0, 3, 211 + 11},
        {21, 0, 0, 0, 0, 3, 211 + 11},  {7, 0, 0, 0, 0, 7, 225},        {11, 0, 0, 0, 0, 11, kDeath},
    };
    for (const Case& c : cases) {
        o = FigureAnimObject{};
        o.objectType = 4;
        o.figureType = 201;
        o.pose = c.pose;
        o.speed = c.speed;
        o.strafe = c.strafe;
        o.special = c.special;
        o.alternate = c.alternate;
        o.state = kStateOneShotDone;
        driver.calls.clear();
        EXPECT_EQ(StepFigureAnimation(o, 100, 2, driver), 1);
        EXPECT_EQ(o.state, c.state) << "pose " << c.pose << " speed " << c.speed;
        ASSERT_FALSE(driver.calls.empty());
        EXPECT_EQ(driver.calls[0].substr(0, 8), "play " + std::to_string(c.played)) << "pose " << c.pose;
    }
}

TEST_F(FigureAnimStateTest, VisibilityZeroWantsTheWalkAndOnlyTwoEvaluates) {
    o.pose = 2;
    Start(kStateOneShotDone, 0.0f, kIdle);
    StepFigureAnimation(o, 100, 0, driver);
    EXPECT_EQ(o.state, 0);
    EXPECT_EQ(driver.current, kWalk);
    EXPECT_EQ(driver.calls, (std::vector<std::string>{"play 211 ffffffff"}));

    driver.calls.clear();
    o.speed = 60;
    StepFigureAnimation(o, 1000, 1, driver);  // pose 2 with visibility 1: a change, no evaluation
    EXPECT_EQ(driver.calls, (std::vector<std::string>{"play 222 ffffffff"}));
    driver.calls.clear();
    StepFigureAnimation(o, 1000, 2, driver);
    EXPECT_EQ(driver.calls, (std::vector<std::string>{"update 0.1000 ffffffff"}));
}

// Stopping from a walk runs the cycle on at twice real time: to the middle frame from the first
// half, to the last frame from the second, and only then starts the idle.
TEST_F(FigureAnimStateTest, WindDownRunsToTheMiddleOrTheEnd) {
    // Walk of 20 frames; 500 ticks = 0.05 s, so 0.1 s (3 frames) per wind-down step.
    Start(0, 0.1f, kWalk);  // frame 3 of 20
    ExpectTrace(500, 2,
                {
                    {0, 0.2f, 0, 0, kWalk},   // 3 + 3 < 9: on
                    {9, 0.0f, 0, 0, kIdle},   // 6 + 3 < 9 fails: the idle starts
                });
    Start(0, 0.4f, kWalk);  // frame 12, second half
    ExpectTrace(500, 2,
                {
                    {0, 0.5f, 0, 0, kWalk},  // 12 + 3 < 19
                    {0, 0.6f, 0, 0, kWalk},  // 15 + 3 < 19
                    {9, 0.0f, 0, 0, kIdle},  // 18 + 3 < 19 fails
                });
    // From the run and the strafes as well; from the crawl at once.
    for (int from : {8, 12, 13, 14}) {
        Start(from, 0.1f, kWalk);
        StepFigureAnimation(o, 500, 2, driver);
        EXPECT_EQ(o.state, from);
    }
    Start(1, 0.1f, kCrawl);
    StepFigureAnimation(o, 500, 2, driver);
    EXPECT_EQ(o.state, 9);
}

// Walk to run and back rescales t by the frame counts, so the step phase stays.
TEST_F(FigureAnimStateTest, WalkRunWalkRescalesTime) {
    Start(0, 0.5f, kWalk);
    o.speed = 150;
    ExpectTrace(100, 2, {{8, 0.3f, 0, 0.01f, kRun}});  // 0.5 x 12 / 20; the arm is cancelled
    o.speed = 100;
    ExpectTrace(100, 2, {{0, 0.5f, 0, 0.01f, kWalk}});  // 0.3 x 20 / 12
    o.speed = -60;
    ExpectTrace(100, 2, {{12, 0.4f, 0, 0.01f, kBack}});  // 0.5 x 16 / 20
    // Advances: walk by max(speed, 50) / 100; run by speed / 100 / 2; back by |speed| / 100 x 2.
    o.speed = -60;
    ExpectTrace(1000, 2, {{12, 0.4f + 0.1f * 0.6f * 2.0f, 0, 0.01f, kBack}});
    o.speed = 20;
    o.state = 0;
    o.time = 0.0f;
    ExpectTrace(1000, 2, {{0, 0.05f, 0, 0.01f, kBack}});
    o.speed = 200;
    o.state = 8;
    o.time = 0.0f;
    ExpectTrace(1000, 2, {{8, 0.1f, 0, 0.01f, kBack}});
    // In the air nothing advances.
    o.airborne = true;
    ExpectTrace(1000, 2, {{8, 0.1f, 0, 0.01f, kBack}});
}

TEST_F(FigureAnimStateTest, OneShotIsRefusedWhilePlayingAndEndsAfterItsFrames) {
    Start(9, 0.3f, kIdle);
    EXPECT_EQ(StartFigureOneShot(o, 3, driver), 1);  // 216: 6 frames, 0.2 s
    EXPECT_EQ(o.state, kStateOneShot);
    EXPECT_EQ(o.time, 0.0f);
    EXPECT_EQ(driver.current, 216);
    EXPECT_EQ(StartFigureOneShot(o, 4, driver), 0);
    EXPECT_EQ(driver.current, 216);

    EXPECT_EQ(StepFigureAnimation(o, 1100, 2, driver), 1);
    EXPECT_EQ(StepFigureAnimation(o, 1100, 2, driver), 1);
    EXPECT_NEAR(o.time, 0.22f, 1e-6);
    EXPECT_EQ(StepFigureAnimation(o, 1100, 2, driver), 0);
    EXPECT_EQ(o.state, kStateOneShotDone);
    // The next choice replaces it: idle from -2 starts at 0.
    EXPECT_EQ(StepFigureAnimation(o, 1000, 2, driver), 1);
    EXPECT_EQ(o.state, 9);
    EXPECT_EQ(driver.current, kIdle);
    EXPECT_EQ(o.time, 0.0f);

    o.state = kStateRefuseOneShot;
    EXPECT_EQ(StartFigureOneShot(o, 3, driver), 0);
    o.state = 9;
    o.figureType = 0;
    EXPECT_EQ(StartFigureOneShot(o, 3, driver), 0);
    o.figureType = 201;
    EXPECT_EQ(StartFigureOneShot(o, 40, driver), 0);  // no template for the index
    EXPECT_EQ(o.state, 9);
}

// Raise for the raise's frames, hold 1 s, take the held part off, lower, then the arm rejoins the
// body's animation; the body keeps its own animation on the other bones throughout.
TEST_F(FigureAnimStateTest, ArmSequenceRaiseHoldLower) {
    driver.frames[kIdle] = 400;  // no idle wrap on the way
    Start(9, 0.0f, kIdle);
    o.armState = kArmRaise;
    o.armTime = 0.0f;
    // 2500 ticks = 0.25 s; raise 15 frames = 0.5 s, lower 9 frames = 0.3 s.
    ExpectTrace(2500, 2,
                {
                    {9, 0.25f, kArmRaise, 0.25f, kIdle},
                    {9, 0.5f, kArmRaise, 0.5f, kIdle},
                    {9, 0.75f, kArmHold, 0.01f, kIdle},
                    {9, 1.0f, kArmHold, 0.26f, kIdle},
                });
    EXPECT_EQ(driver.calls[0], "update 0.2500 00140700");
    EXPECT_EQ(driver.calls[1], "update 0.2500 ffebf8ff");
    driver.calls.clear();
    ExpectTrace(2500, 2,
                {
                    {9, 1.25f, kArmHold, 0.51f, kIdle},
                    {9, 1.5f, kArmHold, 0.76f, kIdle},
                    {9, 1.75f, kArmHold, 1.01f, kIdle},
                    {9, 2.0f, kArmLower, 0.01f, kIdle},
                });
    EXPECT_EQ(driver.calls[3], "remove held");
    EXPECT_EQ(driver.calls[4], "play 232 00140700");
    EXPECT_EQ(driver.armTemplate, kLower);
    driver.calls.clear();
    ExpectTrace(2500, 1,
                {
                    {9, 2.25f, kArmLower, 0.26f, kIdle},
                    {9, 2.5f, kArmLower, 0.51f, kIdle},
                    {9, 2.75f, 0, 0.51f, kIdle},
                });
    // Visibility 1 evaluates the arm but not the body.
    EXPECT_EQ(driver.calls, (std::vector<std::string>{"update 0.2600 00140700", "update 0.5100 00140700",
                                                      "play 226 00140700"}));
}

// Starting a new action cancels the arm: the held part goes when it was raised or held.
TEST_F(FigureAnimStateTest, StartAndCancelEndsTheArmSequence) {
    struct Case {
        int arm;
        bool removes;
    } cases[] = {{kArmRaise, true}, {kArmHold, true}, {kArmLower, false}};
    for (const Case& c : cases) {
        driver.calls.clear();
        Start(9, 0.2f, kIdle);
        o.armState = static_cast<int16_t>(c.arm);
        o.armTime = 0.1f;
        o.pose = 1;  // crawl: start and cancel
        StepFigureAnimation(o, 100, 2, driver);
        EXPECT_EQ(o.armState, 0);
        EXPECT_NEAR(o.armTime, 0.01f, 1e-6);
        EXPECT_EQ(o.state, 1);
        EXPECT_EQ(o.time, 0.0f);
        bool removed = false;
        for (const std::string& call : driver.calls)
            removed |= call == "remove held";
        EXPECT_EQ(removed, c.removes) << c.arm;
        EXPECT_EQ(driver.calls.back(), "update 0.0000 ffffffff");
    }
    // The cast pose plays its template on the body mask only, then evaluates all bones.
    driver.calls.clear();
    Start(9, 0.2f, kIdle);
    o.armState = kArmHold;
    o.armTime = 0.1f;
    o.pose = 3;
    StepFigureAnimation(o, 100, 2, driver);
    EXPECT_EQ(driver.calls, (std::vector<std::string>{"play 222 ffebf8ff", "remove held", "update 0.0000 ffffffff"}));
}

// The idle's cycle wrap draws one number (2, 3, 4 start a variant); a set flag makes the next
// wrap of any idling figure restart its idle and clear it.
TEST_F(FigureAnimStateTest, IdleVariantsBySeededDrawsAndOneSharedFlag) {
    GameSrand(7);
    std::vector<int> draws;
    for (int i = 0; i < 12; ++i)
        draws.push_back(GameRand() % 5);
    GameSrand(7);

    // Idle of 40 frames: 4000 ticks = 0.4 s = 12 frames per step, so every fourth step wraps
    // (the idle restarted at 0 wraps at the fourth step, a variant of 10 frames at every step).
    Start(9, 0.0f, kIdle);
    size_t next = 0;
    for (int step = 0; step < 200 && next < draws.size(); ++step) {
        const int before = driver.current;
        const int flag = Figures().idleVariantFlag;
        const float t = o.time;
        StepFigureAnimation(o, 4000, 2, driver);
        const int frames = driver.frames[before];
        const bool wrapped = static_cast<int>((t + 0.4f) * 30) % frames < static_cast<int>(t * 30) % frames;
        if (!wrapped) {
            EXPECT_EQ(driver.current, before);
            continue;
        }
        if (flag != 0) {
            EXPECT_EQ(driver.current, kIdle) << step;
            EXPECT_EQ(Figures().idleVariantFlag, 0);
            EXPECT_EQ(o.time, 0.0f);
            continue;
        }
        const int r = draws[next++];
        if (r >= 2) {
            EXPECT_EQ(driver.current, 227 + r - 2) << step;
            EXPECT_EQ(Figures().idleVariantFlag, r - 1);
            EXPECT_EQ(o.time, 0.0f);
        } else {
            EXPECT_EQ(driver.current, kIdle) << step;
            EXPECT_EQ(Figures().idleVariantFlag, 0);
        }
        EXPECT_EQ(o.state, 9);
    }
    EXPECT_EQ(next, draws.size());

    // A second figure's wrap restarts its own idle while the first's variant plays.
    Figures().idleVariantFlag = 2;
    FigureAnimObject other = o;
    other.state = 9;
    other.time = 1.3f;  // frame 39 of 40
    RecordingDriver second;
    second.current = kIdle;
    second.currentFrames = 40;
    GameSrand(7);
    StepFigureAnimation(other, 1000, 2, second);
    EXPECT_EQ(Figures().idleVariantFlag, 0);
    EXPECT_EQ(other.time, 0.0f);
    EXPECT_EQ(second.calls[0], "play 226 ffffffff");
    EXPECT_EQ(GameRand() % 5, draws[0]);  // no number was drawn
}

TEST_F(FigureAnimStateTest, StrafesAndTheAlternateSetKeepTheirPartnersTime) {
    o.strafe = 1;
    Start(18, 0.3f, 211 + 27);  // alternate strafe left to plain strafe left keeps t
    ExpectTrace(1000, 2, {{13, 0.3f, 0, 0, kStrafeL}, {13, 0.4f, 0, 0, kStrafeL}});
    o.strafe = 2;  // left to right starts over
    ExpectTrace(1000, 2, {{14, 0.0f, 0, 0, kStrafeR}});
    o.airborne = true;  // grounded: no advance in the air
    ExpectTrace(1000, 2, {{14, 0.0f, 0, 0, kStrafeR}});
    o.airborne = false;
    o.alternate = 1;
    ExpectTrace(1000, 2, {{19, 0.0f, 0, 0, 211 + 28}});
    // Alternate walk and walk keep t both ways; idle and alternate idle too.
    o.strafe = 0;
    o.speed = 80;
    Start(0, 0.25f, kWalk);
    ExpectTrace(1000, 2, {{17, 0.25f, 0, 0, 211 + 26}, {17, 0.33f, 0, 0, 211 + 26}});
    o.alternate = 0;  // back to the plain walk: rescaled by 20 / 16 frames
    ExpectTrace(1000, 2, {{0, 0.4125f, 0, 0, kWalk}});
    o.speed = 0;
    o.alternate = 1;
    Start(9, 0.5f, kIdle);
    ExpectTrace(1000, 2, {{16, 0.5f, 0, 0, 211 + 25}});
    o.alternate = 0;
    ExpectTrace(1000, 2, {{9, 0.5f, 0, 0, kIdle}});
    // Alternate back from back keeps t; from the walk it starts over.
    o.speed = -50;
    o.alternate = 1;
    Start(12, 0.2f, kBack);
    ExpectTrace(1000, 2, {{20, 0.2f, 0, 0, 211 + 29}});
    Start(0, 0.2f, kWalk);
    ExpectTrace(1000, 2, {{20, 0.0f, 0, 0, 211 + 29}});
}

TEST_F(FigureAnimStateTest, OtherObjectTypesAndDeadMonsters) {
    // Static and spell objects only advance; keys only with visibility 2.
    for (int type : {0, 1, 3, 8}) {
        o.objectType = type;
        o.time = 1.0f;
        driver.calls.clear();
        EXPECT_EQ(StepFigureAnimation(o, 1000, 1, driver), 0);
        EXPECT_EQ(StepFigureAnimation(o, 1000, 2, driver), 1);
        EXPECT_NEAR(o.time, 1.2f, 1e-6);
        EXPECT_EQ(driver.calls, (std::vector<std::string>{"update 1.2000 ffffffff"}));
    }
    // A dead player figure falls with the death animation once.
    o.objectType = 7;
    o.pose = 0;
    o.time = 3.0f;
    driver.calls.clear();
    EXPECT_EQ(StepFigureAnimation(o, 1000, 2, driver), 1);
    EXPECT_EQ(o.pose, 11);
    EXPECT_EQ(driver.calls, (std::vector<std::string>{"play 230 ffffffff", "update 0.1000 ffffffff"}));
    EXPECT_EQ(StepFigureAnimation(o, 1000, 1, driver), 1);
    EXPECT_NEAR(o.time, 0.2f, 1e-6);
    // A dead monster of a type without animation rows only takes pose 11.
    o.figureType = 150;
    o.pose = 0;
    driver.calls.clear();
    EXPECT_EQ(StepFigureAnimation(o, 1000, 2, driver), 1);
    EXPECT_EQ(o.pose, 11);
    EXPECT_EQ(driver.calls, (std::vector<std::string>{"update 0.3000 ffffffff"}));
    o.figureType = 0;
    o.pose = 0;
    EXPECT_EQ(StepFigureAnimation(o, 1000, 2, driver), 0);
    EXPECT_EQ(o.pose, 11);
    // Moving objects need a player figure type.
    o.objectType = 2;
    o.figureType = 150;
    EXPECT_EQ(StepFigureAnimation(o, 1000, 2, driver), 0);
}

TEST_F(FigureAnimStateTest, PosesWithoutARowKeepWhatPlaysAndBadCountsReadDefaults) {
    o.pose = 9;
    Start(0, 0.5f, kWalk);
    driver.rate = 15;
    ExpectTrace(1000, 2, {{0, 0.55f, 0, 0, kWalk}});  // plain at half rate, not the walk rule
    EXPECT_EQ(driver.calls, (std::vector<std::string>{"update 0.5500 ffffffff"}));

    // Frame count 0 or -1 reads 1, rate 0 or below reads 30.
    o.pose = 0;
    for (int frames : {0, -1}) {
        for (int rate : {0, -5}) {
            driver.currentFrames = frames;
            driver.rate = rate;
            Start(kStateOneShot, 0.0f, 216);
            driver.currentFrames = frames;
            EXPECT_EQ(StepFigureAnimation(o, 400, 2, driver), 1);  // 0 < 1 / 30
            EXPECT_EQ(StepFigureAnimation(o, 400, 2, driver), 0);  // 0.04 >= 1 / 30
            o.state = 9;
            o.time = 0.1f;
            StepFigureAnimation(o, 1000, 2, driver);  // a 1-frame idle never wraps
            EXPECT_NEAR(o.time, 0.2f, 1e-6);
        }
    }
}

TEST_F(FigureAnimStateTest, OverlayTimeAdvancesWithItsFlag) {
    Start(9, 0.0f, kIdle);
    o.overlayOn = 1;
    StepFigureAnimation(o, 1000, 1, driver);
    StepFigureAnimation(o, 1000, 2, driver);
    EXPECT_NEAR(o.overlayTime, 0.2f, 1e-6);
    EXPECT_EQ(driver.calls[0], "overlay 0.2000");
    o.overlayOn = 0;
    StepFigureAnimation(o, 1000, 2, driver);
    EXPECT_NEAR(o.overlayTime, 0.2f, 1e-6);
}

}  // namespace
