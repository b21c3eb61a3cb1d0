#pragma once
// An oriented box: the bounding volume of the triangle colliders' tree nodes. It is kept twice,
// in the geometry's model space (built once) and in world space (moved with the collider's
// placement before each test).

#include "engine/core/sg_math.h"

class SgTriangleCollider;

class SgOrientedBox {
public:
    // World values from the model values: centre = s (R c) + T, axes = R axes, extents = s extents.
    void Transform(const SgMat3& rotation, const SgVec3& translation, float scale);

    // Whether no axis separates the two world boxes over the owner's time step, the other box
    // moving relative to this one. Both the start and the end of the step must lie on one side
    // of an axis to separate it, so a box that passes through the other is never separated.
    bool Intersects(const SgOrientedBox& other) const;

    // The box's direction at a point: the axis across which a flat box lies, otherwise the unit
    // direction of the point in the box's own extent-scaled frame (zero at the centre).
    SgVec3 ExtremeCorner(const SgVec3& point) const;

    // The world box's half-length along the axis (scaled by the axis's length).
    double ProjectedRadius(const SgVec3& axis) const;
    // Axis k of the fifteen that can separate two boxes: a's world axes (0 to 2), b's (3 to 5),
    // then the nine cross products of one of a's with one of b's (not normalised).
    static SgVec3 CandidateAxis(const SgOrientedBox& a, const SgOrientedBox& b, int k);
    // The sum of both boxes' projected radii on axis k of CandidateAxis; a box's own axis
    // contributes just its half-extent.
    static double RadiusSum(const SgOrientedBox& a, const SgOrientedBox& b, int k, const SgVec3& axis);

    // The point expressed along the world axes, relative to the world centre.
    SgVec3 ToLocal(const SgVec3& worldPoint) const;

    SgVec3 modelCentre;
    SgVec3 modelAxes[3] = {SgAxisX, SgAxisY, SgAxisZ};
    float modelExtents[3] = {0.0f, 0.0f, 0.0f};
    SgVec3 worldCentre;
    SgVec3 worldAxes[3] = {SgAxisX, SgAxisY, SgAxisZ};
    float worldExtents[3] = {0.0f, 0.0f, 0.0f};
    // The collider whose velocity and time step the box test reads; null means at rest.
    const SgTriangleCollider* owner = nullptr;
};
