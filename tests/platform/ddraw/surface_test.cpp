// Surfaces: formats and pitch, locking, blits with clipping, stretching and colour keys, flipping,
// mip chains, palettes, attachments, losses, busy surfaces and the video-memory budget.

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/ddraw/control.h"
#include "platform/ddraw/ddraw.h"
#include "platform/ddraw/format.h"
#include "tests/support/ddraw_device.h"

namespace {

using namespace ddtest;
namespace dd = platform::dd;

class SurfaceTest : public DDrawTest {
protected:
    void SetUp() override {
        DDrawTest::SetUp();
        IDirectDraw* dd1 = nullptr;
        ASSERT_EQ(DirectDrawCreate(nullptr, &dd1, nullptr), DD_OK);
        ASSERT_EQ(dd1->QueryInterface(IID_IDirectDraw4, reinterpret_cast<void**>(&directDraw)), DD_OK);
        dd1->Release();
        ASSERT_EQ(directDraw->SetCooperativeLevel(nullptr, DDSCL_NORMAL), DD_OK);
    }

    void TearDown() override {
        for (IDirectDrawSurface4* s : made)
            s->Release();
        if (directDraw)
            directDraw->Release();
        DDrawTest::TearDown();
    }

    IDirectDrawSurface4* Make(int w, int h, const DDPIXELFORMAT& format, DWORD caps = DDSCAPS_SYSTEMMEMORY,
                              HRESULT* result = nullptr) {
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof(d);
        d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
        d.dwWidth = static_cast<DWORD>(w);
        d.dwHeight = static_cast<DWORD>(h);
        d.ddpfPixelFormat = format;
        d.ddsCaps.dwCaps = caps;
        IDirectDrawSurface4* s = nullptr;
        HRESULT hr = directDraw->CreateSurface(&d, &s, nullptr);
        if (result)
            *result = hr;
        if (s)
            made.push_back(s);
        return s;
    }

    // A 16-bit surface whose pixel (x, y) holds y * 256 + x + 1 (so 0 means untouched elsewhere).
    IDirectDrawSurface4* Numbered(int w, int h) {
        IDirectDrawSurface4* s = Make(w, h, dd::FormatRgb565());
        FillSurface(s, [](int x, int y) { return static_cast<uint32_t>(y * 256 + x + 1); });
        return s;
    }

