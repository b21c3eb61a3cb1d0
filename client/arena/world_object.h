#pragma once
// The world object table: every thing of an arena that is not a wall or the local player's own
// camera, in 1000 fixed slots (slot 0 means none). Scans stop at the high-water mark.

#include <cstdint>

constexpr int kWorldObjectSlots = 1000;

// Speeds and hit points of the record are 16-bit: larger values are held at the limit, not wrapped.
constexpr int16_t Clamp16(int64_t v) {
    return static_cast<int16_t>(v < -32768 ? -32768 : v > 32767 ? 32767 : v);
}
// Timers, positions and the like worked out in 64 bits from values of any size: held at the ends
// of the int range.
constexpr int32_t Clamp32(int64_t v) {
    return static_cast<int32_t>(v < INT32_MIN ? INT32_MIN : v > INT32_MAX ? INT32_MAX : v);
}
constexpr int kMonsterKinds = 100;  // kinds 1..99

enum ObjectType {
    OBJ_STATIC = 0,
    OBJ_SPELL = 1,
    OBJ_MOVING = 2,
    OBJ_DYING = 3,
    OBJ_PLAYER = 4,
    OBJ_SERVICE = 5,
    OBJ_BODY = 7,
    OBJ_GATE = 8,
};

struct ObjectEffectSlot {
    uint8_t effect, level, element, overlay;
    uint8_t overlay_type, overlay_position, overlay_facing, overlay_color;
    uint16_t period, overlay_time;
    int32_t remaining;
};

struct WorldObject {
    uint32_t id;
    uint16_t active;
    uint16_t type;
    uint16_t kind;
    int16_t creator;
    int32_t turn_rate, acceleration;
    int32_t pos_x, pos_y, pos_z;
    uint16_t x, y;
    int16_t z;
    int16_t speed, max_velocity, z_speed;
    uint16_t facing;
    int16_t tilt;
    uint16_t pose, anim_state;
    uint16_t imagenum, body_variant, head_variant, death_imagenum;
    uint16_t image_timer;
    int16_t image_timer_max;
    uint16_t death_image_timer_max, image_frame;
    int16_t image_cycles;
    uint16_t death_frame_start, random_death_position, center_death_image;
    int16_t death_effect;
    uint16_t death_effect_range;
    int16_t death_effect_chance, death_spell_effect, hit_effect;
    int32_t overlay_figure, overlay_direction, overlay_tilt, overlay_color;
    int32_t overlay_timer;
    uint16_t width, tall;
    int16_t hit_points, max_hits;
    uint16_t min_damage, max_damage;
    int16_t damage_dice, damage_num_dice, damage_base;
    int16_t min_power_drain, max_power_drain;
    int16_t effect_radius;
    uint16_t gravity, name_label, overlay_on, light_pattern, max_flicker, light_glow, sticky_light;
    uint16_t glow_phase;  // where a glowing light is in its swell; 0 at the arena's entry
    int32_t duration_timer;
    uint16_t sound;
    int16_t sound_range;
    uint16_t activation_sound;
    int16_t death_sound, hit_sound;
    uint16_t effect_sound;
    int16_t attack_sound;
    uint16_t trans_color;
    int16_t miss_sound;
    uint16_t bounce;
    int16_t bounce_effect, bounce_count, max_bounces;
    uint16_t death_bounce, dead, state_bits, biasing, casting, max_targets, targets_hit, raised;
    uint16_t touched_targets[4];
    uint16_t fade, translucent, alignment_translucent, death_translucent;
    int16_t max_step;
    uint32_t last_seen;
    int32_t collision_velocity;
    int32_t smooth_start[3];
    uint16_t smooth_start_facing;
    int16_t smooth_time;
    int32_t smooth_pos[3];
    int32_t smooth_facing;
    uint16_t smoothed;
    ObjectEffectSlot effects[5];
    int16_t element;
    uint16_t target_player, generator, object_trigger, rune_type;
    int16_t trigger_range;
    uint16_t target;
    int16_t spell_num, fire_chance, follow_chance, action_timer, max_action_timer, team;
    uint32_t last_update;
    uint16_t demeanor;
    int16_t command;
    uint16_t waypoint_x, waypoint_y, waypoint2_x, waypoint2_y;
    void* buffers[3];
    uint16_t no_figure;
    int16_t map_node, figure, billboard;
    uint16_t last_visibility;
    uint16_t anim_word;
    int32_t anim_value;
    float anim_time, anim_speed;
    // The figure's arm-sequence time (anim_word holds the sequence state) and overlay time, in
    // seconds.
    float arm_time, overlay_anim_time;
    // What a spell object carries besides the fields above: the caster's skill, the base colour
    // it returns to, its pitch in degrees, the speed along its path and two motion accumulators.
    int16_t skill;
    uint16_t base_trans_color;
    int16_t pitch;
    int32_t path_speed;
    int32_t motion_accum[2];
};

extern WorldObject WorldObjectTable[kWorldObjectSlots];
extern int32_t WorldObjectHighWater;
// How many slots are live: raised only by ActivateObject, lowered only by DestroyObject, so a full
// table is known without a scan.
extern int32_t WorldObjectsLive;
extern int32_t LiveMonsterCount[kMonsterKinds];

// The lowest free slot 1..999, zeroed, its type set and target_player 65535; 0 when all are live.
int AllocObjectSlot(int type);
// The same, standing at (x, y); 0 when all are live.
int AllocObjectAt(int type, int x, int y);
// Makes a filled slot live (figure and all). 1 when it is live afterwards.
int ActivateObject(int slot);
void DestroyObject(int slot);
// A live object's figure after its figure code or variants changed: a new code needs a new
// figure (its name billboard moves along), a player body is dressed again.
void RefreshObjectFigure(int slot, bool newModel);
void KillObject(int slot);
// Lowest monster id 1..254 no live moving object carries; 0 when all are taken.
int NewMonsterId();
int FindMonsterSlotById(int id);
int RollPowerDrain(int slot);

// Object list builders.
void InitObjectFromOlist(int slot, int entry);
void CreateStaticObject(int slot, int entry);
void InitObjectType5(int slot, int kind);

// Lookups by id; -1 when none.
int FindPlayerObjectSlot(int id);
int FindWorldObjectSlot(int id);
// A free object id 1024..4095 in 20 draws, else 0.
int NewObjectId();

// Stores a shrine's alignment, power and weight, and shows it on its object.
void SetShrineState(int shrine, int team, int power, int weight);

// Frees every slot and resets the mark (before a level load).
void ClearWorldObjects();
