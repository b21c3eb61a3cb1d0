// Render states reach the device late: property operations change wanted values, the differences
// go out just before a batch is drawn. Also the device defaults, the fog kinds, the view matrices,
// clears, presents and blits.

#include <gtest/gtest.h>

#include <algorithm>

#include <cmath>

#include "engine/render/sg_dd_environment.h"
#include "engine/render/sg_dd_image.h"
#include "tests/support/render/render_fixture.h"

namespace {

using platform::dd::TraceEvent;
using platform::dd::TraceKind;

class RenderStateTest : public RenderFrameTest {
protected:
    void DrawOne() {
        const SgVec3 v[3] = {{0, 0, -5}, {1, 0, -5}, {0, 1, -5}};
        ASSERT_EQ(r->DrawTriangles(1, v, nullptr, nullptr, 0, nullptr, nullptr, SgBoundSphere{}, SgVec3{}), 0);
    }
    // Render and light states sent since the trace started, as (light?, state, value).
    std::vector<std::tuple<bool, DWORD, DWORD>> States() const {
        std::vector<std::tuple<bool, DWORD, DWORD>> out;
        for (const TraceEvent& e : platform::dd::Trace())
            if (e.kind == TraceKind::RenderState || e.kind == TraceKind::LightState)
                out.emplace_back(e.kind == TraceKind::LightState, e.a, e.b);
        return out;
    }
};

TEST_F(RenderStateTest, TheDeviceStartsFromItsDefaultsInOrder) {
    platform::dd::StartTrace();
    r = Open(Params(0, 11));
    ASSERT_TRUE(r);
    std::vector<std::pair<DWORD, DWORD>> renderStates;
    std::vector<std::tuple<DWORD, DWORD, DWORD>> stageStates;
    for (const TraceEvent& e : platform::dd::Trace()) {
        if (e.kind == TraceKind::RenderState)
            renderStates.emplace_back(e.a, e.b);
        if (e.kind == TraceKind::StageState)
            stageStates.emplace_back(e.a, e.b, e.c);
    }
    const std::vector<std::pair<DWORD, DWORD>> expected = {
        {15, 0}, {22, 2}, {11, 0}, {16, 0}, {39, 0}, {33, 0}, {7, 1}, {2, 0}, {27, 0}, {19, 5}, {20, 6}, {128, 0}, {129, 0},
        {26, 0}, {28, 0}, {34, 0}, {36, 0}, {37, 0}, {4, 1},  {9, 2},  {29, 0}, {41, 0}, {8, 3},  {14, 0}, {23, 8}};
    // The open sends the defaults, probes the multitexture modes and sends the defaults again.
    ASSERT_GE(renderStates.size(), 2 * expected.size());
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), renderStates.begin()));
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), renderStates.end() - expected.size()));
    ASSERT_GE(stageStates.size(), 60u);
    stageStates.erase(stageStates.begin(), stageStates.end() - 30);
    // Stage 0 selects the texture; stages 1 to 3 are off.
    EXPECT_EQ(stageStates[2], std::make_tuple(DWORD{0}, D3DTSS_COLOROP, DWORD{D3DTOP_SELECTARG1}));
    EXPECT_EQ(stageStates[14], std::make_tuple(DWORD{1}, D3DTSS_COLOROP, DWORD{D3DTOP_DISABLE}));
    EXPECT_EQ(stageStates[21], std::make_tuple(DWORD{1}, D3DTSS_TEXCOORDINDEX, DWORD{1}));
    EXPECT_EQ(stageStates[29], std::make_tuple(DWORD{3}, D3DTSS_ALPHAOP, DWORD{D3DTOP_DISABLE}));
}

TEST_F(RenderStateTest, ChangesThatCancelSendNothing) {
    ASSERT_TRUE(Start());
    r->SetVertexColorProperty(0);
    DrawOne();  // the defaults the draw itself sets
    platform::dd::ClearTrace();
    r->SetWireframeProperty(1);
    r->SetWireframeProperty(0);
    r->SetShadeProperty(0);
    r->SetShadeProperty(1);
    r->SetAlphaProperty(1, 6, 7);
    r->SetAlphaProperty(0, 6, 7);
    DrawOne();
    EXPECT_TRUE(States().empty());
}

