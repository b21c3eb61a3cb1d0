#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "client/arena/spell.h"
#include "client/arena/spell_defs.h"
#include "client/arena/spell_file.h"
#include "client/core/error_log.h"
#include "client/core/game_file_bytes.h"
#include "client/core/numeric.h"
#include "tests/support/temp_dir.h"

namespace {

// ---- Visitors that read a spell's own fields in record order ---------------------------------

struct KeyCollector : SpellFieldVisitor {
    void Field(const char* key, int32_t&) override { keys.push_back(key); }
    void NegatedField(const char* key, int32_t&) override { keys.push_back(key); }
    void Reserved(int32_t&) override { keys.push_back("reserved"); }
    void RaisesSoundRange(const char*, int32_t&) override {}
    std::vector<std::string> keys;
};

struct Numberer : SpellFieldVisitor {
    explicit Numberer(int32_t first) : next(first) {}
    void Field(const char*, int32_t& v) override { v = next++; }
    void NegatedField(const char*, int32_t& v) override { v = -(next++); }
    void Reserved(int32_t& v) override { v = next++; }
    void RaisesSoundRange(const char*, int32_t&) override {}
    int32_t next;
};

struct ValueCollector : SpellFieldVisitor {
    void Field(const char*, int32_t& v) override { values.push_back(v); }
    void NegatedField(const char*, int32_t& v) override { values.push_back(v); }
    void Reserved(int32_t& v) override { values.push_back(v); }
    void RaisesSoundRange(const char*, int32_t&) override {}
    std::vector<int32_t> values;
};

std::vector<int32_t> OwnValues(CSpell& s) {
    ValueCollector c;
    s.DescribeFields(c);
    return c.values;
}

std::vector<int32_t> CommonValues(const CSpell& s) {
    return {s.type,         s.fatigue,      s.min_fatigue,  s.power,        s.num_cast_sounds, s.cast_sound,
            s.cast_sound_2, s.cast_sound_3, s.cast_sound_4, s.empty_sound,  s.switch_sound,    s.overlay,
            s.spell_number, s.fire_timer,   s.cast_timer,   s.zero_word,    s.valid};
}

// ---- The record layout, word by word, as spell.bin stores it ------------------------------------

const std::vector<std::string> kRecordKeys[kSpellTypeCount + 1] = {
    {},
    {"imagenum", "death_imagenum", "width", "tall", "image_timer_max", "death_image_timer_max", "gravity",
     "light_pattern", "max_flicker", "light_glow", "sticky_light", "duration_timer", "trans_color",
     "death_trans_color", "effect_radius", "miss_sound", "min_damage", "max_damage", "damage_dice",
     "damage_num_dice", "damage_base", "min_power_drain", "max_power_drain", "velocity", "z_velocity",
     "cast_angle", "num_projectiles", "projectile_spacing", "side_by_side", "cast_distance", "elevation",
     "max_step", "translucent", "alignment_translucent", "death_translucent", "random_death_position",
     "center_death_image", "death_effect", "death_effect_range", "death_effect_chance", "death_spell_effect",
     "creation_effect", "horizontal_spread", "vertical_spread", "sound", "sound_range", "death_sound",
     "hit_sound", "reserved", "effect_sound", "reserved", "death_frame_start", "element", "no_team",
     "skill_used", "bounce", "max_bounces", "bounce_effect", "death_bounce", "max_targets", "acceleration",
     "hit_effect"},
    {"texturenum", "length", "wallheight", "max_wallheight", "transparent", "trans_color", "duration_timer",
     "thick", "cast_distance", "hug_floor", "min_damage", "max_damage", "min_power_drain", "max_power_drain",
     "collision_velocity", "element", "hit_points"},
    {"min", "max"},
    {"effect", "duration", "level", "element", "imagenum", "image_timer", "period", "overlay_imagenum",
     "overlay_duration", "overlay_dur_type", "overlay_position", "overlay_facing", "overlay_color",
     "initial_overlay_imagenum", "initial_overlay_duration", "initial_overlay_position",
     "initial_overlay_facing", "initial_overlay_color", "creation_effect"},
    {"imagenum", "death_imagenum", "width", "tall", "image_timer_max", "death_image_timer_max", "gravity",
     "light_pattern", "max_flicker", "light_glow", "sticky_light", "duration_timer", "trans_color", "min_damage",
     "max_damage", "damage_dice", "damage_num_dice", "damage_base", "min_power_drain", "max_power_drain",
     "collision_velocity", "num_objects", "object_spacing", "object_layout", "cast_distance", "elevation",
     "translucent", "death_translucent", "sound", "sound_range", "death_sound", "reserved", "element"},
    {"imagenum", "death_imagenum", "death_imagenum_chance", "effect_imagenum", "leading_edge_imagenum", "width",
     "tall", "image_timer_max", "death_image_timer_max", "effect_image_timer_max", "gravity", "light_pattern",
     "max_flicker", "light_glow", "sticky_light", "duration_timer", "trans_color", "death_trans_color",
     "effect_trans_color", "effect_radius", "min_damage", "max_damage", "damage_dice", "damage_num_dice",
     "damage_base", "min_power_drain", "max_power_drain", "num_objects", "object_spacing", "object_layout",
     "cast_distance", "elevation", "translucent", "death_translucent", "effect_translucent", "range",
     "max_timer", "death_effect", "death_effect_range", "death_effect_chance", "death_spell_effect",
     "creation_effect", "bolt_death_effect", "bolt_death_effect_range", "bolt_death_effect_chance",
     "effect_sound", "effect_sound_range", "element", "skill_used", "friendly", "hug_floor"},
    {"min_damage", "max_damage", "damage_dice", "damage_num_dice", "damage_base", "min_power_drain",
     "max_power_drain", "range", "caster_spell_effect", "target_spell_effect", "effect_sound",
     "effect_sound_range", "miss_sound", "element", "friendly", "group", "creation_effect"},
    {"dispell_type", "range", "level", "effect_sound", "effect_sound_range"},
    {"teleport_type", "caster_spell_effect"},
    {"imagenum", "death_imagenum", "width", "tall", "image_timer_max", "death_image_timer_max", "gravity",
     "light_pattern", "max_flicker", "light_glow", "sticky_light", "duration_timer", "trans_color",
     "effect_radius", "miss_sound", "min_damage", "max_damage", "damage_dice", "damage_num_dice", "damage_base",
     "min_power_drain", "max_power_drain", "velocity", "z_velocity", "cast_angle", "num_projectiles",
     "projectile_spacing", "side_by_side", "cast_distance", "elevation", "max_step", "translucent",
     "alignment_translucent", "death_translucent", "random_death_position", "center_death_image",
     "death_effect", "death_effect_range", "death_effect_chance", "death_spell_effect", "horizontal_spread",
     "vertical_spread", "sound", "sound_range", "death_sound", "reserved", "effect_sound", "reserved",
     "death_frame_start", "element", "no_team", "collision_velocity", "rune_type"},
};

TEST(SpellRecords, EveryTypeKeepsItsRecordLayout) {
    const size_t sizes[] = {0, 320, 140, 80, 148, 204, 276, 140, 92, 80, 284};
    for (int type = 1; type <= kSpellTypeCount; ++type) {
        SCOPED_TRACE(type);
        std::unique_ptr<CSpell> spell = CreateSpell(type);
        ASSERT_TRUE(spell);
        EXPECT_EQ(spell->type, type);
        KeyCollector keys;
        spell->DescribeFields(keys);
        EXPECT_EQ(keys.keys, kRecordKeys[type]);
        EXPECT_EQ(SpellRecordSize(type), sizes[type]);
    }
    EXPECT_FALSE(CreateSpell(0));
    EXPECT_FALSE(CreateSpell(11));
}

// Every class's fields and their starting values, as spell.dat leaves them when it names none.
const char* const kClassDefaults[kSpellTypeCount + 1] = {
    "",
    // CSpellProj
    "imagenum=0 death_imagenum=0 random_death_position=0 center_death_image=1 death_effect=0 "
    "death_effect_range=0 death_effect_chance=100 death_spell_effect=0 creation_effect=0 width=0 tall=0 "
    "image_timer_max=100 death_image_timer_max=100 gravity=0 light_pattern=0 max_flicker=0 light_glow=0 "
    "sticky_light=0 duration_timer=0 trans_color=0 death_trans_color=-1 effect_radius=0 miss_sound=0 "
    "min_damage=0 max_damage=0 damage_dice=0 damage_num_dice=0 damage_base=0 min_power_drain=0 "
    "max_power_drain=0 velocity=64 z_velocity=0 cast_angle=0 num_projectiles=1 projectile_spacing=64 "
    "side_by_side=0 cast_distance=64 elevation=32 max_step=0 translucent=0 alignment_translucent=0 "
    "death_translucent=0 horizontal_spread=0 vertical_spread=0 sound=0 sound_range=640 death_sound=0 "
    "hit_sound=0 effect_sound=0 death_frame_start=0 element=0 no_team=0 skill_used=0 bounce=0 max_bounces=0 "
    "bounce_effect=0 death_bounce=0 acceleration=0 max_targets=0 hit_effect=0",
    // CSpellWall
    "texturenum=1 length=64 wallheight=16 max_wallheight=64 transparent=0 trans_color=0 duration_timer=10000 "
    "thick=16 cast_distance=128 hug_floor=0 collision_velocity=1000 min_damage=0 max_damage=0 "
    "min_power_drain=0 max_power_drain=0 element=0 hit_points=0",
    // CSpellHeal
    "min=1 max=1",
    // CSpellEffect
    "effect=0 duration=1000 level=1 element=0 imagenum=0 image_timer=0 period=0 overlay_imagenum=0 "
    "overlay_duration=0 overlay_dur_type=0 overlay_position=0 overlay_facing=0 overlay_color=0 "
    "initial_overlay_imagenum=0 initial_overlay_duration=0 initial_overlay_position=0 initial_overlay_facing=0 "
    "initial_overlay_color=0 creation_effect=0",
    // CSpellObject
    "imagenum=0 death_imagenum=0 width=0 tall=0 image_timer_max=100 death_image_timer_max=100 gravity=1 "
    "light_pattern=0 max_flicker=0 light_glow=0 sticky_light=0 duration_timer=10000 trans_color=0 "
    "min_damage=0 max_damage=0 damage_dice=0 damage_num_dice=0 damage_base=0 min_power_drain=0 "
    "max_power_drain=0 collision_velocity=0 num_objects=1 object_spacing=0 object_layout=0 cast_distance=128 "
    "elevation=0 translucent=0 death_translucent=0 sound=0 sound_range=640 death_sound=0 element=0",
    // CSpellBolt
    "imagenum=0 death_imagenum=0 death_imagenum_chance=0 effect_imagenum=0 leading_edge_imagenum=0 "
    "death_effect=0 death_effect_range=0 death_effect_chance=100 death_spell_effect=0 creation_effect=0 "
    "bolt_death_effect=0 bolt_death_effect_range=0 bolt_death_effect_chance=100 width=0 tall=0 "
    "image_timer_max=100 death_image_timer_max=100 effect_image_timer_max=100 effect_radius=0 gravity=0 "
    "light_pattern=0 max_flicker=0 light_glow=0 sticky_light=0 duration_timer=1000 trans_color=0 "
    "death_trans_color=-1 effect_trans_color=0 min_damage=0 max_damage=0 damage_dice=0 damage_num_dice=0 "
    "damage_base=0 min_power_drain=0 max_power_drain=0 num_objects=0 object_spacing=0 object_layout=0 "
    "cast_distance=0 elevation=32 translucent=0 death_translucent=0 effect_translucent=0 effect_sound=0 "
    "effect_sound_range=640 range=0 max_timer=0 element=0 skill_used=0 friendly=0 hug_floor=0",
    // CSpellTarget
    "caster_spell_effect=0 target_spell_effect=0 miss_sound=0 effect_sound=0 effect_sound_range=640 "
    "min_damage=0 max_damage=0 damage_dice=0 damage_num_dice=0 damage_base=0 min_power_drain=0 "
    "max_power_drain=0 range=0 element=0 friendly=0 group=0 creation_effect=0",
    // CSpellDispell
    "dispell_type=0 range=0 level=0 effect_sound=0 effect_sound_range=640",
    // CSpellTeleport
    "teleport_type=0 caster_spell_effect=0",
    // CSpellRune
    "imagenum=0 death_imagenum=0 random_death_position=0 center_death_image=1 death_effect=0 "
    "death_effect_range=0 death_effect_chance=100 death_spell_effect=0 width=0 tall=0 image_timer_max=100 "
    "death_image_timer_max=100 gravity=0 light_pattern=0 max_flicker=0 light_glow=0 sticky_light=0 "
    "duration_timer=0 trans_color=0 effect_radius=0 miss_sound=0 min_damage=0 max_damage=0 damage_dice=0 "
    "damage_num_dice=0 damage_base=0 min_power_drain=0 max_power_drain=0 velocity=64 z_velocity=0 "
    "cast_angle=0 num_projectiles=1 projectile_spacing=64 side_by_side=0 cast_distance=64 elevation=32 "
    "max_step=0 translucent=0 alignment_translucent=0 death_translucent=0 horizontal_spread=0 "
    "vertical_spread=0 sound=0 sound_range=640 death_sound=0 effect_sound=0 death_frame_start=0 element=0 "
    "no_team=0 collision_velocity=1000 rune_type=1",
};

std::map<std::string, int32_t> ParseDefaults(const char* text) {
    std::map<std::string, int32_t> out;
    std::istringstream in(text);
    std::string pair;
    while (in >> pair) {
        size_t eq = pair.find('=');
        out[pair.substr(0, eq)] = std::stoi(pair.substr(eq + 1));
    }
    return out;
}

// A spell's own fields by key, its reserved words under "reserved".
struct ByKey : SpellFieldVisitor {
    void Field(const char* key, int32_t& v) override { values[key] = v; }
    void NegatedField(const char* key, int32_t& v) override { values[key] = v; }
    void Reserved(int32_t& v) override { reserved.push_back(v); }
    void RaisesSoundRange(const char*, int32_t&) override {}
    std::map<std::string, int32_t> values;
    std::vector<int32_t> reserved;
};

void ExpectDefaults(CSpell& s) {
    SCOPED_TRACE(s.type);
    EXPECT_EQ(s.fatigue, 100);
    EXPECT_EQ(s.min_fatigue, 10);
    for (int32_t v : {s.power, s.num_cast_sounds, s.cast_sound, s.cast_sound_2, s.cast_sound_3, s.cast_sound_4,
                      s.empty_sound, s.switch_sound, s.overlay, s.fire_timer, s.cast_timer})
        EXPECT_EQ(v, 0);
    ByKey fields;
    s.DescribeFields(fields);
    EXPECT_EQ(fields.values, ParseDefaults(kClassDefaults[s.type]));
    for (int32_t v : fields.reserved)
        EXPECT_EQ(v, 0);
}

TEST(SpellRecords, ClassesStartWithTheirDefaults) {
    for (int type = 1; type <= kSpellTypeCount; ++type) {
        std::unique_ptr<CSpell> spell = CreateSpell(type);
        ASSERT_TRUE(spell);
        ExpectDefaults(*spell);
    }
}

// ---- spell.bin ------------------------------------------------------------------------------------

class SpellFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir.Enter();
        ASSERT_TRUE(OpenErrorLog());
        ClearSpellData();
    }
    void TearDown() override {
        ClearSpellData();
        CloseErrorLog();
    }
    std::string Log() { return dir.Read("error.log"); }
    static void FixChecksum(std::vector<uint8_t>& bytes) {
        uint16_t sum = DataChecksum(bytes.data(), bytes.size() - 2);
        bytes[bytes.size() - 2] = static_cast<uint8_t>(sum);
        bytes[bytes.size() - 1] = static_cast<uint8_t>(sum >> 8);
    }
    // One spell of every type at number 10 x type, each field a different number.
    void FillEveryType() {
        for (int type = 1; type <= kSpellTypeCount; ++type) {
            std::unique_ptr<CSpell> s = CreateSpell(type);
            int32_t base = type * 1000;
            FormatName(*s, type);
            s->fatigue = base + 1;
            s->min_fatigue = base + 2;
            s->power = base + 3;
            s->num_cast_sounds = base + 4;
            s->cast_sound = base + 5;
            s->cast_sound_2 = base + 6;
            s->cast_sound_3 = base + 7;
            s->cast_sound_4 = base + 8;
            s->empty_sound = base + 9;
            s->switch_sound = base + 10;
            s->overlay = base + 11;
            s->spell_number = type * 10;
            s->fire_timer = base + 12;
            s->cast_timer = base + 13;
            s->valid = 1;
            Numberer n(base + 100);
            s->DescribeFields(n);
            SetSpell(type * 10, std::move(s));
        }
    }
    static void FormatName(CSpell& s, int type) {
        std::string name = "Spell of type " + std::to_string(type);
        name.copy(s.name, sizeof s.name - 1);
    }

    TempDir dir;
};

