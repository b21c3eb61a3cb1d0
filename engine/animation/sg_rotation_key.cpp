#include "engine/animation/sg_rotation_key.h"

#include <algorithm>
#include <cmath>

namespace {

float F(double v) { return static_cast<float>(v); }

bool SameQuat(const SgQuat& a, const SgQuat& b) {
    return SgSameFloat(a.w, b.w) && SgSameFloat(a.x, b.x) && SgSameFloat(a.y, b.y) && SgSameFloat(a.z, b.z);
}

// The slerp of two unit axes: the slerp of the pure quaternions they make. Axes that are (nearly)
// parallel or opposite have no plane to turn in, and the first axis is kept rather than dividing
// by a vanishing sine.
SgVec3 AxisSlerp(float u, const SgVec3& a, const SgVec3& b) {
    SgQuat q = SgQuat::Slerp(u, SgQuat(0.0f, a.x, a.y, a.z), SgQuat(0.0f, b.x, b.y, b.z));
    return {q.x, q.y, q.z};
}

// The scalar squad of an angle between two values with two controls.
float ScalarSquad(float u, float a, float ca, float cb, float b) {
    double w = 2.0 * u * (1.0 - u);
    return F(w * ((1.0 - u) * ca + double(u) * cb) + (1.0 - w) * ((1.0 - u) * a + double(u) * b));
}

// Whole turns of an angle difference; a file's angles may be of any size.
int32_t WholeTurns(float difference) {
    double turns = std::trunc(double(difference) / SgTwoPi);
    return static_cast<int32_t>(std::clamp(turns, -2147483647.0, 2147483647.0));
}

// The neighbours of key i, each end its own neighbour.
uint32_t Previous(uint32_t i) { return i > 0 ? i - 1 : 0; }
uint32_t Next(uint32_t i, uint32_t count) { return i + 1 < count ? i + 1 : count - 1; }

}  // namespace

// ---- Registration and sequences ----

SgRotationKey::CreateTable& SgRotationKey::Table() {
    static CreateTable table;
    return table;
}

int SgRotationKeyPlain::Register() {
    static bool done = false;
    return Table().Register(done, kType, SgCreateKey<SgRotationKey, SgRotationKeyPlain>, kRecordBytes);
}

int SgRotationKeyModal::Register() {
    static bool done = false;
    return Table().Register(done, kType, SgCreateKey<SgRotationKey, SgRotationKeyModal>, kRecordBytes);
}

int SgRotationKeyShaped::Register() {
    static bool done = false;
    return Table().Register(done, kType, SgCreateKey<SgRotationKey, SgRotationKeyShaped>, kRecordBytes);
}

int SgRotationKeyAxes::Register() {
    static bool done = false;
    return Table().Register(done, kType, SgCreateKey<SgRotationKey, SgRotationKeyAxes>, kRecordBytes);
}

bool SgRotationKey::LoadSequence(SgSceneStream& s, SgKeyArray<SgRotationKey>& out) {
    return SgLoadKeySequence(s, Table(), out);
}

void SgRotationKey::SaveSequence(SgSceneStream& s, const SgRotationKey* const* keys, uint32_t count) {
    SgSaveKeySequence(s, keys, count);
}

// ---- The plain form ----

SgRotationKey::SgRotationKey(float keyTime, float keyAngle, const SgVec3& keyAxis)
    : time(keyTime), angle(keyAngle), axis(keyAxis), quaternion(SgQuat::FromAngleAxis(keyAngle, keyAxis)) {}

bool SgRotationKey::LoadFromStream(SgSceneStream& s) {
    time = s.ReadF32();
    angle = s.ReadF32();
    axis.LoadFromStream(s);
    quaternion.LoadFromStream(s);
    spinCount = s.ReadI32();
    mode = s.ReadI32();
    return s.ReadOk();
}

void SgRotationKey::SaveToStream(SgSceneStream& s) const {
    s.WriteF32(time);
    s.WriteF32(angle);
    axis.SaveToStream(s);
    quaternion.SaveToStream(s);
    s.WriteI32(spinCount);
    s.WriteI32(mode);
}

bool SgRotationKey::SameBase(const SgRotationKey* o) const {
    return o && o->KeyType() == KeyType() && SgSameFloat(time, o->time) && SgSameFloat(angle, o->angle) &&
           SgSameVec(axis, o->axis) && SameQuat(quaternion, o->quaternion) && spinCount == o->spinCount;
}

