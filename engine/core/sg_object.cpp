#include "engine/core/sg_object.h"

#include <cassert>
#include <cstring>

#include "engine/core/sg_registry.h"
#include "engine/core/sg_stream.h"

namespace {

uint32_t g_liveObjects = 0;

// Link-id records are bookkeeping of a load: never saved, never counted.
bool IsTransient(const SgExtraData* e) { return e->IsKindOf(&SgLinkIdData::typeRecord); }

}  // namespace

constinit SgTypeRecord SgObject::typeRecord{"SgObject", nullptr};

int SgObject::Register() { return SgClassRegistry::Register(typeRecord, SgCreateAbstract); }

char* SgCopyString(const char* text) {
    if (!text)
        return nullptr;
    size_t n = std::strlen(text);
    char* copy = new char[n + 1];
    std::memcpy(copy, text, n + 1);
    return copy;
}

bool SgSameObjects(const SgObject* a, const SgObject* b) {
    if (!a || !b)
        return !a && !b;
    return a->IsEqualTo(b);
}

SgObject::SgObject() { ++g_liveObjects; }

SgObject::~SgObject() {
    delete[] name_;
    SgExtraData* e = extraHead_;
    extraHead_ = nullptr;
    while (e) {
        SgExtraData* next = e->next;
        delete e;
        e = next;
    }
    --g_liveObjects;
}

uint32_t SgObject::LiveCount() { return g_liveObjects; }

void SgObject::DecRef() const {
    assert(refCount_ > 0);
    if (--refCount_ == 0)
        delete this;
}

const SgTypeRecord* SgObject::GetTypeRecord() const { return &typeRecord; }

bool SgObject::LoadFromStream(SgSceneStream& stream) {
    uint32_t id = stream.ReadU32();
    if (!stream.ReadOk() || id == 0 || !stream.MapInsert(id, this))
        return false;
    if (SgLinkIdData* link = LinkRecordBase())
        link->linkId = id;
    char* name = nullptr;
    bool named = stream.LoadString(name);
    delete[] name_;
    name_ = name;
    if (!named)
        return false;

    // Each extra data holds at least its class name's count and its byte count.
    uint32_t count = stream.ReadU32();
    if (!stream.CheckCount(count, 8))
        return false;
    // Loaded extra data follow the link record in file order.
    SgExtraData* tail = extraHead_;
    while (tail && tail->next)
        tail = tail->next;
    for (uint32_t i = 0; i < count; ++i) {
        char* cls = nullptr;
        if (!stream.LoadString(cls))
            return false;
        SgExtraCreateFunction create = SgClassRegistry::FindExtraCreateFunction(cls);
        delete[] cls;
        if (!create)
            create = SgExtraData::Create;  // unknown kinds keep their bytes
        SgExtraData* extra = nullptr;
        bool ok = create(stream, &extra);
        if (extra) {
            if (tail)
                tail->next = extra;
            else
                extraHead_ = extra;
            tail = extra;
        }
        if (!ok || !stream.ReadOk())
            return false;
    }
    return stream.ReadOk();
}

void SgObject::LinkFromStream(SgSceneStream& stream) {
    for (SgExtraData* e = extraHead_; e; e = e->next)
        e->LinkFromStream(stream);
}

bool SgObject::RegisterInStream(SgSceneStream& stream) {
    for (SgExtraData* e = extraHead_; e; e = e->next)
        e->RegisterInStream(stream);
    return stream.EnterForSave(this);
}

void SgObject::SaveToStream(SgSceneStream& stream) const {
    stream.SaveString(ClassName());
    stream.WriteLinkId(this);
    stream.SaveString(name_);
    uint32_t count = 0;
    for (SgExtraData* e = extraHead_; e; e = e->next)
        if (!IsTransient(e))
            ++count;
    stream.WriteU32(count);
    for (SgExtraData* e = extraHead_; e; e = e->next)
        if (!IsTransient(e))
            e->SaveToStream(stream);
}

bool SgObject::IsEqualTo(const SgObject* other) const {
    if (!other)
        return false;
    if (std::strcmp(ClassName(), other->ClassName()) != 0)
        return false;
    if (!name_ || !other->name_)
        return !name_ && !other->name_;
    return std::strcmp(name_, other->name_) == 0;
}

void SgObject::AssignName(const char* text) {
    char* copy = SgCopyString(text);
    delete[] name_;
    name_ = copy;
}

void SgObject::PrependExtra(SgExtraData* extra) {
    if (!extra)
        return;
    extra->next = extraHead_;
    extraHead_ = extra;
}

void SgObject::SetExtraHead(SgExtraData* extra) { extraHead_ = extra; }

void SgObject::UnlinkExtra(SgExtraData* extra) {
    if (!extra || !extraHead_)
        return;
    if (extraHead_ == extra) {
        extraHead_ = extra->next;
        extra->next = nullptr;
        return;
    }
    for (SgExtraData* e = extraHead_; e->next; e = e->next) {
        if (e->next == extra) {
            e->next = extra->next;
            extra->next = nullptr;
            return;
        }
    }
}

void SgObject::AttachCloneRecord(SgObject* copy) { PrependExtra(new SgCloneExtraData(copy)); }

SgObject* SgObject::FindCloneRecord() const {
    for (SgExtraData* e = extraHead_; e; e = e->next)
        if (e->IsExactly(&SgCloneExtraData::typeRecord))
            return static_cast<SgCloneExtraData*>(e)->copy;
    return nullptr;
}

SgLinkIdData* SgObject::LinkRecordBase() const {
    return extraHead_ && IsTransient(extraHead_) ? static_cast<SgLinkIdData*>(extraHead_) : nullptr;
}
