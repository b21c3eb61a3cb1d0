// The software 3D device's pixels: clears, coverage and the fill rule, depth, blending, colour keys,
// fog, shading, wireframe, addressing, filtering, mipmaps, perspective, culling, texture stages,
// lines, and the specialised span loops against the general pipeline.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

#include "platform/ddraw/control.h"
#include "platform/ddraw/d3d.h"
#include "tests/support/ddraw_device.h"

namespace {

using namespace ddtest;
namespace dd = platform::dd;

// The device's 8-bit scaling: a * f / 255, exact at f = 0 and 255.
int Scale(int a, int f) { return (a * (f + (f >> 7))) >> 8; }
int LerpTo(int from, int to, int f) { return from + (((to - from) * (f + (f >> 7))) >> 8); }
// A 5-6-5 pixel as 0xAARRGGBB, as the device reads it back.
uint32_t Expand565(uint32_t p) {
    const uint32_t r = (p >> 11) & 31, g = (p >> 5) & 63, b = p & 31;
    return 0xFF000000u | ((r << 3 | r >> 2) << 16) | ((g << 2 | g >> 4) << 8) | (b << 3 | b >> 2);
}

// Every width of the specialised span loops (a width the processor lacks falls back to a narrower).
constexpr dd::SpanWidth kSpanWidths[] = {dd::SpanWidth::Sixteen, dd::SpanWidth::Eight, dd::SpanWidth::One};

// Both rasteriser paths: the specialised span loops where they apply, and the general pipeline.
class RasterTest : public DDrawTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        DDrawTest::SetUp();
        dd::ForceGeneralRaster(GetParam());
    }

    void TearDown() override {
        for (IDirectDrawSurface4* t : textures)
            t->Release();
        device.reset();
        DDrawTest::TearDown();
    }

    void Open(const DeviceOptions& options = DeviceOptions()) {
        device = SoftDevice::Create(options);
        ASSERT_NE(device, nullptr);
    }

    IDirectDrawSurface4* Texture(int w, int h, const DDPIXELFORMAT& format,
                                 const std::function<uint32_t(int, int, int)>& texel, int levels = 0) {
        IDirectDrawSurface4* t = device->MakeTexture(w, h, format, texel, levels);
        if (t)
            textures.push_back(t);
        return t;
    }

    // Stage 0 shows the texture alone.
    void UseTexture(IDirectDrawSurface4* t, DWORD op = D3DTOP_SELECTARG1) {
        device->SetTexture(0, t);
        device->StageState(0, D3DTSS_COLOROP, op);
        device->StageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
        device->StageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
        device->StageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
        device->StageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    }

    std::unique_ptr<SoftDevice> device;
    std::vector<IDirectDrawSurface4*> textures;
};

INSTANTIATE_TEST_SUITE_P(Paths, RasterTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "General" : "Specialised";
                         });

TEST_P(RasterTest, ClearsOnlyInsideTheRectangleAndTheViewport) {
    Open();
    device->Clear(0xFF000000, 1.0f);
    ASSERT_EQ(device->SetViewport(8, 8, 32, 32), D3D_OK);
    D3DRECT r{0, 0, 20, 20};
    ASSERT_EQ(device->viewport->Clear2(1, &r, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFFFF0000, 0.25f, 0), D3D_OK);
    for (int y = 0; y < 64; y += 3) {
        for (int x = 0; x < 64; x += 3) {
            const bool inside = x >= 8 && x < 20 && y >= 8 && y < 20;
            EXPECT_EQ(device->Pixel(x, y), inside ? 0xFFFF0000u : 0xFF000000u) << x << "," << y;
            EXPECT_EQ(device->Depth(x, y), inside ? 16383u : 65535u) << x << "," << y;
        }
    }
    EXPECT_EQ(device->viewport->Clear2(1, nullptr, D3DCLEAR_TARGET, 0, 1, 0), DDERR_INVALIDPARAMS);
}

TEST_P(RasterTest, AViewportPolygonCoversExactlyTheViewport) {
    Open();
    device->Clear(0xFF000000);
    ASSERT_EQ(device->SetViewport(10, 12, 30, 20), D3D_OK);
    ASSERT_EQ(device->DrawRect(10, 12, 40, 32, 0xFFFFFFFF), D3D_OK);
    // A second, larger polygon never leaves the viewport either.
    ASSERT_EQ(device->DrawRect(-100, -100, 200, 200, 0xFF00FF00, 0.9f), D3D_OK);
    Image image = device->Read();
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            const bool inside = x >= 10 && x < 40 && y >= 12 && y < 32;
            ASSERT_EQ(image.At(x, y), inside ? 0xFFFFFFFFu : 0xFF000000u) << x << "," << y;
        }
    }
}

// A mesh of triangles with sub-pixel interior vertices drawn additively: every pixel of the
// rectangle it tiles is drawn once, none twice, none outside.
TEST_P(RasterTest, TrianglesSharingEdgesCoverEachPixelOnce) {
    Open({.width = 64, .height = 64, .depth = false});
    device->Clear(0xFF000000);
    device->State(D3DRENDERSTATE_ALPHABLENDENABLE, TRUE);
    device->State(D3DRENDERSTATE_SRCBLEND, D3DBLEND_ONE);
    device->State(D3DRENDERSTATE_DESTBLEND, D3DBLEND_ONE);
    const int n = 7;
    const float x0 = 4, size = 56;
    std::vector<D3DTLVERTEX> v;
    for (int j = 0; j <= n; ++j) {
        for (int i = 0; i <= n; ++i) {
            float x = x0 + size * i / n, y = x0 + size * j / n;
            if (i > 0 && i < n && j > 0 && j < n) {
                x += 0.37f * static_cast<float>((i * 7 + j * 3) % 5) - 0.7f;
                y += 0.29f * static_cast<float>((i * 2 + j * 5) % 7) - 0.8f;
            }
            v.push_back(Vertex(x, y, 0.5f, 1, 0xFF080000));
        }
    }
    std::vector<WORD> idx;
    for (int j = 0; j < n; ++j) {
        for (int i = 0; i < n; ++i) {
            WORD a = static_cast<WORD>(j * (n + 1) + i), b = a + 1, c = a + n + 1, d = c + 1;
            if ((i + j) % 2)
                idx.insert(idx.end(), {a, b, d, a, d, c});
            else
                idx.insert(idx.end(), {a, b, c, b, d, c});
        }
    }
    // A fan about an inner point adds edges of many slopes inside the same rectangle.
    ASSERT_EQ(device->DrawIndexed(D3DPT_TRIANGLELIST, v, idx), D3D_OK);
    Image image = device->Read();
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            const bool inside = x >= 4 && x < 60 && y >= 4 && y < 60;
            ASSERT_EQ(Red(image.At(x, y)), inside ? 8 : 0) << "pixel " << x << "," << y;
        }
    }

    device->Clear(0xFF000000);
    std::vector<D3DTLVERTEX> fan = {Vertex(31.3f, 30.6f, 0.5f, 1, 0xFF080000)};
    for (int k = 0; k <= 16; ++k) {
        float a = 6.2831853f * static_cast<float>(k % 16) / 16;
        fan.push_back(Vertex(31.3f + 25 * std::cos(a), 30.6f + 25 * std::sin(a), 0.5f, 1, 0xFF080000));
    }
    ASSERT_EQ(device->Draw(D3DPT_TRIANGLEFAN, fan), D3D_OK);
    image = device->Read();
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            const float r = std::hypot(static_cast<float>(x) - 31.3f, static_cast<float>(y) - 30.6f);
            const int red = Red(image.At(x, y));
            ASSERT_LE(red, 8) << "drawn twice at " << x << "," << y;
            if (r < 23.5f) {
                ASSERT_EQ(red, 8) << "gap at " << x << "," << y;
            }
            if (r > 25.5f) {
                ASSERT_EQ(red, 0) << "outside at " << x << "," << y;
            }
        }
    }
}

TEST_P(RasterTest, PixelCentresOnLeftAndTopEdgesAreInsideOnRightAndBottomOutside) {
    Open({.width = 16, .height = 16, .depth = false});
    device->Clear(0xFF000000);
    ASSERT_EQ(device->DrawRect(2, 3, 5, 7, 0xFFFFFFFF), D3D_OK);
    // Half a pixel further: the centres at 5.5 are inside a rectangle ending at 5.5 + 1/16.
    ASSERT_EQ(device->DrawRect(9.5f, 3, 11.5625f, 4, 0xFFFFFFFF), D3D_OK);
    Image image = device->Read();
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 8; ++x) {
            const bool in = x >= 2 && x < 5 && y >= 3 && y < 7;
            EXPECT_EQ(image.At(x, y), in ? 0xFFFFFFFFu : 0xFF000000u) << x << "," << y;
        }
    }
    EXPECT_EQ(image.At(9, 3), 0xFF000000u);
    EXPECT_EQ(image.At(10, 3), 0xFFFFFFFFu);
    EXPECT_EQ(image.At(11, 3), 0xFFFFFFFFu);
    EXPECT_EQ(image.At(12, 3), 0xFF000000u);
}

