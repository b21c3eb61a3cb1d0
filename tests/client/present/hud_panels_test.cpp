// The HUD panels: the redraw flags, panel and tile creation and copies, the map palette and both
// map layouts (reads held inside the map buffer), the per-frame update over virtual frames, and
// the creation of the whole HUD.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "client/core/error_log.h"
#include "client/present/crosshair.h"
#include "platform/win/platform.h"
#include "tests/client/present/hud_fixture.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace present;
// The presentation's own, not the game's forwarders of the same names.
using present::GetHudUpdateFlag;
using present::SetHudItemIcon;
using present::SetHudUpdateFlag;
using present::SetPanelRedrawFlag;
using hudtest::HudTest;
using hudtest::Quad;

using Ints = std::vector<int>;

SgProperty* PropertyOfType(SgScreenPolygon* p, int type) {
    for (SgProperty* property : p->properties)
        if (property->PropertyType() == type)
            return property;
    return nullptr;
}

// ---- Flags and shown states ----

TEST_F(HudTest, RedrawFlagsReadAndSet) {
    HudPanelState fresh;
    for (int i = 0; i < kHudPanels; ++i) {
        EXPECT_EQ(fresh.redrawFlags[i], 1) << i;
        EXPECT_EQ(fresh.panelShown[i], -1) << i;
    }
    for (int i = 0; i < kHudMapTiles; ++i)
        EXPECT_EQ(fresh.tileShown[i], -1) << i;
    EXPECT_EQ(fresh.updateSwitch, 1);

    std::fill(std::begin(HudPanels().redrawFlags), std::end(HudPanels().redrawFlags), 0);
    EXPECT_EQ(SetPanelRedrawFlag(-1, 0), 0);
    for (int i = 0; i < kHudPanels; ++i)
        EXPECT_EQ(HudPanels().redrawFlags[i], 1) << i;
    EXPECT_EQ(SetPanelRedrawFlag(5, 0), 1);
    EXPECT_EQ(SetPanelRedrawFlag(5, 0), 0);
    EXPECT_EQ(SetPanelRedrawFlag(19, 7), 1);
    EXPECT_EQ(SetPanelRedrawFlag(19, 0), 7);
    // Only -1 means all; other numbers outside the table change nothing.
    for (int bad : {-2, 20, 1000}) {
        EXPECT_EQ(SetPanelRedrawFlag(bad, 0), 0) << bad;
        EXPECT_EQ(HudPanels().redrawFlags[0], 1) << bad;
    }
}

TEST_F(HudTest, PanelShownPutsTheQuadOnTheCameraOnce) {
    CreatePanels();
    SgScreenPolygon* panel = Hud().panels[0].Get();
    auto count = [&] {
        int n = 0;
        auto& list = Camera()->ScreenPolygonList();
        for (uint32_t i = 0; i < list.UsedSize(); ++i)
            n += list.At(i) == panel;
        return n;
    };
    SetPanelShown(0, 1);
    EXPECT_EQ(count(), 1);
    // Attached behind its back (a camera switch does that): showing again never lists it twice.
    HudPanels().panelShown[0] = 0;
    SetPanelShown(0, 1);
    EXPECT_EQ(count(), 1);
    SetPanelShown(0, 0);
    EXPECT_EQ(count(), 0);
    EXPECT_EQ(HudPanels().panelShown[0], 0);
    // A camera switch lists hidden panels too; hiding one again is no change and leaves it.
    AttachHudToCamera(Camera());
    EXPECT_EQ(count(), 1);
    SetPanelShown(0, 0);
    EXPECT_EQ(count(), 1);
    SetPanelShown(-5, 1);
    for (int i = 0; i < kHudPanels; ++i)
        EXPECT_EQ(HudPanels().panelShown[i], -1) << i;
    SetPanelShown(20, 1);  // outside the table: nothing
    SetMapTileShown(12, 1);
}

// ---- Panels ----

TEST_F(HudTest, PanelSizesMustBePowersFrom16To256) {
    struct Case {
        int w, h, made;
    };
    const Case kCases[] = {{16, 16, 1}, {256, 256, 1}, {32, 128, 1}, {8, 16, 0}, {16, 512, 0}, {48, 16, 0},
                           {0, 16, 0},  {16, -16, 0}};
    for (const Case& c : kCases) {
        const HudRect source{0, 0, c.w, c.h};
        EXPECT_EQ(CreateScreenPanel(3, back.data(), SystemPalette, InverseColourTable, source, HudRect{0, 0, 8, 8}, 800),
                  c.made)
            << c.w << " x " << c.h;
        // The quad is there either way; only an allowed size gets a texture.
        ASSERT_TRUE(Hud().panels[3]) << c.w << " x " << c.h;
        EXPECT_EQ(PropertyOfType(Hud().panels[3].Get(), SG_TEXTURE_PROPERTY) != nullptr, c.made == 1)
            << c.w << " x " << c.h;
        EXPECT_EQ(HudPanels().panelImages[3].Get() != nullptr, c.made == 1) << c.w << " x " << c.h;
    }
}

