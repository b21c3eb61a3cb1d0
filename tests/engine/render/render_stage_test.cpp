// Multitexture detection by the device's validation answers, texture stage programming by the trace
// of device calls, and the property support check by caps profile.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "engine/core/sg_property.h"
#include "engine/core/sg_texture_property.h"
#include "engine/render/sg_dd_image.h"
#include "engine/render/sg_texture_manager.h"
#include "platform/ddraw/control.h"
#include "tests/support/render/render_fixture.h"

namespace {

using platform::dd::CapsProfile;
using platform::dd::DeviceView;
using platform::dd::TraceEvent;
using platform::dd::TraceKind;

SgRef<SgImage> Texture(uint32_t w, uint32_t h, uint32_t format = SgRawImageData::kRgb, uint32_t kind = 7) {
    SgRef<SgRawImageData> raw(new SgRawImageData);
    EXPECT_TRUE(raw->ResizeRawImage(format, w, h));
    std::fill(raw->Pixels(), raw->Pixels() + raw->BytesPerRow() * h, uint8_t{200});
    return SgImage::CreateFromRawData(raw, 1, kind);
}

// 8 x 8 texels, the left half of one colour and the right of another (0xRRGGBB).
SgRef<SgImage> HalvesTexture(uint32_t left, uint32_t right) {
    SgRef<SgRawImageData> raw(new SgRawImageData);
    EXPECT_TRUE(raw->ResizeRawImage(SgRawImageData::kRgb, 8, 8));
    for (uint32_t y = 0; y < 8; ++y)
        for (uint32_t x = 0; x < 8; ++x) {
            const uint32_t c = x < 4 ? left : right;
            uint8_t* p = raw->Row(y) + 3 * x;
            p[0] = static_cast<uint8_t>(c >> 16);
            p[1] = static_cast<uint8_t>(c >> 8);
            p[2] = static_cast<uint8_t>(c);
        }
    return SgImage::CreateFromRawData(raw, 0, 7);
}

uint32_t Count(const uint8_t (&table)[8][8][8], uint8_t mask) {
    uint32_t n = 0;
    for (auto& m : table)
        for (auto& a : m)
            for (uint8_t e : a)
                n += (e & mask) != 0;
    return n;
}

// ---- Detection ----

class DetectionTest : public RenderTest {
protected:
    SgD3DDriver* OpenWith(const platform::dd::ValidateHook& hook, uint32_t flags = 11) {
        EditProfile([&](CapsProfile& p) { p.validate = hook; });
        platform::dd::StartTrace();
        r = Open(Params(0, flags));
        platform::dd::StopTrace();
        return r ? r->Driver() : nullptr;
    }
    uint32_t ProbeDraws() const {
        return static_cast<uint32_t>(std::count_if(platform::dd::Trace().begin(), platform::dd::Trace().end(),
                                                   [](const TraceEvent& e) {
                                                       return e.kind == TraceKind::Draw && e.b == 0x2C4;
                                                   }));
    }
    void TearDown() override {
        r = nullptr;
        RenderTest::TearDown();
    }
    SgRef<SgD3DRender> r;
};

HRESULT OnePass(const DeviceView&, DWORD* passes) {
    *passes = 1;
    return D3D_OK;
}

TEST_F(DetectionTest, EveryPairOfAFullDeviceValidatesInOnePass) {
    SgD3DDriver* d = OpenWith(OnePass);
    ASSERT_TRUE(d);
    // Seven formats: 49 pairs in each of eight modes; mode 7 has no two-pass form.
    EXPECT_EQ(Count(d->modeTable, 0x80), 8u * 49);
    EXPECT_EQ(d->modeTable[0][1][1], 0x82);
    EXPECT_EQ(d->modeTable[7][1][1], 0x80);
    EXPECT_EQ(d->modeTable[0][7][1], 0);
    EXPECT_TRUE(d->wanted & SgD3DDriver::kTrilinearMulti);
    EXPECT_TRUE(d->wanted & SgD3DDriver::kIndependentAddressing);
    EXPECT_TRUE(d->wanted & SgD3DDriver::kStage1Filter);
    EXPECT_FALSE(d->wanted & SgD3DDriver::kVertexLast);
    EXPECT_FALSE(d->wanted & SgD3DDriver::kNoSelectArg2);
    EXPECT_TRUE(Said("Scenegrove D3DDriver Info: Supports vertex-first single pass multitexturing: 392 modes\n"));
    EXPECT_TRUE(Said("Scenegrove D3DDriver Info: Number of available single-pass multitexture modes: 392\n"));
    EXPECT_TRUE(Said("Scenegrove D3DDriver Info: Number of available unavailable multitexture modes: 0\n"));
}

TEST_F(DetectionTest, OneStageOrFlag100GivesNoSinglePassEntryAndNoProbeDraws) {
    for (bool oneStage : {true, false}) {
        if (oneStage)
            EditProfile([](CapsProfile& p) { p.maxTextureBlendStages = 1; });
        SgD3DDriver* d = OpenWith(OnePass, oneStage ? 11 : 11 | 0x100);
        ASSERT_TRUE(d);
        EXPECT_EQ(ProbeDraws(), 0u) << oneStage;
        EXPECT_EQ(Count(d->modeTable, 0x80), 0u) << oneStage;
        EXPECT_EQ(d->modeTable[0][1][5], 2) << oneStage;
        EXPECT_EQ(d->modeTable[7][1][5], 0) << oneStage;
        r = nullptr;
        renders.clear();
        SgD3DRender::ReleaseCurrent();
        platform::dd::ClearTrace();
        EditProfile([](CapsProfile& p) { p.maxTextureBlendStages = 2; });
    }
}

TEST_F(DetectionTest, OnlyTheDevicesFormatsGetEntries) {
    EditProfile([](CapsProfile& p) { p.textureFormats = {platform::dd::FormatRgb565(), platform::dd::FormatArgb4444()}; });
    SgD3DDriver* d = OpenWith(OnePass);
    ASSERT_TRUE(d);
    for (uint32_t a = 0; a < 8; ++a)
        for (uint32_t b = 0; b < 8; ++b) {
            const bool both = (a == 1 || a == 4) && (b == 1 || b == 4);
            EXPECT_EQ((d->modeTable[3][a][b] & 0x80) != 0, both) << a << "," << b;
        }
    // Four pairs in eight modes, the stage-1 filter once, eight addressing and eight trilinear draws.
    EXPECT_EQ(ProbeDraws(), 8u * 4 + 1 + 8 + 8);
}

TEST_F(DetectionTest, EqualCountsChooseVertexLastWithAThirdBlendStage) {
    EditProfile([](CapsProfile& p) { p.maxTextureBlendStages = 3; });
    SgD3DDriver* d = OpenWith(OnePass);
    ASSERT_TRUE(d);
    EXPECT_TRUE(d->wanted & SgD3DDriver::kVertexLast);
    EXPECT_TRUE(Said("Scenegrove D3DDriver Info: - trying single-pass vertex-last\n"));
    EXPECT_TRUE(Said("Scenegrove D3DDriver Info: Supports vertex-last single pass multitexturing: 392 modes\n"));
}

TEST_F(DetectionTest, FailedProbesClearTheirBitsAndSaySo) {
    // Trilinear on both stages and wrap with clamp fail; mode 5 takes two passes; mode 6 fails.
    auto hook = [](const DeviceView& v, DWORD* passes) -> HRESULT {
        *passes = 1;
        const auto& s0 = v.stages[0].states;
        const auto& s1 = v.stages[1].states;
        if (s0[D3DTSS_MIPFILTER] == D3DTFP_LINEAR && s1[D3DTSS_MIPFILTER] == D3DTFP_LINEAR)
            return D3DERR_UNSUPPORTEDTEXTUREFILTER;
        if (s0[D3DTSS_ADDRESSU] != s1[D3DTSS_ADDRESSU])
            return D3DERR_CONFLICTINGTEXTUREFILTER;
        if (s1[D3DTSS_COLOROP] == D3DTOP_ADD)
            *passes = 2;
        if (s1[D3DTSS_COLOROP] == D3DTOP_MODULATEALPHA_ADDCOLOR)
            return D3DERR_UNSUPPORTEDCOLOROPERATION;
        return D3D_OK;
    };
    SgD3DDriver* d = OpenWith(hook);
    ASSERT_TRUE(d);
    EXPECT_FALSE(d->wanted & SgD3DDriver::kTrilinearMulti);
    EXPECT_FALSE(d->wanted & SgD3DDriver::kIndependentAddressing);
    EXPECT_TRUE(d->wanted & SgD3DDriver::kStage1Filter);
    EXPECT_EQ(d->modeTable[5][1][1], 2);     // two passes
    EXPECT_EQ(d->modeTable[6][1][1], 2);     // failed, but blendable in two passes
    EXPECT_EQ(d->modeTable[0][1][1], 0x82);  // single pass
    EXPECT_TRUE(Said("Scenegrove D3DDriver Info: Device cannot do trilerp in multitexture mode\n"));
    const int at = IndexOf("Scenegrove D3DDriver Info: Device cannot do independent texture addressing in multitexture mode\n");
    ASSERT_GE(at, 0);
    EXPECT_EQ(messages[at + 1], "\t\t\t\t\t\t\tScenegrove D3DDriver will multipass these cases\n");
    EXPECT_TRUE(Said("Scenegrove D3DDriver Info: Number of available multi-pass multitexture modes: 98\n"));
}

TEST_F(DetectionTest, AStageZeroThatCannotSelectTheVertexColourSetsTheFallbackBits) {
    struct Case {
        bool fallbackWorks;
        uint32_t bits;
    };
    for (const Case c : {Case{true, SgD3DDriver::kNoSelectArg2}, Case{false, SgD3DDriver::kNoSelectArg2 | SgD3DDriver::kNoFallback}}) {
        auto hook = [c](const DeviceView& v, DWORD* passes) -> HRESULT {
            *passes = 1;
            const auto& s0 = v.stages[0].states;
            if (!v.stages[0].hasTexture && s0[D3DTSS_COLOROP] == D3DTOP_SELECTARG2) {
                if (s0[D3DTSS_ALPHAOP] == D3DTOP_SELECTARG2 || !c.fallbackWorks)
                    return D3DERR_UNSUPPORTEDCOLOROPERATION;
            }
            return D3D_OK;
        };
        SgD3DDriver* d = OpenWith(hook);
        ASSERT_TRUE(d);
        EXPECT_EQ(d->wanted & (SgD3DDriver::kNoSelectArg2 | SgD3DDriver::kNoFallback), c.bits);
        r = nullptr;
        renders.clear();
        SgD3DRender::ReleaseCurrent();
    }
}

// ---- Stages by trace ----

class StageTest : public RenderFrameTest {
protected:
    bool StartTextured(const std::function<void(CapsProfile&)>& edit = nullptr) {
        if (edit)
            EditProfile(edit);
        if (!Start())
            return false;
        r->SetVertexColorProperty(1);
        base = Texture(16, 16);
        extra = Texture(16, 16, SgRawImageData::kRgba);
        return true;
    }
    void Multi(uint32_t mode, SgImage* image) {
        textures.RemoveAll();
        blends.RemoveAll();
        if (image) {
            textures.SetAtGrow(0, SgRef<SgImage>(image));
            blends.Append(mode);
        }
        r->SetMultiTextureProperty(&textures, &blends, nullptr, nullptr);
    }
    // One triangle with two coordinate sets.
    void Draw() {
        const SgVec3 v[3] = {{-1, -1, -4}, {1, -1, -4}, {0, 1, -4}};
        const SgVec3 sets[6] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0.5f, 0.5f, 0}, {1, 1, 0}, {0, 0, 0}};
        const SgRgba c[3] = {{1, 1, 1, 1}, {1, 1, 1, 1}, {1, 1, 1, 1}};
        ASSERT_EQ(r->DrawTriangles(1, v, nullptr, nullptr, 2, sets, c, SgBoundSphere{}, SgVec3{}), 0);
    }
    // The events between two draws: index 0 before the first draw, and so on.
    std::vector<std::vector<TraceEvent>> Segments() const {
        std::vector<std::vector<TraceEvent>> out(1);
        for (const TraceEvent& e : platform::dd::Trace()) {
            if (e.kind == TraceKind::Draw)
                out.emplace_back();
            else
                out.back().push_back(e);
        }
        return out;
    }
    static std::vector<DWORD> States(const std::vector<TraceEvent>& events, DWORD state) {
        std::vector<DWORD> out;
        for (const TraceEvent& e : events)
            if (e.kind == TraceKind::RenderState && e.a == state)
                out.push_back(e.b);
        return out;
    }
    static std::vector<DWORD> StageStates(const std::vector<TraceEvent>& events, DWORD stage, DWORD state) {
        std::vector<DWORD> out;
        for (const TraceEvent& e : events)
            if (e.kind == TraceKind::StageState && e.a == stage && e.b == state)
                out.push_back(e.c);
        return out;
    }
    void TearDown() override {
        base = extra = nullptr;
        textures.RemoveAll();
        RenderFrameTest::TearDown();
    }
    SgRef<SgImage> base, extra;
    SgArray<SgImage> textures{0, 1};
    SgPtrArray<uint32_t> blends{0, 1};
};