// Seeded triangles each drawn alone against coverage worked out independently: exact edge
// functions at pixel centres on the 1/16 grid, a centre on an edge inside for a left or top edge,
// within the viewport. Small and large ones, both windings, the middle corner on either side,
// corners sharing a row (flat tops and bottoms, ties in the corners' order) or on pixel centres,
// and triangles cut by every side of the viewport; at one pixel at a time and at the widest loops,
// whose set-ups are compiled apart.
TEST_P(RasterTest, SeededTrianglesCoverExactlyTheirPixels) {
    constexpr int kWidth = 48, kHeight = 40;
    constexpr int kLeft = 4, kTop = 5, kRight = 44, kBottom = 35;
    struct Restore {
        ~Restore() { dd::LimitSpanWidth(dd::SpanWidth::Sixteen); }
    } restore;
    std::mt19937 rng(7);
    auto pick = [&rng](int n) { return static_cast<int>(rng() % static_cast<uint32_t>(n)); };
    for (dd::SpanWidth width : {dd::SpanWidth::One, dd::SpanWidth::Sixteen}) {
        dd::LimitSpanWidth(width);
        SCOPED_TRACE(::testing::Message() << "span width " << static_cast<int>(dd::WidestSpans()));
        Open({.width = kWidth, .height = kHeight, .depth = false});
        ASSERT_EQ(device->SetViewport(kLeft, kTop, kRight - kLeft, kBottom - kTop), D3D_OK);
        device->State(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
        for (int n = 0; n < 400; ++n) {
            // Corners in 1/16 pixels, so the device's snapping keeps them where they are.
            const bool large = pick(4) == 0;
            const int cx = pick(kWidth * 16), cy = pick(kHeight * 16), reach = large ? 40 * 16 : 10 * 16;
            int64_t X[3], Y[3];
            // First two whose left edge (then right edge) crosses a row a hair, 1/16 of a pixel over
            // the edge's height, right of a pixel centre, reached rows after the edge's start.
            constexpr int64_t kHair[2][6] = {{655, 52, 38, 199, 183, 520}, {421, 120, 422, 543, 625, 453}};
            for (int i = 0; n < 2 && i < 3; ++i) {
                X[i] = kHair[n][2 * i];
                Y[i] = kHair[n][2 * i + 1];
            }
            for (int i = 0; n >= 2 && i < 3; ++i) {
                X[i] = cx + pick(2 * reach) - reach;
                Y[i] = cy + pick(2 * reach) - reach;
                if (pick(3) == 0)
                    X[i] &= ~15;  // on a pixel centre's column
                if (pick(3) == 0)
                    Y[i] &= ~15;
                if (i > 0 && pick(4) == 0)
                    Y[i] = Y[pick(i)];  // sharing a row with an earlier corner
            }
            const int64_t area = (X[1] - X[0]) * (Y[2] - Y[0]) - (X[2] - X[0]) * (Y[1] - Y[0]);
            if (area == 0)
                continue;
            auto covered = [&](int px, int py) {
                const int64_t sx = 16 * px, sy = 16 * py;
                for (int i = 0; i < 3; ++i) {
                    const int j = (i + 1) % 3;
                    const int64_t ex = X[j] - X[i], ey = Y[j] - Y[i];
                    const int64_t e = (ex * (sy - Y[i]) - ey * (sx - X[i])) * (area > 0 ? 1 : -1);
                    // The inward normal: a left edge has it to the right, a top edge downwards.
                    const int64_t nx = -ey * (area > 0 ? 1 : -1), ny = ex * (area > 0 ? 1 : -1);
                    if (e < 0 || (e == 0 && !(nx > 0 || (nx == 0 && ny > 0))))
                        return false;
                }
                return true;
            };
            device->Clear(0xFF000000);
            std::vector<D3DTLVERTEX> v;
            for (int i = 0; i < 3; ++i)
                v.push_back(Vertex(static_cast<float>(X[i]) / 16, static_cast<float>(Y[i]) / 16));
            ASSERT_EQ(device->Draw(D3DPT_TRIANGLELIST, v), D3D_OK);
            const Image image = device->Read();
            for (int y = 0; y < kHeight; ++y) {
                for (int x = 0; x < kWidth; ++x) {
                    const bool in = x >= kLeft && x < kRight && y >= kTop && y < kBottom && covered(x, y);
                    ASSERT_EQ(image.At(x, y), in ? 0xFFFFFFFFu : 0xFF000000u)
                        << "triangle " << n << " (" << X[0] << "," << Y[0] << ") (" << X[1] << "," << Y[1] << ") ("
                        << X[2] << "," << Y[2] << ") in 1/16 pixels, pixel " << x << "," << y;
                }
            }
        }
    }
}

TEST_P(RasterTest, DepthTestAndWriteFollowTheirStates) {
    struct Case {
        const char* name;
        bool enable;
        DWORD func;
        bool write;
        float second;
        bool secondWins;
        float depthAfter;
    };
    const Case cases[] = {
        {"nearer passes", true, D3DCMP_LESSEQUAL, true, 0.3f, true, 0.3f},
        {"farther fails", true, D3DCMP_LESSEQUAL, true, 0.7f, false, 0.5f},
        {"equal passes less-or-equal", true, D3DCMP_LESSEQUAL, true, 0.5f, true, 0.5f},
        {"no write keeps the depth", true, D3DCMP_LESSEQUAL, false, 0.3f, true, 0.5f},
        {"always writes farther", true, D3DCMP_ALWAYS, true, 0.7f, true, 0.7f},
        {"disabled neither tests nor writes", false, D3DCMP_LESSEQUAL, true, 0.7f, true, 0.5f},
        {"equal fails less", true, D3DCMP_LESS, true, 0.5f, false, 0.5f},
        {"greater", true, D3DCMP_GREATER, true, 0.7f, true, 0.7f},
        {"never", true, D3DCMP_NEVER, true, 0.1f, false, 0.5f},
    };
    Open();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        device->Clear(0xFF000000, 1.0f);
        device->State(D3DRENDERSTATE_ZENABLE, TRUE);
        device->State(D3DRENDERSTATE_ZFUNC, D3DCMP_LESSEQUAL);
        device->State(D3DRENDERSTATE_ZWRITEENABLE, TRUE);
        ASSERT_EQ(device->DrawRect(8, 8, 40, 40, 0xFFFF0000, 0.5f), D3D_OK);
        device->State(D3DRENDERSTATE_ZENABLE, c.enable);
        device->State(D3DRENDERSTATE_ZFUNC, c.func);
        device->State(D3DRENDERSTATE_ZWRITEENABLE, c.write);
        ASSERT_EQ(device->DrawRect(16, 16, 48, 48, 0xFF00FF00, c.second), D3D_OK);
        EXPECT_EQ(device->Pixel(20, 20), c.secondWins ? 0xFF00FF00u : 0xFFFF0000u);
        EXPECT_EQ(device->Depth(20, 20), static_cast<uint32_t>(c.depthAfter * 65535.0));
        const bool passesClear = c.func != D3DCMP_NEVER && c.func != D3DCMP_GREATER;
        EXPECT_EQ(device->Pixel(44, 44), passesClear ? 0xFF00FF00u : 0xFF000000u) << "over the cleared depth";
    }
}

// Depth past either end of [0, 1] at a corner is clamped pixel by pixel, on both paths: a row
// running from 0.5 to 1.45 is at the far end from its middle on, not part way. A specialised state
// draws such a triangle as the general pipeline does.
TEST_P(RasterTest, DepthBeyondItsRangeIsClampedPixelByPixel) {
    struct Case {
        const char* name;
        float left, right;  // depth at x = 0 and x = 60
    };
    const Case cases[] = {
        {"past the far end", 0.5f, 1.5f},
        {"before the near end", 0.5f, -0.5f},
        {"past both", -0.25f, 1.25f},
    };
    Open();
    device->State(D3DRENDERSTATE_ZENABLE, TRUE);
    device->State(D3DRENDERSTATE_ZFUNC, D3DCMP_ALWAYS);
    device->State(D3DRENDERSTATE_ZWRITEENABLE, TRUE);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        device->Clear(0xFF000000, 1.0f);
        const std::vector<D3DTLVERTEX> tri = {Vertex(0, 0, c.left), Vertex(60, 0, c.right), Vertex(0, 40, c.left)};
        ASSERT_EQ(device->Draw(D3DPT_TRIANGLELIST, tri), D3D_OK);
        for (int x = 0; x < 56; ++x) {
            const double z = std::clamp(c.left + (c.right - c.left) * x / 60.0, 0.0, 1.0);  // centres on whole x
            EXPECT_NEAR(static_cast<double>(device->Depth(x, 2)), z * 65535.0, 2.0) << "x " << x;
        }
    }
    // Textured, bilinear, mipmapped and fogged, with 1/w falling: the pixels the general pipeline
    // draws for the same triangle. Only a specialised state has something to compare.
    if (GetParam())
        return;
    IDirectDrawSurface4* t = Texture(32, 32, dd::FormatArgb8888(), [](int x, int y, int level) {
        return 0xFF000000u | static_cast<uint32_t>((x * 8) << 16 | (y * 8) << 8 | level * 50);
    }, 6);
    ASSERT_NE(t, nullptr);
    UseTexture(t, D3DTOP_MODULATE);
    device->StageState(0, D3DTSS_MAGFILTER, D3DTFG_LINEAR);
    device->StageState(0, D3DTSS_MINFILTER, D3DTFN_LINEAR);
    device->StageState(0, D3DTSS_MIPFILTER, D3DTFP_POINT);
    device->State(D3DRENDERSTATE_FOGENABLE, TRUE);
    device->State(D3DRENDERSTATE_FOGCOLOR, 0x00406080);
    device->State(D3DRENDERSTATE_ZFUNC, D3DCMP_LESSEQUAL);
    const std::vector<D3DTLVERTEX> tri = {Vertex(0, 0, 0.5f, 1.0f, 0xFFC08040, 0xFF000000, 0, 0),
                                          Vertex(60, 4, 1.5f, 0.1f, 0xFF80C0FF, 0x20000000, 9, 1),
                                          Vertex(6, 40, 0.7f, 0.6f, 0xFFFFFFFF, 0x80000000, 1, 7)};
    auto draw = [&](bool general) {
        dd::ForceGeneralRaster(general);
        device->Clear(0xFF000000, 1.0f);
        EXPECT_EQ(device->Draw(D3DPT_TRIANGLELIST, tri), D3D_OK);
        dd::ForceGeneralRaster(false);
        return device->Read();
    };
    const Image general = draw(true), drawn = draw(false);
    EXPECT_EQ(drawn.pixels, general.pixels);
}

TEST_P(RasterTest, ZBiasPullsASecondPassInFront) {
    Open();
    device->Clear(0xFF000000, 1.0f);
    ASSERT_EQ(device->DrawRect(0, 0, 32, 32, 0xFFFF0000, 0.5f), D3D_OK);
    device->State(D3DRENDERSTATE_ZFUNC, D3DCMP_LESS);
    ASSERT_EQ(device->DrawRect(0, 0, 32, 32, 0xFF00FF00, 0.5f), D3D_OK);
    EXPECT_EQ(device->Pixel(5, 5), 0xFFFF0000u);
    device->State(D3DRENDERSTATE_ZBIAS, 4);
    ASSERT_EQ(device->DrawRect(0, 0, 32, 32, 0xFF00FF00, 0.5f), D3D_OK);
    EXPECT_EQ(device->Pixel(5, 5), 0xFF00FF00u);
}

// Every pair of the eleven blend factors over a known background, on a target with alpha so the
// destination-alpha factors have something to read.
TEST_P(RasterTest, EveryBlendPairMixesSourceAndBackgroundAsItsFactorsSay) {
    Open({.width = 8, .height = 8, .format = dd::FormatArgb8888(), .depth = false});
    const int S[4] = {200, 100, 50, 96};  // r, g, b, a of the source
    const int D[4] = {40, 80, 120, 64};   // of the background
    auto factor = [&](DWORD f, int channel) {
        const int sa = S[3], da = D[3];
        switch (f) {
        case D3DBLEND_ZERO: return 0;
        case D3DBLEND_ONE: return 255;
        case D3DBLEND_SRCCOLOR: return S[channel];
        case D3DBLEND_INVSRCCOLOR: return 255 - S[channel];
        case D3DBLEND_SRCALPHA: return sa;
        case D3DBLEND_INVSRCALPHA: return 255 - sa;
        case D3DBLEND_DESTALPHA: return da;
        case D3DBLEND_INVDESTALPHA: return 255 - da;
        case D3DBLEND_DESTCOLOR: return D[channel];
        case D3DBLEND_INVDESTCOLOR: return 255 - D[channel];
        default: return channel == 3 ? 255 : std::min(sa, 255 - da);  // SRCALPHASAT
        }
    };
    device->State(D3DRENDERSTATE_ALPHABLENDENABLE, TRUE);
    for (DWORD src = D3DBLEND_ZERO; src <= D3DBLEND_SRCALPHASAT; ++src) {
        for (DWORD dst = D3DBLEND_ZERO; dst <= D3DBLEND_SRCALPHASAT; ++dst) {
            SCOPED_TRACE(::testing::Message() << "source " << src << " destination " << dst);
            device->Clear(0x40285078);
            device->State(D3DRENDERSTATE_SRCBLEND, src);
            device->State(D3DRENDERSTATE_DESTBLEND, dst);
            ASSERT_EQ(device->DrawRect(0, 0, 8, 8, 0x60C86432), D3D_OK);
            const uint32_t got = device->Pixel(3, 3);
            const int channels[4] = {Red(got), Green(got), Blue(got), Alpha(got)};
            for (int ch = 0; ch < 4; ++ch) {
                const int want = std::min(255, Scale(S[ch], factor(src, ch)) + Scale(D[ch], factor(dst, ch)));
                EXPECT_NEAR(channels[ch], want, 1) << "channel " << ch;
            }
        }
    }
}

TEST_P(RasterTest, AlphaBlendAndAdditiveBlendsOnSixteenBits) {
    struct Case {
        const char* name;
        DWORD srcBlend, destBlend;
        D3DCOLOR background, source;
        int red, green, blue;
    };
    const Case cases[] = {
        {"alpha blend", D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, 0xFF0000FF, 0x80FF0000, 128, 0, 127},
        {"added, red saturates", D3DBLEND_ONE, D3DBLEND_ONE, 0xFF404040, 0xFFE04020, 255, 0x80, 0x60},
        {"added by alpha, red saturates", D3DBLEND_SRCALPHA, D3DBLEND_ONE, 0xFFC04040, 0x80FF4020, 255,
         0x40 + Scale(0x40, 0x80), 0x40 + Scale(0x20, 0x80)},
    };
    Open({.width = 8, .height = 8, .depth = false});
    device->State(D3DRENDERSTATE_ALPHABLENDENABLE, TRUE);
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        device->State(D3DRENDERSTATE_SRCBLEND, k.srcBlend);
        device->State(D3DRENDERSTATE_DESTBLEND, k.destBlend);
        device->Clear(k.background);
        ASSERT_EQ(device->DrawRect(0, 0, 8, 8, k.source), D3D_OK);
        EXPECT_EQ(dd::LastDrawSpecialised(), !GetParam());
        const uint32_t c = device->Pixel(4, 4);
        EXPECT_NEAR(Red(c), k.red, 8);
        EXPECT_NEAR(Green(c), k.green, 8);
        EXPECT_NEAR(Blue(c), k.blue, 8);
    }
}

