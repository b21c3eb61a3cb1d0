// Attachments that follow the bones: ground marks, the held part, the overlay's place by part,
// its removal, element texture and colour.

#include <gtest/gtest.h>

#include "client/present/figure_anim_state.h"
#include "client/present/figure_attach.h"
#include "engine/animation/sg_3ds_animators.h"
#include "engine/animation/sg_3ds_particle_system.h"
#include "engine/core/sg_light.h"
#include "engine/core/sg_texture_property.h"
#include "tests/client/present/figure_anim/skeleton_fixture.h"

namespace {

using namespace present;
using namespace figure_test;

// Figure 1 at (10, 20, 0): bone i stands at F + (2x, i, -2) when its keys are at x (the root's
// keys add their x to every bone).
class FigureAttachTest : public testing::Test {
protected:
    void SetUp() override {
        ClearFigureTables();
        PutTemplate(201, 0.0f, 20);
        node = PutFigure(1, 201);
        node->localTranslation = {10, 20, 0};
        Pose(0.0f);
    }
    void TearDown() override { ClearFigureTables(); }

    void Pose(float t) {
        UpdateFigureAnimation(1, t, kAllBones);
        node->UpdateAllStates();
    }
    SgNode* Attach(SgNode*& field, int children) {
        SgRef<SgNode> part(new SgNode);
        for (int i = 0; i < children; ++i)
            part->InsertChild(new SgNode, false);
        node->InsertChild(part.Get(), true);
        field = part.Get();
        return part.Get();
    }

