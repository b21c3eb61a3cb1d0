#include "client/screens/character_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "client/arena/local_player.h"
#include "client/arena/spell.h"
#include "client/core/error_log.h"
#include "client/core/game_values.h"
#include "client/core/numeric.h"
#include "tests/client/screens/char_bin_bytes.h"
#include "tests/support/temp_dir.h"

namespace {

using Bytes = std::vector<uint8_t>;

void Put(Bytes& b, size_t at, std::initializer_list<uint8_t> v) {
    for (uint8_t x : v)
        b[at++] = x;
}
void PutText(Bytes& b, size_t at, const char* text) { std::memcpy(&b[at], text, std::strlen(text)); }

Bytes FileOf(uint32_t version, const Bytes& slots) { return CharBinOf(version, slots); }

// Slot 0: a level-5 Magician as the record lays it out.
Bytes MagicianSlots() {
    Bytes s(1920, 0);
    PutText(s, 0, "Aldwin");
    PutText(s, 20, "Night Owls");
    PutText(s, 52, "NOWL");
    Put(s, 60, {50, 51, 52, 53, 54, 55, 56, 57, 58, 0xFD});  // Strength -3
    Put(s, 72, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    Put(s, 84, {3, 7, 49, 0, 0, 0, 0, 0, 0, 0});
    Put(s, 94, {5, 2, 1, 0, 0, 0, 0, 0, 0, 0});
    Put(s, 104, {0, 5, 12, 0x13});  // Magician, level 5, 12 points, #3 = 3, #120 = 1
    Put(s, 108, {0x0B, 0x00, 0x8F, 0x01});  // readied 11, 399
    Put(s, 148, {0xCA, 0x00, 0x32, 0x00});  // model 202, body 2, head 3
    Put(s, 152, {0x40, 0xE2, 0x01, 0x00});  // experience 123456
    Put(s, 160, {0xFF, 0xFF, 0xFF, 0xFF});  // #25 = -1
    Put(s, 160 + 39 * 4, {0x00, 0x01, 0x00, 0x00});  // #64 = 256
    return s;
}

class CharacterFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir.Enter();
        ResetGameValues();
        ResetCharacterState();
        g_playMode = 1;
        std::memset(&g_currentCharacter, 0, sizeof g_currentCharacter);
        std::memset(&player, 0, sizeof player);
    }
    void WriteFile(const Bytes& b) { dir.Write("char.bin", std::string(b.begin(), b.end())); }
    Bytes ReadFile() {
        const std::string s = dir.Read("char.bin");
        return Bytes(s.begin(), s.end());
    }
    std::string Held(const char* text) {
        std::string s(text);
        SwapOddNibbles(s.data());
        return s;
    }
    void TearDown() override {
        g_playMode = 1;
        CloseErrorLog();
    }
    std::string Log() { return dir.Exists("error.log") ? dir.Read("error.log") : ""; }
    TempDir dir;
    LocalPlayer player;
};

TEST_F(CharacterFileTest, EmptyFileIsLaidOutByHand) {
    Bytes expected(1934, 0);
    Put(expected, 0, {9, 0, 0, 0, 9, 0, 0, 0});
    Put(expected, 1928, {0x7E, 0x04, 0, 0});  // the sum of 1920 zero bytes, low byte first
    const uint16_t outer = DataChecksum(&expected[4], 1928);
    Put(expected, 1932, {uint8_t(outer), uint8_t(outer >> 8)});
    EXPECT_EQ(BuildCharacterFile(Bytes(1920, 0).data()), expected);
    EXPECT_EQ(FileOf(9, Bytes(1920, 0)), expected);
}

struct FileCase {
    const char* what;
    Bytes file;  // empty: no char.bin
    bool keeps;
};

