// Render-state properties: defaults, stream forms and comparison; and the table test that saves,
// loads and compares every streamable class of engine_core.

#include <gtest/gtest.h>

#include "engine/core/sg_property.h"
#include "engine/core/sg_stream.h"
#include "tests/engine/support/sg_stream_cases.h"

namespace {

template <class T>
SgRef<T> Make() {
    return SgRef<T>(new T);
}

TEST(Properties, DefaultsAndTypeNumbers) {
    EXPECT_EQ(SgMaterialProperty::Default()->materialId, 1u) << "the first material of the process";

    auto alpha = SgAlphaProperty::Default();
    EXPECT_EQ(alpha->PropertyType(), 0);
    EXPECT_EQ(alpha->blendOn, 0);
    EXPECT_EQ(alpha->sourceBlend, 6u);
    EXPECT_EQ(alpha->destinationBlend, 7u);
    EXPECT_EQ(alpha->override, 0);
    EXPECT_EQ(SgCorrectionProperty::Default()->perspectiveOn, 1);
    auto fog = SgFogProperty::Default();
    EXPECT_EQ(fog->fogOn, 0);
    EXPECT_EQ(fog->depth, 1.0f);
    EXPECT_EQ(fog->fogKind, 0u);
    EXPECT_EQ(fog->color, SgRgb());
    auto material = SgMaterialProperty::Default();
    EXPECT_EQ(material->changed, 1);
    EXPECT_EQ(material->ambient, SgRgb(0.5f, 0.5f, 0.5f));
    EXPECT_EQ(material->diffuse, SgRgb(0.5f, 0.5f, 0.5f));
    EXPECT_EQ(material->specular, SgRgb());
    EXPECT_EQ(material->emissive, SgRgb());
    EXPECT_EQ(material->shininess, 0.0f);
    EXPECT_EQ(material->alpha, 1.0f);
    EXPECT_EQ(material->revision, 1u);
    EXPECT_EQ(SgShadeProperty::Default()->smoothOn, 1);
    auto mode = SgTextureModeProperty::Default();
    EXPECT_EQ(mode->applyMode, 3u);
    EXPECT_EQ(mode->filterMode, 0u);
    EXPECT_EQ(mode->addressingMode, 3u);
    EXPECT_EQ(SgTransparentProperty::Default()->transparentOn, 0);
    EXPECT_EQ(SgWireframeProperty::Default()->wireframeOn, 0);
    auto zbuffer = SgZBufferProperty::Default();
    EXPECT_EQ(zbuffer->depthTest, 0);
    EXPECT_EQ(zbuffer->depthWrite, 0);
    EXPECT_EQ(SgDitherProperty::Default()->ditherOn, 0);
    EXPECT_EQ(SgVertexColorProperty::Default()->mode, 5u);
    EXPECT_EQ(SgSpecularProperty::Default()->specularOn, 0);

    const SgProperty* all[] = {
        SgAlphaProperty::Default().Get(),     SgCorrectionProperty::Default().Get(),
        SgFogProperty::Default().Get(),       SgMaterialProperty::Default().Get(),
        SgShadeProperty::Default().Get(),     SgTextureModeProperty::Default().Get(),
        SgTransparentProperty::Default().Get(), SgWireframeProperty::Default().Get(),
        SgZBufferProperty::Default().Get(),   SgDitherProperty::Default().Get(),
        SgVertexColorProperty::Default().Get(), SgSpecularProperty::Default().Get(),
    };
    const int types[] = {0, 1, 2, 3, 4, 5, 7, 8, 9, 10, 11, 12};
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(all[i]->PropertyType(), types[i]) << all[i]->ClassName();
    // One instance per class, handed out as new references.
    EXPECT_EQ(SgAlphaProperty::Default().Get(), alpha.Get());
}

TEST(Properties, MaterialsTakeConsecutiveIdsAndCompareWithoutThem) {
    auto a = Make<SgMaterialProperty>();
    auto b = Make<SgMaterialProperty>();
    EXPECT_EQ(b->materialId, a->materialId + 1);
    EXPECT_TRUE(a->IsEqualTo(b.Get()));
    b->revision = 9;
    b->changed = 0;
    EXPECT_TRUE(a->IsEqualTo(b.Get()));
    b->emissive.g = 0.25f;
    EXPECT_FALSE(a->IsEqualTo(b.Get()));

    // A loaded material gets a fresh id, the changed flag and revision 1.
    a->changed = 0;
    a->revision = 4;
    SgRef<SgObject> loaded = LoadSingleTopLevel(SaveAsTopLevel(a.Get()));
    auto* m = SgKindCast<SgMaterialProperty>(loaded.Get());
    ASSERT_NE(m, nullptr);
    EXPECT_GT(m->materialId, b->materialId);
    EXPECT_EQ(m->changed, 1);
    EXPECT_EQ(m->revision, 1u);
}

TEST(Properties, ComparisonsFollowEachClass) {
    auto modeA = Make<SgTextureModeProperty>(), modeB = Make<SgTextureModeProperty>();
    modeB->addressingMode = 0;
    EXPECT_TRUE(modeA->IsEqualTo(modeB.Get())) << "addressing takes no part";
    modeB->filterMode = 2;
    EXPECT_FALSE(modeA->IsEqualTo(modeB.Get()));

    auto shadeA = Make<SgShadeProperty>(), shadeB = Make<SgShadeProperty>();
    shadeB->override = 1;
    EXPECT_TRUE(shadeA->IsEqualTo(shadeB.Get())) << "the shade property ignores override";

    auto alphaA = Make<SgAlphaProperty>(), alphaB = Make<SgAlphaProperty>();
    alphaB->override = 1;
    EXPECT_FALSE(alphaA->IsEqualTo(alphaB.Get()));
    EXPECT_FALSE(alphaA->IsEqualTo(shadeA.Get()));
    EXPECT_FALSE(shadeA->IsEqualTo(alphaA.Get()));

    auto fogA = Make<SgFogProperty>(), fogB = Make<SgFogProperty>();
    fogB->color.b = 0.5f;
    EXPECT_FALSE(fogA->IsEqualTo(fogB.Get()));
}

TEST(Properties, RecordLengths) {
    auto size = [](SgObject* o) { return SaveAsTopLevel(o).size(); };
    SgRef<SgDitherProperty> dither = Make<SgDitherProperty>();
    SgRef<SgShadeProperty> shade = Make<SgShadeProperty>();
    SgRef<SgFogProperty> fog = Make<SgFogProperty>();
    // "SgDitherProperty" is one letter longer, and the shade record has no override byte.
    EXPECT_EQ(size(dither.Get()) - size(shade.Get()), 1u + 1u);
    // "SgFogProperty" is three letters shorter; after the object part fog holds 22 bytes, dither 2.
    EXPECT_EQ(size(fog.Get()) + 3, size(dither.Get()) + 22 - 2);
}

// ---- Every streamable class of engine_core ----

template <class T, class Fill>
SgStreamCase Case(const char* name, Fill fill) {
    return {name, [fill] {
                T* p = new T;
                fill(*p);
                return SgRef<SgObject>(p);
            }};
}

const SgStreamCase kCoreCases[] = {
    Case<SgAlphaProperty>("SgAlphaProperty",
                          [](SgAlphaProperty& p) {
                              p.override = 1;
                              p.blendOn = 1;
                              p.sourceBlend = 2;
                              p.destinationBlend = 0x01020304;
                          }),
    Case<SgCorrectionProperty>("SgCorrectionProperty", [](SgCorrectionProperty& p) { p.perspectiveOn = 0; }),
    Case<SgFogProperty>("SgFogProperty",
                        [](SgFogProperty& p) {
                            p.fogOn = 1;
                            p.depth = 0.75f;
                            p.fogKind = 2;
                            p.color = {0.25f, 0.5f, 1.0f};
                        }),
    Case<SgMaterialProperty>("SgMaterialProperty",
                             [](SgMaterialProperty& p) {
                                 p.AssignName("stone");
                                 p.ambient = {0.1f, 0.2f, 0.3f};
                                 p.diffuse = {0.4f, 0.5f, 0.6f};
                                 p.specular = {0.7f, 0.8f, 0.9f};
                                 p.emissive = {1.0f, 0.0f, 0.5f};
                                 p.shininess = 12.5f;
                                 p.alpha = 0.5f;
                             }),
    Case<SgShadeProperty>("SgShadeProperty", [](SgShadeProperty& p) { p.smoothOn = 0; }),
    Case<SgTextureModeProperty>("SgTextureModeProperty",
                                [](SgTextureModeProperty& p) {
                                    p.override = 1;
                                    p.applyMode = 1;
                                    p.filterMode = 5;
                                    p.addressingMode = 2;
                                }),
    Case<SgTransparentProperty>("SgTransparentProperty",
                                [](SgTransparentProperty& p) {
                                    p.transparentOn = 1;
                                    p.value = 0xFF00FF;
                                }),
    Case<SgWireframeProperty>("SgWireframeProperty", [](SgWireframeProperty& p) { p.wireframeOn = 1; }),
    Case<SgZBufferProperty>("SgZBufferProperty",
                            [](SgZBufferProperty& p) {
                                p.depthTest = 1;
                                p.depthWrite = 1;
                            }),
    Case<SgDitherProperty>("SgDitherProperty", [](SgDitherProperty& p) { p.ditherOn = 1; }),
    Case<SgVertexColorProperty>("SgVertexColorProperty", [](SgVertexColorProperty& p) { p.mode = 2; }),
    Case<SgSpecularProperty>("SgSpecularProperty", [](SgSpecularProperty& p) { p.specularOn = 1; }),
    // An object part with a name and extra data of every engine kind.
    Case<SgDitherProperty>("SgObjectPart",
                           [](SgDitherProperty& p) {
                               p.AssignName("named");
                               auto* raw = new SgExtraData;
                               const uint8_t bytes[] = {9, 8, 7};
                               raw->SetBytes(bytes, 3);
                               p.PrependExtra(raw);
                               p.PrependExtra(new SgStringExtraData("hello"));
                               p.PrependExtra(new SgStringExtraData(nullptr));
                           }),
};

TEST_P(SgStreamCaseTest, RoundTrip) { CheckStreamRoundTrip(GetParam()); }
TEST_P(SgStreamCaseTest, MatchesSeed) { CheckStreamSeed(GetParam()); }
INSTANTIATE_TEST_SUITE_P(EngineCore, SgStreamCaseTest, testing::ValuesIn(kCoreCases), SgStreamCaseName);

}  // namespace