TEST_F(RenderStateTest, PropertiesSendTheirStatesAtTheNextDraw) {
    ASSERT_TRUE(Start());
    r->SetVertexColorProperty(0);
    DrawOne();
    platform::dd::ClearTrace();
    r->SetAlphaProperty(1, 6, 7);
    r->SetWireframeProperty(1);
    r->SetZBufferTest(1);
    r->SetZBufferWrite(1);
    r->SetDitherProperty(1);
    EXPECT_TRUE(States().empty());
    DrawOne();
    using S = std::tuple<bool, DWORD, DWORD>;
    EXPECT_EQ(States(), (std::vector<S>{{false, D3DRENDERSTATE_FILLMODE, D3DFILL_WIREFRAME},
                                        {false, D3DRENDERSTATE_ALPHABLENDENABLE, 1},
                                        {false, D3DRENDERSTATE_ZFUNC, D3DCMP_LESSEQUAL},
                                        {false, D3DRENDERSTATE_ZWRITEENABLE, 1},
                                        {false, D3DRENDERSTATE_DITHERENABLE, 1}}));
    platform::dd::ClearTrace();
    // Blend functions 0 to 10 map through the table; anything above reads as 0 (ONE).
    r->SetAlphaProperty(1, 4, 11);
    DrawOne();
    EXPECT_EQ(States(), (std::vector<S>{{false, D3DRENDERSTATE_SRCBLEND, D3DBLEND_DESTCOLOR},
                                        {false, D3DRENDERSTATE_DESTBLEND, D3DBLEND_ONE}}));
    platform::dd::ClearTrace();
    r->SetAlphaProperty(1, 6, 7);
    DrawOne();
    EXPECT_EQ(States(), (std::vector<S>{{false, D3DRENDERSTATE_SRCBLEND, D3DBLEND_SRCALPHA},
                                        {false, D3DRENDERSTATE_DESTBLEND, D3DBLEND_INVSRCALPHA}}));
}

TEST_F(RenderStateTest, WithoutAZBufferTheZPropertiesChangeNothing) {
    ASSERT_TRUE(Start(10));  // no Z-buffer asked for
    r->SetVertexColorProperty(0);
    DrawOne();
    platform::dd::ClearTrace();
    r->SetZBufferTest(1);
    r->SetZBufferWrite(1);
    DrawOne();
    EXPECT_TRUE(States().empty());
}

struct FogKindCase {
    const char* name;
    uint32_t property;  // 0 depth, 1 range, 2 vertex alpha
    bool tableFog;      // the device reports per-pixel fog
    uint32_t kind;
    std::vector<std::tuple<bool, DWORD, DWORD>> states;
};

class RenderFogKindTest : public RenderStateTest, public testing::WithParamInterface<FogKindCase> {};

