#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "client/arena/spell_file.h"
#include "client/core/error_log.h"
#include "client/core/game_file_bytes.h"
#include "client/core/pack_file.h"
#include "client/core/pcx_image.h"
#include "tests/support/temp_dir.h"

namespace {

// A directory where a game file should be (an update can leave one) is a file that cannot be
// opened, for every reader of whole files, not an endless size.
TEST(GameFileBytes, ADirectoryWhereAFileShouldBeCannotBeOpened) {
    TempDir dir;
    dir.Enter();
    ASSERT_TRUE(OpenErrorLog());
    for (const char* d : {"grids/arena1.zpk/x", "light/SYSPAL.PCX/x", "Spell.bin/x", "plain/x"})
        dir.Write(d, "");

    std::vector<uint8_t> bytes = {1, 2, 3};
    EXPECT_FALSE(ReadGameFileBytes("plain", bytes));
    EXPECT_TRUE(bytes.empty());

    PackFile pack;
    EXPECT_EQ(pack.OpenPackFile("grids\\arena1.zpk", 1), -1);
    EXPECT_EQ(pack.errorCode, PACK_CANNOT_OPEN);

    PcxImage image;
    EXPECT_EQ(image.LoadPcx("light\\syspal.pcx", PCX_HEAP, 1), -1);
    EXPECT_EQ(image.loaded, 0);

    EXPECT_EQ(LoadSpellFile(kSpellBinFile), 0);
    CloseErrorLog();
    const std::string log = dir.Read("error.log");
    EXPECT_NE(log.find("No SPELL.BIN file found!"), std::string::npos) << log;
}

}  // namespace
