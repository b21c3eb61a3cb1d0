// The vertex pipeline, by the vertices and indices the device is handed: transform, sharing,
// flushes, face tests, colour modes, fog, clipping, lines, particles and screen polygons.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include <xmmintrin.h>

#include "engine/core/sg_light.h"
#include "engine/core/sg_property.h"
#include "tests/support/render/render_fixture.h"

namespace {

using platform::dd::TracedVertex;

constexpr float kTolerance = 1e-3f;

class RenderPipelineTest : public RenderFrameTest {
protected:
    // Vertex colours straight through (mode 1), no fog.
    bool StartPlain(uint32_t maxVertices = 0) {
        if (maxVertices)
            EditProfile([&](platform::dd::CapsProfile& p) { p.maxVertexCount = maxVertices; });
        if (!Start())
            return false;
        r->SetVertexColorProperty(1);
        return true;
    }
    SgRef<SgMaterialProperty> Material(SgRgb ambient, float alpha = 1.0f) {
        SgRef<SgMaterialProperty> m(new SgMaterialProperty);
        m->ambient = ambient;
        m->alpha = alpha;
        r->SetMaterial(m.Get());
        return m;
    }
    int Triangle(const SgVec3 (&v)[3], const SgRgba* colors = nullptr, const SgVec3* normals = nullptr) {
        return r->DrawTriangles(1, v, normals, nullptr, 0, nullptr, colors, bound, camera);
    }
    SgBoundSphere bound;
    SgVec3 camera;
};

void ExpectAt(const TracedVertex& v, const SgVec3& p) {
    const auto s = RenderFrameTest::Project(p);
    EXPECT_NEAR(v.sx, s.sx, kTolerance);
    EXPECT_NEAR(v.sy, s.sy, kTolerance);
    EXPECT_NEAR(v.sz, s.sz, kTolerance);
    EXPECT_NEAR(v.rhw, s.rhw, 1e-6f);
}

TEST_F(RenderPipelineTest, TransformsToHandComputedScreenPositions) {
    ASSERT_TRUE(StartPlain());
    const SgVec3 v[3] = {{1, 2, -4}, {-3, 0.5f, -10}, {0, -1, -2}};
    const SgRgba c[3] = {{1, 0.5f, 0.25f, 1}, {0, 0, 0, 0.5f}, {0.2f, 0.4f, 0.6f, 0.8f}};
    ASSERT_EQ(Triangle(v, c), 0);
    auto draws = Draws();
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0]->a, D3DPT_TRIANGLELIST);
    EXPECT_EQ(draws[0]->b, 0x1C4u);
    EXPECT_EQ(draws[0]->c, 0xCu);  // no clipping, no extents
    auto out = Vertices(*draws[0]);
    ASSERT_EQ(out.size(), 3u);
    for (int i = 0; i < 3; ++i)
        ExpectAt(out[i], v[i]);
    // Hand computed: (1, 2, -4) lands at (499.9375, 150.125), depth 0.719697, 1/w 0.25.
    EXPECT_NEAR(out[0].sx, 499.9375f, kTolerance);
    EXPECT_NEAR(out[0].sy, 150.125f, kTolerance);
    EXPECT_NEAR(out[0].sz, 0.719697f, kTolerance);
    // Colours truncated, alpha on top; the specular word carries fog 255 and no specular.
    EXPECT_EQ(out[0].diffuse, 0xFFFF7F3Fu);
    EXPECT_EQ(out[1].diffuse, 0x7F000000u);
    EXPECT_EQ(out[2].diffuse, 0xCC336699u);
    for (const TracedVertex& t : out)
        EXPECT_EQ(t.specular, 0xFF000000u);
    EXPECT_EQ(draws[0]->indices, (std::vector<WORD>{0, 1, 2}));
}

TEST_F(RenderPipelineTest, ASharedVertexIsTransformedOnce) {
    ASSERT_TRUE(StartPlain());
    const SgVec3 v[4] = {{0, 0, -5}, {1, 0, -5}, {0, 1, -5}, {1, 1, -5}};
    const uint16_t idx[6] = {0, 1, 2, 2, 1, 3};
    ASSERT_EQ(r->DrawTriShape(2, 4, v, nullptr, nullptr, 0, nullptr, nullptr, idx, bound, camera), 0);
    auto draws = Draws();
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(Vertices(*draws[0]).size(), 4u);
    EXPECT_EQ(draws[0]->indices, (std::vector<WORD>{0, 1, 2, 2, 1, 3}));
}

TEST_F(RenderPipelineTest, AFillReachingTheLimitFlushesAndTheNextFillTransformsAgainWithTagTwo) {
    ASSERT_TRUE(StartPlain(8));  // N = 8: the limit is 5 vertices
    SgVec3 v[6];
    for (int i = 0; i < 6; ++i)
        v[i] = {static_cast<float>(i), static_cast<float>(i % 2), -5};
    const uint16_t idx[12] = {0, 1, 2, 1, 2, 3, 2, 3, 4, 3, 4, 5};
    ASSERT_EQ(r->DrawTriShape(4, 6, v, nullptr, nullptr, 0, nullptr, nullptr, idx, bound, camera), 0);
    auto draws = Draws();
    ASSERT_EQ(draws.size(), 2u);
    EXPECT_EQ(Vertices(*draws[0]).size(), 5u);
    EXPECT_EQ(draws[0]->indices, (std::vector<WORD>{0, 1, 2, 1, 2, 3, 2, 3, 4}));
    // Vertices 3 and 4 come again into the other buffer.
    auto second = Vertices(*draws[1]);
    ASSERT_EQ(second.size(), 3u);
    ExpectAt(second[0], v[3]);
    ExpectAt(second[2], v[5]);
    EXPECT_EQ(draws[1]->indices, (std::vector<WORD>{0, 1, 2}));
    const SgVertexWorkRecord* records = r->Context()->work.Records();
    EXPECT_EQ(records[3].emittedTag, 2);
    EXPECT_EQ(records[0].emittedTag, 1);
}

