// The sgf records of the level-of-detail mesh and the two skins, in the table every streamable
// class joins.

#include <gtest/gtest.h>

#include <vector>

#include "engine/animation/sg_3ds_skin.h"
#include "engine/animation/sg_clod_skin.h"
#include "tests/engine/support/sg_stream_cases.h"
#include "tools/writers/clod_builder.h"

namespace {

// ---- sgf records ----

SgRef<SgObject> SkinScene(bool clod) {
    auto* root = new SgNode;
    root->AssignName("figure");
    SgRef<Sg3dsBone> a(new Sg3dsBone), b(new Sg3dsBone);
    a->AssignName("hip");
    b->AssignName("knee");
    a->InsertChild(b.Get(), false);
    root->InsertChild(a.Get(), false);
    if (clod) {
        ClodBuilt built;
        BuildClod(TubeMesh(6, 2, 0.5f, 1.0f), {}, built, nullptr);
        SgRef<SgClodSkin> skin(new SgClodSkin);
        skin->SetMesh(built.Source());
        skin->ComputeVertexNormals();
        std::vector<std::vector<SgSkinInfluence>> lists;
        for (uint32_t m = 0; m < skin->VertexCount(); ++m)
            lists.push_back({{0.75f, skin->Vertices()[m], a.Get()}, {0.25f, {0, 0, float(m)}, b.Get()}});
        lists[1].clear();
        skin->SetWeights(lists);
        skin->Skin().recomputeNormals = 0;
        skin->AssignName("Body");
        root->InsertChild(skin.Get(), false);
    } else {
        const SgVec3 v[3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
        const SgVec3 n[3] = {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}};
        const uint16_t indices[3] = {0, 1, 2};
        SgRef<Sg3dsSkin> skin(new Sg3dsSkin(3, v, n, 1, indices, nullptr, nullptr));
        std::vector<std::vector<SgSkinInfluence>> lists = {
            {{0.25f, {1, 0, 0}, a.Get()}, {0.75f, {0, 1, 0}, b.Get()}}, {{0.5f, {0, 1, 0}, a.Get()}}, {}};
        skin->SetWeights(lists);
        skin->AssignName("arm");
        root->InsertChild(skin.Get(), false);
    }
    return SgRef<SgObject>(root);
}

const SgStreamCase kCases[] = {
    {"SgClod", [] {
         ClodBuilt built;
         BuildClod(TubeMesh(6, 3, 0.5f, 1.0f), {}, built, nullptr);
         SgRef<SgClod> clod = MakeClod(built);
         clod->AssignName("tube");
         clod->detailFactor = 0.125f;
         clod->perStateData = 0;
         clod->ComputeVertexNormals();
         return SgRef<SgObject>(clod.Get());
     }},
    {"Sg3dsSkin", [] { return SkinScene(false); }},
    {"SgClodSkin", [] { return SkinScene(true); }},
};

TEST_P(SgStreamCaseTest, RoundTrip) { CheckStreamRoundTrip(GetParam()); }
TEST_P(SgStreamCaseTest, MatchesSeed) { CheckStreamSeed(GetParam()); }
INSTANTIATE_TEST_SUITE_P(AnimationLod, SgStreamCaseTest, testing::ValuesIn(kCases), SgStreamCaseName);

}  // namespace
