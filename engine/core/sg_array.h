#pragma once
// The engine's growable arrays: SgArray holds counted references, SgPtrArray plain values
// (pointers or link ids) and touches no count. Both keep a capacity, a used size (one past the
// highest index in use), a non-null count and a grow step; only SetAtGrow grows them.

#include <cstdint>
#include <utility>

#include "engine/core/sg_ref.h"

template <class Slot>
class SgSlotArray {
public:
    SgSlotArray(uint32_t capacity, uint32_t growStep)
        : slots_(capacity ? new Slot[capacity]() : nullptr), capacity_(capacity), growStep_(growStep) {}
    SgSlotArray(const SgSlotArray&) = delete;
    SgSlotArray& operator=(const SgSlotArray&) = delete;
    ~SgSlotArray() { delete[] slots_; }

    uint32_t Capacity() const { return capacity_; }
    uint32_t UsedSize() const { return usedSize_; }
    uint32_t Count() const { return count_; }
    uint32_t GrowStep() const { return growStep_; }

    // Stores at i below the capacity (never grows); an index at or past the capacity is ignored.
    void SetArrayElement(uint32_t i, Slot value) {
        if (i >= capacity_)
            return;
        bool set = static_cast<bool>(value);
        if (i < usedSize_) {
            bool had = static_cast<bool>(slots_[i]);
            if (!had && set)
                ++count_;
            else if (had && !set)
                --count_;
        } else {
            usedSize_ = i + 1;
            if (set)
                ++count_;
        }
        slots_[i] = std::move(value);
    }

    // Grows the capacity to i + grow step when i is at or past it, then stores. An index whose
    // capacity would not fit in 32 bits is ignored (a wrapped sum would shrink the array).
    void SetAtGrow(uint32_t i, Slot value) {
        if (i >= capacity_) {
            uint64_t wanted = static_cast<uint64_t>(i) + (growStep_ ? growStep_ : 1);
            if (wanted > UINT32_MAX)
                return;
            Reallocate(static_cast<uint32_t>(wanted));
        }
        SetArrayElement(i, std::move(value));
    }

    // Fills the first empty slot below the used size, else appends; null is ignored.
    void AddToFirstFree(Slot value) {
        if (!static_cast<bool>(value))
            return;
        for (uint32_t i = 0; i < usedSize_; ++i) {
            if (!static_cast<bool>(slots_[i])) {
                slots_[i] = std::move(value);
                ++count_;
                return;
            }
        }
        SetAtGrow(usedSize_, std::move(value));
    }

    // Takes element i out (a null value past the used size); the used size drops by one only when
    // i was the last used index.
    Slot TakeAt(uint32_t i) {
        if (i >= usedSize_)
            return Slot();
        Slot out = std::move(slots_[i]);
        slots_[i] = Slot();
        if (static_cast<bool>(out))
            --count_;
        if (i == usedSize_ - 1)
            --usedSize_;
        return out;
    }

    // Room for n more slots past the used size in one step (growing one slot at a time would
    // copy the array for every entry of a long list read from a file).
    void ReserveMore(uint32_t n) {
        uint64_t wanted = static_cast<uint64_t>(usedSize_) + n;
        if (wanted > capacity_ && wanted <= UINT32_MAX)
            Reallocate(static_cast<uint32_t>(wanted));
    }

    // Resizes to n slots, clearing those from n up to the used size.
    void SetCapacity(uint32_t n) {
        if (n == capacity_)
            return;
        for (uint32_t i = n; i < usedSize_; ++i) {
            if (static_cast<bool>(slots_[i]))
                --count_;
            slots_[i] = Slot();
        }
        if (n < usedSize_)
            usedSize_ = n;
        Reallocate(n);
    }

    // Element i; a value-initialised (null) slot at or past the used size.
    const Slot& Get(uint32_t i) const {
        static const Slot empty{};
        return i < usedSize_ ? slots_[i] : empty;
    }

    // Index of the first slot holding value below the used size, or -1.
    template <class V>
    int64_t Find(const V& value) const {
        for (uint32_t i = 0; i < usedSize_; ++i)
            if (slots_[i] == value)
                return i;
        return -1;
    }

    // Empties every slot and sets the used size to 0 (the capacity stays).
    void RemoveAll() {
        for (uint32_t i = 0; i < usedSize_; ++i)
            slots_[i] = Slot();
        usedSize_ = 0;
        count_ = 0;
    }

private:
    void Reallocate(uint32_t n) {
        Slot* fresh = n ? new Slot[n]() : nullptr;
        uint32_t keep = usedSize_ < n ? usedSize_ : n;
        for (uint32_t i = 0; i < keep; ++i)
            fresh[i] = std::move(slots_[i]);
        delete[] slots_;
        slots_ = fresh;
        capacity_ = n;
    }

    Slot* slots_;
    uint32_t capacity_;
    uint32_t usedSize_ = 0;
    uint32_t count_ = 0;
    uint32_t growStep_;
};

// Array of counted references.
template <class T>
class SgArray : public SgSlotArray<SgRef<T>> {
public:
    SgArray(uint32_t capacity, uint32_t growStep) : SgSlotArray<SgRef<T>>(capacity, growStep) {}

    // Element i as a new reference (null past the used size).
    SgRef<T> GetArrayElementRef(uint32_t i) const { return this->Get(i); }
    // Element i as a bare pointer (null past the used size).
    T* At(uint32_t i) const { return this->Get(i).Get(); }
};

// Array of plain values: pointers that hold no count, or link ids.
template <class T>
class SgPtrArray : public SgSlotArray<T> {
public:
    SgPtrArray(uint32_t capacity, uint32_t growStep) : SgSlotArray<T>(capacity, growStep) {}

    T At(uint32_t i) const { return this->Get(i); }
    // Appends at the used size, growing by the grow step.
    void Append(T value) { this->SetAtGrow(this->UsedSize(), value); }
};
