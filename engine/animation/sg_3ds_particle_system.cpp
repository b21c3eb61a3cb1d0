#include "engine/animation/sg_3ds_particle_system.h"

#include <algorithm>
#include <cmath>

#include "common/random.h"
#include "engine/core/sg_geometry.h"
#include "engine/core/sg_registry.h"
#include "engine/core/sg_stream.h"
#include "engine/geometry/sg_particles.h"

namespace {

// A fresh uniform number in [0, 1].
float U() { return static_cast<float>(GameRand()) / static_cast<float>(GAME_RAND_MAX); }

SgMat3 AxisRotation(float angle, const SgVec3& axis) { return SgMat3::Rotation(6, angle, axis.x, axis.y, axis.z); }

SgVec3 ReadVec(SgSceneStream& s) {
    SgVec3 v;
    v.LoadFromStream(s);
    return v;
}

// The particle-pushes every system holds between them, and those stepped since the start.
uint64_t budgetInUse = 0;
uint64_t workDone = 0;

// Objects and vertices of a subtree, counted up to just past cap (a file's subtree may share or
// loop its children).
uint64_t Weigh(SgAVObject* root, uint64_t cap) {
    uint64_t weight = 0;
    std::vector<SgAVObject*> open{root};
    while (!open.empty() && weight <= cap) {
        SgAVObject* o = open.back();
        open.pop_back();
        weight += 1;
        if (auto* geometry = SgKindCast<SgGeometry>(o))
            weight += geometry->VertexCount();
        if (auto* node = SgKindCast<SgNode>(o))
            for (uint32_t i = 0; i < node->ChildCount(); ++i)
                if (SgAVObject* child = node->ChildAt(i))
                    open.push_back(child);
    }
    return std::min(weight, cap + 1);
}

// d scaled to the given length; a direction of no length gives no velocity.
SgVec3 AlongWithSpeed(const SgVec3& d, float speed) {
    float length = d.Length();
    return length > 0.0f ? d * (speed / length) : SgVec3();
}

}  // namespace

// The load's link ids beyond the node's: the template and geometry, the extra objects, the
// snapshots' objects, the forces and the colliders.
class Sg3dsParticleLinkData : public SgLinkIdData3 {
public:
    static SgTypeRecord typeRecord;
    const SgTypeRecord* GetTypeRecord() const override { return &typeRecord; }

    uint32_t templateId = 0;
    uint32_t geometryId = 0;
    std::vector<uint32_t> extraIds;
    std::vector<uint32_t> snapshotIds;
    std::vector<uint32_t> forceIds;
    std::vector<uint32_t> colliderIds;
};

constinit SgTypeRecord Sg3dsParticleLinkData::typeRecord{"Sg3dsParticleLinkData", &SgLinkIdData3::typeRecord};
constinit SgTypeRecord Sg3dsParticleSystem::typeRecord{"Sg3dsParticleSystem", &SgNode::typeRecord};

int Sg3dsParticleSystem::Register() {
    return SgClassRegistry::Register(typeRecord, SgCreateObject<Sg3dsParticleSystem, Sg3dsParticleLinkData>);
}

const SgTypeRecord* Sg3dsParticleSystem::GetTypeRecord() const { return &typeRecord; }

Sg3dsParticleSystem::Sg3dsParticleSystem() { GameSrand(13); }

Sg3dsParticleSystem::~Sg3dsParticleSystem() {
    FreeParticleArrays();
    ReleaseSnapshots();
}

// ---- Setting up ----

void Sg3dsParticleSystem::FreeParticleArrays() {
    for (const SgRef<SgNode>& node : particleNodes_)
        if (node)
            RemoveChild(node.Get());
    // Given back, not only emptied: a capacity costs nothing until particles are born again.
    spinRate_ = {};
    age_ = {};
    generation_ = {};
    particleNodes_ = {};
    ownPositions_ = {};
    velocity_ = {};
    rotation_ = {};
    fresh_ = {};
    liveCount_ = 0;
    budgetInUse -= share_;
    share_ = 0;
}

uint64_t Sg3dsParticleSystem::BudgetInUse() { return budgetInUse; }
uint64_t Sg3dsParticleSystem::WorkDone() { return workDone; }

uint64_t Sg3dsParticleSystem::TemplateWeight() {
    if (!UsableTemplate())
        return 0;
    if (!templateWeighed_) {
        templateWeight_ = Weigh(template_.Get(), kWorkBudget);
        templateWeighed_ = true;
    }
    return templateWeight_;
}

uint64_t Sg3dsParticleSystem::UnitsPerParticle() {
    return 1 + uint64_t{forces_.Count()} + colliders_.Count() + TemplateWeight();
}

uint32_t Sg3dsParticleSystem::Grant(uint32_t count) {
    count = std::min(count, LiveLimit());
    const uint64_t units = UnitsPerParticle();
    const uint32_t room = Room();
    if (count <= room && count * units <= share_)
        return count;
    // Doubling, so a system filling up one particle a step grows a few times only.
    const uint64_t wanted = std::min<uint64_t>(LiveLimit(), std::max<uint64_t>({count, 2ull * room, 16}));
    if (wanted * units > share_) {
        const uint64_t taken = std::min(wanted * units - share_, kWorkBudget - budgetInUse);
        share_ += taken;
        budgetInUse += taken;
    }
    const uint64_t paid = share_ / units;
    const uint32_t grown = static_cast<uint32_t>(std::min(wanted, paid));
    if (grown > room) {
        spinRate_.resize(grown);
        age_.resize(grown);
        generation_.resize(grown);
        particleNodes_.resize(grown);
        ownPositions_.resize(grown);
        velocity_.resize(grown);
        rotation_.resize(size_t{grown} * 4);
        fresh_.resize(grown);
    }
    return static_cast<uint32_t>(std::min<uint64_t>({count, paid, Room()}));
}

