// The image-file reader: dispatch by name, BMP, TGA and SGI as written by our writers or built
// by hand, and the files it must refuse.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/byte_writer.h"
#include "engine/core/sg_action.h"
#include "engine/core/sg_image_file.h"
#include "engine/core/sg_property.h"
#include "engine/core/sg_raw_image.h"
#include "engine/core/sg_stream.h"
#include "tests/support/temp_dir.h"
#include "tools/writers/bmp_writer.h"
#include "tools/writers/tga_writer.h"

namespace {

using Bytes = std::vector<uint8_t>;

SgRef<SgRawImageData> NewRaw() { return SgRef<SgRawImageData>(new SgRawImageData); }

Bytes PixelsOf(const SgRawImageData& raw) {
    return Bytes(raw.Pixels(), raw.Pixels() + static_cast<size_t>(raw.BytesPerRow()) * raw.Height());
}

void WriteFile(const std::string& path, const Bytes& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr) << path;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

// A 3x2 8-bit image with a 4-entry palette.
BmpImage SmallIndexedBmp(bool topDown) {
    BmpImage b;
    b.width = 3;
    b.height = 2;
    b.bitsPerPixel = 8;
    b.topDown = topDown;
    b.pixels = {0, 1, 2, 3, 2, 1};
    b.palette = {10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120};
    return b;
}

// ---- Dispatch ----

TEST(ImageFile, DispatchByExtensionAndPrefix) {
    TempDir dir;
    Bytes bmp = BuildBmp(SmallIndexedBmp(false));
    WriteFile(dir.File("pic.bmp"), bmp);
    WriteFile(dir.File("PIC2.BMP"), bmp);
    WriteFile(dir.File("pic.png"), bmp);

    auto plain = NewRaw();
    ASSERT_TRUE(ReadImageFile(dir.File("pic.bmp").c_str(), plain.Get()));
    auto prefixed = NewRaw();
    ASSERT_TRUE(ReadImageFile(("file://" + dir.File("pic.bmp")).c_str(), prefixed.Get()));
    EXPECT_TRUE(plain->IsEqualTo(prefixed.Get()));
    auto capitals = NewRaw();
    ASSERT_TRUE(ReadImageFile(dir.File("PIC2.BMP").c_str(), capitals.Get())) << "extension in capitals";
    EXPECT_TRUE(plain->IsEqualTo(capitals.Get()));

    auto other = NewRaw();
    EXPECT_FALSE(ReadImageFile(dir.File("pic.png").c_str(), other.Get())) << "unknown extension";
    EXPECT_FALSE(ReadImageFile(dir.File("missing.bmp").c_str(), other.Get()));
    EXPECT_FALSE(ReadImageFile(dir.File("noextension").c_str(), other.Get()));
    EXPECT_FALSE(ReadImageFile(nullptr, other.Get()));
}

TEST(ImageFile, SgfFileHoldingOneRawImage) {
    TempDir dir;
    SgRef<SgRawImageData> source = NewRaw();
    ASSERT_TRUE(source->ResizeRawImage(1, 2, 1));
    const uint8_t px[] = {1, 2, 3, 4, 5, 6};
    std::memcpy(source->Pixels(), px, sizeof px);
    {
        SgSceneStream out;
        out.InsertObject(source.Get());
        ASSERT_TRUE(out.SaveFile(dir.File("one.sgf").c_str()));
    }
    auto raw = NewRaw();
    ASSERT_TRUE(ReadImageFile(dir.File("one.sgf").c_str(), raw.Get()));
    EXPECT_EQ(PixelsOf(*raw), Bytes(px, px + 6));

    // Two top-level objects, or one of another class, are refused.
    SgRef<SgRawImageData> second = NewRaw();
    {
        SgSceneStream out;
        out.InsertObject(source.Get());
        out.InsertObject(second.Get());
        ASSERT_TRUE(out.SaveFile(dir.File("two.sgf").c_str()));
        SgSceneStream alpha;
        SgRef<SgAlphaProperty> property(new SgAlphaProperty);
        alpha.InsertObject(property.Get());
        ASSERT_TRUE(alpha.SaveFile(dir.File("alpha.sgf").c_str()));
    }
    EXPECT_FALSE(ReadImageFile(dir.File("two.sgf").c_str(), raw.Get()));
    EXPECT_FALSE(ReadImageFile(dir.File("alpha.sgf").c_str(), raw.Get()));
}

// ---- BMP ----

TEST(ImageFile, BmpTopDownEightBitRowsArePadded) {
    Bytes file = BuildBmp(SmallIndexedBmp(true));
    auto raw = NewRaw();
    ASSERT_TRUE(ReadBmpImage(file.data(), file.size(), *raw));
    EXPECT_EQ(raw->Format(), 0u);
    EXPECT_EQ(raw->Width(), 3u);
    EXPECT_EQ(raw->Height(), 2u);
    EXPECT_EQ(PixelsOf(*raw), (Bytes{0, 1, 2, 3, 2, 1})) << "first file row is the first image row";
    // Palette entries come out red, green, blue.
    EXPECT_EQ(Bytes(raw->Palette(), raw->Palette() + 8), (Bytes{10, 20, 30, 0, 40, 50, 60, 0}));

    auto bottomUp = NewRaw();
    Bytes other = BuildBmp(SmallIndexedBmp(false));
    ASSERT_TRUE(ReadBmpImage(other.data(), other.size(), *bottomUp));
    EXPECT_TRUE(raw->IsEqualTo(bottomUp.Get()));
}

TEST(ImageFile, BmpFourTwentyFourAndThirtyTwoBits) {
    BmpImage four;
    four.width = 3;
    four.height = 1;
    four.bitsPerPixel = 4;
    four.pixels = {15, 1, 7};
    four.palette.assign(16 * 3, 0);
    Bytes file = BuildBmp(four);
    auto raw = NewRaw();
    ASSERT_TRUE(ReadBmpImage(file.data(), file.size(), *raw));
    EXPECT_EQ(PixelsOf(*raw), (Bytes{15, 1, 7}));

    BmpImage rgb;
    rgb.width = 2;
    rgb.height = 2;
    rgb.bitsPerPixel = 24;
    rgb.pixels = {255, 0, 0, 0, 255, 0, 0, 0, 255, 1, 2, 3};
    file = BuildBmp(rgb);
    ASSERT_TRUE(ReadBmpImage(file.data(), file.size(), *raw));
    EXPECT_EQ(raw->Format(), 1u);
    EXPECT_EQ(PixelsOf(*raw), rgb.pixels) << "pixels in red, green, blue order";

    BmpImage rgba = rgb;
    rgba.bitsPerPixel = 32;
    rgba.pixels = {255, 0, 0, 9, 0, 255, 0, 8, 0, 0, 255, 7, 1, 2, 3, 6};
    file = BuildBmp(rgba);
    ASSERT_TRUE(ReadBmpImage(file.data(), file.size(), *raw));
    EXPECT_EQ(raw->Format(), 2u);
    EXPECT_EQ(PixelsOf(*raw), rgba.pixels);
}

// Offsets in a BMP built by BuildBmp.
constexpr size_t kBmpPixelOffset = 10, kBmpHeaderSize = 14, kBmpBits = 28, kBmpCompression = 30, kBmpColorsUsed = 46;

TEST(ImageFile, BmpRefusals) {
    Bytes good = BuildBmp(SmallIndexedBmp(false));
    auto raw = NewRaw();
    ASSERT_TRUE(ReadBmpImage(good.data(), good.size(), *raw));

    struct Case {
        const char* name;
        size_t offset;
        uint32_t value;
        int width;  // bytes written
    } cases[] = {
        {"signature", 0, 0x4D43, 2},
        {"16 bits", kBmpBits, 16, 2},
        {"1 bit", kBmpBits, 1, 2},
        {"run-length 8 bits", kBmpCompression, 1, 4},
        {"run-length 4 bits", kBmpCompression, 2, 4},
        {"pixels past the end", kBmpPixelOffset, 1000, 4},
        {"short header", kBmpHeaderSize, 12, 4},
    };
    for (const Case& c : cases) {
        Bytes bad = good;
        for (int i = 0; i < c.width; ++i)
            bad[c.offset + i] = static_cast<uint8_t>(c.value >> (8 * i));
        EXPECT_FALSE(ReadBmpImage(bad.data(), bad.size(), *raw)) << c.name;
    }
    for (size_t n = 0; n < good.size(); ++n)
        EXPECT_FALSE(ReadBmpImage(good.data(), n, *raw)) << "cut to " << n;
}

TEST(ImageFile, BmpColoursUsedAbove256AreClamped) {
    BmpImage b = SmallIndexedBmp(false);
    b.palette.assign(256 * 3, 5);
    Bytes file = BuildBmp(b);
    file[kBmpColorsUsed] = 0x00;
    file[kBmpColorsUsed + 1] = 0x10;  // 4096 colours
    // The pixels move behind the padding of nothing: only the palette count changes.
    auto raw = NewRaw();
    ASSERT_TRUE(ReadBmpImage(file.data(), file.size(), *raw));
    EXPECT_EQ(raw->Palette()[4 * 255], 5);
}

TEST(ImageFile, BmpPaletteFollowsALongerHeader) {
    // A 124-byte header: the palette starts after it, not after the first 40 bytes.
    Bytes file = BuildBmp(SmallIndexedBmp(false));
    Bytes longer(file.begin(), file.begin() + 54);
    longer.insert(longer.end(), 84, 0xAB);
    longer.insert(longer.end(), file.begin() + 54, file.end());
    longer[kBmpHeaderSize] = 124;
    uint32_t offset = file[kBmpPixelOffset] + 84;
    longer[kBmpPixelOffset] = static_cast<uint8_t>(offset);
    longer[kBmpPixelOffset + 1] = static_cast<uint8_t>(offset >> 8);
    auto raw = NewRaw();
    ASSERT_TRUE(ReadBmpImage(longer.data(), longer.size(), *raw));
    EXPECT_EQ(Bytes(raw->Palette(), raw->Palette() + 4), (Bytes{10, 20, 30, 0}));
}

// ---- TGA ----

TgaImage TrueColorTga(int depth, bool topDown, bool runLength) {
    TgaImage t;
    t.width = 3;
    t.height = 2;
    t.imageType = runLength ? 10 : 2;
    t.pixelDepth = depth;
    t.topDown = topDown;
    t.pixels = {0xFFFF0000, 0xFFFF0000, 0xFFFF0000, 0x8000FF00, 0x400000FF, 0xFF808080};
    return t;
}

TEST(ImageFile, TgaBottomUpEqualsTopDownAndRunLengthEqualsPlain) {
    for (int depth : {24, 32, 16}) {
        SgRef<SgRawImageData> reference;
        for (bool topDown : {false, true}) {
            for (bool runLength : {false, true}) {
                Bytes file = BuildTga(TrueColorTga(depth, topDown, runLength));
                auto raw = NewRaw();
                ASSERT_TRUE(ReadTgaImage(file.data(), file.size(), *raw)) << depth << topDown << runLength;
                if (!reference)
                    reference = raw;
                EXPECT_TRUE(reference->IsEqualTo(raw.Get())) << depth << " top-down " << topDown << " rle " << runLength;
            }
        }
        EXPECT_EQ(reference->Format(), depth == 32 ? 2u : 1u);
        if (depth == 32) {
            EXPECT_EQ(PixelsOf(*reference),
                      (Bytes{255, 0, 0, 255, 255, 0, 0, 255, 255, 0, 0, 255, 0, 255, 0, 128, 0, 0, 255, 64, 128, 128, 128, 255}));
        }
    }
}

TEST(ImageFile, TgaSixteenBitPixels) {
    // Little-endian 1-5-5-5: 0x7C00 full red, 0x03E0 full green, 0x001F full blue.
    Bytes file = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 1, 0, 16, 0x20, 0x00, 0x7C, 0xE0, 0x03, 0x1F, 0x00};
    auto raw = NewRaw();
    ASSERT_TRUE(ReadTgaImage(file.data(), file.size(), *raw));
    EXPECT_EQ(PixelsOf(*raw), (Bytes{248, 0, 0, 0, 248, 0, 0, 0, 248}));
}

