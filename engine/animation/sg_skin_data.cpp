#include "engine/animation/sg_skin_data.h"

#include <cmath>
#include <cstring>

#include "engine/core/sg_stream.h"
#include "engine/core/sg_world_state.h"

namespace {

constexpr uint32_t kBuckets = 37;

int CompareBytes(const void* a, const void* b, size_t n) {
    int r = std::memcmp(a, b, n);
    return r < 0 ? -1 : r > 0 ? 1 : 0;
}

}  // namespace

SgSkinData::~SgSkinData() = default;

void SgSkinData::OnChanged() {}

std::vector<std::vector<SgSkinWeight>> SgSkinData::Lists() const {
    std::vector<std::vector<SgSkinWeight>> lists(heads_.size());
    for (uint32_t v = 0; v < heads_.size(); ++v)
        for (const SgSkinWeight* w = Head(v); w; w = Next(w))
            lists[v].push_back(*w);
    return lists;
}

void SgSkinData::SetLists(const std::vector<std::vector<SgSkinWeight>>& lists) {
    size_t extra = 0;
    for (const auto& list : lists)
        extra += list.empty() ? 0 : list.size() - 1;
    heads_.assign(lists.size(), SgSkinWeight());
    pool_.clear();
    pool_.reserve(extra);
    for (size_t v = 0; v < lists.size(); ++v) {
        SgSkinWeight* previous = nullptr;
        for (size_t i = 0; i < lists[v].size(); ++i) {
            SgSkinWeight w = lists[v][i];
            w.present = 1;
            w.next = SgSkinWeight::kEnd;
            if (i == 0) {
                heads_[v] = w;
                previous = &heads_[v];
            } else {
                previous->next = static_cast<uint32_t>(pool_.size());
                pool_.push_back(w);
                previous = &pool_.back();
            }
        }
    }
}

void SgSkinData::SetWeights(const std::vector<std::vector<SgSkinInfluence>>& lists) {
    std::vector<std::vector<SgSkinWeight>> weights(lists.size());
    for (size_t v = 0; v < lists.size(); ++v)
        for (const SgSkinInfluence& in : lists[v]) {
            // As at link: an influence without a bone has nothing to follow.
            if (!in.bone)
                continue;
            SgSkinWeight w;
            w.weight = in.weight;
            w.offset = in.offset;
            w.bone = in.bone;
            weights[v].push_back(w);
        }
    SetLists(weights);
    bones_.clear();
    map_.reset();
}

uint32_t SgSkinData::InfluenceCount(uint32_t v) const {
    uint32_t n = 0;
    for (const SgSkinWeight* w = Head(v); w; w = Next(w))
        ++n;
    return n;
}

void SgSkinData::CopyInto(SgSkinData& target) const {
    target.recomputeNormals = recomputeNormals;
    target.heads_ = heads_;
    target.pool_ = pool_;
    target.bones_.clear();
    for (const SgSkinBone& b : bones_) {
        SgSkinBone copy;
        copy.bone = b.bone;
        copy.bound.Copy(b.bound);
        target.bones_.push_back(copy);
    }
    target.map_.reset();
    if (map_) {
        target.map_.reset(new uint16_t[heads_.size() ? heads_.size() : 1]);
        std::memcpy(target.map_.get(), map_.get(), heads_.size() * sizeof(uint16_t));
    }
}

void SgSkinData::BuildBones() {
    bones_.clear();
    struct Points {
        Sg3dsBone* bone;
        std::vector<SgVec3> points;
    };
    std::vector<Points> buckets[kBuckets];
    for (uint32_t v = 0; v < heads_.size(); ++v) {
        float sum = 0.0f;
        for (const SgSkinWeight* w = Head(v); w; w = Next(w))
            sum += w->weight;
        for (const SgSkinWeight* w = Head(v); w; w = Next(w)) {
            if (!w->bone)
                continue;
            auto& chain = buckets[w->bone->serial % kBuckets];
            Points* found = nullptr;
            for (Points& p : chain)
                if (p.bone == w->bone)
                    found = &p;
            if (!found) {
                chain.push_back(Points{w->bone, {}});
                found = &chain.back();
            }
            found->points.push_back(w->offset * sum);
        }
    }
    for (auto& chain : buckets)
        for (Points& p : chain) {
            SgSkinBone entry;
            entry.bone = p.bone;
            entry.bound.FitToPoints(static_cast<uint32_t>(p.points.size()), p.points.data());
            bones_.push_back(entry);
        }
}