TEST_F(SpellFileTest, EveryTypeRoundTripsFieldByField) {
    FillEveryType();
    for (int n = 1; n < kSpellListCount; ++n) {
        std::string name = "List " + std::to_string(n);
        name.copy(SpellListTable[n].name, sizeof SpellListTable[n].name - 1);
        for (int level = 0; level < kSpellListLevels; ++level)
            SpellListTable[n].spells[level] = n * 100 + level;
    }
    for (int p = 0; p < kProfessionCount; ++p)
        for (int i = 0; i < kProfessionListCount; ++i)
            ProfessionListTable[p][i] = p * 10 + i + 1;

    std::vector<std::vector<int32_t>> common, own;
    for (int type = 1; type <= kSpellTypeCount; ++type) {
        common.push_back(CommonValues(*GetSpell(type * 10)));
        own.push_back(OwnValues(*GetSpell(type * 10)));
    }
    ASSERT_EQ(SaveSpellFile(kSpellBinFile), 1);
    ClearSpellData();
    ASSERT_EQ(LoadSpellFile(kSpellBinFile), 1);

    for (int type = 1; type <= kSpellTypeCount; ++type) {
        SCOPED_TRACE(type);
        CSpell* s = GetSpell(type * 10);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->type, type);
        EXPECT_EQ(std::string(s->name), "Spell of type " + std::to_string(type));
        std::vector<int32_t> expectCommon = common[type - 1];
        if (type == SPELL_OBJECT)
            expectCommon[13] = 0;  // an object spell's fire_timer is not kept
        EXPECT_EQ(CommonValues(*s), expectCommon);
        std::vector<int32_t> expectOwn = own[type - 1];
        for (size_t i = 0; i < expectOwn.size(); ++i)
            if (kRecordKeys[type][i] == "reserved")
                expectOwn[i] = 0;  // reserved words are written as 0
        EXPECT_EQ(OwnValues(*s), expectOwn);
        EXPECT_EQ(GetSpell(type * 10 + 1), nullptr);
    }
    EXPECT_STREQ(SpellListTable[49].name, "List 49");
    EXPECT_EQ(SpellListTable[49].spells[29], 4929);
    for (int p = 0; p < kProfessionCount; ++p)
        for (int i = 0; i < kProfessionListCount; ++i)
            EXPECT_EQ(ProfessionListTable[p][i], p * 10 + i + 1);
}