TEST_F(RenderPipelineTest, TrianglesBeyondTheIndexRoomFlushToo) {
    ASSERT_TRUE(StartPlain(8));  // index room 16 triangles
    const SgVec3 v[3] = {{0, 0, -5}, {1, 0, -5}, {0, 1, -5}};
    std::vector<uint16_t> idx;
    for (int i = 0; i < 20; ++i)
        idx.insert(idx.end(), {0, 1, 2});
    ASSERT_EQ(r->DrawTriShape(20, 3, v, nullptr, nullptr, 0, nullptr, nullptr, idx.data(), bound, camera), 0);
    auto draws = Draws();
    ASSERT_EQ(draws.size(), 2u);
    EXPECT_EQ(draws[0]->indices.size(), 48u);
    EXPECT_EQ(draws[1]->indices.size(), 12u);
    EXPECT_EQ(Vertices(*draws[1]).size(), 3u);
}

// A draw larger than the arrays grows them; when that growth finds no memory the draw fails,
// the array is left empty (capacity 0, no pointer), and the next draw, however small, grows it
// again instead of writing through the lost array.
struct GrowthCase {
    const char* name;
    uint32_t vertices, triangles;
    bool recordsFail;  // else the triangle list's growth fails
};

class RenderGrowthTest : public RenderPipelineTest, public testing::WithParamInterface<GrowthCase> {
protected:
    void TearDown() override {
        SgFailRenderGrowths(0);
        RenderPipelineTest::TearDown();
    }
    int Shape(uint32_t vertices, uint32_t count) {
        std::vector<SgVec3> v(vertices);
        for (uint32_t i = 0; i < vertices; ++i)
            v[i] = {static_cast<float>(i % 3), static_cast<float>(i % 2), -5};
        std::vector<uint16_t> idx;
        for (uint32_t i = 0; i < count; ++i)
            idx.insert(idx.end(), {0, 1, 2});
        return r->DrawTriShape(count, vertices, v.data(), nullptr, nullptr, 0, nullptr, nullptr, idx.data(),
                               bound, camera);
    }
};

TEST_P(RenderGrowthTest, AFailedGrowthLeavesAnEmptyArrayAndTheNextDrawGrowsIt) {
    const GrowthCase& c = GetParam();
    ASSERT_TRUE(StartPlain());
    SgD3DRenderContext* ctx = r->Context();
    SgFailRenderGrowths(1);
    EXPECT_EQ(Shape(c.vertices, c.triangles), 1);
    EXPECT_TRUE(Draws().empty());
    if (c.recordsFail) {
        EXPECT_EQ(ctx->work.Capacity(), 0u);
        EXPECT_EQ(ctx->work.Records(), nullptr);
    } else {
        EXPECT_EQ(ctx->triangleCapacity, 0u);
        EXPECT_EQ(ctx->triangles, nullptr);
    }
    // A three-vertex triangle fits what the arrays held before: it must grow them, not use them.
    EXPECT_EQ(Shape(3, 1), 0);
    ASSERT_EQ(Draws().size(), 1u);
    EXPECT_EQ(Vertices(*Draws()[0]).size(), 3u);
    EXPECT_EQ(Shape(c.vertices, c.triangles), 0);
    EXPECT_EQ(Draws().size(), 2u);
    EXPECT_EQ(ctx->work.Capacity(), c.recordsFail ? c.vertices + 64 : 256u);
    EXPECT_EQ(ctx->triangleCapacity, c.recordsFail ? 256u : c.triangles + 64);
}

INSTANTIATE_TEST_SUITE_P(Arrays, RenderGrowthTest,
                         testing::Values(GrowthCase{"Records", 300, 1, true},
                                         GrowthCase{"TriangleList", 3, 300, false}),
                         [](const testing::TestParamInfo<GrowthCase>& i) { return std::string(i.param.name); });

TEST_F(RenderPipelineTest, TheTagComingRoundNeverReusesAnOldCopy) {
    ASSERT_TRUE(StartPlain(2));  // taken as N = 4: every triangle after the first flushes
    constexpr int kTriangles = 300;
    std::vector<SgVec3> v;
    std::vector<uint16_t> idx;
    for (int i = 0; i < kTriangles; ++i) {
        const float x = static_cast<float>(i % 20) * 0.1f - 1, y = static_cast<float>(i / 20) * 0.1f - 1;
        v.insert(v.end(), {{x, y, -5}, {x + 0.05f, y, -5}, {x, y + 0.05f, -5}});
        idx.insert(idx.end(), {static_cast<uint16_t>(3 * i), static_cast<uint16_t>(3 * i + 1),
                               static_cast<uint16_t>(3 * i + 2)});
    }
    ASSERT_EQ(r->DrawTriShape(kTriangles, 3 * kTriangles, v.data(), nullptr, nullptr, 0, nullptr, nullptr,
                              idx.data(), bound, camera),
              0);
    auto draws = Draws();
    ASSERT_EQ(draws.size(), static_cast<size_t>(kTriangles));
    for (int i = 0; i < kTriangles; ++i) {
        auto out = Vertices(*draws[i]);
        ASSERT_EQ(out.size(), 3u) << "draw " << i;
        ExpectAt(out[0], v[3 * i]);
    }
}

