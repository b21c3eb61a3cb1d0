// Triangle set-up and edge walking, lines and points, and the choice of span loop per draw.
//
// Vertices are snapped to 1/16 pixel. Pixel centres lie on integer coordinates; a pixel belongs to
// a triangle when its centre is inside, or on a left or top edge (the top-left rule), decided with
// exact integer edge stepping so triangles that share an edge neither overlap nor leave a gap.

#include "platform/ddraw/raster.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/ddraw/control.h"
#include "platform/ddraw/raster_internal.h"
#include "platform/ddraw/raster_span.h"

namespace platform::dd::raster {

namespace {

// The triangle set-up is compiled twice (see FillTriangle): what it calls is inlined into each.
#define RASTER_INLINE __attribute__((always_inline)) inline

constexpr int kSubpixelBits = 4;
constexpr int kSubpixel = 1 << kSubpixelBits;
// Vertices farther out than this are clipped first, so the fixed-point edge arithmetic stays
// exact and the gradients stay precise.
constexpr float kGuard = 16384.0f;

RASTER_INLINE int64_t FloorDiv(int64_t a, int64_t b) {
    int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0)))
        --q;
    return q;
}

// The first pixel row whose centre is at or below a y in subpixels: ceil(y / 16), by shifts.
RASTER_INLINE int64_t RowAtOrBelow(int64_t y) { return -((-y) >> kSubpixelBits); }

// Where one edge crosses the pixel rows from a given row on: the first pixel column whose centre
// is at or right of the edge, ceil(x / 16) with x the crossing, as a whole column and the rest of
// the division, and how both change from row to row.
struct EdgeStart {
    int64_t column = 0;
    int64_t rest = 0;
    int64_t stepColumn = 0;
    int64_t stepRest = 0;
    int64_t denominator = 1;

    RASTER_INLINE void Init(int64_t x0, int64_t y0, int64_t x1, int64_t y1, int64_t row) {
        const int64_t dy = y1 - y0;
        const int64_t dx = x1 - x0;
        denominator = kSubpixel * dy;
        const int64_t m = x0 * dy + (kSubpixel * row - y0) * dx + denominator - 1;
        column = FloorDiv(m, denominator);
        rest = m - column * denominator;
        const int64_t step = kSubpixel * dx;
        stepColumn = FloorDiv(step, denominator);
        stepRest = step - stepColumn * denominator;
    }
};

// The left and right edges of a triangle stepped down the rows together, one edge per lane (the
// other two are idle). Inside the guard square every quantity fits 32 bits: a denominator is at
// most 2^23, a column within the square's width.
struct EdgePair {
    using I32x4 = int32_t __attribute__((vector_size(16)));
    I32x4 column{}, rest{}, stepColumn{}, stepRest{}, denominator{1, 1, 1, 1};

    // Puts an edge into the lanes where `lanes` is set.
    RASTER_INLINE void Set(const EdgeStart& e, I32x4 lanes) {
        auto put = [lanes](I32x4& to, int64_t v) { to = lanes ? static_cast<int32_t>(v) : to; };
        put(column, e.column);
        put(rest, e.rest);
        put(stepColumn, e.stepColumn);
        put(stepRest, e.stepRest);
        put(denominator, e.denominator);
    }

    // Without a branch: the carry follows the edge's slope and is hard to predict.
    RASTER_INLINE void Step() {
        rest += stepRest;
        const I32x4 carry = rest >= denominator;  // -1 where the rest passed a whole column
        column += stepColumn - carry;
        rest -= denominator & carry;
    }
};

