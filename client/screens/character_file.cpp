#include "client/screens/character_file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "client/arena/local_player.h"
#include "client/core/error_log.h"
#include "client/core/game_file_bytes.h"
#include "client/core/game_values.h"
#include "client/core/numeric.h"
#include "client/net/net_lobby.h"
#include "client/screens/character_rules.h"
#include "platform/fs/file_ops.h"
#include "platform/fs/fs.h"


namespace {

// Where each field lies: in a char.bin record, and in the service's copy of a slot, which keeps
// the same fields in other places and widths and carries no readied spells.
struct RecordLayout {
    size_t name, squad, abbreviation, stats, secondStats, picks, pickLevels;
    size_t profession, level, points, rankByte, model, modelBytes, looks, looksBytes;
    size_t experience, values, valueBytes;
    bool hasReadied;
};
constexpr RecordLayout kFileRecord{0, 20, 52, 60, 72, 84, 94, 104, 105, 106, 107,
                                   148, 2, 150, 2, 152, 160, 4, true};
constexpr RecordLayout kServiceRecord{4, 168, 200, 24, 36, 48, 60, 72, 73, 74, 77,
                                      76, 1, 78, 1, 80, 84, 2, false};
constexpr size_t kReadied = 108;
constexpr size_t kNameField = 20, kSquadField = 32, kAbbreviationField = 8;

// Game value numbers.
constexpr int kLevelValue = 0, kExperienceValue = 1, kSysopValue = 3, kFirstStat = 5;
constexpr int kFirstSecondStat = 15, kFirstValue = 25, kValueCount = 40, kPointsValue = 113;
constexpr int kProfessionValue = 114, kOperatorValue = 120, kFirstPick = 134, kFirstPickLevel = 144;
constexpr int kStatCount = 10, kPickCount = 10, kMaxLevel = 50, kLastSpellList = 49;
constexpr int kLastSpell = 399;

uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Get32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
void Put16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
    Put16(p, v);
    Put16(p + 2, v >> 16);
}
uint32_t GetN(const uint8_t* p, size_t bytes) { return bytes == 1 ? p[0] : bytes == 2 ? Get16(p) : Get32(p); }
void PutN(uint8_t* p, size_t bytes, uint32_t v) {
    if (bytes == 1)
        p[0] = static_cast<uint8_t>(v);
    else if (bytes == 2)
        Put16(p, v);
    else
        Put32(p, v);
}

// A stored text into a held one: at most size - 1 characters, terminated, then swapped.
void TakeText(char* out, size_t size, const uint8_t* field, size_t fieldSize) {
    size_t n = 0;
    while (n + 1 < size && n < fieldSize && field[n])
        ++n;
    std::memcpy(out, field, n);
    std::memset(out + n, 0, size - n);
    SwapOddNibbles(out);
}

// A held text into its field in plain form, zero-padded.
void PutText(uint8_t* field, size_t fieldSize, const char* held, size_t heldSize) {
    char plain[32] = {};
    const size_t n = strnlen(held, std::min(heldSize, sizeof plain - 1));
    std::memcpy(plain, held, n);
    SwapOddNibbles(plain);
    std::memset(field, 0, fieldSize);
    std::memcpy(field, plain, std::min(n, fieldSize - 1));
}

int8_t SignedByte(int value) { return static_cast<int8_t>(std::clamp(value, -128, 127)); }

void ClampFigureChoice(LocalPlayer& player) {
    ClampPlayerFigure(player.figure_imagenum, player.body_variant, player.head_variant);
}

bool WriteSlots(const uint8_t* slots) {
    const std::vector<uint8_t> bytes = BuildCharacterFile(slots);
    const std::string target = platform::ResolveGamePath(kCharacterFileName);
    std::string tempPath;
    FILE* temp = platform::CreateTempFileBeside(target, &tempPath);
    if (!temp)
        return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), temp) == bytes.size();
    ok = std::fclose(temp) == 0 && ok;
    ok = ok && platform::SetReplacementMode(tempPath, target, false);
    ok = ok && platform::ReplaceFile(tempPath, target);
    if (!ok)
        platform::RemoveFile(tempPath);
    return ok;
}

bool ValidSlot(int slot) { return slot >= 0 && slot < kCharacterSlots; }

}  // namespace

