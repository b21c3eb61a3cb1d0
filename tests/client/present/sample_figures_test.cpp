// The sample installation's player figures, their animations, figures.dat and the menu preview
// scene, read back from the installation as the game reads them.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <set>
#include <string>

#include "client/present/engine_files.h"
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

// The body is a person: arms and legs follow their own bones, and nothing of it stands between
// the legs below the hips, so a stride reads as two legs.
TEST(SampleFigures, TheBodyHasArmsAndLegsApart) {
    const char* limbBones[] = {"Bip01 L UpperArm", "Bip01 L Forearm", "Bip01 R UpperArm", "Bip01 R Forearm",
                               "Bip01 L Thigh",    "Bip01 L Calf",    "Bip01 R Thigh",    "Bip01 R Calf",
                               "Bip01 L Hand",     "Bip01 R Hand",    "Bip01 Spine",      "Bip01 Pelvis"};
    for (int type = 1; type <= 3; ++type) {
        Loaded file("figures/" + PlayerFigureFile(type));
        ASSERT_TRUE(file.ok) << type;
        auto* body = SgKindCast<SgClodSkin>(Find(file.Top(0), "Body"));
        ASSERT_TRUE(body) << type;
        std::set<std::string> followed;
        const SgSkinData& skin = body->Skin();
        for (uint32_t v = 0; v < skin.VertexCount(); ++v)
            for (const SgSkinWeight* w = skin.Head(v); w; w = skin.Next(w))
                if (w->bone && w->bone->GetName())
                    followed.insert(w->bone->GetName());
        for (const char* bone : limbBones)
            EXPECT_TRUE(followed.count(bone)) << type << " " << bone;
        const float hips = PlayerPelvisHeight(type, 0) * 0.75f;
        const float scale = hips / (PlayerPelvisHeight(1, 0) * 0.75f);
        for (uint32_t v = 0; v < body->VertexCount(); ++v) {
            const SgVec3& p = body->Vertices()[v];
            // Left and right lie along x.
            EXPECT_FALSE(p.z < hips && std::fabs(p.x) < scale) << type << " vertex " << v << " at " << p.x << ", " << p.z;
        }
    }
}