TEST_P(RasterTest, ColourKeyedTexelsLeaveThePixelAlone) {
    Open({.width = 16, .height = 16, .depth = false});
    IDirectDrawSurface4* t = Texture(4, 4, dd::FormatRgb565(), [](int x, int y, int) {
        return (x + y) % 2 ? 0xFF000000u : 0xFFFF0000u;
    });
    DDCOLORKEY key{0, 0};
    ASSERT_EQ(t->SetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
    UseTexture(t);
    for (bool keyed : {true, false}) {
        SCOPED_TRACE(keyed ? "key on" : "key off");
        device->State(D3DRENDERSTATE_COLORKEYENABLE, keyed);
        device->Clear(0xFF00FF00);
        ASSERT_EQ(device->DrawRect(0, 0, 16, 16, 0xFFFFFFFF), D3D_OK);
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 16; ++x) {
                const bool black = (x / 4 + y / 4) % 2 == 1;
                const uint32_t want = black ? (keyed ? 0xFF00FF00u : 0xFF000000u) : 0xFFFF0000u;
                ASSERT_EQ(device->Pixel(x, y), want) << x << "," << y;
            }
        }
    }
}

TEST_P(RasterTest, VertexFogMixesTowardsTheFogColourByTheSpecularAlpha) {
    Open({.width = 16, .height = 16, .depth = false});
    device->State(D3DRENDERSTATE_FOGENABLE, TRUE);
    device->State(D3DRENDERSTATE_FOGCOLOR, 0x000000FF);
    for (int f : {255, 128, 0}) {
        SCOPED_TRACE(f);
        device->Clear(0xFF000000);
        const D3DCOLOR spec = static_cast<D3DCOLOR>(f) << 24;
        ASSERT_EQ(device->Draw(D3DPT_TRIANGLELIST,
                               {Vertex(0, 0, .5f, 1, 0xFFFF0000, spec), Vertex(16, 0, .5f, 1, 0xFFFF0000, spec),
                                Vertex(0, 16, .5f, 1, 0xFFFF0000, spec)}),
                  D3D_OK);
        const uint32_t c = device->Pixel(3, 3);
        EXPECT_NEAR(Red(c), LerpTo(0, 255, f), 8);
        EXPECT_NEAR(Blue(c), LerpTo(255, 0, f), 8);
    }
    // From unfogged at the left to fully fogged at the right.
    device->Clear(0xFF000000);
    ASSERT_EQ(device->Draw(D3DPT_TRIANGLESTRIP,
                           {Vertex(0, 0, .5f, 1, 0xFFFF0000, 0xFF000000), Vertex(16, 0, .5f, 1, 0xFFFF0000, 0),
                            Vertex(0, 16, .5f, 1, 0xFFFF0000, 0xFF000000), Vertex(16, 16, .5f, 1, 0xFFFF0000, 0)}),
              D3D_OK);
    EXPECT_GT(Red(device->Pixel(0, 8)), 240);
    EXPECT_GT(Blue(device->Pixel(15, 8)), 220);
    EXPECT_NEAR(Red(device->Pixel(8, 8)), 128, 12);
}

// Fog tints the colour and leaves alpha alone: a fogged translucent triangle blends over the
// background by its own alpha, on both paths, whatever the fog colour's alpha (the arena's is 0).
class FogAndBlendTest : public DDrawTest {
protected:
    void TearDown() override {
        dd::ForceGeneralRaster(false);
        DDrawTest::TearDown();
    }

    static constexpr uint32_t kBackground = 0xFF00FF00;  // green

    // A red square of `alpha` fogged by `fog` towards blue of alpha 0, blended over the background.
    uint32_t Render(bool general, int alpha, int fog, bool* specialised) {
        dd::ForceGeneralRaster(general);
        auto device = SoftDevice::Create({.width = 8, .height = 8, .depth = false});
        EXPECT_NE(device, nullptr);
        if (!device)
            return 0;
        device->State(D3DRENDERSTATE_ALPHABLENDENABLE, TRUE);
        device->State(D3DRENDERSTATE_SRCBLEND, D3DBLEND_SRCALPHA);
        device->State(D3DRENDERSTATE_DESTBLEND, D3DBLEND_INVSRCALPHA);
        device->State(D3DRENDERSTATE_FOGENABLE, TRUE);
        device->State(D3DRENDERSTATE_FOGCOLOR, 0x000000FF);
        device->Clear(kBackground);
        const D3DCOLOR diffuse = static_cast<D3DCOLOR>(alpha) << 24 | 0xFF0000;
        const D3DCOLOR spec = static_cast<D3DCOLOR>(fog) << 24;
        EXPECT_EQ(device->Draw(D3DPT_TRIANGLESTRIP,
                               {Vertex(0, 0, .5f, 1, diffuse, spec), Vertex(8, 0, .5f, 1, diffuse, spec),
                                Vertex(0, 8, .5f, 1, diffuse, spec), Vertex(8, 8, .5f, 1, diffuse, spec)}),
                  D3D_OK);
        *specialised = dd::LastDrawSpecialised();
        return device->Pixel(4, 4);
    }
};

// Fog tints the colour and leaves alpha alone: a fogged translucent square blends over the
// background by its own alpha on both paths, whatever the fog colour's alpha (the arena's is 0).
TEST_F(FogAndBlendTest, FogLeavesTheBlendAlphaAloneOnBothPaths) {
    for (int alpha : {0, 110, 255}) {
        for (int fog : {0, 128, 255}) {
            SCOPED_TRACE(::testing::Message() << "alpha " << alpha << " fog factor " << fog);
            const int red = LerpTo(0, LerpTo(0, 255, fog), alpha);
            const int green = LerpTo(255, 0, alpha);
            const int blue = LerpTo(0, LerpTo(255, 0, fog), alpha);
            const uint32_t want = 0xFF000000u | static_cast<uint32_t>(red << 16 | green << 8 | blue);
            bool specialised = false;
            const uint32_t fast = Render(false, alpha, fog, &specialised);
            EXPECT_TRUE(specialised);
            const uint32_t general = Render(true, alpha, fog, &specialised);
            EXPECT_FALSE(specialised);
            // Within one step of a 5-bit channel (8 or 9 once widened to 8 bits).
            EXPECT_LE(ColorDistance(fast, want), 9) << std::hex << fast << " want " << want;
            EXPECT_LE(ColorDistance(general, want), 9) << std::hex << general << " want " << want;
            EXPECT_LE(ColorDistance(fast, general), 9) << std::hex << fast << " general " << general;
        }
    }
}

// The screen blend (source one, destination inverse source colour) the HUD's panels draw with: a
// keyed texture (its key state off) over a background of every shade, on both paths. With a white
// diffuse and point sampling the specialised loop must give the general pipeline's very pixels;
// modulated by a colour and filtered, within one step of a 5-bit channel.
class ScreenBlendTest : public DDrawTest {
protected:
    void TearDown() override {
        dd::ForceGeneralRaster(false);
        DDrawTest::TearDown();
    }

    static constexpr int kSide = 32;

    // Every corner a different colour, blended across.
    static void DrawBackground(SoftDevice& device) {
        EXPECT_EQ(device.Draw(D3DPT_TRIANGLESTRIP, {Vertex(0, 0, .5f, 1, 0xFFFF0000), Vertex(kSide, 0, .5f, 1, 0xFF00FF00),
                                                    Vertex(0, kSide, .5f, 1, 0xFF0000FF),
                                                    Vertex(kSide, kSide, .5f, 1, 0xFFFFFFFF)}),
                  D3D_OK);
    }

    Image Render(bool general, bool bilinear, D3DCOLOR diffuse, bool* specialised) {
        dd::ForceGeneralRaster(general);
        auto device = SoftDevice::Create({.width = kSide, .height = kSide, .depth = false});
        EXPECT_NE(device, nullptr);
        if (!device)
            return {};
        DrawBackground(*device);
        IDirectDrawSurface4* texture = device->MakeTexture(16, 16, dd::FormatArgb8888(), [](int x, int y, int) {
            if ((x + y) % 5 == 0)
                return 0xFF000000u;  // the key: black, which the blend leaves as the background
            return 0xFF000000u | static_cast<uint32_t>((x * 16) << 16 | (y * 16) << 8 | ((x ^ y) * 16));
        });
        EXPECT_NE(texture, nullptr);
        DDCOLORKEY key{0, 0};
        EXPECT_EQ(texture->SetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
        device->SetTexture(0, texture);
        device->StageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
        device->StageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
        device->StageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
        device->StageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
        device->StageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
        device->StageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
        device->StageState(0, D3DTSS_MAGFILTER, bilinear ? D3DTFG_LINEAR : D3DTFG_POINT);
        device->StageState(0, D3DTSS_MINFILTER, bilinear ? D3DTFN_LINEAR : D3DTFN_POINT);
        device->State(D3DRENDERSTATE_ALPHABLENDENABLE, TRUE);
        device->State(D3DRENDERSTATE_SRCBLEND, D3DBLEND_ONE);
        device->State(D3DRENDERSTATE_DESTBLEND, D3DBLEND_INVSRCCOLOR);
        // Texel for pixel, as the HUD maps its panels; the right part ends mid-row.
        EXPECT_EQ(device->DrawRect(2, 3, 29, 30, diffuse, .5f, 0, 0, 27.0f / 16, 27.0f / 16), D3D_OK);
        *specialised = dd::LastDrawSpecialised();
        Image image = device->Read();
        device->SetTexture(0, nullptr);
        texture->Release();
        return image;
    }
};

TEST_F(ScreenBlendTest, SpecialisedLoopsGiveTheGeneralPipelinesPixels) {
    struct Case {
        const char* name;
        bool bilinear;
        D3DCOLOR diffuse;
        int tolerance;
    };
    const Case cases[] = {
        {"point, white", false, 0xFFFFFFFF, 0},
        {"point, coloured", false, 0xC080FF40, 9},
        {"bilinear, white", true, 0xFFFFFFFF, 9},
        {"bilinear, coloured", true, 0x80FF8020, 9},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        bool specialised = false;
        const Image fast = Render(false, k.bilinear, k.diffuse, &specialised);
        EXPECT_TRUE(specialised);
        const Image general = Render(true, k.bilinear, k.diffuse, &specialised);
        EXPECT_FALSE(specialised);
        ASSERT_EQ(fast.pixels.size(), general.pixels.size());
        int worst = 0;
        for (size_t i = 0; i < fast.pixels.size(); ++i)
            worst = std::max(worst, ColorDistance(fast.pixels[i], general.pixels[i]));
        EXPECT_LE(worst, k.tolerance);
    }
    // The blend itself: texel (3, 4) over the background there, by the 8-bit formula.
    bool specialised = false;
    const Image background = [&] {
        dd::ForceGeneralRaster(true);
        auto device = SoftDevice::Create({.width = kSide, .height = kSide, .depth = false});
        DrawBackground(*device);
        return device->Read();
    }();
    const Image fast = Render(false, false, 0xFFFFFFFF, &specialised);
    const uint32_t d = background.At(5, 7), got = fast.At(5, 7);
    const int src[3] = {3 * 16, 4 * 16, (3 ^ 4) * 16};
    const int dst[3] = {Red(d), Green(d), Blue(d)};
    const int out[3] = {Red(got), Green(got), Blue(got)};
    for (int ch = 0; ch < 3; ++ch)
        EXPECT_NEAR(out[ch], src[ch] + Scale(dst[ch], 255 - src[ch]), 9) << "channel " << ch;
}

// The blends that weigh the source by its alpha, drawn by the specialised loops at every width, give
// the general pipeline's pixels within one step of a 5-bit channel: over a background of every
// shade (white where sums saturate), with alpha from the diffuse colour, the texture or their
// product, with and without vertex fog (its colour's alpha 0, as the arena's), with and without a
// depth test that some pixels fail.
class BlendByAlphaTest : public DDrawTest {
protected:
    void TearDown() override {
        dd::ForceGeneralRaster(false);
        dd::LimitSpanWidth(dd::SpanWidth::Sixteen);
        DDrawTest::TearDown();
    }

