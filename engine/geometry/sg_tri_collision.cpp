// The collision half of triangle geometry: the per-state triangle colliders (collision mode 2),
// the all-pairs moving triangle test (mode 1), the triangles against a collision volume, and the
// table by which two geometries' modes choose among them.

#include <limits>
#include <vector>

#include "engine/core/sg_node.h"
#include "engine/geometry/sg_moving_triangle.h"
#include "engine/geometry/sg_tri_based_geom.h"
#include "engine/geometry/sg_triangle_collider.h"

namespace {

// Hands each contact the colliders find to the pair's listeners.
class PairSink : public SgTriangleContactSink {
public:
    explicit PairSink(SgCollisionPair& pair) : pair_(pair) {}
    void Report(const SgTriangleContact& contact) override {
        pair_.time = contact.time;
        pair_.point = contact.point;
        for (int side = 0; side < 2; ++side) {
            const SgTriangleVolume* v = contact.volumes[side];
            pair_.sides[side].triangle =
                v && v->IsLeaf() ? static_cast<int32_t>(static_cast<const SgTriangleLeaf*>(v)->Triangle()) : -1;
        }
        SgNotifyCollisionPair(pair_);
    }

private:
    SgCollisionPair& pair_;
};

int32_t DepthWord(uint32_t leafThreshold) {
    return leafThreshold > uint32_t(std::numeric_limits<int32_t>::max()) ? std::numeric_limits<int32_t>::max()
                                                                          : int32_t(leafThreshold);
}

}  // namespace

SgTriangleCollider* SgTriBasedGeom::ColliderOf(SgWorldState* state) const {
    if (!state)
        return nullptr;
    return dynamic_cast<SgTriangleCollider*>(GeometryState(state)->collisionData.get());
}

void SgTriBasedGeom::PrepareState(SgWorldState* state, uint32_t leafThreshold) {
    if (!state) {
        // Every place the geometry hangs, as ReleaseState(null) drops them all.
        for (uint32_t i = 0; i < worldStates_.UsedSize(); ++i)
            if (SgWorldState* each = worldStates_.At(i))
                PrepareState(each, leafThreshold);
        return;
    }
    SgGeometryWorldState* gs = GeometryState(state);
    // The leaves point into the state's world vertices: the array must exist before the build.
    if (!gs->worldVertices)
        TransformToWorld(state);
    if (SgTriangleCollider* collider = ColliderOf(state)) {
        if (collider->WorldVertices() == gs->worldVertices.get())
            return;
        gs->collisionData.reset();  // made over an array that is gone
    }
    if (!vertices_ || !gs->worldVertices || triangleCount_ == 0)
        return;
    // Triangles the class cannot name get indices past every vertex, which the build leaves out.
    std::vector<uint16_t> indices(size_t(triangleCount_) * 3, 0xFFFF);
    for (uint32_t i = 0; i < triangleCount_; ++i) {
        SgPlaneEq* plane;
        uint16_t corners[3];
        if (GetTriangle(i, corners, plane))
            for (int k = 0; k < 3; ++k)
                indices[i * 3 + k] = corners[k];
    }
    gs->collisionData = std::make_unique<SgTriangleCollider>(triangleCount_, indices.data(), vertexCount_,
                                                             vertices_.get(), gs->worldVertices.get(),
                                                             DepthWord(leafThreshold));
}

bool SgTriBasedGeom::TestVolumeTriangles(float, SgAVObject* other) {
    // Without a volume there is nothing to meet. With one, the bound-test table would be asked
    // for a test of its kind against each moving triangle; no kind has one in this engine.
    if (!other || !other->CollisionVolume())
        return false;
    return false;
}

bool SgTriBasedGeom::FindVolumeTriangleContact(float time, SgAVObject* other, SgCollisionPair&) {
    return TestVolumeTriangles(time, other);
}

