// Figure textures and tints: the texture tables from their files, body and head chosen by
// triangle count, the tint table and the restore at opacity 100.

#include "client/present/figure_textures.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "client/present/engine_files.h"
#include "engine/animation/sg_3ds_skin.h"
#include "engine/core/sg_file.h"
#include "platform/fs/fs.h"
#include "tests/client/present/figure_fixture.h"
#include "tests/support/recording_render.h"
#include "tests/support/temp_dir.h"
#include "tools/writers/bmp_writer.h"

namespace {

using namespace present;

// A skinned fan of n triangles.
SgRef<Sg3dsSkin> Skin(uint16_t triangles) {
    std::vector<SgVec3> points{SgVec3(0, 0, 0)};
    std::vector<uint16_t> indices;
    for (uint16_t i = 0; i <= triangles; ++i)
        points.emplace_back(1.0f, static_cast<float>(i), 0.0f);
    for (uint16_t i = 0; i < triangles; ++i)
        indices.insert(indices.end(), {0, static_cast<uint16_t>(i + 1), static_cast<uint16_t>(i + 2)});
    return SgRef<Sg3dsSkin>(new Sg3dsSkin(static_cast<uint16_t>(points.size()), points.data(), nullptr, triangles,
                                          indices.data(), nullptr, nullptr));
}

SgTextureProperty* TextureOf(SgAVObject* o) {
    return static_cast<SgTextureProperty*>(o->FindPropertyOfType(SG_TEXTURE_PROPERTY));
}

class FigureTexturesTest : public testing::Test {
protected:
    void TearDown() override { figure_fixture::ClearFigureTables(); }
};

TEST_F(FigureTexturesTest, TablesTakeTheirFilesBySlot) {
    RecordingImageFactory images;
    TempDir dir;
    dir.Enter();
    present::InstallGameFileOpener();
    BmpImage bmp;
    bmp.width = bmp.height = 2;
    bmp.pixels.assign(12, 200);
    const std::vector<uint8_t> bytes = BuildBmp(bmp);
    const std::string picture(bytes.begin(), bytes.end());
    // Upper case on disk: the game's names are found without regard to case.
    for (const char* name : {"FIGURES/f1body2y.bmp", "FIGURES/f3body3b.bmp", "FIGURES/f2head4.bmp"})
        dir.Write(name, picture);
    dir.Write("sgfs/eheat.tga", "not an image");
    LoadFigureTextures();
    SgSetFileOpener(nullptr);

    FigureTables& t = Figures();
    // Type 1, body 2, yellow: 3 x 1 + 1; type 3, body 3, blue: 20 + 6 + 2; type 2, head 4: 4 + 3.
    for (int slot : {4, 28})
        EXPECT_TRUE(t.bodyTextures[slot] && t.bodyTextures[slot]->CurrentImage()) << slot;
    EXPECT_TRUE(t.headTextures[7] && t.headTextures[7]->CurrentImage());
    // Files that are missing or do not read leave properties without images; the flag byte
    // marks only the element textures.
    ASSERT_TRUE(t.bodyTextures[0]);
    EXPECT_FALSE(t.bodyTextures[0]->CurrentImage());
    EXPECT_EQ(t.bodyTextures[4]->override, 0);
    ASSERT_TRUE(t.elementTextures[1]);
    EXPECT_FALSE(t.elementTextures[1]->CurrentImage());
    EXPECT_EQ(t.elementTextures[1]->override, 1);
    for (int slot : {9, 19, 29, 49})
        EXPECT_FALSE(t.bodyTextures[slot]) << slot;
    for (int slot : {0, 6})
        EXPECT_FALSE(t.elementTextures[slot]) << slot;
    EXPECT_FALSE(t.headTextures[12]);
    // Loading again replaces each slot.
    SgTextureProperty* before = t.bodyTextures[4].Get();
    LoadBodyTexture("figures\\f1body2y.bmp", 4);
    EXPECT_NE(t.bodyTextures[4].Get(), before);
}

TEST_F(FigureTexturesTest, TheBiggerMeshTakesTheBodyTheSmallerTheHead) {
    FigureTables& t = Figures();
    for (int n : {4, 11})
        t.bodyTextures[n] = new SgTextureProperty;
    t.headTextures[2] = new SgTextureProperty;
    SgRef<SgNode> model(new SgNode);
    SgRef<Sg3dsSkin> head = Skin(3), body = Skin(8);
    head->AddRenderProperty(new SgTextureProperty);
    model->InsertChild(head.Get(), false);
    model->InsertChild(body.Get(), false);
    figure_fixture::MakeFigure(5, model.Get());

    EXPECT_EQ(SetFigureBodyTexture(5, 4), 1);
    EXPECT_EQ(TextureOf(body.Get()), t.bodyTextures[4].Get());
    EXPECT_EQ(SetFigureHeadTexture(5, 2), 1);
    EXPECT_EQ(TextureOf(head.Get()), t.headTextures[2].Get());
    EXPECT_EQ(TextureOf(body.Get()), t.bodyTextures[4].Get());
    // A new number replaces the texture, an empty entry (9) or one past the table leaves none.
    EXPECT_EQ(SetFigureBodyTexture(5, 11), 1);
    EXPECT_EQ(TextureOf(body.Get()), t.bodyTextures[11].Get());
    for (int n : {9, 50, -1}) {
        EXPECT_EQ(SetFigureBodyTexture(5, n), 1);
        EXPECT_EQ(TextureOf(body.Get()), nullptr) << n;
    }
    EXPECT_EQ(SetFigureBodyTexture(6, 4), 0);
    EXPECT_EQ(SetFigureBodyTexture(500, 4), 0);
}

TEST_F(FigureTexturesTest, OneSkinnedMeshOrATieDecideAsTheyShould) {
    Figures().bodyTextures[4] = new SgTextureProperty;
    Figures().headTextures[1] = new SgTextureProperty;
    SgRef<Sg3dsSkin> only = Skin(5);
    figure_fixture::MakeFigure(3, only.Get());
    EXPECT_EQ(SetFigureBodyTexture(3, 4), 0);
    EXPECT_EQ(TextureOf(only.Get()), nullptr);

    SgRef<SgNode> model(new SgNode);
    SgRef<Sg3dsSkin> first = Skin(4), second = Skin(4);
    model->InsertChild(first.Get(), false);
    model->InsertChild(second.Get(), false);
    figure_fixture::MakeFigure(4, model.Get());
    EXPECT_EQ(SetFigureHeadTexture(4, 1), 1);
    EXPECT_EQ(TextureOf(first.Get()), Figures().headTextures[1].Get());
    EXPECT_EQ(TextureOf(second.Get()), nullptr);
}

TEST_F(FigureTexturesTest, NewFiguresStartWithTheirOwnPlainLook) {
    SgFigureExtraData* a = figure_fixture::MakeFigure(1);
    SgFigureExtraData* b = figure_fixture::MakeFigure(2);
    EXPECT_NE(a->materialProperty, b->materialProperty);
    EXPECT_EQ(a->alphaProperty->blendOn, 0);
    EXPECT_EQ(a->alphaProperty->sourceBlend, 6u);
    EXPECT_EQ(a->alphaProperty->destinationBlend, 7u);
    SgMaterialProperty* m = a->materialProperty;
    EXPECT_EQ(m->ambient, SgRgb(0, 0, 0));
    EXPECT_EQ(m->diffuse, SgRgb(1, 1, 1));
    EXPECT_EQ(m->specular, SgRgb(0, 0, 0));
    EXPECT_EQ(m->emissive, SgRgb(0.125f, 0.125f, 0.125f));
    EXPECT_EQ(m->alpha, 1.0f);
    EXPECT_EQ(a->vertexColorProperty->mode, 6u);
    EXPECT_EQ(a->zBufferProperty->depthTest, 1);
    EXPECT_EQ(a->zBufferProperty->depthWrite, 1);
    // All four sit on the model.
    for (SgProperty* p : {static_cast<SgProperty*>(a->alphaProperty), static_cast<SgProperty*>(m),
                          static_cast<SgProperty*>(a->vertexColorProperty), static_cast<SgProperty*>(a->zBufferProperty)})
        EXPECT_EQ(a->model->FindPropertyOfType(p->PropertyType()), p);
}

// A figure with ground marks (two children) and a billboard (a picture child).
struct TintedFigure {
    SgFigureExtraData* data;
    SgRef<SgNode> marks, billboard;
    SgAVObject* Mark(int i) const { return marks->ChildAt(i); }
    SgAVObject* Picture() const { return billboard->ChildAt(0); }
};

TintedFigure MakeTintedFigure(int n) {
    TintedFigure f;
    f.data = figure_fixture::MakeFigure(n);
    f.marks = SgRef<SgNode>(new SgNode);
    f.marks->InsertChild(new SgNode, false);
    f.marks->InsertChild(new SgNode, false);
    f.billboard = SgRef<SgNode>(new SgNode);
    f.billboard->InsertChild(new SgNode, false);
    f.data->groundMarker = f.marks.Get();
    f.data->billboard = f.billboard.Get();
    return f;
}

TEST_F(FigureTexturesTest, TintModesFollowTheirTable) {
    struct Case {
        int mode, flag;
        uint32_t source, destination;
        bool colourInDiffuse;
        int marksShown;  // -1 unchanged
        int pictureShown;
    };
    const Case cases[] = {
        {1, 0, 6, 0, false, 0, 1}, {2, 1, 1, 7, true, 1, 1},  {2, 0, 1, 7, true, 1, 0},
        {3, 1, 6, 7, true, 0, 1},  {3, 0, 6, 7, true, 0, 0},  {0, 0, 6, 7, true, -1, -1},
        {7, 1, 6, 7, true, -1, -1},
    };
    const SgRgb c(51 / 255.0f, 102 / 255.0f, 1.0f), black(0, 0, 0);
    for (const Case& k : cases) {
        TintedFigure f = MakeTintedFigure(9);
        // Start from the opposite of what the mode should leave.
        for (int i = 0; i < 2; ++i)
            f.Mark(i)->SetHidden(k.marksShown == 1 ? 1 : 0);
        f.Picture()->SetHidden(k.pictureShown == 1 ? 1 : 0);
        SetFigureTint(9, 40, k.mode, k.flag, 51, 102, 255);
        SCOPED_TRACE(testing::Message() << "mode " << k.mode << " flag " << k.flag);
        EXPECT_EQ(f.data->alphaProperty->sourceBlend, k.source);
        EXPECT_EQ(f.data->alphaProperty->destinationBlend, k.destination);
        EXPECT_EQ(f.data->materialProperty->diffuse, k.colourInDiffuse ? c : black);
        EXPECT_EQ(f.data->materialProperty->emissive, k.colourInDiffuse ? black : c);
        EXPECT_FLOAT_EQ(f.data->materialProperty->alpha, 0.4f);
        EXPECT_EQ(f.data->alphaProperty->blendOn, 1);
        EXPECT_EQ(f.data->zBufferProperty->depthWrite, 0);
        EXPECT_EQ(f.data->vertexColorProperty->mode, 4u);
        // Unchanged parts keep the shown state they started in.
        for (int i = 0; i < 2; ++i)
            EXPECT_EQ(f.Mark(i)->IsHidden(), k.marksShown == 0 ? 1 : 0) << i;
        EXPECT_EQ(f.Picture()->IsHidden(), k.pictureShown == 0 ? 1 : 0);
    }
}

TEST_F(FigureTexturesTest, OpacityNinetyNineFadesAndAHundredRestoresWhateverTheMode) {
    TintedFigure f = MakeTintedFigure(2);
    SetFigureTint(2, 99, 0, 0, 255, 0, 0);
    EXPECT_FLOAT_EQ(f.data->materialProperty->alpha, 0.99f);
    EXPECT_EQ(f.data->materialProperty->diffuse, SgRgb(1, 0, 0));
    EXPECT_EQ(f.data->materialProperty->override, 1);
    SetFigureTint(2, 30, 1, 0, 0, 255, 0);
    EXPECT_TRUE(f.Mark(0)->IsHidden());

    SetFigureTint(2, 100, 1, 0, 0, 255, 0);
    const SgMaterialProperty* m = f.data->materialProperty;
    EXPECT_EQ(m->diffuse, SgRgb(1, 1, 1));
    EXPECT_EQ(m->emissive, SgRgb(0, 0, 0));
    EXPECT_EQ(m->alpha, 1.0f);
    EXPECT_EQ(m->override, 0);
    EXPECT_EQ(f.data->alphaProperty->blendOn, 0);
    EXPECT_EQ(f.data->alphaProperty->override, 0);
    EXPECT_EQ(f.data->zBufferProperty->depthWrite, 1);
    EXPECT_EQ(f.data->vertexColorProperty->mode, 6u);
    EXPECT_EQ(f.data->vertexColorProperty->override, 1);
    EXPECT_FALSE(f.Mark(0)->IsHidden());
    EXPECT_FALSE(f.Mark(1)->IsHidden());
    EXPECT_FALSE(f.Picture()->IsHidden());
}

TEST_F(FigureTexturesTest, TintsAndColoursNeedTheFigureAndItsProperties) {
    SgFigureExtraData* a = figure_fixture::MakeFigure(1);
    SgFigureExtraData* b = figure_fixture::MakeFigure(2);
    SetFigureTint(1, 10, 2, 0, 0, 0, 0);
    EXPECT_EQ(b->materialProperty->alpha, 1.0f);
    EXPECT_FLOAT_EQ(a->materialProperty->alpha, 0.1f);
    a->zBufferProperty = nullptr;
    SetFigureTint(1, 100, 0, 0, 0, 0, 0);
    EXPECT_FLOAT_EQ(a->materialProperty->alpha, 0.1f);
    for (int n : {0, 3, 500, -7})
        SetFigureTint(n, 10, 1, 0, 1, 2, 3);

    SetFigureColor(2, 255, 0, 51);
    EXPECT_EQ(b->materialProperty->ambient, SgRgb(1, 0, 0.2f));
    EXPECT_EQ(b->materialProperty->diffuse, SgRgb(1, 0, 0.2f));
    EXPECT_EQ(b->materialProperty->specular, SgRgb(0, 0, 0));
    EXPECT_EQ(b->materialProperty->emissive, SgRgb(1, 0, 0.2f));
    EXPECT_EQ(b->materialProperty->override, 1);
}

}  // namespace
