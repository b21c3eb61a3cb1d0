#include "engine/core/sg_screen_polygon.h"

#include <vector>

#include "engine/core/sg_display.h"
#include "engine/core/sg_registry.h"
#include "engine/core/sg_stream.h"

namespace {

template <class T>
std::unique_ptr<T[]> CopyArray(const T* from, uint16_t count) {
    if (!from)
        return nullptr;
    std::unique_ptr<T[]> to(new T[count ? count : 1]);
    for (uint16_t i = 0; i < count; ++i)
        to[i] = from[i];
    return to;
}

template <class T>
bool SameArrays(const T* a, const T* b, uint16_t count) {
    if (!a || !b)
        return !a && !b;
    for (uint16_t i = 0; i < count; ++i)
        if (!(a[i] == b[i]))
            return false;
    return true;
}

// Reads count items of itemBytes behind a presence word (a non-zero word: they follow).
template <class T>
bool LoadOptionalArray(SgSceneStream& s, uint16_t count, size_t itemBytes, std::unique_ptr<T[]>& out) {
    uint32_t present = s.ReadU32();
    out.reset();
    if (!s.ReadOk() || !present)
        return s.ReadOk();
    if (!s.CheckCount(count, itemBytes))
        return false;
    out.reset(new T[count ? count : 1]);
    for (uint16_t i = 0; i < count; ++i)
        out[i].LoadFromStream(s);
    return s.ReadOk();
}

template <class T>
void SaveOptionalArray(SgSceneStream& s, uint16_t count, const T* items) {
    s.WriteU32(items ? 1 : 0);
    if (items)
        for (uint16_t i = 0; i < count; ++i)
            items[i].SaveToStream(s);
}

}  // namespace

constinit SgTypeRecord SgScreenPolygon::typeRecord{"SgScreenPolygon", &SgObject::typeRecord};

int SgScreenPolygon::Register() {
    return SgClassRegistry::Register(typeRecord, SgCreateObject<SgScreenPolygon, SgLinkIdData1>);
}

const SgTypeRecord* SgScreenPolygon::GetTypeRecord() const { return &typeRecord; }

SgScreenPolygon::SgScreenPolygon(uint16_t vertexCount, const SgVec3* vertices, const SgVec3* textureCoords,
                                 const SgRgba* colors)
    : vertexCount_(vertexCount),
      vertices_(CopyArray(vertices, vertexCount)),
      textureCoords_(CopyArray(textureCoords, vertexCount)),
      colors_(CopyArray(colors, vertexCount)) {}

void SgScreenPolygon::AppendProperties(SgProperty* const* items, uint32_t count) {
    for (uint32_t i = count; i-- > 0;)
        properties.Prepend(items[i]);
}

void SgScreenPolygon::Draw(SgDisplay* display) {
    if (!display)
        return;
    bool hasProperties = !properties.IsEmpty();
    if (hasProperties)
        display->PushProperties(properties);
    display->ApplyPendingState();
    if (SgRender* renderer = display->Renderer())
        renderer->DrawScreenPolygon(vertexCount_, vertices_.get(), textureCoords_.get(), colors_.get());
    if (hasProperties)
        display->PopProperties(properties);
}

SgRef<SgScreenPolygon> SgScreenPolygon::Copy() const {
    SgRef<SgScreenPolygon> copy(new SgScreenPolygon(vertexCount_, vertices_.get(), textureCoords_.get(), colors_.get()));
    std::vector<SgProperty*> items;
    for (SgProperty* p : properties)
        items.push_back(p);
    copy->AppendProperties(items.data(), static_cast<uint32_t>(items.size()));
    return copy;
}

// ---- Stream ----

bool SgScreenPolygon::LoadFromStream(SgSceneStream& s) {
    if (!SgObject::LoadFromStream(s))
        return false;
    vertexCount_ = s.ReadU16();
    if (!s.CheckCount(vertexCount_, 12))
        return false;
    vertices_.reset(new SgVec3[vertexCount_ ? vertexCount_ : 1]);
    for (uint16_t i = 0; i < vertexCount_; ++i)
        vertices_[i].LoadFromStream(s);
    if (!LoadOptionalArray(s, vertexCount_, 12, textureCoords_) || !LoadOptionalArray(s, vertexCount_, 16, colors_))
        return false;
    SgLinkIdData1* link = LinkRecord<SgLinkIdData1>();
    return SgLoadLinkIds(s, link ? link->IdList(0) : nullptr);
}

void SgScreenPolygon::LinkFromStream(SgSceneStream& s) {
    SgObject::LinkFromStream(s);
    SgLinkIdData1* link = LinkRecord<SgLinkIdData1>();
    if (!link)
        return;
    const SgPtrArray<uint32_t>* ids = link->IdList(0);
    std::vector<SgProperty*> items;
    for (uint32_t i = 0; i < ids->UsedSize(); ++i)
        if (SgProperty* p = s.Resolve<SgProperty>(ids->At(i)))
            items.push_back(p);
    AppendProperties(items.data(), static_cast<uint32_t>(items.size()));
}

bool SgScreenPolygon::RegisterInStream(SgSceneStream& s) {
    if (!SgObject::RegisterInStream(s))
        return false;
    for (SgProperty* p : properties)
        p->RegisterInStream(s);
    return true;
}

void SgScreenPolygon::SaveToStream(SgSceneStream& s) const {
    SgObject::SaveToStream(s);
    s.WriteU16(vertexCount_);
    for (uint16_t i = 0; i < vertexCount_; ++i)
        vertices_[i].SaveToStream(s);
    SaveOptionalArray(s, vertexCount_, textureCoords_.get());
    SaveOptionalArray(s, vertexCount_, colors_.get());
    s.WriteU32(properties.Count());
    for (SgProperty* p : properties)
        s.WriteLinkId(p);
}

bool SgScreenPolygon::IsEqualTo(const SgObject* other) const {
    const SgScreenPolygon* o = SgKindCast<SgScreenPolygon>(other);
    if (!o || !SgObject::IsEqualTo(o) || o->vertexCount_ != vertexCount_)
        return false;
    if (!SameArrays(vertices_.get(), o->vertices_.get(), vertexCount_) ||
        !SameArrays(textureCoords_.get(), o->textureCoords_.get(), vertexCount_) ||
        !SameArrays(colors_.get(), o->colors_.get(), vertexCount_))
        return false;
    auto a = properties.begin(), b = o->properties.begin();
    for (; a != properties.end() && b != o->properties.end(); ++a, ++b)
        if (!SgSameObjects(*a, *b))
            return false;
    return !(a != properties.end()) && !(b != o->properties.end());
}