TEST_P(RenderFogKindTest, ChoosesTheFogKindByFlagsAndCaps) {
    const FogKindCase& c = GetParam();
    if (c.tableFog)
        EditProfile([](platform::dd::CapsProfile& p) { p.rasterCaps |= D3DPRASTERCAPS_FOGTABLE; });
    ASSERT_TRUE(Start());
    EXPECT_EQ(Said("Render create message: Device supports per-pixel z-based fog"), c.tableFog);
    r->SetVertexColorProperty(0);
    r->SetFogProperty(1, 0.5f, c.property, {1, 0.5f, 0.25f});
    DrawOne();
    EXPECT_EQ(r->Driver()->fogKind, c.kind);
    // The colour, then the start (100 - 99 x 0.5) and end, then the kind's states.
    auto states = States();
    ASSERT_GE(states.size(), 3u);
    EXPECT_EQ(states[0], std::make_tuple(false, DWORD{D3DRENDERSTATE_FOGCOLOR}, DWORD{0xFF7F3F}));
    const bool table = c.tableFog;
    EXPECT_EQ(states[1], std::make_tuple(!table, table ? DWORD{D3DRENDERSTATE_FOGTABLESTART} : DWORD{D3DLIGHTSTATE_FOGSTART},
                                         D3DValueBits(50.5f)));
    EXPECT_EQ(states[2], std::make_tuple(!table, table ? DWORD{D3DRENDERSTATE_FOGTABLEEND} : DWORD{D3DLIGHTSTATE_FOGEND},
                                         D3DValueBits(100.0f)));
    const std::vector<std::tuple<bool, DWORD, DWORD>> kindStates(states.begin() + 3, states.end());
    EXPECT_EQ(kindStates, c.states);
    // Fog off again sends the three off states once.
    platform::dd::ClearTrace();
    r->SetFogProperty(0, 0.5f, c.property, {1, 0.5f, 0.25f});
    DrawOne();
    using S = std::tuple<bool, DWORD, DWORD>;
    EXPECT_EQ(States(), (std::vector<S>{{true, D3DLIGHTSTATE_FOGMODE, D3DFOG_NONE},
                                        {false, D3DRENDERSTATE_FOGENABLE, 0},
                                        {false, D3DRENDERSTATE_FOGTABLEMODE, 0}}));
}

using S = std::tuple<bool, DWORD, DWORD>;
INSTANTIATE_TEST_SUITE_P(
    Kinds, RenderFogKindTest,
    testing::Values(
        FogKindCase{"DepthVertexFog", 0, false, 2,
                    {S{false, 28, 1}, S{false, 48, 0}, S{false, 35, 0}, S{true, D3DLIGHTSTATE_FOGMODE, D3DFOG_LINEAR}}},
        FogKindCase{"DepthTableFog", 0, true, 4, {S{false, 28, 1}, S{false, 48, 0}, S{false, 35, D3DFOG_LINEAR}}},
        FogKindCase{"RangeFog", 1, false, 2,
                    {S{false, 28, 1}, S{false, 48, 0}, S{false, 35, 0}, S{true, D3DLIGHTSTATE_FOGMODE, D3DFOG_LINEAR}}},
        FogKindCase{"RangeFogWithTableCaps", 1, true, 1,
                    {S{false, 28, 1}, S{false, 48, 0}, S{false, 35, 0}, S{true, D3DLIGHTSTATE_FOGMODE, D3DFOG_NONE}}},
        FogKindCase{"VertexAlphaFog", 2, false, 3,
                    {S{false, 28, 1}, S{false, 35, 0}, S{false, 48, 1}, S{true, D3DLIGHTSTATE_FOGMODE, D3DFOG_LINEAR}}},
        FogKindCase{"VertexAlphaFogWithTableCaps", 2, true, 1,
                    {S{false, 28, 1}, S{false, 35, 0}, S{true, D3DLIGHTSTATE_FOGMODE, D3DFOG_NONE}}}),
    [](const testing::TestParamInfo<FogKindCase>& i) { return std::string(i.param.name); });

// The start lies the depth fraction of the way back from the far plane towards the near one:
// 100 - 99 x 0.25, not a quarter of the way out from the near plane.
TEST_F(RenderStateTest, TheFogStartIsMeasuredBackFromTheFarPlane) {
    ASSERT_TRUE(Start());
    r->SetVertexColorProperty(0);
    r->SetFogProperty(1, 0.25f, 0, {1, 1, 1});
    DrawOne();
    auto states = States();
    ASSERT_GE(states.size(), 3u);
    EXPECT_EQ(states[1], std::make_tuple(true, DWORD{D3DLIGHTSTATE_FOGSTART}, D3DValueBits(75.25f)));
}

// ---- View ----

void ExpectRows(const float (&m)[4][4], const std::vector<std::vector<float>>& rows) {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            EXPECT_NEAR(m[i][j], rows[i][j], 1e-5f) << "(" << i << ", " << j << ")";
}

