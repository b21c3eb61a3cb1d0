#pragma once
// What every key family shares: the owned key array, the per-family create tables filled by
// once-only registrations, and the stream form of a key sequence.
//
// Keys are plain polymorphic records (no type record, no reference count). Within a family the
// interpolation is chosen per sequence by a key type number; every key of a sequence has the same
// type. A sequence in a stream is: u32 count; when count > 0 the u32 key type and count records
// of that type, each made through the family's create table.
//
// Files are untrusted: a sequence's count is bounded by the bytes that remain (every record of a
// type has a known least size), and a type that is not registered, or one that makes no key, is a
// damaged record.

#include <cstddef>
#include <cstdint>
#include <utility>

#include "engine/core/sg_math.h"
#include "engine/core/sg_stream.h"

// Engine equality of floats: equal unless one is less than the other.
inline bool SgSameFloat(float a, float b) { return !(a < b) && !(b < a); }
inline bool SgSameVec(const SgVec3& a, const SgVec3& b) {
    return SgSameFloat(a.x, b.x) && SgSameFloat(a.y, b.y) && SgSameFloat(a.z, b.z);
}

// Whether a caller's key array has count >= 1 entries, every one there.
template <class K>
bool SgAllKeysPresent(const K* const* keys, uint32_t count) {
    if (!keys || count < 1)
        return false;
    for (uint32_t i = 0; i < count; ++i)
        if (!keys[i])
            return false;
    return true;
}

// An array of owned keys (each deleted with the array). Slots may be null while it is filled.
template <class K>
class SgKeyArray {
public:
    SgKeyArray() = default;
    explicit SgKeyArray(uint32_t count) { Reset(count); }
    SgKeyArray(const SgKeyArray&) = delete;
    SgKeyArray& operator=(const SgKeyArray&) = delete;
    SgKeyArray(SgKeyArray&& o) noexcept : keys_(std::exchange(o.keys_, nullptr)), count_(std::exchange(o.count_, 0)) {}
    SgKeyArray& operator=(SgKeyArray&& o) noexcept {
        if (this != &o) {
            Clear();
            keys_ = std::exchange(o.keys_, nullptr);
            count_ = std::exchange(o.count_, 0u);
        }
        return *this;
    }
    ~SgKeyArray() { Clear(); }

    // Deletes every key and the array.
    void Clear() {
        for (uint32_t i = 0; i < count_; ++i)
            delete keys_[i];
        delete[] keys_;
        keys_ = nullptr;
        count_ = 0;
    }
    // count null slots (none for 0).
    void Reset(uint32_t count) {
        Clear();
        if (count == 0)
            return;
        keys_ = new K*[count]();
        count_ = count;
    }
    // Takes ownership of key into slot i (deleting what was there).
    void Set(uint32_t i, K* key) {
        delete keys_[i];
        keys_[i] = key;
    }

    uint32_t Count() const { return count_; }
    bool IsEmpty() const { return count_ == 0; }
    K** Data() const { return keys_; }
    K* operator[](uint32_t i) const { return keys_[i]; }
    K* First() const { return count_ ? keys_[0] : nullptr; }
    K* Last() const { return count_ ? keys_[count_ - 1] : nullptr; }

    // An array of clones of the given keys (null entries stay null).
    static SgKeyArray CloneOf(const K* const* keys, uint32_t count) {
        SgKeyArray out(keys ? count : 0);
        for (uint32_t i = 0; i < out.count_; ++i)
            out.keys_[i] = keys[i] ? keys[i]->Clone() : nullptr;
        return out;
    }

private:
    K** keys_ = nullptr;
    uint32_t count_ = 0;
};

// A family's create table, indexed by key type number. Each entry is filled once by its type's
// registration; an entry of a type that makes no key is registered with a null-making create
// function and a record size of 0.
template <class K, uint32_t N>
class SgKeyCreateTable {
public:
    using Create = K* (*)(SgSceneStream& stream);
    struct Entry {
        Create create = nullptr;
        uint32_t recordBytes = 0;  // least stream bytes of one record of the type
    };
    static constexpr uint32_t kSize = N;

