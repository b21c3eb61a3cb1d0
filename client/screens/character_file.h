#pragma once
// char.bin: the user's four characters, and the current character they are loaded into. The
// file is a version word, a body (a copy of the version, four 480-byte slots, their checksum and
// a zero word) and a checksum of the body, little-endian throughout. A bad or missing file is
// replaced by four empty slots; it is always rewritten whole through a temporary file.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "client/screens/character_state.h"

struct LocalPlayer;

constexpr const char* kCharacterFileName = "char.bin";
constexpr int kCharacterFileVersion = 9;
constexpr size_t kCharacterRecordSize = 480;
constexpr size_t kCharacterSlotBytes = kCharacterSlots * kCharacterRecordSize;  // 1920
constexpr size_t kCharacterFileBodySize = 4 + kCharacterSlotBytes + 4;                // 1928
constexpr size_t kCharacterFileSize = 4 + kCharacterFileBodySize + 2;                 // 1934

constexpr int kReadiedSpells = 20;

// One slot's bytes onto the current character, the game values and the player's figure choice,
// with every number brought into its range; and back, field by field over the record (the bytes
// no field uses are kept).
void DecodeCharacterRecord(const uint8_t* record, LocalPlayer& player);
void EncodeCharacterRecord(uint8_t* record, const LocalPlayer& player);
// The same for a slot's 208-byte service copy in plain form (no readied spells; the 40 values as
// 16-bit words).
void DecodeServiceCopy(const uint8_t* copy, LocalPlayer& player);
void EncodeServiceCopy(uint8_t* copy, const LocalPlayer& player);

// The whole file for these slots.
std::vector<uint8_t> BuildCharacterFile(const uint8_t* slots);
// The slots of a file's bytes; false (and zero slots) when the file is not a good one.
bool ParseCharacterFile(const uint8_t* data, size_t size, uint8_t* slots);

// Replaces a bad or missing char.bin by four empty slots. Returns 0.
int ValidateCharacterFile();
// The four slots of char.bin, validated as above.
void ReadCharacterSlots(uint8_t* slots);
// Slot 0..3 becomes the current character: online from the slot's service copy (refused, with a
// line in error.log, while the slot is being fetched), else from char.bin.
void LoadCharacterFile(LocalPlayer& player, int slot);
// The current character into slot 0..3; online it is also stored as the slot's service copy and
// sent (refused without a name). 1, or 0 when char.bin could not be written (it is then as it
// was).
int SaveCharacterFile(const LocalPlayer& player, int slot);
// SaveCharacterFile of the local player into the selected slot; 0 without a local player.
int SaveCurrentCharacter();
// Empties slot 0..3 (online also its service copy, sent, and the current name). 1, or 0 when
// char.bin could not be written.
int DeleteCharacterSlot(int slot);
