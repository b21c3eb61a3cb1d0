#pragma once
// SgNode: the grouping object of the scene graph. It holds an ordered array of children with the
// world state each child keeps for this node, and the lights that shine on its subtree. It drives
// the recursive update (placement and merged bounds), both draw passes, the collision and ray
// recursions and the name search.
//
// A node lives under one parent at a time (inserting it elsewhere moves it); leaves may hang
// under several nodes and keep one world state per parent. A child that is this node or one of
// its ancestors is refused, so a graph read from a file can never loop.

#include <cstdint>

#include "engine/core/sg_av_object.h"
#include "engine/core/sg_lists.h"

class SgLight;

// The collector of the deferral pass: it may take objects (Accept) to draw them later, at End.
class SgDeferredCollector {
public:
    virtual ~SgDeferredCollector() = default;
    virtual void Begin(SgCamera* camera) = 0;
    virtual void End() = 0;
    // True when the collector takes the object; otherwise the caller draws it at once.
    virtual bool Accept(SgAVObject* object, SgWorldState* state) = 0;
};

// Makes the collector a node uses for a deferral pass that starts without one. None is installed
// at start: such a node then draws its subtree at once.
using SgDeferredCollectorFactory = SgDeferredCollector* (*)();
void SgSetDeferredCollectorFactory(SgDeferredCollectorFactory factory);
SgDeferredCollectorFactory SgGetDeferredCollectorFactory();

class SgNode : public SgAVObject {
public:
    // deferralMode values.
    static constexpr uint32_t kDeferralOn = 0;
    static constexpr uint32_t kDeferralOff = 1;
    static constexpr uint32_t kDeferralUnchanged = 2;

    // Bits of Flatten's flags.
    static constexpr uint32_t kFlattenEmptyMayGo = 2;
    static constexpr uint32_t kFlattenSingleMayGo = 4;
    static constexpr uint32_t kFlattenKeepAlpha = 8;

    static SgTypeRecord typeRecord;
    static int Register();

    SgNode();

    const SgTypeRecord* GetTypeRecord() const override;
    // Deferral mode, a reserved word, bound valid, child link ids by slot, light link ids.
    bool LoadFromStream(SgSceneStream& stream) override;
    // Stores each child at its slot and attaches each light.
    void LinkFromStream(SgSceneStream& stream) override;
    bool RegisterInStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;
    // The scene-object part, deferral mode, bound valid, the children by slot and the lights in
    // list order.
    bool IsEqualTo(const SgObject* other) const override;

protected:
    // Detaches every light, removes every child, deletes the collector.
    ~SgNode() override;

public:
    // A node has one parent: it leaves the old one first.
    SgWorldState* FindOrMakeWorldState(SgAVObject* key) override;
    // Re-keys the state to 0; a node never deletes its state.
    bool DropWorldState(SgAVObject* key) override;
    SgAVObject* MakeCopy(SgAVObject* copy) override;
    // Attaches the copies of this node's copied lights to the copy node, then the children.
    void FixUpCopy(SgAVObject* copy) override;
    void FinishCopy(SgAVObject* copy) override;
    // Own placement, every child's state, then the merged bound of the children.
    void UpdateState(SgWorldState* state) override;
    void AbsorbTransform(const SgMat3& rotation, const SgVec3& translation, float scale,
                         uint8_t inParentFrame) override;
    bool HasWorldBound() const override;
    // The properties, then the lights that are on and bright.
    void PushDrawState(SgCamera* camera, SgWorldState* state) override;
    void PopDrawState(SgCamera* camera, SgWorldState* state) override;
    void Draw(SgCamera* camera, SgWorldState* state) override;
    // Also switches the camera's deferral flag for the subtree by the deferral mode.
    void PushDeferredState(SgCamera* camera, SgWorldState* state) override;
    void PopDeferredState(SgCamera* camera, SgWorldState* state) override;
    void DrawOrDefer(SgCamera* camera, SgDeferredCollector* collector, SgWorldState* state) override;
    void PrepareState(SgWorldState* state, uint32_t value) override;
    void ReleaseState(SgWorldState* state) override;
    bool TestCollision(float time, SgAVObject* other, SgCollisionPair& pair) override;
    int FindCollisions(float time, SgAVObject* other, SgCollisionPair& pair) override;
    void CollectRayHits(const SgVec3& origin, const SgVec3& direction, SgPickRequest& request,
                        SgWorldState* state) override;
    // This node, else the first match in the children, depth first.
    SgAVObject* FindByName(const char* text) override;
    bool Flatten(uint32_t flags) override;
    // Nodes are never merged.
    bool HasSameProperties(const SgAVObject* other, uint32_t typeMask) const override;

