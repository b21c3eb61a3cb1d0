// Textures of the arena: the two object maps ("shadow.bmp", "cast.tga"), the crosshair
// ("crsshair.bmp", drawn in the left quarter of the bitmap) and the eight glows of the spell
// effects in sgfs\, with the white spot of the models' particle sprites. Soft round shapes computed
// from their distance to the centre.

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/install/install_step.h"
#include "tools/writers/bmp_writer.h"
#include "tools/writers/effects_model.h"
#include "tools/writers/tga_writer.h"

namespace {

// 1 at the centre of a size x size square falling to 0 at its edge circle.
double Falloff(int x, int y, int size) {
    double half = size / 2.0;
    double dx = (x + 0.5 - half) / half, dy = (y + 0.5 - half) / half;
    double d = std::sqrt(dx * dx + dy * dy);
    return d >= 1.0 ? 0.0 : 1.0 - d;
}

uint8_t Level(double v) { return static_cast<uint8_t>(std::lround(v * 255.0)); }

// A dark disc fading out: figures cast it on the floor.
std::vector<uint8_t> ShadowBmp() {
    BmpImage b;
    b.width = b.height = 64;
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            uint8_t v = Level(1.0 - 0.75 * std::sqrt(Falloff(x, y, 64)));
            b.pixels.insert(b.pixels.end(), {v, v, v});
        }
    }
    return BuildBmp(b);
}

// The same disc as alpha over black.
std::vector<uint8_t> CastTga() {
    TgaImage t;
    t.width = t.height = 64;
    t.pixelDepth = 32;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            t.pixels.push_back(static_cast<uint32_t>(Level(std::sqrt(Falloff(x, y, 64)) * 0.8)) << 24);
    return BuildTga(t);
}

// A white cross with a dark outline in the left 8x8 quarter of a 32x8 palettised bitmap; the
// rest is the transparent black.
std::vector<uint8_t> CrosshairBmp() {
    static const char* const kRows[8] = {
        "...##...", "...#+...", "...#+...", "####++##", "#+++++++", "...#+...", "...#+...", "...++...",
    };
    BmpImage b;
    b.width = 32;
    b.height = 8;
    b.bitsPerPixel = 8;
    b.palette = {0, 0, 0, 255, 255, 255, 40, 40, 40};
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 32; ++x) {
            char c = x < 8 ? kRows[y][x] : '.';
            b.pixels.push_back(c == '+' ? 1 : c == '#' ? 2 : 0);
        }
    }
    return BuildBmp(b);
}

struct Glow {
    const char* file;
    uint32_t rgb;
};

// A glow of one colour whose alpha falls off from the centre, run-length encoded.
std::vector<uint8_t> GlowTga(uint32_t rgb) {
    TgaImage t;
    t.width = t.height = 32;
    t.imageType = 10;
    t.pixelDepth = 32;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            t.pixels.push_back(static_cast<uint32_t>(Level(Falloff(x, y, 32))) << 24 | rgb);
    return BuildTga(t);
}

bool Write(const InstallContext& ctx, const std::string& name, const std::vector<uint8_t>& bytes) {
    return WriteFileBytes(ctx.Path(name), bytes.data(), bytes.size());
}

bool WriteTextures(const InstallContext& ctx) {
    static const Glow kGlows[] = {
        {"sgfs/eheat.tga", 0xFF6020}, {"sgfs/ecold.tga", 0x60D0FF}, {"sgfs/eair.tga", 0xE0F0FF},
        {"sgfs/elight.tga", 0xFFF080}, {"sgfs/emind.tga", 0xC060FF}, {"sgfs/ered.tga", 0xFF2020},
        {"sgfs/eyellow.tga", 0xFFE020}, {"sgfs/eblue.tga", 0x2040FF},
    };
    if (!Write(ctx, "shadow.bmp", ShadowBmp()) || !Write(ctx, "cast.tga", CastTga()) ||
        !Write(ctx, "crsshair.bmp", CrosshairBmp()))
        return false;
    for (const Glow& g : kGlows)
        if (!Write(ctx, g.file, GlowTga(g.rgb)))
            return false;
    return Write(ctx, std::string("sgfs/") + kSparkTexture, GlowTga(0xFFFFFF));
}

InstallStep g_step("textures", 50, WriteTextures);

}  // namespace
