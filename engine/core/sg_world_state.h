#pragma once
// World states: a scene object's placement under one parent. An object hanging under several
// parents keeps one state per parent, keyed by that parent, in an SgWorldStateList.

#include <cstdint>

#include "engine/core/sg_array.h"
#include "engine/core/sg_bound.h"
#include "engine/core/sg_math.h"

class SgAVObject;

// Made by the owner's NewWorldState; subclasses (geometry) add their world arrays.
class SgWorldState {
public:
    SgWorldState() = default;
    SgWorldState(const SgWorldState&) = delete;
    SgWorldState& operator=(const SgWorldState&) = delete;
    virtual ~SgWorldState();

    SgAVObject* key = nullptr;  // the parent whose state this is; null for a root
    SgVec3 worldTranslation;
    SgMat3 worldRotation = SgIdentityMat3;
    float worldScale = 1.0f;
    SgBoundSphere worldBound;
    SgVec3 worldVelocity;
    uint8_t refreshVertices = 1;
    uint32_t reserved1 = 0;
    uint32_t reserved2 = 0;
    SgCollisionVolume* worldVolume = nullptr;  // owned
};

// The keyed, owning list of an object's world states (SgArray layout and growth).
class SgWorldStateList {
public:
    SgWorldStateList(uint32_t capacity, uint32_t growStep) : states_(capacity, growStep) {}
    SgWorldStateList(const SgWorldStateList&) = delete;
    SgWorldStateList& operator=(const SgWorldStateList&) = delete;
    ~SgWorldStateList();

    // The state with this key; when there is none the owner makes one (NewWorldState), which
    // goes into the first empty slot or is appended. Null when the owner made none.
    template <class Owner>
    SgWorldState* FindOrMake(SgAVObject* key, Owner* owner) {
        if (SgWorldState* found = Find(key))
            return found;
        SgWorldState* state = owner->NewWorldState();
        if (!state)
            return nullptr;
        state->key = key;
        states_.AddToFirstFree(state);
        return state;
    }

    SgWorldState* Find(SgAVObject* key) const;
    // Gives the state with the old key the new key; null when no state has the old key.
    SgWorldState* Rekey(SgAVObject* oldKey, SgAVObject* newKey);
    void SetFirstKey(SgAVObject* key);
    // Destroys the state with this key and packs the rest to the front in an array of exactly
    // their number. Returns whether the destroyed state was the expected one.
    bool Drop(SgAVObject* key, const SgWorldState* expected);
    // Destroys every state; the list keeps its capacity.
    void RemoveAll();

    SgWorldState* At(uint32_t i) const { return states_.At(i); }
    bool KeyAt(uint32_t i, SgAVObject*& key) const;

    uint32_t Capacity() const { return states_.Capacity(); }
    uint32_t UsedSize() const { return states_.UsedSize(); }
    uint32_t Count() const { return states_.Count(); }

private:
    SgPtrArray<SgWorldState*> states_;
};
