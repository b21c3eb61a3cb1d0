// Collision between triangle meshes (the box tree against all pairs of the moving triangle test)
// and the depth ordering of a deferral pass.

#include <benchmark/benchmark.h>

#include <array>
#include <memory>
#include <vector>

#include "engine/geometry/sg_depth_cluster_set.h"
#include "engine/geometry/sg_moving_triangle.h"
#include "engine/geometry/sg_triangle_collider.h"

namespace {

// A bumpy grid of side x side quads (two triangles each) around the origin, lifted by z0.
struct Grid {
    std::vector<SgVec3> model, world;
    std::vector<uint16_t> indices;
    Grid(int side, float z0) {
        for (int y = 0; y <= side; ++y)
            for (int x = 0; x <= side; ++x)
                model.push_back({float(x) - side * 0.5f, float(y) - side * 0.5f, z0 + 0.2f * float((x * 7 + y * 3) % 5)});
        world = model;
        auto at = [side](int x, int y) { return static_cast<uint16_t>(y * (side + 1) + x); };
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x) {
                indices.insert(indices.end(), {at(x, y), at(x + 1, y), at(x, y + 1)});
                indices.insert(indices.end(), {at(x + 1, y), at(x + 1, y + 1), at(x, y + 1)});
            }
    }
    uint16_t Triangles() const { return static_cast<uint16_t>(indices.size() / 3); }
    SgTriangleCollider* Collider() const {
        return new SgTriangleCollider(Triangles(), indices.data(), static_cast<uint32_t>(model.size()), model.data(),
                                      world.data(), 1);
    }
};

void BM_ColliderBuild(benchmark::State& state) {
    Grid g(static_cast<int>(state.range(0)), 0);
    for (auto _ : state) {
        std::unique_ptr<SgTriangleCollider> c(g.Collider());
        benchmark::DoNotOptimize(c->Root());
    }
    state.SetItemsProcessed(state.iterations() * g.Triangles());
}
BENCHMARK(BM_ColliderBuild)->Arg(8)->Arg(32);

// A small moving mesh grazing a larger one, tested down to the leaves.
void BM_ColliderTest(benchmark::State& state) {
    Grid floor(static_cast<int>(state.range(0)), 0);
    Grid piece(2, 1.5f);
    std::unique_ptr<SgTriangleCollider> f(floor.Collider()), p(piece.Collider());
    p->velocity = {0, 0, -1};
    p->timeStep = 1.0f;
    for (auto _ : state) {
        p->SetTransform(SgIdentityMat3, {0.3f, 0.2f, 0}, 1.0f);
        benchmark::DoNotOptimize(p->Test(f.get(), -1, -1));
    }
}
BENCHMARK(BM_ColliderTest)->Arg(8)->Arg(32);

// The same pair through every triangle pair, as collision mode 1 does.
void BM_AllPairsTest(benchmark::State& state) {
    Grid floor(static_cast<int>(state.range(0)), 0);
    Grid piece(2, 1.5f);
    SgVec3 still, down{0, 0, -1};
    for (auto _ : state) {
        bool hit = false;
        for (uint16_t i = 0; i < piece.Triangles() && !hit; ++i) {
            const uint16_t* a = &piece.indices[i * 3];
            for (uint16_t j = 0; j < floor.Triangles() && !hit; ++j) {
                const uint16_t* b = &floor.indices[j * 3];
                SgMovingTriangleTest t(&piece.world[a[0]], &piece.world[a[1]], &piece.world[a[2]], &down,
                                       &floor.world[b[0]], &floor.world[b[1]], &floor.world[b[2]], &still);
                hit = t.TestWithinStep(1.0f) != 0;
            }
        }
        benchmark::DoNotOptimize(hit);
    }
}
BENCHMARK(BM_AllPairsTest)->Arg(8)->Arg(32);

// Clustering and ordering n blended objects scattered in front of the eye: a frame's end of the
// deferral pass without the drawing.
void BM_DepthOrder(benchmark::State& state) {
    int n = static_cast<int>(state.range(0));
    std::vector<SgBoundSphere> bounds(n);
    std::vector<const SgBoundSphere*> boundPointers;
    std::vector<std::array<float, 6>> boxes;
    std::vector<char> tokens(n);
    std::vector<SgDeferredDrawEntry*> entries;  // never looked into: distinct addresses suffice
    uint32_t seed = 7;
    auto next = [&seed](float lo, float hi) {
        seed = seed * 1664525u + 1013904223u;
        return lo + (hi - lo) * float(seed >> 8) / float(1u << 24);
    };
    for (int i = 0; i < n; ++i) {
        SgBoundSphere& b = bounds[i];
        b.centre = {next(-1, 1), next(-1, 1), next(0.1f, 1)};
        b.radius = next(0.02f, 0.2f);
        const SgVec3& c = b.centre;
        float r = b.radius;
        boundPointers.push_back(&b);
        entries.push_back(reinterpret_cast<SgDeferredDrawEntry*>(&tokens[i]));
        boxes.push_back({c.x - r, c.y - r, c.z - r, c.x + r, c.y + r, c.z + r});
    }
    SgDepthClusterSet set;
    for (auto _ : state) {
        set.BuildFromBoxes(n, entries.data(), reinterpret_cast<const float(*)[6]>(boxes.data()), boundPointers.data(),
                           SgZeroVec3);
        set.Begin();
        while (SgDeferredDrawEntry* e = set.Next())
            benchmark::DoNotOptimize(e);
        set.Clear();
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_DepthOrder)->Arg(16)->Arg(256);

}  // namespace
