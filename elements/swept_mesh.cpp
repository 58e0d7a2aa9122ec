// The conversion of a swept surface into a triangle mesh.

#include "elements/swept_mesh.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>
#include <memory>
#include <vector>

#include "curves/curve.h"
#include "gl/pbr.h"
#include "mesh/mesh.h"

namespace qel {

namespace {

// A profile vertex closer to the Y axis than this in both x and z lies on
// it: its ring is welded into one vertex.
constexpr float AxisTolerance = 0.0001f;

// An edge the surface is swept over: active, with both vertices in the
// curve (the grid would be read out of range otherwise). After the
// compaction every edge of a sound curve is one.
bool sweptEdge(const Curve& c, int e) {
    if (!c.validEdge(e)) return false;
    const CurveEdge& E = c.edges[std::size_t(e)];
    return E.isActive() && c.validVertex(E.v[0]) && c.validVertex(E.v[1]);
}

// A swept edge as the faces need it: its index, its vertices and, per end,
// whether the surface breaks there (the end is sharp or the chain ends).
struct EdgeEnds {
    std::int32_t index = -1;
    std::int32_t v[2] = {-1, -1};
    bool open[2] = {false, false};
};

void edgeTable(const Curve& c, std::vector<EdgeEnds>& table) {
    table.clear();
    for (int e = 0; e < c.edgeCount(); ++e) {
        if (!sweptEdge(c, e)) continue;
        const CurveEdge& E = c.edges[std::size_t(e)];
        EdgeEnds x;
        x.index = e;
        for (int k = 0; k < 2; ++k) {
            x.v[k] = E.v[k];
            x.open[k] = E.isSharp(k) || !sweptEdge(c, E.n[k]);
        }
        table.push_back(x);
    }
}

// Whether n records can be addressed by the mesh's signed 32-bit indices.
bool fitsIndices(std::uint64_t n) { return n <= std::uint64_t(std::numeric_limits<std::int32_t>::max()); }

// Per carrier vertex, 1 when its ring is welded (a revoluton's profile
// vertex on the Y axis); all 0 for a tube.
std::vector<std::uint8_t> weldedRings(SweptKind kind, const Curve& carrier) {
    std::vector<std::uint8_t> welded(std::size_t(carrier.vertexCount()), 0);
    if (kind != SweptKind::Revoluton) return welded;
    for (std::size_t j = 0; j < welded.size(); ++j) {
        const vec3& p = carrier.vertices[j].position;
        welded[j] = (std::fabs(p.x) < AxisTolerance && std::fabs(p.z) < AxisTolerance) ? 1 : 0;
    }
    return welded;
}

// Vertex j x V + i at grid point (j, i); sharp when either curve's vertex
// is, a corner when both are. A welded ring keeps only its first vertex.
// Returns whether a vertex was left inactive.
bool writeVertices(Mesh& m, const std::vector<vec3>& grid, const Curve& carrier, const Curve& section,
                   const std::vector<std::uint8_t>& welded) {
    const std::size_t Vc = std::size_t(carrier.vertexCount()), V = std::size_t(section.vertexCount());
    std::vector<std::uint8_t> sectionSharp(V);
    for (std::size_t i = 0; i < V; ++i) sectionSharp[i] = section.vertices[i].isSharp() ? 1 : 0;
    m.vertices.resize(Vc * V);
    bool dropped = false;
    std::size_t k = 0;
    for (std::size_t j = 0; j < Vc; ++j) {
        const bool carrierSharp = carrier.vertices[j].isSharp();
        for (std::size_t i = 0; i < V; ++i, ++k) {
            const bool sharp = carrierSharp || sectionSharp[i];
            const bool corner = carrierSharp && sectionSharp[i];
            const bool active = !(welded[j] && i > 0);
            dropped = dropped || !active;
            const std::uint8_t flags =
                std::uint8_t((active ? MeshVertex::ActiveBit : 0) | (sharp ? MeshVertex::SharpBit : 0) |
                             (corner ? MeshVertex::CornerBit : 0));
            m.vertices[k] = MeshVertex(grid[k], -1, flags);
        }
    }
    return dropped;
}

// The corner materials of one row of quads (one carrier edge against every
// cross-section edge), four per quad in the order a, b, c, d. Rows whose
// carrier edge has the end materials of the row made last reuse it.
class RowPaint {
public:
    const pbr* row(const CurveEdge& E, const Curve& section, const std::vector<EdgeEnds>& sectionEdges) {
        if (valid_ && E.material[0] == key_[0] && E.material[1] == key_[1]) return products_.data();
        products_.resize(4 * sectionEdges.size());
        pbr* p = products_.data();
        for (const EdgeEnds& f : sectionEdges) {
            const CurveEdge& F = section.edges[std::size_t(f.index)];
            *p++ = E.material[0] * F.material[0];
            *p++ = E.material[0] * F.material[1];
            *p++ = E.material[1] * F.material[0];
            *p++ = E.material[1] * F.material[1];
        }
        key_[0] = E.material[0];
        key_[1] = E.material[1];
        valid_ = true;
        return products_.data();
    }

private:
    std::vector<pbr> products_;
    pbr key_[2];
    bool valid_ = false;
};

// One face of the split quad: corners, their materials and flags; links
// stay -1 and normals zero for initialize.
void setFace(MeshFace& F, std::int32_t v0, std::int32_t v1, std::int32_t v2, const pbr& m0, const pbr& m1,
             const pbr& m2, std::uint8_t flags) {
    F.v[0] = v0;
    F.v[1] = v1;
    F.v[2] = v2;
    F.material[0] = m0;
    F.material[1] = m1;
    F.material[2] = m2;
    F.flags = flags;
}

// Faces 2q = (b, c, a) and 2q + 1 = (c, b, d) of every quad q = e x E + f,
// split along b-c and wound as the surface is drawn: the normal
// (b - a) x (c - a) is the drawn normal (a - b + c - d) x (a + b - c - d).
// Edge 1 of each face lies on a ring (b-a at e.v0, d-c at e.v1), edge 0 along
// the carrier (a-c at f.v0, b-d at f.v1), edge 2 is the diagonal. In a
// welded ring every corner is the ring's first vertex; the face whose two
// corners meet there is left inactive, and the other face's diagonal, which
// then runs along the profile, takes the cross-section's break there.
// Returns whether a face was left inactive.
bool writeFaces(Mesh& m, const Curve& carrier, const Curve& section, const std::vector<EdgeEnds>& carrierEdges,
                const std::vector<EdgeEnds>& sectionEdges, const std::vector<std::uint8_t>& welded) {
    const std::int32_t V = std::int32_t(section.vertexCount());
    m.faces.resize(2 * carrierEdges.size() * sectionEdges.size());
    constexpr std::uint8_t Active = MeshFace::ActiveBit;
    constexpr std::uint8_t Ring = MeshFace::SHARP[1], Seam = MeshFace::SHARP[0], Diagonal = MeshFace::SHARP[2];
    RowPaint paint;
    bool dropped = false;
    std::size_t face = 0;
    for (const EdgeEnds& e : carrierEdges) {
        const pbr* p = paint.row(carrier.edges[std::size_t(e.index)], section, sectionEdges);
        const bool weld0 = welded[std::size_t(e.v[0])] != 0, weld1 = welded[std::size_t(e.v[1])] != 0;
        dropped = dropped || weld0 || weld1;
        const std::int32_t ring0 = e.v[0] * V, ring1 = e.v[1] * V;
        const std::uint8_t across0 = e.open[0] ? Ring : 0, across1 = e.open[1] ? Ring : 0;
        for (const EdgeEnds& f : sectionEdges) {
            const std::int32_t a = weld0 ? ring0 : ring0 + f.v[0], b = weld0 ? ring0 : ring0 + f.v[1];
            const std::int32_t c = weld1 ? ring1 : ring1 + f.v[0], d = weld1 ? ring1 : ring1 + f.v[1];
            std::uint8_t first = std::uint8_t(Active | across0 | (f.open[0] ? Seam : 0));
            std::uint8_t second = std::uint8_t(Active | across1 | (f.open[1] ? Seam : 0));
            if (weld0)
                first = 0;
            else if (weld1 && f.open[1])
                first = std::uint8_t(first | Diagonal);
            if (weld1)
                second = 0;
            else if (weld0 && f.open[0])
                second = std::uint8_t(second | Diagonal);
            setFace(m.faces[face++], b, c, a, p[1], p[2], p[0], first);
            setFace(m.faces[face++], c, b, d, p[2], p[1], p[3], second);
            p += 4;
        }
    }
    return dropped;
}

// The faces of every connected component of m (through the links), and
// per component whether it is closed (no open edge) and the volume its
// faces enclose, positive when they face outwards.
struct Components {
    std::vector<std::int32_t> of;  // per face, its component; -1 for an inactive face
    std::vector<double> volume;
    std::vector<std::uint8_t> closed;
};

Components componentsOf(const Mesh& m) {
    // The components by union-find over the links, then the volumes in one
    // pass in face order: a walk through the links would read the records
    // out of order, a cache miss a face on a large mesh.
    const std::size_t n = m.faces.size();
    std::vector<std::int32_t> root(n);
    for (std::size_t f = 0; f < n; ++f) root[f] = std::int32_t(f);
    const auto find = [&root](std::int32_t f) {
        while (root[std::size_t(f)] != f) {
            root[std::size_t(f)] = root[std::size_t(root[std::size_t(f)])];
            f = root[std::size_t(f)];
        }
        return f;
    };
    for (std::size_t f = 0; f < n; ++f) {
        const MeshFace& F = m.faces[f];
        if (!F.isActive()) continue;
        for (const std::int32_t g : F.f) {
            if (g < 0 || std::size_t(g) >= n) continue;
            const std::int32_t a = find(std::int32_t(f)), b = find(g);
            if (a != b) root[std::size_t(std::max(a, b))] = std::min(a, b);
        }
    }
    Components out;
    out.of.assign(n, -1);
    std::vector<std::int32_t> idOfRoot(n, -1);
    // Volumes relative to a point of the component keep large coordinates
    // from swamping the sum.
    std::vector<dvec3> origin;
    for (std::size_t f = 0; f < n; ++f) {
        const MeshFace& F = m.faces[f];
        if (!F.isActive()) continue;
        std::int32_t& id = idOfRoot[std::size_t(find(std::int32_t(f)))];
        const dvec3 p0(m.vertices[std::size_t(F.v[0])].position);
        if (id < 0) {
            id = std::int32_t(out.volume.size());
            out.volume.push_back(0.0);
            out.closed.push_back(1);
            origin.push_back(p0);
        }
        out.of[f] = id;
        const dvec3& o = origin[std::size_t(id)];
        const dvec3 a = p0 - o;
        const dvec3 b = dvec3(m.vertices[std::size_t(F.v[1])].position) - o;
        const dvec3 c = dvec3(m.vertices[std::size_t(F.v[2])].position) - o;
        out.volume[std::size_t(id)] += dot(a, cross(b, c)) / 6.0;
        for (const std::int32_t g : F.f)
            if (g < 0) out.closed[std::size_t(id)] = 0;
    }
    return out;
}

// A closed surface is seen from outside only, and is drawn lit from there
// whichever way its curves run: every closed component of m that encloses
// a negative volume is turned round, links and normals included; the
// vertices keep their flags and stored faces (a closed part has no border).
void faceClosedComponentsOutwards(Mesh& m) {
    const Components parts = componentsOf(m);
    for (std::size_t f = 0; f < m.faces.size(); ++f) {
        const std::int32_t id = parts.of[f];
        if (id < 0 || !parts.closed[std::size_t(id)] || !(parts.volume[std::size_t(id)] < 0.0)) continue;
        MeshFace& F = m.faces[f];
        std::swap(F.v[1], F.v[2]);
        std::swap(F.material[1], F.material[2]);
        // Edge 0 keeps its ends; edges 1 and 2 trade places, with their
        // neighbours: the whole component turns, so the links stay true.
        std::swap(F.f[1], F.f[2]);
        // Every face of the component turns, so every normal of it is the
        // opposite one (corners 1 and 2 trade places with their vertices).
        std::swap(F.normals[1], F.normals[2]);
        F.normal = -F.normal;
        for (vec3& n : F.normals) n = -n;
        const std::uint8_t s1 = F.flags & MeshFace::SHARP[1], s2 = F.flags & MeshFace::SHARP[2];
        F.flags = std::uint8_t((F.flags & ~(MeshFace::SHARP[1] | MeshFace::SHARP[2])) | (s1 ? MeshFace::SHARP[2] : 0) |
                               (s2 ? MeshFace::SHARP[1] : 0));
    }
}

}  // namespace

Mesh* sweptToMesh(Element& owner, SweptKind kind, Curve* carrier, Curve* section) {
    if (!carrier || !section) return nullptr;
    carrier->removeInactive(false);
    section->removeInactive(false);
    owner.touch();

    std::vector<EdgeEnds> carrierEdges, sectionEdges;
    edgeTable(*carrier, carrierEdges);
    edgeTable(*section, sectionEdges);
    if (carrierEdges.empty() || sectionEdges.empty()) return nullptr;
    const std::uint64_t vertices = std::uint64_t(carrier->vertexCount()) * std::uint64_t(section->vertexCount());
    const std::uint64_t faces = 2 * std::uint64_t(carrierEdges.size()) * std::uint64_t(sectionEdges.size());
    if (!fitsIndices(vertices) || !fitsIndices(faces)) return nullptr;

    if (kind == SweptKind::Tube) carrier->calculateOrientations(false);
    std::vector<vec3> grid;
    sweptGrid(SweptShape{kind, carrier, section}, grid);
    const std::vector<std::uint8_t> welded = weldedRings(kind, *carrier);

    auto mesh = std::make_unique<Mesh>();
    const bool droppedVertices = writeVertices(*mesh, grid, *carrier, *section, welded);
    const bool droppedFaces = writeFaces(*mesh, *carrier, *section, carrierEdges, sectionEdges, welded);
    // The records the welding left inactive go with the rebuild's compaction.
    if (droppedVertices || droppedFaces) mesh->needsCompaction = 1;
    mesh->initialize(Element::ResizeKeep);
    // Faces the mesh cannot link make no mesh.
    if (mesh->status != 0) return nullptr;
    faceClosedComponentsOutwards(*mesh);
    mesh->centre = owner.centre;
    mesh->setSize(owner.size());
    return mesh.release();
}

}  // namespace qel
