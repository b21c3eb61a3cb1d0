#pragma once
// Inside the rasteriser: the per-draw context, the per-triangle gradients the span loops read, and
// the small integer helpers every loop shares.

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "platform/ddraw/raster.h"

namespace platform::dd::raster {

// Interpolated attributes of a triangle: depth, 1/w, the two texture coordinate sets (times 1/w
// when perspective-correct), diffuse, specular and the fog factor (both 0..255). Diffuse and
// specular-with-fog each come as four in a row in the byte order of a 0xAARRGGBB pixel, so the span
// loops take each group as one vector.
enum Attr {
    kAttrZ,
    kAttrQ,
    kAttrU0,
    kAttrV0,
    kAttrU1,
    kAttrV1,
    kAttrB,
    kAttrG,
    kAttrR,
    kAttrA,
    kAttrSB,
    kAttrSG,
    kAttrSR,
    kAttrF,
    kAttrCount
};
// Flat shading holds these at the first vertex's values (not the fog).
constexpr int kFirstFlatAttr = kAttrB;
constexpr int kLastFlatAttr = kAttrSR;

// attribute(x, y) = base + dx * (x - x0) + dy * (y - y0), x and y at pixel centres.
struct Gradients {
    float x0 = 0;
    float y0 = 0;
    float base[kAttrCount];
    float dx[kAttrCount];
    float dy[kAttrCount];

    float At(int a, float x, float y) const { return base[a] + dx[a] * (x - x0) + dy[a] * (y - y0); }

    // For the specialised loops, when every pixel of the triangle samples one mip level of stage
    // 0's texture: that level, and its 16.16 texel coordinates times 1/w, less whole turns of a
    // wrapped texture, as planes like the attributes' (base at x0, y0, then dx, dy). -1 when the
    // spans choose their levels.
    int texLevel = -1;
    float texU[3]{}, texV[3]{};

    float TexU(float x, float y) const { return texU[0] + texU[1] * (x - x0) + texU[2] * (y - y0); }
    float TexV(float x, float y) const { return texV[0] + texV[1] * (x - x0) + texV[2] * (y - y0); }

    // Whether the depth, the diffuse colour, and the specular colour with fog stay inside their
    // fixed-point ranges at every pixel of the triangle, with room for rounding: their spans then
    // need no range cuts and all step alike.
    bool steadyZ = false;
    bool steadyDiffuse = false;
    bool steadySpecFog = false;
};

// Pixels [x0, x1) of row y.
struct SpanRow {
    int y, x0, x1;
};

// Draws rows of one triangle.
using SpanFn = void (*)(const Context& c, const Gradients& g, const SpanRow* rows, int count);

// Stage 0's texture as the specialised loops use it.
struct FastTexture {
    const TexData* data = nullptr;
    int coordSet = 0;
    bool wrapU = true;
    bool wrapV = true;
    bool mipmapped = false;  // nearest mip level per span segment
    int firstLevel = 0;
    int lastLevel = 0;
    float lodScale = 1;  // 2^(2 * LOD bias), applied to the squared footprint
    // Added to the 16.16 texel coordinates where they are set up (the rounding of point sampling),
    // so the pixels need not add it.
    float shift = 0;
};

enum class AlphaSource : uint8_t { Diffuse, Texture, Product };

struct Context {
    DrawSetup s;
    // Sets up and fills one triangle (the same work, compiled for the processor's widest vectors).
    void (*fill)(const Context&, const Vertex&, const Vertex&, const Vertex&) = nullptr;
    SpanFn span = nullptr;
    bool specialised = false;

    // Depth.
    bool depth = false;  // a depth buffer is tested or written
    bool depthAlways = false;
    int depthBytes = 0;
    float zBias = 0;

    // Specialised loops.
    FastTexture tex;
    AlphaSource alphaSource = AlphaSource::Diffuse;
    int fogR = 0;
    int fogG = 0;
    int fogB = 0;
    bool perspective = true;
    bool vectorSpans = false;  // the eight-pixel loops (the processor has AVX2, not switched off)
    bool wideSpans = false;    // the sixteen-pixel loops (AVX-512)