// A vertex emitted into the first fill of a draw and used again 255 fills later, when the 8-bit
// tag has come round to the same value: its old copy is gone, so it is transformed again.
TEST_F(RenderPipelineTest, AVertexMetAgainWhenTheTagComesRoundIsTransformedAgain) {
    ASSERT_TRUE(StartPlain(2));  // taken as N = 4: every triangle after the first flushes
    constexpr int kTriangles = 256;  // fills with tags 1 to 255, then 1 again
    std::vector<SgVec3> v{{-1, -1, -5}};
    std::vector<uint16_t> idx;
    for (int i = 0; i < kTriangles; ++i) {
        const float x = static_cast<float>(i % 16) * 0.1f - 0.8f, y = static_cast<float>(i / 16) * 0.1f - 0.8f;
        const auto first = static_cast<uint16_t>(v.size());
        v.insert(v.end(), {{x, y, -5}, {x + 0.05f, y, -5}});
        // The first and the last triangle share vertex 0.
        const uint16_t shared = i == 0 || i == kTriangles - 1 ? 0 : static_cast<uint16_t>(v.size());
        if (shared != 0)
            v.push_back({x, y + 0.05f, -5});
        idx.insert(idx.end(), {shared, first, static_cast<uint16_t>(first + 1)});
    }
    ASSERT_EQ(r->DrawTriShape(kTriangles, static_cast<uint32_t>(v.size()), v.data(), nullptr, nullptr, 0, nullptr,
                              nullptr, idx.data(), bound, camera),
              0);
    auto draws = Draws();
    ASSERT_EQ(draws.size(), static_cast<size_t>(kTriangles));
    EXPECT_EQ(r->Driver()->batch.tag, 1) << "the last fill has the first fill's tag";
    auto last = Vertices(*draws.back());
    ASSERT_EQ(last.size(), 3u) << "the shared vertex written again";
    ExpectAt(last[0], v[0]);
    EXPECT_EQ(draws.back()->indices, (std::vector<WORD>{0, 1, 2}));
}

// Each fill goes into the other buffer of the pair from the one before it, so a new fill never
// locks the buffer the device was just handed: a draw of one fill switches the buffer, a draw
// that flushes once (two fills) comes back to it.
TEST_F(RenderPipelineTest, FillsTakeTheBuffersOfThePairInTurn) {
    ASSERT_TRUE(StartPlain(8));  // the limit is 5 vertices
    const SgVertexBatch& batch = r->Driver()->batch;
    IDirect3DVertexBuffer* const first = batch.CurrentBuffer();
    ASSERT_TRUE(first);
    const SgVec3 one[3] = {{0, 0, -5}, {1, 0, -5}, {0, 1, -5}};
    ASSERT_EQ(Triangle(one), 0);
    IDirect3DVertexBuffer* const second = batch.CurrentBuffer();
    ASSERT_TRUE(second);
    EXPECT_NE(second, first);
    ASSERT_EQ(Triangle(one), 0);
    EXPECT_EQ(batch.CurrentBuffer(), first);
    SgVec3 six[6];
    for (int i = 0; i < 6; ++i)
        six[i] = {static_cast<float>(i), static_cast<float>(i % 2), -5};
    const uint16_t idx[12] = {0, 1, 2, 1, 2, 3, 2, 3, 4, 3, 4, 5};
    ASSERT_EQ(r->DrawTriShape(4, 6, six, nullptr, nullptr, 0, nullptr, nullptr, idx, bound, camera), 0);
    ASSERT_EQ(Draws().size(), 4u);
    EXPECT_EQ(batch.CurrentBuffer(), first) << "two fills: one in each buffer";
}

TEST_F(RenderPipelineTest, FacePlanesDropTrianglesTurnedAwayOrEdgeOn) {
    ASSERT_TRUE(StartPlain());
    SgVec3 v[7];
    for (int i = 0; i < 7; ++i)
        v[i] = {static_cast<float>(i / 2), static_cast<float>(i % 2), -5};
    // Camera in model space at the origin: n . c = 0 against each plane's constant.
    const SgPlaneEq planes[5] = {{{0, 0, 1}, -1}, {{0, 0, 1}, 0}, {{0, 0, 1}, -1}, {{0, 0, -1}, 1}, {{0, 0, 1}, 1}};
    ASSERT_EQ(r->DrawTriStrip(5, v, nullptr, planes, 0, nullptr, nullptr, bound, camera), 0);
    auto draws = Draws();
    ASSERT_EQ(draws.size(), 1u);
    // Triangles 0 and 2 face the camera; 1 is edge-on, 3 and 4 face away. Odd triangles swap
    // their last two corners.
    EXPECT_EQ(draws[0]->indices, (std::vector<WORD>{0, 1, 2, 2, 3, 4}));
    auto out = Vertices(*draws[0]);
    ASSERT_EQ(out.size(), 5u);
    ExpectAt(out[3], v[3]);
    ExpectAt(out[4], v[4]);
}

