// Whole level loads of the sample installation: the directory and the pack give the same tables.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "client/arena/monster.h"
#include "client/core/error_log.h"
#include "client/level/level_loader.h"
#include "client/screens/level_art.h"
#include "tests/client/arena/level_fixture.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

uint64_t Fnv(uint64_t h, const void* data, size_t size) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < size; ++i)
        h = (h ^ p[i]) * 1099511628211ull;
    return h;
}

// Everything a level load fills but the texture pictures.
uint64_t LevelDigest() {
    uint64_t h = 14695981039346656037ull;
    h = Fnv(h, &g_level, sizeof g_level);
    h = Fnv(h, ThinTable, sizeof ThinTable);
    h = Fnv(h, &ThinCount, sizeof ThinCount);
    h = Fnv(h, WorldObjectTable, sizeof WorldObjectTable);
    h = Fnv(h, &WorldObjectHighWater, sizeof WorldObjectHighWater);
    h = Fnv(h, LiveMonsterCount, sizeof LiveMonsterCount);
    for (int n = 0; n < kTriggerSlots; ++n) {
        const Trigger* t = GetTrigger(n);
        int32_t words[4] = {t ? t->type : -1, t ? t->state : -1, t ? t->enabled : -1, t ? t->next_trigger : -1};
        h = Fnv(h, words, sizeof words);
    }
    for (int n = 0; n < kTextureCount; ++n) {
        const TextureEntry& e = g_textures.entries[n];
        int32_t words[5] = {e.used, e.numframes, e.wbits, e.timer, e.chained};
        h = Fnv(h, words, sizeof words);
    }
    return h;
}

std::vector<std::string> LogLines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        // "<seconds>:INFO: text" loses its time.
        size_t colon = line.find(':');
        lines.push_back(colon != std::string::npos && colon > 0 && isdigit(static_cast<unsigned char>(line[0]))
                            ? line.substr(colon + 1)
                            : line);
    }
    return lines;
}

class LevelFlow : public LevelFixture {
protected:
    LevelFlow() {
        dir.Enter();
        const fs::path install = SAMPLE_INSTALL_DIR;
        for (const char* item : {"sample", "sample16", "textures", "pattern.dat", "monster.dat", "system.dat",
                                 "loadbar1.pcx", "loadbar2.pcx", "loadbarb.pcx"})
            fs::copy(install / item, fs::path(dir.Path()) / item, fs::copy_options::recursive);
        OpenErrorLog("error.log");
    }
    ~LevelFlow() override { CloseErrorLog(); }

    void UsePack() {
        fs::create_directories(fs::path(dir.Path()) / "grids");
        fs::copy(fs::path(SAMPLE_INSTALL_DIR) / "grids" / "sample.zpk", fs::path(dir.Path()) / "grids" / "sample.zpk");
    }

    TempDir dir;
};

