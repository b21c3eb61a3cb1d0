#include "engine/animation/sg_3ds_path_controller.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "engine/core/sg_registry.h"
#include "engine/core/sg_stream.h"

namespace {

// Five-point Gauss-Legendre on [0, 1].
constexpr float kGaussNodes[5] = {0.046910077f, 0.23076534f, 0.5f, 0.76923466f, 0.95308992f};
constexpr float kGaussWeights[5] = {0.11846344f, 0.23931433f, 0.28444445f, 0.23931433f, 0.11846344f};
constexpr int kNewtonRounds = 32;
constexpr float kLengthTolerance = 0.0001f;

SgVec3 Column(const SgMat3& m, int c) { return {m.m[c], m.m[3 + c], m.m[6 + c]}; }

bool Finite(const SgVec3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }
bool Finite(const SgMat3& m) { return std::all_of(std::begin(m.m), std::end(m.m), [](float f) { return std::isfinite(f); }); }

SgMat3 FromColumns(const SgVec3& a, const SgVec3& b, const SgVec3& c) {
    SgMat3 m;
    const SgVec3 cols[3] = {a, b, c};
    for (int k = 0; k < 3; ++k) {
        m.m[k] = cols[k].x;
        m.m[3 + k] = cols[k].y;
        m.m[6 + k] = cols[k].z;
    }
    return m;
}

}  // namespace

constinit SgTypeRecord Sg3dsPathController::typeRecord{"Sg3dsPathController", &SgNode::typeRecord};

int Sg3dsPathController::Register() {
    return SgClassRegistry::Register(typeRecord, SgCreateObject<Sg3dsPathController, SgLinkIdData3>);
}

const SgTypeRecord* Sg3dsPathController::GetTypeRecord() const { return &typeRecord; }

// ---- Keys ----

void Sg3dsPathController::SetPathKeys(const SgPositionKey* const* keys, uint32_t count) {
    pathKeys_.Clear();
    arcLengths_.clear();
    totalLength_ = 0.0f;
    arcTableStale_ = 1;
    maxCurvature_ = 0.0f;
    if (!SgAllKeysPresent(keys, count))
        return;
    pathKeys_ = SgKeyArray<SgPositionKey>::CloneOf(keys, count);
    openPath = pathKeys_.First()->position == pathKeys_.Last()->position ? 0 : 1;
    pathKeyIndex = 0;
    // Prepared first: the arc lengths run along the prepared curve.
    pathKeys_.First()->PrepareSequence(pathKeys_.Data(), count);
    if (constantSpeed)
        BuildArcTable();
    maxCurvature_ = pathKeys_.First()->MaxCurvature(pathKeys_.Data(), count);
}

void Sg3dsPathController::SetPercentKeys(const SgFloatKey* const* keys, uint32_t count) {
    percentKeys_.Clear();
    if (!SgAllKeysPresent(keys, count))
        return;
    percentKeys_ = SgKeyArray<SgFloatKey>::CloneOf(keys, count);
    percentKeyIndex = 0;
    lowKeyTime = percentKeys_.First()->time;
    highKeyTime = percentKeys_.Last()->time;
    if (percentKeys_.First()->KeyType() == SgFloatKeyShaped::kType)
        SgFloatKeyShaped::ComputeTangents(percentKeys_.Data(), count);
}

// ---- Motion ----

void Sg3dsPathController::Update(float t) {
    if (pathKeys_.Count() < 2 || percentKeys_.IsEmpty())
        return;
    float m = MapTime(t);
    // Keys that are not numbers (or too large to interpolate) give no place on the path, nor does
    // a percent that is not a number: the node stays where it was rather than taking its children
    // nowhere.
    float percent = PercentAt(m);
    if (std::isnan(percent))
        return;
    Segment seg = FindSegment(percent);
    SgPositionKey out;
    const SgVec3 place = pathKeys_[seg.i]->Interpolate(&out, seg.s, pathKeys_[seg.j])->position;
    const SgMat3 turn = followPath ? Orientation(seg.i, seg.j, seg.s) : localRotation;
    if (!Finite(place) || !Finite(turn))
        return;
    localRotation = turn;
    localTranslation = place;
    if (worldUpdateFlag)
        UpdateAllStates();
}

float Sg3dsPathController::PercentAt(float m) {
    return SgEvaluateKeys(
        percentKeys_, percentKeyIndex, m, [](const SgFloatKey* k) { return k->value; },
        [](const SgFloatKey* k, float u, const SgFloatKey* next) { return k->Interpolate(u, next); });
}

