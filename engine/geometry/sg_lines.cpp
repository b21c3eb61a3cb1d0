#include "engine/geometry/sg_lines.h"

#include "engine/core/sg_camera.h"
#include "engine/core/sg_registry.h"
#include "engine/core/sg_stream.h"
#include "engine/core/sg_stream_arrays.h"

constinit SgTypeRecord SgLines::typeRecord{"SgLines", &SgGeometry::typeRecord};

int SgLines::Register() { return SgClassRegistry::Register(typeRecord, SgCreateObject<SgLines, SgLinkIdData1>); }

const SgTypeRecord* SgLines::GetTypeRecord() const { return &typeRecord; }

SgLines::SgLines(uint16_t vertexCount, const SgVec3* vertices, const SgVec3* textureCoords, const SgRgba* colors,
                 const uint8_t* connections)
    : SgGeometry(vertexCount, vertices, nullptr),
      textureCoords_(SgCopyArray(textureCoords, vertexCount)),
      colors_(SgCopyArray(colors, vertexCount)),
      connections_(SgCopyArray(connections, vertexCount)) {
    if (!connections_)
        DefaultConnections();
}

void SgLines::DefaultConnections() {
    connections_.reset(new uint8_t[vertexCount_ ? vertexCount_ : 1]);
    for (uint32_t i = 0; i < vertexCount_; ++i)
        connections_[i] = (i % 2 == 0) ? 1 : 0;
}

void SgLines::ComputeNormals() {}

void SgLines::Draw(SgCamera* camera, SgWorldState* state) {
    if (!state || !BeginDraw(camera))
        return;
    currentState_ = state;
    SgRender* renderer = camera->Display()->Renderer();
    renderer->SetModelTransform(state->worldTranslation, state->worldRotation, state->worldScale);
    if (state->refreshVertices)
        TransformToWorld(state);
    renderer->DrawLines(vertexCount_, GeometryState(state)->worldVertices.get(), textureCoords_.get(), colors_.get(),
                        connections_.get(), state->worldBound);
}

SgAVObject* SgLines::MakeCopy(SgAVObject* copy) {
    SgLines* lines = copy ? static_cast<SgLines*>(copy) : new SgLines;
    CopyFieldsInto(lines);
    lines->textureCoords_ = SgCopyArray(textureCoords_.get(), vertexCount_);
    lines->colors_ = SgCopyArray(colors_.get(), vertexCount_);
    lines->connections_ = SgCopyArray(connections_.get(), vertexCount_);
    if (!lines->connections_)
        lines->DefaultConnections();
    return lines;
}

bool SgLines::LoadFromStream(SgSceneStream& s) {
    if (!SgGeometry::LoadFromStream(s))
        return false;
    if (!SgLoadOptionalArray(s, vertexCount_, 12, textureCoords_) || !SgLoadOptionalArray(s, vertexCount_, 16, colors_) ||
        !SgLoadOptionalArray(s, vertexCount_, 1, connections_))
        return false;
    if (!connections_)
        DefaultConnections();
    // Drawing hands over vertex-count vertices: they must exist.
    return vertexCount_ == 0 || Vertices() != nullptr;
}

void SgLines::SaveToStream(SgSceneStream& s) const {
    SgGeometry::SaveToStream(s);
    SgSaveOptionalArray(s, vertexCount_, textureCoords_.get());
    SgSaveOptionalArray(s, vertexCount_, colors_.get());
    SgSaveOptionalArray(s, vertexCount_, connections_.get());
}

bool SgLines::IsEqualTo(const SgObject* other) const {
    const SgLines* o = SgKindCast<SgLines>(other);
    return o && SgGeometry::IsEqualTo(o) && SgSameArrays(textureCoords_.get(), o->textureCoords_.get(), vertexCount_) &&
           SgSameArrays(colors_.get(), o->colors_.get(), vertexCount_) &&
           SgSameArrays(connections_.get(), o->connections_.get(), vertexCount_);
}