TEST(ImageFile, TgaColourMappedAndGrey) {
    TgaImage mapped;
    mapped.width = 2;
    mapped.height = 2;
    mapped.imageType = 9;
    mapped.pixelDepth = 8;
    mapped.mapEntryBits = 24;
    mapped.mapFirst = 2;
    mapped.colorMap = {0xFF102030, 0xFF405060};
    mapped.pixels = {2, 3, 3, 3};
    Bytes file = BuildTga(mapped);
    auto raw = NewRaw();
    ASSERT_TRUE(ReadTgaImage(file.data(), file.size(), *raw));
    EXPECT_EQ(PixelsOf(*raw), (Bytes{0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0x40, 0x50, 0x60, 0x40, 0x50, 0x60}));

    // An index outside the file's map is refused, and so is a colour-mapped file without a map.
    mapped.pixels[0] = 4;
    file = BuildTga(mapped);
    EXPECT_FALSE(ReadTgaImage(file.data(), file.size(), *raw));
    mapped.pixels[0] = 1;
    file = BuildTga(mapped);
    EXPECT_FALSE(ReadTgaImage(file.data(), file.size(), *raw));
    mapped.pixels[0] = 2;
    file = BuildTga(mapped);
    file[1] = 0;
    EXPECT_FALSE(ReadTgaImage(file.data(), file.size(), *raw)) << "type 1 needs colour-map type 1";

    TgaImage grey;
    grey.width = 2;
    grey.height = 1;
    grey.imageType = 3;
    grey.pixelDepth = 8;
    grey.pixels = {7, 200};
    file = BuildTga(grey);
    ASSERT_TRUE(ReadTgaImage(file.data(), file.size(), *raw));
    EXPECT_EQ(PixelsOf(*raw), (Bytes{7, 7, 7, 200, 200, 200}));
}

