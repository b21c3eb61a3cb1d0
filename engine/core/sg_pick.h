#pragma once
// Ray picking: the query a caller prepares for CollectRayHits and the hit records that nodes and
// geometry append to it.

#include <cstdint>
#include <memory>

#include "engine/core/sg_array.h"
#include "engine/core/sg_math.h"
#include "engine/core/sg_ref.h"

class SgAVObject;
class SgWorldState;

struct SgPickHit {
    SgPickHit(SgAVObject* hitObject, SgWorldState* hitState);
    ~SgPickHit();
    SgPickHit(const SgPickHit&) = delete;
    SgPickHit& operator=(const SgPickHit&) = delete;

    SgRef<SgAVObject> object;
    SgWorldState* state;
    SgVec3 point;
    float distance = 0.0f;
    uint16_t triangle = 0;
    SgVec3 textureCoord;
    SgVec3 normal;
    SgRgba color;  // (0, 0, 0, 0) until a triangle hit fills it
};

struct SgPickRequest {
    // 1 with firstOnly 1: the pick ends at the first hit.
    uint32_t stopMode = 0;
    uint32_t firstOnly = 0;
    // 0 records every object whose world bound the ray meets, without testing triangles (a
    // first-hit query of that kind stops at the first node it meets).
    uint32_t triangleMode = 1;
    // 1 reports points and normals in world space, anything else in model space.
    uint32_t coordinateMode = 1;
    uint8_t cullBackFaces = 0;
    SgSlotArray<std::unique_ptr<SgPickHit>> hits{8, 8};
    uint8_t wantTextureCoord = 0;
    uint8_t wantNormal = 0;
    uint8_t normalFromVertexNormals = 0;
    uint8_t wantColor = 0;

    bool StopsAtFirstHit() const { return stopMode == 1 && firstOnly == 1; }
    bool DescendsIntoObjects() const { return triangleMode != 0; }
    uint32_t HitCount() const { return hits.Count(); }
    const SgPickHit* Hit(uint32_t i) const { return hits.Get(i).get(); }
};
