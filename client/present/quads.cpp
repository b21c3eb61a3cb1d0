#include "client/present/quads.h"

#include <cmath>

#include "client/present/tiles.h"
#include "client/present/world_lighting.h"

namespace present {

SgVec3 FaceNormal(const SgVec3& p0, const SgVec3& p1, const SgVec3& p2) {
    const SgVec3 a(p1.x - p0.x, p1.y - p0.y, p1.z - p0.z);
    const SgVec3 b(p2.x - p1.x, p2.y - p1.y, p2.z - p1.z);
    const SgVec3 n(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
    const float length = n.Length();
    if (length < 1e-6f)
        return SgVec3(0, 0, 0);
    return SgVec3(n.x / length, n.y / length, n.z / length);
}

SgTriShape* AddQuad(SgNode* target, const SgVec3 p[4], const SgVec3 uv[4], int slot, const SgVec3& normal) {
    if (!target || slot == 0)
        return nullptr;
    static const uint16_t kTriangles[6] = {0, 1, 2, 2, 1, 3};
    SgRgba colors[4];
    const float n[3] = {normal.x, normal.y, normal.z};
    for (int v = 0; v < 4; ++v) {
        const float at[3] = {p[v].x, p[v].y, p[v].z};
        float c[4];
        LightVertexFromPointLights(at, n, c);
        colors[v] = SgRgba(c[0], c[1], c[2], c[3]);
    }
    SgRef<SgTriShape> shape(new SgTriShape(4, p, nullptr, 2, kTriangles, uv, colors));
    if (SgTextureProperty* texture = TextureMap(slot))
        shape->properties.Prepend(texture);
    target->InsertChild(shape.Get(), true);
    return shape.Get();
}

}  // namespace present