TEST(ImageFile, TgaRunsRunAcrossRowsAndEndWithTheirFile) {
    // One run packet of 4 grey pixels covers both rows of a 2x2 image.
    Bytes header = {0, 0, 11, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 0, 8, 0x20};
    Bytes file = header;
    file.insert(file.end(), {0x83, 90});
    auto raw = NewRaw();
    ASSERT_TRUE(ReadTgaImage(file.data(), file.size(), *raw));
    EXPECT_EQ(PixelsOf(*raw), Bytes(12, 90));

    // A file ending in the middle of a packet is refused, and its packet does not leak into the
    // next file: a 1x1 image of a packet longer than it needs, then a fresh literal.
    Bytes cut = header;
    cut[12] = 3;
    cut[14] = 1;
    cut.insert(cut.end(), {0x02, 10});  // literal packet of 3, only one value present
    EXPECT_FALSE(ReadTgaImage(cut.data(), cut.size(), *raw));
    Bytes next = header;
    next[12] = 1;
    next[14] = 1;
    next.insert(next.end(), {0x00, 55});
    ASSERT_TRUE(ReadTgaImage(next.data(), next.size(), *raw));
    EXPECT_EQ(PixelsOf(*raw), (Bytes{55, 55, 55}));
}

TEST(ImageFile, TgaInterleavedRows) {
    // Four rows stored 0, 2, 1, 3 (interleave every second row), first row on top.
    Bytes file = {0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 4, 0, 8, 0x20 | 0x40, 10, 12, 11, 13};
    auto raw = NewRaw();
    ASSERT_TRUE(ReadTgaImage(file.data(), file.size(), *raw));
    EXPECT_EQ(PixelsOf(*raw), (Bytes{10, 10, 10, 11, 11, 11, 12, 12, 12, 13, 13, 13}));
}

