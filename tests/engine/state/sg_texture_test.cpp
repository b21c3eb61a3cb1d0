// Texture properties, the action list and flip textures.

#include <gtest/gtest.h>

#include <vector>

#include "engine/core/sg_action.h"
#include "engine/core/sg_stream.h"
#include "engine/core/sg_texture_property.h"
#include "tests/support/recording_render.h"

namespace {

SgRef<SgTextureProperty> TextureWithFrames(uint32_t frames) {
    SgRef<SgTextureProperty> texture(new SgTextureProperty);
    for (uint32_t i = 0; i < frames; ++i) {
        SgRef<SgImage> image(new SgImage);
        texture->AppendImage(image.Get());
    }
    return texture;
}

TEST(TextureProperty, FromAFileThatGivesNoImage) {
    SgImage::SetFactory(nullptr);
    SgRef<SgTextureProperty> none(new SgTextureProperty("missing.bmp"));
    EXPECT_EQ(none->currentIndex, -1);
    EXPECT_EQ(none->ImageCount(), 0u);
    EXPECT_FALSE(none->CurrentImage());

    RecordingImageFactory factory;
    SgRef<SgTextureProperty> one(new SgTextureProperty("wall.bmp"));
    EXPECT_EQ(one->currentIndex, 0);
    ASSERT_TRUE(one->CurrentImage());
    EXPECT_STREQ(one->CurrentImage()->FileName(), "wall.bmp");
    EXPECT_EQ(one->CurrentImage()->formatKind, SgImage::kAnyFormat);
}

TEST(TextureProperty, CurrentImageOutsideTheFramesIsNull) {
    auto texture = TextureWithFrames(2);
    for (int32_t index : {-1, -5, 2, 1000, INT32_MAX}) {
        texture->currentIndex = index;
        EXPECT_FALSE(texture->CurrentImage()) << index;
    }
    texture->currentIndex = 1;
    EXPECT_EQ(texture->CurrentImage().Get(), texture->images.At(1));
}

TEST(TextureProperty, EmptySlotsSurviveASaveAndLoad) {
    SgRef<SgTextureProperty> texture(new SgTextureProperty);
    SgRef<SgImage> first(new SgImage), third(new SgImage);
    first->SetFileName("a.bmp");
    third->SetFileName("c.bmp");
    texture->images.SetAtGrow(0, first);
    texture->images.SetAtGrow(2, third);
    texture->currentIndex = 2;
    SgSceneStream out;
    out.InsertObject(texture.Get());
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(out.Save(bytes));

    SgSceneStream in;
    ASSERT_TRUE(in.Load(bytes.data(), bytes.size()));
    auto* loaded = SgKindCast<SgTextureProperty>(in.TopLevelObject(0));
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->ImageCount(), 3u);
    EXPECT_EQ(loaded->images.Count(), 2u);
    EXPECT_EQ(loaded->images.At(1), nullptr);
    EXPECT_EQ(loaded->currentIndex, 2);
    EXPECT_STREQ(loaded->CurrentImage()->FileName(), "c.bmp");
    EXPECT_TRUE(loaded->IsEqualTo(texture.Get()));
}

TEST(TextureProperty, Comparison) {
    auto a = TextureWithFrames(2), b = TextureWithFrames(2);
    EXPECT_TRUE(a->IsEqualTo(b.Get()));
    b->currentIndex = 0;
    EXPECT_FALSE(a->IsEqualTo(b.Get()));
    b->currentIndex = -1;
    b->images.At(1)->SetFileName("x.bmp");
    EXPECT_FALSE(a->IsEqualTo(b.Get()));
    b->images.At(1)->SetFileName(nullptr);
    b->AppendImage(nullptr);
    EXPECT_FALSE(a->IsEqualTo(b.Get())) << "an empty third slot still counts";

    SgRef<SgMultiTextureProperty> m1(new SgMultiTextureProperty), m2(new SgMultiTextureProperty);
    m1->blendModes.Append(4);
    EXPECT_FALSE(m1->IsEqualTo(m2.Get()));
    m2->blendModes.Append(4);
    EXPECT_TRUE(m1->IsEqualTo(m2.Get()));
    m2->filterModes.Append(0);
    EXPECT_FALSE(m1->IsEqualTo(m2.Get()));
}

// ---- Actions ----

class ActionTest : public testing::Test {
protected:
    void TearDown() override { SgAction::ClearList(); }
};

class CountdownAction : public SgAction {
public:
    static SgTypeRecord typeRecord;
    const SgTypeRecord* GetTypeRecord() const override { return &typeRecord; }
    bool Step(double, uint32_t) override {
        ++steps;
        return --left > 0;
    }
    int left = 1;
    int steps = 0;
};
constinit SgTypeRecord CountdownAction::typeRecord{"CountdownAction", &SgAction::typeRecord};

