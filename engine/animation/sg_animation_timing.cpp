#include "engine/animation/sg_animation_timing.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "engine/animation/sg_key.h"
#include "engine/core/sg_stream.h"

namespace {

uint64_t SteadyNanos() {
    return static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
}

uint64_t NanosPerSecond() { return 1000000000ull; }

SgCounterFunction g_counter = SteadyNanos;
SgCounterFunction g_frequency = NanosPerSecond;

}  // namespace

void SgSetRealTimeSource(SgCounterFunction counter, SgCounterFunction frequency) {
    bool both = counter && frequency;
    g_counter = both ? counter : SteadyNanos;
    g_frequency = both ? frequency : NanosPerSecond;
}

double SgRealTimeSeconds() {
    // The whole count: its low 32 bits alone wrap within seconds on a nanosecond counter.
    uint64_t frequency = g_frequency();
    if (frequency == 0)
        return 0.0;
    double perCount = 1.0 / static_cast<double>(frequency);
    return static_cast<double>(g_counter()) * perCount;
}

SgAnimationTiming::List& SgAnimationTiming::LiveList() {
    // Made on first use; nodes come two at a time and go back to the list's free chain.
    static List list(2);
    return list;
}

uint32_t SgAnimationTiming::LiveCount() { return LiveList().Count(); }

SgAnimationTiming::SgAnimationTiming() { LiveList().Append(this); }

SgAnimationTiming::~SgAnimationTiming() {
    List& list = LiveList();
    for (auto* n = list.Head(); n; n = n->next) {
        if (n->item == this) {
            list.Remove(n);
            break;
        }
    }
}

void SgAnimationTiming::UpdateAppTime(float t) {
    if (timeMode != kTimeApplication)
        return;
    startedFlag = 0;
    Update(t);
}

void SgAnimationTiming::StartRealTime() {
    if (timeMode != kTimeReal)
        return;
    double t = SgRealTimeSeconds();
    startedFlag = 1;
    rephaseFlag = 1;
    Update(static_cast<float>(t));
}

void SgAnimationTiming::StopRealTime() {
    if (timeMode == kTimeReal)
        startedFlag = 0;
}

float SgAnimationTiming::MapTime(float t) {
    if (rephaseFlag && timeMode == kTimeReal) {
        phase = static_cast<float>(double(lowKeyTime) - double(frequency) * t);
        rephaseFlag = 0;
    }
    double low = lowKeyTime, high = highKeyTime;
    double s = double(frequency) * t + phase;
    double r = s;
    if (cycleType == kCycleLoop || cycleType == kCycleReverse) {
        double span = high - low;
        if (span == 0.0) {
            r = low;
        } else {
            r = std::fmod(s, span) + low;
            if (cycleType == kCycleReverse) {
                // The parity of the whole cycles, kept in double: the count may not fit an int.
                double cycles = std::trunc(s / span);
                if (std::fmod(cycles, 2.0) != 0.0)
                    r = high - r + low;
            }
        }
    }
    if (r > high)
        return highKeyTime;
    if (r < low)
        return lowKeyTime;
    return static_cast<float>(r);
}

void SgAnimationTiming::CopyInto(SgAnimationTiming& target) const {
    target.timeMode = timeMode;
    target.reservedFlag = reservedFlag;
    target.startedFlag = startedFlag;
    target.rephaseFlag = rephaseFlag;
    target.worldUpdateFlag = worldUpdateFlag;
    target.cycleType = cycleType;
    target.reservedValue = reservedValue;
    target.frequency = frequency;
    target.phase = phase;
    target.lowKeyTime = lowKeyTime;
    target.highKeyTime = highKeyTime;
}

bool SgAnimationTiming::LoadFromStream(SgSceneStream& s) {
    timeMode = s.ReadU32();
    reservedFlag = s.ReadU8();
    startedFlag = s.ReadU8();
    rephaseFlag = s.ReadU8();
    worldUpdateFlag = s.ReadU8();
    cycleType = s.ReadU32();
    reservedValue = s.ReadF32();
    frequency = s.ReadF32();
    phase = s.ReadF32();
    lowKeyTime = s.ReadF32();
    highKeyTime = s.ReadF32();
    return s.ReadOk();
}

void SgAnimationTiming::SaveToStream(SgSceneStream& s) const {
    s.WriteU32(timeMode);
    s.WriteU8(reservedFlag);
    s.WriteU8(startedFlag);
    s.WriteU8(rephaseFlag);
    s.WriteU8(worldUpdateFlag);
    s.WriteU32(cycleType);
    s.WriteF32(reservedValue);
    s.WriteF32(frequency);
    s.WriteF32(phase);
    s.WriteF32(lowKeyTime);
    s.WriteF32(highKeyTime);
}

bool SgAnimationTiming::IsEqualTo(const SgAnimationTiming& o) const {
    return timeMode == o.timeMode && reservedFlag == o.reservedFlag && startedFlag == o.startedFlag &&
           rephaseFlag == o.rephaseFlag && worldUpdateFlag == o.worldUpdateFlag && cycleType == o.cycleType &&
           SgSameFloat(reservedValue, o.reservedValue) && SgSameFloat(frequency, o.frequency) &&
           SgSameFloat(phase, o.phase) && SgSameFloat(lowKeyTime, o.lowKeyTime) &&
           SgSameFloat(highKeyTime, o.highKeyTime);
}

void SgAnimationTiming::WidenKeyRange(float first, float last) {
    lowKeyTime = std::min(lowKeyTime, first);
    highKeyTime = std::max(highKeyTime, last);
}
