#pragma once
// The one entry for every received message: routed by code in three stages that the screen state
// allows (arena only; arena, chat and Tavern; every screen), to its handler or handled in place.
// BlockRead and DatagramRead are the receive loops every frame and every wait pumps.

#include <cstdint>

struct LocalPlayer;

// Answer flags: cleared by the wait that expects them, set by their message.
extern int32_t EnterReplied;
extern int32_t GameOpened;
extern int32_t DatagramEstablished;
// 1 while the datagram link is being set up: the one time S_DATAGRAM_ESTABLISHED may move it.
extern int32_t DatagramLinkPending;
extern int32_t WorldSent;
extern int32_t ServiceAccepted;
extern int32_t ServiceRefusal;  // signed value of S_NOT_CONNECTED

// Bytes 1 to 4 of S_SERVER_VERSION or S_NOT_CONNECTED.
extern uint8_t ServerVersion[4];

struct PingFigures {
    uint32_t pingTime;  // game-clock units
    uint32_t pongs;
    uint32_t values[3];
};
extern PingFigures Ping;

// What the name screens read after a name query.
struct NameCheck {
    uint32_t bits;  // 1/2 name, 0x10/0x20 abbreviation checks; 4/8, 0x40/0x80 squad queries
    int32_t queryAnswer;
    int32_t checkAnswer;
    char pendingSquad[32];   // the squad name and abbreviation last queried
    char pendingAbbrev[8];
};
extern NameCheck NameCheckResults;

void DispatchPacket(int code, int source, int destination, uint8_t* body, int length, LocalPlayer* player);
// Pump, then dispatch every whole packet; the tick count the pump read.
uint32_t BlockRead();
uint32_t DatagramRead();
void AnnounceDeath(int victim, int kind, int killer);

// A debug line of the network (level 2) in a colour; NetSay prints always, colour 44.
void NetDebug(int color, const char* format, ...) __attribute__((format(printf, 2, 3)));
void NetSay(int color, const char* format, ...) __attribute__((format(printf, 2, 3)));

void ResetNetDispatch();
