#pragma once
// A small 3D scene drawn through the device the way the renderer draws: transformed, lit, fogged
// and near-clipped on the CPU, handed over as pre-transformed vertices in a vertex buffer with
// indexed triangle lists. A textured floor into the distance, lit rotating crates and a
// translucent pane, in vertex fog.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/ddraw/d3d.h"

namespace ddscene {

class Scene {
public:
    // Makes the textures and the vertex buffer; Valid() tells whether that worked.
    Scene(IDirectDraw4* directDraw, IDirect3D3* direct3d);
    ~Scene();
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;

    bool Valid() const { return floor_ && crate_ && buffer_; }
    // Clears the viewport and draws the scene at time `seconds` into a target of width x height;
    // returns the number of triangles drawn, or -1 when a device call failed.
    int Render(IDirect3DDevice3* device, IDirect3DViewport3* viewport, int width, int height, float seconds);

private:
    IDirectDrawSurface4* floor_ = nullptr;
    IDirectDrawSurface4* crate_ = nullptr;
    IDirect3DVertexBuffer* buffer_ = nullptr;
};

// The game's way onto the display: exclusive full screen at width x height in 16 bits, a flipping
// primary with one back buffer carrying a Z-buffer, the hardware device and its viewport.
struct FullScreen {
    // Null when a step fails; `error` then names it with its result.
    static std::unique_ptr<FullScreen> Open(HWND window, int width, int height, std::string* error);
    ~FullScreen();

    IDirectDraw4* directDraw = nullptr;
    IDirect3D3* direct3d = nullptr;
    IDirectDrawSurface4* front = nullptr;
    IDirectDrawSurface4* back = nullptr;
    IDirectDrawSurface4* depth = nullptr;
    IDirect3DDevice3* device = nullptr;
    IDirect3DViewport3* viewport = nullptr;
};

}  // namespace ddscene