TEST_F(CharacterFileTest, ValidationKeepsGoodFilesAndEmptiesBadOnes) {
    const Bytes good = FileOf(9, MagicianSlots());
    Bytes flipped = good;
    flipped[8 + 480 * 3 + 100] ^= 1;  // inner sum fails
    Bytes outerBad = good;
    outerBad[1933] ^= 1;
    Bytes innerSumBad = FileOf(9, MagicianSlots());
    innerSumBad[1928] ^= 1;  // the outer sum then no longer matches either
    // The inner sum alone wrong, the outer one made right over the changed body.
    auto withOuterSum = [](Bytes b) {
        const uint16_t outer = DataChecksum(&b[4], 1928);
        b[1932] = static_cast<uint8_t>(outer);
        b[1933] = static_cast<uint8_t>(outer >> 8);
        return b;
    };
    const Bytes innerOnlyBad = withOuterSum(innerSumBad);
    const Bytes slotOnlyBad = withOuterSum(flipped);
    const FileCase cases[] = {
        {"missing", {}, false},
        {"version 9", good, true},
        {"version 8", FileOf(8, MagicianSlots()), true},
        {"version 5", FileOf(5, MagicianSlots()), false},
        {"version 10", FileOf(10, MagicianSlots()), false},
        {"flipped slot byte", flipped, false},
        {"outer sum", outerBad, false},
        {"inner sum", innerSumBad, false},
        {"inner sum under a good outer sum", innerOnlyBad, false},
        {"slot byte under a good outer sum", slotOnlyBad, false},
        {"short", Bytes(good.begin(), good.begin() + 1000), false},
        {"tiny", Bytes(good.begin(), good.begin() + 5), false},
    };
    const Bytes empty = FileOf(9, Bytes(1920, 0));
    for (const FileCase& c : cases) {
        SCOPED_TRACE(c.what);
        std::remove("char.bin");
        if (!c.file.empty())
            WriteFile(c.file);
        EXPECT_EQ(ValidateCharacterFile(), 0);
        EXPECT_EQ(ReadFile(), c.keeps ? c.file : empty);
        uint8_t slots[1920];
        ReadCharacterSlots(slots);
        EXPECT_EQ(slots[0], c.keeps ? 'A' : 0);
    }
}

TEST_F(CharacterFileTest, MissingFileLoadsNoNameWithZeroValues) {
    SetGameValue(7, 99);
    LoadCharacterFile(player, 0);
    EXPECT_EQ(std::string(g_currentCharacter.name), Held("NoName"));
    EXPECT_EQ(GetGameValue(7), 0);
    EXPECT_EQ(player.figure_imagenum, 201);
    EXPECT_EQ(ReadFile(), FileOf(9, Bytes(1920, 0)));
}

TEST_F(CharacterFileTest, LoadPutsEachFieldWhereItBelongs) {
    WriteFile(FileOf(8, MagicianSlots()));
    LoadCharacterFile(player, 0);
    EXPECT_EQ(std::string(g_currentCharacter.name), Held("Aldwin"));
    EXPECT_EQ(std::string(g_currentCharacter.squad), Held("Night Owls"));
    EXPECT_EQ(std::string(g_currentCharacter.abbrev), Held("NOWL"));
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(GetGameValue(5 + i), 50 + i);
    EXPECT_EQ(GetGameValue(14), -3);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(GetGameValue(15 + i), 1 + i);
    EXPECT_EQ(GetGameValue(134), 3);
    EXPECT_EQ(GetGameValue(136), 49);
    EXPECT_EQ(GetGameValue(137), 0);
    EXPECT_EQ(GetGameValue(144), 5);
    EXPECT_EQ(GetGameValue(146), 5) << "a pick below the level rises to it on load";
    EXPECT_EQ(GetGameValue(114), 0);
    EXPECT_EQ(GetGameValue(0), 5);
    EXPECT_EQ(GetGameValue(113), 12);
    EXPECT_EQ(GetGameValue(3), 3);
    EXPECT_EQ(GetGameValue(120), 1);
    EXPECT_EQ(g_currentCharacter.readied[0].spell, 11);
    EXPECT_EQ(g_currentCharacter.readied[1].spell, 399);
    EXPECT_EQ(g_currentCharacter.readied[2].spell, 0);
    EXPECT_EQ(player.figure_imagenum, 202);
    EXPECT_EQ(player.body_variant, 2);
    EXPECT_EQ(player.head_variant, 3);
    EXPECT_EQ(GetGameValue(1), 123456);
    EXPECT_EQ(GetGameValue(25), 0) << "readied spells no picked list offers are cleared on load";
    EXPECT_EQ(GetGameValue(64), 0);
    EXPECT_EQ(GetGameValue(107), (5 * 9 / 2 + 15) * 100 + (5 * 9 / 2 + 15) * 100 * 1 * 10 / 5000)
        << "hit points worked out again (Constitution 51)";
    // A version-8 file stays as it was until the next save.
    EXPECT_EQ(ReadFile(), FileOf(8, MagicianSlots()));
    // The record's own values, before the rules run on them.
    DecodeCharacterRecord(MagicianSlots().data(), player);
    EXPECT_EQ(GetGameValue(146), 1);
    EXPECT_EQ(GetGameValue(25), -1);
    EXPECT_EQ(GetGameValue(64), 256);
}

