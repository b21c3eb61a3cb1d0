#pragma once
// Other players as type-4 world objects that follow their state messages, the packing of the
// local player's own states, and the removal of players gone silent.

#include <cstdint>

struct LocalPlayer;

// The local pose reduced to the four classes the state messages carry.
int PoseClass(int pose);
// Vertical speed v as the state byte: v/4 up to 127, 128 + |v/4| below 0, 255 from -512.
uint8_t VerticalSpeedByte(int v);

// A received state's pose class: pose, width, tall and gravity of the figure.
struct PoseShape {
    uint16_t pose, width, tall, gravity;
};
extern const PoseShape kReceivedPoses[4];

int CreatePlayerObject(const uint8_t* body, int length, int source);
void UpdatePlayerObject(const uint8_t* body, int length, int slot, int source);
void ApplyPlayerShortState(const uint8_t* body, int length, int slot);
void SetPlayerObjectPlace(int slot, int x, int y, int z, int facing, int jump);
void SetObjectCasting(int slot, int on);
void SetObjectBiasing(int slot, int on);
void OnObjectState(const uint8_t* body, int length, int slot);
void CheckStalePlayer();
void ShowKilledMessage(LocalPlayer* player, int killer);
// The figure of a player that died: effects off, dead, its sound, tinted, a death object left.
void MarkPlayerObjectDead(int id);
