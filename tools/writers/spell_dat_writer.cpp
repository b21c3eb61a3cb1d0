#include "tools/writers/spell_dat_writer.h"

#include <algorithm>
#include <vector>

#include "client/arena/spell_defs.h"
#include "common/text.h"

namespace {

void Line(std::string& out, const std::string& key, const std::string& value) {
    out += key + "=" + value + "\n";
}

}  // namespace

std::string BuildSpellDat(const SpellDat& dat) {
    std::string out = "; Spell definitions\n[spelldefs]\n";
    Line(out, "numspells", std::to_string(dat.numspells));
    // In number order: a section is found by its name as a prefix, so [spell19] must come before
    // [spell198] or a read of spell 19 would land in spell 198.
    std::vector<const SpellDatSpell*> ordered;
    for (const SpellDatSpell& s : dat.spells)
        ordered.push_back(&s);
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const SpellDatSpell* a, const SpellDatSpell* b) { return a->number < b->number; });
    for (const SpellDatSpell* spell : ordered) {
        const SpellDatSpell& s = *spell;
        char section[16];
        SpellSectionName(section, sizeof section, s.number);
        out += std::string("\n[") + section + "]\n";
        Line(out, "type", s.type);
        if (!s.name.empty())
            Line(out, "name", s.name);
        for (const auto& [key, value] : s.keys)
            Line(out, key, std::to_string(value));
    }

    out += "\n[listdefs]\n";
    Line(out, "numlists", std::to_string(dat.numlists));
    for (const SpellDatList& l : dat.lists) {
        char section[24];
        SpellListSectionName(section, sizeof section, l.number);
        out += std::string("\n[") + section + "]\n";
        Line(out, "name", l.name);
        for (size_t i = 0; i < l.levels.size(); ++i) {
            char key[16];
            FormatText(key, sizeof key, "level%02d", static_cast<int>(i + 1));
            Line(out, key, std::to_string(l.levels[i]));
        }
    }

    for (const ProfessionSection& p : kProfessionSections) {
        out += std::string("\n[") + p.section + "]\n";
        for (int i = 0; i < kProfessionListCount; ++i) {
            char key[16];
            FormatText(key, sizeof key, "list%02d", i);
            Line(out, key, std::to_string(dat.professions[p.profession][i]));
        }
    }
    return out;
}