void Sg3dsParticleSystem::ReleaseSnapshots() {
    snapshots_.reset();
    snapshotCount_ = 0;
}

void Sg3dsParticleSystem::SetMaxParticles(uint32_t count) {
    // The arrays are made as particles are born (EnsureRoom): a file's capacity alone costs
    // nothing.
    FreeParticleArrays();
    ReleaseSnapshots();
    maxParticles_ = count;
}

void Sg3dsParticleSystem::ShrinkCapacity(uint32_t count) {
    std::unique_ptr<SgParticleSnapshot[]> kept = std::move(snapshots_);
    uint32_t keptCount = std::min(snapshotCount_, count);
    SetMaxParticles(count);
    if (kept && count) {
        snapshots_.reset(new SgParticleSnapshot[count]);
        for (uint32_t i = 0; i < count; ++i)
            snapshots_[i] = kept[i];
        snapshotCount_ = keptCount;
    }
}

void Sg3dsParticleSystem::RemoveGeometryChild() {
    if (geometry_)
        RemoveChild(geometry_.Get());
}

void Sg3dsParticleSystem::SetParticles(SgParticles* geometry) {
    SgRef<SgParticles> hold(geometry);
    RemoveGeometryChild();
    geometry_ = nullptr;
    extraObjects_.clear();
    geometry_ = hold;
    InsertChild(geometry, true);
    // Positions live in the geometry's vertices: a geometry without them holds no particles.
    SetMaxParticles(geometry && geometry->Vertices() ? geometry->VertexCount() : 0);
    SyncGeometryCount();
}

void Sg3dsParticleSystem::SyncGeometryCount() {
    if (geometry_)
        geometry_->SetActiveCount(static_cast<uint16_t>(std::min<uint32_t>(liveCount_, geometry_->VertexCount())));
}

void Sg3dsParticleSystem::SetEmitDirection(const SgVec3& v) {
    emitDirection_ = v;
    emitDirection_.Normalize();
    float ax = std::fabs(v.x), ay = std::fabs(v.y), az = std::fabs(v.z);
    if (az <= ax && ax > ay) {
        spreadAxisU_ = {0, 1, 0};
        spreadAxisV_ = {0, 0, 1};
    } else if (az > ax && az > ay) {
        spreadAxisU_ = {1, 0, 0};
        spreadAxisV_ = {0, 1, 0};
    } else {
        spreadAxisU_ = {0, 0, 1};
        spreadAxisV_ = {1, 0, 0};
    }
}

void Sg3dsParticleSystem::SetParticleObject(SgAVObject* object) {
    template_ = object;
    templateWeighed_ = false;
    for (SgRef<SgNode>& node : particleNodes_)
        if (node) {
            RemoveChild(node.Get());
            node = nullptr;
        }
    liveCount_ = 0;
    SyncGeometryCount();
}

void Sg3dsParticleSystem::SetExtraObjectCount(uint32_t count) {
    extraObjects_.clear();
    extraObjects_.resize(count);
}

void Sg3dsParticleSystem::SetExtraObjectAt(SgAVObject* object, uint32_t i) {
    if (i < extraObjects_.size())
        extraObjects_[i] = object;
}

SgAVObject* Sg3dsParticleSystem::GetExtraObjectAt(uint32_t i) const {
    return i < extraObjects_.size() ? extraObjects_[i].Get() : nullptr;
}

void Sg3dsParticleSystem::AddSnapshot(const SgParticleSnapshot& snapshot) {
    if (snapshotCount_ >= maxParticles_)
        return;
    if (!snapshots_)
        snapshots_.reset(new SgParticleSnapshot[maxParticles_]);
    snapshots_[snapshotCount_++] = snapshot;
}

void Sg3dsParticleSystem::SetColorKeys(const SgPositionKey* const* keys, uint32_t count) {
    colorKeys_.Clear();
    if (!SgAllKeysPresent(keys, count))
        return;
    colorKeys_ = SgKeyArray<SgPositionKey>::CloneOf(keys, count);
    colorKeyIndex = 0;
    colorKeys_.First()->PrepareSequence(colorKeys_.Data(), count);
}

SgVec3* Sg3dsParticleSystem::Positions() const {
    return geometry_ ? geometry_->Vertices() : const_cast<SgVec3*>(ownPositions_.data());
}

// ---- Simulation ----

Sg3dsParticleSystem::Placement Sg3dsParticleSystem::CurrentPlacement() const {
    const SgWorldState* state = geometry_ ? geometry_->CurrentState() : CurrentState();
    if (!state)
        return {};
    return {state->worldRotation, state->worldTranslation, state->worldScale};
}

void Sg3dsParticleSystem::RecordPlacement() {
    Placement p = CurrentPlacement();
    previousRotation = p.rotation;
    previousTranslation = p.translation;
    previousScale = p.scale;
}

void Sg3dsParticleSystem::UpdateState(SgWorldState* state) {
    ComposeWorldPlacement(state);
    if (geometry_)
        for (uint32_t i = 0; i < ChildCount(); ++i)
            if (ChildAt(i) == geometry_.Get() && ChildStateAt(i))
                geometry_->UpdateState(ChildStateAt(i));
    Simulate(pendingTime);
    SgNode::UpdateState(state);
}

