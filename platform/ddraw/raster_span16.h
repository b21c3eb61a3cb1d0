#pragma once
// The sixteen-pixel span loops, where the processor has AVX-512: the rows of a steady triangle are
// cut into groups of up to eight pixels, and the groups go two to a vector whatever rows they come
// from, so a triangle of short rows fills its vectors and its loop ends once per sixteen rows rather
// than once per row. Each lane works out its pixel from its row's first values and its place in the
// row with the eight-pixel loops' arithmetic, so both give the same pixels. Included by
// raster_span.h, inside its namespace.

#if defined(QUORRIN_SPAN_AVX2)
#define SPAN_WIDE_TARGET "avx2,avx512f,avx512bw,avx512vl,avx512dq"
#define SPAN_WIDE_FN __attribute__((target(SPAN_WIDE_TARGET)))
#define SPAN_WIDE_INLINE __attribute__((target(SPAN_WIDE_TARGET), always_inline)) inline
#define SPAN_WIDE_LAMBDA __attribute__((target(SPAN_WIDE_TARGET), always_inline))
#define QUORRIN_SPAN_WIDE 1

// GCC 12's AVX-512 intrinsics leave lanes undefined through a self-initialised variable, which its
// own -Wmaybe-uninitialized then reports wherever they are inlined (fixed in GCC 13).
#if defined(__GNUC__) && !defined(__clang__) && __GNUC__ < 13
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#define QUORRIN_SPAN_WIDE_PRAGMA 1
#endif

namespace span_detail::wide {

using avx2::ReadsSpecFog;
using avx2::RowStarts;

// Lane k of a group is pixel k % 8 of its half's eight.
SPAN_WIDE_INLINE __m512i LaneInHalf() { return _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 0, 1, 2, 3, 4, 5, 6, 7); }

// Two 256-bit halves as one vector.
SPAN_WIDE_INLINE __m512i Halves(__m256i low, __m256i high) {
    return _mm512_inserti64x4(_mm512_castsi256_si512(low), high, 1);
}
SPAN_WIDE_INLINE __m512 Halves(__m256 low, __m256 high) {
    return _mm512_castsi512_ps(Halves(_mm256_castps_si256(low), _mm256_castps_si256(high)));
}

// The integer parts of two 16.16 runs as one pair vector (see avx2::Pair): (hi & mask) | (lo >> 16).
SPAN_WIDE_INLINE __m512i Pair(__m512i lo, __m512i hi) {
    return _mm512_ternarylogic_epi32(_mm512_set1_epi32(static_cast<int>(0xFFFF0000)), hi, _mm512_srli_epi32(lo, 16), 0xEA);
}

// The operations of the eight-pixel loops on sixteen lanes (see there).
SPAN_WIDE_INLINE __m512i Mix(__m512i a, __m512i b, __m512i w) {
    const __m512i aw = _mm512_mullo_epi16(a, _mm512_sub_epi16(_mm512_set1_epi16(256), w));
    return _mm512_srli_epi16(_mm512_add_epi16(aw, _mm512_mullo_epi16(b, w)), 8);
}
SPAN_WIDE_INLINE __m512i LerpRound(__m512i a, __m512i b, __m512i w128) {
    return _mm512_add_epi16(a, _mm512_mulhrs_epi16(_mm512_sub_epi16(b, a), w128));
}
SPAN_WIDE_INLINE __m512i MixFrom(__m512i a256, __m512i a, __m512i b, __m512i w) {
    return _mm512_srli_epi16(_mm512_add_epi16(a256, _mm512_mullo_epi16(_mm512_sub_epi16(b, a), w)), 8);
}
SPAN_WIDE_INLINE __m512i Scale(__m512i a, __m512i w) { return _mm512_srli_epi16(_mm512_mullo_epi16(a, w), 8); }
SPAN_WIDE_INLINE __m512i Factor(__m512i f) { return _mm512_add_epi16(f, _mm512_srli_epi16(f, 7)); }
SPAN_WIDE_INLINE __m512i Address(__m512i i, __m512i mask, __m512i max) {
    return _mm512_min_epi32(_mm512_max_epi32(_mm512_and_si512(i, mask), _mm512_setzero_si512()), max);
}
// The alpha half of `from` into `into`.
SPAN_WIDE_INLINE __m512i WithAlpha(__m512i into, __m512i from) {
    return _mm512_ternarylogic_epi32(_mm512_set1_epi32(static_cast<int>(0xFFFF0000)), from, into, 0xCA);
}
SPAN_WIDE_INLINE void Expand(__m512i o, __m512i* rb, __m512i* ga) {
    const __m512i r = _mm512_and_si512(_mm512_srli_epi32(o, 11), _mm512_set1_epi32(31));
    const __m512i g = _mm512_and_si512(_mm512_srli_epi32(o, 5), _mm512_set1_epi32(63));
    const __m512i b = _mm512_and_si512(o, _mm512_set1_epi32(31));
    const __m512i r8 = _mm512_or_si512(_mm512_slli_epi32(r, 3), _mm512_srli_epi32(r, 2));
    const __m512i b8 = _mm512_or_si512(_mm512_slli_epi32(b, 3), _mm512_srli_epi32(b, 2));
    *rb = _mm512_or_si512(b8, _mm512_slli_epi32(r8, 16));
    *ga = _mm512_or_si512(_mm512_slli_epi32(g, 2), _mm512_srli_epi32(g, 4));
}
SPAN_WIDE_INLINE __m512i Pack(__m512i rb, __m512i ga) {
    const __m512i br = _mm512_madd_epi16(_mm512_mulhi_epu16(rb, _mm512_set1_epi16(8192)), _mm512_set1_epi32(0x08000001));
    const __m512i g = _mm512_madd_epi16(_mm512_mulhi_epu16(ga, _mm512_set1_epi16(16384)), _mm512_set1_epi32(32));
    return _mm512_add_epi32(br, g);
}
SPAN_WIDE_INLINE __m512i TexelFixed(__m512 v) {
    const __m512 low = _mm512_max_ps(v, _mm512_set1_ps(kTexelLow));  // a NaN lane becomes low
    return _mm512_cvttps_epi32(_mm512_min_ps(low, _mm512_set1_ps(kTexelHigh)));
}

