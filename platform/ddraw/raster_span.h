#pragma once
// The specialised span loops: one instantiation per combination of depth test, texture filter,
// colour combination, colour key, specular, fog and blend, for 5-6-5 targets with 16-bit depth.
// Colours and depth are stepped in fixed point; texture coordinates are divided by 1/w at every
// pixel (a division per pixel costs less than setting up affine segments on short spans) and the
// mip level is chosen once per triangle where its corners agree, else at the start of every 16
// pixels. Where the processor has AVX2 the pixels go eight at a time, with the same arithmetic as
// the scalar loop, and a triangle whose runs stay inside their ranges is set up once for all its
// rows.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include "platform/ddraw/raster_internal.h"

namespace platform::dd::raster {

enum SpanDepth : int { kDepthOff, kDepth16 };
enum SpanTexture : int { kTexNone, kTexPoint, kTexLinear };
enum SpanCombine : int { kCombineDiffuse, kCombineTexture, kCombineModulate };
// kBlendScreen: the source plus the background times one less the source colour (source one,
// destination inverse source colour), as the HUD's panels draw. kBlendAddAlpha: the source times
// its alpha plus the background (source alpha, destination one), as the arena's glows draw.
enum SpanBlend : int { kBlendOff, kBlendLerp, kBlendAdd, kBlendScreen, kBlendAddAlpha };
constexpr int kBlends = 5;

// Whether the blend weighs the source by its alpha: then the alpha lane carries the factor.
constexpr bool BlendByAlpha(int blend) { return blend == kBlendLerp || blend == kBlendAddAlpha; }

struct SpanKey {
    int depth;
    int texture;
    int combine;
    bool key;
    bool specular;
    bool fog;
    int blend;
};

// Whether the diffuse colour is read, and its alpha (the factor of a blend by alpha, where the
// diffuse alpha may be it).
template <SpanKey K>
constexpr bool kReadsDiffuse = K.combine != kCombineTexture || BlendByAlpha(K.blend);
template <SpanKey K>
constexpr bool kReadsDiffuseAlpha = kReadsDiffuse<K> && BlendByAlpha(K.blend);

// The valid keys of one depth mode: 9 texture/combine/key choices x specular x fog x the blends.
constexpr int kKeysPerDepth = 9 * 2 * 2 * kBlends;

constexpr SpanKey KeyAt(int depth, int index) {
    SpanKey k{};
    k.depth = depth;
    k.blend = index % kBlends;
    index /= kBlends;
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
    return ((tc * 2 + (k.specular ? 1 : 0)) * 2 + (k.fog ? 1 : 0)) * kBlends + k.blend;
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

inline int32_t ToFixed(double v, double hi, double scale) {
    if (!(v > 0))
        return 0;
    return static_cast<int32_t>((v > hi ? hi : v) * scale);
}

// From a (w = 0) towards b (w = 256), rounded to the nearest: the eight-pixel loop's rounding
// multiply gives the same.
inline int LerpRound(int a, int b, int w) { return a + (((b - a) * w + 128) >> 8); }

// Four texels blended by their weights (fu across, fv down, 0..255) into colour lanes: down both
// columns, then across.
inline U16x8 Bilinear(uint32_t t00, uint32_t t01, uint32_t t10, uint32_t t11, uint32_t fu, uint32_t fv) {
    U16x8 out{};
    for (int k = 0; k < 4; ++k) {
        auto channel = [k](uint32_t t) { return static_cast<int>((t >> (8 * k)) & 0xFF); };
        const int w = static_cast<int>(fv);
        const int left = LerpRound(channel(t00), channel(t10), w);
        const int right = LerpRound(channel(t01), channel(t11), w);
        out[k] = static_cast<uint16_t>(LerpRound(left, right, static_cast<int>(fu)));
    }
    return out;
}

// A run's step per pixel in fixed point (0 when out of range).
inline int32_t RunStep(double slope, double scale) {
    const double s = slope * scale;
    return s > -2147483647.0 && s < 2147483647.0 ? static_cast<int32_t>(s) : 0;
}

// A fixed-point run over `pixels` pixels from `first` with the gradient `slope` (per pixel, same
// scale): the value never leaves 0..hi on the way (rounding at the edges of a triangle could take
// it out by a little).
inline void Run(double first, double slope, int pixels, double hi, double scale, int32_t* value, int32_t* step) {
    *value = ToFixed(first, hi, scale);
    *step = 0;
    if (pixels <= 1)
        return;
    *step = RunStep(slope, scale);
    const int64_t end = *value + static_cast<int64_t>(*step) * (pixels - 1);
    const int64_t top = static_cast<int64_t>(hi * scale);
    if (end < 0 || end > top) {
        const int64_t target = end < 0 ? 0 : top;
        *step = static_cast<int32_t>((target - *value) / (pixels - 1));
    }
}

// Texel coordinates: 16.16 fixed point, held within +-30000 texels (a NaN goes to the low end).
constexpr float kTexelLow = -30000.0f * 65536.0f;
constexpr float kTexelHigh = 30000.0f * 65536.0f;

inline int32_t TexelFixed(float v) {
    v = v > kTexelLow ? v : kTexelLow;
    return static_cast<int32_t>(v < kTexelHigh ? v : kTexelHigh);
}

// Span pixels are drawn in chunks: runs of pixels that sample the same mip level.
// What the pixel loops read and step: one chunk of a span. The depth, colour and fog runs carry on
// from chunk to chunk.
// (Members are left uninitialised: it is filled once per span, on the hot path.)
struct SpanPixels {
    uint16_t* dst;
    uint16_t* zb;
    int n;
    int room;  // pixels from dst (and zb) to the end of their rows: whole groups may be read there
    int32_t z, dz;
    uint32_t zTest;  // 0: every pixel passes
    bool zWrite;
    I32x4 col, dcol, specFog, dspecFog;
    uint32_t fogColor;
    AlphaSource alphaSource;
    // Texture coordinates at pixel x of the chunk: the 16.16 texel coordinate of the chunk's
    // level (with the texture's shift) is (tu + x * tdu) / max(tq + x * tdq, kMinQ), and the same
    // for v.
    float tq, tdq, tu, tdu, tv, tdv;
    const uint32_t* texels;
    const uint8_t* keyed;
    const uint32_t* quads;  // when both axes wrap
    int widthLog2;
    int uMask, uMax, vMask, vMax;  // wrap masks (-1 for clamp) and the largest index
};

// The 16.16 texel coordinates of pixel x of the chunk.
inline void TexelAt(const SpanPixels& p, int x, int32_t* u, int32_t* v) {
    const float fx = static_cast<float>(x);
    float q = p.tq + fx * p.tdq;
    q = q > kMinQ ? q : kMinQ;
    const float iw = 1.0f / q;
    *u = TexelFixed((p.tu + fx * p.tdu) * iw);
    *v = TexelFixed((p.tv + fx * p.tdv) * iw);
}

// Carries the runs on over `pixels` pixels (wrapping, as the per-pixel adds do).
inline void CarryRuns(SpanPixels& p, int pixels) {
    const uint32_t steps = static_cast<uint32_t>(pixels);
    p.z = static_cast<int32_t>(static_cast<uint32_t>(p.z) + static_cast<uint32_t>(p.dz) * steps);
    for (int k = 0; k < 4; ++k) {
        p.col[k] = static_cast<int32_t>(static_cast<uint32_t>(p.col[k]) + static_cast<uint32_t>(p.dcol[k]) * steps);
        p.specFog[k] =
            static_cast<int32_t>(static_cast<uint32_t>(p.specFog[k]) + static_cast<uint32_t>(p.dspecFog[k]) * steps);
    }
}

// 2^-n, for the sizes of mip levels (powers of two).
constexpr std::array<float, 32> kPowerOfHalf = [] {
    std::array<float, 32> table{};
    float v = 1.0f;
    for (float& t : table) {
        t = v;
        v *= 0.5f;
    }
    return table;
}();

// The pixel loop one pixel at a time: on every machine, and for colour-keyed textures.
template <SpanKey K>
void ScalarPixels(SpanPixels& p) {
    constexpr bool kDiffuse = kReadsDiffuse<K>;
    constexpr bool kSpecularFog = K.specular || K.fog;
    const U16x8 rgbMask{0xFFFF, 0xFFFF, 0xFFFF, 0, 0, 0, 0, 0};
    const U16x8 fogColor = Widen(p.fogColor);
    uint16_t* const dst = p.dst;
    uint16_t* const zb = p.zb;
    int32_t z = p.z;
    I32x4 col = p.col, specFog = p.specFog;
    for (int i = 0; i < p.n; ++i) {
        uint32_t zv = 0, zOld = 0;
        bool draw = true;
        if constexpr (K.depth == kDepth16) {
            zv = static_cast<uint32_t>(z) >> 15;
            zOld = zb[i];
            draw = (zv & p.zTest) <= zOld;
        }
        if (draw) {
            U16x8 texel{};
            bool keyed = false;
            int32_t tu = 0, tv = 0;
            if constexpr (K.texture != kTexNone)
                TexelAt(p, i, &tu, &tv);
            if constexpr (K.texture == kTexPoint) {
                const int idx = (Address(tv >> 16, p.vMask, p.vMax) << p.widthLog2) | Address(tu >> 16, p.uMask, p.uMax);
                texel = Widen(p.texels[idx]);
                if constexpr (K.key)
                    keyed = p.keyed[idx] != 0;
            } else if constexpr (K.texture == kTexLinear) {
                const int32_t us = tu - 0x8000, vs = tv - 0x8000;
                const uint32_t fu = (us >> 8) & 0xFF, fv = (vs >> 8) & 0xFF;
                const int ui0 = Address(us >> 16, p.uMask, p.uMax);
                const int ui1 = Address((us >> 16) + 1, p.uMask, p.uMax);
                const int row0 = Address(vs >> 16, p.vMask, p.vMax) << p.widthLog2;
                const int row1 = Address((vs >> 16) + 1, p.vMask, p.vMax) << p.widthLog2;
                const uint32_t* t = p.texels;
                texel = Bilinear(t[row0 + ui0], t[row0 + ui1], t[row1 + ui0], t[row1 + ui1], fu, fv);
                if constexpr (K.key)
                    keyed = p.keyed[(fv >= 128 ? row1 : row0) + (fu >= 128 ? ui1 : ui0)] != 0;
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
                if constexpr (BlendByAlpha(K.blend)) {
                    // The alpha lane becomes the blend factor: the texture's alpha, the diffuse one
                    // (already a factor) or their product.
                    if constexpr (K.texture == kTexNone) {
                        color[3] = diffuse[3];
                    } else {
                        const uint32_t ta = texel[3];
                        if (p.alphaSource == AlphaSource::Texture)
                            color[3] = Factor(ta);
                        else if (p.alphaSource == AlphaSource::Diffuse)
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
                        // Fog tints the colour only: the alpha lane is the blend factor (up to 256,
                        // whose product with a fog factor of 256 would wrap).
                        color = (MixLanes(fogColor, color, SplatLane3(sf)) & rgbMask) | (color & ~rgbMask);
                    }
                }
                if constexpr (K.blend == kBlendLerp)
                    color = MixLanes(Widen(Expand565(dst[i])), color, SplatLane3(color));
                else if constexpr (K.blend == kBlendAdd)
                    color = Min255(color + Widen(Expand565(dst[i])));
                else if constexpr (K.blend == kBlendScreen) {
                    const U16x8 rest = Splat(255) - color;
                    color = color + ScaleLanes(Widen(Expand565(dst[i])), rest + (rest >> 7));
                }
                else if constexpr (K.blend == kBlendAddAlpha)
                    color = Min255(ScaleLanes(color, SplatLane3(color)) + Widen(Expand565(dst[i])));
                dst[i] = static_cast<uint16_t>(Pack565(color));
                if constexpr (K.depth == kDepth16)
                    zb[i] = static_cast<uint16_t>(p.zWrite ? zv : zOld);
            }
        }
        if constexpr (K.depth == kDepth16)
            z = static_cast<int32_t>(static_cast<uint32_t>(z) + static_cast<uint32_t>(p.dz));
        if constexpr (kDiffuse)
            col += p.dcol;
        if constexpr (kSpecularFog)
            specFog += p.dspecFog;
    }
    p.z = z;
    p.col = col;
    p.specFog = specFog;
}

#if defined(__x86_64__) || defined(__i386__)
#define QUORRIN_SPAN_AVX2 1
#define SPAN_AVX2_FN __attribute__((target("avx2")))
#define SPAN_AVX2_INLINE __attribute__((target("avx2"), always_inline)) inline
#define SPAN_AVX2_INLINE_LAMBDA __attribute__((target("avx2"), always_inline))
#define SPAN_AVX2_LAMBDA __attribute__((target("avx2")))

// Eight pixels at once with the scalar loop's integer arithmetic, so both give the same pixels.
// Colours travel as pairs of 16-bit lanes per pixel: blue and red in one vector, green and alpha
// in the other (the halves of 0xAARRGGBB with every other byte masked off).
namespace avx2 {

SPAN_AVX2_INLINE __m256i Iota() { return _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7); }

// The step over eight lanes (wrapping, as the scalar adds do).
SPAN_AVX2_INLINE __m256i Times8(int32_t d) {
    return _mm256_set1_epi32(static_cast<int32_t>(static_cast<uint32_t>(d) * 8u));
}

// The integer parts of two 16.16 runs as one pair vector: lo's in the low halves, hi's above.
SPAN_AVX2_INLINE __m256i Pair(__m256i lo, __m256i hi) {
    return _mm256_or_si256(_mm256_srli_epi32(lo, 16), _mm256_and_si256(hi, _mm256_set1_epi32(static_cast<int>(0xFFFF0000))));
}

// (a * (256 - w) + b * w) >> 8 in every 16-bit lane (w 0..256).
SPAN_AVX2_INLINE __m256i Mix(__m256i a, __m256i b, __m256i w) {
    const __m256i aw = _mm256_mullo_epi16(a, _mm256_sub_epi16(_mm256_set1_epi16(256), w));
    return _mm256_srli_epi16(_mm256_add_epi16(aw, _mm256_mullo_epi16(b, w)), 8);
}

// From a (w = 0) towards b (w = 256) in every 16-bit lane, w given times 128 (at most 255 * 128),
// rounded to the nearest as LerpRound.
SPAN_AVX2_INLINE __m256i LerpRound(__m256i a, __m256i b, __m256i w128) {
    return _mm256_add_epi16(a, _mm256_mulhrs_epi16(_mm256_sub_epi16(b, a), w128));
}

// Mix(a, b, w) from a256 = a << 8, for lanes of b up to 255: the sum stays below 2^16, so one
// multiply of the difference gives the same.
SPAN_AVX2_INLINE __m256i MixFrom(__m256i a256, __m256i a, __m256i b, __m256i w) {
    return _mm256_srli_epi16(_mm256_add_epi16(a256, _mm256_mullo_epi16(_mm256_sub_epi16(b, a), w)), 8);
}

SPAN_AVX2_INLINE __m256i Scale(__m256i a, __m256i w) { return _mm256_srli_epi16(_mm256_mullo_epi16(a, w), 8); }

SPAN_AVX2_INLINE __m256i Address(__m256i i, __m256i mask, __m256i max) {
    return _mm256_min_epi32(_mm256_max_epi32(_mm256_and_si256(i, mask), _mm256_setzero_si256()), max);
}

// Eight 32-bit lanes (each 0..65535 for values, 0 or -1 for masks) to eight 16-bit ones, in order.
SPAN_AVX2_INLINE __m128i NarrowValues(__m256i v) {
    return _mm_packus_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
}
SPAN_AVX2_INLINE __m128i NarrowMask(__m256i v) {
    return _mm_packs_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
}

// 5-6-5 pixels to pairs (blue, red) and (green, 0).
SPAN_AVX2_INLINE void Expand(__m256i o, __m256i* rb, __m256i* ga) {
    const __m256i r = _mm256_and_si256(_mm256_srli_epi32(o, 11), _mm256_set1_epi32(31));
    const __m256i g = _mm256_and_si256(_mm256_srli_epi32(o, 5), _mm256_set1_epi32(63));
    const __m256i b = _mm256_and_si256(o, _mm256_set1_epi32(31));
    const __m256i r8 = _mm256_or_si256(_mm256_slli_epi32(r, 3), _mm256_srli_epi32(r, 2));
    const __m256i b8 = _mm256_or_si256(_mm256_slli_epi32(b, 3), _mm256_srli_epi32(b, 2));
    *rb = _mm256_or_si256(b8, _mm256_slli_epi32(r8, 16));
    *ga = _mm256_or_si256(_mm256_slli_epi32(g, 2), _mm256_srli_epi32(g, 4));
}

// Pairs of at most 255 to 5-6-5.
SPAN_AVX2_INLINE __m256i Pack(__m256i rb, __m256i ga) {
    // Each lane shifted down to its width by a high multiply (2^13 for blue and red, 2^14 for green),
    // then weighted into place and summed in pairs: blue + red * 2^11, green * 2^5 (alpha * 0).
    const __m256i br = _mm256_madd_epi16(_mm256_mulhi_epu16(rb, _mm256_set1_epi16(8192)), _mm256_set1_epi32(0x08000001));
    const __m256i g = _mm256_madd_epi16(_mm256_mulhi_epu16(ga, _mm256_set1_epi16(16384)), _mm256_set1_epi32(32));
    return _mm256_add_epi32(br, g);
}

// The alpha half of `from` into `into`.
SPAN_AVX2_INLINE __m256i WithAlpha(__m256i into, __m256i from) {
    const __m256i high = _mm256_set1_epi32(static_cast<int>(0xFFFF0000));
    return _mm256_or_si256(_mm256_andnot_si256(high, into), _mm256_and_si256(from, high));
}

// An 8-bit factor (0..255) on the 0..256 scale, in every 16-bit lane.
SPAN_AVX2_INLINE __m256i Factor(__m256i f) { return _mm256_add_epi16(f, _mm256_srli_epi16(f, 7)); }

// Eight lanes of indices into elements of 2^shift bytes, as byte offsets in memory: the fetches
// read them back one load each, where the compiler would take the lanes apart in general registers
// (several instructions a lane).
SPAN_AVX2_INLINE void StoreOffsets(__m256i index, int shift, uint32_t* out) {
    _mm256_store_si256(reinterpret_cast<__m256i*>(out), _mm256_sll_epi32(index, _mm_cvtsi32_si128(shift)));
    asm("" : "+m"(*reinterpret_cast<uint32_t(*)[8]>(out)));
}

// The 32-bit element at a byte offset.
SPAN_AVX2_INLINE int At32(const uint32_t* t, uint32_t offset) {
    int v;
    std::memcpy(&v, reinterpret_cast<const char*>(t) + offset, sizeof(v));
    return v;
}

// Eight texels by index. Loads one by one beat the hardware gather on the processors measured.
SPAN_AVX2_INLINE __m256i Fetch(const uint32_t* t, __m256i index) {
    alignas(32) uint32_t i[8];
    StoreOffsets(index, 2, i);
    __m128i lo = _mm_cvtsi32_si128(At32(t, i[0]));
    __m128i hi = _mm_cvtsi32_si128(At32(t, i[4]));
    lo = _mm_insert_epi32(lo, At32(t, i[1]), 1);
    hi = _mm_insert_epi32(hi, At32(t, i[5]), 1);
    lo = _mm_insert_epi32(lo, At32(t, i[2]), 2);
    hi = _mm_insert_epi32(hi, At32(t, i[6]), 2);
    lo = _mm_insert_epi32(lo, At32(t, i[3]), 3);
    hi = _mm_insert_epi32(hi, At32(t, i[7]), 3);
    return _mm256_inserti128_si256(_mm256_castsi128_si256(lo), hi, 1);
}

// The texels at i[k] and i[k] + 1 from t for eight pixels k (i[k] + 1 inside the same row), i as
// StoreOffsets gives it.
SPAN_AVX2_INLINE void FetchPairs(const uint32_t* t, const uint32_t* i, __m256i* first, __m256i* second) {
    const char* bytes = reinterpret_cast<const char*>(t);
    auto pair = [bytes](uint32_t a, uint32_t b) SPAN_AVX2_INLINE_LAMBDA {
        const __m128i x = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(bytes + a));
        return _mm_castps_si128(_mm_loadh_pi(_mm_castsi128_ps(x), reinterpret_cast<const __m64*>(bytes + b)));
    };
    // Pixels 0 1 | 4 5 and 2 3 | 6 7, each as its two texels; then the first and second texels apart.
    const __m256i a = _mm256_inserti128_si256(_mm256_castsi128_si256(pair(i[0], i[1])), pair(i[4], i[5]), 1);
    const __m256i b = _mm256_inserti128_si256(_mm256_castsi128_si256(pair(i[2], i[3])), pair(i[6], i[7]), 1);
    *first = _mm256_castps_si256(_mm256_shuffle_ps(_mm256_castsi256_ps(a), _mm256_castsi256_ps(b), 0x88));
    *second = _mm256_castps_si256(_mm256_shuffle_ps(_mm256_castsi256_ps(a), _mm256_castsi256_ps(b), 0xDD));
}

// The four texels of eight pixels from the quad layout (see TexLevel::quads), by pair index.
SPAN_AVX2_INLINE void FetchQuads(const uint32_t* quads, __m256i pair, __m256i* t00, __m256i* t01, __m256i* t10,
                                 __m256i* t11) {
    alignas(32) uint32_t i[8];
    StoreOffsets(pair, 3, i);
    const char* bytes = reinterpret_cast<const char*>(quads);
    auto at = [bytes](uint32_t k) SPAN_AVX2_INLINE_LAMBDA {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + k));
    };
    auto two = [&](int k) SPAN_AVX2_INLINE_LAMBDA {
        return _mm256_inserti128_si256(_mm256_castsi128_si256(at(i[k])), at(i[k + 4]), 1);
    };
    // Each pixel's texels come as (top left, bottom left, top right, bottom right): a 4 x 4
    // transpose in each half.
    const __m256i a = two(0), b = two(1), c = two(2), d = two(3);
    const __m256i abLeft = _mm256_unpacklo_epi32(a, b), abRight = _mm256_unpackhi_epi32(a, b);
    const __m256i cdLeft = _mm256_unpacklo_epi32(c, d), cdRight = _mm256_unpackhi_epi32(c, d);
    *t00 = _mm256_unpacklo_epi64(abLeft, cdLeft);
    *t10 = _mm256_unpackhi_epi64(abLeft, cdLeft);
    *t01 = _mm256_unpacklo_epi64(abRight, cdRight);
    *t11 = _mm256_unpackhi_epi64(abRight, cdRight);
}

