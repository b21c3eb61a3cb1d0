#include "tools/writers/sgfs_models.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "engine/animation/sg_3ds_animation_node.h"
#include "engine/animation/sg_3ds_animators.h"
#include "engine/core/sg_texture_property.h"
#include "engine/geometry/sg_tri_shape.h"
#include "tools/writers/effects_model.h"
#include "tools/writers/model_parts.h"
#include "tools/writers/sgf_bytes.h"

namespace {

constexpr double kTwoPi = 6.283185307179586;

// Flat-shaded triangles with per-vertex colour, from corner lists.
SgRef<SgTriShape> Faces(const char* name, const std::vector<SgVec3>& corners, const SgRgba& colour) {
    std::vector<SgRgba> colours;
    std::vector<uint16_t> indices;
    for (size_t i = 0; i < corners.size(); ++i) {
        // A little shade by height makes the form readable without lights.
        const float shade = 0.75f + 0.25f * (corners[i].z >= 0 ? 1.0f : 0.0f);
        colours.emplace_back(colour.r * shade, colour.g * shade, colour.b * shade, colour.a);
        indices.push_back(static_cast<uint16_t>(i));
    }
    SgRef<SgTriShape> shape(new SgTriShape(static_cast<uint16_t>(corners.size()), corners.data(), nullptr,
                                           static_cast<uint16_t>(corners.size() / 3), indices.data(), nullptr,
                                           colours.data()));
    shape->AssignName(name);
    shape->ComputeNormals();
    return shape;
}

void Quad(std::vector<SgVec3>& out, SgVec3 a, SgVec3 b, SgVec3 c, SgVec3 d) {
    out.insert(out.end(), {a, b, c, a, c, d});
}

// An axis box from (x0, y0, z0) to (x1, y1, z1), faces outward.
std::vector<SgVec3> Box(float x0, float y0, float z0, float x1, float y1, float z1) {
    std::vector<SgVec3> v;
    Quad(v, {x0, y0, z1}, {x1, y0, z1}, {x1, y1, z1}, {x0, y1, z1});
    Quad(v, {x0, y1, z0}, {x1, y1, z0}, {x1, y0, z0}, {x0, y0, z0});
    Quad(v, {x0, y0, z0}, {x1, y0, z0}, {x1, y0, z1}, {x0, y0, z1});
    Quad(v, {x1, y1, z0}, {x0, y1, z0}, {x0, y1, z1}, {x1, y1, z1});
    Quad(v, {x1, y0, z0}, {x1, y1, z0}, {x1, y1, z1}, {x1, y0, z1});
    Quad(v, {x0, y1, z0}, {x0, y0, z0}, {x0, y0, z1}, {x0, y1, z1});
    return v;
}

// A double pyramid along x, length l, thickness w, centred at height h.
std::vector<SgVec3> Diamond(float l, float w, float h) {
    const SgVec3 front(l / 2, 0, h), back(-l / 2, 0, h);
    const SgVec3 ring[4] = {{0, w, h}, {0, 0, h + w}, {0, -w, h}, {0, 0, h - w}};
    std::vector<SgVec3> v;
    for (int i = 0; i < 4; ++i) {
        const SgVec3& a = ring[i];
        const SgVec3& b = ring[(i + 1) % 4];
        v.insert(v.end(), {front, b, a, back, a, b});
    }
    return v;
}

// Corners drawn along +x turned to point along -y, the axis placement points where an object
// faces: a missile flies point first.
std::vector<SgVec3> Ahead(std::vector<SgVec3> corners) {
    for (SgVec3& c : corners)
        c = SgVec3(c.y, -c.x, c.z);
    return corners;
}

std::vector<SgVec3> Disc(float r, float z, int sides) {
    std::vector<SgVec3> v;
    for (int i = 0; i < sides; ++i) {
        const double a = kTwoPi * i / sides, b = kTwoPi * (i + 1) / sides;
        v.insert(v.end(), {SgVec3(0, 0, z), SgVec3(float(r * std::cos(a)), float(r * std::sin(a)), z),
                           SgVec3(float(r * std::cos(b)), float(r * std::sin(b)), z)});
    }
    return v;
}

SgRef<SgNode> Model(const char* name, std::initializer_list<SgRef<SgTriShape>> parts) {
    SgRef<SgNode> root = Named(new SgNode, name);
    for (const SgRef<SgTriShape>& p : parts)
        root->InsertChild(p.Get(), false);
    root->UpdateAllStates();
    return root;
}

// A model whose "Spell" node holds the shape; the stand beside it is not part of the figure.
SgRef<SgNode> SpellModel(const char* name, SgRef<SgTriShape> shape) {
    SgRef<SgNode> root = Named(new SgNode, name);
    SgRef<SgNode> spell = Named(new SgNode, "Spell");
    spell->InsertChild(shape.Get(), false);
    root->InsertChild(spell.Get(), false);
    root->InsertChild(Faces("Stand", Disc(6, 0, 6), SgRgba(0.3f, 0.3f, 0.3f, 1)).Get(), false);
    root->UpdateAllStates();
    return root;
}

// The effects sample as an overlay: its parts under "Spell", grown to figure size. The node is the
// file's only top-level object (a template's first one must be a node; the lamp keeps its colour).
std::vector<uint8_t> OverlayBytes(const char* name) {
    EffectsModel effects = BuildEffectsModel();
    SgRef<SgNode> root = Named(new SgNode, name);
    effects.root->AssignName("Spell");
    effects.root->localScale = 12;
    root->InsertChild(effects.root.Get(), false);
    root->UpdateAllStates();
    return SgfBytesOf(root.Get());
}

SgRef<Sg3dsAnimationNode> Keyed(const char* name, SgVec3 at, int rotationKeys) {
    SgRef<Sg3dsAnimationNode> node = Named(new Sg3dsAnimationNode, name);
    node->timeMode = SgAnimationTiming::kTimeApplication;
    node->cycleType = SgAnimationTiming::kCycleLoop;
    OwnedKeys<SgPositionKey> place{new SgPositionKeyLinear(0, at)};
    node->SetPositionKeys(place.Data(), place.Count(), true);
    if (rotationKeys >= 2) {
        OwnedKeys<SgRotationKey> turn{new SgRotationKeyPlain(0, 0, {0, 0, 1}), new SgRotationKeyPlain(1, 0.6f, {0, 0, 1}),
                                      new SgRotationKeyPlain(2, 0, {0, 0, 1})};
        node->SetRotationKeys(turn.Data(), turn.Count(), true);
    }
    node->localTranslation = at;
    return node;
}

std::string Entry(int n, const char* file, const char* extra) {
    char text[256];
    std::snprintf(text, sizeof text, "[sgf%02d]\nfilename=%s\n%s", n, file, extra);
    return text;
}

// Triangles of the corners, one texture coordinate each, showing a picture beside the model.
SgRef<SgTriShape> TexturedShape(const char* name, const std::vector<SgVec3>& corners, const std::vector<SgVec3>& uv,
                                const char* file) {
    std::vector<uint16_t> indices;
    for (size_t i = 0; i < corners.size(); ++i)
        indices.push_back(static_cast<uint16_t>(i));
    SgRef<SgTriShape> shape(new SgTriShape(static_cast<uint16_t>(corners.size()), corners.data(), nullptr,
                                           static_cast<uint16_t>(corners.size() / 3), indices.data(), uv.data(),
                                           nullptr));
    shape->AssignName(name);
    shape->ComputeNormals();
    shape->AddRenderProperty(FileTexture(file).Get());
    return shape;
}

// Triangles textured from a picture beside the model, mapped across the corners' box (u along x and
// y, v along z, or along y for a flat part), without vertex colours: the fixture colours of the
// shrines and earthnodes tint the picture instead of washing a plain shape white.
SgRef<SgTriShape> TexturedFaces(const char* name, const std::vector<SgVec3>& corners, const char* file) {
    SgVec3 low = corners.front(), high = corners.front();
    for (const SgVec3& c : corners) {
        low = {std::min(low.x, c.x), std::min(low.y, c.y), std::min(low.z, c.z)};
        high = {std::max(high.x, c.x), std::max(high.y, c.y), std::max(high.z, c.z)};
    }
    auto span = [](float a, float b) { return b > a ? b - a : 1.0f; };
    const bool flat = high.z - low.z < 2;
    std::vector<SgVec3> uv;
    for (const SgVec3& c : corners) {
        const float u = ((c.x - low.x) / span(low.x, high.x) + (c.y - low.y) / span(low.y, high.y)) * 0.5f;
        const float v = flat ? (c.y - low.y) / span(low.y, high.y) : (high.z - c.z) / span(low.z, high.z);
        uv.emplace_back(flat ? (c.x - low.x) / span(low.x, high.x) : u, v, 0.0f);
    }
    return TexturedShape(name, corners, uv, file);
}

// A crate's boards: every face of the box shows the whole picture.
SgRef<SgTriShape> BoardedBox(const char* name, float half, float height, const char* file) {
    const std::vector<SgVec3> corners = Box(-half, -half, 0, half, half, height);
    // Box gives each face as the triangles a b c and a c d of its corners a, b, c, d.
    const SgVec3 faceUv[6] = {{0, 1, 0}, {1, 1, 0}, {1, 0, 0}, {0, 1, 0}, {1, 0, 0}, {0, 0, 0}};
    std::vector<SgVec3> uv;
    for (size_t i = 0; i < corners.size(); ++i)
        uv.push_back(faceUv[i % 6]);
    return TexturedShape(name, corners, uv, file);
}

}  // namespace

