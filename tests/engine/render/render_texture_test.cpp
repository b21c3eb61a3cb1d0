// Images and the texture manager through our DirectDraw: realize modes and error codes, mip chains,
// palettes, refills; texture formats by caps profile, keys, reuse, eviction, pinning, the
// system-memory fallback, lost surfaces, the sentinel and the failure paths, by budget.

#include <gtest/gtest.h>

#include <functional>

#include "engine/render/sg_dd_environment.h"
#include "engine/render/sg_dd_image.h"
#include "engine/render/sg_texture_manager.h"
#include "platform/ddraw/control.h"
#include "tests/support/render/render_fixture.h"

namespace {

using platform::dd::CapsProfile;
using Pixel = std::function<uint32_t(uint32_t x, uint32_t y)>;  // 0xAABBGGRR as the raw bytes

SgRef<SgRawImageData> Raw(uint32_t format, uint32_t w, uint32_t h, const Pixel& pixel) {
    SgRef<SgRawImageData> raw(new SgRawImageData);
    EXPECT_TRUE(raw->ResizeRawImage(format, w, h));
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) {
            const uint32_t p = pixel(x, y);
            uint8_t* at = raw->Row(y) + x * raw->BytesPerPixel();
            for (uint32_t i = 0; i < raw->BytesPerPixel(); ++i)
                at[i] = static_cast<uint8_t>(p >> (8 * i));
        }
    return raw;
}

// A palettised image whose entry i is (i, 2i, 255 - i); pixels pick their index.
SgRef<SgRawImageData> Palettised(uint32_t w, uint32_t h, const Pixel& index) {
    SgRef<SgRawImageData> raw = Raw(SgRawImageData::kPalettized, w, h, index);
    for (int i = 0; i < 256; ++i) {
        raw->Palette()[4 * i] = static_cast<uint8_t>(i);
        raw->Palette()[4 * i + 1] = static_cast<uint8_t>(2 * i);
        raw->Palette()[4 * i + 2] = static_cast<uint8_t>(255 - i);
    }
    return raw;
}

SgRef<SgDDImage> Image(SgRef<SgRawImageData> raw, int mode = 1, uint32_t kind = 7) {
    SgRef<SgImage> image = SgImage::CreateFromRawData(raw, mode, kind);
    EXPECT_TRUE(image && image->GetTypeRecord()->IsKindOf(&SgDDImage::typeRecord));
    return SgRef<SgDDImage>(static_cast<SgDDImage*>(image.Get()));
}

SgRef<SgDDImage> Solid(uint32_t w, uint32_t h, uint32_t rgb, int mode = 1, uint32_t kind = 7) {
    return Image(Raw(SgRawImageData::kRgb, w, h, [rgb](uint32_t, uint32_t) { return rgb; }), mode, kind);
}

DDSURFACEDESC2 Desc(IDirectDrawSurface4* s) {
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof(d);
    EXPECT_EQ(s->GetSurfaceDesc(&d), DD_OK);
    return d;
}

// The levels of a surface's mip chain, top first (references held by the chain).
std::vector<IDirectDrawSurface4*> Levels(IDirectDrawSurface4* top) {
    std::vector<IDirectDrawSurface4*> out{top};
    DDSCAPS2 caps{};
    caps.dwCaps = DDSCAPS_TEXTURE | DDSCAPS_MIPMAP;
    IDirectDrawSurface4* next = nullptr;
    while (SUCCEEDED(out.back()->GetAttachedSurface(&caps, &next)) && next) {
        next->Release();
        out.push_back(next);
    }
    return out;
}

class TextureTest : public RenderTest {
protected:
    void TearDown() override {
        holder = nullptr;
        r = nullptr;
        RenderTest::TearDown();
    }

    bool Start(uint32_t flags = 11, uint32_t mode = 0) {
        r = Open(Params(mode, flags));
        return r && (m = r->TextureManager()) != nullptr;
    }
    // A device that cannot texture from system memory: a full video memory must make room.
    bool StartTight() {
        EditProfile([](CapsProfile& p) { p.devCaps &= ~D3DDEVCAPS_TEXTURESYSTEMMEMORY; });
        return Start();
    }
    // The video memory one texture of the image takes.
    uint64_t TextureBytes(SgDDImage* image) {
        const uint64_t before = platform::dd::VideoMemoryUsed();
        EXPECT_TRUE(r->PrecacheTexture(image, 1, 0, 0));
        const uint64_t bytes = platform::dd::VideoMemoryUsed() - before;
        r->ReleaseTextures(image);
        return bytes;
    }
    void Frame() { ASSERT_EQ(r->BeginFrame(), 0); ASSERT_EQ(r->EndFrame(), 0); }
    // Video memory left for textures after the renderer's own surfaces.
    void Budget(uint64_t bytes) {
        EditProfile([&](CapsProfile& p) { p.videoMemoryBytes = platform::dd::VideoMemoryUsed() + bytes; });
    }
    struct Bound {
        bool ok, changed, mip, alpha;
        IDirect3DTexture2* texture;
    };
    Bound Bind(SgImage* image, int32_t stage = 0) {
        Bound b{};
        b.ok = m->BindTexture(stage, image, holder, &b.texture, &b.changed, &b.mip, &b.alpha);
        return b;
    }
    SgTextureEntry* Entry(SgDDImage* image, int32_t heap = 0) { return image->TextureEntry(m->Key(heap)); }
    // The counts the manager keeps agree with its lists and memory with its entries.
    void ExpectConsistent() {
        const SgD3DTextureManager::Heap* h = m->HeapAt(0);
        int32_t count = 0, memory = 0, classes[16] = {};
        for (SgTextureEntry* head : h->heads)
            for (SgTextureEntry* e = head; e; e = e->next) {
                ++count;
                memory += e->memory;
                ++classes[SgTextureSizeClass(e->key)];
                EXPECT_NE(e->surface, nullptr);
            }
        for (SgTextureEntry* e = h->pinned; e; e = e->next)
            memory += e->memory;
        EXPECT_EQ(count, m->textureCount);
        EXPECT_EQ(memory, h->memory);
        for (int c = 0; c < 16; ++c)
            EXPECT_EQ(classes[c], h->classCounts[c]) << "class " << c;
    }

