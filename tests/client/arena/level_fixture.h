#pragma once
// Every level table empty, the presentation recorded, and a local player standing by.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "client/arena/game_input.h"
#include "client/arena/grid_queries.h"
#include "client/arena/local_player.h"
#include "client/arena/player_move.h"
#include "client/arena/player_status.h"
#include "client/arena/player_view.h"
#include "client/arena/spell.h"
#include "client/arena/thin.h"
#include "client/arena/trigger.h"
#include "client/arena/world_object.h"
#include "client/core/config_file.h"
#include "client/core/game_values.h"
#include "client/core/level_defs.h"
#include "client/level/level_textures.h"
#include "client/screens/chat_buffer.h"
#include "client/screens/screen_surface.h"
#include "tests/support/recording_present.h"

// A settings text as the stream the level loaders read.
struct TextStream {
    explicit TextStream(std::string t) : text(std::move(t)) { f = fmemopen(text.data(), text.size(), "r"); }
    ~TextStream() {
        ForgetConfigStream(f);
        std::fclose(f);
    }
    TextStream(const TextStream&) = delete;
    TextStream& operator=(const TextStream&) = delete;
    std::string text;
    FILE* f;
};

// A spell of the type's class stored at number, for the test to fill.
template <typename Spell>
Spell& MakeSpell(int number, int type) {
    SetSpell(number, CreateSpell(type));
    Spell& s = static_cast<Spell&>(*GetSpell(number));
    s.spell_number = number;
    return s;
}

class LevelFixture : public ::testing::Test {
protected:
    LevelFixture() {
        ClearWorldObjects();
        ClearThins();
        FreeTriggers();
        ClearLevelDefs();
        ClearTextureTable();
        present.calls.clear();
        g_localPlayer = &player;
        g_playerView = &view;
        g_linkState = 1;
        g_playMode = 1;
        g_debugLevel = 0;
        player.eye_height = 48;
    }
    ~LevelFixture() override {
        ClearWorldObjects();
        ClearThins();
        FreeTriggers();
        g_localPlayer = nullptr;
        g_playerView = nullptr;
    }

    // A live object made the way the loaders make them.
    int Live(int type, int x, int y, int kind = 0, uint32_t id = 0) {
        int slot = AllocObjectSlot(type);
        WorldObject& o = WorldObjectTable[slot];
        o.x = static_cast<uint16_t>(x);
        o.y = static_cast<uint16_t>(y);
        o.kind = static_cast<uint16_t>(kind);
        o.id = id;
        EXPECT_EQ(ActivateObject(slot), 1);
        return slot;
    }

    // A placed thin.
    int MakeThin(int x1, int y1, int x2, int y2, int kind = THIN_PLAIN, int height = 64, int texture = 0) {
        int slot = AllocThinSlot(kind);
        Thin& t = ThinTable[slot];
        t.x1 = x1;
        t.y1 = y1;
        t.x2 = x2;
        t.y2 = y2;
        t.height = height;
        t.texture = texture;
        t.id = slot;
        EXPECT_EQ(PlaceThin(slot), 1);
        return slot;
    }

    // The view standing at (x, y) facing the given way, the eye at its standing height.
    void StandAt(int x, int y, int facing) {
        view.x = x;
        view.y = y;
        view.pos_x = x << 16;
        view.pos_y = y << 16;
        view.facing = facing;
        view.z = GetStandHeight(x, y, -1000);
    }
    // The per-frame input state as at arena entry; the player's stats at 50 and hit points, power
    // and fatigue full; pitch limits of 90 degrees.
    void ResetFrameState() {
        ClearActionState();
        g_screen.ClearNoticeLines();
        DebugToggle = 0;
        PendingDoorTrigger = 0;
        LastCellCode = LastCellSound = 0;
        CurrentArena = -1;
        for (int v : {5, 13, 14})
            SetGameValue(v, 50);
        for (int v : {107, 108})
            SetGameValue(v, 1000);
        for (int v : {109, 110, 111, 112})
            SetGameValue(v, 10000);
        player.min_pitch = -90;
        player.max_pitch = 90;
    }

    RecordingPresent present;
    LocalPlayer player{};
    PlayerView view{};
};
