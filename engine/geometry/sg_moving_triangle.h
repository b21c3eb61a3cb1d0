#pragma once
// Whether two triangles, each moving at a constant velocity, touch within a time step, and when
// and where first: separating axes swept along the relative motion. For every candidate axis the
// triangles project to two intervals, one of which slides at the relative speed; the triangles
// meet only when the times at which the intervals overlap share a moment on every axis, and they
// first touch at the latest of the axes' entry times.

#include <cstdint>

#include "engine/core/sg_math.h"

class SgMovingTriangleTest {
public:
    // Axis ids (bit flags): the two face normals, the nine edge-pair axes, and for triangles in
    // parallel planes the in-plane normals of each triangle's edges.
    enum : uint32_t {
        kAxisNormalA = 1,
        kAxisNormalB = 2,
        kAxisE0F0 = 4,
        kAxisE0F1 = 8,
        kAxisE0F2 = 16,
        kAxisE1F0 = 32,
        kAxisE1F1 = 64,
        kAxisE1F2 = 128,
        kAxisE2F0 = 256,
        kAxisE2F1 = 512,
        kAxisE2F2 = 1024,
        kAxisEdgeA0 = 2048,
        kAxisEdgeA1 = 4096,
        kAxisEdgeA2 = 8192,
        kAxisEdgeB0 = 16384,
        kAxisEdgeB1 = 32768,
        kAxisEdgeB2 = 65536,
    };

    // The pointers must stay valid while the test runs.
    SgMovingTriangleTest(const SgVec3* a0, const SgVec3* a1, const SgVec3* a2, const SgVec3* motionA,
                         const SgVec3* b0, const SgVec3* b1, const SgVec3* b2, const SgVec3* motionB);

    // 1 when the triangles touch within [0, step]: time is the first contact, point a point of
    // both triangles then, and with wantNormals the two face normals (not normalised), the second
    // turned to face the first. 0 leaves the outputs untouched.
    uint8_t FindFirstContact(float step, float& time, SgVec3& point, uint8_t wantNormals, SgVec3& normalA,
                             SgVec3& normalB);
    // 1 when no axis keeps the triangles apart over [0, step]; no outputs.
    uint8_t TestWithinStep(float step);

    // Three projections (of vertices 0, 1, 2) in ascending order with the vertex indices in that
    // order; ties keep the fixed order of the comparisons.
    static void SortProjections(float p0, float p1, float p2, float sorted[3], uint32_t order[3]);

    uint32_t ContactAxis() const { return contactAxis_; }

private:
    // Sorts A's projections pa and B's (pb, relative to B0) on one axis and sweeps them; false when the
    // axis keeps them apart for the whole step.
    bool Axis(uint32_t id, const SgVec3& l, const float pa[3], const float pb[3], bool record);
    bool UpdateAxis(uint32_t id, const float a[3], const uint32_t orderA[3], const float b[3],
                    const uint32_t orderB[3], float speed, bool record);
    // The axes in their order; false at the first that separates.
    bool RunAxes(bool record);
    void FindContactPoint();
    SgVec3 AtTime(const SgVec3& v, const SgVec3& motion) const { return v + motion * t_; }
    void EdgeEdge(const SgVec3& p1, const SgVec3& p2, const SgVec3& q1, const SgVec3& q2);
    // Edge (p1, p2 of the triangle moving with edgeMotion, normal m) against the face of the other.
    void EdgeFace(const SgVec3& p1, const SgVec3& p2, const SgVec3& edgeMotion, const SgVec3& m,
                  const SgVec3& f0, const SgVec3& g0, const SgVec3& g1, const SgVec3& n, const SgVec3& faceMotion);
    void FaceFace();
    // A point of both triangles at time t when they overlapped from the start.
    void OverlapPoint();

    const SgVec3* a_[3];
    const SgVec3* mA_;
    const SgVec3* b_[3];
    const SgVec3* mB_;
    SgVec3 d_;  // B0 - A0; every projection is taken relative to A0
    SgVec3 w_;  // mB - mA; zero once B is carried into A's plane
    SgVec3 e0_, e1_, nA_;
    SgVec3 f0_, f1_, nB_;

    uint32_t contactAxis_ = 0;
    float sortedA_[3] = {};
    float sortedB_[3] = {};
    uint32_t orderA_[3] = {0, 1, 2};
    uint32_t orderB_[3] = {0, 1, 2};
    float step_ = 0.0f;
    float t_ = 0.0f;     // latest entry time so far
    float exit_ = 0.0f;  // earliest exit time so far
    SgVec3 point_;
};
