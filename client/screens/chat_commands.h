#pragma once
// Chat lines that begin with "*": the client's own settings, engine display tests and the
// operators' requests; the look-up of a typed player name; and the ignore list kept in user.dat.

constexpr int kCommandWords = 10;
constexpr int kCommandWordSize = 20;  // 19 characters kept
constexpr int kIgnoreSlots = 20;
constexpr int kIgnoreNameLength = 12;
// FindPlayerByName's answer for an empty text or an unknown id.
constexpr int kNoPlayer = 500;

// Client flags the commands change.
extern int CrosshairFlag;    // 1 at start
extern int LagDisplayFlag;   // pings instead of levels on the operators' page; the HUD copies the list each second
extern int HudCycleState;    // 0 shown, 1 frozen, 2 hidden

// Up to ten words: a word that begins with a double quote runs to the next one (blanks kept).
void SplitCommandWords(const char* text, char words[kCommandWords][kCommandWordSize]);

// A player-table index 1 to the top entry; 0 when no name begins with the text; kNoPlayer for an
// empty text or a "#id" that is not in the table.
int FindPlayerByName(const char* text);

// The text after the "*".
void DoChatCommand(const char* text);

// ---- Ignore list ----
// The names (lower case, at most 12 characters); an empty slot holds an empty name.
constexpr int kIgnoreSlotSize = 20;
extern char IgnoreList[kIgnoreSlots][kIgnoreSlotSize];
void LoadIgnoreList();
// Every slot, the empty ones as empty values, so a removal is kept.
void SaveIgnoreList();
// 1 when the name was added; 0 when it was removed or the list is full.
int ToggleIgnore(const char* name);
void ShowIgnoreList();
// A sender whose name, cut to 12 and in lower case, is on the list.
int IsIgnoredName(const char* name);
