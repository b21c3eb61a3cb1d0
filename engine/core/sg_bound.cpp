#include "engine/core/sg_bound.h"

#include <cmath>

#include "engine/core/sg_stream.h"

void SgBoundSphere::Copy(const SgBoundSphere& other) {
    centre = other.centre;
    radius = other.radius;
    unset = 0;
}

bool SgBoundSphere::IsEqualTo(const SgBoundSphere& other) const {
    return radius == other.radius && centre.IsEqualTo(other.centre);
}

void SgBoundSphere::FitToPoints(uint32_t count, const SgVec3* points) {
    if (count < 1 || !points) {
        centre = SgVec3();
        radius = 0.0f;
        return;
    }
    SgVec3 lo = points[0], hi = points[0];
    for (uint32_t i = 1; i < count; ++i) {
        const SgVec3& p = points[i];
        if (p.x < lo.x) lo.x = p.x;
        if (p.y < lo.y) lo.y = p.y;
        if (p.z < lo.z) lo.z = p.z;
        if (p.x > hi.x) hi.x = p.x;
        if (p.y > hi.y) hi.y = p.y;
        if (p.z > hi.z) hi.z = p.z;
    }
    centre = (lo + hi) * 0.5f;
    float largest = 0.0f;
    for (uint32_t i = 0; i < count; ++i) {
        float d = (points[i] - centre).SquaredLength();
        if (d > largest)
            largest = d;
    }
    radius = std::sqrt(largest);
    unset = 0;
}

void SgBoundSphere::TransformBy(const SgBoundSphere& sphere, const SgMat3& rotation, const SgVec3& translation,
                                float scale) {
    centre = rotation.TimesVec(sphere.centre) * scale + translation;
    radius = sphere.radius * scale;
    unset = 0;
}

void SgBoundSphere::Enclose(const SgBoundSphere& other) {
    SgVec3 d = centre - other.centre;
    double distanceSquared = d.SquaredLength();
    double delta = double(other.radius) - radius;
    if (delta * delta >= distanceSquared) {
        if (delta >= 0)
            Copy(other);
        return;
    }
    double distance = std::sqrt(distanceSquared);
    if (distance > 1e-6) {
        double k = (distance - delta) / (2.0 * distance);
        centre = other.centre + d * static_cast<float>(k);
    }
    radius = static_cast<float>((distance + radius + other.radius) * 0.5);
}

int SgBoundSphere::WhichSide(const SgPlaneEq& plane) const {
    float d = plane.Distance(centre);
    if (d <= -radius)
        return 2;
    if (d >= radius)
        return 1;
    return 0;
}

namespace {

struct Approach {
    double a, b, c, r;  // v.v, p.v, p.p and the squared sum of the radii
    SgVec3 p;
};

Approach Measure(const SgBoundSphere& sa, const SgVec3& va, const SgBoundSphere& sb, const SgVec3& vb) {
    SgVec3 v = vb - va;
    SgVec3 p = sb.centre - sa.centre;
    double sum = double(sa.radius) + sb.radius;
    return {v.Dot(v), p.Dot(v), p.Dot(p), sum * sum, p};
}

bool Approaching(const Approach& m) { return m.a > 0 && m.b <= 0; }

// For approaching spheres: whether they come within reach during the span.
bool MeetWithin(const Approach& m, double t) {
    if (-m.a * t > m.b)
        return m.a * t * t + 2.0 * m.b * t + m.c <= m.r;
    return m.r * m.a >= m.c * m.a - m.b * m.b;
}

// The normals along the line between the centres (zero when they coincide).
void Normals(SgVec3 p, SgVec3& normalA, SgVec3& normalB) {
    p.Normalize();
    normalA = p;
    normalB = -p;
}

}  // namespace

bool SgBoundSphere::MovingOverlap(float t, const SgBoundSphere& a, const SgVec3& velocityA, const SgBoundSphere& b,
                                  const SgVec3& velocityB) {
    Approach m = Measure(a, velocityA, b, velocityB);
    if (Approaching(m))
        return MeetWithin(m, t);
    return m.c <= m.r;
}

bool SgBoundSphere::MovingContact(float t, const SgBoundSphere& a, const SgVec3& velocityA, const SgBoundSphere& b,
                                  const SgVec3& velocityB, float& time, SgVec3& point, bool wantNormals,
                                  SgVec3& normalA, SgVec3& normalB) {
    Approach m = Measure(a, velocityA, b, velocityB);
    auto touchingNow = [&] {
        time = 0.0f;
        point = (a.centre + b.centre) * 0.5f;
        if (wantNormals)
            Normals(m.p, normalA, normalB);
        return true;
    };
    if (!Approaching(m))
        return m.c <= m.r ? touchingNow() : false;
    if (!MeetWithin(m, t))
        return false;
    double q = m.b * m.b - m.a * (m.c - m.r);
    if (q < 0)
        return false;
    if (m.c - m.r <= 0)
        return touchingNow();
    double when = -(std::sqrt(q) + m.b) / m.a;
    if (when < 0)
        when = 0;
    if (when > t)
        when = t;
    time = static_cast<float>(when);
    SgVec3 ca = a.centre + velocityA * time;
    SgVec3 cb = b.centre + velocityB * time;
    double sum = double(a.radius) + b.radius;
    float fraction = sum > 0 ? static_cast<float>(a.radius / sum) : 0.5f;
    point = ca + (cb - ca) * fraction;
    if (wantNormals)
        Normals(cb - ca, normalA, normalB);
    return true;
}

void SgBoundSphere::LoadFromStream(SgSceneStream& stream) {
    centre.LoadFromStream(stream);
    radius = stream.ReadF32();
}

void SgBoundSphere::SaveToStream(SgSceneStream& stream) const {
    centre.SaveToStream(stream);
    stream.WriteF32(radius);
}

bool SgBoundIntersect(float, const SgCollisionVolume*, const void*, const SgCollisionVolume*, const void*) {
    return false;
}

bool SgBoundIntersectMoving(float, const SgCollisionVolume*, const SgVec3&, const SgCollisionVolume*,
                            const SgVec3&) {
    return false;
}

SgCollisionVolume* MakeVolumeFromSphere(const SgBoundSphere&) { return nullptr; }

SgCollisionVolume* LoadVolume(SgSceneStream& stream) {
    stream.ReadU32();
    return nullptr;
}