bool Finite(const Vertex& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

// The interpolated attributes of a vertex.
RASTER_INLINE void VertexAttributes(const Context& c, const Vertex& v, float out[kAttrCount]) {
    out[kAttrZ] = v.z;
    out[kAttrQ] = v.rhw;
    const float q = c.perspective ? v.rhw : 1.0f;
    out[kAttrU0] = v.tex[0][0] * q;
    out[kAttrV0] = v.tex[0][1] * q;
    out[kAttrU1] = v.tex[1][0] * q;
    out[kAttrV1] = v.tex[1][1] * q;
    // Blue, green, red, alpha (or fog) are the bytes of 0xAARRGGBB in order.
    auto bytes = [](uint32_t argb, float* to) {
#if defined(__SSE2__)
        const __m128i zero = _mm_setzero_si128();
        const __m128i b = _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(argb)), zero);
        _mm_storeu_ps(to, _mm_cvtepi32_ps(_mm_unpacklo_epi16(b, zero)));
#else
        for (int k = 0; k < 4; ++k)
            to[k] = static_cast<float>((argb >> (8 * k)) & 0xFF);
#endif
    };
    static_assert(kAttrG == kAttrB + 1 && kAttrR == kAttrB + 2 && kAttrA == kAttrB + 3);
    static_assert(kAttrSG == kAttrSB + 1 && kAttrSR == kAttrSB + 2 && kAttrF == kAttrSB + 3);
    bytes(v.diffuse, &out[kAttrB]);
    bytes(v.specular, &out[kAttrSB]);
}

RASTER_INLINE bool IsFlatAttribute(int a) { return a >= kFirstFlatAttr && a <= kLastFlatAttr; }

// The pixel a coordinate rounds to, when it lies in [lo, hi); far-off coordinates are never
// converted to an integer.
bool PixelIn(float v, int lo, int hi, int* out) {
    const float r = std::floor(v + 0.5f);
    if (!(r >= static_cast<float>(lo) && r < static_cast<float>(hi)))
        return false;
    *out = static_cast<int>(r);
    return true;
}

// A coordinate rounded to a pixel, held well inside the integer range.
int64_t RoundClamped(float v) {
    return static_cast<int64_t>(std::clamp(std::floor(v + 0.5f), -1e9f, 1e9f));
}

// A vertex between a and b, interpolated as the rasteriser would (colours and depth linearly on
// the screen, texture coordinates through 1/w).
Vertex Between(const Vertex& a, const Vertex& b, float t) {
    auto mix = [t](float x, float y) { return x + (y - x) * t; };
    auto mixColor = [t](uint32_t x, uint32_t y) {
        uint32_t out = 0;
        for (int shift = 0; shift < 32; shift += 8) {
            float cx = static_cast<float>((x >> shift) & 0xFF);
            float cy = static_cast<float>((y >> shift) & 0xFF);
            out |= static_cast<uint32_t>(std::clamp(cx + (cy - cx) * t + 0.5f, 0.0f, 255.0f)) << shift;
        }
        return out;
    };
    Vertex v;
    v.x = mix(a.x, b.x);
    v.y = mix(a.y, b.y);
    v.z = mix(a.z, b.z);
    v.rhw = mix(a.rhw, b.rhw);
    v.diffuse = mixColor(a.diffuse, b.diffuse);
    v.specular = mixColor(a.specular, b.specular);
    for (int set = 0; set < 2; ++set) {
        for (int k = 0; k < 2; ++k) {
            float qa = a.rhw > 0 ? a.rhw : 1.0f;
            float qb = b.rhw > 0 ? b.rhw : 1.0f;
            float q = mix(qa, qb);
            v.tex[set][k] = q != 0 ? mix(a.tex[set][k] * qa, b.tex[set][k] * qb) / q : a.tex[set][k];
        }
    }
    return v;
}

