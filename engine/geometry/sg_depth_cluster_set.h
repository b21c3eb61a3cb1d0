#pragma once
// Orders the deferred objects of a pass from the farthest to the nearest. Each object's bound is
// projected into a camera box (x and y across the view, z the depth growing away from the eye);
// sorted sweeps along z, then y, then x split the set into clusters whose boxes overlap, and only
// the objects inside one cluster are compared with each other, pairwise, by depth.

#include <array>
#include <cstdint>
#include <vector>

#include "engine/core/sg_bound.h"
#include "engine/core/sg_lists.h"
#include "engine/core/sg_math.h"
#include "engine/core/sg_ref.h"
#include "engine/geometry/sg_partial_order.h"

class SgCamera;
struct SgDeferredDrawEntry;

// One object's camera box, pooled: records are taken and given back every frame.
struct SgBoxRecord {
    SgDeferredDrawEntry* entry = nullptr;
    const SgBoundSphere* bound = nullptr;  // the entry's world bound, for the depth comparison
    float minimum[3] = {};  // x, y, z
    float maximum[3] = {};
    SgBoxRecord* link = nullptr;  // used only while the record waits in the pool
};

// The box record pool: records come from blocks of four kept until the program ends.
class SgPooledRecord {
public:
    static SgBoxRecord* Allocate();
    static void Free(SgBoxRecord* record);
};

class SgDepthClusterSet {
public:
    static constexpr uint32_t kOrderCapacity = 16;

    SgDepthClusterSet();
    SgDepthClusterSet(const SgDepthClusterSet&) = delete;
    SgDepthClusterSet& operator=(const SgDepthClusterSet&) = delete;
    virtual ~SgDepthClusterSet();

    // The camera whose view the boxes are taken in (counted; null lets it go).
    void SetCamera(SgCamera* camera);
    SgCamera* Camera() const { return camera_.Get(); }
    // Records for the entries in list order, boxed by the camera's projection of their bounds
    // and compared from its world position; without a camera there is nothing to order.
    void Build(const SgPooledList<SgDeferredDrawEntry*>& entries);

    // Records for the n entries with their camera boxes (minimum x, y, z, maximum x, y, z) and
    // world bounds, then clusters and orders them nearest first, comparing depths as seen from
    // the eye point. The bounds must stay in place until Clear.
    void BuildFromBoxes(int32_t n, SgDeferredDrawEntry* const* entries, const float (*boxes)[6],
                        const SgBoundSphere* const* bounds, const SgVec3& eye);

    // Iteration from the farthest to the nearest: Begin, then Next until null.
    void Begin() { cursor_ = count_; }
    SgDeferredDrawEntry* Next();
    // Gives every record of the pass back to the pool.
    void Clear();

    // -1 when a goes before b (a is nearer), 1 when after, 0 when their boxes do not overlap on
    // the screen (no order).
    static int CompareDepth(const SgBoxRecord& a, const SgBoxRecord& b, const SgVec3& eye);

    int32_t Count() const { return count_; }
    int32_t Capacity() const { return capacity_; }
    const SgBoxRecord* Record(int32_t i) const { return i >= 0 && i < count_ ? records_[i] : nullptr; }
    // The cluster starting at i has this many records (0 inside a cluster).
    int32_t ClusterLength(int32_t i) const { return i >= 0 && i < count_ ? lengths_[i] : 0; }
    const SgPartialOrder& Order() const { return order_; }

private:
    // Re-clusters every cluster along one axis (0 x, 1 y, 2 z).
    void SplitAlong(int axis);
    void OrderCluster(int32_t start, int32_t length, const SgVec3& eye);

    SgRef<SgCamera> camera_;
    // Build's work lists, kept so that a steady scene allocates nothing per frame.
    std::vector<SgDeferredDrawEntry*> buildEntries_;
    std::vector<std::array<float, 6>> buildBoxes_;
    std::vector<const SgBoundSphere*> buildBounds_;
    int32_t count_ = 0;
    int32_t capacity_ = 0;
    SgBoxRecord** records_ = nullptr;
    int32_t* lengths_ = nullptr;
    int32_t cursor_ = 0;
    SgPartialOrder order_{kOrderCapacity};
};
