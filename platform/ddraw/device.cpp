// The 3D device: render, light and texture stage states, textures, viewports, scenes, validation,
// and the draw calls that hand pre-transformed vertices to the rasteriser.

#include <algorithm>
#include <cstring>

#include "platform/ddraw/objects.h"

namespace platform::dd {

namespace {

bool ValidPrimitive(D3DPRIMITIVETYPE type) { return type >= D3DPT_POINTLIST && type <= D3DPT_TRIANGLEFAN; }

DWORD OpCapBit(DWORD op) { return op >= 1 && op <= 32 ? 1u << (op - 1) : 0; }

bool ReadsTexture(const DWORD* st) {
    auto reads = [](DWORD arg) { return (arg & D3DTA_SELECTMASK) == D3DTA_TEXTURE; };
    return reads(st[D3DTSS_COLORARG1]) || reads(st[D3DTSS_COLORARG2]) ||
           st[D3DTSS_COLOROP] == D3DTOP_BLENDTEXTUREALPHA || st[D3DTSS_COLOROP] == D3DTOP_BLENDTEXTUREALPHAPM ||
           (st[D3DTSS_ALPHAOP] != D3DTOP_DISABLE && (reads(st[D3DTSS_ALPHAARG1]) || reads(st[D3DTSS_ALPHAARG2])));
}

// What the profile's caps allow: operations, stage and texture counts, filters, addressing.
HRESULT DefaultValidate(const DeviceView& view, const CapsProfile& p, DWORD* passes) {
    int stages = 0, textures = 0;
    for (const StageView& s : view.stages) {
        const DWORD* st = s.states;
        if (st[D3DTSS_COLOROP] == D3DTOP_DISABLE)
            break;
        ++stages;
        if (!(p.textureOpCaps & OpCapBit(st[D3DTSS_COLOROP])))
            return D3DERR_UNSUPPORTEDCOLOROPERATION;
        if (st[D3DTSS_ALPHAOP] != D3DTOP_DISABLE && !(p.textureOpCaps & OpCapBit(st[D3DTSS_ALPHAOP])))
            return D3DERR_UNSUPPORTEDALPHAOPERATION;
        if (s.hasTexture && ReadsTexture(st))
            ++textures;
        const DWORD filters = p.textureFilterCaps;
        if (st[D3DTSS_MAGFILTER] == D3DTFG_LINEAR &&
            !(filters & (D3DPTFILTERCAPS_MAGFLINEAR | D3DPTFILTERCAPS_LINEAR)))
            return D3DERR_UNSUPPORTEDTEXTUREFILTER;
        if (st[D3DTSS_MINFILTER] == D3DTFN_LINEAR &&
            !(filters & (D3DPTFILTERCAPS_MINFLINEAR | D3DPTFILTERCAPS_LINEAR)))
            return D3DERR_UNSUPPORTEDTEXTUREFILTER;
        if (st[D3DTSS_MIPFILTER] == D3DTFP_LINEAR &&
            !(filters & (D3DPTFILTERCAPS_MIPFLINEAR | D3DPTFILTERCAPS_MIPLINEAR | D3DPTFILTERCAPS_LINEARMIPLINEAR)))
            return D3DERR_UNSUPPORTEDTEXTUREFILTER;
        if (st[D3DTSS_MIPFILTER] == D3DTFP_POINT &&
            !(filters & (D3DPTFILTERCAPS_MIPFPOINT | D3DPTFILTERCAPS_MIPNEAREST | D3DPTFILTERCAPS_LINEARMIPNEAREST)))
            return D3DERR_UNSUPPORTEDTEXTUREFILTER;
        for (DWORD address : {st[D3DTSS_ADDRESSU], st[D3DTSS_ADDRESSV]}) {
            if (address == D3DTADDRESS_CLAMP && !(p.textureAddressCaps & D3DPTADDRESSCAPS_CLAMP))
                return D3DERR_CONFLICTINGRENDERSTATE;
            if (address == D3DTADDRESS_MIRROR && !(p.textureAddressCaps & D3DPTADDRESSCAPS_MIRROR))
                return D3DERR_CONFLICTINGRENDERSTATE;
        }
        if (st[D3DTSS_ADDRESSU] != st[D3DTSS_ADDRESSV] && !(p.textureAddressCaps & D3DPTADDRESSCAPS_INDEPENDENTUV))
            return D3DERR_CONFLICTINGRENDERSTATE;
    }
    if (stages > p.maxTextureBlendStages)
        return D3DERR_TOOMANYOPERATIONS;
    if (textures > p.maxSimultaneousTextures)
        return D3DERR_TOOMANYOPERATIONS;
    *passes = 1;
    return D3D_OK;
}

TraceEvent Event(TraceKind kind, DWORD a = 0, DWORD b = 0, DWORD c = 0) {
    TraceEvent e;
    e.kind = kind;
    e.a = a;
    e.b = b;
    e.c = c;
    return e;
}

struct VertexLayout {
    DWORD size = 0;
    DWORD diffuse = 0;  // offsets, 0 when absent
    DWORD specular = 0;
    DWORD texture = 0;
    DWORD sets = 0;

