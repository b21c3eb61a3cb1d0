// The menus' pictures and menu.dat.

#include "tools/install/install_step.h"
#include "tools/writers/menu_art.h"

namespace {

bool WriteMenuArt(const InstallContext& ctx) {
    for (const ArtFile& f : MenuArtFiles()) {
        const std::string path = ctx.Path(f.name);
        if (!MakeParentDirs(path) || !WriteFileBytes(path, f.bytes.data(), f.bytes.size()))
            return false;
    }
    return WriteTextFile(ctx.Path("menu.dat"), MenuDatText());
}

InstallStep g_step("menu art", 31, WriteMenuArt);

}  // namespace
