#pragma once
// A fixed-size block pool: blocks of one size come from chunks of four and go back to a free
// list, never to the heap before the pool itself goes. The deferred-draw sorter makes and frees
// its entries through one such pool every frame without a heap call each.

#include <cstddef>
#include <cstdint>

#include "engine/core/sg_lists.h"

class SgEntryPool {
public:
    static constexpr uint32_t kBlocksPerChunk = 4;

    explicit SgEntryPool(size_t entrySize);
    ~SgEntryPool();
    SgEntryPool(const SgEntryPool&) = delete;
    SgEntryPool& operator=(const SgEntryPool&) = delete;

    // A block for an entry of the pool's size (null when a chunk cannot be allocated); any other
    // size is an ordinary allocation.
    void* Take(size_t size);
    // Gives back what Take(size) returned.
    void Give(void* block, size_t size);

    size_t EntrySize() const { return entrySize_; }
    uint32_t ChunkCount() const { return chunks_.Count(); }

private:
    size_t entrySize_;
    size_t blockSize_;
    void* free_ = nullptr;
    SgPtrList<void> chunks_;
};
