// The models of sgfs\ that the sample's objects, spells and overlays name, sgfs.dat, and the sky
// dome, written by the engine's own saver; and each sample level's own sgfs\ with its grid models,
// fixtures and the water frames.

#include <array>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "tools/install/install_step.h"
#include "tools/writers/bmp_writer.h"
#include "tools/writers/sgf_bytes.h"
#include "tools/writers/sample_level.h"
#include "tools/writers/sgfs_models.h"

namespace {

using Rgb = std::array<uint8_t, 3>;

// Blue water with light ripples that move one step a frame.
std::vector<uint8_t> WaterPicture(int frame) {
    return BuildRgbBmp(32, 32, [frame](int x, int y) {
        const double wave = std::sin((x + y + frame * 4) * 6.283185307179586 / 16.0);
        const uint8_t light = static_cast<uint8_t>(60 + 40 * wave);
        return Rgb{static_cast<uint8_t>(light / 3), light, static_cast<uint8_t>(160 + light / 2)};
    });
}

// Pale pictures, so that the shrine and earthblood colours tint them: carved stone bands for the
// shrine, rings around a bright centre for the earthnode.
std::vector<uint8_t> ShrinePicture() {
    return BuildRgbBmp(32, 32, [](int x, int y) {
        const bool groove = y % 8 == 0 || (x + (y / 8) * 4) % 16 == 0;
        const uint8_t v = groove ? 110 : static_cast<uint8_t>(215 + ((x * 7 + y * 13) % 5) * 8);
        return Rgb{v, v, v};
    });
}

std::vector<uint8_t> EarthnodePicture() {
    return BuildRgbBmp(32, 32, [](int x, int y) {
        const double r = std::hypot(x - 15.5, y - 15.5);
        const uint8_t v = static_cast<uint8_t>(r < 4 ? 255 : static_cast<int>(r) % 6 < 2 ? 120 : 210);
        return Rgb{v, v, v};
    });
}

// Wooden boards: three planks with dark seams and grain, a frame round the face and a brace
// across it. Mid browns, so the lamps light them without washing them out.
std::vector<uint8_t> CratePicture() {
    return BuildRgbBmp(32, 32, [](int x, int y) {
        const bool frame = x < 3 || x > 28 || y < 3 || y > 28;
        const bool brace = std::abs(x - y) < 2;
        const bool seam = y % 9 == 3 || (x + (y / 9) * 11) % 23 == 0;
        int tone = 120 + ((x * 5 + (y / 3) * 17) % 7) * 5;  // grain along the planks
        if (frame || brace)
            tone = 150 + (frame ? 0 : 10);
        else if (seam)
            tone = 55;
        if ((frame || brace) && (x == 3 || x == 28 || y == 3 || y == 28 || std::abs(x - y) == 1))
            tone = 70;  // the boards' shadowed edges
        return Rgb{static_cast<uint8_t>(tone), static_cast<uint8_t>(tone * 7 / 10), static_cast<uint8_t>(tone * 4 / 10)};
    });
}

bool WriteLevelSgfs(const InstallContext& ctx, const std::string& level) {
    const std::string dir = level + "/sgfs/";
    for (const SgfsModelFile& f : LevelFixtureModelFiles())
        if (f.bytes.empty() || !WriteFileBytes(ctx.Path(dir + f.name), f.bytes.data(), f.bytes.size()))
            return false;
    for (const auto& [name, picture] : {std::pair{kLevelShrineTexture, ShrinePicture()},
                                        std::pair{kLevelEarthnodeTexture, EarthnodePicture()}})
        if (!WriteFileBytes(ctx.Path(dir + name), picture.data(), picture.size()))
            return false;
    std::vector<uint8_t> water = WaterPicture(0);
    if (!WriteFileBytes(ctx.Path(dir + kLevelWaterTexture), water.data(), water.size()))
        return false;
    for (int frame = 0; frame < 4; ++frame) {
        char name[32];
        std::snprintf(name, sizeof name, "water/water%02d.bmp", frame);
        water = WaterPicture(frame);
        if (!WriteFileBytes(ctx.Path(dir + name), water.data(), water.size()))
            return false;
    }
    return WriteTextFile(ctx.Path(dir + "sgfs.dat"), LevelSgfsDefinitionText());
}

bool WriteSgfsModels(const InstallContext& ctx) {
    for (const SgfsModelFile& f : SgfsModelFiles())
        if (f.bytes.empty() || !WriteFileBytes(ctx.Path("sgfs/" + f.name), f.bytes.data(), f.bytes.size()))
            return false;
    const std::vector<uint8_t> crate = CratePicture();
    if (!WriteFileBytes(ctx.Path(std::string("sgfs/") + kCrateTexture), crate.data(), crate.size()))
        return false;
    SgRef<SgNode> sky = BuildSkyDome();
    const std::vector<uint8_t> dome = SgfBytesOf(sky.Get());
    if (dome.empty() || !WriteFileBytes(ctx.Path(kSkyDomeFile), dome.data(), dome.size()) ||
        !WriteTextFile(ctx.Path("sgfs/sgfs.dat"), SgfsDefinitionText()))
        return false;
    for (const SampleVariant& v : SampleVariants())
        if (!WriteLevelSgfs(ctx, v.grid))
            return false;
    return WriteLevelSgfs(ctx, "sample") && WriteLevelSgfs(ctx, "sample16");
}

InstallStep g_step("sgfs models", 63, WriteSgfsModels);

}  // namespace