Sg3dsPathController::Segment Sg3dsPathController::FindSegment(float p) {
    if (constantSpeed) {
        Segment seg = FindSegmentByLength(p);
        pathKeyIndex = static_cast<int32_t>(seg.i);
        return seg;
    }
    uint32_t n = pathKeys_.Count();
    if (p <= pathKeys_[0]->time)
        return {0, 1, 0.0f};
    if (p >= pathKeys_[n - 1]->time)
        return {n - 2, n - 1, 1.0f};
    bool exact = false;
    int32_t found = SgFindKeyInterval(pathKeys_.Data(), n, pathKeyIndex, p, exact);
    if (found >= 0) {
        auto i = static_cast<uint32_t>(found);
        if (exact)
            return {i, i + 1, 0.0f};
        return {i, i + 1, SgSegmentParameter(p, pathKeys_[i]->time, pathKeys_[i + 1]->time)};
    }
    // Key times that do not increase: the last key at or before p, at its start.
    uint32_t i = 0;
    for (uint32_t k = 0; k < n; ++k)
        if (pathKeys_[k]->time <= p)
            i = k;
    i = std::min(i, n - 2);
    return {i, i + 1, 0.0f};
}

Sg3dsPathController::Segment Sg3dsPathController::FindSegmentByLength(float p) {
    uint32_t n = pathKeys_.Count();
    if (!(p > 0.0f))
        return {0, 1, 0.0f};
    if (p >= 1.0f)
        return {n - 2, n - 1, 1.0f};
    // A table set up before constantSpeed was turned on is built at its first use.
    BuildArcTable();
    float d = totalLength_ * p;
    uint32_t k = 0;
    while (k + 2 < n && arcLengths_[k + 1] < d)
        ++k;
    float span = arcLengths_[k + 1] - arcLengths_[k];
    float target = d - arcLengths_[k];
    if (!(span > 0.0f))  // a segment of no length: its start
        return {k, k + 1, 0.0f};
    float s = std::clamp(target / span, 0.0f, 1.0f);
    for (int round = 0; round < kNewtonRounds; ++round) {
        float error = SegmentLength(k, s) - target;
        if (std::fabs(error) <= kLengthTolerance)
            break;
        float speed = SegmentSpeed(k, s);
        if (!(speed > 0.0f))
            break;
        s = std::clamp(s - error / speed, 0.0f, 1.0f);
    }
    return {k, k + 1, s};
}

float Sg3dsPathController::SegmentSpeed(uint32_t k, float s) const {
    SgVec3 d;
    pathKeys_[k]->FirstDerivative(d, s, pathKeys_[k + 1]);
    return d.Length();
}

float Sg3dsPathController::SegmentLength(uint32_t k, float s) const {
    float sum = 0.0f;
    for (int q = 0; q < 5; ++q)
        sum += kGaussWeights[q] * SegmentSpeed(k, s * kGaussNodes[q]);
    return s * sum;
}

void Sg3dsPathController::BuildArcTable() {
    if (!arcTableStale_ || pathKeys_.Count() < 2)
        return;
    uint32_t n = pathKeys_.Count();
    arcLengths_.assign(n, 0.0f);
    for (uint32_t k = 0; k + 1 < n; ++k)
        arcLengths_[k + 1] = arcLengths_[k] + SegmentLength(k, 1.0f);
    totalLength_ = arcLengths_[n - 1];
    arcTableStale_ = 0;
}

SgMat3 Sg3dsPathController::Orientation(uint32_t i, uint32_t j, float s) const {
    uint32_t n = pathKeys_.Count();
    if (n < 2)
        return SgIdentityMat3;
    SgVec3 t, normal, binormal;
    float curvature = 0.0f;
    pathKeys_[i]->PathFrame(s, pathKeys_[j], t, normal, binormal, curvature);
    SgMat3 m;
    if (!smoothFrame) {
        SgVec3 side{-t.y, t.x, 0.0f};
        side.Normalize();
        m = FromColumns(t, side, t.Cross(side));
    } else {
        float w = smoothWindow;
        // Near a segment's ends the normal is blended with the neighbouring segment's, so the
        // frame turns smoothly through a key.
        auto blend = [&](uint32_t a1, float s1, uint32_t a2, float s2, float weight) {
            SgVec3 t1, n1, b1, t2, n2, b2;
            float k1 = 0.0f, k2 = 0.0f;
            pathKeys_[a1]->PathFrame(s1, pathKeys_[a1 + 1], t1, n1, b1, k1);
            pathKeys_[a2]->PathFrame(s2, pathKeys_[a2 + 1], t2, n2, b2, k2);
            normal = n1 * weight + n2 * (1.0f - weight);
            normal.Normalize();
            binormal = t.Cross(normal);
        };
        if (w != 0.0f) {
            if (s >= 1.0f - w) {
                uint32_t next = j;
                if (!openPath && next == n - 1)
                    next = 0;
                if (next < n - 1)
                    blend(i, 1.0f - w, next, w, (w + 1.0f - s) / (2.0f * w));
            } else if (s <= w) {
                uint32_t prev = i;
                if (!openPath && prev == 0)
                    prev = n - 1;
                if (prev > 0)
                    blend(prev - 1, 1.0f - w, i, w, (w - s) / (2.0f * w));
            }
        }
        m = FromColumns(t, -normal, -binormal);
    }
    SgVec3 c0 = Column(m, 0), c1 = Column(m, 1), c2 = Column(m, 2);
    if (flip) {
        c0 = -c0;
        c1 = -c1;
    }
    if (axisMode == 1) {
        SgVec3 old = c0;
        c0 = -c1;
        c1 = old;
    } else if (axisMode == 2) {
        SgVec3 old = c0;
        c0 = -c2;
        c2 = old;
    }
    m = FromColumns(c0, c1, c2);
    if (bank) {
        // Straight paths have no bend to bank into.
        float f = 0.0f;
        if (maxCurvature_ > 0.0f)
            f = curvature < maxCurvature_ ? (4.0f / SgPi) * std::atan(curvature / maxCurvature_) : 1.0f;
        float angle = static_cast<float>(bankScale) * bankAngle * f;
        m = SgMat3::Rotation(6, angle, t.x, t.y, t.z) * m;
    }
    return m;
}