TEST(ImageFile, TgaRefusals) {
    Bytes good = BuildTga(TrueColorTga(24, false, false));
    auto raw = NewRaw();
    ASSERT_TRUE(ReadTgaImage(good.data(), good.size(), *raw));
    auto with = [&](size_t offset, uint8_t value) {
        Bytes b = good;
        b[offset] = value;
        return b;
    };
    const Bytes bad[] = {with(2, 4), with(2, 0), with(16, 12), with(12, 0), with(17, 0xC0)};
    for (const Bytes& b : bad)
        EXPECT_FALSE(ReadTgaImage(b.data(), b.size(), *raw));
    for (size_t n = 0; n < good.size(); ++n)
        EXPECT_FALSE(ReadTgaImage(good.data(), n, *raw)) << "cut to " << n;
}

// ---- SGI ----

struct SgiSpec {
    int storage = 0;
    int bytesPerValue = 1;
    int width = 2, height = 2, planes = 3;
};

Bytes SgiHeader(const SgiSpec& s) {
    ByteWriter w;
    w.U16BE(474);
    w.U8(static_cast<uint8_t>(s.storage));
    w.U8(static_cast<uint8_t>(s.bytesPerValue));
    w.U16BE(3);
    w.U16BE(static_cast<uint16_t>(s.width));
    w.U16BE(static_cast<uint16_t>(s.height));
    w.U16BE(static_cast<uint16_t>(s.planes));
    w.U32BE(0);
    w.U32BE(255);
    w.Zeros(84);
    w.U32BE(0);
    w.Zeros(512 - w.Size());
    return w.Data();
}

