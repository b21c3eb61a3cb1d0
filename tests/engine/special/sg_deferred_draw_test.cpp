// The deferral pass with the engine's sorter: what it collects and the order it draws in.

#include <gtest/gtest.h>

#include "engine/core/sg_property.h"
#include "engine/geometry/sg_deferred_draw_sorter.h"
#include "tests/engine/special/special_fixture.h"

namespace {

class DeferredDrawTest : public SpecialSceneTest {
protected:
    DeferredDrawTest() { camera->useDeferralPass = 1; }

    // Shapes at the given distances along the view, in that order, under one root.
    std::vector<SgTriShape*> Row(SgNode* root, const std::vector<float>& distances) {
        std::vector<SgTriShape*> shapes;
        for (float d : distances) {
            SgRef<SgTriShape> s = MakeCentredTriangle(0.5f);
            s->localTranslation = {d, 0.01f * d, 0};
            root->InsertChild(s.Get(), false);
            shapes.push_back(s.Get());
        }
        return shapes;
    }
};

TEST_F(DeferredDrawTest, TheEngineSorterIsTheDefaultCollector) {
    SgDeferredCollector* made = SgGetDeferredCollectorFactory()();
    EXPECT_NE(dynamic_cast<SgDeferredDrawSorter*>(made), nullptr);
    delete made;
}

TEST_F(DeferredDrawTest, ObjectsAreDrawnFarthestFirst) {
    SgRef<SgNode> root(new SgNode);
    std::vector<SgTriShape*> shapes = Row(root.Get(), {20, 60, 40, 10});
    RenderRoot(root.Get());
    EXPECT_EQ(DrawnOrder(shapes), (std::vector<int>{1, 2, 0, 3}));
}

TEST_F(DeferredDrawTest, EachPassStartsEmptyAndManyObjectsAllDraw) {
    SgRef<SgNode> root(new SgNode);
    std::vector<float> distances;
    for (int i = 0; i < 24; ++i)
        distances.push_back(10.0f + float((i * 7) % 24));
    std::vector<SgTriShape*> shapes = Row(root.Get(), distances);
    RenderRoot(root.Get());
    std::vector<int> order = DrawnOrder(shapes);
    ASSERT_EQ(order.size(), 24u);
    for (int i : order)
        ASSERT_GE(i, 0);
    for (size_t i = 1; i < order.size(); ++i)
        EXPECT_GT(distances[order[i - 1]], distances[order[i]]) << "position " << i;
    // A second frame draws the same, once each: nothing of the first pass is left over.
    Frame(root.Get());
    EXPECT_EQ(DrawnOrder(shapes), order);
}

TEST_F(DeferredDrawTest, BlendedObjectsKeepTheirPropertiesWhenDrawnLater) {
    SgRef<SgNode> root(new SgNode);
    std::vector<SgTriShape*> shapes = Row(root.Get(), {10, 30});
    SgRef<SgAlphaProperty> alpha(new SgAlphaProperty);
    alpha->AssignName("glass");
    alpha->blendOn = 1;
    shapes[0]->AddRenderProperty(alpha.Get());
    RenderRoot(root.Get());
    EXPECT_EQ(DrawnOrder(shapes), (std::vector<int>{1, 0}));
    // The near, blended one is drawn last with its alpha property in force; the far one without.
    std::vector<std::string> names = render->Names();
    std::vector<std::string> seq;
    for (const std::string& n : names)
        if (n == "DrawTriShape" || n == "SetAlphaProperty")
            seq.push_back(n);
    ASSERT_FALSE(seq.empty());
    EXPECT_EQ(seq.back(), "DrawTriShape");
    EXPECT_EQ(seq[seq.size() - 2], "SetAlphaProperty");
}

TEST_F(DeferredDrawTest, TheSorterIgnoresStrayCallsAndASecondBegin) {
    SgDeferredDrawSorter sorter;
    SgRef<SgTriShape> shape = MakeCentredTriangle();
    EXPECT_FALSE(sorter.Accept(shape.Get(), shape->CurrentState())) << "no pass: drawn at once";
    sorter.End();  // no pass: nothing
    SgRef<SgCamera> other(new SgCamera);
    sorter.Begin(camera.Get());
    sorter.Begin(other.Get());
    EXPECT_EQ(sorter.Camera(), camera.Get()) << "the first camera stays";
    EXPECT_TRUE(sorter.Accept(shape.Get(), shape->CurrentState()));
    EXPECT_EQ(sorter.EntryCount(), 1u);
    sorter.End();
    EXPECT_EQ(sorter.EntryCount(), 0u);
    EXPECT_EQ(sorter.Camera(), nullptr);
    EXPECT_FALSE(sorter.InPass());
    // An empty pass draws nothing and leaves the sorter ready.
    render->Clear();
    sorter.Begin(camera.Get());
    sorter.End();
    EXPECT_EQ(render->Count("DrawTriShape"), 0u);
    EXPECT_FALSE(sorter.InPass());
}

// A program's collector that takes nothing.
struct Refusing : SgDeferredDrawSorter {
    bool Accept(SgAVObject*, SgWorldState*) override {
        ++offered;
        return false;
    }
    static inline int offered = 0;
};

TEST_F(DeferredDrawTest, AProgramCanInstallItsOwnCollector) {
    SgDeferredCollectorFactory engine = SgGetDeferredCollectorFactory();
    SgSetDeferredCollectorFactory([]() -> SgDeferredCollector* { return new Refusing; });
    SgRef<SgNode> root(new SgNode);
    std::vector<SgTriShape*> shapes = Row(root.Get(), {10, 30});
    RenderRoot(root.Get());
    SgSetDeferredCollectorFactory(engine);
    EXPECT_EQ(Refusing::offered, 2);
    EXPECT_EQ(DrawnOrder(shapes), (std::vector<int>{0, 1})) << "refused objects draw at once, in order";
}

}  // namespace