    // What setup must interpolate.
    bool needQ = false;
    uint32_t attributes = 0;  // bit per Attr whose gradients the span loop reads
    // Per Attr, the bits of its gradients kept by the set-up: none (a zero gradient) for one not
    // read or held flat.
    uint32_t slopeMask[kAttrCount]{};
};

// ---- Integer colour helpers -------------------------------------------------------------------
// a * f / 255 for a, f in 0..255, exact when f is 0 or 255.
inline uint32_t Scale8(uint32_t a, uint32_t f) { return (a * (f + (f >> 7))) >> 8; }
// From `from` (f = 0) to `to` (f = 255).
inline int Lerp8(int from, int to, uint32_t f) { return from + (((to - from) * static_cast<int>(f + (f >> 7))) >> 8); }
inline int Min255(int v) { return v > 255 ? 255 : v; }
inline int Clamp255(int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }

// Wrap (mask = size - 1) or clamp (mask = -1) a texel index into 0..max.
inline int Address(int i, int mask, int max) {
    i &= mask;
    i = i < 0 ? 0 : i;
    return i > max ? max : i;
}

// Point sampling takes a coordinate to the nearest 1/256 texel before it picks the texel under it.
// A pixel centre on a texel edge (a texture drawn texel for pixel from pixel-centred corners) comes
// out of the division by 1/w a hair either side of the edge; rounded, it takes the texel right of or
// below the edge every time, so no texel is shown twice or dropped. In texels.
constexpr float kPointRound = 1.0f / 512.0f;

// The least 1/w the texture coordinates are divided by.
constexpr float kMinQ = 1e-20f;

// The nearest mip level for a squared footprint in level-0 texels.
inline int NearestLevel(float rho2, int first, int last) {
    if (!(rho2 > 1.0f))
        return first;
    // floor(log2(2 rho2)) / 2 from the exponent bits (2 rho2 is a normal number above 2, or
    // infinity, whose exponent is past every level).
    uint32_t bits;
    const float twice = 2.0f * rho2;
    std::memcpy(&bits, &twice, sizeof(bits));
    int level = (static_cast<int>(bits >> 23) - 127) >> 1;
    level = level < first ? first : level;
    return level > last ? last : level;
}

// Level-0 texel coordinates at a point from u/w, v/w (in level-0 texels) and 1/w there.
struct TexPoint {
    float iw, u, v;
};
inline TexPoint TexelPoint(float uq, float vq, float q) {
    const float iw = 1.0f / (q > kMinQ ? q : kMinQ);
    return TexPoint{iw, uq * iw, vq * iw};
}

// How far (in texels) a coordinate may stray from its whole turns: well inside the 16.16 range.
constexpr float kTexelRange = 16384.0f;

// Whole turns of a wrapped texture, in texels of a level 2^sizeLog2 wide, at the level's
// coordinate u: taken off so fixed-point coordinates stay small (none when too far out to tell).
inline float WholeTurns(float u, int sizeLog2) {
    const float size = static_cast<float>(1 << sizeLog2);
    // Times 2^-sizeLog2 (made from its bits): exactly the quotient, without a division.
    const float t = u * std::bit_cast<float>(static_cast<uint32_t>(127 - sizeLog2) << 23);
    return std::fabs(t) < 1e6f ? static_cast<float>(static_cast<int>(t)) * size : 0.0f;
}

// The gradients of u/w, v/w (level-0 texels) and 1/w along x and along y.
struct TexSlopes {
    float duq, dvq, dq, duy, dvy, dqy;
};

// The nearest mip level at a point, from its footprint.
inline int FootprintLevel(const TexPoint& pt, const TexSlopes& d, const FastTexture& t) {
    const float ux = (d.duq - pt.u * d.dq) * pt.iw, vx = (d.dvq - pt.v * d.dq) * pt.iw;
    const float uy = (d.duy - pt.u * d.dqy) * pt.iw, vy = (d.dvy - pt.v * d.dqy) * pt.iw;
    const float x2 = ux * ux + vx * vx, y2 = uy * uy + vy * vy;
    return NearestLevel((x2 > y2 ? x2 : y2) * t.lodScale, t.firstLevel, t.lastLevel);
}

// ---- Span loops -------------------------------------------------------------------------------
// The specialised loop for the context's state (filling its texture and alpha choices), or null
// when the general loop must draw.
SpanFn ChooseSpecialisedSpan(Context& c);
void GeneralRows(const Context& c, const Gradients& g, const SpanRow* rows, int count);

// One pixel through the general pipeline (lines and points).
struct PixelInput {
    float z;
    float q;            // 1/w
    float u[2], v[2];   // texture coordinates of sets 0 and 1
    float dudx[2], dudy[2], dvdx[2], dvdy[2];  // per set, for the mip level (0 for none)
    float r, g, b, a;   // diffuse 0..255
    float sr, sg, sb;   // specular 0..255
    float fog;          // 0..255
};
void ShadePixel(const Context& c, int x, int y, const PixelInput& in);

// Fills the colours and fog of a pixel from attribute values: at(attribute) -> float.
template <class At>
void SetShading(PixelInput& in, At at) {
    in.r = at(kAttrR);
    in.g = at(kAttrG);
    in.b = at(kAttrB);
    in.a = at(kAttrA);
    in.sr = at(kAttrSR);
    in.sg = at(kAttrSG);
    in.sb = at(kAttrSB);
    in.fog = at(kAttrF);
}

}  // namespace platform::dd::raster
