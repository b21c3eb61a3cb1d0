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
#include <utility>

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

// Fixed point between the values at the first and last pixel of a run; the step is truncated so
// no pixel goes past either end value.
struct Run {
    int32_t value = 0;
    int32_t step = 0;
};

inline int32_t ToFixed(double v, double lo, double hi, double scale) {
    if (!(v > lo))
        v = lo;
    if (v > hi)
        v = hi;
    return static_cast<int32_t>(v * scale);
}

inline Run MakeRun(double first, double last, int pixels, double lo, double hi, double scale) {
    Run r;
    r.value = ToFixed(first, lo, hi, scale);
    if (pixels > 1) {
        int32_t end = ToFixed(last, lo, hi, scale);
        r.step = static_cast<int32_t>(static_cast<double>(end - r.value) / (pixels - 1));
    }
    return r;
}

inline uint32_t Lerp2(uint32_t a, uint32_t b, uint32_t f) {
    uint32_t rb = (((a & 0xFF00FF) * (256 - f) + (b & 0xFF00FF) * f) >> 8) & 0xFF00FF;
    uint32_t ag = (((a >> 8) & 0xFF00FF) * (256 - f) + ((b >> 8) & 0xFF00FF) * f) & 0xFF00FF00;
    return rb | ag;
}

// Texture coordinates in 16.16 texels of the chosen level, for one segment.
struct TexSegment {
    const uint32_t* texels;
    const uint8_t* keyed;
    int widthLog2;
    int uMask, uMax, vMask, vMax;
    int32_t u, du, v, dv;
};

inline int32_t TexelFixed(float v) {
    if (!(v > -30000.0f))
        v = -30000.0f;
    if (v > 30000.0f)
        v = 30000.0f;
    return static_cast<int32_t>(v * 65536.0f);
}

}  // namespace span_detail

