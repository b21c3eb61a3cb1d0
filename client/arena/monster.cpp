#include "client/arena/monster.h"

#include <cctype>
#include <cstring>

#include "client/arena/grid_queries.h"
#include "client/arena/world_object.h"
#include "client/core/config_file.h"
#include "client/core/error_log.h"
#include "client/screens/chat_buffer.h"
#include "common/random.h"

MonsterDefinition MonsterDefinitionTable[kMonsterDefinitions];
int32_t MonsterDefinitionCount = 0;

namespace {

struct KindRow {
    int16_t spell_num, trigger_range, fire_chance, follow_chance, max_action_timer;
    uint16_t imagenum, variant;
    int16_t image_timer_max, max_velocity, hit_points, team;
};

constexpr KindRow kKinds[] = {
    {7, 320, 50, 0, 3000, 201, 1, 70, 64, 60, 4},
    {28, 448, 75, 75, 2000, 202, 2, 78, 64, 100, 4},
    {24, 448, 50, 100, 4000, 10, 0, 78, 64, 100, 4},
    {21, 448, 100, 100, 5000, 52, 0, 78, 64, 100, 4},
    {66, 448, 50, 100, 4000, 60, 0, 78, 64, 75, 4},
    {198, 448, 50, 100, 4000, 113, 0, 78, 64, 100, 4},
    {67, 320, 50, 100, 4000, 156, 0, 78, 80, 100, 5},
};
constexpr KindRow kOtherKind = {0, 0, 0, 0, 0, 0, 0, 175, 0, 1, 0};

constexpr const char* kIntKeys[] = {
    "image_timer_max", "death_image_timer_max", "team", "width", "tall", "max_hits", "damage_dice",
    "damage_num_dice", "damage_base", "light_pattern", "light_glow", "max_step", "spell_num", "trigger_range",
    "max_velocity", "fire_chance", "follow_chance", "max_action_timer", "standing_imagenum",
    "alternate_imagenum", "crawling_imagenum", "death_imagenum", "attack_sound", "death_sound", "paper_doll",
    "hit_effect", "death_effect"};

int32_t* IntField(MonsterDefinition& d, int i) {
    int32_t* fields[] = {&d.image_timer_max, &d.death_image_timer_max, &d.team, &d.width, &d.tall, &d.max_hits,
                         &d.damage_dice, &d.damage_num_dice, &d.damage_base, &d.light_pattern, &d.light_glow,
                         &d.max_step, &d.spell_num, &d.trigger_range, &d.max_velocity, &d.fire_chance,
                         &d.follow_chance, &d.max_action_timer, &d.standing_imagenum, &d.alternate_imagenum,
                         &d.crawling_imagenum, &d.death_imagenum, &d.attack_sound, &d.death_sound, &d.paper_doll,
                         &d.hit_effect, &d.death_effect};
    return fields[i];
}

int FirstLetter(const char* text) {
    return std::tolower(static_cast<unsigned char>(text[0]));
}

}  // namespace

int LoadMonsterDefs() {
    const char* file = "monster.dat";
    ErrorLogWrite("In Load Monsters.");
    int count = 0;
    GetConfigInt(file, "monsterdefs", "nummonsters", &count, 0, 0);
    ErrorLogWrite("  Num=%d\n", count);
    if (count < 1)
        return 0;
    if (count > kMonsterDefinitions)
        count = kMonsterDefinitions;
    MonsterDefinitionCount = count;
    for (int n = 0; n < count; ++n) {
        MonsterDefinition& d = MonsterDefinitionTable[n];
        char section[24];
        std::snprintf(section, sizeof section, "monster%02d", n);
        GetConfigString(file, section, "name", d.name, sizeof d.name, "", 0);
        ErrorLogWrite("Loading Monster #%d -> %s\n", n, d.name);
        for (size_t i = 0; i < sizeof kIntKeys / sizeof kIntKeys[0]; ++i)
            GetConfigInt(file, section, kIntKeys[i], IntField(d, static_cast<int>(i)), 0, 0);
        char word[64];
        if (GetConfigString(file, section, "demeanor", word, sizeof word, "", 0)) {
            switch (FirstLetter(word)) {
            case 'p': d.demeanor = 1; break;
            case 'a': d.demeanor = 2; break;
            case 'r': d.demeanor = 0; break;
            default: break;
            }
        }
        if (GetConfigString(file, section, "command", word, sizeof word, "", 0)) {
            switch (FirstLetter(word)) {
            case 'g': d.command = 4; break;
            case 'p': d.command = 3; break;
            case 'r': d.command = 5; break;
            case 'm': d.command = 2; break;
            case 's': d.command = 1; break;
            default: break;
            }
        }
    }
    GetConfigString(nullptr, nullptr, nullptr, nullptr, 0, nullptr, 0);
    return 0;
}

void CreateMonster(int slot, int kind) {
    if (slot <= 0 || slot >= kWorldObjectSlots)
        return;
    WorldObject& o = WorldObjectTable[slot];
    PrintDebug("Creating Monster: OList=%d IdNum=%u, Onum=%d", kind, o.id, slot);
    o.facing = static_cast<uint16_t>(GameRand() & 4095);
    o.z_speed = 0;
    o.turn_rate = 0;
    o.acceleration = 0;
    o.type = OBJ_MOVING;
    o.kind = static_cast<uint16_t>(kind);
    o.z = 0;
    o.gravity = 1;
    o.duration_timer = 0;
    o.sound = 0;
    o.sound_range = 0;
    o.fade = 0;
    o.command = 5;
    o.demeanor = 0;
    o.damage_dice = o.damage_num_dice = o.damage_base = 0;
    o.light_pattern = 0;
    o.max_flicker = 0;
    o.light_glow = 0;
    o.generator = 0;
    o.max_step = 32;
    o.width = 20;
    o.tall = 50;
    const KindRow& row = kind >= 1 && kind <= 7 ? kKinds[kind - 1] : kOtherKind;
    o.spell_num = row.spell_num;
    o.trigger_range = row.trigger_range;
    o.fire_chance = row.fire_chance;
    o.follow_chance = row.follow_chance;
    o.max_action_timer = row.max_action_timer;
    o.action_timer = row.max_action_timer;
    o.imagenum = row.imagenum;
    o.body_variant = o.head_variant = row.variant;
    o.image_timer_max = row.image_timer_max;
    o.max_velocity = row.max_velocity;
    o.hit_points = o.max_hits = row.hit_points;
    o.team = row.team;
    o.death_image_timer_max = 150;
    o.speed = o.max_velocity;
    o.z = static_cast<int16_t>(GetFloorHeight(o.x, o.y, -1000, 0));
    o.pos_z = static_cast<int32_t>(static_cast<uint32_t>(o.z) << 16);
    o.target = 0;
    o.death_imagenum = 0;
}
