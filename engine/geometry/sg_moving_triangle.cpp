#include "engine/geometry/sg_moving_triangle.h"

#include <cmath>
#include <cstdlib>
#include <initializer_list>

namespace {

constexpr float kEpsilon = 1e-5f;

float F(double v) { return static_cast<float>(v); }

// Whether p lies in the 2D triangle (a, b, c), either winding, edges included.
bool InTriangle2D(const float p[2], const float a[2], const float b[2], const float c[2]) {
    auto side = [](const float* u, const float* v, const float* q) {
        return (double(v[0]) - u[0]) * (double(q[1]) - u[1]) - (double(v[1]) - u[1]) * (double(q[0]) - u[0]);
    };
    double s0 = side(a, b, p), s1 = side(b, c, p), s2 = side(c, a, p);
    bool anyNeg = s0 < 0 || s1 < 0 || s2 < 0;
    bool anyPos = s0 > 0 || s1 > 0 || s2 > 0;
    return !(anyNeg && anyPos);
}

// Fraction along (p, q) where it crosses (r, s) in 2D, or -1 when the segments do not cross.
double SegmentCross2D(const float p[2], const float q[2], const float r[2], const float s[2]) {
    double dx = double(q[0]) - p[0], dy = double(q[1]) - p[1];
    double ex = double(s[0]) - r[0], ey = double(s[1]) - r[1];
    double den = dx * ey - dy * ex;
    if (den == 0.0)
        return -1.0;
    double fx = double(r[0]) - p[0], fy = double(r[1]) - p[1];
    double u = (fx * ey - fy * ex) / den;
    double v = (fx * dy - fy * dx) / den;
    return u >= 0.0 && u <= 1.0 && v >= 0.0 && v <= 1.0 ? u : -1.0;
}

// Where the segment (p, q) crosses the plane of the triangle (a, b, c) inside it; false when it
// does not, or lies in the plane.
bool SegmentThroughTriangle(const SgVec3& p, const SgVec3& q, const SgVec3& a, const SgVec3& b, const SgVec3& c,
                            SgVec3& out) {
    SgVec3 n = (b - a).Cross(c - a);
    double dp = n.Dot(p - a), dq = n.Dot(q - a);
    if ((dp > 0 && dq > 0) || (dp < 0 && dq < 0) || dp == dq)
        return false;
    SgVec3 x = p + (q - p) * F(dp / (dp - dq));
    double nn = n.Dot(n);
    SgVec3 r = x - a;
    double beta = n.Dot(r.Cross(c - a)), gamma = n.Dot((b - a).Cross(r));
    if (beta < 0 || gamma < 0 || beta + gamma > nn)
        return false;
    out = x;
    return true;
}

}  // namespace

SgMovingTriangleTest::SgMovingTriangleTest(const SgVec3* a0, const SgVec3* a1, const SgVec3* a2,
                                           const SgVec3* motionA, const SgVec3* b0, const SgVec3* b1,
                                           const SgVec3* b2, const SgVec3* motionB)
    : a_{a0, a1, a2}, mA_(motionA), b_{b0, b1, b2}, mB_(motionB) {
    d_ = *b0 - *a0;
    w_ = *motionB - *motionA;
    e0_ = *a1 - *a0;
    e1_ = *a2 - *a0;
    nA_ = e0_.Cross(e1_);
    f0_ = *b1 - *b0;
    f1_ = *b2 - *b0;
    nB_ = f0_.Cross(f1_);
}

void SgMovingTriangleTest::SortProjections(float p0, float p1, float p2, float sorted[3], uint32_t order[3]) {
    auto put = [&](uint32_t i, uint32_t j, uint32_t k) {
        const float p[3] = {p0, p1, p2};
        order[0] = i;
        order[1] = j;
        order[2] = k;
        sorted[0] = p[i];
        sorted[1] = p[j];
        sorted[2] = p[k];
    };
    if (p2 >= p1) {
        if (p1 >= p0)
            put(0, 1, 2);
        else if (p2 >= p0)
            put(1, 0, 2);
        else
            put(1, 2, 0);
    } else {
        if (p2 >= p0)
            put(0, 2, 1);
        else if (p1 >= p0)
            put(2, 0, 1);
        else
            put(2, 1, 0);
    }
}