// When the three corners of a triangle (and its middle) sample the same mip level, every pixel
// does: the footprint changes smoothly and levels are a factor of four in it apart. Then the spans
// need no level choice of their own, and, when the coordinates stay within reach of the fixed point
// after whole turns come off (u and v take their extremes at the corners), no turns either. The four
// points go as the lanes of one vector, each with the arithmetic of TexelPoint and FootprintLevel.
RASTER_INLINE void PrepareTexture(const Context& c, const float xs[3], const float ys[3], Gradients* g) {
    using F32x4 = float __attribute__((vector_size(16)));
    using I32x4 = int32_t __attribute__((vector_size(16)));
    const FastTexture& t = c.tex;
    const TexData& td = *t.data;
    const int ua = t.coordSet ? kAttrU1 : kAttrU0, va = ua + 1;
    const float w0 = static_cast<float>(td.levels[0].width), h0 = static_cast<float>(td.levels[0].height);
    const float mx = (xs[0] + xs[1] + xs[2]) / 3.0f, my = (ys[0] + ys[1] + ys[2]) / 3.0f;
    const F32x4 ox = F32x4{xs[0], xs[1], xs[2], mx} - g->x0, oy = F32x4{ys[0], ys[1], ys[2], my} - g->y0;
    auto plane = [&](int a) { return g->base[a] + g->dx[a] * ox + g->dy[a] * oy; };
    const F32x4 uq = plane(ua) * w0, vq = plane(va) * h0;
    F32x4 q = c.perspective ? plane(kAttrQ) : F32x4{1, 1, 1, 1};
    q = q > kMinQ ? q : kMinQ;
    const F32x4 iw = 1.0f / q, u = uq * iw, v = vq * iw;
    int level = t.firstLevel;
    if (t.mipmapped) {
        const float dq = c.perspective ? g->dx[kAttrQ] : 0.0f, dqy = c.perspective ? g->dy[kAttrQ] : 0.0f;
        const F32x4 ux = (g->dx[ua] * w0 - u * dq) * iw, vx = (g->dx[va] * h0 - v * dq) * iw;
        const F32x4 uy = (g->dy[ua] * w0 - u * dqy) * iw, vy = (g->dy[va] * h0 - v * dqy) * iw;
        const F32x4 x2 = ux * ux + vx * vx, y2 = uy * uy + vy * vy;
        const F32x4 rho2 = (x2 > y2 ? x2 : y2) * t.lodScale;
        // NearestLevel in every lane.
        const F32x4 twice = 2.0f * rho2;
        I32x4 levels = ((I32x4)((__attribute__((vector_size(16))) uint32_t)twice >> 23) - 127) >> 1;
        levels = levels < t.firstLevel ? t.firstLevel : levels;
        levels = levels > t.lastLevel ? t.lastLevel : levels;
        levels = rho2 > 1.0f ? levels : t.firstLevel;
        level = levels[0];
        const I32x4 other = levels != level;
        if (other[1] | other[2] | other[3])
            return;
    }
    const TexLevel& lv = td.levels[level];
    // 2^-level from its bits: the same value as the division, without it.
    const float half = std::bit_cast<float>(static_cast<uint32_t>(127 - level) << 23);
    const float offU = t.wrapU ? WholeTurns(u[0] * half, lv.widthLog2) : 0.0f;
    const float offV = t.wrapV ? WholeTurns(v[0] * half, lv.heightLog2) : 0.0f;
    // All three corners tested at once, in the lanes (the fourth is the middle, inside them).
    auto within = [](F32x4 x, float off) { return (F32x4)((I32x4)(x - off) & 0x7FFFFFFF) < kTexelRange; };
    const I32x4 far = (t.wrapU ? ~within(u * half, offU) : I32x4{}) | (t.wrapV ? ~within(v * half, offV) : I32x4{});
    if (far[0] | far[1] | far[2])
        return;
    // ((u * size * 2^-level - turns) / w) in 16.16, shifted, as planes.
    const float scale = half * 65536.0f;
    const float offUq = offU * 65536.0f - t.shift, offVq = offV * 65536.0f - t.shift;
    const float q0 = c.perspective ? g->base[kAttrQ] : 1.0f;
    const float qx = c.perspective ? g->dx[kAttrQ] : 0.0f, qy = c.perspective ? g->dy[kAttrQ] : 0.0f;
    g->texU[0] = g->base[ua] * w0 * scale - offUq * q0;
    g->texU[1] = g->dx[ua] * w0 * scale - offUq * qx;
    g->texU[2] = g->dy[ua] * w0 * scale - offUq * qy;
    g->texV[0] = g->base[va] * h0 * scale - offVq * q0;
    g->texV[1] = g->dx[va] * h0 * scale - offVq * qx;
    g->texV[2] = g->dy[va] * h0 * scale - offVq * qy;
    g->texLevel = level;
}

