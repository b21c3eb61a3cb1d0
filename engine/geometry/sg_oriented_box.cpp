#include "engine/geometry/sg_oriented_box.h"

#include <cmath>

#include "engine/geometry/sg_triangle_collider.h"

namespace {

float F(double v) { return static_cast<float>(v); }

}  // namespace

void SgOrientedBox::Transform(const SgMat3& rotation, const SgVec3& translation, float scale) {
    worldCentre = rotation.TimesVec(modelCentre).Scale(scale) + translation;
    for (int i = 0; i < 3; ++i) {
        worldAxes[i] = rotation.TimesVec(modelAxes[i]);
        worldExtents[i] = F(double(scale) * modelExtents[i]);
    }
}

double SgOrientedBox::ProjectedRadius(const SgVec3& axis) const {
    double r = 0.0;
    for (int i = 0; i < 3; ++i)
        r += std::fabs(double(worldExtents[i]) * worldAxes[i].Dot(axis));
    return r;
}

SgVec3 SgOrientedBox::CandidateAxis(const SgOrientedBox& a, const SgOrientedBox& b, int k) {
    if (k < 3)
        return a.worldAxes[k];
    if (k < 6)
        return b.worldAxes[k - 3];
    k -= 6;
    return a.worldAxes[k / 3].Cross(b.worldAxes[k % 3]);
}

double SgOrientedBox::RadiusSum(const SgOrientedBox& a, const SgOrientedBox& b, int k, const SgVec3& axis) {
    if (k < 3)
        return a.worldExtents[k] + b.ProjectedRadius(axis);
    if (k < 6)
        return a.ProjectedRadius(axis) + b.worldExtents[k - 3];
    return a.ProjectedRadius(axis) + b.ProjectedRadius(axis);
}

bool SgOrientedBox::Intersects(const SgOrientedBox& other) const {
    SgVec3 t = other.worldCentre - worldCentre;
    SgVec3 v;
    if (other.owner)
        v = other.owner->velocity;
    if (owner)
        v = v - owner->velocity;
    double step = owner ? owner->timeStep : 0.0;

    // Everything in this box's frame: the other's axes (r[i][j] = A_i . B_j), the offset of the
    // centres and the relative velocity. The projections on each of the fifteen axes then come
    // from these few products. A hair is added to the absolute values so that nearly parallel
    // edges, whose cross product is all rounding, never separate boxes that touch.
    double r[3][3], ar[3][3], tt[3], vv[3];
    for (int i = 0; i < 3; ++i) {
        tt[i] = t.Dot(worldAxes[i]);
        vv[i] = v.Dot(worldAxes[i]);
        for (int j = 0; j < 3; ++j) {
            r[i][j] = worldAxes[i].Dot(other.worldAxes[j]);
            ar[i][j] = std::fabs(r[i][j]) + 1e-6;
        }
    }
    const float* a = worldExtents;
    const float* b = other.worldExtents;
    // Separated on an axis only when the start and the end of the step lie on one side.
    auto separated = [step](double d0, double speed, double radius) {
        double d1 = d0 + step * speed;
        return (d0 > radius && d1 > radius) || (d0 < -radius && d1 < -radius);
    };
    for (int i = 0; i < 3; ++i) {
        double radius = a[i] + b[0] * ar[i][0] + b[1] * ar[i][1] + b[2] * ar[i][2];
        if (separated(tt[i], vv[i], radius))
            return false;
    }
    for (int j = 0; j < 3; ++j) {
        double radius = a[0] * ar[0][j] + a[1] * ar[1][j] + a[2] * ar[2][j] + b[j];
        double d0 = tt[0] * r[0][j] + tt[1] * r[1][j] + tt[2] * r[2][j];
        double speed = vv[0] * r[0][j] + vv[1] * r[1][j] + vv[2] * r[2][j];
        if (separated(d0, speed, radius))
            return false;
    }
    for (int i = 0; i < 3; ++i) {
        int i1 = (i + 1) % 3, i2 = (i + 2) % 3;
        for (int j = 0; j < 3; ++j) {
            int j1 = (j + 1) % 3, j2 = (j + 2) % 3;
            // The axis A_i x B_j, unnormalised like the distances it is compared with.
            double radius = a[i1] * ar[i2][j] + a[i2] * ar[i1][j] + b[j1] * ar[i][j2] + b[j2] * ar[i][j1];
            double d0 = tt[i2] * r[i1][j] - tt[i1] * r[i2][j];
            double speed = vv[i2] * r[i1][j] - vv[i1] * r[i2][j];
            if (separated(d0, speed, radius))
                return false;
        }
    }
    return true;
}

SgVec3 SgOrientedBox::ExtremeCorner(const SgVec3& point) const {
    double a = worldExtents[0], b = worldExtents[1], h = worldExtents[2];
    double len = std::sqrt(a * a + b * b + h * h);
    double na = 0.0, nb = 0.0, nh = 0.0;
    if (len > 1e-6) {
        na = a / len;
        nb = b / len;
        nh = h / len;
    }
    if (na <= 1e-4)
        return worldAxes[0];
    if (nb <= 1e-4)
        return worldAxes[1];
    if (nh <= 1e-4)
        return worldAxes[2];

    SgVec3 d = point - worldCentre;
    SgVec3 q{F(d.Dot(worldAxes[0]) / (a * a)), F(d.Dot(worldAxes[1]) / (b * b)), F(d.Dot(worldAxes[2]) / (h * h))};
    double length = q.Length();
    if (length <= 1e-6)
        return SgZeroVec3;
    return q.Scale(F(1.0 / length));
}

SgVec3 SgOrientedBox::ToLocal(const SgVec3& worldPoint) const {
    SgVec3 d = worldPoint - worldCentre;
    return {d.Dot(worldAxes[0]), d.Dot(worldAxes[1]), d.Dot(worldAxes[2])};
}