void Sg3dsParticleSystem::Simulate(float t) {
    float m = MapTime(t);
    if (lastTime > 0.0f && t != 0.0f) {
        float change = m - lastTime;
        if (-0.0001f < change && change < 0.0001f)
            return;
        if (m < lastTime) {
            while (liveCount_)
                KillParticle(liveCount_ - 1);
            lastTime = lowKeyTime;
            RecordPlacement();
            Restart();
        }
        Step(m);
        lastTime = m;
        return;
    }
    lastTime = m;
    RecordPlacement();
    Restart();
}

void Sg3dsParticleSystem::Restart() {
    for (uint32_t i = 0; i < snapshotCount_; ++i)
        EmitFromSnapshot(snapshots_[i]);
    for (SgForce* c = colliders_.Head(); c; c = c->next)
        c->ResetWorld();
    for (SgForce* f = forces_.Head(); f; f = f->next)
        f->ResetWorld();
    if (!(prewarmTime > 0.0f))
        return;
    // Five steps a time unit, at least one. A long or crowded prewarm runs only its last steps
    // (each as long as in the whole run) that its bounds allow: a file's prewarm must not stall
    // the first frame, and the particles it leaves are those of the last stretch. Counted in
    // floating point: the step count of a long prewarm has no integer.
    const float steps = std::max(1.0f, std::trunc(prewarmTime * 5.0f));
    const float step = std::isfinite(steps) ? prewarmTime / steps : 0.2f;
    const uint32_t most = steps < float(kMaxPrewarmSteps) ? static_cast<uint32_t>(steps) : kMaxPrewarmSteps;
    const uint32_t n = AffordablePrewarmSteps(most, step);
    const float start = n == steps ? lowKeyTime - prewarmTime : lowKeyTime - step * static_cast<float>(n);
    float saved = lastTime;
    // Each step's end from the start, not added up: hundreds of added steps would drift.
    lastTime = start;
    for (uint32_t i = 1; i <= n; ++i) {
        const float end = i == n ? lowKeyTime : start + step * static_cast<float>(i);
        Step(end);
        lastTime = end;
    }
    lastTime = saved;
}

uint32_t Sg3dsParticleSystem::AffordablePrewarmSteps(uint32_t most, float step) {
    // Planned from the most particles each step could hold: all born at the full rate (and one
    // more a step from the carried remainders), none dying but every one (when it may) giving
    // way to a child twice a step, up to what the capacity and the budget allow.
    const uint64_t units = UnitsPerParticle();
    const bool respawning = (deathMode == kDieAndSpawn || deathMode == kSpawnOnAge) && maxGenerations > 0;
    const uint64_t each = units + (respawning ? 2 * (units + kBirthWork) : 0);
    const uint64_t hold = std::min<uint64_t>(LiveLimit(), (share_ + kWorkBudget - budgetInUse) / units);
    const float rate = !rateFromLifeSpan ? emitRate * step
                       : lifeSpan > 0.0f ? step / lifeSpan * static_cast<float>(maxParticles_)
                                         : 0.0f;
    const uint64_t born = rate < static_cast<float>(hold) ? static_cast<uint64_t>(std::max(rate, 0.0f)) + 1 : hold;
    uint64_t live = std::min<uint64_t>(liveCount_, hold);
    uint64_t work = 0;
    uint32_t n = 0;
    while (n < most) {
        const uint64_t newborns = std::min(hold - live, born);
        // The step itself costs as much as a particle (its forces and colliders are moved).
        const uint64_t cost = units + live * each + newborns * (units + kBirthWork);
        if (work + cost > kPrewarmWork)
            break;
        work += cost;
        live += newborns;
        ++n;
    }
    return n;
}

SgParticleSnapshot Sg3dsParticleSystem::SnapshotOf(uint32_t i) const {
    SgParticleSnapshot s;
    s.spinRate = spinRate_[i];
    s.age = age_[i];
    s.generation = generation_[i];
    s.position = Positions()[i];
    s.velocity = velocity_[i];
    s.angle = rotation_[4 * i];
    s.axis = {rotation_[4 * i + 1], rotation_[4 * i + 2], rotation_[4 * i + 3]};
    return s;
}

bool Sg3dsParticleSystem::Collide(SgVec3& position, SgVec3& velocity, float dt) {
    float bestTime = -1.0f;
    SgVec3 bestPosition, bestVelocity;
    bool hit = false;
    for (SgForce* c = colliders_.Head(); c; c = c->next) {
        SgVec3 p = position, v = velocity;
        float left = dt;
        if (c->ApplyToParticle(p, v, left, 0.0f) && left > bestTime) {
            bestTime = left;
            bestPosition = p;
            bestVelocity = v;
            hit = true;
        }
    }
    if (hit) {
        position = bestPosition + bestVelocity * bestTime;
        velocity = bestVelocity;
    }
    return hit;
}

void Sg3dsParticleSystem::ApplyForces(SgVec3& position, SgVec3& velocity, float dt, float m) {
    for (SgForce* f = forces_.Head(); f; f = f->next) {
        float step = dt;
        f->ApplyToParticle(position, velocity, step, m);
    }
}

float Sg3dsParticleSystem::SizeFactor(float age, int32_t generation) const {
    if (generation == 0 && fadeInTime != 0.0f && age <= fadeInTime)
        return age < 0.0f ? 0.0f : age / fadeInTime;
    if (generation >= maxGenerations && fadeOutTime != 0.0f && age > lifeSpan - fadeOutTime)
        return 1.0f - (std::min(age, lifeSpan) - (lifeSpan - fadeOutTime)) / fadeOutTime;
    return 1.0f;
}

