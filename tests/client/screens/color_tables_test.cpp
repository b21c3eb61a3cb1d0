#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "client/core/config_file.h"
#include "client/core/error_log.h"
#include "client/core/pack_file.h"
#include "client/core/pcx_image.h"
#include "client/screens/color_tables.h"
#include "common/byte_writer.h"
#include "tests/support/temp_dir.h"
#include "tools/writers/color_table_writer.h"
#include "tools/writers/pack_writer.h"
#include "tools/writers/pcx_writer.h"

namespace {

// The settings reader keeps the last file open; each test's directory goes away.
void ReleaseConfigFile() {
    GetConfigString(nullptr, nullptr, nullptr, nullptr, 0, nullptr, 0);
}

std::string AsText(const std::vector<uint8_t>& b) {
    return std::string(b.begin(), b.end());
}

// A .col file whose every entry is v.
std::vector<uint8_t> FlatCol(uint16_t v) {
    ByteWriter w;
    for (int i = 0; i < kShadeRows * 256; ++i)
        w.U16LE(v);
    return w.Data();
}

uint16_t Converted(uint16_t v, ChannelBoosts boosts, ChannelBits bits) {
    static LightTable table;
    std::vector<uint8_t> col = FlatCol(v);
    ConvertLightTable(col.data(), boosts, bits, table);
    EXPECT_EQ(table.rows[0][0] >> 16, table.rows[0][0] & 0xFFFF);  // the pixel twice
    return static_cast<uint16_t>(table.rows[kShadeRows - 1][255]);
}

TEST(ColorTables, PixelPackingFollowsTheChannelBits) {
    EXPECT_EQ(PackPixel16(kChannels555, 255, 255, 255), 0x7FFF);
    EXPECT_EQ(PackPixel16(kChannels555, 214, 168, 65), 0x6AA8);
    EXPECT_EQ(PackPixel16(kChannels565, 255, 255, 255), 0xFFFF);
    EXPECT_EQ(PackPixel16(kChannels565, 214, 168, 65), 0xD548);
}

TEST(ColorTables, ConversionAndChannelBoosts) {
    struct Case {
        const char* what;
        uint16_t col;
        ChannelBoosts boosts;
        ChannelBits bits;
        uint16_t pixel;
    };
    const Case cases[] = {
        {"565 as stored", 0x1234, {}, kChannels565, 0x1234},
        {"555 white", 0xFFFF, {}, kChannels555, 0x7FFF},
        {"555 red", 0xF800, {}, kChannels555, 0x7C00},
        {"565 with a boost is rebuilt", 0x8800, {1, 0, 0}, kChannels565, 0xF800},     // red 0x88 -> 255
        {"boost 1 doubles below 128", 0x4000, {1, 0, 0}, kChannels565, 0x8000},       // 0x40 -> 128
        {"boost 1 saturates at 128", 0x8000, {1, 0, 0}, kChannels565, 0xF800},        // 0x80 -> 255
        {"green boost 1 just below 128", 0x03E0, {0, 1, 0}, kChannels565, 0x07C0},    // 124 -> 248
        {"boost 2 saturates from 64", 0x4000, {2, 0, 0}, kChannels565, 0xF800},       // 0x40 -> 255
        {"boost 2 quadruples below 64", 0x3800, {2, 0, 0}, kChannels565, 0xE000},     // 0x38 -> 224
        {"green boost", 0x0200, {0, 1, 0}, kChannels555, 0x0200},                     // 0x40 -> 128
        {"blue boost 2", 0x0008, {0, 0, 2}, kChannels555, 0x001F},                    // 0x40 -> 255
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Converted(c.col, c.boosts, c.bits), c.pixel);
    }
}

TEST(ColorTables, BoostsDoubleOrQuadrupleUpToTheirLimits) {
    struct Case {
        int channel, boost, result;
    };
    const Case cases[] = {
        {0, 1, 0},     {100, 1, 200}, {127, 1, 254}, {128, 1, 255}, {255, 1, 255},
        {0, 2, 0},     {16, 2, 64},   {63, 2, 252},  {64, 2, 255},  {255, 2, 255},
        {127, 0, 127}, {200, 0, 200}, {200, 3, 200},
    };
    for (const Case& c : cases)
        EXPECT_EQ(BoostChannel(c.channel, c.boost), c.result) << c.channel << " boost " << c.boost;
}

TEST(ColorTables, ShadeValuesPickRows) {
    BuildShadeTables();
    const LightTable& base = *GetLightTable(0);
    EXPECT_EQ(ShadeTable[100], base.rows[0]);
    EXPECT_EQ(ShadeTable[255], base.rows[0]);
    EXPECT_EQ(ShadeTable[260], base.rows[4]);
    EXPECT_EQ(ShadeTable[288], base.rows[32]);
    EXPECT_EQ(ShadeTable[300], base.rows[32]);
    EXPECT_EQ(ShadeTable[511], base.rows[32]);
    EXPECT_EQ(PaletteColourTable, base.rows[32]);
    EXPECT_EQ(GetLightTable(1), nullptr);
    EXPECT_NE(GetLightTable(23), nullptr);
    EXPECT_EQ(GetLightTable(24), nullptr);
}

class LightSourceTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir.Enter();
        ASSERT_TRUE(OpenErrorLog());
        palette = SamplePalette();
        std::vector<uint8_t> swatch(256);
        for (int i = 0; i < 256; ++i)
            swatch[i] = static_cast<uint8_t>(i);
        dir.Write("light/system.col", AsText(BuildColFile(palette)));
        dir.Write("light/tran565.tra", AsText(BuildTranslationTable(palette, kChannels565)));
        dir.Write("light/tran555.tra", AsText(BuildTranslationTable(palette, kChannels555)));
        dir.Write("light/syspal.pcx", AsText(BuildPcx(16, 16, swatch.data(), palette.data())));
    }
    void TearDown() override {
        ReleaseConfigFile();
        CloseErrorLog();
    }
    std::string Log() { return dir.Read("error.log"); }

    TempDir dir;
    Palette palette;
};

TEST_F(LightSourceTest, LoadsTheBaseTableInverseTableAndPalette) {
    dir.Write("color.dat", "[color_tables]\n00=system.col\n");
    std::memset(SystemPalette, 0, sizeof SystemPalette);
    ASSERT_EQ(init_lightsource("color.dat", kChannels565), 0);
    // Index 31 is white, index 33 the darkest red.
    EXPECT_EQ(PaletteColourTable[31], 0xFFFFu * 0x10001u);
    EXPECT_EQ(PaletteColourTable[33] & 0xFFFF, PackPixel16(kChannels565, palette[99], palette[100], palette[101]));
    EXPECT_EQ(GetLightTable(0)->rows[0][31], 0u);  // the darkest row is black
    // White's first index is the white text colour; black has an index of its own.
    EXPECT_EQ(InverseColourTable[0xFFFF], 0);
    EXPECT_EQ(InverseColourTable[0], kSampleBlack);
    EXPECT_EQ(std::memcmp(SystemPalette, palette.data(), sizeof SystemPalette), 0);

    ASSERT_EQ(init_lightsource("color.dat", kChannels555), 0);
    EXPECT_EQ(PaletteColourTable[31], 0x7FFFu * 0x10001u);
    EXPECT_EQ(InverseColourTable[0x7FFF], 0);
    EXPECT_EQ(Log(), "Log File Started.\n");
}

TEST_F(LightSourceTest, MissingKeyFallsBackToSystemCol) {
    dir.Write("color.dat", "[color_tables]\nred00=1\n");
    ASSERT_EQ(init_lightsource("color.dat", kChannels565), 0);
    EXPECT_EQ(PaletteColourTable[31], 0xFFFFu * 0x10001u);
    EXPECT_NE(Log().find(":WARNING: No entry for 0 in color table! defaulting to system.col.\n"), std::string::npos);
}

TEST_F(LightSourceTest, MissingFilesAreReportedAsFatal) {
    dir.Write("color.dat", "[color_tables]\n00=gone.col\n");
    EXPECT_EQ(init_lightsource("color.dat", kChannels565), -1);
    EXPECT_NE(Log().find(":ERROR: Common\\Init::init_lightsource() - could not find file: light\\gone.col\n"),
              std::string::npos);

    dir.Write("color.dat", "[color_tables]\n00=short.col\n");
    dir.Write("light/short.col", std::string(100, '\0'));
    EXPECT_EQ(init_lightsource("color.dat", kChannels565), -1);

    dir.Write("color.dat", "[color_tables]\n00=system.col\n");
    std::remove("light/tran555.tra");
    EXPECT_EQ(init_lightsource("color.dat", kChannels555), -1);
    EXPECT_NE(Log().find(":ERROR: Common\\Init::init_lightsource() - could not fopen() file: 'light\\tran555.tra'.\n"),
              std::string::npos);
}