bool SgRotationKey::IsEqualTo(const SgRotationKey* o) const { return SameBase(o); }

SgRotationKey* SgRotationKey::Clone() const {
    auto* copy = new SgRotationKey(*this);
    copy->mode = 0;
    return copy;
}

SgRotationKey* SgRotationKey::Blend(SgRotationKey* out, float u, const SgRotationKey* next,
                                    const Controls* c) const {
    const SgRotationKey* m = next ? next : this;
    float resultAngle = 0.0f;
    SgVec3 resultAxis;
    SgQuat q;
    switch (mode) {
    case 1:
    case 3:
        resultAngle = c ? ScalarSquad(u, angle, c->angleA, c->angleB, m->angle)
                        : F((1.0 - u) * angle + double(u) * m->angle);
        resultAxis = mode == 1 ? axis : AxisSlerp(u, axis, m->axis);
        q = SgQuat::FromAngleAxis(resultAngle, resultAxis);
        break;
    case 2:
        q = c ? SgQuat::SquadSpin(u, quaternion, c->a, c->b, m->quaternion, spinCount)
              : SgQuat::SlerpSpin(u, quaternion, m->quaternion, spinCount);
        break;
    default:
        q = c ? SgQuat::Squad(u, quaternion, c->a, c->b, m->quaternion) : SgQuat::Slerp(u, quaternion, m->quaternion);
        break;
    }
    out->time = u;
    out->angle = resultAngle;
    out->axis = resultAxis;
    out->quaternion = q;
    out->spinCount = 0;
    out->mode = 0;
    return out;
}

SgRotationKey* SgRotationKey::Interpolate(SgRotationKey* out, float u, const SgRotationKey* next) const {
    return Blend(out, u, next, nullptr);
}

void SgRotationKey::PrepareCommon(SgRotationKey* const* keys, uint32_t count) {
    if (!keys || count < 2)
        return;
    for (uint32_t i = 0; i + 1 < count; ++i) {
        SgRotationKey* k = keys[i];
        const SgRotationKey* m = keys[i + 1];
        float difference = m->angle - k->angle;
        if (std::fabs(difference) >= SgTwoPi) {
            k->spinCount = WholeTurns(difference);
            if (k->axis.IsEqualTo(m->axis))
                k->mode = 1;
            else
                k->mode = k->angle != 0.0f ? 2 : 3;
        } else {
            k->spinCount = 0;
            k->mode = 0;
        }
    }
    // Neighbouring quaternions on one hemisphere, following the first key.
    for (uint32_t i = 0; i + 1 < count; ++i)
        if (keys[i]->quaternion.Dot(keys[i + 1]->quaternion) < 0.0f)
            keys[i + 1]->quaternion = keys[i + 1]->quaternion.Negate();
    for (uint32_t i = 0; i < count; ++i)
        keys[i]->quaternion.w = std::clamp(keys[i]->quaternion.w, -1.0f, 1.0f);
}

void SgRotationKey::PrepareSequence(SgRotationKey* const* keys, uint32_t count) const { PrepareCommon(keys, count); }

// ---- Plain ----

SgRotationKey* SgRotationKeyPlain::Clone() const {
    auto* copy = new SgRotationKeyPlain(*this);
    copy->mode = 0;
    return copy;
}

// ---- Squad controls ----

bool SgRotationKeyModal::LoadFromStream(SgSceneStream& s) {
    SgRotationKey::LoadFromStream(s);
    control.LoadFromStream(s);
    angleControl = s.ReadF32();
    return s.ReadOk();
}

void SgRotationKeyModal::SaveToStream(SgSceneStream& s) const {
    SgRotationKey::SaveToStream(s);
    control.SaveToStream(s);
    s.WriteF32(angleControl);
}

bool SgRotationKeyModal::IsEqualTo(const SgRotationKey* other) const {
    if (!SameBase(other))
        return false;
    auto* o = static_cast<const SgRotationKeyModal*>(other);
    return SameQuat(control, o->control) && SgSameFloat(angleControl, o->angleControl);
}

SgRotationKey* SgRotationKeyModal::Clone() const {
    auto* copy = new SgRotationKeyModal(*this);
    copy->mode = 0;
    return copy;
}

SgRotationKey* SgRotationKeyModal::Interpolate(SgRotationKey* out, float u, const SgRotationKey* next) const {
    auto* m = dynamic_cast<const SgRotationKeyModal*>(next);
    Controls c{control, m ? m->control : (next ? next->quaternion : quaternion), angleControl,
               m ? m->angleControl : (next ? next->angle : angle)};
    return Blend(out, u, next, &c);
}