// A value for each key, so a word in the wrong place shows which field it belongs to.
int32_t KeyValue(const std::string& key) {
    uint32_t v = 0x100;
    for (char c : key)
        v = v * 31 + static_cast<uint8_t>(c);
    return static_cast<int32_t>(v & 0x7FFFFFFF);
}

struct KeySetter : SpellFieldVisitor {
    void Field(const char* key, int32_t& v) override { v = KeyValue(key); }
    void NegatedField(const char* key, int32_t& v) override { v = KeyValue(key); }
    void Reserved(int32_t& v) override { v = 0x7777; }
    void RaisesSoundRange(const char*, int32_t&) override {}
};

uint32_t WordAt(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint32_t>(b[at] | b[at + 1] << 8 | b[at + 2] << 16 | b[at + 3] << 24);
}

TEST_F(SpellFileTest, RecordsHoldTheirFieldsAtTheirOffsets) {
    constexpr size_t kRecord = 12;  // behind the header and spell 1's type word
    for (int type = 1; type <= kSpellTypeCount; ++type) {
        SCOPED_TRACE(type);
        ClearSpellData();
        std::unique_ptr<CSpell> s = CreateSpell(type);
        std::strcpy(s->name, "Golden");
        s->fatigue = 0x11;
        s->min_fatigue = 0x12;
        s->power = 0x13;
        s->num_cast_sounds = 0x14;
        s->cast_sound = 0x15;
        s->cast_sound_2 = 0x16;
        s->cast_sound_3 = 0x17;
        s->cast_sound_4 = 0x18;
        s->switch_sound = 0x19;
        s->empty_sound = 0x1A;
        s->overlay = 0x1B;
        s->fire_timer = 0x1C;
        s->cast_timer = 0x1D;
        KeySetter keys;
        s->DescribeFields(keys);
        // spell.dat's z_velocity=10 is held, and stored, as -10.
        if (auto* p = dynamic_cast<CSpellProj*>(s.get()))
            p->z_velocity = -10;
        if (auto* r = dynamic_cast<CSpellRune*>(s.get()))
            r->z_velocity = -10;
        SetSpell(1, std::move(s));
        std::vector<uint8_t> b = BuildSpellFile();

        EXPECT_EQ(WordAt(b, 8), static_cast<uint32_t>(type));
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[kRecord]), 20), std::string("Golden\0\0\0\0\0\0\0\0\0\0\0\0\0\0", 20));
        const uint32_t common[] = {0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18,
                                   0x19 /* switch_sound at 52 */, 0x1A /* empty_sound at 56 */, 0x1B,
                                   type == SPELL_OBJECT ? 0u : 0x1Cu, 0x1D};
        for (size_t i = 0; i < std::size(common); ++i)
            EXPECT_EQ(WordAt(b, kRecord + 20 + 4 * i), common[i]) << "offset " << 20 + 4 * i;
        const std::vector<std::string>& fields = kRecordKeys[type];
        for (size_t i = 0; i < fields.size(); ++i) {
            uint32_t expected = fields[i] == "reserved"     ? 0u
                                : fields[i] == "z_velocity" ? static_cast<uint32_t>(-10)
                                                            : static_cast<uint32_t>(KeyValue(fields[i]));
            EXPECT_EQ(WordAt(b, kRecord + 72 + 4 * i), expected) << fields[i] << " at " << 72 + 4 * i;
        }
        // Spell 2's empty type word follows the record.
        EXPECT_EQ(WordAt(b, kRecord + 72 + 4 * fields.size()), 0u);

        // And back: z_velocity as stored, an object spell's fire_timer 0.
        ClearSpellData();
        ASSERT_EQ(LoadSpellFileFromBytes(b.data(), b.size()), 1);
        CSpell* loaded = GetSpell(1);
        ASSERT_NE(loaded, nullptr);
        EXPECT_EQ(loaded->switch_sound, 0x19);
        EXPECT_EQ(loaded->empty_sound, 0x1A);
        EXPECT_EQ(loaded->fire_timer, type == SPELL_OBJECT ? 0 : 0x1C);
        if (auto* p = dynamic_cast<CSpellProj*>(loaded))
            EXPECT_EQ(p->z_velocity, -10);
        if (auto* r = dynamic_cast<CSpellRune*>(loaded))
            EXPECT_EQ(r->z_velocity, -10);
    }
}

