// The driver's texture stages: which ways of combining two textures the device draws in one pass
// (probed at open with real probe textures and ValidateDevice), the pass choice of each batch, the
// programming of device stages 0-2 for one or two passes, and the property support check.

#include <cstring>

#include "engine/core/sg_property.h"
#include "engine/core/sg_texture_property.h"
#include "engine/render/sg_d3d_driver.h"
#include "engine/render/sg_d3d_render.h"
#include "engine/render/sg_dd_environment.h"
#include "engine/render/sg_render_debug.h"
#include "engine/render/sg_texture_manager.h"

namespace {

struct ModeRow {
    DWORD op;
    DWORD arg1;
    bool swapped;
    DWORD source, destination;  // frame-buffer blend caps of the two-pass form (0: never)
};
constexpr ModeRow kModes[8] = {
    {D3DTOP_MODULATE, D3DTA_TEXTURE, false, D3DPBLENDCAPS_ZERO, D3DPBLENDCAPS_SRCCOLOR},
    {D3DTOP_MODULATE, D3DTA_TEXTURE | D3DTA_COMPLEMENT, false, D3DPBLENDCAPS_ZERO, D3DPBLENDCAPS_INVSRCCOLOR},
    {D3DTOP_MODULATE, D3DTA_TEXTURE | D3DTA_ALPHAREPLICATE, false, D3DPBLENDCAPS_ZERO, D3DPBLENDCAPS_SRCALPHA},
    {D3DTOP_BLENDTEXTUREALPHA, D3DTA_TEXTURE, false, D3DPBLENDCAPS_SRCALPHA, D3DPBLENDCAPS_INVSRCALPHA},
    {D3DTOP_BLENDTEXTUREALPHA, D3DTA_TEXTURE, true, D3DPBLENDCAPS_SRCALPHA, D3DPBLENDCAPS_INVSRCALPHA},
    {D3DTOP_ADD, D3DTA_TEXTURE, false, D3DPBLENDCAPS_ONE, D3DPBLENDCAPS_ONE},
    {D3DTOP_MODULATEALPHA_ADDCOLOR, D3DTA_TEXTURE, false, D3DPBLENDCAPS_ONE, D3DPBLENDCAPS_SRCALPHA},
    {D3DTOP_MODULATECOLOR_ADDALPHA, D3DTA_TEXTURE, false, 0, 0},
};

// Pass 1 of the two-pass forms: the frame-buffer blend, the source stage drawn, the vertex colour.
struct PassRow {
    DWORD source, destination;
    uint32_t stage;
    uint32_t vertexColour;
};
constexpr PassRow kPasses[7] = {
    {D3DBLEND_ZERO, D3DBLEND_SRCCOLOR, 1, 0},      {D3DBLEND_ZERO, D3DBLEND_INVSRCCOLOR, 1, 0},
    {D3DBLEND_ZERO, D3DBLEND_SRCALPHA, 1, 0},      {D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, 1, 1},
    {D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, 0, 1}, {D3DBLEND_ONE, D3DBLEND_ONE, 1, 1},
    {D3DBLEND_ONE, D3DBLEND_SRCALPHA, 1, 1},
};

bool HasAlpha(int32_t kind) { return kind == 3 || kind == 4 || kind == 5; }

}  // namespace

// ---- Cached stage states ----

void SgD3DDriver::CachedTSS(uint32_t slot, DWORD stage, D3DTEXTURESTAGESTATETYPE state, DWORD value) {
    if (stageCache[slot] == value)
        return;
    stageCache[slot] = value;
    SetTSS(stage, state, value);
}

void SgD3DDriver::SetCoordSet(uint32_t stage, DWORD set) {
    if (texCoordCache[stage] == set)
        return;
    texCoordCache[stage] = set;
    SetTSS(stage, D3DTSS_TEXCOORDINDEX, set);
}

void SgD3DDriver::SetDeviceTexture(uint32_t stage, IDirect3DTexture2* texture) {
    if (device)
        device->SetTexture(stage, texture);
}

uint32_t SgD3DDriver::MultipassBlendSupport(uint32_t mode) const {
    if (mode > 6)
        return 0;
    const D3DPRIMCAPS& tri = description.dpcTriCaps;
    return (tri.dwSrcBlendCaps & kModes[mode].source) && (tri.dwDestBlendCaps & kModes[mode].destination) ? 2 : 0;
}

bool SgD3DDriver::SetMultiTextureMode(uint32_t mode) {
    const ModeRow& row = kModes[mode < 8 ? mode : 0];
    if (stageCache[kStage1ColorOp] == D3DTOP_DISABLE)
        SetTSS(1, D3DTSS_ALPHAOP, D3DTOP_SELECTARG2);
    CachedTSS(kStage1ColorOp, 1, D3DTSS_COLOROP, row.op);
    CachedTSS(kStage1ColorArg1, 1, D3DTSS_COLORARG1, row.arg1);
    return row.swapped;
}