int SgTriBasedGeom::CollideTrianglePairs(float time, SgTriBasedGeom* other, SgCollisionPair* pair) {
    SgWorldState* own = currentState_;
    SgWorldState* theirs = other ? other->currentState_ : nullptr;
    if (!own || !theirs)
        return 0;
    FreshState(own);
    other->FreshState(theirs);
    SgVec3 va = own->worldVelocity, vb = theirs->worldVelocity;
    for (uint32_t i = 0; i < triangleCount_; ++i) {
        const SgVec3* a[3];
        if (!GetWorldTriangle(i, a))
            continue;
        for (uint32_t j = 0; j < other->triangleCount_; ++j) {
            const SgVec3* b[3];
            if (!other->GetWorldTriangle(j, b))
                continue;
            SgMovingTriangleTest test(a[0], a[1], a[2], &va, b[0], b[1], b[2], &vb);
            if (!pair) {
                if (test.TestWithinStep(time))
                    return 1;
                continue;
            }
            float when;
            SgVec3 point, na, nb;
            if (!test.FindFirstContact(time, when, point, 0, na, nb))
                continue;
            pair->time = when;
            pair->point = point;
            pair->sides[0].triangle = static_cast<int32_t>(i);
            pair->sides[1].triangle = static_cast<int32_t>(j);
            SgNotifyCollisionPair(*pair);
            return 1;
        }
    }
    return 0;
}

bool SgTriBasedGeom::TestTrianglesTriangles(float time, SgTriBasedGeom* other) {
    return CollideTrianglePairs(time, other, nullptr) != 0;
}

bool SgTriBasedGeom::FindTrianglesTrianglesContact(float time, SgTriBasedGeom* other, SgCollisionPair& pair) {
    return CollideTrianglePairs(time, other, &pair) != 0;
}

int SgTriBasedGeom::CollideColliders(float time, SgTriBasedGeom* other, SgCollisionPair& pair, bool report) {
    SgWorldState* own = currentState_;
    SgWorldState* theirs = other->currentState_;
    PrepareState(own, pair.sides[0].leafThreshold);
    other->PrepareState(theirs, pair.sides[1].leafThreshold);
    SgTriangleCollider* a = ColliderOf(own);
    SgTriangleCollider* b = other->ColliderOf(theirs);
    if (!a || !b)
        return 0;
    for (auto [collider, state] : {std::pair{a, own}, std::pair{b, theirs}}) {
        collider->timeStep = time;
        collider->velocity = state->worldVelocity;
        collider->SetTransform(state->worldRotation, state->worldTranslation, state->worldScale);
    }
    FreshState(own);
    other->FreshState(theirs);
    if (!report)
        return a->Test(b, pair.sides[0].depth, pair.sides[1].depth) ? 1 : 0;
    PairSink sink(pair);
    return a->FindContact(b, sink, pair.sides[0].depth, pair.sides[1].depth) ? 1 : 0;
}

int SgTriBasedGeom::CollideByModes(SgGeometry* self, SgAVObject* other, float time, SgCollisionPair& pair,
                                   bool report) {
    SgTriBasedGeom* a = SgKindCast<SgTriBasedGeom>(self);
    if (!other)
        return -1;
    if (SgKindCast<SgNode>(other)) {
        // A node of mode 0 (the others take the query over): its volume against the triangles.
        if (!a || a->collisionMode != 1)
            return -1;
        return report ? a->FindVolumeTriangleContact(time, other, pair) : a->TestVolumeTriangles(time, other);
    }
    SgTriBasedGeom* b = SgKindCast<SgTriBasedGeom>(other);
    if (!a || !b)
        return -1;
    uint32_t ma = a->collisionMode, mb = b->collisionMode;
    if (ma == 1 && mb == 0)
        return report ? a->FindVolumeTriangleContact(time, b, pair) : a->TestVolumeTriangles(time, b);
    if (ma == 0 && mb == 1) {
        SgCollisionPair mirrored = pair.Exchanged();
        return report ? b->FindVolumeTriangleContact(time, a, mirrored) : b->TestVolumeTriangles(time, a);
    }
    if (ma == 1 && mb == 1)
        return report ? a->FindTrianglesTrianglesContact(time, b, pair) : a->TestTrianglesTriangles(time, b);
    if (ma == 2 && mb == 2)
        return a->CollideColliders(time, b, pair, report);
    // (0, 0) and every other pair: the bounds decide.
    return -1;
}
