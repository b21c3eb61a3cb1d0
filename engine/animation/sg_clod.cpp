#include "engine/animation/sg_clod.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "engine/core/sg_camera.h"
#include "engine/core/sg_display.h"
#include "engine/core/sg_registry.h"
#include "engine/core/sg_render.h"
#include "engine/core/sg_stream.h"
#include "engine/core/sg_stream_arrays.h"

namespace {

constexpr uint8_t kNext[3] = {1, 2, 0};
constexpr uint8_t kPrev[3] = {2, 0, 1};

SgClodLevelCallback g_defaultCallback = nullptr;
uint32_t g_defaultUser = 0;

template <class T>
std::unique_ptr<T[]> CopyPrefix(const T* from, size_t count, size_t capacity) {
    if (!from)
        return nullptr;
    std::unique_ptr<T[]> to(new T[capacity ? capacity : 1]());
    for (size_t i = 0; i < count && i < capacity; ++i)
        to[i] = from[i];
    return to;
}

SgVec3 UnitOrZero(const SgVec3& n) {
    float length = n.Length();
    return length > 1e-6f ? n * (1.0f / length) : SgVec3();
}

}  // namespace

// ---- Level data and states ----

SgClodData::~SgClodData() = default;

SgClodData* SgClodData::Clone(uint32_t triangleCapacity, uint32_t slotCount) const {
    auto* d = new SgClodData;
    size_t corners = 3u * size_t(triangleCapacity);
    d->adjacency = CopyPrefix(adjacency.get(), corners, corners);
    d->triangles = CopyPrefix(triangles.get(), corners, corners);
    d->planes = CopyPrefix(planes.get(), triangleCapacity, triangleCapacity);
    d->textureCoords = CopyPrefix(textureCoords.get(), slotCount, slotCount);
    d->colors = CopyPrefix(colors.get(), slotCount, slotCount);
    d->slotMap = CopyPrefix(slotMap.get(), slotCount, slotCount);
    d->triangleCount = triangleCount;
    d->nextId = nextId;
    d->activeVertexCount = activeVertexCount;
    d->stepIndex = stepIndex;
    return d;
}

SgClodWorldState::~SgClodWorldState() = default;

// ---- Class ----

constinit SgTypeRecord SgClod::typeRecord{"SgClod", &SgTriBasedGeom::typeRecord};

int SgClod::Register() { return SgClassRegistry::Register(typeRecord, SgCreateObject<SgClod, SgLinkIdData>); }

const SgTypeRecord* SgClod::GetTypeRecord() const { return &typeRecord; }

SgClod::SgClod() : level_(new SgClodData) {
    // The base constructors made plain geometry states.
    ResetWorldStates();
    if (currentState_)
        AssignLevel(static_cast<SgClodWorldState*>(currentState_));
}

SgClod::~SgClod() = default;

void SgClod::SetDefaultLevelCallback(SgClodLevelCallback callback, uint32_t user) {
    g_defaultCallback = callback;
    g_defaultUser = user;
}

void SgClod::SetLevelCallback(SgClodLevelCallback callback, uint32_t user) {
    callback_ = callback;
    userValue_ = user;
}

SgWorldState* SgClod::NewWorldState() { return new SgClodWorldState; }

void SgClod::AssignLevel(SgClodWorldState* state) {
    if (!state || state->level)
        return;
    if (perStateData && level_ && level_->RefCount() >= 2)
        state->level = level_->Clone(triangleCount_, slotCount_);
    else
        state->level = level_;
}

SgWorldState* SgClod::FindOrMakeWorldState(SgAVObject* key) {
    SgWorldState* state = SgTriBasedGeom::FindOrMakeWorldState(key);
    if (state)
        AssignLevel(static_cast<SgClodWorldState*>(state));
    return state;
}

SgClodData* SgClod::LevelOf(SgWorldState* state) {
    if (!state)
        return level_.Get();
    auto* s = static_cast<SgClodWorldState*>(state);
    AssignLevel(s);
    return s->level.Get();
}

uint16_t SgClod::SlotsInUse(const SgClodData& d) const {
    if (!d.activeVertexCount || !records_)
        return 0;
    return static_cast<uint16_t>(records_[d.activeVertexCount - 1].slot + 1);
}

// ---- Copies ----

SgAVObject* SgClod::MakeCopy(SgAVObject* copy) {
    // A subclass that really copies hands its new object in.
    if (!copy)
        return this;
    CopyFieldsInto(static_cast<SgClod*>(copy));
    return copy;
}

void SgClod::FixUpCopy(SgAVObject*) {}
void SgClod::FinishCopy(SgAVObject*) {}

void SgClod::CopyFieldsInto(SgClod* copy) const {
    SgTriBasedGeom::CopyFieldsInto(copy);
    copy->planes_.reset();
    copy->records_ = SgCopyArray(records_.get(), vertexCount_);
    copy->steps_ = SgCopyArray(steps_.get(), stepCount_);
    copy->baseTriangles_ = SgCopyArray(baseTriangles_.get(), 6u * baseTriangleCount_);
    copy->stepCount_ = stepCount_;
    copy->loadedVertexCount_ = loadedVertexCount_;
    copy->slotCount_ = slotCount_;
    copy->baseTriangleCount_ = baseTriangleCount_;
    copy->baseVertexCount_ = baseVertexCount_;
    copy->baseNextId_ = baseNextId_;
    copy->detailFactor = detailFactor;
    copy->callback_ = callback_;
    copy->userValue_ = userValue_;
    copy->perStateData = perStateData;
    copy->keepPlanes = keepPlanes;
    copy->scratch_ = SgCopyArray(scratch_.get(), scratchLength_);
    copy->scratchLength_ = scratchLength_;
    copy->touched_.reset(new uint16_t[triangleCount_ ? triangleCount_ : 1]);
    copy->touchedCount_ = 0;
    copy->slotCapacity_ = slotCapacity_;
    copy->level_ = level_;
    const SgWorldStateList& states = copy->WorldStates();
    for (uint32_t i = 0; i < states.UsedSize(); ++i) {
        if (auto* s = static_cast<SgClodWorldState*>(states.At(i))) {
            s->level = nullptr;
            copy->AssignLevel(s);
        }
    }
}

