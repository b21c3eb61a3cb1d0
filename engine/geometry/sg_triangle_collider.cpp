#include "engine/geometry/sg_triangle_collider.h"

#include <cfloat>
#include <cmath>
#include <new>
#include <vector>

namespace {

float F(double v) { return static_cast<float>(v); }

// A positive depth counts down one level; a negative one means all the way and stays negative.
int32_t Down(int32_t depth) { return depth > 0 ? depth - 1 : depth; }

// Past this many levels a range is cut in the middle of its order: centroids spaced so that
// every spatial split peels off one triangle would otherwise nest the tree as deep as it has
// triangles.
constexpr int kMaxSplitDepth = 64;

class TreeBuilder {
public:
    TreeBuilder(SgTriangleCollider* collider, const uint16_t* indices, const SgVec3* model, const SgVec3* world)
        : collider_(collider), indices_(indices), model_(model), world_(world) {}

    // Triangle t's area and centroid from the model vertices.
    void AddTriangle(uint32_t t) {
        const SgVec3 &p0 = Corner(t, 0), &p1 = Corner(t, 1), &p2 = Corner(t, 2);
        triangles_.push_back(t);
        area_.push_back(F((p1 - p0).Cross(p2 - p0).Length() * 0.5));
        centroid_.push_back((p0 + p1 + p2) * 0.33333334f);
    }

    uint32_t Count() const { return static_cast<uint32_t>(triangles_.size()); }

    SgTriangleVolume* BuildRoot(int32_t leafThreshold) {
        uint32_t n = Count();
        if (n == 0)
            return nullptr;
        if (n == 1)
            return MakeLeaf(0);
        leafThreshold_ = leafThreshold;
        order_[0].resize(n);
        order_[1].resize(n);
        for (uint32_t i = 0; i < n; ++i)
            order_[0][i] = i;
        return BuildTree(0, static_cast<int>(n) - 1, 0, 0);
    }

private:
    const SgVec3& Corner(uint32_t t, int k) const { return model_[indices_[t * 3 + k]]; }

    SgTriangleLeaf* MakeLeaf(uint32_t i) {
        uint32_t t = triangles_[i];
        auto* leaf = new SgTriangleLeaf(collider_, t, &world_[indices_[t * 3]], &world_[indices_[t * 3 + 1]],
                                        &world_[indices_[t * 3 + 2]]);
        FitBox(&i, 0, 0, leaf->box);
        return leaf;
    }

    // The box over the triangles order[lo..hi]: axes from the area-weighted covariance of the
    // centroids and corners, extents and centre from the corners projected on them.
    void FitBox(const uint32_t* order, int lo, int hi, SgOrientedBox& box) const {
        double total = 0.0;
        for (int k = lo; k <= hi; ++k)
            total += area_[order[k]];
        // A range of degenerate triangles has no area to weigh by: each counts once instead.
        bool uniform = !(total > 0.0);
        if (uniform)
            total = hi - lo + 1;

        double mean[3] = {0, 0, 0}, sum[3][3] = {};
        auto outer = [&sum](const SgVec3& v, double w) {
            const double c[3] = {v.x, v.y, v.z};
            for (int r = 0; r < 3; ++r)
                for (int s = 0; s < 3; ++s)
                    sum[r][s] += w * c[r] * c[s];
        };
        for (int k = lo; k <= hi; ++k) {
            uint32_t i = order[k];
            double w = uniform ? 1.0 : area_[i];
            const SgVec3& c = centroid_[i];
            mean[0] += w * c.x;
            mean[1] += w * c.y;
            mean[2] += w * c.z;
            outer(c, w);
            for (int j = 0; j < 3; ++j)
                outer(Corner(triangles_[i], j), w);
        }
        SgMat3 cov;
        for (int r = 0; r < 3; ++r)
            mean[r] /= total;
        for (int r = 0; r < 3; ++r)
            for (int s = 0; s < 3; ++s)
                cov.m[r * 3 + s] = F(sum[r][s] * 0.25 / total - mean[r] * mean[s]);
        float values[3];
        SgMat3 vectors;
        cov.EigenSolve(values, vectors);

        SgVec3 m{F(mean[0]), F(mean[1]), F(mean[2])};
        double lowest[3] = {DBL_MAX, DBL_MAX, DBL_MAX}, highest[3] = {-DBL_MAX, -DBL_MAX, -DBL_MAX};
        for (int a = 0; a < 3; ++a)
            box.modelAxes[a] = {vectors.m[a], vectors.m[3 + a], vectors.m[6 + a]};
        for (int k = lo; k <= hi; ++k) {
            for (int j = 0; j < 3; ++j) {
                SgVec3 d = Corner(triangles_[order[k]], j) - m;
                for (int a = 0; a < 3; ++a) {
                    double p = d.Dot(box.modelAxes[a]);
                    lowest[a] = p < lowest[a] ? p : lowest[a];
                    highest[a] = p > highest[a] ? p : highest[a];
                }
            }
        }
        SgVec3 centre = m;
        for (int a = 0; a < 3; ++a) {
            box.modelExtents[a] = F((highest[a] - lowest[a]) * 0.5);
            centre = centre + box.modelAxes[a] * F((highest[a] + lowest[a]) * 0.5);
        }
        box.modelCentre = centre;
        box.Transform(SgIdentityMat3, SgZeroVec3, 1.0f);
    }