    static constexpr int kWidth = 45, kHeight = 34;

    struct Case {
        const char* name;
        DWORD destBlend;  // the source is weighed by its alpha
        bool textured;
        bool bilinear;
        DWORD colorOp;  // stage 0 (texture, diffuse)
        DWORD alphaOp;
        DWORD alphaArg1;
        bool fog;
        bool depth;
    };

    // The background (drawn by the general pipeline, so every path blends over the same pixels,
    // at depth 0.5) and over it the case's triangles: diffuse, alpha, fog and depth varying across
    // them, some parts behind the background, one running past the right edge.
    Image Render(const Case& k, bool general, dd::SpanWidth width, bool* specialised) {
        auto device = SoftDevice::Create({.width = kWidth, .height = kHeight, .depth = k.depth});
        EXPECT_NE(device, nullptr);
        if (!device)
            return {};
        dd::ForceGeneralRaster(true);
        device->Clear(0xFF000000, 1.0f);
        const float w = kWidth, h = kHeight;
        EXPECT_EQ(device->Draw(D3DPT_TRIANGLESTRIP,
                               {Vertex(0, 0, .5f, 1, 0xFFFF0000), Vertex(w, 0, .5f, 1, 0xFF00FF00),
                                Vertex(0, h, .5f, 1, 0xFF0000FF), Vertex(w, h, .5f, 1, 0xFFFFFFFF)}),
                  D3D_OK);
        IDirectDrawSurface4* texture = nullptr;
        if (k.textured) {
            // Smooth in colour and alpha, so a texel chosen a little apart differs by little.
            texture = device->MakeTexture(32, 16, dd::FormatArgb8888(), [](int x, int y, int) {
                const uint32_t a = static_cast<uint32_t>(255 - x * 6 - y * 3);
                return a << 24 | static_cast<uint32_t>((255 - x * 4) << 16 | (y * 8 + 64) << 8 | (x * 3 + y * 5));
            });
            EXPECT_NE(texture, nullptr);
        }
        device->SetTexture(0, texture);
        device->StageState(0, D3DTSS_COLOROP, k.colorOp);
        device->StageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
        device->StageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
        device->StageState(0, D3DTSS_ALPHAOP, k.alphaOp);
        device->StageState(0, D3DTSS_ALPHAARG1, k.alphaArg1);
        device->StageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
        device->StageState(0, D3DTSS_MAGFILTER, k.bilinear ? D3DTFG_LINEAR : D3DTFG_POINT);
        device->StageState(0, D3DTSS_MINFILTER, k.bilinear ? D3DTFN_LINEAR : D3DTFN_POINT);
        device->State(D3DRENDERSTATE_ALPHABLENDENABLE, TRUE);
        device->State(D3DRENDERSTATE_SRCBLEND, D3DBLEND_SRCALPHA);
        device->State(D3DRENDERSTATE_DESTBLEND, k.destBlend);
        device->State(D3DRENDERSTATE_FOGENABLE, k.fog);
        device->State(D3DRENDERSTATE_FOGCOLOR, 0x00406080);
        device->State(D3DRENDERSTATE_ZFUNC, D3DCMP_LESSEQUAL);
        device->State(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
        dd::ForceGeneralRaster(general);
        dd::LimitSpanWidth(width);
        // Two triangles apart (an error of one step in layers added over each other would add up):
        // the first's diffuse alpha and fog factor (specular alpha) reach the ends of their ranges,
        // the second's stay inside them, so its rows share one set-up (the sixteen-pixel loop's
        // way), over the white corner where the sums saturate.
        const std::vector<D3DTLVERTEX> tris = {
            Vertex(-3, 1, 0.2f, 1.0f, 0xFFE0C0A0, 0xFF000000, 0.0f, 0.0f),
            Vertex(30, 4, 0.8f, 0.4f, 0x00FFFFFF, 0x28000000, 1.0f, 0.2f),
            Vertex(6, 33, 0.3f, 0.7f, 0x80F02060, 0x90000000, 0.1f, 1.0f),
            Vertex(33, -2, 0.4f, 0.9f, 0xC040E080, 0x60000000, 0.8f, 0.0f),
            Vertex(52, 20, 0.6f, 0.5f, 0x90D0A050, 0xD0000000, 1.0f, 0.9f),
            Vertex(20, 33, 0.45f, 0.6f, 0x30B06070, 0xA0000000, 0.0f, 0.6f),
        };
        EXPECT_EQ(device->Draw(D3DPT_TRIANGLELIST, tris), D3D_OK);
        *specialised = dd::LastDrawSpecialised();
        Image image = device->Read();
        if (texture) {
            device->SetTexture(0, nullptr);
            texture->Release();
        }
        return image;
    }
};

TEST_F(BlendByAlphaTest, SpecialisedLoopsAtEveryWidthGiveTheGeneralPipelinesPixels) {
    constexpr DWORD kTex = D3DTA_TEXTURE, kDif = D3DTA_DIFFUSE;
    const Case cases[] = {
        // The arena's glows: an untextured stage selecting the diffuse colour and alpha, fogged.
        {"added by alpha, untextured, fog, depth", D3DBLEND_ONE, false, false, D3DTOP_SELECTARG2, D3DTOP_SELECTARG2,
         kTex, true, true},
        {"added by alpha, untextured", D3DBLEND_ONE, false, false, D3DTOP_SELECTARG2, D3DTOP_SELECTARG2, kTex, false,
         false},
        {"added by alpha, texture alpha, fog, depth", D3DBLEND_ONE, true, false, D3DTOP_SELECTARG1, D3DTOP_SELECTARG1,
         kTex, true, true},
        {"added by alpha, texture alpha", D3DBLEND_ONE, true, true, D3DTOP_SELECTARG1, D3DTOP_SELECTARG1, kTex, false,
         false},
        {"added by alpha, diffuse alpha, modulated, depth", D3DBLEND_ONE, true, true, D3DTOP_MODULATE,
         D3DTOP_SELECTARG2, kDif, false, true},
        {"added by alpha, alpha product, modulated, fog", D3DBLEND_ONE, true, true, D3DTOP_MODULATE, D3DTOP_MODULATE,
         kTex, true, false},
        {"added by alpha, alpha product, point, fog, depth", D3DBLEND_ONE, true, false, D3DTOP_MODULATE,
         D3DTOP_MODULATE, kTex, true, true},
        {"alpha blend, untextured, fog, depth", D3DBLEND_INVSRCALPHA, false, false, D3DTOP_SELECTARG2,
         D3DTOP_SELECTARG2, kTex, true, true},
        {"alpha blend, alpha product, modulated, fog", D3DBLEND_INVSRCALPHA, true, true, D3DTOP_MODULATE,
         D3DTOP_MODULATE, kTex, true, false},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        bool specialised = true;
        const Image general = Render(k, true, dd::SpanWidth::Sixteen, &specialised);
        EXPECT_FALSE(specialised);
        for (dd::SpanWidth width : kSpanWidths) {
            SCOPED_TRACE(::testing::Message() << "span width " << static_cast<int>(width));
            const Image fast = Render(k, false, width, &specialised);
            EXPECT_TRUE(specialised);
            ASSERT_EQ(fast.pixels.size(), general.pixels.size());
            int worst = 0;
            for (size_t i = 0; i < fast.pixels.size(); ++i)
                worst = std::max(worst, ColorDistance(fast.pixels[i], general.pixels[i]));
            EXPECT_LE(worst, 9);
        }
    }
}

TEST_P(RasterTest, FlatShadingTakesTheFirstVertexGouraudBlends) {
    Open({.width = 32, .height = 32, .depth = false});
    const std::vector<D3DTLVERTEX> tri = {Vertex(0, 0, .5f, 1, 0xFFFF0000), Vertex(30, 0, .5f, 1, 0xFF00FF00),
                                          Vertex(0, 30, .5f, 1, 0xFF0000FF)};
    device->State(D3DRENDERSTATE_SHADEMODE, D3DSHADE_FLAT);
    device->Clear(0xFF000000);
    ASSERT_EQ(device->Draw(D3DPT_TRIANGLELIST, tri), D3D_OK);
    for (auto [x, y] : {std::pair{1, 1}, std::pair{25, 2}, std::pair{2, 25}, std::pair{10, 10}})
        EXPECT_EQ(device->Pixel(x, y), 0xFFFF0000u) << x << "," << y;

    device->State(D3DRENDERSTATE_SHADEMODE, D3DSHADE_GOURAUD);
    device->Clear(0xFF000000);
    ASSERT_EQ(device->Draw(D3DPT_TRIANGLELIST, tri), D3D_OK);
    uint32_t near0 = device->Pixel(1, 1), near1 = device->Pixel(27, 1), near2 = device->Pixel(1, 27);
    EXPECT_GT(Red(near0), 220);
    EXPECT_GT(Green(near1), 200);
    EXPECT_GT(Blue(near2), 200);
    uint32_t centre = device->Pixel(10, 10);
    EXPECT_NEAR(Red(centre), 85, 10);
    EXPECT_NEAR(Green(centre), 85, 10);
    EXPECT_NEAR(Blue(centre), 85, 10);
}

TEST_P(RasterTest, WireframeDrawsTheEdgesOnly) {
    Open({.width = 48, .height = 48, .depth = false});
    device->Clear(0xFF000000);
    device->State(D3DRENDERSTATE_FILLMODE, D3DFILL_WIREFRAME);
    ASSERT_EQ(device->DrawRect(10, 10, 40, 40, 0xFFFFFFFF), D3D_OK);
    EXPECT_EQ(device->Pixel(25, 10), 0xFFFFFFFFu) << "top edge";
    EXPECT_EQ(device->Pixel(10, 25), 0xFFFFFFFFu) << "left edge";
    EXPECT_EQ(device->Pixel(40, 25), 0xFFFFFFFFu) << "right edge";
    EXPECT_EQ(device->Pixel(25, 40), 0xFFFFFFFFu) << "bottom edge";
    EXPECT_EQ(device->Pixel(25, 25), 0xFFFFFFFFu) << "the diagonal both triangles share";
    EXPECT_EQ(device->Pixel(30, 15), 0xFF000000u) << "inside the first triangle";
    EXPECT_EQ(device->Pixel(35, 30), 0xFF000000u) << "inside the second triangle";
}

TEST_P(RasterTest, CullingRemovesTheChosenWinding) {
    Open({.width = 16, .height = 16, .depth = false});
    const std::vector<D3DTLVERTEX> clockwise = {Vertex(0, 0), Vertex(16, 0), Vertex(0, 16)};
    const std::vector<D3DTLVERTEX> counter = {Vertex(0, 0), Vertex(0, 16), Vertex(16, 0)};
    struct Case {
        DWORD cull;
        bool clockwiseDrawn;
        bool counterDrawn;
    };
    for (const Case& c :
         {Case{D3DCULL_NONE, true, true}, Case{D3DCULL_CW, false, true}, Case{D3DCULL_CCW, true, false}}) {
        SCOPED_TRACE(c.cull);
        device->State(D3DRENDERSTATE_CULLMODE, c.cull);
        device->Clear(0xFF000000);
        device->Draw(D3DPT_TRIANGLELIST, clockwise);
        EXPECT_EQ(device->Pixel(3, 3) == 0xFFFFFFFFu, c.clockwiseDrawn);
        device->Clear(0xFF000000);
        device->Draw(D3DPT_TRIANGLELIST, counter);
        EXPECT_EQ(device->Pixel(3, 3) == 0xFFFFFFFFu, c.counterDrawn);
    }
}

TEST_P(RasterTest, WrapRepeatsAndClampHoldsTheEdgeTexel) {
    Open({.width = 32, .height = 4, .depth = false});
    const uint32_t colors[4] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF};
    IDirectDrawSurface4* t = Texture(4, 1, dd::FormatRgb565(), [&](int x, int, int) { return colors[x]; });
    UseTexture(t);
    for (DWORD address : {D3DTADDRESS_WRAP, D3DTADDRESS_CLAMP}) {
        SCOPED_TRACE(address);
        device->StageState(0, D3DTSS_ADDRESS, address);
        device->Clear(0xFF000000);
        ASSERT_EQ(device->DrawRect(0, 0, 32, 4, 0xFFFFFFFF, .5f, 0, 0, 2, 1), D3D_OK);
        for (int x = 0; x < 32; ++x) {
            const int texel = x < 16 ? x / 4 : (address == D3DTADDRESS_WRAP ? (x - 16) / 4 : 3);
            ASSERT_EQ(device->Pixel(x, 1), colors[texel]) << x;
        }
    }
}

// Wrapped coordinates far from the origin, or running over more texels in one span than fixed
// point holds (a texture repeated over a thousand times): each pixel keeps the texel of its own
// coordinate. The texture is black on its left half and white on its right, and every pixel
// samples a quarter turn on from the last, between texel edges.
TEST_P(RasterTest, WrappedCoordinatesFarOutKeepTheirTexels) {
    Open({.width = 64, .height = 4, .depth = false});
    IDirectDrawSurface4* t = Texture(32, 1, dd::FormatXrgb8888(), [](int x, int, int) {
        return x < 16 ? 0xFF000000u : 0xFFFFFFFFu;
    });
    UseTexture(t);
    struct Case {
        float u0;     // turns at the left edge
        float turns;  // per pixel
    };
    for (const Case& c : {Case{0, 32.25f}, Case{1000, 32.25f}, Case{1000, 0.25f}, Case{-3000, 0.25f}}) {
        for (dd::SpanWidth width : kSpanWidths) {
            SCOPED_TRACE(::testing::Message() << "from " << c.u0 << ", " << c.turns << " a pixel, "
                                              << static_cast<int>(width));
            dd::LimitSpanWidth(width);
            device->Clear(0xFF00FF00);
            ASSERT_EQ(device->DrawRect(0, 0, 64, 4, 0xFFFFFFFF, .5f, c.u0, 0, c.u0 + 64 * c.turns, 1), D3D_OK);
            for (int y = 0; y < 4; ++y) {
                for (int x = 0; x < 64; ++x) {
                    const double u = c.u0 + c.turns * (x + 0.5);
                    const bool white = u - std::floor(u) >= 0.5;
                    ASSERT_EQ(device->Pixel(x, y), white ? 0xFFFFFFFFu : 0xFF000000u) << x << "," << y;
                }
            }
        }
    }
    dd::LimitSpanWidth(dd::SpanWidth::Sixteen);
}

// Down a texture taller (4) than wide (2), v from -0.5 to 1.5: rows and columns have their own
// wrap masks and clamp limits, and bilinear reads clamp the second row as well.
TEST_P(RasterTest, WrapAndClampOfVUseTheTextureHeight) {
    Open({.width = 8, .height = 32, .depth = false});
    const uint32_t colors[4] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF};
    IDirectDrawSurface4* t = Texture(2, 4, dd::FormatRgb565(), [&](int, int y, int) { return colors[y]; });
    UseTexture(t);
    struct Case {
        DWORD address;
        bool linear;
    };
    for (const Case& c : {Case{D3DTADDRESS_WRAP, false}, Case{D3DTADDRESS_CLAMP, false}, Case{D3DTADDRESS_CLAMP, true}}) {
        SCOPED_TRACE(::testing::Message() << "address " << c.address << (c.linear ? " linear" : " point"));
        device->StageState(0, D3DTSS_ADDRESS, c.address);
        device->StageState(0, D3DTSS_MAGFILTER, c.linear ? D3DTFG_LINEAR : D3DTFG_POINT);
        device->StageState(0, D3DTSS_MINFILTER, c.linear ? D3DTFN_LINEAR : D3DTFN_POINT);
        device->Clear(0xFF000000);
        ASSERT_EQ(device->DrawRect(0, 0, 8, 32, 0xFFFFFFFF, .5f, 0, -0.5f, 1, 1.5f), D3D_OK);
        for (int y = 0; y < 32; ++y) {
            const int row = (y + 8) / 4 - 4;  // floor((y - 8) / 4): 4 pixels a texel, texel 0 from y 8
            int texel;
            if (c.linear) {
                // Only where both rows read clamp to the same edge texel.
                if (y > 9 && y < 22)
                    continue;
                texel = y <= 9 ? 0 : 3;
            } else {
                texel = c.address == D3DTADDRESS_WRAP ? (row + 4) % 4 : std::clamp(row, 0, 3);
            }
            ASSERT_EQ(device->Pixel(4, y), colors[texel]) << "row " << y;
        }
    }
}

