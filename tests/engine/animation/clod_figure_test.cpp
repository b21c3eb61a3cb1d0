// The installation's level-of-detail figure, loaded from its file, played to the middle of its
// bend and drawn from three distances into the recording renderer.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "engine/animation/sg_3ds_skin.h"
#include "engine/animation/sg_clod_skin.h"
#include "engine/core/sg_stream.h"
#include "tests/engine/scene/scene_fixture.h"
#include "tools/writers/clod_figure.h"

namespace {

SgAVObject* Find(SgNode* node, const char* name) {
    for (uint32_t i = 0; i < node->ChildCount(); ++i) {
        SgAVObject* child = node->ChildAt(i);
        if (child && child->GetName() && std::string(child->GetName()) == name)
            return child;
        if (auto* inner = SgKindCast<SgNode>(child))
            if (SgAVObject* found = Find(inner, name))
                return found;
    }
    return nullptr;
}

class ClodFigure : public SceneTest {
protected:
    void SetUp() override {
        std::string path = std::string(SAMPLE_INSTALL_DIR) + "/" + kClodFigureFile;
        SgSceneStream stream;
        ASSERT_TRUE(stream.LoadFromFile(path.c_str())) << SgSceneStream::ErrorMessage();
        ASSERT_EQ(stream.TopLevelCount(), 1u);
        figure = SgKindCast<SgNode>(stream.TopLevelObject(0));
        ASSERT_TRUE(figure);
        body = SgKindCast<SgClodSkin>(Find(figure.Get(), "Body"));
        four = SgKindCast<Sg3dsSkin>(Find(figure.Get(), "Tube4"));
        plain = SgKindCast<SgClod>(Find(figure.Get(), "Tube"));
        for (const char* name : {"ankle", "knee", "hip"})
            bones.push_back(SgKindCast<Sg3dsBone>(Find(figure.Get(), name)));
        ASSERT_TRUE(body && four && plain && bones[0] && bones[1] && bones[2]);
        holder = new SgNode;
        holder->InsertChild(figure.Get(), false);
    }

    // Plays the chain to t (children note the time before the root evaluates them) and draws
    // with the figure `distance` ahead of the camera; the triangles of each DrawTriShape.
    std::vector<int> DrawAt(float distance, float t) {
        for (Sg3dsBone* b : bones)
            b->UpdateAppTime(t);
        holder->localTranslation = {distance, 0, -2};
        render->copyArrays = true;
        RenderRoot(holder.Get(), t);
        std::vector<int> counts;
        for (const RenderCall& c : render->Named("DrawTriShape"))
            counts.push_back(std::stoi(c.args[0]));
        return counts;
    }

    SgRef<SgNode> figure, holder;
    SgClodSkin* body = nullptr;
    Sg3dsSkin* four = nullptr;
    SgClod* plain = nullptr;
    std::vector<Sg3dsBone*> bones;
};

TEST_F(ClodFigure, DrawsFewerTrianglesFartherAwayAndSkinsByTheBones) {
    EXPECT_EQ(body->FullTriangleCount(), 480);
    EXPECT_EQ(four->TriangleCount(), 480);
    std::vector<int> near = DrawAt(4, 1), middle = DrawAt(12, 1), far = DrawAt(90, 1);
    // Draw order: the skinned tube, the four-influence tube, the plain tube.
    ASSERT_EQ(near.size(), 3u);
    ASSERT_EQ(middle.size(), 3u);
    ASSERT_EQ(far.size(), 3u);
    EXPECT_EQ(near[0], 480);
    EXPECT_LT(middle[0], near[0]);
    EXPECT_GT(middle[0], body->BaseTriangleCount());
    EXPECT_EQ(far[0], body->BaseTriangleCount());
    EXPECT_EQ(far[1], 480) << "the indexed skin has one level";
    EXPECT_LT(far[2], middle[2]);

    // The knee is bent at t = 1, and a vertex of the last drawn level sits where its bones put it.
    EXPECT_FALSE(bones[1]->boneRotation == SgIdentityMat3);
    DrawAt(4, 1);
    const RenderCall draw = render->Named("DrawTriShape")[0];
    const SgClodData& d = *body->LevelOf(body->CurrentState());
    uint16_t slot = d.triangles[3 * 100 + 1];
    uint16_t m = d.slotMap[slot];
    SgVec3 expected;
    for (const SgSkinWeight* w = body->Skin().Head(m); w; w = body->Skin().Next(w)) {
        const Sg3dsBone* b = w->bone;
        SgVec3 inSkin = b->boneRotation * w->offset * b->boneScale + b->boneTranslation;
        expected = expected + (inSkin + holder->localTranslation) * w->weight;
    }
    const SgVec3& drawn = draw.arrays.vertices.at(slot);
    EXPECT_NEAR(drawn.x, expected.x, 1e-4f);
    EXPECT_NEAR(drawn.y, expected.y, 1e-4f);
    EXPECT_NEAR(drawn.z, expected.z, 1e-4f);
    EXPECT_FALSE(drawn == body->Vertices()[m] + holder->localTranslation) << "the bend moved it";
}

uint16_t g_level = 0;
uint8_t AskedLevel(SgClod*, SgCamera*, uint32_t, uint16_t* target) {
    *target = g_level;
    return 1;
}

TEST_F(ClodFigure, DrawsAtEveryLevelWithEveryCornerOnADrawnSlot) {
    body->SetLevelCallback(AskedLevel, 0);
    plain->SetLevelCallback(AskedLevel, 0);
    for (uint32_t level = body->BaseTriangleCount(); level <= body->FullTriangleCount(); ++level) {
        g_level = static_cast<uint16_t>(level);
        DrawAt(4, 0.5f + level * 0.01f);
        std::vector<RenderCall> draws = render->Named("DrawTriShape");
        ASSERT_EQ(draws.size(), 3u);
        for (int which : {0, 2}) {
            const RenderCall& c = draws[which];
            uint32_t triangles = std::stoul(c.args[0]), slots = std::stoul(c.args[1]);
            ASSERT_LE(triangles, level);
            ASSERT_GE(triangles + 1, level) << "one step at most adds two";
            ASSERT_EQ(c.arrays.indices.size(), 3 * triangles);
            for (uint16_t slot : c.arrays.indices)
                ASSERT_LT(slot, slots) << "level " << level;
            for (const SgVec3& v : c.arrays.vertices)
                ASSERT_TRUE(std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z));
        }
    }
}

}  // namespace
