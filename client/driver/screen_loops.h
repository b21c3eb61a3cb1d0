#pragma once
// The screen loops that are neither the arena nor the screens of the interface itself: the chat
// and Tavern lobby, the connection to the service and its end, the after-match view, credits,
// small map, help, high scores, the start-up splash screens and the exit message.

#include <cstdint>

struct LocalPlayer;

// Set by a successful login, cleared by disconnection.
extern int32_t g_connected;
// 1 when the connection attempt opened its socket.
extern int32_t g_socketOpened;
// The port of the arena the lobby chose (255 the Tavern).
extern int32_t g_entryPort;

// 1 to enter the arena chosen in the lobby, 11 for the fireteam's screen, else 0.
int PlayChat(LocalPlayer& player);
// With mode > 0: 1 when logged in, else 0; otherwise 0.
int ConnectToService(LocalPlayer& player, int mode);
void Disconnect();
// Closes the sockets of the connection type (the outside transport: unloads the library).
void CloseConnectionSockets();
// 2 when the play mode is 2, else 0.
int ShowMatchSummary(LocalPlayer& player);
void ShowCredits(LocalPlayer& player);
void ShowSmallMap(LocalPlayer& player);
void ShowHelp(LocalPlayer& player);
int ShowHighScores(LocalPlayer& player);
void ShowCompanyScreens();
void ShowLogoScreen();
// Reason 1: could not connect; 2: disconnected. Waits for Escape.
void ShowExitMessage(int reason);

// 1 when the service accepted the login.
int LoginToService();
// 1 when the versions match (always at a privilege level above 0).
int CheckVersion();
// The console lines of a refused login's reply code.
const char* const* LoginRefusalLines(int code);

constexpr int kBriefingLines = 35;
constexpr int kBriefingLineSize = 80;
// Briefing, victory and failure texts of brief.dat.
extern char g_briefing[3][kBriefingLines][kBriefingLineSize];
void LoadBriefing();
