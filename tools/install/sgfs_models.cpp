// The models of sgfs\ that the sample's objects, spells and overlays name, sgfs.dat, and the sky
// dome, written by the engine's own saver.

#include <vector>

#include "tools/install/install_step.h"
#include "tools/writers/sgf_bytes.h"
#include "tools/writers/sgfs_models.h"

namespace {

bool WriteSgfsModels(const InstallContext& ctx) {
    for (const SgfsModelFile& f : SgfsModelFiles())
        if (f.bytes.empty() || !WriteFileBytes(ctx.Path("sgfs/" + f.name), f.bytes.data(), f.bytes.size()))
            return false;
    SgRef<SgNode> sky = BuildSkyDome();
    const std::vector<uint8_t> dome = SgfBytesOf(sky.Get());
    return !dome.empty() && WriteFileBytes(ctx.Path(kSkyDomeFile), dome.data(), dome.size()) &&
           WriteTextFile(ctx.Path("sgfs/sgfs.dat"), SgfsDefinitionText());
}

InstallStep g_step("sgfs models", 63, WriteSgfsModels);

}  // namespace
