#pragma once
// The HUD over a recording renderer: cameras without a world, a back buffer and map buffer of
// known pixels, a colour table that is easy to invert, the local player and its view, and helpers
// that read back quads and which panels a frame copied (by the images' revision counts).

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "client/arena/game_input.h"
#include "client/arena/local_player.h"
#include "client/arena/player_status.h"
#include "client/arena/player_view.h"
#include "client/core/game_clock.h"
#include "client/core/game_values.h"
#include "client/core/level_defs.h"
#include "client/present/arena_present.h"
#include "client/present/camera_set.h"
#include "client/present/hud_panels.h"
#include "client/present/screen_polys.h"
#include "client/screens/chat_buffer.h"
#include "client/screens/chat_commands.h"
#include "client/screens/color_tables.h"
#include "client/screens/screen_surface.h"
#include "tests/support/recording_render.h"
#include "tests/support/world_fixture.h"

namespace hudtest {

// Edges in units and the texture window of a quad as built (left-top, left-bottom, right-bottom,
// right-top).
struct Quad {
    float left, top, right, bottom;
    float u0, v0, u1, v1;
};

inline Quad QuadOf(const SgScreenPolygon* p) {
    const SgVec3* v = p->Vertices();
    const SgVec3* t = p->TextureCoords();
    return Quad{v[0].x, v[0].y, v[2].x, v[2].y, t[0].x, t[0].y, t[2].x, t[2].y};
}

// Every vertex and corner in the order the quad keeps them, checked against the edges.
inline void ExpectQuad(const SgScreenPolygon* p, const Quad& q, const char* what) {
    ASSERT_NE(p, nullptr) << what;
    ASSERT_EQ(p->VertexCount(), 4) << what;
    const SgVec3* v = p->Vertices();
    const SgVec3* t = p->TextureCoords();
    const float xs[4] = {q.left, q.left, q.right, q.right}, ys[4] = {q.top, q.bottom, q.bottom, q.top};
    const float us[4] = {q.u0, q.u0, q.u1, q.u1}, vs[4] = {q.v0, q.v1, q.v1, q.v0};
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(v[i].x, xs[i], 1e-5) << what << " vertex " << i;
        EXPECT_NEAR(v[i].y, ys[i], 1e-5) << what << " vertex " << i;
        EXPECT_EQ(v[i].z, 0.0f) << what << " vertex " << i;
        ASSERT_NE(t, nullptr) << what;
        EXPECT_NEAR(t[i].x, us[i], 1e-5) << what << " corner " << i;
        EXPECT_NEAR(t[i].y, vs[i], 1e-5) << what << " corner " << i;
    }
}

class HudTest : public testing::Test {
protected:
    void SetUp() override {
        // The 2D screens ask for their panels through the game's services.
        previousServices = InstallPresentServices(services.get());
        recording = SgRef<RecordingRender>(new RecordingRender);
        worldtest::StartDisplayOver(recording.Get());
        recording->Clear();
        back.assign(kScreenPixels, 0);
        for (int i = 0; i < kScreenPixels; ++i)
            back[i] = static_cast<uint16_t>(i * 7);
        g_screen.backBuffer = back.data();
        g_screen.mapBuffer = std::make_unique<uint8_t[]>(kMapSize * kMapSize);
        std::memcpy(savedInverse, InverseColourTable, sizeof savedInverse);
        std::memcpy(savedPalette, SystemPalette, sizeof savedPalette);
        for (int i = 0; i < kInverseTableSize; ++i)
            InverseColourTable[i] = static_cast<uint8_t>(i ^ (i >> 8));
        for (int i = 0; i < 768; ++i)
            SystemPalette[i] = static_cast<uint8_t>(255 - i % 256);
        ClearLevelDefs();
        ResetGameValues();
        player = LocalPlayer{};
        view = PlayerView{};
        g_localPlayer = &player;
        g_playerView = &view;
        g_actionState = ActionState{};
        g_debugLevel = 0;
        LagDisplayFlag = 0;
        MapShown = 0;
        FrameDelta = 0;
        present::HudPanels() = present::HudPanelState{};
    }

    void TearDown() override {
        present::DestroyScreenPolys();
        present::DestroyHudPanelsAndTiles();
        present::HudPanels() = present::HudPanelState{};
        present::HudTextures() = present::ScreenPolyTextures{};
        present::Hud() = present::HudSlots{};
        present::DestroySceneAndRenderer();
        present::Cameras() = present::CameraSet{};
        g_screen.backBuffer = nullptr;
        g_screen.mapBuffer.reset();
        std::memcpy(InverseColourTable, savedInverse, sizeof savedInverse);
        std::memcpy(SystemPalette, savedPalette, sizeof savedPalette);
        g_localPlayer = nullptr;
        g_playerView = nullptr;
        g_debugLevel = 0;
        LagDisplayFlag = 0;
        MapShown = 0;
        FrameDelta = 0;
        ClearLevelDefs();
        InstallPresentServices(previousServices);
    }

    SgCamera* Camera() const { return present::Cameras().activeCamera; }
    bool OnCamera(const SgScreenPolygon* p) const {
        return p && Camera()->ScreenPolygonList().Find(const_cast<SgScreenPolygon*>(p)) >= 0;
    }
    bool PanelOnCamera(int panel) const { return OnCamera(present::Hud().panels[panel].Get()); }
    bool TileOnCamera(int tile) const { return OnCamera(present::Hud().mapTiles[tile].Get()); }

    static uint32_t PanelStamp(int panel) {
        const SgImage* image = present::HudPanels().panelImages[panel].Get();
        return image ? image->contentStamp : 0;
    }
    static uint32_t TileStamp(int tile) {
        const SgImage* image = present::HudPanels().tileImages[tile].Get();
        return image ? image->contentStamp : 0;
    }

    // What one frame of ms copied: panels, and map tiles as 100 + tile.
    std::vector<int> Frame(int ms) {
        uint32_t panels[present::kHudPanels], tiles[present::kHudMapTiles];
        for (int i = 0; i < present::kHudPanels; ++i)
            panels[i] = PanelStamp(i);
        for (int i = 0; i < present::kHudMapTiles; ++i)
            tiles[i] = TileStamp(i);
        FrameDelta = ms * 10;
        present::UpdateHudPanels();
        std::vector<int> copied;
        for (int i = 0; i < present::kHudPanels; ++i)
            if (PanelStamp(i) != panels[i])
                copied.push_back(i);
        for (int i = 0; i < present::kHudMapTiles; ++i)
            if (TileStamp(i) != tiles[i])
                copied.push_back(100 + i);
        return copied;
    }

    // Panels only.
    std::vector<int> PanelFrame(int ms) {
        std::vector<int> all = Frame(ms), panels;
        for (int n : all)
            if (n < 100)
                panels.push_back(n);
        return panels;
    }

    // Every panel from the table, as SgxCreateSceenPolys makes them.
    void CreatePanels() {
        for (int p = 0; p < present::kHudPanels - 1; ++p) {
            const present::HudPanelLayout& l = present::kHudPanelLayout[p];
            present::CreateScreenPanel(p, back.data() + l.source.top * 800 + l.source.left, SystemPalette,
                                       InverseColourTable, l.source, l.screen, 800);
        }
    }

    std::unique_ptr<PresentServices> services = MakeArenaPresent();
    PresentServices* previousServices = nullptr;
    SgRef<RecordingRender> recording;
    RecordingImageFactory images;
    std::vector<uint16_t> back;
    LocalPlayer player{};
    PlayerView view{};
    uint8_t savedInverse[kInverseTableSize];
    uint8_t savedPalette[768];
};

}  // namespace hudtest