// TexelFixed in every lane.
SPAN_AVX2_INLINE __m256i TexelFixed(__m256 v) {
    const __m256 low = _mm256_max_ps(v, _mm256_set1_ps(kTexelLow));  // a NaN lane becomes low
    return _mm256_cvttps_epi32(_mm256_min_ps(low, _mm256_set1_ps(kTexelHigh)));
}

// Lanes where 0 <= v < max.
SPAN_AVX2_INLINE __m256i Below(__m256i v, __m256i max) {
    return _mm256_andnot_si256(_mm256_cmpgt_epi32(_mm256_setzero_si256(), v), _mm256_cmpgt_epi32(max, v));
}

// Whether a lane of the specular colour and fog (blue, green, red, fog) is read.
template <SpanKey K>
constexpr bool ReadsSpecFog(int k) {
    return (K.specular && k < 3) || (K.fog && k == 3);
}

// What a chunk's groups read that stays along the chunk: each run's step times the lane's place in
// a group of eight and its step over a group, the fog colour, the texture level's masks and the
// texture coordinates' steps. A triangle whose rows share them makes them once.
struct GroupConsts {
    __m256i z, z8;
    __m256i c[4], c8[4];
    __m256i sf[4], sf8[4];
    __m256i zTest;
    __m256i fogRB, fogGA, fogRB256, fogGA256;
    __m256i uMask, uMax, vMask, vMax;
    __m128i widthLog2;
    __m256 tdq, tdu, tdv;
};

