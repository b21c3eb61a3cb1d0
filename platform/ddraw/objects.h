#pragma once
// The objects behind the DirectDraw and Direct3D interfaces. Each class implements every version
// of its interface on one object with one reference count (QueryInterface hands out the other
// versions); the Direct3D interface is the DirectDraw object's, and the texture interface the
// surface's, as callers expect.

#include <array>
#include <memory>
#include <vector>

#include "platform/ddraw/d3d.h"
#include "platform/ddraw/format.h"
#include "platform/ddraw/raster.h"
#include "platform/ddraw/state.h"

namespace platform::dd {

class SurfaceImpl;
class PaletteImpl;
class ClipperImpl;
class DeviceImpl;
class ViewportImpl;
class VertexBufferImpl;

// Pixel memory, aligned for the span loops, zero-filled.
struct PixelBuffer {
    std::unique_ptr<uint8_t[]> raw;
    uint8_t* data = nullptr;
    size_t size = 0;

    bool Allocate(size_t bytes);
};

// ---- DirectDraw (and Direct3D) -----------------------------------------------------------------
class DirectDrawImpl final : public IDirectDraw, public IDirectDraw2, public IDirectDraw4, public IDirect3D3 {
public:
    explicit DirectDrawImpl(size_t driverIndex);

    static DirectDrawImpl* From(IDirectDraw4* p) { return static_cast<DirectDrawImpl*>(p); }

    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override;

    HRESULT CreateClipper(DWORD flags, IDirectDrawClipper** clipper, IUnknown* outer) override;
    HRESULT CreatePalette(DWORD flags, PALETTEENTRY* entries, IDirectDrawPalette** palette, IUnknown* outer) override;
    HRESULT CreateSurface(DDSURFACEDESC* desc, IDirectDrawSurface** surface, IUnknown* outer) override;
    HRESULT CreateSurface(DDSURFACEDESC2* desc, IDirectDrawSurface4** surface, IUnknown* outer) override;
    HRESULT EnumDisplayModes(DWORD flags, DDSURFACEDESC* filter, LPVOID context,
                             LPDDENUMMODESCALLBACK callback) override;
    HRESULT EnumDisplayModes(DWORD flags, DDSURFACEDESC2* filter, LPVOID context,
                             LPDDENUMMODESCALLBACK2 callback) override;
    HRESULT FlipToGDISurface() override { return DD_OK; }
    HRESULT GetCaps(DDCAPS* driverCaps, DDCAPS* emulationCaps) override;
    HRESULT GetDisplayMode(DDSURFACEDESC* desc) override;
    HRESULT GetDisplayMode(DDSURFACEDESC2* desc) override;
    HRESULT GetVerticalBlankStatus(BOOL* inBlank) override;
    HRESULT RestoreDisplayMode() override;
    HRESULT SetCooperativeLevel(HWND hwnd, DWORD flags) override;
    HRESULT SetDisplayMode(DWORD width, DWORD height, DWORD bpp) override;
    HRESULT SetDisplayMode(DWORD width, DWORD height, DWORD bpp, DWORD refreshRate, DWORD flags) override;
    HRESULT WaitForVerticalBlank(DWORD flags, HANDLE event) override;
    HRESULT GetAvailableVidMem(DDSCAPS* caps, DWORD* total, DWORD* free) override;
    HRESULT GetAvailableVidMem(DDSCAPS2* caps, DWORD* total, DWORD* free) override;
    HRESULT RestoreAllSurfaces() override;
    HRESULT TestCooperativeLevel() override { return DD_OK; }
    HRESULT GetDeviceIdentifier(DDDEVICEIDENTIFIER* identifier, DWORD flags) override;