SgRef<SgNode> BuildSampleBiped() {
    SgRef<SgNode> root = Named(new SgNode, "biped");
    SgRef<Sg3dsAnimationNode> hips = Keyed("Bip01", {0, 0, 40}, 2);
    root->InsertChild(hips.Get(), false);
    // A bone with its own leftover mesh and dummies; a placement-only keyed node "Bip01 Spine" holds
// the spine, which takes its place and name.
    hips->InsertChild(Faces("Bip01 Mesh", Box(-4, -4, -4, 4, 4, 4), SgRgba(1, 0, 1, 1)).Get(), false);
    hips->InsertChild(Named(new SgNode, "Dummy Hips").Get(), false);
    SgRef<Sg3dsAnimationNode> holder = Keyed("Bip01 Spine", {0, 0, 4}, 0);
    hips->InsertChild(holder.Get(), false);
    SgRef<Sg3dsAnimationNode> spine = Keyed("Bip01 Spine1", {0, 0, 2}, 2);
    holder->InsertChild(spine.Get(), false);
    spine->InsertChild(Faces("hTorso", Box(-10, -6, 0, 10, 6, 40), SgRgba(0.2f, 0.5f, 0.9f, 1)).Get(), false);
    spine->InsertChild(Faces("mTorso", Box(-10, -6, 0, 10, 6, 40), SgRgba(0.2f, 0.4f, 0.8f, 1)).Get(), false);
    spine->InsertChild(Faces("lTorso", Box(-9, -5, 0, 9, 5, 40), SgRgba(0.2f, 0.3f, 0.7f, 1)).Get(), false);
    spine->InsertChild(Named(new SgNode, "Dummy Spine").Get(), false);
    SgRef<Sg3dsAnimationNode> head = Keyed("Bip01 Head", {0, 0, 44}, 0);
    spine->InsertChild(head.Get(), false);
    head->InsertChild(Faces("hHead", Diamond(16, 8, 8), SgRgba(0.9f, 0.75f, 0.6f, 1)).Get(), false);
    head->InsertChild(Faces("lHead", Box(-6, -6, 0, 6, 6, 14), SgRgba(0.9f, 0.75f, 0.6f, 1)).Get(), false);
    // Keyed nodes without keys or children go.
    spine->InsertChild(Named(new Sg3dsAnimationNode, "Bip01 Ext01").Get(), false);
    // Legs: plain shapes under the hips.
    hips->InsertChild(Faces("Thighs", Box(-8, -5, -40, 8, 5, 0), SgRgba(0.3f, 0.3f, 0.35f, 1)).Get(), false);
    root->UpdateAllStates();
    return root;
}

