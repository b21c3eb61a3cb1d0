#pragma once
// SgAVObject: the base of everything that stands in the scene (nodes, cameras, lights, geometry,
// portals). It holds a local placement (translation, rotation, uniform scale), a velocity, a
// hidden flag, render-state properties and an optional collision volume. Its world placement
// lives in one SgWorldState per parent that holds it, so one object can hang under several
// nodes at once; every draw and update call names the state it works on, and the object keeps it
// as its current state until the next call.
//
// Subclasses that make their own world-state records (NewWorldState) call ResetWorldStates at the
// end of their constructor: the base constructor cannot reach the subclass's NewWorldState.

#include <cstdint>

#include "engine/core/sg_array.h"
#include "engine/core/sg_bound.h"
#include "engine/core/sg_math.h"
#include "engine/core/sg_pick.h"
#include "engine/core/sg_property.h"
#include "engine/core/sg_world_state.h"

class SgAVObject;
class SgCamera;
class SgDeferredCollector;
struct SgCollisionPair;

// One party of a collision query: the object, the world state it collides under, how deep its
// triangle tree may be descended (0 the root box, negative down to the triangles), the smallest
// triangle range a tree node splits, a triangle index (-1 none), and who hears of contacts.
struct SgCollisionSide {
    SgAVObject* object = nullptr;
    SgWorldState* state = nullptr;
    int32_t depth = -1;
    uint32_t leafThreshold = 1;
    int32_t triangle = -1;
    bool (*callback)(const SgCollisionPair& pair, void* context) = nullptr;
    void* context = nullptr;
};

// A collision query between two objects; side 0 is the object asked, side 1 the other. A
// reported contact fills the time (within the step) and the point.
struct SgCollisionPair {
    SgCollisionSide sides[2];
    float time = 0.0f;
    SgVec3 point;

    void Exchange();
    // The same query seen from the other object.
    SgCollisionPair Exchanged() const;
};

// Tells side 0's callback of the contact, then side 1's with the sides exchanged (and exchanged
// back afterwards); true when either answered true.
bool SgNotifyCollisionPair(SgCollisionPair& pair);

class SgAVObject : public SgObject {
public:
    static SgTypeRecord typeRecord;
    static int Register();

    // How a copy is named: 1 the source's name, 2 the name followed by "$", else unnamed.
    static int cloneNaming;

    SgAVObject();
    SgAVObject(const SgAVObject&) = delete;
    SgAVObject& operator=(const SgAVObject&) = delete;

    // ---- The seven operations of every object ----
    const SgTypeRecord* GetTypeRecord() const override;
    // Hidden, placement, velocity, property links, collision mode and volume.
    bool LoadFromStream(SgSceneStream& stream) override;
    // Appends the stored properties in stored order.
    void LinkFromStream(SgSceneStream& stream) override;
    bool RegisterInStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;
    // The stored fields and the properties pairwise in list order.
    bool IsEqualTo(const SgObject* other) const override;

protected:
    // Releases the properties, frees the collision volume and every world state.
    ~SgAVObject() override;

public:
    // ---- The scene operations, in their fixed order ----
    // The state of this key; the first parent adopts a lone key-0 state.
    virtual SgWorldState* FindOrMakeWorldState(SgAVObject* key);
    // Deletes the key's state (a lone state goes back to key 0 instead). False when no state has
    // the key.
    virtual bool DropWorldState(SgAVObject* key);
    virtual SgWorldState* NewWorldState();
    virtual SgAVObject* CurrentStateKey() const;
    // Copies this object's fields into copy (a new object of this class when null) and returns
    // it; the base copies the scene-object part.
    virtual SgAVObject* MakeCopy(SgAVObject* copy);
    // Fixes references inside the copy once every object of the duplication has its copy.
    virtual void FixUpCopy(SgAVObject* copy);
    // Runs last on every source object of the duplication.
    virtual void FinishCopy(SgAVObject* copy);
    virtual void UpdateAllStates();
    virtual void UpdateState(SgWorldState* state);
    // Bakes a rigid transform into the model data (nodes hand it on to their children).
    virtual void AbsorbTransform(const SgMat3& rotation, const SgVec3& translation, float scale,
                                 uint8_t inParentFrame);
    // The world bound of the current state.
    virtual const SgBoundSphere& WorldBound() const;
    virtual bool HasWorldBound() const;
    virtual void PushDrawState(SgCamera* camera, SgWorldState* state);
    virtual void PopDrawState(SgCamera* camera, SgWorldState* state);
    virtual void Draw(SgCamera* camera, SgWorldState* state);
    virtual void PushDeferredState(SgCamera* camera, SgWorldState* state);
    virtual void PopDeferredState(SgCamera* camera, SgWorldState* state);
    virtual void DrawOrDefer(SgCamera* camera, SgDeferredCollector* collector, SgWorldState* state);
    virtual void SetHidden(uint8_t hidden);
    virtual uint8_t IsHidden() const;
    virtual void PrepareState(SgWorldState* state, uint32_t value);
    virtual void ReleaseState(SgWorldState* state);
    virtual bool TestCollision(float time, SgAVObject* other, SgCollisionPair& pair);
    virtual int FindCollisions(float time, SgAVObject* other, SgCollisionPair& pair);
    // Appends the hits of the ray under the state (null: every state) to the request.
    virtual void CollectRayHits(const SgVec3& origin, const SgVec3& direction, SgPickRequest& request,
                                SgWorldState* state);
    virtual SgAVObject* FindByName(const char* text);
    // Folds needless hierarchy and merges alike objects; true when the caller may drop this
    // object in favour of its content.
    virtual bool Flatten(uint32_t flags);
    // Whether the two may be merged: equal properties, none of a type named in the mask.
    virtual bool HasSameProperties(const SgAVObject* other, uint32_t typeMask) const;
    // One new object standing for the group (which starts with this object); null for none.
    virtual void MergeAlike(SgPtrArray<SgAVObject*>& group, SgRef<SgAVObject>& out);
    virtual void ComposeWorldPlacement(SgWorldState* state);
    virtual void RefreshWorldBound(SgWorldState* state);

