// The display state against the recording renderer: defaults, pushes and pops, overrides, the
// fixed order of ApplyPendingState, the light stack and deferred draws.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/core/sg_display.h"
#include "tests/support/recording_render.h"

namespace {

using Log = std::vector<std::string>;

template <class T>
SgRef<T> Make() {
    return SgRef<T>(new T);
}

std::string Material(const SgMaterialProperty* m) {
    return "SetMaterial(" + DescribeObject(m) + ", " + std::to_string(m->revision) + ")";
}

class DisplayTest : public testing::Test {
protected:
    void SetUp() override {
        display->SetRenderer(render.Get());
        render->Clear();
    }

    // A property list holding the given properties, the first at the front.
    static void Fill(SgPropertyList& list, std::initializer_list<SgProperty*> properties) {
        std::vector<SgProperty*> items(properties);
        for (auto it = items.rbegin(); it != items.rend(); ++it)
            list.Prepend(*it);
    }

    SgRef<RecordingRender> render{new RecordingRender};
    SgRef<SgDisplay> display{new SgDisplay};
};

Log DefaultsLog() {
    return {"SetAlphaProperty(0, 6, 7)",
            "SetCorrectionProperty(1)",
            "SetFogProperty(0, 1, 0, (0, 0, 0))",
            Material(SgMaterialProperty::Default().Get()),
            "SetShadeProperty(1)",
            "SetTextureModeApply(3)",
            "SetTextureModeFilter(0)",
            "SetTextureModeClamp(3)",
            "SetTextureProperty(null)",
            "SetTransparentProperty(0)",
            "SetTransparentValue(0)",
            "SetWireframeProperty(0)",
            "SetDitherProperty(0)",
            "SetVertexColorProperty(5)",
            "SetSpecularProperty(0)",
            "SetZBufferTest(0)",
            "SetZBufferWrite(0)",
            "SetMultiTextureProperty(null, null, null, null)"};
}

TEST_F(DisplayTest, BindingARendererHandsOverEveryDefault) {
    SgRef<RecordingRender> other(new RecordingRender);
    display->SetRenderer(other.Get());
    EXPECT_EQ(other->Log(), DefaultsLog());
    EXPECT_EQ(display->Renderer(), other.Get());
    EXPECT_EQ(render->RefCount(), 1u) << "the old renderer was let go";
    for (int t = 0; t < 14; ++t) {
        EXPECT_NE(display->Current(t), nullptr) << t;
        EXPECT_EQ(display->Pending(t), display->Current(t)) << t;
    }
    EXPECT_EQ(display->Current(14), nullptr);
}

TEST_F(DisplayTest, IdenticalStateSendsNothing) {
    display->ApplyPendingState();
    EXPECT_TRUE(render->calls.empty()) << "the defaults are already current";
    auto alpha = Make<SgAlphaProperty>();
    SgPropertyList list;
    Fill(list, {alpha.Get()});
    display->PushProperties(list);
    display->ApplyPendingState();
    render->Clear();
    display->ApplyPendingState();
    EXPECT_TRUE(render->calls.empty()) << "a second geometry under the same state";

    // Equal values in another object count as a change: identity decides.
    auto twin = Make<SgAlphaProperty>();
    SgPropertyList other;
    Fill(other, {twin.Get()});
    display->PushProperties(other);
    display->ApplyPendingState();
    EXPECT_EQ(render->Log(), Log{"SetAlphaProperty(0, 6, 7)"});
}

TEST_F(DisplayTest, PushAndPopRestoreEachOther) {
    auto alpha = Make<SgAlphaProperty>();
    auto fog = Make<SgFogProperty>();
    SgPropertyList list;
    Fill(list, {alpha.Get(), fog.Get()});
    display->PushProperties(list);
    EXPECT_EQ(display->Pending(SG_ALPHA_PROPERTY), alpha.Get());
    EXPECT_EQ(display->Pending(SG_FOG_PROPERTY), fog.Get());
    EXPECT_EQ(list.First(), SgAlphaProperty::Default().Get()) << "the list holds what was displaced";
    display->PopProperties(list);
    EXPECT_EQ(display->Pending(SG_ALPHA_PROPERTY), SgAlphaProperty::Default().Get());
    EXPECT_EQ(list.First(), alpha.Get());
    EXPECT_EQ(list.Count(), 2u);
}

TEST_F(DisplayTest, AnOverridingParentPropertySuppressesTheChilds) {
    auto nodeAlpha = Make<SgAlphaProperty>();
    nodeAlpha->override = 1;
    nodeAlpha->blendOn = 1;
    auto childAlpha = Make<SgAlphaProperty>();
    childAlpha->sourceBlend = 2;
    SgPropertyList node, child;
    Fill(node, {nodeAlpha.Get()});
    Fill(child, {childAlpha.Get()});

    display->PushProperties(node);
    display->PushProperties(child);
    EXPECT_EQ(display->OverrideCount(SG_ALPHA_PROPERTY), 1u);
    display->ApplyPendingState();
    EXPECT_EQ(render->Log(), Log{"SetAlphaProperty(1, 6, 7)"}) << "the child's alpha is never applied";
    display->PopProperties(child);
    EXPECT_EQ(display->Pending(SG_ALPHA_PROPERTY), nodeAlpha.Get());
    EXPECT_EQ(display->OverrideCount(SG_ALPHA_PROPERTY), 0u);
    EXPECT_EQ(child.First(), childAlpha.Get()) << "the child's list is untouched";
    display->PopProperties(node);
    EXPECT_EQ(display->Pending(SG_ALPHA_PROPERTY), SgAlphaProperty::Default().Get());
}

TEST_F(DisplayTest, ApplyPendingStateFollowsItsFixedOrder) {
    auto mode = Make<SgTextureModeProperty>();
    auto vertex = Make<SgVertexColorProperty>();
    auto texture = Make<SgTextureProperty>();
    SgRef<SgImage> image(new SgImage);
    texture->AppendImage(image.Get());
    texture->currentIndex = 0;
    auto transparent = Make<SgTransparentProperty>();
    auto correction = Make<SgCorrectionProperty>();
    correction->perspectiveOn = 0;
    auto multi = Make<SgMultiTextureProperty>();
    auto fog = Make<SgFogProperty>();
    fog->fogOn = 1;
    fog->color = SgRgb(0.5f, 0.25f, 1.0f);
    auto shade = Make<SgShadeProperty>();
    auto specular = Make<SgSpecularProperty>();
    auto wireframe = Make<SgWireframeProperty>();
    auto zbuffer = Make<SgZBufferProperty>();
    zbuffer->depthTest = 1;
    auto material = Make<SgMaterialProperty>();
    auto alpha = Make<SgAlphaProperty>();
    auto dither = Make<SgDitherProperty>();
    SgPropertyList list;
    // Pushed in an order unlike the one they reach the renderer in.
    Fill(list, {dither.Get(), alpha.Get(), material.Get(), zbuffer.Get(), wireframe.Get(), specular.Get(),
                shade.Get(), fog.Get(), multi.Get(), correction.Get(), transparent.Get(), texture.Get(),
                vertex.Get(), mode.Get()});
    display->PushProperties(list);
    display->ApplyPendingState();
    EXPECT_EQ(render->Log(), (Log{"SetTextureModeApply(3)",
                                  "SetTextureModeFilter(0)",
                                  "SetTextureModeClamp(3)",
                                  "SetVertexColorProperty(5)",
                                  "SetTextureProperty(" + DescribeObject(image.Get()) + ")",
                                  "SetTransparentProperty(0)",
                                  "SetTransparentValue(0)",
                                  "SetCorrectionProperty(0)",
                                  "SetMultiTextureProperty(null, null, null, null)",
                                  "SetFogProperty(1, 1, 0, (0.5, 0.25, 1))",
                                  "SetShadeProperty(1)",
                                  "SetSpecularProperty(0)",
                                  "SetWireframeProperty(0)",
                                  "SetZBufferTest(1)",
                                  "SetZBufferWrite(0)",
                                  Material(material.Get()),
                                  "SetAlphaProperty(0, 6, 7)",
                                  "SetDitherProperty(0)"}));
}

TEST_F(DisplayTest, TextureIndexMinusOneSendsNoTextureAndNoCompanions) {
    auto texture = Make<SgTextureProperty>();
    auto transparent = Make<SgTransparentProperty>();
    auto correction = Make<SgCorrectionProperty>();
    SgPropertyList list;
    Fill(list, {texture.Get(), transparent.Get(), correction.Get()});
    display->PushProperties(list);
    display->ApplyPendingState();
    EXPECT_EQ(render->Log(), Log{"SetTextureProperty(null)"});
    EXPECT_EQ(display->Current(SG_TRANSPARENT_PROPERTY), SgTransparentProperty::Default().Get())
        << "a transparent change waits for the next texture change";
}

TEST_F(DisplayTest, AnEmptyTextureSlotSendsNoTextureAndTheDefaultCorrection) {
    SgRef<SgImage> image(new SgImage);
    auto withImage = Make<SgTextureProperty>();
    withImage->AppendImage(image.Get());
    withImage->currentIndex = 0;
    SgPropertyList first;
    Fill(first, {withImage.Get()});
    display->PushProperties(first);
    display->ApplyPendingState();
    display->PopProperties(first);

    auto correction = Make<SgCorrectionProperty>();
    correction->perspectiveOn = 0;
    for (int32_t index : {1, 7}) {
        // Frames: empty, empty, image.
        auto empty = Make<SgTextureProperty>();
        empty->images.SetAtGrow(1, SgRef<SgImage>());
        empty->AppendImage(image.Get());
        empty->currentIndex = index;
        SgPropertyList list;
        Fill(list, {empty.Get(), correction.Get()});
        render->Clear();
        display->PushProperties(list);
        display->ApplyPendingState();
        // The stale texture of the last draw must not stay bound.
        EXPECT_EQ(render->Log(), (Log{"SetTextureProperty(null)", "SetCorrectionProperty(1)"})) << index;
        EXPECT_NE(display->Current(SG_CORRECTION_PROPERTY), correction.Get());
        display->PopProperties(list);
    }
}

TEST_F(DisplayTest, MultiTextureWithoutTexturesIsFourNulls) {
    auto multi = Make<SgMultiTextureProperty>();
    multi->blendModes.Append(2);
    multi->filterModes.Append(1);
    multi->textures.SetAtGrow(0, SgRef<SgImage>());
    SgPropertyList list;
    Fill(list, {multi.Get()});
    display->PushProperties(list);
    display->ApplyPendingState();
    EXPECT_EQ(render->Log(), Log{"SetMultiTextureProperty(null, null, null, null)"});
    display->PopProperties(list);

    SgRef<SgImage> image(new SgImage);
    auto real = Make<SgMultiTextureProperty>();
    real->textures.SetAtGrow(0, image);
    auto transparent = Make<SgTransparentProperty>();
    transparent->transparentOn = 1;
    SgPropertyList second;
    Fill(second, {real.Get(), transparent.Get()});
    render->Clear();
    display->PushProperties(second);
    display->ApplyPendingState();
    ASSERT_EQ(render->Names(), (Log{"SetMultiTextureProperty", "SetTransparentProperty", "SetTransparentValue"}));
    EXPECT_EQ(render->calls[0].objects[0], &real->textures);
    EXPECT_EQ(render->calls[0].objects[1], &real->blendModes);
}

TEST_F(DisplayTest, AChangedMaterialGetsANewRevisionEachTimeItBecomesCurrent) {
    auto material = Make<SgMaterialProperty>();
    SgPropertyList list;
    Fill(list, {material.Get()});
    for (uint32_t round = 1; round <= 2; ++round) {
        material->changed = 1;
        display->PushProperties(list);
        display->ApplyPendingState();
        EXPECT_EQ(material->revision, 1 + round);
        EXPECT_EQ(material->changed, 0);
        display->PopProperties(list);
        display->ApplyPendingState();
    }
    // Unchanged, it keeps its revision.
    display->PushProperties(list);
    display->ApplyPendingState();
    EXPECT_EQ(material->revision, 3u);
    EXPECT_EQ(render->Named("SetMaterial").back().objects[0], material.Get());
}

TEST_F(DisplayTest, BeginFrameBringsBackTheDefaultsAwayFromTheirDefault) {
    auto fog = Make<SgFogProperty>();
    auto alpha = Make<SgAlphaProperty>();
    auto texture = Make<SgTextureProperty>();
    auto transparent = Make<SgTransparentProperty>();
    auto multi = Make<SgMultiTextureProperty>();
    SgRef<SgImage> image(new SgImage);
    multi->textures.SetAtGrow(0, image);  // so the transparent property is handed over too
    SgPropertyList list;
    Fill(list, {transparent.Get(), fog.Get(), multi.Get(), alpha.Get(), texture.Get()});
    display->PushProperties(list);
    display->ApplyPendingState();
    render->Clear();
    EXPECT_EQ(display->BeginFrame(), 0);
    EXPECT_EQ(render->Log(), (Log{"BeginFrame()", "SetAlphaProperty(0, 6, 7)", "SetFogProperty(0, 1, 0, (0, 0, 0))",
                                  "SetTextureProperty(null)", "SetMultiTextureProperty(null, null, null, null)",
                                  "SetTransparentProperty(0)", "SetTransparentValue(0)"}));
    EXPECT_EQ(display->Pending(SG_FOG_PROPERTY), fog.Get()) << "pending is not touched";
    EXPECT_EQ(display->Current(SG_FOG_PROPERTY), SgFogProperty::Default().Get());
    render->Clear();
    display->EndFrame();
    display->PresentFrame();
    SgViewRect view;
    display->ClearBuffers(&view, 3);
    EXPECT_EQ(render->Log(), (Log{"EndFrame()", "PresentFrame()", "ClearBuffers((0, 1, 1, 0), 3)"}));
}

TEST_F(DisplayTest, SeventeenNestedLightsSendSixteen) {
    std::vector<SgRef<SgLight>> lights;
    for (int i = 0; i < 17; ++i) {
        lights.emplace_back(new SgLight);
        display->PushLight(lights.back().Get());
    }
    EXPECT_EQ(render->Count("UpdateLight"), 16u);
    EXPECT_EQ(display->LightTop(), 15);
    EXPECT_EQ(display->LightOverflow(), 2u);
    EXPECT_EQ(lights[16]->useCount, 0u);
    for (int i = 0; i < 17; ++i)
        display->PopLight();
    EXPECT_EQ(render->Count("UpdateLight"), 32u);
    EXPECT_EQ(display->LightTop(), -1);
    EXPECT_EQ(display->LightOverflow(), 0u);
    for (const RenderCall& c : render->Named("UpdateLight"))
        EXPECT_NE(c.objects[0], lights[16].Get()) << "the seventeenth never reaches the renderer";
    display->PopLight();
    EXPECT_EQ(display->LightTop(), -1) << "a pop of an empty stack changes nothing";
}

TEST_F(DisplayTest, ALightPushedTwiceIsHandedOverOnce) {
    SgRef<SgLight> light(new SgLight);
    EXPECT_EQ(light->changed, 1u);
    display->PushLight(light.Get());
    display->PushLight(light.Get());
    EXPECT_EQ(light->useCount, 2u);
    EXPECT_EQ(light->revision, 2u) << "changed: one new revision";
    EXPECT_EQ(light->changed, 0u);
    display->PopLight();
    EXPECT_EQ(render->Log(), Log{"UpdateLight(light#2, 1)"});
    display->PopLight();
    EXPECT_EQ(render->Log(), (Log{"UpdateLight(light#2, 1)", "UpdateLight(light#2, 0)"}));
    EXPECT_EQ(light->useCount, 0u);
}

TEST_F(DisplayTest, WithoutARendererPushesAndPopsKeepTheLists) {
    SgRef<SgDisplay> bare(new SgDisplay);
    auto alpha = Make<SgAlphaProperty>();
    auto fog = Make<SgFogProperty>();
    SgPropertyList list;
    Fill(list, {alpha.Get(), fog.Get()});
    bare->PushProperties(list);
    EXPECT_EQ(list.Count(), 2u) << "the object's list holds the displaced defaults";
    bare->ApplyPendingState();
    bare->PopProperties(list);
    EXPECT_EQ(list.First(), alpha.Get());
    EXPECT_EQ(list.Count(), 2u);
    SgRef<SgLight> light(new SgLight);
    bare->PushLight(light.Get());
    bare->PopLight();
    EXPECT_EQ(bare->PresentFrame(), 0);
    EXPECT_EQ(bare->ClearBuffers(nullptr, 1), 0);

    // Unbinding empties the light stack and resets the state.
    display->PushLight(light.Get());
    display->PushProperties(list);
    display->SetRenderer(nullptr);
    EXPECT_EQ(display->LightTop(), -1);
    EXPECT_EQ(display->Pending(SG_ALPHA_PROPERTY), SgAlphaProperty::Default().Get());
    EXPECT_EQ(render->RefCount(), 1u);
}

TEST_F(DisplayTest, DeferredDrawReplaysASnapshotAndPutsTheStateBack) {
    SgRef<SgLight> recorded(new SgLight), current(new SgLight);
    auto fog = Make<SgFogProperty>();
    fog->fogOn = 1;
    SgPropertyList list;
    Fill(list, {fog.Get()});
    display->PushLight(recorded.Get());
    display->PushProperties(list);
    SgDisplay::Snapshot snapshot;
    display->TakeSnapshot(snapshot);
    display->PopProperties(list);
    display->PopLight();
    display->PushLight(current.Get());
    render->Clear();

    bool drew = false;
    display->DrawDeferred(snapshot, [&] {
        drew = true;
        EXPECT_EQ(display->Pending(SG_FOG_PROPERTY), fog.Get());
        EXPECT_EQ(display->LightAt(0), recorded.Get());
        display->ApplyPendingState();
    });
    EXPECT_TRUE(drew);
    std::string r = DescribeObject(recorded.Get()), c = DescribeObject(current.Get());
    EXPECT_EQ(render->Log(), (Log{"UpdateLight(" + c + ", 0)", "UpdateLight(" + r + ", 1)",
                                  "SetFogProperty(1, 1, 0, (0, 0, 0))", "UpdateLight(" + r + ", 0)",
                                  "UpdateLight(" + c + ", 1)"}));
    EXPECT_EQ(display->Pending(SG_FOG_PROPERTY), SgFogProperty::Default().Get());
    EXPECT_EQ(display->LightTop(), 0);
    EXPECT_EQ(display->LightAt(0), current.Get());
    EXPECT_EQ(current->useCount, 1u) << "use counts are not touched";
    EXPECT_EQ(recorded->useCount, 0u);
}

}  // namespace