    explicit VertexLayout(DWORD format) {
        size = VertexSize(format);
        DWORD offset = 16;
        if (format & D3DFVF_RESERVED1)
            offset += 4;
        if (format & D3DFVF_DIFFUSE) {
            diffuse = offset;
            offset += 4;
        }
        if (format & D3DFVF_SPECULAR) {
            specular = offset;
            offset += 4;
        }
        sets = (format & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
        texture = offset;
    }

    raster::Vertex Decode(const uint8_t* p) const {
        raster::Vertex v;
        std::memcpy(&v.x, p, 16);
        v.diffuse = 0xFFFFFFFFu;
        v.specular = 0xFF000000u;
        if (diffuse)
            std::memcpy(&v.diffuse, p + diffuse, 4);
        if (specular)
            std::memcpy(&v.specular, p + specular, 4);
        std::memset(v.tex, 0, sizeof(v.tex));
        for (DWORD set = 0; set < sets && set < 2; ++set)
            std::memcpy(v.tex[set], p + texture + 8 * set, 8);
        return v;
    }
};

}  // namespace

DeviceImpl::DeviceImpl(DirectDrawImpl* owner, const GUID& kind, SurfaceImpl* target)
    : owner_(owner), kind_(kind), target_(target) {
    static_cast<IDirect3D3*>(owner_)->AddRef();
    target_->AddRef();
    DWORD* rs = renderStates_.data();
    rs[D3DRENDERSTATE_TEXTUREPERSPECTIVE] = TRUE;
    rs[D3DRENDERSTATE_ZENABLE] = target_->AttachedDepth() ? TRUE : FALSE;
    rs[D3DRENDERSTATE_FILLMODE] = D3DFILL_SOLID;
    rs[D3DRENDERSTATE_SHADEMODE] = D3DSHADE_GOURAUD;
    rs[D3DRENDERSTATE_ZWRITEENABLE] = TRUE;
    rs[D3DRENDERSTATE_SRCBLEND] = D3DBLEND_ONE;
    rs[D3DRENDERSTATE_DESTBLEND] = D3DBLEND_ZERO;
    rs[D3DRENDERSTATE_CULLMODE] = D3DCULL_CCW;
    rs[D3DRENDERSTATE_ZFUNC] = D3DCMP_LESSEQUAL;
    rs[D3DRENDERSTATE_ALPHAFUNC] = D3DCMP_ALWAYS;
    rs[D3DRENDERSTATE_FOGTABLEEND] = D3DValueBits(1.0f);
    rs[D3DRENDERSTATE_FOGTABLEDENSITY] = D3DValueBits(1.0f);
    rs[D3DRENDERSTATE_TEXTUREFACTOR] = 0xFFFFFFFFu;
    rs[D3DRENDERSTATE_PLANEMASK] = 0xFFFFFFFFu;
    for (DWORD s = 0; s < kD3DMaxTextureStages; ++s) {
        DWORD* st = stageStates_[s].data();
        st[D3DTSS_COLOROP] = s == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
        st[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
        st[D3DTSS_COLORARG2] = D3DTA_CURRENT;
        st[D3DTSS_ALPHAOP] = s == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
        st[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
        st[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
        st[D3DTSS_TEXCOORDINDEX] = s;
        st[D3DTSS_ADDRESS] = st[D3DTSS_ADDRESSU] = st[D3DTSS_ADDRESSV] = D3DTADDRESS_WRAP;
        st[D3DTSS_MAGFILTER] = D3DTFG_POINT;
        st[D3DTSS_MINFILTER] = D3DTFN_POINT;
        st[D3DTSS_MIPFILTER] = D3DTFP_NONE;
    }
}

DeviceImpl::~DeviceImpl() {
    for (ViewportImpl* v : viewports_) {
        v->SetDevice(nullptr);
        static_cast<IDirect3DViewport3*>(v)->Release();
    }
    for (SurfaceImpl*& t : textures_)
        if (t)
            static_cast<IDirect3DTexture2*>(t)->Release();
    static_cast<IDirectDrawSurface4*>(target_)->Release();
    static_cast<IDirect3D3*>(owner_)->Release();
}

ULONG DeviceImpl::Release() {
    ULONG r = --refs_;
    if (r == 0)
        delete this;
    return r;
}

HRESULT DeviceImpl::QueryInterface(REFIID riid, void** object) {
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (riid != IID_IUnknown && riid != IID_IDirect3DDevice3)
        return E_NOINTERFACE;
    AddRef();
    *object = static_cast<IDirect3DDevice3*>(this);
    return S_OK;
}

HRESULT DeviceImpl::GetCaps(D3DDEVICEDESC* hardware, D3DDEVICEDESC* software) {
    if ((!hardware && !software) || (hardware && hardware->dwSize != sizeof(D3DDEVICEDESC)) ||
        (software && software->dwSize != sizeof(D3DDEVICEDESC)))
        return DDERR_INVALIDPARAMS;
    if (HRESULT hr = Injected("Device::GetCaps"); FAILED(hr))
        return hr;
    D3DDEVICEDESC hw, sw;
    owner_->DescribeDevice(kind_, &hw, &sw);
    if (hardware)
        *hardware = hw;
    if (software)
        *software = sw;
    return D3D_OK;
}

HRESULT DeviceImpl::AddViewport(IDirect3DViewport3* viewport) {
    if (!viewport)
        return DDERR_INVALIDPARAMS;
    if (HRESULT hr = Injected("Device::AddViewport"); FAILED(hr))
        return hr;
    ViewportImpl* v = ViewportImpl::From(viewport);
    if (v->Device())
        return DDERR_INVALIDPARAMS;
    viewport->AddRef();
    viewports_.push_back(v);
    v->SetDevice(this);
    return D3D_OK;
}

void DeviceImpl::ForgetViewport(ViewportImpl* viewport) {
    auto it = std::find(viewports_.begin(), viewports_.end(), viewport);
    if (it == viewports_.end())
        return;
    viewports_.erase(it);
    if (current_ == viewport)
        current_ = nullptr;
    viewport->SetDevice(nullptr);
    static_cast<IDirect3DViewport3*>(viewport)->Release();
}

HRESULT DeviceImpl::DeleteViewport(IDirect3DViewport3* viewport) {
    if (!viewport)
        return DDERR_INVALIDPARAMS;
    ViewportImpl* v = ViewportImpl::From(viewport);
    if (std::find(viewports_.begin(), viewports_.end(), v) == viewports_.end())
        return DDERR_INVALIDPARAMS;
    ForgetViewport(v);
    return D3D_OK;
}

HRESULT DeviceImpl::SetCurrentViewport(IDirect3DViewport3* viewport) {
    if (!viewport)
        return DDERR_INVALIDPARAMS;
    if (HRESULT hr = Injected("Device::SetCurrentViewport"); FAILED(hr))
        return hr;
    ViewportImpl* v = ViewportImpl::From(viewport);
    if (std::find(viewports_.begin(), viewports_.end(), v) == viewports_.end())
        return D3DERR_INVALIDCURRENTVIEWPORT;
    current_ = v;
    return D3D_OK;
}

HRESULT DeviceImpl::GetCurrentViewport(IDirect3DViewport3** viewport) {
    if (!viewport)
        return DDERR_INVALIDPARAMS;
    *viewport = current_;
    if (!current_)
        return D3DERR_INVALIDCURRENTVIEWPORT;
    current_->AddRef();
    return D3D_OK;
}

HRESULT DeviceImpl::EnumTextureFormats(LPD3DENUMPIXELFORMATSCALLBACK callback, LPVOID context) {
    if (!callback)
        return DDERR_INVALIDPARAMS;
    if (HRESULT hr = Injected("Device::EnumTextureFormats"); FAILED(hr))
        return hr;
    const std::vector<DDPIXELFORMAT> formats = GetState().profile.textureFormats;
    for (DDPIXELFORMAT f : formats)
        if (callback(&f, context) == D3DENUMRET_CANCEL)
            break;
    return D3D_OK;
}

HRESULT DeviceImpl::BeginScene() {
    if (HRESULT hr = Injected("Device::BeginScene"); FAILED(hr))
        return hr;
    if (inScene_)
        return D3DERR_SCENE_IN_SCENE;
    if (HRESULT hr = target_->CheckUsable(); FAILED(hr))
        return hr;
    inScene_ = true;
    if (Tracing())
        AddTrace(Event(TraceKind::BeginScene));
    return D3D_OK;
}

HRESULT DeviceImpl::EndScene() {
    if (HRESULT hr = Injected("Device::EndScene"); FAILED(hr))
        return hr;
    if (!inScene_)
        return D3DERR_SCENE_NOT_IN_SCENE;
    inScene_ = false;
    if (Tracing())
        AddTrace(Event(TraceKind::EndScene));
    return D3D_OK;
}

HRESULT DeviceImpl::GetDirect3D(IDirect3D3** direct3d) {
    if (!direct3d)
        return DDERR_INVALIDPARAMS;
    IDirect3D3* d = owner_;
    d->AddRef();
    *direct3d = d;
    return D3D_OK;
}

HRESULT DeviceImpl::SetRenderTarget(IDirectDrawSurface4* target, DWORD) {
    if (!target)
        return DDERR_INVALIDPARAMS;
    SurfaceImpl* t = SurfaceImpl::From(target);
    if (!(t->Caps() & DDSCAPS_3DDEVICE) || t->Info().kind != PixelKind::Rgb)
        return DDERR_INVALIDCAPS;
    target->AddRef();
    static_cast<IDirectDrawSurface4*>(target_)->Release();
    target_ = t;
    return D3D_OK;
}

HRESULT DeviceImpl::GetRenderTarget(IDirectDrawSurface4** target) {
    if (!target)
        return DDERR_INVALIDPARAMS;
    target_->AddRef();
    *target = target_->AsV4();
    return D3D_OK;
}

HRESULT DeviceImpl::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) {
    if (!value || state >= kD3DRenderStateCount)
        return DDERR_INVALIDPARAMS;
    *value = renderStates_[state];
    return D3D_OK;
}

HRESULT DeviceImpl::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
    if (state == 0 || state >= kD3DRenderStateCount)
        return DDERR_INVALIDPARAMS;
    if (HRESULT hr = Injected("Device::SetRenderState"); FAILED(hr))
        return hr;
    renderStates_[state] = value;
    // The older single-stage states reach stage 0.
    if (state == D3DRENDERSTATE_TEXTUREADDRESS) {
        stageStates_[0][D3DTSS_ADDRESS] = stageStates_[0][D3DTSS_ADDRESSU] = stageStates_[0][D3DTSS_ADDRESSV] = value;
    } else if (state == D3DRENDERSTATE_TEXTUREADDRESSU) {
        stageStates_[0][D3DTSS_ADDRESSU] = value;
    } else if (state == D3DRENDERSTATE_TEXTUREADDRESSV) {
        stageStates_[0][D3DTSS_ADDRESSV] = value;
    }
    if (Tracing())
        AddTrace(Event(TraceKind::RenderState, state, value));
    return D3D_OK;
}

HRESULT DeviceImpl::GetLightState(D3DLIGHTSTATETYPE state, DWORD* value) {
    if (!value || state >= kD3DLightStateCount)
        return DDERR_INVALIDPARAMS;
    *value = lightStates_[state];
    return D3D_OK;
}

HRESULT DeviceImpl::SetLightState(D3DLIGHTSTATETYPE state, DWORD value) {
    if (state == 0 || state >= kD3DLightStateCount)
        return DDERR_INVALIDPARAMS;
    if (HRESULT hr = Injected("Device::SetLightState"); FAILED(hr))
        return hr;
    lightStates_[state] = value;
    if (Tracing())
        AddTrace(Event(TraceKind::LightState, state, value));
    return D3D_OK;
}

HRESULT DeviceImpl::SetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) {
    if (!matrix || state < D3DTRANSFORMSTATE_WORLD || state > D3DTRANSFORMSTATE_PROJECTION)
        return DDERR_INVALIDPARAMS;
    if (HRESULT hr = Injected("Device::SetTransform"); FAILED(hr))
        return hr;
    transforms_[state] = *matrix;
    if (Tracing())
        AddTrace(Event(TraceKind::Transform, state));
    return D3D_OK;
}

HRESULT DeviceImpl::GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) {
    if (!matrix || state < D3DTRANSFORMSTATE_WORLD || state > D3DTRANSFORMSTATE_PROJECTION)
        return DDERR_INVALIDPARAMS;
    *matrix = transforms_[state];
    return D3D_OK;
}

HRESULT DeviceImpl::GetTexture(DWORD stage, IDirect3DTexture2** texture) {
    if (!texture || stage >= kD3DMaxTextureStages)
        return DDERR_INVALIDPARAMS;
    SurfaceImpl* t = textures_[stage];
    *texture = t;
    if (t)
        t->AddRef();
    return D3D_OK;
}

HRESULT DeviceImpl::SetTexture(DWORD stage, IDirect3DTexture2* texture) {
    if (stage >= kD3DMaxTextureStages)
        return DDERR_INVALIDPARAMS;
    if (HRESULT hr = Injected("Device::SetTexture"); FAILED(hr))
        return hr;
    SurfaceImpl* t = texture ? SurfaceImpl::From(texture) : nullptr;
    if (t != textures_[stage]) {
        if (texture)
            texture->AddRef();
        if (textures_[stage])
            static_cast<IDirect3DTexture2*>(textures_[stage])->Release();
        textures_[stage] = t;
    }
    if (Tracing()) {
        TraceEvent e = Event(TraceKind::SetTexture, stage);
        e.texture = t ? static_cast<const void*>(t->AsV4()) : nullptr;
        AddTrace(std::move(e));
    }
    return D3D_OK;
}

HRESULT DeviceImpl::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE state, DWORD* value) {
    if (!value || stage >= kD3DMaxTextureStages || state == 0 || state >= kD3DStageStateCount)
        return DDERR_INVALIDPARAMS;
    *value = stageStates_[stage][state];
    return D3D_OK;
}

