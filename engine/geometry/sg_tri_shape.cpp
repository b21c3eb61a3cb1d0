#include "engine/geometry/sg_tri_shape.h"

#include <cstring>
#include <type_traits>
#include <utility>
#include <vector>

#include "engine/core/sg_camera.h"
#include "engine/core/sg_registry.h"
#include "engine/core/sg_stream.h"
#include "engine/core/sg_stream_arrays.h"

namespace {

constexpr uint32_t kDropped = 0xFFFFFFFFu;

int CompareBytes(const void* a, const void* b, size_t n) {
    int r = std::memcmp(a, b, n);
    return r < 0 ? -1 : r > 0 ? 1 : 0;
}

// Quicksort of vertex indices: median-of-three pivot, Hoare partition, recursion into the smaller
// part and a loop over the larger one, so that an order that peels one vertex off a range per
// partition nests no deeper than log2 of the count (the parts come out alike in either order).
template <class Compare>
void SortIndices(uint16_t* a, int lo, int hi, Compare cmp) {
    while (lo < hi) {
        uint16_t x = a[lo], y = a[(lo + hi) / 2], z = a[hi];
        uint16_t pivot;
        if (cmp(x, y) < 0)
            pivot = cmp(y, z) < 0 ? y : (cmp(x, z) < 0 ? z : x);
        else
            pivot = cmp(x, z) < 0 ? x : (cmp(y, z) < 0 ? z : y);
        int i = lo - 1, j = hi + 1;
        for (;;) {
            do
                ++i;
            while (cmp(a[i], pivot) < 0);
            do
                --j;
            while (cmp(a[j], pivot) > 0);
            if (i >= j)
                break;
            std::swap(a[i], a[j]);
        }
        if (j >= hi)
            j = hi - 1;  // always make progress
        if (j - lo < hi - j - 1) {
            SortIndices(a, lo, j, cmp);
            lo = j + 1;
        } else {
            SortIndices(a, j + 1, hi, cmp);
            hi = j;
        }
    }
}

double Squared(const SgVec3& v) { return double(v.x) * v.x + double(v.y) * v.y + double(v.z) * v.z; }

bool IsDegenerate(const uint16_t* c, const SgVec3* v) {
    if (c[0] == c[1] || c[0] == c[2] || c[1] == c[2])
        return true;
    const SgVec3 &p0 = v[c[0]], &p1 = v[c[1]], &p2 = v[c[2]];
    double a = Squared(p1 - p0), b = Squared(p2 - p0), e = Squared(p2 - p1);
    if (a < 1e-30 || b < 1e-30 || e < 1e-30)
        return true;
    double r = a / b;
    if (r < 1e-7 || r > 1e7)
        return true;
    // The angle at p0 is nearly 0 or 180 degrees.
    return Squared((p2 - p0).Cross(p1 - p0)) < 1e-7 * a * b;
}

}  // namespace

float SgTriShape::weldTolerances[2] = {0.0f, 0.0f};

constinit SgTypeRecord SgTriShape::typeRecord{"SgTriShape", &SgTriBasedGeom::typeRecord};
constinit SgTypeRecord SgEnvMappedTriShape::typeRecord{"SgEnvMappedTriShape", &SgTriShape::typeRecord};

int SgTriShape::Register() {
    return SgClassRegistry::Register(typeRecord, SgCreateObject<SgTriShape, SgLinkIdData1>);
}

int SgEnvMappedTriShape::Register() {
    return SgClassRegistry::Register(typeRecord, SgCreateObject<SgEnvMappedTriShape, SgLinkIdData1>);
}

const SgTypeRecord* SgTriShape::GetTypeRecord() const { return &typeRecord; }
const SgTypeRecord* SgEnvMappedTriShape::GetTypeRecord() const { return &typeRecord; }

SgTriShape::SgTriShape(uint16_t vertexCount, const SgVec3* vertices, const SgVec3* normals, uint16_t triangleCount,
                       const uint16_t* indices, const SgVec3* textureSet, const SgRgba* colors)
    : SgTriBasedGeom(vertexCount, vertices, normals, triangleCount, textureSet, colors),
      indexCount_(3u * triangleCount),
      indices_(SgCopyArray(indices, 3u * triangleCount)) {
    ComputePlanes();
}

