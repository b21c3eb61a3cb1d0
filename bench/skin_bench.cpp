// Skinned transforms, the per-frame cost of skinned figures: an indexed skin of 4,096 vertices
// with four influences each over 32 bones that move every frame, with normals recomputed or
// blended, beside the rigid transform of the same vertices; and the level-of-detail skin of a
// 64 x 64 grid at full and at half detail.

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "engine/animation/sg_3ds_skin.h"
#include "engine/animation/sg_clod_skin.h"
#include "tools/writers/clod_builder.h"

namespace {

constexpr uint32_t kSide = 64;
constexpr uint32_t kBones = 32;

struct Bones {
    std::vector<SgRef<Sg3dsBone>> bones;
    Bones() {
        for (uint32_t i = 0; i < kBones; ++i)
            bones.emplace_back(new Sg3dsBone);
    }
    // Every bone a little elsewhere, so every vertex is blended again.
    void Move(int frame) {
        for (uint32_t i = 0; i < kBones; ++i) {
            float a = 0.01f * float(frame + i);
            bones[i]->boneRotation = SgMat3::Rotation(5, a);
            bones[i]->boneTranslation = {std::sin(a), 0, 0};
        }
    }
    Sg3dsBone* At(uint32_t i) const { return bones[i % kBones].Get(); }
};

std::vector<std::vector<SgSkinInfluence>> FourEach(const SgVec3* v, uint32_t count, const Bones& b) {
    std::vector<std::vector<SgSkinInfluence>> lists(count);
    for (uint32_t i = 0; i < count; ++i)
        for (uint32_t k = 0; k < 4; ++k)
            lists[i].push_back({0.25f, v[i], b.At(i * 7 + k * 5)});
    return lists;
}

SgRef<Sg3dsSkin> GridSkin(const Bones& b) {
    ClodInputMesh grid = GridMesh(kSide - 1, kSide - 1, 4.0f);
    std::vector<SgVec3> normals(grid.positions.size(), SgVec3(0, 0, 1));
    SgRef<Sg3dsSkin> skin(new Sg3dsSkin(static_cast<uint16_t>(grid.positions.size()), grid.positions.data(),
                                        normals.data(), static_cast<uint16_t>(grid.triangles.size() / 3),
                                        grid.triangles.data(), nullptr, nullptr));
    skin->SetWeights(FourEach(grid.positions.data(), skin->VertexCount(), b));
    return skin;
}

void SkinTransform(benchmark::State& state, uint8_t recompute) {
    Bones b;
    SgRef<Sg3dsSkin> skin = GridSkin(b);
    skin->Skin().recomputeNormals = recompute;
    SgWorldState* ws = skin->CurrentState();
    int frame = 0;
    for (auto _ : state) {
        b.Move(++frame);
        skin->TransformToWorld(ws);
        benchmark::DoNotOptimize(SgGeometry::GeometryState(ws)->worldVertices[7]);
    }
    state.SetItemsProcessed(state.iterations() * skin->VertexCount());
}

void BM_SkinTransformNormalsBlended(benchmark::State& state) { SkinTransform(state, 0); }
void BM_SkinTransformNormalsRecomputed(benchmark::State& state) { SkinTransform(state, 1); }

// The reference: the same vertices and normals through one rigid transform.
void BM_RigidTransformPointsAndNormals(benchmark::State& state) {
    ClodInputMesh grid = GridMesh(kSide - 1, kSide - 1, 4.0f);
    size_t n = grid.positions.size();
    std::vector<SgVec3> normals(n, SgVec3(0, 0, 1)), outP(n), outN(n);
    SgMat3 r = SgMat3::Rotation(5, 0.3);
    for (auto _ : state) {
        SgMat3::TransformPointsAndNormals(static_cast<uint32_t>(n), grid.positions.data(), normals.data(), outP.data(),
                                          outN.data(), r, SgVec3(1, 2, 3));
        benchmark::DoNotOptimize(outP[7]);
    }
    state.SetItemsProcessed(state.iterations() * n);
}

void ClodSkinTransform(benchmark::State& state, bool half) {
    Bones b;
    ClodBuilt built;
    BuildClod(GridMesh(kSide - 1, kSide - 1, 4.0f), {}, built, nullptr);
    SgRef<SgClodSkin> skin(new SgClodSkin);
    skin->SetMesh(built.Source());
    skin->ComputeVertexNormals();
    skin->SetWeights(FourEach(skin->Vertices(), skin->VertexCount(), b));
    skin->Skin().recomputeNormals = 0;
    SgWorldState* ws = skin->CurrentState();
    skin->SetTriangleCount(ws, half ? skin->FullTriangleCount() / 2 : 0xFFFF);
    uint16_t slots = skin->SlotsInUse(*skin->LevelOf(ws));
    int frame = 0;
    for (auto _ : state) {
        b.Move(++frame);
        skin->TransformToWorld(ws);
        benchmark::DoNotOptimize(SgGeometry::GeometryState(ws)->worldVertices[7]);
    }
    state.SetItemsProcessed(state.iterations() * slots);
    state.counters["slots"] = slots;
}

void BM_ClodSkinTransformFull(benchmark::State& state) { ClodSkinTransform(state, false); }
void BM_ClodSkinTransformHalf(benchmark::State& state) { ClodSkinTransform(state, true); }

BENCHMARK(BM_SkinTransformNormalsBlended);
BENCHMARK(BM_SkinTransformNormalsRecomputed);
BENCHMARK(BM_RigidTransformPointsAndNormals);
BENCHMARK(BM_ClodSkinTransformFull);
BENCHMARK(BM_ClodSkinTransformHalf);

}  // namespace