HRESULT DeviceImpl::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE state, DWORD value) {
    if (stage >= kD3DMaxTextureStages || state == 0 || state >= kD3DStageStateCount)
        return DDERR_INVALIDPARAMS;
    if (HRESULT hr = Injected("Device::SetTextureStageState"); FAILED(hr))
        return hr;
    stageStates_[stage][state] = value;
    if (state == D3DTSS_ADDRESS)
        stageStates_[stage][D3DTSS_ADDRESSU] = stageStates_[stage][D3DTSS_ADDRESSV] = value;
    if (Tracing())
        AddTrace(Event(TraceKind::StageState, stage, state, value));
    return D3D_OK;
}

HRESULT DeviceImpl::ValidateDevice(DWORD* passes) {
    if (!passes)
        return DDERR_INVALIDPARAMS;
    *passes = 0;
    HRESULT hr = Injected("Device::ValidateDevice");
    if (SUCCEEDED(hr)) {
        DeviceView view{};
        view.device = &kind_;
        view.renderStates = renderStates_.data();
        for (DWORD s = 0; s < kD3DMaxTextureStages; ++s) {
            std::memcpy(view.stages[s].states, stageStates_[s].data(), sizeof(view.stages[s].states));
            view.stages[s].hasTexture = textures_[s] != nullptr;
            if (textures_[s])
                view.stages[s].textureFormat = textures_[s]->Format();
        }
        const CapsProfile& profile = GetState().profile;
        hr = profile.validate ? profile.validate(view, passes) : DefaultValidate(view, profile, passes);
    }
    if (Tracing())
        AddTrace(Event(TraceKind::Validate, *passes, static_cast<DWORD>(hr)));
    return hr;
}

