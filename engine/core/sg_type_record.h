#pragma once
// The run-time type record of an engine class (engine objects and extra data alike).

// One per class: the class name (what files store and registries are keyed by) and the direct
// base's record, null for the two roots SgObject and SgExtraData. Define it with constinit so it
// exists before any static initialiser runs.
struct SgTypeRecord {
    constexpr SgTypeRecord(const char* className, const SgTypeRecord* baseRecord)
        : name(className), base(baseRecord) {}
    SgTypeRecord(const SgTypeRecord&) = delete;
    SgTypeRecord& operator=(const SgTypeRecord&) = delete;

    // True when walking the base links from this record meets the other one (by identity).
    bool IsKindOf(const SgTypeRecord* other) const {
        for (const SgTypeRecord* r = this; r; r = r->base)
            if (r == other)
                return true;
        return false;
    }

    const char* const name;
    const SgTypeRecord* const base;
    // The class's once-only registration flag (SgClassRegistry::Register).
    bool registered = false;
};
