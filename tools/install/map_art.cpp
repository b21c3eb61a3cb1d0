// The overhead map's marker sheets and the small-map screen's picture.

#include "tools/install/install_step.h"
#include "tools/writers/map_art.h"

namespace {

bool Write(const InstallContext& ctx, const char* name, const std::vector<uint8_t>& bytes) {
    return !bytes.empty() && WriteFileBytes(ctx.Path(name), bytes.data(), bytes.size());
}

bool WriteMapArt(const InstallContext& ctx) {
    return Write(ctx, "arrow.pcx", BuildArrowPcx()) && Write(ctx, "node.pcx", BuildNodePcx()) &&
           Write(ctx, "smallmap.pcx", BuildSmallMapPcx());
}

InstallStep g_step("map art", 31, WriteMapArt);

}  // namespace
