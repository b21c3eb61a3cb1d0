// The sample levels ("sample" as a directory and as grids/sample.zpk, "sample16" and the keep's
// variants as directories) and the installation files levels use: pattern.dat, monster.dat, images/image.dat, system.dat
// with its textures, arena.dat and the loading-bar pictures.
#include <string>
#include <vector>

#include "tools/install/install_step.h"
#include "tools/writers/color_table_writer.h"
#include "tools/writers/pack_writer.h"
#include "tools/writers/pcx_writer.h"
#include "tools/writers/sample_level.h"

namespace {

bool WriteAll(const InstallContext& ctx, const std::string& dir, const std::vector<PackSource>& files) {
    for (const PackSource& f : files)
        if (!WriteFileBytes(ctx.Path(dir + f.name), f.bytes.data(), f.bytes.size()))
            return false;
    return true;
}

std::vector<uint8_t> Bar(int w, int h, uint8_t fill) {
    std::vector<uint8_t> px(static_cast<size_t>(w) * h, fill);
    for (int x = 0; x < w; ++x)
        px[x] = px[static_cast<size_t>(h - 1) * w + x] = 31;
    Palette p = SamplePalette();
    return BuildPcx(w, h, px.data(), p.data());
}

bool WriteLevels(const InstallContext& ctx) {
    std::vector<uint8_t> pack = BuildPackFile("sample.zpk", SampleLevelFiles(19, true));
    std::vector<uint8_t> bar1 = Bar(200, 20, kSampleBlack + 2), bar2 = Bar(200, 20, 80), barb = Bar(240, 60, kSampleBlack);
    for (const SampleVariant& v : SampleVariants())
        if (!WriteAll(ctx, std::string(v.grid) + "/", SampleLevelFiles(19, false, v)))
            return false;
    return WriteAll(ctx, "sample/", SampleLevelFiles(19, false)) &&
           WriteAll(ctx, "sample16/", SampleLevelFiles(16, false)) && !pack.empty() &&
           WriteFileBytes(ctx.Path("grids/sample.zpk"), pack.data(), pack.size()) &&
           WriteAll(ctx, "", SampleSystemTexturePictures()) &&
           WriteTextFile(ctx.Path("pattern.dat"), SamplePatternDat()) &&
           WriteTextFile(ctx.Path("monster.dat"), SampleMonsterDat()) &&
           WriteTextFile(ctx.Path("images/image.dat"), SampleImageDat()) &&
           WriteTextFile(ctx.Path("system.dat"), SampleSystemDat()) &&
           WriteTextFile(ctx.Path("arena.dat"), SampleArenaDat()) &&
           WriteFileBytes(ctx.Path("loadbar1.pcx"), bar1.data(), bar1.size()) &&
           WriteFileBytes(ctx.Path("loadbar2.pcx"), bar2.data(), bar2.size()) &&
           WriteFileBytes(ctx.Path("loadbarb.pcx"), barb.data(), barb.size());
}

InstallStep g_step("levels", 70, WriteLevels);

}  // namespace
