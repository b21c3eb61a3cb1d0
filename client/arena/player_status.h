#pragma once
// The local player's state apart from movement: the action timers and poses (bias, cast), the
// cast result and target flash, death, hits and revival.

#include <cstdint>

struct LocalPlayer;

struct ActionState {
    int32_t bias_timer;   // ms
    int32_t biasing;      // grows by the elapsed ms while biasing
    int32_t death_timer;  // ms
    int32_t cast_pose_timer;
    int32_t cast_result;  // 0 done, -1 refused while moving (falls to -1000), else a pending cast
    int32_t target_flash; // ms the HUD target line stays highlighted
    int32_t gate_pending; // a spirit-gate resurrection is asked for
    int32_t arrival_timer;  // ms of the arrival view left, 0 off
    int32_t arrival_facing; // the facing the arrival view looks along
};

extern ActionState g_actionState;
extern int32_t BiasFacing, BiasPitch;
// The cast overlay shown with the cast pose: 0 none, 1, 2 (function key 10 cycles it).
extern int CastOverlayMode;

void ClearActionState();
// The view a player arrives with: a second from behind the own figure, then two seconds closing
// in on the eye, looking the way the player faced on arrival. Not for a dead player.
constexpr int kArrivalViewTime = 3000;
void BeginArrivalView(const LocalPlayer& player);
// Ends the bias pose: the saved facing and pitch come back.
void EndBias();
// A pending cast is refused.
void CancelPendingCast();
int IsBiasing();
// The player walked into a spirit gate: a dead player asks to be raised there. Gates go.
void DoGateCollision(LocalPlayer& player, int gate);

// The screen tint the arena loop shows: kind (1 revived, 5 hurt) and time left in ms.
extern int32_t TintKind, TintTime;
// Thousandths of a power unit that regeneration carries from frame to frame.
extern int32_t PowerRemainder;
// The nexus power of each team (0..19) that ComputeNexusPower last found.
constexpr int kNexusPowerTeams = 20;
extern int32_t NexusPower[kNexusPowerTeams];

int GetMaxHitPoints();
int GetMaxPower();
// The power of the team's nexus network: bias x weight of every own earthnode linked to its
// powered nexus, / 100; stored and returned. 0 (nothing stored) without a powered nexus.
int ComputeNexusPower(int team);
// The first powered nexus within range: its distance when it is the team's, minus it otherwise.
int NearestNexusDistance(int team, int range);
int SelectHudGauge(LocalPlayer& player);
// The current character's 20 timers (its readied entries' second words): timer 0 runs down only
// on an earthnode cell and timer 1 only on a nexus cell (elsewhere they wait at 5000); the others
// run down by ms, not below 0.
constexpr int kCharacterTimerStart = 5000;
void TickCharacterTimers(const LocalPlayer& player, int ms);
// Power and fatigue come back with the elapsed ms.
void RegeneratePlayer(LocalPlayer& player, int ms);
void UpdateNexusGauge(LocalPlayer& player);

void OnLocalPlayerDeath(LocalPlayer& player, int killer);
// damage is not subtracted here (hit points come with the message); flag ends the poses.
void OnPlayerHit(LocalPlayer& player, int damage, int flag);
void DrainPlayerPower(LocalPlayer& player, int points);
void RevivePlayer(LocalPlayer& player);

void BeginBias();
void ShowBiasOverlay(int slot, int team);
void BeginCastPose();
void EndCastPose();
int IsCasting();
// Non-zero when a cast may start now.
int CanCastNow();
// Once a frame: the bias, death, flash, cast pose and pending cast timers.
void TickActionTimers(LocalPlayer& player);

// Milliseconds a chosen target out of sight stays chosen.
constexpr int kTargetLoseTime = 2000;
extern int32_t TargetLoseTimer;
// Keeps the HUD target (TargetPlayerId) of a spell that aims at it: another player stays while
// his figure is live and in sight, and for the lose timer once out of sight; otherwise the
// target is the player himself. Without such a spell there is no target (0). 1 with such a
// spell. Every change redraws HUD panel 0.
int UpdateSpellTarget(int ms);

// Makes readied slot n (1..40) current; 0 puts the spell away.
void ReadySpellSlot(LocalPlayer& player, int n);
// Makes the next readied spell of group 0..7 current.
void CycleReadiedSpell(LocalPlayer& player, int group);

// value x (s - 50) x factor / 5000, s being game value #(n + 5) held to 0..150.
int StatModifier(int value, int n, int factor);
// The cell code under the player (as the bias and the cast tests read it): 0 while the eye is
// more than 96 above the standing height or the feet are at or above the storey split.
int CellCodeUnderPlayer(const LocalPlayer& player);

// A nexus of the team was damaged or destroyed within the last 6000 ms.
constexpr uint32_t kNexusAlarmMs = 6000;
bool OwnNexusUnderAttack(int team);
// The status line's text, first that applies: a pending or interrupted cast, the match's end, death,
// the cell the player stands on, the ladder, the match's clock and size, god mode; else empty.
void StatusLineText(const LocalPlayer& player, char* text, int size);
// Sets and draws the status text (in the team's colour) and the notice lines, aged by elapsed ms.
void DrawStatusLine(const LocalPlayer& player, int elapsed);
// Keeps the own figure at the player's place; it turns after the view by the shorter way.
void SyncOwnPlayerObject(LocalPlayer& player);
void UpdateOwnPlayerObject(LocalPlayer& player);