    // IDirect3D3
    HRESULT EnumDevices(LPD3DENUMDEVICESCALLBACK callback, LPVOID context) override;
    HRESULT CreateViewport(IDirect3DViewport3** viewport, IUnknown* outer) override;
    HRESULT CreateDevice(REFCLSID device, IDirectDrawSurface4* target, IDirect3DDevice3** result,
                         IUnknown* outer) override;
    HRESULT CreateVertexBuffer(D3DVERTEXBUFFERDESC* desc, IDirect3DVertexBuffer** buffer, DWORD flags,
                               IUnknown* outer) override;
    HRESULT EnumZBufferFormats(REFCLSID device, LPD3DENUMPIXELFORMATSCALLBACK callback, LPVOID context) override;
    HRESULT EvictManagedTextures() override { return D3D_OK; }

    // The window presentation goes to (the cooperative level's).
    HWND Window() const { return window_; }
    const DriverProfile& Driver() const;
    bool HardwareDevice() const;
    // A description of a device this object offers (filled with the profile), false when it does
    // not offer it.
    bool DescribeDevice(const GUID& device, D3DDEVICEDESC* hardware, D3DDEVICEDESC* software) const;

private:
    ~DirectDrawImpl();
    HRESULT ChangeMode(const DisplayMode& mode);

    ULONG refs_ = 1;
    LiveObject live_;
    size_t driver_;
    HWND window_ = nullptr;
    DWORD cooperativeFlags_ = 0;
};

// ---- Surfaces ---------------------------------------------------------------------------------
class SurfaceImpl final : public IDirectDrawSurface2, public IDirectDrawSurface4, public IDirect3DTexture2 {
public:
    static HRESULT Create(DirectDrawImpl* owner, const DDSURFACEDESC2& desc, SurfaceImpl** out);

    static SurfaceImpl* From(IDirectDrawSurface* p) { return static_cast<SurfaceImpl*>(p); }
    static SurfaceImpl* From(IDirectDrawSurface4* p) { return static_cast<SurfaceImpl*>(p); }
    static SurfaceImpl* From(IDirect3DTexture2* p) { return static_cast<SurfaceImpl*>(p); }
    // A surface by any of its interfaces (for the controls, which take IUnknown).
    static SurfaceImpl* FromUnknown(IUnknown* p);
    IDirectDrawSurface4* AsV4() { return this; }

    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;

    // Shared by both interface versions.
    HRESULT GetBltStatus(DWORD flags) override;
    HRESULT GetClipper(IDirectDrawClipper** clipper) override;
    HRESULT GetColorKey(DWORD flags, DDCOLORKEY* key) override;
    HRESULT GetFlipStatus(DWORD flags) override;
    HRESULT GetPalette(IDirectDrawPalette** palette) override;
    HRESULT GetPixelFormat(DDPIXELFORMAT* format) override;
    HRESULT IsLost() override;
    HRESULT Restore() override;
    HRESULT SetClipper(IDirectDrawClipper* clipper) override;
    HRESULT SetColorKey(DWORD flags, DDCOLORKEY* key) override;
    HRESULT SetPalette(IDirectDrawPalette* palette) override;
    HRESULT GetDDInterface(LPVOID* directDraw) override;
    HRESULT PageLock(DWORD) override { return DD_OK; }
    HRESULT PageUnlock(DWORD) override { return DD_OK; }

    // The first version.
    HRESULT AddAttachedSurface(IDirectDrawSurface* surface) override;
    HRESULT Blt(RECT* destRect, IDirectDrawSurface* source, RECT* sourceRect, DWORD flags, DDBLTFX* fx) override;
    HRESULT BltFast(DWORD x, DWORD y, IDirectDrawSurface* source, RECT* sourceRect, DWORD flags) override;
    HRESULT DeleteAttachedSurface(DWORD flags, IDirectDrawSurface* surface) override;
    HRESULT EnumAttachedSurfaces(LPVOID context, LPDDENUMSURFACESCALLBACK callback) override;
    HRESULT Flip(IDirectDrawSurface* target, DWORD flags) override;
    HRESULT GetAttachedSurface(DDSCAPS* caps, IDirectDrawSurface** surface) override;
    HRESULT GetCaps(DDSCAPS* caps) override;
    HRESULT GetSurfaceDesc(DDSURFACEDESC* desc) override;
    HRESULT Lock(RECT* rect, DDSURFACEDESC* desc, DWORD flags, HANDLE event) override;
    HRESULT Unlock(LPVOID surfaceData) override;

