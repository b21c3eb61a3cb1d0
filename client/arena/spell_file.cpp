#include "client/arena/spell_file.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "client/arena/spell.h"
#include "client/arena/spell_defs.h"
#include "client/core/error_log.h"
#include "client/core/game_file_bytes.h"
#include "client/core/numeric.h"
#include "client/core/version.h"
#include "common/byte_reader.h"
#include "common/byte_writer.h"
#include "common/text.h"
#include "platform/fs/fs.h"

namespace {

constexpr size_t kSpellFileHeaderSize = 8;  // kind and version bytes, spell count
constexpr size_t kChecksumSize = 2;

class BinFieldWriter : public SpellFieldVisitor {
public:
    explicit BinFieldWriter(ByteWriter& w) : w_(w) {}
    void Field(const char*, int32_t& value) override { w_.I32LE(value); }
    void NegatedField(const char*, int32_t& value) override { w_.I32LE(value); }
    void Reserved(int32_t&) override { w_.I32LE(0); }
    void RaisesSoundRange(const char*, int32_t&) override {}

private:
    ByteWriter& w_;
};

class BinFieldReader : public SpellFieldVisitor {
public:
    explicit BinFieldReader(ByteReader& r) : r_(r) {}
    void Field(const char*, int32_t& value) override { value = r_.I32LE(); }
    void NegatedField(const char*, int32_t& value) override { value = r_.I32LE(); }
    void Reserved(int32_t& value) override { value = r_.I32LE(); }
    void RaisesSoundRange(const char*, int32_t&) override {}

private:
    ByteReader& r_;
};

// Counts the words of a class's record.
class FieldCounter : public SpellFieldVisitor {
public:
    void Field(const char*, int32_t&) override { ++count; }
    void NegatedField(const char*, int32_t&) override { ++count; }
    void Reserved(int32_t&) override { ++count; }
    void RaisesSoundRange(const char*, int32_t&) override {}
    size_t count = 0;
};

std::string_view NameOf(const char* field, size_t size) {
    return std::string_view(field, strnlen(field, size));
}

void WriteRecord(ByteWriter& w, CSpell& s) {
    w.FixedText(NameOf(s.name, sizeof s.name), kSpellNameSize);
    w.I32LE(s.fatigue);
    w.I32LE(s.min_fatigue);
    w.I32LE(s.power);
    w.I32LE(s.num_cast_sounds);
    w.I32LE(s.cast_sound);
    w.I32LE(s.cast_sound_2);
    w.I32LE(s.cast_sound_3);
    w.I32LE(s.cast_sound_4);
    w.I32LE(s.switch_sound);
    w.I32LE(s.empty_sound);
    w.I32LE(s.overlay);
    w.I32LE(s.type == SPELL_OBJECT ? 0 : s.fire_timer);
    w.I32LE(s.cast_timer);
    BinFieldWriter fields(w);
    s.DescribeFields(fields);
}

void ReadRecord(ByteReader& r, CSpell& s) {
    r.FixedText(s.name, sizeof s.name, kSpellNameSize);
    s.fatigue = r.I32LE();
    s.min_fatigue = r.I32LE();
    s.power = r.I32LE();
    s.num_cast_sounds = r.I32LE();
    s.cast_sound = r.I32LE();
    s.cast_sound_2 = r.I32LE();
    s.cast_sound_3 = r.I32LE();
    s.cast_sound_4 = r.I32LE();
    s.switch_sound = r.I32LE();
    s.empty_sound = r.I32LE();
    s.overlay = r.I32LE();
    if (s.type == SPELL_OBJECT)
        r.Skip(4);  // an object spell's word is always 0
    else
        s.fire_timer = r.I32LE();
    s.cast_timer = r.I32LE();
    BinFieldReader fields(r);
    s.DescribeFields(fields);
}

int Damaged() {
    ErrorLogWrite("Spellfile Damaged!\n");
    return 0;
}

uint32_t Clamp(uint32_t count, uint32_t limit) {
    return count > limit ? limit : count;
}

}  // namespace

