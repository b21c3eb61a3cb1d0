#pragma once
// Chained hash maps with a bucket count fixed at construction (no rehashing; chains grow). The
// integer-keyed base hashes key modulo the bucket count; SgNameHashMap keys by string copies and
// serves the class registries and the stream's name table (37 buckets each).

#include <cstdint>
#include <cstring>

#include "engine/core/sg_object.h"

template <class V>
class SgHashMap {
public:
    struct Entry {
        uintptr_t key;
        V value;
        Entry* next;
        Entry* previous;
    };

    explicit SgHashMap(uint32_t bucketCount)
        : bucketCount_(bucketCount ? bucketCount : 1), buckets_(new Entry*[bucketCount_]()) {}
    SgHashMap(const SgHashMap&) = delete;
    SgHashMap& operator=(const SgHashMap&) = delete;
    virtual ~SgHashMap() {
        Clear();
        delete[] buckets_;
    }

    virtual uint32_t Hash(uintptr_t key) const { return static_cast<uint32_t>(key % bucketCount_); }
    virtual bool KeysEqual(uintptr_t a, uintptr_t b) const {
        return static_cast<uint32_t>(a) == static_cast<uint32_t>(b);
    }
    virtual void SetKey(Entry& entry, uintptr_t key, V value) {
        entry.key = key;
        entry.value = value;
    }
    virtual void ReleaseKey(Entry&) {}

    // Replaces the value of an equal key (taking the new key), else adds an entry at the head of
    // the chain. Always true.
    bool InsertKey(uintptr_t key, V value) {
        uint32_t b = Hash(key);
        for (Entry* e = buckets_[b]; e; e = e->next) {
            if (KeysEqual(e->key, key)) {
                Entry old = *e;  // the new key may be the stored one: copy before releasing
                SetKey(*e, key, value);
                ReleaseKey(old);
                return true;
            }
        }
        Entry* e = new Entry{0, V(), buckets_[b], nullptr};
        SetKey(*e, key, value);
        if (buckets_[b])
            buckets_[b]->previous = e;
        buckets_[b] = e;
        ++count_;
        return true;
    }

    // The value of the first equal key, or a value-initialised V (null) when absent.
    V LookupKey(uintptr_t key) const {
        for (Entry* e = buckets_[Hash(key)]; e; e = e->next)
            if (KeysEqual(e->key, key))
                return e->value;
        return V();
    }

    uint32_t Count() const { return count_; }
    uint32_t BucketCount() const { return bucketCount_; }

    // Frees every entry (releasing its key). Derived destructors call it so their ReleaseKey runs.
    void Clear() {
        for (uint32_t b = 0; b < bucketCount_; ++b) {
            Entry* e = buckets_[b];
            while (e) {
                Entry* next = e->next;
                ReleaseKey(*e);
                delete e;
                e = next;
            }
            buckets_[b] = nullptr;
        }
        count_ = 0;
    }

private:
    uint32_t count_ = 0;
    uint32_t bucketCount_;
    Entry** buckets_;
};

template <class V>
class SgNameHashMap : public SgHashMap<V> {
public:
    using Entry = typename SgHashMap<V>::Entry;

    explicit SgNameHashMap(uint32_t bucketCount) : SgHashMap<V>(bucketCount) {}
    ~SgNameHashMap() override { this->Clear(); }

    // h = h * 33 + b over the key's bytes, b taken as a signed byte, wrapping in 32 bits.
    static uint32_t HashText(const char* text) {
        uint32_t h = 0;
        for (const char* p = text; *p; ++p)
            h = h * 33 + static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(*p)));
        return h;
    }

    uint32_t Hash(uintptr_t key) const override {
        return HashText(reinterpret_cast<const char*>(key)) % this->BucketCount();
    }
    bool KeysEqual(uintptr_t a, uintptr_t b) const override {
        return std::strcmp(reinterpret_cast<const char*>(a), reinterpret_cast<const char*>(b)) == 0;
    }
    void SetKey(Entry& entry, uintptr_t key, V value) override {
        entry.key = reinterpret_cast<uintptr_t>(SgCopyString(reinterpret_cast<const char*>(key)));
        entry.value = value;
    }
    void ReleaseKey(Entry& entry) override {
        delete[] reinterpret_cast<char*>(entry.key);
        entry.key = 0;
    }

    bool Insert(const char* key, V value) {
        return key ? this->InsertKey(reinterpret_cast<uintptr_t>(key), value) : false;
    }
    V Lookup(const char* key) const { return key ? this->LookupKey(reinterpret_cast<uintptr_t>(key)) : V(); }
};
