// The 3D scene through the whole layer: against its golden image, the specialised span loops
// against the general pipeline, and on a full-screen flipping chain with the hardware device as the
// game sets it up.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "platform/ddraw/control.h"
#include "tests/platform/ddraw/scene.h"
#include "tests/support/ddraw_device.h"

namespace {

using namespace ddtest;
namespace dd = platform::dd;

class SceneTest : public DDrawTest {
protected:
    Image Render(float seconds, bool general) {
        dd::ForceGeneralRaster(general);
        auto device = SoftDevice::Create({.width = 200, .height = 150});
        EXPECT_NE(device, nullptr);
        if (!device)
            return {};
        ddscene::Scene scene(device->directDraw, device->direct3d);
        EXPECT_TRUE(scene.Valid());
        EXPECT_GT(scene.Render(device->device, device->viewport, 200, 150, seconds), 500);
        specialised = dd::LastDrawSpecialised();
        return device->Read();
    }

    bool specialised = false;
};

TEST_F(SceneTest, MatchesItsGoldenImage) {
    Image image = Render(1.0f, false);
    EXPECT_TRUE(specialised);
    std::string message;
    // Within one step of a 5-bit channel (a rounding change may move a value across one), and a few
    // pixels on edges more.
    EXPECT_TRUE(MatchesGolden(DDRAW_GOLDEN_DIR, "scene", image, 8, 40, &message)) << message;
}

TEST_F(SceneTest, SpecialisedSpansAgreeWithTheGeneralPipeline) {
    Image fast = Render(2.5f, false);
    EXPECT_TRUE(specialised);
    Image reference = Render(2.5f, true);
    EXPECT_FALSE(specialised);
    ASSERT_EQ(fast.pixels.size(), reference.pixels.size());
    int off = 0, worst = 0;
    for (size_t i = 0; i < fast.pixels.size(); ++i) {
        const int d = ColorDistance(fast.pixels[i], reference.pixels[i]);
        worst = std::max(worst, d);
        off += d > 12;
    }
    // Colour rounding and the mip level (chosen per triangle or per 16 pixels, not per pixel) show
    // where textures have sharp edges.
    EXPECT_LT(off, static_cast<int>(fast.pixels.size() / 100)) << "largest difference " << worst;
}

// A comparison that fails keeps what it got in the build tree: the source tree stays as checked out.
TEST_F(SceneTest, AFailedComparisonLeavesItsImageOutsideTheSources) {
    namespace fs = std::filesystem;
    const fs::path besideGolden = fs::path(DDRAW_GOLDEN_DIR) / "scene.png.actual.png";
    ASSERT_FALSE(fs::exists(besideGolden));
    Image blank{200, 150, std::vector<uint32_t>(200 * 150, 0xFF000000u)};
    std::string message;
    ASSERT_FALSE(MatchesGolden(DDRAW_GOLDEN_DIR, "scene", blank, 8, 40, &message));
    EXPECT_FALSE(fs::exists(besideGolden)) << message;
    const size_t at = message.find("this image is in ");
    ASSERT_NE(at, std::string::npos) << message;
    const fs::path actual = message.substr(at + 17);
    Image kept;
    EXPECT_TRUE(ReadPng(actual.string(), &kept)) << actual;
    EXPECT_EQ(kept.pixels, blank.pixels);
    EXPECT_EQ(actual.filename(), "scene.actual.png");
    EXPECT_EQ(actual.string().find(fs::path(DDRAW_GOLDEN_DIR).string()), std::string::npos) << actual;
    fs::remove(besideGolden);
    fs::remove(actual);
}

// As the game does it: exclusive full screen, a flipping primary with a Z-buffer on its back
// buffer, the hardware device, and the frame shown by Flip.
TEST_F(SceneTest, DrawsIntoAFullScreenFlippingChain) {
    std::string error;
    auto screen = ddscene::FullScreen::Open(MakeGameWindow(640, 480), 640, 480, &error);
    ASSERT_NE(screen, nullptr) << error;
    {
        ddscene::Scene scene(screen->directDraw, screen->direct3d);
        ASSERT_TRUE(scene.Valid());
        const int presents = dd::PresentCount();
        ASSERT_GT(scene.Render(screen->device, screen->viewport, 640, 480, 0.5f), 500);
        ASSERT_EQ(screen->front->Flip(nullptr, DDFLIP_WAIT), DD_OK);
        EXPECT_EQ(dd::PresentCount(), presents + 1);
    }
    Image shown = Capture(screen->front);
    ASSERT_EQ(shown.width, 640);
    // Fog colour at the horizon, the lit floor below, crates and floor tiles across the middle.
    EXPECT_LT(ColorDistance(shown.At(320, 5), 0xFFA0B4C8), 10);
    EXPECT_GT(ColorDistance(shown.At(320, 470), 0xFFA0B4C8), 30);
    int changes = 0;
    for (int x = 4; x < 640; x += 4)
        changes += shown.At(x, 300) != shown.At(x - 4, 300);
    EXPECT_GT(changes, 20);
}

}  // namespace
