// World states, nodes and their children, bounds, lights, copies, flattening, transforms baked
// into the model, names, properties and the node's collision and ray recursions.

#include <gtest/gtest.h>

#include <cstring>

#include "engine/core/sg_light.h"
#include "engine/core/sg_node.h"
#include "engine/geometry/sg_tri_shape.h"
#include "tests/engine/scene/scene_fixture.h"

namespace {

void ExpectNear(const SgVec3& a, const SgVec3& b, float tolerance = 1e-5f) {
    EXPECT_NEAR(a.x, b.x, tolerance);
    EXPECT_NEAR(a.y, b.y, tolerance);
    EXPECT_NEAR(a.z, b.z, tolerance);
}

class NodeTest : public testing::Test {
protected:
    void TearDown() override { SgAVObject::cloneNaming = 0; }
    uint32_t liveAtStart = SgObject::LiveCount();
};

// ---- World states ----

TEST_F(NodeTest, FirstParentAdoptsTheRootStateAndASecondParentAddsOne) {
    SgRef<SgTriShape> shape = MakeTriangle();
    SgRef<SgNode> a(new SgNode), b(new SgNode);
    SgWorldState* root = shape->CurrentState();
    ASSERT_EQ(shape->WorldStates().Count(), 1u);
    EXPECT_EQ(root->key, nullptr);

    a->InsertChild(shape.Get(), false);
    ASSERT_EQ(shape->WorldStates().Count(), 1u);
    EXPECT_EQ(shape->WorldStates().At(0), root);
    EXPECT_EQ(root->key, a.Get());
    EXPECT_EQ(a->ChildStateAt(0), root);

    b->InsertChild(shape.Get(), false);
    ASSERT_EQ(shape->WorldStates().Count(), 2u);
    EXPECT_EQ(shape->WorldStates().Find(b.Get()), b->ChildStateAt(0));
    EXPECT_NE(b->ChildStateAt(0), root);
}

TEST_F(NodeTest, RemovingFromTheOnlyParentRekeysAndFromOneOfTwoDeletes) {
    SgRef<SgTriShape> shape = MakeTriangle();
    SgRef<SgNode> a(new SgNode), b(new SgNode);
    a->InsertChild(shape.Get(), false);
    b->InsertChild(shape.Get(), false);
    // Draw under b last: its state is current.
    b->UpdateAllStates();
    ASSERT_EQ(shape->CurrentState()->key, b.Get());

    SgRef<SgAVObject> removed = b->RemoveChild(shape.Get());
    EXPECT_EQ(removed.Get(), shape.Get());
    ASSERT_EQ(shape->WorldStates().Count(), 1u);
    // The current state falls back to the remaining one instead of dangling or going null.
    EXPECT_EQ(shape->CurrentState(), shape->WorldStates().Find(a.Get()));

    a->RemoveChildAt(0);
    ASSERT_EQ(shape->WorldStates().Count(), 1u);
    EXPECT_EQ(shape->CurrentState()->key, nullptr);
    // Dropping a key the object does not have changes nothing.
    a->InsertChild(shape.Get(), false);
    EXPECT_FALSE(shape->DropWorldState(b.Get()));
    EXPECT_EQ(shape->WorldStates().At(0)->key, a.Get());
}

TEST_F(NodeTest, ANodeMovesBetweenParents) {
    SgRef<SgNode> a(new SgNode), b(new SgNode), moved(new SgNode);
    a->InsertChild(MakeTriangle().Get(), false);
    a->InsertChild(moved.Get(), false);
    b->InsertChild(moved.Get(), false);
    EXPECT_EQ(a->ChildAt(1), nullptr);
    EXPECT_EQ(b->ChildAt(0), moved.Get());
    EXPECT_EQ(moved->WorldStates().Count(), 1u);
    EXPECT_EQ(moved->Parent(), b.Get());
    EXPECT_EQ(b->ChildStateAt(0), moved->CurrentState());
}

TEST_F(NodeTest, SlotsGrowStayEmptyAndRemovalPastTheEndChangesNothing) {
    SgRef<SgNode> node(new SgNode);
    SgRef<SgTriShape> shape = MakeTriangle();
    EXPECT_FALSE(node->SetChildAt(3, shape.Get()));
    EXPECT_EQ(node->ChildCount(), 4u);
    for (uint32_t i = 0; i < 3; ++i)
        EXPECT_EQ(node->ChildAt(i), nullptr);
    EXPECT_FALSE(node->RemoveChildAt(4));
    EXPECT_FALSE(node->RemoveChildAt(9));
    EXPECT_EQ(node->ChildCount(), 4u);
    // Walks skip the empty slots.
    node->UpdateAllStates();
    EXPECT_TRUE(node->HasWorldBound());

    SgRef<SgTriShape> other = MakeTriangle(5);
    SgRef<SgAVObject> old = node->SetChildAt(3, other.Get());
    EXPECT_EQ(old.Get(), shape.Get());
    EXPECT_EQ(shape->CurrentState()->key, nullptr);
    EXPECT_EQ(other->CurrentState()->key, node.Get());
}

TEST_F(NodeTest, NodesRefuseThemselvesAndTheirAncestorsAsChildren) {
    SgRef<SgNode> top(new SgNode), middle(new SgNode), bottom(new SgNode);
    top->InsertChild(middle.Get(), false);
    middle->InsertChild(bottom.Get(), false);
    top->InsertChild(top.Get(), false);
    bottom->InsertChild(top.Get(), false);
    EXPECT_FALSE(bottom->SetChildAt(0, middle.Get()));
    EXPECT_EQ(top->ChildCount(), 1u);
    EXPECT_EQ(bottom->ChildCount(), 0u);
    EXPECT_EQ(top->Parent(), nullptr);
    top->UpdateAllStates();  // would never end with a loop
}

TEST_F(NodeTest, ALeafTwiceInOneNodeKeepsItsStateUntilTheLastSlotGoes) {
    SgRef<SgTriShape> shape = MakeTriangle();
    SgRef<SgNode> a(new SgNode), b(new SgNode);
    b->InsertChild(shape.Get(), false);
    a->InsertChild(shape.Get(), false);
    a->InsertChild(shape.Get(), false);
    ASSERT_EQ(shape->WorldStates().Count(), 2u);
    a->RemoveChildAt(0);
    ASSERT_EQ(shape->WorldStates().Count(), 2u);
    a->UpdateAllStates();  // slot 1 still names a live state
    EXPECT_EQ(a->ChildStateAt(1), shape->WorldStates().Find(a.Get()));
    a->RemoveChildAt(1);
    EXPECT_EQ(shape->WorldStates().Count(), 1u);
    EXPECT_EQ(shape->WorldStates().At(0)->key, b.Get());
}

TEST_F(NodeTest, PlacementComposesRotationScaleTranslationAndVelocity) {
    SgRef<SgNode> parent(new SgNode);
    parent->localTranslation = {10, 0, 0};
    parent->localRotation = SgMat3::Rotation(5, -SgHalfPi);  // about z: x -> y
    parent->localScale = 2.0f;
    parent->localVelocity = {0, 0, 1};
    SgRef<SgTriShape> shape = MakeTriangle();
    shape->localTranslation = {1, 0, 0};
    shape->localScale = 3.0f;
    shape->localVelocity = {1, 0, 0};
    parent->InsertChild(shape.Get(), false);
    parent->UpdateAllStates();

    SgWorldState* s = shape->CurrentState();
    ExpectNear(s->worldTranslation, {10, 2, 0});
    EXPECT_FLOAT_EQ(s->worldScale, 6.0f);
    ExpectNear(s->worldRotation * SgVec3(1, 0, 0), {0, 1, 0});
    // Velocity: the parent's plus the rotated local one, never scaled.
    ExpectNear(s->worldVelocity, {0, 1, 1});
}

// ---- Bounds ----

TEST_F(NodeTest, ANodeWithoutChildrenHasNoBoundAndIsSkipped) {
    SgRef<SgNode> empty(new SgNode);
    empty->UpdateAllStates();
    EXPECT_FALSE(empty->HasWorldBound());
}

TEST_F(NodeTest, TheNodeBoundEnclosesEachChildUnderThisNodeEvenWhenItLastDrewElsewhere) {
    SgRef<SgTriShape> shape = MakeTriangle();
    SgRef<SgNode> near(new SgNode), far(new SgNode);
    far->localTranslation = {100, 0, 0};
    near->InsertChild(shape.Get(), false);
    far->InsertChild(shape.Get(), false);
    near->UpdateAllStates();
    far->UpdateAllStates();
    ASSERT_EQ(shape->CurrentState()->key, far.Get());

    near->RecomputeBound();
    EXPECT_LT(near->WorldBound().centre.x, 5.0f);
    EXPECT_GT(far->WorldBound().centre.x, 95.0f);
}

TEST_F(NodeTest, ALeafUpdatePropagatesTheBoundToEveryAncestor) {
    SgRef<SgNode> top(new SgNode), middle(new SgNode);
    SgRef<SgTriShape> shape = MakeTriangle();
    top->InsertChild(middle.Get(), false);
    middle->InsertChild(shape.Get(), false);
    top->UpdateAllStates();
    shape->localTranslation = {50, 0, 0};
    shape->UpdateAllStates();
    EXPECT_GT(middle->WorldBound().centre.x, 49.0f);
    EXPECT_GT(top->WorldBound().centre.x, 49.0f);
}

// ---- Lights ----

TEST_F(NodeTest, LightsAndNodesKeepTheirListsInStep) {
    SgRef<SgNode> node(new SgNode);
    SgRef<SgLight> light(new SgLight);
    node->AddLight(light.Get());
    light->AddLitNode(node.Get());
    node->AddLight(light.Get());
    EXPECT_EQ(light->LitNodes().Count(), 1u);
    EXPECT_EQ(node->Lights().Count(), 1u);
    light->RemoveLitNode(node.Get());
    EXPECT_TRUE(light->LitNodes().IsEmpty());
    EXPECT_TRUE(node->Lights().IsEmpty());

    // Whichever goes first leaves the other's list clean.
    node->AddLight(light.Get());
    {
        SgRef<SgNode> second(new SgNode);
        second->AddLight(light.Get());
        EXPECT_EQ(light->LitNodes().Count(), 2u);
    }
    EXPECT_EQ(light->LitNodes().Count(), 1u);
    light = nullptr;
    EXPECT_TRUE(node->Lights().IsEmpty());
}

TEST_F(NodeTest, LightIndicesRiseAndCopiesKeepTheirs) {
    SgRef<SgLight> first(new SgLight), second(new SgLight);
    EXPECT_EQ(second->LightIndex(), first->LightIndex() + 1);
    SgRef<SgAVObject> copy = first->Duplicate();
    EXPECT_EQ(SgKindCast<SgLight>(copy.Get())->LightIndex(), first->LightIndex());
}

TEST_F(NodeTest, ALightUnderAScaledNodeIsPlacedButNotScaled) {
    SgRef<SgNode> node(new SgNode);
    node->localScale = 2.0f;
    node->localTranslation = {0, 0, 5};
    node->localRotation = SgMat3::Rotation(5, -SgHalfPi);
    SgRef<SgLight> light(new SgLight);
    light->SetPosition({1, 0, 0});
    light->SetDirection({0, 2, 0});
    node->InsertChild(light.Get(), false);
    light->changed = 0;
    node->UpdateAllStates();
    ExpectNear(light->worldPosition, {0, 1, 5});
    ExpectNear(light->worldDirection, {-2, 0, 0});
    EXPECT_EQ(light->changed, 1u);
    light->changed = 0;
    light->SetType(SgLight::kSpot);
    EXPECT_EQ(light->changed, 1u);
}

// ---- Copies ----

TEST_F(NodeTest, DuplicateCopiesTheTreeWithNamesLightsAndSharedProperties) {
    SgAVObject::cloneNaming = 2;
    SgRef<SgNode> root(new SgNode);
    root->AssignName("root");
    SgRef<SgAlphaProperty> alpha(new SgAlphaProperty);
    SgRef<SgShadeProperty> shade(new SgShadeProperty);
    root->AddRenderProperty(alpha.Get());
    root->AddRenderProperty(shade.Get());
    SgRef<SgLight> light(new SgLight);
    light->dimmer = 0.5f;
    root->InsertChild(light.Get(), false);
    root->AddLight(light.Get());
    SgRef<SgTriShape> unnamed = MakeTriangle();
    root->InsertChild(unnamed.Get(), false);

    SgRef<SgAVObject> copy = root->Duplicate();
    SgNode* node = SgKindCast<SgNode>(copy.Get());
    ASSERT_TRUE(node);
    EXPECT_STREQ(node->GetName(), "root$");
    EXPECT_EQ(node->ChildAt(1)->GetName(), nullptr);
    EXPECT_EQ(node->properties.First(), shade.Get());
    EXPECT_EQ(shade->RefCount(), 3u);  // the test, the root and the copy
    SgLight* copiedLight = SgKindCast<SgLight>(node->ChildAt(0));
    ASSERT_TRUE(copiedLight);
    EXPECT_NE(copiedLight, light.Get());
    EXPECT_EQ(node->Lights().First(), copiedLight);
    EXPECT_EQ(copiedLight->LitNodes().Count(), 1u);
    EXPECT_FALSE(root->IsEqualTo(copy.Get()));  // the names differ
    SgAVObject::cloneNaming = 1;
    EXPECT_TRUE(root->IsEqualTo(root->Duplicate().Get()));
}

TEST_F(NodeTest, NoCloneRecordOutlivesItsDuplication) {
    SgRef<SgNode> root(new SgNode);
    SgRef<SgLight> light(new SgLight);
    SgRef<SgNode> lit(new SgNode);
    root->InsertChild(light.Get(), false);
    root->InsertChild(lit.Get(), false);
    lit->AddLight(light.Get());
    {
        SgRef<SgAVObject> first = root->Duplicate();
        EXPECT_EQ(SgKindCast<SgNode>(SgKindCast<SgNode>(first.Get())->ChildAt(1))->Lights().Count(), 1u);
    }
    EXPECT_EQ(light->FindCloneRecord(), nullptr);
    // A later duplication of the lit node alone finds no stale copy of the light.
    SgRef<SgAVObject> second = lit->Duplicate();
    EXPECT_TRUE(SgKindCast<SgNode>(second.Get())->Lights().IsEmpty());
}

// ---- Names and properties ----

TEST_F(NodeTest, FindByNameSearchesDepthFirstInChildOrder) {
    SgRef<SgNode> root(new SgNode), branch(new SgNode);
    root->AssignName("root");
    branch->InsertChild(MakeTriangle(0, 0, "leaf").Get(), false);
    root->InsertChild(branch.Get(), false);
    root->InsertChild(MakeTriangle(0, 0, "leaf").Get(), false);
    EXPECT_EQ(root->FindByName("root"), root.Get());
    EXPECT_EQ(root->FindByName("leaf"), branch->ChildAt(0));
    EXPECT_EQ(root->FindByName("LEAF"), nullptr);
    EXPECT_EQ(root->FindByName(nullptr), nullptr);
}

TEST_F(NodeTest, FindPropertyOfTypeFindsTheLastAttachedAndRejectsBadTypes) {
    SgRef<SgNode> node(new SgNode);
    SgRef<SgAlphaProperty> first(new SgAlphaProperty), second(new SgAlphaProperty);
    node->AddRenderProperty(first.Get());
    node->AddRenderProperty(second.Get());
    node->AddRenderProperty(nullptr);
    EXPECT_EQ(node->FindPropertyOfType(SG_ALPHA_PROPERTY), second.Get());
    EXPECT_EQ(node->FindPropertyOfType(15), nullptr);
    EXPECT_EQ(node->FindPropertyOfType(-1), nullptr);
    EXPECT_EQ(node->properties.Count(), 2u);
}

// ---- Flattening ----

TEST_F(NodeTest, FlattenFoldsPlainNodesAndMergesAlikeShapes) {
    SgTriShape::weldTolerances[0] = SgTriShape::weldTolerances[1] = 0.0f;
    SgRef<SgNode> root(new SgNode), plain(new SgNode);
    plain->InsertChild(MakeTriangle(0).Get(), false);
    root->InsertChild(plain.Get(), false);
    root->InsertChild(MakeTriangle(1).Get(), false);
    EXPECT_FALSE(root->Flatten(0));
    EXPECT_EQ(root->ChildAt(0), plain.Get());

    // The plain node gives way to its triangle, and the two alike triangles become one shape.
    EXPECT_TRUE(root->Flatten(SgNode::kFlattenSingleMayGo | 1));
    ASSERT_EQ(root->ChildCount(), 1u);
    SgTriShape* merged = SgKindCast<SgTriShape>(root->ChildAt(0));
    ASSERT_TRUE(merged);
    EXPECT_EQ(merged->TriangleCount(), 2u);
    // (1, 0, 0) is a corner of both triangles: five vertices remain.
    EXPECT_EQ(merged->VertexCount(), 5u);
    EXPECT_EQ(plain->ChildCount(), 0u);
}

TEST_F(NodeTest, FlattenKeepsWhatWouldChangeTheResult) {
    SgRef<SgNode> root(new SgNode), scaled(new SgNode);
    scaled->localScale = 2.0f;
    scaled->InsertChild(MakeTriangle().Get(), false);
    root->InsertChild(scaled.Get(), false);
    SgRef<SgLight> a(new SgLight), b(new SgLight);
    root->InsertChild(a.Get(), false);
    root->InsertChild(b.Get(), false);
    root->Flatten(SgNode::kFlattenSingleMayGo);
    // A scaled node keeps its child; lights, which no merge takes, all stay.
    EXPECT_EQ(root->ChildAt(0), scaled.Get());
    EXPECT_EQ(root->ChildAt(1), a.Get());
    EXPECT_EQ(root->ChildAt(2), b.Get());
}

TEST_F(NodeTest, FlattenDropsEmptiedShapesAndReportsAnEmptyNode) {
    const SgVec3 v[3] = {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}};
    const uint16_t indices[3] = {0, 1, 2};
    SgRef<SgNode> root(new SgNode);
    root->InsertChild(SgRef<SgTriShape>(new SgTriShape(3, v, nullptr, 1, indices, nullptr, nullptr)).Get(), false);
    EXPECT_FALSE(root->Flatten(1));
    EXPECT_EQ(root->ChildCount(), 0u);
    root->InsertChild(SgRef<SgTriShape>(new SgTriShape(3, v, nullptr, 1, indices, nullptr, nullptr)).Get(), false);
    EXPECT_TRUE(root->Flatten(1 | SgNode::kFlattenEmptyMayGo));

