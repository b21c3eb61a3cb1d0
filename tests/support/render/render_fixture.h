#pragma once
// Tests of the Direct3D renderer: headless, the default caps profile, the game's window set as the
// renderer's window, and every renderer and engine debug message captured. Afterwards the current
// renderer, the shared DirectDraw environment, the images' DirectDraw object and global palette
// are let go, and no DirectDraw object may be left alive.

#include <functional>
#include <string>
#include <vector>

#include "engine/core/sg_camera.h"
#include "engine/core/sg_display.h"
#include "engine/render/sg_d3d_render.h"
#include "tests/support/ddraw_device.h"

class RenderTest : public ddtest::DDrawTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Windowed (mode 0) over the game window, or full screen 800 x 600 (mode 1).
    SgRenderCreateParams Params(uint32_t mode, uint32_t flags = 9) const;
    SgRef<SgD3DRender> Open(const SgRenderCreateParams& params);
    void EditProfile(const std::function<void(platform::dd::CapsProfile&)>& edit);
    // Whether a captured message equals the text.
    bool Said(const std::string& text) const;
    // Index of the first captured message equal to the text; -1 when there is none.
    int IndexOf(const std::string& text) const;
    // Lets a camera go of its scene and display and the display of its renderer, then drops both.
    static void DetachView(SgRef<SgCamera>& camera, SgRef<SgDisplay>& display);

    HWND window = nullptr;
    std::vector<std::string> messages;
    // Renderers a test keeps; released before the environment.
    std::vector<SgRef<SgD3DRender>> renders;
};

// A windowed renderer of 800 x 600 with a camera at the origin looking along -z (up +y, window
// -1..1 at near 1, far 100, the whole target), inside BeginFrame, tracing the device.
class RenderFrameTest : public RenderTest {
public:
    static constexpr float kFar = 100.0f;
    // Where the pipeline puts a world point: screen x, y, depth and 1/w.
    struct Screen {
        float sx, sy, sz, rhw;
    };
    static Screen Project(const SgVec3& p);

protected:
    void TearDown() override;

    // Opens (after the profile edit, when given) and begins the frame.
    bool Start(uint32_t flags = 11);
    void PlaceCamera();
    // The back buffer's pixels.
    static ddtest::Image Frame(SgD3DRender* r);
    std::vector<const platform::dd::TraceEvent*> Draws() const;
    std::vector<platform::dd::TracedVertex> Vertices(const platform::dd::TraceEvent& draw) const;
    std::vector<DWORD> RenderStates(DWORD state) const;

    SgRef<SgD3DRender> r;
};
