#include "engine/animation/sg_clod_skin.h"

#include "engine/core/sg_camera.h"
#include "engine/core/sg_display.h"
#include "engine/core/sg_registry.h"
#include "engine/core/sg_render.h"
#include "engine/core/sg_stream.h"

namespace {

SgVec3 UnitOrZero(const SgVec3& n) {
    float length = n.Length();
    return length >= 1e-6f ? n * (1.0f / length) : SgVec3();
}

}  // namespace

constinit SgTypeRecord SgClodSkin::typeRecord{"SgClodSkin", &SgClod::typeRecord};

int SgClodSkin::Register() {
    return SgClassRegistry::Register(typeRecord, SgCreateObject<SgClodSkin, SgLinkIdData2>);
}

const SgTypeRecord* SgClodSkin::GetTypeRecord() const { return &typeRecord; }

SgClodSkin::SgClodSkin() { keepPlanes = 0; }

SgClodSkin::~SgClodSkin() = default;

void SgClodSkin::SetWeights(const std::vector<std::vector<SgSkinInfluence>>& lists) {
    skin_.SetWeights(lists);
    RebuildSkin();
}

void SgClodSkin::RebuildSkin() {
    skin_.BuildBones();
    skin_.OnChanged();
    MarkWorldArraysStale();
}

// ---- Copies ----

SgAVObject* SgClodSkin::MakeCopy(SgAVObject* copy) {
    SgClodSkin* skin = copy ? static_cast<SgClodSkin*>(copy) : new SgClodSkin;
    SgClod::CopyFieldsInto(skin);
    skin->keepPlanes = 0;
    skin_.CopyInto(skin->skin_);
    return skin;
}

void SgClodSkin::FixUpCopy(SgAVObject* copy) {
    if (SgClodSkin* skin = SgKindCast<SgClodSkin>(copy))
        skin->skin_.RetargetToCopies();
}

// ---- Skinning ----

void SgClodSkin::TransformToWorld(SgWorldState* state) {
    if (!state)
        return;
    if (!skin_.HasWeights() || skin_.VertexCount() != vertexCount_) {
        SgClod::TransformToWorld(state);
        return;
    }
    auto* s = static_cast<SgClodWorldState*>(state);
    // A new state starts from the rigid transform (world arrays, normals included).
    if (!s->worldVertices)
        SgClod::TransformToWorld(state);
    SgClodData* d = LevelOf(state);
    skin_.UpdateBones(*state);
    uint16_t n = SlotsInUse(*d);
    bool blendNormals = normals_ && s->worldNormals && !skin_.recomputeNormals;
    // Every slot in use, every time: slots change vertices as the level changes.
    for (uint32_t i = 0; i < n; ++i) {
        uint16_t m = d->slotMap[i];
        skin_.SkinVertex(m, true, s->worldVertices[i], blendNormals ? &normals_[m] : nullptr,
                         blendNormals ? &s->worldNormals[i] : nullptr);
    }
    if (n > 0) {
        if (skin_.recomputeNormals && normals_) {
            ComputePlanesAndNormals(state);
        } else {
            const SgVec3* P = s->worldVertices.get();
            for (uint32_t t = 0; t < d->triangleCount; ++t) {
                const uint16_t* c = &d->triangles[3u * t];
                SgVec3 normal = (P[c[1]] - P[c[0]]).Cross(P[c[2]] - P[c[0]]);
                d->planes[t] = SgPlaneEq(normal, normal.Dot(P[c[0]]));
            }
        }
    }
    state->refreshVertices = 0;
}

void SgClodSkin::ComputePlanesAndNormals(SgWorldState* state) {
    auto* s = static_cast<SgClodWorldState*>(state);
    SgClodData* d = LevelOf(state);
    if (!s->worldVertices || !d)
        return;
    if (!s->worldNormals)
        s->worldNormals.reset(new SgVec3[RenderSlotCount() ? RenderSlotCount() : 1]());
    const SgVec3* P = s->worldVertices.get();
    SgVec3* N = s->worldNormals.get();
    const uint16_t* map = skin_.SharedVertexMap();
    const SgClodVertex* records = VertexRecords();
    uint16_t n = SlotsInUse(*d);
    // A slot's group: its mesh vertex's first alike vertex (same id, same normal), at its slot.
    auto group = [&](uint16_t slot) {
        uint16_t m = d->slotMap[slot];
        return map ? records[map[m]].slot : slot;
    };
    for (uint32_t i = 0; i < n; ++i)
        N[i] = SgVec3();
    for (uint32_t t = 0; t < d->triangleCount; ++t) {
        const uint16_t* c = &d->triangles[3u * t];
        uint16_t a = group(c[0]), b = group(c[1]), e = group(c[2]);
        SgVec3 u = UnitOrZero((P[b] - P[a]).Cross(P[e] - P[b]));
        N[a] = N[a] + u;
        N[b] = N[b] + u;
        N[e] = N[e] + u;
        d->planes[t] = SgPlaneEq(u, u.Dot(P[a]));
    }
    for (uint32_t i = 0; i < n; ++i) {
        uint16_t g = group(static_cast<uint16_t>(i));
        N[i] = g == i ? UnitOrZero(N[i]) : N[g];
    }
}

