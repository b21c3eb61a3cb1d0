#include "engine/render/sg_dd_environment.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "engine/render/sg_d3d_render.h"
#include "engine/render/sg_dd_image.h"
#include "engine/render/sg_render_debug.h"

namespace {

HWND g_window = nullptr;
SgDDEnvironment* g_environment = nullptr;
std::vector<SgDriverListEntry*>* g_driverList = nullptr;
uint32_t g_offscreenOverride = 0;

constexpr DWORD kNormalLevel = DDSCL_NORMAL | DDSCL_MULTITHREADED;

struct CardRow {
    uint32_t vendor, chipsetFrom, chipsetTo;
    const char* name;
    uint32_t card, offscreenMode;
    bool kept;
};

constexpr CardRow kCards[] = {
    {0x121A, 1, 1, "3dfx Voodoo", 1, 3, false},
    {0x121A, 2, 2, "3dfx Voodoo2", 3, 3, false},
    {0x121A, 3, 3, "3dfx Voodoo Banshee", 4, 3, false},
    {0x121A, 5, 5, "3dfx Voodoo3", 5, 3, false},
    {0x1142, 0x643D, 0x643D, "3dfx Voodoo Rush (Alliance design)", 2, 3, false},
    {0x10D9, 0x8626, 0x8626, "3dfx Voodoo Rush (Macronix design)", 2, 3, false},
    {0x10DE, 0x20, 0x20, "nVidia TNT", 13, 2, false},
    {0x10DE, 0x28, 0x2F, "nVidia TNT2", 14, 2, false},
    {0x12D2, 0x18, 0x19, "nVidia RIVA 128, false", 12, 2, true},
    {0x5333, 0x8A20, 0x8A20, "S3 Savage3D", 16, 4, false},
    {0x105D, 0x493D, 0x493D, "Number9 Revolution 3D, false", 11, 0, true},
    {0x104C, 0x3D07, 0x3D07, "3DLabs PERMEDIA2", 6, 4, false},
    {0x102B, 0x51A, 0x51A, "Matrox Mystique", 9, 4, false},
    {0x102B, 0x521, 0x521, "Matrox Millenium G200", 10, 4, false},
    {0x1002, 0x4742, 0x4742, "ATI RAGE Pro", 7, 2, false},
    {0x1002, 0x5246, 0x5246, "ATI RAGE Pro", 8, 2, false},
    {0x3D, 0xD1, 0xD1, "Real3D StarFighter", 15, 4, false},
};

void Fail(const char* text) { RenderDebugOut(text, true); }

std::vector<SgDriverListEntry*>& DriverList() {
    if (!g_driverList)
        g_driverList = new std::vector<SgDriverListEntry*>;
    return *g_driverList;
}

DDCAPS EmptyCaps() {
    DDCAPS caps{};
    caps.dwSize = sizeof(DDCAPS);
    return caps;
}

struct PickedDevice {
    bool found = false;
    D3DDEVICEDESC hardware{};
};

HRESULT PickHardwareDevice(GUID* guid, char*, char*, D3DDEVICEDESC* hardware, D3DDEVICEDESC*, LPVOID context) {
    auto* picked = static_cast<PickedDevice*>(context);
    if (*guid == IID_IDirect3DNullDevice || !hardware || hardware->dwFlags == 0)
        return D3DENUMRET_OK;
    picked->found = true;
    picked->hardware = *hardware;
    return D3DENUMRET_CANCEL;
}

struct ModeContext {
    SgDriverListEntry* entry;
    DWORD renderDepths;
};

HRESULT EnumModeCallback(DDSURFACEDESC2* mode, LPVOID context) {
    auto* c = static_cast<ModeContext*>(context);
    const DWORD bits = mode->ddpfPixelFormat.dwRGBBitCount;
    if ((bits == 32 && (c->renderDepths & DDBD_32)) || (bits == 16 && (c->renderDepths & DDBD_16)))
        c->entry->modes.push_back({mode->dwWidth, mode->dwHeight, bits});
    return DDENUMRET_OK;
}

SgDriverListEntry* MakeDriverEntry(IDirectDraw4* dd, const GUID* guid) {
    DDCAPS hal = EmptyCaps(), hel = EmptyCaps();
    if (FAILED(dd->GetCaps(&hal, &hel)) || hal.dwCaps == 0)
        return nullptr;
    IDirect3D3* d3d = nullptr;
    if (FAILED(dd->QueryInterface(IID_IDirect3D3, reinterpret_cast<void**>(&d3d))) || !d3d)
        return nullptr;
    DDDEVICEIDENTIFIER id{};
    dd->GetDeviceIdentifier(&id, 0);
    PickedDevice picked;
    d3d->EnumDevices(PickHardwareDevice, &picked);
    if (!picked.found) {
        d3d->Release();
        return nullptr;
    }
    auto* entry = new (std::nothrow) SgDriverListEntry;
    if (!entry) {
        d3d->Release();
        return nullptr;
    }
    id.szDescription[sizeof(id.szDescription) - 1] = '\0';
    entry->description = id.szDescription;
    entry->hasGuid = guid != nullptr;
    if (guid)
        entry->guid = *guid;
    entry->canRenderWindowed = (!guid && (hal.dwCaps2 & DDCAPS2_CANRENDERWINDOWED)) ? 1 : 0;
    if (picked.hardware.dwDevCaps & D3DDEVCAPS_SEPARATETEXTUREMEMORIES)
        entry->deviceFlags |= 1;
    if (picked.hardware.dwDeviceRenderBitDepth & DDBD_32)
        entry->deviceFlags |= 2;
    ModeContext mc{entry, picked.hardware.dwDeviceRenderBitDepth};
    dd->EnumDisplayModes(0, nullptr, &mc, EnumModeCallback);
    d3d->Release();
    return entry;
}

void AddDriver(GUID* guid) {
    IDirectDraw* first = nullptr;
    if (FAILED(DirectDrawCreate(guid, &first, nullptr)) || !first)
        return;
    IDirectDraw4* dd = nullptr;
    const HRESULT hr = first->QueryInterface(IID_IDirectDraw4, reinterpret_cast<void**>(&dd));
    first->Release();
    if (FAILED(hr) || !dd)
        return;
    if (SgDriverListEntry* entry = MakeDriverEntry(dd, guid))
        DriverList().push_back(entry);
    dd->Release();
}

BOOL EnumDriverCallbackEx(GUID* guid, char*, char*, LPVOID, HMONITOR) {
    AddDriver(guid);
    return DDENUMRET_OK;
}

BOOL EnumDriverCallback(GUID* guid, char*, char*, LPVOID) {
    AddDriver(guid);
    return DDENUMRET_OK;
}

void EnumerateDrivers() {
    HMODULE module = GetModuleHandleA("DDRAW.DLL");
    if (!module)
        return;
    using EnumerateEx = HRESULT (*)(LPDDENUMCALLBACKEXA, LPVOID, DWORD);
    if (FARPROC f = GetProcAddress(module, "DirectDrawEnumerateExA")) {
        reinterpret_cast<EnumerateEx>(f)(EnumDriverCallbackEx, &DriverList(),
                                         DDENUM_ATTACHEDSECONDARYDEVICES | DDENUM_DETACHEDSECONDARYDEVICES |
                                             DDENUM_NONDISPLAYDEVICES);
        return;
    }
    DirectDrawEnumerateA(EnumDriverCallback, &DriverList());
}

void RenderShutdown(SgDDEnvironment* env) {
    RenderDebugOut("Scenegrove Render Shutdown: Releasing DirectDraw encapsulation object", false);
    if (env->directDraw) {
        if (env->displayModeChanged) {
            if (FAILED(env->directDraw->RestoreDisplayMode()))
                Fail("Render shutdown failed: Restore Display Mode failed");
            if (FAILED(env->directDraw->SetCooperativeLevel(env->window, kNormalLevel)))
                Fail("Render shutdown failed: Set Cooperative Level failed");
            env->displayModeChanged = 0;
        }
    }
    delete env->chosen;
    env->chosen = nullptr;
    env->SetPrimaryImage(nullptr);
    if (env->primarySurface) {
        env->primarySurface->Release();
        env->primarySurface = nullptr;
    }
    if (env->directDraw) {
        env->directDraw->Release();
        env->directDraw = nullptr;
    }
    if (g_environment == env)
        g_environment = nullptr;
}

SgDDEnvironment* Destroy(SgDDEnvironment* env) {
    RenderShutdown(env);
    delete env;
    g_environment = nullptr;
    return nullptr;
}

}  // namespace