TEST_F(StageTest, ATwoPassBatchBiasesItsSecondPassAndBlendsIt) {
    // One blend stage: every pair is drawn in two passes.
    ASSERT_TRUE(StartTextured([](CapsProfile& p) { p.maxTextureBlendStages = 1; }));
    r->SetAlphaProperty(1, 6, 7);
    r->SetTextureProperty(base.Get());
    Multi(0, extra.Get());
    Draw();
    std::vector<std::vector<TraceEvent>> seg = Segments();
    ASSERT_EQ(seg.size(), 3u);  // two draws
    EXPECT_EQ(States(seg[0], D3DRENDERSTATE_ZBIAS), std::vector<DWORD>{0});
    EXPECT_EQ(States(seg[1], D3DRENDERSTATE_ZBIAS), std::vector<DWORD>{4});
    // The wanted blending is switched on by the deferred states, then off for pass 0.
    EXPECT_EQ(States(seg[0], D3DRENDERSTATE_ALPHABLENDENABLE), (std::vector<DWORD>{1, 0}));
    EXPECT_EQ(States(seg[1], D3DRENDERSTATE_ALPHABLENDENABLE), std::vector<DWORD>{1});
    EXPECT_EQ(States(seg[1], D3DRENDERSTATE_SRCBLEND), std::vector<DWORD>{D3DBLEND_ZERO});
    EXPECT_EQ(States(seg[1], D3DRENDERSTATE_DESTBLEND), std::vector<DWORD>{D3DBLEND_SRCCOLOR});
    // Pass 0 modulates the base texture with the vertex colour; pass 1 takes the extra alone.
    EXPECT_EQ(StageStates(seg[0], 0, D3DTSS_COLOROP), std::vector<DWORD>{D3DTOP_MODULATE});
    EXPECT_EQ(StageStates(seg[1], 0, D3DTSS_COLOROP), std::vector<DWORD>{D3DTOP_SELECTARG1});
    // Pass 1 uses the second coordinate set.
    EXPECT_EQ(StageStates(seg[1], 0, D3DTSS_TEXCOORDINDEX), std::vector<DWORD>{1});
    platform::dd::ClearTrace();
    // The next single-texture batch: bias 0 once, the wanted blending back.
    Multi(0, nullptr);
    Draw();
    seg = Segments();
    ASSERT_EQ(seg.size(), 2u);
    EXPECT_EQ(States(seg[0], D3DRENDERSTATE_ZBIAS), std::vector<DWORD>{0});
    EXPECT_EQ(States(seg[0], D3DRENDERSTATE_SRCBLEND), std::vector<DWORD>{D3DBLEND_SRCALPHA});
    EXPECT_EQ(States(seg[0], D3DRENDERSTATE_DESTBLEND), std::vector<DWORD>{D3DBLEND_INVSRCALPHA});
    platform::dd::ClearTrace();
    Draw();
    EXPECT_TRUE(States(Segments()[0], D3DRENDERSTATE_ZBIAS).empty());
}

