// Billboards, BSP nodes and collision switches.

#include <gtest/gtest.h>

#include "engine/geometry/sg_special_nodes.h"
#include "tests/engine/special/special_fixture.h"

namespace {

class BillboardTest : public SpecialSceneTest {
protected:
    // A billboard at (10, 0, 0) under a root, with a child one unit along its local z axis.
    void SetUp() override {
        root = new SgNode;
        board = new SgBillboardNode;
        child = MakeCentredTriangle(0.25f);
        child->localTranslation = {0, 0, 1};
        board->InsertChild(child.Get(), false);
        board->localTranslation = {10, 0, 0};
        root->InsertChild(board.Get(), false);
        root->UpdateAllStates();
    }

    // Where the billboard's local z axis points once turned for the camera.
    SgVec3 FacingAfterOrient(uint32_t mode) {
        board->mode = mode;
        board->Orient(camera.Get(), board->CurrentState());
        return board->CurrentState()->worldRotation.TimesVec(SgAxisZ);
    }

    SgRef<SgNode> root;
    SgRef<SgBillboardNode> board;
    SgRef<SgTriShape> child;
};

TEST_F(BillboardTest, EachModeTurnsTheBillboardTowardTheCamera) {
    EXPECT_EQ(board->mode, SgBillboardNode::kTurnAboutY);
    // Turning about y: the local z axis points at the camera at the origin.
    ExpectNearVec(FacingAfterOrient(SgBillboardNode::kTurnAboutY), {-1, 0, 0});
    // The child follows the turn: one unit toward the camera.
    ExpectNearVec(child->CurrentState()->worldTranslation, {9, 0, 0});
    // Facing the camera with its x axis level: z points back along the view.
    ExpectNearVec(FacingAfterOrient(SgBillboardNode::kFaceCamera), {-1, 0, 0});
    ExpectNearVec(board->CurrentState()->worldRotation.TimesVec(SgAxisX), {0, 0, 1});
    // The camera's own frame: right, up and view direction as the columns.
    (void)FacingAfterOrient(SgBillboardNode::kCameraFrame);
    SgMat3 r = board->CurrentState()->worldRotation;
    ExpectNearVec(r.TimesVec(SgAxisX), camera->WorldRight());
    ExpectNearVec(r.TimesVec(SgAxisY), camera->WorldUp());
    ExpectNearVec(r.TimesVec(SgAxisZ), camera->WorldViewDirection());
    // Any other mode leaves it unturned.
    ExpectNearVec(FacingAfterOrient(7), SgAxisZ);
    ExpectNearVec(board->CurrentState()->worldTranslation, {10, 0, 0});
}

TEST_F(BillboardTest, DegenerateViewsKeepAnIdentityTurn) {
    // Straight below the camera: no horizontal distance to turn toward.
    board->localTranslation = {0, -10, 0};
    root->UpdateAllStates();
    ExpectNearVec(FacingAfterOrient(SgBillboardNode::kTurnAboutY), SgAxisZ);

    // A camera looking along the frame's y axis (its first column is y): mode 0 cannot level x.
    camera->localRotation = SgMat3{{0, -1, 0, 1, 0, 0, 0, 0, 1}};
    camera->UpdateAllStates();
    ExpectNearVec(FacingAfterOrient(SgBillboardNode::kFaceCamera), SgAxisZ);
}

TEST_F(BillboardTest, DrawingTurnsItAndTheBoundHoldsEveryTurn) {
    RenderRoot(root.Get());
    ASSERT_EQ(render->Count("DrawTriShape"), 1u);
    // The child is drawn where the turn put it.
    std::vector<RenderCall> placed = render->Named("SetModelTransform");
    ASSERT_FALSE(placed.empty());
    EXPECT_EQ(placed.back().args[0], "(9, 0, 0)");

    // The bound is centred on the billboard and reaches past the child however it turns.
    const SgBoundSphere& bound = board->CurrentState()->worldBound;
    ExpectNearVec(bound.centre, {10, 0, 0});
    EXPECT_GE(bound.radius, 1.0f + child->ModelBound().radius - 1e-5f);
    board->mode = 9;
    board->PropagateBoundUp();
    ExpectNearVec(board->CurrentState()->worldBound.centre, {10, 0, 0});
}

// ---- BSP ----

class BspTest : public SpecialSceneTest {
protected:
    // The plane z = c; child 0 in front (z above it), child 1 behind.
    void Build(float c, bool withFront = true) {
        bsp = new SgBSPNode;
        bsp->modelPlane = SgPlaneEq(SgAxisZ, c);
        front = MakeCentredTriangle();
        back = MakeCentredTriangle();
        front->localTranslation = {10, 0, c + 1};
        back->localTranslation = {10, 0, c - 1};
        if (withFront)
            bsp->SetChildAt(0, front.Get());
        bsp->SetChildAt(1, back.Get());
        bsp->UpdateAllStates();
    }
    std::vector<int> Order() { return DrawnOrder({front.Get(), back.Get()}); }