bool SgDriverListEntry::HasMode(uint32_t width, uint32_t height, uint32_t bits) const {
    for (const Mode& m : modes)
        if (m.width == width && m.height == height && m.bitsPerPixel == bits)
            return true;
    return false;
}

void SgDDEnvironment::SetPrimaryImage(SgDDImage* image) {
    if (image == primaryImage)
        return;
    if (image)
        image->IncRef();
    SgDDImage* old = primaryImage;
    primaryImage = image;
    if (old)
        old->DecRef();
}

void SgSetRenderWindow(HWND window) { g_window = window; }
HWND SgRenderWindow() { return g_window; }
SgDDEnvironment* SgCurrentDDEnvironment() { return g_environment; }
const std::vector<SgDriverListEntry*>& SgDriverList() { return DriverList(); }
void SetRecommendedOffscreenMode(uint32_t mode) { g_offscreenOverride = mode; }
uint32_t RecommendedOffscreenModeOverride() { return g_offscreenOverride; }

SgDDEnvironment* AcquireDDEnvironment(const SgRenderCreateParams& params) {
    SgDDEnvironment* env = g_environment;
    if (!env) {
        const bool hardwareWanted = (params.flags & 2) != 0;
        const bool usePrimary = !(params.mode == 1 && hardwareWanted && !(params.flags & 0x40));
        env = RenderCreate(usePrimary, hardwareWanted);
        if (!env)
            return nullptr;
    }
    ++env->useCount;
    return env;
}