    SgRef<SgD3DRender> r;
    SgD3DTextureManager* m = nullptr;
    SgRef<SgImage> holder;
};

// ---- Images ----

TEST_F(TextureTest, APalettisedImageWithMipmapsGetsRgbLevelsOfBoxFilteredHalves) {
    ASSERT_TRUE(Start());
    // Ask for 8-8-8-8 so the averages are exact.
    SgRef<SgDDImage> image = Image(Palettised(4, 4, [](uint32_t x, uint32_t y) { return 4 * y + x; }), 1, 5);
    IDirectDrawSurface4* s = nullptr;
    ASSERT_TRUE(image->Realize(r.Get(), 0, &s));
    const DDSURFACEDESC2 d = Desc(s);
    EXPECT_FALSE(d.ddpfPixelFormat.dwFlags & DDPF_PALETTEINDEXED8);
    EXPECT_EQ(d.ddpfPixelFormat.dwRGBBitCount, 32u);
    std::vector<IDirectDrawSurface4*> levels = Levels(s);
    ASSERT_EQ(levels.size(), 2u);  // MipLevelCount(4, 4)
    EXPECT_EQ(image->mipLevelCount, 2u);
    const ddtest::Image top = ddtest::Capture(levels[0]), half = ddtest::Capture(levels[1]);
    ASSERT_EQ(half.width, 2);
    // Entry i is (i, 2i, 255 - i): the top pixel (1, 2) has index 9.
    EXPECT_EQ(top.At(1, 2) & 0xFFFFFF, 0x0912F6u);
    for (uint32_t y = 0; y < 2; ++y)
        for (uint32_t x = 0; x < 2; ++x) {
            const uint32_t i0 = 8 * y + 2 * x;  // indices i0, i0+1, i0+4, i0+5
            const uint32_t red = (4 * i0 + 10) >> 2, green = (8 * i0 + 20) >> 2, blue = (4 * (255 - i0) - 10) >> 2;
            EXPECT_EQ(half.At(x, y) & 0xFFFFFF, red << 16 | green << 8 | blue) << x << "," << y;
        }
}

TEST_F(TextureTest, APalettisedSurfaceWithoutMipmapsKeepsItsOwnPalette) {
    ASSERT_TRUE(Start());
    SgRef<SgDDImage> image = Image(Palettised(8, 8, [](uint32_t x, uint32_t) { return x; }), 0, 7);
    IDirectDrawSurface4* s = nullptr;
    ASSERT_TRUE(image->Realize(r.Get(), 0, &s));
    EXPECT_TRUE(Desc(s).ddpfPixelFormat.dwFlags & DDPF_PALETTEINDEXED8);
    EXPECT_EQ(ddtest::RawPixel(s, 3, 0), 3u);
    IDirectDrawPalette* palette = nullptr;
    ASSERT_EQ(s->GetPalette(&palette), DD_OK);
    PALETTEENTRY e[256];
    ASSERT_EQ(palette->GetEntries(0, 0, 256, e), DD_OK);
    palette->Release();
    EXPECT_EQ(e[3].peRed, 3);
    EXPECT_EQ(e[3].peGreen, 6);
    EXPECT_EQ(e[3].peBlue, 252);
    // A refill after new colours puts them in the surface's palette.
    image->RawData()->Palette()[4 * 3] = 77;
    image->MarkDirty();
    ASSERT_TRUE(image->Realize(r.Get(), 0, &s));
    ASSERT_EQ(s->GetPalette(&palette), DD_OK);
    ASSERT_EQ(palette->GetEntries(0, 0, 256, e), DD_OK);
    palette->Release();
    EXPECT_EQ(e[3].peRed, 77);
}

TEST_F(TextureTest, RealizingTwiceGivesTheSameSurfaceAndMarkDirtyRefillsIt) {
    ASSERT_TRUE(Start());
    SgRef<SgDDImage> image = Solid(8, 8, 0x0000FF, 0, 5);  // red
    IDirectDrawSurface4 *first = nullptr, *second = nullptr;
    ASSERT_TRUE(image->Realize(r.Get(), 0, &first));
    ASSERT_TRUE(image->Realize(r.Get(), 0, &second));
    EXPECT_EQ(first, second);
    EXPECT_EQ(image->SurfaceCount(), 1u);
    EXPECT_EQ(ddtest::RawPixel(first, 0, 0) & 0xFFFFFF, 0xFF0000u);
    const uint32_t stamp = image->contentStamp;
    image->RawData()->Row(0)[0] = 0;
    image->RawData()->Row(0)[1] = 0xFF;  // green
    image->MarkDirty();
    EXPECT_EQ(image->contentStamp, stamp + 1);
    EXPECT_EQ(ddtest::RawPixel(first, 0, 0) & 0xFFFFFF, 0xFF0000u);  // not before the next realize
    ASSERT_TRUE(image->Realize(r.Get(), 0, &second));
    EXPECT_EQ(first, second);
    EXPECT_EQ(ddtest::RawPixel(first, 0, 0) & 0xFFFFFF, 0x00FF00u);
    // A frame-format surface is a second record; both go with VisitAll.
    ASSERT_TRUE(image->Realize(r.Get(), 1, &second));
    EXPECT_NE(first, second);
    EXPECT_EQ(Desc(second).ddpfPixelFormat.dwRGBBitCount, 16u);
    EXPECT_EQ(image->SurfaceCount(), 2u);
    EXPECT_TRUE(SgDDImage::VisitAll());
    EXPECT_EQ(image->SurfaceCount(), 0u);
    EXPECT_FALSE(image->flags & SgImage::kHasSurface);
}

