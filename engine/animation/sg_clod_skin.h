#pragma once
// SgClodSkin: a level-of-detail mesh whose mesh vertices follow a skeleton. Each draw picks the
// level as any SgClod does, then blends only the render slots of that level into world space, so
// a coarse instance costs in proportion to its level. Level steps leave the planes alone (the
// skinned transform refreshes those of the triangles in use). Mesh vertices with the same id and
// exactly the same model normal share one world normal.

#include <cstdint>
#include <vector>

#include "engine/animation/sg_clod.h"
#include "engine/animation/sg_skin_data.h"

class SgClodSkin : public SgClod {
public:
    static SgTypeRecord typeRecord;
    static int Register();

    SgClodSkin();

    const SgTypeRecord* GetTypeRecord() const override;
    // The mesh, then the skin data.
    bool LoadFromStream(SgSceneStream& stream) override;
    void LinkFromStream(SgSceneStream& stream) override;
    bool RegisterInStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;
    bool IsEqualTo(const SgObject* other) const override;

protected:
    ~SgClodSkin() override;

public:
    // Unlike SgClod, really copied: each copy follows its own skeleton.
    SgAVObject* MakeCopy(SgAVObject* copy) override;
    void FixUpCopy(SgAVObject* copy) override;
    void Draw(SgCamera* camera, SgWorldState* state) override;
    void RefreshWorldBound(SgWorldState* state) override;
    void TransformToWorld(SgWorldState* state) override;
    // The mesh's normals over every level, then the map that groups vertices by them.
    void ComputeNormals() override;
    // Texture coordinates, normal and colour, then the vertex's influence list.
    bool AddVertexAttributes(SgSceneStream& stream) override;
    // 8: an empty influence list per vertex.
    void AllocateVertexArrays(uint32_t flags) override;

    // The bone entries and the map again, after the influences changed.
    void RebuildSkin();
    // Replaces the influences (one list per mesh vertex) and rebuilds the skin.
    void SetWeights(const std::vector<std::vector<SgSkinInfluence>>& lists);
    // The model positions of the shared level's slots from the bones' placements.
    void PoseModelFromBones();
    // The state's planes and smooth world normals over its slots in use.
    void ComputePlanesAndNormals(SgWorldState* state);
    void BuildSharedVertexMap();

    SgSkinData& Skin() { return skin_; }
    const SgSkinData& Skin() const { return skin_; }

private:
    class Data : public SgSkinData {
    public:
        explicit Data(SgClodSkin* owner) : owner_(owner) {}
        void OnChanged() override { owner_->BuildSharedVertexMap(); }

    private:
        SgClodSkin* owner_;
    };
    Data skin_{this};
};
