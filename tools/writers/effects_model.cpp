#include "tools/writers/effects_model.h"

#include <cmath>
#include <initializer_list>
#include <vector>

#include "engine/animation/sg_3ds_animators.h"
#include "engine/animation/sg_3ds_morph_shape.h"
#include "engine/animation/sg_3ds_particle_system.h"
#include "engine/animation/sg_3ds_path_controller.h"
#include "engine/core/sg_light.h"
#include "engine/core/sg_property.h"
#include "engine/geometry/sg_particles.h"
#include "tools/writers/model_parts.h"
#include "tools/writers/sgf_bytes.h"

namespace {

void Loop(SgAnimationTiming& timing, float high) {
    timing.timeMode = SgAnimationTiming::kTimeApplication;
    timing.cycleType = SgAnimationTiming::kCycleLoop;
    timing.lowKeyTime = 0;
    timing.highKeyTime = high;
}

// The unit square in z = 0 around the origin, corners counter-clockwise from (-s, -s).
constexpr uint16_t kSquareIndices[6] = {0, 1, 2, 0, 2, 3};
std::vector<SgVec3> Square(float s, float z = 0) { return {{-s, -s, z}, {s, -s, z}, {s, s, z}, {-s, s, z}}; }

SgRef<SgTriShape> Shard(const char* name, float size) {
    const SgVec3 v[3] = {{0, 0, 0}, {size, 0, 0}, {0, 0, size}};
    const uint16_t i[3] = {0, 1, 2};
    const SgRgba c[3] = {{0.8f, 0.8f, 1, 1}, {0.8f, 0.8f, 1, 1}, {1, 1, 1, 1}};
    SgRef<SgTriShape> shard = Named(new SgTriShape(3, v, nullptr, 1, i, nullptr, c), name);
    // A sliver without normals: shown in its own colours rather than lit.
    SgRef<SgVertexColorProperty> own(new SgVertexColorProperty);
    own->mode = 1;
    shard->AddRenderProperty(own.Get());
    return shard;
}

// How sprites look: the soft round spot in the sprites' own colours, unlit, added onto what lies
// behind; they test depth without writing it, so they never hide one another.
struct SpriteLook {
    SgRef<SgTextureProperty> texture;
    SgRef<SgTextureModeProperty> mode;
    SgRef<SgVertexColorProperty> colours;
    SgRef<SgAlphaProperty> add;
    SgRef<SgZBufferProperty> depth;

