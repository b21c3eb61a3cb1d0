// Interface and device identifiers of our DirectDraw and Direct3D.
#include <cstring>

#include "platform/ddraw/d3d.h"

bool operator==(const GUID& a, const GUID& b) {
    return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
           std::memcmp(a.Data4, b.Data4, sizeof(a.Data4)) == 0;
}

namespace {

constexpr GUID Make(uint32_t n) {
    return GUID{0x51A30000u + n, 0x7D21, 0x4C0B, {0x9A, 0x31, 0x5E, 0x0C, 0x2B, 0x44, 0x17, 0x6D}};
}

}  // namespace

const IID IID_IUnknown = Make(0);
const IID IID_IDirectDraw = Make(1);
const IID IID_IDirectDraw2 = Make(2);
const IID IID_IDirectDraw4 = Make(4);
const IID IID_IDirectDrawSurface = Make(0x11);
const IID IID_IDirectDrawSurface2 = Make(0x12);
const IID IID_IDirectDrawSurface4 = Make(0x14);
const IID IID_IDirectDrawPalette = Make(0x21);
const IID IID_IDirectDrawClipper = Make(0x22);
const IID IID_IDirect3D3 = Make(0x33);
const IID IID_IDirect3DDevice3 = Make(0x43);
const IID IID_IDirect3DViewport3 = Make(0x53);
const IID IID_IDirect3DVertexBuffer = Make(0x61);
const IID IID_IDirect3DTexture2 = Make(0x72);
const GUID IID_IDirect3DHALDevice = Make(0x101);
const GUID IID_IDirect3DMMXDevice = Make(0x102);
const GUID IID_IDirect3DRGBDevice = Make(0x103);
const GUID IID_IDirect3DRampDevice = Make(0x104);
const GUID IID_IDirect3DRefDevice = Make(0x105);
const GUID IID_IDirect3DNullDevice = Make(0x106);