// The four texels of sixteen pixels from the quad layout, by byte offset from `quads`: sixteen
// 128-bit loads and a 4 x 4 transpose in each quarter (see avx2::FetchQuads).
SPAN_WIDE_INLINE void FetchQuads(const uint32_t* quads, __m512i offsets, __m512i* t00, __m512i* t01, __m512i* t10,
                                 __m512i* t11) {
    alignas(64) uint32_t i[16];
    _mm512_store_si512(i, offsets);
    asm("" : "+m"(i));
    const char* bytes = reinterpret_cast<const char*>(quads);
    auto at = [bytes](uint32_t k) SPAN_WIDE_LAMBDA {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + k));
    };
    auto four = [&](int k) SPAN_WIDE_LAMBDA {
        __m512i v = _mm512_castsi128_si512(at(i[k]));
        v = _mm512_inserti32x4(v, at(i[k + 4]), 1);
        v = _mm512_inserti32x4(v, at(i[k + 8]), 2);
        return _mm512_inserti32x4(v, at(i[k + 12]), 3);
    };
    const __m512i a = four(0), b = four(1), c = four(2), d = four(3);
    const __m512i abLeft = _mm512_unpacklo_epi32(a, b), abRight = _mm512_unpackhi_epi32(a, b);
    const __m512i cdLeft = _mm512_unpacklo_epi32(c, d), cdRight = _mm512_unpackhi_epi32(c, d);
    *t00 = _mm512_unpacklo_epi64(abLeft, cdLeft);
    *t10 = _mm512_unpackhi_epi64(abLeft, cdLeft);
    *t01 = _mm512_unpacklo_epi64(abRight, cdRight);
    *t11 = _mm512_unpackhi_epi64(abRight, cdRight);
}

// Sixteen texels by index from `texels`, lanes not in `lanes` left 0.
SPAN_WIDE_INLINE __m512i Fetch(const uint32_t* texels, __m512i index, __mmask16 lanes) {
    return _mm512_mask_i32gather_epi32(_mm512_setzero_si512(), lanes, index, texels, 4);
}

// A group's start: for each half, the row (in the batch) and the half's first pixel in the row.
struct Half {
    int row;
    int x;
};

// The rows of a batch as the lanes of vectors (lane r: row r of up to sixteen): their first values,
// lengths, and for rows that choose their level, the level and coordinate steps.
struct BatchRows {
    __m512i z, col[4], specFog[4], n, level;
    __m512 q, u, v, du, dv;
    uint16_t* dst[16];
    uint16_t* depth[16];
};