// Every multitexture mode drawn in two passes blends its second pass onto the first with its own
// frame-buffer pair, and draws the right texture in it.
TEST_F(StageTest, EachModesSecondPassBlendsWithItsOwnPair) {
    ASSERT_TRUE(StartTextured([](CapsProfile& p) { p.maxTextureBlendStages = 1; }));
    struct PassCase {
        uint32_t mode;
        DWORD source, destination;
        DWORD coordinates;  // the set of the texture drawn in pass 1: the extra's, or the base's
    };
    const PassCase cases[] = {
        {0, D3DBLEND_ZERO, D3DBLEND_SRCCOLOR, 1},        {1, D3DBLEND_ZERO, D3DBLEND_INVSRCCOLOR, 1},
        {2, D3DBLEND_ZERO, D3DBLEND_SRCALPHA, 1},        {3, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, 1},
        {4, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, 0}, {5, D3DBLEND_ONE, D3DBLEND_ONE, 1},
        {6, D3DBLEND_ONE, D3DBLEND_SRCALPHA, 1},
    };
    r->SetTextureProperty(base.Get());
    for (const PassCase& c : cases) {
        platform::dd::ClearTrace();
        Multi(c.mode, extra.Get());
        Draw();
        ASSERT_EQ(Segments().size(), 3u) << "two passes in mode " << c.mode;
        // The pair of pass 1 stays applied until the next batch's deferred states.
        EXPECT_EQ(r->Driver()->appliedSrcBlend, c.source) << "mode " << c.mode;
        EXPECT_EQ(r->Driver()->appliedDestBlend, c.destination) << "mode " << c.mode;
        EXPECT_EQ(r->Driver()->texCoordCache[0], c.coordinates) << "mode " << c.mode;
    }
}