// The parts of the constants that follow the texture level.
SPAN_AVX2_INLINE void SetLevelConsts(const SpanPixels& p, GroupConsts* s) {
    s->uMask = _mm256_set1_epi32(p.uMask);
    s->uMax = _mm256_set1_epi32(p.uMax);
    s->vMask = _mm256_set1_epi32(p.vMask);
    s->vMax = _mm256_set1_epi32(p.vMax);
    s->widthLog2 = _mm_cvtsi32_si128(p.widthLog2);
    s->tdq = _mm256_set1_ps(p.tdq);
    s->tdu = _mm256_set1_ps(p.tdu);
    s->tdv = _mm256_set1_ps(p.tdv);
}

template <SpanKey K>
SPAN_AVX2_INLINE void MakeConsts(const SpanPixels& p, GroupConsts* s) {
    auto lanes = [](int32_t d, __m256i* offset, __m256i* step) SPAN_AVX2_INLINE_LAMBDA {
        *offset = _mm256_mullo_epi32(Iota(), _mm256_set1_epi32(d));
        *step = Times8(d);
    };
    if constexpr (K.depth == kDepth16)
        lanes(p.dz, &s->z, &s->z8);
    for (int k = 0; k < 4; ++k) {
        if (kReadsDiffuse<K> && (k < 3 || kReadsDiffuseAlpha<K>))
            lanes(p.dcol[k], &s->c[k], &s->c8[k]);
        if (ReadsSpecFog<K>(k))
            lanes(p.dspecFog[k], &s->sf[k], &s->sf8[k]);
    }
    s->zTest = _mm256_set1_epi32(static_cast<int>(p.zTest));
    s->fogRB = _mm256_set1_epi32(static_cast<int>((p.fogColor & 0xFF) | ((p.fogColor >> 16 & 0xFF) << 16)));
    s->fogGA = _mm256_set1_epi32(static_cast<int>((p.fogColor >> 8) & 0xFF));
    s->fogRB256 = _mm256_slli_epi16(s->fogRB, 8);
    s->fogGA256 = _mm256_slli_epi16(s->fogGA, 8);
    SetLevelConsts(p, s);
}

// The pixels of one chunk from its start in `p`, the rest from `s`.
// The 16.16 texel coordinates of eight pixels fx (from a run's start tq, tu, tv), as TexelAt gives
// them.
SPAN_AVX2_INLINE void TexelsAt(const GroupConsts& s, __m256 tq, __m256 tu, __m256 tv, __m256 fx, __m256i* u,
                               __m256i* v) {
    const __m256 q = _mm256_max_ps(_mm256_add_ps(tq, _mm256_mul_ps(fx, s.tdq)), _mm256_set1_ps(kMinQ));
    const __m256 iw = _mm256_div_ps(_mm256_set1_ps(1.0f), q);
    *u = TexelFixed(_mm256_mul_ps(_mm256_add_ps(tu, _mm256_mul_ps(fx, s.tdu)), iw));
    *v = TexelFixed(_mm256_mul_ps(_mm256_add_ps(tv, _mm256_mul_ps(fx, s.tdv)), iw));
}