TEST_F(SpellFileTest, AHealRecordByteForByte) {
    auto heal = CreateSpell(SPELL_HEAL);
    std::strcpy(heal->name, "Heal");
    heal->fatigue = 100;
    heal->min_fatigue = 10;
    heal->power = 2;
    heal->num_cast_sounds = 1;
    heal->cast_sound = 5;
    heal->switch_sound = 7;
    heal->empty_sound = 8;
    heal->overlay = 3;
    heal->fire_timer = 600;
    static_cast<CSpellHeal&>(*heal).min = 4;
    static_cast<CSpellHeal&>(*heal).max = 0x01020304;
    SetSpell(2, std::move(heal));
    std::vector<uint8_t> b = BuildSpellFile();
    const std::vector<uint8_t> golden = {
        0, 0, 0, 0,                                            // spell 1: none
        3, 0, 0, 0,                                            // spell 2: a heal
        'H', 'e', 'a', 'l', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
        100, 0, 0, 0, 10, 0, 0, 0, 2, 0, 0, 0,                 // fatigue, min_fatigue, power
        1, 0, 0, 0, 5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // cast sounds
        7, 0, 0, 0, 8, 0, 0, 0,                                // switch_sound, empty_sound
        3, 0, 0, 0, 0x58, 2, 0, 0, 0, 0, 0, 0,                 // overlay, fire_timer, cast_timer
        4, 0, 0, 0, 4, 3, 2, 1,                                // min, max
        0, 0, 0, 0,                                            // spell 3: none
    };
    ASSERT_GE(b.size(), 8 + golden.size());
    EXPECT_EQ(std::vector<uint8_t>(b.begin() + 8, b.begin() + 8 + static_cast<long>(golden.size())), golden);
}

