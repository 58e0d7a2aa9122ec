// The processor side of a swept surface: grid, normals, materials, ids and
// feature lines written into the attribute blocks of the mesh program.

#include "elements/swept_fill.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "curves/curve.h"
#include "gl/pbr.h"
#include "mesh/half_float.h"

namespace qel {

namespace {

using Edge = SweptScratch::Edge;

// An edge the surface is swept over: active, with both vertices in the
// array (a damaged edge would make the grid be read out of range).
bool drawnEdge(const Curve& c, int e) {
    const CurveEdge& E = c.edges[std::size_t(e)];
    return E.isActive() && c.validVertex(E.v[0]) && c.validVertex(E.v[1]);
}

std::uint64_t drawnEdgeCount(const Curve& c) {
    std::uint64_t count = 0;
    for (int e = 0; e < c.edgeCount(); ++e) count += drawnEdge(c, e) ? 1 : 0;
    return count;
}

// The active edges of c in array order with their neighbour ranks and
// feature ends. An end is a joint of the surface when it is not sharp and
// has a neighbour; otherwise it draws a feature line, from the edge with
// the larger index of the two meeting there (always at a chain end).
void makeEdgeTable(const Curve& c, std::vector<Edge>& table, std::vector<std::int32_t>& rank) {
    const int count = c.edgeCount();
    table.clear();
    rank.assign(std::size_t(count), -1);
    for (int e = 0; e < count; ++e) {
        if (!drawnEdge(c, e)) continue;
        rank[std::size_t(e)] = std::int32_t(table.size());
        Edge x;
        x.index = e;
        x.v[0] = c.edges[std::size_t(e)].v[0];
        x.v[1] = c.edges[std::size_t(e)].v[1];
        table.push_back(x);
    }
    for (Edge& x : table) {
        const CurveEdge& E = c.edges[std::size_t(x.index)];
        for (int k = 0; k < 2; ++k) {
            const int nb = c.validEdge(E.n[k]) ? E.n[k] : -1;
            const bool broken = E.isSharp(k) || nb < 0;
            x.feature[k] = broken && nb < x.index;
            x.smooth[k] = broken ? -1 : rank[std::size_t(nb)];
        }
    }
}

std::uint64_t sharpVertexCount(const Curve& c) {
    std::uint64_t count = 0;
    for (const CurveVertex& v : c.vertices) count += (v.isActive() && v.isSharp()) ? 1 : 0;
    return count;
}

// Face normals of every quad, unnormalised: their length grows with the
// quad's area, so that larger faces weigh more in the corner sums.
void faceNormals(const SweptScratch& s, std::size_t V, std::vector<vec3>& out) {
    out.resize(s.carrier.size() * s.section.size());
    vec3* n = out.data();
    for (const Edge& e : s.carrier) {
        const vec3* row0 = s.grid.data() + std::size_t(e.v[0]) * V;
        const vec3* row1 = s.grid.data() + std::size_t(e.v[1]) * V;
        for (const Edge& f : s.section) {
            const vec3& a = row0[f.v[0]];
            const vec3& b = row0[f.v[1]];
            const vec3& c = row1[f.v[0]];
            const vec3& d = row1[f.v[1]];
            *n++ = crossf(a - b + c - d, a + b - c - d);
        }
    }
}

// The corner normals of quad (e, f) (ranks): each corner sums the face
// normals of the quads that meet it across smooth joints, then is
// normalised. Order a, b, c, d.
void cornerNormals(const std::vector<vec3>& N, std::size_t sections, const Edge& e, const Edge& f, std::int32_t re,
                   std::int32_t rf, vec3 (&out)[4]) {
    auto at = [&](std::int32_t ce, std::int32_t cf) {
        return (ce < 0 || cf < 0) ? vec3(0, 0, 0) : N[std::size_t(ce) * sections + std::size_t(cf)];
    };
    const vec3 centre = at(re, rf);
    const std::int32_t pe = e.smooth[0], ne = e.smooth[1], pf = f.smooth[0], nf = f.smooth[1];
    out[0] = normalize(centre + at(pe, rf) + at(pe, pf) + at(re, pf));
    out[1] = normalize(centre + at(pe, rf) + at(pe, nf) + at(re, nf));
    out[2] = normalize(centre + at(ne, rf) + at(ne, pf) + at(re, pf));
    out[3] = normalize(centre + at(ne, rf) + at(ne, nf) + at(re, nf));
}

// The six vertices of a quad take corners a, b, d, a, d, c.
constexpr int QuadCorners[6] = {0, 1, 3, 0, 3, 2};

// One corner material as the three blocks store it.
struct Paint {
    std::uint8_t colour[4];
    std::uint8_t light[4];
    std::int16_t material[2];
};

Paint paintOf(const pbr& p) {
    Paint out;
    for (int i = 0; i < 4; ++i) {
        out.colour[i] = std::uint8_t(p.colour[i] >> 8);
        out.light[i] = std::uint8_t(p.light[i] >> 8);
    }
    out.material[0] = p.roughness;
    out.material[1] = p.metalness;
    return out;
}

// Block pointers of a fill; null for the blocks not written.
struct Blocks {
    std::uint8_t* position = nullptr;
    std::uint8_t* normal = nullptr;
    std::uint8_t* colour = nullptr;
    std::uint8_t* light = nullptr;
    std::uint8_t* material = nullptr;
    std::uint8_t* id = nullptr;
};

Blocks blocksOf(const SweptRefill& refill, std::uint32_t n, std::uint8_t* span, std::uint64_t spanStart) {
    Blocks b;
    auto at = [&](int k) { return span + (sweptBlockOffset(k, n) - spanStart); };
    if (refill.positions) b.position = at(0);
    if (refill.normals) b.normal = at(1);
    if (refill.materials) {
        b.colour = at(2);
        b.light = at(3);
        b.material = at(4);
    }
    if (refill.ids) b.id = at(5);
    return b;
}

// The colour, light and material runs of one row of quads (carrier edge
// E against every cross-section edge), as the three blocks hold them. Rows
// whose carrier edge has the end materials of the row made last share its
// runs: a uniformly painted surface costs one product per cross-section
// edge and corner, and a copy per row.
void writeRowPaint(const SweptShape& shape, const CurveEdge& E, SweptScratch& s, Blocks& b) {
    const std::size_t vertices = 6 * s.section.size();
    std::vector<std::uint8_t>& row = s.paintRow;
    if (!s.paintRowValid || E.material[0] != s.paintKey[0] || E.material[1] != s.paintKey[1]) {
        row.resize(12 * vertices);
        std::uint8_t* colour = row.data();
        std::uint8_t* light = colour + 4 * vertices;
        std::uint8_t* material = light + 4 * vertices;
        for (const Edge& f : s.section) {
            const CurveEdge& F = shape.section->edges[std::size_t(f.index)];
            const Paint p[4] = {paintOf(E.material[0] * F.material[0]), paintOf(E.material[0] * F.material[1]),
                                paintOf(E.material[1] * F.material[0]), paintOf(E.material[1] * F.material[1])};
            for (int k : QuadCorners) {
                std::memcpy(colour, p[k].colour, 4);
                std::memcpy(light, p[k].light, 4);
                std::memcpy(material, p[k].material, 4);
                colour += 4;
                light += 4;
                material += 4;
            }
        }
        s.paintKey[0] = E.material[0];
        s.paintKey[1] = E.material[1];
        s.paintRowValid = true;
    }
    const std::size_t run = 4 * vertices;
    std::memcpy(b.colour, row.data(), run);
    std::memcpy(b.light, row.data() + run, run);
    std::memcpy(b.material, row.data() + 2 * run, run);
    b.colour += run;
    b.light += run;
    b.material += run;
}

void appendSegment(std::vector<vec3>& lines, const vec3& p, const vec3& q) {
    lines.push_back(p);
    lines.push_back(q);
}

// Writes every block asked for, quad by quad.
void writeQuads(const SweptShape& shape, const SweptRefill& refill, SweptScratch& s, Blocks b) {
    const std::size_t V = std::size_t(shape.section->vertexCount());
    const std::size_t sections = s.section.size();
    std::int32_t re = 0;
    for (const Edge& e : s.carrier) {
        const CurveEdge& E = shape.carrier->edges[std::size_t(e.index)];
        const vec3* row0 = refill.positions ? s.grid.data() + std::size_t(e.v[0]) * V : nullptr;
        const vec3* row1 = refill.positions ? s.grid.data() + std::size_t(e.v[1]) * V : nullptr;
        if (b.colour) writeRowPaint(shape, E, s, b);
        std::int32_t rf = 0;
        for (const Edge& f : s.section) {
            if (b.position) {
                const vec3 corner[4] = {row0[f.v[0]], row0[f.v[1]], row1[f.v[0]], row1[f.v[1]]};
                for (int k : QuadCorners) {
                    std::memcpy(b.position, &corner[k], 12);
                    b.position += 12;
                }
                if (e.feature[0]) appendSegment(s.lines, corner[0], corner[1]);
                if (e.feature[1]) appendSegment(s.lines, corner[2], corner[3]);
                if (f.feature[0]) appendSegment(s.lines, corner[0], corner[2]);
                if (f.feature[1]) appendSegment(s.lines, corner[1], corner[3]);
            }
            if (b.normal) {
                vec3 n[4];
                cornerNormals(s.faceNormals, sections, e, f, re, rf, n);
                std::uint8_t half[4][6];
                for (int k = 0; k < 4; ++k) writeHalf3(half[k], n[k]);
                for (int k : QuadCorners) {
                    std::memcpy(b.normal, half[k], 6);
                    b.normal += 6;
                }
            }
            if (b.id) {
                const std::uint32_t id = (std::uint32_t(e.index) << 16) + std::uint32_t(f.index);
                const std::uint32_t ids[6] = {id, id, id, id, id, id};
                std::memcpy(b.id, ids, sizeof ids);
                b.id += sizeof ids;
            }
            ++rf;
        }
        ++re;
    }
}

}  // namespace

std::uint64_t sweptBlockOffset(int k, std::uint64_t n) {
    std::uint64_t offset = 0;
    for (int i = 0; i < k; ++i) offset += SweptBlockBytes[i] * n;
    return offset;
}

vec3 revolutonGridPoint(const vec3& p, const vec3& L) {
    const double x = p.x, y = p.y, z = p.z;
    const double r = std::sqrt(x * x + z * z);
    const double u = L.x, v = L.y, w = L.z;
    return vec3(float(u * x - v * z), float(y + w * r), float(u * z + v * x));
}

namespace {

// The surface's quads and the points of its grid; false without both
// curves. Counts below 2^31 make both products below 2^62.
bool sweptCounts(const SweptShape& shape, std::uint64_t& quads, std::uint64_t& gridPoints) {
    quads = gridPoints = 0;
    if (!shape.carrier || !shape.section) return false;
    quads = drawnEdgeCount(*shape.carrier) * drawnEdgeCount(*shape.section);
    gridPoints = std::uint64_t(shape.carrier->vertexCount()) * std::uint64_t(shape.section->vertexCount());
    return true;
}

}  // namespace

bool sweptSurfaceSize(const SweptShape& shape, std::uint32_t& n) {
    n = 0;
    std::uint64_t quads = 0, gridPoints = 0;
    if (!sweptCounts(shape, quads, gridPoints)) return false;
    if (quads > SweptMaxBytes / (6 * SweptVertexBytes) || gridPoints > SweptMaxBytes / sizeof(vec3)) return false;
    n = std::uint32_t(6 * quads);
    return true;
}

void sweptSurfaceCost(const SweptShape& shape, std::uint64_t& vertices, std::uint64_t& bytes) {
    vertices = bytes = 0;
    std::uint64_t quads = 0, gridPoints = 0;
    if (!sweptCounts(shape, quads, gridPoints)) return;
    // The byte figure saturates rather than wrap.
    const std::uint64_t most = std::numeric_limits<std::uint64_t>::max();
    const std::uint64_t perQuad = 6 * SweptBuildBytesPerVertex;
    vertices = quads > most / 6 ? most : 6 * quads;
    const std::uint64_t surface = quads > most / perQuad ? most : perQuad * quads;
    const std::uint64_t grid = gridPoints > most / sizeof(vec3) ? most : sizeof(vec3) * gridPoints;
    bytes = surface > most - grid ? most : surface + grid;
}

void sweptGrid(const SweptShape& shape, std::vector<vec3>& grid) {
    const Curve& carrier = *shape.carrier;
    const Curve& section = *shape.section;
    const std::size_t V = std::size_t(section.vertexCount());
    grid.assign(std::size_t(carrier.vertexCount()) * V, vec3(0, 0, 0));
    for (int j = 0; j < carrier.vertexCount(); ++j) {
        const CurveVertex& P = carrier.vertices[std::size_t(j)];
        if (!P.isActive()) continue;
        const mat3 F = shape.kind == SweptKind::Tube ? carrier.vertexFrame(j) : mat3::Identity();
        vec3* row = grid.data() + std::size_t(j) * V;
        for (std::size_t i = 0; i < V; ++i) {
            const CurveVertex& S = section.vertices[i];
            if (!S.isActive()) continue;
            const vec3 L = section.toLocal(S.position);
            row[i] =
                shape.kind == SweptKind::Tube ? tubeGridPoint(F, P.position, L) : revolutonGridPoint(P.position, L);
        }
    }
}

void fillSweptSurface(const SweptShape& shape, std::uint32_t n, const SweptRefill& refill, SweptScratch& scratch,
                      std::uint8_t* span, std::uint64_t spanStart) {
    if (!shape.carrier || !shape.section) return;
    makeEdgeTable(*shape.carrier, scratch.carrier, scratch.rank);
    makeEdgeTable(*shape.section, scratch.section, scratch.rank);
    if (6 * scratch.carrier.size() * scratch.section.size() != n) return;  // not the size the span was made for
    if (refill.positions || refill.normals) sweptGrid(shape, scratch.grid);
    if (refill.normals) faceNormals(scratch, std::size_t(shape.section->vertexCount()), scratch.faceNormals);
    if (refill.positions) {
        scratch.lines.clear();
        // Two points per sharp ring and seam segment, never more than the
        // four segments a quad can have (stray sharp vertices off the
        // edges count in the first figure).
        const std::uint64_t rings = 2 * (scratch.carrier.size() * sharpVertexCount(*shape.section) +
                                         scratch.section.size() * sharpVertexCount(*shape.carrier));
        scratch.lines.reserve(std::size_t(std::min<std::uint64_t>(rings, 8 * (n / 6))));
    }
    if (n == 0 || !span) return;
    // The cross-section's materials may differ from the last fill's.
    scratch.paintRowValid = false;
    writeQuads(shape, refill, scratch, blocksOf(refill, n, span, spanStart));
}

}  // namespace qel
