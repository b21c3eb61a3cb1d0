#pragma once
// Entering the service, the Tavern and an arena: the request senders, the waits that pump the
// receive loop on the one-shot timer 11 until the answer's flag is set, and the entry sequences
// the screen loops call. Also the link's own timers (keep-alive, character retries).

#include <cstdint>

struct LocalPlayer;

constexpr int kWaitTimer = 11;
constexpr int kKeepAliveTimer = 12;

// Set by timer 11; every wait clears it first.
extern int32_t WaitOverFlag;
// Game value #1 at the last registered score.
extern int32_t LastRegisteredScore;

// ---- Senders (each sends nothing unless connected) -------------------------------------------
void SendOpenGame();
void SendEstablishDatagram();
void SendRequestWorld();
void SendRequestWorldLarge();
void RequestObject(int id);
void RequestPlayer(int id);
void RequestArena(int id);
void SendPlayerEnter(LocalPlayer* player, int port);
void SendInitPlayer(LocalPlayer* player);
void SendRequestRaise(LocalPlayer* player, int id);
void SendScore(int score);
void RequestHighScores(int list, int start);
void SendCode175(int value);
void SendCode51(int arena);
void SendDropFlag(LocalPlayer* player);
void SendCode53();
void SendCode71();
void SendConnect();
void SendDisconnect();
void SendPlayerExit(LocalPlayer* player, int value);
void SendSwitchTable(LocalPlayer* player, int table);
void SendPing();
// An effect on the local player with its remaining ms, to one player or all.
void SendPlayerEffect(int spell, int duration, int destination);
void SendRemovePlayerEffect(int spell);
void SendKeepAlive();

// ---- Waits: 1 when the answer came ------------------------------------------------------------
int WaitForServiceReply();
int WaitForEnterReply(LocalPlayer* player);
int WaitForGameOpened();
int WaitForDatagramLink();
int WaitForWorld();

// ---- Entry sequences ---------------------------------------------------------------------------
// 1 when the Tavern was entered; the chat screen ends on 0.
int EnterTavern(LocalPlayer* player);
void LeaveTavern(LocalPlayer* player);
// 1 when the arena game may start (the game sends F_INIT_PLAYER once its player stands in the
// world); 0 ends the arena screen.
int EnterArenaGame(LocalPlayer* player, int port);
// Moves what the socket of the connection type holds into the receive ring, until it finds
// nothing more or the ring is full; the bytes moved.
int DrainSocket();

// Timers 11 to 14 of the main window.
void OnNetTimer(int id);
void ResetNetHandshake();
