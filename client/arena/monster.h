#pragma once
// Monsters: the definitions file monster.dat, and the built-in values of each kind from which
// monsters are made.

#include <cstdint>

constexpr int kMonsterDefinitions = 100;

struct MonsterDefinition {
    char name[20];
    int32_t image_timer_max, death_image_timer_max, team, unset, width, tall, max_hits;
    int32_t damage_dice, damage_num_dice, damage_base, light_pattern, light_glow, max_step, spell_num;
    int32_t trigger_range, max_velocity, fire_chance, follow_chance, max_action_timer;
    int32_t standing_imagenum, alternate_imagenum, crawling_imagenum, death_imagenum;
    int32_t command, demeanor, attack_sound, death_sound, paper_doll, hit_effect, death_effect;
    int32_t spare[6];
};

extern MonsterDefinition MonsterDefinitionTable[kMonsterDefinitions];
extern int32_t MonsterDefinitionCount;

// Reads monster.dat of the working directory. Returns 0.
int LoadMonsterDefs();
// Fills a taken slot (x and y already set) as a monster of the kind.
void CreateMonster(int slot, int kind);
