#pragma once
// Per-vertex arrays as the engine's classes keep, stream and compare them: owned copies, arrays
// behind a presence word (a non-zero u32: the items follow), and item-wise equality. Items are
// the math types (their own LoadFromStream/SaveToStream) or plain floats, u16 and bytes.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "engine/core/sg_stream.h"

namespace sg_stream_arrays {

template <class T>
void LoadItem(SgSceneStream& s, T& item) {
    item.LoadFromStream(s);
}
inline void LoadItem(SgSceneStream& s, float& item) { item = s.ReadF32(); }
inline void LoadItem(SgSceneStream& s, uint16_t& item) { item = s.ReadU16(); }
inline void LoadItem(SgSceneStream& s, uint8_t& item) { item = s.ReadU8(); }

template <class T>
void SaveItem(SgSceneStream& s, const T& item) {
    item.SaveToStream(s);
}
inline void SaveItem(SgSceneStream& s, float item) { s.WriteF32(item); }
inline void SaveItem(SgSceneStream& s, uint16_t item) { s.WriteU16(item); }
inline void SaveItem(SgSceneStream& s, uint8_t item) { s.WriteU8(item); }

template <class T>
bool SameItem(const T& a, const T& b) {
    return a.IsEqualTo(b);
}
inline bool SameItem(float a, float b) { return a == b; }
inline bool SameItem(uint16_t a, uint16_t b) { return a == b; }
inline bool SameItem(uint8_t a, uint8_t b) { return a == b; }

}  // namespace sg_stream_arrays

// An owned copy of count items (at least one slot, so a count of 0 still gives an array), or
// null for null.
template <class T>
std::unique_ptr<T[]> SgCopyArray(const T* from, size_t count) {
    if (!from)
        return nullptr;
    std::unique_ptr<T[]> to(new T[count ? count : 1]());
    for (size_t i = 0; i < count; ++i)
        to[i] = from[i];
    return to;
}

// Both null, or both present with equal items.
template <class T>
bool SgSameArrays(const T* a, const T* b, size_t count) {
    if (!a || !b)
        return !a && !b;
    for (size_t i = 0; i < count; ++i)
        if (!sg_stream_arrays::SameItem(a[i], b[i]))
            return false;
    return true;
}

// Reads count items of itemBytes each into a fresh array; false when they cannot all be there.
template <class T>
bool SgLoadArray(SgSceneStream& s, size_t count, size_t itemBytes, std::unique_ptr<T[]>& out) {
    out.reset();
    if (!s.CheckCount(static_cast<uint32_t>(count), itemBytes))
        return false;
    out.reset(new T[count ? count : 1]());
    for (size_t i = 0; i < count; ++i)
        sg_stream_arrays::LoadItem(s, out[i]);
    return s.ReadOk();
}

// A presence word, then (when it is not 0) count items; an absent array leaves out null.
template <class T>
bool SgLoadOptionalArray(SgSceneStream& s, size_t count, size_t itemBytes, std::unique_ptr<T[]>& out) {
    uint32_t present = s.ReadU32();
    out.reset();
    if (!s.ReadOk() || !present)
        return s.ReadOk();
    return SgLoadArray(s, count, itemBytes, out);
}

template <class T>
void SgSaveArray(SgSceneStream& s, size_t count, const T* items) {
    for (size_t i = 0; i < count; ++i)
        sg_stream_arrays::SaveItem(s, items[i]);
}

template <class T>
void SgSaveOptionalArray(SgSceneStream& s, size_t count, const T* items) {
    s.WriteU32(items ? 1 : 0);
    if (items)
        SgSaveArray(s, count, items);
}
