#pragma once
// The root of every engine class: a reference-counted object with an optional name and a list of
// attached extra data.
//
// How a class joins the engine (see SgAlphaProperty in sg_property.h for a complete small one):
// - Type record: `static SgTypeRecord typeRecord;` in the class, defined in its .cpp with
//   `constinit SgTypeRecord SgFoo::typeRecord{"SgFoo", &SgBase::typeRecord};` (constant
//   initialisation, so records exist before any static initialiser runs), and
//   `GetTypeRecord()` returns `&typeRecord`. The name is what files store; keep the "Sg" prefix.
// - Registration: `static int Register()` calling SgClassRegistry::Register(typeRecord,
//   SgCreateObject<SgFoo, LinkRecord>) (or SgCreateAbstract for an abstract class), and a line in
//   the library's registration list (sg_core_classes.cpp for engine_core); see sg_registry.h.
// - Streaming: override the seven operations below in their order, each calling its base first.
//   LoadFromStream reads the fields after the base's and stores link ids in the link record
//   (LinkRecord<SgLinkIdData1>() and friends; null when not loading from a stream), returning
//   stream.ReadOk(). Files are untrusted: pass every count through stream.CheckCount before
//   looping or allocating, and treat every value as possibly out of range. LinkFromStream resolves those ids with stream.Resolve<T>(id), which checks the
//   class, and does nothing without a link record. RegisterInStream registers the objects the
//   class refers to only when the base call returned true. SaveToStream writes the same fields in
//   the same order, references as stream.LinkIdOf(object).
// - Comparing: IsEqualTo calls the base, then SgKindCast<SgFoo>(other) and compares fields.
// - Testing: every streamable class gets a case in the save/load/compare table test and a seed
//   for the sgf fuzzer (tests/engine/support/sg_stream_cases.h).
// - Cloning: scene objects copy through SgAVObject's MakeCopy/FixUpCopy/FinishCopy; a copy
//   records itself on its source with AttachCloneRecord so shared objects are copied once.
// - Lifetime: objects are made with new, start at count 0 and delete themselves when the last
//   SgRef lets go; nothing deletes an engine object directly (destructors are protected).

#include <cstdint>

#include "engine/core/sg_extra_data.h"
#include "engine/core/sg_ref.h"
#include "engine/core/sg_type_record.h"

class SgSceneStream;

class SgObject {
public:
    static SgTypeRecord typeRecord;
    static int Register();

    SgObject();
    SgObject(const SgObject&) = delete;
    SgObject& operator=(const SgObject&) = delete;

    // The seven operations every engine class shares, in this order.
    virtual const SgTypeRecord* GetTypeRecord() const;
    // Reads the link id (entering it in the stream's map), the name and the extra data.
    virtual bool LoadFromStream(SgSceneStream& stream);
    // Lets every extra data link itself.
    virtual void LinkFromStream(SgSceneStream& stream);
    // Enters the object for saving; false when it was entered already.
    virtual bool RegisterInStream(SgSceneStream& stream);
    // Writes the class name, link id, name and extra data.
    virtual void SaveToStream(SgSceneStream& stream) const;
    // Same class name and same name (both null, or equal bytes); extra data is not compared.
    virtual bool IsEqualTo(const SgObject* other) const;

protected:
    // Frees the name and destroys every extra data in list order.
    virtual ~SgObject();

public:
    // Reference counting; SgRef is the usual way in. The object deletes itself at count 0.
    void IncRef() const { ++refCount_; }
    void DecRef() const;
    uint32_t RefCount() const { return refCount_; }

    bool IsKindOf(const SgTypeRecord* record) const { return GetTypeRecord()->IsKindOf(record); }
    bool IsExactly(const SgTypeRecord* record) const { return GetTypeRecord() == record; }
    const char* ClassName() const { return GetTypeRecord()->name; }

    const char* GetName() const { return name_; }
    // Replaces the name with a copy of text (null clears it).
    void AssignName(const char* text);

    SgExtraData* ExtraHead() const { return extraHead_; }
    void PrependExtra(SgExtraData* extra);
    // Only for a fresh object: sets the head without linking the old list.
    void SetExtraHead(SgExtraData* extra);
    // Takes the extra data out of the list without destroying it; unknown ones change nothing.
    void UnlinkExtra(SgExtraData* extra);
    // Records on this object (the source of a duplication) the copy made from it.
    void AttachCloneRecord(SgObject* copy);
    // The copy named by the first clone record, or null.
    SgObject* FindCloneRecord() const;

    // The link-id record attached by the create function while loading, or null.
    SgLinkIdData* LinkRecordBase() const;
    // The link record as the class's own variant (SgLinkIdData1 ...), or null.
    template <class L>
    L* LinkRecord() const {
        SgLinkIdData* r = LinkRecordBase();
        return r && r->IsKindOf(&L::typeRecord) ? static_cast<L*>(r) : nullptr;
    }

    // How many engine objects exist in the process (for leak checks).
    static uint32_t LiveCount();

private:
    mutable uint32_t refCount_ = 0;
    char* name_ = nullptr;
    SgExtraData* extraHead_ = nullptr;
};

// Kind tests by type record: SgKindCast walks the base links, SgExactCast wants the class itself.
template <class T>
T* SgKindCast(SgObject* o) {
    return o && o->IsKindOf(&T::typeRecord) ? static_cast<T*>(o) : nullptr;
}
template <class T>
const T* SgKindCast(const SgObject* o) {
    return o && o->IsKindOf(&T::typeRecord) ? static_cast<const T*>(o) : nullptr;
}
template <class T>
T* SgExactCast(SgObject* o) {
    return o && o->IsExactly(&T::typeRecord) ? static_cast<T*>(o) : nullptr;
}

// True when both are null, or both are set and the first accepts the second with IsEqualTo.
bool SgSameObjects(const SgObject* a, const SgObject* b);

// Heap copy of a zero-terminated text (new[]), or null for null.
char* SgCopyString(const char* text);
