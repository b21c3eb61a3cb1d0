#pragma once
// Figure animation: the bone table of skeleton figures, copying an animation template's bone keys
// onto a figure, the timing set-up of a subtree, the lists of animated objects of plain and
// animation figures, the evaluation of a figure at a time, and the per-object state machine
// (figure_anim_state) bound to the world objects and their figures.

#include <cstdint>

#include "client/present/figure_table.h"

class SgAnimationTiming;

namespace present {

// The bone names by bone table index.
extern const char* const kBoneNames[kBoneCount];
// Bone mode 2 (cast animations) looks up only the arms, hands, fingers and extras.
constexpr int kBoneModeArms = 2;

// The timing part of the animated classes (keyed nodes and bones, morph shapes, particle systems,
// path controllers, property animators), or null.
SgAnimationTiming* AnimationTimingOf(SgObject* object);

// Fills the node's bone table once (a table already there stays).
void BuildFigureBoneTable(SgObject* node, int frameCount, int boneMode);
// The source's rotation and position keys (or its fixed rotation and translation) onto the bone,
// with a timing that plays the source's key range once from its start in application time.
void CopyBoneKeys(Sg3dsAnimationNode* bone, const Sg3dsAnimationNode* source);
// The masked bones of the animation template onto the figure; bit 27 also takes the template's
// frame count, rate and bone mode. 0 when any of the three lacks a bone table.
int CopyFigureAnimation(SgObject* animation, SgObject* figure, SgObject* body, uint32_t mask);
// Template templateNumber's animation onto figure's masked bones; nothing without either.
void PlayFigureAnimation(int figure, int templateNumber, uint32_t mask);

// Cycle 1 clamps, 0 loops, other values leave the cycle; timing 1 runs in world-update mode,
// timing 2 slows keyed nodes and bones to a tenth.
void SetAnimationTiming(SgObject* object, int cycle, int timing);
// Appends the subtree's animated objects (each by its exact class) and the animators of its
// flagged animated materials while the list has room.
void CollectFigureAnimators(SgObject* object, FigureAnimatorList& list);
// Application-time update of every listed object; the number updated.
int RunAnimatorList(const FigureAnimatorList& list, float t);
int RunFigureAnimators(SgObject* node, SgFigureExtraData* data, float t);
int RunOverlayAnimators(SgObject* node, SgFigureExtraData* data, float t);
// Ends the property animators in the list that the figure's clone made (the template's own stay
// with the template) and empties every entry.
void EndCloneAnimators(FigureAnimatorList* list, int templateNumber);
void FreeFigureAnimators(SgObject* node, SgFigureExtraData* data);
// Application-time update of every animated object of the subtree.
void AnimateSubtree(SgObject* object, float t);

void UpdateFigureBones(int figure, float t, uint32_t mask);
// 1 when something was evaluated: 0 for an empty slot or a hidden figure node.
int UpdateFigureAnimation(int figure, float t, uint32_t mask);
void UpdateFigureOverlayAnimation(int figure, float t);

int GetFigureKind(const SgObject* node);
// -1 without the figure (or template) or its extra data.
int GetFigureFrameCount(int figure);
int GetFigureFrameRate(int figure);
int GetModelFrameCount(int templateNumber);

// The world object's figure: its animation chosen and advanced for the frame (frame delta in
// tenths of a millisecond; visibility 0, 1 or 2); 1 when the figure was handled.
int UpdateObjectFigureAnimation(int objectSlot, int frameDelta, int visibility);
// Starts animation index as a one-shot on the object's figure; 0 when refused.
int PlayObjectFigureAnimation(int objectSlot, int index);

}  // namespace present
