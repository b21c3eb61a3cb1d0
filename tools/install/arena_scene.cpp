// The renderer benchmark's arena, written by the engine's own saver beside the sample model.

#include <vector>

#include "tools/install/install_step.h"
#include "tools/writers/arena_scene.h"

namespace {

bool WriteArena(const InstallContext& ctx) {
    std::vector<uint8_t> bytes = ArenaSceneBytes();
    return !bytes.empty() && WriteFileBytes(ctx.Path(kArenaSceneFile), bytes.data(), bytes.size());
}

InstallStep g_step("arena scene", 61, WriteArena);

}  // namespace