// ---- Level selection ----

uint16_t SgClod::DefaultTargetTriangles(SgCamera* camera, SgWorldState* state) const {
    if (!camera || !state)
        return 0;
    float px, py;
    camera->ProjectedSize(state->worldBound, px, py);
    double area = 0.0;
    if (SgDisplay* display = camera->Display())
        if (SgRender* render = display->Renderer())
            area = double(render->GetTargetWidth()) * double(render->GetTargetHeight());
    double value = double(px) * double(py) * area * double(detailFactor);
    // NaN (a bound that is not a number) gives the base, like a target of 0.
    if (!(value > 0.0))
        return 0;
    if (value > 65535.0)
        return 0xFFFF;
    return static_cast<uint16_t>(value);
}

void SgClod::PushDrawState(SgCamera* camera, SgWorldState* state) {
    suppressed_ = 0;
    uint16_t target = 0;
    bool decided = false;
    if (callback_) {
        uint16_t asked = 0;
        if (callback_(this, camera, userValue_, &asked)) {
            if (asked == 0) {
                suppressed_ = 1;
                return;
            }
            target = asked;
            decided = true;
        }
    }
    if (!decided)
        target = DefaultTargetTriangles(camera, state);
    SetTriangleCount(state, target);
    SgTriBasedGeom::PushDrawState(camera, state);
}

void SgClod::PopDrawState(SgCamera* camera, SgWorldState* state) {
    if (!suppressed_)
        SgTriBasedGeom::PopDrawState(camera, state);
}

void SgClod::SetTriangleCount(SgWorldState* state, uint16_t target) {
    SgClodData* d = LevelOf(state);
    if (!d || (!steps_ && stepCount_))
        return;
    uint16_t before = d->triangleCount;
    SetLevel(*d, target);
    if (state && d->triangleCount != before)
        state->refreshVertices = 1;
}

void SgClod::SetLevel(SgClodData& d, uint16_t wanted) {
    int c = d.triangleCount;
    int target = wanted;
    if (c < target) {
        if (target > triangleCount_)
            target = triangleCount_;
        while (d.triangleCount + 1 < target && d.stepIndex < stepCount_)
            Refine(d);
        if (d.triangleCount < target && d.stepIndex < stepCount_) {
            int k = steps_[d.stepIndex].HasB() ? 2 : 1;
            if (d.triangleCount + k <= target)
                Refine(d);
        }
    } else if (c > target) {
        if (target < baseTriangleCount_)
            target = baseTriangleCount_;
        while (d.triangleCount > target + 1 && d.stepIndex > 0)
            UndoStep(d);
        if (d.triangleCount > target && d.stepIndex > 0) {
            int k = steps_[d.stepIndex - 1].HasB() ? 2 : 1;
            if (d.triangleCount - k >= target)
                UndoStep(d);
        }
    }
}

void SgClod::Refine(SgClodData& d) {
    const SgClodStep& s = steps_[d.stepIndex];
    ApplyStep(d);
    d.nextId = static_cast<uint16_t>(d.nextId + 2);
    d.activeVertexCount = static_cast<uint16_t>(d.activeVertexCount + s.NewVertices());
    d.stepIndex += 1;
}

// ---- Steps ----

int SgClod::CornerOf(const SgClodData& d, uint16_t t, uint16_t id) const {
    const uint16_t* c = &d.triangles[3u * t];
    for (int k = 0; k < 3; ++k)
        if (records_[d.slotMap[c[k]]].id == id)
            return k;
    return -1;
}

template <class Visit>
bool SgClod::VisitFan(SgClodData& d, uint16_t t, uint16_t far, uint16_t id, const uint8_t* direction, Visit& visit) {
    // A damaged or inconsistent fan cannot loop: the walk stops after as many visits as there
    // are triangles, or at a triangle without the walked id.
    uint32_t visits = 0;
    while (t != kNone) {
        if (t >= d.triangleCount || ++visits > d.triangleCount)
            return false;
        int k = CornerOf(d, t, id);
        if (k < 0)
            return false;
        visit(t, k);
        if (t == far)
            return false;
        t = d.adjacency[3u * t + direction[k]];
    }
    return true;
}

void SgClod::Touch(uint16_t t) {
    if (keepPlanes && touched_ && touchedCount_ < triangleCount_)
        touched_[touchedCount_++] = t;
}

void SgClod::RefreshTouchedPlanes(SgClodData& d) {
    // Planes are taken once the slot map names the new vertices: during a walk a reused slot
    // still leads to its previous occupant.
    for (uint32_t i = 0; i < touchedCount_; ++i)
        ComputeLevelPlane(d, touched_[i]);
    touchedCount_ = 0;
}

