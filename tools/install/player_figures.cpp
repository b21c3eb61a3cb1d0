// The player figures, their animations and textures, and figures.dat; the menu preview scene.
// Models are written by the engine's own saver.

#include <cstdio>
#include <string>
#include <vector>

#include "tools/install/install_step.h"
#include "tools/writers/bmp_writer.h"
#include "tools/writers/menu_scene.h"
#include "tools/writers/player_figure.h"
#include "tools/writers/sgf_bytes.h"

namespace {

bool WriteModel(const InstallContext& ctx, const std::string& name, SgRef<SgNode> model) {
    if (!model)
        return false;
    std::vector<uint8_t> bytes = SgfBytesOf(model.Get());
    return !bytes.empty() && WriteFileBytes(ctx.Path("figures/" + name), bytes.data(), bytes.size());
}

// A body picture: the team colour with darker bands, one band more per body, a lighter belt per
// type.
std::vector<uint8_t> BodyPicture(int type, int body, int colour) {
    static const uint8_t kColours[3][3] = {{200, 40, 40}, {220, 200, 40}, {40, 70, 210}};
    BmpImage image;
    image.width = image.height = 64;
    image.bitsPerPixel = 24;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const bool band = (y / 8) % (body + 1) == 0;
            const bool belt = y >= 28 + 4 * type && y < 32 + 4 * type;
            for (int c = 0; c < 3; ++c) {
                int v = kColours[colour][c];
                v = belt ? 230 : band ? v * 2 / 3 : v;
                image.pixels.push_back(static_cast<uint8_t>(v));
            }
        }
    return BuildBmp(image);
}

// A head picture, wrapped once round the head with the face in the middle column: skin, two eyes
// either side of the middle, a hair band whose shade tells the head apart over the crown and down
// the back half.
std::vector<uint8_t> HeadPicture(int type, int head) {
    BmpImage image;
    image.width = image.height = 32;
    image.bitsPerPixel = 24;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            uint8_t rgb[3] = {static_cast<uint8_t>(210 - 20 * type), static_cast<uint8_t>(170 - 15 * type), 140};
            const bool back = x < 8 || x >= 24;
            if (y < 8 || (back && y < 22)) {
                const uint8_t shade = static_cast<uint8_t>(30 + 50 * head);
                rgb[0] = shade, rgb[1] = static_cast<uint8_t>(shade * 3 / 4), rgb[2] = static_cast<uint8_t>(shade / 2);
            } else if (y >= 12 && y < 15 && ((x >= 12 && x < 14) || (x >= 18 && x < 20))) {
                rgb[0] = rgb[1] = rgb[2] = 20;
            }
            image.pixels.insert(image.pixels.end(), rgb, rgb + 3);
        }
    return BuildBmp(image);
}

bool WritePlayerFigures(const InstallContext& ctx) {
    for (int type = 1; type <= kPlayerFigureTypes; ++type) {
        if (!WriteModel(ctx, PlayerFigureFile(type), BuildPlayerFigure(type)))
            return false;
        for (int offset = 0; offset < kPlayerAnimationOffsets; ++offset)
            if (!WriteModel(ctx, PlayerAnimationFile(type, offset), BuildPlayerAnimation(type, offset)))
                return false;
        char name[64];
        for (int body = 1; body <= 3; ++body)
            for (int colour = 0; colour < 3; ++colour) {
                std::snprintf(name, sizeof name, "figures/f%dbody%d%c.bmp", type, body, "ryb"[colour]);
                std::vector<uint8_t> bmp = BodyPicture(type, body, colour);
                if (!WriteFileBytes(ctx.Path(name), bmp.data(), bmp.size()))
                    return false;
            }
        for (int head = 1; head <= 4; ++head) {
            std::snprintf(name, sizeof name, "figures/f%dhead%d.bmp", type, head);
            std::vector<uint8_t> bmp = HeadPicture(type, head);
            if (!WriteFileBytes(ctx.Path(name), bmp.data(), bmp.size()))
                return false;
        }
    }
    const std::vector<uint8_t> scene = MenuSceneBytes();
    return WriteTextFile(ctx.Path("figures/figures.dat"), FiguresDefinitionText()) && !scene.empty() &&
           WriteFileBytes(ctx.Path(kMenuSceneFile), scene.data(), scene.size());
}

InstallStep g_step("player figures", 63, WritePlayerFigures);

}  // namespace
