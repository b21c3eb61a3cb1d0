#include "engine/core/sg_world_state.h"

SgWorldState::~SgWorldState() { delete worldVolume; }

SgWorldStateList::~SgWorldStateList() { RemoveAll(); }

void SgWorldStateList::RemoveAll() {
    for (uint32_t i = 0; i < states_.UsedSize(); ++i)
        delete states_.At(i);
    states_.RemoveAll();
}

SgWorldState* SgWorldStateList::Find(SgAVObject* key) const {
    for (uint32_t i = 0; i < states_.UsedSize(); ++i) {
        SgWorldState* s = states_.At(i);
        if (s && s->key == key)
            return s;
    }
    return nullptr;
}

SgWorldState* SgWorldStateList::Rekey(SgAVObject* oldKey, SgAVObject* newKey) {
    SgWorldState* s = Find(oldKey);
    if (s)
        s->key = newKey;
    return s;
}

void SgWorldStateList::SetFirstKey(SgAVObject* key) {
    if (SgWorldState* s = states_.At(0))
        s->key = key;
}

bool SgWorldStateList::Drop(SgAVObject* key, const SgWorldState* expected) {
    uint32_t i = 0;
    for (; i < states_.UsedSize(); ++i) {
        SgWorldState* s = states_.At(i);
        if (s && s->key == key)
            break;
    }
    if (i == states_.UsedSize())
        return false;
    SgWorldState* gone = states_.TakeAt(i);
    bool wasExpected = gone == expected;
    delete gone;
    if (states_.Count() != states_.UsedSize()) {
        // Pack the survivors in order into an array of exactly their number.
        uint32_t used = states_.UsedSize();
        SgPtrArray<SgWorldState*> packed(states_.Count(), 1);
        for (uint32_t j = 0; j < used; ++j)
            if (SgWorldState* s = states_.At(j))
                packed.SetArrayElement(packed.UsedSize(), s);
        states_.RemoveAll();
        states_.SetCapacity(packed.UsedSize());
        for (uint32_t j = 0; j < packed.UsedSize(); ++j)
            states_.SetArrayElement(j, packed.At(j));
    }
    return wasExpected;
}

bool SgWorldStateList::KeyAt(uint32_t i, SgAVObject*& key) const {
    SgWorldState* s = i < states_.UsedSize() ? states_.At(i) : nullptr;
    key = s ? s->key : nullptr;
    return s != nullptr;
}