// Marks the groups of runs that keep inside their fixed-point ranges at every pixel. A pixel's
// value is a mix of the corners' (its centre lies inside the triangle), so corners inside the range
// by more than the rounding of the plane's evaluation keep every pixel inside; a run that does not
// change is exactly its value.
RASTER_INLINE void MarkSteadyRuns(const Context& c, const float val[3][kAttrCount], const float xs[3], const float ys[3],
                    Gradients* g) {
    const double width = std::max({xs[0], xs[1], xs[2]}) - std::min({xs[0], xs[1], xs[2]});
    const double height = std::max({ys[0], ys[1], ys[2]}) - std::min({ys[0], ys[1], ys[2]});
    // Depth in 17.15 fixed point must also step within the integer range.
    {
        const double dx = g->dx[kAttrZ], dy = g->dy[kAttrZ];
        bool steady;
        if (dx == 0 && dy == 0) {
            const double v = static_cast<double>(g->base[kAttrZ]) - c.zBias;
            steady = v >= 0 && v <= 1.0;
        } else {
            const double margin = 0x1p-18 * (1.0 + std::fabs(dx) * width + std::fabs(dy) * height);
            // Each test taken whole (& not &&): no branch to mispredict.
            steady = std::fabs(dx) <= 0.99;
            for (int i = 0; i < 3; ++i) {
                const double v = static_cast<double>(val[i][kAttrZ]) - c.zBias;
                steady &= (v - margin > 0) & (v + margin < 1.0);
            }
        }
        g->steadyZ = steady;
    }
    // Colours and fog, four at a time (their margin in float is still far above the rounding).
    using F32x4 = float __attribute__((vector_size(16)));
    using I32x4 = int32_t __attribute__((vector_size(16)));
    auto lanes = [](const float* p) {
        F32x4 v;
        std::memcpy(&v, p, sizeof(v));
        return v;
    };
    auto group = [&](int first) {
        constexpr float kTop = 255.99f;
        const F32x4 dx = lanes(&g->dx[first]), dy = lanes(&g->dy[first]), base = lanes(&g->base[first]);
        const F32x4 v0 = lanes(&val[0][first]), v1 = lanes(&val[1][first]), v2 = lanes(&val[2][first]);
        auto pick = [](I32x4 m, F32x4 a, F32x4 b) { return (F32x4)((m & (I32x4)a) | (~m & (I32x4)b)); };
        auto low = [&](F32x4 a, F32x4 b) { return pick(a < b, a, b); };
        auto high = [&](F32x4 a, F32x4 b) { return pick(a > b, a, b); };
        const F32x4 lo = low(low(v0, v1), v2), hi = high(high(v0, v1), v2);
        const F32x4 ax = (F32x4)((I32x4)dx & 0x7FFFFFFF), ay = (F32x4)((I32x4)dy & 0x7FFFFFFF);
        const F32x4 margin = 0x1p-18f * (kTop + ax * static_cast<float>(width) + ay * static_cast<float>(height));
        const I32x4 still = (dx == 0) & (dy == 0);
        const I32x4 ok = (still & (base >= 0) & (base <= kTop)) |
                         (~still & (ax <= 256.0f) & (lo - margin > 0) & (hi + margin < kTop));
        return ok[0] & ok[1] & ok[2] & ok[3];
    };
    g->steadyDiffuse = group(kAttrB) != 0;
    g->steadySpecFog = group(kAttrSB) != 0;
}