    IDirectDraw4* directDraw = nullptr;
    std::vector<IDirectDrawSurface4*> made;
};

TEST_F(SurfaceTest, EveryFormatLocksWithAlignedPitchAndKeepsItsFormat) {
    struct Case {
        const char* name;
        DDPIXELFORMAT format;
        DWORD bytes;
    };
    const Case cases[] = {
        {"565", dd::FormatRgb565(), 2},     {"555", dd::FormatRgb555(), 2},     {"x8888", dd::FormatXrgb8888(), 4},
        {"1555", dd::FormatArgb1555(), 2},  {"4444", dd::FormatArgb4444(), 2},  {"8888", dd::FormatArgb8888(), 4},
        {"pal8", dd::FormatPalette8(), 1},  {"888", dd::FormatRgb888(), 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        IDirectDrawSurface4* s = Make(13, 7, c.format);
        ASSERT_NE(s, nullptr);
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof(d);
        ASSERT_EQ(s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
        EXPECT_EQ(d.dwWidth, 13u);
        EXPECT_EQ(d.dwHeight, 7u);
        EXPECT_GE(static_cast<DWORD>(d.lPitch), 13 * c.bytes);
        EXPECT_EQ(d.lPitch % 4, 0);
        EXPECT_NE(d.lpSurface, nullptr);
        EXPECT_TRUE(dd::SameFormat(d.ddpfPixelFormat, c.format));
        // The last byte of the last row is writable (ASan watches the rest).
        static_cast<uint8_t*>(d.lpSurface)[6 * d.lPitch + 13 * c.bytes - 1] = 0x5A;
        EXPECT_EQ(s->Unlock(nullptr), DD_OK);
    }
}

TEST_F(SurfaceTest, TheScreenSurfaceOfTheSecondInterfaceHasRowsOf1600Bytes) {
    // As the 2D screens make it: IDirectDraw2, an 800 x 600 plain surface in system memory, then
    // the second and fourth surface interfaces.
    IDirectDraw2* dd2 = nullptr;
    ASSERT_EQ(directDraw->QueryInterface(IID_IDirectDraw2, reinterpret_cast<void**>(&dd2)), DD_OK);
    DDSURFACEDESC d{};
    d.dwSize = sizeof(d);
    d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    d.dwWidth = 800;
    d.dwHeight = 600;
    d.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
    IDirectDrawSurface* s1 = nullptr;
    ASSERT_EQ(dd2->CreateSurface(&d, &s1, nullptr), DD_OK);
    IDirectDrawSurface2* s2 = nullptr;
    IDirectDrawSurface4* s4 = nullptr;
    ASSERT_EQ(s1->QueryInterface(IID_IDirectDrawSurface2, reinterpret_cast<void**>(&s2)), DD_OK);
    ASSERT_EQ(s1->QueryInterface(IID_IDirectDrawSurface4, reinterpret_cast<void**>(&s4)), DD_OK);
    DDSURFACEDESC locked{};
    locked.dwSize = sizeof(locked);
    ASSERT_EQ(s2->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr), DD_OK);
    EXPECT_EQ(locked.lPitch, 1600);
    EXPECT_EQ(locked.ddpfPixelFormat.dwRBitMask, 0xF800u);
    EXPECT_EQ(locked.ddpfPixelFormat.dwGBitMask, 0x07E0u);
    EXPECT_EQ(locked.ddpfPixelFormat.dwBBitMask, 0x001Fu);
    void* bits = locked.lpSurface;
    static_cast<uint16_t*>(bits)[599 * 800 + 799] = 0xFFFF;
    ASSERT_EQ(s2->Unlock(nullptr), DD_OK);
    EXPECT_EQ(RawPixel(s4, 799, 599), 0xFFFFu) << "all interfaces are one surface";
    s4->Release();
    s2->Release();
    s1->Release();
    dd2->Release();
}

TEST_F(SurfaceTest, LockRulesRectsAndBusySurfaces) {
    IDirectDrawSurface4* s = Numbered(16, 8);
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof(d);
    RECT r{3, 2, 10, 6};
    ASSERT_EQ(s->Lock(&r, &d, DDLOCK_WAIT, nullptr), DD_OK);
    EXPECT_EQ(*static_cast<uint16_t*>(d.lpSurface), 2 * 256 + 3 + 1) << "the pointer is at the rect's corner";
    DDSURFACEDESC2 again{};
    again.dwSize = sizeof(again);
    EXPECT_EQ(s->Lock(nullptr, &again, DDLOCK_WAIT, nullptr), DDERR_SURFACEBUSY);
    EXPECT_EQ(s->Blt(nullptr, s, nullptr, DDBLT_WAIT, nullptr), DDERR_SURFACEBUSY) << "no blit into a locked surface";
    EXPECT_EQ(s->Unlock(nullptr), DD_OK);
    EXPECT_EQ(s->Unlock(nullptr), DDERR_NOTLOCKED);

    RECT outside{10, 0, 17, 4};
    EXPECT_EQ(s->Lock(&outside, &d, DDLOCK_WAIT, nullptr), DDERR_INVALIDRECT);
    RECT empty{4, 4, 4, 5};
    EXPECT_EQ(s->Lock(&empty, &d, DDLOCK_WAIT, nullptr), DDERR_INVALIDRECT);

    dd::SetSurfaceBusy(s, 2);
    EXPECT_EQ(s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DDERR_SURFACEBUSY);
    EXPECT_EQ(s->Blt(nullptr, s, nullptr, DDBLT_WAIT, nullptr), DDERR_WASSTILLDRAWING);
    ASSERT_EQ(s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK) << "busy only as often as asked";
    s->Unlock(nullptr);
}

// Blits whose destination sticks out of the destination on each side, and whose source sticks
// out of the source, write exactly the pixels that are inside both.
TEST_F(SurfaceTest, BltClipsToBothSurfacesAtEveryEdge) {
    IDirectDrawSurface4* src = Numbered(8, 8);
    struct Case {
        const char* name;
        RECT dest;
        RECT source;
    };
    const Case cases[] = {
        {"left", {-3, 2, 5, 10}, {0, 0, 8, 8}},      {"top", {2, -5, 10, 3}, {0, 0, 8, 8}},
        {"right", {7, 1, 15, 9}, {0, 0, 8, 8}},      {"bottom", {0, 9, 8, 17}, {0, 0, 8, 8}},
        {"all", {-4, -4, 16, 16}, {-4, -4, 16, 16}}, {"source left", {0, 0, 8, 8}, {-4, 0, 4, 8}},
        {"source bottom", {2, 2, 10, 10}, {0, 4, 8, 12}}, {"nowhere", {20, 20, 28, 28}, {0, 0, 8, 8}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        IDirectDrawSurface4* dst = Make(12, 12, dd::FormatRgb565());
        FillSurface(dst, [](int, int) { return 0u; });
        RECT d = c.dest, s = c.source;
        ASSERT_EQ(dst->Blt(&d, src, &s, DDBLT_WAIT, nullptr), DD_OK);
        for (int y = 0; y < 12; ++y) {
            for (int x = 0; x < 12; ++x) {
                const int sx = c.source.left + (x - c.dest.left), sy = c.source.top + (y - c.dest.top);
                const bool inDest = x >= c.dest.left && x < c.dest.right && y >= c.dest.top && y < c.dest.bottom;
                const bool inSource = sx >= 0 && sx < 8 && sy >= 0 && sy < 8;
                const uint32_t want = inDest && inSource ? static_cast<uint32_t>(sy * 256 + sx + 1) : 0u;
                ASSERT_EQ(RawPixel(dst, x, y), want) << "at " << x << "," << y;
            }
        }
    }
}

TEST_F(SurfaceTest, BltFastClipsAndDrawsWithTheSourceKey) {
    IDirectDrawSurface4* src = Numbered(8, 8);
    DDCOLORKEY key{2 * 256 + 3 + 1, 2 * 256 + 3 + 1};  // the pixel at (3, 2)
    ASSERT_EQ(src->SetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
    IDirectDrawSurface4* dst = Make(10, 10, dd::FormatRgb565());
    FillSurface(dst, [](int, int) { return 0u; });
    ASSERT_EQ(dst->BltFast(4, 5, src, nullptr, DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT), DD_OK);
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 10; ++x) {
            int sx = x - 4, sy = y - 5;
            uint32_t want = (sx >= 0 && sy >= 0 && sx < 8 && sy < 8) ? static_cast<uint32_t>(sy * 256 + sx + 1) : 0;
            if (sx == 3 && sy == 2)
                want = 0;  // keyed out
            ASSERT_EQ(RawPixel(dst, x, y), want) << x << "," << y;
        }
    }
    IDirectDrawClipper* clipper = nullptr;
    ASSERT_EQ(directDraw->CreateClipper(0, &clipper, nullptr), DD_OK);
    dst->SetClipper(clipper);
    EXPECT_EQ(dst->BltFast(0, 0, src, nullptr, DDBLTFAST_WAIT), DDERR_BLTFASTCANTCLIP);
    dst->SetClipper(nullptr);
    clipper->Release();
}

TEST_F(SurfaceTest, KeyedBlitsSkipKeyedSourcesOrWriteOnlyOverKeyedDestinations) {
    IDirectDrawSurface4* src = Make(4, 1, dd::FormatRgb565());
    FillSurface(src, [](int x, int) { return x % 2 ? 0u : 0x1234u; });
    IDirectDrawSurface4* dst = Make(4, 1, dd::FormatRgb565());
    FillSurface(dst, [](int x, int) { return x < 2 ? 0x7777u : 0x0001u; });

    // As the frame blit of the renderer: a source key of 0 given in the effects record.
    DDBLTFX fx{};
    fx.dwSize = sizeof(fx);
    ASSERT_EQ(dst->Blt(nullptr, src, nullptr, DDBLT_WAIT | DDBLT_KEYSRCOVERRIDE, &fx), DD_OK);
    EXPECT_EQ(RawPixel(dst, 0, 0), 0x1234u);
    EXPECT_EQ(RawPixel(dst, 1, 0), 0x7777u);
    EXPECT_EQ(RawPixel(dst, 2, 0), 0x1234u);
    EXPECT_EQ(RawPixel(dst, 3, 0), 0x0001u);

    FillSurface(dst, [](int x, int) { return x < 2 ? 0x7777u : 0x0001u; });
    DDCOLORKEY destKey{0x0001, 0x0001};
    ASSERT_EQ(dst->SetColorKey(DDCKEY_DESTBLT, &destKey), DD_OK);
    ASSERT_EQ(dst->Blt(nullptr, src, nullptr, DDBLT_WAIT | DDBLT_KEYDEST, nullptr), DD_OK);
    EXPECT_EQ(RawPixel(dst, 0, 0), 0x7777u);
    EXPECT_EQ(RawPixel(dst, 2, 0), 0x1234u);
    EXPECT_EQ(RawPixel(dst, 3, 0), 0x0000u);

    DDCOLORKEY got{};
    EXPECT_EQ(src->GetColorKey(DDCKEY_SRCBLT, &got), DDERR_NOCOLORKEY);
}

TEST_F(SurfaceTest, StretchSamplesTheNearestSourcePixelAndMirrors) {
    IDirectDrawSurface4* src = Make(2, 2, dd::FormatRgb565());
    FillSurface(src, [](int x, int y) { return static_cast<uint32_t>(10 + y * 2 + x); });
    IDirectDrawSurface4* big = Make(6, 4, dd::FormatRgb565());
    ASSERT_EQ(big->Blt(nullptr, src, nullptr, DDBLT_WAIT, nullptr), DD_OK);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(RawPixel(big, x, y), static_cast<uint32_t>(10 + (y / 2) * 2 + x / 3)) << x << "," << y;

    IDirectDrawSurface4* small = Make(1, 1, dd::FormatRgb565());
    IDirectDrawSurface4* four = Numbered(4, 4);
    ASSERT_EQ(small->Blt(nullptr, four, nullptr, DDBLT_WAIT, nullptr), DD_OK);
    EXPECT_EQ(RawPixel(small, 0, 0), 2u * 256 + 2 + 1) << "the centre of the source";

    DDBLTFX fx{};
    fx.dwSize = sizeof(fx);
    fx.dwDDFX = DDBLTFX_MIRRORLEFTRIGHT;
    IDirectDrawSurface4* mirrored = Make(2, 2, dd::FormatRgb565());
    ASSERT_EQ(mirrored->Blt(nullptr, src, nullptr, DDBLT_WAIT | DDBLT_DDFX, &fx), DD_OK);
    EXPECT_EQ(RawPixel(mirrored, 0, 0), 11u);
    EXPECT_EQ(RawPixel(mirrored, 1, 1), 12u);
}

TEST_F(SurfaceTest, FillsStayInsideTheirRectangleAndDifferentFormatsDoNotMix) {
    IDirectDrawSurface4* s = Make(8, 8, dd::FormatRgb565());
    FillSurface(s, [](int, int) { return 0u; });
    DDBLTFX fx{};
    fx.dwSize = sizeof(fx);
    fx.dwFillColor = 0xF800;
    RECT r{6, -2, 12, 3};
    ASSERT_EQ(s->Blt(&r, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx), DD_OK);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(RawPixel(s, x, y), (x >= 6 && y < 3) ? 0xF800u : 0u) << x << "," << y;
    EXPECT_EQ(s->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, nullptr), DDERR_INVALIDPARAMS) << "fill needs fx";
    RECT inverted{5, 5, 2, 7};
    EXPECT_EQ(s->Blt(&inverted, nullptr, nullptr, DDBLT_COLORFILL, &fx), DDERR_INVALIDRECT);

    IDirectDrawSurface4* wide = Make(8, 8, dd::FormatXrgb8888());
    EXPECT_EQ(s->Blt(nullptr, wide, nullptr, DDBLT_WAIT, nullptr), DDERR_INVALIDPIXELFORMAT);

    IDirectDrawSurface4* depth = Make(8, 8, dd::FormatZ16(), DDSCAPS_ZBUFFER | DDSCAPS_SYSTEMMEMORY);
    fx.dwFillDepth = 0x1234;
    ASSERT_EQ(depth->Blt(nullptr, nullptr, nullptr, DDBLT_DEPTHFILL, &fx), DD_OK);
    EXPECT_EQ(RawPixel(depth, 7, 7), 0x1234u);
    EXPECT_EQ(s->Blt(nullptr, nullptr, nullptr, DDBLT_DEPTHFILL, &fx), DDERR_INVALIDPARAMS);
}

TEST_F(SurfaceTest, OverlappingBlitWithinOneSurfaceCopiesTheOriginal) {
    IDirectDrawSurface4* s = Numbered(8, 1);
    RECT from{0, 0, 6, 1}, to{2, 0, 8, 1};
    ASSERT_EQ(s->Blt(&to, s, &from, DDBLT_WAIT, nullptr), DD_OK);
    for (int x = 2; x < 8; ++x)
        EXPECT_EQ(RawPixel(s, x, 0), static_cast<uint32_t>(x - 2 + 1));
}

class FlipTest : public SurfaceTest {
protected:
    void SetUp() override {
        SurfaceTest::SetUp();
        window = MakeGameWindow();
    }