// Walking, backing and running, one straight leg stays on the ground at every key while the other
// steps: the figure neither floats nor sinks into the floor.
TEST(SampleFigures, AStrideKeepsOneFootOnTheGround) {
    for (int type = 1; type <= 3; ++type)
        for (int offset : {0, 1, 4}) {
            Loaded file("figures/" + PlayerAnimationFile(type, offset));
            ASSERT_TRUE(file.ok) << type << " " << offset;
            auto* root = SgKindCast<Sg3dsBone>(Find(file.Top(0), "Bip01"));
            auto* left = SgKindCast<Sg3dsBone>(Find(file.Top(0), "Bip01 L Foot"));
            auto* right = SgKindCast<Sg3dsBone>(Find(file.Top(0), "Bip01 R Foot"));
            ASSERT_TRUE(root && left && right);
            const float seconds = PlayerAnimationFrames(offset) / 30.0f;
            root->Update(0);
            const float ground = std::min(left->boneTranslation.z, right->boneTranslation.z);
            // The figure faces -y: a step moves the foot along y.
            const float standY = left->boneTranslation.y;
            for (int k = 1; k <= 4; ++k) {
                root->Update(seconds * k / 4);
                EXPECT_NEAR(std::min(left->boneTranslation.z, right->boneTranslation.z), ground, 0.3f)
                    << type << " " << offset << " key " << k;
                if (k == 1)
                    EXPECT_GT(std::fabs(left->boneTranslation.y - standY), 10.0f) << type << " " << offset;
            }
        }
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

// ---- The game's start-up over the installation: templates, textures, a player figure ----------

#include <unistd.h>

#include "client/core/error_log.h"
#include "client/core/trig_tables.h"
#include "client/present/figure_anim_state.h"
#include "client/present/figure_animation.h"
#include "client/present/figure_loader.h"
#include "client/present/figure_objects.h"
#include "client/present/figure_textures.h"
#include "client/present/world_tables.h"
#include "engine/core/sg_file.h"
#include "engine/geometry/sg_switch_nodes.h"
#include "engine/geometry/sg_tri_shape.h"
#include "platform/fs/fs.h"
#include "tests/client/present/figure_fixture.h"
#include "tests/support/recording_render.h"
#include "tests/support/temp_dir.h"
#include "tools/writers/sgfs_models.h"

namespace {

using namespace present;

class SampleStartup : public testing::Test {
protected:
    void SetUp() override {
        dir.Enter();
        for (const char* d : {"figures", "sgfs"})
            ASSERT_EQ(symlink((kInstall + "/" + d).c_str(), d), 0);
        ASSERT_TRUE(OpenErrorLog("error.log"));
        present::InstallGameFileOpener();
        LoadModelTemplates("sgfs", 0);
        LoadModelTemplates("figures", 200);
        LoadFigureTextures();
    }
    void TearDown() override {
        SgSetFileOpener(nullptr);
        CloseErrorLog();
        FreeFigureResources();
        figure_fixture::ClearFigureTables();
        World() = WorldTables{};
    }
    RecordingImageFactory images;
    TempDir dir;
};

TEST_F(SampleStartup, EveryListedModelLoads) {
    const std::string log = dir.Read("error.log");
    EXPECT_EQ(log.find("Error Loading"), std::string::npos) << log;
    for (int n : {7, 10, 12, 14, 20, 21, 30, 36, 40, 45, 60, 61, 64, 70, 71, 80, 81, 82, 201, 202, 203, 211, 242,
                  251, 282, 291, 322})
        EXPECT_NE(TemplateNode(n), nullptr) << n;
    // The figures' textures are all there.
    for (int slot : {0, 8, 10, 18, 20, 28})
        EXPECT_TRUE(BodyTexture(slot) && BodyTexture(slot)->CurrentImage()) << slot;
    for (int slot = 0; slot < 12; ++slot)
        EXPECT_TRUE(HeadTexture(slot) && HeadTexture(slot)->CurrentImage()) << slot;
    EXPECT_TRUE(dir.Exists("anim2.log"));
}

TEST_F(SampleStartup, PlayerTemplatesAreSkinnedWithEveryBone) {
    for (int n : {201, 202, 203}) {
        SgFigureExtraData* data = GetFigureExtraData(TemplateNode(n));
        ASSERT_NE(data, nullptr) << n;
        EXPECT_EQ(data->kind, kFigureSkinned);
        ASSERT_NE(data->boneTable, nullptr);
        for (int b = 0; b < kBoneCount; ++b)
            EXPECT_NE((*data->boneTable)[b], nullptr) << n << " bone " << b;
    }
    // Cast animations look up the arms only.
    SgFigureExtraData* raise = GetFigureExtraData(TemplateNode(211 + 20));
    ASSERT_NE(raise, nullptr);
    EXPECT_EQ(raise->boneMode, 2);
    EXPECT_EQ((*raise->boneTable)[1], nullptr);
    EXPECT_NE((*raise->boneTable)[9], nullptr);
    EXPECT_EQ(raise->frameCount, PlayerAnimationFrames(20));
}

TEST_F(SampleStartup, ThePlayerFigureStartsWithItsWalk) {
    World().worldRoot = SgRef<SgNode>(new SgNode);
    World().sceneActive = 1;
    for (int type = 1; type <= 3; ++type) {
        const int f = CreateFigureForObject(200 + type, nullptr, 0.01f);
        ASSERT_GT(f, 0);
        SgFigureExtraData* data = FigureData(f);
        ASSERT_NE(data->boneTable, nullptr);
        Sg3dsAnimationNode* pelvis = (*data->boneTable)[1];
        ASSERT_NE(pelvis, nullptr);
        ASSERT_EQ(pelvis->PositionKeyCount(), 1u);
        EXPECT_FLOAT_EQ(pelvis->PositionKeys()[0]->position.z, PlayerPelvisHeight(type, 0));
        // Its own bones, not the template's.
        EXPECT_NE(pelvis, (*GetFigureExtraData(TemplateNode(200 + type))->boneTable)[1]);
        EXPECT_EQ(SetFigureBodyTexture(f, 10 * (type - 1) + 4), 1);
        EXPECT_EQ(SetFigureHeadTexture(f, 4 * (type - 1) + 3), 1);
        EXPECT_EQ(RemoveObjectFigure(f), 1);
    }
}

// A figure faces where its object goes: placed at a facing and playing the walk, run, strafes or
// idle, its hips lie square across the way the arena moves an object of that facing (forward is
// (-sin, cos) of the facing), and a stride spreads its feet along that way, not across it.
TEST_F(SampleStartup, AWalkingFigureFacesTheWayItsObjectGoes) {
    World().worldRoot = SgRef<SgNode>(new SgNode);
    World().sceneActive = 1;
    struct Motion {
        const char* name;
        int index;  // of the animation table
        bool stride;
    };
    const Motion motions[] = {{"walk", 0, true}, {"run", 2, true}, {"strafe left", 21, false},
                              {"strafe right", 22, false}, {"idle", 11, false}};
    // World point of a bone: the model's world placement applied to the skeleton's own position.
    auto world = [](const SgWorldState& m, const Sg3dsAnimationNode* bone) {
        const auto* b = static_cast<const Sg3dsBone*>(bone);
        return m.worldRotation.TimesVec(b->boneTranslation * m.worldScale) + m.worldTranslation;
    };
    const SgVec3 up(0, 0, -1);  // heights are negated in the scene
    for (int type = 201; type <= 203; ++type)
        for (const Motion& motion : motions)
            for (int facing : {0, 700, 1024, 2048, 3300}) {
                SCOPED_TRACE(std::string(motion.name) + " type " + std::to_string(type) + " facing " +
                             std::to_string(facing));
                const int f = CreateFigureForObject(type, nullptr, 0.01f);
                ASSERT_GT(f, 0);
                const int animation = AnimationTemplate(type, motion.index);
                PlayFigureAnimation(f, animation, kAllBones);
                PlaceObjectFigure(f, 1000 << 16, 900 << 16, 0, facing, 0, 1, 1, 0);
                // A quarter of the cycle: the legs are spread their widest.
                const float t = static_cast<float>(GetModelFrameCount(animation)) / 30.0f / 4.0f;
                ASSERT_EQ(UpdateFigureAnimation(f, t, kAllBones), 1);
                SgFigureExtraData* data = FigureData(f);
                const SgWorldState& m = *data->model->WorldStates().At(0);
                const auto& bones = *data->boneTable;
                const SgVec3 ahead(-SineTable[facing] / 65536.0f, CosineTable[facing] / 65536.0f, 0);

                const SgVec3 left = world(m, bones[11]) - world(m, bones[14]);  // thighs
                SgVec3 forward = left.Cross(up);
                forward = forward * (1.0f / forward.Length());
                EXPECT_GT(forward.Dot(ahead), 0.999f) << forward.x << ", " << forward.y << ", " << forward.z;
                if (motion.stride) {
                    // Along the way a long step; across it no wider than the hips stand apart.
                    const SgVec3 feet = world(m, bones[13]) - world(m, bones[16]);
                    const SgVec3 side = ahead.Cross(up);
                    EXPECT_GT(std::fabs(feet.Dot(ahead)), 0.1f);
                    EXPECT_LT(std::fabs(feet.Dot(side)), std::fabs(left.Dot(side)) + 0.02f);
                }
                EXPECT_EQ(RemoveObjectFigure(f), 1);
            }
}

// A missile flies point first: the bolt's length lies along the way the arena moves an object of
// its facing, not across it.
TEST_F(SampleStartup, TheBoltPointsTheWayItsObjectFlies) {
    World().worldRoot = SgRef<SgNode>(new SgNode);
    World().sceneActive = 1;
    for (int facing : {0, 700, 1024, 2048, 3300}) {
        SCOPED_TRACE("facing " + std::to_string(facing));
        const int f = CreateFigureForObject(30, nullptr, 0.01f);
        ASSERT_GT(f, 0);
        PlaceObjectFigure(f, 1000 << 16, 900 << 16, 0, facing, 0, 1, 1, 0);
        auto* bolt = SgKindCast<SgTriShape>(FigureData(f)->model->FindByName("Bolt"));
        ASSERT_NE(bolt, nullptr);
        const SgVec3* v = bolt->WorldVertices();
        ASSERT_NE(v, nullptr);
        const SgVec3 ahead(-SineTable[facing] / 65536.0f, CosineTable[facing] / 65536.0f, 0);
        const SgVec3 side = ahead.Cross(SgVec3(0, 0, -1));
        float lowAhead = 1e9f, highAhead = -1e9f, lowSide = 1e9f, highSide = -1e9f;
        for (uint16_t i = 0; i < bolt->VertexCount(); ++i) {
            lowAhead = std::min(lowAhead, v[i].Dot(ahead)), highAhead = std::max(highAhead, v[i].Dot(ahead));
            lowSide = std::min(lowSide, v[i].Dot(side)), highSide = std::max(highSide, v[i].Dot(side));
        }
        EXPECT_GT(highAhead - lowAhead, 2 * (highSide - lowSide));
        EXPECT_EQ(RemoveObjectFigure(f), 1);
    }
}

TEST_F(SampleStartup, TheBipedIsFoldedAndGetsLevelsOfDetail) {
    SgNode* biped = TemplateNode(20);
    ASSERT_NE(biped, nullptr);
    EXPECT_EQ(biped->FindByName("Bip01 Mesh"), nullptr);
    EXPECT_EQ(biped->FindByName("Dummy Hips"), nullptr);
    EXPECT_EQ(biped->FindByName("Bip01 Ext01"), nullptr);
    // The placement-only holder of the spine handed its name to the spine.
    auto* spine = SgKindCast<Sg3dsAnimationNode>(biped->FindByName("Bip01 Spine"));
    ASSERT_NE(spine, nullptr);
    EXPECT_EQ(spine->RotationKeyCount(), 3u);
    EXPECT_EQ(biped->FindByName("Bip01 Spine1"), nullptr);
    // Folded, its bones kept no shapes to choose among; listed whole, they got their levels.
    auto countLevels = [](SgAVObject* root) {
        int levels = 0;
        std::function<void(SgAVObject*)> count = [&](SgAVObject* o) {
            if (auto* lod = SgKindCast<SgLODNode>(o))
                levels += static_cast<int>(lod->ChildCount());
            if (auto* n = SgKindCast<SgNode>(o))
                for (uint32_t i = 0; i < n->ChildCount(); ++i)
                    if (n->ChildAt(i))
                        count(n->ChildAt(i));
        };
        count(root);
        return levels;
    };
    EXPECT_EQ(countLevels(biped), 0);
    // Torso h, m and l; head h and l.
    EXPECT_EQ(countLevels(TemplateNode(21)), 5);
    EXPECT_EQ(GetFigureExtraData(biped)->kind, kFigureBiped);
}

}  // namespace