    SpriteLook() : texture(FileTexture(kSparkTexture)), mode(new SgTextureModeProperty), colours(new SgVertexColorProperty),
                   add(new SgAlphaProperty), depth(new SgZBufferProperty) {
        mode->filterMode = 1;      // bilinear
        mode->addressingMode = 0;  // clamped: the spot's rim stays clear
        colours->mode = 1;
        add->blendOn = 1;
        add->sourceBlend = 6;       // source alpha
        add->destinationBlend = 0;  // one
        depth->depthTest = 1;
    }
    void WearOn(SgAVObject* sprites) const {
        for (SgProperty* p : std::initializer_list<SgProperty*>{texture.Get(), mode.Get(), colours.Get(), add.Get(), depth.Get()})
            sprites->AddRenderProperty(p);
    }
};

SgRef<SgAutoNormalParticles> Sprites(uint16_t count, bool colored, const SpriteLook& look) {
    std::vector<SgVec3> positions(count);
    std::vector<SgRgba> colors(count, SgRgba(1, 1, 1, 1));
    SgRef<SgAutoNormalParticles> sprites(
        new SgAutoNormalParticles(count, positions.data(), colored ? colors.data() : nullptr));
    look.WearOn(sprites.Get());
    return sprites;
}

// The geometry as a step leaves it, so the first frame after loading (a restart, which takes no
// step) already shows sprites of the system's size in the colour of their birth.
void ReadyGeometry(Sg3dsParticleSystem& s) {
    SgParticles* sprites = s.Geometry();
    sprites->size = s.particleSize * 0.5f;
    if (sprites->Colors() && !s.ColorKeys().IsEmpty())
        for (uint16_t i = 0; i < sprites->VertexCount(); ++i)
            sprites->Colors()[i] = s.ParticleColor(0);
}

SgRef<Sg3dsParticleSystem> Spray(const SpriteLook& look) {
    SgRef<Sg3dsParticleSystem> s = Named(new Sg3dsParticleSystem, "spray");
    Loop(*s, 4);
    s->SetParticles(Sprites(48, true, look).Get());
    s->particleSize = 0.1f;
    s->SetEmitDirection({0, 0, 1});
    s->spread = 0.2f;
    s->speed = 2;
    s->speedVariation = 0.5f;
    s->lifeSpan = 1;
    s->emitRate = 12;
    s->deathMode = Sg3dsParticleSystem::kSpawnOnAge;
    s->maxGenerations = 2;
    s->fadeInTime = 0.2f;
    s->fadeOutTime = 0.4f;
    s->spinPeriod = 1;
    s->spinVariation = 0.5f;

    SgRef<SgGravity> gravity = Named(new SgGravity, "gravity");
    gravity->strength = 4;
    gravity->modelDirection = {0, 0, 1};
    s->AddForce(gravity.Get());
    SgRef<SgParticleBomb> blast = Named(new SgParticleBomb, "blast");
    blast->startTime = 1;
    blast->duration = 0.5f;
    blast->strength = 2;
    blast->range = 3;
    blast->falloff = SgParticleBomb::kFalloffLinear;
    blast->modelPosition = {0, 0, 1};
    s->AddForce(blast.Get());

    SgRef<SgSphericalCollider> ball = Named(new SgSphericalCollider, "ball");
    ball->radius = 0.5f;
    ball->radiusSquared = 0.25f;
    ball->bounce = 0.6f;
    ball->modelCentre = {0, 0, 2.5f};
    s->AddCollider(ball.Get());
    SgRef<SgPlanarCollider> floor = Named(new SgPlanarCollider, "floor");
    floor->width = 4;
    floor->height = 4;
    floor->bounce = 0.5f;
    floor->modelPosition = {0, 0, -0.5f};
    floor->modelFirstAxis = {1, 0, 0};
    floor->modelSecondAxis = {0, 1, 0};
    floor->modelNormal = {0, 0, 1};
    floor->modelConstant = 0.5f;
    s->AddCollider(floor.Get());

    OwnedKeys<SgPositionKey> colors{new SgPositionKeyLinear(0, {1, 0.9f, 0.2f}), new SgPositionKeyLinear(0.5f, {1, 0.4f, 0.1f}),
                               new SgPositionKeyLinear(1, {0.3f, 0.3f, 0.3f})};
    s->SetColorKeys(colors.Data(), colors.Count());
    // A burst at every restart: a ring of snapshots fills the system, rising and spreading.
    for (int i = 0; i < 48; ++i) {
        float a = SgTwoPi * static_cast<float>(i) / 48;
        SgParticleSnapshot snap;
        snap.position = {0.4f * std::cos(a), 0.4f * std::sin(a), 0};
        snap.velocity = SgVec3(0.3f * std::cos(a), 0.3f * std::sin(a), 1) * (1 / std::sqrt(1.09f));
        snap.axis = {0, 0, 1};
        snap.spinRate = 3;
        s->AddSnapshot(snap);
    }
    ReadyGeometry(*s);
    return s;
}

SgRef<Sg3dsParticleSystem> Shards(const SpriteLook& look) {
    SgRef<Sg3dsParticleSystem> s = Named(new Sg3dsParticleSystem, "shards");
    Loop(*s, 4);
    s->localTranslation = {3, 0, 1};
    s->SetParticles(Sprites(12, false, look).Get());
    s->SetParticleObject(Shard("shard", 0.15f).Get());
    s->emitterType = 2;
    s->emitterWidth = 0.2f;
    s->emitterLength = 0.2f;
    s->speed = 1;
    s->lifeSpan = 2;
    s->emitRate = 6;
    s->spinPeriod = 0.5f;
    // A white glint where each shard flies.
    s->particleSize = 0.15f;
    ReadyGeometry(*s);
    return s;
}

SgRef<SgNode> Track() {
    SgRef<SgNode> track = Named(new SgNode, "track");
    track->localTranslation = {-8, -2, 0};
    SgRef<Sg3dsPathController> loop = Named(new Sg3dsPathController, "loop");
    loop->timeMode = SgAnimationTiming::kTimeApplication;
    loop->cycleType = SgAnimationTiming::kCycleLoop;
    loop->constantSpeed = 1;
    loop->followPath = 1;
    loop->bank = 1;
    loop->bankAngle = 0.4f;
    loop->smoothFrame = 1;
    loop->smoothWindow = 0.1f;
    const SgVec3 corners[5] = {{0, 0, 0}, {4, 0, 0}, {4, 4, 0}, {0, 4, 0}, {0, 0, 0}};
    std::vector<SgPositionKey*> path;
    for (int i = 0; i < 5; ++i)
        path.push_back(new SgPositionKeyShaped(0.25f * i, corners[i]));
    OwnedKeys<SgPositionKey> pathKeys{path[0], path[1], path[2], path[3], path[4]};
    loop->SetPathKeys(pathKeys.Data(), pathKeys.Count());
    OwnedKeys<SgFloatKey> percent{new SgFloatKeyLinear(0, 0), new SgFloatKeyLinear(8, 1)};
    loop->SetPercentKeys(percent.Data(), percent.Count());
    loop->InsertChild(Shard("rider", 0.5f).Get(), false);
    track->InsertChild(loop.Get(), false);
    return track;
}

SgRef<Sg3dsMorphShape> Blob() {
    std::vector<SgVec3> flat = Square(0.5f);
    SgRef<Sg3dsMorphShape> blob = Named(new Sg3dsMorphShape(4, flat.data(), nullptr, 2, kSquareIndices, nullptr, nullptr), "blob");
    Loop(*blob, 2);
    blob->localTranslation = {0, 4, 0};
    const float w0[3] = {0, 0, 0}, w1[3] = {0, 1, 0}, w2[3] = {0, 0, 1};
    OwnedKeys<SgFloatKey> keys{new SgFloatKeyArrays(0, w0, 3), new SgFloatKeyArrays(1, w1, 3), new SgFloatKeyArrays(2, w2, 3)};
    blob->SetMorphKeys(keys.Data(), keys.Count());
    std::vector<SgVec3> raised = {{-0.5f, -0.5f, 0}, {0.5f, -0.5f, 1}, {0.5f, 0.5f, 0}, {-0.5f, 0.5f, 1}};
    std::vector<SgVec3> wide = Square(0.75f);
    const SgVec3* targets[3] = {flat.data(), raised.data(), wide.data()};
    blob->SetMorphTargets(targets, 3, 4);
    return blob;
}

SgRef<Sg3dsEnvMorphShape> Chrome() {
    std::vector<SgVec3> flat = Square(0.5f);
    const SgVec3 normals[4] = {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}};
    const SgVec3 uv[4] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    SgRef<Sg3dsEnvMorphShape> chrome = Named(
        new Sg3dsEnvMorphShape(4, flat.data(), normals, 2, kSquareIndices, uv, nullptr), "chrome");
    Loop(*chrome, 2);
    chrome->localTranslation = {2, 4, 0};
    chrome->refreshNormals = 1;
    OwnedKeys<SgFloatKey> keys{new SgFloatKeyPair(0, 0, 0, 0, 0, 3), new SgFloatKeyPair(1, 0, 0, 0, 2, 3),
                          new SgFloatKeyPair(2, 0, 0, 0, 0, 3)};
    chrome->SetMorphKeys(keys.Data(), keys.Count());
    std::vector<SgVec3> tilted = {{-0.5f, -0.5f, -0.25f}, {0.5f, -0.5f, -0.25f}, {0.5f, 0.5f, 0.25f}, {-0.5f, 0.5f, 0.25f}};
    std::vector<SgVec3> small = Square(0.25f);
    const SgVec3* targets[3] = {flat.data(), small.data(), tilted.data()};
    chrome->SetMorphTargets(targets, 3, 4);
    return chrome;
}

