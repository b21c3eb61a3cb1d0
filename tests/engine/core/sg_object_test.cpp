// Engine objects, references, type records, the class registries and the engine's arrays.

#include <gtest/gtest.h>

#include "engine/core/sg_array.h"
#include "engine/core/sg_object.h"
#include "engine/core/sg_registry.h"

namespace {

// A plain concrete class for these tests; counts its own destructions.
class Probe : public SgObject {
public:
    static SgTypeRecord typeRecord;
    static int destroyed;
    const SgTypeRecord* GetTypeRecord() const override { return &typeRecord; }

protected:
    ~Probe() override { ++destroyed; }
};
constinit SgTypeRecord Probe::typeRecord{"SgProbe", &SgObject::typeRecord};
int Probe::destroyed = 0;

class ProbeChild : public Probe {
public:
    static SgTypeRecord typeRecord;
    const SgTypeRecord* GetTypeRecord() const override { return &typeRecord; }
};
constinit SgTypeRecord ProbeChild::typeRecord{"SgProbeChild", &Probe::typeRecord};

class EngineObject : public testing::Test {
protected:
    void SetUp() override {
        Probe::destroyed = 0;
        live = SgObject::LiveCount();
    }
    void TearDown() override { EXPECT_EQ(SgObject::LiveCount(), live) << "objects leaked"; }
    uint32_t live = 0;
};

TEST_F(EngineObject, LastReferenceDestroysAndFirstRaisesFromZero) {
    Probe* p = new Probe;
    EXPECT_EQ(p->RefCount(), 0u);
    EXPECT_EQ(SgObject::LiveCount(), live + 1);
    {
        SgRef<Probe> a(p);
        EXPECT_EQ(p->RefCount(), 1u);
        SgRef<Probe> b = a;
        SgRef<SgObject> c = b;  // a reference to a base
        EXPECT_EQ(p->RefCount(), 3u);
        b = p;  // the same pointer: nothing changes
        EXPECT_EQ(p->RefCount(), 3u);
        c = nullptr;
        SgRef<Probe> moved = std::move(b);
        EXPECT_EQ(p->RefCount(), 2u);
        EXPECT_FALSE(b);
        EXPECT_EQ(Probe::destroyed, 0);
    }
    EXPECT_EQ(Probe::destroyed, 1);
}

TEST_F(EngineObject, ReassigningReleasesTheOldObject) {
    SgRef<Probe> r(new Probe);
    r = new Probe;
    EXPECT_EQ(Probe::destroyed, 1);
    r = SgRef<Probe>();
    EXPECT_EQ(Probe::destroyed, 2);
}

TEST_F(EngineObject, KindTestsWalkTheBaseRecordsByIdentity) {
    SgRef<ProbeChild> child(new ProbeChild);
    SgRef<Probe> plain(new Probe);
    EXPECT_TRUE(child->IsKindOf(&Probe::typeRecord));
    EXPECT_TRUE(child->IsKindOf(&SgObject::typeRecord));
    EXPECT_FALSE(child->IsExactly(&Probe::typeRecord));
    EXPECT_FALSE(plain->IsKindOf(&ProbeChild::typeRecord));
    EXPECT_EQ(SgKindCast<Probe>(child.Get()), child.Get());
    EXPECT_EQ(SgKindCast<ProbeChild>(plain.Get()), nullptr);
    EXPECT_EQ(SgExactCast<Probe>(child.Get()), nullptr);
    // A record with the same name is still another class.
    SgTypeRecord lookalike{"SgProbe", &SgObject::typeRecord};
    EXPECT_FALSE(plain->IsKindOf(&lookalike));
}

TEST_F(EngineObject, RootComparisonLooksAtClassAndName) {
    SgRef<Probe> a(new Probe), b(new Probe);
    SgRef<ProbeChild> c(new ProbeChild);
    EXPECT_TRUE(a->IsEqualTo(b.Get()));  // two unnamed objects of one class
    EXPECT_FALSE(a->IsEqualTo(nullptr));
    EXPECT_FALSE(a->IsEqualTo(c.Get()));
    a->AssignName("door");
    EXPECT_FALSE(a->IsEqualTo(b.Get()));  // named and unnamed
    EXPECT_FALSE(b->IsEqualTo(a.Get()));
    b->AssignName("Door");
    EXPECT_FALSE(a->IsEqualTo(b.Get()));  // case matters
    b->AssignName("door");
    EXPECT_TRUE(a->IsEqualTo(b.Get()));
    a->AssignName(nullptr);
    EXPECT_EQ(a->GetName(), nullptr);

    // References compare as objects: both empty, or both set and alike.
    b->AssignName(nullptr);
    EXPECT_TRUE(SgSameObjects(nullptr, nullptr));
    EXPECT_TRUE(SgSameObjects(a.Get(), b.Get()));
    EXPECT_FALSE(SgSameObjects(a.Get(), nullptr));
    EXPECT_FALSE(SgSameObjects(nullptr, a.Get()));
    EXPECT_FALSE(SgSameObjects(a.Get(), c.Get()));
}

TEST_F(EngineObject, ExtraDataListLinksAndUnlinks) {
    SgRef<Probe> p(new Probe);
    auto* first = new SgStringExtraData("one");
    auto* second = new SgExtraData;
    auto* stranger = new SgExtraData;

    p->UnlinkExtra(first);  // empty list: nothing happens
    EXPECT_EQ(p->ExtraHead(), nullptr);
    p->PrependExtra(first);
    p->PrependExtra(second);
    EXPECT_EQ(p->ExtraHead(), second);
    EXPECT_EQ(second->next, first);

    p->UnlinkExtra(stranger);  // not in the list: nothing happens
    p->UnlinkExtra(nullptr);
    EXPECT_EQ(p->ExtraHead(), second);
    EXPECT_EQ(second->next, first);

    p->UnlinkExtra(first);  // the last one: its predecessor is bridged
    EXPECT_EQ(second->next, nullptr);
    p->PrependExtra(first);
    p->UnlinkExtra(first);  // the head
    EXPECT_EQ(p->ExtraHead(), second);
    delete first;
    delete stranger;
    // second goes with the object.
}

TEST_F(EngineObject, CloneRecordNamesTheCopy) {
    SgRef<Probe> source(new Probe), copy(new Probe);
    EXPECT_EQ(source->FindCloneRecord(), nullptr);
    source->PrependExtra(new SgStringExtraData("x"));
    source->AttachCloneRecord(copy.Get());
    EXPECT_EQ(source->FindCloneRecord(), copy.Get());
    EXPECT_EQ(copy->RefCount(), 1u);  // the record holds no count
}

// ---- Registries ----

bool CreateFirst(SgSceneStream&, SgObject**) { return true; }
bool CreateSecond(SgSceneStream&, SgObject**) { return false; }

TEST(ClassRegistry, ClassRegistersOnceAndTheLastClassOfANameWins) {
    SgTypeRecord first{"SgRegistryTwin", &SgObject::typeRecord};
    SgTypeRecord second{"SgRegistryTwin", &SgObject::typeRecord};
    EXPECT_EQ(SgClassRegistry::Register(first, CreateFirst), 1);
    EXPECT_EQ(SgClassRegistry::Register(first, CreateSecond), 0);  // from a second file: ignored
    EXPECT_EQ(SgClassRegistry::FindCreateFunction("SgRegistryTwin"), &CreateFirst);
    EXPECT_EQ(SgClassRegistry::Register(second, CreateSecond), 1);
    EXPECT_EQ(SgClassRegistry::FindCreateFunction("SgRegistryTwin"), &CreateSecond);
    EXPECT_EQ(SgClassRegistry::FindCreateFunction("sgregistrytwin"), nullptr);
}

TEST(ClassRegistry, EngineClassesAreRegisteredBeforeMain) {
    for (const char* name : {"SgAlphaProperty", "SgMaterialProperty", "SgSpecularProperty"})
        EXPECT_NE(SgClassRegistry::FindCreateFunction(name), nullptr) << name;
    EXPECT_EQ(SgClassRegistry::FindCreateFunction("SgObject"), &SgCreateAbstract);
    EXPECT_EQ(SgClassRegistry::FindCreateFunction("SgProperty"), &SgCreateAbstract);
    EXPECT_NE(SgClassRegistry::FindExtraCreateFunction("SgStringExtraData"), nullptr);
    EXPECT_NE(SgClassRegistry::FindExtraCreateFunction("SgExtraData"), nullptr);
    EXPECT_EQ(SgClassRegistry::FindExtraCreateFunction("SgCloneExtraData"), nullptr);
    EXPECT_EQ(SgClassRegistry::Objects().BucketCount(), 37u);
}

TEST(NameHashMap, HashTakesBytesAsSigned) {
    struct Case {
        const char* key;
        uint32_t hash;
    };
    const Case cases[] = {
        {"", 0},
        {"a", 97},
        {"ab", 97 * 33 + 98},
        {"\x80", static_cast<uint32_t>(-128)},                // 0 * 33 + (0x80 - 256)
        {"a\xff", 97u * 33u + static_cast<uint32_t>(-1)},     // h * 33 + (0xFF - 256)
        {"\xff\xff", static_cast<uint32_t>(-1) * 33u - 1u},   // wraps in 32 bits
    };
    for (const Case& c : cases)
        EXPECT_EQ(SgNameHashMap<int>::HashText(c.key), c.hash) << c.key;
    SgNameHashMap<int> map(37);
    EXPECT_EQ(map.Hash(reinterpret_cast<uintptr_t>("\x80")), static_cast<uint32_t>(-128) % 37);
}

TEST(NameHashMap, InsertReplacesAndKeepsItsOwnKeyCopies) {
    SgNameHashMap<int> map(37);
    char key[8] = "light";
    EXPECT_TRUE(map.Insert(key, 1));
    EXPECT_TRUE(map.Insert("other", 2));
    EXPECT_TRUE(map.Insert("light", 3));  // replaces, count unchanged
    EXPECT_EQ(map.Count(), 2u);
    key[0] = 'n';  // the map kept its own copy
    EXPECT_EQ(map.Lookup("light"), 3);
    EXPECT_EQ(map.Lookup("night"), 0);
    EXPECT_EQ(map.Lookup(nullptr), 0);
    // Keys of one bucket chain side by side.
    SgNameHashMap<int> tiny(1);
    tiny.Insert("a", 1);
    tiny.Insert("b", 2);
    tiny.Insert("c", 3);
    EXPECT_EQ(tiny.Lookup("a"), 1);
    EXPECT_EQ(tiny.Lookup("c"), 3);
    tiny.Clear();
    EXPECT_EQ(tiny.Count(), 0u);
    EXPECT_EQ(tiny.Lookup("b"), 0);
}

TEST(IntHashMap, KeysModuloBuckets) {
    SgHashMap<const char*> map(7);
    map.InsertKey(3, "three");
    map.InsertKey(10, "ten");  // same bucket
    EXPECT_EQ(map.Hash(10), 3u);
    EXPECT_STREQ(map.LookupKey(3), "three");
    EXPECT_STREQ(map.LookupKey(10), "ten");
    EXPECT_EQ(map.LookupKey(17), nullptr);
}

// ---- Arrays ----

TEST_F(EngineObject, ArrayEdgeCases) {
    SgArray<Probe> a(2, 1);
    a.SetArrayElement(2, new Probe);  // at the capacity: ignored, never grows
    EXPECT_EQ(a.Capacity(), 2u);
    EXPECT_EQ(a.UsedSize(), 0u);
    EXPECT_EQ(Probe::destroyed, 1);  // nobody kept it

    a.SetAtGrow(2, new Probe);  // at the capacity with step 1: exactly one more
    EXPECT_EQ(a.Capacity(), 3u);
    EXPECT_EQ(a.UsedSize(), 3u);
    EXPECT_EQ(a.Count(), 1u);

    // Taking the last index lowers the used size by one only, although slot 1 is empty.
    SgRef<Probe> taken = a.TakeAt(2);
    EXPECT_TRUE(taken);
    EXPECT_EQ(a.UsedSize(), 2u);
    EXPECT_EQ(a.Count(), 0u);
    EXPECT_FALSE(a.TakeAt(5));

    a.SetArrayElement(0, taken.Get());
    a.SetArrayElement(0, nullptr);  // replaced by null: count drops
    EXPECT_EQ(a.Count(), 0u);
    EXPECT_EQ(a.UsedSize(), 2u);
}

TEST(PtrArray, IndexWhoseCapacityWouldWrapIsIgnored) {
    SgPtrArray<uint32_t> a(1, 8);
    for (uint32_t i = 0; i < 10; ++i)
        a.Append(i + 1);
    a.SetAtGrow(UINT32_MAX - 1, 99);  // index + grow step passes 32 bits
    EXPECT_EQ(a.UsedSize(), 10u);
    EXPECT_GE(a.Capacity(), 10u);
    for (uint32_t i = 0; i < 10; ++i)
        EXPECT_EQ(a.At(i), i + 1);
}

TEST_F(EngineObject, ArrayFillsHolesAndShrinks) {
    SgArray<Probe> a(1, 2);
    a.AddToFirstFree(nullptr);
    EXPECT_EQ(a.UsedSize(), 0u);
    Probe* p0 = new Probe;
    Probe* p1 = new Probe;
    a.AddToFirstFree(p0);
    a.AddToFirstFree(p1);  // appended: capacity = used size + grow step
    EXPECT_EQ(a.Capacity(), 3u);
    a.SetArrayElement(0, nullptr);
    EXPECT_EQ(Probe::destroyed, 1);
    Probe* p2 = new Probe;
    a.AddToFirstFree(p2);  // fills the hole
    EXPECT_EQ(a.At(0), p2);
    EXPECT_EQ(a.Find(p1), 1);
    EXPECT_EQ(a.GetArrayElementRef(1).Get(), p1);
    EXPECT_EQ(a.GetArrayElementRef(9).Get(), nullptr);  // past the used size: null

    a.SetCapacity(1);  // slot 1 is cleared, its object released
    EXPECT_EQ(Probe::destroyed, 2);
    EXPECT_EQ(a.UsedSize(), 1u);
    EXPECT_EQ(a.Count(), 1u);
    EXPECT_EQ(a.At(0), p2);
}

TEST(PtrArray, HoldsNoCounts) {
    uint32_t live = SgObject::LiveCount();
    Probe* p = new Probe;
    {
        SgPtrArray<Probe*> a(1, 1);
        a.Append(p);
        a.Append(nullptr);
        EXPECT_EQ(a.UsedSize(), 2u);
        EXPECT_EQ(a.Count(), 1u);
        EXPECT_EQ(p->RefCount(), 0u);
        EXPECT_EQ(a.TakeAt(0), p);
        EXPECT_EQ(a.UsedSize(), 2u);
    }
    SgRef<Probe> release(p);
    release = nullptr;
    EXPECT_EQ(SgObject::LiveCount(), live);
}

}  // namespace