// What stays over a triangle (see avx2::GroupConsts), with the texture levels' numbers as lanes of
// vectors (lane l: level l) for the rows that choose their own.
struct WideConsts {
    __m512i dz, dc[4], dsf[4];
    __m512i zTest;
    __m512i fogRB, fogGA, fogRB256, fogGA256;
    __m512 tdq, tdu, tdv;
    __m512i uMask, uMax, vMask, vMax, widthLog2;
    // Byte offset of each level from level 0 (of the quads where the triangle uses them, else of the
    // texels).
    __m512i levelOffset;
    const uint32_t* texture;  // level 0 of the texels or quads, or the one level's
    bool quads;
    bool zWrite;
    AlphaSource alphaSource;
};

template <SpanKey K, bool Chunked>
SPAN_WIDE_INLINE void MakeWideConsts(const Context& c, const SpanPixels& p, WideConsts* w) {
    auto runs = [&](int32_t d) SPAN_WIDE_LAMBDA { return _mm512_set1_epi32(d); };
    w->dz = runs(p.dz);
    for (int k = 0; k < 4; ++k) {
        w->dc[k] = runs(p.dcol[k]);
        w->dsf[k] = runs(p.dspecFog[k]);
    }
    w->zTest = _mm512_set1_epi32(static_cast<int>(p.zTest));
    w->fogRB = _mm512_set1_epi32(static_cast<int>((p.fogColor & 0xFF) | ((p.fogColor >> 16 & 0xFF) << 16)));
    w->fogGA = _mm512_set1_epi32(static_cast<int>((p.fogColor >> 8) & 0xFF));
    w->fogRB256 = _mm512_slli_epi16(w->fogRB, 8);
    w->fogGA256 = _mm512_slli_epi16(w->fogGA, 8);
    w->zWrite = p.zWrite;
    w->alphaSource = p.alphaSource;
    w->texture = nullptr;
    w->quads = false;
    if constexpr (K.texture != kTexNone) {
        const FastTexture& T = c.tex;
        w->quads = K.texture == kTexLinear && T.wrapU && T.wrapV && T.data->levels[0].quads;
        w->tdq = _mm512_set1_ps(p.tdq);
        if constexpr (!Chunked) {
            w->texture = w->quads ? p.quads : p.texels;
            w->tdu = _mm512_set1_ps(p.tdu);
            w->tdv = _mm512_set1_ps(p.tdv);
            w->uMask = _mm512_set1_epi32(p.uMask);
            w->uMax = _mm512_set1_epi32(p.uMax);
            w->vMask = _mm512_set1_epi32(p.vMask);
            w->vMax = _mm512_set1_epi32(p.vMax);
            w->widthLog2 = _mm512_set1_epi32(p.widthLog2);
            w->levelOffset = _mm512_setzero_si512();
        } else {
            const TexData& td = *T.data;
            const TexLevel& base = td.levels[0];
            w->texture = w->quads ? base.quads : base.texels;
            alignas(64) int32_t uMask[16] = {}, uMax[16] = {}, vMask[16] = {}, vMax[16] = {}, log2[16] = {},
                                offset[16] = {};
            for (int l = 0; l < td.levelCount; ++l) {
                const TexLevel& lv = td.levels[l];
                uMask[l] = T.wrapU ? lv.width - 1 : -1;
                vMask[l] = T.wrapV ? lv.height - 1 : -1;
                uMax[l] = lv.width - 1;
                vMax[l] = lv.height - 1;
                log2[l] = lv.widthLog2;
                offset[l] = static_cast<int32_t>(w->quads ? (lv.quads - base.quads) * 4 : (lv.texels - base.texels) * 4);
            }
            w->uMask = _mm512_load_si512(uMask);
            w->uMax = _mm512_load_si512(uMax);
            w->vMask = _mm512_load_si512(vMask);
            w->vMax = _mm512_load_si512(vMax);
            w->widthLog2 = _mm512_load_si512(log2);
            w->levelOffset = _mm512_load_si512(offset);
        }
    }
}