SgRef<SgTriShape> Glow() {
    std::vector<SgVec3> v = Square(0.5f);
    SgRef<SgTriShape> glow = Named(new SgTriShape(4, v.data(), nullptr, 2, kSquareIndices, nullptr, nullptr), "glow");
    glow->localTranslation = {-2, 4, 0};
    SgRef<SgMaterialProperty> material = Named(new SgMaterialProperty, "glow material");
    glow->AddRenderProperty(material.Get());

    SgRef<Sg3dsAlphaAnimator> fade = Named(new Sg3dsAlphaAnimator, "glow fade");
    OwnedKeys<SgFloatKey> alpha{new SgFloatKeyLinear(0, 1), new SgFloatKeyLinear(1, 0.2f), new SgFloatKeyLinear(2, 1)};
    fade->SetKeys(alpha.Data(), alpha.Count());
    fade->cycleType = SgAnimationTiming::kCycleLoop;
    fade->SetTarget(material.Get());

    SgRef<Sg3dsColorAnimator> tint = Named(new Sg3dsColorAnimator, "glow tint");
    tint->colorSelector = 1;
    OwnedKeys<SgPositionKey> colors{new SgPositionKeyLinear(0, {1, 0, 0}), new SgPositionKeyLinear(1, {0, 0, 1}),
                               new SgPositionKeyLinear(2, {1, 0, 0})};
    tint->SetKeys(colors.Data(), colors.Count());
    tint->cycleType = SgAnimationTiming::kCycleLoop;
    tint->SetTarget(material.Get());
    return glow;
}

}  // namespace