    SgRef<SgNode> blended(new SgNode);
    blended->AddRenderProperty(SgRef<SgAlphaProperty>(new SgAlphaProperty).Get());
    blended->InsertChild(MakeTriangle().Get(), false);
    blended->InsertChild(MakeTriangle(1).Get(), false);
    EXPECT_FALSE(blended->Flatten(SgNode::kFlattenKeepAlpha | 1));
    EXPECT_EQ(blended->ChildCount(), 2u);
}

// ---- Transforms baked into the model ----

TEST_F(NodeTest, AbsorbTransformInTheParentFrameMovesTheWorldPositionsByThatTransform) {
    SgRef<SgNode> node(new SgNode);
    node->localTranslation = {3, 4, 5};
    node->localRotation = SgMat3::Rotation(4, 0.7);
    node->localScale = 2.0f;
    SgRef<SgTriShape> shape = MakeTriangle(1, 2);
    shape->localTranslation = {0, 1, 0};
    shape->localRotation = SgMat3::Rotation(3, 0.3);
    node->InsertChild(shape.Get(), false);
    node->UpdateAllStates();
    SgVec3 before[3];
    for (int i = 0; i < 3; ++i)
        before[i] = shape->WorldVertices()[i];

    // Identity and zero change nothing.
    node->AbsorbTransform(SgIdentityMat3, SgZeroVec3, 1.0f, 1);
    node->UpdateAllStates();
    for (int i = 0; i < 3; ++i)
        ExpectNear(shape->WorldVertices()[i], before[i], 1e-4f);

    SgMat3 r = SgMat3::Rotation(5, 1.1);
    SgVec3 t{-2, 0.5f, 7};
    node->AbsorbTransform(r, t, 1.0f, 1);
    node->UpdateAllStates();
    for (int i = 0; i < 3; ++i)
        ExpectNear(shape->WorldVertices()[i], r * before[i] + t, 1e-4f);
    EXPECT_EQ(shape->localTranslation, SgVec3(0, 1, 0));
}

