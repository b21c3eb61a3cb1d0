// The sample installation's player figures, their animations, figures.dat and the menu preview
// scene, read back from the installation as the game reads them.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "engine/animation/sg_3ds_animation_node.h"
#include "engine/animation/sg_3ds_skin.h"
#include "engine/animation/sg_clod_skin.h"
#include "engine/core/sg_camera.h"
#include "engine/core/sg_stream.h"
#include "tools/writers/menu_scene.h"
#include "tools/writers/player_figure.h"

namespace {

const std::string kInstall = SAMPLE_INSTALL_DIR;

struct Loaded {
    SgSceneStream stream;
    bool ok = false;
    explicit Loaded(const std::string& relative) { ok = stream.LoadFromFile((kInstall + "/" + relative).c_str()); }
    SgObject* Top(uint32_t i) const { return i < stream.TopLevelCount() ? stream.TopLevelObject(i) : nullptr; }
};

SgAVObject* Find(SgObject* root, const char* name) {
    auto* o = SgKindCast<SgAVObject>(root);
    return o ? o->FindByName(name) : nullptr;
}

TEST(SampleFigures, EachTypeHasTheWholeSkeletonABodyAndASmallerHead) {
    float heights[3];
    for (int type = 1; type <= 3; ++type) {
        Loaded file("figures/" + PlayerFigureFile(type));
        ASSERT_TRUE(file.ok) << type;
        SgObject* root = file.Top(0);
        for (const char* bone : kPlayerBoneNames) {
            auto* found = SgKindCast<Sg3dsBone>(Find(root, bone));
            EXPECT_NE(found, nullptr) << type << " " << bone;
        }
        auto* body = SgKindCast<SgClodSkin>(Find(root, "Body"));
        auto* head = SgKindCast<Sg3dsSkin>(Find(root, "Head"));
        ASSERT_TRUE(body && head) << type;
        EXPECT_GT(body->FullTriangleCount(), head->TriangleCount());
        EXPECT_TRUE(body->FindPropertyOfType(SG_TEXTURE_PROPERTY));
        heights[type - 1] = PlayerHeadHeight(type);
    }
    // Proportions per type: 2 the smallest, 3 the tallest.
    EXPECT_LT(heights[1], heights[0]);
    EXPECT_GT(heights[2], heights[0]);
}

TEST(SampleFigures, EveryAnimationTellsItsOffsetByThePelvis) {
    for (int type = 1; type <= 3; ++type)
        for (int offset = 0; offset < kPlayerAnimationOffsets; ++offset) {
            Loaded file("figures/" + PlayerAnimationFile(type, offset));
            ASSERT_TRUE(file.ok) << type << " " << offset;
            auto* pelvis = SgKindCast<Sg3dsAnimationNode>(Find(file.Top(0), "Bip01 Pelvis"));
            ASSERT_NE(pelvis, nullptr);
            ASSERT_EQ(pelvis->PositionKeyCount(), 1u);
            const float z = pelvis->PositionKeys()[0]->position.z;
            EXPECT_FLOAT_EQ(z, PlayerPelvisHeight(type, offset));
            EXPECT_EQ(std::lround((z - PlayerPelvisHeight(type, 0)) / kPelvisCodeStep), offset);
        }
    // Walk, back and run differ in length; the arm's raise and lower are cast animations.
    EXPECT_NE(PlayerAnimationFrames(0), PlayerAnimationFrames(1));
    EXPECT_NE(PlayerAnimationFrames(0), PlayerAnimationFrames(4));
    EXPECT_NE(PlayerAnimationFrames(1), PlayerAnimationFrames(4));
    EXPECT_STREQ(PlayerAnimationMode(20), "Cast");
    EXPECT_STREQ(PlayerAnimationMode(21), "Cast");
}

TEST(SampleFigures, TheDefinitionFileListsFiguresAndAnimations) {
    const std::string text = FiguresDefinitionText();
    EXPECT_NE(text.find("[sgfdefs]\nnumsgfs=122\n"), std::string::npos);
    EXPECT_NE(text.find("[sgf201]\nfilename=f1.sgf\ntype=Skinned\nfigure_animation=Loop\n"), std::string::npos);
    EXPECT_NE(text.find("[sgf322]\nfilename=f3a31.sgf\n"), std::string::npos);
    EXPECT_NE(text.find("[sgf231]\nfilename=f1a20.sgf\nfigure_animation=Cast\n"), std::string::npos);
    EXPECT_NE(text.find("print=2\n"), std::string::npos);
}

TEST(SampleFigures, TheMenuSceneHasItsHolderACameraAndASecondNode) {
    Loaded file(kMenuSceneFile);
    ASSERT_TRUE(file.ok);
    ASSERT_EQ(file.stream.TopLevelCount(), 3u);
    // The file keeps its records in the saver's order: the first node is the scene, the camera
    // stands anywhere.
    SgNode* first = nullptr;
    SgCamera* camera = nullptr;
    int nodes = 0;
    for (uint32_t i = 0; i < 3; ++i) {
        if (auto* node = SgKindCast<SgNode>(file.Top(i))) {
            first = first ? first : node;
            ++nodes;
        }
        camera = camera ? camera : SgKindCast<SgCamera>(file.Top(i));
    }
    EXPECT_EQ(nodes, 2);
    ASSERT_TRUE(first && camera);
    EXPECT_STREQ(first->GetName(), "Menu Scene");
    EXPECT_NE(Find(first, "Dmy_Figure"), nullptr);
    // The camera sees the figure's place: a point at the holder, a head's height up, projects
    // into the middle of the screen.
    camera->UpdateAllStates();
    SgBoundSphere sphere;
    sphere.unset = 0;
    sphere.centre = SgVec3(0, 0, kMenuCameraHeight);
    sphere.radius = 1;
    SgVec3 low, high;
    camera->ProjectBound(sphere, low, high);
    EXPECT_GT(low.z, 0);
    EXPECT_NEAR((low.x + high.x) / 2, 0, 0.01f);
    EXPECT_NEAR((low.y + high.y) / 2, 0, 0.01f);
}

}  // namespace
