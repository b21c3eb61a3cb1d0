#pragma once
// The rules of a character as the character screen applies them: professions and their derived
// hit points and power, base statistics, spell-list picks, levels and experience, raising
// statistics, researching lists, readied spells and the judging of a typed name. All work on the
// game values of the current character.

struct LocalPlayer;

constexpr int kProfessionNames = 4;
constexpr int kMaxCharacterLevel = 50;
constexpr int kRaisableStats = 7;
constexpr int kCharacterNameMax = 11;

// "Magician", "Runemage", "Mystic", "Healer"; the first for a number outside 0..3.
const char* ProfessionName(int profession);
// "0th", "1st", ... "51st"; the last for a larger number, the first below 0.
const char* OrdinalWord(int n);
// Experience needed to leave level n, in hundreds (levels 0 to 39; the last beyond).
int ExperienceForLevel(int level);
// The figure model of a looks type: 1 is 202, 2 is 203, any other 201.
int ModelOfLooksType(int type);
// A figure code other than 201..203 becomes 201 with both looks 0; otherwise a body outside 0..2
// and a head outside 0..3 become 0.
void ClampPlayerFigure(int& model, int& body, int& head);
// The same rule on a world object's figure code, body and head variants (a slot outside the
// table does nothing).
void ClampPlayerFigure(int slot);

// Level at least 1, #114 = profession, hit points and power with their maxima, and every pick
// holding a list at the level.
void SetProfessionStats(LocalPlayer& player, int profession);
// The ten statistics 50, the profession's three 70.
void SetBaseStatistics(LocalPlayer& player, int profession);
// At sysop level 3 and above: the profession's ten lists at level 1, and points = level.
void SetProfessionPicks(int profession);
// A new character's picks, points, first readied spells and statistics; saved into the current
// slot.
void FinishCharacter(LocalPlayer& player);
void SetLevel(LocalPlayer& player, int level);
// 1 when the experience raised the level (and 10 points were given); levels stay at most 30.
int CheckLevelUp(LocalPlayer& player);
// The first spell of each picked list readied in slots 0..9 at position 1.
void InitKnownSpells();
// Readied spells the picked lists do not offer up to the level are cleared; the others get their
// positions.
void CheckKnownSpells();

// The game value of raisable statistic 0..6 (Strength, Quickness, Agility, Constitution,
// Empathy, Intuition, Presence).
int RaisableStatValue(int n);
// Points to raise a statistic from this value by one.
int RaiseCost(int value);
// 1 when the statistic rose (points covered the cost and it is below 127).
int RaiseStatistic(int n);
// 1 when the statistic fell (only above its value when the raising began).
int LowerStatistic(int n);
// Research on pick 0..9: 1 when points were above 0.
int ResearchList(int pick);

// The spell at position (1..30) of a pick's list, 0 when none.
int SpellAtPosition(int pick, int position);
// Readies the spell at position of pick into readied slot 0..39.
void ReadySpell(int slot, int pick, int position);
void ClearReadiedSpell(int slot);

// 0 when the typed name may be used, else the refusal 1..6 in the order they are judged.
int JudgeCharacterName(const char* name);
// The message of a refusal code 1..6; empty for 0.
const char* NameRefusalText(int code);