    IDirectDrawSurface4* Chain(DWORD backBuffers, HRESULT* result = nullptr) {
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof(d);
        d.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
        d.dwBackBufferCount = backBuffers;
        d.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_3DDEVICE;
        IDirectDrawSurface4* s = nullptr;
        HRESULT hr = directDraw->CreateSurface(&d, &s, nullptr);
        if (result)
            *result = hr;
        return s;
    }

    static void* Memory(IDirectDrawSurface4* s) {
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof(d);
        s->Lock(nullptr, &d, DDLOCK_WAIT | DDLOCK_READONLY, nullptr);
        s->Unlock(nullptr);
        return d.lpSurface;
    }

    HWND window = nullptr;
};

TEST_F(FlipTest, FullScreenChainFlipsByExchangingMemory) {
    HRESULT hr = S_OK;
    EXPECT_EQ(Chain(1, &hr), nullptr);
    EXPECT_EQ(hr, DDERR_NOEXCLUSIVEMODE) << "a flipping primary needs exclusive mode";
    ASSERT_EQ(directDraw->SetCooperativeLevel(window, DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE | DDSCL_ALLOWREBOOT), DD_OK);
    ASSERT_EQ(directDraw->SetDisplayMode(800, 600, 16, 0, 0), DD_OK);
    IDirectDrawSurface4* front = Chain(2);
    ASSERT_NE(front, nullptr);
    DDSCAPS2 caps{DDSCAPS_BACKBUFFER, 0, 0, 0};
    IDirectDrawSurface4* back = nullptr;
    ASSERT_EQ(front->GetAttachedSurface(&caps, &back), DD_OK);
    caps.dwCaps = DDSCAPS_FLIP;
    IDirectDrawSurface4* third = nullptr;
    ASSERT_EQ(back->GetAttachedSurface(&caps, &third), DD_OK);
    ASSERT_NE(third, front);

    void* m0 = Memory(front);
    void* m1 = Memory(back);
    void* m2 = Memory(third);
    FillSurface(back, [](int, int) { return 0x07E0u; });
    const int presents = dd::PresentCount();
    ASSERT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DD_OK);
    EXPECT_EQ(Memory(front), m1);
    EXPECT_EQ(Memory(back), m2);
    EXPECT_EQ(Memory(third), m0);
    EXPECT_EQ(RawPixel(front, 400, 300), 0x07E0u);
    EXPECT_EQ(dd::PresentCount(), presents + 1);
    EXPECT_EQ(back->Flip(nullptr, 0), DDERR_NOTFLIPPABLE) << "only the front flips";