    // ---- Drawing ----
    void DrawIfVisible(SgCamera* camera, SgWorldState* state);
    void DrawOrDeferIfVisible(SgCamera* camera, SgDeferredCollector* collector, SgWorldState* state);

    // ---- Copies, properties, states, queries ----
    // MakeCopy, FixUpCopy and FinishCopy in that order.
    SgRef<SgAVObject> Duplicate();
    // The scene-object part of a copy: hidden flag, placement, velocity, the same properties in the
    // same order, and the name by cloneNaming.
    void CopyFieldsInto(SgAVObject* copy) const;
    // Puts the property at the front of the list (null is ignored).
    void AddRenderProperty(SgProperty* property);
    // The first property of that type number, or null.
    SgProperty* FindPropertyOfType(int type) const;
    // Deletes every state and makes a fresh key-0 state current.
    void ResetWorldStates();
    bool RayMeetsWorldBound(const SgVec3& origin, const SgVec3& direction) const;
    // Whether the two objects' moving volumes (or bounds) meet within the time step.
    bool CollideVolumes(float time, SgAVObject* other);
    // The same, reporting the time and point of first contact.
    bool CollideVolumesAt(float time, SgAVObject* other, float& contactTime, SgVec3& contactPoint);

    SgWorldState* CurrentState() const { return currentState_; }
    void SetCurrentState(SgWorldState* state) { currentState_ = state; }
    const SgWorldStateList& WorldStates() const { return worldStates_; }
    SgCollisionVolume* CollisionVolume() const { return collisionVolume_; }
    // Takes ownership; every world state gets a fresh world volume of the same kind.
    void SetCollisionVolume(SgCollisionVolume* volume);

    SgVec3 localTranslation;
    SgMat3 localRotation = SgIdentityMat3;
    float localScale = 1.0f;
    SgVec3 localVelocity;
    SgPropertyList properties;
    // 0 ends a collision descent at this object; non-zero lets a node hand the test to its
    // children (geometry: 1 every triangle, 2 the per-state triangle colliders).
    uint32_t collisionMode = 2;

protected:
    // A transform given in the parent's frame as it applies to this object's own content: as
    // given, or (inParentFrame) the same change expressed in this object's own frame.
    void TransformInOwnFrame(const SgMat3& rotation, const SgVec3& translation, uint8_t inParentFrame, SgMat3& r,
                             SgVec3& t) const;
    // Marks the camera's planes that wholly contain the current bound in the camera's and the
    // caller's masks; true when a plane culls the object.
    bool CullAgainstFrustum(SgCamera* camera, uint32_t localMask[4]);
    // Puts the current state back to the first one when it was the state just deleted.
    void ForgetState(const SgWorldState* gone);
    // The start of a collision query: both parties take the states the pair names; true when
    // their volumes (or bounds) meet within the time step.
    bool BeginCollision(float time, SgAVObject* other, SgCollisionPair& pair);
    // The other party answers the query, seen from its side.
    int HandOver(float time, SgAVObject* other, const SgCollisionPair& pair, bool report);
    // Where the volumes decide: 1, and with report the contact told to the pair's parties.
    int VolumeContact(float time, SgAVObject* other, SgCollisionPair& pair, bool report);

    SgWorldState* currentState_ = nullptr;
    SgWorldStateList worldStates_{1, 1};
    uint8_t hidden_ = 0;
    SgCollisionVolume* collisionVolume_ = nullptr;
};