TEST_F(TextureTest, AnImageBlittedNearTheRightEdgeCopiesOnlyWhatShows) {
    ASSERT_TRUE(Start());
    // Realized in the frame's 5-6-5 on first use: white, 16 x 16, eight columns left of the edge.
    SgRef<SgDDImage> image = Solid(16, 16, 0xFFFFFF);
    IDirectDrawSurface4* back = r->Driver()->buffers->back;
    ddtest::FillSurface(back, [](int, int) { return 0u; });
    ASSERT_TRUE(r->BlitImageToFrame(image.Get(), nullptr, 792, 100, 0));
    EXPECT_EQ(image->SurfaceCount(), 1u);
    EXPECT_EQ(ddtest::RawPixel(back, 792, 100), 0xFFFFu);
    EXPECT_EQ(ddtest::RawPixel(back, 799, 115), 0xFFFFu);
    EXPECT_EQ(ddtest::RawPixel(back, 791, 100), 0u);
    EXPECT_EQ(ddtest::RawPixel(back, 0, 101), 0u);  // nothing wraps to the next row
    EXPECT_EQ(ddtest::RawPixel(back, 799, 116), 0u);
}

TEST_F(TextureTest, RealizeFailuresLeaveTheirErrorCodes) {
    ASSERT_TRUE(Start());
    SgRef<SgDDImage> empty(static_cast<SgDDImage*>(SgDDImage::CreateImage()));
    IDirectDrawSurface4* s = nullptr;
    struct Case {
        const char* name;
        std::function<bool()> realize;
        uint32_t code;
    };
    SgRef<SgDDImage> resized = Solid(8, 8, 0xFFFFFF);
    SgRef<SgDDImage> missing(static_cast<SgDDImage*>(SgDDImage::CreateImage()));
    missing->SetFileName("no such texture.bmp");
    SgRef<SgDDImage> refused = Solid(8, 8, 0xFFFFFF);
    const Case cases[] = {
        {"neither file nor raw data", [&] { return empty->Realize(r.Get(), 0, &s); }, 8},
        {"mode 2", [&] { return resized->Realize(r.Get(), 2, &s); }, 16},
        {"unreadable file", [&] { return missing->Realize(r.Get(), 0, &s); }, 7},
        {"raw data of another size",
         [&] {
             EXPECT_TRUE(resized->Realize(r.Get(), 0, &s));
             EXPECT_TRUE(resized->RawData()->ResizeRawImage(SgRawImageData::kRgb, 4, 4));
             resized->MarkDirty();
             return resized->Realize(r.Get(), 0, &s);
         },
         15},
        {"surface creation failing",
         [&] {
             platform::dd::FailCall("DirectDraw::CreateSurface", DDERR_OUTOFMEMORY);
             return refused->Realize(r.Get(), 0, &s);
         },
         11},
    };
    for (const Case& c : cases) {
        SgImage::SetLastError(0);
        EXPECT_FALSE(c.realize()) << c.name;
        EXPECT_EQ(SgImage::LastError(), c.code) << c.name;
    }
    // The image stays usable: once the device makes surfaces again the realize succeeds.
    EXPECT_TRUE(refused->Realize(r.Get(), 0, &s));
    r = nullptr;
    renders.clear();
    SgD3DRender::ReleaseCurrent();
    SgImage::SetLastError(0);
    EXPECT_FALSE(refused->Realize(nullptr, 0, &s));
    EXPECT_EQ(SgImage::LastError(), 14u);
}

// ---- Formats ----

DDPIXELFORMAT Rgb555() { return platform::dd::FormatRgb555(); }

TEST_F(TextureTest, FormatsAreTakenFromTheDeviceByKind) {
    struct Case {
        const char* name;
        std::vector<DDPIXELFORMAT> formats;
        uint32_t flags;
        std::vector<uint32_t> kinds;  // available kinds
    };
    using namespace platform::dd;
    const Case cases[] = {
        {"every format", {FormatArgb4444(), FormatArgb8888(), FormatArgb1555(), FormatRgb555(), FormatRgb565(),
                          FormatXrgb8888(), FormatPalette8()}, 9, {0, 1, 2, 3, 4, 5, 6}},
        {"flag 0x20 drops the palettised format", {FormatRgb565(), FormatPalette8()}, 9 | 0x20, {1}},
        {"flag 0x20 without an RGB format", {FormatPalette8()}, 9 | 0x20, {6}},
        {"24-bit RGB is no kind", {FormatRgb888(), FormatRgb555()}, 9, {0}},
    };
    for (const Case& c : cases) {
        EditProfile([&](CapsProfile& p) { p.textureFormats = c.formats; });
        ASSERT_TRUE(Start(c.flags)) << c.name;
        for (uint32_t k = 0; k < 8; ++k) {
            const bool wanted = std::find(c.kinds.begin(), c.kinds.end(), k) != c.kinds.end();
            EXPECT_EQ(r->HasTextureFormat(k), wanted) << c.name << " kind " << k;
            if (wanted)
                EXPECT_EQ(m->Format(k)->kind, static_cast<int32_t>(k));
        }
        EXPECT_EQ((r->GetDriverInfo() & SgD3DDriver::kInfoAlphaTextures) != 0, c.kinds.size() == 7) << c.name;
        r = nullptr;
        renders.clear();
        SgD3DRender::ReleaseCurrent();
    }
}

TEST_F(TextureTest, ADeviceWithoutTextureFormatsCannotOpen) {
    EditProfile([](CapsProfile& p) { p.textureFormats.clear(); });
    EXPECT_FALSE(Open(Params(0)));
    EXPECT_TRUE(Said("Render create failed: Texture initialization failed"));
}