// A filter mode past the table (a value from a file) reads as mode 0, point sampling; it does not
// keep the filter that was in use before.
TEST_F(StageTest, AFilterModePastTheTableReadsAsPointSampling) {
    ASSERT_TRUE(StartTextured());
    r->SetTextureProperty(base.Get());
    r->SetTextureModeFilter(1);
    Draw();
    EXPECT_EQ(StageStates(Segments()[0], 0, D3DTSS_MAGFILTER), std::vector<DWORD>{D3DTFG_LINEAR});
    for (uint32_t mode : {6u, 9u, 0xFFFFFFFFu}) {
        r->SetTextureModeFilter(1);
        Draw();
        platform::dd::ClearTrace();
        r->SetTextureModeFilter(mode);
        Draw();
        EXPECT_EQ(StageStates(Segments()[0], 0, D3DTSS_MAGFILTER), std::vector<DWORD>{D3DTFG_POINT}) << mode;
        EXPECT_EQ(StageStates(Segments()[0], 0, D3DTSS_MINFILTER), std::vector<DWORD>{D3DTFN_POINT}) << mode;
    }
}

TEST_F(StageTest, ModeFourSwapsTheTexturesInOneAndTwoPasses) {
    for (bool onePass : {true, false}) {
        ASSERT_TRUE(StartTextured([&](CapsProfile& p) { p.maxTextureBlendStages = onePass ? 2 : 1; }));
        r->SetTextureProperty(base.Get());
        if (onePass)
            r->SetTextureModeApply(0);  // else the vertex colour takes a second pass
        Multi(4, extra.Get());
        Draw();
        std::vector<std::vector<TraceEvent>> seg = Segments();
        IDirectDrawSurface4* baseSurface = static_cast<SgDDImage*>(base.Get())->TextureEntry(
            r->TextureManager()->Key(0))->surface;
        auto boundTo = [&](const std::vector<TraceEvent>& events, DWORD stage) -> const void* {
            const void* t = nullptr;
            for (const TraceEvent& e : events)
                if (e.kind == TraceKind::SetTexture && e.a == stage)
                    t = e.texture;
            return t;
        };
        if (onePass) {
            ASSERT_EQ(seg.size(), 2u);
            EXPECT_EQ(StageStates(seg[0], 0, D3DTSS_TEXCOORDINDEX), std::vector<DWORD>{1});
            EXPECT_EQ(StageStates(seg[0], 1, D3DTSS_TEXCOORDINDEX), std::vector<DWORD>{0});
            EXPECT_EQ(boundTo(seg[0], 1), baseSurface);
            EXPECT_EQ(StageStates(seg[0], 1, D3DTSS_COLOROP), std::vector<DWORD>{D3DTOP_BLENDTEXTUREALPHA});
        } else {
            ASSERT_EQ(seg.size(), 3u);
            EXPECT_NE(boundTo(seg[0], 0), baseSurface);  // the extra texture first
            EXPECT_EQ(boundTo(seg[1], 0), baseSurface);
            // The pair is already the device's (5, 6), so only blending goes on.
            EXPECT_EQ(States(seg[1], D3DRENDERSTATE_ALPHABLENDENABLE), std::vector<DWORD>{1});
            EXPECT_EQ(r->Driver()->appliedSrcBlend, static_cast<uint32_t>(D3DBLEND_SRCALPHA));
            EXPECT_EQ(r->Driver()->appliedDestBlend, static_cast<uint32_t>(D3DBLEND_INVSRCALPHA));
        }
        r->EndFrame();
        r = nullptr;
        base = extra = nullptr;
        textures.RemoveAll();
        renders.clear();
        SgD3DRender::ReleaseCurrent();
        platform::dd::ClearTrace();
    }
}

