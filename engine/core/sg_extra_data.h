#pragma once
// Extra data: small records any engine object can carry in its extra-data list without its class
// knowing them. They have their own root (not SgObject), their own registry and travel inside the
// record of the object that carries them. A new kind derives from SgExtraData, declares a type
// record with SgExtraData (or a subclass) as base, overrides LoadFromStream/SaveToStream calling
// the base first, and registers with SgClassRegistry::RegisterExtra(typeRecord,
// SgCreateExtra<SgFoo>) from its library's registration list.

#include <cstdint>

#include "engine/core/sg_array.h"
#include "engine/core/sg_type_record.h"

class SgObject;
class SgSceneStream;

class SgExtraData {
public:
    static SgTypeRecord typeRecord;
    static int Register();
    // The create function; also the one for extra-data classes that are not registered.
    static bool Create(SgSceneStream& stream, SgExtraData** out);

    SgExtraData() = default;
    SgExtraData(const SgExtraData&) = delete;
    SgExtraData& operator=(const SgExtraData&) = delete;

    virtual const SgTypeRecord* GetTypeRecord() const;
    // Reads the byte count, and the bytes only for the exact class SgExtraData.
    virtual bool LoadFromStream(SgSceneStream& stream);
    virtual void LinkFromStream(SgSceneStream& stream);
    virtual void RegisterInStream(SgSceneStream& stream);
    // Writes the class name, the byte count and (exact class only) the bytes.
    virtual void SaveToStream(SgSceneStream& stream) const;
    virtual ~SgExtraData();

    bool IsKindOf(const SgTypeRecord* record) const { return GetTypeRecord()->IsKindOf(record); }
    bool IsExactly(const SgTypeRecord* record) const { return GetTypeRecord() == record; }

    // Replaces the bytes with a copy of count bytes.
    void SetBytes(const void* bytes, uint32_t count);

    uint32_t byteCount = 0;
    uint8_t* bytes = nullptr;
    SgExtraData* next = nullptr;
};

class SgStringExtraData : public SgExtraData {
public:
    static SgTypeRecord typeRecord;
    static int Register();
    static bool Create(SgSceneStream& stream, SgExtraData** out);

    SgStringExtraData() = default;
    explicit SgStringExtraData(const char* text);
    const SgTypeRecord* GetTypeRecord() const override;
    bool LoadFromStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;
    ~SgStringExtraData() override;

    void SetText(const char* text);

    char* text = nullptr;
};

// Put on the source of a duplication, naming the copy made from it (no count held). Not
// registered: saved, it comes back as an empty plain SgExtraData.
class SgCloneExtraData : public SgExtraData {
public:
    static SgTypeRecord typeRecord;
    explicit SgCloneExtraData(SgObject* copyMade) : copy(copyMade) {}
    const SgTypeRecord* GetTypeRecord() const override;

    SgObject* copy;
};

// The temporary record every create function puts at the head of a new object's extra-data list:
// the object's own link id and the ids its references were stored as, until the link step turns
// them into pointers. The stream destroys it after linking. `refId` serves classes with one
// reference; SgLinkIdData1/2/3 add that many id lists (capacity 1, grow step 1 each). A class
// that needs more lists derives a record that answers them too.
class SgLinkIdData : public SgExtraData {
public:
    static SgTypeRecord typeRecord;
    SgLinkIdData() = default;
    const SgTypeRecord* GetTypeRecord() const override;

    // The i-th id list, or null when this variant has fewer lists.
    virtual SgPtrArray<uint32_t>* IdList(int i) { return i >= 0 && i < listCount_ ? &lists_[i] : nullptr; }
    virtual int ListCount() const { return listCount_; }

    uint32_t linkId = 0;
    uint32_t refId = 0;

protected:
    explicit SgLinkIdData(int listCount) : listCount_(listCount) {}

private:
    int listCount_ = 0;
    SgPtrArray<uint32_t> lists_[3] = {{1, 1}, {1, 1}, {1, 1}};
};

class SgLinkIdData1 : public SgLinkIdData {
public:
    static SgTypeRecord typeRecord;
    SgLinkIdData1() : SgLinkIdData(1) {}
    const SgTypeRecord* GetTypeRecord() const override;
};
class SgLinkIdData2 : public SgLinkIdData {
public:
    static SgTypeRecord typeRecord;
    SgLinkIdData2() : SgLinkIdData(2) {}
    const SgTypeRecord* GetTypeRecord() const override;
};
class SgLinkIdData3 : public SgLinkIdData {
public:
    static SgTypeRecord typeRecord;
    SgLinkIdData3() : SgLinkIdData(3) {}
    const SgTypeRecord* GetTypeRecord() const override;
};