// Up to sixteen rows from two sets of eight rows' starts (the second set only for rows 8 on: with
// eight rows or fewer, give the first set twice).
template <SpanKey K, bool Chunked>
SPAN_WIDE_INLINE void LoadBatch(const RowStarts& low, const RowStarts& high, BatchRows* b) {
    auto ints = [&](const int32_t* l, const int32_t* h) SPAN_WIDE_LAMBDA {
        return Halves(_mm256_load_si256(reinterpret_cast<const __m256i*>(l)),
                      _mm256_load_si256(reinterpret_cast<const __m256i*>(h)));
    };
    auto floats = [&](const float* l, const float* h) SPAN_WIDE_LAMBDA {
        return Halves(_mm256_load_ps(l), _mm256_load_ps(h));
    };
    if constexpr (K.depth == kDepth16)
        b->z = ints(low.z, high.z);
    for (int k = 0; k < 4; ++k) {
        if (kReadsDiffuse<K> && (k < 3 || kReadsDiffuseAlpha<K>))
            b->col[k] = ints(low.col[k], high.col[k]);
        if (ReadsSpecFog<K>(k))
            b->specFog[k] = ints(low.specFog[k], high.specFog[k]);
    }
    if constexpr (K.texture != kTexNone) {
        b->q = floats(low.q, high.q);
        b->u = floats(low.u, high.u);
        b->v = floats(low.v, high.v);
        if constexpr (Chunked) {
            b->du = floats(low.du, high.du);
            b->dv = floats(low.dv, high.dv);
            b->level = ints(low.level, high.level);
        }
    }
}

// Up to sixteen rows' first values straight into the batch's lanes, for a triangle that samples one
// level: avx2::StartRows' arithmetic on sixteen lanes, so the pixels are the same.
template <SpanKey K>
SPAN_WIDE_INLINE void StartBatch(const Context& c, const Gradients& g, const SpanRow* rows, int count, BatchRows* b) {
    alignas(64) float xs[16] = {}, ys[16] = {};
    for (int i = 0; i < count; ++i) {
        xs[i] = static_cast<float>(rows[i].x0);
        ys[i] = static_cast<float>(rows[i].y);
    }
    const __m512 ox = _mm512_sub_ps(_mm512_load_ps(xs), _mm512_set1_ps(g.x0));
    const __m512 oy = _mm512_sub_ps(_mm512_load_ps(ys), _mm512_set1_ps(g.y0));
    auto plane = [&](float base, float dx, float dy) SPAN_WIDE_LAMBDA {
        return _mm512_add_ps(_mm512_add_ps(_mm512_set1_ps(base), _mm512_mul_ps(_mm512_set1_ps(dx), ox)),
                             _mm512_mul_ps(_mm512_set1_ps(dy), oy));
    };
    auto fixed = [&](int a, float scale) SPAN_WIDE_LAMBDA {
        return _mm512_cvttps_epi32(_mm512_mul_ps(plane(g.base[a], g.dx[a], g.dy[a]), _mm512_set1_ps(scale)));
    };
    if constexpr (K.depth == kDepth16) {
        const __m512 z = plane(g.base[kAttrZ], g.dx[kAttrZ], g.dy[kAttrZ]);
        const __m512d bias = _mm512_set1_pd(static_cast<double>(c.zBias));
        auto eight = [&](__m256 z8) SPAN_WIDE_LAMBDA {
            const __m512d d = _mm512_max_pd(_mm512_sub_pd(_mm512_cvtps_pd(z8), bias), _mm512_setzero_pd());
            return _mm512_cvttpd_epi32(_mm512_mul_pd(_mm512_min_pd(_mm512_set1_pd(1.0), d), _mm512_set1_pd(kDepthScale)));
        };
        b->z = Halves(eight(_mm512_castps512_ps256(z)), eight(_mm512_extractf32x8_ps(z, 1)));
    }
    if constexpr (K.texture != kTexNone) {
        b->q = c.perspective ? plane(g.base[kAttrQ], g.dx[kAttrQ], g.dy[kAttrQ]) : plane(1.0f, 0, 0);
        b->u = plane(g.texU[0], g.texU[1], g.texU[2]);
        b->v = plane(g.texV[0], g.texV[1], g.texV[2]);
    }
    constexpr F32x4 kDiffuseScales = DiffuseScales<K>();
    for (int k = 0; k < 4; ++k) {
        if (kReadsDiffuse<K> && (k < 3 || kReadsDiffuseAlpha<K>))
            b->col[k] = fixed(kAttrB + k, kDiffuseScales[k]);
        if (ReadsSpecFog<K>(k))
            b->specFog[k] = fixed(kAttrSB + k, kSpecFogScales[k]);
    }
}