uint32_t SgClod::ApplyStep(SgClodData& d) {
    const SgClodStep& s = steps_[d.stepIndex];
    const uint16_t X = s.vertexId;
    const uint16_t* t = s.neighbours;
    uint16_t A = d.triangleCount++;
    // The set-up checked that every neighbour holds the parent; an inconsistent step (caught
    // there by the vertex count it reaches) must still not index with a missing corner.
    auto link = [&](uint16_t tri, const uint8_t* edge, uint16_t to) {
        int k = tri != kNone ? CornerOf(d, tri, X) : -1;
        if (k >= 0)
            d.adjacency[3u * tri + edge[k]] = to;
    };
    link(t[0], kNext, A);
    link(t[1], kPrev, A);
    Touch(A);
    if (s.HasB()) {
        uint16_t B = d.triangleCount++;
        link(t[2], kPrev, B);
        link(t[3], kNext, B);
        Touch(B);
    }

    uint32_t counter = d.activeVertexCount;
    for (int side = 0; side < 2; ++side) {
        uint16_t from = t[side], to = t[side + 2];
        if (from == kNone && to == kNone)
            continue;
        if (counter >= vertexCount_)
            break;
        uint16_t start = from != kNone ? from : to;
        int corner = CornerOf(d, start, X);
        if (corner < 0)
            continue;
        uint16_t Q = records_[counter++].slot;
        uint16_t P = d.triangles[3u * start + corner];
        // Every distinct slot the parent held around the fan becomes a distinct slot of the child.
        auto split = [&, P, Q, last = uint32_t(0x10000), cur = Q](uint16_t tri, int k) mutable {
            uint16_t& corner = d.triangles[3u * tri + k];
            if (corner != last) {
                last = corner;
                if (corner == P)
                    cur = Q;
                else if (counter < vertexCount_)
                    cur = records_[counter++].slot;
            }
            corner = cur;
            Touch(tri);
        };
        auto firstWalk = split;
        if (VisitFan(d, from, to, X, side ? kNext : kPrev, firstWalk) && to != kNone) {
            auto secondWalk = split;
            VisitFan(d, to, kNone, X, side ? kPrev : kNext, secondWalk);
        }
    }
    for (uint32_t m = d.activeVertexCount; m < counter; ++m) {
        d.slotMap[records_[m].slot] = static_cast<uint16_t>(m);
        CopySlotAttributes(d, records_[m].slot, static_cast<uint16_t>(m));
    }
    RefreshTouchedPlanes(d);
    return counter;
}

void SgClod::Gather(uint16_t vertex) {
    if (vertex == kNone)
        return;
    for (uint32_t i = 0; i < gathered_; ++i)
        if (scratch_[i] == vertex)
            return;
    if (gathered_ < scratchLength_)
        scratch_[gathered_++] = vertex;
}

void SgClod::UndoStep(SgClodData& d) {
    d.stepIndex -= 1;
    const SgClodStep& s = steps_[d.stepIndex];
    const uint16_t* t = s.neighbours;
    const uint16_t id0 = static_cast<uint16_t>(d.nextId - 2), id1 = static_cast<uint16_t>(d.nextId - 1);
    uint16_t* adj = d.adjacency.get();
    gathered_ = 0;
    for (int j = 0; j < 4; ++j) {
        if (t[j] == kNone)
            continue;
        int k = CornerOf(d, t[j], (j & 1) ? id1 : id0);
        if (k < 0)
            continue;
        Gather(records_[d.slotMap[d.triangles[3u * t[j] + k]]].mergeTarget);
        uint32_t at = 3u * t[j];
        switch (j) {
            case 0: adj[at + kNext[k]] = t[1]; break;
            case 1: adj[at + kPrev[k]] = t[0]; break;
            case 2: adj[at + kPrev[k]] = t[3]; break;
            default: adj[at + kNext[k]] = t[2]; break;
        }
    }
    d.triangleCount = static_cast<uint16_t>(d.triangleCount - (s.HasB() ? 2 : 1));

    auto merge = [&, last = uint32_t(0x10000), cur = uint16_t(0)](uint16_t tri, int k) mutable {
        uint16_t& corner = d.triangles[3u * tri + k];
        if (corner != last) {
            last = corner;
            uint16_t g = records_[d.slotMap[corner]].mergeTarget;
            if (g == kNone) {
                cur = corner;
            } else {
                Gather(g);
                cur = records_[g].slot;
            }
        }
        corner = cur;
        Touch(tri);
    };
    for (int side = 0; side < 2; ++side) {
        uint16_t from = t[side], to = t[side + 2], id = side ? id1 : id0;
        auto first = merge;
        if (VisitFan(d, from, to, id, side ? kNext : kPrev, first) && to != kNone) {
            auto second = merge;
            VisitFan(d, to, kNone, id, side ? kPrev : kNext, second);
        }
    }
    for (uint32_t i = 0; i < gathered_; ++i) {
        uint16_t g = scratch_[i];
        d.slotMap[records_[g].slot] = g;
        CopySlotAttributes(d, records_[g].slot, g);
    }
    RefreshTouchedPlanes(d);
    d.nextId = static_cast<uint16_t>(d.nextId - 2);
    d.activeVertexCount = static_cast<uint16_t>(d.activeVertexCount - s.NewVertices());
}

void SgClod::CopySlotAttributes(SgClodData& d, uint16_t slot, uint16_t vertex) const {
    if (d.textureCoords && textureSets_)
        d.textureCoords[slot] = textureSets_[vertex];
    if (d.colors && colors_)
        d.colors[slot] = colors_[vertex];
}

void SgClod::ComputeLevelPlane(SgClodData& d, uint32_t t) const {
    if (!vertices_ || !d.planes)
        return;
    const uint16_t* c = &d.triangles[3u * t];
    const SgVec3& p0 = vertices_[d.slotMap[c[0]]];
    const SgVec3& p1 = vertices_[d.slotMap[c[1]]];
    const SgVec3& p2 = vertices_[d.slotMap[c[2]]];
    SgVec3 n = (p1 - p0).Cross(p2 - p0);
    d.planes[t] = SgPlaneEq(n, n.Dot(p0));
}

