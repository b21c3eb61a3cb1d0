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
#include "platform/fs/file_ops.h"
#include "platform/fs/fs.h"


namespace {

// Record offsets.
constexpr size_t kName = 0, kSquad = 20, kAbbreviation = 52, kStats = 60, kSecondStats = 72;
constexpr size_t kPicks = 84, kPickLevels = 94, kProfession = 104, kLevel = 105, kPoints = 106;
constexpr size_t kRankByte = 107, kReadied = 108, kModel = 148, kLooks = 150, kExperience = 152;
constexpr size_t kValues = 160;
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

// The figure choice a player figure can show: models 201 to 203, body 0..2, head 0..3.
void ClampFigureChoice(LocalPlayer& player) {
    if (player.figure_imagenum < 201 || player.figure_imagenum > 203) {
        player.figure_imagenum = 201;
        player.body_variant = player.head_variant = 0;
    }
    if (player.body_variant < 0 || player.body_variant > 2)
        player.body_variant = 0;
    if (player.head_variant < 0 || player.head_variant > 3)
        player.head_variant = 0;
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

void DecodeCharacterRecord(const uint8_t* r, LocalPlayer& player) {
    TakeText(g_currentCharacter.name, sizeof g_currentCharacter.name, r + kName, kNameField);
    if (!g_currentCharacter.name[0]) {
        std::strcpy(g_currentCharacter.name, "NoName");
        SwapOddNibbles(g_currentCharacter.name);
    }
    TakeText(g_currentCharacter.squad, sizeof g_currentCharacter.squad, r + kSquad, kSquadField);
    TakeText(g_currentCharacter.abbrev, sizeof g_currentCharacter.abbrev,
             r + kAbbreviation, kAbbreviationField);

    const auto sb = [r](size_t at) { return static_cast<int>(static_cast<int8_t>(r[at])); };
    for (int i = 0; i < kStatCount; ++i) {
        SetGameValue(kFirstStat + i, sb(kStats + i));
        SetGameValue(kFirstSecondStat + i, sb(kSecondStats + i));
    }
    for (int i = 0; i < kPickCount; ++i) {
        int list = sb(kPicks + i);
        int level = std::clamp(sb(kPickLevels + i), 0, kMaxLevel);
        if (list < 1 || list > kLastSpellList)
            list = level = 0;
        SetGameValue(kFirstPick + i, list);
        SetGameValue(kFirstPickLevel + i, level);
    }
    const int profession = sb(kProfession);
    SetGameValue(kProfessionValue, profession >= 0 && profession <= 3 ? profession : 0);
    SetGameValue(kLevelValue, std::clamp(sb(kLevel), 0, kMaxLevel));
    SetGameValue(kPointsValue, std::clamp(sb(kPoints), 0, 127));
    SetGameValue(kSysopValue, r[kRankByte] & 15);
    SetGameValue(kOperatorValue, r[kRankByte] >> 4);
    for (int i = 0; i < kReadiedSpells; ++i) {
        const int spell = static_cast<int16_t>(Get16(r + kReadied + 2 * i));
        g_currentCharacter.readied[i].spell = spell >= 1 && spell <= kLastSpell ? spell : 0;
    }
    const int looks = Get16(r + kLooks);
    player.figure_imagenum = Get16(r + kModel);
    player.body_variant = looks & 15;
    player.head_variant = looks >> 4 & 15;
    ClampFigureChoice(player);
    SetGameValue(kExperienceValue, static_cast<int32_t>(Get32(r + kExperience)));
    for (int i = 0; i < kValueCount; ++i)
        SetGameValue(kFirstValue + i, static_cast<int32_t>(Get32(r + kValues + 4 * i)));
}

void EncodeCharacterRecord(uint8_t* r, const LocalPlayer& player) {
    PutText(r + kName, kNameField, g_currentCharacter.name, sizeof g_currentCharacter.name);
    PutText(r + kSquad, kSquadField, g_currentCharacter.squad, sizeof g_currentCharacter.squad);
    PutText(r + kAbbreviation, kAbbreviationField, g_currentCharacter.abbrev,
            sizeof g_currentCharacter.abbrev);
    for (int i = 0; i < kStatCount; ++i) {
        r[kStats + i] = SignedByte(GetGameValue(kFirstStat + i));
        r[kSecondStats + i] = SignedByte(GetGameValue(kFirstSecondStat + i));
    }
    for (int i = 0; i < kPickCount; ++i) {
        r[kPicks + i] = SignedByte(GetGameValue(kFirstPick + i));
        r[kPickLevels + i] = SignedByte(GetGameValue(kFirstPickLevel + i));
    }
    r[kProfession] = SignedByte(GetGameValue(kProfessionValue));
    r[kLevel] = SignedByte(GetGameValue(kLevelValue));
    r[kPoints] = SignedByte(GetGameValue(kPointsValue));
    r[kRankByte] = static_cast<uint8_t>((GetGameValue(kSysopValue) & 15) |
                                        (GetGameValue(kOperatorValue) & 15) << 4);
    for (int i = 0; i < kReadiedSpells; ++i)
        Put16(r + kReadied + 2 * i, static_cast<uint32_t>(g_currentCharacter.readied[i].spell));
    Put16(r + kModel, static_cast<uint32_t>(player.figure_imagenum));
    Put16(r + kLooks, static_cast<uint32_t>((player.body_variant & 15) | (player.head_variant & 15) << 4));
    Put32(r + kExperience, static_cast<uint32_t>(GetGameValue(kExperienceValue)));
    for (int i = 0; i < kValueCount; ++i)
        Put32(r + kValues + 4 * i, static_cast<uint32_t>(GetGameValue(kFirstValue + i)));
}

std::vector<uint8_t> BuildCharacterFile(const uint8_t* slots) {
    std::vector<uint8_t> file(kCharacterFileSize, 0);
    Put32(&file[0], kCharacterFileVersion);
    Put32(&file[4], kCharacterFileVersion);
    std::memcpy(&file[8], slots, kCharacterSlotBytes);
    Put16(&file[8 + kCharacterSlotBytes], DataChecksum(slots, kCharacterSlotBytes));
    Put16(&file[4 + kCharacterBodySize], DataChecksum(&file[4], kCharacterBodySize));
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
    uint8_t body[kCharacterBodySize] = {};
    std::memcpy(body, data + 4, std::min(size - 6, kCharacterBodySize));
    if (Get16(data + size - 2) != DataChecksum(body, kCharacterBodySize))
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

void LoadCharacterFile(LocalPlayer& player, int slot) {
    if (!ValidSlot(slot))
        return;
    uint8_t slots[kCharacterSlotBytes];
    ReadCharacterSlots(slots);
    DecodeCharacterRecord(slots + kCharacterRecordSize * slot, player);
}

int SaveCharacterFile(const LocalPlayer& player, int slot) {
    if (!ValidSlot(slot))
        return 0;
    uint8_t slots[kCharacterSlotBytes];
    ReadCharacterSlots(slots);
    EncodeCharacterRecord(slots + kCharacterRecordSize * slot, player);
    return WriteSlots(slots) ? 1 : 0;
}

int DeleteCharacterSlot(int slot) {
    if (!ValidSlot(slot))
        return 0;
    uint8_t slots[kCharacterSlotBytes];
    ReadCharacterSlots(slots);
    std::memset(slots + kCharacterRecordSize * slot, 0, kCharacterRecordSize);
    return WriteSlots(slots) ? 1 : 0;
}
