#pragma once
// Sg3dsSkin: an indexed triangle shape whose vertices follow a skeleton. Every world transform
// blends each vertex from its bone influences straight into world space, then refreshes the
// planes and (when asked) the normals from the blended positions; the draw hands the renderer
// world-space arrays under the identity transform. Vertices that differ only in texture
// coordinates or colour share one smooth normal through the shared-vertex map.
//
// A shape loaded without influences behaves exactly as a triangle shape.

#include <cstdint>

#include "engine/animation/sg_skin_data.h"
#include "engine/geometry/sg_tri_shape.h"

// A skinned mesh's state: whether it has been skinned once (the first skinned transform writes
// every weighted vertex, whatever its bones did).
class SgSkinWorldState : public SgGeometryWorldState {
public:
    ~SgSkinWorldState() override;
    uint8_t skinned = 0;
};

class Sg3dsSkin : public SgTriShape {
public:
    static SgTypeRecord typeRecord;
    static int Register();
    // CompareVertices: the influence lists.
    static constexpr uint32_t kCompareInfluences = 16;

    Sg3dsSkin();
    // A shape over the arrays (see SgTriShape); influences come with SetWeights.
    Sg3dsSkin(uint16_t vertexCount, const SgVec3* vertices, const SgVec3* normals, uint16_t triangleCount,
              const uint16_t* indices, const SgVec3* textureSet, const SgRgba* colors);

    const SgTypeRecord* GetTypeRecord() const override;
    // The triangle shape, then the skin data.
    bool LoadFromStream(SgSceneStream& stream) override;
    void LinkFromStream(SgSceneStream& stream) override;
    bool RegisterInStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;
    bool IsEqualTo(const SgObject* other) const override;

protected:
    ~Sg3dsSkin() override;

public:
    SgWorldState* NewWorldState() override;
    SgAVObject* MakeCopy(SgAVObject* copy) override;
    // A skeleton copied in the same duplication drives the copy.
    void FixUpCopy(SgAVObject* copy) override;
    void Draw(SgCamera* camera, SgWorldState* state) override;
    // With influences the model bound comes from the bones.
    void RefreshWorldBound(SgWorldState* state) override;
    void ComputeNormals() override;
    void TransformToWorld(SgWorldState* state) override;
    int CompareVertices(uint16_t i, uint16_t j, uint32_t mask) const override;
    void RemapVertices(uint16_t newCount, const uint32_t* map) override;

    // Every model position from the bones' placements, then the normals when they are kept.
    void PoseModelFromBones();
    // Replaces the influences (one list per vertex) and rebuilds the bones and the map.
    void SetWeights(const std::vector<std::vector<SgSkinInfluence>>& lists);
    // Planes and smooth normals of positions P into N through the shared-vertex map.
    void ComputePlanesAndNormals(const SgVec3* P, SgVec3* N);
    void BuildSharedVertexMap();
    // The triangles' planes from positions P: (p1 - p0) x (p2 - p1), through p0.
    void ComputePlanesOver(const SgVec3* P);

    SgSkinData& Skin() { return skin_; }
    const SgSkinData& Skin() const { return skin_; }

private:
    class Data : public SgSkinData {
    public:
        explicit Data(Sg3dsSkin* owner) : owner_(owner) {}
        void OnChanged() override { owner_->BuildSharedVertexMap(); }

    private:
        Sg3dsSkin* owner_;
    };
    Data skin_{this};
};