// Snaps, sets up and fills one triangle.
RASTER_INLINE void FillBody(const Context& ctx, const Vertex& a, const Vertex& b, const Vertex& c) {
    const DrawSetup& s = ctx.s;
    const Vertex* v[3] = {&a, &b, &c};
    int64_t X[3], Y[3];
    float xs[3], ys[3];
    for (int i = 0; i < 3; ++i) {
        X[i] = static_cast<int64_t>(std::floor(v[i]->x * kSubpixel + 0.5f));
        Y[i] = static_cast<int64_t>(std::floor(v[i]->y * kSubpixel + 0.5f));
        xs[i] = static_cast<float>(X[i]) / kSubpixel;
        ys[i] = static_cast<float>(Y[i]) / kSubpixel;
    }

    // Rows: those whose centre lies in [top, bottom), within the clip rectangle.
    // By y, keeping the given order among equal ones. Each vertex's place is the count of those
    // before it, so the order costs no branch (it is random, and a mispredicted branch is dear).
    int order[3];
    order[(Y[1] < Y[0]) + (Y[2] < Y[0])] = 0;
    order[(Y[0] <= Y[1]) + (Y[2] < Y[1])] = 1;
    order[(Y[0] <= Y[2]) + (Y[1] <= Y[2])] = 2;
    const int top = order[0], mid = order[1], bottom = order[2];
    const int64_t rowTop = RowAtOrBelow(Y[top]);
    const int64_t rowMid = RowAtOrBelow(Y[mid]);
    const int64_t rowBottom = RowAtOrBelow(Y[bottom]);
    const int64_t rowFrom = std::max<int64_t>(rowTop, s.clipTop);
    const int64_t rowTo = std::min<int64_t>(rowBottom, s.clipBottom);
    if (rowFrom >= rowTo)
        return;
    // Which side the middle vertex is on; zero after snapping means nothing to fill.
    const int64_t side = (X[bottom] - X[top]) * (Y[mid] - Y[top]) - (Y[bottom] - Y[top]) * (X[mid] - X[top]);
    if (side == 0)
        return;
    const bool midLeft = side > 0;

    // Gradients from the snapped positions, relative to the first vertex.
    Gradients g;
    float val[3][kAttrCount];
    {
        for (int i = 0; i < 3; ++i)
            VertexAttributes(ctx, *v[i], val[i]);
        const double dx1 = xs[1] - xs[0], dy1 = ys[1] - ys[0];
        const double dx2 = xs[2] - xs[0], dy2 = ys[2] - ys[0];
        const double det = dx1 * dy2 - dx2 * dy1;
        if (det == 0)
            return;
        const double inv = 1.0 / det;
        g.x0 = xs[0];
        g.y0 = ys[0];
        // All at once (the loop vectorises); the ones not read or held flat come out 0.
        for (int k = 0; k < kAttrCount; ++k) {
            g.base[k] = val[0][k];
            const double d1 = static_cast<double>(val[1][k]) - val[0][k];
            const double d2 = static_cast<double>(val[2][k]) - val[0][k];
            const float dx = static_cast<float>((d1 * dy2 - d2 * dy1) * inv);
            const float dy = static_cast<float>((d2 * dx1 - d1 * dx2) * inv);
            g.dx[k] = std::bit_cast<float>(std::bit_cast<uint32_t>(dx) & ctx.slopeMask[k]);
            g.dy[k] = std::bit_cast<float>(std::bit_cast<uint32_t>(dy) & ctx.slopeMask[k]);
        }
    }

    // The specialised loops step depth in one straight run per row, aimed at the row's end
    // clamped, which holds only for ends that round just outside [0, 1]. A triangle whose corners
    // lie further out is clamped pixel by pixel, as only the general loop does.
    SpanFn span = ctx.span;
    if (ctx.specialised && ctx.depth) {
        constexpr float kOutside = 0x1p-16f;  // about one step of a 16-bit depth
        bool outside = false;
        for (int i = 0; i < 3; ++i) {
            const float v = val[i][kAttrZ] - ctx.zBias;
            outside |= !(v >= -kOutside && v <= 1.0f + kOutside);
        }
        if (outside)
            span = &GeneralRows;
    }
    if (ctx.specialised && ctx.tex.data)
        PrepareTexture(ctx, xs, ys, &g);
    if (ctx.specialised && ctx.vectorSpans)
        MarkSteadyRuns(ctx, val, xs, ys, &g);

    const int clipLeft = s.clipLeft, clipRight = s.clipRight;
    uint64_t pixels = 0;
    // Rows go to the span loop in batches, so its set-up per triangle is shared by many rows.
    constexpr int kRowBatch = 64;
    SpanRow rows[kRowBatch];
    int count = 0;
    // Each row's first and last column are the edges' clipped, lane by lane.
    using I32x4 = EdgePair::I32x4;
    const I32x4 clipLow{clipLeft, INT32_MIN, 0, 0}, clipHigh{INT32_MAX, clipRight, 0, 0};
    // The rows [from, to). Every row is written and only a row with pixels counted.
    auto walk = [&](EdgePair& edges, int from, int to) {
        EdgePair e = edges;
        for (int row = from; row < to; ++row) {
            I32x4 x = e.column > clipLow ? e.column : clipLow;
            x = x < clipHigh ? x : clipHigh;
            const int x0 = x[0], x1 = x[1];
            rows[count] = SpanRow{row, x0, x1};
            const int width = x1 - x0;
            const bool filled = width > 0;
            count += filled;
            pixels += static_cast<uint32_t>(filled ? width : 0);
            e.Step();
            if (count == kRowBatch) {
                span(ctx, g, rows, count);
                count = 0;
            }
        }
        edges = e;
    };
    const int from = static_cast<int>(rowFrom), to = static_cast<int>(rowTo);
    const int split = static_cast<int>(std::clamp<int64_t>(rowMid, rowFrom, rowTo));
    // All three edges are set up before any row is walked, so their divisions overlap. A short edge
    // with no rows to walk is flat; its height is taken as one subpixel so it divides safely.
    EdgeStart longEdge, upper, lower;
    longEdge.Init(X[top], Y[top], X[bottom], Y[bottom], rowFrom);
    upper.Init(X[top], Y[top], X[mid], std::max(Y[mid], Y[top] + 1), rowFrom);
    lower.Init(X[mid], Y[mid], X[bottom], std::max(Y[bottom], Y[mid] + 1), split);
    // The middle vertex's side picks the lanes, not a branch: it is a coin toss for the predictor.
    const I32x4 shortLane = midLeft ? I32x4{-1, 0, 0, 0} : I32x4{0, -1, 0, 0};
    EdgePair edges;
    edges.Set(longEdge, ~shortLane & I32x4{-1, -1, 0, 0});
    edges.Set(upper, shortLane);
    walk(edges, from, split);
    edges.Set(lower, shortLane);
    walk(edges, split, to);
    if (count > 0)
        span(ctx, g, rows, count);
    CountPixelsWritten(pixels);
}

