#include <gtest/gtest.h>

#include <cstdint>

#include "client/arena/thin.h"
#include "client/core/game_values.h"
#include "tests/client/arena/level_fixture.h"

namespace {

using Thins = LevelFixture;

TEST_F(Thins, PlacingChecksTheEndsAndRaisesTheCount) {
    struct Case {
        int x1, y1, x2, y2, placed;
    } cases[] = {
        {0, 0, 8191, 8191, 1}, {100, 100, 100, 100, 0}, {-1, 10, 50, 10, 0},
        {10, 10, 8192, 10, 0}, {10, 10, 10, 8192, 0},
    };
    for (const Case& c : cases) {
        int slot = AllocThinSlot(THIN_PLAIN);
        Thin& t = ThinTable[slot];
        t.x1 = c.x1;
        t.y1 = c.y1;
        t.x2 = c.x2;
        t.y2 = c.y2;
        EXPECT_EQ(PlaceThin(slot), c.placed) << c.x1 << "," << c.y1 << " " << c.x2 << "," << c.y2;
        EXPECT_EQ(t.active == 1, c.placed == 1);
    }
    EXPECT_EQ(ThinCount, 2);
    int a = MakeThin(10, 10, 20, 10);
    int b = MakeThin(10, 20, 20, 20);
    EXPECT_EQ(ThinCount, b + 1);
    DestroyThin(b);
    EXPECT_EQ(ThinCount, a + 1);
}

TEST_F(Thins, AFullTableGivesNoSlot) {
    for (int s = 1; s < kThinSlots; ++s)
        ThinTable[s].active = 1;
    EXPECT_EQ(AllocThinSlot(THIN_SPELL), 0);
    ThinTable[321].active = 0;
    EXPECT_EQ(AllocThinSlot(THIN_SPELL), 321);
    EXPECT_EQ(ThinTable[321].kind, THIN_SPELL);
    for (int s = 1; s < kThinSlots; ++s)
        ThinTable[s].active = 0;
}

TEST_F(Thins, WallModelsAndEffectFigures) {
    int slot = AllocThinSlot(THIN_PLAIN);
    Thin& t = ThinTable[slot];
    t.x1 = 100;
    t.y1 = 200;
    t.x2 = 300;
    t.y2 = 200;
    t.base_z = 10;
    t.height = 50;
    t.texture = 4;
    t.transparent = 1;
    ASSERT_EQ(PlaceThin(slot), 1);
    EXPECT_EQ(present.Named("PlaceThinWalls")[0], "PlaceThinWalls(100, 200, 10, 300, 200, 60, 4, 1, 1)");
    EXPECT_EQ(t.model, 1);

    int effect = AllocThinSlot(THIN_SPELL);
    ThinTable[effect] = ThinTable[slot];
    ThinTable[effect].model = 0;
    ThinTable[effect].effect_number = 5;
    ThinTable[effect].texture = 0;
    ASSERT_EQ(PlaceThin(effect), 1);
    EXPECT_EQ(present.Count("PlaceThinWalls"), 1u) << "an effect figure replaces the wall model";
    EXPECT_EQ(present.Named("CreateFigureForObject")[0], "CreateFigureForObject(5, null, 0.01)");
    EXPECT_EQ(present.Count("ShowObjectFigure"), 1u);

    present.calls.clear();
    DestroyThin(slot);
    DestroyThin(effect);
    EXPECT_EQ(present.Names(), (std::vector<std::string>{"RemoveThinModel", "RemoveObjectFigure"}));
    EXPECT_EQ(t.model, 0);
}

TEST_F(Thins, TexturesAboveAThousandGoOnlyThroughTheTextureMap) {
    g_textures.map[101] = 12;
    struct Case {
        int given, placed;
    } cases[] = {{7, 7}, {1101, 12}, {1102, 0}, {1999, 0}, {300, 0}, {-4, 0}, {249, 249}, {250, 0}};
    for (const Case& c : cases)
        EXPECT_EQ(TranslateTexture(c.given), c.placed) << c.given;
}

TEST_F(Thins, AStepCrossesAThinWithinItsEndsAndItsHeight) {
    int slot = MakeThin(1000, 1000, 1100, 1000, THIN_PLAIN, 64);  // along x, base 0, 64 high
    auto fx = [](int v) { return v << 16; };
    struct Case {
        int z, x0, y0, x1, y1, radius, crosses;
        const char* what;
    } cases[] = {
        {10, 1050, 990, 1050, 1010, 0, 1, "straight through the middle"},
        {10, 1050, 990, 1050, 999, 0, 0, "stops short"},
        {10, 1050, 990, 1050, 1000, 0, 1, "ends exactly on the line"},
        {10, 990, 990, 990, 1010, 0, 0, "beside the first end"},
        {10, 990, 990, 990, 1010, 16, 1, "beside the first end, within the radius"},
        {10, 1101, 990, 1101, 1010, 0, 0, "one past the second end"},
        {65, 1050, 990, 1050, 1010, 0, 0, "above the top"},
        {65, 1050, 990, 1050, 1010, 1, 1, "above the top within the radius"},
        {-1, 1050, 990, 1050, 1010, 0, 0, "below the base"},
        {10, 1050, 1010, 1050, 990, 0, 1, "from the other side"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IntersectThin(fx(c.z), fx(c.x0), fx(c.y0), fx(c.x1), fx(c.y1), slot, c.radius), c.crosses) << c.what;

    // Far ends: the products need more than 32 bits.
    int diagonal = MakeThin(0, 0, 8191, 8191);
    EXPECT_EQ(IntersectThin(fx(10), fx(8000), fx(100), fx(100), fx(8000), diagonal, 0), 1);
    EXPECT_EQ(IntersectThin(fx(10), fx(8000), fx(100), fx(7000), fx(200), diagonal, 0), 0);
}

TEST_F(Thins, DamageReachesEveryMemberOfTheGroupOnce) {
    int ids[4];
    for (int k = 0; k < 4; ++k) {
        int s = MakeThin(100 + k * 10, 100, 100 + k * 10, 200, THIN_SPELL);
        ThinTable[s].id = 2000 + k;
        ThinTable[s].hit_points = k == 2 ? 0 : 30;
        ids[k] = s;
    }
    for (int s : ids)
        for (int k = 0; k < 4; ++k)
            ThinTable[s].group[k] = 2000 + k;
    DamageThin(ids[1], 10);
    EXPECT_EQ(ThinTable[ids[0]].hit_points, 20);
    EXPECT_EQ(ThinTable[ids[1]].hit_points, 20);
    EXPECT_EQ(ThinTable[ids[2]].hit_points, 0) << "a thin without hit points cannot be harmed";
    EXPECT_EQ(ThinTable[ids[3]].hit_points, 20);
    DamageThin(ids[0], 25);
    EXPECT_NE(ThinTable[ids[0]].active, 1);
    EXPECT_NE(ThinTable[ids[3]].active, 1);
    EXPECT_EQ(ThinTable[ids[2]].active, 1);
}

TEST_F(Thins, WallLimitGrowsWithLevel) {
    struct Case {
        int level, walls, reached;
    } cases[] = {{1, 3, 0}, {1, 4, 1}, {25, 11, 0}, {25, 12, 1}, {0, 4, 1}};
    for (const Case& c : cases) {
        ClearThins();
        SetGameValue(0, c.level);
        SetGameValue(118, 42);
        for (int k = 0; k < c.walls; ++k)
            ThinTable[MakeThin(10, 10 + k, 20, 10 + k)].owner = 42;
        ThinTable[MakeThin(10, 500, 20, 500)].owner = 43;
        EXPECT_EQ(CountOwnWalls(), c.reached) << "level " << c.level << " walls " << c.walls;
    }
}

TEST_F(Thins, RisingWallsFadingAndLifetimes) {
    int rising = MakeThin(100, 100, 200, 100);
    ThinTable[rising].height = 10;
    ThinTable[rising].target_height = 100;
    int fading = MakeThin(100, 300, 200, 300);
    ThinTable[fading].fade = 50;
    ThinTable[fading].base_color = 7;
    ThinTable[fading].color = 3;
    int dying = MakeThin(100, 500, 200, 500);
    ThinTable[dying].life_timer = 150;
    UpdateThins(5000);  // half a second
    EXPECT_EQ(ThinTable[rising].height, 60);
    EXPECT_EQ(ThinTable[fading].fade, 0);
    EXPECT_EQ(ThinTable[fading].color, 7);
    EXPECT_NE(ThinTable[dying].active, 1);
    UpdateThins(6000);
    EXPECT_EQ(ThinTable[rising].height, 100);
    EXPECT_EQ(ThinTable[rising].target_height, 0);
}

// Heights come from spell data: a wall far below its target still rises and stops at it.
TEST_F(Thins, ARiseFromTheBottomOfTheRangeStopsAtTheTarget) {
    int rising = MakeThin(100, 100, 200, 100);
    ThinTable[rising].height = INT32_MIN + 5;
    ThinTable[rising].target_height = INT32_MAX;
    UpdateThins(20000);
    EXPECT_EQ(ThinTable[rising].height, INT32_MAX);
    EXPECT_EQ(ThinTable[rising].target_height, 0);
}

TEST_F(Thins, IdsAreFoundAmongActiveThinsOnly) {
    int a = MakeThin(10, 10, 20, 10);
    ThinTable[a].id = 3000;
    int b = MakeThin(10, 30, 20, 30);
    ThinTable[b].id = 3001;
    DestroyThin(b);
    MakeThin(10, 50, 20, 50);
    EXPECT_EQ(FindThinSlot(3000), a);
    EXPECT_EQ(FindThinSlot(3001), -1);
    int id = NewThinId();
    EXPECT_GE(id, 1024);
    EXPECT_LE(id, 4095);
}

}  // namespace