// Byte 1 of every lane into bytes 1 and 3, the rest zero.
SPAN_AVX2_INLINE __m256i WeightBytes() {
    return _mm256_setr_epi8(-128, 1, -128, 1, -128, 5, -128, 5, -128, 9, -128, 9, -128, 13, -128, 13, -128, 1, -128, 1,
                            -128, 5, -128, 5, -128, 9, -128, 9, -128, 13, -128, 13);
}

// The pixels of one group: the next `rest` pixels of a row (eight of them when there are more) at
// dst, their depths at zb, with `room` pixels from there to the end of the target's row; z, c and
// sf hold the runs' lanes and u, v the 16.16 texel coordinates.
template <SpanKey K>
SPAN_AVX2_INLINE void GroupPixels(const SpanPixels& p, const GroupConsts& s, uint16_t* dst, uint16_t* zb, int rest,
                                  int room, __m256i z, const __m256i* c, const __m256i* sf, __m256i groupU,
                                  __m256i groupV) {
    constexpr bool kDiffuse = kReadsDiffuse<K>;
    const __m256i iota = Iota();
    const __m256i low8 = _mm256_set1_epi32(0x00FF00FF);
    const __m256i c255 = _mm256_set1_epi16(255);
    const __m256i zTest = s.zTest;
    const __m256i fogRB = s.fogRB, fogGA = s.fogGA, fogRB256 = s.fogRB256, fogGA256 = s.fogGA256;
    const __m256i weightBytes = WeightBytes();
    const __m256i uMask = s.uMask, uMax = s.uMax;
    const __m256i vMask = s.vMask, vMax = s.vMax;
    const __m128i widthLog2 = s.widthLog2;
    // A short last group at the end of a row works on copies, so nothing past the row is read or
    // written; elsewhere it reads whole groups and writes back what it does not draw.
    const bool tail = rest < 8 && 8 > room;
    alignas(16) uint16_t dstTail[8], zTail[8];
    uint16_t* d = dst;
    uint16_t* zp = zb;
    if (tail) {
        std::memcpy(dstTail, d, static_cast<size_t>(rest) * 2);
        d = dstTail;
        if constexpr (K.depth == kDepth16) {
            std::memcpy(zTail, zp, static_cast<size_t>(rest) * 2);
            zp = zTail;
        }
    }
    __m128i old{};
    if constexpr (K.blend != kBlendOff)
        old = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d));
    __m256i draw = _mm256_cmpgt_epi32(_mm256_set1_epi32(rest), iota);
    __m256i zv{};
    __m128i zOld{};
    if constexpr (K.depth == kDepth16) {
        zOld = _mm_loadu_si128(reinterpret_cast<const __m128i*>(zp));
        zv = _mm256_srli_epi32(z, 15);
        const __m256i farther = _mm256_cmpgt_epi32(_mm256_and_si256(zv, zTest), _mm256_cvtepu16_epi32(zOld));
        draw = _mm256_andnot_si256(farther, draw);
    }
    if (!_mm256_testz_si256(draw, draw)) {
        __m256i texRB{}, texGA{};
        if constexpr (K.texture == kTexLinear) {
            const __m256i half = _mm256_set1_epi32(0x8000);
            const __m256i us = _mm256_sub_epi32(groupU, half), vs = _mm256_sub_epi32(groupV, half);
            // The weights' eight bits (bits 8-15) times 128, in both halves of every lane.
            const __m256i fu2 = _mm256_srli_epi16(_mm256_shuffle_epi8(us, weightBytes), 1);
            const __m256i fv2 = _mm256_srli_epi16(_mm256_shuffle_epi8(vs, weightBytes), 1);
            const __m256i ui = _mm256_srai_epi32(us, 16), vi = _mm256_srai_epi32(vs, 16);
            __m256i t00, t01, t10, t11;
            // Wrapped both ways, the four texels of a pixel are one 128-bit load. Else mostly
            // they are two pairs, side by side in a row and the rows one above the other: two
            // 64-bit loads per pixel; at the last column or row, one load per texel.
            const __m256i wu = _mm256_and_si256(ui, uMask), wv = _mm256_and_si256(vi, vMask);
            if (p.quads) {
                const __m256i pair = _mm256_add_epi32(_mm256_add_epi32(_mm256_sll_epi32(wv, widthLog2), wv), wu);
                FetchQuads(p.quads, pair, &t00, &t01, &t10, &t11);
            } else if (_mm256_movemask_epi8(_mm256_and_si256(Below(wu, uMax), Below(wv, vMax))) == -1) {
                alignas(32) uint32_t index[8];
                StoreOffsets(_mm256_add_epi32(_mm256_sll_epi32(wv, widthLog2), wu), 2, index);
                FetchPairs(p.texels, index, &t00, &t01);
                FetchPairs(p.texels + (p.uMax + 1), index, &t10, &t11);
            } else {
                const __m256i one = _mm256_set1_epi32(1);
                const __m256i u0 = Address(ui, uMask, uMax), u1 = Address(_mm256_add_epi32(ui, one), uMask, uMax);
                const __m256i r0 = _mm256_sll_epi32(Address(vi, vMask, vMax), widthLog2);
                const __m256i r1 = _mm256_sll_epi32(Address(_mm256_add_epi32(vi, one), vMask, vMax), widthLog2);
                t00 = Fetch(p.texels, _mm256_add_epi32(r0, u0));
                t01 = Fetch(p.texels, _mm256_add_epi32(r0, u1));
                t10 = Fetch(p.texels, _mm256_add_epi32(r1, u0));
                t11 = Fetch(p.texels, _mm256_add_epi32(r1, u1));
            }
            const __m256i leftRB = LerpRound(_mm256_and_si256(t00, low8), _mm256_and_si256(t10, low8), fv2);
            const __m256i leftGA = LerpRound(_mm256_srli_epi16(t00, 8), _mm256_srli_epi16(t10, 8), fv2);
            const __m256i rightRB = LerpRound(_mm256_and_si256(t01, low8), _mm256_and_si256(t11, low8), fv2);
            const __m256i rightGA = LerpRound(_mm256_srli_epi16(t01, 8), _mm256_srli_epi16(t11, 8), fv2);
            texRB = LerpRound(leftRB, rightRB, fu2);
            texGA = LerpRound(leftGA, rightGA, fu2);
        } else if constexpr (K.texture == kTexPoint) {
            const __m256i ui = _mm256_srai_epi32(groupU, 16), vi = _mm256_srai_epi32(groupV, 16);
            const __m256i idx = _mm256_or_si256(_mm256_sll_epi32(Address(vi, vMask, vMax), widthLog2),
                                                Address(ui, uMask, uMax));
            const __m256i t = Fetch(p.texels, idx);
            texRB = _mm256_and_si256(t, low8);
            texGA = _mm256_srli_epi16(t, 8);
        }
        __m256i diffRB{}, diffGA{};
        if constexpr (kDiffuse) {
            diffRB = Pair(c[0], c[2]);
            // Without the alpha blend the alpha half is never read: left 0.
            diffGA = kReadsDiffuseAlpha<K> ? Pair(c[1], c[3]) : _mm256_srli_epi32(c[1], 16);
        }
        __m256i rb, ga;
        if constexpr (K.texture == kTexNone) {
            rb = diffRB;
            ga = diffGA;
        } else if constexpr (K.combine == kCombineTexture) {
            rb = texRB;
            ga = texGA;
        } else {
            rb = Scale(texRB, diffRB);
            ga = Scale(texGA, diffGA);
        }
        if constexpr (BlendByAlpha(K.blend) && K.texture != kTexNone) {
            if (p.alphaSource == AlphaSource::Texture)
                ga = WithAlpha(ga, Factor(texGA));
            else if (p.alphaSource == AlphaSource::Diffuse)
                ga = WithAlpha(ga, diffGA);
            else
                ga = WithAlpha(ga, Factor(Scale(texGA, diffGA)));
        }
        if constexpr (K.specular) {
            rb = _mm256_min_epu16(_mm256_add_epi16(rb, Pair(sf[0], sf[2])), c255);
            ga = _mm256_min_epu16(_mm256_add_epi16(ga, _mm256_srli_epi32(sf[1], 16)), c255);
        }
        if constexpr (K.fog) {
            const __m256i f = Pair(sf[3], sf[3]);
            rb = MixFrom(fogRB256, fogRB, rb, f);
            // Only the blends by alpha read the alpha lane, and there it may be 256.
            if constexpr (BlendByAlpha(K.blend))
                ga = WithAlpha(Mix(fogGA, ga, f), ga);
            else
                ga = MixFrom(fogGA256, fogGA, ga, f);
        }
        if constexpr (K.blend != kBlendOff) {
            __m256i oldRB, oldGA;
            Expand(_mm256_cvtepu16_epi32(old), &oldRB, &oldGA);
            if constexpr (K.blend == kBlendLerp) {
                const __m256i a = Pair(ga, ga);
                rb = Mix(oldRB, rb, a);
                ga = Mix(oldGA, ga, a);
            } else if constexpr (K.blend == kBlendAdd) {
                rb = _mm256_min_epu16(_mm256_add_epi16(rb, oldRB), c255);
                ga = _mm256_min_epu16(_mm256_add_epi16(ga, oldGA), c255);
            } else if constexpr (K.blend == kBlendAddAlpha) {
                const __m256i a = Pair(ga, ga);
                rb = _mm256_min_epu16(_mm256_add_epi16(Scale(rb, a), oldRB), c255);
                ga = _mm256_min_epu16(_mm256_add_epi16(Scale(ga, a), oldGA), c255);
            } else {
                // Never above 255: the background's share is at most what the source leaves.
                rb = _mm256_add_epi16(rb, Scale(oldRB, Factor(_mm256_sub_epi16(c255, rb))));
                ga = _mm256_add_epi16(ga, Scale(oldGA, Factor(_mm256_sub_epi16(c255, ga))));
            }
        }
        const __m128i keep = NarrowMask(draw);
        const __m128i pixels = NarrowValues(Pack(rb, ga));
        if constexpr (K.blend == kBlendOff)
            old = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_blendv_epi8(old, pixels, keep));
        if constexpr (K.depth == kDepth16) {
            if (p.zWrite)
                _mm_storeu_si128(reinterpret_cast<__m128i*>(zp), _mm_blendv_epi8(zOld, NarrowValues(zv), keep));
        }
        if (tail) {
            std::memcpy(dst, dstTail, static_cast<size_t>(rest) * 2);
            if constexpr (K.depth == kDepth16)
                std::memcpy(zb, zTail, static_cast<size_t>(rest) * 2);
        }
    }
}

