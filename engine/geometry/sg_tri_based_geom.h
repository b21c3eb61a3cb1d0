#pragma once
// SgTriBasedGeom: the abstract base of every geometry made of triangles (indexed shapes, lists,
// strips, particles). On top of SgGeometry it owns the triangle count, per-vertex texture-
// coordinate sets, per-vertex colours and one plane per triangle, and gives every subclass the
// ray pick that answers CollectRayHits. Subclasses say how a triangle maps to vertices.
//
// Counts read from a file are checked at load against the arrays they index, so no triangle of
// a loaded geometry reaches past its vertices.

#include <cstdint>

#include "engine/core/sg_geometry.h"
#include "engine/core/sg_render.h"

class SgTriangleCollider;

class SgTriBasedGeom : public SgGeometry {
public:
    // Ownership flags: the array is borrowed and not freed.
    static constexpr uint32_t kBorrowedColors = 1;
    static constexpr uint32_t kBorrowedTextureSets = 2;

    static SgTypeRecord typeRecord;
    static int Register();

    SgTriBasedGeom() = default;
    // The geometry part, triangleCount planes left for the subclass to compute, the texture set
    // (when given) as the only set and a copy of the colours.
    SgTriBasedGeom(uint16_t vertexCount, const SgVec3* vertices, const SgVec3* normals, uint16_t triangleCount,
                   const SgVec3* textureSet, const SgRgba* colors);

    const SgTypeRecord* GetTypeRecord() const override;
    // Triangle count, texture set count, then the sets, colours and planes behind presence words.
    bool LoadFromStream(SgSceneStream& stream) override;
    void LinkFromStream(SgSceneStream& stream) override;
    bool RegisterInStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;
    bool IsEqualTo(const SgObject* other) const override;

protected:
    ~SgTriBasedGeom() override;

public:
    SgAVObject* MakeCopy(SgAVObject* copy) override;
    // The geometry's transform, then the planes again.
    void AbsorbTransform(const SgMat3& rotation, const SgVec3& translation, float scale,
                         uint8_t inParentFrame) override;
    // The pick of one state, or of every state in turn until one ends the pick.
    void CollectRayHits(const SgVec3& origin, const SgVec3& direction, SgPickRequest& request,
                        SgWorldState* state) override;
    // Another triangle geometry alike as geometry, with the same texture sets.
    bool HasSameProperties(const SgAVObject* other, uint32_t typeMask) const override;

    // ---- The triangle geometry's own operations, in their fixed order ----
    // Pointers to the triangle's corners in the model (or current world) vertices; false (and
    // nulls) when the triangle has no such vertices.
    virtual bool GetModelTriangle(uint32_t i, const SgVec3* corners[3]) const = 0;
    virtual bool GetWorldTriangle(uint32_t i, const SgVec3* corners[3]) = 0;
    // How many leading triangles are in use (picking tests these).
    virtual uint16_t GetActiveTriangleCount() const;
    // The vertex indices of triangle i in drawing winding, and its plane (null without planes).
    // False when the class has no such triangle.
    virtual bool GetTriangle(uint32_t i, uint16_t corners[3], SgPlaneEq*& plane) const;
    // Rebuilds the planes from the model vertices.
    virtual void ComputePlanes() = 0;
    // Rebuilds the vertex normals from the planes.
    virtual void ComputeNormalsFromPlanes() = 0;
    // Does nothing in every class of the engine.
    virtual void ReservedOperation();

    // ---- Collision (sg_tri_collision.cpp) ----
    // Builds the state's triangle collider (collision mode 2) unless it has one over its current
    // world vertices; the value is the leaf threshold of the tree.
    void PrepareState(SgWorldState* state, uint32_t leafThreshold) override;
    // The state's triangle collider, or null.
    SgTriangleCollider* ColliderOf(SgWorldState* state) const;
    // The triangles, moving over the step, against the other object's collision volume.
    bool TestVolumeTriangles(float time, SgAVObject* other);
    bool FindVolumeTriangleContact(float time, SgAVObject* other, SgCollisionPair& pair);
    // Every triangle against every triangle of the other with the moving triangle test; the
    // contact form reports the first contact with both triangles' indices.
    bool TestTrianglesTriangles(float time, SgTriBasedGeom* other);
    bool FindTrianglesTrianglesContact(float time, SgTriBasedGeom* other, SgCollisionPair& pair);
    // The triangle-level collision of two geometries by their collision modes, installed as
    // SgGeometry's triangle test: 0 or 1 for a pair it decides, -1 where the bounds decide.
    static int CollideByModes(SgGeometry* self, SgAVObject* other, float time, SgCollisionPair& pair, bool report);

