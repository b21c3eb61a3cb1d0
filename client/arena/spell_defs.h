#pragma once
// spell.dat: the editable text form of the spell data, a configuration file of one section per
// spell ("spell01" .. "spell99", then "spell100" ..), one per spell list ("spelllist01" ..) and
// one per profession. LoadSpellDefs reads it into the spell table, the spell lists and the
// professions' lists.

#include <cstddef>

constexpr const char* kSpellDatFile = "spell.dat";
constexpr int kMaxSpellDefs = 399;
constexpr int kMaxSpellListDefs = 49;
constexpr int kSpellDefNameLength = 19;
constexpr int kSpellListDefNameLength = 55;

// The profession sections in the order the spell files keep them, with the profession each
// fills.
struct ProfessionSection {
    const char* section;
    int profession;
};
extern const ProfessionSection kProfessionSections[4];

void SpellSectionName(char* out, size_t size, int number);
void SpellListSectionName(char* out, size_t size, int number);

// The spell type a spell.dat type text names (by its first letters, without regard to case):
// 1 to 10; 0 for "n" (no spell); -1 for any other text.
int SpellTypeFromText(const char* text);

// 1 when everything was read; 0 when numspells or numlists is missing, a spell has no type, or a
// type is unknown. What was read before a failure stays.
int LoadSpellDefs(const char* fileName);