TEST_F(SpellFileTest, FileLayoutAndProfessionOrder) {
    ProfessionListTable[PROFESSION_MAGICIAN][0] = 11;
    ProfessionListTable[PROFESSION_HEALER][0] = 33;
    ProfessionListTable[PROFESSION_MYSTIC][0] = 22;
    ProfessionListTable[PROFESSION_RUNEMAGE][0] = 44;
    auto heal = CreateSpell(SPELL_HEAL);
    SetSpell(3, std::move(heal));
    std::vector<uint8_t> bytes = BuildSpellFile();
    // Header, 399 type words, one 80-byte record, the list count, 49 lists, 4 professions, checksum.
    ASSERT_EQ(bytes.size(), 8u + 399 * 4 + 80 + 4 + 49 * 176 + 160 + 2);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 8), (std::vector<uint8_t>{'1', 0, 7, 0, 0x90, 1, 0, 0}));
    EXPECT_EQ(bytes[8 + 2 * 4], SPELL_HEAL);
    EXPECT_EQ(bytes[8 + 399 * 4 + 80], 50);
    const size_t professions = bytes.size() - 2 - 160;
    EXPECT_EQ(bytes[professions], 11);       // magician
    EXPECT_EQ(bytes[professions + 40], 33);  // healer
    EXPECT_EQ(bytes[professions + 80], 22);  // mystic
    EXPECT_EQ(bytes[professions + 120], 44); // runemage
    uint16_t sum = DataChecksum(bytes.data(), bytes.size() - 2);
    EXPECT_EQ(bytes[bytes.size() - 2], sum & 0xFF);
    EXPECT_EQ(bytes[bytes.size() - 1], sum >> 8);
}

TEST_F(SpellFileTest, ChecksumIsTestedBeforeVersion) {
    FillEveryType();
    std::vector<uint8_t> good = BuildSpellFile();

    std::vector<uint8_t> changed = good;
    changed[500] ^= 1;
    EXPECT_EQ(LoadSpellFileFromBytes(changed.data(), changed.size()), 0);

    // Each of the three version bytes is compared.
    for (size_t at : {1, 2, 3}) {
        std::vector<uint8_t> version = good;
        version[at] ^= 1;
        FixChecksum(version);
        EXPECT_EQ(LoadSpellFileFromBytes(version.data(), version.size()), 0) << at;
    }

    // The kind byte is not compared.
    std::vector<uint8_t> kind = good;
    kind[0] = '7';
    FixChecksum(kind);
    ClearSpellData();
    EXPECT_EQ(LoadSpellFileFromBytes(kind.data(), kind.size()), 1);
    EXPECT_NE(GetSpell(10), nullptr);

    EXPECT_EQ(LoadSpellFile("missing.bin"), 0);
    EXPECT_EQ(Log(),
              "Log File Started.\n"
              "Spellfile Failed Checksum!\n"
              "Spellfile Failed Version Check!\n"
              "Spellfile Failed Version Check!\n"
              "Spellfile Failed Version Check!\n"
              "No SPELL.BIN file found!");
}

TEST_F(SpellFileTest, DamagedFilesAreRefusedWithinTheirBytes) {
    FillEveryType();
    std::vector<uint8_t> good = BuildSpellFile();
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
    };
    auto truncated = [&](size_t size) {
        std::vector<uint8_t> b(good.begin(), good.begin() + size);
        b.push_back(0);
        b.push_back(0);
        FixChecksum(b);
        return b;
    };
    auto withWord = [&](size_t at, uint32_t v) {
        std::vector<uint8_t> b = good;
        for (int i = 0; i < 4; ++i)
            b[at + i] = static_cast<uint8_t>(v >> (8 * i));
        FixChecksum(b);
        return b;
    };
    std::vector<Case> cases = {
        {"empty", {}},
        {"shorter than its header", {'1', 0, 7, 0, 0x90, 1}},
        {"cut inside a record", truncated(8 + 9 * 4 + 100)},
        {"cut inside the lists", truncated(good.size() - 2 - 1000)},
        {"cut inside the professions", truncated(good.size() - 2 - 7)},
        {"unknown type word", withWord(8, 11)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(LoadSpellFileFromBytes(c.bytes.data(), c.bytes.size()), 0);
    }
    // What was read before the damage stays.
    std::vector<uint8_t> cut = truncated(good.size() - 2 - 1000);
    LoadSpellFileFromBytes(cut.data(), cut.size());
    EXPECT_NE(GetSpell(100), nullptr);

    // Counts above the tables are held to them.
    std::vector<uint8_t> spells = withWord(4, 0xFFFFFFFF);
    EXPECT_EQ(LoadSpellFileFromBytes(spells.data(), spells.size()), 1);
    std::vector<uint8_t> lists = withWord(good.size() - 2 - 160 - 49 * 176 - 4, 5000);
    EXPECT_EQ(LoadSpellFileFromBytes(lists.data(), lists.size()), 1);
}

