#pragma once
// Tests of the Direct3D renderer: headless, the default caps profile, the game's window set as the
// renderer's window, and every renderer and engine debug message captured. Afterwards the current
// renderer, the shared DirectDraw environment, the images' DirectDraw object and global palette
// are let go, and no DirectDraw object may be left alive.

#include <string>
#include <vector>

#include "engine/render/sg_d3d_render.h"
#include "tests/support/ddraw_device.h"

class RenderTest : public ddtest::DDrawTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Windowed (mode 0) over the game window, or full screen 800 x 600 (mode 1).
    SgRenderCreateParams Params(uint32_t mode, uint32_t flags = 9) const;
    SgRef<SgD3DRender> Open(const SgRenderCreateParams& params);
    // Whether a captured message equals the text.
    bool Said(const std::string& text) const;
    // Index of the first captured message equal to the text; -1 when there is none.
    int IndexOf(const std::string& text) const;

    HWND window = nullptr;
    std::vector<std::string> messages;
    // Renderers a test keeps; released before the environment.
    std::vector<SgRef<SgD3DRender>> renders;
};