TEST_F(RenderPipelineTest, AnIndexPastTheVerticesSkipsItsTriangle) {
    ASSERT_TRUE(StartPlain());
    const SgVec3 v[3] = {{0, 0, -5}, {1, 0, -5}, {0, 1, -5}};
    const uint16_t idx[9] = {0, 1, 3, 0, 1, 2, 65535, 0, 1};
    ASSERT_EQ(r->DrawTriShape(3, 3, v, nullptr, nullptr, 0, nullptr, nullptr, idx, bound, camera), 0);
    auto draws = Draws();
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0]->indices, (std::vector<WORD>{0, 1, 2}));
}

TEST_F(RenderPipelineTest, OutsideAFrameNothingIsDrawn) {
    ASSERT_TRUE(StartPlain());
    ASSERT_EQ(r->EndFrame(), 0);
    const SgVec3 v[3] = {{0, 0, -5}, {1, 0, -5}, {0, 1, -5}};
    EXPECT_EQ(Triangle(v), 0);
    EXPECT_TRUE(Draws().empty());
}

struct ColourCase {
    uint32_t mode;
    bool withColours;
    bool withMaterial;
    int result;
    uint32_t diffuse;  // of the first vertex
};

class RenderColourModeTest : public RenderPipelineTest, public testing::WithParamInterface<ColourCase> {};

TEST_P(RenderColourModeTest, ColoursTheVerticesByMode) {
    const ColourCase& c = GetParam();
    ASSERT_TRUE(Start());
    r->SetVertexColorProperty(c.mode);
    SgRef<SgMaterialProperty> m;
    if (c.withMaterial) {
        m = Material({0.5f, 0.25f, 1.0f}, 0.5f);
        m->emissive = {0.1f, 0.2f, 0.3f};
        m->revision++;
        r->SetMaterial(m.Get());
    }
    const SgVec3 v[3] = {{0, 0, -5}, {1, 0, -5}, {0, 1, -5}};
    const SgRgba colours[3] = {{0.5f, 0.5f, 0.5f, 0.5f}, {1, 1, 1, 1}, {1, 1, 1, 1}};
    // The caller's rounding (to nearest) is in force again afterwards, whatever the result.
    const uint32_t before = _mm_getcsr();
    EXPECT_EQ(Triangle(v, c.withColours ? colours : nullptr), c.result);
    EXPECT_EQ(_mm_getcsr(), before);
    auto draws = Draws();
    if (c.result != 0) {
        EXPECT_TRUE(draws.empty());
        return;
    }
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(Vertices(*draws[0])[0].diffuse, c.diffuse);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, RenderColourModeTest,
    testing::Values(ColourCase{0, true, true, 0, 0xFFFFFFFF},   // white, uncoloured
                    ColourCase{1, true, false, 0, 0x7F7F7F7F},  // vertex colours
                    ColourCase{1, false, false, 0, 0xFFFFFFFF},
                    ColourCase{2, true, true, 0, 0x7F7F3FFF},  // material ambient and alpha
                    ColourCase{2, true, false, 7, 0},
                    ColourCase{3, true, true, 0, 0x3F3F1F7F},  // vertex colour x material
                    ColourCase{3, false, true, 0, 0x7F7F3FFF},
                    ColourCase{3, false, false, 7, 0},
                    // Lit without lights: emissive plus nothing, material alpha.
                    ColourCase{4, true, true, 0, 0x7F19334C},
                    ColourCase{5, true, true, 0, 0x3F0C1926},  // times the vertex colour
                    ColourCase{6, true, true, 0, 0x3F99B2CC},  // plus the vertex colour
                    ColourCase{5, true, false, 7, 0},
                    ColourCase{9, true, true, 0, 0xFFFFFFFF}));  // modes from files above 6 read as 0

struct FogCase {
    const char* name;
    uint32_t kind;  // property kind: 0 depth, 1 range, 2 vertex alpha
    SgVec3 point;
    float alpha;
    uint32_t fog;
    uint32_t diffuseAlpha;
    float depth = 0.5f;
};

class RenderFogByteTest : public RenderPipelineTest, public testing::WithParamInterface<FogCase> {};

TEST_P(RenderFogByteTest, PacksTheFogByte) {
    const FogCase& c = GetParam();
    ASSERT_TRUE(StartPlain());
    r->SetFogProperty(1, c.depth, c.kind, {0, 0, 0});
    const SgVec3 v[3] = {c.point, {0, 0, -5}, {1, 0, -5}};
    const SgRgba colours[3] = {{1, 1, 1, c.alpha}, {1, 1, 1, 1}, {1, 1, 1, 1}};
    ASSERT_EQ(Triangle(v, colours), 0);
    auto draws = Draws();
    ASSERT_EQ(draws.size(), 1u);
    const TracedVertex t = Vertices(*draws[0])[0];
    EXPECT_EQ(t.specular >> 24, c.fog);
    EXPECT_EQ(t.diffuse >> 24, c.diffuseAlpha);
}

// Depth fog: 255 at far x (1 - 0.5) = 50 and nearer, 0 at 100, linear between. Range fog: in
// squared distance from the start 50.5 (100 - 99 x 0.5) to 100; a start behind the eye (100 -
// 99 x 1.5 = -48.5) counts its square as negative: (100^2 - 50^2) x 255 / (100^2 + 48.5^2).
INSTANTIATE_TEST_SUITE_P(
    Fog, RenderFogByteTest,
    testing::Values(FogCase{"DepthNear", 0, {0, 0, -10}, 1, 255, 255}, FogCase{"DepthAtFar", 0, {0, 0, -100}, 1, 0, 255},
                    FogCase{"DepthBeyond", 0, {0, 0, -150}, 1, 0, 255}, FogCase{"DepthMiddle", 0, {0, 0, -75}, 1, 127, 255},
                    FogCase{"DepthNaN", 0, {std::numeric_limits<float>::quiet_NaN(), 0, -75}, 1, 0, 255},
                    FogCase{"RangeNear", 1, {0, 0, -20}, 1, 255, 255}, FogCase{"RangeFar", 1, {0, 0, -100}, 1, 0, 255},
                    FogCase{"RangeStartBehindTheEye", 1, {0, 0, -50}, 1, 154, 255, 1.5f},
                    FogCase{"VertexAlpha64", 2, {0, 0, -10}, 64.0f / 255.0f, 191, 255},
                    FogCase{"VertexAlphaAboveOne", 2, {0, 0, -10}, 3.0f, 0, 255}),
    [](const testing::TestParamInfo<FogCase>& i) { return std::string(i.param.name); });