// ---- Collision and rays ----

bool CountContact(const SgCollisionPair&, void* context) {
    ++*static_cast<int*>(context);
    return true;
}

TEST_F(NodeTest, NodeCollisionDescendsToChildrenAndReportsToBothParties) {
    SgRef<SgNode> left(new SgNode), right(new SgNode);
    left->InsertChild(MakeTriangle(0).Get(), false);
    right->InsertChild(MakeTriangle(0.5f).Get(), false);
    left->UpdateAllStates();
    right->UpdateAllStates();

    SgCollisionPair pair;
    pair.sides[0].object = left.Get();
    pair.sides[1].object = right.Get();
    EXPECT_TRUE(left->TestCollision(0.0f, right.Get(), pair));
    right->localTranslation = {20, 0, 0};
    right->UpdateAllStates();
    EXPECT_FALSE(left->TestCollision(0.0f, right.Get(), pair));
    // Moving towards each other they meet within the step.
    left->localVelocity = {30, 0, 0};
    left->UpdateAllStates();
    EXPECT_TRUE(left->TestCollision(1.0f, right.Get(), pair));

    left->collisionMode = right->collisionMode = 0;
    int heard[2] = {};
    pair.sides[0].callback = pair.sides[1].callback = CountContact;
    pair.sides[0].context = &heard[0];
    pair.sides[1].context = &heard[1];
    EXPECT_EQ(left->FindCollisions(1.0f, right.Get(), pair), 1);
    EXPECT_EQ(heard[0], 1);
    EXPECT_EQ(heard[1], 1);
    EXPECT_GT(pair.time, 0.0f);
    EXPECT_LT(pair.time, 1.0f);
}

