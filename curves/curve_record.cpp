// The curve's element record
//
//   [reserved u32, curve type u32,] centre (3 f32), size (f32),
//   u32 nV, nV vertex records, u32 nE, nE edge records
//
// The bracketed words are missing from the old tag's body. The base curve
// inside an old resampled-curve record has the old body with one byte, not
// read, between the size and the vertex count. Vertex record
// (21 bytes): position (3 f32), radius, angle (f32), flags (u8). Edge record
// (49 bytes): per end u32 vertex index and the 20-byte material, then the
// flags byte. Files of version 20060411 or older carry 29-byte edges: per
// end u32 index, four u8 colour and four u8 light channels (each becomes the
// high byte of the 16-bit channel), then four ignored bytes and the flags.
//
// Links, directions, normals, edge fields and selection slots are not
// stored: initialize(0) rebuilds them after the scene is read.

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "curves/curve.h"
#include "gl/buffer.h"

namespace qel {

namespace {

constexpr std::uint32_t HeadSize = 16;  // centre and size
constexpr std::uint32_t VertexRecordSize = 21;
constexpr std::uint32_t EdgeRecordSize = 49;
constexpr std::uint32_t OldEdgeRecordSize = 29;
// The marks a file may not bring back: the selection and the array
// layout's placed mark belong to a session.
constexpr std::uint8_t EdgeSessionBits = CurveEdge::SelectedBit | CurveEdge::PlacedBit;

// On a little-endian host the file's floats, integers and materials have
// the bytes of their values in memory: records are moved by memcpy.
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
constexpr bool LittleEndian = true;
#else
constexpr bool LittleEndian = false;
#endif

bool finite(const vec3& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

float finiteOr(float v, float fallback) { return std::isfinite(v) ? v : fallback; }

// v is neither infinite nor a NaN: its exponent bits are not all set (a
// test on the bits; the vertex decoder sums the tests so that the common
// all-finite record passes with one branch).
bool finite(float v) {
    std::uint32_t u;
    std::memcpy(&u, &v, 4);
    return (u & 0x7f800000u) != 0x7f800000u;
}

// The float stored at p.
float loadF32(const std::uint8_t* p) {
    if (!LittleEndian) return buffer::loadF32(p);
    float v;
    std::memcpy(&v, p, 4);
    return v;
}

// Appends the vertex of the record at p. The values are loaded one by one
// (a block copy to a local array makes the loads wait on the copy).
void decodeVertex(const std::uint8_t* p, std::vector<CurveVertex>& vertices) {
    float x = loadF32(p), y = loadF32(p + 4), z = loadF32(p + 8);
    float radius = loadF32(p + 12), angle = loadF32(p + 16);
    if (finite(x) + finite(y) + finite(z) + finite(radius) + finite(angle) != 5) {
        x = finiteOr(x, 0.0f);
        y = finiteOr(y, 0.0f);
        z = finiteOr(z, 0.0f);
        radius = finiteOr(radius, 1.0f);
        angle = finiteOr(angle, 0.0f);
    }
    CurveVertex& r = vertices.emplace_back(vec3(x, y, z), std::uint8_t(p[20] & ~CurveVertex::SelectedBit));
    r.radius = radius;
    r.angle = angle;
}

void encodeVertex(std::uint8_t* p, const CurveVertex& r, std::uint8_t flags) {
    if (LittleEndian) {
        std::memcpy(p, &r.position, 12);
        std::memcpy(p + 12, &r.radius, 4);
        std::memcpy(p + 16, &r.angle, 4);
    } else {
        for (int i = 0; i < 3; ++i) buffer::storeF32(p + 4 * i, r.position[i]);
        buffer::storeF32(p + 12, r.radius);
        buffer::storeF32(p + 16, r.angle);
    }
    p[20] = flags;
}

// The 20-byte material at p, as stored (see clampMaterials).
void decodeMaterial(const std::uint8_t* p, pbr& m) {
    if (LittleEndian) {
        std::memcpy(static_cast<void*>(&m), p, pbr::RecordSize);
        return;
    }
    for (int i = 0; i < 4; ++i) m.colour[i] = buffer::loadU16(p + 2 * i);
    for (int i = 0; i < 4; ++i) m.light[i] = buffer::loadU16(p + 8 + 2 * i);
    m.roughness = std::int16_t(buffer::loadU16(p + 16));
    m.metalness = std::int16_t(buffer::loadU16(p + 18));
}

// Roughness and metalness kept within their range, on the edge.
void clampMaterials(CurveEdge& E) {
    for (pbr& m : E.material) {
        m.roughness = pbr::clampSigned(m.roughness);
        m.metalness = pbr::clampSigned(m.metalness);
    }
}

// The roughness and metalness stored at p (four bytes) are within their
// range; files written by the program always are, so clamping is rare.
bool inRange(const std::uint8_t* p) {
    const auto ok = [](std::uint16_t u) {
        return std::uint16_t(u - std::uint16_t(pbr::SignedMin)) <= std::uint16_t(pbr::SignedMax - pbr::SignedMin);
    };
    return ok(buffer::loadU16(p)) && ok(buffer::loadU16(p + 2));
}

void encodeMaterial(std::uint8_t* p, const pbr& m) {
    if (LittleEndian) {
        std::memcpy(p, static_cast<const void*>(&m), pbr::RecordSize);
        return;
    }
    for (int i = 0; i < 4; ++i) buffer::storeU16(p + 2 * i, m.colour[i]);
    for (int i = 0; i < 4; ++i) buffer::storeU16(p + 8 + 2 * i, m.light[i]);
    buffer::storeU16(p + 16, std::uint16_t(m.roughness));
    buffer::storeU16(p + 18, std::uint16_t(m.metalness));
}

// 8-bit channels in the high byte of the 16-bit ones (255 reads as 65280);
// roughness and metalness 0.
pbr decodeOldMaterial(const std::uint8_t* p) {
    pbr m;
    for (int i = 0; i < 4; ++i) {
        m.colour[i] = std::uint16_t(unsigned(p[i]) << 8);
        m.light[i] = std::uint16_t(unsigned(p[4 + i]) << 8);
    }
    m.roughness = 0;
    m.metalness = 0;
    return m;
}

// Appends the edge of the record at p.
CurveEdge& decodeEdge(const std::uint8_t* p, std::vector<CurveEdge>& edges) {
    pbr m[2];
    decodeMaterial(p + 4, m[0]);
    decodeMaterial(p + 28, m[1]);
    CurveEdge& E = edges.emplace_back(std::int32_t(buffer::loadU32(p)), std::int32_t(buffer::loadU32(p + 24)), m[0],
                                      m[1], std::uint8_t(p[48] & ~EdgeSessionBits));
    if (!inRange(p + 20) || !inRange(p + 44)) clampMaterials(E);
    return E;
}

CurveEdge& decodeOldEdge(const std::uint8_t* p, std::vector<CurveEdge>& edges) {
    return edges.emplace_back(std::int32_t(buffer::loadU32(p)), std::int32_t(buffer::loadU32(p + 12)),
                              decodeOldMaterial(p + 4), decodeOldMaterial(p + 16),
                              std::uint8_t(p[28] & ~EdgeSessionBits));
}

void encodeEdge(std::uint8_t* p, const CurveEdge& r, std::int32_t a, std::int32_t b) {
    buffer::storeU32(p, std::uint32_t(a));
    encodeMaterial(p + 4, r.material[0]);
    buffer::storeU32(p + 24, std::uint32_t(b));
    encodeMaterial(p + 28, r.material[1]);
    p[48] = r.flags;
}

}  // namespace

Curve::Curve(buffer& b, bool old) : Curve(Plain) {
    if (!old) {
        DataRead(b);
        return;
    }
    id = 0;
    curveType = Plain;
    if (!readBody(b, BodyLayout::Old)) refuseBody();
}

void Curve::DataRead(buffer& b) {
    if (!readBody(b, BodyLayout::Current)) refuseBody();
}

void Curve::readResampledBaseBody(buffer& b) {
    if (!readBody(b, BodyLayout::OldResampled)) refuseBody();
}

void Curve::refuseBody() {
    // A damaged record yields no geometry: nothing of it is trusted.
    vertices.clear();
    edges.clear();
    recordedVertexCount = recordedEdgeCount = 0;
    status = 1;
}

bool Curve::readBody(buffer& b, BodyLayout layout) {
    const bool withHead = layout == BodyLayout::Current;
    const std::uint32_t gap = layout == BodyLayout::OldResampled ? 1 : 0;
    // The record replaces whatever the curve held; a selection of the old
    // records must not outlive them.
    deselectAll();
    vertices.clear();
    edges.clear();
    if (!b.require(1, (withHead ? 8 : 0) + HeadSize + gap + 4)) return false;
    if (withHead) {
        b.readU32();  // reserved
        curveType = TCurveType(b.readU32());
    }
    centre = b.readVec3();
    const float size = b.readF32();
    setSize(size);
    const bool headSound = finite(centre) && std::isfinite(size);
    b.skip(gap);
    // The counts are unsigned here; a layout with signed counts reads a
    // negative one as more than 2^31 records, which no buffer holds.
    const std::uint32_t nV = b.readU32();
    // The vertex records and the edge count must be there before anything is
    // allocated for them.
    if (!b.require(std::uint64_t(nV) * VertexRecordSize + 4, 1)) return false;
    const std::uint8_t* span = b.readSpan(nV * VertexRecordSize);
    // The and of the vertex flags: when every record is active, no edge
    // has a vertex to revive.
    std::uint8_t allFlags = 0xff;
    // Each record is made once, in place (no default fill first).
    vertices.reserve(nV);
    for (std::uint32_t i = 0; i < nV; ++i) {
        const std::uint8_t* p = span + std::size_t(VertexRecordSize) * i;
        allFlags &= p[20];
        decodeVertex(p, vertices);
    }
    const std::uint32_t nE = b.readU32();
    const bool oldEdges = FILE_VERSION <= LastOldEdgeVersion;
    const std::uint32_t edgeSize = oldEdges ? OldEdgeRecordSize : EdgeRecordSize;
    if (!b.require(nE, edgeSize)) return false;
    span = b.readSpan(nE * edgeSize);
    // No writer makes an edge outside the vertices or on one vertex.
    bool unsound = false;
    // Each edge is made once, in place (no default fill first).
    edges.reserve(nE);
    for (std::uint32_t i = 0; i < nE; ++i) {
        const std::uint8_t* p = span + std::size_t(edgeSize) * i;
        const CurveEdge& E = oldEdges ? decodeOldEdge(p, edges) : decodeEdge(p, edges);
        unsound |= std::uint32_t(E.v[0]) >= nV || std::uint32_t(E.v[1]) >= nV || E.v[0] == E.v[1];
    }
    if (unsound) return false;
    // Active edges revive their vertices.
    if (!(allFlags & CurveVertex::ActiveBit))
        for (const CurveEdge& E : edges)
            if (E.isActive())
                for (const std::int32_t v : E.v) vertices[std::size_t(v)].flags |= CurveVertex::ActiveBit;
    if (!headSound) {
        if (vertices.empty()) {
            centre = vec3(0, 0, 0);
            setSize(1.0f);
        } else {
            calculateSize(ResizeMean);
        }
    }
    recordedVertexCount = nV;
    recordedEdgeCount = nE;
    return finite(centre) && std::isfinite(this->size());
}

// What settleWhole makes of a curve's records (the flags a reader keeps and
// the edges turned), with the scratch of its walk. A writer keeps one
// between records so that a save neither allocates nor touches fresh pages
// curve by curve.
struct Curve::Settling {
    std::vector<std::uint8_t> vertexFlags, edgeFlags, turned;
    std::vector<std::uint8_t> mark, visited;
    std::vector<std::int32_t> first, second, topo;
};

// Follows buildConnectivity (links, sharp and end bits) and setOrder (every
// chain run one way, open chains from their lowest-indexed end edge, loops
// the way of their lowest-indexed edge) step by step, on compact arrays.
bool Curve::settleWhole(const std::vector<CurveVertex>& vertices, const std::vector<CurveEdge>& edges, Settling& out) {
    const int nV = int(vertices.size()), nE = int(edges.size());
    enum : std::uint8_t { Sharp = 1, Open = 2, Used = 4 };
    out.vertexFlags.resize(std::size_t(nV));
    out.edgeFlags.resize(std::size_t(nE));
    out.turned.assign(std::size_t(nE), 0);
    // Per vertex: its marks, then its first and second edge.
    std::vector<std::uint8_t>& mark = out.mark;
    mark.resize(std::size_t(nV));
    for (int v = 0; v < nV; ++v) {
        const CurveVertex& r = vertices[std::size_t(v)];
        if (!r.isActive()) return false;
        out.vertexFlags[std::size_t(v)] = std::uint8_t(r.flags & ~CurveVertex::SelectedBit);
        mark[std::size_t(v)] = r.isSharp() ? Sharp : 0;
    }
    // One pass over the edges checks them, takes their flags and vertices
    // and gathers the connectivity, which fails (nothing more is settled)
    // without an edge or with a third edge at a vertex.
    std::vector<std::int32_t>&first = out.first, &second = out.second, &topo = out.topo;
    first.assign(std::size_t(nV), -1);
    second.assign(std::size_t(nV), -1);
    topo.resize(std::size_t(nE) * 4);
    bool connected = nE > 0;
    for (int e = 0; e < nE; ++e) {
        const CurveEdge& E = edges[std::size_t(e)];
        if (!E.isActive() || E.v[0] < 0 || E.v[0] >= nV || E.v[1] < 0 || E.v[1] >= nV || E.v[0] == E.v[1]) return false;
        out.edgeFlags[std::size_t(e)] = std::uint8_t(E.flags & ~EdgeSessionBits);
        if (!connected) continue;
        topo[std::size_t(e) * 4] = E.v[0];
        topo[std::size_t(e) * 4 + 1] = E.v[1];
        for (int k = 0; k < 2; ++k) {
            const std::size_t a = std::size_t(E.v[k]);
            mark[a] = std::uint8_t(mark[a] | Used | (E.isSharp(k) ? Sharp : 0));
            if (first[a] < 0)
                first[a] = e;
            else if (second[a] < 0)
                second[a] = e;
            else
                connected = false;
        }
    }
    if (!connected) return true;
    // Links, with the sharp bits of open ends and of ends at sharp vertices.
    for (int e = 0; e < nE; ++e) {
        std::int32_t* t = &topo[std::size_t(e) * 4];
        std::uint8_t& flags = out.edgeFlags[std::size_t(e)];
        for (int k = 0; k < 2; ++k) {
            const std::size_t a = std::size_t(t[k]);
            const int other = first[a] == e ? second[a] : first[a];
            t[2 + k] = other;
            if (other == -1) {
                mark[a] = std::uint8_t(mark[a] | Sharp | Open);
                flags = std::uint8_t(flags | CurveEdge::SHARP[k]);
            } else if (mark[a] & Sharp) {
                flags = std::uint8_t(flags | CurveEdge::SHARP[k]);
            }
        }
    }
    for (int v = 0; v < nV; ++v) {
        const std::uint8_t m = mark[std::size_t(v)];
        if (!(m & Used)) continue;
        std::uint8_t& flags = out.vertexFlags[std::size_t(v)];
        flags = std::uint8_t(flags | CurveVertex::ActiveBit | ((m & Sharp) ? CurveVertex::SharpBit : 0));
        flags = std::uint8_t((m & Open) ? (flags | CurveVertex::EndBit) : (flags & ~CurveVertex::EndBit));
    }
    // Order: each edge entered at end 1 of its chain's walk is turned.
    std::vector<std::uint8_t>& visited = out.visited;
    visited.assign(std::size_t(nE), 0);
    auto walk = [&](int e, int in) {
        for (int step = 0; step < nE; ++step) {
            const std::int32_t* t = &topo[std::size_t(e) * 4];
            visited[std::size_t(e)] = 1;
            out.turned[std::size_t(e)] = std::uint8_t(in);
            const int exit = 1 - in;
            const int next = t[2 + exit], shared = t[exit];
            if (next < 0 || next >= nE || visited[std::size_t(next)]) return;
            const std::int32_t* u = &topo[std::size_t(next) * 4];
            in = u[0] == shared ? 0 : (u[1] == shared ? 1 : -1);
            if (in < 0) return;
            e = next;
        }
    };
    for (int e = 0; e < nE; ++e) {
        const std::int32_t* t = &topo[std::size_t(e) * 4];
        if (visited[std::size_t(e)] || (t[2] != -1 && t[3] != -1)) continue;
        walk(e, t[2] == -1 ? 0 : 1);
    }
    for (int e = 0; e < nE; ++e)
        if (!visited[std::size_t(e)]) walk(e, 0);
    for (int e = 0; e < nE; ++e) {
        std::uint8_t& flags = out.edgeFlags[std::size_t(e)];
        if (out.turned[std::size_t(e)]) {
            const std::uint8_t s = flags & CurveEdge::SharpMask;
            flags = std::uint8_t((flags & ~CurveEdge::SharpMask) | ((s & 1) << 1) | ((s & 2) >> 1));
        }
        flags = std::uint8_t(flags & ~CurveEdge::VisitedBit);
    }
    return true;
}

void Curve::DataWrite(buffer& b) {
    // A curve with every record written (the common case) is settled
    // aside of its records and written from them; otherwise the written
    // records are copied, renumbered and settled first.
    thread_local Settling whole;
    if (settleWhole(vertices, edges, whole)) {
        writeRecords(b, vertices, edges, &whole);
        return;
    }
    const Curve settled = settledRecords();
    writeRecords(b, settled.vertices, settled.edges, nullptr);
}

void Curve::writeRecords(buffer& b, const std::vector<CurveVertex>& vs, const std::vector<CurveEdge>& es,
                         const Settling* settled) const {
    const std::uint32_t nV = std::uint32_t(vs.size());
    const std::uint32_t nE = std::uint32_t(es.size());
    const std::int32_t lengthAt = b.beginRecord(RecordTag);
    b.reserve(std::size_t(b.size()) + 8 + HeadSize + 8 + std::size_t(VertexRecordSize) * nV +
              std::size_t(EdgeRecordSize) * nE);
    b.writeU32(0);  // reserved
    b.writeU32(std::uint32_t(curveType));
    b.writeVec3(centre);
    b.writeF32(size());
    b.writeU32(nV);
    if (std::uint8_t* p = b.append(std::size_t(VertexRecordSize) * nV))
        for (std::size_t v = 0; v < vs.size(); ++v, p += VertexRecordSize)
            encodeVertex(p, vs[v], settled ? settled->vertexFlags[v] : vs[v].flags);
    b.writeU32(nE);
    if (std::uint8_t* p = b.append(std::size_t(EdgeRecordSize) * nE))
        for (std::size_t e = 0; e < es.size(); ++e, p += EdgeRecordSize) {
            const CurveEdge& E = es[e];
            if (!settled) {
                encodeEdge(p, E, E.v[0], E.v[1]);
                continue;
            }
            const int k = settled->turned[e] ? 1 : 0;
            buffer::storeU32(p, std::uint32_t(E.v[k]));
            encodeMaterial(p + 4, E.material[k]);
            buffer::storeU32(p + 24, std::uint32_t(E.v[1 - k]));
            encodeMaterial(p + 28, E.material[1 - k]);
            p[48] = settled->edgeFlags[e];
        }
    b.endRecord(lengthAt);
}

Curve Curve::settledRecords() const {
    // The written vertices: the active ones and any an active, sound edge
    // uses; renumbered in array order. A curve without inactive records (the
    // common case) is written as it stands.
    const int nV = vertexCount();
    auto soundEdge = [nV](const CurveEdge& E) {
        return E.isActive() && E.v[0] >= 0 && E.v[0] < nV && E.v[1] >= 0 && E.v[1] < nV && E.v[0] != E.v[1];
    };
    std::size_t writtenE = 0;
    for (const CurveEdge& E : edges) writtenE += soundEdge(E) ? 1 : 0;
    bool whole = writtenE == edges.size();
    for (const CurveVertex& r : vertices) whole = whole && r.isActive();
    std::vector<std::int32_t> newIndex;
    if (!whole) {
        newIndex.assign(std::size_t(nV), -1);
        for (const CurveEdge& E : edges)
            if (soundEdge(E)) newIndex[std::size_t(E.v[0])] = newIndex[std::size_t(E.v[1])] = 0;
        std::int32_t next = 0;
        for (int v = 0; v < nV; ++v)
            newIndex[std::size_t(v)] =
                newIndex[std::size_t(v)] == 0 || vertices[std::size_t(v)].isActive() ? next++ : -1;
    }
    auto renumbered = [&newIndex, whole](std::int32_t v) { return whole ? v : newIndex[std::size_t(v)]; };

    // The records with the flags a reader keeps.
    Curve out(curveType);
    out.vertices.reserve(whole ? vertices.size() : std::size_t(nV));
    for (int v = 0; v < nV; ++v) {
        if (renumbered(v) < 0) continue;
        CurveVertex& r = out.vertices.emplace_back(vertices[std::size_t(v)]);
        r.flags = std::uint8_t((r.flags | CurveVertex::ActiveBit) & ~CurveVertex::SelectedBit);
    }
    out.edges.reserve(writtenE);
    for (const CurveEdge& E : edges) {
        if (!soundEdge(E)) continue;
        CurveEdge& W = out.edges.emplace_back(E);
        W.v[0] = renumbered(E.v[0]);
        W.v[1] = renumbered(E.v[1]);
        W.flags = std::uint8_t(E.flags & ~EdgeSessionBits);
    }
    // Then what initialize(0) makes of them after a load: the sharp and
    // end bits of the links, every chain running one way from its first
    // edge. An edit that left its edges turned otherwise (or a joint's bits
    // unsettled) would make the next save of the loaded file differ.
    if (out.buildConnectivity()) out.setOrder();
    return out;
}

}  // namespace qel