SgRgba Sg3dsParticleSystem::ParticleColor(float age) {
    // Without a life span every particle shows the colour of age 0.
    float r = lifeSpan > 0.0f ? age / lifeSpan : 0.0f;
    SgVec3 c = SgEvaluateKeys(
        colorKeys_, colorKeyIndex, r, [](const SgPositionKey* k) { return k->position; },
        [](const SgPositionKey* k, float u, const SgPositionKey* next) {
            SgPositionKey out;
            return k->Interpolate(&out, u, next)->position;
        });
    auto clamp = [](float v) { return v < 0.0f ? 0.0f : v > 1.0f ? 1.0f : v; };
    return {clamp(c.x), clamp(c.y), clamp(c.z), 1.0f};
}

void Sg3dsParticleSystem::ColorAndSize(uint32_t i) {
    if (geometry_ && geometry_->Colors() && !colorKeys_.IsEmpty())
        geometry_->Colors()[i] = ParticleColor(age_[i]);
    if (fadeInTime != 0.0f || fadeOutTime != 0.0f) {
        float f = SizeFactor(age_[i], generation_[i]);
        if (geometry_ && geometry_->Sizes())
            geometry_->Sizes()[i] = f;
        else if (SgNode* node = particleNodes_[i].Get())
            node->localScale = std::fabs(f);
    }
}

bool Sg3dsParticleSystem::UsableTemplate() const {
    // A template that is this system or hangs above it would copy the system into itself.
    return template_ && !IsSelfOrAncestor(template_.Get());
}

SgNode* Sg3dsParticleSystem::MakeParticleNode(SgAVObject* content, const SgVec3& position) {
    auto* node = new SgNode;
    node->localTranslation = position;
    InsertChild(node, true);
    // Inserted under the system first, so content that is the system or above it is refused
    // instead of closing a loop.
    node->InsertChild(content, false);
    return node;
}

void Sg3dsParticleSystem::KillParticle(uint32_t i) {
    if (i >= liveCount_)
        return;
    uint32_t last = liveCount_ - 1;
    SgVec3* positions = Positions();
    positions[i] = positions[last];
    age_[i] = age_[last];
    generation_[i] = generation_[last];
    velocity_[i] = velocity_[last];
    for (int k = 0; k < 4; ++k)
        rotation_[4 * i + k] = rotation_[4 * last + k];
    spinRate_[i] = spinRate_[last];
    fresh_[i] = fresh_[last];
    fresh_[last] = 0;
    if (SgNode* node = particleNodes_[i].Get()) {
        RemoveChild(node);
        particleNodes_[i] = nullptr;
    }
    // Moving a slot onto itself leaves it empty: its node went above, once.
    if (i != last)
        particleNodes_[i] = std::move(particleNodes_[last]);
    particleNodes_[last] = nullptr;
    --liveCount_;
}

void Sg3dsParticleSystem::Respawn(const SgParticleSnapshot& s) {
    if (s.generation >= maxGenerations || Grant(liveCount_ + 1) <= liveCount_)
        return;
    uint32_t i = liveCount_;
    workDone += UnitsPerParticle() + kBirthWork;
    age_[i] = s.age - lifeSpan;
    generation_[i] = s.generation + 1;
    Positions()[i] = s.position;
    velocity_[i] = s.velocity;
    rotation_[4 * i] = s.angle;
    rotation_[4 * i + 1] = s.axis.x;
    rotation_[4 * i + 2] = s.axis.y;
    rotation_[4 * i + 3] = s.axis.z;
    spinRate_[i] = s.spinRate;
    if (UsableTemplate()) {
        SgNode* node = MakeParticleNode(template_->Duplicate().Get(), s.position);
        node->localRotation = AxisRotation(s.angle, s.axis);
        particleNodes_[i] = node;
    }
    ColorAndSize(i);
    fresh_[i] = 1;
    ++liveCount_;
    SyncGeometryCount();
}

void Sg3dsParticleSystem::EmitFromSnapshot(const SgParticleSnapshot& s) {
    if (Grant(liveCount_ + 1) <= liveCount_)
        return;
    uint32_t i = liveCount_;
    workDone += UnitsPerParticle() + kBirthWork;
    float scale = speed + speedVariation * (U() - 0.5f);
    Positions()[i] = s.position;
    velocity_[i] = s.velocity * scale;
    rotation_[4 * i] = s.angle;
    rotation_[4 * i + 1] = s.axis.x;
    rotation_[4 * i + 2] = s.axis.y;
    rotation_[4 * i + 3] = s.axis.z;
    spinRate_[i] = s.spinRate;
    age_[i] = 0.0f;
    generation_[i] = 0;
    if (s.object || UsableTemplate()) {
        SgRef<SgAVObject> content = s.object ? s.object : template_->Duplicate();
        particleNodes_[i] = MakeParticleNode(content.Get(), s.position);
    }
    ++liveCount_;
    SyncGeometryCount();
}