struct BadRecordCase {
    const char* what;
    size_t at;
    Bytes bytes;
    int value;     // game value number, or -1 for the check below
    int expected;
};

TEST_F(CharacterFileTest, OutOfRangeNumbersAreBroughtIntoRange) {
    const BadRecordCase cases[] = {
        {"profession 4", 104, {4}, 114, 0},
        {"profession -1", 104, {0xFF}, 114, 0},
        {"profession 3", 104, {3}, 114, 3},
        {"level 51", 105, {51}, 0, 50},
        {"level -2", 105, {0xFE}, 0, 0},
        {"points -5", 106, {0xFB}, 113, 0},
        {"pick 50 empties it", 84, {50}, 134, 0},
        {"pick 50 drops its level", 84, {50}, 144, 0},
        {"pick -1", 84, {0xFF}, 134, 0},
        {"pick 0 drops its level", 84, {0}, 144, 0},
        {"pick 1 is a list", 84, {1}, 134, 1},
        {"pick 49 is a list", 84, {49}, 134, 49},
        {"pick level 51", 94, {51}, 144, 50},
        {"pick level -1", 94, {0xFF}, 144, 0},
    };
    for (const BadRecordCase& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes slots = MagicianSlots();
        std::memcpy(&slots[c.at], c.bytes.data(), c.bytes.size());
        DecodeCharacterRecord(slots.data(), player);
        EXPECT_EQ(GetGameValue(c.value), c.expected);
    }
}