// A lit draw with specular on carries the specular level in each of red, green and blue of the
// specular word, under the fog byte: triangles and particles alike. The light shines along -z at
// faces turned to the eye; its specular half gives k = 127.5 x (E.R)^2 / |E|^2.
TEST_F(RenderPipelineTest, SpecularFillsEveryColourByteOfTheSpecularWord) {
    ASSERT_TRUE(Start());
    r->SetVertexColorProperty(4);
    SgRef<SgMaterialProperty> shiny(new SgMaterialProperty);
    shiny->specular = {0, 0, 1};
    r->SetMaterial(shiny.Get());
    r->SetSpecularProperty(1);
    SgRef<SgLight> sun(new SgLight);
    sun->SetType(SgLight::kDirectional);
    sun->worldDirection = {0, 0, -1};
    sun->specular = {0.5f, 0.5f, 0.5f};
    sun->attenuate = 0;
    r->UpdateLight(sun.Get(), 1);
    const SgVec3 v[3] = {{0, 0, -5}, {1, 0, -5}, {0, 1, -5}};
    const SgVec3 n[3] = {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}};
    ASSERT_EQ(Triangle(v, nullptr, n), 0);
    const SgVec3 centre[1] = {{0, 0, -10}};
    ASSERT_EQ(r->DrawParticles(1, centre, n, nullptr, 1.0f, nullptr, bound), 0);
    auto draws = Draws();
    ASSERT_EQ(draws.size(), 2u);
    auto triangle = Vertices(*draws[0]);
    ASSERT_EQ(triangle.size(), 3u);
    EXPECT_EQ(triangle[0].specular, 0xFF7F7F7Fu) << "straight back to the eye: 127";
    EXPECT_EQ(triangle[1].specular, 0xFF7A7A7Au) << "127.5 x 25 / 26";
    // A particle's fog byte is 0 without fog (the device's fog is off then).
    for (const TracedVertex& t : Vertices(*draws[1]))
        EXPECT_EQ(t.specular, 0x007F7F7Fu) << "each corner of the particle";
    r->RemoveLight(sun.Get());
}

TEST_F(RenderPipelineTest, ColoursAboveTheRangeAreClampedNotWrapped) {
    ASSERT_TRUE(StartPlain());
    const SgVec3 v[3] = {{0, 0, -5}, {1, 0, -5}, {0, 1, -5}};
    const SgRgba colours[3] = {{2, -1, std::numeric_limits<float>::quiet_NaN(), 1.5f}, {1, 1, 1, 1}, {1, 1, 1, 1}};
    ASSERT_EQ(Triangle(v, colours), 0);
    EXPECT_EQ(Vertices(*Draws()[0])[0].diffuse, 0xFFFF0000u);
}

// ---- Clipping ----

class RenderClipTest : public RenderPipelineTest {
protected:
    void Planes(std::vector<SgPlaneEq> p) {
        planes = std::move(p);
        pointers.clear();
        for (const SgPlaneEq& q : planes)
            pointers.push_back(&q);
        r->SetClipPlanes(pointers.data(), static_cast<uint32_t>(pointers.size()), 0, 0);
    }
    // The drawn triangles as triples of screen points.
    std::vector<std::vector<TracedVertex>> Triangles() const {
        std::vector<std::vector<TracedVertex>> out;
        for (const auto* d : Draws()) {
            auto v = Vertices(*d);
            for (size_t i = 0; i + 2 < d->indices.size(); i += 3)
                out.push_back({v[d->indices[i]], v[d->indices[i + 1]], v[d->indices[i + 2]]});
        }
        return out;
    }
    std::vector<SgPlaneEq> planes;
    std::vector<const SgPlaneEq*> pointers;
};

double SignedArea(const std::vector<TracedVertex>& t) {
    return (t[1].sx - t[0].sx) * (t[2].sy - t[0].sy) - (t[2].sx - t[0].sx) * (t[1].sy - t[0].sy);
}