TEST_F(StageTest, WithoutTheSecondSetBothStagesUseSetZero) {
    ASSERT_TRUE(StartTextured());
    r->SetTextureProperty(base.Get());
    Multi(0, extra.Get());
    const SgVec3 v[3] = {{-1, -1, -4}, {1, -1, -4}, {0, 1, -4}};
    const SgVec3 sets[3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    ASSERT_EQ(r->DrawTriangles(1, v, nullptr, nullptr, 1, sets, nullptr, SgBoundSphere{}, SgVec3{}), 0);
    std::vector<std::vector<TraceEvent>> seg = Segments();
    ASSERT_EQ(seg.size(), 2u);
    EXPECT_EQ(StageStates(seg[0], 1, D3DTSS_TEXCOORDINDEX), std::vector<DWORD>{0});
    EXPECT_TRUE(StageStates(seg[0], 0, D3DTSS_TEXCOORDINDEX).empty());  // already 0
    EXPECT_EQ(Draws()[0]->b, 0x1C4u);
    EXPECT_EQ(StageStates(seg[0], 1, D3DTSS_COLOROP), std::vector<DWORD>{D3DTOP_MODULATE});
}

TEST_F(StageTest, ModesPastTheTableDrawTheBaseTextureAlone) {
    ASSERT_TRUE(StartTextured());
    r->SetTextureProperty(base.Get());
    Multi(9, extra.Get());
    Draw();
    std::vector<std::vector<TraceEvent>> seg = Segments();
    ASSERT_EQ(seg.size(), 2u);
    EXPECT_TRUE(StageStates(seg[0], 1, D3DTSS_COLOROP).empty());  // stage 1 stays off
}

TEST_F(StageTest, TheFallbackRowsNeverSelectTheSecondArgument) {
    auto hook = [](const DeviceView& v, DWORD* passes) -> HRESULT {
        *passes = 1;
        const auto& s0 = v.stages[0].states;
        return s0[D3DTSS_ALPHAOP] == D3DTOP_SELECTARG2 ? D3DERR_UNSUPPORTEDALPHAOPERATION : D3D_OK;
    };
    ASSERT_TRUE(StartTextured([&](CapsProfile& p) { p.validate = hook; }));
    ASSERT_EQ(r->Driver()->wanted & (SgD3DDriver::kNoSelectArg2 | SgD3DDriver::kNoFallback),
              SgD3DDriver::kNoSelectArg2);
    struct Case {
        bool textured;
        uint32_t apply;
        DWORD colourOp, colourArg, alphaOp, alphaArg;
    };
    const Case cases[] = {
        {false, 2, D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_DIFFUSE},
        {true, 0, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTOP_SELECTARG1, D3DTA_TEXTURE},
        {true, 1, D3DTOP_BLENDTEXTUREALPHA, D3DTA_TEXTURE, D3DTOP_SELECTARG1, D3DTA_DIFFUSE},
        {true, 2, D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTOP_SELECTARG1, D3DTA_DIFFUSE},
        {true, 3, D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTOP_MODULATE, D3DTA_TEXTURE},
    };
    for (const Case& c : cases) {
        r->SetTextureProperty(c.textured ? base.Get() : nullptr);
        r->SetTextureModeApply(c.apply);
        Draw();
        const SgD3DDriver* d = r->Driver();
        EXPECT_EQ(d->stageCache[SgD3DDriver::kStage0ColorOp], c.colourOp) << c.apply << c.textured;
        EXPECT_EQ(d->stageCache[SgD3DDriver::kStage0ColorArg1], c.colourArg) << c.apply << c.textured;
        EXPECT_EQ(d->stageCache[SgD3DDriver::kStage0AlphaOp], c.alphaOp) << c.apply << c.textured;
        EXPECT_EQ(d->stageCache[SgD3DDriver::kStage0AlphaArg1], c.alphaArg) << c.apply << c.textured;
        platform::dd::ClearTrace();
    }
}

// Apply 2 modulates the colour; the alpha is the texture's when it has one (argument 1), else
// the vertex colour's (argument 2): on stage 0 alone, and on stage 2 in the vertex-last order.
class ApplyTwoTest : public StageTest, public testing::WithParamInterface<bool> {};

TEST_P(ApplyTwoTest, TakesTheTexturesAlphaOnlyWhenItHasOne) {
    const bool vertexLast = GetParam();
    ASSERT_TRUE(StartTextured([&](CapsProfile& p) { p.maxTextureBlendStages = vertexLast ? 3 : 2; }));
    ASSERT_EQ((r->Driver()->wanted & SgD3DDriver::kVertexLast) != 0, vertexLast);
    r->SetTextureModeApply(2);
    for (bool alpha : {false, true}) {
        r->SetTextureProperty(alpha ? extra.Get() : base.Get());
        Multi(0, vertexLast ? extra.Get() : nullptr);
        Draw();
        const SgD3DDriver* d = r->Driver();
        const auto colour = vertexLast ? SgD3DDriver::kStage2ColorOp : SgD3DDriver::kStage0ColorOp;
        const auto alphaOp = vertexLast ? SgD3DDriver::kStage2AlphaOp : SgD3DDriver::kStage0AlphaOp;
        EXPECT_EQ(d->stageCache[colour], DWORD{D3DTOP_MODULATE});
        EXPECT_EQ(d->stageCache[alphaOp], alpha ? DWORD{D3DTOP_SELECTARG1} : DWORD{D3DTOP_SELECTARG2}) << alpha;
    }
}

INSTANTIATE_TEST_SUITE_P(Orders, ApplyTwoTest, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& i) { return i.param ? "VertexLast" : "VertexFirst"; });