void SgD3DDriver::ReleaseStageTexture(uint32_t stage) {
    SetDeviceTexture(stage, nullptr);
    holders[stage] = nullptr;
}

void SgD3DDriver::SetStage0Apply(uint32_t apply, bool alpha, bool textured) {
    if (wanted & kNoSelectArg2) {
        SetStage0ApplyFallback(apply, alpha, textured);
        return;
    }
    const DWORD blendCaps = description.dpcTriCaps.dwTextureBlendCaps;
    DWORD colour, alphaOp;
    if (!textured) {
        colour = alphaOp = D3DTOP_SELECTARG2;
        ReleaseStageTexture(0);
    } else if (apply == 0) {
        colour = alphaOp = D3DTOP_SELECTARG1;
    } else if (apply == 1) {
        const bool decal = blendCaps & D3DPTBLENDCAPS_DECALALPHA;
        colour = decal ? D3DTOP_BLENDTEXTUREALPHA : D3DTOP_SELECTARG2;
        alphaOp = decal ? D3DTOP_SELECTARG2 : D3DTOP_SELECTARG1;
    } else if (apply == 2) {
        colour = D3DTOP_MODULATE;
        alphaOp = alpha ? D3DTOP_SELECTARG1 : D3DTOP_SELECTARG2;
    } else if (apply == 3) {
        colour = D3DTOP_MODULATE;
        alphaOp = (blendCaps & D3DPTBLENDCAPS_MODULATEALPHA) ? D3DTOP_MODULATE : D3DTOP_SELECTARG1;
    } else {
        return;
    }
    CachedTSS(kStage0ColorOp, 0, D3DTSS_COLOROP, colour);
    CachedTSS(kStage0AlphaOp, 0, D3DTSS_ALPHAOP, alphaOp);
}

void SgD3DDriver::ApplyStage0Row(DWORD colourOp, DWORD colourArg, DWORD alphaOp, DWORD alphaArg) {
    CachedTSS(kStage0ColorOp, 0, D3DTSS_COLOROP, colourOp);
    CachedTSS(kStage0ColorArg1, 0, D3DTSS_COLORARG1, colourArg);
    CachedTSS(kStage0AlphaOp, 0, D3DTSS_ALPHAOP, alphaOp);
    CachedTSS(kStage0AlphaArg1, 0, D3DTSS_ALPHAARG1, alphaArg);
}

void SgD3DDriver::SetStage0ApplyFallback(uint32_t apply, bool alpha, bool textured) {
    const DWORD blendCaps = description.dpcTriCaps.dwTextureBlendCaps;
    const bool noFallback = (wanted & kNoFallback) != 0;
    const DWORD diffuseOrTexture = noFallback ? D3DTA_TEXTURE : D3DTA_DIFFUSE;
    if (!textured) {
        ApplyStage0Row(D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, diffuseOrTexture);
        ReleaseStageTexture(0);
    } else if (apply == 0) {
        ApplyStage0Row(D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTOP_SELECTARG1, D3DTA_TEXTURE);
    } else if (apply == 1) {
        if (blendCaps & D3DPTBLENDCAPS_DECALALPHA)
            ApplyStage0Row(D3DTOP_BLENDTEXTUREALPHA, D3DTA_TEXTURE, D3DTOP_SELECTARG1, D3DTA_DIFFUSE);
        else
            ApplyStage0Row(D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_TEXTURE);
    } else if (apply == 2) {
        ApplyStage0Row(D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTOP_SELECTARG1,
                       !alpha && !noFallback ? D3DTA_DIFFUSE : D3DTA_TEXTURE);
    } else if (apply == 3) {
        if (blendCaps & D3DPTBLENDCAPS_MODULATEALPHA)
            ApplyStage0Row(D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTOP_MODULATE, D3DTA_TEXTURE);
        else
            ApplyStage0Row(D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTOP_SELECTARG1, D3DTA_DIFFUSE);
    }
}

void SgD3DDriver::SetStage2Apply(uint32_t apply, bool alpha) {
    const DWORD blendCaps = description.dpcTriCaps.dwTextureBlendCaps;
    DWORD colour, alphaOp;
    if (apply == 0 || apply == 1) {
        // Apply 1 has no vertex-last form: the current colour passes, so no earlier batch's
        // stage 2 survives.
        colour = alphaOp = D3DTOP_SELECTARG1;
    } else if (apply == 2) {
        colour = D3DTOP_MODULATE;
        alphaOp = alpha ? D3DTOP_SELECTARG1 : D3DTOP_SELECTARG2;
    } else if (apply == 3) {
        colour = D3DTOP_MODULATE;
        alphaOp = (blendCaps & D3DPTBLENDCAPS_MODULATEALPHA) ? D3DTOP_MODULATE : D3DTOP_SELECTARG2;
    } else {
        return;
    }
    CachedTSS(kStage2ColorOp, 2, D3DTSS_COLOROP, colour);
    CachedTSS(kStage2AlphaOp, 2, D3DTSS_ALPHAOP, alphaOp);
}