void FillPlain(const Context& ctx, const Vertex& a, const Vertex& b, const Vertex& c) { FillBody(ctx, a, b, c); }

#if defined(QUORRIN_SPAN_AVX2)
// The same set-up in the instructions the span loops use where the processor has them: the same
// operations (nothing fused, see the build), fewer instructions.
__attribute__((target("avx2"))) void FillAvx2(const Context& ctx, const Vertex& a, const Vertex& b, const Vertex& c) {
    FillBody(ctx, a, b, c);
}
#endif

}  // namespace

Rasterizer::Rasterizer() : context_(std::make_unique<Context>()) {}
Rasterizer::~Rasterizer() = default;

bool Rasterizer::UsesSpecialisedSpans() const { return context_->specialised; }

bool Rasterizer::Begin(const DrawSetup& setup) {
    Context& c = *context_;
    c = Context{};
    c.s = setup;
    DrawSetup& s = c.s;
    const TargetView& t = s.target;
    if (!t.color || t.format.kind != PixelKind::Rgb || t.width <= 0 || t.height <= 0)
        return false;
    s.clipLeft = std::clamp(s.clipLeft, 0, t.width);
    s.clipRight = std::clamp(s.clipRight, s.clipLeft, t.width);
    s.clipTop = std::clamp(s.clipTop, 0, t.height);
    s.clipBottom = std::clamp(s.clipBottom, s.clipTop, t.height);

    if (s.srcBlend == D3DBLEND_BOTHSRCALPHA) {
        s.srcBlend = D3DBLEND_SRCALPHA;
        s.destBlend = D3DBLEND_INVSRCALPHA;
    } else if (s.srcBlend == D3DBLEND_BOTHINVSRCALPHA) {
        s.srcBlend = D3DBLEND_INVSRCALPHA;
        s.destBlend = D3DBLEND_SRCALPHA;
    }

    c.depth = s.zEnable && t.depth && t.depthFormat.kind == PixelKind::Depth;
    if (c.depth && s.zFunc == D3DCMP_ALWAYS && !s.zWrite)
        c.depth = false;
    c.depthAlways = s.zFunc == D3DCMP_ALWAYS;
    c.depthBytes = t.depthFormat.bytes;
    c.zBias = static_cast<float>(s.zBias) / 65535.0f;
    c.perspective = s.perspective;
    c.fogR = static_cast<int>((s.fogColor >> 16) & 0xFF);
    c.fogG = static_cast<int>((s.fogColor >> 8) & 0xFF);
    c.fogB = static_cast<int>(s.fogColor & 0xFF);
    bool textured = false;
    for (const StageSetup& st : s.stages) {
        if (st.colorOp == D3DTOP_DISABLE)
            break;
        textured |= st.texture != nullptr;
    }
    c.needQ = (textured && c.perspective) || (s.fog && s.fogTableMode != D3DFOG_NONE);

    c.fill = &FillPlain;
#if defined(QUORRIN_SPAN_AVX2)
    if (WidestSpans() >= SpanWidth::Eight)
        c.fill = &FillAvx2;
#endif
    c.span = s.forceGeneral ? nullptr : ChooseSpecialisedSpan(c);
    c.specialised = c.span != nullptr;
    if (!c.span)
        c.span = &GeneralRows;
    // The specialised loops read the colours and fog always, depth with a depth buffer, and one
    // coordinate set (with 1/w) with a texture; the general loop may read everything.
    c.attributes = (1u << kAttrCount) - 1;
    if (c.specialised) {
        c.attributes = ((1u << (kAttrF + 1)) - 1) & ~((1u << kAttrB) - 1);
        if (c.depth)
            c.attributes |= 1u << kAttrZ;
        if (c.tex.data) {
            const int u = c.tex.coordSet ? kAttrU1 : kAttrU0;
            c.attributes |= 1u << kAttrQ | 1u << u | 1u << (u + 1);
        }
    }
    for (int k = 0; k < kAttrCount; ++k) {
        const bool held = !(c.attributes & (1u << k)) || (s.shadeMode == D3DSHADE_FLAT && IsFlatAttribute(k));
        c.slopeMask[k] = held ? 0 : ~0u;
    }
    return true;
}

