#include "engine/geometry/sg_projection_lights.h"

#include <cmath>

#include "engine/core/sg_node.h"
#include "engine/core/sg_registry.h"
#include "engine/core/sg_stream.h"
#include "engine/geometry/sg_tri_shape.h"

namespace {

// Products in double precision, stored as floats at the end.
struct D3 {
    double x = 0, y = 0, z = 0;
    D3() = default;
    D3(double a, double b, double c) : x(a), y(b), z(c) {}
    explicit D3(const SgVec3& v) : x(v.x), y(v.y), z(v.z) {}
    D3 operator+(const D3& o) const { return {x + o.x, y + o.y, z + o.z}; }
    D3 operator-(const D3& o) const { return {x - o.x, y - o.y, z - o.z}; }
    D3 operator*(double s) const { return {x * s, y * s, z * s}; }
    D3 operator-() const { return {-x, -y, -z}; }
    double Dot(const D3& o) const { return x * o.x + y * o.y + z * o.z; }
    D3 Cross(const D3& o) const { return {y * o.z - z * o.y, z * o.x - x * o.z, x * o.y - y * o.x}; }
    SgVec3 F() const { return {float(x), float(y), float(z)}; }
};

// v / |v|, or zero when |v| is no more than 1e-6.
D3 Norm(const D3& v) {
    double len = std::sqrt(v.Dot(v));
    return len <= double(1e-6f) ? D3() : v * (1.0 / len);
}

// The plane with this normal through the point.
SgPlaneEq PlaneThrough(const D3& normal, const D3& point) { return SgPlaneEq(normal.F(), float(normal.Dot(point))); }

D3 Column(const SgMat3& r, int k) { return {r.m[k], r.m[3 + k], r.m[6 + k]}; }

D3 Times(const SgMat3& r, const SgVec3& v) {
    return {double(r.m[0]) * v.x + double(r.m[1]) * v.y + double(r.m[2]) * v.z,
            double(r.m[3]) * v.x + double(r.m[4]) * v.y + double(r.m[5]) * v.z,
            double(r.m[6]) * v.x + double(r.m[7]) * v.y + double(r.m[8]) * v.z};
}

// Both null, or both set and alike.
bool SameReference(const SgObject* a, const SgObject* b) { return SgSameObjects(a, b); }

}  // namespace

// ---- SgProjectingLight ----

SgProjectingLight::SgProjectingLight() = default;

void SgProjectingLight::SetPosition(const SgVec3&) {}
void SgProjectingLight::SetDirection(const SgVec3&) {}
void SgProjectingLight::SetType(uint32_t) {}

void SgProjectingLight::ComposeWorldPlacement(SgWorldState* state) {
    SgLight::ComposeWorldPlacement(state);
    const SgWorldState* s = currentState_;
    if (!s)
        return;
    const SgMat3& r = s->worldRotation;
    const SgVec3& t = s->worldTranslation;
    worldPosition = t;
    worldDirection = Column(r, 0).F();
    worldColumn1 = Column(r, 1).F();
    worldColumn2 = Column(r, 2).F();
    // The world scale is not applied and nothing is normalised.
    worldWindowCentre = (Times(r, windowCentre) + D3(t)).F();
    worldBack = Times(r, backVector).F();
    worldUp = Times(r, upVector).F();
    worldRight = D3(worldUp).Cross(D3(worldBack)).F();
    worldProjectionCentre = (Times(r, projectionCentre) + D3(t)).F();
    BuildProjection();
}

void SgProjectingLight::BuildFrustumPlanes() {
    D3 e(worldWindowCentre), d(worldBack), u(worldUp), rt(worldRight), q(worldProjectionCentre);
    D3 c1(worldColumn1), c2(worldColumn2);
    double a = 0.5 * windowWidth, b = 0.5 * windowHeight;
    if (projectionKind == kPerspective) {
        D3 a0 = e - c2 * a;
        D3 a1 = e + rt * a;
        D3 a2 = e + u * b;
        D3 a3 = e - u * b;
        planes[0] = PlaneThrough(Norm(Norm(a0 - q).Cross(u)), a0);
        planes[1] = PlaneThrough(Norm(u.Cross(Norm(a1 - q))), a1);
        planes[2] = PlaneThrough(Norm(Norm(a2 - q).Cross(rt)), a2);
        planes[3] = PlaneThrough(Norm(rt.Cross(Norm(a3 - q))), a3);
        planes[4] = PlaneThrough(-d, e - d * double(nearDistance));
    } else if (projectionKind == kParallel) {
        D3 dir = Norm(e - q);
        D3 side = dir.Cross(c1);
        D3 vertical = side.Cross(dir);
        planes[0] = PlaneThrough(side, e - c2 * a);
        planes[1] = PlaneThrough(-side, e + c2 * a);
        planes[2] = PlaneThrough(-vertical, e + c1 * b);
        planes[3] = PlaneThrough(vertical, e - c1 * b);
        planes[4] = PlaneThrough(-d, e);
    }
}