// The pixels of two halves of eight: each lane its row's first values plus its place in the row
// times the runs' steps, as the eight-pixel loops' adds make them.
template <SpanKey K, bool Chunked>
SPAN_WIDE_INLINE void DrawHalves(const WideConsts& w, const BatchRows& b, Half a, Half h) {
    constexpr bool kDiffuse = kReadsDiffuse<K>;
    const __m512i row = Halves(_mm256_set1_epi32(a.row), _mm256_set1_epi32(h.row));
    const __m512i x = _mm512_add_epi32(Halves(_mm256_set1_epi32(a.x), _mm256_set1_epi32(h.x)), LaneInHalf());
    const __mmask16 inside = _mm512_cmplt_epi32_mask(x, _mm512_permutexvar_epi32(row, b.n));
    if (!inside)
        return;
    const __mmask8 insideA = static_cast<__mmask8>(inside), insideH = static_cast<__mmask8>(inside >> 8);
    uint16_t* const dstA = b.dst[a.row] + a.x;
    uint16_t* const dstH = b.dst[h.row] + h.x;
    auto along = [&](__m512i rows, __m512i step) SPAN_WIDE_LAMBDA {
        return _mm512_add_epi32(_mm512_permutexvar_epi32(row, rows), _mm512_mullo_epi32(x, step));
    };
    auto both = [&](__m128i low, __m128i high) SPAN_WIDE_LAMBDA {
        return _mm512_cvtepu16_epi32(_mm256_inserti128_si256(_mm256_castsi128_si256(low), high, 1));
    };

    __mmask16 draw = inside;
    __m512i zv{}, zOld{};
    uint16_t* depthA = nullptr;
    uint16_t* depthH = nullptr;
    if constexpr (K.depth == kDepth16) {
        depthA = b.depth[a.row] + a.x;
        depthH = b.depth[h.row] + h.x;
        zOld = both(_mm_maskz_loadu_epi16(insideA, depthA), _mm_maskz_loadu_epi16(insideH, depthH));
        zv = _mm512_srli_epi32(along(b.z, w.dz), 15);
        draw = _mm512_mask_cmple_epi32_mask(inside, _mm512_and_si512(zv, w.zTest), zOld);
        if (!draw)
            return;
    }

    const __m512i c255 = _mm512_set1_epi16(255);
    const __m512i low8 = _mm512_set1_epi32(0x00FF00FF);
    __m512i texRB{}, texGA{};
    if constexpr (K.texture != kTexNone) {
        // The 16.16 texel coordinates, as TexelsAt gives them.
        const __m512 fx = _mm512_cvtepi32_ps(x);
        const __m512 tdu = Chunked ? _mm512_permutexvar_ps(row, b.du) : w.tdu;
        const __m512 tdv = Chunked ? _mm512_permutexvar_ps(row, b.dv) : w.tdv;
        const __m512 q = _mm512_max_ps(_mm512_add_ps(_mm512_permutexvar_ps(row, b.q), _mm512_mul_ps(fx, w.tdq)),
                                       _mm512_set1_ps(kMinQ));
        const __m512 iw = _mm512_div_ps(_mm512_set1_ps(1.0f), q);
        const __m512i u =
            TexelFixed(_mm512_mul_ps(_mm512_add_ps(_mm512_permutexvar_ps(row, b.u), _mm512_mul_ps(fx, tdu)), iw));
        const __m512i v =
            TexelFixed(_mm512_mul_ps(_mm512_add_ps(_mm512_permutexvar_ps(row, b.v), _mm512_mul_ps(fx, tdv)), iw));
        // The level's masks, sizes and place: one for the triangle, or each row's own.
        __m512i uMask = w.uMask, uMax = w.uMax, vMask = w.vMask, vMax = w.vMax, log2 = w.widthLog2;
        __m512i offset = w.levelOffset;
        if constexpr (Chunked) {
            const __m512i level = _mm512_permutexvar_epi32(row, b.level);
            uMask = _mm512_permutexvar_epi32(level, uMask);
            uMax = _mm512_permutexvar_epi32(level, uMax);
            vMask = _mm512_permutexvar_epi32(level, vMask);
            vMax = _mm512_permutexvar_epi32(level, vMax);
            log2 = _mm512_permutexvar_epi32(level, log2);
            offset = _mm512_permutexvar_epi32(level, offset);
        }
        if constexpr (K.texture == kTexLinear) {
            const __m512i half = _mm512_set1_epi32(0x8000);
            const __m512i us = _mm512_sub_epi32(u, half), vs = _mm512_sub_epi32(v, half);
            // The weights' eight bits (bits 8-15) times 128, in both halves of every lane.
            const __m512i weightBytes = _mm512_broadcast_i32x4(
                _mm_setr_epi8(-128, 1, -128, 1, -128, 5, -128, 5, -128, 9, -128, 9, -128, 13, -128, 13));
            const __m512i fu2 = _mm512_srli_epi16(_mm512_shuffle_epi8(us, weightBytes), 1);
            const __m512i fv2 = _mm512_srli_epi16(_mm512_shuffle_epi8(vs, weightBytes), 1);
            const __m512i ui = _mm512_srai_epi32(us, 16), vi = _mm512_srai_epi32(vs, 16);
            __m512i t00, t01, t10, t11;
            if (w.quads) {
                const __m512i wu = _mm512_and_si512(ui, uMask), wv = _mm512_and_si512(vi, vMask);
                const __m512i pair = _mm512_add_epi32(_mm512_add_epi32(_mm512_sllv_epi32(wv, log2), wv), wu);
                FetchQuads(w.texture, _mm512_add_epi32(_mm512_slli_epi32(pair, 3), offset), &t00, &t01, &t10, &t11);
            } else {
                const __m512i one = _mm512_set1_epi32(1);
                const __m512i u0 = Address(ui, uMask, uMax), u1 = Address(_mm512_add_epi32(ui, one), uMask, uMax);
                const __m512i r0 = _mm512_sllv_epi32(Address(vi, vMask, vMax), log2);
                const __m512i r1 = _mm512_sllv_epi32(Address(_mm512_add_epi32(vi, one), vMask, vMax), log2);
                const __m512i at = _mm512_srli_epi32(offset, 2);
                t00 = Fetch(w.texture, _mm512_add_epi32(_mm512_add_epi32(r0, u0), at), draw);
                t01 = Fetch(w.texture, _mm512_add_epi32(_mm512_add_epi32(r0, u1), at), draw);
                t10 = Fetch(w.texture, _mm512_add_epi32(_mm512_add_epi32(r1, u0), at), draw);
                t11 = Fetch(w.texture, _mm512_add_epi32(_mm512_add_epi32(r1, u1), at), draw);
            }
            const __m512i leftRB = LerpRound(_mm512_and_si512(t00, low8), _mm512_and_si512(t10, low8), fv2);
            const __m512i leftGA = LerpRound(_mm512_srli_epi16(t00, 8), _mm512_srli_epi16(t10, 8), fv2);
            const __m512i rightRB = LerpRound(_mm512_and_si512(t01, low8), _mm512_and_si512(t11, low8), fv2);
            const __m512i rightGA = LerpRound(_mm512_srli_epi16(t01, 8), _mm512_srli_epi16(t11, 8), fv2);
            texRB = LerpRound(leftRB, rightRB, fu2);
            texGA = LerpRound(leftGA, rightGA, fu2);
        } else {
            const __m512i ui = _mm512_srai_epi32(u, 16), vi = _mm512_srai_epi32(v, 16);
            const __m512i index = _mm512_or_si512(_mm512_sllv_epi32(Address(vi, vMask, vMax), log2),
                                                  Address(ui, uMask, uMax));
            const __m512i t = Fetch(w.texture, _mm512_add_epi32(index, _mm512_srli_epi32(offset, 2)), draw);
            texRB = _mm512_and_si512(t, low8);
            texGA = _mm512_srli_epi16(t, 8);
        }
    }

    __m512i diffRB{}, diffGA{};
    if constexpr (kDiffuse) {
        diffRB = Pair(along(b.col[0], w.dc[0]), along(b.col[2], w.dc[2]));
        // Without the alpha blend the alpha half is never read: left 0.
        if constexpr (kReadsDiffuseAlpha<K>)
            diffGA = Pair(along(b.col[1], w.dc[1]), along(b.col[3], w.dc[3]));
        else
            diffGA = _mm512_srli_epi32(along(b.col[1], w.dc[1]), 16);
    }
    __m512i rb, ga;
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
        if (w.alphaSource == AlphaSource::Texture)
            ga = WithAlpha(ga, Factor(texGA));
        else if (w.alphaSource == AlphaSource::Diffuse)
            ga = WithAlpha(ga, diffGA);
        else
            ga = WithAlpha(ga, Factor(Scale(texGA, diffGA)));
    }
    if constexpr (K.specular) {
        rb = _mm512_min_epu16(_mm512_add_epi16(rb, Pair(along(b.specFog[0], w.dsf[0]), along(b.specFog[2], w.dsf[2]))),
                              c255);
        ga = _mm512_min_epu16(_mm512_add_epi16(ga, _mm512_srli_epi32(along(b.specFog[1], w.dsf[1]), 16)), c255);
    }
    if constexpr (K.fog) {
        const __m512i fog = along(b.specFog[3], w.dsf[3]);
        const __m512i f = Pair(fog, fog);
        rb = MixFrom(w.fogRB256, w.fogRB, rb, f);
        // Only the blends by alpha read the alpha lane, and there it may be 256.
        if constexpr (BlendByAlpha(K.blend))
            ga = WithAlpha(Mix(w.fogGA, ga, f), ga);
        else
            ga = MixFrom(w.fogGA256, w.fogGA, ga, f);
    }
    const __mmask8 drawA = static_cast<__mmask8>(draw), drawH = static_cast<__mmask8>(draw >> 8);
    if constexpr (K.blend != kBlendOff) {
        __m512i oldRB, oldGA;
        Expand(both(_mm_maskz_loadu_epi16(drawA, dstA), _mm_maskz_loadu_epi16(drawH, dstH)), &oldRB, &oldGA);
        if constexpr (K.blend == kBlendLerp) {
            const __m512i alpha = Pair(ga, ga);
            rb = Mix(oldRB, rb, alpha);
            ga = Mix(oldGA, ga, alpha);
        } else if constexpr (K.blend == kBlendAdd) {
            rb = _mm512_min_epu16(_mm512_add_epi16(rb, oldRB), c255);
            ga = _mm512_min_epu16(_mm512_add_epi16(ga, oldGA), c255);
        } else if constexpr (K.blend == kBlendAddAlpha) {
            const __m512i alpha = Pair(ga, ga);
            rb = _mm512_min_epu16(_mm512_add_epi16(Scale(rb, alpha), oldRB), c255);
            ga = _mm512_min_epu16(_mm512_add_epi16(Scale(ga, alpha), oldGA), c255);
        } else {
            // Never above 255: the background's share is at most what the source leaves.
            rb = _mm512_add_epi16(rb, Scale(oldRB, Factor(_mm512_sub_epi16(c255, rb))));
            ga = _mm512_add_epi16(ga, Scale(oldGA, Factor(_mm512_sub_epi16(c255, ga))));
        }
    }
    const __m256i pixels = _mm512_cvtepi32_epi16(Pack(rb, ga));
    _mm_mask_storeu_epi16(dstA, drawA, _mm256_castsi256_si128(pixels));
    _mm_mask_storeu_epi16(dstH, drawH, _mm256_extracti128_si256(pixels, 1));
    if constexpr (K.depth == kDepth16) {
        if (w.zWrite) {
            const __m256i depths = _mm512_cvtepi32_epi16(zv);
            _mm_mask_storeu_epi16(depthA, drawA, _mm256_castsi256_si128(depths));
            _mm_mask_storeu_epi16(depthH, drawH, _mm256_extracti128_si256(depths, 1));
        }
    }
}

