// Save, load and compare every streamable class of images, textures, actions, the display and
// screen polygons; each case's file is a seed of the sgf fuzzer.

#include <gtest/gtest.h>

#include <cstring>

#include "engine/core/sg_action.h"
#include "engine/core/sg_display.h"
#include "engine/core/sg_screen_polygon.h"
#include "engine/core/sg_texture_property.h"
#include "tests/engine/support/sg_stream_cases.h"

namespace {

SgRef<SgRawImageData> FilledRaw(uint32_t format, uint32_t width, uint32_t height) {
    SgRef<SgRawImageData> raw(new SgRawImageData);
    raw->ResizeRawImage(format, width, height);
    for (size_t i = 0; i < static_cast<size_t>(raw->BytesPerRow()) * height; ++i)
        raw->Pixels()[i] = static_cast<uint8_t>(i * 37 + 5);
    if (raw->Palette())
        for (size_t i = 0; i < SgRawImageData::kPaletteBytes; ++i)
            raw->Palette()[i] = static_cast<uint8_t>(i * 11);
    return raw;
}

SgRef<SgImage> NamedImage(const char* file, uint32_t kind) {
    SgRef<SgImage> image(new SgImage);
    image->SetFileName(file);
    image->formatKind = kind;
    return image;
}

SgRef<SgImage> RawImage(uint32_t kind) {
    SgRef<SgImage> image(new SgImage);
    image->SetRawData(FilledRaw(SgRawImageData::kRgb, 2, 2).Get());
    image->formatKind = kind;
    return image;
}

const SgStreamCase kCases[] = {
    {"SgRawImageDataPalettized", [] { return SgRef<SgObject>(FilledRaw(0, 3, 2).Get()); }},
    {"SgRawImageDataRgb", [] { return SgRef<SgObject>(FilledRaw(1, 3, 2).Get()); }},
    {"SgRawImageDataRgba",
     [] {
         SgRef<SgRawImageData> raw = FilledRaw(2, 2, 3);
         raw->AssignName("rgba");
         return SgRef<SgObject>(raw.Get());
     }},
    {"SgRawImageDataOtherFormat", [] { return SgRef<SgObject>(FilledRaw(5, 7, 9).Get()); }},
    {"SgImageByName",
     [] {
         SgRef<SgImage> image = NamedImage("textures\\wall.bmp", 3);
         image->AssignName("wall");
         return SgRef<SgObject>(image.Get());
     }},
    {"SgImageByRawData", [] { return SgRef<SgObject>(RawImage(5).Get()); }},
    {"SgTextureProperty",
     [] {
         SgRef<SgTextureProperty> texture(new SgTextureProperty);
         texture->override = 1;
         texture->images.SetAtGrow(0, NamedImage("a.tga", 7));
         texture->images.SetAtGrow(2, RawImage(1));
         texture->currentIndex = 2;
         return SgRef<SgObject>(texture.Get());
     }},
    {"SgMultiTextureProperty",
     [] {
         SgRef<SgMultiTextureProperty> multi(new SgMultiTextureProperty);
         multi->textures.SetAtGrow(0, NamedImage("detail.bmp", 2));
         multi->textures.SetAtGrow(1, SgRef<SgImage>());
         multi->blendModes.Append(4);
         multi->blendModes.Append(1);
         multi->addressingModes.Append(2);
         multi->filterModes.Append(5);
         multi->filterModes.Append(0);
         multi->filterModes.Append(3);
         return SgRef<SgObject>(multi.Get());
     }},
    {"SgFlipTextures",
     [] {
         SgRef<SgTextureProperty> texture(new SgTextureProperty);
         texture->AppendImage(NamedImage("f00.bmp", 7).Get());
         texture->AppendImage(NamedImage("f01.bmp", 7).Get());
         SgRef<SgFlipTextures> flip(new SgFlipTextures);
         flip->target = texture.Get();
         flip->mode = SgFlipTextures::kBackAndForth;
         flip->factor = 2.0f;
         flip->startTime = 3.0f;
         flip->duration = 4.0f;
         return SgRef<SgObject>(flip.Get());
     },
     [] { SgAction::ClearList(); }},
    {"SgDisplay",
     [] {
         SgRef<SgDisplay> display(new SgDisplay);
         display->AssignName("main display");
         return SgRef<SgObject>(display.Get());
     }},
    {"SgScreenPolygon",
     [] {
         const SgVec3 v[3] = {{0.1f, 0.2f, 0}, {0.8f, 0.2f, 0}, {0.5f, 0.9f, 0.5f}};
         const SgVec3 t[3] = {{0, 0, 0}, {1, 0, 0}, {0.5f, 1, 0}};
         const SgRgba c[3] = {{1, 0, 0, 1}, {0, 1, 0, 0.5f}, {0, 0, 1, 0}};
         SgRef<SgScreenPolygon> polygon(new SgScreenPolygon(3, v, t, c));
         SgRef<SgAlphaProperty> alpha(new SgAlphaProperty);
         alpha->blendOn = 1;
         SgRef<SgTextureProperty> texture(new SgTextureProperty);
         texture->AppendImage(NamedImage("hud.bmp", 7).Get());
         texture->currentIndex = 0;
         polygon->AddProperty(alpha.Get());
         polygon->AddProperty(texture.Get());
         return SgRef<SgObject>(polygon.Get());
     }},
    {"SgScreenPolygonBare",
     [] {
         const SgVec3 v[2] = {{0.1f, 0.2f, 0}, {0.8f, 0.2f, 0}};
         return SgRef<SgObject>(new SgScreenPolygon(2, v, nullptr, nullptr));
     }},
};

TEST_P(SgStreamCaseTest, RoundTrip) { CheckStreamRoundTrip(GetParam()); }
TEST_P(SgStreamCaseTest, MatchesSeed) { CheckStreamSeed(GetParam()); }
INSTANTIATE_TEST_SUITE_P(EngineState, SgStreamCaseTest, testing::ValuesIn(kCases), SgStreamCaseName);

}  // namespace
