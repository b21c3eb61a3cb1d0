#include "tools/writers/clod_builder.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <queue>
#include <set>
#include <tuple>

namespace {

constexpr int kNo = -1;
constexpr uint8_t kNext[3] = {1, 2, 0};
constexpr uint8_t kPrev[3] = {2, 0, 1};

// A vertex with one set of corner attributes; several wedges of one node make a seam.
struct Wedge {
    int node;
    SgVec3 uv;
    SgRgba color;
};

struct Node {
    SgVec3 position;
    bool alive = true;
    std::vector<int> triangles;  // may hold dead or moved-away entries
};

struct Tri {
    int w[3];
    int adj[3];  // across the edge opposite each corner
    bool alive = true;
};

// One collapse, remembered for writing it out as a split.
struct Collapse {
    int parent, u, v;
    int a, b;
    int t[4];
    uint16_t flags;
    std::vector<int> made;  // the wedges the split makes, in the engine's order
};


float Distance(const SgVec3& a, const SgVec3& b) { return (a - b).Length(); }

class Builder {
public:
    Builder(const ClodInputMesh& in, const ClodBuildOptions& options) : in_(in), options_(options) {}

    bool Run(ClodBuilt& out, std::string& error);

private:
    int NodeOf(int t, int k) const { return wedges_[tris_[t].w[k]].node; }
    int CornerOf(int t, int node) const {
        for (int k = 0; k < 3; ++k)
            if (NodeOf(t, k) == node)
                return k;
        return -1;
    }
    std::vector<int> AliveTriangles(int node) const {
        std::vector<int> out;
        for (int t : nodes_[node].triangles)
            if (tris_[t].alive && CornerOf(t, node) >= 0 &&
                std::find(out.begin(), out.end(), t) == out.end())
                out.push_back(t);
        return out;
    }
    bool IsBorder(int node) const {
        for (int t : AliveTriangles(node)) {
            int k = CornerOf(t, node);
            if (tris_[t].adj[kNext[k]] == kNo || tris_[t].adj[kPrev[k]] == kNo)
                return true;
        }
        return false;
    }
    std::set<int> Neighbours(int node) const {
        std::set<int> out;
        for (int t : AliveTriangles(node))
            for (int k = 0; k < 3; ++k)
                if (NodeOf(t, k) != node)
                    out.insert(NodeOf(t, k));
        return out;
    }
    // Walks the fan of node from t across the edges dir names until far or an open edge.
    template <class F>
    bool Walk(int t, int far, int node, const uint8_t* dir, F&& visit) const {
        size_t visits = 0;
        while (t != kNo) {
            int k = CornerOf(t, node);
            if (k < 0 || ++visits > tris_.size())
                return false;
            visit(t, k);
            if (t == far)
                return false;
            t = tris_[t].adj[dir[k]];
        }
        return true;
    }
    void PushEdges(int node);
    bool TryCollapse(int x, int y, int kept);