    dd::SetSurfaceBusy(front, 1);
    EXPECT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DDERR_WASSTILLDRAWING);
    EXPECT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DD_OK);

    third->Release();
    back->Release();
    HRESULT second = S_OK;
    EXPECT_EQ(Chain(1, &second), nullptr);
    EXPECT_EQ(second, DDERR_PRIMARYSURFACEALREADYEXISTS);
    front->Release();  // the back buffers go with it
}

TEST_F(FlipTest, DisplayModeChangesLoseVideoMemorySurfacesUntilRestored) {
    IDirectDrawSurface4* video = Make(16, 16, dd::FormatRgb565(), DDSCAPS_VIDEOMEMORY);
    IDirectDrawSurface4* system = Make(16, 16, dd::FormatRgb565(), DDSCAPS_SYSTEMMEMORY);
    ASSERT_NE(video, nullptr);
    ASSERT_EQ(directDraw->SetCooperativeLevel(window, DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE), DD_OK);
    ASSERT_EQ(directDraw->SetDisplayMode(1024, 768, 32, 0, 0), DD_OK);
    EXPECT_EQ(video->IsLost(), DDERR_SURFACELOST);
    EXPECT_EQ(system->IsLost(), DD_OK);
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof(d);
    EXPECT_EQ(video->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DDERR_SURFACELOST);
    EXPECT_EQ(system->Blt(nullptr, video, nullptr, DDBLT_WAIT, nullptr), DDERR_SURFACELOST);
    EXPECT_EQ(directDraw->RestoreAllSurfaces(), DD_OK);
    EXPECT_EQ(video->IsLost(), DD_OK);

    dd::LoseSurface(system);
    EXPECT_EQ(system->IsLost(), DDERR_SURFACELOST);
    EXPECT_EQ(system->Restore(), DD_OK);
    EXPECT_EQ(system->IsLost(), DD_OK);

    // Giving the display back restores the desktop mode.
    ASSERT_EQ(directDraw->RestoreDisplayMode(), DD_OK);
    DDSURFACEDESC2 mode{};
    mode.dwSize = sizeof(mode);
    ASSERT_EQ(directDraw->GetDisplayMode(&mode), DD_OK);
    EXPECT_EQ(mode.dwWidth, 800u);
    EXPECT_EQ(mode.ddpfPixelFormat.dwRGBBitCount, 16u);
}

