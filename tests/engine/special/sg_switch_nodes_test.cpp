// Switch, animation-switch and level-of-detail nodes: which child they draw, update and collide
// through.

#include <gtest/gtest.h>

#include <cmath>

#include "engine/geometry/sg_switch_nodes.h"
#include "tests/engine/special/special_fixture.h"

namespace {

class SwitchTest : public SpecialSceneTest {
protected:
    // n triangles in a row in front of the camera, under the node.
    std::vector<SgTriShape*> Fill(SgNode* node, int n) {
        std::vector<SgTriShape*> shapes;
        for (int i = 0; i < n; ++i) {
            SgRef<SgTriShape> s = MakeCentredTriangle();
            s->localTranslation = {10, 0, float(i) - 1.5f};
            node->InsertChild(s.Get(), false);
            shapes.push_back(s.Get());
        }
        node->UpdateAllStates();
        return shapes;
    }
};

TEST_F(SwitchTest, DrawsOnlyTheActiveChild) {
    SgRef<SgSwitchNode> sw(new SgSwitchNode);
    std::vector<SgTriShape*> shapes = Fill(sw.Get(), 3);
    Frame(sw.Get());
    EXPECT_TRUE(DrawnOrder(shapes).empty()) << "index -1 draws nothing";

    sw->activeChild = 1;
    Frame(sw.Get());
    EXPECT_EQ(DrawnOrder(shapes), std::vector<int>{1});
    sw->activeChild = 7;  // past the children
    Frame(sw.Get());
    EXPECT_TRUE(DrawnOrder(shapes).empty());

    // The deferral pass draws the active child alone too.
    camera->useDeferralPass = 1;
    sw->activeChild = 2;
    Frame(sw.Get());
    EXPECT_EQ(DrawnOrder(shapes), std::vector<int>{2});
    EXPECT_EQ(camera->deferralFlag, 1);
}

TEST_F(SwitchTest, UpdateOnlyActiveUpdatesTheDrawnChildOncePerGeneration) {
    SgRef<SgSwitchNode> sw(new SgSwitchNode);
    SgRef<CountingNode> a(new CountingNode), b(new CountingNode);
    a->InsertChild(MakeCentredTriangle().Get(), false);
    b->InsertChild(MakeCentredTriangle().Get(), false);
    sw->InsertChild(a.Get(), false);
    sw->InsertChild(b.Get(), false);
    sw->localTranslation = {10, 0, 0};
    sw->UpdateAllStates();  // every child, and the model bound
    EXPECT_EQ(a->updates, 1);
    EXPECT_EQ(b->updates, 1);

    sw->updateOnlyActive = 1;
    sw->activeChild = 0;
    uint32_t generation = sw->UpdateGeneration();
    sw->UpdateAllStates();
    EXPECT_EQ(sw->UpdateGeneration(), generation + 1);
    EXPECT_EQ(a->updates, 1) << "the update leaves the children stale";
    Frame(sw.Get());
    EXPECT_EQ(a->updates, 2) << "the drawn child catches up at its push";
    Frame(sw.Get());
    EXPECT_EQ(a->updates, 2) << "once per generation";
    EXPECT_EQ(b->updates, 1) << "a child never drawn is never updated";
    EXPECT_EQ(sw->ChildStamp(0), sw->UpdateGeneration());

    // A change of children starts the generations over.
    sw->InsertChild(MakeCentredTriangle().Get(), false);
    EXPECT_EQ(sw->UpdateGeneration(), 1u);
    EXPECT_EQ(sw->ChildStamp(2), 0u);
    SgRef<SgAVObject> gone = sw->RemoveChildAt(2);
    EXPECT_EQ(gone->WorldStates().Count(), 1u);
}

bool Heard(const SgCollisionPair&, void* context) {
    ++*static_cast<int*>(context);
    return true;
}

TEST_F(SwitchTest, WithUpdateOnlyActiveOnlyTheActiveChildCollides) {
    SgRef<SgSwitchNode> sw(new SgSwitchNode);
    SgRef<SgTriShape> near = MakeCentredTriangle(), far = MakeCentredTriangle();
    far->localTranslation = {50, 0, 0};
    sw->InsertChild(near.Get(), false);
    sw->InsertChild(far.Get(), false);
    SgRef<SgTriShape> other = MakeCentredTriangle();
    for (SgAVObject* o : {static_cast<SgAVObject*>(near.Get()), static_cast<SgAVObject*>(far.Get()),
                          static_cast<SgAVObject*>(other.Get())})
        o->collisionMode = 0;
    sw->UpdateAllStates();
    other->UpdateAllStates();

    SgCollisionPair pair;
    pair.sides[0].object = sw.Get();
    pair.sides[1].object = other.Get();
    EXPECT_TRUE(sw->TestCollision(0.0f, other.Get(), pair)) << "flag clear: the node's walk";

    sw->updateOnlyActive = 1;
    EXPECT_FALSE(sw->TestCollision(0.0f, other.Get(), pair)) << "no active child";
    EXPECT_EQ(sw->FindCollisions(0.0f, other.Get(), pair), 0);
    sw->activeChild = 1;
    EXPECT_FALSE(sw->TestCollision(0.0f, other.Get(), pair));
    sw->activeChild = 0;
    EXPECT_TRUE(sw->TestCollision(0.0f, other.Get(), pair));
    int heard = 0;
    pair.sides[0].callback = Heard;
    pair.sides[0].context = &heard;
    EXPECT_EQ(sw->FindCollisions(0.0f, other.Get(), pair), 1);
    EXPECT_EQ(heard, 1);
}

TEST_F(SwitchTest, RaysReachOnlyTheActiveChild) {
    SgRef<SgSwitchNode> sw(new SgSwitchNode);
    std::vector<SgTriShape*> shapes = Fill(sw.Get(), 2);
    shapes[0]->AssignName("a");
    shapes[1]->AssignName("b");
    // A ray along -z through both triangles' planes at x = 10.
    SgVec3 origin{10, 0, 20}, down{0, 0, -1};
    SgPickRequest none;
    sw->CollectRayHits(origin, down, none, sw->CurrentState());
    EXPECT_EQ(none.HitCount(), 0u);
    sw->activeChild = 1;
    SgPickRequest one;
    sw->CollectRayHits(origin, down, one, sw->CurrentState());
    ASSERT_EQ(one.HitCount(), 1u);
    EXPECT_STREQ(one.Hit(0)->object->GetName(), "b");
}

// ---- Animation switch ----

TEST(SgFltAnimationNodeTest, SelectsTheFrameForTheTime) {
    SgRef<SgFltAnimationNode> anim(new SgFltAnimationNode);
    for (int i = 0; i < 4; ++i)
        anim->InsertChild(MakeCentredTriangle().Get(), false);
    anim->period = 2.0;
    struct Case {
        double t;
        int flat, pingPong;
    };
    const Case cases[] = {
        {0.49, 0, 1}, {0.5, 1, 2}, {1.99, 3, 0}, {-0.25, 3, 1}, {2.0, 0, 0}, {0.25, 0, 1}, {1.0, 2, 3}, {1.5, 3, 2},
    };
    for (const Case& c : cases) {
        anim->pingPong = 0;
        anim->SelectChildForTime(c.t);
        EXPECT_EQ(anim->activeChild, c.flat) << "t = " << c.t;
        anim->pingPong = 1;
        anim->SelectChildForTime(c.t);
        EXPECT_EQ(anim->activeChild, c.pingPong) << "ping-pong, t = " << c.t;
    }
    anim->pingPong = 0;
    anim->SelectChildForTime(std::nan(""));
    EXPECT_EQ(anim->activeChild, 0) << "a time that is not a number";
}

TEST_F(SwitchTest, AnimationNodeDrawsByTheCameraTimeAndForgetsTheIndex) {
    SgRef<SgFltAnimationNode> anim(new SgFltAnimationNode);
    std::vector<SgTriShape*> shapes = Fill(anim.Get(), 4);
    anim->period = 2.0;
    Frame(anim.Get(), 1.2);
    EXPECT_EQ(DrawnOrder(shapes), std::vector<int>{2});
    EXPECT_EQ(anim->activeChild, -1);

    // Without a period a stored index serves for one draw.
    anim->period = 0.0;
    anim->activeChild = 3;
    Frame(anim.Get(), 1.2);
    EXPECT_EQ(DrawnOrder(shapes), std::vector<int>{3});
    EXPECT_EQ(anim->activeChild, -1);
    Frame(anim.Get(), 1.2);
    EXPECT_TRUE(DrawnOrder(shapes).empty());
}

TEST_F(SwitchTest, AnimationNodeWithUpdateOnlyActiveUpdatesTheFrameItDraws) {
    SgRef<SgFltAnimationNode> anim(new SgFltAnimationNode);
    SgRef<CountingNode> frames[2] = {SgRef<CountingNode>(new CountingNode), SgRef<CountingNode>(new CountingNode)};
    for (auto& f : frames) {
        f->InsertChild(MakeCentredTriangle().Get(), false);
        anim->InsertChild(f.Get(), false);
    }
    anim->localTranslation = {10, 0, 0};
    anim->UpdateAllStates();
    anim->updateOnlyActive = 1;
    anim->period = 2.0;
    anim->activeChild = 0;
    anim->UpdateAllStates();
    anim->activeChild = -1;
    Frame(anim.Get(), 1.5);
    EXPECT_EQ(frames[1]->updates, 2) << "the selected frame is brought up to date before it draws";
    EXPECT_EQ(frames[0]->updates, 1);
}

// ---- Level of detail ----

class LodTest : public SwitchTest {
protected:
    // Two levels [0, 10) and [10, 50) at distance d along x.
    SgRef<SgLODNode> TwoLevels(float d, std::vector<SgTriShape*>* shapes = nullptr) {
        SgRef<SgLODNode> lod(new SgLODNode);
        for (int i = 0; i < 2; ++i) {
            SgRef<SgTriShape> s = MakeCentredTriangle(0.5f);
            lod->InsertChild(s.Get(), false);
            if (shapes)
                shapes->push_back(s.Get());
        }
        lod->SetChildRange(0, 10, 0);
        lod->SetChildRange(10, 50, 1);
        lod->localTranslation = {d, 0, 0};
        lod->UpdateAllStates();
        return lod;
    }
};

TEST_F(LodTest, NearIsInclusiveAndFarExclusive) {
    struct Case {
        float d;
        int selected;
    };
    for (Case c : {Case{0, 0}, Case{9.5f, 0}, Case{10, 1}, Case{49, 1}, Case{50, -1}, Case{80, -1}}) {
        SgRef<SgLODNode> lod = TwoLevels(c.d);
        EXPECT_EQ(lod->SelectFor(SgZeroVec3, 1.0f), c.selected) << "distance " << c.d;
    }
    // Where ranges overlap the last one that holds the distance wins.
    SgRef<SgLODNode> lod = TwoLevels(7);
    lod->SetChildRange(5, 50, 1);
    lod->UpdateAllStates();
    EXPECT_EQ(lod->SelectFor(SgZeroVec3, 1.0f), 1);
}

TEST_F(LodTest, TheFactorScalesTheDistance) {
    SgRef<SgLODNode> lod = TwoLevels(6);
    EXPECT_EQ(lod->SelectFor(SgZeroVec3, 1.0f), 0);
    EXPECT_EQ(lod->SelectFor(SgZeroVec3, 2.0f), 1) << "a factor of 2 halves the switching distances";
    lod = TwoLevels(30);
    EXPECT_EQ(lod->SelectFor(SgZeroVec3, 2.0f), -1);
}

TEST_F(LodTest, DrawsTheSelectedLevelOrNothing) {
    std::vector<SgTriShape*> shapes;
    SgRef<SgLODNode> lod = TwoLevels(20, &shapes);
    Frame(lod.Get());
    EXPECT_EQ(DrawnOrder(shapes), std::vector<int>{1});
    EXPECT_EQ(lod->activeChild, 1) << "the selection stays between draws";
    camera->lodFactor = 4.0f;  // 80 away: past every level
    Frame(lod.Get());
    EXPECT_TRUE(DrawnOrder(shapes).empty());
    EXPECT_EQ(lod->activeChild, -1);
    // Nothing was pushed, so nothing is popped: the display's state is as before.
    EXPECT_EQ(display->LightTop(), -1);

    // The deferral pass puts the camera's flag back whether a level was drawn or not.
    camera->useDeferralPass = 1;
    lod->deferralMode = SgNode::kDeferralOff;
    Frame(lod.Get());
    EXPECT_EQ(camera->deferralFlag, 1);
    camera->lodFactor = 1.0f;
    Frame(lod.Get());
    EXPECT_EQ(DrawnOrder(shapes), std::vector<int>{1});
    EXPECT_EQ(camera->deferralFlag, 1);
}

TEST_F(LodTest, RangesMeasuredFromTheirOwnCentresFollowThePlacement) {
    SgRef<SgLODNode> lod = TwoLevels(0);
    lod->perRangeCentre = 1;
    lod->localScale = 2.0f;  // ranges [0, 20) and [20, 100), centred on the node
    lod->localTranslation = {30, 0, 0};
    // A centre off the origin, as a loaded range may have: scaled with the node.
    const_cast<SgLODRange*>(lod->Range(1))->centreModel = {0, 2, 0};
    lod->UpdateAllStates();
    EXPECT_FLOAT_EQ(lod->Range(1)->nearWorld, 20.0f);
    ExpectNearVec(lod->Range(0)->centreWorld, {30, 0, 0});
    ExpectNearVec(lod->Range(1)->centreWorld, {30, 4, 0});
    EXPECT_EQ(lod->SelectFor(SgZeroVec3, 1.0f), 1);
    EXPECT_EQ(lod->SelectFor({15, 0, 0}, 1.0f), 0);
}

TEST_F(LodTest, MissingRangesAndAMissingFirstChildSelectNothing) {
    SgRef<SgLODNode> lod(new SgLODNode);
    for (int i = 0; i < 3; ++i)
        lod->InsertChild(MakeCentredTriangle().Get(), false);
    lod->SetChildRange(0, 5, 2);  // only the last child has a range
    lod->localTranslation = {20, 0, 0};
    lod->UpdateAllStates();
    EXPECT_EQ(lod->SelectFor(SgZeroVec3, 1.0f), -1);
    EXPECT_EQ(lod->SelectFor({20, 0, 0}, 1.0f), 2);
    Frame(lod.Get());
    EXPECT_EQ(render->Count("DrawTriShape"), 0u);

    // Measured from child 0 while there is none.
    lod->RemoveChildAt(0);
    EXPECT_EQ(lod->SelectFor({20, 0, 0}, 1.0f), -1);

    // A new range replaces the old one at its index.
    lod->SetChildRange(1, 6, 2);
    EXPECT_FLOAT_EQ(lod->Range(2)->nearModel, 1.0f);
    EXPECT_FLOAT_EQ(lod->Range(2)->farModel, 6.0f);
    EXPECT_EQ(lod->Range(0), nullptr);
}

TEST_F(LodTest, OnlyTheNearestLevelsCollide) {
    SgRef<SgLODNode> lod(new SgLODNode);
    SgRef<SgTriShape> coarse = MakeCentredTriangle(), fine = MakeCentredTriangle();
    fine->localTranslation = {40, 0, 0};
    lod->InsertChild(coarse.Get(), false);
    lod->InsertChild(fine.Get(), false);
    lod->SetChildRange(10, 50, 0);  // the level under the other object starts at 10
    lod->SetChildRange(0, 10, 1);
    SgRef<SgTriShape> other = MakeCentredTriangle();
    for (SgAVObject* o : {static_cast<SgAVObject*>(coarse.Get()), static_cast<SgAVObject*>(fine.Get()),
                          static_cast<SgAVObject*>(other.Get())})
        o->collisionMode = 0;
    lod->UpdateAllStates();
    other->UpdateAllStates();
    SgCollisionPair pair;
    pair.sides[0].object = lod.Get();
    pair.sides[1].object = other.Get();
    EXPECT_FALSE(lod->TestCollision(0.0f, other.Get(), pair));
    lod->SetChildRange(0, 50, 0);
    EXPECT_TRUE(lod->TestCollision(0.0f, other.Get(), pair));
    EXPECT_EQ(lod->FindCollisions(0.0f, other.Get(), pair), 1);

    lod->updateOnlyActive = 1;
    lod->activeChild = -1;
    EXPECT_FALSE(lod->TestCollision(0.0f, other.Get(), pair));
    lod->activeChild = 0;
    EXPECT_TRUE(lod->TestCollision(0.0f, other.Get(), pair));
}

TEST_F(LodTest, CopiesCarryEveryRange) {
    SgRef<SgLODNode> lod = TwoLevels(5);
    lod->SetChildRange(3, 4, 3);  // slot 2 stays empty
    lod->perRangeCentre = 1;
    SgRef<SgAVObject> copy = lod->Duplicate();
    auto* c = SgExactCast<SgLODNode>(copy.Get());
    ASSERT_NE(c, nullptr);
    EXPECT_TRUE(c->IsEqualTo(lod.Get()));
    EXPECT_EQ(c->Range(2), nullptr);
    ASSERT_NE(c->Range(3), nullptr);
    EXPECT_NE(c->Range(3), lod->Range(3));
    EXPECT_FLOAT_EQ(c->Range(3)->farModel, 4.0f);
    EXPECT_EQ(c->ChildCount(), 2u);
}

}  // namespace
