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

// Copies hold what the draw was handed even after the caller rewrites its buffers, with the
// lengths each operation reads.
TEST(Render, RecordingRendererCopiesADrawsArrays) {
    SgRef<RecordingRender> render(new RecordingRender);
    SgVec3 vertices[4] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}};
    SgVec3 normals[4] = {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}};
    SgVec3 uv[8] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}, {2, 0, 0}, {2, 2, 0}, {0, 2, 0}, {2, 1, 0}};
    SgRgba colors[4] = {{1, 0, 0, 1}, {0, 1, 0, 1}, {0, 0, 1, 1}, {1, 1, 1, 0.5f}};
    uint16_t indices[6] = {0, 1, 2, 2, 1, 3};
    float sizes[3] = {1, 2, 3};
    uint8_t connections[3] = {1, 1, 0};
    SgBoundSphere bound;

    // Off by default: the log only.
    render->DrawTriShape(2, 4, vertices, normals, nullptr, 2, uv, colors, indices, bound, {});
    EXPECT_TRUE(render->calls[0].arrays.vertices.empty());

    render->copyArrays = true;
    render->Clear();
    render->DrawTriShape(2, 4, vertices, normals, nullptr, 2, uv, colors, indices, bound, {});
    render->DrawParticles(3, vertices, nullptr, colors, 1.0f, sizes, bound);
    render->DrawTriStrip(2, vertices, nullptr, nullptr, 0, nullptr, colors, bound, {});
    render->DrawLines(3, vertices, nullptr, nullptr, connections, bound);
    vertices[3] = {9, 9, 9};
    uv[7] = {9, 9, 9};
    indices[5] = 0;
    sizes[2] = 9;

    ASSERT_EQ(render->calls.size(), 4u);
    const RenderArrays& shape = render->calls[0].arrays;
    EXPECT_EQ(shape.vertices.size(), 4u);
    EXPECT_EQ(shape.vertices[3], SgVec3(1, 1, 0));
    EXPECT_EQ(shape.normals.size(), 4u);
    EXPECT_TRUE(shape.planes.empty()) << "a null array copies as empty";
    ASSERT_EQ(shape.textureSets.size(), 8u) << "two sets of four";
    EXPECT_EQ(shape.textureSets[7], SgVec3(2, 1, 0));
    EXPECT_EQ(shape.colors[3], SgRgba(1, 1, 1, 0.5f));
    EXPECT_EQ(shape.indices, (std::vector<uint16_t>{0, 1, 2, 2, 1, 3}));

    const RenderArrays& particles = render->calls[1].arrays;
    EXPECT_EQ(particles.vertices.size(), 3u);
    EXPECT_TRUE(particles.normals.empty());
    EXPECT_EQ(particles.sizes, (std::vector<float>{1, 2, 3}));

    EXPECT_EQ(render->calls[2].arrays.vertices.size(), 4u) << "a strip of two triangles has four vertices";
    EXPECT_EQ(render->calls[2].arrays.colors.size(), 4u);
    EXPECT_EQ(render->calls[3].arrays.connections, (std::vector<uint8_t>{1, 1, 0}));
}

}  // namespace