void SgSkinData::UpdateBones(const SgWorldState& state) {
    const SgMat3& S = state.worldRotation;
    const float s = state.worldScale;
    for (SgSkinBone& entry : bones_) {
        Sg3dsBone* B = entry.bone;
        B->skinFlag = 0;
        SgMat3 K = S * B->boneRotation;
        float factor = B->boneScale * s;
        for (float& e : K.m)
            e *= factor;
        SgVec3 T = state.worldTranslation + (S * B->boneTranslation) * s;
        B->skinRotation = K;
        B->skinTranslation = T;
        if (!K.IsEqualTo(entry.lastRotation)) {
            entry.lastRotation = K;
            B->skinFlag = 1;
        }
        if (!T.IsEqualTo(entry.lastTranslation)) {
            entry.lastTranslation = T;
            B->skinFlag = 1;
        }
    }
}

namespace {

// K x v + T in single precision: this runs for every skinned vertex of every frame.
inline void AddTransformed(const float* k, const SgVec3& v, const SgVec3& t, float w, float* out) {
    out[0] += w * (k[0] * v.x + k[1] * v.y + k[2] * v.z + t.x);
    out[1] += w * (k[3] * v.x + k[4] * v.y + k[5] * v.z + t.y);
    out[2] += w * (k[6] * v.x + k[7] * v.y + k[8] * v.z + t.z);
}

inline SgVec3 Normalized(const float* n) {
    float squared = n[0] * n[0] + n[1] * n[1] + n[2] * n[2];
    if (!(squared >= 1e-12f))
        return SgVec3();
    float r = 1.0f / std::sqrt(squared);
    return {n[0] * r, n[1] * r, n[2] * r};
}

}  // namespace

bool SgSkinData::SkinVertex(uint32_t i, bool all, SgVec3& position, const SgVec3* modelNormal,
                            SgVec3* normal) const {
    const SgSkinWeight* h = Head(i);
    if (!h || !h->bone)
        return false;
    bool single = h->next == SgSkinWeight::kEnd;
    if (single && !all && !h->bone->skinFlag)
        return false;
    static constexpr SgVec3 kZero;
    float p[3] = {}, n[3] = {};
    for (const SgSkinWeight* w = h; w; w = Next(w)) {
        // One influence takes its bone whole: the weight is not applied.
        if (!w->bone)
            continue;
        float weight = single ? 1.0f : w->weight;
        const float* k = w->bone->skinRotation.m;
        AddTransformed(k, w->offset, w->bone->skinTranslation, weight, p);
        if (modelNormal)
            AddTransformed(k, *modelNormal, kZero, weight, n);
    }
    position = {p[0], p[1], p[2]};
    if (normal && modelNormal)
        *normal = Normalized(n);
    return true;
}

void SgSkinData::ModelPosition(SgVec3* positions, uint32_t i) const {
    const SgSkinWeight* h = Head(i);
    if (!h)
        return;
    SgVec3 p;
    for (const SgSkinWeight* w = h; w; w = Next(w))
        if (w->bone)
            p = p + ((w->bone->boneRotation * w->offset) * w->bone->boneScale + w->bone->boneTranslation) * w->weight;
    positions[i] = p;
}

bool SgSkinData::BoundFromBones(SgBoundSphere& out) const {
    if (bones_.empty())
        return false;
    for (size_t i = 0; i < bones_.size(); ++i) {
        const Sg3dsBone* B = bones_[i].bone;
        SgBoundSphere moved;
        moved.TransformBy(bones_[i].bound, B->boneRotation, B->boneTranslation, B->boneScale);
        if (i == 0)
            out.Copy(moved);
        else
            out.Enclose(moved);
    }
    return true;
}

void SgSkinData::RetargetToCopies() {
    auto copyOf = [](Sg3dsBone* bone) {
        Sg3dsBone* copy = bone ? SgKindCast<Sg3dsBone>(bone->FindCloneRecord()) : nullptr;
        return copy ? copy : bone;
    };
    for (SgSkinBone& entry : bones_)
        entry.bone = copyOf(entry.bone);
    for (SgSkinWeight& w : heads_)
        w.bone = copyOf(w.bone);
    for (SgSkinWeight& w : pool_)
        w.bone = copyOf(w.bone);
}