void SgClodSkin::BuildSharedVertexMap() {
    if (!normals_ || !VertexRecords()) {
        skin_.SetSharedVertexMap(nullptr);
        return;
    }
    const SgClodVertex* records = VertexRecords();
    std::unique_ptr<uint16_t[]> map(new uint16_t[vertexCount_ ? vertexCount_ : 1]);
    std::vector<std::vector<uint16_t>> byId;
    for (uint32_t v = 0; v < vertexCount_; ++v) {
        uint16_t id = records[v].id;
        if (id >= byId.size())
            byId.resize(size_t(id) + 1);
        map[v] = static_cast<uint16_t>(v);
        for (uint16_t other : byId[id])
            if (normals_[other].IsEqualTo(normals_[v])) {
                map[v] = other;
                break;
            }
        if (map[v] == v)
            byId[id].push_back(static_cast<uint16_t>(v));
    }
    skin_.SetSharedVertexMap(std::move(map));
}

void SgClodSkin::PoseModelFromBones() {
    SgClodData* d = SharedLevel();
    if (!skin_.HasWeights() || !vertices_ || !d || !d->slotMap)
        return;
    uint16_t n = SlotsInUse(*d);
    for (uint32_t i = 0; i < n; ++i)
        skin_.ModelPosition(vertices_.get(), d->slotMap[i]);
    if (normals_ && skin_.recomputeNormals)
        ComputeVertexNormals();
    MarkModelChanged();
}

void SgClodSkin::ComputeNormals() {
    ComputeVertexNormals();
    BuildSharedVertexMap();
}

void SgClodSkin::RefreshWorldBound(SgWorldState* state) {
    if (skin_.HasWeights())
        skin_.BoundFromBones(modelBound_);
    SgClod::RefreshWorldBound(state);
}

bool SgClodSkin::AddVertexAttributes(SgSceneStream& s) {
    uint16_t m = loadedVertexCount_;
    return SgClod::AddVertexAttributes(s) && skin_.LoadVertex(s, m);
}

void SgClodSkin::AllocateVertexArrays(uint32_t flags) {
    SgClod::AllocateVertexArrays(flags);
    if (flags & 8)
        skin_.SetWeights(std::vector<std::vector<SgSkinInfluence>>(vertexCount_));
}

// ---- Drawing ----

void SgClodSkin::Draw(SgCamera* camera, SgWorldState* state) {
    if (!skin_.HasWeights()) {
        SgClod::Draw(camera, state);
        return;
    }
    if (Suppressed() || !PrepareDraw(camera, state, false))
        return;
    SgClodData* d = LevelOf(state);
    if (!d || !d->triangles)
        return;
    SgRender* renderer = camera->Display()->Renderer();
    // The world arrays are already in world space.
    renderer->SetModelTransform(SgVec3(), SgIdentityMat3, 1.0f);
    if (state->refreshVertices)
        TransformToWorld(state);
    auto* s = static_cast<SgClodWorldState*>(state);
    uint16_t n = SlotsInUse(*d);
    renderer->DrawTriShape(d->triangleCount, n, s->worldVertices.get(), s->worldNormals.get(), d->planes.get(),
                           d->textureCoords ? 1 : 0, d->textureCoords.get(), d->colors.get(), d->triangles.get(),
                           state->worldBound, camera->WorldLocation());
    CountDraw(d->triangleCount, n);
}

// ---- Stream ----

bool SgClodSkin::LoadFromStream(SgSceneStream& s) {
    return SgClod::LoadFromStream(s) && skin_.LoadFromStream(s, vertexCount_);
}

void SgClodSkin::LinkFromStream(SgSceneStream& s) {
    SgClod::LinkFromStream(s);
    skin_.LinkFromStream(s);
}

bool SgClodSkin::RegisterInStream(SgSceneStream& s) {
    if (!SgClod::RegisterInStream(s))
        return false;
    return skin_.RegisterInStream(s);
}

void SgClodSkin::SaveToStream(SgSceneStream& s) const {
    SgClod::SaveToStream(s);
    skin_.SaveToStream(s);
}

bool SgClodSkin::IsEqualTo(const SgObject* other) const {
    const SgClodSkin* o = SgKindCast<SgClodSkin>(other);
    return o && SgClod::IsEqualTo(o) && skin_.IsEqualTo(o->skin_);
}