TEST_F(SurfaceTest, MipChainsHalveDownToOnePixel) {
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof(d);
    d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    d.dwWidth = 32;
    d.dwHeight = 8;
    d.ddpfPixelFormat = dd::FormatArgb4444();
    d.ddsCaps.dwCaps = DDSCAPS_TEXTURE | DDSCAPS_MIPMAP | DDSCAPS_COMPLEX | DDSCAPS_SYSTEMMEMORY;
    IDirectDrawSurface4* top = nullptr;
    ASSERT_EQ(directDraw->CreateSurface(&d, &top, nullptr), DD_OK);
    std::vector<std::pair<DWORD, DWORD>> sizes;
    IDirectDrawSurface4* level = top;
    level->AddRef();
    while (level) {
        DDSURFACEDESC2 ld{};
        ld.dwSize = sizeof(ld);
        level->GetSurfaceDesc(&ld);
        sizes.emplace_back(ld.dwWidth, ld.dwHeight);
        DDSCAPS2 caps{DDSCAPS_TEXTURE | DDSCAPS_MIPMAP, 0, 0, 0};
        IDirectDrawSurface4* next = nullptr;
        HRESULT hr = level->GetAttachedSurface(&caps, &next);
        level->Release();
        level = SUCCEEDED(hr) ? next : nullptr;
        if (FAILED(hr)) {
            EXPECT_EQ(hr, DDERR_NOTFOUND);
        }
    }
    const std::vector<std::pair<DWORD, DWORD>> want = {{32, 8}, {16, 4}, {8, 2}, {4, 1}, {2, 1}, {1, 1}};
    EXPECT_EQ(sizes, want);
    top->Release();

    d.dwFlags |= DDSD_MIPMAPCOUNT;
    d.dwMipMapCount = 7;
    IDirectDrawSurface4* tooMany = nullptr;
    EXPECT_EQ(directDraw->CreateSurface(&d, &tooMany, nullptr), DDERR_INVALIDPARAMS);
}

