// The 3D device beyond pixels: the call trace, validation under caps profiles, scenes and draw
// errors, vertex buffers, texture references and refreshes, viewports, lost targets, and the
// windowed presentation through a clipper.

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/ddraw/control.h"
#include "platform/ddraw/d3d.h"
#include "tests/support/ddraw_device.h"

namespace {

using namespace ddtest;
namespace dd = platform::dd;

// The vertex of the multitexture probe: two texture coordinate sets (40 bytes).
struct Vertex2 {
    float sx, sy, sz, rhw;
    DWORD diffuse, specular;
    float tu, tv, tu2, tv2;
};

class DeviceTest : public DDrawTest {
protected:
    void SetUp() override {
        DDrawTest::SetUp();
        device = SoftDevice::Create({.width = 32, .height = 32});
        ASSERT_NE(device, nullptr);
        device->Clear(0xFF000000, 1.0f);
    }

    void TearDown() override {
        for (IUnknown* p : owned)
            p->Release();
        device.reset();
        DDrawTest::TearDown();
    }

    IDirect3DVertexBuffer* Buffer(DWORD count, DWORD format = D3DFVF_TLVERTEX) {
        D3DVERTEXBUFFERDESC desc{sizeof(desc), D3DVBCAPS_WRITEONLY | D3DVBCAPS_SYSTEMMEMORY, format, count};
        IDirect3DVertexBuffer* vb = nullptr;
        EXPECT_EQ(device->direct3d->CreateVertexBuffer(&desc, &vb, D3DDP_DONOTCLIP, nullptr), D3D_OK);
        if (vb)
            owned.push_back(vb);
        return vb;
    }

    void Fill(IDirect3DVertexBuffer* vb, const std::vector<D3DTLVERTEX>& vertices) {
        void* data = nullptr;
        DWORD size = 0;
        ASSERT_EQ(vb->Lock(DDLOCK_WAIT | DDLOCK_WRITEONLY, &data, &size), D3D_OK);
        ASSERT_GE(size, vertices.size() * sizeof(D3DTLVERTEX));
        std::memcpy(data, vertices.data(), vertices.size() * sizeof(D3DTLVERTEX));
        ASSERT_EQ(vb->Unlock(), D3D_OK);
    }

    IDirectDrawSurface4* SolidTexture(uint32_t argb, const DDPIXELFORMAT& format = dd::FormatRgb565()) {
        IDirectDrawSurface4* t = device->MakeTexture(4, 4, format, [argb](int, int, int) { return argb; });
        owned.push_back(t);
        return t;
    }

