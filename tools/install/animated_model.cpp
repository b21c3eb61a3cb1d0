// The animated sample model (keyed nodes and a bone chain), written by the engine's own saver.

#include <vector>

#include "tools/install/install_step.h"
#include "tools/writers/animated_model.h"

namespace {

bool WriteAnimatedModel(const InstallContext& ctx) {
    std::vector<uint8_t> bytes = AnimatedModelBytes();
    return !bytes.empty() && WriteFileBytes(ctx.Path(kAnimatedModelFile), bytes.data(), bytes.size());
}

InstallStep g_step("animated model", 61, WriteAnimatedModel);

}  // namespace
