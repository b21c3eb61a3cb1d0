// The driver's pictures, brief.dat and the help file.

#include "tools/install/install_step.h"
#include "tools/writers/driver_art.h"

namespace {

bool WriteDriverArt(const InstallContext& ctx) {
    for (const ArtFile& f : DriverArtFiles()) {
        const std::string path = ctx.Path(f.name);
        if (!MakeParentDirs(path) || !WriteFileBytes(path, f.bytes.data(), f.bytes.size()))
            return false;
    }
    return WriteTextFile(ctx.Path("brief.dat"), BriefDatText()) && WriteTextFile(ctx.Path("help.hlp"), HelpFileText());
}

InstallStep g_step("driver art", 32, WriteDriverArt);

}  // namespace
