#pragma once
// char.bin for tests and the sample installation, through the game's own record code.

#include <cstdint>
#include <string>
#include <vector>

struct CharacterSketch {
    std::string name, squad, abbreviation;
    int profession = 0, level = 1, points = 0, experience = 0;
    int stats[10] = {};
    int picks[10] = {}, pickLevels[10] = {};
    int readied[20] = {};
    int model = 201, body = 0, head = 0;
};

// Four slots; an empty name leaves its slot empty. Game values and the current character are
// used on the way and cleared after.
std::vector<uint8_t> BuildCharacterFileOf(const std::vector<CharacterSketch>& slots);