SgTriShape::~SgTriShape() = default;

// ---- Triangles ----

bool SgTriShape::GetTriangle(uint32_t i, uint16_t corners[3], SgPlaneEq*& plane) const {
    if (i >= triangleCount_ || !indices_)
        return SgTriBasedGeom::GetTriangle(i, corners, plane);
    corners[0] = indices_[3 * i];
    corners[1] = indices_[3 * i + 1];
    corners[2] = indices_[3 * i + 2];
    plane = planes_ ? &planes_[i] : nullptr;
    return true;
}

bool SgTriShape::GetModelTriangle(uint32_t i, const SgVec3* corners[3]) const {
    uint16_t c[3];
    SgPlaneEq* plane;
    bool ok = vertices_ && GetTriangle(i, c, plane);
    for (int k = 0; k < 3; ++k)
        corners[k] = ok ? &vertices_[c[k]] : nullptr;
    return ok;
}

bool SgTriShape::GetWorldTriangle(uint32_t i, const SgVec3* corners[3]) {
    uint16_t c[3];
    SgPlaneEq* plane;
    SgVec3* world = WorldVertices();
    bool ok = world && GetTriangle(i, c, plane);
    for (int k = 0; k < 3; ++k)
        corners[k] = ok ? &world[c[k]] : nullptr;
    return ok;
}

uint16_t SgTriShape::GetActiveTriangleCount() const { return triangleCount_; }

void SgTriShape::ComputePlanes() { ComputePlanesFromCorners(); }
void SgTriShape::ComputeNormals() { ComputeNormalsFromCorners(false); }
void SgTriShape::ComputeNormalsFromPlanes() { ComputeNormalsFromCorners(true); }

// ---- Drawing ----

void SgTriShape::SubmitShape(SgCamera* camera, SgWorldState* state) {
    SgGeometryWorldState* gs = FreshState(state);
    camera->Display()->Renderer()->DrawTriShape(triangleCount_, vertexCount_, gs->worldVertices.get(),
                                                gs->worldNormals.get(), planes_.get(), textureSetCount_,
                                                textureSets_, colors_, indices_.get(), state->worldBound,
                                                CameraInModel(camera, state));
    CountDraw(triangleCount_, vertexCount_);
}

void SgTriShape::Draw(SgCamera* camera, SgWorldState* state) {
    if (PrepareDraw(camera, state, true))
        SubmitShape(camera, state);
}

void SgEnvMappedTriShape::Draw(SgCamera* camera, SgWorldState* state) { DrawEnvironmentMapped(camera, state); }

void SgEnvMappedTriShape::ComputeEnvironmentCoords(const SgCamera* camera, SgWorldState* state) {
    ComputeEnvironmentCoordsOf(camera, state);
}

void SgTriShape::DrawEnvironmentMapped(SgCamera* camera, SgWorldState* state) {
    if (!camera || !state)
        return;
    ComputeEnvironmentCoordsOf(camera, state);
    if (PrepareDraw(camera, state, false))
        SubmitShape(camera, state);
}

void SgTriShape::ComputeEnvironmentCoordsOf(const SgCamera* camera, SgWorldState* state) {
    currentState_ = state;
    SgVec3* normals = FreshState(state)->worldNormals.get();
    if (!normals || !textureSets_)
        return;
    SgVec3 d = camera->WorldLocation() - state->worldBound.centre;
    d.Normalize();
    for (uint32_t i = 0; i < vertexCount_; ++i) {
        const SgVec3& n = normals[i];
        SgVec3 r = d - n * (2.0f * d.Dot(n));
        SgVec3& uv = textureSets_[i];
        uv.y = (r.y + 1.0f) * 0.5f;
        uv.x = r.x >= 0.0f ? (1.0f - r.z) * 0.25f : (r.z + 3.0f) * 0.25f;
    }
}

// ---- Vertex comparison, sorting and remapping ----

