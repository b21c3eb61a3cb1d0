// The template loader: definition files to log lines and tables, the optimize and level-of-detail
// passes worked by hand, frame images, the release of the tables.

#include "client/present/figure_loader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "client/core/error_log.h"
#include "client/present/engine_files.h"
#include "engine/animation/sg_3ds_animation_node.h"
#include "engine/core/sg_file.h"
#include "engine/geometry/sg_switch_nodes.h"
#include "engine/geometry/sg_tri_shape.h"
#include "platform/fs/fs.h"
#include "tests/client/present/figure_fixture.h"
#include "tests/support/recording_render.h"
#include "tests/support/temp_dir.h"
#include "tools/writers/bmp_writer.h"
#include "tools/writers/sgf_bytes.h"

namespace {

using namespace present;

SgRef<SgTriShape> Shape(const char* name) {
    const SgVec3 v[3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    const uint16_t t[3] = {0, 1, 2};
    SgRef<SgTriShape> shape(new SgTriShape(3, v, nullptr, 1, t, nullptr, nullptr));
    shape->AssignName(name);
    return shape;
}

SgRef<SgNode> Node(const char* name) {
    SgRef<SgNode> node(new SgNode);
    node->AssignName(name);
    return node;
}

std::string Bytes(SgObject* object) {
    std::vector<uint8_t> b = SgfBytesOf(object);
    return std::string(b.begin(), b.end());
}

class FigureLoaderTest : public testing::Test {
protected:
    void SetUp() override {
        dir.Enter();
        ASSERT_TRUE(OpenErrorLog("error.log"));
        present::InstallGameFileOpener();
    }
    void TearDown() override {
        SgSetFileOpener(nullptr);
        CloseErrorLog();
        figure_fixture::ClearFigureTables();
        SgAVObject::cloneNaming = savedNaming;
    }
    // The log after its first line.
    std::string Log() {
        std::string text = dir.Read("error.log");
        return text.substr(text.find('\n') + 1);
    }
    TempDir dir;
    const int savedNaming = SgAVObject::cloneNaming;
};

TEST_F(FigureLoaderTest, EachKeyWritesItsLineAndSetsItsTable) {
    dir.Write("figures/plain.sgf", Bytes(Node("plain").Get()));
    SgRef<SgNode> bones = Node("Bip01");
    dir.Write("figures/bones.sgf", Bytes(bones.Get()));
    dir.Write("figures/figures.dat",
              "[sgfdefs]\nnumsgfs=3\n"
              "[sgf200]\nfilename=plain.sgf\ntype=animation\nlighting=Lit\nlight_offset=7\n"
              "[sgf202]\nfilename=missing.sgf\n"
              "[sgf203]\nfilename=bones.sgf\noptimize=1\nlod=1\nfigure_animation=Cast\nframes=0\n"
              "frames_per_second=-5\ntype=Skinned\nlighting=material\n"
              "[sgf204]\nfilename=plain.sgf\n");
    EXPECT_EQ(LoadModelTemplates("figures", 200), 1);
    EXPECT_EQ(Log(),
              "Loading 3 Sgfs from figures at offset=200\n"
              "Loading SGF #200 (figures/plain.sgf)\n"
              "Typing SGF #200 (figures/plain.sgf) -- Animation\n"
              "Lighting SGF #200 (figures/plain.sgf) LIT_PLUS_VERTEX: 7\n"
              "Loading SGF #202 (figures/missing.sgf)\n"
              "Error Loading SGF #202 (figures/missing.sgf)!\n"
              "Loading SGF #203 (figures/bones.sgf)\n"
              "Optimizing SGF #203 (figures/bones.sgf)\n"
              "LOD'ing SGF #203 (figures/bones.sgf)\n"
              "Animating SGF #203 (figures/bones.sgf) -- Cast\n"
              "Typing SGF #203 (figures/bones.sgf) -- Skinned\n"
              "Lighting SGF #203 (figures/bones.sgf) MATERIAL\n");
    ASSERT_NE(TemplateNode(200), nullptr);
    EXPECT_STREQ(TemplateNode(200)->GetName(), "figures/plain.sgf");
    EXPECT_STREQ(TemplateNode(200)->ChildAt(0)->GetName(), "plain");
    // Without an animation the template keeps no record, so no kind.
    EXPECT_EQ(GetFigureExtraData(TemplateNode(200)), nullptr);
    EXPECT_EQ(TemplateNode(201), nullptr);
    EXPECT_EQ(TemplateNode(202), nullptr);
    EXPECT_EQ(TemplateNode(204), nullptr);
    SgFigureExtraData* data = GetFigureExtraData(TemplateNode(203));
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->kind, kFigureSkinned);
    EXPECT_EQ(data->modelNumber, 203);
    // A count or rate of 0 or less reads as 1 frame at 30.
    EXPECT_EQ(data->frameCount, 1);
    EXPECT_EQ(data->frameRate, 30);
    EXPECT_EQ(data->boneMode, 2);
    EXPECT_NE(data->boneTable, nullptr);
    EXPECT_EQ(SgAVObject::cloneNaming, 1);
}

TEST_F(FigureLoaderTest, AnimationValuesAreToldApartByTwoLetters) {
    dir.Write("sgfs/m.sgf", Bytes(Node("m").Get()));
    std::string defs = "[sgfdefs]\nnumsgfs=5\n";
    const char* values[6] = {"Loop", "clamp", "Cast", "cycle", "", "LOOP"};
    for (int n = 0; n < 6; ++n)
        defs += "[sgf0" + std::to_string(n) + "]\nfilename=m.sgf\nfigure_animation=" + values[n] + "\nframes=12\n";
    dir.Write("sgfs/sgfs.dat", defs);
    LoadModelTemplates("sgfs", 0);
    const std::string log = Log();
    EXPECT_NE(log.find("Animating SGF #0 (sgfs/m.sgf) -- Loop\n"), std::string::npos);
    EXPECT_NE(log.find("Animating SGF #1 (sgfs/m.sgf) -- Clamp\n"), std::string::npos);
    EXPECT_NE(log.find("Animating SGF #2 (sgfs/m.sgf) -- Cast\n"), std::string::npos);
    EXPECT_NE(log.find("Animating SGF #5 (sgfs/m.sgf) -- Loop\n"), std::string::npos);
    EXPECT_EQ(log.find("#3 (sgfs/m.sgf) --"), std::string::npos);
    const int boneModes[6] = {0, 1, 2, -1, -1, 0};
    for (int n = 0; n < 6; ++n) {
        SgFigureExtraData* data = GetFigureExtraData(TemplateNode(n));
        EXPECT_EQ(data != nullptr, boneModes[n] >= 0) << n;
        if (data) {
            EXPECT_EQ(data->boneMode, boneModes[n]) << n;
            EXPECT_EQ(data->frameCount, 12) << n;
        }
    }
}

// The animation's timing divides by both: a count below 1 reads as 1 and a rate below 1 as 30.
TEST_F(FigureLoaderTest, FrameCountsAndRatesBelowOneReadTheirDefaults) {
    struct Case {
        const char* keys;
        int frames, fps;
    } cases[] = {
        {"frames=0\nframes_per_second=0\n", 1, 30}, {"frames=8\nframes_per_second=0\n", 8, 30},
        {"frames=-1\nframes_per_second=-5\n", 1, 30}, {"frames=1\nframes_per_second=1\n", 1, 1},
        {"frames=12\nframes_per_second=15\n", 12, 15}, {"", 1, 30},
    };
    const int count = static_cast<int>(std::size(cases));
    dir.Write("sgfs/m.sgf", Bytes(Node("m").Get()));
    std::string defs = "[sgfdefs]\nnumsgfs=" + std::to_string(count) + "\n";
    for (int n = 0; n < count; ++n)
        defs += "[sgf0" + std::to_string(n) + "]\nfilename=m.sgf\nfigure_animation=loop\n" + cases[n].keys;
    dir.Write("sgfs/sgfs.dat", defs);
    LoadModelTemplates("sgfs", 0);
    for (int n = 0; n < count; ++n) {
        SCOPED_TRACE(cases[n].keys);
        const SgFigureExtraData* data = GetFigureExtraData(TemplateNode(n));
        ASSERT_NE(data, nullptr);
        EXPECT_EQ(data->frameCount, cases[n].frames);
        EXPECT_EQ(data->frameRate, cases[n].fps);
    }
}

TEST_F(FigureLoaderTest, AMissingFileTriesOnlyTheFirstSection) {
    EXPECT_EQ(LoadModelTemplates("nowhere", 0), 1);
    EXPECT_EQ(Log(), "Loading 0 Sgfs from nowhere at offset=0\n");
}

TEST_F(FigureLoaderTest, EntriesStopAtTheEndOfTheirBlock) {
    dir.Write("figures/p.sgf", Bytes(Node("p").Get()));
    dir.Write("figures/figures.dat",
              "[sgfdefs]\nnumsgfs=2000000000\n[sgf399]\nfilename=p.sgf\n[sgf400]\nfilename=p.sgf\n");
    LoadModelTemplates("figures", 200);
    EXPECT_NE(TemplateNode(399), nullptr);
    EXPECT_EQ(TemplateNode(400), nullptr);

    dir.Write("sgfs/p.sgf", Bytes(Node("p").Get()));
    dir.Write("sgfs/sgfs.dat", "[sgfdefs]\nnumsgfs=300\n[sgf198]\nfilename=p.sgf\n[sgf199]\nfilename=p.sgf\n");
    LoadModelTemplates("sgfs", 0);
    EXPECT_NE(TemplateNode(198), nullptr);
    EXPECT_EQ(TemplateNode(199), nullptr);
}

TEST_F(FigureLoaderTest, OnlyANodeOrNothingReplacesTheSlot) {
    dir.Write("sgfs/shape.sgf", Bytes(Shape("lone").Get()));
    dir.Write("sgfs/bad.sgf", "not a scene at all");
    dir.Write("sgfs/node.sgf", Bytes(Node("n").Get()));
    ASSERT_EQ(LoadFigureModel(4, "sgfs/node.sgf"), 1);
    SgNode* before = TemplateNode(4);
    const std::string here = platform::CurrentDirectory();
    EXPECT_EQ(LoadFigureModel(4, "sgfs/shape.sgf"), 1);
    EXPECT_EQ(TemplateNode(4), before);
    EXPECT_EQ(LoadFigureModel(4, "sgfs/bad.sgf"), 0);
    EXPECT_EQ(TemplateNode(4), before);
    EXPECT_EQ(platform::CurrentDirectory(), here);
    EXPECT_EQ(LoadFigureModel(4, "nodir/node.sgf"), 0);
    EXPECT_EQ(platform::CurrentDirectory(), here);
    for (int n : {-1, 500})
        EXPECT_EQ(LoadFigureModel(n, "sgfs/node.sgf"), 0);
}

TEST_F(FigureLoaderTest, APrintKeyDumpsTheTemplate) {
    dir.Write("sgfs/m.sgf", Bytes(Node("printed").Get()));
    dir.Write("sgfs/sgfs.dat", "[sgfdefs]\nnumsgfs=0\n[sgf00]\nfilename=m.sgf\nprint=7\n");
    LoadModelTemplates("sgfs", 0);
    ASSERT_TRUE(dir.Exists("anim7.log"));
    EXPECT_NE(dir.Read("anim7.log").find("[printed]"), std::string::npos);
}

// Keyed node with the given key counts, placed by rotation r, translation t and scale s.
SgRef<Sg3dsAnimationNode> Keyed(const char* name, int rotationKeys, int positionKeys) {
    SgRef<Sg3dsAnimationNode> node(new Sg3dsAnimationNode);
    node->AssignName(name);
    std::vector<SgRotationKey*> r;
    for (int i = 0; i < rotationKeys; ++i)
        r.push_back(new SgRotationKeyPlain(static_cast<float>(i), 0, SgVec3(0, 0, 1)));
    node->SetRotationKeys(r.data(), static_cast<uint32_t>(r.size()), true);
    for (auto* k : r)
        delete k;
    std::vector<SgPositionKey*> p;
    for (int i = 0; i < positionKeys; ++i)
        p.push_back(new SgPositionKeyLinear(static_cast<float>(i), SgVec3()));
    node->SetPositionKeys(p.data(), static_cast<uint32_t>(p.size()), true);
    for (auto* k : p)
        delete k;
    return node;
}

TEST_F(FigureLoaderTest, OptimizeFoldsBonesAsWorkedByHand) {
    SgRef<SgNode> holder(new SgNode);
    SgRef<SgNode> bone = Node("Bip01 Spine");
    holder->InsertChild(bone.Get(), false);
    bone->InsertChild(Shape("mesh").Get(), false);          // a bone's mesh goes
    bone->InsertChild(Node("Dummy01").Get(), false);        // and its dummies
    bone->InsertChild(Node("dummy02").Get(), false);        // (as written: this one stays)
    SgRef<Sg3dsAnimationNode> keyed = Keyed("K", 1, 0);
    const float rk[9] = {0, 1, 0, -1, 0, 0, 0, 0, 1};
    std::memcpy(keyed->localRotation.m, rk, sizeof rk);
    keyed->localTranslation = SgVec3(1, 2, 3);
    keyed->localScale = -2;
    SgRef<SgNode> child = Node("C");
    child->localTranslation = SgVec3(1, 0, 0);
    child->localScale = 5;
    keyed->InsertChild(child.Get(), false);
    bone->InsertChild(keyed.Get(), false);                  // folds into C
    SgRef<Sg3dsAnimationNode> moving = Keyed("Moving", 2, 0);
    moving->InsertChild(Node("M").Get(), false);
    bone->InsertChild(moving.Get(), false);                 // two rotation keys: stays
    bone->InsertChild(Keyed("Empty", 0, 0).Get(), false);   // pruned
    SgRef<SgTriShape> painted = Shape("Bip01 Paint");
    for (SgProperty* p : {static_cast<SgProperty*>(new SgVertexColorProperty), static_cast<SgProperty*>(new SgTextureModeProperty),
                          static_cast<SgProperty*>(new SgWireframeProperty), static_cast<SgProperty*>(new SgZBufferProperty),
                          static_cast<SgProperty*>(new SgMaterialProperty)})
        painted->AddRenderProperty(p);
    holder->InsertChild(painted.Get(), false);
    Figures().templates[6] = holder;
    OptimizeFigureModel(6);

    std::vector<std::string> names;
    for (uint32_t i = 0; i < bone->ChildCount(); ++i)
        if (SgAVObject* c = bone->ChildAt(i))
            names.push_back(c->GetName());
    EXPECT_EQ(names, (std::vector<std::string>{"dummy02", "K", "Moving"}));
    // C took K's place, name and placement: R = Rk, T = Tk + Rk (inverse transposed) Tc, |s|.
    SgAVObject* folded = nullptr;
    for (uint32_t i = 0; i < bone->ChildCount(); ++i)
        if (bone->ChildAt(i) && std::strcmp(bone->ChildAt(i)->GetName(), "K") == 0)
            folded = bone->ChildAt(i);
    ASSERT_EQ(folded, child.Get());
    EXPECT_EQ(folded->localTranslation, SgVec3(1, 1, 3));
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(folded->localRotation.m[i], rk[i]) << i;
    EXPECT_EQ(folded->localScale, 2.0f);
    std::vector<int> left;
    for (SgProperty* p : painted->properties)
        left.push_back(p->PropertyType());
    EXPECT_EQ(left, (std::vector<int>{SG_MATERIAL_PROPERTY}));
}

TEST_F(FigureLoaderTest, AtMostTenKeyedNodesFoldPerNode) {
    SgRef<SgNode> holder(new SgNode);
    for (int i = 0; i < 12; ++i) {
        SgRef<Sg3dsAnimationNode> k = Keyed("k", 0, 1);
        k->InsertChild(Node("leaf").Get(), false);
        holder->InsertChild(k.Get(), false);
    }
    Figures().templates[6] = holder;
    OptimizeFigureModel(6);
    int keyed = 0;
    for (uint32_t i = 0; i < holder->ChildCount(); ++i)
        keyed += SgKindCast<Sg3dsAnimationNode>(holder->ChildAt(i)) != nullptr;
    EXPECT_EQ(keyed, 2);
}

TEST_F(FigureLoaderTest, LevelsOfDetailWrapTheShapesFoundByInitial) {
    SgRef<SgNode> holder(new SgNode);
    holder->localScale = 2;
    SgRef<SgNode> bone = Node("Bip01 Head");
    holder->InsertChild(bone.Get(), false);
    bone->InsertChild(Shape("Low").Get(), false);
    bone->InsertChild(Node("Between").Get(), false);
    bone->InsertChild(Shape("HIGH").Get(), false);
    bone->InsertChild(Shape("high2").Get(), false);
    Figures().templates[8] = holder;
    BuildFigureModelLod(8);

    // The level-of-detail node in the first free place, the rest dense again behind it.
    ASSERT_EQ(bone->ChildCount(), 3u);
    EXPECT_STREQ(bone->ChildAt(1)->GetName(), "Between");
    EXPECT_STREQ(bone->ChildAt(2)->GetName(), "high2");
    auto* lod = SgKindCast<SgLODNode>(bone->ChildAt(0));
    ASSERT_NE(lod, nullptr);
    ASSERT_EQ(lod->ChildCount(), 2u);
    EXPECT_STREQ(static_cast<SgNode*>(lod->ChildAt(0))->ChildAt(0)->GetName(), "HIGH");
    EXPECT_STREQ(static_cast<SgNode*>(lod->ChildAt(1))->ChildAt(0)->GetName(), "Low");
    ASSERT_EQ(lod->RangeCount(), 2u);
    EXPECT_FLOAT_EQ(lod->Range(0)->nearModel, 0.0f);
    EXPECT_FLOAT_EQ(lod->Range(0)->farModel, 128.0f);
    EXPECT_FLOAT_EQ(lod->Range(1)->nearModel, 256.0f);
    EXPECT_FLOAT_EQ(lod->Range(1)->farModel, 500000.0f);
}

TEST_F(FigureLoaderTest, FrameImagesAreNumberedBmpThenTga) {
    RecordingImageFactory images;
    SgRef<SgNode> holder(new SgNode);
    SgRef<SgTriShape> water = Shape("water");
    SgRef<SgTextureProperty> texture(new SgTextureProperty);
    water->AddRenderProperty(texture.Get());
    SgRef<SgNode> inner = Node("inner");
    inner->InsertChild(water.Get(), false);
    holder->InsertChild(inner.Get(), false);
    Figures().templates[401] = holder;
    BmpImage bmp;
    bmp.width = bmp.height = 2;
    bmp.pixels.assign(12, 9);
    const std::vector<uint8_t> bytes = BuildBmp(bmp);
    const std::string picture(bytes.begin(), bytes.end());
    dir.Write("lvl/wave00.bmp", picture);
    dir.Write("lvl/wave01.tga", "broken");
    dir.Write("lvl/wave02.bmp", picture);
    EXPECT_EQ(LoadFrameImages(401, "lvl", "wave"), 1);
    dir.Write("lvl/wave01.bmp", picture);
    EXPECT_EQ(LoadFrameImages(401, "lvl", "wave"), 3);
    EXPECT_EQ(texture->ImageCount(), 4u);
    EXPECT_EQ(LoadFrameImages(402, "lvl", "wave"), 0);
    EXPECT_EQ(FindTextureProperty(holder.Get()), texture.Get());
}

TEST_F(FigureLoaderTest, FreeingEmptiesTheSlotsOnce) {
    FigureTables& t = Figures();
    t.templates[5] = new SgNode;
    t.templates[199] = new SgNode;
    t.templates[450] = new SgNode;
    t.bodyTextures[3] = new SgTextureProperty;
    t.headTextures[49] = new SgTextureProperty;
    t.elementTextures[9] = new SgTextureProperty;
    EXPECT_EQ(FreeFigureModel(5), 1);
    EXPECT_EQ(FreeFigureModel(5), 0);
    EXPECT_EQ(FreeFigureModel(500), 0);
    EXPECT_EQ(FreeBodyTexture(-1), 0);
    t.templates[5] = new SgNode;
    FreeFigureResources();
    EXPECT_FALSE(t.templates[5]);
    EXPECT_FALSE(t.templates[199]);
    // The fixtures belong to the arena.
    EXPECT_TRUE(t.templates[450]);
    EXPECT_FALSE(t.bodyTextures[3]);
    EXPECT_FALSE(t.headTextures[49]);
    EXPECT_FALSE(t.elementTextures[9]);
}

TEST_F(FigureLoaderTest, TreeHelpers) {
    SgRef<SgNode> a = Node("Alpha");
    SgRef<SgNode> b = Node("beta");
    a->InsertChild(b.Get(), false);
    b->InsertChild(Shape("x").Get(), false);
    a->InsertChild(Shape("y").Get(), false);
    EXPECT_EQ(CountSubtreeNodes(a.Get(), 0), 4);
    EXPECT_EQ(CountSubtreeNodes(a.Get(), 10), 14);
    EXPECT_EQ(CountSubtreeNodes(nullptr, 3), 3);
    EXPECT_TRUE(NameStartsWith(a.Get(), "al"));
    EXPECT_TRUE(NameStartsWith(a.Get(), ""));
    EXPECT_FALSE(NameStartsWith(a.Get(), "alphas"));
    EXPECT_FALSE(NameStartsWith(nullptr, "a"));
}

}  // namespace
