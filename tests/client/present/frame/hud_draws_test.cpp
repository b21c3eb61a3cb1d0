// What the renderer is asked to draw for the HUD in one frame, pinned as a log: every screen
// polygon on the camera after the world's creation and a few frames, in order, with its state.

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <map>
#include <string>

#include "client/present/frame_update.h"
#include "tests/client/present/hud_fixture.h"
#include "tests/client/present/text_golden.h"

namespace {

class HudDrawsTest : public hudtest::HudTest {};

// The calls as text, images numbered by first use and each polygon's corners written out.
std::vector<std::string> DrawLog(const RecordingRender& render) {
    std::map<std::string, int> images;
    std::vector<std::string> log;
    for (const RenderCall& call : render.calls) {
        std::string text = call.Text();
        for (size_t at = text.find("image#"); at != std::string::npos; at = text.find("image#", at + 1)) {
            size_t end = at + 6;
            while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end])))
                ++end;
            const std::string id = text.substr(at, end - at);
            const int n = images.emplace(id, static_cast<int>(images.size()) + 1).first->second;
            text.replace(at, end - at, "image" + std::to_string(n));
        }
        log.push_back(text);
        const RenderArrays& a = call.arrays;
        for (size_t i = 0; i < a.vertices.size(); ++i) {
            char corner[160];
            std::snprintf(corner, sizeof corner, "  (%.4f, %.4f) uv (%.4f, %.4f) rgba (%g, %g, %g, %g)",
                          a.vertices[i].x, a.vertices[i].y, a.textureSets[i].x, a.textureSets[i].y,
                          a.colors[i].r, a.colors[i].g, a.colors[i].b, a.colors[i].a);
            log.push_back(corner);
        }
    }
    return log;
}

TEST_F(HudDrawsTest, AFrameDrawsTheHudInItsOrder) {
    ASSERT_EQ(present::SgxCreateSceenPolys(), 1);
    // The world's creation ends by putting the whole HUD on the view camera.
    present::SelectActiveCamera(2);
    SetGameValue(4, 2);
    SetGameValue(107, 600);
    SetGameValue(108, 1000);
    SetGameValue(109, 250);
    SetGameValue(110, 1000);
    SetGameValue(111, 800);
    SetGameValue(112, 1000);
    // Team 1 holds the first nexus at half its power; one effect shows its icon.
    g_level.shrines[0].found = 1;
    g_level.shrines[0].alignment = 1;
    g_level.shrines[0].bias = 50;
    present::SetHudItemIcon(0, 17);
    FrameDelta = 400;
    for (int frame = 0; frame < 8; ++frame)
        present::SgxUpdateFrame();
    recording->Clear();
    recording->copyArrays = true;
    present::RenderWorldView(400);
    ASSERT_GT(recording->Count("DrawScreenPolygon"), 0u);
    std::string text;
    for (const std::string& line : DrawLog(*recording))
        text += line + "\n";
    presenttest::ExpectGolden("hud_draws.txt", text);
}

}  // namespace