    const ClodInputMesh& in_;
    ClodBuildOptions options_;
    std::vector<Wedge> wedges_;
    std::vector<Node> nodes_;
    std::vector<Tri> tris_;
    std::vector<Collapse> collapses_;
    uint32_t aliveTriangles_ = 0;
    using Entry = std::tuple<float, int, int>;
    std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> queue_;
};

void Builder::PushEdges(int node) {
    for (int n : Neighbours(node)) {
        int a = std::min(node, n), b = std::max(node, n);
        queue_.emplace(Distance(nodes_[a].position, nodes_[b].position), a, b);
    }
}

// Collapses the edge x-y into a new node at the kept end's place, if that is allowed.
bool Builder::TryCollapse(int x, int y, int kept) {
    // The triangles on the edge: A runs v -> u, B (when present) u -> v.
    std::vector<int> onEdge;
    for (int t : AliveTriangles(x))
        if (CornerOf(t, y) >= 0)
            onEdge.push_back(t);
    if (onEdge.empty() || onEdge.size() > 2)
        return false;
    auto runs = [&](int t, int from, int to) { return NodeOf(t, kNext[CornerOf(t, from)]) == to; };
    int u = x, v = y;
    if (!runs(onEdge[0], v, u))
        std::swap(u, v);
    int A = onEdge[0], B = kNo;
    if (onEdge.size() == 2) {
        B = onEdge[1];
        if (!runs(B, u, v))
            return false;  // both triangles run the same way: not oriented
    }
    const Tri& ta = tris_[A];
    int W = NodeOf(A, kNext[CornerOf(A, u)]);
    int t[4] = {ta.adj[CornerOf(A, v)], ta.adj[CornerOf(A, u)], kNo, kNo};
    int V = kNo;
    if (B != kNo) {
        V = NodeOf(B, kPrev[CornerOf(B, u)]);
        t[2] = tris_[B].adj[CornerOf(B, v)];
        t[3] = tris_[B].adj[CornerOf(B, u)];
        if (t[2] == kNo && t[3] == kNo)
            return false;
    }
    if ((t[0] == kNo && t[1] == kNo) || (t[0] == kNo && t[2] == kNo) || (t[1] == kNo && t[3] == kNo))
        return false;

    // Manifold: the ends share exactly the wing vertices, and a border vertex only moves along
    // its border.
    std::set<int> common;
    std::set<int> nu = Neighbours(u), nv = Neighbours(v);
    std::set_intersection(nu.begin(), nu.end(), nv.begin(), nv.end(), std::inserter(common, common.end()));
    std::set<int> wings = {W};
    if (V != kNo)
        wings.insert(V);
    if (common != wings)
        return false;
    int moved = kept == u ? v : u;
    if (B != kNo && (IsBorder(moved) || (IsBorder(u) && IsBorder(v))))
        return false;

    // Each side's fan, walked as the engine walks it, must hold every other triangle of its end.
    std::vector<int> fan[2];
    for (int side = 0; side < 2; ++side) {
        int end = side ? v : u, from = t[side], to = t[side + 2];
        auto collect = [&](int tri, int) { fan[side].push_back(tri); };
        if (Walk(from, to, end, side ? kNext : kPrev, collect) && to != kNo)
            Walk(to, kNo, end, side ? kPrev : kNext, collect);
        std::vector<int> all = AliveTriangles(end);
        size_t others = all.size() - 1 - (B != kNo ? 1 : 0);
        std::vector<int> sorted = fan[side];
        std::sort(sorted.begin(), sorted.end());
        if (std::adjacent_find(sorted.begin(), sorted.end()) != sorted.end() || sorted.size() != others)
            return false;
    }

    // No triangle of the moved end may fold over or collapse.
    const SgVec3& to = nodes_[kept].position;
    for (int tri : fan[moved == u ? 0 : 1]) {
        SgVec3 p[3], q[3];
        for (int k = 0; k < 3; ++k) {
            p[k] = nodes_[NodeOf(tri, k)].position;
            q[k] = NodeOf(tri, k) == moved ? to : p[k];
        }
        SgVec3 before = (p[1] - p[0]).Cross(p[2] - p[0]);
        SgVec3 after = (q[1] - q[0]).Cross(q[2] - q[0]);
        float lb = before.Length(), la = after.Length();
        if (la < 1e-6f * std::max(1.0f, lb) || before.Dot(after) < 0.25f * lb * la)
            return false;
    }

    // Wedges: the ends' wedges pair up through A and B; the moved end may have no other.
    auto wedgeAt = [&](int tri, int node) { return tris_[tri].w[CornerOf(tri, node)]; };
    int uA = wedgeAt(A, u), vA = wedgeAt(A, v);
    int uB = B != kNo ? wedgeAt(B, u) : kNo, vB = B != kNo ? wedgeAt(B, v) : kNo;
    if (B != kNo && ((uA == uB) != (vA == vB)))
        return false;
    std::map<int, int> partner;  // wedge of one end -> wedge of the other
    partner[uA] = vA;
    partner[vA] = uA;
    if (B != kNo) {
        partner[uB] = vB;
        partner[vB] = uB;
    }
    int parent = static_cast<int>(nodes_.size());
    std::map<int, int> parentOf;  // kept-end wedge -> parent wedge
    std::vector<Wedge> newWedges;
    auto parentWedge = [&](int fine) {
        int keptWedge = fine;
        if (wedges_[fine].node != kept) {
            auto it = partner.find(fine);
            if (it == partner.end())
                return kNo;
            keptWedge = it->second;
        }
        auto it = parentOf.find(keptWedge);
        if (it != parentOf.end())
            return it->second;
        int made = static_cast<int>(wedges_.size() + newWedges.size());
        Wedge w = wedges_[keptWedge];
        w.node = parent;
        newWedges.push_back(w);
        parentOf[keptWedge] = made;
        return made;
    };

    // The runs of parent wedges around each fan become the child and its seam copies; a parent
    // wedge met in two separate runs would make two copies of one wedge.
    Collapse c{parent, u, v, A, B, {t[0], t[1], t[2], t[3]}, 0, {}};
    std::vector<std::pair<int, int>> rewrite;  // (triangle corner index, parent wedge)
    for (int side = 0; side < 2; ++side) {
        int end = side ? v : u, from = t[side], to2 = t[side + 2];
        int start = from != kNo ? from : to2;
        int P = parentWedge(wedgeAt(start, end));
        int Q = wedgeAt(start, end);
        if (P == kNo)
            return false;
        c.made.push_back(Q);
        std::set<int> copied;
        std::map<int, int> childOf = {{P, Q}};
        bool ok = true;
        auto visit = [&, last = kNo](int tri, int k) mutable {
            int fine = tris_[tri].w[k];
            int pw = parentWedge(fine);
            if (pw == kNo) {
                ok = false;
                return;
            }
            rewrite.emplace_back(3 * tri + k, pw);
            if (pw != last && pw != P) {
                if (!copied.insert(pw).second)
                    ok = false;
                c.made.push_back(fine);
            }
            auto known = childOf.emplace(pw, fine);
            if (known.first->second != fine)
                ok = false;
            last = pw;
        };
        auto first = visit;
        if (Walk(from, to2, end, side ? kNext : kPrev, first) && to2 != kNo) {
            auto second = visit;
            Walk(to2, kNo, end, side ? kPrev : kNext, second);
        }
        if (!ok)
            return false;
    }

    // Corners of A and B: taken from a neighbour's corner when the wedge is the same there,
    // else a new vertex, which must then be a wedge no remaining triangle uses.
    auto usedElsewhere = [&](int wedge) {
        for (int tri : AliveTriangles(wedges_[wedge].node))
            if (tri != A && tri != B && CornerOf(tri, wedges_[wedge].node) >= 0 &&
                tris_[tri].w[CornerOf(tri, wedges_[wedge].node)] == wedge)
                return true;
        return false;
    };
    auto cornerW = [&](int j, int node, int offset) {
        if (t[j] == kNo)
            return kNo;
        return tris_[t[j]].w[(CornerOf(t[j], node) + offset + 3) % 3];
    };
    uint16_t f = 0;
    std::vector<int> fresh;
    auto makeNew = [&](int wedge) {
        if (usedElsewhere(wedge))
            return false;
        fresh.push_back(wedge);
        return true;
    };
    int a0 = ta.w[CornerOf(A, W)], a1 = vA, a2 = uA;
    bool ok = true;
    if (a0 == cornerW(0, u, -1))
        f |= 1;
    else if (a0 == cornerW(1, v, 1))
        f |= 2;
    else
        ok = ok && makeNew(a0);
    if (a1 == cornerW(1, v, 0))
        f |= 32;
    else if (B != kNo && a1 == cornerW(3, v, 0) && vB == a1)
        f |= 192;
    else
        ok = ok && makeNew(a1);
    if (a2 == cornerW(0, u, 0))
        f |= 4;
    else if (B != kNo && a2 == cornerW(2, u, 0) && uB == a2)
        f |= 24;
    else
        ok = ok && makeNew(a2);
    if (B != kNo) {
        int b0 = tris_[B].w[CornerOf(B, V)];
        if (b0 == cornerW(2, u, 1))
            f |= 0x100;
        else if (b0 == cornerW(3, v, -1))
            f |= 0x200;
        else
            ok = ok && makeNew(b0);
        if (uB == a2)
            f |= 8;
        else if (uB == cornerW(2, u, 0))
            f |= 16;
        else
            ok = ok && makeNew(uB);
        if (vB == a1)
            f |= 64;
        else if (vB == cornerW(3, v, 0))
            f |= 128;
        else
            ok = ok && makeNew(vB);
    }
    if (!ok)
        return false;
    c.made.insert(c.made.end(), fresh.begin(), fresh.end());
    if (c.made.size() < 2 || c.made.size() - 2 > 63)
        return false;
    c.flags = static_cast<uint16_t>(f | ((c.made.size() - 2) << 10));

    // Collapse.
    wedges_.insert(wedges_.end(), newWedges.begin(), newWedges.end());
    Node p;
    p.position = nodes_[kept].position;
    for (auto [corner, pw] : rewrite)
        tris_[corner / 3].w[corner % 3] = pw;
    for (int side = 0; side < 2; ++side)
        p.triangles.insert(p.triangles.end(), fan[side].begin(), fan[side].end());
    nodes_.push_back(std::move(p));
    nodes_[u].alive = nodes_[v].alive = false;
    // A fan of one triangle touches both A and B: each neighbour swaps only the edge it shared.
    auto link = [&](int from, int removed, int to) {
        if (from == kNo)
            return;
        for (int& n : tris_[from].adj)
            if (n == removed)
                n = to;
    };
    link(t[0], A, t[1]);
    link(t[1], A, t[0]);
    link(t[2], B, t[3]);
    link(t[3], B, t[2]);
    tris_[A].alive = false;
    aliveTriangles_ -= 1;
    if (B != kNo) {
        tris_[B].alive = false;
        aliveTriangles_ -= 1;
    }
    collapses_.push_back(std::move(c));
    PushEdges(parent);
    for (int n : Neighbours(parent))
        PushEdges(n);
    return true;
}

bool Builder::Run(ClodBuilt& out, std::string& error) {
    size_t nv = in_.positions.size(), nt = in_.triangles.size() / 3;
    bool hasUv = !in_.cornerTexture.empty(), hasColor = !in_.cornerColors.empty();
    if (in_.triangles.size() % 3 || nt == 0 || nt > 0xFFFF || nv > 0xFFFF ||
        (hasUv && in_.cornerTexture.size() != 3 * nt) || (hasColor && in_.cornerColors.size() != 3 * nt)) {
        error = "the mesh's counts do not fit";
        return false;
    }
    for (size_t i = 0; i < nv; ++i)
        nodes_.push_back(Node{in_.positions[i], true, {}});
    // Weld corners into wedges by vertex and attributes.
    std::map<std::tuple<int, float, float, float, float, float, float, float>, int> index;
    for (size_t e = 0; e < 3 * nt; ++e) {
        if (in_.triangles[e] >= nv) {
            error = "a corner names no vertex";
            return false;
        }
        Wedge w{in_.triangles[e], hasUv ? in_.cornerTexture[e] : SgVec3(),
                hasColor ? in_.cornerColors[e] : SgRgba()};
        auto key = std::make_tuple(w.node, w.uv.x, w.uv.y, w.uv.z, w.color.r, w.color.g, w.color.b, w.color.a);
        auto it = index.emplace(key, static_cast<int>(wedges_.size()));
        if (it.second)
            wedges_.push_back(w);
        if (e % 3 == 0)
            tris_.push_back(Tri{{0, 0, 0}, {kNo, kNo, kNo}, true});
        tris_.back().w[e % 3] = it.first->second;
    }
    std::map<std::pair<int, int>, std::vector<std::pair<int, int>>> edges;
    for (size_t i = 0; i < nt; ++i) {
        for (int k = 0; k < 3; ++k) {
            nodes_[NodeOf(static_cast<int>(i), k)].triangles.push_back(static_cast<int>(i));
            int a = NodeOf(static_cast<int>(i), kNext[k]), b = NodeOf(static_cast<int>(i), kPrev[k]);
            if (a == b) {
                error = "a triangle repeats a vertex";
                return false;
            }
            edges[{std::min(a, b), std::max(a, b)}].emplace_back(static_cast<int>(i), k);
        }
    }
    for (auto& [edge, users] : edges) {
        if (users.size() > 2) {
            error = "an edge has more than two triangles";
            return false;
        }
        if (users.size() == 2) {
            tris_[users[0].first].adj[users[0].second] = users[1].first;
            tris_[users[1].first].adj[users[1].second] = users[0].first;
        }
    }
    aliveTriangles_ = static_cast<uint32_t>(nt);
    for (size_t i = 0; i < nv; ++i)
        PushEdges(static_cast<int>(i));

    while (aliveTriangles_ > options_.minTriangles && !queue_.empty()) {
        auto [length, a, b] = queue_.top();
        queue_.pop();
        if (!nodes_[a].alive || !nodes_[b].alive || length != Distance(nodes_[a].position, nodes_[b].position))
            continue;
        if (!TryCollapse(a, b, a))
            TryCollapse(a, b, b);
    }

    // Write out: the base, then the collapses in reverse as splits.
    std::vector<int> meshIndex(wedges_.size(), kNo), nodeId(nodes_.size(), kNo), triIndex(tris_.size(), kNo);
    out = ClodBuilt();
    auto addVertex = [&](int w) {
        meshIndex[w] = static_cast<int>(out.positions.size());
        out.positions.push_back(nodes_[wedges_[w].node].position);
        if (hasUv)
            out.textureCoords.push_back(wedges_[w].uv);
        if (hasColor)
            out.colors.push_back(wedges_[w].color);
    };
    uint32_t triangles = 0, ids = 0;
    for (size_t i = 0; i < tris_.size(); ++i) {
        if (!tris_[i].alive)
            continue;
        triIndex[i] = static_cast<int>(triangles++);
        for (int k = 0; k < 3; ++k) {
            int w = tris_[i].w[k];
            if (meshIndex[w] == kNo) {
                addVertex(w);
                int node = wedges_[w].node;
                if (nodeId[node] == kNo)
                    nodeId[node] = static_cast<int>(ids++);
                out.baseIds.push_back(static_cast<uint16_t>(nodeId[node]));
            }
            out.baseCorners.push_back(static_cast<uint16_t>(meshIndex[w]));
        }
    }
    for (size_t i = 0; i < tris_.size(); ++i)
        if (tris_[i].alive)
            for (int n : tris_[i].adj)
                out.baseAdjacency.push_back(n == kNo ? 0xFFFF : static_cast<uint16_t>(triIndex[n]));
    out.nextId = static_cast<uint16_t>(ids);
    for (auto c = collapses_.rbegin(); c != collapses_.rend(); ++c) {
        SgClodStep step;
        step.vertexId = static_cast<uint16_t>(nodeId[c->parent]);
        nodeId[c->u] = static_cast<int>(ids++);
        nodeId[c->v] = static_cast<int>(ids++);
        for (int j = 0; j < 4; ++j)
            step.neighbours[j] = c->t[j] == kNo ? 0xFFFF : static_cast<uint16_t>(triIndex[c->t[j]]);
        step.flags = c->flags;
        triIndex[c->a] = static_cast<int>(triangles++);
        if (c->b != kNo)
            triIndex[c->b] = static_cast<int>(triangles++);
        for (int w : c->made)
            addVertex(w);
        out.steps.push_back(step);
    }
    if (out.positions.size() > 0xFFFF || ids > 0xFFFF || out.steps.size() > 0xFFFF) {
        error = "the levels do not fit 16-bit counts";
        return false;
    }
    out.fullTriangleCount = static_cast<uint16_t>(triangles);
    return true;
}

}  // namespace