TEST_F(SpellFileTest, ListNamesEndWithinTheirTableAndLoadsStartEmpty) {
    auto heal = CreateSpell(SPELL_HEAL);
    SetSpell(3, std::move(heal));
    std::vector<uint8_t> b = BuildSpellFile();
    // List 1's 56-byte name without its terminator.
    const size_t list1 = 8 + 399 * 4 + 80 + 4;
    std::memset(&b[list1], 'L', kSpellListNameSize);
    FixChecksum(b);

    // What an earlier load left is gone.
    auto old = CreateSpell(SPELL_WALL);
    SetSpell(300, std::move(old));
    std::strcpy(SpellListTable[40].name, "Old");
    SpellListTable[40].spells[0] = 300;
    ProfessionListTable[PROFESSION_MYSTIC][9] = 40;
    ASSERT_EQ(LoadSpellFileFromBytes(b.data(), b.size()), 1);
    EXPECT_EQ(std::string(SpellListTable[1].name), std::string(kSpellListNameSize - 1, 'L'));
    EXPECT_EQ(SpellListTable[1].spells[0], 0);
    EXPECT_NE(GetSpell(3), nullptr);
    EXPECT_EQ(GetSpell(300), nullptr);
    EXPECT_STREQ(SpellListTable[40].name, "");
    EXPECT_EQ(SpellListTable[40].spells[0], 0);
    EXPECT_EQ(ProfessionListTable[PROFESSION_MYSTIC][9], 0);
}

TEST_F(SpellFileTest, SpellsSurviveSaveAndLoad) {
    auto rune = CreateSpell(SPELL_RUNE);
    static_cast<CSpellRune&>(*rune).death_effect = 7;
    static_cast<CSpellRune&>(*rune).death_spell_effect = 12;
    SetSpell(5, std::move(rune));
    auto object = CreateSpell(SPELL_OBJECT);
    object->fire_timer = 750;
    SetSpell(6, std::move(object));
    std::vector<uint8_t> bytes = BuildSpellFile();
    ClearSpellData();
    ASSERT_EQ(LoadSpellFileFromBytes(bytes.data(), bytes.size()), 1);
    ASSERT_NE(GetSpell(5), nullptr);
    EXPECT_EQ(static_cast<CSpellRune*>(GetSpell(5))->death_effect, 7);
    EXPECT_EQ(GetSpell(5)->spell_number, 5);
    EXPECT_EQ(GetSpell(5)->valid, 1);
    EXPECT_EQ(GetSpell(6)->fire_timer, 0);
    EXPECT_EQ(GetSpell(4), nullptr);
}

// ---- spell.dat --------------------------------------------------------------------------------------

class SpellDefsTest : public SpellFileTest {
protected:
    int Load(const std::string& text) {
        dir.Write("spell.dat", text);
        return LoadSpellDefs("spell.dat");
    }
};