// ---- Set-up ----

void SgClod::Clear() {
    records_.reset();
    steps_.reset();
    baseTriangles_.reset();
    scratch_.reset();
    touched_.reset();
    stepCount_ = slotCount_ = baseTriangleCount_ = baseVertexCount_ = baseNextId_ = 0;
    scratchLength_ = gathered_ = 0;
    touchedCount_ = 0;
    SgClodData& d = *level_;
    d.adjacency.reset();
    d.planes.reset();
    d.textureCoords.reset();
    d.colors.reset();
    d.triangles.reset();
    d.slotMap.reset();
    d.triangleCount = d.nextId = d.activeVertexCount = d.stepIndex = 0;
}

// The free-slot queue of the set-up: slots given up by merged vertices, handed out first.
class SgClod::SlotQueue {
public:
    void Push(uint16_t slot) {
        for (size_t i = head_; i < slots_.size(); ++i)
            if (slots_[i] == slot)
                return;
        slots_.push_back(slot);
    }
    bool Pop(uint16_t& slot) {
        if (head_ == slots_.size())
            return false;
        slot = slots_[head_++];
        return true;
    }

private:
    std::vector<uint16_t> slots_;
    size_t head_ = 0;
};

bool SgClod::NewSlot(uint16_t& slot) {
    if (slotCount_ >= slotCapacity_)
        return false;
    slot = slotCount_++;
    return true;
}

bool SgClod::BuildStep(SgClodData& d, SlotQueue& queue) {
    const SgClodStep& s = steps_[d.stepIndex];
    const uint16_t X = s.vertexId;
    const uint16_t* t = s.neighbours;
    const uint16_t c0 = d.triangleCount;
    if (t[0] == kNone && t[1] == kNone)
        return false;
    for (int j = 0; j < 4; ++j)
        if (t[j] != kNone && (t[j] >= c0 || CornerOf(d, t[j], X) < 0))
            return false;
    if (uint32_t(c0) + (s.HasB() ? 2 : 1) > triangleCount_ || uint32_t(d.nextId) + 2 > 0xFFFF)
        return false;

    // Prepare: which mesh vertices the step makes and which slots they take.
    const uint32_t first = d.activeVertexCount;
    uint32_t counter = first;
    bool ok = true;
    for (int side = 0; side < 2 && ok; ++side) {
        uint16_t from = t[side], to = t[side + 2];
        if (from == kNone && to == kNone)
            continue;
        const uint16_t id = static_cast<uint16_t>(d.nextId + side);
        if (counter >= vertexCount_)
            return false;
        SgClodVertex& child = records_[counter++];
        uint16_t start = from != kNone ? from : to;
        uint16_t P = d.triangles[3u * start + CornerOf(d, start, X)];
        queue.Push(P);
        child.id = id;
        child.mergeTarget = d.slotMap[P];
        auto seams = [&, last = uint32_t(0x10000)](uint16_t tri, int k) mutable {
            uint16_t slot = d.triangles[3u * tri + k];
            if (slot != P && slot != last) {
                queue.Push(slot);
                if (counter >= vertexCount_) {
                    ok = false;
                } else {
                    SgClodVertex& copy = records_[counter++];
                    copy.id = id;
                    copy.mergeTarget = d.slotMap[slot];
                }
            }
            last = slot;
        };
        auto firstWalk = seams;
        if (VisitFan(d, from, to, X, side ? kNext : kPrev, firstWalk) && to != kNone) {
            auto secondWalk = seams;
            VisitFan(d, to, kNone, X, side ? kPrev : kNext, secondWalk);
        }
    }
    if (!ok)
        return false;
    for (uint32_t m = first; m < counter; ++m)
        if (!queue.Pop(records_[m].slot) && !NewSlot(records_[m].slot))
            return false;

    if (ApplyStep(d) != counter)
        return false;

    // Refine: the corners of the new triangles.
    const uint16_t id0 = d.nextId, id1 = static_cast<uint16_t>(d.nextId + 1);
    auto corner = [&](int j, uint16_t id, int offset, uint16_t& out) {
        if (t[j] == kNone)
            return false;
        int k = CornerOf(d, t[j], id);
        if (k < 0)
            return false;
        out = d.triangles[3u * t[j] + (k + offset + 3) % 3];
        return true;
    };
    auto newVertex = [&](uint16_t id, uint16_t& out) {
        uint16_t slot;
        if (counter >= vertexCount_ || !NewSlot(slot))
            return false;
        SgClodVertex& v = records_[counter];
        v.id = id;
        v.mergeTarget = kNone;
        v.slot = slot;
        d.slotMap[slot] = static_cast<uint16_t>(counter);
        CopySlotAttributes(d, slot, static_cast<uint16_t>(counter));
        ++counter;
        out = slot;
        return true;
    };
    // A new vertex copying the id of a wing corner (of t[j] when present, else of t[alt]).
    auto newCopyOf = [&](int j, uint16_t jid, int joff, int alt, uint16_t aid, int aoff, uint16_t& out) {
        uint16_t slot;
        if (!corner(j, jid, joff, slot) && !corner(alt, aid, aoff, slot))
            return false;
        return newVertex(records_[d.slotMap[slot]].id, out);
    };
    const uint16_t f = s.flags;
    uint16_t a[3], b[3];
    const uint16_t A = c0, B = static_cast<uint16_t>(c0 + 1);
    ok = ((f & 1)   ? corner(0, id0, -1, a[0])
          : (f & 2) ? corner(1, id1, 1, a[0])
                    : newCopyOf(0, id0, -1, 1, id1, 1, a[0])) &&
         ((f & 32)                ? corner(1, id1, 0, a[1])
          : (f & 192) == 192      ? corner(3, id1, 0, a[1])
                                  : newVertex(id1, a[1])) &&
         ((f & 4)                 ? corner(0, id0, 0, a[2])
          : (f & 24) == 24        ? corner(2, id0, 0, a[2])
                                  : newVertex(id0, a[2]));
    if (!ok)
        return false;
    std::memcpy(&d.triangles[3u * A], a, sizeof a);
    uint16_t* adj = d.adjacency.get();
    adj[3u * A] = s.HasB() ? B : kNone;
    adj[3u * A + 1] = t[0];
    adj[3u * A + 2] = t[1];
    if (s.HasB()) {
        ok = ((f & 0x100)   ? corner(2, id0, 1, b[0])
              : (f & 0x200) ? corner(3, id1, -1, b[0])
                            : newCopyOf(2, id0, 1, 3, id1, -1, b[0])) &&
             ((f & 8) ? (b[1] = a[2], true) : (f & 16) ? corner(2, id0, 0, b[1]) : newVertex(id0, b[1])) &&
             ((f & 64) ? (b[2] = a[1], true) : (f & 128) ? corner(3, id1, 0, b[2]) : newVertex(id1, b[2]));
        if (!ok)
            return false;
        std::memcpy(&d.triangles[3u * B], b, sizeof b);
        adj[3u * B] = A;
        adj[3u * B + 1] = t[3];
        adj[3u * B + 2] = t[2];
    }
    if (counter - first != s.NewVertices())
        return false;

    // The last vertex made keeps the highest slot in use, so the slots drawn stay a prefix.
    const uint32_t last = counter - 1;
    if (first > 0 && records_[last].slot < records_[first - 1].slot) {
        uint16_t oldSlot = records_[last].slot, newSlot;
        if (!NewSlot(newSlot))
            return false;
        queue.Push(oldSlot);
        records_[last].slot = newSlot;
        d.slotMap[newSlot] = static_cast<uint16_t>(last);
        CopySlotAttributes(d, newSlot, static_cast<uint16_t>(last));
        auto move = [&](uint16_t tri, int k) {
            uint16_t& c = d.triangles[3u * tri + k];
            if (c == oldSlot)
                c = newSlot;
        };
        for (int side = 0; side < 2; ++side) {
            uint16_t from = t[side], to = t[side + 2], id = side ? id1 : id0;
            if (VisitFan(d, from, to, id, side ? kNext : kPrev, move) && to != kNone)
                VisitFan(d, to, kNone, id, side ? kPrev : kNext, move);
        }
        for (uint32_t e = 3u * c0; e < 3u * d.triangleCount; ++e)
            if (d.triangles[e] == oldSlot)
                d.triangles[e] = newSlot;
    }

    d.activeVertexCount = static_cast<uint16_t>(counter);
    d.nextId = static_cast<uint16_t>(d.nextId + 2);
    d.stepIndex += 1;
    for (uint32_t i = c0; i < d.triangleCount; ++i)
        ComputeLevelPlane(d, i);
    return true;
}

