// Spells come from spell.bin, which the update server sends: the input is read as one record of
// each of the ten classes (spells 1 to 10, their links among each other), each cast by the player
// (through CastSpell, its cost paid from the game values, at a spell level the input gives), by a
// monster and onto a figure, then up to 200 frames of the arena simulation with the player walking
// forward and sideways under the effects the spells left. Whatever the records hold, nothing
// faults and the frames end.

#include <cstdint>
#include <cstring>

#include "client/arena/arena_frame.h"
#include "client/arena/local_player.h"
#include "client/arena/monster_think.h"
#include "client/arena/player_control.h"
#include "client/arena/player_move.h"
#include "client/arena/player_effects.h"
#include "client/arena/player_view.h"
#include "client/arena/spell.h"
#include "client/arena/spell_cast.h"
#include "client/arena/thin.h"
#include "client/arena/trigger.h"
#include "client/arena/world_effects.h"
#include "client/arena/world_object.h"
#include "client/core/game_clock.h"
#include "client/core/game_values.h"
#include "client/core/level_defs.h"
#include "client/net/client_tables.h"
#include "common/random.h"
#include "tests/support/recording_present.h"

namespace {

struct Reader {
    const uint8_t* data;
    size_t size;
    size_t at = 0;
    int32_t Word() {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v |= static_cast<uint32_t>(at < size ? data[at++] : 0) << (8 * i);
        return static_cast<int32_t>(v);
    }
};

// Fills every field of a class from the input; small values are likelier to mean something, so
// the top byte of each word picks between the word itself and its low byte.
class Filler : public SpellFieldVisitor {
public:
    explicit Filler(Reader& in) : in_(in) {}
    void Field(const char*, int32_t& value) override { value = Next(); }
    void NegatedField(const char*, int32_t& value) override { value = Next(); }
    void Reserved(int32_t& value) override { value = 0; }
    void RaisesSoundRange(const char*, int32_t&) override {}

private:
    int32_t Next() {
        const int32_t w = in_.Word();
        return (w >> 24) & 1 ? w : static_cast<int8_t>(w & 0xff);
    }
    Reader& in_;
};

int Figure(int type, int x, int y, int team, int id) {
    const int slot = AllocObjectSlot(type);
    WorldObject& o = WorldObjectTable[slot];
    o.x = static_cast<uint16_t>(x);
    o.y = static_cast<uint16_t>(y);
    o.pos_x = x << 16;
    o.pos_y = y << 16;
    o.width = 16;
    o.tall = 64;
    o.team = static_cast<int16_t>(team);
    o.id = static_cast<uint32_t>(id);
    o.hit_points = o.max_hits = 100;
    ActivateObject(slot);
    return slot;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static RecordingPresent present;
    static LocalPlayer player;
    static PlayerView view;
    Reader in{data, size};
    present.record = false;
    ClearLevelDefs();
    ClearThins();
    ClearWorldObjects();
    ClearWorldEffects();
    FreeTriggers();
    ResetGameValues();
    ClearPlayerTable();
    FreeSpells();
    GameSrand(7);
    GameClock = 0;
    player = LocalPlayer{};
    view = PlayerView{};
    g_localPlayer = &player;
    g_playerView = &view;
    g_linkState = 1;
    for (int c = 0; c < kGridCells; ++c) {
        g_level.plane[kPlaneCeiling][c] = 256;
        g_level.plane[kPlaneStoreySplit][c] = 32767;
    }
    player.eye_height = player.normal_eye_height = 48;
    view.x = view.y = 4000;
    view.pos_x = view.pos_y = 4000 << 16;
    view.z = 48;
    SetGameValue(4, 1);
    SetGameValue(118, -1);
    SetGameValue(0, 20);
    player.own_object = Figure(OBJ_MOVING, 4000, 4000, 1, 0);
    WorldObjectTable[player.own_object].width = 0;
    const int monster = Figure(OBJ_MOVING, 4000, 4200, 2, 40);
    WorldObjectTable[monster].facing = 2048;
    const int rival = Figure(OBJ_PLAYER, 4100, 4100, 2, 30);
    UpdatePlayerTable(30, 0, 2, "Rival");
    const int wall = AllocThinSlot(THIN_SPELL);
    ThinTable[wall].x1 = 3900;
    ThinTable[wall].y1 = 4300;
    ThinTable[wall].x2 = 4100;
    ThinTable[wall].y2 = 4300;
    ThinTable[wall].height = 64;
    ThinTable[wall].hit_points = 50;
    PlaceThin(wall);

    for (int type = 1; type <= kSpellTypeCount; ++type) {
        std::unique_ptr<CSpell> spell = CreateSpell(type);
        spell->spell_number = type;
        Filler filler(in);
        spell->DescribeFields(filler);
        SetSpell(type, std::move(spell));
    }
    SetGameValue(116, in.Word());
    for (int n = 1; n <= kSpellTypeCount; ++n) {
        CSpell* spell = GetSpell(n);
        SetGameValue(115, n);
        SetGameValue(109, INT32_MAX);
        SetGameValue(111, INT32_MAX);
        CastSpell(player, 1);
        WorldObjectTable[monster].spell_num = static_cast<int16_t>(n);
        MonsterCastSpell(monster);
        spell->ObjectCast(rival, -monster);
        spell->AffectPlayer(player, 30, 0);
    }
    // A frame's collisions cost up to the square of the live objects; once the table fills, a
    // few frames reach every path and 200 would only spend the time limit.
    int64_t budget = 20000;
    PlayerControl control{};
    control.yaw = control.pitch = -1;
    control.forward = control.slide_left = 100;
    for (int frame = 0; frame < 200 && budget > 0; ++frame) {
        budget -= WorldObjectHighWater;
        GameClock += 100;
        FrameDelta = 100;
        RunPlayerMovement(player, control);
        RunArenaSimulation(player, 10, 100);
        if (frame % 25 == 24)
            UpdatePlayerEffects(player, 250);
    }
    FreeSpells();
    g_localPlayer = nullptr;
    g_playerView = nullptr;
    return 0;
}
