#pragma once
// Small helpers of the key tests: reading and writing key sequences through the stream.

#include <cstdint>
#include <vector>

#include "engine/animation/sg_float_key.h"
#include "engine/animation/sg_position_key.h"
#include "engine/animation/sg_rotation_key.h"
#include "tests/engine/animation/field_stream.h"

template <class K>
std::vector<uint8_t> SequenceBytes(const SgKeyArray<K>& keys) {
    return WriteFields([&](SgSceneStream& s) { K::SaveSequence(s, keys.Data(), keys.Count()); });
}

// Loads a sequence; false when the stream refused it.
template <class K>
bool LoadSequenceBytes(const std::vector<uint8_t>& bytes, SgKeyArray<K>& out) {
    return ReadFields(bytes, [&](SgSceneStream& s) { return K::LoadSequence(s, out); });
}

// An owned array from freshly made keys.
template <class K, class... Keys>
SgKeyArray<K> MakeKeys(Keys*... keys) {
    K* items[] = {keys...};
    SgKeyArray<K> out(sizeof...(keys));
    for (uint32_t i = 0; i < out.Count(); ++i)
        out.Set(i, items[i]);
    return out;
}

inline void AppendU32(std::vector<uint8_t>& b, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