TEST_F(SurfaceTest, PalettesBelongToPalettisedSurfaces) {
    PALETTEENTRY entries[256] = {};
    entries[7] = {10, 20, 30, 0};
    IDirectDrawPalette* palette = nullptr;
    ASSERT_EQ(directDraw->CreatePalette(DDPCAPS_8BIT | DDPCAPS_ALLOW256 | DDPCAPS_INITIALIZE, entries, &palette,
                                        nullptr),
              DD_OK);
    IDirectDrawSurface4* indexed = Make(4, 4, dd::FormatPalette8());
    IDirectDrawSurface4* rgb = Make(4, 4, dd::FormatRgb565());
    EXPECT_EQ(rgb->SetPalette(palette), DDERR_INVALIDPIXELFORMAT);
    IDirectDrawPalette* none = nullptr;
    EXPECT_EQ(indexed->GetPalette(&none), DDERR_NOPALETTEATTACHED);
    ASSERT_EQ(indexed->SetPalette(palette), DD_OK);
    FillSurface(indexed, [](int, int) { return 7u; });
    EXPECT_EQ(Capture(indexed).At(2, 2), 0xFF0A141Eu);
    PALETTEENTRY changed{200, 100, 50, 0};
    ASSERT_EQ(palette->SetEntries(0, 7, 1, &changed), DD_OK);
    EXPECT_EQ(Capture(indexed).At(2, 2), 0xFFC86432u);
    EXPECT_EQ(palette->SetEntries(0, 250, 10, entries), DDERR_INVALIDPARAMS) << "past entry 255";
    palette->Release();  // the surface keeps its own reference
    IDirectDrawPalette* got = nullptr;
    ASSERT_EQ(indexed->GetPalette(&got), DD_OK);
    got->Release();
}

