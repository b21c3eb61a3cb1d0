#include "client/screens/character_state.h"

#include <algorithm>
#include <cstring>

#include "client/core/numeric.h"
#include "common/text.h"

LoginData g_login{};
CurrentCharacter g_currentCharacter{};
uint8_t ServiceCopies[kCharacterSlots][kServiceCopySize];
namespace {
// The copies are held scrambled from the start: a slot the service never sent unscrambles to
// zeros, an empty slot, not to a character made of the scramble key.
[[maybe_unused]] const bool g_copiesScrambled = [] {
    for (auto& copy : ServiceCopies)
        XorBuffer(copy, kServiceCopySize);
    return true;
}();
}  // namespace
int32_t SlotRequestState[kCharacterSlots];
int32_t SlotSendState[kCharacterSlots];
int32_t g_currentSlot = 0;

void StoreServiceCopy(int slot, const uint8_t* record, int recordSize) {
    if (slot < 0 || slot >= kCharacterSlots)
        return;
    uint8_t plain[kServiceCopySize] = {};
    std::memcpy(plain + 4, record, std::min(recordSize, kServiceCopySize - 4));
    XorBuffer(plain, kServiceCopySize);
    std::memcpy(ServiceCopies[slot], plain, kServiceCopySize);
}

void ReadServiceCopy(int slot, uint8_t out[kServiceCopySize]) {
    std::memcpy(out, ServiceCopies[slot], kServiceCopySize);
    XorBuffer(out, kServiceCopySize);
}

void ResetCharacterState() {
    g_login = LoginData{};
    g_currentCharacter = CurrentCharacter{};
    for (int s = 0; s < kCharacterSlots; ++s) {
        std::memset(ServiceCopies[s], 0, kServiceCopySize);
        XorBuffer(ServiceCopies[s], kServiceCopySize);
        SlotRequestState[s] = 0;
        SlotSendState[s] = 0;
    }
}

const char* CurrentCharacterName() {
    static char plain[sizeof g_currentCharacter.name];
    CopyText(plain, FieldText(g_currentCharacter.name));
    return SwapOddNibbles(plain);
}