TEST_F(RenderStateTest, SetupFrustumLooksDownMinusZWithYUp) {
    r = Open(Params(0, 11));
    ASSERT_TRUE(r);
    SgD3DRenderContext* ctx = r->Context();
    ASSERT_EQ(ctx->SetupFrustum(), 0);
    ExpectRows(ctx->view.view, {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, -1, 0}, {0, 0, 0, 1}});
    // With no screen mapping yet, rows 1 and 2 are zero; depth 1 maps to 0 and depth 3 to 0.95.
    ExpectRows(ctx->view.projection, {{0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0.95f * 1.5f, -0.95f * 1.5f}, {0, 0, 1, 0}});
    for (float depth : {1.0f, 3.0f}) {
        const float z = ctx->view.combined[2][2] * -depth + ctx->view.combined[2][3];
        const float w = ctx->view.combined[3][2] * -depth + ctx->view.combined[3][3];
        EXPECT_NEAR(z / w, depth == 1.0f ? 0.0f : 0.95f, 1e-6f);
    }
    EXPECT_EQ(ctx->view.clipPlaneCount, 0u);
}

TEST_F(RenderStateTest, TheCameraSetsTheViewAndAParallelUpGivesNoRight) {
    ASSERT_TRUE(Start());
    SgD3DRenderContext* ctx = r->Context();
    // Placed at (1, 2, 3): the view matrix moves it to the origin.
    SgFrustum f;
    f.farDistance = 10;
    r->SetCamera({1, 2, 3}, SgMat3{}, {0, 0, 1}, {0, 1, 0}, {}, f, SgViewRect{});
    ASSERT_EQ(ctx->RebuildView(), 0);
    ExpectRows(ctx->view.view, {{1, 0, 0, -1}, {0, 1, 0, -2}, {0, 0, -1, 3}, {0, 0, 0, 1}});
    EXPECT_NEAR(ctx->view.halfWidth, 399.75f, 1e-4f);
    EXPECT_NEAR(ctx->view.centreY, 300.0f, 1e-4f);
    r->SetCamera({0, 0, 0}, SgMat3{}, {0, 1, 0}, {0, 1, 0}, {}, f, SgViewRect{});
    ASSERT_EQ(ctx->RebuildView(), 0);
    EXPECT_EQ(ctx->view.right.x, 0.0f);
    EXPECT_EQ(ctx->view.right.y, 0.0f);
    EXPECT_EQ(ctx->view.right.z, 0.0f);
}

