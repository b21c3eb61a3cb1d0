#include "engine/core/sg_camera.h"

#include <cfloat>
#include <cmath>
#include <new>
#include <vector>

#include "engine/core/sg_camera_action.h"
#include "engine/core/sg_entry_pool.h"
#include "engine/core/sg_node.h"
#include "engine/core/sg_registry.h"
#include "engine/core/sg_stream.h"

namespace {

// The camera's link record: properties, screen polygons and actions as id lists, the root in
// refId and the display beside it.
class SgCameraLinkData : public SgLinkIdData3 {
public:
    static SgTypeRecord typeRecord;
    const SgTypeRecord* GetTypeRecord() const override { return &typeRecord; }

    uint32_t displayId = 0;
};

constinit SgTypeRecord SgCameraLinkData::typeRecord{"SgCameraLinkData", &SgLinkIdData3::typeRecord};

SgEntryPool& EntryPool() {
    static SgEntryPool pool(sizeof(SgDeferredDrawEntry));
    return pool;
}

// A unit vector, or zero for one too short to divide by.
SgVec3 Unit(SgVec3 v) {
    v.Normalize();
    return v;
}

float SafeRatio(double numerator, double denominator) {
    return denominator != 0.0 ? static_cast<float>(numerator / denominator) : 0.0f;
}

}  // namespace

void SgDeferredDrawEntry::Free(SgDeferredDrawEntry* entry) {
    if (!entry)
        return;
    entry->~SgDeferredDrawEntry();
    EntryPool().Give(entry, sizeof(SgDeferredDrawEntry));
}

constinit SgTypeRecord SgCamera::typeRecord{"SgCamera", &SgAVObject::typeRecord};

int SgCamera::Register() {
    return SgClassRegistry::Register(typeRecord, SgCreateObject<SgCamera, SgCameraLinkData>);
}

const SgTypeRecord* SgCamera::GetTypeRecord() const { return &typeRecord; }

SgCamera::SgCamera() {
    for (uint32_t i = 0; i < kOwnPlanes; ++i)
        planes_.Append(&ownPlanes_[i]);
    clipBuffer_ = new const SgPlaneEq*[clipBufferCapacity_]();
    if (currentState_)
        currentState_->worldBound.radius = 0.0f;
    UpdateState(currentState_);
}

SgCamera::~SgCamera() {
    planes_.RemoveAll();
    actions_.Clear();
    screenPolygons_.RemoveAll();
    display_ = nullptr;
    sceneRoot_ = nullptr;
    delete[] clipBuffer_;
}

// ---- World states ----

SgWorldState* SgCamera::FindOrMakeWorldState(SgAVObject* key) {
    // The caller holds a reference to the camera: leaving the old parent may drop that one's.
    if (SgNode* parent = SgKindCast<SgNode>(CurrentStateKey()))
        parent->RemoveChild(this);
    SgWorldState* state = currentState_ ? currentState_ : worldStates_.At(0);
    if (!state)
        return SgAVObject::FindOrMakeWorldState(key);
    state->key = key;
    currentState_ = state;
    return state;
}

bool SgCamera::DropWorldState(SgAVObject* key) { return worldStates_.Rekey(key, nullptr) != nullptr; }

SgAVObject* SgCamera::MakeCopy(SgAVObject* copy) {
    SgCamera* c = copy ? static_cast<SgCamera*>(copy) : new SgCamera;
    CopyFieldsInto(c);
    c->localEye = localEye;
    c->localViewDirection = localViewDirection;
    c->localUp = localUp;
    c->localRight = localRight;
    c->worldLocation_ = worldLocation_;
    c->worldAxes_ = worldAxes_;
    c->worldEye_ = worldEye_;
    c->worldViewDirection_ = worldViewDirection_;
    c->worldUp_ = worldUp_;
    c->worldRight_ = worldRight_;
    for (int i = 0; i < 16; ++i)
        c->projection_[i] = projection_[i];
    c->projectionExtra_ = projectionExtra_;
    c->projectionFactors_[0] = projectionFactors_[0];
    c->projectionFactors_[1] = projectionFactors_[1];
    for (uint32_t i = 0; i < kOwnPlanes; ++i)
        c->ownPlanes_[i] = ownPlanes_[i];
    c->frustum = frustum;
    c->viewport = viewport;
    c->sceneRoot_ = sceneRoot_;
    c->display_ = display_;
    // The count beyond six names planes portals pushed into this camera's array for the frame
    // being drawn; the copy holds only its own six, so that is the count it can have.
    c->activePlaneCount_ = kOwnPlanes;
    c->useDeferralPass = useDeferralPass;
    c->deferralFlag = deferralFlag;
    c->lodFactor = lodFactor;
    c->time_ = time_;
    return c;
}