void Sg3dsParticleSystem::Step(float m) {
    float dt = m - lastTime;
    SgMat3 turn = SgIdentityMat3;
    SgVec3 shift;
    float k = 1.0f;
    if (worldSpace) {
        // The change of frame since the last step: particles and forces keep their world place.
        Placement now = CurrentPlacement();
        SgMat3 inverse = now.rotation.Transpose();
        turn = inverse * previousRotation;
        if (now.scale >= 0.0001f) {
            k = previousScale / now.scale;
            shift = (inverse * (previousTranslation - now.translation)) * (1.0f / now.scale);
        } else {
            k = 0.0f;
        }
        previousRotation = now.rotation;
        previousTranslation = now.translation;
        previousScale = now.scale;
        for (SgForce* c = colliders_.Head(); c; c = c->next)
            c->TransformToWorld(turn, shift, k);
        for (SgForce* f = forces_.Head(); f; f = f->next)
            f->TransformToWorld(turn, shift, k);
    }

    // Forces or colliders added since the particles were born make each dearer: those the share
    // no longer pays for go.
    const uint64_t units = UnitsPerParticle();
    const uint32_t paid = Grant(liveCount_);
    while (liveCount_ > paid)
        KillParticle(liveCount_ - 1);
    uint64_t moved = 1;  // the step itself, as one particle

    // A child respawned by a loop below does not die again in the same loop: one whose life is
    // shorter than the step, or that meets the same collider again, would otherwise die and
    // respawn once per generation, without end when its life is none.
    std::fill(fresh_.begin(), fresh_.end(), 0);

    // Death by age.
    for (uint32_t i = 0; i < liveCount_;) {
        if (!fresh_[i] && lifeSpan < dt + age_[i]) {
            SgParticleSnapshot s = SnapshotOf(i);
            KillParticle(i);
            if (deathMode == kSpawnOnAge)
                Respawn(s);
        } else {
            ++i;
        }
    }

    // Motion of the living.
    SgVec3* positions = Positions();
    std::fill(fresh_.begin(), fresh_.end(), 0);
    for (uint32_t i = 0; i < liveCount_; ++moved) {
        SgVec3 p = positions[i];
        SgVec3 v = velocity_[i];
        if (worldSpace) {
            p = (turn * p) * k + shift;
            v = (turn * v) * k;
        }
        bool hit = Collide(p, v, dt);
        SgNode* node = particleNodes_[i].Get();
        float* rotation = &rotation_[4 * i];
        if (node)
            node->localRotation = AxisRotation(rotation[0], {rotation[1], rotation[2], rotation[3]});
        rotation[0] += spinRate_[i] * dt;
        if (rotation[0] > SgTwoPi)
            rotation[0] -= SgTwoPi;
        if (hit && (deathMode == kDieOnCollision || deathMode == kDieAndSpawn) && !fresh_[i]) {
            positions[i] = p;
            velocity_[i] = v;
            SgParticleSnapshot s = SnapshotOf(i);
            KillParticle(i);
            if (deathMode == kDieAndSpawn)
                Respawn(s);
            continue;
        }
        if (!hit)
            p = p + v * dt;
        ApplyForces(p, v, dt, m);
        positions[i] = p;
        velocity_[i] = v;
        if (node)
            node->localTranslation = p;
        age_[i] += dt;
        ColorAndSize(i);
        ++i;
    }

    // How many are born.
    float count = 0.0f;
    if (stopTime == -1.0f || m <= stopTime) {
        float rate = 0.0f;
        if (!rateFromLifeSpan)
            rate = emitRate * dt;
        else if (lifeSpan > 0.0f)
            rate = dt / lifeSpan * static_cast<float>(maxParticles_);
        float x = rate + emitRemainder;
        count = std::trunc(x);
        emitRemainder = x - count;
        float room = static_cast<float>(LiveLimit() - liveCount_);
        // Clamped before conversion: a count out of range (or not a number) has no integer.
        if (!(count >= 0.0f)) {
            count = 0.0f;
            emitRemainder = 0.0f;
        } else if (count > room) {
            count = room;
            emitRemainder = 0.0f;
        }
    } else {
        emitRemainder = 0.0f;
    }

    // The newborns, each with its draws in a fixed order, as many as the budget pays for.
    uint32_t wanted = static_cast<uint32_t>(count);
    const uint32_t granted = Grant(liveCount_ + wanted);
    if (granted < liveCount_ + wanted) {
        wanted = granted > liveCount_ ? granted - liveCount_ : 0;
        emitRemainder = 0.0f;
    }
    uint32_t born = 0;
    std::vector<SgParticleSnapshot> respawns;
    for (uint32_t n = 0; n < wanted; ++n) {
        uint32_t j = liveCount_ + born;
        float a = U() * dt;
        float age = dt - a;
        age_[j] = age;
        generation_[j] = 0;
        float w = speedVariation * U() - speedVariation * 0.5f;
        GameRand();  // drawn and not used

        SgVec3 v;
        if (emitterType == 0) {
            float x = speedVariation * U() - speedVariation / 2;
            float y = speedVariation * U() - speedVariation / 2;
            float z = speedVariation / 2 - (U() * speedVariation + speed);
            v = {x, y, z};
        } else if (emitterType == 1 && directionMode == 3) {
            float theta = thetaCentre - (1.0f - 2.0f * U()) * thetaSpread;
            float phi = phiCentre - (1.0f - 2.0f * U()) * phiSpread;
            v = {std::sin(phi) * std::sin(theta), std::cos(phi) * std::sin(theta), std::cos(theta)};
            v.x *= speed * (1.0f + (2.0f * U() - 1.0f) * w);
            v.y *= speed * (1.0f + (2.0f * U() - 1.0f) * w);
            v.z *= speed * (1.0f + (2.0f * U() - 1.0f) * w);
        } else if (emitterType == 1) {
            float alpha = 0.0f, beta = 0.0f;
            if (spread != 0.0f) {
                alpha = 0.05f - U() / 10;
                beta = 0.05f - U() / 10;
            }
            v = AlongWithSpeed(emitDirection_ + spreadAxisU_ * alpha + spreadAxisV_ * beta, speed + w);
        } else {
            float x = 0.5f - U();
            float y = 0.5f - U();
            float z = 0.5f - U();
            v = AlongWithSpeed({x, y, z}, speed + w);
        }

        SgVec3 axis = spinAxis;
        if (!fixedSpinAxis) {
            float x = 2.0f * U() - 1.0f;
            float y = 2.0f * U() - 1.0f;
            float z = 2.0f * U() - 1.0f;
            axis = {x, y, z};
            axis.Normalize();
        }
        float angle = directionMode == 1 ? U() * SgTwoPi : 0.0f;
        float period = spinPeriod * (1.0f + U() * spinVariation);
        spinRate_[j] = std::fabs(period) >= 0.0001f ? SgTwoPi / period : 0.0f;
        rotation_[4 * j] = angle;
        rotation_[4 * j + 1] = axis.x;
        rotation_[4 * j + 2] = axis.y;
        rotation_[4 * j + 3] = axis.z;
        float px = U() * emitterWidth - emitterWidth / 2;
        float py = U() * emitterLength - emitterLength / 2;
        SgVec3 p{px, py, 0.0f};

        bool hit = Collide(p, v, age);
        if (hit && (deathMode == kDieOnCollision || deathMode == kDieAndSpawn)) {
            // Dropped; the next newborn takes the slot. Its child waits until every newborn of
            // the step is placed, so it cannot overwrite one.
            if (deathMode == kDieAndSpawn) {
                Positions()[j] = p;
                velocity_[j] = v;
                respawns.push_back(SnapshotOf(j));
            }
            continue;
        }
        if (!hit)
            p = p + v * age;
        ApplyForces(p, v, age, m);
        Positions()[j] = p;
        velocity_[j] = v;
        if (UsableTemplate())
            particleNodes_[j] = MakeParticleNode(template_->Duplicate().Get(), p);
        ColorAndSize(j);
        ++born;
    }
    liveCount_ += born;
    for (const SgParticleSnapshot& s : respawns)
        Respawn(s);
    workDone += moved * units + wanted * (units + kBirthWork);
    if (geometry_) {
        geometry_->size = particleSize * 0.5f;
        SyncGeometryCount();
    }
}