    // A tree over order_[from][lo..hi] (at least two triangles); the partitions go to the other
    // order array, which the children then read.
    SgTriangleTree* BuildTree(int lo, int hi, int from, int depth) {
        auto* node = new SgTriangleTree(collider_);
        const uint32_t* src = order_[from].data();
        uint32_t* dst = order_[1 - from].data();
        FitBox(src, lo, hi, node->box);
        if (hi - lo < leafThreshold_)
            return node;

        int mid = (lo + hi) / 2;
        int left = lo, right = hi;
        bool split = false;
        for (int a = 0; a < 3 && !split && depth < kMaxSplitDepth; ++a) {
            left = lo;
            right = hi;
            for (int k = lo; k <= hi; ++k) {
                uint32_t i = src[k];
                double s = (centroid_[i] - node->box.modelCentre).Dot(node->box.modelAxes[a]);
                if (s > 0 || (s == 0 && k <= mid))
                    dst[left++] = i;
                else
                    dst[right--] = i;
            }
            split = left > lo && right < hi;
        }
        if (!split) {
            for (int k = lo; k <= hi; ++k)
                dst[k] = src[k];
            left = mid + 1;
        }
        SgTriangleVolume* child0 = MakeSide(lo, left - 1, 1 - from, depth + 1);
        node->AdoptChildren(child0, MakeSide(left, hi, 1 - from, depth + 1));
        return node;
    }

    SgTriangleVolume* MakeSide(int lo, int hi, int from, int depth) {
        if (hi > lo)
            return BuildTree(lo, hi, from, depth);
        return MakeLeaf(order_[from][lo]);
    }