SgDDEnvironment* RenderCreate(bool usePrimary, bool wantHardware) {
    if (g_environment)
        return g_environment;
    auto* env = new (std::nothrow) SgDDEnvironment;
    if (!env) {
        Fail("Render create failed: Insufficient memory");
        return nullptr;
    }
    g_environment = env;
    env->caps = EmptyCaps();
    env->window = g_window;
    if (!env->window) {
        Destroy(env);
        Fail("Render create failed: Global window is NULL");
        return nullptr;
    }
    if (!g_driverList) {
        DriverList();
        EnumerateDrivers();
    }

    IDirectDraw4* existing = nullptr;
    if (SgDDImage::GetDirectDraw(&existing)) {
        env->directDraw = existing;
        existing->AddRef();
        std::snprintf(env->driverDescription, sizeof(env->driverDescription), "%s",
                      "Existing Driver (Previous Renderer)");
        env->chosen = MakeDriverEntry(existing, nullptr);
    } else {
        if (env->primarySurface) {
            env->primarySurface->Release();
            env->primarySurface = nullptr;
        }
        env->SetPrimaryImage(nullptr);
        const SgDriverListEntry* pick = nullptr;
        for (const SgDriverListEntry* e : DriverList()) {
            if (!pick)
                pick = e;
            if (usePrimary ? !e->hasGuid : e->hasGuid) {
                pick = e;
                break;
            }
        }
        if (pick) {
            env->chosen = new (std::nothrow) SgDriverListEntry(*pick);
            std::snprintf(env->driverDescription, sizeof(env->driverDescription), "%s", pick->description.c_str());
        }
        GUID guid = env->chosen ? env->chosen->guid : GUID{};
        IDirectDraw* first = nullptr;
        if (FAILED(DirectDrawCreate(env->chosen && env->chosen->hasGuid ? &guid : nullptr, &first, nullptr)) ||
            !first) {
            Destroy(env);
            Fail("Render create failed: DirectDrawCreate for HEL failed");
            return nullptr;
        }
        IDirectDraw4* dd = nullptr;
        if (FAILED(first->QueryInterface(IID_IDirectDraw4, reinterpret_cast<void**>(&dd))) || !dd) {
            first->Release();
            Destroy(env);
            Fail("Render create failed: DirectDraw4 Query failed");
            return nullptr;
        }
        first->Release();
        env->directDraw = dd;
        SgDDImage::SetDirectDraw(dd);
        if (FAILED(dd->SetCooperativeLevel(env->window, kNormalLevel))) {
            Destroy(env);
            Fail("Render create failed: Set Cooperative Level failed");
            return nullptr;
        }
        if (!env->chosen) {
            env->chosen = MakeDriverEntry(dd, nullptr);
            DDDEVICEIDENTIFIER id{};
            if (SUCCEEDED(dd->GetDeviceIdentifier(&id, 0))) {
                id.szDescription[sizeof(id.szDescription) - 1] = '\0';
                std::snprintf(env->driverDescription, sizeof(env->driverDescription), "%s", id.szDescription);
            }
        }
    }

    DDCAPS hal = EmptyCaps(), hel = EmptyCaps();
    if (FAILED(env->directDraw->GetCaps(&hal, &hel))) {
        Destroy(env);
        Fail("Render create failed: Direct Draw Caps query failed");
        return nullptr;
    }
    if (wantHardware && (hal.dwCaps & DDCAPS_3D)) {
        env->hardware = 1;
        env->caps = hal;
    } else {
        if (wantHardware) {
            RenderDebugOut("Hardware DirectDraw has no 3D capabilities\n", false);
            RenderDebugOut("Using DirectDraw software\n", false);
        }
        env->hardware = 0;
        env->caps = hel;
        if (!(hel.dwCaps & DDCAPS_3D)) {
            Destroy(env);
            Fail("Render create failed: Software DirectDraw has no 3D capabilities");
            return nullptr;
        }
    }
    DDSURFACEDESC2 mode{};
    mode.dwSize = kDDSurfaceDesc2Size32;
    if (FAILED(env->directDraw->GetDisplayMode(&mode))) {
        Destroy(env);
        Fail("Render create failed: Get Display Mode failed");
        return nullptr;
    }
    IdentifyCard(env);
    env->displayDepth = mode.ddpfPixelFormat.dwRGBBitCount;
    env->bltFx = DDBLTFX{};
    env->bltFx.dwSize = kDDBltFxSize32;
    env->bltFx.dwDDFX = DDBLTFX_NOTEARING;
    env->useCount = 1;
    return env;
}

