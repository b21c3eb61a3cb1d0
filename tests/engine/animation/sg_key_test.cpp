// What the key families share: the create tables and their once-only registration, the stream
// form of a sequence (and what a damaged one does), comparison, and the cached interval search.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "tests/engine/animation/key_test_util.h"

namespace {

TEST(KeyRegistration, TablesHoldTheRegisteredTypes) {
    // "none" types are registered with no record size; "-" types are not registered.
    const auto& position = SgPositionKey::Table();
    ASSERT_TRUE(position.Find(0));
    EXPECT_EQ(position.Find(0)->recordBytes, 0u);
    EXPECT_EQ(position.Find(1)->recordBytes, 16u);
    EXPECT_EQ(position.Find(2)->recordBytes, 64u);
    EXPECT_EQ(position.Find(3)->recordBytes, 76u);
    EXPECT_FALSE(position.Find(4));

    const auto& rotation = SgRotationKey::Table();
    EXPECT_FALSE(rotation.Find(0));
    EXPECT_EQ(rotation.Find(1)->recordBytes, 44u);
    EXPECT_EQ(rotation.Find(2)->recordBytes, 64u);
    EXPECT_EQ(rotation.Find(3)->recordBytes, 96u);
    EXPECT_EQ(rotation.Find(4)->recordBytes, 58u);
    EXPECT_FALSE(rotation.Find(5));

    const auto& floats = SgFloatKey::Table();
    const uint32_t sizes[] = {0, 8, 16, 28, 0, 32, 36};
    for (uint32_t type = 0; type < 7; ++type) {
        ASSERT_TRUE(floats.Find(type)) << type;
        EXPECT_EQ(floats.Find(type)->recordBytes, sizes[type]) << type;
    }
    EXPECT_FALSE(floats.Find(7));
}

TEST(KeyRegistration, SecondRegistrationChangesNothing) {
    auto positionLinear = SgPositionKey::Table().Find(1)->create;
    auto floatNone = SgFloatKey::Table().Find(4)->create;
    int (*registrations[])() = {
        SgPositionKey::RegisterType0, SgPositionKeyLinear::Register, SgPositionKeyTangent::Register,
        SgPositionKeyShaped::Register, SgRotationKeyPlain::Register, SgRotationKeyModal::Register,
        SgRotationKeyShaped::Register, SgRotationKeyAxes::Register, SgFloatKey::RegisterType0,
        SgFloatKeyLinear::Register,   SgFloatKeyTangent::Register,   SgFloatKeyShaped::Register,
        SgFloatKey::RegisterType4,    SgFloatKeyArrays::Register,    SgFloatKeyPair::Register,
    };
    for (auto reg : registrations)
        EXPECT_EQ(reg(), 0);
    EXPECT_EQ(SgPositionKey::Table().Find(1)->create, positionLinear);
    EXPECT_EQ(SgFloatKey::Table().Find(4)->create, floatNone);
}

TEST(KeyRegistration, ATableRegistersEachTypeOnce) {
    SgKeyCreateTable<SgFloatKey, 3> table;
    bool done = false;
    EXPECT_EQ(table.Register(done, 1, SgCreateKey<SgFloatKey, SgFloatKeyLinear>, 8), 1);
    EXPECT_TRUE(done);
    EXPECT_EQ(table.Register(done, 1, SgCreateNoKey<SgFloatKey>, 0), 0);
    EXPECT_EQ(table.Find(1)->recordBytes, 8u);
    bool other = false;
    EXPECT_EQ(table.Register(other, 3, SgCreateNoKey<SgFloatKey>, 0), 0) << "past the table";
    EXPECT_FALSE(table.Find(3));
}

TEST(KeySequence, EmptySequenceHasNoTypeWord) {
    const std::vector<uint8_t> zero = {0, 0, 0, 0};
    EXPECT_EQ(SequenceBytes(SgKeyArray<SgPositionKey>()), zero);
    EXPECT_EQ(SequenceBytes(SgKeyArray<SgRotationKey>()), zero);
    EXPECT_EQ(SequenceBytes(SgKeyArray<SgFloatKey>()), zero);
    EXPECT_EQ(SequenceBytes(SgKeyArray<SgVisibilityKey>()), zero);
    SgKeyArray<SgFloatKey> loaded = MakeKeys<SgFloatKey>(new SgFloatKeyLinear(1, 2));
    ASSERT_TRUE(LoadSequenceBytes(zero, loaded));
    EXPECT_TRUE(loaded.IsEmpty());
}

TEST(KeySequence, LinearPositionRecordIsByteExact) {
    auto keys = MakeKeys<SgPositionKey>(new SgPositionKeyLinear(0.5f, {1, 2, 3}), new SgPositionKeyLinear(1, {4, 5, 6}));
    std::vector<uint8_t> bytes = SequenceBytes(keys);
    std::vector<uint8_t> expected;
    AppendU32(expected, 2);
    AppendU32(expected, 1);
    for (float f : {0.5f, 1.0f, 2.0f, 3.0f, 1.0f, 4.0f, 5.0f, 6.0f}) {
        uint32_t u;
        std::memcpy(&u, &f, 4);
        AppendU32(expected, u);
    }
    EXPECT_EQ(bytes, expected);
}

TEST(KeySequence, VisibilityRecordsAreFiveBytes) {
    auto keys = MakeKeys<SgVisibilityKey>(new SgVisibilityKey{1.0f, 1}, new SgVisibilityKey{2.0f, 0});
    std::vector<uint8_t> bytes = SequenceBytes(keys);
    ASSERT_EQ(bytes.size(), 4u + 2 * 5);
    EXPECT_EQ(bytes[4 + 4], 1);
    EXPECT_EQ(bytes[9 + 4], 0);
    SgKeyArray<SgVisibilityKey> loaded;
    ASSERT_TRUE(LoadSequenceBytes(bytes, loaded));
    ASSERT_EQ(loaded.Count(), 2u);
    EXPECT_EQ(loaded[0]->time, 1.0f);
    EXPECT_EQ(loaded[0]->visible, 1);
    EXPECT_EQ(loaded[1]->time, 2.0f);
    EXPECT_EQ(loaded[1]->visible, 0);
}

// A sequence of every key type survives the stream and compares equal, at its exact size.
template <class K>
void CheckRoundTrip(const SgKeyArray<K>& keys, size_t recordBytes, const char* name) {
    std::vector<uint8_t> bytes = SequenceBytes(keys);
    if (recordBytes) {
        EXPECT_EQ(bytes.size(), 8 + keys.Count() * recordBytes) << name;
    }
    SgKeyArray<K> loaded;
    ASSERT_TRUE(LoadSequenceBytes(bytes, loaded)) << name;
    ASSERT_EQ(loaded.Count(), keys.Count()) << name;
    for (uint32_t i = 0; i < keys.Count(); ++i) {
        EXPECT_EQ(loaded[i]->KeyType(), keys[i]->KeyType()) << name;
        EXPECT_TRUE(loaded[i]->IsEqualTo(keys[i])) << name << " key " << i;
        EXPECT_FALSE(keys[i]->IsNotEqualTo(loaded[i])) << name << " key " << i;
    }
    EXPECT_EQ(SequenceBytes(loaded), bytes) << name;
    // Every shorter record is refused.
    for (size_t n = 0; n < bytes.size(); ++n) {
        SgKeyArray<K> cut;
        std::vector<uint8_t> part(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
        EXPECT_FALSE(LoadSequenceBytes(part, cut)) << name << " cut to " << n;
    }
}

SgPositionKeyTangent* Tangent(float t, SgVec3 p) {
    auto* k = new SgPositionKeyTangent(t, p);
    k->incomingTangent = {1, 2, 3};
    k->outgoingTangent = {4, 5, 6};
    k->c2 = {7, 8, 9};
    k->c3 = {10, 11, 12};
    return k;
}

SgPositionKeyShaped* PositionShaped(float t, SgVec3 p) {
    auto* k = new SgPositionKeyShaped(t, p);
    k->tension = 0.1f;
    k->continuity = 0.2f;
    k->bias = 0.3f;
    k->incomingTangent = {1, 2, 3};
    k->c3 = {4, 5, 6};
    return k;
}

TEST(KeySequence, PositionTypesRoundTrip) {
    CheckRoundTrip(MakeKeys<SgPositionKey>(new SgPositionKeyLinear(0, {1, 2, 3}), new SgPositionKeyLinear(1, {4, 5, 6})),
                   16, "linear");
    CheckRoundTrip(MakeKeys<SgPositionKey>(Tangent(0, {1, 2, 3}), Tangent(2, {3, 2, 1})), 64, "tangent");
    CheckRoundTrip(MakeKeys<SgPositionKey>(PositionShaped(0, {1, 2, 3}), PositionShaped(2, {3, 2, 1})), 76, "shaped");
}

template <class K>
K* Rotation(float t, float angle) {
    auto* k = new K;
    k->time = t;
    k->angle = angle;
    k->axis = {0, 0, 1};
    k->quaternion = SgQuat::FromAngleAxis(angle, k->axis);
    k->spinCount = 3;
    k->mode = 2;
    return k;
}

SgRotationKeyAxes* Axes() {
    auto* k = new SgRotationKeyAxes;
    k->time = 1;
    k->axisOrder = 5;
    auto x = MakeKeys<SgFloatKey>(new SgFloatKeyLinear(0, 1), new SgFloatKeyLinear(1, 2));
    auto z = MakeKeys<SgFloatKey>(new SgFloatKeyShaped(0, 1, 0.5f, 0, 0));
    k->SetTrack(0, x.Data(), x.Count());
    k->SetTrack(2, z.Data(), z.Count());
    return k;
}

TEST(KeySequence, RotationTypesRoundTrip) {
    CheckRoundTrip(MakeKeys<SgRotationKey>(Rotation<SgRotationKeyPlain>(0, 1), Rotation<SgRotationKeyPlain>(1, 2)), 44,
                   "plain");
    auto modal = MakeKeys<SgRotationKey>(Rotation<SgRotationKeyModal>(0, 1), Rotation<SgRotationKeyModal>(1, 2));
    static_cast<SgRotationKeyModal*>(modal[1])->control = {0.5f, 0.5f, 0.5f, 0.5f};
    static_cast<SgRotationKeyModal*>(modal[1])->angleControl = 4;
    CheckRoundTrip(modal, 64, "modal");
    auto shaped = MakeKeys<SgRotationKey>(Rotation<SgRotationKeyShaped>(0, 1), Rotation<SgRotationKeyShaped>(1, 2));
    auto* s = static_cast<SgRotationKeyShaped*>(shaped[0]);
    s->tension = 0.25f;
    s->incomingControl = {0, 1, 0, 0};
    s->outgoingAngleControl = 3;
    CheckRoundTrip(shaped, 96, "shaped");
    CheckRoundTrip(MakeKeys<SgRotationKey>(Axes()), 0, "axes");
}

TEST(KeySequence, FloatTypesRoundTrip) {
    CheckRoundTrip(MakeKeys<SgFloatKey>(new SgFloatKeyLinear(0, 4), new SgFloatKeyLinear(1, 8)), 8, "linear");
    auto tangent = MakeKeys<SgFloatKey>(new SgFloatKeyTangent(0, 4), new SgFloatKeyTangent(1, 8));
    static_cast<SgFloatKeyTangent*>(tangent[0])->outgoingTangent = 2;
    CheckRoundTrip(tangent, 16, "tangent");
    CheckRoundTrip(MakeKeys<SgFloatKey>(new SgFloatKeyShaped(0, 1, 0.1f, 0.2f, 0.3f), new SgFloatKeyShaped(1, 2, 0, 0, 0)),
                   28, "shaped");
    const float a[] = {1, 2, 3}, b[] = {4, 5, 6};
    CheckRoundTrip(MakeKeys<SgFloatKey>(new SgFloatKeyArrays(0, a, 3), new SgFloatKeyArrays(1, b, 3)), 32 + 36, "arrays");
    CheckRoundTrip(MakeKeys<SgFloatKey>(new SgFloatKeyPair(0, 0, 0, 0, 2, 6), new SgFloatKeyPair(1, 0, 0, 0, 5, 6)), 36,
                   "pair");
}

// Sequence records a loader must refuse, each built by hand.
struct DamagedCase {
    const char* name;
    int family;  // 0 position, 1 rotation, 2 float
    std::vector<uint8_t> bytes;
};

std::vector<uint8_t> Words(std::initializer_list<uint32_t> words, size_t zeros = 0) {
    std::vector<uint8_t> b;
    for (uint32_t w : words)
        AppendU32(b, w);
    b.insert(b.end(), zeros, 0);
    return b;
}

bool LoadFamily(int family, const std::vector<uint8_t>& bytes) {
    if (family == 0) {
        SgKeyArray<SgPositionKey> keys;
        return LoadSequenceBytes(bytes, keys);
    }
    if (family == 1) {
        SgKeyArray<SgRotationKey> keys;
        return LoadSequenceBytes(bytes, keys);
    }
    SgKeyArray<SgFloatKey> keys;
    return LoadSequenceBytes(bytes, keys);
}

std::vector<uint8_t> FloatKeys(uint32_t type, std::initializer_list<std::vector<uint8_t>> records) {
    std::vector<uint8_t> b = Words({static_cast<uint32_t>(records.size()), type});
    for (const auto& r : records)
        b.insert(b.end(), r.begin(), r.end());
    return b;
}

// A type 6 record: 28 bytes of shaped fields, target, weight count.
std::vector<uint8_t> Pair(uint32_t target, uint32_t weights) {
    std::vector<uint8_t> b(28, 0);
    AppendU32(b, target);
    AppendU32(b, weights);
    return b;
}

// A type 5 record with count values.
std::vector<uint8_t> Arrays(uint32_t count) {
    std::vector<uint8_t> b(28, 0);
    AppendU32(b, count);
    b.insert(b.end(), 12 * count, 0);
    return b;
}

TEST(KeySequence, DamagedSequencesAreRefused) {
    const DamagedCase cases[] = {
        {"position type not registered", 0, Words({1, 4}, 16)},
        {"position type 0 makes no key", 0, Words({1, 0}, 16)},
        {"rotation type 0 is not registered", 1, Words({1, 0}, 44)},
        {"rotation type past the table", 1, Words({1, 5}, 44)},
        {"float type 4 makes no key", 2, Words({1, 4}, 8)},
        {"float type 0 makes no key", 2, Words({1, 0}, 8)},
        {"a count past the bytes that remain", 0, Words({0xFFFFFFFF, 1}, 16)},
        {"a count one past the bytes", 2, Words({3, 1}, 16)},
        {"an array count past the bytes", 2, FloatKeys(5, {Words({0, 0, 0, 0, 0, 0, 0, 0x40000000})})},
        {"array keys of different counts", 2, FloatKeys(5, {Arrays(3), Arrays(2)})},
        {"a target at the weight count", 2, FloatKeys(6, {Pair(2, 6), Pair(6, 6)})},
        {"pair keys of different weight counts", 2, FloatKeys(6, {Pair(2, 6), Pair(2, 7)})},
        {"a weight count past the limit", 2, FloatKeys(6, {Pair(2, 65536)})},
        {"an axis track of an unregistered type", 1,
         [] {
             std::vector<uint8_t> b = Words({1, 4}, 44 + 2);
             AppendU32(b, 1);
             AppendU32(b, 9);
             b.insert(b.end(), 8, 0);
             AppendU32(b, 0);
             AppendU32(b, 0);
             return b;
         }()},
    };
    for (const DamagedCase& c : cases)
        EXPECT_FALSE(LoadFamily(c.family, c.bytes)) << c.name;
    EXPECT_TRUE(LoadFamily(2, FloatKeys(5, {Arrays(3), Arrays(3)}))) << "the well-formed neighbour of a case";
    EXPECT_TRUE(LoadFamily(2, FloatKeys(6, {Pair(2, 6), Pair(5, 6)})));
}

TEST(KeyComparison, TypesDiffer) {
    SgPositionKeyLinear linear(1, {1, 2, 3});
    SgPositionKeyTangent tangent(1, {1, 2, 3});
    EXPECT_FALSE(linear.IsEqualTo(&tangent));
    EXPECT_FALSE(tangent.IsEqualTo(&linear));
    EXPECT_TRUE(linear.IsNotEqualTo(&tangent));
    SgPositionKeyLinear same(1, {1, 2, 3});
    EXPECT_TRUE(linear.IsEqualTo(&same));
    same.position.z = NAN;
    EXPECT_TRUE(linear.IsEqualTo(&same)) << "floats are equal unless one is less than the other";
    same.position.z = 4;
    EXPECT_FALSE(linear.IsEqualTo(&same));
    EXPECT_FALSE(linear.IsEqualTo(nullptr));

    SgFloatKeyShaped shaped(0, 1, 0, 0, 0);
    SgFloatKeyTangent floatTangent(0, 1);
    EXPECT_FALSE(shaped.IsEqualTo(&floatTangent));
}

TEST(KeyClone, ClonesAreIndependent) {
    auto keys = MakeKeys<SgPositionKey>(Tangent(0, {1, 2, 3}), PositionShaped(1, {0, 0, 0}));
    auto copies = SgKeyArray<SgPositionKey>::CloneOf(keys.Data(), keys.Count());
    for (uint32_t i = 0; i < 2; ++i) {
        EXPECT_NE(copies[i], keys[i]);
        EXPECT_TRUE(copies[i]->IsEqualTo(keys[i]));
    }
    copies[0]->position.x = 9;
    EXPECT_EQ(keys[0]->position.x, 1.0f);
}

struct Timed {
    float time;
};

TEST(KeyIntervalSearch, ForwardBackwardAndExact) {
    Timed k[] = {{0}, {1}, {2}, {3}, {4}};
    const Timed* keys[] = {&k[0], &k[1], &k[2], &k[3], &k[4]};
    int32_t cursor = 0;
    bool exact = false;
    EXPECT_EQ(SgFindKeyInterval(keys, 5, cursor, 2.5f, exact), 2);
    EXPECT_FALSE(exact);
    EXPECT_EQ(cursor, 2);
    EXPECT_EQ(SgFindKeyInterval(keys, 5, cursor, 3.5f, exact), 3);
    EXPECT_EQ(SgFindKeyInterval(keys, 5, cursor, 0.5f, exact), 0) << "backwards: found on the second pass";
    EXPECT_EQ(SgFindKeyInterval(keys, 5, cursor, 3.0f, exact), 3);
    EXPECT_TRUE(exact);
    cursor = 99;
    EXPECT_EQ(SgFindKeyInterval(keys, 5, cursor, 1.5f, exact), 1) << "a stale cursor starts from 0";
    EXPECT_EQ(SgFindKeyInterval(keys, 5, cursor, NAN, exact), -1);
    EXPECT_EQ(SgFindKeyInterval(keys, 1, cursor, 0.5f, exact), -1);
    EXPECT_EQ(SgSegmentParameter(1.5f, 1, 3), 0.25f);
    EXPECT_EQ(SgSegmentParameter(1, 1, 1), 0.0f) << "equal times never divide by zero";
}

}  // namespace
