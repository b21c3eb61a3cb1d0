// Keyed animation, the per-frame cost of animated figures: one keyed node evaluated at a moving
// time (shaped position, squad rotation and shaped scale keys), and a bone chain evaluated from
// its root with its world placement recomposed, as a figure is every frame.

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "engine/animation/sg_3ds_animation_node.h"

namespace {

constexpr int kKeys = 32;
constexpr SgVec3 kZ{0, 0, 1};

// kKeys keys of each placement family, one per time unit, on a wavy path.
void SetKeys(Sg3dsAnimationNode* n) {
    std::vector<SgPositionKey*> p;
    std::vector<SgRotationKey*> r;
    std::vector<SgFloatKey*> s;
    for (int i = 0; i < kKeys; ++i) {
        float t = static_cast<float>(i);
        p.push_back(new SgPositionKeyShaped(t, {std::sin(t), std::cos(t), t * 0.1f}));
        r.push_back(new SgRotationKeyModal(t, t * 0.4f, i % 2 ? kZ : SgVec3(0, 1, 0)));
        s.push_back(new SgFloatKeyShaped(t, 1.0f + 0.1f * std::sin(t), 0, 0, 0));
    }
    n->SetPositionKeys(p.data(), kKeys, true);
    n->SetRotationKeys(r.data(), kKeys, true);
    n->SetScaleKeys(s.data(), kKeys, true);
    for (int i = 0; i < kKeys; ++i) {
        delete p[i];
        delete r[i];
        delete s[i];
    }
    n->timeMode = SgAnimationTiming::kTimeApplication;
    n->cycleType = SgAnimationTiming::kCycleLoop;
}

void BM_KeyedNodeUpdate(benchmark::State& state) {
    SgRef<Sg3dsAnimationNode> n(new Sg3dsAnimationNode);
    SetKeys(n.Get());
    n->worldUpdateFlag = 0;
    float t = 0;
    for (auto _ : state) {
        n->UpdateAppTime(t);
        t += 1.0f / 60.0f;
        benchmark::DoNotOptimize(n->localTranslation);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_KeyedNodeUpdate);

// A chain of bones (range(0) long) under a holder node, evaluated from its root, then the world
// placement of the whole chain recomposed.
void BM_BoneChainFrame(benchmark::State& state) {
    SgRef<SgNode> holder(new SgNode);
    SgNode* parent = holder.Get();
    std::vector<SgRef<Sg3dsBone>> bones;
    for (int64_t i = 0; i < state.range(0); ++i) {
        SgRef<Sg3dsBone> bone(new Sg3dsBone);
        SetKeys(bone.Get());
        parent->InsertChild(bone.Get(), false);
        parent = bone.Get();
        bones.push_back(bone);
    }
    float t = 0;
    for (auto _ : state) {
        bones[0]->UpdateAppTime(t);
        holder->UpdateAllStates();
        t += 1.0f / 60.0f;
        benchmark::DoNotOptimize(bones.back()->boneTranslation);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_BoneChainFrame)->Arg(20);

}  // namespace
