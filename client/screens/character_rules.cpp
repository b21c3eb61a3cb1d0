#include "client/screens/character_rules.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "client/arena/local_player.h"
#include "client/arena/player_status.h"
#include "client/arena/spell.h"
#include "client/arena/world_object.h"
#include "client/core/game_values.h"
#include "client/screens/character_file.h"
#include "client/screens/character_state.h"
#include "client/screens/screen_surface.h"

namespace {

// Game value numbers.
constexpr int kLevel = 0, kExperience = 1, kSysop = 3, kFirstStat = 5, kFirstStartStat = 15;
constexpr int kFirstReadied = 25, kFirstPosition = 65, kHitPoints = 107, kMaxHitPoints = 108;
constexpr int kPower = 109, kMaxPower = 110, kPoints = 113, kProfession = 114;
constexpr int kFirstPick = 134, kFirstPickLevel = 144;
constexpr int kPicks = 10, kReadiedSlots = 40, kLevelCap = 30, kStatMax = 127, kPointsMax = 127;

// Statistic numbers (game value #5 + n).
constexpr int kAgility = 0, kConstitution = 1, kEmpathy = 5, kIntuition = 6, kPresence = 7;
constexpr int kQuickness = 8, kStrength = 9;

constexpr int kExperienceTable[40] = {
    0,     5,     50,    150,   300,   600,   1000,  1500,  2100,  3300,  4100,  5100,  6300,  7700,
    10000, 11700, 13700, 16000, 18600, 23600, 26700, 30100, 33900, 38100, 50000, 55000, 60000, 65000,
    70000, 85000, 92500, 100000, 107500, 115000, 140000, 150000, 160000, 170000, 180000, 220000};

constexpr const char* kProfessionNameTable[kProfessionNames] = {"Magician", "Runemage", "Mystic", "Healer"};

constexpr int kRaisable[kRaisableStats] = {kStrength, kQuickness, kAgility, kConstitution,
                                           kEmpathy, kIntuition, kPresence};

// The three statistics each profession starts at 70.
constexpr int kStrongStats[kProfessionNames][3] = {
    {kQuickness, kAgility, kEmpathy},
    {kQuickness, kConstitution, kPresence},
    {kStrength, kAgility, kPresence},
    {kStrength, kConstitution, kIntuition},
};

int ValidProfession(int p) { return p >= 0 && p < kProfessionNames ? p : 0; }

int Value(int n) { return GetGameValue(n); }
void Set(int n, int v) { SetGameValue(n, v); }

// The highest position of a pick's list the character may use.
int KnownPositions(int pick) {
    return std::min({Value(kFirstPickLevel + pick), Value(kLevel), kLevelCap});
}

}  // namespace

const char* ProfessionName(int profession) { return kProfessionNameTable[ValidProfession(profession)]; }

const char* OrdinalWord(int n) {
    static char words[52][6];
    static bool made = false;
    if (!made) {
        for (int i = 0; i < 52; ++i) {
            const char* suffix = "th";
            if (i % 100 < 11 || i % 100 > 13) {
                if (i % 10 == 1)
                    suffix = "st";
                else if (i % 10 == 2)
                    suffix = "nd";
                else if (i % 10 == 3)
                    suffix = "rd";
            }
            std::snprintf(words[i], sizeof words[i], "%d%s", i, suffix);
        }
        made = true;
    }
    return words[std::clamp(n, 0, 51)];
}

int ExperienceForLevel(int level) { return kExperienceTable[std::clamp(level, 0, 39)]; }

int ModelOfLooksType(int type) { return type == 1 ? 202 : type == 2 ? 203 : 201; }

void ClampPlayerFigure(int& model, int& body, int& head) {
    if (model < 201 || model > 203) {
        model = 201;
        body = head = 0;
        return;
    }
    if (body < 0 || body > 2)
        body = 0;
    if (head < 0 || head > 3)
        head = 0;
}