int SgSkinData::CompareInfluences(uint32_t a, uint32_t b) const {
    const SgSkinWeight *x = Head(a), *y = Head(b);
    for (; x && y; x = Next(x), y = Next(y)) {
        uint32_t sx = x->bone ? x->bone->serial : 0, sy = y->bone ? y->bone->serial : 0;
        if (sx != sy)
            return sx < sy ? -1 : 1;
        if (int r = CompareBytes(&x->offset, &y->offset, sizeof(SgVec3)))
            return r;
        if (int r = CompareBytes(&x->weight, &y->weight, sizeof(float)))
            return r;
    }
    return x ? 1 : y ? -1 : 0;
}

void SgSkinData::RemapVertices(uint32_t newCount, const uint32_t* map) {
    if (!HasWeights())
        return;
    std::vector<std::vector<SgSkinWeight>> old = Lists(), lists(newCount);
    for (uint32_t v = 0; v < old.size(); ++v)
        if (map[v] < newCount)
            lists[map[v]] = old[v];
    SetLists(lists);
    map_.reset();
}

// ---- Stream ----

namespace {

bool LoadList(SgSceneStream& s, std::vector<SgSkinWeight>& list) {
    uint16_t n = s.ReadU16();
    if (!s.CheckCount(n, 20))
        return false;
    for (uint32_t i = 0; i < n; ++i) {
        SgSkinWeight w;
        w.weight = s.ReadF32();
        w.offset.LoadFromStream(s);
        w.linkId = s.ReadU32();
        list.push_back(w);
    }
    return s.ReadOk();
}

}  // namespace

bool SgSkinData::LoadVertex(SgSceneStream& s, uint32_t v) {
    if (v >= heads_.size())
        return false;
    std::vector<std::vector<SgSkinWeight>> lists = Lists();
    lists[v].clear();
    if (!LoadList(s, lists[v]))
        return false;
    SetLists(lists);
    return true;
}

bool SgSkinData::LoadFromStream(SgSceneStream& s, uint32_t vertexCount) {
    recomputeNormals = s.ReadU8();
    uint8_t hasWeights = s.ReadU8();
    heads_.clear();
    pool_.clear();
    bones_.clear();
    map_.reset();
    if (!s.ReadOk())
        return false;
    if (!hasWeights)
        return true;
    if (!s.CheckCount(vertexCount, 2))
        return false;
    std::vector<std::vector<SgSkinWeight>> lists(vertexCount);
    for (uint32_t v = 0; v < vertexCount; ++v)
        if (!LoadList(s, lists[v]))
            return false;
    SetLists(lists);
    return s.ReadOk();
}

void SgSkinData::LinkFromStream(SgSceneStream& s) {
    if (!HasWeights())
        return;
    // An id that names no bone drops its influence: the skinned transform reads every bone.
    std::vector<std::vector<SgSkinWeight>> lists = Lists();
    for (auto& list : lists) {
        std::vector<SgSkinWeight> kept;
        for (SgSkinWeight w : list) {
            w.bone = s.Resolve<Sg3dsBone>(w.linkId);
            if (w.bone)
                kept.push_back(w);
        }
        list = std::move(kept);
    }
    SetLists(lists);
    BuildBones();
    OnChanged();
}

bool SgSkinData::RegisterInStream(SgSceneStream& s) {
    // A bone already entered (the skeleton saved before its skin) is no failure.
    for (const SgSkinBone& entry : bones_)
        if (entry.bone)
            entry.bone->RegisterInStream(s);
    return true;
}

void SgSkinData::SaveToStream(SgSceneStream& s) const {
    s.WriteU8(recomputeNormals);
    s.WriteU8(HasWeights() ? 1 : 0);
    if (!HasWeights())
        return;
    for (uint32_t v = 0; v < heads_.size(); ++v) {
        s.WriteU16(static_cast<uint16_t>(InfluenceCount(v)));
        for (const SgSkinWeight* w = Head(v); w; w = Next(w)) {
            s.WriteF32(w->weight);
            w->offset.SaveToStream(s);
            s.WriteLinkId(w->bone);
        }
    }
}

bool SgSkinData::IsEqualTo(const SgSkinData& o) const {
    if (recomputeNormals != o.recomputeNormals || HasWeights() != o.HasWeights() ||
        heads_.size() != o.heads_.size())
        return false;
    for (uint32_t v = 0; v < heads_.size(); ++v) {
        const SgSkinWeight *x = Head(v), *y = o.Head(v);
        for (; x && y; x = Next(x), y = o.Next(y))
            if (x->weight != y->weight || !x->offset.IsEqualTo(y->offset))
                return false;
        if (x || y)
            return false;
    }
    return true;
}