size_t SpellRecordSize(int type) {
    std::unique_ptr<CSpell> spell = CreateSpell(type);
    if (!spell)
        return 0;
    FieldCounter counter;
    spell->DescribeFields(counter);
    return kSpellRecordBaseSize + 4 * counter.count;
}

std::vector<uint8_t> BuildSpellFile() {
    ByteWriter w;
    w.Bytes(kClientVersion, sizeof kClientVersion);
    w.U32LE(kSpellTableSize);
    for (int n = 1; n < kSpellTableSize; ++n) {
        CSpell* s = GetSpell(n);
        if (!s || s->type < 1 || s->type > kSpellTypeCount) {
            w.U32LE(0);
            continue;
        }
        w.U32LE(static_cast<uint32_t>(s->type));
        WriteRecord(w, *s);
    }
    w.U32LE(kSpellListCount);
    for (int n = 1; n < kSpellListCount; ++n) {
        const SpellList& list = SpellListTable[n];
        w.FixedText(NameOf(list.name, sizeof list.name), kSpellListNameSize);
        for (int32_t spell : list.spells)
            w.I32LE(spell);
    }
    for (const ProfessionSection& p : kProfessionSections)
        for (int32_t list : ProfessionListTable[p.profession])
            w.I32LE(list);
    uint16_t sum = DataChecksum(w.Data().data(), w.Size());
    w.U16LE(sum);
    return std::move(w.Data());
}

int SaveSpellFile(const char* fileName) {
    std::vector<uint8_t> bytes = BuildSpellFile();
    return WriteGameFileBytes(fileName, bytes.data(), bytes.size()) ? 1 : 0;
}

int LoadSpellFile(const char* fileName) {
    std::vector<uint8_t> bytes;
    if (!ReadGameFileBytes(fileName, bytes)) {
        ErrorLogWrite("No SPELL.BIN file found!");
        return 0;
    }
    return LoadSpellFileFromBytes(bytes.data(), bytes.size());
}

int LoadSpellFileFromBytes(const uint8_t* data, size_t size) {
    // A file too short for its header and checksum cannot pass the checksum.
    if (!data || size < kSpellFileHeaderSize + kChecksumSize) {
        ErrorLogWrite("Spellfile Failed Checksum!\n");
        return 0;
    }
    const size_t body = size - kChecksumSize;
    uint16_t stored = static_cast<uint16_t>(data[body] | data[body + 1] << 8);
    if (DataChecksum(data, body) != stored) {
        ErrorLogWrite("Spellfile Failed Checksum!\n");
        return 0;
    }
    if (std::memcmp(data + 1, kClientVersion + 1, 3) != 0) {
        ErrorLogWrite("Spellfile Failed Version Check!\n");
        return 0;
    }

    ClearSpellData();
    ByteReader r(data, body);
    r.Skip(4);
    uint32_t spells = Clamp(r.U32LE(), kSpellTableSize);
    for (uint32_t n = 1; n < spells; ++n) {
        uint32_t type = r.U32LE();
        if (!r.Ok())
            return Damaged();
        if (type == SPELL_NONE)
            continue;
        std::unique_ptr<CSpell> spell = CreateSpell(static_cast<int>(type));
        if (!spell)
            return Damaged();
        ReadRecord(r, *spell);
        if (!r.Ok())
            return Damaged();
        spell->spell_number = static_cast<int32_t>(n);
        spell->zero_word = 0;
        spell->valid = 1;
        SetSpell(static_cast<int>(n), std::move(spell));
    }
    uint32_t lists = Clamp(r.U32LE(), kSpellListCount);
    for (uint32_t n = 1; n < lists; ++n) {
        SpellList& list = SpellListTable[n];
        r.FixedText(list.name, sizeof list.name, kSpellListNameSize);
        for (int32_t& spell : list.spells)
            spell = r.I32LE();
    }
    for (const ProfessionSection& p : kProfessionSections)
        for (int32_t& list : ProfessionListTable[p.profession])
            list = r.I32LE();
    if (!r.Ok())
        return Damaged();
    return 1;
}

