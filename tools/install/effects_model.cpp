// The effects sample model (particles, a path, morphs and animators), written by the engine's own
// saver beside the other models in sgfs\.

#include <vector>

#include "tools/install/install_step.h"
#include "tools/writers/effects_model.h"

namespace {

bool WriteEffectsModel(const InstallContext& ctx) {
    std::vector<uint8_t> bytes = EffectsModelBytes();
    return !bytes.empty() && WriteFileBytes(ctx.Path(kEffectsModelFile), bytes.data(), bytes.size());
}

InstallStep g_step("effects model", 62, WriteEffectsModel);

}  // namespace