bool SgClod::SetUpData() {
    callback_ = g_defaultCallback;
    userValue_ = g_defaultUser;
    const uint16_t full = triangleCount_;
    const uint16_t nb = baseTriangleCount_, nv = baseVertexCount_;
    if (nb > full || nv > vertexCount_ || (full > 0 && !vertices_) || (stepCount_ && !steps_))
        return false;
    for (uint32_t i = 0; i < nv; ++i)
        if (records_[i].id >= baseNextId_)
            return false;
    for (uint32_t i = 0; i < nb; ++i) {
        const uint16_t* r = &baseTriangles_[6u * i];
        for (int k = 0; k < 3; ++k)
            if (r[k] >= nv || (r[3 + k] != kNone && r[3 + k] >= nb))
                return false;
    }

    SgClodData& d = *level_;
    size_t corners = 3u * size_t(full ? full : 1);
    uint32_t capacity = uint32_t(vertexCount_) + stepCount_;
    slotCapacity_ = static_cast<uint16_t>(capacity < 0xFFFF ? capacity : 0xFFFF);
    size_t slots = slotCapacity_ ? slotCapacity_ : 1;
    d.triangles.reset(new uint16_t[corners]());
    d.adjacency.reset(new uint16_t[corners]());
    d.planes.reset(new SgPlaneEq[full ? full : 1]);
    d.slotMap.reset(new uint16_t[slots]());
    d.textureCoords.reset(textureSets_ ? new SgVec3[slots]() : nullptr);
    d.colors.reset(colors_ ? new SgRgba[slots]() : nullptr);
    touched_.reset(new uint16_t[full ? full : 1]);
    touchedCount_ = 0;
    for (uint32_t i = 0; i < nb; ++i)
        for (int k = 0; k < 3; ++k) {
            d.triangles[3u * i + k] = baseTriangles_[6u * i + k];
            d.adjacency[3u * i + k] = baseTriangles_[6u * i + 3 + k];
        }
    d.triangleCount = nb;
    d.nextId = baseNextId_;
    d.activeVertexCount = nv;
    d.stepIndex = 0;
    for (uint16_t i = 0; i < nv; ++i) {
        d.slotMap[i] = i;
        records_[i].slot = i;
        records_[i].mergeTarget = kNone;
        CopySlotAttributes(d, i, i);
    }
    slotCount_ = nv;

    // The steps grow the mesh to exactly the full count, using every step.
    SlotQueue queue;
    while (d.triangleCount < full) {
        if (d.stepIndex >= stepCount_ || !BuildStep(d, queue))
            return false;
    }
    if (d.stepIndex != stepCount_ || d.triangleCount != full)
        return false;

    d.textureCoords = CopyPrefix(d.textureCoords.get(), slotCount_, slotCount_);
    d.colors = CopyPrefix(d.colors.get(), slotCount_, slotCount_);
    d.slotMap = CopyPrefix(d.slotMap.get(), slotCount_, slotCount_);
    slotCapacity_ = slotCount_;

    std::vector<uint32_t> perId(size_t(d.nextId) + 1, 0);
    uint32_t longest = 0;
    for (uint32_t m = 0; m < d.activeVertexCount; ++m)
        if (records_[m].id < perId.size())
            longest = std::max(longest, ++perId[records_[m].id]);
    scratchLength_ = static_cast<uint16_t>(longest);
    scratch_.reset(new uint16_t[longest ? longest : 1]());
    for (uint32_t i = 0; i < full; ++i)
        ComputeLevelPlane(d, i);

    // Every corner names a drawn slot of an active vertex.
    auto drawnCorners = [&] {
        uint16_t drawn = SlotsInUse(d);
        for (uint32_t e = 0; e < 3u * d.triangleCount; ++e)
            if (d.triangles[e] >= drawn || d.slotMap[d.triangles[e]] >= d.activeVertexCount)
                return false;
        return true;
    };
    if (!drawnCorners())
        return false;
    // A sweep to the base and back must give the base and the built mesh again.
    std::vector<uint16_t> fullTriangles(d.triangles.get(), d.triangles.get() + 3u * full);
    std::vector<uint16_t> fullAdjacency(d.adjacency.get(), d.adjacency.get() + 3u * full);
    SetLevel(d, 0);
    if (d.triangleCount != nb || d.stepIndex != 0 || d.nextId != baseNextId_ || d.activeVertexCount != nv)
        return false;
    for (uint32_t i = 0; i < nb; ++i)
        for (int k = 0; k < 3; ++k)
            if (d.triangles[3u * i + k] != baseTriangles_[6u * i + k] ||
                d.adjacency[3u * i + k] != baseTriangles_[6u * i + 3 + k])
                return false;
    if (!drawnCorners())
        return false;
    SetLevel(d, full);
    if (d.triangleCount != full ||
        !std::equal(fullTriangles.begin(), fullTriangles.end(), d.triangles.get()) ||
        !std::equal(fullAdjacency.begin(), fullAdjacency.end(), d.adjacency.get()))
        return false;

    loadedVertexCount_ = vertexCount_;
    // States with a level of their own take the new one.
    for (uint32_t i = 0; i < worldStates_.UsedSize(); ++i) {
        auto* s = static_cast<SgClodWorldState*>(worldStates_.At(i));
        if (s && s->level.Get() != level_.Get()) {
            s->level = nullptr;
            AssignLevel(s);
        }
        if (s)
            s->refreshVertices = 1;
    }
    return true;
}