void SgProjectingLight::LoadFrame(SgSceneStream& s) {
    windowCentre.LoadFromStream(s);
    backVector.LoadFromStream(s);
    upVector.LoadFromStream(s);
    rightVector.LoadFromStream(s);
    projectionCentre.LoadFromStream(s);
    windowWidth = s.ReadF32();
    windowHeight = s.ReadF32();
}

void SgProjectingLight::SaveFrame(SgSceneStream& s) const {
    windowCentre.SaveToStream(s);
    backVector.SaveToStream(s);
    upVector.SaveToStream(s);
    rightVector.SaveToStream(s);
    projectionCentre.SaveToStream(s);
    s.WriteF32(windowWidth);
    s.WriteF32(windowHeight);
}

void SgProjectingLight::LoadPlanes(SgSceneStream& s) {
    for (SgPlaneEq& p : planes)
        p.LoadFromStream(s);
}

void SgProjectingLight::SavePlanes(SgSceneStream& s) const {
    for (const SgPlaneEq& p : planes)
        p.SaveToStream(s);
}

bool SgProjectingLight::SamePlanes(const SgProjectingLight& other) const {
    for (uint32_t i = 0; i < kPlaneCount; ++i)
        if (!planes[i].IsEqualTo(other.planes[i]))
            return false;
    return true;
}

uint32_t SgProjectingLight::LoadReference(SgSceneStream& s) {
    uint32_t id = s.ReadU32();
    if (SgLinkIdData* link = LinkRecordBase())
        link->refId = id;
    return id;
}

// ---- Shadow shape records ----

SgShadowShapeRecord::SgShadowShapeRecord(SgTriShape* recordShape, SgWorldState* recordState)
    : shape(recordShape), state(recordState) {}

SgShadowShapeRecord::~SgShadowShapeRecord() = default;

// ---- SgShadowLight ----

constinit SgTypeRecord SgShadowLight::typeRecord{"SgShadowLight", &SgLight::typeRecord};

int SgShadowLight::Register() {
    return SgClassRegistry::Register(typeRecord, SgCreateObject<SgShadowLight, SgLinkIdData3>);
}

const SgTypeRecord* SgShadowLight::GetTypeRecord() const { return &typeRecord; }

SgShadowLight::SgShadowLight() {
    modeWord1 = 3;
    type = kLightType;
    UpdateState(currentState_);
}

SgShadowLight::~SgShadowLight() {
    records_.RemoveAll();
    roots_.RemoveAll();
}

const SgShadowShapeRecord* SgShadowLight::ShapeRecord(uint32_t i) const {
    auto* node = records_.Head();
    for (; node && i > 0; --i)
        node = node->next;
    return node ? node->item.get() : nullptr;
}

void SgShadowLight::AddAffectedRoot(SgObject* object) {
    if (!object)
        return;
    roots_.Append(object);
    CollectShapes(object, nullptr);
}

void SgShadowLight::ClearAffectedRoots() {
    records_.RemoveAll();
    roots_.RemoveAll();
}

void SgShadowLight::CollectShapes(SgObject* object, SgWorldState* state,
                                  std::unordered_set<const SgObject*>* collected) {
    SgAVObject* av = SgKindCast<SgAVObject>(object);
    if (!av || av->IsHidden())
        return;
    SgNode* node = SgKindCast<SgNode>(av);
    // A node has one parent, so only a root is reached twice; a shape below several nodes is
    // recorded under each.
    if (collected && (node || !state) && !collected->insert(av).second)
        return;
    if (node) {
        for (uint32_t i = 0; i < node->ChildCount(); ++i)
            if (SgAVObject* child = node->ChildAt(i))
                CollectShapes(child, node->ChildStateAt(i), collected);
        return;
    }
    SgTriShape* shape = SgKindCast<SgTriShape>(av);
    if (!shape)
        return;
    auto record = [this, shape](SgWorldState* s) {
        auto r = std::make_unique<SgShadowShapeRecord>(shape, s);
        // A shape without vertices has no box to fit: its record keeps a zero box.
        if (shape->VertexCount() > 0)
            shape->FitOrientedBox(r->boxCentre, r->boxAxes, r->halfExtents);
        records_.Append(std::move(r));
    };
    if (state) {
        record(state);
        return;
    }
    const SgWorldStateList& states = shape->WorldStates();
    for (uint32_t i = 0; i < states.UsedSize(); ++i)
        if (SgWorldState* s = states.At(i))
            record(s);
}