// Groups of eight listed for drawing two at a time, from the rows (or chunks) of one batch.
struct Listing {
    // The groups, and one to spare for an odd count.
    static constexpr int kListed = 256;
    Half halves[kListed + 1];
    int listed = 0;
    alignas(64) int32_t lengths[16] = {};
};

// Draws the listed groups of batch b (whose lengths are the listing's) and empties the list.
template <SpanKey K, bool Chunked>
SPAN_WIDE_INLINE void DrawListed(const WideConsts& w, BatchRows& b, Listing& l) {
    if (l.listed == 0)
        return;
    b.n = _mm512_load_si512(l.lengths);
    // The spare: no pixels (at the end of the last row listed).
    const int last = l.halves[l.listed - 1].row;
    l.halves[l.listed] = Half{last, l.lengths[last]};
    for (int i = 0; i < l.listed; i += 2)
        DrawHalves<K, Chunked>(w, b, l.halves[i], l.halves[i + 1]);
    l.listed = 0;
}

// Lists the groups of row i, n pixels long; flush() draws what is listed when the list is full.
template <class Flush>
SPAN_WIDE_INLINE void ListRow(Listing& l, int i, int n, Flush& flush) {
    l.lengths[i] = n;
    // The first two groups written whether the row has them or not: most rows have one or two.
    if (l.listed + 2 > Listing::kListed)
        flush();
    l.halves[l.listed] = Half{i, 0};
    l.halves[l.listed + 1] = Half{i, 8};
    l.listed += n > 8 ? 2 : 1;
    for (int x = 16; x < n; x += 8) {
        if (l.listed == Listing::kListed)
            flush();
        l.halves[l.listed++] = Half{i, x};
    }
}