TEST_P(RasterTest, PointSamplingStepsAtTexelEdgesLinearBlendsAcrossThem) {
    Open({.width = 64, .height = 4, .depth = false});
    IDirectDrawSurface4* t = Texture(2, 1, dd::FormatRgb565(), [](int x, int, int) {
        return x ? 0xFFFFFFFFu : 0xFF000000u;
    });
    UseTexture(t);
    device->StageState(0, D3DTSS_ADDRESS, D3DTADDRESS_CLAMP);
    device->Clear(0xFF00FF00);
    ASSERT_EQ(device->DrawRect(0, 0, 64, 4, 0xFFFFFFFF), D3D_OK);
    EXPECT_EQ(device->Pixel(31, 1), 0xFF000000u);
    EXPECT_EQ(device->Pixel(32, 1), 0xFFFFFFFFu);

    device->StageState(0, D3DTSS_MAGFILTER, D3DTFG_LINEAR);
    device->StageState(0, D3DTSS_MINFILTER, D3DTFN_LINEAR);
    device->Clear(0xFF00FF00);
    ASSERT_EQ(device->DrawRect(0, 0, 64, 4, 0xFFFFFFFF), D3D_OK);
    EXPECT_EQ(device->Pixel(4, 1), 0xFF000000u) << "clamped before the first texel centre";
    EXPECT_EQ(device->Pixel(16, 1), 0xFF000000u) << "on the first texel centre";
    EXPECT_NEAR(Red(device->Pixel(32, 1)), 128, 8) << "half way between the centres";
    EXPECT_NEAR(Red(device->Pixel(24, 1)), 64, 8);
    EXPECT_EQ(device->Pixel(60, 1), 0xFFFFFFFFu);
}

// Texel for pixel, as the HUD maps its panels: a quad with its corners on pixel centres (or half
// way between them) whose texture window spans as many texels as the quad spans pixels. Each
// texel is a 5-6-5 value of its own, so every pixel must show exactly the texel under its centre:
// a centre on a texel edge takes the texel right of or below it, none is dropped or shown twice.
TEST_P(RasterTest, OneTexelPerPixelShowsEveryTexelOnce) {
    struct Case {
        const char* name;
        int w, h;        // texture size
        float x0, y0;    // the quad's top left corner
        int tx, ty;      // the texel window's top left texel
        int cols, rows;  // its size, in texels and in pixels
        float rhw;
        DWORD address;
    };
    const Case cases[] = {
        {"16 square on pixel centres", 16, 16, 3, 5, 0, 0, 16, 16, 1.0f, D3DTADDRESS_WRAP},
        {"16 square half way between", 16, 16, 3.5f, 5.5f, 0, 0, 16, 16, 1.0f, D3DTADDRESS_WRAP},
        {"64 square far right, HUD depth", 64, 64, 730, 530, 0, 0, 64, 64, 0.95f / 3, D3DTADDRESS_CLAMP},
        {"64 square far right, between", 64, 64, 700.5f, 515.5f, 0, 0, 64, 64, 0.95f / 7, D3DTADDRESS_CLAMP},
        {"a column of a 64 square", 64, 64, 411, 97, 16, 32, 16, 32, 0.95f / 3, D3DTADDRESS_CLAMP},
        {"wide window of a 256 x 32", 256, 32, 120, 333, 40, 8, 200, 24, 0.3f, D3DTADDRESS_WRAP},
        {"odd window, odd place", 128, 128, 617, 41, 3, 77, 117, 45, 0.95f / 5, D3DTADDRESS_CLAMP},
    };
    Open({.width = 800, .height = 600, .depth = false});
    for (const Case& k : cases) {
        // Each texel's own value, read back unchanged from a 5-6-5 target.
        auto texel = [&k](int x, int y) { return Expand565(static_cast<uint32_t>(y * k.w + x) * 40503u & 0xFFFF); };
        IDirectDrawSurface4* t = Texture(k.w, k.h, dd::FormatRgb565(), [&](int x, int y, int) { return texel(x, y); });
        ASSERT_NE(t, nullptr);
        UseTexture(t);
        device->StageState(0, D3DTSS_ADDRESS, k.address);
        const float u0 = static_cast<float>(k.tx) / k.w, v0 = static_cast<float>(k.ty) / k.h;
        const float u1 = static_cast<float>(k.tx + k.cols) / k.w, v1 = static_cast<float>(k.ty + k.rows) / k.h;
        const float x1 = k.x0 + k.cols, y1 = k.y0 + k.rows;
        const int left = static_cast<int>(std::ceil(k.x0)), top = static_cast<int>(std::ceil(k.y0));
        for (dd::SpanWidth width : kSpanWidths) {
            SCOPED_TRACE(::testing::Message() << k.name << ", span width " << static_cast<int>(width));
            dd::LimitSpanWidth(width);
            device->Clear(0xFF000000);
            ASSERT_EQ(device->Draw(D3DPT_TRIANGLEFAN, {Vertex(k.x0, k.y0, 0, k.rhw, 0xFFFFFFFF, 0xFF000000, u0, v0),
                                                       Vertex(x1, k.y0, 0, k.rhw, 0xFFFFFFFF, 0xFF000000, u1, v0),
                                                       Vertex(x1, y1, 0, k.rhw, 0xFFFFFFFF, 0xFF000000, u1, v1),
                                                       Vertex(k.x0, y1, 0, k.rhw, 0xFFFFFFFF, 0xFF000000, u0, v1)}),
                      D3D_OK);
            const Image image = device->Read();
            int wrong = 0;
            for (int y = top - 1; y <= top + k.rows; ++y) {
                for (int x = left - 1; x <= left + k.cols; ++x) {
                    const bool inside = x >= left && x < left + k.cols && y >= top && y < top + k.rows;
                    const uint32_t want = inside ? texel(k.tx + x - left, k.ty + y - top) : 0xFF000000u;
                    if (image.At(x, y) != want && ++wrong <= 3)
                        ADD_FAILURE() << "pixel " << x << "," << y << std::hex << ": " << image.At(x, y) << " want "
                                      << want;
                }
            }
            EXPECT_EQ(wrong, 0);
        }
        device->SetTexture(0, nullptr);
    }
    dd::LimitSpanWidth(dd::SpanWidth::Sixteen);
}

