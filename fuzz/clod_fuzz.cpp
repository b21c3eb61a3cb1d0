// Level-of-detail meshes from untrusted data: any base and steps must either be refused while
// the mesh is set up or give a mesh that every level sweep and the normals pass can walk safely.
//
// Input (little-endian): u16 vertex count, u16 full triangle count, u16 next id, u16 base vertex
// count, u16 base triangle count, u16 step count, u8 attributes (1 texture coordinates, 2
// colours), then the base ids, the base triangles (corners, adjacency) and the steps (vertex id,
// t0..t3, flags), 16-bit each. The vertices themselves are fixed: a wavy sheet.

#include <cmath>
#include <cstdint>
#include <vector>

#include "engine/animation/sg_clod.h"

namespace {

class Input {
public:
    Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    uint16_t U16() {
        if (at_ + 2 > size_) {
            at_ = size_;
            return 0;
        }
        uint16_t v = static_cast<uint16_t>(data_[at_] | data_[at_ + 1] << 8);
        at_ += 2;
        return v;
    }
    uint8_t U8() { return at_ < size_ ? data_[at_++] : 0; }
    std::vector<uint16_t> Words(size_t n) {
        std::vector<uint16_t> out(n);
        for (uint16_t& w : out)
            w = U16();
        return out;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

void Check(const uint8_t* data, size_t size) {
    Input in(data, size);
    // Small limits keep each input quick; the checks do not depend on size.
    uint16_t vertices = in.U16() % 2048, full = in.U16() % 2048, nextId = in.U16();
    uint16_t baseVertices = in.U16() % 2048, baseTriangles = in.U16() % 2048, steps = in.U16() % 2048;
    uint8_t attributes = in.U8();
    std::vector<SgVec3> positions(vertices + 1), uv(vertices + 1);
    std::vector<SgRgba> colors(vertices + 1);
    for (uint32_t i = 0; i < vertices; ++i) {
        positions[i] = {float(i % 17), float(i / 17), std::sin(float(i))};
        uv[i] = {float(i % 17) / 16, float(i / 17) / 16, 0};
        colors[i] = {float(i & 1), 0.5f, 1, 1};
    }
    std::vector<uint16_t> ids = in.Words(baseVertices);
    std::vector<uint16_t> base = in.Words(6u * baseTriangles);
    std::vector<uint16_t> corners, adjacency;
    for (size_t i = 0; i < base.size(); i += 6) {
        corners.insert(corners.end(), base.begin() + i, base.begin() + i + 3);
        adjacency.insert(adjacency.end(), base.begin() + i + 3, base.begin() + i + 6);
    }
    std::vector<SgClodStep> stepList(steps);
    for (SgClodStep& s : stepList) {
        s.vertexId = in.U16();
        for (uint16_t& t : s.neighbours)
            t = in.U16();
        s.flags = in.U16();
    }
    SgClodSource source;
    source.vertexCount = vertices;
    source.positions = positions.data();
    source.textureCoords = (attributes & 1) ? uv.data() : nullptr;
    source.colors = (attributes & 2) ? colors.data() : nullptr;
    source.fullTriangleCount = full;
    source.nextId = nextId;
    source.baseVertexCount = baseVertices;
    source.baseIds = ids.data();
    source.baseTriangleCount = baseTriangles;
    source.baseCorners = corners.data();
    source.baseAdjacency = adjacency.data();
    source.stepCount = steps;
    source.steps = stepList.data();

    SgRef<SgClod> clod(new SgClod);
    if (!clod->SetMesh(source))
        return;
    SgWorldState* state = clod->CurrentState();
    // Sweeps down and up in strides, then the normals pass over every level.
    for (uint32_t stride : {1u, 3u, 7u}) {
        for (int t = full; t >= 0; t -= stride)
            clod->SetTriangleCount(state, static_cast<uint16_t>(t));
        for (uint32_t t = 0; t <= full; t += stride)
            clod->SetTriangleCount(state, static_cast<uint16_t>(t));
    }
    clod->ComputeVertexNormals();
    clod->SetTriangleCount(state, 0xFFFF);
    if (clod->SharedLevel()->triangleCount != full)
        __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Check(data, size);
    return 0;
}
