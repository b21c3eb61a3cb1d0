#pragma once
// Start-up settings from the command line, user.dat and main.dat: the outside online service's
// login parameters, the team word, the privilege and debug levels, and the movement constants.

#include <cstdint>

// What the outside online service put on the command line; present only when it gave any.
struct OnlineServiceParams {
    uint8_t present;
    char mode[20];
    char token[120];
    char service[10];
    char address[20];
    char port[10];
    char name[20];
    char handle[75];
};
extern OnlineServiceParams g_onlineService;

// The team word: user.dat [main] team at first, then main.dat [main] team.
extern char g_teamWord[20];

// The privilege level: 0, or 5 for the operator account.
int PrivilegeLevelFor(int number, const char* team);

// The player's movement constants, applied to each arena's view.
struct MovementConstants {
    int32_t maxTurnSpeed = 1750;
    int32_t gravity = 300;
    int32_t turnAcceleration = 10000;
    int32_t turnDeceleration = 10000;
};
extern MovementConstants g_movementConstants;

void ParseCommandLine(const char* commandLine);
// Team word, privilege level (g_login), operator flags (g_operatorFlags) and debug level.
void LoadUserSettings();
// Team word, assumed name, movement constants, sockets and connection type.
void LoadConstants();
// The arena background of team #4 into the game background's name (1 chaosbackfile, 0 and 2
// orderbackfile, 3 balancebackfile; other teams leave it); a missing key ends the program (-1).
void LoadTeamBackground();