TEST_F(CharacterFileTest, ReadiedSpellsAndFigureOutOfRangeAreCleared) {
    struct Case {
        const char* what;
        Bytes readied;  // at 108
        Bytes figure;   // at 148: model, looks
        int spell, model, body, head;
    } cases[] = {
        {"spell 400", {0x90, 0x01}, {0xCA, 0, 0x32, 0}, 0, 202, 2, 3},
        {"spell -1", {0xFF, 0xFF}, {0xCA, 0, 0x32, 0}, 0, 202, 2, 3},
        {"spell 1", {0x01, 0x00}, {0xCA, 0, 0x32, 0}, 1, 202, 2, 3},
        {"model 0", {0x01, 0x00}, {0, 0, 0x32, 0}, 1, 201, 0, 0},
        {"model 204", {0x01, 0x00}, {0xCC, 0, 0x12, 0}, 1, 201, 0, 0},
        {"body 3", {0x01, 0x00}, {0xCB, 0, 0x23, 0}, 1, 203, 0, 2},
        {"head 4", {0x01, 0x00}, {0xC9, 0, 0x41, 0}, 1, 201, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes slots = MagicianSlots();
        std::memcpy(&slots[108], c.readied.data(), 2);
        std::memcpy(&slots[148], c.figure.data(), 4);
        WriteFile(FileOf(9, slots));
        LoadCharacterFile(player, 0);
        EXPECT_EQ(g_currentCharacter.readied[0].spell, c.spell);
        EXPECT_EQ(player.figure_imagenum, c.model);
        EXPECT_EQ(player.body_variant, c.body);
        EXPECT_EQ(player.head_variant, c.head);
    }
}

TEST_F(CharacterFileTest, TextsAreCutAndTerminated) {
    Bytes slots(1920, 0);
    PutText(slots, 480, "Bartholomews");             // 12 letters
    std::memset(&slots[480 + 20], 'S', 32);          // squad without its terminator
    std::memset(&slots[480 + 52], 'B', 8);           // abbreviation too
    slots[480 + 60] = 9;
    WriteFile(FileOf(9, slots));
    LoadCharacterFile(player, 1);
    EXPECT_EQ(std::string(g_currentCharacter.name), Held("Bartholomew"));
    EXPECT_EQ(std::string(g_currentCharacter.squad), Held(std::string(31, 'S').c_str()));
    EXPECT_EQ(std::string(g_currentCharacter.abbrev), Held("BBBBBBB"));
    EXPECT_EQ(GetGameValue(5), 9);

    // Only an empty name becomes "NoName", however short the stored one is.
    PutText(slots, 960, "Q");
    WriteFile(FileOf(9, slots));
    LoadCharacterFile(player, 2);
    EXPECT_EQ(std::string(g_currentCharacter.name), Held("Q"));
}

TEST_F(CharacterFileTest, SavingWritesTheRecordFieldByFieldAndKeepsOtherSlots) {
    Bytes slots = MagicianSlots();
    for (size_t i = 480; i < 1920; ++i)
        slots[i] = uint8_t(i * 7);
    WriteFile(FileOf(8, slots));

    std::strcpy(g_currentCharacter.name, Held("Mira").c_str());
    std::strcpy(g_currentCharacter.squad, Held("Dawn").c_str());
    std::strcpy(g_currentCharacter.abbrev, Held("DWN").c_str());
    for (int i = 0; i < 10; ++i) {
        SetGameValue(5 + i, 20 + i);
        SetGameValue(15 + i, -i);
        SetGameValue(134 + i, i);
        SetGameValue(144 + i, 40 + i);
    }
    SetGameValue(14, 200);  // a byte cannot hold it: kept at the top, not wrapped
    SetGameValue(114, 3);
    SetGameValue(0, 7);
    SetGameValue(113, 4);
    SetGameValue(3, 5);
    SetGameValue(120, 2);
    SetGameValue(1, 0x01020304);
    for (int i = 0; i < 40; ++i)
        SetGameValue(25 + i, 1000 * i);
    g_currentCharacter.readied[0].spell = 300;
    g_currentCharacter.readied[19].spell = 12;
    player.figure_imagenum = 203;
    player.body_variant = 1;
    player.head_variant = 2;
    ASSERT_EQ(SaveCharacterFile(player, 2), 1);

    Bytes expected = slots;
    const size_t r = 960;
    std::memset(&expected[r], 0, 60);
    PutText(expected, r + 0, "Mira");
    PutText(expected, r + 20, "Dawn");
    PutText(expected, r + 52, "DWN");
    Put(expected, r + 60, {20, 21, 22, 23, 24, 25, 26, 27, 28, 127});
    Put(expected, r + 72, {0, 0xFF, 0xFE, 0xFD, 0xFC, 0xFB, 0xFA, 0xF9, 0xF8, 0xF7});
    Put(expected, r + 84, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
    Put(expected, r + 94, {40, 41, 42, 43, 44, 45, 46, 47, 48, 49});
    Put(expected, r + 104, {3, 7, 4, 0x25});
    for (int i = 0; i < 20; ++i)
        Put(expected, r + 108 + 2 * i, {0, 0});
    Put(expected, r + 108, {0x2C, 0x01});
    Put(expected, r + 146, {0x0C, 0x00});
    Put(expected, r + 148, {0xCB, 0x00, 0x21, 0x00});
    Put(expected, r + 152, {0x04, 0x03, 0x02, 0x01});
    for (int i = 0; i < 40; ++i) {
        const uint32_t v = 1000u * i;
        Put(expected, r + 160 + 4 * i, {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)});
    }
    EXPECT_EQ(ReadFile(), FileOf(9, expected));

    // And back: the same values come out of slot 2.
    ResetGameValues();
    std::memset(&g_currentCharacter, 0, sizeof g_currentCharacter);
    LoadCharacterFile(player, 2);
    EXPECT_EQ(std::string(g_currentCharacter.name), Held("Mira"));
    EXPECT_EQ(GetGameValue(114), 3);
    EXPECT_EQ(GetGameValue(1), 0x01020304);
    uint8_t back[1920];
    ReadCharacterSlots(back);
    DecodeCharacterRecord(back + 960, player);
    EXPECT_EQ(GetGameValue(64), 39000);
}

TEST_F(CharacterFileTest, DeleteEmptiesOnlyItsSlot) {
    Bytes slots = MagicianSlots();
    std::memcpy(&slots[480 * 3], &slots[0], 480);
    WriteFile(FileOf(9, slots));
    ASSERT_EQ(DeleteCharacterSlot(0), 1);
    std::memset(&slots[0], 0, 480);
    EXPECT_EQ(ReadFile(), FileOf(9, slots));
    EXPECT_EQ(DeleteCharacterSlot(4), 0);
    EXPECT_EQ(SaveCharacterFile(player, -1), 0);
    EXPECT_EQ(ReadFile(), FileOf(9, slots));
}

TEST_F(CharacterFileTest, AFailingWriteKeepsTheOldFile) {
    const Bytes old = FileOf(9, MagicianSlots());
    WriteFile(old);
    std::strcpy(g_currentCharacter.name, Held("Other").c_str());
    // Writes past 1000 bytes fail, even for root.
    rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto* previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 1000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const int saveResult = SaveCharacterFile(player, 0);
    const int deleteResult = DeleteCharacterSlot(0);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    EXPECT_EQ(saveResult, 0);
    EXPECT_EQ(deleteResult, 0);
    EXPECT_EQ(ReadFile(), old);
    // No temporary file is left behind.
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        files.push_back(entry.path().filename().string());
    EXPECT_EQ(files, std::vector<std::string>{"char.bin"});
}

}  // namespace