    SgTriangleCollider* collider_;
    const uint16_t* indices_;
    const SgVec3* model_;
    const SgVec3* world_;
    int32_t leafThreshold_ = 0;
    std::vector<uint32_t> triangles_;
    std::vector<float> area_;
    std::vector<SgVec3> centroid_;
    std::vector<uint32_t> order_[2];
};

// The point of the box nearest to p.
SgVec3 ClosestPointOnBox(const SgVec3& centre, const SgVec3 axes[3], const float extents[3], const SgVec3& p) {
    SgVec3 d = p - centre;
    SgVec3 out = centre;
    for (int a = 0; a < 3; ++a) {
        double s = d.Dot(axes[a]);
        double e = extents[a];
        s = s < -e ? -e : (s > e ? e : s);
        out = out + axes[a] * F(s);
    }
    return out;
}

// The moving triangle's edges against the static triangle's plane: the first moment (within the
// step) at which an edge touches the plane at a point of the triangle. best and bestPoint keep
// the earliest so far; carry is the static triangle's own velocity, which brings the point from
// the relative frame back to the world.
void SweepEdges(const SgVec3* const moving[3], const SgVec3& v, const SgVec3* const fixed[3], float step,
                const SgVec3& carry, float& best, SgVec3& bestPoint) {
    const SgVec3& q0 = *fixed[0];
    SgVec3 g0 = *fixed[1] - q0, g1 = *fixed[2] - q0;
    SgVec3 n = g0.Cross(g1);
    double nn = n.Dot(n);
    if (!(nn > 0.0))
        return;
    double speed = n.Dot(v);
    auto inside = [&](const SgVec3& x) {
        SgVec3 r = x - q0;
        double beta = n.Dot(r.Cross(g1)), gamma = n.Dot(g0.Cross(r));
        return beta >= 0 && gamma >= 0 && beta + gamma <= nn;
    };
    auto offer = [&](double tau, const SgVec3& x) {
        if (tau < best && inside(x)) {
            best = F(tau);
            bestPoint = x + carry * F(tau);
        }
    };
    static const int kEdges[3][2] = {{0, 1}, {0, 2}, {1, 2}};
    for (const auto& e : kEdges) {
        const SgVec3 &pa = *moving[e[0]], &pb = *moving[e[1]];
        double da = n.Dot(pa - q0), db = n.Dot(pb - q0);
        if (da == 0.0 && db == 0.0) {
            offer(0.0, pa);
            offer(0.0, pb);
        } else if ((da <= 0 && db >= 0) || (da >= 0 && db <= 0)) {
            offer(0.0, pa + (pb - pa) * F(da / (da - db)));
        } else {
            bool aNearer = std::fabs(da) < std::fabs(db);
            double dn = aNearer ? da : db;
            if (speed == 0.0 || (dn > 0) == (speed > 0))
                continue;
            double tau = -dn / speed;
            if (tau > step)
                continue;
            offer(tau, (aNearer ? pa : pb) + v * F(tau));
        }
    }
}

}  // namespace

// ---- Volumes ----

SgTriangleVolume::~SgTriangleVolume() {
    delete children_[0];
    delete children_[1];
}

void SgTriangleVolume::Refresh(const SgMat3& rotation, const SgVec3& translation, float scale) {
    box.Transform(rotation, translation, scale);
    for (SgTriangleVolume* child : children_)
        if (child)
            child->Refresh(rotation, translation, scale);
}

bool SgTriangleVolume::BoxContact(const SgTriangleVolume* other, SgTriangleContactSink& sink) const {
    const SgTriangleCollider* a = collider_;
    const SgTriangleCollider* b = other->collider_;
    SgTriangleContact contact;
    if (a->velocity == SgZeroVec3 && b->velocity == SgZeroVec3) {
        contact.time = 0.0f;
        contact.point = (box.worldCentre + other->box.worldCentre) * 0.5f;
    } else {
        float fraction;
        if (!SgMovingBoxContact(box, a->velocity, other->box, b->velocity, a->timeStep, fraction, contact.point))
            return false;
        contact.time = F(double(fraction) * a->timeStep);
    }
    Report(other, contact, sink);
    return true;
}

void SgTriangleVolume::Report(const SgTriangleVolume* other, SgTriangleContact& contact,
                              SgTriangleContactSink& sink) const {
    // Each box's frame at the contact time.
    SgOrientedBox movedA = box, movedB = other->box;
    movedA.worldCentre = box.worldCentre + collider_->velocity * contact.time;
    movedB.worldCentre = other->box.worldCentre + other->collider_->velocity * contact.time;
    contact.localPoints[0] = movedA.ToLocal(contact.point);
    contact.localPoints[1] = movedB.ToLocal(contact.point);
    contact.volumes[0] = this;
    contact.volumes[1] = other;
    sink.Report(contact);
}