TEST_F(LevelFlow, DirectoryAndPackGiveTheSameTables) {
    uint64_t fromDirectory = 0, fromPack = 0;
    {
        RecordingPresent recording;
        ASSERT_EQ(LoadGrid("sample"), 1);
        fromDirectory = LevelDigest();
        EXPECT_EQ(recording.Named("SgxCreateWorld"), (std::vector<std::string>{"SgxCreateWorld(\"sample\")"}));
        EXPECT_EQ(g_textures.images.size(), 13u) << "ten level frames and three system frames";
    }
    CloseErrorLog();
    std::vector<std::string> lines = LogLines("error.log");
    const std::vector<std::string> expected = {
        "INFO: Loading Grid: [sample]",  "INFO: Loading grid buffer...", "INFO: Grid buffer loaded.",
        "INFO: Loading SlopeDefs...",    "INFO: SlopeDefs Loaded.",      "INFO: Loading 100 Tiles.",
        "INFO: Tile Slope Replacement: tile#02=slope#10", "INFO: Tiles Loaded.", "INFO: Loading Thins...",
        "INFO: 15 thins loaded and placed.", "INFO: Loading Olist...",   "INFO: Olist loaded.",
        "Loading Patterns.",             "Loading 4 patterns.",          "INFO: Placing Olist objects...",
        "INFO: 22 objects loaded and placed.", "INFO: Loading 7 mongendefs...", "INFO: Mongendefs loaded.",
        "INFO: Loading 1 effects...",    "INFO: Effects loaded.",        "INFO: Loading 3 Earth Blood Defs...", "INFO: Earth Blood Defs loaded.",
        "INFO: Loading 3 shrines...",    "INFO: Shrines Loaded.",        "Loading RoomViews...",
        "Loading Textures.",             "Total Textures = 11",          "INFO: Loading 11 triggers...",
        "INFO: Grid Loaded.",
    };
    size_t at = 0;
    for (const std::string& want : expected) {
        while (at < lines.size() && lines[at] != want)
            ++at;
        EXPECT_LT(at, lines.size()) << "missing or out of order: " << want;
    }

    UsePack();
    {
        RecordingPresent recording;
        ASSERT_EQ(LoadGrid("sample"), 1);
        fromPack = LevelDigest();
        EXPECT_EQ(recording.Named("SgxCreateWorld"), (std::vector<std::string>{"SgxCreateWorld(\"sample\")"}));
        ASSERT_FALSE(g_textures.images.empty());
        EXPECT_EQ(g_textures.images[0].width, 64);
        EXPECT_EQ(g_textures.images[0].pixels.size(), 64u * 64u);
    }
    EXPECT_EQ(fromDirectory, fromPack);
}

// A level read from its pack loads the monster definitions again; one read from its directory
// leaves them as the start-up loaded them.
TEST_F(LevelFlow, APackLoadReadsTheMonsterDefinitionsAgain) {
    RecordingPresent recording;
    for (bool pack : {false, true}) {
        if (pack)
            UsePack();
        MonsterDefinitionCount = 0;
        MonsterDefinitionTable[0] = MonsterDefinition{};
        ASSERT_EQ(LoadGrid("sample"), 1) << pack;
        EXPECT_EQ(MonsterDefinitionCount > 0, pack) << pack;
        EXPECT_EQ(MonsterDefinitionTable[0].name[0] != 0, pack) << pack;
    }
}

TEST_F(LevelFlow, ASecondLoadKeepsNothingOfTheFirst) {
    uint64_t fresh = 0;
    {
        RecordingPresent recording;
        ASSERT_EQ(LoadGrid("sample16"), 1);
        fresh = LevelDigest();
        EXPECT_EQ(g_level.wordsPerCell, 16);
    }
    {
        RecordingPresent recording;
        ASSERT_EQ(LoadGrid("sample"), 1);
        EXPECT_EQ(g_level.wordsPerCell, 19);
        EXPECT_NE(LevelDigest(), fresh);
    }
    RecordingPresent recording;
    ASSERT_EQ(LoadGrid("sample16"), 1);
    EXPECT_EQ(LevelDigest(), fresh);
}

// Level after level from packs and directories, as a run plays arena after arena: the level's
// pictures are read under their own names, none is found still loaded from the level before, and
// the sample places every object it lists.
TEST_F(LevelFlow, LoadAfterLoadWarnsOfNothingInTheSample) {
    UsePack();
    for (const char* level : {"sample", "sample16", "sample16", "sample"}) {
        RecordingPresent recording;
        ASSERT_EQ(LoadGrid(level), 1) << level;
    }
    CloseErrorLog();
    std::vector<std::string> pictures;
    for (const std::string& line : LogLines("error.log")) {
        for (const char* fault : {"Already initialized", "Ignoring object"})
            EXPECT_EQ(line.find(fault), std::string::npos) << line;
        const std::string lead = "Hicolor Conversion of ";
        if (line.rfind(lead, 0) == 0)
            pictures.push_back(line.substr(lead.size(), line.find(':', lead.size()) - lead.size()));
    }
    const std::vector<std::string> expected = {"backgrnd.pcx",          "map.pcx",
                                               "sample16\\backgrnd.pcx", "sample16\\map.pcx",
                                               "sample16\\backgrnd.pcx", "sample16\\map.pcx",
                                               "backgrnd.pcx",          "map.pcx"};
    std::vector<std::string> levelPictures;
    for (const std::string& p : pictures)
        if (p.find("backgrnd") != std::string::npos || p.find("map.pcx") != std::string::npos || p.empty())
            levelPictures.push_back(p);
    EXPECT_EQ(levelPictures, expected);
}

