// Float keys: linear, tangent and shaped interpolation, the shaped tangents, array keys and
// weight pairs for morph targets.

#include <gtest/gtest.h>

#include <cmath>

#include "tests/engine/animation/key_test_util.h"

namespace {

TEST(FloatKeys, LinearAtAQuarter) {
    SgFloatKeyLinear a(0, 4), b(1, 8);
    EXPECT_EQ(a.Interpolate(0.25f, &b), 5.0f);
    EXPECT_EQ(a.Interpolate(0, &b), 4.0f);
    EXPECT_EQ(a.Interpolate(1, &b), 8.0f);
}

TEST(FloatKeys, TangentHermite) {
    SgFloatKeyTangent a(0, 1), b(1, 3);
    a.outgoingTangent = 0;
    b.incomingTangent = 0;
    EXPECT_FLOAT_EQ(a.Interpolate(0, &b), 1);
    EXPECT_FLOAT_EQ(a.Interpolate(1, &b), 3);
    EXPECT_FLOAT_EQ(a.Interpolate(0.5f, &b), 2) << "flat ends: symmetric about the middle";
    EXPECT_FLOAT_EQ(a.Interpolate(0.25f, &b), 1 + 2 * 0.15625f);
}

TEST(FloatKeys, TwoShapedKeysMakeAStraightLine) {
    for (float t1 : {1.0f, 7.0f}) {
        auto keys = MakeKeys<SgFloatKey>(new SgFloatKeyShaped(0, 0, 0, 0, 0), new SgFloatKeyShaped(t1, 1, 0, 0, 0));
        SgFloatKeyShaped::ComputeTangents(keys.Data(), 2);
        for (uint32_t i = 0; i < 2; ++i) {
            auto* k = static_cast<SgFloatKeyShaped*>(keys[i]);
            EXPECT_FLOAT_EQ(k->incomingTangent, 1);
            EXPECT_FLOAT_EQ(k->outgoingTangent, 1);
        }
        for (float u : {0.1f, 0.5f, 0.8f})
            EXPECT_FLOAT_EQ(keys[0]->Interpolate(u, keys[1]), u);
    }
}

TEST(FloatKeys, ShapeParameters) {
    // Tension 1 flattens both tangents; continuity and bias lean them.
    auto keys = MakeKeys<SgFloatKey>(new SgFloatKeyShaped(0, 0, 0, 0, 0), new SgFloatKeyShaped(1, 1, 1, 0, 0),
                                     new SgFloatKeyShaped(2, 3, 0, 0, 1));
    SgFloatKeyShaped::ComputeTangents(keys.Data(), 3);
    auto* tense = static_cast<SgFloatKeyShaped*>(keys[1]);
    EXPECT_EQ(tense->incomingTangent, 0.0f);
    EXPECT_EQ(tense->outgoingTangent, 0.0f);
    // Last key, bias 1: only the incoming difference (2) counts, doubled by (1 + bias).
    auto* last = static_cast<SgFloatKeyShaped*>(keys[2]);
    EXPECT_FLOAT_EQ(last->incomingTangent, 2);
    EXPECT_FLOAT_EQ(last->outgoingTangent, 2);
}

TEST(FloatKeys, ShapedContinuityAndBiasBetweenUnequalIntervals) {
    // The middle key of values 0, 1, 3 at times 0, 1, 4 with continuity 0.5 and bias -0.5 (the
    // position keys' case along one axis).
    auto keys = MakeKeys<SgFloatKey>(new SgFloatKeyShaped(0, 0, 0, 0, 0), new SgFloatKeyShaped(1, 1, 0, 0.5f, -0.5f),
                                     new SgFloatKeyShaped(4, 3, 0, 0, 0));
    SgFloatKeyShaped::ComputeTangents(keys.Data(), 3);
    auto* middle = static_cast<SgFloatKeyShaped*>(keys[1]);
    EXPECT_FLOAT_EQ(middle->incomingTangent, 1.1875f);
    EXPECT_FLOAT_EQ(middle->outgoingTangent, 1.6875f);
    EXPECT_FLOAT_EQ(keys[1]->Interpolate(0.5f, keys[2]), 1.9609375f);
}

TEST(FloatKeys, TangentHermiteWithUnequalTangents) {
    SgFloatKeyTangent a(0, 1), b(1, 3);
    a.outgoingTangent = 2;
    b.incomingTangent = -1;
    // h00 + 2 h10 + 3 h01 - h11 at u = 0.5 and at u = 0.25.
    EXPECT_FLOAT_EQ(a.Interpolate(0.5f, &b), 2.375f);
    EXPECT_FLOAT_EQ(a.Interpolate(0.25f, &b), 1.640625f);
    EXPECT_FLOAT_EQ(a.Interpolate(1, &b), 3);
}

TEST(FloatKeys, ShapedEqualNeighbourTimesStayFinite) {
    auto keys = MakeKeys<SgFloatKey>(new SgFloatKeyShaped(1, 0, 0, 0, 0), new SgFloatKeyShaped(1, 1, 0, 0, 0),
                                     new SgFloatKeyShaped(1, 3, 0, 0, 0));
    SgFloatKeyShaped::ComputeTangents(keys.Data(), 3);
    auto* middle = static_cast<SgFloatKeyShaped*>(keys[1]);
    EXPECT_FLOAT_EQ(middle->incomingTangent, 1.5f);
    EXPECT_FLOAT_EQ(middle->outgoingTangent, 1.5f);
}

TEST(FloatKeys, ShapedCloneOfTheMorphTypes) {
    const float values[] = {1, 2};
    SgFloatKeyArrays arrays(2, values, 2, 0.1f, 0.2f, 0.3f);
    arrays.value = 5;
    arrays.outgoingTangent = 6;
    std::unique_ptr<SgFloatKey> clone(arrays.Clone());
    EXPECT_EQ(clone->KeyType(), 3u) << "a plain clone keeps only the shaped fields";
    auto* shaped = static_cast<SgFloatKeyShaped*>(clone.get());
    EXPECT_EQ(shaped->value, 5.0f);
    EXPECT_EQ(shaped->outgoingTangent, 6.0f);
    EXPECT_EQ(shaped->bias, 0.3f);

    std::unique_ptr<SgFloatKey> whole(arrays.CloneWhole());
    EXPECT_EQ(whole->KeyType(), 5u);
    EXPECT_TRUE(whole->IsEqualTo(&arrays));
    EXPECT_NE(static_cast<SgFloatKeyArrays*>(whole.get())->Values(), arrays.Values());

    SgFloatKeyPair pair(1, 0.1f, 0, 0, 3, 8);
    EXPECT_EQ(pair.value, 3.0f) << "a pair made from its parts takes its target as its value";
    pair.incomingTangent = 4;
    std::unique_ptr<SgFloatKey> pairWhole(pair.CloneWhole());
    auto* p = static_cast<SgFloatKeyPair*>(pairWhole.get());
    EXPECT_EQ(p->targetIndex, 3u);
    EXPECT_EQ(p->weightCount, 8u);
    EXPECT_EQ(p->incomingTangent, 0.0f) << "preparation recomputes the tangents";
    EXPECT_EQ(std::unique_ptr<SgFloatKey>(pair.Clone())->KeyType(), 3u);
}

TEST(FloatKeys, ArrayKeysAreIndependentCurves) {
    const float a[] = {0, 10, 5}, b[] = {1, 10, -5};
    auto keys = MakeKeys<SgFloatKey>(new SgFloatKeyArrays(0, a, 3), new SgFloatKeyArrays(2, b, 3));
    ASSERT_TRUE(SgFloatKeyArrays::ComputeTangents(keys.Data(), 2));
    auto* k0 = static_cast<SgFloatKeyArrays*>(keys[0]);
    auto* k1 = static_cast<SgFloatKeyArrays*>(keys[1]);
    const float slopes[] = {1, 0, -10};
    for (int j = 0; j < 3; ++j) {
        EXPECT_FLOAT_EQ(k0->OutgoingTangents()[j], slopes[j]);
        EXPECT_FLOAT_EQ(k1->IncomingTangents()[j], slopes[j]);
    }
    EXPECT_EQ(k0->value, 5.0f) << "the scalar fields are those of the last index";
    EXPECT_FLOAT_EQ(k0->outgoingTangent, -10);
    std::unique_ptr<float[]> mid = k0->InterpolateArray(0.25f, k1);
    EXPECT_FLOAT_EQ(mid[0], 0.25f);
    EXPECT_FLOAT_EQ(mid[1], 10);
    EXPECT_FLOAT_EQ(mid[2], 2.5f);
}

TEST(FloatKeys, ArrayKeysOfDifferentCountsAreRefused) {
    const float a[] = {0, 1, 2}, b[] = {3, 4};
    auto keys = MakeKeys<SgFloatKey>(new SgFloatKeyArrays(0, a, 3), new SgFloatKeyArrays(1, b, 2));
    EXPECT_FALSE(SgFloatKeyArrays::ComputeTangents(keys.Data(), 2));
    // Interpolating them anyway reads only what both keys hold.
    std::unique_ptr<float[]> out = static_cast<SgFloatKeyArrays*>(keys[0])->InterpolateArray(0.5f, keys[1]);
    EXPECT_FLOAT_EQ(out[0], 1.5f);
    EXPECT_FLOAT_EQ(out[2], 2.0f) << "past the next key's count: this key's value";
    auto mixed = MakeKeys<SgFloatKey>(new SgFloatKeyArrays(0, a, 3), new SgFloatKeyShaped(1, 0, 0, 0, 0));
    EXPECT_FALSE(SgFloatKeyArrays::ComputeTangents(mixed.Data(), 2));
}

TEST(FloatKeys, WeightPairs) {
    auto keys = MakeKeys<SgFloatKey>(new SgFloatKeyPair(0, 0, 0, 0, 2, 8), new SgFloatKeyPair(1, 0, 0, 0, 5, 8));
    SgFloatKeyShaped::ComputeTangents(keys.Data(), 2);
    auto* k = static_cast<SgFloatKeyPair*>(keys[0]);
    auto check = [&](float u, float at2, float at5) {
        std::unique_ptr<float[]> w = k->InterpolateArray(u, keys[1]);
        for (int i = 0; i < 8; ++i) {
            float expected = i == 2 ? at2 : i == 5 ? at5 : 0.0f;
            EXPECT_NEAR(w[i], expected, 1e-6f) << "u " << u << " entry " << i;
        }
    };
    check(0, 1, 0);
    check(1, 0, 1);
    check(0.5f, 0.5f, 0.5f);

    // Both keys on one target: that entry is f.
    SgFloatKeyPair same0(0, 0, 0, 0, 3, 4), same1(1, 0, 0, 0, 3, 4);
    EXPECT_FLOAT_EQ(same0.InterpolateArray(0.25f, &same1)[3], 0.25f);

    // Equal values would divide by zero: the weights move with u.
    SgFloatKeyPair flat0(0, 0, 0, 0, 1, 4), flat1(1, 0, 0, 0, 2, 4);
    flat1.value = flat0.value;
    std::unique_ptr<float[]> w = flat0.InterpolateArray(0.75f, &flat1);
    EXPECT_FLOAT_EQ(w[1], 0.25f);
    EXPECT_FLOAT_EQ(w[2], 0.75f);

    // A target outside the weights is left out, not written past them.
    SgFloatKeyPair out0(0, 0, 0, 0, 1, 2), out1(1, 0, 0, 0, 9, 2);
    w = out0.InterpolateArray(0.5f, &out1);
    EXPECT_FLOAT_EQ(w[0], 0);
    EXPECT_FLOAT_EQ(w[1], 0.5f);
}

TEST(FloatKeys, EqualityByType) {
    SgFloatKeyShaped a(0, 1, 0.1f, 0.2f, 0.3f), b(0, 1, 0.1f, 0.2f, 0.3f);
    EXPECT_TRUE(a.IsEqualTo(&b));
    b.continuity = 0;
    EXPECT_FALSE(a.IsEqualTo(&b));
    const float v[] = {1, 2}, w[] = {1, 3};
    SgFloatKeyArrays x(0, v, 2), y(0, w, 2), z(0, v, 1);
    EXPECT_FALSE(x.IsEqualTo(&y));
    EXPECT_FALSE(x.IsEqualTo(&z));
    SgFloatKeyPair p(0, 0, 0, 0, 1, 3), q(0, 0, 0, 0, 1, 4);
    q.value = p.value;
    EXPECT_FALSE(p.IsEqualTo(&q));
}

}  // namespace