// ---- Copies ----

void Sg3dsParticleSystem::CopyFieldsInto(Sg3dsParticleSystem* copy) const {
    CopyInto(*copy);
    SgNode::CopyFieldsWithoutChildrenInto(copy);
    copy->SetMaxParticles(maxParticles_);
    copy->pendingTime = pendingTime;
    copy->rateFromLifeSpan = rateFromLifeSpan;
    copy->particleSize = particleSize;
    copy->speed = speed;
    copy->speedVariation = speedVariation;
    copy->lifeSpan = lifeSpan;
    copy->emitRate = emitRate;
    copy->emitterWidth = emitterWidth;
    copy->emitterLength = emitterLength;
    copy->keptA = keptA;
    copy->keptB = keptB;
    copy->keptC = keptC;
    copy->keptD = keptD;
    copy->emitterType = emitterType;
    copy->spread = spread;
    copy->maxGenerations = maxGenerations;
    copy->deathMode = deathMode;
    copy->spinPeriod = spinPeriod;
    copy->spinVariation = spinVariation;
    copy->fixedSpinAxis = fixedSpinAxis;
    copy->keptE = keptE;
    copy->spinAxis = spinAxis;
    copy->prewarmTime = prewarmTime;
    copy->stopTime = stopTime;
    copy->thetaSpread = thetaSpread;
    copy->thetaCentre = thetaCentre;
    copy->phiSpread = phiSpread;
    copy->phiCentre = phiCentre;
    copy->directionMode = directionMode;
    copy->fadeInTime = fadeInTime;
    copy->fadeOutTime = fadeOutTime;
    copy->worldSpace = worldSpace;
    copy->SetEmitDirection(emitDirection_);
    copy->SetColorKeys(colorKeys_.Data(), colorKeys_.Count());
    if (template_) {
        // A template (or extra object) holding this system would copy it again while it is
        // copied: the inner copy shares them instead.
        bool share = copying_;
        copying_ = true;
        copy->SetExtraObjectCount(ExtraObjectCount());
        for (uint32_t i = 0; i < ExtraObjectCount(); ++i)
            if (extraObjects_[i])
                copy->SetExtraObjectAt(share ? extraObjects_[i].Get() : extraObjects_[i]->Duplicate().Get(), i);
        copy->template_ = share ? template_ : template_->Duplicate();
        copying_ = share;
    }
    for (uint32_t i = 0; i < snapshotCount_; ++i)
        copy->AddSnapshot(snapshots_[i]);
    // The same geometry: the duplication's fix-up puts the geometry's copy in its place.
    if (geometry_) {
        copy->geometry_ = geometry_;
        copy->InsertChild(geometry_.Get(), true);
    }
    for (SgForce* f = forces_.Head(); f; f = f->next)
        copy->forces_.Push(f->Clone());
    for (SgForce* c = colliders_.Head(); c; c = c->next)
        copy->colliders_.Push(c->Clone());
}

SgAVObject* Sg3dsParticleSystem::MakeCopy(SgAVObject* copy) {
    auto* system = copy ? static_cast<Sg3dsParticleSystem*>(copy) : new Sg3dsParticleSystem;
    CopyFieldsInto(system);
    return system;
}

// ---- Stream ----

