// The HUD's bars, indicators, icons and items: their quads and texture windows for the fractions
// that matter, the values the frame feeds them from the player and the level, the stored
// rectangle, camera switches and teardown.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "client/present/camera_set.h"
#include "engine/core/sg_registry.h"
#include "tests/client/present/hud_fixture.h"
#include "tests/engine/support/sg_stream_cases.h"

namespace {

using namespace present;
// The presentation's own, not the game's forwarders of the same names.
using present::GetHudUpdateFlag;
using present::SetHudItemIcon;
using present::SetHudUpdateFlag;
using present::SetPanelRedrawFlag;
using hudtest::ExpectQuad;
using hudtest::HudTest;
using hudtest::Quad;

constexpr float Y(int pixel) { return static_cast<float>(600 - pixel) / 600.0f; }
constexpr float X(int pixel) { return static_cast<float>(pixel) / 800.0f; }

SgTextureProperty* TextureOf(SgScreenPolygon* p) {
    SgTextureProperty* found = nullptr;
    int count = 0;
    for (SgProperty* property : p->properties)
        if (property->PropertyType() == SG_TEXTURE_PROPERTY) {
            found = static_cast<SgTextureProperty*>(property);
            ++count;
        }
    EXPECT_LE(count, 1);
    return found;
}

class ScreenPolysTest : public HudTest {
protected:
    void CreateAll() {
        SetGameValue(4, 1);
        CreateScreenPolys();
    }
};

TEST_F(ScreenPolysTest, BarsGrowOutwardFromTheMiddle) {
    CreateAll();
    struct Case {
        int bar;
        float fraction;
        Quad fill, rest;
    };
    const float T0 = Y(11), B0 = Y(19), T1 = Y(21), B1 = Y(29);
    const Case kCases[] = {
        {0, 0.25f, {0.37f, T0, 0.42f, B0, 0.75f, 0, 1, 0.5f}, {0.22f, T0, 0.37f, B0, 0, 0.5f, 0.75f, 1}},
        {1, 0.25f, {0.37f, T1, 0.42f, B1, 0.75f, 0, 1, 0.5f}, {0.22f, T1, 0.37f, B1, 0, 0.5f, 0.75f, 1}},
        {2, 0.25f, {0.58f, T0, 0.63f, B0, 0, 0, 0.25f, 0.5f}, {0.63f, T0, 0.78f, B0, 0.25f, 0.5f, 1, 1}},
        {3, 0.25f, {0.58f, T1, 0.63f, B1, 0, 0, 0.25f, 0.5f}, {0.63f, T1, 0.78f, B1, 0.25f, 0.5f, 1, 1}},
        // Held to 0..1.
        {0, 1.5f, {0.22f, T0, 0.42f, B0, 0, 0, 1, 0.5f}, {0.22f, T0, 0.22f, B0, 0, 0.5f, 0, 1}},
        {2, -0.5f, {0.58f, T0, 0.58f, B0, 0, 0, 0, 0.5f}, {0.58f, T0, 0.78f, B0, 0, 0.5f, 1, 1}},
        {3, std::nanf(""), {0.58f, T1, 0.58f, B1, 0, 0, 0, 0.5f}, {0.58f, T1, 0.78f, B1, 0, 0.5f, 1, 1}},
    };
    for (const Case& c : kCases) {
        SetStatusBar(c.bar, c.fraction);
        const std::string what = "bar " + std::to_string(c.bar) + " at " + std::to_string(c.fraction);
        ExpectQuad(Hud().statusBar[c.bar][0].Get(), c.fill, (what + " fill").c_str());
        ExpectQuad(Hud().statusBar[c.bar][1].Get(), c.rest, (what + " rest").c_str());
    }
    SetStatusBar(4, 0.5f);  // no such bar
    SetStatusBar(-1, 0.5f);
}

TEST_F(ScreenPolysTest, ElementsAreBuiltWithTheirWindowsAndMapProperties) {
    CreateAll();
    SgScreenPolygon* fill = Hud().statusBar[2][0].Get();
    ExpectQuad(fill, Quad{0.58f, Y(11), 0.78f, Y(19), 0, 0, 1, 0.5f}, "power fill as built");
    ExpectQuad(Hud().statusBar[2][1].Get(), Quad{0.58f, Y(11), 0.78f, Y(19), 0, 0.5f, 1, 1}, "power rest as built");
    ExpectQuad(Hud().nexus[1][0].Get(), Quad{X(380), Y(2), X(420), Y(42), 0, 0, 0.25f, 0.5f}, "nexus as built");
    ExpectQuad(Hud().team.Get(), Quad{X(4), Y(564), X(36), Y(596), 0.25f, 0, 0.5f, 1}, "team 1");
    for (int k = 0; k < 4; ++k)
        ExpectQuad(Hud().earth[k].Get(), Quad{X(134), Y(2), X(174), Y(42), 0, 0, 1, 1}, "earth as built");
    ExpectQuad(Hud().node[1].Get(), Quad{X(626), Y(2), X(666), Y(42), 0, 0, 0.25f, 1}, "node as built");
    // Rectangles kept for the updates: items in two columns of four, 44 pixels apart.
    struct Place {
        SgScreenPolygon* polygon;
        HudRect rect;
    };
    const Place kPlaces[] = {{Hud().items[0].Get(), {4, 44, 44, 84}},       {Hud().items[3].Get(), {4, 176, 44, 216}},
                             {Hud().items[4].Get(), {48, 44, 88, 84}},      {Hud().items[5].Get(), {48, 88, 88, 128}},
                             {Hud().nexus[2][0].Get(), {422, 2, 462, 42}},  {Hud().statusBar[1][0].Get(), {176, 21, 336, 29}},
                             {Hud().statusBar[3][0].Get(), {464, 21, 624, 29}}, {Hud().earth[0].Get(), {134, 2, 174, 42}}};
    for (const Place& p : kPlaces) {
        const HudRect* r = ScreenPolyRect(p.polygon);
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(r->left, p.rect.left);
        EXPECT_EQ(r->top, p.rect.top);
        EXPECT_EQ(r->right, p.rect.right);
        EXPECT_EQ(r->bottom, p.rect.bottom);
    }
    // The rectangle rides on the first polygon only; both polygons share one texture.
    ASSERT_NE(ScreenPolyRect(fill), nullptr);
    EXPECT_EQ(ScreenPolyRect(fill)->left, 464);
    EXPECT_EQ(ScreenPolyRect(fill)->bottom, 19);
    EXPECT_EQ(ScreenPolyRect(Hud().statusBar[2][1].Get()), nullptr);
    EXPECT_EQ(TextureOf(fill), HudTextures().bars[2].Get());
    EXPECT_EQ(TextureOf(Hud().statusBar[2][1].Get()), HudTextures().bars[2].Get());
    EXPECT_STREQ(HudTextures().bars[2]->CurrentImage()->FileName(), "power.bmp");
    // The node indicator draws with the earth indicator's texture.
    EXPECT_EQ(TextureOf(Hud().node[0].Get()), HudTextures().earth.Get());
    EXPECT_EQ(TextureOf(Hud().earth[3].Get()), HudTextures().earth.Get());
    for (SgProperty* property : fill->properties)
        if (property->PropertyType() == SG_TEXTURE_MODE_PROPERTY)
            EXPECT_EQ(static_cast<SgTextureModeProperty*>(property)->filterMode, 1u);
    EXPECT_EQ(fill->Colors()[2].a, 0.5f);
}

TEST_F(ScreenPolysTest, NexusFullAndEmptyShowTheLowerHalf) {
    CreateAll();
    const float L = X(338), R = X(378), T = Y(2), B = Y(42);
    struct Case {
        float fraction;
        Quad fill, rest;
    };
    const Case kCases[] = {
        {0.0f, {L, B, R, B, 0.5f, 0.5f, 0.75f, 0.5f}, {L, T, R, B, 0, 0.5f, 0.25f, 1}},
        {0.5f, {L, Y(22), R, B, 0.5f, 0.25f, 0.75f, 0.5f}, {L, T, R, Y(22), 0, 0, 0.25f, 0.25f}},
        {1.0f, {L, T, R, B, 0.5f, 0.5f, 0.75f, 1}, {L, T, R, T, 0, 0, 0.25f, 0}},
    };
    for (const Case& c : kCases) {
        SetNexusIndicator(0, 2, c.fraction);
        const std::string what = "nexus at " + std::to_string(c.fraction);
        ExpectQuad(Hud().nexus[0][0].Get(), c.fill, (what + " fill").c_str());
        ExpectQuad(Hud().nexus[0][1].Get(), c.rest, (what + " rest").c_str());
    }
}

TEST_F(ScreenPolysTest, EarthSharesSplitTheWidth) {
    CreateAll();
    const float L = X(134), R = X(174), T = Y(2), B = Y(42);
    struct Case {
        float n, a, b, c;
        Quad neutral, team1, team2, team3;
    };
    const float x1 = L + 0.025f, x2 = L + 0.05f * 5 / 6;
    const Case kCases[] = {
        {0.4f, 0.3f, 0.2f, 0.1f,
         {L, T, R, Y(18), 0, 0, 0.25f, 0.4f},
         {L, Y(18), x1, B, 0.25f, 0.4f, 0.375f, 1},
         {x1, Y(18), x2, B, 0.625f, 0.4f, 0.5f + 0.25f * 5 / 6, 1},
         {x2, Y(18), R, B, 0.75f + 0.25f * 5 / 6, 0.4f, 1, 1}},
        // Nobody holds anything: the teams' polygons have no width.
        {1.0f, 0, 0, 0,
         {L, T, R, B, 0, 0, 0.25f, 1},
         {L, B, L, B, 0.25f, 1, 0.25f, 1},
         {L, B, L, B, 0.5f, 1, 0.5f, 1},
         {L, B, L, B, 0.75f, 1, 0.75f, 1}},
        {0.5f, 0, 0, 0,
         {L, T, R, Y(22), 0, 0, 0.25f, 0.5f},
         {L, Y(22), L, B, 0.25f, 0.5f, 0.25f, 1},
         {L, Y(22), L, B, 0.5f, 0.5f, 0.5f, 1},
         {L, Y(22), L, B, 0.75f, 0.5f, 0.75f, 1}},
        // Only team 3.
        {0, 0, 0, 1,
         {L, T, R, T, 0, 0, 0.25f, 0},
         {L, T, L, B, 0.25f, 0, 0.25f, 1},
         {L, T, L, B, 0.5f, 0, 0.5f, 1},
         {L, T, R, B, 0.75f, 0, 1, 1}},
    };
    for (const Case& c : kCases) {
        SetEarthIndicator(c.n, c.a, c.b, c.c);
        const std::string what = "earth " + std::to_string(c.n) + "/" + std::to_string(c.a);
        ExpectQuad(Hud().earth[0].Get(), c.neutral, (what + " neutral").c_str());
        ExpectQuad(Hud().earth[1].Get(), c.team1, (what + " team 1").c_str());
        ExpectQuad(Hud().earth[2].Get(), c.team2, (what + " team 2").c_str());
        ExpectQuad(Hud().earth[3].Get(), c.team3, (what + " team 3").c_str());
    }
}

TEST_F(ScreenPolysTest, NodeIndicatorShowsTheOwnersColumnFromTheBottom) {
    CreateAll();
    SetNodeIndicator(0.5f, 0.25f);
    const float L = X(626), R = X(666), T = Y(2), B = Y(42);
    ExpectQuad(Hud().node[0].Get(), Quad{L, T, R, Y(32), 0, 0, 0.25f, 0.75f}, "upper");
    ExpectQuad(Hud().node[1].Get(), Quad{L, Y(32), R, B, 0.5f, 0.75f, 0.75f, 1}, "lower");
}

TEST_F(ScreenPolysTest, IconsPickTheirAtlasAndCell) {
    CreateAll();
    SgScreenPolygon* item = Hud().items[2].Get();
    const Quad place{X(4), Y(132), X(44), Y(172), 0, 0, 0, 0};
    struct Case {
        int icon, atlas;
        float u, v;
    };
    const Case kCases[] = {{16, 0, 0.75f, 0.75f}, {17, 1, 0, 0}, {1, 0, 0, 0}, {64, 3, 0.75f, 0.75f}, {38, 2, 0.25f, 0.25f}};
    for (const Case& c : kCases) {
        SetHudItemIcon(2, c.icon);
        Quad q = place;
        q.u0 = c.u;
        q.v0 = c.v;
        q.u1 = c.u + 0.25f;
        q.v1 = c.v + 0.25f;
        ExpectQuad(item, q, ("icon " + std::to_string(c.icon)).c_str());
        EXPECT_EQ(TextureOf(item), HudTextures().icons[c.atlas].Get()) << c.icon;
    }
    // Hiding collapses the quad and leaves the texture as it was; 0 and numbers above 64 hide too.
    for (int icon : {-1, 0, 65}) {
        SetHudItemIcon(2, 17);
        SetHudItemIcon(2, icon);
        const Quad q = hudtest::QuadOf(item);
        EXPECT_EQ(q.left, 0.0f) << icon;
        EXPECT_EQ(q.top, 0.0f) << icon;
        EXPECT_EQ(q.right, 0.0f) << icon;
        EXPECT_EQ(q.bottom, 0.0f) << icon;
        EXPECT_EQ(TextureOf(item), HudTextures().icons[1].Get()) << icon;
    }
    SetHudItemIcon(8, 3);  // no such item
    SetHudItemIcon(-1, 3);
    // An atlas that was never made: the item shows untextured.
    DestroyHudIcon(3);
    SetHudItemIcon(2, 50);
    EXPECT_EQ(TextureOf(item), nullptr);
}

TEST_F(ScreenPolysTest, FrameFeedsBarsAndIndicatorsFromThePlayerAndLevel) {
    CreateAll();
    SetGameValue(107, 30);
    SetGameValue(108, 120);  // maximum hit points
    SetGameValue(109, 500);
    SetGameValue(110, 100);  // maximum power: held at full
    SetGameValue(111, 7);
    SetGameValue(112, 0);    // no maximum fatigue: empty, not a division by zero
    g_level.shrines[0] = ShrineDef{};
    g_level.shrines[0].found = 1;
    g_level.shrines[0].alignment = 2;
    g_level.shrines[0].bias = 50;
    g_level.shrines[1].found = 1;
    g_level.shrines[1].alignment = 1;
    g_level.shrines[1].bias = 100;
    UpdateScreenPolys();
    EXPECT_NEAR(hudtest::QuadOf(Hud().statusBar[0][0].Get()).u0, 0.75f, 1e-6);
    EXPECT_NEAR(hudtest::QuadOf(Hud().statusBar[1][0].Get()).u0, 1.0f, 1e-6);
    EXPECT_NEAR(hudtest::QuadOf(Hud().statusBar[2][0].Get()).u1, 1.0f, 1e-6);
    // Indicator i shows team i + 1; team 3 holds none of the first three nexuses: empty.
    EXPECT_NEAR(hudtest::QuadOf(Hud().nexus[0][0].Get()).v1, 1.0f, 1e-6);   // full
    EXPECT_NEAR(hudtest::QuadOf(Hud().nexus[0][0].Get()).u0, 0.25f, 1e-6);
    EXPECT_NEAR(hudtest::QuadOf(Hud().nexus[1][0].Get()).v0, 0.25f, 1e-6);  // half
    EXPECT_NEAR(hudtest::QuadOf(Hud().nexus[2][1].Get()).v1, 1.0f, 1e-6);   // empty

    // The earth indicator: team 1's nexus reaches an earthnode worth 30 %, team 2's one worth
    // 10 %; neutral holds the other 60 %.
    for (int link = 0; link < 5; ++link)
        g_level.shrines[0].link[link] = g_level.shrines[1].link[link] = -1;
    g_level.shrines[1].link[0] = 3;
    g_level.shrines[0].link[0] = 4;
    const struct {
        int node, owner, weight;
    } nodes[] = {{3, 1, 30}, {4, 2, 10}};
    for (const auto& n : nodes) {
        EarthnodeDef& e = g_level.earthnodes[n.node];
        e = EarthnodeDef{};
        e.found = 1;
        e.owner = n.owner;
        e.bias = 100;
        e.weight = n.weight;
        for (int& link : e.link)
            link = -1;
    }
    UpdateScreenPolys();
    const float L = X(134), R = X(174);
    EXPECT_NEAR(hudtest::QuadOf(Hud().earth[0].Get()).v1, 0.6f, 1e-5);
    EXPECT_NEAR(hudtest::QuadOf(Hud().earth[1].Get()).right, L + (R - L) * 0.75f, 1e-5);  // 30 of the 40
    EXPECT_NEAR(hudtest::QuadOf(Hud().earth[2].Get()).right, R, 1e-5);
    EXPECT_NEAR(hudtest::QuadOf(Hud().earth[3].Get()).left, R, 1e-5);
}

TEST_F(ScreenPolysTest, NodeUnderThePlayer) {
    CreateAll();
    const int cx = 10, cy = 20, cell = CellIndex(cx, cy);
    g_level.earthnodes[5].found = 1;
    g_level.earthnodes[5].owner = 3;
    g_level.earthnodes[5].bias = 60;
    g_level.shrines[2].found = 1;
    g_level.shrines[2].alignment = 1;
    g_level.shrines[2].bias = 100;
    struct Case {
        const char* what;
        int code, feet, split, x;
        float u, f;
    };
    const int inside = (cx * 64 + 5) << 16;
    g_level.earthnodes[0] = g_level.earthnodes[29] = g_level.earthnodes[5];
    g_level.shrines[0] = g_level.shrines[19] = g_level.shrines[2];
    g_level.shrines[0].bias = g_level.shrines[19].bias = 30;
    const Case kCases[] = {
        {"earthnode", 25, 10, 1000, inside, 0.75f, 0.6f},
        {"nexus", 52, 39, 1000, inside, 0.25f, 1.0f},
        {"first earthnode", 20, 10, 1000, inside, 0.75f, 0.6f},
        {"last earthnode", 49, 10, 1000, inside, 0.75f, 0.6f},
        {"first nexus", 50, 10, 1000, inside, 0.25f, 0.3f},
        {"last nexus", 69, 10, 1000, inside, 0.25f, 0.3f},
        {"below the nodes", 19, 10, 1000, inside, 0, 0},
        {"feet too high", 25, 40, 1000, inside, 0, 0},
        {"upper storey", 25, 10, 10, inside, 0, 0},
        {"inactive record", 26, 10, 1000, inside, 0, 0},
        {"no node", 70, 10, 1000, inside, 0, 0},
        {"off the grid", 25, 10, 1000, -(5 << 16), 0, 0},
        {"past the grid", 25, 10, 1000, 8192 << 16, 0, 0},
    };
    for (const Case& c : kCases) {
        g_level.cellIndex[cell] = static_cast<uint8_t>(c.code);
        g_level.plane[kPlaneStoreySplit][cell] = static_cast<int16_t>(c.split);
        player.eye_height = 50;
        view.z = 50 + c.feet;
        view.pos_x = c.x;
        view.pos_y = (cy * 64 + 5) << 16;
        UpdateScreenPolys();
        const Quad lower = hudtest::QuadOf(Hud().node[1].Get());
        EXPECT_NEAR(lower.u0, c.u, 1e-6) << c.what;
        EXPECT_NEAR(lower.v0, 1 - c.f, 1e-6) << c.what;
    }
}

TEST_F(ScreenPolysTest, CameraSwitchMovesEveryHudPolygon) {
    g_level.maxx = g_level.maxy = 127;  // every map tile
    ASSERT_EQ(SgxCreateSceenPolys(), 1);
    SelectActiveCamera(2);
    SgCamera* first = Camera();
    SetPanelShown(2, 0);  // hidden panels move too
    SelectActiveCamera(3);
    SgCamera* second = Camera();
    ASSERT_NE(first, second);
    size_t slots = 0;
    auto count = [&](SgScreenPolygon* p) {
        if (!p)
            return;
        ++slots;
        EXPECT_LT(first->ScreenPolygonList().Find(p), 0);
        EXPECT_GE(second->ScreenPolygonList().Find(p), 0);
    };
    for (auto& bar : Hud().statusBar)
        for (auto& p : bar)
            count(p.Get());
    for (auto& n : Hud().nexus)
        for (auto& p : n)
            count(p.Get());
    count(Hud().team.Get());
    for (auto& p : Hud().items)
        count(p.Get());
    for (auto& p : Hud().panels)
        count(p.Get());
    for (auto& p : Hud().earth)
        count(p.Get());
    for (auto& p : Hud().node)
        count(p.Get());
    for (auto& p : Hud().mapTiles)
        count(p.Get());
    EXPECT_EQ(slots, 8u + 6 + 1 + 8 + 19 + 4 + 2 + 12);
}

TEST_F(ScreenPolysTest, DestroyDetachesFromTheActiveCameraFirst) {
    CreateAll();
    AttachHudToCamera(Camera());
    SgRef<SgScreenPolygon> fill = Hud().statusBar[1][0], item = Hud().items[5];
    ASSERT_GE(Camera()->ScreenPolygonList().Find(fill.Get()), 0);
    DestroyStatusBar(1);
    DestroyHudItem(5);
    EXPECT_LT(Camera()->ScreenPolygonList().Find(fill.Get()), 0);
    EXPECT_LT(Camera()->ScreenPolygonList().Find(item.Get()), 0);
    EXPECT_FALSE(Hud().statusBar[1][0]);
    EXPECT_FALSE(HudTextures().bars[1]);
    // Only the test's references are left.
    EXPECT_EQ(fill->RefCount(), 1u);
    SetStatusBar(1, 0.5f);  // gone: nothing happens
    DestroyStatusBar(1);
    DestroyEarthIndicator();
    EXPECT_FALSE(HudTextures().earth);
}

TEST(ScreenPolyExtraData, StoredAsFourWordsAfterTheBaseRecord) {
    EXPECT_NE(SgClassRegistry::FindExtraCreateFunction("SgScreenPolyExtraData"), nullptr);
    const SgVec3 corners[4] = {};
    SgRef<SgScreenPolygon> polygon(new SgScreenPolygon(4, corners, nullptr, nullptr));
    polygon->SetExtraHead(new SgScreenPolyExtraData(HudRect{134, 2, 174, -42}));
    const std::vector<uint8_t> bytes = SaveAsTopLevel(polygon.Get());
    const std::vector<uint8_t> golden = {
        21,  0,   0,   0,   'S', 'g', 'S', 'c', 'r', 'e', 'e', 'n', 'P', 'o', 'l', 'y', 'E', 'x', 't', 'r', 'a',
        'D', 'a', 't', 'a', 0,   0,   0,   0,   134, 0,   0,   0,   2,   0,   0,   0,   174, 0,   0,   0,   0xD6,
        0xFF, 0xFF, 0xFF};
    auto at = std::search(bytes.begin(), bytes.end(), golden.begin(), golden.end());
    EXPECT_NE(at, bytes.end());
    SgRef<SgObject> loaded = LoadSingleTopLevel(bytes);
    ASSERT_TRUE(loaded);
    const HudRect* rect = ScreenPolyRect(static_cast<SgScreenPolygon*>(loaded.Get()));
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->left, 134);
    EXPECT_EQ(rect->top, 2);
    EXPECT_EQ(rect->right, 174);
    EXPECT_EQ(rect->bottom, -42);
}

}  // namespace