int SgTriShape::CompareVertices(uint16_t i, uint16_t j, uint32_t mask) const {
    int r = 0;
    if ((mask & kComparePosition) && vertices_ && (r = CompareBytes(&vertices_[i], &vertices_[j], 12)))
        return r;
    if ((mask & kCompareNormal) && normals_ && (r = CompareBytes(&normals_[i], &normals_[j], 12)))
        return r;
    if ((mask & kCompareColor) && colors_ && (r = CompareBytes(&colors_[i], &colors_[j], 16)))
        return r;
    if ((mask & kCompareTextureSets) && textureSets_) {
        for (uint16_t s = 0; s < textureSetCount_; ++s) {
            const SgVec3* set = TextureSet(s);
            if ((r = CompareBytes(&set[i], &set[j], 12)))
                return r;
        }
    }
    return 0;
}

void SgTriShape::SortVertices(uint32_t mask, std::unique_ptr<uint16_t[]>& order,
                              std::unique_ptr<uint16_t[]>& inverse) const {
    size_t n = vertexCount_;
    order.reset(new uint16_t[n ? n : 1]);
    inverse.reset(new uint16_t[n ? n : 1]);
    for (size_t i = 0; i < n; ++i)
        order[i] = static_cast<uint16_t>(i);
    if (n > 1)
        SortIndices(order.get(), 0, static_cast<int>(n) - 1,
                    [this, mask](uint16_t a, uint16_t b) { return CompareVertices(a, b, mask); });
    for (size_t k = 0; k < n; ++k)
        inverse[order[k]] = static_cast<uint16_t>(k);
}

void SgTriShape::RemapVertices(uint16_t newCount, const uint32_t* map) {
    size_t slots = newCount ? newCount : 1;
    auto remap = [&](const auto* from, size_t stride, size_t sets) {
        using T = std::remove_const_t<std::remove_pointer_t<decltype(from)>>;
        if (!from)
            return static_cast<T*>(nullptr);
        T* to = new T[slots * sets]();
        for (size_t s = 0; s < sets; ++s)
            for (uint32_t v = 0; v < vertexCount_; ++v)
                if (map[v] < newCount)
                    to[s * newCount + map[v]] = from[s * stride + v];
        return to;
    };
    std::unique_ptr<SgVec3[]> vertices(remap(vertices_.get(), vertexCount_, 1));
    std::unique_ptr<SgVec3[]> normals(remap(normals_.get(), vertexCount_, 1));
    SgRgba* colors = remap(colors_, vertexCount_, 1);
    SgVec3* sets = remap(textureSets_, vertexCount_, textureSetCount_);
    vertices_ = std::move(vertices);
    normals_ = std::move(normals);
    ReplaceColors(colors);
    ReplaceTextureSets(sets, textureSetCount_);
    vertexCount_ = newCount;
    // The world arrays had the old length; they are made again at the next transform.
    for (uint32_t i = 0; i < worldStates_.UsedSize(); ++i) {
        if (SgWorldState* s = worldStates_.At(i)) {
            GeometryState(s)->worldVertices.reset();
            GeometryState(s)->worldNormals.reset();
        }
    }
    MarkModelChanged();
}

// ---- Clean-up ----

uint32_t SgTriShape::DropDegenerateTriangles() {
    if (!indices_ || !vertices_)
        return 0;
    uint32_t kept = 0;
    for (uint32_t i = 0; i < triangleCount_; ++i) {
        const uint16_t* c = &indices_[3 * i];
        if (IsDegenerate(c, vertices_.get()))
            continue;
        if (kept != i) {
            indices_[3 * kept] = c[0];
            indices_[3 * kept + 1] = c[1];
            indices_[3 * kept + 2] = c[2];
            // The planes stay with their triangles.
            if (planes_)
                planes_[kept] = planes_[i];
        }
        ++kept;
    }
    uint32_t dropped = triangleCount_ - kept;
    if (!dropped)
        return 0;
    indices_ = SgCopyArray(indices_.get(), 3u * kept);
    planes_ = SgCopyArray(planes_.get(), kept);
    triangleCount_ = static_cast<uint16_t>(kept);
    indexCount_ = 3u * kept;
    return dropped;
}

