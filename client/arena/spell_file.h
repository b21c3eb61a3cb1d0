#pragma once
// spell.bin: the compact spell data every client loads. The kind byte '1', the client's three
// version bytes, 400 spell numbers (a type word and, for types 1 to 10, the type's record), 50
// spell lists (a 56-byte name and 30 spell numbers), the four professions' ten list numbers,
// and a trailing DataChecksum of everything before it, low byte first. Also spells.txt, the
// readable dump of the spell lists.

#include <cstddef>
#include <cstdint>
#include <vector>

constexpr const char* kSpellBinFile = "spell.bin";
constexpr const char* kSpellDumpFile = "spells.txt";
constexpr size_t kSpellRecordBaseSize = 72;

// The record size of a spell type (1 to 10), 0 for others.
size_t SpellRecordSize(int type);

// spell.bin's bytes from the loaded spell table, lists and professions.
std::vector<uint8_t> BuildSpellFile();
// Writes spell.bin; 1, or 0 when the file cannot be written.
int SaveSpellFile(const char* fileName);
// Fills the spell table, the spell lists and the professions' lists; 1, or 0 on any failure,
// reported once in error.log.
int LoadSpellFile(const char* fileName);
int LoadSpellFileFromBytes(const uint8_t* data, size_t size);

// Writes spells.txt: every named list with one line per spell it offers. 1, or 0 when the file
// cannot be written.
int DumpSpellLists();
// One line of the dump (with its line feed) for the spell at a level of a list.
void FormatSpellLine(char* out, size_t size, int level, int number);

// The names the dump uses; numbers outside the tables give "?".
const char* RuneTypeName(int runeType);
const char* ElementName(int element);
const char* EffectName(int effect);
