#pragma once
// The per-vertex records the renderer's transform, lighting and clipper work on: one per vertex
// (or particle) of a draw, in a growing array, plus pooled blocks from which the clipper takes the
// vertices it makes.

#include <cstdint>
#include <vector>

struct alignas(32) SgVertexWorkRecord {
    float u, v;
    float u2, v2;
    float r, g, b, a;  // 0-255
    float x, y, z;     // world; a particle's screen x, y and depth after its transform
    float specular;    // 0-255
    float particleRhw;
    int32_t particleFog;
    uint16_t vertexIndex;  // of this vertex's copy in the current fill
    uint8_t used;
    uint8_t emittedTag;  // the fill holding the copy; 0 none
};
static_assert(sizeof(SgVertexWorkRecord) == 64);

class SgVertexWorkBuffer {
public:
    static constexpr uint32_t kBlockRecords = 128;
    static constexpr uint32_t kBlocksPerGrowth = 8;

    SgVertexWorkBuffer();
    ~SgVertexWorkBuffer();
    SgVertexWorkBuffer(const SgVertexWorkBuffer&) = delete;
    SgVertexWorkBuffer& operator=(const SgVertexWorkBuffer&) = delete;

    // 0, or 1 when memory runs out (capacity 0 and no array then). Rewinds the clip cursor.
    int EnsureRecordCapacity(uint32_t count);
    bool AddClipBlocks();
    // A clip record with tag 0 and its used flag set; null when memory runs out.
    SgVertexWorkRecord* TakeClipRecord();
    // Forgets every copy: the tags of all records and clip records go to 0.
    void ClearTags();

    SgVertexWorkRecord* Records() const { return records_; }
    uint32_t Capacity() const { return capacity_; }
    uint32_t BlockCount() const { return static_cast<uint32_t>(blocks_.size()); }

private:
    SgVertexWorkRecord* records_ = nullptr;
    uint32_t capacity_ = 0;
    std::vector<SgVertexWorkRecord*> blocks_;
    uint32_t currentBlock_ = 0;
    uint32_t usedInBlock_ = 0;
};

// Test control: the next `count` growths of the per-draw arrays (these records and the render
// context's triangle list) find no memory, as a draw too large for the machine would.
void SgFailRenderGrowths(uint32_t count);
// Whether this growth is one a test asked to fail; each answer of true uses one up.
bool SgRenderGrowthFails();
