#pragma once
// The specialised span loops: one instantiation per combination of depth test, texture filter,
// colour combination, colour key, specular, fog and blend, for 5-6-5 targets with 16-bit depth.
// Everything that varies per pixel is fixed point; texture coordinates are divided by 1/w at the
// ends of segments of up to 16 pixels (shorter where the affine error would reach a texel) and
// stepped linearly between them.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/ddraw/raster_internal.h"

namespace platform::dd::raster {

enum SpanDepth : int { kDepthOff, kDepth16 };
enum SpanTexture : int { kTexNone, kTexPoint, kTexLinear };
enum SpanCombine : int { kCombineDiffuse, kCombineTexture, kCombineModulate };
enum SpanBlend : int { kBlendOff, kBlendLerp, kBlendAdd };

struct SpanKey {
    int depth;
    int texture;
    int combine;
    bool key;
    bool specular;
    bool fog;
    int blend;
};

// The valid keys of one depth mode: 9 texture/combine/key choices x specular x fog x 3 blends.
constexpr int kKeysPerDepth = 9 * 2 * 2 * 3;

constexpr SpanKey KeyAt(int depth, int index) {
    SpanKey k{};
    k.depth = depth;
    k.blend = index % 3;
    index /= 3;
    k.fog = index % 2;
    index /= 2;
    k.specular = index % 2;
    index /= 2;
    if (index == 0) {
        k.texture = kTexNone;
        k.combine = kCombineDiffuse;
        k.key = false;
    } else {
        int t = index - 1;
        k.key = t % 2;
        t /= 2;
        k.combine = t % 2 ? kCombineModulate : kCombineTexture;
        t /= 2;
        k.texture = t ? kTexLinear : kTexPoint;
    }
    return k;
}

constexpr int IndexOf(const SpanKey& k) {
    int tc = k.texture == kTexNone
                 ? 0
                 : 1 + ((k.texture == kTexLinear ? 1 : 0) * 2 + (k.combine == kCombineModulate ? 1 : 0)) * 2 +
                       (k.key ? 1 : 0);
    return ((tc * 2 + (k.specular ? 1 : 0)) * 2 + (k.fog ? 1 : 0)) * 3 + k.blend;
}

namespace span_detail {

// Colours are worked on as vectors of 16-bit lanes: blue, green, red, alpha in the low four (the
// byte order of 0xAARRGGBB in memory), the high four unused; colours being interpolated are four
// 32-bit lanes in 16.16 fixed point. The operators are the compilers' vector extensions; the few
// conversions use SSE2 where there is SSE2.
using U16x8 = uint16_t __attribute__((vector_size(16)));
using I32x4 = int32_t __attribute__((vector_size(16)));
using F32x4 = float __attribute__((vector_size(16)));

inline F32x4 LoadLanes(const float* p) {
    F32x4 v;
    std::memcpy(&v, p, sizeof(v));
    return v;
}

inline F32x4 ClampLanes(F32x4 v, float lo, float hi) {
#if defined(__SSE2__)
    // max first: a NaN lane becomes lo.
    return (F32x4)_mm_min_ps(_mm_max_ps((__m128)v, _mm_set1_ps(lo)), _mm_set1_ps(hi));
#else
    for (int i = 0; i < 4; ++i)
        v[i] = v[i] > lo ? (v[i] < hi ? v[i] : hi) : lo;
    return v;
#endif
}

inline U16x8 Widen(uint32_t argb) {
#if defined(__SSE2__)
    return (U16x8)_mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(argb)), _mm_setzero_si128());
#else
    return U16x8{static_cast<uint16_t>(argb & 0xFF), static_cast<uint16_t>((argb >> 8) & 0xFF),
                 static_cast<uint16_t>((argb >> 16) & 0xFF), static_cast<uint16_t>(argb >> 24), 0, 0, 0, 0};
#endif
}

// Lanes of at most 255 back to 0xAARRGGBB.
inline uint32_t Narrow(U16x8 lanes) {
#if defined(__SSE2__)
    return static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16((__m128i)lanes, (__m128i)lanes)));
#else
    return static_cast<uint32_t>(lanes[0]) | (static_cast<uint32_t>(lanes[1]) << 8) |
           (static_cast<uint32_t>(lanes[2]) << 16) | (static_cast<uint32_t>(lanes[3]) << 24);
#endif
}

