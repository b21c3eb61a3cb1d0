#include "tools/writers/arena_scene.h"

#include <cmath>

#include "engine/core/sg_light.h"
#include "engine/core/sg_property.h"
#include "engine/geometry/sg_particles.h"
#include "engine/geometry/sg_tri_shape.h"
#include "tools/writers/effects_model.h"
#include "tools/writers/model_parts.h"
#include "tools/writers/sgf_bytes.h"
#include "tools/writers/world_textures.h"

namespace {

constexpr float kSide = 64.0f;
constexpr float kHeight = 6.0f;
constexpr const char* kGlowsNode = "glows";

// A small generator of its own, so the scene never changes with anyone else's random numbers.
struct Lcg {
    uint32_t state = 12345;
    float Next() {
        state = state * 1664525u + 1013904223u;
        return static_cast<float>(state >> 8) / 16777216.0f;
    }
};

struct Mesh {
    std::vector<SgVec3> vertices, normals;
    std::vector<SgRgba> colors;
    std::vector<uint16_t> indices;

    // A grid of nu x nv quads from origin along u and v; u x v is its facing.
    void Grid(const SgVec3& origin, const SgVec3& u, const SgVec3& v, int nu, int nv, const SgRgba& color) {
        const SgVec3 n = u.Cross(v) * (1.0f / std::sqrt(u.Cross(v).SquaredLength()));
        const auto first = static_cast<uint16_t>(vertices.size());
        for (int j = 0; j <= nv; ++j)
            for (int i = 0; i <= nu; ++i) {
                const float a = static_cast<float>(i) / nu, b = static_cast<float>(j) / nv;
                vertices.push_back(origin + u * a + v * b);
                normals.push_back(n);
                // A little variation across the grid, as baked light would give.
                const float shade = 0.85f + 0.15f * std::sin(static_cast<float>(i * 3 + j * 5));
                colors.push_back({color.r * shade, color.g * shade, color.b * shade, 1});
            }
        auto at = [&](int i, int j) { return static_cast<uint16_t>(first + j * (nu + 1) + i); };
        for (int j = 0; j < nv; ++j)
            for (int i = 0; i < nu; ++i)
                indices.insert(indices.end(), {at(i, j), at(i + 1, j), at(i + 1, j + 1), at(i, j), at(i + 1, j + 1),
                                               at(i, j + 1)});
    }

