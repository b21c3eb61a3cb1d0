#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "client/arena/game_input.h"
#include "client/arena/player_control.h"
#include "client/arena/player_move.h"
#include "client/arena/player_status.h"
#include "client/arena/spell.h"
#include "client/core/game_clock.h"
#include "client/net/client_tables.h"
#include "client/net/net_catalogue.h"
#include "client/screens/input.h"
#include "client/screens/notice_lines.h"
#include "client/screens/screen_surface.h"
#include "tests/client/arena/arena_fixture.h"
#include "tests/support/sent_frames.h"

namespace {

int g_casts = 0;

class AnsweringSpell : public CSpell {
public:
    int Cast(LocalPlayer&) override {
        ++g_casts;
        return 1;
    }
};

class GameInput : public ArenaFixture {
protected:
    GameInput() {
        ResetFrameState();
        HudListOffset = ConsoleScroll = 0;
        control = PlayerControl{};
        control.yaw = control.pitch = -1;
        FrameDelta = 1000;
        g_casts = 0;
    }
    ~GameInput() override {
        FreeSpells();
        FrameDelta = 0;
        CurrentArena = -1;
    }
    void Frame() {
        GameClock += static_cast<uint32_t>(FrameDelta);
        HandleGameInput(player, control, 4);
    }
    Trigger& Door(int n) {
        TriggerTable[n] = std::make_unique<Trigger>();
        TriggerTable[n]->enabled = 1;
        TriggerTable[n]->number = n;
        return *TriggerTable[n];
    }
    std::string TopNotice() const { return g_screen.noticeLines[0]; }
    PlayerControl control{};
};

TEST_F(GameInput, HudRegionClicksActOnTheirValues) {
    SetGameValue(144 + 2, 5);  // list 2 has levels; list 3 none
    struct Case {
        const char* what;
        int group, id;
        bool doubleClick;
        int mode, list, spell;  // HudListMode, HudListIndex, HudSpellIndex afterwards
        bool escape;
    } cases[] = {
        {"list mode 4", 30, 4, false, 4, 0, 0, false},
        {"list mode 3 is not a mode to click", 30, 3, false, 2, 0, 0, false},
        {"escape", 31, 0, false, 2, 0, 0, true},
        {"a known list", 33, 2, false, 2, 2, 0, false},
        {"an unknown list", 33, 3, false, 2, 0, 0, false},
        {"a spell of the list", 34, 14, false, 2, 0, 14, false},
        {"past the list's spells", 34, 15, false, 2, 0, 0, false},
        {"spells of an unknown list", 38, 0, false, 2, 0, 0, false},
        {"a known list opened by a double click", 33, 2, true, 3, 2, 0, false},
        {"an unknown list is not opened", 33, 3, true, 2, 0, 0, false},
    };
    for (const Case& c : cases) {
        HudListMode = 2;
        HudListIndex = HudSpellIndex = 0;
        control = PlayerControl{};
        control.yaw = control.pitch = -1;
        RegionEvent e;
        e.id = c.id;
        e.group = c.group;
        (c.doubleClick ? g_mouse.lastDoubleClick : g_mouse.lastClick) = e;
        Frame();
        EXPECT_EQ(HudListMode, c.mode) << c.what;
        EXPECT_EQ(HudListIndex, c.list) << c.what;
        EXPECT_EQ(HudSpellIndex, c.spell) << c.what;
        EXPECT_EQ(control.escape != 0, c.escape) << c.what;
    }
    // Spells of the known list, and back.
    HudListIndex = 2;
    g_mouse.lastClick = RegionEvent{0, 38};
    Frame();
    EXPECT_EQ(HudListMode, 3);
    g_mouse.lastClick = RegionEvent{0, 39};
    Frame();
    EXPECT_EQ(HudListMode, 2);
}

TEST_F(GameInput, UseOpensDoorsChainsAndLadders) {
    Door(3);
    Door(4);
    int door = MakeThin(3950, 4040, 4050, 4040, THIN_MOVED, 128);
    ThinTable[door].trigger = 3;
    control.use = 1;
    {
        OnlineSends link;
        Frame();
        EXPECT_EQ(GetTrigger(3)->state, 1);
        EXPECT_TRUE(SentFrames().empty()) << "offline nothing is sent";
        g_playMode = 2;
        Frame();
        EXPECT_EQ(GetTrigger(3)->state, 0);
        EXPECT_EQ(SentCodes(), std::vector<int>{F_OPEN_DOOR});
        g_playMode = 1;
    }

    // A trigger that chains to one that exists uses that one.
    GetTrigger(3)->next_trigger = 4;
    GetTrigger(3)->next_trigger_timing = 1;
    Frame();
    EXPECT_EQ(GetTrigger(4)->state, 1);
    EXPECT_EQ(GetTrigger(3)->state, 0);

    // A ladder ahead is climbed.
    DestroyThin(door);
    int ladder = MakeThin(3950, 4040, 4050, 4040, THIN_LADDER, 128);
    Frame();
    EXPECT_EQ(player.mode, 7);
    EXPECT_EQ(player.ladder_thin, ladder);
    // Use again jumps off.
    Frame();
    EXPECT_EQ(player.mode, 2);
    EXPECT_EQ(view.speed, 165);
    EXPECT_EQ(view.z_speed, 75);
    EXPECT_EQ(player.ladder_thin, 0);
}

TEST_F(GameInput, UseAimsATargetedSpellAtThePlayerAhead) {
    auto spell = std::make_unique<AnsweringSpell>();
    spell->type = SPELL_TARGET;
    SetSpell(5, std::move(spell));
    SetGameValue(115, 5);
    SetGameValue(118, 3);  // the player's own id
    SetGameValue(4, 1);
    struct Case {
        int distance, target;
    } cases[] = {{300, 77}, {380, 77}, {440, 3}};  // 384 reaches to the near side of a figure
    for (const Case& c : cases) {
        ClearWorldObjects();
        const int other = Live(OBJ_PLAYER, 4000, 4000 + c.distance, 0, 77);
        WorldObjectTable[other].team = 2;
        WorldObjectTable[other].tall = 64;
        WorldObjectTable[other].width = 16;
        TargetPlayerId = 0;
        g_actionState.target_flash = 900;
        control.use = 1;
        Frame();
        EXPECT_EQ(TargetPlayerId, c.target) << c.distance;
        EXPECT_EQ(g_actionState.target_flash, 0);
    }
}

TEST_F(GameInput, ObjectTriggersAndDeadPlayers) {
    Door(9);
    int rune = Live(OBJ_SPELL, 4000, 4040);
    WorldObjectTable[rune].object_trigger = 9;
    WorldObjectTable[rune].tall = 64;
    control.use = 1;
    Frame();
    EXPECT_EQ(GetTrigger(9)->state, 1);

    // A dead player's touch of a panel toggles nothing, and his use key only waits.
    Door(5);
    int panel = MakeThin(3950, 4010, 4050, 4010, THIN_TOUCH, 128);
    ThinTable[panel].trigger = 5;
    player.dead = 1;
    control.use = 0;
    control.forward = 1000;
    for (int i = 0; i < 5; ++i)
        Frame();
    EXPECT_EQ(GetTrigger(5)->state, 0);
    control.use = 1;
    Frame();
    EXPECT_EQ(player.cast_delay, 500 - 0);
    player.dead = 0;
    player.cast_delay = 0;
    ThinTable[panel].last_touch = 0;
    control.use = 0;
    Place(4000, 3990, 0);
    for (int i = 0; i < 5; ++i)
        Frame();
    EXPECT_EQ(GetTrigger(5)->state, 1) << "alive, the touch toggles";
}

TEST_F(GameInput, CastResultsByChargeAndMotion) {
    struct Case {
        int castTimer;
        int speed;
        int result;
        int casts;
        int strafe = 0;
    } cases[] = {
        {0, 0, 0, 1},    // cast at once
        {2, 0, 0, 1},    // 2: cast now when still
        {2, 60, -1, 0},  // but refused while moving
        {2, 54, 0, 1},   // below 55 counts as still
        {2, 55, -1, 0},
        {2, 0, -1, 0, 55},  // sliding is moving too
        {2, 0, 0, 1, -54},
        {2, 0, -1, 0, -55},  // sliding right or walking backwards is no stiller
        {2, -60, -1, 0},
        {1500, -60, 0, 0},
        {1500, 0, 1500, 0},
        {1500, 60, 0, 0},
        {1500, 0, 0, 0, 60},
        {1500, 54, 1500, 0},
    };
    for (const Case& c : cases) {
        FreeSpells();
        auto spell = std::make_unique<AnsweringSpell>();
        spell->cast_timer = c.castTimer;
        spell->fatigue = 10;
        SetSpell(5, std::move(spell));
        SetGameValue(115, 5);
        ClearActionState();
        player.cast_delay = 0;
        g_casts = 0;
        Place(4000, 4000, 0);
        view.speed = c.speed;
        view.strafe_speed = c.strafe;
        control.cast = 1;
        FrameDelta = 0;  // the speed stays as it is through the movement
        HandleGameInput(player, control, 4);
        EXPECT_EQ(g_actionState.cast_result, c.result) << c.castTimer << " " << c.speed;
        EXPECT_EQ(g_casts, c.casts) << c.castTimer << " " << c.speed;
        const bool pose = c.casts || c.result > 0;
        EXPECT_EQ(IsCasting() != 0, pose) << c.castTimer << " " << c.speed;
        if (c.result > 0)
            EXPECT_EQ(view.speed, 0) << "a charge holds the player still";
    }
}

TEST_F(GameInput, DigitsSelectGroupsOneToEight) {
    for (int slot : {0, 5, 35})
        SetGameValue(25 + slot, 100 + slot);
    struct Case {
        int digit, slot;
    } cases[] = {{1, 0}, {2, 5}, {8, 35}, {9, 35}, {10, 35}, {0, 35}};
    for (const Case& c : cases) {
        control.digit_key = c.digit;
        Frame();
        EXPECT_EQ(GetGameValue(117), c.slot) << c.digit;
    }
}

TEST_F(GameInput, PagesListsAndBordersStayInRange) {
    for (int i = 0; i < 30; ++i) {
        control.page_up = 1;
        Frame();
    }
    EXPECT_EQ(ConsoleScroll, 95);
    control.page_up = 0;
    control.page_down = 1;
    Frame();
    EXPECT_EQ(ConsoleScroll, 90);
    control.page_down = 0;
    control.home = 1;
    Frame();
    EXPECT_EQ(HudListOffset, 0);
    control.home = 0;
    control.end = 1;
    for (int i = 0; i < 60; ++i)
        Frame();
    EXPECT_EQ(HudListOffset, 470);
    control.end = 0;
    ViewBorder = 0;
    control.key_minus = 1;
    for (int i = 0; i < 5; ++i)
        Frame();
    EXPECT_EQ(ViewBorder, 48);
    control.key_minus = 0;
    control.key_equals = 1;
    Frame();
    EXPECT_EQ(ViewBorder, 32);
    control.key_equals = 0;
    control.key_tab = 1;
    const int map = MapShown;
    Frame();
    EXPECT_EQ(MapShown, !map);
    control.key_tab = 0;

    // Holding the light key switches the viewer's light once a second (frames of 100 ms).
    present.calls.clear();
    ViewerLightLock = 0;
    control.key_t_held = 100;
    for (int i = 0; i < 25; ++i)
        Frame();
    EXPECT_EQ(present.Count("SetViewerLight"), 3u);
}

TEST_F(GameInput, NexusNoticesComeOnLandingOnce) {
    SetGameValue(4, 1);
    ShrineDef& s = g_level.shrines[2];
    s.found = 1;
    s.alignment = 1;
    s.bias = 100;
    g_level.cellIndex[CellIndex(4000 >> 6, 4000 >> 6)] = 52;
    view.z = 48 + 60;  // in the air above it
    view.z_speed = 0;
    player.mode = 2;
    FrameDelta = 100;
    Frame();
    EXPECT_EQ(TopNotice(), "");
    FrameDelta = 1000;
    for (int i = 0; i < 20; ++i)
        Frame();
    EXPECT_EQ(view.z, 48);
    EXPECT_EQ(TopNotice(), "The Dragon Nexus is fully powered.");
    g_screen.ClearNoticeLines();
    Frame();
    EXPECT_EQ(TopNotice(), "") << "once";

    struct Case {
        int bias;
        const char* text;
    } cases[] = {{60, "The Dragon Nexus is partially powered."},
                 {1, "The Dragon Nexus is partially powered."},
                 {99, "The Dragon Nexus is partially powered."},
                 {0, "The Dragon Nexus has been destroyed."}};
    for (const Case& c : cases) {
        s.bias = c.bias;
        LastCellCode = 0;
        Frame();
        EXPECT_EQ(TopNotice(), c.text);
    }
    EarthnodeDef& e = g_level.earthnodes[4];
    e.found = 1;
    e.owner = 3;
    struct Node {
        int bias;
        const char* text;
    } nodes[] = {{100, "The Earthnode is fully biased to Phoenix."},
                 {5, "The Earthnode is partially biased to Phoenix."},
                 {1, "The Earthnode is partially biased to Phoenix."},
                 {99, "The Earthnode is partially biased to Phoenix."},
                 {0, "The Earthnode is neutrally biased."}};
    g_level.cellIndex[CellIndex(4000 >> 6, 4000 >> 6)] = 24;
    for (const Node& n : nodes) {
        e.bias = n.bias;
        LastCellCode = 0;
        Frame();
        EXPECT_EQ(TopNotice(), n.text);
    }
}

TEST_F(GameInput, ADeadPlayerAsksToBeRaisedAtItsOwnNodes) {
    SetGameValue(4, 1);
    ShrineDef& home = g_level.shrines[0];  // the team's powered nexus among the first three
    home.found = 1;
    home.alignment = 1;
    home.bias = 100;
    g_level.earthnodes[3].found = 1;
    g_level.earthnodes[3].owner = 1;
    struct Case {
        int code;
        const char* notice;
        int strafe;  // what is left of it
    } cases[] = {
        {50, "You attempt to resurrect at the Nexus", 0},
        {23, "You attempt to resurrect at the Earthnode", 30},  // only the forward speed stops
    };
    for (const Case& c : cases) {
        g_level.cellIndex[CellIndex(4000 >> 6, 4000 >> 6)] = static_cast<uint8_t>(c.code);
        Place(4000, 4000, 0);
        LastCellCode = 0;
        player.dead = 1;
        g_screen.ClearNoticeLines();
        OnlineSends online;
        FrameDelta = 0;  // the frame's movement leaves the speeds as they are
        view.speed = 40;
        view.strafe_speed = 30;
        HandleGameInput(player, control, 4);
        EXPECT_STREQ(g_screen.noticeLines[1], c.notice) << c.code;
        EXPECT_EQ(view.speed, 0) << c.code;
        EXPECT_EQ(view.strafe_speed, c.strafe) << c.code;
        EXPECT_EQ(SentCodes(), (std::vector<int>{F_PLAYER_STATE, F_REQUEST_RAISE})) << c.code;
        EXPECT_EQ(SentFrames().back().body, std::vector<uint8_t>(4, 0)) << "no gate named";
    }
    player.dead = 0;
}

TEST_F(GameInput, BiasNeedsFourPlayers) {
    SetGameValue(4, 1);
    EarthnodeDef& e = g_level.earthnodes[4];
    e.found = 1;
    e.owner = 2;
    g_level.cellIndex[CellIndex(4000 >> 6, 4000 >> 6)] = 24;
    CurrentArena = 0;
    ArenaTable[0].match.player_count = 3;
    const int before = ChatBuffer.count;
    control.use = 1;
    Frame();
    EXPECT_EQ(IsBiasing(), 0);
    EXPECT_EQ(ChatBuffer.count, before + 1);
    EXPECT_STREQ(ChatBuffer.lines[(ChatBuffer.write + kChatLines - 1) % kChatLines].text,
                 "Cannot Bias yet! Less than Four Player in Arena!");
    ArenaTable[0].match.player_count = 4;
    Frame();
    EXPECT_NE(IsBiasing(), 0);
    EXPECT_EQ(g_actionState.bias_timer, 3000);
}

}  // namespace