// Before the display can make images a panel or tile gets its quad but no texture, and nothing is
// written into pixels that no image holds.
TEST_F(HudTest, WithoutImagesPanelsAndTilesStayUntextured) {
    const SgImage::Factory factory = SgImage::GetFactory();
    SgImage::SetFactory(nullptr);
    EXPECT_EQ(CreateScreenPanel(3, back.data(), SystemPalette, InverseColourTable, HudRect{0, 0, 32, 16},
                                HudRect{0, 0, 32, 16}, 800),
              0);
    EXPECT_EQ(CreateMapTile(9, HudRect{0, 32, 128, 64}, HudRect{668, 500, 796, 532}), 0);
    SgImage::SetFactory(factory);
    ASSERT_TRUE(Hud().panels[3]);
    ASSERT_TRUE(Hud().mapTiles[9]);
    EXPECT_EQ(PropertyOfType(Hud().panels[3].Get(), SG_TEXTURE_PROPERTY), nullptr);
    EXPECT_EQ(PropertyOfType(Hud().mapTiles[9].Get(), SG_TEXTURE_PROPERTY), nullptr);
    EXPECT_EQ(HudPanels().panelImages[3], nullptr);
    EXPECT_EQ(HudPanels().tileImages[9], nullptr);
    // Copies into them do nothing.
    RedrawScreenPanel(3, back.data(), InverseColourTable, HudRect{0, 0, 32, 16}, nullptr, 800);
    RedrawMapTile(9, g_screen.mapBuffer.get(), 0, 0, HudRect{0, 0, 128, 32});
}

TEST_F(HudTest, PanelConvertsEachPixelThroughTheColourTable) {
    // A 16 x 32 region at (5, 7): rows 800 pixels apart in the source.
    const HudRect source{5, 7, 21, 39}, screen{100, 200, 116, 232};
    ASSERT_EQ(CreateScreenPanel(2, back.data() + 7 * 800 + 5, SystemPalette, InverseColourTable, source, screen, 800), 1);
    SgImage* image = HudPanels().panelImages[2].Get();
    ASSERT_NE(image, nullptr);
    const SgRawImageData* raw = image->RawData();
    ASSERT_NE(raw, nullptr);
    EXPECT_EQ(raw->Format(), SgRawImageData::kPalettized);
    ASSERT_EQ(raw->Width(), 16u);
    ASSERT_EQ(raw->Height(), 32u);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 16; ++x)
            ASSERT_EQ(raw->Row(y)[x], InverseColourTable[back[(7 + y) * 800 + 5 + x]]) << x << ", " << y;
    for (int i : {0, 1, 128, 255}) {
        EXPECT_EQ(raw->Palette()[i * 4], SystemPalette[i * 3]) << i;
        EXPECT_EQ(raw->Palette()[i * 4 + 1], SystemPalette[i * 3 + 1]) << i;
        EXPECT_EQ(raw->Palette()[i * 4 + 2], SystemPalette[i * 3 + 2]) << i;
    }

    SgScreenPolygon* p = Hud().panels[2].Get();
    hudtest::ExpectQuad(p, Quad{100 / 800.f, 400 / 600.f, 116 / 800.f, 368 / 600.f, 0, 0, 1, 1}, "panel 2");
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(p->Colors()[i].r, 1.0f);
        EXPECT_EQ(p->Colors()[i].a, 0.5f);
    }
    // Texture, texture mode (3, 0, 3), z-buffer off, vertex colours 1, blending (on, 0, 3); each
    // linked at the front, so the list runs backwards.
    std::vector<int> types;
    for (SgProperty* property : p->properties)
        types.push_back(property->PropertyType());
    EXPECT_EQ(types, (Ints{SG_ALPHA_PROPERTY, SG_VERTEX_COLOR_PROPERTY, SG_ZBUFFER_PROPERTY, SG_TEXTURE_MODE_PROPERTY,
                           SG_TEXTURE_PROPERTY}));
    auto* mode = static_cast<SgTextureModeProperty*>(PropertyOfType(p, SG_TEXTURE_MODE_PROPERTY));
    EXPECT_EQ(mode->applyMode, 3u);
    EXPECT_EQ(mode->filterMode, 0u);
    EXPECT_EQ(mode->addressingMode, 3u);
    auto* z = static_cast<SgZBufferProperty*>(PropertyOfType(p, SG_ZBUFFER_PROPERTY));
    EXPECT_EQ(z->depthTest, 0);
    EXPECT_EQ(z->depthWrite, 0);
    EXPECT_EQ(static_cast<SgVertexColorProperty*>(PropertyOfType(p, SG_VERTEX_COLOR_PROPERTY))->mode, 1u);
    auto* alpha = static_cast<SgAlphaProperty*>(PropertyOfType(p, SG_ALPHA_PROPERTY));
    EXPECT_EQ(alpha->blendOn, 1);
    EXPECT_EQ(alpha->sourceBlend, 0u);
    EXPECT_EQ(alpha->destinationBlend, 3u);
    auto* texture = static_cast<SgTextureProperty*>(PropertyOfType(p, SG_TEXTURE_PROPERTY));
    EXPECT_EQ(texture->currentIndex, 0);
    EXPECT_EQ(texture->CurrentImage().Get(), image);
    const std::vector<RenderCall> precache = recording->Named("PrecacheTexture");
    ASSERT_EQ(precache.size(), 1u);
    EXPECT_EQ(precache[0].objects[0], image);
    EXPECT_EQ(precache[0].Text(), "PrecacheTexture(image#" + std::to_string(image->imageId) + ", 1, 1, 4294967295)");
}

