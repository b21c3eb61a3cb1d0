#pragma once
// Nodes that draw one child out of several:
// - SgSwitchNode draws the child whose index it holds (set by the game or the stream);
// - SgFltAnimationNode picks the child from the camera's time, so its children play as a
//   flip-book;
// - SgLODNode picks the child whose near/far range holds the camera's distance (scaled by the
//   camera's level-of-detail factor).
// With the update-only-active flag set, a switch node brings only the child it draws up to date,
// lazily at draw time, once per update of the node, and collides only through that child.

#include <cstdint>

#include "engine/core/sg_node.h"

class SgSwitchNode : public SgNode {
public:
    static SgTypeRecord typeRecord;
    static int Register();

    SgSwitchNode();

    const SgTypeRecord* GetTypeRecord() const override;
    // The node fields, the active index (i32) and the update-only-active flag (one byte).
    bool LoadFromStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;
    bool IsEqualTo(const SgObject* other) const override;

    SgAVObject* MakeCopy(SgAVObject* copy) override;
    // Placement, then either every child and the model bound, or (update-only-active) a new
    // generation that leaves the children stale; the world bound follows the model bound.
    void UpdateState(SgWorldState* state) override;
    // The node's push, then the active child's lazy update.
    void PushDrawState(SgCamera* camera, SgWorldState* state) override;
    // The active child only, in both passes.
    void Draw(SgCamera* camera, SgWorldState* state) override;
    void DrawChildrenDeferred(SgCamera* camera, SgDeferredCollector* collector) override;
    bool TestCollision(float time, SgAVObject* other, SgCollisionPair& pair) override;
    int FindCollisions(float time, SgAVObject* other, SgCollisionPair& pair) override;
    void CollectRayHits(const SgVec3& origin, const SgVec3& direction, SgPickRequest& request,
                        SgWorldState* state) override;
    // Flattens each child in place; a switch node itself never goes.
    bool Flatten(uint32_t flags) override;

    // Child changes start a new generation and keep the stamps in step.
    void InsertChild(SgAVObject* child, bool firstFree) override;
    SgRef<SgAVObject> RemoveChild(SgAVObject* child) override;
    SgRef<SgAVObject> RemoveChildAt(uint32_t index) override;
    SgRef<SgAVObject> SetChildAt(uint32_t index, SgAVObject* child) override;
    // Model bound from the children, the world bound from it, then the parent.
    void PropagateBoundUp() override;

    uint32_t UpdateGeneration() const { return generation_; }
    // The generation at which child i was last updated (0: never).
    uint32_t ChildStamp(uint32_t i) const { return stamps_.At(i); }
    const SgBoundSphere& ModelBound() const { return modelBound_; }

    // Negative: no child.
    int32_t activeChild = -1;
    uint8_t updateOnlyActive = 0;

protected:
    // The switch part of a copy: the node part, the active index and the flag.
    void CopySwitchInto(SgSwitchNode* copy) const;
    // With update-only-active set, updates child i when its stamp is not the current generation.
    void RefreshChildIfStale(uint32_t i);
    // The model bound from the children's bounds under this node, taken back into its own space.
    void RefreshModelBound();
    // The current state's world bound: the model bound moved by its placement.
    void PlaceModelBound();
    // The query handed to the other party with child i (under this node) on this side; 0 when
    // the child is absent.
    int CollideThrough(uint32_t i, float time, SgAVObject* other, SgCollisionPair& pair, bool report);
    // The switch's collision for both query kinds.
    virtual int CollideSwitch(float time, SgAVObject* other, SgCollisionPair& pair, bool report);
    // The active child, when the index names a present child.
    SgAVObject* ActiveChild() const;

    uint32_t generation_ = 1;
    SgPtrArray<uint32_t> stamps_{1, 1};
    SgBoundSphere modelBound_;
};

class SgFltAnimationNode : public SgSwitchNode {
public:
    static SgTypeRecord typeRecord;
    static int Register();

    const SgTypeRecord* GetTypeRecord() const override;
    // The switch fields, the period (f64) and the ping-pong flag (one byte).
    bool LoadFromStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;
    bool IsEqualTo(const SgObject* other) const override;

    SgAVObject* MakeCopy(SgAVObject* copy) override;
    // Select by the camera's time, draw the selected child, then no child is active again.
    void Draw(SgCamera* camera, SgWorldState* state) override;
    void DrawOrDefer(SgCamera* camera, SgDeferredCollector* collector, SgWorldState* state) override;

    // The child for time t (the active index is left alone without children or period).
    void SelectChildForTime(double t);

    double period = 1.0;
    uint8_t pingPong = 0;
};

// One child's distance range of a level-of-detail node: the model values as set, the world
// values derived at each world update.
struct SgLODRange {
    float nearModel = 0.0f;
    float nearWorld = 0.0f;
    float farModel = 0.0f;
    float farWorld = 0.0f;
    SgVec3 centreModel;
    SgVec3 centreWorld;
};

class SgLODNode : public SgSwitchNode {
public:
    static SgTypeRecord typeRecord;
    static int Register();

    SgLODNode();

    const SgTypeRecord* GetTypeRecord() const override;
    // The switch fields, the ranges (i32 count, then near, far and centre of each) and the
    // per-range-centre flag (one byte).
    bool LoadFromStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;
    bool IsEqualTo(const SgObject* other) const override;

protected:
    // Frees every range.
    ~SgLODNode() override;

public:
    SgAVObject* MakeCopy(SgAVObject* copy) override;
    // Selects the child for the camera's distance and pushes only when one matched.
    void PushDrawState(SgCamera* camera, SgWorldState* state) override;
    void PopDrawState(SgCamera* camera, SgWorldState* state) override;
    void PopDeferredState(SgCamera* camera, SgWorldState* state) override;
    // The placement, then the ranges' world values.
    void ComposeWorldPlacement(SgWorldState* state) override;

    // A range [near, far) for child index, centred on the origin; replaces (and frees) the range
    // that stood there.
    void SetChildRange(float nearDistance, float farDistance, uint32_t index);
    // Range i, or null.
    const SgLODRange* Range(uint32_t i) const { return ranges_.At(i); }
    uint32_t RangeCount() const { return ranges_.UsedSize(); }
    // The active index for a camera at this world position (-1: none in range).
    int32_t SelectFor(const SgVec3& cameraPosition, float lodFactor);

    // Clear: distances are measured from child 0's world bound; set: from each range's centre.
    uint8_t perRangeCentre = 0;

protected:
    int CollideSwitch(float time, SgAVObject* other, SgCollisionPair& pair, bool report) override;

private:
    void UpdateWorldRanges();
    void ClearRanges();
    // Stores a range at i, freeing the one it replaces.
    void PutRange(uint32_t i, SgLODRange* range);

    SgPtrArray<SgLODRange*> ranges_{1, 1};
};
