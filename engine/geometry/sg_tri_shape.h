#pragma once
// SgTriShape: the engine's main mesh, triangles naming their corners through 16-bit vertex
// indices. It keeps its planes and normals consistent with its vertices, cleans itself up
// (degenerate triangles, duplicate vertices) and merges alike shapes into one.
// SgEnvMappedTriShape recomputes its first texture set from the camera at every draw.

#include <cstdint>
#include <memory>

#include "engine/geometry/sg_tri_based_geom.h"

class SgTriShape : public SgTriBasedGeom {
public:
    // CompareVertices mask bits.
    static constexpr uint32_t kComparePosition = 1;
    static constexpr uint32_t kCompareNormal = 2;
    static constexpr uint32_t kCompareColor = 4;
    static constexpr uint32_t kCompareTextureSets = 8;

    // Welding tolerances of texture sets 0 and 1 (0.0 each: welding is exact).
    static float weldTolerances[2];

    static SgTypeRecord typeRecord;
    static int Register();

    SgTriShape() = default;
    // Copies the arrays (3 x triangleCount indices) and computes the planes.
    SgTriShape(uint16_t vertexCount, const SgVec3* vertices, const SgVec3* normals, uint16_t triangleCount,
               const uint16_t* indices, const SgVec3* textureSet, const SgRgba* colors);

    const SgTypeRecord* GetTypeRecord() const override;
    // The triangle part, then the indices (3 x triangle count), each below the vertex count.
    bool LoadFromStream(SgSceneStream& stream) override;
    void LinkFromStream(SgSceneStream& stream) override;
    bool RegisterInStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;
    bool IsEqualTo(const SgObject* other) const override;

protected:
    ~SgTriShape() override;

public:
    SgAVObject* MakeCopy(SgAVObject* copy) override;
    // Pending state, clip planes, placement, then DrawTriShape.
    void Draw(SgCamera* camera, SgWorldState* state) override;
    // The clean-up: drops degenerate triangles; true when none is left, else welds the
    // vertices and answers false.
    bool Flatten(uint32_t flags) override;
    // Only another plain SgTriShape with alike triangle data.
    bool HasSameProperties(const SgAVObject* other, uint32_t typeMask) const override;
    // One new shape of the group's concatenated model data, welded, with this shape's
    // properties; none when the sum would pass 65535 vertices or triangles.
    void MergeAlike(SgPtrArray<SgAVObject*>& group, SgRef<SgAVObject>& out) override;
    void ComputeNormals() override;
    bool GetModelTriangle(uint32_t i, const SgVec3* corners[3]) const override;
    bool GetWorldTriangle(uint32_t i, const SgVec3* corners[3]) override;
    uint16_t GetActiveTriangleCount() const override;
    bool GetTriangle(uint32_t i, uint16_t corners[3], SgPlaneEq*& plane) const override;
    void ComputePlanes() override;
    void ComputeNormalsFromPlanes() override;

    // ---- The shape's own operations, in their fixed order ----
    // -1, 0 or 1 by the raw bytes of the parts the mask names: position, normal, colour, each
    // texture set.
    virtual int CompareVertices(uint16_t i, uint16_t j, uint32_t mask) const;
    // Rebuilds the vertex arrays through map (old vertex -> new index, 0xFFFFFFFF drops it);
    // the indices are not touched.
    virtual void RemapVertices(uint16_t newCount, const uint32_t* map);

    // The vertex indices sorted by CompareVertices, and the inverse permutation.
    void SortVertices(uint32_t mask, std::unique_ptr<uint16_t[]>& order, std::unique_ptr<uint16_t[]>& inverse) const;
    // Drops degenerate triangles (and their planes); the number dropped.
    uint32_t DropDegenerateTriangles();
    // Welds equal vertices (texture sets within the tolerances) and renumbers them in order of
    // first use; newToOld, when given, receives the old index of every new vertex.
    void WeldVertices(std::unique_ptr<uint16_t[]>* newToOld = nullptr);

    uint32_t IndexCount() const { return indexCount_; }
    const uint16_t* Indices() const { return indices_.get(); }

protected:
    void CopyFieldsInto(SgTriShape* copy) const;
    // Hands the shape to the renderer with the state's world arrays.
    void SubmitShape(SgCamera* camera, SgWorldState* state);
    // The environment-mapped draw: texture set 0 from the camera, then the shape's draw without
    // the placement (for every class that draws so).
    void DrawEnvironmentMapped(SgCamera* camera, SgWorldState* state);
    void ComputeEnvironmentCoordsOf(const SgCamera* camera, SgWorldState* state);

    uint32_t indexCount_ = 0;
    std::unique_ptr<uint16_t[]> indices_;
};

class SgEnvMappedTriShape : public SgTriShape {
public:
    static SgTypeRecord typeRecord;
    static int Register();

    SgEnvMappedTriShape() = default;
    SgEnvMappedTriShape(uint16_t vertexCount, const SgVec3* vertices, const SgVec3* normals, uint16_t triangleCount,
                        const uint16_t* indices, const SgVec3* textureSet, const SgRgba* colors)
        : SgTriShape(vertexCount, vertices, normals, triangleCount, indices, textureSet, colors) {}

    const SgTypeRecord* GetTypeRecord() const override;
    bool LoadFromStream(SgSceneStream& stream) override;
    void LinkFromStream(SgSceneStream& stream) override;
    bool RegisterInStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;

protected:
    ~SgEnvMappedTriShape() override = default;

public:
    SgAVObject* MakeCopy(SgAVObject* copy) override;
    // Texture set 0 from the camera, then the shape's draw without the placement.
    void Draw(SgCamera* camera, SgWorldState* state) override;

    // Recomputes texture set 0 as the reflection of the view about each world normal (nothing
    // without texture sets or normals).
    void ComputeEnvironmentCoords(const SgCamera* camera, SgWorldState* state);
};