    // The fourth version.
    HRESULT AddAttachedSurface(IDirectDrawSurface4* surface) override;
    HRESULT Blt(RECT* destRect, IDirectDrawSurface4* source, RECT* sourceRect, DWORD flags, DDBLTFX* fx) override;
    HRESULT BltFast(DWORD x, DWORD y, IDirectDrawSurface4* source, RECT* sourceRect, DWORD flags) override;
    HRESULT DeleteAttachedSurface(DWORD flags, IDirectDrawSurface4* surface) override;
    HRESULT EnumAttachedSurfaces(LPVOID context, LPDDENUMSURFACESCALLBACK2 callback) override;
    HRESULT Flip(IDirectDrawSurface4* target, DWORD flags) override;
    HRESULT GetAttachedSurface(DDSCAPS2* caps, IDirectDrawSurface4** surface) override;
    HRESULT GetCaps(DDSCAPS2* caps) override;
    HRESULT GetSurfaceDesc(DDSURFACEDESC2* desc) override;
    HRESULT Lock(RECT* rect, DDSURFACEDESC2* desc, DWORD flags, HANDLE event) override;
    HRESULT Unlock(RECT* rect) override;
    HRESULT GetUniquenessValue(DWORD* value) override;
    HRESULT ChangeUniquenessValue() override;

    // IDirect3DTexture2
    HRESULT GetHandle(IDirect3DDevice3* device, DWORD* handle) override;
    HRESULT PaletteChanged(DWORD start, DWORD count) override;
    HRESULT Load(IDirect3DTexture2* source) override;

    // For the rest of the layer.
    DWORD Width() const { return width_; }
    DWORD Height() const { return height_; }
    LONG Pitch() const { return pitch_; }
    uint8_t* Bits() { return buffer_.data; }
    const FormatInfo& Info() const { return info_; }
    const DDPIXELFORMAT& Format() const { return format_; }
    DWORD Caps() const { return caps_.dwCaps; }
    bool Lost() const;
    bool Locked() const { return lockCount_ > 0; }
    bool IsPrimary() const { return (caps_.dwCaps & DDSCAPS_PRIMARYSURFACE) != 0; }
    // A member of the primary surface's flipping chain.
    bool InPrimaryChain() const { return !flipChain_.empty() && flipChain_.front()->IsPrimary(); }
    DirectDrawImpl* Owner() const { return owner_; }
    PaletteImpl* Palette() const { return palette_; }
    ClipperImpl* Clipper() const { return clipper_; }
    SurfaceImpl* AttachedDepth() const;
    SurfaceImpl* NextMipLevel() const { return mipNext_; }
    // The source colour key, when set.
    bool SourceKey(DDCOLORKEY* key) const;
    bool DestKey(DDCOLORKEY* key) const;
    // Marks the pixels changed (texture copies are remade, uniqueness changes).
    void Touch();
    uint64_t Revision() const { return revision_; }
    void SetLost(bool lost);
    // The texture sampled by the rasteriser; remade when the pixels, palette or key changed.
    const raster::TexData* TextureData();
    HRESULT CheckUsable() const;

    // Blits (blit.cpp).
    HRESULT DoBlt(RECT* destRect, SurfaceImpl* source, RECT* sourceRect, DWORD flags, DDBLTFX* fx);
    HRESULT DoBltFast(DWORD x, DWORD y, SurfaceImpl* source, RECT* sourceRect, DWORD flags);

private:
    SurfaceImpl(DirectDrawImpl* owner, SurfaceImpl* root);
    ~SurfaceImpl();

