#include "client/present/figure_table.h"

#include <gtest/gtest.h>

#include "engine/core/sg_node.h"
#include "tests/client/present/figure_fixture.h"

namespace {

using namespace present;

class FigureTableTest : public ::testing::Test {
protected:
    void TearDown() override { figure_fixture::ClearFigureTables(); }
};

TEST_F(FigureTableTest, LookupsAnswerOnlyInsideTheirTables) {
    FigureTables& t = Figures();
    for (int i = 0; i < kFigureSlots; ++i)
        t.figures[i] = new SgNode;
    for (int i = 0; i < kTemplateSlots; ++i)
        t.templates[i] = new SgNode;
    t.bodyTextures[49] = new SgTextureProperty;

    struct Case {
        int number;
        bool figure, templ, billboard, body;
    };
    const Case cases[] = {
        {-1, false, false, false, false}, {0, false, true, false, false},  {1, true, true, true, false},
        {49, true, true, true, true},     {50, true, true, false, false},  {499, true, true, false, false},
        {500, false, false, false, false}, {0x7fffffff, false, false, false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FigureNode(c.number) != nullptr, c.figure) << c.number;
        EXPECT_EQ(TemplateNode(c.number) != nullptr, c.templ) << c.number;
        EXPECT_EQ(BillboardSlot(c.number) != nullptr, c.billboard) << c.number;
        EXPECT_EQ(BodyTexture(c.number) != nullptr, c.body) << c.number;
    }
    EXPECT_EQ(ElementTexture(10), nullptr);
    EXPECT_EQ(HeadTexture(50), nullptr);
}

TEST_F(FigureTableTest, ExtraDataIsFoundOnlyAtTheHead) {
    SgRef<SgNode> node(new SgNode);
    EXPECT_EQ(GetFigureExtraData(node.Get()), nullptr);
    SgFigureExtraData* data = AttachFigureExtraData(node.Get());
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(GetFigureExtraData(node.Get()), data);
    EXPECT_EQ(data->kind, kFigurePlain);
    EXPECT_EQ(data->boneTable, nullptr);
    EXPECT_EQ(data->model, nullptr);

    // Another record in front hides it: only the head counts.
    node->PrependExtra(new SgStringExtraData("x"));
    EXPECT_EQ(GetFigureExtraData(node.Get()), nullptr);
    EXPECT_EQ(GetFigureExtraData(nullptr), nullptr);
}

TEST_F(FigureTableTest, AttachingAgainReplacesTheRecord) {
    SgRef<SgNode> node(new SgNode);
    SgFigureExtraData* first = AttachFigureExtraData(node.Get());
    first->kind = kFigureSkinned;
    first->boneTable = std::make_unique<FigureBoneTable>();
    SgFigureExtraData* second = AttachFigureExtraData(node.Get());
    EXPECT_EQ(second->kind, kFigurePlain);
    EXPECT_EQ(second->boneTable, nullptr);
    // The old record left the list: nothing follows the new head.
    EXPECT_EQ(second->next, nullptr);
}

TEST_F(FigureTableTest, FigureDataNeedsAFigureInRange) {
    Figures().figures[7] = new SgNode;
    EXPECT_EQ(FigureData(7), nullptr);
    SgFigureExtraData* data = AttachFigureExtraData(Figures().figures[7].Get());
    EXPECT_EQ(FigureData(7), data);
    EXPECT_EQ(FigureData(0), nullptr);
    EXPECT_EQ(FigureData(500), nullptr);
}

TEST_F(FigureTableTest, DefinitionBlocksStopBeforeTheirNeighbours) {
    const int cases[][2] = {{-1, -1}, {0, 198}, {5, 198}, {198, 198}, {199, 199},
                            {200, 399}, {399, 399}, {400, 499}, {499, 499}, {500, -1}};
    for (const auto& c : cases)
        EXPECT_EQ(LastTemplateOfBlock(c[0]), c[1]) << c[0];
}

}  // namespace