    std::unique_ptr<SoftDevice> device;
    std::vector<IUnknown*> owned;
};

TEST_F(DeviceTest, TheTraceRecordsStatesBindsAndDrawsWithTheirVertices) {
    IDirectDrawSurface4* texture = SolidTexture(0xFFFFFFFF);
    dd::StartTrace();
    device->State(D3DRENDERSTATE_ZFUNC, D3DCMP_ALWAYS);
    device->device->SetLightState(D3DLIGHTSTATE_FOGMODE, D3DFOG_LINEAR);
    device->StageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    device->SetTexture(0, texture);
    const std::vector<D3DTLVERTEX> v = {Vertex(1, 2, 0.5f, 1, 0x11223344, 0x80000000, 0.25f, 0.75f), Vertex(9, 2),
                                        Vertex(1, 9), Vertex(9, 9)};
    ASSERT_EQ(device->DrawIndexed(D3DPT_TRIANGLELIST, v, {0, 1, 2, 2, 1, 3}), D3D_OK);
    D3DRECT r{0, 0, 4, 4};
    device->viewport->Clear2(1, &r, D3DCLEAR_TARGET, 0x00FF00FF, 1.0f, 0);
    dd::StopTrace();
    device->State(D3DRENDERSTATE_ZFUNC, D3DCMP_LESSEQUAL);

    const std::vector<dd::TraceEvent>& trace = dd::Trace();
    std::vector<dd::TraceKind> kinds;
    for (const dd::TraceEvent& e : trace)
        kinds.push_back(e.kind);
    using K = dd::TraceKind;
    EXPECT_EQ(kinds, (std::vector<K>{K::RenderState, K::LightState, K::StageState, K::SetTexture, K::BeginScene,
                                     K::Draw, K::EndScene, K::Clear}));
    EXPECT_EQ(trace[0].a, D3DRENDERSTATE_ZFUNC);
    EXPECT_EQ(trace[0].b, D3DCMP_ALWAYS);
    EXPECT_EQ(trace[2].a, 1u);
    EXPECT_EQ(trace[2].b, D3DTSS_COLOROP);
    EXPECT_EQ(trace[3].texture, texture);
    const dd::TraceEvent& draw = trace[5];
    EXPECT_EQ(draw.a, D3DPT_TRIANGLELIST);
    EXPECT_EQ(draw.b, D3DFVF_TLVERTEX);
    EXPECT_EQ(draw.indices, (std::vector<WORD>{0, 1, 2, 2, 1, 3}));
    ASSERT_EQ(draw.vertices.size(), 4 * sizeof(D3DTLVERTEX));
    const dd::TracedVertex first = dd::DecodeTracedVertex(draw, 0);
    EXPECT_EQ(first.sx, 1.0f);
    EXPECT_EQ(first.sy, 2.0f);
    EXPECT_EQ(first.diffuse, 0x11223344u);
    EXPECT_EQ(first.specular, 0x80000000u);
    EXPECT_EQ(first.tu, 0.25f);
    EXPECT_EQ(first.tv, 0.75f);
    EXPECT_EQ(trace[7].b, 0x00FF00FFu);
    ASSERT_EQ(trace[7].rects.size(), 1u);
    EXPECT_EQ(trace.size(), 8u) << "nothing is recorded once the trace stops";
}

TEST_F(DeviceTest, ValidationFollowsTheCapsProfileOrItsHook) {
    IDirectDrawSurface4* a = SolidTexture(0xFFFF0000);
    IDirectDrawSurface4* b = SolidTexture(0xFF00FF00);
    device->SetTexture(0, a);
    device->SetTexture(1, b);
    device->StageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device->StageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->StageState(1, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device->StageState(1, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->StageState(1, D3DTSS_COLORARG2, D3DTA_CURRENT);
    DWORD passes = 0;
    EXPECT_EQ(device->device->ValidateDevice(&passes), D3D_OK);
    EXPECT_EQ(passes, 1u);

    struct Case {
        const char* name;
        std::function<void(dd::CapsProfile&)> change;
        HRESULT want;
    };
    const Case cases[] = {
        {"one stage", [](dd::CapsProfile& p) { p.maxTextureBlendStages = 1; }, D3DERR_TOOMANYOPERATIONS},
        {"one texture", [](dd::CapsProfile& p) { p.maxSimultaneousTextures = 1; }, D3DERR_TOOMANYOPERATIONS},
        {"no modulate", [](dd::CapsProfile& p) { p.textureOpCaps &= ~D3DTEXOPCAPS_MODULATE; },
         D3DERR_UNSUPPORTEDCOLOROPERATION},
        {"a hook", [](dd::CapsProfile& p) {
             p.validate = [](const dd::DeviceView& view, DWORD*) {
                 EXPECT_TRUE(view.stages[1].hasTexture);
                 EXPECT_EQ(view.stages[1].textureFormat.dwGBitMask, 0x07E0u);
                 return view.stages[1].states[D3DTSS_COLOROP] == D3DTOP_MODULATE ? D3DERR_CONFLICTINGTEXTUREFILTER
                                                                                  : D3D_OK;
             };
         }, D3DERR_CONFLICTINGTEXTUREFILTER},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dd::CapsProfile p = dd::DefaultCapsProfile();
        c.change(p);
        dd::SetCapsProfile(p);
        passes = 7;
        EXPECT_EQ(device->device->ValidateDevice(&passes), c.want);
        EXPECT_EQ(passes, 0u);
    }
    dd::SetCapsProfile(dd::DefaultCapsProfile());
    device->StageState(1, D3DTSS_MAGFILTER, D3DTFG_LINEAR);
    dd::CapsProfile pointOnly = dd::DefaultCapsProfile();
    pointOnly.textureFilterCaps = D3DPTFILTERCAPS_NEAREST | D3DPTFILTERCAPS_MINFPOINT | D3DPTFILTERCAPS_MAGFPOINT;
    dd::SetCapsProfile(pointOnly);
    EXPECT_EQ(device->device->ValidateDevice(&passes), D3DERR_UNSUPPORTEDTEXTUREFILTER);
}

TEST_F(DeviceTest, TheMultitextureProbeDrawsSixVerticesWithTwoCoordinateSets) {
    Vertex2 v[6] = {};
    const float positions[6][2] = {{0, 0}, {0, 2}, {2, 0}, {0, 0}, {2, 0}, {0, 2}};
    for (int i = 0; i < 6; ++i) {
        v[i].sx = positions[i][0];
        v[i].sy = positions[i][1];
        v[i].sz = 0.5f;
        v[i].rhw = 0.5f;
    }
    const DWORD format = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX2;
    ASSERT_EQ(format, 0x2C4u);
    ASSERT_EQ(device->device->BeginScene(), D3D_OK);
    EXPECT_EQ(device->device->DrawPrimitive(D3DPT_TRIANGLELIST, format, v, 6, D3DDP_WAIT), D3D_OK);
    ASSERT_EQ(device->device->EndScene(), D3D_OK);
}

TEST_F(DeviceTest, DrawsAreRefusedOutsideASceneAndWithBadInput) {
    IDirect3DDevice3* d = device->device;
    std::vector<D3DTLVERTEX> v = {Vertex(0, 0), Vertex(8, 0), Vertex(0, 8)};
    WORD outOfRange[3] = {0, 1, 3};
    EXPECT_EQ(d->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_TLVERTEX, v.data(), 3, 0), D3DERR_SCENE_NOT_IN_SCENE);
    EXPECT_EQ(d->EndScene(), D3DERR_SCENE_NOT_IN_SCENE);
    ASSERT_EQ(d->BeginScene(), D3D_OK);
    EXPECT_EQ(d->BeginScene(), D3DERR_SCENE_IN_SCENE);
    EXPECT_EQ(d->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, D3DFVF_TLVERTEX, v.data(), 3, outOfRange, 3, 0),
              DDERR_INVALIDPARAMS);
    EXPECT_EQ(d->DrawPrimitive(0, D3DFVF_TLVERTEX, v.data(), 3, 0), D3DERR_INVALIDPRIMITIVETYPE);
    EXPECT_EQ(d->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_XYZ | D3DFVF_NORMAL, v.data(), 3, 0),
              D3DERR_INVALIDVERTEXTYPE);