// ---- The view ----

SgFrustum SgCamera::ShiftedWindow() const {
    SgFrustum w = frustum;
    float alongRight = localEye.Dot(localRight);
    float alongUp = localEye.Dot(localUp);
    w.left += alongRight;
    w.right += alongRight;
    w.top += alongUp;
    w.bottom += alongUp;
    return w;
}

void SgCamera::ComposeWorldPlacement(SgWorldState* state) {
    SgAVObject::ComposeWorldPlacement(state);
    if (!state)
        return;
    const SgMat3& r = state->worldRotation;
    worldLocation_ = state->worldTranslation;
    worldAxes_ = r.Transpose();
    worldEye_ = worldLocation_ + r * localEye;
    worldViewDirection_ = r * localViewDirection;
    worldUp_ = r * localUp;
    worldRight_ = worldViewDirection_.Cross(worldUp_);
    RebuildPlanes();
    RebuildProjection();
}

void SgCamera::RebuildPlanes() {
    // The camera looks along F = -D; the window's horizontal axis is h = up x D, the one the
    // renderer builds from the same two vectors.
    SgVec3 f = Unit(worldViewDirection_.Negate());
    SgVec3 u = Unit(worldUp_);
    SgVec3 h = Unit(u.Cross(worldViewDirection_));
    SgFrustum w = ShiftedWindow();
    float n = w.nearDistance;
    const SgVec3& l = worldLocation_;

    ownPlanes_[0] = SgPlaneEq(f, l + f * n);
    ownPlanes_[1] = SgPlaneEq(f.Negate(), l + f * w.farDistance);
    // Each side plane holds the location and one edge of the window at the near distance.
    SgVec3 leftEdge = f * n + h * w.left;
    SgVec3 rightEdge = f * n + h * w.right;
    SgVec3 topEdge = f * n + u * w.top;
    SgVec3 bottomEdge = f * n + u * w.bottom;
    ownPlanes_[2] = SgPlaneEq(Unit(leftEdge.Cross(u)), l);
    ownPlanes_[3] = SgPlaneEq(Unit(u.Cross(rightEdge)), l);
    ownPlanes_[4] = SgPlaneEq(Unit(topEdge.Cross(h)), l);
    ownPlanes_[5] = SgPlaneEq(Unit(h.Cross(bottomEdge)), l);
}

void SgCamera::RebuildProjection() {
    SgVec3 f = Unit(worldViewDirection_.Negate());
    SgVec3 u = Unit(worldUp_);
    SgVec3 h = Unit(u.Cross(worldViewDirection_));
    SgFrustum w = ShiftedWindow();
    double n = w.nearDistance, fa = w.farDistance;
    float ax = SafeRatio(2.0 * n, double(w.right) - w.left);
    float bx = SafeRatio(double(w.right) + w.left, double(w.right) - w.left);
    float ay = SafeRatio(2.0 * n, double(w.top) - w.bottom);
    float by = SafeRatio(double(w.top) + w.bottom, double(w.top) - w.bottom);
    float depthScale = SafeRatio(1.0, fa - n);

    auto setRow = [this](int row, const SgVec3& v, float offset) {
        projection_[row * 4 + 0] = v.x;
        projection_[row * 4 + 1] = v.y;
        projection_[row * 4 + 2] = v.z;
        projection_[row * 4 + 3] = offset;
    };
    const SgVec3& l = worldLocation_;
    SgVec3 xRow = h * ax + f * bx;
    SgVec3 yRow = u * ay + f * by;
    SgVec3 zRow = f * depthScale;
    setRow(0, xRow, -xRow.Dot(l));
    setRow(1, yRow, -yRow.Dot(l));
    setRow(2, zRow, -(f.Dot(l) + static_cast<float>(n)) * depthScale);
    setRow(3, f, -f.Dot(l));
    projectionExtra_ = static_cast<float>(fa - n);
    projectionFactors_[0] = ax;
    projectionFactors_[1] = ay;
}

void SgCamera::RefreshWorldBound(SgWorldState* state) {
    if (!state)
        return;
    currentState_ = state;
    state->worldBound.centre = state->worldTranslation;
    state->worldBound.radius = 0.0f;
    state->worldBound.unset = 0;
}

// ---- Frames ----