TEST_F(TextureTest, TheSourceFormatFollowsTheRequestThenTheAutomaticOrder) {
    ASSERT_TRUE(Start());
    struct Case {
        uint32_t source;  // raw format
        uint32_t asked;
        bool mipmaps, prefer32;
        int32_t kind;
    };
    const Case cases[] = {
        {1, 7, false, false, 1}, {1, 7, false, true, 2},  {2, 7, false, false, 4}, {2, 7, false, true, 5},
        {0, 7, false, false, 6}, {0, 7, true, false, 1},  {0, 6, true, true, 2},   {1, 6, false, false, 1},
        {1, 0, false, false, 0}, {2, 3, false, false, 3}, {1, 9, false, false, 1}, {0, 5, false, false, 5},
    };
    for (const Case& c : cases) {
        const SgPixelFormat* f = m->ChooseSourceFormat(c.source, c.asked, c.mipmaps, c.prefer32);
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f->kind, c.kind) << c.source << " asked " << c.asked << " mip " << c.mipmaps << " 32 " << c.prefer32;
    }
}

TEST_F(TextureTest, AFiveFiveFiveOnlyDeviceTakesOnlyImagesThatAskForIt) {
    EditProfile([](CapsProfile& p) { p.textureFormats = {Rgb555()}; });
    ASSERT_TRUE(Start());
    IDirectDrawSurface4* s = nullptr;
    SgRef<SgDDImage> asked = Solid(8, 8, 0xFFFFFF, 0, 0);
    SgRef<SgDDImage> rgba = Image(Raw(SgRawImageData::kRgba, 8, 8, [](uint32_t, uint32_t) { return ~0u; }), 0, 0);
    EXPECT_TRUE(asked->Realize(r.Get(), 0, &s));
    EXPECT_TRUE(rgba->Realize(r.Get(), 0, &s));
    EXPECT_EQ(m->GetImageFormatKind(rgba.Get()), 0);
    SgRef<SgDDImage> automatic = Solid(8, 8, 0xFFFFFF, 0, 7);
    SgImage::SetLastError(0);
    EXPECT_FALSE(automatic->Realize(r.Get(), 0, &s));
    EXPECT_EQ(SgImage::LastError(), 17u);
    EXPECT_EQ(m->GetImageFormatKind(automatic.Get()), 7);
    EXPECT_EQ(m->GetImageFormatKind(nullptr), 7);
}

// ---- Keys ----

TEST(TextureKey, FieldsSitAtTheirBits) {
    struct Case {
        uint32_t w, h;
        bool mip;
        int32_t kind, code;
        uint32_t key;
    };
    const Case cases[] = {
        // 256 x 256 5-6-5 with mips: class 1 + 16 - 8 = 9, aspect 4.
        {8, 8, true, 1, 1, 8 | 8 << 4 | 1 << 8 | 2 << 9 | 4 << 12 | 9u << 15},
        // 256 x 64 8-8-8-8: aspect 2 + 4 = 6, class 2 + 14 - 8 = 8.
        {8, 6, false, 5, 2, 6 | 8 << 4 | 6 << 9 | 6 << 12 | 8u << 15},
        // 1 x 1 palettised: class clamped to 0; aspect 0 + 4.
        {0, 0, false, 6, 0, 7 << 9 | 4 << 12},
        // Aspect extremes: w - h = 3 gives 7, -4 gives 0; class clamped to 15.
        {15, 12, false, 2, 2, 12 | 15 << 4 | 3 << 9 | 7 << 12 | 15u << 15},
        {1, 5, false, 0, 1, 5 | 1 << 4 | 1 << 9 | 0 << 12 | 0u << 15},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SgTextureKey(c.w, c.h, c.mip, c.kind, c.code), c.key) << c.w << "x" << c.h;
    EXPECT_EQ(SgTextureBucket(9u << 15 | 3 << 11), 16u * 9 + 3);
}

// ---- Binding and the cache ----

TEST_F(TextureTest, ABindMakesTheTextureOnceAndCountsItOncePerFrame) {
    ASSERT_TRUE(Start());
    SgRef<SgDDImage> image = Solid(64, 64, 0x00FF00);
    ASSERT_EQ(r->BeginFrame(), 0);
    Bound b = Bind(image.Get());
    ASSERT_TRUE(b.ok);
    EXPECT_TRUE(b.changed);
    EXPECT_TRUE(b.mip);
    EXPECT_FALSE(b.alpha);
    ASSERT_NE(b.texture, nullptr);
    SgTextureEntry* e = Entry(image.Get());
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->memory, 2 * 64 * 64);
    EXPECT_TRUE(Desc(e->surface).ddsCaps.dwCaps & DDSCAPS_VIDEOMEMORY);
    EXPECT_EQ(ddtest::Capture(e->surface).At(5, 5) & 0xFFFFFF, 0x00FF00u);
    Bound again = Bind(image.Get());
    EXPECT_FALSE(again.changed);
    EXPECT_EQ(again.texture, b.texture);
    uint32_t a = 0, bb = 0, c = 0, d = 0, ee = 0;
    ASSERT_TRUE(r->GetTextureStats(a, bb, c, d, ee));
    EXPECT_EQ(a, 1u);  // first bound this frame
    EXPECT_EQ(d, 1u);  // created
    EXPECT_EQ(r->GetTextureStatus(), 1u);
    ASSERT_EQ(r->EndFrame(), 0);
    // A null image empties the holder and reports the change.
    Bound none = Bind(nullptr);
    EXPECT_TRUE(none.ok && none.changed && !none.texture);
    EXPECT_FALSE(holder);
    ExpectConsistent();
}