// ---- Drawing ----------------------------------------------------------------------------------

bool DeviceImpl::PrepareRaster() {
    raster::DrawSetup d;
    SurfaceImpl* t = target_;
    d.target.color = t->Bits();
    d.target.pitch = t->Pitch();
    d.target.format = t->Info();
    d.target.width = static_cast<int>(t->Width());
    d.target.height = static_cast<int>(t->Height());
    if (SurfaceImpl* z = t->AttachedDepth(); z && !z->Lost()) {
        d.target.depth = z->Bits();
        d.target.depthPitch = z->Pitch();
        d.target.depthFormat = z->Info();
        z->Touch();
    }
    if (current_ && current_->HasData()) {
        const D3DVIEWPORT2& v = current_->Data();
        d.clipLeft = static_cast<int>(v.dwX);
        d.clipTop = static_cast<int>(v.dwY);
        d.clipRight = static_cast<int>(v.dwX + v.dwWidth);
        d.clipBottom = static_cast<int>(v.dwY + v.dwHeight);
    } else {
        d.clipRight = d.target.width;
        d.clipBottom = d.target.height;
    }
    const DWORD* rs = renderStates_.data();
    d.cullMode = rs[D3DRENDERSTATE_CULLMODE];
    d.fillMode = rs[D3DRENDERSTATE_FILLMODE];
    d.shadeMode = rs[D3DRENDERSTATE_SHADEMODE];
    d.zEnable = rs[D3DRENDERSTATE_ZENABLE] != 0;
    d.zWrite = rs[D3DRENDERSTATE_ZWRITEENABLE] != 0;
    d.zFunc = rs[D3DRENDERSTATE_ZFUNC];
    d.zBias = std::min<DWORD>(rs[D3DRENDERSTATE_ZBIAS], 16);
    d.alphaTest = rs[D3DRENDERSTATE_ALPHATESTENABLE] != 0;
    d.alphaFunc = rs[D3DRENDERSTATE_ALPHAFUNC];
    d.alphaRef = rs[D3DRENDERSTATE_ALPHAREF];
    d.blend = rs[D3DRENDERSTATE_ALPHABLENDENABLE] != 0;
    d.srcBlend = rs[D3DRENDERSTATE_SRCBLEND];
    d.destBlend = rs[D3DRENDERSTATE_DESTBLEND];
    d.fog = rs[D3DRENDERSTATE_FOGENABLE] != 0;
    d.fogTableMode = rs[D3DRENDERSTATE_FOGTABLEMODE];
    d.fogColor = rs[D3DRENDERSTATE_FOGCOLOR];
    d.fogStart = D3DValueFromBits(rs[D3DRENDERSTATE_FOGTABLESTART]);
    d.fogEnd = D3DValueFromBits(rs[D3DRENDERSTATE_FOGTABLEEND]);
    d.fogDensity = D3DValueFromBits(rs[D3DRENDERSTATE_FOGTABLEDENSITY]);
    d.specular = rs[D3DRENDERSTATE_SPECULARENABLE] != 0;
    d.colorKey = rs[D3DRENDERSTATE_COLORKEYENABLE] != 0;
    // Set, the state leaves out the last pixel of each line.
    d.lastPixel = rs[D3DRENDERSTATE_LASTPIXEL] == 0;
    d.perspective = rs[D3DRENDERSTATE_TEXTUREPERSPECTIVE] != 0;
    d.textureFactor = rs[D3DRENDERSTATE_TEXTUREFACTOR];
    for (DWORD s = 0; s < kD3DMaxTextureStages; ++s) {
        const DWORD* st = stageStates_[s].data();
        raster::StageSetup& out = d.stages[s];
        out.colorOp = st[D3DTSS_COLOROP];
        out.colorArg1 = st[D3DTSS_COLORARG1];
        out.colorArg2 = st[D3DTSS_COLORARG2];
        out.alphaOp = st[D3DTSS_ALPHAOP];
        out.alphaArg1 = st[D3DTSS_ALPHAARG1];
        out.alphaArg2 = st[D3DTSS_ALPHAARG2];
        SurfaceImpl* tex = textures_[s];
        out.texture = tex && !tex->Lost() ? tex->TextureData() : nullptr;
        const DWORD set = st[D3DTSS_TEXCOORDINDEX] & 0xFFFF;
        out.coordSet = set < 2 ? static_cast<int>(set) : 0;
        out.addressU = st[D3DTSS_ADDRESSU];
        out.addressV = st[D3DTSS_ADDRESSV];
        out.magFilter = st[D3DTSS_MAGFILTER];
        out.minFilter = st[D3DTSS_MINFILTER];
        out.mipFilter = st[D3DTSS_MIPFILTER];
        out.lodBias = D3DValueFromBits(st[D3DTSS_MIPMAPLODBIAS]);
        if (!(out.lodBias > -16.0f && out.lodBias < 16.0f))
            out.lodBias = 0;
        out.maxMipLevel = static_cast<int>(std::min<DWORD>(st[D3DTSS_MAXMIPLEVEL], raster::kMaxLevels - 1));
    }
    d.forceGeneral = GetState().forceGeneralRaster;
    return rasterizer_.Begin(d);
}

