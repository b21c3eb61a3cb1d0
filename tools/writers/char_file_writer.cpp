#include "tools/writers/char_file_writer.h"

#include <algorithm>
#include <cstring>

#include "client/arena/local_player.h"
#include "client/core/game_values.h"
#include "client/core/numeric.h"
#include "client/screens/character_file.h"

namespace {

void Hold(char* out, size_t size, const std::string& text) {
    std::memset(out, 0, size);
    std::memcpy(out, text.data(), std::min(text.size(), size - 1));
    SwapOddNibbles(out);
}

}  // namespace

std::vector<uint8_t> BuildCharacterFileOf(const std::vector<CharacterSketch>& sketches) {
    std::vector<uint8_t> slots(kCharacterSlotBytes, 0);
    for (size_t s = 0; s < sketches.size() && s < size_t(kCharacterSlots); ++s) {
        const CharacterSketch& c = sketches[s];
        if (c.name.empty())
            continue;
        ResetGameValues();
        std::memset(&g_currentCharacter, 0, sizeof g_currentCharacter);
        Hold(g_currentCharacter.name, sizeof g_currentCharacter.name, c.name);
        Hold(g_currentCharacter.squad, sizeof g_currentCharacter.squad, c.squad);
        Hold(g_currentCharacter.abbrev, sizeof g_currentCharacter.abbrev, c.abbreviation);
        for (int i = 0; i < 10; ++i) {
            SetGameValue(5 + i, c.stats[i]);
            SetGameValue(134 + i, c.picks[i]);
            SetGameValue(144 + i, c.pickLevels[i]);
        }
        SetGameValue(114, c.profession);
        SetGameValue(0, c.level);
        SetGameValue(113, c.points);
        SetGameValue(1, c.experience);
        for (int i = 0; i < kReadiedSpells; ++i)
            g_currentCharacter.readied[i].spell = c.readied[i];
        // The sheet's readied slots hold the same spells.
        for (int i = 0; i < 20; ++i)
            SetGameValue(25 + i, c.readied[i]);
        LocalPlayer player{};
        player.figure_imagenum = c.model;
        player.body_variant = c.body;
        player.head_variant = c.head;
        EncodeCharacterRecord(slots.data() + s * kCharacterRecordSize, player);
    }
    ResetGameValues();
    std::memset(&g_currentCharacter, 0, sizeof g_currentCharacter);
    return BuildCharacterFile(slots.data());
}