bool SgClod::SetMesh(const SgClodSource& src) {
    Clear();
    vertexCount_ = src.vertexCount;
    vertices_ = SgCopyArray(src.positions, src.vertexCount);
    normals_ = SgCopyArray(src.normals, src.vertexCount);
    ReplaceTextureSets(SgCopyArray(src.textureCoords, src.vertexCount).release(), src.textureCoords ? 1 : 0);
    ReplaceColors(SgCopyArray(src.colors, src.vertexCount).release());
    ownership_ = 0;
    planes_.reset();
    triangleCount_ = src.fullTriangleCount;
    perStateData = src.perStateData;
    detailFactor = src.detailFactor;
    baseNextId_ = src.nextId;
    baseTriangleCount_ = src.baseTriangleCount;
    baseVertexCount_ = src.baseVertexCount;
    stepCount_ = src.stepCount;
    records_.reset(new SgClodVertex[vertexCount_ ? vertexCount_ : 1]);
    for (uint32_t i = 0; i < baseVertexCount_ && i < vertexCount_ && src.baseIds; ++i)
        records_[i].id = src.baseIds[i];
    baseTriangles_.reset(new uint16_t[6u * baseTriangleCount_ + 1]);
    for (uint32_t i = 0; i < baseTriangleCount_; ++i)
        for (int k = 0; k < 3; ++k) {
            baseTriangles_[6u * i + k] = src.baseCorners ? src.baseCorners[3u * i + k] : 0;
            baseTriangles_[6u * i + 3 + k] = src.baseAdjacency ? src.baseAdjacency[3u * i + k] : kNone;
        }
    steps_ = SgCopyArray(src.steps, stepCount_);
    modelBound_.FitToPoints(vertexCount_, vertices_.get());
    if (SetUpData()) {
        MarkWorldArraysStale();
        return true;
    }
    Clear();
    vertexCount_ = 0;
    triangleCount_ = 0;
    vertices_.reset();
    normals_.reset();
    ReplaceTextureSets(nullptr, 0);
    ReplaceColors(nullptr);
    return false;
}

// ---- Drawing ----

void SgClod::TransformToWorld(SgWorldState* state) {
    if (!state)
        return;
    auto* s = static_cast<SgClodWorldState*>(state);
    SgClodData* d = LevelOf(state);
    size_t slots = slotCount_ ? slotCount_ : 1;
    if (vertices_ && !s->worldVertices)
        s->worldVertices.reset(new SgVec3[slots]());
    if (normals_ && !s->worldNormals)
        s->worldNormals.reset(new SgVec3[slots]());
    uint16_t n = d ? SlotsInUse(*d) : 0;
    const SgMat3& R = state->worldRotation;
    const float scale = state->worldScale;
    for (uint32_t i = 0; i < n && vertices_; ++i) {
        uint16_t m = d->slotMap[i];
        s->worldVertices[i] = R * (vertices_[m] * scale) + state->worldTranslation;
        if (normals_)
            s->worldNormals[i] = R * normals_[m];
    }
    state->refreshVertices = 0;
}