TEST_F(HudTest, EveryPanelCopiesItsRegionToItsPlace) {
    struct Row {
        int panel, x, y, w, h;         // source in the back buffer
        int left, top, right, bottom;  // on screen
    };
    const Row kTable[] = {
        {0, 0, 250, 256, 16, 4, 544, 260, 559},      {1, 0, 250, 128, 64, 4, 496, 132, 559},
        {2, 68, 4, 64, 32, 4, 4, 68, 36},            {3, 0, 132, 128, 32, 40, 564, 168, 595},
        {4, 180, 512, 256, 32, 273, 512, 528, 544},  {5, 180, 544, 256, 32, 273, 544, 528, 576},
        {6, 180, 580, 256, 16, 273, 580, 528, 596},  {7, 0, 200, 256, 16, 272, 44, 528, 60},
        {8, 192, 384, 256, 16, 272, 492, 528, 508},  {9, 192, 368, 256, 16, 272, 476, 528, 492},
        {10, 192, 352, 256, 16, 272, 460, 528, 476}, {11, 732, 4, 64, 64, 733, 44, 796, 108},
        {12, 700, 4, 32, 128, 701, 44, 733, 172},    {13, 732, 68, 64, 64, 733, 108, 796, 172},
        {14, 732, 132, 64, 64, 733, 172, 796, 236},  {15, 700, 132, 32, 128, 701, 172, 733, 300},
        {16, 732, 196, 64, 64, 733, 236, 796, 300},  {17, 4, 4, 64, 128, 4, 224, 68, 352},
        {18, 0, 320, 64, 16, 732, 4, 796, 20},
    };
    ASSERT_EQ(SgxCreateSceenPolys(), 1);
    for (const Row& r : kTable) {
        const SgRawImageData* raw = HudPanels().panelImages[r.panel]->RawData();
        ASSERT_EQ(raw->Width(), static_cast<uint32_t>(r.w)) << r.panel;
        ASSERT_EQ(raw->Height(), static_cast<uint32_t>(r.h)) << r.panel;
        // The four corner pixels of the region.
        for (int y : {0, r.h - 1})
            for (int x : {0, r.w - 1})
                EXPECT_EQ(raw->Row(y)[x], InverseColourTable[back[(r.y + y) * 800 + r.x + x]]) << r.panel;
        hudtest::ExpectQuad(Hud().panels[r.panel].Get(),
                            Quad{r.left / 800.f, (600 - r.top) / 600.f, r.right / 800.f, (600 - r.bottom) / 600.f, 0, 0,
                                 1, 1},
                            ("panel " + std::to_string(r.panel)).c_str());
    }
}

TEST_F(HudTest, RedrawCopiesOnlyARegionOfTheImagesSize) {
    const HudRect source{0, 0, 32, 16};
    ASSERT_EQ(CreateScreenPanel(6, back.data(), SystemPalette, InverseColourTable, source, HudRect{0, 0, 32, 16}, 800), 1);
    SgImage* image = HudPanels().panelImages[6].Get();
    const uint32_t stamp = image->contentStamp;
    back[3 * 800 + 4] = 0x1234;
    RedrawScreenPanel(6, back.data(), InverseColourTable, source, nullptr, 800);
    EXPECT_EQ(image->RawData()->Row(3)[4], InverseColourTable[0x1234]);
    EXPECT_EQ(image->contentStamp, stamp + 1);

    // Another size copies nothing, but a screen rectangle still moves the quad.
    back[3 * 800 + 4] = 0x4321;
    const HudRect moved{400, 300, 432, 316};
    RedrawScreenPanel(6, back.data(), InverseColourTable, HudRect{0, 0, 64, 16}, &moved, 800);
    EXPECT_EQ(image->RawData()->Row(3)[4], InverseColourTable[0x1234]);
    EXPECT_EQ(image->contentStamp, stamp + 1);
    hudtest::ExpectQuad(Hud().panels[6].Get(), Quad{0.5f, 0.5f, 0.54f, 284 / 600.f, 0, 0, 1, 1}, "moved");
}

// ---- Map tiles ----