void SgCamera::RenderFrame(double time) {
    time_ = time;
    SgRef<SgDisplay> display = display_;
    if (!display)
        return;
    SgRender* renderer = display->Renderer();

    // A step may detach actions: walk a copy of the list.
    std::vector<SgRef<SgCameraAction>> actions;
    for (SgCameraAction* a : actions_)
        actions.emplace_back(a);
    for (SgRef<SgCameraAction>& a : actions) {
        a->SetCamera(this);
        a->Step(time, 0);
        a->SetCamera(nullptr);
    }

    if (renderer)
        renderer->SetCamera(worldLocation_, worldAxes_, worldViewDirection_, worldUp_, worldRight_, ShiftedWindow(),
                            viewport);
    display->BeginFrame();
    SgRef<SgAVObject> root = sceneRoot_;
    if (root && root->HasWorldBound()) {
        if (!useDeferralPass)
            root->DrawIfVisible(this, root->CurrentState());
        else
            root->DrawOrDeferIfVisible(this, nullptr, root->CurrentState());
    }
    for (uint32_t i = 0; i < screenPolygons_.UsedSize(); ++i)
        if (SgRef<SgScreenPolygon> polygon = screenPolygons_.GetArrayElementRef(i))
            polygon->Draw(display.Get());
    display->EndFrame();
}

void SgCamera::PassViewToRenderer(uint32_t clearFlags) {
    if (display_)
        display_->ClearBuffers(&viewport, clearFlags);
}

void SgCamera::FinishView() {
    if (display_)
        display_->PresentFrame();
}

// ---- Projections ----

void SgCamera::ProjectedSize(const SgBoundSphere& sphere, float& horizontal, float& vertical) const {
    float depth = worldViewDirection_.Dot(worldLocation_ - sphere.centre);
    if (depth > -1e-5f && depth < 1e-5f) {
        horizontal = vertical = FLT_MAX;
        return;
    }
    float s = sphere.radius / std::fabs(depth);
    horizontal = s * projectionFactors_[0];
    vertical = s * projectionFactors_[1];
}

float SgCamera::ProjectRow(int row, const SgVec3& p, float& w) const {
    const float* r = projection_ + row * 4;
    const float* wr = projection_ + 12;
    w = wr[0] * p.x + wr[1] * p.y + wr[2] * p.z + wr[3];
    float v = r[0] * p.x + r[1] * p.y + r[2] * p.z + r[3];
    return w != 0.0f ? v / w : 0.0f;
}

void SgCamera::ProjectBound(const SgBoundSphere& sphere, SgVec3& minimum, SgVec3& maximum) const {
    const SgVec3& c = sphere.centre;
    float r = sphere.radius;
    SgVec3 d = c - worldLocation_;
    float t = worldViewDirection_.Dot(worldLocation_ - c);
    float range = frustum.farDistance - frustum.nearDistance;
    minimum.z = SafeRatio(double(t) - frustum.nearDistance - r, range);
    maximum.z = SafeRatio(double(t) - frustum.nearDistance + r, range);

    bool behind = false;
    auto span = [&](int row, const SgVec3& axis, float& low, float& high) {
        SgVec3 u = Unit(d.Cross(axis));
        float w1, w2;
        float a = ProjectRow(row, c - u * r, w1);
        float b = ProjectRow(row, c + u * r, w2);
        if (w1 <= 1e-5f || w2 <= 1e-5f)
            behind = true;
        low = a < b ? a : b;
        high = a < b ? b : a;
    };
    span(0, worldUp_, minimum.x, maximum.x);
    span(1, worldRight_, minimum.y, maximum.y);
    if (behind) {
        minimum.x = minimum.y = -1.0f;
        maximum.x = maximum.y = 1.0f;
    }
}

void SgCamera::ProjectEntryBound(const SgDeferredDrawEntry& entry, SgVec3& minimum, SgVec3& maximum) const {
    ProjectBound(entry.bound, minimum, maximum);
}

// ---- Screen polygons and actions ----

void SgCamera::AttachOverlayPolygon(SgScreenPolygon* polygon) {
    screenPolygons_.AddToFirstFree(SgRef<SgScreenPolygon>(polygon));
}

void SgCamera::DetachOverlayPolygon(SgScreenPolygon* polygon) {
    if (!polygon)
        return;
    int64_t index = screenPolygons_.Find(polygon);
    if (index >= 0)
        screenPolygons_.SetArrayElement(static_cast<uint32_t>(index), SgRef<SgScreenPolygon>());
}

void SgCamera::AttachAction(SgCameraAction* action) { actions_.Prepend(action); }

SgRef<SgCameraAction> SgCamera::DetachAction(SgCameraAction* action) {
    if (!action || !actions_.Contains(action))
        return {};
    SgRef<SgCameraAction> held(action);
    actions_.Remove(action);
    return held;
}