bool Sg3dsParticleSystem::LoadFromStream(SgSceneStream& s) {
    if (!SgNode::LoadFromStream(s) || !SgAnimationTiming::LoadFromStream(s))
        return false;
    auto* link = LinkRecord<Sg3dsParticleLinkData>();
    uint32_t capacity = s.ReadU32();
    if (!s.ReadOk())
        return false;
    SetMaxParticles(capacity);
    rateFromLifeSpan = s.ReadU8();
    worldSpace = s.ReadU8();
    particleSize = s.ReadF32();
    speed = s.ReadF32();
    speedVariation = s.ReadF32();
    lifeSpan = s.ReadF32();
    keptB = s.ReadF32();
    emitRate = s.ReadF32();
    emitterWidth = s.ReadF32();
    emitterLength = s.ReadF32();
    keptA = s.ReadF32();
    keptC = s.ReadF32();
    keptD = s.ReadF32();
    emitterType = s.ReadU32();
    spread = s.ReadF32();
    SetEmitDirection(ReadVec(s));
    maxGenerations = s.ReadI32();
    deathMode = s.ReadU32();
    spinPeriod = s.ReadF32();
    spinVariation = s.ReadF32();
    fixedSpinAxis = s.ReadU32();
    keptE = s.ReadF32();
    spinAxis = ReadVec(s);
    prewarmTime = s.ReadF32();
    stopTime = s.ReadF32();
    thetaSpread = s.ReadF32();
    thetaCentre = s.ReadF32();
    phiSpread = s.ReadF32();
    phiCentre = s.ReadF32();
    directionMode = s.ReadU32();

    uint32_t templateId = s.ReadU32();
    if (link)
        link->templateId = templateId;
    if (templateId != 0) {
        uint32_t extras = s.ReadU32();
        if (!s.CheckCount(extras, 4))
            return false;
        SetExtraObjectCount(extras);
        for (uint32_t i = 0; i < extras; ++i) {
            uint32_t id = s.ReadU32();
            if (link)
                link->extraIds.push_back(id);
        }
    }
    if (s.ReadU32() != 0) {
        if (!s.CheckCount(maxParticles_, SgParticleSnapshot::kStreamBytes))
            return false;
        // Loaded snapshots are all emitted at a restart; slots past maxParticles stay zero.
        snapshots_.reset(new SgParticleSnapshot[maxParticles_ ? maxParticles_ : 1]);
        snapshotCount_ = maxParticles_;
        for (uint32_t i = 0; i < maxParticles_; ++i) {
            SgParticleSnapshot& p = snapshots_[i];
            p.spinRate = s.ReadF32();
            p.age = s.ReadF32();
            p.generation = s.ReadI32();
            p.position = ReadVec(s);
            p.velocity = ReadVec(s);
            uint32_t id = s.ReadU32();
            if (link)
                link->snapshotIds.push_back(id);
            p.angle = s.ReadF32();
            p.axis = ReadVec(s);
        }
    }
    uint32_t geometryId = s.ReadU32();
    if (link)
        link->geometryId = geometryId;
    for (std::vector<uint32_t>* ids : {link ? &link->forceIds : nullptr, link ? &link->colliderIds : nullptr}) {
        uint32_t n = s.ReadU32();
        if (!s.CheckCount(n, 4))
            return false;
        for (uint32_t i = 0; i < n; ++i) {
            uint32_t id = s.ReadU32();
            if (ids)
                ids->push_back(id);
        }
    }
    SgKeyArray<SgPositionKey> keys;
    if (!SgPositionKey::LoadSequence(s, keys))
        return false;
    SetColorKeys(keys.Data(), keys.Count());
    fadeInTime = s.ReadF32();
    fadeOutTime = s.ReadF32();
    return s.ReadOk();
}

void Sg3dsParticleSystem::LinkFromStream(SgSceneStream& s) {
    SgNode::LinkFromStream(s);
    auto* link = LinkRecord<Sg3dsParticleLinkData>();
    if (!link)
        return;
    template_ = s.Resolve<SgAVObject>(link->templateId);
    templateWeighed_ = false;
    if (template_)
        for (uint32_t i = 0; i < link->extraIds.size(); ++i)
            SetExtraObjectAt(s.Resolve<SgAVObject>(link->extraIds[i]), i);
    if (snapshots_)
        for (uint32_t i = 0; i < link->snapshotIds.size() && i < maxParticles_; ++i)
            snapshots_[i].object = s.Resolve<SgAVObject>(link->snapshotIds[i]);
    geometry_ = s.Resolve<SgParticles>(link->geometryId);
    // Positions live in the geometry's vertices: never more particles than it has.
    if (geometry_) {
        uint32_t room = geometry_->Vertices() ? geometry_->VertexCount() : 0;
        if (room < maxParticles_)
            ShrinkCapacity(room);
    }
    SyncGeometryCount();
    for (uint32_t id : link->forceIds)
        AddForce(s.Resolve<SgForce>(id));
    for (uint32_t id : link->colliderIds)
        AddCollider(s.Resolve<SgForce>(id));
}

bool Sg3dsParticleSystem::RegisterInStream(SgSceneStream& s) {
    if (!SgNode::RegisterInStream(s))
        return false;
    if (template_)
        template_->RegisterInStream(s);
    for (const SgRef<SgAVObject>& extra : extraObjects_)
        if (extra)
            extra->RegisterInStream(s);
    if (snapshots_)
        for (uint32_t i = 0; i < maxParticles_; ++i)
            if (snapshots_[i].object)
                snapshots_[i].object->RegisterInStream(s);
    if (geometry_)
        geometry_->RegisterInStream(s);
    for (SgForce* f = forces_.Head(); f; f = f->next)
        f->RegisterInStream(s);
    for (SgForce* c = colliders_.Head(); c; c = c->next)
        c->RegisterInStream(s);
    return true;
}