    SgRef<SgTriShape> Shape() const {
        return SgRef<SgTriShape>(new SgTriShape(static_cast<uint16_t>(vertices.size()), vertices.data(),
                                                normals.data(), static_cast<uint16_t>(indices.size() / 3),
                                                indices.data(), nullptr, colors.data()));
    }
};

const SgVec3 kX{1, 0, 0}, kY{0, 1, 0}, kZ{0, 0, 1};

void AddHall(SgNode* root) {
    const float tile = kSide / 4;
    for (int tz = 0; tz < 4; ++tz)
        for (int tx = 0; tx < 4; ++tx) {
            const float x = tx * tile, z = tz * tile;
            Mesh floor;
            const bool dark = (tx + tz) % 2 != 0;
            floor.Grid({x, 0, z}, kZ * tile, kX * tile, 8, 8,
                       dark ? SgRgba{0.06f, 0.05f, 0.04f, 1} : SgRgba{0.12f, 0.1f, 0.08f, 1});
            root->InsertChild(floor.Shape().Get(), false);
            Mesh ceiling;
            ceiling.Grid({x, kHeight, z}, kX * tile, kZ * tile, 4, 4, {0.02f, 0.02f, 0.05f, 1});
            root->InsertChild(ceiling.Shape().Get(), false);
        }
    const SgRgba stone{0.1f, 0.08f, 0.07f, 1};
    for (int s = 0; s < 4; ++s) {
        const float a = s * tile;
        Mesh south, north, west, east;
        south.Grid({a, 0, 0}, kX * tile, kY * kHeight, 4, 2, stone);
        north.Grid({a, 0, kSide}, kY * kHeight, kX * tile, 2, 4, stone);
        west.Grid({0, 0, a}, kY * kHeight, kZ * tile, 2, 4, stone);
        east.Grid({kSide, 0, a}, kZ * tile, kY * kHeight, 4, 2, stone);
        for (Mesh* m : {&south, &north, &west, &east})
            root->InsertChild(m->Shape().Get(), false);
    }
}

// A square pillar: four sides of one quad across and three up (enough for the point lights to
// shade them along their height), and a top.
SgRef<SgTriShape> Pillar(float cx, float cz, float half, float height, const SgRgba& color) {
    Mesh m;
    const float w = 2 * half;
    m.Grid({cx - half, 0, cz - half}, kY * height, kX * w, 3, 1, color);
    m.Grid({cx - half, 0, cz + half}, kX * w, kY * height, 1, 3, color);
    m.Grid({cx - half, 0, cz - half}, kZ * w, kY * height, 1, 3, color);
    m.Grid({cx + half, 0, cz - half}, kY * height, kZ * w, 3, 1, color);
    m.Grid({cx - half, height, cz - half}, kZ * w, kX * w, 1, 1, color);
    return m.Shape();
}

void AddPillars(SgNode* root) {
    Lcg rng;
    int made = 0;
    for (int j = 0; j < 16 && made < 250; ++j)
        for (int i = 0; i < 16 && made < 250; ++i) {
            const float x = 2 + 4 * i + (rng.Next() - 0.5f), z = 6 + 3.7f * j + (rng.Next() - 0.5f);
            const float half = 0.3f + 0.3f * rng.Next();
            const float height = 2.0f + 3.5f * rng.Next();
            // Leave an aisle in front of the eye.
            if (std::fabs(x - kArenaEye.x) < 2.5f && z < 20)
                continue;
            const float tint = rng.Next();
            root->InsertChild(Pillar(x, z, half, height, {0.1f + 0.15f * tint, 0.06f, 0.12f - 0.08f * tint, 1}).Get(),
                              false);
            ++made;
        }
}

// Soft additive glows over the two lamps and two more down the hall: each sprite adds its colour
// through its texture's alpha (the installed scene's soft spot, see TextureGlows).
void AddGlows(SgNode* root) {
    const SgVec3 centres[4] = {{20, 4, 20}, {44, 4, 40}, {28, 2, 12}, {38, 3, 30}};
    SgRef<SgNode> glows = Named(new SgNode, kGlowsNode);
    SgRef<SgAlphaProperty> add(new SgAlphaProperty);
    add->blendOn = 1;
    add->sourceBlend = 6;  // source alpha
    add->destinationBlend = 0;  // one
    SgRef<SgVertexColorProperty> plain(new SgVertexColorProperty);
    plain->mode = 1;
    SgRef<SgZBufferProperty> testOnly(new SgZBufferProperty);
    testOnly->depthTest = 1;
    glows->AddRenderProperty(add.Get());
    glows->AddRenderProperty(plain.Get());
    glows->AddRenderProperty(testOnly.Get());
    for (const SgVec3& c : centres) {
        SgVec3 points[16];
        SgRgba colors[16];
        for (int k = 0; k < 16; ++k) {
            const float a = static_cast<float>(k) * 0.3926991f;
            points[k] = c + SgVec3{std::cos(a) * 0.6f, std::sin(a * 2) * 0.3f, std::sin(a) * 0.6f};
            colors[k] = {0.25f, 0.16f, 0.05f, 1};
        }
        SgRef<SgParticles> p(new SgParticles(16, points, nullptr, colors));
        p->size = 0.5f;
        glows->InsertChild(p.Get(), false);
    }
    root->InsertChild(glows.Get(), false);
}

// The glows' sprites show the soft white spot of the effects models.
void TextureGlows(SgNode* root) {
    auto* glows = SgKindCast<SgNode>(root->FindByName(kGlowsNode));
    if (!glows)
        return;
    glows->AddRenderProperty(FileTexture(kSparkTexture).Get());
}

void AddLights(SgNode* root) {
    SgRef<SgLight> ambient(new SgLight);
    ambient->SetType(SgLight::kAmbient);
    ambient->ambient = {0.18f, 0.18f, 0.22f};
    SgRef<SgLight> sun(new SgLight);
    sun->SetType(SgLight::kDirectional);
    sun->SetDirection({-0.3f, -1.0f, 0.5f});
    sun->diffuse = {0.3f, 0.28f, 0.25f};
    sun->ambient = {0, 0, 0};
    sun->attenuate = 0;
    SgRef<SgLight> warm(new SgLight);
    warm->SetType(SgLight::kPoint);
    warm->SetPosition({20, 4, 20});
    warm->diffuse = {1.0f, 0.7f, 0.4f};
    warm->ambient = {0, 0, 0};
    warm->range = 24;
    warm->falloff = 0.5f;
    SgRef<SgLight> cool(new SgLight);
    cool->SetType(SgLight::kPoint);
    cool->SetPosition({44, 4, 40});
    cool->diffuse = {0.4f, 0.6f, 1.0f};
    cool->ambient = {0, 0, 0};
    cool->range = 24;
    cool->falloff = 0.5f;
    for (SgLight* l : {ambient.Get(), sun.Get(), warm.Get(), cool.Get()}) {
        root->InsertChild(l, false);
        root->AddLight(l);
    }
}

}  // namespace

SgRef<SgNode> BuildArenaScene() {
    SgRef<SgNode> root(new SgNode);
    root->AssignName("arena");
    SgRef<SgZBufferProperty> z(new SgZBufferProperty);
    z->depthTest = z->depthWrite = 1;
    SgRef<SgFogProperty> fog(new SgFogProperty);
    fog->fogOn = 1;
    fog->depth = 0.6f;
    fog->fogKind = 1;  // range fog, as the game's world fog
    fog->color = {0.08f, 0.08f, 0.12f};
    SgRef<SgVertexColorProperty> colours(new SgVertexColorProperty);
    colours->mode = 6;
    SgRef<SgMaterialProperty> material(new SgMaterialProperty);
    material->ambient = {0.6f, 0.6f, 0.6f};
    material->diffuse = {0.8f, 0.8f, 0.8f};
    material->specular = {0, 0, 0};
    material->emissive = {0.0625f, 0.0625f, 0.0625f};
    for (SgProperty* p : {static_cast<SgProperty*>(z.Get()), static_cast<SgProperty*>(fog.Get()),
                          static_cast<SgProperty*>(colours.Get()), static_cast<SgProperty*>(material.Get())})
        root->AddRenderProperty(p);
    AddHall(root.Get());
    AddPillars(root.Get());
    AddGlows(root.Get());
    AddLights(root.Get());
    root->UpdateAllStates();
    return root;
}

std::vector<uint8_t> ArenaSceneBytes() {
    SgRef<SgNode> scene = BuildArenaScene();
    TextureWithWorldTextures(scene.Get());
    TextureGlows(scene.Get());
    return SgfBytesOf(scene.Get());
}
