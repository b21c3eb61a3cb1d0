#pragma once
// Triangle colliders: a tree of oriented boxes over a geometry's triangles, built once in model
// space and moved with the world state's placement. Two colliders answer whether their objects
// touch by descending both trees together, pruning every pair of boxes that does not overlap,
// down to the depth each side asks for; the contact form reports the first contact found.

#include <cstdint>

#include "engine/core/sg_geometry.h"
#include "engine/core/sg_math.h"
#include "engine/geometry/sg_oriented_box.h"

class SgTriangleCollider;
class SgTriangleVolume;

// A contact between two tree nodes: when (within the step, in the step's time units), where in
// the world, and the same point in each node's box frame at that time (this side first).
struct SgTriangleContact {
    float time = 0.0f;
    SgVec3 point;
    SgVec3 localPoints[2];
    const SgTriangleVolume* volumes[2] = {};
};

// Receives the contacts the colliders find.
class SgTriangleContactSink {
public:
    virtual ~SgTriangleContactSink() = default;
    virtual void Report(const SgTriangleContact& contact) = 0;
};

// A node of the tree: its box, the collider that owns it and two child slots. Inner nodes own
// their children; a leaf's slots stay empty and it points at its triangle's world corners.
class SgTriangleVolume {
public:
    explicit SgTriangleVolume(SgTriangleCollider* collider) : collider_(collider) { box.owner = collider; }
    SgTriangleVolume(const SgTriangleVolume&) = delete;
    SgTriangleVolume& operator=(const SgTriangleVolume&) = delete;
    virtual ~SgTriangleVolume();

    virtual bool IsLeaf() const = 0;
    // Whether the two subtrees may touch, descending ownDepth levels here and otherDepth there
    // (0 stops at these boxes; a negative depth goes all the way down).
    virtual bool Test(const SgTriangleVolume* other, int32_t ownDepth, int32_t otherDepth) const = 0;
    // The same descent, reporting the first contact to the sink; at two leaves with both depths
    // negative the triangles themselves are swept against each other.
    virtual bool FindContact(const SgTriangleVolume* other, SgTriangleContactSink& sink, int32_t ownDepth,
                             int32_t otherDepth) const = 0;

    SgTriangleCollider* Collider() const { return collider_; }
    const SgTriangleVolume* Child(int i) const { return children_[i]; }
    bool HasNoChildren() const { return !children_[0] && !children_[1]; }
    // Gives the node its two subtrees (owned from now on); only the tree's build does it.
    void AdoptChildren(SgTriangleVolume* child0, SgTriangleVolume* child1) {
        children_[0] = child0;
        children_[1] = child1;
    }
    // World boxes of this node and its subtree, depth first.
    void Refresh(const SgMat3& rotation, const SgVec3& translation, float scale);

    SgOrientedBox box;

protected:
    // The boxes' contact: at rest, time 0 at the middle of the centres; moving, the first touch
    // of the swept boxes within the step.
    bool BoxContact(const SgTriangleVolume* other, SgTriangleContactSink& sink) const;
    // Completes the contact with the two volumes and the point in each box's frame, and hands it
    // to the sink.
    void Report(const SgTriangleVolume* other, SgTriangleContact& contact, SgTriangleContactSink& sink) const;

    SgTriangleCollider* collider_;
    SgTriangleVolume* children_[2] = {};
};

class SgTriangleTree : public SgTriangleVolume {
public:
    using SgTriangleVolume::SgTriangleVolume;
    bool IsLeaf() const override { return false; }
    bool Test(const SgTriangleVolume* other, int32_t ownDepth, int32_t otherDepth) const override;
    bool FindContact(const SgTriangleVolume* other, SgTriangleContactSink& sink, int32_t ownDepth,
                     int32_t otherDepth) const override;
};

class SgTriangleLeaf : public SgTriangleVolume {
public:
    SgTriangleLeaf(SgTriangleCollider* collider, uint32_t triangle, const SgVec3* c0, const SgVec3* c1,
                   const SgVec3* c2)
        : SgTriangleVolume(collider), triangle_(triangle), corners_{c0, c1, c2} {}
    bool IsLeaf() const override { return true; }
    bool Test(const SgTriangleVolume* other, int32_t ownDepth, int32_t otherDepth) const override;
    bool FindContact(const SgTriangleVolume* other, SgTriangleContactSink& sink, int32_t ownDepth,
                     int32_t otherDepth) const override;

    // The triangle's index in the geometry and its corners in the world vertex array.
    uint32_t Triangle() const { return triangle_; }
    const SgVec3* Corner(int i) const { return corners_[i]; }

private:
    // Each triangle swept against the other's plane (relative motion); the earlier touch wins.
    bool TriangleContact(const SgTriangleLeaf* other, SgTriangleContactSink& sink) const;

    uint32_t triangle_;
    const SgVec3* corners_[3];
};

// The collision data of a geometry's world state in collision mode 2.
class SgTriangleCollider : public SgCollisionData {
public:
    // A tree over the triangles (three indices each into both vertex arrays, which hold
    // vertexCount entries; a triangle with an index past them is left out). Ranges of fewer than
    // leafThreshold + 1 triangles are not split. Fewer than two triangles give a single leaf; no
    // triangle at all gives none, and such a collider touches nothing. The world vertex array
    // must stay where it is for the collider's life: the leaves point into it.
    SgTriangleCollider(uint16_t triangleCount, const uint16_t* indices, uint32_t vertexCount,
                       const SgVec3* modelVertices, const SgVec3* worldVertices, int32_t leafThreshold);
    SgTriangleCollider(const SgTriangleCollider&) = delete;
    SgTriangleCollider& operator=(const SgTriangleCollider&) = delete;
    ~SgTriangleCollider() override;

    // False against itself; otherwise the trees' descent (world boxes refreshed first where the
    // placement changed).
    virtual bool Test(SgTriangleCollider* other, int32_t ownDepth, int32_t otherDepth);
    virtual bool FindContact(SgTriangleCollider* other, SgTriangleContactSink& sink, int32_t ownDepth,
                             int32_t otherDepth);

    // The state's placement; the world boxes follow at the next test, and only when it changed.
    void SetTransform(const SgMat3& worldRotation, const SgVec3& worldTranslation, float worldScale);
    const SgTriangleVolume* Root() const { return root_; }
    // The world vertex array the leaves point into.
    const SgVec3* WorldVertices() const { return worldVertices_; }

    float timeStep = 0.0f;
    uint8_t changed = 0;
    SgVec3 velocity;
    SgMat3 rotation = SgIdentityMat3;
    SgVec3 translation;
    float scale = 1.0f;

private:
    void RefreshIfChanged();

    SgTriangleVolume* root_ = nullptr;
    const SgVec3* worldVertices_ = nullptr;
};

// Whether two oriented boxes moving at their owners' velocities meet within the step, and when:
// time is the fraction of the step (0 to 1) at the first touch and point a point of both boxes
// then. The separating axes are swept as intervals over the step.
bool SgMovingBoxContact(const SgOrientedBox& a, const SgVec3& velocityA, const SgOrientedBox& b,
                        const SgVec3& velocityB, float step, float& time, SgVec3& point);
