#include "client/arena/spell_defs.h"

#include <climits>
#include <cstdint>

#include "client/arena/spell.h"
#include "client/core/config_file.h"
#include "client/core/error_log.h"
#include "common/text.h"

const ProfessionSection kProfessionSections[4] = {
    {"magician", PROFESSION_MAGICIAN},
    {"healer", PROFESSION_HEALER},
    {"mystic", PROFESSION_MYSTIC},
    {"runemage", PROFESSION_RUNEMAGE},
};

namespace {

int32_t Negate(int v) {
    return v == INT_MIN ? INT_MAX : -v;
}

// Fills a spell's own fields from its section; each key defaults to the field's value.
class DatFieldReader : public SpellFieldVisitor {
public:
    DatFieldReader(const char* file, const char* section) : file_(file), section_(section) {}

    void Field(const char* key, int32_t& value) override { value = Read(key, value); }
    void NegatedField(const char* key, int32_t& value) override { value = Negate(Read(key, Negate(value))); }
    void Reserved(int32_t&) override {}
    void RaisesSoundRange(const char* key, int32_t& soundRange) override {
        int v = Read(key, 0);
        if (v > soundRange)
            soundRange = v;
    }

    int Read(const char* key, int defaultValue) {
        int v = defaultValue;
        GetConfigInt(file_, section_, key, &v, defaultValue, 0);
        return v;
    }

private:
    const char* file_;
    const char* section_;
};

void ReadCommonKeys(const char* file, const char* section, CSpell& spell) {
    GetConfigString(file, section, "name", spell.name, sizeof spell.name, "", 0);
    DatFieldReader r(file, section);
    r.Field("fatigue", spell.fatigue);
    r.Field("min_fatigue", spell.min_fatigue);
    r.Field("power", spell.power);
    r.Field("num_cast_sounds", spell.num_cast_sounds);
    r.Field("cast_sound", spell.cast_sound);
    r.Field("cast_sound_2", spell.cast_sound_2);
    r.Field("cast_sound_3", spell.cast_sound_3);
    r.Field("cast_sound_4", spell.cast_sound_4);
    r.Field("empty_sound", spell.empty_sound);
    r.Field("switch_sound", spell.switch_sound);
    r.Field("fire_timer", spell.fire_timer);
    r.Field("cast_timer", spell.cast_timer);
    r.Field("overlay", spell.overlay);
    spell.DescribeFields(r);
}

// 1 read (or deliberately empty), 0 failed.
int ReadSpell(const char* file, int number) {
    char section[16];
    SpellSectionName(section, sizeof section, number);
    ErrorLogWrite("Loading Spell #%d\n", number);
    char typeText[kConfigLineSize];
    if (!GetConfigString(file, section, "type", typeText, sizeof typeText, nullptr, 0)) {
        ErrorLogWrite("Error Loading 'type' from section '%s' file: %s\n", section, file);
        return 0;
    }
    int type = SpellTypeFromText(typeText);
    if (type == SPELL_NONE)
        return 1;
    std::unique_ptr<CSpell> spell = CreateSpell(type);
    if (!spell)
        return 0;
    spell->spell_number = number;
    spell->zero_word = 0;
    spell->valid = 1;
    ReadCommonKeys(file, section, *spell);
    SetSpell(number, std::move(spell));
    return 1;
}

void ReadList(const char* file, int number) {
    char section[24];
    SpellListSectionName(section, sizeof section, number);
    SpellList& list = SpellListTable[number];
    GetConfigString(file, section, "name", list.name, sizeof list.name, "", 0);
    for (int level = 1; level <= kSpellListLevels; ++level) {
        char key[16];
        FormatText(key, sizeof key, "level%02d", level);
        int v = 0;
        GetConfigInt(file, section, key, &v, 0, 0);
        list.spells[level - 1] = v;
    }
}

int Count(const char* file, const char* section, const char* key, int limit, int* out) {
    int n = 0;
    if (!GetConfigInt(file, section, key, &n, 0, 0))
        return 0;
    // The tables are fixed; a larger count would run past them.
    *out = n < 0 ? 0 : n > limit ? limit : n;
    return 1;
}

int ReadAll(const char* file) {
    ErrorLogWrite("Loading: Spells...\n");
    int spells = 0;
    if (!Count(file, "spelldefs", "numspells", kMaxSpellDefs, &spells))
        return 0;
    for (int n = 1; n <= spells; ++n)
        if (!ReadSpell(file, n))
            return 0;
    int lists = 0;
    if (!Count(file, "listdefs", "numlists", kMaxSpellListDefs, &lists))
        return 0;
    for (int n = 1; n <= lists; ++n)
        ReadList(file, n);
    for (const ProfessionSection& p : kProfessionSections)
        for (int i = 0; i < kProfessionListCount; ++i) {
            char key[16];
            FormatText(key, sizeof key, "list%02d", i);
            int v = 0;
            GetConfigInt(file, p.section, key, &v, 0, 0);
            ProfessionListTable[p.profession][i] = v;
        }
    return 1;
}

}  // namespace

void SpellSectionName(char* out, size_t size, int number) {
    FormatText(out, size, number < 100 ? "spell%02d" : "spell%d", number);
}

void SpellListSectionName(char* out, size_t size, int number) {
    FormatText(out, size, "spelllist%02d", number);
}

int SpellTypeFromText(const char* text) {
    if (StartsWithNoCase(text, "te"))
        return SPELL_TELEPORT;
    char first = text[0] >= 'A' && text[0] <= 'Z' ? char(text[0] - 'A' + 'a') : text[0];
    switch (first) {
    case 'p': return SPELL_PROJ;
    case 'w': return SPELL_WALL;
    case 'h': return SPELL_HEAL;
    case 'e': return SPELL_EFFECT;
    case 's': return SPELL_OBJECT;
    case 'b': return SPELL_BOLT;
    case 't': return SPELL_TARGET;
    case 'd': return SPELL_DISPELL;
    case 'r': return SPELL_RUNE;
    case 'n': return SPELL_NONE;
    default: return -1;
    }
}

int LoadSpellDefs(const char* fileName) {
    if (!fileName)
        return 0;
    ClearSpellData();
    int result = ReadAll(fileName);
    // Let go of the file the settings reader keeps open, so a rewritten spell.dat is read anew.
    GetConfigString(nullptr, nullptr, nullptr, nullptr, 0, nullptr, 0);
    return result;
}
