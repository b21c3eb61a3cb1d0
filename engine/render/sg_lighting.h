#pragma once
// The renderer lights vertices itself. It keeps one prepared entry per light it was handed and one
// clamped copy per material, each in a 53-bucket hash with a last-found shortcut, refreshed only
// when the light's or material's revision moves on.

#include <cstdint>

#include "engine/core/sg_bound.h"
#include "engine/core/sg_math.h"

class SgLight;
class SgMaterialProperty;
struct SgVertexWorkRecord;

struct SgLightEntry {
    static constexpr uint32_t kOn = 1;
    static constexpr uint32_t kReachStale = 2;
    static constexpr uint32_t kLinearOnly = 8;
    static constexpr uint32_t kAttenuated = 16;

    uint32_t flags = 0;
    uint32_t kind = 0;
    SgVec3 position;
    SgVec3 direction;
    float coneAngle = 0, cos2 = 0, sin2 = 0, spotExponent = 0;
    float attenuationA = 0, attenuationB = 0;
    float dimmer = 0;
    SgRgb ambient, diffuse, specular;
    SgRgb ambientDimmed, diffuseDimmed, specularDimmed;
    float reach = 0;
    int32_t key = -1;
    uint32_t revision = 0;
    SgLightEntry* chain = nullptr;
    SgLightEntry* next = nullptr;
};

class SgLightTable {
public:
    static constexpr uint32_t kBuckets = 53;

    SgLightTable();
    ~SgLightTable();
    SgLightTable(const SgLightTable&) = delete;
    SgLightTable& operator=(const SgLightTable&) = delete;

    SgLightEntry* Find(int32_t key);
    SgLightEntry* FindOrCreate(int32_t key);
    void Remove(SgLightEntry* entry);
    // Copies the light into its entry when its revision moved on; off keeps the entry's data.
    void UpdateLightEntry(const SgLight* light, bool on, bool* changed);
    uint32_t Count() const { return count_; }
    // Newest first.
    SgLightEntry* First() const { return all_; }

private:
    bool AddBlock();

    uint32_t count_ = 0;
    SgLightEntry* all_ = nullptr;
    SgLightEntry* lastFound_ = nullptr;
    SgLightEntry* free_ = nullptr;
    SgLightEntry* buckets_[kBuckets] = {};
    struct Block;
    Block* blocks_ = nullptr;
};

struct SgMaterialEntry {
    uint32_t revision = 0;
    int32_t key = -1;
    SgRgb ambient, diffuse, specular, emissive;
    float alpha = 0;
    float ambientLevel = 0, diffuseLevel = 0;
    uint32_t value = 0;
    SgMaterialEntry* chain = nullptr;
};

class SgMaterialCache {
public:
    static constexpr uint32_t kBuckets = 53;

    SgMaterialCache() = default;
    ~SgMaterialCache();
    SgMaterialCache(const SgMaterialCache&) = delete;
    SgMaterialCache& operator=(const SgMaterialCache&) = delete;

    // Finds or adds the material's entry, copies it when its revision moved on, and makes it
    // current. 0 (and no change of the current entry) when no entry can be had.
    uint32_t Lookup(const SgMaterialProperty* material, bool* changed);
    SgMaterialEntry* Current() const { return current_; }
    void ClearCurrent() { current_ = nullptr; }

private:
    bool AllocPool();

    SgMaterialEntry* buckets_[kBuckets] = {};
    SgMaterialEntry* lastFound_ = nullptr;
    SgMaterialEntry* free_ = nullptr;
    struct Block;
    Block* blocks_ = nullptr;
    SgMaterialEntry* current_ = nullptr;
};

// Where a point light with attenuation stops mattering: the positive root d of
// B d^3 + A d = 64 m, m the largest component of its dimmed diffuse colour.
float SgPointLightReach(float attenuationA, float attenuationB, float largestDiffuse);

struct SgLightingInput {
    const SgMaterialEntry* material;
    SgVec3 eye;
    SgBoundSphere bound;
    uint32_t vertexCount;
    SgVertexWorkRecord* records;
    const SgVec3* positions;
    const SgVec3* normals;
    const SgVec3* textureSets;  // the first set, or null
    const SgRgba* vertexColors;  // or null
    bool specularOn;
    bool addVertexColors;
};

// Writes colour (0-255) and, with specular on, the specular level of every used record.
void ComputeVertexColors(SgLightTable& lights, const SgLightingInput& in);
