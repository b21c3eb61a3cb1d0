#pragma once
// The start-up processor check and the point-array transform routines it selects. The portable
// routines use no processor feature and are always installed, so a transform never finds the
// routine pointers unset.

#include <cstdint>

#include "engine/core/sg_math.h"

// Processor classes: 0 unsupported, 1 Pentium, 2 with MMX, 3 Pentium Pro, 4 Pentium II,
// 5 Pentium III (never detected), 6 3DNow-compatible.
uint32_t ProcessorClass();
const char* ProcessorName(uint32_t processorClass);
// The class for what CPUID reported: the extended leaf's EDX when extended leaves exist (bit 31
// 3DNow), else leaf 1's EDX (bit 23 MMX, bit 15 conditional move).
uint32_t ClassifyProcessor(bool hasExtendedLeaves, uint32_t extendedEdx, uint32_t leaf1Edx);
// Reads the processor once through the compiler's CPUID support and sets the class.
void DetectProcessor();
// Runs the detection when it has not run and installs the transform routines.
void SelectTransformRoutines();

// out[i] = M x in[i].
void TransformPoints(uint32_t count, const SgVec3* in, SgVec3* out, const SgMat3& m);
// out[i] = (scale M) x in[i] + translation.
void TransformPointsScaled(uint32_t count, const SgVec3* in, SgVec3* out, const SgMat3& m, float scale,
                           const SgVec3& translation);

using SgTransformPointsFn = void (*)(uint32_t, const SgVec3*, SgVec3*, const SgMat3&);
using SgTransformPointsScaledFn = void (*)(uint32_t, const SgVec3*, SgVec3*, const SgMat3&, float, const SgVec3&);
// The routines geometry calls.
extern SgTransformPointsFn SgTransformPointsRoutine;
extern SgTransformPointsScaledFn SgTransformPointsScaledRoutine;