// ---- Copies ----

void Sg3dsPathController::CopyFieldsInto(Sg3dsPathController* copy) const {
    CopyInto(*copy);
    SgNode::CopyFieldsInto(copy);
    copy->constantSpeed = constantSpeed;
    copy->SetPathKeys(pathKeys_.Data(), pathKeys_.Count());
    copy->SetPercentKeys(percentKeys_.Data(), percentKeys_.Count());
    copy->openPath = openPath;
    copy->bankScale = bankScale;
    copy->smoothFrame = smoothFrame;
    copy->bank = bank;
    copy->followPath = followPath;
    copy->bankAngle = bankAngle;
    copy->smoothWindow = smoothWindow;
    copy->axisMode = axisMode;
    copy->flip = flip;
    copy->pathKeyIndex = pathKeyIndex;
    copy->percentKeyIndex = percentKeyIndex;
}

SgAVObject* Sg3dsPathController::MakeCopy(SgAVObject* copy) {
    auto* controller = copy ? static_cast<Sg3dsPathController*>(copy) : new Sg3dsPathController;
    CopyFieldsInto(controller);
    return controller;
}

// ---- Stream ----

bool Sg3dsPathController::LoadFromStream(SgSceneStream& s) {
    if (!SgNode::LoadFromStream(s) || !SgAnimationTiming::LoadFromStream(s))
        return false;
    uint32_t pathCount = s.ReadU32();
    uint32_t percentCount = s.ReadU32();
    openPath = s.ReadU8();
    bankScale = s.ReadI32();
    smoothFrame = s.ReadU8();
    bank = s.ReadU8();
    constantSpeed = s.ReadU8();
    followPath = s.ReadU8();
    bankAngle = s.ReadF32();
    smoothWindow = s.ReadF32();
    axisMode = s.ReadU16();
    flip = s.ReadU8();
    SgKeyArray<SgPositionKey> path;
    SgKeyArray<SgFloatKey> percent;
    if (!SgLoadKeyRecords(s, SgPositionKey::Table(), pathCount, path) ||
        !SgFloatKey::LoadRecords(s, percentCount, percent))
        return false;
    SetPathKeys(path.Data(), path.Count());
    SetPercentKeys(percent.Data(), percent.Count());
    return s.ReadOk();
}

void Sg3dsPathController::SaveToStream(SgSceneStream& s) const {
    SgNode::SaveToStream(s);
    SgAnimationTiming::SaveToStream(s);
    s.WriteU32(pathKeys_.Count());
    s.WriteU32(percentKeys_.Count());
    s.WriteU8(openPath);
    s.WriteI32(bankScale);
    s.WriteU8(smoothFrame);
    s.WriteU8(bank);
    s.WriteU8(constantSpeed);
    s.WriteU8(followPath);
    s.WriteF32(bankAngle);
    s.WriteF32(smoothWindow);
    s.WriteU16(axisMode);
    s.WriteU8(flip);
    SgSaveKeyRecords(s, pathKeys_.Data(), pathKeys_.Count());
    SgSaveKeyRecords(s, percentKeys_.Data(), percentKeys_.Count());
}

bool Sg3dsPathController::IsEqualTo(const SgObject* other) const {
    const auto* o = SgKindCast<Sg3dsPathController>(other);
    if (!o || !SgNode::IsEqualTo(o) || !SgAnimationTiming::IsEqualTo(*o))
        return false;
    if (pathKeys_.Count() != o->pathKeys_.Count() || percentKeys_.Count() != o->percentKeys_.Count())
        return false;
    for (uint32_t i = 0; i < pathKeys_.Count(); ++i)
        if (pathKeys_[i]->IsNotEqualTo(o->pathKeys_[i]))
            return false;
    for (uint32_t i = 0; i < percentKeys_.Count(); ++i)
        if (percentKeys_[i]->IsNotEqualTo(o->percentKeys_[i]))
            return false;
    return arcLengths_ == o->arcLengths_ && SgSameFloat(totalLength_, o->totalLength_) &&
           arcTableStale_ == o->arcTableStale_ && openPath == o->openPath && bankScale == o->bankScale &&
           smoothFrame == o->smoothFrame && bank == o->bank && constantSpeed == o->constantSpeed &&
           followPath == o->followPath && SgSameFloat(bankAngle, o->bankAngle) &&
           SgSameFloat(smoothWindow, o->smoothWindow) && axisMode == o->axisMode && flip == o->flip;
}