// Verbatim: values[plane][file row][x].
Bytes SgiVerbatim(const SgiSpec& s, const std::vector<uint16_t>& values) {
    ByteWriter w;
    w.Bytes(SgiHeader(s).data(), 512);
    for (uint16_t v : values) {
        if (s.bytesPerValue == 1)
            w.U8(static_cast<uint8_t>(v));
        else
            w.U16BE(v);
    }
    return w.Data();
}

// Run-length: one row string per plane and file row, each given as its packet bytes.
Bytes SgiRunLength(const SgiSpec& s, const std::vector<Bytes>& rows) {
    ByteWriter w;
    w.Bytes(SgiHeader(s).data(), 512);
    uint32_t offset = 512 + static_cast<uint32_t>(rows.size()) * 8;
    for (const Bytes& row : rows) {
        w.U32BE(offset);
        offset += static_cast<uint32_t>(row.size());
    }
    for (const Bytes& row : rows)
        w.U32BE(static_cast<uint32_t>(row.size()));
    for (const Bytes& row : rows)
        w.Bytes(row.data(), row.size());
    return w.Data();
}

TEST(ImageFile, SgiVerbatimAndRunLengthGiveTheSameImage) {
    SgiSpec spec;
    // Planes red, green, blue; file rows bottom first.
    Bytes verbatim = SgiVerbatim(spec, {1, 2, 3, 4, 10, 20, 30, 40, 100, 110, 120, 130});
    auto plain = NewRaw();
    ASSERT_TRUE(ReadSgiImage(verbatim.data(), verbatim.size(), *plain));
    EXPECT_EQ(plain->Format(), 1u);
    EXPECT_EQ(PixelsOf(*plain), (Bytes{3, 30, 120, 4, 40, 130, 1, 10, 100, 2, 20, 110}));

    spec.storage = 1;
    // Literal pairs, a run, and a row that ends with a run.
    Bytes rle = SgiRunLength(spec, {{0x82, 1, 2, 0}, {0x82, 3, 4, 0}, {0x82, 10, 20, 0}, {0x82, 30, 40, 0},
                                    {0x82, 100, 110, 0}, {0x01, 120, 0x01, 130, 0}});
    auto runs = NewRaw();
    ASSERT_TRUE(ReadSgiImage(rle.data(), rle.size(), *runs));
    EXPECT_TRUE(plain->IsEqualTo(runs.Get()));
}

