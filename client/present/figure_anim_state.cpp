#include "client/present/figure_anim_state.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iterator>

#include "client/present/figure_table.h"
#include "common/random.h"

namespace present {

namespace {

// Offsets of animation indices 0..33 from the type's base template.
constexpr int kIndexOffsets[34] = {0,  1,  4,  5,  6,  7,  8,  9,  11, 12, 11, 15, 19, 19, 19, 19, 20,
                                   21, 22, 23, 14, 2,  3,  16, 17, 18, 24, 25, 26, 27, 28, 29, 30, 31};
constexpr int kTypeBase[kAnimationTypeRows] = {0, 211, 251, 291};

constexpr int kIndexDeath = 12;
constexpr int kIndexArmRaise = 16;
constexpr int kIndexArmLower = 17;
constexpr int kIndexIdleVariant[3] = {23, 24, 25};

constexpr double kTicksToSeconds = 0.0001;
constexpr float kAuthoredFps = 30.0f;

bool IsPlayerFigureType(int type) { return type >= 201 && type <= 203; }

struct Wanted {
    int state = 0;
    int index = 0;
    bool hasRow = true;
};

Wanted WantedState(const FigureAnimObject& o, int visibility) {
    if (visibility == 0)
        return {0, 0};
    const bool alt = o.alternate != 0;
    switch (o.pose) {
    case 0:
    case 6:
        if (o.special)
            return {15, 26};
        if (o.speed == 0) {
            if (o.strafe == 1)
                return alt ? Wanted{18, 29} : Wanted{13, 21};
            if (o.strafe == 2)
                return alt ? Wanted{19, 30} : Wanted{14, 22};
            return alt ? Wanted{16, 27} : Wanted{9, 11};
        }
        if (o.speed >= 111)
            return {8, 2};
        if (o.speed > 0)
            return alt ? Wanted{17, 28} : Wanted{0, 0};
        return alt ? Wanted{20, 31} : Wanted{12, 1};
    case 1:
        return {1, 5};
    case 2:
        return {2, 8};
    case 3:
    case 4:
    case 5:
    case 21:
        return {3, 10};
    case 7:
        return {7, 20};
    case 11:
        return {11, 12};
    default:
        // A pose without a row keeps what plays.
        return {o.state, 0, false};
    }
}

// Frame counts and rates that are not positive read 1 and 30.
int PositiveFrames(int frames) { return frames > 0 ? frames : 1; }
int PositiveRate(int rate) { return rate > 0 ? rate : 30; }

class Step {
public:
    Step(FigureAnimObject& o, float dt, int visibility, FigureAnimDriver& driver)
        : o_(o), dt_(dt), vis_(visibility), d_(driver) {}

    int Run();

private:
    int ArmSequence();
    // The changes of the table.
    void Switch() { d_.Play(template_, mask_); }
    void Start() {
        Switch();
        o_.time = 0.0f;
    }
    void StartAndCancel(uint32_t playMask) {
        d_.Play(template_, playMask);
        o_.time = 0.0f;
        CancelArm();
    }
    void CancelArm() {
        if (o_.armState == kArmRaise || o_.armState == kArmHold)
            d_.RemoveHeldPart();
        o_.armState = 0;
        o_.armTime = 0.01f;
        mask_ = kAllBones;
    }
    void Rescale() {
        Switch();
        const int after = PositiveFrames(d_.FrameCount());
        o_.time = o_.time * static_cast<float>(after) / static_cast<float>(frames_);
    }
    void SwitchFrom(int keepFrom) {
        Switch();
        if (o_.state != keepFrom)
            o_.time = 0.0f;
    }
    // Advances.
    float Rate() const { return dt_ * static_cast<float>(fps_) / kAuthoredFps; }
    void Plain() { o_.time += Rate(); }
    void Grounded() {
        if (!o_.airborne)
            Plain();
    }
    void Walk(float k) {
        if (o_.speed == 0 || o_.airborne)
            return;
        o_.time += Rate() * static_cast<float>(std::max(o_.speed, 50)) / 100.0f * k;
    }
    void Back() {
        if (o_.speed >= 0 || o_.airborne)
            return;
        o_.time += Rate() * static_cast<float>(std::abs(std::min(o_.speed, -50))) / 100.0f * 2.0f;
    }
    // w = 9 coming from a moving cycle: true while the cycle runs on to its middle or end.
    bool WindDown();
    void Idle();
    int Finish() {
        o_.state = static_cast<int16_t>(wanted_);
        if (vis_ == 2)
            d_.Update(o_.time, mask_);
        return 1;
    }