// The pixels of one chunk from its start in `p`, the rest from `s`.
template <SpanKey K>
SPAN_AVX2_INLINE void Groups(const SpanPixels& p, const GroupConsts& s) {
    constexpr bool kDiffuse = kReadsDiffuse<K>;
    const int n = p.n;
    __m256i z = _mm256_add_epi32(_mm256_set1_epi32(p.z), s.z);
    // Colour lanes: diffuse blue, green, red, alpha; specular blue, green, red and the fog factor.
    __m256i c[4]{}, sf[4]{};
    for (int k = 0; k < 4; ++k) {
        if (kDiffuse && (k < 3 || kReadsDiffuseAlpha<K>))
            c[k] = _mm256_add_epi32(_mm256_set1_epi32(p.col[k]), s.c[k]);
        if (ReadsSpecFog<K>(k))
            sf[k] = _mm256_add_epi32(_mm256_set1_epi32(p.specFog[k]), s.sf[k]);
    }
    const __m256 tq = _mm256_set1_ps(p.tq), tu = _mm256_set1_ps(p.tu), tv = _mm256_set1_ps(p.tv);
    // The group's pixel places from the chunk's start, as floats (exact, stepped by eight).
    __m256 fx = _mm256_cvtepi32_ps(Iota());
    // The coordinates run a group ahead: their division is the longest wait of a group.
    __m256i nextU{}, nextV{};
    if constexpr (K.texture != kTexNone)
        TexelsAt(s, tq, tu, tv, fx, &nextU, &nextV);
    for (int x = 0; x < n; x += 8) {
        const __m256i groupU = nextU, groupV = nextV;
        if constexpr (K.texture != kTexNone) {
            if (x + 8 < n) {
                fx = _mm256_add_ps(fx, _mm256_set1_ps(8.0f));
                TexelsAt(s, tq, tu, tv, fx, &nextU, &nextV);
            }
        }
        GroupPixels<K>(p, s, p.dst + x, K.depth == kDepth16 ? p.zb + x : nullptr, n - x, p.room - x, z, c, sf,
                       groupU, groupV);
        if constexpr (K.depth == kDepth16)
            z = _mm256_add_epi32(z, s.z8);
        for (int k = 0; k < 4; ++k) {
            if (kDiffuse && (k < 3 || kReadsDiffuseAlpha<K>))
                c[k] = _mm256_add_epi32(c[k], s.c8[k]);
            if (ReadsSpecFog<K>(k))
                sf[k] = _mm256_add_epi32(sf[k], s.sf8[k]);
        }
    }
}

template <SpanKey K>
SPAN_AVX2_FN void Pixels(SpanPixels& p) {
    GroupConsts s;
    MakeConsts<K>(p, &s);
    Groups<K>(p, s);
    CarryRuns(p, p.n);
}

}  // namespace avx2
#endif

constexpr double kDepthScale = 65535.0 * 32768.0;

// What a span keeps from the draw's state (the rest is filled per span, on the hot path).
inline void SpanState(const Context& c, SpanPixels* p) {
    p->zb = nullptr;
    p->z = p->dz = 0;
    p->col = p->dcol = p->specFog = p->dspecFog = I32x4{};
    p->tq = p->tdq = p->tu = p->tdu = p->tv = p->tdv = 0;
    p->texels = nullptr;
    p->keyed = nullptr;
    p->quads = nullptr;
    p->widthLog2 = p->uMask = p->uMax = p->vMask = p->vMax = 0;
    p->zTest = c.depthAlways ? 0 : 0xFFFFFFFF;
    p->zWrite = c.s.zWrite;
    p->fogColor = c.s.fogColor;
    p->alphaSource = c.alphaSource;
}

// Where the span's pixels (and depths) are.
template <SpanKey K>
inline void SpanPlace(const Context& c, int y, int xs, int n, SpanPixels* p) {
    const TargetView& t = c.s.target;
    p->dst = reinterpret_cast<uint16_t*>(t.color + static_cast<ptrdiff_t>(y) * t.pitch) + xs;
    p->room = t.width - xs;
    // The spans of a triangle's next rows are most likely below this one: a textured span starts
    // fetching the row after next (one row ahead is too close for thin triangles). Untextured rows
    // go so fast that the fetches would stall them.
    auto prefetchBelow = [n](const void* row, int pitch) {
        static_cast<void>(n);  // read only by textured spans
        if constexpr (K.texture != kTexNone) {
            const char* below = static_cast<const char*>(row) + 2 * pitch;
            __builtin_prefetch(below, 1);
            __builtin_prefetch(below + 2 * n, 1);
        }
    };
    prefetchBelow(p->dst, t.pitch);
    if constexpr (K.depth == kDepth16) {
        p->zb = reinterpret_cast<uint16_t*>(t.depth + static_cast<ptrdiff_t>(y) * t.depthPitch) + xs;
        prefetchBelow(p->zb, t.depthPitch);
        p->room = std::min(p->room, t.depthPitch / 2 - xs);
    }
}

// Depth at a span's first pixel, before it becomes 17.15 fixed point of the 16-bit buffer's units.
inline double DepthFirst(const Context& c, const Gradients& g, float fx, float fy) {
    return static_cast<double>(g.At(kAttrZ, fx, fy)) - c.zBias;
}

// Four attributes from `first` on at a span's first pixel (ox, oy from the gradients' origin).
inline F32x4 GroupFirst(const Gradients& g, int first, float ox, float oy) {
    return LoadLanes(&g.base[first]) + LoadLanes(&g.dx[first]) * ox + LoadLanes(&g.dy[first]) * oy;
}

// Colours in 16.16: diffuse (blue, green, red, alpha), and specular (blue, green, red) with the fog
// factor in the fourth lane. The diffuse colour is a factor when it modulates the texture; alpha
// and fog are factors.
template <SpanKey K>
constexpr F32x4 DiffuseScales() {
    constexpr float kScale = K.combine == kCombineModulate ? kFactorScale : kColorScale;
    return F32x4{kScale, kScale, kScale, kFactorScale};
}
constexpr F32x4 kSpecFogScales{kColorScale, kColorScale, kColorScale, kFactorScale};

// The texture level a chunk samples.
inline void UseLevel(const FastTexture& t, const TexLevel& lv, SpanPixels* p) {
    p->texels = lv.texels;
    p->keyed = lv.keyed;
    p->quads = t.wrapU && t.wrapV ? lv.quads : nullptr;
    p->widthLog2 = lv.widthLog2;
    p->uMask = t.wrapU ? lv.width - 1 : -1;
    p->vMask = t.wrapV ? lv.height - 1 : -1;
    p->uMax = lv.width - 1;
    p->vMax = lv.height - 1;
}

}  // namespace span_detail