bool SgMovingTriangleTest::UpdateAxis(uint32_t id, const float a[3], const uint32_t orderA[3], const float b[3],
                                      const uint32_t orderB[3], float speed, bool record) {
    double s = speed, step = step_;
    double entry = 0.0, leave;
    if (b[0] <= a[2] && b[2] >= a[0]) {
        // Overlapping now: they part when B's near end passes A's far end.
        if (s > 0)
            leave = (double(a[2]) - b[0]) / s;
        else if (s < 0)
            leave = (double(a[0]) - b[2]) / s;
        else
            leave = step;
    } else if (b[2] < a[0]) {
        if (b[2] + s * step < a[0])
            return false;
        entry = (double(a[0]) - b[2]) / s;
        leave = (double(a[2]) - b[0]) / s;
    } else {
        if (b[0] + s * step > a[2])
            return false;
        entry = (double(a[2]) - b[0]) / s;
        leave = (double(a[0]) - b[2]) / s;
    }
    if (entry > t_) {
        t_ = F(entry);
        if (record) {
            contactAxis_ = id;
            for (int i = 0; i < 3; ++i) {
                sortedA_[i] = a[i];
                sortedB_[i] = b[i];
                orderA_[i] = orderA[i];
                orderB_[i] = orderB[i];
            }
        }
    }
    if (leave < exit_)
        exit_ = F(leave);
    // An axis that lets the triangles apart again before another brings them together separates
    // them over the step as surely as one that never closes.
    return t_ <= exit_;
}

bool SgMovingTriangleTest::Axis(uint32_t id, const SgVec3& l, const float pa[3], const float pb[3], bool record) {
    double ld = l.Dot(d_);
    float sa[3], sb[3];
    uint32_t oa[3], ob[3];
    SortProjections(pa[0], pa[1], pa[2], sa, oa);
    SortProjections(F(ld + pb[0]), F(ld + pb[1]), F(ld + pb[2]), sb, ob);
    return UpdateAxis(id, sa, oa, sb, ob, l.Dot(w_), record);
}

namespace {

// Projections of a triangle's corners (relative to corner 0) on an axis normal to its edge k
// (0: corner 0 to 1, 1: corner 0 to 2, 2: corner 1 to 2): the edge's own corners project alike,
// exactly, whatever the rounding of the products. x and y are the axis's products with edges 0
// and 1.
void OwnEdgePattern(int k, float x, float y, float out[3]) {
    out[0] = 0.0f;
    out[1] = k == 0 ? 0.0f : x;
    out[2] = k == 0 ? y : (k == 1 ? 0.0f : x);
}

}  // namespace

bool SgMovingTriangleTest::RunAxes(bool record) {
    t_ = 0.0f;
    exit_ = step_;
    contactAxis_ = 0;
    const float zero[3] = {0.0f, 0.0f, 0.0f};
    // NA: A's corners all lie on its plane; NB: so do B's.
    const float bOnA[3] = {0.0f, nA_.Dot(f0_), nA_.Dot(f1_)};
    const float aOnB[3] = {0.0f, nB_.Dot(e0_), nB_.Dot(e1_)};
    if (!Axis(kAxisNormalA, nA_, zero, bOnA, record) || !Axis(kAxisNormalB, nB_, aOnB, zero, record))
        return false;

    const SgVec3 e[3] = {e0_, e1_, e1_ - e0_};
    const SgVec3 f[3] = {f0_, f1_, f1_ - f0_};

    // Parallel planes leave every edge-pair axis at zero; the angle between the normals decides
    // (measured relative to their lengths, so small and large triangles are judged alike).
    // A degenerate triangle has no plane and is tested on the edge-pair axes.
    SgVec3 k = nA_.Cross(nB_);
    double na = nA_.SquaredLength(), nb = nB_.SquaredLength();
    bool parallel = na > 0 && nb > 0 && double(k.SquaredLength()) <= 1e-5 * na * nb;
    if (parallel) {
        double nw = nA_.Dot(w_);
        if (std::fabs(nw) > kEpsilon) {
            // Carry B to where the planes meet; the rest is tested without motion.
            double tau = -double(nA_.Dot(d_)) / nw;
            d_ = d_ + w_ * F(tau);
            w_ = SgZeroVec3;
        }
        // In-plane normals of B's edges, then of A's.
        for (int j = 0; j < 3; ++j) {
            SgVec3 l = nB_.Cross(f[j]);
            float pa[3] = {0.0f, l.Dot(e0_), l.Dot(e1_)}, pb[3];
            OwnEdgePattern(j, l.Dot(f0_), l.Dot(f1_), pb);
            if (!Axis(kAxisEdgeB0 << j, l, pa, pb, record))
                return false;
        }
        for (int i = 0; i < 3; ++i) {
            SgVec3 l = nA_.Cross(e[i]);
            float pa[3], pb[3] = {0.0f, l.Dot(f0_), l.Dot(f1_)};
            OwnEdgePattern(i, l.Dot(e0_), l.Dot(e1_), pa);
            if (!Axis(kAxisEdgeA0 << i, l, pa, pb, record))
                return false;
        }
        return true;
    }

    // Edge-pair axes e_i x f_j. Their products with the edges are triple products shared between
    // axes: (e_i x f_j) . e = +-(NA . f_j) and (e_i x f_j) . f = +-(NB . e_i), zero for the axis's
    // own edges.
    const float naf[3] = {bOnA[1], bOnA[2], F(double(bOnA[2]) - bOnA[1])};
    const float nbe[3] = {aOnB[1], aOnB[2], F(double(aOnB[2]) - aOnB[1])};
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            float pa[3], pb[3];
            // A: x = L.e0, y = L.e1 with L.e_i = 0.
            OwnEdgePattern(i, naf[j], F(-double(naf[j])), pa);
            // B: x = L.f0, y = L.f1 with L.f_j = 0.
            OwnEdgePattern(j, F(-double(nbe[i])), nbe[i], pb);
            if (!Axis(kAxisE0F0 << (i * 3 + j), e[i].Cross(f[j]), pa, pb, record))
                return false;
        }
    }
    return true;
}

