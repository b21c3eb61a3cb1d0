#include "platform/ddraw/state.h"

#include "platform/ddraw/raster.h"

#include <cstring>

namespace platform::dd {

namespace {

DriverProfile PrimaryDriver(bool hardware) {
    DriverProfile d;
    d.hasGuid = false;
    d.description = "Quorrin Display";
    d.name = "display";
    if (hardware) {
        d.halCaps = DDCAPS_3D | DDCAPS_BLT | DDCAPS_BLTSTRETCH | DDCAPS_BLTCOLORFILL | DDCAPS_BLTDEPTHFILL |
                    DDCAPS_COLORKEY | DDCAPS_CANCLIP | DDCAPS_CANCLIPSTRETCHED | DDCAPS_CANBLTSYSMEM |
                    DDCAPS_ZBLTS | DDCAPS_PALETTE | DDCAPS_GDI;
        d.halCaps2 = DDCAPS2_CANRENDERWINDOWED | DDCAPS2_WIDESURFACES | DDCAPS2_NOPAGELOCKREQUIRED |
                     DDCAPS2_FLIPNOVSYNC;
        d.hardware3d = true;
    }
    return d;
}

}  // namespace

CapsProfile DefaultCapsProfile() {
    CapsProfile p;
    p.drivers = {PrimaryDriver(true)};
    p.devCaps = D3DDEVCAPS_FLOATTLVERTEX | D3DDEVCAPS_EXECUTESYSTEMMEMORY | D3DDEVCAPS_TLVERTEXSYSTEMMEMORY |
                D3DDEVCAPS_TEXTURESYSTEMMEMORY | D3DDEVCAPS_TEXTUREVIDEOMEMORY | D3DDEVCAPS_DRAWPRIMTLVERTEX |
                D3DDEVCAPS_CANRENDERAFTERFLIP | D3DDEVCAPS_DRAWPRIMITIVES2;
    p.miscCaps = D3DPMISCCAPS_MASKZ | D3DPMISCCAPS_CULLNONE | D3DPMISCCAPS_CULLCW | D3DPMISCCAPS_CULLCCW;
    p.rasterCaps = D3DPRASTERCAPS_ZTEST | D3DPRASTERCAPS_SUBPIXEL | D3DPRASTERCAPS_FOGVERTEX |
                   D3DPRASTERCAPS_ZBIAS | D3DPRASTERCAPS_MIPMAPLODBIAS | D3DPRASTERCAPS_FOGRANGE;
    p.zCmpCaps = 0xFF;
    p.srcBlendCaps = 0x1FFF;
    p.destBlendCaps = 0x1FFF;
    p.alphaCmpCaps = 0xFF;
    p.shadeCaps = D3DPSHADECAPS_COLORFLATRGB | D3DPSHADECAPS_COLORGOURAUDRGB | D3DPSHADECAPS_SPECULARFLATRGB |
                  D3DPSHADECAPS_SPECULARGOURAUDRGB | D3DPSHADECAPS_ALPHAFLATBLEND |
                  D3DPSHADECAPS_ALPHAGOURAUDBLEND | D3DPSHADECAPS_FOGFLAT | D3DPSHADECAPS_FOGGOURAUD;
    p.textureCaps = D3DPTEXTURECAPS_PERSPECTIVE | D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_ALPHA |
                    D3DPTEXTURECAPS_TRANSPARENCY;
    p.textureFilterCaps = D3DPTFILTERCAPS_NEAREST | D3DPTFILTERCAPS_LINEAR | D3DPTFILTERCAPS_MIPNEAREST |
                          D3DPTFILTERCAPS_MIPLINEAR | D3DPTFILTERCAPS_LINEARMIPNEAREST |
                          D3DPTFILTERCAPS_LINEARMIPLINEAR | D3DPTFILTERCAPS_MINFPOINT |
                          D3DPTFILTERCAPS_MINFLINEAR | D3DPTFILTERCAPS_MIPFPOINT | D3DPTFILTERCAPS_MIPFLINEAR |
                          D3DPTFILTERCAPS_MAGFPOINT | D3DPTFILTERCAPS_MAGFLINEAR;
    p.textureBlendCaps = D3DPTBLENDCAPS_DECAL | D3DPTBLENDCAPS_MODULATE | D3DPTBLENDCAPS_DECALALPHA |
                         D3DPTBLENDCAPS_MODULATEALPHA | D3DPTBLENDCAPS_COPY | D3DPTBLENDCAPS_ADD;
    p.textureAddressCaps = D3DPTADDRESSCAPS_WRAP | D3DPTADDRESSCAPS_CLAMP | D3DPTADDRESSCAPS_INDEPENDENTUV;
    p.textureOpCaps = D3DTEXOPCAPS_DISABLE | D3DTEXOPCAPS_SELECTARG1 | D3DTEXOPCAPS_SELECTARG2 |
                      D3DTEXOPCAPS_MODULATE | D3DTEXOPCAPS_MODULATE2X | D3DTEXOPCAPS_MODULATE4X |
                      D3DTEXOPCAPS_ADD | D3DTEXOPCAPS_ADDSIGNED | D3DTEXOPCAPS_ADDSIGNED2X |
                      D3DTEXOPCAPS_SUBTRACT | D3DTEXOPCAPS_ADDSMOOTH | D3DTEXOPCAPS_BLENDDIFFUSEALPHA |
                      D3DTEXOPCAPS_BLENDTEXTUREALPHA | D3DTEXOPCAPS_BLENDFACTORALPHA |
                      D3DTEXOPCAPS_BLENDTEXTUREALPHAPM | D3DTEXOPCAPS_BLENDCURRENTALPHA |
                      D3DTEXOPCAPS_MODULATEALPHA_ADDCOLOR | D3DTEXOPCAPS_MODULATECOLOR_ADDALPHA |
                      D3DTEXOPCAPS_MODULATEINVALPHA_ADDCOLOR | D3DTEXOPCAPS_MODULATEINVCOLOR_ADDALPHA;
    p.maxTextureBlendStages = 2;
    p.maxSimultaneousTextures = 2;
    p.textureFormats = {FormatArgb4444(), FormatArgb8888(), FormatArgb1555(), FormatRgb555(),
                        FormatRgb565(),   FormatXrgb8888(), FormatPalette8()};
    p.zBufferFormats = {FormatZ16(), FormatZ24S8()};
    p.zBufferDepths = DDBD_16 | DDBD_32;
    for (DWORD bpp : {16u, 32u}) {
        p.displayModes.push_back({640, 480, bpp});
        p.displayModes.push_back({800, 600, bpp});
        p.displayModes.push_back({1024, 768, bpp});
    }
    p.desktop = {800, 600, 16};
    p.emulationCaps = DDCAPS_3D | DDCAPS_BLT | DDCAPS_BLTSTRETCH | DDCAPS_BLTCOLORFILL | DDCAPS_COLORKEY |
                      DDCAPS_CANCLIP | DDCAPS_CANCLIPSTRETCHED | DDCAPS_CANBLTSYSMEM | DDCAPS_PALETTE;
    p.videoMemoryBytes = 32ull << 20;
    return p;
}

CapsProfile SoftwareOnlyCapsProfile() {
    CapsProfile p = DefaultCapsProfile();
    p.drivers = {PrimaryDriver(false)};
    p.drivers[0].halCaps = DDCAPS_BLT | DDCAPS_BLTCOLORFILL | DDCAPS_CANCLIP | DDCAPS_GDI;
    p.videoMemoryBytes = 4ull << 20;
    return p;
}

State& GetState() {
    static State state = [] {
        State s;
        s.profile = DefaultCapsProfile();
        s.display.mode = s.profile.desktop;
        return s;
    }();
    return state;
}

HRESULT Injected(const char* operation) {
    State& s = GetState();
    if (s.injections.empty())
        return S_OK;
    auto it = s.injections.find(operation);
    if (it == s.injections.end())
        return S_OK;
    Injection& inj = it->second;
    if (inj.after > 0) {
        --inj.after;
        return S_OK;
    }
    HRESULT result = inj.result;
    if (inj.times > 0 && --inj.times == 0)
        s.injections.erase(it);
    return result;
}

bool TakeBusy(const void* surface) {
    State& s = GetState();
    auto it = s.busy.find(surface);
    if (it == s.busy.end())
        return false;
    if (--it->second <= 0)
        s.busy.erase(it);
    return true;
}

DDPIXELFORMAT CurrentDisplayFormat() {
    const State& s = GetState();
    return DisplayFormat(s.display.mode.bitsPerPixel, s.profile.sixteenBitIs555);
}

uint64_t NextRevision() {
    static uint64_t counter = 0;
    return ++counter;
}

void AddTrace(TraceEvent event) { GetState().trace.push_back(std::move(event)); }

void SetCapsProfile(const CapsProfile& profile) {
    State& s = GetState();
    s.profile = profile;
    if (!s.display.modeChanged)
        s.display.mode = profile.desktop;
}

const CapsProfile& GetCapsProfile() { return GetState().profile; }

uint64_t VideoMemoryUsed() { return GetState().videoMemoryUsed; }

void FailCall(const std::string& operation, HRESULT result, int times, int after) {
    GetState().injections[operation] = Injection{result, after, times == 0 ? 1 : times};
}

void StartTrace() { GetState().tracing = true; }
void StopTrace() { GetState().tracing = false; }
void ClearTrace() { GetState().trace.clear(); }
const std::vector<TraceEvent>& Trace() { return GetState().trace; }

TracedVertex DecodeTracedVertex(const TraceEvent& draw, size_t index) {
    TracedVertex v{};
    if (draw.vertexSize == 0 || (index + 1) * draw.vertexSize > draw.vertices.size())
        return v;
    const uint8_t* p = draw.vertices.data() + index * draw.vertexSize;
    DWORD fvf = draw.b;
    size_t offset = 0;
    auto take = [&](void* out, size_t n) {
        std::memcpy(out, p + offset, n);
        offset += n;
    };
    if (fvf & D3DFVF_XYZRHW) {
        take(&v.sx, 4);
        take(&v.sy, 4);
        take(&v.sz, 4);
        take(&v.rhw, 4);
    } else if (fvf & D3DFVF_XYZ) {
        take(&v.sx, 4);
        take(&v.sy, 4);
        take(&v.sz, 4);
        v.rhw = 1;
    }
    if (fvf & D3DFVF_NORMAL)
        offset += 12;
    if (fvf & D3DFVF_DIFFUSE)
        take(&v.diffuse, 4);
    if (fvf & D3DFVF_SPECULAR)
        take(&v.specular, 4);
    DWORD sets = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
    if (sets >= 1) {
        take(&v.tu, 4);
        take(&v.tv, 4);
    }
    if (sets >= 2) {
        take(&v.tu2, 4);
        take(&v.tv2, 4);
    }
    return v;
}

int PresentCount() { return GetState().presents; }
void ForceGeneralRaster(bool on) { GetState().forceGeneralRaster = on; }
bool LastDrawSpecialised() { return GetState().lastDrawSpecialised; }
RasterDrawCounts RasterDraws() { return GetState().rasterDraws; }
void SetRasterizing(bool on) { GetState().rasterizing = on; }
uint64_t PixelsWritten() { return GetState().pixelsWritten; }
void ResetPixelsWritten() { GetState().pixelsWritten = 0; }

namespace raster {
void CountPixelsWritten(uint64_t pixels) { GetState().pixelsWritten += pixels; }
}  // namespace raster
int LiveObjectCount() { return GetState().liveObjects; }

}  // namespace platform::dd