void SgRotationKeyModal::PrepareSequence(SgRotationKey* const* keys, uint32_t count) const {
    PrepareCommon(keys, count);
    if (!keys || count < 2)
        return;
    for (uint32_t i = 0; i < count; ++i) {
        auto* k = dynamic_cast<SgRotationKeyModal*>(keys[i]);
        if (!k)
            continue;
        const SgRotationKey* p = keys[Previous(i)];
        const SgRotationKey* m = keys[Next(i, count)];
        k->control = SgQuat::SquadControl(p->quaternion, k->quaternion, m->quaternion);
        // The last key ends the segment before it: that segment's mode chooses its control.
        int32_t segmentMode = i + 1 < count ? k->mode : keys[count - 2]->mode;
        if (segmentMode == 1 || segmentMode == 3) {
            k->angleControl = F(-0.25 * (double(p->angle) - 6.0 * k->angle + m->angle));
        } else {
            SgVec3 unused;
            k->control.ToAngleAxis(k->angleControl, unused);
        }
    }
}

// ---- Tension, continuity and bias ----

bool SgRotationKeyShaped::LoadFromStream(SgSceneStream& s) {
    SgRotationKey::LoadFromStream(s);
    tension = s.ReadF32();
    continuity = s.ReadF32();
    bias = s.ReadF32();
    outgoingControl.LoadFromStream(s);
    incomingControl.LoadFromStream(s);
    outgoingAngleControl = s.ReadF32();
    incomingAngleControl = s.ReadF32();
    return s.ReadOk();
}

void SgRotationKeyShaped::SaveToStream(SgSceneStream& s) const {
    SgRotationKey::SaveToStream(s);
    s.WriteF32(tension);
    s.WriteF32(continuity);
    s.WriteF32(bias);
    outgoingControl.SaveToStream(s);
    incomingControl.SaveToStream(s);
    s.WriteF32(outgoingAngleControl);
    s.WriteF32(incomingAngleControl);
}

bool SgRotationKeyShaped::IsEqualTo(const SgRotationKey* other) const {
    if (!SameBase(other))
        return false;
    auto* o = static_cast<const SgRotationKeyShaped*>(other);
    return SgSameFloat(tension, o->tension) && SgSameFloat(continuity, o->continuity) && SgSameFloat(bias, o->bias) &&
           SameQuat(outgoingControl, o->outgoingControl) && SameQuat(incomingControl, o->incomingControl) &&
           SgSameFloat(outgoingAngleControl, o->outgoingAngleControl) &&
           SgSameFloat(incomingAngleControl, o->incomingAngleControl);
}

SgRotationKey* SgRotationKeyShaped::Clone() const {
    auto* copy = new SgRotationKeyShaped(*this);
    copy->mode = 0;
    return copy;
}

SgRotationKey* SgRotationKeyShaped::Interpolate(SgRotationKey* out, float u, const SgRotationKey* next) const {
    auto* m = dynamic_cast<const SgRotationKeyShaped*>(next);
    Controls c{outgoingControl, m ? m->incomingControl : (next ? next->quaternion : quaternion), outgoingAngleControl,
               m ? m->incomingAngleControl : (next ? next->angle : angle)};
    return Blend(out, u, next, &c);
}

void SgRotationKeyShaped::PrepareSequence(SgRotationKey* const* keys, uint32_t count) const {
    PrepareCommon(keys, count);
    if (!keys || count < 2)
        return;
    for (uint32_t i = 0; i < count; ++i) {
        auto* k = dynamic_cast<SgRotationKeyShaped*>(keys[i]);
        if (!k)
            continue;
        const SgRotationKey* p = keys[Previous(i)];
        const SgRotationKey* m = keys[Next(i, count)];
        SgQuat g1 = p->quaternion.Conjugate().Multiply(k->quaternion).Log();
        SgQuat g2 = k->quaternion.Conjugate().Multiply(m->quaternion).Log();
        double inDifference = double(k->angle) - p->angle;
        double outDifference = double(m->angle) - k->angle;
        // Neighbours at one time (a span of no length) weigh both sides equally.
        double span = double(m->time) - p->time;
        double r1 = span != 0.0 ? (double(k->time) - p->time) / span : 0.5;
        double r2 = span != 0.0 ? (double(m->time) - k->time) / span : 0.5;
        double te = 1.0 - k->tension, cp = 1.0 + k->continuity, cm = 1.0 - k->continuity;
        double bp = 1.0 + k->bias, bm = 1.0 - k->bias;
        double w1 = r1 * bp * cp * te, w2 = r1 * bm * cm * te;
        double w3 = r2 * bp * cm * te, w4 = r2 * bm * cp * te;
        SgQuat outLog = g1.Scale(F(w1)).Add(g2.Scale(F(w2 - 1.0))).Scale(0.5f);
        SgQuat inLog = g1.Subtract(g1.Scale(F(w3))).Subtract(g2.Scale(F(w4))).Scale(0.5f);
        k->outgoingControl = k->quaternion.Multiply(outLog.Exp());
        k->incomingControl = k->quaternion.Multiply(inLog.Exp());
        k->outgoingAngleControl = F(k->angle + 0.5 * (w1 * inDifference + (w2 - 1.0) * outDifference));
        k->incomingAngleControl = F(k->angle - 0.5 * (w4 * outDifference + (w3 - 1.0) * inDifference));
    }
}

