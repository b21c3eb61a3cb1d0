#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "client/core/error_log.h"
#include "client/core/pack_file.h"
#include "client/core/pcx_image.h"
#include "common/byte_writer.h"
#include "tests/support/temp_dir.h"
#include "tools/writers/pack_writer.h"
#include "tools/writers/pcx_writer.h"

namespace {

// A palette with pure blue at 0, white at 1, pure red at 2, a grey at 3 and at 4 to 6 whites
// short of one channel.
std::vector<uint8_t> TestPalette() {
    std::vector<uint8_t> p(768, 0);
    p[2] = 255;
    for (int i = 0; i < 3; ++i)
        p[3 + i] = 255;
    p[6] = 255;
    p[9] = p[10] = p[11] = 128;
    for (int i = 4; i <= 6; ++i) {
        p[3 * i] = p[3 * i + 1] = p[3 * i + 2] = 255;
        p[3 * i + (i - 4)] = 254;
    }
    return p;
}

// A picture made by hand: header with the given corners and version, the body, and the palette.
std::vector<uint8_t> RawPcx(int xmin, int ymin, int xmax, int ymax, const std::vector<uint8_t>& body,
                            bool palette = true, uint8_t version = 5) {
    ByteWriter w;
    w.U8(10);
    w.U8(version);
    w.U8(1);
    w.U8(8);
    w.I16LE(static_cast<int16_t>(xmin));
    w.I16LE(static_cast<int16_t>(ymin));
    w.I16LE(static_cast<int16_t>(xmax));
    w.I16LE(static_cast<int16_t>(ymax));
    w.Zeros(kPcxHeaderSize - w.Size());
    w.Bytes(body.data(), body.size());
    if (palette) {
        std::vector<uint8_t> p = TestPalette();
        w.Bytes(p.data(), p.size());
    }
    return w.Data();
}

class PcxImageTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir.Enter();
        ASSERT_TRUE(OpenErrorLog());
    }
    void TearDown() override { CloseErrorLog(); }

    void Write(const std::string& name, const std::vector<uint8_t>& bytes) {
        dir.Write(name, std::string(bytes.begin(), bytes.end()));
    }
    int Read(const std::vector<uint8_t>& bytes, int mode = PCX_HEAP, int palette = 1,
             const PcxScreenTarget* screen = nullptr) {
        ByteReader r(bytes.data(), bytes.size());
        return image.ReadPcx(r, mode, palette, screen);
    }
    std::vector<uint8_t> Pixels() const {
        const uint8_t* p = image.Pixels8();
        return p ? std::vector<uint8_t>(p, p + image.PcxWidth() * image.PcxHeight()) : std::vector<uint8_t>();
    }
    std::string Log() { return dir.Read("error.log"); }

    TempDir dir;
    PcxImage image;
};