// ---- Deferred drawing ----

SgDeferredDrawEntry* SgCamera::MakeDeferredEntry(SgAVObject* object, SgWorldState* state) {
    void* block = EntryPool().Take(sizeof(SgDeferredDrawEntry));
    if (!block)
        return nullptr;
    auto* entry = new (block) SgDeferredDrawEntry;
    entry->object = object;
    entry->state = state;
    if (object)
        entry->bound.Copy(object->WorldBound());
    if (display_)
        display_->TakeSnapshot(entry->display);
    entry->deferralFlag = deferralFlag;
    for (int i = 0; i < 4; ++i)
        entry->disabledMask[i] = disabledMask_[i];
    return entry;
}

void SgCamera::DrawDeferredEntry(SgDeferredDrawEntry* entry) {
    if (!entry || !entry->object || !display_)
        return;
    uint8_t savedFlag = deferralFlag;
    uint32_t savedMask[4];
    for (int i = 0; i < 4; ++i) {
        savedMask[i] = disabledMask_[i];
        disabledMask_[i] = entry->disabledMask[i];
    }
    deferralFlag = entry->deferralFlag;
    SgRef<SgDisplay> display = display_;
    display->DrawDeferred(entry->display, [&] { entry->object->DrawOrDefer(this, nullptr, entry->state); });
    deferralFlag = savedFlag;
    for (int i = 0; i < 4; ++i)
        disabledMask_[i] = savedMask[i];
}

// ---- Planes ----

bool SgCamera::PlaneDisabled(uint32_t i) const {
    return i < kMaxPlanes && (disabledMask_[i / 32] & (1u << (i % 32))) != 0;
}

void SgCamera::SetPlaneDisabled(uint32_t i, bool disabled) {
    if (i >= kMaxPlanes)
        return;
    if (disabled)
        disabledMask_[i / 32] |= 1u << (i % 32);
    else
        disabledMask_[i / 32] &= ~(1u << (i % 32));
}

bool SgCamera::PushPlane(const SgPlaneEq* plane) {
    if (!plane || activePlaneCount_ >= kMaxPlanes)
        return false;
    planes_.SetAtGrow(activePlaneCount_, plane);
    SetPlaneDisabled(activePlaneCount_, false);
    ++activePlaneCount_;
    return true;
}

void SgCamera::PopPlanes(uint32_t n) {
    while (n-- > 0 && activePlaneCount_ > kOwnPlanes) {
        --activePlaneCount_;
        planes_.SetArrayElement(activePlaneCount_, nullptr);
        SetPlaneDisabled(activePlaneCount_, false);
    }
}

void SgCamera::PassClipPlanes() {
    SgRender* renderer = display_ ? display_->Renderer() : nullptr;
    if (!renderer)
        return;
    if (clipBufferCapacity_ < activePlaneCount_) {
        delete[] clipBuffer_;
        clipBufferCapacity_ = activePlaneCount_ + kOwnPlanes;
        clipBuffer_ = new const SgPlaneEq*[clipBufferCapacity_]();
    }
    uint32_t count = 0, own = 0, mask = 0;
    for (uint32_t i = 0; i < activePlaneCount_; ++i) {
        if (PlaneDisabled(i) || !planes_.At(i))
            continue;
        clipBuffer_[count++] = planes_.At(i);
        if (i < kOwnPlanes) {
            ++own;
            mask |= 1u << i;
        }
    }
    renderer->SetClipPlanes(clipBuffer_, count, own, mask);
}

// ---- Stream ----

bool SgCamera::LoadFromStream(SgSceneStream& s) {
    if (!SgAVObject::LoadFromStream(s))
        return false;
    localEye.LoadFromStream(s);
    localViewDirection.LoadFromStream(s);
    localUp.LoadFromStream(s);
    localRight.LoadFromStream(s);
    frustum.left = s.ReadF32();
    frustum.right = s.ReadF32();
    frustum.top = s.ReadF32();
    frustum.bottom = s.ReadF32();
    frustum.nearDistance = s.ReadF32();
    frustum.farDistance = s.ReadF32();
    viewport.left = s.ReadF32();
    viewport.right = s.ReadF32();
    viewport.top = s.ReadF32();
    viewport.bottom = s.ReadF32();
    useDeferralPass = s.ReadU8();
    deferralFlag = s.ReadU8();
    lodFactor = s.ReadF32();
    uint32_t rootId = s.ReadU32();
    uint32_t displayId = s.ReadU32();
    SgCameraLinkData* link = LinkRecord<SgCameraLinkData>();
    if (link) {
        link->refId = rootId;
        link->displayId = displayId;
    }
    if (!SgLoadLinkIds(s, link ? link->IdList(1) : nullptr) || !SgLoadLinkIds(s, link ? link->IdList(2) : nullptr))
        return false;
    UpdateAllStates();
    return s.ReadOk();
}

