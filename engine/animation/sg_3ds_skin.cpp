#include "engine/animation/sg_3ds_skin.h"

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

SgSkinWorldState::~SgSkinWorldState() = default;

constinit SgTypeRecord Sg3dsSkin::typeRecord{"Sg3dsSkin", &SgTriShape::typeRecord};

int Sg3dsSkin::Register() {
    return SgClassRegistry::Register(typeRecord, SgCreateObject<Sg3dsSkin, SgLinkIdData2>);
}

const SgTypeRecord* Sg3dsSkin::GetTypeRecord() const { return &typeRecord; }

Sg3dsSkin::Sg3dsSkin() { ResetWorldStates(); }

Sg3dsSkin::Sg3dsSkin(uint16_t vertexCount, const SgVec3* vertices, const SgVec3* normals, uint16_t triangleCount,
                     const uint16_t* indices, const SgVec3* textureSet, const SgRgba* colors)
    : SgTriShape(vertexCount, vertices, normals, triangleCount, indices, textureSet, colors) {
    ResetWorldStates();
}

Sg3dsSkin::~Sg3dsSkin() = default;

SgWorldState* Sg3dsSkin::NewWorldState() { return new SgSkinWorldState; }

void Sg3dsSkin::SetWeights(const std::vector<std::vector<SgSkinInfluence>>& lists) {
    skin_.SetWeights(lists);
    skin_.BuildBones();
    skin_.OnChanged();
    MarkWorldArraysStale();
}

// ---- Copies ----

SgAVObject* Sg3dsSkin::MakeCopy(SgAVObject* copy) {
    Sg3dsSkin* skin = copy ? static_cast<Sg3dsSkin*>(copy) : new Sg3dsSkin;
    SgTriShape::CopyFieldsInto(skin);
    skin_.CopyInto(skin->skin_);
    return skin;
}

void Sg3dsSkin::FixUpCopy(SgAVObject* copy) {
    if (Sg3dsSkin* skin = SgKindCast<Sg3dsSkin>(copy))
        skin->skin_.RetargetToCopies();
}

// ---- Skinning ----

void Sg3dsSkin::TransformToWorld(SgWorldState* state) {
    if (!state)
        return;
    if (!skin_.HasWeights() || skin_.VertexCount() != vertexCount_) {
        SgGeometry::TransformToWorld(state);
        return;
    }
    auto* s = static_cast<SgSkinWorldState*>(state);
    // A new state starts from the rigid transform, so vertices no bone moves hold their place.
    if (!s->worldVertices)
        SgGeometry::TransformToWorld(state);
    skin_.UpdateBones(*state);
    bool all = !s->skinned;
    bool blendNormals = normals_ && s->worldNormals && !skin_.recomputeNormals;
    uint32_t written = 0;
    for (uint32_t v = 0; v < vertexCount_; ++v)
        if (skin_.SkinVertex(v, all, s->worldVertices[v], blendNormals ? &normals_[v] : nullptr,
                             blendNormals ? &s->worldNormals[v] : nullptr))
            ++written;
    if (written) {
        if (skin_.recomputeNormals && normals_ && s->worldNormals)
            ComputePlanesAndNormals(s->worldVertices.get(), s->worldNormals.get());
        else
            ComputePlanesOver(s->worldVertices.get());
    }
    s->skinned = 1;
    state->refreshVertices = 0;
}

void Sg3dsSkin::ComputePlanesOver(const SgVec3* P) {
    if (!planes_)
        planes_.reset(new SgPlaneEq[triangleCount_ ? triangleCount_ : 1]);
    for (uint32_t t = 0; t < triangleCount_; ++t) {
        const uint16_t* c = &indices_[3u * t];
        const SgVec3 &p0 = P[c[0]], &p1 = P[c[1]], &p2 = P[c[2]];
        float ax = p1.x - p0.x, ay = p1.y - p0.y, az = p1.z - p0.z;
        float bx = p2.x - p1.x, by = p2.y - p1.y, bz = p2.z - p1.z;
        SgVec3 n(ay * bz - az * by, az * bx - ax * bz, ax * by - ay * bx);
        planes_[t] = SgPlaneEq(n, n.x * p0.x + n.y * p0.y + n.z * p0.z);
    }
}

void Sg3dsSkin::ComputePlanesAndNormals(const SgVec3* P, SgVec3* N) {
    if (!P || !N || !indices_)
        return;
    if (!planes_)
        planes_.reset(new SgPlaneEq[triangleCount_ ? triangleCount_ : 1]);
    const uint16_t* map = skin_.SharedVertexMap();
    auto group = [&](uint16_t v) { return map ? map[v] : v; };
    for (uint32_t v = 0; v < vertexCount_; ++v)
        N[v] = SgVec3();
    for (uint32_t t = 0; t < triangleCount_; ++t) {
        const uint16_t* c = &indices_[3u * t];
        uint16_t a = group(c[0]), b = group(c[1]), e = group(c[2]);
        SgVec3 u = UnitOrZero((P[b] - P[a]).Cross(P[e] - P[b]));
        N[a] = N[a] + u;
        N[b] = N[b] + u;
        N[e] = N[e] + u;
        planes_[t] = SgPlaneEq(u, u.Dot(P[a]));
    }
    for (uint32_t v = 0; v < vertexCount_; ++v)
        N[v] = group(static_cast<uint16_t>(v)) == v ? UnitOrZero(N[v]) : N[group(static_cast<uint16_t>(v))];
}