    SgRef<SgBSPNode> bsp;
    SgRef<SgTriShape> front, back;
};

TEST_F(BspTest, DrawsTheFarSideFirst) {
    Build(-1);  // the camera (at z = 0) is in front
    Frame(bsp.Get());
    EXPECT_EQ(Order(), (std::vector<int>{0, 1}));
    Build(1);  // behind
    Frame(bsp.Get());
    EXPECT_EQ(Order(), (std::vector<int>{1, 0}));
    // The deferral pass with deferral switched off for the subtree draws in the same order.
    camera->useDeferralPass = 1;
    bsp->deferralMode = SgNode::kDeferralOff;
    Frame(bsp.Get());
    EXPECT_EQ(Order(), (std::vector<int>{1, 0}));
}

TEST_F(BspTest, OnThePlaneTheCameraFirstColumnDecides) {
    Build(0);
    EXPECT_TRUE(bsp->CameraInFront(camera.Get())) << "column (1, 0, 0) lies on the plane: front";
    // A camera turned so that its first column points below the plane.
    camera->localRotation = SgMat3{{0, 0, 1, 0, 1, 0, -1, 0, 0}};
    camera->UpdateAllStates();
    EXPECT_FALSE(bsp->CameraInFront(camera.Get()));
}

TEST_F(BspTest, OnlyTwoSlotsAndAnEmptyOneIsSkipped) {
    Build(-1, false);
    Frame(bsp.Get());
    EXPECT_EQ(Order(), (std::vector<int>{1}));
    SgRef<SgTriShape> third = MakeCentredTriangle();
    EXPECT_FALSE(bsp->SetChildAt(2, third.Get()));
    bsp->InsertChild(third.Get(), false);  // appended past slot 1: refused
    EXPECT_EQ(bsp->ChildCount(), 2u);
    bsp->InsertChild(third.Get(), true);  // the empty front slot takes it
    EXPECT_EQ(bsp->ChildAt(0), third.Get());
}

TEST_F(BspTest, ThePlaneFollowsPlacementAndAbsorbedTransforms) {
    Build(2);
    bsp->localTranslation = {0, 0, 3};
    bsp->localScale = 2.0f;
    bsp->UpdateAllStates();
    // n' = R n, c' = c s + T . n'.
    ExpectNearVec(bsp->WorldPlane().normal, SgAxisZ);
    EXPECT_FLOAT_EQ(bsp->WorldPlane().constant, 7.0f);

    // Baking a quarter turn about x (z -> -y) and a lift into the children moves the plane along.
    Build(2);
    const SgMat3 quarter{{1, 0, 0, 0, 0, -1, 0, 1, 0}};
    bsp->AbsorbTransform(quarter, {0, 0, 5}, 1.0f, 0);
    ExpectNearVec(bsp->modelPlane.normal, {0, -1, 0});
    EXPECT_FLOAT_EQ(bsp->modelPlane.constant, 2.0f);
    // A point that was on the plane, moved the same way, still is.
    SgVec3 moved = quarter.TimesVec({4, 5, 2}) + SgVec3{0, 0, 5};
    EXPECT_NEAR(bsp->modelPlane.Distance(moved), 0.0f, 1e-5f);

    // In the parent's frame: the node's own placement stays, the plane moves as its children do.
    Build(2);
    bsp->localTranslation = {1, 0, 0};
    bsp->AbsorbTransform(SgIdentityMat3, {0, 0, 3}, 1.0f, 1);
    EXPECT_FLOAT_EQ(bsp->modelPlane.constant, 5.0f);
    ExpectNearVec(bsp->localTranslation, {1, 0, 0});
    EXPECT_NEAR(front->Vertices()[0].z, 3.0f, 1e-5f);
}

// ---- Collision switch ----

bool Heard(const SgCollisionPair&, void* context) {
    ++*static_cast<int*>(context);
    return true;
}

TEST(SgCollisionSwitchTest, SwitchedOffItNeverCollidesNorIsHit) {
    SgRef<SgCollisionSwitch> sw(new SgCollisionSwitch);
    EXPECT_EQ(sw->collisionOn, 1);
    SgRef<SgTriShape> inside = MakeCentredTriangle(), other = MakeCentredTriangle();
    inside->collisionMode = other->collisionMode = 0;
    sw->InsertChild(inside.Get(), false);
    sw->UpdateAllStates();
    other->UpdateAllStates();
    SgCollisionPair pair;
    pair.sides[0].object = sw.Get();
    pair.sides[1].object = other.Get();
    int heard = 0;
    pair.sides[0].callback = Heard;
    pair.sides[0].context = &heard;
    SgPickRequest hits;
    EXPECT_TRUE(sw->TestCollision(0.0f, other.Get(), pair));
    EXPECT_EQ(sw->FindCollisions(0.0f, other.Get(), pair), 1);
    sw->CollectRayHits({0, 0, 5}, {0, 0, -1}, hits, sw->CurrentState());
    EXPECT_EQ(hits.HitCount(), 1u);
    EXPECT_EQ(heard, 1);

    sw->collisionOn = 0;
    SgPickRequest none;
    EXPECT_FALSE(sw->TestCollision(0.0f, other.Get(), pair));
    EXPECT_EQ(sw->FindCollisions(0.0f, other.Get(), pair), 0);
    sw->CollectRayHits({0, 0, 5}, {0, 0, -1}, none, sw->CurrentState());
    EXPECT_EQ(none.HitCount(), 0u);
    EXPECT_EQ(heard, 1);

    // A copy is a plain node.
    SgRef<SgAVObject> copy = sw->Duplicate();
    EXPECT_TRUE(copy->IsExactly(&SgNode::typeRecord));
}

}  // namespace
