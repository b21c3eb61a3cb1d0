#include "tools/writers/world_textures.h"

#include <cmath>

#include "engine/core/sg_node.h"
#include "engine/core/sg_texture_property.h"
#include "engine/geometry/sg_tri_shape.h"
#include "tools/writers/bmp_writer.h"
#include "tools/writers/tga_writer.h"

namespace {

// A small hash for stone grain that is the same on every machine.
uint32_t Grain(uint32_t x, uint32_t y) {
    uint32_t h = x * 374761393u + y * 668265263u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return h ^ (h >> 16);
}

}  // namespace

std::vector<uint8_t> FloorBmp() {
    // Flagstones of 64 pixels with dark joints; the palette is a warm grey ramp.
    BmpImage b;
    b.width = b.height = 256;
    b.bitsPerPixel = 8;
    for (int i = 0; i < 256; ++i)
        b.palette.insert(b.palette.end(), {static_cast<uint8_t>(i), static_cast<uint8_t>(i * 15 / 16),
                                           static_cast<uint8_t>(i * 13 / 16)});
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            const bool joint = x % 64 < 3 || y % 64 < 3;
            const int tone = ((x / 64 + y / 64) % 2) ? 170 : 130;
            const int v = joint ? 40 : tone + static_cast<int>(Grain(x, y) % 24);
            b.pixels.push_back(static_cast<uint8_t>(v));
        }
    return BuildBmp(b);
}

std::vector<uint8_t> StoneBmp() {
    // Bricks 32 by 16, every other row shifted by half a brick.
    BmpImage b;
    b.width = b.height = 128;
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x) {
            const int shifted = x + ((y / 16) % 2) * 16;
            const bool mortar = shifted % 32 < 2 || y % 16 < 2;
            const int g = static_cast<int>(Grain(x, y) % 30);
            if (mortar)
                b.pixels.insert(b.pixels.end(), {150, 145, 135});
            else
                b.pixels.insert(b.pixels.end(),
                                {static_cast<uint8_t>(150 + g), static_cast<uint8_t>(70 + g / 2), static_cast<uint8_t>(50)});
        }
    return BuildBmp(b);
}

std::vector<uint8_t> GlassTga() {
    // Pale blue panes in a lead frame; the panes let half the light through.
    TgaImage t;
    t.width = t.height = 64;
    t.pixelDepth = 32;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const bool frame = x % 32 < 3 || y % 32 < 3;
            t.pixels.push_back(frame ? 0xFF303030u : 0x80A0C8FFu);
        }
    return BuildTga(t);
}

// A 24-bit image in two colours, the second where `second` holds.
template <typename Second>
std::vector<uint8_t> TwoToneBmp(int width, int height, uint32_t first, uint32_t other, Second second) {
    BmpImage b;
    b.width = width;
    b.height = height;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const uint32_t c = second(x, y) ? other : first;
            b.pixels.insert(b.pixels.end(), {static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8),
                                             static_cast<uint8_t>(c)});
        }
    return BuildBmp(b);
}

std::vector<uint8_t> BannerBmp() {
    // Red and gold stripes along the long side.
    return TwoToneBmp(256, 64, 0xA0141E, 0xE6B428, [](int x, int) { return (x / 32) % 2 == 1; });
}

std::vector<uint8_t> PlaqueBmp() {
    // Green with a light border; no power of two, so no device takes it as a texture.
    return TwoToneBmp(96, 64, 0x1E783C, 0xDCDCC8, [](int x, int y) { return x < 4 || y < 4 || x >= 92 || y >= 60; });
}

void WorldTextureImages(SgRef<SgImage> (&out)[5]) {
    const char* const kFiles[5] = {kFloorTexture, kStoneTexture, kGlassTexture, kBannerTexture, kPlaqueTexture};
    for (int i = 0; i < 5; ++i) {
        out[i] = new SgImage;
        out[i]->SetFileName(kFiles[i]);
        out[i]->formatKind = SgImage::kAnyFormat;
    }
}

namespace {

void TextureShapes(SgAVObject* object, SgImage* const* images, uint32_t count, float repeat, uint32_t* next) {
    if (auto* node = SgKindCast<SgNode>(object)) {
        for (uint32_t i = 0; i < node->ChildCount(); ++i)
            TextureShapes(node->ChildAt(i), images, count, repeat, next);
        return;
    }
    auto* shape = SgKindCast<SgTriShape>(object);
    if (!shape || shape->TextureSetCount() > 0 || shape->VertexCount() == 0 || !shape->Normals())
        return;
    // The two axes across the normal's largest component.
    const SgVec3 n = shape->Normals()[0];
    const float ax = std::fabs(n.x), ay = std::fabs(n.y), az = std::fabs(n.z);
    std::vector<SgVec3> uv(shape->VertexCount());
    for (uint16_t i = 0; i < shape->VertexCount(); ++i) {
        const SgVec3 p = shape->Vertices()[i];
        const float u = ax >= ay && ax >= az ? p.z : p.x;
        const float v = ay >= ax && ay >= az ? p.z : p.y;
        uv[i] = {u / repeat, v / repeat, 0};
    }
    shape->AddTextureSet(uv.data());
    SgRef<SgTextureProperty> texture(new SgTextureProperty);
    texture->AppendImage(images[(*next)++ % count]);
    texture->currentIndex = 0;
    shape->AddRenderProperty(texture.Get());
}

}  // namespace

void TextureWithWorldTextures(SgNode* root) {
    SgRef<SgImage> images[5];
    WorldTextureImages(images);
    SgImage* const list[5] = {images[0].Get(), images[1].Get(), images[3].Get(), images[2].Get(), images[4].Get()};
    TextureScene(root, list, 5, 4.0f);
}

void TextureScene(SgNode* root, SgImage* const* images, uint32_t imageCount, float repeat) {
    if (!root || imageCount == 0)
        return;
    SgRef<SgTextureModeProperty> mode(new SgTextureModeProperty);
    mode->applyMode = 3;
    mode->filterMode = 5;
    root->AddRenderProperty(mode.Get());
    uint32_t next = 0;
    TextureShapes(root, images, imageCount, repeat, &next);
}
