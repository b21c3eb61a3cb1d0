// The texture table, the image definitions and the arena list.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "client/level/level_textures.h"
#include "tests/client/arena/level_fixture.h"
#include "tests/support/temp_dir.h"
#include "tools/writers/color_table_writer.h"
#include "tools/writers/level_writer.h"
#include "tools/writers/pcx_writer.h"

namespace {

std::string Pcx(int w, int h) {
    std::vector<uint8_t> px(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            px[static_cast<size_t>(y) * w + x] = static_cast<uint8_t>(x + 10 * y);
    Palette p = SamplePalette();
    std::vector<uint8_t> b = BuildPcx(w, h, px.data(), p.data());
    return std::string(b.begin(), b.end());
}

using Textures = LevelFixture;

TEST_F(Textures, SideMasksAndShifts) {
    struct Case {
        int size, mask, shift;
        bool set;
    } cases[] = {{16, 15, 4, true},   {32, 31, 5, true},  {64, 63, 6, true}, {128, 127, 7, true},
                 {256, 255, 8, true}, {512, 511, 9, true}, {48, -1, -1, false}, {8, -1, -1, false},
                 {1024, -1, -1, false}};
    for (const Case& c : cases) {
        int32_t mask = -1, shift = -1;
        EXPECT_EQ(TextureSideBits(c.size, &mask, &shift), c.set) << c.size;
        EXPECT_EQ(mask, c.mask) << c.size;
        EXPECT_EQ(shift, c.shift) << c.size;
    }
}

TEST_F(Textures, LevelRecordsAndSystemTextures) {
    TempDir dir;
    dir.Enter();
    LevelSource level;
    LevelTextureRecord one;
    one.frames = {"rock"};
    one.wbits = 6;
    one.hbits = 5;
    one.numframes = 0;  // means 1
    one.timer = 40;
    one.translucent = 2;
    one.colorTable = 17;
    level.textures[1] = one;
    LevelTextureRecord many;
    many.frames = {"a", "b"};
    many.numframes = 7;  // only two are named
    level.textures[3] = many;
    std::vector<uint8_t> misc = BuildMiscDat(level);
    FILE* f = std::fopen("misc.dat", "wb");
    std::fwrite(misc.data(), 1, misc.size(), f);
    std::fclose(f);
    dir.Write("world.dat", "[chained_textures]\ntexture01=3\ntexture03=900\n");
    dir.Write("system.dat",
              "[textures]\nnumtextures=3\n[texture101]\nwbits=6\nhbits=5\nname00=wide.pcx\n"
              "[texture102]\nwbits=4\nhbits=4\nnumframes=0\n"
              "[texture103]\nhbits=4\n");
    dir.Write("textures/wide.pcx", Pcx(64, 32));
    dir.Write("textures/blue.pcx", Pcx(48, 16));
    EXPECT_EQ(LoadTextureList("misc.dat", "lvl//textures", "world.dat"), 1);
    const TextureEntry& e = g_textures.entries[1];
    EXPECT_EQ(e.used, 1);
    EXPECT_EQ(e.numframes, 1);
    EXPECT_EQ(e.wbits, 6);
    EXPECT_EQ(e.width_mask, 63);
    EXPECT_EQ(e.height_shift, 5);
    EXPECT_EQ(e.timer, 40);
    EXPECT_EQ(e.translucent2, 2);
    EXPECT_EQ(e.color_table, 17);
    EXPECT_EQ(e.chained, 3);
    EXPECT_EQ(g_textures.entries[3].numframes, 2);
    EXPECT_EQ(g_textures.entries[3].chained, 0) << "a chain outside the table is none";
    EXPECT_EQ(g_textures.entries[2].used, 0);
    EXPECT_EQ(g_textures.images[0].path, "lvl//textures/rock.pcx");
    EXPECT_EQ(g_textures.images[2].path, "lvl//textures/b.pcx");
    // System textures follow the last level texture; the third lacks wbits and stops the loading.
    const TextureEntry& wide = g_textures.entries[4];
    EXPECT_EQ(wide.used, 1);
    EXPECT_EQ(wide.width, 64);
    EXPECT_EQ(wide.height, 32);
    EXPECT_EQ(wide.width_mask, 63);
    EXPECT_EQ(wide.height_mask, 31);
    const TextureImage& image = g_textures.images[wide.frames[0]];
    EXPECT_EQ(image.pixels[1 * 32 + 2], static_cast<uint8_t>(1 + 20)) << "column order: x * height + y";
    EXPECT_EQ(image.pixels[0 * 32 + 2], static_cast<uint8_t>(20)) << "the first column too";
    EXPECT_EQ(image.pixels[63 * 32 + 31], static_cast<uint8_t>(63 + 310));
    const TextureEntry& blue = g_textures.entries[5];
    EXPECT_EQ(blue.numframes, 1);
    EXPECT_EQ(blue.width, 48);
    EXPECT_EQ(blue.width_mask, 0) << "a 48-pixel side leaves its mask unset";
    EXPECT_EQ(g_textures.entries[6].used, 0);
    EXPECT_EQ(g_textures.map[101], 4);
    EXPECT_EQ(g_textures.map[102], 5);
    EXPECT_EQ(TranslateTexture(1102), 5);
    EXPECT_EQ(g_textures.entries[0].wbits, 6) << "texture 0 is a copy of texture 1";
}

TEST_F(Textures, FramesLargerThanAFrameMayBeAreRefused) {
    TempDir dir;
    dir.Enter();
    dir.Write("system.dat", "[textures]\nnumtextures=1\n[texture101]\nwbits=9\nhbits=8\nname00=huge.pcx\n");
    dir.Write("textures/huge.pcx", Pcx(512, 129));
    EXPECT_EQ(LoadTextureDefs(1, 0), 0);
    dir.Write("textures/huge.pcx", Pcx(512, 128));
    ClearTextureTable();
    EXPECT_EQ(LoadTextureDefs(1, 0), 65536);
}

TEST_F(Textures, ImageDefinitions) {
    TempDir dir;
    dir.Enter();
    dir.Write("image.dat",
              "[imagedefs]\nnumimages=3\n"
              "[image00]\nname=torch.pcx\nwbits=5\nhbits=6\nwpixels=32\nhpixels=64\nnuminseq=3\nimageseq=4, 5,6\n"
              "numviews=2\nviewimage=7\nsystem=1\n"
              "[image01]\nname=barrel.pcx\nwbits=6\nhbits=6\nwpixels=64\nhpixels=64\nnumviews=0\nmirror=1\n"
              "numindeathseq=40\ndeathseq=" + [] {
                  std::string s;
                  for (int i = 0; i < 40; ++i)
                      s += std::to_string(i) + ",";
                  return s;
              }() + "\n"
              "[image02]\nname=short.pcx\nwbits=6\nhbits=6\nwpixels=64\nhpixels=64\nnumviews=0\nnuminseq=3\nimageseq=1,2\n");
    EXPECT_EQ(LoadImageDefs("image.dat", "sample/images"), 0) << "a sequence shorter than its count";
    EXPECT_EQ(g_imageDefCount, 2);
    const ImageDef& torch = g_imageDefs[0];
    EXPECT_STREQ(torch.path, "images/torch.pcx");
    EXPECT_EQ(torch.imageseq[2], 6);
    EXPECT_EQ(torch.viewimage[0], 7);
    EXPECT_EQ(torch.viewimage[1], 0);
    EXPECT_EQ(torch.mirror_animations, 1);
    const ImageDef& barrel = g_imageDefs[1];
    EXPECT_STREQ(barrel.path, "sample/images/barrel.pcx");
    EXPECT_EQ(barrel.numindeathseq, 28);
    EXPECT_EQ(barrel.deathseq[27], 27);
    dir.Write("missing.dat", "[imagedefs]\nnumimages=1\n[image00]\nname=x\nwbits=1\nwpixels=1\nhpixels=1\nnumviews=0\n");
    EXPECT_EQ(LoadImageDefs("missing.dat", "i"), 0) << "hbits is required";
    EXPECT_EQ(dir.Read("missing.dat"),
              "[imagedefs]\nnumimages=1\n[image00]\nname=x\nwbits=1\nwpixels=1\nhpixels=1\nnumviews=0\n")
        << "a missing key is not written into the file";
    // Only as many images as the count says, though more sections follow.
    const std::string image = "name=x\nwbits=1\nhbits=1\nwpixels=1\nhpixels=1\nnumviews=0\n";
    dir.Write("one.dat", "[imagedefs]\nnumimages=1\n[image00]\n" + image + "[image01]\n" + image);
    EXPECT_EQ(LoadImageDefs("one.dat", "i"), 1);
    EXPECT_EQ(g_imageDefCount, 1);
}

TEST_F(Textures, AMissingTextureCountLeavesTheSystemFileAlone) {
    TempDir dir;
    dir.Enter();
    dir.Write("system.dat", "[textures]\n[texture101]\nwbits=4\nhbits=4\n");
    EXPECT_EQ(LoadTextureDefs(1, 0), 0);
    EXPECT_EQ(g_textures.entries[1].used, 0);
    EXPECT_EQ(dir.Read("system.dat"), "[textures]\n[texture101]\nwbits=4\nhbits=4\n");
}

TEST_F(Textures, ArenaList) {
    TempDir dir;
    dir.Enter();
    dir.Write("arena.dat",
              "[arena00]\nenabled=1\nname=" + std::string(30, 'n') + "\ngrid=keep\ndescription=d\n"
              "[arena01]\nenabled=0\nname=closed\n"
              "[arena02]\nenabled=1\nname=no grid\n"
              "[arena04]\nenabled=1\nname=after the gap\n");
    LoadArenaList("arena.dat");
    ASSERT_EQ(g_arenaCount, 2);
    EXPECT_EQ(g_arenaList[0].number, 0);
    EXPECT_EQ(std::string(g_arenaList[0].name).size(), 19u);
    EXPECT_STREQ(g_arenaList[0].grid, "keep");
    EXPECT_EQ(g_arenaList[1].number, 2);
    EXPECT_STREQ(g_arenaList[1].grid, "grid00");
    EXPECT_EQ(g_arenaList[2].used, 0) << "the list ends at the first arena without enabled";
}

}  // namespace
