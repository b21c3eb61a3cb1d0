// The DirectDraw object and Direct3D: driver enumeration through the library, caps, identifiers,
// display modes and exclusive mode, device enumeration and creation under caps profiles and
// injected failures, formats, and the display's palette.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "platform/ddraw/control.h"
#include "platform/ddraw/d3d.h"
#include "platform/win/platform.h"
#include "tests/support/ddraw_device.h"

namespace {

using namespace ddtest;
namespace dd = platform::dd;

const GUID kCardGuid{0x12345678, 0x1111, 0x2222, {1, 2, 3, 4, 5, 6, 7, 8}};

struct Listed {
    bool hasGuid;
    std::string description;
};

BOOL CollectEx(GUID* guid, char* description, char*, LPVOID context, HMONITOR) {
    static_cast<std::vector<Listed>*>(context)->push_back({guid != nullptr, description});
    return DDENUMRET_OK;
}

BOOL Collect(GUID* guid, char* description, char*, LPVOID context) {
    static_cast<std::vector<Listed>*>(context)->push_back({guid != nullptr, description});
    return DDENUMRET_OK;
}

// A 2D card as the primary driver and a 3D add-on card with a GUID.
dd::CapsProfile TwoCardProfile() {
    dd::CapsProfile p = dd::DefaultCapsProfile();
    dd::DriverProfile card = p.drivers[0];
    p.drivers[0].halCaps = DDCAPS_BLT | DDCAPS_BLTCOLORFILL;
    p.drivers[0].hardware3d = false;
    card.hasGuid = true;
    card.guid = kCardGuid;
    card.description = "3D Add-on";
    card.vendorId = 0x121A;
    card.deviceId = 2;
    card.halCaps2 = 0;
    p.drivers.push_back(card);
    return p;
}

class DirectDrawTest : public DDrawTest {
protected:
    IDirectDraw4* Create(GUID* guid = nullptr) {
        IDirectDraw* dd1 = nullptr;
        if (FAILED(DirectDrawCreate(guid, &dd1, nullptr)))
            return nullptr;
        IDirectDraw4* dd4 = nullptr;
        dd1->QueryInterface(IID_IDirectDraw4, reinterpret_cast<void**>(&dd4));
        dd1->Release();
        return dd4;
    }

};

TEST_F(DirectDrawTest, DriversAreEnumeratedThroughTheLinkedLibrary) {
    dd::SetCapsProfile(TwoCardProfile());
    HMODULE module = GetModuleHandleA("ddraw.dll");
    ASSERT_NE(module, nullptr);
    using EnumerateEx = HRESULT (*)(LPDDENUMCALLBACKEXA, LPVOID, DWORD);
    auto enumerateEx = reinterpret_cast<EnumerateEx>(GetProcAddress(module, "DirectDrawEnumerateExA"));
    ASSERT_NE(enumerateEx, nullptr);
    std::vector<Listed> listed;
    ASSERT_EQ(enumerateEx(CollectEx, &listed, DDENUM_ATTACHEDSECONDARYDEVICES | DDENUM_DETACHEDSECONDARYDEVICES |
                                                  DDENUM_NONDISPLAYDEVICES),
              DD_OK);
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_FALSE(listed[0].hasGuid);
    EXPECT_TRUE(listed[1].hasGuid);
    EXPECT_EQ(listed[1].description, "3D Add-on");

    // An older library has only the four-argument form.
    dd::CapsProfile old = TwoCardProfile();
    old.enumerateEx = false;
    dd::SetCapsProfile(old);
    EXPECT_EQ(GetProcAddress(module, "DirectDrawEnumerateExA"), nullptr);
    listed.clear();
    ASSERT_EQ(DirectDrawEnumerateA(Collect, &listed), DD_OK);
    EXPECT_EQ(listed.size(), 2u);

    platform::SetModuleLoaded("DDRAW.DLL", false);
    EXPECT_EQ(GetModuleHandleA("DDRAW.DLL"), nullptr);
}

TEST_F(DirectDrawTest, EachDriverReportsItsOwnCapsAndIdentifier) {
    dd::SetCapsProfile(TwoCardProfile());
    IDirectDraw4* primary = Create();
    GUID guid = kCardGuid;
    IDirectDraw4* card = Create(&guid);
    ASSERT_NE(primary, nullptr);
    ASSERT_NE(card, nullptr);
    GUID unknown{1, 2, 3, {0}};
    IDirectDraw* none = nullptr;
    EXPECT_EQ(DirectDrawCreate(&unknown, &none, nullptr), DDERR_INVALIDPARAMS);

    DDCAPS hal{}, hel{};
    hal.dwSize = hel.dwSize = sizeof(DDCAPS);
    ASSERT_EQ(primary->GetCaps(&hal, &hel), DD_OK);
    EXPECT_FALSE(hal.dwCaps & DDCAPS_3D);
    EXPECT_TRUE(hel.dwCaps & DDCAPS_3D);
    ASSERT_EQ(card->GetCaps(&hal, nullptr), DD_OK);
    EXPECT_TRUE(hal.dwCaps & DDCAPS_3D);
    EXPECT_EQ(hal.dwVidMemTotal, 32u << 20);
    DDCAPS small{};
    small.dwSize = 100;
    EXPECT_EQ(card->GetCaps(&small, nullptr), DDERR_INVALIDPARAMS);

    DDDEVICEIDENTIFIER id{};
    ASSERT_EQ(card->GetDeviceIdentifier(&id, 0), DD_OK);
    EXPECT_EQ(id.dwVendorId, 0x121Au);
    EXPECT_EQ(id.dwDeviceId, 2u);
    EXPECT_STREQ(id.szDescription, "3D Add-on");

    // The hardware device belongs to the card only.
    auto hasHal = [](IDirectDraw4* d) {
        IDirect3D3* d3d = nullptr;
        d->QueryInterface(IID_IDirect3D3, reinterpret_cast<void**>(&d3d));
        bool found = false;
        d3d->EnumDevices(
            [](GUID*, char*, char*, D3DDEVICEDESC* hw, D3DDEVICEDESC*, LPVOID ctx) -> HRESULT {
                if (hw->dwFlags)
                    *static_cast<bool*>(ctx) = true;
                return D3DENUMRET_OK;
            },
            &found);
        d3d->Release();
        return found;
    };
    EXPECT_FALSE(hasHal(primary));
    EXPECT_TRUE(hasHal(card));
    card->Release();
    primary->Release();
}

TEST_F(DirectDrawTest, DisplayModesListAndSetTheProfilesModesInExclusiveMode) {
    IDirectDraw4* d = Create();
    HWND window = MakeGameWindow();
    std::vector<std::string> modes;
    d->EnumDisplayModes(0, nullptr, &modes, [](DDSURFACEDESC2* m, LPVOID ctx) -> HRESULT {
        static_cast<std::vector<std::string>*>(ctx)->push_back(std::to_string(m->dwWidth) + "x" +
                                                               std::to_string(m->dwHeight) + "x" +
                                                               std::to_string(m->ddpfPixelFormat.dwRGBBitCount));
        return DDENUMRET_OK;
    });
    EXPECT_NE(std::find(modes.begin(), modes.end(), "800x600x16"), modes.end());
    EXPECT_EQ(modes.size(), 6u);

    EXPECT_EQ(d->SetCooperativeLevel(window, DDSCL_FULLSCREEN), DDERR_INVALIDPARAMS) << "full screen is exclusive";
    ASSERT_EQ(d->SetCooperativeLevel(window, DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE | DDSCL_ALLOWREBOOT |
                                                 DDSCL_MULTITHREADED),
              DD_OK);
    IDirectDraw4* other = Create();
    EXPECT_EQ(other->SetCooperativeLevel(window, DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE), DDERR_EXCLUSIVEMODEALREADYSET);
    EXPECT_EQ(other->SetDisplayMode(640, 480, 16, 0, 0), DDERR_NOEXCLUSIVEMODE);
    EXPECT_EQ(d->SetDisplayMode(800, 600, 24, 0, 0), DDERR_INVALIDMODE);
    ASSERT_EQ(d->SetDisplayMode(1024, 768, 32, 0, 0), DD_OK);
    DDSURFACEDESC2 mode{};
    mode.dwSize = sizeof(mode);
    ASSERT_EQ(other->GetDisplayMode(&mode), DD_OK);
    EXPECT_EQ(mode.dwWidth, 1024u);
    EXPECT_EQ(mode.ddpfPixelFormat.dwRBitMask, 0xFF0000u);

    // Releasing the exclusive owner gives the desktop back.
    d->Release();
    ASSERT_EQ(other->GetDisplayMode(&mode), DD_OK);
    EXPECT_EQ(mode.dwWidth, 800u);
    EXPECT_EQ(mode.ddpfPixelFormat.dwRGBBitCount, 16u);
    EXPECT_EQ(mode.ddpfPixelFormat.dwGBitMask, 0x07E0u);
    EXPECT_EQ(other->SetCooperativeLevel(window, DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE), DD_OK);
    other->Release();
}

class DeviceCreationTest : public DirectDrawTest {
protected:
    // A 3D target in the given memory and a Direct3D interface of its DirectDraw object.
    void Prepare(DWORD memory) {
        directDraw = Create();
        ASSERT_NE(directDraw, nullptr);
        ASSERT_EQ(directDraw->QueryInterface(IID_IDirect3D3, reinterpret_cast<void**>(&direct3d)), DD_OK);
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof(d);
        d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
        d.dwWidth = 64;
        d.dwHeight = 64;
        d.ddsCaps.dwCaps = DDSCAPS_3DDEVICE | DDSCAPS_OFFSCREENPLAIN | memory;
        ASSERT_EQ(directDraw->CreateSurface(&d, &target, nullptr), DD_OK);
    }

