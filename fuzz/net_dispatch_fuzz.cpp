// A received packet of any code, from any source, in any screen state, through the dispatcher and
// its handlers with the presentation and screens recorded. Byte 0 picks the screen state, bytes
// 1 and 2 the code and the source, the rest is the body.

#include <cstdint>
#include <cstring>
#include <memory>

#include "client/arena/local_player.h"
#include "client/arena/player_view.h"
#include "client/arena/spell.h"
#include "client/arena/thin.h"
#include "client/arena/world_object.h"
#include "client/core/game_values.h"
#include "client/core/screen_state.h"
#include "client/net/client_tables.h"
#include "client/net/net_dispatch.h"
#include "client/net/net_lobby.h"
#include "client/net/net_match.h"
#include "client/net/net_rings.h"
#include "client/screens/character_state.h"
#include "client/screens/chat_commands.h"
#include "tests/support/recording_present.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static RecordingPresent* present = new RecordingPresent;
    // An arena to act in: the local player, its view, a spell of each class.
    static LocalPlayer player{};
    static PlayerView view{};
    static const bool spells = [] {
        for (int type = 1; type <= kSpellTypeCount; ++type) {
            auto s = CreateSpell(type);
            s->spell_number = type;
            SetSpell(type, std::move(s));
        }
        return true;
    }();
    (void)spells;
    static const int kStates[] = {1, 2, 11, 3};
    if (size < 3)
        return 0;
    present->calls.clear();
    ResetNetFraming();
    ResetSendRing();
    ClearPlayerTable();
    ResetArenaList();
    ResetNetDispatch();
    ResetNetLobby();
    ResetCharacterState();
    g_linkState = 2;
    g_screenState = kStates[data[0] & 3];
    SetGameValue(118, 7);
    UpdatePlayerTable(9, 50, 1, "Nell");
    ClearWorldObjects();
    ClearThins();
    ResetNetMatch();
    player = LocalPlayer{};
    player.eye_height = 48;
    view = PlayerView{};
    view.x = view.y = 4000;
    g_localPlayer = &player;
    g_playerView = &view;
    // Player 9 has a figure, so the casts of its messages reach the spell classes.
    const int figure = AllocObjectSlot(OBJ_PLAYER);
    WorldObjectTable[figure].id = 9;
    WorldObjectTable[figure].x = WorldObjectTable[figure].y = 1000;
    ActivateObject(figure);
    std::memset(IgnoreList, 0, sizeof IgnoreList);
    std::memcpy(IgnoreList[0], "nell", 5);
    const size_t n = std::min(size - 3, static_cast<size_t>(kMaxFrameBody));
    // Twice: a second copy meets the tables the first one filled. Each copy is exactly the body's
    // length, so that a handler reading past it is caught.
    for (int k = 0; k < 2; ++k) {
        std::unique_ptr<uint8_t[]> copy(new uint8_t[n]);
        if (n)
            std::memcpy(copy.get(), data + 3, n);
        DispatchPacket(data[1], data[2], data[0] >> 2, copy.get(), static_cast<int>(n), g_localPlayer);
    }
    return 0;
}