void SgCamera::LinkFromStream(SgSceneStream& s) {
    SgAVObject::LinkFromStream(s);
    SgCameraLinkData* link = LinkRecord<SgCameraLinkData>();
    if (!link)
        return;
    sceneRoot_ = s.Resolve<SgAVObject>(link->refId);
    display_ = s.Resolve<SgDisplay>(link->displayId);
    const SgPtrArray<uint32_t>* polygons = link->IdList(1);
    for (uint32_t i = 0; i < polygons->UsedSize(); ++i)
        screenPolygons_.SetAtGrow(screenPolygons_.UsedSize(), s.Resolve<SgScreenPolygon>(polygons->At(i)));
    const SgPtrArray<uint32_t>* actions = link->IdList(2);
    for (uint32_t i = actions->UsedSize(); i-- > 0;)
        actions_.Prepend(s.Resolve<SgCameraAction>(actions->At(i)));
}

bool SgCamera::RegisterInStream(SgSceneStream& s) {
    if (!SgAVObject::RegisterInStream(s))
        return false;
    if (sceneRoot_)
        sceneRoot_->RegisterInStream(s);
    for (uint32_t i = 0; i < screenPolygons_.UsedSize(); ++i)
        if (SgScreenPolygon* p = screenPolygons_.At(i))
            p->RegisterInStream(s);
    for (SgCameraAction* a : actions_)
        a->RegisterInStream(s);
    return true;
}

void SgCamera::SaveToStream(SgSceneStream& s) const {
    SgAVObject::SaveToStream(s);
    localEye.SaveToStream(s);
    localViewDirection.SaveToStream(s);
    localUp.SaveToStream(s);
    localRight.SaveToStream(s);
    s.WriteF32(frustum.left);
    s.WriteF32(frustum.right);
    s.WriteF32(frustum.top);
    s.WriteF32(frustum.bottom);
    s.WriteF32(frustum.nearDistance);
    s.WriteF32(frustum.farDistance);
    s.WriteF32(viewport.left);
    s.WriteF32(viewport.right);
    s.WriteF32(viewport.top);
    s.WriteF32(viewport.bottom);
    s.WriteU8(useDeferralPass);
    s.WriteU8(deferralFlag);
    s.WriteF32(lodFactor);
    s.WriteLinkId(sceneRoot_.Get());
    s.WriteLinkId(display_.Get());
    s.WriteU32(screenPolygons_.UsedSize());
    for (uint32_t i = 0; i < screenPolygons_.UsedSize(); ++i)
        s.WriteLinkId(screenPolygons_.At(i));
    s.WriteU32(actions_.Count());
    for (SgCameraAction* a : actions_)
        s.WriteLinkId(a);
}

bool SgCamera::SameView(const SgCamera* o) const {
    if (!o || !SgAVObject::IsEqualTo(o))
        return false;
    if (!localEye.IsEqualTo(o->localEye) || !localViewDirection.IsEqualTo(o->localViewDirection) ||
        !localUp.IsEqualTo(o->localUp) || !localRight.IsEqualTo(o->localRight))
        return false;
    const SgFrustum& a = frustum;
    const SgFrustum& b = o->frustum;
    if (a.left != b.left || a.right != b.right || a.top != b.top || a.bottom != b.bottom ||
        a.nearDistance != b.nearDistance || a.farDistance != b.farDistance)
        return false;
    if (viewport.left != o->viewport.left || viewport.right != o->viewport.right ||
        viewport.top != o->viewport.top || viewport.bottom != o->viewport.bottom)
        return false;
    if (useDeferralPass != o->useDeferralPass || deferralFlag != o->deferralFlag || lodFactor != o->lodFactor)
        return false;
    if (screenPolygons_.UsedSize() != o->screenPolygons_.UsedSize())
        return false;
    for (uint32_t i = 0; i < screenPolygons_.UsedSize(); ++i)
        if (!SgSameObjects(screenPolygons_.At(i), o->screenPolygons_.At(i)))
            return false;
    return true;
}

bool SgCamera::IsEqualTo(const SgObject* other) const {
    const SgCamera* o = SgKindCast<SgCamera>(other);
    if (!SameView(o))
        return false;
    return SgChainsMatch(actions_, o->actions_, SgSameObjects);
}