// The integer parts of 16.16 lanes (0..255, or 0..256 for factors, see FixedLanes).
inline U16x8 IntegerLanes(I32x4 v) {
#if defined(__SSE2__)
    return (U16x8)_mm_packs_epi32((__m128i)(v >> 16), _mm_setzero_si128());
#else
    const I32x4 i = v >> 16;
    return U16x8{static_cast<uint16_t>(i[0]), static_cast<uint16_t>(i[1]), static_cast<uint16_t>(i[2]),
                 static_cast<uint16_t>(i[3]), 0, 0, 0, 0};
#endif
}

// Lane 3 (alpha, or the fog factor) in the four low lanes.
inline U16x8 SplatLane3(U16x8 v) {
#if defined(__SSE2__)
    return (U16x8)_mm_shufflelo_epi16((__m128i)v, 0xFF);
#else
    return U16x8{v[3], v[3], v[3], v[3], 0, 0, 0, 0};
#endif
}

// 16.16 lanes over `pixels` pixels from values at the first pixel and slopes per pixel, each lane
// times its scale: 1 for colours, 256/255 for factors (so a factor of 255 becomes 256 and
// multiplying by it and shifting right by 8 leaves a colour as it is). Every pixel's value stays in
// range: at the edges of a triangle rounding can take the values out a little, and then the slope
// is cut so the last pixel ends in range.
inline void FixedLanes(F32x4 first, F32x4 slope, F32x4 scale, int pixels, I32x4* value, I32x4* step) {
    constexpr float kTop = 255.99f;
    const F32x4 start = ClampLanes(first, 0.0f, kTop);
    F32x4 d = ClampLanes(slope, -256.0f, 256.0f);
    const F32x4 last = start + d * static_cast<float>(pixels - 1);
    const F32x4 end = ClampLanes(last, 0.0f, kTop);
#if defined(__SSE2__)
    const bool cut = _mm_movemask_ps(_mm_cmpneq_ps((__m128)end, (__m128)last)) != 0;
#else
    const bool cut = end[0] != last[0] || end[1] != last[1] || end[2] != last[2] || end[3] != last[3];
#endif
    if (cut && pixels > 1)
        d = (end - start) * (0.999f / static_cast<float>(pixels - 1));
    *value = __builtin_convertvector(start * scale, I32x4);
    *step = __builtin_convertvector(d * scale, I32x4);
}

constexpr float kColorScale = 65536.0f;
constexpr float kFactorScale = 65536.0f * 256.0f / 255.0f;

inline U16x8 Splat(uint32_t x) {
    const uint16_t v = static_cast<uint16_t>(x);
    return U16x8{v, v, v, v, v, v, v, v};
}

// a times a factor of 0..256 (see FixedLanes) in every lane.
inline U16x8 ScaleLanes(U16x8 a, U16x8 w) { return (a * w) >> 8; }

// From `from` (w = 0) to `to` (w = 256) in every lane.
inline U16x8 MixLanes(U16x8 from, U16x8 to, U16x8 w) { return (to * w + from * (256 - w)) >> 8; }

// An 8-bit factor (0..255) on the 0..256 scale of the lanes.
inline uint16_t Factor(uint32_t f) { return static_cast<uint16_t>(f + (f >> 7)); }

inline U16x8 Min255(U16x8 v) {
    const U16x8 over = (U16x8)(v > 255);
    return (v & ~over) | (over & 255);
}

// Lanes of at most 255 to a 5-6-5 pixel.
inline uint32_t Pack565(U16x8 lanes) {
#if defined(__SSE2__)
    // Each lane shifted down to its width (a high multiply by 2^13 or 2^14), then weighted into
    // place and summed in pairs.
    const __m128i narrow = _mm_mulhi_epu16((__m128i)lanes, _mm_setr_epi16(8192, 16384, 8192, 0, 0, 0, 0, 0));
    const __m128i sums = _mm_madd_epi16(narrow, _mm_setr_epi16(1, 32, 2048, 0, 0, 0, 0, 0));
    return static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_add_epi32(sums, _mm_srli_epi64(sums, 32))));
#else
    const uint32_t argb = Narrow(lanes);
    return ((argb >> 8) & 0xF800) | ((argb >> 5) & 0x07E0) | ((argb >> 3) & 0x001F);
#endif
}

inline uint32_t Expand565(uint32_t p) {
    const uint32_t r = (p >> 11) & 31, g = (p >> 5) & 63, b = p & 31;
    return (((r << 3) | (r >> 2)) << 16) | (((g << 2) | (g >> 4)) << 8) | ((b << 3) | (b >> 2));
}

