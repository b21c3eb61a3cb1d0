// Palettes, clippers, viewports and vertex buffers: the small objects.

#include <algorithm>
#include <bit>
#include <cstring>

#include "platform/ddraw/objects.h"

namespace platform::dd {

namespace {

template <class I>
HRESULT QuerySingle(I* self, REFIID riid, const IID& own, void** object) {
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (riid != IID_IUnknown && riid != own)
        return E_NOINTERFACE;
    self->AddRef();
    *object = self;
    return S_OK;
}

}  // namespace

// ---- Palette ----------------------------------------------------------------------------------

PaletteImpl::PaletteImpl(DirectDrawImpl* owner, DWORD caps, const PALETTEENTRY* entries)
    : owner_(owner), caps_(caps), revision_(NextRevision()) {
    static_cast<IDirectDraw4*>(owner_)->AddRef();
    if (entries) {
        size_t count = (caps & DDPCAPS_4BIT) ? 16 : 256;
        std::memcpy(entries_.data(), entries, count * sizeof(PALETTEENTRY));
    }
}

PaletteImpl::~PaletteImpl() { static_cast<IDirectDraw4*>(owner_)->Release(); }

ULONG PaletteImpl::Release() {
    ULONG r = --refs_;
    if (r == 0)
        delete this;
    return r;
}

HRESULT PaletteImpl::QueryInterface(REFIID riid, void** object) {
    return QuerySingle(static_cast<IDirectDrawPalette*>(this), riid, IID_IDirectDrawPalette, object);
}

HRESULT PaletteImpl::GetCaps(DWORD* caps) {
    if (!caps)
        return DDERR_INVALIDPARAMS;
    *caps = caps_;
    return DD_OK;
}

HRESULT PaletteImpl::GetEntries(DWORD, DWORD base, DWORD count, PALETTEENTRY* entries) {
    if (!entries || base > 256 || count > 256 - base)
        return DDERR_INVALIDPARAMS;
    std::memcpy(entries, entries_.data() + base, count * sizeof(PALETTEENTRY));
    return DD_OK;
}

HRESULT PaletteImpl::SetEntries(DWORD, DWORD start, DWORD count, const PALETTEENTRY* entries) {
    if (!entries || start > 256 || count > 256 - start)
        return DDERR_INVALIDPARAMS;
    if (HRESULT hr = Injected("Palette::SetEntries"); FAILED(hr))
        return hr;
    std::memcpy(entries_.data() + start, entries, count * sizeof(PALETTEENTRY));
    revision_ = NextRevision();
    SurfaceImpl* primary = GetState().primary;
    if (primary && primary->Palette() == this)
        PresentPrimary(primary);
    return DD_OK;
}

// ---- Clipper ----------------------------------------------------------------------------------

ClipperImpl::ClipperImpl(DirectDrawImpl* owner) : owner_(owner) { static_cast<IDirectDraw4*>(owner_)->AddRef(); }

ClipperImpl::~ClipperImpl() { static_cast<IDirectDraw4*>(owner_)->Release(); }

ULONG ClipperImpl::Release() {
    ULONG r = --refs_;
    if (r == 0)
        delete this;
    return r;
}

HRESULT ClipperImpl::QueryInterface(REFIID riid, void** object) {
    return QuerySingle(static_cast<IDirectDrawClipper*>(this), riid, IID_IDirectDrawClipper, object);
}

HRESULT ClipperImpl::SetHWnd(DWORD, HWND hwnd) {
    if (HRESULT hr = Injected("Clipper::SetHWnd"); FAILED(hr))
        return hr;
    if (hwnd && !IsWindow(hwnd))
        return DDERR_INVALIDPARAMS;
    window_ = hwnd;
    return DD_OK;
}

HRESULT ClipperImpl::GetHWnd(HWND* hwnd) {
    if (!hwnd)
        return DDERR_INVALIDPARAMS;
    *hwnd = window_;
    return DD_OK;
}

HRESULT ClipperImpl::IsClipListChanged(BOOL* changed) {
    if (!changed)
        return DDERR_INVALIDPARAMS;
    *changed = FALSE;
    return DD_OK;
}

HRESULT ClipperImpl::SetClipList(const RGNDATA* clipList, DWORD) {
    if (window_)
        return DDERR_INVALIDPARAMS;
    list_.clear();
    hasList_ = clipList != nullptr;
    if (!clipList)
        return DD_OK;
    if (clipList->rdh.nCount > 4096)
        return DDERR_INVALIDCLIPLIST;
    list_.resize(clipList->rdh.nCount);
    std::memcpy(list_.data(), clipList->Buffer, list_.size() * sizeof(RECT));
    return DD_OK;
}

bool ClipperImpl::ClipRects(std::vector<RECT>* rects) const {
    rects->clear();
    if (window_) {
        RECT client{};
        if (!GetClientRect(window_, &client))
            return true;  // a window that is gone shows nothing
        POINT a{client.left, client.top}, b{client.right, client.bottom};
        ClientToScreen(window_, &a);
        ClientToScreen(window_, &b);
        rects->push_back(RECT{a.x, a.y, b.x, b.y});
        return true;
    }
    if (hasList_) {
        *rects = list_;
        return true;
    }
    return false;
}

HRESULT ClipperImpl::GetClipList(const RECT* rect, RGNDATA* clipList, DWORD* size) {
    if (!size)
        return DDERR_INVALIDPARAMS;
    std::vector<RECT> rects;
    if (!ClipRects(&rects)) {
        SurfaceImpl* primary = GetState().primary;
        const DisplayMode& m = GetState().display.mode;
        rects.push_back(RECT{0, 0, static_cast<LONG>(primary ? primary->Width() : m.width),
                             static_cast<LONG>(primary ? primary->Height() : m.height)});
    }
    if (rect) {
        for (RECT& r : rects)
            r = RECT{std::max(r.left, rect->left), std::max(r.top, rect->top), std::min(r.right, rect->right),
                     std::min(r.bottom, rect->bottom)};
        rects.erase(std::remove_if(rects.begin(), rects.end(),
                                   [](const RECT& r) { return r.left >= r.right || r.top >= r.bottom; }),
                    rects.end());
    }
    const DWORD needed = static_cast<DWORD>(sizeof(RGNDATAHEADER) + rects.size() * sizeof(RECT));
    if (!clipList) {
        *size = needed;
        return DD_OK;
    }
    if (*size < needed)
        return DDERR_INVALIDPARAMS;
    clipList->rdh.dwSize = sizeof(RGNDATAHEADER);
    clipList->rdh.iType = 1;
    clipList->rdh.nCount = static_cast<DWORD>(rects.size());
    clipList->rdh.nRgnSize = static_cast<DWORD>(rects.size() * sizeof(RECT));
    clipList->rdh.rcBound = rects.empty() ? RECT{} : rects.front();
    for (const RECT& r : rects) {
        RECT& b = clipList->rdh.rcBound;
        b = RECT{std::min(b.left, r.left), std::min(b.top, r.top), std::max(b.right, r.right),
                 std::max(b.bottom, r.bottom)};
    }
    std::memcpy(clipList->Buffer, rects.data(), rects.size() * sizeof(RECT));
    return DD_OK;
}

// ---- Vertex buffer ----------------------------------------------------------------------------

VertexBufferImpl::VertexBufferImpl(DirectDrawImpl* owner, const D3DVERTEXBUFFERDESC& desc, DWORD vertexSize)
    : owner_(owner), desc_(desc), vertexSize_(vertexSize), data_(static_cast<size_t>(desc.dwNumVertices) * vertexSize) {
    static_cast<IDirect3D3*>(owner_)->AddRef();
}

VertexBufferImpl::~VertexBufferImpl() { static_cast<IDirect3D3*>(owner_)->Release(); }

ULONG VertexBufferImpl::Release() {
    ULONG r = --refs_;
    if (r == 0)
        delete this;
    return r;
}

HRESULT VertexBufferImpl::QueryInterface(REFIID riid, void** object) {
    return QuerySingle(static_cast<IDirect3DVertexBuffer*>(this), riid, IID_IDirect3DVertexBuffer, object);
}

HRESULT VertexBufferImpl::Lock(DWORD, LPVOID* data, DWORD* size) {
    if (!data)
        return DDERR_INVALIDPARAMS;
    *data = nullptr;
    if (HRESULT hr = Injected("VertexBuffer::Lock"); FAILED(hr))
        return hr;
    if (locked_)
        return D3DERR_VERTEXBUFFERLOCKED;
    locked_ = true;
    *data = data_.data();
    if (size)
        *size = static_cast<DWORD>(data_.size());
    return D3D_OK;
}

HRESULT VertexBufferImpl::Unlock() {
    if (!locked_)
        return DDERR_NOTLOCKED;
    if (HRESULT hr = Injected("VertexBuffer::Unlock"); FAILED(hr))
        return hr;
    locked_ = false;
    return D3D_OK;
}

HRESULT VertexBufferImpl::GetVertexBufferDesc(D3DVERTEXBUFFERDESC* desc) {
    if (!desc || desc->dwSize != sizeof(D3DVERTEXBUFFERDESC))
        return DDERR_INVALIDPARAMS;
    *desc = desc_;
    return D3D_OK;
}

// ---- Viewport ---------------------------------------------------------------------------------

ViewportImpl::ViewportImpl(DirectDrawImpl* owner) : owner_(owner) { static_cast<IDirect3D3*>(owner_)->AddRef(); }

ViewportImpl::~ViewportImpl() { static_cast<IDirect3D3*>(owner_)->Release(); }

ULONG ViewportImpl::Release() {
    ULONG r = --refs_;
    if (r == 0)
        delete this;
    return r;
}

HRESULT ViewportImpl::QueryInterface(REFIID riid, void** object) {
    return QuerySingle(static_cast<IDirect3DViewport3*>(this), riid, IID_IDirect3DViewport3, object);
}

HRESULT ViewportImpl::GetViewport2(D3DVIEWPORT2* viewport) {
    if (!viewport || viewport->dwSize != sizeof(D3DVIEWPORT2))
        return DDERR_INVALIDPARAMS;
    if (!set_)
        return D3DERR_VIEWPORTDATANOTSET;
    *viewport = data_;
    return D3D_OK;
}

HRESULT ViewportImpl::SetViewport2(D3DVIEWPORT2* viewport) {
    if (!viewport || viewport->dwSize != sizeof(D3DVIEWPORT2))
        return DDERR_INVALIDPARAMS;
    if (HRESULT hr = Injected("Viewport::SetViewport2"); FAILED(hr))
        return hr;
    if (viewport->dwWidth == 0 || viewport->dwHeight == 0 || viewport->dwX > 16384 || viewport->dwY > 16384 ||
        viewport->dwWidth > 16384 || viewport->dwHeight > 16384)
        return DDERR_INVALIDPARAMS;
    data_ = *viewport;
    set_ = true;
    return D3D_OK;
}

namespace {

// Pixels x0..x1 of a row become (pixel & keep) | value; whole 16- and 32-bit pixels are simply
// filled when nothing of them is kept (the frame's clears go through here).
void FillRow(uint8_t* row, LONG x0, LONG x1, int bytes, uint32_t keep, uint32_t value) {
    const uint32_t all = bytes >= 4 ? 0xFFFFFFFFu : (1u << (8 * bytes)) - 1;
    if ((keep & all) == 0 && bytes == 2) {
        std::fill_n(reinterpret_cast<uint16_t*>(row) + x0, x1 - x0, static_cast<uint16_t>(value));
    } else if ((keep & all) == 0 && bytes == 4) {
        std::fill_n(reinterpret_cast<uint32_t*>(row) + x0, x1 - x0, value);
    } else {
        for (LONG x = x0; x < x1; ++x) {
            uint8_t* p = row + x * bytes;
            StorePixel(p, bytes, (LoadPixel(p, bytes) & keep) | value);
        }
    }
}

}  // namespace

HRESULT ViewportImpl::Clear2(DWORD count, D3DRECT* rects, DWORD flags, D3DCOLOR color, D3DVALUE z, DWORD stencil) {
    if (count > 0 && !rects)
        return DDERR_INVALIDPARAMS;
    if (HRESULT hr = Injected("Viewport::Clear2"); FAILED(hr))
        return hr;
    if (!device_)
        return D3DERR_VIEWPORTHASNODEVICE;
    if (!set_)
        return D3DERR_VIEWPORTDATANOTSET;
    SurfaceImpl* target = device_->Target();
    if (HRESULT hr = target->CheckUsable(); FAILED(hr))
        return hr;
    SurfaceImpl* depth = target->AttachedDepth();
    if ((flags & (D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) && !depth)
        return D3DERR_ZBUFFER_NOTPRESENT;
    if (depth)
        if (HRESULT hr = depth->CheckUsable(); FAILED(hr))
            return hr;
    if (Tracing()) {
        TraceEvent e;
        e.kind = TraceKind::Clear;
        e.a = flags;
        e.b = color;
        e.z = z;
        e.rects.assign(rects, rects + count);
        AddTrace(std::move(e));
    }
    const LONG vx0 = static_cast<LONG>(data_.dwX), vy0 = static_cast<LONG>(data_.dwY);
    const LONG vx1 = std::min<LONG>(vx0 + static_cast<LONG>(data_.dwWidth), static_cast<LONG>(target->Width()));
    const LONG vy1 = std::min<LONG>(vy0 + static_cast<LONG>(data_.dwHeight), static_cast<LONG>(target->Height()));
    const FormatInfo& tf = target->Info();
    const uint32_t pixel = tf.FromArgb(color);
    uint32_t depthValue = 0, depthMask = 0, stencilValue = 0, stencilMask = 0;
    if (depth) {
        const FormatInfo& df = depth->Info();
        depthValue = df.FromDepth(z);
        depthMask = df.depth.mask;
        const uint32_t all = df.bytes >= 4 ? 0xFFFFFFFFu : (1u << (8 * df.bytes)) - 1;
        stencilMask = (flags & D3DCLEAR_STENCIL) ? all & ~depthMask : 0;
        if (stencilMask)
            stencilValue = (stencil << std::countr_zero(stencilMask)) & stencilMask;
    }
    for (DWORD i = 0; i < count; ++i) {
        const LONG x0 = std::max<LONG>(rects[i].x1, vx0), y0 = std::max<LONG>(rects[i].y1, vy0);
        const LONG x1 = std::min<LONG>(rects[i].x2, vx1), y1 = std::min<LONG>(rects[i].y2, vy1);
        if (x0 >= x1 || y0 >= y1)
            continue;
        for (LONG y = y0; y < y1; ++y) {
            if (flags & D3DCLEAR_TARGET)
                FillRow(target->Bits() + static_cast<ptrdiff_t>(y) * target->Pitch(), x0, x1, tf.bytes, 0, pixel);
            if (depth && (flags & (D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL))) {
                const uint32_t keep = ~(((flags & D3DCLEAR_ZBUFFER) ? depthMask : 0) | stencilMask);
                const uint32_t value = ((flags & D3DCLEAR_ZBUFFER) ? depthValue : 0) | stencilValue;
                FillRow(depth->Bits() + static_cast<ptrdiff_t>(y) * depth->Pitch(), x0, x1, depth->Info().bytes, keep,
                        value);
            }
        }
    }
    if (flags & D3DCLEAR_TARGET)
        target->Touch();
    if (depth && (flags & (D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)))
        depth->Touch();
    return D3D_OK;
}

}  // namespace platform::dd
