#pragma once
// Morphing shapes: a triangle shape whose vertex positions are blended over time from morph
// targets (whole alternative vertex arrays). Type 5 float keys carry a weight per target, and the
// shape is target 0 plus the weighted differences of the others; type 6 keys cross-fade two
// absolute targets. Sg3dsEnvMorphShape is the same shape drawn environment-mapped.
//
// The model bound encloses the shape at every key pose, so culling never clips a morph.

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/animation/sg_animation_timing.h"
#include "engine/animation/sg_float_key.h"
#include "engine/geometry/sg_tri_shape.h"

class Sg3dsMorphShape : public SgTriShape, public SgAnimationTiming {
public:
    static SgTypeRecord typeRecord;
    static int Register();

    Sg3dsMorphShape() = default;
    Sg3dsMorphShape(uint16_t vertexCount, const SgVec3* vertices, const SgVec3* normals, uint16_t triangleCount,
                    const uint16_t* indices, const SgVec3* textureSet, const SgRgba* colors)
        : SgTriShape(vertexCount, vertices, normals, triangleCount, indices, textureSet, colors) {}

    const SgTypeRecord* GetTypeRecord() const override;
    bool LoadFromStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;
    bool IsEqualTo(const SgObject* other) const override;

protected:
    ~Sg3dsMorphShape() override = default;

public:
    // Keys, targets and timing copied into a shape of the copy's own class.
    SgAVObject* MakeCopy(SgAVObject* copy) override;
    void Update(float t) override;

    // Full copies of shaped keys (types 3, 5, 6); the first and last times become the key range.
    void SetMorphKeys(const SgFloatKey* const* keys, uint32_t count);
    // Copies of count targets of vertexCount positions each; then the bound. False (nothing
    // changed) for a vertex count that is not the shape's.
    bool SetMorphTargets(const SgVec3* const* targets, uint32_t count, uint32_t vertexCount);
    void Blend(float m);
    void ComputeBound();

    uint32_t TargetCount() const { return static_cast<uint32_t>(targets_.size()); }
    const SgVec3* Target(uint32_t k) const { return k < targets_.size() ? targets_[k].get() : nullptr; }
    const SgKeyArray<SgFloatKey>& MorphKeys() const { return keys_; }
    const SgBoundSphere* MorphBound() const { return morphBound_.get(); }

    uint8_t relativePending = 1;  // type 5 targets after the first are still absolute
    uint8_t refreshNormals = 0;
    int32_t keyIndex = 0;

private:
    bool Type5() const { return !keys_.IsEmpty() && keys_.First()->KeyType() == SgFloatKeyArrays::kType; }

    SgKeyArray<SgFloatKey> keys_;
    std::vector<std::unique_ptr<SgVec3[]>> targets_;
    std::unique_ptr<SgBoundSphere> morphBound_;
};

class Sg3dsEnvMorphShape : public Sg3dsMorphShape {
public:
    static SgTypeRecord typeRecord;
    static int Register();

    using Sg3dsMorphShape::Sg3dsMorphShape;
    const SgTypeRecord* GetTypeRecord() const override;

protected:
    ~Sg3dsEnvMorphShape() override = default;

public:
    SgAVObject* MakeCopy(SgAVObject* copy) override;
    void Draw(SgCamera* camera, SgWorldState* state) override;
};
