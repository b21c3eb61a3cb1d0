// Raw images: sizing, half-size mip levels and conversion into device layouts.

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "engine/core/sg_image.h"
#include "engine/core/sg_raw_image.h"

namespace {

SgRef<SgRawImageData> MakeRaw(uint32_t format, uint32_t width, uint32_t height, std::vector<uint8_t> pixels) {
    SgRef<SgRawImageData> raw(new SgRawImageData);
    EXPECT_TRUE(raw->ResizeRawImage(format, width, height));
    EXPECT_EQ(pixels.size(), static_cast<size_t>(raw->BytesPerRow()) * height);
    std::memcpy(raw->Pixels(), pixels.data(), pixels.size());
    return raw;
}

uint16_t U16At(const std::vector<uint8_t>& bytes, size_t i) { return static_cast<uint16_t>(bytes[i] | bytes[i + 1] << 8); }

TEST(RawImage, ResizeSizesBuffersForEachFormat) {
    SgRef<SgRawImageData> raw(new SgRawImageData);
    EXPECT_EQ(raw->Format(), 1u);
    EXPECT_EQ(raw->BytesPerPixel(), 3u);

    ASSERT_TRUE(raw->ResizeRawImage(0, 5, 3));
    EXPECT_EQ(raw->BytesPerPixel(), 1u);
    EXPECT_EQ(raw->BytesPerRow(), 5u);
    ASSERT_NE(raw->Palette(), nullptr);
    for (size_t i = 0; i < SgRawImageData::kPaletteBytes; ++i)
        ASSERT_EQ(raw->Palette()[i], 0) << i;

    uint8_t* pixels = raw->Pixels();
    EXPECT_TRUE(raw->ResizeRawImage(0, 5, 3));
    EXPECT_EQ(raw->Pixels(), pixels) << "the same format and size keep the buffers";

    ASSERT_TRUE(raw->ResizeRawImage(1, 5, 3));
    EXPECT_EQ(raw->Palette(), nullptr);
    EXPECT_EQ(raw->BytesPerRow(), 15u);
    ASSERT_TRUE(raw->ResizeRawImage(2, 5, 3));
    EXPECT_EQ(raw->BytesPerPixel(), 4u);
    EXPECT_EQ(raw->BytesPerRow(), 20u);

    // A format without buffers keeps its size and nothing else.
    ASSERT_TRUE(raw->ResizeRawImage(9, 5, 3));
    EXPECT_EQ(raw->Width(), 5u);
    EXPECT_EQ(raw->BytesPerRow(), 0u);
    EXPECT_EQ(raw->Pixels(), nullptr);
}

TEST(RawImage, SizesFromFilesAreCapped) {
    SgRef<SgRawImageData> raw(new SgRawImageData);
    // Each would overflow 32 bits or ask for gigabytes.
    const uint32_t sizes[][2] = {{65536, 65536}, {16385, 1}, {16384, 16384}, {0xFFFFFFFFu, 0xFFFFFFFFu}};
    for (auto [w, h] : sizes) {
        EXPECT_FALSE(raw->ResizeRawImage(2, w, h)) << w << "x" << h;
        EXPECT_EQ(raw->Format(), 2u);
        EXPECT_EQ(raw->Width(), 0u);
        EXPECT_EQ(raw->Height(), 0u);
        EXPECT_EQ(raw->Pixels(), nullptr);
    }
    EXPECT_TRUE(raw->ResizeRawImage(2, 4096, 4096)) << "64 MiB is allowed";
    EXPECT_FALSE(raw->ResizeRawImage(9, 0x17FE0000u, 16)) << "a format without buffers keeps the side limit";
}

TEST(RawImage, MipLevelCount) {
    struct Case {
        uint32_t w, h, levels;
    } cases[] = {{1, 1, 0}, {128, 128, 7}, {128, 96, 0}, {256, 64, 6}, {64, 256, 6}, {0, 4, 0}, {4, 0, 0}, {2, 1, 0}};
    for (const Case& c : cases)
        EXPECT_EQ(SgImage::MipLevelCount(c.w, c.h), c.levels) << c.w << "x" << c.h;
}

TEST(RawImage, HalfSizeAveragesEachChannel) {
    // 2x2 RGB whose red bytes are 1, 2, 3, 4.
    auto rgb = MakeRaw(1, 2, 2, {1, 10, 100, 2, 20, 200, 3, 30, 0, 4, 40, 0});
    SgRef<SgRawImageData> half(new SgRawImageData);
    ASSERT_TRUE(half->ResizeRawImage(1, 1, 1));
    ASSERT_TRUE(half->MakeHalfSize(rgb.Get()));
    EXPECT_EQ(half->Pixels()[0], 2);   // (1 + 2 + 3 + 4) >> 2
    EXPECT_EQ(half->Pixels()[1], 25);  // 100 >> 2
    EXPECT_EQ(half->Pixels()[2], 75);  // 300 >> 2

    // Palettised: the palette colours are averaged into RGB.
    auto indexed = MakeRaw(0, 4, 2, {0, 1, 2, 2, 1, 0, 2, 3});
    uint8_t* pal = indexed->Palette();
    const uint8_t colors[4][3] = {{0, 0, 0}, {100, 4, 8}, {200, 8, 16}, {255, 255, 255}};
    for (int i = 0; i < 4; ++i)
        std::memcpy(pal + 4 * i, colors[i], 3);
    SgRef<SgRawImageData> fromIndexed(new SgRawImageData);
    ASSERT_TRUE(fromIndexed->ResizeRawImage(1, 2, 1));
    ASSERT_TRUE(fromIndexed->MakeHalfSize(indexed.Get()));
    const uint8_t expected[] = {(0 + 100 + 100 + 0) >> 2, (0 + 4 + 4 + 0) >> 2,    (0 + 8 + 8 + 0) >> 2,
                                (200 + 200 + 200 + 255) >> 2, (8 + 8 + 8 + 255) >> 2, (16 + 16 + 16 + 255) >> 2};
    EXPECT_EQ(std::vector<uint8_t>(fromIndexed->Pixels(), fromIndexed->Pixels() + 6),
              std::vector<uint8_t>(expected, expected + 6));

    // RGBA averages alpha too.
    auto rgba = MakeRaw(2, 2, 2, {0, 0, 0, 0, 0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255});
    SgRef<SgRawImageData> halfRgba(new SgRawImageData);
    ASSERT_TRUE(halfRgba->ResizeRawImage(2, 1, 1));
    ASSERT_TRUE(halfRgba->MakeHalfSize(rgba.Get()));
    EXPECT_EQ(halfRgba->Pixels()[3], 191);
}

TEST(RawImage, HalfSizeRefusesWhatDoesNotFit) {
    auto rgb = MakeRaw(1, 2, 2, std::vector<uint8_t>(12, 7));
    auto indexed = MakeRaw(0, 2, 2, std::vector<uint8_t>(4, 0));
    SgRef<SgRawImageData> rgba(new SgRawImageData);
    ASSERT_TRUE(rgba->ResizeRawImage(2, 1, 1));
    EXPECT_FALSE(rgba->MakeHalfSize(nullptr));
    EXPECT_FALSE(rgba->MakeHalfSize(rgb.Get())) << "formats differ";
    EXPECT_FALSE(rgba->MakeHalfSize(indexed.Get())) << "a palettised source needs an RGB target";
    SgRef<SgRawImageData> tooBig(new SgRawImageData);
    ASSERT_TRUE(tooBig->ResizeRawImage(1, 2, 1));
    EXPECT_FALSE(tooBig->MakeHalfSize(rgb.Get())) << "width not half";
}

struct ConversionCase {
    const char* name;
    SgPixelFormat target;
    std::vector<uint8_t> expected;  // the pixel (255, 128, 64, alpha 32 where there is alpha)
};

TEST(RawImage, ConvertsIntoPackedLayouts) {
    const ConversionCase cases[] = {
        {"5-6-5", SgPixelFormat::FromMasks(16, 0xF800, 0x07E0, 0x001F, 0), {0x08, 0xFC}},
        {"5-5-5", SgPixelFormat::FromMasks(16, 0x7C00, 0x03E0, 0x001F, 0), {0x08, 0x7E}},
        {"1-5-5-5", SgPixelFormat::FromMasks(16, 0x7C00, 0x03E0, 0x001F, 0x8000), {0x08, 0x7E}},
        {"4-4-4-4", SgPixelFormat::FromMasks(16, 0x0F00, 0x00F0, 0x000F, 0xF000), {0x84, 0x2F}},
        {"ARGB 32", SgPixelFormat::FromMasks(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000), {64, 128, 255, 32}},
        {"RGB 24", SgPixelFormat::FromMasks(24, 0xFF, 0xFF00, 0xFF0000, 0), {255, 128, 64}},
        {"BGR 24", SgPixelFormat::FromMasks(24, 0xFF0000, 0xFF00, 0xFF, 0), {64, 128, 255}},
    };
    auto rgba = MakeRaw(2, 1, 1, {255, 128, 64, 32});
    for (const ConversionCase& c : cases) {
        std::vector<uint8_t> out(c.expected.size(), 0xEE);
        ASSERT_TRUE(rgba->ConvertFormat(c.target, static_cast<uint32_t>(out.size()), out.data())) << c.name;
        EXPECT_EQ(out, c.expected) << c.name;
    }
    // An image without alpha converts as opaque.
    auto rgb = MakeRaw(1, 1, 1, {255, 128, 64});
    std::vector<uint8_t> out(2);
    ASSERT_TRUE(rgb->ConvertFormat(SgPixelFormat::FromMasks(16, 0x7C00, 0x03E0, 0x001F, 0x8000), 2, out.data()));
    EXPECT_EQ(U16At(out, 0), 0xFE08);
}

TEST(RawImage, ConvertsPalettisedImagesThroughThePalette) {
    auto indexed = MakeRaw(0, 3, 2, {0, 1, 2, 2, 1, 0});
    const uint8_t colors[3][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
    for (int i = 0; i < 3; ++i)
        std::memcpy(indexed->Palette() + 4 * i, colors[i], 3);

    // Rows at a pitch wider than the image: the padding is left alone.
    std::vector<uint8_t> out(2 * 8, 0xEE);
    ASSERT_TRUE(indexed->ConvertFormat(SgPixelFormat::FromMasks(16, 0xF800, 0x07E0, 0x001F, 0), 8, out.data()));
    const uint16_t expected[2][3] = {{0xF800, 0x07E0, 0x001F}, {0x001F, 0x07E0, 0xF800}};
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(U16At(out, y * 8 + x * 2), expected[y][x]) << x << "," << y;
        EXPECT_EQ(out[y * 8 + 6], 0xEE);
        EXPECT_EQ(out[y * 8 + 7], 0xEE);
    }

    // A palette has no alpha: into a layout with an alpha channel every pixel is opaque.
    std::vector<uint8_t> argb(2 * 12);
    ASSERT_TRUE(indexed->ConvertFormat(SgPixelFormat::FromMasks(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000), 12,
                                       argb.data()));
    EXPECT_EQ(std::vector<uint8_t>(argb.begin(), argb.begin() + 8), (std::vector<uint8_t>{0, 0, 255, 255, 0, 255, 0, 255}));
    ASSERT_TRUE(indexed->ConvertFormat(SgPixelFormat::FromMasks(16, 0x7C00, 0x03E0, 0x001F, 0x8000), 8, out.data()));
    EXPECT_EQ(U16At(out, 0), 0xFC00);

    std::vector<uint8_t> bgr(2 * 9);
    ASSERT_TRUE(indexed->ConvertFormat(SgPixelFormat::FromMasks(24, 0xFF0000, 0xFF00, 0xFF, 0), 9, bgr.data()));
    EXPECT_EQ(std::vector<uint8_t>(bgr.begin(), bgr.begin() + 3), (std::vector<uint8_t>{0, 0, 255}));

    std::vector<uint8_t> indices(2 * 4, 0xEE);
    ASSERT_TRUE(indexed->ConvertFormat(SgPixelFormat::Palettized(), 4, indices.data()));
    EXPECT_EQ(indices, (std::vector<uint8_t>{0, 1, 2, 0xEE, 2, 1, 0, 0xEE}));
}

TEST(RawImage, ConversionRefusals) {
    auto rgb = MakeRaw(1, 1, 1, {1, 2, 3});
    auto indexed = MakeRaw(0, 1, 1, {0});
    uint8_t out[4] = {0xEE, 0xEE, 0xEE, 0xEE};
    EXPECT_FALSE(rgb->ConvertFormat(SgPixelFormat::Palettized(), 4, out)) << "RGB into 8 bits";
    SgPixelFormat grey8 = SgPixelFormat::FromMasks(8, 0xE0, 0x1C, 0x03, 0);
    EXPECT_FALSE(indexed->ConvertFormat(grey8, 4, out)) << "palettised into a non-palettised 8-bit layout";
    EXPECT_FALSE(rgb->ConvertFormat(SgPixelFormat::FromMasks(24, 0xFF, 0xFF0000, 0xFF00, 0), 4, out))
        << "24 bits need green in the middle";
    EXPECT_FALSE(rgb->ConvertFormat(SgPixelFormat::FromMasks(24, 0xFF00, 0xFF00, 0xFF, 0), 4, out));
    EXPECT_TRUE(rgb->ConvertFormat(SgPixelFormat::FromMasks(4, 0x8, 0x4, 0x2, 0), 4, out)) << "nothing to write";
    EXPECT_EQ(out[0], 0xEE);

    SgRef<SgRawImageData> odd(new SgRawImageData);
    ASSERT_TRUE(odd->ResizeRawImage(5, 1, 1));
    EXPECT_FALSE(odd->ConvertFormat(SgPixelFormat::FromMasks(16, 0xF800, 0x07E0, 0x001F, 0), 4, out));
}

TEST(RawImage, FromMasksDescribesChannels) {
    SgPixelFormat f = SgPixelFormat::FromMasks(16, 0xF800, 0x07E0, 0x001F, 0);
    EXPECT_EQ(f.bits[0], 5);
    EXPECT_EQ(f.bits[1], 6);
    EXPECT_EQ(f.loss[1], 2);
    EXPECT_EQ(f.shift[0], 11);
    EXPECT_EQ(f.shift[1], 5);
    EXPECT_EQ(f.bits[3], 0);
    EXPECT_EQ(f.loss[3], 8);
    EXPECT_EQ(SgRawImageData::LayoutOf(2)->mask[3], 0xFF000000u);
    EXPECT_EQ(SgRawImageData::LayoutOf(7), nullptr);
}

}  // namespace
