// The test model of the engine, written by its own saver beside the spell textures in sgfs\.

#include <vector>

#include "tools/install/install_step.h"
#include "tools/writers/sample_model.h"

namespace {

bool WriteSampleModel(const InstallContext& ctx) {
    std::vector<uint8_t> bytes = SampleModelBytes();
    return !bytes.empty() && WriteFileBytes(ctx.Path(kSampleModelFile), bytes.data(), bytes.size());
}

InstallStep g_step("sample model", 60, WriteSampleModel);

}  // namespace
