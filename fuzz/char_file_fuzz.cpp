// char.bin: any bytes must validate or be refused cleanly, and every slot that loads must leave
// the character's numbers and texts within their ranges. The input is tried as it is and with
// its version and both checksums made right, so the fuzzer reaches the records behind them; its
// first 208 bytes are also loaded as a slot's copy from the service.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "client/arena/local_player.h"
#include "client/core/game_values.h"
#include "client/screens/character_file.h"

namespace {

void Check(bool ok) {
    if (!ok)
        std::abort();
}

void CheckFigure(const LocalPlayer& player) {
    Check(player.figure_imagenum >= 201 && player.figure_imagenum <= 203);
    Check(player.body_variant >= 0 && player.body_variant <= 2);
    Check(player.head_variant >= 0 && player.head_variant <= 3);
}

void CheckLoaded() {
    Check(std::strlen(g_currentCharacter.name) <= 11);
    Check(std::strlen(g_currentCharacter.squad) <= 31);
    Check(std::strlen(g_currentCharacter.abbrev) <= 7);
    Check(GetGameValue(114) >= 0 && GetGameValue(114) <= 3);
    Check(GetGameValue(0) >= 0 && GetGameValue(0) <= 50);
    Check(GetGameValue(113) >= 0 && GetGameValue(113) <= 127);
    for (int i = 0; i < 10; ++i) {
        const int list = GetGameValue(134 + i), level = GetGameValue(144 + i);
        Check(list >= 0 && list <= 49 && level >= 0 && level <= 50);
    }
    for (const ReadiedSpell& e : g_currentCharacter.readied)
        Check(e.spell >= 0 && e.spell <= 399);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> slots(kCharacterSlotBytes);
    ParseCharacterFile(data, size, slots.data());
    std::vector<uint8_t> fixed(kCharacterSlotBytes, 0);
    std::memcpy(fixed.data(), data, size < fixed.size() ? size : fixed.size());
    const std::vector<uint8_t> file = BuildCharacterFile(fixed.data());
    Check(ParseCharacterFile(file.data(), file.size(), slots.data()));
    Check(std::memcmp(slots.data(), fixed.data(), kCharacterSlotBytes) == 0);
    LocalPlayer player{};
    for (int s = 0; s < kCharacterSlots; ++s) {
        DecodeCharacterRecord(slots.data() + s * kCharacterRecordSize, player);
        CheckLoaded();
        CheckFigure(player);
        std::vector<uint8_t> record(slots.begin() + s * kCharacterRecordSize,
                                    slots.begin() + (s + 1) * kCharacterRecordSize);
        EncodeCharacterRecord(record.data(), player);
    }

    std::vector<uint8_t> copy(kServiceCopySize, 0);
    std::memcpy(copy.data(), data, size < copy.size() ? size : copy.size());
    DecodeServiceCopy(copy.data(), player);
    CheckLoaded();
    CheckFigure(player);
    EncodeServiceCopy(copy.data(), player);
    return 0;
}