    IDirect3DVertexBuffer* vb = Buffer(16);
    Fill(vb, v);
    WORD indices[3] = {0, 1, 2};
    void* data = nullptr;
    ASSERT_EQ(vb->Lock(DDLOCK_WAIT, &data, nullptr), D3D_OK);
    EXPECT_EQ(vb->Lock(DDLOCK_WAIT, &data, nullptr), D3DERR_VERTEXBUFFERLOCKED);
    EXPECT_EQ(d->DrawIndexedPrimitiveVB(D3DPT_TRIANGLELIST, vb, indices, 3, 0), D3DERR_VERTEXBUFFERLOCKED);
    ASSERT_EQ(vb->Unlock(), D3D_OK);
    EXPECT_EQ(vb->Unlock(), DDERR_NOTLOCKED);
    EXPECT_EQ(d->DrawPrimitiveVB(D3DPT_LINELIST, vb, 10, 8, 0), DDERR_INVALIDPARAMS);

    // A device that is still busy answers so until it is done; the caller repeats the same call.
    dd::FailCall("Device::DrawIndexedPrimitiveVB", DDERR_WASSTILLDRAWING, 2);
    int tries = 1;
    HRESULT hr;
    while ((hr = d->DrawIndexedPrimitiveVB(D3DPT_TRIANGLELIST, vb, indices, 3, 0xC)) == DDERR_WASSTILLDRAWING)
        ++tries;
    EXPECT_EQ(hr, D3D_OK);
    EXPECT_EQ(tries, 3);
    ASSERT_EQ(d->EndScene(), D3D_OK);
    EXPECT_EQ(device->Pixel(2, 2), 0xFFFFFFFFu);

    D3DVERTEXBUFFERDESC desc{sizeof(desc), 0, 0, 0};
    ASSERT_EQ(vb->GetVertexBufferDesc(&desc), D3D_OK);
    EXPECT_EQ(desc.dwFVF, D3DFVF_TLVERTEX);
    EXPECT_EQ(desc.dwNumVertices, 16u);
    D3DVERTEXBUFFERDESC untransformed{sizeof(desc), 0, D3DFVF_XYZ | D3DFVF_NORMAL, 16};
    IDirect3DVertexBuffer* none = nullptr;
    EXPECT_EQ(device->direct3d->CreateVertexBuffer(&untransformed, &none, 0, nullptr), D3DERR_INVALIDVERTEXTYPE);
}