TEST_F(HudTest, MapPaletteIsFixed) {
    uint8_t palette[1024];
    FillMapPalette(palette);
    struct Entry {
        int index, r, g, b;
    };
    const Entry kEntries[] = {{0, 0, 0, 0},       {1, 8, 8, 8},       {31, 248, 248, 248}, {32, 255, 255, 255},
                              {33, 8, 0, 0},      {63, 248, 0, 0},    {64, 255, 0, 0},     {65, 8, 8, 0},
                              {96, 255, 255, 0},  {97, 0, 0, 8},      {127, 0, 0, 248},    {128, 0, 0, 255},
                              {129, 8, 0, 8},     {159, 248, 0, 248}, {160, 255, 0, 255},  {161, 0, 0, 0},
                              {255, 0, 0, 0}};
    for (const Entry& e : kEntries) {
        EXPECT_EQ(palette[e.index * 4], e.r) << e.index;
        EXPECT_EQ(palette[e.index * 4 + 1], e.g) << e.index;
        EXPECT_EQ(palette[e.index * 4 + 2], e.b) << e.index;
        EXPECT_EQ(palette[e.index * 4 + 3], 0) << e.index;
    }
}

class MapTileTest : public HudTest {
protected:
    void SetUp() override {
        HudTest::SetUp();
        Refill();
    }

    // Every map byte non-zero and none like its neighbours, so a row read from outside the buffer
    // (0) or from the wrong place stands out. A cycle's start draws the map over it.
    static void Refill() {
        for (int r = 0; r < 256; ++r)
            for (int c = 0; c < 256; ++c)
                g_screen.mapBuffer[r * 256 + c] = static_cast<uint8_t>(1 + (r * 3 + c) % 160);
    }

    void UseArea(int low, int high) {
        g_level.minx = g_level.miny = low;
        g_level.maxx = g_level.maxy = high;
    }

    // The bytes a tile should hold: the buffer from (row, column), 0 outside it.
    static void ExpectTileRows(int tile, int row, int column, const char* what) {
        const SgRawImageData* raw = HudPanels().tileImages[tile]->RawData();
        for (uint32_t y = 0; y < raw->Height(); ++y) {
            const int source = row + static_cast<int>(y);
            for (uint32_t x = 0; x < raw->Width(); ++x) {
                const int c = column + static_cast<int>(x);
                const int expected = source < 0 || source > 255 || c < 0 || c > 255 ? 0 : g_screen.mapBuffer[source * 256 + c];
                ASSERT_EQ(raw->Row(y)[x], expected) << what << " tile " << tile << " row " << y << " column " << x;
            }
        }
    }

    // Runs the map's copy cycle to its end; returns the tiles copied in order.
    Ints RunMapCycle() {
        Ints tiles;
        for (int frame = 0; frame < 12; ++frame) {
            for (int n : Frame(10))
                if (n >= 100)
                    tiles.push_back(n - 100);
            if (HudPanels().mapStep < 0)
                break;
        }
        return tiles;
    }
};

TEST_F(MapTileTest, TileIsPalettisedWithTheMapPaletteAndMapProperties) {
    ASSERT_EQ(CreateMapTile(9, HudRect{0, 32, 128, 64}, HudRect{668, 500, 796, 532}), 1);
    const SgRawImageData* raw = HudPanels().tileImages[9]->RawData();
    EXPECT_EQ(raw->Width(), 128u);
    EXPECT_EQ(raw->Height(), 32u);
    EXPECT_EQ(raw->Row(31)[127], 0);
    uint8_t palette[1024];
    FillMapPalette(palette);
    EXPECT_EQ(std::memcmp(raw->Palette(), palette, 1024), 0);
    auto* mode = static_cast<SgTextureModeProperty*>(PropertyOfType(Hud().mapTiles[9].Get(), SG_TEXTURE_MODE_PROPERTY));
    EXPECT_EQ(mode->filterMode, 1u);
    // Clamped: a filtered tile's edge rows never blend with the opposite edge's.
    EXPECT_EQ(mode->addressingMode, 0u);
    EXPECT_EQ(CreateMapTile(12, HudRect{0, 0, 128, 32}, HudRect{}), 0);
    EXPECT_EQ(CreateMapTile(1, HudRect{0, 0, 100, 32}, HudRect{}), 0);
}

TEST_F(MapTileTest, WindowOnASmallMapReadsOnlyInsideTheBuffer) {
    // 30 x 30 cells at 10..39: doubled, narrower than the window, so the window's clamped edges
    // lie left of and above the map; rows above the buffer come out black.
    UseArea(10, 39);
    ASSERT_EQ(SgxCreateSceenPolys(), 1);
    view.x = view.y = 12 * 64;
    Frame(10);  // starts the cycle (window layout)
    Refill();
    EXPECT_EQ(RunMapCycle(), (Ints{8, 9, 10, 11}));
    // left = top = 2 x 39 - 126 = -48; columns and rows from -48 - 20: the map's 60 x 60 bytes
    // fill the window's lower right corner, black around them.
    for (int k = 0; k < 4; ++k)
        ExpectTileRows(8 + k, 32 * k - 68, -68, "small window");
    hudtest::ExpectQuad(Hud().mapTiles[8].Get(), Quad{668 / 800.f, 132 / 600.f, 796 / 800.f, 100 / 600.f, 0.02f, 0, 0.98f, 1},
                        "window tile 8");
}