bool SgTriangleTree::Test(const SgTriangleVolume* other, int32_t ownDepth, int32_t otherDepth) const {
    if (!other || !box.Intersects(other->box))
        return false;
    if (ownDepth == 0 || otherDepth == 0)
        return true;
    if (!children_[0] || !children_[1])
        return true;
    if (other->IsLeaf())
        return children_[0]->Test(other, Down(ownDepth), otherDepth) ||
               children_[1]->Test(other, Down(ownDepth), otherDepth);
    const SgTriangleVolume* o0 = other->Child(0);
    const SgTriangleVolume* o1 = other->Child(1);
    if (!o0 || !o1)
        return true;
    int32_t d1 = Down(ownDepth), d2 = Down(otherDepth);
    return children_[0]->Test(o0, d1, d2) || children_[0]->Test(o1, d1, d2) || children_[1]->Test(o0, d1, d2) ||
           children_[1]->Test(o1, d1, d2);
}

bool SgTriangleTree::FindContact(const SgTriangleVolume* other, SgTriangleContactSink& sink, int32_t ownDepth,
                                 int32_t otherDepth) const {
    if (!other || !box.Intersects(other->box))
        return false;
    if (ownDepth == 0 || otherDepth == 0 || !children_[0] || !children_[1])
        return BoxContact(other, sink);
    if (other->IsLeaf())
        return children_[0]->FindContact(other, sink, Down(ownDepth), otherDepth) ||
               children_[1]->FindContact(other, sink, Down(ownDepth), otherDepth);
    const SgTriangleVolume* o0 = other->Child(0);
    const SgTriangleVolume* o1 = other->Child(1);
    if (!o0 || !o1)
        return BoxContact(other, sink);
    int32_t d1 = Down(ownDepth), d2 = Down(otherDepth);
    return children_[0]->FindContact(o0, sink, d1, d2) || children_[0]->FindContact(o1, sink, d1, d2) ||
           children_[1]->FindContact(o0, sink, d1, d2) || children_[1]->FindContact(o1, sink, d1, d2);
}

bool SgTriangleLeaf::Test(const SgTriangleVolume* other, int32_t ownDepth, int32_t otherDepth) const {
    if (!other || !box.Intersects(other->box))
        return false;
    if (other->IsLeaf() || otherDepth == 0 || other->HasNoChildren())
        return true;
    return Test(other->Child(0), ownDepth, Down(otherDepth)) || Test(other->Child(1), ownDepth, Down(otherDepth));
}

bool SgTriangleLeaf::FindContact(const SgTriangleVolume* other, SgTriangleContactSink& sink, int32_t ownDepth,
                                 int32_t otherDepth) const {
    if (!other || !box.Intersects(other->box))
        return false;
    if (other->IsLeaf()) {
        if (ownDepth < 0 && otherDepth < 0)
            return TriangleContact(static_cast<const SgTriangleLeaf*>(other), sink);
        return BoxContact(other, sink);
    }
    if (otherDepth == 0 || other->HasNoChildren())
        return BoxContact(other, sink);
    return FindContact(other->Child(0), sink, ownDepth, Down(otherDepth)) ||
           FindContact(other->Child(1), sink, ownDepth, Down(otherDepth));
}

bool SgTriangleLeaf::TriangleContact(const SgTriangleLeaf* other, SgTriangleContactSink& sink) const {
    const SgTriangleCollider* a = collider_;
    const SgTriangleCollider* b = other->collider_;
    SgVec3 relative = a->velocity - b->velocity;
    float best = FLT_MAX;
    SgVec3 point;
    SweepEdges(corners_, relative, other->corners_, a->timeStep, b->velocity, best, point);
    SweepEdges(other->corners_, relative.Negate(), corners_, a->timeStep, a->velocity, best, point);
    if (best == FLT_MAX)
        return false;

    SgTriangleContact contact;
    contact.time = best;
    contact.point = point;
    Report(other, contact, sink);
    return true;
}

// ---- Collider ----