inline uint32_t Lerp2(uint32_t a, uint32_t b, uint32_t f) {
    uint32_t rb = (((a & 0xFF00FF) * (256 - f) + (b & 0xFF00FF) * f) >> 8) & 0xFF00FF;
    uint32_t ag = (((a >> 8) & 0xFF00FF) * (256 - f) + ((b >> 8) & 0xFF00FF) * f) & 0xFF00FF00;
    return rb | ag;
}

inline int32_t ToFixed(double v, double hi, double scale) {
    if (!(v > 0))
        return 0;
    return static_cast<int32_t>((v > hi ? hi : v) * scale);
}

// Four texels blended by their weights (fu across, fv down, 0..255) into colour lanes.
inline U16x8 Bilinear(uint32_t t00, uint32_t t01, uint32_t t10, uint32_t t11, uint32_t fu, uint32_t fv) {
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i top = _mm_unpacklo_epi8(
        _mm_unpacklo_epi32(_mm_cvtsi32_si128(static_cast<int>(t00)), _mm_cvtsi32_si128(static_cast<int>(t01))), zero);
    const __m128i bottom = _mm_unpacklo_epi8(
        _mm_unpacklo_epi32(_mm_cvtsi32_si128(static_cast<int>(t10)), _mm_cvtsi32_si128(static_cast<int>(t11))), zero);
    // Down both columns at once, then across: the right column's lanes weighted and added to the left.
    const __m128i column = _mm_srli_epi16(
        _mm_add_epi16(_mm_mullo_epi16(top, _mm_set1_epi16(static_cast<short>(256 - fv))),
                      _mm_mullo_epi16(bottom, _mm_set1_epi16(static_cast<short>(fv)))),
        8);
    const __m128i across = _mm_mullo_epi16(
        column, _mm_unpacklo_epi64(_mm_set1_epi16(static_cast<short>(256 - fu)), _mm_set1_epi16(static_cast<short>(fu))));
    return (U16x8)_mm_srli_epi16(_mm_add_epi16(across, _mm_srli_si128(across, 8)), 8);
#else
    return Widen(Lerp2(Lerp2(t00, t01, fu), Lerp2(t10, t11, fu), fv));
#endif
}

// A fixed-point run over `pixels` pixels from `first` with the gradient `slope` (per pixel, same
// scale): the value never leaves 0..hi on the way (rounding at the edges of a triangle could take
// it out by a little).
inline void Run(double first, double slope, int pixels, double hi, double scale, int32_t* value, int32_t* step) {
    *value = ToFixed(first, hi, scale);
    *step = 0;
    if (pixels <= 1)
        return;
    const double s = slope * scale;
    if (!(s > -2147483647.0 && s < 2147483647.0))
        return;
    *step = static_cast<int32_t>(s);
    const int64_t end = *value + static_cast<int64_t>(*step) * (pixels - 1);
    const int64_t top = static_cast<int64_t>(hi * scale);
    if (end < 0 || end > top) {
        const int64_t target = end < 0 ? 0 : top;
        *step = static_cast<int32_t>((target - *value) / (pixels - 1));
    }
}

inline int32_t TexelFixed(float v) {
    if (!(v > -30000.0f))
        v = -30000.0f;
    if (v > 30000.0f)
        v = 30000.0f;
    return static_cast<int32_t>(v * 65536.0f);
}

// Texture coordinates in 16.16 texels of the chosen level, for one segment.
struct TexSegment {
    const uint32_t* texels;
    const uint8_t* keyed;
    int widthLog2;
    int uMask, uMax, vMask, vMax;  // wrap masks (-1 for clamp) and the largest index
    int vShift, vRowMask;          // the fast index: ((v >> vShift) & vRowMask) | ((u >> 16) & uMask)
    bool fast;                     // every coordinate of the segment needs no clamping
    int32_t u, du, v, dv;

    template <bool kFast>
    int Index(int32_t uu, int32_t vv) const {
        if constexpr (kFast)
            return ((vv >> vShift) & vRowMask) | ((uu >> 16) & uMask);
        return (Address(vv >> 16, vMask, vMax) << widthLog2) | Address(uu >> 16, uMask, uMax);
    }
};

// 1 / n for the segment lengths (up to 24).
constexpr std::array<float, 25> kInverse = [] {
    std::array<float, 25> table{};
    for (int i = 1; i < 25; ++i)
        table[i] = 1.0f / static_cast<float>(i);
    return table;
}();

}  // namespace span_detail

