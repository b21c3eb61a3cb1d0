#pragma once
// The software rasteriser behind every 3D device: pre-transformed vertices in, pixels of a 16- or
// 32-bit target and its depth buffer out. The device describes one draw's state in a DrawSetup;
// Begin takes it apart once and picks the span loop for it (a specialised loop for the common
// state combinations, the general pixel pipeline for everything else).

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/ddraw/d3d.h"
#include "platform/ddraw/format.h"

namespace platform::dd::raster {

constexpr int kMaxLevels = 16;
constexpr int kStages = 8;

// A texture as the rasteriser samples it: every mip level converted once to 0xAARRGGBB, with a
// byte per texel marking the texels that match the texture's colour key.
struct TexLevel {
    const uint32_t* texels = nullptr;
    const uint8_t* keyed = nullptr;  // null when the texture has no colour key
    // Powers of two only (else null): every texel followed by the one below it (the bottom row
    // wraps to the top), rows one pair longer (the first column again), so a 128-bit load at
    // pair y * (width + 1) + x gives the four texels a wrapped bilinear sample reads.
    const uint32_t* quads = nullptr;
    int width = 0;
    int height = 0;
    int widthLog2 = -1;   // -1 when not a power of two
    int heightLog2 = -1;
};

struct TexData {
    std::vector<uint32_t> texels;
    std::vector<uint32_t> quads;
    std::vector<uint8_t> keyed;
    TexLevel levels[kMaxLevels];
    int levelCount = 0;
    bool powerOfTwo = false;
    bool hasKey = false;
    bool hasAlpha = false;
    DDPIXELFORMAT format{};
};

struct Vertex {
    float x, y, z, rhw;
    uint32_t diffuse;
    uint32_t specular;  // fog factor in the top byte
    float tex[2][2];    // texture coordinate sets 0 and 1: (u, v)
};

struct TargetView {
    uint8_t* color = nullptr;
    int pitch = 0;
    FormatInfo format;
    int width = 0;
    int height = 0;
    uint8_t* depth = nullptr;  // null without a depth buffer
    int depthPitch = 0;
    FormatInfo depthFormat;
};

struct StageSetup {
    DWORD colorOp = D3DTOP_DISABLE;
    DWORD colorArg1 = D3DTA_TEXTURE;
    DWORD colorArg2 = D3DTA_CURRENT;
    DWORD alphaOp = D3DTOP_DISABLE;
    DWORD alphaArg1 = D3DTA_TEXTURE;
    DWORD alphaArg2 = D3DTA_CURRENT;
    const TexData* texture = nullptr;
    int coordSet = 0;
    DWORD addressU = D3DTADDRESS_WRAP;
    DWORD addressV = D3DTADDRESS_WRAP;
    DWORD magFilter = D3DTFG_POINT;
    DWORD minFilter = D3DTFN_POINT;
    DWORD mipFilter = D3DTFP_NONE;
    float lodBias = 0;
    int maxMipLevel = 0;
};

struct DrawSetup {
    TargetView target;
    // Pixels outside [left, right) x [top, bottom) are never written (the viewport within the
    // target).
    int clipLeft = 0;
    int clipTop = 0;
    int clipRight = 0;
    int clipBottom = 0;
    DWORD cullMode = D3DCULL_NONE;
    DWORD fillMode = D3DFILL_SOLID;
    DWORD shadeMode = D3DSHADE_GOURAUD;
    bool zEnable = false;
    bool zWrite = false;
    DWORD zFunc = D3DCMP_LESSEQUAL;
    DWORD zBias = 0;
    bool alphaTest = false;
    DWORD alphaFunc = D3DCMP_ALWAYS;
    DWORD alphaRef = 0;
    bool blend = false;
    DWORD srcBlend = D3DBLEND_ONE;
    DWORD destBlend = D3DBLEND_ZERO;
    bool fog = false;
    DWORD fogTableMode = D3DFOG_NONE;
    uint32_t fogColor = 0;
    float fogStart = 0;
    float fogEnd = 1;
    float fogDensity = 1;
    bool specular = false;
    bool colorKey = false;
    bool lastPixel = true;
    bool perspective = true;
    uint32_t textureFactor = 0xFFFFFFFF;
    StageSetup stages[kStages];
    bool forceGeneral = false;
};

struct Context;

class Rasterizer {
public:
    Rasterizer();
    ~Rasterizer();
    Rasterizer(const Rasterizer&) = delete;
    Rasterizer& operator=(const Rasterizer&) = delete;

    // Takes the draw's state; false when nothing can be drawn (no target).
    bool Begin(const DrawSetup& setup);
    void DrawTriangle(const Vertex& a, const Vertex& b, const Vertex& c);
    void DrawLine(const Vertex& a, const Vertex& b);
    void DrawPoint(const Vertex& v);
    // Whether the last Begin chose a specialised span loop (for tests and benchmarks).
    bool UsesSpecialisedSpans() const;

private:
    void FillTriangle(const Vertex& a, const Vertex& b, const Vertex& c);
    void ClippedTriangle(const Vertex& a, const Vertex& b, const Vertex& c);

    std::unique_ptr<Context> context_;
};

// Adds to the layer's count of pixels written (state.cpp).
void CountPixelsWritten(uint64_t pixels);

}  // namespace platform::dd::raster