void SgD3DDriver::SetPassStage0Apply(uint32_t apply, uint32_t flag, bool textured) {
    if (wanted & kNoSelectArg2) {
        SetPassStage0ApplyFallback(apply, flag, textured);
        return;
    }
    DWORD colour, alphaOp;
    if (!textured) {
        colour = alphaOp = D3DTOP_SELECTARG2;
        ReleaseStageTexture(0);
    } else if (flag == 0 || apply == 0 || apply == 1) {
        colour = alphaOp = D3DTOP_SELECTARG1;
    } else if (apply == 2) {
        colour = D3DTOP_MODULATE;
        alphaOp = D3DTOP_SELECTARG1;
    } else if (apply == 3) {
        colour = D3DTOP_MODULATE;
        alphaOp = (description.dpcTriCaps.dwTextureBlendCaps & D3DPTBLENDCAPS_MODULATEALPHA) ? D3DTOP_MODULATE
                                                                                             : D3DTOP_SELECTARG1;
    } else {
        return;
    }
    CachedTSS(kStage0ColorOp, 0, D3DTSS_COLOROP, colour);
    CachedTSS(kStage0AlphaOp, 0, D3DTSS_ALPHAOP, alphaOp);
}

void SgD3DDriver::SetPassStage0ApplyFallback(uint32_t apply, uint32_t flag, bool textured) {
    if (!textured) {
        ApplyStage0Row(D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTOP_SELECTARG1,
                       (wanted & kNoFallback) ? D3DTA_TEXTURE : D3DTA_DIFFUSE);
        ReleaseStageTexture(0);
    } else if (flag == 0 || apply == 0 || apply == 1) {
        ApplyStage0Row(D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTOP_SELECTARG1, D3DTA_TEXTURE);
    } else if (apply == 2) {
        ApplyStage0Row(D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTOP_SELECTARG1, D3DTA_TEXTURE);
    } else if (apply == 3) {
        ApplyStage0Row(D3DTOP_MODULATE, D3DTA_TEXTURE,
                       (description.dpcTriCaps.dwTextureBlendCaps & D3DPTBLENDCAPS_MODULATEALPHA) ? D3DTOP_MODULATE
                                                                                                 : D3DTOP_SELECTARG1,
                       D3DTA_TEXTURE);
    }
}

// ---- Filters and addressing ----

void SgD3DDriver::ApplyTextureFilter(bool mipmapped, bool linearMip, uint32_t deviceStage, uint32_t sourceStage) {
    uint32_t mode = stages[sourceStage].filterMode;
    if (!mipmapped)
        mode = (mode == 3 || mode == 4) ? 0 : (mode == 2 || mode == 5) ? 1 : mode;
    else if (!linearMip)
        mode = mode == 2 ? 5 : mode == 4 ? 3 : mode;
    if (mode > 5 || mode == appliedFilter[deviceStage])
        return;
    appliedFilter[deviceStage] = mode;
    SetTSS(deviceStage, D3DTSS_MAGFILTER, filterTable[mode][1]);
    SetTSS(deviceStage, D3DTSS_MINFILTER, filterTable[mode][0]);
    SetTSS(deviceStage, D3DTSS_MIPFILTER, filterTable[mode][2]);
}

void SgD3DDriver::ApplyTextureAddressing(uint32_t deviceStage, uint32_t sourceStage) {
    const Stage& source = stages[sourceStage];
    Stage& applied = stages[deviceStage];
    if (wanted & kIndependentUV) {
        if (source.addressU != applied.appliedU) {
            applied.appliedU = source.addressU;
            SetTSS(deviceStage, D3DTSS_ADDRESSU, source.addressU);
        }
        if (source.addressV != applied.appliedV) {
            applied.appliedV = source.addressV;
            SetTSS(deviceStage, D3DTSS_ADDRESSV, source.addressV);
        }
    } else if (source.addressU != applied.appliedU) {
        applied.appliedU = applied.appliedV = source.addressU;
        SetTSS(deviceStage, D3DTSS_ADDRESS, source.addressU);
    }
}

// ---- Detection ----