void SgClod::Draw(SgCamera* camera, SgWorldState* state) {
    if (suppressed_ || !PrepareDraw(camera, state, true))
        return;
    SgClodData* d = LevelOf(state);
    if (!d || !d->triangles)
        return;
    if (state->refreshVertices)
        TransformToWorld(state);
    auto* s = static_cast<SgClodWorldState*>(state);
    uint16_t n = SlotsInUse(*d);
    camera->Display()->Renderer()->DrawTriShape(d->triangleCount, n, s->worldVertices.get(), s->worldNormals.get(),
                                                d->planes.get(), d->textureCoords ? 1 : 0, d->textureCoords.get(),
                                                d->colors.get(), d->triangles.get(), state->worldBound,
                                                CameraInModel(camera, state));
    CountDraw(d->triangleCount, n);
}

// ---- Triangles ----

bool SgClod::GetTriangle(uint32_t i, uint16_t corners[3], SgPlaneEq*& plane) const {
    SgClodData* d = const_cast<SgClod*>(this)->LevelOf(currentState_);
    if (!d || !d->triangles || i >= d->triangleCount)
        return SgTriBasedGeom::GetTriangle(i, corners, plane);
    for (int k = 0; k < 3; ++k)
        corners[k] = d->slotMap[d->triangles[3u * i + k]];
    plane = d->planes ? &d->planes[i] : nullptr;
    return true;
}

bool SgClod::GetModelTriangle(uint32_t i, const SgVec3* corners[3]) const {
    uint16_t c[3];
    SgPlaneEq* plane;
    bool ok = vertices_ && GetTriangle(i, c, plane);
    for (int k = 0; k < 3; ++k)
        corners[k] = ok ? &vertices_[c[k]] : nullptr;
    return ok;
}

bool SgClod::GetWorldTriangle(uint32_t i, const SgVec3* corners[3]) {
    SgVec3* world = WorldVertices();
    SgClodData* d = LevelOf(currentState_);
    bool ok = world && d && d->triangles && i < d->triangleCount;
    for (int k = 0; k < 3; ++k)
        corners[k] = ok ? &world[d->triangles[3u * i + k]] : nullptr;
    return ok;
}

uint16_t SgClod::GetActiveTriangleCount() const {
    SgClodData* d = const_cast<SgClod*>(this)->LevelOf(currentState_);
    return d ? d->triangleCount : 0;
}

void SgClod::ComputePlanes() {
    // Each level keeps its own planes; refresh every triangle each one has in use.
    for (uint32_t i = 0; i < worldStates_.UsedSize(); ++i)
        if (auto* s = static_cast<SgClodWorldState*>(worldStates_.At(i)))
            if (s->level && s->level.Get() != level_.Get() && s->level->triangles)
                for (uint32_t t = 0; t < s->level->triangleCount; ++t)
                    ComputeLevelPlane(*s->level, t);
    if (level_ && level_->triangles)
        for (uint32_t t = 0; t < level_->triangleCount; ++t)
            ComputeLevelPlane(*level_, t);
}

void SgClod::ComputeNormals() { ComputeVertexNormals(); }
void SgClod::ComputeNormalsFromPlanes() { ComputeVertexNormals(); }

void SgClod::ComputeVertexNormals() {
    if (!vertices_ || !level_ || !level_->triangles)
        return;
    if (!normals_)
        normals_.reset(new SgVec3[vertexCount_ ? vertexCount_ : 1]());
    for (uint32_t i = 0; i < vertexCount_; ++i)
        normals_[i] = SgVec3();
    SgClodData& d = *level_;
    auto unitNormal = [&](uint16_t t) {
        const uint16_t* c = &d.triangles[3u * t];
        const SgVec3& p0 = vertices_[d.slotMap[c[0]]];
        SgVec3 n = (vertices_[d.slotMap[c[1]]] - p0).Cross(vertices_[d.slotMap[c[2]]] - p0);
        return UnitOrZero(n);
    };
    SetLevel(d, triangleCount_);
    for (uint16_t t = 0; t < d.triangleCount; ++t) {
        SgVec3 n = unitNormal(t);
        for (int k = 0; k < 3; ++k) {
            SgVec3& sum = normals_[d.slotMap[d.triangles[3u * t + k]]];
            sum = sum + n;
        }
    }
    // A coarse vertex's normal also sums the triangles of every finer level around it.
    while (d.stepIndex > 0) {
        const SgClodStep& s = steps_[d.stepIndex - 1];
        UndoStep(d);
        const uint16_t X = s.vertexId;
        auto add = [&](uint16_t t, int k) {
            SgVec3& sum = normals_[d.slotMap[d.triangles[3u * t + k]]];
            sum = sum + unitNormal(t);
        };
        for (int side = 0; side < 2; ++side) {
            uint16_t from = s.neighbours[side], to = s.neighbours[side + 2];
            if (VisitFan(d, from, to, X, side ? kNext : kPrev, add) && to != kNone)
                VisitFan(d, to, kNone, X, side ? kPrev : kNext, add);
        }
    }
    for (uint32_t i = 0; i < vertexCount_; ++i)
        normals_[i] = UnitOrZero(normals_[i]);
    MarkWorldArraysStale();
}

// ---- The mesh's own operations ----

