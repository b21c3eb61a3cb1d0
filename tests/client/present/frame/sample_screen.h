#pragma once
// The sample installation on the game's own presentation, drawn through the software device: a
// copy of the installation (without its programs and sounds) as the working directory, its
// main.dat, error.log open, and what the game loads at start-up for the menus and the arena (key
// bindings, model templates, figure textures, spells). SampleArena goes on into an offline game
// of the sample level.

#include <filesystem>
#include <memory>
#include <string>

#include "client/arena/local_player.h"
#include "client/arena/player_status.h"
#include "client/arena/player_view.h"
#include "client/arena/spell.h"
#include "client/core/config_file.h"
#include "client/core/error_log.h"
#include "client/driver/arena_loop.h"
#include "client/present/arena_present.h"
#include "client/present/camera_set.h"
#include "client/present/frame_update.h"
#include "client/present/hud_panels.h"
#include "client/present/world_tables.h"
#include "engine/render/sg_d3d_render.h"
#include "tests/client/driver/offline_arena.h"
#include "tests/client/screens/demo_screen.h"
#include "tests/client/screens/screen_fixture.h"

class SampleScreen : public ScreenFixture {
protected:
    void SetUp() override {
        namespace fs = std::filesystem;
        ScreenFixture::SetUp();
        for (const fs::directory_entry& e : fs::directory_iterator(SAMPLE_INSTALL_DIR)) {
            const std::string name = e.path().filename().string();
            if (name != "game" && name != "game.dll" && name != "sounds" && name != "main.dat")
                fs::copy(e.path(), fs::path(dir->Path()) / name, fs::copy_options::recursive);
        }
        services = MakeArenaPresent();
        StartScreen(false, true, services.get());
        // The installation's own settings in place of the screen fixture's few.
        fs::copy(fs::path(SAMPLE_INSTALL_DIR) / "main.dat", fs::path(dir->Path()) / "main.dat",
                 fs::copy_options::overwrite_existing);
        GetConfigString(nullptr, nullptr, nullptr, nullptr, 0, nullptr, 0);
        ASSERT_TRUE(OpenErrorLog());
        LoadArenaTables();
    }
    void TearDown() override {
        FreeSpells();
        CloseErrorLog();
        StopDemoDisplay();
        ScreenFixture::TearDown();
    }

    // What the window shows.
    ddtest::Image Front() const {
        auto* render = static_cast<SgD3DRender*>(present::Cameras().renderer.Get());
        return ddtest::Capture(render->Driver()->buffers->front);
    }

    std::unique_ptr<PresentServices> services;
};

class SampleArena : public SampleScreen {
protected:
    void SetUp() override {
        SampleScreen::SetUp();
        if (HasFatalFailure())
            return;
        PrepareOfflineArena(player, "sample", 2);
        // What runs on from one arena to the next in a process: each test starts as a fresh game.
        present::ActionClock = 0;
        for (present::GridFixture& f : present::GridFixtureTable)
            f = present::GridFixture{};
        present::HudPanels() = present::HudPanelState{};
        ResetViewBob();
        ASSERT_EQ(BeginArenaGame(player, 0), 1);
        // Each test looks at its own view, not at the player's arrival.
        g_actionState.arrival_timer = 0;
    }
    void TearDown() override {
        if (g_playerView)
            EndArenaGame(player);
        // The record goes with the test.
        g_localPlayer = nullptr;
        present::ViewMode = 0;
        SampleScreen::TearDown();
    }

    // Frames of 33 ms on the virtual clock, standing where the test put the player.
    void Frames(int n) {
        for (int i = 0; i < n; ++i) {
            AdvanceAndPump(33);
            ASSERT_EQ(RunArenaFrame(player), 1);
        }
    }
    void StandAt(int x, int y, int facing) {
        PlayerView& v = *g_playerView;
        v.x = x;
        v.y = y;
        v.pos_x = x << 16;
        v.pos_y = y << 16;
        v.facing = facing;
        v.speed = v.strafe_speed = 0;
    }

    LocalPlayer player{};
};