// The rows of a triangle whose runs need no range cuts, sixteen rows to a batch: their groups of
// eight are listed and drawn two at a time. In a triangle whose levels vary, a row longer than one
// chunk is cut into its chunks, which are batched apart.
template <SpanKey K, bool Chunked>
SPAN_WIDE_FN void SteadyRows(const Context& c, const Gradients& g, const SpanRow* rows, int count) {
    SpanPixels p;
    avx2::SteadySteps<K, Chunked>(c, g, p);
    if constexpr (Chunked)
        p.tdq = c.perspective ? g.dx[kAttrQ] : 0.0f;
    WideConsts w;
    MakeWideConsts<K, Chunked>(c, p, &w);
    const TargetView& t = c.s.target;
    avx2::RowStarts low, high;
    BatchRows b;
    Listing listing;
    // Chunked only: the chunks of the rows that take more than one (see TextureChunks), sixteen
    // to a batch, each drawn as a row of its own from its level and coordinates, its runs carried
    // on to it.
    avx2::RowStarts chunkLow, chunkHigh;
    int chunks = 0;
    BatchRows chunkRows;
    Listing chunkListing;
    auto drawRows = [&]() SPAN_WIDE_LAMBDA { DrawListed<K, Chunked>(w, b, listing); };
    auto drawChunks = [&]() SPAN_WIDE_LAMBDA {
        LoadBatch<K, Chunked>(chunkLow, chunkHigh, &chunkRows);
        DrawListed<K, Chunked>(w, chunkRows, chunkListing);
    };
    for (int first = 0; first < count; first += 16) {
        const int batch = std::min(16, count - first);
        if constexpr (Chunked) {
            avx2::StartRows<K, Chunked>(c, g, rows + first, std::min(8, batch), &low);
            if (batch > 8)
                avx2::StartRows<K, Chunked>(c, g, rows + first + 8, batch - 8, &high);
            LoadBatch<K, Chunked>(low, batch > 8 ? high : low, &b);
        } else {
            StartBatch<K>(c, g, rows + first, batch, &b);
        }
        for (int i = 0; i < batch; ++i) {
            const SpanRow& row = rows[first + i];
            const int n = row.x1 - row.x0;
            b.dst[i] = reinterpret_cast<uint16_t*>(t.color + static_cast<ptrdiff_t>(row.y) * t.pitch) + row.x0;
            if constexpr (K.depth == kDepth16)
                b.depth[i] = reinterpret_cast<uint16_t*>(t.depth + static_cast<ptrdiff_t>(row.y) * t.depthPitch) + row.x0;
            if constexpr (Chunked) {
                const avx2::RowStarts& starts = i < 8 ? low : high;
                if (!(starts.oneChunk & (1u << (i & 7)))) {
                    p.dst = b.dst[i];
                    p.zb = K.depth == kDepth16 ? b.depth[i] : nullptr;
                    avx2::LoadRowStart<K>(starts, i & 7, p);
                    auto add = [&](int pixels, int level) SPAN_WIDE_FN {
                        if (chunks == 16) {
                            drawChunks();
                            chunks = 0;
                        }
                        const int k = chunks++;
                        avx2::RowStarts& to = k < 8 ? chunkLow : chunkHigh;
                        const int lane = k & 7;
                        chunkRows.dst[k] = p.dst;
                        chunkRows.depth[k] = p.zb;
                        to.z[lane] = p.z;
                        for (int j = 0; j < 4; ++j) {
                            to.col[j][lane] = p.col[j];
                            to.specFog[j][lane] = p.specFog[j];
                        }
                        to.level[lane] = level;
                        to.q[lane] = p.tq;
                        to.u[lane] = p.tu;
                        to.du[lane] = p.tdu;
                        to.v[lane] = p.tv;
                        to.dv[lane] = p.tdv;
                        ListRow(chunkListing, k, pixels, drawChunks);
                        Advance(p, pixels);
                        CarryRuns(p, pixels);
                    };
                    TextureChunks(c, g, static_cast<float>(row.x0), static_cast<float>(row.y), n, p, add);
                    continue;
                }
            }
            ListRow(listing, i, n, drawRows);
        }
        drawRows();
    }
    if constexpr (Chunked) {
        if (chunks > 0)
            drawChunks();
    }
}

}  // namespace span_detail::wide

#if defined(QUORRIN_SPAN_WIDE_PRAGMA)
#pragma GCC diagnostic pop
#endif
#endif