void ClampPlayerFigure(int slot) {
    if (slot <= 0 || slot >= kWorldObjectSlots)
        return;
    WorldObject& o = WorldObjectTable[slot];
    int model = o.imagenum, body = o.body_variant, head = o.head_variant;
    ClampPlayerFigure(model, body, head);
    o.imagenum = static_cast<uint16_t>(model);
    o.body_variant = static_cast<uint16_t>(body);
    o.head_variant = static_cast<uint16_t>(head);
}

void SetProfessionStats(LocalPlayer&, int profession) {
    profession = ValidProfession(profession);
    int level = Value(kLevel);
    if (level < 1) {
        level = 1;
        Set(kLevel, level);
    }
    Set(kProfession, profession);
    int hits = 0, power = 0, powerStat = kEmpathy;
    switch (profession) {
    case 0:
        hits = (level * 9 / 2 + 15) * 100;
        power = level * 600 + 2000;
        break;
    case 1:
        hits = (level * 11 / 2 + 15) * 100;
        power = (level + 4) * 500;
        break;
    case 2:
        hits = (level + 3) * 500;
        power = (level * 11 / 2 + 20) * 100;
        powerStat = kPresence;
        break;
    default:
        hits = level * 600 + 1500;
        power = (level * 9 / 2 + 20) * 100;
        powerStat = kIntuition;
        break;
    }
    hits += StatModifier(hits, kConstitution, 10);
    power += StatModifier(power, powerStat, 10);
    Set(kHitPoints, hits);
    Set(kMaxHitPoints, hits);
    Set(kPower, power);
    Set(kMaxPower, power);
    // Picks follow the level up; a researched pick above it keeps what its points bought.
    for (int i = 0; i < kPicks; ++i)
        if (Value(kFirstPick + i) != 0 && Value(kFirstPickLevel + i) < level)
            Set(kFirstPickLevel + i, level);
    g_screen.pageRedraw = 1;
}

void SetBaseStatistics(LocalPlayer&, int profession) {
    for (int n = 0; n < 10; ++n)
        Set(kFirstStat + n, 50);
    for (int n : kStrongStats[ValidProfession(profession)])
        Set(kFirstStat + n, 70);
}

void SetProfessionPicks(int profession) {
    if (Value(kSysop) < 3)
        return;
    const int p = ValidProfession(profession);
    for (int i = 0; i < kPicks; ++i) {
        const int list = ProfessionListTable[p][i];
        Set(kFirstPick + i, list);
        Set(kFirstPickLevel + i, list ? 1 : 0);
    }
    Set(kPoints, std::clamp(Value(kLevel), 0, kPointsMax));
}

void InitKnownSpells() {
    for (int i = 0; i < kPicks; ++i) {
        const int spell = SpellAtPosition(i, 1);
        Set(kFirstReadied + i, spell);
        Set(kFirstPosition + i, spell ? 1 : 0);
    }
}

void FinishCharacter(LocalPlayer& player) {
    const int p = ValidProfession(Value(kProfession));
    for (int i = 0; i < kPicks; ++i) {
        const int list = ProfessionListTable[p][i];
        Set(kFirstPick + i, list);
        Set(kFirstPickLevel + i, list ? Value(kLevel) : 0);
    }
    Set(kPoints, 0);
    InitKnownSpells();
    SetProfessionStats(player, p);
    SetBaseStatistics(player, p);
    SetProfessionStats(player, p);
    SetProfessionPicks(p);
    SaveCharacterFile(player, g_currentSlot);
}

void SetLevel(LocalPlayer& player, int level) {
    level = std::clamp(level, 0, kMaxCharacterLevel);
    Set(kLevel, level);
    Set(kExperience, ExperienceForLevel(level - 1) * 100);
    SetProfessionStats(player, Value(kProfession));
}

int CheckLevelUp(LocalPlayer& player) {
    int level = Value(kLevel);
    if (level >= kLevelCap) {
        Set(kLevel, kLevelCap);
        return 0;
    }
    if (Value(kExperience) < ExperienceForLevel(level) * 100)
        return 0;
    Set(kLevel, level + 1);
    SetProfessionStats(player, Value(kProfession));
    Set(kPoints, std::min(Value(kPoints) + 10, kPointsMax));
    return 1;
}

