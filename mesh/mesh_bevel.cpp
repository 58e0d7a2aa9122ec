// The first step of the bevel stroke of qel::Mesh: every patch is torn off
// along its rim, and the gaps are bridged at once by faces of zero width,
// a strip of two triangles along every former sharp edge and a fan in every
// former corner. The following extrusion of every patch along its own normal
// opens them into the bevel.
//
// Orientation: a sharp edge a -> b of face f (b -> a in its neighbour g)
// leaves the copies a_f, b_f on f's side and a_g, b_g on g's side; its strip
// runs (b_f, a_f, a_g) and (b_f, a_g, b_g), so that it crosses f's edge and
// g's edge the other way. Round a corner the copies are taken in the order
// of its fan (counter-clockwise seen from the front), one per sharp-bounded
// sector, which the strips' end edges meet the other way. Every open edge of
// the new faces is then linked to the one edge running the other way among
// the new faces and the torn edges: across the torn edges and the corner
// fans the links are sharp, between two strips meeting at a crease they are
// smooth.

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "mesh/mesh.h"

namespace qel {

namespace {

// A sharp edge with a face on either side: edge k of f, edge kg of g.
struct SharpEdge {
    int f, k, g, kg;
};

// Sharp edges once each, from the face of lower index.
std::vector<SharpEdge> sharpEdges(const Mesh& m) {
    std::vector<SharpEdge> out;
    for (int f = 0; f < m.faceCount(); ++f) {
        const MeshFace& F = m.faces[f];
        if (!F.isActive()) continue;
        for (int k = 0; k < 3; ++k) {
            const int g = F.f[k];
            if (!F.isSharp(k) || g <= f || !m.activeFace(g)) continue;
            const MeshFace& G = m.faces[g];
            const int kg = G.edgeTo(f);
            if (kg >= 0 && G.v[nextK(kg)] == F.v[prevK(k)] && G.v[prevK(kg)] == F.v[nextK(k)])
                out.push_back({f, k, g, kg});
        }
    }
    return out;
}

// The corners: for every sharp vertex of a closed fan met by three or more
// sharp edges, the first face of each sharp-bounded sector and the vertex's
// corner in it, in fan order. Flat pairs (face, corner); `ends` holds the
// end of each corner's run.
void cornerSectors(const Mesh& m, std::vector<int>& pairs, std::vector<std::size_t>& ends) {
    std::vector<int> ring, ringFaces, crossings;
    for (int v = 0; v < m.vertexCount(); ++v) {
        const MeshVertex& r = m.vertices[v];
        if (!r.isActive() || !r.isSharp() || r.isBorder()) continue;
        if (m.findNeighbours(v, ring, ringFaces, crossings) == 0 || crossings.size() < 3) continue;
        const std::size_t begin = pairs.size();
        for (const int f : ringFaces) {
            const int s = m.findStartRegion(v, f);
            if (s < 0 || (pairs.size() > begin && pairs[pairs.size() - 2] == s)) continue;
            pairs.push_back(s);
            pairs.push_back(m.faces[s].corner(v));
        }
        // The ring may begin inside a sector: its start is then listed twice.
        if (pairs.size() > begin + 2 && pairs[begin] == pairs[pairs.size() - 2]) pairs.resize(pairs.size() - 2);
        ends.push_back(pairs.size());
    }
}

// Some vertex appears twice on the polygon.
bool repeats(const std::vector<int>& polygon) {
    for (std::size_t i = 0; i < polygon.size(); ++i)
        for (std::size_t j = i + 1; j < polygon.size(); ++j)
            if (polygon[i] == polygon[j]) return true;
    return false;
}

std::uint64_t edgeKey(int from, int to) { return (std::uint64_t(std::uint32_t(from)) << 32) | std::uint32_t(to); }

// Adds the face (a, b, c) painted with the material unless two corners are
// one vertex.
void addBridge(Mesh& m, int a, int b, int c, const pbr& material) {
    if (a == b || b == c || c == a) return;
    const int f = m.faceAdd(a, b, c);
    m.faces[f].setMaterial(material, material, material, pbr::MaskAll);
}

// Links every open edge of the faces from `first` on to the edge running
// the other way among them and the listed torn edges (face, edge pairs),
// sharp on both sides unless both faces are new and not marked sharp.
void linkBridges(Mesh& m, int first, const std::vector<int>& torn) {
    std::unordered_map<std::uint64_t, std::int64_t> open;
    auto enter = [&](int f, int e) {
        const MeshFace& F = m.faces[f];
        if (F.f[e] < 0) open.emplace(edgeKey(F.v[nextK(e)], F.v[prevK(e)]), std::int64_t(f) * 3 + e);
    };
    for (std::size_t i = 0; i + 1 < torn.size(); i += 2) enter(torn[i], torn[i + 1]);
    for (int f = first; f < m.faceCount(); ++f)
        for (int e = 0; e < 3; ++e) enter(f, e);
    for (int f = first; f < m.faceCount(); ++f) {
        for (int e = 0; e < 3; ++e) {
            MeshFace& F = m.faces[f];
            if (F.f[e] >= 0) continue;
            const auto it = open.find(edgeKey(F.v[prevK(e)], F.v[nextK(e)]));
            if (it == open.end()) continue;
            const int g = int(it->second / 3), ge = int(it->second % 3);
            MeshFace& G = m.faces[g];
            if (G.f[ge] >= 0) continue;
            const bool sharp = F.isSharp(e) || G.isSharp(ge) || g < first;
            F.f[e] = g;
            G.f[ge] = f;
            F.setSharp(e, sharp);
            G.setSharp(ge, sharp);
        }
    }
}

}  // namespace

void Mesh::bevelA_(const pbr& material, bool /*flag*/) {
    topologyEdited();
    const std::vector<SharpEdge> edges = sharpEdges(*this);
    std::vector<int> corners;
    std::vector<std::size_t> cornerEnds;
    cornerSectors(*this, corners, cornerEnds);

    divideA_();

    const pbr paint = pbr::Clamped(material);
    const int first = faceCount();
    std::vector<int> torn;
    torn.reserve(edges.size() * 4);
    for (const SharpEdge& e : edges) {
        const MeshFace& F = faces[e.f];
        const MeshFace& G = faces[e.g];
        if (F.f[e.k] == e.g) continue;  // not torn: both ends kept one vertex
        const int af = F.v[nextK(e.k)], bf = F.v[prevK(e.k)];
        const int bg = G.v[nextK(e.kg)], ag = G.v[prevK(e.kg)];
        torn.insert(torn.end(), {e.f, e.k, e.g, e.kg});
        if (af == ag) {
            addBridge(*this, bf, af, bg, paint);
        } else {
            addBridge(*this, bf, af, ag, paint);
            addBridge(*this, bf, ag, bg, paint);
        }
    }

    std::vector<int> polygon;
    std::size_t begin = 0;
    for (const std::size_t end : cornerEnds) {
        polygon.clear();
        for (std::size_t i = begin; i < end; i += 2) {
            const int c = faces[corners[i]].v[corners[i + 1]];
            if (polygon.empty() || polygon.back() != c) polygon.push_back(c);
        }
        begin = end;
        if (polygon.size() > 1 && polygon.front() == polygon.back()) polygon.pop_back();
        if (polygon.size() < 3 || repeats(polygon)) continue;
        const int fan = facesAdd(polygon, std::vector<bool>(polygon.size(), true));
        for (int f = fan; f < faceCount(); ++f) faces[f].setMaterial(paint, paint, paint, pbr::MaskAll);
    }

    linkBridges(*this, first, torn);

    // The torn rims are closed again: border bits and stored faces follow
    // the new links; a copy met by more than two feature edges is a corner.
    for (int f = first; f < faceCount(); ++f) {
        for (const int v : faces[f].v) {
            MeshVertex& r = vertices[v];
            r.flags = std::uint8_t(r.flags | MeshVertex::SharpBit);
            vertexUpdate(v);
            if (corner(v))
                r.flags = std::uint8_t(r.flags | MeshVertex::CornerBit);
            else
                r.flags = std::uint8_t(r.flags & ~MeshVertex::CornerBit);
        }
    }
}

}  // namespace qel