TEST_P(RasterTest, TheMipLevelFollowsTheScreenSizeOfTheTexture) {
    Open({.width = 64, .height = 64, .depth = false});
    const uint32_t colors[7] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFF00, 0xFF00FFFF, 0xFFFF00FF, 0xFFFFFFFF};
    IDirectDrawSurface4* t = Texture(64, 64, dd::FormatRgb565(), [&](int, int, int level) { return colors[level]; }, 7);
    ASSERT_NE(t, nullptr);
    UseTexture(t);
    device->StageState(0, D3DTSS_MIPFILTER, D3DTFP_POINT);
    for (int level = 0; level < 4; ++level) {
        SCOPED_TRACE(level);
        const float size = static_cast<float>(64 >> level);
        device->Clear(0xFF000000);
        ASSERT_EQ(device->DrawRect(0, 0, size, size, 0xFFFFFFFF), D3D_OK);
        EXPECT_EQ(device->Pixel(0, 0), colors[level]);
        EXPECT_EQ(device->Pixel(static_cast<int>(size) - 1, static_cast<int>(size) - 1), colors[level]);
    }
    device->StageState(0, D3DTSS_MAXMIPLEVEL, 2);
    device->Clear(0xFF000000);
    ASSERT_EQ(device->DrawRect(0, 0, 64, 64, 0xFFFFFFFF), D3D_OK);
    EXPECT_EQ(device->Pixel(5, 5), colors[2]) << "no level more detailed than the maximum";
}

// A tall triangle in steep perspective whose texture footprint is 2.1 texels a pixel at its middle
// and 3.4-3.7 at all three corners: the corners all ask for level 2, the middle for level 1. The
// middle row must show level 1 on both paths, not the level its corners agree on.
TEST_P(RasterTest, AFootprintNarrowerInTheMiddleThanAtTheCornersTakesTheFinerLevelThere) {
    Open({.width = 128, .height = 128, .depth = false});
    const uint32_t colors[9] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFF00, 0xFF00FFFF,
                                0xFFFF00FF, 0xFFFFFFFF, 0xFF808080, 0xFF000080};
    IDirectDrawSurface4* t = Texture(256, 256, dd::FormatRgb565(), [&](int, int, int level) { return colors[level]; }, 9);
    ASSERT_NE(t, nullptr);
    UseTexture(t);
    device->StageState(0, D3DTSS_MIPFILTER, D3DTFP_POINT);
    // Around the middle (64, 64): 1/w = 1 + qx * x, and u * 256 / w = u0 * (1 + qx * x) + uy * y, so
    // that u does not change along the middle row.
    const float qx = -0.05f, uy = 2.1f, u0 = 38.0f;
    auto corner = [&](float x, float y) {
        const float q = 1 + qx * x;
        return Vertex(64 + x, 64 + y, .5f, q, ~0u, 0xFF000000, (u0 * q + uy * y) / q / 256, 0.5f);
    };
    device->Clear(0xFF000000);
    ASSERT_EQ(device->Draw(D3DPT_TRIANGLELIST, {corner(-4, -47), corner(8.5f, -6.5f), corner(-4.5f, 53.5f)}), D3D_OK);
    EXPECT_EQ(device->Pixel(60, 20), colors[2]) << "near the top corner";
    for (int x = 60; x <= 66; ++x)
        EXPECT_EQ(device->Pixel(x, 64), colors[1]) << "middle row, pixel " << x;
}

// A quad whose right edge is four times farther: the texel at each pixel is the one of the exact
// perspective division, give or take one texel.
TEST_P(RasterTest, TexturesStayPerspectiveCorrectAtAnAngle) {
    Open({.width = 128, .height = 8, .depth = false});
    // Texel x has red 8x, which a 5-6-5 target keeps exactly.
    IDirectDrawSurface4* t = Texture(32, 1, dd::FormatXrgb8888(), [](int x, int, int) {
        return 0xFF000000u | static_cast<uint32_t>(x * 8) << 16;
    });
    UseTexture(t);
    device->StageState(0, D3DTSS_ADDRESS, D3DTADDRESS_CLAMP);
    const float q0 = 1.0f, q1 = 0.25f;
    device->Clear(0xFF000000);
    ASSERT_EQ(device->Draw(D3DPT_TRIANGLESTRIP, {Vertex(0, 0, .5f, q0, ~0u, 0xFF000000, 0, 0),
                                                 Vertex(128, 0, .5f, q1, ~0u, 0xFF000000, 1, 0),
                                                 Vertex(0, 8, .5f, q0, ~0u, 0xFF000000, 0, 1),
                                                 Vertex(128, 8, .5f, q1, ~0u, 0xFF000000, 1, 1)}),
              D3D_OK);
    int exact = 0;
    for (int x = 0; x < 128; ++x) {
        const float s = static_cast<float>(x) / 128;
        const float u = (s * q1) / ((1 - s) * q0 + s * q1);
        const int want = std::min(31, static_cast<int>(u * 32));
        const int got = Red(device->Pixel(x, 4)) / 8;
        ASSERT_NEAR(got, want, 1) << "pixel " << x;
        exact += got == want;
        const int affine = static_cast<int>(s * 32);
        if (x > 20 && x < 100) {
            EXPECT_GT(std::abs(affine - want), 2) << "the test needs a visible perspective";
        }
    }
    // Both paths divide at every pixel.
    EXPECT_GE(exact, 126);
}

TEST_P(RasterTest, TwoTextureStagesCombineInOnePass) {
    Open({.width = 8, .height = 8, .depth = false});
    IDirectDrawSurface4* red = Texture(4, 4, dd::FormatRgb565(), [](int, int, int) { return 0xFFFF0000u; });
    IDirectDrawSurface4* grey = Texture(4, 4, dd::FormatXrgb8888(), [](int, int, int) { return 0xFF808080u; });
    UseTexture(red, D3DTOP_MODULATE);
    device->SetTexture(1, grey);
    device->StageState(1, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device->StageState(1, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->StageState(1, D3DTSS_COLORARG2, D3DTA_CURRENT);
    device->StageState(1, D3DTSS_TEXCOORDINDEX, 0);
    device->Clear(0xFF000000);
    ASSERT_EQ(device->DrawRect(0, 0, 8, 8, 0xFFFFFFFF), D3D_OK);
    EXPECT_NEAR(Red(device->Pixel(4, 4)), 128, 8);
    EXPECT_EQ(Green(device->Pixel(4, 4)), 0);

    device->StageState(1, D3DTSS_COLOROP, D3DTOP_ADD);
    device->Clear(0xFF000000);
    ASSERT_EQ(device->DrawRect(0, 0, 8, 8, 0xFFFFFFFF), D3D_OK);
    EXPECT_EQ(Red(device->Pixel(4, 4)), 255);
    EXPECT_NEAR(Green(device->Pixel(4, 4)), 128, 8);

    // Mode 3 of the multitexture table: blend by the second texture's alpha.
    IDirectDrawSurface4* half = Texture(4, 4, dd::FormatArgb4444(), [](int, int, int) { return 0x880000FFu; });
    device->SetTexture(1, half);
    device->StageState(1, D3DTSS_COLOROP, D3DTOP_BLENDTEXTUREALPHA);
    device->Clear(0xFF000000);
    ASSERT_EQ(device->DrawRect(0, 0, 8, 8, 0xFFFFFFFF), D3D_OK);
    EXPECT_NEAR(Red(device->Pixel(4, 4)), 119, 8);
    EXPECT_NEAR(Blue(device->Pixel(4, 4)), 136, 8);
}

// Multitexture modes 6 and 7: the first argument's alpha joins the colour. With the texture
// (20, 60, 100, alpha 128) first and the current colour (200, 100, 40) second:
// MODULATEALPHA_ADDCOLOR gives T + T.a x C, MODULATECOLOR_ADDALPHA gives T x C + T.a.
TEST_P(RasterTest, TheAlphaMixingOperationsTakeTheFirstArgumentsAlpha) {
    Open({.width = 8, .height = 8, .depth = false});
    IDirectDrawSurface4* t = Texture(4, 4, dd::FormatArgb8888(), [](int, int, int) { return 0x80143C64u; });
    device->StageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
    device->StageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    device->StageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG2);
    device->StageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    device->SetTexture(1, t);
    device->StageState(1, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->StageState(1, D3DTSS_COLORARG2, D3DTA_CURRENT);
    device->StageState(1, D3DTSS_ALPHAOP, D3DTOP_SELECTARG2);
    device->StageState(1, D3DTSS_ALPHAARG2, D3DTA_CURRENT);
    device->StageState(1, D3DTSS_TEXCOORDINDEX, 0);
    struct OpCase {
        DWORD op;
        int r, g, b;
    };
    const OpCase cases[] = {
        {D3DTOP_MODULATEALPHA_ADDCOLOR, 20 + Scale(200, 128), 60 + Scale(100, 128), 100 + Scale(40, 128)},
        {D3DTOP_MODULATECOLOR_ADDALPHA, Scale(20, 200) + 128, Scale(60, 100) + 128, Scale(100, 40) + 128},
    };
    for (const OpCase& c : cases) {
        device->StageState(1, D3DTSS_COLOROP, c.op);
        device->Clear(0xFF000000);
        ASSERT_EQ(device->DrawRect(0, 0, 8, 8, 0xFFC86428), D3D_OK);
        const uint32_t p = device->Pixel(4, 4);
        EXPECT_NEAR(Red(p), c.r, 8) << c.op;
        EXPECT_NEAR(Green(p), c.g, 8) << c.op;
        EXPECT_NEAR(Blue(p), c.b, 8) << c.op;
    }
}

TEST_P(RasterTest, SpecularAddsAndTableFogUsesTheEyeDistance) {
    Open({.width = 8, .height = 8, .depth = false});
    device->State(D3DRENDERSTATE_SPECULARENABLE, TRUE);
    device->Clear(0xFF000000);
    ASSERT_EQ(device->Draw(D3DPT_TRIANGLELIST, {Vertex(0, 0, .5f, 1, 0xFF800000, 0xFF404040),
                                                Vertex(8, 0, .5f, 1, 0xFF800000, 0xFF404040),
                                                Vertex(0, 8, .5f, 1, 0xFF800000, 0xFF404040)}),
              D3D_OK);
    EXPECT_NEAR(Red(device->Pixel(1, 1)), 0xC0, 8);
    EXPECT_NEAR(Green(device->Pixel(1, 1)), 0x40, 8);
    device->State(D3DRENDERSTATE_SPECULARENABLE, FALSE);

    device->State(D3DRENDERSTATE_FOGENABLE, TRUE);
    device->State(D3DRENDERSTATE_FOGCOLOR, 0x00FFFFFF);
    device->State(D3DRENDERSTATE_FOGTABLEMODE, D3DFOG_LINEAR);
    device->State(D3DRENDERSTATE_FOGTABLESTART, D3DValueBits(10.0f));
    device->State(D3DRENDERSTATE_FOGTABLEEND, D3DValueBits(30.0f));
    for (auto [w, want] : {std::pair{5.0f, 0}, std::pair{20.0f, 128}, std::pair{40.0f, 255}}) {
        SCOPED_TRACE(w);
        device->Clear(0xFF000000);
        ASSERT_EQ(device->Draw(D3DPT_TRIANGLELIST, {Vertex(0, 0, .5f, 1 / w, 0xFF000000),
                                                    Vertex(8, 0, .5f, 1 / w, 0xFF000000),
                                                    Vertex(0, 8, .5f, 1 / w, 0xFF000000)}),
                  D3D_OK);
        EXPECT_NEAR(Red(device->Pixel(1, 1)), want, 8);
    }
}

TEST_P(RasterTest, AlphaTestDiscardsAndPalettisedTexturesGoThroughTheirPalette) {
    Open({.width = 8, .height = 8, .depth = false});
    PALETTEENTRY entries[256] = {};
    entries[3] = {0, 200, 0, 0};
    IDirectDrawPalette* palette = nullptr;
    ASSERT_EQ(device->directDraw->CreatePalette(DDPCAPS_8BIT | DDPCAPS_ALLOW256, entries, &palette, nullptr), DD_OK);
    IDirectDrawSurface4* t = Texture(2, 2, dd::FormatPalette8(), [](int, int, int) { return 0u; });
    FillSurface(t, [](int, int) { return 3u; });
    t->SetPalette(palette);
    palette->Release();
    UseTexture(t);
    device->Clear(0xFF000000);
    ASSERT_EQ(device->DrawRect(0, 0, 8, 8, 0xFFFFFFFF), D3D_OK);
    EXPECT_NEAR(Green(device->Pixel(4, 4)), 200, 4);

    device->StageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
    device->StageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG2);
    device->StageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    device->State(D3DRENDERSTATE_ALPHATESTENABLE, TRUE);
    device->State(D3DRENDERSTATE_ALPHAFUNC, D3DCMP_GREATER);
    device->State(D3DRENDERSTATE_ALPHAREF, 0x80);
    device->Clear(0xFF000000);
    ASSERT_EQ(device->DrawRect(0, 0, 4, 8, 0x40FF0000), D3D_OK);
    ASSERT_EQ(device->DrawRect(4, 0, 8, 8, 0xC0FF0000), D3D_OK);
    EXPECT_EQ(device->Pixel(1, 1), 0xFF000000u);
    EXPECT_EQ(device->Pixel(6, 1), 0xFFFF0000u);
}

TEST_P(RasterTest, LinesCoverTheirPixelsAndTheLastOneByDefault) {
    Open({.width = 32, .height = 32, .depth = false});
    device->Clear(0xFF000000);
    ASSERT_EQ(device->Draw(D3DPT_LINELIST, {Vertex(5, 10), Vertex(15, 10), Vertex(20, 2), Vertex(20, 12)}), D3D_OK);
    for (int x = 0; x < 32; ++x)
        EXPECT_EQ(device->Pixel(x, 10) == 0xFFFFFFFFu, (x >= 5 && x <= 15) || x == 20) << x;
    for (int y = 0; y < 32; ++y)
        EXPECT_EQ(device->Pixel(20, y) == 0xFFFFFFFFu, y >= 2 && y <= 12) << y;
    device->State(D3DRENDERSTATE_LASTPIXEL, TRUE);
    device->Clear(0xFF000000);
    ASSERT_EQ(device->Draw(D3DPT_LINESTRIP, {Vertex(5, 10), Vertex(15, 10)}), D3D_OK);
    EXPECT_EQ(device->Pixel(15, 10), 0xFF000000u);
    EXPECT_EQ(device->Pixel(14, 10), 0xFFFFFFFFu);
}

TEST_P(RasterTest, LinesAndPointsReachingFarAwayDrawTheirVisiblePart) {
    Open({.width = 32, .height = 32, .depth = false});
    device->Clear(0xFF000000);
    ASSERT_EQ(device->Draw(D3DPT_LINELIST, {Vertex(-1e10f, 10), Vertex(10, 10), Vertex(5, 3e9f), Vertex(5, 20)}),
              D3D_OK);
    ASSERT_EQ(device->Draw(D3DPT_POINTLIST, {Vertex(1e10f, 5), Vertex(-3e9f, -3e9f), Vertex(30, 1)}), D3D_OK);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            EXPECT_EQ(device->Pixel(x, y) == 0xFFFFFFFFu,
                      (y == 10 && x <= 10) || (x == 5 && y >= 20) || (x == 30 && y == 1))
                << x << "," << y;
}

TEST_P(RasterTest, FarAwayAndBrokenVerticesNeverWriteOutside) {
    Open({.width = 32, .height = 32, .depth = false});
    device->Clear(0xFF000000);
    ASSERT_EQ(device->Draw(D3DPT_TRIANGLELIST, {Vertex(-1e7f, -1e7f), Vertex(3e7f, -1e7f), Vertex(-1e7f, 3e7f)}),
              D3D_OK);
    Image image = device->Read();
    for (uint32_t p : image.pixels)
        ASSERT_EQ(p, 0xFFFFFFFFu);
    device->Clear(0xFF000000);
    const float nan = std::nanf("");
    ASSERT_EQ(device->Draw(D3DPT_TRIANGLELIST, {Vertex(nan, 0), Vertex(30, 0), Vertex(0, 30)}), D3D_OK);
    EXPECT_EQ(device->Pixel(2, 2), 0xFF000000u) << "a triangle with a broken vertex draws nothing";
    // A sliver reaching far past float precision is cut to the guard band and drawn safely.
    ASSERT_EQ(device->Draw(D3DPT_TRIANGLELIST, {Vertex(0, 0), Vertex(1e30f, 5), Vertex(0, 30)}), D3D_OK);
    EXPECT_EQ(device->Pixel(2, 15), 0xFFFFFFFFu);
    EXPECT_EQ(device->Pixel(31, 31), 0xFF000000u);
}

}  // namespace