TEST_F(TextureTest, TwoImagesShareOneSurfaceWhenMemoryIsFull) {
    ASSERT_TRUE(StartTight());
    SgRef<SgDDImage> a = Solid(64, 64, 0x0000FF), b = Solid(64, 64, 0x00FF00);
    Budget(TextureBytes(a.Get()));
    ASSERT_EQ(r->BeginFrame(), 0);
    ASSERT_TRUE(Bind(a.Get()).ok);
    IDirectDrawSurface4* shared = Entry(a.Get())->surface;
    r->EndFrame();
    ASSERT_EQ(r->BeginFrame(), 0);
    Bound nb = Bind(b.Get());
    ASSERT_TRUE(nb.ok && nb.texture);
    EXPECT_TRUE(nb.changed);
    EXPECT_EQ(r->GetTextureStatus(), 1u | 2u);  // an idle same-key texture reused
    EXPECT_EQ(Entry(b.Get())->surface, shared);
    EXPECT_EQ(ddtest::Capture(shared).At(0, 0) & 0xFFFFFF, 0x00FF00u);
    // In the same frame the entry is busy: eviction finds nothing, so it is reused anyway.
    Bound na = Bind(a.Get());
    ASSERT_TRUE(na.ok && na.texture);
    EXPECT_EQ(r->GetTextureStatus(), 1u | 2u | 8u);
    EXPECT_EQ(ddtest::Capture(shared).At(0, 0) & 0xFFFFFF, 0xFF0000u);
    r->EndFrame();
    ExpectConsistent();
    EXPECT_EQ(m->textureCount, 1);
}

TEST_F(TextureTest, AReusedPalettisedTextureTakesTheNewImagesPalette) {
    ASSERT_TRUE(StartTight());
    // Two palettised images without mipmaps: the texture keeps the source's palette.
    SgRef<SgRawImageData> second = Palettised(64, 64, [](uint32_t, uint32_t) { return 5; });
    second->Palette()[4 * 5] = 200;
    SgRef<SgDDImage> a = Image(Palettised(64, 64, [](uint32_t, uint32_t) { return 5; }), 0),
                     b = Image(second, 0);
    ASSERT_EQ(m->GetImageFormatKind(a.Get()), 6);
    Budget(TextureBytes(a.Get()));
    auto red = [&](SgDDImage* image) {
        IDirectDrawPalette* palette = nullptr;
        EXPECT_EQ(Entry(image)->surface->GetPalette(&palette), DD_OK);
        PALETTEENTRY e[256] = {};
        if (palette) {
            palette->GetEntries(0, 0, 256, e);
            palette->Release();
        }
        return e[5].peRed;
    };
    ASSERT_EQ(r->BeginFrame(), 0);
    ASSERT_TRUE(Bind(a.Get()).texture);
    EXPECT_EQ(red(a.Get()), 5);
    r->EndFrame();
    ASSERT_EQ(r->BeginFrame(), 0);
    ASSERT_TRUE(Bind(b.Get()).texture);
    EXPECT_EQ(r->GetTextureStatus(), 1u | 2u);
    EXPECT_EQ(red(b.Get()), 200);
    r->EndFrame();
    ExpectConsistent();
    // A palette the texture will not take, or a palette change it will not make, fails the reuse
    // and leaves the texture no one's; the next bind makes it the image's with its own palette.
    for (const char* call : {"Surface::SetPalette", "Texture::PaletteChanged"}) {
        SCOPED_TRACE(call);
        SgTextureEntry* shared = Entry(b.Get());
        ASSERT_NE(shared, nullptr);
        ASSERT_EQ(r->BeginFrame(), 0);
        platform::dd::FailCall(call, DDERR_GENERIC);
        EXPECT_FALSE(Bind(a.Get()).texture);
        EXPECT_EQ(Entry(a.Get()), nullptr);
        EXPECT_EQ(shared->image, nullptr);
        EXPECT_EQ(shared->identityStamp, 0u);
        r->EndFrame();
        ExpectConsistent();
        ASSERT_EQ(r->BeginFrame(), 0);
        ASSERT_TRUE(Bind(a.Get()).texture);
        EXPECT_EQ(red(a.Get()), 5);
        r->EndFrame();
        ASSERT_EQ(r->BeginFrame(), 0);
        ASSERT_TRUE(Bind(b.Get()).texture);
        EXPECT_EQ(red(b.Get()), 200);
        r->EndFrame();
        ExpectConsistent();
    }
}

TEST_F(TextureTest, APaletteTheNewTextureRefusesLeavesNoEntryBehind) {
    ASSERT_TRUE(Start());
    SgRef<SgDDImage> image = Image(Palettised(16, 16, [](uint32_t x, uint32_t) { return x; }), 0);
    IDirectDrawSurface4* s = nullptr;
    ASSERT_TRUE(image->Realize(r.Get(), 0, &s));
    ASSERT_EQ(r->BeginFrame(), 0);
    platform::dd::FailCall("Surface::SetPalette", DDERR_GENERIC);
    // The first surface goes back; with nothing to evict the heap is emptied and the next try takes.
    ASSERT_TRUE(Bind(image.Get()).texture);
    EXPECT_EQ(r->GetTextureStatus(), 1u | 16u);
    EXPECT_EQ(m->textureCount, 1);
    ExpectConsistent();
    r->EndFrame();
    // A palette refused every time: no texture; the idle texture it tried to reuse is no one's.
    SgRef<SgDDImage> other = Image(Palettised(16, 16, [](uint32_t, uint32_t y) { return y; }), 0);
    ASSERT_TRUE(other->Realize(r.Get(), 0, &s));
    ASSERT_EQ(r->BeginFrame(), 0);
    platform::dd::FailCall("Surface::SetPalette", DDERR_GENERIC, -1);
    EXPECT_FALSE(Bind(other.Get()).texture);
    platform::dd::ResetDDraw();
    EXPECT_EQ(m->textureCount, 1);
    EXPECT_EQ(Entry(other.Get()), nullptr);
    EXPECT_NE(Entry(image.Get())->identityStamp, image->imageId);
    ExpectConsistent();
    // Both images get a texture of their own palette again once the device takes palettes.
    ASSERT_TRUE(Bind(image.Get()).texture);
    EXPECT_EQ(Entry(image.Get())->identityStamp, image->imageId);
    ASSERT_TRUE(Bind(other.Get()).texture);
    EXPECT_EQ(Entry(other.Get())->identityStamp, other->imageId);
    ExpectConsistent();
    r->EndFrame();
}

