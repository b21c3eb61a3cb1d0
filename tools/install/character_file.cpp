// char.bin: a level-5 Magician with readied spells in slot 0 and a Healer in slot 2.

#include "client/screens/character_file.h"
#include "tools/install/install_step.h"
#include "tools/writers/char_file_writer.h"

namespace {

bool WriteCharacterFile(const InstallContext& ctx) {
    CharacterSketch magician;
    magician.name = "Aldwin";
    magician.squad = "Night Owls";
    magician.abbreviation = "NOWL";
    magician.profession = 0;
    magician.level = 5;
    magician.experience = 4200;
    magician.points = 2;
    const int magicianStats[10] = {45, 40, 60, 65, 50, 35, 55, 40, 50, 30};
    for (int i = 0; i < 10; ++i)
        magician.stats[i] = magicianStats[i];
    magician.picks[0] = 1;  // the lists of the sample spell files
    magician.pickLevels[0] = 5;
    magician.picks[1] = 2;
    magician.pickLevels[1] = 3;
    magician.readied[0] = 2;   // Magic Missile
    magician.readied[1] = 1;   // Firebolt
    magician.readied[5] = 3;   // Stone Wall
    magician.model = 202;
    magician.body = 1;
    magician.head = 2;

    CharacterSketch healer;
    healer.name = "Mira";
    healer.profession = 3;
    healer.level = 2;
    const int healerStats[10] = {40, 55, 45, 40, 50, 65, 60, 50, 40, 35};
    for (int i = 0; i < 10; ++i)
        healer.stats[i] = healerStats[i];
    healer.picks[0] = 3;
    healer.pickLevels[0] = 2;
    healer.readied[0] = 4;  // Heal
    healer.model = 203;

    const std::vector<uint8_t> file = BuildCharacterFileOf({magician, {}, healer, {}});
    return WriteFileBytes(ctx.Path(kCharacterFileName), file.data(), file.size());
}

InstallStep g_step("character file", 35, WriteCharacterFile);

}  // namespace