    FigureAnimObject& o_;
    const float dt_;
    const int vis_;
    FigureAnimDriver& d_;
    int frames_ = 1;
    int fps_ = 30;
    int wanted_ = 0;
    int template_ = 0;
    uint32_t mask_ = kAllBones;
};

int Step::ArmSequence() {
    const int type = o_.figureType;
    switch (o_.armState) {
    case kArmRaise: {
        const int frames = PositiveFrames(d_.ModelFrameCount(AnimationTemplate(type, kIndexArmRaise)));
        if (o_.armTime >= static_cast<float>(frames) / kAuthoredFps) {
            o_.armState = kArmHold;
            o_.armTime = 0.01f;
        } else {
            o_.armTime += dt_;
            if (vis_ != 0)
                d_.Update(o_.armTime, kRightArmMask);
        }
        break;
    }
    case kArmHold:
        if (o_.armTime >= 1.0f) {
            d_.RemoveHeldPart();
            d_.Play(AnimationTemplate(type, kIndexArmLower), kRightArmMask);
            o_.armState = kArmLower;
            o_.armTime = 0.01f;
        } else {
            o_.armTime += dt_;
        }
        break;
    case kArmLower: {
        const int frames = PositiveFrames(d_.ModelFrameCount(AnimationTemplate(type, kIndexArmLower)));
        if (o_.armTime >= static_cast<float>(frames) / kAuthoredFps) {
            o_.armState = 0;
            d_.Play(template_, kRightArmMask);
        } else {
            o_.armTime += dt_;
            if (vis_ != 0)
                d_.Update(o_.armTime, kRightArmMask);
        }
        break;
    }
    default:
        return 0;
    }
    mask_ = kAllBones & ~kRightArmMask;
    return 1;
}

bool Step::WindDown() {
    const float adv = 2.0f * dt_;
    const int f = static_cast<int>(std::trunc(o_.time * kAuthoredFps)) % frames_;
    const int half = frames_ / 2;
    const float ahead = static_cast<float>(f) + kAuthoredFps * adv;
    const bool runsOn = f >= half ? ahead < static_cast<float>(frames_ - 1) : ahead < static_cast<float>(half - 1);
    if (!runsOn)
        return false;
    o_.time += adv;
    if (vis_ == 2)
        d_.Update(o_.time, mask_);
    return true;
}

void Step::Idle() {
    const int f0 = static_cast<int>(std::trunc(o_.time * kAuthoredFps));
    Plain();
    const int f1 = static_cast<int>(std::trunc(o_.time * kAuthoredFps));
    if (f1 % frames_ >= f0 % frames_)
        return;
    int32_t& flag = Figures().idleVariantFlag;
    if (flag != 0) {
        Start();
        flag = 0;
        return;
    }
    const int r = GameRand() % 5;
    if (r < 2)
        return;
    template_ = AnimationTemplate(o_.figureType, kIndexIdleVariant[r - 2]);
    Start();
    flag = r - 1;
}

int Step::Run() {
    FigureAnimObject& o = o_;
    switch (o.objectType) {
    case 0:
    case 1:
    case 3:
    case 8:
        o.time += dt_;
        return vis_ == 2 ? d_.Update(o.time, kAllBones) != 0 : 0;
    case 7:
        if (o.pose == 0) {
            o.pose = 11;
            if (o.figureType == 0)
                return 0;
            if (const int death = AnimationTemplate(o.figureType, kIndexDeath)) {
                d_.Play(death, kAllBones);
                o.time = 0.0f;
            }
        }
        o.time += dt_;
        if (vis_ == 2)
            d_.Update(o.time, kAllBones);
        return 1;
    default:
        break;
    }
    if (!IsPlayerFigureType(o.figureType))
        return 0;
    frames_ = PositiveFrames(d_.FrameCount());
    fps_ = PositiveRate(d_.FrameRate());
    if (o.overlayOn) {
        o.overlayTime += dt_;
        if (vis_ == 2)
            d_.UpdateOverlay(o.overlayTime);
    }

    const Wanted w = WantedState(o, vis_);
    wanted_ = w.state;
    template_ = AnimationTemplate(o.figureType, w.index);
    mask_ = kAllBones;

    if (o.armState != 0)
        ArmSequence();

    if (o.state == kStateOneShot) {
        if (o.time >= static_cast<float>(frames_) / kAuthoredFps) {
            o.state = kStateOneShotDone;
            return 0;
        }
        o.time += dt_;
        if (vis_ == 2)
            d_.Update(o.time, mask_);
        return 1;
    }

    if (!w.hasRow) {
        Plain();
        return Finish();
    }

    const int s = o.state;
    const bool same = s == wanted_;
    switch (wanted_) {
    case 0:
        if (same)
            Walk(1.0f);
        else if (s == 8 || s == 12 || s == 17)
            Rescale();
        else
            Switch();
        break;
    case 1:
        same ? Walk(2.0f) : StartAndCancel(kAllBones);
        break;
    case 2:
    case 7:
    case 11:
        same ? Plain() : StartAndCancel(kAllBones);
        break;
    case 3:
        same ? Plain() : StartAndCancel(mask_);
        break;
    case 8:
        if (same) {
            if (o.speed != 0 && !o.airborne)
                o.time += Rate() * static_cast<float>(o.speed) / 100.0f * 0.5f;
        } else if (s == 0) {
            Rescale();
            CancelArm();
        } else {
            StartAndCancel(kAllBones);
        }
        break;
    case 9:
        if (same) {
            Idle();
        } else if (s == 0 || s == 8 || s == 12 || s == 13 || s == 14) {
            if (WindDown())
                return 1;
            Start();
            Figures().idleVariantFlag = 0;
        } else {
            SwitchFrom(16);
            Figures().idleVariantFlag = 0;
        }
        break;
    case 12:
        if (same)
            Back();
        else if (s == 0)
            Rescale();
        else
            SwitchFrom(20);
        break;
    case 13:
        same ? Grounded() : SwitchFrom(18);
        break;
    case 14:
        same ? Grounded() : SwitchFrom(19);
        break;
    case 15:
        same ? Plain() : Start();
        break;
    case 16:
        same ? Plain() : SwitchFrom(9);
        break;
    case 17:
        same ? Walk(1.0f) : SwitchFrom(0);
        break;
    case 18:
        same ? Grounded() : SwitchFrom(13);
        break;
    case 19:
        same ? Grounded() : SwitchFrom(14);
        break;
    case 20:
        same ? Back() : SwitchFrom(12);
        break;
    default:
        break;
    }
    return Finish();
}

}  // namespace

int AnimationTemplate(int figureType, int index) {
    const int row = figureType - kAnimationTypeFirst;
    if (row < 0 || row >= kAnimationTypeRows || index < 0 || index >= kAnimationIndices)
        return 0;
    if (kTypeBase[row] == 0 || index >= static_cast<int>(std::size(kIndexOffsets)))
        return 0;
    return kTypeBase[row] + kIndexOffsets[index];
}

int StepFigureAnimation(FigureAnimObject& object, int frameDelta, int visibility, FigureAnimDriver& driver) {
    Step step(object, static_cast<float>(frameDelta * kTicksToSeconds), visibility, driver);
    return step.Run();
}

int StartFigureOneShot(FigureAnimObject& object, int index, FigureAnimDriver& driver) {
    if (object.state == kStateOneShot || object.state == kStateRefuseOneShot || object.figureType == 0)
        return 0;
    const int templateNumber = AnimationTemplate(object.figureType, index);
    if (templateNumber == 0)
        return 0;
    driver.Play(templateNumber, kAllBones);
    object.time = 0.0f;
    object.state = kStateOneShot;
    return 1;
}

}  // namespace present