TEST_F(TextureTest, EvictionTakesTheLeastRecentlyBoundFirst) {
    ASSERT_TRUE(StartTight());
    // Different keys, so nothing can be reused: a and b of one size in two formats, c smaller.
    SgRef<SgDDImage> a = Solid(64, 64, 1), b = Solid(64, 64, 2, 1, 3), c = Solid(64, 64, 3, 0);
    Budget(TextureBytes(a.Get()) + TextureBytes(b.Get()));
    for (SgDDImage* image : {a.Get(), b.Get()}) {
        ASSERT_EQ(r->BeginFrame(), 0);
        ASSERT_TRUE(Bind(image).texture);
        r->EndFrame();
    }
    ASSERT_EQ(r->BeginFrame(), 0);
    ASSERT_TRUE(Bind(c.Get()).texture);
    EXPECT_EQ(r->GetTextureStatus(), 1u | 4u);
    EXPECT_EQ(Entry(a.Get()), nullptr);  // a went first
    EXPECT_NE(Entry(b.Get()), nullptr);
    r->EndFrame();
    ASSERT_EQ(r->BeginFrame(), 0);
    ASSERT_TRUE(Bind(a.Get()).texture);
    EXPECT_EQ(Entry(b.Get()), nullptr);  // then b
    EXPECT_NE(Entry(c.Get()), nullptr);
    r->EndFrame();
    ExpectConsistent();
}

TEST_F(TextureTest, APinnedTextureIsNeverEvictedOrReused) {
    ASSERT_TRUE(StartTight());
    SgRef<SgDDImage> pinned = Solid(64, 64, 1), other = Solid(64, 64, 2);
    Budget(TextureBytes(pinned.Get()));
    ASSERT_TRUE(r->PrecacheTexture(pinned.Get(), 1, 1, 0));
    SgTextureEntry* e = Entry(pinned.Get());
    ASSERT_NE(e, nullptr);
    EXPECT_TRUE(e->flags & SgTextureEntry::kPinned);
    EXPECT_EQ(m->textureCount, 0);  // pinned entries are not counted
    Frame();
    ASSERT_EQ(r->BeginFrame(), 0);
    Bound b = Bind(other.Get());
    EXPECT_FALSE(b.texture);
    EXPECT_TRUE(r->GetTextureStatus() & 32u);
    EXPECT_EQ(Entry(pinned.Get()), e);
    EXPECT_EQ(e->image, pinned.Get());
    r->EndFrame();
    // Only an image release or a release with pinned ones frees it.
    r->ReleaseAllTextures(0);
    EXPECT_EQ(Entry(pinned.Get()), e);
    r->ReleaseAllTextures(1);
    EXPECT_EQ(Entry(pinned.Get()), nullptr);
    ExpectConsistent();
}

TEST_F(TextureTest, WhenVideoMemoryIsFullTexturesGoToSystemMemory) {
    ASSERT_TRUE(Start());
    Budget(16);
    SgRef<SgDDImage> image = Solid(32, 32, 7);
    ASSERT_EQ(r->BeginFrame(), 0);
    ASSERT_TRUE(Bind(image.Get()).texture);
    EXPECT_TRUE(Said("VRAM Full - allocating texture in system memory\n"));
    EXPECT_TRUE(Desc(Entry(image.Get())->surface).ddsCaps.dwCaps & DDSCAPS_SYSTEMMEMORY);
    r->EndFrame();
    // Without system-memory texturing the bind finds no room at all.
    r = nullptr;
    renders.clear();
    SgD3DRender::ReleaseCurrent();
    EditProfile([](CapsProfile& p) { p.devCaps &= ~D3DDEVCAPS_TEXTURESYSTEMMEMORY; });
    ASSERT_TRUE(Start());
    Budget(16);
    SgRef<SgDDImage> second = Solid(32, 32, 7);
    ASSERT_EQ(r->BeginFrame(), 0);
    EXPECT_FALSE(Bind(second.Get()).texture);
    EXPECT_EQ(r->GetTextureStatus(), 1u | 16u | 32u);
    r->EndFrame();
}

TEST_F(TextureTest, ASquareOnlyDeviceStretchesThroughSystemMemory) {
    EditProfile([](CapsProfile& p) { p.textureCaps |= D3DPTEXTURECAPS_SQUAREONLY; });
    ASSERT_TRUE(Start());
    // Left half red, right half blue.
    SgRef<SgDDImage> image =
        Image(Raw(SgRawImageData::kRgb, 256, 64, [](uint32_t x, uint32_t) { return x < 128 ? 0x0000FFu : 0xFF0000u; }));
    ASSERT_EQ(r->BeginFrame(), 0);
    ASSERT_TRUE(Bind(image.Get()).texture);
    SgTextureEntry* e = Entry(image.Get());
    const DDSURFACEDESC2 d = Desc(e->surface);
    EXPECT_EQ(d.dwWidth, 64u);
    EXPECT_EQ(d.dwHeight, 64u);
    EXPECT_EQ(e->key & 0xFF, 6u | 6u << 4);
    std::vector<IDirectDrawSurface4*> levels = Levels(e->surface);
    ASSERT_EQ(levels.size(), 6u);
    for (IDirectDrawSurface4* level : {levels[0], levels[3]}) {
        const ddtest::Image img = ddtest::Capture(level);
        EXPECT_EQ(img.At(0, 0) & 0xFFFFFF, 0xFF0000u);
        EXPECT_EQ(img.At(img.width - 1, img.height - 1) & 0xFFFFFF, 0x0000FFu);
    }
    r->EndFrame();
}

