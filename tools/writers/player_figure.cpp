#include "tools/writers/player_figure.h"

#include <cmath>
#include <cstdio>
#include <map>
#include <tuple>
#include <vector>

#include "engine/animation/sg_3ds_animation_node.h"
#include "engine/animation/sg_3ds_skin.h"
#include "engine/animation/sg_clod_skin.h"
#include "engine/core/sg_texture_property.h"
#include "tools/writers/clod_builder.h"

const char* const kPlayerBoneNames[kPlayerBoneCount] = {
    "Bip01",          "Bip01 Pelvis",     "Bip01 Spine",     "Bip01 Neck",      "Bip01 Head",
    "Bip01 L Clavicle", "Bip01 L UpperArm", "Bip01 L Forearm", "Bip01 R Clavicle", "Bip01 R UpperArm",
    "Bip01 R Forearm", "Bip01 L Thigh",    "Bip01 L Calf",    "Bip01 L Foot",    "Bip01 R Thigh",
    "Bip01 R Calf",    "Bip01 R Foot",     "Bip01 L Hand",    "Bip01 R Hand",    "Bip01 L Finger0",
    "Bip01 R Finger0", "Bip01 Ext01",      "Bip01 Ext02",     "Bip01 Ext03",     "Bip01 Ext04",
    "Bip01 Ext05",     "Bip01 Ext06",      "Bip01 Ext07",     "Bip01 Ext08",     "Bip01 Ext09",
    "Bip01 Ext10",     "Bip01 Ext11",
};