bool SgShadowLight::LoadFromStream(SgSceneStream& s) {
    if (!SgLight::LoadFromStream(s))
        return false;
    modeWord1 = s.ReadU32();
    projectionKind = s.ReadU32();
    LoadFrame(s);
    shadowScalar = s.ReadF32();
    LoadPlanes(s);
    LoadReference(s);
    SgLinkIdData* link = LinkRecordBase();
    return SgLoadLinkIds(s, link ? link->IdList(2) : nullptr) && s.ReadOk();
}

void SgShadowLight::LinkFromStream(SgSceneStream& s) {
    SgLight::LinkFromStream(s);
    SgLinkIdData* link = LinkRecordBase();
    if (!link)
        return;
    reference = s.ResolveLinkId(link->refId);
    if (const SgPtrArray<uint32_t>* ids = link->IdList(2))
        for (uint32_t i = 0; i < ids->UsedSize(); ++i)
            if (SgObject* root = s.ResolveLinkId(ids->At(i)))
                roots_.Append(root);
    // The roots' subtrees may link after this light: collect once the whole load is linked.
    if (roots_.Count() != 0)
        s.AfterLinking(this, CollectAfterLinking);
}

void SgShadowLight::CollectAfterLinking(SgObject* object) {
    auto* light = static_cast<SgShadowLight*>(object);
    // A root id the file repeats, or a root inside another, is collected once: each copy would
    // cost the file four bytes and the light a whole subtree's records.
    std::unordered_set<const SgObject*> collected;
    for (auto* n = light->roots_.Head(); n; n = n->next)
        light->CollectShapes(n->item.Get(), nullptr, &collected);
}

bool SgShadowLight::RegisterInStream(SgSceneStream& s) {
    if (!SgLight::RegisterInStream(s))
        return false;
    if (reference)
        reference->RegisterInStream(s);
    for (auto* n = roots_.Head(); n; n = n->next)
        if (n->item)
            n->item->RegisterInStream(s);
    return true;
}

void SgShadowLight::SaveToStream(SgSceneStream& s) const {
    SgLight::SaveToStream(s);
    s.WriteU32(modeWord1);
    s.WriteU32(projectionKind);
    SaveFrame(s);
    s.WriteF32(shadowScalar);
    SavePlanes(s);
    s.WriteLinkId(reference.Get());
    s.WriteU32(roots_.Count());
    for (auto* n = roots_.Head(); n; n = n->next)
        s.WriteLinkId(n->item.Get());
}

bool SgShadowLight::IsEqualTo(const SgObject* other) const {
    const SgShadowLight* o = SgKindCast<SgShadowLight>(other);
    if (!o || !SgLight::IsEqualTo(o))
        return false;
    if (modeWord1 != o->modeWord1 || projectionKind != o->projectionKind || !windowCentre.IsEqualTo(o->windowCentre) ||
        !upVector.IsEqualTo(o->upVector) || !rightVector.IsEqualTo(o->rightVector) ||
        !projectionCentre.IsEqualTo(o->projectionCentre) || windowWidth != o->windowWidth ||
        windowHeight != o->windowHeight || shadowScalar != o->shadowScalar || !SamePlanes(*o) ||
        roots_.Count() != o->roots_.Count())
        return false;
    if (comparing_)
        return true;
    comparing_ = true;
    bool same = true;
    for (auto *a = roots_.Head(), *b = o->roots_.Head(); same && a && b; a = a->next, b = b->next)
        same = SameReference(a->item.Get(), b->item.Get());
    same = same && SameReference(reference.Get(), o->reference.Get());
    comparing_ = false;
    return same;
}

// ---- SgProjectedLight ----

constinit SgTypeRecord SgProjectedLight::typeRecord{"SgProjectedLight", &SgLight::typeRecord};

int SgProjectedLight::Register() {
    return SgClassRegistry::Register(typeRecord, SgCreateObject<SgProjectedLight, SgLinkIdData2>);
}

const SgTypeRecord* SgProjectedLight::GetTypeRecord() const { return &typeRecord; }

SgProjectedLight::SgProjectedLight() {
    type = kLightType;
    UpdateState(currentState_);
}

SgProjectedLight::~SgProjectedLight() = default;

void SgProjectedLight::BuildProjection() {
    BuildTextureProjection();
    BuildFrustumPlanes();
}