TEST_F(RenderStateTest, ViewportsOutsideTheTargetAreKeptOnIt) {
    ASSERT_TRUE(Start());
    SgD3DRenderContext* ctx = r->Context();
    struct Case {
        SgViewRect view;
        float rect[4];
    };
    const float nan = std::nanf("");
    const Case cases[] = {
        {{0, 1, 1, 0}, {0, 0, 800, 600}},
        {{0.25f, 0.75f, 0.5f, 0}, {200, 300, 600, 600}},
        {{-1, 2, 3, -2}, {0, 0, 800, 600}},
        {{0.75f, 0.25f, 1, 0}, {600, 0, 600, 600}},  // inverted: empty
        {{nan, nan, nan, nan}, {0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        float rect[4];
        ctx->PixelRect(c.view, rect);
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(rect[i], c.rect[i]) << c.view.left << " " << i;
    }
    // An empty clear clears nothing and fails nothing.
    EXPECT_EQ(r->ClearBuffers(&cases[3].view, 3), 0);
}

// ---- Clears, presents, blits ----

class RenderPresentTest : public RenderFrameTest {};

TEST_F(RenderPresentTest, ClearUsesTheBackgroundColourAndTheViewRectangle) {
    ASSERT_TRUE(Start());
    r->SetBackgroundColor({1, 0, 0});
    const SgViewRect whole{0, 1, 1, 0};
    ASSERT_EQ(r->ClearBuffers(&whole, 3), 0);
    r->SetBackgroundColor({0, 0, 1});
    const SgViewRect right{0.5f, 1, 1, 0};
    ASSERT_EQ(r->ClearBuffers(&right, 1), 0);
    ddtest::Image frame = Frame(r.Get());
    EXPECT_EQ(frame.At(399, 300) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(frame.At(400, 300) & 0xFFFFFF, 0x0000FFu);
    bool cleared = false;
    for (const TraceEvent& e : platform::dd::Trace())
        if (e.kind == TraceKind::Clear) {
            cleared = true;
            EXPECT_EQ(e.z, 0.95f);
        }
    EXPECT_TRUE(cleared);
}

TEST_F(RenderPresentTest, PresentBlitsWindowedAndFlipsFullScreenButNotWhenLost) {
    r = Open(Params(0, 11));
    ASSERT_TRUE(r);
    const int before = platform::dd::PresentCount();
    EXPECT_EQ(r->PresentFrame(), 0);
    EXPECT_EQ(platform::dd::PresentCount(), before + 1);
    platform::dd::LoseSurface(r->Driver()->buffers->back);
    EXPECT_EQ(r->PresentFrame(), 0);
    EXPECT_EQ(platform::dd::PresentCount(), before + 1);
    r = nullptr;
    renders.clear();
    SgD3DRender::ReleaseCurrent();
    ReleaseDDEnvironment();  // the environment keeps the windowed primary surface

    r = Open(Params(1, 11));
    ASSERT_TRUE(r);
    IDirectDrawSurface4* front = r->Driver()->buffers->front;
    EXPECT_EQ(r->PresentFrame(), 0);
    EXPECT_TRUE(r->Driver()->buffers->flipPending);
    EXPECT_EQ(platform::dd::PresentCount(), before + 2);
    // The next frame waits for the flip, then the front surface is still the chain's front.
    EXPECT_EQ(r->BeginFrame(), 0);
    EXPECT_FALSE(r->Driver()->buffers->flipPending);
    EXPECT_EQ(r->EndFrame(), 0);
    EXPECT_EQ(r->Driver()->buffers->front, front);
}

TEST_F(RenderPresentTest, AnOffscreenRendererOfLayoutFourIsNeverPresented) {
    ASSERT_TRUE(Open(Params(0, 11)));
    SetRecommendedOffscreenMode(4);
    SgRenderCreateParams p = Params(2, 11);
    p.width = 32;
    p.height = 32;
    r = Open(p);
    ASSERT_TRUE(r);
    const int before = platform::dd::PresentCount();
    EXPECT_EQ(r->PresentFrame(), 0);
    EXPECT_EQ(platform::dd::PresentCount(), before);
    uint32_t a = 1, b = 1;
    EXPECT_FALSE(r->GetSecondPair(a, b));
    EXPECT_TRUE(r->GetFirstPair(a, b));
    EXPECT_EQ(a, 0u);
    EXPECT_FALSE(r->SetFirstPair(4, 5));
}

TEST_F(RenderPresentTest, TheWindowedTargetRectangleIsThePairs) {
    r = Open(Params(0, 11));
    ASSERT_TRUE(r);
    uint32_t a, b;
    EXPECT_TRUE(r->SetFirstPair(10, 20));
    EXPECT_TRUE(r->SetSecondPair(300, 200));
    EXPECT_TRUE(r->GetFirstPair(a, b));
    EXPECT_EQ(a, 10u);
    EXPECT_EQ(b, 20u);
    EXPECT_TRUE(r->GetSecondPair(a, b));
    EXPECT_EQ(a, 300u);
    EXPECT_EQ(b, 200u);
}

class RenderBlitTest : public RenderFrameTest {
protected:
    // A 16 x 16 system-memory image in the frame's format: pixel (x, y) = x + 16 y + 1.
    SgRef<SgDDBufferImage> MakeImage() {
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof(d);
        d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
        d.dwWidth = d.dwHeight = 16;
        d.ddsCaps.dwCaps = DDSCAPS_SYSTEMMEMORY | DDSCAPS_OFFSCREENPLAIN;
        IDirectDrawSurface4* s = nullptr;
        EXPECT_EQ(SgDDImage::DirectDraw()->CreateSurface(&d, &s, nullptr), DD_OK);
        ddtest::FillSurface(s, [](int x, int y) { return static_cast<uint32_t>(x + 16 * y + 1); });
        SgRef<SgDDBufferImage> image = SgDDBufferImage::Create(s);
        s->Release();
        return image;
    }
    IDirectDrawSurface4* Back() const { return r->Driver()->buffers->back; }
};

TEST_F(RenderBlitTest, BlitsAreCutAtEveryEdgeOfTheFrame) {
    r = Open(Params(0, 11));
    ASSERT_TRUE(r);
    SgRef<SgDDBufferImage> image = MakeImage();
    ddtest::FillSurface(Back(), [](int, int) { return 0u; });
    struct Case {
        int x, y;
        int frameX, frameY;  // a frame pixel that gets image pixel (imageX, imageY)
        int imageX, imageY;
    };
    const Case cases[] = {{-4, -6, 0, 0, 4, 6}, {796, 100, 799, 100, 3, 0}, {100, 590, 100, 599, 0, 9}, {10, 10, 25, 25, 15, 15}};
    for (const Case& c : cases) {
        EXPECT_TRUE(r->BlitImageToFrame(image.Get(), nullptr, c.x, c.y, 0));
        EXPECT_EQ(ddtest::RawPixel(Back(), c.frameX, c.frameY), static_cast<uint32_t>(c.imageX + 16 * c.imageY + 1))
            << c.x << ", " << c.y;
    }
    // A source rectangle: left, right, top, bottom, each kept within the image.
    ddtest::FillSurface(Back(), [](int, int) { return 0u; });
    const SgPixelRect part{4, 100, 2, 6};
    EXPECT_TRUE(r->BlitImageToFrame(image.Get(), &part, 50, 60, 0));
    EXPECT_EQ(ddtest::RawPixel(Back(), 50, 60), static_cast<uint32_t>(4 + 16 * 2 + 1));
    EXPECT_EQ(ddtest::RawPixel(Back(), 61, 63), static_cast<uint32_t>(15 + 16 * 5 + 1));
    EXPECT_EQ(ddtest::RawPixel(Back(), 62, 60), 0u);
    EXPECT_EQ(ddtest::RawPixel(Back(), 50, 64), 0u);
    // Empty and inverted rectangles and frames wholly missed copy nothing.
    ddtest::FillSurface(Back(), [](int, int) { return 0u; });
    const SgPixelRect inverted{8, 4, 0, 16};
    EXPECT_TRUE(r->BlitImageToFrame(image.Get(), &inverted, 0, 0, 0));
    EXPECT_TRUE(r->BlitImageToFrame(image.Get(), nullptr, 800, 0, 0));
    EXPECT_TRUE(r->BlitImageToFrame(image.Get(), nullptr, -16, 0, 0));
    EXPECT_TRUE(r->BlitImageToFrame(image.Get(), nullptr, 0, 600, 0));
    for (int x : {0, 799})
        for (int y : {0, 599})
            EXPECT_EQ(ddtest::RawPixel(Back(), x, y), 0u);
    image = nullptr;
}

TEST_F(RenderBlitTest, TheStretchingBlitFillsTheDestination) {
    r = Open(Params(0, 11));
    ASSERT_TRUE(r);
    SgRef<SgDDBufferImage> image = MakeImage();
    const SgPixelRect source{0, 1, 0, 1};
    const SgPixelRect dest{10, 30, 10, 30};
    EXPECT_TRUE(r->BlitImageToFrameKeyed(image.Get(), &source, &dest, 0));
    EXPECT_EQ(ddtest::RawPixel(Back(), 10, 10), 1u);
    EXPECT_EQ(ddtest::RawPixel(Back(), 29, 29), 1u);
    // An image without a surface in the frame's format is not copied.
    SgRef<SgImage> plain(SgDDImage::CreateImage());
    EXPECT_FALSE(r->BlitImageToFrame(plain.Get(), nullptr, 0, 0, 0));
}

}  // namespace
