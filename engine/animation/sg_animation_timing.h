#pragma once
// The timing base every animated engine class carries beside its scene-graph base: it turns a
// clock value (the application's time, or real time) into a key time within the range its owner's
// keys span, by frequency, phase and a loop, reverse or clamp cycle. The owner supplies Update,
// which maps the time with MapTime and evaluates its keys.
//
// The timing part is no engine object of its own: its owner loads, saves, copies and compares it
// inside its own record. Every timing object is on one process-wide list from construction to
// destruction (the arena presentation counts them).

#include <cfloat>
#include <cstddef>
#include <cstdint>

#include "engine/core/sg_lists.h"

class SgSceneStream;

// Real time comes from a counter and its frequency in counts per second. The engine cannot reach
// the platform, so the game installs its high-resolution counter at start-up; tests install their
// own. The default is the monotonic clock in nanoseconds.
using SgCounterFunction = uint64_t (*)();
// Installs the counter and its frequency; null for either restores the default pair.
void SgSetRealTimeSource(SgCounterFunction counter, SgCounterFunction frequency);
// Seconds of the current real-time source: the whole 64-bit count in double precision.
double SgRealTimeSeconds();

class SgAnimationTiming {
public:
    enum TimeMode : uint32_t { kTimeNone = 0, kTimeApplication = 1, kTimeReal = 2 };
    enum CycleType : uint32_t { kCycleLoop = 0, kCycleReverse = 1, kCycleClamp = 2 };
    static constexpr size_t kStreamBytes = 32;

    SgAnimationTiming();
    SgAnimationTiming(const SgAnimationTiming&) = delete;
    SgAnimationTiming& operator=(const SgAnimationTiming&) = delete;
    // Leaves the live list.
    virtual ~SgAnimationTiming();

    // Application-time mode: clears the started flag and updates with t. Other modes: nothing.
    virtual void UpdateAppTime(float t);
    // Real-time mode: sets the started and re-phase flags and updates with the real-time clock in
    // seconds, so the first mapped time is the low key time. Other modes: nothing.
    virtual void StartRealTime();
    // Real-time mode: clears the started flag.
    virtual void StopRealTime();
    // The key time for clock value t (a re-phase pending in real-time mode is consumed here).
    virtual float MapTime(float t);
    // The owner's own update: map t and evaluate the keys.
    virtual void Update(float t) = 0;

    // Copies every field into target.
    void CopyInto(SgAnimationTiming& target) const;
    // The 32-byte record inside the owner's record.
    bool LoadFromStream(SgSceneStream& stream);
    void SaveToStream(SgSceneStream& stream) const;
    // Integers equal and floats equal (neither less than the other).
    bool IsEqualTo(const SgAnimationTiming& other) const;

    // Widens the key-time range to take in [first, last].
    void WidenKeyRange(float first, float last);

    static uint32_t LiveCount();
    // Calls visit(timing) for every live timing object, oldest first. visit must not construct or
    // destroy timing objects.
    template <class Visit>
    static void ForEachLive(Visit visit) {
        for (auto* n = LiveList().Head(); n; n = n->next)
            visit(n->item);
    }

    uint32_t timeMode = kTimeNone;
    uint8_t reservedFlag = 1;
    uint8_t startedFlag = 1;
    uint8_t rephaseFlag = 0;
    uint8_t worldUpdateFlag = 1;
    uint32_t cycleType = kCycleClamp;
    float reservedValue = 0.0f;
    float frequency = 1.0f;
    float phase = 0.0f;
    // The range starts empty (low above high); owners widen it as keys are set.
    float lowKeyTime = FLT_MAX;
    float highKeyTime = -FLT_MAX;

private:
    using List = SgPooledList<SgAnimationTiming*>;
    static List& LiveList();
};
