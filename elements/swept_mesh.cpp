// The conversion of a swept surface into a triangle mesh.

#include "elements/swept_mesh.h"

#include <cmath>
#include <cstdint>
#include <limits>
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
    m.vertices.reserve(Vc * V);
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
            m.vertices.push_back(MeshVertex(grid[k], -1, flags));
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

// Appends one face of the split quad: corners, their materials and flags;
// links stay -1 and normals zero for initialize. The record is made whole
// before it is stored: the face list is written once.
void addFace(Mesh& m, std::int32_t v0, std::int32_t v1, std::int32_t v2, const pbr& m0, const pbr& m1, const pbr& m2,
             std::uint8_t flags) {
    MeshFace F(v0, v1, v2);
    F.material[0] = m0;
    F.material[1] = m1;
    F.material[2] = m2;
    F.flags = flags;
    m.faces.push_back(F);
}

// The parts of the surface along one curve: its swept edges (positions in
// its edge table) in chains, cut at welded vertices (the surfaces on either
// side of a pole meet only there), and per part whether it closes on
// itself: every end of every edge continues into another edge of the part
// or is welded (a pole closes the surface round it).
struct Parts {
    std::vector<std::int32_t> of;  // per table entry, its part
    std::vector<std::uint8_t> closed;
};

Parts partsOf(const Curve& c, const std::vector<EdgeEnds>& table, const std::vector<std::uint8_t>* welded) {
    std::vector<std::int32_t> at(std::size_t(c.edgeCount()), -1);
    for (std::size_t i = 0; i < table.size(); ++i) at[std::size_t(table[i].index)] = std::int32_t(i);
    Parts out;
    out.of.assign(table.size(), -1);
    std::vector<std::int32_t> stack;
    for (std::size_t seed = 0; seed < table.size(); ++seed) {
        if (out.of[seed] >= 0) continue;
        const std::int32_t id = std::int32_t(out.closed.size());
        out.closed.push_back(1);
        out.of[seed] = id;
        stack.assign(1, std::int32_t(seed));
        while (!stack.empty()) {
            const EdgeEnds& x = table[std::size_t(stack.back())];
            stack.pop_back();
            const CurveEdge& E = c.edges[std::size_t(x.index)];
            for (int k = 0; k < 2; ++k) {
                if (welded && (*welded)[std::size_t(x.v[k])]) continue;
                const std::int32_t j = c.validEdge(E.n[k]) ? at[std::size_t(E.n[k])] : -1;
                if (j < 0) {
                    out.closed[std::size_t(id)] = 0;
                } else if (out.of[std::size_t(j)] < 0) {
                    out.of[std::size_t(j)] = id;
                    stack.push_back(j);
                }
            }
        }
    }
    return out;
}

// The corners of quad (e, f) as mesh vertex indices, a welded ring's
// corners all on its first vertex.
struct Quad {
    std::int32_t a, b, c, d;
};

Quad quadOf(const EdgeEnds& e, const EdgeEnds& f, std::int32_t V, bool weld0, bool weld1) {
    const std::int32_t ring0 = e.v[0] * V, ring1 = e.v[1] * V;
    return {weld0 ? ring0 : ring0 + f.v[0], weld0 ? ring0 : ring0 + f.v[1], weld1 ? ring1 : ring1 + f.v[0],
            weld1 ? ring1 : ring1 + f.v[1]};
}

// Six times the volume of the tetrahedron (o, p, q, r).
double tetra6(const dvec3& o, const vec3& p, const vec3& q, const vec3& r) {
    const dvec3 a = dvec3(p) - o, b = dvec3(q) - o, c = dvec3(r) - o;
    return dot(a, cross(b, c));
}