// ---- Per-axis tracks ----

bool SgRotationKeyAxes::LoadFromStream(SgSceneStream& s) {
    SgRotationKey::LoadFromStream(s);
    axisOrder = s.ReadU16();
    for (auto& track : tracks)
        if (!SgFloatKey::LoadSequence(s, track))
            return false;
    return s.ReadOk();
}

void SgRotationKeyAxes::SaveToStream(SgSceneStream& s) const {
    SgRotationKey::SaveToStream(s);
    s.WriteU16(axisOrder);
    for (const auto& track : tracks)
        SgFloatKey::SaveSequence(s, track.Data(), track.Count());
}

bool SgRotationKeyAxes::IsEqualTo(const SgRotationKey* other) const {
    if (!SameBase(other))
        return false;
    auto* o = static_cast<const SgRotationKeyAxes*>(other);
    if (axisOrder != o->axisOrder)
        return false;
    for (int a = 0; a < 3; ++a) {
        if (tracks[a].Count() != o->tracks[a].Count())
            return false;
        for (uint32_t i = 0; i < tracks[a].Count(); ++i)
            if (tracks[a][i]->IsNotEqualTo(o->tracks[a][i]))
                return false;
    }
    return true;
}

SgRotationKey* SgRotationKeyAxes::Clone() const {
    auto* copy = new SgRotationKeyAxes;
    copy->axisOrder = axisOrder;
    for (int a = 0; a < 3; ++a)
        copy->tracks[a] = SgKeyArray<SgFloatKey>::CloneOf(tracks[a].Data(), tracks[a].Count());
    return copy;
}

SgRotationKey* SgRotationKeyAxes::Interpolate(SgRotationKey* out, float, const SgRotationKey*) const {
    out->time = 0.0f;
    out->angle = 0.0f;
    out->axis = SgZeroVec3;
    out->quaternion = SgQuat(0.0f, 0.0f, 0.0f, 0.0f);
    out->spinCount = 0;
    out->mode = 0;
    return out;
}

void SgRotationKeyAxes::SetTrack(int a, const SgFloatKey* const* keys, uint32_t count) {
    if (a < 0 || a > 2)
        return;
    tracks[a] = SgKeyArray<SgFloatKey>::CloneOf(keys, count);
    cursors[a] = 0;
}

void SgRotationKeyAxes::PrepareTracks() {
    for (auto& track : tracks)
        if (track.Count() && track[0]->KeyType() == SgFloatKeyShaped::kType)
            SgFloatKeyShaped::ComputeTangents(track.Data(), track.Count());
}

void SgRotationKeyAxes::Evaluate(float t, float angles[3]) {
    for (int a = 0; a < 3; ++a) {
        const SgKeyArray<SgFloatKey>& track = tracks[a];
        uint32_t n = track.Count();
        if (n == 0) {
            angles[a] = 0.0f;
            continue;
        }
        if (t <= track[0]->time) {
            angles[a] = track[0]->value;
            continue;
        }
        if (t >= track[n - 1]->time) {
            angles[a] = track[n - 1]->value;
            continue;
        }
        bool exact = false;
        int32_t j = SgFindKeyInterval(track.Data(), n, cursors[a], t, exact);
        if (j < 0)
            angles[a] = track[0]->value;
        else if (exact)
            angles[a] = track[j]->value;
        else
            angles[a] = track[j]->Interpolate(SgSegmentParameter(t, track[j]->time, track[j + 1]->time), track[j + 1]);
    }
}