uint8_t SgMovingTriangleTest::FindFirstContact(float step, float& time, SgVec3& point, uint8_t wantNormals,
                                               SgVec3& normalA, SgVec3& normalB) {
    step_ = step;
    if (!RunAxes(true))
        return 0;
    FindContactPoint();
    time = t_;
    point = point_;
    if (wantNormals) {
        normalA = nA_;
        normalB = nA_.Dot(nB_) > 0 ? nB_.Negate() : nB_;
    }
    return 1;
}

uint8_t SgMovingTriangleTest::TestWithinStep(float step) {
    step_ = step;
    return RunAxes(false) ? 1 : 0;
}

// ---- Contact point ----

void SgMovingTriangleTest::FindContactPoint() {
    if (contactAxis_ == 0) {
        OverlapPoint();
        return;
    }
    const SgVec3& mA = *mA_;
    const SgVec3& mB = *mB_;
    // B below A on the contact axis: A's lowest end meets B's highest, else A's highest B's lowest.
    bool below = sortedB_[0] <= sortedA_[2];
    float endA = below ? sortedA_[0] : sortedA_[2];
    float endB = below ? sortedB_[2] : sortedB_[0];
    int countA = 0, countB = 0;
    for (int i = 0; i < 3; ++i) {
        countA += sortedA_[i] == endA;
        countB += sortedB_[i] == endB;
    }
    // The touching vertices of each side, in ascending order of their projections.
    const SgVec3& a1 = *a_[below ? orderA_[0] : orderA_[1]];
    const SgVec3& a2 = *a_[below ? orderA_[1] : orderA_[2]];
    const SgVec3& b1 = *b_[below ? orderB_[1] : orderB_[0]];
    const SgVec3& b2 = *b_[below ? orderB_[2] : orderB_[1]];

    if (countA == 1) {
        point_ = AtTime(*a_[below ? orderA_[0] : orderA_[2]], mA);
    } else if (countB == 1) {
        point_ = AtTime(*b_[below ? orderB_[2] : orderB_[0]], mB);
    } else if (countA == 2 && countB == 2) {
        EdgeEdge(a1, a2, b1, b2);
    } else if (countA == 2) {
        EdgeFace(a1, a2, mA, nA_, *b_[0], f0_, f1_, nB_, mB);
    } else if (countB == 2) {
        EdgeFace(b1, b2, mB, nB_, *a_[0], e0_, e1_, nA_, mA);
    } else {
        FaceFace();
    }
}

void SgMovingTriangleTest::EdgeEdge(const SgVec3& p1, const SgVec3& p2, const SgVec3& q1, const SgVec3& q2) {
    const SgVec3& mA = *mA_;
    const SgVec3& mB = *mB_;
    SgVec3 u = p2 - p1;
    SgVec3 w = mB - mA;
    SgVec3 r = q1 + w * t_ - p1;
    double nu = nB_.Dot(u);
    if (std::fabs(nu) > kEpsilon) {
        // Where the line of A's edge crosses B's plane at time t.
        point_ = AtTime(p1, mA) + u * F(nB_.Dot(r) / nu);
        return;
    }
    // A's edge runs along B's plane, so the two edges lie on one line at time t: the middle of
    // the stretch they share (of the gap between them, should rounding have parted them).
    double uu = u.Dot(u);
    SgVec3 base = AtTime(p1, mA);
    if (!(uu > 0.0)) {
        point_ = base;
        return;
    }
    double l1 = r.Dot(u) / uu;
    double l2 = (q2 + w * t_ - p1).Dot(u) / uu;
    double lo = l1 < l2 ? l1 : l2, hi = l1 < l2 ? l2 : l1;
    lo = lo > 0.0 ? lo : 0.0;
    hi = hi < 1.0 ? hi : 1.0;
    point_ = base + u * F((lo + hi) * 0.5);
}