SgRef<SgNode> BuildSkyDome() {
    // A sphere seen from inside, blue above fading to haze at the horizon and to a dusky ground
    // below it (seen only from above the world). It hangs round the viewer, so its radius in
    // engine units must keep it short of the cameras' far planes and of their fog, which takes the
    // last fifth: 20 stays clear of it for the eye camera (far 64) and the third-person one (30).
    constexpr int kAround = 16, kUp = 6, kDown = 3;
    constexpr float kRadius = 20;
    std::vector<SgVec3> points;
    std::vector<SgRgba> colours;
    for (int j = -kDown; j <= kUp; ++j)
        for (int i = 0; i < kAround; ++i) {
            const double up = (kTwoPi / 4) * j / (j < 0 ? kDown : kUp), round = kTwoPi * i / kAround;
            points.emplace_back(float(kRadius * std::cos(up) * std::cos(round)),
                                float(kRadius * std::cos(up) * std::sin(round)), float(kRadius * std::sin(up)));
            if (j >= 0) {
                const float t = float(j) / kUp;
                colours.emplace_back(0.75f - 0.5f * t, 0.8f - 0.4f * t, 0.95f, 1.0f);
            } else {
                const float t = float(-j) / kDown;
                colours.emplace_back(0.75f - 0.5f * t, 0.8f - 0.58f * t, 0.95f - 0.77f * t, 1.0f);
            }
        }
    std::vector<uint16_t> indices;
    for (int j = 0; j < kDown + kUp; ++j)
        for (int i = 0; i < kAround; ++i) {
            const uint16_t a = uint16_t(j * kAround + i), b = uint16_t(j * kAround + (i + 1) % kAround);
            const uint16_t c = uint16_t(a + kAround), d = uint16_t(b + kAround);
            indices.insert(indices.end(), {a, c, b, b, c, d});
        }
    SgRef<SgTriShape> dome(new SgTriShape(uint16_t(points.size()), points.data(), nullptr,
                                          uint16_t(indices.size() / 3), indices.data(), nullptr, colours.data()));
    dome->AssignName("Dome");
    dome->ComputeNormals();
    SgRef<SgNode> root = Named(new SgNode, "sky dome");
    root->InsertChild(dome.Get(), false);
    root->UpdateAllStates();
    return root;
}