IDirect3DTexture2* SgD3DDriver::MakeTestTexture(const SgPixelFormat* format, int32_t stage,
                                                IDirectDrawSurface4** surface) {
    *surface = nullptr;
    IDirectDraw4* dd = buffers && buffers->environment ? buffers->environment->directDraw : nullptr;
    if (!format || !dd)
        return nullptr;
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof(desc);
    desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT;
    desc.dwWidth = desc.dwHeight = 16;
    desc.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
    desc.ddpfPixelFormat.dwFlags = DDPF_RGB | (format->palettized ? DDPF_PALETTEINDEXED8 : 0) |
                                   (format->mask[3] ? DDPF_ALPHAPIXELS : 0);
    desc.ddpfPixelFormat.dwRGBBitCount = format->palettized ? 8 : format->bitsPerPixel;
    desc.ddpfPixelFormat.dwRBitMask = format->mask[0];
    desc.ddpfPixelFormat.dwGBitMask = format->mask[1];
    desc.ddpfPixelFormat.dwBBitMask = format->mask[2];
    desc.ddpfPixelFormat.dwRGBAlphaBitMask = format->mask[3];
    if (stage != -1) {
        desc.dwFlags |= DDSD_TEXTURESTAGE;
        desc.dwTextureStage = static_cast<DWORD>(stage);
    }
    desc.ddsCaps.dwCaps = DDSCAPS_TEXTURE | ((wanted & kHardware) ? DDSCAPS_VIDEOMEMORY : DDSCAPS_SYSTEMMEMORY);
    if (!format->palettized)
        desc.ddsCaps.dwCaps |= DDSCAPS_MIPMAP | DDSCAPS_COMPLEX;
    IDirectDrawSurface4* made = nullptr;
    if (FAILED(dd->CreateSurface(&desc, &made, nullptr)) || !made)
        return nullptr;
    bool ok = true;
    if (format->palettized) {
        const PALETTEENTRY zero[256] = {};
        ok = SgAttachNewPalette(dd, made, zero);
    }
    IDirect3DTexture2* texture = nullptr;
    if (!ok || FAILED(made->QueryInterface(IID_IDirect3DTexture2, reinterpret_cast<void**>(&texture))) ||
        !texture) {
        made->Release();
        return nullptr;
    }
    *surface = made;
    return texture;
}

HRESULT SgD3DDriver::ProbeDraw(DWORD* passes) {
    struct ProbeVertex {
        float x, y, z, rhw;
        DWORD diffuse, specular;
        float u0, v0, u1, v1;
    };
    ProbeVertex v[6] = {};
    const float xy[6][2] = {{0, 0}, {0, 2}, {2, 0}, {0, 0}, {2, 0}, {0, 2}};
    for (int i = 0; i < 6; ++i) {
        v[i].x = xy[i][0];
        v[i].y = xy[i][1];
        v[i].z = 0.5f;
        v[i].rhw = 0.5f;
    }
    device->BeginScene();
    device->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX2, v, 6,
                          D3DDP_WAIT);
    device->EndScene();
    *passes = 0;
    return device->ValidateDevice(passes);
}