// ---- spells.txt --------------------------------------------------------------------------------

namespace {

const char* const kRuneTypeNames[] = {"None", "Rune", "Ward", "Cloud"};
const char* const kElementNames[] = {"None", "Fire", "Ice", "Light", "Void", "Conc",
                                     "Stone", "Wood", "Air", "Mana", "Mind"};
const char* const kEffectNames[] = {
    "None",     "Map",       "Light",    "Bless",  "Resist", "Bleed",   "Prayer", "Jump",    "Levitate", "Merge",
    "Fly",      "Slow",      "Shadow",   "Blur",   "Life",   "Heal",    "Speed",  "Invis",   "Meld",     "TResist",
    "IJump",    "Transfer",  "Drain",    "Stop",   "Twist",  "Cure",    "MaxHits", "MaxPow", "Illusion", "Blind",
    "OnFire",   "TunnelVis", "AirWalk",  "Sense",  "Suff",   "",        "",       "",        "",         ""};

template <size_t N>
const char* Lookup(const char* const (&table)[N], int i) {
    return i >= 0 && static_cast<size_t>(i) < N ? table[i] : "?";
}

void Append(std::string& s, const char* format, ...) __attribute__((format(printf, 2, 3)));
void Append(std::string& s, const char* format, ...) {
    char piece[256];
    va_list args;
    va_start(args, format);
    FormatTextV(piece, sizeof piece, format, args);
    va_end(args);
    s += piece;
}

std::string Name(const CSpell& s) {
    return std::string(NameOf(s.name, sizeof s.name));
}

// In floating point: the dice fields come from the file and their product can pass 32 bits.
double AverageDamage(int numDice, int dice, int base) {
    return numDice * (static_cast<double>(dice) + 1.0) / 2.0 + base;
}

// A spell this one links to, with the level and duration it gives when it is an effect.
void AppendLinked(std::string& s, const char* label, int number) {
    CSpell* linked = GetSpell(number);
    if (!linked)
        return;
    Append(s, ",%s%s(%d)", label, Name(*linked).c_str(), number);
    if (auto* effect = dynamic_cast<CSpellEffect*>(linked))
        Append(s, ",lev=%d,dur=%d", effect->level, effect->duration);
}

void AppendSummary(std::string& s, CSpell& spell) {
    switch (spell.type) {
    case SPELL_PROJ: {
        auto& p = static_cast<CSpellProj&>(spell);
        Append(s, "Proj,Dam=%dd%d+%d (x%d),Avg=%2.1f,Size=%dx%d,V=%d,%s(%d)", p.damage_num_dice, p.damage_dice,
               p.damage_base, p.num_projectiles, AverageDamage(p.damage_num_dice, p.damage_dice, p.damage_base),
               p.width, p.tall, p.velocity, Lookup(kElementNames, p.element), p.element);
        if (p.effect_radius)
            Append(s, ",rad=%d", p.effect_radius);
        AppendLinked(s, "", p.death_spell_effect);
        break;
    }
    case SPELL_WALL: {
        auto& w = static_cast<CSpellWall&>(spell);
        Append(s, "Wall,hits=%d,dur=%d,%s(%d)", w.hit_points, w.duration_timer, Lookup(kElementNames, w.element),
               w.element);
        break;
    }
    case SPELL_HEAL: {
        auto& h = static_cast<CSpellHeal&>(spell);
        Append(s, "Heal,%d,%d\n", h.min, h.max);
        return;
    }
    case SPELL_EFFECT: {
        auto& e = static_cast<CSpellEffect&>(spell);
        Append(s, "Effect,%s(%d),dur=%d,lev=%d", Lookup(kEffectNames, e.effect), e.effect, e.duration, e.level);
        AppendLinked(s, "", e.creation_effect);
        break;
    }
    case SPELL_BOLT: {
        auto& b = static_cast<CSpellBolt&>(spell);
        Append(s, "Bolt,%d,%d,%d,%d,%d,%d\n", b.min_damage, b.max_damage, b.damage_num_dice, b.damage_dice,
               b.damage_base, b.range);
        return;
    }
    case SPELL_TARGET: {
        auto& t = static_cast<CSpellTarget&>(spell);
        Append(s, "Target,range=%d", t.range);
        if (t.max_damage)
            Append(s, ",dam=%d-%d (x%d)", t.min_damage, t.max_damage, t.damage_num_dice);
        AppendLinked(s, "target=", t.target_spell_effect);
        if (t.caster_spell_effect)
            Append(s, ",caster=%d", t.caster_spell_effect);
        if (t.element)
            Append(s, ",%s(%d)", Lookup(kElementNames, t.element), t.element);
        break;
    }
    case SPELL_DISPELL: {
        auto& d = static_cast<CSpellDispell&>(spell);
        Append(s, "Dispell,range=%d,type=%d", d.range, d.dispell_type);
        if (d.level)
            Append(s, ",lev=%d", d.level);
        break;
    }
    case SPELL_RUNE: {
        auto& r = static_cast<CSpellRune&>(spell);
        if (r.damage_dice)
            Append(s, "Rune,Dam=%dd%d+%d,Avg=%2.1f,%s,Size=%dx%d,%s(%d)", r.damage_num_dice, r.damage_dice,
                   r.damage_base, AverageDamage(r.damage_num_dice, r.damage_dice, r.damage_base),
                   Lookup(kRuneTypeNames, r.rune_type), r.width, r.tall, Lookup(kElementNames, r.element), r.element);
        else
            Append(s, "Rune,%s,Size=%dx%d,%s(%d)", Lookup(kRuneTypeNames, r.rune_type), r.width, r.tall,
                   Lookup(kElementNames, r.element), r.element);
        if (r.effect_radius)
            Append(s, ",rad=%d", r.effect_radius);
        AppendLinked(s, "", r.death_spell_effect);
        break;
    }
    default:
        s += "Unknown\n";
        return;
    }
    s += "\n";
}

}  // namespace