namespace span_detail {

// Moves the span's pixels (and depths) on past `pixels` drawn ones.
inline void Advance(SpanPixels& p, int pixels) {
    p.dst += pixels;
    p.room -= pixels;
    if (p.zb)
        p.zb += pixels;
}

// The texture state of a span whose triangle samples one level, its coordinates ready.
inline void OneLevel(const Context& c, const Gradients& g, float fx0, float fy, SpanPixels& p) {
    UseLevel(c.tex, c.tex.data->levels[g.texLevel], &p);
    p.tdq = c.perspective ? g.dx[kAttrQ] : 0.0f;
    p.tq = c.perspective ? g.At(kAttrQ, fx0, fy) : 1.0f;
    p.tu = g.TexU(fx0, fy);
    p.tdu = g.texU[1];
    p.tv = g.TexV(fx0, fy);
    p.tdv = g.texV[1];
}

// Draws a span of n pixels whose levels it chooses itself, in chunks that sample one level each:
// draw(pixels, level) draws the next chunk from p's state and moves p past it. The level is chosen from
// the footprint at the start of every 16 pixels (a rest of up to 24 goes with the last start).
template <class Draw>
__attribute__((always_inline)) inline void TextureChunks(const Context& c, const Gradients& g, float fx0, float fy,
                                                         int n, SpanPixels& p, Draw& draw) {
    // Texture state that stays for the span: level-0 texel coordinates times 1/w, and 1/w.
    const FastTexture& T = c.tex;
    const TexData* td = T.data;
    const int ua = T.coordSet ? kAttrU1 : kAttrU0;
    const int va = ua + 1;
    const bool perspective = c.perspective;
    const float w0 = static_cast<float>(td->levels[0].width);
    const float h0 = static_cast<float>(td->levels[0].height);
    const float uq = g.At(ua, fx0, fy) * w0;
    const float vq = g.At(va, fx0, fy) * h0;
    const float duq = g.dx[ua] * w0;
    const float dvq = g.dx[va] * h0;
    const float qa = perspective ? g.At(kAttrQ, fx0, fy) : 1.0f;
    const float dq = perspective ? g.dx[kAttrQ] : 0.0f;

    auto at = [&](int x) {
        const float fx = static_cast<float>(x);
        return TexelPoint(uq + duq * fx, vq + dvq * fx, qa + dq * fx);
    };
    p.tdq = dq;

    // Draws pixels [from, to) of the span from `level`; `first` is the point at `from`.
    auto chunk = [&](auto& self, int from, int to, int level, const TexPoint& first) -> void {
        const TexLevel& lv = td->levels[level];
        const float half = kPowerOfHalf[level];
        const float offU = T.wrapU ? WholeTurns(first.u * half, lv.widthLog2) : 0.0f;
        const float offV = T.wrapV ? WholeTurns(first.v * half, lv.heightLog2) : 0.0f;
        if ((T.wrapU || T.wrapV) && to - from > 1) {
            // u and v change monotonically along a span: when the last pixel is too far from the
            // first for the fixed point, the halves go apart.
            const TexPoint last = at(to - 1);
            auto far = [half](float a, float b, float off) {
                return std::fabs(a * half - off) < kTexelRange && std::fabs(b * half - off) >= kTexelRange;
            };
            if ((T.wrapU && far(first.u, last.u, offU)) || (T.wrapV && far(first.v, last.v, offV))) {
                const int mid = (from + to) / 2;
                self(self, from, mid, level, first);
                self(self, mid, to, level, at(mid));
                return;
            }
        }
        const float scale = half * 65536.0f;
        p.tq = qa + dq * static_cast<float>(from);
        const float offUq = offU * 65536.0f - T.shift, offVq = offV * 65536.0f - T.shift;
        p.tu = (uq + duq * static_cast<float>(from)) * scale - offUq * p.tq;
        p.tdu = duq * scale - offUq * dq;
        p.tv = (vq + dvq * static_cast<float>(from)) * scale - offVq * p.tq;
        p.tdv = dvq * scale - offVq * dq;
        UseLevel(T, lv, &p);
        draw(to - from, level);
    };

    if (!T.mipmapped) {
        chunk(chunk, 0, n, T.firstLevel, at(0));
        return;
    }
    const TexSlopes slopes{duq, dvq, dq, g.dy[ua] * w0, g.dy[va] * h0, perspective ? g.dy[kAttrQ] : 0.0f};
    int from = 0, level = -1;
    TexPoint first{};
    for (int x = 0;; x += 16) {
        const TexPoint pt = at(x);
        const int segmentLevel = FootprintLevel(pt, slopes, T);
        if (segmentLevel != level) {
            if (level >= 0)
                chunk(chunk, from, x, level, first);
            from = x;
            level = segmentLevel;
            first = pt;
        }
        if (n - x <= 24)
            break;
    }
    chunk(chunk, from, n, level, first);
}

}  // namespace span_detail

template <SpanKey K>
void SpecialisedSpan(const Context& c, const Gradients& g, int y, int xs, int xe) {
    using namespace span_detail;
    const int n = xe - xs;
    const float fx0 = static_cast<float>(xs);
    const float fy = static_cast<float>(y);

    SpanPixels p;
    SpanState(c, &p);
    SpanPlace<K>(c, y, xs, n, &p);
    if constexpr (K.depth == kDepth16)
        Run(DepthFirst(c, g, fx0, fy), g.dx[kAttrZ], n, 1.0, kDepthScale, &p.z, &p.dz);

    constexpr bool kDiffuse = kReadsDiffuse<K>;
    constexpr bool kSpecularFog = K.specular || K.fog;
    const float ox = fx0 - g.x0, oy = fy - g.y0;
    if constexpr (kDiffuse)
        FixedLanes(GroupFirst(g, kAttrB, ox, oy), LoadLanes(&g.dx[kAttrB]), DiffuseScales<K>(), n, &p.col, &p.dcol);
    if constexpr (kSpecularFog)
        FixedLanes(GroupFirst(g, kAttrSB, ox, oy), LoadLanes(&g.dx[kAttrSB]), kSpecFogScales, n, &p.specFog,
                   &p.dspecFog);

#if defined(QUORRIN_SPAN_AVX2)
    const bool vector = !K.key && c.vectorSpans;
#endif
    auto pixelLoop = [&] {
#if defined(QUORRIN_SPAN_AVX2)
        if constexpr (!K.key) {
            if (vector) {
                avx2::Pixels<K>(p);
                return;
            }
        }
#endif
        ScalarPixels<K>(p);
    };

    if constexpr (K.texture == kTexNone) {
        p.n = n;
        pixelLoop();
    } else {
        auto draw = [&](int pixels, int) {
            p.n = pixels;
            pixelLoop();
            Advance(p, pixels);
        };
        if (g.texLevel >= 0) {
            OneLevel(c, g, fx0, fy, p);
            draw(n, g.texLevel);
        } else {
            TextureChunks(c, g, fx0, fy, n, p, draw);
        }
    }
}

