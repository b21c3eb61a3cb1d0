// The game's services reach the presentation.

#include <gtest/gtest.h>

#include "client/present/arena_present.h"
#include "client/present/camera_set.h"
#include "client/present/lod_select.h"
#include "tests/support/render/render_fixture.h"

namespace {

class ArenaPresentTest : public RenderTest {
protected:
    void SetUp() override {
        RenderTest::SetUp();
        services = MakeArenaPresent();
        previous = InstallPresentServices(services.get());
    }
    void TearDown() override {
        DestroySceneAndRenderer();
        present::Cameras() = present::CameraSet{};
        present::SetForcedLodLevel(0);
        InstallPresentServices(previous);
        services.reset();
        RenderTest::TearDown();
    }
    std::unique_ptr<PresentServices> services;
    PresentServices* previous = nullptr;
};

TEST_F(ArenaPresentTest, DisplayStartUpMakesTheRendererAndCameras) {
    CreateRenderer(window);
    CreateSceneRoot();
    CreateCameras();
    ResetCameraViewports();
    EXPECT_EQ(IsRendererReady(), 1);
    ASSERT_TRUE(present::Cameras().defaultCamera);
    EXPECT_EQ(present::Cameras().activeCamera, present::Cameras().defaultCamera.Get());
    SetForcedLodLevel(12);
    EXPECT_EQ(present::ForcedLodLevel(), 12);
    SetWorldFog(500, 0, 255, 0, 0);
    EXPECT_EQ(present::Cameras().fog->fogOn, 1);
    ClearViewFrame();
    RenderWorldView(10000);
    ShowViewFrame();
    EXPECT_EQ(present::Cameras().worldClock, 1.0f);
    // Without a world or templates there is nothing to make.
    EXPECT_EQ(CreateFigureForObject(3, "x", 1.0f), 0);
    EXPECT_EQ(PlaceThinWalls(0, 0, 0, 100, 0, 100, 1, 0, 0), 0);  // no world yet
    char text[16] = "";
    EXPECT_EQ(ListRoomsAtPoint(10, 10, 10, text, sizeof text), 1);
}

}  // namespace
