// Clipping in world space against the planes the camera handed over for the object: triangles
// are cut plane by plane (each cut can make two), lines are shortened from their own ends, and
// particles are kept or dropped by their centres.

#include "engine/render/sg_d3d_render.h"

namespace {

inline float Distance(const SgPlaneEq& p, const SgVertexWorkRecord& r) {
    return p.normal.x * r.x + p.normal.y * r.y + p.normal.z * r.z - p.constant;
}

inline float Lerp(float a, float b, float t) { return a + t * (b - a); }

// Writes the crossing point of the edge from inside to outside into made. The variants carry
// the second set and the specular level only where the draw uses them; the fog variants carry one
// more field (the particle fog) that nothing after the clipper reads.
template <bool kSecond, bool kSpecular, bool kFog>
void InterpolateClipVertex(float dIn, float dOut, const SgVertexWorkRecord& in, const SgVertexWorkRecord& out,
                           SgVertexWorkRecord& made) {
    const float t = dIn / (dIn - dOut);
    made.x = Lerp(in.x, out.x, t);
    made.y = Lerp(in.y, out.y, t);
    made.z = Lerp(in.z, out.z, t);
    made.u = Lerp(in.u, out.u, t);
    made.v = Lerp(in.v, out.v, t);
    made.r = Lerp(in.r, out.r, t);
    made.g = Lerp(in.g, out.g, t);
    made.b = Lerp(in.b, out.b, t);
    made.a = Lerp(in.a, out.a, t);
    if constexpr (kSecond) {
        made.u2 = Lerp(in.u2, out.u2, t);
        made.v2 = Lerp(in.v2, out.v2, t);
    }
    if constexpr (kSpecular)
        made.specular = Lerp(in.specular, out.specular, t);
    if constexpr (kFog) {
        // A crossing that is not a number (from a vertex that is not one) keeps the inside fog:
        // such a value has no integer.
        const float fog = Lerp(static_cast<float>(in.particleFog), static_cast<float>(out.particleFog), t);
        made.particleFog = fog >= -2147483648.0f && fog < 2147483648.0f ? static_cast<int32_t>(fog) : in.particleFog;
    }
}

constexpr SgClipInterpolator kInterpolators[8] = {
    InterpolateClipVertex<false, false, false>, InterpolateClipVertex<false, false, true>,
    InterpolateClipVertex<false, true, false>,  InterpolateClipVertex<false, true, true>,
    InterpolateClipVertex<true, false, false>,  InterpolateClipVertex<true, false, true>,
    InterpolateClipVertex<true, true, false>,   InterpolateClipVertex<true, true, true>,
};

}  // namespace

void SgD3DRenderContext::SelectClipInterpolator() {
    interpolator = kInterpolators[(driver->secondSet ? 4 : 0) | (specularOn ? 2 : 0) | (fog.on ? 1 : 0)];
}

void SgD3DRenderContext::ClipPolygon(SgVertexWorkRecord* const* t, uint32_t k) {
    const SgPlaneEq& plane = *view.clipPlanes[k];
    SgVertexWorkRecord* a = t[0];
    SgVertexWorkRecord* b = t[1];
    SgVertexWorkRecord* c = t[2];
    const float da = Distance(plane, *a), db = Distance(plane, *b), dc = Distance(plane, *c);
    const int inside = (da >= 0 ? 1 : 0) | (db >= 0 ? 2 : 0) | (dc >= 0 ? 4 : 0);
    auto pass = [&](SgVertexWorkRecord* p, SgVertexWorkRecord* q, SgVertexWorkRecord* r) {
        SgVertexWorkRecord* next[3] = {p, q, r};
        if (k + 1 < view.clipPlaneCount)
            ClipPolygon(next, k + 1);
        else
            triangleRoutine(*this, next);
    };
    if (inside == 7) {
        pass(a, b, c);
        return;
    }
    if (inside == 0)
        return;
    // Both new records are taken before either is filled.
    SgVertexWorkRecord* n1 = work.TakeClipRecord();
    SgVertexWorkRecord* n2 = work.TakeClipRecord();
    if (!n1 || !n2)
        return;
    switch (inside) {
    case 1:  // a only
        interpolator(da, db, *a, *b, *n1);
        interpolator(da, dc, *a, *c, *n2);
        pass(a, n1, n2);
        break;
    case 2:  // b only
        interpolator(db, dc, *b, *c, *n1);
        interpolator(db, da, *b, *a, *n2);
        pass(b, n1, n2);
        break;
    case 4:  // c only
        interpolator(dc, da, *c, *a, *n1);
        interpolator(dc, db, *c, *b, *n2);
        pass(c, n1, n2);
        break;
    case 6:  // b and c
        interpolator(dc, da, *c, *a, *n1);
        interpolator(db, da, *b, *a, *n2);
        pass(n1, n2, b);
        pass(n1, b, c);
        break;
    case 5:  // a and c
        interpolator(da, db, *a, *b, *n1);
        interpolator(dc, db, *c, *b, *n2);
        pass(n1, n2, c);
        pass(n1, c, a);
        break;
    default:  // a and b
        interpolator(db, dc, *b, *c, *n1);
        interpolator(da, dc, *a, *c, *n2);
        pass(n1, n2, a);
        pass(n1, a, b);
        break;
    }
}

void SgD3DRenderContext::ClipLine(SgVertexWorkRecord* a, SgVertexWorkRecord* b, uint32_t k) {
    // A moved end belongs to this line alone: it is a copy, so the neighbouring lines of a
    // polyline keep the shared record where it was.
    SgVertexWorkRecord* ownA = nullptr;
    SgVertexWorkRecord* ownB = nullptr;
    for (; k < view.clipPlaneCount; ++k) {
        const SgPlaneEq& plane = *view.clipPlanes[k];
        const float dA = Distance(plane, *a), dB = Distance(plane, *b);
        if (dA < 0 && dB < 0)
            return;
        if (dA < 0) {
            if (!ownA) {
                if (!(ownA = work.TakeClipRecord()))
                    return;
                *ownA = *a;
                ownA->emittedTag = 0;
            }
            interpolator(dB, dA, *b, *a, *ownA);
            a = ownA;
        } else if (dB < 0) {
            if (!ownB) {
                if (!(ownB = work.TakeClipRecord()))
                    return;
                *ownB = *b;
                ownB->emittedTag = 0;
            }
            interpolator(dA, dB, *a, *b, *ownB);
            b = ownB;
        }
    }
    lineRoutine(*this, a, b);
}

void SgD3DRenderContext::MarkParticlesInside(const SgVec3* positions, uint32_t count) {
    SgVertexWorkRecord* records = work.Records();
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t inside = 1;
        for (uint32_t k = 0; k < view.clipPlaneCount && inside; ++k) {
            const SgPlaneEq& p = *view.clipPlanes[k];
            if (!(p.normal.x * positions[i].x + p.normal.y * positions[i].y + p.normal.z * positions[i].z -
                      p.constant >
                  0.0f))
                inside = 0;
        }
        records[i].used = inside;
    }
}