TEST_F(SpellDefsTest, TypesChooseTheirClasses) {
    ASSERT_EQ(Load("[spelldefs]\nnumspells=12\n"
                   "[spell01]\ntype=Projectile\n[spell02]\ntype=wall\n[spell03]\ntype=Heal\n"
                   "[spell04]\ntype=Effect\n[spell05]\ntype=Summon\n[spell06]\ntype=Bolt\n"
                   "[spell07]\ntype=Target\n[spell08]\ntype=Dispell\n[spell09]\ntype=Teleport\n"
                   "[spell10]\ntype=RUNE\n[spell11]\ntype=None\n[spell12]\ntype=nothing\n"
                   "[listdefs]\nnumlists=0\n"),
              1);
    const int expected[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    for (int n = 1; n <= 10; ++n) {
        ASSERT_NE(GetSpell(n), nullptr) << n;
        EXPECT_EQ(GetSpell(n)->type, expected[n]);
        EXPECT_EQ(GetSpell(n)->spell_number, n);
        EXPECT_EQ(GetSpell(n)->valid, 1);
    }
    EXPECT_NE(dynamic_cast<CSpellTeleport*>(GetSpell(9)), nullptr);
    EXPECT_NE(dynamic_cast<CSpellTarget*>(GetSpell(7)), nullptr);
    EXPECT_EQ(GetSpell(11), nullptr);
    EXPECT_EQ(GetSpell(12), nullptr);
}

TEST_F(SpellDefsTest, KeysFillTheirFieldsAndDefaultsHold) {
    ASSERT_EQ(Load("[spelldefs]\nnumspells=3\n"
                   "[spell01]\ntype=Projectile\nname=A name much longer than nineteen\nz_velocity=10\n"
                   "sound_range=100\ndeath_sound_range=900\ncast_timer=1500\nhit_effect=4\n"
                   "[spell02]\ntype=Projectile\nsound_range=100\ndeath_sound_range=50\neffect_sound_range=60\n"
                   "[spell03]\ntype=Rune\nsound_range=100\neffect_sound_range=300\n"
                   "[listdefs]\nnumlists=0\n"),
              1);
    auto* p = static_cast<CSpellProj*>(GetSpell(1));
    EXPECT_STREQ(p->name, "A name much longer ");
    EXPECT_EQ(p->z_velocity, -10);
    EXPECT_EQ(p->sound_range, 900);
    EXPECT_EQ(p->cast_timer, 1500);
    EXPECT_EQ(p->hit_effect, 4);
    EXPECT_EQ(p->fatigue, 100);
    EXPECT_EQ(p->min_fatigue, 10);
    EXPECT_EQ(p->velocity, 64);
    EXPECT_EQ(p->death_trans_color, -1);
    EXPECT_EQ(static_cast<CSpellProj*>(GetSpell(2))->sound_range, 100);
    EXPECT_EQ(static_cast<CSpellRune*>(GetSpell(3))->sound_range, 300);
}

TEST_F(SpellDefsTest, ASpellOfOnlyATypeKeepsEveryDefault) {
    auto old = CreateSpell(SPELL_WALL);
    SetSpell(300, std::move(old));
    std::strcpy(SpellListTable[40].name, "Old");
    ASSERT_EQ(Load("[spelldefs]\nnumspells=10\n"
                   "[spell01]\ntype=p\n[spell02]\ntype=w\n[spell03]\ntype=h\n[spell04]\ntype=e\n[spell05]\ntype=s\n"
                   "[spell06]\ntype=b\n[spell07]\ntype=t\n[spell08]\ntype=d\n[spell09]\ntype=te\n[spell10]\ntype=r\n"
                   "[listdefs]\nnumlists=0\n"),
              1);
    for (int n = 1; n <= kSpellTypeCount; ++n) {
        ASSERT_NE(GetSpell(n), nullptr) << n;
        ExpectDefaults(*GetSpell(n));
    }
    // The load started from empty tables.
    EXPECT_EQ(GetSpell(300), nullptr);
    EXPECT_STREQ(SpellListTable[40].name, "");
}

TEST_F(SpellDefsTest, ThreeDigitSectionsFromSpell100) {
    std::string text = "[spelldefs]\nnumspells=100\n";
    for (int n = 1; n <= 98; ++n)
        text += "[spell" + std::string(n < 10 ? "0" : "") + std::to_string(n) + "]\ntype=None\n";
    text += "[spell99]\ntype=Heal\nmin=99\n[spell100]\ntype=Heal\nmin=100\n";
    text += "[listdefs]\nnumlists=1\n[spelllist01]\nname=First\nlevel01=99\nlevel30=100\n";
    text += "[magician]\nlist00=1\nlist09=7\n[healer]\nlist00=2\n[mystic]\nlist00=3\n[runemage]\nlist00=4\n";
    ASSERT_EQ(Load(text), 1);
    EXPECT_EQ(static_cast<CSpellHeal*>(GetSpell(99))->min, 99);
    EXPECT_EQ(static_cast<CSpellHeal*>(GetSpell(100))->min, 100);
    EXPECT_STREQ(SpellListTable[1].name, "First");
    EXPECT_EQ(SpellListTable[1].spells[0], 99);
    EXPECT_EQ(SpellListTable[1].spells[29], 100);
    EXPECT_EQ(ProfessionListTable[PROFESSION_MAGICIAN][0], 1);
    EXPECT_EQ(ProfessionListTable[PROFESSION_MAGICIAN][9], 7);
    EXPECT_EQ(ProfessionListTable[PROFESSION_HEALER][0], 2);
    EXPECT_EQ(ProfessionListTable[PROFESSION_MYSTIC][0], 3);
    EXPECT_EQ(ProfessionListTable[PROFESSION_RUNEMAGE][0], 4);
}

TEST_F(SpellDefsTest, FailuresStopWhereTheyHappen) {
    EXPECT_EQ(Load("[listdefs]\nnumlists=1\n"), 0);
    EXPECT_EQ(Load("[spelldefs]\nnumspells=2\n[spell01]\ntype=Heal\n[spell02]\nname=untyped\n"), 0);
    EXPECT_NE(GetSpell(1), nullptr);
    EXPECT_EQ(Load("[spelldefs]\nnumspells=2\n[spell01]\ntype=Xylophone\n[spell02]\ntype=Heal\n"), 0);
    EXPECT_EQ(GetSpell(2), nullptr);
    EXPECT_EQ(Load("[spelldefs]\nnumspells=1\n[spell01]\ntype=Heal\n"), 0);  // no numlists
    EXPECT_EQ(Log(),
              "Log File Started.\n"
              "Loading: Spells...\n"
              "Loading: Spells...\n"
              "Loading Spell #1\n"
              "Loading Spell #2\n"
              "Error Loading 'type' from section 'spell02' file: spell.dat\n"
              "Loading: Spells...\n"
              "Loading Spell #1\n"
              "Loading: Spells...\n"
              "Loading Spell #1\n");
}

TEST_F(SpellDefsTest, CountsAreHeldToTheTables) {
    std::string text = "[spelldefs]\nnumspells=450\n";
    for (int n = 1; n <= 450; ++n) {
        char section[16];
        SpellSectionName(section, sizeof section, n);
        text += std::string("[") + section + "]\ntype=" + (n == 399 || n == 400 ? "Heal" : "None") + "\n";
    }
    text += "[listdefs]\nnumlists=80\n[spelllist49]\nname=Last\n[spelllist50]\nname=Past the table\n";
    ASSERT_EQ(Load(text), 1);
    EXPECT_NE(GetSpell(399), nullptr);
    EXPECT_EQ(Log().find("Loading Spell #400"), std::string::npos);
    EXPECT_STREQ(SpellListTable[49].name, "Last");
}

// ---- spells.txt and the start-up --------------------------------------------------------------------

const char kDumpDat[] =
    "[spelldefs]\nnumspells=12\n"
    "[spell01]\ntype=Projectile\nname=Fireball\npower=4\nfatigue=50\nmin_fatigue=20\ncast_timer=1500\n"
    "damage_num_dice=3\ndamage_dice=8\ndamage_base=2\nnum_projectiles=2\nwidth=32\ntall=24\nvelocity=384\n"
    "element=1\neffect_radius=128\ndeath_spell_effect=5\n"
    "[spell02]\ntype=Wall\nname=Stone Wall\nhit_points=60\nduration_timer=20000\nelement=6\n"
    "[spell03]\ntype=Heal\nname=Heal\nmin=5\nmax=15\n"
    "[spell04]\ntype=Effect\nname=Bless\neffect=3\nduration=30000\nlevel=2\ncreation_effect=99\n"
    "[spell05]\ntype=Effect\nname=Slow\neffect=11\nduration=8000\nlevel=1\n"
    "[spell06]\ntype=Bolt\nname=Firebolt\nmin_damage=4\nmax_damage=12\ndamage_num_dice=2\ndamage_dice=6\n"
    "damage_base=2\nrange=1024\n"
    "[spell07]\ntype=Target\nname=Drain\nrange=640\nmin_damage=3\nmax_damage=9\ndamage_num_dice=2\n"
    "target_spell_effect=5\ncaster_spell_effect=4\nelement=10\n"
    "[spell08]\ntype=Dispell\nname=Dispell\nrange=512\ndispell_type=1\nlevel=3\n"
    "[spell09]\ntype=Rune\nname=Fire Rune\ndamage_num_dice=3\ndamage_dice=6\nwidth=32\ntall=8\nelement=1\n"
    "effect_radius=96\n"
    "[spell10]\ntype=Rune\nname=Ice Ward\nrune_type=2\nwidth=32\ntall=48\nelement=2\n"
    "[spell11]\ntype=Teleport\nname=Blink\n"
    "[spell12]\ntype=Rune\nname=Odd Ward\nrune_type=9\nelement=40\n"
    "[listdefs]\nnumlists=3\n"
    "[spelllist01]\nname=Elemental Fire\nlevel01=1\nlevel03=6\nlevel05=9\nlevel06=250\nlevel07=-3\nlevel08=2\n"
    "[spelllist02]\nname=\nlevel01=3\n"
    "[spelllist03]\nname=Mind Ways\nlevel01=7\nlevel02=4\nlevel03=8\nlevel10=10\nlevel11=3\nlevel12=11\n"
    "level13=12\nlevel30=5\n";

const char kDumpText[] =
    "\n\nLIST#1:  Elemental Fire\n"
    "01,[#1],Fireball,Pow=4,Fat=50/20,Cast=1500,Proj,Dam=3d8+2 (x2),Avg=15.5,Size=32x24,V=384,Fire(1),rad=128,"
    "Slow(5),lev=1,dur=8000\n"
    "03,[#6],Firebolt,Pow=0,Fat=100/10,Cast=0,Bolt,4,12,2,6,2,1024\n"
    "05,[#9],Fire Rune,Pow=0,Fat=100/10,Cast=0,Rune,Dam=3d6+0,Avg=10.5,Rune,Size=32x8,Fire(1),rad=96\n"
    "08,[#2],Stone Wall,Pow=0,Fat=100/10,Cast=0,Wall,hits=60,dur=20000,Stone(6)\n"
    "\n\nLIST#3:  Mind Ways\n"
    "01,[#7],Drain,Pow=0,Fat=100/10,Cast=0,Target,range=640,dam=3-9 (x2),target=Slow(5),lev=1,dur=8000,"
    "caster=4,Mind(10)\n"
    "02,[#4],Bless,Pow=0,Fat=100/10,Cast=0,Effect,Bless(3),dur=30000,lev=2\n"
    "03,[#8],Dispell,Pow=0,Fat=100/10,Cast=0,Dispell,range=512,type=1,lev=3\n"
    "10,[#10],Ice Ward,Pow=0,Fat=100/10,Cast=0,Rune,Ward,Size=32x48,Ice(2)\n"
    "11,[#3],Heal,Pow=0,Fat=100/10,Cast=0,Heal,5,15\n"
    "12,[#11],Blink,Pow=0,Fat=100/10,Cast=0,Unknown\n"
    "13,[#12],Odd Ward,Pow=0,Fat=100/10,Cast=0,Rune,?,Size=0x0,?(40)\n"
    "30,[#5],Slow,Pow=0,Fat=100/10,Cast=0,Effect,Slow(11),dur=8000,lev=1\n";

TEST_F(SpellDefsTest, DumpListsEverySpellOfEveryNamedList) {
    ASSERT_EQ(Load(kDumpDat), 1);
    ASSERT_EQ(DumpSpellLists(), 1);
    EXPECT_EQ(dir.Read("spells.txt"), kDumpText);
    EXPECT_STREQ(EffectName(39), "");
    EXPECT_STREQ(EffectName(40), "?");
    EXPECT_STREQ(ElementName(-1), "?");
    EXPECT_STREQ(RuneTypeName(3), "Cloud");
    char line[8];
    FormatSpellLine(line, sizeof line, 1, 1);
    EXPECT_STREQ(line, "01,[#1]");
    FormatSpellLine(line, sizeof line, 1, 400);
    EXPECT_STREQ(line, "");
}

TEST_F(SpellDefsTest, StartUpCompilesSpellDatOnlyForPrivilegeFive) {
    dir.Write("spell.dat", kDumpDat);
    // Everybody else loads spell.bin, which is not there yet.
    EXPECT_EQ(LoadSpellData(0), 0);
    EXPECT_FALSE(dir.Exists("spell.bin"));

    ASSERT_EQ(LoadSpellData(5), 1);
    EXPECT_TRUE(dir.Exists("spell.bin"));
    EXPECT_EQ(dir.Read("spells.txt"), kDumpText);
    EXPECT_NE(GetSpell(12), nullptr);

    ClearSpellData();
    ASSERT_EQ(LoadSpellData(0), 1);
    EXPECT_NE(GetSpell(12), nullptr);

    // Without spell.dat a privileged user loads spell.bin and still gets the dump.
    std::remove("spell.dat");
    std::remove("spells.txt");
    ClearSpellData();
    ASSERT_EQ(LoadSpellData(5), 1);
    EXPECT_EQ(dir.Read("spells.txt"), kDumpText);

    FreeSpells();
    EXPECT_EQ(GetSpell(12), nullptr);
}

}  // namespace

