#pragma once
// The character screen: a new character through name, profession and looks; the sheet of one
// with its spell lists, readied spells and statistics; raising statistics after a level-up;
// saving and deleting.

#include <cstdint>

struct LocalPlayer;

constexpr int kCharacterButtons = 21;

struct CharacterButton {
    int32_t used;
    int32_t second;
    int32_t x1, y1, x2, y2;
    int32_t redraw;
    int32_t click;
    int32_t id;
    int32_t hover;
    char label[40];
};
extern CharacterButton CharacterButtons[kCharacterButtons];

struct CharacterScreenState {
    int32_t page;
    int32_t redraw;
    int32_t looksType;      // 0..2
    int32_t head;           // 0..2
    int32_t image;          // 0..3
    int32_t previewColour;  // 1..3
    int32_t selectedPick;   // 0..9
    int32_t selectedPosition;
    int32_t selectedReadied;  // 0..39
    int32_t bank;             // 0 slots 0..19, 1 slots 20..39
    int32_t selectedStat;     // 0..6
    int32_t nameNeeded;
    int32_t nameCheck;        // 0 none, 1 duplicate, 2 illegal, 3 no answer
    int32_t deleteOpen;
    int32_t deleteChoice;
    uint32_t deleteTicket;
    int32_t currentButton;
    int32_t ended;
    int32_t slot;
    int32_t hasCharacter;
};
extern CharacterScreenState g_characterScreen;

// Screen 7: returns 0. Slot -1 is the menu's current slot.
int CharacterCreation(LocalPlayer& player, int slot = -1);
void SetCharacterPage(LocalPlayer& player, int page);
// The index of the first button in use with this id whose click state is set (cleared), or -1.
int TakeButtonPress(int id);
// 0 (name accepted and stored) or a refusal 1..6.
int EditCharacterName();
// 0 when the name may be used, 1 when refused (the reason in the name-check result).
int CheckDuplicateName();
// The screen's keys and region clicks of one frame.
void CharacterCreationInput(LocalPlayer& player);
// Acts on the pressed buttons of one frame.
void ActOnCharacterButtons(LocalPlayer& player);
void DrawCharacterSheet(LocalPlayer& player);
