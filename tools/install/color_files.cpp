// color.dat and the light folder: the base light table, the two inverse tables and the system
// palette, all from the sample palette.

#include <vector>

#include "client/core/channel_bits.h"
#include "tools/install/install_step.h"
#include "tools/writers/color_table_writer.h"
#include "tools/writers/pcx_writer.h"

namespace {

const char kColorDat[] =
    "; Colour tables: the .col file of each table in light\\ and its channel boosts (0, 1 or 2)\n"
    "[color_tables]\n"
    "00=system.col\n"
    "red00=0\n"
    "green00=0\n"
    "blue00=0\n";

bool WriteBytes(const InstallContext& ctx, const char* name, const std::vector<uint8_t>& bytes) {
    return !bytes.empty() && WriteFileBytes(ctx.Path(name), bytes.data(), bytes.size());
}

bool WriteColorFiles(const InstallContext& ctx) {
    Palette palette = SamplePalette();
    // The system palette as a picture of its 256 colours, 16 to a row.
    std::vector<uint8_t> swatch(256);
    for (int i = 0; i < 256; ++i)
        swatch[i] = static_cast<uint8_t>(i);
    return WriteTextFile(ctx.Path("color.dat"), kColorDat) &&
           WriteBytes(ctx, "light/system.col", BuildColFile(palette)) &&
           WriteBytes(ctx, "light/tran565.tra", BuildTranslationTable(palette, kChannels565)) &&
           WriteBytes(ctx, "light/tran555.tra", BuildTranslationTable(palette, kChannels555)) &&
           WriteBytes(ctx, "light/syspal.pcx", BuildPcx(16, 16, swatch.data(), palette.data()));
}

InstallStep g_step("colour tables", 20, WriteColorFiles);

}  // namespace