// ---- Online: the service's copies ---------------------------------------------------------------

// A service copy laid out by hand: Thorn, a level-9 Healer.
Bytes ThornCopy() {
    Bytes c(208, 0);
    PutText(c, 4, "Thorn");
    Put(c, 24, {60, 61, 62, 63, 64, 65, 66, 67, 68, 0xFE});  // Strength -2
    Put(c, 36, {11, 12, 13, 14, 15, 16, 17, 18, 19, 20});
    Put(c, 48, {4, 9, 0, 0, 0, 0, 0, 0, 0, 0});
    Put(c, 60, {9, 3, 0, 0, 0, 0, 0, 0, 0, 0});
    Put(c, 72, {3, 9, 6, 0, 202, 0x21, 0x12, 0});  // Healer, level 9, 6 points; model, #3 1 #120 2, looks
    Put(c, 80, {0x10, 0x27, 0, 0});                 // experience 10000
    Put(c, 84, {0x34, 0x12});                       // #25 = 0x1234
    Put(c, 84 + 39 * 2, {0xFF, 0xFF});              // #64 = 65535: unsigned words
    PutText(c, 168, "Ember Road");
    PutText(c, 200, "EMB");
    return c;
}

void HoldCopy(int slot, const Bytes& plain) {
    std::memcpy(ServiceCopies[slot], plain.data(), 208);
    XorBuffer(ServiceCopies[slot], 208);
}

Bytes CopyOf(int slot) {
    Bytes c(208);
    ReadServiceCopy(slot, c.data());
    return c;
}

