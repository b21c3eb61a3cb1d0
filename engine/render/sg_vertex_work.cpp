#include "engine/render/sg_vertex_work.h"

#include <cstring>
#include <new>

namespace {

uint32_t failingGrowths = 0;

SgVertexWorkRecord* NewRecords(uint32_t count) {
    auto* records = new (std::align_val_t(32), std::nothrow) SgVertexWorkRecord[count];
    if (records)
        std::memset(static_cast<void*>(records), 0, sizeof(SgVertexWorkRecord) * count);
    return records;
}

void FreeRecords(SgVertexWorkRecord* records) {
    if (records)
        ::operator delete[](records, std::align_val_t(32));
}

}  // namespace

void SgFailRenderGrowths(uint32_t count) { failingGrowths = count; }

bool SgRenderGrowthFails() {
    if (failingGrowths == 0)
        return false;
    --failingGrowths;
    return true;
}

SgVertexWorkBuffer::SgVertexWorkBuffer() {
    records_ = NewRecords(256);
    capacity_ = records_ ? 256 : 0;
    AddClipBlocks();
}

SgVertexWorkBuffer::~SgVertexWorkBuffer() {
    FreeRecords(records_);
    for (SgVertexWorkRecord* b : blocks_)
        FreeRecords(b);
}

int SgVertexWorkBuffer::EnsureRecordCapacity(uint32_t count) {
    if (count > capacity_) {
        FreeRecords(records_);
        records_ = SgRenderGrowthFails() ? nullptr : NewRecords(count + 64);
        capacity_ = records_ ? count + 64 : 0;
        if (!records_)
            return 1;
    }
    currentBlock_ = 0;
    usedInBlock_ = 0;
    return 0;
}

bool SgVertexWorkBuffer::AddClipBlocks() {
    for (uint32_t i = 0; i < kBlocksPerGrowth; ++i) {
        SgVertexWorkRecord* block = NewRecords(kBlockRecords);
        if (!block)
            return false;
        blocks_.push_back(block);
    }
    return true;
}

SgVertexWorkRecord* SgVertexWorkBuffer::TakeClipRecord() {
    if (usedInBlock_ == kBlockRecords) {
        ++currentBlock_;
        usedInBlock_ = 0;
    }
    if (currentBlock_ >= blocks_.size() && !AddClipBlocks())
        return nullptr;
    SgVertexWorkRecord* r = &blocks_[currentBlock_][usedInBlock_++];
    r->emittedTag = 0;
    r->used = 1;
    return r;
}

void SgVertexWorkBuffer::ClearTags() {
    for (uint32_t i = 0; i < capacity_; ++i)
        records_[i].emittedTag = 0;
    for (SgVertexWorkRecord* b : blocks_)
        for (uint32_t i = 0; i < kBlockRecords; ++i)
            b[i].emittedTag = 0;
}