TEST_F(RenderClipTest, APlaneCuttingOneCornerOffMakesTwoTrianglesOfTheSameWinding) {
    ASSERT_TRUE(StartPlain());
    Planes({{{-1, 0, 0}, -1}});  // inside: x <= 1
    const SgVec3 v[3] = {{-1, 0, -5}, {2, 0, -5}, {-1, 1, -5}};
    const SgRgba c[3] = {{0, 0, 0, 1}, {1, 1, 1, 1}, {0, 0, 0, 1}};
    ASSERT_EQ(Triangle(v, c), 0);
    auto tris = Triangles();
    ASSERT_EQ(tris.size(), 2u);
    const auto a = Project(v[0]), b = Project(v[1]), c2 = Project(v[2]);
    const double input = (b.sx - a.sx) * (c2.sy - a.sy) - (c2.sx - a.sx) * (b.sy - a.sy);
    for (const auto& t : tris) {
        EXPECT_GT(SignedArea(t) * input, 0.0) << "the input's winding is kept";
        for (const TracedVertex& p : t)
            EXPECT_LE(p.sx, Project({1, 0, -5}).sx + kTolerance);
    }
    // The crossing on edge a-b is a third of the way: its colour too.
    bool found = false;
    for (const auto& t : tris)
        for (const TracedVertex& p : t)
            if (std::fabs(p.sx - Project({1, 0, -5}).sx) < kTolerance && std::fabs(p.sy - 300) < kTolerance) {
                found = true;
                EXPECT_EQ(p.diffuse & 0xFF, 169u);  // 2/3 of 255 with truncating arithmetic
            }
    EXPECT_TRUE(found);
}

TEST_F(RenderClipTest, ThreePlanesCanMakeEightTriangles) {
    ASSERT_TRUE(StartPlain());
    // Each plane cuts one corner off every triangle reaching it.
    Planes({{{0, 1, 0}, -0.5f}, {{1, -1, 0}, -1.6f}, {{-1, -1, 0}, -1.6f}});
    const SgVec3 v[3] = {{0, -1, -5}, {2, 1, -5}, {-2, 1, -5}};
    ASSERT_EQ(Triangle(v), 0);
    EXPECT_EQ(Triangles().size(), 5u);
}

struct ClipCountCase {
    const char* name;
    std::vector<SgPlaneEq> planes;
    size_t triangles;
};

class RenderClipCountTest : public RenderClipTest, public testing::WithParamInterface<ClipCountCase> {};

TEST_P(RenderClipCountTest, PassesOnTheExpectedTriangles) {
    ASSERT_TRUE(StartPlain());
    Planes(GetParam().planes);
    const SgVec3 v[3] = {{0, 0, -5}, {1, 0, -5}, {0, 1, -5}};
    ASSERT_EQ(Triangle(v), 0);
    EXPECT_EQ(Triangles().size(), GetParam().triangles);
}

INSTANTIATE_TEST_SUITE_P(
    Counts, RenderClipCountTest,
    testing::Values(ClipCountCase{"AllInside", {{{0, 0, -1}, 1}, {{1, 0, 0}, -1}}, 1},
                    ClipCountCase{"OutsideOnePlane", {{{1, 0, 0}, -1}, {{-1, 0, 0}, 2}, {{0, 1, 0}, 3}}, 0},
                    ClipCountCase{"CornerOnThePlane", {{{-1, 0, 0}, -1}}, 1},
                    ClipCountCase{"TwoCornersOut", {{{1, 0, 0}, 0.5f}}, 1},
                    ClipCountCase{"OneCornerOut", {{{0, -1, 0}, -0.5f}}, 2}),
    [](const testing::TestParamInfo<ClipCountCase>& i) { return std::string(i.param.name); });

TEST_F(RenderClipTest, AMidpointCrossingHasTheMeanColour) {
    ASSERT_TRUE(StartPlain());
    Planes({{{-1, 0, 0}, 0}});  // inside: x <= 0
    const SgVec3 v[3] = {{-1, 0, -5}, {1, 0, -5}, {-1, 1, -5}};
    const SgRgba c[3] = {{0, 0.2f, 0, 1}, {1, 0.6f, 1, 1}, {0, 0, 0, 1}};
    ASSERT_EQ(Triangle(v, c), 0);
    bool found = false;
    for (const auto& t : Triangles())
        for (const TracedVertex& p : t)
            if (std::fabs(p.sx - 400) < kTolerance && std::fabs(p.sy - 300) < kTolerance) {
                found = true;
                EXPECT_EQ(p.diffuse, 0xFF7F667Fu);
            }
    EXPECT_TRUE(found);
}

// A fogged draw clipping a vertex that is not a number: its crossings are not numbers either,
// and the fog they carry stays the inside vertex's.
TEST_F(RenderClipTest, AFoggedCrossingThatIsNotANumberKeepsTheInsideFog) {
    ASSERT_TRUE(StartPlain());
    r->SetFogProperty(1, 0.5f, 0, {0, 0, 0});
    Planes({{{-1, 0, 0}, -1}});  // inside: x <= 1
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const SgVec3 v[3] = {{-1, 0, -5}, {nan, 0, -5}, {-1, 1, -5}};
    EXPECT_EQ(Triangle(v), 0);

    SgD3DRenderContext* ctx = r->Context();
    ctx->fog.on = 1;
    ctx->SelectClipInterpolator();
    SgVertexWorkRecord in{}, out{}, made{};
    in.particleFog = 200;
    out.particleFog = 10;
    ctx->interpolator(1, -1, in, out, made);
    EXPECT_EQ(made.particleFog, 105);
    ctx->interpolator(1, nan, in, out, made);
    EXPECT_EQ(made.particleFog, 200);
}

// ---- Lines ----