void SgProjectedLight::BuildTextureProjection() {
    D3 e(worldWindowCentre), d(worldBack), u(worldUp), rt(worldRight), q(worldProjectionCentre);
    double w = windowWidth, h = windowHeight;
    auto setRow = [this](int row, const D3& v, double last) {
        projective[row * 4 + 0] = float(v.x);
        projective[row * 4 + 1] = float(v.y);
        projective[row * 4 + 2] = float(v.z);
        projective[row * 4 + 3] = float(last);
    };
    if (projectionKind == kPerspective) {
        D3 qe = q - e;
        double f = d.Dot(qe);
        if (w != 0.0) {
            double alpha = -2.0 * rt.Dot(qe) / w;
            double k = 2.0 * f / w;
            setRow(0, rt * k + d * alpha, -k * e.Dot(rt) - alpha * e.Dot(d));
        } else {
            setRow(0, D3(), 0.0);
        }
        if (h != 0.0) {
            double beta = -2.0 * u.Dot(qe) / h;
            double k = 2.0 * f / h;
            setRow(1, u * k + d * beta, -k * e.Dot(u) - beta * e.Dot(d));
        } else {
            setRow(1, D3(), 0.0);
        }
        setRow(3, -d, f + e.Dot(d));
    } else if (projectionKind == kParallel) {
        D3 c0(worldDirection), c1(worldColumn1), c2(worldColumn2);
        D3 dir = e - q;
        double along = dir.Dot(c0);
        double k = along != 0.0 ? 1.0 / along : 0.0;
        D3 row0 = w != 0.0 ? c2 * (1.0 / w) - c0 * (dir.Dot(c2) * k / w) : D3();
        D3 row1 = h != 0.0 ? c1 * (1.0 / h) - c0 * (dir.Dot(c1) * k / h) : D3();
        const SgVec3 rows[3] = {row0.F(), row1.F(), c0.F()};
        for (int r = 0; r < 3; ++r) {
            textureRotation.m[r * 3 + 0] = rows[r].x;
            textureRotation.m[r * 3 + 1] = rows[r].y;
            textureRotation.m[r * 3 + 2] = rows[r].z;
        }
        textureTranslation = SgZeroVec3;
    }
}

bool SgProjectedLight::LoadFromStream(SgSceneStream& s) {
    if (!SgLight::LoadFromStream(s))
        return false;
    modeWord1 = s.ReadU32();
    modeWord2 = s.ReadU32();
    projectionKind = s.ReadU32();
    LoadFrame(s);
    extraWord1 = s.ReadU32();
    extraVector.LoadFromStream(s);
    extraWord2 = s.ReadU32();
    textureRotation.LoadFromStream(s);
    textureTranslation.LoadFromStream(s);
    LoadPlanes(s);
    LoadReference(s);
    return s.ReadOk();
}

void SgProjectedLight::LinkFromStream(SgSceneStream& s) {
    SgLight::LinkFromStream(s);
    if (SgLinkIdData* link = LinkRecordBase())
        reference = s.ResolveLinkId(link->refId);
}

bool SgProjectedLight::RegisterInStream(SgSceneStream& s) {
    if (!SgLight::RegisterInStream(s))
        return false;
    if (reference)
        reference->RegisterInStream(s);
    return true;
}

void SgProjectedLight::SaveToStream(SgSceneStream& s) const {
    SgLight::SaveToStream(s);
    s.WriteU32(modeWord1);
    s.WriteU32(modeWord2);
    s.WriteU32(projectionKind);
    SaveFrame(s);
    s.WriteU32(extraWord1);
    extraVector.SaveToStream(s);
    s.WriteU32(extraWord2);
    textureRotation.SaveToStream(s);
    textureTranslation.SaveToStream(s);
    SavePlanes(s);
    s.WriteLinkId(reference.Get());
}

bool SgProjectedLight::IsEqualTo(const SgObject* other) const {
    const SgProjectedLight* o = SgKindCast<SgProjectedLight>(other);
    if (!o || !SgLight::IsEqualTo(o))
        return false;
    if (modeWord1 != o->modeWord1 || modeWord2 != o->modeWord2 || projectionKind != o->projectionKind ||
        !windowCentre.IsEqualTo(o->windowCentre) || !backVector.IsEqualTo(o->backVector) ||
        !upVector.IsEqualTo(o->upVector) || !projectionCentre.IsEqualTo(o->projectionCentre) ||
        windowWidth != o->windowWidth || windowHeight != o->windowHeight || extraWord1 != o->extraWord1 ||
        !extraVector.IsEqualTo(o->extraVector) || extraWord2 != o->extraWord2 ||
        !textureRotation.IsEqualTo(o->textureRotation) || !textureTranslation.IsEqualTo(o->textureTranslation) ||
        !SamePlanes(*o))
        return false;
    if (comparing_)
        return true;
    comparing_ = true;
    bool same = SameReference(reference.Get(), o->reference.Get());
    comparing_ = false;
    return same;
}
