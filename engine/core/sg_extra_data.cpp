#include "engine/core/sg_extra_data.h"

#include <cstring>

#include "engine/core/sg_registry.h"
#include "engine/core/sg_stream.h"

constinit SgTypeRecord SgExtraData::typeRecord{"SgExtraData", nullptr};
constinit SgTypeRecord SgStringExtraData::typeRecord{"SgStringExtraData", &SgExtraData::typeRecord};
constinit SgTypeRecord SgCloneExtraData::typeRecord{"SgCloneExtraData", &SgExtraData::typeRecord};
constinit SgTypeRecord SgLinkIdData::typeRecord{"SgLinkIdData", &SgExtraData::typeRecord};
constinit SgTypeRecord SgLinkIdData1::typeRecord{"SgLinkIdData1", &SgLinkIdData::typeRecord};
constinit SgTypeRecord SgLinkIdData2::typeRecord{"SgLinkIdData2", &SgLinkIdData::typeRecord};
constinit SgTypeRecord SgLinkIdData3::typeRecord{"SgLinkIdData3", &SgLinkIdData::typeRecord};

bool SgExtraData::Create(SgSceneStream& stream, SgExtraData** out) { return SgCreateExtra<SgExtraData>(stream, out); }
bool SgStringExtraData::Create(SgSceneStream& stream, SgExtraData** out) {
    return SgCreateExtra<SgStringExtraData>(stream, out);
}

int SgExtraData::Register() { return SgClassRegistry::RegisterExtra(typeRecord, Create); }
int SgStringExtraData::Register() { return SgClassRegistry::RegisterExtra(typeRecord, Create); }

const SgTypeRecord* SgExtraData::GetTypeRecord() const { return &typeRecord; }
const SgTypeRecord* SgStringExtraData::GetTypeRecord() const { return &typeRecord; }
const SgTypeRecord* SgCloneExtraData::GetTypeRecord() const { return &typeRecord; }
const SgTypeRecord* SgLinkIdData::GetTypeRecord() const { return &typeRecord; }
const SgTypeRecord* SgLinkIdData1::GetTypeRecord() const { return &typeRecord; }
const SgTypeRecord* SgLinkIdData2::GetTypeRecord() const { return &typeRecord; }
const SgTypeRecord* SgLinkIdData3::GetTypeRecord() const { return &typeRecord; }

SgExtraData::~SgExtraData() { delete[] bytes; }

void SgExtraData::SetBytes(const void* data, uint32_t count) {
    delete[] bytes;
    bytes = nullptr;
    byteCount = count;
    if (count) {
        bytes = new uint8_t[count];
        std::memcpy(bytes, data, count);
    }
}

bool SgExtraData::LoadFromStream(SgSceneStream& stream) {
    byteCount = stream.ReadU32();
    // Only the plain class keeps the bytes; subclasses carry their data in their own fields.
    if (byteCount != 0 && IsExactly(&typeRecord)) {
        if (!stream.CheckCount(byteCount, 1)) {
            byteCount = 0;
            return false;
        }
        delete[] bytes;
        bytes = new uint8_t[byteCount];
        stream.ReadBytes(bytes, byteCount);
    }
    return stream.ReadOk();
}

void SgExtraData::LinkFromStream(SgSceneStream&) {}

void SgExtraData::RegisterInStream(SgSceneStream&) {}

void SgExtraData::SaveToStream(SgSceneStream& stream) const {
    stream.SaveString(GetTypeRecord()->name);
    bool exact = IsExactly(&typeRecord);
    // A plain record without bytes stores a count of 0, whatever it claims.
    stream.WriteU32(exact && !bytes ? 0 : byteCount);
    if (exact && bytes && byteCount)
        stream.WriteBytes(bytes, byteCount);
}

SgStringExtraData::SgStringExtraData(const char* t) : text(SgCopyString(t)) {}

SgStringExtraData::~SgStringExtraData() { delete[] text; }

void SgStringExtraData::SetText(const char* t) {
    char* copy = SgCopyString(t);
    delete[] text;
    text = copy;
}

bool SgStringExtraData::LoadFromStream(SgSceneStream& stream) {
    if (!SgExtraData::LoadFromStream(stream))
        return false;
    return stream.LoadString(text);
}

void SgStringExtraData::SaveToStream(SgSceneStream& stream) const {
    SgExtraData::SaveToStream(stream);
    stream.SaveString(text);
}