namespace {

// The sample installation's spell files: every type is there, and spell.bin is what spell.dat
// compiles to.
TEST(SampleInstallation, SpellFilesHoldEveryType) {
    std::vector<uint8_t> bin;
    ASSERT_TRUE(ReadGameFileBytes(SAMPLE_INSTALL_DIR "/spell.bin", bin));
    ClearSpellData();
    ASSERT_EQ(LoadSpellFileFromBytes(bin.data(), bin.size()), 1);
    bool seen[kSpellTypeCount + 1] = {};
    for (int n = 1; n < kSpellTableSize; ++n)
        if (CSpell* s = GetSpell(n))
            seen[s->type] = true;
    for (int type = 1; type <= kSpellTypeCount; ++type)
        EXPECT_TRUE(seen[type]) << "type " << type;
    EXPECT_STRNE(SpellListTable[1].name, "");
    for (int p = 0; p < kProfessionCount; ++p)
        EXPECT_NE(ProfessionListTable[p][0], 0) << "profession " << p;

    ASSERT_EQ(LoadSpellDefs(SAMPLE_INSTALL_DIR "/spell.dat"), 1);
    EXPECT_EQ(BuildSpellFile(), bin);
    ClearSpellData();
}

}  // namespace

TEST_F(SpellDefsTest, DumpOfHugeDiceDoesNotOverflow) {
    // Found by fuzzing spell.bin: the average damage of extreme dice passed 32 bits.
    auto spell = CreateSpell(1);
    auto* proj = static_cast<CSpellProj*>(spell.get());
    proj->damage_num_dice = 2147483647;
    proj->damage_dice = 2147483647;
    proj->damage_base = 2147483647;
    SetSpell(7, std::move(spell));
    char line[512];
    FormatSpellLine(line, sizeof line, 1, 7);
    EXPECT_NE(std::string(line).find("[#7]"), std::string::npos) << line;
    FreeSpells();
}