bool SgClod::AddVertexAttributes(SgSceneStream& s) {
    uint16_t m = loadedVertexCount_;
    if (m >= vertexCount_)
        return false;
    if (textureSets_) {
        textureSets_[m].x = s.ReadF32();
        textureSets_[m].y = s.ReadF32();
    }
    if (normals_) {
        SgVec3 n;
        n.LoadFromStream(s);
        float length = n.Length();
        normals_[m] = length < 1e-6f ? SgVec3() : n * (1.0f / length);
    }
    if (colors_) {
        SgRgba& c = colors_[m];
        c.r = s.ReadF32();
        c.g = s.ReadF32();
        c.b = s.ReadF32();
        c.a = 1.0f;
    }
    if (!records_)
        records_.reset(new SgClodVertex[vertexCount_]);
    records_[m].mergeTarget = kNone;
    loadedVertexCount_ = static_cast<uint16_t>(m + 1);
    return s.ReadOk();
}

void SgClod::AllocateVertexArrays(uint32_t flags) {
    size_t n = vertexCount_ ? vertexCount_ : 1;
    vertices_.reset(new SgVec3[n]());
    if (flags & 1)
        ReplaceTextureSets(new SgVec3[n](), 1);
    if (flags & 2)
        normals_.reset(new SgVec3[n]());
    if (flags & 4)
        ReplaceColors(new SgRgba[n]());
}

void SgClod::FitModelBound() { modelBound_.FitToPoints(vertexCount_, vertices_.get()); }

// ---- Stream ----

bool SgClod::LoadFromStream(SgSceneStream& s) {
    if (!SgTriBasedGeom::LoadFromStream(s))
        return false;
    return LoadClodFields(s);
}

bool SgClod::LoadClodFields(SgSceneStream& s) {
    // The levels keep their own planes.
    planes_.reset();
    Clear();
    perStateData = s.ReadU8();
    baseNextId_ = s.ReadU16();
    baseTriangleCount_ = s.ReadU16();
    baseVertexCount_ = s.ReadU16();
    stepCount_ = s.ReadU16();
    detailFactor = s.ReadF32();
    if (!s.ReadOk() || baseVertexCount_ > vertexCount_ || baseTriangleCount_ > triangleCount_)
        return false;
    if (!s.CheckCount(baseVertexCount_, 2))
        return false;
    records_.reset(new SgClodVertex[vertexCount_ ? vertexCount_ : 1]);
    for (uint32_t i = 0; i < baseVertexCount_; ++i)
        records_[i].id = s.ReadU16();
    if (!s.CheckCount(baseTriangleCount_, 12))
        return false;
    baseTriangles_.reset(new uint16_t[6u * baseTriangleCount_ + 1]);
    for (uint32_t i = 0; i < 6u * baseTriangleCount_; ++i)
        baseTriangles_[i] = s.ReadU16();
    if (!s.CheckCount(stepCount_, 12))
        return false;
    steps_.reset(new SgClodStep[stepCount_ ? stepCount_ : 1]);
    for (uint32_t i = 0; i < stepCount_; ++i) {
        SgClodStep& step = steps_[i];
        step.vertexId = s.ReadU16();
        for (uint16_t& t : step.neighbours)
            t = s.ReadU16();
        step.flags = s.ReadU16();
    }
    if (!s.ReadOk())
        return false;
    if (!SetUpData()) {
        Clear();
        return false;
    }
    return true;
}

void SgClod::LinkFromStream(SgSceneStream& s) { SgTriBasedGeom::LinkFromStream(s); }
bool SgClod::RegisterInStream(SgSceneStream& s) { return SgTriBasedGeom::RegisterInStream(s); }

void SgClod::SaveToStream(SgSceneStream& s) const {
    SgTriBasedGeom::SaveToStream(s);
    SaveClodFields(s);
}

void SgClod::SaveClodFields(SgSceneStream& s) const {
    s.WriteU8(perStateData);
    s.WriteU16(baseNextId_);
    s.WriteU16(baseTriangleCount_);
    s.WriteU16(baseVertexCount_);
    s.WriteU16(stepCount_);
    s.WriteF32(detailFactor);
    for (uint32_t i = 0; i < baseVertexCount_; ++i)
        s.WriteU16(records_[i].id);
    for (uint32_t i = 0; i < 6u * baseTriangleCount_; ++i)
        s.WriteU16(baseTriangles_[i]);
    for (uint32_t i = 0; i < stepCount_; ++i) {
        const SgClodStep& step = steps_[i];
        s.WriteU16(step.vertexId);
        for (uint16_t t : step.neighbours)
            s.WriteU16(t);
        s.WriteU16(step.flags);
    }
}

bool SgClod::SameClodFields(const SgClod* o) const {
    if (baseTriangleCount_ != o->baseTriangleCount_ || baseVertexCount_ != o->baseVertexCount_ ||
        baseNextId_ != o->baseNextId_ || stepCount_ != o->stepCount_ || perStateData != o->perStateData ||
        detailFactor != o->detailFactor)
        return false;
    for (uint32_t i = 0; i < baseVertexCount_; ++i)
        if (records_[i].id != o->records_[i].id)
            return false;
    if (!std::equal(baseTriangles_.get(), baseTriangles_.get() + 6u * baseTriangleCount_, o->baseTriangles_.get()))
        return false;
    for (uint32_t i = 0; i < stepCount_; ++i) {
        const SgClodStep &a = steps_[i], &b = o->steps_[i];
        if (a.vertexId != b.vertexId || a.flags != b.flags ||
            !std::equal(a.neighbours, a.neighbours + 4, b.neighbours))
            return false;
    }
    return true;
}

bool SgClod::IsEqualTo(const SgObject* other) const {
    const SgClod* o = SgKindCast<SgClod>(other);
    return o && SgTriBasedGeom::IsEqualTo(o) && SameClodFields(o);
}