#if defined(QUORRIN_SPAN_AVX2)
namespace span_detail::avx2 {

// The rows of a triangle whose runs need no range cuts: the runs' steps and lane offsets are the
// same for every row, so each row only works out its first pixel's values. Chunked: the texture's
// levels are chosen along the rows.
// The first pixels' values of up to eight rows of a triangle whose runs need no range cuts: lane r
// of each array holds row r's, with the arithmetic of a span's own set-up.
struct RowStarts {
    alignas(32) int32_t z[8];
    alignas(32) float q[8], u[8], v[8];
    alignas(32) int32_t col[4][8];
    alignas(32) int32_t specFog[4][8];
    // Rows whose levels are chosen along them: a row that TextureChunks would draw as one chunk
    // samples the level chosen at its first pixel, and q, u, v above with du, dv here are its
    // chunk's coordinates. A set bit of `oneChunk` marks such a row; the others go through
    // TextureChunks.
    alignas(32) int32_t level[8];
    alignas(32) float du[8], dv[8];
    uint32_t oneChunk;
};

// TextureChunks' choice of level and coordinates for the rows of a batch that take one chunk (one
// level all along, not cut in two for the fixed point), eight rows as the lanes of vectors with the
// arithmetic of TexelPoint, FootprintLevel, WholeTurns and the chunk's set-up lane by lane.
SPAN_AVX2_INLINE void ChunkRows(const Context& c, const Gradients& g, const SpanRow* rows, int count, __m256 ox,
                                __m256 oy, RowStarts* out) {
    const FastTexture& T = c.tex;
    const TexData* td = T.data;
    const int ua = T.coordSet ? kAttrU1 : kAttrU0, va = ua + 1;
    const bool perspective = c.perspective;
    const float w0 = static_cast<float>(td->levels[0].width), h0 = static_cast<float>(td->levels[0].height);
    auto plane = [&](int a) SPAN_AVX2_INLINE_LAMBDA {
        return _mm256_add_ps(_mm256_add_ps(_mm256_set1_ps(g.base[a]), _mm256_mul_ps(_mm256_set1_ps(g.dx[a]), ox)),
                             _mm256_mul_ps(_mm256_set1_ps(g.dy[a]), oy));
    };
    auto mul = [&](__m256 a, float b) SPAN_AVX2_INLINE_LAMBDA { return _mm256_mul_ps(a, _mm256_set1_ps(b)); };
    const __m256 uq = mul(plane(ua), w0), vq = mul(plane(va), h0);
    const float duq = g.dx[ua] * w0, dvq = g.dx[va] * h0;
    const __m256 qa = perspective ? plane(kAttrQ) : _mm256_set1_ps(1.0f);
    const float dq = perspective ? g.dx[kAttrQ] : 0.0f;
    // at(x): the texel point at pixel x of each row.
    struct Point {
        __m256 iw, u, v;
    };
    auto at = [&](__m256 fx) SPAN_AVX2_INLINE_LAMBDA {
        const __m256 q = _mm256_add_ps(qa, _mm256_mul_ps(_mm256_set1_ps(dq), fx));
        const __m256 iw = _mm256_div_ps(_mm256_set1_ps(1.0f), _mm256_max_ps(q, _mm256_set1_ps(kMinQ)));
        return Point{iw, _mm256_mul_ps(_mm256_add_ps(uq, _mm256_mul_ps(_mm256_set1_ps(duq), fx)), iw),
                     _mm256_mul_ps(_mm256_add_ps(vq, _mm256_mul_ps(_mm256_set1_ps(dvq), fx)), iw)};
    };
    const __m256 zero = _mm256_setzero_ps();
    const Point first = at(zero);
    const __m256i firstLevel = _mm256_set1_epi32(T.firstLevel);
    // FootprintLevel lane by lane.
    const float duy = g.dy[ua] * w0, dvy = g.dy[va] * h0, dqy = perspective ? g.dy[kAttrQ] : 0.0f;
    auto levelAt = [&](const Point& pt) SPAN_AVX2_INLINE_LAMBDA {
        auto across = [&](float d, __m256 x, float dqx) SPAN_AVX2_INLINE_LAMBDA {
            return _mm256_mul_ps(_mm256_sub_ps(_mm256_set1_ps(d), _mm256_mul_ps(x, _mm256_set1_ps(dqx))), pt.iw);
        };
        const __m256 ux = across(duq, pt.u, dq), vx = across(dvq, pt.v, dq);
        const __m256 uy = across(duy, pt.u, dqy), vy = across(dvy, pt.v, dqy);
        const __m256 x2 = _mm256_add_ps(_mm256_mul_ps(ux, ux), _mm256_mul_ps(vx, vx));
        const __m256 y2 = _mm256_add_ps(_mm256_mul_ps(uy, uy), _mm256_mul_ps(vy, vy));
        // NearestLevel lane by lane. max(x2, y2) is x2 > y2 ? x2 : y2, the scalar choice, also when
        // a footprint overflowed to NaN.
        const __m256 rho2 = _mm256_mul_ps(_mm256_max_ps(x2, y2), _mm256_set1_ps(T.lodScale));
        const __m256i bits = _mm256_castps_si256(_mm256_mul_ps(rho2, _mm256_set1_ps(2.0f)));
        __m256i l = _mm256_srai_epi32(_mm256_sub_epi32(_mm256_srli_epi32(bits, 23), _mm256_set1_epi32(127)), 1);
        l = _mm256_min_epi32(_mm256_max_epi32(l, firstLevel), _mm256_set1_epi32(T.lastLevel));
        const __m256i above = _mm256_castps_si256(_mm256_cmp_ps(rho2, _mm256_set1_ps(1.0f), _CMP_GT_OQ));
        return _mm256_blendv_epi8(firstLevel, l, above);
    };
    const __m256i level = T.mipmapped ? levelAt(first) : firstLevel;
    _mm256_store_si256(reinterpret_cast<__m256i*>(out->level), level);
    // The level's size and 2^-level from their exponents.
    auto power = [&](__m256i e) SPAN_AVX2_INLINE_LAMBDA {
        return _mm256_castsi256_ps(_mm256_slli_epi32(_mm256_add_epi32(e, _mm256_set1_epi32(127)), 23));
    };
    alignas(32) int32_t widthLog2[8], heightLog2[8];
    for (int i = 0; i < 8; ++i) {
        const TexLevel& lv = td->levels[out->level[i]];
        widthLog2[i] = lv.widthLog2;
        heightLog2[i] = lv.heightLog2;
    }
    const __m256i wl = _mm256_load_si256(reinterpret_cast<const __m256i*>(widthLog2));
    const __m256i hl = _mm256_load_si256(reinterpret_cast<const __m256i*>(heightLog2));
    const __m256 half = power(_mm256_sub_epi32(_mm256_setzero_si256(), level));
    // WholeTurns lane by lane.
    auto turns = [&](__m256 x, __m256i sizeLog2) SPAN_AVX2_INLINE_LAMBDA {
        const __m256 t = _mm256_mul_ps(x, power(_mm256_sub_epi32(_mm256_setzero_si256(), sizeLog2)));
        const __m256 whole = _mm256_mul_ps(_mm256_cvtepi32_ps(_mm256_cvttps_epi32(t)), power(sizeLog2));
        const __m256 abs = _mm256_andnot_ps(_mm256_set1_ps(-0.0f), t);
        return _mm256_and_ps(whole, _mm256_cmp_ps(abs, _mm256_set1_ps(1e6f), _CMP_LT_OQ));
    };
    const __m256 offU = T.wrapU ? turns(_mm256_mul_ps(first.u, half), wl) : zero;
    const __m256 offV = T.wrapV ? turns(_mm256_mul_ps(first.v, half), hl) : zero;
    // Rows that take one chunk: every point TextureChunks chooses a level at (pixel 0 and every 16th
    // while more than 24 pixels are left before it) gives the first one's, and the row is not so far
    // from the whole turns at its last pixel that the chunk would be cut in two.
    alignas(32) float lastX[8] = {};
    alignas(32) int32_t lengths[8] = {};
    int longest = 0;
    for (int i = 0; i < count; ++i) {
        const int n = rows[i].x1 - rows[i].x0;
        lastX[i] = static_cast<float>(n - 1);
        lengths[i] = n;
        longest = std::max(longest, n);
    }
    uint32_t oneLevel = (1u << count) - 1;
    if (T.mipmapped) {
        const __m256i n = _mm256_load_si256(reinterpret_cast<const __m256i*>(lengths));
        __m256i differ = _mm256_setzero_si256();
        for (int x = 16; longest - x > 8; x += 16) {
            const __m256i chosen = _mm256_cmpgt_epi32(n, _mm256_set1_epi32(x + 8));
            const __m256i other = _mm256_xor_si256(_mm256_cmpeq_epi32(levelAt(at(_mm256_set1_ps(static_cast<float>(x)))), level),
                                                   _mm256_set1_epi32(-1));
            differ = _mm256_or_si256(differ, _mm256_and_si256(chosen, other));
        }
        oneLevel &= ~static_cast<uint32_t>(_mm256_movemask_ps(_mm256_castsi256_ps(differ)));
    }
    uint32_t cut = 0;
    if (T.wrapU || T.wrapV) {
        const Point last = at(_mm256_load_ps(lastX));
        const __m256 range = _mm256_set1_ps(kTexelRange), sign = _mm256_set1_ps(-0.0f);
        auto far = [&](__m256 a, __m256 b, __m256 off) SPAN_AVX2_INLINE_LAMBDA {
            const __m256 da = _mm256_andnot_ps(sign, _mm256_sub_ps(_mm256_mul_ps(a, half), off));
            const __m256 db = _mm256_andnot_ps(sign, _mm256_sub_ps(_mm256_mul_ps(b, half), off));
            return _mm256_and_ps(_mm256_cmp_ps(da, range, _CMP_LT_OQ), _mm256_cmp_ps(db, range, _CMP_GE_OQ));
        };
        __m256 farRows = zero;
        if (T.wrapU)
            farRows = _mm256_or_ps(farRows, far(first.u, last.u, offU));
        if (T.wrapV)
            farRows = _mm256_or_ps(farRows, far(first.v, last.v, offV));
        // A row of one pixel is never cut.
        const __m256 single = _mm256_cmp_ps(_mm256_load_ps(lastX), zero, _CMP_EQ_OQ);
        cut = static_cast<uint32_t>(_mm256_movemask_ps(_mm256_andnot_ps(single, farRows)));
    }
    out->oneChunk = oneLevel & ~cut;
    // The chunk's coordinates from pixel 0, as TextureChunks' chunk sets them up.
    const __m256 scale = _mm256_mul_ps(half, _mm256_set1_ps(65536.0f));
    const __m256 tq = _mm256_add_ps(qa, _mm256_mul_ps(_mm256_set1_ps(dq), zero));
    const __m256 shift = _mm256_set1_ps(T.shift);
    const __m256 offUq = _mm256_sub_ps(mul(offU, 65536.0f), shift), offVq = _mm256_sub_ps(mul(offV, 65536.0f), shift);
    auto startAt = [&](__m256 xq, float dxq, __m256 offq) SPAN_AVX2_INLINE_LAMBDA {
        const __m256 atFirst = _mm256_add_ps(xq, _mm256_mul_ps(_mm256_set1_ps(dxq), zero));
        return _mm256_sub_ps(_mm256_mul_ps(atFirst, scale), _mm256_mul_ps(offq, tq));
    };
    auto stepOf = [&](float dxq, __m256 offq) SPAN_AVX2_INLINE_LAMBDA {
        return _mm256_sub_ps(_mm256_mul_ps(_mm256_set1_ps(dxq), scale), _mm256_mul_ps(offq, _mm256_set1_ps(dq)));
    };
    _mm256_store_ps(out->q, tq);
    _mm256_store_ps(out->u, startAt(uq, duq, offUq));
    _mm256_store_ps(out->v, startAt(vq, dvq, offVq));
    _mm256_store_ps(out->du, stepOf(duq, offUq));
    _mm256_store_ps(out->dv, stepOf(dvq, offVq));
}

template <SpanKey K, bool Chunked>
SPAN_AVX2_INLINE void StartRows(const Context& c, const Gradients& g, const SpanRow* rows, int count,
                                RowStarts* out) {
    alignas(32) float xs[8] = {}, ys[8] = {};
    for (int i = 0; i < count; ++i) {
        xs[i] = static_cast<float>(rows[i].x0);
        ys[i] = static_cast<float>(rows[i].y);
    }
    const __m256 ox = _mm256_sub_ps(_mm256_load_ps(xs), _mm256_set1_ps(g.x0));
    const __m256 oy = _mm256_sub_ps(_mm256_load_ps(ys), _mm256_set1_ps(g.y0));
    if constexpr (Chunked)
        ChunkRows(c, g, rows, count, ox, oy, out);
    // base + dx * ox + dy * oy, as Gradients::At.
    auto plane = [&](float base, float dx, float dy) SPAN_AVX2_INLINE_LAMBDA {
        return _mm256_add_ps(_mm256_add_ps(_mm256_set1_ps(base), _mm256_mul_ps(_mm256_set1_ps(dx), ox)),
                             _mm256_mul_ps(_mm256_set1_ps(dy), oy));
    };
    auto fixed = [&](int a, float scale, int32_t* to) SPAN_AVX2_INLINE_LAMBDA {
        const __m256 v = _mm256_mul_ps(plane(g.base[a], g.dx[a], g.dy[a]), _mm256_set1_ps(scale));
        _mm256_store_si256(reinterpret_cast<__m256i*>(to), _mm256_cvttps_epi32(v));
    };
    if constexpr (K.depth == kDepth16) {
        // ToFixed(depth - bias, 1, kDepthScale) in doubles: at most 0 and NaN become 0, above 1 is 1.
        const __m256 z = plane(g.base[kAttrZ], g.dx[kAttrZ], g.dy[kAttrZ]);
        const __m256d bias = _mm256_set1_pd(static_cast<double>(c.zBias));
        auto half = [&](__m128 four) SPAN_AVX2_INLINE_LAMBDA {
            const __m256d d = _mm256_max_pd(_mm256_sub_pd(_mm256_cvtps_pd(four), bias), _mm256_setzero_pd());
            return _mm256_cvttpd_epi32(_mm256_mul_pd(_mm256_min_pd(_mm256_set1_pd(1.0), d), _mm256_set1_pd(kDepthScale)));
        };
        _mm_store_si128(reinterpret_cast<__m128i*>(out->z), half(_mm256_castps256_ps128(z)));
        _mm_store_si128(reinterpret_cast<__m128i*>(out->z + 4), half(_mm256_extractf128_ps(z, 1)));
    }
    if constexpr (K.texture != kTexNone && !Chunked) {
        const bool perspective = c.perspective;
        _mm256_store_ps(out->q, perspective ? plane(g.base[kAttrQ], g.dx[kAttrQ], g.dy[kAttrQ]) : plane(1.0f, 0, 0));
        _mm256_store_ps(out->u, plane(g.texU[0], g.texU[1], g.texU[2]));
        _mm256_store_ps(out->v, plane(g.texV[0], g.texV[1], g.texV[2]));
    }
    constexpr F32x4 kDiffuseScales = DiffuseScales<K>();
    for (int k = 0; k < 4; ++k) {
        if (kReadsDiffuse<K> && (k < 3 || kReadsDiffuseAlpha<K>))
            fixed(kAttrB + k, kDiffuseScales[k], out->col[k]);
        if (ReadsSpecFog<K>(k))
            fixed(kAttrSB + k, kSpecFogScales[k], out->specFog[k]);
    }
}

// The steps of a steady triangle's runs, and its texture's level where it has one.
template <SpanKey K, bool Chunked>
SPAN_AVX2_INLINE void SteadySteps(const Context& c, const Gradients& g, SpanPixels& p) {
    SpanState(c, &p);
    if constexpr (K.depth == kDepth16)
        p.dz = RunStep(g.dx[kAttrZ], kDepthScale);
    if constexpr (kReadsDiffuse<K>)
        p.dcol = __builtin_convertvector(LoadLanes(&g.dx[kAttrB]) * DiffuseScales<K>(), I32x4);
    if constexpr (K.specular || K.fog)
        p.dspecFog = __builtin_convertvector(LoadLanes(&g.dx[kAttrSB]) * kSpecFogScales, I32x4);
    if constexpr (K.texture != kTexNone && !Chunked)
        OneLevel(c, g, 0, 0, p);
}

// Row i's first values of depth, colour and fog into p.
template <SpanKey K>
SPAN_AVX2_INLINE void LoadRowStart(const RowStarts& starts, int i, SpanPixels& p) {
    p.z = starts.z[i];
    for (int k = 0; k < 4; ++k) {
        if (kReadsDiffuse<K> && (k < 3 || kReadsDiffuseAlpha<K>))
            p.col[k] = starts.col[k][i];
        if (ReadsSpecFog<K>(k))
            p.specFog[k] = starts.specFog[k][i];
    }
}

// A row whose texture levels are chosen along it, chunk by chunk (its first values in p).
template <SpanKey K>
SPAN_AVX2_INLINE void ChunkedRow(const Context& c, const Gradients& g, const SpanRow& row, SpanPixels& p,
                                 GroupConsts& consts) {
    auto draw = [&](int pixels, int) SPAN_AVX2_LAMBDA {
        p.n = pixels;
        SetLevelConsts(p, &consts);
        Groups<K>(p, consts);
        Advance(p, pixels);
        CarryRuns(p, pixels);
    };
    TextureChunks(c, g, static_cast<float>(row.x0), static_cast<float>(row.y), row.x1 - row.x0, p, draw);
}

// The rows of a triangle whose runs need no range cuts: the runs' steps and lane offsets are the
// same for every row, and the rows' first values are worked out eight rows at a time. Chunked: the
// texture's levels are chosen along the rows.
template <SpanKey K, bool Chunked>
SPAN_AVX2_FN void SteadyRows(const Context& c, const Gradients& g, const SpanRow* rows, int count) {
    SpanPixels p;
    SteadySteps<K, Chunked>(c, g, p);
    GroupConsts consts;
    MakeConsts<K>(p, &consts);
    RowStarts starts;
    for (int first = 0; first < count; first += 8) {
        const int batch = std::min(8, count - first);
        StartRows<K, Chunked>(c, g, rows + first, batch, &starts);
        for (int i = 0; i < batch; ++i) {
            const SpanRow& row = rows[first + i];
            const int n = row.x1 - row.x0;
            SpanPlace<K>(c, row.y, row.x0, n, &p);
            LoadRowStart<K>(starts, i, p);
            if constexpr (Chunked) {
                if (starts.oneChunk & (1u << i)) {
                    UseLevel(c.tex, c.tex.data->levels[starts.level[i]], &p);
                    p.tdq = c.perspective ? g.dx[kAttrQ] : 0.0f;
                    p.tq = starts.q[i];
                    p.tu = starts.u[i];
                    p.tdu = starts.du[i];
                    p.tv = starts.v[i];
                    p.tdv = starts.dv[i];
                    p.n = n;
                    SetLevelConsts(p, &consts);
                    Groups<K>(p, consts);
                    continue;
                }
                ChunkedRow<K>(c, g, row, p, consts);
            } else {
                if constexpr (K.texture != kTexNone) {
                    p.tq = starts.q[i];
                    p.tu = starts.u[i];
                    p.tv = starts.v[i];
                }
                p.n = n;
                Groups<K>(p, consts);
            }
        }
    }
}

}  // namespace span_detail::avx2
#endif

