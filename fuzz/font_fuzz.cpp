// A PCX font from any bytes: the column scan, then every character drawn into a buffer with
// guard zones on both sides, at the screen's edges and off them, and into a name tag.

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "client/screens/fonts.h"
#include "client/screens/screen_surface.h"
#include "fuzz/guard_zones.h"

// Bytes 0..2: colour variants, numeric flag, extra spacing; the rest a PCX picture.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3)
        return 0;
    FontSlot& f = FontTable[1];
    f = FontSlot{};
    f.pcx_font = 1;
    f.pcx_colors = data[0] % 6;
    f.pcx_numeric = data[1] & 1;
    f.extraSpacing = static_cast<int8_t>(data[2]);
    ByteReader reader(data + 3, size - 3);
    PcxImage& image = PcxFontImages[1];
    image.FreePcx();
    if (image.ReadPcx(reader, PCX_HEAP, 1) != 0)
        return 0;
    MeasurePcxFont(1);

    static std::vector<uint16_t> buffer(kScreenPixels + 2 * kGuard);
    std::fill(buffer.begin(), buffer.end(), kGuardValue);
    uint16_t* screen = buffer.data() + kGuard;
    char text[256];
    for (int c = 1; c < 256; ++c)
        text[c - 1] = static_cast<char>(c);
    text[255] = '\0';
    const int places[][2] = {{0, 0}, {-40, -7}, {700, 590}, {790, 300}, {-300, 599}, {400, -20}};
    for (const auto& p : places)
        for (int variant : {0, 1, 3, 9})
            DrawText(p[0], p[1], variant, text, 1, screen, 1, 2);
    CheckGuards(buffer);

    std::vector<uint8_t> tag(kNameTagBytes + 2 * kGuard, 0x5A);
    RenderNameTag(1, text + 31, tag.data() + kGuard, 0xFF);
    for (size_t i = 0; i < kGuard; ++i)
        if (tag[i] != 0x5A || tag[tag.size() - 1 - i] != 0x5A)
            std::abort();
    return 0;
}
