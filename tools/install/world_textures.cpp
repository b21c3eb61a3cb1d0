// The world textures of the portal level and the arena in sgfs\.

#include <string>

#include "tools/install/install_step.h"
#include "tools/writers/world_textures.h"

namespace {

bool WriteWorldTextures(const InstallContext& ctx) {
    struct File {
        const char* name;
        std::vector<uint8_t> (*build)();
    };
    static const File kFiles[] = {{kFloorTexture, FloorBmp},
                                  {kStoneTexture, StoneBmp},
                                  {kGlassTexture, GlassTga},
                                  {kBannerTexture, BannerBmp},
                                  {kPlaqueTexture, PlaqueBmp}};
    for (const File& f : kFiles) {
        const std::vector<uint8_t> bytes = f.build();
        if (!WriteFileBytes(ctx.Path(std::string("sgfs/") + f.name), bytes.data(), bytes.size()))
            return false;
    }
    return true;
}

InstallStep g_step("world textures", 51, WriteWorldTextures);

}  // namespace
