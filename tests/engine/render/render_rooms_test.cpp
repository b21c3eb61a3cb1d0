// The whole flow through the portal level of the sample installation: the file loaded by the
// scene stream and drawn textured through a camera and a display, from inside each room and from
// outside, headless.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "engine/core/sg_camera.h"
#include "engine/core/sg_display.h"
#include "engine/core/sg_image.h"
#include "engine/core/sg_stream.h"
#include "engine/render/portal/sg_portal.h"
#include "engine/render/portal/sg_room.h"
#include "engine/render/sg_dd_environment.h"
#include "tests/support/render/render_fixture.h"
#include "tools/writers/room_model.h"

namespace {

class RoomsFlowTest : public RenderTest {
protected:
    void TearDown() override {
        DetachView(camera, display);
        group = nullptr;
        render = nullptr;
        SgImage::SetMipmapSwitch(false);
        RenderTest::TearDown();
    }

    // A 320 x 240 windowed renderer and the level as the game loads it (mipmaps on).
    void Build() {
        SgSetRenderWindow(ddtest::MakeGameWindow(320, 240));
        render = Open(Params(0, 11));
        ASSERT_TRUE(render);
        SgImage::SetMipmapSwitch(true);
        SgSceneStream stream;
        const std::string path = std::string(SAMPLE_INSTALL_DIR) + "/" + kRoomModelFile;
        ASSERT_TRUE(stream.LoadFromFile(path.c_str())) << SgSceneStream::ErrorMessage();
        group = SgKindCast<SgRoomGroup>(stream.TopLevelObject(0));
        ASSERT_TRUE(group);
        display = new SgDisplay;
        display->SetRenderer(render.Get());
        camera = new SgCamera;
        camera->frustum = {-0.1f, 0.1f, 0.075f, -0.075f, 0.1f, 64};
        camera->useDeferralPass = 1;
        camera->SetDisplay(display.Get());
        camera->SetSceneRoot(group.Get());
        group->UpdateAllStates();
        render->SetBackgroundColor({0.1f, 0.1f, 0.15f});
        platform::dd::ForceGeneralRaster(true);
    }

    // Looking along (cos yaw, 0, sin yaw).
    ddtest::Image Shot(const SgVec3& at, float yaw) {
        camera->localTranslation = at;
        camera->localRotation = SgMat3::Rotation(4, yaw);
        camera->UpdateAllStates();
        camera->PassViewToRenderer(SgRender::kClearFrame | SgRender::kClearDepth);
        camera->RenderFrame(0.0);
        ddtest::Image image = ddtest::Capture(render->Driver()->buffers->back);
        camera->FinishView();
        return image;
    }

    SgPortal* Portal(const char* name) { return SgKindCast<SgPortal>(group->FindByName(name)); }
    SgRoom* Room(const char* name) { return SgKindCast<SgRoom>(group->FindByName(name)); }

    SgRef<SgD3DRender> render;
    SgRef<SgRoomGroup> group;
    SgRef<SgDisplay> display;
    SgRef<SgCamera> camera;
};

TEST_F(RoomsFlowTest, EachRoomAndTheOutsideMatchTheirGoldenImages) {
    Build();
    ASSERT_FALSE(HasFatalFailure());
    constexpr float kPi = 3.14159265f;
    struct View {
        const char* name;
        SgVec3 at;
        float yaw;
        const char* room;  // the room the group finds, null outside
    };
    // Westward through the openings and a little north, so room 0's panel shows from there.
    const View views[] = {
        {"rooms_room0", {3, -1, -3.5f}, kPi - 0.6f, "room0"},
        {"rooms_room1", {13, -1, -3.5f}, kPi - 0.3f, "room1"},
        {"rooms_room2", {23, -1, -3.5f}, kPi - 0.2f, "room2"},
        {"rooms_outside", {-8, 0, 0}, kPi, nullptr},
    };
    for (const View& v : views) {
        const ddtest::Image image = Shot(v.at, v.yaw);
        if (v.room)
            EXPECT_STREQ(group->lastRoom ? group->lastRoom->GetName() : "", v.room) << v.name;
        else
            EXPECT_EQ(group->FindRoom(v.at).Get(), nullptr) << v.name;
        std::string message;
        EXPECT_TRUE(ddtest::MatchesGolden(RENDER_GOLDEN_DIR, v.name, image, 4, 20, &message)) << message;
    }
}

TEST_F(RoomsFlowTest, NothingBehindADisabledPortalIsDrawn) {
    Build();
    ASSERT_FALSE(HasFatalFailure());
    const SgVec3 at{23, -1, -3.5f};
    const float yaw = 3.14159265f - 0.2f;
    const ddtest::Image open = Shot(at, yaw);
    // Room 2's way into room 1 switched off: the picture is that of a level without rooms 0 and 1.
    Portal("backward1")->enabled = 0;
    const ddtest::Image closed = Shot(at, yaw);
    Portal("backward1")->enabled = 1;
    Room("room0")->RemoveAllContents();
    Room("room1")->RemoveAllContents();
    const ddtest::Image empty = Shot(at, yaw);
    EXPECT_NE(open.pixels, closed.pixels);
    EXPECT_EQ(closed.pixels, empty.pixels);
}

}  // namespace
