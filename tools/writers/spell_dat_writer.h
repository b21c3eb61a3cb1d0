#pragma once
// Writes spell.dat, the text form of the spell data, in the sections the client reads: one per
// spell, one per spell list, one per profession. spell.bin is made from it by the client's own
// loader and saver.

#include <string>
#include <utility>
#include <vector>

#include "client/arena/spell.h"

struct SpellDatSpell {
    int number = 0;
    std::string type;  // "Projectile", "Wall", "Heal", ... or "None"
    std::string name;
    std::vector<std::pair<std::string, int>> keys;  // in the order written
};

struct SpellDatList {
    int number = 0;
    std::string name;
    std::vector<int> levels;  // spell numbers from level 1; missing levels are not written
};

struct SpellDat {
    int numspells = 0;
    std::vector<SpellDatSpell> spells;
    int numlists = 0;
    std::vector<SpellDatList> lists;
    int professions[kProfessionCount][kProfessionListCount] = {};  // by profession number
};

std::string BuildSpellDat(const SpellDat& dat);