// Clamp modes: 0 both clamp, 1 u clamp and v wrap, 2 u wrap and v clamp, 3 both wrap; others
// change nothing. A device with independent addressing is sent each stage's u and v.
TEST_F(StageTest, ClampModesSetUAndVApart) {
    struct ClampCase {
        uint32_t mode;
        DWORD u, v;
    };
    const ClampCase cases[] = {{0, D3DTADDRESS_CLAMP, D3DTADDRESS_CLAMP}, {1, D3DTADDRESS_CLAMP, D3DTADDRESS_WRAP},
                               {2, D3DTADDRESS_WRAP, D3DTADDRESS_CLAMP}, {3, D3DTADDRESS_WRAP, D3DTADDRESS_WRAP},
                               {7, D3DTADDRESS_WRAP, D3DTADDRESS_WRAP}};
    ASSERT_TRUE(StartTextured([](CapsProfile& p) { p.textureAddressCaps |= D3DPTADDRESSCAPS_INDEPENDENTUV; }));
    r->SetTextureProperty(base.Get());
    for (const ClampCase& c : cases) {
        r->SetTextureModeClamp(c.mode);
        Draw();
        const SgD3DDriver* d = r->Driver();
        EXPECT_EQ(d->stages[0].addressU, c.u) << "mode " << c.mode;
        EXPECT_EQ(d->stages[0].addressV, c.v) << "mode " << c.mode;
        EXPECT_EQ(d->stages[0].appliedU, c.u) << "mode " << c.mode;
        EXPECT_EQ(d->stages[0].appliedV, c.v) << "mode " << c.mode;
    }
}