SgClodSource ClodBuilt::Source() const {
    SgClodSource s;
    s.vertexCount = static_cast<uint16_t>(positions.size());
    s.positions = positions.data();
    s.textureCoords = textureCoords.empty() ? nullptr : textureCoords.data();
    s.colors = colors.empty() ? nullptr : colors.data();
    s.fullTriangleCount = fullTriangleCount;
    s.nextId = nextId;
    s.baseVertexCount = static_cast<uint16_t>(baseIds.size());
    s.baseIds = baseIds.data();
    s.baseTriangleCount = static_cast<uint16_t>(baseCorners.size() / 3);
    s.baseCorners = baseCorners.data();
    s.baseAdjacency = baseAdjacency.data();
    s.stepCount = static_cast<uint16_t>(steps.size());
    s.steps = steps.data();
    return s;
}

bool BuildClod(const ClodInputMesh& input, const ClodBuildOptions& options, ClodBuilt& out, std::string* error) {
    Builder builder(input, options);
    std::string reason;
    bool ok = builder.Run(out, reason);
    if (!ok && error)
        *error = reason;
    return ok;
}

SgRef<SgClod> MakeClod(const ClodBuilt& built) {
    SgRef<SgClod> clod(new SgClod);
    if (!clod->SetMesh(built.Source()))
        return {};
    return clod;
}

