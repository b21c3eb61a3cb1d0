// The level-of-detail figure (skinned and plain level-of-detail tubes on a keyed bone chain),
// written by the engine's own saver.

#include <vector>

#include "tools/install/install_step.h"
#include "tools/writers/clod_figure.h"

namespace {

bool WriteClodFigure(const InstallContext& ctx) {
    std::vector<uint8_t> bytes = ClodFigureBytes();
    return !bytes.empty() && WriteFileBytes(ctx.Path(kClodFigureFile), bytes.data(), bytes.size());
}

InstallStep g_step("level-of-detail figure", 62, WriteClodFigure);

}  // namespace
