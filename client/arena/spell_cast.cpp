#include "client/arena/spell_cast.h"

#include <algorithm>
#include <cstdint>

#include "client/arena/local_player.h"
#include "client/arena/spell.h"
#include "client/core/game_values.h"
#include "client/core/sound.h"
#include "client/driver/display_helpers.h"

namespace {

constexpr int kRefusedSound = 36;
constexpr int kRefusedDelay = 500;

// How much a level is worth: steep at first, flatter at the top. Levels of any size (the
// character file and the service send them) are worked out in 64 bits.
int64_t LevelWorth(int64_t level) {
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
    int64_t v = fatigue - (LevelWorth(characterLevel) - LevelWorth(spellLevel));
    v = std::max<int64_t>(v, minFatigue);
    return static_cast<int>(std::clamp<int64_t>(v, 10, 100));
}

int CastSpell(LocalPlayer& player, int fire) {
    CSpell* spell = GetSpell(GetGameValue(115));
    if (!spell)
        return 0;
    if (!fire && spell->cast_timer) {
        player.cast_delay = kRefusedDelay;
        return spell->cast_timer;
    }
    // In 64 bits, so that no power of the spell file wraps round to a free cast; a negative power
    // costs nothing rather than giving power.
    const int64_t fatigue = 100 * static_cast<int64_t>(
        SpellFatigueCost(spell->fatigue, spell->min_fatigue, GetGameValue(0), GetGameValue(116)));
    const int64_t power = 100 * std::max<int64_t>(spell->power, 0);
    if (GetGameValue(109) < power || GetGameValue(111) < fatigue)
        return Refuse(player);
    if (!spell->Cast(player))
        return Refuse(player);
    if (spell->cast_sound)
        PlayGameSound(spell->cast_sound, 0, 0);
    SetGameValue(111, static_cast<int>(std::max<int64_t>(0, GetGameValue(111) - fatigue)));
    SetGameValue(109, static_cast<int>(std::max<int64_t>(0, GetGameValue(109) - power)));
    SetHandFrame(0);
    player.cast_delay = std::max(spell->fire_timer, kRefusedDelay);
    return 1;
}
