// Whole arena frames of the sample as the player sees them, drawn through the software device:
// the eye view with the HUD and the crosshair, the chase view with the player's own figure, the
// death view half way through its rise, and the whole-map HUD.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "client/arena/game_input.h"
#include "client/arena/grid_queries.h"
#include "client/arena/local_player.h"
#include "client/arena/player_status.h"
#include "client/arena/player_view.h"
#include "client/arena/world_object.h"
#include "client/driver/arena_loop.h"
#include "client/net/client_tables.h"
#include "client/net/net_bodies.h"
#include "client/net/net_players.h"
#include "client/present/camera_set.h"
#include "client/present/figure_table.h"
#include "client/present/figure_textures.h"
#include "client/screens/gws_core.h"
#include "client/screens/input.h"
#include "client/screens/key_bindings.h"
#include "engine/core/sg_texture_property.h"
#include "engine/render/sg_d3d_render.h"
#include "engine/render/sg_dd_environment.h"
#include "engine/render/sg_dd_image.h"
#include "platform/fs/fs.h"
#include "tests/client/present/frame/sample_screen.h"

namespace {

// A rounding of the rasteriser may move a channel by a 5-bit step or two at an edge; a few
// hundred such pixels of the 480000 pass, a figure or a panel out of place does not.
constexpr int kTolerance = 16;
constexpr int kPixels = 600;

class ArenaFrames : public SampleArena {
protected:
    void SetUp() override {
        SampleArena::SetUp();
        goldenDir = PRESENT_HUD_GOLDEN_DIR;
    }
    void ExpectGolden(const std::string& name, int tolerance, int pixels) {
        std::string message;
        EXPECT_TRUE(ddtest::MatchesGolden(goldenDir, name, Front(), tolerance, pixels, &message)) << message;
    }

};

TEST_F(ArenaFrames, EyeViewWithTheHudAndTheCrosshair) {
    Frames(10);
    ExpectGolden("frame_eye", kTolerance, kPixels);
}

TEST_F(ArenaFrames, ChaseViewShowsTheOwnFigure) {
    present::ViewMode = 1;
    Frames(10);
    ExpectGolden("frame_chase", kTolerance, kPixels);
}

TEST_F(ArenaFrames, DeathViewHalfWayUp) {
    Frames(2);
    OnLocalPlayerDeath(player, 0);
    Frames(30);  // about a second into the five
    ExpectGolden("frame_death", kTolerance, kPixels);
}

// A player of the service joins in front of us: his figure stands in the scene, dressed in his
// team's textures, as the service placed it.
TEST_F(ArenaFrames, ARemotePlayerStandsTexturedWhereTheServicePutHim) {
    const PlayerView& v = *g_playerView;
    const double turn = v.facing * 6.283185307179586 / 4096;
    // Facing 0 looks along +y.
    const int x = v.x + static_cast<int>(160 * std::sin(turn)), y = v.y + static_cast<int>(160 * std::cos(turn));
    PlayerTableEntry& guest = PlayerTable[1];
    guest = PlayerTableEntry{};
    guest.id = 77;
    std::strcpy(guest.name, "Guest");
    guest.team = 1;
    PlayerTableTop = std::max(PlayerTableTop, 1);
    // F_PLAYER_STATE: standing, full health, at (x, y) on the floor, facing us; figure type 1.
    const int floor = GetFloorHeight(x, y, 1000, 0);
    ASSERT_GE(floor, 0);
    PlayerStateBody state{0, static_cast<uint16_t>(15 << 12 | floor), static_cast<uint16_t>(x), static_cast<uint16_t>(y),
                          static_cast<uint16_t>((v.facing + 2048) % 4096), 0, 0};
    uint8_t body[12];
    EncodePlayerState(state, body);
    const int slot = CreatePlayerObject(body, 12, 77);
    ASSERT_GT(slot, 0);
    const int figure = WorldObjectTable[slot].figure;
    ASSERT_NE(present::FigureNode(figure), nullptr);
    Frames(10);
    // Both skinned meshes carry a picture that the installation holds.
    for (bool body : {true, false}) {
        SgAVObject* first = present::FindSkinnedMesh(present::FigureNode(figure), nullptr);
        SgAVObject* mesh = body ? first : present::FindSkinnedMesh(present::FigureNode(figure), first);
        ASSERT_NE(mesh, nullptr);
        auto* texture = static_cast<SgTextureProperty*>(mesh->FindPropertyOfType(SG_TEXTURE_PROPERTY));
        ASSERT_NE(texture, nullptr);
        ASSERT_NE(texture->CurrentImage(), nullptr);
        const char* file = texture->CurrentImage()->FileName();
        EXPECT_TRUE(file && platform::GameFileExists(file)) << (file ? file : "");
    }
    ExpectGolden("frame_remote", kTolerance, kPixels);
    DestroyObject(slot);
    guest = PlayerTableEntry{};
}

TEST_F(ArenaFrames, WholeMapMode) {
    MapShown = 1;
    Frames(20);
    ExpectGolden("frame_map", kTolerance, kPixels);
}

}  // namespace
