// Opening a renderer: the shared DirectDraw environment, the card table, the device attempts and
// their fallbacks, buffer sets, parameter checks and palette files.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "engine/render/sg_dd_environment.h"
#include "engine/render/sg_dd_image.h"
#include "engine/render/sg_render_debug.h"
#include "tests/support/render/render_fixture.h"
#include "tests/support/temp_dir.h"

namespace {

using platform::dd::CapsProfile;
using platform::dd::GetCapsProfile;
using platform::dd::SetCapsProfile;

constexpr const char* kAttemptHw = "Render create message: Attempting to open HW device";
constexpr const char* kFailedHw = "Render create message: Attempt to open HW device failed";
constexpr const char* kAttemptMmx = "Render create message: Attempting to open MMX device";
constexpr const char* kAttemptRgb = "Render create message: Attempting to open RGB device";
constexpr const char* kSucceeded = "Render create message: Device open succeeded";

class RenderOpenTest : public RenderTest {
protected:
    void Profile(const std::function<void(CapsProfile&)>& edit) {
        CapsProfile p = GetCapsProfile();
        edit(p);
        SetCapsProfile(p);
    }
    // The attempt messages in the order they were written.
    std::vector<std::string> Attempts() const {
        std::vector<std::string> out;
        for (const std::string& m : messages)
            if (m.find("Attempt") != std::string::npos || m == kSucceeded)
                out.push_back(m);
        return out;
    }
};

struct OpenCase {
    const char* name;
    bool softwareOnly;
    uint32_t mode;
    const char* device;
    bool flipping;
};

class RenderOpenProfileTest : public RenderOpenTest, public testing::WithParamInterface<OpenCase> {};

TEST_P(RenderOpenProfileTest, OpensTheDeviceTheProfileOffers) {
    const OpenCase& c = GetParam();
    if (c.softwareOnly)
        SetCapsProfile(platform::dd::SoftwareOnlyCapsProfile());
    SgRef<SgD3DRender> r = Open(Params(c.mode, 11));
    ASSERT_TRUE(r) << RenderLastFailure();
    EXPECT_EQ(SgD3DRender::Current(), r.Get());
    EXPECT_EQ(std::string(r->GetDeviceName()), std::string(c.device));
    EXPECT_EQ(r->GetTargetWidth(), 800u);
    EXPECT_EQ(r->GetTargetHeight(), 600u);
    SgRenderBuffers* b = r->Driver()->buffers;
    EXPECT_EQ((b->flags & SgRenderBuffers::kFlipping) != 0, c.flipping);
    EXPECT_EQ((b->flags & SgRenderBuffers::kWindowed) != 0, c.mode == 0);
    EXPECT_TRUE(b->zbuffer);
    EXPECT_EQ(r->GetBufferByKind(1), b->backImage.Get());
    ASSERT_TRUE(r->GetBufferByKind(2));
    EXPECT_EQ(static_cast<SgDDBufferImage*>(r->GetBufferByKind(2))->Surface(), b->front);
    // The information flags: always bit 2; hardware bit 3 only for the hardware device.
    EXPECT_TRUE(r->GetDriverInfo() & 4);
    EXPECT_EQ((r->GetDriverInfo() & 8) != 0, !c.softwareOnly);
    EXPECT_TRUE(Said(kSucceeded));
    // The vertex buffers are write-only, in system memory for a software device only.
    IDirect3DVertexBuffer* buffer = r->Driver()->batch.CurrentBuffer();
    ASSERT_TRUE(buffer);
    D3DVERTEXBUFFERDESC desc{};
    desc.dwSize = sizeof(desc);
    ASSERT_EQ(buffer->GetVertexBufferDesc(&desc), D3D_OK);
    EXPECT_EQ(desc.dwCaps, D3DVBCAPS_WRITEONLY | (c.softwareOnly ? D3DVBCAPS_SYSTEMMEMORY : 0u));
    EXPECT_EQ(desc.dwFVF, 0x1C4u);
}

INSTANTIATE_TEST_SUITE_P(Profiles, RenderOpenProfileTest,
                         testing::Values(OpenCase{"HardwareWindowed", false, 0, "Quorrin Display: HW: DrawPrimitive", false},
                                         OpenCase{"HardwareFullScreen", false, 1, "Quorrin Display: HW: DrawPrimitive", true},
                                         OpenCase{"SoftwareWindowed", true, 0, "Quorrin Display: MMX SW: DrawPrimitive", false},
                                         OpenCase{"SoftwareFullScreen", true, 1, "Quorrin Display: MMX SW: DrawPrimitive", true}),
                         [](const testing::TestParamInfo<OpenCase>& i) { return std::string(i.param.name); });

TEST_F(RenderOpenTest, WithoutHardware3DTheMmxDeviceIsTriedFirst) {
    SetCapsProfile(platform::dd::SoftwareOnlyCapsProfile());
    ASSERT_TRUE(Open(Params(0, 11)));
    EXPECT_EQ(Attempts(), (std::vector<std::string>{kAttemptMmx, kSucceeded}));
    EXPECT_TRUE(Said("Hardware DirectDraw has no 3D capabilities\n"));
    EXPECT_TRUE(Said("Using DirectDraw software\n"));
}

TEST_F(RenderOpenTest, AHardwareDeviceThatCannotBeCreatedLeadsToTheMmxDevice) {
    Profile([](CapsProfile& p) { p.failingDevices = {IID_IDirect3DHALDevice}; });
    SgRef<SgD3DRender> r = Open(Params(1, 11));
    ASSERT_TRUE(r) << RenderLastFailure();
    EXPECT_EQ(Attempts(), (std::vector<std::string>{kAttemptHw, kFailedHw, kAttemptMmx, kSucceeded}));
    EXPECT_STREQ(r->GetDeviceName(), "Quorrin Display: MMX SW: DrawPrimitive");
    // The software device draws into the flipping chain's back buffer, which the failed attempt
    // made again.
    EXPECT_TRUE(r->Driver()->buffers->flags & SgRenderBuffers::kFlipping);
}

TEST_F(RenderOpenTest, AHardwareDeviceFailingTheCapsCheckSkipsTheMmxDevice) {
    Profile([](CapsProfile& p) {
        p.editDevice = [](const GUID& device, D3DDEVICEDESC& d) {
            if (device == IID_IDirect3DHALDevice)
                d.dpcTriCaps.dwTextureCaps &= ~D3DPTEXTURECAPS_PERSPECTIVE;
        };
    });
    SgRef<SgD3DRender> r = Open(Params(0, 11));
    ASSERT_TRUE(r);
    EXPECT_EQ(Attempts(), (std::vector<std::string>{kAttemptHw, kAttemptRgb, kSucceeded}));
    EXPECT_STREQ(r->GetDeviceName(), "Quorrin Display: RGB SW: DrawPrimitive");
    EXPECT_STREQ(RenderLastFailure(), "Render create failed: Device does not support perspective-correct textures");
}

TEST_F(RenderOpenTest, NoDeviceLeavesNoRendererAndSaysSo) {
    Profile([](CapsProfile& p) {
        p.failingDevices = {IID_IDirect3DHALDevice, IID_IDirect3DMMXDevice, IID_IDirect3DRGBDevice};
    });
    EXPECT_FALSE(Open(Params(0, 11)));
    EXPECT_EQ(SgD3DRender::Current(), nullptr);
    EXPECT_STREQ(RenderLastFailure(), "Render create failed: no 3D device could be created");
    EXPECT_EQ(Attempts().size(), 6u);
}

struct FailCase {
    const char* name;
    std::function<void(CapsProfile&)> profile;
    std::function<void(SgRenderCreateParams&)> params;
    const char* failure;
};

class RenderOpenFailureTest : public RenderOpenTest, public testing::WithParamInterface<FailCase> {};

TEST_P(RenderOpenFailureTest, FailsWithItsMessage) {
    const FailCase& c = GetParam();
    if (c.profile)
        Profile(c.profile);
    SgRenderCreateParams p = Params(1, 11);
    c.params(p);
    EXPECT_FALSE(Open(p));
    EXPECT_EQ(SgD3DRender::Current(), nullptr);
    EXPECT_STREQ(RenderLastFailure(), c.failure);
}

SgDDBufferImage* const kSomeImage = reinterpret_cast<SgDDBufferImage*>(16);

INSTANTIATE_TEST_SUITE_P(
    Failures, RenderOpenFailureTest,
    testing::Values(
        FailCase{"TwentyFourBitDesktop", [](CapsProfile& p) { p.desktop.bitsPerPixel = 24; },
                 [](SgRenderCreateParams& p) { p = SgRenderCreateParams{p.window, nullptr, 11, 0, 0, 0}; },
                 "Render create failed: Windowed mode must be 8, 16 or 32 bits"},
        FailCase{"MissingMode", nullptr, [](SgRenderCreateParams& p) { p.height = 400; },
                 "Render create failed: desired fullscreen display mode not supported"},
        FailCase{"FullScreenWithSizeAndImage", nullptr, [](SgRenderCreateParams& p) { p.frontImage = kSomeImage; },
                 "Render create failed: invalid parameter set for Fullscreen renderer"},
        FailCase{"FullScreenWithoutSize", nullptr, [](SgRenderCreateParams& p) { p.width = 0; },
                 "Render create failed: invalid parameter set for Fullscreen renderer"},
        FailCase{"WindowedWithoutWindow", nullptr,
                 [](SgRenderCreateParams& p) {
                     p.mode = 0;
                     p.window = nullptr;
                 },
                 "Render create failed: invalid parameter set for Windowed renderer"},
        FailCase{"ModeOutsideZeroToTwo", nullptr, [](SgRenderCreateParams& p) { p.mode = 3; },
                 "Render create failed: invalid renderer mode"},
        FailCase{"OffscreenFirst", nullptr, [](SgRenderCreateParams& p) { p.mode = 2; },
                 "Offscreen render create failed: Must create onscreen renderer first"}),
    [](const testing::TestParamInfo<FailCase>& i) { return std::string(i.param.name); });

TEST_F(RenderOpenTest, AMissingModeLeavesTheCooperativeLevelNormal) {
    SgRenderCreateParams p = Params(1, 11);
    p.height = 400;
    ASSERT_FALSE(Open(p));
    // Normal level: a windowed renderer opens on the same DirectDraw object.
    EXPECT_TRUE(Open(Params(0, 11)));
}

TEST_F(RenderOpenTest, ASecondRendererSharesTheEnvironmentAndIsNotCurrent) {
    SgRef<SgD3DRender> first = Open(Params(0, 11));
    ASSERT_TRUE(first);
    SgDDEnvironment* env = SgCurrentDDEnvironment();
    SgRef<SgD3DRender> second = Open(Params(0, 11));
    ASSERT_TRUE(second);
    EXPECT_EQ(SgD3DRender::Current(), first.Get());
    EXPECT_EQ(SgCurrentDDEnvironment(), env);
    EXPECT_EQ(second->Driver()->buffers->environment, env);
    EXPECT_EQ(env->useCount, 3u);
    EXPECT_GT(second->Serial(), first->Serial());
    EXPECT_STREQ(env->driverDescription, "Quorrin Display");
}

TEST_F(RenderOpenTest, UsePrimaryChoosesTheDriverWithoutGuidAndFullScreenHardwareTheOther) {
    Profile([](CapsProfile& p) {
        platform::dd::DriverProfile second = p.drivers[0];
        second.hasGuid = true;
        second.guid = GUID{0x1234, 1, 2, {1, 2, 3, 4, 5, 6, 7, 8}};
        second.description = "Second Card";
        p.drivers.push_back(second);
    });
    const std::vector<SgDriverListEntry*>* list = nullptr;
    {
        ASSERT_TRUE(Open(Params(1, 11)));
        list = &SgDriverList();
        ASSERT_EQ(list->size(), 2u);
        EXPECT_FALSE((*list)[0]->hasGuid);
        EXPECT_TRUE((*list)[0]->canRenderWindowed);
        EXPECT_FALSE((*list)[1]->canRenderWindowed);
        EXPECT_TRUE((*list)[0]->HasMode(800, 600, 16));
        EXPECT_STREQ(SgCurrentDDEnvironment()->driverDescription, "Second Card");
    }
}

struct CardCase {
    uint32_t vendor, chipset;
    uint32_t card, offscreenMode;
    const char* line;  // the message written, or null for the unidentified pair
    bool kept;
};

class RenderCardTest : public RenderOpenTest, public testing::WithParamInterface<CardCase> {};

TEST_P(RenderCardTest, IdentifiesTheCardByVendorAndChipset) {
    const CardCase& c = GetParam();
    Profile([&](CapsProfile& p) {
        p.drivers[0].vendorId = c.vendor;
        p.drivers[0].deviceId = c.chipset;
        p.drivers[0].description = "Board";
    });
    RenderDebugOut("before", true);
    ASSERT_TRUE(Open(Params(0, 11)));
    const SgCardInfo& card = SgCurrentDDEnvironment()->card;
    EXPECT_EQ(card.vendorId, c.vendor);
    EXPECT_EQ(card.chipsetId, c.chipset);
    EXPECT_EQ(card.cardNumber, c.card);
    EXPECT_EQ(card.offscreenMode, c.offscreenMode);
    if (c.line) {
        EXPECT_TRUE(Said(std::string("Render create message: 3D hardware is ") + c.line));
        EXPECT_FALSE(Said("Render create message: 3D Hardware card could not     be identified by Vendor/Chipset ID"));
    } else {
        EXPECT_TRUE(Said("Render create message: 3D Hardware card could not     be identified by Vendor/Chipset ID"));
        char info[200];
        std::snprintf(info, sizeof(info),
                      "Render create message: Card information:\n\t\tCard name: Board\n\t\tVendor:0x%08x\n\t\tChipset:0x%08x",
                      c.vendor, c.chipset);
        EXPECT_TRUE(Said(info));
    }
    const std::string kept = c.kept ? std::string("Render create message: 3D hardware is ") + c.line : "before";
    EXPECT_EQ(std::string(RenderLastFailure()), kept);
}

INSTANTIATE_TEST_SUITE_P(Cards, RenderCardTest,
                         testing::Values(CardCase{0x121A, 1, 1, 3, "3dfx Voodoo", false},
                                         CardCase{0x121A, 2, 3, 3, "3dfx Voodoo2", false},
                                         CardCase{0x121A, 3, 4, 3, "3dfx Voodoo Banshee", false},
                                         CardCase{0x121A, 4, 0, 0, nullptr, false},
                                         CardCase{0x121A, 5, 5, 3, "3dfx Voodoo3", false},
                                         CardCase{0x1142, 0x643D, 2, 3, "3dfx Voodoo Rush (Alliance design)", false},
                                         CardCase{0x10D9, 0x8626, 2, 3, "3dfx Voodoo Rush (Macronix design)", false},
                                         CardCase{0x10DE, 0x20, 13, 2, "nVidia TNT", false},
                                         CardCase{0x10DE, 0x28, 14, 2, "nVidia TNT2", false},
                                         CardCase{0x10DE, 0x2C, 14, 2, "nVidia TNT2", false},
                                         CardCase{0x10DE, 0x2F, 14, 2, "nVidia TNT2", false},
                                         CardCase{0x10DE, 0x30, 0, 0, nullptr, false},
                                         CardCase{0x12D2, 0x18, 12, 2, "nVidia RIVA 128, false", true},
                                         CardCase{0x12D2, 0x19, 12, 2, "nVidia RIVA 128, false", true},
                                         CardCase{0x12D2, 0x1A, 0, 0, nullptr, false},
                                         CardCase{0x5333, 0x8A20, 16, 4, "S3 Savage3D", false},
                                         CardCase{0x105D, 0x493D, 11, 0, "Number9 Revolution 3D, false", true},
                                         CardCase{0x104C, 0x3D07, 6, 4, "3DLabs PERMEDIA2", false},
                                         CardCase{0x102B, 0x51A, 9, 4, "Matrox Mystique", false},
                                         CardCase{0x102B, 0x521, 10, 4, "Matrox Millenium G200", false},
                                         CardCase{0x1002, 0x4742, 7, 2, "ATI RAGE Pro", false},
                                         CardCase{0x1002, 0x5246, 8, 2, "ATI RAGE Pro", false},
                                         CardCase{0x3D, 0xD1, 15, 4, "Real3D StarFighter", false}));

TEST_F(RenderOpenTest, TheOverrideReplacesTheRecommendedOffscreenMode) {
    Profile([](CapsProfile& p) {
        p.drivers[0].vendorId = 0x10DE;
        p.drivers[0].deviceId = 0x20;
    });
    SetRecommendedOffscreenMode(4);
    ASSERT_TRUE(Open(Params(0, 11)));
    EXPECT_EQ(SgCurrentDDEnvironment()->card.offscreenMode, 4u);
    EXPECT_EQ(SgCurrentDDEnvironment()->card.cardNumber, 13u);
}

// ---- Offscreen renderers ----

struct OffscreenCase {
    uint32_t layout;
    bool opens;
    uint32_t flags;
};

class RenderOffscreenTest : public RenderOpenTest, public testing::WithParamInterface<OffscreenCase> {};

TEST_P(RenderOffscreenTest, BuildsTheRecommendedLayout) {
    const OffscreenCase& c = GetParam();
    SgRef<SgD3DRender> onscreen = Open(Params(0, 11));
    ASSERT_TRUE(onscreen);
    SgRenderBuffers* onscreenBuffers = onscreen->Driver()->buffers;
    SetRecommendedOffscreenMode(c.layout);
    SgRenderCreateParams p = Params(2, 11);
    p.width = 128;
    p.height = 64;
    SgRef<SgD3DRender> off = Open(p);
    ASSERT_EQ(static_cast<bool>(off), c.opens) << RenderLastFailure();
    // The onscreen renderer's buffers stay the current set.
    EXPECT_EQ(SgCurrentDDEnvironment()->currentBuffers, onscreenBuffers);
    if (!off)
        return;
    SgRenderBuffers* b = off->Driver()->buffers;
    EXPECT_EQ(b->flags & 0x1E, c.flags);
    EXPECT_EQ(SgD3DRender::Current(), onscreen.Get());
    if (c.layout == 2 || c.layout == 3)
        EXPECT_EQ(b->back, onscreenBuffers->back);  // shares the onscreen back surface
    EXPECT_EQ(b->intermediate != nullptr, c.layout == 3);
    // Offscreen renderers are never presented through a flip of their own here.
    EXPECT_EQ(off->PresentFrame(), 0);
}

INSTANTIATE_TEST_SUITE_P(Layouts, RenderOffscreenTest,
                         testing::Values(OffscreenCase{1, true, SgRenderBuffers::kFlipping | SgRenderBuffers::kOffscreen},
                                         OffscreenCase{2, true, SgRenderBuffers::kOffscreen},
                                         OffscreenCase{3, true, SgRenderBuffers::kOffscreen},
                                         OffscreenCase{4, true,
                                                       SgRenderBuffers::kOffscreen | SgRenderBuffers::kNeverPresented}));

TEST_F(RenderOpenTest, AnOffscreenRendererNeedsAnOnscreenOneAndALayout) {
    SgRenderCreateParams p = Params(2, 11);
    p.width = 64;
    p.height = 64;
    EXPECT_FALSE(Open(p));
    EXPECT_TRUE(Said("Offscreen render create failed: Must create onscreen renderer first"));
    ASSERT_TRUE(Open(Params(0, 11)));
    messages.clear();
    EXPECT_FALSE(Open(p));  // an unidentified card recommends no layout
    EXPECT_STREQ(RenderLastFailure(), "Offscreen Render create failed: device cannot support offscreen renderers");
    EXPECT_TRUE(Said("Offscreen Render create failed: HW device was unidentified - try overriding "
                     "SetRecommendedOffscreenMode: "));
}

// ---- Full screen over the game's own surfaces ----

// The game may open its own exclusive DirectDraw object and hand the renderer a front and a back
// surface as images: the renderer shares that DirectDraw object, takes the front surface as the
// environment's primary and sizes itself from the back surface. When the two are one flipping
// chain a presented frame is flipped to the front; a separate back surface is copied there (with
// no window there is nowhere else to place it).
class RenderSuppliedImagesTest : public RenderOpenTest, public testing::WithParamInterface<bool> {};

TEST_P(RenderSuppliedImagesTest, FullScreenOverTheGamesOwnFrontAndBack) {
    const bool chain = GetParam();
    IDirectDraw* first = nullptr;
    ASSERT_EQ(DirectDrawCreate(nullptr, &first, nullptr), DD_OK);
    IDirectDraw4* directDraw = nullptr;
    ASSERT_EQ(first->QueryInterface(IID_IDirectDraw4, reinterpret_cast<void**>(&directDraw)), DD_OK);
    first->Release();
    ASSERT_EQ(directDraw->SetCooperativeLevel(window, DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE), DD_OK);
    ASSERT_EQ(directDraw->SetDisplayMode(640, 480, 16, 0, 0), DD_OK);
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof(d);
    d.dwFlags = DDSD_CAPS;
    d.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_3DDEVICE;
    if (chain) {
        d.dwFlags |= DDSD_BACKBUFFERCOUNT;
        d.dwBackBufferCount = 1;
        d.ddsCaps.dwCaps |= DDSCAPS_FLIP | DDSCAPS_COMPLEX;
    }
    IDirectDrawSurface4* front = nullptr;
    IDirectDrawSurface4* back = nullptr;
    ASSERT_EQ(directDraw->CreateSurface(&d, &front, nullptr), DD_OK);
    if (chain) {
        DDSCAPS2 caps{DDSCAPS_BACKBUFFER, 0, 0, 0};
        ASSERT_EQ(front->GetAttachedSurface(&caps, &back), DD_OK);
    } else {
        DDSURFACEDESC2 b{};
        b.dwSize = sizeof(b);
        b.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
        b.dwWidth = 640;
        b.dwHeight = 480;
        b.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE | DDSCAPS_SYSTEMMEMORY;
        ASSERT_EQ(directDraw->CreateSurface(&b, &back, nullptr), DD_OK);
    }
    SgDDImage::SetDirectDraw(directDraw);
    directDraw->Release();
    SgRef<SgDDBufferImage> frontImage = SgDDBufferImage::Create(front);
    SgRef<SgDDBufferImage> backImage = SgDDBufferImage::Create(back);
    front->Release();
    back->Release();

    SgRenderCreateParams p = Params(1, 11);
    p.width = p.height = 0;
    p.frontImage = frontImage.Get();
    p.backImage = backImage.Get();
    SgRef<SgD3DRender> r = Open(p);
    ASSERT_TRUE(r) << RenderLastFailure();
    SgRenderBuffers* b = r->Driver()->buffers;
    EXPECT_EQ(SgCurrentDDEnvironment()->directDraw, directDraw);
    EXPECT_EQ(SgCurrentDDEnvironment()->primarySurface, front);
    EXPECT_EQ(b->front, front);
    EXPECT_EQ(b->back, back);
    EXPECT_EQ(b->flags & SgRenderBuffers::kWindowed, 0u);
    EXPECT_EQ(r->GetTargetWidth(), 640u);
    EXPECT_EQ(r->GetTargetHeight(), 480u);
    EXPECT_EQ(r->GetBufferByKind(1), backImage.Get());
    EXPECT_TRUE(b->zbuffer);

    // A frame (raw 5-6-5 red) reaches the front surface when presented; a flip leaves the old
    // front (black) in the back surface, a copy leaves the frame there.
    ddtest::FillSurface(front, [](int, int) { return 0u; });
    ddtest::FillSurface(back, [](int, int) { return 0xF800u; });
    EXPECT_EQ(r->PresentFrame(), 0);
    EXPECT_GT(ddtest::Red(ddtest::Capture(front).At(320, 240)), 240);
    EXPECT_GT(ddtest::Red(ddtest::Capture(front).At(639, 479)), 240);
    EXPECT_EQ(ddtest::Red(ddtest::Capture(back).At(320, 240)) > 240, !chain);
    EXPECT_EQ(b->flipPending, chain ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Surfaces, RenderSuppliedImagesTest, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& i) {
                             return std::string(i.param ? "FlippingChain" : "SeparateBack");
                         });

// Layouts 2 and 3 draw into the current onscreen buffer set's back surface: when the environment
// has no current set, or one without a back surface, the offscreen open fails with the offscreen
// message instead of sharing nothing.
struct SharedBackCase {
    const char* name;
    uint32_t layout;
    bool keepSet;  // the set stays current but loses its back surface
};

class RenderOffscreenSharedBackTest : public RenderOpenTest, public testing::WithParamInterface<SharedBackCase> {};

TEST_P(RenderOffscreenSharedBackTest, FailsWithTheOffscreenMessage) {
    const SharedBackCase& c = GetParam();
    ASSERT_TRUE(Open(Params(0, 11)));
    SgDDEnvironment* env = SgCurrentDDEnvironment();
    SgRenderBuffers* const current = env->currentBuffers;
    ASSERT_TRUE(current && current->back);
    IDirectDrawSurface4* const back = current->back;
    if (c.keepSet)
        current->back = nullptr;
    else
        env->currentBuffers = nullptr;
    SetRecommendedOffscreenMode(c.layout);
    SgRenderCreateParams p = Params(2, 11);
    p.width = 64;
    p.height = 32;
    messages.clear();
    EXPECT_FALSE(Open(p));
    EXPECT_STREQ(RenderLastFailure(), "Offscreen render create failed: Must create onscreen renderer first");
    EXPECT_TRUE(Said("Offscreen render create failed: Must create onscreen renderer first"));
    current->back = back;
    env->currentBuffers = current;
    // With the set back in place the same layout opens.
    EXPECT_TRUE(Open(p)) << RenderLastFailure();
}

INSTANTIATE_TEST_SUITE_P(Layouts, RenderOffscreenSharedBackTest,
                         testing::Values(SharedBackCase{"TwoWithoutSet", 2, false},
                                         SharedBackCase{"ThreeWithoutSet", 3, false},
                                         SharedBackCase{"TwoWithoutBack", 2, true},
                                         SharedBackCase{"ThreeWithoutBack", 3, true}),
                         [](const testing::TestParamInfo<SharedBackCase>& i) { return std::string(i.param.name); });

// ---- Palettes ----

class RenderPaletteTest : public RenderOpenTest {
protected:
    std::string Write(const char* name, const std::vector<uint8_t>& bytes) {
        const std::string path = dir.Path() + "/" + name;
        std::FILE* f = std::fopen(path.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        return path;
    }
    // An 8-bit BMP: file header, information header of headerSize bytes, colour table of
    // tableEntries quads (entry i = blue i, green 255 - i, red i / 2), no pixels.
    static std::vector<uint8_t> Bmp(uint32_t headerSize, uint32_t bits, uint32_t used, uint32_t tableEntries) {
        std::vector<uint8_t> b = {'B', 'M'};
        b.resize(14 + headerSize);
        auto put32 = [&](size_t at, uint32_t v) {
            for (int k = 0; k < 4; ++k)
                b[at + k] = static_cast<uint8_t>(v >> (8 * k));
        };
        put32(14, headerSize);
        b[14 + 14] = static_cast<uint8_t>(bits);
        put32(14 + 32, used);
        for (uint32_t i = 0; i < tableEntries; ++i) {
            b.push_back(static_cast<uint8_t>(i));
            b.push_back(static_cast<uint8_t>(255 - i));
            b.push_back(static_cast<uint8_t>(i / 2));
            b.push_back(0);
        }
        return b;
    }
    TempDir dir;
};

TEST_F(RenderPaletteTest, FilesAreReadOrRefused) {
    std::vector<uint8_t> raw(768);
    for (size_t i = 0; i < raw.size(); ++i)
        raw[i] = static_cast<uint8_t>(i * 7);
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        int result;
    };
    const Case cases[] = {
        {"pal.raw", raw, 0},
        {"short.raw", std::vector<uint8_t>(700), 11},
        {"pal.bmp", Bmp(40, 8, 0, 256), 0},
        {"all.bmp", Bmp(40, 8, 256, 256), 0},
        {"SIXTEEN.BMP", Bmp(40, 8, 16, 256), 11},
        {"four.bmp", Bmp(40, 4, 0, 256), 11},
        {"shorttable.bmp", Bmp(40, 8, 0, 200), 11},
        {"v4.bmp", Bmp(108, 8, 0, 256), 0},
        {"notbm.bmp", std::vector<uint8_t>(2000, 'X'), 11},
    };
    for (const Case& c : cases) {
        PALETTEENTRY entries[256] = {};
        EXPECT_EQ(LoadPaletteFile(Write(c.name, c.bytes).c_str(), entries), c.result) << c.name;
        if (c.result != 0)
            continue;
        if (std::string(c.name).find(".raw") != std::string::npos) {
            EXPECT_EQ(entries[1].peRed, raw[3]);
            EXPECT_EQ(entries[255].peBlue, raw[767]);
        } else {
            // Red, green, blue from the quad's third, second and first bytes.
            EXPECT_EQ(entries[100].peRed, 50) << c.name;
            EXPECT_EQ(entries[100].peGreen, 155) << c.name;
            EXPECT_EQ(entries[100].peBlue, 100) << c.name;
        }
        EXPECT_EQ(entries[7].peFlags, 0x40);
    }
    PALETTEENTRY entries[256];
    EXPECT_EQ(LoadPaletteFile((dir.Path() + "/missing.raw").c_str(), entries), 2);
}

TEST_F(RenderPaletteTest, AnEightBitDisplayKeepsTheSystemColoursAroundTheFile) {
    std::vector<uint8_t> raw(768, 0x77);
    const std::string path = Write("pal.raw", raw);
    Profile([](CapsProfile& p) { p.desktop.bitsPerPixel = 8; });
    for (uint32_t mode : {0u, 1u}) {
        SgDDImage::SetGlobalPalette(nullptr);
        SgRenderCreateParams p = Params(mode, 11);
        p.paletteFile = path.c_str();
        // Windowed, no device renders into 8 bits (the palette is made before that); full screen
        // switches the display to 16 bits.
        EXPECT_EQ(static_cast<bool>(Open(p)), mode == 1);
        SgPalette* palette = SgDDImage::GlobalPalette();
        ASSERT_TRUE(palette);
        const uint32_t from = mode == 1 ? 1 : 10, to = mode == 1 ? 255 : 246;
        for (uint32_t i = 0; i < 256; ++i) {
            const bool fromFile = i >= from && i < to;
            EXPECT_EQ(palette->Entries()[i].peRed == 0x77, fromFile) << "mode " << mode << " entry " << i;
            EXPECT_EQ(palette->Entries()[i].peFlags, 0x40);
        }
        renders.clear();
        SgD3DRender::ReleaseCurrent();
        ReleaseDDEnvironment();
    }
}

// ---- Enumeration, Z formats, buffering, flips, filter tables ----

TEST_F(RenderOpenTest, DriversAreEnumeratedInEitherFormOrNotAtAllWithoutTheLibrary) {
    struct Case {
        bool extended;
        bool loaded;
        size_t listed;
    };
    for (const Case& c : {Case{true, true, 1}, Case{false, true, 1}, Case{true, false, 0}}) {
        Profile([&](CapsProfile& p) { p.enumerateEx = c.extended; });
        platform::SetModuleLoaded("DDRAW.DLL", c.loaded);
        SgRef<SgD3DRender> r = Open(Params(0, 11));
        ASSERT_TRUE(r) << RenderLastFailure();
        EXPECT_EQ(SgDriverList().size(), c.listed);
        // Without a list the primary driver is used, its entry made from the DirectDraw object.
        ASSERT_TRUE(SgCurrentDDEnvironment()->chosen);
        EXPECT_EQ(SgCurrentDDEnvironment()->chosen->description, "Quorrin Display");
        r = nullptr;
        renders.clear();
        SgD3DRender::ReleaseCurrent();
        SgDDImage::SetDirectDraw(nullptr);
        ReleaseDDEnvironment();
    }
}

TEST_F(RenderOpenTest, TheZBufferFormatIsRankedSixteenBitsFirstAndNoStencil) {
    struct Case {
        std::vector<DDPIXELFORMAT> formats;
        DWORD bits;
        bool stencil;
    };
    const Case cases[] = {
        {{platform::dd::FormatZ24S8(), platform::dd::FormatZ16()}, 16, false},
        {{platform::dd::FormatZ24S8(), platform::dd::FormatZ32()}, 32, false},
        {{platform::dd::FormatZ24S8()}, 32, true},
    };
    for (const Case& c : cases) {
        Profile([&](CapsProfile& p) { p.zBufferFormats = c.formats; });
        SgRef<SgD3DRender> r = Open(Params(0, 11));
        ASSERT_TRUE(r);
        const DDPIXELFORMAT& z = r->Driver()->zFormats[0];
        EXPECT_EQ(z.dwZBufferBitDepth, c.bits);
        EXPECT_EQ((z.dwFlags & DDPF_STENCILBUFFER) != 0, c.stencil);
        r = nullptr;
        renders.clear();
        SgD3DRender::ReleaseCurrent();
    }
}

TEST_F(RenderOpenTest, TwoBackBuffersFallBackToOneWithoutTheTripleBufferingLine) {
    ASSERT_TRUE(Open(Params(1, 11 | 0x80)));
    EXPECT_TRUE(Said("Scenegrove D3DDriver Info: Using Triple Buffering\n"));
    renders.clear();
    SgD3DRender::ReleaseCurrent();
    ReleaseDDEnvironment();
    messages.clear();
    platform::dd::FailCall("DirectDraw::CreateSurface", DDERR_OUTOFVIDEOMEMORY, 1);
    SgRef<SgD3DRender> r = Open(Params(1, 11 | 0x80));
    ASSERT_TRUE(r) << RenderLastFailure();
    EXPECT_FALSE(Said("Scenegrove D3DDriver Info: Using Triple Buffering\n"));
    EXPECT_TRUE(r->Driver()->buffers->flags & SgRenderBuffers::kFlipping);
}

TEST_F(RenderOpenTest, AFailedFlipIsReportedAndTheFrameGoesOn) {
    SgRef<SgD3DRender> r = Open(Params(1, 11));
    ASSERT_TRUE(r);
    platform::dd::FailCall("Surface::Flip", DDERR_SURFACEBUSY, 1);
    EXPECT_EQ(r->PresentFrame(), 0);
    EXPECT_TRUE(Said("Scenegrove Direct3D renderer - error flipping surfaces"));
    EXPECT_FALSE(r->Driver()->buffers->flipPending);
    EXPECT_EQ(r->PresentFrame(), 0);
    EXPECT_TRUE(r->Driver()->buffers->flipPending);
}

TEST_F(RenderOpenTest, TheFilterTableComesFromTheDevicesCapsOrThePointTable) {
    SgRef<SgD3DRender> r = Open(Params(0, 11));
    ASSERT_TRUE(r);
    // The default device: linear min and mag, linear mip filtering.
    const uint32_t full[6][3] = {{1, 1, 1}, {2, 2, 1}, {2, 2, 3}, {1, 1, 2}, {1, 1, 3}, {2, 2, 2}};
    for (int m = 0; m < 6; ++m)
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(r->Driver()->filterTable[m][k], full[m][k]) << m << " " << k;
    EXPECT_TRUE(r->GetDriverInfo() & 1);
    r = nullptr;
    renders.clear();
    SgD3DRender::ReleaseCurrent();
    Profile([](CapsProfile& p) { p.textureFilterCaps &= ~0x1F030700u; });
    r = Open(Params(0, 11));
    ASSERT_TRUE(r);
    for (int m = 0; m < 6; ++m)
        EXPECT_EQ(r->Driver()->filterTable[m][2], 1u);
    EXPECT_FALSE(r->GetDriverInfo() & 1);
}

TEST_F(RenderOpenTest, TextureMemoryIsFreeThenTotal) {
    SgRef<SgD3DRender> r = Open(Params(0, 11));
    ASSERT_TRUE(r);
    uint32_t freeBytes = 0, total = 0;
    EXPECT_TRUE(r->GetTextureMemory(freeBytes, total));
    EXPECT_EQ(total, 32u << 20);
    EXPECT_LT(freeBytes, total);  // the buffers took their share
}

}  // namespace