namespace {

// The specialised loops eight pixels at a time (where the processor has AVX2) and one at a time
// give the same pixels and depths for every state they take, including spans that end at the
// right edge of the target in the middle of a group of eight.
struct SpanCase {
    const char* name;
    bool textured;
    bool bilinear;
    DWORD colorOp;    // stage 0 (texture, diffuse)
    DWORD alphaOp;
    DWORD alphaArg;
    bool clamp;
    int blend;        // 0 off, 1 source alpha, 2 additive, 3 screen (one, inverse source colour),
                      // 4 added by source alpha (source alpha, destination one)
    bool fog;
    bool specular;
    bool depth;
    DWORD zFunc;
    bool keyed;
};

void PrintTo(const SpanCase& c, std::ostream* os) { *os << c.name; }

class VectorSpanTest : public DDrawTest, public ::testing::WithParamInterface<SpanCase> {
protected:
    void TearDown() override {
        dd::LimitSpanWidth(dd::SpanWidth::Sixteen);
        DDrawTest::TearDown();
    }

    enum class Scene {
        // Overlapping triangles with 1/w, colours, fog and coordinates varying strongly, some
        // running past the right edge.
        kMixed,
        // Rows of 25 to 2100 pixels whose mip levels change along them, some with coordinates
        // running so far that their chunks are cut for the fixed point.
        kLongRows,
        // Texture coordinates out to the ends of the float range: footprints overflow to
        // infinity and NaN, and every width must still choose the same levels.
        kFarCoordinates,
    };
    static constexpr int kMixedWidth = 67, kMixedHeight = 41, kLongWidth = 2100, kLongHeight = 40;