TEST(ImageFile, SgiGreyWithAlphaAndSixteenBitValues) {
    SgiSpec spec;
    spec.width = 1;
    spec.height = 1;
    spec.planes = 2;
    spec.bytesPerValue = 2;
    // Values are scaled by 1/257: 0xFF00 is 254 (not its high byte), 0x8080 is 128.
    Bytes file = SgiVerbatim(spec, {0xFF00, 0x8080});
    auto raw = NewRaw();
    ASSERT_TRUE(ReadSgiImage(file.data(), file.size(), *raw));
    EXPECT_EQ(raw->Format(), 2u);
    EXPECT_EQ(PixelsOf(*raw), (Bytes{254, 254, 254, 128}));

    spec.storage = 1;
    // 16-bit run-length rows keep 16-bit packet headers.
    file = SgiRunLength(spec, {{0x00, 0x01, 0x01, 0x01, 0x00, 0x00}, {0x00, 0x81, 0x80, 0x80, 0x00, 0x00}});
    ASSERT_TRUE(ReadSgiImage(file.data(), file.size(), *raw));
    EXPECT_EQ(PixelsOf(*raw), (Bytes{1, 1, 1, 128}));
}

TEST(ImageFile, SgiRefusals) {
    SgiSpec spec;
    spec.storage = 1;
    auto raw = NewRaw();
    std::vector<Bytes> rows(6, Bytes{0x82, 1, 2, 0});
    Bytes good = SgiRunLength(spec, rows);
    ASSERT_TRUE(ReadSgiImage(good.data(), good.size(), *raw));

    rows[2] = {0x03, 9, 0};  // a run of 3 in a row of 2
    Bytes longRun = SgiRunLength(spec, rows);
    EXPECT_FALSE(ReadSgiImage(longRun.data(), longRun.size(), *raw));
    rows[2] = {0x83, 1, 2, 3, 0};  // literals past the row
    Bytes longLiteral = SgiRunLength(spec, rows);
    EXPECT_FALSE(ReadSgiImage(longLiteral.data(), longLiteral.size(), *raw));

    Bytes outside = good;
    outside[512 + 4 * 3] = 0x7F;  // a row starting far past the end
    EXPECT_FALSE(ReadSgiImage(outside.data(), outside.size(), *raw));

    auto with = [&](size_t offset, uint8_t value) {
        Bytes b = good;
        b[offset] = value;
        return b;
    };
    EXPECT_FALSE(ReadSgiImage(with(1, 0xDB).data(), good.size(), *raw)) << "magic";
    EXPECT_FALSE(ReadSgiImage(with(2, 2).data(), good.size(), *raw)) << "storage";
    EXPECT_FALSE(ReadSgiImage(with(3, 3).data(), good.size(), *raw)) << "bytes per value";
    EXPECT_FALSE(ReadSgiImage(with(11, 0).data(), good.size(), *raw)) << "no planes";
    for (size_t n = 0; n < good.size(); n += 7)
        EXPECT_FALSE(ReadSgiImage(good.data(), n, *raw)) << "cut to " << n;

    SgiSpec verbatim;
    Bytes shortFile = SgiVerbatim(verbatim, std::vector<uint16_t>(11, 1));
    EXPECT_FALSE(ReadSgiImage(shortFile.data(), shortFile.size(), *raw)) << "one value missing";
}