void SgTriShape::WeldVertices(std::unique_ptr<uint16_t[]>* newToOld) {
    if (!vertexCount_ || !indices_)
        return;
    bool exact = weldTolerances[0] == 0.0f && weldTolerances[1] == 0.0f;
    uint32_t mask = exact ? 255 : 247;
    std::unique_ptr<uint16_t[]> order, inverse;
    SortVertices(mask, order, inverse);

    auto withinTolerance = [this](uint16_t a, uint16_t b) {
        for (uint16_t s = 0; s < textureSetCount_; ++s) {
            const SgVec3* set = TextureSet(s);
            double du = double(set[a].x) - set[b].x, dv = double(set[a].y) - set[b].y;
            // A third set has no tolerance of its own: it must match.
            double tolerance = s < 2 ? weldTolerances[s] : 0.0;
            if (du * du + dv * dv > tolerance * tolerance)
                return false;
        }
        return true;
    };
    for (uint32_t k = 1; k < vertexCount_; ++k) {
        if (!textureSets_) {
            if (CompareVertices(order[k], order[k - 1], mask) == 0)
                order[k] = order[k - 1];
            continue;
        }
        for (uint32_t j = k; j-- > 0;) {
            if (CompareVertices(order[k], order[j], mask) != 0)
                break;
            if (CompareVertices(order[k], order[j], kCompareTextureSets) == 0 || withinTolerance(order[k], order[j])) {
                order[k] = order[j];
                break;
            }
        }
    }
    for (uint32_t e = 0; e < indexCount_; ++e)
        indices_[e] = order[inverse[indices_[e]]];

    // Renumber by first use; unused vertices go.
    std::vector<uint32_t> map(vertexCount_, kDropped);
    std::unique_ptr<uint16_t[]> table(new uint16_t[vertexCount_]);
    uint32_t next = 0;
    for (uint32_t e = 0; e < indexCount_; ++e) {
        uint16_t v = indices_[e];
        if (map[v] == kDropped) {
            table[next] = v;
            map[v] = next++;
        }
        indices_[e] = static_cast<uint16_t>(map[v]);
    }
    RemapVertices(static_cast<uint16_t>(next), map.data());
    if (newToOld)
        *newToOld = std::move(table);
}

bool SgTriShape::Flatten(uint32_t) {
    DropDegenerateTriangles();
    if (triangleCount_ == 0)
        return true;
    WeldVertices();
    return false;
}

// ---- Merging ----

bool SgTriShape::HasSameProperties(const SgAVObject* other, uint32_t typeMask) const {
    return other && other->IsExactly(&SgTriShape::typeRecord) && SgTriBasedGeom::HasSameProperties(other, typeMask);
}

