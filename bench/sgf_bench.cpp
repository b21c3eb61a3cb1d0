// sgf loading and saving (every model the game loads goes through it), and the point and normal
// routines geometry runs every frame.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/core/sg_processor.h"
#include "engine/core/sg_property.h"
#include "engine/core/sg_stream.h"

namespace {

// A file of `count` top-level property records of four classes, about what a level's models hold.
std::vector<uint8_t> MakeFile(int count) {
    std::vector<SgRef<SgProperty>> keep;
    SgSceneStream out;
    for (int i = 0; i < count; ++i) {
        SgProperty* p = nullptr;
        switch (i % 4) {
        case 0: p = new SgMaterialProperty; break;
        case 1: p = new SgAlphaProperty; break;
        case 2: p = new SgTextureModeProperty; break;
        default: p = new SgFogProperty; break;
        }
        p->AssignName("part");
        keep.emplace_back(p);
        out.InsertObject(p);
    }
    std::vector<uint8_t> bytes;
    out.Save(bytes);
    return bytes;
}

void BM_SgfLoad(benchmark::State& state) {
    std::vector<uint8_t> bytes = MakeFile(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        SgSceneStream s;
        benchmark::DoNotOptimize(s.Load(bytes.data(), bytes.size()));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(BM_SgfLoad)->Arg(1)->Arg(100)->Arg(2000)->Arg(300000);

// The same records with only the first marked top-level: against BM_SgfLoad it shows what the
// top-level list costs (it must grow by doubling, not by a fixed step).
void BM_SgfLoadOneTopLevel(benchmark::State& state) {
    std::vector<uint8_t> marked = MakeFile(static_cast<int>(state.range(0)));
    const std::string marker = std::string("\x10\0\0\0", 4) + SgSceneStream::kTopLevelMarker;
    std::vector<uint8_t> bytes;
    bool first = true;
    for (size_t i = 0; i < marked.size();) {
        if (marked.size() - i >= marker.size() && std::equal(marker.begin(), marker.end(), marked.begin() + i)) {
            if (first)
                bytes.insert(bytes.end(), marker.begin(), marker.end());
            first = false;
            i += marker.size();
            continue;
        }
        bytes.push_back(marked[i++]);
    }
    for (auto _ : state) {
        SgSceneStream s;
        benchmark::DoNotOptimize(s.Load(bytes.data(), bytes.size()));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SgfLoadOneTopLevel)->Arg(2000)->Arg(300000);

void BM_SgfSave(benchmark::State& state) {
    std::vector<uint8_t> bytes = MakeFile(static_cast<int>(state.range(0)));
    SgSceneStream in;
    in.Load(bytes.data(), bytes.size());
    for (auto _ : state) {
        SgSceneStream out;
        for (uint32_t i = 0; i < in.TopLevelCount(); ++i)
            out.InsertObject(in.TopLevelObject(i));
        std::vector<uint8_t> saved;
        benchmark::DoNotOptimize(out.Save(saved));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SgfSave)->Arg(100)->Arg(2000);

std::vector<SgVec3> Vectors(size_t n) {
    std::vector<SgVec3> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = {float(i % 7) - 3.0f, float(i % 11) * 0.5f, float(i % 5) + 0.25f};
    return v;
}

void BM_NormalizeArrayFast(benchmark::State& state) {
    std::vector<SgVec3> source = Vectors(4096), v;
    for (auto _ : state) {
        v = source;
        SgVec3::NormalizeArrayFast(v.data(), static_cast<uint32_t>(v.size()));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 4096);
}
BENCHMARK(BM_NormalizeArrayFast);

void BM_NormalizeExact(benchmark::State& state) {
    std::vector<SgVec3> source = Vectors(4096), v;
    for (auto _ : state) {
        v = source;
        for (SgVec3& x : v)
            x.Normalize();
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 4096);
}
BENCHMARK(BM_NormalizeExact);

void BM_TransformPointsScaled(benchmark::State& state) {
    std::vector<SgVec3> in = Vectors(4096), out(4096);
    SgMat3 m = SgMat3::Rotation(6, 0.7, 0.6, 0.8, 0);
    for (auto _ : state) {
        SgTransformPointsScaledRoutine(4096, in.data(), out.data(), m, 2.0f, SgVec3(1, 2, 3));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 4096);
}
BENCHMARK(BM_TransformPointsScaled);

}  // namespace
