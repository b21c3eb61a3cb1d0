#pragma once
// Other players as type-4 world objects that follow their state messages, the packing of the
// local player's own states, and the removal of players gone silent.

#include <cstdint>

struct LocalPlayer;

// The local pose reduced to the four classes the state messages carry.
int PoseClass(int pose);
// Vertical speed v as the state byte: v/4 up to 127, 128 + |v/4| below 0, 255 from -512.
uint8_t VerticalSpeedByte(int v);

// What the local player's full state is made of.
struct OwnState {
    int speed, poseClass, directionFlags, forward, backward, casting, biasing;
    int heightDifference, health;  // health: the fraction 0..15
    int x, y, effect4, dead, refresh;
    int effect26, effect27, effectGroup;
    int facing, localPose2, sequence;
    int verticalSpeed, bodyByte;
};
// The twelve bytes of F_PLAYER_STATE, in network order.
void PackPlayerState(const OwnState& s, uint8_t out[12]);
// The local player's state as it stands now.
OwnState ReadOwnState(const LocalPlayer& player, int sequence, int refresh);
void SendPlayerState(LocalPlayer* player, int sequence, int refresh);
void SendPlayerShortState(LocalPlayer* player, int sequence);
// Every 500 ms: a full state when the figure or place changed (and at sequence 0), a short one
// when only the facing did, nothing otherwise.
void SendPlayerStateIfChanged(LocalPlayer* player);
void ResetOwnStateSent();
// Every 5000 ms: experience part, counters, hit points, round trip and biases.
void SendPlayerVitals();

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
// Every other player's figure goes (entering an arena); the own figure stays.
void ResetPlayerObjects(const LocalPlayer* player);
// The figure of a player that died: effects off, dead, its sound, tinted, a death object left.
void MarkPlayerObjectDead(int id);