std::vector<SgfsModelFile> SgfsModelFiles() {
    std::vector<SgfsModelFile> files;
    auto add = [&](const char* name, SgRef<SgNode> model) { files.push_back({name, SgfBytesOf(model.Get())}); };
    add("crate.sgf", Model("crate", {BoardedBox("Box", 16, 32, kCrateTexture)}));
    add("lamp.sgf", Model("lamp", {Faces("Post", Box(-2, -2, 0, 2, 2, 60), SgRgba(0.3f, 0.3f, 0.3f, 1)),
                                    Faces("Light", Diamond(10, 6, 64), SgRgba(1, 0.9f, 0.5f, 1))}));
    add("lever.sgf", Model("lever", {Faces("Base", Box(-8, -8, 0, 8, 8, 6), SgRgba(0.4f, 0.4f, 0.45f, 1)),
                                      Faces("Handle", Box(-1, -1, 6, 1, 1, 30), SgRgba(0.8f, 0.1f, 0.1f, 1))}));
    add("bolt.sgf", SpellModel("bolt", Faces("Bolt", Ahead(Diamond(24, 4, 0)), SgRgba(1, 0.6f, 0.1f, 1))));
    add("orb.sgf", SpellModel("orb", Faces("Orb", Ahead(Diamond(10, 5, 0)), SgRgba(0.4f, 0.7f, 1, 1))));
    add("wall.sgf", SpellModel("wall", Faces("Wall", Box(-32, -2, 0, 32, 2, 64), SgRgba(0.5f, 0.9f, 0.6f, 0.7f))));
    add("rune.sgf", SpellModel("rune", Faces("Rune", Disc(14, 1, 8), SgRgba(0.9f, 0.2f, 0.9f, 1))));
    add("burst.sgf", SpellModel("burst", Faces("Burst", Ahead(Diamond(20, 10, 10)), SgRgba(1, 1, 0.5f, 1))));
    add("biped.sgf", BuildSampleBiped());
    files.push_back({"aura.sgf", OverlayBytes("aura")});
    files.push_back({"flare.sgf", OverlayBytes("flare")});
    return files;
}

std::string SgfsDefinitionText() {
    // The template numbers the sample's level objects (10, 12, 14), spells (7, 30 to 45, 64, 70,
    // 71, 80 to 82) and overlays (60, 61) name. Two-digit numbers only: a missing sgf10 would
    // otherwise read the section sgf100 (sections match by prefix).
    std::string text = "[sgfdefs]\nnumsgfs=82\n";
    text += Entry(7, "rune.sgf", "");
    text += Entry(10, "crate.sgf", "lighting=Lit\nlight_offset=10\n");
    text += Entry(12, "lamp.sgf", "lighting=Material\n");
    text += Entry(14, "lever.sgf", "");
    // Folding strips the bone nodes' shapes that the levels of detail choose among: the biped is
    // listed folded, and whole with its levels of detail.
    text += Entry(20, "biped.sgf", "type=Biped\nfigure_animation=Loop\nframes=60\noptimize=1\nlod=1\n");
    text += Entry(21, "biped.sgf", "type=Biped\nfigure_animation=Loop\nframes=60\nlod=1\n");
    const struct {
        int n;
        const char* file;
    } spells[] = {{30, "bolt.sgf"}, {31, "burst.sgf"}, {32, "orb.sgf"},   {33, "burst.sgf"}, {34, "bolt.sgf"},
                  {35, "burst.sgf"}, {36, "orb.sgf"},  {40, "bolt.sgf"},  {41, "burst.sgf"}, {42, "burst.sgf"},
                  {43, "orb.sgf"},   {44, "bolt.sgf"}, {45, "orb.sgf"},   {64, "orb.sgf"},   {70, "rune.sgf"},
                  {71, "burst.sgf"}, {80, "wall.sgf"}, {81, "burst.sgf"}, {82, "wall.sgf"}};
    for (const auto& s : spells)
        text += Entry(s.n, s.file, "");
    text += Entry(60, "aura.sgf", "type=Animation\nfigure_animation=Loop\nframes=60\n");
    text += Entry(61, "flare.sgf", "type=Animation\nfigure_animation=Clamp\nframes=30\n");
    return text;
}