    SgNode* node = nullptr;
};

TEST_F(FigureAttachTest, GroundMarksFollowTheFeetAndHideHighAboveTheFloor) {
    SgNode* marks = Attach(FigureData(1)->groundMarker, 2);
    PlaceFigureGroundMarks(1, -1.20f);  // 120 units above the floor: shown, 0.01 above it
    EXPECT_FALSE(marks->IsHidden());
    EXPECT_NEAR(marks->localTranslation.z, 1.19f, 1e-6);
    EXPECT_NEAR(marks->ChildAt(0)->localTranslation.y, 16 * 0.75f, 1e-5);  // right foot
    EXPECT_NEAR(marks->ChildAt(1)->localTranslation.y, 13 * 0.75f, 1e-5);  // left foot
    EXPECT_EQ(marks->ChildAt(0)->localTranslation.z, 0.0f);

    PlaceFigureGroundMarks(1, -1.30f);  // 130 units: hidden, held at 1.28
    EXPECT_TRUE(marks->IsHidden());
    EXPECT_NEAR(marks->localTranslation.z, 1.27f, 1e-6);

    Pose(0.5f);
    PlaceFigureGroundMarks(1, 0.0f);
    EXPECT_FALSE(marks->IsHidden());
    EXPECT_NEAR(marks->ChildAt(0)->localTranslation.x, 1.0f * 0.75f, 1e-5);
    EXPECT_NEAR(marks->localTranslation.z, -0.01f, 1e-6);

    HideFigureGroundMarks(1);
    EXPECT_TRUE(marks->ChildAt(0)->IsHidden() && marks->ChildAt(1)->IsHidden());
    ShowFigureGroundMarks(1);
    EXPECT_FALSE(marks->ChildAt(0)->IsHidden() || marks->ChildAt(1)->IsHidden());

    EXPECT_EQ(DetachFigureGroundMarks(1), 1);
    EXPECT_EQ(FigureData(1)->groundMarker, nullptr);
    EXPECT_EQ(DetachFigureGroundMarks(1), 0);
    EXPECT_EQ(DetachFigureGroundMarks(2), 0);
}

TEST_F(FigureAttachTest, HeldPartSitsAtTheRightFinger) {
    SgNode* held = Attach(FigureData(1)->heldPart, 1);
    Pose(0.25f);
    PlaceFigureHeldPart(1);
    const SgVec3 at = held->ChildAt(0)->localTranslation;
    EXPECT_NEAR(at.x, 0.5f, 1e-5);
    EXPECT_NEAR(at.y, 20.0f, 1e-5);
    EXPECT_NEAR(at.z, -2.0f, 1e-5);
    EXPECT_EQ(DetachFigureHeldPart(1), 1);
    EXPECT_EQ(FigureData(1)->heldPart, nullptr);
    EXPECT_EQ(DetachFigureHeldPart(1), 0);
}

TEST_F(FigureAttachTest, OverlayFollowsItsPart) {
    SgNode* overlay = Attach(FigureData(1)->overlay, 0);
    struct Case {
        int part;
        float t;
        SgVec3 expected;
    } cases[] = {
        {65, 0.0f, {0, 14.5f, -2}},   // between the feet (13 and 16)
        {65, 0.5f, {1, 14.5f, -2}},   // and still there while the figure walks
        {64, 0.5f, {1, 19.5f, -2}},   // between the fingers (19 and 20)
        {5, 0.25f, {0.5f, 5, -2}},    // a bone
        {31, 0.25f, {0.5f, 31, -2}},
    };
    for (const Case& c : cases) {
        FigureData(1)->overlayPart = c.part;
        Pose(c.t);
        PlaceFigureOverlay(1);
        EXPECT_NEAR(overlay->localTranslation.x, c.expected.x, 1e-5) << c.part;
        EXPECT_NEAR(overlay->localTranslation.y, c.expected.y, 1e-5) << c.part;
        EXPECT_NEAR(overlay->localTranslation.z, c.expected.z, 1e-5) << c.part;
    }
    // Parts that name no bone leave it where it is.
    for (int part : {32, 63, 66, -1, 1000}) {
        overlay->localTranslation = {7, 7, 7};
        FigureData(1)->overlayPart = part;
        PlaceFigureOverlay(1);
        EXPECT_EQ(overlay->localTranslation.x, 7.0f) << part;
    }
}

TEST_F(FigureAttachTest, RemovingTheOverlayEndsItsOwnAnimatorsOnly) {
    PutTemplate(20, 0.0f, 1);
    SgNode* overlay = Attach(FigureData(1)->overlay, 1);
    SgRef<SgLight> light(new SgLight);
    overlay->InsertChild(light.Get(), false);
    SgRef<SgNode> room(new SgNode);
    room->AddLight(light.Get());
    SgFigureExtraData* data = FigureData(1);
    data->overlayPart = 65;
    data->overlayModel = 20;
    data->overlayAnimatorList = std::make_unique<FigureAnimatorList>();
    data->overlayAnimatorList->fill(nullptr);
    SgRef<SgMaterialProperty> mine(new SgMaterialProperty), shared(new SgMaterialProperty);
    overlay->AddRenderProperty(mine.Get());
    TemplateNode(20)->AddRenderProperty(shared.Get());
    SgRef<Sg3dsAlphaAnimator> own(new Sg3dsAlphaAnimator), templates(new Sg3dsAlphaAnimator);
    own->SetTarget(mine.Get());
    templates->SetTarget(shared.Get());
    (*data->overlayAnimatorList)[0] = overlay->ChildAt(0);
    (*data->overlayAnimatorList)[1] = own.Get();
    (*data->overlayAnimatorList)[2] = templates.Get();
    SgRef<SgNode> keep(overlay);

    EXPECT_EQ(RemoveFigureOverlay(1), 1);
    EXPECT_EQ(data->overlay, nullptr);
    EXPECT_EQ(data->overlayPart, 0);
    EXPECT_EQ(overlay->Parent(), nullptr);
    EXPECT_EQ(own->Target(), nullptr);
    EXPECT_EQ(templates->Target(), shared.Get());
    EXPECT_TRUE(room->Lights().IsEmpty());
    EXPECT_EQ((*data->overlayAnimatorList)[1], nullptr);
    EXPECT_EQ(RemoveFigureOverlay(1), 0);
    EXPECT_EQ(RemoveFigureOverlay(0), 0);
    templates->Retire();
}

// An overlay template: a "Spell" node holding a keyed node and a particle system.
SgNode* PutOverlayTemplate(int n) {
    SgRef<SgNode> holder(new SgNode);
    SgRef<SgNode> spell(new SgNode);
    spell->AssignName("Spell");
    SgRef<Sg3dsAnimationNode> keyed(new Sg3dsAnimationNode);
    SgPositionKey a(0, {0, 0, 0}), b(1, {1, 0, 0});
    const SgPositionKey* keys[] = {&a, &b};
    keyed->SetPositionKeys(keys, 2, true);
    spell->InsertChild(keyed.Get(), false);
    spell->InsertChild(new Sg3dsParticleSystem, false);
    holder->InsertChild(new SgNode, false);  // not copied: only "Spell" is
    holder->InsertChild(spell.Get(), false);
    Figures().templates[n] = holder;
    SgAVObject::cloneNaming = 1;  // as the template loader leaves it
    return holder.Get();
}

TEST_F(FigureAttachTest, OverlayModelCopiesTheSpellNodeTurnedByMode) {
    SgNode* source = PutOverlayTemplate(20);
    EXPECT_EQ(CreateFigureOverlayModel(1, 21, 65, 0, 0, 0), 0);  // no template
    EXPECT_EQ(FigureData(1)->overlay, nullptr);
    ASSERT_EQ(CreateFigureOverlayModel(1, 20, 65, 0, 0, 0), 1);
    SgFigureExtraData* data = FigureData(1);
    SgNode* overlay = data->overlay;
    ASSERT_TRUE(overlay);
    EXPECT_EQ(overlay->Parent(), node);
    EXPECT_EQ(data->overlayPart, 65);
    auto* copy = SgKindCast<SgNode>(overlay->ChildAt(0));
    ASSERT_TRUE(copy);
    EXPECT_STREQ(copy->GetName(), "Spell");
    EXPECT_FLOAT_EQ(copy->localScale, 0.01f);
    ASSERT_TRUE(data->overlayAnimatorList);
    SgObject* first = (*data->overlayAnimatorList)[0];
    EXPECT_EQ(first, copy->ChildAt(0));  // the copy's, not the template's
    EXPECT_NE(first, SgKindCast<SgNode>(source->ChildAt(1))->ChildAt(0));
    EXPECT_EQ((*data->overlayAnimatorList)[1], copy->ChildAt(1));
    EXPECT_EQ((*data->overlayAnimatorList)[2], nullptr);
    // Mode 0: a half turn about y.
    EXPECT_NEAR(overlay->localRotation.m[0], -1.0f, 1e-5);
    EXPECT_NEAR(overlay->localRotation.m[8], -1.0f, 1e-5);
    EXPECT_NEAR(overlay->localRotation.m[4], 1.0f, 1e-5);

    // A second overlay replaces the first. Mode 1 faces the direction: 1024 turns a quarter
    // about z after the half turn about y.
    SgRef<SgNode> old(overlay);
    ASSERT_EQ(CreateFigureOverlayModel(1, 20, 5, 1, 1024, 0), 1);
    EXPECT_EQ(old->Parent(), nullptr);
    overlay = FigureData(1)->overlay;
    int overlays = 0;
    for (uint32_t i = 0; i < node->ChildCount(); ++i)
        overlays += node->ChildAt(i) == overlay || node->ChildAt(i) == old.Get();
    EXPECT_EQ(overlays, 1);
    const float* m = overlay->localRotation.m;
    // Rz(90) rows (0, 1, 0), (-1, 0, 0), (0, 0, 1) times the half turn about y.
    EXPECT_NEAR(m[1], 1.0f, 1e-5);
    EXPECT_NEAR(m[3], 1.0f, 1e-5);
    EXPECT_NEAR(m[8], -1.0f, 1e-5);
    // Mode 2 tilts: tilt 90 leaves no turn about y; direction 1024 gives v = 4096, no facing.
    ASSERT_EQ(CreateFigureOverlayModel(1, 20, 5, 2, 1024, 90), 1);
    m = FigureData(1)->overlay->localRotation.m;
    EXPECT_NEAR(m[0], 1.0f, 1e-5);
    EXPECT_NEAR(m[4], 1.0f, 1e-5);
    EXPECT_NEAR(m[8], 1.0f, 1e-5);
    // Mode 3 leans an eighth of a turn about x as well.
    ASSERT_EQ(CreateFigureOverlayModel(1, 20, 5, 3, 1024, 90), 1);
    m = FigureData(1)->overlay->localRotation.m;
    EXPECT_NEAR(m[4], 0.70710678f, 1e-5);
    EXPECT_NEAR(m[5], 0.70710678f, 1e-5);
    EXPECT_EQ(RemoveFigureOverlay(1), 1);
}

TEST_F(FigureAttachTest, OverlayElementAndColour) {
    EXPECT_EQ(SetFigureOverlayElement(1, 3), 0);  // no overlay yet
    EXPECT_EQ(SetFigureOverlayColor(1, 1, 2, 3), 0);
    SgNode* overlay = Attach(FigureData(1)->overlay, 0);
    SgRef<SgTextureProperty> heat(new SgTextureProperty);
    Figures().elementTextures[3] = heat;
    EXPECT_EQ(SetFigureOverlayElement(1, 3), 1);
    EXPECT_EQ(overlay->FindPropertyOfType(SG_TEXTURE_PROPERTY), heat.Get());
    for (int n : {6, 10, -1}) {  // an empty slot, numbers outside the table
        EXPECT_EQ(SetFigureOverlayElement(1, n), 1);
        EXPECT_EQ(overlay->FindPropertyOfType(SG_TEXTURE_PROPERTY), nullptr) << n;
    }
    Figures().elementTextures[3] = nullptr;

    EXPECT_EQ(SetFigureOverlayColor(1, 255, 0, 51), 1);
    EXPECT_EQ(SetFigureOverlayColor(1, 255, 0, 51), 1);
    int materials = 0;
    for (SgProperty* p : overlay->properties)
        materials += p->PropertyType() == SG_MATERIAL_PROPERTY;
    EXPECT_EQ(materials, 1);
    auto* m = static_cast<SgMaterialProperty*>(overlay->FindPropertyOfType(SG_MATERIAL_PROPERTY));
    for (const SgRgb& c : {m->ambient, m->diffuse, m->emissive}) {
        EXPECT_FLOAT_EQ(c.r, 1.0f);
        EXPECT_FLOAT_EQ(c.g, 0.0f);
        EXPECT_FLOAT_EQ(c.b, 0.2f);
    }
    EXPECT_EQ(m->override, 1);
    EXPECT_EQ(m->changed, 1);
}

}  // namespace
