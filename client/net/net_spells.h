#pragma once
// Casts, objects, walls and doors that the service relays between players: the senders the local
// spell classes, bolts and doors call, and the handlers that repeat another player's cast here
// through the same spell classes. Handlers take bodies as they arrived (network order).

#include <cstdint>

struct LocalPlayer;

// ---- Senders (each sends nothing unless connected) -------------------------------------------
// World effect record i (a bolt) as the local cast filled it.
void SendCreateEffect(int record);
void SendCreateObject(int slot);
// The three cast values are those CreateProjectiles takes after the facing.
void SendCreateProjectile(int spell, int x, int y, int z, int facing, int pitch, int skill, int verticalOffset);
void SendCreateRune(int spell, int id, int x, int y, int z, int facing, int team);
void SendCastWall(int spell, int id, int x, int y, int z, int facing, int team);
// The current spell (game value #115) from the view.
void SendDispell();
void SendTargetted(int targetSlot, int resist);
void SendTeleport(int targetId, int kind);
void SendThinDamage(int thinSlot, int damage);
void SendOpenDoor(int trigger, int state);

// ---- Handlers --------------------------------------------------------------------------------
void OnCreateEffect(const uint8_t* body, int length);
void OnCreateObject(const uint8_t* body, int length);
void OnCastWall(const uint8_t* body, int length);
void OnCreateProjectile(const uint8_t* body, int length, int source);
void OnCreateRune(const uint8_t* body, int length);
void OnCastPlayerEffect(const uint8_t* body, int length, int source);
void OnRemovePlayerEffect(const uint8_t* body, int length, int source);
void OnDispell(const uint8_t* body, int length);
void OnTargetted(const uint8_t* body, int length, LocalPlayer* player);
void OnTeleport(const uint8_t* body, int length, LocalPlayer* player);
void OnCreateThin(const uint8_t* body, int length);
void OnThinDeath(const uint8_t* body, int length);
void OnThinDamage(const uint8_t* body, int length);
void OnOpenDoor(const uint8_t* body, int length);
void OnObjectDeath(const uint8_t* body, int length, LocalPlayer* player);
// F_PLAYER_EFFECT: the effect spell and the spell it names as its creation effect.
void OnPlayerEffect(const uint8_t* body, int length, int source);

// The spell of a received number: numbers outside 1..399 name none.
class CSpell;
CSpell* ReceivedSpell(int number);
// The figure slot of a player the table knows, else 0.
int KnownPlayerFigure(int id);
// The name of a player the table knows, else empty.
const char* PlayerName(int id);
// A notice line of a format with up to two texts.
void PushNotice(const char* format, const char* a = "", const char* b = "");
// The view (both eye heights) at the stand height over (x, y) for z; to a figure, for its z + 32.
void MoveViewTo(int x, int y, int z);
void MoveViewToFigure(int figure);