namespace {

// The pool's surface: a 64 x 64 square a little above the floor, its texture the first of the
// water frames.
SgRef<SgNode> WaterModel() {
    const SgVec3 v[4] = {{-32, -32, 2}, {32, -32, 2}, {-32, 32, 2}, {32, 32, 2}};
    const SgVec3 uv[4] = {{0, 1, 0}, {1, 1, 0}, {0, 0, 0}, {1, 0, 0}};
    const SgRgba c = {1, 1, 1, 1};
    const SgRgba colours[4] = {c, c, c, c};
    const uint16_t indices[6] = {0, 1, 2, 2, 1, 3};
    SgRef<SgTriShape> surface(new SgTriShape(4, v, nullptr, 2, indices, uv, colours));
    surface->AssignName("Surface");
    surface->ComputeNormals();
    surface->AddRenderProperty(FileTexture(kLevelWaterTexture).Get());
    return Model("water", {surface});
}

// Grid models are made at their percent scale x 0.01, so 100 % is the engine's own unit (100 game
// units): the parts, drawn in game units, hang under a node that scales them down.
SgRef<SgNode> InEngineUnits(SgRef<SgNode> model) {
    SgRef<SgNode> root = Named(new SgNode, model->GetName());
    model->AssignName("Parts");
    model->localScale = 0.01f;
    root->InsertChild(model.Get(), false);
    root->UpdateAllStates();
    return root;
}

}  // namespace

std::vector<SgfsModelFile> LevelFixtureModelFiles() {
    std::vector<SgfsModelFile> files;
    auto add = [&](const char* name, SgRef<SgNode> model) {
        files.push_back({name, SgfBytesOf(InEngineUnits(model).Get())});
    };
    // A pillar with a crystal on top, and a well with a spark over it: the shrine and earthblood
    // colours tint their pictures.
    add("shrine.sgf", Model("shrine", {TexturedFaces("Pillar", Box(-10, -10, 0, 10, 10, 48), kLevelShrineTexture),
                                       TexturedFaces("Crystal", Diamond(24, 10, 64), kLevelShrineTexture)}));
    add("earthnode.sgf", Model("earthnode", {TexturedFaces("Well", Disc(24, 1, 8), kLevelEarthnodeTexture),
                                             TexturedFaces("Spark", Diamond(12, 6, 20), kLevelEarthnodeTexture)}));
    add("water.sgf", WaterModel());
    return files;
}

std::string LevelSgfsDefinitionText() {
    // Models 401 (shrine), 402 (earthnode), 403 (water turning through its frames, flipped). The
    // earthnode records name fixtures 1 to 3, the shrine records 10 to 12; 0 is the pool; 4 names
    // no model and 5 stands at x = 0, so neither is placed; 6 to 9 have no section.
    std::string text = "[sgfdefs]\nnumsgfs=3\nnumfixtures=13\n";
    text += "[sgf401]\nfilename=shrine.sgf\nscale=100\n";
    text += "[sgf402]\nfilename=earthnode.sgf\nscale=80\n";
    text += "[sgf403]\nfilename=water.sgf\nscale=150\nflip=1\nframes=4\n";
    auto fixture = [&](int i, int sgf, int x, int y, int z, const char* extra) {
        char b[200];
        std::snprintf(b, sizeof b, "[fixture%02d]\nsgf=%d\nx=%d\ny=%d\nz=%d\n%s", i, sgf, x, y, z, extra);
        text += b;
    };
    fixture(0, 403, 864, 1504, 0, "timer_rate=50\n");
    for (int k = 0; k < 3; ++k)
        fixture(1 + k, 402, (13 + k) * 64 + 32, 17 * 64 + 32, 0, k == 0 ? "light=300\n" : "");
    fixture(4, 0, 1000, 1000, 0, "");
    fixture(5, 401, 0, 1000, 0, "");
    for (int k = 0; k < 3; ++k)
        fixture(10 + k, 401, (23 + k) * 64 + 32, 17 * 64 + 32, 77, k == 0 ? "light=400\n" : "");
    return text;
}
