// The depth ordering of deferred draws: the partial-order sort and the cluster set's sweeps and
// comparisons.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "engine/geometry/sg_depth_cluster_set.h"
#include "engine/geometry/sg_partial_order.h"

namespace {

// Items are small integers; the table says which goes before which.
struct Table {
    int relation[8][8] = {};  // relation[a][b]: -1 a before b, 1 after
    void Before(int a, int b) {
        relation[a][b] = -1;
        relation[b][a] = 1;
    }
};

int CompareByTable(void* a, void* b, void* context) {
    auto* t = static_cast<Table*>(context);
    return t->relation[reinterpret_cast<intptr_t>(a)][reinterpret_cast<intptr_t>(b)];
}

std::vector<int> SortItems(SgPartialOrder& order, Table& t, std::vector<int> items, bool* cycle = nullptr) {
    std::vector<void*> p;
    for (int i : items)
        p.push_back(reinterpret_cast<void*>(static_cast<intptr_t>(i)));
    bool broke = order.Sort(p.data(), static_cast<uint32_t>(p.size()), CompareByTable, &t);
    if (cycle)
        *cycle = broke;
    std::vector<int> out;
    for (void* v : p)
        out.push_back(static_cast<int>(reinterpret_cast<intptr_t>(v)));
    return out;
}

TEST(SgPartialOrderTest, PlacesEveryItemAfterThoseThatMustComeFirst) {
    SgPartialOrder order(16);
    Table t;
    t.Before(3, 1);
    t.Before(1, 0);
    t.Before(2, 0);
    bool cycle = true;
    std::vector<int> got = SortItems(order, t, {0, 1, 2, 3}, &cycle);
    EXPECT_FALSE(cycle);
    auto pos = [&](int v) { return std::find(got.begin(), got.end(), v) - got.begin(); };
    EXPECT_LT(pos(3), pos(1));
    EXPECT_LT(pos(1), pos(0));
    EXPECT_LT(pos(2), pos(0));
    // Unordered items keep the placement rule: from the last position down, the first item in
    // index order with nothing after it.
    EXPECT_EQ(got, (std::vector<int>{3, 2, 1, 0}));
}

TEST(SgPartialOrderTest, ACycleIsBrokenAndEveryItemPlacedOnce) {
    SgPartialOrder order(16);
    Table t;
    t.Before(0, 1);
    t.Before(1, 2);
    t.Before(2, 0);
    t.Before(3, 0);  // 0 has one more predecessor: the cycle breaks at 0
    bool cycle = false;
    std::vector<int> got = SortItems(order, t, {0, 1, 2, 3}, &cycle);
    EXPECT_TRUE(cycle);
    std::vector<int> sorted = got;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(got.back(), 0) << "placed last: the fewest successors, then the most predecessors";
}

TEST(SgPartialOrderTest, GrowsPastItsCapacity) {
    SgPartialOrder order(2);
    Table t;
    for (int i = 0; i + 1 < 8; ++i)
        t.Before(i + 1, i);
    std::vector<int> got = SortItems(order, t, {0, 1, 2, 3, 4, 5, 6, 7});
    EXPECT_EQ(got, (std::vector<int>{7, 6, 5, 4, 3, 2, 1, 0}));
    EXPECT_EQ(order.Capacity(), 8u);
}

// Deferred objects with bounds and camera boxes, for the cluster set. The set never looks into an
// entry, so the entries here are only distinct addresses.
struct Scene {
    std::vector<SgBoundSphere> bounds;
    std::vector<std::array<float, 6>> boxes;
    std::vector<SgDeferredDrawEntry*> entries;
    std::vector<const SgBoundSphere*> boundPointers;
    char tokens[64] = {};