SgRef<SgClodSkin> MakeClodSkin(const ClodInputMesh& input, const char* name,
                               const std::function<std::vector<SgSkinInfluence>(const SgVec3&)>& influences) {
    ClodBuilt built;
    if (!BuildClod(input, {}, built, nullptr))
        return {};
    SgRef<SgClodSkin> skin(new SgClodSkin);
    if (!skin->SetMesh(built.Source()))
        return {};
    skin->AssignName(name);
    skin->ComputeVertexNormals();
    std::vector<std::vector<SgSkinInfluence>> lists(skin->VertexCount());
    for (uint32_t m = 0; m < skin->VertexCount(); ++m)
        lists[m] = influences(skin->Vertices()[m]);
    skin->SetWeights(lists);
    return skin;
}

ClodInputMesh GridMesh(uint32_t columns, uint32_t rows, float size) {
    ClodInputMesh m;
    for (uint32_t y = 0; y <= rows; ++y)
        for (uint32_t x = 0; x <= columns; ++x)
            m.positions.push_back({size * x / columns, size * y / rows, 0.0f});
    auto at = [&](uint32_t x, uint32_t y) { return static_cast<uint16_t>(y * (columns + 1) + x); };
    auto corner = [&](uint32_t x, uint32_t y) {
        m.triangles.push_back(at(x, y));
        m.cornerTexture.push_back({float(x) / columns, float(y) / rows, 0.0f});
    };
    for (uint32_t y = 0; y < rows; ++y)
        for (uint32_t x = 0; x < columns; ++x) {
            corner(x, y), corner(x + 1, y), corner(x + 1, y + 1);
            corner(x, y), corner(x + 1, y + 1), corner(x, y + 1);
        }
    return m;
}

ClodInputMesh TubeMesh(uint32_t around, uint32_t along, float radius, float length) {
    ClodInputMesh m;
    const double kTwoPi = 6.283185307179586;
    for (uint32_t z = 0; z <= along; ++z)
        for (uint32_t a = 0; a < around; ++a) {
            double angle = kTwoPi * a / around;
            m.positions.push_back({static_cast<float>(radius * std::cos(angle)),
                                   static_cast<float>(radius * std::sin(angle)), length * z / along});
        }
    auto corner = [&](uint32_t a, uint32_t z) {
        m.triangles.push_back(static_cast<uint16_t>(z * around + a % around));
        // Texture u runs once round; the closing column takes u = 1, not 0: the seam.
        m.cornerTexture.push_back({float(a) / around, float(z) / along, 0.0f});
        float shade = 0.6f + 0.4f * float(z) / along;
        m.cornerColors.push_back({shade, shade, 1.0f, 1.0f});
    };
    for (uint32_t z = 0; z < along; ++z)
        for (uint32_t a = 0; a < around; ++a) {
            corner(a, z), corner(a + 1, z), corner(a + 1, z + 1);
            corner(a, z), corner(a + 1, z + 1), corner(a, z + 1);
        }
    return m;
}
