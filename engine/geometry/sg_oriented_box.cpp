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

    // The cross-product axes are not normalised: both sides of each comparison scale alike. The
    // face axes come first; they separate most pairs before any cross product is formed.
    for (int k = 0; k < 15; ++k) {
        SgVec3 l = CandidateAxis(*this, other, k);
        double r = RadiusSum(*this, other, k, l);
        double d0 = l.Dot(t);
        double d1 = d0 + step * l.Dot(v);
        if ((d0 > r && d1 > r) || (d0 < -r && d1 < -r))
            return false;
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
