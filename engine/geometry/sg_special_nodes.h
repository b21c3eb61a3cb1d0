#pragma once
// Three nodes that each change one aspect of a node:
// - SgBillboardNode turns toward the camera every time it is drawn, inserting a billboard turn
//   between its local rotation and its children;
// - SgBSPNode holds a plane and two children and draws them back to front as seen from the
//   camera (the child on the camera's side last);
// - SgCollisionSwitch is a node whose collision and ray queries one byte switches off.

#include <cstdint>

#include "engine/core/sg_node.h"

class SgBillboardNode : public SgNode {
public:
    // Modes: faces the camera keeping its x axis level (0), turns about its own y axis toward the
    // camera (1), takes the camera's frame (2). Other values leave it unturned.
    static constexpr uint32_t kFaceCamera = 0;
    static constexpr uint32_t kTurnAboutY = 1;
    static constexpr uint32_t kCameraFrame = 2;

    static SgTypeRecord typeRecord;
    static int Register();

    const SgTypeRecord* GetTypeRecord() const override;
    // The node fields, then the mode (u32).
    bool LoadFromStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;
    bool IsEqualTo(const SgObject* other) const override;

    SgAVObject* MakeCopy(SgAVObject* copy) override;
    // The node's update, then the bound recentred so that it holds however the billboard turns.
    void UpdateState(SgWorldState* state) override;
    // The node's push, then the turn toward this camera (the deferral pass's push runs it too).
    void PushDrawState(SgCamera* camera, SgWorldState* state) override;
    // The node's bound, recentred on the billboard's world position.
    void RecomputeBound() override;

    // Writes the state's world placement with the turn toward the camera and updates the
    // children to follow it.
    void Orient(SgCamera* camera, SgWorldState* state);

    uint32_t mode = kTurnAboutY;

private:
    void RecentreBound();
};

class SgBSPNode : public SgNode {
public:
    static constexpr uint32_t kSlots = 2;

    static SgTypeRecord typeRecord;
    static int Register();

    const SgTypeRecord* GetTypeRecord() const override;
    // The node fields, then the model plane (normal, constant).
    bool LoadFromStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;
    bool IsEqualTo(const SgObject* other) const override;

    SgAVObject* MakeCopy(SgAVObject* copy) override;
    // The plane follows the transform the children absorb.
    void AbsorbTransform(const SgMat3& rotation, const SgVec3& translation, float scale,
                         uint8_t inParentFrame) override;
    // The far child first, the child on the camera's side last.
    void Draw(SgCamera* camera, SgWorldState* state) override;
    void DrawChildrenDeferred(SgCamera* camera, SgDeferredCollector* collector) override;
    // Flattens both children in place; the node itself never goes.
    bool Flatten(uint32_t flags) override;
    // The placement, then the world plane.
    void ComposeWorldPlacement(SgWorldState* state) override;

    // Two slots only: child 0 in front of the plane (the side its normal points to), child 1
    // behind. Other slots are refused.
    void InsertChild(SgAVObject* child, bool firstFree) override;
    SgRef<SgAVObject> SetChildAt(uint32_t index, SgAVObject* child) override;

    // Whether the camera sees the front: by its position, or on the plane by its first world
    // rotation column.
    bool CameraInFront(const SgCamera* camera) const;
    const SgPlaneEq& WorldPlane() const { return worldPlane_; }

    // The model plane under a world placement: n' = R n, c' = c s + T . n'.
    static SgPlaneEq PlaneInWorld(const SgPlaneEq& model, const SgWorldState& state);
    // The plane carried along when the points of its space move to r x + t (the normal goes by
    // the inverse transpose); unchanged when r has no inverse.
    static void MovePlane(SgPlaneEq& plane, const SgMat3& r, const SgVec3& t);

    SgPlaneEq modelPlane;

private:
    SgPlaneEq worldPlane_;
};

class SgCollisionSwitch : public SgNode {
public:
    static SgTypeRecord typeRecord;
    static int Register();

    const SgTypeRecord* GetTypeRecord() const override;
    // The node fields, then the switch byte.
    bool LoadFromStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;
    bool IsEqualTo(const SgObject* other) const override;

    // The node's while the byte is set; nothing at all while it is clear.
    bool TestCollision(float time, SgAVObject* other, SgCollisionPair& pair) override;
    int FindCollisions(float time, SgAVObject* other, SgCollisionPair& pair) override;
    void CollectRayHits(const SgVec3& origin, const SgVec3& direction, SgPickRequest& request,
                        SgWorldState* state) override;

    uint8_t collisionOn = 1;
};