TEST_F(TextureTest, AnImageLargerThanTheDeviceTakesTheFirstLevelThatFits) {
    EditProfile([](CapsProfile& p) {
        p.maxTextureWidth = 64;
        p.maxTextureHeight = 64;
    });
    ASSERT_TRUE(StartTight());
    SgRef<SgDDImage> mip = Solid(256, 128, 5), flat = Solid(256, 128, 5, 0);
    ASSERT_EQ(r->BeginFrame(), 0);
    ASSERT_TRUE(Bind(mip.Get()).texture);
    const DDSURFACEDESC2 d = Desc(Entry(mip.Get())->surface);
    EXPECT_EQ(d.dwWidth, 64u);
    EXPECT_EQ(d.dwHeight, 32u);
    // Without a chain the top level is all there is, and the device refuses it for good.
    EXPECT_FALSE(Bind(flat.Get()).texture);
    EXPECT_EQ(Entry(flat.Get()), m->Sentinel());
    // A stored reduction takes the mip chain further down.
    r->SetStoredValue(1);
    SgRef<SgDDImage> reduced = Solid(64, 64, 5);
    ASSERT_TRUE(Bind(reduced.Get()).texture);
    EXPECT_EQ(Desc(Entry(reduced.Get())->surface).dwWidth, 32u);
    // A reduction past every level takes the chain's last one (the shift stays below 16).
    r->SetStoredValue(40);
    SgRef<SgDDImage> tiny = Solid(64, 64, 6);
    ASSERT_TRUE(Bind(tiny.Get()).texture);
    EXPECT_EQ(Desc(Entry(tiny.Get())->surface).dwWidth, 2u);
    r->EndFrame();
}

TEST_F(TextureTest, AnImageThatCannotBeATextureGetsTheSentinel) {
    ASSERT_TRUE(Start());
    SgRef<SgDDImage> odd = Solid(96, 64, 1);
    ASSERT_EQ(r->BeginFrame(), 0);
    EXPECT_FALSE(Bind(odd.Get()).ok);
    EXPECT_EQ(Entry(odd.Get()), m->Sentinel());
    EXPECT_FALSE(r->PrecacheTexture(odd.Get(), 1, 0, 0));
    // A release forgets the sentinel, so the image is tried again.
    r->ReleaseTextures(odd.Get());
    EXPECT_EQ(Entry(odd.Get()), nullptr);
    SgRef<SgDDImage> missing(static_cast<SgDDImage*>(SgDDImage::CreateImage()));
    missing->SetFileName("no such texture.bmp");
    EXPECT_FALSE(Bind(missing.Get()).ok);
    EXPECT_TRUE(Said("Create Texture failed: image file not found or of invalid format\n"));
    EXPECT_EQ(Entry(missing.Get()), m->Sentinel());
    r->EndFrame();
}

TEST_F(TextureTest, ALostTextureIsUploadedAgainButPinnedOnesAreNotMarked) {
    ASSERT_TRUE(Start());
    SgRef<SgDDImage> image = Solid(16, 16, 0x00FF00), pinned = Solid(16, 16, 0x0000FF, 0);
    ASSERT_EQ(r->BeginFrame(), 0);
    ASSERT_TRUE(Bind(image.Get()).texture);
    ASSERT_TRUE(r->PrecacheTexture(pinned.Get(), 1, 1, 0));
    r->EndFrame();
    SgTextureEntry* e = Entry(image.Get());
    SgTextureEntry* p = Entry(pinned.Get());
    platform::dd::LoseAllSurfaces();
    ASSERT_EQ(r->BeginFrame(), 0);
    EXPECT_EQ(e->contentStamp, 0xFFFFFFFFu);
    EXPECT_EQ(p->contentStamp, pinned->contentStamp);
    EXPECT_EQ(Desc(e->surface).dwWidth, 16u);
    Bound b = Bind(image.Get());
    EXPECT_TRUE(b.texture);
    EXPECT_EQ(e->contentStamp, image->contentStamp);
    EXPECT_EQ(ddtest::Capture(e->surface).At(3, 3) & 0xFFFFFF, 0x00FF00u);
    r->EndFrame();
}

TEST_F(TextureTest, NewPixelsReachTheTextureAtTheNextBind) {
    ASSERT_TRUE(Start());
    SgRef<SgDDImage> image = Solid(16, 16, 0x00FF00);
    ASSERT_EQ(r->BeginFrame(), 0);
    ASSERT_TRUE(Bind(image.Get()).texture);
    SgTextureEntry* e = Entry(image.Get());
    image->RawData()->Row(2)[3 * 2] = 0xFF;
    image->MarkDirty();
    ASSERT_TRUE(Bind(image.Get()).texture);
    EXPECT_EQ(Entry(image.Get()), e);
    EXPECT_EQ(ddtest::Capture(e->surface).At(2, 2) & 0xFFFFFF, 0xFFFF00u);
    r->EndFrame();
}

TEST_F(TextureTest, ASurfaceTheDeviceRefusesNeitherEvictsNorEmptiesTheHeap) {
    ASSERT_TRUE(Start());
    SgRef<SgDDImage> resident = Solid(16, 16, 1), refused = Solid(16, 16, 2, 1, 4);
    ASSERT_EQ(r->BeginFrame(), 0);
    ASSERT_TRUE(Bind(resident.Get()).texture);
    IDirectDrawSurface4* s = nullptr;
    ASSERT_TRUE(refused->Realize(r.Get(), 0, &s));
    r->EndFrame();
    ASSERT_EQ(r->BeginFrame(), 0);
    platform::dd::FailCall("DirectDraw::CreateSurface", DDERR_INVALIDPIXELFORMAT, -1);
    EXPECT_FALSE(Bind(refused.Get()).texture);
    platform::dd::ResetDDraw();
    EXPECT_EQ(Entry(refused.Get()), m->Sentinel());
    EXPECT_NE(Entry(resident.Get()), nullptr);
    EXPECT_EQ(r->GetTextureStatus(), 1u | 32u);
    // Never asked again.
    EXPECT_FALSE(Bind(refused.Get()).texture);
    r->EndFrame();
    ExpectConsistent();
}