TEST_F(SurfaceTest, OneDepthBufferAttachesToASurfaceOfItsSize) {
    IDirectDrawSurface4* target = Make(32, 32, dd::FormatRgb565(), DDSCAPS_3DDEVICE | DDSCAPS_SYSTEMMEMORY);
    IDirectDrawSurface4* z = Make(32, 32, dd::FormatZ16(), DDSCAPS_ZBUFFER | DDSCAPS_SYSTEMMEMORY);
    IDirectDrawSurface4* other = Make(32, 32, dd::FormatZ16(), DDSCAPS_ZBUFFER | DDSCAPS_SYSTEMMEMORY);
    IDirectDrawSurface4* small = Make(16, 16, dd::FormatZ16(), DDSCAPS_ZBUFFER | DDSCAPS_SYSTEMMEMORY);
    HRESULT hr = S_OK;
    EXPECT_EQ(Make(8, 8, dd::FormatRgb565(), DDSCAPS_ZBUFFER, &hr), nullptr);
    EXPECT_EQ(hr, DDERR_INVALIDPIXELFORMAT) << "a Z-buffer needs a depth format";

    DDSCAPS2 caps{DDSCAPS_ZBUFFER, 0, 0, 0};
    IDirectDrawSurface4* found = nullptr;
    EXPECT_EQ(target->GetAttachedSurface(&caps, &found), DDERR_NOTFOUND);
    EXPECT_EQ(target->AddAttachedSurface(small), DDERR_CANNOTATTACHSURFACE);
    ASSERT_EQ(target->AddAttachedSurface(z), DD_OK);
    EXPECT_EQ(target->AddAttachedSurface(other), DDERR_SURFACEALREADYATTACHED);
    ASSERT_EQ(target->GetAttachedSurface(&caps, &found), DD_OK);
    EXPECT_EQ(found, z);
    found->Release();
    EXPECT_EQ(target->DeleteAttachedSurface(0, z), DD_OK);
    EXPECT_EQ(target->DeleteAttachedSurface(0, z), DDERR_SURFACENOTATTACHED);
}