void DeviceImpl::Rasterize(D3DPRIMITIVETYPE type, DWORD format, const uint8_t* vertices, DWORD vertexCount,
                           const WORD* indices, DWORD indexCount) {
    if (kind_ == IID_IDirect3DNullDevice || !GetState().rasterizing || !PrepareRaster())
        return;
    GetState().lastDrawSpecialised = rasterizer_.UsesSpecialisedSpans();
    ++GetState().rasterDraws.all;
    GetState().rasterDraws.specialised += GetState().lastDrawSpecialised ? 1 : 0;
    const VertexLayout layout(format);
    const DWORD count = indices ? indexCount : vertexCount;
    auto at = [&](DWORD i) {
        DWORD index = indices ? indices[i] : i;
        return layout.Decode(vertices + static_cast<size_t>(index) * layout.size);
    };
    switch (type) {
    case D3DPT_POINTLIST:
        for (DWORD i = 0; i < count; ++i)
            rasterizer_.DrawPoint(at(i));
        break;
    case D3DPT_LINELIST:
        for (DWORD i = 0; i + 1 < count; i += 2)
            rasterizer_.DrawLine(at(i), at(i + 1));
        break;
    case D3DPT_LINESTRIP:
        for (DWORD i = 0; i + 1 < count; ++i)
            rasterizer_.DrawLine(at(i), at(i + 1));
        break;
    case D3DPT_TRIANGLELIST:
        for (DWORD i = 0; i + 2 < count; i += 3)
            rasterizer_.DrawTriangle(at(i), at(i + 1), at(i + 2));
        break;
    case D3DPT_TRIANGLESTRIP:
        for (DWORD i = 0; i + 2 < count; ++i) {
            if (i % 2 == 0)
                rasterizer_.DrawTriangle(at(i), at(i + 1), at(i + 2));
            else
                rasterizer_.DrawTriangle(at(i + 1), at(i), at(i + 2));
        }
        break;
    case D3DPT_TRIANGLEFAN:
        for (DWORD i = 1; i + 1 < count; ++i)
            rasterizer_.DrawTriangle(at(0), at(i), at(i + 1));
        break;
    default: break;
    }
    target_->Touch();
}