namespace {

void DecodeRecord(const uint8_t* r, const RecordLayout& at, LocalPlayer& player) {
    TakeText(g_currentCharacter.name, sizeof g_currentCharacter.name, r + at.name, kNameField);
    if (!g_currentCharacter.name[0]) {
        std::strcpy(g_currentCharacter.name, "NoName");
        SwapOddNibbles(g_currentCharacter.name);
    }
    TakeText(g_currentCharacter.squad, sizeof g_currentCharacter.squad, r + at.squad, kSquadField);
    TakeText(g_currentCharacter.abbrev, sizeof g_currentCharacter.abbrev,
             r + at.abbreviation, kAbbreviationField);

    const auto sb = [r](size_t offset) { return static_cast<int>(static_cast<int8_t>(r[offset])); };
    for (int i = 0; i < kStatCount; ++i) {
        SetGameValue(kFirstStat + i, sb(at.stats + i));
        SetGameValue(kFirstSecondStat + i, sb(at.secondStats + i));
    }
    for (int i = 0; i < kPickCount; ++i) {
        int list = sb(at.picks + i);
        int level = std::clamp(sb(at.pickLevels + i), 0, kMaxLevel);
        if (list < 1 || list > kLastSpellList)
            list = level = 0;
        SetGameValue(kFirstPick + i, list);
        SetGameValue(kFirstPickLevel + i, level);
    }
    const int profession = sb(at.profession);
    SetGameValue(kProfessionValue, profession >= 0 && profession <= 3 ? profession : 0);
    SetGameValue(kLevelValue, std::clamp(sb(at.level), 0, kMaxLevel));
    SetGameValue(kPointsValue, std::clamp(sb(at.points), 0, 127));
    SetGameValue(kSysopValue, r[at.rankByte] & 15);
    SetGameValue(kOperatorValue, r[at.rankByte] >> 4);
    if (at.hasReadied) {
        for (int i = 0; i < kReadiedSpells; ++i) {
            const int spell = static_cast<int16_t>(Get16(r + kReadied + 2 * i));
            g_currentCharacter.readied[i].spell = spell >= 1 && spell <= kLastSpell ? spell : 0;
        }
    }
    const uint32_t looks = GetN(r + at.looks, at.looksBytes);
    player.figure_imagenum = static_cast<int32_t>(GetN(r + at.model, at.modelBytes));
    player.body_variant = looks & 15;
    player.head_variant = looks >> 4 & 15;
    ClampFigureChoice(player);
    SetGameValue(kExperienceValue, static_cast<int32_t>(Get32(r + at.experience)));
    for (int i = 0; i < kValueCount; ++i) {
        const uint32_t v = GetN(r + at.values + at.valueBytes * i, at.valueBytes);
        // The file keeps signed 32-bit values, the service unsigned 16-bit words.
        SetGameValue(kFirstValue + i, static_cast<int32_t>(v));
    }
}

void EncodeRecord(uint8_t* r, const RecordLayout& at, const LocalPlayer& player) {
    PutText(r + at.name, kNameField, g_currentCharacter.name, sizeof g_currentCharacter.name);
    PutText(r + at.squad, kSquadField, g_currentCharacter.squad, sizeof g_currentCharacter.squad);
    PutText(r + at.abbreviation, kAbbreviationField, g_currentCharacter.abbrev,
            sizeof g_currentCharacter.abbrev);
    for (int i = 0; i < kStatCount; ++i) {
        r[at.stats + i] = SignedByte(GetGameValue(kFirstStat + i));
        r[at.secondStats + i] = SignedByte(GetGameValue(kFirstSecondStat + i));
    }
    for (int i = 0; i < kPickCount; ++i) {
        r[at.picks + i] = SignedByte(GetGameValue(kFirstPick + i));
        r[at.pickLevels + i] = SignedByte(GetGameValue(kFirstPickLevel + i));
    }
    r[at.profession] = SignedByte(GetGameValue(kProfessionValue));
    r[at.level] = SignedByte(GetGameValue(kLevelValue));
    r[at.points] = SignedByte(GetGameValue(kPointsValue));
    r[at.rankByte] = static_cast<uint8_t>((GetGameValue(kSysopValue) & 15) |
                                          (GetGameValue(kOperatorValue) & 15) << 4);
    if (at.hasReadied) {
        for (int i = 0; i < kReadiedSpells; ++i)
            Put16(r + kReadied + 2 * i, static_cast<uint32_t>(g_currentCharacter.readied[i].spell));
    }
    PutN(r + at.model, at.modelBytes, static_cast<uint32_t>(player.figure_imagenum));
    PutN(r + at.looks, at.looksBytes,
         static_cast<uint32_t>((player.body_variant & 15) | (player.head_variant & 15) << 4));
    Put32(r + at.experience, static_cast<uint32_t>(GetGameValue(kExperienceValue)));
    for (int i = 0; i < kValueCount; ++i)
        PutN(r + at.values + at.valueBytes * i, at.valueBytes,
             static_cast<uint32_t>(GetGameValue(kFirstValue + i)));
}

}  // namespace

void DecodeCharacterRecord(const uint8_t* record, LocalPlayer& player) {
    DecodeRecord(record, kFileRecord, player);
}
void EncodeCharacterRecord(uint8_t* record, const LocalPlayer& player) {
    EncodeRecord(record, kFileRecord, player);
}
void DecodeServiceCopy(const uint8_t* copy, LocalPlayer& player) {
    DecodeRecord(copy, kServiceRecord, player);
}
void EncodeServiceCopy(uint8_t* copy, const LocalPlayer& player) {
    EncodeRecord(copy, kServiceRecord, player);
}