TEST_F(NodeTest, RaysRecordTheFirstNodeOrDescendToTheTriangles) {
    SgRef<SgNode> root(new SgNode);
    root->InsertChild(MakeTriangle(0, 0, "a").Get(), false);
    root->InsertChild(MakeTriangle(0, 0, "b").Get(), false);
    root->UpdateAllStates();
    SgVec3 origin{0.25f, 0.25f, 10}, down{0, 0, -1};
    EXPECT_TRUE(root->RayMeetsWorldBound(origin, down));
    EXPECT_FALSE(root->RayMeetsWorldBound(origin, {0, 0, 1}));
    EXPECT_TRUE(root->RayMeetsWorldBound({0.3f, 0.3f, 0}, {0, 0, 1}));  // starts inside

    // A ray that starts on the bound meets it, even pointing away: the unit sphere round a diamond.
    const SgVec3 diamond[4] = {{-1, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, -1, 0}};
    const uint16_t faces[6] = {0, 1, 2, 1, 0, 3};
    SgRef<SgTriShape> shape(new SgTriShape(4, diamond, nullptr, 2, faces, nullptr, nullptr));
    shape->UpdateAllStates();
    ASSERT_EQ(shape->WorldBound().radius, 1.0f);
    EXPECT_TRUE(shape->RayMeetsWorldBound({0, 0, 1}, {0, 0, 1}));
    EXPECT_FALSE(shape->RayMeetsWorldBound({0, 0, 1.5f}, {0, 0, 1}));

    SgPickRequest all;
    root->CollectRayHits(origin, down, all, root->CurrentState());
    ASSERT_EQ(all.HitCount(), 2u);
    EXPECT_FLOAT_EQ(all.Hit(0)->distance, 10.0f);

    SgPickRequest first;
    first.stopMode = first.firstOnly = 1;
    root->CollectRayHits(origin, down, first, root->CurrentState());
    ASSERT_EQ(first.HitCount(), 1u);
    EXPECT_STREQ(first.Hit(0)->object->GetName(), "a");

    SgPickRequest coarse;
    coarse.stopMode = 1;
    coarse.triangleMode = 0;
    root->CollectRayHits(origin, down, coarse, root->CurrentState());
    ASSERT_EQ(coarse.HitCount(), 1u);
    EXPECT_EQ(coarse.Hit(0)->object.Get(), root.Get());

    // A ray that misses the node's bound records nothing, at either depth.
    for (uint32_t triangleMode : {0u, 1u}) {
        SgPickRequest missed;
        missed.stopMode = 1;
        missed.triangleMode = triangleMode;
        root->CollectRayHits(origin, {0, 0, 1}, missed, root->CurrentState());
        EXPECT_EQ(missed.HitCount(), 0u) << triangleMode;
    }
}

}  // namespace