HRESULT SetFullscreenMode(SgDDEnvironment* env, uint32_t width, uint32_t height, uint32_t bits) {
    IDirectDraw4* dd = env->directDraw;
    HRESULT hr = dd->SetCooperativeLevel(
        env->window, DDSCL_FULLSCREEN | DDSCL_ALLOWREBOOT | DDSCL_EXCLUSIVE | DDSCL_MULTITHREADED);
    if (FAILED(hr)) {
        Fail("Render create failed: Set Cooperative Level failed");
        return hr;
    }
    if (env->chosen && !env->chosen->HasMode(width, height, bits)) {
        Fail("Render create failed: desired fullscreen display mode not supported");
    } else if (FAILED(dd->SetDisplayMode(width, height, bits, 0, 0))) {
        Fail("Render create failed: Set Display Mode failed");
    } else {
        env->displayDepth = bits;
        env->displayModeChanged = 1;
        return DD_OK;
    }
    hr = dd->SetCooperativeLevel(env->window, kNormalLevel);
    return FAILED(hr) ? hr : E_FAIL;
}

void SetPrimarySurface(SgDDEnvironment* env, IDirectDrawSurface4* surface, SgDDImage* image) {
    if (surface != env->primarySurface) {
        if (surface)
            surface->AddRef();
        if (env->primarySurface)
            env->primarySurface->Release();
        env->primarySurface = surface;
    }
    env->SetPrimaryImage(image);
}

void IdentifyCard(SgDDEnvironment* env) {
    SgCardInfo& card = env->card;
    card.cardNumber = 0;
    DDDEVICEIDENTIFIER id{};
    if (env->directDraw && SUCCEEDED(env->directDraw->GetDeviceIdentifier(&id, 0))) {
        card.vendorId = id.dwVendorId;
        card.chipsetId = id.dwDeviceId;
    }
    id.szDescription[sizeof(id.szDescription) - 1] = '\0';
    for (const CardRow& row : kCards) {
        if (row.vendor != card.vendorId || card.chipsetId < row.chipsetFrom || card.chipsetId > row.chipsetTo)
            continue;
        char text[160];
        std::snprintf(text, sizeof(text), "Render create message: 3D hardware is %s", row.name);
        RenderDebugOut(text, row.kept);
        card.cardNumber = row.card;
        card.offscreenMode = row.offscreenMode;
        break;
    }
    if (g_offscreenOverride != 0)
        card.offscreenMode = g_offscreenOverride;
    if (card.cardNumber == 0) {
        RenderDebugOut("Render create message: 3D Hardware card could not     be identified by Vendor/Chipset ID",
                       false);
        char text[700];
        std::snprintf(text, sizeof(text),
                      "Render create message: Card information:\n\t\tCard name: %s\n\t\tVendor:0x%08x\n\t\tChipset:0x%08x",
                      id.szDescription, card.vendorId, card.chipsetId);
        RenderDebugOut(text, false);
    }
}

void DropDDEnvironment(SgDDEnvironment* env) {
    if (!env || env->useCount == 0)
        return;
    if (--env->useCount == 0) {
        RenderShutdown(env);
        delete env;
    }
}

void ReleaseDDEnvironment() {
    if (g_environment)
        DropDDEnvironment(g_environment);
    g_environment = nullptr;
    if (g_driverList) {
        for (SgDriverListEntry* e : *g_driverList)
            delete e;
        delete g_driverList;
        g_driverList = nullptr;
    }
}
