#pragma once
// SgParticles: a point cloud drawn as sized sprites. Each vertex is one particle with an optional
// normal and colour; one size serves the whole set and each particle has a size factor. Only the
// leading active particles are transformed, bounded and drawn. SgAutoNormalParticles stores no
// normals: at every draw each particle's normal is the viewing camera's direction.

#include <cstdint>
#include <memory>

#include "engine/geometry/sg_tri_based_geom.h"

class SgParticles : public SgTriBasedGeom {
public:
    static SgTypeRecord typeRecord;
    static int Register();

    SgParticles() = default;
    // count particles, all active, size 1.0, every factor 1.0.
    SgParticles(uint16_t count, const SgVec3* positions, const SgVec3* normals, const SgRgba* colors);

    const SgTypeRecord* GetTypeRecord() const override;
    // The triangle part, size, active count (no more than the particles) and the factors behind
    // a presence word (absent: every factor 1.0).
    bool LoadFromStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;
    bool IsEqualTo(const SgObject* other) const override;

protected:
    ~SgParticles() override = default;

public:
    SgAVObject* MakeCopy(SgAVObject* copy) override;
    void Draw(SgCamera* camera, SgWorldState* state) override;
    // Fits over the active particles only.
    void RefreshWorldBound(SgWorldState* state) override;
    void ComputeNormals() override;
    // Transforms the active particles only.
    void TransformToWorld(SgWorldState* state) override;
    // Corners 3i, 3i + 1, 3i + 2 as a list has them, when they exist.
    bool GetModelTriangle(uint32_t i, const SgVec3* corners[3]) const override;
    bool GetWorldTriangle(uint32_t i, const SgVec3* corners[3]) override;
    void ComputePlanes() override;
    void ComputeNormalsFromPlanes() override;

    void SetActiveCount(uint16_t count);
    uint16_t ActiveCount() const { return active_; }
    float* Sizes() const { return sizes_.get(); }

    float size = 1.0f;

protected:
    void CopyFieldsInto(SgParticles* copy) const;
    // The renderer's particle draw with the given normals.
    void SubmitParticles(SgCamera* camera, SgWorldState* state, const SgVec3* normals);
    // Every factor 1.0.
    void ResetSizes();

    uint16_t active_ = 0;
    std::unique_ptr<float[]> sizes_;
};

class SgAutoNormalParticles : public SgParticles {
public:
    static SgTypeRecord typeRecord;
    static int Register();

    SgAutoNormalParticles() = default;
    SgAutoNormalParticles(uint16_t count, const SgVec3* positions, const SgRgba* colors);

    const SgTypeRecord* GetTypeRecord() const override;
    // The particle part, then the normals behind a presence word.
    bool LoadFromStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;
    bool IsEqualTo(const SgObject* other) const override;

protected:
    ~SgAutoNormalParticles() override = default;

public:
    SgAVObject* MakeCopy(SgAVObject* copy) override;
    // Every active particle faces along the camera's world view direction.
    void Draw(SgCamera* camera, SgWorldState* state) override;

    const SgVec3* AutoNormals() const { return autoNormals_.get(); }

private:
    std::unique_ptr<SgVec3[]> autoNormals_;
};
