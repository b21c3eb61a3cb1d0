// Linked lists, the entry pool, world-state lists and the processor-selected routines.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/core/sg_debug_output.h"
#include "engine/core/sg_entry_pool.h"
#include "engine/core/sg_lists.h"
#include "engine/core/sg_object.h"
#include "engine/core/sg_processor.h"
#include "engine/core/sg_world_state.h"

namespace {

class Item : public SgObject {
public:
    static SgTypeRecord typeRecord;
    const SgTypeRecord* GetTypeRecord() const override { return &typeRecord; }
};
constinit SgTypeRecord Item::typeRecord{"SgListItem", &SgObject::typeRecord};

template <class List>
std::vector<void*> Values(const List& list) {
    std::vector<void*> out;
    for (auto v : list)
        out.push_back(v);
    return out;
}

TEST(PtrList, AddHeadMovesTheEmbeddedEntryBack) {
    int a, b, c;
    SgPtrList<int> list;
    EXPECT_TRUE(list.IsEmpty());
    list.AddHead(nullptr);
    EXPECT_TRUE(list.IsEmpty());
    list.AddHead(&a);
    list.AddHead(&b);
    list.AddHead(&c);
    EXPECT_EQ(Values(list), (std::vector<void*>{&c, &b, &a}));
    EXPECT_EQ(list.Count(), 3u);
    EXPECT_TRUE(list.Contains(&a));

    EXPECT_TRUE(list.Remove(&c));  // the embedded entry takes its follower
    EXPECT_EQ(Values(list), (std::vector<void*>{&b, &a}));
    EXPECT_TRUE(list.Remove(&a));
    EXPECT_FALSE(list.Remove(&a));
    EXPECT_TRUE(list.Remove(&b));  // the only one: emptied
    EXPECT_TRUE(list.IsEmpty());
}

TEST(RefChain, HoldsCountsAndRemovesWhileWalking) {
    uint32_t live = SgObject::LiveCount();
    {
        SgRefChain<Item> chain;
        Item* a = new Item;
        Item* b = new Item;
        Item* c = new Item;
        chain.Prepend(a);
        chain.Prepend(b);
        chain.Prepend(c);
        chain.Prepend(nullptr);
        EXPECT_EQ(Values(chain), (std::vector<void*>{c, b, a}));
        EXPECT_EQ(a->RefCount(), 1u);
        EXPECT_EQ(chain.First(), c);
        EXPECT_TRUE(chain.Contains(b));

        // Dropping the first and the last: each follower is still offered.
        std::vector<void*> offered;
        chain.RemoveIf([&](Item* i) {
            offered.push_back(i);
            return i != b;
        });
        EXPECT_EQ(offered, (std::vector<void*>{c, b, a}));
        EXPECT_EQ(Values(chain), (std::vector<void*>{b}));
        EXPECT_EQ(SgObject::LiveCount(), live + 1);
    }
    EXPECT_EQ(SgObject::LiveCount(), live);
}

TEST(RefList, NodesComeFromBlocksAndAreReused) {
    uint32_t live = SgObject::LiveCount();
    {
        SgRefList<Item> list(2);
        Item* items[3] = {new Item, new Item, new Item};
        for (Item* i : items)
            list.Append(i);
        EXPECT_EQ(list.Count(), 3u);
        EXPECT_EQ(list.BlockCount(), 2u);

        std::vector<void*> walked;
        SgRefList<Item>::Node* pos = list.Head();
        while (SgRef<Item> i = SgRefList<Item>::NextItem(pos))
            walked.push_back(i.Get());
        EXPECT_EQ(walked, (std::vector<void*>{items[0], items[1], items[2]}));
        SgRefList<Item>::Node* none = nullptr;
        EXPECT_FALSE(SgRefList<Item>::NextItem(none));

        EXPECT_TRUE(list.Remove(items[1]));
        EXPECT_EQ(list.Head()->next->item.Get(), items[2]);
        EXPECT_EQ(list.Tail()->previous->item.Get(), items[0]);
        list.Append(new Item);  // takes the freed node
        EXPECT_EQ(list.BlockCount(), 2u);
        EXPECT_EQ(list.Count(), 3u);
    }
    EXPECT_EQ(SgObject::LiveCount(), live);
}

TEST(EntryPool, ChunksOfFourAndReuse) {
    struct Entry {
        double payload[5];
    };
    SgEntryPool pool(sizeof(Entry));
    std::vector<void*> blocks;
    for (int i = 0; i < 5; ++i)
        blocks.push_back(pool.Take(sizeof(Entry)));
    EXPECT_EQ(pool.ChunkCount(), 2u);
    for (void* b : blocks)
        ASSERT_NE(b, nullptr);
    pool.Give(blocks[2], sizeof(Entry));
    EXPECT_EQ(pool.Take(sizeof(Entry)), blocks[2]);
    EXPECT_EQ(pool.ChunkCount(), 2u);

    void* other = pool.Take(3);  // another size: an ordinary allocation
    ASSERT_NE(other, nullptr);
    pool.Give(other, 3);
    EXPECT_EQ(pool.ChunkCount(), 2u);
}

// A stand-in for a scene object: makes world states on request.
struct StateOwner {
    int made = 0;
    SgWorldState* NewWorldState() {
        ++made;
        return new SgWorldState;
    }
};

SgAVObject* Key(int i) { return reinterpret_cast<SgAVObject*>(static_cast<uintptr_t>(0x1000 * i)); }

TEST(WorldStateList, FindOrMakeRekeyAndDrop) {
    StateOwner owner;
    SgWorldStateList list(1, 1);
    SgWorldState* s1 = list.FindOrMake(Key(1), &owner);
    SgWorldState* s2 = list.FindOrMake(Key(2), &owner);
    SgWorldState* s3 = list.FindOrMake(Key(3), &owner);
    EXPECT_EQ(list.FindOrMake(Key(2), &owner), s2);
    EXPECT_EQ(owner.made, 3);
    EXPECT_EQ(s2->key, Key(2));
    EXPECT_EQ(s2->worldScale, 1.0f);
    EXPECT_EQ(s2->worldRotation, SgIdentityMat3);
    EXPECT_EQ(s2->refreshVertices, 1);

    // Dropping the middle one leaves two, in order, in an array of exactly two.
    EXPECT_TRUE(list.Drop(Key(2), s2));
    EXPECT_EQ(list.UsedSize(), 2u);
    EXPECT_EQ(list.Capacity(), 2u);
    EXPECT_EQ(list.At(0), s1);
    EXPECT_EQ(list.At(1), s3);
    EXPECT_FALSE(list.Drop(Key(9), nullptr));
    EXPECT_FALSE(list.Drop(Key(3), s1));  // dropped, but not the expected one
    EXPECT_EQ(list.UsedSize(), 1u);

    SgAVObject* key = Key(5);
    EXPECT_FALSE(list.KeyAt(7, key));
    EXPECT_EQ(key, nullptr);
    EXPECT_TRUE(list.KeyAt(0, key));
    EXPECT_EQ(key, Key(1));

    EXPECT_EQ(list.Rekey(Key(1), Key(4)), s1);
    EXPECT_EQ(list.Rekey(Key(1), Key(4)), nullptr);
    list.SetFirstKey(nullptr);
    EXPECT_EQ(s1->key, nullptr);
}

TEST(Processor, ClassesByFeatureBits) {
    struct Case {
        bool extended;
        uint32_t extendedEdx, leaf1Edx, processorClass;
    };
    const uint32_t mmx = 1u << 23, cmov = 1u << 15, amd3dnow = 1u << 31;
    const Case cases[] = {
        {false, 0, 0, 1},           {false, 0, mmx, 2},         {false, 0, cmov, 3},
        {false, 0, mmx | cmov, 4},  {true, amd3dnow, 0, 6},     {true, 0, mmx | cmov, 4},
        {false, amd3dnow, mmx, 2},  // no extended leaves: the bit is not looked at
    };
    for (const Case& c : cases)
        EXPECT_EQ(ClassifyProcessor(c.extended, c.extendedEdx, c.leaf1Edx), c.processorClass);
    EXPECT_STREQ(ProcessorName(4), "Pentium II");
    EXPECT_STREQ(ProcessorName(0), "Unsupported processor");
}

TEST(Processor, RoutinesAreAlwaysInstalled) {
    SelectTransformRoutines();
    ASSERT_NE(SgTransformPointsRoutine, nullptr);
    ASSERT_NE(SgTransformPointsScaledRoutine, nullptr);
#if defined(__x86_64__)
    EXPECT_GE(ProcessorClass(), 4u);  // every x86-64 processor has MMX and conditional moves
#endif
    SgVec3 in[2] = {{1, 0, 0}, {0, 2, 0}}, out[2];
    SgMat3 quarter = SgMat3::Rotation(5, SgHalfPi);
    SgTransformPointsRoutine(2, in, out, quarter);
    EXPECT_NEAR(out[0].y, -1.0f, 1e-6f);
    EXPECT_NEAR(out[1].x, 2.0f, 1e-6f);
    SgTransformPointsScaledRoutine(2, in, out, quarter, 3.0f, SgVec3(0, 0, 5));
    EXPECT_NEAR(out[0].y, -3.0f, 1e-5f);
    EXPECT_NEAR(out[1].x, 6.0f, 1e-5f);
    EXPECT_EQ(out[1].z, 5.0f);
}

std::string g_debugText;

TEST(Processor, DetectionWarnsThroughTheDebugOutput) {
    g_debugText.clear();
    SgSetDebugOutputSink([](const char* text) { g_debugText += text; });
    DetectProcessor();
    SgDebugOutputF("%s %d\n", "after", 7);
    SgSetDebugOutputSink(nullptr);
    SgDebugOutput("dropped");
    EXPECT_EQ(g_debugText,
              "Scenegrove WARNING: Processor detection code: benign first-chance exception possible\n"
              "after 7\n");
}

}  // namespace