TEST_F(MapTileTest, WindowFollowsThePlayerOnAFullMap) {
    UseArea(0, 127);
    ASSERT_EQ(SgxCreateSceenPolys(), 1);
    struct Case {
        int cellX, cellY, column, top;
    };
    // Centred in the middle, held at the far edges (2 x 127 - 126 = 128) and the near ones.
    const Case kCases[] = {{64, 40, 64, 16}, {127, 127, 128, 128}, {0, 3, 0, 0}};
    for (const Case& c : kCases) {
        view.x = c.cellX * 64 + 10;
        view.y = c.cellY * 64 + 63;
        HudPanels().mapStep = -1;
        Frame(10);
        Refill();
        EXPECT_EQ(RunMapCycle(), (Ints{8, 9, 10, 11})) << c.cellX;
        for (int k = 0; k < 4; ++k)
            ExpectTileRows(8 + k, 32 * k + c.top, c.column, "full window");
    }
    // The buffer starts at the map's low corner on each axis: columns from the low x, rows from
    // the low y.
    g_level.minx = 4;
    g_level.miny = 20;
    view.x = view.y = 64 * 64;
    HudPanels().mapStep = -1;
    Frame(10);
    Refill();
    EXPECT_EQ(RunMapCycle(), (Ints{8, 9, 10, 11}));
    for (int k = 0; k < 4; ++k)
        ExpectTileRows(8 + k, 32 * k + 64 - 40, 64 - 8, "window on a map off the corner");
}

TEST_F(MapTileTest, WholeMapUsesAtMostEightTiles) {
    UseArea(0, 127);
    MapShown = 1;
    ASSERT_EQ(SgxCreateSceenPolys(), 1);
    for (int i = 0; i < 8; ++i) {
        ASSERT_TRUE(Hud().mapTiles[i]) << i;
        hudtest::ExpectQuad(Hud().mapTiles[i].Get(),
                            Quad{540 / 800.f, (600 - 340 - 32 * i) / 600.f, 796 / 800.f, (600 - 372 - 32 * i) / 600.f, 0,
                                 0, 1, 1},
                            "whole tile");
    }
    // The window's tiles keep their places: no ninth whole-map tile took tile 8's slot.
    for (int k = 0; k < 4; ++k)
        hudtest::ExpectQuad(Hud().mapTiles[8 + k].Get(),
                            Quad{668 / 800.f, (132 - 32 * k) / 600.f, 796 / 800.f, (100 - 32 * k) / 600.f, 0, 0, 1, 1},
                            "window tile");
    MapShown = 1;
    Frame(10);  // the wanted mode was reset to unset: the first cycle is the window's
    RunMapCycle();
    MapShown = 1;
    Frame(10);  // starts the whole-map cycle
    Refill();
    EXPECT_EQ(HudPanels().mapLayout, 1);
    EXPECT_EQ(RunMapCycle(), (Ints{0, 1, 2, 3, 4, 5, 6, 7}));
    for (int i = 0; i < 8; ++i)
        ExpectTileRows(i, 32 * i, 0, "whole map");
    // w = 256: u from 0.02 to 0.98.
    hudtest::ExpectQuad(Hud().mapTiles[7].Get(), Quad{540 / 800.f, 36 / 600.f, 796 / 800.f, 4 / 600.f, 0.02f, 0, 0.98f, 1},
                        "whole tile 7");
}

TEST_F(MapTileTest, SmallWholeMapHasFewerTilesAndNarrowerU) {
    // 20 cells high: h = 40 bytes, two tiles each half the square; w = 2 x 29 + 2 - 2 x 10 = 40.
    g_level.minx = 10;
    g_level.maxx = 29;
    g_level.miny = 5;
    g_level.maxy = 24;
    MapShown = 1;
    ASSERT_EQ(SgxCreateSceenPolys(), 1);
    EXPECT_TRUE(Hud().mapTiles[1]);
    EXPECT_FALSE(Hud().mapTiles[2]);
    hudtest::ExpectQuad(Hud().mapTiles[1].Get(), Quad{540 / 800.f, 132 / 600.f, 796 / 800.f, 4 / 600.f, 0, 0, 1, 1},
                        "second half");
    MapShown = 1;
    Frame(10);
    RunMapCycle();
    MapShown = 1;
    Frame(10);
    EXPECT_EQ(RunMapCycle(), (Ints{0, 1}));
    hudtest::ExpectQuad(Hud().mapTiles[0].Get(),
                        Quad{540 / 800.f, 260 / 600.f, 796 / 800.f, 132 / 600.f, 0.02f, 0, 40 / 256.f - 0.02f, 1},
                        "narrow u");
}

