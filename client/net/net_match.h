#pragma once
// What the service tells one client about the match around it: earthnode and nexus bias, damage
// and drain dealt to the local player, raising, and the operators' orders that act on the local
// player; and the bias requests and experience it sends. Bodies as they arrived (network order).

#include <cstdint>

#include "client/core/level_defs.h"

struct LocalPlayer;

// Game clock / 10 when each earthnode and nexus last changed hands or was hurt.
extern uint32_t EarthnodeBiasTime[kMaxEarthnodes];
extern uint32_t ShrineChangeTime[kMaxShrines];
// Set by F_GODMODE for an operator.
extern int32_t GodModeFlag;

// ---- Senders ---------------------------------------------------------------------------------
void SendBiasEarthblood(LocalPlayer* player, int node);
void SendBiasShrine(LocalPlayer* player, int shrine);
void send_experience(int amount, int target);
void SendYankResponse();

// ---- Handlers --------------------------------------------------------------------------------
void OnEarthbloodState(const uint8_t* record, LocalPlayer* player);
void OnNexusState(const uint8_t* record, LocalPlayer* player);
// F_EARTHBLOOD_SHRINE_STATE: three nexus records, then twenty earthnode records from byte 24.
void OnEarthbloodShrineState(const uint8_t* body, int length, LocalPlayer* player);
void OnDamage(const uint8_t* body, int length, LocalPlayer* player);
void OnPlayerClearSplat(const uint8_t* body, int length, LocalPlayer* player);
void OnYank(const uint8_t* body, int length);
void OnGodMode(const uint8_t* body, int length);
void OnJumpPlayer(const uint8_t* body, int length, LocalPlayer* player);
void OnYankPlayer(int source, int target, LocalPlayer* player);
void OnKillPlayer(int source, int target, LocalPlayer* player);

// The kill experience factor and death sound of a figure: 4 for figure 202, else 2.
int ObjectKindFactor(int figure);

// The team's name, empty for a byte that names no team.
const char* TeamNameOf(int team);

void ResetNetMatch();