SgTriangleCollider::SgTriangleCollider(uint16_t triangleCount, const uint16_t* indices, uint32_t vertexCount,
                                       const SgVec3* modelVertices, const SgVec3* worldVertices,
                                       int32_t leafThreshold)
    : worldVertices_(worldVertices) {
    if (!indices || !modelVertices || !worldVertices)
        return;
    TreeBuilder builder(this, indices, modelVertices, worldVertices);
    for (uint32_t t = 0; t < triangleCount; ++t) {
        const uint16_t* tri = indices + t * 3;
        if (tri[0] < vertexCount && tri[1] < vertexCount && tri[2] < vertexCount)
            builder.AddTriangle(t);
    }
    root_ = builder.BuildRoot(leafThreshold);
}

SgTriangleCollider::~SgTriangleCollider() { delete root_; }

void SgTriangleCollider::SetTransform(const SgMat3& worldRotation, const SgVec3& worldTranslation, float worldScale) {
    // The world boxes already stand for this placement (or will at the next test).
    if (rotation == worldRotation && translation == worldTranslation && scale == worldScale)
        return;
    rotation = worldRotation;
    translation = worldTranslation;
    scale = worldScale;
    changed = 1;
}

void SgTriangleCollider::RefreshIfChanged() {
    if (!changed)
        return;
    changed = 0;
    if (root_)
        root_->Refresh(rotation, translation, scale);
}

bool SgTriangleCollider::Test(SgTriangleCollider* other, int32_t ownDepth, int32_t otherDepth) {
    if (!other || other == this)
        return false;
    other->RefreshIfChanged();
    RefreshIfChanged();
    return root_ && root_->Test(other->root_, ownDepth, otherDepth);
}

bool SgTriangleCollider::FindContact(SgTriangleCollider* other, SgTriangleContactSink& sink, int32_t ownDepth,
                                     int32_t otherDepth) {
    if (!other || other == this)
        return false;
    other->RefreshIfChanged();
    RefreshIfChanged();
    return root_ && root_->FindContact(other->root_, sink, ownDepth, otherDepth);
}

// ---- Moving boxes ----

bool SgMovingBoxContact(const SgOrientedBox& a, const SgVec3& velocityA, const SgOrientedBox& b,
                        const SgVec3& velocityB, float step, float& time, SgVec3& point) {
    SgVec3 t = b.worldCentre - a.worldCentre;
    SgVec3 travel = (velocityB - velocityA) * step;  // B's motion against A over the whole step
    double first = 0.0, last = 1.0;
    for (int k = 0; k < 15; ++k) {
        SgVec3 l = SgOrientedBox::CandidateAxis(a, b, k);
        // Parallel edges give no axis of their own; the face axes cover them.
        if (k >= 6 && l.SquaredLength() <= 1e-6f)
            continue;
        double r = SgOrientedBox::RadiusSum(a, b, k, l);
        double d0 = l.Dot(t), dv = l.Dot(travel);
        if (dv == 0.0) {
            if (d0 > r || d0 < -r)
                return false;
            continue;
        }
        // The part of the step during which the centres' separation on l is within r.
        double u1 = (-r - d0) / dv, u2 = (r - d0) / dv;
        if (u1 > u2) {
            double swap = u1;
            u1 = u2;
            u2 = swap;
        }
        first = u1 > first ? u1 : first;
        last = u2 < last ? u2 : last;
        if (first > last)
            return false;
    }
    time = F(first);
    // The two boxes at that moment touch: alternating nearest points from A's centre close in on
    // a point of both; the middle of the last pair.
    SgVec3 ca = a.worldCentre + velocityA * F(first * step);
    SgVec3 cb = b.worldCentre + velocityB * F(first * step);
    SgVec3 onA = ca, onB;
    for (int i = 0; i < 8; ++i) {
        onB = ClosestPointOnBox(cb, b.worldAxes, b.worldExtents, onA);
        onA = ClosestPointOnBox(ca, a.worldAxes, a.worldExtents, onB);
    }
    point = (onA + onB) * 0.5f;
    return true;
}