    // The scene, drawn twice so the depth test meets both outcomes.
    void Render(Scene scene, dd::SpanWidth width, Image* image, std::vector<uint32_t>* depths, bool* specialised) {
        const SpanCase& k = GetParam();
        dd::LimitSpanWidth(width);
        const int targetWidth = scene == Scene::kLongRows ? kLongWidth : kMixedWidth;
        const int targetHeight = scene == Scene::kLongRows ? kLongHeight : kMixedHeight;
        auto device = SoftDevice::Create({.width = targetWidth, .height = targetHeight, .depth = k.depth});
        ASSERT_NE(device, nullptr);
        IDirectDrawSurface4* texture = nullptr;
        if (k.textured) {
            // Wider than tall, so rows and columns cannot stand in for each other.
            texture = device->MakeTexture(
                32, 16, dd::FormatArgb8888(),
                [](int x, int y, int level) {
                    if ((x + y) % 7 == 0)
                        return 0x00000000u;  // the colour key
                    const uint32_t a = static_cast<uint32_t>((x * 37 + y * 11 + level * 50) & 0xFF);
                    return a << 24 | static_cast<uint32_t>((x * 8) << 16 | (y * 8) << 8 | ((x ^ y) * 8 + level * 40));
                },
                6);
            ASSERT_NE(texture, nullptr);
            DDCOLORKEY key{0, 0};
            ASSERT_EQ(texture->SetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
        }
        device->SetTexture(0, texture);
        device->StageState(0, D3DTSS_COLOROP, k.colorOp);
        device->StageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
        device->StageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
        device->StageState(0, D3DTSS_ALPHAOP, k.alphaOp);
        device->StageState(0, D3DTSS_ALPHAARG1, k.alphaArg);
        device->StageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
        device->StageState(0, D3DTSS_ADDRESS, k.clamp ? D3DTADDRESS_CLAMP : D3DTADDRESS_WRAP);
        device->StageState(0, D3DTSS_MAGFILTER, k.bilinear ? D3DTFG_LINEAR : D3DTFG_POINT);
        device->StageState(0, D3DTSS_MINFILTER, k.bilinear ? D3DTFN_LINEAR : D3DTFN_POINT);
        device->StageState(0, D3DTSS_MIPFILTER, D3DTFP_POINT);
        device->State(D3DRENDERSTATE_COLORKEYENABLE, k.keyed);
        device->State(D3DRENDERSTATE_ALPHABLENDENABLE, k.blend != 0);
        constexpr DWORD kSourceBlend[] = {D3DBLEND_ONE, D3DBLEND_SRCALPHA, D3DBLEND_ONE, D3DBLEND_ONE,
                                          D3DBLEND_SRCALPHA};
        constexpr DWORD kDestBlend[] = {D3DBLEND_ZERO, D3DBLEND_INVSRCALPHA, D3DBLEND_ONE, D3DBLEND_INVSRCCOLOR,
                                        D3DBLEND_ONE};
        device->State(D3DRENDERSTATE_SRCBLEND, kSourceBlend[k.blend]);
        device->State(D3DRENDERSTATE_DESTBLEND, kDestBlend[k.blend]);
        device->State(D3DRENDERSTATE_FOGENABLE, k.fog);
        device->State(D3DRENDERSTATE_FOGCOLOR, 0x00406080);
        device->State(D3DRENDERSTATE_SPECULARENABLE, k.specular);
        device->State(D3DRENDERSTATE_ZFUNC, k.zFunc);
        device->State(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
        device->Clear(0xFF203040, 0.75f);
        std::vector<D3DTLVERTEX> tris = scene == Scene::kMixed      ? MixedScene()
                                        : scene == Scene::kLongRows ? LongRowsScene()
                                                                    : FarCoordinatesScene();
        for (int pass = 0; pass < 2; ++pass)
            ASSERT_EQ(device->Draw(D3DPT_TRIANGLELIST, tris), D3D_OK);
        *specialised = dd::LastDrawSpecialised();
        *image = device->Read();
        depths->clear();
        if (k.depth) {
            for (int y = 0; y < targetHeight; ++y)
                for (int x = 0; x < targetWidth; ++x)
                    depths->push_back(device->Depth(x, y));
        }
        if (texture) {
            device->SetTexture(0, nullptr);
            texture->Release();
        }
    }

    static std::vector<D3DTLVERTEX> MixedScene() {
        std::vector<D3DTLVERTEX> tris;
        for (int i = 0; i < 9; ++i) {
            const float x = static_cast<float>(i * 9 - 6), y = static_cast<float>((i * 13) % 31 - 4);
            const float q0 = 1.0f, q1 = i % 2 ? 0.08f : 0.6f, q2 = 0.3f;
            const D3DCOLOR c = 0x30000000u * static_cast<uint32_t>(i % 5) | 0x00FFFFFFu;
            tris.push_back(Vertex(x, y, 0.2f, q0, c ^ 0x00FF0000u, 0xFF203040, -1.3f, 0.2f));
            tris.push_back(Vertex(x + 40.5f, y + 3.25f, 0.9f, q1, 0x80FFFFFF, 0x10F0F0F0, 5.7f, -0.4f));
            tris.push_back(Vertex(x + 7.75f, y + 30.5f, 0.55f, q2, c, 0xC0000080u, 0.1f, 3.9f));
        }
        // Triangles whose colours, fog and depth stay well inside their ranges and whose texture
        // takes one mip level: their rows share one set-up.
        for (int i = 0; i < 6; ++i) {
            const float x = static_cast<float>(i * 13 - 9), y = static_cast<float>((i * 7) % 19 - 2);
            const D3DCOLOR c = 0x60406080u + 0x101010u * static_cast<uint32_t>(i);
            tris.push_back(Vertex(x, y, 0.3f, 0.5f, c, 0x90102030u, 0.1f, 0.2f));
            tris.push_back(Vertex(x + 33.5f, y + 4.25f, 0.6f, 0.55f, 0xC0A08060u, 0x50302010u, 0.6f, 0.3f));
            tris.push_back(Vertex(x + 5.25f, y + 21.75f, 0.45f, 0.6f, 0x80C0A040u, 0x70203040u, 0.2f, 0.7f));
        }
        // The same, but with 1/w varying strongly: the rows choose their mip levels as they go.
        for (int i = 0; i < 4; ++i) {
            const float x = static_cast<float>(i * 17 - 5), y = static_cast<float>(i * 9 - 3);
            tris.push_back(Vertex(x, y, 0.35f, 1.0f, 0x70608090u, 0x80102030u, 0.0f, 0.0f));
            tris.push_back(Vertex(x + 52.5f, y + 6.25f, 0.5f, 0.08f, 0xA0806040u, 0x60302010u, 6.0f, 0.5f));
            tris.push_back(Vertex(x + 3.75f, y + 24.5f, 0.4f, 0.3f, 0x9040A060u, 0x90203040u, 0.5f, 5.0f));
        }
        // Triangles whose colours, fog and depth reach the ends of their ranges at corners: pixels
        // near those corners round to just outside, where the runs must be cut.
        uint32_t seed = 12345;
        auto next = [&seed](uint32_t range) {
            seed = seed * 1664525u + 1013904223u;
            return (seed >> 8) % range;
        };
        auto end = [&](uint32_t shift) { return (next(2) ? 0xFFu : 0u) << shift; };
        for (int i = 0; i < 200; ++i) {
            for (int corner = 0; corner < 3; ++corner) {
                const D3DCOLOR c = end(24) | end(16) | end(8) | end(0);
                const D3DCOLOR sf = end(24) | end(16) | end(8) | end(0);
                const float x = static_cast<float>(next(90)) - 10, y = static_cast<float>(next(60)) - 8;
                tris.push_back(Vertex(x, y, next(2) ? 1.0f : 0.0f, 0.5f, c, sf, 0.1f * corner, 0.2f));
            }
        }
        // Colours and fog that fade to 0 on a top edge through pixel centres, from the bottom
        // corner, so the rows along that edge land on 0 from the far side of the plane.
        for (int h = 3; h < 40; h += 2) {
            const float x = static_cast<float>(h * 3 % 50 - 8), y = static_cast<float>(h % 23);
            tris.push_back(Vertex(x + 4, y + static_cast<float>(h), 0.8f, 0.5f, 0xFFFFFFFFu, 0xFFFFFFFFu, 0.3f, 0.6f));
            tris.push_back(Vertex(x, y, 0.8f, 0.5f, 0x00000000u, 0x00000000u, 0.1f, 0.2f));
            tris.push_back(Vertex(x + 31, y, 0.8f, 0.5f, 0x00000000u, 0x00000000u, 0.5f, 0.2f));
        }
        return tris;
    }

    static std::vector<D3DTLVERTEX> FarCoordinatesScene() {
        std::vector<D3DTLVERTEX> tris;
        uint32_t seed = 777;
        auto next = [&seed](uint32_t range) {
            seed = seed * 1664525u + 1013904223u;
            return (seed >> 8) % range;
        };
        const float coordinates[] = {0.3f, -2.0f, 1e20f, -1e20f, 3e38f, -3e38f, 1e37f, 5.0f};
        for (int i = 0; i < 40; ++i) {
            for (int corner = 0; corner < 3; ++corner) {
                const float x = static_cast<float>(next(90)) - 10, y = static_cast<float>(next(60)) - 8;
                const float q = next(2) ? 1.0f : 0.001f * static_cast<float>(1 + next(1000));
                tris.push_back(
                    Vertex(x, y, 0.5f, q, 0x80FFFFFF, 0x80FFFFFF, coordinates[next(8)], coordinates[next(8)]));
            }
        }
        return tris;
    }

    static std::vector<D3DTLVERTEX> LongRowsScene() {
        std::vector<D3DTLVERTEX> tris;
        // Rows of 25 to 80 pixels, 1/w falling fast along them: a few chunks each.
        for (int i = 0; i < 24; ++i) {
            const float x = static_cast<float>(i * 87 + 3), y = static_cast<float>((i * 7) % 17);
            const float len = static_cast<float>(25 + (i * 29) % 56);
            const D3DCOLOR c = 0x60406080u + 0x050A0Fu * static_cast<uint32_t>(i);
            tris.push_back(Vertex(x, y, 0.3f, 1.0f, c, 0x90102030u, 0.1f * static_cast<float>(i % 3), 0.0f));
            tris.push_back(Vertex(x + len, y + 2.5f, 0.5f, 0.06f, 0xA0806040u, 0x60302010u, 4.0f, 0.7f));
            tris.push_back(Vertex(x + 9.5f, y + 19.75f, 0.4f, 0.4f, 0x9040A060u, 0x90203040u, 0.4f, 3.5f));
        }
        // Rows across the whole target: long chunks of one level, more groups than a batch lists.
        tris.push_back(Vertex(-4, 20, 0.2f, 1.0f, 0x80C0A040u, 0x70203040u, 0.0f, 0.0f));
        tris.push_back(Vertex(2110, 21.5f, 0.7f, 0.3f, 0xC0A08060u, 0x50302010u, 140.0f, 2.0f));
        tris.push_back(Vertex(-4, 27, 0.3f, 0.95f, 0x60406080u, 0x90102030u, 0.0f, 1.0f));
        // Coordinates running thousands of turns along a row: its chunks are cut in two.
        tris.push_back(Vertex(-2, 29, 0.25f, 1.0f, 0x70608090u, 0x80102030u, 0.0f, 0.0f));
        tris.push_back(Vertex(2104, 31.25f, 0.6f, 0.02f, 0xA0806040u, 0x60302010u, 900.0f, 30.0f));
        tris.push_back(Vertex(-2, 39.5f, 0.45f, 0.9f, 0x9040A060u, 0x90203040u, 0.0f, 0.5f));
        return tris;
    }

    // Eight and sixteen at a time give the pixels and depths of one at a time.
    void CompareWidths(Scene scene) {
        Image one;
        std::vector<uint32_t> oneDepth;
        bool specialised = false;
        Render(scene, dd::SpanWidth::One, &one, &oneDepth, &specialised);
        EXPECT_TRUE(specialised);
        // The scene draws something of its own.
        EXPECT_GT(std::count_if(one.pixels.begin(), one.pixels.end(), [](uint32_t p) { return p != 0xFF203040u; }),
                  1000);
        for (dd::SpanWidth width : {dd::SpanWidth::Eight, dd::SpanWidth::Sixteen}) {
            dd::LimitSpanWidth(width);
            if (dd::WidestSpans() != width)
                continue;  // the processor has not the instructions
            SCOPED_TRACE(::testing::Message() << "span width " << static_cast<int>(width));
            Image wide;
            std::vector<uint32_t> wideDepth;
            Render(scene, width, &wide, &wideDepth, &specialised);
            ASSERT_EQ(wide.pixels.size(), one.pixels.size());
            int differ = 0;
            for (size_t i = 0; i < wide.pixels.size(); ++i)
                differ += wide.pixels[i] != one.pixels[i];
            EXPECT_EQ(differ, 0);
            EXPECT_EQ(wideDepth, oneDepth);
        }
    }
};

TEST_P(VectorSpanTest, EightAndSixteenAtATimeGiveThePixelsOfOneAtATime) { CompareWidths(Scene::kMixed); }

TEST_P(VectorSpanTest, LongRowsWhoseLevelsChangeGiveThePixelsOfOneAtATime) { CompareWidths(Scene::kLongRows); }

TEST_P(VectorSpanTest, CoordinatesAtTheEndsOfTheFloatRangeGiveThePixelsOfOneAtATime) {
    CompareWidths(Scene::kFarCoordinates);
}

constexpr DWORD kTex = D3DTA_TEXTURE, kDif = D3DTA_DIFFUSE;
INSTANTIATE_TEST_SUITE_P(
    States, VectorSpanTest,
    ::testing::Values(
        //        name              tex    bilin  colour op             alpha op             arg   clamp blend fog   spec  depth zfunc                 key
        SpanCase{"Untextured", false, false, D3DTOP_SELECTARG2, D3DTOP_SELECTARG2, kDif, false, 0, true, true, true, D3DCMP_LESSEQUAL, false},
        SpanCase{"UntexturedBlended", false, false, D3DTOP_SELECTARG2, D3DTOP_SELECTARG2, kDif, false, 1, true, false, true, D3DCMP_LESSEQUAL, false},
        SpanCase{"UntexturedAdded", false, false, D3DTOP_SELECTARG2, D3DTOP_SELECTARG2, kDif, false, 2, false, true, false, D3DCMP_ALWAYS, false},
        SpanCase{"BilinearModulateFog", true, true, D3DTOP_MODULATE, D3DTOP_SELECTARG2, kDif, false, 0, true, false, true, D3DCMP_LESSEQUAL, false},
        SpanCase{"BilinearClampSpecular", true, true, D3DTOP_MODULATE, D3DTOP_SELECTARG2, kDif, true, 0, true, true, true, D3DCMP_LESSEQUAL, false},
        SpanCase{"BilinearTextureAlpha", true, true, D3DTOP_SELECTARG1, D3DTOP_SELECTARG1, kTex, false, 1, true, true, true, D3DCMP_LESSEQUAL, false},
        SpanCase{"BilinearAlphaProduct", true, true, D3DTOP_MODULATE, D3DTOP_MODULATE, kTex, true, 1, true, false, true, D3DCMP_ALWAYS, false},
        SpanCase{"BilinearDiffuseAlpha", true, true, D3DTOP_MODULATE, D3DTOP_SELECTARG2, kDif, false, 1, false, true, false, D3DCMP_LESSEQUAL, false},
        SpanCase{"BilinearAdded", true, true, D3DTOP_SELECTARG1, D3DTOP_SELECTARG1, kTex, false, 2, true, false, true, D3DCMP_LESSEQUAL, false},
        SpanCase{"BilinearScreen", true, true, D3DTOP_MODULATE, D3DTOP_MODULATE, kTex, false, 3, true, true, true, D3DCMP_LESSEQUAL, false},
        SpanCase{"PointClampScreen", true, false, D3DTOP_SELECTARG1, D3DTOP_SELECTARG1, kTex, true, 3, false, false, false, D3DCMP_ALWAYS, false},
        SpanCase{"UntexturedAddedByAlpha", false, false, D3DTOP_SELECTARG2, D3DTOP_SELECTARG2, kDif, false, 4, true, false, true, D3DCMP_LESSEQUAL, false},
        SpanCase{"BilinearAddedByTextureAlpha", true, true, D3DTOP_SELECTARG1, D3DTOP_SELECTARG1, kTex, false, 4, true, true, true, D3DCMP_LESSEQUAL, false},
        SpanCase{"PointClampAddedByAlphaProduct", true, false, D3DTOP_MODULATE, D3DTOP_MODULATE, kTex, true, 4, false, false, false, D3DCMP_ALWAYS, false},
        SpanCase{"BilinearAddedByDiffuseAlpha", true, true, D3DTOP_MODULATE, D3DTOP_SELECTARG2, kDif, false, 4, true, false, false, D3DCMP_LESSEQUAL, false},
        SpanCase{"UntexturedScreen", false, false, D3DTOP_SELECTARG2, D3DTOP_SELECTARG2, kDif, false, 3, false, true, true, D3DCMP_LESSEQUAL, false},
        SpanCase{"PointModulate", true, false, D3DTOP_MODULATE, D3DTOP_SELECTARG2, kDif, false, 0, true, true, true, D3DCMP_LESSEQUAL, false},
        SpanCase{"PointClampBlended", true, false, D3DTOP_MODULATE, D3DTOP_MODULATE, kTex, true, 1, false, false, false, D3DCMP_LESSEQUAL, false},
        SpanCase{"BilinearKeyed", true, true, D3DTOP_MODULATE, D3DTOP_SELECTARG2, kDif, false, 0, true, false, true, D3DCMP_LESSEQUAL, true}),
    [](const ::testing::TestParamInfo<SpanCase>& info) { return info.param.name; });

}  // namespace