void Sg3dsSkin::BuildSharedVertexMap() {
    if (!normals_) {
        skin_.SetSharedVertexMap(nullptr);
        return;
    }
    constexpr uint32_t kMask = kCompareNormal | kCompareInfluences;
    std::unique_ptr<uint16_t[]> map(new uint16_t[vertexCount_ ? vertexCount_ : 1]);
    for (uint32_t v = 0; v < vertexCount_; ++v)
        map[v] = static_cast<uint16_t>(v);
    std::unique_ptr<uint16_t[]> order, inverse;
    SortVertices(kMask, order, inverse);
    for (uint32_t v = 0; v < vertexCount_; ++v) {
        if (map[v] != v)
            continue;
        uint32_t at = inverse[v];
        for (uint32_t j = at; j-- > 0 && CompareVertices(order[j], static_cast<uint16_t>(v), kMask) == 0;)
            map[order[j]] = static_cast<uint16_t>(v);
        for (uint32_t j = at + 1; j < vertexCount_ && CompareVertices(order[j], static_cast<uint16_t>(v), kMask) == 0; ++j)
            map[order[j]] = static_cast<uint16_t>(v);
    }
    skin_.SetSharedVertexMap(std::move(map));
}

int Sg3dsSkin::CompareVertices(uint16_t i, uint16_t j, uint32_t mask) const {
    int r = SgTriShape::CompareVertices(i, j, mask);
    if (r == 0 && (mask & kCompareInfluences) && skin_.HasWeights())
        r = skin_.CompareInfluences(i, j);
    return r;
}

void Sg3dsSkin::RemapVertices(uint16_t newCount, const uint32_t* map) {
    skin_.RemapVertices(newCount, map);
    SgTriShape::RemapVertices(newCount, map);
    // The other states restart from the rigid transform at their next use.
    for (uint32_t i = 0; i < worldStates_.UsedSize(); ++i)
        if (auto* s = static_cast<SgSkinWorldState*>(worldStates_.At(i)))
            s->skinned = 0;
    BuildSharedVertexMap();
}

void Sg3dsSkin::PoseModelFromBones() {
    if (!skin_.HasWeights() || !vertices_)
        return;
    for (uint32_t v = 0; v < vertexCount_ && v < skin_.VertexCount(); ++v)
        skin_.ModelPosition(vertices_.get(), v);
    if (normals_ && skin_.recomputeNormals)
        ComputeNormals();
    MarkModelChanged();
}

void Sg3dsSkin::ComputeNormals() {
    if (!skin_.HasWeights()) {
        SgTriShape::ComputeNormals();
        return;
    }
    if (!normals_)
        normals_.reset(new SgVec3[vertexCount_ ? vertexCount_ : 1]());
    ComputePlanesAndNormals(vertices_.get(), normals_.get());
    MarkWorldArraysStale();
}

void Sg3dsSkin::RefreshWorldBound(SgWorldState* state) {
    if (skin_.HasWeights())
        skin_.BoundFromBones(modelBound_);
    SgTriShape::RefreshWorldBound(state);
}

// ---- Drawing ----

void Sg3dsSkin::Draw(SgCamera* camera, SgWorldState* state) {
    if (!skin_.HasWeights()) {
        SgTriShape::Draw(camera, state);
        return;
    }
    if (!PrepareDraw(camera, state, false))
        return;
    SgRender* renderer = camera->Display()->Renderer();
    // The world arrays are already in world space.
    renderer->SetModelTransform(SgVec3(), SgIdentityMat3, 1.0f);
    SgGeometryWorldState* gs = FreshState(state);
    renderer->DrawTriShape(triangleCount_, vertexCount_, gs->worldVertices.get(), gs->worldNormals.get(),
                           planes_.get(), textureSetCount_, textureSets_, colors_, indices_.get(), state->worldBound,
                           camera->WorldLocation());
    CountDraw(triangleCount_, vertexCount_);
}

// ---- Stream ----

bool Sg3dsSkin::LoadFromStream(SgSceneStream& s) {
    return SgTriShape::LoadFromStream(s) && skin_.LoadFromStream(s, vertexCount_);
}

void Sg3dsSkin::LinkFromStream(SgSceneStream& s) {
    SgTriShape::LinkFromStream(s);
    skin_.LinkFromStream(s);
}

bool Sg3dsSkin::RegisterInStream(SgSceneStream& s) {
    if (!SgTriShape::RegisterInStream(s))
        return false;
    return skin_.RegisterInStream(s);
}

void Sg3dsSkin::SaveToStream(SgSceneStream& s) const {
    SgTriShape::SaveToStream(s);
    skin_.SaveToStream(s);
}

bool Sg3dsSkin::IsEqualTo(const SgObject* other) const {
    const Sg3dsSkin* o = SgKindCast<Sg3dsSkin>(other);
    return o && SgTriShape::IsEqualTo(o) && skin_.IsEqualTo(o->skin_);
}