    HRESULT Allocate(DWORD width, DWORD height, const DDPIXELFORMAT& format, DWORD caps);
    void FillDesc(DDSURFACEDESC2* desc) const;
    HRESULT DoLock(RECT* rect, DDSURFACEDESC2* desc, DWORD flags);
    HRESULT DoUnlock();
    HRESULT DoFlip(SurfaceImpl* target);
    HRESULT DoGetAttached(DWORD caps, SurfaceImpl** found);
    HRESULT DoAddAttached(SurfaceImpl* surface);
    HRESULT DoDeleteAttached(SurfaceImpl* surface);
    std::vector<SurfaceImpl*> AttachedList() const;
    void DestroyGroup();

    ULONG refs_ = 1;
    LiveObject live_;
    DirectDrawImpl* owner_ = nullptr;  // holds a reference
    SurfaceImpl* root_ = nullptr;      // the surface that owns this one (null: this owns itself)
    std::vector<SurfaceImpl*> members_;  // implicit surfaces owned by this root
    std::vector<SurfaceImpl*> flipChain_;  // front first, on every member of the chain
    SurfaceImpl* mipNext_ = nullptr;
    std::vector<SurfaceImpl*> attached_;  // explicit attachments, each with a reference
    DDSCAPS2 caps_{};
    DWORD width_ = 0;
    DWORD height_ = 0;
    LONG pitch_ = 0;
    DDPIXELFORMAT format_{};
    FormatInfo info_;
    PixelBuffer buffer_;
    uint64_t videoBytes_ = 0;
    DWORD textureStage_ = 0;
    DWORD mipCount_ = 1;
    bool hasSourceKey_ = false;
    bool hasDestKey_ = false;
    DDCOLORKEY sourceKey_{};
    DDCOLORKEY destKey_{};
    PaletteImpl* palette_ = nullptr;
    ClipperImpl* clipper_ = nullptr;
    int lockCount_ = 0;
    bool lockedForWrite_ = false;
    bool lost_ = false;
    uint64_t revision_ = 0;
    DWORD uniqueness_ = 1;

    // The rasteriser's copy of the texture and what it was made from.
    std::unique_ptr<raster::TexData> texture_;
    std::vector<uint64_t> textureRevisions_;
    uint64_t texturePaletteRevision_ = 0;
};

// ---- Palettes and clippers --------------------------------------------------------------------
class PaletteImpl final : public IDirectDrawPalette {
public:
    PaletteImpl(DirectDrawImpl* owner, DWORD caps, const PALETTEENTRY* entries);

    static PaletteImpl* From(IDirectDrawPalette* p) { return static_cast<PaletteImpl*>(p); }

    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override;
    HRESULT GetCaps(DWORD* caps) override;
    HRESULT GetEntries(DWORD flags, DWORD base, DWORD count, PALETTEENTRY* entries) override;
    HRESULT SetEntries(DWORD flags, DWORD start, DWORD count, const PALETTEENTRY* entries) override;

    const PALETTEENTRY* Entries() const { return entries_.data(); }
    uint64_t Revision() const { return revision_; }

private:
    ~PaletteImpl();

    ULONG refs_ = 1;
    LiveObject live_;
    DirectDrawImpl* owner_;
    DWORD caps_;
    std::array<PALETTEENTRY, 256> entries_{};
    uint64_t revision_;
};

class ClipperImpl final : public IDirectDrawClipper {
public:
    explicit ClipperImpl(DirectDrawImpl* owner);

    static ClipperImpl* From(IDirectDrawClipper* p) { return static_cast<ClipperImpl*>(p); }

    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override;
    HRESULT GetClipList(const RECT* rect, RGNDATA* clipList, DWORD* size) override;
    HRESULT GetHWnd(HWND* hwnd) override;
    HRESULT IsClipListChanged(BOOL* changed) override;
    HRESULT SetClipList(const RGNDATA* clipList, DWORD flags) override;
    HRESULT SetHWnd(DWORD flags, HWND hwnd) override;