void Sg3dsParticleSystem::SaveToStream(SgSceneStream& s) const {
    SgNode::SaveToStream(s);
    SgAnimationTiming::SaveToStream(s);
    s.WriteU32(maxParticles_);
    s.WriteU8(rateFromLifeSpan);
    s.WriteU8(worldSpace);
    for (float v : {particleSize, speed, speedVariation, lifeSpan, keptB, emitRate, emitterWidth, emitterLength, keptA,
                    keptC, keptD})
        s.WriteF32(v);
    s.WriteU32(emitterType);
    s.WriteF32(spread);
    emitDirection_.SaveToStream(s);
    s.WriteI32(maxGenerations);
    s.WriteU32(deathMode);
    s.WriteF32(spinPeriod);
    s.WriteF32(spinVariation);
    s.WriteU32(fixedSpinAxis);
    s.WriteF32(keptE);
    spinAxis.SaveToStream(s);
    for (float v : {prewarmTime, stopTime, thetaSpread, thetaCentre, phiSpread, phiCentre})
        s.WriteF32(v);
    s.WriteU32(directionMode);
    s.WriteLinkId(template_.Get());
    if (template_) {
        s.WriteU32(ExtraObjectCount());
        for (const SgRef<SgAVObject>& extra : extraObjects_)
            s.WriteLinkId(extra.Get());
    }
    s.WriteU32(snapshots_ ? 1 : 0);
    if (snapshots_)
        for (uint32_t i = 0; i < maxParticles_; ++i) {
            const SgParticleSnapshot& p = snapshots_[i];
            s.WriteF32(p.spinRate);
            s.WriteF32(p.age);
            s.WriteI32(p.generation);
            p.position.SaveToStream(s);
            p.velocity.SaveToStream(s);
            s.WriteLinkId(p.object.Get());
            s.WriteF32(p.angle);
            p.axis.SaveToStream(s);
        }
    s.WriteLinkId(geometry_.Get());
    for (const SgForceChain* chain : {&forces_, &colliders_}) {
        s.WriteU32(chain->Count());
        for (SgForce* f = chain->Head(); f; f = f->next)
            s.WriteLinkId(f);
    }
    SgPositionKey::SaveSequence(s, colorKeys_.Data(), colorKeys_.Count());
    s.WriteF32(fadeInTime);
    s.WriteF32(fadeOutTime);
}

bool Sg3dsParticleSystem::IsEqualTo(const SgObject* other) const {
    const auto* o = SgKindCast<Sg3dsParticleSystem>(other);
    if (!o || !SgNode::IsEqualTo(o) || !SgAnimationTiming::IsEqualTo(*o))
        return false;
    if (maxParticles_ != o->maxParticles_ || ExtraObjectCount() != o->ExtraObjectCount() ||
        rateFromLifeSpan != o->rateFromLifeSpan || worldSpace != o->worldSpace || emitterType != o->emitterType ||
        maxGenerations != o->maxGenerations || deathMode != o->deathMode || fixedSpinAxis != o->fixedSpinAxis ||
        directionMode != o->directionMode || !snapshots_ != !o->snapshots_ ||
        colorKeys_.Count() != o->colorKeys_.Count() || forces_.Count() != o->forces_.Count() ||
        colliders_.Count() != o->colliders_.Count() || !SgSameObjects(template_.Get(), o->template_.Get()))
        return false;
    const float mine[] = {particleSize, speed,       speedVariation, lifeSpan,    emitRate,    emitterWidth,
                          emitterLength, keptA,      keptB,          keptC,       keptD,       spread,
                          spinPeriod,    spinVariation, keptE,       prewarmTime, stopTime,    thetaSpread,
                          thetaCentre,   phiSpread,  phiCentre,      fadeInTime,  fadeOutTime};
    const float theirs[] = {o->particleSize, o->speed,       o->speedVariation, o->lifeSpan,    o->emitRate,
                            o->emitterWidth, o->emitterLength, o->keptA,        o->keptB,       o->keptC,
                            o->keptD,        o->spread,      o->spinPeriod,     o->spinVariation, o->keptE,
                            o->prewarmTime,  o->stopTime,    o->thetaSpread,    o->thetaCentre, o->phiSpread,
                            o->phiCentre,    o->fadeInTime,  o->fadeOutTime};
    for (size_t i = 0; i < sizeof mine / sizeof mine[0]; ++i)
        if (!SgSameFloat(mine[i], theirs[i]))
            return false;
    if (!SgSameVec(emitDirection_, o->emitDirection_) || !SgSameVec(spinAxis, o->spinAxis))
        return false;
    for (uint32_t i = 0; i < colorKeys_.Count(); ++i)
        if (colorKeys_[i]->IsNotEqualTo(o->colorKeys_[i]))
            return false;
    for (uint32_t i = 0; snapshots_ && i < maxParticles_; ++i) {
        const SgParticleSnapshot &a = snapshots_[i], &b = o->snapshots_[i];
        if (!SgSameFloat(a.spinRate, b.spinRate) || !SgSameFloat(a.age, b.age) || a.generation != b.generation ||
            !SgSameVec(a.position, b.position) || !SgSameVec(a.velocity, b.velocity) ||
            !SgSameFloat(a.angle, b.angle) || !SgSameVec(a.axis, b.axis))
            return false;
    }
    return true;
}