namespace {

// The tables below draw the figure facing +x with its left on +y. The game turns a model so that
// its -y axis points where the object faces (and goes), so every point and axis is turned a
// quarter to the right before it is stored: +x becomes -y, +y becomes +x.
constexpr SgVec3 Facing(const SgVec3& v) { return {v.y, -v.x, v.z}; }

// Legs and arms swing about the figure's left-right axis.
constexpr SgVec3 kSwingAxis = Facing({0, 1, 0});

struct BoneRest {
    int parent;  // -1: the skeleton's root
    SgVec3 offset;  // from the parent, at scale 1
};

// Bones by index; the extras hang off the head and spine (hair and cloak points).
const BoneRest kRest[kPlayerBoneCount] = {
    {-1, {0, 0, 0}},     {0, {0, 0, 55}},    {1, {0, 0, 12}},    {2, {0, 0, 30}},    {3, {0, 0, 6}},
    {2, {0, 4, 26}},     {5, {0, 8, 0}},     {6, {0, 0, -22}},   {2, {0, -4, 26}},   {8, {0, -8, 0}},
    {9, {0, 0, -22}},    {1, {0, 8, -4}},    {11, {0, 0, -24}},  {12, {0, 0, -24}},  {1, {0, -8, -4}},
    {14, {0, 0, -24}},   {15, {0, 0, -24}},  {7, {0, 0, -20}},   {10, {0, 0, -20}},  {17, {0, 0, -6}},
    {18, {0, 0, -6}},    {4, {0, 0, 10}},    {4, {2, 0, 10}},    {4, {-2, 0, 10}},   {4, {0, 2, 10}},
    {4, {0, -2, 10}},    {2, {-6, 0, 20}},   {2, {-6, 4, 20}},   {2, {-6, -4, 20}},  {2, {-6, 0, 10}},
    {2, {-6, 4, 10}},    {2, {-6, -4, 10}},
};

float TypeScale(int type) { return type == 2 ? 0.92f : type == 3 ? 1.08f : 1.0f; }

// How an animation moves the limbs: swing amplitudes (radians) of thighs and arms about y, the
// knees' bend, and the right arm's raise for the cast pair.
struct Motion {
    float legs, calves, arms, raise;
    int frames;
    const char* mode;
};

Motion MotionOf(int offset) {
    switch (offset) {
    case 0: return {0.5f, 0.4f, 0.3f, 0, 24, "Loop"};     // walk
    case 1: return {-0.4f, 0.3f, 0.2f, 0, 20, "Loop"};    // back
    case 2:
    case 3: return {0.25f, 0.2f, 0.1f, 0, 18, "Loop"};    // strafes
    case 4: return {0.9f, 0.8f, 0.6f, 0, 16, "Loop"};     // run
    case 15: return {0.03f, 0.0f, 0.05f, 0, 30, "Loop"};  // idle
    case 19: return {0.0f, 0.0f, 0.0f, 0, 40, "Clamp"};   // death
    case 20: return {0, 0, 0, -1.6f, 12, "Cast"};         // raise the right arm (forward)
    case 21: return {0, 0, 0, -1.6f, 12, "Cast"};         // lower it
    default: return {0.1f, 0.1f, 0.15f, 0, 30, offset >= 5 && offset <= 14 ? "Clamp" : "Loop"};
    }
}

SgRef<Sg3dsBone> MakeBone(int index, float scale, float lift) {
    SgRef<Sg3dsBone> bone(new Sg3dsBone);
    bone->AssignName(kPlayerBoneNames[index]);
    bone->timeMode = SgAnimationTiming::kTimeApplication;
    bone->cycleType = SgAnimationTiming::kCycleLoop;
    SgVec3 at = Facing(kRest[index].offset * scale);
    at.z += lift;
    SgPositionKey* key = new SgPositionKeyLinear(0, at);
    bone->SetPositionKeys(&key, 1, true);
    delete key;
    SgRotationKey* still = new SgRotationKeyPlain(0, 0, kSwingAxis);
    bone->SetRotationKeys(&still, 1, true);
    delete still;
    return bone;
}

// A swing about y over the cycle: 0, a, 0, -a, 0 (a raise goes 0 to a and stays).
void Swing(Sg3dsBone* bone, float amplitude, float seconds, bool raise) {
    if (amplitude == 0)
        return;
    const float at[5] = {0, amplitude, 0, -amplitude, 0};
    const float up[5] = {0, amplitude * 0.4f, amplitude * 0.8f, amplitude, amplitude};
    SgRotationKey* keys[5];
    for (int i = 0; i < 5; ++i)
        keys[i] = new SgRotationKeyPlain(seconds * i / 4, raise ? up[i] : at[i], kSwingAxis);
    bone->SetRotationKeys(keys, 5, true);
    for (SgRotationKey* k : keys)
        delete k;
}

// The knee bends (the foot goes back, a positive turn) only while its thigh is behind the hip,
// so the leg in front stays straight and carries the figure.
void Knee(Sg3dsBone* calf, float thighAmplitude, float bend, float seconds) {
    if (thighAmplitude == 0 || bend == 0)
        return;
    const float thigh[5] = {0, thighAmplitude, 0, -thighAmplitude, 0};
    SgRotationKey* keys[5];
    for (int i = 0; i < 5; ++i)
        keys[i] = new SgRotationKeyPlain(seconds * i / 4, thigh[i] > 0 ? std::fabs(bend) : 0.0f, kSwingAxis);
    calf->SetRotationKeys(keys, 5, true);
    for (SgRotationKey* k : keys)
        delete k;
}

// The whole skeleton sinks while the legs are spread, so the straight leg keeps its foot on the
// ground (hip to ankle is 48 at scale 1).
void Bob(Sg3dsBone* root, float thighAmplitude, float scale, float seconds) {
    if (thighAmplitude == 0)
        return;
    const float drop = 48 * scale * (1 - std::cos(thighAmplitude));
    SgPositionKey* keys[5];
    for (int i = 0; i < 5; ++i)
        keys[i] = new SgPositionKeyLinear(seconds * i / 4, SgVec3(0, 0, i % 2 == 1 ? -drop : 0.0f));
    root->SetPositionKeys(keys, 5, true);
    for (SgPositionKey* k : keys)
        delete k;
}

struct Skeleton {
    SgRef<SgNode> root;
    Sg3dsBone* bones[kPlayerBoneCount] = {};
    SgVec3 restWorld[kPlayerBoneCount];
};

Skeleton BuildSkeleton(int type, float pelvisLift) {
    Skeleton s;
    const float scale = TypeScale(type);
    s.root = SgRef<SgNode>(new SgNode);
    SgRef<Sg3dsBone> made[kPlayerBoneCount];
    for (int i = 0; i < kPlayerBoneCount; ++i) {
        made[i] = MakeBone(i, scale, i == 1 ? pelvisLift : 0.0f);
        s.bones[i] = made[i].Get();
        const int p = kRest[i].parent;
        s.restWorld[i] = (p < 0 ? SgVec3() : s.restWorld[p]) + Facing(kRest[i].offset * scale);
        if (i == 1)
            s.restWorld[i].z += pelvisLift;
    }
    for (int i = 0; i < kPlayerBoneCount; ++i) {
        const int p = kRest[i].parent;
        if (p < 0)
            s.root->InsertChild(made[i].Get(), false);
        else
            made[p]->InsertChild(made[i].Get(), false);
    }
    return s;
}

// One part of the body: a tube round a bone chain, its radius going from the bottom one to the
// middle one at four fifths of its height and on to the top one, its texture rows from v0 at the
// bottom to v1 at the top. Rings below each split height follow the next bone down; the ring at a
// split follows both halves, so joints bend without a crack.
struct Limb {
    float x, y, bottom, top;  // centre and height range, at scale 1
    float bottomRadius, middleRadius, topRadius;
    uint32_t around, along;
    float v0, v1;
    int bones[3];     // from the top down; -1 ends the chain
    float splits[2];  // heights where the next bone takes over
};

// Torso, legs and arms, left (+y) first; the belt rows of the texture fall on the waist, the
// limbs take the banded rows clear of the belt.
const Limb kLimbs[] = {
    {0, 0, 43, 103, 10, 12, 5, 12, 10, 0.4f, 1.0f, {2, 1, -1}, {67, 0}},
    {0, 6.5f, 2, 52, 4, 5, 6, 8, 8, 0, 0.4f, {11, 12, -1}, {27, 0}},
    {0, -6.5f, 2, 52, 4, 5, 6, 8, 8, 0, 0.4f, {14, 15, -1}, {27, 0}},
    {0, 15.5f, 47, 95, 3, 4, 3.5f, 6, 8, 0, 0.4f, {6, 7, 17}, {71, 53}},
    {0, -15.5f, 47, 95, 3, 4, 3.5f, 6, 8, 0, 0.4f, {9, 10, 18}, {71, 53}},
};

struct BodyMesh {
    ClodInputMesh mesh;
    std::vector<std::vector<int>> bones;  // per vertex: the bones it follows, equally
};

void AddLimb(const Limb& limb, float scale, BodyMesh& body) {
    const float length = (limb.top - limb.bottom) * scale;
    ClodInputMesh tube = TubeMesh(limb.around, limb.along, 1.0f, length);
    const uint16_t base = static_cast<uint16_t>(body.mesh.positions.size());
    for (size_t v = 0; v < tube.positions.size(); ++v) {
        SgVec3 p = tube.positions[v];
        const uint32_t ring = static_cast<uint32_t>(v / limb.around);
        const float t = static_cast<float>(ring) / limb.along;
        const float radius = (t < 0.8f ? limb.bottomRadius + (limb.middleRadius - limb.bottomRadius) * t / 0.8f
                                       : limb.middleRadius + (limb.topRadius - limb.middleRadius) * (t - 0.8f) / 0.2f) *
                             scale;
        p = Facing(SgVec3(p.x * radius + limb.x * scale, p.y * radius + limb.y * scale, p.z + limb.bottom * scale));
        body.mesh.positions.push_back(p);
        // Heights compared at scale 1, rounded to the ring so a split height lands on one ring.
        const float z = limb.bottom + (limb.top - limb.bottom) * t;
        std::vector<int> follow;
        int k = 0;
        while (k < 2 && limb.bones[k + 1] >= 0 && z < limb.splits[k] - 0.01f)
            ++k;
        follow.push_back(limb.bones[k]);
        if (k < 2 && limb.bones[k + 1] >= 0 && std::fabs(z - limb.splits[k]) < 0.01f)
            follow.push_back(limb.bones[k + 1]);
        body.bones.push_back(follow);
    }
    for (uint16_t i : tube.triangles)
        body.mesh.triangles.push_back(static_cast<uint16_t>(base + i));
    for (SgVec3 uv : tube.cornerTexture)
        body.mesh.cornerTexture.push_back(SgVec3(uv.x, limb.v0 + (limb.v1 - limb.v0) * uv.y, 0));
    body.mesh.cornerColors.insert(body.mesh.cornerColors.end(), tube.cornerColors.begin(), tube.cornerColors.end());
}

}  // namespace

