#pragma once
// An offline game as the menu's single-player choice leaves it: the level and team chosen, no
// link, and a local player with the standing and crawling eye heights, the bob and the pitch's
// limits the movement expects, at level 10 with 1000 hit points at most.

#include <cstdio>

#include "client/arena/local_player.h"
#include "client/core/game_values.h"
#include "client/driver/arena_loop.h"
#include "client/screens/main_menu.h"

inline void PrepareOfflineArena(LocalPlayer& player, const char* level, int team) {
    g_playMode = g_linkState = 1;
    g_matchEndFlag = 0;
    std::snprintf(g_singleUserLevel, sizeof g_singleUserLevel, "%s", level);
    g_singleUserTeam = team;
    g_arenaMemory = ArenaMemory{};
    player = LocalPlayer{};
    player.normal_eye_height = player.eye_height = 48;
    player.crawl_eye_height = 24;
    player.bob_height = 38;
    player.min_pitch = -90;
    player.max_pitch = 90;
    SetGameValue(0, 10);
    SetGameValue(108, 1000);
}