// The components of the surface are the products of a carrier part and a
// cross-section part; one is closed when both parts are. Per component,
// whether its faces wound as drawn would enclose a negative volume, read
// from the grid before any face is made: such a component is written
// turned round, so that a closed surface faces outwards whichever way its
// curves run. Indexed [carrier part x cross-section parts + section part].
std::vector<std::uint8_t> turnedComponents(const std::vector<vec3>& grid, const std::vector<EdgeEnds>& carrierEdges,
                                           const std::vector<EdgeEnds>& sectionEdges, const Parts& carrierParts,
                                           const Parts& sectionParts, std::int32_t V,
                                           const std::vector<std::uint8_t>& welded) {
    const std::size_t nS = sectionParts.closed.size();
    std::vector<std::uint8_t> turned;
    // Only the quads of closed components are summed.
    bool anyClosedSection = false;
    for (const std::uint8_t c : sectionParts.closed) anyClosedSection = anyClosedSection || c;
    bool anyClosedCarrier = false;
    for (const std::uint8_t c : carrierParts.closed) anyClosedCarrier = anyClosedCarrier || c;
    if (!anyClosedSection || !anyClosedCarrier) return turned;
    const std::size_t n = carrierParts.closed.size() * nS;
    // Volumes relative to a point of the component keep large coordinates
    // from swamping the sum.
    std::vector<double> volume(n, 0.0);
    std::vector<dvec3> origin(n);
    std::vector<std::uint8_t> seen(n, 0);
    for (std::size_t ie = 0; ie < carrierEdges.size(); ++ie) {
        const std::int32_t part = carrierParts.of[ie];
        if (!carrierParts.closed[std::size_t(part)]) continue;
        const EdgeEnds& e = carrierEdges[ie];
        const bool weld0 = welded[std::size_t(e.v[0])] != 0, weld1 = welded[std::size_t(e.v[1])] != 0;
        if (weld0 && weld1) continue;
        for (std::size_t is = 0; is < sectionEdges.size(); ++is) {
            const std::int32_t s = sectionParts.of[is];
            if (!sectionParts.closed[std::size_t(s)]) continue;
            const std::size_t id = std::size_t(part) * nS + std::size_t(s);
            const Quad q = quadOf(e, sectionEdges[is], V, weld0, weld1);
            const vec3 &a = grid[std::size_t(q.a)], &b = grid[std::size_t(q.b)], &c = grid[std::size_t(q.c)],
                       &d = grid[std::size_t(q.d)];
            if (!seen[id]) {
                seen[id] = 1;
                origin[id] = dvec3(a);
            }
            const dvec3& o = origin[id];
            if (!weld0) volume[id] += tetra6(o, b, c, a);
            if (!weld1) volume[id] += tetra6(o, c, b, d);
        }
    }
    turned.resize(n);
    for (std::size_t id = 0; id < n; ++id) turned[id] = volume[id] < 0.0 ? 1 : 0;
    return turned;
}

// Flags with the sharp marks of edges 1 and 2 exchanged (a face whose
// corners 1 and 2 trade places).
std::uint8_t swapEdges12(std::uint8_t flags) {
    const std::uint8_t s1 = flags & MeshFace::SHARP[1], s2 = flags & MeshFace::SHARP[2];
    return std::uint8_t((flags & ~(MeshFace::SHARP[1] | MeshFace::SHARP[2])) | (s1 ? MeshFace::SHARP[2] : 0) |
                        (s2 ? MeshFace::SHARP[1] : 0));
}

// Faces 2q = (b, c, a) and 2q + 1 = (c, b, d) of every quad q = e x E + f,
// split along b-c and wound as the surface is drawn: the normal
// (b - a) x (c - a) is the drawn normal (a - b + c - d) x (a + b - c - d).
// Edge 1 of each face lies on a ring (b-a at e.v0, d-c at e.v1), edge 0 along
// the carrier (a-c at f.v0, b-d at f.v1), edge 2 is the diagonal. In a
// welded ring every corner is the ring's first vertex; the face whose two
// corners meet there is left inactive, and the other face's diagonal, which
// then runs along the profile, takes the cross-section's break there. The
// quads of a turned component are written the other way round, (b, a, c)
// and (c, d, b), their sharp marks following their edges.
// Returns whether a face was left inactive.
bool writeFaces(Mesh& m, const Curve& carrier, const Curve& section, const std::vector<EdgeEnds>& carrierEdges,
                const std::vector<EdgeEnds>& sectionEdges, const std::vector<std::uint8_t>& welded,
                const Parts& carrierParts, const Parts& sectionParts, const std::vector<std::uint8_t>& turned) {
    const std::int32_t V = std::int32_t(section.vertexCount());
    const std::size_t nS = sectionParts.closed.size();
    m.faces.reserve(2 * carrierEdges.size() * sectionEdges.size());
    constexpr std::uint8_t Active = MeshFace::ActiveBit;
    constexpr std::uint8_t Ring = MeshFace::SHARP[1], Seam = MeshFace::SHARP[0], Diagonal = MeshFace::SHARP[2];
    RowPaint paint;
    bool dropped = false;
    for (std::size_t ie = 0; ie < carrierEdges.size(); ++ie) {
        const EdgeEnds& e = carrierEdges[ie];
        const pbr* p = paint.row(carrier.edges[std::size_t(e.index)], section, sectionEdges);
        const bool weld0 = welded[std::size_t(e.v[0])] != 0, weld1 = welded[std::size_t(e.v[1])] != 0;
        dropped = dropped || weld0 || weld1;
        const std::uint8_t* rowTurned =
            turned.empty() ? nullptr : turned.data() + std::size_t(carrierParts.of[ie]) * nS;
        const std::uint8_t across0 = e.open[0] ? Ring : 0, across1 = e.open[1] ? Ring : 0;
        for (std::size_t is = 0; is < sectionEdges.size(); ++is) {
            const EdgeEnds& f = sectionEdges[is];
            const Quad q = quadOf(e, f, V, weld0, weld1);
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
            if (rowTurned && rowTurned[sectionParts.of[is]]) {
                addFace(m, q.b, q.a, q.c, p[1], p[0], p[2], swapEdges12(first));
                addFace(m, q.c, q.d, q.b, p[2], p[3], p[1], swapEdges12(second));
            } else {
                addFace(m, q.b, q.c, q.a, p[1], p[2], p[0], first);
                addFace(m, q.c, q.b, q.d, p[2], p[1], p[3], second);
            }
            p += 4;
        }
    }
    return dropped;
}

