// Coincident cut vertices on a hole's border, and the two-edge loops they
// leave; see plane_hole_loops.h.

#include "mesh/plane_hole_loops.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>

#include "mesh/mesh.h"

namespace qel {

void rootCoincidentCutVertices(const Mesh& mesh, const std::vector<int>& made, std::vector<int>& root) {
    std::vector<int> border;
    for (const int v : made)
        if (mesh.activeVertex(v) && mesh.vertices[std::size_t(v)].isBorder() && std::size_t(v) < root.size())
            border.push_back(v);
    auto before = [&](int a, int b) {
        const vec3 &p = mesh.vertices[std::size_t(a)].position, &q = mesh.vertices[std::size_t(b)].position;
        if (p.x != q.x) return p.x < q.x;
        if (p.y != q.y) return p.y < q.y;
        if (p.z != q.z) return p.z < q.z;
        return a < b;
    };
    std::sort(border.begin(), border.end(), before);
    auto rootOf = [&](int v) { return root[std::size_t(v)]; };
    int f = -1, k = -1;
    for (std::size_t i = 0, j = 0; i < border.size(); i = j) {
        const vec3& p = mesh.vertices[std::size_t(border[i])].position;
        for (j = i + 1; j < border.size() && mesh.vertices[std::size_t(border[j])].position == p; ++j) {
            // An edge of no length between them (one the cut's weld could
            // not collapse) would fold a face onto a line when they merge.
            bool joined = false;
            for (std::size_t o = i; o < j && !joined; ++o)
                joined = rootOf(border[o]) != rootOf(border[j]) &&
                         (mesh.findEdge(border[o], border[j], f, k) || mesh.findEdge(border[j], border[o], f, k));
            if (!joined) root[std::size_t(border[j])] = rootOf(border[i]);
        }
    }
}

namespace {

// The faces of u's fan that holds face f, walked both ways round u across
// active links, and the vertices they join u to; both sorted, no repeats.
void fanAround(const Mesh& m, int u, int f, std::vector<int>& fan, std::vector<int>& ring) {
    fan.clear();
    ring.clear();
    for (int way = 0; way < 2; ++way) {
        int g = f;
        for (std::size_t step = 0; step <= m.faces.size(); ++step) {
            const MeshFace& G = m.faces[std::size_t(g)];
            const int c = G.corner(u);
            if (c < 0) break;
            fan.push_back(g);
            ring.push_back(G.v[nextK(c)]);
            ring.push_back(G.v[prevK(c)]);
            const int h = G.f[way == 0 ? prevK(c) : nextK(c)];
            if (!m.activeFace(h) || h == f) break;
            g = h;
        }
    }
    for (std::vector<int>* list : {&fan, &ring}) {
        std::sort(list->begin(), list->end());
        list->erase(std::unique(list->begin(), list->end()), list->end());
    }
}

}  // namespace

bool mergeKeepsFans(const Mesh& mesh, int into, int intoFace, int from, int fromFace, int shared) {
    if (into == from || !mesh.activeFace(intoFace) || !mesh.activeFace(fromFace)) return false;
    std::vector<int> fanInto, ringInto, fanFrom, ringFrom, common;
    fanAround(mesh, into, intoFace, fanInto, ringInto);
    fanAround(mesh, from, fromFace, fanFrom, ringFrom);
    if (fanInto.empty() || fanFrom.empty()) return false;
    std::set_intersection(fanInto.begin(), fanInto.end(), fanFrom.begin(), fanFrom.end(), std::back_inserter(common));
    if (!common.empty()) return false;
    if (std::binary_search(ringInto.begin(), ringInto.end(), from) ||
        std::binary_search(ringFrom.begin(), ringFrom.end(), into))
        return false;
    std::set_intersection(ringInto.begin(), ringInto.end(), ringFrom.begin(), ringFrom.end(),
                          std::back_inserter(common));
    return common.empty() || (common.size() == 1 && common[0] == shared);
}

bool joinOpenEdgePair(Mesh& mesh, int h0, int h1) {
    const int f0 = h0 / 3, k0 = h0 % 3, f1 = h1 / 3, k1 = h1 % 3;
    if (f0 == f1 || !mesh.activeFace(f0) || !mesh.activeFace(f1)) return false;
    MeshFace &F0 = mesh.faces[std::size_t(f0)], &F1 = mesh.faces[std::size_t(f1)];
    const int a = F0.v[nextK(k0)], b = F0.v[prevK(k0)];
    if (mesh.activeFace(F0.f[k0]) || mesh.activeFace(F1.f[k1]) || F1.v[nextK(k1)] != b || F1.v[prevK(k1)] != a)
        return false;
    F0.f[k0] = f1;
    F1.f[k1] = f0;
    F0.setSharp(k0, true);
    F1.setSharp(k1, true);
    for (const int u : {a, b}) {
        MeshVertex& r = mesh.vertices[std::size_t(u)];
        r.flags = std::uint8_t(r.flags | MeshVertex::SharpBit);
        mesh.vertexUpdate(u);
    }
    return true;
}

}  // namespace qel
