// Screen polygons: drawing through the display, copies and the stream form.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/byte_writer.h"
#include "engine/core/sg_display.h"
#include "engine/core/sg_screen_polygon.h"
#include "engine/core/sg_stream.h"
#include "tests/engine/support/sg_stream_cases.h"
#include "tests/support/recording_render.h"

namespace {

const SgVec3 kCorners[4] = {{0.1f, 0.1f, 0}, {0.9f, 0.1f, 0}, {0.9f, 0.9f, 0}, {0.1f, 0.9f, 0}};
const SgVec3 kCoords[4] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};

class ScreenPolygonTest : public testing::Test {
protected:
    void SetUp() override {
        display->SetRenderer(render.Get());
        render->Clear();
    }
    SgRef<RecordingRender> render{new RecordingRender};
    SgRef<SgDisplay> display{new SgDisplay};
};

TEST_F(ScreenPolygonTest, DrawsWithItsOwnPropertiesAndRestoresTheDisplay) {
    SgRef<SgScreenPolygon> polygon(new SgScreenPolygon(4, kCorners, kCoords, nullptr));
    SgRef<SgAlphaProperty> alpha(new SgAlphaProperty);
    alpha->blendOn = 1;
    polygon->AddProperty(alpha.Get());
    polygon->Draw(display.Get());
    EXPECT_EQ(render->Log(), (std::vector<std::string>{"SetAlphaProperty(1, 6, 7)",
                                                       "DrawScreenPolygon(4, array, array, null)"}));
    EXPECT_EQ(render->calls[1].objects[0], polygon->Vertices());
    EXPECT_EQ(display->Pending(SG_ALPHA_PROPERTY), SgAlphaProperty::Default().Get());
    EXPECT_EQ(polygon->properties.First(), alpha.Get());
}

TEST_F(ScreenPolygonTest, WithoutPropertiesItDrawsWithWhatIsPending) {
    SgRef<SgFogProperty> fog(new SgFogProperty);
    SgPropertyList scene;
    scene.Prepend(fog.Get());
    display->PushProperties(scene);
    SgRef<SgScreenPolygon> polygon(new SgScreenPolygon(3, kCorners, nullptr, nullptr));
    polygon->Draw(display.Get());
    EXPECT_EQ(render->Names(), (std::vector<std::string>{"SetFogProperty", "DrawScreenPolygon"}));
    EXPECT_EQ(display->Pending(SG_FOG_PROPERTY), fog.Get());
    polygon->Draw(nullptr);  // nothing to draw on
}

TEST_F(ScreenPolygonTest, CopiesOwnTheirArraysAndShareProperties) {
    const SgRgba colors[3] = {{1, 0, 0, 1}, {0, 1, 0, 1}, {0, 0, 1, 0.5f}};
    SgRef<SgScreenPolygon> polygon(new SgScreenPolygon(3, kCorners, kCoords, colors));
    SgRef<SgAlphaProperty> alpha(new SgAlphaProperty);
    SgRef<SgFogProperty> fog(new SgFogProperty);
    polygon->AddProperty(fog.Get());
    polygon->AddProperty(alpha.Get());  // list: alpha, fog
    SgRef<SgScreenPolygon> copy = polygon->Copy();
    EXPECT_NE(copy->Vertices(), polygon->Vertices());
    EXPECT_TRUE(copy->IsEqualTo(polygon.Get()));
    std::vector<SgProperty*> order;
    for (SgProperty* p : copy->properties)
        order.push_back(p);
    EXPECT_EQ(order, (std::vector<SgProperty*>{alpha.Get(), fog.Get()}));
}

TEST_F(ScreenPolygonTest, AbsentArraysAreWrittenAsZeroPresenceWords) {
    SgRef<SgScreenPolygon> polygon(new SgScreenPolygon(2, kCorners, nullptr, nullptr));
    std::vector<uint8_t> bytes = SaveAsTopLevel(polygon.Get());
    std::vector<uint8_t> empty = SaveAsTopLevel(SgRef<SgScreenPolygon>(new SgScreenPolygon(0, nullptr, nullptr, nullptr)).Get());
    // The record grows by exactly the 24 bytes of the two vertices.
    EXPECT_EQ(bytes.size(), empty.size() + 24);
    SgRef<SgObject> loaded = LoadSingleTopLevel(bytes);
    auto* back = SgKindCast<SgScreenPolygon>(loaded.Get());
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->VertexCount(), 2u);
    EXPECT_EQ(back->TextureCoords(), nullptr);
    EXPECT_EQ(back->Colors(), nullptr);
    EXPECT_TRUE(back->IsEqualTo(polygon.Get()));
}

// A polygon made without vertices saves zeros in their place (the record has no absent form for
// them) and reads back as a polygon of that many zero vertices.
TEST_F(ScreenPolygonTest, MissingVerticesAreSavedAsZeros) {
    SgRef<SgScreenPolygon> polygon(new SgScreenPolygon(2, nullptr, kCoords, nullptr));
    std::vector<uint8_t> bytes = SaveAsTopLevel(polygon.Get());
    ByteWriter w;
    w.U16LE(2);
    for (int i = 0; i < 6; ++i)
        w.F32LE(0.0f);
    w.U32LE(1);
    for (int i = 0; i < 2; ++i) {
        w.F32LE(kCoords[i].x);
        w.F32LE(kCoords[i].y);
        w.F32LE(kCoords[i].z);
    }
    w.U32LE(0);  // no colours
    w.U32LE(0);  // no properties
    const std::vector<uint8_t>& fields = w.Data();
    const size_t endMarker = 4 + std::strlen(SgSceneStream::kEndMarker);
    ASSERT_GT(bytes.size(), fields.size() + endMarker);
    EXPECT_EQ(std::vector<uint8_t>(bytes.end() - static_cast<std::ptrdiff_t>(endMarker + fields.size()),
                                   bytes.end() - static_cast<std::ptrdiff_t>(endMarker)),
              fields);
    SgRef<SgObject> loaded = LoadSingleTopLevel(bytes);
    auto* back = SgKindCast<SgScreenPolygon>(loaded.Get());
    ASSERT_NE(back, nullptr);
    ASSERT_NE(back->Vertices(), nullptr);
    EXPECT_TRUE(back->Vertices()[1].IsEqualTo(SgVec3()));
}

TEST_F(ScreenPolygonTest, TheLargestVertexCountRoundTrips) {
    std::vector<SgVec3> many(65535, SgVec3(0.5f, 0.5f, 0));
    SgRef<SgScreenPolygon> polygon(new SgScreenPolygon(65535, many.data(), nullptr, nullptr));
    SgRef<SgObject> loaded = LoadSingleTopLevel(SaveAsTopLevel(polygon.Get()));
    auto* back = SgKindCast<SgScreenPolygon>(loaded.Get());
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->VertexCount(), 65535u);
}

}  // namespace