TEST_F(DeviceTest, LineListsDrawFromVertexBuffers) {
    IDirect3DVertexBuffer* vb = Buffer(8);
    Fill(vb, {Vertex(2, 5, .5f, 1, 0xFFFF0000), Vertex(12, 5, .5f, 1, 0xFFFF0000), Vertex(20, 2, .5f, 1, 0xFF00FF00),
              Vertex(20, 12, .5f, 1, 0xFF00FF00)});
    device->Clear(0xFF000000);
    ASSERT_EQ(device->device->BeginScene(), D3D_OK);
    ASSERT_EQ(device->device->DrawPrimitiveVB(D3DPT_LINELIST, vb, 0, 4, 0xC), D3D_OK);
    ASSERT_EQ(device->device->EndScene(), D3D_OK);
    EXPECT_EQ(device->Pixel(7, 5), 0xFFFF0000u);
    EXPECT_EQ(device->Pixel(20, 7), 0xFF00FF00u);
    EXPECT_EQ(device->Pixel(7, 6), 0xFF000000u);
}

TEST_F(DeviceTest, BoundTexturesAreHeldAndChangesToThemAreSeen) {
    IDirectDrawSurface4* t = device->MakeTexture(4, 4, dd::FormatRgb565(), [](int, int, int) { return 0xFFFF0000u; });
    device->SetTexture(0, t);
    device->StageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->StageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    const int live = dd::LiveObjectCount();
    t->Release();
    EXPECT_EQ(dd::LiveObjectCount(), live) << "the device keeps its texture";
    IDirect3DTexture2* bound = nullptr;
    ASSERT_EQ(device->device->GetTexture(0, &bound), D3D_OK);
    ASSERT_NE(bound, nullptr);
    IDirectDrawSurface4* surface = nullptr;
    bound->QueryInterface(IID_IDirectDrawSurface4, reinterpret_cast<void**>(&surface));
    bound->Release();

    ASSERT_EQ(device->DrawRect(0, 0, 32, 32, 0xFFFFFFFF), D3D_OK);
    EXPECT_EQ(device->Pixel(3, 3), 0xFFFF0000u);
    FillSurface(surface, [](int, int) { return 0x001Fu; });
    ASSERT_EQ(device->DrawRect(0, 0, 32, 32, 0xFFFFFFFF), D3D_OK);
    EXPECT_EQ(device->Pixel(3, 3), 0xFF0000FFu) << "new pixels after Unlock";
    surface->Release();
    device->device->SetTexture(0, nullptr);
    EXPECT_EQ(dd::LiveObjectCount(), live - 1) << "released with the binding";
}

TEST_F(DeviceTest, ARenderTargetCanBeBoundAsATexture) {
    // A second target that is also a texture, as an offscreen renderer's buffer image is.
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof(desc);
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    desc.dwWidth = desc.dwHeight = 8;
    desc.ddpfPixelFormat = dd::FormatRgb565();
    desc.ddsCaps.dwCaps = DDSCAPS_3DDEVICE | DDSCAPS_TEXTURE | DDSCAPS_SYSTEMMEMORY;
    IDirectDrawSurface4* surface = nullptr;
    ASSERT_EQ(device->directDraw->CreateSurface(&desc, &surface, nullptr), DD_OK);
    owned.push_back(surface);
    DDBLTFX fx{};
    fx.dwSize = sizeof(fx);
    fx.dwFillColor = 0x07E0;
    ASSERT_EQ(surface->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx), DD_OK);
    device->SetTexture(0, surface);
    device->StageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->StageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    ASSERT_EQ(device->DrawRect(0, 0, 32, 32, 0xFFFFFFFF), D3D_OK);
    EXPECT_EQ(device->Pixel(10, 10), 0xFF00FF00u);
    device->device->SetTexture(0, nullptr);
}