template <SpanKey K>
void SpecialisedSpan(const Context& c, const Gradients& g, int y, int xs, int xe) {
    using namespace span_detail;
    const int n = xe - xs;
    const DrawSetup& s = c.s;
    const float fx0 = static_cast<float>(xs);
    const float fx1 = static_cast<float>(xe - 1);
    const float fy = static_cast<float>(y);

    uint16_t* const dst = reinterpret_cast<uint16_t*>(s.target.color + static_cast<ptrdiff_t>(y) * s.target.pitch) + xs;
    uint16_t* zb = nullptr;
    Run z;
    const bool zAlways = c.depthAlways;
    const bool zWrite = s.zWrite;
    if constexpr (K.depth == kDepth16) {
        zb = reinterpret_cast<uint16_t*>(s.target.depth + static_cast<ptrdiff_t>(y) * s.target.depthPitch) + xs;
        const double bias = c.zBias;
        z = MakeRun(g.At(kAttrZ, fx0, fy) - bias, g.At(kAttrZ, fx1, fy) - bias, n, 0.0, 1.0, 65535.0 * 32768.0);
    }

    constexpr bool kDiffuseRgb = K.combine != kCombineTexture;
    constexpr bool kAlpha = K.blend == kBlendLerp;
    Run r, gr, b, a, sr, sg, sb, f;
    auto colorRun = [&](int attr, Run* out) {
        *out = MakeRun(g.At(attr, fx0, fy), g.At(attr, fx1, fy), n, 0.0, 255.0, 65536.0);
    };
    if constexpr (kDiffuseRgb) {
        colorRun(kAttrR, &r);
        colorRun(kAttrG, &gr);
        colorRun(kAttrB, &b);
    }
    if constexpr (kAlpha)
        colorRun(kAttrA, &a);
    if constexpr (K.specular) {
        colorRun(kAttrSR, &sr);
        colorRun(kAttrSG, &sg);
        colorRun(kAttrSB, &sb);
    }
    if constexpr (K.fog)
        colorRun(kAttrF, &f);
    const int fogR = c.fogR, fogG = c.fogG, fogB = c.fogB;
    const AlphaSource alphaSource = c.alphaSource;

    // Texture state that stays for the span.
    const FastTexture& T = c.tex;
    const TexData* td = T.data;
    const int ua = T.coordSet ? kAttrU1 : kAttrU0;
    const int va = ua + 1;
    const bool perspective = c.perspective;
    float q = 1, uq = 0, vq = 0, dq = 0, duq = 0, dvq = 0;
    float w0 = 1, h0 = 1;
    if constexpr (K.texture != kTexNone) {
        w0 = static_cast<float>(td->levels[0].width);
        h0 = static_cast<float>(td->levels[0].height);
        uq = g.At(ua, fx0, fy) * w0;
        vq = g.At(va, fx0, fy) * h0;
        duq = g.dx[ua] * w0;
        dvq = g.dx[va] * h0;
        if (perspective) {
            q = g.At(kAttrQ, fx0, fy);
            dq = g.dx[kAttrQ];
        }
    }

    int x = 0;
    // Texel coordinates (level 0) at the segment start.
    float qa = std::max(q, 1e-20f);
    float iw = 1.0f / qa;
    float u0 = uq * iw, v0 = vq * iw;
    while (x < n) {
        int len = std::min(16, n - x);
        TexSegment ts{};
        if constexpr (K.texture != kTexNone) {
            // The level of detail at the segment start.
            int level = T.firstLevel;
            if (T.mipmapped) {
                const float duy = g.dy[ua] * w0, dvy = g.dy[va] * h0, dqy = perspective ? g.dy[kAttrQ] : 0.0f;
                const float ux = (duq - u0 * dq) * iw, vx = (dvq - v0 * dq) * iw;
                const float uy = (duy - u0 * dqy) * iw, vy = (dvy - v0 * dqy) * iw;
                const float rho2 = std::max(ux * ux + vx * vx, uy * uy + vy * vy) * T.lodScale;
                level = NearestLevel(rho2, T.firstLevel, T.lastLevel);
            }
            const TexLevel& lv = td->levels[level];
            const float scale = 1.0f / static_cast<float>(1 << level);

            // The segment end: the next segment's start, or the last pixel of the span. Halve the
            // segment while the affine error between its ends would reach half a texel (so it stays
            // well below one).
            float qe = qa, ue = u0, ve = v0;
            int steps = 0;
            for (;;) {
                steps = x + len < n ? len : len - 1;
                const float t = static_cast<float>(steps);
                qe = std::max(qa + dq * t, 1e-20f);
                const float iwe = 1.0f / qe;
                ue = (uq + duq * t) * iwe;
                ve = (vq + dvq * t) * iwe;
                if (len <= 2 || !perspective)
                    break;
                const float err = (std::fabs(ue - u0) + std::fabs(ve - v0)) * scale * std::fabs(qe - qa) /
                                  (2.0f * (qe + qa));
                if (err < 0.5f)
                    break;
                len >>= 1;
            }

            float su = u0 * scale, sv = v0 * scale, eu = ue * scale, ev = ve * scale;
            const float lw = static_cast<float>(lv.width), lh = static_cast<float>(lv.height);
            if (T.wrapU) {
                const float shift = std::floor(su / lw) * lw;
                su -= shift;
                eu -= shift;
            }
            if (T.wrapV) {
                const float shift = std::floor(sv / lh) * lh;
                sv -= shift;
                ev -= shift;
            }
            ts.texels = lv.texels;
            ts.keyed = lv.keyed;
            ts.widthLog2 = lv.widthLog2;
            ts.uMask = T.wrapU ? lv.width - 1 : -1;
            ts.vMask = T.wrapV ? lv.height - 1 : -1;
            ts.uMax = lv.width - 1;
            ts.vMax = lv.height - 1;
            ts.u = TexelFixed(su);
            ts.v = TexelFixed(sv);
            if (steps > 0) {
                ts.du = static_cast<int32_t>((static_cast<double>(TexelFixed(eu)) - ts.u) / steps);
                ts.dv = static_cast<int32_t>((static_cast<double>(TexelFixed(ev)) - ts.v) / steps);
            }
            // The next segment starts where this one ends.
            const float t = static_cast<float>(len);
            qa = std::max(qa + dq * t, 1e-20f);
            uq += duq * t;
            vq += dvq * t;
            iw = 1.0f / qa;
            u0 = uq * iw;
            v0 = vq * iw;
        }

        const int end = x + len;
        for (int i = x; i < end; ++i) {
            uint32_t zv = 0;
            bool draw = true;
            if constexpr (K.depth == kDepth16) {
                zv = static_cast<uint32_t>(z.value) >> 15;
                draw = zAlways | (zv <= zb[i]);
            }
            if (draw) {
                int cr, cg, cb, ca = 255;
                uint32_t texel = 0;
                bool keyed = false;
                if constexpr (K.texture == kTexPoint) {
                    const int ui = Address(ts.u >> 16, ts.uMask, ts.uMax);
                    const int vi = Address(ts.v >> 16, ts.vMask, ts.vMax);
                    const int idx = (vi << ts.widthLog2) | ui;
                    texel = ts.texels[idx];
                    if constexpr (K.key)
                        keyed = ts.keyed[idx] != 0;
                } else if constexpr (K.texture == kTexLinear) {
                    const int32_t us = ts.u - 0x8000, vs = ts.v - 0x8000;
                    const uint32_t fu = (us >> 8) & 0xFF, fv = (vs >> 8) & 0xFF;
                    const int ui0 = Address(us >> 16, ts.uMask, ts.uMax);
                    const int ui1 = Address((us >> 16) + 1, ts.uMask, ts.uMax);
                    const int vi0 = Address(vs >> 16, ts.vMask, ts.vMax);
                    const int vi1 = Address((vs >> 16) + 1, ts.vMask, ts.vMax);
                    const uint32_t* row0 = ts.texels + (vi0 << ts.widthLog2);
                    const uint32_t* row1 = ts.texels + (vi1 << ts.widthLog2);
                    texel = Lerp2(Lerp2(row0[ui0], row0[ui1], fu), Lerp2(row1[ui0], row1[ui1], fu), fv);
                    if constexpr (K.key)
                        keyed = ts.keyed[((fv >= 128 ? vi1 : vi0) << ts.widthLog2) | (fu >= 128 ? ui1 : ui0)] != 0;
                }
                if (!keyed) {
                    if constexpr (K.texture == kTexNone) {
                        cr = r.value >> 16;
                        cg = gr.value >> 16;
                        cb = b.value >> 16;
                        if constexpr (kAlpha)
                            ca = a.value >> 16;
                    } else {
                        const int tr = (texel >> 16) & 0xFF, tg = (texel >> 8) & 0xFF, tb = texel & 0xFF;
                        if constexpr (K.combine == kCombineTexture) {
                            cr = tr;
                            cg = tg;
                            cb = tb;
                        } else {
                            cr = static_cast<int>(Scale8(tr, r.value >> 16));
                            cg = static_cast<int>(Scale8(tg, gr.value >> 16));
                            cb = static_cast<int>(Scale8(tb, b.value >> 16));
                        }
                        if constexpr (kAlpha) {
                            const int ta = static_cast<int>(texel >> 24);
                            const int da = a.value >> 16;
                            ca = alphaSource == AlphaSource::Texture    ? ta
                                 : alphaSource == AlphaSource::Diffuse ? da
                                                                       : static_cast<int>(Scale8(ta, da));
                        }
                    }
                    if constexpr (K.specular) {
                        cr = Min255(cr + (sr.value >> 16));
                        cg = Min255(cg + (sg.value >> 16));
                        cb = Min255(cb + (sb.value >> 16));
                    }
                    if constexpr (K.fog) {
                        const uint32_t ff = static_cast<uint32_t>(f.value >> 16);
                        cr = Lerp8(fogR, cr, ff);
                        cg = Lerp8(fogG, cg, ff);
                        cb = Lerp8(fogB, cb, ff);
                    }
                    if constexpr (K.blend != kBlendOff) {
                        int dr, dg, db;
                        Unpack565(dst[i], &dr, &dg, &db);
                        if constexpr (K.blend == kBlendLerp) {
                            cr = Lerp8(dr, cr, static_cast<uint32_t>(ca));
                            cg = Lerp8(dg, cg, static_cast<uint32_t>(ca));
                            cb = Lerp8(db, cb, static_cast<uint32_t>(ca));
                        } else {
                            cr = Min255(cr + dr);
                            cg = Min255(cg + dg);
                            cb = Min255(cb + db);
                        }
                    }
                    dst[i] = static_cast<uint16_t>(Pack565(cr, cg, cb));
                    if constexpr (K.depth == kDepth16) {
                        if (zWrite)
                            zb[i] = static_cast<uint16_t>(zv);
                    }
                }
            }
            if constexpr (K.depth == kDepth16)
                z.value += z.step;
            if constexpr (K.texture != kTexNone) {
                ts.u += ts.du;
                ts.v += ts.dv;
            }
            if constexpr (kDiffuseRgb) {
                r.value += r.step;
                gr.value += gr.step;
                b.value += b.step;
            }
            if constexpr (kAlpha)
                a.value += a.step;
            if constexpr (K.specular) {
                sr.value += sr.step;
                sg.value += sg.step;
                sb.value += sb.step;
            }
            if constexpr (K.fog)
                f.value += f.step;
        }
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
