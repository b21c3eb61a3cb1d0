// The renderer interface: the renderer list, lights that go, and the base bodies.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/core/sg_light.h"
#include "engine/core/sg_render.h"
#include "tests/support/recording_render.h"

namespace {

TEST(Render, RenderersJoinAndLeaveTheList) {
    uint32_t before = SgRender::RendererCount();
    {
        SgRef<RecordingRender> a(new RecordingRender), b(new RecordingRender);
        EXPECT_EQ(SgRender::RendererCount(), before + 2);
    }
    EXPECT_EQ(SgRender::RendererCount(), before);
}

TEST(Render, ALightThatGoesIsRemovedFromEveryRenderer) {
    SgRef<RecordingRender> first(new RecordingRender), second(new RecordingRender);
    SgRef<SgLight> light(new SgLight);
    const void* address = light.Get();
    light = nullptr;
    ASSERT_EQ(first->Names(), std::vector<std::string>{"RemoveLight"});
    ASSERT_EQ(second->Names(), std::vector<std::string>{"RemoveLight"});
    EXPECT_EQ(first->calls[0].objects[0], address);
    EXPECT_EQ(second->calls[0].objects[0], address);

    // A renderer that went first hears nothing more.
    second = nullptr;
    SgRef<SgLight> another(new SgLight);
    another = nullptr;
    EXPECT_EQ(first->Count("RemoveLight"), 2u);
}

TEST(Render, BaseBodies) {
    SgRef<RecordingRender> render(new RecordingRender);
    SgRender& base = *render;
    SgPropertyList none;
    EXPECT_EQ(base.SgRender::CheckProperties(none), 0x80000000u);
    EXPECT_EQ(base.SgRender::GetTextureStatus(), 0u);
    uint32_t a = 11, b = 12, c = 13, d = 14, e = 15;
    EXPECT_FALSE(base.SgRender::GetTextureMemory(a, b));
    EXPECT_FALSE(base.SgRender::GetTextureStats(a, b, c, d, e));
    EXPECT_EQ(std::vector<uint32_t>({a, b, c, d, e}), std::vector<uint32_t>({11, 12, 13, 14, 15}))
        << "results untouched";
    SgBoundSphere bound;
    EXPECT_EQ(base.SgRender::DrawLines(3, nullptr, nullptr, nullptr, nullptr, bound), 0);
    base.SgRender::RemoveLight(nullptr);
    EXPECT_TRUE(render->calls.empty());
}

TEST(Render, RecordingRendererLogsArgumentsAndAnswers) {
    SgRef<RecordingRender> render(new RecordingRender);
    SgRef<SgImage> image(new SgImage);
    image->AssignName("crosshair");
    SgPixelRect source{0, 16, 0, 8};
    EXPECT_TRUE(render->BlitImageToFrame(image.Get(), &source, 4, -2, 1));
    render->SetStoredValue(99);
    EXPECT_EQ(render->GetStoredValue(), 99u);
    render->SetFirstPair(1, 2);
    uint32_t x = 0, y = 0;
    render->GetFirstPair(x, y);
    EXPECT_EQ(x + y, 3u);
    EXPECT_FALSE(render->HasTextureFormat(6));
    EXPECT_EQ(render->Log(), (std::vector<std::string>{"BlitImageToFrame(crosshair, (0, 16, 0, 8), 4, -2, 1)",
                                                       "SetStoredValue(99)", "GetStoredValue()", "SetFirstPair(1, 2)",
                                                       "GetFirstPair()", "HasTextureFormat(6)"}));
    EXPECT_EQ(render->calls[0].objects[0], image.Get());
}

}  // namespace
