// The Tavern's pictures.

#include "tools/install/install_step.h"
#include "tools/writers/chat_art.h"

namespace {

bool WriteChatArt(const InstallContext& ctx) {
    for (const ArtFile& f : ChatArtFiles())
        if (!WriteFileBytes(ctx.Path(f.name), f.bytes.data(), f.bytes.size()))
            return false;
    return true;
}

InstallStep g_step("chat art", 32, WriteChatArt);

}  // namespace