TEST_F(PcxImageTest, RunLengthsAndSinglePixels) {
    struct Case {
        const char* what;
        int width, height;
        std::vector<uint8_t> body;
        std::vector<uint8_t> pixels;
    };
    std::vector<uint8_t> sixtyFour(64, 9);
    sixtyFour[0] = 7;
    std::vector<Case> cases = {
        {"1 x 1", 1, 1, {42}, {42}},
        {"0xBF is a pixel, 0xC0 and above start runs", 3, 1, {0xBF, 0xC2, 0xBF}, {0xBF, 0xBF, 0xBF}},
        {"0xC1 writes one pixel, 0xFF writes 63", 64, 1, {0xC1, 7, 0xFF, 9}, sixtyFour},
        {"a run count of 0 writes its value once", 2, 1, {0xC0, 5, 6}, {5, 6}},
        {"runs continue across lines", 3, 2, {0xC4, 8, 1, 0xC2, 200}, {8, 8, 8, 8, 1, 200}},
        {"input ending early leaves the rest", 4, 1, {3, 0xC2}, {3, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(Read(RawPcx(10, 20, 10 + c.width - 1, 20 + c.height - 1, c.body, false), PCX_HEAP, 0), 0);
        EXPECT_EQ(image.PcxWidth(), c.width);
        EXPECT_EQ(image.PcxHeight(), c.height);
        EXPECT_EQ(Pixels(), c.pixels);
        EXPECT_EQ(image.state, 2);
        EXPECT_EQ(image.loaded, 1);
        EXPECT_FALSE(image.palette);
    }
}

TEST_F(PcxImageTest, CornersAreSigned16BitWords) {
    const struct {
        int xmin, ymin, xmax, ymax, width, height;
    } cases[] = {
        {0, 300, 0, 301, 1, 2}, {300, 0, 301, 0, 2, 1}, {0, 0, 0, 299, 1, 300}, {0, 0, 299, 0, 300, 1},
        {-2, -3, 1, 0, 4, 4},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(Read(RawPcx(c.xmin, c.ymin, c.xmax, c.ymax, {7})), 0) << c.xmin << "," << c.ymin;
        EXPECT_EQ(image.PcxWidth(), c.width) << c.xmin << "," << c.ymin;
        EXPECT_EQ(image.PcxHeight(), c.height) << c.xmin << "," << c.ymin;
    }
}

TEST_F(PcxImageTest, WriterOutputLoadsBackWithItsPalette) {
    std::vector<uint8_t> pixels(37 * 5);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = static_cast<uint8_t>(i % 7 == 0 ? 250 : i / 40);  // runs and bytes above 191
    std::vector<uint8_t> palette = TestPalette();
    Write("Art/Pic.PCX", BuildPcx(37, 5, pixels.data(), palette.data()));
    ASSERT_EQ(image.LoadPcx("art\\pic.pcx", PCX_HEAP, 1), 0);
    EXPECT_STREQ(image.name, "art\\pic.pcx");
    EXPECT_EQ(Pixels(), pixels);
    ASSERT_TRUE(image.palette);
    EXPECT_EQ(std::vector<uint8_t>(image.palette.get(), image.palette.get() + 768), palette);
}

TEST_F(PcxImageTest, RefusesWhatItCannotHold) {
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        int palette;
        int result;
    };
    std::vector<uint8_t> body = {1, 2, 3, 4};
    std::vector<uint8_t> noPalette = RawPcx(0, 0, 1, 1, body, false);
    std::vector<Case> cases = {
        {"version 4", RawPcx(0, 0, 1, 1, body, true, 4), 1, -2},
        {"empty", {}, 1, -2},
        {"header cut", std::vector<uint8_t>(noPalette.begin(), noPalette.begin() + 60), 0, -3},
        {"no room for the palette", noPalette, 1, -3},
        {"xmax below xmin", RawPcx(5, 0, 3, 1, body), 1, -3},
        {"zero height", RawPcx(0, 5, 1, 3, body), 1, -3},
        {"too wide", RawPcx(0, 0, 9000, 0, body), 1, -3},
        {"signed corners far apart", RawPcx(-30000, 0, 30000, 0, body), 1, -3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Read(c.bytes, PCX_HEAP, c.palette), c.result);
        EXPECT_EQ(image.loaded, 0);
        EXPECT_EQ(image.PcxPixels(), nullptr);
        // From a file the same, and the image is left holding the new name.
        ASSERT_EQ(Read(noPalette, PCX_HEAP, 0), 0);
        Write("refused.pcx", c.bytes);
        EXPECT_EQ(image.LoadPcx("refused.pcx", PCX_HEAP, c.palette), c.result);
        EXPECT_EQ(image.loaded, 0);
        EXPECT_STREQ(image.name, "refused.pcx");
        std::strcpy(image.name, "earlier.pcx");
    }
    // The same picture reads without its palette.
    EXPECT_EQ(Read(noPalette, PCX_HEAP, 0), 0);
    // A mode that gives the pixels no home.
    EXPECT_EQ(Read(noPalette, PCX_SCREEN + 1, 0), -3);
    EXPECT_EQ(image.loaded, 0);
    EXPECT_EQ(image.PcxPixels(), nullptr);

    EXPECT_EQ(image.LoadPcx("missing.pcx", PCX_HEAP, 1), -1);
    ByteReader failed;
    failed.Fail();
    EXPECT_EQ(image.ReadPcx(failed, PCX_HEAP, 1), -1);
}

TEST_F(PcxImageTest, ScreenModeWritesTheBackBufferThroughThePalette) {
    std::vector<uint16_t> back(800 * 600, 0x1234);
    PcxScreenTarget screen{back.data(), 800, 600, kChannels565};
    // Three pixels on each of two lines: white, red, grey; then red, grey, white.
    std::vector<uint8_t> bytes = RawPcx(0, 0, 2, 1, {1, 2, 3, 2, 3, 1});
    ASSERT_EQ(Read(bytes, PCX_SCREEN, 1, &screen), 0);
    EXPECT_EQ(image.PcxPixels(), back.data());
    EXPECT_EQ(image.pixelOrigin, PCX_SCREEN);
    EXPECT_EQ(back[0], 0xFFFF);
    EXPECT_EQ(back[1], 0xF800);
    EXPECT_EQ(back[2], 0x8410);
    EXPECT_EQ(back[3], 0x1234);  // rows keep the back buffer's pitch
    EXPECT_EQ(back[800], 0xF800);
    EXPECT_EQ(back[802], 0xFFFF);

    screen.bits = kChannels555;
    ASSERT_EQ(Read(bytes, PCX_SCREEN, 1, &screen), 0);
    EXPECT_EQ(back[0], 0x7FFF);
    EXPECT_EQ(back[1], 0x7C00);

    EXPECT_EQ(Read(RawPcx(0, 0, 800, 0, {}), PCX_SCREEN, 1, &screen), -3);
    EXPECT_EQ(Read(RawPcx(0, 0, 0, 600, {}), PCX_SCREEN, 1, &screen), -3);
    EXPECT_EQ(Read(bytes, PCX_SCREEN, 1, nullptr), -3);
    // Converting the back buffer itself does nothing.
    ASSERT_EQ(Read(bytes, PCX_SCREEN, 1, &screen), 0);
    EXPECT_EQ(image.ConvertPcxToHicolor(kChannels565), 0);
    EXPECT_EQ(image.hicolor, 0);
    EXPECT_EQ(image.PcxPixels(), back.data());
}

TEST_F(PcxImageTest, HicolorCopyMakesWhiteFullInEveryFormat) {
    // Indices 4 to 6 are white but for one channel of 254: only all three at 255 make 0xFFFF.
    std::vector<uint8_t> bytes = RawPcx(0, 0, 6, 0, {1, 2, 3, 0, 4, 5, 6});
    struct Case {
        ChannelBits bits;
        std::vector<uint16_t> pixels;
    };
    for (const Case& c : {Case{kChannels565, {0xFFFF, 0xF800, 0x8410, 0x001F, 0xFFFF, 0xFFFF, 0xFFFF}},
                          Case{kChannels555, {0xFFFF, 0x7C00, 0x4210, 0x001F, 0x7FFF, 0x7FFF, 0x7FFF}}}) {
        ASSERT_EQ(Read(bytes), 0);
        ASSERT_EQ(image.ConvertPcxToHicolor(c.bits), 0);
        EXPECT_EQ(image.hicolor, 1);
        ASSERT_NE(image.Pixels16(), nullptr);
        EXPECT_EQ(std::vector<uint16_t>(image.Pixels16(), image.Pixels16() + 7), c.pixels);
        // A second conversion would read 16-bit pixels as indices.
        EXPECT_EQ(image.ConvertPcxToHicolor(c.bits), 0);
        EXPECT_EQ(image.Pixels16()[1], c.pixels[1]);
    }
    EXPECT_NE(Log().find("Hicolor Conversion of : 14 bytes\n"), std::string::npos);

    // Without a palette there is nothing to convert through.
    ASSERT_EQ(Read(bytes, PCX_HEAP, 0), 0);
    EXPECT_EQ(image.ConvertPcxToHicolor(kChannels565), 0);
    EXPECT_EQ(image.hicolor, 0);
}

TEST_F(PcxImageTest, LoadingOverALoadedImageWarnsAndFreeingTwiceDoesNothing) {
    std::vector<uint8_t> palette = TestPalette();
    uint8_t pixel = 1;
    Write("one.pcx", BuildPcx(1, 1, &pixel, palette.data()));
    Write("two.pcx", BuildPcx(1, 1, &pixel, palette.data()));
    ASSERT_EQ(image.LoadPcx("one.pcx", PCX_HEAP, 1), 0);
    ASSERT_EQ(image.ConvertPcxToHicolor(kChannels565), 0);
    ASSERT_EQ(image.LoadPcx("two.pcx", PCX_HEAP, 1), 0);
    EXPECT_STREQ(image.name, "two.pcx");
    ASSERT_EQ(image.ConvertPcxToHicolor(kChannels565), 0);
    image.FreePcx();
    image.FreePcx();
    EXPECT_EQ(image.loaded, 0);
    EXPECT_EQ(image.PcxPixels(), nullptr);
    EXPECT_EQ(Log(),
              "Log File Started.\n"
              "Hicolor Conversion of one.pcx: 2 bytes\n"
              "WARNING: PCX attempting to load 'one.pcx'.  Already initialized.\n"
              "Hicolor Freed of 'one.pcx'\n"
              "Hicolor Conversion of two.pcx: 2 bytes\n"
              "Hicolor Freed of 'two.pcx'\n");
}

TEST_F(PcxImageTest, FreeingA16BitImageWithoutPixelsOfItsOwnSaysSo) {
    std::vector<uint16_t> back(4, 0);
    PcxScreenTarget screen{back.data(), 2, 2, kChannels565};
    std::vector<uint8_t> palette = TestPalette();
    uint8_t pixels[] = {1, 2, 3, 1};
    Write("back.pcx", BuildPcx(2, 2, pixels, palette.data()));
    ASSERT_EQ(image.LoadPcx("back.pcx", PCX_SCREEN, 1, &screen), 0);
    image.hicolor = 1;  // 16-bit pixels, but the screen's
    image.FreePcx();
    EXPECT_EQ(image.loaded, 0);
    EXPECT_EQ(Log(), "Log File Started.\nAttempt to Free PCX 'back.pcx' with no Image!\n");
}

TEST_F(PcxImageTest, PoolTakesSmallPicturesUntilItIsFull) {
    std::vector<uint8_t> bytes = RawPcx(0, 0, 4, 4, {0xD9, 6});  // 5 x 5 of index 6
    PcxImage images[4];
    int loaded = 0;
    for (PcxImage& im : images) {
        ByteReader r(bytes.data(), bytes.size());
        if (im.ReadPcx(r, PCX_POOL, 1) != 0)
            break;
        ASSERT_EQ(im.pixelOrigin, PCX_POOL);
        EXPECT_EQ(im.Pixels8()[24], 6);
        ++loaded;
    }
    // 25 bytes each while the total stays under 100.
    EXPECT_EQ(loaded, 3);
    // A pooled picture can still become 16-bit; it then has a block of its own.
    ASSERT_EQ(images[0].ConvertPcxToHicolor(kChannels565), 0);
    EXPECT_EQ(images[0].pixelOrigin, PCX_HEAP);
    EXPECT_EQ(images[1].Pixels8()[0], 6);
}

TEST_F(PcxImageTest, ReadsFromAPackEntry) {
    std::vector<uint8_t> palette = TestPalette();
    std::vector<uint8_t> pixels = {1, 2, 3, 1, 2, 3};
    std::vector<uint8_t> pic = BuildPcx(3, 2, pixels.data(), palette.data());
    Write("lvl.zpk", BuildPackFile("lvl.zpk", {{"grid.dat", {1, 2, 3}}, {"map.pcx", pic}, {"zz.dat", {9}}}));
    PackFile pack("lvl.zpk", 1);
    PackEntry entry;
    ASSERT_EQ(pack.FindPackEntry("map.pcx", &entry), 0);
    ByteReader stream = pack.EntryReader(entry);
    ASSERT_EQ(image.ReadPcx(stream, PCX_HEAP, 1), 0);
    EXPECT_EQ(Pixels(), pixels);
    EXPECT_EQ(image.palette[3], 255);
}

}  // namespace