TEST_F(MapTileTest, ModeSwitchWaitsForTheCycleEnd) {
    UseArea(0, 127);
    ASSERT_EQ(SgxCreateSceenPolys(), 1);
    Frame(10);  // unset -> window, cycle started
    EXPECT_EQ(MapShown, 0);
    for (int t = 8; t < 12; ++t)
        EXPECT_TRUE(TileOnCamera(t)) << t;
    for (int t = 0; t < 8; ++t)
        EXPECT_FALSE(TileOnCamera(t)) << t;
    Frame(10);
    MapShown = 1;  // the player asks for the whole map mid-cycle
    EXPECT_EQ(RunMapCycle(), (Ints{9, 10, 11}));
    EXPECT_TRUE(TileOnCamera(8));
    Frame(10);  // the next cycle starts in the new mode
    for (int t = 8; t < 12; ++t)
        EXPECT_FALSE(TileOnCamera(t)) << t;
    for (int t = 0; t < 8; ++t)
        EXPECT_TRUE(TileOnCamera(t)) << t;
    EXPECT_EQ(RunMapCycle(), (Ints{0, 1, 2, 3, 4, 5, 6, 7}));
}

// ---- The per-frame update ----

class HudUpdateTest : public HudTest {
protected:
    void SetUp() override {
        HudTest::SetUp();
        CreatePanels();
        SetPanelShown(-1, 0);
        MapShown = 0;
        // Nothing pending: each case sets what it tests.
        std::fill(std::begin(HudPanels().redrawFlags), std::end(HudPanels().redrawFlags), 0);
    }

    // Frames of 40 ms until the blink phase steps; returns the panels each frame copied.
    std::vector<Ints> UntilPhaseStep() {
        std::vector<Ints> frames;
        const int phase = HudPanels().blinkPhase;
        do
            frames.push_back(PanelFrame(40));
        while (HudPanels().blinkPhase == phase);
        return frames;
    }
};

TEST_F(HudUpdateTest, BlinkPhaseStepsAbove100Ms) {
    struct Step {
        int ms, phase, accumulator;
    };
    // 100 exactly does not step; above it the remainder is kept; a long frame steps once; 9 wraps.
    const Step kSteps[] = {{60, 0, 60}, {40, 0, 100}, {1, 1, 1}, {350, 2, 51}, {49, 2, 100}, {1, 3, 1}};
    for (const Step& step : kSteps) {
        PanelFrame(step.ms);
        EXPECT_EQ(HudPanels().blinkPhase, step.phase) << step.ms;
        EXPECT_EQ(HudPanels().blinkAccumulator, step.accumulator) << step.ms;
    }
    HudPanels().blinkPhase = 9;
    PanelFrame(100);
    EXPECT_EQ(HudPanels().blinkPhase, 0);
}

TEST_F(HudUpdateTest, ChatLineShowsInTheNextPhaseStepAndItsSecondHalfAfter) {
    PanelFrame(40);
    SetPanelRedrawFlag(kChatPanel, 1);  // a chat line was printed
    const std::vector<Ints> first = UntilPhaseStep();
    for (size_t i = 0; i + 1 < first.size(); ++i)
        EXPECT_EQ(first[i], Ints{}) << i;
    EXPECT_EQ(first.back(), Ints{4});
    const std::vector<Ints> second = UntilPhaseStep();
    EXPECT_EQ(second.back(), Ints{5});
    // The chat's own draw asked for panel 4 again; the copies served it, so nothing follows.
    for (int step = 0; step < 12; ++step)
        EXPECT_EQ(UntilPhaseStep().back(), Ints{}) << step;
}

TEST_F(HudUpdateTest, PageChangeCopiesAtOnceAndListChangeWaitsForPhaseZero) {
    HudPanels().blinkPhase = 3;
    SetPanelRedrawFlag(12, 1);
    std::vector<Ints> frames;
    for (int i = 0; i < 7; ++i)
        frames.push_back(PanelFrame(10));
    EXPECT_EQ(frames, (std::vector<Ints>{{11}, {12}, {13}, {14}, {15}, {16}, {}}));

    SetPanelRedrawFlag(11, 1);
    int framesBefore = 0;
    Ints copied;
    while (copied.empty() && framesBefore < 200) {
        copied = PanelFrame(50);
        ++framesBefore;
    }
    EXPECT_EQ(HudPanels().blinkPhase, 0);
    EXPECT_EQ(copied, Ints{11});
    EXPECT_GT(framesBefore, 10);  // phase 3 to phase 0 at 50 ms a frame
    // The list's own draw does not start another copy: without a change the list stays.
    for (int i = 0; i < 60; ++i)
        for (int n : PanelFrame(50))
            EXPECT_TRUE(n >= 12 && n <= 16) << n;
}

TEST_F(HudUpdateTest, AutomaticRefreshCopiesTheListOnceASecond) {
    LagDisplayFlag = 1;
    int sequences = 0;
    for (int i = 0; i < 60; ++i)  // 3 s
        for (int n : PanelFrame(50))
            sequences += n == 16;
    EXPECT_EQ(sequences, 3);
    LagDisplayFlag = 0;
    for (int i = 0; i < 6; ++i)
        PanelFrame(50);
    for (int i = 0; i < 40; ++i)
        EXPECT_EQ(PanelFrame(50), Ints{}) << i;
}

