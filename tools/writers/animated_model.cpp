#include "tools/writers/animated_model.h"

#include <vector>

#include "engine/animation/sg_3ds_animation_node.h"
#include "engine/geometry/sg_tri_shape.h"
#include "tools/writers/model_parts.h"
#include "tools/writers/sgf_bytes.h"

namespace {

constexpr SgVec3 kX{1, 0, 0};
constexpr SgVec3 kZ{0, 0, 1};

// A four-sided pyramid of the given half width, its apex `height` up the z axis.
SgRef<SgTriShape> Pyramid(const char* name, float half, float height) {
    const SgVec3 v[5] = {{-half, -half, 0}, {half, -half, 0}, {half, half, 0}, {-half, half, 0}, {0, 0, height}};
    const SgRgba c[5] = {{1, 0.5f, 0, 1}, {1, 0.5f, 0, 1}, {1, 0.5f, 0, 1}, {1, 0.5f, 0, 1}, {1, 1, 0.5f, 1}};
    const uint16_t indices[18] = {0, 1, 4, 1, 2, 4, 2, 3, 4, 3, 0, 4, 0, 2, 1, 0, 3, 2};
    return Named(new SgTriShape(5, v, nullptr, 6, indices, nullptr, c), name);
}

template <class N>
SgRef<N> Animated(const char* name, uint32_t cycle) {
    SgRef<N> n = Named(new N, name);
    n->timeMode = SgAnimationTiming::kTimeApplication;
    n->cycleType = cycle;
    return n;
}

SgRef<Sg3dsAnimationNode> Spinner() {
    auto spinner = Animated<Sg3dsAnimationNode>("spinner", SgAnimationTiming::kCycleLoop);
    OwnedKeys<SgRotationKey> turn{new SgRotationKeyPlain(0, 0, kZ), new SgRotationKeyPlain(3, SgTwoPi + SgHalfPi, kZ)};
    OwnedKeys<SgPositionKey> lift{new SgPositionKeyShaped(0, {0, 0, 0}), new SgPositionKeyShaped(1.5f, {0, 0, 0.5f}),
                             new SgPositionKeyShaped(3, {0, 0, 0})};
    spinner->SetRotationKeys(turn.Data(), turn.Count(), true);
    spinner->SetPositionKeys(lift.Data(), lift.Count(), true);
    spinner->InsertChild(Pyramid("spinner body", 0.5f, 1).Get(), false);

    auto orbiter = Animated<Sg3dsAnimationNode>("orbiter", SgAnimationTiming::kCycleLoop);
    OwnedKeys<SgPositionKey> place{new SgPositionKeyLinear(0, {1.5f, 0, 0})};
    OwnedKeys<SgFloatKey> pulse{new SgFloatKeyLinear(0, 0.5f), new SgFloatKeyLinear(1.5f, 1), new SgFloatKeyLinear(3, 0.5f)};
    auto* on = new SgVisibilityKey{0, 1};
    auto* off = new SgVisibilityKey{2, 0};
    auto* back = new SgVisibilityKey{2.5f, 1};
    OwnedKeys<SgVisibilityKey> blink{on, off, back};
    orbiter->SetPositionKeys(place.Data(), place.Count(), true);
    orbiter->SetScaleKeys(pulse.Data(), pulse.Count(), true);
    orbiter->SetVisibilityKeys(blink.Data(), blink.Count(), true);
    orbiter->InsertChild(Pyramid("orbiter body", 0.25f, 0.5f).Get(), false);
    spinner->InsertChild(orbiter.Get(), false);
    return spinner;
}

SgRef<Sg3dsBone> Arm() {
    auto root = Animated<Sg3dsBone>("arm root", SgAnimationTiming::kCycleReverse);
    OwnedKeys<SgPositionKey> at{new SgPositionKeyLinear(0, {0, -2, 0})};
    OwnedKeys<SgRotationKey> nod{new SgRotationKeyModal(0, 0, kX), new SgRotationKeyModal(1, 0.5f, kX),
                            new SgRotationKeyModal(2, 0, kX)};
    root->SetPositionKeys(at.Data(), at.Count(), true);
    root->SetRotationKeys(nod.Data(), nod.Count(), true);
    root->InsertChild(Pyramid("arm root body", 0.2f, 1).Get(), false);

    auto mid = Animated<Sg3dsBone>("arm mid", SgAnimationTiming::kCycleReverse);
    OwnedKeys<SgPositionKey> up{new SgPositionKeyLinear(0, {0, 0, 1})};
    mid->SetPositionKeys(up.Data(), up.Count(), true);
    SgRotationKeyAxes bend;
    OwnedKeys<SgFloatKey> bendY{new SgFloatKeyShaped(0, 0, 0, 0, 0), new SgFloatKeyShaped(1, 0.8f, 0, 0, 0),
                           new SgFloatKeyShaped(2, 0, 0, 0, 0)};
    bend.SetTrack(1, bendY.Data(), bendY.Count());
    mid->SetAxisRotationKey(&bend, true);
    mid->InsertChild(Pyramid("arm mid body", 0.15f, 1).Get(), false);
    root->InsertChild(mid.Get(), false);

    auto tip = Animated<Sg3dsBone>("arm tip", SgAnimationTiming::kCycleReverse);
    auto* from = new SgPositionKeyTangent(0, {0, 0, 1});
    auto* to = new SgPositionKeyTangent(2, {0, 0, 1.5f});
    OwnedKeys<SgPositionKey> stretch{from, to};
    tip->SetPositionKeys(stretch.Data(), stretch.Count(), true);
    tip->InsertChild(Pyramid("arm tip body", 0.1f, 0.5f).Get(), false);
    mid->InsertChild(tip.Get(), false);
    return root;
}

}  // namespace

SgRef<SgNode> BuildAnimatedModel() {
    SgRef<SgNode> root = Named(new SgNode, "animated sample");
    root->InsertChild(Spinner().Get(), false);
    root->InsertChild(Arm().Get(), false);
    root->UpdateAllStates();
    return root;
}

std::vector<uint8_t> AnimatedModelBytes() { return SgfBytesOf(BuildAnimatedModel().Get()); }