    HWND Window() const { return window_; }
    // The rectangles a blit onto the primary surface may touch, in screen coordinates; empty with
    // neither a window nor a list (everything).
    bool ClipRects(std::vector<RECT>* rects) const;

private:
    ~ClipperImpl();

    ULONG refs_ = 1;
    LiveObject live_;
    DirectDrawImpl* owner_;
    HWND window_ = nullptr;
    std::vector<RECT> list_;
    bool hasList_ = false;
};

// ---- Direct3D objects --------------------------------------------------------------------------
class VertexBufferImpl final : public IDirect3DVertexBuffer {
public:
    VertexBufferImpl(DirectDrawImpl* owner, const D3DVERTEXBUFFERDESC& desc, DWORD vertexSize);

    static VertexBufferImpl* From(IDirect3DVertexBuffer* p) { return static_cast<VertexBufferImpl*>(p); }

    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override;
    HRESULT Lock(DWORD flags, LPVOID* data, DWORD* size) override;
    HRESULT Unlock() override;
    HRESULT GetVertexBufferDesc(D3DVERTEXBUFFERDESC* desc) override;
    HRESULT Optimize(IDirect3DDevice3*, DWORD) override { return D3D_OK; }

    const uint8_t* Data() const { return data_.data(); }
    DWORD Count() const { return desc_.dwNumVertices; }
    DWORD Format() const { return desc_.dwFVF; }
    DWORD VertexSize() const { return vertexSize_; }
    bool Locked() const { return locked_; }

private:
    ~VertexBufferImpl();

    ULONG refs_ = 1;
    LiveObject live_;
    DirectDrawImpl* owner_;
    D3DVERTEXBUFFERDESC desc_;
    DWORD vertexSize_;
    std::vector<uint8_t> data_;
    bool locked_ = false;
};

class ViewportImpl final : public IDirect3DViewport3 {
public:
    explicit ViewportImpl(DirectDrawImpl* owner);

    static ViewportImpl* From(IDirect3DViewport3* p) { return static_cast<ViewportImpl*>(p); }

    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override;
    HRESULT GetViewport2(D3DVIEWPORT2* viewport) override;
    HRESULT SetViewport2(D3DVIEWPORT2* viewport) override;
    HRESULT Clear2(DWORD count, D3DRECT* rects, DWORD flags, D3DCOLOR color, D3DVALUE z, DWORD stencil) override;

    bool HasData() const { return set_; }
    const D3DVIEWPORT2& Data() const { return data_; }
    DeviceImpl* Device() const { return device_; }
    void SetDevice(DeviceImpl* device) { device_ = device; }

private:
    ~ViewportImpl();

    ULONG refs_ = 1;
    LiveObject live_;
    DirectDrawImpl* owner_;
    D3DVIEWPORT2 data_{};
    bool set_ = false;
    DeviceImpl* device_ = nullptr;  // the device it was added to (no reference)
};

class DeviceImpl final : public IDirect3DDevice3 {
public:
    DeviceImpl(DirectDrawImpl* owner, const GUID& kind, SurfaceImpl* target);

    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override;
    HRESULT GetCaps(D3DDEVICEDESC* hardware, D3DDEVICEDESC* software) override;
    HRESULT AddViewport(IDirect3DViewport3* viewport) override;
    HRESULT DeleteViewport(IDirect3DViewport3* viewport) override;
    HRESULT EnumTextureFormats(LPD3DENUMPIXELFORMATSCALLBACK callback, LPVOID context) override;
    HRESULT BeginScene() override;
    HRESULT EndScene() override;
    HRESULT GetDirect3D(IDirect3D3** direct3d) override;
    HRESULT SetCurrentViewport(IDirect3DViewport3* viewport) override;
    HRESULT GetCurrentViewport(IDirect3DViewport3** viewport) override;
    HRESULT SetRenderTarget(IDirectDrawSurface4* target, DWORD flags) override;
    HRESULT GetRenderTarget(IDirectDrawSurface4** target) override;
    HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) override;
    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
    HRESULT GetLightState(D3DLIGHTSTATETYPE state, DWORD* value) override;
    HRESULT SetLightState(D3DLIGHTSTATETYPE state, DWORD value) override;
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) override;
    HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) override;
    HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, DWORD vertexFormat, LPVOID vertices, DWORD vertexCount,
                          DWORD flags) override;
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, DWORD vertexFormat, LPVOID vertices, DWORD vertexCount,
                                 WORD* indices, DWORD indexCount, DWORD flags) override;
    HRESULT DrawPrimitiveVB(D3DPRIMITIVETYPE type, IDirect3DVertexBuffer* buffer, DWORD startVertex,
                            DWORD vertexCount, DWORD flags) override;
    HRESULT DrawIndexedPrimitiveVB(D3DPRIMITIVETYPE type, IDirect3DVertexBuffer* buffer, WORD* indices,
                                   DWORD indexCount, DWORD flags) override;
    HRESULT GetTexture(DWORD stage, IDirect3DTexture2** texture) override;
    HRESULT SetTexture(DWORD stage, IDirect3DTexture2* texture) override;
    HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE state, DWORD* value) override;
    HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE state, DWORD value) override;
    HRESULT ValidateDevice(DWORD* passes) override;

    SurfaceImpl* Target() const { return target_; }
    void ForgetViewport(ViewportImpl* viewport);
    // Whether the last draw went through a specialised span loop.
    bool LastDrawSpecialised() const { return rasterizer_.UsesSpecialisedSpans(); }