    void Cleanup() {
        if (target)
            target->Release();
        if (direct3d)
            direct3d->Release();
        if (directDraw)
            directDraw->Release();
        target = nullptr;
        direct3d = nullptr;
        directDraw = nullptr;
    }

    void TearDown() override {
        Cleanup();
        DirectDrawTest::TearDown();
    }

    HRESULT Open(const GUID& kind) {
        IDirect3DDevice3* device = nullptr;
        HRESULT hr = direct3d->CreateDevice(kind, target, &device, nullptr);
        if (device)
            device->Release();
        return hr;
    }

    IDirectDraw4* directDraw = nullptr;
    IDirect3D3* direct3d = nullptr;
    IDirectDrawSurface4* target = nullptr;
};

TEST_F(DeviceCreationTest, HardwareRendersIntoVideoMemoryAndSoftwareIntoSystemMemory) {
    Prepare(DDSCAPS_VIDEOMEMORY);
    EXPECT_EQ(Open(IID_IDirect3DHALDevice), D3D_OK);
    EXPECT_EQ(Open(IID_IDirect3DRGBDevice), DDERR_INVALIDCAPS);
    target->Release();
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof(d);
    d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    d.dwWidth = d.dwHeight = 64;
    d.ddsCaps.dwCaps = DDSCAPS_3DDEVICE | DDSCAPS_SYSTEMMEMORY;
    ASSERT_EQ(directDraw->CreateSurface(&d, &target, nullptr), DD_OK);
    EXPECT_EQ(Open(IID_IDirect3DRGBDevice), D3D_OK);
    EXPECT_EQ(Open(IID_IDirect3DMMXDevice), D3D_OK);
    EXPECT_EQ(Open(IID_IDirect3DHALDevice), DDERR_INVALIDCAPS);
}

TEST_F(DeviceCreationTest, TheProfileAndInjectionsDecideWhichDevicesOpen) {
    struct Case {
        const char* name;
        std::function<void(dd::CapsProfile&)> change;
        const GUID* device;
        HRESULT want;
    };
    const Case cases[] = {
        {"software only has no hardware device", [](dd::CapsProfile& p) { p = dd::SoftwareOnlyCapsProfile(); },
         &IID_IDirect3DHALDevice, D3DERR_INVALID_DEVICE},
        {"a device that cannot be created",
         [](dd::CapsProfile& p) { p.failingDevices = {IID_IDirect3DMMXDevice}; }, &IID_IDirect3DMMXDevice,
         D3DERR_INITFAILED},
        {"others still open", [](dd::CapsProfile& p) { p.failingDevices = {IID_IDirect3DMMXDevice}; },
         &IID_IDirect3DRGBDevice, D3D_OK},
        {"no MMX device", [](dd::CapsProfile& p) { p.mmxDevice = false; }, &IID_IDirect3DMMXDevice,
         D3DERR_INVALID_DEVICE},
        {"no 32-bit rendering on a 16-bit-only device",
         [](dd::CapsProfile& p) {
             p.renderDepths = DDBD_16;
             p.desktop = {800, 600, 32};
         },
         &IID_IDirect3DRGBDevice, DDERR_INVALIDPIXELFORMAT},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dd::CapsProfile p = dd::DefaultCapsProfile();
        c.change(p);
        dd::SetCapsProfile(p);
        Prepare(DDSCAPS_SYSTEMMEMORY);
        EXPECT_EQ(Open(*c.device), c.want);
        Cleanup();
        dd::ResetDDraw();
    }
    dd::FailCall("Direct3D::CreateDevice", E_OUTOFMEMORY);
    Prepare(DDSCAPS_SYSTEMMEMORY);
    EXPECT_EQ(Open(IID_IDirect3DRGBDevice), E_OUTOFMEMORY);
    EXPECT_EQ(Open(IID_IDirect3DRGBDevice), D3D_OK);
}

TEST_F(DeviceCreationTest, FormatsAndDescriptionsFollowTheProfile) {
    dd::CapsProfile p = dd::DefaultCapsProfile();
    p.textureFormats = {dd::FormatRgb555()};
    p.zBufferFormats = {dd::FormatZ24S8(), dd::FormatZ16()};
    p.maxTextureBlendStages = 1;
    p.textureCaps |= D3DPTEXTURECAPS_SQUAREONLY;
    dd::SetCapsProfile(p);
    Prepare(DDSCAPS_SYSTEMMEMORY);
    std::vector<DWORD> depths;
    ASSERT_EQ(direct3d->EnumZBufferFormats(
                  IID_IDirect3DRGBDevice,
                  [](DDPIXELFORMAT* f, LPVOID ctx) -> HRESULT {
                      static_cast<std::vector<DWORD>*>(ctx)->push_back(f->dwZBufferBitDepth);
                      return D3DENUMRET_OK;
                  },
                  &depths),
              D3D_OK);
    EXPECT_EQ(depths, (std::vector<DWORD>{32, 16}));

    IDirect3DDevice3* device = nullptr;
    ASSERT_EQ(direct3d->CreateDevice(IID_IDirect3DRGBDevice, target, &device, nullptr), D3D_OK);
    int formats = 0;
    device->EnumTextureFormats(
        [](DDPIXELFORMAT* f, LPVOID ctx) -> HRESULT {
            EXPECT_EQ(f->dwGBitMask, 0x03E0u);
            ++*static_cast<int*>(ctx);
            return D3DENUMRET_OK;
        },
        &formats);
    EXPECT_EQ(formats, 1);
    D3DDEVICEDESC hw{}, sw{};
    hw.dwSize = sw.dwSize = sizeof(D3DDEVICEDESC);
    ASSERT_EQ(device->GetCaps(&hw, &sw), D3D_OK);
    EXPECT_EQ(hw.dwFlags, 0u) << "a software device has no hardware description";
    EXPECT_TRUE(sw.dwFlags & D3DDD_TRICAPS);
    EXPECT_EQ(sw.wMaxTextureBlendStages, 1);
    EXPECT_TRUE(sw.dpcTriCaps.dwTextureCaps & D3DPTEXTURECAPS_SQUAREONLY);
    EXPECT_TRUE(sw.dpcTriCaps.dwTextureCaps & D3DPTEXTURECAPS_PERSPECTIVE);
    EXPECT_TRUE(sw.dpcTriCaps.dwShadeCaps & D3DPSHADECAPS_COLORGOURAUDRGB);
    device->Release();
}

TEST_F(DirectDrawTest, TheSystemPaletteHasTheStaticColoursAtBothEnds) {
    HDC dc = GetDC(nullptr);
    PALETTEENTRY entries[256];
    ASSERT_EQ(GetSystemPaletteEntries(dc, 0, 256, entries), 256u);
    EXPECT_EQ(ReleaseDC(nullptr, dc), 1);
    EXPECT_EQ(entries[0].peRed + entries[0].peGreen + entries[0].peBlue, 0);
    EXPECT_EQ(entries[255].peRed, 255);
    EXPECT_EQ(entries[255].peBlue, 255);
    EXPECT_EQ(entries[249].peRed, 255);
    EXPECT_EQ(entries[249].peGreen, 0);
    EXPECT_EQ(GetSystemPaletteEntries(dc, 250, 10, entries), 6u);
}

}  // namespace