TEST_F(HudUpdateTest, TargetLineChoosesLineOrBlock) {
    SetPanelRedrawFlag(0, 1);
    EXPECT_EQ(PanelFrame(10), Ints{0});
    EXPECT_TRUE(PanelOnCamera(0));
    EXPECT_FALSE(PanelOnCamera(1));
    EXPECT_EQ(PanelFrame(10), Ints{});  // its own draw's request was the copy just made

    g_actionState.target_flash = 1500;
    SetPanelRedrawFlag(0, 1);
    EXPECT_EQ(PanelFrame(10), Ints{1});
    EXPECT_TRUE(PanelOnCamera(1));
    EXPECT_FALSE(PanelOnCamera(0));
}

TEST_F(HudUpdateTest, StatisticsPanelsFollowTheLevel) {
    SetPanelShown(2, 1);
    SetPanelShown(17, 1);
    SetPanelRedrawFlag(2, 1);
    UntilPhaseStep();
    EXPECT_FALSE(PanelOnCamera(2));
    EXPECT_FALSE(PanelOnCamera(17));

    g_debugLevel = 1;
    EXPECT_EQ(PanelFrame(10), Ints{2});  // its flag was still set
    EXPECT_TRUE(PanelOnCamera(2));
    UntilPhaseStep();
    EXPECT_FALSE(PanelOnCamera(17));

    g_debugLevel = 2;
    const std::vector<Ints> frames = UntilPhaseStep();
    EXPECT_EQ(frames.back(), Ints{17});  // copied in every phase step
    EXPECT_EQ(UntilPhaseStep().back(), Ints{17});
    EXPECT_TRUE(PanelOnCamera(2));
    EXPECT_TRUE(PanelOnCamera(17));
}

TEST_F(HudUpdateTest, NoticesStatusAndClockCopies) {
    SetPanelRedrawFlag(8, 1);
    SetPanelRedrawFlag(3, 1);
    SetPanelRedrawFlag(18, 1);
    SetPanelRedrawFlag(7, 1);
    SetPanelRedrawFlag(6, 1);
    EXPECT_EQ(PanelFrame(10), (Ints{6, 7}));  // every frame
    EXPECT_EQ(UntilPhaseStep().back(), (Ints{3, 8, 18}));
    EXPECT_EQ(UntilPhaseStep().back(), Ints{9});
    EXPECT_EQ(UntilPhaseStep().back(), Ints{10});
    EXPECT_EQ(UntilPhaseStep().back(), Ints{});
}

TEST_F(HudUpdateTest, SwitchOffFreezesAllButTheBlink) {
    SetHudUpdateFlag(0);
    EXPECT_EQ(GetHudUpdateFlag(), 0);
    SetPanelRedrawFlag(-1, 0);
    for (int i = 0; i < 30; ++i)
        EXPECT_EQ(Frame(50), Ints{}) << i;
    EXPECT_EQ(HudPanels().blinkPhase, 4);  // 14 steps in 1.5 s of 50 ms frames
    SetHudUpdateFlag(1);
    EXPECT_FALSE(Frame(50).empty());
}

// ---- The whole HUD ----

TEST_F(HudTest, CreationOrderAndLogLine) {
    platform::UseVirtualClock();
    TempDir dir;
    dir.Enter();
    ASSERT_TRUE(OpenErrorLog("error.log"));
    g_level.maxx = g_level.maxy = 40;  // h = 82: three whole-map tiles
    SetGameValue(4, 2);
    MapShown = 1;
    HudPanels().panelShown[4] = 1;
    ASSERT_EQ(SgxCreateSceenPolys(), 1);
    CloseErrorLog();
    platform::UseRealClock();
    EXPECT_EQ(dir.Read("error.log"), "Log File Started.\nTime to SgxCreateSceenPolys: 0 msecs\n");

    // What each precached image belongs to, in the order they were made.
    auto nameOf = [](const void* image) -> std::string {
        for (int p = 0; p < kHudPanels; ++p)
            if (HudPanels().panelImages[p].Get() == image)
                return "panel" + std::to_string(p);
        for (int t = 0; t < kHudMapTiles; ++t)
            if (HudPanels().tileImages[t].Get() == image)
                return "tile" + std::to_string(t);
        const char* file = static_cast<const SgImage*>(image)->FileName();
        return file ? file : "?";
    };
    std::vector<std::string> made;
    for (const RenderCall& c : recording->Named("PrecacheTexture"))
        made.push_back(nameOf(c.objects[0]));
    const std::vector<std::string> expected = {
        "panel7",     "panel0",      "panel1",      "panel2",     "panel3",      "panel4",    "panel5",
        "panel6",     "panel8",      "panel9",      "panel10",    "panel11",     "panel12",   "panel13",
        "panel14",    "panel15",     "panel16",     "panel17",    "panel18",     "tile0",     "tile1",
        "tile2",      "tile8",       "tile9",       "tile10",     "tile11",      "earth.bmp", "nexus1.bmp",
        "nexus2.bmp", "nexus3.bmp",  "team.bmp",    "health.bmp", "fatigue.bmp", "power.bmp", "ley.bmp",
        "icon0.bmp",  "icon1.bmp",   "icon2.bmp",   "icon3.bmp"};
    EXPECT_EQ(made, expected);
    EXPECT_FALSE(Hud().mapTiles[3]);
    EXPECT_FALSE(Hud().panels[19]);
    EXPECT_EQ(MapShown, -1);
    EXPECT_EQ(HudPanels().panelShown[4], -1);
    // The team indicator shows the player's team's column; items start hidden.
    EXPECT_FLOAT_EQ(hudtest::QuadOf(Hud().team.Get()).u0, 0.5f);
    for (int i = 0; i < kHudItems; ++i) {
        const hudtest::Quad q = hudtest::QuadOf(Hud().items[i].Get());
        EXPECT_EQ(q.left + q.right + q.top + q.bottom, 0.0f) << i;
    }
    // The panels were filled from the back buffer as it stood.
    const SgRawImageData* raw = HudPanels().panelImages[18]->RawData();
    EXPECT_EQ(raw->Row(2)[5], InverseColourTable[back[322 * 800 + 5]]);
}