TEST_F(TextureTest, FailuresAfterTheEntryIsMadeLeaveNoTraceAndRoomIsMade) {
    struct Case {
        const char* call;
        const char* message;
    };
    const Case cases[] = {
        {"Surface::SetColorKey", nullptr},
        {"QueryInterface:IDirect3DTexture2", "Query destination texture surface failed"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(Start());
        SgRef<SgDDImage> old = Solid(16, 16, 1), image = Solid(16, 16, 2, 1, 4);
        ASSERT_EQ(r->BeginFrame(), 0);
        ASSERT_TRUE(Bind(old.Get()).texture);
        IDirectDrawSurface4* s = nullptr;
        ASSERT_TRUE(image->Realize(r.Get(), 0, &s));
        r->EndFrame();
        const uint64_t used = platform::dd::VideoMemoryUsed();
        ASSERT_EQ(r->BeginFrame(), 0);
        platform::dd::FailCall(c.call, DDERR_GENERIC);
        // The failed surface is released and its entry unlinked; eviction of the old one follows.
        ASSERT_TRUE(Bind(image.Get()).texture) << c.call;
        EXPECT_EQ(r->GetTextureStatus(), 1u | 4u) << c.call;
        EXPECT_EQ(Entry(old.Get()), nullptr) << c.call;
        EXPECT_EQ(m->textureCount, 1) << c.call;
        EXPECT_LE(platform::dd::VideoMemoryUsed(), used) << c.call;
        if (c.message)
            EXPECT_TRUE(Said(c.message));
        ExpectConsistent();
        r->EndFrame();
        r->ReleaseAllTextures(1);
        EXPECT_EQ(m->textureCount, 0);
        EXPECT_EQ(m->HeapAt(0)->memory, 0);
        r = nullptr;
        renders.clear();
        SgD3DRender::ReleaseCurrent();
    }
}

TEST_F(TextureTest, TwoHeapsWhenTheDeviceHasSeparateTextureMemories) {
    EditProfile([](CapsProfile& p) { p.devCaps |= D3DDEVCAPS_SEPARATETEXTUREMEMORIES; });
    ASSERT_TRUE(Start());
    ASSERT_TRUE(m->TwoHeaps());
    SgRef<SgDDImage> a = Solid(16, 16, 1), b = Solid(16, 16, 2), c = Solid(32, 32, 3);
    ASSERT_EQ(r->BeginFrame(), 0);
    ASSERT_TRUE(Bind(a.Get(), 1).texture);
    EXPECT_NE(Entry(a.Get(), 1), nullptr);
    EXPECT_EQ(Entry(a.Get(), 0), nullptr);
    EXPECT_EQ(Desc(Entry(a.Get(), 1)->surface).dwTextureStage, 1u);
    // Stage -1 goes where the image already is, else to the emptier heap.
    ASSERT_TRUE(Bind(a.Get(), -1).texture);
    EXPECT_EQ(Entry(a.Get(), 0), nullptr);
    ASSERT_TRUE(Bind(b.Get(), -1).texture);
    EXPECT_NE(Entry(b.Get(), 0), nullptr);
    ASSERT_TRUE(Bind(c.Get(), -1).texture);
    EXPECT_NE(Entry(c.Get(), 1), nullptr);
    r->EndFrame();
    r = nullptr;
    renders.clear();
    SgD3DRender::ReleaseCurrent();
    ASSERT_TRUE(Start(11 | 0x100));
    EXPECT_FALSE(m->TwoHeaps());
}

TEST_F(TextureTest, AGoneManagerLeavesNoEntryInAnyImage) {
    ASSERT_TRUE(Start());
    SgRef<SgDDImage> image = Solid(16, 16, 1);
    ASSERT_EQ(r->BeginFrame(), 0);
    ASSERT_TRUE(Bind(image.Get()).texture);
    r->EndFrame();
    const uint32_t key = m->Key(0);
    holder = nullptr;
    r = nullptr;
    renders.clear();
    SgD3DRender::ReleaseCurrent();
    EXPECT_EQ(image->TextureEntry(key), nullptr);
    // Every renderer draws from the one shared manager; it lives while a device uses it.
    ASSERT_TRUE(Start());
    SgRef<SgD3DRender> second = Open(Params(0, 11));
    ASSERT_TRUE(second);
    ASSERT_EQ(second->Driver()->textureManager, m);
    EXPECT_EQ(SharedTextureManager(), m);
    EXPECT_EQ(m->users, 2);
    ASSERT_EQ(second->BeginFrame(), 0);
    ASSERT_TRUE(Bind(image.Get()).texture);
    second->EndFrame();
    EXPECT_EQ(m->Renderer(), second.Get());
    // The second device closes: the manager lets go of its textures and of that renderer.
    holder = nullptr;
    const SgD3DRender* gone = second.Get();
    second = nullptr;
    renders.pop_back();
    EXPECT_EQ(SharedTextureManager(), m);
    EXPECT_EQ(m->users, 1);
    EXPECT_EQ(Entry(image.Get()), nullptr);
    EXPECT_EQ(m->Renderer(), nullptr);
    EXPECT_NE(m->Renderer(), gone);
    ASSERT_EQ(r->BeginFrame(), 0);
    ASSERT_TRUE(Bind(image.Get()).texture);
    r->EndFrame();
    const uint32_t sharedKey = m->Key(0);
    holder = nullptr;
    r = nullptr;
    renders.clear();
    SgD3DRender::ReleaseCurrent();
    EXPECT_EQ(SharedTextureManager(), nullptr);
    EXPECT_EQ(image->TextureEntry(sharedKey), nullptr);
}

}  // namespace
