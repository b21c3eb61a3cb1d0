#pragma once
// The two unindexed triangle geometries. SgTriangles is a list whose triangle i uses vertices
// 3i, 3i + 1 and 3i + 2; SgTriStrip a single strip in which every vertex after the second closes
// a triangle with the two before it (odd triangles exchange their last two corners, so all share
// one winding). Both carry an active count: only the leading part of their vertices is drawn,
// bounded, picked and transformed.

#include <cstdint>

#include "engine/geometry/sg_tri_based_geom.h"

class SgTriangles : public SgTriBasedGeom {
public:
    static SgTypeRecord typeRecord;
    static int Register();

    SgTriangles() = default;
    // vertexCount / 3 triangles, all active; the planes are computed.
    SgTriangles(uint16_t vertexCount, const SgVec3* vertices, const SgVec3* normals, const SgVec3* textureSet,
                const SgRgba* colors);

    const SgTypeRecord* GetTypeRecord() const override;
    // The triangle part, then the active triangle count (no more than the triangles, which the
    // vertices must hold).
    bool LoadFromStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;
    bool IsEqualTo(const SgObject* other) const override;

protected:
    ~SgTriangles() override = default;

public:
    SgAVObject* MakeCopy(SgAVObject* copy) override;
    void Draw(SgCamera* camera, SgWorldState* state) override;
    // Fits over the used vertices only.
    void RefreshWorldBound(SgWorldState* state) override;
    void ComputeNormals() override;
    // Transforms the used vertices only.
    void TransformToWorld(SgWorldState* state) override;
    bool GetModelTriangle(uint32_t i, const SgVec3* corners[3]) const override;
    bool GetWorldTriangle(uint32_t i, const SgVec3* corners[3]) override;
    uint16_t GetActiveTriangleCount() const override;
    bool GetTriangle(uint32_t i, uint16_t corners[3], SgPlaneEq*& plane) const override;
    void ComputePlanes() override;
    void ComputeNormalsFromPlanes() override;

    // Draws, bounds and transforms only the first count triangles (at most the triangle count).
    void SetActiveCount(uint16_t count);
    uint16_t ActiveCount() const { return active_; }
    uint32_t UsedVertexCount() const;

private:
    uint16_t active_ = 0;
};

class SgTriStrip : public SgTriBasedGeom {
public:
    static SgTypeRecord typeRecord;
    static int Register();

    SgTriStrip() = default;
    // vertexCount - 2 triangles (none for fewer than 3 vertices), every vertex active; the
    // planes are computed.
    SgTriStrip(uint16_t vertexCount, const SgVec3* vertices, const SgVec3* normals, const SgVec3* textureSet,
               const SgRgba* colors);

    const SgTypeRecord* GetTypeRecord() const override;
    // The triangle part, then the active vertex count (no more than the vertices).
    bool LoadFromStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;
    bool IsEqualTo(const SgObject* other) const override;

protected:
    ~SgTriStrip() override = default;

public:
    SgAVObject* MakeCopy(SgAVObject* copy) override;
    void Draw(SgCamera* camera, SgWorldState* state) override;
    void RefreshWorldBound(SgWorldState* state) override;
    void ComputeNormals() override;
    void TransformToWorld(SgWorldState* state) override;
    bool GetModelTriangle(uint32_t i, const SgVec3* corners[3]) const override;
    bool GetWorldTriangle(uint32_t i, const SgVec3* corners[3]) override;
    // The triangles the active vertices close (active - 2, none below 3).
    uint16_t GetActiveTriangleCount() const override;
    bool GetTriangle(uint32_t i, uint16_t corners[3], SgPlaneEq*& plane) const override;
    void ComputePlanes() override;
    void ComputeNormalsFromPlanes() override;

    // Draws, bounds and transforms only the first count vertices (at most the vertex count).
    void SetActiveCount(uint16_t count);
    uint16_t ActiveCount() const { return active_; }

private:
    uint16_t active_ = 0;
};