TEST_F(CharacterFileTest, OnlineLoadTakesTheServiceCopyOnlyOnceItArrived) {
    ASSERT_TRUE(OpenErrorLog("error.log"));
    g_playMode = 2;
    WriteFile(FileOf(9, MagicianSlots()));
    HoldCopy(0, ThornCopy());
    g_currentCharacter.readied[0].spell = 77;

    SlotRequestState[0] = 1;  // still being fetched
    SetGameValue(0, 42);
    LoadCharacterFile(player, 0);
    EXPECT_EQ(GetGameValue(0), 42);
    EXPECT_EQ(g_currentCharacter.name[0], 0);
    EXPECT_NE(Log().find("Attempting Multi_User Load Character when Character not sent!\n"), std::string::npos);

    SlotRequestState[0] = 2;
    LoadCharacterFile(player, 0);
    EXPECT_EQ(std::string(g_currentCharacter.name), Held("Thorn"));
    EXPECT_EQ(std::string(g_currentCharacter.squad), Held("Ember Road"));
    EXPECT_EQ(std::string(g_currentCharacter.abbrev), Held("EMB"));
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(GetGameValue(5 + i), 60 + i);
    EXPECT_EQ(GetGameValue(14), -2);
    EXPECT_EQ(GetGameValue(15), 11);
    EXPECT_EQ(GetGameValue(24), 20);
    EXPECT_EQ(GetGameValue(134), 4);
    EXPECT_EQ(GetGameValue(135), 9);
    EXPECT_EQ(GetGameValue(144), 9);
    EXPECT_EQ(GetGameValue(145), 9) << "raised to the level on load";
    EXPECT_EQ(GetGameValue(114), 3);
    EXPECT_EQ(GetGameValue(0), 9);
    EXPECT_EQ(GetGameValue(113), 6);
    EXPECT_EQ(GetGameValue(3), 1);
    EXPECT_EQ(GetGameValue(120), 2);
    EXPECT_EQ(player.figure_imagenum, 202);
    EXPECT_EQ(player.body_variant, 2);
    EXPECT_EQ(player.head_variant, 1);
    EXPECT_EQ(GetGameValue(1), 10000);
    EXPECT_EQ(GetGameValue(25), 0) << "no picked list offers it";
    EXPECT_EQ(g_currentCharacter.readied[0].spell, 77) << "the copy carries no readied spells";
    EXPECT_EQ(ReadFile(), FileOf(9, MagicianSlots())) << "char.bin is not read online";
    DecodeServiceCopy(ThornCopy().data(), player);
    EXPECT_EQ(GetGameValue(145), 3);
    EXPECT_EQ(GetGameValue(25), 0x1234);
    EXPECT_EQ(GetGameValue(64), 65535) << "unsigned words";
}

