#pragma once
// Offline monsters: their generators and the decisions they take every few seconds (stand,
// guard, patrol, roam or hunt; pick a target, attack it or follow it). The movement itself is
// the object update's.

struct LocalPlayer;

enum MonsterCommand {
    CMD_STAND = 1,
    CMD_GUARD = 2,
    CMD_PATROL = 3,
    CMD_GO = 4,
    CMD_ROAM = 5,
    CMD_HUNT = 6,
};
enum MonsterDemeanor {
    DEMEANOR_REACTIVE = 0,
    DEMEANOR_PASSIVE = 1,
    DEMEANOR_AGGRESSIVE = 2,
};
// A monster's target: a world object slot, or this for the local player.
constexpr int kTargetPlayer = 65535;

// Monster generator n makes a monster when its kind is below the maximum; the slot or 0.
int SpawnFromGenerator(int n);
// The clone trigger's monster from generator 0..6, unless that clone is still out: the generator,
// or -1.
int SpawnClone(int generator);
int IsCloneLive(int clone);
// At arena entry: no clone is out.
void ForgetClones();
// frame in 0.1 ms.
void MonsterThink(LocalPlayer& player, int slot, int frame);
// The target kept: -1 the player, a slot, or 0 when it is lost.
int CheckTarget(int slot);
// 65535 for the player, a slot, or 0.
int FindNearestEnemy(int slot);
// The monster casts the spell its record names; 0 when there is no such spell.
int MonsterCastSpell(int slot);
void Attack(int slot);
void Follow(int slot);
void FaceTowards(int slot, int tx, int ty);
// A struck monster's team mates take its target. The alert is kept and carried out with the frame's
// others by RunAllyAlerts (once a frame, at the end of the object update): one scan of the table
// however many monsters were struck; each ally takes the newest alert that reaches it, unless it
// was struck (and alerted) itself later.
void AlertAllies(int slot);
void RunAllyAlerts();
void ForgetAllyAlerts();