SgRef<SgNode> BuildPlayerFigure(int type) {
    if (type < 1 || type > kPlayerFigureTypes)
        return {};
    const float scale = TypeScale(type);
    Skeleton s = BuildSkeleton(type, 0.0f);
    s.root->AssignName(PlayerFigureFile(type).c_str());

    BodyMesh parts;
    for (const Limb& limb : kLimbs)
        AddLimb(limb, scale, parts);
    // The skin hands back positions only: each finds its bones by its place.
    std::map<std::tuple<float, float, float>, size_t> byPlace;
    for (size_t v = 0; v < parts.mesh.positions.size(); ++v) {
        const SgVec3& p = parts.mesh.positions[v];
        byPlace.emplace(std::make_tuple(p.x, p.y, p.z), v);
    }
    SgRef<SgClodSkin> body = MakeClodSkin(parts.mesh, "Body", [&](const SgVec3& p) {
        const auto found = byPlace.find(std::make_tuple(p.x, p.y, p.z));
        const std::vector<int> follow = found != byPlace.end() ? parts.bones[found->second] : std::vector<int>{1};
        std::vector<SgSkinInfluence> influences;
        for (int b : follow)
            influences.push_back({1.0f / static_cast<float>(follow.size()), p - s.restWorld[b], s.bones[b]});
        return influences;
    });
    if (!body)
        return {};
    char name[32];
    std::snprintf(name, sizeof name, "f%dbody1r.bmp", type);
    body->AddRenderProperty(new SgTextureProperty(name));
    s.root->InsertChild(body.Get(), false);

    // The head: a short tube with a crown, on the head bone, fewer triangles than the body. Its
    // picture wraps round once with the middle column at the face and the seam (a column of
    // doubled points) at the back of the head; the picture's top row is at the crown.
    constexpr uint32_t kAround = 8, kRings = 4;
    constexpr double kTwoPi = 6.283185307179586;
    const float radius = 8 * scale, height = 14 * scale;
    const float base = s.restWorld[4].z - 2 * scale;
    std::vector<SgVec3> positions, uv;
    for (uint32_t ring = 0; ring < kRings; ++ring)
        for (uint32_t a = 0; a <= kAround; ++a) {
            const double angle = kTwoPi * (0.5 + static_cast<double>(a) / kAround);  // from the back
            positions.push_back(Facing(SgVec3(static_cast<float>(radius * std::cos(angle)),
                                              static_cast<float>(radius * std::sin(angle)),
                                              base + height * static_cast<float>(ring) / (kRings - 1))));
            uv.emplace_back(static_cast<float>(a) / kAround, 1.0f - static_cast<float>(ring) / (kRings - 1), 0.0f);
        }
    const auto crown = static_cast<uint16_t>(positions.size());
    positions.push_back(SgVec3(0, 0, base + height));
    uv.emplace_back(0.5f, 0.0f, 0.0f);
    std::vector<uint16_t> triangles;
    for (uint32_t ring = 0; ring < kRings; ++ring)
        for (uint32_t a = 0; a < kAround; ++a) {
            const auto i = static_cast<uint16_t>(ring * (kAround + 1) + a), j = static_cast<uint16_t>(i + 1);
            if (ring + 1 == kRings) {
                triangles.insert(triangles.end(), {i, j, crown});
                continue;
            }
            const auto k = static_cast<uint16_t>(i + kAround + 1), l = static_cast<uint16_t>(k + 1);
            triangles.insert(triangles.end(), {i, j, l, i, l, k});
        }
    std::vector<SgVec3> normals(positions.size(), SgVec3(0, 0, 1));
    SgRef<Sg3dsSkin> head(new Sg3dsSkin(static_cast<uint16_t>(positions.size()), positions.data(), normals.data(),
                                        static_cast<uint16_t>(triangles.size() / 3), triangles.data(),
                                        uv.data(), nullptr));
    head->AssignName("Head");
    std::vector<std::vector<SgSkinInfluence>> heads(positions.size());
    for (size_t v = 0; v < positions.size(); ++v)
        heads[v] = {{1.0f, positions[v] - s.restWorld[4], s.bones[4]}};
    head->SetWeights(heads);
    head->ComputeNormals();
    std::snprintf(name, sizeof name, "f%dhead1.bmp", type);
    head->AddRenderProperty(new SgTextureProperty(name));
    s.root->InsertChild(head.Get(), false);
    s.root->UpdateAllStates();
    return s.root;
}

