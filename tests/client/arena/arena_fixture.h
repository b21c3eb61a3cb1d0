#pragma once
// A level of open floor for the player tests: cells 2..125 on each axis are a room (floor 0,
// ceiling 256, no upper storey) seen from everywhere, rock around them; the player stands at
// the view's position with eye height 48.

#include "client/arena/grid_queries.h"
#include "client/core/game_values.h"
#include "common/random.h"
#include "tests/client/arena/level_fixture.h"

constexpr int kNoSplit = 32767;

class ArenaFixture : public LevelFixture {
protected:
    ArenaFixture() {
        ResetGameValues();
        GameSrand(1);
        for (int cx = 0; cx < kGridSide; ++cx)
            for (int cy = 0; cy < kGridSide; ++cy)
                if (cx >= 2 && cx < 126 && cy >= 2 && cy < 126)
                    SetCell(cx, cy, 0, 0, 256);
                else
                    Rock(cx, cy);
        player.normal_eye_height = 48;
        player.crawl_eye_height = 24;
        Place(4000, 4000, 0);
    }

    // kind 1 is rock; floor and ceiling of the lower storey, no upper one.
    void SetCell(int cx, int cy, int kind, int floor, int ceiling, int split = kNoSplit) {
        const int i = CellIndex(cx, cy);
        g_level.cellKind[i] = static_cast<uint8_t>(kind);
        g_level.plane[kPlaneFloor][i] = static_cast<int16_t>(floor);
        g_level.plane[kPlaneCeiling][i] = static_cast<int16_t>(ceiling);
        g_level.plane[kPlaneStoreySplit][i] = static_cast<int16_t>(split);
    }

    // Rock as the level writer builds it: kind 1, its floor raised to the rooms' ceiling.
    void Rock(int cx, int cy) { SetCell(cx, cy, 1, 256, 256); }

    // The view at (x, y) facing the given way, the eye standing on the floor.
    void Place(int x, int y, int facing) { StandAt(x, y, facing); }
};
