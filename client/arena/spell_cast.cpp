#include "client/arena/spell_cast.h"

#include <algorithm>

#include "client/arena/local_player.h"
#include "client/arena/spell.h"
#include "client/core/game_values.h"
#include "client/core/sound.h"
#include "client/driver/display_helpers.h"

namespace {

constexpr int kRefusedSound = 36;
constexpr int kRefusedDelay = 500;

// How much a level is worth: steep at first, flatter at the top.
int LevelWorth(int level) {
    if (level <= 10)
        return 15 * level;
    if (level <= 15)
        return 10 * (level + 5);
    if (level <= 20)
        return 7 * level + 95;
    return 5 * (level + 27);
}

int Refuse(LocalPlayer& player) {
    player.cast_delay = kRefusedDelay;
    PlayGameSound(kRefusedSound, 0, 0);
    return 0;
}

}  // namespace

int SpellFatigueCost(int fatigue, int minFatigue, int characterLevel, int spellLevel) {
    int v = fatigue - (LevelWorth(characterLevel) - LevelWorth(spellLevel));
    v = std::max(v, minFatigue);
    return std::clamp(v, 10, 100);
}

int CastSpell(LocalPlayer& player, int fire) {
    CSpell* spell = GetSpell(GetGameValue(115));
    if (!spell)
        return 0;
    if (!fire && spell->cast_timer) {
        player.cast_delay = kRefusedDelay;
        return spell->cast_timer;
    }
    const int fatigue = SpellFatigueCost(spell->fatigue, spell->min_fatigue, GetGameValue(0), GetGameValue(116));
    if (GetGameValue(109) < 100 * spell->power || GetGameValue(111) < 100 * fatigue)
        return Refuse(player);
    if (!spell->Cast(player))
        return Refuse(player);
    if (spell->cast_sound)
        PlayGameSound(spell->cast_sound, 0, 0);
    SetGameValue(111, std::max(0, GetGameValue(111) - 100 * fatigue));
    SetGameValue(109, std::max(0, GetGameValue(109) - 100 * spell->power));
    SetHandFrame(0);
    player.cast_delay = std::max(spell->fire_timer, kRefusedDelay);
    return 1;
}
