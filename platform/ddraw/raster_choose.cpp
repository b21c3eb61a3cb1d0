// Which specialised span loop draws a state, if any: a 5-6-5 target, a 16-bit depth buffer tested
// with less-or-equal (or always), stage 0 alone selecting or modulating its texture and the diffuse
// colour, point or bilinear filtering with nearest-level mipmaps, wrap or clamp, vertex fog, and
// no blend, the alpha blend, the additive blend, the screen blend (one, inverse source colour) or
// the additive blend by source alpha.
// Anything else goes to the general loop.

#include <algorithm>
#include <array>
#include <utility>
#include <cmath>

#include "platform/ddraw/control.h"
#include "platform/ddraw/raster_internal.h"
#include "platform/ddraw/raster_span.h"

namespace platform::dd::raster {

namespace {

bool ProcessorHasAvx2() {
#if defined(QUORRIN_SPAN_AVX2)
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
#else
    return false;
#endif
}

bool ProcessorHasAvx512() {
#if defined(QUORRIN_SPAN_WIDE)
    static const bool has = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                            __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512dq");
    return has;
#else
    return false;
#endif
}

SpanWidth g_widestSpans = SpanWidth::Sixteen;

template <size_t... I>
std::array<const SpanFn*, sizeof...(I)> AllSpanParts(std::index_sequence<I...>) {
    return {SpanPart<static_cast<int>(I) / kBlends, static_cast<int>(I) % kBlends>()...};
}

// The specialised loops of a depth mode (kDepthOff, kDepth16) and blend.
const SpanFn* SpanPartOf(int depth, int blend) {
    static const auto parts = AllSpanParts(std::make_index_sequence<2 * kBlends>());
    return parts[static_cast<size_t>(depth * kBlends + blend)];
}

bool IsTextureArg(DWORD arg) { return arg == D3DTA_TEXTURE; }
bool IsDiffuseArg(DWORD arg) { return arg == D3DTA_DIFFUSE || arg == D3DTA_CURRENT; }

enum class Source { None, Diffuse, Texture, Product };

// What a stage-0 operation makes of the texture and the diffuse value; None when it is more.
Source Classify(DWORD op, DWORD arg1, DWORD arg2) {
    switch (op) {
    case D3DTOP_DISABLE: return Source::Diffuse;
    case D3DTOP_SELECTARG1:
        return IsTextureArg(arg1) ? Source::Texture : (IsDiffuseArg(arg1) ? Source::Diffuse : Source::None);
    case D3DTOP_SELECTARG2:
        return IsTextureArg(arg2) ? Source::Texture : (IsDiffuseArg(arg2) ? Source::Diffuse : Source::None);
    case D3DTOP_MODULATE:
        if ((IsTextureArg(arg1) && IsDiffuseArg(arg2)) || (IsDiffuseArg(arg1) && IsTextureArg(arg2)))
            return Source::Product;
        return Source::None;
    default: return Source::None;
    }
}

}  // namespace

SpanFn ChooseSpecialisedSpan(Context& c) {
    const DrawSetup& s = c.s;
    const FormatInfo& f = s.target.format;
    if (f.bytes != 2 || f.r.mask != 0xF800 || f.g.mask != 0x07E0 || f.b.mask != 0x001F || f.hasAlpha)
        return nullptr;
    if (s.alphaTest && s.alphaFunc != D3DCMP_ALWAYS)
        return nullptr;

    const SpanWidth widest = WidestSpans();
    c.vectorSpans = widest >= SpanWidth::Eight;
    c.wideSpans = widest >= SpanWidth::Sixteen;
    SpanKey k{};
    if (c.depth) {
        const FormatInfo& zf = s.target.depthFormat;
        if (zf.bytes != 2 || zf.depth.mask != 0xFFFF)
            return nullptr;
        if (s.zFunc != D3DCMP_LESSEQUAL && s.zFunc != D3DCMP_ALWAYS)
            return nullptr;
        k.depth = kDepth16;
    }

    const StageSetup& s0 = s.stages[0];
    if (s0.colorOp != D3DTOP_DISABLE && s.stages[1].colorOp != D3DTOP_DISABLE)
        return nullptr;
    Source color = Classify(s0.colorOp, s0.colorArg1, s0.colorArg2);
    Source alpha = s0.colorOp == D3DTOP_DISABLE ? Source::Diffuse
                                                : Classify(s0.alphaOp, s0.alphaArg1, s0.alphaArg2);
    if (color == Source::None || alpha == Source::None)
        return nullptr;

    if (!s.blend || (s.srcBlend == D3DBLEND_ONE && s.destBlend == D3DBLEND_ZERO))
        k.blend = kBlendOff;
    else if (s.srcBlend == D3DBLEND_SRCALPHA && s.destBlend == D3DBLEND_INVSRCALPHA)
        k.blend = kBlendLerp;
    else if (s.srcBlend == D3DBLEND_ONE && s.destBlend == D3DBLEND_ONE)
        k.blend = kBlendAdd;
    else if (s.srcBlend == D3DBLEND_ONE && s.destBlend == D3DBLEND_INVSRCCOLOR)
        k.blend = kBlendScreen;
    else if (s.srcBlend == D3DBLEND_SRCALPHA && s.destBlend == D3DBLEND_ONE)
        k.blend = kBlendAddAlpha;
    else
        return nullptr;

    const TexData* t = s0.texture && s0.texture->levelCount > 0 ? s0.texture : nullptr;
    const bool alphaMatters = BlendByAlpha(k.blend);
    const bool wantsTexture = color != Source::Diffuse || (alphaMatters && alpha != Source::Diffuse);
    if (wantsTexture) {
        // Without a texture the stage reads opaque white.
        if (!t)
            return nullptr;
        if (!t->powerOfTwo)
            return nullptr;
        if ((s0.addressU != D3DTADDRESS_WRAP && s0.addressU != D3DTADDRESS_CLAMP) ||
            (s0.addressV != D3DTADDRESS_WRAP && s0.addressV != D3DTADDRESS_CLAMP))
            return nullptr;
        if (s0.magFilter == D3DTFG_POINT && s0.minFilter == D3DTFN_POINT)
            k.texture = kTexPoint;
        else if (s0.magFilter == D3DTFG_LINEAR && s0.minFilter == D3DTFN_LINEAR)
            k.texture = kTexLinear;
        else
            return nullptr;
        if (s0.mipFilter == D3DTFP_LINEAR && t->levelCount > 1)
            return nullptr;
        if (color == Source::Diffuse)
            return nullptr;  // texture only for alpha: the general loop
        k.combine = color == Source::Texture ? kCombineTexture : kCombineModulate;
        k.key = s.colorKey && t->hasKey;

        FastTexture& ft = c.tex;
        ft.data = t;
        ft.coordSet = s0.coordSet;
        ft.wrapU = s0.addressU == D3DTADDRESS_WRAP;
        ft.wrapV = s0.addressV == D3DTADDRESS_WRAP;
        ft.lastLevel = t->levelCount - 1;
        ft.firstLevel = std::min(s0.maxMipLevel, ft.lastLevel);
        ft.mipmapped = s0.mipFilter == D3DTFP_POINT && ft.lastLevel > ft.firstLevel;
        ft.lodScale = std::exp2(2.0f * s0.lodBias);
        ft.shift = k.texture == kTexPoint ? kPointRound * 65536.0f : 0.0f;
    } else {
        k.texture = kTexNone;
        k.combine = kCombineDiffuse;
    }

    switch (alpha) {
    case Source::Texture: c.alphaSource = AlphaSource::Texture; break;
    case Source::Product: c.alphaSource = AlphaSource::Product; break;
    default: c.alphaSource = AlphaSource::Diffuse; break;
    }

    if (s.fog) {
        if (s.fogTableMode != D3DFOG_NONE)
            return nullptr;
        k.fog = true;
    }
    k.specular = s.specular;
    return SpanPartOf(k.depth, k.blend)[IndexOf(k) / kBlends];
}

}  // namespace platform::dd::raster

namespace platform::dd {

void LimitSpanWidth(SpanWidth widest) { raster::g_widestSpans = widest; }

SpanWidth WidestSpans() {
    SpanWidth processor = SpanWidth::One;
    if (raster::ProcessorHasAvx512() && raster::ProcessorHasAvx2())
        processor = SpanWidth::Sixteen;
    else if (raster::ProcessorHasAvx2())
        processor = SpanWidth::Eight;
    return std::min(processor, raster::g_widestSpans);
}

}  // namespace platform::dd
