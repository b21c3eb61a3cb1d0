#pragma once
// SgGeometry: the abstract base of every drawable leaf. It owns a shape's model-space vertices,
// normals and model bound, and keeps per world state the world-space copies of those arrays that
// the renderer and the collision tests read (SgGeometryWorldState). A placement change only
// marks a state; its world arrays are recomputed at the next draw or the next request for them.
//
// Also here: the three process-wide render counters every geometry draw adds to, and the
// oriented-box fit over a shape's vertices.

#include <cstdint>
#include <memory>

#include "engine/core/sg_av_object.h"

// Per-state collision data of a geometry (the triangle colliders derive from it).
class SgCollisionData {
public:
    virtual ~SgCollisionData() = default;
};

class SgGeometryWorldState : public SgWorldState {
public:
    ~SgGeometryWorldState() override;

    // Allocated at the first transform.
    std::unique_ptr<SgVec3[]> worldVertices;
    std::unique_ptr<SgVec3[]> worldNormals;
    std::unique_ptr<SgCollisionData> collisionData;
};

class SgGeometry : public SgAVObject {
public:
    static SgTypeRecord typeRecord;
    static int Register();

    // Triangle-level collision of two geometries (triangle tests, colliders), installed by the
    // library that provides it. It answers 0 or 1 for a pair it decides and -1 for one it has
    // no test for; without it (or at -1) the bounds decide.
    using TriangleCollisionTest = int (*)(SgGeometry* self, SgAVObject* other, float time, SgCollisionPair& pair,
                                          bool report);
    static void SetTriangleCollisionTest(TriangleCollisionTest test);

    // The counters every drawing operation adds to: objects, triangles, vertices drawn.
    static void ResetRenderCounts();
    static void GetRenderCounts(uint32_t& objects, uint32_t& triangles, uint32_t& vertices);
    static void CountDraw(uint32_t triangles, uint32_t vertices);

    // No vertices; the model bound is fitted at the first world refresh.
    SgGeometry();
    // Copies the vertices (and the normals when given) and fits the model bound to them.
    SgGeometry(uint16_t vertexCount, const SgVec3* vertices, const SgVec3* normals);

    const SgTypeRecord* GetTypeRecord() const override;
    // Vertex count, the vertices and normals behind presence words, the model bound. The bound
    // read is refitted at the first world refresh.
    bool LoadFromStream(SgSceneStream& stream) override;
    void LinkFromStream(SgSceneStream& stream) override;
    bool RegisterInStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;
    bool IsEqualTo(const SgObject* other) const override;

protected:
    ~SgGeometry() override;

public:
    SgWorldState* NewWorldState() override;
    SgAVObject* MakeCopy(SgAVObject* copy) override;
    // Bakes the rigid transform into the vertices and normals and refits the model bound.
    void AbsorbTransform(const SgMat3& rotation, const SgVec3& translation, float scale,
                         uint8_t inParentFrame) override;
    // The properties, then the state's world arrays when its placement changed.
    void PushDrawState(SgCamera* camera, SgWorldState* state) override;
    // Drops the state's collision data (null: every state's).
    void ReleaseState(SgWorldState* state) override;
    bool TestCollision(float time, SgAVObject* other, SgCollisionPair& pair) override;
    int FindCollisions(float time, SgAVObject* other, SgCollisionPair& pair) override;
    // Another geometry with equal properties and the same presence of vertices and normals.
    bool HasSameProperties(const SgAVObject* other, uint32_t typeMask) const override;
    // The placement, then the state's world arrays are marked for refresh.
    void ComposeWorldPlacement(SgWorldState* state) override;
    // Fits the model bound when it needs it and moves it into the state.
    void RefreshWorldBound(SgWorldState* state) override;

    // ---- The geometry's own operations, in their fixed order ----
    // Rebuilds the model normals and whatever derives from them.
    virtual void ComputeNormals() = 0;
    // Fills the state's world vertices and normals and clears its refresh mark.
    virtual void TransformToWorld(SgWorldState* state);

    // The current state's world arrays, refreshed first when marked; null when absent.
    SgVec3* WorldVertices();
    SgVec3* WorldNormals();
    // The covariance box of the model vertices: centre, three axes (rows) and half-extents.
    void FitOrientedBox(SgVec3& centre, SgVec3 axes[3], float extents[3]) const;

    uint16_t VertexCount() const { return vertexCount_; }
    SgVec3* Vertices() const { return vertices_.get(); }
    SgVec3* Normals() const { return normals_.get(); }
    SgBoundSphere& ModelBound() { return modelBound_; }
    const SgBoundSphere& ModelBound() const { return modelBound_; }

    // A geometry's own state record (every state of a geometry is one).
    static SgGeometryWorldState* GeometryState(SgWorldState* state) {
        return static_cast<SgGeometryWorldState*>(state);
    }

protected:
    // The geometry part of a copy: placement part, vertices, normals and the model bound.
    void CopyFieldsInto(SgGeometry* copy) const;
    // Transforms the first count vertices (and normals) into the state.
    void TransformVerticesToWorld(SgWorldState* state, uint32_t count);
    // Every state's world arrays are recomputed at their next use.
    void MarkWorldArraysStale();
    // The vertices in use changed: the model bound is refitted and the world arrays recomputed.
    void MarkModelChanged();
    // Refreshes the state's bound, fitting over the first count vertices when needed.
    void RefreshBoundOver(SgWorldState* state, uint32_t count);
    // The camera's world location in the state's model space: R^T (c - T) / S.
    static SgVec3 CameraInModel(const SgCamera* camera, const SgWorldState* state);
    // What every draw does first: the display's pending state, then the clip planes. False
    // without a renderer.
    static bool BeginDraw(SgCamera* camera);
    // Collision for both query kinds (report false: TestCollision).
    int Collide(float time, SgAVObject* other, SgCollisionPair& pair, bool report);

    uint16_t vertexCount_ = 0;
    std::unique_ptr<SgVec3[]> vertices_;
    std::unique_ptr<SgVec3[]> normals_;
    SgBoundSphere modelBound_;
};