HRESULT DeviceImpl::Draw(const char* operation, D3DPRIMITIVETYPE type, DWORD format, const uint8_t* vertices,
                         DWORD vertexCount, const WORD* indices, DWORD indexCount, DWORD flags) {
    if (!vertices && vertexCount > 0)
        return DDERR_INVALIDPARAMS;
    if (HRESULT hr = Injected(operation); FAILED(hr))
        return hr;
    if (!inScene_)
        return D3DERR_SCENE_NOT_IN_SCENE;
    if (!ValidPrimitive(type))
        return D3DERR_INVALIDPRIMITIVETYPE;
    const DWORD size = VertexSize(format);
    if (size == 0)
        return D3DERR_INVALIDVERTEXTYPE;
    if (HRESULT hr = target_->CheckUsable(); FAILED(hr))
        return hr;
    DWORD used = vertexCount;
    if (indices) {
        DWORD top = 0;
        for (DWORD i = 0; i < indexCount; ++i)
            top = std::max<DWORD>(top, indices[i]);
        if (indexCount > 0 && top >= vertexCount)
            return DDERR_INVALIDPARAMS;
        used = indexCount > 0 ? top + 1 : 0;
    }
    if (Tracing()) {
        TraceEvent e = Event(TraceKind::Draw, type, format, flags);
        e.vertexSize = size;
        e.vertices.assign(vertices, vertices + static_cast<size_t>(used) * size);
        if (indices)
            e.indices.assign(indices, indices + indexCount);
        AddTrace(std::move(e));
    }
    Rasterize(type, format, vertices, vertexCount, indices, indexCount);
    return D3D_OK;
}