    // The registration of one type: fills the entry and sets done the first time (1); later calls
    // change nothing (0).
    int Register(bool& done, uint32_t type, Create create, uint32_t recordBytes) {
        if (done || type >= N)
            return 0;
        entries_[type] = {create, recordBytes};
        done = true;
        return 1;
    }

    // The entry of a registered type, or null.
    const Entry* Find(uint32_t type) const {
        return type < N && entries_[type].create ? &entries_[type] : nullptr;
    }

private:
    Entry entries_[N] = {};
};

// The create function of key class T in family Base: a fresh key loaded from the stream, or null
// when its record is short or damaged.
template <class Base, class T>
Base* SgCreateKey(SgSceneStream& stream) {
    T* key = new T;
    if (!key->LoadFromStream(stream)) {
        delete key;
        return nullptr;
    }
    return key;
}

// The create function of the types that make no key and read nothing.
template <class Base>
Base* SgCreateNoKey(SgSceneStream&) {
    return nullptr;
}

// Reads the u32 key type and count records of it into out (emptied first); the count was read
// before (nothing is read for 0). False, with out empty, for a short or damaged record.
template <class K, uint32_t N>
bool SgLoadKeyRecords(SgSceneStream& s, const SgKeyCreateTable<K, N>& table, uint32_t count, SgKeyArray<K>& out) {
    out.Clear();
    if (!s.ReadOk())
        return false;
    if (count == 0)
        return true;
    uint32_t type = s.ReadU32();
    const auto* entry = table.Find(type);
    // A type that makes no key cannot be skipped: the file is damaged.
    if (!s.ReadOk() || !entry || entry->recordBytes == 0 || !s.CheckCount(count, entry->recordBytes))
        return false;
    SgKeyArray<K> keys(count);
    for (uint32_t i = 0; i < count; ++i) {
        K* key = entry->create(s);
        if (!key)
            return false;
        keys.Set(i, key);
        if (!s.ReadOk())
            return false;
    }
    out = std::move(keys);
    return true;
}

// Reads a sequence into out (emptied first): the count, then the records.
template <class K, uint32_t N>
bool SgLoadKeySequence(SgSceneStream& s, const SgKeyCreateTable<K, N>& table, SgKeyArray<K>& out) {
    uint32_t count = s.ReadU32();
    return SgLoadKeyRecords(s, table, count, out);
}

// Writes the first key's type and every record (nothing for no keys).
template <class K>
void SgSaveKeyRecords(SgSceneStream& s, const K* const* keys, uint32_t count) {
    if (!keys || count == 0)
        return;
    s.WriteU32(keys[0]->KeyType());
    for (uint32_t i = 0; i < count; ++i)
        keys[i]->SaveToStream(s);
}

// Writes a sequence: the count, and when there are keys the first key's type and every record.
template <class K>
void SgSaveKeySequence(SgSceneStream& s, const K* const* keys, uint32_t count) {
    if (!keys)
        count = 0;
    s.WriteU32(count);
    SgSaveKeyRecords(s, keys, count);
}

// Key i with time(i) <= t < time(i+1) found from a cached index: the search starts at cursor and
// restarts once from 0, so forward playback finds its interval at once and a time that moved
// backwards is found by the second pass. Needs count >= 2 and k[0].time < t < k[count-1].time.
// Returns the index (and keeps it in cursor), or -1 when no key qualifies (a time that is not a
// number, or key times that are not numbers). exact is set when key i's time equals t.
template <class K>
int32_t SgFindKeyInterval(const K* const* keys, uint32_t count, int32_t& cursor, float t, bool& exact) {
    exact = false;
    if (count < 2)
        return -1;
    uint32_t start = cursor >= 0 && static_cast<uint32_t>(cursor) < count - 1 ? static_cast<uint32_t>(cursor) : 0;
    for (int pass = 0; pass < 2; ++pass) {
        for (uint32_t i = start; i + 1 < count; ++i) {
            float ti = keys[i]->time;
            if (ti == t) {
                exact = true;
                cursor = static_cast<int32_t>(i);
                return cursor;
            }
            if (ti < t && t < keys[i + 1]->time) {
                cursor = static_cast<int32_t>(i);
                return cursor;
            }
        }
        if (start == 0)
            break;
        start = 0;
        cursor = 0;
    }
    return -1;
}

