#pragma once
// SgSkinData binds a mesh's vertices to the bones of a skeleton (Sg3dsBone). Each vertex has a
// list of influences (weight, the vertex in the bone's space, the bone); from them the data keeps
// one entry per distinct bone (a bound around the bone's vertices and the bone's last skin
// transform), refreshes every bone's skin transform from the skin's world placement each frame,
// and blends a vertex's skinned position. It is a member of the skinned meshes (Sg3dsSkin,
// SgClodSkin), which stream it inside their own record.
//
// Bones are not owned: the skeleton lives in the scene beside the skin and outlives it there.

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/animation/sg_3ds_animation_node.h"
#include "engine/core/sg_bound.h"

class SgSceneStream;
class SgWorldState;

// One influence as callers hand it in.
struct SgSkinInfluence {
    float weight = 1.0f;
    SgVec3 offset;
    Sg3dsBone* bone = nullptr;
};

// One influence as the data keeps it: the first of each vertex in place, further ones in one
// shared pool, linked by index in list order.
struct SgSkinWeight {
    static constexpr uint32_t kEnd = 0xFFFFFFFFu;
    float weight = 0.0f;
    SgVec3 offset;
    Sg3dsBone* bone = nullptr;
    uint32_t linkId = 0;  // the stored bone id until linking
    uint32_t next = kEnd;
    uint8_t present = 0;  // 0 in the head of a vertex without influences
};

struct SgSkinBone {
    Sg3dsBone* bone = nullptr;
    SgBoundSphere bound;  // in the bone's space
    SgMat3 lastRotation{};
    SgVec3 lastTranslation;
};

class SgSkinData {
public:
    SgSkinData() = default;
    SgSkinData(const SgSkinData&) = delete;
    SgSkinData& operator=(const SgSkinData&) = delete;
    virtual ~SgSkinData();

    // Runs after the bone entries are built at link time and after the vertices are remapped;
    // the owning mesh rebuilds what it derives from the influences.
    virtual void OnChanged();

    // Replaces every influence list (one per vertex, in order); an empty list leaves its vertex
    // unweighted, and influences without a bone are left out. BuildBones must follow.
    void SetWeights(const std::vector<std::vector<SgSkinInfluence>>& lists);
    // Copies the flag, the influences, the bone entries (caches start at zero) and the map.
    void CopyInto(SgSkinData& target) const;
    // The bone entries from the influences: one per distinct bone, in bucket order.
    void BuildBones();
    // Each bone's skin transform from the skin's world placement; a bone's skinFlag says whether
    // it moved relative to the skin since the last update.
    void UpdateBones(const SgWorldState& state);
    // The vertex's position in the skin's model space from the bones' accumulated placements.
    void ModelPosition(SgVec3* positions, uint32_t i) const;
    // The skinned world position of vertex i (several influences: their weighted blend; one: its
    // bone's transform, the weight not applied). A one-influence vertex whose bone has not moved
    // is left alone unless all is set; false when nothing was written. With normals the model
    // normal is taken through the blended skin rotation and normalised.
    bool SkinVertex(uint32_t i, bool all, SgVec3& position, const SgVec3* modelNormal, SgVec3* normal) const;
    // The bones' spheres moved by their accumulated placements, merged; false (out untouched)
    // without bones.
    bool BoundFromBones(SgBoundSphere& out) const;
    // After a duplication: every bone with a clone record naming a copied bone gives way to the
    // copy.
    void RetargetToCopies();
    // A total order of two vertices' influence lists (bone number, offset, weight, then the rest;
    // a prefix orders first); 0 only for equal lists.
    int CompareInfluences(uint32_t a, uint32_t b) const;
    // Deep copies of the kept vertices' lists at their new places (map entry 0xFFFFFFFF drops).
    void RemapVertices(uint32_t newCount, const uint32_t* map);

    // ---- Stream (inside the owner's record; V is the owner's vertex count) ----
    bool LoadFromStream(SgSceneStream& stream, uint32_t vertexCount);
    // Resolves the bones in reading order, drops influences whose id names no bone, then builds
    // the bone entries and tells the owner.
    void LinkFromStream(SgSceneStream& stream);
    // One vertex's list in the stream layout (count, then weight, offset, bone id each), for
    // meshes that read their vertices one at a time.
    bool LoadVertex(SgSceneStream& stream, uint32_t v);
    bool RegisterInStream(SgSceneStream& stream);
    void SaveToStream(SgSceneStream& stream) const;
    // The flag and every influence's weight and offset in order (bones are not compared).
    bool IsEqualTo(const SgSkinData& other) const;

    bool HasWeights() const { return !heads_.empty(); }
    uint32_t VertexCount() const { return static_cast<uint32_t>(heads_.size()); }
    const SgSkinWeight* Head(uint32_t v) const {
        return v < heads_.size() && heads_[v].present ? &heads_[v] : nullptr;
    }
    const SgSkinWeight* Next(const SgSkinWeight* w) const {
        return w->next == SgSkinWeight::kEnd ? nullptr : &pool_[w->next];
    }
    uint32_t InfluenceCount(uint32_t v) const;
    const std::vector<SgSkinBone>& Bones() const { return bones_; }
    uint16_t BoneCount() const { return static_cast<uint16_t>(bones_.size()); }
    const uint16_t* SharedVertexMap() const { return map_.get(); }
    void SetSharedVertexMap(std::unique_ptr<uint16_t[]> map) { map_ = std::move(map); }

    uint8_t recomputeNormals = 1;

private:
    // The lists as plain influences (loading keeps bones null and ids in linkId).
    std::vector<std::vector<SgSkinWeight>> Lists() const;
    void SetLists(const std::vector<std::vector<SgSkinWeight>>& lists);

    std::vector<SgSkinWeight> heads_;
    std::vector<SgSkinWeight> pool_;
    std::vector<SgSkinBone> bones_;
    std::unique_ptr<uint16_t[]> map_;
};
