// The level-of-detail builder against the mesh's own set-up: what the builder writes must rebuild
// into exactly the mesh it was given, and every level on the way must be a sound mesh.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "engine/animation/sg_clod.h"
#include "tools/writers/clod_builder.h"

namespace {

using Corner = std::tuple<float, float, float, float, float>;  // position, texture u and v
using Triangle = std::array<Corner, 3>;

// A triangle's corners from its lowest corner on, so equal triangles compare equal whatever
// corner they start at.
Triangle Canonical(Triangle t) {
    auto low = std::min_element(t.begin(), t.end());
    std::rotate(t.begin(), low, t.end());
    return t;
}

std::multiset<Triangle> InputTriangles(const ClodInputMesh& m) {
    std::multiset<Triangle> out;
    for (size_t i = 0; i < m.triangles.size(); i += 3) {
        Triangle t;
        for (int k = 0; k < 3; ++k) {
            const SgVec3& p = m.positions[m.triangles[i + k]];
            const SgVec3& uv = m.cornerTexture[i + k];
            t[k] = {p.x, p.y, p.z, uv.x, uv.y};
        }
        out.insert(Canonical(t));
    }
    return out;
}

std::multiset<Triangle> LevelTriangles(const SgClod& clod, const SgClodData& d) {
    std::multiset<Triangle> out;
    for (uint32_t i = 0; i < d.triangleCount; ++i) {
        Triangle t;
        for (int k = 0; k < 3; ++k) {
            uint16_t m = d.slotMap[d.triangles[3 * i + k]];
            const SgVec3& p = clod.Vertices()[m];
            const SgVec3& uv = clod.TextureSet(0)[m];
            t[k] = {p.x, p.y, p.z, uv.x, uv.y};
        }
        out.insert(Canonical(t));
    }
    return out;
}

// The counts the steps reach from the base.
std::vector<uint16_t> ReachableCounts(const SgClod& clod) {
    std::vector<uint16_t> counts = {clod.BaseTriangleCount()};
    for (uint32_t i = 0; i < clod.StepCount(); ++i)
        counts.push_back(static_cast<uint16_t>(counts.back() + (clod.Steps()[i].HasB() ? 2 : 1)));
    return counts;
}

// Corners name active vertices on drawn slots, the slot map leads back to each corner's slot,
// and adjacency is symmetric across shared edges.
void ExpectSoundLevel(const SgClod& clod, const SgClodData& d, const std::string& where) {
    SCOPED_TRACE(where);
    const SgClodVertex* v = clod.VertexRecords();
    uint16_t drawn = clod.SlotsInUse(d);
    auto idOf = [&](uint32_t t, int k) { return v[d.slotMap[d.triangles[3 * t + k]]].id; };
    for (uint32_t t = 0; t < d.triangleCount; ++t) {
        for (int k = 0; k < 3; ++k) {
            uint16_t slot = d.triangles[3 * t + k];
            ASSERT_LT(slot, drawn) << "triangle " << t;
            uint16_t m = d.slotMap[slot];
            ASSERT_LT(m, d.activeVertexCount) << "triangle " << t;
            ASSERT_EQ(v[m].slot, slot) << "triangle " << t;
            uint16_t n = d.adjacency[3 * t + k];
            if (n == 0xFFFF)
                continue;
            ASSERT_LT(n, d.triangleCount) << "triangle " << t;
            std::set<uint16_t> edge = {idOf(t, (k + 1) % 3), idOf(t, (k + 2) % 3)};
            bool back = false;
            for (int j = 0; j < 3; ++j)
                if (d.adjacency[3 * n + j] == t &&
                    std::set<uint16_t>{idOf(n, (j + 1) % 3), idOf(n, (j + 2) % 3)} == edge)
                    back = true;
            EXPECT_TRUE(back) << "triangle " << t << " corner " << k << " -> " << n;
        }
    }
}

struct OracleCase {
    const char* name;
    ClodInputMesh mesh;
};

class ClodOracle : public testing::TestWithParam<int> {
protected:
    static OracleCase Case(int i) {
        if (i == 0)
            return {"grid", GridMesh(6, 5, 3.0f)};
        return {"tube", TubeMesh(12, 20, 0.5f, 4.0f)};
    }
};

TEST_P(ClodOracle, RebuildsTheInputAndEveryLevelIsSound) {
    OracleCase c = Case(GetParam());
    ClodBuilt built;
    std::string error;
    ASSERT_TRUE(BuildClod(c.mesh, {}, built, &error)) << error;
    SgRef<SgClod> clod = MakeClod(built);
    ASSERT_TRUE(clod);
    SgClodData& d = *clod->SharedLevel();
    ASSERT_EQ(clod->FullTriangleCount(), c.mesh.triangles.size() / 3);
    EXPECT_LT(clod->BaseTriangleCount(), clod->FullTriangleCount() / 4) << "the builder hardly collapsed";
    EXPECT_EQ(LevelTriangles(*clod, d), InputTriangles(c.mesh));
    ExpectSoundLevel(*clod, d, "full");

    std::vector<uint16_t> base(built.baseCorners);
    std::vector<uint16_t> reach = ReachableCounts(*clod);
    uint16_t full = clod->FullTriangleCount(), lowest = clod->BaseTriangleCount();
    // Down one target at a time from full to the base, then up again.
    SgWorldState* state = clod->CurrentState();
    for (int dir = 0; dir < 2; ++dir) {
        for (int i = 0; i <= full - lowest; ++i) {
            uint16_t target = static_cast<uint16_t>(dir == 0 ? full - i : lowest + i);
            uint16_t before = d.triangleCount;
            clod->SetTriangleCount(state, target);
            uint16_t expected = before;
            for (uint16_t r : reach)
                if (target > before ? (r <= target && r >= before && r > expected)
                                    : (r >= target && r <= before && r < expected))
                    expected = r;
            ASSERT_EQ(d.triangleCount, expected) << "target " << target << " from " << before;
            ExpectSoundLevel(*clod, d, "target " + std::to_string(target));
        }
        if (dir == 0) {
            ASSERT_EQ(d.triangleCount, lowest);
            std::vector<uint16_t> corners(d.triangles.get(), d.triangles.get() + 3 * lowest);
            std::vector<uint16_t> adjacency(d.adjacency.get(), d.adjacency.get() + 3 * lowest);
            EXPECT_EQ(corners, built.baseCorners);
            EXPECT_EQ(adjacency, built.baseAdjacency);
        }
    }
    EXPECT_EQ(LevelTriangles(*clod, d), InputTriangles(c.mesh));
}

TEST_P(ClodOracle, RandomWalksEndWhereAStraightClimbEnds) {
    OracleCase c = Case(GetParam());
    ClodBuilt built;
    ASSERT_TRUE(BuildClod(c.mesh, {}, built, nullptr));
    SgRef<SgClod> walked = MakeClod(built), straight = MakeClod(built);
    ASSERT_TRUE(walked && straight);
    std::mt19937 random(1234u + GetParam());
    uint16_t full = walked->FullTriangleCount();
    for (int round = 0; round < 40; ++round) {
        for (int hop = 0; hop < 5; ++hop)
            walked->SetTriangleCount(walked->CurrentState(), static_cast<uint16_t>(random() % (full + 10)));
        uint16_t target = static_cast<uint16_t>(random() % (full + 10));
        walked->SetTriangleCount(walked->CurrentState(), target);
        const SgClodData& w = *walked->SharedLevel();
        straight->SetTriangleCount(straight->CurrentState(), 0);
        // The straight climb stops at the walked count, which a climb also reaches.
        straight->SetTriangleCount(straight->CurrentState(), w.triangleCount);
        const SgClodData& s = *straight->SharedLevel();
        ASSERT_EQ(s.triangleCount, w.triangleCount) << "round " << round;
        ASSERT_EQ(s.stepIndex, w.stepIndex);
        ASSERT_EQ(s.activeVertexCount, w.activeVertexCount);
        size_t n = 3u * w.triangleCount;
        ASSERT_TRUE(std::equal(w.triangles.get(), w.triangles.get() + n, s.triangles.get())) << "round " << round;
        ASSERT_TRUE(std::equal(w.adjacency.get(), w.adjacency.get() + n, s.adjacency.get())) << "round " << round;
        uint16_t drawn = walked->SlotsInUse(w);
        ASSERT_TRUE(std::equal(w.slotMap.get(), w.slotMap.get() + drawn, s.slotMap.get())) << "round " << round;
    }
}

INSTANTIATE_TEST_SUITE_P(Meshes, ClodOracle, testing::Values(0, 1),
                         [](const testing::TestParamInfo<int>& info) { return info.param ? "Tube" : "Grid"; });

TEST(ClodBuilder, TubeSeamMakesSeamCopiesAndOutputIsReproducible) {
    ClodInputMesh tube = TubeMesh(12, 20, 0.5f, 4.0f);
    ClodBuilt a, b;
    ASSERT_TRUE(BuildClod(tube, {}, a, nullptr));
    ASSERT_TRUE(BuildClod(tube, {}, b, nullptr));
    uint32_t copies = 0;
    for (const SgClodStep& s : a.steps)
        copies += s.flags >> 10;
    EXPECT_GT(copies, 0u) << "no step splits a seam vertex";
    ASSERT_EQ(a.steps.size(), b.steps.size());
    for (size_t i = 0; i < a.steps.size(); ++i)
        EXPECT_EQ(std::memcmp(&a.steps[i], &b.steps[i], sizeof(SgClodStep)), 0);
    EXPECT_EQ(a.baseCorners, b.baseCorners);
}

TEST(ClodBuilder, RefusesMeshesItCannotRepresent) {
    ClodInputMesh fan = GridMesh(1, 1, 1.0f);
    // A third triangle on the diagonal edge.
    fan.positions.push_back({0.5f, 0.5f, 1.0f});
    for (uint16_t v : {uint16_t(0), uint16_t(3), uint16_t(4)}) {
        fan.triangles.push_back(v);
        fan.cornerTexture.push_back({});
    }
    ClodBuilt out;
    std::string error;
    EXPECT_FALSE(BuildClod(fan, {}, out, &error));
    EXPECT_FALSE(error.empty());
}

// The built base and steps in the level-of-detail fuzzer's input layout.
std::vector<uint8_t> FuzzInput(const ClodBuilt& b) {
    std::vector<uint8_t> out;
    auto word = [&](uint16_t v) {
        out.push_back(static_cast<uint8_t>(v));
        out.push_back(static_cast<uint8_t>(v >> 8));
    };
    word(static_cast<uint16_t>(b.positions.size()));
    word(b.fullTriangleCount);
    word(b.nextId);
    word(static_cast<uint16_t>(b.baseIds.size()));
    word(static_cast<uint16_t>(b.baseCorners.size() / 3));
    word(static_cast<uint16_t>(b.steps.size()));
    out.push_back(static_cast<uint8_t>((b.textureCoords.empty() ? 0 : 1) | (b.colors.empty() ? 0 : 2)));
    for (uint16_t id : b.baseIds)
        word(id);
    for (size_t i = 0; i < b.baseCorners.size(); i += 3) {
        for (int k = 0; k < 3; ++k)
            word(b.baseCorners[i + k]);
        for (int k = 0; k < 3; ++k)
            word(b.baseAdjacency[i + k]);
    }
    for (const SgClodStep& s : b.steps) {
        word(s.vertexId);
        for (uint16_t t : s.neighbours)
            word(t);
        word(s.flags);
    }
    return out;
}

// The fuzzer's seeds are the grid and the tube as the builder makes them now
// (UPDATE_SGF_SEEDS=1 rewrites them).
TEST(ClodBuilder, FuzzSeedsMatchTheBuilder) {
    const std::pair<const char*, ClodInputMesh> meshes[] = {{"grid", GridMesh(6, 5, 3.0f)},
                                                            {"tube", TubeMesh(12, 20, 0.5f, 4.0f)}};
    for (const auto& [name, mesh] : meshes) {
        ClodBuilt built;
        ASSERT_TRUE(BuildClod(mesh, {}, built, nullptr));
        std::vector<uint8_t> bytes = FuzzInput(built);
        std::string path = std::string(CLOD_SEED_DIR) + "/" + name + ".bin";
        const char* update = std::getenv("UPDATE_SGF_SEEDS");
        if (update && *update == '1') {
            std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                        static_cast<std::streamsize>(bytes.size()));
            continue;
        }
        std::ifstream in(path, std::ios::binary);
        ASSERT_TRUE(in.good()) << path << " is missing: run with UPDATE_SGF_SEEDS=1";
        std::vector<uint8_t> seed((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(seed, bytes) << path;
    }
}

}  // namespace