    Scene() { bounds.reserve(64); }
    // A sphere at depth z (the eye at the origin looking along +z), with a box around it.
    SgDeferredDrawEntry* Add(float x, float y, float z, float r) {
        SgBoundSphere b;
        b.centre = {x, y, z};
        b.radius = r;
        bounds.push_back(b);
        boundPointers.push_back(&bounds.back());
        boxes.push_back({x - r, y - r, z - r, x + r, y + r, z + r});
        auto* e = reinterpret_cast<SgDeferredDrawEntry*>(&tokens[entries.size()]);
        entries.push_back(e);
        return e;
    }
    void Build(SgDepthClusterSet& set) const {
        set.BuildFromBoxes(static_cast<int32_t>(entries.size()), entries.data(),
                           reinterpret_cast<const float(*)[6]>(boxes.data()), boundPointers.data(), SgZeroVec3);
    }
    static std::vector<SgDeferredDrawEntry*> Drawn(SgDepthClusterSet& set) {
        std::vector<SgDeferredDrawEntry*> out;
        set.Begin();
        while (SgDeferredDrawEntry* e = set.Next())
            out.push_back(e);
        return out;
    }
};

TEST(SgDepthClusterSetTest, OverlappingObjectsComeOutFarthestFirst) {
    Scene s;
    SgDeferredDrawEntry* nearest = s.Add(0, 0, 2, 1);
    SgDeferredDrawEntry* farthest = s.Add(0.5f, 0, 9, 1);
    SgDeferredDrawEntry* middle = s.Add(0, 0.5f, 5, 1);
    SgDepthClusterSet set;
    s.Build(set);
    EXPECT_EQ(Scene::Drawn(set), (std::vector<SgDeferredDrawEntry*>{farthest, middle, nearest}));
    // Three separate depth ranges make three clusters.
    EXPECT_EQ(set.ClusterLength(0), 1);
    EXPECT_EQ(set.ClusterLength(1), 1);
    set.Clear();
    EXPECT_EQ(set.Next(), nullptr);
}

int ClusterCount(const SgDepthClusterSet& set) {
    int clusters = 0;
    for (int32_t i = 0; i < set.Count(); i += set.ClusterLength(i))
        ++clusters;
    return clusters;
}

TEST(SgDepthClusterSetTest, TouchingDepthRangesStayOneClusterAndSideBySideBoxesSplit) {
    Scene touching;
    touching.Add(0, 0, 2, 1);  // z 1..3
    touching.Add(0, 0, 4, 1);  // z 3..5: touches
    SgDepthClusterSet set;
    touching.Build(set);
    ASSERT_EQ(set.Count(), 2);
    EXPECT_EQ(ClusterCount(set), 1);
    // Of the touching pair, the far one goes first.
    EXPECT_EQ(Scene::Drawn(set), (std::vector<SgDeferredDrawEntry*>{touching.entries[1], touching.entries[0]}));
    set.Clear();

    // At one depth, but apart across the screen: the horizontal sweep parts them.
    Scene beside;
    beside.Add(0, 0, 3, 1);
    beside.Add(10, 0, 3, 1);
    beside.Build(set);
    ASSERT_EQ(set.Count(), 2);
    EXPECT_EQ(ClusterCount(set), 2);
    EXPECT_EQ(Scene::Drawn(set).size(), 2u);
    set.Clear();
}

TEST(SgDepthClusterSetTest, CompareDepthUsesTheBoxesThenTheSpheres) {
    Scene s;
    s.Add(0, 0, 5, 1);
    s.Add(0, 0, 6, 2);   // overlaps the first in depth: the spheres decide
    s.Add(5, 0, 5, 1);   // beside: no order
    SgBoxRecord a, b, c;
    for (int k = 0; k < 3; ++k) {
        a.minimum[k] = s.boxes[0][k];
        a.maximum[k] = s.boxes[0][3 + k];
        b.minimum[k] = s.boxes[1][k];
        b.maximum[k] = s.boxes[1][3 + k];
        c.minimum[k] = s.boxes[2][k];
        c.maximum[k] = s.boxes[2][3 + k];
    }
    a.bound = &s.bounds[0];
    b.bound = &s.bounds[1];
    c.bound = &s.bounds[2];
    EXPECT_EQ(SgDepthClusterSet::CompareDepth(a, b, SgZeroVec3), -1);
    EXPECT_EQ(SgDepthClusterSet::CompareDepth(b, a, SgZeroVec3), 1);
    EXPECT_EQ(SgDepthClusterSet::CompareDepth(a, c, SgZeroVec3), 0);
    // Seen from beyond them, the order turns.
    EXPECT_EQ(SgDepthClusterSet::CompareDepth(a, b, SgVec3{0, 0, 20}), 1);
}

TEST(SgDepthClusterSetTest, ThreeObjectsInACycleAreEachDrawnOnce) {
    // Spheres whose pairwise depth tests go round: a before b, b before c, c before a.
    Scene s;
    s.Add(-0.6f, -0.9f, 5.7f, 1.2f);
    s.Add(0.3f, 0.5f, 5.8f, 0.4f);
    s.Add(0.7f, 0.3f, 5.8f, 1.8f);
    SgBoxRecord r[3];
    for (int i = 0; i < 3; ++i) {
        for (int k = 0; k < 3; ++k) {
            r[i].minimum[k] = s.boxes[i][k];
            r[i].maximum[k] = s.boxes[i][3 + k];
        }
        r[i].bound = &s.bounds[i];
    }
    ASSERT_EQ(SgDepthClusterSet::CompareDepth(r[0], r[1], SgZeroVec3), -1);
    ASSERT_EQ(SgDepthClusterSet::CompareDepth(r[1], r[2], SgZeroVec3), -1);
    ASSERT_EQ(SgDepthClusterSet::CompareDepth(r[2], r[0], SgZeroVec3), -1);

    SgDepthClusterSet set;
    s.Build(set);
    EXPECT_EQ(set.ClusterLength(0), 3);
    std::vector<SgDeferredDrawEntry*> drawn = Scene::Drawn(set);
    std::sort(drawn.begin(), drawn.end());
    std::vector<SgDeferredDrawEntry*> all = s.entries;
    std::sort(all.begin(), all.end());
    EXPECT_EQ(drawn, all);
    set.Clear();
}

TEST(SgDepthClusterSetTest, ArraysAndTheRelationGridGrowWithThePass) {
    SgDepthClusterSet set;
    {
        Scene small;
        small.Add(0, 0, 1, 1);
        small.Build(set);
        EXPECT_EQ(set.Capacity(), 1);
        set.Clear();
    }
    // Twenty overlapping objects in a row of depths: one cluster larger than 16.
    Scene s;
    for (int i = 0; i < 20; ++i)
        s.Add(0.01f * i, 0, 2.0f + 0.5f * i, 1);
    s.Build(set);
    EXPECT_EQ(set.Capacity(), 20);
    EXPECT_EQ(set.ClusterLength(0), 20);
    EXPECT_EQ(set.Order().Capacity(), 20u);
    std::vector<SgDeferredDrawEntry*> drawn = Scene::Drawn(set);
    ASSERT_EQ(drawn.size(), 20u);
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(drawn[i], s.entries[19 - i]) << i;
    set.Clear();
}

TEST(SgDepthClusterSetTest, GarbageBoxesStillGiveEveryEntryOnce) {
    Scene s;
    for (int i = 0; i < 12; ++i)
        s.Add(0, 0, float(i), 1);
    s.boxes[3][2] = std::nanf("");
    s.boxes[7][0] = std::nanf("");
    s.boxes[7][3] = std::nanf("");
    SgDepthClusterSet set;
    s.Build(set);
    std::vector<SgDeferredDrawEntry*> drawn = Scene::Drawn(set);
    std::sort(drawn.begin(), drawn.end());
    std::vector<SgDeferredDrawEntry*> all = s.entries;
    std::sort(all.begin(), all.end());
    EXPECT_EQ(drawn, all);
    set.Clear();
}

}  // namespace
