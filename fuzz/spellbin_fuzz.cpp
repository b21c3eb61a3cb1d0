// spell.bin: any bytes must load or fail cleanly. The input is tried as it is and with its
// version bytes and checksum made right, so the fuzzer reaches the records behind them.

#include <cstdint>
#include <cstring>
#include <vector>

#include "client/arena/spell.h"
#include "client/arena/spell_file.h"
#include "client/core/numeric.h"
#include "client/core/version.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    LoadSpellFileFromBytes(data, size);
    if (size >= 10) {
        std::vector<uint8_t> fixed(data, data + size);
        std::memcpy(fixed.data(), kClientVersion, sizeof kClientVersion);
        uint16_t sum = DataChecksum(fixed.data(), size - 2);
        fixed[size - 2] = static_cast<uint8_t>(sum);
        fixed[size - 1] = static_cast<uint8_t>(sum >> 8);
        if (LoadSpellFileFromBytes(fixed.data(), fixed.size())) {
            char line[512];
            for (const SpellList& list : SpellListTable)
                for (int level = 0; level < kSpellListLevels; ++level)
                    FormatSpellLine(line, sizeof line, level + 1, list.spells[level]);
        }
    }
    ClearSpellData();
    return 0;
}
