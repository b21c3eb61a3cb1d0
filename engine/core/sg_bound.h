#pragma once
// Bounding spheres (every scene object's model bound and world bounds) and the dispatch of
// intersection tests between collision volumes of different kinds.

#include <cstdint>

#include "engine/core/sg_math.h"

class SgSceneStream;

class SgBoundSphere {
public:
    // Unset, centre zero, radius 0. Copying, transforming and fitting clear the unset mark, so a
    // loaded geometry fits its bound on first refresh.
    SgBoundSphere() = default;

    void Copy(const SgBoundSphere& other);
    // Equal centres and radii; the unset mark is ignored.
    bool IsEqualTo(const SgBoundSphere& other) const;
    // Centre of the points' axis-aligned box, radius to the farthest point.
    void FitToPoints(uint32_t count, const SgVec3* points);
    // centre = scale (rotation x sphere centre) + translation; radius = sphere radius x scale.
    void TransformBy(const SgBoundSphere& sphere, const SgMat3& rotation, const SgVec3& translation, float scale);
    // Grows to enclose the other sphere.
    void Enclose(const SgBoundSphere& other);
    // 2 wholly behind the plane (d <= -radius), 1 wholly in front (d >= radius), 0 cutting it.
    int WhichSide(const SgPlaneEq& plane) const;

    // Whether two spheres moving at constant velocities touch within the time span.
    static bool MovingOverlap(float t, const SgBoundSphere& a, const SgVec3& velocityA, const SgBoundSphere& b,
                              const SgVec3& velocityB);
    // The same, reporting the first contact: time, point and (when wanted) the normals.
    static bool MovingContact(float t, const SgBoundSphere& a, const SgVec3& velocityA, const SgBoundSphere& b,
                              const SgVec3& velocityB, float& time, SgVec3& point, bool wantNormals,
                              SgVec3& normalA, SgVec3& normalB);

    // Centre then radius (16 bytes).
    void LoadFromStream(SgSceneStream& stream);
    void SaveToStream(SgSceneStream& stream) const;

    uint32_t unset = 1;
    SgVec3 centre;
    float radius = 0.0f;
};

// A collision volume: an object that answers its kind number. No volume kinds exist in this
// engine, so every dispatch below finds no test; the functions keep the seam for geometry
// collision.
class SgCollisionVolume {
public:
    virtual ~SgCollisionVolume() = default;
    virtual uint32_t Kind() const = 0;
    // A fresh volume of the same kind (a scene object's world states each hold one).
    virtual SgCollisionVolume* NewOfSameKind() const = 0;
    // Becomes the model volume moved by a world placement.
    virtual void TransformFrom(const SgCollisionVolume& model, const SgMat3& rotation, const SgVec3& translation,
                               float scale) = 0;
    // The kind word, then the volume's fields (what LoadVolume reads).
    virtual void SaveToStream(SgSceneStream& stream) const = 0;
};

bool SgBoundIntersect(float t, const SgCollisionVolume* a, const void* dataA, const SgCollisionVolume* b,
                      const void* dataB);
bool SgBoundIntersectMoving(float t, const SgCollisionVolume* a, const SgVec3& velocityA,
                            const SgCollisionVolume* b, const SgVec3& velocityB);
// The volume the factory makes for a sphere; none while no factory exists.
SgCollisionVolume* MakeVolumeFromSphere(const SgBoundSphere& sphere);
// Reads a u32 kind; a kind without a loader (every kind here) gives none.
SgCollisionVolume* LoadVolume(SgSceneStream& stream);