void CheckKnownSpells() {
    for (int slot = 0; slot < kReadiedSlots; ++slot) {
        const int spell = Value(kFirstReadied + slot);
        if (!spell)
            continue;
        int found = 0;
        for (int pick = 0; pick < kPicks && !found; ++pick) {
            for (int position = 1; position <= kSpellListLevels; ++position) {
                if (SpellAtPosition(pick, position) == spell) {
                    if (position <= KnownPositions(pick))
                        found = position;
                    break;
                }
            }
            if (found)
                break;
        }
        Set(kFirstReadied + slot, found ? spell : 0);
        Set(kFirstPosition + slot, found);
    }
}

int RaisableStatValue(int n) { return Value(kFirstStat + kRaisable[std::clamp(n, 0, kRaisableStats - 1)]); }

int RaiseCost(int value) {
    if (value >= 120)
        return 10;
    if (value >= 110)
        return 5;
    if (value >= 100)
        return 3;
    if (value >= 90)
        return 2;
    return 1;
}

int RaiseStatistic(int n) {
    const int stat = kFirstStat + kRaisable[std::clamp(n, 0, kRaisableStats - 1)];
    const int value = Value(stat);
    const int cost = RaiseCost(value);
    // A statistic is a signed byte in char.bin: it stops at 127.
    if (value >= kStatMax || Value(kPoints) < cost)
        return 0;
    Set(kPoints, Value(kPoints) - cost);
    Set(stat, value + 1);
    return 1;
}

int LowerStatistic(int n) {
    const int index = kRaisable[std::clamp(n, 0, kRaisableStats - 1)];
    const int value = Value(kFirstStat + index);
    if (value <= Value(kFirstStartStat + index))
        return 0;
    Set(kFirstStat + index, value - 1);
    Set(kPoints, std::min(Value(kPoints) + RaiseCost(value - 1), kPointsMax));
    return 1;
}

int ResearchList(int pick) {
    if (pick < 0 || pick >= kPicks || Value(kPoints) <= 0)
        return 0;
    const int level = Value(kFirstPickLevel + pick) + 2;
    if (level < kLevelCap + 1) {
        Set(kPoints, Value(kPoints) - 1);
        Set(kFirstPickLevel + pick, level);
    } else {
        Set(kFirstPickLevel + pick, kLevelCap);
    }
    return 1;
}

int SpellAtPosition(int pick, int position) {
    if (pick < 0 || pick >= kPicks || position < 1 || position > kSpellListLevels)
        return 0;
    const int list = Value(kFirstPick + pick);
    if (list < 1 || list >= kSpellListCount)
        return 0;
    return SpellListTable[list].spells[position - 1];
}

void ReadySpell(int slot, int pick, int position) {
    if (slot < 0 || slot >= kReadiedSlots)
        return;
    const int spell = SpellAtPosition(pick, position);
    Set(kFirstReadied + slot, spell);
    Set(kFirstPosition + slot, spell ? position : 0);
}

void ClearReadiedSpell(int slot) {
    if (slot < 0 || slot >= kReadiedSlots)
        return;
    Set(kFirstReadied + slot, 0);
    Set(kFirstPosition + slot, 0);
}

int JudgeCharacterName(const char* name) {
    const size_t n = std::strlen(name);
    if (n == 0)
        return 4;
    for (size_t i = 0; i < n; ++i) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (!std::isalnum(c) && c != ' ' && c != '_')
            return 1;
    }
    if (n <= 3)
        return 2;
    if (name[n - 1] == ' ')
        return 5;
    if (std::strstr(name, "  ") || std::strstr(name, "__"))
        return 6;
    if (!std::isalpha(static_cast<unsigned char>(name[0])))
        return 3;
    return 0;
}

const char* NameRefusalText(int code) {
    switch (code) {
    case 1:
        return "Your name must be Alphanumeric!";
    case 2:
        return "Your name must three or more characters!";
    case 3:
        return "Your name must start with a letter!";
    case 4:
        return "Please enter a name";
    case 5:
        return "Your name cannot end with a space!";
    case 6:
        return "Your name cannot have double-spaces or lines!";
    default:
        return "";
    }
}
