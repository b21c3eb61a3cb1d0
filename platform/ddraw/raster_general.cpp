// The general pixel pipeline: every state the device takes, one pixel at a time, in floating point
// where it matters. It draws what the specialised span loops do not cover (multitexturing, table
// fog, alpha test, unusual blends, depth formats other than 16 bits, 32-bit targets), lines and
// points, and serves as the reference the specialised loops are compared against.

#include <algorithm>
#include <cmath>

#include "platform/ddraw/raster_internal.h"

namespace platform::dd::raster {

namespace {

struct Rgba {
    int r, g, b, a;
};

Rgba FromArgb(uint32_t v) {
    return {static_cast<int>((v >> 16) & 0xFF), static_cast<int>((v >> 8) & 0xFF), static_cast<int>(v & 0xFF),
            static_cast<int>(v >> 24)};
}

uint32_t ToArgb(const Rgba& c) {
    return (static_cast<uint32_t>(c.a) << 24) | (static_cast<uint32_t>(c.r) << 16) |
           (static_cast<uint32_t>(c.g) << 8) | static_cast<uint32_t>(c.b);
}

int ToByte(float v) {
    if (!(v > 0))
        return 0;
    return v >= 255.0f ? 255 : static_cast<int>(v);
}

bool Compare(DWORD func, uint32_t value, uint32_t reference) {
    switch (func) {
    case D3DCMP_NEVER: return false;
    case D3DCMP_LESS: return value < reference;
    case D3DCMP_EQUAL: return value == reference;
    case D3DCMP_LESSEQUAL: return value <= reference;
    case D3DCMP_GREATER: return value > reference;
    case D3DCMP_NOTEQUAL: return value != reference;
    case D3DCMP_GREATEREQUAL: return value >= reference;
    default: return true;
    }
}

// A texel index along one axis; false for a border texel.
bool AddressAxis(int i, int size, DWORD mode, int* out) {
    switch (mode) {
    case D3DTADDRESS_MIRROR: {
        int period = 2 * size;
        i %= period;
        if (i < 0)
            i += period;
        *out = i < size ? i : period - 1 - i;
        return true;
    }
    case D3DTADDRESS_CLAMP: *out = std::clamp(i, 0, size - 1); return true;
    case D3DTADDRESS_BORDER:
        *out = std::clamp(i, 0, size - 1);
        return i >= 0 && i < size;
    default:
        i %= size;
        if (i < 0)
            i += size;
        *out = i;
        return true;
    }
}

uint32_t Texel(const StageSetup& st, const TexLevel& l, int x, int y, bool* keyed) {
    int ax, ay;
    const bool insideX = AddressAxis(x, l.width, st.addressU, &ax);
    const bool insideY = AddressAxis(y, l.height, st.addressV, &ay);
    const bool inside = insideX && insideY;
    size_t index = static_cast<size_t>(ay) * static_cast<size_t>(l.width) + static_cast<size_t>(ax);
    if (keyed)
        *keyed = l.keyed && l.keyed[index];
    return inside ? l.texels[index] : 0;
}

int FloorToInt(float v) {
    float f = std::floor(v);
    if (!(f > -1e9f))
        return -1000000000;
    return f < 1e9f ? static_cast<int>(f) : 1000000000;
}

uint32_t SamplePoint(const StageSetup& st, const TexLevel& l, float u, float v, bool* keyed) {
    return Texel(st, l, FloorToInt(u * static_cast<float>(l.width) + kPointRound),
                 FloorToInt(v * static_cast<float>(l.height) + kPointRound), keyed);
}

uint32_t SampleLinear(const StageSetup& st, const TexLevel& l, float u, float v, bool* keyed) {
    float fx = u * static_cast<float>(l.width) - 0.5f;
    float fy = v * static_cast<float>(l.height) - 0.5f;
    int x0 = FloorToInt(fx);
    int y0 = FloorToInt(fy);
    int wx = static_cast<int>((fx - std::floor(fx)) * 256.0f);
    int wy = static_cast<int>((fy - std::floor(fy)) * 256.0f);
    // The key follows the nearest texel, so keyed edges stay where point sampling puts them.
    Texel(st, l, wx >= 128 ? x0 + 1 : x0, wy >= 128 ? y0 + 1 : y0, keyed);
    Rgba t[4] = {FromArgb(Texel(st, l, x0, y0, nullptr)), FromArgb(Texel(st, l, x0 + 1, y0, nullptr)),
                 FromArgb(Texel(st, l, x0, y0 + 1, nullptr)), FromArgb(Texel(st, l, x0 + 1, y0 + 1, nullptr))};
    int w[4] = {(256 - wx) * (256 - wy), wx * (256 - wy), (256 - wx) * wy, wx * wy};
    Rgba out{0, 0, 0, 0};
    for (int i = 0; i < 4; ++i) {
        out.r += t[i].r * w[i];
        out.g += t[i].g * w[i];
        out.b += t[i].b * w[i];
        out.a += t[i].a * w[i];
    }
    out.r >>= 16;
    out.g >>= 16;
    out.b >>= 16;
    out.a >>= 16;
    return ToArgb(out);
}

uint32_t SampleLevel(const StageSetup& st, const TexLevel& l, bool linear, float u, float v, bool* keyed) {
    return linear ? SampleLinear(st, l, u, v, keyed) : SamplePoint(st, l, u, v, keyed);
}

uint32_t Sample(const StageSetup& st, const PixelInput& in, bool* keyed) {
    const TexData& t = *st.texture;
    int set = st.coordSet;
    float u = in.u[set];
    float v = in.v[set];
    const TexLevel& top = t.levels[0];
    float w = static_cast<float>(top.width);
    float h = static_cast<float>(top.height);
    float rx = in.dudx[set] * w * in.dudx[set] * w + in.dvdx[set] * h * in.dvdx[set] * h;
    float ry = in.dudy[set] * w * in.dudy[set] * w + in.dvdy[set] * h * in.dvdy[set] * h;
    float rho2 = std::max(rx, ry);
    float lod = rho2 > 0 ? 0.5f * std::log2(rho2) + st.lodBias : -1.0f;
    int last = t.levelCount - 1;
    int first = std::min(st.maxMipLevel, last);
    if (lod <= 0)
        return SampleLevel(st, t.levels[first], st.magFilter == D3DTFG_LINEAR, u, v, keyed);
    bool linear = st.minFilter == D3DTFN_LINEAR;
    if (st.mipFilter == D3DTFP_NONE || last == 0)
        return SampleLevel(st, t.levels[first], linear, u, v, keyed);
    if (st.mipFilter == D3DTFP_POINT) {
        int level = std::clamp(FloorToInt(lod + 0.5f), first, last);
        return SampleLevel(st, t.levels[level], linear, u, v, keyed);
    }
    int l0 = std::clamp(FloorToInt(lod), first, last);
    if (l0 >= last)
        return SampleLevel(st, t.levels[last], linear, u, v, keyed);
    // A level raised to the first allowed one is taken whole.
    int f = l0 == FloorToInt(lod) ? static_cast<int>((lod - std::floor(lod)) * 255.0f) : 0;
    Rgba a = FromArgb(SampleLevel(st, t.levels[l0], linear, u, v, keyed));
    Rgba b = FromArgb(SampleLevel(st, t.levels[l0 + 1], linear, u, v, nullptr));
    return ToArgb({Lerp8(a.r, b.r, f), Lerp8(a.g, b.g, f), Lerp8(a.b, b.b, f), Lerp8(a.a, b.a, f)});
}

struct StageInputs {
    Rgba diffuse;
    Rgba specular;
    Rgba factor;
    Rgba current;
    Rgba texture;
};

Rgba Argument(DWORD arg, const StageInputs& in) {
    Rgba v;
    switch (arg & D3DTA_SELECTMASK) {
    case D3DTA_DIFFUSE: v = in.diffuse; break;
    case D3DTA_CURRENT: v = in.current; break;
    case D3DTA_TEXTURE: v = in.texture; break;
    case D3DTA_TFACTOR: v = in.factor; break;
    case D3DTA_SPECULAR: v = in.specular; break;
    default: v = in.current; break;
    }
    if (arg & D3DTA_COMPLEMENT)
        v = {255 - v.r, 255 - v.g, 255 - v.b, 255 - v.a};
    if (arg & D3DTA_ALPHAREPLICATE)
        v.r = v.g = v.b = v.a;
    return v;
}

// One channel of a stage operation; alpha1 is the first argument's alpha (for the operations that
// mix it into the colour).
int Operate(DWORD op, int a1, int a2, int alpha1, const StageInputs& in) {
    switch (op) {
    case D3DTOP_SELECTARG1: return a1;
    case D3DTOP_SELECTARG2: return a2;
    case D3DTOP_MODULATE: return static_cast<int>(Scale8(a1, a2));
    case D3DTOP_MODULATE2X: return Min255(2 * static_cast<int>(Scale8(a1, a2)));
    case D3DTOP_MODULATE4X: return Min255(4 * static_cast<int>(Scale8(a1, a2)));
    case D3DTOP_ADD: return Min255(a1 + a2);
    case D3DTOP_ADDSIGNED: return Clamp255(a1 + a2 - 128);
    case D3DTOP_ADDSIGNED2X: return Clamp255(2 * (a1 + a2 - 128));
    case D3DTOP_SUBTRACT: return Clamp255(a1 - a2);
    case D3DTOP_ADDSMOOTH: return Min255(a1 + a2 - static_cast<int>(Scale8(a1, a2)));
    case D3DTOP_BLENDDIFFUSEALPHA: return Lerp8(a2, a1, in.diffuse.a);
    case D3DTOP_BLENDTEXTUREALPHA: return Lerp8(a2, a1, in.texture.a);
    case D3DTOP_BLENDFACTORALPHA: return Lerp8(a2, a1, in.factor.a);
    case D3DTOP_BLENDCURRENTALPHA: return Lerp8(a2, a1, in.current.a);
    case D3DTOP_BLENDTEXTUREALPHAPM: return Min255(a1 + static_cast<int>(Scale8(a2, 255 - in.texture.a)));
    case D3DTOP_PREMODULATE: return a1;
    case D3DTOP_MODULATEALPHA_ADDCOLOR: return Min255(a1 + static_cast<int>(Scale8(alpha1, a2)));
    case D3DTOP_MODULATECOLOR_ADDALPHA: return Min255(static_cast<int>(Scale8(a1, a2)) + alpha1);
    case D3DTOP_MODULATEINVALPHA_ADDCOLOR: return Min255(a1 + static_cast<int>(Scale8(255 - alpha1, a2)));
    case D3DTOP_MODULATEINVCOLOR_ADDALPHA: return Min255(static_cast<int>(Scale8(255 - a1, a2)) + alpha1);
    default: return a1;
    }
}

bool StageReadsTexture(const StageSetup& st) {
    auto reads = [](DWORD arg) { return (arg & D3DTA_SELECTMASK) == D3DTA_TEXTURE; };
    return reads(st.colorArg1) || reads(st.colorArg2) || st.colorOp == D3DTOP_BLENDTEXTUREALPHA ||
           st.colorOp == D3DTOP_BLENDTEXTUREALPHAPM ||
           (st.alphaOp != D3DTOP_DISABLE && (reads(st.alphaArg1) || reads(st.alphaArg2)));
}

void BlendFactor(DWORD f, const Rgba& src, const Rgba& dst, int out[4]) {
    auto all = [out](int v) { out[0] = out[1] = out[2] = out[3] = v; };
    auto color = [out](const Rgba& c, bool invert) {
        const int k = invert ? 255 : 0, sign = invert ? -1 : 1;
        out[0] = k + sign * c.r;
        out[1] = k + sign * c.g;
        out[2] = k + sign * c.b;
        out[3] = k + sign * c.a;
    };
    switch (f) {
    case D3DBLEND_ZERO: all(0); break;
    case D3DBLEND_SRCCOLOR: color(src, false); break;
    case D3DBLEND_INVSRCCOLOR: color(src, true); break;
    case D3DBLEND_SRCALPHA: all(src.a); break;
    case D3DBLEND_INVSRCALPHA: all(255 - src.a); break;
    case D3DBLEND_DESTALPHA: all(dst.a); break;
    case D3DBLEND_INVDESTALPHA: all(255 - dst.a); break;
    case D3DBLEND_DESTCOLOR: color(dst, false); break;
    case D3DBLEND_INVDESTCOLOR: color(dst, true); break;
    case D3DBLEND_SRCALPHASAT:
        all(std::min(src.a, 255 - dst.a));
        out[3] = 255;
        break;
    default: all(255); break;
    }
}

int FogFactor(const Context& c, const PixelInput& in) {
    const DrawSetup& s = c.s;
    if (s.fogTableMode == D3DFOG_NONE)
        return ToByte(in.fog);
    float d = in.q > 0 ? 1.0f / in.q : 1e30f;
    float f;
    switch (s.fogTableMode) {
    case D3DFOG_EXP: f = std::exp(-s.fogDensity * d); break;
    case D3DFOG_EXP2: {
        float t = s.fogDensity * d;
        f = std::exp(-t * t);
        break;
    }
    default:
        if (s.fogEnd == s.fogStart)
            f = d < s.fogEnd ? 1.0f : 0.0f;
        else
            f = (s.fogEnd - d) / (s.fogEnd - s.fogStart);
        break;
    }
    return ToByte(f * 255.0f);
}

}  // namespace

void ShadePixel(const Context& c, int x, int y, const PixelInput& in) {
    const DrawSetup& s = c.s;
    const TargetView& t = s.target;

    uint8_t* zp = nullptr;
    uint32_t zraw = 0;
    if (c.depth) {
        zp = t.depth + static_cast<ptrdiff_t>(y) * t.depthPitch + static_cast<ptrdiff_t>(x) * c.depthBytes;
        zraw = t.depthFormat.FromDepth(std::clamp(in.z - c.zBias, 0.0f, 1.0f));
        if (!c.depthAlways && !Compare(s.zFunc, zraw, LoadPixel(zp, c.depthBytes) & t.depthFormat.depth.mask))
            return;
    }

    StageInputs si;
    si.diffuse = {ToByte(in.r), ToByte(in.g), ToByte(in.b), ToByte(in.a)};
    si.specular = {ToByte(in.sr), ToByte(in.sg), ToByte(in.sb), 255};
    si.factor = FromArgb(s.textureFactor);
    si.current = si.diffuse;
    for (const StageSetup& st : s.stages) {
        if (st.colorOp == D3DTOP_DISABLE)
            break;
        si.texture = {255, 255, 255, 255};
        if (st.texture && st.texture->levelCount > 0 && StageReadsTexture(st)) {
            bool keyed = false;
            si.texture = FromArgb(Sample(st, in, &keyed));
            if (keyed && s.colorKey)
                return;
        }
        Rgba a1 = Argument(st.colorArg1, si);
        Rgba a2 = Argument(st.colorArg2, si);
        Rgba out;
        out.r = Operate(st.colorOp, a1.r, a2.r, a1.a, si);
        out.g = Operate(st.colorOp, a1.g, a2.g, a1.a, si);
        out.b = Operate(st.colorOp, a1.b, a2.b, a1.a, si);
        if (st.alphaOp == D3DTOP_DISABLE) {
            out.a = si.current.a;
        } else {
            int x1 = Argument(st.alphaArg1, si).a;
            int x2 = Argument(st.alphaArg2, si).a;
            DWORD op = st.alphaOp >= D3DTOP_MODULATEALPHA_ADDCOLOR ? DWORD(D3DTOP_SELECTARG1) : st.alphaOp;
            out.a = Operate(op, x1, x2, x1, si);
        }
        si.current = out;
    }
    Rgba color = si.current;

    if (s.specular) {
        color.r = Min255(color.r + si.specular.r);
        color.g = Min255(color.g + si.specular.g);
        color.b = Min255(color.b + si.specular.b);
    }
    if (s.fog) {
        int f = FogFactor(c, in);
        color.r = Lerp8(static_cast<int>((s.fogColor >> 16) & 0xFF), color.r, f);
        color.g = Lerp8(static_cast<int>((s.fogColor >> 8) & 0xFF), color.g, f);
        color.b = Lerp8(static_cast<int>(s.fogColor & 0xFF), color.b, f);
    }
    if (s.alphaTest && !Compare(s.alphaFunc, static_cast<uint32_t>(color.a), s.alphaRef & 0xFF))
        return;

    uint8_t* p = t.color + static_cast<ptrdiff_t>(y) * t.pitch + static_cast<ptrdiff_t>(x) * t.format.bytes;
    if (s.blend) {
        Rgba dst = FromArgb(t.format.ToArgb(LoadPixel(p, t.format.bytes), nullptr));
        int fs[4], fd[4];
        BlendFactor(s.srcBlend, color, dst, fs);
        BlendFactor(s.destBlend, color, dst, fd);
        color.r = Min255(static_cast<int>(Scale8(color.r, fs[0]) + Scale8(dst.r, fd[0])));
        color.g = Min255(static_cast<int>(Scale8(color.g, fs[1]) + Scale8(dst.g, fd[1])));
        color.b = Min255(static_cast<int>(Scale8(color.b, fs[2]) + Scale8(dst.b, fd[2])));
        color.a = Min255(static_cast<int>(Scale8(color.a, fs[3]) + Scale8(dst.a, fd[3])));
    }
    StorePixel(p, t.format.bytes, t.format.FromArgb(ToArgb(color)));
    if (zp && s.zWrite) {
        uint32_t keep = LoadPixel(zp, c.depthBytes) & ~t.depthFormat.depth.mask;
        StorePixel(zp, c.depthBytes, keep | zraw);
    }
}

namespace {

void GeneralSpan(const Context& c, const Gradients& g, int y, int x0, int x1) {
    const float fy = static_cast<float>(y);
    float start[kAttrCount];
    for (int a = 0; a < kAttrCount; ++a)
        start[a] = g.At(a, static_cast<float>(x0), fy);
    const bool perspective = c.perspective;
    PixelInput in;
    for (int x = x0; x < x1; ++x) {
        const float i = static_cast<float>(x - x0);
        auto at = [&](int a) { return start[a] + g.dx[a] * i; };
        in.z = at(kAttrZ);
        in.q = at(kAttrQ);
        const float w = perspective && in.q > 0 ? 1.0f / in.q : 1.0f;
        const float dq = perspective ? g.dx[kAttrQ] : 0.0f;
        const float dqy = perspective ? g.dy[kAttrQ] : 0.0f;
        for (int set = 0; set < 2; ++set) {
            const int ua = set == 0 ? kAttrU0 : kAttrU1;
            const int va = ua + 1;
            in.u[set] = at(ua) * w;
            in.v[set] = at(va) * w;
            in.dudx[set] = (g.dx[ua] - in.u[set] * dq) * w;
            in.dvdx[set] = (g.dx[va] - in.v[set] * dq) * w;
            in.dudy[set] = (g.dy[ua] - in.u[set] * dqy) * w;
            in.dvdy[set] = (g.dy[va] - in.v[set] * dqy) * w;
        }
        SetShading(in, at);
        ShadePixel(c, x, y, in);
    }
}

}  // namespace

void GeneralRows(const Context& c, const Gradients& g, const SpanRow* rows, int count) {
    for (int i = 0; i < count; ++i)
        GeneralSpan(c, g, rows[i].y, rows[i].x0, rows[i].x1);
}

}  // namespace platform::dd::raster