TEST_F(StageTest, ATexturedTriangleShowsItsTexture) {
    ASSERT_TRUE(StartTextured());
    SgRef<SgImage> image = HalvesTexture(0xFF0000, 0x0000FF);
    r->SetTextureProperty(image.Get());
    r->SetTextureModeApply(0);
    const SgVec3 v[3] = {{-2, -2, -4}, {2, -2, -4}, {-2, 2, -4}};
    const SgVec3 v2[3] = {{2, -2, -4}, {2, 2, -4}, {-2, 2, -4}};
    const SgVec3 s[3] = {{0, 1, 0}, {1, 1, 0}, {0, 0, 0}};
    const SgVec3 s2[3] = {{1, 1, 0}, {1, 0, 0}, {0, 0, 0}};
    ASSERT_EQ(r->DrawTriangles(1, v, nullptr, nullptr, 1, s, nullptr, SgBoundSphere{}, SgVec3{}), 0);
    ASSERT_EQ(r->DrawTriangles(1, v2, nullptr, nullptr, 1, s2, nullptr, SgBoundSphere{}, SgVec3{}), 0);
    const ddtest::Image frame = Frame(r.Get());
    EXPECT_EQ(frame.At(330, 300) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(frame.At(470, 300) & 0xFFFFFF, 0x0000FFu);
    image = nullptr;
}

// A particle is a quad over the whole texture, modulated by the particle's colour: a sprite shows
// its picture in its own colour, not a plain square.
TEST_F(StageTest, AParticleShowsItsTextureInItsOwnColour) {
    ASSERT_TRUE(StartTextured());
    SgRef<SgImage> image = HalvesTexture(0xFF0000, 0xFFFFFF);
    r->SetTextureProperty(image.Get());
    r->SetTextureModeApply(3);
    r->SetTextureModeFilter(0);
    r->SetTextureModeClamp(0);
    // Half size 399.75 x 1 / 10 = 39.975 pixels about the centre (400, 300).
    const SgVec3 p[1] = {{0, 0, -10}};
    const SgRgba c[1] = {{1, 0.5f, 0.25f, 1}};
    ASSERT_EQ(r->DrawParticles(1, p, nullptr, c, 1.0f, nullptr, SgBoundSphere{}), 0);
    const ddtest::Image frame = Frame(r.Get());
    auto near = [](uint32_t got, uint32_t want) {
        return std::abs(ddtest::Red(got) - ddtest::Red(want)) <= 8 &&
               std::abs(ddtest::Green(got) - ddtest::Green(want)) <= 8 &&
               std::abs(ddtest::Blue(got) - ddtest::Blue(want)) <= 8;
    };
    for (int y : {270, 300, 330}) {
        EXPECT_PRED2(near, frame.At(375, y), 0xFF0000u) << "left half, row " << y;
        EXPECT_PRED2(near, frame.At(425, y), 0xFF7F3Fu) << "right half, row " << y;
    }
    EXPECT_PRED2(near, frame.At(300, 300), frame.At(500, 300)) << "nothing drawn beside the quad";
    EXPECT_FALSE(near(frame.At(300, 300), 0xFF0000u));
    image = nullptr;
}

// A HUD panel as the game places it: corners on whole pixels of the 800 x 600 screen given in
// units (y up), the whole texture as its window, as many texels as pixels, point sampling. Every
// pixel shows the texel under it: red gives its column, blue its row, each once.
TEST_F(StageTest, AScreenPanelShowsEachTexelOnce) {
    ASSERT_TRUE(StartTextured());
    constexpr int kSide = 32;
    SgRef<SgRawImageData> raw(new SgRawImageData);
    ASSERT_TRUE(raw->ResizeRawImage(SgRawImageData::kRgb, kSide, kSide));
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            uint8_t* p = raw->Row(static_cast<uint32_t>(y)) + 3 * x;
            p[0] = static_cast<uint8_t>(x * 8);
            p[1] = 0;
            p[2] = static_cast<uint8_t>(y * 8);
        }
    SgRef<SgImage> image = SgImage::CreateFromRawData(raw, 0, 7);
    r->SetTextureProperty(image.Get());
    r->SetTextureModeApply(0);
    r->SetTextureModeFilter(0);
    r->SetTextureModeClamp(0);
    const SgVec3 uv[4] = {{0, 0, 0}, {0, 1, 0}, {1, 1, 0}, {1, 0, 0}};
    struct Place {
        int left, top;
    };
    const Place places[] = {{137, 41}, {700, 530}, {768, 0}, {0, 568}, {411, 287}};
    for (const Place& at : places) {
        auto unitX = [](int x) { return static_cast<float>(x) / 800.0f; };
        auto unitY = [](int y) { return static_cast<float>(600 - y) / 600.0f; };
        const SgVec3 corners[4] = {{unitX(at.left), unitY(at.top), 0},
                                   {unitX(at.left), unitY(at.top + kSide), 0},
                                   {unitX(at.left + kSide), unitY(at.top + kSide), 0},
                                   {unitX(at.left + kSide), unitY(at.top), 0}};
        ASSERT_EQ(r->DrawScreenPolygon(4, corners, uv, nullptr), 0);
    }
    const ddtest::Image frame = Frame(r.Get());
    for (const Place& at : places) {
        int wrong = 0;
        for (int y = 0; y < kSide; ++y)
            for (int x = 0; x < kSide; ++x) {
                const uint32_t p = frame.At(at.left + x, at.top + y);
                if ((ddtest::Red(p) >> 3 != x || ddtest::Blue(p) >> 3 != y) && ++wrong <= 3)
                    ADD_FAILURE() << "panel at " << at.left << "," << at.top << ", texel " << x << "," << y
                                  << " shows " << (ddtest::Red(p) >> 3) << "," << (ddtest::Blue(p) >> 3);
            }
        EXPECT_EQ(wrong, 0) << "panel at " << at.left << "," << at.top;
    }
    image = nullptr;
}

// ---- Property support ----

class SupportTest : public RenderTest {
protected:
    void TearDown() override {
        list.Clear();
        r = nullptr;
        RenderTest::TearDown();
    }
    SgRef<SgD3DRender> r;
    SgPropertyList list;
};