TEST_F(DeviceTest, ViewportsNeedADeviceAndData) {
    IDirect3DViewport3* loose = nullptr;
    ASSERT_EQ(device->direct3d->CreateViewport(&loose, nullptr), D3D_OK);
    owned.push_back(loose);
    D3DRECT r{0, 0, 4, 4};
    EXPECT_EQ(loose->Clear2(1, &r, D3DCLEAR_TARGET, 0, 1, 0), D3DERR_VIEWPORTHASNODEVICE);
    D3DVIEWPORT2 vp{};
    vp.dwSize = sizeof(vp);
    EXPECT_EQ(loose->GetViewport2(&vp), D3DERR_VIEWPORTDATANOTSET);
    EXPECT_EQ(device->device->SetCurrentViewport(loose), D3DERR_INVALIDCURRENTVIEWPORT);
    vp.dwSize = 40;
    EXPECT_EQ(loose->SetViewport2(&vp), DDERR_INVALIDPARAMS) << "the record's size is checked";

    auto flat = SoftDevice::Create({.width = 8, .height = 8, .depth = false});
    ASSERT_NE(flat, nullptr);
    EXPECT_EQ(flat->viewport->Clear2(1, &r, D3DCLEAR_ZBUFFER, 0, 1, 0), D3DERR_ZBUFFER_NOTPRESENT);
    EXPECT_EQ(flat->device->DeleteViewport(flat->viewport), D3D_OK);
    EXPECT_EQ(flat->viewport->Clear2(1, &r, D3DCLEAR_TARGET, 0, 1, 0), D3DERR_VIEWPORTHASNODEVICE);
}

TEST_F(DeviceTest, ALostTargetRefusesScenesUntilRestored) {
    dd::LoseSurface(device->target);
    EXPECT_EQ(device->device->BeginScene(), DDERR_SURFACELOST);
    D3DRECT r{0, 0, 4, 4};
    EXPECT_EQ(device->viewport->Clear2(1, &r, D3DCLEAR_TARGET, 0, 1, 0), DDERR_SURFACELOST);
    ASSERT_EQ(device->target->Restore(), DD_OK);
    EXPECT_EQ(device->device->BeginScene(), D3D_OK);
    EXPECT_EQ(device->device->EndScene(), D3D_OK);
}

// A windowed renderer: a primary surface the size of the desktop with a clipper on the window,
// and the back buffer blitted to the window's place on the screen.
TEST_F(DeviceTest, AWindowedPresentGoesToTheWindowsPlaceOnThePrimary) {
    WNDCLASS wc{};
    wc.lpfnWndProc = DefWindowProc;
    wc.lpszClassName = "Vorn";
    RegisterClass(&wc);
    HWND window = CreateWindowEx(0, "Vorn", "Quorrin", WS_POPUP, 100, 50, 32, 32, nullptr, nullptr, nullptr, nullptr);
    IDirectDraw4* dd4 = device->directDraw;
    ASSERT_EQ(dd4->SetCooperativeLevel(window, DDSCL_NORMAL | DDSCL_MULTITHREADED), DD_OK);
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof(desc);
    desc.dwFlags = DDSD_CAPS;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    IDirectDrawSurface4* primary = nullptr;
    ASSERT_EQ(dd4->CreateSurface(&desc, &primary, nullptr), DD_OK);
    owned.push_back(primary);
    IDirectDrawClipper* clipper = nullptr;
    ASSERT_EQ(dd4->CreateClipper(0, &clipper, nullptr), DD_OK);
    ASSERT_EQ(clipper->SetHWnd(0, window), DD_OK);
    ASSERT_EQ(primary->SetClipper(clipper), DD_OK);
    clipper->Release();
    FillSurface(primary, [](int, int) { return 0u; });

    device->Clear(0xFFFF0000);
    POINT topLeft{0, 0}, bottomRight{32, 32};
    ClientToScreen(window, &topLeft);
    ClientToScreen(window, &bottomRight);
    // One pixel wider than the window: the clipper keeps the blit inside it.
    RECT dest{topLeft.x, topLeft.y, bottomRight.x + 1, bottomRight.y};
    DDBLTFX fx{};
    fx.dwSize = sizeof(fx);
    fx.dwDDFX = DDBLTFX_NOTEARING;
    const int presents = dd::PresentCount();
    ASSERT_EQ(primary->Blt(&dest, device->target, nullptr, DDBLT_WAIT | DDBLT_DDFX, &fx), DD_OK);
    EXPECT_EQ(dd::PresentCount(), presents + 1);
    EXPECT_EQ(RawPixel(primary, 100, 50), 0xF800u);
    EXPECT_EQ(RawPixel(primary, 131, 81), 0xF800u);
    EXPECT_EQ(RawPixel(primary, 132, 60), 0u) << "outside the window";
    EXPECT_EQ(RawPixel(primary, 99, 60), 0u);
}

}  // namespace