EffectsModel BuildEffectsModel() {
    EffectsModel model;
    model.root = Named(new SgNode, "effects sample");
    const SpriteLook look;
    model.root->InsertChild(Spray(look).Get(), false);
    model.root->InsertChild(Shards(look).Get(), false);
    model.root->InsertChild(Track().Get(), false);
    model.root->InsertChild(Blob().Get(), false);
    model.root->InsertChild(Chrome().Get(), false);
    model.root->InsertChild(Glow().Get(), false);

    SgRef<SgLight> lamp = Named(new SgLight, "lamp");
    lamp->SetPosition({0, 0, 3});
    model.root->AddLight(lamp.Get());
    model.lampAnimator = Named(new Sg3dsLightColorAnimator, "lamp colour");
    OwnedKeys<SgPositionKey> colors{new SgPositionKeyLinear(0, {1, 1, 1}), new SgPositionKeyLinear(2, {1, 0.5f, 0}),
                               new SgPositionKeyLinear(4, {1, 1, 1})};
    model.lampAnimator->SetKeys(colors.Data(), colors.Count());
    model.lampAnimator->cycleType = SgAnimationTiming::kCycleLoop;
    model.lampAnimator->SetTarget(lamp.Get());
    return model;
}

std::vector<uint8_t> EffectsModelBytes() {
    EffectsModel model = BuildEffectsModel();
    std::vector<uint8_t> bytes = SgfBytesOf({model.root.Get(), model.lampAnimator.Get()});
    // The material and its animators hold each other; the file has them, the model goes.
    Sg3dsPropertyAnimator::DeleteAll();
    return bytes;
}