    // ---- The node's own operations, in their fixed order ----
    // Null is ignored. firstFree puts the child into the first empty slot, else it is appended.
    virtual void InsertChild(SgAVObject* child, bool firstFree);
    // The removed child (null when it is not a child).
    virtual SgRef<SgAVObject> RemoveChild(SgAVObject* child);
    // The removed child (null when the index is not below the child count).
    virtual SgRef<SgAVObject> RemoveChildAt(uint32_t index);
    // Stores the child at the index (growing the arrays) and returns the child it replaced.
    virtual SgRef<SgAVObject> SetChildAt(uint32_t index, SgAVObject* child);
    // RecomputeBound here and on every ancestor.
    virtual void PropagateBoundUp();
    // The node's bound from its children's bounds under this node.
    virtual void RecomputeBound();
    virtual void DrawChildrenDeferred(SgCamera* camera, SgDeferredCollector* collector);

    // ---- Lights ----
    // The most recently attached light comes first; the light learns of the node too.
    void AddLight(SgLight* light);
    void DetachLight(SgLight* light);
    const SgPtrList<SgLight>& Lights() const { return lights_; }

    // ---- Children ----
    // One past the highest slot in use; empty slots are null.
    uint32_t ChildCount() const { return children_.UsedSize(); }
    SgAVObject* ChildAt(uint32_t i) const { return children_.At(i); }
    SgWorldState* ChildStateAt(uint32_t i) const { return childStates_.At(i); }
    // The parent node this node hangs under, or null.
    SgNode* Parent() const;
    // Whether the object is this node or hangs above it.
    bool IsSelfOrAncestor(const SgAVObject* object) const;
    // The node part of a copy: the scene-object part, deferral mode, flags, and a copy of every
    // child at its slot (no collector, no lights: FixUpCopy attaches those).
    void CopyFieldsInto(SgNode* copy) const;
    // The same without the children (nodes whose children are their own business, like particle
    // systems).
    void CopyFieldsWithoutChildrenInto(SgNode* copy) const;

    // Whether the camera's deferral flag is switched on (0), off (1) or left alone (2) for the
    // subtree during the deferral pass.
    uint32_t deferralMode = kDeferralUnchanged;

protected:
    // The common start of a ray walk: takes the state, tests the bound and records this node as the
    // hit when the request stops at objects. True when the children are to be walked.
    bool BeginRayHits(const SgVec3& origin, const SgVec3& direction, SgPickRequest& request, SgWorldState* state);

    // Runs the collision descent for both query kinds (report false: TestCollision).
    int Collide(float time, SgAVObject* other, SgCollisionPair& pair, bool report);

    // Whether the object fills a slot other than the one given.
    bool HoldsElsewhere(const SgAVObject* child, uint32_t index) const;
    // Empties both slots of an index; the child drops its state for this node unless it still
    // hangs here at another slot.
    SgRef<SgAVObject> TakeSlot(uint32_t index);

    SgArray<SgAVObject> children_{1, 1};
    SgPtrArray<SgWorldState*> childStates_{1, 1};
    SgPtrList<SgLight> lights_;
    SgDeferredCollector* collector_ = nullptr;
    uint8_t savedDeferralFlag_ = 1;
    uint8_t boundValid_ = 1;
    uint32_t pushedLights_ = 0;
};