TEST(ImageFile, SgiFileByName) {
    TempDir dir;
    SgiSpec spec;
    Bytes file = SgiVerbatim(spec, std::vector<uint16_t>(12, 77));
    for (const char* name : {"a.rgb", "a.rgba", "a.int", "a.inta", "a.RGB"})
        WriteFile(dir.File(name), file);
    for (const char* name : {"a.rgb", "a.rgba", "a.int", "a.inta", "a.RGB"}) {
        auto raw = NewRaw();
        EXPECT_TRUE(ReadImageFile(dir.File(name).c_str(), raw.Get())) << name;
    }
}

TEST(ImageFile, SgfImageFromMemoryLeavesNoActions) {
    SgRef<SgRawImageData> source = NewRaw();
    ASSERT_TRUE(source->ResizeRawImage(2, 1, 1));
    SgSceneStream out;
    out.InsertObject(source.Get());
    Bytes bytes;
    ASSERT_TRUE(out.Save(bytes));
    auto raw = NewRaw();
    ASSERT_TRUE(ReadSgfImage(bytes.data(), bytes.size(), *raw));
    EXPECT_EQ(raw->Format(), 2u);
    EXPECT_TRUE(SgAction::List().IsEmpty());
    bytes.resize(bytes.size() - 3);
    EXPECT_FALSE(ReadSgfImage(bytes.data(), bytes.size(), *raw));
}

// ---- The sample installation ----

TEST(ImageFile, TheInstallationsTexturesRead) {
    struct Texture {
        const char* file;
        uint32_t width, height, format;
    } textures[] = {
        {"shadow.bmp", 64, 64, 1},       {"cast.tga", 64, 64, 2},          {"crsshair.bmp", 32, 8, 0},
        {"sgfs/eheat.tga", 32, 32, 2},   {"sgfs/ecold.tga", 32, 32, 2},    {"sgfs/eair.tga", 32, 32, 2},
        {"sgfs/elight.tga", 32, 32, 2},  {"sgfs/emind.tga", 32, 32, 2},    {"sgfs/ered.tga", 32, 32, 2},
        {"sgfs/eyellow.tga", 32, 32, 2}, {"sgfs/eblue.tga", 32, 32, 2},
    };
    for (const Texture& t : textures) {
        auto raw = NewRaw();
        ASSERT_TRUE(ReadImageFile((std::string(SAMPLE_INSTALL_DIR) + "/" + t.file).c_str(), raw.Get())) << t.file;
        EXPECT_EQ(raw->Width(), t.width) << t.file;
        EXPECT_EQ(raw->Height(), t.height) << t.file;
        EXPECT_EQ(raw->Format(), t.format) << t.file;
    }
}

// ---- Seeds of the image fuzzer ----