#include "platform/ddraw/raster_span16.h"

// A triangle's rows: sixteen or eight pixels at a time from one set-up where the triangle allows,
// else span by span.
template <SpanKey K>
void SpecialisedRows(const Context& c, const Gradients& g, const SpanRow* rows, int count) {
#if defined(QUORRIN_SPAN_AVX2)
    if constexpr (!K.key) {
        constexpr bool kDiffuse = kReadsDiffuse<K>;
        constexpr bool kSpecularFog = K.specular || K.fog;
        const bool steady = (K.depth != kDepth16 || g.steadyZ) && (!kDiffuse || g.steadyDiffuse) &&
                            (!kSpecularFog || g.steadySpecFog);
        const bool oneLevel = K.texture == kTexNone || g.texLevel >= 0;
        if (steady && c.wideSpans) {
            if (oneLevel)
                span_detail::wide::SteadyRows<K, false>(c, g, rows, count);
            else
                span_detail::wide::SteadyRows<K, true>(c, g, rows, count);
            return;
        }
        if (steady && c.vectorSpans) {
            if (oneLevel)
                span_detail::avx2::SteadyRows<K, false>(c, g, rows, count);
            else
                span_detail::avx2::SteadyRows<K, true>(c, g, rows, count);
            return;
        }
    }
#endif
    for (int i = 0; i < count; ++i)
        SpecialisedSpan<K>(c, g, rows[i].y, rows[i].x0, rows[i].x1);
}

// The instantiations come in parts, one per depth mode and blend, each made in its own compilation
// of raster_span_part.cpp (see platform/CMakeLists.txt) so that they compile in parallel: every key
// is made one, eight and sixteen pixels wide. Part (Depth, Blend) holds its keys by IndexOf / kBlends.
constexpr int kKeysPerPart = kKeysPerDepth / kBlends;
static_assert(kKeysPerPart * kBlends == kKeysPerDepth);
template <int Depth, int Blend>
const SpanFn* SpanPart();

}  // namespace platform::dd::raster