// The normalised parameter of t between two key times; 0 when the times are equal.
inline float SgSegmentParameter(float t, float t0, float t1) {
    double span = double(t1) - t0;
    return span != 0.0 ? static_cast<float>((double(t) - t0) / span) : 0.0f;
}

// Tension, continuity and bias of a shaped key.
struct SgTcb {
    float tension = 0.0f;
    float continuity = 0.0f;
    float bias = 0.0f;
};

// The incoming and outgoing Kochanek-Bartels tangents of key i of a sequence of count >= 2 keys
// (values V: floats or vectors). The first key sees a previous value mirrored through it and the
// last a mirrored next value, both with intervals of 1. Equal neighbour times (both intervals 0)
// weigh the two sides equally instead of dividing by zero.
template <class V, class ValueAt, class TimeAt>
void SgTcbTangents(uint32_t i, uint32_t count, ValueAt value, TimeAt time, const SgTcb& s, V& incoming, V& outgoing) {
    V v = value(i), previous, next;
    double lprev = 1.0, lnext = 1.0;
    if (i == 0) {
        next = value(1);
        previous = v + v - next;
    } else if (i + 1 == count) {
        previous = value(count - 2);
        next = v + v - previous;
    } else {
        previous = value(i - 1);
        next = value(i + 1);
        lprev = double(time(i)) - time(i - 1);
        lnext = double(time(i + 1)) - time(i);
    }
    double sum = lprev + lnext;
    double inScale = sum != 0.0 ? 2.0 * lprev / sum : 1.0;
    double outScale = sum != 0.0 ? 2.0 * lnext / sum : 1.0;
    double te = 1.0 - s.tension, cp = 1.0 + s.continuity, cm = 1.0 - s.continuity;
    double bp = 1.0 + s.bias, bm = 1.0 - s.bias;
    V din = v - previous, dout = next - v;
    incoming = din * float(te * cm * bp / 2 * inScale) + dout * float(te * cp * bm / 2 * inScale);
    outgoing = din * float(te * cp * bp / 2 * outScale) + dout * float(te * cm * bm / 2 * outScale);
}

// Where t falls in a sequence of at least one key, searched from the cached index: the key whose
// value holds (exact: at or before the first key, at or after the last, or at a key's time), or
// the interval starting at index with parameter u.
struct SgKeySpot {
    uint32_t index = 0;
    float u = 0.0f;
    bool exact = true;
};

template <class K>
SgKeySpot SgFindKeySpot(const SgKeyArray<K>& keys, int32_t& cursor, float t) {
    uint32_t n = keys.Count();
    if (t <= keys[0]->time)
        return {};
    if (t >= keys[n - 1]->time)
        return {n - 1, 0.0f, true};
    bool exact = false;
    int32_t i = SgFindKeyInterval(keys.Data(), n, cursor, t, exact);
    if (i < 0)  // a time or key times that are not numbers: hold the first key
        return {};
    auto at = static_cast<uint32_t>(i);
    if (exact)
        return {at, 0.0f, true};
    return {at, SgSegmentParameter(t, keys[at]->time, keys[at + 1]->time), false};
}

// A sequence's value at t: a key's own value (valueOf) where the spot is exact, else the
// interpolation between the two keys around t.
template <class K, class ValueOf, class Between>
auto SgEvaluateKeys(const SgKeyArray<K>& keys, int32_t& cursor, float t, ValueOf valueOf, Between between) {
    SgKeySpot spot = SgFindKeySpot(keys, cursor, t);
    const K* k = keys[spot.index];
    return spot.exact ? valueOf(k) : between(k, spot.u, keys[spot.index + 1]);
}