HRESULT SgD3DDriver::DetectMultiTextureModes(bool allowed) {
    wanted = (wanted | kTrilinearMulti | kStage1Filter | kIndependentAddressing) &
             ~(kSeparateMemories | kVertexLast | kNoFallback);
    std::memset(modeTable, 0, sizeof(modeTable));
    SetDeviceTexture(0, nullptr);
    SetDeviceTexture(1, nullptr);
    CachedTSS(kStage0ColorOp, 0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
    CachedTSS(kStage0AlphaOp, 0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG2);
    DWORD passes = 0;
    if (SUCCEEDED(device->ValidateDevice(&passes))) {
        wanted &= ~kNoSelectArg2;
    } else {
        wanted |= kNoSelectArg2;
        CachedTSS(kStage0AlphaOp, 0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
        CachedTSS(kStage0AlphaArg1, 0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
        if (FAILED(device->ValidateDevice(&passes)))
            wanted |= kNoFallback;
    }
    SgD3DTextureManager* tm = textureManager;
    auto present = [&](uint32_t k) { return k < 7 && tm && tm->Format(k); };
    auto multipassOnly = [&] {
        for (uint32_t m = 0; m < 8; ++m)
            for (uint32_t a = 0; a < 8; ++a)
                for (uint32_t b = 0; b < 8; ++b)
                    modeTable[m][a][b] = present(a) && present(b) ? static_cast<uint8_t>(MultipassBlendSupport(m)) : 0;
    };
    if (description.wMaxTextureBlendStages < 2 || description.wMaxSimultaneousTextures < 2) {
        multipassOnly();
        return DD_OK;
    }
    const bool separate = (description.dwDevCaps & D3DDEVCAPS_SEPARATETEXTUREMEMORIES) != 0;
    if (separate)
        wanted |= kSeparateMemories;
    if (!allowed) {
        multipassOnly();
        return DD_OK;
    }

    IDirect3DTexture2* first[7] = {};
    IDirect3DTexture2* second[7] = {};
    IDirectDrawSurface4* surfaces[14] = {};
    for (uint32_t k = 0; k < 7; ++k) {
        if (!present(k))
            continue;
        first[k] = MakeTestTexture(tm->Format(k), separate ? 0 : -1, &surfaces[2 * k]);
        second[k] = MakeTestTexture(tm->Format(k), separate ? 1 : -1, &surfaces[2 * k + 1]);
    }

    uint8_t tables[2][8][8][8] = {};
    uint32_t counts[2][3] = {};  // single, multi, unavailable
    auto runOrder = [&](int order) {
        const bool vertexLast = order == 1;
        bool filterProbed = false;
        for (uint32_t mode = 0; mode < 8; ++mode) {
            SetMultiTextureMode(mode);
            const uint8_t multi = static_cast<uint8_t>(MultipassBlendSupport(mode));
            for (uint32_t a = 0; a < 8; ++a)
                for (uint32_t b = 0; b < 8; ++b) {
                    uint8_t& entry = tables[order][mode][a][b];
                    if (a > 6 || b > 6 || !first[a] || !first[b]) {
                        entry = 0;
                        continue;
                    }
                    const uint32_t k0 = mode == 4 ? b : a, k1 = mode == 4 ? a : b;
                    SetDeviceTexture(0, first[k0]);
                    SetDeviceTexture(1, second[k1] ? second[k1] : first[k1]);
                    const bool alpha = HasAlpha(static_cast<int32_t>(k0));
                    if (vertexLast) {
                        SetStage2Apply(2, alpha);
                        SetStage0Apply(0, alpha, true);
                    } else {
                        SetStage0Apply(2, alpha, true);
                    }
                    DWORD n = 0;
                    const HRESULT hr = ProbeDraw(&n);
                    if (FAILED(hr) || n > 1) {
                        entry = multi;
                        ++counts[order][FAILED(hr) && !multi ? 2 : 1];
                        continue;
                    }
                    entry = multi | 0x80;
                    ++counts[order][0];
                    if (!filterProbed) {
                        filterProbed = true;
                        SetTSS(1, D3DTSS_MAGFILTER, D3DTFG_LINEAR);
                        SetTSS(1, D3DTSS_MINFILTER, D3DTFN_LINEAR);
                        SetTSS(1, D3DTSS_MIPFILTER, D3DTFP_LINEAR);
                        if (FAILED(ProbeDraw(&n)))
                            wanted &= ~kStage1Filter;
                        SetTSS(1, D3DTSS_MAGFILTER, D3DTFG_POINT);
                        SetTSS(1, D3DTSS_MINFILTER, D3DTFN_POINT);
                        SetTSS(1, D3DTSS_MIPFILTER, D3DTFP_NONE);
                    }
                }
        }
        if (counts[order][0]) {
            char text[160];
            std::snprintf(text, sizeof(text), "%s%u modes\n",
                          vertexLast ? "Scenegrove D3DDriver Info: Supports vertex-last single pass multitexturing: "
                                     : "Scenegrove D3DDriver Info: Supports vertex-first single pass multitexturing: ",
                          counts[order][0]);
            RenderDebugOut(text, false);
        }
    };
    runOrder(0);
    bool triedLast = false;
    if (description.wMaxSimultaneousTextures < description.wMaxTextureBlendStages) {
        wanted |= kVertexLast;
        RenderDebugOut("Scenegrove D3DDriver Info: - trying single-pass vertex-last\n", false);
        runOrder(1);
        triedLast = true;
    }
    int chosen;
    if (counts[0][0] > counts[1][0]) {
        chosen = 0;
    } else if (counts[0][0] == 0 && counts[1][0] == 0) {
        chosen = 0;
        RenderDebugOut("Scenegrove D3DDriver Info: Cannot find any single-pass vertex-first or vertex-last modes\n",
                       false);
    } else {
        chosen = 1;
    }
    (void)triedLast;
    wanted = chosen == 1 ? (wanted | kVertexLast) : (wanted & ~kVertexLast);
    std::memcpy(modeTable, tables[chosen], sizeof(modeTable));
    const char* kCounts[3] = {"Scenegrove D3DDriver Info: Number of available single-pass multitexture modes: %u\n",
                              "Scenegrove D3DDriver Info: Number of available multi-pass multitexture modes: %u\n",
                              "Scenegrove D3DDriver Info: Number of available unavailable multitexture modes: %u\n"};
    for (int i = 0; i < 3; ++i) {
        char text[160];
        std::snprintf(text, sizeof(text), kCounts[i], counts[chosen][i]);
        RenderDebugOut(text, false);
    }

    // Mixed addressing and trilinear filtering with the single-pass modes.
    if (first[1] && second[1]) {
        SetDeviceTexture(0, first[1]);
        SetDeviceTexture(1, second[1]);
        if (!(wanted & kVertexLast))
            SetStage0Apply(2, false, true);
        auto probeModes = [&](uint32_t bit) {
            for (uint32_t mode = 0; mode < 8; ++mode) {
                if (!(modeTable[mode][1][1] & 0x80))
                    continue;
                SetMultiTextureMode(mode);
                DWORD n = 0;
                if (FAILED(ProbeDraw(&n))) {
                    wanted &= ~bit;
                    return;
                }
            }
        };
        SetTSS(0, D3DTSS_ADDRESS, D3DTADDRESS_WRAP);
        SetTSS(1, D3DTSS_ADDRESS, D3DTADDRESS_CLAMP);
        probeModes(kIndependentAddressing);
        SetTSS(0, D3DTSS_ADDRESS, D3DTADDRESS_WRAP);
        SetTSS(1, D3DTSS_ADDRESS, D3DTADDRESS_WRAP);
        if (description.dpcTriCaps.dwTextureFilterCaps & D3DPTFILTERCAPS_MIPFLINEAR) {
            for (DWORD s = 0; s < 2; ++s) {
                SetTSS(s, D3DTSS_MAGFILTER, D3DTFG_LINEAR);
                SetTSS(s, D3DTSS_MINFILTER, D3DTFN_LINEAR);
                SetTSS(s, D3DTSS_MIPFILTER, D3DTFP_LINEAR);
            }
            probeModes(kTrilinearMulti);
        }
    }
    if (!(wanted & kTrilinearMulti))
        RenderDebugOut("Scenegrove D3DDriver Info: Device cannot do trilerp in multitexture mode\n", false);
    if (!(wanted & kIndependentAddressing)) {
        RenderDebugOut("Scenegrove D3DDriver Info: Device cannot do independent texture addressing in multitexture "
                       "mode\n",
                       false);
        RenderDebugOut("\t\t\t\t\t\t\tScenegrove D3DDriver will multipass these cases\n", false);
    }
    for (uint32_t k = 0; k < 7; ++k) {
        if (first[k])
            first[k]->Release();
        if (second[k])
            second[k]->Release();
    }
    for (IDirectDrawSurface4* s : surfaces)
        if (s)
            s->Release();
    SetDeviceTexture(0, nullptr);
    SetDeviceTexture(1, nullptr);
    return DD_OK;
}

// ---- Batches ----

uint32_t SgD3DDriver::ChooseMultiTexturePasses() {
    if (!stages[1].texture || (wanted & kWireframe))
        return 0;
    const uint32_t mode = multiTextureApply;
    // Modes from files past the table draw the base texture alone.
    if (mode > 7)
        return 0;
    const uint32_t twoPass = MultipassBlendSupport(mode) ? 2 : 0;
    const int32_t k0 = textureManager ? textureManager->GetImageFormatKind(stages[0].texture.Get()) : 7;
    const int32_t k1 = textureManager ? textureManager->GetImageFormatKind(stages[1].texture.Get()) : 7;
    if (k0 == 7) {
        stages[0].texture = nullptr;
        if (k1 == 7) {
            stages[1].texture = nullptr;
            return 0;
        }
        return twoPass;
    }
    if (k1 == 7) {
        stages[1].texture = nullptr;
        return 0;
    }
    auto isBuffer = [](SgImage* i) { return i && i->GetTypeRecord()->IsKindOf(&SgDDBufferImage::typeRecord); };
    if ((wanted & kSeparateMemories) && (isBuffer(stages[0].texture.Get()) || isBuffer(stages[1].texture.Get())))
        return twoPass;
    if (!(wanted & kIndependentAddressing) &&
        (stages[0].addressU != stages[1].addressU || stages[0].addressV != stages[1].addressV))
        return twoPass;
    const uint8_t entry = modeTable[mode][k0][k1];
    if ((entry & 0x80) && ((wanted & kVertexLast) || textureApply == 0 || mode == 0 || vertexColorMode == 0))
        return 1;
    return (entry & 0x7F) ? 2 : 0;
}

void SgD3DDriver::SwitchStage1Off() {
    if (stageCache[kStage1ColorOp] == D3DTOP_DISABLE)
        return;
    stageCache[kStage1ColorOp] = D3DTOP_DISABLE;
    SetTSS(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    SetTSS(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    stageCache[kStage2ColorOp] = stageCache[kStage2AlphaOp] = D3DTOP_DISABLE;
    ReleaseStageTexture(1);
    if (!(wanted & kHardware)) {
        SetRS(D3DRENDERSTATE_FLUSHBATCH, 0);
        DWORD passes = 0;
        device->ValidateDevice(&passes);
    }
}

void SgD3DDriver::ZBiasBackToZero() {
    if (appliedZBias == 0)
        return;
    appliedZBias = 0;
    SetRS(D3DRENDERSTATE_ZBIAS, 0);
}

void SgD3DDriver::BindStageTextures(uint32_t s0, uint32_t s1, bool* alpha0, bool* alpha1) {
    SetCoordSet(0, secondSet ? s0 : 0);
    SetCoordSet(1, secondSet ? s1 : 0);
    IDirect3DTexture2* textures[2] = {};
    bool changed[2] = {}, mip[2] = {}, alpha[2] = {};
    const uint32_t sources[2] = {s0, s1};
    for (uint32_t d = 0; d < 2; ++d) {
        if (!textureManager ||
            !textureManager->BindTexture(static_cast<int32_t>(d), stages[sources[d]].texture.Get(), holders[d],
                                         &textures[d], &changed[d], &mip[d], &alpha[d]))
            textures[d] = nullptr;
        if (changed[d])
            SetDeviceTexture(d, textures[d]);
    }
    const bool trilinear = (wanted & kTrilinearMulti) != 0;
    ApplyTextureFilter(mip[0], trilinear, 0, s0);
    // A device that failed the stage-1 filter probe filters both stages alike.
    ApplyTextureFilter(mip[1], trilinear, 1, (wanted & kStage1Filter) ? s1 : s0);
    ApplyTextureAddressing(0, s0);
    ApplyTextureAddressing(1, s1);
    *alpha0 = alpha[0];
    *alpha1 = alpha[1];
}

bool SgD3DDriver::BindPassTexture(uint32_t s) {
    SetCoordSet(0, secondSet ? s : 0);
    IDirect3DTexture2* texture = nullptr;
    bool changed = false, mip = false, alpha = false;
    if (!textureManager ||
        !textureManager->BindTexture(-1, stages[s].texture.Get(), holders[0], &texture, &changed, &mip, &alpha))
        texture = nullptr;
    if (changed)
        SetDeviceTexture(0, texture);
    ApplyTextureFilter(mip, true, 0, s);
    ApplyTextureAddressing(0, s);
    return alpha;
}

bool SgD3DDriver::SetPassBlend(uint32_t mode, uint32_t pass, uint32_t* source, uint32_t* vertexColour) {
    if (pass == 0) {
        *source = mode == 4 ? 1 : 0;
        *vertexColour = 1;
        if (applied & kAlphaBlend) {
            SetRS(D3DRENDERSTATE_ALPHABLENDENABLE, 0);
            applied &= ~kAlphaBlend;
        }
        return true;
    }
    if (!(applied & kAlphaBlend)) {
        SetRS(D3DRENDERSTATE_ALPHABLENDENABLE, 1);
        applied |= kAlphaBlend;
    }
    const PassRow& row = kPasses[mode < 7 ? mode : 0];
    if (row.source != appliedSrcBlend || row.destination != appliedDestBlend) {
        SetRS(D3DRENDERSTATE_SRCBLEND, row.source);
        SetRS(D3DRENDERSTATE_DESTBLEND, row.destination);
        appliedSrcBlend = row.source;
        appliedDestBlend = row.destination;
    }
    *source = row.stage;
    *vertexColour = row.vertexColour;
    return false;
}

bool SgD3DDriver::SetupTexturePass(uint32_t pass) {
    switch (passChoice) {
    case 0: {
        SwitchStage1Off();
        const bool alpha = BindPassTexture(0);
        SetStage0Apply(textureApply, alpha, holders[0].Get() != nullptr);
        ZBiasBackToZero();
        return false;
    }
    case 1: {
        const bool swapped = SetMultiTextureMode(multiTextureApply);
        bool alpha0 = false, alpha1 = false;
        if (swapped)
            BindStageTextures(1, 0, &alpha0, &alpha1);
        else
            BindStageTextures(0, 1, &alpha0, &alpha1);
        if (wanted & kVertexLast) {
            SetStage0Apply(0, alpha0, holders[0].Get() != nullptr);
            SetStage2Apply(textureApply, alpha0);
        } else {
            SetStage0Apply(textureApply, alpha0, holders[0].Get() != nullptr);
        }
        ZBiasBackToZero();
        return false;
    }
    case 2: {
        SwitchStage1Off();
        uint32_t source = 0, vertexColour = 0;
        const bool more = SetPassBlend(multiTextureApply, pass, &source, &vertexColour);
        BindPassTexture(source);
        SetPassStage0Apply(textureApply, vertexColour, holders[0].Get() != nullptr);
        appliedZBias = 4 * pass;
        SetRS(D3DRENDERSTATE_ZBIAS, appliedZBias);
        return more;
    }
    default:
        return false;
    }
}

// ---- Property support ----

uint32_t SgD3DDriver::CheckPropertySupport(const SgPropertyList& list) {
    const SgProperty* in[SG_PROPERTY_TYPE_COUNT] = {};
    SgRef<SgProperty> defaults[14] = {
        SgAlphaProperty::Default(),       SgCorrectionProperty::Default(), SgFogProperty::Default(),
        SgMaterialProperty::Default(),    SgShadeProperty::Default(),      SgTextureModeProperty::Default(),
        SgTextureProperty::Default(),     SgTransparentProperty::Default(), SgWireframeProperty::Default(),
        SgZBufferProperty::Default(),     SgDitherProperty::Default(),     SgVertexColorProperty::Default(),
        SgSpecularProperty::Default(),    SgMultiTextureProperty::Default(),
    };
    for (int t = 0; t < 14; ++t)
        in[t] = defaults[t].Get();
    for (SgProperty* p : list) {
        const int t = p ? p->PropertyType() : -1;
        if (t >= 0 && t < 14)
            in[t] = p;
    }
    const auto& alpha = static_cast<const SgAlphaProperty&>(*in[SG_ALPHA_PROPERTY]);
    const auto& fog = static_cast<const SgFogProperty&>(*in[SG_FOG_PROPERTY]);
    const auto& mode = static_cast<const SgTextureModeProperty&>(*in[SG_TEXTURE_MODE_PROPERTY]);
    const auto& texture = static_cast<const SgTextureProperty&>(*in[SG_TEXTURE_PROPERTY]);
    const auto& transparent = static_cast<const SgTransparentProperty&>(*in[SG_TRANSPARENT_PROPERTY]);
    const auto& z = static_cast<const SgZBufferProperty&>(*in[SG_ZBUFFER_PROPERTY]);
    const auto& dither = static_cast<const SgDitherProperty&>(*in[SG_DITHER_PROPERTY]);
    const auto& vertexColour = static_cast<const SgVertexColorProperty&>(*in[SG_VERTEX_COLOR_PROPERTY]);
    const auto& specular = static_cast<const SgSpecularProperty&>(*in[SG_SPECULAR_PROPERTY]);
    const auto& multi = static_cast<const SgMultiTextureProperty&>(*in[SG_MULTI_TEXTURE_PROPERTY]);
    const D3DPRIMCAPS& tri = description.dpcTriCaps;
    uint32_t f = 0;

    // Values past their tables read as the renderer reads them: blends as ONE, filters as 0.
    const bool blending = alpha.blendOn != 0;
    if (blending) {
        const uint32_t s = alpha.sourceBlend <= 10 ? alpha.sourceBlend : 0;
        const uint32_t d = alpha.destinationBlend <= 10 ? alpha.destinationBlend : 0;
        if (!(srcBlendSupport >> s & 1) || !(destBlendSupport >> d & 1))
            f |= 0x40000010;
    }
    if (dither.ditherOn && !(tri.dwRasterCaps & D3DPRASTERCAPS_DITHER))
        f |= 0x4;
    uint32_t nonNull = 0;
    for (uint32_t i = 0; i < multi.textures.UsedSize(); ++i)
        nonNull += multi.textures.At(i) != nullptr;
    if (nonNull > 1)
        f |= 0x40001000;
    SgImage* i1 = multi.textures.UsedSize() ? multi.textures.At(0) : nullptr;
    const uint32_t m = multi.blendModes.UsedSize() ? multi.blendModes.At(0) : 0;
    auto addressing = [&](uint32_t a) {
        if (a > 2)
            return;
        if (!(tri.dwTextureAddressCaps & D3DPTADDRESSCAPS_CLAMP))
            f |= 0x40000080;
        else if (!(wanted & kIndependentUV) && (a == 1 || a == 2))
            f |= 0x40000100;
    };
    if (i1)
        addressing(multi.addressingModes.UsedSize() ? multi.addressingModes.At(0) : 3);
    if (specular.specularOn && !(tri.dwShadeCaps & D3DPSHADECAPS_SPECULARGOURAUDRGB))
        f |= 0x2000;
    SgRef<SgImage> i0 = texture.CurrentImage();
    const uint32_t apply = mode.applyMode;
    const uint32_t filter = mode.filterMode <= 5 ? mode.filterMode : 0;
    if (i0) {
        const DWORD blendCaps = tri.dwTextureBlendCaps;
        if ((apply == 3 && !(blendCaps & D3DPTBLENDCAPS_MODULATEALPHA)) ||
            (apply == 1 && (!(blendCaps & D3DPTBLENDCAPS_DECALALPHA) || i1)) || apply >= 4)
            f |= 0x40000020;
        addressing(mode.addressingMode);
        if (transparent.transparentOn && !(tri.dwTextureCaps & D3DPTEXTURECAPS_TRANSPARENCY))
            f |= 0x40002000;
    }
    if (z.depthTest && !(tri.dwZCmpCaps & D3DPCMPCAPS_LESSEQUAL))
        f |= 0x40002000;
    else if ((z.depthTest || z.depthWrite) && !buffers->zbuffer)
        f |= 0x40002000;

    uint32_t passes = 1;
    if (i0 && i1) {
        const int32_t k0 = textureManager ? textureManager->GetImageFormatKind(i0.Get()) : 7;
        const int32_t k1 = textureManager ? textureManager->GetImageFormatKind(i1) : 7;
        if (k0 == 7 || m > 7) {
            passes = 0;
        } else if (k1 != 7) {
            const uint8_t e = modeTable[m][k0][k1];
            if (!(e & 0x80)) {
                passes = e;
            } else {
                if (!(wanted & kTrilinearMulti) && (filter == 2 || filter == 4))
                    f |= 0x2;
                if (!(wanted & kVertexLast) && apply && vertexColour.mode && m) {
                    f |= 0x400;
                    passes = 2;
                }
            }
        }
    }
    if (passes == 0)
        f |= 0x40000008;
    else if (passes > 1)
        f |= blending ? 0x40000041 : 0x1;
    if (fog.fogOn) {
        if (tri.dwRasterCaps & D3DPRASTERCAPS_FOGVERTEX) {
            if (f & 1)
                f |= 0x40000200;
        } else if (fog.fogKind != 0 || !(tri.dwRasterCaps & D3DPRASTERCAPS_FOGTABLE) || (f & 1)) {
            f |= 0x40000200;
        }
    }
    return f;
}