TEST_F(LevelFlow, TheSampleHoldsWhatItPromises) {
    RecordingPresent recording;
    ASSERT_EQ(LoadGrid("sample"), 1);
    EXPECT_EQ(g_level.cellIndex[CellIndex(11, 11)], 10);
    EXPECT_EQ(g_level.cellIndex[CellIndex(27, 17)], 81);
    EXPECT_EQ(g_level.cellIndex[CellIndex(28, 17)], 120);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(g_level.earthnodes[k].found, 1) << k;
        EXPECT_EQ(g_level.shrines[k].found, 1) << k;
    }
    EXPECT_EQ(g_level.cellIndex[CellIndex(29, 29)], 3) << "home base of team 3";
    EXPECT_EQ(g_level.plane[kPlaneLiquidDepth][CellIndex(13, 23)], 40);
    EXPECT_EQ(g_level.plane[kPlaneCeiling][CellIndex(17, 27)], kOpenSky);
    EXPECT_EQ(g_level.plane[kPlaneSlope][CellIndex(27, 27)], 8);
    EXPECT_EQ(g_level.plane[kPlaneCeilingSlope][CellIndex(20, 28)], 1);
    EXPECT_EQ(g_level.roomMap[CellIndex(25, 25)], 3);
    EXPECT_EQ(g_level.rooms[3].mask, 0x6u);
    EXPECT_EQ(g_level.starts[0].angle, 2048);
    // Every built-in kind has a generator; the second keeps one monster.
    const int kinds[] = {1, 3, 2, 4, 5, 6, 7};
    for (int n = 0; n < 7; ++n) {
        EXPECT_EQ(g_level.monsterGens[n].active, 1) << n;
        EXPECT_EQ(g_level.monsterGens[n].kind, kinds[n]) << n;
        EXPECT_EQ(g_level.monsterGens[n].single, n == 1 ? 1 : 0) << n;
    }
    EXPECT_EQ(g_level.monsterGens[4].x, 15 * 64 + 32);
    EXPECT_EQ(g_level.monsterGens[4].y, 28 * 64 + 16);
    EXPECT_EQ(g_level.monsterGens[7].active, 0);
    EXPECT_EQ(g_level.transports[0].used, 1);
    EXPECT_STREQ(g_level.transports[0].grid, "sample16");
    EXPECT_EQ(g_level.minx, 8);
    EXPECT_EQ(g_level.maxx, 40);
    EXPECT_EQ(g_textures.entries[8].chained, 9);
    EXPECT_EQ(g_textures.entries[9].numframes, 2);
    EXPECT_EQ(g_textures.entries[10].used, 1) << "the first system texture follows the level's";
    EXPECT_EQ(g_textures.map[101], 10);
    EXPECT_EQ(FindLightPattern(1)->light_type, 2);
    // Triggers start in their initial states: the elevator at its off height.
    EXPECT_EQ(g_level.plane[kPlaneFloor][CellIndex(24, 14)], 77);
    EXPECT_EQ(GetTrigger(6)->enabled, 0);
    // The lamp (light 1 of kind 2) carries a figure light.
    EXPECT_EQ(recording.Count("AttachFigureLight"), 1u);
}

TEST_F(LevelFlow, MissingFilesAndBadNamesFailTheLoad) {
    RecordingPresent recording;
    fs::remove(fs::path(dir.Path()) / "sample" / "trigger.dat");
    EXPECT_EQ(LoadGrid("sample"), 0);
    for (const char* name : {"", ".", "..", "../sample", "a/b", "a\\b"})
        EXPECT_EQ(LoadGrid(name), 0) << name;
    EXPECT_EQ(recording.Count("SgxCreateWorld"), 0u);
    CloseErrorLog();
    bool said = false;
    for (const std::string& line : LogLines("error.log"))
        said |= line == "ERROR: Could not open file: 'sample\\trigger.dat'.";
    EXPECT_TRUE(said);
}

}  // namespace
