#pragma once
// The per-object animation state machine of figures: which animation a moving object's figure
// plays from its pose, speed and flags, how a change blends in (switch, restart, rescale, a
// wind-down to the cycle's middle or end before the idle), the right-arm cast sequence beside the
// body's own animation, one-shots and idle variants.
//
// The machine works on a small copy of the object's fields and reaches the figure only through a
// driver, so its traces can be checked against the tables without any model.

#include <cstdint>

namespace present {

// Player figure types 201..203 take their bone keys from these animation templates.
constexpr int kAnimationTypeFirst = 200;
constexpr int kAnimationTypeRows = 4;
constexpr int kAnimationIndices = 50;
// The template that makes animation index on figure type; 0 for none (also for every type
// outside 200..203 and index outside 0..49).
int AnimationTemplate(int figureType, int index);

// Bone masks: bit i for bone i of the figure's bone table.
constexpr uint32_t kAllBones = 0xFFFFFFFFu;
// Bones 8, 9, 10 (right clavicle, upper arm, forearm), 18 (right hand) and 20 (right finger).
constexpr uint32_t kRightArmMask = 0x140700u;
// Bit 27 of a mask also copies the animation's frame count, rate and bone mode.
constexpr uint32_t kTimingBit = 1u << 27;

// Animation states S of a world object: the wanted states below, and -1 a one-shot playing, -2 a
// finished one-shot, -3 refuses a one-shot.
constexpr int kStateOneShot = -1;
constexpr int kStateOneShotDone = -2;
constexpr int kStateRefuseOneShot = -3;
// Arm sequence A: 0 none, then raise, hold and lower.
constexpr int kArmRaise = -3;
constexpr int kArmHold = -4;
constexpr int kArmLower = -5;

// The fields of one world object that the machine reads and writes.
struct FigureAnimObject {
    int objectType = 0;
    int figureType = 0;  // template number of the figure (201..203 for players)
    int pose = 0;        // written: a dead monster's pose 0 becomes 11
    int speed = 0;
    int strafe = 0;      // 0 none, 1, 2
    int special = 0;     // special-motion flag
    int alternate = 0;   // alternate-set flag
    bool airborne = false;  // more than 8 units above the floor under it

    int16_t state = 0;   // S
    float time = 0.0f;   // t
    int16_t armState = 0;   // A
    float armTime = 0.0f;   // t2
    int overlayOn = 0;
    float overlayTime = 0.0f;
};

// What the machine does to the figure.
class FigureAnimDriver {
public:
    virtual ~FigureAnimDriver() = default;
    // Copies the template's bone keys onto the masked bones (nothing for template 0).
    virtual void Play(int templateNumber, uint32_t mask) = 0;
    // Evaluates the figure at t; the result is non-zero when something was evaluated.
    virtual int Update(float t, uint32_t mask) = 0;
    // Of the figure's current animation, and of a template; -1 when unknown.
    virtual int FrameCount() = 0;
    virtual int FrameRate() = 0;
    virtual int ModelFrameCount(int templateNumber) = 0;
    virtual void RemoveHeldPart() = 0;
    virtual void UpdateOverlay(float t) = 0;
};

// One frame of the object's figure animation; frameDelta in tenths of a millisecond, visibility 0
// (cannot be seen), 1 (not on the screen) or 2 (on the screen: keys are evaluated). Non-zero when
// the figure was handled.
int StepFigureAnimation(FigureAnimObject& object, int frameDelta, int visibility, FigureAnimDriver& driver);

// Starts animation index as a one-shot on all bones (S = -1, t = 0); 0 when refused: a one-shot
// plays, S is -3, no figure type, or no template for the index.
int StartFigureOneShot(FigureAnimObject& object, int index, FigureAnimDriver& driver);

}  // namespace present
