#pragma once
// A level's triggers: doors that swing or slide, elevators that move a rectangle of floor cells,
// teleporters, and triggers that enable others, spawn clones, delete objects, score or end the
// match. Triggers 1..99 by number; 0 means none.

#include <cstdint>
#include <cstdio>
#include <memory>

constexpr int kTriggerSlots = 100;
constexpr int kTriggerTextSize = 61;  // 60 characters

enum TriggerType {
    TRIGGER_NULL = 0,
    TRIGGER_ELEVATOR = 1,
    TRIGGER_DOOR = 2,
    TRIGGER_ENABLE = 3,
    TRIGGER_TELEPORTER = 6,
    TRIGGER_CLONE = 7,
    TRIGGER_DELETE = 8,
    TRIGGER_SCORE = 9,
    TRIGGER_ENDGAME = 10,
};

class Trigger {
public:
    virtual ~Trigger() = default;
    virtual int On();
    virtual int Off();
    // Reads the class's own keys of its section.
    virtual void LoadKeys(FILE* stream, const char* section);

    int32_t texture_off = 0, texture_on = 0;
    int32_t reset_timer = 0, countdown = 0;
    int32_t enabled = 0;
    int32_t initial_state = 0;
    int32_t state = 0;
    int32_t type = 0;
    int32_t number = 0;
    int32_t latching = 0;
    int32_t moving = 0;
    int32_t next_trigger = 0, next_trigger_timing = 0;
    char on_text[kTriggerTextSize] = {};
    char off_text[kTriggerTextSize] = {};
    char disabled_text[kTriggerTextSize] = {};
    int32_t on_sound = 0, off_sound = 0, disabled_sound = 0;
    int32_t skill_required = 0, skill_level_required = 0, activating_trigger = 0;
    int32_t spare[3] = {};

protected:
    int CommonOn(const char* debugText);
    int CommonOff(const char* debugText);
};

class NullTrigger : public Trigger {
public:
    int On() override { return CommonOn("Null Trigger On"); }
    int Off() override { return CommonOff("Null Trigger Off"); }
};

class ElevatorTrigger : public Trigger {
public:
    int On() override;
    int Off() override;
    void LoadKeys(FILE* stream, const char* section) override;
    int32_t elevator = 0, off_height = 0, on_height = 0;
    int32_t move_floor = 1, move_ceiling = 0, move_rooftop = 0;
    int32_t speed = 0, speed_in_use = 0, current = 0, units = 0;
    int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

class DoorTrigger : public Trigger {
public:
    int On() override;
    int Off() override;
    void LoadKeys(FILE* stream, const char* section) override;
    int32_t lock_state = 0, lock_num = 0, lock_level = 0;
    int32_t slide_to_go = 0, slide_amount = 0, slide_axis = 0;
    int32_t closed = 0, open = 0, position = 0, slide_rate = 0, max_rate = 0;
    int32_t angle_to_go = 0, start_angle = 0, end_angle = 0, angle = 0, max_angle_rate = 0, angle_rate = 0;
};

class EnableTrigger : public Trigger {
public:
    int On() override;
    int Off() override { return CommonOff("Enable Trigger Off"); }
    void LoadKeys(FILE* stream, const char* section) override;
    int32_t which = 0;
};

class TeleporterTrigger : public Trigger {
public:
    int On() override;
    int Off() override { return 0; }
    void LoadKeys(FILE* stream, const char* section) override;
    int32_t random = 0, team = 0;
    int32_t x[5] = {}, y[5] = {};
    int32_t source_spell_effect = 0, target_spell_effect = 0;
};

class CloneTrigger : public Trigger {
public:
    int On() override;
    int Off() override { return CommonOff("Create Clone Trigger Off"); }
    void LoadKeys(FILE* stream, const char* section) override;
    int32_t which_clone = 0, x = 0, y = 0;
};

class DeleteObjectTrigger : public Trigger {
public:
    int On() override;
    int Off() override { return CommonOff("Delete Object Trigger Off"); }
    void LoadKeys(FILE* stream, const char* section) override;
    int32_t which_object = 0, radius = 0, x = 0, y = 0;
};

class ScoreTrigger : public Trigger {
public:
    int On() override { return CommonOn("Score Trigger On"); }
    int Off() override { return CommonOff("Score Trigger Off"); }
    void LoadKeys(FILE* stream, const char* section) override;
    int32_t which_score = 0;
    char score_text[kTriggerTextSize] = {};
};

class EndGameTrigger : public Trigger {
public:
    int On() override;
    int Off() override { return CommonOff("EndGame Trigger Off"); }
};

extern std::unique_ptr<Trigger> TriggerTable[kTriggerSlots];

Trigger* GetTrigger(int n);
// The class a trigger.dat type word chooses (by its first letters, any case); null when none.
std::unique_ptr<Trigger> MakeTrigger(const char* typeWord);
void FreeTriggers();

namespace World {
void LoadTriggers(FILE* stream);
}

int ToggleTrigger(int n, int on, int show);
void ChainTrigger(int n, int on, int from);
void InitTriggers();
// frame in 0.1 ms.
void UpdateDoors(int frame);
void SetTriggerThinsState(int n, int texture);
int FindTriggerThin(int n);
void MoveTriggerCells(ElevatorTrigger& elevator, int height);
void LiftOnCell(int cx, int cy, int height);
void MoveTriggerThin(DoorTrigger& door, int thin);