HRESULT DeviceImpl::DrawPrimitive(D3DPRIMITIVETYPE type, DWORD vertexFormat, LPVOID vertices, DWORD vertexCount,
                                  DWORD flags) {
    return Draw("Device::DrawPrimitive", type, vertexFormat, static_cast<const uint8_t*>(vertices), vertexCount,
                nullptr, 0, flags);
}

HRESULT DeviceImpl::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, DWORD vertexFormat, LPVOID vertices,
                                         DWORD vertexCount, WORD* indices, DWORD indexCount, DWORD flags) {
    if (!indices && indexCount > 0)
        return DDERR_INVALIDPARAMS;
    return Draw("Device::DrawIndexedPrimitive", type, vertexFormat, static_cast<const uint8_t*>(vertices),
                vertexCount, indices, indexCount, flags);
}

HRESULT DeviceImpl::DrawPrimitiveVB(D3DPRIMITIVETYPE type, IDirect3DVertexBuffer* buffer, DWORD startVertex,
                                    DWORD vertexCount, DWORD flags) {
    if (!buffer)
        return DDERR_INVALIDPARAMS;
    VertexBufferImpl* vb = VertexBufferImpl::From(buffer);
    if (vb->Locked())
        return D3DERR_VERTEXBUFFERLOCKED;
    if (startVertex > vb->Count() || vertexCount > vb->Count() - startVertex)
        return DDERR_INVALIDPARAMS;
    return Draw("Device::DrawPrimitiveVB", type, vb->Format(),
                vb->Data() + static_cast<size_t>(startVertex) * vb->VertexSize(), vertexCount, nullptr, 0, flags);
}

HRESULT DeviceImpl::DrawIndexedPrimitiveVB(D3DPRIMITIVETYPE type, IDirect3DVertexBuffer* buffer, WORD* indices,
                                           DWORD indexCount, DWORD flags) {
    if (!buffer || (!indices && indexCount > 0))
        return DDERR_INVALIDPARAMS;
    VertexBufferImpl* vb = VertexBufferImpl::From(buffer);
    if (vb->Locked())
        return D3DERR_VERTEXBUFFERLOCKED;
    return Draw("Device::DrawIndexedPrimitiveVB", type, vb->Format(), vb->Data(), vb->Count(), indices, indexCount,
                flags);
}

}  // namespace platform::dd
