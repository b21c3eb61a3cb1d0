#pragma once
// Test help for our DirectDraw and Direct3D: a fixture that starts every test from the default
// caps profile (headless, virtual clock, debug output captured), a software 3D device on an
// offscreen target with its Z-buffer and viewport, texture making, pixel read-back, and images
// (PNG files, golden comparison).

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/ddraw/control.h"
#include "platform/ddraw/d3d.h"
#include "tests/support/headless.h"

namespace ddtest {

// A surface's pixels as 0xAARRGGBB (alpha 255 for formats without alpha).
struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;

    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// Reads a surface back through Lock (8-bit surfaces through their palette).
Image Capture(IDirectDrawSurface4* surface);
// Raw pixel value at (x, y) read through Lock.
uint32_t RawPixel(IDirectDrawSurface4* surface, int x, int y);

bool WritePng(const std::string& path, const Image& image);
bool ReadPng(const std::string& path, Image* image);
// Compares with the golden image `dir`/`name`.png: each channel may differ by `tolerance`, and at
// most `allowedPixels` pixels may differ more. With QUORRIN_UPDATE_GOLDEN=1 in the environment the
// golden file is (re)written instead. The message says what differed.
bool MatchesGolden(const std::string& dir, const std::string& name, const Image& image, int tolerance,
                   int allowedPixels, std::string* message);

// Channels of 0xAARRGGBB.
inline int Red(uint32_t c) { return static_cast<int>((c >> 16) & 0xFF); }
inline int Green(uint32_t c) { return static_cast<int>((c >> 8) & 0xFF); }
inline int Blue(uint32_t c) { return static_cast<int>(c & 0xFF); }
inline int Alpha(uint32_t c) { return static_cast<int>(c >> 24); }
// Largest channel difference of red, green and blue.
int ColorDistance(uint32_t a, uint32_t b);

// A pre-transformed vertex with one texture coordinate set.
D3DTLVERTEX Vertex(float x, float y, float z = 0.5f, float rhw = 1.0f, D3DCOLOR diffuse = 0xFFFFFFFF,
                   D3DCOLOR specular = 0xFF000000, float u = 0, float v = 0);

struct DeviceOptions {
    int width = 64;
    int height = 64;
    DDPIXELFORMAT format{};        // default: 5-6-5
    bool depth = true;
    DDPIXELFORMAT depthFormat{};   // default: 16 bits
    const GUID* device = nullptr;  // default: the RGB software device
};

// A DirectDraw object in normal cooperative mode with a 3D device drawing into an offscreen
// system-memory target (or a video-memory one for the hardware device).
class SoftDevice {
public:
    static std::unique_ptr<SoftDevice> Create(const DeviceOptions& options = DeviceOptions());
    ~SoftDevice();

    IDirectDraw4* directDraw = nullptr;
    IDirect3D3* direct3d = nullptr;
    IDirectDrawSurface4* target = nullptr;
    IDirectDrawSurface4* depth = nullptr;
    IDirect3DDevice3* device = nullptr;
    IDirect3DViewport3* viewport = nullptr;
    int width = 0;
    int height = 0;

    // Sets the current viewport to the rectangle.
    HRESULT SetViewport(int x, int y, int w, int h);
    // Clears target and depth over the whole viewport.
    void Clear(D3DCOLOR color, float z = 1.0f);
    // Draws inside BeginScene/EndScene.
    HRESULT Draw(D3DPRIMITIVETYPE type, const std::vector<D3DTLVERTEX>& vertices);
    HRESULT DrawIndexed(D3DPRIMITIVETYPE type, const std::vector<D3DTLVERTEX>& vertices,
                        const std::vector<WORD>& indices);
    // A screen-aligned rectangle as two triangles (x0, y0)-(x1, y1) with uv (u0, v0)-(u1, v1).
    HRESULT DrawRect(float x0, float y0, float x1, float y1, D3DCOLOR color, float z = 0.5f, float u0 = 0,
                     float v0 = 0, float u1 = 1, float v1 = 1);
    Image Read() const { return Capture(target); }
    uint32_t Pixel(int x, int y) const;  // 0xAARRGGBB
    uint32_t Depth(int x, int y) const;  // the raw depth value

    // A texture in system memory of the format, filled by `texel` (x, y, level) -> 0xAARRGGBB,
    // with `levels` mip levels (0: none).
    IDirectDrawSurface4* MakeTexture(int w, int h, const DDPIXELFORMAT& format,
                                     const std::function<uint32_t(int, int, int)>& texel, int levels = 0);
    // The texture interface of a texture surface (one reference for the caller).
    static IDirect3DTexture2* AsTexture(IDirectDrawSurface4* surface);
    void SetTexture(DWORD stage, IDirectDrawSurface4* surface);
    void State(D3DRENDERSTATETYPE state, DWORD value) { device->SetRenderState(state, value); }
    void StageState(DWORD stage, D3DTEXTURESTAGESTATETYPE state, DWORD value) {
        device->SetTextureStageState(stage, state, value);
    }
};

// The game's window: class "Vorn", title "Quorrin", a popup at 0, 0.
HWND MakeGameWindow(int width = 800, int height = 600, WNDPROC procedure = DefWindowProc);

// A demo's window procedure: closing the window, the close command or Esc sets `DemoClosed()`.
LRESULT DemoWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
bool DemoClosed();

// Writes raw pixels into a surface through Lock: fill(x, y) gives the raw value.
void FillSurface(IDirectDrawSurface4* surface, const std::function<uint32_t(int, int)>& fill);

// Headless, the default profile, and after the test a check that every DirectDraw object made
// was released.
class DDrawTest : public HeadlessTest {
protected:
    void SetUp() override;
    void TearDown() override;
};

}  // namespace ddtest
