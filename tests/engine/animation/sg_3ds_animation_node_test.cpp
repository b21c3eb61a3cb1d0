// Keyed nodes and bones: evaluation at, between, before and after keys, backwards playback, scale
// and visibility, the world update, bone chains, per-axis rotation, copies, and the stream form.

#include <gtest/gtest.h>

#include <cmath>
#include <algorithm>
#include <cstring>
#include <memory>

#include "engine/animation/sg_3ds_animation_node.h"
#include "engine/core/sg_stream.h"
#include "tests/engine/animation/key_test_util.h"
#include "tests/engine/support/sg_stream_cases.h"

namespace {

constexpr SgVec3 kZ{0, 0, 1};

void ExpectNear(const SgVec3& a, const SgVec3& b, float tolerance = 1e-5f) {
    EXPECT_NEAR(a.x, b.x, tolerance);
    EXPECT_NEAR(a.y, b.y, tolerance);
    EXPECT_NEAR(a.z, b.z, tolerance);
}

template <class N = Sg3dsAnimationNode>
SgRef<N> Make() {
    SgRef<N> n(new N);
    n->timeMode = SgAnimationTiming::kTimeApplication;
    return n;
}

template <class K>
void SetPositions(Sg3dsAnimationNode* n, const SgKeyArray<K>& keys) {
    n->SetPositionKeys(keys.Data(), keys.Count(), true);
}

// Position (0,0,0) -> (1,0,0) -> (1,2,0) at 0, 1, 2; rotation 0 -> pi/2 about z over [0, 2];
// scale 1 -> 3 over [0, 2].
SgRef<Sg3dsAnimationNode> KeyedNode() {
    auto n = Make();
    auto p = MakeKeys<SgPositionKey>(new SgPositionKeyLinear(0, {0, 0, 0}), new SgPositionKeyLinear(1, {1, 0, 0}),
                                     new SgPositionKeyLinear(2, {1, 2, 0}));
    auto r = MakeKeys<SgRotationKey>(new SgRotationKeyPlain(0, 0, kZ), new SgRotationKeyPlain(2, SgHalfPi, kZ));
    auto s = MakeKeys<SgFloatKey>(new SgFloatKeyLinear(0, 1), new SgFloatKeyLinear(2, 3));
    SetPositions(n.Get(), p);
    n->SetRotationKeys(r.Data(), r.Count(), true);
    n->SetScaleKeys(s.Data(), s.Count(), true);
    return n;
}

TEST(AnimationNode, EvaluatesAtBetweenBeforeAndAfterKeys) {
    auto n = KeyedNode();
    EXPECT_EQ(n->lowKeyTime, 0.0f);
    EXPECT_EQ(n->highKeyTime, 2.0f);
    n->UpdateAppTime(0.5f);
    ExpectNear(n->localTranslation, {0.5f, 0, 0});
    EXPECT_FLOAT_EQ(n->localScale, 1.5f);
    ExpectNear(n->localRotation * SgVec3(1, 0, 0), {std::cos(SgPi / 8), std::sin(SgPi / 8), 0});
    n->UpdateAppTime(1.5f);
    ExpectNear(n->localTranslation, {1, 1, 0});
    EXPECT_EQ(n->positionKeyIndex, 1);

    // Clamped to the key range by the mapping; the family's own ends hold outside its keys.
    n->UpdateAppTime(-3);
    EXPECT_EQ(n->localTranslation, SgVec3(0, 0, 0));
    n->UpdateAppTime(9);
    EXPECT_EQ(n->localTranslation, SgVec3(1, 2, 0));
    EXPECT_EQ(n->localScale, 3.0f);
    EXPECT_EQ(n->InterpolatePosition(-1), SgVec3(0, 0, 0));
    EXPECT_EQ(n->InterpolatePosition(7), SgVec3(1, 2, 0));
}

TEST(AnimationNode, AKeyTimeGivesTheKeysOwnValue) {
    // Shaped keys of awkward values: an interpolation at u = 1 need not land on the key exactly.
    auto n = Make();
    auto p = MakeKeys<SgPositionKey>(new SgPositionKeyShaped(0, {0.1f, 0.7f, -0.3f}),
                                     new SgPositionKeyShaped(0.3f, {1.3f, -2.9f, 0.77f}),
                                     new SgPositionKeyShaped(0.9f, {-0.11f, 3.1f, 9.3f}),
                                     new SgPositionKeyShaped(1.7f, {5, 5, 5}));
    SetPositions(n.Get(), p);
    for (float t : {0.1f, 0.2f, 0.25f})
        n->UpdateAppTime(t);
    EXPECT_EQ(n->positionKeyIndex, 0);
    n->UpdateAppTime(0.3f);
    EXPECT_EQ(n->localTranslation, SgVec3(1.3f, -2.9f, 0.77f));
    EXPECT_EQ(n->positionKeyIndex, 1);
    n->UpdateAppTime(0.9f);
    EXPECT_EQ(n->localTranslation, SgVec3(-0.11f, 3.1f, 9.3f));
}

TEST(AnimationNode, PlaysBackwards) {
    auto n = KeyedNode();
    n->UpdateAppTime(1.8f);
    EXPECT_EQ(n->positionKeyIndex, 1);
    n->UpdateAppTime(1.2f);
    ExpectNear(n->localTranslation, {1, 0.4f, 0});
    n->UpdateAppTime(0.3f);
    EXPECT_EQ(n->positionKeyIndex, 0) << "found by the second pass";
    ExpectNear(n->localTranslation, {0.3f, 0, 0});

    // Reverse cycling runs the keys backwards too.
    n->cycleType = SgAnimationTiming::kCycleReverse;
    n->UpdateAppTime(2.5f);
    ExpectNear(n->localTranslation, {1, 1, 0});
    n->UpdateAppTime(3.5f);
    ExpectNear(n->localTranslation, {0.5f, 0, 0});
}

TEST(AnimationNode, NegativeScaleIsMadePositive) {
    auto n = Make();
    auto s = MakeKeys<SgFloatKey>(new SgFloatKeyLinear(0, -2), new SgFloatKeyLinear(2, -4));
    n->SetScaleKeys(s.Data(), s.Count(), true);
    n->UpdateAppTime(1);
    EXPECT_EQ(n->localScale, 3.0f);
}

TEST(AnimationNode, ShapedScaleKeysArePrepared) {
    auto n = Make();
    auto s = MakeKeys<SgFloatKey>(new SgFloatKeyShaped(0, 1, 0, 0, 0), new SgFloatKeyShaped(4, 3, 0, 0, 0));
    n->SetScaleKeys(s.Data(), s.Count(), true);
    EXPECT_EQ(static_cast<SgFloatKeyShaped*>(n->ScaleKeys()[0])->outgoingTangent, 2.0f);
    EXPECT_EQ(static_cast<SgFloatKeyShaped*>(s[0])->outgoingTangent, 0.0f) << "the caller's keys stay as they were";
    n->UpdateAppTime(1);
    EXPECT_FLOAT_EQ(n->localScale, 1.5f);
}

TEST(AnimationNode, Visibility) {
    auto n = Make();
    auto v = MakeKeys<SgVisibilityKey>(new SgVisibilityKey{0, 1}, new SgVisibilityKey{1, 0}, new SgVisibilityKey{2, 1});
    n->SetVisibilityKeys(v.Data(), v.Count(), true);
    struct {
        float t;
        uint8_t hidden;
    } steps[] = {{-1, 0}, {0.5f, 0}, {1, 1}, {1.5f, 1}, {2, 0}, {5, 0}};
    for (auto step : steps) {
        n->ApplyVisibility(step.t);
        EXPECT_EQ(n->IsHidden(), step.hidden) << step.t;
    }
    n->SetHidden(1);
    n->ApplyVisibility(NAN);
    EXPECT_EQ(n->IsHidden(), 1) << "no key in force: unchanged";
}

TEST(AnimationNode, WorldUpdateOnlyForPlacementKeys) {
    SgRef<SgNode> root(new SgNode);
    auto visible = Make();
    auto v = MakeKeys<SgVisibilityKey>(new SgVisibilityKey{0, 0}, new SgVisibilityKey{1, 1});
    visible->SetVisibilityKeys(v.Data(), v.Count(), true);
    auto moving = KeyedNode();
    root->InsertChild(visible.Get(), false);
    root->InsertChild(moving.Get(), false);
    root->UpdateAllStates();

    // Visibility keys alone never update the world placement.
    visible->localTranslation = {5, 0, 0};
    visible->UpdateAppTime(0.5f);
    EXPECT_EQ(visible->IsHidden(), 1);
    EXPECT_EQ(visible->CurrentState()->worldTranslation, SgVec3(0, 0, 0));

    moving->UpdateAppTime(1);
    EXPECT_EQ(moving->CurrentState()->worldTranslation, SgVec3(1, 0, 0));
    moving->worldUpdateFlag = 0;
    moving->UpdateAppTime(2);
    EXPECT_EQ(moving->localTranslation, SgVec3(1, 2, 0));
    EXPECT_EQ(moving->CurrentState()->worldTranslation, SgVec3(1, 0, 0)) << "the flag is clear";
}

TEST(AnimationNode, ClockModes) {
    auto n = KeyedNode();
    n->timeMode = SgAnimationTiming::kTimeNone;
    n->UpdateAppTime(1);
    EXPECT_EQ(n->localTranslation, SgVec3(0, 0, 0)) << "mode 0 ignores the clock";
    n->timeMode = SgAnimationTiming::kTimeApplication;
    // Application time reaches every live timing object through the list.
    SgAnimationTiming::ForEachLive([](SgAnimationTiming* t) { t->UpdateAppTime(1); });
    EXPECT_EQ(n->localTranslation, SgVec3(1, 0, 0));
}

// A per-axis key turning pi/2 about x and pi/2 about z (one key each; y empty).
SgRotationKeyAxes* QuarterTurns(uint16_t order) {
    auto* k = new SgRotationKeyAxes;
    k->axisOrder = order;
    SgFloatKeyLinear x(0, SgHalfPi), z0(0, SgHalfPi), z1(1, SgHalfPi);
    const SgFloatKey* xs[] = {&x};
    const SgFloatKey* zs[] = {&z0, &z1};
    k->SetTrack(0, xs, 1);
    k->SetTrack(2, zs, 2);
    return k;
}

TEST(AnimationNode, PerAxisRotationInItsAxisOrder) {
    struct {
        uint16_t order;
        SgVec3 image;  // of (1, 0, 0)
    } cases[] = {{0, {0, 1, 0}}, {5, {0, 0, 1}}, {200, {0, 1, 0}}};
    for (auto c : cases) {
        auto n = Make();
        std::unique_ptr<SgRotationKeyAxes> key(QuarterTurns(c.order));
        n->SetAxisRotationKey(key.get(), true);
        EXPECT_EQ(n->lowKeyTime, 0.0f);
        EXPECT_EQ(n->highKeyTime, 1.0f);
        n->UpdateAppTime(0.5f);
        ExpectNear(n->localRotation * SgVec3(1, 0, 0), c.image);
    }
}

TEST(AnimationNode, EveryAxisOrder) {
    // Angles 0.3 about x, 0.5 about y, 0.7 about z; the first listed axis turns first, a repeated
    // axis turns by its one angle again.
    const float angles[3] = {0.3f, 0.5f, 0.7f};
    // Right-handed turns by the textbook matrices.
    auto turnAbout = [](int axis, float a) {
        float c = std::cos(a), s = std::sin(a);
        SgMat3 m = SgIdentityMat3;
        int i = (axis + 1) % 3, j = (axis + 2) % 3;
        m.m[3 * i + i] = c;
        m.m[3 * i + j] = -s;
        m.m[3 * j + i] = s;
        m.m[3 * j + j] = c;
        return m;
    };
    const SgMat3 turn[3] = {turnAbout(0, angles[0]), turnAbout(1, angles[1]), turnAbout(2, angles[2])};
    const int orders[9][3] = {{0, 1, 2}, {0, 2, 1}, {1, 2, 0}, {1, 0, 2}, {2, 0, 1},
                              {2, 1, 0}, {0, 1, 0}, {1, 2, 1}, {2, 0, 2}};
    for (uint16_t code = 0; code < 9; ++code) {
        auto n = Make();
        SgRotationKeyAxes key;
        key.axisOrder = code;
        for (int axis = 0; axis < 3; ++axis) {
            SgFloatKeyLinear k(0, angles[axis]);
            const SgFloatKey* one[] = {&k};
            key.SetTrack(axis, one, 1);
        }
        n->SetAxisRotationKey(&key, true);
        n->UpdateAppTime(0);
        const int* o = orders[code];
        SgMat3 want = turn[o[2]] * (turn[o[1]] * turn[o[0]]);
        for (int i = 0; i < 9; ++i)
            EXPECT_NEAR(n->localRotation.m[i], want.m[i], 1e-5f) << "order " << code << " entry " << i;
    }
}

TEST(AnimationNode, AnAxisKeyFirstKeepsOnlyThatKey) {
    auto n = Make();
    auto keys = MakeKeys<SgRotationKey>(QuarterTurns(0), new SgRotationKeyPlain(3, 1, kZ));
    n->SetRotationKeys(keys.Data(), keys.Count(), true);
    EXPECT_TRUE(n->PerAxisRotation());
    EXPECT_EQ(n->RotationKeyCount(), 1u);
    std::vector<uint8_t> file = SaveAsTopLevel(n.Get());
    SgRef<SgObject> loaded = LoadSingleTopLevel(file);
    auto* back = SgKindCast<Sg3dsAnimationNode>(loaded.Get());
    ASSERT_TRUE(back);
    EXPECT_TRUE(back->PerAxisRotation());
    EXPECT_EQ(back->RotationKeyCount(), 1u);
    EXPECT_TRUE(back->IsEqualTo(n.Get()));

    // Plain keys after it replace it whole.
    auto plain = MakeKeys<SgRotationKey>(new SgRotationKeyPlain(0, 0, kZ), new SgRotationKeyPlain(1, 1, kZ));
    n->SetRotationKeys(plain.Data(), plain.Count(), false);
    EXPECT_FALSE(n->PerAxisRotation());
    EXPECT_EQ(n->RotationKeyCount(), 2u);
    n->SetRotationKeys(nullptr, 3, false);
    EXPECT_EQ(n->RotationKeyCount(), 0u);
    const SgRotationKey* holes[] = {plain[0], nullptr};
    n->SetRotationKeys(holes, 2, false);
    EXPECT_EQ(n->RotationKeyCount(), 0u) << "a missing key leaves the family empty";
    const SgRotationKey* axisThenHole[] = {keys[0], nullptr};
    n->SetRotationKeys(axisThenHole, 2, false);
    EXPECT_TRUE(n->PerAxisRotation()) << "entries after an axis key are not looked at";
    EXPECT_EQ(n->RotationKeyCount(), 1u);
}

// Bones: a root turning about z from 0 to pi/2 over [0, 1] at (1, 0, 0), a child moving from
// (0, 1, 0) to (0, 3, 0), and a grandchild at (0, 0, 2) scaled 2.
struct Chain {
    SgRef<SgNode> holder{new SgNode};
    SgRef<Sg3dsBone> root = Make<Sg3dsBone>();
    SgRef<Sg3dsBone> child = Make<Sg3dsBone>();
    SgRef<Sg3dsBone> tip = Make<Sg3dsBone>();

