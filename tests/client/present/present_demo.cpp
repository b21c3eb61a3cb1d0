// Flies through the sample installation's rooms in the game's window: the level loaded as the
// game loads it, its world built as world creation builds it, drawn by the presentation's
// first-person camera, the first sample with the viewer's light on, the hall by its own lamps.
// Closes with the window or Escape.
//
//   present_demo [--level sample|hall] [--frames N] [--screenshot file.png] [--headless] [--install dir]

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "client/core/level_defs.h"
#include "client/level/level_loader.h"
#include "client/present/camera_set.h"
#include "engine/render/sg_d3d_render.h"
#include "platform/ddraw/control.h"
#include "platform/win/platform.h"
#include "tests/client/present/demo_setup.h"
#include "tests/support/ddraw_device.h"
#include "tests/support/recording_present.h"
#include "tests/support/world_fixture.h"

namespace {

// A level's loop (world units) and how it is lit.
struct Flight {
    const char* level;
    float x, y, radius;
    int height;
    bool viewerLight;
};
const Flight kFlights[] = {
    {"sample", 1280, 1280, 420, 48, true},  // through the four rooms
    {"hall", 960, 960, 250, 100, false},    // round the hall's tower and tiles
};

// Round the loop, turning to face the way it goes.
void Fly(const Flight& f, float seconds) {
    const float t = std::fmod(seconds * 0.12f, 1.0f) * 6.2831853f;
    const float x = f.x + f.radius * std::cos(t), y = f.y + f.radius * std::sin(t);
    const int facing = static_cast<int>((t / 6.2831853f) * 4096.0f + 1024) & 4095;
    present::PlaceFirstPersonCamera(static_cast<int32_t>(x * 65536), static_cast<int32_t>(y * 65536),
                                    f.height * 65536, facing, 0);
}

}  // namespace

int main(int argc, char** argv) {
    PresentDemo demo;
    const Flight* flight = &kFlights[0];
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--level") == 0 && i + 1 < argc) {
            const char* level = argv[++i];
            for (const Flight& f : kFlights)
                if (std::strcmp(f.level, level) == 0)
                    flight = &f;
        } else {
            TakePresentDemoOption(argc, argv, i, demo);
        }
    }
    if (!OpenPresentDemo(demo))
        return 1;
    {
        RecordingPresent recording;  // the level loader's own call of world creation
        if (LoadGrid(flight->level) != 1) {
            std::fprintf(stderr, "the level %s does not load\n", flight->level);
            return 1;
        }
    }
    worldtest::BuildTestWorld(flight->level, 1);
    present::SetWorldFog(0, 0, 0, 0, 0);
    if (flight->viewerLight)
        present::SetViewerLight(1, 0, 0);

    RunPresentDemoFrames(demo, [flight](float seconds) { Fly(*flight, seconds); });
    const int result = WritePresentDemoScreenshot(demo) ? 0 : 1;
    worldtest::ReleaseTestWorld();
    present::ReleaseRendererSurfaces();
    present::DestroySceneAndRenderer();
    return result;
}
