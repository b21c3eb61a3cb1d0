#include "engine/core/sg_entry_pool.h"

#include <new>

namespace {

constexpr size_t kAlign = alignof(std::max_align_t);

}  // namespace

SgEntryPool::SgEntryPool(size_t entrySize)
    : entrySize_(entrySize),
      blockSize_(((entrySize < sizeof(void*) ? sizeof(void*) : entrySize) + kAlign - 1) / kAlign * kAlign) {}

SgEntryPool::~SgEntryPool() {
    for (void* chunk : chunks_)
        ::operator delete(chunk);
}

void* SgEntryPool::Take(size_t size) {
    if (size != entrySize_)
        return ::operator new(size, std::nothrow);
    if (!free_) {
        auto* chunk = static_cast<uint8_t*>(::operator new(blockSize_ * kBlocksPerChunk, std::nothrow));
        if (!chunk)
            return nullptr;
        chunks_.AddHead(chunk);
        if (!chunks_.Contains(chunk)) {
            ::operator delete(chunk);
            return nullptr;
        }
        // Blocks 1 to N - 1 form the free list; block 0 is the one taken.
        for (uint32_t i = 1; i < kBlocksPerChunk; ++i) {
            void* next = i + 1 < kBlocksPerChunk ? chunk + (i + 1) * blockSize_ : nullptr;
            *reinterpret_cast<void**>(chunk + i * blockSize_) = next;
        }
        free_ = chunk + blockSize_;
        return chunk;
    }
    void* block = free_;
    free_ = *static_cast<void**>(block);
    return block;
}

void SgEntryPool::Give(void* block, size_t size) {
    if (!block)
        return;
    if (size != entrySize_) {
        ::operator delete(block);
        return;
    }
    *static_cast<void**>(block) = free_;
    free_ = block;
}