void SgTriShape::MergeAlike(SgPtrArray<SgAVObject*>& group, SgRef<SgAVObject>& out) {
    out = nullptr;
    std::vector<SgTriShape*> shapes;
    uint32_t vertexSum = 0, triangleSum = 0;
    for (uint32_t i = 0; i < group.UsedSize(); ++i) {
        SgTriShape* shape = SgKindCast<SgTriShape>(group.At(i));
        if (!shape || !shape->vertices_)
            continue;
        shapes.push_back(shape);
        vertexSum += shape->vertexCount_;
        triangleSum += shape->triangleCount_;
    }
    // Vertex numbers and triangle counts are 16-bit: a larger merge would wrap them.
    if (shapes.empty() || vertexSum > 0xFFFF || triangleSum > 0xFFFF)
        return;

    size_t n = vertexSum;
    std::unique_ptr<SgVec3[]> positions(new SgVec3[n ? n : 1]());
    std::unique_ptr<SgVec3[]> normals(normals_ ? new SgVec3[n ? n : 1]() : nullptr);
    std::unique_ptr<SgVec3[]> sets(textureSets_ ? new SgVec3[n * textureSetCount_ + 1]() : nullptr);
    std::unique_ptr<SgRgba[]> colors(colors_ ? new SgRgba[n ? n : 1]() : nullptr);
    std::unique_ptr<uint16_t[]> indices(new uint16_t[3u * triangleSum + 1]);
    uint32_t base = 0, at = 0;
    for (SgTriShape* shape : shapes) {
        for (uint32_t v = 0; v < shape->vertexCount_; ++v) {
            positions[base + v] = shape->vertices_[v];
            if (normals && shape->normals_)
                normals[base + v] = shape->normals_[v];
            if (colors && shape->colors_)
                colors[base + v] = shape->colors_[v];
            for (uint16_t s = 0; sets && s < textureSetCount_ && s < shape->textureSetCount_; ++s)
                sets[s * n + base + v] = shape->TextureSet(s)[v];
        }
        for (uint32_t e = 0; e < shape->indexCount_ && shape->indices_; ++e)
            indices[at++] = static_cast<uint16_t>(shape->indices_[e] + base);
        base += shape->vertexCount_;
    }

    SgRef<SgTriShape> merged(new SgTriShape(static_cast<uint16_t>(n), positions.get(), normals.get(),
                                            static_cast<uint16_t>(triangleSum), indices.get(), sets.get(),
                                            colors.get()));
    for (uint16_t s = 1; sets && s < textureSetCount_; ++s)
        merged->AddTextureSet(&sets[s * n]);
    merged->WeldVertices();
    merged->properties.AssignFrom(properties);
    out = merged.Get();
}

// ---- Copies ----

void SgTriShape::CopyFieldsInto(SgTriShape* copy) const {
    SgTriBasedGeom::CopyFieldsInto(copy);
    copy->indexCount_ = indexCount_;
    copy->indices_ = SgCopyArray(indices_.get(), indexCount_);
}

SgAVObject* SgTriShape::MakeCopy(SgAVObject* copy) {
    SgTriShape* shape = copy ? static_cast<SgTriShape*>(copy) : new SgTriShape;
    CopyFieldsInto(shape);
    return shape;
}

SgAVObject* SgEnvMappedTriShape::MakeCopy(SgAVObject* copy) {
    return SgTriShape::MakeCopy(copy ? copy : new SgEnvMappedTriShape);
}

// ---- Stream ----

bool SgTriShape::LoadFromStream(SgSceneStream& s) {
    if (!SgTriBasedGeom::LoadFromStream(s))
        return false;
    indexCount_ = 3u * triangleCount_;
    indices_.reset();
    if (indexCount_ && !SgLoadArray(s, indexCount_, 2, indices_))
        return false;
    // Every corner must name a vertex.
    for (uint32_t e = 0; e < indexCount_; ++e)
        if (indices_[e] >= vertexCount_)
            return false;
    return s.ReadOk();
}

void SgTriShape::LinkFromStream(SgSceneStream& s) { SgTriBasedGeom::LinkFromStream(s); }
bool SgTriShape::RegisterInStream(SgSceneStream& s) { return SgTriBasedGeom::RegisterInStream(s); }

void SgTriShape::SaveToStream(SgSceneStream& s) const {
    SgTriBasedGeom::SaveToStream(s);
    for (uint32_t e = 0; e < indexCount_; ++e)
        s.WriteU16(indices_ ? indices_[e] : 0);
}

bool SgTriShape::IsEqualTo(const SgObject* other) const {
    const SgTriShape* o = SgKindCast<SgTriShape>(other);
    return o && SgTriBasedGeom::IsEqualTo(o) && indexCount_ == o->indexCount_ &&
           SgSameArrays(indices_.get(), o->indices_.get(), indexCount_);
}

bool SgEnvMappedTriShape::LoadFromStream(SgSceneStream& s) { return SgTriShape::LoadFromStream(s); }
void SgEnvMappedTriShape::LinkFromStream(SgSceneStream& s) { SgTriShape::LinkFromStream(s); }
bool SgEnvMappedTriShape::RegisterInStream(SgSceneStream& s) { return SgTriShape::RegisterInStream(s); }
void SgEnvMappedTriShape::SaveToStream(SgSceneStream& s) const { SgTriShape::SaveToStream(s); }
