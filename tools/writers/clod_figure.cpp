#include "tools/writers/clod_figure.h"

#include <cmath>

#include "engine/animation/sg_3ds_animation_node.h"
#include "engine/animation/sg_3ds_skin.h"
#include "engine/animation/sg_clod_skin.h"
#include "tools/writers/clod_builder.h"
#include "tools/writers/sgf_bytes.h"

namespace {

constexpr SgVec3 kX{1, 0, 0};
constexpr uint32_t kBones = 3;

SgRef<Sg3dsBone> Bone(const char* name, float rise, float bend) {
    SgRef<Sg3dsBone> bone(new Sg3dsBone);
    bone->AssignName(name);
    bone->timeMode = SgAnimationTiming::kTimeApplication;
    bone->cycleType = SgAnimationTiming::kCycleLoop;
    SgPositionKey* at = new SgPositionKeyLinear(0, {0, 0, rise});
    bone->SetPositionKeys(&at, 1, true);
    delete at;
    SgRotationKey* turn[3] = {new SgRotationKeyPlain(0, 0, kX), new SgRotationKeyPlain(1, bend, kX),
                              new SgRotationKeyPlain(2, 0, kX)};
    bone->SetRotationKeys(turn, 3, true);
    for (SgRotationKey* k : turn)
        delete k;
    return bone;
}

// Each bone's share of a point at height z: tents centred on the bones' segments.
std::vector<float> Shares(float z) {
    std::vector<float> w(kBones);
    float sum = 0;
    for (uint32_t j = 0; j < kBones; ++j) {
        float centre = kClodFigureBoneSpacing * (j + 0.5f);
        w[j] = std::fmax(0.0f, 1.0f - std::fabs(z - centre) / kClodFigureBoneSpacing);
        sum += w[j];
    }
    for (float& x : w)
        x = sum > 0 ? x / sum : 1.0f / kBones;
    return w;
}

// The point in bone j's space at rest (bones unturned, one spacing apart).
SgVec3 Offset(const SgVec3& p, uint32_t j) { return p - SgVec3(0, 0, kClodFigureBoneSpacing * j); }

}  // namespace

SgRef<SgNode> BuildClodFigure() {
    SgRef<SgNode> root(new SgNode);
    root->AssignName("clod sample");
    SgRef<Sg3dsBone> hip = Bone("hip", 0, 0);
    SgRef<Sg3dsBone> knee = Bone("knee", kClodFigureBoneSpacing, 0.6f);
    SgRef<Sg3dsBone> ankle = Bone("ankle", kClodFigureBoneSpacing, 0.6f);
    hip->InsertChild(knee.Get(), false);
    knee->InsertChild(ankle.Get(), false);
    root->InsertChild(hip.Get(), false);
    Sg3dsBone* bones[kBones] = {hip.Get(), knee.Get(), ankle.Get()};

    ClodInputMesh tube = TubeMesh(12, 20, 0.5f, 4.0f);
    ClodBuilt built;
    if (!BuildClod(tube, {}, built, nullptr))
        return {};
    SgRef<SgClodSkin> body = MakeClodSkin(tube, "Body", [&](const SgVec3& p) {
        std::vector<SgSkinInfluence> list;
        std::vector<float> w = Shares(p.z);
        for (uint32_t j = 0; j < kBones; ++j)
            if (w[j] > 0)
                list.push_back({w[j], Offset(p, j), bones[j]});
        return list;
    });
    if (!body)
        return {};
    root->InsertChild(body.Get(), false);

    // The same tube as one indexed shape, welded by position and texture coordinates.
    std::vector<SgVec3> positions, uv;
    std::vector<uint16_t> indices;
    for (size_t e = 0; e < tube.triangles.size(); ++e) {
        const SgVec3& p = tube.positions[tube.triangles[e]];
        const SgVec3& t = tube.cornerTexture[e];
        size_t v = 0;
        while (v < positions.size() && !(positions[v] == p && uv[v] == t))
            ++v;
        if (v == positions.size()) {
            positions.push_back(p);
            uv.push_back(t);
        }
        indices.push_back(static_cast<uint16_t>(v));
    }
    std::vector<SgVec3> normals(positions.size(), SgVec3(0, 0, 1));
    SgRef<Sg3dsSkin> four(new Sg3dsSkin(static_cast<uint16_t>(positions.size()), positions.data(), normals.data(),
                                        static_cast<uint16_t>(indices.size() / 3), indices.data(), uv.data(),
                                        nullptr));
    four->AssignName("Tube4");
    four->localTranslation = {2, 0, 0};
    std::vector<std::vector<SgSkinInfluence>> fours(positions.size());
    for (size_t v = 0; v < positions.size(); ++v) {
        std::vector<float> w = Shares(positions[v].z);
        // Four influences: every bone, the middle one's share split in two.
        fours[v] = {{w[0], Offset(positions[v], 0), hip.Get()},
                    {w[1] * 0.5f, Offset(positions[v], 1), knee.Get()},
                    {w[1] * 0.5f, Offset(positions[v], 1), knee.Get()},
                    {w[2], Offset(positions[v], 2), ankle.Get()}};
    }
    four->SetWeights(fours);
    four->ComputeNormals();
    root->InsertChild(four.Get(), false);

    SgRef<SgClod> plain = MakeClod(built);
    if (!plain)
        return {};
    plain->AssignName("Tube");
    plain->localTranslation = {-2, 0, 0};
    plain->ComputeVertexNormals();
    root->InsertChild(plain.Get(), false);
    root->UpdateAllStates();
    return root;
}

std::vector<uint8_t> ClodFigureBytes() {
    SgRef<SgNode> figure = BuildClodFigure();
    return figure ? SgfBytesOf(figure.Get()) : std::vector<uint8_t>();
}