SgRef<SgNode> BuildPlayerAnimation(int type, int offset) {
    if (type < 1 || type > kPlayerFigureTypes || offset < 0 || offset >= kPlayerAnimationOffsets)
        return {};
    Skeleton s = BuildSkeleton(type, offset * kPelvisCodeStep);
    s.root->AssignName(PlayerAnimationFile(type, offset).c_str());
    const Motion m = MotionOf(offset);
    const float seconds = m.frames / 30.0f;
    Swing(s.bones[11], m.legs, seconds, false);
    Swing(s.bones[14], -m.legs, seconds, false);
    Knee(s.bones[12], m.legs, m.calves, seconds);
    Knee(s.bones[15], -m.legs, m.calves, seconds);
    Bob(s.bones[0], m.legs, TypeScale(type), seconds);
    Swing(s.bones[6], -m.arms, seconds, false);
    Swing(s.bones[9], m.arms, seconds, false);
    if (offset == 20)
        Swing(s.bones[9], m.raise, seconds, true);
    if (offset == 21) {
        // Lowering starts where raising ended.
        SgRotationKey* keys[2] = {new SgRotationKeyPlain(0, m.raise, kSwingAxis),
                                  new SgRotationKeyPlain(seconds, 0, kSwingAxis)};
        s.bones[9]->SetRotationKeys(keys, 2, true);
        for (SgRotationKey* k : keys)
            delete k;
    }
    if (offset == 19) {
        // Death: the whole figure falls back over its feet.
        SgRotationKey* keys[2] = {new SgRotationKeyPlain(0, 0, kSwingAxis),
                                  new SgRotationKeyPlain(seconds, -1.5f, kSwingAxis)};
        s.bones[0]->SetRotationKeys(keys, 2, true);
        for (SgRotationKey* k : keys)
            delete k;
    }
    s.root->UpdateAllStates();
    return s.root;
}

