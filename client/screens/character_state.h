#pragma once
// Who is playing: the login as the account screens keep it, the current character block, and the
// service's copies of the four character slots with their request and send states.

#include <cstdint>

// Account and password are held nibble-swapped (SwapOddNibbles); the rest is plain. They hold
// whatever user.dat gives (at most 100 characters); the service's messages take what their
// fields carry.
constexpr int kLoginTextSize = 128;
struct LoginData {
    char account[kLoginTextSize];
    char password[kLoginTextSize];
    char commandLineText[20];  // kept from the command line; empty without arguments
    char assumedName[20];      // main.dat [main] assumedname
    int32_t privilegeLevel;
};
extern LoginData g_login;

struct ReadiedSpell {
    int32_t spell;
    uint32_t word;
};
// The three texts are held nibble-swapped.
struct CurrentCharacter {
    char name[12];
    char squad[32];
    char abbrev[8];
    ReadiedSpell readied[20];
    int32_t kills;
};
extern CurrentCharacter g_currentCharacter;
// The current character's name in plain text, at most 11 characters (one buffer, reused).
const char* CurrentCharacterName();

constexpr int kCharacterSlots = 4;
constexpr int kServiceCopySize = 208;
constexpr int kServiceCopyFlagsByte = 77;  // the nibbles of game values #3 and #120
// The service's copy of each slot, XOR-scrambled (XorBuffer) except while read or changed.
extern uint8_t ServiceCopies[kCharacterSlots][kServiceCopySize];
// 0 none on the service, 1 being fetched or sent, 2 present; send states 3 stored, 4 refused.
extern int32_t SlotRequestState[kCharacterSlots];
extern int32_t SlotSendState[kCharacterSlots];

// Stores a 250-byte wire record (host order) as slot's copy: wire byte r is copy byte r + 4.
void StoreServiceCopy(int slot, const uint8_t* record, int recordSize);
// A copy of slot's record in plain form.
void ReadServiceCopy(int slot, uint8_t out[kServiceCopySize]);
void ResetCharacterState();

// The selected character slot (0 to 3), kept between menus as user.dat [main] last_slot.
extern int32_t g_currentSlot;