void Rasterizer::DrawTriangle(const Vertex& a, const Vertex& b, const Vertex& c) {
    const Context& ctx = *context_;
    if (!Finite(a) || !Finite(b) || !Finite(c))
        return;
    if (ctx.needQ && !(a.rhw > 0 && b.rhw > 0 && c.rhw > 0))
        return;

    // Winding on the screen (y down): positive is clockwise.
    const double area = (static_cast<double>(b.x) - a.x) * (static_cast<double>(c.y) - a.y) -
                        (static_cast<double>(c.x) - a.x) * (static_cast<double>(b.y) - a.y);
    if (area == 0)
        return;
    if ((ctx.s.cullMode == D3DCULL_CW && area > 0) || (ctx.s.cullMode == D3DCULL_CCW && area < 0))
        return;

    switch (ctx.s.fillMode) {
    case D3DFILL_POINT:
        DrawPoint(a);
        DrawPoint(b);
        DrawPoint(c);
        return;
    case D3DFILL_WIREFRAME: {
        const bool last = context_->s.lastPixel;
        context_->s.lastPixel = false;
        DrawLine(a, b);
        DrawLine(b, c);
        DrawLine(c, a);
        context_->s.lastPixel = last;
        return;
    }
    default: break;
    }

    auto outside = [](const Vertex& v) { return std::fabs(v.x) > kGuard || std::fabs(v.y) > kGuard; };
    if (outside(a) || outside(b) || outside(c))
        ClippedTriangle(a, b, c);
    else
        FillTriangle(a, b, c);
}

// Cuts the triangle to the guard square and fills the pieces (a fan of the clipped polygon).
void Rasterizer::ClippedTriangle(const Vertex& a, const Vertex& b, const Vertex& c) {
    std::vector<Vertex> poly = {a, b, c};
    std::vector<Vertex> next;
    const float limit = kGuard * 0.5f;
    for (int side = 0; side < 4; ++side) {
        auto distance = [side, limit](const Vertex& v) {
            switch (side) {
            case 0: return v.x + limit;
            case 1: return limit - v.x;
            case 2: return v.y + limit;
            default: return limit - v.y;
            }
        };
        next.clear();
        for (size_t i = 0; i < poly.size(); ++i) {
            const Vertex& p = poly[i];
            const Vertex& q = poly[(i + 1) % poly.size()];
            float dp = distance(p), dq = distance(q);
            if (dp >= 0)
                next.push_back(p);
            if ((dp >= 0) != (dq >= 0))
                next.push_back(Between(p, q, dp / (dp - dq)));
        }
        poly.swap(next);
        if (poly.size() < 3)
            return;
    }
    for (size_t i = 1; i + 1 < poly.size(); ++i)
        FillTriangle(poly[0], poly[i], poly[i + 1]);
}