TEST_F(SupportTest, FlagsByPropertyListAndDevice) {
    struct Case {
        const char* name;
        std::function<void(CapsProfile&)> caps;
        std::function<void(SgPropertyList&, SgImage*, SgImage*)> build;
        uint32_t flags;
    };
    auto alpha = [](uint32_t s, uint32_t d) {
        SgRef<SgAlphaProperty> p(new SgAlphaProperty);
        p->blendOn = 1;
        p->sourceBlend = s;
        p->destinationBlend = d;
        return SgRef<SgProperty>(p.Get());
    };
    auto textured = [](SgImage* image) {
        SgRef<SgTextureProperty> p(new SgTextureProperty);
        p->AppendImage(image);
        p->currentIndex = 0;
        return SgRef<SgProperty>(p.Get());
    };
    auto multi = [](SgImage* image, uint32_t mode, uint32_t addressing = 3) {
        SgRef<SgMultiTextureProperty> p(new SgMultiTextureProperty);
        p->textures.SetAtGrow(0, SgRef<SgImage>(image));
        p->blendModes.Append(mode);
        p->addressingModes.Append(addressing);
        return SgRef<SgProperty>(p.Get());
    };
    auto fog = [](uint32_t kind) {
        SgRef<SgFogProperty> p(new SgFogProperty);
        p->fogOn = 1;
        p->fogKind = kind;
        return SgRef<SgProperty>(p.Get());
    };
    auto oneStage = [](CapsProfile& p) { p.maxTextureBlendStages = 1; };
    auto none = [](CapsProfile&) {};
    const Case cases[] = {
        {"empty list", none, [](SgPropertyList&, SgImage*, SgImage*) {}, 0},
        {"blending with two passes", oneStage,
         [&](SgPropertyList& l, SgImage* a, SgImage* b) {
             l.Prepend(alpha(6, 7).Get());
             l.Prepend(textured(a).Get());
             l.Prepend(multi(b, 0).Get());
         },
         0x1 | 0x40000040},
        {"fog with two passes and vertex fog", oneStage,
         [&](SgPropertyList& l, SgImage* a, SgImage* b) {
             l.Prepend(fog(0).Get());
             l.Prepend(textured(a).Get());
             l.Prepend(multi(b, 0).Get());
         },
         0x1 | 0x40000200},
        {"single pass", none,
         [&](SgPropertyList& l, SgImage* a, SgImage* b) {
             l.Prepend(textured(a).Get());
             l.Prepend(multi(b, 0).Get());
         },
         0},
        {"single pass, but the vertex colour needs two", none,
         [&](SgPropertyList& l, SgImage* a, SgImage* b) {
             l.Prepend(textured(a).Get());
             l.Prepend(multi(b, 3).Get());
         },
         0x400 | 0x1},
        {"single pass without trilinear filtering",
         [](CapsProfile& p) {
             p.validate = [](const DeviceView& v, DWORD* passes) -> HRESULT {
                 *passes = 1;
                 return v.stages[0].states[D3DTSS_MIPFILTER] == D3DTFP_LINEAR &&
                                v.stages[1].states[D3DTSS_MIPFILTER] == D3DTFP_LINEAR
                            ? D3DERR_UNSUPPORTEDTEXTUREFILTER
                            : D3D_OK;
             };
         },
         [&](SgPropertyList& l, SgImage* a, SgImage* b) {
             SgRef<SgTextureModeProperty> m(new SgTextureModeProperty);
             m->filterMode = 2;
             l.Prepend(m.Get());
             l.Prepend(textured(a).Get());
             l.Prepend(multi(b, 0).Get());
         },
         0x2},
        {"unsupported blend", [](CapsProfile& p) { p.destBlendCaps &= ~D3DPBLENDCAPS_INVSRCALPHA; },
         [&](SgPropertyList& l, SgImage*, SgImage*) { l.Prepend(alpha(6, 7).Get()); }, 0x40000010},
        {"a blend past the table reads as ONE", none,
         [&](SgPropertyList& l, SgImage*, SgImage*) { l.Prepend(alpha(40, 1).Get()); }, 0},
        {"dither", none,
         [](SgPropertyList& l, SgImage*, SgImage*) {
             SgRef<SgDitherProperty> p(new SgDitherProperty);
             p->ditherOn = 1;
             l.Prepend(p.Get());
         },
         0x4},
        {"apply past the modes", none,
         [&](SgPropertyList& l, SgImage* a, SgImage*) {
             SgRef<SgTextureModeProperty> m(new SgTextureModeProperty);
             m->applyMode = 40;
             l.Prepend(m.Get());
             l.Prepend(textured(a).Get());
         },
         0x40000020},
        {"mixed addressing without independent u and v",
         [](CapsProfile& p) { p.textureAddressCaps &= ~D3DPTADDRESSCAPS_INDEPENDENTUV; },
         [&](SgPropertyList& l, SgImage* a, SgImage* b) {
             l.Prepend(textured(a).Get());
             l.Prepend(multi(b, 0, 1).Get());
         },
         0x40000100},
        {"two extra textures", none,
         [&](SgPropertyList& l, SgImage* a, SgImage* b) {
             SgRef<SgMultiTextureProperty> p(new SgMultiTextureProperty);
             p->textures.SetAtGrow(0, SgRef<SgImage>(a));
             p->textures.SetAtGrow(1, SgRef<SgImage>(b));
             l.Prepend(p.Get());
         },
         0x40001000},
        {"a mode past the table", none,
         [&](SgPropertyList& l, SgImage* a, SgImage* b) {
             l.Prepend(textured(a).Get());
             l.Prepend(multi(b, 12).Get());
         },
         0x40000008},
        {"depth test without a Z-buffer", none,
         [](SgPropertyList& l, SgImage*, SgImage*) {
             SgRef<SgZBufferProperty> p(new SgZBufferProperty);
             p->depthTest = 1;
             l.Prepend(p.Get());
         },
         0x40002000},
        {"a later property of a type wins", none,
         [&](SgPropertyList& l, SgImage*, SgImage*) {
             SgRef<SgDitherProperty> on(new SgDitherProperty), off(new SgDitherProperty);
             on->ditherOn = 1;
             l.Prepend(on.Get());
             l.Prepend(off.Get());
         },
         0x4},
    };
    for (const Case& c : cases) {
        EditProfile(c.caps);
        r = Open(Params(0, 10));  // no Z-buffer
        ASSERT_TRUE(r) << c.name;
        SgRef<SgImage> a = Texture(16, 16), b = Texture(16, 16, SgRawImageData::kRgba);
        c.build(list, a.Get(), b.Get());
        EXPECT_EQ(r->CheckProperties(list), c.flags) << c.name;
        list.Clear();
        a = b = nullptr;
        r = nullptr;
        renders.clear();
        SgD3DRender::ReleaseCurrent();
        platform::dd::SetCapsProfile(platform::dd::DefaultCapsProfile());
    }
}

}  // namespace