    // Appends one more texture set of vertex-count coordinates.
    void AddTextureSet(const SgVec3* set);

    uint16_t TriangleCount() const { return triangleCount_; }
    uint16_t TextureSetCount() const { return textureSetCount_; }
    SgVec3* TextureSets() const { return textureSets_; }
    // Set k's coordinates (null past the last set).
    SgVec3* TextureSet(uint16_t k) const {
        return textureSets_ && k < textureSetCount_ ? textureSets_ + size_t(k) * vertexCount_ : nullptr;
    }
    SgRgba* Colors() const { return colors_; }
    SgPlaneEq* Planes() const { return planes_.get(); }
    uint32_t OwnershipFlags() const { return ownership_; }
    // Uses the caller's colours (not freed by this geometry); they must hold vertex-count entries
    // and outlive it.
    void BorrowColors(SgRgba* colors);

    // The ray-triangle test: the distance along the ray and the weights of corners 1 and 2 on a
    // hit. The plane's normal is used as it stands, whatever its length.
    static bool RayMeetsTriangle(const SgVec3& origin, const SgVec3& direction, const SgPlaneEq& plane,
                                 const SgVec3& p0, const SgVec3& p1, const SgVec3& p2, bool cullBackFaces, float& t,
                                 float& w1, float& w2);

protected:
    // The triangle part of a copy: counts and owned copies of the sets, colours and planes.
    void CopyFieldsInto(SgTriBasedGeom* copy) const;
    // One pick over one state; true when the pick is to end.
    bool PickState(const SgVec3& origin, const SgVec3& direction, SgPickRequest& request, SgWorldState* state);
    // Planes from the corners GetTriangle names: n = (p1 - p0) x (p2 - p1), constant n . p0.
    void ComputePlanesFromCorners();
    // Vertex normals as the sum of the unit normals of the triangles at each vertex, normalised;
    // the planes become (unit normal, n . p0) too unless fromPlanes, which takes the planes'
    // normals and leaves them.
    void ComputeNormalsFromCorners(bool fromPlanes);
    // Draws with the state current: the display's pending state, the clip planes, the placement
    // when wanted; false without a renderer.
    bool PrepareDraw(SgCamera* camera, SgWorldState* state, bool sendPlacement);
    // The state's world arrays, refreshed first when its placement changed.
    SgGeometryWorldState* FreshState(SgWorldState* state);
    // The draw of lists and strips: prepares as PrepareDraw (with the placement), then calls the
    // renderer's list or strip operation with the state's world arrays. False when nothing was
    // drawn.
    using UnindexedDraw = int32_t (SgRender::*)(uint16_t, const SgVec3*, const SgVec3*, const SgPlaneEq*, uint16_t,
                                                const SgVec3*, const SgRgba*, const SgBoundSphere&, const SgVec3&);
    bool SubmitUnindexed(SgCamera* camera, SgWorldState* state, UnindexedDraw draw, uint16_t triangles);
    void ReplaceTextureSets(SgVec3* sets, uint16_t count);
    // Both collision forms of the all-pairs test (pair null: yes or no) and of the colliders.
    int CollideTrianglePairs(float time, SgTriBasedGeom* other, SgCollisionPair* pair);
    int CollideColliders(float time, SgTriBasedGeom* other, SgCollisionPair& pair, bool report);
    void ReplaceColors(SgRgba* colors);

    uint16_t triangleCount_ = 0;
    uint16_t textureSetCount_ = 0;
    SgVec3* textureSets_ = nullptr;
    SgRgba* colors_ = nullptr;
    std::unique_ptr<SgPlaneEq[]> planes_;
    uint32_t ownership_ = 0;
};
