#include "client/present/world_lighting.h"

#include <algorithm>
#include <cmath>

#include "client/present/world_tables.h"
#include "engine/geometry/sg_tri_shape.h"

namespace present {

PreburnLightTable& PreburnLights() {
    // Never destroyed: engine objects must not be released during static destruction.
    static PreburnLightTable* table = new PreburnLightTable{};
    return *table;
}

void PutPreburnLight(int x, int y, int z, int intensity, int distance, int red, int green, int blue) {
    PreburnLightTable& t = PreburnLights();
    PreburnLight& l = t.lights[t.count];
    l.on = 1;
    l.x = x * 0.01f;
    l.y = y * 0.01f;
    l.z = -z * 0.01f;
    l.intensity = intensity * 0.01f;
    l.radius = distance * 0.01f;
    l.red = red / 255.0f;
    l.green = green / 255.0f;
    l.blue = blue / 255.0f;
    t.count = std::min(t.count + 1, kMaxPreburnLights);
    t.lights[t.count].on = 0;
}

void LightVertexFromPointLights(const float p[3], const float n[3], float out[4]) {
    const PreburnLightTable& t = PreburnLights();
    float r = 0, g = 0, b = 0;
    for (int i = 0; i < t.count; ++i) {
        const PreburnLight& l = t.lights[i];
        // A light without a reach lights nothing (and would divide by zero).
        if (!l.on || !(l.radius > 0.0f))
            continue;
        const float vx = l.x - p[0], vy = l.y - p[1], vz = l.z - p[2];
        const float d = std::sqrt(vx * vx + vy * vy + vz * vz);
        const float a = (l.radius - d) / l.radius;
        if (!(a > 0.0f))
            continue;
        float ux = 0, uy = 0, uz = 0;
        if (d > 0.000001f)
            ux = vx / d, uy = vy / d, uz = vz / d;
        const float lambert = n[0] * ux + n[1] * uy + n[2] * uz;
        if (!(lambert > 0.0f))
            continue;
        float f = lambert * a * a * l.intensity;
        if (f < 0.1f)
            f = 0.0f;
        else if (f > 1.0f)
            f = 1.0f;
        r += l.red * f;
        g += l.green * f;
        b += l.blue * f;
    }
    out[0] = std::clamp(r, 0.0f, 1.0f);
    out[1] = std::clamp(g, 0.0f, 1.0f);
    out[2] = std::clamp(b, 0.0f, 1.0f);
    out[3] = 1.0f;
}

void ApplyStaticLightingToModel(SgAVObject* object) {
    if (!object)
        return;
    for (int type : {SG_VERTEX_COLOR_PROPERTY, SG_SPECULAR_PROPERTY})
        if (SgProperty* property = object->FindPropertyOfType(type))
            object->properties.Remove(property);
    if (auto* shape = SgKindCast<SgTriShape>(object)) {
        shape->ComputePlanes();
        shape->ComputeNormalsFromPlanes();
        SgRgba* colors = shape->Colors();
        const SgVec3* points = shape->WorldVertices();
        const SgVec3* normals = shape->WorldNormals();
        if (!colors || !points || !normals)
            return;
        for (uint16_t v = 0; v < shape->VertexCount(); ++v) {
            const float p[3] = {points[v].x, points[v].y, points[v].z};
            const float n[3] = {normals[v].x, normals[v].y, normals[v].z};
            float c[4];
            LightVertexFromPointLights(p, n, c);
            colors[v] = SgRgba{c[0], c[1], c[2], c[3]};
        }
        return;
    }
    if (auto* node = SgKindCast<SgNode>(object))
        for (uint32_t i = 0; i < node->ChildCount(); ++i)
            ApplyStaticLightingToModel(node->ChildAt(i));
}

void ClearPreburnLights() {
    PreburnLightTable& t = PreburnLights();
    for (PreburnLight& l : t.lights)
        l.on = 0;
    for (SgRef<SgLight>& light : t.objects) {
        if (!light)
            continue;
        light->ForgetAllLitNodes();
        if (SgNode* root = World().worldRoot.Get())
            root->RemoveChild(light.Get());
        light = nullptr;
    }
    t.count = 0;
}

}  // namespace present