TEST_F(RenderClipTest, AClosedLineSetDrawsEveryLineAndNeverFogsThem) {
    ASSERT_TRUE(StartPlain());
    r->SetFogProperty(1, 0.5f, 0, {0, 0, 0});
    const SgVec3 v[4] = {{0, 0, -5}, {1, 0, -5}, {1, 1, -5}, {0, 1, -5}};
    const SgRgba c[4] = {{1, 0, 0, 1}, {0, 1, 0, 1}, {0, 0, 1, 1}, {1, 1, 1, 1}};
    const uint8_t connected[4] = {1, 1, 1, 1};
    ASSERT_EQ(r->DrawLines(4, v, nullptr, c, connected, bound), 0);
    auto draws = Draws();
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0]->a, D3DPT_LINELIST);
    auto out = Vertices(*draws[0]);
    ASSERT_EQ(out.size(), 8u);
    ExpectAt(out[6], v[3]);
    ExpectAt(out[7], v[0]);
    EXPECT_EQ(out[0].diffuse, 0xFFFF0000u);
    for (const TracedVertex& t : out)
        EXPECT_EQ(t.specular, 0xFF000000u);
}

TEST_F(RenderClipTest, APolylineIsClippedFromEachLinesOwnEnds) {
    ASSERT_TRUE(StartPlain());
    Planes({{{-1, 0, 0}, -1}});  // inside: x <= 1
    // In, out, in: the middle vertex lies outside and is shared by both lines.
    const SgVec3 v[3] = {{0, 0, -5}, {3, 1, -5}, {0, 2, -5}};
    const uint8_t connected[3] = {1, 1, 0};
    ASSERT_EQ(r->DrawLines(3, v, nullptr, nullptr, connected, bound), 0);
    auto out = Vertices(*Draws()[0]);
    ASSERT_EQ(out.size(), 4u);
    ExpectAt(out[0], v[0]);
    ExpectAt(out[1], {1, 1.0f / 3, -5});
    ExpectAt(out[2], {1, 5.0f / 3, -5});  // not the crossing made for the first line
    ExpectAt(out[3], v[2]);
}

// ---- Particles ----

TEST_F(RenderPipelineTest, ParticlesBecomeQuadsAndOnesTouchingTheBorderAreDropped) {
    ASSERT_TRUE(StartPlain());
    // Size 1 at depth 10: half size 2 x 399.75 x 1 x 1 / 2 / 10 = 39.975 pixels.
    const SgVec3 p[3] = {{0, 0, -10}, {10.0f - 0.5f, 0, -10}, {-8.0f, 0, -10}};
    const SgRgba c[3] = {{1, 0, 0, 1}, {0, 1, 0, 1}, {0, 0, 1, 1}};
    const float sizes[3] = {1, 1, 1};
    ASSERT_EQ(r->DrawParticles(3, p, nullptr, c, 1.0f, sizes, bound), 0);
    auto draws = Draws();
    ASSERT_EQ(draws.size(), 1u);
    auto out = Vertices(*draws[0]);
    ASSERT_EQ(out.size(), 8u);  // the second reaches past the right border
    const float h = 39.975f;
    EXPECT_NEAR(out[0].sx, 400 - h, kTolerance);
    EXPECT_NEAR(out[0].sy, 300 - h, kTolerance);
    EXPECT_EQ(out[0].tv, 1.0f);
    EXPECT_NEAR(out[2].sx, 400 + h, kTolerance);
    EXPECT_NEAR(out[2].sy, 300 + h, kTolerance);
    EXPECT_EQ(out[2].tu, 1.0f);
    EXPECT_EQ(out[0].diffuse, 0xFFFF0000u);
    EXPECT_EQ(out[4].diffuse, 0xFF0000FFu);
    EXPECT_EQ(draws[0]->indices, (std::vector<WORD>{0, 1, 3, 1, 2, 3, 4, 5, 7, 5, 6, 7}));
}

// The one-pixel border: a quad reaching within a pixel of an edge of the 800 x 600 target is
// dropped, one just clear of it drawn. Size 1 at depth 10: half size 39.975 pixels.
TEST_F(RenderPipelineTest, AParticleWithinOnePixelOfAnEdgeIsDropped) {
    struct EdgeCase {
        const char* name;
        float sx, sy;  // the centre on the screen
        bool drawn;
    };
    const float h = 39.975f;
    const EdgeCase cases[] = {
        {"left, half a pixel in", 0.5f + h, 300, false},   {"left, one and a half in", 1.5f + h, 300, true},
        {"right, half a pixel in", 799.5f - h, 300, false}, {"right, one and a half in", 798.5f - h, 300, true},
        {"top, half a pixel in", 400, 0.5f + h, false},    {"top, one and a half in", 400, 1.5f + h, true},
        {"bottom, half a pixel in", 400, 599.5f - h, false}, {"bottom, one and a half in", 400, 598.5f - h, true},
    };
    ASSERT_TRUE(StartPlain());
    for (const EdgeCase& c : cases) {
        platform::dd::ClearTrace();
        // The inverse of the projection at depth 10 (RenderFrameTest::Project).
        const SgVec3 p[1] = {{(c.sx - 400) / 39.975f, (300 - c.sy) / 29.975f, -10}};
        ASSERT_EQ(r->DrawParticles(1, p, nullptr, nullptr, 1.0f, nullptr, bound), 0);
        EXPECT_EQ(Draws().size(), c.drawn ? 1u : 0u) << c.name;
    }
}

TEST_F(RenderClipTest, AParticleCentreOnAPlaneIsCulled) {
    ASSERT_TRUE(StartPlain());
    Planes({{{-1, 0, 0}, 0}});  // inside: x < 0 strictly for particles
    const SgVec3 p[2] = {{0, 0, -10}, {-1, 0, -10}};
    ASSERT_EQ(r->DrawParticles(2, p, nullptr, nullptr, 0.1f, nullptr, bound), 0);
    EXPECT_EQ(Vertices(*Draws()[0]).size(), 4u);
}

// ---- Screen polygons ----

