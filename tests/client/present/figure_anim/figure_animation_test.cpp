// Figure animation over engine objects: bone tables, key copies by mask, timing set-up, the
// animator lists, evaluation by bone mask, and world objects driving their figures.

#include <gtest/gtest.h>

#include <cstring>

#include "client/arena/world_object.h"
#include "client/present/figure_anim_state.h"
#include "client/present/figure_animation.h"
#include "engine/animation/sg_3ds_animators.h"
#include "engine/animation/sg_3ds_particle_system.h"
#include "engine/geometry/sg_tri_shape.h"
#include "tests/client/present/figure_anim/skeleton_fixture.h"

namespace {

using namespace present;
using namespace figure_test;

class FigureAnimationTest : public testing::Test {
protected:
    void SetUp() override { ClearFigureTables(); }
    void TearDown() override { ClearFigureTables(); }
};

TEST_F(FigureAnimationTest, BoneTableFindsKeyedNodesByNameAndArmsOnlyInCastMode) {
    SgRef<SgNode> full = MakeSkeleton(0);
    // Names compare without case; a plain node of a bone's name is no bone.
    SgNode* root = SgKindCast<SgNode>(full->ChildAt(0));
    static_cast<SgNode*>(root->ChildAt(3))->AssignName("BIP01 HEAD");
    SgRef<SgNode> impostor(new SgNode);
    impostor->AssignName("Bip01 Spine");
    full->InsertChild(impostor.Get(), false);
    root->RemoveChildAt(1);  // "Bip01 Spine" bone gone
    AttachFigureExtraData(full.Get());
    BuildFigureBoneTable(full.Get(), 0, 0);
    const FigureBoneTable& table = *GetFigureExtraData(full.Get())->boneTable;
    for (int i = 0; i < kBoneCount; ++i) {
        if (i == 2) {
            EXPECT_EQ(table[i], nullptr);
            continue;
        }
        ASSERT_NE(table[i], nullptr) << i;
        EXPECT_EQ(strcasecmp(table[i]->GetName(), kBoneNames[i]), 0) << i;
    }

    SgRef<SgNode> arms = MakeSkeleton(0);
    SgFigureExtraData* data = AttachFigureExtraData(arms.Get());
    BuildFigureBoneTable(arms.Get(), 0, kBoneModeArms);
    EXPECT_EQ(data->boneMode, 2);
    for (int i = 0; i < kBoneCount; ++i)
        EXPECT_EQ((*data->boneTable)[i] != nullptr, (i >= 5 && i <= 10) || i >= 17) << i;
    // A table already there stays.
    BuildFigureBoneTable(arms.Get(), 0, 0);
    EXPECT_EQ((*data->boneTable)[0], nullptr);
    // No record, no table.
    SgRef<SgNode> bare = MakeSkeleton(0);
    BuildFigureBoneTable(bare.Get(), 0, 0);
    EXPECT_EQ(GetFigureExtraData(bare.Get()), nullptr);
}

TEST_F(FigureAnimationTest, CopyTakesTheMaskedBonesKeysAndTimingAndBit27TheCounts) {
    PutTemplate(201, 0.0f, 1);
    SgNode* walk = PutTemplate(211, 5.0f, 20, 15, 0);
    Sg3dsAnimationNode* source = (*GetFigureExtraData(walk)->boneTable)[9];
    source->cycleType = SgAnimationTiming::kCycleLoop;
    source->lowKeyTime = 0.25f;
    source->highKeyTime = 0.75f;
    PutFigure(1, 201);
    FigureData(1)->frameCount = 7;

    PlayFigureAnimation(1, 211, kRightArmMask);
    for (int i = 0; i < kBoneCount; ++i) {
        Sg3dsAnimationNode* bone = FigureBone(1, i);
        const bool copied = (kRightArmMask >> i) & 1;
        ASSERT_EQ(bone->PositionKeyCount(), 2u);
        EXPECT_EQ(bone->PositionKeys()[0]->position.z, copied ? 5.0f : -1.0f) << i;
    }
    EXPECT_EQ(FigureData(1)->frameCount, 7);  // no bit 27
    Sg3dsAnimationNode* arm = FigureBone(1, 9);
    EXPECT_EQ(arm->timeMode, SgAnimationTiming::kTimeApplication);
    EXPECT_EQ(arm->startedFlag, 0);
    EXPECT_EQ(arm->worldUpdateFlag, 0);
    EXPECT_EQ(arm->cycleType, SgAnimationTiming::kCycleLoop);
    EXPECT_EQ(arm->frequency, 1.0f);
    EXPECT_EQ(arm->phase, 0.25f);
    EXPECT_EQ(arm->lowKeyTime, 0.25f);
    EXPECT_EQ(arm->highKeyTime, 0.75f);
    // The keys are the figure's own copies.
    EXPECT_NE(arm->PositionKeys()[0], source->PositionKeys()[0]);

    PlayFigureAnimation(1, 211, kAllBones);
    EXPECT_EQ(FigureData(1)->frameCount, 20);
    EXPECT_EQ(FigureData(1)->frameRate, 15);
    EXPECT_EQ(FigureBone(1, 0)->PositionKeys()[0]->position.z, 5.0f);

    // A source without keys hands over its fixed placement.
    Sg3dsAnimationNode* still = (*GetFigureExtraData(walk)->boneTable)[4];
    still->SetPositionKeys(nullptr, 0, false);
    still->localTranslation = {3, 4, 5};
    CopyBoneKeys(FigureBone(1, 4), still);
    EXPECT_EQ(FigureBone(1, 4)->PositionKeyCount(), 0u);
    EXPECT_EQ(FigureBone(1, 4)->localTranslation.y, 4.0f);

    // Without a bone table anywhere of the three: nothing.
    SgRef<SgNode> bare = MakeSkeleton(9);
    AttachFigureExtraData(bare.Get());
    EXPECT_EQ(CopyFigureAnimation(bare.Get(), FigureNode(1), TemplateNode(201), kAllBones), 0);
    EXPECT_EQ(CopyFigureAnimation(walk, FigureNode(1), bare.Get(), kAllBones), 0);
    PlayFigureAnimation(1, 212, kAllBones);  // no template
    PlayFigureAnimation(2, 211, kAllBones);  // no figure
    EXPECT_EQ(FigureBone(1, 0)->PositionKeys()[0]->position.z, 5.0f);
}

// A material whose animator drives its alpha, the animator flagged by the material's flag byte.
SgRef<Sg3dsAlphaAnimator> AnimateMaterial(SgAVObject* holder, bool flagged) {
    SgRef<SgMaterialProperty> material(new SgMaterialProperty);
    material->override = flagged;
    holder->AddRenderProperty(material.Get());
    SgRef<Sg3dsAlphaAnimator> animator(new Sg3dsAlphaAnimator);
    animator->SetTarget(material.Get());
    return animator;
}

TEST_F(FigureAnimationTest, TimingSetUpByCycleAndTimingArguments) {
    struct Case {
        int cycle, timing;
        uint32_t mode, cycleType;
        uint8_t started, world;
        float keyedFrequency;
    } cases[] = {
        {0, 0, 1, 0, 0, 0, 1.0f}, {1, 0, 1, 2, 0, 0, 1.0f}, {2, 0, 1, 1, 0, 0, 1.0f},
        {0, 1, 0, 0, 1, 1, 1.0f}, {0, 2, 1, 0, 0, 0, 0.1f},
    };
    for (const Case& c : cases) {
        SgRef<SgNode> holder = MakeSkeleton(0);
        SgRef<Sg3dsAnimationNode> keyed(new Sg3dsAnimationNode);
        SgRef<Sg3dsParticleSystem> particles(new Sg3dsParticleSystem);
        holder->InsertChild(keyed.Get(), false);
        holder->InsertChild(particles.Get(), false);
        SgRef<Sg3dsAlphaAnimator> animator = AnimateMaterial(keyed.Get(), false);
        Sg3dsBone* bone = SgKindCast<Sg3dsBone>(holder->ChildAt(0));
        for (SgAnimationTiming* t : std::initializer_list<SgAnimationTiming*>{bone, keyed.Get(), particles.Get(),
                                                                             animator.Get()})
            t->cycleType = 1;
        SetAnimationTiming(holder.Get(), c.cycle, c.timing);
        for (SgAnimationTiming* t : std::initializer_list<SgAnimationTiming*>{bone, keyed.Get(), particles.Get(),
                                                                             animator.Get()}) {
            EXPECT_EQ(t->timeMode, c.mode) << c.cycle << c.timing;
            EXPECT_EQ(t->cycleType, c.cycleType) << c.cycle << c.timing;
            EXPECT_EQ(t->startedFlag, c.started);
            EXPECT_EQ(t->worldUpdateFlag, c.world);
        }
        EXPECT_EQ(bone->frequency, c.keyedFrequency);
        EXPECT_EQ(keyed->frequency, c.keyedFrequency);
        EXPECT_EQ(particles->frequency, 1.0f);
        EXPECT_EQ(animator->frequency, 1.0f);
        animator->Retire();
    }
}

TEST_F(FigureAnimationTest, CollectTakesExactClassesAndFlaggedMaterialAnimators) {
    SgRef<SgNode> model(new SgNode);
    SgRef<Sg3dsBone> bone(new Sg3dsBone);
    SgRef<Sg3dsAnimationNode> keyed(new Sg3dsAnimationNode), empty(new Sg3dsAnimationNode);
    SgRef<Sg3dsParticleSystem> particles(new Sg3dsParticleSystem);
    SgRef<SgTriShape> shape(new SgTriShape);
    SgPositionKey k(0, {0, 0, 0});
    const SgPositionKey* keys[] = {&k};
    keyed->SetPositionKeys(keys, 1, true);
    bone->SetPositionKeys(keys, 1, true);
    model->InsertChild(bone.Get(), false);
    model->InsertChild(empty.Get(), false);
    model->InsertChild(keyed.Get(), false);
    keyed->InsertChild(particles.Get(), false);
    model->InsertChild(shape.Get(), false);
    SgRef<Sg3dsAlphaAnimator> flagged = AnimateMaterial(keyed.Get(), true);
    SgRef<Sg3dsAlphaAnimator> unflagged = AnimateMaterial(model.Get(), false);
    SgRef<Sg3dsAlphaAnimator> onShape = AnimateMaterial(shape.Get(), true);

    FigureAnimatorList list{};
    CollectFigureAnimators(model.Get(), list);
    EXPECT_EQ(list[0], keyed.Get());
    EXPECT_EQ(list[1], flagged.Get());
    EXPECT_EQ(list[2], particles.Get());
    EXPECT_EQ(list[3], nullptr);
    EXPECT_EQ(RunAnimatorList(list, 0.5f), 3);

    // No more than 64.
    SgRef<SgNode> many(new SgNode);
    for (int i = 0; i < 70; ++i)
        many->InsertChild(new Sg3dsParticleSystem, false);
    FigureAnimatorList full{};
    CollectFigureAnimators(many.Get(), full);
    EXPECT_EQ(full[63], many->ChildAt(63));
    for (auto a : {flagged, unflagged, onShape})
        a->Retire();
}

// The body at t, the right arm at t2: the root evaluates the chain with the times each bone
// noted, so both show at once.
TEST_F(FigureAnimationTest, BonesByMaskAndEvaluationRules) {
    PutTemplate(201, 0.0f, 20);
    SgNode* node = PutFigure(1, 201);
    EXPECT_EQ(UpdateFigureAnimation(1, 0.75f, kRightArmMask), 1);
    EXPECT_EQ(UpdateFigureAnimation(1, 0.25f, kAllBones & ~kRightArmMask), 1);
    EXPECT_NEAR(FigureBone(1, 9)->localTranslation.x, 0.75f, 1e-5);
    EXPECT_NEAR(FigureBone(1, 20)->localTranslation.x, 0.75f, 1e-5);
    EXPECT_NEAR(FigureBone(1, 11)->localTranslation.x, 0.25f, 1e-5);
    EXPECT_NEAR(FigureBone(1, 0)->localTranslation.x, 0.25f, 1e-5);

    // Bipeds move by their bones too.
    FigureData(1)->kind = kFigureBiped;
    EXPECT_EQ(UpdateFigureAnimation(1, 0.5f, kAllBones), 1);
    EXPECT_NEAR(FigureBone(1, 11)->localTranslation.x, 0.5f, 1e-5);

    // A hidden figure, an empty slot: nothing.
    node->SetHidden(1);
    EXPECT_EQ(UpdateFigureAnimation(1, 0.9f, kAllBones), 0);
    EXPECT_NEAR(FigureBone(1, 11)->localTranslation.x, 0.5f, 1e-5);
    EXPECT_EQ(UpdateFigureAnimation(2, 0.9f, kAllBones), 0);
    EXPECT_EQ(UpdateFigureAnimation(0, 0.9f, kAllBones), 0);
    node->SetHidden(0);

    // A plain figure runs its list: 0 when the list holds nothing.
    FigureData(1)->kind = kFigurePlain;
    EXPECT_EQ(UpdateFigureAnimation(1, 0.9f, kAllBones), 0);
    FigureData(1)->animatorList = std::make_unique<FigureAnimatorList>();
    FigureData(1)->animatorList->fill(nullptr);
    EXPECT_EQ(UpdateFigureAnimation(1, 0.9f, kAllBones), 0);
    SgRef<Sg3dsAnimationNode> keyed(new Sg3dsAnimationNode);
    SgPositionKey a(0, {0, 0, 0}), b(1, {2, 0, 0});
    const SgPositionKey* keys[] = {&a, &b};
    keyed->SetPositionKeys(keys, 2, true);
    keyed->timeMode = SgAnimationTiming::kTimeApplication;
    node->InsertChild(keyed.Get(), false);
    (*FigureData(1)->animatorList)[0] = keyed.Get();
    EXPECT_EQ(UpdateFigureAnimation(1, 0.5f, kAllBones), 1);
    EXPECT_NEAR(keyed->localTranslation.x, 1.0f, 1e-5);

    // Without a record the whole subtree is played.
    SgRef<SgNode> loose(new SgNode);
    SgRef<Sg3dsAnimationNode> inner(new Sg3dsAnimationNode);
    inner->SetPositionKeys(keys, 2, true);
    inner->timeMode = SgAnimationTiming::kTimeApplication;
    loose->InsertChild(inner.Get(), false);
    Figures().figures[3] = loose;
    EXPECT_EQ(UpdateFigureAnimation(3, 0.25f, kAllBones), 1);
    EXPECT_NEAR(inner->localTranslation.x, 0.5f, 1e-5);

    EXPECT_EQ(GetFigureFrameCount(1), 0);
    EXPECT_EQ(GetFigureFrameCount(3), -1);
    EXPECT_EQ(GetModelFrameCount(201), 20);
    EXPECT_EQ(GetModelFrameCount(202), -1);
    EXPECT_EQ(GetFigureKind(FigureNode(1)), kFigurePlain);
    EXPECT_EQ(GetFigureKind(loose.Get()), 0);
}

// Freeing a figure's list ends only the animators its clone made: the template's own animators
// and the scene objects in the list are only dropped.
TEST_F(FigureAnimationTest, FreeingTheListEndsOnlyTheClonesAnimators) {
    SgNode* shared = PutTemplate(150, 0.0f, 1);
    SgRef<SgNode> figure(new SgNode);
    SgFigureExtraData* data = AttachFigureExtraData(figure.Get());
    data->modelNumber = 150;
    data->animatorList = std::make_unique<FigureAnimatorList>();
    data->animatorList->fill(nullptr);
    SgRef<Sg3dsAnimationNode> keyed(new Sg3dsAnimationNode);
    figure->InsertChild(keyed.Get(), false);
    SgRef<Sg3dsAlphaAnimator> own = AnimateMaterial(keyed.Get(), true);
    SgRef<Sg3dsAlphaAnimator> templates = AnimateMaterial(shared, true);
    keyed->AddRenderProperty(static_cast<SgProperty*>(templates->Target()));  // shared with the template
    (*data->animatorList)[0] = keyed.Get();
    (*data->animatorList)[1] = own.Get();
    (*data->animatorList)[2] = templates.Get();
    const uint32_t keyedCount = keyed->RefCount();

    FreeFigureAnimators(figure.Get(), data);
    EXPECT_EQ(own->Target(), nullptr);
    EXPECT_NE(templates->Target(), nullptr);
    EXPECT_EQ(keyed->RefCount(), keyedCount);
    for (SgObject* entry : *data->animatorList)
        EXPECT_EQ(entry, nullptr);
    templates->Retire();
}

// A world object drives its figure: the walk's keys, then the wind-down, then the idle's.
TEST_F(FigureAnimationTest, WorldObjectsPlayTheirFiguresTemplates) {
    PutTemplate(201, 0.0f, 1);
    PutTemplate(211, 1.0f, 20);   // walk
    PutTemplate(226, 11.0f, 40);  // idle
    PutTemplate(216, 3.0f, 6);    // a turn
    PutTemplate(214, 22.0f, 18);  // strafe right
    PutFigure(7, 201);
    std::memset(&WorldObjectTable[5], 0, sizeof(WorldObject));
    WorldObject& o = WorldObjectTable[5];
    o.type = OBJ_MOVING;
    o.imagenum = 201;
    o.figure = 7;
    o.speed = 80;
    o.x = 9000;  // off the grid: the solid floor stands above, so it is not in the air
    o.y = 9000;
    o.anim_state = static_cast<uint16_t>(kStateOneShotDone);

    EXPECT_EQ(UpdateObjectFigureAnimation(5, 1000, 2), 1);
    EXPECT_EQ(static_cast<int16_t>(o.anim_state), 0);
    EXPECT_EQ(FigureBone(7, 11)->PositionKeys()[0]->position.z, 1.0f);
    EXPECT_EQ(FigureData(7)->frameCount, 20);

    o.speed = 0;
    o.anim_time = 0.6f;  // frame 18 of 20: the wind-down ends at once
    EXPECT_EQ(UpdateObjectFigureAnimation(5, 1000, 2), 1);
    EXPECT_EQ(static_cast<int16_t>(o.anim_state), 9);
    EXPECT_EQ(FigureBone(7, 11)->PositionKeys()[0]->position.z, 11.0f);
    o.state_bits = 1 | 32;  // sliding right
    EXPECT_EQ(UpdateObjectFigureAnimation(5, 1000, 2), 1);
    EXPECT_EQ(static_cast<int16_t>(o.anim_state), 14);
    EXPECT_EQ(FigureBone(7, 11)->PositionKeys()[0]->position.z, 22.0f);

    EXPECT_EQ(PlayObjectFigureAnimation(5, 3), 1);
    EXPECT_EQ(static_cast<int16_t>(o.anim_state), kStateOneShot);
    EXPECT_EQ(FigureBone(7, 11)->PositionKeys()[0]->position.z, 3.0f);
    EXPECT_EQ(PlayObjectFigureAnimation(5, 4), 0);

    // Slots and figures that are not there.
    EXPECT_EQ(UpdateObjectFigureAnimation(0, 1000, 2), 0);
    EXPECT_EQ(UpdateObjectFigureAnimation(kWorldObjectSlots, 1000, 2), 0);
    EXPECT_EQ(PlayObjectFigureAnimation(-1, 3), 0);
    o.figure = 8;
    EXPECT_EQ(UpdateObjectFigureAnimation(5, 1000, 2), 0);
    std::memset(&WorldObjectTable[5], 0, sizeof(WorldObject));
}

}  // namespace
