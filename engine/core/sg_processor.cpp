#include "engine/core/sg_processor.h"

#include "engine/core/sg_debug_output.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace {

uint32_t g_processorClass = 0;
bool g_detected = false;

}  // namespace

constinit SgTransformPointsFn SgTransformPointsRoutine = TransformPoints;
constinit SgTransformPointsScaledFn SgTransformPointsScaledRoutine = TransformPointsScaled;

uint32_t ProcessorClass() { return g_processorClass; }

const char* ProcessorName(uint32_t processorClass) {
    static const char* const kNames[] = {"Unsupported processor", "Pentium", "Pentium with MMX", "Pentium Pro",
                                         "Pentium II", "Pentium III", "3DNow-compatible"};
    return processorClass < 7 ? kNames[processorClass] : kNames[0];
}

uint32_t ClassifyProcessor(bool hasExtendedLeaves, uint32_t extendedEdx, uint32_t leaf1Edx) {
    if (hasExtendedLeaves && (extendedEdx & 0x80000000u))
        return 6;
    bool mmx = (leaf1Edx >> 23) & 1;
    bool cmov = (leaf1Edx >> 15) & 1;
    if (cmov)
        return mmx ? 4 : 3;
    return mmx ? 2 : 1;
}

void DetectProcessor() {
    g_detected = true;
    SgDebugOutput("Scenegrove WARNING: Processor detection code: benign first-chance exception possible\n");
#if defined(__x86_64__) || defined(__i386__)
    unsigned a = 0, b = 0, c = 0, d = 0;
    unsigned maxExtended = __get_cpuid_max(0x80000000u, nullptr);
    bool extended = maxExtended >= 0x80000001u;
    unsigned extendedEdx = 0;
    if (extended && __get_cpuid(0x80000001u, &a, &b, &c, &d))
        extendedEdx = d;
    unsigned leaf1Edx = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d)) {
        g_processorClass = 0;
        return;
    }
    leaf1Edx = d;
    g_processorClass = ClassifyProcessor(extended, extendedEdx, leaf1Edx);
#else
    g_processorClass = 0;
#endif
}

void SelectTransformRoutines() {
    if (!g_detected)
        DetectProcessor();
    SgTransformPointsRoutine = TransformPoints;
    SgTransformPointsScaledRoutine = TransformPointsScaled;
}

void TransformPoints(uint32_t count, const SgVec3* in, SgVec3* out, const SgMat3& m) {
    for (uint32_t i = 0; i < count; ++i)
        out[i] = m.TimesVec(in[i]);
}

void TransformPointsScaled(uint32_t count, const SgVec3* in, SgVec3* out, const SgMat3& m, float scale,
                           const SgVec3& translation) {
    SgMat3 scaled = m;
    for (float& v : scaled.m)
        v *= scale;
    for (uint32_t i = 0; i < count; ++i)
        out[i] = scaled.TimesVec(in[i]) + translation;
}