TEST_F(SurfaceTest, VideoMemoryIsABudget) {
    dd::CapsProfile profile = dd::DefaultCapsProfile();
    profile.videoMemoryBytes = 3 * 64 * 64 * 2;
    dd::SetCapsProfile(profile);
    DDSCAPS2 caps{DDSCAPS_TEXTURE, 0, 0, 0};
    DWORD total = 0, free = 0;
    ASSERT_EQ(directDraw->GetAvailableVidMem(&caps, &total, &free), DD_OK);
    EXPECT_EQ(total, 3u * 64 * 64 * 2);
    EXPECT_EQ(free, total);

    std::vector<IDirectDrawSurface4*> textures;
    for (int i = 0; i < 3; ++i)
        textures.push_back(Make(64, 64, dd::FormatRgb565(), DDSCAPS_TEXTURE | DDSCAPS_VIDEOMEMORY));
    ASSERT_NE(textures.back(), nullptr);
    HRESULT hr = S_OK;
    EXPECT_EQ(Make(64, 64, dd::FormatRgb565(), DDSCAPS_TEXTURE | DDSCAPS_VIDEOMEMORY, &hr), nullptr);
    EXPECT_EQ(hr, DDERR_OUTOFVIDEOMEMORY);
    IDirectDrawSurface4* anywhere = Make(64, 64, dd::FormatRgb565(), DDSCAPS_TEXTURE);
    ASSERT_NE(anywhere, nullptr);
    DDSCAPS2 placed{};
    anywhere->GetCaps(&placed);
    EXPECT_TRUE(placed.dwCaps & DDSCAPS_SYSTEMMEMORY) << "without a memory wish it falls back to system memory";
    ASSERT_EQ(directDraw->GetAvailableVidMem(&caps, &total, &free), DD_OK);
    EXPECT_EQ(free, 0u);

    dd::CapsProfile small = profile;
    small.maxTextureWidth = 32;
    dd::SetCapsProfile(small);
    EXPECT_EQ(Make(64, 16, dd::FormatRgb565(), DDSCAPS_TEXTURE | DDSCAPS_VIDEOMEMORY, &hr), nullptr);
    EXPECT_EQ(hr, DDERR_INVALIDPARAMS) << "wider than the card's largest texture";
    EXPECT_NE(Make(64, 16, dd::FormatRgb565(), DDSCAPS_TEXTURE | DDSCAPS_SYSTEMMEMORY), nullptr);
    dd::SetCapsProfile(profile);

    made.erase(std::find(made.begin(), made.end(), textures[0]));
    textures[0]->Release();
    EXPECT_NE(Make(64, 64, dd::FormatRgb565(), DDSCAPS_TEXTURE | DDSCAPS_VIDEOMEMORY), nullptr);
    EXPECT_EQ(dd::VideoMemoryUsed(), 3u * 64 * 64 * 2);
}

TEST_F(SurfaceTest, InjectedFailuresHitTheNamedCallOnly) {
    dd::FailCall("DirectDraw::CreateSurface", DDERR_OUTOFMEMORY, 1, 1);
    EXPECT_NE(Make(4, 4, dd::FormatRgb565()), nullptr) << "the first call passes";
    HRESULT hr = S_OK;
    EXPECT_EQ(Make(4, 4, dd::FormatRgb565(), DDSCAPS_SYSTEMMEMORY, &hr), nullptr);
    EXPECT_EQ(hr, DDERR_OUTOFMEMORY);
    EXPECT_NE(Make(4, 4, dd::FormatRgb565()), nullptr) << "only once";

    dd::FailCall("QueryInterface:IDirect3DTexture2", E_NOINTERFACE);
    IDirectDrawSurface4* texture = Make(4, 4, dd::FormatRgb565(), DDSCAPS_TEXTURE | DDSCAPS_SYSTEMMEMORY);
    IDirect3DTexture2* t = nullptr;
    EXPECT_EQ(texture->QueryInterface(IID_IDirect3DTexture2, reinterpret_cast<void**>(&t)), E_NOINTERFACE);
    ASSERT_EQ(texture->QueryInterface(IID_IDirect3DTexture2, reinterpret_cast<void**>(&t)), S_OK);
    t->Release();
    IDirectDrawSurface4* plain = Make(4, 4, dd::FormatRgb565());
    EXPECT_EQ(plain->QueryInterface(IID_IDirect3DTexture2, reinterpret_cast<void**>(&t)), E_NOINTERFACE)
        << "only textures are textures";
}

}  // namespace