void SgMovingTriangleTest::EdgeFace(const SgVec3& p1, const SgVec3& p2, const SgVec3& edgeMotion, const SgVec3& m,
                                    const SgVec3& f0, const SgVec3& g0, const SgVec3& g1, const SgVec3& n,
                                    const SgVec3& faceMotion) {
    SgVec3 base = AtTime(f0, faceMotion);
    SgVec3 ends[2] = {AtTime(p1, edgeMotion), AtTime(p2, edgeMotion)};
    // Should no rule below find a point, the middle of the touching edge stands for it.
    point_ = (ends[0] + ends[1]) * 0.5f;

    double nn = n.Dot(n);
    for (const SgVec3& p : ends) {
        SgVec3 r = p - base;
        double beta = n.Dot(r.Cross(g1)), gamma = n.Dot(g0.Cross(r));
        if (beta >= 0 && gamma >= 0 && beta + gamma <= nn) {
            point_ = p;
            return;
        }
    }
    SgVec3 r1 = ends[0] - base;
    double s = m.Dot(r1);
    double nr = std::fabs(double(n.Dot(r1)));
    for (const SgVec3* g : {&g0, &g1}) {
        double k = m.Dot(*g);
        if ((k > kEpsilon && s >= 0 && s <= k) || (k < -kEpsilon && k <= s && s <= 0)) {
            point_ = base + *g * F(s / k);
            return;
        }
        if (std::fabs(k) <= kEpsilon && nr <= kEpsilon)
            point_ = base;
    }
}

void SgMovingTriangleTest::FaceFace() { OverlapPoint(); }

void SgMovingTriangleTest::OverlapPoint() {
    SgVec3 a[3], b[3];
    for (int i = 0; i < 3; ++i) {
        a[i] = AtTime(*a_[i], *mA_);
        b[i] = AtTime(*b_[i], *mB_);
    }
    // An edge of one through the face of the other.
    static const int kEdges[3][2] = {{0, 1}, {1, 2}, {2, 0}};
    for (const auto& e : kEdges) {
        if (SegmentThroughTriangle(a[e[0]], a[e[1]], b[0], b[1], b[2], point_) ||
            SegmentThroughTriangle(b[e[0]], b[e[1]], a[0], a[1], a[2], point_))
            return;
    }

    // Coplanar: compare in the plane, dropping the normal's largest component.
    SgVec3 n = nA_.SquaredLength() >= nB_.SquaredLength() ? nA_ : nB_;
    double ax = std::fabs(double(n.x)), ay = std::fabs(double(n.y)), az = std::fabs(double(n.z));
    int drop = ax >= ay && ax >= az ? 0 : (ay >= az ? 1 : 2);
    auto flat = [drop](const SgVec3& v, float out[2]) {
        const float c[3] = {v.x, v.y, v.z};
        out[0] = c[drop == 0 ? 1 : 0];
        out[1] = c[drop == 2 ? 1 : 2];
    };
    float pa[3][2], pb[3][2];
    for (int i = 0; i < 3; ++i) {
        flat(a[i], pa[i]);
        flat(b[i], pb[i]);
    }
    for (int i = 0; i < 3; ++i) {
        if (InTriangle2D(pa[i], pb[0], pb[1], pb[2])) {
            point_ = a[i];
            return;
        }
        if (InTriangle2D(pb[i], pa[0], pa[1], pa[2])) {
            point_ = b[i];
            return;
        }
    }
    for (const auto& ea : kEdges) {
        for (const auto& eb : kEdges) {
            double u = SegmentCross2D(pa[ea[0]], pa[ea[1]], pb[eb[0]], pb[eb[1]]);
            if (u >= 0.0) {
                point_ = a[ea[0]] + (a[ea[1]] - a[ea[0]]) * F(u);
                return;
            }
        }
    }
    // Nothing shared found (rounding): the middle between the two centres.
    point_ = (a[0] + a[1] + a[2] + b[0] + b[1] + b[2]) * F(1.0 / 6.0);
}
