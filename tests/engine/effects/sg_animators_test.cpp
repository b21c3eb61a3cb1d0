// Property and light animators: the key lookup, clamps and colour selectors, the targets they
// accept, the record on a target, and the process-wide list with its retirement.

#include <gtest/gtest.h>

#include <string>

#include "engine/animation/sg_3ds_animators.h"
#include "engine/core/sg_light.h"
#include "engine/core/sg_property.h"

namespace {

Sg3dsPropAnimExtraData* RecordOn(SgObject* o) {
    for (SgExtraData* e = o->ExtraHead(); e; e = e->next)
        if (e->IsKindOf(&Sg3dsPropAnimExtraData::typeRecord))
            return static_cast<Sg3dsPropAnimExtraData*>(e);
    return nullptr;
}

TEST(AlphaAnimator, LooksUpKeysFromTheCachedIndex) {
    SgRef<SgMaterialProperty> material(new SgMaterialProperty);
    SgRef<Sg3dsAlphaAnimator> alpha(new Sg3dsAlphaAnimator);
    alpha->SetTarget(material.Get());
    SgFloatKeyLinear k0(1, 0.1f), k1(2, 0.5f), k2(4, 0.9f);
    const SgFloatKey* keys[] = {&k0, &k1, &k2};
    alpha->SetKeys(keys, 3);
    EXPECT_EQ(alpha->lowKeyTime, 1.0f);
    EXPECT_EQ(alpha->highKeyTime, 4.0f);
    alpha->cycleType = SgAnimationTiming::kCycleLoop;  // the clamp comes from the lookup itself
    alpha->lowKeyTime = 0;
    alpha->highKeyTime = 10;
    struct LookupCase {
        const char* name;
        float t;
        float want;
        int32_t index;
    };
    const LookupCase cases[] = {
        {"before the first key", 0.5f, 0.1f, 0}, {"at a key", 2, 0.5f, 1},       {"between", 3, 0.7f, 1},
        {"after the last key", 6, 0.9f, 1},      {"backwards", 1.5f, 0.3f, 0}, {"forwards again", 3.5f, 0.8f, 1},
    };
    for (const LookupCase& c : cases) {
        material->changed = 0;
        alpha->UpdateAppTime(c.t);
        EXPECT_NEAR(material->alpha, c.want, 1e-6f) << c.name;
        EXPECT_EQ(material->changed, 1) << c.name;
        EXPECT_EQ(alpha->Keys().index, c.index) << c.name;
    }
    alpha->UpdateAppTime(0.5f);
    EXPECT_EQ(material->alpha, 0.1f) << "exactly the key's value";

    // Not clamped.
    SgFloatKeyLinear high(0, 1.5f);
    const SgFloatKey* one[] = {&high};
    alpha->SetKeys(one, 1);
    alpha->UpdateAppTime(3);
    EXPECT_EQ(material->alpha, 1.5f);
    alpha->SetTarget(nullptr);
}

TEST(ColorAnimator, ClampsAndWritesTheSelectedColour) {
    SgPositionKeyLinear key(0, {1.5f, -0.2f, 0.5f});
    const SgPositionKey* keys[] = {&key};
    const SgRgb want{1, 0, 0.5f};
    for (uint32_t selector = 0; selector <= 4; ++selector) {
        SgRef<SgMaterialProperty> material(new SgMaterialProperty);
        SgRef<SgMaterialProperty> untouched(new SgMaterialProperty);
        SgRef<Sg3dsColorAnimator> color(new Sg3dsColorAnimator);
        color->SetTarget(material.Get());
        color->colorSelector = selector;
        color->SetKeys(keys, 1);
        material->changed = 0;
        color->UpdateAppTime(1);
        SgRgb* colors[4] = {&material->ambient, &material->diffuse, &material->specular, &material->emissive};
        SgRgb* before[4] = {&untouched->ambient, &untouched->diffuse, &untouched->specular, &untouched->emissive};
        for (uint32_t i = 0; i < 4; ++i) {
            const SgRgb& expected = i == selector ? want : *before[i];
            EXPECT_EQ(colors[i]->r, expected.r) << "selector " << selector << " colour " << i;
            EXPECT_EQ(colors[i]->g, expected.g) << "selector " << selector << " colour " << i;
            EXPECT_EQ(colors[i]->b, expected.b) << "selector " << selector << " colour " << i;
        }
        EXPECT_EQ(material->changed, selector < 4 ? 1 : 0) << "selector " << selector;
        color->Retire();
    }
}

TEST(Animators, TargetsOfAnotherKindAreLeftAlone) {
    SgRef<SgLight> light(new SgLight);
    SgRef<SgMaterialProperty> material(new SgMaterialProperty);
    SgFloatKeyLinear a(0, 0.25f);
    const SgFloatKey* floats[] = {&a};
    SgPositionKeyLinear p(0, {0.2f, 0.4f, 0.6f});
    const SgPositionKey* positions[] = {&p};

    SgRef<Sg3dsAlphaAnimator> alpha(new Sg3dsAlphaAnimator);
    alpha->SetKeys(floats, 1);
    alpha->SetTarget(light.Get());
    light->changed = 0;
    alpha->UpdateAppTime(1);
    EXPECT_EQ(light->changed, 0u);

    SgRef<Sg3dsLightColorAnimator> lightColor(new Sg3dsLightColorAnimator);
    lightColor->SetKeys(positions, 1);
    lightColor->SetTarget(material.Get());
    material->changed = 0;
    lightColor->UpdateAppTime(1);
    EXPECT_EQ(material->changed, 0);
    EXPECT_EQ(material->ambient.r, 0.5f);
    EXPECT_EQ(RecordOn(material.Get()), nullptr) << "light animators mark nothing";

    // Without keys nothing is written.
    SgRef<Sg3dsColorAnimator> empty(new Sg3dsColorAnimator);
    empty->SetTarget(material.Get());
    empty->UpdateAppTime(1);
    EXPECT_EQ(material->changed, 0);
    alpha->Retire();
    empty->Retire();
}

TEST(LightColorAnimator, DrivesTheFirstOrTheOtherTwoColours) {
    struct LightCase {
        uint8_t firstOnly;
        SgVec3 key;
        SgRgb first, second;
    };
    const LightCase cases[] = {
        {1, {0.2f, 0.4f, 0.6f}, {0.2f, 0.4f, 0.6f}, {0, 0, 0}},
        {0, {0.2f, 0.4f, 0.6f}, {0, 0, 0}, {0.2f, 0.4f, 0.6f}},
        {0, {1.5f, 0.4f, -1}, {0, 0, 0}, {1, 0.4f, 0}},
    };
    for (const LightCase& c : cases) {
        SgRef<SgLight> light(new SgLight);
        SgRef<Sg3dsLightColorAnimator> animator(new Sg3dsLightColorAnimator);
        animator->firstColorOnly = c.firstOnly;
        animator->SetTarget(light.Get());
        SgPositionKeyLinear key(0, c.key);
        const SgPositionKey* keys[] = {&key};
        animator->SetKeys(keys, 1);
        light->changed = 0;
        animator->UpdateAppTime(2);
        std::string what = "first only " + std::to_string(c.firstOnly) + " key " + std::to_string(c.key.x);
        EXPECT_EQ(light->ambient.r, c.first.r) << what;
        EXPECT_EQ(light->ambient.g, c.first.g) << what;
        EXPECT_EQ(light->ambient.b, c.first.b) << what;
        for (const SgRgb* other : {&light->diffuse, &light->specular}) {
            EXPECT_EQ(other->r, c.second.r) << what;
            EXPECT_EQ(other->g, c.second.g) << what;
            EXPECT_EQ(other->b, c.second.b) << what;
        }
        EXPECT_EQ(light->changed, 1u);
    }
}

TEST(PropertyAnimator, TheRecordOnTheTargetFollowsSetTarget) {
    SgRef<SgMaterialProperty> first(new SgMaterialProperty), second(new SgMaterialProperty);
    SgRef<Sg3dsAlphaAnimator> alpha(new Sg3dsAlphaAnimator);
    EXPECT_EQ(alpha->timeMode, SgAnimationTiming::kTimeApplication);
    alpha->SetTarget(first.Get());
    ASSERT_TRUE(RecordOn(first.Get()));
    EXPECT_EQ(RecordOn(first.Get())->animator.Get(), alpha.Get());
    EXPECT_EQ(alpha->RefCount(), 2u) << "the record holds the animator";
    alpha->SetTarget(second.Get());
    EXPECT_EQ(RecordOn(first.Get()), nullptr);
    ASSERT_TRUE(RecordOn(second.Get()));
    EXPECT_EQ(alpha->RefCount(), 2u);
    EXPECT_EQ(alpha->Target(), second.Get());

    // Retiring breaks the cycle: the record goes and the target is let go.
    uint32_t targetCount = second->RefCount();
    alpha->Retire();
    EXPECT_EQ(RecordOn(second.Get()), nullptr);
    EXPECT_EQ(second->RefCount(), targetCount - 1);
    EXPECT_EQ(alpha->RefCount(), 1u);
    EXPECT_EQ(alpha->Target(), nullptr);
}

TEST(PropertyAnimator, DeleteAllRetiresEveryListedAnimator) {
    Sg3dsPropertyAnimator::DeleteAll();
    uint32_t before = SgObject::LiveCount();
    SgRef<Sg3dsColorAnimator> held;
    {
        // Three animators on one material, each held only by the record on it (a cycle).
        SgRef<SgMaterialProperty> material(new SgMaterialProperty);
        SgRef<Sg3dsAlphaAnimator> a(new Sg3dsAlphaAnimator);
        SgRef<Sg3dsColorAnimator> b(new Sg3dsColorAnimator);
        SgRef<Sg3dsAlphaAnimator> c(new Sg3dsAlphaAnimator);
        for (Sg3dsPropertyAnimator* x : {static_cast<Sg3dsPropertyAnimator*>(a.Get()),
                                         static_cast<Sg3dsPropertyAnimator*>(b.Get()),
                                         static_cast<Sg3dsPropertyAnimator*>(c.Get())})
            x->SetTarget(material.Get());
        held = b;
        ASSERT_TRUE(Sg3dsPropertyAnimator::List());
        EXPECT_EQ(Sg3dsPropertyAnimator::List()->Count(), 3u);
        EXPECT_EQ(Sg3dsPropertyAnimator::List()->First(), c.Get()) << "the newest at the head";
    }
    EXPECT_EQ(SgObject::LiveCount(), before + 4) << "the material and its animators hold each other";
    Sg3dsPropertyAnimator::DeleteAll();
    EXPECT_EQ(Sg3dsPropertyAnimator::List(), nullptr);
    EXPECT_EQ(SgObject::LiveCount(), before + 1) << "only the animator held elsewhere is left";
    EXPECT_EQ(held->Target(), nullptr);
    EXPECT_EQ(held->RefCount(), 1u);
    held = nullptr;
    EXPECT_EQ(SgObject::LiveCount(), before);

    // A new animator starts a new list; the head's going moves the second into the head.
    SgRef<Sg3dsAlphaAnimator> first(new Sg3dsAlphaAnimator);
    SgRef<Sg3dsAlphaAnimator> second(new Sg3dsAlphaAnimator);
    ASSERT_TRUE(Sg3dsPropertyAnimator::List());
    EXPECT_EQ(Sg3dsPropertyAnimator::List()->First(), second.Get());
    second = nullptr;
    EXPECT_EQ(Sg3dsPropertyAnimator::List()->First(), first.Get());
    EXPECT_EQ(Sg3dsPropertyAnimator::List()->Count(), 1u);
    first = nullptr;
    Sg3dsPropertyAnimator::DeleteAll();
}

}  // namespace
