#include "engine/geometry/sg_depth_cluster_set.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <new>
#include <vector>

#include "engine/core/sg_camera.h"
#include "engine/core/sg_entry_pool.h"

namespace {

SgEntryPool& RecordPool() {
    static SgEntryPool pool(sizeof(SgBoxRecord));
    return pool;
}

// Sort keys that order even a box made of garbage: a value that is not a number sorts last.
float Key(float v) { return std::isnan(v) ? std::numeric_limits<float>::infinity() : v; }

struct CompareContext {
    SgVec3 eye;
};

int CompareRecords(void* a, void* b, void* context) {
    return SgDepthClusterSet::CompareDepth(*static_cast<SgBoxRecord*>(a), *static_cast<SgBoxRecord*>(b),
                                           static_cast<CompareContext*>(context)->eye);
}

}  // namespace

SgBoxRecord* SgPooledRecord::Allocate() {
    void* block = RecordPool().Take(sizeof(SgBoxRecord));
    return block ? new (block) SgBoxRecord : nullptr;
}

void SgPooledRecord::Free(SgBoxRecord* record) {
    if (record)
        RecordPool().Give(record, sizeof(SgBoxRecord));
}

SgDepthClusterSet::SgDepthClusterSet() = default;

SgDepthClusterSet::~SgDepthClusterSet() {
    Clear();
    delete[] records_;
    delete[] lengths_;
}

void SgDepthClusterSet::SetCamera(SgCamera* camera) { camera_ = camera; }

void SgDepthClusterSet::Build(const SgPooledList<SgDeferredDrawEntry*>& entries) {
    Clear();
    SgCamera* camera = camera_.Get();
    uint32_t n = entries.Count();
    if (!camera || n == 0)
        return;
    std::vector<SgDeferredDrawEntry*>& list = buildEntries_;
    std::vector<std::array<float, 6>>& boxes = buildBoxes_;
    std::vector<const SgBoundSphere*>& bounds = buildBounds_;
    list.clear();
    boxes.clear();
    bounds.clear();
    for (auto* node = entries.Head(); node; node = node->next) {
        SgDeferredDrawEntry* entry = node->item;
        if (!entry)
            continue;
        SgVec3 minimum, maximum;
        camera->ProjectEntryBound(*entry, minimum, maximum);
        list.push_back(entry);
        boxes.push_back({minimum.x, minimum.y, minimum.z, maximum.x, maximum.y, maximum.z});
        bounds.push_back(&entry->bound);
    }
    BuildFromBoxes(static_cast<int32_t>(list.size()), list.data(), reinterpret_cast<const float(*)[6]>(boxes.data()),
                   bounds.data(), camera->WorldLocation());
}

void SgDepthClusterSet::BuildFromBoxes(int32_t n, SgDeferredDrawEntry* const* entries, const float (*boxes)[6],
                                       const SgBoundSphere* const* bounds, const SgVec3& eye) {
    Clear();
    if (n <= 0)
        return;
    if (n > capacity_) {
        delete[] records_;
        delete[] lengths_;
        records_ = new SgBoxRecord*[n]();
        lengths_ = new int32_t[n]();
        capacity_ = n;
    }
    for (int32_t i = 0; i < n; ++i) {
        SgBoxRecord* record = SgPooledRecord::Allocate();
        if (!record)
            continue;
        record->entry = entries[i];
        record->bound = bounds[i];
        for (int k = 0; k < 3; ++k) {
            record->minimum[k] = boxes[i][k];
            record->maximum[k] = boxes[i][3 + k];
        }
        records_[count_] = record;
        lengths_[count_] = 0;
        ++count_;
    }
    if (count_ == 0)
        return;
    lengths_[0] = count_;
    SplitAlong(2);
    SplitAlong(1);
    SplitAlong(0);
    for (int32_t start = 0; start < count_; start += lengths_[start])
        OrderCluster(start, lengths_[start], eye);
}

void SgDepthClusterSet::SplitAlong(int axis) {
    for (int32_t start = 0; start < count_;) {
        int32_t length = lengths_[start];
        int32_t end = start + length;
        std::sort(records_ + start, records_ + end, [axis](const SgBoxRecord* a, const SgBoxRecord* b) {
            return Key(a->minimum[axis]) < Key(b->minimum[axis]);
        });
        // A record joins the cluster when it begins at or before the furthest end so far.
        int32_t first = start;
        float reach = records_[start]->maximum[axis];
        for (int32_t i = start + 1; i < end; ++i) {
            const SgBoxRecord* r = records_[i];
            lengths_[i] = 0;
            if (r->minimum[axis] <= reach) {
                if (r->maximum[axis] > reach)
                    reach = r->maximum[axis];
            } else {
                lengths_[first] = i - first;
                first = i;
                reach = r->maximum[axis];
            }
        }
        lengths_[first] = end - first;
        start = end;
    }
}

void SgDepthClusterSet::OrderCluster(int32_t start, int32_t length, const SgVec3& eye) {
    if (length == 2) {
        if (CompareDepth(*records_[start], *records_[start + 1], eye) == 1)
            std::swap(records_[start], records_[start + 1]);
    } else if (length >= 3) {
        CompareContext context{eye};
        order_.Sort(reinterpret_cast<void**>(records_ + start), static_cast<uint32_t>(length), CompareRecords,
                    &context);
    }
}

SgDeferredDrawEntry* SgDepthClusterSet::Next() {
    if (cursor_ <= 0)
        return nullptr;
    --cursor_;
    return records_[cursor_]->entry;
}

void SgDepthClusterSet::Clear() {
    for (int32_t i = 0; i < count_; ++i) {
        SgPooledRecord::Free(records_[i]);
        records_[i] = nullptr;
    }
    count_ = 0;
    cursor_ = 0;
}

int SgDepthClusterSet::CompareDepth(const SgBoxRecord& a, const SgBoxRecord& b, const SgVec3& eye) {
    for (int k = 0; k < 2; ++k)
        if (!(a.maximum[k] >= b.minimum[k] && b.maximum[k] >= a.minimum[k]))
            return 0;
    if (a.maximum[2] < b.minimum[2])
        return -1;
    if (b.maximum[2] < a.minimum[2])
        return 1;
    // Overlapping in depth too: the point between the two spheres, in proportion to their radii,
    // decides which one the eye sees in front.
    const SgBoundSphere& sa = *a.bound;
    const SgBoundSphere& sb = *b.bound;
    double ra = sa.radius, rb = sb.radius;
    double t = ra == 0.0 ? 1.0 : rb / (ra + rb);
    SgVec3 d = sa.centre - sb.centre;
    SgVec3 m = sb.centre + d * static_cast<float>(t);
    return (eye - m).Dot(d) > 0 ? -1 : 1;
}