private:
    ~DeviceImpl();

    HRESULT Draw(const char* operation, D3DPRIMITIVETYPE type, DWORD format, const uint8_t* vertices,
                 DWORD vertexCount, const WORD* indices, DWORD indexCount, DWORD flags);
    bool PrepareRaster();
    void Rasterize(D3DPRIMITIVETYPE type, DWORD format, const uint8_t* vertices, DWORD vertexCount,
                   const WORD* indices, DWORD indexCount);

    ULONG refs_ = 1;
    LiveObject live_;
    DirectDrawImpl* owner_;
    GUID kind_;
    SurfaceImpl* target_;
    std::vector<ViewportImpl*> viewports_;
    ViewportImpl* current_ = nullptr;
    std::array<DWORD, kD3DRenderStateCount> renderStates_{};
    std::array<DWORD, kD3DLightStateCount> lightStates_{};
    std::array<std::array<DWORD, kD3DStageStateCount>, kD3DMaxTextureStages> stageStates_{};
    std::array<SurfaceImpl*, kD3DMaxTextureStages> textures_{};
    std::array<D3DMATRIX, 4> transforms_{};
    bool inScene_ = false;
    raster::Rasterizer rasterizer_;
};

// The surface description of the first interfaces to that of the fourth and back.
DDSURFACEDESC2 ToDesc2(const DDSURFACEDESC& desc);
void ToDesc1(const DDSURFACEDESC2& in, DDSURFACEDESC* out);
// A call of the first interfaces answered by its fourth-version form: `fill` gets a fourth-version
// record, the caller its content in the first-version one.
template <class Fill>
HRESULT AnswerInDesc1(DDSURFACEDESC* desc, Fill fill) {
    if (!desc || !SizeOk(desc->dwSize, sizeof(DDSURFACEDESC), kDDSurfaceDescSize32))
        return DDERR_INVALIDPARAMS;
    DDSURFACEDESC2 d2{};
    d2.dwSize = sizeof(d2);
    HRESULT hr = fill(&d2);
    if (SUCCEEDED(hr))
        ToDesc1(d2, desc);
    return hr;
}

// The devices' descriptions for a profile.
D3DDEVICEDESC MakeDeviceDesc(const CapsProfile& profile, bool hardware);
// The size in bytes of a vertex of a flexible format; 0 when we cannot draw it.
DWORD VertexSize(DWORD format);
// Shows the primary surface in its window (SDL) or only counts the frame (headless).
void PresentPrimary(SurfaceImpl* primary);

}  // namespace platform::dd