TEST_F(ActionTest, FinishedActionsLeaveTheListDuringTheWalk) {
    SgRef<CountdownAction> a(new CountdownAction), b(new CountdownAction), c(new CountdownAction);
    a->left = 3;
    b->left = 1;
    c->left = 1;
    SgAction::AddToList(c.Get());
    SgAction::AddToList(b.Get());
    SgAction::AddToList(a.Get());  // front: a, b, c
    SgAction::StepAll(0.0, 0);
    EXPECT_EQ(a->steps, 1);
    EXPECT_EQ(b->steps, 1);
    EXPECT_EQ(c->steps, 1) << "the action behind a finished one is still stepped";
    EXPECT_EQ(SgAction::List().Count(), 1u);
    EXPECT_EQ(SgAction::List().First(), a.Get());
    EXPECT_EQ(b->RefCount(), 1u) << "the list let go of it";
    SgAction::StepAll(1.0, 0);
    SgAction::StepAll(2.0, 0);
    EXPECT_TRUE(SgAction::List().IsEmpty());
}

TEST_F(ActionTest, LoadedActionsJoinTheListAndEverySaveWritesIt) {
    auto texture = TextureWithFrames(3);
    SgRef<SgFlipTextures> flip(new SgFlipTextures);
    flip->target = texture.Get();
    flip->duration = 2.0f;
    SgAction::AddToList(flip.Get());

    // A save of something else still writes the action (and its target).
    SgRef<SgAlphaProperty> unrelated(new SgAlphaProperty);
    SgSceneStream out;
    out.InsertObject(unrelated.Get());
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(out.Save(bytes));
    SgAction::ClearList();

    SgSceneStream in;
    ASSERT_TRUE(in.Load(bytes.data(), bytes.size()));
    ASSERT_EQ(SgAction::List().Count(), 1u);
    auto* loaded = SgKindCast<SgFlipTextures>(SgAction::List().First());
    ASSERT_NE(loaded, nullptr);
    EXPECT_TRUE(loaded->IsEqualTo(flip.Get()));
    ASSERT_TRUE(loaded->target);
    EXPECT_EQ(loaded->target->ImageCount(), 3u);
}

struct FlipCase {
    uint32_t mode;
    double time;
    int32_t frame;
};

TEST_F(ActionTest, FlipTexturesModes) {
    // Five frames over 2 seconds from time 10.
    const FlipCase cases[] = {
        {SgFlipTextures::kLoop, 11.0, 2},          {SgFlipTextures::kLoop, 9.5, 3},
        {SgFlipTextures::kLoop, 10.0, 0},          {SgFlipTextures::kLoop, 13.9, 3},
        {SgFlipTextures::kLoop, 8.0, 4},           {SgFlipTextures::kBackAndForth, 11.0, 2},
        {SgFlipTextures::kBackAndForth, 12.5, 3},  {SgFlipTextures::kBackAndForth, 13.5, 1},
        {SgFlipTextures::kBackAndForth, 8.5, 3},   {SgFlipTextures::kOnce, 9.0, 0},
        {SgFlipTextures::kOnce, 10.0, 0},          {SgFlipTextures::kOnce, 11.0, 2},
        {SgFlipTextures::kOnce, 11.99, 3},         {SgFlipTextures::kOnce, 12.0, 4},
        {SgFlipTextures::kOnce, 500.0, 4},
    };
    auto texture = TextureWithFrames(5);
    SgRef<SgFlipTextures> flip(new SgFlipTextures);
    flip->target = texture.Get();
    flip->startTime = 10.0f;
    flip->duration = 2.0f;
    for (const FlipCase& c : cases) {
        flip->mode = c.mode;
        texture->currentIndex = -7;
        EXPECT_TRUE(flip->Step(c.time, 0));
        EXPECT_EQ(texture->currentIndex, c.frame) << "mode " << c.mode << " at " << c.time;
    }
    flip->mode = 9;
    texture->currentIndex = 1;
    flip->Step(11.0, 0);
    EXPECT_EQ(texture->currentIndex, 1) << "an unknown mode leaves the frame";
}

TEST_F(ActionTest, FlipTexturesWithNothingToFlipDoNothing) {
    SgRef<SgFlipTextures> flip(new SgFlipTextures);
    EXPECT_TRUE(flip->Step(1.0, 0)) << "no target";
    auto empty = TextureWithFrames(0);
    flip->target = empty.Get();
    flip->duration = 1.0f;
    EXPECT_TRUE(flip->Step(1.0, 0));
    EXPECT_EQ(empty->currentIndex, -1) << "no frames";

    auto texture = TextureWithFrames(3);
    flip->target = texture.Get();
    texture->currentIndex = 1;
    for (float duration : {0.0f, -2.0f}) {
        flip->duration = duration;
        for (uint32_t mode : {0u, 1u, 2u}) {
            flip->mode = mode;
            flip->Step(5.0, 0);
            EXPECT_EQ(texture->currentIndex, 1) << "duration " << duration << " mode " << mode;
        }
    }
}

}  // namespace
