// Figures of world objects: which part of a template a figure clones, clones that share nothing
// animated, the table limit, removal, placement (turns, tilt, hidden figures, rooms) and the
// first-person visibility.

#include "client/present/figure_objects.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <memory>

#include "client/present/figure_animation.h"
#include "client/present/figure_lights.h"
#include "client/present/figure_tree.h"
#include "client/present/room_extra.h"
#include "client/present/rooms.h"
#include "engine/animation/sg_3ds_animators.h"
#include "engine/animation/sg_3ds_morph_shape.h"
#include "engine/animation/sg_3ds_particle_system.h"
#include "engine/geometry/sg_particles.h"
#include "engine/geometry/sg_tri_shape.h"
#include "tests/client/present/figure_fixture.h"
#include "tools/writers/effects_model.h"

namespace {

using namespace present;

constexpr float kPi = 3.14159f;

// Holder -> "Model" -> "Spell" (shape "Rune"), "Part", an unnamed node; each part stands at its own
// x so the clone tells which was copied.
SgRef<SgNode> PartsTemplate() {
    SgRef<SgNode> holder(new SgNode);
    holder->AssignName("sgfs/parts.sgf");
    SgRef<SgNode> model(new SgNode);
    model->AssignName("Model");
    model->localTranslation = SgVec3(4, 0, 0);
    holder->InsertChild(model.Get(), false);
    const char* names[3] = {"Spell", "Part", nullptr};
    for (int i = 0; i < 3; ++i) {
        SgRef<SgNode> part(new SgNode);
        part->AssignName(names[i]);
        part->localTranslation = SgVec3(static_cast<float>(i + 1), 0, 0);
        model->InsertChild(part.Get(), false);
        if (i == 0) {
            const SgVec3 v[3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
            const uint16_t t[3] = {0, 1, 2};
            SgRef<SgTriShape> rune(new SgTriShape(3, v, nullptr, 1, t, nullptr, nullptr));
            rune->AssignName("Rune");
            part->InsertChild(rune.Get(), false);
        }
    }
    holder->UpdateAllStates();
    return holder;
}

class FigureObjectsTest : public testing::Test {
protected:
    void SetUp() override {
        World().worldRoot = SgRef<SgNode>(new SgNode);
        World().sceneActive = 1;
        // As the template loader leaves it: clones keep their names.
        SgAVObject::cloneNaming = 1;
    }
    void TearDown() override {
        SgAVObject::cloneNaming = savedNaming;
        figure_fixture::ClearFigureTables();
        present::ReleaseWorldRooms();
        World() = WorldTables{};
    }
    SgAVObject* Model(int figure) { return FigureData(figure)->model; }
    const int savedNaming = SgAVObject::cloneNaming;
};

TEST_F(FigureObjectsTest, TheNameChoosesThePartThatIsCloned) {
    Figures().templates[5] = PartsTemplate();
    struct Case {
        const char* name;
        float x;  // the copied part's x (0: the whole template)
    };
    const Case cases[] = {{nullptr, 1}, {"part", 2}, {"PART", 2}, {"", 3}, {"Nothing", 0}, {"rune", 0}};
    for (const Case& c : cases) {
        const int f = CreateFigureForObject(5, c.name, 0.01f);
        ASSERT_GT(f, 0);
        SgAVObject* model = Model(f);
        SCOPED_TRACE(c.name ? c.name : "(null)");
        if (c.x)
            EXPECT_EQ(model->localTranslation, SgVec3(c.x, 0, 0));
        else if (std::strcmp(c.name, "rune") == 0)
            EXPECT_TRUE(SgKindCast<SgTriShape>(model));
        else
            EXPECT_EQ(static_cast<SgNode*>(model)->ChildAt(0)->GetName(), std::string("Model"));
        // Named after the template, scaled by the magnitude given.
        EXPECT_STREQ(model->GetName(), "sgfs/parts.sgf");
        EXPECT_FLOAT_EQ(model->localScale, 0.01f);
        EXPECT_EQ(FigureNode(f)->Parent(), World().worldRoot.Get());
        EXPECT_EQ(FigureNode(f)->localTranslation, SgVec3(0.32f, 0.32f, 0));
        RemoveObjectFigure(f);
    }
}

TEST_F(FigureObjectsTest, SkinnedTemplatesAreClonedWholeAndKeepTheirKind) {
    Figures().templates[7] = PartsTemplate();
    SgFigureExtraData* t = AttachFigureExtraData(Figures().templates[7].Get());
    t->kind = kFigureSkinned;
    const int f = CreateFigureForObject(7, nullptr, -2.0f);
    SgFigureExtraData* data = FigureData(f);
    EXPECT_EQ(data->kind, kFigureSkinned);
    EXPECT_EQ(data->modelNumber, 7);
    EXPECT_FLOAT_EQ(data->model->localScale, 2.0f);
    EXPECT_EQ(static_cast<SgNode*>(data->model)->ChildAt(0)->GetName(), std::string("Model"));
    EXPECT_NE(data->boneTable, nullptr);
    EXPECT_EQ(data->animatorList, nullptr);
}

TEST_F(FigureObjectsTest, CreationNeedsASceneATemplateAndAFreeNumber) {
    Figures().templates[0] = PartsTemplate();
    World().sceneActive = 0;
    EXPECT_EQ(CreateFigureForObject(0, nullptr, 1), 0);
    World().sceneActive = 1;
    for (int n : {1, 499, 500, -1})
        EXPECT_EQ(CreateFigureForObject(n, nullptr, 1), 0) << n;
    for (int f = 1; f <= 499; ++f)
        ASSERT_EQ(CreateFigureForObject(0, nullptr, 1), f);
    EXPECT_EQ(CreateFigureForObject(0, nullptr, 1), 0);
    EXPECT_EQ(RemoveObjectFigure(250), 1);
    EXPECT_EQ(CreateFigureForObject(0, nullptr, 1), 250);
}

TEST_F(FigureObjectsTest, AGridFigureStandsOnItsCell) {
    Figures().templates[3] = PartsTemplate();
    std::unique_ptr<int16_t[]> grid(new int16_t[128 * 128]());
    grid[5 * 128 + 9] = 150;
    const int f = BuildFigureFromTemplate(World().worldRoot.Get(), grid.get(), 5, 9, 3, 0.01f, "");
    EXPECT_EQ(FigureNode(f)->localTranslation, SgVec3(0.32f + 0.64f * 5, 0.32f + 0.64f * 9, -1.5f));
    // A cell outside the grid reads no height.
    const int g = BuildFigureFromTemplate(World().worldRoot.Get(), grid.get(), 128, 0, 3, 0.01f, "");
    EXPECT_EQ(FigureNode(g)->localTranslation, SgVec3(0.32f, 0.32f, 0));
}

// Two figures of the effects sample: nothing animated is shared.
TEST_F(FigureObjectsTest, ClonesAnimateApart) {
    EffectsModel effects = BuildEffectsModel();
    SgRef<SgNode> holder(new SgNode);
    holder->InsertChild(effects.root.Get(), false);
    holder->AssignName("sgfs/effects.sgf");
    Figures().templates[9] = holder;
    const int a = CreateFigureForObject(9, nullptr, 1), b = CreateFigureForObject(9, nullptr, 1);
    ASSERT_TRUE(a && b);
    auto find = [](SgObject* root, const char* name) { return SgKindCast<SgAVObject>(FindNamedObject(root, name)); };

    auto* blobA = SgKindCast<Sg3dsMorphShape>(find(Model(a), "blob"));
    auto* blobB = SgKindCast<Sg3dsMorphShape>(find(Model(b), "blob"));
    auto* blobT = SgKindCast<Sg3dsMorphShape>(find(holder.Get(), "blob"));
    ASSERT_TRUE(blobA && blobB && blobT);
    EXPECT_NE(blobA, blobB);
    EXPECT_NE(blobA->Vertices(), blobB->Vertices());
    const SgVec3 before = blobB->Vertices()[2];
    blobA->UpdateAppTime(0.7f);
    EXPECT_FALSE(blobA->Vertices()[2] == before);
    EXPECT_EQ(blobB->Vertices()[2], before);
    EXPECT_EQ(blobA->cycleType, blobT->cycleType);
    EXPECT_EQ(blobA->startedFlag, blobA->timeMode == SgAnimationTiming::kTimeNone ? 1 : 0);

    auto* sprayA = SgKindCast<Sg3dsParticleSystem>(find(Model(a), "spray"));
    auto* sprayB = SgKindCast<Sg3dsParticleSystem>(find(Model(b), "spray"));
    ASSERT_TRUE(sprayA && sprayB);
    EXPECT_NE(sprayA->Geometry(), sprayB->Geometry());
    EXPECT_EQ(sprayA->Geometry()->VertexCount(), 48);

    auto material = [](SgAVObject* o) { return static_cast<SgMaterialProperty*>(o->FindPropertyOfType(SG_MATERIAL_PROPERTY)); };
    SgMaterialProperty* glowA = material(find(Model(a), "glow"));
    SgMaterialProperty* glowB = material(find(Model(b), "glow"));
    SgMaterialProperty* glowT = material(find(holder.Get(), "glow"));
    ASSERT_TRUE(glowA && glowB && glowT);
    EXPECT_NE(glowA, glowB);
    EXPECT_NE(glowA, glowT);
    auto animatorOf = [](SgMaterialProperty* m) -> Sg3dsPropertyAnimator* {
        for (SgExtraData* e = m->ExtraHead(); e; e = e->next)
            if (e->IsKindOf(&Sg3dsPropAnimExtraData::typeRecord))
                return static_cast<Sg3dsPropAnimExtraData*>(e)->animator.Get();
        return nullptr;
    };
    // The copy's animator is a new one of the class of the template's, driving the copy only.
    Sg3dsPropertyAnimator* animatorA = animatorOf(glowA);
    ASSERT_NE(animatorA, nullptr);
    EXPECT_NE(animatorA, animatorOf(glowT));
    EXPECT_EQ(animatorA->Target(), glowA);
    EXPECT_EQ(animatorA->GetTypeRecord(), animatorOf(glowT)->GetTypeRecord());
    EXPECT_EQ(animatorA->highKeyTime, animatorOf(glowT)->highKeyTime);
    const SgRgb diffuseB = glowB->diffuse, diffuseA = glowA->diffuse;
    const float alphaB = glowB->alpha;
    animatorA->UpdateAppTime(0.5f);
    EXPECT_FALSE(glowA->diffuse == diffuseA && glowA->alpha == alphaB);
    EXPECT_EQ(glowB->diffuse, diffuseB);
    EXPECT_EQ(glowB->alpha, alphaB);

    // Every node's sort word is 2.
    std::function<void(SgAVObject*)> sorted = [&](SgAVObject* o) {
        if (auto* n = SgKindCast<SgNode>(o)) {
            EXPECT_EQ(n->deferralMode, 2u) << (n->GetName() ? n->GetName() : "");
            for (uint32_t i = 0; i < n->ChildCount(); ++i)
                if (n->ChildAt(i))
                    sorted(n->ChildAt(i));
        }
    };
    sorted(Model(a));
}

// A copied morph keeps the mode, cycle, world update and the five floats; it starts only in mode 0.
TEST_F(FigureObjectsTest, CopiedMorphsKeepTheirTimingAndStartOnlyWithoutAClock) {
    for (uint32_t mode : {SgAnimationTiming::kTimeNone, SgAnimationTiming::kTimeApplication, SgAnimationTiming::kTimeReal}) {
        EffectsModel effects = BuildEffectsModel();
        auto* blob = SgKindCast<Sg3dsMorphShape>(FindNamedObject(effects.root.Get(), "blob"));
        ASSERT_NE(blob, nullptr);
        blob->timeMode = mode;
        blob->startedFlag = mode == SgAnimationTiming::kTimeNone ? 0 : 1;
        blob->worldUpdateFlag = 0;
        blob->cycleType = SgAnimationTiming::kCycleReverse;
        blob->frequency = 0.5f;
        blob->phase = 0.25f;
        blob->reservedValue = 3;
        SgRef<SgAVObject> clone = effects.root->Duplicate();
        SgRef<SgAVObject> fixed = FixUpFigureClone(clone.Get(), nullptr, 0);
        ASSERT_EQ(fixed.Get(), clone.Get());
        auto* copy = SgKindCast<Sg3dsMorphShape>(FindNamedObject(clone.Get(), "blob"));
        ASSERT_NE(copy, nullptr);
        SCOPED_TRACE(mode);
        EXPECT_EQ(copy->timeMode, mode);
        EXPECT_EQ(copy->startedFlag, mode == SgAnimationTiming::kTimeNone ? 1 : 0);
        EXPECT_EQ(copy->worldUpdateFlag, 0);
        EXPECT_EQ(copy->cycleType, SgAnimationTiming::kCycleReverse);
        EXPECT_EQ(copy->frequency, 0.5f);
        EXPECT_EQ(copy->phase, 0.25f);
        EXPECT_EQ(copy->reservedValue, 3.0f);
        EXPECT_EQ(copy->lowKeyTime, blob->lowKeyTime);
        EXPECT_EQ(copy->highKeyTime, blob->highKeyTime);
    }
    // A morph at the top has no parent: the copy comes back in its place.
    EffectsModel effects = BuildEffectsModel();
    SgAVObject* blob = SgKindCast<SgAVObject>(FindNamedObject(effects.root.Get(), "blob"));
    SgRef<SgAVObject> alone = blob->Duplicate();
    SgRef<SgAVObject> fixed = FixUpFigureClone(alone.Get(), nullptr, 0);
    EXPECT_NE(fixed.Get(), alone.Get());
    EXPECT_TRUE(SgKindCast<Sg3dsMorphShape>(fixed.Get()));
}

TEST_F(FigureObjectsTest, RemovingAFigureFreesWhatItMade) {
    EffectsModel effects = BuildEffectsModel();
    SgRef<SgNode> holder(new SgNode);
    holder->InsertChild(effects.root.Get(), false);
    Figures().templates[9] = holder;
    Figures().templates[2] = PartsTemplate();
    holder->UpdateAllStates();
    const uint32_t before = SgObject::LiveCount();
    const int a = CreateFigureForObject(9, nullptr, 1);
    const int b = CreateFigureForObject(2, "Spell", 1);
    AttachFigureLight(b, 10, 10, 1, 1, 1, 0);
    const int bb = CreateFigureBillboard(b);
    EXPECT_GT(SgObject::LiveCount(), before);
    EXPECT_EQ(RemoveObjectFigure(a), 1);
    EXPECT_EQ(RemoveObjectFigure(b), 1);
    RemoveFigureBillboard(bb);
    EXPECT_EQ(SgObject::LiveCount(), before);
    EXPECT_EQ(RemoveObjectFigure(a), 0);
    EXPECT_EQ(FigureNode(a), nullptr);
    EXPECT_EQ(World().worldRoot->ChildCount() == 0 || !World().worldRoot->ChildAt(0), true);
}

SgMat3 Rows(float a, float b, float c, float d, float e, float f, float g, float h, float i) {
    SgMat3 m;
    const float v[9] = {a, b, c, d, e, f, g, h, i};
    std::memcpy(m.m, v, sizeof v);
    return m;
}

SgMat3 HalfTurn() { return Rows(std::cos(kPi), 0, -std::sin(kPi), 0, 1, 0, std::sin(kPi), 0, std::cos(kPi)); }
SgMat3 TurnZ(float a) { return Rows(std::cos(a), std::sin(a), 0, -std::sin(a), std::cos(a), 0, 0, 0, 1); }
SgMat3 TiltX(float t) { return Rows(1, 0, 0, 0, std::cos(t), std::sin(t), 0, -std::sin(t), std::cos(t)); }

void ExpectMatrix(const SgMat3& got, const SgMat3& want) {
    for (int i = 0; i < 9; ++i)
        EXPECT_NEAR(got.m[i], want.m[i], 1e-5f) << i;
}

TEST_F(FigureObjectsTest, DirectionsTurnAboutZKeepingTheirSign) {
    Figures().templates[1] = PartsTemplate();
    const int f = CreateFigureForObject(1, nullptr, 0.01f);
    struct Case {
        int direction;
        float angle;
    };
    const Case cases[] = {{2048, 0}, {6144, 0}, {0, 2048 * 2 * kPi / 4096}, {1024, 1024 * 2 * kPi / 4096},
                          {8192, -2048 * 2 * kPi / 4096}, {12000, -(5856 % 4096) * 2 * kPi / 4096}};
    for (const Case& c : cases) {
        EXPECT_EQ(PlaceObjectFigure(f, 0, 0, 0, c.direction, 0, 1, 1, 0), f);
        SCOPED_TRACE(c.direction);
        ExpectMatrix(Model(f)->localRotation, TurnZ(c.angle) * HalfTurn());
    }
}

TEST_F(FigureObjectsTest, TiltAccumulatesUnlessTheRotationIsRebuilt) {
    Figures().templates[1] = PartsTemplate();
    const int f = CreateFigureForObject(1, nullptr, 0.01f);
    const float t = 10 * kPi / 180;
    PlaceObjectFigure(f, 0, 0, 0, 2048, 10, 1, 1, 0);
    ExpectMatrix(Model(f)->localRotation, TiltX(t) * HalfTurn());
    PlaceObjectFigure(f, 0, 0, 0, 2048, 10, 1, 0, 0);
    ExpectMatrix(Model(f)->localRotation, TiltX(t) * TiltX(t) * HalfTurn());
    PlaceObjectFigure(f, 0, 0, 0, 2048, 10, 1, 1, 0);
    ExpectMatrix(Model(f)->localRotation, TiltX(t) * HalfTurn());
}

TEST_F(FigureObjectsTest, PlacementMovesShownFiguresOnly) {
    Figures().templates[1] = PartsTemplate();
    const int f = CreateFigureForObject(1, nullptr, 0.01f);
    EXPECT_EQ(PlaceObjectFigure(f, 6553600 * 3, -6553600, 655360, 0, 0, 1, 1, 0), f);
    EXPECT_EQ(FigureNode(f)->localTranslation, SgVec3(3, -1, -0.1f));
    FigureNode(f)->SetHidden(1);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(PlaceObjectFigure(f, 0, 0, 0, 0, 0, 1, 1, 0), 0);
    EXPECT_EQ(FigureNode(f)->localTranslation, SgVec3(3, -1, -0.1f));
    ShowObjectFigure(f);
    EXPECT_EQ(PlaceObjectFigure(f, 0, 0, 0, 0, 0, 1, 1, 0), f);
    EXPECT_EQ(FigureNode(f)->localTranslation, SgVec3(0, 0, 0));
    for (int n : {0, 300, 500, -4})
        EXPECT_EQ(PlaceObjectFigure(n, 0, 0, 0, 0, 0, 1, 1, 0), 0) << n;
    // A figure without its model is not placed.
    FigureData(f)->model = nullptr;
    EXPECT_EQ(PlaceObjectFigure(f, 0, 0, 0, 0, 0, 1, 1, 0), 0);
}

TEST_F(FigureObjectsTest, ARoomChangeReparentsOnceAndRelightsTheFigure) {
    // Two rooms side by side, 0..255 and 256..511 game units along x.
    WorldTables& w = World();
    w.portalMode = 1;
    w.roomGroup = SgRef<SgRoomGroup>(new SgRoomGroup);
    w.worldRoot->InsertChild(w.roomGroup.Get(), false);
    RoomPortalDefs* defs = new RoomPortalDefs;
    std::unique_ptr<RoomPortalDefs> own(defs);
    defs->rooms[0] = RoomDef{1, 0, 0, 0, 3, 3, 256};
    defs->rooms[1] = RoomDef{1, 4, 0, 0, 7, 3, 256};
    for (int i = 0; i < 2; ++i) {
        ASSERT_NE(CreateGroupRoom(w.roomTable[i], false), nullptr);
        BuildRoomWalls(*defs, i);
    }
    ASSERT_NE(BuildOutsideRoom(), nullptr);
    w.worldRoot->UpdateAllStates();
    SgNode* roomA = RoomDataOf(w.roomTable[0].Get())->objectNode;
    SgNode* roomB = RoomDataOf(w.roomTable[1].Get())->objectNode;

    Figures().templates[1] = PartsTemplate();
    const int f = CreateFigureForObject(1, nullptr, 0.01f);
    AttachFigureLight(f, 100, 100, 255, 255, 255, 0);
    SgLight* light = FigureData(f)->light;
    const int x = 100 * 65536, y = 100 * 65536, z = 50 * 65536;
    PlaceObjectFigure(f, x, y, z, 0, 0, 1, 1, 0);
    EXPECT_EQ(FigureNode(f)->Parent(), roomA);
    EXPECT_GT(light->LitNodes().Count(), 0u);
    // Within the same room: neither moved nor lit again.
    light->ForgetAllLitNodes();
    PlaceObjectFigure(f, x + 65536 * 20, y, z, 0, 0, 1, 1, 0);
    EXPECT_EQ(FigureNode(f)->Parent(), roomA);
    EXPECT_EQ(light->LitNodes().Count(), 0u);
    EXPECT_EQ(roomA->ChildCount(), 1u);
    PlaceObjectFigure(f, 300 * 65536, y, z, 0, 0, 1, 1, 0);
    EXPECT_EQ(FigureNode(f)->Parent(), roomB);
    EXPECT_FALSE(roomA->ChildAt(0));
    EXPECT_GT(light->LitNodes().Count(), 0u);
    bool litB = false;
    for (SgNode* node : light->LitNodes())
        litB |= node == roomB;
    EXPECT_TRUE(litB);
}

TEST_F(FigureObjectsTest, FirstPersonViewKeepsOnlyTheLightAndOverlay) {
    Figures().templates[1] = PartsTemplate();
    const int f = CreateFigureForObject(1, nullptr, 0.01f);
    SgFigureExtraData* data = FigureData(f);
    SgRef<SgNode> marks(new SgNode), billboard(new SgNode);
    data->groundMarker = marks.Get();
    data->billboard = billboard.Get();
    SetFigureFirstPersonVisibility(f, 0);
    EXPECT_TRUE(FigureNode(f)->IsHidden());
    SetFigureFirstPersonVisibility(f, 1);
    EXPECT_FALSE(FigureNode(f)->IsHidden());
    EXPECT_TRUE(data->model->IsHidden());
    EXPECT_TRUE(marks->IsHidden());
    EXPECT_TRUE(billboard->IsHidden());
    ShowFigureWithParts(f, 0);
    EXPECT_TRUE(data->model->IsHidden());
    ShowFigureWithParts(f, 1);
    EXPECT_FALSE(data->model->IsHidden());
    EXPECT_FALSE(marks->IsHidden());
    EXPECT_FALSE(billboard->IsHidden());
    for (int n : {0, 2, 500}) {
        SetFigureFirstPersonVisibility(n, 1);
        ShowFigureWithParts(n, 1);
        ShowObjectFigure(n);
        EXPECT_EQ(RemoveObjectFigure(n), 0);
    }
}

}  // namespace