TEST_F(LightSourceTest, GridTablesComeFromTheLevelPack) {
    std::vector<uint8_t> red = FlatCol(0xF800);
    std::vector<uint8_t> blue = FlatCol(0x001F);
    dir.Write("lvl.zpk", AsText(BuildPackFile("lvl.zpk", {
        {"light/red.col", red},
        {"light/grey.col", FlatCol(0x4208)},  // each channel 64
        {"light/system.col", blue},
        {"light/short.col", std::vector<uint8_t>(red.begin(), red.end() - 2)},
    })));
    PackFile pack("lvl.zpk", 1);
    ASSERT_EQ(pack.state, 1);

    // Known contents first, so that tables the pack does not give can be seen to stay as they were.
    for (int n = kFirstGridLightTable; n <= kLastGridLightTable; ++n)
        for (auto& row : GetLightTable(n)->rows)
            for (uint32_t& e : row)
                e = 0x12341234u;
    const char config[] =
        "[color_tables]\n16=red.col\nred16=0\n17=red.col\n18=missing.col\n19=short.col\n"
        "20=grey.col\nred20=1\n21=grey.col\ngreen21=2\n22=grey.col\nblue22=1\nred22=0\n";
    FILE* stream = fmemopen(const_cast<char*>(config), sizeof config - 1, "r");
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(InitGridLightsourceFromPack(pack, stream, kChannels555), 0);
    ForgetConfigStream(stream);
    std::fclose(stream);

    EXPECT_EQ(GetLightTable(16)->rows[5][7], 0x7C00u * 0x10001u);
    EXPECT_EQ(GetLightTable(17)->rows[32][255], 0x7C00u * 0x10001u);
    EXPECT_EQ(GetLightTable(18)->rows[0][0], 0x12341234u);
    EXPECT_EQ(GetLightTable(19)->rows[32][255], 0x12341234u);
    // Each table's own boosts: red 64 doubled, green 64 saturated, blue 64 doubled.
    EXPECT_EQ(GetLightTable(20)->rows[32][255], 0x4108u * 0x10001u);
    EXPECT_EQ(GetLightTable(21)->rows[32][255], 0x23E8u * 0x10001u);
    EXPECT_EQ(GetLightTable(22)->rows[32][255], 0x2110u * 0x10001u);
    EXPECT_EQ(GetLightTable(23)->rows[0][0], 0x001Fu * 0x10001u);  // no key: light/system.col
    std::string log = Log();
    EXPECT_NE(log.find(":ERROR: InitGridLightsourceFromPack - Could not find file: light/missing.col\n"),
              std::string::npos);
    EXPECT_NE(log.find(":ERROR: InitGridLightsourceFromPack - Bad color table: light/short.col\n"),
              std::string::npos);
    EXPECT_NE(log.find("\nNo entry for 23 in grid color table! defaulting to system.col.\n"), std::string::npos);
}

// The installation's colour files in a directory of the test's own, entered.
void EnterWithSampleColourFiles(TempDir& dir) {
    std::filesystem::create_directory(dir.File("light"));
    for (const char* name : {"color.dat", "light/system.col", "light/tran565.tra", "light/tran555.tra",
                             "light/syspal.pcx"})
        std::filesystem::copy_file(std::string(SAMPLE_INSTALL_DIR "/") + name, dir.File(name));
    dir.Enter();
}

TEST(SampleInstallation, ColourTablesLoad) {
    TempDir dir;
    EnterWithSampleColourFiles(dir);
    for (ChannelBits bits : {kChannels565, kChannels555}) {
        ASSERT_EQ(init_lightsource("color.dat", bits), 0);
        EXPECT_EQ(InverseColourTable[PaletteColourTable[200] & 0xFFFF], 200);
    }
    ReleaseConfigFile();
}


// The screens draw their text in palette indices 0 to 6 on black: the installation's palette has
// to make them readable there, keep the teams' hues, and still give black an index of its own.
TEST(SampleInstallation, TextColoursReadOnBlack) {
    TempDir dir;
    EnterWithSampleColourFiles(dir);
    ASSERT_EQ(init_lightsource("color.dat", kChannels565), 0);
    // White, the teams' red, yellow and blue, the highlight green, light grey, dim grey.
    const uint16_t expected[7] = {0xFFFF, 0xEA88, 0xF68A, 0x6CBF, 0x6EEF, 0xBDF9, 0x8432};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(PaletteColourTable[i], expected[i] * 0x10001u) << i;
        const uint8_t* rgb = SystemPalette + 3 * i;
        EXPECT_GE(std::max({rgb[0], rgb[1], rgb[2]}), 128) << i;
        for (int j = 0; j < i; ++j) {
            const uint8_t* other = SystemPalette + 3 * j;
            const int dr = rgb[0] - other[0], dg = rgb[1] - other[1], db = rgb[2] - other[2];
            EXPECT_GE(dr * dr + dg * dg + db * db, 40 * 40) << i << " and " << j;
        }
    }
    EXPECT_EQ(PaletteColourTable[kSampleBlack], 0u);
    ReleaseConfigFile();

    // Art drawn through the system palette leaves the text colours alone.
    for (const char* name : {"sample/map.pcx", "loadbar1.pcx", "loadbar2.pcx", "loadbarb.pcx"}) {
        PcxImage pcx;
        ASSERT_EQ(pcx.LoadPcx((std::string(SAMPLE_INSTALL_DIR "/") + name).c_str(), PCX_HEAP, 0), 0) << name;
        const uint8_t* px = pcx.Pixels8();
        ASSERT_NE(px, nullptr) << name;
        const size_t n = static_cast<size_t>(pcx.PcxWidth()) * pcx.PcxHeight();
        EXPECT_EQ(std::count_if(px, px + n, [](uint8_t v) { return v < kSampleTextColours; }), 0) << name;
    }
}

}  // namespace
