// Texture preparation (image reading, conversion into the device layout, mip halving) and the
// display's per-geometry state work.

#include <benchmark/benchmark.h>

#include <vector>

#include "engine/core/sg_display.h"
#include "engine/core/sg_image_file.h"
#include "engine/core/sg_raw_image.h"
#include "tests/support/recording_render.h"
#include "tools/writers/bmp_writer.h"
#include "tools/writers/tga_writer.h"

namespace {

constexpr int kSide = 256;

SgRef<SgRawImageData> Pattern(uint32_t format) {
    SgRef<SgRawImageData> raw(new SgRawImageData);
    raw->ResizeRawImage(format, kSide, kSide);
    for (size_t i = 0; i < static_cast<size_t>(raw->BytesPerRow()) * kSide; ++i)
        raw->Pixels()[i] = static_cast<uint8_t>(i * 7 + i / 1024);
    if (raw->Palette())
        for (size_t i = 0; i < SgRawImageData::kPaletteBytes; ++i)
            raw->Palette()[i] = static_cast<uint8_t>(i * 3);
    return raw;
}

void BM_ConvertTo565(benchmark::State& state) {
    auto raw = Pattern(static_cast<uint32_t>(state.range(0)));
    SgPixelFormat target = SgPixelFormat::FromMasks(16, 0xF800, 0x07E0, 0x001F, 0);
    std::vector<uint8_t> out(kSide * kSide * 2);
    for (auto _ : state) {
        raw->ConvertFormat(target, kSide * 2, out.data());
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * kSide * kSide);
}
BENCHMARK(BM_ConvertTo565)->Arg(SgRawImageData::kPalettized)->Arg(SgRawImageData::kRgb)->Arg(SgRawImageData::kRgba);

void BM_MakeHalfSize(benchmark::State& state) {
    auto raw = Pattern(SgRawImageData::kRgba);
    SgRef<SgRawImageData> half(new SgRawImageData);
    half->ResizeRawImage(SgRawImageData::kRgba, kSide / 2, kSide / 2);
    for (auto _ : state)
        benchmark::DoNotOptimize(half->MakeHalfSize(raw.Get()));
    state.SetItemsProcessed(state.iterations() * kSide * kSide);
}
BENCHMARK(BM_MakeHalfSize);

void BM_ReadBmp24(benchmark::State& state) {
    BmpImage b;
    b.width = b.height = kSide;
    b.pixels.resize(kSide * kSide * 3);
    for (size_t i = 0; i < b.pixels.size(); ++i)
        b.pixels[i] = static_cast<uint8_t>(i * 13);
    std::vector<uint8_t> file = BuildBmp(b);
    SgRef<SgRawImageData> raw(new SgRawImageData);
    for (auto _ : state)
        benchmark::DoNotOptimize(ReadBmpImage(file.data(), file.size(), *raw));
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(file.size()));
}
BENCHMARK(BM_ReadBmp24);

void BM_ReadTgaRunLength(benchmark::State& state) {
    TgaImage t;
    t.width = t.height = kSide;
    t.imageType = 10;
    t.pixelDepth = 32;
    for (int i = 0; i < kSide * kSide; ++i)
        t.pixels.push_back(0xFF000000u | static_cast<uint32_t>((i / 5) * 0x010203));
    std::vector<uint8_t> file = BuildTga(t);
    SgRef<SgRawImageData> raw(new SgRawImageData);
    for (auto _ : state)
        benchmark::DoNotOptimize(ReadTgaImage(file.data(), file.size(), *raw));
    state.SetItemsProcessed(state.iterations() * kSide * kSide);
}
BENCHMARK(BM_ReadTgaRunLength);

// One geometry under a node with three properties: push, apply (nothing changed since the last
// geometry), pop.
void BM_DisplayPushApplyPop(benchmark::State& state) {
    SgRef<RecordingRender> render(new RecordingRender);
    SgRef<SgDisplay> display(new SgDisplay);
    display->SetRenderer(render.Get());
    SgRef<SgAlphaProperty> alpha(new SgAlphaProperty);
    SgRef<SgFogProperty> fog(new SgFogProperty);
    SgRef<SgMaterialProperty> material(new SgMaterialProperty);
    SgPropertyList list;
    list.Prepend(alpha.Get());
    list.Prepend(fog.Get());
    list.Prepend(material.Get());
    display->PushProperties(list);
    display->ApplyPendingState();
    display->PopProperties(list);
    render->Clear();
    for (auto _ : state) {
        display->PushProperties(list);
        display->ApplyPendingState();
        display->PopProperties(list);
    }
}
BENCHMARK(BM_DisplayPushApplyPop);

}  // namespace