struct PolygonCase {
    const char* name;
    std::vector<SgVec3> points;
    bool drawn;
};

class RenderScreenPolygonTest : public RenderPipelineTest, public testing::WithParamInterface<PolygonCase> {};

TEST_P(RenderScreenPolygonTest, DrawsOnlyInsideTheViewport) {
    ASSERT_TRUE(StartPlain());
    const auto& pts = GetParam().points;
    EXPECT_EQ(r->DrawScreenPolygon(static_cast<uint16_t>(pts.size()), pts.data(), nullptr, nullptr), 0);
    EXPECT_EQ(Draws().size(), GetParam().drawn ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Points, RenderScreenPolygonTest,
                         testing::Values(PolygonCase{"AtOne", {{0, 0, 0}, {1.0f, 0, 0}, {0, 1, 0}}, true},
                                         PolygonCase{"PastOne", {{0, 0, 0}, {1.01f, 0, 0}, {0, 1, 0}}, false},
                                         PolygonCase{"BelowZero", {{0, -0.01f, 0}, {1, 0, 0}, {0, 1, 0}}, false},
                                         PolygonCase{"TwoPoints", {{0, 0, 0}, {1, 0, 0}}, false}),
                         [](const testing::TestParamInfo<PolygonCase>& i) { return std::string(i.param.name); });

TEST_F(RenderPipelineTest, AScreenPolygonIsAFanFromItsFirstPoint) {
    ASSERT_TRUE(StartPlain());
    const SgVec3 pts[4] = {{0, 0, 0}, {1, 0, 0.5f}, {1, 1, 1}, {0, 1, 0}};
    const SgRgba c[4] = {{1, 0, 0, 0.5f}, {0, 1, 0, 1}, {0, 0, 1, 1}, {1, 1, 1, 1}};
    ASSERT_EQ(r->DrawScreenPolygon(4, pts, nullptr, c), 0);
    auto draws = Draws();
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0]->indices, (std::vector<WORD>{2, 0, 1, 3, 0, 2}));
    auto out = Vertices(*draws[0]);
    // y grows upward: y 0 is the bottom of the viewport.
    EXPECT_EQ(out[0].sx, 0.0f);
    EXPECT_EQ(out[0].sy, 600.0f);
    EXPECT_EQ(out[2].sx, 800.0f);
    EXPECT_EQ(out[2].sy, 0.0f);
    // rhw = 0.95 / ((far - near) z + near), depth = rhw z far.
    EXPECT_NEAR(out[1].rhw, 0.95f / (99 * 0.5f + 1), 1e-6f);
    EXPECT_NEAR(out[1].sz, 0.95f / (99 * 0.5f + 1) * 0.5f * 100, 1e-4f);
    EXPECT_EQ(out[0].diffuse, 0x7FFF0000u);
    EXPECT_EQ(out[0].specular, 0xFF000000u);
}

TEST_F(RenderPipelineTest, AScreenPolygonOfMorePointsThanABatchHoldsDrawsNothing) {
    ASSERT_TRUE(StartPlain(8));
    std::vector<SgVec3> pts(9, SgVec3{0.5f, 0.5f, 0});
    EXPECT_EQ(r->DrawScreenPolygon(9, pts.data(), nullptr, nullptr), 0);
    EXPECT_TRUE(Draws().empty());
    EXPECT_EQ(r->DrawScreenPolygon(8, pts.data(), nullptr, nullptr), 0);
    EXPECT_EQ(Draws().size(), 1u);
}

// ---- Device calls that fail or are busy ----

TEST_F(RenderPipelineTest, ABusyDeviceIsAskedAgainAndAFailedDrawIsReported) {
    ASSERT_TRUE(StartPlain());
    const SgVec3 v[3] = {{0, 0, -5}, {1, 0, -5}, {0, 1, -5}};
    platform::dd::FailCall("Device::DrawIndexedPrimitiveVB", DDERR_WASSTILLDRAWING, 3);
    EXPECT_EQ(Triangle(v), 0);
    EXPECT_EQ(Draws().size(), 1u);
    platform::dd::FailCall("Device::DrawIndexedPrimitiveVB", DDERR_SURFACELOST, 1);
    EXPECT_EQ(Triangle(v), 2);
    EXPECT_TRUE(Said("Draw Indexed Primitive failed"));
    // The batch was left unlocked and switched: the next draw works.
    EXPECT_EQ(Triangle(v), 0);
    EXPECT_EQ(Draws().size(), 2u);
}

TEST_F(RenderPipelineTest, AFailedRelockStopsTheDrawAndTheNextDrawStartsClean) {
    ASSERT_TRUE(StartPlain(8));
    SgVec3 v[6];
    for (int i = 0; i < 6; ++i)
        v[i] = {static_cast<float>(i), static_cast<float>(i % 2), -5};
    const uint16_t idx[12] = {0, 1, 2, 1, 2, 3, 2, 3, 4, 3, 4, 5};
    platform::dd::FailCall("VertexBuffer::Lock", D3DERR_VERTEXBUFFERLOCKED, 1, 1);
    r->DrawTriShape(4, 6, v, nullptr, nullptr, 0, nullptr, nullptr, idx, bound, camera);
    EXPECT_EQ(Draws().size(), 1u);  // the first fill; nothing after the failed lock
    EXPECT_EQ(r->DrawTriShape(4, 6, v, nullptr, nullptr, 0, nullptr, nullptr, idx, bound, camera), 0);
    EXPECT_EQ(Draws().size(), 3u);
}

}  // namespace