// Whether corner k of F has a normal on its face's side. A face without a
// normal (no area) has no side, and passes.
bool cornerOnItsFace(const MeshFace& F, int k) {
    return dot(F.normals[k], F.normal) > 0.0f || !(dot(F.normal, F.normal) > 0.0f);
}

void cornersAgainstFaces(const Mesh& m, std::vector<std::int32_t>& out) {
    out.clear();
    std::int32_t f = 0;
    m.faces.forRange(0, m.faces.size(), [&out, &f](const MeshFace& F) {
        if (F.isActive())
            for (int k = 0; k < 3; ++k)
                if (!cornerOnItsFace(F, k)) out.push_back(3 * f + k);
        ++f;
    });
}

// A corner normal is the mean of its smooth sector's faces; where the
// surface folds over (a profile that crosses the axis or turns back on
// itself, a twisted quad) the mean can point away from some face of the
// sector, and that face is drawn lit from behind. Each such corner's
// sector is cut at the corner: along its edges whose faces face opposite
// ways, or along both of its edges when neither does, until every corner
// lies on its face's side. Each round marks at least one more edge sharp.
void keepCornersOnTheirFaces(Mesh& m) {
    std::vector<std::int32_t> against;
    cornersAgainstFaces(m, against);
    std::vector<int> touched;
    while (!against.empty()) {
        touched.clear();
        for (const std::int32_t corner : against) {
            const int f = corner / 3, k = corner % 3;
            const MeshFace& F = m.faces[std::size_t(f)];
            // The two edges at corner k: k + 1 and k + 2 (opposite the
            // other corners).
            int cut[2] = {-1, -1}, folds = 0, smooth = 0;
            for (int e : {(k + 1) % 3, (k + 2) % 3}) {
                const int g = F.f[e];
                if (g < 0 || F.isSharp(e)) continue;
                cut[smooth++] = e;
                if (!(dot(F.normal, m.faces[std::size_t(g)].normal) > 0.0f)) folds |= 1 << (smooth - 1);
            }
            for (int i = 0; i < smooth; ++i) {
                if (folds && !(folds & (1 << i))) continue;
                const int e = cut[i];
                touched.push_back(F.v[(e + 1) % 3]);
                touched.push_back(F.v[(e + 2) % 3]);
                m.edgeSharpFK(f, e, true);
            }
        }
        if (touched.empty()) return;
        m.calculateNormalsRound(touched, false);
        cornersAgainstFaces(m, against);
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
    const Parts carrierParts = partsOf(*carrier, carrierEdges, &welded);
    const Parts sectionParts = partsOf(*section, sectionEdges, nullptr);
    const std::vector<std::uint8_t> turned = turnedComponents(
        grid, carrierEdges, sectionEdges, carrierParts, sectionParts, std::int32_t(section->vertexCount()), welded);
    const bool droppedFaces =
        writeFaces(*mesh, *carrier, *section, carrierEdges, sectionEdges, welded, carrierParts, sectionParts, turned);
    // The records the welding left inactive go with the rebuild's compaction.
    if (droppedVertices || droppedFaces) mesh->needsCompaction = 1;
    mesh->initialize(Element::ResizeKeep);
    // Faces the mesh cannot link make no mesh.
    if (mesh->status != 0) return nullptr;
    keepCornersOnTheirFaces(*mesh);
    mesh->centre = owner.centre;
    mesh->setSize(owner.size());
    return mesh.release();
}

}  // namespace qel