namespace {

// A pixel as 0xRRGGBB, whatever layout the reader chose.
int Rgb(const SgRawImageData& raw, uint32_t x, uint32_t y) {
    const uint8_t* p = raw.Row(y) + x * raw.BytesPerPixel();
    if (raw.Format() == SgRawImageData::kPalettized)
        p = raw.Palette() + p[0] * 4;
    return p[0] << 16 | p[1] << 8 | p[2];
}

int Brightness(const SgRawImageData& raw, uint32_t x, uint32_t y) {
    const int c = Rgb(raw, x, y);
    return (c >> 16) + (c >> 8 & 255) + (c & 255);
}

// The pixels of an area, row by row.
std::vector<int> Area(const SgRawImageData& raw, uint32_t x0, uint32_t y0, uint32_t w, uint32_t h) {
    std::vector<int> v;
    for (uint32_t y = y0; y < y0 + h; ++y)
        for (uint32_t x = x0; x < x0 + w; ++x)
            v.push_back(Rgb(raw, x, y));
    return v;
}

TEST(SampleHudBitmaps, ReadableWithTheirLayouts) {
    const std::string root = SAMPLE_INSTALL_DIR;
    auto read = [&](const char* name) -> const SgRawImageData* {
        const SgRawImageData* raw = SgImage::FormatIfReadable((root + "/" + name).c_str());
        EXPECT_NE(raw, nullptr) << name;
        if (raw) {
            EXPECT_NE(SgImage::MipLevelCount(raw->Width(), raw->Height()), 0u) << name << ": sides of powers of two";
            EXPECT_EQ(raw->Width() % 4, 0u) << name;
        }
        return raw;
    };
    // Bars: the filled look above is brighter than the empty look below, across the width.
    for (const char* bar : {"health.bmp", "fatigue.bmp", "power.bmp", "ley.bmp"}) {
        const SgRawImageData* raw = read(bar);
        if (!raw)
            continue;
        for (uint32_t x : {4u, raw->Width() / 2, raw->Width() - 5})
            EXPECT_GT(Brightness(*raw, x, raw->Height() / 4), Brightness(*raw, x, raw->Height() * 3 / 4) + 60)
                << bar << " at " << x;
    }
    // Four columns, one look each: neutral and the three teams.
    for (const char* columns : {"nexus1.bmp", "nexus2.bmp", "nexus3.bmp", "team.bmp", "earth.bmp"}) {
        const SgRawImageData* raw = read(columns);
        if (!raw)
            continue;
        const uint32_t w = raw->Width() / 4;
        for (uint32_t i = 0; i < 4; ++i)
            for (uint32_t j = i + 1; j < 4; ++j)
                EXPECT_NE(Area(*raw, i * w, 0, w, raw->Height()), Area(*raw, j * w, 0, w, raw->Height()))
                    << columns << " columns " << i << " and " << j;
    }
    // Icon atlases: 4 x 4 cells, each with its own number, so no two cells are alike.
    for (const char* atlas : {"icon0.bmp", "icon1.bmp", "icon2.bmp", "icon3.bmp"}) {
        const SgRawImageData* raw = read(atlas);
        if (!raw)
            continue;
        ASSERT_EQ(raw->Width(), raw->Height()) << atlas;
        const uint32_t cell = raw->Width() / 4;
        std::vector<std::vector<int>> looks;
        for (uint32_t n = 0; n < 16; ++n) {
            const std::vector<int> look = Area(*raw, n % 4 * cell, n / 4 * cell, cell, cell);
            for (size_t m = 0; m < looks.size(); ++m)
                EXPECT_NE(look, looks[m]) << atlas << " cells " << m << " and " << n;
            looks.push_back(look);
        }
    }
}

}  // namespace
