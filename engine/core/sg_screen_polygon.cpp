#include "engine/core/sg_screen_polygon.h"

#include <vector>

#include "engine/core/sg_display.h"
#include "engine/core/sg_registry.h"
#include "engine/core/sg_stream.h"
#include "engine/core/sg_stream_arrays.h"

constinit SgTypeRecord SgScreenPolygon::typeRecord{"SgScreenPolygon", &SgObject::typeRecord};

int SgScreenPolygon::Register() {
    return SgClassRegistry::Register(typeRecord, SgCreateObject<SgScreenPolygon, SgLinkIdData1>);
}

const SgTypeRecord* SgScreenPolygon::GetTypeRecord() const { return &typeRecord; }

SgScreenPolygon::SgScreenPolygon(uint16_t vertexCount, const SgVec3* vertices, const SgVec3* textureCoords,
                                 const SgRgba* colors)
    : vertexCount_(vertexCount),
      vertices_(SgCopyArray(vertices, vertexCount)),
      textureCoords_(SgCopyArray(textureCoords, vertexCount)),
      colors_(SgCopyArray(colors, vertexCount)) {}

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
    copy->properties.AssignFrom(properties);
    return copy;
}

// ---- Stream ----

bool SgScreenPolygon::LoadFromStream(SgSceneStream& s) {
    if (!SgObject::LoadFromStream(s))
        return false;
    vertexCount_ = s.ReadU16();
    if (!SgLoadArray(s, vertexCount_, 12, vertices_))
        return false;
    if (!SgLoadOptionalArray(s, vertexCount_, 12, textureCoords_) || !SgLoadOptionalArray(s, vertexCount_, 16, colors_))
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
    properties.PrependInOrder(items.data(), items.size());
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
    // The record has no absent form for the vertices: a polygon made without them stores zeros.
    if (vertices_)
        SgSaveArray(s, vertexCount_, vertices_.get());
    else
        for (uint32_t i = 0; i < vertexCount_; ++i)
            SgVec3().SaveToStream(s);
    SgSaveOptionalArray(s, vertexCount_, textureCoords_.get());
    SgSaveOptionalArray(s, vertexCount_, colors_.get());
    s.WriteU32(properties.Count());
    for (SgProperty* p : properties)
        s.WriteLinkId(p);
}

bool SgScreenPolygon::IsEqualTo(const SgObject* other) const {
    const SgScreenPolygon* o = SgKindCast<SgScreenPolygon>(other);
    if (!o || !SgObject::IsEqualTo(o) || o->vertexCount_ != vertexCount_)
        return false;
    if (!SgSameArrays(vertices_.get(), o->vertices_.get(), vertexCount_) ||
        !SgSameArrays(textureCoords_.get(), o->textureCoords_.get(), vertexCount_) ||
        !SgSameArrays(colors_.get(), o->colors_.get(), vertexCount_))
        return false;
    return SgChainsMatch(properties, o->properties, SgSameObjects);
}
