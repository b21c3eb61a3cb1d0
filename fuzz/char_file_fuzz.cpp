// char.bin: any bytes must validate or be refused cleanly, and every slot that loads must leave
// the character's numbers and texts within their ranges, and save to bytes that load and save
// again unchanged. The input is tried as it is and with its version and both checksums made
// right, so the fuzzer reaches the records behind them; its first 208 bytes are also loaded as a
// slot's copy from the service.

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

// Load, save, load and save again: the second save writes the bytes of the first, and both loads
// leave the same character.
void CheckRoundTrip(void (*load)(const uint8_t*, LocalPlayer&), void (*save)(uint8_t*, const LocalPlayer&),
                    const uint8_t* record, size_t size) {
    LocalPlayer player{};
    load(record, player);
    CheckLoaded();
    CheckFigure(player);
    std::vector<uint8_t> saved(record, record + size);
    save(saved.data(), player);
    const CurrentCharacter character = g_currentCharacter;
    std::vector<int32_t> values(kGameValueCount);
    for (int i = 0; i < kGameValueCount; ++i)
        values[i] = GetGameValue(i);

    LocalPlayer again{};
    load(saved.data(), again);
    std::vector<uint8_t> resaved = saved;
    save(resaved.data(), again);
    Check(resaved == saved);
    Check(std::memcmp(&character, &g_currentCharacter, sizeof character) == 0);
    for (int i = 0; i < kGameValueCount; ++i)
        Check(GetGameValue(i) == values[i]);
    Check(again.figure_imagenum == player.figure_imagenum && again.body_variant == player.body_variant &&
          again.head_variant == player.head_variant);
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
    for (int s = 0; s < kCharacterSlots; ++s)
        CheckRoundTrip(DecodeCharacterRecord, EncodeCharacterRecord, slots.data() + s * kCharacterRecordSize,
                       kCharacterRecordSize);

    std::vector<uint8_t> copy(kServiceCopySize, 0);
    std::memcpy(copy.data(), data, size < copy.size() ? size : copy.size());
    CheckRoundTrip(DecodeServiceCopy, EncodeServiceCopy, copy.data(), copy.size());
    return 0;
}