const char* RuneTypeName(int runeType) {
    return Lookup(kRuneTypeNames, runeType);
}

const char* ElementName(int element) {
    return Lookup(kElementNames, element);
}

const char* EffectName(int effect) {
    return Lookup(kEffectNames, effect);
}

void FormatSpellLine(char* out, size_t size, int level, int number) {
    CSpell* spell = GetSpell(number);
    if (!spell) {
        CopyText(out, size, "");
        return;
    }
    std::string line;
    Append(line, "%02d,[#%d],%s,Pow=%d,Fat=%d/%d,Cast=%d,", level, number, Name(*spell).c_str(), spell->power,
           spell->fatigue, spell->min_fatigue, spell->cast_timer);
    AppendSummary(line, *spell);
    CopyText(out, size, line);
}

int DumpSpellLists() {
    FILE* f = platform::OpenGameFile(kSpellDumpFile, "w");
    if (!f)
        return 0;
    for (int n = 1; n < kSpellListCount; ++n) {
        const SpellList& list = SpellListTable[n];
        std::string name(NameOf(list.name, sizeof list.name));
        if (name.empty())
            continue;
        std::fprintf(f, "\n\nLIST#%d:  %s\n", n, name.c_str());
        for (int level = 1; level <= kSpellListLevels; ++level) {
            int number = list.spells[level - 1];
            if (!GetSpell(number))
                continue;
            char line[512];
            FormatSpellLine(line, sizeof line, level, number);
            std::fputs(line, f);
        }
    }
    return std::fclose(f) == 0 ? 1 : 0;
}