    Chain() {
        auto r = MakeKeys<SgRotationKey>(new SgRotationKeyPlain(0, 0, kZ), new SgRotationKeyPlain(1, SgHalfPi, kZ));
        auto rp = MakeKeys<SgPositionKey>(new SgPositionKeyLinear(0, {1, 0, 0}));
        root->SetRotationKeys(r.Data(), r.Count(), true);
        root->SetPositionKeys(rp.Data(), rp.Count(), true);
        auto cp = MakeKeys<SgPositionKey>(new SgPositionKeyLinear(0, {0, 1, 0}), new SgPositionKeyLinear(1, {0, 3, 0}));
        child->SetPositionKeys(cp.Data(), cp.Count(), true);
        auto tp = MakeKeys<SgPositionKey>(new SgPositionKeyLinear(0, {0, 0, 2}));
        auto ts = MakeKeys<SgFloatKey>(new SgFloatKeyLinear(0, 2));
        tip->SetPositionKeys(tp.Data(), tp.Count(), true);
        tip->SetScaleKeys(ts.Data(), ts.Count(), true);
        holder->InsertChild(root.Get(), false);
        root->InsertChild(child.Get(), false);
        child->InsertChild(tip.Get(), false);
        holder->UpdateAllStates();
    }
};

TEST(Bones, AChainIsEvaluatedFromItsRoot) {
    Chain c;
    EXPECT_EQ(c.root->worldUpdateFlag, 0);
    // A bone under a bone only notes its time.
    c.child->UpdateAppTime(0.5f);
    EXPECT_EQ(c.child->ownTime, 0.5f);
    EXPECT_EQ(c.child->localTranslation, SgVec3(0, 0, 0)) << "not evaluated by itself";
    c.child->ownTime = 0.0f;

    c.root->UpdateAppTime(0.5f);
    ExpectNear(c.child->localTranslation, {0, 2, 0});
    // root: 45 degrees about z at (1, 0, 0); child 2 along the root's y; tip 2 along z.
    float h = std::sqrt(0.5f);
    ExpectNear(c.root->boneTranslation, {1, 0, 0});
    ExpectNear(c.child->boneTranslation, {1 - 2 * h, 2 * h, 0});
    ExpectNear(c.tip->boneTranslation, {1 - 2 * h, 2 * h, 2});
    ExpectNear(c.tip->boneRotation * SgVec3(1, 0, 0), {h, h, 0});
    EXPECT_EQ(c.tip->boneScale, 2.0f);
    EXPECT_EQ(c.child->CurrentState()->worldTranslation, SgVec3(0, 0, 0)) << "no world update by the keys";
}

TEST(Bones, AScaledMiddleBoneScalesWhatHangsBelowIt) {
    Chain c;
    auto scale = MakeKeys<SgFloatKey>(new SgFloatKeyLinear(0, 3));
    c.child->SetScaleKeys(scale.Data(), scale.Count(), true);
    c.root->UpdateAppTime(0);
    // The child at (1, 1, 0) scaled 3: the tip's 2 along z becomes 6, its own scale 2 becomes 6.
    ExpectNear(c.child->boneTranslation, {1, 1, 0});
    EXPECT_EQ(c.child->boneScale, 3.0f);
    ExpectNear(c.tip->boneTranslation, {1, 1, 6});
    EXPECT_EQ(c.tip->boneScale, 6.0f);
}

TEST(Bones, ChildBonesKeepTheirOwnTime) {
    Chain c;
    c.child->UpdateAppTime(1.0f);  // noted, not evaluated
    c.root->UpdateAppTime(0.0f);
    // The child evaluated by the root at the child's own time, the root at the root's.
    ExpectNear(c.child->localTranslation, {0, 3, 0});
    ExpectNear(c.root->boneRotation * SgVec3(1, 0, 0), {1, 0, 0});
}

TEST(Bones, UnderAPlainAnimationNodeABoneIsAChainRoot) {
    auto parent = Make();
    auto bone = Make<Sg3dsBone>();
    auto p = MakeKeys<SgPositionKey>(new SgPositionKeyLinear(0, {0, 0, 0}), new SgPositionKeyLinear(1, {4, 0, 0}));
    bone->SetPositionKeys(p.Data(), p.Count(), true);
    parent->InsertChild(bone.Get(), false);
    parent->UpdateAllStates();
    bone->UpdateAppTime(0.25f);
    EXPECT_EQ(bone->ownTime, 0.0f);
    ExpectNear(bone->localTranslation, {1, 0, 0});
    ExpectNear(bone->boneTranslation, {1, 0, 0});
}

TEST(AnimationNode, CopiesHaveTheirOwnKeys) {
    auto n = KeyedNode();
    n->AssignName("source");
    Chain c;
    n->InsertChild(c.root.Get(), false);
    n->UpdateAppTime(1.5f);
    n->lowKeyTime = -1;
    uint32_t live = SgAnimationTiming::LiveCount();

    // Copies keep their sources' names, as the figures make them.
    int naming = SgAVObject::cloneNaming;
    SgAVObject::cloneNaming = 1;
    SgRef<SgAVObject> copy = n->Duplicate();
    SgAVObject::cloneNaming = naming;
    auto* m = SgExactCast<Sg3dsAnimationNode>(copy.Get());
    ASSERT_TRUE(m);
    EXPECT_EQ(SgAnimationTiming::LiveCount(), live + 4) << "the node and its three bones";
    EXPECT_TRUE(m->IsEqualTo(n.Get()));
    EXPECT_EQ(m->positionKeyIndex, n->positionKeyIndex);
    EXPECT_EQ(m->rotationKeyIndex, n->rotationKeyIndex);
    EXPECT_EQ(m->lowKeyTime, -1.0f) << "the copied range, at least as wide as the keys";
    EXPECT_EQ(m->highKeyTime, 2.0f);
    for (uint32_t i = 0; i < m->PositionKeyCount(); ++i)
        EXPECT_NE(m->PositionKeys()[i], n->PositionKeys()[i]);

    // The bones were copied too, and the sources carry no clone records afterwards.
    auto* rootCopy = SgExactCast<Sg3dsBone>(m->ChildAt(0));
    ASSERT_TRUE(rootCopy);
    EXPECT_NE(rootCopy, c.root.Get());
    EXPECT_EQ(c.root->ExtraHead(), nullptr);
    EXPECT_EQ(c.tip->ExtraHead(), nullptr);
    EXPECT_EQ(rootCopy->ExtraHead(), nullptr);

    // Changing the source's keys leaves the copy's alone.
    auto other = MakeKeys<SgPositionKey>(new SgPositionKeyLinear(0, {9, 9, 9}));
    n->SetPositionKeys(other.Data(), other.Count(), false);
    EXPECT_EQ(m->PositionKeyCount(), 3u);
    m->UpdateAppTime(1);
    EXPECT_EQ(m->localTranslation, SgVec3(1, 0, 0));
    EXPECT_FALSE(m->IsEqualTo(n.Get()));
}

TEST(AnimationNode, ABoneCopyKeepsItsFields) {
    Chain c;
    c.root->UpdateAppTime(0.5f);
    c.child->ownTime = 0.25f;
    c.child->skinFlag = 1;
    SgRef<SgAVObject> copy = c.child->Duplicate();
    auto* b = SgExactCast<Sg3dsBone>(copy.Get());
    ASSERT_TRUE(b);
    EXPECT_EQ(b->ownTime, 0.25f);
    EXPECT_EQ(b->skinFlag, 1);
    EXPECT_EQ(b->boneTranslation, c.child->boneTranslation);
    EXPECT_EQ(b->boneRotation, c.child->boneRotation);
    EXPECT_EQ(b->worldUpdateFlag, 0);
}

// ---- Stream ----

SgRef<SgObject> FullNode() {
    auto n = Make();
    n->AssignName("keyed");
    n->cycleType = 0;
    n->frequency = 2;
    n->phase = 0.5f;
    auto* a = new SgPositionKeyTangent(0, {1, 2, 3});
    a->outgoingTangent = {1, 0, 0};
    auto p = MakeKeys<SgPositionKey>(a, new SgPositionKeyTangent(2, {3, 2, 1}));
    auto r = MakeKeys<SgRotationKey>(new SgRotationKeyShaped(0, 0, kZ), new SgRotationKeyShaped(1, 7, kZ),
                                     new SgRotationKeyShaped(2, 8, SgVec3(1, 0, 0)));
    auto s = MakeKeys<SgFloatKey>(new SgFloatKeyShaped(0, 1, 0.5f, 0, 0), new SgFloatKeyShaped(2, 2, 0, 0.5f, 0));
    auto v = MakeKeys<SgVisibilityKey>(new SgVisibilityKey{0, 1}, new SgVisibilityKey{1.5f, 0});
    n->SetPositionKeys(p.Data(), p.Count(), true);
    n->SetRotationKeys(r.Data(), r.Count(), true);
    n->SetScaleKeys(s.Data(), s.Count(), true);
    n->SetVisibilityKeys(v.Data(), v.Count(), true);
    n->localTranslation = {4, 5, 6};
    return SgRef<SgObject>(n.Get());
}

SgRef<SgObject> PerAxisNode() {
    auto n = Make();
    std::unique_ptr<SgRotationKeyAxes> key(QuarterTurns(3));
    n->SetAxisRotationKey(key.get(), true);
    auto m = MakeKeys<SgRotationKey>(new SgRotationKeyModal(0, 1, kZ), new SgRotationKeyModal(1, 2, kZ));
    auto child = Make();
    child->SetRotationKeys(m.Data(), m.Count(), true);
    n->InsertChild(child.Get(), false);
    return SgRef<SgObject>(n.Get());
}

SgRef<SgObject> BoneChain() {
    Chain c;
    return SgRef<SgObject>(c.holder.Get());
}

const SgStreamCase kCases[] = {
    {"Sg3dsAnimationNode", FullNode},
    {"Sg3dsAnimationNodeEmpty", [] { return SgRef<SgObject>(new Sg3dsAnimationNode); }},
    {"Sg3dsAnimationNodePerAxis", PerAxisNode},
    {"Sg3dsBoneChain", BoneChain},
};

TEST_P(SgStreamCaseTest, RoundTrip) { CheckStreamRoundTrip(GetParam()); }
TEST_P(SgStreamCaseTest, MatchesSeed) { CheckStreamSeed(GetParam()); }
INSTANTIATE_TEST_SUITE_P(Animation, SgStreamCaseTest, testing::ValuesIn(kCases), SgStreamCaseName);

TEST(AnimationNodeStream, LoadedKeysArePrepared) {
    SgRef<SgObject> original = FullNode();
    auto* source = static_cast<Sg3dsAnimationNode*>(original.Get());
    // Derived fields are stored as they stand; spoil them to see loading prepare them again.
    source->RotationKeys()[0]->mode = 0;
    static_cast<SgFloatKeyShaped*>(source->ScaleKeys()[0])->outgoingTangent = 0;
    source->lowKeyTime = -5;
    SgRef<SgObject> loaded = LoadSingleTopLevel(SaveAsTopLevel(source));
    auto* n = SgKindCast<Sg3dsAnimationNode>(loaded.Get());
    ASSERT_TRUE(n);
    EXPECT_EQ(n->lowKeyTime, -5.0f) << "the range comes from the timing part";
    EXPECT_EQ(n->RotationKeys()[0]->mode, 1);
    EXPECT_EQ(n->RotationKeys()[1]->mode, 0);
    EXPECT_EQ(static_cast<SgFloatKeyShaped*>(n->ScaleKeys()[0])->outgoingTangent, 0.5f);
}

TEST(AnimationNodeStream, AKeyTypeThatMakesNoKeyIsRefused) {
    auto n = Make();
    auto p = MakeKeys<SgPositionKey>(new SgPositionKeyLinear(12.5f, {1, 2, 3}));
    SetPositions(n.Get(), p);
    std::vector<uint8_t> file = SaveAsTopLevel(n.Get());
    // The position sequence: count 1, type 1, then the key's time 12.5.
    std::vector<uint8_t> pattern = {1, 0, 0, 0, 1, 0, 0, 0};
    float time = 12.5f;
    uint8_t timeBytes[4];
    std::memcpy(timeBytes, &time, 4);
    pattern.insert(pattern.end(), timeBytes, timeBytes + 4);
    auto at = std::search(file.begin(), file.end(), pattern.begin(), pattern.end());
    ASSERT_NE(at, file.end());
    at[4] = 0;
    SgSceneStream stream;
    EXPECT_FALSE(stream.Load(file.data(), file.size()));
    EXPECT_EQ(SgSceneStream::ErrorCode(), SG_STREAM_DAMAGED);
}

}  // namespace