template <SpanKey K>
void SpecialisedSpan(const Context& c, const Gradients& g, int y, int xs, int xe) {
    using namespace span_detail;
    const int n = xe - xs;
    const DrawSetup& s = c.s;
    const float fx0 = static_cast<float>(xs);
    const float fy = static_cast<float>(y);

    uint16_t* const dst = reinterpret_cast<uint16_t*>(s.target.color + static_cast<ptrdiff_t>(y) * s.target.pitch) + xs;

    // Depth in 17.15 fixed point of the 16-bit buffer's units.
    uint16_t* zb = nullptr;
    int32_t z = 0, dz = 0;
    const uint32_t zTest = c.depthAlways ? 0 : 0xFFFFFFFF;  // 0: every pixel passes
    const bool zWrite = s.zWrite;
    if constexpr (K.depth == kDepth16) {
        zb = reinterpret_cast<uint16_t*>(s.target.depth + static_cast<ptrdiff_t>(y) * s.target.depthPitch) + xs;
        Run(static_cast<double>(g.At(kAttrZ, fx0, fy)) - c.zBias, g.dx[kAttrZ], n, 1.0, 65535.0 * 32768.0, &z, &dz);
    }

    // Colours in 16.16: diffuse (blue, green, red, alpha), and specular (blue, green, red) with the
    // fog factor in the fourth lane.
    constexpr bool kDiffuse = K.combine != kCombineTexture || K.blend == kBlendLerp;
    constexpr bool kSpecularFog = K.specular || K.fog;
    const float ox = fx0 - g.x0, oy = fy - g.y0;
    auto setup = [&](int first, F32x4 scale, I32x4* value, I32x4* step) {
        const F32x4 dx = LoadLanes(&g.dx[first]);
        FixedLanes(LoadLanes(&g.base[first]) + dx * ox + LoadLanes(&g.dy[first]) * oy, dx, scale, n, value, step);
    };
    // The diffuse colour is a factor when it modulates the texture; alpha and fog are factors.
    constexpr float kDiffuseScale = K.combine == kCombineModulate ? kFactorScale : kColorScale;
    I32x4 col{}, dcol{}, specFog{}, dspecFog{};
    if constexpr (kDiffuse)
        setup(kAttrB, F32x4{kDiffuseScale, kDiffuseScale, kDiffuseScale, kFactorScale}, &col, &dcol);
    if constexpr (kSpecularFog)
        setup(kAttrSB, F32x4{kColorScale, kColorScale, kColorScale, kFactorScale}, &specFog, &dspecFog);
    const U16x8 rgbMask{0xFFFF, 0xFFFF, 0xFFFF, 0, 0, 0, 0, 0};
    const U16x8 fogColor = Widen(s.fogColor);
    const AlphaSource alphaSource = c.alphaSource;

    // Texture state that stays for the span.
    const FastTexture& T = c.tex;
    const TexData* td = T.data;
    const int ua = T.coordSet ? kAttrU1 : kAttrU0;
    const int va = ua + 1;
    const bool perspective = c.perspective;
    float uq = 0, vq = 0, duq = 0, dvq = 0, qa = 1, dq = 0, w0 = 1, h0 = 1;
    if constexpr (K.texture != kTexNone) {
        w0 = static_cast<float>(td->levels[0].width);
        h0 = static_cast<float>(td->levels[0].height);
        uq = g.At(ua, fx0, fy) * w0;
        vq = g.At(va, fx0, fy) * h0;
        duq = g.dx[ua] * w0;
        dvq = g.dx[va] * h0;
        if (perspective) {
            qa = std::max(g.At(kAttrQ, fx0, fy), 1e-20f);
            dq = g.dx[kAttrQ];
        }
    }
    // Texel coordinates (level 0) at the segment start.
    float iw = 1.0f / qa;
    float u0 = uq * iw, v0 = vq * iw;

    int x = 0;
    while (x < n) {
        // Segments of 16 pixels, or the whole rest when that is up to 24 (no short tail).
        int len = n - x <= 24 ? n - x : 16;
        TexSegment ts{};
        if constexpr (K.texture != kTexNone) {
            // Texels per pixel along the span at the segment start (level 0).
            const float ux = (duq - u0 * dq) * iw, vx = (dvq - v0 * dq) * iw;
            int level = T.firstLevel;
            if (T.mipmapped) {
                const float duy = g.dy[ua] * w0, dvy = g.dy[va] * h0, dqy = perspective ? g.dy[kAttrQ] : 0.0f;
                const float uy = (duy - u0 * dqy) * iw, vy = (dvy - v0 * dqy) * iw;
                const float rho2 = std::max(ux * ux + vx * vx, uy * uy + vy * vy) * T.lodScale;
                level = NearestLevel(rho2, T.firstLevel, T.lastLevel);
            }
            const TexLevel& lv = td->levels[level];
            const float scale = 1.0f / static_cast<float>(1 << level);

            // Between its ends a segment is affine; its error at the middle is about
            // len^2 (|du/dx| + |dv/dx|) |dq/dx| / 4q texels. Halve the segment until that stays
            // below half a texel, so the texel is never off by one whole texel.
            if (perspective) {
                const float error = (std::fabs(ux) + std::fabs(vx)) * scale * std::fabs(dq) * iw * 0.25f;
                while (len > 2 && static_cast<float>(len * len) * error >= 0.5f)
                    len = (len + 1) >> 1;
            }
            // The end: the next segment's start, or the last pixel of the span.
            const int steps = x + len < n ? len : len - 1;
            const float t = static_cast<float>(steps);
            const float qe = std::max(qa + dq * t, 1e-20f);
            const float iwe = 1.0f / qe;
            const float ue = (uq + duq * t) * iwe, ve = (vq + dvq * t) * iwe;

            float su = u0 * scale, sv = v0 * scale, eu = ue * scale, ev = ve * scale;
            const float lw = static_cast<float>(lv.width), lh = static_cast<float>(lv.height);
            // Whole turns of a wrapped texture keep the fixed-point coordinates small.
            auto unwind = [](float* a, float* b, float size) {
                const float turns = *a * (1.0f / size);
                if (std::fabs(turns) < 1e6f) {
                    const float shift = static_cast<float>(static_cast<int>(turns)) * size;
                    *a -= shift;
                    *b -= shift;
                }
            };
            if (T.wrapU)
                unwind(&su, &eu, lw);
            if (T.wrapV)
                unwind(&sv, &ev, lh);
            ts.texels = lv.texels;
            ts.keyed = lv.keyed;
            ts.widthLog2 = lv.widthLog2;
            ts.uMask = T.wrapU ? lv.width - 1 : -1;
            ts.vMask = T.wrapV ? lv.height - 1 : -1;
            ts.uMax = lv.width - 1;
            ts.vMax = lv.height - 1;
            ts.vShift = 16 - lv.widthLog2;
            ts.vRowMask = (lv.height - 1) << lv.widthLog2;
            ts.u = TexelFixed(su);
            ts.v = TexelFixed(sv);
            if (steps > 0) {
                const float perStep = 65536.0f * kInverse[steps];
                ts.du = static_cast<int32_t>((eu - su) * perStep);
                ts.dv = static_cast<int32_t>((ev - sv) * perStep);
            }
            // Clamping changes nothing where the segment stays inside the texture (bilinear reads
            // one texel further on each side).
            const float margin = K.texture == kTexLinear ? 1.0f : 0.0f;
            auto inside = [margin](float a, float b, float size) {
                return std::min(a, b) >= margin && std::max(a, b) < size - margin;
            };
            ts.fast = (T.wrapU || inside(su, eu, lw)) && (T.wrapV || inside(sv, ev, lh));
            if (ts.fast) {
                ts.uMask = lv.width - 1;
                ts.vMask = lv.height - 1;
            }
            // The next segment starts where this one ends.
            uq += duq * static_cast<float>(len);
            vq += dvq * static_cast<float>(len);
            qa = qe;
            iw = iwe;
            u0 = ue;
            v0 = ve;
        }

        const int end = x + len;
        auto pixels = [&]<bool kFast>() {
            for (int i = x; i < end; ++i) {
                uint32_t zv = 0, zOld = 0;
                bool draw = true;
                if constexpr (K.depth == kDepth16) {
                    zv = static_cast<uint32_t>(z) >> 15;
                    zOld = zb[i];
                    draw = (zv & zTest) <= zOld;
                }
                if (draw) {
                    U16x8 texel{};
                    bool keyed = false;
                    if constexpr (K.texture == kTexPoint) {
                        const int idx = ts.template Index<kFast>(ts.u, ts.v);
                        texel = Widen(ts.texels[idx]);
                        if constexpr (K.key)
                            keyed = ts.keyed[idx] != 0;
                    } else if constexpr (K.texture == kTexLinear) {
                        const int32_t us = ts.u - 0x8000, vs = ts.v - 0x8000;
                        const uint32_t fu = (us >> 8) & 0xFF, fv = (vs >> 8) & 0xFF;
                        int ui0, ui1, row0, row1;
                        if constexpr (kFast) {
                            ui0 = (us >> 16) & ts.uMask;
                            ui1 = ((us >> 16) + 1) & ts.uMask;
                            row0 = ((vs >> 16) & ts.vMask) << ts.widthLog2;
                            row1 = (((vs >> 16) + 1) & ts.vMask) << ts.widthLog2;
                        } else {
                            ui0 = Address(us >> 16, ts.uMask, ts.uMax);
                            ui1 = Address((us >> 16) + 1, ts.uMask, ts.uMax);
                            row0 = Address(vs >> 16, ts.vMask, ts.vMax) << ts.widthLog2;
                            row1 = Address((vs >> 16) + 1, ts.vMask, ts.vMax) << ts.widthLog2;
                        }
                        const uint32_t* t = ts.texels;
                        texel = Bilinear(t[row0 + ui0], t[row0 + ui1], t[row1 + ui0], t[row1 + ui1], fu, fv);
                        if constexpr (K.key)
                            keyed = ts.keyed[(fv >= 128 ? row1 : row0) + (fu >= 128 ? ui1 : ui0)] != 0;
                    }
                    if (!keyed) {
                        const U16x8 diffuse = IntegerLanes(col);
                        U16x8 color;
                        if constexpr (K.texture == kTexNone)
                            color = diffuse;
                        else if constexpr (K.combine == kCombineTexture)
                            color = texel;
                        else
                            color = ScaleLanes(texel, diffuse);
                        if constexpr (K.blend == kBlendLerp) {
                            // The alpha lane becomes the blend factor: the texture's alpha, the diffuse
                            // one (already a factor) or their product.
                            if constexpr (K.texture == kTexNone) {
                                color[3] = diffuse[3];
                            } else {
                                const uint32_t ta = texel[3];
                                if (alphaSource == AlphaSource::Texture)
                                    color[3] = Factor(ta);
                                else if (alphaSource == AlphaSource::Diffuse)
                                    color[3] = diffuse[3];
                                else
                                    color[3] = Factor((ta * diffuse[3]) >> 8);
                            }
                        }
                        if constexpr (kSpecularFog) {
                            const U16x8 sf = IntegerLanes(specFog);
                            if constexpr (K.specular)
                                color = Min255(color + (sf & rgbMask));
                            if constexpr (K.fog) {
                                // Fog tints the colour only: the alpha lane is the blend factor
                                // (up to 256, whose product with a fog factor of 256 would wrap).
                                color = (MixLanes(fogColor, color, SplatLane3(sf)) & rgbMask) | (color & ~rgbMask);
                            }
                        }
                        if constexpr (K.blend == kBlendLerp)
                            color = MixLanes(Widen(Expand565(dst[i])), color, SplatLane3(color));
                        else if constexpr (K.blend == kBlendAdd)
                            color = Min255(color + Widen(Expand565(dst[i])));
                        dst[i] = static_cast<uint16_t>(Pack565(color));
                        if constexpr (K.depth == kDepth16)
                            zb[i] = static_cast<uint16_t>(zWrite ? zv : zOld);
                    }
                }
                if constexpr (K.depth == kDepth16)
                    z += dz;
                if constexpr (K.texture != kTexNone) {
                    ts.u += ts.du;
                    ts.v += ts.dv;
                }
                if constexpr (kDiffuse)
                    col += dcol;
                if constexpr (kSpecularFog)
                    specFog += dspecFog;
            }
        };
        if (K.texture == kTexNone || ts.fast)
            pixels.template operator()<true>();
        else
            pixels.template operator()<false>();
        x = end;
    }
}

// The instantiations of one depth mode, indexed by IndexOf.
using SpanTable = std::array<SpanFn, kKeysPerDepth>;
extern const SpanTable kSpansDepthOff;
extern const SpanTable kSpansDepth16;

template <int Depth, size_t... I>
constexpr SpanTable MakeSpanTable(std::index_sequence<I...>) {
    return {&SpecialisedSpan<KeyAt(Depth, static_cast<int>(I))>...};
}

}  // namespace platform::dd::raster