TEST_F(CharacterFileTest, OnlineSaveFillsTheCopyAndTheFile) {
    g_playMode = 2;
    HoldCopy(1, ThornCopy());
    SlotRequestState[1] = 0;
    std::strcpy(g_currentCharacter.name, Held("Mira").c_str());
    std::strcpy(g_currentCharacter.squad, Held("Dawn").c_str());
    std::strcpy(g_currentCharacter.abbrev, Held("DWN").c_str());
    for (int i = 0; i < 10; ++i) {
        SetGameValue(5 + i, 30 + i);
        SetGameValue(15 + i, i);
        SetGameValue(134 + i, i + 1);
        SetGameValue(144 + i, 20 + i);
    }
    SetGameValue(114, 2);
    SetGameValue(0, 12);
    SetGameValue(113, 3);
    SetGameValue(3, 4);
    SetGameValue(120, 1);
    SetGameValue(1, 0x00ABCDEF);
    for (int i = 0; i < 40; ++i)
        SetGameValue(25 + i, 0x10000 + i);  // cut to 16 bits
    player.figure_imagenum = 203;
    player.body_variant = 1;
    player.head_variant = 3;
    ASSERT_EQ(SaveCharacterFile(player, 1), 1);

    Bytes expected(208, 0);
    PutText(expected, 4, "Mira");
    Put(expected, 24, {30, 31, 32, 33, 34, 35, 36, 37, 38, 39});
    Put(expected, 36, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
    Put(expected, 48, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    Put(expected, 60, {20, 21, 22, 23, 24, 25, 26, 27, 28, 29});
    Put(expected, 72, {2, 12, 3, 0, 203, 0x14, 0x31, 0});
    Put(expected, 80, {0xEF, 0xCD, 0xAB, 0x00});
    for (int i = 0; i < 40; ++i)
        Put(expected, 84 + 2 * i, {uint8_t(i), 0});
    PutText(expected, 168, "Dawn");
    PutText(expected, 200, "DWN");
    EXPECT_EQ(CopyOf(1), expected);
    EXPECT_NE(ServiceCopies[1][4], 'M') << "held scrambled";
    EXPECT_EQ(SlotRequestState[1], 2);
    Bytes slots(1920, 0);
    ASSERT_TRUE(ParseCharacterFile(ReadFile().data(), 1934, slots.data()));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(&slots[480])), "Mira");
}

TEST_F(CharacterFileTest, OnlineSaveWithoutANameChangesNothing) {
    ASSERT_TRUE(OpenErrorLog("error.log"));
    g_playMode = 2;
    HoldCopy(3, ThornCopy());
    SlotRequestState[3] = 0;
    EXPECT_EQ(SaveCharacterFile(player, 3), 0);
    EXPECT_EQ(CopyOf(3), ThornCopy());
    EXPECT_EQ(SlotRequestState[3], 0);
    EXPECT_FALSE(dir.Exists("char.bin"));
    EXPECT_NE(Log().find("Attempting Multi_User SAVE Character when Character NULL Name!\n"), std::string::npos);
}

TEST_F(CharacterFileTest, OnlineDeleteEmptiesTheCopyButItsSquad) {
    g_playMode = 2;
    HoldCopy(2, ThornCopy());
    SlotRequestState[2] = 2;
    Bytes slots = MagicianSlots();
    std::memcpy(&slots[960], &slots[0], 480);
    WriteFile(FileOf(9, slots));
    std::strcpy(g_currentCharacter.name, Held("Thorn").c_str());
    ASSERT_EQ(DeleteCharacterSlot(2), 1);
    Bytes expected(208, 0);
    PutText(expected, 168, "Ember Road");
    PutText(expected, 200, "EMB");
    EXPECT_EQ(CopyOf(2), expected);
    EXPECT_EQ(SlotRequestState[2], 0);
    EXPECT_EQ(g_currentCharacter.name[0], 0);
    std::memset(&slots[960], 0, 480);
    EXPECT_EQ(ReadFile(), FileOf(9, slots));
}

TEST_F(CharacterFileTest, LoadingKeepsOnlyKnownReadiedSpellsAndWorksOutTheProfession) {
    ClearSpellData();
    SpellListTable[3].spells[1] = 44;   // list 3, position 2: within level 5
    SpellListTable[49].spells[9] = 45;  // list 49, position 10: above its pick level 1
    Bytes slots = MagicianSlots();
    Put(slots, 104, {3, 5});                           // a Healer of level 5
    Put(slots, 160, {44, 0, 0, 0, 45, 0, 0, 0});       // #25 = 44, #26 = 45
    WriteFile(FileOf(9, slots));
    LoadCharacterFile(player, 0);
    EXPECT_EQ(GetGameValue(25), 44);
    EXPECT_EQ(GetGameValue(65), 2);
    EXPECT_EQ(GetGameValue(26), 0);
    EXPECT_EQ(GetGameValue(107), 4500 + 4500 * 1 * 10 / 5000) << "a Healer's hit points, Constitution 51";
    EXPECT_EQ(GetGameValue(108), GetGameValue(107));
    ClearSpellData();
}