std::vector<uint8_t> BuildCharacterFile(const uint8_t* slots) {
    std::vector<uint8_t> file(kCharacterFileSize, 0);
    Put32(&file[0], kCharacterFileVersion);
    Put32(&file[4], kCharacterFileVersion);
    std::memcpy(&file[8], slots, kCharacterSlotBytes);
    Put16(&file[8 + kCharacterSlotBytes], DataChecksum(slots, kCharacterSlotBytes));
    Put16(&file[4 + kCharacterFileBodySize], DataChecksum(&file[4], kCharacterFileBodySize));
    return file;
}

bool ParseCharacterFile(const uint8_t* data, size_t size, uint8_t* slots) {
    std::memset(slots, 0, kCharacterSlotBytes);
    if (!data || size < 6)
        return false;
    const uint32_t version = Get32(data);
    // Version 8 carries the same body; 5 and every other are not read.
    if (version != 8 && version != 9)
        return false;
    if (size != kCharacterFileSize)
        ErrorLogWrite("Result of Uncompress Larger than buffer!\n");
    uint8_t body[kCharacterFileBodySize] = {};
    std::memcpy(body, data + 4, std::min(size - 6, kCharacterFileBodySize));
    if (Get16(data + size - 2) != DataChecksum(body, kCharacterFileBodySize))
        return false;
    if (Get16(body + 4 + kCharacterSlotBytes) != DataChecksum(body + 4, kCharacterSlotBytes))
        return false;
    std::memcpy(slots, body + 4, kCharacterSlotBytes);
    return true;
}

int ValidateCharacterFile() {
    uint8_t slots[kCharacterSlotBytes];
    ReadCharacterSlots(slots);
    return 0;
}

void ReadCharacterSlots(uint8_t* slots) {
    std::vector<uint8_t> bytes;
    const bool read = ReadGameFileBytes(kCharacterFileName, bytes);
    if (!read || !ParseCharacterFile(bytes.data(), bytes.size(), slots)) {
        // The characters of a bad file are lost; the user gets four empty slots, not a refusal.
        std::memset(slots, 0, kCharacterSlotBytes);
        WriteSlots(slots);
    }
}

namespace {

bool Online() { return g_playMode == 2; }

// The slot's service copy through fn while unscrambled, scrambled again afterwards.
template <typename Fn>
void ChangeServiceCopy(int slot, Fn fn) {
    uint8_t* copy = ServiceCopies[slot];
    XorBuffer(copy, kServiceCopySize);
    fn(copy);
    XorBuffer(copy, kServiceCopySize);
}

}  // namespace

void LoadCharacterFile(LocalPlayer& player, int slot) {
    if (!ValidSlot(slot))
        return;
    if (Online()) {
        if (SlotRequestState[slot] != 0 && SlotRequestState[slot] != 2) {
            ErrorLogWrite("Attempting Multi_User Load Character when Character not sent!\n");
            return;
        }
        uint8_t copy[kServiceCopySize];
        ReadServiceCopy(slot, copy);
        DecodeServiceCopy(copy, player);
    } else {
        uint8_t slots[kCharacterSlotBytes];
        ReadCharacterSlots(slots);
        DecodeCharacterRecord(slots + kCharacterRecordSize * slot, player);
    }
    CheckKnownSpells();
    SetProfessionStats(player, GetGameValue(kProfessionValue));
}

int SaveCharacterFile(const LocalPlayer& player, int slot) {
    if (!ValidSlot(slot))
        return 0;
    if (Online()) {
        if (!g_currentCharacter.name[0]) {
            ErrorLogWrite("Attempting Multi_User SAVE Character when Character NULL Name!\n");
            return 0;
        }
        ChangeServiceCopy(slot, [&player](uint8_t* copy) { EncodeServiceCopy(copy, player); });
        SlotRequestState[slot] = 2;
        SendCharacter(slot);
    }
    uint8_t slots[kCharacterSlotBytes];
    ReadCharacterSlots(slots);
    EncodeCharacterRecord(slots + kCharacterRecordSize * slot, player);
    return WriteSlots(slots) ? 1 : 0;
}

int SaveCurrentCharacter() { return g_localPlayer ? SaveCharacterFile(*g_localPlayer, g_currentSlot) : 0; }

int DeleteCharacterSlot(int slot) {
    if (!ValidSlot(slot))
        return 0;
    if (Online()) {
        ChangeServiceCopy(slot, [](uint8_t* copy) {
            // Everything but the squad texts, which stay with the account's slot.
            std::memset(copy + kServiceRecord.name, 0, kServiceRecord.squad - kServiceRecord.name);
        });
        std::memset(g_currentCharacter.name, 0, sizeof g_currentCharacter.name);
        SlotRequestState[slot] = 0;
        SendCharacter(slot);
    }
    uint8_t slots[kCharacterSlotBytes];
    ReadCharacterSlots(slots);
    std::memset(slots + kCharacterRecordSize * slot, 0, kCharacterRecordSize);
    return WriteSlots(slots) ? 1 : 0;
}