TEST_F(HudTest, DestroyTakesPanelsAndTilesOffTheCamera) {
    const uint32_t live = SgObject::LiveCount();
    ASSERT_EQ(SgxCreateSceenPolys(), 1);
    SelectActiveCamera(2);
    EXPECT_GT(Camera()->ScreenPolygonList().UsedSize(), 0u);
    DestroyScreenPolys();
    DestroyHudPanelsAndTiles();
    auto& list = Camera()->ScreenPolygonList();
    for (uint32_t i = 0; i < list.UsedSize(); ++i)
        EXPECT_EQ(list.At(i), nullptr) << i;
    HudTextures() = ScreenPolyTextures{};
    EXPECT_EQ(SgObject::LiveCount(), live);
}

}  // namespace

namespace {

// The chat's display command steps the HUD through updated, frozen and removed, and "*lag" turns
// the player list's refresh on: both reach the HUD through the game's services.
TEST_F(HudTest, ChatCommandsFreezeRemoveAndRefresh) {
    g_level.maxx = g_level.maxy = 20;
    ASSERT_EQ(SgxCreateSceenPolys(), 1);
    present::ShowHud(1);
    HudCycleState = 0;
    auto onCamera = [this] {
        int n = 0;
        for (const auto& p : Hud().panels)
            n += OnCamera(p.Get());
        return n;
    };
    ASSERT_EQ(onCamera(), 19);

    DoChatCommand("n p");
    EXPECT_EQ(GetHudUpdateFlag(), 0);
    SetPanelRedrawFlag(-1, 0);
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(Frame(50), Ints{}) << i;
    EXPECT_EQ(onCamera(), 19);

    DoChatCommand("n p");
    EXPECT_EQ(onCamera(), 0);

    DoChatCommand("n p");
    EXPECT_EQ(GetHudUpdateFlag(), 1);
    EXPECT_EQ(onCamera(), 19);
    EXPECT_FALSE(Frame(50).empty());

    std::fill(std::begin(HudPanels().redrawFlags), std::end(HudPanels().redrawFlags), 0);
    DoChatCommand("lag");
    EXPECT_EQ(LagDisplayFlag, 1);
    int listCopies = 0;
    for (int i = 0; i < 40; ++i)  // 2 s
        for (int n : PanelFrame(50))
            listCopies += n == 11;
    EXPECT_EQ(listCopies, 2);
    DoChatCommand("lag");
    HudCycleState = 0;
}

}  // namespace

namespace {

// Each phase step the crosshair follows the player: shown while alive, out of the bias pose and
// with the crosshair switch on.
TEST_F(HudTest, CrosshairFollowsThePlayer) {
    struct Case {
        const char* what;
        int dead, bias, flag, shown;
    };
    const Case kCases[] = {{"alive", 0, 0, 1, 1},      {"dead", 1, 0, 1, 0},  {"biasing", 0, 400, 1, 0},
                           {"switched off", 0, 0, 0, 0}, {"again", 0, 0, 1, 1}};
    for (const Case& c : kCases) {
        player.dead = c.dead;
        g_actionState.bias_timer = c.bias;
        CrosshairFlag = c.flag;
        CrosshairShown = -1;
        Frame(50);  // no phase step yet: nothing decided
        EXPECT_EQ(CrosshairShown, -1) << c.what;
        Frame(60);
        EXPECT_EQ(CrosshairShown, c.shown) << c.what;
        HudPanels().blinkAccumulator = 0;
    }
    CrosshairFlag = 1;
    g_localPlayer = nullptr;
    Frame(110);
    EXPECT_EQ(CrosshairShown, 0);
    CrosshairShown = -1;
}

}  // namespace