// One file of every kind and variant the reader takes, made by our writers (SGI by hand).
std::vector<std::pair<std::string, Bytes>> ImageSeeds() {
    std::vector<std::pair<std::string, Bytes>> seeds;
    BmpImage four;
    four.width = 5;
    four.height = 3;
    four.bitsPerPixel = 4;
    for (int i = 0; i < 15; ++i)
        four.pixels.push_back(static_cast<uint8_t>(i));
    for (int i = 0; i < 16; ++i)
        four.palette.insert(four.palette.end(), {static_cast<uint8_t>(i * 16), 0, static_cast<uint8_t>(255 - i * 16)});
    seeds.emplace_back("four.bmp", BuildBmp(four));
    seeds.emplace_back("indexed_top_down.bmp", BuildBmp(SmallIndexedBmp(true)));
    BmpImage rgb;
    rgb.width = 3;
    rgb.height = 2;
    rgb.pixels = {255, 0, 0, 0, 255, 0, 0, 0, 255, 9, 8, 7, 6, 5, 4, 3, 2, 1};
    seeds.emplace_back("rgb.bmp", BuildBmp(rgb));
    BmpImage rgba = rgb;
    rgba.bitsPerPixel = 32;
    rgba.pixels.clear();
    for (int i = 0; i < 24; ++i)
        rgba.pixels.push_back(static_cast<uint8_t>(i * 10));
    seeds.emplace_back("rgba.bmp", BuildBmp(rgba));

    seeds.emplace_back("rgb.tga", BuildTga(TrueColorTga(24, false, false)));
    seeds.emplace_back("rgba_top_down_rle.tga", BuildTga(TrueColorTga(32, true, true)));
    seeds.emplace_back("sixteen.tga", BuildTga(TrueColorTga(16, false, false)));
    TgaImage mapped;
    mapped.width = 4;
    mapped.height = 2;
    mapped.imageType = 9;
    mapped.pixelDepth = 8;
    mapped.mapEntryBits = 16;
    mapped.mapFirst = 1;
    mapped.colorMap = {0xFFFF0000, 0xFF00FF00, 0x800000FF};
    mapped.pixels = {1, 1, 1, 2, 3, 3, 2, 1};
    seeds.emplace_back("mapped_rle.tga", BuildTga(mapped));
    TgaImage grey;
    grey.width = 3;
    grey.height = 3;
    grey.imageType = 11;
    grey.pixelDepth = 8;
    grey.pixels = {0, 0, 0, 50, 60, 70, 255, 255, 1};
    seeds.emplace_back("grey_rle.tga", BuildTga(grey));

    SgiSpec sgi;
    seeds.emplace_back("verbatim.rgb", SgiVerbatim(sgi, {1, 2, 3, 4, 10, 20, 30, 40, 100, 110, 120, 130}));
    SgiSpec sgiRle;
    sgiRle.storage = 1;
    sgiRle.planes = 4;
    seeds.emplace_back("rle.rgba", SgiRunLength(sgiRle, {{0x82, 1, 2, 0}, {0x02, 3, 0}, {0x82, 10, 20, 0},
                                                         {0x02, 30, 0}, {0x01, 5, 0x01, 6, 0}, {0x82, 7, 8, 0},
                                                         {0x02, 255, 0}, {0x82, 0, 128, 0}}));
    SgiSpec wide;
    wide.planes = 1;
    wide.bytesPerValue = 2;
    seeds.emplace_back("grey16.int", SgiVerbatim(wide, {0, 0x4000, 0x8000, 0xFFFF}));

    SgRef<SgRawImageData> raw(new SgRawImageData);
    raw->ResizeRawImage(0, 2, 2);
    raw->Pixels()[3] = 1;
    raw->Palette()[4] = 200;
    SgSceneStream out;
    out.InsertObject(raw.Get());
    Bytes sgf;
    out.Save(sgf);
    seeds.emplace_back("indexed.sgf", sgf);
    return seeds;
}

// The seeds are what the writers make now (UPDATE_IMAGE_SEEDS=1 rewrites them), and each reads.
TEST(ImageFile, FuzzSeedsMatchTheWriters) {
    const char* update = std::getenv("UPDATE_IMAGE_SEEDS");
    for (const auto& [name, bytes] : ImageSeeds()) {
        auto raw = NewRaw();
        std::string extension = name.substr(name.rfind('.'));
        bool read = extension == ".bmp"   ? ReadBmpImage(bytes.data(), bytes.size(), *raw)
                    : extension == ".tga" ? ReadTgaImage(bytes.data(), bytes.size(), *raw)
                    : extension == ".sgf" ? ReadSgfImage(bytes.data(), bytes.size(), *raw)
                                          : ReadSgiImage(bytes.data(), bytes.size(), *raw);
        EXPECT_TRUE(read) << name;
        std::string path = std::string(IMAGE_SEED_DIR) + "/" + name;
        if (update && *update == '1') {
            WriteFile(path, bytes);
            continue;
        }
        std::ifstream in(path, std::ios::binary);
        ASSERT_TRUE(in.good()) << path << " is missing: run with UPDATE_IMAGE_SEEDS=1 and commit it";
        Bytes seed((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(seed, bytes) << path << " differs from what the writers make (UPDATE_IMAGE_SEEDS=1 rewrites it)";
    }
}

}  // namespace
