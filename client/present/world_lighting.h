#pragma once
// The level's preburned point lights and the vertex colour they give: the world's static
// lighting is computed once, into vertex colours, with no ambient term.

#include <cstdint>

#include "engine/core/sg_av_object.h"
#include "engine/core/sg_light.h"

namespace present {

constexpr int kPreburnLightSlots = 512;
constexpr int kMaxPreburnLights = 511;

struct PreburnLight {
    int32_t on;
    float x, y, z;  // engine units
    float intensity;
    float radius;
    float red, green, blue;  // 0..1
};

struct PreburnLightTable {
    PreburnLight lights[kPreburnLightSlots];
    int32_t count;
    // The engine light made from each switched-on record once the world is built.
    SgRef<SgLight> objects[kPreburnLightSlots];
};

PreburnLightTable& PreburnLights();

// Appends a light (position and sizes in hundredths, colour 0..255); the count stops at 511.
void PutPreburnLight(int x, int y, int z, int intensity, int distance, int red, int green, int blue);
// The colour (red, green, blue, alpha) of a vertex at p with unit normal n.
void LightVertexFromPointLights(const float p[3], const float n[3], float out[4]);
// The static-lighting pass: drops vertex-colour and specular properties, then gives every vertex
// of every triangle shape in the tree the colour of the preburned lights at its world position
// and normal (shapes without a colour array keep none).
void ApplyStaticLightingToModel(SgAVObject* object);
// Switches every record off, lets every light object go and empties the table.
void ClearPreburnLights();

}  // namespace present