void Rasterizer::FillTriangle(const Vertex& a, const Vertex& b, const Vertex& c) {
    const Context& ctx = *context_;
    ctx.fill(ctx, a, b, c);
}

void Rasterizer::DrawLine(const Vertex& a, const Vertex& b) {
    const Context& c = *context_;
    const DrawSetup& s = c.s;
    if (!Finite(a) || !Finite(b))
        return;
    float va[kAttrCount], vb[kAttrCount];
    VertexAttributes(c, a, va);
    VertexAttributes(c, b, vb);
    if (s.shadeMode == D3DSHADE_FLAT) {
        for (int k = kFirstFlatAttr; k <= kLastFlatAttr; ++k)
            vb[k] = va[k];
    }
    const float dx = b.x - a.x, dy = b.y - a.y;
    const bool xMajor = std::fabs(dx) >= std::fabs(dy);
    const float start = xMajor ? a.x : a.y;
    const float major = xMajor ? dx : dy;
    const int64_t p0 = RoundClamped(start);
    const int64_t p1 = RoundClamped(xMajor ? b.x : b.y);
    const int64_t dir = p1 >= p0 ? 1 : -1;
    const int64_t last = s.lastPixel ? p1 : p1 - dir;
    // Only the part of the line inside the clip rectangle's span on the major axis is stepped.
    const int64_t lo = xMajor ? s.clipLeft : s.clipTop;
    const int64_t hi = (xMajor ? s.clipRight : s.clipBottom) - 1;
    const int64_t from = dir > 0 ? std::max(p0, lo) : std::min(p0, hi);
    const int64_t to = dir > 0 ? std::min(last, hi) : std::max(last, lo);
    for (int64_t p = from; dir > 0 ? p <= to : p >= to; p += dir) {
        float t = major != 0 ? (static_cast<float>(p) - start) / major : 0.0f;
        t = std::clamp(t, 0.0f, 1.0f);
        int x = static_cast<int>(p), y = static_cast<int>(p);
        if (xMajor ? !PixelIn(a.y + t * dy, s.clipTop, s.clipBottom, &y)
                   : !PixelIn(a.x + t * dx, s.clipLeft, s.clipRight, &x))
            continue;
        auto at = [&](int k) { return va[k] + (vb[k] - va[k]) * t; };
        PixelInput in{};
        in.z = at(kAttrZ);
        in.q = at(kAttrQ);
        const float w = c.perspective && in.q > 0 ? 1.0f / in.q : 1.0f;
        in.u[0] = at(kAttrU0) * w;
        in.v[0] = at(kAttrV0) * w;
        in.u[1] = at(kAttrU1) * w;
        in.v[1] = at(kAttrV1) * w;
        SetShading(in, at);
        ShadePixel(c, x, y, in);
    }
}

void Rasterizer::DrawPoint(const Vertex& v) {
    const Context& c = *context_;
    const DrawSetup& s = c.s;
    if (!Finite(v))
        return;
    int x, y;
    if (!PixelIn(v.x, s.clipLeft, s.clipRight, &x) || !PixelIn(v.y, s.clipTop, s.clipBottom, &y))
        return;
    float va[kAttrCount];
    VertexAttributes(c, v, va);
    PixelInput in{};
    in.z = va[kAttrZ];
    in.q = va[kAttrQ];
    for (int set = 0; set < 2; ++set) {
        in.u[set] = v.tex[set][0];
        in.v[set] = v.tex[set][1];
    }
    SetShading(in, [&](int k) { return va[k]; });
    ShadePixel(c, x, y, in);
}

}  // namespace platform::dd::raster