int PlayerAnimationFrames(int offset) { return MotionOf(offset).frames; }
const char* PlayerAnimationMode(int offset) { return MotionOf(offset).mode; }

float PlayerPelvisHeight(int type, int offset) { return kRest[1].offset.z * TypeScale(type) + offset * kPelvisCodeStep; }

float PlayerHeadHeight(int type) {
    float z = 0;
    for (int i = 4; i >= 0; i = kRest[i].parent)
        z += kRest[i].offset.z * TypeScale(type);
    return z;
}

std::string PlayerFigureFile(int type) { return "f" + std::to_string(type) + ".sgf"; }

std::string PlayerAnimationFile(int type, int offset) {
    char name[32];
    std::snprintf(name, sizeof name, "f%da%02d.sgf", type, offset);
    return name;
}

std::string FiguresDefinitionText() {
    // Templates 200 to 322: the figures at 201..203, their animations from 211, 251 and 291.
    std::string text = "[sgfdefs]\nnumsgfs=122\n";
    char line[256];
    for (int type = 1; type <= kPlayerFigureTypes; ++type) {
        std::snprintf(line, sizeof line,
                      "[sgf%d]\nfilename=%s\ntype=Skinned\nfigure_animation=Loop\nframes=24\n"
                      "frames_per_second=30\nlighting=%s\nlight_offset=20\n%s",
                      200 + type, PlayerFigureFile(type).c_str(), type == 1 ? "Lit" : "Material",
                      type == 2 ? "print=2\n" : "");
        text += line;
    }
    const int bases[kPlayerFigureTypes] = {211, 251, 291};
    for (int type = 1; type <= kPlayerFigureTypes; ++type)
        for (int offset = 0; offset < kPlayerAnimationOffsets; ++offset) {
            std::snprintf(line, sizeof line, "[sgf%d]\nfilename=%s\nfigure_animation=%s\nframes=%d\nframes_per_second=30\n",
                          bases[type - 1] + offset, PlayerAnimationFile(type, offset).c_str(),
                          PlayerAnimationMode(offset), PlayerAnimationFrames(offset));
            text += line;
        }
    return text;
}
